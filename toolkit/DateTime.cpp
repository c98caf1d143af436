#include "toolkit/DateTime.h"

#include "toolkit/Exceptions.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <langinfo.h>

namespace zen {

namespace {

// Day 0 of the toolkit's calendar as a count of days from 1 January of year 1 (day 1).
constexpr int64_t kDelta = 693594;

int64_t DaysFromCivil(int y, int m, int d) {
    // Days before the given date counted from 0001-01-01 as day 1, proleptic Gregorian.
    int64_t yy = y - 1;
    int64_t days = yy * 365 + yy / 4 - yy / 100 + yy / 400;
    static const int cum[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    days += cum[m - 1] + d;
    if (m > 2 && IsLeapYear(y)) {
        ++days;
    }
    return days;
}

std::string Pad(int v, int width) {
    std::string s = std::to_string(v < 0 ? -v : v);
    while (static_cast<int>(s.size()) < width) {
        s.insert(s.begin(), '0');
    }
    return v < 0 ? "-" + s : s;
}

int CurrentYear() {
    int y, m, d;
    DecodeDate(Date(), y, m, d);
    return y;
}

} // namespace

TFormatSettings& FormatSettings() {
    static TFormatSettings fs;
    return fs;
}

void ShortDateFormatFromStrftime(const std::string& fmt, std::string& pattern, char& separator) {
    pattern.clear();
    separator = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        char c = fmt[i];
        if (c == '%' && i + 1 < fmt.size()) {
            char f = fmt[++i];
            switch (f) {
            case 'd':
                pattern += "dd";
                break;
            case 'e':
                pattern += "d";
                break;
            case 'm':
                pattern += "mm";
                break;
            case 'y':
                pattern += "yy";
                break;
            case 'Y':
                pattern += "yyyy";
                break;
            case 'D':
                pattern += "mm/dd/yy";
                separator = separator ? separator : '/';
                break;
            case 'F':
                pattern += "yyyy/mm/dd";
                separator = separator ? separator : '-';
                break;
            default:
                break;
            }
        } else if (c == '.' || c == '/' || c == '-') {
            if (!separator) {
                separator = c;
            }
            pattern += (c == separator) ? '/' : c;
        } else {
            pattern += c;
        }
    }
    if (!separator) {
        separator = '/';
    }
}

void InitFormatSettingsFromLocale() {
    TFormatSettings& fs = FormatSettings();
    const char* dfmt = nl_langinfo(D_FMT);
    if (dfmt && *dfmt) {
        ShortDateFormatFromStrftime(dfmt, fs.ShortDateFormat, fs.DateSeparator);
    }
    const char* dp = nl_langinfo(RADIXCHAR);
    fs.DecimalSeparator = (dp && *dp) ? dp[0] : '.';
}

void InitSloveneFormatSettings() {
    TFormatSettings& fs = FormatSettings();
    ShortDateFormatFromStrftime("%d. %m. %Y", fs.ShortDateFormat, fs.DateSeparator);
    fs.LongTimeFormat = "hh:nn:ss";
    fs.TimeSeparator = ':';
    fs.DecimalSeparator = ',';
}

bool IsLeapYear(int year) {
    return (year % 4 == 0) && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return days[month - 1] + ((month == 2 && IsLeapYear(year)) ? 1 : 0);
}

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month)) {
        return false;
    }
    out = static_cast<double>(DaysFromCivil(year, month, day) - kDelta);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime out;
    if (!TryEncodeDate(year, month, day, out)) {
        throw EConvertError("Invalid argument to date encode");
    }
    return out;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 ||
        msec > 999) {
        return false;
    }
    out = (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + msec) / 86400000.0;
    return true;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime out;
    if (!TryEncodeTime(hour, min, sec, msec, out)) {
        throw EConvertError("Invalid argument to time encode");
    }
    return out;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
    if (!std::isfinite(dt) || dt < -693593.0 || dt > 2958466.0) {
        year = month = day = 0;
        return;
    }
    int64_t n = static_cast<int64_t>(std::trunc(dt)) + kDelta; // day 1 = 0001-01-01
    // Walk 400-, 100-, 4- and 1-year cycles from 1 January of year 1.
    int64_t d = n - 1;
    int64_t y400 = d / 146097;
    d %= 146097;
    int64_t y100 = d / 36524;
    if (y100 == 4) {
        y100 = 3;
    }
    d -= y100 * 36524;
    int64_t y4 = d / 1461;
    d %= 1461;
    int64_t y1 = d / 365;
    if (y1 == 4) {
        y1 = 3;
    }
    d -= y1 * 365;
    year = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
    month = 1;
    while (d >= DaysInMonth(year, month)) {
        d -= DaysInMonth(year, month);
        ++month;
    }
    day = static_cast<int>(d) + 1;
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& msec) {
    if (!std::isfinite(dt)) {
        hour = min = sec = msec = 0;
        return;
    }
    double frac = std::fabs(dt - std::trunc(dt));
    int64_t ms = std::llround(frac * 86400000.0);
    if (ms >= 86400000) {
        ms = 86399999;
    }
    hour = static_cast<int>(ms / 3600000);
    min = static_cast<int>(ms / 60000 % 60);
    sec = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

int DayOfWeek(TDateTime dt) {
    int64_t n = static_cast<int64_t>(std::trunc(dt)) + kDelta; // day 1 was a Monday
    return static_cast<int>(n % 7) + 1;
}

TDateTime Now() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    TDateTime d = EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return d + EncodeTime(tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59), ms);
}

