#include "toolkit/FieldDefs.h"

#include "toolkit/DataSet.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"

namespace zen {

namespace {

template <class List> auto& At(List& items, int i, const char* what) {
    if (i < 0 || static_cast<size_t>(i) >= items.size()) {
        throw EListError(std::string(what) + " index out of bounds (" + std::to_string(i) + ")");
    }
    return items[static_cast<size_t>(i)];
}

template <class List> int IndexByName(const List& items, const std::string& name) {
    for (size_t i = 0; i < items.size(); ++i) {
        if (SameName(items[i].Name(), name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace

std::vector<std::string> SplitFieldNames(const std::string& names) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= names.size()) {
        size_t end = names.find(';', start);
        if (end == std::string::npos) {
            end = names.size();
        }
        size_t b = start, e = end;
        while (b < e && names[b] == ' ') {
            ++b;
        }
        while (e > b && names[e - 1] == ' ') {
            --e;
        }
        if (e > b) {
            out.push_back(names.substr(b, e - b));
        }
        start = end + 1;
    }
    return out;
}

TField* TFieldDef::CreateField(TDataSet& dataSet) const {
    std::unique_ptr<TField> field;
    try {
        field = CreateFieldOfType(dataType_, size_);
    } catch (const EDatabaseError& e) {
        throw EDatabaseError(std::string(e.what()) + " '" + name_ + "'");
    }
    field->SetFieldName(name_);
    field->SetRequired(required_);
    return dataSet.AddField(std::move(field));
}

TFieldDef& TFieldDefs::Items(int i) {
    return At(items_, i, "Field definition");
}
const TFieldDef& TFieldDefs::Items(int i) const {
    return At(items_, i, "Field definition");
}

TFieldDef& TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
    if (name.empty()) {
        throw EDatabaseError("Field name missing");
    }
    if (IndexOf(name) >= 0) {
        throw EDatabaseError("Duplicate field name '" + name + "'");
    }
    if (size < 0) {
        throw EDatabaseError("Invalid field size " + std::to_string(size) + " for field '" + name +
                             "'");
    }
    items_.emplace_back(name, type, size, required, Count() + 1);
    return items_.back();
}

int TFieldDefs::IndexOf(const std::string& name) const {
    return IndexByName(items_, name);
}

const TFieldDef* TFieldDefs::FindDef(const std::string& name) const {
    int i = IndexOf(name);
    return i < 0 ? nullptr : &items_[static_cast<size_t>(i)];
}

const TFieldDef& TFieldDefs::Find(const std::string& name) const {
    const TFieldDef* def = FindDef(name);
    if (!def) {
        throw EDatabaseError("Field '" + name + "' not found");
    }
    return *def;
}

std::vector<std::string> TIndexDef::FieldList() const {
    return SplitFieldNames(fields_);
}

TIndexDef& TIndexDefs::Items(int i) {
    return At(items_, i, "Index definition");
}
const TIndexDef& TIndexDefs::Items(int i) const {
    return At(items_, i, "Index definition");
}

TIndexDef& TIndexDefs::Add(const std::string& name, const std::string& fields,
                           TIndexOptions options) {
    if (IndexOf(name) >= 0) {
        throw EDatabaseError("Duplicate index name '" + name + "'");
    }
    if ((options & ixPrimary) && Primary()) {
        throw EDatabaseError("Table already has a primary index");
    }
    if (SplitFieldNames(fields).empty() && !(options & ixExpression)) {
        throw EDatabaseError("Index '" + name + "' has no fields");
    }
    items_.emplace_back(name, fields, options);
    return items_.back();
}

int TIndexDefs::IndexOf(const std::string& name) const {
    return IndexByName(items_, name);
}

const TIndexDef& TIndexDefs::Find(const std::string& name) const {
    int i = IndexOf(name);
    if (i < 0) {
        throw EDatabaseError("Index '" + name + "' not found");
    }
    return items_[static_cast<size_t>(i)];
}

const TIndexDef* TIndexDefs::Primary() const {
    for (const auto& def : items_) {
        if (def.Options() & ixPrimary) {
            return &def;
        }
    }
    return nullptr;
}

const TIndexDef* TIndexDefs::FindIndexForFields(const std::string& fields) const {
    auto wanted = SplitFieldNames(fields);
    if (wanted.empty()) {
        return nullptr;
    }
    for (const auto& def : items_) {
        auto have = def.FieldList();
        if (have.size() < wanted.size()) {
            continue;
        }
        bool match = true;
        for (size_t i = 0; i < wanted.size() && match; ++i) {
            match = SameName(have[i], wanted[i]);
        }
        if (match) {
            return &def;
        }
    }
    return nullptr;
}

} // namespace zen
