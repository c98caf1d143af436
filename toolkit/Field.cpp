#include "toolkit/Field.h"

#include "toolkit/DataSet.h"
#include "toolkit/Exceptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace zen {

namespace {

constexpr int64_t kMSecsPerDay = 86400000;
// Day number of 31 December 9999, the last day a date-time may have.
constexpr int64_t kMaxDay = 3652059;
constexpr int kMaxStringSize = 65535;

[[noreturn]] void InvalidDateTime(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid date and time");
}

template <class T> T Load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T> void Store(char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) {
        return "";
    }
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// Bytes of text that hold at most chars characters of UTF-8 and at most maxBytes bytes.
size_t Utf8Prefix(const std::string& text, int chars, size_t maxBytes) {
    int seen = 0;
    size_t i = 0;
    for (; i < text.size() && i < maxBytes; ++i) {
        bool lead = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (lead && ++seen > chars) {
            break;
        }
    }
    // A cut at the byte limit must not split a character either.
    if (i < text.size() && i == maxBytes) {
        while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
            --i;
        }
    }
    return i;
}

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

std::string CurrencyText(Currency c) {
    return TVariant(c).AsString();
}

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

int32_t CheckInt32(int64_t v) {
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        throw EConvertError("'" + std::to_string(v) + "' is not a valid integer value");
    }
    return static_cast<int32_t>(v);
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

const char* FieldTypeName(TFieldType type) {
    static const char* const names[] = {
        "Unknown",    "String",     "Smallint", "Integer",     "Word",      "Boolean",
        "Float",      "Currency",   "BCD",      "Date",        "Time",      "DateTime",
        "Bytes",      "VarBytes",   "AutoInc",  "Blob",        "Memo",      "Graphic",
        "FmtMemo",    "ParadoxOle", "DBaseOle", "TypedBinary", "Cursor",    "FixedChar",
        "WideString", "Largeint",   "ADT",      "Array",       "Reference", "DataSet",
    };
    auto i = static_cast<size_t>(type);
    return i < sizeof names / sizeof names[0] ? names[i] : "Unknown";
}

int FieldDataSize(TFieldType type, int size) {
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return size * kMaxCharBytes + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
        return 2;
    case ftInteger:
    case ftAutoInc:
    case ftDate:
    case ftTime:
        return 4;
    case ftLargeint:
    case ftFloat:
    case ftCurrency:
    case ftDateTime:
        return 8;
    case ftBytes:
        return size;
    case ftVarBytes:
        return size + 2;
    default:
        return 0;
    }
}

std::unique_ptr<TField> CreateFieldOfType(TFieldType type, int size) {
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return std::make_unique<TStringField>(size, type);
    case ftSmallint:
        return std::make_unique<TSmallintField>();
    case ftInteger:
        return std::make_unique<TIntegerField>();
    case ftWord:
        return std::make_unique<TWordField>();
    case ftAutoInc:
        return std::make_unique<TAutoIncField>();
    case ftLargeint:
        return std::make_unique<TLargeintField>();
    case ftBoolean:
        return std::make_unique<TBooleanField>();
    case ftFloat:
        return std::make_unique<TFloatField>();
    case ftCurrency:
        return std::make_unique<TCurrencyField>();
    case ftDate:
        return std::make_unique<TDateField>();
    case ftTime:
        return std::make_unique<TTimeField>();
    case ftDateTime:
        return std::make_unique<TDateTimeField>();
    case ftBytes:
        return std::make_unique<TBytesField>(size);
    case ftVarBytes:
        return std::make_unique<TVarBytesField>(size);
    case ftMemo:
        return std::make_unique<TMemoField>();
    case ftBlob:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary: {
        auto f = std::make_unique<TBlobField>(type);
        f->SetSize(size);
        return f;
    }
    default: {
        auto f = std::make_unique<TField>(type);
        f->SetSize(size);
        return f;
    }
    }
}

// --- TField ----------------------------------------------------------------------------

TField::TField(TFieldType type) : dataType_(type) {}

TField::~TField() {
    if (dataSet_) {
        dataSet_->RemoveFieldFromList(this);
    }
}

void TField::SetFieldName(const std::string& name) {
    if (dataSet_) {
        TField* other = dataSet_->FindField(name);
        if (other && other != this) {
            dataSet_->DatabaseError("Duplicate field name '" + name + "'");
        }
    }
    fieldName_ = name;
}

