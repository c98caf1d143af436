#include "odbc/Henv.h"

#include "odbc/CallArgs.h"
#include "odbc/Hdbc.h"

#include <memory>

namespace zen {

namespace {
// The environment lives from first use to the end of the program. A plain pointer rather
// than a function-local object so that Existing() can tell "gone" from "not yet".
THenv* g_env = nullptr;
bool g_envGone = false;

struct EnvKeeper {
    std::unique_ptr<THenv> env;
    ~EnvKeeper() {
        env.reset();
        g_envGone = true;
    }
};
} // namespace

THenv& THenv::Instance() {
    static EnvKeeper keeper;
    if (!g_env) {
        if (g_envGone) {
            throw EODBCExpress("The ODBC environment is used after the end of the program.");
        }
        keeper.env.reset(new THenv());
        g_env = keeper.env.get();
        // Allocated after g_env is set: a failing allocation reports through the
        // environment's own error object. The next use tries again.
        g_env->Init();
    }
    return *g_env;
}

THenv* THenv::Existing() noexcept {
    return g_env;
}

THenv::THenv() : THbase(nullptr) {
    SetName("ODBCEnvironment");
}

THenv::~THenv() {
    try {
        Release();
    } catch (...) {
        // The program is ending; nothing more can be done with a failing release.
    }
    if (g_env == this) {
        g_env = nullptr;
    }
}

void THenv::ApplyPooling() {
    if (pooling_ == cpDefault) {
        return;
    }
    SQLUINTEGER wanted = pooling_ == cpOff            ? SQL_CP_OFF
                         : pooling_ == cpOnePerDriver ? SQL_CP_ONE_PER_DRIVER
                                                      : SQL_CP_ONE_PER_HENV;
    SQLULEN current = 0; // full width, as for the connection attributes
    SQLRETURN rc = SQLGetEnvAttr(SQL_NULL_HENV, SQL_ATTR_CONNECTION_POOLING, &current,
                                 sizeof current, nullptr);
    if (SQL_SUCCEEDED(rc) && current != wanted) {
        // A refusal that is not raised leaves the driver manager's mode as it was.
        (void)Checked(
            SQLSetEnvAttr(SQL_NULL_HENV, SQL_ATTR_CONNECTION_POOLING, UlenAttr(wanted), 0));
    }
}

bool THenv::Init() {
    if (Allocated()) {
        return true;
    }
    ApplyPooling();
    SQLHENV h = SQL_NULL_HENV;
    if (!Checked(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &h))) {
        return false;
    }
    henv_ = h;
    // Not left half set up: without its version the environment goes again, whether the
    // failure raises or not.
    struct FreeUnlessKept {
        SQLHENV& handle;
        bool keep = false;
        ~FreeUnlessKept() {
            if (!keep) {
                SQLFreeHandle(SQL_HANDLE_ENV, handle);
                handle = SQL_NULL_HENV;
            }
        }
    } guard{henv_};
    if (!Checked(SQLSetEnvAttr(henv_, SQL_ATTR_ODBC_VERSION, UlenAttr(SQL_OV_ODBC3), 0))) {
        return false;
    }
    guard.keep = true;
    SetAllocated(true);
    DoAfterInit();
    return true;
}

bool THenv::Terminate() {
    DoBeforeTerminate();
    children_.TerminateAll();
    return true;
}

void THenv::Release() {
    if (!Allocated()) {
        return;
    }
    Terminate();
    if (!Checked(SQLFreeHandle(SQL_HANDLE_ENV, henv_))) {
        return;
    }
    henv_ = SQL_NULL_HENV;
    SetAllocated(false);
}

std::vector<std::string> THenv::DataSources() {
    std::vector<std::string> names;
    SQLHENV h = Handle();
    // Wide enough for names past the driver manager's limit, which it lists all the same.
    std::vector<SQLCHAR> name(1024), description(1024);
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
        SQLSMALLINT nameLength = 0, descriptionLength = 0;
        SQLRETURN rc = SQLDataSources(
            h, direction, name.data(), static_cast<SQLSMALLINT>(name.size()), &nameLength,
            description.data(), static_cast<SQLSMALLINT>(description.size()), &descriptionLength);
        if (rc == SQL_NO_DATA || !Checked(rc)) {
            break;
        }
        names.emplace_back(reinterpret_cast<const char*>(name.data()));
    }
    return names;
}

void THenv::SetConnectionPooling(TConnectionPooling mode) {
    if (mode == pooling_) {
        return;
    }
    Release();
    pooling_ = mode;
    Init();
}

void THenv::TearDownQuietly(THdbc* dbc) {
    struct QuietScope {
        bool& flag;
        bool previous;
        explicit QuietScope(bool& f) : flag(f), previous(f) { flag = true; }
        ~QuietScope() { flag = previous; }
    } scope(quiet_);
    if (dbc) {
        dbc->Terminate();
    } else {
        children_.TerminateAll();
    }
}

} // namespace zen
