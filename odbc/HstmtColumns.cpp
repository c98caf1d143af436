// The statement's result side: describing and binding columns, fetching, bookmarks, row
// status and flags, and long columns read in pieces.

#include "odbc/Hstmt.h"

#include "toolkit/Text.h"

#include <algorithm>
#include <cstring>

namespace zen {

namespace {

// A character or binary column wider than this is read as a long column, so that one
// row set's buffers stay reasonable. (A driver cuts a value longer than its element with
// a warning; it never writes past the element: ReadWholeValues reads it again.)
constexpr SQLULEN kMaxBoundColumnSize = 65535;

SQLSMALLINT NarrowType(SQLSMALLINT sqlType) {
    switch (sqlType) {
    case SQL_WCHAR:
        return SQL_CHAR;
    case SQL_WVARCHAR:
        return SQL_VARCHAR;
    case SQL_WLONGVARCHAR:
        return SQL_LONGVARCHAR;
    case SQL_GUID:
        return SQL_BINARY;
    // ODBC 2 codes, should a driver still report them.
    case SQL_DATE:
        return SQL_TYPE_DATE;
    case SQL_TIME:
        return SQL_TYPE_TIME;
    case SQL_TIMESTAMP:
        return SQL_TYPE_TIMESTAMP;
    default:
        return sqlType;
    }
}

// Whether the column's database type name holds `word` (upper case).
bool TypeNameHas(SQLHSTMT h, SQLUSMALLINT col, const char* word) {
    char typeName[128] = {0};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLColAttribute(h, col, SQL_DESC_TYPE_NAME, typeName, sizeof typeName,
                                       &length, nullptr))) {
        return false;
    }
    return AsciiUpper(typeName).find(word) != std::string::npos;
}

// SQLite's driver describes a BLOB column, which holds values of any length, as
// SQL_BINARY of 255 bytes: bound as such, longer values would come back cut. A column whose
// database type is a blob type is read as the long column it is.
bool IsBlobType(SQLHSTMT h, SQLUSMALLINT col) {
    return TypeNameHas(h, col, "BLOB");
}

// SQLite's driver describes a NUMERIC or DECIMAL column as a double; its whole numbers
// have up to 19 digits, which a double cannot all hold. Such a column is read as the
// decimal it is declared.
SQLSMALLINT DeclaredDecimal(SQLHSTMT h, SQLUSMALLINT col, SQLSMALLINT sqlType) {
    if (sqlType != SQL_DOUBLE && sqlType != SQL_FLOAT) {
        return sqlType;
    }
    if (TypeNameHas(h, col, "NUMERIC")) {
        return SQL_NUMERIC;
    }
    return TypeNameHas(h, col, "DECIMAL") ? SQL_DECIMAL : sqlType;
}

// Describes a result column and makes its buffers for `rows` rows; the driver's answer
// to SQLDescribeCol (nothing is made when that failed).
SQLRETURN DescribeColumn(SQLHSTMT h, SQLUSMALLINT col, TColumnBuffer& c, SQLULEN rows) {
    SQLCHAR name[256] = {0};
    SQLSMALLINT nameLength = 0;
    const SQLRETURN rc = SQLDescribeCol(h, col, name, sizeof name, &nameLength, &c.sqlType,
                                        &c.columnSize, &c.decimalDigits, &c.nullable);
    if (!SQL_SUCCEEDED(rc)) {
        return rc;
    }
    c.name = reinterpret_cast<const char*>(name);
    const SQLSMALLINT described = NarrowType(c.sqlType);
    c.sqlType = DeclaredDecimal(h, col, described);
    // Described as a double, the decimal's precision and scale are not known: its digits
    // are not limited here (the database keeps what it is given).
    c.digitsUnknown = c.sqlType != described;
    // A character or binary column too wide to bind row by row is read like a long one,
    // in pieces, rather than cut to the widest element we bind.
    if (c.columnSize > kMaxBoundColumnSize) {
        if (c.sqlType == SQL_CHAR || c.sqlType == SQL_VARCHAR) {
            c.sqlType = SQL_LONGVARCHAR;
        } else if (c.sqlType == SQL_BINARY || c.sqlType == SQL_VARBINARY) {
            c.sqlType = SQL_LONGVARBINARY;
        }
    } else if ((c.sqlType == SQL_BINARY || c.sqlType == SQL_VARBINARY) && IsBlobType(h, col)) {
        c.sqlType = SQL_LONGVARBINARY;
    }
    bool isUnsigned = false;
    if (c.sqlType == SQL_INTEGER || c.sqlType == SQL_SMALLINT || c.sqlType == SQL_TINYINT ||
        c.sqlType == SQL_BIGINT) {
        SQLLEN u = 0;
        if (SQL_SUCCEEDED(SQLColAttribute(h, col, SQL_DESC_UNSIGNED, nullptr, 0, nullptr, &u))) {
            isUnsigned = u != 0;
        }
    }
    c.Describe(isUnsigned, rows);
    return rc;
}

} // namespace

