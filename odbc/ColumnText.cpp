#include "odbc/ColumnText.h"
#include "toolkit/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace zen {

namespace {

bool IsBlank(char c) {
    return c == ' ';
}

std::string_view TrimView(std::string_view text, TStringTrimming mode) {
    if (mode == stTrimLeading || mode == stTrimBoth) {
        while (!text.empty() && IsBlank(text.front())) {
            text.remove_prefix(1);
        }
    }
    if (mode == stTrimTrailing || mode == stTrimBoth) {
        while (!text.empty() && IsBlank(text.back())) {
            text.remove_suffix(1);
        }
    }
    return text;
}

// At least `width` digits; wider numbers keep all of theirs.
void AppendPart(std::string& out, long v, size_t width = 2) {
    std::string digits = std::to_string(v);
    if (v >= 0 && digits.size() < width) {
        out.append(width - digits.size(), '0');
    }
    out += digits;
}

// A run of digits at fixed positions; false when any is not a digit.
template <typename T> bool DigitsAt(std::string_view text, size_t pos, size_t len, T& out) {
    if (pos + len > text.size()) {
        return false;
    }
    unsigned v = 0;
    for (size_t i = pos; i < pos + len; ++i) {
        char c = text[i];
        if (c < '0' || c > '9') {
            return false;
        }
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    out = static_cast<T>(v);
    return true;
}

} // namespace

std::string TrimText(std::string_view text, TStringTrimming mode) {
    return std::string(TrimView(text, mode));
}

std::string FormatFloatSci(double value) {
    if (!std::isfinite(value)) {
        return std::isnan(value) ? " NAN" : (value < 0 ? "-INF" : " INF");
    }
    char buf[64];
    double mag = std::fabs(value);
    auto res = std::to_chars(buf, buf + sizeof buf, mag, std::chars_format::scientific, 14);
    std::string_view digits(buf, static_cast<size_t>(res.ptr - buf));
    // to_chars writes "1.50000000000000e+00": widen the exponent to four digits.
    size_t e = digits.find('e');
    std::string out;
    out.reserve(23);
    out += value < 0 ? '-' : ' ';
    out += digits.substr(0, e);
    out += 'E';
    out += digits[e + 1];
    std::string_view exp = digits.substr(e + 2);
    for (size_t i = exp.size(); i < 4; ++i) {
        out += '0';
    }
    out += exp;
    return out;
}

std::string FormatDateText(const SQL_DATE_STRUCT& d) {
    std::string out;
    // Four year digits: the text is read back by position, so a year before 1000 must
    // keep its place.
    AppendPart(out, d.year, 4);
    out += '-';
    AppendPart(out, d.month);
    out += '-';
    AppendPart(out, d.day);
    return out;
}

std::string FormatTimeText(const SQL_TIME_STRUCT& t) {
    std::string out;
    AppendPart(out, t.hour);
    out += ':';
    AppendPart(out, t.minute);
    out += ':';
    AppendPart(out, t.second);
    return out;
}

std::string FormatTimestampText(const TDateTimeRec& ts) {
    std::string out = FormatDateText(SQL_DATE_STRUCT{ts.year, ts.month, ts.day});
    out += ' ';
    out += FormatTimeText(SQL_TIME_STRUCT{ts.hour, ts.minute, ts.second});
    out += '.';
    std::string frac = std::to_string(ts.fraction);
    out.append(frac.size() < 9 ? 9 - frac.size() : 0, '0');
    out += frac;
    return out;
}

bool ParseDoubleText(std::string_view text, double& out) {
    return ParseDecimal(TrimView(text, stTrimBoth), out, TNonFinite::Accepted);
}

bool ParseInt64Text(std::string_view text, int64_t& out) {
    return ParseInteger(TrimView(text, stTrimBoth), out);
}

TDecimalFit FitDecimalText(std::string_view text, unsigned long precision, int scale,
                           std::string& out) {
    text = TrimView(text, stTrimBoth);
    double probe = 0;
    if (!ParseDoubleText(text, probe)) {
        return TDecimalFit::NotANumber; // the one grammar of numbers decides what is one
    }
    if (!std::isfinite(probe)) {
        out = std::string(text);
        return TDecimalFit::Fits;
    }
    const bool negative = text.front() == '-';
    if (text.front() == '-' || text.front() == '+') {
        text.remove_prefix(1);
    }
    // The digits, and where the point stands among them once the exponent is worked in.
    std::string digits;
    long point = -1;
    size_t i = 0;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] == '.') {
            point = static_cast<long>(digits.size());
        } else {
            digits += text[i];
        }
    }
    if (point < 0) {
        point = static_cast<long>(digits.size());
    }
    if (i < text.size()) {
        int64_t exponent = 0;
        if (!ParseInteger(text.substr(i + 1), exponent)) {
            return TDecimalFit::NotANumber;
        }
        // Beyond a double's range either way the grammar has refused it already.
        point += static_cast<long>(exponent);
    }
    const size_t leading = digits.find_first_not_of('0');
    if (leading == std::string::npos) {
        digits.clear();
    } else {
        digits.erase(0, leading);
        point -= static_cast<long>(leading);
    }
    if (scale < 0) {
        scale = static_cast<int>(std::max<long>(static_cast<long>(digits.size()) - point, 0));
    }
    // Whole digits and the fraction, padded with zeros where the point lies outside.
    std::string whole;
    std::string fraction;
    if (point <= 0) {
        fraction =
            std::string(static_cast<size_t>(std::min<long>(-point, scale + 1L)), '0') + digits;
    } else if (static_cast<size_t>(point) >= digits.size()) {
        whole = digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    } else {
        whole = digits.substr(0, static_cast<size_t>(point));
        fraction = digits.substr(static_cast<size_t>(point));
    }
    const bool roundUp =
        fraction.size() > static_cast<size_t>(scale) && fraction[static_cast<size_t>(scale)] >= '5';
    fraction.resize(static_cast<size_t>(scale), '0');
    std::string kept = whole + fraction;
    if (roundUp) {
        size_t k = kept.size();
        while (k > 0 && kept[k - 1] == '9') {
            kept[--k] = '0';
        }
        if (k == 0) {
            kept.insert(kept.begin(), '1');
        } else {
            ++kept[k - 1];
        }
    }
    whole = kept.substr(0, kept.size() - static_cast<size_t>(scale));
    fraction = kept.substr(kept.size() - static_cast<size_t>(scale));
    whole.erase(0, std::min(whole.find_first_not_of('0'), whole.size()));
    if (precision > 0 && whole.size() + static_cast<size_t>(scale) > precision) {
        return TDecimalFit::TooLarge;
    }
    const bool zero = whole.empty() && fraction.find_first_not_of('0') == std::string::npos;
    out = (negative && !zero ? "-" : "") + (whole.empty() ? std::string("0") : whole);
    if (scale > 0) {
        out += "." + fraction;
    }
    return TDecimalFit::Fits;
}

