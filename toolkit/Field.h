#pragma once
// Field objects: typed access to one column (or one calculated value) of a dataset's
// current record. A field holds no value itself: every read goes through its dataset's
// GetFieldData and every write through SetFieldData, in the binary layout of the field's
// type (DataSize bytes):
//
//   ftString, ftFixedChar, ftWideString  UTF-8 text, zero-terminated; Size counts characters,
//                                        so DataSize is Size * kMaxCharBytes + 1
//   ftSmallint, ftWord, ftBoolean        16-bit integer (a Boolean is 0 or 1)
//   ftInteger, ftAutoInc                 32-bit integer
//   ftLargeint                           64-bit integer
//   ftFloat, ftCurrency                  64-bit double
//   ftDate                               32-bit day number, 1 January of year 1 being day 1
//   ftTime                               32-bit milliseconds since midnight
//   ftDateTime                           double, milliseconds since the start of year 1
//   ftBytes                              Size bytes
//   ftVarBytes                           16-bit length, then up to Size bytes
//   ftBlob, ftMemo, ...                  nothing: read and written through the dataset's
//                                        CreateBlobStream
//
// A null value reads as "", 0, false or date-time 0. Texts that do not convert raise
// EConvertError; an access a field type does not offer (a date as Boolean) raises
// EDatabaseError "Cannot access field 'X' as type Y".

#include "toolkit/Component.h"
#include "toolkit/DateTime.h"
#include "toolkit/FieldTypes.h"
#include "toolkit/Money.h"
#include "toolkit/Variant.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zen {

class TDataSet;
class TField;

using TFieldNotifyEvent = std::function<void(TField&)>;

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc };

// The most bytes one character takes in UTF-8.
constexpr int kMaxCharBytes = 4;

// Bytes of a value of this type and size in a record buffer (see the header comment);
// 0 for blobs and for types without a native form.
int FieldDataSize(TFieldType type, int size);

// The native date-time forms.
struct TTimeStamp {
    int32_t Time = 0; // milliseconds since midnight
    int32_t Date = 1; // days since 1 January of year 1, that day being 1
};
// Day number of 30 December 1899, the toolkit's date-time 0.
constexpr int32_t kDateDelta = 693594;
TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
double TimeStampToMSecs(const TTimeStamp& stamp);
// EConvertError when the value is not a valid millisecond count.
TTimeStamp MSecsToTimeStamp(double msecs);
// Writes a date-time into a value slot of type ftDate, ftTime or ftDateTime (4, 4 or 8
// bytes) and reads it back.
void DateTimeToNative(TFieldType type, TDateTime value, void* slot);
TDateTime NativeToDateTime(TFieldType type, const void* slot);

class TField : public TComponent {
public:
    // A field of a type without typed access (ftBCD, ftCursor, ...): it still reports its
    // null state, and every typed access raises the access error.
    explicit TField(TFieldType type = ftUnknown);
    ~TField() override;

    const char* ClassName() const noexcept override { return "TField"; }

