// The statement's lifecycle, settings, execution and row counting.

#include "odbc/Hstmt.h"

#include "odbc/SqlText.h"

#include <QCoreApplication>

#include <algorithm>

namespace zen {

namespace {

SQLPOINTER UlenAttr(SQLULEN v) {
    return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(v));
}

SQLCHAR* Chars(std::string& s) {
    return reinterpret_cast<SQLCHAR*>(s.data());
}

// Lets the window stay responsive while an asynchronous statement runs.
void ProcessPendingMessages() {
    if (QCoreApplication::instance()) {
        QCoreApplication::processEvents();
    }
}

} // namespace

THdbc* FirstConnection(const TComponent* owner) {
    for (int i = 0; owner && i < owner->ComponentCount(); ++i) {
        if (auto* dbc = dynamic_cast<THdbc*>(owner->Components(i))) {
            return dbc;
        }
    }
    return nullptr;
}

void WatchConnection(TComponent* self, THdbc* from, THdbc* to) {
    if (from && from != to) {
        self->RemoveFreeNotification(from);
        from->RemoveFreeNotification(self);
    }
    if (to) {
        self->FreeNotification(to);
    }
}

THdbc* FollowConnection(const TComponent* self, THdbc* current, TComponent* component,
                        TOperation operation) {
    if (operation == TOperation::opRemove && component == current) {
        return nullptr;
    }
    if (operation == TOperation::opInsert && !current && self->Owner() &&
        component->Owner() == self->Owner()) {
        return dynamic_cast<THdbc*>(component);
    }
    return current;
}

THstmt::THstmt(TComponent* owner) : THbase(owner) {
    if (THdbc* dbc = FirstConnection(owner)) {
        SetHdbc(dbc);
    }
}

THstmt::~THstmt() {
    try {
        Terminate();
    } catch (...) {
        // A destructor cannot report: release what is left without checks.
        if (hdbc_) {
            hdbc_->Children().Remove(this);
        }
        ReleaseHandle();
    }
}

bool THstmt::Checked(SQLRETURN rc) {
    Check(rc);
    return SQL_SUCCEEDED(rc);
}

// ---- Lifecycle -----------------------------------------------------------------------------

bool THstmt::Init() {
    if (Allocated()) {
        return true;
    }
    if (!hdbc_) {
        throw EODBCExpress("Property Hdbc of " + Name() + " not set.");
    }
    hdbc_->Connect();
    SQLHSTMT h = SQL_NULL_HSTMT;
    SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, hdbc_->Handle(), &h);
    // A failed allocation leaves its diagnostics on the connection.
    THenv::Instance().Error().Check(hdbc_, rc);
    if (!SQL_SUCCEEDED(rc)) {
        return false;
    }
    hstmt_ = h;
    SetRetCode(rc);
    SetAllocated(true);
    hdbc_->Children().Add(this);
    ApplyConcurrency();
    ApplyCursorType();
    ApplyRowSetSize();
    DoAfterInit();
    if (cursorCaps_ & SQL_CA1_BOOKMARK) {
        rc = SQLSetStmtAttr(hstmt_, SQL_ATTR_USE_BOOKMARKS, UlenAttr(SQL_UB_VARIABLE), 0);
        bindBookmarks_ = bindBookmarks_ && SQL_SUCCEEDED(rc);
    } else {
        bindBookmarks_ = false;
    }
    return true;
}

bool THstmt::Terminate() {
    DoBeforeTerminate();
    if (!Allocated()) {
        return true;
    }
    if (hdbc_) {
        hdbc_->Children().Remove(this);
    }
    try {
        Close();
    } catch (...) {
        // The handle goes all the same, so that the next use starts afresh.
        ReleaseHandle();
        throw;
    }
    SQLRETURN rc = SQLFreeHandle(SQL_HANDLE_STMT, hstmt_);
    if (!SQL_SUCCEEDED(rc)) {
        if (hdbc_) {
            hdbc_->Children().Add(this);
        }
        Check(rc);
        return false;
    }
    hstmt_ = SQL_NULL_HSTMT;
    ReleaseHandle();
    return true;
}

