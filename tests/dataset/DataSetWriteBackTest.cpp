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

TEST_P(DataSetWriteBackTest, KeysAreTheRowsOwnValuesSoAWriteNeverReachesAnotherRow) {
    for (bool skip : {false, true}) {
        SCOPED_TRACE(Path(skip));
        // Keys that differ only where a trimmed text or a double cannot tell them apart.
        Exec({"DROP TABLE IF EXISTS KText", "DROP TABLE IF EXISTS KNum",
              "CREATE TABLE KText (K VARCHAR(5) PRIMARY KEY, V VARCHAR(10))",
              "INSERT INTO KText VALUES ('AB', 'a')", "INSERT INTO KText VALUES ('AB ', 'b')",
              "CREATE TABLE KNum (K NUMERIC(20,0) PRIMARY KEY, V VARCHAR(10))",
              "INSERT INTO KNum VALUES (9007199254740992, 'a')",
              "INSERT INTO KNum VALUES (9007199254740993, 'b')"});
        for (const char* table : {"KText", "KNum"}) {
            SCOPED_TRACE(table);
            TOEQuery* q = Live(std::string("SELECT * FROM ") + table + " ORDER BY V", skip);
            q->Open();
            q->Next();
            ASSERT_EQ(q->FieldByName("V")->AsString(), "b");
            q->Edit();
            q->FieldByName("V")->SetAsString("b2");
            q->Post();
            const std::string t = table;
            EXPECT_EQ(Scalar("SELECT COUNT(*) FROM " + t + " WHERE V = 'a'"), "1");
            EXPECT_EQ(Scalar("SELECT COUNT(*) FROM " + t + " WHERE V = 'b2'"), "1");
            // Refresh reads the row itself again, and Delete removes it alone.
            q->Refresh();
            EXPECT_EQ(q->FieldByName("V")->AsString(), "b2");
            q->Delete();
            EXPECT_EQ(Scalar("SELECT COUNT(*) FROM " + t), "1");
            EXPECT_EQ(Scalar("SELECT V FROM " + t), "a");
            q->Close();
        }
    }
}

TEST_P(DataSetWriteBackTest, AGeneratedWriteThatReachesSeveralRowsIsRefused) {
    Exec({"DROP TABLE IF EXISTS Dvojni", "CREATE TABLE Dvojni (G INTEGER, V VARCHAR(10))",
          "INSERT INTO Dvojni VALUES (1, 'a')", "INSERT INTO Dvojni VALUES (1, 'b')"});
    TOEQuery* q = Live("SELECT * FROM Dvojni ORDER BY V", true);
    q->HStmt().Target().SetPrimaryCols({"G"});
    q->Open();
    q->Edit();
    q->FieldByName("V")->SetAsString("x");
    EXPECT_THROW(q->Post(), EODBC);
    EXPECT_EQ(q->State(), dsEdit);
    q->Cancel();
    EXPECT_THROW(q->Delete(), EODBC);
    EXPECT_EQ(q->FieldByName("V")->AsString(), "a");
    q->Close();
}