int32_t RoundToInt32(double value) {
    if (!std::isfinite(value)) {
        return 0;
    }
    // nearbyint honours the default rounding mode, which rounds ties to even.
    double r = std::nearbyint(value);
    if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) {
        return 0;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(r)));
}

bool ParseDateText(std::string_view text, SQL_DATE_STRUCT& out) {
    SQL_DATE_STRUCT d{};
    if (text.size() < 10 || !DigitsAt(text, 0, 4, d.year) || !DigitsAt(text, 5, 2, d.month) ||
        !DigitsAt(text, 8, 2, d.day)) {
        return false;
    }
    out = d;
    return true;
}

bool ParseTimeText(std::string_view text, SQL_TIME_STRUCT& out) {
    SQL_TIME_STRUCT t{};
    if (text.size() < 8 || !DigitsAt(text, 0, 2, t.hour) || !DigitsAt(text, 3, 2, t.minute) ||
        !DigitsAt(text, 6, 2, t.second)) {
        return false;
    }
    out = t;
    return true;
}

bool ParseTimestampText(std::string_view text, TDateTimeRec& out) {
    SQL_DATE_STRUCT d{};
    if (!ParseDateText(text, d)) {
        return false;
    }
    TDateTimeRec ts{};
    ts.year = d.year;
    ts.month = d.month;
    ts.day = d.day;
    if (text.size() > 10) {
        SQL_TIME_STRUCT t{};
        if (!ParseTimeText(text.substr(11), t)) {
            return false;
        }
        ts.hour = t.hour;
        ts.minute = t.minute;
        ts.second = t.second;
        // The fraction is a decimal fraction of a second: ".5" is half a second, and digits
        // beyond the ninth (below a nanosecond) are dropped.
        if (text.size() > 20) {
            std::string_view frac = text.substr(20);
            unsigned long ns = 0;
            for (size_t i = 0; i < 9; ++i) {
                char c = i < frac.size() ? frac[i] : '0';
                if (c < '0' || c > '9') {
                    return false;
                }
                ns = ns * 10 + static_cast<unsigned long>(c - '0');
            }
            for (size_t i = 9; i < frac.size(); ++i) {
                if (frac[i] < '0' || frac[i] > '9') {
                    return false;
                }
            }
            ts.fraction = static_cast<SQLUINTEGER>(ns);
        }
    }
    out = ts;
    return true;
}

TDateTimeRec ZeroDateTimeRec() {
    TDateTimeRec ts{};
    ts.year = 1899;
    ts.month = 12;
    ts.day = 30;
    return ts;
}

} // namespace zen
