// The numeric fields (integers of every width, floats, currency) and the Boolean field.

#include "toolkit/Field.h"

#include "toolkit/Exceptions.h"
#include "toolkit/FieldInternal.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace zen {

using namespace field_detail;

namespace {

Currency ScaledCurrency(int64_t value) {
    __int128 raw = static_cast<__int128>(value) * 10000;
    if (raw > std::numeric_limits<int64_t>::max() || raw < std::numeric_limits<int64_t>::min()) {
        throw EOverflow(std::to_string(value) + " does not fit a currency amount");
    }
    return Currency::FromRaw(static_cast<int64_t>(raw));
}

int64_t RoundToInt64(long double value, const std::string& text) {
    long double r = RoundHalfEven(value);
    if (!(r >= -9223372036854775808.0L && r < 9223372036854775808.0L)) {
        throw EConvertError("'" + text + "' is not a valid integer value");
    }
    return static_cast<int64_t>(r);
}

} // namespace

// --- Integer fields --------------------------------------------------------------------

TIntegerField::TIntegerField()
    : TIntegerField(ftInteger, std::numeric_limits<int32_t>::min(),
                    std::numeric_limits<int32_t>::max()) {}

TIntegerField::TIntegerField(TFieldType type, int64_t minValue, int64_t maxValue)
    : TNumericField(type), typeMin_(minValue), typeMax_(maxValue) {}

TSmallintField::TSmallintField() : TIntegerField(ftSmallint, -32768, 32767) {}
TWordField::TWordField() : TIntegerField(ftWord, 0, 65535) {}
TAutoIncField::TAutoIncField()
    : TIntegerField(ftAutoInc, std::numeric_limits<int32_t>::min(),
                    std::numeric_limits<int32_t>::max()) {}
TLargeintField::TLargeintField()
    : TIntegerField(ftLargeint, std::numeric_limits<int64_t>::min(),
                    std::numeric_limits<int64_t>::max()) {}

int TIntegerField::DataSize() const {
    return FieldDataSize(DataType(), Size());
}

void TIntegerField::SetRange(int64_t minValue, int64_t maxValue) {
    min_ = minValue;
    max_ = maxValue;
}

bool TIntegerField::GetValue(int64_t& value) const {
    char buf[8] = {};
    if (!GetData(buf)) {
        return false;
    }
    switch (DataType()) {
    case ftSmallint:
        value = Load<int16_t>(buf);
        break;
    case ftWord:
        value = Load<uint16_t>(buf);
        break;
    case ftLargeint:
        value = Load<int64_t>(buf);
        break;
    default:
        value = Load<int32_t>(buf);
        break;
    }
    return true;
}

std::string TIntegerField::GetAsString() const {
    int64_t v;
    return GetValue(v) ? std::to_string(v) : std::string();
}

int32_t TIntegerField::GetAsInteger() const {
    int64_t v = 0;
    GetValue(v);
    return CheckInt32(v);
}

int64_t TIntegerField::GetAsLargeInt() const {
    int64_t v = 0;
    GetValue(v);
    return v;
}

double TIntegerField::GetAsFloat() const {
    return static_cast<double>(GetAsLargeInt());
}
Currency TIntegerField::GetAsCurrency() const {
    return ScaledCurrency(GetAsLargeInt());
}
bool TIntegerField::GetAsBoolean() const {
    return GetAsLargeInt() != 0;
}

TVariant TIntegerField::GetAsVariant() const {
    int64_t v = GetAsLargeInt();
    switch (DataType()) {
    case ftSmallint:
        return TVariant(static_cast<int16_t>(v));
    case ftLargeint:
        return TVariant(v);
    default:
        return TVariant(static_cast<int32_t>(v));
    }
}

void TIntegerField::SetAsLargeIntValue(int64_t value) {
    int64_t lo = (min_ != 0 || max_ != 0) ? min_ : typeMin_;
    int64_t hi = (min_ != 0 || max_ != 0) ? max_ : typeMax_;
    if (value < lo || value > hi) {
        throw EDatabaseError(std::to_string(value) + " is not a valid value for field '" +
                             DisplayName() + "'. The allowed range is " + std::to_string(lo) +
                             " to " + std::to_string(hi));
    }
    char buf[8] = {};
    switch (DataType()) {
    case ftSmallint:
        Store<int16_t>(buf, static_cast<int16_t>(value));
        break;
    case ftWord:
        Store<uint16_t>(buf, static_cast<uint16_t>(value));
        break;
    case ftLargeint:
        Store<int64_t>(buf, value);
        break;
    default:
        Store<int32_t>(buf, static_cast<int32_t>(value));
        break;
    }
    SetData(buf);
}

void TIntegerField::SetAsStringValue(const std::string& value) {
    if (Trim(value).empty()) {
        Clear();
    } else {
        SetAsLargeIntValue(TextToInt64(value));
    }
}

