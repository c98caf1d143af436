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

namespace {

std::string JoinList(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names) {
        out += name + ";";
    }
    return out;
}

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> names;
    size_t start = 0;
    for (size_t semi; (semi = text.find(';', start)) != std::string::npos; start = semi + 1) {
        names.push_back(text.substr(start, semi - start));
    }
    return names;
}

} // namespace

std::vector<std::string> TTarget::StoredForm() const {
    return {"OE5.05", targetTable_, JoinList(primaryCols_), JoinList(ignoreInsertCols_),
            JoinList(ignoreUpdateCols_)};
}

void TTarget::ReadStoredForm(const std::vector<std::string>& lines) {
    auto line = [&](size_t i) { return i < lines.size() ? lines[i] : std::string(); };
    const bool old = line(0) < "OE5.03";
    targetTable_ = line(1);
    primaryCols_ = SplitList(line(2));
    ignoreInsertCols_ = SplitList(line(3));
    ignoreUpdateCols_ = old ? ignoreInsertCols_ : SplitList(line(4));
}

TDataSetHstmt::TDataSetHstmt(TCustomOEDataSet& dataSet, THstmt& stmt)
    : dataSet_(dataSet), stmt_(stmt) {
    // A dataset moves back and finds rows by bookmark: it asks for a keyset-driven cursor
    // where the bare statement asks for a forward-only one.
    stmt_.SetConcurrencyType(SQL_CONCUR_READ_ONLY);
    dataSet_.AskCursorType(SQL_CURSOR_KEYSET_DRIVEN);
}

void TDataSetHstmt::SetConcurrencyType(SQLULEN value) {
    dataSet_.TerminateStatement();
    stmt_.SetConcurrencyType(value);
}

void TDataSetHstmt::SetCursorType(SQLULEN value) {
    dataSet_.TerminateStatement();
    dataSet_.AskCursorType(value);
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
