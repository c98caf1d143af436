// Key lookups over real datasets on both drivers. The statements sent are counted at the
// driver manager's door (SQLExecute and SQLExecDirect are wrapped at link time).

#include "LogReader.h"
#include "StatementFixture.h"
#include "dataset/ODSI.h"
#include "dbutil/StdProc.h"
#include "odbc/OCLError.h"

#include <gtest/gtest.h>
#include <sql.h>

#include <cmath>

using namespace zen;
using namespace zen::test;

namespace {
int g_executions = 0;
int g_prepares = 0;
} // namespace

extern "C" {
SQLRETURN __real_SQLExecute(SQLHSTMT);
SQLRETURN __wrap_SQLExecute(SQLHSTMT h) {
    ++g_executions;
    return __real_SQLExecute(h);
}
SQLRETURN __real_SQLPrepare(SQLHSTMT, SQLCHAR*, SQLINTEGER);
SQLRETURN __wrap_SQLPrepare(SQLHSTMT h, SQLCHAR* text, SQLINTEGER len) {
    ++g_prepares;
    return __real_SQLPrepare(h, text, len);
}
SQLRETURN __real_SQLExecDirect(SQLHSTMT, SQLCHAR*, SQLINTEGER);
SQLRETURN __wrap_SQLExecDirect(SQLHSTMT h, SQLCHAR* text, SQLINTEGER len) {
    ++g_executions;
    return __real_SQLExecDirect(h, text, len);
}
}

static auto* const odbcEnv = RegisterOdbcTestEnv();

namespace {

using Keys = std::vector<TVariant>;

class FindKeyTest : public StatementFixture {
protected:
    void SetUp() override {
        StatementFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        Exec({"INSERT INTO Ms (Ident, Naziv, VPCena) VALUES ('A1', 'Prvi', 1.5)",
              "INSERT INTO Ms (Ident, Naziv, VPCena) VALUES ('AB1', 'Drugi', 2.25)",
              "INSERT INTO Ms (Ident, Naziv, VPCena) VALUES ('AB2', 'Drugi', 0.1)",
              "INSERT INTO Ms (Ident, Naziv, VPCena) VALUES ('B1', 'Tretji', 1e20)"});
    }
    void TearDown() override {
        ds_.reset();
        StatementFixture::TearDown();
    }

    // A dataset as the main window designs them: two lines, each ending in a blank.
    TOEQuery& Query(const std::string& table, const std::string& order) {
        ds_ = std::make_unique<TOEQuery>();
        ds_->SetName("tb" + table);
        ds_->SetHdbc(db.get());
        design_ = {"SELECT * FROM " + table + " ", "ORDER BY " + order + " "};
        ds_->SetSQL(design_);
        return *ds_;
    }
    std::string Line() const { return ds_->SQL().Count() == 1 ? ds_->SQL()[0] : "(lines)"; }
    std::string Current(const std::string& field) const {
        return ds_->FieldByName(field)->AsString();
    }
    // Opens the designed query and moves to the row whose `field` holds `value`.
    void StandOn(TOEQuery& ds, const std::string& field, const std::string& value) {
        if (ds.SQL().Count() == 1) {
            ds.SetSQL(design_);
        }
        ds.Open();
        for (ds.First(); !ds.Eof() && ds.FieldByName(field)->AsString() != value; ds.Next()) {
        }
        ASSERT_FALSE(ds.Eof()) << value;
    }

    TempHome home_;
    std::unique_ptr<TOEQuery> ds_;
    std::vector<std::string> design_;
};

} // namespace

