#include "odbc/Hdbc.h"

#include "odbc/CallArgs.h"
#include "odbc/ErrorDialog.h"
#include "odbc/StatementCount.h"
#include "toolkit/Text.h"

#include <QApplication>
#include <odbcinst.h>

#include <cctype>
#include <cstdint>

namespace zen {

THdbc::THdbc(TComponent* owner) : THbase(owner), driverTable_(BuildDriverTable()) {}

THdbc::~THdbc() {
    // A destructor cannot report, so the teardown runs quiet: statements, disconnect and
    // handle are released in order even where the driver complains.
    THenv* env = THenv::Existing();
    try {
        if (env) {
            env->TearDownQuietly(this);
        } else {
            Terminate(); // the environment's end already released this connection
        }
    } catch (...) {
    }
    // A handle the driver would not free is lost with this object; the environment must
    // not keep a pointer to it.
    if (env) {
        env->Children().Remove(this);
    }
}

bool THdbc::Init() {
    if (Allocated()) {
        return true;
    }
    THenv& env = THenv::Instance();
    if (poolingPending_) {
        poolingPending_ = false;
        env.SetConnectionPooling(pendingPooling_);
    }
    SQLHDBC h = SQL_NULL_HDBC;
    // A failed allocation leaves its diagnostics on the environment handle.
    if (!Checked(SQLAllocHandle(SQL_HANDLE_DBC, env.Handle(), &h), &env)) {
        return false;
    }
    hdbc_ = h;
    SetAllocated(true);
    env.Children().Add(this);
    ApplyCursorLib();
    DoAfterInit();
    return true;
}

bool THdbc::Terminate() {
    DoBeforeTerminate();
    if (!Allocated()) {
        return true;
    }
    children_.TerminateAll();
    if (connected_) {
        Disconnect();
    }
    // A handle the driver will not free stays allocated and listed, so that a later
    // Terminate can try again.
    if (!Checked(SQLFreeHandle(SQL_HANDLE_DBC, hdbc_))) {
        return false;
    }
    if (THenv* env = THenv::Existing()) {
        env->Children().Remove(this);
    }
    hdbc_ = SQL_NULL_HDBC;
    SetAllocated(false);
    return true;
}

namespace {

// A value the connection string cannot carry as it stands: a ";" would end it and let the
// rest pass for keywords of its own, braces and "=" confuse the parsers, and blanks at its
// ends are dropped.
bool NeedsBraces(const std::string& value) {
    return value.find_first_of(";{}=") != std::string::npos ||
           (!value.empty() && (std::isspace(static_cast<unsigned char>(value.front())) ||
                               std::isspace(static_cast<unsigned char>(value.back()))));
}

// One "KEYWORD=value;" pair, the value braced as ODBC defines it ("}" doubled) when needed.
std::string Pair(const char* keyword, const std::string& value) {
    if (!NeedsBraces(value)) {
        return std::string(keyword) + "=" + value + ";";
    }
    std::string braced = "{";
    for (char c : value) {
        braced += c;
        if (c == '}') {
            braced += '}';
        }
    }
    return std::string(keyword) + "=" + braced + "};";
}

} // namespace

std::string THdbc::ConnectString() const {
    std::string s;
    if (!dataSource_.empty()) {
        s += Pair("DSN", dataSource_);
    }
    if (!userName_.empty()) {
        s += Pair("UID", userName_);
    }
    if (!password_.empty()) {
        s += Pair("PWD", password_);
    }
    if (!driver_.empty()) {
        s += Pair("DRIVER", driver_);
    }
    for (const std::string& a : attributes_) {
        s += a + ";";
    }
    return s;
}

bool THdbc::UsesDriverConnect() const {
    if (infoPrompt_ != SQL_DRIVER_NOPROMPT || !attributes_.empty()) {
        return true;
    }
    if (driver_.empty()) {
        return false;
    }
    // The driver manager takes a data source before DRIVER, so the string would carry only
    // the login. A login that needs braces goes by SQLConnect instead: drivers undo braces
    // in PWD at best (PostgreSQL's keeps them in UID and DSN), and a trace masks the
    // password of SQLConnect whole but PWD= only up to its first ";".
    return dataSource_.empty() ||
           !(NeedsBraces(dataSource_) || NeedsBraces(userName_) || NeedsBraces(password_));
}

// The environment's window if one is set, else the application's active window, else none.
QWidget* THdbc::DialogParent() const {
    if (THenv* env = THenv::Existing(); env && env->Window()) {
        return env->Window();
    }
    if (qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return QApplication::activeWindow();
    }
    return nullptr;
}

void THdbc::Connect() {
    if (!Init() || connected_) {
        return;
    }
    DoBeforeConnect();
    if (!ApplyCursorLib()) {
        return;
    }
    SQLRETURN rc;
    if (UsesDriverConnect()) {
        std::string in = ConnectString();
        SQLCHAR out[256] = {};
        SQLSMALLINT outLength = 0;
        // unixODBC expects its own window record, not a bare window, for driver dialogs.
        ODBCINSTWND parent{};
        parent.hWnd = reinterpret_cast<HWND>(DialogParent());
        SQLHWND window = parent.hWnd ? reinterpret_cast<SQLHWND>(&parent) : nullptr;
        rc = SQLDriverConnect(hdbc_, window, Chars(in), SQL_NTS, out, sizeof out, &outLength,
                              infoPrompt_);
    } else {
        std::string dsn = dataSource_, user = userName_, pwd = password_;
        rc = SQLConnect(hdbc_, Chars(dsn), SQL_NTS, Chars(user), SQL_NTS, Chars(pwd), SQL_NTS);
    }
    if (!Checked(rc)) {
        return;
    }
    // Not left half connected: a connection whose set-up fails is closed again, so that
    // Connected stays false and AfterConnect does not fire.
    connected_ = true;
    bool isolated = false;
    try {
        isolated = ApplyIsolationLevel() && ApplyAutoCommit();
    } catch (...) {
        SQLDisconnect(hdbc_);
        connected_ = false;
        throw;
    }
    if (!isolated) {
        SQLDisconnect(hdbc_);
        connected_ = false;
        return;
    }
    SQLUSMALLINT supported = SQL_FALSE;
    rc = SQLGetFunctions(hdbc_, SQL_API_SQLDESCRIBEPARAM, &supported);
    noDescribeParam_ = !SQL_SUCCEEDED(rc) || supported == SQL_FALSE;
    ReadQuirks();
    DoAfterConnect();
}

void THdbc::Disconnect() {
    if (!connected_) {
        return;
    }
    DoBeforeDisconnect();
    children_.TerminateAll();
    if (!Checked(SQLDisconnect(hdbc_))) {
        return;
    }
    connected_ = false;
    quirks_ = TDriverQuirks{};
    DoAfterDisconnect();
}

void THdbc::SetConnected(bool on) {
    if (IsLoading()) {
        connectWhenLoaded_ = on;
        return;
    }
    if (on) {
        Connect();
    } else {
        Disconnect();
    }
}

void THdbc::Loaded() {
    THbase::Loaded();
    if (!connectWhenLoaded_) {
        return;
    }
    connectWhenLoaded_ = false;
    try {
        Connect();
    } catch (const EODBC& e) {
        ShowODBCErrorDialog("Cannot connect " + Name() + " to database.", e);
    }
}

// Sets a connection attribute only when the driver reports a different value; an
// attribute that cannot be read is left as the driver has it.
bool THdbc::ApplyConnectAttr(SQLINTEGER attribute, SQLUINTEGER value) {
    if (!Allocated()) {
        return true;
    }
    // Read into a full-width buffer: some driver managers write SQLULEN for 32-bit
    // attributes.
    SQLULEN current = 0;
    SQLRETURN rc = SQLGetConnectAttr(hdbc_, attribute, &current, sizeof current, nullptr);
    if (SQL_SUCCEEDED(rc) && current != value) {
        return Checked(SQLSetConnectAttr(hdbc_, attribute, UlenAttr(value), 0));
    }
    return true;
}

bool THdbc::ApplyCursorLib() {
    return ApplyConnectAttr(SQL_ATTR_ODBC_CURSORS, cursorLib_);
}

void THdbc::SetCursorLib(SQLUINTEGER value) {
    if (connected_) {
        Disconnect();
    }
    cursorLib_ = value;
    ApplyCursorLib();
}

bool THdbc::ApplyIsolationLevel() {
    return ApplyConnectAttr(SQL_ATTR_TXN_ISOLATION, isolationLevel_);
}

void THdbc::SetIsolationLevel(SQLUINTEGER level) {
    isolationLevel_ = level;
    ApplyIsolationLevel();
}

bool THdbc::ApplyAutoCommit() {
    return ApplyConnectAttr(SQL_ATTR_AUTOCOMMIT,
                            autoCommit_ ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF);
}

void THdbc::SetAutoCommit(bool on) {
    autoCommit_ = on;
    ApplyAutoCommit();
}

bool THdbc::EndTransaction(SQLSMALLINT completion) {
    if (!connected_) {
        throw EODBCExpress("The connection " + Name() + " is not open.");
    }
    CountStatement(TStatementKind::EndTran);
    return Checked(SQLEndTran(SQL_HANDLE_DBC, hdbc_, completion));
}

bool THdbc::Commit() {
    return EndTransaction(SQL_COMMIT);
}

bool THdbc::Rollback() {
    return EndTransaction(SQL_ROLLBACK);
}

TConnectionPooling THdbc::ConnectionPooling() const {
    if (poolingPending_) {
        return pendingPooling_;
    }
    THenv* env = THenv::Existing();
    return env ? env->ConnectionPooling() : cpDefault;
}

void THdbc::SetConnectionPooling(TConnectionPooling mode) {
    if (IsLoading()) {
        poolingPending_ = true;
        pendingPooling_ = mode;
        return;
    }
    THenv::Instance().SetConnectionPooling(mode);
}

bool THdbc::FunctionSupported(SQLUSMALLINT function) {
    if (function == SQL_API_ALL_FUNCTIONS || function == SQL_API_ODBC3_ALL_FUNCTIONS) {
        throw EODBCExpress("Cannot return information for more than one function at a time.");
    }
    Connect();
    SQLUSMALLINT supported = SQL_FALSE;
    SQLRETURN rc = SQLGetFunctions(hdbc_, function, &supported);
    return SQL_SUCCEEDED(rc) && supported != SQL_FALSE;
}

std::string THdbc::InfoString(SQLUSMALLINT infoType) {
    Connect();
    std::vector<char> buffer(256, 0);
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetInfo(hdbc_, infoType, buffer.data(),
                              static_cast<SQLSMALLINT>(buffer.size()), &length);
    // A longer text is read again whole rather than cut inside a UTF-8 character.
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(buffer.size())) {
        buffer.assign(static_cast<size_t>(length) + 1, 0);
        rc = SQLGetInfo(hdbc_, infoType, buffer.data(), static_cast<SQLSMALLINT>(buffer.size()),
                        &length);
    }
    if (!SQL_SUCCEEDED(rc)) {
        return std::string();
    }
    buffer.back() = '\0';
    return std::string(buffer.data());
}

