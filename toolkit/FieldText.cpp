// The fields that hold text or bytes: strings, fixed and variable byte fields, blobs and
// memos.

#include "toolkit/Field.h"

#include "toolkit/DataSet.h"
#include "toolkit/Exceptions.h"
#include "toolkit/FieldInternal.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace zen {

using namespace field_detail;

namespace {

constexpr int kMaxStringSize = 65535;

// Bytes of text that hold at most chars characters of UTF-8 and at most maxBytes bytes.
size_t Utf8Prefix(const std::string& text, int chars, size_t maxBytes) {
    return std::min(Utf8LeftBytes(text, static_cast<size_t>(std::max(chars, 0))),
                    Utf8FitBytes(text, maxBytes));
}

} // namespace

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
    if (!Validating()) {
        CheckDataSet().GetLongerText(const_cast<TStringField*>(this), value);
    }
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
    if (n < value.size() && CheckWritable().SetLongerText(this, value)) {
        return;
    }
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

void TBytesField::CheckFits(const std::string& value) const {
    if (value.size() > static_cast<size_t>(Size())) {
        throw EDatabaseError("Value of " + std::to_string(value.size()) +
                             " bytes does not fit field '" + DisplayName() + "' of " +
                             std::to_string(Size()));
    }
}

std::string TBytesField::GetAsString() const {
    std::string buf(static_cast<size_t>(DataSize()), '\0');
    return GetData(buf.data()) ? buf : std::string();
}

TVariant TBytesField::GetAsVariant() const {
    return TVariant(GetAsString());
}

void TBytesField::SetAsStringValue(const std::string& value) {
    CheckFits(value);
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
    CheckFits(value);
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
    std::string value = GetAsString();
    // A dataset may read a long value only when it is asked for, and find it NULL then.
    return IsNull() ? TVariant::Null() : TVariant(std::move(value));
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
