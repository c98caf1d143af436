#include "toolkit/DataSet.h"

#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zen {

namespace {

TApplicationExceptionHandler& AppHandler() {
    static TApplicationExceptionHandler handler;
    return handler;
}

bool IsTextType(TFieldType t) {
    return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo || t == ftFmtMemo;
}

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

std::string TrimRight(std::string s) {
    while (!s.empty() && s.back() == ' ') {
        s.pop_back();
    }
    return s;
}

std::string Upper(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).toUpper().toStdString();
}

} // namespace

void SetApplicationExceptionHandler(TApplicationExceptionHandler handler) {
    AppHandler() = std::move(handler);
}

void HandleApplicationException(const std::exception& e) {
    if (AppHandler()) {
        AppHandler()(e);
    } else if (!dynamic_cast<const EAbort*>(&e)) {
        std::fprintf(stderr, "%s: %s\n", ExceptionClassName(e), e.what());
    }
}

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

// --- Life and opening ------------------------------------------------------------------

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
    // The subclass has closed (its overrides are gone now); what is left is ours.
    for (TDataSource* source : std::vector<TDataSource*>(dataSources_)) {
        source->dataSet_ = nullptr;
        source->RemoveFreeNotification(this);
        RemoveFreeNotification(source);
        source->NotifyState();
    }
    dataSources_.clear();
    DestroyFields();
}

void TDataSet::DatabaseError(const std::string& message) const {
    throw EDatabaseError(Name().empty() ? message : Name() + ": " + message);
}

void TDataSet::CheckActive() const {
    if (!Active()) {
        DatabaseError("Cannot perform this operation on a closed dataset");
    }
}

void TDataSet::CheckInactive() const {
    if (Active()) {
        DatabaseError("Cannot perform this operation on an open dataset");
    }
}

void TDataSet::SetActive(bool on) {
    if (IsLoading()) {
        streamedActive_ = on;
        return;
    }
    if (on == Active()) {
        return;
    }
    if (on) {
        DoBeforeOpen();
        OpenCursor();
        SetState(dsBrowse);
        // The first row is read in browse state, so that filter and calculation handlers
        // see an open dataset.
        try {
            ClearBuffers();
            GetNextRecord();
            bof_ = true;
        } catch (...) {
            SetState(dsInactive);
            try {
                CloseCursor();
            } catch (...) {
            }
            throw;
        }
        DataEvent(deDataSetChange, 0);
        DoAfterOpen();
        if (!IsEmpty()) {
            DoAfterScroll();
        }
    } else {
        if (!destroying_) {
            DoBeforeClose();
        }
        SetState(dsInactive);
        CloseCursor();
        if (!destroying_) {
            DoAfterClose();
        }
    }
}

void TDataSet::Loaded() {
    TComponent::Loaded();
    if (streamedActive_) {
        streamedActive_ = false;
        try {
            SetActive(true);
        } catch (...) {
            InternalHandleException();
        }
    }
}

void TDataSet::OpenCursor() {
    defaultFields_ = fields_.Count() == 0;
    state_ = dsOpening;
    try {
        InternalOpen();
        buffers_[0] = AllocRecordBuffer();
        buffers_[1] = AllocRecordBuffer();
        ClearBuffers();
    } catch (...) {
        // Leave nothing half open: the dataset stays closed.
        state_ = dsInactive;
        try {
            CloseCursor();
        } catch (...) {
        }
        throw;
    }
}

void TDataSet::CloseCursor() {
    // Buffers first: freeing them may need the layout that InternalClose drops.
    FreeBuffers();
    ClearBuffers();
    InternalClose();
    if (defaultFields_) {
        DestroyFields();
    } else {
        BindFields(false);
    }
    calcFieldsSize_ = 0;
    blockReadSize_ = 0;
}

void TDataSet::FreeBuffers() {
    for (TRecordBuffer& b : buffers_) {
        if (b) {
            FreeRecordBuffer(b);
            b = nullptr;
        }
    }
    calcBuffer_ = nullptr;
}

void TDataSet::ClearBuffers() {
    recordCount_ = 0;
    bof_ = true;
    eof_ = true;
    cursorMoved_ = true;
}

void TDataSet::InitFieldDefs() {
    if (!Active()) {
        InternalInitFieldDefs();
    }
}

void TDataSet::SetState(TDataSetState state) {
    if (state_ != state) {
        state_ = state;
        modified_ = false;
        DataEvent(deUpdateState, 0);
    }
}

TDataSetState TDataSet::SetTempState(TDataSetState state) {
    TDataSetState old = state_;
    state_ = state;
    return old;
}