void THstmt::BindCols() {
    if (columnsBound_) {
        return;
    }
    SQLHSTMT h = Handle();
    SQLLEN count = 0;
    if (!SQL_SUCCEEDED(SQLColAttribute(h, 0, SQL_DESC_COUNT, nullptr, 0, nullptr, &count))) {
        // Some drivers (SQLite's) refuse column 0 even for the count.
        SQLSMALLINT n = 0;
        if (!Checked(SQLNumResultCols(h, &n))) {
            return;
        }
        count = n;
    }
    FreeColumns();
    const SQLULEN rows = rowSetSize_;
    columns_.reserve(static_cast<size_t>(count));
    for (SQLUSMALLINT col = 1; col <= count; ++col) {
        TColumnBuffer c;
        if (!Checked(DescribeColumn(h, col, c, rows))) {
            FreeColumns();
            return;
        }
        hasLongColumns_ = hasLongColumns_ || c.isLong;
        columns_.push_back(std::move(c));
        if (TColumnBuffer& b = columns_.back(); b.Bound()) {
            if (!Checked(SQLBindCol(h, col, b.cType, b.data.data(), b.elementSize,
                                    b.indicators.data()))) {
                FreeColumns();
                return;
            }
        }
    }
    pendingWrite_.Reset(columns_.size());
    rowStatus_.assign(rows, SQL_ROW_NOROW);
    rowStatus_[0] = SQL_ROW_SUCCESS;
    rowFlags_.assign(rows, 0);
    if (cursorCaps_ & SQL_CA1_BOOKMARK) {
        SQLLEN length = 0;
        if (SQL_SUCCEEDED(
                SQLColAttribute(h, 0, SQL_DESC_OCTET_LENGTH, nullptr, 0, nullptr, &length)) &&
            length > 0) {
            bookmarkLength_ = length;
        }
        if (bindBookmarks_) {
            bookmarks_.assign(static_cast<size_t>(bookmarkLength_) * rows, 0);
            bookmarkIndicators_.assign(rows, 0);
            if (!SQL_SUCCEEDED(SQLBindCol(h, 0, SQL_C_VARBOOKMARK, bookmarks_.data(),
                                          bookmarkLength_, bookmarkIndicators_.data()))) {
                // A driver that gives bookmarks but cannot bind them (SQLite's) still
                // gives each row's on request.
                bookmarks_.clear();
                bookmarkIndicators_.clear();
                bindBookmarks_ = false;
            }
        }
    }
    getDataExtensions_ = hdbc_ ? hdbc_->Quirks().getDataExtensions : 0;
    if (rows > 1 && hasLongColumns_) {
        // Long columns of a row set are read only when asked for, row by row: positioned
        // on the row, which needs a driver that reads data in a block cursor. Without
        // one every long value would stay unread and a write-back would empty it.
        if (!(getDataExtensions_ & SQL_GD_BLOCK)) {
            FreeColumns();
            throw EODBCExpress("Long columns (memo, blob) cannot be read with a RowSetSize "
                               "above 1 over this driver: set RowSetSize to 1.");
        }
        hasLongColumns_ = false;
    }
    SQLSetStmtAttr(h, SQL_ATTR_ROW_STATUS_PTR, rowStatus_.data(), 0);
    columnsBound_ = true;
}

int THstmt::ColByName(const std::string& name) {
    BindCols();
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (SameName(columns_[i].name, name)) {
            return static_cast<int>(i + 1);
        }
    }
    throw EODBCExpress("Identifier " + name + " not found in result set.");
}

std::vector<std::string> THstmt::ColNames() const {
    std::vector<std::string> names;
    names.reserve(columns_.size());
    for (const TColumnBuffer& c : columns_) {
        names.push_back(c.name);
    }
    return names;
}

const std::string& THstmt::ColName(int col) const {
    const TColumnBuffer* c = Column(col);
    if (!c) {
        throw EODBCExpress("Column " + std::to_string(col) + " not found in result set.");
    }
    return c->name;
}

