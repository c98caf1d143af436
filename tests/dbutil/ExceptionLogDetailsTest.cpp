// What the exception log says about a failing dataset or statement, read back from the log
// itself after real failures on both drivers.

#include "LogReader.h"
#include "StatementFixture.h"
#include "dataset/ODSI.h"
#include "dbutil/ExceptionLog.h"
#include "toolkit/Exceptions.h"

#include <gtest/gtest.h>

using namespace zen;
using namespace zen::test;

static auto* const odbcEnv = RegisterOdbcTestEnv();

namespace {

class ExceptionLogDetailsTest : public StatementFixture {
protected:
    // Runs `action`, which must fail, and logs its exception against `sender`; the row's
    // details text.
    template <typename Action> std::string LoggedDetails(TObject& sender, Action action) {
        bool failed = false;
        try {
            action();
        } catch (const std::exception& e) {
            failed = true;
            LogException(e, &sender, "Test");
        }
        EXPECT_TRUE(failed);
        auto rows = ReadExceptionLog();
        return rows.empty() ? "(no row)" : rows.back().senderProp;
    }

    TempHome home_;
};

} // namespace

TEST_P(ExceptionLogDetailsTest, ADataSetNamesItsConnectionTableAndEverySqlLine) {
    TwwOEDataSet ds;
    ds.SetName("tbMs");
    ds.SetHdbc(db.get());
    ds.SetSQL({"SELECT * FROM Ms ", "WHERE Nima = 'A1'"});
    EXPECT_EQ(LoggedDetails(ds, [&] { ds.Open(); }),
              "DatabaseName --> Database\r\n"
              "TableName --> \r\n"
              "hDbc --> Database\r\n"
              "SQL --> SELECT * FROM Ms  WHERE Nima = 'A1'\r\n");

    // A statement-level failure: the text as the statement got it, on one line.
    auto stmt = Stmt("SELECT Nima FROM Ms");
    EXPECT_EQ(LoggedDetails(*stmt, [&] { stmt->Execute(); }),
              "hDbc --> Database\r\nSQL --> SELECT Nima FROM Ms\r\n");

    // A table dataset names its table.
    TwwOEDataSet table;
    table.SetHdbc(db.get());
    table.SetTableName("NiTabele");
    EXPECT_EQ(LoggedDetails(table, [&] { table.Open(); }),
              "DatabaseName --> Database\r\nTableName --> NiTabele\r\nhDbc --> Database\r\n"
              "SQL -->\r\n");
    EXPECT_EQ(ReadExceptionLog().size(), 3u);
}

TEST_P(ExceptionLogDetailsTest, WithoutAConnectionTheNamesAreEmpty) {
    TwwOEDataSet ds;
    ds.SetSQL({"SELECT * FROM Ms"});
    EXPECT_EQ(LoggedDetails(ds, [&] { ds.Open(); }),
              "DatabaseName --> \r\nTableName --> \r\nhDbc --> \r\nSQL --> SELECT * FROM Ms\r\n");
    THstmt stmt;
    stmt.SetSQL("SELECT 1");
    EXPECT_EQ(LoggedDetails(stmt, [&] { stmt.Execute(); }), "hDbc --> \r\nSQL --> SELECT 1\r\n");

    // Other datasets and components carry no details.
    TOEQuery query;
    query.SetSQL({"SELECT * FROM Ms"});
    EXPECT_EQ(LoggedDetails(query, [&] { query.Open(); }), "");
}

ZEN_INSTANTIATE_FOR_DRIVERS(ExceptionLogDetailsTest);