void TDataSet::RestoreState(TDataSetState state) {
    state_ = state;
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

// --- Data events -----------------------------------------------------------------------

void TDataSet::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deFieldChange) {
        auto* field = reinterpret_cast<TField*>(info);
        if (field->FieldKind() == fkData || field->FieldKind() == fkInternalCalc) {
            modified_ = true;
        }
        if (state_ != dsSetKey) {
            if (autoCalcFields_ && field->FieldKind() == fkData &&
                (state_ == dsEdit || state_ == dsInsert) && buffers_[0]) {
                GetCalcFields(buffers_[0]);
            }
            field->Change();
        }
    }
    if (disableCount_ == 0) {
        for (TDataSource* source : std::vector<TDataSource*>(dataSources_)) {
            source->DataEvent(event, info);
        }
    } else if ((event == deUpdateState && state_ == dsInactive) || event == deLayoutChange) {
        enableEvent_ = deLayoutChange;
    }
}

void TDataSet::DisableControls() {
    if (disableCount_ == 0) {
        disabledState_ = state_;
        enableEvent_ = deDataSetChange;
    }
    ++disableCount_;
}

void TDataSet::EnableControls() {
    if (disableCount_ == 0) {
        return;
    }
    if (--disableCount_ == 0) {
        if (disabledState_ != state_) {
            DataEvent(deUpdateState, 0);
        }
        if (disabledState_ != dsInactive && state_ != dsInactive) {
            DataEvent(enableEvent_, 0);
        }
    }
}

void TDataSet::AddDataSource(TDataSource* source) {
    dataSources_.push_back(source);
}

void TDataSet::RemoveDataSource(TDataSource* source) {
    std::erase(dataSources_, source);
}

void TDataSet::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
}

void TDataSet::InternalHandleException() {
    try {
        throw;
    } catch (const std::exception& e) {
        HandleApplicationException(e);
    } catch (...) {
        HandleApplicationException(Exception("Unknown exception"));
    }
}

// --- Navigation ------------------------------------------------------------------------

void TDataSet::UpdateCursorPos() {
    if (!cursorMoved_ || recordCount_ == 0) {
        return;
    }
    switch (GetBookmarkFlag(buffers_[0])) {
    case bfCurrent:
    case bfInserted:
        InternalSetToRecord(buffers_[0]);
        break;
    case bfBOF:
        InternalFirst();
        break;
    case bfEOF:
        InternalLast();
        break;
    }
    cursorMoved_ = false;
}

void TDataSet::TakeWorkBuffer() {
    std::swap(buffers_[0], buffers_[1]);
    if (recordCount_ == 0) {
        recordCount_ = 1;
        bof_ = false;
        eof_ = false;
    }
    cursorMoved_ = false;
}

// A failed read leaves the active record as it was: rows are read into the work buffer.
bool TDataSet::ReadRecord(TGetMode mode) {
    UpdateCursorPos();
    if (GetRecord(buffers_[1], mode, true) == grOK) {
        TakeWorkBuffer();
        return true;
    }
    cursorMoved_ = true;
    return false;
}

bool TDataSet::GetNextRecord() {
    return ReadRecord(gmNext);
}
bool TDataSet::GetPriorRecord() {
    return ReadRecord(gmPrior);
}

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFirst();
        GetNextRecord();
    } catch (...) {
        bof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    bof_ = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalLast();
        GetPriorRecord();
    } catch (...) {
        eof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    eof_ = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int moved = 0;
    DoBeforeScroll();
    if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
        bof_ = false;
        eof_ = false;
        try {
            while (distance > 0) {
                if (!GetNextRecord()) {
                    eof_ = true;
                    break;
                }
                --distance;
                ++moved;
            }
            while (distance < 0) {
                if (!GetPriorRecord()) {
                    bof_ = true;
                    break;
                }
                ++distance;
                --moved;
            }
        } catch (...) {
            DataEvent(deDataSetChange, 0);
            throw;
        }
        DataEvent(moved != 0 ? deDataSetScroll : deDataSetChange, moved);
        DoAfterScroll();
    }
    return moved;
}

int TDataSet::RecordCount() {
    CheckActive();
    return GetRecordCount();
}

int TDataSet::RecNo() {
    CheckActive();
    return GetRecNo();
}

void TDataSet::SetRecNo(int value) {
    (void)value;
}

