#pragma once
// A record set over one ODBC statement: opening, fields, record buffers, moving, the row
// cache, bookmarks, finding rows by value and filtering. Rows come from the statement's
// scrollable cursor one fetch at a time, or, with Cached, from the dataset's own cache of
// the rows read so far over a forward-only cursor.
//
// Record buffer layout (sizes fixed at open):
//   one slot per result column, in column order: the value bytes, then a null flag byte
//     (1 = has a value, 2 = a deferred long value not read yet, 3 = a text longer than the
//     slot); a long column's slot holds a 32-bit reference to a memory stream owned by the
//     buffer, and so does a text column's slot for a text longer than the slot (a column's
//     size as its driver reports it is no limit on what the database holds)
//   the record info, 10 bytes: 32-bit reference to the buffer's bookmark block
//     (BookmarkSize bytes), bookmark flag, update status, 32-bit former cache index
//   the calculated-field area, CalcFieldsSize bytes
// The references are small handles into the dataset's own tables, so the layout is the
// same on every platform; buffers are only ever made and freed by their dataset.

#include "dataset/DataSetHstmt.h"
#include "dataset/OEParams.h"
#include "odbc/Hstmt.h"
#include "toolkit/DataSet.h"
#include "toolkit/DataSource.h"
#include "toolkit/Params.h"
#include "toolkit/Strings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zen {

class EODBC;
class TCustomOEDataSet;

// The flag byte of a long column's slot whose reading is deferred and not yet done: not to
// be written back. Asking whether the field is NULL, or for its value, reads it.
constexpr char kUnreadLong = 2;
// The flag byte of a text column's slot whose value is longer than the slot: the text is in
// a stream of the buffer, the slot holds its reference.
constexpr char kLongerText = 3;

enum TOELocateOption { loPrefix = 0, loSubString = 1 };
enum TOEParamBindMode { pbByName = 0, pbByNumber = 1 };
enum TOEUpdateKind { ukModify = 0, ukInsert = 1, ukDelete = 2 };

using TOEUpdateRecordEvent =
    std::function<void(TDataSet& dataSet, TOEUpdateKind kind, bool& applyUpdate)>;
using TOEUpdateErrorEvent =
    std::function<void(TDataSet& dataSet, EODBC& e, TOEUpdateKind kind, bool& raiseError)>;

// An object that may take over a dataset's row writes. It belongs to at most one dataset.
class TOEUpdateObject : public TComponent {
public:
    using TComponent::TComponent;
    ~TOEUpdateObject() override;
    const char* ClassName() const noexcept override { return "TOEUpdateObject"; }
    virtual TCustomOEDataSet* GetDataSet() const { return dataSet_; }
    virtual void SetDataSet(TCustomOEDataSet* dataSet);
    // Whether this object writes rows of that kind itself.
    virtual bool Handles(TOEUpdateKind kind) = 0;
    virtual void Apply(TOEUpdateKind kind) = 0;

private:
    TCustomOEDataSet* dataSet_ = nullptr;
};

// The master link of a detail dataset.
class TOEDataLink : public TDataLink {
public:
    explicit TOEDataLink(TCustomOEDataSet& dataSet) : dataSet_(dataSet) {}

protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void RecordChanged(TField* field) override;

private:
    TCustomOEDataSet& dataSet_;
};

class TCustomOEDataSet : public TDataSet {
public:
    // With an owner, the first connection among the owner's components becomes the
    // statement's connection.
    explicit TCustomOEDataSet(TComponent* owner = nullptr);
    ~TCustomOEDataSet() override;
    const char* ClassName() const noexcept override { return "TCustomOEDataSet"; }

    // --- Connection and statement ---------------------------------------------------
    // A connection made in the owner after this dataset is announced only now, and taken
    // through Notification while the dataset has none.
    THdbc* Hdbc() const {
        if (!stmt_->Hdbc() && Owner()) {
            Owner()->AnnounceComponents();
        }
        return stmt_->Hdbc();
    }
    // Terminates the statement (closing the dataset), then takes the connection.
    void SetHdbc(THdbc* hdbc);
    TDataSetHstmt& HStmt() { return *hStmt_; }
    THstmt& Statement() { return *stmt_; }