TColumnBuffer* THstmt::Column(int col) {
    return col >= 1 && col <= NumCols() ? &columns_[static_cast<size_t>(col - 1)] : nullptr;
}

const TColumnBuffer* THstmt::Column(int col) const {
    return col >= 1 && col <= NumCols() ? &columns_[static_cast<size_t>(col - 1)] : nullptr;
}

SQLSMALLINT THstmt::ColCType(int col) const {
    const TColumnBuffer* c = Column(col);
    return c ? c->cType : 0;
}

SQLSMALLINT THstmt::ColSqlType(int col) const {
    const TColumnBuffer* c = Column(col);
    return c ? c->sqlType : 0;
}

bool THstmt::ColIsLong(int col) const {
    const TColumnBuffer* c = Column(col);
    return c && c->isLong;
}

SQLULEN THstmt::ColColumnSize(int col) const {
    const TColumnBuffer* c = Column(col);
    return c ? c->columnSize : 0;
}

SQLSMALLINT THstmt::ColDecimalDigits(int col) const {
    const TColumnBuffer* c = Column(col);
    return c ? c->decimalDigits : 0;
}

SQLSMALLINT THstmt::ColNullable(int col) const {
    const TColumnBuffer* c = Column(col);
    return c ? c->nullable : SQL_NULLABLE_UNKNOWN;
}

bool THstmt::ColPrimary(int col) const {
    const TColumnBuffer* c = Column(col);
    return c && c->primary;
}

void THstmt::SetColPrimary(int col, bool on) {
    if (TColumnBuffer* c = Column(col)) {
        c->primary = on;
    }
}

bool THstmt::ColSizeIsLimit(int col) const {
    const TColumnBuffer* c = Column(col);
    return c && c->SizeIsLimit();
}

bool THstmt::ColCut(int col, SQLULEN row) const {
    const TColumnBuffer* c = Column(col);
    if (!c || !c->Bound() || !c->HasRow(row) ||
        (c->cType != SQL_C_CHAR && c->cType != SQL_C_BINARY)) {
        return false;
    }
    const SQLLEN indicator = c->indicators[row - 1];
    return indicator == SQL_NO_TOTAL || indicator > c->Room();
}

SQLLEN THstmt::ColElementSize(int col) const {
    const TColumnBuffer* c = Column(col);
    return c ? static_cast<SQLLEN>(c->data.empty() ? 0 : c->elementSize) : 0;
}

// ---- Fetching ------------------------------------------------------------------------------

bool THstmt::Fetch(SQLSMALLINT direction, SQLLEN offset) {
    if (!Init()) {
        return false;
    }
    DoBeforeFetch();
    BindCols();
    if (!columnsBound_) {
        return false; // a failure that was not raised
    }
    SQLRETURN rc = direction == SQL_FETCH_NEXT && hdbc_->CursorLib() == SQL_CUR_USE_DRIVER
                       ? SQLFetch(hstmt_)
                       : SQLFetchScroll(hstmt_, direction, offset);
    std::fill(rowFlags_.begin(), rowFlags_.end(), 0);
    // Another row: what a write of the last one decided is over.
    pendingWrite_.End();
    if (rc == SQL_NO_DATA) {
        rowsFetched_ = 0;
        return false;
    }
    if (!Checked(rc)) {
        return false;
    }
    NormaliseDecimalText();
    ReadWholeValues();
    if (hasLongColumns_) {
        for (size_t i = 0; i < columns_.size(); ++i) {
            TColumnBuffer& c = columns_[i];
            if (!c.isLong) {
                continue;
            }
            c.longRead = false;
            // A row the fetch reports deleted or failed has no values to read.
            if (blobDeferral_ || !RowValid(1)) {
                c.indicators[0] = SQL_NULL_DATA;
            } else {
                ReadLongData(static_cast<int>(i + 1), 1);
            }
        }
    }
    DoAfterFetch();
    return true;
}

void THstmt::NormaliseDecimalText() {
    const SQLULEN rows = std::min<SQLULEN>(std::max<SQLULEN>(rowsFetched_, 1), rowSetSize_);
    for (TColumnBuffer& c : columns_) {
        if (!c.IsDecimalText() || !c.Bound()) {
            continue;
        }
        // A driver may write the locale's decimal separator into the text; the value
        // goes back to the database as a parameter, which wants a point.
        for (SQLULEN r = 0; r < rows; ++r) {
            auto* p = reinterpret_cast<char*>(c.Element(r + 1));
            std::replace(p, p + strnlen(p, static_cast<size_t>(c.elementSize)), ',', '.');
        }
    }
}

