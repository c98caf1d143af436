#include "support/OdbcTestEnv.h"

#include <sql.h>
#include <sqlext.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <pwd.h>
#include <sstream>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace zen::test {

namespace {

OdbcTestEnv* g_env = nullptr;

const char* kSqliteDsn = "ZenSqlite";
const char* kPgDsn = "ZenPostgres";
const char* kPgBin = "/usr/lib/postgresql/15/bin";
const char* kPgUser = "zendrato";
const char* kPgPassword = "Geslo-42";
const char* kPgAdminPassword = "Admin-42";
const char* kPgDatabase = "tevrin";
// A cluster of small WAL segments, which is quick to copy.
const char* kInitdbOptions = "--auth=scram-sha-256 -E UTF8 --no-locale --no-sync --wal-segsize=1";

// The first existing driver library among the multiarch library directories.
std::string FindDriver(const std::string& file) {
    for (const char* dir : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc",
                            "/usr/lib/odbc", "/usr/lib64", "/usr/lib"}) {
        fs::path p = fs::path(dir) / file;
        if (fs::exists(p)) {
            return p.string();
        }
    }
    return file;
}

int FreePort() {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    if (s < 0) {
        return 0;
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
        port = ntohs(a.sin_port);
    }
    close(s);
    return port;
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs a shell command; the server runs as an unprivileged user when we are root, since
// PostgreSQL refuses to run as root.
int Run(const std::string& command, const std::string& asUser) {
    std::string full = asUser.empty() ? command : "runuser -u " + asUser + " -- " + command;
    return std::system(full.c_str());
}

// A cluster as initdb leaves it, kept once per user and server version in the temporary
// directory: initdb costs seconds of processor time and most test processes start a server
// of their own, so the first one to make a cluster leaves a copy and the rest copy that.
fs::path TemplateDir() {
    return fs::temp_directory_path() /
           ("zendrato-pg-template-" + std::to_string(geteuid()) + "-" +
            std::to_string(std::hash<std::string>{}(std::string(kPgBin) + kInitdbOptions)));
}

// The kept cluster; empty while there is none, or when what is there is not ours alone.
fs::path ClusterTemplate() {
    const fs::path dir = TemplateDir();
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != geteuid() ||
        (st.st_mode & (S_IWGRP | S_IWOTH)) != 0 || !fs::exists(dir / "data" / "PG_VERSION")) {
        return {};
    }
    return dir / "data";
}

// Leaves a copy of `data`, a cluster initdb has just made and no server has used, as the
// template; two processes at it at once leave one.
void KeepClusterTemplate(const fs::path& data) {
    const fs::path wanted = TemplateDir();
    std::string made = wanted.string() + ".XXXXXX";
    if (!mkdtemp(made.data())) {
        return;
    }
    if (Run("cp -a " + data.string() + " " + made + "/data", "") != 0 ||
        rename(made.c_str(), wanted.c_str()) != 0) {
        fs::remove_all(made);
    }
}