    // --- What the statement runs ------------------------------------------------------
    const std::string& TableName() const { return tableName_; }
    void SetTableName(const std::string& name);
    const std::string& StoredProcName() const { return storedProcName_; }
    void SetStoredProcName(const std::string& name);
    // The SQL text as the statement gets it when neither name is set.
    const std::string& SQLText() const { return sqlText_; }
    void SetSQLText(const std::string& text);

    // --- Settings -------------------------------------------------------------------
    bool RequestLive() const;
    void SetRequestLive(bool on);
    bool Editable() const { return editable_; }
    void SetEditable(bool on);
    bool UniDirectional() const;
    void SetUniDirectional(bool on);
    bool CacheBlobs() const { return !stmt_->BlobDeferral(); }
    void SetCacheBlobs(bool on) { stmt_->SetBlobDeferral(!on); }
    TOEParamBindMode ParamBindMode() const { return stmt_->BindByName() ? pbByName : pbByNumber; }
    void SetParamBindMode(TOEParamBindMode mode) { stmt_->SetBindByName(mode == pbByName); }
    // The master source; EODBCExpress "Circular Reference to DataSource" when it leads
    // back to this dataset.
    TDataSource* DataSource() const { return masterLink_.DataSource(); }
    void SetDataSource(TDataSource* source);
    bool ParamCheck() const { return paramCheck_; }
    void SetParamCheck(bool on) { paramCheck_ = on; }
    // The parameters, created first when the source changed since (below).
    TOEParams& Params();
    // Takes the values of the given parameters into those of the same names.
    void SetParams(const TParams& source);
    TParam& ParamByName(const std::string& name) { return Params().ParamByName(name); }
    TOELocateOption LocateOption() const { return locateOption_; }
    void SetLocateOption(TOELocateOption option) { locateOption_ = option; }
    bool LocateInsert() const { return locateInsert_; }
    void SetLocateInsert(bool on) { locateInsert_ = on; }
    TOEUpdateObject* UpdateObject() const { return updateObject_; }
    void SetUpdateObject(TOEUpdateObject* object);
    bool Cached() const { return cached_; }
    void SetCached(bool on);
    bool CachedUpdates() const { return cachedUpdates_; }
    void SetCachedUpdates(bool on);
    bool EmptyFieldToNull() const { return emptyFieldToNull_; }
    void SetEmptyFieldToNull(bool on) { emptyFieldToNull_ = on; }

    TNotifyEvent OnRefreshRecord;
    TOEUpdateRecordEvent OnUpdateRecord;
    TOEUpdateErrorEvent OnUpdateError;

    // --- Operations ------------------------------------------------------------------
    void Prepare();
    void Unprepare();
    bool Prepared() const { return prepared_; }
    // Whether closing gives up the statement handle, and with it the prepared statement,
    // unless every row was read: over a driver whose half-read statement keeps the
    // database locked (see InternalClose).
    bool ReleasesHalfReadStatement();
    // Binds the parameters and executes the statement.
    void ExecSQL();
    // Runs an open dataset's statement again with its parameters' present values and
    // stands on the first row, keeping its fields, buffers and bound columns: for a dataset
    // looked up key after key over one text. Closes and opens where nothing can be kept.
    void Requery();
    // Close and open again (rows, filter and parameters read afresh).
    void RefreshResults();
    // The same, when the master has an active dataset not in set-key state.
    void RefreshParams();
    // Reads every remaining row (with Cached into the cache).
    void FetchAll();
    TUpdateStatus UpdateStatus() override;
    // Moves to the n-th row (1-based; negative counts from the end).
    bool MoveAbsolute(int n);
    // The record layout: bytes of column col's slot (1-based), its offset.
    int SlotSize(int col) const;
    int SlotOffset(int col) const;
    // Offset of the record info, of the calculated-field area, and the whole record.
    int DataAreaSize() const { return dataSize_; }
    int CalcAreaOffset() const { return calcOffset_; }
    int TotalRecordSize() const { return recordSize_; }

