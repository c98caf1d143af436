#include "transfer/RowValues.h"

#include "toolkit/DataSet.h"
#include "toolkit/Field.h"

#include <cstring>

namespace zen {

std::string TDataSetValues::Text(const char* column) const {
    return ds_.FieldByName(column)->AsString();
}

double TDataSetValues::Number(const char* column) const {
    return ds_.FieldByName(column)->AsFloat();
}

int32_t TDataSetValues::Integer(const char* column) const {
    return ds_.FieldByName(column)->AsInteger();
}

std::optional<TDateTime> TDataSetValues::Date(const char* column) const {
    TField* field = ds_.FieldByName(column);
    if (field->IsNull()) {
        return std::nullopt;
    }
    return field->AsDateTime();
}

void TDataSetWriter::Text(const char* column, const std::string& value) {
    ds_.FieldByName(column)->SetAsString(value);
}

void TDataSetWriter::Number(const char* column, double value) {
    ds_.FieldByName(column)->SetAsFloat(value);
}

void TDataSetWriter::Integer(const char* column, int32_t value) {
    ds_.FieldByName(column)->SetAsInteger(value);
}

void TDataSetWriter::Date(const char* column, TDateTime value) {
    ds_.FieldByName(column)->SetAsDateTime(value);
}

double TDataSetWriter::NumberOf(const char* column) const {
    return ds_.FieldByName(column)->AsFloat();
}

TDateTime TDataSetWriter::DateOf(const char* column) const {
    return ds_.FieldByName(column)->AsDateTime();
}

void TRowRecord::Text(const char* column, const std::string& value) {
    values_.push_back({column, TKind::Text, value});
}

void TRowRecord::Number(const char* column, double value) {
    values_.push_back({column, TKind::Number, {}, value});
}

void TRowRecord::Integer(const char* column, int32_t value) {
    values_.push_back({column, TKind::Integer, {}, static_cast<double>(value)});
}

void TRowRecord::Date(const char* column, TDateTime value) {
    values_.push_back({column, TKind::Date, {}, value});
}

void TRowRecord::Default(const char* column) {
    values_.push_back({column, TKind::Default, {}});
}

const TRowRecord::TValue* TRowRecord::Last(const char* column) const {
    for (auto it = values_.rbegin(); it != values_.rend(); ++it) {
        if (std::strcmp(it->column, column) == 0) {
            return &*it;
        }
    }
    return nullptr;
}

double TRowRecord::NumberOf(const char* column) const {
    const TValue* v = Last(column);
    return v && v->kind != TKind::Text && v->kind != TKind::Default ? v->number : 0;
}

std::string TRowRecord::TextOf(const char* column) const {
    const TValue* v = Last(column);
    return v && v->kind == TKind::Text ? v->text : std::string();
}

TDateTime TRowRecord::DateOf(const char* column) const {
    return NumberOf(column);
}

void TRowRecord::WriteTo(TRowWriter& row) const {
    for (const TValue& v : values_) {
        switch (v.kind) {
        case TKind::Text:
            row.Text(v.column, v.text);
            break;
        case TKind::Number:
            row.Number(v.column, v.number);
            break;
        case TKind::Integer:
            row.Integer(v.column, static_cast<int32_t>(v.number));
            break;
        case TKind::Date:
            row.Date(v.column, v.number);
            break;
        case TKind::Default:
            row.Default(v.column);
            break;
        }
    }
}

} // namespace zen
