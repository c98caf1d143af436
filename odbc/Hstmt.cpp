// The statement's lifecycle, settings, execution and row counting.

#include "odbc/Hstmt.h"

#include "odbc/CallArgs.h"
#include "odbc/SqlText.h"
#include "odbc/StatementCount.h"

#include <QCoreApplication>

#include <algorithm>
#include <numeric>

namespace zen {

namespace {

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
        // A destructor cannot report: what is left goes without checks below.
    }
    // However the release went, the connection must not keep a pointer to this object.
    if (hdbc_) {
        hdbc_->Children().Remove(this);
    }
    ReleaseHandle();
}

// ---- Lifecycle -----------------------------------------------------------------------------

bool THstmt::Init() {
    if (Allocated()) {
        return true;
    }
    THdbc* dbc = Hdbc();
    if (!dbc) {
        throw EODBCExpress("Property Hdbc of " + Name() + " not set.");
    }
    dbc->Connect();
    if (!dbc->Connected()) {
        return false;
    }
    SQLHSTMT h = SQL_NULL_HSTMT;
    // A failed allocation leaves its diagnostics on the connection.
    if (!Checked(SQLAllocHandle(SQL_HANDLE_STMT, dbc->Handle(), &h), dbc)) {
        return false;
    }
    hstmt_ = h;
    SetAllocated(true);
    dbc->Children().Add(this);
    ApplyConcurrency();
    ApplyCursorType();
    ApplyRowSetSize();
    if (!Allocated()) {
        return false; // a lost link was torn down meanwhile
    }
    DoAfterInit();
    if (cursorCaps_ & SQL_CA1_BOOKMARK) {
        SQLRETURN rc = SQLSetStmtAttr(hstmt_, SQL_ATTR_USE_BOOKMARKS, UlenAttr(SQL_UB_VARIABLE), 0);
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
    // A handle the driver will not free stays allocated and listed with its connection,
    // so that the connection's teardown tries again.
    if (!Checked(SQLFreeHandle(SQL_HANDLE_STMT, hstmt_))) {
        if (hdbc_) {
            hdbc_->Children().Add(this);
        }
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
    paramNamesOf_.reset();
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
    if (hstmt_ == SQL_NULL_HSTMT) {
        return;
    }
    // Cancelled first: a statement waiting for data refuses the switch to synchronous mode.
    if (needData_) {
        SQLCancel(hstmt_);
        needData_ = false;
    }
    if (asyncOn_) {
        SQLSetStmtAttr(hstmt_, SQL_ATTR_ASYNC_ENABLE, UlenAttr(SQL_ASYNC_ENABLE_OFF), 0);
        asyncOn_ = false;
    }
}

void THstmt::CloseCursor() {
    SQLHSTMT h = Handle();
    if (h != SQL_NULL_HSTMT) {
        (void)Checked(SQLFreeStmt(h, SQL_CLOSE));
    }
}

void THstmt::Close() {
    CloseCursor();
    if (!Allocated()) {
        return; // not allocated after all, or torn down by a lost link meanwhile
    }
    SQLRETURN rc = SQLFreeStmt(hstmt_, SQL_RESET_PARAMS);
    params_.clear();
    paramNames_.clear();
    paramNamesOf_.reset();
    paramSetSize_ = 1;
    if (!Checked(rc)) {
        return;
    }
    FreeColumns();
    if (!Checked(SQLFreeStmt(hstmt_, SQL_UNBIND))) {
        return;
    }
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
    rowStatus_.clear();
    rowFlags_.clear();
    bookmarks_.clear();
    bookmarkIndicators_.clear();
    columnsBound_ = false;
    hasLongColumns_ = false;
    readOnlyAsked_ = false;
    pendingWrite_.Reset(0);
}

void THstmt::Notification(TComponent* component, TOperation operation) {
    THbase::Notification(component, operation);
    THdbc* next = FollowConnection(this, hdbc_, component, operation);
    if (next == hdbc_) {
        return;
    }
    if (!next && component->IsDestroying()) {
        // The connection's own teardown has released this statement; what is left of
        // the connection must not be touched.
        ForgetConnection();
    }
    SetHdbc(next);
}

void THstmt::ForgetConnection() noexcept {
    for (auto& wb : writeBack_) {
        if (wb) {
            wb->ForgetConnection();
        }
    }
    // A handle still held went with its connection's.
    hstmt_ = SQL_NULL_HSTMT;
    ReleaseHandle();
    WatchConnection(this, hdbc_, nullptr);
    hdbc_ = nullptr;
}

// ---- Properties ----------------------------------------------------------------------------

THdbc* THstmt::Hdbc() const {
    if (!hdbc_ && Owner()) {
        Owner()->AnnounceComponents();
    }
    return hdbc_;
}

void THstmt::SetHdbc(THdbc* hdbc) {
    Terminate();
    if (hdbc_ && hdbc != hdbc_ && Allocated()) {
        // A handle the driver would not free belongs to the old connection: given up.
        hdbc_->Children().Remove(this);
        ReleaseHandle();
    }
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
    switch (cursorType_) {
    case SQL_CURSOR_FORWARD_ONLY:
    case SQL_CURSOR_KEYSET_DRIVEN:
    case SQL_CURSOR_DYNAMIC:
    case SQL_CURSOR_STATIC:
        cursorCaps_ = hdbc_ ? hdbc_->Quirks().CursorAttributes(cursorType_) : 0;
        break;
    default:
        break; // an unknown type keeps what was known
    }
}

SQLULEN THstmt::MaxRows() {
    SQLULEN value = 0;
    return Checked(SQLGetStmtAttr(Handle(), SQL_ATTR_MAX_ROWS, &value, 0, nullptr)) ? value : 0;
}

void THstmt::SetMaxRows(SQLULEN value) {
    (void)Checked(SQLSetStmtAttr(Handle(), SQL_ATTR_MAX_ROWS, UlenAttr(value), 0));
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
    if (!Allocated()) {
        return;
    }
    DoBeforePrepare();
    std::string text = ParseSqlParams(sql_, paramNames_);
    if (!Checked(SQLPrepare(hstmt_, Chars(text), SQL_NTS))) {
        return;
    }
    DoAfterPrepare();
    prepared_ = true;
}

void THstmt::EnableAsync() noexcept {
    if (execAsync_) {
        // A driver that refuses asynchronous mode simply runs the calls synchronously.
        asyncOn_ = SQL_SUCCEEDED(
            SQLSetStmtAttr(hstmt_, SQL_ATTR_ASYNC_ENABLE, UlenAttr(SQL_ASYNC_ENABLE_ON), 0));
    }
}

bool THstmt::DisableAsync() {
    if (!asyncOn_) {
        return true;
    }
    asyncOn_ = false;
    return Checked(
        SQLSetStmtAttr(hstmt_, SQL_ATTR_ASYNC_ENABLE, UlenAttr(SQL_ASYNC_ENABLE_OFF), 0));
}

SQLRETURN THstmt::Poll(const std::function<SQLRETURN()>& call) {
    SQLRETURN rc = call();
    while (rc == SQL_STILL_EXECUTING) {
        ProcessPendingMessages();
        rc = call();
    }
    return rc;
}

void THstmt::Execute() {
    if (!Init()) {
        return;
    }
    DoBeforeExecute();
    SQLRETURN rc = SQLSetStmtAttr(hstmt_, SQL_ATTR_PARAMSET_SIZE, UlenAttr(paramSetSize_), 0);
    if (paramSetSize_ > 1 && !Checked(rc)) {
        return;
    }
    executed_ = false;
    // A cursor left open by an earlier execution would make the driver refuse this one.
    CloseCursor();
    if (!Allocated()) {
        return;
    }
    EnableAsync();
    if (prepared_) {
        CountStatement(TStatementKind::Execute);
        rc = Poll([this] { return SQLExecute(hstmt_); });
    } else {
        CountStatement(TStatementKind::ExecDirect);
        std::string text = ParseSqlParams(sql_, paramNames_);
        rc = Poll([this, &text] { return SQLExecDirect(hstmt_, Chars(text), SQL_NTS); });
    }
    // Asynchronous mode cannot be switched off while the statement waits for its data:
    // the data goes first, polled like the execution.
    if (rc == SQL_NEED_DATA && !SendLongData(rc)) {
        return;
    }
    if (rc != SQL_NO_DATA && !Checked(rc)) {
        return;
    }
    if (!DisableAsync()) {
        return;
    }
    if (rc != SQL_NO_DATA) {
        DoAfterExecute();
    }
    rowsFetched_ = 0;
    SQLSetStmtAttr(hstmt_, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0);
    executed_ = true;
}

void THstmt::ExecuteCatalog(const std::function<SQLRETURN(SQLHSTMT)>& call) {
    if (!Init()) {
        return;
    }
    executed_ = false;
    if (!Checked(call(hstmt_))) {
        return;
    }
    rowsFetched_ = 0;
    SQLSetStmtAttr(hstmt_, SQL_ATTR_ROWS_FETCHED_PTR, &rowsFetched_, 0);
    executed_ = true;
}

bool THstmt::SendLongData(SQLRETURN& rc) {
    return SendDataAtExec(rc, [this](SQLPOINTER token, const unsigned char*& data, SQLLEN& length) {
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

bool THstmt::SendDataAtExec(SQLRETURN& rc, const TDataAtExecLookup& lookup) {
    // Until the exchange ends, a failure must cancel it (BeforeRaise): a statement left
    // waiting for data refuses every other call.
    needData_ = true;
    struct Waiting {
        bool& flag;
        ~Waiting() { flag = false; }
    } waiting{needData_};
    SQLPOINTER token = nullptr;
    rc = Poll([this, &token] { return SQLParamData(hstmt_, &token); });
    while (rc == SQL_NEED_DATA) {
        const unsigned char* data = nullptr;
        SQLLEN length = 0;
        if (!lookup(token, data, length)) {
            BeforeRaise();
            throw EODBCExpress("The driver asked for data of a value that is not bound.");
        }
        auto* bytes = const_cast<unsigned char*>(data);
        auto put = [this, bytes](SQLLEN offset, SQLLEN size) {
            return Poll([=, this] { return SQLPutData(hstmt_, bytes + offset, size); });
        };
        SQLRETURN putRc = length <= 0 ? put(0, length < 0 ? SQL_NULL_DATA : 0) : SQL_SUCCESS;
        for (SQLLEN sent = 0; sent < length && SQL_SUCCEEDED(putRc);) {
            SQLLEN piece = std::min(blobSize_, length - sent);
            putRc = put(sent, piece);
            sent += piece;
        }
        if (!Checked(putRc)) {
            return false;
        }
        rc = Poll([this, &token] { return SQLParamData(hstmt_, &token); });
    }
    return true;
}

SQLLEN THstmt::NumRowsAffected() {
    SQLLEN n = 0;
    return Checked(SQLRowCount(Handle(), &n)) ? n : 0;
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
        if (auto query = CountQuery(sql_)) {
            long n = CountBySelect(*query);
            if (n >= 0) {
                return n;
            }
            if (!hdbc_ || !hdbc_->Connected()) {
                // A lost link that OnError dropped has been torn down, this statement's
                // cursor with it: counting again would only reconnect.
                return -1;
            }
        }
    }
    return CountByTraversal();
}

void THstmt::RebindParamsOn(THstmt& other, const std::vector<size_t>& numbers) const {
    for (size_t i = 0; i < numbers.size(); ++i) {
        const TParamRec* p = FindParam(static_cast<SQLUSMALLINT>(numbers[i]));
        if (!p) {
            continue;
        }
        auto number = static_cast<SQLUSMALLINT>(i + 1);
        other.BindParamMain(number, p->cType, p->arraySize, p->nullable, p->decimalDigits,
                            p->columnSize, p->sqlType, p->value);
        // Same sizes and lengths (a long value's length included); copied in place, since
        // the driver holds the array's address.
        if (TParamRec* copy = other.ParamRecord(number)) {
            std::copy_n(p->indicators.begin(),
                        std::min(p->indicators.size(), copy->indicators.size()),
                        copy->indicators.begin());
        }
    }
}

long THstmt::CountBySelect(const TCountQuery& query) {
    THstmt tmp;
    tmp.SetHdbc(hdbc_);
    try {
        tmp.SetMaxRows(MaxRows());
        tmp.SetSQL(query.text);
        tmp.Prepare();
        RebindParamsOn(tmp, query.params);
        tmp.Execute();
        if (!tmp.Executed()) {
            return -1;
        }
        return tmp.FetchNext() ? tmp.ColAsInteger(1) : 0;
    } catch (const EODBC& e) {
        // A lost link is no reason to count otherwise: its teardown, once the caller has
        // handled it, takes this statement's cursor too.
        if (e.LinkLost()) {
            throw;
        }
    } catch (const Exception&) {
    }
    try {
        tmp.Terminate();
    } catch (const Exception&) {
    }
    return -1;
}

long THstmt::CountByTraversal() {
    THstmt tmp;
    tmp.SetHdbc(hdbc_);
    tmp.SetMaxRows(MaxRows());
    tmp.SetSQL(sql_);
    tmp.Prepare();
    std::vector<size_t> same(ParamNames().size());
    std::iota(same.begin(), same.end(), size_t{1});
    RebindParamsOn(tmp, same);
    tmp.Execute();
    if (!tmp.Executed()) {
        return -1;
    }
    // Nothing is bound: the rows are only counted, never copied. The row limit is kept
    // here too: a driver reading through a server cursor may not apply it.
    const SQLULEN limit = tmp.MaxRows();
    long n = 0;
    SQLRETURN rc;
    while ((limit == 0 || static_cast<SQLULEN>(n) < limit) &&
           (rc = SQLFetch(tmp.hstmt_)) != SQL_NO_DATA) {
        if (!tmp.Checked(rc)) {
            return -1;
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