    // --- Identity --------------------------------------------------------------------
    const std::string& FieldName() const { return fieldName_; }
    void SetFieldName(const std::string& name);
    // 1-based column number of a data field (set when the dataset binds its fields);
    // 0 for calculated and lookup fields.
    int FieldNo() const { return fieldNo_; }
    TFieldType DataType() const { return dataType_; }
    int Size() const { return size_; }
    // EDatabaseError when the type does not take this size, or the dataset is open.
    virtual void SetSize(int size);
    // Bytes of the field's value in a record buffer (see the header comment).
    virtual int DataSize() const { return 0; }
    TFieldKind FieldKind() const { return fieldKind_; }
    void SetFieldKind(TFieldKind kind);
    bool Calculated() const { return fieldKind_ == fkCalculated; }
    void SetCalculated(bool on) { SetFieldKind(on ? fkCalculated : fkData); }
    bool Lookup() const { return fieldKind_ == fkLookup; }
    void SetLookup(bool on) { SetFieldKind(on ? fkLookup : fkData); }
    // Offset of a calculated or lookup field's value in the calculated-field area; the
    // value (DataSize bytes) is followed by one flag byte (1 = has a value).
    int Offset() const { return offset_; }
    // Position in the dataset's field list, -1 when it has none.
    int Index() const;
    TDataSet* DataSet() const { return dataSet_; }

    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool on) { readOnly_ = on; }
    bool Required() const { return required_; }
    void SetRequired(bool on) { required_ = on; }
    bool Visible() const { return visible_; }
    void SetVisible(bool on) { visible_ = on; }
    const std::string& DisplayLabel() const { return displayLabel_; }
    void SetDisplayLabel(const std::string& label) { displayLabel_ = label; }
    // The label when set, else the field name.
    const std::string& DisplayName() const;
    virtual bool IsBlob() const { return false; }
    // Writable now: not read-only, a data or calculated field of a dataset that can modify.
    bool CanModify() const;

    // --- Lookup fields: the value of LookupResultField in the row of LookupDataSet whose
    // LookupKeyFields equal this dataset's KeyFields (lists separated by ";").
    TDataSet* LookupDataSet() const { return lookupDataSet_; }
    void SetLookupDataSet(TDataSet* dataSet);
    const std::string& KeyFields() const { return keyFields_; }
    void SetKeyFields(const std::string& names) { keyFields_ = names; }
    const std::string& LookupKeyFields() const { return lookupKeyFields_; }
    void SetLookupKeyFields(const std::string& names) { lookupKeyFields_ = names; }
    const std::string& LookupResultField() const { return lookupResultField_; }
    void SetLookupResultField(const std::string& name) { lookupResultField_ = name; }

    // --- Values --------------------------------------------------------------------
    bool IsNull() const;
    void Clear() { SetData(nullptr); }
    std::string AsString() const { return GetAsString(); }
    void SetAsString(const std::string& value) { SetAsStringValue(value); }
    int32_t AsInteger() const { return GetAsInteger(); }
    void SetAsInteger(int32_t value) { SetAsIntegerValue(value); }
    int64_t AsLargeInt() const { return GetAsLargeInt(); }
    void SetAsLargeInt(int64_t value) { SetAsLargeIntValue(value); }
    double AsFloat() const { return GetAsFloat(); }
    void SetAsFloat(double value) { SetAsFloatValue(value); }
    Currency AsCurrency() const { return GetAsCurrency(); }
    void SetAsCurrency(Currency value) { SetAsCurrencyValue(value); }
    bool AsBoolean() const { return GetAsBoolean(); }
    void SetAsBoolean(bool value) { SetAsBooleanValue(value); }
    TDateTime AsDateTime() const { return GetAsDateTime(); }
    void SetAsDateTime(TDateTime value) { SetAsDateTimeValue(value); }
    // Null when the field is null, else the value in the field's own variant type.
    TVariant AsVariant() const;
    // Empty and null clear the field; other values go through the matching setter.
    void SetAsVariant(const TVariant& value);
    TVariant Value() const { return AsVariant(); }
    void SetValue(const TVariant& value) { SetAsVariant(value); }
    // The value before the current edit (read in the dataset's old-value state).
    TVariant OldValue() const;

    // --- Raw access ------------------------------------------------------------------
    // Copies DataSize bytes of the value into buffer (which may be null to ask only);
    // false when the value is null.
    bool GetData(void* buffer) const;
    // Writes DataSize bytes from buffer; a null buffer makes the value null.
    // EDatabaseError "Field 'X' cannot be modified" on a read-only field.
    void SetData(const void* buffer);
    // Fires OnValidate with buffer as the pending value (the handler reads it through the
    // field's getters); a handler rejects it by raising. Datasets call this from
    // SetFieldData before storing a data field's value.
    virtual void Validate(const void* buffer);
    // Fires OnChange; datasets reach it through the deFieldChange data event.
    virtual void Change();
    // Asks the data links to focus this field's control.
    void FocusControl();

    TFieldNotifyEvent OnChange;
    TFieldNotifyEvent OnValidate;

protected:
    void Notification(TComponent* component, TOperation operation) override;

    virtual std::string GetAsString() const;
    virtual int32_t GetAsInteger() const;
    virtual int64_t GetAsLargeInt() const;
    virtual double GetAsFloat() const;
    virtual Currency GetAsCurrency() const;
    virtual bool GetAsBoolean() const;
    virtual TDateTime GetAsDateTime() const;
    virtual TVariant GetAsVariant() const;
    virtual void SetAsStringValue(const std::string& value);
    virtual void SetAsIntegerValue(int32_t value);
    virtual void SetAsLargeIntValue(int64_t value);
    virtual void SetAsFloatValue(double value);
    virtual void SetAsCurrencyValue(Currency value);
    virtual void SetAsBooleanValue(bool value);
    virtual void SetAsDateTimeValue(TDateTime value);

    [[noreturn]] void AccessError(const char* typeName) const;
    // Whether OnValidate runs: reads see the value being written, not the record's.
    bool Validating() const { return inValidate_; }
    // EDatabaseError "Field 'X' has no dataset".
    TDataSet& CheckDataSet() const;
    // The dataset, when the field may be written in its state; EDatabaseError "Field 'X'
    // cannot be modified" on a read-only field.
    TDataSet& CheckWritable() const;
    void SetDataType(TFieldType type) { dataType_ = type; }
    void SetSizeUnchecked(int size) { size_ = size; }