void TIntegerField::SetAsIntegerValue(int32_t value) {
    SetAsLargeIntValue(value);
}

void TIntegerField::SetAsFloatValue(double value) {
    SetAsLargeIntValue(RoundToInt64(value, FloatToText(value)));
}

void TIntegerField::SetAsCurrencyValue(Currency value) {
    SetAsLargeIntValue(value.Round());
}

void TIntegerField::SetAsBooleanValue(bool value) {
    SetAsLargeIntValue(value ? 1 : 0);
}

// --- Float fields ----------------------------------------------------------------------

TFloatField::TFloatField() : TFloatField(ftFloat) {}
TFloatField::TFloatField(TFieldType type) : TNumericField(type) {}
TCurrencyField::TCurrencyField() : TFloatField(ftCurrency) {}

void TFloatField::SetPrecision(int digits) {
    if (digits < 1 || digits > 15) {
        throw EDatabaseError("Invalid precision " + std::to_string(digits) + " for field '" +
                             DisplayName() + "'");
    }
    precision_ = digits;
}

bool TFloatField::GetValue(double& value) const {
    char buf[8] = {};
    if (!GetData(buf)) {
        return false;
    }
    value = Load<double>(buf);
    return true;
}

std::string TFloatField::GetAsString() const {
    double v;
    if (!GetValue(v)) {
        return "";
    }
    if (!std::isfinite(v) || v == 0) {
        return FloatToText(v);
    }
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision_);
    return std::string(buf, r.ptr);
}

double TFloatField::GetAsFloat() const {
    double v = 0;
    GetValue(v);
    return v;
}

int32_t TFloatField::GetAsInteger() const {
    return CheckInt32(GetAsLargeInt());
}

int64_t TFloatField::GetAsLargeInt() const {
    double v = GetAsFloat();
    return RoundToInt64(v, FloatToText(v));
}

Currency TFloatField::GetAsCurrency() const {
    return Currency::FromDouble(GetAsFloat());
}

TVariant TFloatField::GetAsVariant() const {
    return TVariant(GetAsFloat());
}

void TFloatField::SetAsFloatValue(double value) {
    if (!std::isfinite(value)) {
        throw EDatabaseError(FloatToText(value) + " is not a valid value for field '" +
                             DisplayName() + "'");
    }
    char buf[8];
    Store<double>(buf, value);
    SetData(buf);
}

void TFloatField::SetAsStringValue(const std::string& value) {
    if (Trim(value).empty()) {
        Clear();
    } else {
        SetAsFloatValue(TextToFloat(value));
    }
}

void TFloatField::SetAsIntegerValue(int32_t value) {
    SetAsFloatValue(value);
}
void TFloatField::SetAsLargeIntValue(int64_t value) {
    SetAsFloatValue(static_cast<double>(value));
}
void TFloatField::SetAsCurrencyValue(Currency value) {
    SetAsFloatValue(value.ToDouble());
}

std::string TCurrencyField::GetAsString() const {
    double v;
    if (!GetValue(v)) {
        return "";
    }
    try {
        return CurrencyText(Currency::FromDouble(v));
    } catch (const EMathError&) {
        return FloatToText(v);
    }
}

TVariant TCurrencyField::GetAsVariant() const {
    double v = GetAsFloat();
    try {
        return TVariant(Currency::FromDouble(v));
    } catch (const EMathError&) {
        return TVariant(v);
    }
}

// --- TBooleanField ---------------------------------------------------------------------

TBooleanField::TBooleanField() : TField(ftBoolean) {}

bool TBooleanField::GetValue(bool& value) const {
    char buf[2] = {};
    if (!GetData(buf)) {
        return false;
    }
    value = Load<int16_t>(buf) != 0;
    return true;
}

std::string TBooleanField::GetAsString() const {
    bool v;
    return GetValue(v) ? (v ? "True" : "False") : "";
}

bool TBooleanField::GetAsBoolean() const {
    bool v = false;
    GetValue(v);
    return v;
}

int32_t TBooleanField::GetAsInteger() const {
    return GetAsBoolean() ? 1 : 0;
}

TVariant TBooleanField::GetAsVariant() const {
    return TVariant(GetAsBoolean());
}

void TBooleanField::SetAsBooleanValue(bool value) {
    char buf[2];
    Store<int16_t>(buf, value ? 1 : 0);
    SetData(buf);
}

void TBooleanField::SetAsStringValue(const std::string& value) {
    if (Trim(value).empty()) {
        Clear();
    } else {
        SetAsBooleanValue(TextToBool(value));
    }
}

void TBooleanField::SetAsIntegerValue(int32_t value) {
    SetAsBooleanValue(value != 0);
}
void TBooleanField::SetAsLargeIntValue(int64_t value) {
    SetAsBooleanValue(value != 0);
}

} // namespace zen