void TDataSet::Resync(TResyncMode mode) {
    CheckActive();
    if (mode & rmExact) {
        cursorMoved_ = true;
        if (GetRecord(buffers_[1], gmCurrent, true) != grOK) {
            DatabaseError("Record not found");
        }
    } else if (GetRecord(buffers_[1], gmCurrent, false) != grOK &&
               GetRecord(buffers_[1], gmNext, false) != grOK &&
               GetRecord(buffers_[1], gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    std::swap(buffers_[0], buffers_[1]);
    recordCount_ = 1;
    bof_ = false;
    eof_ = false;
    cursorMoved_ = false;
    DataEvent(deDataSetChange, 0);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    DoBeforeRefresh();
    // An empty view has no row to re-read; Resync still looks for one.
    if (recordCount_ > 0) {
        cursorMoved_ = true;
        UpdateCursorPos();
        InternalRefresh();
    }
    Resync(0);
    DoAfterRefresh();
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (state_) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (modified_) {
            Post();
        } else {
            Cancel();
        }
        break;
    case dsSetKey:
        Post();
        break;
    default:
        break;
    }
}

void TDataSet::CheckEditing() const {
    if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey) {
        DatabaseError("Dataset not in edit or insert mode");
    }
}

void TDataSet::UpdateRecord() {
    CheckEditing();
    DataEvent(deUpdateRecord, 0);
}

// --- Editing ---------------------------------------------------------------------------

void TDataSet::CheckCanModify() {
    if (!GetCanModify()) {
        DatabaseError("Cannot modify a read-only dataset");
    }
}

void TDataSet::CheckOperation(const std::function<void()>& operation,
                              const TDataSetErrorEvent& onError) {
    for (;;) {
        try {
            UpdateCursorPos();
            operation();
            return;
        } catch (EAbort&) {
            throw;
        } catch (Exception& e) {
            TDataAction action = daFail;
            if (onError) {
                onError(*this, e, action);
            }
            if (action == daFail) {
                throw;
            }
            if (action == daAbort) {
                throw EAbort("Operation aborted");
            }
        }
    }
}

void TDataSet::CheckRequiredFields() {
    for (TField* f : fields_) {
        if (f->Required() && !f->ReadOnly() && f->FieldKind() == fkData &&
            f->DataType() != ftAutoInc && f->IsNull()) {
            f->FocusControl();
            DatabaseError("Field '" + f->DisplayName() + "' must have a value");
        }
    }
}

void TDataSet::InitRecord(TRecordBuffer buffer) {
    InternalInitRecord(buffer);
    ClearCalcFields(buffer);
    SetBookmarkFlag(buffer, bfInserted);
}

void TDataSet::BeginInsertAppend() {
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeInsert();
    DoBeforeScroll();
}

// Puts a new record in the active buffer. It remembers where it goes: before the current
// row (its bookmark) for an insert, at the end for an append.
void TDataSet::PrepareInsert(bool append) {
    if (append) {
        ClearBuffers();
        InitRecord(buffers_[0]);
        SetBookmarkFlag(buffers_[0], bfEOF);
        recordCount_ = 1;
        bof_ = false;
        InternalLast();
        cursorMoved_ = false;
    } else {
        TBookmark current = GetBookmark();
        bool empty = recordCount_ == 0;
        InitRecord(buffers_[0]);
        if (empty) {
            SetBookmarkFlag(buffers_[0], bfBOF);
        } else if (!current.empty()) {
            SetBookmarkData(buffers_[0], current.data());
        }
        recordCount_ = 1;
    }
    InternalInsert();
}

// Brings the cursor back to the row the record being edited came from. When that row is
// gone (deleted meanwhile), the first row stands in: an abandoned edit must still end.
void TDataSet::ReturnCursorFromEdit() {
    cursorMoved_ = true;
    try {
        UpdateCursorPos();
    } catch (const Exception&) {
        cursorMoved_ = false;
        InternalFirst();
    }
}

void TDataSet::AbandonInsert() {
    ReturnCursorFromEdit();
    SetState(dsBrowse);
    Resync(0);
}

void TDataSet::EndInsertAppend() {
    SetState(dsInsert);
    try {
        DoOnNewRecord();
    } catch (...) {
        AbandonInsert();
        throw;
    }
    modified_ = false;
    DataEvent(deDataSetChange, 0);
    DoAfterInsert();
    DoAfterScroll();
}

void TDataSet::Insert() {
    BeginInsertAppend();
    PrepareInsert(false);
    EndInsertAppend();
}

void TDataSet::Append() {
    BeginInsertAppend();
    PrepareInsert(true);
    EndInsertAppend();
}

void TDataSet::Edit() {
    if (state_ == dsEdit || state_ == dsInsert) {
        return;
    }
    CheckActive();
    if (recordCount_ == 0) {
        Insert();
        return;
    }
    CheckBrowseMode();
    CheckCanModify();
    DoBeforeEdit();
    CheckOperation([this] { InternalEdit(); }, OnEditError);
    GetCalcFields(buffers_[0]);
    SetState(dsEdit);
    DataEvent(deRecordChange, 0);
    DoAfterEdit();
}

void TDataSet::PostRecord() {
    CheckRequiredFields();
    InternalPost();
}