void THstmt::GrowElement(int col, SQLLEN bytes) {
    TColumnBuffer* c = Column(col);
    if (!c || !c->Widen(bytes)) {
        return;
    }
    if (hstmt_ != SQL_NULL_HSTMT && columnsBound_) {
        (void)Checked(SQLBindCol(hstmt_, static_cast<SQLUSMALLINT>(col), c->cType, c->data.data(),
                                 c->elementSize, c->indicators.data()));
    }
    // Prepared write-backs hold the old elements' addresses, and kept keys their size.
    if (!c->keyValue.empty()) {
        c->keyValue.resize(static_cast<size_t>(c->elementSize));
    }
    MarkWriteBackUnprepared();
}

void THstmt::ReadWholeValues() {
    const SQLULEN rows = std::min<SQLULEN>(std::max<SQLULEN>(rowsFetched_, 1), rowSetSize_);
    for (int col = 1; col <= NumCols(); ++col) {
        TColumnBuffer& c = columns_[static_cast<size_t>(col - 1)];
        const bool text = c.cType == SQL_C_CHAR;
        if (c.data.empty() || (!text && c.cType != SQL_C_BINARY)) {
            continue;
        }
        for (SQLULEN r = 1; r <= rows; ++r) {
            const SQLLEN indicator = c.indicators[r - 1];
            if (indicator != SQL_NO_TOTAL && indicator <= c.Room()) {
                c.NoteHeldLength(r);
                continue;
            }
            if (!(getDataExtensions_ & SQL_GD_BOUND) ||
                (rows > 1 && !(getDataExtensions_ & SQL_GD_BLOCK))) {
                break; // the driver reads no bound column again: the value stays cut
            }
            if (rows > 1 && !SQL_SUCCEEDED(SQLSetPos(hstmt_, static_cast<SQLSETPOSIROW>(r),
                                                     SQL_POSITION, SQL_LOCK_NO_CHANGE))) {
                continue; // the driver cannot go back to the row: its value stays cut
            }
            std::string value;
            if (ReadPieces(col, c.cType, value) < 0) {
                continue;
            }
            GrowElement(col, static_cast<SQLLEN>(value.size()) + (text ? 1 : 0));
            c.sizeExceeded = true;
            unsigned char* e = c.Element(r);
            std::memcpy(e, value.data(), value.size());
            if (text) {
                e[value.size()] = 0;
            }
            c.indicators[r - 1] = static_cast<SQLLEN>(value.size());
        }
    }
}

bool THstmt::FetchBookmark(const std::vector<unsigned char>& bookmark) {
    // Our own copy: the driver reads it during the fetch, whatever the caller does.
    fetchBookmark_ = bookmark;
    fetchBookmark_.resize(static_cast<size_t>(bookmarkLength_), 0);
    if (!Checked(SQLSetStmtAttr(Handle(), SQL_ATTR_FETCH_BOOKMARK_PTR, fetchBookmark_.data(),
                                static_cast<SQLINTEGER>(bookmarkLength_)))) {
        return false;
    }
    return Fetch(SQL_FETCH_BOOKMARK, 0);
}

std::vector<unsigned char> THstmt::GetBookmark() {
    if (!(cursorCaps_ & SQL_CA1_BOOKMARK) || !RowValid(1)) {
        return {};
    }
    std::vector<unsigned char> block(static_cast<size_t>(bookmarkLength_), 0);
    if (bindBookmarks_ && !bookmarks_.empty()) {
        std::memcpy(block.data(), bookmarks_.data(), block.size());
        return block;
    }
    if (!SQL_SUCCEEDED(SQLSetPos(hstmt_, 1, SQL_POSITION, SQL_LOCK_NO_CHANGE))) {
        return {};
    }
    SQLLEN indicator = 0;
    if (!Checked(
            SQLGetData(hstmt_, 0, SQL_C_VARBOOKMARK, block.data(), bookmarkLength_, &indicator))) {
        return {};
    }
    return block;
}

SQLUSMALLINT THstmt::RowStatus(SQLULEN row) const {
    return row >= 1 && row <= rowStatus_.size() ? rowStatus_[row - 1] : SQL_ROW_NOROW;
}