// A raw ODBC connection of the test environment's own.
class RawConnection {
public:
    explicit RawConnection(const DsnInfo& d) {
        SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
        SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
        SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
        std::string cs = "DSN=" + d.dsn + ";";
        if (!d.user.empty()) {
            cs += "UID=" + d.user + ";PWD=" + d.password + ";";
        }
        SQLRETURN rc = SQLDriverConnect(dbc_, nullptr, reinterpret_cast<SQLCHAR*>(cs.data()),
                                        SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
        if (!SQL_SUCCEEDED(rc)) {
            std::string msg = Diag(SQL_HANDLE_DBC, dbc_);
            Free();
            throw std::runtime_error("connect " + d.dsn + ": " + msg);
        }
        connected_ = true;
    }
    ~RawConnection() { Free(); }
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

    // Runs one statement; the first column of the first row as text, if it has one.
    std::string Exec(const std::string& sql) {
        SQLHSTMT st = SQL_NULL_HSTMT;
        SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &st);
        std::string text = sql;
        SQLRETURN rc = SQLExecDirect(st, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
        std::string result;
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) {
            std::string msg = Diag(SQL_HANDLE_STMT, st);
            SQLFreeHandle(SQL_HANDLE_STMT, st);
            throw std::runtime_error(sql + ": " + msg);
        }
        SQLSMALLINT columns = 0;
        SQLNumResultCols(st, &columns);
        if (columns > 0 && SQL_SUCCEEDED(SQLFetch(st))) {
            char buf[1024] = {};
            SQLLEN ind = 0;
            if (SQL_SUCCEEDED(SQLGetData(st, 1, SQL_C_CHAR, buf, sizeof buf, &ind)) &&
                ind != SQL_NULL_DATA) {
                result = buf;
            }
        }
        SQLFreeHandle(SQL_HANDLE_STMT, st);
        return result;
    }

private:
    static std::string Diag(SQLSMALLINT type, SQLHANDLE h) {
        SQLCHAR state[6] = {}, msg[512] = {};
        SQLINTEGER native = 0;
        SQLSMALLINT len = 0;
        if (SQL_SUCCEEDED(SQLGetDiagRec(type, h, 1, state, &native, msg, sizeof msg, &len))) {
            return std::string(reinterpret_cast<char*>(state)) + " " + reinterpret_cast<char*>(msg);
        }
        return "no diagnostics";
    }
    void Free() {
        if (dbc_) {
            if (connected_) {
                SQLDisconnect(dbc_);
            }
            SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
            dbc_ = SQL_NULL_HDBC;
        }
        if (env_) {
            SQLFreeHandle(SQL_HANDLE_ENV, env_);
            env_ = SQL_NULL_HENV;
        }
    }
    SQLHENV env_ = SQL_NULL_HENV;
    SQLHDBC dbc_ = SQL_NULL_HDBC;
    bool connected_ = false;
};

} // namespace

OdbcTestEnv* RegisterOdbcTestEnv(bool withPostgres) {
    if (!g_env) {
        g_env = new OdbcTestEnv();
        g_env->withPostgres_ = withPostgres;
        ::testing::AddGlobalTestEnvironment(g_env);
    }
    return g_env;
}

OdbcTestEnv& OdbcTestEnv::Get() {
    if (!g_env) {
        throw std::logic_error("RegisterOdbcTestEnv() was not called");
    }
    return *g_env;
}