void THstmt::ReleaseHandle() noexcept {
    FreeColumns();
    params_.clear();
    paramNames_.clear();
    paramSetSize_ = 1;
    prepared_ = false;
    executed_ = false;
    if (hstmt_ != SQL_NULL_HSTMT) {
        SQLFreeHandle(SQL_HANDLE_STMT, hstmt_);
        hstmt_ = SQL_NULL_HSTMT;
    }
    ipd_ = SQL_NULL_HDESC;
    asyncOn_ = false;
    SetAllocated(false);
}

void THstmt::BeforeRaise() noexcept {
    if (asyncOn_ && hstmt_ != SQL_NULL_HSTMT) {
        SQLSetStmtAttr(hstmt_, SQL_ATTR_ASYNC_ENABLE, UlenAttr(SQL_ASYNC_ENABLE_OFF), 0);
        asyncOn_ = false;
    }
}

void THstmt::CloseCursor() {
    Check(SQLFreeStmt(Handle(), SQL_CLOSE));
}

void THstmt::Close() {
    CloseCursor();
    SQLRETURN rc = SQLFreeStmt(hstmt_, SQL_RESET_PARAMS);
    params_.clear();
    paramNames_.clear();
    paramSetSize_ = 1;
    Check(rc);
    FreeColumns();
    rc = SQLFreeStmt(hstmt_, SQL_UNBIND);
    Check(rc);
    MarkWriteBackUnprepared();
    prepared_ = false;
    executed_ = false;
}

void THstmt::FreeColumns() noexcept {
    if (hstmt_ != SQL_NULL_HSTMT) {
        // Nothing the driver holds may point into the arrays about to be freed.
        SQLFreeStmt(hstmt_, SQL_UNBIND);
        if (!bookmarks_.empty()) {
            SQLBindCol(hstmt_, 0, SQL_C_VARBOOKMARK, nullptr, 0, nullptr);
        }
        SQLSetStmtAttr(hstmt_, SQL_ATTR_ROW_STATUS_PTR, nullptr, 0);
    }
    columns_.clear();
    colNames_.clear();
    rowStatus_.clear();
    rowFlags_.clear();
    bookmarks_.clear();
    bookmarkIndicators_.clear();
    columnsBound_ = false;
    hasLongColumns_ = false;
    colReadOnly_.clear();
    keyValues_.clear();
    keyIndicators_.clear();
    keyValuesKept_ = false;
}

void THstmt::Notification(TComponent* component, TOperation operation) {
    THbase::Notification(component, operation);
    THdbc* next = FollowConnection(this, hdbc_, component, operation);
    if (!next) {
        // Going: it has terminated this statement already.
        hdbc_ = nullptr;
    } else if (next != hdbc_) {
        SetHdbc(next);
    }
}

// ---- Properties ----------------------------------------------------------------------------

void THstmt::SetHdbc(THdbc* hdbc) {
    Terminate();
    WatchConnection(this, hdbc_, hdbc);
    hdbc_ = hdbc;
    for (auto& wb : writeBack_) {
        if (wb) {
            wb->SetHdbc(hdbc);
        }
    }
}

void THstmt::SetSQL(const std::string& sql) {
    if (Allocated()) {
        Close();
    }
    prepared_ = false;
    executed_ = false;
    sql_ = sql;
}

void THstmt::SetBlobSize(SQLLEN value) noexcept {
    if (value > 1024) {
        blobSize_ = value;
    }
}

void THstmt::SetSkipByPosition(bool on) {
    skipByPosition_ = on;
    MarkWriteBackUnprepared();
}

void THstmt::SetSkipByCursor(bool on) {
    skipByCursor_ = on;
    MarkWriteBackUnprepared();
}

void THstmt::SetConcurrencyType(SQLULEN value) {
    concurrency_ = value;
    if (Allocated()) {
        ApplyConcurrency();
    }
}