TEST_P(FindKeyTest, RebuildsTheQueryOnTheKeyAndFromItsOwnRebuildAgain) {
    TOEQuery& ds = Query("Ms", "IDENT");
    ds.SetSQL({"select * from Ms", "order by Ident"});
    int before = g_executions;
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"AB1"}));
    EXPECT_GT(g_executions, before);
    EXPECT_EQ(Line(), " SELECT * FROM MS  WHERE  Ident = 'AB1'");
    EXPECT_EQ(Current("Naziv"), "Drugi");

    // The second lookup cuts the first one's conditions off, and its head is the first
    // one's (no blank is added again); an order text is added.
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"B1"}, "IDENT DESC"));
    EXPECT_EQ(Line(), " SELECT * FROM MS  WHERE  Ident = 'B1' ORDER BY IDENT DESC");
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"AB1"}));
    EXPECT_EQ(Line(), " SELECT * FROM MS  WHERE  Ident = 'AB1'");
    EXPECT_FALSE(sqlFindKey(ds, "Ident", Keys{"C9"}));
    EXPECT_TRUE(ds.Active());
    EXPECT_TRUE(ds.IsEmpty());

    // Surplus columns are ignored; integers and reals give parenthesised conditions with ".".
    ScopedLocale sl("sl_SI.UTF-8");
    ASSERT_TRUE(sl.Available());
    EXPECT_TRUE(sqlFindKey(ds, "VPCena;Ident", Keys{2.25}));
    EXPECT_EQ(Line(), " SELECT * FROM MS  WHERE  (VPCena = 2.25)");
    EXPECT_TRUE(sqlFindKey(ds, "VPCena", Keys{0.1}));
    EXPECT_EQ(Current("Ident"), "AB2");
    EXPECT_TRUE(sqlFindKey(ds, "VPCena", Keys{1e20}));
    EXPECT_EQ(Current("Ident"), "B1");
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST_P(FindKeyTest, RepeatedLookupsKeepTheQueryAtOneLength) {
    TOEQuery& ds = Query("Ms", "IDENT");
    // Keys of one length, alternating, so that every lookup rebuilds and reopens.
    const std::string keys[] = {"AB1", "AB2"};
    ASSERT_TRUE(sqlFindKey(ds, "Ident", Keys{keys[0]}, {}, ktLiteral));
    const std::string first = Line();
    for (int i = 1; i < 1000; ++i) {
        ASSERT_TRUE(sqlFindKey(ds, "Ident", Keys{keys[i % 2]}, {}, ktLiteral)) << i;
        ASSERT_EQ(Line().size(), first.size()) << i << ": " << Line();
    }
    EXPECT_EQ(Line(), " SELECT * FROM MS   WHERE  Ident = 'AB2'");
    // A rebuilt query that ends in its head (no key, no order) is rebuilt to itself.
    ds.Close();
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{}));
    EXPECT_EQ(Line(), " SELECT * FROM MS  ");
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"B1"}));
    EXPECT_EQ(Line(), " SELECT * FROM MS   WHERE  Ident = 'B1'");
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

// A lookup narrows the query the dataset was designed with and keeps that design apart:
// however often it was narrowed, the design comes back as it was written, every lookup is
// built from it, and a query set meanwhile becomes the design.
TEST_P(FindKeyTest, TheDesignIsKeptThroughLookupsAndGivenBackWhole) {
    TOEQuery& ds = Query("Ms", "IDENT");
    const std::vector<std::string> design{"select * from Ms ", "order by Ident desc "};
    ds.SetSQL(design);
    EXPECT_FALSE(ds.Narrowed());
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"A1"}));
    TCaughtFault caught;
    EXPECT_TRUE(sqlFindKeyBound(ds, "Ident", "B1", caught));
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"AB1"}));
    EXPECT_EQ(Line(), " SELECT * FROM MS   WHERE  Ident = 'AB1'");
    EXPECT_TRUE(ds.Narrowed());
    EXPECT_EQ(ds.DesignedSQL(), design);

    ds.RestoreDesign();
    EXPECT_FALSE(ds.Narrowed());
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(ds.SQL().Lines(), design);
    ds.Open();
    int rows = 0;
    std::string last = Current("Ident");
    for (ds.First(); !ds.Eof(); ds.Next(), ++rows) {
        EXPECT_LE(Current("Ident"), last) << "the design's order";
        last = Current("Ident");
    }
    EXPECT_EQ(std::to_string(rows),
              test::OdbcTestEnv::Get().Scalar(dsn, "SELECT COUNT(*) FROM Ms"));

    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"A1"}));
    const std::vector<std::string> other{"SELECT Ident FROM Ms"};
    ds.SetSQL(other);
    EXPECT_FALSE(ds.Narrowed()) << "a query set from outside is the new design";
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"B1"}));
    EXPECT_EQ(Line(), " SELECT IDENT FROM MS WHERE  Ident = 'B1'");
    ds.RestoreDesign();
    EXPECT_EQ(ds.SQL().Lines(), other);
    EXPECT_FALSE(caught);
}

