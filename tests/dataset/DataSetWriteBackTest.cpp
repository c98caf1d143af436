// What a dataset's write reaches, on both drivers and both write paths: the row it read
// and nothing else (keys as the database holds them, another user's change refused), the
// columns the edit changed and nothing else, and no key left over from a failed write.

#include "DataSetFixture.h"
#include "odbc/OCLError.h"
#include "toolkit/DateTime.h"

namespace zen {
namespace {

using test::DataSetFixture;
using test::OdbcTestEnv;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

class DataSetWriteBackTest : public DataSetFixture {
protected:
    TOEQuery* Live(const std::string& sql, bool skipByPosition) {
        TOEQuery* q = Query({sql});
        q->SetRequestLive(true);
        q->SetEditable(true);
        q->HStmt().SetConcurrencyType(SQL_CONCUR_VALUES);
        q->HStmt().SetSkipByPosition(skipByPosition);
        return q;
    }
    std::string Scalar(const std::string& query) { return OdbcTestEnv::Get().Scalar(dsn, query); }
    // Another user's statement: on a connection of its own, except over SQLite, whose
    // file the dataset's open read keeps locked for other connections.
    void Elsewhere(const std::string& sql) {
        if (!IsSQLite()) {
            Exec({sql});
            return;
        }
        THstmt other;
        other.SetHdbc(conn);
        other.SetSQL(sql);
        other.Execute();
    }
    static const char* Path(bool skip) { return skip ? "generated" : "through the cursor"; }
};

TEST_P(DataSetWriteBackTest, AWriteOverAnotherUsersChangeIsRefusedAndChangesNothing) {
    Exec({"DROP TABLE IF EXISTS Tuji", "CREATE TABLE Tuji (Id INTEGER PRIMARY KEY, V VARCHAR(10))",
          "INSERT INTO Tuji VALUES (1, 'a')", "INSERT INTO Tuji VALUES (2, 'b')"});
    TOEQuery* q = Live("SELECT * FROM Tuji ORDER BY Id", false);
    q->Open();
    // PostgreSQL's cursor knows the row changed since it was read; a generated UPDATE
    // finds a row deleted since.
    Elsewhere(IsSQLite() ? "DELETE FROM Tuji WHERE Id = 1"
                         : "UPDATE Tuji SET V = 'tuj' WHERE Id = 1");
    q->Edit();
    q->FieldByName("V")->SetAsString("moj");
    try {
        q->Post();
        ADD_FAILURE() << "posted over another user's change";
    } catch (const EODBC& e) {
        if (!IsSQLite()) {
            EXPECT_STREQ(e.what(), "Zapis je spremenil ali izbrisal drug uporabnik.");
        }
    }
    EXPECT_EQ(q->State(), dsEdit);
    EXPECT_EQ(q->FieldByName("V")->AsString(), "moj");
    q->Cancel();
    if (!IsSQLite()) {
        EXPECT_EQ(Scalar("SELECT V FROM Tuji WHERE Id = 1"), "tuj");
        // A delete of the changed row is refused too, and the row stays in view.
        EXPECT_THROW(q->Delete(), EODBC);
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Tuji"), "2");
        q->First();
        EXPECT_EQ(q->FieldByName("Id")->AsInteger(), 1);
    }
    q->Close();
}

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetWriteBackTest);

} // namespace
} // namespace zen