void TDataSet::Post() {
    UpdateRecord();
    if (state_ != dsEdit && state_ != dsInsert) {
        // dsSetKey: nothing to write.
        SetState(dsBrowse);
        return;
    }
    DataEvent(deCheckBrowseMode, 0);
    DoBeforePost();
    CheckOperation([this] { PostRecord(); }, OnPostError);
    SetState(dsBrowse);
    Resync(0);
    DoAfterPost();
}

void TDataSet::Cancel() {
    if (state_ == dsSetKey) {
        SetState(dsBrowse);
        return;
    }
    if (state_ != dsEdit && state_ != dsInsert) {
        return;
    }
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeCancel();
    ReturnCursorFromEdit();
    if (state_ == dsEdit) {
        InternalCancel();
    }
    SetState(dsBrowse);
    Resync(0);
    DoAfterCancel();
}

void TDataSet::Delete() {
    CheckActive();
    if (state_ == dsInsert || state_ == dsSetKey) {
        Cancel();
        return;
    }
    if (recordCount_ == 0) {
        DatabaseError("Cannot perform this operation on an empty dataset");
    }
    CheckCanModify();
    DataEvent(deCheckBrowseMode, 0);
    DoBeforeDelete();
    DoBeforeScroll();
    CheckOperation([this] { InternalDelete(); }, OnDeleteError);
    SetState(dsBrowse);
    Resync(0);
    DoAfterDelete();
    DoAfterScroll();
}

void TDataSet::AddRecord(const std::vector<TVariant>& values, bool append) {
    BeginInsertAppend();
    PrepareInsert(append);
    SetState(dsInsert);
    try {
        SetFields(values);
        DoBeforePost();
        CheckOperation(
            [this, append] {
                CheckRequiredFields();
                InternalAddRecord(buffers_[0], append);
            },
            OnPostError);
    } catch (...) {
        AbandonInsert();
        throw;
    }
    SetState(dsBrowse);
    Resync(0);
    DoAfterPost();
    DoAfterScroll();
}

void TDataSet::AppendRecord(const std::vector<TVariant>& values) {
    AddRecord(values, true);
}
void TDataSet::InsertRecord(const std::vector<TVariant>& values) {
    AddRecord(values, false);
}

void TDataSet::SetFields(const std::vector<TVariant>& values) {
    CheckEditing();
    size_t n = std::min(values.size(), static_cast<size_t>(fields_.Count()));
    for (size_t i = 0; i < n; ++i) {
        if (!values[i].IsEmpty()) {
            fields_[static_cast<int>(i)]->SetAsVariant(values[i]);
        }
    }
}

void TDataSet::ClearFields() {
    CheckEditing();
    DataEvent(deCheckBrowseMode, 0);
    InternalInitRecord(buffers_[0]);
    if (state_ != dsSetKey) {
        GetCalcFields(buffers_[0]);
    }
    DataEvent(deRecordChange, 0);
}

// --- Bookmarks -------------------------------------------------------------------------

bool TDataSet::BookmarkAvailable() {
    return (state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert) && recordCount_ > 0 &&
           bookmarkSize_ > 0 && GetBookmarkFlag(buffers_[0]) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() {
    TBookmark b;
    if (BookmarkAvailable()) {
        b.resize(static_cast<size_t>(bookmarkSize_));
        GetBookmarkData(buffers_[0], b.data());
    }
    return b;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) {
        return;
    }
    if (static_cast<int>(bookmark.size()) != bookmarkSize_) {
        DatabaseError("Invalid bookmark");
    }
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark.data());
    Resync(rmExact | rmCenter);
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
    return !bookmark.empty() && static_cast<int>(bookmark.size()) == bookmarkSize_;
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() && b.empty()) {
        return 0;
    }
    if (a.empty() || b.empty()) {
        return 1;
    }
    size_t n = std::min(a.size(), b.size());
    int c = std::memcmp(a.data(), b.data(), n);
    if (c == 0) {
        c = a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    }
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

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
                    a = Upper(a);
                    b = Upper(b);
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

// --- Blobs, block reading, master --------------------------------------------------------

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    (void)mode;
    DatabaseError("Blob field '" + (field ? field->FieldName() : std::string()) +
                  "' is not supported by this dataset");
}

void TDataSet::SetBlockReadSize(int size) {
    blockReadSize_ = size;
}

void TDataSet::GetDetailLinkFields(std::vector<TField*>& masterFields,
                                   std::vector<TField*>& detailFields) {
    masterFields.clear();
    detailFields.clear();
}

bool TDataSet::GetCurrentRecord(TRecordBuffer buffer) {
    (void)buffer;
    return false;
}

} // namespace zen
