#include "dataset/DataSetHstmt.h"

#include "dataset/OEDataSet.h"

namespace zen {

bool TTarget::Empty() const {
    return targetTable_.empty() && primaryCols_.empty() && ignoreInsertCols_.empty() &&
           ignoreUpdateCols_.empty();
}

void TTarget::Clear() {
    targetTable_.clear();
    primaryCols_.clear();
    ignoreInsertCols_.clear();
    ignoreUpdateCols_.clear();
}

TDataSetHstmt::TDataSetHstmt(TCustomOEDataSet& dataSet, THstmt& stmt)
    : dataSet_(dataSet), stmt_(stmt) {
    // A dataset moves back and finds rows by bookmark: it asks for a keyset-driven cursor
    // where the bare statement asks for a forward-only one.
    stmt_.SetConcurrencyType(SQL_CONCUR_READ_ONLY);
    stmt_.SetCursorType(SQL_CURSOR_KEYSET_DRIVEN);
}

void TDataSetHstmt::SetConcurrencyType(SQLULEN value) {
    dataSet_.TerminateStatement();
    stmt_.SetConcurrencyType(value);
}

void TDataSetHstmt::SetCursorType(SQLULEN value) {
    dataSet_.TerminateStatement();
    stmt_.SetCursorType(value);
}

void TDataSetHstmt::SetRowSetSize(SQLULEN value) {
    dataSet_.TerminateStatement();
    stmt_.SetRowSetSize(value);
    // Rows of a row set are only reachable one by one through the dataset's own cache.
    if (value > 1 && !dataSet_.Cached()) {
        dataSet_.SetCached(true);
    }
}

void TDataSetHstmt::SetSkipByPosition(bool on) {
    stmt_.SetSkipByPosition(on);
    if (!on && dataSet_.Cached()) {
        dataSet_.SetCached(false);
    }
}

void TDataSetHstmt::SetSkipByCursor(bool on) {
    stmt_.SetSkipByCursor(on);
    if (!on && dataSet_.Cached()) {
        dataSet_.SetCached(false);
    }
}

void TDataSetHstmt::SetBindBookmarks(bool on) {
    dataSet_.TerminateStatement();
    stmt_.SetBindBookmarks(on);
}

} // namespace zen
