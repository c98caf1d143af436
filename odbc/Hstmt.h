#pragma once
// An ODBC statement: its SQL text with named parameters, parameter binding, preparing and
// executing, long parameter data sent in pieces, row counts; and its result side: columns
// bound into arrays of RowSetSize rows, fetching in any direction, bookmarks, long columns
// read in pieces into memory streams, and typed access to every column value.

#include "odbc/ColumnBuffer.h"
#include "odbc/Hdbc.h"
#include "odbc/HstmtTypes.h"
#include "odbc/PendingWrite.h"
#include "toolkit/Stream.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zen {

class THstmt;
struct TCountQuery;

// The first connection among an owner's components: where a statement or catalog made
// with that owner takes its connection from.
THdbc* FirstConnection(const TComponent* owner);
// Moves `self`'s destruction watch from one connection to another, so that a component
// hears of its connection's going whoever owns that connection.
void WatchConnection(TComponent* self, THdbc* from, THdbc* to);
// For a component that follows its owner's connections: the connection it uses after a
// notification (nullptr once its own is going, a newly added one when it had none).
THdbc* FollowConnection(const TComponent* self, THdbc* current, TComponent* component,
                        TOperation operation);

using TConfirmEvent = std::function<bool(TObject* sender, const std::string& defaultMsg)>;
using TStatementEvent = std::function<void(TObject* sender, uint16_t operation, std::string& sql)>;
using TRowCountEvent = std::function<long(TObject* sender)>;

// One bound parameter. The indicators live here; the value belongs to the caller.
struct TParamRec {
    SQLUSMALLINT number = 0;
    SQLSMALLINT cType = 0;
    SQLSMALLINT sqlType = 0;
    SQLPOINTER value = nullptr;
    std::vector<SQLLEN> indicators;
    SQLULEN arraySize = 0;
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
};

class THstmt : public THbase {
public:
    explicit THstmt(TComponent* owner = nullptr);
    ~THstmt() override;
    const char* ClassName() const noexcept override { return "THstmt"; }

    // ---- Lifecycle ----------------------------------------------------------------------
    // Connects the connection, allocates the handle and applies the cursor settings.
    bool Init() override;
    // Closes and frees the handle; the next use allocates a new one.
    bool Terminate() override;
    SQLSMALLINT HandleType() const noexcept override { return SQL_HANDLE_STMT; }
    SQLHANDLE CurrentHandle() const noexcept override { return hstmt_; }
    THdbc* LinkConnection() noexcept override { return hdbc_; }
    void BeforeRaise() noexcept override;

    SQLHSTMT Handle() {
        Init();
        return hstmt_;
    }

    // Closes the cursor, drops every parameter and column binding, unprepares.
    virtual void Close();
    // Closes the cursor only (SQLFreeStmt SQL_CLOSE); bindings stay.
    virtual void CloseCursor();
    void Prepare();
    void Execute();
    bool Prepared() const noexcept { return prepared_; }
    bool Executed() const noexcept { return executed_; }

    // Runs a catalog function on a fresh result set of this statement, as Execute does
    // for SQL: the call gets the handle and its result is checked.
    void ExecuteCatalog(const std::function<SQLRETURN(SQLHSTMT)>& call);

