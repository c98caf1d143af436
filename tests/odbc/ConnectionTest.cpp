// The connection against both real drivers: choosing the connect call, connecting once,
// refused logins, dependents released on disconnect, and a real lost link.

#include "TestStatement.h"
#include "odbc/OCL.h"
#include "support/OdbcTestEnv.h"

#include <gtest/gtest.h>

#include <memory>

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::TestDriver;
using test::TestStatement;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

struct EventCounts {
    int beforeConnect = 0, afterConnect = 0, beforeDisconnect = 0, afterDisconnect = 0;
    void Watch(THdbc& db) {
        db.BeforeConnect = [this](TObject*) { ++beforeConnect; };
        db.AfterConnect = [this](TObject*) { ++afterConnect; };
        db.BeforeDisconnect = [this](TObject*) { ++beforeDisconnect; };
        db.AfterDisconnect = [this](TObject*) { ++afterDisconnect; };
    }
};

class ConnectionTest : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        dsn = OdbcTestEnv::Get().Dsn(GetParam());
        db = std::make_unique<THdbc>();
        db->SetName("Database");
        db->SetDataSource(dsn.dsn);
        db->SetUserName(dsn.user);
        db->SetPassword(dsn.password);
        events.Watch(*db);
    }
    test::DsnInfo dsn;
    std::unique_ptr<THdbc> db;
    EventCounts events;
};

TEST_P(ConnectionTest, ConnectsOnceWithSQLConnectAndDisconnectsOnce) {
    EXPECT_FALSE(db->UsesDriverConnect());
    db->SetConnected(true);
    db->SetConnected(true);
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(events.beforeConnect, 1);
    EXPECT_EQ(events.afterConnect, 1);

    // The connection really works: the driver answers.
    EXPECT_EQ(db->InfoString(SQL_DBMS_NAME),
              GetParam() == TestDriver::SQLite ? "SQLite" : "PostgreSQL");

    db->SetConnected(false);
    db->SetConnected(false);
    EXPECT_FALSE(db->Connected());
    EXPECT_TRUE(db->Allocated()) << "disconnecting keeps the handle";
    EXPECT_EQ(events.beforeDisconnect, 1);
    EXPECT_EQ(events.afterDisconnect, 1);
}

// The driver's record is read at connect and read anew when the same connection opens
// over the other driver, so that no answer of the first driver is kept for the second.
TEST_P(ConnectionTest, DriverQuirksReadAtConnectAndRenewedOnReconnect) {
    for (TestDriver d : {GetParam(), GetParam() == TestDriver::SQLite ? TestDriver::PostgreSQL
                                                                      : TestDriver::SQLite}) {
        ZEN_REQUIRE_DRIVER(d);
        const test::DsnInfo other = OdbcTestEnv::Get().Dsn(d);
        db->Disconnect();
        db->SetDataSource(other.dsn);
        db->SetUserName(other.user);
        db->SetPassword(other.password);
        const bool sqlite = d == TestDriver::SQLite;
        const TDriverQuirks& q = db->Quirks();
        EXPECT_TRUE(db->Connected());
        EXPECT_EQ(q.kind, sqlite ? TDbmsKind::SQLite : TDbmsKind::PostgreSQL);
        EXPECT_EQ(q.ScrollReadsWhole(), sqlite);
        EXPECT_EQ(q.RefreshesAnotherRow(), !sqlite);
        EXPECT_EQ(db->DriverKey(),
                  db->InfoString(SQL_DBMS_NAME) + ";" + db->InfoString(SQL_DRIVER_NAME));
        EXPECT_EQ(q.cursorsSurviveCommit,
                  db->InfoInteger(SQL_CURSOR_COMMIT_BEHAVIOR) == SQL_CB_PRESERVE);
        EXPECT_EQ(q.CursorAttributes(SQL_CURSOR_STATIC),
                  db->InfoInteger(SQL_STATIC_CURSOR_ATTRIBUTES1));
        EXPECT_EQ(q.getDataExtensions, db->InfoInteger(SQL_GETDATA_EXTENSIONS));
    }
    EXPECT_EQ(DbmsKindOf("sqlite"), TDbmsKind::SQLite);
    EXPECT_EQ(DbmsKindOf("PostgreSQL 16"), TDbmsKind::PostgreSQL);
    EXPECT_EQ(DbmsKindOf("Microsoft SQL Server"), TDbmsKind::Other);
    EXPECT_EQ(DbmsKindOf(""), TDbmsKind::Other);
}

