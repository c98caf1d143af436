// Editing: inserting, appending, editing, posting, cancelling and deleting records, with
// the error events that may retry or abort an operation.

#include "toolkit/DataSet.h"

#include <algorithm>
#include <cassert>

namespace zen {

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
    // A handler before the post may end the edit only by raising (Abort), never by leaving
    // the dataset browsing: InternalPost writes the active buffer as a row.
    assert(state_ == dsEdit || state_ == dsInsert);
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

} // namespace zen
