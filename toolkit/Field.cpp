// The field base class: its settings, reading and writing through the dataset, validation
// and the default conversions; the names, sizes and factory of the field types.

#include "toolkit/Field.h"

#include "toolkit/DataSet.h"
#include "toolkit/Exceptions.h"
#include "toolkit/FieldInternal.h"

#include <cstring>
#include <limits>

namespace zen {

namespace field_detail {

[[noreturn]] void InvalidDateTime(const std::string& text) {
    throw EConvertError("'" + text + "' is not a valid date and time");
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) {
        return "";
    }
    size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

std::string CurrencyText(Currency c) {
    return TVariant(c).AsString();
}

int32_t CheckInt32(int64_t v) {
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        throw EConvertError("'" + std::to_string(v) + "' is not a valid integer value");
    }
    return static_cast<int32_t>(v);
}

} // namespace field_detail

using namespace field_detail;

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

TDataSet& TField::CheckWritable() const {
    TDataSet& ds = CheckDataSet();
    TDataSetState st = ds.State();
    if (readOnly_ && st != dsSetKey && st != dsFilter && st != dsCalcFields &&
        st != dsInternalCalc) {
        throw EDatabaseError("Field '" + DisplayName() + "' cannot be modified");
    }
    return ds;
}

void TField::SetData(const void* buffer) {
    CheckWritable().SetFieldData(this, buffer);
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

} // namespace zen