TEST_P(ConnectionTest, DriverNameSwitchesToSQLDriverConnectWithTheExactString) {
    db->SetDriver("SQL Server");
    EXPECT_TRUE(db->UsesDriverConnect());
    std::string expected = "DSN=" + dsn.dsn + ";";
    if (!dsn.user.empty()) {
        expected += "UID=" + dsn.user + ";PWD=" + dsn.password + ";";
    }
    expected += "DRIVER=SQL Server;";
    EXPECT_EQ(db->ConnectString(), expected);
    // unixODBC takes the DSN when it comes before DRIVER, so the fixed driver name is
    // harmless and the login goes through SQLDriverConnect.
    db->Connect();
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(events.afterConnect, 1);
}

TEST_P(ConnectionTest, ExtraAttributesAndPromptAlsoSelectSQLDriverConnect) {
    db->SetAttributes({"Timeout=100"});
    EXPECT_TRUE(db->UsesDriverConnect());
    EXPECT_EQ(db->ConnectString().substr(db->ConnectString().size() - 12), "Timeout=100;");
    db->Connect();
    EXPECT_TRUE(db->Connected());

    THdbc other;
    other.SetInfoPrompt(SQL_DRIVER_COMPLETE);
    EXPECT_TRUE(other.UsesDriverConnect());
}

TEST_P(ConnectionTest, DisconnectReleasesStatementHandlesAndNextUseReallocates) {
    TestStatement a(db.get()), b(db.get());
    EXPECT_EQ(a.Exec("SELECT 1"), "1");
    b.Init();
    EXPECT_EQ(db->Children().Count(), 2);
    int terminated = 0;
    a.BeforeTerminate = [&](TObject*) { ++terminated; };

    db->Disconnect();
    EXPECT_FALSE(a.Allocated());
    EXPECT_FALSE(b.Allocated());
    EXPECT_TRUE(db->Children().Empty());
    EXPECT_EQ(terminated, 1);

    // Next use: a new handle, and the connection comes back on its own.
    EXPECT_EQ(a.Exec("SELECT 2"), "2");
    EXPECT_EQ(a.allocations, 2);
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(events.afterConnect, 2);
}

TEST_P(ConnectionTest, TerminateAndEnvironmentReleaseFreeDependentsFirst) {
    TestStatement st(db.get());
    st.Init();
    db->Terminate();
    EXPECT_FALSE(st.Allocated());
    EXPECT_FALSE(db->Connected());
    EXPECT_FALSE(db->Allocated());
    EXPECT_FALSE(THenv::Instance().Children().Contains(db.get()));

    st.Init();
    ASSERT_TRUE(THenv::Instance().Children().Contains(db.get()));
    THenv::Instance().Release();
    EXPECT_FALSE(THenv::Instance().Allocated());
    EXPECT_FALSE(st.Allocated());
    EXPECT_FALSE(db->Allocated());

    // Everything comes back on use.
    EXPECT_EQ(st.Exec("SELECT 3"), "3");
    EXPECT_TRUE(THenv::Instance().Allocated());
}