    // ---- Properties ---------------------------------------------------------------------
    // The connection. While there is none, components made with the owner meanwhile are
    // announced first, so that a connection made after the statement is taken.
    THdbc* Hdbc() const;
    // Terminates the statement, then takes the connection.
    void SetHdbc(THdbc* hdbc);
    const std::string& SQL() const noexcept { return sql_; }
    void SetSQL(const std::string& sql);
    SQLULEN ConcurrencyType() const noexcept { return concurrency_; }
    void SetConcurrencyType(SQLULEN value);
    // After the statement is allocated this is the cursor type the driver gives, which may
    // differ from the one asked for (a keyset cursor may come back static).
    SQLULEN CursorType() const noexcept { return cursorType_; }
    void SetCursorType(SQLULEN value);
    SQLULEN RowSetSize() const noexcept { return rowSetSize_; }
    void SetRowSetSize(SQLULEN value);
    bool SkipByPosition() const noexcept { return skipByPosition_; }
    void SetSkipByPosition(bool on);
    bool SkipByCursor() const noexcept { return skipByCursor_; }
    void SetSkipByCursor(bool on);
    bool BindBookmarks() const noexcept { return bindBookmarks_; }
    void SetBindBookmarks(bool on) noexcept { bindBookmarks_ = on; }
    SQLLEN BlobSize() const noexcept { return blobSize_; }
    // Values of 1024 and below are ignored.
    void SetBlobSize(SQLLEN value) noexcept;
    bool BlobDeferral() const noexcept { return blobDeferral_; }
    void SetBlobDeferral(bool on) noexcept { blobDeferral_ = on; }
    TBlobPlacement BlobPlacement() const noexcept { return blobPlacement_; }
    void SetBlobPlacement(TBlobPlacement v) noexcept { blobPlacement_ = v; }
    bool ExecAsync() const noexcept { return execAsync_; }
    void SetExecAsync(bool on) noexcept { execAsync_ = on; }
    TEmptyToNull EmptyStringToNull() const noexcept { return emptyToNull_; }
    void SetEmptyStringToNull(TEmptyToNull v) noexcept { emptyToNull_ = v; }
    TStringTrimming StringTrimming() const noexcept { return trimming_; }
    void SetStringTrimming(TStringTrimming v) noexcept { trimming_ = v; }
    bool BindByName() const noexcept { return bindByName_; }
    void SetBindByName(bool on) noexcept { bindByName_ = on; }
    TRowCountMethod RowCountMethod() const noexcept { return rowCountMethod_; }
    void SetRowCountMethod(TRowCountMethod v) noexcept { rowCountMethod_ = v; }
    TNoRowsAffected NoRowsAffected() const noexcept { return noRowsAffected_; }
    void SetNoRowsAffected(TNoRowsAffected v) noexcept { noRowsAffected_ = v; }

    // SQL_ATTR_MAX_ROWS of the handle.
    SQLULEN MaxRows();
    void SetMaxRows(SQLULEN value);

    // The SQL_*_CURSOR_ATTRIBUTES1 mask of the cursor type in effect.
    SQLUINTEGER CursorCapabilities() const noexcept { return cursorCaps_; }

    // ---- Events -------------------------------------------------------------------------
    TNotifyEvent BeforePrepare, AfterPrepare, BeforeExecute, AfterExecute, BeforeFetch, AfterFetch;
    TConfirmEvent OnInsert, OnUpdate, OnDelete, OnRefresh;
    TStatementEvent OnStatement;
    TRowCountEvent OnRowCount;

    // ---- Parameters ---------------------------------------------------------------------
    // The names of the parameters of SQL, in order.
    const std::vector<std::string>& ParamNames();
    // 1-based number of the first parameter of that name (case-insensitive);
    // EODBCExpress "Token NAME not found in SQL statement." otherwise.
    int ParamByName(const std::string& name);
    // Direction of the next bind: SQL_PARAM_INPUT, _INPUT_OUTPUT or _OUTPUT (anything else
    // is ignored); back to SQL_PARAM_INPUT after every bind.
    SQLSMALLINT ParamType() const noexcept { return paramType_; }
    void SetParamType(SQLSMALLINT direction) noexcept;
    void BindParamMain(SQLUSMALLINT number, SQLSMALLINT cType, SQLULEN arraySize,
                       SQLSMALLINT nullable, SQLSMALLINT decimalDigits, SQLULEN columnSize,
                       SQLSMALLINT sqlType, SQLPOINTER value, SQLLEN bufferBytes = 0);
    // Binds one value, sized by SQLDescribeParam when the driver can describe the
    // prepared statement, else by the driver's limits. A null value binds NULL. A text or
    // bytes buffer of known size (bufferBytes > 0) is given to the driver as that size,
    // whatever the description says: an output is then never written past its end, and
    // an input is never cut to the described size.
    void BindParam(SQLUSMALLINT number, SQLSMALLINT cType, SQLSMALLINT sqlType, SQLPOINTER value,
                   SQLLEN bufferBytes = 0);
    // SQLDescribeParam of a parameter of the prepared statement; false when the
    // connection does not describe or the driver cannot.
    bool DescribeParam(SQLUSMALLINT number, SQLSMALLINT& sqlType, SQLULEN& columnSize,
                       SQLSMALLINT& decimalDigits, SQLSMALLINT& nullable);
    // Binds long data kept in memory (text or binary) of `size` bytes; empty is NULL.
    // The memory must stay valid until the statement has executed.
    void BindParamLong(SQLUSMALLINT number, const void* data, SQLLEN size, bool binary);
    void BindParamStream(SQLUSMALLINT number, TMemoryStream& stream, bool binary);
    // The length of element 1 of a parameter (-1 for NULL), data-at-execution decoded.
    SQLLEN ParamSize(SQLUSMALLINT number) const;
    void SetParamSize(SQLUSMALLINT number, SQLLEN size);
    const TParamRec* FindParam(SQLUSMALLINT number) const;
    // Whether long parameter data goes to the driver in pieces.
    bool LongDataByParts();