TEST_P(DataSetWriteBackTest, AnEditWritesOnlyTheColumnsItChangedAndLeavesTheRestExact) {
    // Values the record buffer cannot hold exactly: bytes with a zero inside, decimals
    // beyond a double, microseconds, trailing blanks; on PostgreSQL a UUID as well.
    const bool pg = !IsSQLite();
    Exec({"DROP TABLE IF EXISTS Tocno",
          std::string("CREATE TABLE Tocno (Id INTEGER PRIMARY KEY, B ") +
              (pg ? "BYTEA" : "VARBINARY(8)") +
              ", N1 NUMERIC(20,4), N2 NUMERIC(18,0), T TIMESTAMP, S VARCHAR(10), X VARCHAR(10)" +
              (pg ? ", U UUID" : "") + ")",
          std::string("INSERT INTO Tocno VALUES (1, ") + (pg ? "'\\x41004200'" : "X'41004200'") +
              ", 12345678901234.5678, 123456789012345678, '2024-01-02 03:04:05.123456', 'AB ', "
              "'x'" +
              (pg ? ", 'a0eebc99-9c0b-4ef8-bb6d-6bb9bd380a11'" : "") + ")"});
    const std::string hex = pg ? "encode(B, 'hex')" : "lower(hex(B))";
    const std::string text = pg ? "CAST(N1 AS VARCHAR) || '/' || CAST(N2 AS VARCHAR)"
                                : "CAST(N1 AS TEXT) || '/' || CAST(N2 AS TEXT)";
    for (bool skip : {false, true}) {
        SCOPED_TRACE(Path(skip));
        TOEQuery* q = Live("SELECT * FROM Tocno", skip);
        q->Open();
        q->Edit();
        q->FieldByName("X")->SetAsString(skip ? "y" : "z");
        q->Post();
        EXPECT_EQ(Scalar("SELECT X FROM Tocno"), skip ? "y" : "z");
        EXPECT_EQ(Scalar("SELECT " + hex + " FROM Tocno"), "41004200");
        EXPECT_EQ(Scalar("SELECT " + text + " FROM Tocno"),
                  pg ? "12345678901234.5678/123456789012345678"
                     : "12345678901234.6/123456789012345678");
        EXPECT_NE(Scalar("SELECT T FROM Tocno").find("03:04:05.123456"), std::string::npos);
        EXPECT_EQ(Scalar("SELECT S || '|' FROM Tocno"), "AB |");
        // A second edit of the same record still finds and keeps the row.
        q->Edit();
        q->FieldByName("X")->SetAsString("w");
        q->Post();
        EXPECT_EQ(Scalar("SELECT X || '/' || S || '|' FROM Tocno"), "w/AB |");
        q->Close();
    }
}

TEST_P(DataSetWriteBackTest, AFailedPostLeavesNoKeyBehindAndEarlyYearsPost) {
    // A column narrower than its field: SQLite's TINYINT, PostgreSQL's REAL.
    Exec({"DROP TABLE IF EXISTS Zgodnji",
          std::string("CREATE TABLE Zgodnji (Id INTEGER PRIMARY KEY, F ") +
              (IsSQLite() ? "TINYINT" : "REAL") + ", D TIMESTAMP, V VARCHAR(10))",
          "INSERT INTO Zgodnji VALUES (1, 1, NULL, 'a')",
          "INSERT INTO Zgodnji VALUES (2, 2, NULL, 'b')",
          "INSERT INTO Zgodnji VALUES (3, 3, NULL, 'c')"});
    TOEQuery* q = Live("SELECT * FROM Zgodnji ORDER BY Id", true);
    q->Open();
    // A value the column cannot take fails the post before anything is written.
    q->Edit();
    q->FieldByName("F")->SetAsFloat(IsSQLite() ? 200 : 1e300);
    EXPECT_ANY_THROW(q->Post());
    q->Cancel();
    q->Next();
    Elsewhere("UPDATE Zgodnji SET V = 'b*' WHERE Id = 2");
    q->Refresh();
    EXPECT_EQ(q->FieldByName("V")->AsString(), "b*");
    q->Delete();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Zgodnji WHERE Id = 1"), "1");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Zgodnji WHERE Id = 2"), "0");
    // A date before the year 1000 is written as the date it is.
    q->Edit();
    q->FieldByName("D")->SetAsDateTime(EncodeDate(999, 12, 31));
    q->Post();
    EXPECT_EQ(Scalar("SELECT D FROM Zgodnji WHERE Id = 3").substr(0, 10), "0999-12-31");
    q->Close();
}

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