TEST_P(ConnectionTest, NonexistentDataSourceIsRefusedWithItsDiagnostics) {
    db->SetDataSource("NoSuchSource");
    try {
        db->Connect();
        FAIL() << "connected to a source that does not exist";
    } catch (const EODBC& e) {
        ASSERT_FALSE(e.Records().empty());
        EXPECT_EQ(e.Message(), e.Records().front().message);
        EXPECT_EQ(e.Records().front().sqlState, "IM002");
        EXPECT_EQ(e.Source(), db.get());
        EXPECT_EQ(e.RetCode(), SQL_ERROR);
        EXPECT_STREQ(e.ClassName(), "EODBC");
    }
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(events.beforeConnect, 1);
    EXPECT_EQ(events.afterConnect, 0);
}

TEST_P(ConnectionTest, InformationQueries) {
    std::string key = db->DriverKey();
    EXPECT_NE(key.find(';'), std::string::npos);
    EXPECT_EQ(key.substr(0, key.find(';')), db->InfoString(SQL_DBMS_NAME));
    // Neither driver is in the table: both are sized from "Default".
    EXPECT_EQ(db->FindDriverRec(key), nullptr);
    EXPECT_EQ(db->DriverRec().name, "Default");

    EXPECT_TRUE(db->FunctionSupported(SQL_API_SQLEXECDIRECT));
    EXPECT_EQ(db->NoDescribeParam(), !db->FunctionSupported(SQL_API_SQLDESCRIBEPARAM));
    // Integer answers: a 32-bit mask both drivers fill, a 16-bit answer read whole and
    // nothing more, and an unknown type as 0.
    EXPECT_TRUE(db->InfoInteger(SQL_FORWARD_ONLY_CURSOR_ATTRIBUTES1) & SQL_CA1_NEXT);
    SQLUSMALLINT activities = 0xFFFF;
    ASSERT_TRUE(SQL_SUCCEEDED(SQLGetInfo(db->Handle(), SQL_MAX_CONCURRENT_ACTIVITIES, &activities,
                                         sizeof activities, nullptr)));
    EXPECT_NE(activities, 0xFFFF);
    EXPECT_EQ(db->InfoInteger(SQL_MAX_CONCURRENT_ACTIVITIES), activities);
    EXPECT_EQ(db->InfoInteger(9999), 0u);
    EXPECT_EQ(db->InfoString(9999), "") << "an unknown information type is no error";

    for (SQLUSMALLINT all : {SQL_API_ALL_FUNCTIONS, SQL_API_ODBC3_ALL_FUNCTIONS}) {
        try {
            db->FunctionSupported(all);
            FAIL();
        } catch (const EODBCExpress& e) {
            EXPECT_STREQ(e.ClassName(), "EODBCExpress");
            EXPECT_EQ(e.Message(),
                      "Cannot return information for more than one function at a time.");
        }
    }
}

TEST_P(ConnectionTest, IsolationLevelIsAppliedOnTheOpenConnection) {
    db->Connect();
    auto level = [&] {
        SQLULEN v = 0;
        EXPECT_TRUE(SQL_SUCCEEDED(
            SQLGetConnectAttr(db->Handle(), SQL_ATTR_TXN_ISOLATION, &v, sizeof v, nullptr)));
        return v;
    };
    if (GetParam() == TestDriver::SQLite) {
        // The driver knows only serializable and keeps it without failing the connect.
        EXPECT_EQ(level(), static_cast<SQLULEN>(SQL_TXN_SERIALIZABLE));
        return;
    }
    EXPECT_EQ(level(), static_cast<SQLULEN>(SQL_TXN_READ_COMMITTED));
    db->SetIsolationLevel(SQL_TXN_SERIALIZABLE);
    EXPECT_EQ(level(), static_cast<SQLULEN>(SQL_TXN_SERIALIZABLE));
    EXPECT_EQ(db->IsolationLevel(), static_cast<SQLUINTEGER>(SQL_TXN_SERIALIZABLE));
    db->SetIsolationLevel(SQL_TXN_READ_COMMITTED);
    EXPECT_EQ(level(), static_cast<SQLULEN>(SQL_TXN_READ_COMMITTED));
}