private:
    friend class TDataSet;

    std::string fieldName_;
    TFieldType dataType_;
    int size_ = 0;
    int fieldNo_ = 0;
    int offset_ = 0;
    TFieldKind fieldKind_ = fkData;
    TDataSet* dataSet_ = nullptr;
    bool readOnly_ = false;
    bool required_ = false;
    bool visible_ = true;
    std::string displayLabel_;
    TDataSet* lookupDataSet_ = nullptr;
    std::string keyFields_;
    std::string lookupKeyFields_;
    std::string lookupResultField_;
    // While OnValidate runs, reads see the value being written.
    const void* validating_ = nullptr;
    bool inValidate_ = false;
};

class TStringField : public TField {
public:
    // type: ftString, ftFixedChar or ftWideString.
    explicit TStringField(int size = 20, TFieldType type = ftString);
    const char* ClassName() const noexcept override { return "TStringField"; }
    int DataSize() const override { return FieldDataSize(DataType(), Size()); }
    void SetSize(int size) override;
    // The text, false when null; whole, also when the record holds more of it than
    // DataSize bytes (TDataSet::GetLongerText).
    bool GetValue(std::string& value) const;

protected:
    std::string GetAsString() const override;
    int32_t GetAsInteger() const override;
    int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    Currency GetAsCurrency() const override;
    bool GetAsBoolean() const override;
    TDateTime GetAsDateTime() const override;
    TVariant GetAsVariant() const override;
    // Texts longer than Size characters are cut there (never inside a character), unless
    // the dataset's record takes them whole for this field (TDataSet::SetLongerText).
    void SetAsStringValue(const std::string& value) override;
    void SetAsIntegerValue(int32_t value) override;
    void SetAsLargeIntValue(int64_t value) override;
    void SetAsFloatValue(double value) override;
    void SetAsCurrencyValue(Currency value) override;
    void SetAsBooleanValue(bool value) override;
    void SetAsDateTimeValue(TDateTime value) override;
};

// Common ground of the integer and floating-point fields.
class TNumericField : public TField {
public:
    using TField::TField;
    const char* ClassName() const noexcept override { return "TNumericField"; }
};

class TIntegerField : public TNumericField {
public:
    TIntegerField();
    const char* ClassName() const noexcept override { return "TIntegerField"; }
    int DataSize() const override;
    // The value, false when null.
    bool GetValue(int64_t& value) const;
    // Both 0: the type's own range.
    void SetRange(int64_t minValue, int64_t maxValue);

protected:
    TIntegerField(TFieldType type, int64_t minValue, int64_t maxValue);
    std::string GetAsString() const override;
    int32_t GetAsInteger() const override;
    int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    Currency GetAsCurrency() const override;
    bool GetAsBoolean() const override;
    TVariant GetAsVariant() const override;
    void SetAsStringValue(const std::string& value) override;
    void SetAsIntegerValue(int32_t value) override;
    void SetAsLargeIntValue(int64_t value) override;
    void SetAsFloatValue(double value) override;
    void SetAsCurrencyValue(Currency value) override;
    void SetAsBooleanValue(bool value) override;

private:
    int64_t typeMin_, typeMax_;
    int64_t min_ = 0, max_ = 0;
};

class TSmallintField : public TIntegerField {
public:
    TSmallintField();
    const char* ClassName() const noexcept override { return "TSmallintField"; }
};

class TWordField : public TIntegerField {
public:
    TWordField();
    const char* ClassName() const noexcept override { return "TWordField"; }
};

class TAutoIncField : public TIntegerField {
public:
    TAutoIncField();
    const char* ClassName() const noexcept override { return "TAutoIncField"; }
};

class TLargeintField : public TIntegerField {
public:
    TLargeintField();
    const char* ClassName() const noexcept override { return "TLargeintField"; }
};