TDateTime Date() {
    return std::trunc(Now());
}

std::string FormatDateTime(const std::string& pattern, TDateTime dt, const TFormatSettings& fs) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    std::string out;
    size_t i = 0;
    auto run = [&](char c) {
        size_t n = 0;
        while (i + n < pattern.size() &&
               std::tolower(static_cast<unsigned char>(pattern[i + n])) == c) {
            ++n;
        }
        return n;
    };
    while (i < pattern.size()) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(pattern[i])));
        if (pattern[i] == '"' || pattern[i] == '\'') {
            char q = pattern[i++];
            while (i < pattern.size() && pattern[i] != q) {
                out += pattern[i++];
            }
            ++i;
            continue;
        }
        size_t n;
        switch (c) {
        case 'd':
            n = run('d');
            out += n >= 2 ? Pad(d, 2) : std::to_string(d);
            i += n;
            break;
        case 'm':
            n = run('m');
            out += n >= 2 ? Pad(mo, 2) : std::to_string(mo);
            i += n;
            break;
        case 'y':
            n = run('y');
            out += n >= 3 ? Pad(y, 4) : Pad(y % 100, 2);
            i += n;
            break;
        case 'h':
            n = run('h');
            out += n >= 2 ? Pad(h, 2) : std::to_string(h);
            i += n;
            break;
        case 'n':
            n = run('n');
            out += n >= 2 ? Pad(mi, 2) : std::to_string(mi);
            i += n;
            break;
        case 's':
            n = run('s');
            out += n >= 2 ? Pad(s, 2) : std::to_string(s);
            i += n;
            break;
        case 'z':
            n = run('z');
            out += n >= 3 ? Pad(ms, 3) : std::to_string(ms);
            i += n;
            break;
        case '/':
            out += fs.DateSeparator;
            ++i;
            break;
        case ':':
            out += fs.TimeSeparator;
            ++i;
            break;
        default:
            out += pattern[i++];
            break;
        }
    }
    return out;
}

std::string DateToStr(TDateTime dt, const TFormatSettings& fs) {
    return FormatDateTime(fs.ShortDateFormat, dt, fs);
}

std::string DateTimeToStr(TDateTime dt, const TFormatSettings& fs) {
    std::string s = DateToStr(dt, fs);
    if (dt != std::trunc(dt)) {
        s += ' ' + FormatDateTime(fs.LongTimeFormat, dt, fs);
    }
    return s;
}

namespace {

// The order of day, month and year in the short date format ("dmy", ...); "mdy" when the
// format does not name all three.
void DateOrder(const TFormatSettings& fs, char (&order)[3]) {
    int count = 0;
    for (size_t i = 0; i < fs.ShortDateFormat.size() && count < 3; ++i) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(fs.ShortDateFormat[i])));
        if ((c == 'd' || c == 'm' || c == 'y') && (count == 0 || order[count - 1] != c)) {
            order[count++] = c;
        }
    }
    if (count != 3) {
        order[0] = 'm';
        order[1] = 'd';
        order[2] = 'y';
    }
}

void SkipBlanks(const std::string& text, size_t& i) {
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
}

// Up to three numbers of a date from text[i], separated by the date separator, "/",
// blanks or both, with i moved past them; how many were read, -1 for a text that is no
// date (a number of five digits and more, a missing separator).
int ReadDateNumbers(const std::string& text, size_t& i, const TFormatSettings& fs, int (&values)[3],
                    int (&digits)[3]) {
    int found = 0;
    SkipBlanks(text, i);
    while (found < 3) {
        if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) {
            break;
        }
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            if (digits[found] >= 4) {
                return -1;
            }
            values[found] = values[found] * 10 + (text[i] - '0');
            ++digits[found];
            ++i;
        }
        ++found;
        SkipBlanks(text, i);
        if (found < 3) {
            if (i < text.size() && (text[i] == fs.DateSeparator || text[i] == '/')) {
                ++i;
                SkipBlanks(text, i);
            } else if (found < 2) {
                return -1;
            }
        } else if (i < text.size() && text[i] == fs.DateSeparator) {
            ++i; // "6. 12. 2026." ends with a separator in some locales
            SkipBlanks(text, i);
        }
    }
    return found;
}

