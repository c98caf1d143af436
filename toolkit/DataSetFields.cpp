// The dataset's field list: finding, adding and removing fields, binding them to the
// field definitions, and filling calculated and lookup fields.

#include "toolkit/DataSet.h"

#include <algorithm>

namespace zen {

namespace {

bool IsLongType(TFieldType t) {
    return t == ftBlob || t == ftMemo || t == ftGraphic || t == ftFmtMemo || t == ftParadoxOle ||
           t == ftDBaseOle || t == ftTypedBinary;
}

// Whether a field of type f reads a column defined as d without misreading its slot.
bool CompatibleTypes(TFieldType f, TFieldType d) {
    if (f == d) {
        return true;
    }
    auto isString = [](TFieldType t) {
        return t == ftString || t == ftFixedChar || t == ftWideString;
    };
    auto isInt32 = [](TFieldType t) { return t == ftInteger || t == ftAutoInc; };
    auto isDouble = [](TFieldType t) { return t == ftFloat || t == ftCurrency; };
    return (isString(f) && isString(d)) || (isInt32(f) && isInt32(d)) ||
           (isDouble(f) && isDouble(d)) || (IsLongType(f) && IsLongType(d));
}

} // namespace

// --- TFields ---------------------------------------------------------------------------

TField* TFields::FindField(const std::string& name) const {
    for (TField* f : list_) {
        if (SameName(f->FieldName(), name)) {
            return f;
        }
    }
    return nullptr;
}

int TFields::IndexOf(const TField* field) const {
    auto it = std::find(list_.begin(), list_.end(), field);
    return it == list_.end() ? -1 : static_cast<int>(it - list_.begin());
}

// --- Fields ----------------------------------------------------------------------------

TField* TDataSet::FieldByName(const std::string& name) const {
    TField* f = FindField(name);
    if (!f) {
        DatabaseError("Field '" + name + "' not found");
    }
    return f;
}

TField* TDataSet::FieldByNumber(int fieldNo) const {
    for (TField* f : fields_) {
        if (f->FieldKind() == fkData && f->FieldNo() == fieldNo) {
            return f;
        }
    }
    return nullptr;
}

std::vector<TField*> TDataSet::GetFieldList(const std::string& names) const {
    std::vector<TField*> out;
    for (const std::string& name : SplitFieldNames(names)) {
        out.push_back(FieldByName(name));
    }
    return out;
}

TVariant TDataSet::FieldValues(const std::string& names) const {
    auto list = GetFieldList(names);
    if (list.size() == 1) {
        return list[0]->AsVariant();
    }
    std::vector<TVariant> values;
    for (TField* f : list) {
        values.push_back(f->AsVariant());
    }
    return TVariant::Array(std::move(values));
}

void TDataSet::SetFieldValues(const std::string& names, const TVariant& values) {
    auto list = GetFieldList(names);
    if (list.size() == 1) {
        list[0]->SetAsVariant(values.IsArray() && values.ArrayCount() == 1 ? values[0] : values);
        return;
    }
    if (!values.IsArray() || values.ArrayCount() != static_cast<int>(list.size())) {
        DatabaseError("Wrong number of values for fields '" + names + "'");
    }
    for (size_t i = 0; i < list.size(); ++i) {
        list[i]->SetAsVariant(values[static_cast<int>(i)]);
    }
}

TField* TDataSet::AddField(std::unique_ptr<TField> field) {
    CheckInactive();
    if (!field) {
        DatabaseError("No field given");
    }
    if (field->DataSet()) {
        DatabaseError("Field '" + field->FieldName() + "' already belongs to a dataset");
    }
    if (!field->FieldName().empty() && FindField(field->FieldName())) {
        DatabaseError("Duplicate field name '" + field->FieldName() + "'");
    }
    if (field->LookupDataSet() == this) {
        DatabaseError("Field '" + field->FieldName() + "' cannot look up in its own dataset");
    }
    TField* raw = field.release();
    raw->dataSet_ = this;
    fields_.list_.push_back(raw);
    DataEvent(deFieldListChange, 0);
    return raw;
}

std::unique_ptr<TField> TDataSet::RemoveField(TField* field) {
    CheckInactive();
    if (fields_.IndexOf(field) < 0) {
        DatabaseError("Field is not in this dataset");
    }
    RemoveFieldFromList(field);
    field->dataSet_ = nullptr;
    DataEvent(deFieldListChange, 0);
    return std::unique_ptr<TField>(field);
}

void TDataSet::RemoveFieldFromList(TField* field) {
    std::erase(fields_.list_, field);
}

void TDataSet::CreateFields() {
    for (int i = 0; i < fieldDefs_.Count(); ++i) {
        fieldDefs_[i].CreateField(*this);
    }
}

void TDataSet::DestroyFields() {
    while (!fields_.list_.empty()) {
        TField* f = fields_.list_.back();
        fields_.list_.pop_back();
        f->dataSet_ = nullptr;
        delete f;
    }
}

void TDataSet::BindFields(bool binding) {
    calcFieldsSize_ = 0;
    hasLookupFields_ = false;
    for (TField* f : fields_) {
        if (!binding) {
            f->offset_ = 0;
            continue;
        }
        if (f->FieldKind() == fkData) {
            const TFieldDef* def = fieldDefs_.FindDef(f->FieldName());
            if (!def) {
                DatabaseError("Field '" + f->FieldName() + "' not found");
            }
            if (!CompatibleTypes(f->DataType(), def->DataType())) {
                DatabaseError("Type mismatch for field '" + f->FieldName() +
                              "', expecting: " + FieldTypeName(f->DataType()) +
                              " actual: " + FieldTypeName(def->DataType()));
            }
            // The dataset copies DataSize bytes from the column's slot: sizes must agree.
            if (!IsLongType(def->DataType()) && f->Size() != def->Size() &&
                (f->DataType() == ftString || f->DataType() == ftFixedChar ||
                 f->DataType() == ftWideString || f->DataType() == ftBytes ||
                 f->DataType() == ftVarBytes)) {
                DatabaseError("Size mismatch for field '" + f->FieldName() +
                              "', expecting: " + std::to_string(f->Size()) +
                              " actual: " + std::to_string(def->Size()));
            }
            f->fieldNo_ = def->FieldNo();
        } else {
            f->fieldNo_ = 0;
            f->offset_ = calcFieldsSize_;
            calcFieldsSize_ += f->DataSize() + 1;
            hasLookupFields_ = hasLookupFields_ || f->FieldKind() == fkLookup;
        }
    }
}

// --- Calculated and lookup fields ------------------------------------------------------

void TDataSet::GetCalcFields(TRecordBuffer buffer) {
    if (calcFieldsSize_ <= 0) {
        return;
    }
    TDataSetState saved = SetTempState(dsCalcFields);
    try {
        CalculateFields(buffer);
    } catch (...) {
        RestoreState(saved);
        throw;
    }
    RestoreState(saved);
}

void TDataSet::CalculateFields(TRecordBuffer buffer) {
    calcBuffer_ = buffer;
    if (state_ != dsInternalCalc) {
        ClearCalcFields(buffer);
        if (hasLookupFields_) {
            for (TField* f : fields_) {
                if (f->FieldKind() == fkLookup) {
                    CalcLookupValue(f);
                }
            }
        }
    }
    DoOnCalcFields();
}

void TDataSet::CalcLookupValue(TField* field) {
    TDataSet* source = field->LookupDataSet();
    if (!source || !source->Active() || field->KeyFields().empty() ||
        field->LookupKeyFields().empty() || field->LookupResultField().empty()) {
        return;
    }
    TVariant keys = FieldValues(field->KeyFields());
    if (keys.IsClear()) {
        return;
    }
    field->SetAsVariant(source->Lookup(field->LookupKeyFields(), keys, field->LookupResultField()));
}

} // namespace zen