void THstmt::SetCursorType(SQLULEN value) {
    cursorType_ = value;
    if (Allocated()) {
        ApplyCursorType();
    }
}

void THstmt::SetRowSetSize(SQLULEN value) {
    if (value == 0) {
        return;
    }
    rowSetSize_ = value;
    if (Allocated()) {
        ApplyRowSetSize();
    }
}

// Sets a statement attribute when the driver has another value, then keeps what the
// driver actually took: a driver may substitute a value it does not support (01S02).
bool THstmt::ApplyStmtAttr(SQLINTEGER attr, SQLULEN& value) {
    Close();
    SQLULEN current = 0;
    if (!SQL_SUCCEEDED(SQLGetStmtAttr(hstmt_, attr, &current, 0, nullptr))) {
        return false;
    }
    if (current == value) {
        return true;
    }
    if (!Checked(SQLSetStmtAttr(hstmt_, attr, UlenAttr(value), 0))) {
        // Keep what the driver has: row arrays sized for anything else could be overrun.
        value = current;
        return false;
    }
    if (SQL_SUCCEEDED(SQLGetStmtAttr(hstmt_, attr, &current, 0, nullptr))) {
        value = current;
    }
    return true;
}

void THstmt::ApplyConcurrency() {
    ApplyStmtAttr(SQL_ATTR_CONCURRENCY, concurrency_);
}

void THstmt::ApplyCursorType() {
    ApplyStmtAttr(SQL_ATTR_CURSOR_TYPE, cursorType_);
    RefreshCursorCaps();
}

void THstmt::ApplyRowSetSize() {
    ApplyStmtAttr(SQL_ATTR_ROW_ARRAY_SIZE, rowSetSize_);
}

void THstmt::RefreshCursorCaps() {
    SQLUSMALLINT info = 0;
    switch (cursorType_) {
    case SQL_CURSOR_FORWARD_ONLY:
        info = SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1;
        break;
    case SQL_CURSOR_KEYSET_DRIVEN:
        info = SQL_KEYSET_CURSOR_ATTRIBUTES1;
        break;
    case SQL_CURSOR_DYNAMIC:
        info = SQL_DYNAMIC_CURSOR_ATTRIBUTES1;
        break;
    case SQL_CURSOR_STATIC:
        info = SQL_STATIC_CURSOR_ATTRIBUTES1;
        break;
    default:
        return;
    }
    cursorCaps_ = hdbc_ ? hdbc_->InfoInteger(info) : 0;
}

SQLULEN THstmt::MaxRows() {
    SQLULEN value = 0;
    Check(SQLGetStmtAttr(Handle(), SQL_ATTR_MAX_ROWS, &value, 0, nullptr));
    return value;
}

void THstmt::SetMaxRows(SQLULEN value) {
    Check(SQLSetStmtAttr(Handle(), SQL_ATTR_MAX_ROWS, UlenAttr(value), 0));
}

// ---- Events --------------------------------------------------------------------------------

void THstmt::DoBeforePrepare() {
    FireEvent(BeforePrepare, this);
}
void THstmt::DoAfterPrepare() {
    FireEvent(AfterPrepare, this);
}
void THstmt::DoBeforeExecute() {
    FireEvent(BeforeExecute, this);
}
void THstmt::DoAfterExecute() {
    FireEvent(AfterExecute, this);
}
void THstmt::DoBeforeFetch() {
    FireEvent(BeforeFetch, this);
}
void THstmt::DoAfterFetch() {
    FireEvent(AfterFetch, this);
}
long THstmt::DoRowCount() {
    return OnRowCount ? OnRowCount(this) : -1;
}

// ---- Execution -----------------------------------------------------------------------------

void THstmt::Prepare() {
    Close();
    DoBeforePrepare();
    std::string text = ParseSqlParams(sql_, paramNames_);
    if (!Checked(SQLPrepare(hstmt_, Chars(text), SQL_NTS))) {
        return;
    }
    DoAfterPrepare();
    prepared_ = true;
}