// A year of one or two digits in the century window around the current year.
int WindowedYear(int year, int yearDigits, const TFormatSettings& fs) {
    if (yearDigits > 2) {
        return year;
    }
    int base = CurrentYear() - fs.TwoDigitYearCenturyWindow;
    year += base - base % 100;
    return year <= base ? year + 100 : year;
}

// An optional time after the date, h:nn[:ss], to the end of the text; false when the
// rest is no such time.
bool ReadTimeRest(const std::string& text, size_t& i, const TFormatSettings& fs, TDateTime& t) {
    int parts[3] = {0, 0, 0};
    int np = 0;
    while (np < 3 && i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
        int v = 0, nd = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && nd < 3) {
            v = v * 10 + (text[i++] - '0');
            ++nd;
        }
        parts[np++] = v;
        if (i < text.size() && (text[i] == fs.TimeSeparator || text[i] == ':')) {
            ++i;
        } else {
            break;
        }
    }
    SkipBlanks(text, i);
    return np >= 2 && i == text.size() && TryEncodeTime(parts[0], parts[1], parts[2], 0, t);
}

} // namespace

bool TryStrToDate(const std::string& text, TDateTime& out, const TFormatSettings& fs) {
    // The order of day, month and year comes from the short date format; the numbers may
    // be separated by the date separator, blanks or both.
    char order[3];
    DateOrder(fs, order);
    int values[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    size_t i = 0;
    const int found = ReadDateNumbers(text, i, fs, values, digits);
    int year = 0, month = 0, day = 0;
    int yearDigits = 0;
    if (found == 3) {
        for (int k = 0; k < 3; ++k) {
            if (order[k] == 'd')
                day = values[k];
            if (order[k] == 'm')
                month = values[k];
            if (order[k] == 'y') {
                year = values[k];
                yearDigits = digits[k];
            }
        }
    } else if (found == 2) {
        // Day and month alone: the current year.
        int k = 0;
        for (int j = 0; j < 3; ++j) {
            if (order[j] == 'd')
                day = values[k++];
            else if (order[j] == 'm')
                month = values[k++];
        }
        year = CurrentYear();
        yearDigits = 4;
    } else {
        return false;
    }
    TDateTime date;
    if (!TryEncodeDate(WindowedYear(year, yearDigits, fs), month, day, date)) {
        return false;
    }
    SkipBlanks(text, i);
    if (i < text.size()) {
        TDateTime t;
        if (!ReadTimeRest(text, i, fs, t)) {
            return false;
        }
        date += t;
    }
    out = date;
    return true;
}

TDateTime StrToDate(const std::string& text, const TFormatSettings& fs) {
    TDateTime out;
    if (!TryStrToDate(text, out, fs)) {
        throw EConvertError("'" + text + "' is not a valid date");
    }
    return out;
}

std::string DateTimeToIso(TDateTime dt) {
    int y, mo, d, h, mi, sec, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, sec, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, sec, ms);
    return buf;
}

bool TryIsoToDateTime(std::string_view text, TDateTime& out) {
    size_t at = 0;
    // A field of exactly `width` digits, after `sep` when one is given.
    auto number = [&](char sep, size_t width, int& value) {
        if (sep && (at >= text.size() || text[at++] != sep)) {
            return false;
        }
        if (text.size() - at < width) {
            return false;
        }
        auto [end, ec] = std::from_chars(text.data() + at, text.data() + at + width, value);
        if (ec != std::errc() || end != text.data() + at + width) {
            return false;
        }
        at += width;
        return true;
    };
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
    TDateTime date = 0, time = 0;
    if (!number(0, 4, y) || !number('-', 2, mo) || !number('-', 2, d) ||
        !TryEncodeDate(y, mo, d, date)) {
        return false;
    }
    if (at < text.size()) {
        if (text[at] != ' ' && text[at] != 'T') {
            return false;
        }
        ++at;
        if (!number(0, 2, h) || !number(':', 2, mi)) {
            return false;
        }
        if (at < text.size() && !number(':', 2, sec)) {
            return false;
        }
        if (at < text.size()) {
            if (text[at++] != '.' || at == text.size()) {
                return false;
            }
            double scale = 100;
            for (; at < text.size(); ++at, scale /= 10) {
                if (text[at] < '0' || text[at] > '9') {
                    return false;
                }
                ms += static_cast<int>((text[at] - '0') * scale);
            }
        }
        if (!TryEncodeTime(h, mi, sec, std::min(ms, 999), time)) {
            return false;
        }
    }
    // Before day zero the time of day still counts forward from midnight.
    out = date < 0 ? date - time : date + time;
    return true;
}

} // namespace zen