bool THstmt::RowValid(SQLULEN row) const {
    switch (RowStatus(row)) {
    case SQL_ROW_SUCCESS:
    case SQL_ROW_UPDATED:
    case SQL_ROW_ADDED:
    case SQL_ROW_SUCCESS_WITH_INFO:
        return true;
    default:
        return false;
    }
}

uint16_t THstmt::RowFlags(SQLULEN row) const {
    return row >= 1 && row <= rowFlags_.size() ? rowFlags_[row - 1] & 0x0F : 0;
}

void THstmt::SetRowFlags(SQLULEN row, uint16_t flags) {
    if (row >= 1 && row <= rowFlags_.size()) {
        uint16_t& f = rowFlags_[row - 1];
        f = static_cast<uint16_t>((f & ~0x0F) | (flags & 0x0F));
    }
}

// ---- Long columns --------------------------------------------------------------------------

SQLLEN THstmt::ReadLongData(int col, SQLULEN row) {
    TColumnBuffer* c = Column(col);
    if (!c || !c->isLong || row < 1 || row > rowSetSize_ || row > c->indicators.size()) {
        return 0;
    }
    SQLLEN& indicator = c->indicators[row - 1];
    if (rowSetSize_ == 1) {
        if (!c->longRead) {
            // PostgreSQL's driver fetches a row added through the cursor without making it
            // the row SQLGetData reads ("not positioned on a valid row"); positioning on it
            // does. A refusal is no failure: the fetch may have positioned already.
            if (cursorCaps_ & SQL_CA1_POS_POSITION) {
                SQLSetPos(hstmt_, 1, SQL_POSITION, SQL_LOCK_NO_CHANGE);
            }
            indicator = ReadLongPieces(col, *c);
            c->longRead = true;
        }
        return indicator;
    }
    // Reading in a row set needs SQL_GD_BLOCK (BindCols), by which a driver positions on
    // any row of it, whatever its cursor type reports.
    if (!RowValid(row)) {
        return -1;
    }
    if (!Checked(
            SQLSetPos(hstmt_, static_cast<SQLSETPOSIROW>(row), SQL_POSITION, SQL_LOCK_NO_CHANGE))) {
        return indicator;
    }
    try {
        indicator = ReadLongPieces(col, *c);
    } catch (const EODBC& e) {
        if (e.RetCode() != SQL_NO_DATA) {
            throw;
        }
    }
    return indicator;
}

SQLLEN THstmt::ReadLongPieces(int col, TColumnBuffer& c) {
    std::string value;
    c.stream->Clear();
    const SQLLEN total = ReadPieces(col, c.cType, value);
    if (total < 0) {
        return -1;
    }
    c.stream->Write(value.data(), static_cast<int64_t>(value.size()));
    c.stream->SetPosition(0);
    return total;
}

SQLLEN THstmt::ReadPieces(int col, SQLSMALLINT cType, std::string& value) {
    const bool text = cType == SQL_C_CHAR;
    // One reused buffer; room for the terminator that a text piece carries.
    std::vector<unsigned char> buffer(static_cast<size_t>(blobSize_) + 1);
    const SQLLEN bufferLength = blobSize_ + (text ? 1 : 0);
    SQLLEN total = 0;
    value.clear();
    SQLRETURN rc = SQLGetData(hstmt_, static_cast<SQLUSMALLINT>(col), cType, buffer.data(),
                              bufferLength, &total);
    // SQL_NO_DATA fails too: a row set's read swallows that exception.
    if (!Checked(rc)) {
        return -1;
    }
    if (total == SQL_NO_TOTAL) {
        throw EODBCExpress(
            "Unable to retrieve blob.  You may have to increase the BlobSize property.");
    }
    if (total == SQL_NULL_DATA) {
        return -1;
    }
    SQLLEN received = std::min(total, blobSize_);
    value.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(received));
    while (rc == SQL_SUCCESS_WITH_INFO && received < total) {
        SQLLEN remaining = 0;
        rc = SQLGetData(hstmt_, static_cast<SQLUSMALLINT>(col), cType, buffer.data(), bufferLength,
                        &remaining);
        if (rc == SQL_NO_DATA) {
            break;
        }
        if (!Checked(rc)) {
            value.clear();
            return -1;
        }
        // What this call put in the buffer: all that remained, or a full piece.
        SQLLEN piece = remaining == SQL_NO_TOTAL ? blobSize_ : std::min(remaining, blobSize_);
        piece = std::min(piece, total - received);
        value.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(piece));
        received += piece;
    }
    return total;
}

} // namespace zen