void OdbcTestEnv::SetUp() {
    std::string tmpl = (fs::temp_directory_path() / "zendrato-odbc-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = tmpl;
    StartWatchdog();
    pgPort_ = FreePort();
    WriteIniFiles();
    if (!withPostgres_) {
        problem_ = "this test executable runs without PostgreSQL";
    }
}

bool OdbcTestEnv::PostgresRunning() {
    if (withPostgres_ && !pgTried_) {
        pgTried_ = true;
        StartPostgres();
    }
    return pgRunning_;
}

void OdbcTestEnv::TearDown() {
    StopPostgres();
    if (watchdogPipe_ >= 0) {
        close(watchdogPipe_); // the watchdog removes the directory now
        watchdogPipe_ = -1;
        int status = 0;
        waitpid(watchdogPid_, &status, 0);
    }
    std::error_code ec;
    fs::remove_all(dir_, ec);
}

void OdbcTestEnv::WriteIniFiles() {
    WriteFile(dir_ / "odbcinst.ini",
              "[SQLite3]\nDescription=SQLite 3\nDriver=" + FindDriver("libsqlite3odbc.so") +
                  "\nUsageCount=1\n\n"
                  "[PostgreSQL ANSI]\nDescription=PostgreSQL ANSI\nDriver=" +
                  FindDriver("psqlodbca.so") + "\nUsageCount=1\n");
    WriteFile(dir_ / "odbc.ini", std::string("[") + kSqliteDsn + "]\n" +
                                     DsnBody(TestDriver::SQLite) + "\n[" + kPgDsn + "]\n" +
                                     DsnBody(TestDriver::PostgreSQL) + "\n[" + kPgDsn +
                                     "Admin]\nDriver=PostgreSQL ANSI\nServername=127.0.0.1\nPort=" +
                                     std::to_string(pgPort_) + "\nDatabase=postgres\n");
    // Set before the driver manager is first used in this process.
    setenv("ODBCSYSINI", dir_.c_str(), 1);
    setenv("ODBCINI", (dir_ / "odbc.ini").c_str(), 1);
}

std::string OdbcTestEnv::DsnBody(TestDriver driver) const {
    if (driver == TestDriver::SQLite) {
        return "Driver=SQLite3\nDatabase=" + (dir_ / "tevrin.db").string() +
               "\nTimeout=2000\nStepAPI=1\n";
    }
    return "Driver=PostgreSQL ANSI\nServername=127.0.0.1\nPort=" + std::to_string(pgPort_) +
           "\nDatabase=" + kPgDatabase + "\nUpdatableCursors=1\nUseDeclareFetch=1\n";
}

DsnInfo OdbcTestEnv::AddDataSource(TestDriver driver, const std::string& name,
                                   const std::string& options) {
    std::ofstream out(dir_ / "odbc.ini", std::ios::binary | std::ios::app);
    out << "\n[" << name << "]\n" << DsnBody(driver) << options;
    if (!out.flush()) {
        throw std::runtime_error("cannot add data source " + name);
    }
    DsnInfo info = Dsn(driver);
    info.dsn = name;
    return info;
}

void OdbcTestEnv::StartPostgres() {
    std::string user;
    if (geteuid() == 0) {
        user = "nobody";
    }
    pgDir_ = dir_ / "pg";
    fs::create_directories(pgDir_);
    WriteFile(pgDir_ / "pwfile", std::string(kPgAdminPassword) + "\n");
    if (!user.empty()) {
        passwd* pw = getpwnam(user.c_str());
        if (!pw) {
            problem_ = "no user " + user + " to run the server as";
            return;
        }
        // The server's user must reach its directory; the rest of ours stays private.
        fs::permissions(dir_, fs::perms::owner_all | fs::perms::others_exec);
        for (const fs::path& p : {pgDir_, pgDir_ / "pwfile"}) {
            if (chown(p.c_str(), pw->pw_uid, pw->pw_gid) != 0) {
                problem_ = "cannot hand " + p.string() + " to " + user;
                return;
            }
        }
    }
    std::string bin = kPgBin;
    std::string data = (pgDir_ / "data").string();
    std::string log = (pgDir_ / "server.log").string();
    const fs::path kept = ClusterTemplate();
    if (kept.empty() || Run("cp -a --reflink=auto " + kept.string() + " " + data, "") != 0) {
        fs::remove_all(data);
        if (Run(bin + "/initdb -D " + data +
                    " -U postgres --pwfile=" + (pgDir_ / "pwfile").string() + " " + kInitdbOptions +
                    " >" + (pgDir_ / "initdb.log").string() + " 2>&1",
                user) != 0) {
            problem_ = "initdb failed: " + ReadFile(pgDir_ / "initdb.log");
            return;
        }
        KeepClusterTemplate(data);
    }
    std::string options = "-p " + std::to_string(pgPort_) + " -k " + pgDir_.string() +
                          " -c listen_addresses=127.0.0.1 -c fsync=off";
    if (Run(bin + "/pg_ctl -D " + data + " -l " + log + " -w -t 60 -o '" + options +
                "' start >/dev/null 2>&1",
            user) != 0) {
        problem_ = "pg_ctl start failed: " + ReadFile(log);
        return;
    }
    pgRunning_ = true;
    try {
        Exec(PostgresAdmin(),
             {std::string("CREATE ROLE ") + kPgUser + " LOGIN PASSWORD '" + kPgPassword + "'",
              std::string("CREATE DATABASE ") + kPgDatabase + " OWNER " + kPgUser +
                  " ENCODING 'UTF8'"});
    } catch (const std::exception& e) {
        problem_ = e.what();
        StopPostgres();
    }
}

// A test process that crashes must not leave its server running nor its files behind: a
// child process waits for the end of a pipe that only this process holds, and when the pipe
// closes (in TearDown, or because the process died) it stops the server if one runs and
// removes the directory.
void OdbcTestEnv::StartWatchdog() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return;
    }
    std::string data = (dir_ / "pg" / "data").string();
    std::string stop = std::string(kPgBin) + "/pg_ctl -D " + data + " -m immediate -w stop";
    if (geteuid() == 0) {
        stop = "runuser -u nobody -- " + stop;
    }
    std::string full = "if [ -f " + data + "/postmaster.pid ]; then " + stop +
                       " >/dev/null 2>&1; fi; rm -rf " + dir_.string();
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[1]);
        char c;
        while (read(fds[0], &c, 1) != 0) {
            if (errno != EINTR) {
                break;
            }
        }
        execl("/bin/sh", "sh", "-c", full.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[0]);
    if (pid < 0) {
        close(fds[1]);
        return;
    }
    watchdogPid_ = pid;
    watchdogPipe_ = fds[1];
}

