#pragma once
// The process's one ODBC environment: created on first use by any handle component,
// released after its connections when the program ends.

#include "odbc/Hbase.h"
#include "odbc/OCLError.h"

#include <string>
#include <vector>

class QWidget;

namespace zen {

enum TConnectionPooling { cpDefault, cpOff, cpOnePerDriver, cpOnePerEnv };

class THenv : public THbase {
public:
    // The environment, created (and initialised) on first use.
    static THenv& Instance();
    // The environment if it exists and has not been destroyed yet, else nullptr.
    static THenv* Existing() noexcept;

    ~THenv() override;
    const char* ClassName() const noexcept override { return "THenv"; }

    bool Init() override;
    // Terminates every connection; the environment handle stays allocated.
    bool Terminate() override;
    // Terminate, then free the environment handle.
    void Release();

    SQLHENV Handle() {
        Init();
        return henv_;
    }
    SQLSMALLINT HandleType() const noexcept override { return SQL_HANDLE_ENV; }
    SQLHANDLE CurrentHandle() const noexcept override { return henv_; }

    TODBCError& Error() noexcept { return error_; }
    TChildren& Children() noexcept { return children_; }

    // The names of the data sources the driver manager knows, user and system ones, in its
    // order (SQLDataSources).
    std::vector<std::string> DataSources();

    TConnectionPooling ConnectionPooling() const noexcept { return pooling_; }
    // A changed mode releases the environment (every connection and statement with it)
    // and initialises it again.
    void SetConnectionPooling(TConnectionPooling mode);

    // Parent of driver dialogs; nothing in the program sets it.
    QWidget* Window() const noexcept { return window_; }
    void SetWindow(QWidget* window) noexcept { window_ = window; }

    // Set while a connection is torn down after a lost link: no error is raised meanwhile.
    bool Quiet() const noexcept { return quiet_; }

    // Tears down connections quietly (every connection when `dbc` is nullptr).
    void TearDownQuietly(THdbc* dbc);

private:
    THenv();
    void ApplyPooling();

    SQLHENV henv_ = SQL_NULL_HENV;
    TODBCError error_;
    TChildren children_;
    QWidget* window_ = nullptr;
    TConnectionPooling pooling_ = cpDefault;
    bool quiet_ = false;
};

} // namespace zen
