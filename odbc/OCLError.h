#pragma once
// Diagnostics of the ODBC layer: the exception classes, the diagnostic records an EODBC
// carries, and the error object that checks every ODBC return code in one place.

#include "odbc/Hbase.h"
#include "toolkit/Exceptions.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zen {

// Raised by the ODBC layer's own checks, with a plain English message.
ZEN_EXCEPTION_CLASS(EODBCExpress, EDatabaseError);

// One diagnostic record.
struct TErrorRec {
    std::string sqlState; // five characters, or empty for the layer's own records
    SQLINTEGER nativeError = 0;
    std::string message;
};

struct TLinkWatch;

// Whether an SQLSTATE reports a lost link.
bool LinkLossState(const std::string& sqlState) noexcept;

// A failing ODBC call. Its message is the first record's text; the record list is never
// empty. When the records report a lost link (LinkLossState), the affected
// connection is torn down once the last copy of the exception is gone, that is after the
// handler that caught it has finished, so that the next use reconnects.
class EODBC : public EODBCExpress {
public:
    // `linkDead`: the driver reports the connection dead whatever the records say.
    EODBC(THbase* source, SQLRETURN retCode, std::vector<TErrorRec> records, bool linkDead = false);
    const char* ClassName() const noexcept override { return "EODBC"; }

    // The handle component that failed; nullptr once that component has been destroyed.
    THbase* Source() const noexcept;
    SQLRETURN RetCode() const noexcept { return retCode_; }
    const std::vector<TErrorRec>& Records() const noexcept { return records_; }
    bool LinkLost() const noexcept { return watch_ != nullptr; }

    // Record navigation; Next and Prev answer false (and stay) at the ends.
    int RecordIndex() const noexcept { return index_; }
    int RecordCount() const noexcept { return static_cast<int>(records_.size()); }
    void First() noexcept { index_ = 0; }
    bool Next() noexcept;
    bool Prev() noexcept;
    const std::string& SqlState() const noexcept { return records_[index_].sqlState; }
    SQLINTEGER NativeError() const noexcept { return records_[index_].nativeError; }
    const std::string& ErrorMsg() const noexcept { return records_[index_].message; }

private:
    std::shared_ptr<TLiveRef> source_;
    SQLRETURN retCode_;
    std::vector<TErrorRec> records_;
    int index_ = 0;
    // Shared by all copies; the last copy's destruction handles the link loss.
    std::shared_ptr<TLinkWatch> watch_;
};

// The environment's one error object.
class TODBCError {
public:
    // true raises the exception, false drops it.
    using TErrorEvent = std::function<bool(THbase* source, const EODBC& e)>;
    using TLinkLostEvent = std::function<void(THbase* source)>;

    // SQL_SUCCESS, and SQL_SUCCESS_WITH_INFO unless InfoAsError.
    bool Success(SQLRETURN rc) const noexcept;
    // Raises EODBC for `source` when `rc` fails the success test.
    void Check(THbase* source, SQLRETURN rc) {
        if (!Success(rc)) {
            Raise(source, rc);
        }
    }
    // Builds the EODBC for a failing code and raises it (unless the environment is quiet
    // or OnError drops it).
    void Raise(THbase* source, SQLRETURN rc);
    // The diagnostic records of one handle for a return code.
    std::vector<TErrorRec> GatherRecords(SQLSMALLINT handleType, SQLHANDLE handle,
                                         SQLRETURN rc) const;

    bool InfoAsError = false;
    bool ResetOnLinkLoss = true;
    TErrorEvent OnError;
    TLinkLostEvent OnLinkLost;

    SQLSMALLINT LastHandleType() const noexcept { return handleType_; }
    SQLHANDLE LastHandle() const noexcept { return handle_; }

private:
    SQLSMALLINT handleType_ = SQL_HANDLE_ENV;
    SQLHANDLE handle_ = SQL_NULL_HANDLE;
};

} // namespace zen