    // ---- Execution results ---------------------------------------------------------------
    SQLLEN NumRowsAffected();
    SQLULEN NumRowsFetched() const noexcept { return rowsFetched_; }
    // The number of rows SQL gives, by RowCountMethod.
    long RowCount();

    // ---- Result columns -----------------------------------------------------------------
    // Describes and binds the columns of the result set, once until Close.
    void BindCols();
    int NumCols() const noexcept { return static_cast<int>(columns_.size()); }
    std::vector<std::string> ColNames() const;
    // A column's name (1-based); EODBCExpress outside the columns.
    const std::string& ColName(int col) const;
    // 1-based; EODBCExpress "Identifier NAME not found in result set." otherwise.
    int ColByName(const std::string& name);
    SQLSMALLINT ColCType(int col) const;
    SQLSMALLINT ColSqlType(int col) const;
    bool ColIsLong(int col) const;
    SQLULEN ColColumnSize(int col) const;
    SQLSMALLINT ColDecimalDigits(int col) const;
    SQLSMALLINT ColNullable(int col) const;
    bool ColPrimary(int col) const;
    void SetColPrimary(int col, bool on);
    // Bytes per row of a bound column's element (0 when not bound).
    SQLLEN ColElementSize(int col) const;
    // Whether the column's size limits a text (in characters) or bytes written to it: not
    // when the driver gives none, nor once a fetch showed the database holding a longer
    // value (a driver's size for an unsized column is a guess that nothing tells from a
    // declared one).
    bool ColSizeIsLimit(int col) const;
    // Whether a row's text or bytes value is held cut: longer than its element, and the
    // driver would not give it again whole (see ReadWholeValues).
    bool ColCut(int col, SQLULEN row = 1) const;

    // ---- Fetching -----------------------------------------------------------------------
    bool Fetch(SQLSMALLINT direction, SQLLEN offset);
    bool FetchFirst() { return Fetch(SQL_FETCH_FIRST, 0); }
    bool FetchNext() { return Fetch(SQL_FETCH_NEXT, 0); }
    bool FetchLast() { return Fetch(SQL_FETCH_LAST, 0); }
    bool FetchPrev() { return Fetch(SQL_FETCH_PRIOR, 0); }
    bool FetchAbsolute(SQLLEN row) { return Fetch(SQL_FETCH_ABSOLUTE, row); }
    bool FetchBookmark(const std::vector<unsigned char>& bookmark);
    // The bookmark of row 1; empty when the cursor has none or row 1 is not valid.
    std::vector<unsigned char> GetBookmark();
    SQLLEN BookmarkLength() const noexcept { return bookmarkLength_; }
    SQLUSMALLINT RowStatus(SQLULEN row) const;
    bool RowValid(SQLULEN row) const;
    // The pending write-back operation of a row (TRowFlag bits); 0 out of range.
    uint16_t RowFlags(SQLULEN row) const;
    void SetRowFlags(SQLULEN row, uint16_t flags);

    // Reads a long column of a row into its stream; the total length, -1 for NULL.
    SQLLEN ReadLongData(int col, SQLULEN row = 1);

    // ---- Column values (row 1 unless given) ----------------------------------------------
    bool ColIsNull(int col, SQLULEN row = 1) const;
    bool ColIgnored(int col, SQLULEN row = 1) const;
    SQLLEN ColDataSize(int col, SQLULEN row = 1) const;
    std::string ColAsString(int col, SQLULEN row = 1);
    double ColAsDouble(int col, SQLULEN row = 1) const;
    int32_t ColAsInteger(int col, SQLULEN row = 1) const;
    int64_t ColAsInt64(int col, SQLULEN row = 1) const;
    TDateTimeRec ColAsDateTimeRec(int col, SQLULEN row = 1) const;
    // The element itself (long columns: the stream's bytes, read first).
    const void* ColMemory(int col, SQLULEN row = 1);
    // Long columns only (nullptr otherwise); read first when BlobDeferral is set.
    TMemoryStream* ColStream(int col, SQLULEN row = 1);

