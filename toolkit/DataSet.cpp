// The dataset's life: opening and closing the cursor, its record buffers and state, and
// the defaults of the hooks a subclass may leave alone (blobs, block reading, master).

#include "toolkit/DataSet.h"

namespace zen {

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

void TDataSet::CursorReopened() {
    ClearBuffers();
    try {
        GetNextRecord();
    } catch (...) {
        DataEvent(deDataSetChange, 0);
        throw;
    }
    bof_ = true;
    DataEvent(deDataSetChange, 0);
    if (!IsEmpty()) {
        DoAfterScroll();
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

// --- Blobs, block reading, master --------------------------------------------------------

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    (void)mode;
    DatabaseError("Blob field '" + (field ? field->FieldName() : std::string()) +
                  "' is not supported by this dataset");
}

bool TDataSet::GetLongerText(TField* field, std::string& text) {
    (void)field;
    (void)text;
    return false;
}

bool TDataSet::SetLongerText(TField* field, const std::string& text) {
    (void)field;
    (void)text;
    return false;
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