TEST_P(ConnectionTest, HandledLinkLossTearsDownOnceAfterTheHandler) {
    db->Connect();
    TestStatement st(db.get());
    st.Init();
    int lost = 0;
    THenv::Instance().Error().OnLinkLost = [&](THbase* source) {
        ++lost;
        EXPECT_EQ(source, &st);
    };
    try {
        try {
            // The records a driver gives when the server has gone.
            throw EODBC(&st, SQL_ERROR, {{"08S01", 0, "Communication link failure"}});
        } catch (const EODBC& caught) {
            EODBC copy = caught; // a copy, and a rethrow: still one teardown
            EXPECT_TRUE(copy.LinkLost());
            EXPECT_TRUE(db->Connected()) << "nothing happens while the handler runs";
            throw;
        }
    } catch (const EODBC& e) {
        EXPECT_TRUE(db->Connected());
        EXPECT_TRUE(e.LinkLost());
    }
    THenv::Instance().Error().OnLinkLost = nullptr;
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(db->Connected());
    EXPECT_FALSE(db->Allocated());
    EXPECT_FALSE(st.Allocated());
    EXPECT_EQ(events.afterDisconnect, 1);
    EXPECT_FALSE(THenv::Instance().Quiet());

    EXPECT_EQ(st.Exec("SELECT 5"), "5");
    EXPECT_TRUE(db->Connected());
}

TEST_P(ConnectionTest, CursorLibDisconnectsFirstAndIsApplied) {
    db->Connect();
    db->SetCursorLib(SQL_CUR_USE_DRIVER);
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(events.afterDisconnect, 1);
    db->Connect();
    SQLULEN v = 99;
    ASSERT_TRUE(SQL_SUCCEEDED(
        SQLGetConnectAttr(db->Handle(), SQL_ATTR_ODBC_CURSORS, &v, sizeof v, nullptr)));
    EXPECT_EQ(v, static_cast<SQLULEN>(SQL_CUR_USE_DRIVER));
}

TEST_P(ConnectionTest, ChangingThePoolingModeReleasesEveryConnection) {
    TestStatement st(db.get());
    st.Init();
    db->SetConnectionPooling(cpOff);
    EXPECT_EQ(db->ConnectionPooling(), cpOff);
    EXPECT_EQ(THenv::Instance().ConnectionPooling(), cpOff);
    EXPECT_FALSE(db->Allocated());
    EXPECT_FALSE(st.Allocated());
    EXPECT_TRUE(THenv::Instance().Allocated());
    EXPECT_EQ(st.Exec("SELECT 7"), "7");
    db->SetConnectionPooling(cpOff); // unchanged: nothing happens
    EXPECT_TRUE(st.Allocated());
    db->SetConnectionPooling(cpDefault);
    EXPECT_FALSE(st.Allocated());

    // Read from a stored form, the mode waits for the connection's next Init.
    TComponent form;
    auto* stored = new THdbc(&form);
    form.BeginLoading();
    stored->SetConnectionPooling(cpOnePerDriver);
    EXPECT_EQ(THenv::Instance().ConnectionPooling(), cpDefault);
    EXPECT_EQ(stored->ConnectionPooling(), cpOnePerDriver);
    form.EndLoading();
    stored->Init();
    EXPECT_EQ(THenv::Instance().ConnectionPooling(), cpOnePerDriver);
    // The process-wide setting back to no pooling, then the mode that leaves it alone.
    THenv::Instance().SetConnectionPooling(cpOff);
    THenv::Instance().SetConnectionPooling(cpDefault);
}

