#pragma once
// An ODBC connection: its properties, connecting and disconnecting, the statements that
// depend on it, and the driver information and limits that statements ask for.

#include "odbc/DriverQuirks.h"
#include "odbc/DriverRec.h"
#include "odbc/Hbase.h"
#include "odbc/Henv.h"

#include <string>
#include <vector>

namespace zen {

class THdbc : public THbase {
public:
    explicit THdbc(TComponent* owner = nullptr);
    ~THdbc() override;
    const char* ClassName() const noexcept override { return "THdbc"; }

    bool Init() override;
    // Terminates the statements, disconnects and frees the connection handle.
    bool Terminate() override;
    SQLSMALLINT HandleType() const noexcept override { return SQL_HANDLE_DBC; }
    SQLHANDLE CurrentHandle() const noexcept override { return hdbc_; }
    THdbc* LinkConnection() noexcept override { return this; }

    void Connect();
    // Terminates every statement, then disconnects; the handle stays allocated.
    void Disconnect();

    // Init, then the connection handle (statements allocate theirs on it).
    SQLHDBC Handle() {
        Init();
        return hdbc_;
    }
    // The allocated statements; a statement adds itself after allocating its handle and
    // removes itself when it terminates.
    TChildren& Children() noexcept { return children_; }

    // Properties.
    bool Connected() const noexcept { return connected_; }
    // While loading only remembered (connects at the end of loading); otherwise true
    // connects and false disconnects.
    void SetConnected(bool on);
    const std::string& Driver() const noexcept { return driver_; }
    void SetDriver(const std::string& v) { driver_ = v; }
    const std::string& DataSource() const noexcept { return dataSource_; }
    void SetDataSource(const std::string& v) { dataSource_ = v; }
    const std::string& UserName() const noexcept { return userName_; }
    void SetUserName(const std::string& v) { userName_ = v; }
    const std::string& Password() const noexcept { return password_; }
    void SetPassword(const std::string& v) { password_ = v; }
    // Extra connection-string pairs, "KEYWORD=value" each.
    const std::vector<std::string>& Attributes() const noexcept { return attributes_; }
    void SetAttributes(const std::vector<std::string>& v) { attributes_ = v; }
    SQLUINTEGER IsolationLevel() const noexcept { return isolationLevel_; }
    void SetIsolationLevel(SQLUINTEGER level);
    // Autocommit, on by default. Off, every statement joins the connection's current
    // transaction until Commit or Rollback ends it; the setting outlives a reconnect.
    bool AutoCommit() const noexcept { return autoCommit_; }
    void SetAutoCommit(bool on);
    // End the current transaction of the connection (SQLEndTran); false when it failed and
    // OnError dropped the failure.
    bool Commit();
    bool Rollback();
    SQLUSMALLINT InfoPrompt() const noexcept { return infoPrompt_; }
    void SetInfoPrompt(SQLUSMALLINT v) noexcept { infoPrompt_ = v; }
    SQLUINTEGER CursorLib() const noexcept { return cursorLib_; }
    // Disconnects first when connected.
    void SetCursorLib(SQLUINTEGER value);
    TConnectionPooling ConnectionPooling() const;
    void SetConnectionPooling(TConnectionPooling mode);
    std::string Version() const { return "5.05"; }
    void SetVersion(const std::string&) noexcept {}
    bool NoDescribeParam() const noexcept { return noDescribeParam_; }

    // The connection string for SQLDriverConnect: DSN, UID, PWD and DRIVER as given, each
    // value braced ("}" doubled) when it holds ";", "{", "}", "=" or blanks at its ends;
    // then the Attributes lines as they stand.
    std::string ConnectString() const;
    // Whether Connect uses SQLDriverConnect (prompting, a driver or extra pairs) rather
    // than SQLConnect. A driver beside a data source leaves a login that needs braces to
    // SQLConnect.
    bool UsesDriverConnect() const;

    // Connects, then asks the driver. Failures give false, "" or 0.
    bool FunctionSupported(SQLUSMALLINT function);
    std::string InfoString(SQLUSMALLINT infoType);
    SQLUINTEGER InfoInteger(SQLUSMALLINT infoType);
    // What is known of the driver, read once at connect (connects first; a connection
    // that failed quietly gives an empty record).
    const TDriverQuirks& Quirks() {
        Connect();
        return quirks_;
    }
    // DBMS name, ";", driver file name.
    std::string DriverKey() { return Quirks().Key(); }
    // The record whose name equals the key (case-insensitively), or nullptr.
    const TDriverRec* FindDriverRec(const std::string& key) const;
    // The record of this connection's driver, "Default" when the driver is not listed.
    const TDriverRec& DriverRec();
    const std::vector<TDriverRec>& DriverTable() const noexcept { return driverTable_; }

    // Events.
    TNotifyEvent BeforeConnect;
    TNotifyEvent AfterConnect;
    TNotifyEvent BeforeDisconnect;
    TNotifyEvent AfterDisconnect;

protected:
    virtual void DoBeforeConnect();
    virtual void DoAfterConnect();
    virtual void DoBeforeDisconnect();
    virtual void DoAfterDisconnect();
    void Loaded() override;

private:
    QWidget* DialogParent() const;
    // False when setting the attribute failed (and the failure was not raised).
    bool ApplyConnectAttr(SQLINTEGER attribute, SQLUINTEGER value);
    bool ApplyCursorLib();
    bool ApplyIsolationLevel();
    bool ApplyAutoCommit();
    bool EndTransaction(SQLSMALLINT completion);
    void ReadQuirks();

    SQLHDBC hdbc_ = SQL_NULL_HDBC;
    TChildren children_;
    bool poolingPending_ = false;
    TConnectionPooling pendingPooling_ = cpDefault;
    bool connected_ = false;
    bool connectWhenLoaded_ = false;
    std::string driver_;
    std::string dataSource_;
    std::string userName_;
    std::string password_;
    std::vector<std::string> attributes_;
    SQLUINTEGER isolationLevel_ = SQL_TXN_READ_COMMITTED;
    bool autoCommit_ = true;
    SQLUSMALLINT infoPrompt_ = SQL_DRIVER_NOPROMPT;
    SQLUINTEGER cursorLib_ = SQL_CUR_USE_DRIVER;
    bool noDescribeParam_ = false;
    std::vector<TDriverRec> driverTable_;
    TDriverQuirks quirks_;
};

} // namespace zen
