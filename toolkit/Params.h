#pragma once
// Statement parameters: named, typed values that a dataset binds before it executes its
// statement and reads back afterwards (output parameters). A parameter keeps its value as
// a variant and gives it in the same native layout as field values (Field.h): texts
// zero-terminated, integers of the type's width, doubles, the native date-time forms.

#include "toolkit/Component.h"
#include "toolkit/FieldTypes.h"
#include "toolkit/Variant.h"

#include <memory>
#include <string>
#include <vector>

namespace zen {

class TField;

class TParam {
public:
    TParam() = default;
    explicit TParam(std::string name, TFieldType dataType = ftUnknown,
                    TParamType paramType = ptUnknown)
        : name_(std::move(name)), dataType_(dataType), paramType_(paramType) {}

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    TFieldType DataType() const { return dataType_; }
    void SetDataType(TFieldType type) { dataType_ = type; }
    TParamType ParamType() const { return paramType_; }
    void SetParamType(TParamType type) { paramType_ = type; }
    // Whether the value has been given to the statement as it is now.
    bool Bound() const { return bound_; }
    void SetBound(bool on) { bound_ = on; }

    bool IsNull() const { return value_.IsClear(); }
    void Clear() { value_ = TVariant::Null(); }

    // Getters convert the value (null gives "", 0, false, 0); each setter also sets the
    // data type that goes with it.
    std::string AsString() const { return value_.AsString(); }
    void SetAsString(const std::string& value) { Set(ftString, TVariant(value)); }
    void SetAsMemo(const std::string& value) { Set(ftMemo, TVariant(value)); }
    void SetAsBlob(const std::string& bytes) { Set(ftBlob, TVariant(bytes)); }
    int32_t AsInteger() const { return value_.AsInteger(); }
    void SetAsInteger(int32_t value) { Set(ftInteger, TVariant(value)); }
    void SetAsSmallInt(int16_t value) { Set(ftSmallint, TVariant(value)); }
    void SetAsWord(uint16_t value) { Set(ftWord, TVariant(int32_t{value})); }
    int64_t AsLargeInt() const { return value_.AsInt64(); }
    void SetAsLargeInt(int64_t value) { Set(ftLargeint, TVariant(value)); }
    double AsFloat() const { return value_.AsFloat(); }
    void SetAsFloat(double value) { Set(ftFloat, TVariant(value)); }
    Currency AsCurrency() const { return value_.AsCurrency(); }
    void SetAsCurrency(Currency value) { Set(ftCurrency, TVariant(value)); }
    bool AsBoolean() const { return value_.AsBoolean(); }
    void SetAsBoolean(bool value) { Set(ftBoolean, TVariant(value)); }
    TDateTime AsDateTime() const { return value_.AsDateTime(); }
    void SetAsDateTime(TDateTime value) { Set(ftDateTime, TVariant::FromDateTime(value)); }
    void SetAsDate(TDateTime value) { Set(ftDate, TVariant::FromDateTime(value)); }
    void SetAsTime(TDateTime value) { Set(ftTime, TVariant::FromDateTime(value)); }
    const TVariant& Value() const { return value_; }
    // Takes the value; an unknown data type becomes the variant's own.
    void SetValue(const TVariant& value);

    // Bytes of the value in native form: texts with their terminator, byte values as they
    // are, ftVarBytes with a 16-bit length in front, fixed sizes for the rest.
    int GetDataSize() const;
    // Writes the native form (GetDataSize bytes); nothing for null. Values that do not fit
    // the type raise EConvertError.
    void GetData(void* buffer) const;
    // The same into a buffer of size bytes, never past its end: a longer text is cut at a
    // character boundary and keeps its terminator, longer bytes are cut; a fixed-size
    // value that does not fit raises EConvertError. Returns the bytes written.
    int GetData(void* buffer, int size) const;
    // Reads the native form from size bytes (texts end at their terminator or at size).
    void SetData(const void* buffer, int size);

    // Name, data type and value of a field.
    void AssignField(const TField& field);
    // Data type and value of a field, the name kept.
    void AssignFieldValue(const TField& field, const TVariant& value);

private:
    // Out of line: inlined into every caller, GCC's flow analysis takes the moved variant
    // for uninitialised.
    void Set(TFieldType type, TVariant value);

    std::string name_;
    TFieldType dataType_ = ftUnknown;
    TParamType paramType_ = ptUnknown;
    TVariant value_ = TVariant::Null();
    bool bound_ = false;
};

class TParams : public TPersistent {
public:
    TParams() = default;
    TParams(const TParams&) = delete;
    TParams& operator=(const TParams&) = delete;
    const char* ClassName() const noexcept override { return "TParams"; }

    int Count() const { return static_cast<int>(items_.size()); }
    // EListError when out of range.
    TParam& Items(int i);
    const TParam& Items(int i) const;
    TParam& operator[](int i) { return Items(i); }
    const TParam& operator[](int i) const { return Items(i); }

    TParam& CreateParam(TFieldType dataType, const std::string& name, TParamType paramType);
    void RemoveParam(const TParam* param);
    virtual void Clear() { items_.clear(); }
    // Names match without regard to ASCII case, blanks round them ignored. The first
    // parameter of the name; nullptr / EDatabaseError "Parameter 'X' not found".
    TParam* FindParam(const std::string& name);
    const TParam* FindParam(const std::string& name) const;
    TParam& ParamByName(const std::string& name);
    // Replaces every parameter with a copy of source's.
    void Assign(const TParams& source);
    // Copies the data type and value of each of source's parameters into the parameter
    // of the same name here, when there is one.
    void AssignValues(const TParams& source);

private:
    // Parameters keep their addresses while others come and go.
    std::vector<std::unique_ptr<TParam>> items_;
};

} // namespace zen