// A data source whose name holds ";" and braces is reached whole, beside the driver name
// the main window sets, and is not taken for keywords.
TEST_P(ConnectionTest, ADataSourceNameWithSeparatorsAndBracesIsReachedWhole) {
    const std::string name = "Zen;Vir{" + dsn.label + "}=1";
    OdbcTestEnv::Get().AddDataSource(GetParam(), name);
    db->SetDataSource(name);
    db->SetDriver("SQL Server");
    EXPECT_FALSE(db->UsesDriverConnect());
    db->Connect();
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(db->InfoString(SQL_DATA_SOURCE_NAME), name);
}

INSTANTIATE_TEST_SUITE_P(BothDrivers, ConnectionTest, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

TEST(DriverTable, ThirteenRowsWithTheirOverrides) {
    THdbc db;
    const auto& t = db.DriverTable();
    ASSERT_EQ(t.size(), 13u);
    EXPECT_EQ(t.front().name, "Default");
    EXPECT_EQ(t.front().charSize, 255u);
    EXPECT_EQ(t.front().longvarcharSize, 2147483647u);
    EXPECT_EQ(t.front().decimalPrecision, 15u);
    EXPECT_EQ(t.front().timestampSize, 19u);
    EXPECT_EQ(t.front().timestampScale, 0);
    const TDriverRec* r = db.FindDriverRec("DBASE;ODBCJT32.DLL");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->charSize, 254u);
    EXPECT_EQ(r->varbinarySize, 254u);
    EXPECT_EQ(r->longvarcharSize, 1073741823u);
    EXPECT_EQ(r->longvarbinarySize, 1073741823u);
    EXPECT_EQ(r->decimalPrecision, 15u);
    r = db.FindDriverRec("SQL Server;sysybnt.dll");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->varcharSize, 30u);
    EXPECT_EQ(r->varbinarySize, 8u);
    EXPECT_EQ(r->timestampSize, 23u);
    EXPECT_EQ(r->timestampScale, 3);
    EXPECT_EQ(r->charSize, 255u);
    r = db.FindDriverRec("Adaptive Server Anywhere;dbodbc6w.dll");
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->binarySize, 32767u);
    EXPECT_EQ(r->timestampScale, 6);
    EXPECT_EQ(t.back().name, "FoxPro;odbcjt32.dll");
    EXPECT_EQ(db.FindDriverRec("SQLite;libsqlite3odbc.so"), nullptr);
}

TEST(ConnectionProperties, DefaultsAndTheFixedVersion) {
    THdbc db;
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(db.Allocated());
    EXPECT_EQ(db.IsolationLevel(), static_cast<SQLUINTEGER>(SQL_TXN_READ_COMMITTED));
    EXPECT_EQ(db.InfoPrompt(), SQL_DRIVER_NOPROMPT);
    EXPECT_EQ(db.CursorLib(), static_cast<SQLUINTEGER>(SQL_CUR_USE_DRIVER));
    EXPECT_EQ(db.Version(), "5.05");
    db.SetVersion("6.0");
    EXPECT_EQ(db.Version(), "5.05");
    db.SetDataSource("x");
    db.SetUserName("u");
    db.SetDriver("SQL Server");
    EXPECT_EQ(db.ConnectString(), "DSN=x;UID=u;DRIVER=SQL Server;") << "no PWD pair";
    db.SetPassword("p");
    db.SetAttributes({"APP=Zendrato", "WSID=pc1"});
    EXPECT_EQ(db.ConnectString(), "DSN=x;UID=u;PWD=p;DRIVER=SQL Server;APP=Zendrato;WSID=pc1;");
    // Values that would end a pair or open a brace are braced, a "}" doubled.
    db.SetDataSource("a;b");
    db.SetUserName("u{1}");
    db.SetPassword("p;PWD=x}");
    db.SetAttributes({});
    EXPECT_EQ(db.ConnectString(), "DSN={a;b};UID={u{1}}};PWD={p;PWD=x}}};DRIVER=SQL Server;");
    db.SetPassword(" p ");
    EXPECT_EQ(db.ConnectString(), "DSN={a;b};UID={u{1}}};PWD={ p };DRIVER=SQL Server;");
    db.SetConnected(false); // closed already: nothing happens
    EXPECT_FALSE(db.Allocated());
}