class TFloatField : public TNumericField {
public:
    TFloatField();
    const char* ClassName() const noexcept override { return "TFloatField"; }
    int DataSize() const override { return 8; }
    bool GetValue(double& value) const;
    // Significant digits of AsString (1..15, default 15).
    int Precision() const { return precision_; }
    void SetPrecision(int digits);

protected:
    explicit TFloatField(TFieldType type);
    std::string GetAsString() const override;
    int32_t GetAsInteger() const override;
    int64_t GetAsLargeInt() const override;
    double GetAsFloat() const override;
    Currency GetAsCurrency() const override;
    TVariant GetAsVariant() const override;
    void SetAsStringValue(const std::string& value) override;
    void SetAsIntegerValue(int32_t value) override;
    void SetAsLargeIntValue(int64_t value) override;
    // Infinities and NaN are refused (EDatabaseError): no column can keep them.
    void SetAsFloatValue(double value) override;
    void SetAsCurrencyValue(Currency value) override;

private:
    int precision_ = 15;
};

class TCurrencyField : public TFloatField {
public:
    TCurrencyField();
    const char* ClassName() const noexcept override { return "TCurrencyField"; }

protected:
    std::string GetAsString() const override;
    TVariant GetAsVariant() const override;
};

class TBooleanField : public TField {
public:
    TBooleanField();
    const char* ClassName() const noexcept override { return "TBooleanField"; }
    int DataSize() const override { return 2; }
    bool GetValue(bool& value) const;

protected:
    // "True" / "False".
    std::string GetAsString() const override;
    int32_t GetAsInteger() const override;
    int64_t GetAsLargeInt() const override { return GetAsInteger(); }
    bool GetAsBoolean() const override;
    TVariant GetAsVariant() const override;
    void SetAsStringValue(const std::string& value) override;
    void SetAsIntegerValue(int32_t value) override;
    void SetAsLargeIntValue(int64_t value) override;
    void SetAsBooleanValue(bool value) override;
};

// ftDateTime; TDateField and TTimeField keep only the date or the time of day.
class TDateTimeField : public TField {
public:
    TDateTimeField();
    const char* ClassName() const noexcept override { return "TDateTimeField"; }
    int DataSize() const override;
    bool GetValue(TDateTime& value) const;

protected:
    explicit TDateTimeField(TFieldType type);
    // In the format settings' short date format (and long time format when there is a
    // time of day).
    std::string GetAsString() const override;
    double GetAsFloat() const override;
    TDateTime GetAsDateTime() const override;
    TVariant GetAsVariant() const override;
    // Parsed with the format settings; "" clears. EConvertError "'x' is not a valid date
    // and time" (date, time) otherwise.
    void SetAsStringValue(const std::string& value) override;
    void SetAsFloatValue(double value) override;
    void SetAsDateTimeValue(TDateTime value) override;
};

class TDateField : public TDateTimeField {
public:
    TDateField();
    const char* ClassName() const noexcept override { return "TDateField"; }
};

class TTimeField : public TDateTimeField {
public:
    TTimeField();
    const char* ClassName() const noexcept override { return "TTimeField"; }
};

// Fixed-size (ftBytes) and length-prefixed (ftVarBytes) byte values; AsString is the
// bytes as they are.
class TBytesField : public TField {
public:
    explicit TBytesField(int size = 16);
    const char* ClassName() const noexcept override { return "TBytesField"; }
    int DataSize() const override { return FieldDataSize(DataType(), Size()); }
    void SetSize(int size) override;

protected:
    TBytesField(TFieldType type, int size);
    std::string GetAsString() const override;
    TVariant GetAsVariant() const override;
    // Longer values are refused (EDatabaseError); shorter ones are padded with zeros.
    void SetAsStringValue(const std::string& value) override;
    // EDatabaseError when the value has more bytes than the field.
    void CheckFits(const std::string& value) const;
};

class TVarBytesField : public TBytesField {
public:
    explicit TVarBytesField(int size = 16);
    const char* ClassName() const noexcept override { return "TVarBytesField"; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& value) override;
};

// Long values, read and written whole through the dataset's blob stream.
class TBlobField : public TField {
public:
    // type: ftBlob, ftMemo, ftGraphic, ftFmtMemo and the other long types.
    explicit TBlobField(TFieldType type = ftBlob);
    const char* ClassName() const noexcept override { return "TBlobField"; }
    bool IsBlob() const override { return true; }
    // Size is informative for blobs (the column's declared size); any size >= 0 is taken.
    void SetSize(int size) override;

protected:
    std::string GetAsString() const override;
    TVariant GetAsVariant() const override;
    void SetAsStringValue(const std::string& value) override;
};

class TMemoField : public TBlobField {
public:
    TMemoField();
    const char* ClassName() const noexcept override { return "TMemoField"; }
};

// The field class of a field type: ftString -> TStringField and so on; types without a
// class of their own give a plain TField.
std::unique_ptr<TField> CreateFieldOfType(TFieldType type, int size);
const char* FieldTypeName(TFieldType type);

} // namespace zen