void TField::SetSize(int size) {
    if (dataSet_) {
        dataSet_->CheckInactive();
    }
    if (size < 0) {
        throw EDatabaseError("Invalid field size " + std::to_string(size));
    }
    size_ = size;
}

void TField::SetFieldKind(TFieldKind kind) {
    if (dataSet_) {
        dataSet_->CheckInactive();
    }
    fieldKind_ = kind;
}

int TField::Index() const {
    return dataSet_ ? dataSet_->Fields().IndexOf(this) : -1;
}

const std::string& TField::DisplayName() const {
    return displayLabel_.empty() ? fieldName_ : displayLabel_;
}

bool TField::CanModify() const {
    return !readOnly_ && (fieldKind_ == fkData || fieldKind_ == fkInternalCalc) && dataSet_ &&
           dataSet_->Active() && dataSet_->CanModify();
}

void TField::SetLookupDataSet(TDataSet* dataSet) {
    if (dataSet && dataSet == dataSet_) {
        throw EDatabaseError("Field '" + fieldName_ + "' cannot look up in its own dataset");
    }
    if (lookupDataSet_) {
        lookupDataSet_->RemoveFreeNotification(this);
        RemoveFreeNotification(lookupDataSet_);
    }
    lookupDataSet_ = dataSet;
    if (dataSet) {
        FreeNotification(dataSet);
    }
}

void TField::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component == lookupDataSet_) {
        lookupDataSet_ = nullptr;
    }
}

TDataSet& TField::CheckDataSet() const {
    if (!dataSet_) {
        throw EDatabaseError("Field '" + DisplayName() + "' has no dataset");
    }
    return *dataSet_;
}

void TField::AccessError(const char* typeName) const {
    throw EDatabaseError("Cannot access field '" + DisplayName() + "' as type " + typeName);
}

bool TField::IsNull() const {
    if (inValidate_) {
        return validating_ == nullptr;
    }
    return !GetData(nullptr);
}

bool TField::GetData(void* buffer) const {
    if (inValidate_) {
        if (!validating_) {
            return false;
        }
        if (buffer && DataSize() > 0) {
            std::memcpy(buffer, validating_, static_cast<size_t>(DataSize()));
        }
        return true;
    }
    TDataSet& ds = CheckDataSet();
    if (!ds.Active()) {
        return false;
    }
    return ds.GetFieldData(const_cast<TField*>(this), buffer);
}

void TField::SetData(const void* buffer) {
    TDataSet& ds = CheckDataSet();
    TDataSetState st = ds.State();
    if (readOnly_ && st != dsSetKey && st != dsFilter && st != dsCalcFields &&
        st != dsInternalCalc) {
        throw EDatabaseError("Field '" + DisplayName() + "' cannot be modified");
    }
    ds.SetFieldData(this, buffer);
}

void TField::Validate(const void* buffer) {
    if (!OnValidate) {
        return;
    }
    const void* savedBuffer = validating_;
    bool saved = inValidate_;
    validating_ = buffer;
    inValidate_ = true;
    try {
        OnValidate(*this);
    } catch (...) {
        validating_ = savedBuffer;
        inValidate_ = saved;
        throw;
    }
    validating_ = savedBuffer;
    inValidate_ = saved;
}

void TField::Change() {
    if (OnChange) {
        OnChange(*this);
    }
}

void TField::FocusControl() {
    if (dataSet_) {
        dataSet_->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(this));
    }
}

TVariant TField::AsVariant() const {
    return IsNull() ? TVariant::Null() : GetAsVariant();
}

void TField::SetAsVariant(const TVariant& value) {
    switch (value.VarType()) {
    case varEmpty:
    case varNull:
        Clear();
        break;
    case varSmallint:
    case varInteger:
        SetAsInteger(value.AsInteger());
        break;
    case varInt64:
        SetAsLargeInt(value.AsInt64());
        break;
    case varDouble:
        SetAsFloat(value.AsFloat());
        break;
    case varCurrency:
        SetAsCurrency(value.AsCurrency());
        break;
    case varString:
        SetAsString(value.AsString());
        break;
    case varBoolean:
        SetAsBoolean(value.AsBoolean());
        break;
    case varDate:
        SetAsDateTime(value.AsDateTime());
        break;
    case varArray:
        throw EVariantError("Field '" + DisplayName() + "' cannot take an array value");
    }
}