// PostgreSQL only: a server that checks passwords, and a link that can really be cut.
class PostgresTest : public ::testing::Test {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(TestDriver::PostgreSQL);
        dsn = OdbcTestEnv::Get().Dsn(TestDriver::PostgreSQL);
        db.SetDataSource(dsn.dsn);
        db.SetUserName(dsn.user);
        db.SetPassword(dsn.password);
        events.Watch(db);
    }
    // Ends the server session of a backend from another session.
    static void KillBackend(const std::string& pid) {
        ASSERT_FALSE(pid.empty());
        OdbcTestEnv::Get().Exec(OdbcTestEnv::Get().PostgresAdmin(),
                                {"SELECT pg_terminate_backend(" + pid + ")"});
    }
    test::DsnInfo dsn;
    THdbc db;
    EventCounts events;
};

TEST_F(PostgresTest, WrongPasswordIsRefused) {
    db.SetPassword("wrong");
    for (bool driverConnect : {false, true}) {
        db.SetDriver(driverConnect ? "SQL Server" : "");
        try {
            db.SetConnected(true);
            FAIL() << "a wrong password was accepted";
        } catch (const EODBC& e) {
            EXPECT_EQ(e.Message(), e.Records().front().message);
            EXPECT_EQ(e.Records().front().sqlState.size(), 5u);
            EXPECT_NE(e.Message().find("password"), std::string::npos) << e.Message();
        }
        EXPECT_FALSE(db.Connected());
        EXPECT_EQ(events.afterConnect, 0);
    }
    db.SetPassword(dsn.password);
    db.Connect();
    EXPECT_TRUE(db.Connected());
}

// Where the connection string must carry the login (extra pairs), a password that holds
// the string's own characters is braced, and the real driver undoes the braces.
TEST_F(PostgresTest, ABracedPasswordReachesTheServerWhole) {
    const std::string password = "Ge;slo{=}42}";
    auto& env = OdbcTestEnv::Get();
    env.Exec(env.PostgresAdmin(), {"DROP ROLE IF EXISTS zen_oklepaji",
                                   "CREATE ROLE zen_oklepaji LOGIN PASSWORD '" + password + "'"});
    db.SetUserName("zen_oklepaji");
    db.SetPassword(password);
    db.SetAttributes({"ReadOnly=0"});
    ASSERT_TRUE(db.UsesDriverConnect());
    db.Connect();
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(db.InfoString(SQL_USER_NAME), "zen_oklepaji");
}

TEST_F(PostgresTest, TerminatedBackendIsALostLinkAndTheNextUseReconnects) {
    TestStatement st(&db);
    std::string pid = st.Exec("SELECT pg_backend_pid()");
    ASSERT_FALSE(pid.empty());
    OdbcTestEnv::Get().Exec(OdbcTestEnv::Get().PostgresAdmin(),
                            {"SELECT pg_terminate_backend(" + pid + ")"});
    bool raised = false;
    std::string state;
    try {
        st.Exec("SELECT 1");
    } catch (const EODBC& e) {
        raised = true;
        state = e.Records().front().sqlState;
        EXPECT_TRUE(e.LinkLost()) << state << " " << e.Message();
        EXPECT_TRUE(db.Connected()) << "torn down only after the handler";
    }
    ASSERT_TRUE(raised);
    // The server says why it closed the session (57P01) where a vanished server gives 08S01.
    EXPECT_TRUE(state == "57P01" || state.substr(0, 2) == "08") << state;
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(st.Allocated());

    std::string pid2 = st.Exec("SELECT pg_backend_pid()");
    EXPECT_TRUE(db.Connected());
    EXPECT_NE(pid2, pid);
    EXPECT_EQ(events.afterConnect, 2);
}

