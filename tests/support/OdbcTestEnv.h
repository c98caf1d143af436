#pragma once
// The ODBC test environment: a private odbc.ini/odbcinst.ini (ODBCSYSINI and ODBCINI point
// at a temporary directory; /etc is never touched) with two data sources, one over the
// SQLite 3 driver and one over the PostgreSQL ANSI driver, and a PostgreSQL cluster of the
// test executable's own, started on a free port on 127.0.0.1 and stopped afterwards.
//
// A test executable registers it once:
//     static auto* const odbcEnv = zen::test::RegisterOdbcTestEnv();
// and parameterises its tests over OdbcTestEnv::Drivers().

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace zen::test {

enum class TestDriver { SQLite, PostgreSQL };

// Where and how a test reaches one of the two data sources.
struct DsnInfo {
    TestDriver driver;
    std::string dsn;      // data source name in the private odbc.ini
    std::string user;     // a login that the server accepts ("" for SQLite)
    std::string password; // its password
    std::string label;    // "SQLite" or "PostgreSQL", for test names
};

class OdbcTestEnv : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

    // The environment registered by RegisterOdbcTestEnv (set up before any test runs).
    static OdbcTestEnv& Get();
    static std::vector<TestDriver> Drivers() {
        return {TestDriver::SQLite, TestDriver::PostgreSQL};
    }
    static std::string Label(TestDriver d) {
        return d == TestDriver::SQLite ? "SQLite" : "PostgreSQL";
    }

    DsnInfo Dsn(TestDriver driver) const;
    // Adds a data source of another name over the same database as Dsn(driver), with more
    // options ("Key=value" lines) when given.
    DsnInfo AddDataSource(TestDriver driver, const std::string& name,
                          const std::string& options = {});
    // The PostgreSQL server's superuser, for administrative statements in tests.
    DsnInfo PostgresAdmin() const;
    // Starts the PostgreSQL cluster on first call (executables or test processes that
    // never ask do not pay for it); whether it runs. When not, Problem() says why.
    bool PostgresRunning();
    const std::string& Problem() const { return problem_; }
    const std::filesystem::path& Dir() const { return dir_; }
    // The cluster's port on 127.0.0.1, for tools that reach it without ODBC (psql).
    int PostgresPort() const { return pgPort_; }

    // Drops the Tevrin tables and the transfer ledger (if present) and creates the Tevrin
    // tables afresh from the schema.
    void LoadSchema(TestDriver driver);
    // The same, then the demo's accounting data (scripts/demo-data/tevrin-demo.sql).
    void LoadDemo(TestDriver driver);
    // Runs statements through a connection of its own (not the code under test); throws
    // std::runtime_error with the driver's message on failure.
    void Exec(const DsnInfo& dsn, const std::vector<std::string>& statements);
    // The first column of the first row of a query, as text ("" when there is no row).
    std::string Scalar(const DsnInfo& dsn, const std::string& query);

private:
    void WriteIniFiles();
    std::string DsnBody(TestDriver driver) const;
    void StartPostgres();
    void StopPostgres();
    void StartWatchdog();
    void EnsureServer(const DsnInfo& dsn);

    std::filesystem::path dir_;
    std::filesystem::path pgDir_;
    int pgPort_ = 0;
    bool pgRunning_ = false;
    bool pgTried_ = false;
    int watchdogPid_ = -1;
    int watchdogPipe_ = -1;
    std::string problem_;
    bool withPostgres_ = true;
    friend OdbcTestEnv* RegisterOdbcTestEnv(bool);
};

// `withPostgres` false leaves the cluster out, for executables that need only SQLite.
OdbcTestEnv* RegisterOdbcTestEnv(bool withPostgres = true);

// The Tevrin schema as separate statements, comments removed.
std::vector<std::string> SchemaStatements();
// The statements of an SQL file, each ended by ";", comments ("--" to the line's end)
// removed.
std::vector<std::string> SqlFileStatements(const std::filesystem::path& file);

} // namespace zen::test

// Fails a PostgreSQL test when the cluster could not be started, with the reason: both
// drivers must be exercised, so a missing server is never a silent pass.
#define ZEN_REQUIRE_DRIVER(driver)                                                                 \
    do {                                                                                           \
        if ((driver) == ::zen::test::TestDriver::PostgreSQL &&                                     \
            !::zen::test::OdbcTestEnv::Get().PostgresRunning()) {                                  \
            GTEST_FAIL() << "PostgreSQL cluster not running: "                                     \
                         << ::zen::test::OdbcTestEnv::Get().Problem();                             \
        }                                                                                          \
    } while (0)