TVariant TField::OldValue() const {
    TDataSet& ds = CheckDataSet();
    TDataSetState saved = ds.SetTempState(dsOldValue);
    try {
        TVariant v = AsVariant();
        ds.RestoreState(saved);
        return v;
    } catch (...) {
        ds.RestoreState(saved);
        throw;
    }
}

std::string TField::GetAsString() const {
    if (IsNull()) {
        return "";
    }
    AccessError("String");
}
int32_t TField::GetAsInteger() const {
    AccessError("Integer");
}
int64_t TField::GetAsLargeInt() const {
    return GetAsInteger();
}
double TField::GetAsFloat() const {
    AccessError("Float");
}
Currency TField::GetAsCurrency() const {
    return Currency::FromDouble(GetAsFloat());
}
bool TField::GetAsBoolean() const {
    AccessError("Boolean");
}
TDateTime TField::GetAsDateTime() const {
    AccessError("DateTime");
}
TVariant TField::GetAsVariant() const {
    AccessError("Variant");
}
void TField::SetAsStringValue(const std::string&) {
    AccessError("String");
}
void TField::SetAsIntegerValue(int32_t) {
    AccessError("Integer");
}
void TField::SetAsLargeIntValue(int64_t value) {
    SetAsIntegerValue(CheckInt32(value));
}
void TField::SetAsFloatValue(double) {
    AccessError("Float");
}
void TField::SetAsCurrencyValue(Currency value) {
    SetAsFloatValue(value.ToDouble());
}
void TField::SetAsBooleanValue(bool) {
    AccessError("Boolean");
}
void TField::SetAsDateTimeValue(TDateTime) {
    AccessError("DateTime");
}

// --- TStringField ----------------------------------------------------------------------

TStringField::TStringField(int size, TFieldType type) : TField(type) {
    SetSize(size);
}

void TStringField::SetSize(int size) {
    if (size < 1 || size > kMaxStringSize) {
        throw EDatabaseError("Invalid size " + std::to_string(size) + " for string field" +
                             (FieldName().empty() ? "" : " '" + FieldName() + "'"));
    }
    TField::SetSize(size);
}

bool TStringField::GetValue(std::string& value) const {
    std::vector<char> buf(static_cast<size_t>(DataSize()), '\0');
    if (!GetData(buf.data())) {
        return false;
    }
    value.assign(buf.data(), strnlen(buf.data(), buf.size()));
    return true;
}

std::string TStringField::GetAsString() const {
    std::string s;
    GetValue(s);
    return s;
}

int32_t TStringField::GetAsInteger() const {
    std::string s;
    return GetValue(s) ? TextToInt32(s) : 0;
}

int64_t TStringField::GetAsLargeInt() const {
    std::string s;
    return GetValue(s) ? TextToInt64(s) : 0;
}

double TStringField::GetAsFloat() const {
    std::string s;
    return GetValue(s) ? TextToFloat(s) : 0;
}

Currency TStringField::GetAsCurrency() const {
    std::string s;
    return GetValue(s) ? TVariant(s).AsCurrency() : Currency();
}

bool TStringField::GetAsBoolean() const {
    std::string s;
    return GetValue(s) && !Trim(s).empty() && TextToBool(s);
}

TDateTime TStringField::GetAsDateTime() const {
    std::string s;
    if (!GetValue(s) || Trim(s).empty()) {
        return 0;
    }
    TDateTime dt;
    if (!TryStrToDate(s, dt)) {
        InvalidDateTime(s);
    }
    return dt;
}

TVariant TStringField::GetAsVariant() const {
    return TVariant(GetAsString());
}

void TStringField::SetAsStringValue(const std::string& value) {
    size_t bytes = static_cast<size_t>(DataSize() - 1);
    size_t n = Utf8Prefix(value, Size(), bytes);
    std::vector<char> buf(static_cast<size_t>(DataSize()), '\0');
    std::memcpy(buf.data(), value.data(), n);
    SetData(buf.data());
}

