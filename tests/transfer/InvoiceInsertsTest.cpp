// The run's prepared insert on both drivers: each row written whole as set, long texts
// never cut, an empty text stored as one whatever the column, numbers of either sign, and a
// row given up halfway leaving nothing to the next.

#include "transfer/InvoiceInserts.h"
#include "StatementFixture.h"
#include "odbc/OCLError.h"

#include <gtest/gtest.h>

using namespace zen;
using namespace zen::test;

static auto* const odbcEnv = RegisterOdbcTestEnv();

namespace {

class InvoiceInsertTest : public StatementFixture {
protected:
    std::string Scalar(const std::string& query) { return OdbcTestEnv::Get().Scalar(dsn, query); }
};

TEST_P(InvoiceInsertTest, RowsAreWrittenWholeOrRefusedAndEachStartsClean) {
    // PostgreSQL's driver calls TEXT 8,190 characters long; SQLite's has no limit at all.
    Exec({"DROP TABLE IF EXISTS Vnos",
          "CREATE TABLE Vnos (Id INTEGER PRIMARY KEY, Kratko VARCHAR(10), Dolgo TEXT, "
          "N INTEGER, S SMALLINT, Z NUMERIC(15,4))"});
    TInsertRow row(*db, "Vnos", {"Id", "Kratko", "Dolgo", "N", "S", "Z"});
    const std::string longText = std::string(9000, 'd') + "!";
    row.Integer("Id", 1);
    row.Text("Kratko", std::string(10, 'k'));
    row.Text("Dolgo", longText);
    row.Integer("N", -1);
    row.Integer("S", -32768);
    row.Number("Z", -1234567890.1234);
    row.Insert();
    EXPECT_EQ(Scalar("SELECT LENGTH(Dolgo) FROM Vnos WHERE Id = 1"), "9001");
    EXPECT_EQ(Scalar("SELECT SUBSTR(Dolgo, 9000) FROM Vnos WHERE Id = 1"), "d!");
    EXPECT_EQ(Scalar("SELECT CAST(N AS VARCHAR(10)) || '/' || CAST(S AS VARCHAR(10)) || '/' || "
                     "CAST(ROUND(Z * 10000) AS BIGINT) FROM Vnos WHERE Id = 1"),
              "-1/-32768/-12345678901234");

    // An empty text is an empty text in a short column and a long one alike.
    row.Integer("Id", 2);
    row.Text("Kratko", "");
    row.Text("Dolgo", "");
    row.Insert();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Vnos WHERE Id = 2 AND Kratko = '' AND Dolgo = ''"), "1");

    // A value its column cannot take is refused, and the row with it: what it set before
    // reaches no later row.
    row.Integer("Id", 3);
    row.Integer("N", 7);
    row.Text("Dolgo", "ostanek");
    row.Text("Kratko", "ostanek");
    EXPECT_ANY_THROW(row.Integer("S", 40000));
    row.Integer("Id", 4);
    row.Insert();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Vnos WHERE Id = 4 AND N IS NULL AND Dolgo IS NULL "
                     "AND Kratko IS NULL"),
              "1");
    // A row the database refuses (a key taken) leaves nothing either.
    row.Integer("Id", 4);
    row.Integer("N", 8);
    EXPECT_THROW(row.Insert(), EODBC);
    row.Integer("Id", 5);
    row.Insert();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Vnos WHERE Id = 5 AND N IS NULL"), "1");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Vnos"), "4");
}

} // namespace

ZEN_INSTANTIATE_FOR_DRIVERS(InvoiceInsertTest);
