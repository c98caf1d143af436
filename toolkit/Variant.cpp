#include "toolkit/Variant.h"

#include "toolkit/Exceptions.h"
#include "toolkit/NumberText.h"

#include <charconv>
#include <cmath>
#include <compare>
#include <cstring>
#include <limits>

namespace zen {

namespace {

std::string TrimBlanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) {
        ++b;
    }
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) {
        --e;
    }
    return s.substr(b, e - b);
}

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return s;
}

[[noreturn]] void NotAnInteger(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid integer value");
}

[[noreturn]] void ArrayHasNoValue() {
    throw EVariantError("Invalid variant type conversion: an array has no single value");
}

bool IsIntegerType(TVarType t) {
    return t == varSmallint || t == varInteger || t == varInt64;
}

// A number as an exact count of ten-thousandths (integers, currency) or as long double.
struct Number {
    bool exact = false;
    __int128 scaled = 0;
    long double real = 0;

    long double AsReal() const {
        return exact ? static_cast<long double>(scaled) / 10000.0L : real;
    }
};

Number ToNumber(const TVariant& v) {
    Number n;
    switch (v.VarType()) {
    case varSmallint:
    case varInteger:
    case varInt64:
        n.exact = true;
        n.scaled = static_cast<__int128>(v.AsInt64()) * 10000;
        break;
    case varCurrency:
        n.exact = true;
        n.scaled = v.AsCurrency().Raw();
        break;
    case varString: {
        int64_t i;
        if (TryTextToInt64(v.AsString(), i)) {
            n.exact = true;
            n.scaled = static_cast<__int128>(i) * 10000;
        } else {
            n.real = TextToFloat(v.AsString());
        }
        break;
    }
    default:
        n.real = v.AsFloat();
        break;
    }
    return n;
}

std::partial_ordering CompareNumbers(const Number& a, const Number& b) {
    if (a.exact && b.exact) {
        return a.scaled <=> b.scaled;
    }
    return a.AsReal() <=> b.AsReal();
}

int Rank(TVarType t) {
    switch (t) {
    case varEmpty:
        return 0;
    case varNull:
        return 1;
    case varArray:
        return 3;
    default:
        return 2;
    }
}

// Orders two values; unordered for NaN and for texts that hold different non-numbers.
std::partial_ordering CompareValues(const TVariant& a, const TVariant& b) {
    int ra = Rank(a.VarType()), rb = Rank(b.VarType());
    if (ra != 2 || rb != 2) {
        if (ra == 3 && rb == 3) {
            const auto& x = a.Items();
            const auto& y = b.Items();
            for (size_t i = 0; i < x.size() && i < y.size(); ++i) {
                auto c = CompareValues(x[i], y[i]);
                if (c != 0) {
                    return c;
                }
            }
            return x.size() <=> y.size();
        }
        if (ra == 3 || rb == 3) {
            if (ra < 2 || rb < 2) {
                return ra <=> rb;
            }
            throw EVariantError("An array cannot be compared with a single value");
        }
        return ra <=> rb;
    }
    if (a.VarType() == varString && b.VarType() == varString) {
        // char_traits<char> compares as unsigned bytes.
        return a.AsString().compare(b.AsString()) <=> 0;
    }
    if (a.VarType() == varBoolean || b.VarType() == varBoolean) {
        return a.AsBoolean() <=> b.AsBoolean();
    }
    return CompareNumbers(ToNumber(a), ToNumber(b));
}

} // namespace

std::string FloatToText(double value) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    if (value == 0) {
        return "0";
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, r.ptr);
}

bool TryTextToFloat(const std::string& text, double& out) {
    return ParseDecimal(TrimBlanks(text), out);
}

bool TryTextToInt64(const std::string& text, int64_t& out) {
    return ParseInteger(TrimBlanks(text), out);
}

double TextToFloat(const std::string& text) {
    double v;
    if (!TryTextToFloat(text, v)) {
        throw EConvertError("'" + text + "' is not a valid floating point value");
    }
    return v;
}

int64_t TextToInt64(const std::string& text) {
    int64_t v;
    if (!TryTextToInt64(text, v)) {
        NotAnInteger(text);
    }
    return v;
}

int32_t TextToInt32(const std::string& text) {
    int64_t v = TextToInt64(text);
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        NotAnInteger(text);
    }
    return static_cast<int32_t>(v);
}

bool TextToBool(const std::string& text) {
    std::string s = Lower(TrimBlanks(text));
    if (s == "true" || s == "t" || s == "yes" || s == "y") {
        return true;
    }
    if (s == "false" || s == "f" || s == "no" || s == "n") {
        return false;
    }
    double d;
    if (TryTextToFloat(s, d)) {
        return d != 0;
    }
    throw EConvertError("'" + text + "' is not a valid boolean value");
}

void TVariant::OutOfRange(const std::string& text) {
    NotAnInteger(text);
}

TVariant TVariant::Null() {
    TVariant v;
    v.type_ = varNull;
    return v;
}

TVariant TVariant::FromDateTime(TDateTime value) {
    TVariant v(value);
    v.type_ = varDate;
    return v;
}

TVariant TVariant::Array(std::vector<TVariant> items) {
    TVariant v;
    v.type_ = varArray;
    v.value_ = std::move(items);
    return v;
}

bool TVariant::IsNumeric() const noexcept {
    return IsIntegerType(type_) || type_ == varDouble || type_ == varCurrency || type_ == varDate;
}

