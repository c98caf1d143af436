// Failures of the connection's and environment's own calls that are not raised (OnError
// drops them) or cannot be (a destructor), on both real drivers. The calls are watched
// and made to fail by wrapping them at link time.

#include "odbc/OCL.h"
#include "support/OdbcTestEnv.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {
int g_connectCalls = 0;
int g_driverConnectCalls = 0;
SQLSMALLINT g_failAlloc = 0; // a handle type whose allocation fails
SQLSMALLINT g_failFree = 0;  // a handle type whose release fails
} // namespace

extern "C" {
SQLRETURN __real_SQLConnect(SQLHDBC, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT, SQLCHAR*,
                            SQLSMALLINT);
SQLRETURN __wrap_SQLConnect(SQLHDBC h, SQLCHAR* dsn, SQLSMALLINT dsnLength, SQLCHAR* user,
                            SQLSMALLINT userLength, SQLCHAR* pwd, SQLSMALLINT pwdLength) {
    ++g_connectCalls;
    return __real_SQLConnect(h, dsn, dsnLength, user, userLength, pwd, pwdLength);
}
SQLRETURN __real_SQLDriverConnect(SQLHDBC, SQLHWND, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                                  SQLSMALLINT*, SQLUSMALLINT);
SQLRETURN __wrap_SQLDriverConnect(SQLHDBC h, SQLHWND w, SQLCHAR* in, SQLSMALLINT inLength,
                                  SQLCHAR* out, SQLSMALLINT outMax, SQLSMALLINT* outLength,
                                  SQLUSMALLINT completion) {
    ++g_driverConnectCalls;
    return __real_SQLDriverConnect(h, w, in, inLength, out, outMax, outLength, completion);
}
SQLRETURN __real_SQLAllocHandle(SQLSMALLINT, SQLHANDLE, SQLHANDLE*);
SQLRETURN __wrap_SQLAllocHandle(SQLSMALLINT type, SQLHANDLE parent, SQLHANDLE* out) {
    if (type == g_failAlloc) {
        return SQL_ERROR;
    }
    return __real_SQLAllocHandle(type, parent, out);
}
SQLRETURN __real_SQLFreeHandle(SQLSMALLINT, SQLHANDLE);
SQLRETURN __wrap_SQLFreeHandle(SQLSMALLINT type, SQLHANDLE h) {
    // A failed release leaves the handle valid, so the caller may try again; releasing it
    // here as well would make that retry a double free.
    if (type == g_failFree) {
        return SQL_ERROR;
    }
    return __real_SQLFreeHandle(type, h);
}
}

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::TestDriver;

class ConnectionFailureTest : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        dsn = OdbcTestEnv::Get().Dsn(GetParam());
        db = std::make_unique<THdbc>();
        Configure(*db);
        db->AfterConnect = [this](TObject*) { ++afterConnect; };
        g_connectCalls = g_driverConnectCalls = 0;
    }
    void TearDown() override {
        g_failAlloc = g_failFree = 0;
        Error().OnError = nullptr;
        db.reset();
    }
    void Configure(THdbc& c) const {
        c.SetDataSource(dsn.dsn);
        c.SetUserName(dsn.user);
        c.SetPassword(dsn.password);
    }
    static TODBCError& Error() { return THenv::Instance().Error(); }
    // OnError drops every exception from now on; the count of those dropped.
    int& DropErrors() {
        Error().OnError = [this](THbase*, const EODBC&) {
            ++dropped;
            return false;
        };
        return dropped;
    }

    test::DsnInfo dsn;
    std::unique_ptr<THdbc> db;
    int afterConnect = 0;
    int dropped = 0;
};

TEST_P(ConnectionFailureTest, TheConnectCallIsChosenByTheProperties) {
    db->Connect();
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(g_connectCalls, 1);
    EXPECT_EQ(g_driverConnectCalls, 0);
    db->Disconnect();
    db->SetDriver("SQL Server");
    db->Connect();
    EXPECT_TRUE(db->Connected());
    EXPECT_EQ(g_connectCalls, 1);
    EXPECT_EQ(g_driverConnectCalls, 1);
}

TEST_P(ConnectionFailureTest, ADroppedConnectFailureLeavesTheConnectionClosed) {
    db->SetDataSource("NoSuchSource");
    int& dropped = DropErrors();
    db->Connect();
    EXPECT_EQ(dropped, 1);
    EXPECT_FALSE(db->Connected());
    EXPECT_EQ(afterConnect, 0);
    db->SetConnected(true);
    EXPECT_FALSE(db->Connected());
    // A statement on it does not allocate either.
    THstmt st;
    st.SetHdbc(db.get());
    EXPECT_FALSE(st.Init());
    EXPECT_FALSE(st.Allocated());
    EXPECT_TRUE(db->Children().Empty());
}

TEST_P(ConnectionFailureTest, AFailedAllocationIsNotMarkedAllocated) {
    for (bool dropping : {false, true}) {
        SCOPED_TRACE(dropping ? "dropped" : "raised");
        if (dropping) {
            DropErrors();
        }
        // Raised, or dropped and the call goes on as if it had not been made.
        auto attempt = [dropping](const std::function<void()>& call) {
            if (dropping) {
                call();
            } else {
                EXPECT_THROW(call(), EODBC);
            }
        };
        g_failAlloc = SQL_HANDLE_DBC;
        attempt([&] { EXPECT_FALSE(db->Init()); });
        EXPECT_FALSE(db->Allocated());
        EXPECT_EQ(db->CurrentHandle(), nullptr);
        EXPECT_FALSE(THenv::Instance().Children().Contains(db.get()));
        attempt([&] { db->Connect(); });
        EXPECT_FALSE(db->Connected());

        g_failAlloc = SQL_HANDLE_STMT;
        THstmt st;
        st.SetHdbc(db.get());
        st.SetSQL("SELECT 1");
        attempt([&] { st.Execute(); });
        EXPECT_FALSE(st.Executed());
        EXPECT_FALSE(st.Allocated());
        EXPECT_TRUE(db->Connected());
        EXPECT_TRUE(db->Children().Empty());

        g_failAlloc = 0;
        st.Execute();
        ASSERT_TRUE(st.FetchNext());
        EXPECT_EQ(st.ColAsInteger(1), 1);
        db->Terminate();
    }
}

TEST_P(ConnectionFailureTest, AFailedReleaseNeverLeavesAFreedObjectListed) {
    auto* other = new THdbc();
    Configure(*other);
    auto* st = new THstmt();
    st->SetHdbc(other);
    st->SetSQL("SELECT 1");
    st->Execute();
    ASSERT_TRUE(other->Children().Contains(st));

    g_failFree = SQL_HANDLE_STMT;
    delete st;
    EXPECT_FALSE(other->Children().Contains(st));
    g_failFree = SQL_HANDLE_DBC;
    delete other;
    g_failFree = 0;
    EXPECT_FALSE(THenv::Instance().Children().Contains(other));
    // The environment's list is walked as a whole: no freed entry in it.
    THenv::Instance().Terminate();
    EXPECT_TRUE(THenv::Instance().Children().Empty());

    // Outside destruction, a connection whose release fails stays allocated and listed,
    // and a later release tries again.
    db->Connect();
    DropErrors();
    g_failFree = SQL_HANDLE_DBC;
    EXPECT_FALSE(db->Terminate());
    g_failFree = 0;
    EXPECT_TRUE(db->Allocated());
    EXPECT_TRUE(THenv::Instance().Children().Contains(db.get()));
}

INSTANTIATE_TEST_SUITE_P(BothDrivers, ConnectionFailureTest,
                         ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen
