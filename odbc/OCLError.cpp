#include "odbc/OCLError.h"

#include "odbc/Hdbc.h"
#include "odbc/Henv.h"

#include <algorithm>

namespace zen {

// Handles a lost link when the last copy of its exception goes away.
// An exception that OnError drops goes when Raise returns: the call that failed then
// sees its check fail and stops, so the teardown cannot pull anything from under it.
struct TLinkWatch {
    std::shared_ptr<TLiveRef> source;
    ~TLinkWatch();
};

TLinkWatch::~TLinkWatch() {
    THenv* env = THenv::Existing();
    if (!env) {
        return;
    }
    try {
        THbase* src = source ? source->component : nullptr;
        TODBCError& error = env->Error();
        if (error.ResetOnLinkLoss) {
            // A source that is gone or going, or the environment itself, takes every
            // connection down with it.
            bool everyConnection = !src || src->IsDestroying() || src == env;
            THdbc* dbc = everyConnection ? nullptr : src->LinkConnection();
            if (everyConnection || dbc) {
                env->TearDownQuietly(dbc);
            }
        }
        if (error.OnLinkLost) {
            error.OnLinkLost(src);
        }
    } catch (...) {
        // Runs from a destructor: nothing may escape.
    }
}

// Class "08" is a connection exception. PostgreSQL reports a session that the server
// ended (administrator or crash shutdown) as 57P01 or 57P02 instead: the link is just as
// gone, and treating it so spares the operator a second failure before the reconnect.
bool LinkLossState(const std::string& sqlState) noexcept {
    return sqlState.compare(0, 2, "08") == 0 || sqlState == "57P01" || sqlState == "57P02";
}

EODBC::EODBC(THbase* source, SQLRETURN retCode, std::vector<TErrorRec> records, bool linkDead)
    : EODBCExpress(std::string()), retCode_(retCode), records_(std::move(records)) {
    if (source) {
        source_ = source->LiveRef();
    }
    if (records_.empty()) {
        records_.push_back({"", 0, "Unable to Retrieve ODBC Error"});
    }
    SetMessage(records_.front().message);
    bool lost = linkDead || std::any_of(records_.begin(), records_.end(), [](const TErrorRec& r) {
                    return LinkLossState(r.sqlState);
                });
    if (lost) {
        watch_ = std::make_shared<TLinkWatch>();
        watch_->source = source_ ? source_ : std::make_shared<TLiveRef>();
    }
}

namespace {

// Some failures on a link the server has closed come with a general SQLSTATE (psqlODBC
// gives HY000 when a prepare finds the session gone); the driver still knows the
// connection is dead.
bool ConnectionDead(THbase* source) noexcept {
    THdbc* dbc = source ? source->LinkConnection() : nullptr;
    if (!dbc || !dbc->Allocated() || !dbc->Connected()) {
        return false;
    }
    SQLUINTEGER dead = SQL_CD_FALSE;
    SQLRETURN rc = SQLGetConnectAttr(dbc->CurrentHandle(), SQL_ATTR_CONNECTION_DEAD, &dead,
                                     sizeof dead, nullptr);
    return SQL_SUCCEEDED(rc) && dead == SQL_CD_TRUE;
}

} // namespace

THbase* EODBC::Source() const noexcept {
    return source_ ? source_->component : nullptr;
}

bool EODBC::Next() noexcept {
    if (index_ + 1 >= RecordCount()) {
        return false;
    }
    ++index_;
    return true;
}

bool EODBC::Prev() noexcept {
    if (index_ <= 0) {
        return false;
    }
    --index_;
    return true;
}

bool TODBCError::Success(SQLRETURN rc) const noexcept {
    return rc == SQL_SUCCESS || (rc == SQL_SUCCESS_WITH_INFO && !InfoAsError);
}

std::vector<TErrorRec> TODBCError::GatherRecords(SQLSMALLINT handleType, SQLHANDLE handle,
                                                 SQLRETURN rc) const {
    std::vector<TErrorRec> records;
    if (rc != SQL_ERROR && rc != SQL_SUCCESS_WITH_INFO) {
        std::string text;
        if (rc == SQL_INVALID_HANDLE) {
            text = "Invalid ODBC Handle";
        } else if (rc == SQL_NO_DATA) {
            text = "No Data Found";
        } else {
            text = "ODBC Return Code " + std::to_string(rc);
        }
        records.push_back({"", 0, text});
        return records;
    }
    // A bound on the record count guards against a driver that never says SQL_NO_DATA.
    constexpr SQLSMALLINT maxRecords = 1000;
    SQLRETURN last = SQL_NO_DATA;
    for (SQLSMALLINT number = 1; number <= maxRecords; ++number) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        std::vector<SQLCHAR> text(256);
        SQLSMALLINT length = 0;
        last = SQLGetDiagRec(handleType, handle, number, state, &native, text.data(),
                             static_cast<SQLSMALLINT>(text.size()), &length);
        // A message longer than the buffer is read again whole rather than cut, which
        // could split a UTF-8 character.
        if (last == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
            text.assign(static_cast<size_t>(length) + 1, 0);
            last = SQLGetDiagRec(handleType, handle, number, state, &native, text.data(),
                                 static_cast<SQLSMALLINT>(text.size()), &length);
        }
        if (!SQL_SUCCEEDED(last)) {
            break;
        }
        size_t n = std::min(static_cast<size_t>(length < 0 ? 0 : length), text.size() - 1);
        records.push_back({std::string(reinterpret_cast<char*>(state)), native,
                           std::string(reinterpret_cast<char*>(text.data()), n)});
    }
    if (records.empty() || last != SQL_NO_DATA) {
        records.push_back({"", 0, "Unable to Retrieve ODBC Error"});
    }
    return records;
}

void TODBCError::Raise(THbase* source, SQLRETURN rc) {
    THenv* env = THenv::Existing();
    if (env && env->Quiet()) {
        return;
    }
    handleType_ = source ? source->HandleType() : SQL_HANDLE_ENV;
    handle_ = source ? source->CurrentHandle() : SQL_NULL_HANDLE;
    std::vector<TErrorRec> records = GatherRecords(handleType_, handle_, rc);
    bool linkDead = rc == SQL_ERROR &&
                    std::none_of(records.begin(), records.end(),
                                 [](const TErrorRec& r) { return LinkLossState(r.sqlState); }) &&
                    ConnectionDead(source);
    EODBC e(source, rc, std::move(records), linkDead);
    if (source) {
        source->BeforeRaise();
    }
    if (OnError && !OnError(source, e)) {
        return;
    }
    throw e;
}

} // namespace zen