    void SetColString(int col, const std::string& text, SQLULEN row = 1);
    void SetColDouble(int col, double value, SQLULEN row = 1);
    void SetColInteger(int col, int32_t value, SQLULEN row = 1);
    void SetColInt64(int col, int64_t value, SQLULEN row = 1);
    void SetColDateTimeRec(int col, const TDateTimeRec& value, SQLULEN row = 1);
    void SetColStream(int col, TMemoryStream& stream, SQLULEN row = 1);
    void SetColNull(int col, SQLULEN row = 1);
    // On: the column is left out of the row's write-back (indicator SQL_COLUMN_IGNORE),
    // the write under way only: the mark ends with the row operation or the next fetch.
    void SetColIgnored(int col, bool on, SQLULEN row = 1);

    // ---- Row write-back ------------------------------------------------------------------
    // The table that receives the writes; empty: the result set's table, else the first
    // table after FROM in SQL.
    const std::string& TargetTable() const noexcept { return targetTable_; }
    void SetTargetTable(const std::string& table) { targetTable_ = table; }
    // The table and owner worked out at the last write (the owner only for the catalog).
    const std::string& TableOwner() const noexcept { return tableOwner_; }
    const std::string& TableName() const noexcept { return tableName_; }
    // Off when the row written is not the one the cursor stands on (a dataset that keeps
    // the rows it has read itself): every write is then a generated statement.
    bool WritesThroughCursor() const noexcept { return writesThroughCursor_; }
    void SetWritesThroughCursor(bool on) noexcept { writesThroughCursor_ = on; }
    // The cursor capabilities a write may use: SkipByPosition, SkipByCursor, a read-only
    // cursor and a cursor away from the row take theirs away.
    SQLUINTEGER WriteCapabilities() const noexcept;
    // Whether InsertRow adds the row through the cursor (which then knows it) rather than
    // by a generated INSERT.
    bool InsertsThroughCursor() const noexcept;
    // The columns that identify a row, in column order: those flagged primary, else
    // those the catalog names for the target table (flagged from then on until Close).
    std::vector<int> PrimaryColumns();
    // The row's values as they are now identify it in the next generated UPDATE or
    // DELETE, whatever its values become before then: an edit that changes a key column
    // still finds the row by its old key.
    void KeepKeyValues(SQLULEN row = 1);
    // Drops kept key values unused, as a write that failed before reaching the row
    // operation must: the next write finds its row by its own values.
    void ForgetKeyValues() noexcept { pendingWrite_.ForgetKeys(); }
    // Drops everything a write that failed before its row operation has decided (kept key
    // values, columns left out): the row's values read as they are again.
    void EndPendingWrite() noexcept { pendingWrite_.End(); }