TEST_P(DataSetWriteBackTest, AfterARefreshTheRowIsSavedAgainstTheValuesRefreshed) {
    Exec({"DROP TABLE IF EXISTS Tuji", "CREATE TABLE Tuji (Id INTEGER PRIMARY KEY, V VARCHAR(10))",
          "INSERT INTO Tuji VALUES (1, 'a')", "INSERT INTO Tuji VALUES (2, 'b')"});
    TOEQuery* q = Live("SELECT * FROM Tuji ORDER BY Id", false);
    q->Open();
    Elsewhere("UPDATE Tuji SET V = 'tuj' WHERE Id = 1");
    q->Refresh();
    EXPECT_EQ(q->FieldByName("V")->AsString(), "tuj");
    const auto post = [&](const std::string& v) {
        q->Edit();
        q->FieldByName("V")->SetAsString(v);
        q->Post();
    };
    post("moj");
    EXPECT_EQ(Scalar("SELECT V FROM Tuji WHERE Id = 1"), "moj");
    // Away and back: the values saved, not the cursor's old ones.
    q->Next();
    q->Prior();
    EXPECT_EQ(q->FieldByName("V")->AsString(), "moj");
    post("moj2");
    EXPECT_EQ(Scalar("SELECT V FROM Tuji WHERE Id = 1"), "moj2");
    if (!IsSQLite()) {
        // Changed again by another user since: refused, as the cursor refuses it.
        Elsewhere("UPDATE Tuji SET V = 'tuj2' WHERE Id = 1");
        EXPECT_THROW(post("moj3"), EODBC);
        EXPECT_EQ(q->State(), dsEdit);
        q->Cancel();
        EXPECT_THROW(q->Delete(), EODBC);
        EXPECT_EQ(Scalar("SELECT V FROM Tuji WHERE Id = 1"), "tuj2");
        q->Refresh();
    }
    q->Delete();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Tuji"), "1");
    q->Close();
}

TEST_P(DataSetWriteBackTest, APostedNewRowShowsAndKeepsWhatTheDatabaseMadeOfIt) {
    for (bool skip : {false, true}) {
        SCOPED_TRACE(Path(skip));
        Exec({"DELETE FROM PrometPoz"});
        TOEQuery* q = Live("SELECT * FROM PrometPoz ORDER BY Kljuc, Poz", skip);
        q->Open();
        q->Append();
        q->FieldByName("Kljuc")->SetAsString("26IR00001");
        q->FieldByName("Poz")->SetAsInteger(1);
        q->FieldByName("Naziv")->SetAsString("Prva");
        q->Post();
        // Skladisce has the database's default.
        EXPECT_FALSE(q->IsEmpty());
        EXPECT_EQ(q->FieldByName("Skladisce")->AsString(), "01");
        q->Edit();
        EXPECT_EQ(q->State(), dsEdit);
        q->FieldByName("Naziv")->SetAsString("Popravljena");
        q->Post();
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PrometPoz"), "1");
        EXPECT_EQ(Scalar("SELECT Naziv || '/' || Skladisce FROM PrometPoz"), "Popravljena/01");
        // A second new row among rows the cursor has, deleted again: the others stay.
        Exec({"INSERT INTO PrometPoz (Kljuc, Poz, Naziv) VALUES ('26IR00000', 1, 'Stara')"});
        q->Close();
        q->Open();
        q->Append();
        q->FieldByName("Kljuc")->SetAsString("26IR00002");
        q->FieldByName("Poz")->SetAsInteger(1);
        q->Post();
        EXPECT_EQ(q->FieldByName("Skladisce")->AsString(), "01");
        q->Delete();
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PrometPoz"), "2");
        EXPECT_FALSE(q->IsEmpty());
        EXPECT_NE(q->FieldByName("Kljuc")->AsString(), "26IR00002");
        q->Close();
    }
}