TEST_P(FindKeyTest, ThreeKeyColumns) {
    Exec({"INSERT INTO SubjektCenik (Subjekt, Ident, PreIzd, Cena) VALUES ('A', 'B', 'C', 3)",
          "INSERT INTO SubjektCenik (Subjekt, Ident, PreIzd, Cena) VALUES ('A', 'B', 'D', 4)"});
    TOEQuery& ds = Query("SubjektCenik", "SUBJEKT,IDENT,PREIZD");
    EXPECT_TRUE(sqlFindKey(ds, "SUBJEKT;IDENT;PREIZD", Keys{"A", "B", "C"}));
    EXPECT_EQ(Line(), " SELECT * FROM SUBJEKTCENIK   WHERE  SUBJEKT = 'A' AND IDENT = 'B' AND "
                      "PREIZD = 'C'");
    EXPECT_EQ(ds.FieldByName("Cena")->AsFloat(), 3);
    EXPECT_TRUE(sqlFindKey(ds, "SUBJEKT;IDENT;PREIZD", Keys{"A", "B", "D"}));
    EXPECT_EQ(ds.FieldByName("Cena")->AsFloat(), 4);
}

TEST_P(FindKeyTest, NoQueryWhenTheDatasetAlreadyStandsOnTheKey) {
    TOEQuery& ds = Query("Ms", "IDENT");
    StandOn(ds, "Ident", "AB2");
    int before = g_executions;
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"AB2"}));
    EXPECT_EQ(Current("Ident"), "AB2");
    // The first row does not carry the key: the cursor stays.
    EXPECT_TRUE(sqlFindKey(ds, "Naziv", Keys{"Drugi"}));
    EXPECT_EQ(Current("Ident"), "AB2");
    // The first row carries it as well: the cursor goes there.
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"A%"}));
    EXPECT_EQ(Current("Ident"), "A1");
    // No values: every row carries the key.
    ds.Next();
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{}));
    EXPECT_EQ(Current("Ident"), "A1");
    EXPECT_EQ(g_executions, before);
    EXPECT_EQ(ds.SQL().Count(), 2);

    // Closed, with no values: the whole table, whatever it holds.
    ds.Close();
    Exec({"DELETE FROM Ms"});
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{}));
    EXPECT_EQ(Line(), " SELECT * FROM MS  ");
    EXPECT_TRUE(ds.IsEmpty());
}

TEST_P(FindKeyTest, PercentMakesAPrefixPatternUnlessTheTextIsLiteral) {
    TOEQuery& ds = Query("Ms", "IDENT");
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"AB%"}));
    EXPECT_EQ(Line(), " SELECT * FROM MS   WHERE  Ident LIKE 'AB%'");
    EXPECT_EQ(Current("Ident"), "AB1");
    // SQLite's LIKE returns AB1 for "ab%"; the test still compares bytes.
    EXPECT_FALSE(sqlFindKey(ds, "Ident", Keys{"ab%"}));

    // SQLite lets no other connection write while a dataset reads.
    TOEQuery& subjekt = Query("Subjekt", "NAZIV");
    Exec({"INSERT INTO Subjekt (Naziv) VALUES ('100 Mbit d.o.o.')"});
    StandOn(subjekt, "Naziv", "100 Mbit d.o.o.");
    EXPECT_FALSE(sqlFindKey(subjekt, "Naziv", Keys{"100% Net d.o.o."}, "", ktLiteral));
    EXPECT_EQ(Line(), " SELECT * FROM SUBJEKT   WHERE  Naziv = '100% Net d.o.o.'");
    subjekt.Close();
    Exec({"INSERT INTO Subjekt (Naziv) VALUES ('100% Net d.o.o.')"});
    StandOn(subjekt, "Naziv", "100 Mbit d.o.o.");
    EXPECT_TRUE(sqlFindKey(subjekt, "Naziv", Keys{"100% Net d.o.o."}, "", ktLiteral));
    EXPECT_EQ(Current("Naziv"), "100% Net d.o.o.");
    // Typed by hand, the same text is a pattern that the row already on "100" satisfies.
    StandOn(subjekt, "Naziv", "100 Mbit d.o.o.");
    EXPECT_TRUE(sqlFindKey(subjekt, "Naziv", Keys{"100% Net d.o.o."}));
    EXPECT_EQ(Current("Naziv"), "100 Mbit d.o.o.");
}

