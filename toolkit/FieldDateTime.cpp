// Date and time: the native forms a record buffer holds them in, and the date, time and
// date-time fields.

#include "toolkit/Field.h"

#include "toolkit/Exceptions.h"
#include "toolkit/FieldInternal.h"

#include <cmath>

namespace zen {

using namespace field_detail;

namespace {

constexpr int64_t kMSecsPerDay = 86400000;
// Day number of 31 December 9999, the last day a date-time may have.
constexpr int64_t kMaxDay = 3652059;

// "hh:nn[:ss[.zzz]]" with the format settings' time separator or ":".
bool TryParseTime(const std::string& text, TDateTime& out) {
    int parts[4] = {0, 0, 0, 0};
    int count = 0;
    size_t i = 0;
    const char sep = FormatSettings().TimeSeparator;
    while (count < 4) {
        size_t start = i;
        int v = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3) {
            v = v * 10 + (text[i++] - '0');
        }
        if (i == start) {
            return false;
        }
        if (count == 3) {
            // Milliseconds are a fraction of a second: ".5" is 500.
            for (size_t d = i - start; d < 3; ++d) {
                v *= 10;
            }
        }
        parts[count++] = v;
        if (i == text.size()) {
            break;
        }
        char c = text[i];
        if (count < 3 && (c == ':' || c == sep)) {
            ++i;
        } else if (count == 3 && c == '.') {
            ++i;
        } else {
            return false;
        }
    }
    return i == text.size() && count >= 2 &&
           TryEncodeTime(parts[0], parts[1], parts[2], parts[3], out);
}

} // namespace

// --- Native date-time forms ----------------------------------------------------------

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
    if (!std::isfinite(value) || value < 1 - kDateDelta - 1 || value > kMaxDay - kDateDelta + 1) {
        InvalidDateTime(FloatToText(value));
    }
    double whole;
    double frac = std::modf(value, &whole);
    int64_t time = std::llround(std::fabs(frac) * kMSecsPerDay);
    int64_t date = static_cast<int64_t>(whole) + kDateDelta;
    if (time >= kMSecsPerDay) {
        // Rounding reached midnight: that is the start of the next day.
        time -= kMSecsPerDay;
        date += 1;
    }
    if (date < 1 || date > kMaxDay) {
        InvalidDateTime(FloatToText(value));
    }
    TTimeStamp ts;
    ts.Date = static_cast<int32_t>(date);
    ts.Time = static_cast<int32_t>(time);
    return ts;
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
    double days = static_cast<double>(stamp.Date) - kDateDelta;
    double time = static_cast<double>(stamp.Time) / kMSecsPerDay;
    return days < 0 ? days - time : days + time;
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
    return static_cast<double>(stamp.Date) * kMSecsPerDay + stamp.Time;
}

TTimeStamp MSecsToTimeStamp(double msecs) {
    if (!std::isfinite(msecs) || msecs < 0 ||
        msecs >= static_cast<double>(kMaxDay + 1) * kMSecsPerDay) {
        throw EConvertError("'" + FloatToText(msecs) + "' is not a valid timestamp");
    }
    int64_t total = std::llround(msecs);
    TTimeStamp ts;
    ts.Date = static_cast<int32_t>(total / kMSecsPerDay);
    ts.Time = static_cast<int32_t>(total % kMSecsPerDay);
    return ts;
}

void DateTimeToNative(TFieldType type, TDateTime value, void* slot) {
    TTimeStamp ts = DateTimeToTimeStamp(value);
    char* p = static_cast<char*>(slot);
    switch (type) {
    case ftDate:
        Store<int32_t>(p, ts.Date);
        break;
    case ftTime:
        Store<int32_t>(p, ts.Time);
        break;
    case ftDateTime:
        Store<double>(p, TimeStampToMSecs(ts));
        break;
    default:
        throw EDatabaseError(std::string("Field type ") + FieldTypeName(type) +
                             " has no date-time form");
    }
}

TDateTime NativeToDateTime(TFieldType type, const void* slot) {
    const char* p = static_cast<const char*>(slot);
    TTimeStamp ts;
    switch (type) {
    case ftDate:
        ts.Date = Load<int32_t>(p);
        ts.Time = 0;
        break;
    case ftTime:
        ts.Date = kDateDelta;
        ts.Time = Load<int32_t>(p);
        break;
    case ftDateTime:
        ts = MSecsToTimeStamp(Load<double>(p));
        break;
    default:
        throw EDatabaseError(std::string("Field type ") + FieldTypeName(type) +
                             " has no date-time form");
    }
    return TimeStampToDateTime(ts);
}

// --- Date-time fields ------------------------------------------------------------------

TDateTimeField::TDateTimeField() : TDateTimeField(ftDateTime) {}
TDateTimeField::TDateTimeField(TFieldType type) : TField(type) {}
TDateField::TDateField() : TDateTimeField(ftDate) {}
TTimeField::TTimeField() : TDateTimeField(ftTime) {}

int TDateTimeField::DataSize() const {
    return DataType() == ftDateTime ? 8 : 4;
}

bool TDateTimeField::GetValue(TDateTime& value) const {
    char buf[8] = {};
    if (!GetData(buf)) {
        return false;
    }
    value = NativeToDateTime(DataType(), buf);
    return true;
}

std::string TDateTimeField::GetAsString() const {
    TDateTime v;
    if (!GetValue(v)) {
        return "";
    }
    switch (DataType()) {
    case ftDate:
        return DateToStr(v);
    case ftTime:
        return FormatDateTime(FormatSettings().LongTimeFormat, v);
    default:
        return DateTimeToStr(v);
    }
}

TDateTime TDateTimeField::GetAsDateTime() const {
    TDateTime v = 0;
    GetValue(v);
    return v;
}

double TDateTimeField::GetAsFloat() const {
    return GetAsDateTime();
}

TVariant TDateTimeField::GetAsVariant() const {
    return TVariant::FromDateTime(GetAsDateTime());
}

void TDateTimeField::SetAsDateTimeValue(TDateTime value) {
    char buf[8] = {};
    DateTimeToNative(DataType(), value, buf);
    SetData(buf);
}

void TDateTimeField::SetAsFloatValue(double value) {
    SetAsDateTimeValue(value);
}

void TDateTimeField::SetAsStringValue(const std::string& value) {
    std::string s = Trim(value);
    if (s.empty()) {
        Clear();
        return;
    }
    TDateTime dt;
    if (DataType() == ftTime) {
        if (!TryParseTime(s, dt)) {
            throw EConvertError("'" + value + "' is not a valid time");
        }
    } else if (!TryStrToDate(s, dt)) {
        if (DataType() == ftDate) {
            throw EConvertError("'" + value + "' is not a valid date");
        }
        InvalidDateTime(value);
    }
    SetAsDateTimeValue(dt);
}

} // namespace zen