    // The exact values of a row's bound columns (element bytes and indicators) as the
    // driver gave them. Put back before a write, they make the key and every column the
    // write leaves alone exactly what was read, whatever a caller's copy could hold.
    using TRowImage = std::vector<unsigned char>;
    TRowImage CaptureRow(SQLULEN row = 1) const;
    // Puts an image back into a row (columns it does not hold keep theirs) and clears the
    // columns' ignored marks; false when the image is empty or of another result set.
    bool RestoreRow(const TRowImage& image, SQLULEN row = 1);
    // The image of a row after a write: the columns left out of it (SQL_COLUMN_IGNORE)
    // as `before` holds them, the others as written.
    TRowImage CaptureWritten(const TRowImage& before, SQLULEN row = 1) const;
    // Write row values (row 1 unless a rowset is fetched and rows are flagged) through
    // the cursor when it can, else by a generated statement. Each asks its confirm event
    // first; no row affected raises EODBC "No Data Found" when NoRowsAffected says so.
    virtual void InsertRow();
    virtual void UpdateRow(SQLULEN row);
    virtual void DeleteRow(SQLULEN row);
    // Reads the row again into its elements.
    virtual void RefreshRow(SQLULEN row);
    // Whether RefreshRow reads through the cursor, which then knows the row as read; when
    // it does not while writes go through the cursor, the cursor keeps the row as it was
    // and refuses a write of it once another user changed it.
    bool RefreshesThroughCursor() const noexcept;
    // After InsertRow, for a row whose one key column was left to the database (a SERIAL,
    // an INTEGER PRIMARY KEY of SQLite): the key it made, put into the row; false when
    // the row's key was given, is not a whole number made so, or cannot be told.
    bool ReadGeneratedKey(SQLULEN row = 1);
    // Reads a row again by its key with a generated SELECT, whatever the cursor can do and
    // without the refresh confirmation: for a row the cursor does not show, such as one
    // just inserted. False when no row has that key.
    bool ReadRowByKey(SQLULEN row = 1);

protected:
    virtual void DoBeforePrepare();
    virtual void DoAfterPrepare();
    virtual void DoBeforeExecute();
    virtual void DoAfterExecute();
    virtual void DoBeforeFetch();
    virtual void DoAfterFetch();
    // The OnRowCount result; -1 when it is not assigned.
    virtual long DoRowCount();

    void Notification(TComponent* component, TOperation operation) override;

    // Write-back statements (insert, update, delete, refresh), made on first use.
    enum TWriteBack { wbInsert, wbUpdate, wbDelete, wbRefresh };
    THstmt& WriteBackStmt(TWriteBack kind);
    void MarkWriteBackUnprepared() noexcept;

private:
    // Attributes.
    void ApplyConcurrency();
    void ApplyCursorType();
    void ApplyRowSetSize();
    void RefreshCursorCaps();
    bool ApplyStmtAttr(SQLINTEGER attr, SQLULEN& value);

    // Execution.
    // With ExecAsync: asynchronous mode on (if the driver takes it), resp. off again.
    void EnableAsync() noexcept;
    bool DisableAsync();
    // Repeats a call while it is still executing, keeping the window responsive.
    SQLRETURN Poll(const std::function<SQLRETURN()>& call);
    // Sends the data-at-execution parameters; `rc` becomes the result of the last
    // SQLParamData. False when a failure has been reported already.
    bool SendLongData(SQLRETURN& rc);
    // Answers the driver's SQL_NEED_DATA: `lookup` gives the bytes and length (-1: NULL)
    // of the value bound at a token (false: none), which go in pieces of BlobSize. As
    // SendLongData for `rc` and the result.
    using TDataAtExecLookup =
        std::function<bool(SQLPOINTER token, const unsigned char*& data, SQLLEN& length)>;
    bool SendDataAtExec(SQLRETURN& rc, const TDataAtExecLookup& lookup);
    // Forgets the connection that is being destroyed, and the handle that went with it.
    void ForgetConnection() noexcept;
    TParamRec* ParamRecord(SQLUSMALLINT number);
    // Binds this statement's parameters numbers[0], numbers[1], ... as the parameters
    // 1, 2, ... of `other`.
    void RebindParamsOn(THstmt& other, const std::vector<size_t>& numbers) const;
    long CountBySelect(const TCountQuery& query);
    long CountByTraversal();
    void FreeColumns() noexcept;
    // Decimal columns held as text keep a point as their separator, whatever the driver
    // wrote (see BindCols).
    void NormaliseDecimalText();
    // Reads whole the text and bytes values of the rows just fetched that are longer
    // than their elements (a driver's size for an unsized column is a guess), widening
    // the column's elements to hold them.
    void ReadWholeValues();
    // Widens a bound column's elements to at least `bytes` each, keeping their values.
    void GrowElement(int col, SQLLEN bytes);
    // Frees the handle without checks and forgets every binding made on it.
    void ReleaseHandle() noexcept;

    // Row write-back.
    std::vector<SQLULEN> RowsToWrite(SQLULEN row, uint16_t flag) const;
    void WriteByPosition(SQLULEN row, SQLUSMALLINT operation, unsigned noRowsFlag);
    void BindLongForWrite();
    void UnbindLongForWrite(bool checked);
    void MarkReadOnlyColumns(SQLULEN row);
    void WorkOutTable();
    // False only for a refresh that found no row.
    bool RunGenerated(TWriteBack kind, SQLULEN row, bool byCursor);
    std::string GeneratedText(TWriteBack kind, SQLULEN row, bool byCursor,
                              std::vector<int>& valueCols, std::vector<int>& keyCols);
    void BindWriteParams(THstmt& wb, SQLULEN row, const std::vector<int>& valueCols,
                         const std::vector<int>& keyCols, bool rebind);
    bool ReadRefreshedRow(THstmt& wb, SQLULEN row);

