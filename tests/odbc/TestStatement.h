#pragma once
// A bare statement component for the connection tests: it allocates a raw statement
// handle on a THdbc, joins the connection's dependents and checks its calls through the
// environment's error object, as every statement does.

#include "odbc/OCL.h"

#include <string>

namespace zen::test {

class TestStatement : public THbase {
public:
    TestStatement(THdbc* dbc, TComponent* owner = nullptr) : THbase(owner), dbc_(dbc) {}
    ~TestStatement() override {
        try {
            Terminate();
        } catch (...) {
        }
    }

    bool Init() override {
        if (Allocated()) {
            return true;
        }
        dbc_->Connect();
        if (!dbc_->Connected()) {
            return false;
        }
        SQLHSTMT h = SQL_NULL_HSTMT;
        SQLRETURN rc = SQLAllocHandle(SQL_HANDLE_STMT, dbc_->Handle(), &h);
        if (!Checked(rc, dbc_)) {
            return false;
        }
        hstmt_ = h;
        SetAllocated(true);
        dbc_->Children().Add(this);
        ++allocations;
        DoAfterInit();
        return true;
    }
    bool Terminate() override {
        DoBeforeTerminate();
        if (!Allocated()) {
            return true;
        }
        dbc_->Children().Remove(this);
        SQLFreeHandle(SQL_HANDLE_STMT, hstmt_);
        hstmt_ = SQL_NULL_HSTMT;
        SetAllocated(false);
        return true;
    }
    SQLSMALLINT HandleType() const noexcept override { return SQL_HANDLE_STMT; }
    SQLHANDLE CurrentHandle() const noexcept override { return hstmt_; }
    THdbc* LinkConnection() noexcept override { return dbc_; }

    SQLHSTMT Handle() {
        Init();
        return hstmt_;
    }
    // Runs a statement; the first column of the first row as text.
    std::string Exec(const std::string& sql) {
        Init();
        SQLFreeStmt(hstmt_, SQL_CLOSE);
        std::string text = sql;
        // A failure that is not raised ends the call, as in every handle component.
        if (!Checked(SQLExecDirect(hstmt_, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS))) {
            return {};
        }
        SQLSMALLINT columns = 0;
        if (!Checked(SQLNumResultCols(hstmt_, &columns))) {
            return {};
        }
        std::string result;
        if (columns > 0) {
            SQLRETURN rc = SQLFetch(hstmt_);
            if (rc != SQL_NO_DATA) {
                char buf[256] = {};
                SQLLEN ind = 0;
                if (!Checked(rc) ||
                    !Checked(SQLGetData(hstmt_, 1, SQL_C_CHAR, buf, sizeof buf, &ind))) {
                    return {};
                }
                if (ind != SQL_NULL_DATA) {
                    result = buf;
                }
            }
        }
        SQLFreeStmt(hstmt_, SQL_CLOSE);
        return result;
    }
    // Checks a return code the way the statement's own calls are checked.
    bool CheckCode(SQLRETURN rc) { return Checked(rc); }

    int allocations = 0;

private:
    THdbc* dbc_;
    SQLHSTMT hstmt_ = SQL_NULL_HSTMT;
};

} // namespace zen::test
