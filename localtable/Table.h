#pragma once
// TTable: a dataset over one local table. A dBase table (a name ending in .dbf, a file
// that starts with a dBase header, or any file of a table whose format is tfDBase) is read
// through the dBase reader and cannot be changed; any other table is an SQLite file of its own
// (SqliteTable.h), kept in the directory of the database alias, or at the table name's path when
// the database name is empty. Opening reads no rows: a dBase table's records are read from
// its file (a private copy, DbfSource.h) as the cursor reaches them, and an SQLite table
// holds only its reading order by the primary index (RowOrder.h) and reads each row from its
// file when reached. Posted rows take their place in that order at once.
//
// Each write is its own transaction of the table's file unless a TBatch gathers the
// writes of a whole run phase into one.

#include "localtable/DbfFile.h"
#include "localtable/RowOrder.h"
#include "localtable/SqliteTable.h"
#include "toolkit/DataSet.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zen {

// How a table's file is taken: by what it holds, or as a dBase table whatever it holds, for
// a file that must only ever be read (a file that is no dBase table is then refused).
enum TTableFormat { tfDetect, tfDBase };

class TTable : public TDataSet {
public:
    explicit TTable(TComponent* owner = nullptr);
    ~TTable() override;

    const char* ClassName() const noexcept override { return "TTable"; }

    // Writes every row posted, edited or deleted while it lives in one transaction of the
    // table's file instead of one each, which is what makes filling a scratch table of a
    // run phase fast. The rows are committed when the batch ends: by Commit, by its
    // destruction (also when an exception ends the phase, so rows written before a failure
    // stay), or when the table closes first. A batch begun while another is open joins
    // it, and the transaction ends with the last of them. Other table objects over the
    // same file see the rows once they are committed.
    class TBatch {
    public:
        // EDatabaseError unless the table is an open SQLite table, or when the file is
        // locked by another writer.
        explicit TBatch(TTable& table);
        // Ends the batch like Commit, but swallows a failure (the transaction still ends).
        ~TBatch();
        TBatch(const TBatch&) = delete;
        TBatch& operator=(const TBatch&) = delete;
        // Ends the batch now. EDatabaseError when its rows cannot be committed; they are
        // then rolled back and the table shows what its file holds.
        void Commit();
        // Whether the batch is still open (not committed, its table not closed).
        bool Open() const { return table_ != nullptr; }

    private:
        friend class TTable;
        TTable* table_;
    };

    // Only while closed (EDatabaseError otherwise).
    const std::string& TableName() const { return tableName_; }
    void SetTableName(const std::string& name);
    // A database alias ("TevrinTemp"), or empty when TableName is a path.
    const std::string& DatabaseName() const { return databaseName_; }
    void SetDatabaseName(const std::string& name);

    TTableFormat TableFormat() const { return format_; }
    // Only while closed.
    void SetTableFormat(TTableFormat format);

    // The file that holds the table (EDatabaseError for an unknown alias or no name).
    std::filesystem::path TablePath() const;
    // Whether TableName names a dBase table.
    bool IsDbf() const;
    // The open dBase table as it was read at opening (the file may have changed since, the
    // table has not);
    // nullptr unless the table is an open dBase table.
    const TDbfFile* Dbf() const { return dbf_.get(); }
    // Whether the table is there to be opened.
    bool Exists() const;

    // Sees a dBase table's header as the table opens, before any record is read; raising
    // refuses the table, which stays closed.
    TDbfHeaderCheck OnDbfHeader;

    // Makes the table from FieldDefs and IndexDefs, replacing an existing table of that
    // name and its rows. Only while closed; dBase tables cannot be created.
    void CreateTable();

    bool GetFieldData(TField* field, void* buffer) override;
    void SetFieldData(TField* field, const void* buffer) override;
    std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;
    bool BookmarkValid(const TBookmark& bookmark) override;

protected:
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& buffer) override;
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    int GetRecordSize() override { return static_cast<int>(recordSize_); }
    void InternalInitRecord(TRecordBuffer buffer) override;
    void ClearCalcFields(TRecordBuffer buffer) override;
    void GetBookmarkData(TRecordBuffer buffer, void* data) override;
    void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;

    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return dbf_ || sql_; }
    void InternalInitFieldDefs() override;
    void InternalFirst() override { current_ = -1; }
    void InternalLast() override { current_ = static_cast<long>(Count()); }
    void InternalGotoBookmark(const void* data) override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalRefresh() override;

    void InternalPost() override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalDelete() override;
    void InternalEdit() override;
    void InternalInsert() override;
    void InternalCancel() override;
    bool GetCanModify() override { return sql_ != nullptr; }
    int GetRecordCount() override;
    int GetRecNo() override;

private:
    friend class TTableBlobStream;

    struct Layout {
        std::vector<size_t> offsets; // of each field's slot: a flag byte, then the value
        std::vector<size_t> sizes;   // of each field's value
        size_t calcOffset = 0;       // of the calculated-field area
    };

    void OpenStorage();
    void DescribeFields(TFieldDefs& defs) const;
    void ComputeLayout();
    size_t Count() const;
    int DataIndex(const TField* field) const;
    TRecordBuffer BufferForState() const;
    void FillBuffer(TRecordBuffer buffer);
    TLocalValue StoredValue(TRecordBuffer buffer, size_t field) const;
    std::vector<TLocalValue> BufferValues(TRecordBuffer buffer) const;
    void PlaceRow(const TLocalRow& row);
    long FindRow(int64_t id) const;
    void SetPendingMemo(size_t field, std::optional<std::string> value);
    void Write(const std::function<void()>& write);
    void ReloadRows();
    void EndBatch(TBatch* batch, bool raise);
    void EndBatches(bool raise);
    void FinishTransaction(bool raise);

    std::string tableName_;
    std::string databaseName_;
    TTableFormat format_ = tfDetect;
    std::unique_ptr<TDbfFile> dbf_;
    std::unique_ptr<TSqliteTable> sql_;
    std::unique_ptr<TRowOrder> rows_; // SQLite tables, in reading order
    std::vector<TBatch*> batches_;    // open batches; one transaction while any is open
    long current_ = -1;               // cursor: -1 before the first row, Count() after the last
    Layout layout_;
    size_t recordSize_ = 0;
    TRecordBuffer filterBuffer_ = nullptr;
    // Memo values given to the record being edited or inserted.
    struct PendingMemo {
        bool changed = false;
        std::optional<std::string> value; // unset: null
    };
    std::vector<PendingMemo> pendingMemos_;
};

} // namespace zen