    bool Locate(const std::string& keyFields, const TVariant& keyValues,
                TLocateOptions options) override;
    TVariant Lookup(const std::string& keyFields, const TVariant& keyValues,
                    const std::string& resultFields) override;
    bool GetCurrentRecord(TRecordBuffer buffer) override;
    bool GetFieldData(TField* field, void* buffer) override;
    void SetFieldData(TField* field, const void* buffer) override;
    // A text of the record longer than its field is read whole; a longer one is stored
    // whole where the column's size is no limit (THstmt::ColSizeIsLimit).
    bool GetLongerText(TField* field, std::string& text) override;
    bool SetLongerText(TField* field, const std::string& text) override;
    bool BookmarkValid(const TBookmark& bookmark) override;
    int CompareBookmarks(const TBookmark& a, const TBookmark& b) override;
    bool IsSequenced() override { return false; }
    void SetRecNo(int value) override;
    void SetFiltered(bool on) override;
    void SetOnFilterRecord(TFilterRecordEvent handler) override;
    void SetBlockReadSize(int size) override;
    TDataSource* GetDataSource() override { return DataSource(); }
    void GetDetailLinkFields(std::vector<TField*>& masterFields,
                             std::vector<TField*>& detailFields) override;
    // A reading stream is a copy of the value; a writing one works on the record and
    // raises once the record has changed under it.
    std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;

protected:
    // For subclasses that run on another kind of statement: the constructor cannot reach
    // their CreateHstmt, so they hand the statement in (nullptr: CreateHstmt's).
    TCustomOEDataSet(TComponent* owner, std::unique_ptr<THstmt> stmt);

    // --- Virtual operations of the ODBC dataset -----------------------------------------
    virtual bool DoInsert(TObject* sender, const std::string& defaultMsg);
    virtual bool DoUpdate(TObject* sender, const std::string& defaultMsg);
    virtual bool DoDelete(TObject* sender, const std::string& defaultMsg);
    virtual bool DoRefresh(TObject* sender, const std::string& defaultMsg);
    virtual long DoRowCount(TObject* sender);
    virtual void DoUpdateRecord(TOEUpdateKind kind, bool& applyUpdate);
    virtual void DoUpdateError(EODBC& e, TOEUpdateKind kind, bool& raiseError);
    // The statement the dataset runs on; a new one without owner.
    virtual std::unique_ptr<THstmt> CreateHstmt();

