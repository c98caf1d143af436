// The statement's row write-back: a row's values go to the database through the cursor
// (SQLSetPos, SQLBulkOperations) when the cursor can write, or else by an INSERT, UPDATE,
// DELETE or SELECT generated for the target table and run on a write-back statement of
// its kind. A write-back statement keeps its prepared text while the generated text stays
// the same, so a run of posts with the same columns prepares once.

#include "odbc/ColumnText.h"
#include "odbc/Hstmt.h"
#include "odbc/OCLError.h"
#include "odbc/SqlText.h"
#include "odbc/StatementCount.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <cstring>

namespace zen {

namespace {

constexpr SQLUINTEGER kByPosition =
    SQL_CA1_BULK_ADD | SQL_CA1_POS_UPDATE | SQL_CA1_POS_DELETE | SQL_CA1_POS_REFRESH;
constexpr SQLUINTEGER kByCursor = SQL_CA1_POSITIONED_UPDATE | SQL_CA1_POSITIONED_DELETE;
// What a read-only cursor cannot do.
constexpr SQLUINTEGER kWrites =
    SQL_CA1_BULK_ADD | SQL_CA1_POS_UPDATE | SQL_CA1_POS_DELETE | kByCursor;

// The operation codes OnStatement is told, by write-back kind.
constexpr uint16_t kOperationCode[] = {rfInsert, rfUpdate, rfDelete, rfRefresh};

// Where a long column's bound buffer points when its stream has no memory of its own: a
// null buffer would unbind the column instead.
char emptyLongValue[1] = {0};

std::string JoinNames(const std::vector<TColumnBuffer>& columns, const std::vector<int>& cols,
                      const char* each, const char* separator) {
    std::string out;
    for (size_t i = 0; i < cols.size(); ++i) {
        if (i > 0) {
            out += separator;
        }
        out += QuoteIdentifier(columns[static_cast<size_t>(cols[i] - 1)].name) + each;
    }
    return out;
}

// What the operator is told when a write finds its row changed or deleted by another
// user since it was read.
const char* const kRowChangedMessage = "Zapis je spremenil ali izbrisal drug uporabnik.";

// A row operation ends the write under way, however it ends: its kept key values and the
// columns it left out serve it alone.
class TWriteEnd {
public:
    explicit TWriteEnd(TPendingWrite& pending) : pending_(pending) {}
    ~TWriteEnd() { pending_.End(); }
    TWriteEnd(const TWriteEnd&) = delete;
    TWriteEnd& operator=(const TWriteEnd&) = delete;

private:
    TPendingWrite& pending_;
};

} // namespace

SQLUINTEGER THstmt::WriteCapabilities() const noexcept {
    SQLUINTEGER caps = cursorCaps_;
    if (skipByPosition_ || !writesThroughCursor_) {
        caps &= ~kByPosition;
    }
    if (skipByCursor_ || !writesThroughCursor_) {
        caps &= ~kByCursor;
    }
    if (concurrency_ == SQL_CONCUR_READ_ONLY) {
        caps &= ~kWrites;
    }
    return caps;
}

bool THstmt::InsertsThroughCursor() const noexcept {
    // A bulk add writes every row of the row set: only a single-row set goes that way.
    return (WriteCapabilities() & SQL_CA1_BULK_ADD) && rowSetSize_ == 1;
}

std::vector<SQLULEN> THstmt::RowsToWrite(SQLULEN row, uint16_t flag) const {
    if (rowSetSize_ <= 1 || rowsFetched_ == 0) {
        return {row};
    }
    std::vector<SQLULEN> rows;
    for (SQLULEN r = 1; r <= rowsFetched_; ++r) {
        if (RowFlags(r) & flag) {
            rows.push_back(r);
        }
    }
    return rows;
}

// ---- The row operations --------------------------------------------------------------------

void THstmt::InsertRow() {
    Init();
    TWriteEnd end(pendingWrite_);
    if (OnInsert && !OnInsert(this, "Insert row(s)?")) {
        return;
    }
    const bool byPosition = InsertsThroughCursor();
    for (SQLULEN r : RowsToWrite(1, rfInsert)) {
        if (byPosition) {
            WriteByPosition(r, SQL_ADD, nrByInsert);
        } else {
            RunGenerated(wbInsert, r, false);
        }
    }
}

void THstmt::KeepKeyValues(SQLULEN row) {
    for (int col = 1; col <= NumCols(); ++col) {
        unsigned char* element = nullptr;
        TColumnBuffer* c = Element(col, row, element);
        if (!c) {
            continue;
        }
        c->keyIndicator = SQL_NULL_DATA;
        if (!element) {
            continue;
        }
        // Sized once per result set: a prepared WHERE keeps the address.
        c->keyValue.resize(static_cast<size_t>(c->elementSize));
        std::memcpy(c->keyValue.data(), element, c->keyValue.size());
        c->keyIndicator = c->indicators[row - 1];
    }
    pendingWrite_.KeepKeys();
}

void THstmt::UpdateRow(SQLULEN row) {
    Init();
    TWriteEnd end(pendingWrite_);
    if (OnUpdate && !OnUpdate(this, "Update row(s)?")) {
        return;
    }
    const SQLUINTEGER caps = WriteCapabilities();
    for (SQLULEN r : RowsToWrite(row, rfUpdate)) {
        MarkReadOnlyColumns(r);
        if (caps & SQL_CA1_POS_UPDATE) {
            WriteByPosition(r, SQL_UPDATE, nrByUpdate);
        } else {
            RunGenerated(wbUpdate, r, (caps & SQL_CA1_POSITIONED_UPDATE) != 0);
        }
    }
}

void THstmt::DeleteRow(SQLULEN row) {
    Init();
    TWriteEnd end(pendingWrite_);
    if (OnDelete && !OnDelete(this, "Delete row(s)?")) {
        return;
    }
    const SQLUINTEGER caps = WriteCapabilities();
    for (SQLULEN r : RowsToWrite(row, rfDelete)) {
        if (caps & SQL_CA1_POS_DELETE) {
            WriteByPosition(r, SQL_DELETE, nrByDelete);
        } else {
            RunGenerated(wbDelete, r, (caps & SQL_CA1_POSITIONED_DELETE) != 0);
        }
    }
}

void THstmt::RefreshRow(SQLULEN row) {
    Init();
    TWriteEnd end(pendingWrite_);
    if (OnRefresh && !OnRefresh(this, "Refresh row(s)?")) {
        return;
    }
    const bool byCursor = RefreshesThroughCursor();
    for (SQLULEN r : RowsToWrite(row, rfRefresh)) {
        if (!byCursor) {
            RunGenerated(wbRefresh, r, false);
            continue;
        }
        CountStatement(TStatementKind::CursorWrite);
        SQLRETURN rc =
            SQLSetPos(hstmt_, static_cast<SQLSETPOSIROW>(r), SQL_REFRESH, SQL_LOCK_NO_CHANGE);
        if (rc == SQL_NO_DATA && !(noRowsAffected_ & nrByRefresh)) {
            continue;
        }
        if (!Checked(rc)) {
            continue;
        }
        NormaliseDecimalText();
        ReadWholeValues();
        // The refreshed row's long values are read again, as a fetch reads them.
        for (int col = 1; col <= NumCols(); ++col) {
            TColumnBuffer& c = columns_[static_cast<size_t>(col - 1)];
            if (c.isLong && rowSetSize_ == 1) {
                c.longRead = false;
                if (!blobDeferral_) {
                    ReadLongData(col, 1);
                }
            }
        }
    }
}

bool THstmt::RefreshesThroughCursor() const noexcept {
    return (WriteCapabilities() & SQL_CA1_POS_REFRESH) &&
           !(hdbc_ && hdbc_->Quirks().RefreshesAnotherRow());
}

bool THstmt::ReadRowByKey(SQLULEN row) {
    Init();
    TWriteEnd end(pendingWrite_);
    return RunGenerated(wbRefresh, row, false);
}

bool THstmt::ReadGeneratedKey(SQLULEN row) {
    const TDbmsKind kind = hdbc_ ? hdbc_->Quirks().kind : TDbmsKind::Other;
    if (kind == TDbmsKind::Other) {
        return false;
    }
    std::vector<int> keys;
    try {
        keys = PrimaryColumns();
    } catch (const EODBC&) {
        throw;
    } catch (const EODBCExpress&) {
        return false; // no table or key known
    }
    if (keys.size() != 1) {
        return false;
    }
    const int col = keys.front();
    const SQLSMALLINT type = ColSqlType(col);
    if ((!ColIsNull(col, row) && !ColIgnored(col, row)) ||
        (type != SQL_INTEGER && type != SQL_BIGINT && type != SQL_SMALLINT)) {
        return false;
    }
    // The inserted row's own value: SQLite's by the row id just given, PostgreSQL's from
    // the column's sequence as this session last drew it. A name that is no table here
    // finds nothing rather than failing (which would end a transaction on PostgreSQL).
    THstmt ask;
    ask.SetHdbc(hdbc_);
    std::string table = tableOwner_.empty() ? tableName_ : tableOwner_ + "." + tableName_;
    std::string name = ColName(col);
    if (kind == TDbmsKind::SQLite) {
        ask.SetSQL("SELECT " + QuoteIdentifier(name) + " FROM " + QuoteIdentifier(tableName_) +
                   " WHERE rowid = last_insert_rowid()");
    } else {
        // (Casts written out: a "::" would read as a parameter's name.)
        const std::string sequence =
            "pg_get_serial_sequence(CAST(CAST(c.oid AS regclass) AS text), a.attname)";
        ask.SetSQL("SELECT currval(" + sequence +
                   ") FROM pg_class c JOIN pg_attribute a ON a.attrelid = c.oid "
                   "WHERE c.oid = to_regclass(?) AND lower(a.attname) = lower(?) AND " +
                   sequence + " IS NOT NULL");
        ask.BindParam(1, SQL_C_CHAR, SQL_VARCHAR, table.data(),
                      static_cast<SQLLEN>(table.size() + 1));
        ask.SetParamSize(1, SQL_NTS);
        ask.BindParam(2, SQL_C_CHAR, SQL_VARCHAR, name.data(),
                      static_cast<SQLLEN>(name.size() + 1));
        ask.SetParamSize(2, SQL_NTS);
    }
    ask.Execute();
    const bool made = ask.FetchNext() && !ask.ColIsNull(1);
    const int64_t key = made ? ask.ColAsInt64(1) : 0;
    ask.Terminate();
    if (made) {
        SetColInt64(col, key, row);
    }
    return made;
}

// ---- Through the cursor --------------------------------------------------------------------

void THstmt::WriteByPosition(SQLULEN row, SQLUSMALLINT operation, unsigned noRowsFlag) {
    BindLongForWrite();
    SQLRETURN rc;
    try {
        CountStatement(TStatementKind::CursorWrite);
        rc = operation == SQL_ADD ? SQLBulkOperations(hstmt_, SQL_ADD)
                                  : SQLSetPos(hstmt_, static_cast<SQLSETPOSIROW>(row), operation,
                                              SQL_LOCK_NO_CHANGE);
        auto longValue = [this](SQLPOINTER token, const unsigned char*& data, SQLLEN& length) {
            for (TColumnBuffer& c : columns_) {
                void* memory = c.stream && c.stream->Size() > 0
                                   ? static_cast<void*>(c.stream->Memory())
                                   : static_cast<void*>(emptyLongValue);
                if (!c.isLong || memory != token) {
                    continue;
                }
                data = static_cast<const unsigned char*>(memory);
                SQLLEN indicator = c.indicators[0];
                length = indicator == SQL_NULL_DATA ? -1 : -indicator + SQL_LEN_DATA_AT_EXEC_OFFSET;
                return true;
            }
            return false;
        };
        if (rc == SQL_NEED_DATA && !SendDataAtExec(rc, longValue)) {
            UnbindLongForWrite(false);
            return;
        }
    } catch (...) {
        UnbindLongForWrite(false);
        throw;
    }
    UnbindLongForWrite(true);
    if (rc == SQL_NO_DATA && !(noRowsAffected_ & noRowsFlag)) {
        return;
    }
    // A driver that finds the row changed or gone since it was read (optimistic
    // concurrency) writes nothing and says so only in the row's status and an 01001
    // warning: that is a failure, not a success with information.
    if (rc == SQL_SUCCESS_WITH_INFO && operation != SQL_ADD) {
        std::vector<TErrorRec> records = TODBCError().GatherRecords(SQL_HANDLE_STMT, hstmt_, rc);
        const bool changed = RowStatus(row) == SQL_ROW_ERROR ||
                             std::any_of(records.begin(), records.end(),
                                         [](const TErrorRec& r) { return r.sqlState == "01001"; });
        if (changed) {
            records.insert(records.begin(), TErrorRec{"01001", 0, kRowChangedMessage});
            throw EODBC(this, SQL_ERROR, std::move(records));
        }
    }
    if (rc != SQL_NEED_DATA && !Checked(rc)) {
        return;
    }
}

void THstmt::BindLongForWrite() {
    const bool atExec = hdbc_ && hdbc_->Quirks().needLongDataLen;
    for (int col = 1; col <= NumCols(); ++col) {
        TColumnBuffer& c = columns_[static_cast<size_t>(col - 1)];
        if (!c.isLong) {
            continue;
        }
        SQLLEN& indicator = c.indicators[0];
        const auto size = static_cast<SQLLEN>(c.stream->Size());
        SQLLEN bufferLength = 0;
        // A column left out stays out; a NULL one is sent as NULL, never at execution.
        if (pendingWrite_.LeavesOut(col) || indicator == SQL_COLUMN_IGNORE) {
            indicator = SQL_COLUMN_IGNORE;
        } else if (indicator == SQL_NULL_DATA) {
            indicator = SQL_NULL_DATA;
        } else if (atExec) {
            indicator = SQL_LEN_DATA_AT_EXEC(size);
        } else {
            indicator = size;
            bufferLength = size + (c.cType == SQL_C_CHAR ? 1 : 0);
        }
        void* memory =
            size > 0 ? static_cast<void*>(c.stream->Memory()) : static_cast<void*>(emptyLongValue);
        if (!Checked(SQLBindCol(hstmt_, static_cast<SQLUSMALLINT>(col), c.cType, memory,
                                bufferLength, &indicator))) {
            return;
        }
    }
}

void THstmt::UnbindLongForWrite(bool checked) {
    for (int col = 1; col <= NumCols(); ++col) {
        TColumnBuffer& c = columns_[static_cast<size_t>(col - 1)];
        if (!c.isLong) {
            continue;
        }
        SQLRETURN rc =
            SQLBindCol(hstmt_, static_cast<SQLUSMALLINT>(col), c.cType, nullptr, 0, nullptr);
        if (checked && !Checked(rc)) {
            return;
        }
    }
}

void THstmt::MarkReadOnlyColumns(SQLULEN row) {
    // Asked once per result set: the answer belongs to the columns, not to the row.
    if (!readOnlyAsked_) {
        readOnlyAsked_ = true;
        for (int col = 1; col <= NumCols(); ++col) {
            SQLLEN updatable = SQL_ATTR_READWRITE_UNKNOWN;
            if (!Checked(SQLColAttribute(hstmt_, static_cast<SQLUSMALLINT>(col), SQL_DESC_UPDATABLE,
                                         nullptr, 0, nullptr, &updatable))) {
                updatable = SQL_ATTR_READWRITE_UNKNOWN;
            }
            columns_[static_cast<size_t>(col - 1)].readOnly = updatable == SQL_ATTR_READONLY;
        }
    }
    for (int col = 1; col <= NumCols(); ++col) {
        if (columns_[static_cast<size_t>(col - 1)].readOnly) {
            SetColIgnored(col, true, row);
        }
    }
}

// ---- Target table and primary columns --------------------------------------------------------

void THstmt::WorkOutTable() {
    std::string target = TrimText(targetTable_, stTrimBoth);
    if (!target.empty()) {
        tableName_ = target;
        tableOwner_.clear();
        return;
    }
    BindCols();
    auto attribute = [this](SQLUSMALLINT field, std::string& value) {
        SQLCHAR text[256] = {0};
        SQLSMALLINT length = 0;
        if (NumCols() == 0 || !SQL_SUCCEEDED(SQLColAttribute(hstmt_, 1, field, text, sizeof text,
                                                             &length, nullptr))) {
            value.clear();
            return;
        }
        value = TrimText(reinterpret_cast<const char*>(text), stTrimBoth);
    };
    attribute(SQL_DESC_SCHEMA_NAME, tableOwner_);
    attribute(SQL_DESC_TABLE_NAME, tableName_);
    if (tableName_.empty()) {
        // The first name after FROM, as the text has it.
        std::string text = sql_;
        std::replace_if(
            text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        text = AsciiUpper(text);
        size_t from = text.find(" FROM ");
        if (from != std::string::npos) {
            std::string rest = TrimText(text.substr(from + 6), stTrimBoth);
            tableName_ = rest.substr(0, rest.find(' '));
        }
    }
    if (tableName_.empty()) {
        throw EODBCExpress("Unable to determine table name:  set TargetTable property.");
    }
}

std::vector<int> THstmt::PrimaryColumns() {
    BindCols();
    std::vector<int> cols;
    auto flagged = [&] {
        cols.clear();
        for (int col = 1; col <= NumCols(); ++col) {
            if (columns_[static_cast<size_t>(col - 1)].primary) {
                cols.push_back(col);
            }
        }
        return !cols.empty();
    };
    if (flagged()) {
        return cols;
    }
    WorkOutTable();
    std::string owner = tableOwner_;
    std::string table = tableName_;
    auto chars = [](std::string& s) {
        return s.empty() ? nullptr : reinterpret_cast<SQLCHAR*>(s.data());
    };
    THstmt tmp;
    tmp.SetHdbc(hdbc_);
    tmp.ExecuteCatalog([&](SQLHSTMT h) {
        return SQLSpecialColumns(h, SQL_BEST_ROWID, nullptr, 0, chars(owner), SQL_NTS, chars(table),
                                 SQL_NTS, SQL_SCOPE_CURROW, SQL_NULLABLE);
    });
    bool found = false;
    while (tmp.FetchNext()) {
        if (tmp.ColAsInteger(8) != SQL_PC_PSEUDO) {
            SetColPrimary(ColByName(tmp.ColAsString(2)), true);
            found = true;
        }
    }
    if (!found) {
        tmp.Close();
        tmp.ExecuteCatalog([&](SQLHSTMT h) {
            return SQLPrimaryKeys(h, nullptr, 0, chars(owner), SQL_NTS, chars(table), SQL_NTS);
        });
        while (tmp.FetchNext()) {
            SetColPrimary(ColByName(tmp.ColAsString(4)), true);
        }
    }
    tmp.Terminate();
    flagged();
    return cols;
}

// ---- Generated statements -----------------------------------------------------------------

std::string THstmt::GeneratedText(TWriteBack kind, SQLULEN row, bool byCursor,
                                  std::vector<int>& valueCols, std::vector<int>& keyCols) {
    WorkOutTable();
    const std::string table = QuoteIdentifier(tableName_);
    valueCols.clear();
    keyCols.clear();
    for (int col = 1; col <= NumCols(); ++col) {
        if (kind == wbRefresh || !ColIgnored(col, row)) {
            valueCols.push_back(col);
        }
    }
    auto where = [&] {
        if (byCursor) {
            SQLCHAR name[256] = {0};
            SQLSMALLINT length = 0;
            if (!Checked(SQLGetCursorName(hstmt_, name, sizeof name, &length))) {
                name[0] = 0;
            }
            return "WHERE CURRENT OF " + std::string(reinterpret_cast<const char*>(name));
        }
        keyCols = PrimaryColumns();
        if (keyCols.empty()) {
            throw EODBCExpress("Unable to determine primary columns:  set PrimaryCols property.");
        }
        return "WHERE " + JoinNames(columns_, keyCols, " = ?", " AND ");
    };
    switch (kind) {
    case wbInsert:
        // Every column left out: the database's defaults make the whole row.
        if (valueCols.empty()) {
            return "INSERT INTO " + table + " DEFAULT VALUES";
        }
        {
            std::string markers = "?";
            for (size_t i = 1; i < valueCols.size(); ++i) {
                markers += ", ?";
            }
            return "INSERT INTO " + table + " (" + JoinNames(columns_, valueCols, "", ", ") +
                   ") VALUES (" + markers + ")";
        }
    case wbUpdate:
        return "UPDATE " + table + " SET " + JoinNames(columns_, valueCols, " = ?", ", ") + " " +
               where();
    case wbDelete:
        valueCols.clear();
        return "DELETE FROM " + table + " " + where();
    case wbRefresh: {
        std::string text =
            "SELECT " + JoinNames(columns_, valueCols, "", ", ") + " FROM " + table + " ";
        byCursor = false;
        valueCols.clear();
        return text + where();
    }
    }
    return {};
}

bool THstmt::RunGenerated(TWriteBack kind, SQLULEN row, bool byCursor) {
    if (byCursor && rowSetSize_ > 1) {
        // "WHERE CURRENT OF" means the row the cursor stands on inside its row set.
        if (!Checked(SQLSetPos(hstmt_, static_cast<SQLSETPOSIROW>(row), SQL_POSITION,
                               SQL_LOCK_NO_CHANGE))) {
            return true;
        }
    }
    std::vector<int> valueCols;
    std::vector<int> keyCols;
    std::string text = GeneratedText(kind, row, byCursor, valueCols, keyCols);
    THstmt& wb = WriteBackStmt(kind);
    const bool prepared = wb.Prepared() && writeBackText_[kind] == text;
    if (!prepared) {
        writeBackText_[kind].clear();
        std::string sql = text;
        if (OnStatement) {
            OnStatement(this, kOperationCode[kind], sql);
        }
        wb.SetSQL(sql);
        wb.Prepare();
        writeBackText_[kind] = text;
    }
    // Values kept by the caller serve one write; the next row of a row set keeps its own.
    if (!pendingWrite_.TakeKeys()) {
        KeepKeyValues(row);
        pendingWrite_.TakeKeys();
    }
    BindWriteParams(wb, row, valueCols, keyCols, prepared);
    wb.Execute();
    if (kind == wbRefresh) {
        return ReadRefreshedRow(wb, row);
    }
    const unsigned flag = kind == wbInsert   ? nrByInsert
                          : kind == wbUpdate ? nrByUpdate
                                             : nrByDelete;
    const SQLLEN affected = wb.NumRowsAffected();
    if ((noRowsAffected_ & flag) && affected == 0) {
        static_cast<void>(Checked(SQL_NO_DATA)); // raises "No Data Found" unless dropped
    }
    // A key that names several rows has written them all: the caller must not take the
    // write for the one row it meant.
    if (kind != wbInsert && affected > 1) {
        throw EODBC(&wb, SQL_ERROR,
                    {{"21000", 0,
                      "Zapis ni enolično določen: sprememba je zadela več zapisov (" +
                          std::to_string(affected) + ")."}});
    }
    return true;
}

void THstmt::BindWriteParams(THstmt& wb, SQLULEN row, const std::vector<int>& valueCols,
                             const std::vector<int>& keyCols, bool rebind) {
    SQLUSMALLINT n = 0;
    auto bind = [&](int col, bool key) {
        ++n;
        unsigned char* element = nullptr;
        TColumnBuffer& c = *Element(col, row, element);
        const SQLLEN indicator = c.indicators[row - 1];
        if (c.isLong) {
            // The stream's memory may have moved since the last write: bound every time.
            const bool null = indicator == SQL_NULL_DATA;
            if (!null && c.stream->Size() == 0) {
                // An empty value is one, as in a short column (BindParamLong binds NULL).
                wb.BindParam(n, c.cType,
                             c.cType == SQL_C_BINARY ? SQL_LONGVARBINARY : SQL_LONGVARCHAR,
                             emptyLongValue);
                wb.SetParamSize(n, 0);
                return;
            }
            wb.BindParamLong(n, null ? nullptr : c.stream->Memory(),
                             null ? 0 : static_cast<SQLLEN>(c.stream->Size()),
                             c.cType == SQL_C_BINARY);
            return;
        }
        SQLLEN size = indicator;
        if (key) {
            element = c.keyValue.data();
            size = c.keyIndicator;
        }
        if (!rebind) {
            wb.BindParam(n, c.cType, c.sqlType, element);
        }
        if (key && size < 0 && size != SQL_NULL_DATA) {
            // A key column left out of the values still passes its value.
            size = c.cType == SQL_C_CHAR ? SQL_NTS : 0;
        }
        wb.SetParamSize(n, size == SQL_NULL_DATA ? -1 : size);
    };
    for (int col : valueCols) {
        bind(col, false);
    }
    for (int col : keyCols) {
        bind(col, true);
    }
}

bool THstmt::ReadRefreshedRow(THstmt& wb, SQLULEN row) {
    if (!wb.FetchNext()) {
        if (noRowsAffected_ & nrByRefresh) {
            static_cast<void>(Checked(SQL_NO_DATA)); // raises "No Data Found" unless dropped
        }
        return false;
    }
    for (int col = 1; col <= std::min(NumCols(), wb.NumCols()); ++col) {
        unsigned char* element = nullptr;
        TColumnBuffer& c = *Element(col, row, element);
        if (c.isLong) {
            if (TMemoryStream* s = wb.ColStream(col)) {
                c.stream->LoadFrom(s->Memory(), s->Size());
            }
            c.indicators[row - 1] = wb.ColDataSize(col);
            c.longRead = true;
            continue;
        }
        if (!element) {
            continue;
        }
        if (wb.ColCType(col) == c.cType) {
            GrowElement(col, wb.ColElementSize(col));
            element = c.Element(row);
            const auto* from = static_cast<const unsigned char*>(wb.ColMemory(col));
            const auto bytes = static_cast<size_t>(std::min(c.elementSize, wb.ColElementSize(col)));
            if (from && bytes > 0) {
                std::memcpy(element, from, bytes);
            }
            c.indicators[row - 1] = wb.ColDataSize(col);
            c.NoteHeldLength(row);
        } else if (wb.ColIsNull(col)) {
            c.indicators[row - 1] = SQL_NULL_DATA;
        } else {
            SetColString(col, wb.ColAsString(col), row);
        }
    }
    // A reading statement left open would hold its locks.
    wb.CloseCursor();
    return true;
}

} // namespace zen