SQLRETURN THstmt::RunMaybeAsync(const std::function<SQLRETURN()>& call) {
    if (execAsync_) {
        // A driver that refuses asynchronous mode simply runs the call synchronously.
        asyncOn_ = SQL_SUCCEEDED(
            SQLSetStmtAttr(hstmt_, SQL_ATTR_ASYNC_ENABLE, UlenAttr(SQL_ASYNC_ENABLE_ON), 0));
    }
    SQLRETURN rc = call();
    while (rc == SQL_STILL_EXECUTING) {
        ProcessPendingMessages();
        rc = call();
    }
    return rc;
}

void THstmt::Execute() {
    Init();
    DoBeforeExecute();
    SQLRETURN rc = SQLSetStmtAttr(hstmt_, SQL_ATTR_PARAMSET_SIZE, UlenAttr(paramSetSize_), 0);
    if (paramSetSize_ > 1) {
        Check(rc);
    }
    executed_ = false;
    // A cursor left open by an earlier execution would make the driver refuse this one.
    CloseCursor();
    if (prepared_) {
        rc = RunMaybeAsync([this] { return SQLExecute(hstmt_); });
    } else {
        std::string text = ParseSqlParams(sql_, paramNames_);
        rc = RunMaybeAsync([this, &text] { return SQLExecDirect(hstmt_, Chars(text), SQL_NTS); });
    }
    if (rc != SQL_NEED_DATA && rc != SQL_NO_DATA) {
        Check(rc);
    }
    if (asyncOn_) {
        asyncOn_ = false;
        Check(SQLSetStmtAttr(hstmt_, SQL_ATTR_ASYNC_ENABLE, UlenAttr(SQL_ASYNC_ENABLE_OFF), 0));
    }
    if (rc == SQL_NEED_DATA) {
        rc = SendLongData();
        if (rc != SQL_NO_DATA) {
            Check(rc);
        }
    }
    if (SQL_SUCCEEDED(rc)) {
        DoAfterExecute();
    } else if (rc != SQL_NO_DATA) {
        return;
    }
    rowsFetched_ = 0;
    SQLSetStmtAttr(hstmt_, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0);
    executed_ = true;
}

void THstmt::ExecuteCatalog(const std::function<SQLRETURN(SQLHSTMT)>& call) {
    Init();
    executed_ = false;
    if (!Checked(call(hstmt_))) {
        return;
    }
    rowsFetched_ = 0;
    SQLSetStmtAttr(hstmt_, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0);
    executed_ = true;
}

SQLRETURN THstmt::SendLongData() {
    return SendDataAtExec([this](SQLPOINTER token, const unsigned char*& data, SQLLEN& length) {
        auto it = std::find_if(params_.begin(), params_.end(),
                               [token](const auto& p) { return p->value == token; });
        if (it == params_.end()) {
            return false;
        }
        const TParamRec& p = **it;
        data = static_cast<const unsigned char*>(p.value);
        length = p.indicators[0] <= SQL_LEN_DATA_AT_EXEC_OFFSET
                     ? -p.indicators[0] + SQL_LEN_DATA_AT_EXEC_OFFSET
                     : 0;
        return true;
    });
}

SQLRETURN THstmt::SendDataAtExec(const TDataAtExecLookup& lookup) {
    SQLPOINTER token = nullptr;
    SQLRETURN rc = SQLParamData(hstmt_, &token);
    while (rc == SQL_NEED_DATA) {
        const unsigned char* data = nullptr;
        SQLLEN length = 0;
        if (!lookup(token, data, length)) {
            SQLCancel(hstmt_);
            throw EODBCExpress("The driver asked for data of a value that is not bound.");
        }
        SQLRETURN put = SQL_SUCCESS;
        if (length <= 0) {
            put = SQLPutData(hstmt_, const_cast<unsigned char*>(data),
                             length < 0 ? SQL_NULL_DATA : 0);
        }
        for (SQLLEN sent = 0; sent < length;) {
            SQLLEN piece = std::min(blobSize_, length - sent);
            put = SQLPutData(hstmt_, const_cast<unsigned char*>(data + sent), piece);
            if (!SQL_SUCCEEDED(put)) {
                break;
            }
            sent += piece;
        }
        try {
            Check(put);
        } catch (...) {
            // Leave no half-sent statement behind: the next call would be refused.
            SQLCancel(hstmt_);
            throw;
        }
        rc = SQLParamData(hstmt_, &token);
    }
    return rc;
}