SQLUINTEGER THdbc::InfoInteger(SQLUSMALLINT infoType) {
    Connect();
    // Room for the widest integer answer (SQLULEN), so that a type answered at full width
    // cannot overrun; the 16- and 32-bit answers land in the low bytes of the zeroed value.
    SQLULEN value = 0;
    SQLRETURN rc = SQLGetInfo(hdbc_, infoType, &value, sizeof value, nullptr);
    return SQL_SUCCEEDED(rc) ? static_cast<SQLUINTEGER>(value) : 0;
}

void THdbc::ReadQuirks() {
    TDriverQuirks q;
    q.dbmsName = InfoString(SQL_DBMS_NAME);
    q.driverName = InfoString(SQL_DRIVER_NAME);
    q.kind = DbmsKindOf(q.dbmsName);
    q.cursorsSurviveCommit = InfoInteger(SQL_CURSOR_COMMIT_BEHAVIOR) == SQL_CB_PRESERVE;
    q.cursorsSurviveRollback = InfoInteger(SQL_CURSOR_ROLLBACK_BEHAVIOR) == SQL_CB_PRESERVE;
    q.needLongDataLen = InfoString(SQL_NEED_LONG_DATA_LEN).starts_with('Y');
    q.getDataExtensions = InfoInteger(SQL_GETDATA_EXTENSIONS);
    q.forwardOnlyCursor = InfoInteger(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1);
    q.keysetCursor = InfoInteger(SQL_KEYSET_CURSOR_ATTRIBUTES1);
    q.dynamicCursor = InfoInteger(SQL_DYNAMIC_CURSOR_ATTRIBUTES1);
    q.staticCursor = InfoInteger(SQL_STATIC_CURSOR_ATTRIBUTES1);
    const TDriverRec* r = FindDriverRec(q.Key());
    q.limits = r ? r : &driverTable_.front();
    quirks_ = std::move(q);
}

const TDriverRec* THdbc::FindDriverRec(const std::string& key) const {
    for (const TDriverRec& r : driverTable_) {
        if (SameName(r.name, key)) {
            return &r;
        }
    }
    return nullptr;
}

const TDriverRec& THdbc::DriverRec() {
    const TDriverRec* r = Quirks().limits;
    return r ? *r : driverTable_.front();
}

void THdbc::DoBeforeConnect() {
    FireEvent(BeforeConnect, this);
}
void THdbc::DoAfterConnect() {
    FireEvent(AfterConnect, this);
}
void THdbc::DoBeforeDisconnect() {
    FireEvent(BeforeDisconnect, this);
}
void THdbc::DoAfterDisconnect() {
    FireEvent(AfterDisconnect, this);
}

} // namespace zen