TEST_P(DataSetWriteBackTest, TextLongerThanTheDriversSizeIsReadWholeAndKept) {
    // An unsized VARCHAR: both drivers guess 255 for it.
    const std::string longText = std::string(1500, 'a') + "z";
    const std::string text300(300, 'b');
    Exec({"DROP TABLE IF EXISTS Dolgo",
          "CREATE TABLE Dolgo (Id INTEGER PRIMARY KEY, T VARCHAR, U VARCHAR(10))",
          "INSERT INTO Dolgo VALUES (1, '" + longText + "', 'u')",
          "INSERT INTO Dolgo VALUES (2, '" + text300 + "', 'v')"});
    THstmt s;
    s.SetHdbc(conn);
    s.SetSQL("SELECT T FROM Dolgo ORDER BY Id");
    s.Execute();
    ASSERT_TRUE(s.FetchNext());
    EXPECT_EQ(s.ColAsString(1), longText);
    ASSERT_TRUE(s.FetchNext());
    EXPECT_EQ(s.ColAsString(1), text300);
    // The column held longer values than the driver's size: a longer one is written, not
    // refused.
    s.SetColString(1, longText + "!");
    EXPECT_EQ(s.ColAsString(1), longText + "!");
    s.Close();
    for (bool skip : {false, true}) {
        SCOPED_TRACE(Path(skip));
        TOEQuery* q = Live("SELECT * FROM Dolgo ORDER BY Id", skip);
        q->Open();
        q->Next();
        EXPECT_EQ(q->FieldByName("T")->AsString(), text300);
        q->Edit();
        q->FieldByName("U")->SetAsString(skip ? "w" : "x");
        q->Post();
        EXPECT_EQ(Scalar("SELECT U FROM Dolgo WHERE Id = 2"), skip ? "w" : "x");
        EXPECT_EQ(Scalar("SELECT LENGTH(T) FROM Dolgo WHERE Id = 2"), "300");
        EXPECT_EQ(Scalar("SELECT LENGTH(T) FROM Dolgo WHERE Id = 1"), "1501");
        // The column held longer texts than its reported size: a longer one typed into the
        // field is written whole, neither cut nor refused.
        q->Edit();
        q->FieldByName("T")->SetAsString(text300 + "x");
        q->Post();
        EXPECT_EQ(Scalar("SELECT LENGTH(T) FROM Dolgo WHERE Id = 2"), "301");
        EXPECT_EQ(q->FieldByName("T")->AsString(), text300 + "x");
        q->Edit();
        q->FieldByName("T")->SetAsString(text300);
        q->Post();
        EXPECT_EQ(Scalar("SELECT LENGTH(T) FROM Dolgo WHERE Id = 2"), "300");
        q->Close();
    }
}

TEST_P(DataSetWriteBackTest, AWriteThatReachesNoRowIsRefusedNeverTakenForDone) {
    // Keys a driver may pass otherwise than the database holds them: microseconds, and
    // decimals beyond a double.
    Exec({"DROP TABLE IF EXISTS KCas", "DROP TABLE IF EXISTS KDec",
          "CREATE TABLE KCas (K TIMESTAMP PRIMARY KEY, V VARCHAR(10))",
          "INSERT INTO KCas VALUES ('2024-01-02 03:04:05.123456', 'a')",
          "CREATE TABLE KDec (K NUMERIC(20,4) PRIMARY KEY, V VARCHAR(10))",
          "INSERT INTO KDec VALUES (1234567890123456.1234, 'a')"});
    for (const char* table : {"KCas", "KDec"}) {
        SCOPED_TRACE(table);
        const std::string count = std::string("SELECT COUNT(*) FROM ") + table;
        TOEQuery* q = Live(std::string("SELECT * FROM ") + table, true);
        q->Open();
        q->Edit();
        q->FieldByName("V")->SetAsString("b");
        bool updated = false;
        try {
            q->Post();
            updated = true;
        } catch (const EODBC&) {
            q->Cancel();
        }
        EXPECT_EQ(Scalar(count + " WHERE V = 'b'"), updated ? "1" : "0");
        bool deleted = false;
        try {
            q->Delete();
            deleted = true;
        } catch (const EODBC& e) {
            EXPECT_STREQ(e.what(), "No Data Found");
            EXPECT_FALSE(q->IsEmpty());
        }
        EXPECT_EQ(Scalar(count), deleted ? "0" : "1");
        q->Close();
    }
    // Another user's delete: this one's delete reaches nothing and says so.
    Exec({"DELETE FROM KDec", "INSERT INTO KDec VALUES (1, 'a')"});
    TOEQuery* q = Live("SELECT * FROM KDec", true);
    q->Open();
    Elsewhere("DELETE FROM KDec");
    EXPECT_THROW(q->Delete(), EODBC);
    q->Close();
}

