// The editing side as far as reading needs it: the statement's write events, the update
// events, and the old values of an edit. Writing rows back is not offered yet: the
// overrides that would write raise.

#include "dataset/OEDataSet.h"

#include "odbc/OCLError.h"

namespace zen {

namespace {

[[noreturn]] void NoWriting() {
    throw EODBCExpress("Writing rows through an ODBC dataset is not available yet.");
}

} // namespace

bool TCustomOEDataSet::DoInsert(TObject* sender, const std::string& defaultMsg) {
    (void)sender;
    (void)defaultMsg;
    return true;
}

bool TCustomOEDataSet::DoUpdate(TObject* sender, const std::string& defaultMsg) {
    (void)sender;
    (void)defaultMsg;
    return true;
}

bool TCustomOEDataSet::DoDelete(TObject* sender, const std::string& defaultMsg) {
    (void)sender;
    (void)defaultMsg;
    return true;
}

bool TCustomOEDataSet::DoRefresh(TObject* sender, const std::string& defaultMsg) {
    (void)sender;
    (void)defaultMsg;
    return true;
}

void TCustomOEDataSet::DoUpdateRecord(TOEUpdateKind kind, bool& applyUpdate) {
    if (OnUpdateRecord) {
        OnUpdateRecord(*this, kind, applyUpdate);
    }
}

void TCustomOEDataSet::DoUpdateError(EODBC& e, TOEUpdateKind kind, bool& raiseError) {
    if (OnUpdateError) {
        OnUpdateError(*this, e, kind, raiseError);
    }
}

void TCustomOEDataSet::DoBeforeEdit() {
    TDataSet::DoBeforeEdit();
    // The values before the edit, for OldValue and for writing the row back.
    if (oldValuesBuffer_ && ActiveBuffer()) {
        CopyRecord(ActiveBuffer(), oldValuesBuffer_);
    }
}

void TCustomOEDataSet::DoBeforeDelete() {
    TDataSet::DoBeforeDelete();
}

void TCustomOEDataSet::DoAfterCancel() {
    TDataSet::DoAfterCancel();
}

void TCustomOEDataSet::DoAfterDelete() {
    TDataSet::DoAfterDelete();
}

void TCustomOEDataSet::DoAfterPost() {
    TDataSet::DoAfterPost();
}

void TCustomOEDataSet::InternalPost() {
    NoWriting();
}

void TCustomOEDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
    (void)buffer;
    (void)append;
    NoWriting();
}

void TCustomOEDataSet::InternalDelete() {
    NoWriting();
}

} // namespace zen