void OdbcTestEnv::StopPostgres() {
    if (!pgRunning_) {
        return;
    }
    pgRunning_ = false;
    Run(std::string(kPgBin) + "/pg_ctl -D " + (pgDir_ / "data").string() +
            " -m immediate -w stop >/dev/null 2>&1",
        geteuid() == 0 ? "nobody" : "");
}

DsnInfo OdbcTestEnv::Dsn(TestDriver driver) const {
    if (driver == TestDriver::SQLite) {
        return {driver, kSqliteDsn, "", "", "SQLite"};
    }
    return {driver, kPgDsn, kPgUser, kPgPassword, "PostgreSQL"};
}

DsnInfo OdbcTestEnv::PostgresAdmin() const {
    // The maintenance database, which exists before ours is created.
    return {TestDriver::PostgreSQL, std::string(kPgDsn) + "Admin", "postgres", kPgAdminPassword,
            "PostgreSQL"};
}

// A test that did not ask for the server first still finds it running.
void OdbcTestEnv::EnsureServer(const DsnInfo& dsn) {
    if (dsn.driver == TestDriver::PostgreSQL) {
        PostgresRunning();
    }
}

void OdbcTestEnv::Exec(const DsnInfo& dsn, const std::vector<std::string>& statements) {
    EnsureServer(dsn);
    RawConnection c(dsn);
    for (const std::string& s : statements) {
        c.Exec(s);
    }
}

std::string OdbcTestEnv::Scalar(const DsnInfo& dsn, const std::string& query) {
    EnsureServer(dsn);
    RawConnection c(dsn);
    return c.Exec(query);
}

std::vector<std::string> SchemaStatements() {
    // The same schema the demo database is made from.
    return SqlFileStatements(fs::path(ZENDRATO_SOURCE_DIR) / "scripts/demo-data/tevrin-schema.sql");
}

std::vector<std::string> SqlFileStatements(const std::filesystem::path& file) {
    std::string text = ReadFile(file);
    std::string clean;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        size_t dash = line.find("--");
        clean += (dash == std::string::npos ? line : line.substr(0, dash)) + "\n";
    }
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t semi; (semi = clean.find(';', start)) != std::string::npos; start = semi + 1) {
        std::string s = clean.substr(start, semi - start);
        if (s.find_first_not_of(" \t\r\n") != std::string::npos) {
            out.push_back(s);
        }
    }
    return out;
}

void OdbcTestEnv::LoadSchema(TestDriver driver) {
    std::vector<std::string> statements = SchemaStatements();
    std::vector<std::string> drops;
    for (const std::string& s : statements) {
        std::istringstream words(s);
        std::string w1, w2, name;
        words >> w1 >> w2 >> name;
        if (w1 == "CREATE" && w2 == "TABLE") {
            drops.insert(drops.begin(), "DROP TABLE IF EXISTS " + name);
        }
    }
    // The transfer ledger goes with the invoices it records; the first real run makes it.
    drops.insert(drops.begin(), {"DROP TABLE IF EXISTS ZendratoPrenosRacun",
                                 "DROP TABLE IF EXISTS ZendratoPrenos"});
    drops.insert(drops.end(), statements.begin(), statements.end());
    Exec(Dsn(driver), drops);
}

void OdbcTestEnv::LoadDemo(TestDriver driver) {
    LoadSchema(driver);
    Exec(Dsn(driver),
         SqlFileStatements(fs::path(ZENDRATO_SOURCE_DIR) / "scripts/demo-data/tevrin-demo.sql"));
}

} // namespace zen::test