SQLLEN THstmt::NumRowsAffected() {
    SQLLEN n = 0;
    Check(SQLRowCount(Handle(), &n));
    return n;
}

// ---- Row count -----------------------------------------------------------------------------

long THstmt::RowCount() {
    if (rowCountMethod_ == rcFunction) {
        SQLLEN n = -1;
        SQLRETURN rc = SQLGetDiagField(SQL_HANDLE_STMT, Handle(), 0, SQL_DIAG_CURSOR_ROW_COUNT, &n,
                                       0, nullptr);
        if (SQL_SUCCEEDED(rc) && n >= 0) {
            return static_cast<long>(n);
        }
    } else if (rowCountMethod_ == rcCustom) {
        long n = DoRowCount();
        if (n >= 0) {
            return n;
        }
    }
    if (rowCountMethod_ != rcTraverse) {
        if (auto text = CountQueryText(sql_)) {
            long n = CountBySelect(*text);
            if (n >= 0) {
                return n;
            }
        }
    }
    return CountByTraversal();
}

void THstmt::RebindParamsOn(THstmt& other) const {
    size_t markers = other.ParamNames().size();
    for (const auto& rec : params_) {
        const TParamRec& p = *rec;
        if (p.number > markers) {
            continue;
        }
        other.BindParamMain(p.number, p.cType, p.arraySize, p.nullable, p.decimalDigits,
                            p.columnSize, p.sqlType, p.value);
        // Same sizes and lengths (a long value's length included); copied in place, since
        // the driver holds the array's address.
        TParamRec* copy = other.ParamRecord(p.number);
        std::copy_n(p.indicators.begin(), std::min(p.indicators.size(), copy->indicators.size()),
                    copy->indicators.begin());
    }
}

long THstmt::CountBySelect(const std::string& text) {
    THstmt tmp;
    tmp.SetHdbc(hdbc_);
    try {
        tmp.SetMaxRows(MaxRows());
        tmp.SetSQL(text);
        tmp.Prepare();
        RebindParamsOn(tmp);
        tmp.Execute();
        return tmp.FetchNext() ? tmp.ColAsInteger(1) : 0;
    } catch (const Exception&) {
        try {
            tmp.Terminate();
        } catch (const Exception&) {
        }
        return -1;
    }
}

long THstmt::CountByTraversal() {
    THstmt tmp;
    tmp.SetHdbc(hdbc_);
    tmp.SetMaxRows(MaxRows());
    tmp.SetSQL(sql_);
    tmp.Prepare();
    RebindParamsOn(tmp);
    tmp.Execute();
    // Nothing is bound: the rows are only counted, never copied. The row limit is kept
    // here too: a driver reading through a server cursor may not apply it.
    const SQLULEN limit = tmp.MaxRows();
    long n = 0;
    SQLRETURN rc;
    while ((limit == 0 || static_cast<SQLULEN>(n) < limit) &&
           (rc = SQLFetch(tmp.hstmt_)) != SQL_NO_DATA) {
        if (!tmp.Checked(rc)) {
            break;
        }
        ++n;
    }
    return n;
}

// ---- Write-back statements -----------------------------------------------------------------

THstmt& THstmt::WriteBackStmt(TWriteBack kind) {
    auto& wb = writeBack_[kind];
    if (!wb) {
        wb = std::make_unique<THstmt>();
        wb->SetHdbc(hdbc_);
        wb->SetBlobSize(blobSize_);
    }
    return *wb;
}

void THstmt::MarkWriteBackUnprepared() noexcept {
    for (auto& wb : writeBack_) {
        if (wb) {
            wb->prepared_ = false;
        }
    }
}

} // namespace zen
