// Finding rows: Locate and Lookup by key values, FindRecord through the record filter,
// and the filter settings.

#include "toolkit/DataSet.h"
#include "toolkit/Text.h"

#include <utility>

namespace zen {

namespace {

bool IsTextType(TFieldType t) {
    return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo || t == ftFmtMemo;
}

std::string TrimRight(std::string s) {
    while (!s.empty() && s.back() == ' ') {
        s.pop_back();
    }
    return s;
}

} // namespace

// --- Finding ---------------------------------------------------------------------------

bool TDataSet::RecordMatches(const std::vector<TField*>& fields, const TVariant& keyValues,
                             TLocateOptions options) {
    for (size_t i = 0; i < fields.size(); ++i) {
        TField* f = fields[i];
        const TVariant& value = (fields.size() == 1 && !keyValues.IsArray())
                                    ? keyValues
                                    : keyValues[static_cast<int>(i)];
        if (value.IsClear()) {
            if (!f->IsNull()) {
                return false;
            }
            continue;
        }
        if (f->IsNull()) {
            return false;
        }
        bool match = false;
        try {
            TFieldType t = f->DataType();
            if (IsTextType(t)) {
                std::string a = TrimRight(f->AsString());
                std::string b = TrimRight(value.AsString());
                if (options & loCaseInsensitive) {
                    a = TextUpper(a);
                    b = TextUpper(b);
                }
                match = (options & loPartialKey) ? a.compare(0, b.size(), b) == 0 : a == b;
            } else if (t == ftDate || t == ftTime || t == ftDateTime) {
                match = f->AsDateTime() == value.AsDateTime();
            } else if (t == ftBoolean) {
                match = f->AsBoolean() == value.AsBoolean();
            } else if (t == ftFloat) {
                match = f->AsFloat() == value.AsFloat();
            } else if (t == ftCurrency) {
                match = f->AsCurrency() == value.AsCurrency();
            } else if (t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc ||
                       t == ftLargeint) {
                match = f->AsLargeInt() == value.AsInt64();
            } else {
                match = f->AsString() == value.AsString();
            }
        } catch (const Exception&) {
            // A value that does not convert to the field's type matches nothing.
            match = false;
        }
        if (!match) {
            return false;
        }
    }
    return true;
}

// Reads rows from the first one into the work buffer until one matches; the active record
// stays in place. The cursor is left on the match (or past the end).
bool TDataSet::ScanForMatch(const std::vector<TField*>& fields, const TVariant& keyValues,
                            TLocateOptions options, const std::function<void()>& atMatch) {
    if (fields.size() > 1 &&
        (!keyValues.IsArray() || keyValues.ArrayCount() < static_cast<int>(fields.size()))) {
        DatabaseError("Wrong number of key values");
    }
    cursorMoved_ = true;
    InternalFirst();
    for (;;) {
        if (GetRecord(buffers_[1], gmNext, true) != grOK) {
            return false;
        }
        // Field reads go to the active buffer: show them the candidate for the test.
        std::swap(buffers_[0], buffers_[1]);
        bool found = false;
        try {
            found = RecordMatches(fields, keyValues, options);
            if (found && atMatch) {
                atMatch();
            }
        } catch (...) {
            std::swap(buffers_[0], buffers_[1]);
            throw;
        }
        std::swap(buffers_[0], buffers_[1]);
        if (found) {
            return true;
        }
    }
}

bool TDataSet::Locate(const std::string& keyFields, const TVariant& keyValues,
                      TLocateOptions options) {
    CheckBrowseMode();
    auto fields = GetFieldList(keyFields);
    if (fields.empty() || IsEmpty()) {
        return false;
    }
    if (!ScanForMatch(fields, keyValues, options, nullptr)) {
        return false;
    }
    DoBeforeScroll();
    TakeWorkBuffer();
    bof_ = false;
    eof_ = false;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
    return true;
}

TVariant TDataSet::Lookup(const std::string& keyFields, const TVariant& keyValues,
                          const std::string& resultFields) {
    CheckBrowseMode();
    auto fields = GetFieldList(keyFields);
    GetFieldList(resultFields); // unknown result names fail before the scan
    TVariant result = TVariant::Null();
    if (fields.empty() || IsEmpty()) {
        return result;
    }
    ScanForMatch(fields, keyValues, 0, [&] { result = FieldValues(resultFields); });
    return result;
}

bool TDataSet::FindRecord(bool restart, bool goForward) {
    CheckBrowseMode();
    DoBeforeScroll();
    SetFound(false);
    if (restart) {
        cursorMoved_ = true;
        if (goForward) {
            InternalFirst();
        } else {
            InternalLast();
        }
    } else {
        cursorMoved_ = true;
        UpdateCursorPos();
    }
    cursorMoved_ = true;
    TGetMode mode = goForward ? gmNext : gmPrior;
    for (;;) {
        if (GetRecord(buffers_[1], mode, true) != grOK) {
            return false;
        }
        bool accept = true;
        if (onFilterRecord_) {
            std::swap(buffers_[0], buffers_[1]);
            try {
                onFilterRecord_(*this, accept);
            } catch (...) {
                std::swap(buffers_[0], buffers_[1]);
                throw;
            }
            std::swap(buffers_[0], buffers_[1]);
        }
        if (accept) {
            break;
        }
    }
    TakeWorkBuffer();
    bof_ = false;
    eof_ = false;
    SetFound(true);
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
    return true;
}

void TDataSet::SetFiltered(bool on) {
    filtered_ = on;
}

void TDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
    onFilterRecord_ = std::move(handler);
}

} // namespace zen
