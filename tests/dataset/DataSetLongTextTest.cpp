// Texts longer than the size a driver reports for their column, on both drivers: read whole
// through a table dataset and a query in each way a dataset keeps its rows, a row holding
// one changed in another column and saved with the text as it was, and the text itself
// changed whole once the column has shown that it holds longer ones.

#include "DataSetFixture.h"
#include "odbc/OCLError.h"
#include "toolkit/Text.h"

namespace zen {
namespace {

using test::DataSetFixture;
using test::OdbcTestEnv;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

// `n` characters of Slovene text, some of two bytes (a cut inside a character would show),
// ending in `last`.
std::string Text(size_t n, char last) {
    static const char* const kChars[] = {"č", "a", "š", "b", "ž", "c", " "};
    std::string text;
    for (size_t i = 0; i + 1 < n; ++i) {
        text += kChars[i % 7];
    }
    return text + last;
}

// Equal texts; a difference is told by the lengths and where it begins, not by 100,000
// characters of both.
::testing::AssertionResult Same(const std::string& actual, const std::string& expected) {
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) {
        ++at;
    }
    return ::testing::AssertionFailure() << actual.size() << " bytes where " << expected.size()
                                         << " are expected, differing from byte " << at;
}

class DataSetLongTextTest : public DataSetFixture {
protected:
    std::string Scalar(const std::string& query) { return OdbcTestEnv::Get().Scalar(dsn, query); }
    // Whether the database holds `text` in a column of row `id`, compared there (a scalar
    // read here is not whole past a kilobyte).
    bool Holds(int id, const char* column, const std::string& text) {
        return Scalar("SELECT COUNT(*) FROM Dolgi WHERE Id = " + std::to_string(id) + " AND " +
                      column + " = '" + text + "'") == "1";
    }
};

TEST_P(DataSetLongTextTest, TextLongerThanTheReportedSizeIsReadWholeAndKeptByEveryWrite) {
    // Unsized VARCHAR and TEXT: the drivers report 255 (or their long size) for them. SQLite
    // does not hold a VARCHAR(10) to its size either.
    const std::string t1501 = Text(1501, 'z');
    const std::string t100k = Text(100000, 'y');
    const std::string sized = IsSQLite() ? std::string(15, 's') : std::string(10, 's');
    ASSERT_EQ(Utf8Length(t1501), 1501u);
    struct TMode {
        const char* name;
        bool table;
        bool skip;
        bool cached;
    };
    for (const TMode& mode : {TMode{"table", true, false, false},
                              TMode{"query through the cursor", false, false, false},
                              TMode{"query, generated writes", false, true, false},
                              TMode{"query, cached", false, false, true}}) {
        SCOPED_TRACE(mode.name);
        Exec(
            {"DROP TABLE IF EXISTS Dolgi",
             "CREATE TABLE Dolgi (Id INTEGER PRIMARY KEY, V VARCHAR, T TEXT, S VARCHAR(10), "
             "U VARCHAR(10))",
             "INSERT INTO Dolgi VALUES (1, '" + t1501 + "', '" + t1501 + "', 'kratko', 'a')",
             "INSERT INTO Dolgi VALUES (2, '" + t100k + "', '" + t100k + "', '" + sized + "', 'b')",
             // NULL and short values after long ones: nothing of those may show in them.
             "INSERT INTO Dolgi VALUES (3, NULL, NULL, NULL, 'c')",
             "INSERT INTO Dolgi VALUES (4, 'kratek', 'kratek', 'k', 'd')"});
        TOEQuery* q =
            Query(mode.table ? std::vector<std::string>{}
                             : std::vector<std::string>{"SELECT * FROM Dolgi ORDER BY Id"});
        if (mode.table) {
            q->SetTableName("Dolgi");
        }
        q->SetRequestLive(true);
        q->SetEditable(true);
        q->HStmt().SetConcurrencyType(SQL_CONCUR_VALUES);
        q->HStmt().SetSkipByPosition(mode.skip);
        q->SetCached(mode.cached);
        q->Open();
        auto expectRow = [&](int id, const std::string& v, const std::string& t,
                             const std::string& s) {
            SCOPED_TRACE(id);
            ASSERT_TRUE(q->Locate("Id", TVariant(int64_t{id}), 0));
            EXPECT_TRUE(Same(q->FieldByName("V")->AsString(), v));
            EXPECT_TRUE(Same(q->FieldByName("T")->AsString(), t));
            EXPECT_EQ(q->FieldByName("S")->AsString(), s);
            EXPECT_EQ(q->FieldByName("V")->IsNull(), v.empty());
            EXPECT_TRUE(Same(q->FieldByName("V")->AsVariant().AsString(), v));
        };
        for (int pass = 0; pass < 2; ++pass) {
            expectRow(2, t100k, t100k, sized);
            expectRow(1, t1501, t1501, "kratko");
            expectRow(3, "", "", "");
            expectRow(4, "kratek", "kratek", "k");
        }
        // Another column of each long row changed and saved: the long texts stay as they
        // were, in the database and in the dataset.
        for (int id : {1, 2}) {
            ASSERT_TRUE(q->Locate("Id", TVariant(int64_t{id}), 0));
            q->Edit();
            q->FieldByName("U")->SetAsString("novo");
            q->Post();
            EXPECT_TRUE(Holds(id, "U", "novo"));
            const std::string& whole = id == 1 ? t1501 : t100k;
            EXPECT_TRUE(Holds(id, "V", whole));
            EXPECT_TRUE(Holds(id, "T", whole));
            EXPECT_TRUE(Same(q->FieldByName("V")->AsString(), whole));
        }
        expectRow(4, "kratek", "kratek", "k");
        expectRow(2, t100k, t100k, sized);
        EXPECT_EQ(q->FieldByName("U")->AsString(), "novo");
        // The column has shown that it holds texts longer than its reported size: the long
        // text itself changed goes in whole.
        ASSERT_TRUE(q->Locate("Id", TVariant(int64_t{1}), 0));
        q->Edit();
        q->FieldByName("V")->SetAsString(t1501 + "!");
        EXPECT_TRUE(Same(q->FieldByName("V")->AsString(), t1501 + "!"));
        q->Post();
        EXPECT_TRUE(Holds(1, "V", t1501 + "!"));
        EXPECT_TRUE(Holds(1, "T", t1501));
        // A short text over a long one, and a long one over a short one.
        q->Edit();
        q->FieldByName("V")->SetAsString("kratko");
        q->Post();
        ASSERT_TRUE(q->Locate("Id", TVariant(int64_t{4}), 0));
        q->Edit();
        q->FieldByName("V")->SetAsString(t1501);
        q->Post();
        EXPECT_TRUE(Holds(1, "V", "kratko"));
        EXPECT_TRUE(Holds(4, "V", t1501));
        expectRow(1, "kratko", t1501, "kratko");
        // A sized column the database holds to its size still cuts what is typed past it;
        // one seen holding longer texts (SQLite) takes them.
        q->Edit();
        q->FieldByName("S")->SetAsString(std::string(16, 'n'));
        EXPECT_EQ(q->FieldByName("S")->AsString(), std::string(IsSQLite() ? 16 : 10, 'n'));
        q->Cancel();
        q->Close();
    }
}

TEST_P(DataSetLongTextTest, ALongTextAnotherUserWroteIsRefreshedWholeAndChangedWhole) {
    const std::string t1501 = Text(1501, 'z');
    Exec({"DROP TABLE IF EXISTS Dolgi", "CREATE TABLE Dolgi (Id INTEGER PRIMARY KEY, V VARCHAR)",
          "INSERT INTO Dolgi VALUES (1, 'kratek')"});
    TOEQuery* q = Query({"SELECT * FROM Dolgi"});
    q->SetRequestLive(true);
    q->SetEditable(true);
    q->HStmt().SetConcurrencyType(SQL_CONCUR_VALUES);
    q->Open();
    ASSERT_EQ(q->FieldByName("V")->AsString(), "kratek");
    // Another user's write; over SQLite on this connection, whose open read keeps the file
    // locked for others.
    const std::string update = "UPDATE Dolgi SET V = '" + t1501 + "' WHERE Id = 1";
    if (IsSQLite()) {
        THstmt other;
        other.SetHdbc(conn);
        other.SetSQL(update);
        other.Execute();
    } else {
        Exec({update});
    }
    q->Refresh();
    EXPECT_TRUE(Same(q->FieldByName("V")->AsString(), t1501));
    // The refreshed row showed the column holding more than its reported size.
    q->Edit();
    q->FieldByName("V")->SetAsString(t1501 + "!");
    q->Post();
    EXPECT_TRUE(Holds(1, "V", t1501 + "!"));
    EXPECT_TRUE(Same(q->FieldByName("V")->AsString(), t1501 + "!"));
    q->Close();
}

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetLongTextTest);

} // namespace
} // namespace zen
