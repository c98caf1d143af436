#pragma once
// The statement settings a dataset publishes as its hStmt, and the write-back target
// settings that go with them. Each setting reads and writes the dataset's own statement;
// the settings that change the cursor first terminate the statement, which closes the
// dataset.

#include "odbc/Hstmt.h"
#include "toolkit/Component.h"

#include <string>
#include <vector>

namespace zen {

class TCustomOEDataSet;

// Where a dataset's row writes go and which columns they name, when the result set does
// not tell. Empty settings mean: work it out.
class TTarget : public TPersistent {
public:
    const char* ClassName() const noexcept override { return "TTarget"; }

    const std::string& TargetTable() const { return targetTable_; }
    void SetTargetTable(const std::string& table) { targetTable_ = table; }
    const std::vector<std::string>& PrimaryCols() const { return primaryCols_; }
    void SetPrimaryCols(const std::vector<std::string>& names) { primaryCols_ = names; }
    const std::vector<std::string>& IgnoreInsertCols() const { return ignoreInsertCols_; }
    void SetIgnoreInsertCols(const std::vector<std::string>& names) { ignoreInsertCols_ = names; }
    const std::vector<std::string>& IgnoreUpdateCols() const { return ignoreUpdateCols_; }
    void SetIgnoreUpdateCols(const std::vector<std::string>& names) { ignoreUpdateCols_ = names; }
    bool Empty() const;
    void Clear();

    // The stored form, property "Target": the version "OE5.05", TargetTable, then the
    // three lists, each name followed by ";". Reading takes the names before each ";";
    // a version before "OE5.03" has two lists, the second serving both ignore lists.
    std::vector<std::string> StoredForm() const;
    void ReadStoredForm(const std::vector<std::string>& lines);

private:
    std::string targetTable_;
    std::vector<std::string> primaryCols_;
    std::vector<std::string> ignoreInsertCols_;
    std::vector<std::string> ignoreUpdateCols_;
};

class TDataSetHstmt : public TPersistent {
public:
    // Sets the dataset's defaults on the statement (keyset-driven cursor, read-only).
    TDataSetHstmt(TCustomOEDataSet& dataSet, THstmt& stmt);
    const char* ClassName() const noexcept override { return "TDataSetHstmt"; }

    SQLULEN ConcurrencyType() const { return stmt_.ConcurrencyType(); }
    void SetConcurrencyType(SQLULEN value);
    // The cursor type in effect once the statement is allocated (a driver may substitute
    // another for the one asked for).
    SQLULEN CursorType() const { return stmt_.CursorType(); }
    void SetCursorType(SQLULEN value);
    SQLULEN RowSetSize() const { return stmt_.RowSetSize(); }
    // Above 1 switches the dataset's Cached on.
    void SetRowSetSize(SQLULEN value);
    bool SkipByPosition() const { return stmt_.SkipByPosition(); }
    // False switches the dataset's Cached off.
    void SetSkipByPosition(bool on);
    bool SkipByCursor() const { return stmt_.SkipByCursor(); }
    void SetSkipByCursor(bool on);
    bool BindBookmarks() const { return stmt_.BindBookmarks(); }
    void SetBindBookmarks(bool on);
    SQLLEN BlobSize() const { return stmt_.BlobSize(); }
    void SetBlobSize(SQLLEN value) { stmt_.SetBlobSize(value); }
    bool BlobDeferral() const { return stmt_.BlobDeferral(); }
    void SetBlobDeferral(bool on) { stmt_.SetBlobDeferral(on); }
    TBlobPlacement BlobPlacement() const { return stmt_.BlobPlacement(); }
    void SetBlobPlacement(TBlobPlacement v) { stmt_.SetBlobPlacement(v); }
    bool ExecAsync() const { return stmt_.ExecAsync(); }
    void SetExecAsync(bool on) { stmt_.SetExecAsync(on); }
    TEmptyToNull EmptyStringToNull() const { return stmt_.EmptyStringToNull(); }
    void SetEmptyStringToNull(TEmptyToNull v) { stmt_.SetEmptyStringToNull(v); }
    TStringTrimming StringTrimming() const { return stmt_.StringTrimming(); }
    void SetStringTrimming(TStringTrimming v) { stmt_.SetStringTrimming(v); }
    bool BindByName() const { return stmt_.BindByName(); }
    void SetBindByName(bool on) { stmt_.SetBindByName(on); }
    TRowCountMethod RowCountMethod() const { return stmt_.RowCountMethod(); }
    void SetRowCountMethod(TRowCountMethod v) { stmt_.SetRowCountMethod(v); }
    TNoRowsAffected NoRowsAffected() const { return stmt_.NoRowsAffected(); }
    void SetNoRowsAffected(TNoRowsAffected v) { stmt_.SetNoRowsAffected(v); }
    TTarget& Target() { return target_; }
    const TTarget& Target() const { return target_; }

    THstmt& Statement() { return stmt_; }

private:
    TCustomOEDataSet& dataSet_;
    THstmt& stmt_;
    TTarget target_;
};

} // namespace zen