TEST_F(PostgresTest, ALostLinkWhoseErrorIsDroppedIsTornDownWhenTheExceptionGoes) {
    TestStatement st(&db);
    std::string pid = st.Exec("SELECT pg_backend_pid()");
    // Another statement, allocated and in the middle of its rows.
    THstmt other;
    other.SetHdbc(&db);
    other.SetSQL("SELECT 1 UNION ALL SELECT 2");
    other.Execute();
    ASSERT_TRUE(other.FetchNext());
    KillBackend(pid);
    TODBCError& err = THenv::Instance().Error();
    int dropped = 0;
    err.OnError = [&](THbase*, const EODBC& e) {
        dropped += e.LinkLost() ? 1 : 0;
        return false;
    };
    EXPECT_EQ(st.Exec("SELECT 1"), "") << "the failing call stops at its check";
    err.OnError = nullptr;
    EXPECT_EQ(dropped, 1);
    // Torn down as soon as the dropped exception went, every statement with it.
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(st.Allocated());
    EXPECT_FALSE(other.Allocated());
    EXPECT_FALSE(THenv::Instance().Quiet());

    // The statement that was allocated before reconnects on its own next use.
    other.SetSQL("SELECT pg_backend_pid()");
    other.Execute();
    ASSERT_TRUE(other.FetchNext());
    EXPECT_NE(other.ColAsString(1), pid);
    EXPECT_TRUE(db.Connected());
}

// A real statement whose session the server ends between two fetches: the fetch raises
// the lost link as such, with every record the driver gave, and the statement comes back
// on the next use.
TEST_F(PostgresTest, BackendEndedBetweenTwoFetchesOfAStatement) {
    // One row per round trip through a server cursor, so that the second fetch asks the
    // server.
    db.SetAttributes({"UseDeclareFetch=1", "Fetch=1"});
    THstmt st;
    st.SetName("Stmt");
    st.SetHdbc(&db);
    st.SetSQL("SELECT pg_backend_pid() FROM generate_series(1, 3)");
    st.Execute();
    ASSERT_TRUE(st.FetchNext());
    std::string pid = st.ColAsString(1);
    KillBackend(pid);
    bool raised = false;
    try {
        st.FetchNext();
    } catch (const EODBC& e) {
        raised = true;
        EXPECT_EQ(e.Source(), &st);
        EXPECT_TRUE(e.LinkLost()) << e.Records().front().sqlState << " " << e.Message();
        EXPECT_TRUE(db.Connected()) << "torn down only after the handler";
    }
    ASSERT_TRUE(raised);
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(st.Allocated());
    st.SetSQL("SELECT pg_backend_pid()");
    st.Execute();
    ASSERT_TRUE(st.FetchNext());
    EXPECT_NE(st.ColAsString(1), pid);
}

// Counting the rows runs a query of its own; a link lost there is the caller's failure,
// not a reason to count again on a new session under the caller's cursor.
TEST_F(PostgresTest, ALinkLostWhileCountingRowsReachesTheCaller) {
    for (TRowCountMethod method : {rcSelect, rcTraverse}) {
        SCOPED_TRACE(method == rcSelect ? "count query" : "traversal");
        THstmt st;
        st.SetHdbc(&db);
        st.SetRowCountMethod(method);
        st.SetSQL("SELECT n, pg_backend_pid() FROM generate_series(1, 5) AS g(n) ORDER BY n");
        st.Execute();
        ASSERT_TRUE(st.FetchNext());
        EXPECT_EQ(st.RowCount(), 5);
        KillBackend(st.ColAsString(2));
        bool raised = false;
        try {
            st.RowCount();
        } catch (const EODBC& e) {
            raised = true;
            EXPECT_TRUE(e.LinkLost()) << e.Records().front().sqlState << " " << e.Message();
        }
        EXPECT_TRUE(raised);
        EXPECT_FALSE(db.Connected());
        EXPECT_FALSE(st.Allocated());
    }
}

} // namespace
} // namespace zen