void TStringField::SetAsIntegerValue(int32_t value) {
    SetAsString(std::to_string(value));
}
void TStringField::SetAsLargeIntValue(int64_t value) {
    SetAsString(std::to_string(value));
}
void TStringField::SetAsFloatValue(double value) {
    SetAsString(FloatToText(value));
}
void TStringField::SetAsCurrencyValue(Currency value) {
    SetAsString(CurrencyText(value));
}
void TStringField::SetAsBooleanValue(bool value) {
    SetAsString(value ? "True" : "False");
}
void TStringField::SetAsDateTimeValue(TDateTime value) {
    SetAsString(DateTimeToStr(value));
}

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
    SetAsLargeIntValue(RoundToInt64(value.ToLongDouble(), CurrencyText(value)));
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

// --- Byte fields -----------------------------------------------------------------------

TBytesField::TBytesField(int size) : TBytesField(ftBytes, size) {}
TBytesField::TBytesField(TFieldType type, int size) : TField(type) {
    SetSize(size);
}
TVarBytesField::TVarBytesField(int size) : TBytesField(ftVarBytes, size) {}

void TBytesField::SetSize(int size) {
    if (size < 1 || size > kMaxStringSize) {
        throw EDatabaseError("Invalid size " + std::to_string(size) + " for byte field" +
                             (FieldName().empty() ? "" : " '" + FieldName() + "'"));
    }
    TField::SetSize(size);
}

std::string TBytesField::GetAsString() const {
    std::string buf(static_cast<size_t>(DataSize()), '\0');
    return GetData(buf.data()) ? buf : std::string();
}

TVariant TBytesField::GetAsVariant() const {
    return TVariant(GetAsString());
}

void TBytesField::SetAsStringValue(const std::string& value) {
    if (value.size() > static_cast<size_t>(Size())) {
        throw EDatabaseError("Value of " + std::to_string(value.size()) +
                             " bytes does not fit field '" + DisplayName() + "' of " +
                             std::to_string(Size()));
    }
    std::string buf(static_cast<size_t>(DataSize()), '\0');
    std::memcpy(buf.data(), value.data(), value.size());
    SetData(buf.data());
}

std::string TVarBytesField::GetAsString() const {
    std::string buf(static_cast<size_t>(DataSize()), '\0');
    if (!GetData(buf.data())) {
        return "";
    }
    size_t len = std::min<size_t>(Load<uint16_t>(buf.data()), static_cast<size_t>(Size()));
    return buf.substr(2, len);
}

void TVarBytesField::SetAsStringValue(const std::string& value) {
    if (value.size() > static_cast<size_t>(Size())) {
        throw EDatabaseError("Value of " + std::to_string(value.size()) +
                             " bytes does not fit field '" + DisplayName() + "' of " +
                             std::to_string(Size()));
    }
    std::string buf(static_cast<size_t>(DataSize()), '\0');
    Store<uint16_t>(buf.data(), static_cast<uint16_t>(value.size()));
    std::memcpy(buf.data() + 2, value.data(), value.size());
    SetData(buf.data());
}

// --- Blob fields -----------------------------------------------------------------------

TBlobField::TBlobField(TFieldType type) : TField(type) {}
TMemoField::TMemoField() : TBlobField(ftMemo) {}

void TBlobField::SetSize(int size) {
    TField::SetSize(size);
}

std::string TBlobField::GetAsString() const {
    if (IsNull()) {
        return "";
    }
    auto stream = CheckDataSet().CreateBlobStream(const_cast<TBlobField*>(this), bmRead);
    return stream->ReadAll();
}

TVariant TBlobField::GetAsVariant() const {
    return TVariant(GetAsString());
}

void TBlobField::SetAsStringValue(const std::string& value) {
    if (value.empty()) {
        Clear();
        return;
    }
    TDataSet& ds = CheckDataSet();
    // The stream writes straight into the record buffer, so the checks that SetData makes
    // for other fields are made here.
    if (ReadOnly()) {
        throw EDatabaseError("Field '" + DisplayName() + "' cannot be modified");
    }
    if (ds.State() != dsEdit && ds.State() != dsInsert) {
        throw EDatabaseError("Dataset not in edit or insert mode");
    }
    auto stream = ds.CreateBlobStream(this, bmWrite);
    stream->WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
}

} // namespace zen
