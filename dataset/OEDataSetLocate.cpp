// Finding rows by value without SQL: Locate and Lookup scan the result from the first
// row into the locate buffer; FindRecord reads through the filter into the filter buffer.

#include "dataset/OEDataSet.h"

#include "odbc/ColumnText.h"
#include "toolkit/Text.h"

namespace zen {

bool TCustomOEDataSet::FieldMatches(TField* field, const TVariant& value, TLocateOptions options) {
    if (value.IsClear()) {
        return field->IsNull();
    }
    switch (field->DataType()) {
    case ftString:
    case ftMemo: {
        std::string a = TrimText(field->AsString(), stmt_->StringTrimming());
        std::string b = TrimText(value.AsString(), stmt_->StringTrimming());
        if (options & loCaseInsensitive) {
            a = TextUpper(a);
            b = TextUpper(b);
        }
        if (options & loPartialKey) {
            size_t p = a.find(b);
            return locateOption_ == loPrefix ? p == 0 : p != std::string::npos;
        }
        return a == b;
    }
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftLargeint:
        // Compared in 64 bits: a key above 2^31 matches only itself.
        return !field->IsNull() && value.AsInt64() == field->AsLargeInt();
    case ftBoolean:
        return !field->IsNull() && value.AsBoolean() == field->AsBoolean();
    case ftFloat:
        return !field->IsNull() && value.AsFloat() == field->AsFloat();
    case ftCurrency:
        return !field->IsNull() && value.AsCurrency() == field->AsCurrency();
    case ftDate:
    case ftTime:
    case ftDateTime:
        return !field->IsNull() && value.AsDateTime() == field->AsDateTime();
    default:
        return value.AsString() == field->AsString();
    }
}

bool TCustomOEDataSet::LocateRecord(const std::string& keyFields, const TVariant& keyValues,
                                    TLocateOptions options) {
    CheckBrowseMode();
    CursorPosChanged();
    std::vector<TField*> fields = GetFieldList(keyFields);
    if (fields.size() > 1 &&
        (!keyValues.IsArray() || keyValues.ArrayCount() < static_cast<int>(fields.size()))) {
        DatabaseError("Wrong number of key values");
    }
    DisableControls();
    bool found = false;
    try {
        InternalFirst();
        while (!found && GetRecord(locateBuffer_, gmNext, true) == grOK) {
            found = !fields.empty();
            for (size_t i = 0; i < fields.size() && found; ++i) {
                const TVariant& value =
                    fields.size() == 1 ? keyValues : keyValues[static_cast<int>(i)];
                try {
                    found = FieldMatches(fields[i], value, options);
                } catch (const Exception&) {
                    // A value that does not convert to the field's type matches nothing.
                    found = false;
                }
            }
        }
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
    return found;
}

bool TCustomOEDataSet::Locate(const std::string& keyFields, const TVariant& keyValues,
                              TLocateOptions options) {
    if (IsEmpty()) {
        return false;
    }
    selector_ = bsLocate;
    bool found = false;
    try {
        found = LocateRecord(keyFields, keyValues, options);
    } catch (...) {
        selector_ = bsNormal;
        throw;
    }
    selector_ = bsNormal;
    if (found) {
        GotoBookmark(
            TBookmark(BookmarkBlock(locateBuffer_), BookmarkBlock(locateBuffer_) + BookmarkSize()));
    }
    return found;
}

TVariant TCustomOEDataSet::Lookup(const std::string& keyFields, const TVariant& keyValues,
                                  const std::string& resultFields) {
    TVariant result = TVariant::Null();
    if (IsEmpty()) {
        return result;
    }
    GetFieldList(resultFields); // unknown result names fail before the scan
    selector_ = bsLocate;
    try {
        // The found row stays in the locate buffer, calculated fields computed.
        if (LocateRecord(keyFields, keyValues, 0)) {
            result = FieldValues(resultFields);
        }
    } catch (...) {
        selector_ = bsNormal;
        throw;
    }
    selector_ = bsNormal;
    return result;
}

bool TCustomOEDataSet::FindRecord(bool restart, bool goForward) {
    CheckBrowseMode();
    DoBeforeScroll();
    SetFound(false);
    CursorPosChanged();
    UpdateCursorPos();
    CursorPosChanged();
    TGetResult result = grError;
    findInProgress_ = true;
    try {
        if (goForward) {
            if (restart) {
                InternalFirst();
            }
            result = GetRecord(filterBuffer_, gmNext, true);
        } else {
            if (restart) {
                InternalLast();
            }
            result = GetRecord(filterBuffer_, gmPrior, true);
        }
    } catch (...) {
        findInProgress_ = false;
        throw;
    }
    findInProgress_ = false;
    if (result != grOK) {
        return false;
    }
    InternalGotoBookmark(BookmarkBlock(filterBuffer_));
    Resync(rmExact | rmCenter);
    SetFound(true);
    DoAfterScroll();
    return true;
}

} // namespace zen