TEST_P(FindKeyTest, ApostrophesStayInsideTheValue) {
    const std::vector<std::string> names = {"O'Brien d.o.o.", "Gostilna 'Pri Janezu'",
                                            "x' OR '1'='1"};
    Exec({"INSERT INTO Subjekt (Naziv) VALUES ('Alfa')",
          "INSERT INTO Subjekt (Naziv) VALUES ('1')"});
    TOEQuery& ds = Query("Subjekt", "NAZIV");
    for (TKeyTexts texts : {ktPattern, ktLiteral}) {
        for (const std::string& name : names) {
            EXPECT_FALSE(sqlFindKey(ds, "Naziv", Keys{name}, "", texts)) << name;
            EXPECT_TRUE(ds.IsEmpty()) << name;
        }
    }
    ds.Close();
    Exec({"INSERT INTO Subjekt (Naziv) VALUES ('O''Brien d.o.o.')",
          "INSERT INTO Subjekt (Naziv) VALUES ('Gostilna ''Pri Janezu''')",
          "INSERT INTO Subjekt (Naziv) VALUES ('x'' OR ''1''=''1')"});
    for (TKeyTexts texts : {ktPattern, ktLiteral}) {
        for (const std::string& name : names) {
            EXPECT_TRUE(sqlFindKey(ds, "Naziv", Keys{name}, "", texts)) << name;
            EXPECT_EQ(Current("Naziv"), name);
            ds.Next();
            EXPECT_TRUE(ds.Eof()) << name;
        }
    }
    EXPECT_TRUE(Line().ends_with("   WHERE  Naziv = 'x'' OR ''1''=''1'")) << Line();
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST_P(FindKeyTest, DatesAreComparedAsTheirSqlText) {
    Exec({"INSERT INTO Subjekt (Naziv, DatumIzj) VALUES ('B', '2025-01-01 00:00:00')",
          "INSERT INTO Subjekt (Naziv, DatumIzj) VALUES ('C', '2024-02-29 00:00:00')"});
    TOEQuery& ds = Query("Subjekt", "NAZIV");
    StandOn(ds, "Naziv", "C");
    int before = g_executions;
    EXPECT_TRUE(sqlFindKey(ds, "DatumIzj", Keys{"02/29/24"}));
    EXPECT_EQ(g_executions, before);
    // A value of another kind (null here) narrows nothing: the whole table is read and
    // its first row tested.
    ds.Close();
    EXPECT_FALSE(sqlFindKey(ds, "Naziv;DatumIzj", Keys{TVariant::Null()}));
    EXPECT_EQ(Line(), " SELECT * FROM SUBJEKT  ");
    EXPECT_EQ(Current("Naziv"), "B");
}

TEST_P(FindKeyTest, FailuresAreLoggedUnderTheFailingOperation) {
    TOEQuery& ds = Query("Ms", "IDENT");
    StandOn(ds, "Ident", "A1");
    // The test cannot find the field; the query then fails on the server.
    EXPECT_FALSE(sqlFindKey(ds, "Nima", Keys{"A1"}));
    EXPECT_FALSE(ds.Active());
    EXPECT_EQ(Line(), " SELECT * FROM MS   WHERE  Nima = 'A1'");
    StandOn(ds, "Ident", "A1");
    EXPECT_FALSE(sqlFindKeyTest(ds, {"Naziv"}, Keys{7}));
    std::string where;
    sqlFindKeySetWhereReal(where, "Cena", std::nan(""));
    EXPECT_EQ(where, "");

    std::vector<std::string> ops;
    for (const auto& r : test::ReadExceptionLog()) {
        ops.push_back(r.operation + " " + r.exceptObject + " " + r.senderName + " " + r.objectName);
    }
    EXPECT_EQ(ops, (std::vector<std::string>{"sqlFindKeyTest EDatabaseError TOEQuery tbMs",
                                             "sqlFindKey EODBC TOEQuery tbMs",
                                             "sqlFindKeyTest EConvertError TOEQuery tbMs",
                                             "sqlFindKeySetWhereReal EInvalidOp TApplication "}));
}

// A caller that keeps what the lookup caught tells a failure from a missing row; the
// answer itself stays the same for both.
TEST_P(FindKeyTest, AFailedLookupSaysWhatItCaughtAndAMissingRowDoesNot) {
    TOEQuery& ds = Query("Ms", "IDENT");
    TCaughtFault none;
    EXPECT_FALSE(sqlFindKey(ds, "Ident", Keys{"ZZ"}, "", ktLiteral, none));
    EXPECT_TRUE(sqlFindKey(ds, "Ident", Keys{"A1"}, "", ktLiteral, none));
    EXPECT_FALSE(none);

    // "WHERE" inside a name: the query is cut there and the server refuses what is left.
    ds.SetSQL({"SELECT Ident, 1 AS NOWHERE FROM Ms ", "ORDER BY IDENT "});
    TCaughtFault refused;
    EXPECT_FALSE(sqlFindKey(ds, "Ident", Keys{"A1"}, "", ktLiteral, refused));
    ASSERT_TRUE(refused);
    // The step that failed first is the one reported: the test's unknown field, not the
    // server's refusal of the query that followed.
    ds.SetSQL(design_);
    StandOn(ds, "Ident", "A1");
    TCaughtFault unknownField;
    EXPECT_FALSE(sqlFindKey(ds, "Nima", Keys{"A1"}, "", ktLiteral, unknownField));

    std::vector<test::LogRow> log = test::ReadExceptionLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(refused.ClassName(), "EODBC");
    EXPECT_EQ(log[0].operation, "sqlFindKey");
    EXPECT_EQ(refused.Message().substr(0, 100), log[0].error.substr(0, 100));
    EXPECT_EQ(unknownField.ClassName(), "EDatabaseError");
    EXPECT_EQ(log[1].operation, "sqlFindKeyTest");
    EXPECT_EQ(unknownField.Message(), log[1].error);
    EXPECT_EQ(log[2].exceptObject, "EODBC");
    // Raised again, the exception is the one the lookup caught, class and text.
    try {
        refused.Rethrow();
    } catch (const EODBC& e) {
        EXPECT_EQ(e.what(), refused.Message());
    }
}

// The lookups of a transfer run: each text is found only as it stands, whatever it holds,
// and the query is prepared once for every key.
TEST_P(FindKeyTest, ABoundLookupFindsTextsAsTheyStandAndPreparesOnce) {
    const std::vector<std::string> names = {"O'Brien d.o.o.", "100% Net d.o.o.", "A_c",
                                            "x' OR '1'='1", "Čevljar Šoštanj"};
    for (const std::string& name : names) {
        Exec({"INSERT INTO Subjekt (Naziv) VALUES (" + SqlQuoted(name) + ")"});
    }
    Exec({"INSERT INTO Subjekt (Naziv) VALUES ('100 Mbit d.o.o.')",
          "INSERT INTO Subjekt (Naziv) VALUES ('Abc')"});
    TOEQuery& ds = Query("Subjekt", "NAZIV");
    const int prepares = g_prepares;
    const TField* field = nullptr;
    for (int round = 0; round < 2; ++round) {
        for (const std::string& name : names) {
            TCaughtFault caught;
            EXPECT_TRUE(sqlFindKeyBound(ds, "Naziv", name, caught)) << name;
            EXPECT_EQ(Current("Naziv"), name);
            // Run again in place: the fields of the first lookup serve every other.
            field = field ? field : ds.FieldByName("Naziv");
            EXPECT_EQ(ds.FieldByName("Naziv"), field);
            ds.Next();
            EXPECT_TRUE(ds.Eof()) << name;
            EXPECT_FALSE(caught);
        }
        for (const std::string& absent :
             std::vector<std::string>{"100%", "A%", "ABC", std::string(41, 'x'), std::string()}) {
            TCaughtFault caught;
            EXPECT_FALSE(sqlFindKeyBound(ds, "Naziv", absent, caught)) << absent;
            EXPECT_FALSE(caught) << absent;
        }
    }
    EXPECT_EQ(Line(), " SELECT * FROM SUBJEKT   WHERE Naziv = :KEY");
    EXPECT_EQ(g_prepares - prepares, 1);
    // Another connection may write meanwhile (SQLite locks the file for a half-read query).
    Exec({"INSERT INTO Subjekt (Naziv) VALUES ('Nov')"});
    TCaughtFault late;
    EXPECT_TRUE(sqlFindKeyBound(ds, "Naziv", "Nov", late));
    // A key that two rows hold: the dataset stands on the first, the second follows.
    Exec({"INSERT INTO Subjekt (Naziv, Naziv2) VALUES ('Prvi dvojnik', 'Dvojnik')",
          "INSERT INTO Subjekt (Naziv, Naziv2) VALUES ('Drugi dvojnik', 'Dvojnik')"});
    TCaughtFault twice;
    EXPECT_TRUE(sqlFindKeyBound(ds, "Naziv2", "Dvojnik", twice));
    EXPECT_EQ(Current("Naziv2"), "Dvojnik");
    ds.Next();
    EXPECT_EQ(Current("Naziv2"), "Dvojnik");
    ds.Next();
    EXPECT_TRUE(ds.Eof());
    // An empty key is a text like any other, as in the plain lookup.
    Exec({"INSERT INTO Subjekt (Naziv, Naziv2) VALUES ('Brez drugega imena', '')"});
    TCaughtFault empty;
    EXPECT_TRUE(sqlFindKeyBound(ds, "Naziv2", "", empty));
    EXPECT_EQ(Current("Naziv"), "Brez drugega imena");
    EXPECT_TRUE(sqlFindKey(ds, "Naziv2", Keys{""}, "", ktLiteral));
    EXPECT_EQ(Current("Naziv"), "Brez drugega imena");
    // The plain lookup takes the dataset back from the bound one, and the other way round.
    EXPECT_TRUE(sqlFindKey(ds, "Naziv", Keys{"Abc"}, "", ktLiteral));
    EXPECT_EQ(Line(), " SELECT * FROM SUBJEKT   WHERE  Naziv = 'Abc'");
    TCaughtFault caught;
    EXPECT_TRUE(sqlFindKeyBound(ds, "Naziv", "A_c", caught));
    EXPECT_EQ(Current("Naziv"), "A_c");
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

// Run again over a result read only in part, and over one read to its end: the rows come
// afresh either way.
TEST_P(FindKeyTest, RequeryReadsTheRowsAfreshHoweverFarTheLastWereRead) {
    for (int i = 1; i <= 30; ++i) {
        Exec({"INSERT INTO Subjekt (Naziv) VALUES ('R" + std::string(i < 10 ? "0" : "") +
              std::to_string(i) + "')"});
    }
    TOEQuery& ds = Query("Subjekt", "NAZIV");
    ds.Open();
    ds.Next();
    ASSERT_EQ(Current("Naziv"), "R02");
    ds.Requery();
    EXPECT_EQ(Current("Naziv"), "R01");
    // Read to the end, which over SQLite lets other connections write.
    ds.Last();
    Exec({"INSERT INTO Subjekt (Naziv) VALUES ('R00')"});
    ds.Requery();
    int rows = 0;
    for (ds.First(); !ds.Eof(); ds.Next()) {
        EXPECT_EQ(Current("Naziv"), (rows < 10 ? "R0" : "R") + std::to_string(rows));
        ++rows;
    }
    EXPECT_EQ(rows, 31);
    ds.Requery(); // after the last row
    EXPECT_EQ(Current("Naziv"), "R00");
    ds.Last();
    Exec({"DELETE FROM Subjekt"});
    ds.Requery();
    EXPECT_TRUE(ds.IsEmpty());
}

ZEN_INSTANTIATE_FOR_DRIVERS(FindKeyTest);
