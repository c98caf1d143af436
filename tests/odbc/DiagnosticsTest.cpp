// Diagnostics: the records an EODBC carries, the success test, the error hooks, and the
// link-loss teardown in its less common shapes.

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

TEST(ODBCDiagnostics, CodesWithoutRecordsGetFixedTexts) {
    TODBCError err;
    auto only = [&](SQLRETURN rc) {
        auto r = err.GatherRecords(SQL_HANDLE_STMT, SQL_NULL_HANDLE, rc);
        EXPECT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0].sqlState, "");
        EXPECT_EQ(r[0].nativeError, 0);
        return r[0].message;
    };
    EXPECT_EQ(only(SQL_INVALID_HANDLE), "Invalid ODBC Handle");
    EXPECT_EQ(only(SQL_NO_DATA), "No Data Found");
    EXPECT_EQ(only(SQL_NEED_DATA), "ODBC Return Code 99");
    EXPECT_EQ(only(SQL_STILL_EXECUTING), "ODBC Return Code 2");
    // An error whose handle yields nothing still has one record.
    EXPECT_EQ(only(SQL_ERROR), "Unable to Retrieve ODBC Error");

    EXPECT_TRUE(err.Success(SQL_SUCCESS_WITH_INFO));
    err.InfoAsError = true;
    EXPECT_FALSE(err.Success(SQL_SUCCESS_WITH_INFO));
    EXPECT_TRUE(err.Success(SQL_SUCCESS));
    EXPECT_FALSE(err.Success(SQL_NO_DATA));
}

TEST(ODBCDiagnostics, RecordNavigationStopsAtTheEnds) {
    EODBC e(nullptr, SQL_ERROR, {{"42000", 1, "one"}, {"01000", 2, "two"}, {"HY000", 3, "three"}});
    EXPECT_EQ(e.Message(), "one");
    EXPECT_EQ(e.RecordIndex(), 0);
    EXPECT_FALSE(e.Prev());
    EXPECT_TRUE(e.Next());
    EXPECT_TRUE(e.Next());
    EXPECT_EQ(e.SqlState(), "HY000");
    EXPECT_EQ(e.NativeError(), 3);
    EXPECT_EQ(e.ErrorMsg(), "three");
    EXPECT_FALSE(e.Next());
    EXPECT_EQ(e.RecordIndex(), 2);
    e.First();
    EXPECT_EQ(e.ErrorMsg(), "one");
    EXPECT_FALSE(e.LinkLost());

    EODBC empty(nullptr, SQL_ERROR, {});
    ASSERT_EQ(empty.RecordCount(), 1);
    EXPECT_EQ(empty.Message(), "Unable to Retrieve ODBC Error");
}

class SqliteDiagnostics : public ::testing::Test {
protected:
    void SetUp() override {
        db.SetDataSource(OdbcTestEnv::Get().Dsn(TestDriver::SQLite).dsn);
        err().InfoAsError = false;
        err().OnError = nullptr;
        err().OnLinkLost = nullptr;
        err().ResetOnLinkLoss = true;
    }
    void TearDown() override { SetUp(); }
    static TODBCError& err() { return THenv::Instance().Error(); }
    THdbc db;
};

TEST_F(SqliteDiagnostics, FailingStatementCarriesTheDriversRecords) {
    TestStatement st(&db);
    try {
        st.Exec("SELEC nonsense");
        FAIL();
    } catch (const EODBC& e) {
        EXPECT_EQ(e.Source(), &st);
        EXPECT_EQ(e.RetCode(), SQL_ERROR);
        EXPECT_EQ(e.Message(), e.Records().front().message);
        EXPECT_EQ(e.Records().front().sqlState.size(), 5u);
        EXPECT_NE(e.Message().find("syntax"), std::string::npos) << e.Message();
        EXPECT_EQ(err().LastHandleType(), SQL_HANDLE_STMT);
        EXPECT_FALSE(e.LinkLost());
    }
    EXPECT_TRUE(db.Connected()) << "an ordinary error leaves the connection alone";
    EXPECT_TRUE(st.Allocated());
    // A check of an invalid handle does not read diagnostics.
    try {
        st.CheckCode(SQL_INVALID_HANDLE);
        FAIL();
    } catch (const EODBC& e) {
        EXPECT_EQ(e.Message(), "Invalid ODBC Handle");
    }
}

TEST_F(SqliteDiagnostics, InfoAsErrorRaisesTheInformationalRecords) {
    // The driver substitutes a static cursor for a keyset-driven one and says so (01S02).
    auto askKeyset = [](TestStatement& st) {
        return SQLSetStmtAttr(st.Handle(), SQL_ATTR_CURSOR_TYPE,
                              reinterpret_cast<SQLPOINTER>(SQL_CURSOR_KEYSET_DRIVEN), 0);
    };
    TestStatement quiet(&db);
    SQLRETURN rc = askKeyset(quiet);
    ASSERT_EQ(rc, SQL_SUCCESS_WITH_INFO);
    EXPECT_NO_THROW(quiet.CheckCode(rc));

    err().InfoAsError = true;
    TestStatement strict(&db);
    rc = askKeyset(strict);
    try {
        strict.CheckCode(rc);
        FAIL();
    } catch (const EODBC& e) {
        EXPECT_EQ(e.RetCode(), SQL_SUCCESS_WITH_INFO);
        EXPECT_EQ(e.Records().front().sqlState, "01S02");
    }
}

TEST_F(SqliteDiagnostics, OnErrorMayDropTheException) {
    TestStatement st(&db);
    int seen = 0;
    err().OnError = [&](THbase* source, const EODBC& e) {
        ++seen;
        EXPECT_EQ(source, &st);
        EXPECT_FALSE(e.Message().empty());
        return false;
    };
    EXPECT_NO_THROW(st.Exec("SELEC nonsense"));
    EXPECT_GE(seen, 1) << "every failing call of the statement is offered";
    err().OnError = [&](THbase*, const EODBC&) { return true; };
    EXPECT_THROW(st.Exec("SELEC nonsense"), EODBC);
}

TEST_F(SqliteDiagnostics, LinkLossWithoutResetOnlyTellsOnLinkLost) {
    TestStatement st(&db);
    st.Init();
    err().ResetOnLinkLoss = false;
    int lost = 0;
    err().OnLinkLost = [&](THbase*) { ++lost; };
    try {
        throw EODBC(&st, SQL_ERROR, {{"01000", 0, "first"}, {"08003", 0, "not open"}});
    } catch (const EODBC&) {
    }
    EXPECT_EQ(lost, 1);
    EXPECT_TRUE(db.Connected());
    EXPECT_TRUE(st.Allocated());
}

TEST_F(SqliteDiagnostics, LinkLossFromAVanishedSourceTearsDownEveryConnection) {
    THdbc second;
    second.SetDataSource(db.DataSource());
    second.Connect();
    db.Connect();
    THbase* source = nullptr;
    try {
        auto st = std::make_unique<TestStatement>(&db);
        st->Init();
        source = st.get();
        EODBC e(st.get(), SQL_ERROR, {{"08S01", 0, "gone"}});
        st.reset(); // the failing component is freed before the handler runs
        EXPECT_EQ(e.Source(), nullptr);
        throw e;
    } catch (const EODBC& e) {
        EXPECT_EQ(e.Source(), nullptr);
    }
    EXPECT_NE(source, nullptr);
    EXPECT_FALSE(db.Connected());
    EXPECT_FALSE(second.Connected());
    second.Connect();
    EXPECT_TRUE(second.Connected());
}

} // namespace
} // namespace zen
