#pragma once
// Field and index definitions: what a dataset's columns and indexes are, before (and
// independently of) the field objects that read and write them.

#include "toolkit/FieldTypes.h"
#include "toolkit/Text.h"

#include <memory>
#include <string>
#include <vector>

namespace zen {

class TDataSet;
class TField;

class TFieldDef {
public:
    TFieldDef() = default;
    TFieldDef(std::string name, TFieldType type, int size, bool required, int fieldNo)
        : name_(std::move(name)), dataType_(type), size_(size), required_(required),
          fieldNo_(fieldNo) {}

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    TFieldType DataType() const { return dataType_; }
    void SetDataType(TFieldType type) { dataType_ = type; }
    // Characters for strings, bytes for byte fields, 0 for fixed-size types.
    int Size() const { return size_; }
    void SetSize(int size) { size_ = size; }
    bool Required() const { return required_; }
    void SetRequired(bool required) { required_ = required; }
    // 1-based column number in the dataset's records.
    int FieldNo() const { return fieldNo_; }
    void SetFieldNo(int no) { fieldNo_ = no; }
    // Decimal digits of numeric columns (informative).
    int Precision() const { return precision_; }
    void SetPrecision(int precision) { precision_ = precision; }

    // Makes the field object of this definition's type and gives it to the dataset.
    TField* CreateField(TDataSet& dataSet) const;

private:
    std::string name_;
    TFieldType dataType_ = ftUnknown;
    int size_ = 0;
    bool required_ = false;
    int fieldNo_ = 0;
    int precision_ = 0;
};

class TFieldDefs {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TFieldDef& Items(int i);
    const TFieldDef& Items(int i) const;
    TFieldDef& operator[](int i) { return Items(i); }
    const TFieldDef& operator[](int i) const { return Items(i); }

    // Adds a definition numbered after the last one; EDatabaseError "Duplicate field name
    // 'X'" when the name is taken, and for a negative size.
    TFieldDef& Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
    void Clear() { items_.clear(); }
    // Names compare without regard to ASCII case; -1 / nullptr when absent.
    int IndexOf(const std::string& name) const;
    const TFieldDef* FindDef(const std::string& name) const;
    // EDatabaseError "Field 'X' not found" when absent.
    const TFieldDef& Find(const std::string& name) const;

private:
    std::vector<TFieldDef> items_;
};

class TIndexDef {
public:
    TIndexDef() = default;
    TIndexDef(std::string name, std::string fields, TIndexOptions options)
        : name_(std::move(name)), fields_(std::move(fields)), options_(options) {}

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    // Field names separated by ";".
    const std::string& Fields() const { return fields_; }
    void SetFields(const std::string& fields) { fields_ = fields; }
    std::vector<std::string> FieldList() const;
    TIndexOptions Options() const { return options_; }
    void SetOptions(TIndexOptions options) { options_ = options; }

private:
    std::string name_;
    std::string fields_;
    TIndexOptions options_ = 0;
};

class TIndexDefs {
public:
    int Count() const { return static_cast<int>(items_.size()); }
    TIndexDef& Items(int i);
    const TIndexDef& Items(int i) const;
    TIndexDef& operator[](int i) { return Items(i); }
    const TIndexDef& operator[](int i) const { return Items(i); }

    // EDatabaseError for a duplicate name or a second primary index.
    TIndexDef& Add(const std::string& name, const std::string& fields, TIndexOptions options);
    void Clear() { items_.clear(); }
    int IndexOf(const std::string& name) const;
    // EDatabaseError "Index 'X' not found" when absent.
    const TIndexDef& Find(const std::string& name) const;
    // The primary index, or nullptr.
    const TIndexDef* Primary() const;
    // The first index whose field list begins with the given fields, or nullptr.
    const TIndexDef* FindIndexForFields(const std::string& fields) const;

private:
    std::vector<TIndexDef> items_;
};

// Splits a ";"-separated list of names, trimming blanks round each and dropping empty ones.
std::vector<std::string> SplitFieldNames(const std::string& names);

} // namespace zen