    // --- Overrides of the toolkit's dataset ----------------------------------------------
    void Notification(TComponent* component, TOperation operation) override;
    void DataEvent(TDataEvent event, intptr_t info) override;
    void ClearCalcFields(TRecordBuffer buffer) override;
    void DoAfterCancel() override;
    void DoAfterDelete() override;
    void DoAfterPost() override;
    void DoBeforeDelete() override;
    void DoBeforeEdit() override;
    bool FindRecord(bool restart, bool goForward) override;
    bool GetCanModify() override { return editable_; }
    int GetRecordCount() override;
    int GetRecNo() override;
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& buffer) override;
    void GetBookmarkData(TRecordBuffer buffer, void* data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    int GetRecordSize() override { return dataSize_; }
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalClose() override;
    void InternalDelete() override;
    void InternalFirst() override;
    void InternalGotoBookmark(const void* data) override;
    void InternalHandleException() override;
    void InternalInitFieldDefs() override;
    void InternalInitRecord(TRecordBuffer buffer) override;
    void InternalLast() override;
    void InternalOpen() override;
    void InternalPost() override;
    void InternalRefresh() override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    bool IsCursorOpen() const override { return cursorOpen_; }
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
    void SetBookmarkData(TRecordBuffer buffer, const void* data) override;

    // The statement text Prepare gives the statement.
    virtual std::string StatementText();
    // The call of the stored procedure with its parameters: {[:R = ]CALL P[(:A, ...)]}.
    std::string StoredProcStatement();
    // Makes the parameters of what the statement runs: none for a table, the catalog's
    // for a stored procedure, those the SQL text names (described by the driver when it
    // can) otherwise. Values of parameters that keep their names are kept; at design time
    // such parameters are kept whole, those no longer named removed and new ones added.
    // With a table the parameters are cleared whenever they are asked for.
    void CreateParams();
    // Takes the master's field values into the parameters of the same names.
    void SetParamsFromCursor();

private:
    friend class TOEDataLink;
    friend class TDataSetHstmt;
    friend class TOEUpdateObject;

    enum TBufferSelector { bsNormal, bsLocate };

    // Record info, at the data-area size of every record buffer.
    struct TRecInfo {
        uint32_t bookmarkRef;
        uint8_t bookmarkFlag;
        uint8_t updateStatus;
        int32_t formerCacheIndex;
    };

    // The statement's before-terminate callback: the dataset becomes inactive, unprepared.
    void StatementTerminating();
    // Terminate the statement (closing the dataset), as a changed setting requires.
    void TerminateStatement();
    void SourceChanged();
    void CreateProcedureParams();
    void DropParamsNotIn(const std::vector<std::string>& names);
    void CreateTextParams();
    // Rows come from the dataset's own cache: Cached, or reading ahead over a driver whose
    // scrollable cursors read the whole result at execute.
    bool UsesCache() const { return cached_ || readAhead_; }
    // The cursor type the settings ask for; the statement may run another (see
    // ChooseRowSource) and the driver may substitute another.
    void AskCursorType(SQLULEN type);
    void ChooseRowSource();

    // Layout.
    void ComputeLayout();
    TRecInfo ReadInfo(TRecordBuffer buffer) const;
    void WriteInfo(TRecordBuffer buffer, const TRecInfo& info) const;
    char* BookmarkBlock(TRecordBuffer buffer) const;
    TMemoryStream* SlotStream(TRecordBuffer buffer, int col) const;
    // A stream of the buffers' own (its 1-based reference), and one given up.
    uint32_t NewStream();
    void DropStream(uint32_t ref);
    // Whether a column's slot holds text (a string or short memo column).
    bool IsTextSlot(int col) const;
    // A text slot's value: in the slot, or in its stream when longer ("" for NULL).
    std::string_view SlotText(TRecordBuffer buffer, int col) const;
    // Puts a text into a text slot, which then has a value; `text` must not be the slot's
    // own.
    void PutSlotText(TRecordBuffer buffer, int col, std::string_view text);
    // Makes a text slot NULL, giving up its stream.
    void ClearTextSlot(TRecordBuffer buffer, int col);
    // Stores a data field's value: the native bytes (nullptr: NULL), and for a text slot the
    // whole text when it is longer than they hold.
    void StoreFieldData(TField* field, const void* buffer, const std::string* wholeText);
    // The exact values of the database row a buffer shows (empty for a new record).
    THstmt::TRowImage* RowImage(TRecordBuffer buffer) const;
    // Whether a column's slot differs between two buffers (value or NULL).
    bool SlotChanged(int col, TRecordBuffer before, TRecordBuffer after) const;
    // Copies slots with their flags, stream contents, the bookmark and its flag, and the
    // calculated-field area; never update status nor former cache index.
    void CopyRecord(TRecordBuffer from, TRecordBuffer to);
    TRecordBuffer NewBuffer();
    void FreeBuffer(TRecordBuffer& buffer);
    void FreeWorkBuffers();
    void StartResult();
    // Whether closing now gives up the statement handle: half-read, over a driver whose
    // half-read statement keeps the database locked.
    bool GivesUpStatement() const { return releaseOnClose_ && !allFetched_; }
    void FreeRowLists();
    void FreeDeletedBookmarks();

    // Rows.
    void ToField(int col, SQLULEN row, TRecordBuffer buffer);
    void FillFromRow(SQLULEN row, TRecordBuffer buffer);
    void FillRecord(TRecordBuffer buffer, const TBookmark& bookmark);
    bool FetchFirst();
    bool FetchNext();
    bool FetchLast();
    bool FetchPrev();
    bool FetchAbsolute(int n);
    bool FetchBookmark(const void* bookmark);
    bool FetchCache(SQLSMALLINT direction, int n, const void* bookmark = nullptr);
    bool GoToCachePosition(int p);
    void FillCache(int p);
    TBookmark CurrentBookmark();
    bool IsDeletedBookmark(const TBookmark& bookmark) const;
    bool RowSkipped();
    bool FilterAccepts();
    TRecordBuffer ActiveRecordBuffer() const;
    // Reads a long value whose reading was deferred into the record's slot.
    void ReadDeferredLong(TRecordBuffer record, int col);

    // Writing rows back: one slot into row 1 of the statement, the Target applied to it,
    // the four writes of a record buffer, and the row lists kept alongside.
    void FromField(int col, TRecordBuffer buffer, bool forInsert);
    void FillRow(TRecordBuffer buffer, bool forInsert);
    void ApplyTarget(bool forInsert);
    bool PutRowBack(TRecordBuffer buffer);
    void RefuseCutText(int col);
    bool NeedsReadBack(TRecordBuffer buffer) const;
    void ReadPostedRow(TRecordBuffer buffer);
    void UpdateRecords(TRecordBuffer buffer);
    void InsertRecords(TRecordBuffer buffer);
    void DeleteRecords(TRecordBuffer buffer);
    void RefreshRecords(TRecordBuffer buffer);
    // Whether the row of that bookmark was refreshed past the cursor (see
    // refreshedBookmarks_).
    bool RefreshedPastCursor(const TBookmark& bookmark) const;
    // For such a row: refuses the write unless the database still holds the row as it was
    // refreshed (its image `original`), as the cursor would for a row it knows.
    void RefuseChangedRow(const THstmt::TRowImage& original);
    TBookmark BufferBookmark(TRecordBuffer buffer) const;
    TRecordBuffer FindSavedRow(const TBookmark& bookmark);
    TRecordBuffer SaveRow(TRecordBuffer buffer);
    TRecordBuffer CurrentCachedRow() const;
    void AddCachedRow(TRecordBuffer buffer);
    // The ";"-separated key names by which LocateInsert finds a posted row again.
    std::string LocateKeyNames();

    // Finding.
    bool LocateRecord(const std::string& keyFields, const TVariant& keyValues,
                      TLocateOptions options);
    bool FieldMatches(TField* field, const TVariant& value, TLocateOptions options);

    std::unique_ptr<THstmt> stmt_;
    std::unique_ptr<TDataSetHstmt> hStmt_;
    bool cursorOpen_ = false;
    std::string sqlText_;
    std::string tableName_;
    std::string storedProcName_;
    TOEDataLink masterLink_;
    bool paramCheck_ = true;
    TOEParams params_;
    TStringList paramNames_;
    bool prepared_ = false;
    bool editable_ = false;
    bool paramsNeedCreating_ = false;
    bool creatingParams_ = false;
    bool paramsBound_ = false;
    TOELocateOption locateOption_ = loPrefix;
    bool locateInsert_ = false;
    TOEUpdateObject* updateObject_ = nullptr;
    bool cached_ = false;
    bool readAhead_ = false;
    bool releaseOnClose_ = false;
    SQLULEN askedCursorType_ = SQL_CURSOR_KEYSET_DRIVEN;
    bool allFetched_ = false;
    int32_t cachePosition_ = 0;
    int32_t bookmarkSequence_ = 0;
    bool cachedUpdates_ = false;
    bool emptyFieldToNull_ = false;
    int32_t insertedCount_ = 0;
    bool findInProgress_ = false;
    TBufferSelector selector_ = bsNormal;
    int dataSize_ = 0;
    int calcOffset_ = 0;
    int recordSize_ = 0;
    std::vector<int> slotOffsets_;
    std::vector<int> slotSizes_;
    std::vector<TFieldType> colTypes_;
    std::vector<bool> colLong_;
    TRecordBuffer filterBuffer_ = nullptr;
    TRecordBuffer oldValuesBuffer_ = nullptr;
    TRecordBuffer locateBuffer_ = nullptr;
    std::string locateKeyNames_;
    TVariant locateKeyValues_;

    // The lists: saved rows (copies of rows written through the dataset), the row cache,
    // the bookmarks of rows deleted through the dataset.
    std::vector<TRecordBuffer> savedRows_;
    std::vector<TRecordBuffer> rowCache_;
    std::vector<TBookmark> deletedBookmarks_;
    // Rows refreshed by a SELECT while the cursor writes itself: the cursor still holds
    // their old version and would refuse any write, so theirs go by generated statements.
    std::vector<TBookmark> refreshedBookmarks_;

    // What the record buffers' references lead to.
    std::vector<std::vector<char>> bookmarkBlocks_;
    // Per bookmark block, so per buffer: the row image of the row the buffer shows.
    // Buffers are copied by const members; the images travel with them.
    mutable std::vector<THstmt::TRowImage> rowImages_;
    // Writing blob streams work while this lives (see DataEvent).
    std::shared_ptr<const void> blobStreamsAlive_ = std::make_shared<char>();
    // Over the driver's cursor: the current record is a row this dataset inserted by a
    // generated INSERT, which the cursor does not show. It stays current until the
    // cursor moves, and its writes go by generated statements.
    bool postedInsertShown_ = false;
    // A Post of a new row is under way: its record is read back when needed.
    bool readBackPosted_ = false;
    // The write under way is of a row refreshed past the cursor (refreshedBookmarks_).
    bool refreshed_ = false;
    std::vector<uint32_t> freeBookmarkBlocks_;
    std::vector<std::unique_ptr<TMemoryStream>> streams_;
    std::vector<uint32_t> freeStreams_;
};

} // namespace zen