std::string TVariant::AsString() const {
    switch (type_) {
    case varEmpty:
    case varNull:
        return "";
    case varSmallint:
    case varInteger:
    case varInt64:
        return std::to_string(std::get<int64_t>(value_));
    case varDouble:
        return FloatToText(std::get<double>(value_));
    case varCurrency: {
        std::string s = std::get<Currency>(value_).ToString();
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0') {
                s.pop_back();
            }
            if (s.back() == '.') {
                s.pop_back();
            }
        }
        return s;
    }
    case varString:
        return std::get<std::string>(value_);
    case varBoolean:
        return std::get<bool>(value_) ? "True" : "False";
    case varDate:
        return DateTimeToStr(std::get<double>(value_));
    case varArray:
        break;
    }
    ArrayHasNoValue();
}

int64_t TVariant::AsInt64() const {
    switch (type_) {
    case varEmpty:
    case varNull:
        return 0;
    case varSmallint:
    case varInteger:
    case varInt64:
        return std::get<int64_t>(value_);
    case varDouble:
    case varDate: {
        long double r = RoundHalfEven(std::get<double>(value_));
        // 2^63 is exact in long double; anything at or past it does not fit.
        if (!(r >= -9223372036854775808.0L && r < 9223372036854775808.0L)) {
            NotAnInteger(AsString());
        }
        return static_cast<int64_t>(r);
    }
    case varCurrency:
        return std::get<Currency>(value_).Round();
    case varString:
        return TextToInt64(std::get<std::string>(value_));
    case varBoolean:
        return std::get<bool>(value_) ? 1 : 0;
    case varArray:
        break;
    }
    ArrayHasNoValue();
}

int32_t TVariant::AsInteger() const {
    int64_t v = AsInt64();
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        NotAnInteger(AsString());
    }
    return static_cast<int32_t>(v);
}

double TVariant::AsFloat() const {
    switch (type_) {
    case varEmpty:
    case varNull:
        return 0;
    case varSmallint:
    case varInteger:
    case varInt64:
        return static_cast<double>(std::get<int64_t>(value_));
    case varDouble:
    case varDate:
        return std::get<double>(value_);
    case varCurrency:
        return std::get<Currency>(value_).ToDouble();
    case varString:
        return TextToFloat(std::get<std::string>(value_));
    case varBoolean:
        return std::get<bool>(value_) ? 1 : 0;
    case varArray:
        break;
    }
    ArrayHasNoValue();
}

Currency TVariant::AsCurrency() const {
    switch (type_) {
    case varCurrency:
        return std::get<Currency>(value_);
    case varSmallint:
    case varInteger:
    case varInt64: {
        __int128 raw = static_cast<__int128>(std::get<int64_t>(value_)) * 10000;
        if (raw > std::numeric_limits<int64_t>::max() ||
            raw < std::numeric_limits<int64_t>::min()) {
            throw EOverflow("Value " + AsString() + " does not fit a currency amount");
        }
        return Currency::FromRaw(static_cast<int64_t>(raw));
    }
    case varArray:
        ArrayHasNoValue();
    default:
        return Currency::FromDouble(AsFloat());
    }
}

bool TVariant::AsBoolean() const {
    switch (type_) {
    case varEmpty:
    case varNull:
        return false;
    case varBoolean:
        return std::get<bool>(value_);
    case varString:
        return TextToBool(std::get<std::string>(value_));
    case varCurrency:
        return std::get<Currency>(value_).Raw() != 0;
    case varArray:
        ArrayHasNoValue();
    default:
        return AsFloat() != 0;
    }
}

TDateTime TVariant::AsDateTime() const {
    if (type_ == varString) {
        const std::string& s = std::get<std::string>(value_);
        TDateTime dt;
        if (TryStrToDate(s, dt)) {
            return dt;
        }
        double d;
        if (TryTextToFloat(s, d)) {
            return d;
        }
        throw EConvertError("'" + s + "' is not a valid date and time");
    }
    return AsFloat();
}

int TVariant::ArrayCount() const {
    return static_cast<int>(Items().size());
}

const std::vector<TVariant>& TVariant::Items() const {
    if (type_ != varArray) {
        throw EVariantError("Variant is not an array");
    }
    return std::get<std::vector<TVariant>>(value_);
}

const TVariant& TVariant::operator[](int i) const {
    const auto& items = Items();
    if (i < 0 || static_cast<size_t>(i) >= items.size()) {
        throw EVariantError("Variant array index " + std::to_string(i) + " out of bounds");
    }
    return items[static_cast<size_t>(i)];
}

TVariant& TVariant::operator[](int i) {
    return const_cast<TVariant&>(static_cast<const TVariant&>(*this)[i]);
}

bool operator==(const TVariant& a, const TVariant& b) {
    return VarSameValue(a, b);
}

bool VarSameValue(const TVariant& a, const TVariant& b) {
    if (a.IsArray() != b.IsArray()) {
        return false;
    }
    if (a.IsArray()) {
        if (a.ArrayCount() != b.ArrayCount()) {
            return false;
        }
        for (int i = 0; i < a.ArrayCount(); ++i) {
            if (!VarSameValue(a[i], b[i])) {
                return false;
            }
        }
        return true;
    }
    return CompareValues(a, b) == 0;
}

int VarCompare(const TVariant& a, const TVariant& b) {
    auto c = CompareValues(a, b);
    if (c == std::partial_ordering::unordered) {
        throw EVariantError("Values " + a.AsString() + " and " + b.AsString() +
                            " cannot be compared");
    }
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace zen
