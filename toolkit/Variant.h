#pragma once
// A variant value: what field values, lookup keys and lookup results are passed around as
// when their type is only known at run time. Numbers are read and written with "."
// whatever the C locale says; date-times as text follow the toolkit's format settings
// (FormatSettings()), the one place where the operator's conventions apply.
//
// Typed comparison (VarSameValue, VarCompare): two texts compare byte for byte; numbers
// (integers, doubles, currency, date-times, Booleans) compare numerically; a number and a
// text compare numerically with the text converted to a number, and a text that is not a
// number raises EConvertError; a Boolean and a text compare as Booleans. Null equals only
// null, empty only empty. Arrays are equal when their elements are, pairwise.

#include "toolkit/DateTime.h"
#include "toolkit/Money.h"

#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace zen {

enum TVarType {
    varEmpty,
    varNull,
    varSmallint, // 16-bit integer
    varInteger,  // 32-bit integer
    varInt64,
    varDouble,
    varCurrency,
    varString, // UTF-8 text (also raw bytes)
    varBoolean,
    varDate,
    varArray,
};

class TVariant {
public:
    TVariant() = default; // empty
    TVariant(int16_t v) : type_(varSmallint), value_(int64_t{v}) {}
    TVariant(int32_t v) : type_(varInteger), value_(int64_t{v}) {}
    TVariant(int64_t v) : type_(varInt64), value_(v) {}
    // Other integer types (unsigned, long long, size_t) as a 64-bit integer; EConvertError
    // for an unsigned value above the 64-bit signed range.
    template <class T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char> &&
             !std::is_same_v<T, int16_t> && !std::is_same_v<T, int32_t> &&
             !std::is_same_v<T, int64_t> && (sizeof(T) > 2 || std::is_unsigned_v<T>)) TVariant(T v)
        : type_(varInt64), value_(CheckedInt64(v)) {}
    TVariant(double v) : type_(varDouble), value_(v) {}
    TVariant(Currency v) : type_(varCurrency), value_(v) {}
    TVariant(std::string v) : type_(varString), value_(std::move(v)) {}
    TVariant(const char* v) : type_(varString), value_(std::string(v ? v : "")) {}
    TVariant(bool v) : type_(varBoolean), value_(v) {}

    static TVariant Null();
    static TVariant FromDateTime(TDateTime v);
    static TVariant Array(std::vector<TVariant> items);

    TVarType VarType() const noexcept { return type_; }
    bool IsEmpty() const noexcept { return type_ == varEmpty; }
    bool IsNull() const noexcept { return type_ == varNull; }
    // Empty or null: the value carries nothing.
    bool IsClear() const noexcept { return type_ == varEmpty || type_ == varNull; }
    bool IsArray() const noexcept { return type_ == varArray; }
    bool IsText() const noexcept { return type_ == varString; }
    // Integers, doubles, currency and date-times.
    bool IsNumeric() const noexcept;

    // Conversions. Empty and null give "", 0, false and date-time 0; texts are parsed
    // (EConvertError "'x' is not a valid integer value" and the like); an array converts
    // to nothing (EVariantError). AsInteger checks the 32-bit range (EConvertError).
    std::string AsString() const;
    int32_t AsInteger() const;
    int64_t AsInt64() const;
    double AsFloat() const;
    Currency AsCurrency() const;
    bool AsBoolean() const;
    TDateTime AsDateTime() const;

    // Array access; EVariantError when this is not an array or i is out of range.
    int ArrayCount() const;
    const TVariant& operator[](int i) const;
    TVariant& operator[](int i);
    const std::vector<TVariant>& Items() const;

    // Typed equality (see the header comment); EConvertError as VarSameValue.
    friend bool operator==(const TVariant& a, const TVariant& b);

private:
    template <class T> static int64_t CheckedInt64(T v) {
        if constexpr (std::is_unsigned_v<T> && sizeof(T) >= sizeof(int64_t)) {
            if (v > static_cast<T>(INT64_MAX)) {
                OutOfRange(std::to_string(v));
            }
        }
        return static_cast<int64_t>(v);
    }
    [[noreturn]] static void OutOfRange(const std::string& text);

    using Storage = std::variant<std::monostate, int64_t, double, Currency, std::string, bool,
                                 std::vector<TVariant>>;
    TVarType type_ = varEmpty;
    Storage value_;
};

// Typed equality; raises EConvertError when a text must be read as a number and is not one.
bool VarSameValue(const TVariant& a, const TVariant& b);
// Typed order: negative, zero or positive. Empty sorts before null, null before values.
// Values that have no order between them (an array and a scalar) raise EVariantError.
int VarCompare(const TVariant& a, const TVariant& b);
// The text of a value, "" for empty and null.
inline std::string VarToStr(const TVariant& v) {
    return v.AsString();
}

// Locale-independent number texts shared by variants and fields.
// A double in at most 15 significant digits, general notation ("0.1", "1e+20").
std::string FloatToText(double value);
// Parses a whole text (surrounding blanks allowed) as a number; false when it is not one.
bool TryTextToFloat(const std::string& text, double& out);
bool TryTextToInt64(const std::string& text, int64_t& out);
// The same, raising EConvertError "'x' is not a valid floating point value" /
// "'x' is not a valid integer value".
double TextToFloat(const std::string& text);
int64_t TextToInt64(const std::string& text);
int32_t TextToInt32(const std::string& text);
// "True"/"False", "T"/"F", "Yes"/"No", "Y"/"N" in any case, or a number (non-zero is true);
// EConvertError "'x' is not a valid boolean value" otherwise.
bool TextToBool(const std::string& text);

} // namespace zen
