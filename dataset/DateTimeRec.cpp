#include "dataset/DateTimeRec.h"

namespace zen {

TDateTimeRec RecOfDateTime(TFieldType type, TDateTime value) {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
    if (type != ftTime) {
        DecodeDate(value, year, month, day);
    }
    if (type != ftDate) {
        DecodeTime(value, hour, minute, second, msec);
    }
    TDateTimeRec rec{};
    rec.year = static_cast<SQLSMALLINT>(year);
    rec.month = static_cast<SQLUSMALLINT>(month);
    rec.day = static_cast<SQLUSMALLINT>(day);
    rec.hour = static_cast<SQLUSMALLINT>(hour);
    rec.minute = static_cast<SQLUSMALLINT>(minute);
    rec.second = static_cast<SQLUSMALLINT>(second);
    rec.fraction = static_cast<SQLUINTEGER>(msec) * 1000000u;
    return rec;
}

TDateTime DateTimeOfRec(const TDateTimeRec& ts) {
    TDateTime date = 0;
    TDateTime time = 0;
    if (!TryEncodeDate(ts.year, ts.month, ts.day, date)) {
        date = 0;
    }
    if (!TryEncodeTime(ts.hour, ts.minute, ts.second, static_cast<int>(ts.fraction / 1000000),
                       time)) {
        time = 0;
    }
    return date < 0 ? date - time : date + time;
}

} // namespace zen