TEST_P(DataSetWriteBackTest, AfterAPostEveryRowReadsWholeAndIsFoundInEveryMode) {
    // Each way the dataset keeps and writes its rows: the driver's cursor writing itself,
    // generated statements over it, and the dataset's own cache.
    struct TMode {
        const char* name;
        bool skip;
        bool cached;
    };
    for (const TMode& mode : {TMode{"through the cursor", false, false},
                              TMode{"generated", true, false}, TMode{"cached", false, true}}) {
        SCOPED_TRACE(mode.name);
        Exec({"DELETE FROM Ms"});
        InsertMs({"Prvi", "Drugi", "Tretji", "Cetrti", "Peti"});
        TOEQuery* q = Live("SELECT * FROM Ms ORDER BY Ident", mode.skip);
        q->SetCached(mode.cached);
        q->Open();
        // One column of row 1 changed: the others were left out of its write.
        q->Edit();
        q->FieldByName("Naziv")->SetAsString("Prvi*");
        q->Post();
        auto expectRow = [&](int n, const std::string& naziv) {
            SCOPED_TRACE(n);
            EXPECT_EQ(q->FieldByName("Ident")->AsString(), "A0" + std::to_string(n));
            EXPECT_EQ(q->FieldByName("Naziv")->AsString(), naziv);
            EXPECT_FALSE(q->FieldByName("VPCena")->IsNull());
            EXPECT_DOUBLE_EQ(q->FieldByName("VPCena")->AsFloat(), n * 1.25);
            EXPECT_EQ(q->FieldByName("Garancija")->AsInteger(), n);
        };
        const std::vector<std::string> names{"Prvi*", "Drugi", "Tretji", "Cetrti", "Peti"};
        for (int n = 2; n <= 5; ++n) {
            q->Next();
            expectRow(n, names[static_cast<size_t>(n - 1)]);
        }
        EXPECT_TRUE(q->Locate("Garancija", TVariant(int64_t{3}), 0));
        expectRow(3, "Tretji");
        EXPECT_EQ(q->Lookup("VPCena", TVariant(5 * 1.25), "Naziv").AsString(), "Peti");
        // A new row with most columns unset: the rows read after it keep theirs.
        q->Append();
        q->FieldByName("Ident")->SetAsString("A06");
        q->FieldByName("Naziv")->SetAsString("Sesti");
        q->Post();
        q->First();
        for (int n = 1; n <= 5; ++n) {
            expectRow(n, names[static_cast<size_t>(n - 1)]);
            q->Next();
        }
        EXPECT_TRUE(q->Locate("Ident", TVariant(std::string("A04")), 0));
        expectRow(4, "Cetrti");
        EXPECT_EQ(q->Lookup("Garancija", TVariant(int64_t{2}), "Naziv").AsString(), "Drugi");
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Ms WHERE VPCena IS NOT NULL"), "5");
        q->Close();
    }
}

TEST_P(DataSetWriteBackTest, ANewRowWhoseKeyTheDatabaseMakesIsReadBackByIt) {
    Exec({"DROP TABLE IF EXISTS Samo",
          std::string("CREATE TABLE Samo (Id ") +
              (IsSQLite() ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "SERIAL PRIMARY KEY") +
              ", Ime VARCHAR(10), Stanje VARCHAR(5) DEFAULT 'nov')",
          "INSERT INTO Samo (Ime) VALUES ('star')"});
    for (bool skip : {false, true}) {
        SCOPED_TRACE(Path(skip));
        TOEQuery* q = Live("SELECT * FROM Samo ORDER BY Id", skip);
        q->Open();
        for (const char* ime : {"prvi", "drugi"}) {
            q->Append();
            q->FieldByName("Ime")->SetAsString(ime);
            q->Post();
        }
        // The second row, as the database made it: its key and its default.
        const std::string id = Scalar("SELECT MAX(Id) FROM Samo");
        EXPECT_EQ(q->FieldByName("Id")->AsString(), id);
        EXPECT_EQ(q->FieldByName("Stanje")->AsString(), "nov");
        q->Edit();
        q->FieldByName("Stanje")->SetAsString("star");
        q->Post();
        EXPECT_EQ(Scalar("SELECT Ime || '/' || Stanje FROM Samo WHERE Id = " + id), "drugi/star");
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Samo WHERE Stanje = 'star'"), "1");
        q->Close();
        Exec({"UPDATE Samo SET Stanje = 'nov'"});
    }
}

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetWriteBackTest);

} // namespace
} // namespace zen