    // Columns.
    TColumnBuffer* Column(int col);
    const TColumnBuffer* Column(int col) const;
    // The column's element of a row, or nullptr outside the columns and rows.
    TColumnBuffer* Element(int col, SQLULEN row, unsigned char*& element);
    const TColumnBuffer* Element(int col, SQLULEN row, const unsigned char*& element) const;
    SQLLEN ReadLongPieces(int col, TColumnBuffer& c);
    // Reads a column of the current row whole with SQLGetData, in pieces of BlobSize;
    // the total length, -1 for NULL.
    SQLLEN ReadPieces(int col, SQLSMALLINT cType, std::string& value);
    void StoreText(TColumnBuffer& c, SQLULEN row, const std::string& text, int col);
    void ApplyEmptyToNull(TColumnBuffer& c, SQLULEN row, const std::string& stored);

    SQLHSTMT hstmt_ = SQL_NULL_HSTMT;
    THdbc* hdbc_ = nullptr;
    SQLHDESC ipd_ = SQL_NULL_HDESC;
    bool prepared_ = false;
    bool executed_ = false;
    bool asyncOn_ = false;
    bool needData_ = false; // between SQL_NEED_DATA and the end of the data exchange
    SQLSMALLINT paramType_ = SQL_PARAM_INPUT;

    std::string sql_;
    SQLULEN concurrency_ = SQL_CONCUR_READ_ONLY;
    SQLULEN cursorType_ = SQL_CURSOR_FORWARD_ONLY;
    SQLULEN rowSetSize_ = 1;
    bool skipByPosition_ = false;
    bool skipByCursor_ = false;
    bool bindBookmarks_ = false;
    SQLLEN blobSize_ = 32768;
    bool blobDeferral_ = false;
    TBlobPlacement blobPlacement_ = bpDetect;
    bool execAsync_ = false;
    TEmptyToNull emptyToNull_ = enNever;
    TStringTrimming trimming_ = stTrimTrailing;
    bool bindByName_ = false;
    TRowCountMethod rowCountMethod_ = rcFunction;
    // A write meant for one row that reaches none has not done what it was asked.
    TNoRowsAffected noRowsAffected_ = nrByUpdate | nrByDelete;
    SQLUINTEGER cursorCaps_ = 0;

    std::vector<std::string> paramNames_;
    // The text paramNames_ were parsed from; parsed again only when SQL changes, since a
    // statement executed key after key asks for them every time.
    std::optional<std::string> paramNamesOf_;
    std::vector<std::unique_ptr<TParamRec>> params_;
    SQLULEN paramSetSize_ = 1;

    std::vector<TColumnBuffer> columns_; // each column's description, buffers and state
    std::vector<SQLUSMALLINT> rowStatus_;
    std::vector<uint16_t> rowFlags_;
    std::vector<unsigned char> bookmarks_;
    std::vector<SQLLEN> bookmarkIndicators_;
    std::vector<unsigned char> fetchBookmark_;
    SQLLEN bookmarkLength_ = 4;
    SQLULEN rowsFetched_ = 0;
    bool columnsBound_ = false;
    bool hasLongColumns_ = false;
    SQLUINTEGER getDataExtensions_ = 0; // SQL_GETDATA_EXTENSIONS, asked by BindCols

    std::string targetTable_;
    std::string tableOwner_;
    std::string tableName_;
    std::array<std::unique_ptr<THstmt>, 4> writeBack_;
    // The text each write-back statement was last prepared from, before OnStatement.
    std::array<std::string, 4> writeBackText_;
    bool readOnlyAsked_ = false; // TColumnBuffer::readOnly known for this result set
    bool writesThroughCursor_ = true;
    // The write under way: the columns it leaves out, whether its key values
    // (TColumnBuffer::keyValue) are kept. Ended with every row operation and fetch.
    TPendingWrite pendingWrite_;
};

} // namespace zen
