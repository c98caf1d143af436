// The statement against both real drivers: parameters, typed column reads and writes,
// row sets, scrolling and bookmarks, row counts and failures.

#include "odbc/Hstmt.h"
#include "StatementFixture.h"
#include "odbc/TypeMapping.h"

#include <QCoreApplication>

#include <cstring>

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::StatementFixture;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

// Forty characters with Slovene letters: the whole width of a VARCHAR(40).
const std::string kWide = "Čebelarstvo Šuštar in Žužek, d.o.o. čšžŠ";

class StatementTest : public StatementFixture {
protected:
    void InsertPoslDog(int count) {
        std::vector<std::string> sql;
        for (int i = 0; i < count; ++i) {
            std::string key = (i < 10 ? "0" : "") + std::to_string(i);
            sql.push_back("INSERT INTO PoslDog (PoslDog, Naziv) VALUES ('" + key + "', 'N" +
                          std::to_string(i % 5) + "')");
        }
        Exec(sql);
    }
};

TEST(StatementParams, NamesAreFoundCaseInsensitivelyAndMissingOnesNamedInCapitals) {
    THstmt s;
    s.SetSQL("SELECT * FROM T WHERE A = :a AND B = ':b' AND C = :Cena");
    EXPECT_EQ(s.ParamNames(), (std::vector<std::string>{"a", "Cena"}));
    EXPECT_EQ(s.ParamByName("CENA"), 2);
    try {
        s.ParamByName("x");
        FAIL();
    } catch (const EODBCExpress& e) {
        EXPECT_STREQ(e.what(), "Token X not found in SQL statement.");
    }
    // The defaults the datasets rely on; a row set of 0 rows is ignored.
    EXPECT_EQ(s.ConcurrencyType(), SQL_CONCUR_READ_ONLY);
    EXPECT_EQ(s.CursorType(), SQL_CURSOR_FORWARD_ONLY);
    s.SetRowSetSize(0);
    EXPECT_EQ(s.RowSetSize(), 1u);
    EXPECT_EQ(s.BlobPlacement(), bpDetect);
    EXPECT_EQ(s.EmptyStringToNull(), enNever);
    EXPECT_EQ(s.StringTrimming(), stTrimTrailing);
    EXPECT_EQ(s.RowCountMethod(), rcFunction);
    EXPECT_EQ(s.NoRowsAffected(), unsigned(nrByUpdate | nrByDelete));
    s.SetBlobSize(1000);
    EXPECT_EQ(s.BlobSize(), 32768);
    s.SetBlobSize(1025);
    EXPECT_EQ(s.BlobSize(), 1025);
    s.SetParamType(SQL_RETURN_VALUE);
    EXPECT_EQ(s.ParamType(), SQL_PARAM_INPUT);
    // Without a connection nothing can run.
    try {
        s.Execute();
        FAIL();
    } catch (const EODBCExpress& e) {
        EXPECT_STREQ(e.what(), "Property Hdbc of  not set.");
    }
}

TEST_P(StatementTest, ExecutesWithTwoBoundParametersPreparedAndDirect) {
    auto ins = Stmt("INSERT INTO PoslDog (PoslDog, Naziv) VALUES (:pd, :naziv)");
    ins->Prepare();
    char pd[3] = "A1";
    char naziv[31] = "Prodaja čšž";
    ins->BindParam(1, SQL_C_CHAR, SQL_VARCHAR, pd);
    ins->BindParam(2, SQL_C_CHAR, SQL_VARCHAR, naziv);
    ins->Execute();
    EXPECT_EQ(ins->NumRowsAffected(), 1);
    // The same bindings with new values.
    std::strcpy(pd, "A2");
    std::strcpy(naziv, "Nabava");
    ins->Execute();
    // A NULL value.
    std::strcpy(pd, "A3");
    ins->BindParam(2, SQL_C_CHAR, SQL_VARCHAR, nullptr);
    ins->Execute();

    auto sel = Stmt("SELECT Naziv FROM PoslDog WHERE PoslDog > :lo AND Naziv <> ':b' "
                    "ORDER BY PoslDog");
    char lo[3] = "A0";
    sel->BindParam(1, SQL_C_CHAR, SQL_VARCHAR, lo);
    // Not prepared: sized from the driver limits ("Default" for both drivers).
    EXPECT_EQ(sel->FindParam(1)->columnSize, 255u);
    EXPECT_EQ(sel->FindParam(1)->nullable, SQL_NULLABLE_UNKNOWN);
    sel->Execute();
    EXPECT_EQ(sel->ParamNames(), std::vector<std::string>{"lo"});
    ASSERT_TRUE(sel->FetchNext());
    EXPECT_EQ(sel->ColAsString(1), "Prodaja čšž");
    ASSERT_TRUE(sel->FetchNext());
    EXPECT_EQ(sel->ColAsString(1), "Nabava");
    EXPECT_FALSE(sel->FetchNext());
    EXPECT_EQ(OdbcTestEnv::Get().Scalar(dsn, "SELECT Count(*) FROM PoslDog WHERE Naziv IS NULL"),
              "1");

    // Named binding skips the description; the values still arrive.
    auto named = Stmt("UPDATE PoslDog SET Naziv = :naziv WHERE PoslDog = :pd");
    named->SetBindByName(true);
    named->Prepare();
    std::strcpy(naziv, "Imenovano");
    named->BindParam(1, SQL_C_CHAR, SQL_VARCHAR, naziv);
    named->BindParam(2, SQL_C_CHAR, SQL_VARCHAR, pd);
    EXPECT_EQ(named->FindParam(2)->columnSize, 255u);
    named->Execute();
    EXPECT_EQ(OdbcTestEnv::Get().Scalar(dsn, "SELECT Naziv FROM PoslDog WHERE PoslDog = 'A3'"),
              "Imenovano");
}

TEST_P(StatementTest, ExecutesParameterArraysAndUpdatesThatTouchNothing) {
    auto ins = Stmt("INSERT INTO PoslDog (PoslDog, Naziv) VALUES (:k, :n)");
    ins->Prepare();
    // Text arrays have 256-byte elements.
    char keys[3][256] = {"B1", "B2", "B3"};
    char names[3][256] = {"Ena", "Dva", "Tri"};
    ins->BindParamMain(1, SQL_C_CHAR, 3, SQL_NULLABLE_UNKNOWN, 0, 2, SQL_VARCHAR, keys);
    ins->BindParamMain(2, SQL_C_CHAR, 3, SQL_NULLABLE_UNKNOWN, 0, 30, SQL_VARCHAR, names);
    ins->Execute();
    EXPECT_EQ(OdbcTestEnv::Get().Scalar(dsn, "SELECT Count(*) FROM PoslDog"), "3");
    EXPECT_EQ(OdbcTestEnv::Get().Scalar(dsn, "SELECT Naziv FROM PoslDog WHERE PoslDog = 'B3'"),
              "Tri");
    EXPECT_THROW(
        ins->BindParamMain(1, SQL_C_CHAR, 3, SQL_NULLABLE_UNKNOWN, 0, 0, SQL_LONGVARCHAR, keys),
        EODBCExpress);

    auto upd = Stmt("UPDATE PoslDog SET Naziv = 'x' WHERE PoslDog = 'none'");
    upd->Execute(); // no row: not an error
    EXPECT_TRUE(upd->Executed());
    EXPECT_EQ(upd->NumRowsAffected(), 0);
}

TEST_P(StatementTest, ReadsEveryColumnKindAsTextNumberAndDateTime) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    ASSERT_TRUE(sl.Available());
    Exec({"INSERT INTO Promet (Kljuc, Izdajatelj, DniZaPlac, Tecaj, Vrednost, Datum, Dokument1) "
          "VALUES ('K1', '" +
              kWide + "', 30, 2.5, 1234.5678, '2001-03-02 04:05:06', '12a')",
          "INSERT INTO Promet (Kljuc, Tecaj) VALUES ('K2', 3.5)",
          "INSERT INTO PrometPoz (Kljuc, Poz, Garancija) VALUES ('K1', 1, -3)"});
    auto s = Stmt("SELECT Kljuc, Izdajatelj, DniZaPlac, Tecaj, Vrednost, Datum, Dokument1, "
                  "Prejemnik FROM Promet ORDER BY Kljuc");
    s->Execute();
    ASSERT_TRUE(s->FetchNext());
    ASSERT_EQ(s->NumCols(), 8);
    EXPECT_EQ(s->ColNames()[1], IsSQLite() ? "Izdajatelj" : "izdajatelj");

    // The whole width of Slovene letters fits: four bytes a character and the terminator.
    EXPECT_EQ(s->ColSqlType(2), SQL_VARCHAR);
    EXPECT_EQ(s->ColElementSize(2), 40 * 4 + 1);
    EXPECT_EQ(s->ColAsString(2), kWide);

    EXPECT_EQ(s->ColCType(3), SQL_C_SLONG);
    EXPECT_EQ(s->ColAsInteger(3), 30);
    EXPECT_EQ(s->ColAsString(3), "30");
    EXPECT_EQ(s->ColAsDouble(3), 30.0);

    EXPECT_EQ(s->ColCType(4), SQL_C_DOUBLE);
    EXPECT_EQ(s->ColAsDouble(4), 2.5);
    EXPECT_EQ(s->ColAsInteger(4), 2);
    EXPECT_EQ(s->ColAsString(4), " 2.50000000000000E+0000");

    EXPECT_EQ(FieldTypeOfSqlType(s->ColSqlType(5), true), ftFloat);
    EXPECT_DOUBLE_EQ(s->ColAsDouble(5), 1234.5678);
    EXPECT_EQ(s->ColAsInteger(5), 1235);

    EXPECT_EQ(s->ColSqlType(6), SQL_TYPE_TIMESTAMP);
    EXPECT_EQ(s->ColAsString(6), "2001-03-02 04:05:06.000000000");
    TDateTimeRec ts = s->ColAsDateTimeRec(6);
    EXPECT_EQ(ts.year, 2001);
    EXPECT_EQ(ts.month, 3);
    EXPECT_EQ(ts.day, 2);
    EXPECT_EQ(ts.hour, 4);
    EXPECT_EQ(ts.minute, 5);
    EXPECT_EQ(ts.second, 6);
    EXPECT_EQ(s->ColAsDouble(6), 0.0);

    EXPECT_EQ(s->ColAsString(7), "12a");
    EXPECT_EQ(s->ColAsInteger(7), 0);
    EXPECT_EQ(s->ColAsDouble(7), 0.0);

    EXPECT_TRUE(s->ColIsNull(8));
    EXPECT_EQ(s->ColAsString(8), "");
    EXPECT_EQ(s->ColAsInteger(8), 0);
    EXPECT_FALSE(s->ColIsNull(1));

    ASSERT_TRUE(s->FetchNext());
    EXPECT_EQ(s->ColAsInteger(4), 4);
    EXPECT_TRUE(s->ColIsNull(6));
    ts = s->ColAsDateTimeRec(6);
    EXPECT_EQ(ts.year, 1899);
    EXPECT_EQ(ts.month, 12);
    EXPECT_EQ(ts.day, 30);
    EXPECT_EQ(ts.hour, 0);
    // Out of range columns and rows read as nothing.
    EXPECT_EQ(s->ColAsString(9), "");
    EXPECT_EQ(s->ColAsInteger(4, 2), 0);
    EXPECT_FALSE(s->FetchNext());

    s->SetStringTrimming(stTrimBoth);
    s->Execute();
    ASSERT_TRUE(s->FetchNext());
    EXPECT_EQ(s->ColAsString(4), "2.50000000000000E+0000");

    auto poz = Stmt("SELECT Garancija FROM PrometPoz");
    poz->Execute();
    ASSERT_TRUE(poz->FetchNext());
    EXPECT_EQ(poz->ColCType(1), SQL_C_SSHORT);
    EXPECT_EQ(FieldTypeOfSqlType(poz->ColSqlType(1), poz->ColCType(1) == SQL_C_SSHORT), ftSmallint);
    EXPECT_EQ(poz->ColAsInteger(1), -3);
    EXPECT_EQ(poz->ColAsString(1), "-3");
}

TEST_P(StatementTest, WritesValuesWithTheNullRulesAndRefusesWhatDoesNotFit) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    Exec({"INSERT INTO Promet (Kljuc, Prejemnik, DniZaPlac) VALUES ('K1', 'x', 1)"});
    auto s = Stmt("SELECT Kljuc, Prejemnik, DniZaPlac, Tecaj, Datum FROM Promet");
    s->Execute();
    ASSERT_TRUE(s->FetchNext());

    s->SetEmptyStringToNull(enIfNullable);
    ASSERT_EQ(s->ColNullable(2), SQL_NULLABLE);
    s->SetColString(2, "");
    EXPECT_TRUE(s->ColIsNull(2));
    if (IsSQLite()) {
        // SQLite ODBC reports every column nullable, NOT NULL ones too.
        EXPECT_EQ(s->ColNullable(1), SQL_NULLABLE);
    } else {
        // The key is NOT NULL: an empty text stays an empty text.
        ASSERT_EQ(s->ColNullable(1), SQL_NO_NULLS);
        s->SetColString(1, "");
        EXPECT_FALSE(s->ColIsNull(1));
        EXPECT_EQ(s->ColAsString(1), "");
    }
    s->SetEmptyStringToNull(enNever);
    s->SetColString(2, "");
    EXPECT_FALSE(s->ColIsNull(2));

    // Trailing blanks go by the default trimming; the stored length follows.
    s->SetColString(2, "Žiga  ");
    EXPECT_EQ(s->ColAsString(2), "Žiga");
    EXPECT_EQ(s->ColDataSize(2), 5);
    // Forty characters fit, whatever their bytes; forty-one do not, whatever their bytes.
    s->SetColString(2, kWide);
    EXPECT_EQ(s->ColAsString(2), kWide);
    s->SetColString(2, std::string(40, 'x'));
    EXPECT_EQ(s->ColDataSize(2), 40);
    for (const std::string& wide : {std::string(41, 'x'), kWide + "x", kWide + "č"}) {
        EXPECT_THROW(s->SetColString(2, wide), EODBCExpress) << wide;
    }
    EXPECT_EQ(s->ColAsString(2), std::string(40, 'x'));

    s->SetColString(3, "42");
    EXPECT_EQ(s->ColAsInteger(3), 42);
    s->SetColDouble(3, 2.5);
    EXPECT_EQ(s->ColAsInteger(3), 2);
    s->SetColDouble(3, 3.5);
    EXPECT_EQ(s->ColAsInteger(3), 4);
    EXPECT_THROW(s->SetColString(3, "12a"), EConvertError);
    EXPECT_THROW(s->SetColInt64(3, int64_t(1) << 40), EConvertError);
    EXPECT_EQ(s->ColAsInteger(3), 4);

    // Not a number, whatever the locale says: the decimal separator is ".".
    EXPECT_THROW(s->SetColString(4, "1,5"), EConvertError);
    s->SetColDouble(4, 0.1 + 0.2);
    EXPECT_EQ(s->ColAsDouble(4), 0.1 + 0.2);
    s->SetColString(4, " 1.50000000000000E+0000");
    EXPECT_EQ(s->ColAsDouble(4), 1.5);

    TDateTimeRec ts{2001, 3, 2, 4, 5, 6, 0};
    s->SetColDateTimeRec(5, ts);
    EXPECT_EQ(s->ColAsString(5), "2001-03-02 04:05:06.000000000");
    s->SetColDateTimeRec(2, ts);
    EXPECT_EQ(s->ColAsString(2), "2001-03-02 04:05:06.000000000");
    EXPECT_THROW(s->SetColString(5, "2001-03"), EConvertError);
    s->SetColString(5, "");
    EXPECT_TRUE(s->ColIsNull(5));

    s->SetColNull(3);
    EXPECT_TRUE(s->ColIsNull(3));
    EXPECT_EQ(s->ColAsString(3), "");
    s->SetColIgnored(3, true);
    EXPECT_TRUE(s->ColIgnored(3));
    EXPECT_EQ(s->ColDataSize(3), SQL_COLUMN_IGNORE);
    s->SetColIgnored(3, false);
    s->SetColInteger(3, 7);
    EXPECT_FALSE(s->ColIgnored(3));
}

TEST_P(StatementTest, NumbersOfEverySignAndSizeAreWrittenAsTheDatabaseTakesThem) {
    Exec({"DROP TABLE IF EXISTS Stevila",
          "CREATE TABLE Stevila (Id INTEGER PRIMARY KEY, I INTEGER, S SMALLINT, "
          "N52 NUMERIC(5,2), N154 NUMERIC(15,4), T VARCHAR(10))",
          "INSERT INTO Stevila (Id, T) VALUES (0, '-5')"});
    auto s = Stmt("SELECT Id, I, S, N52, N154, T FROM Stevila");
    s->SetTargetTable("Stevila");
    s->SetWritesThroughCursor(false);
    s->Execute();
    ASSERT_TRUE(s->FetchNext());
    // A text holding a negative whole number reads as that number.
    EXPECT_EQ(s->ColAsInteger(6), -5);
    EXPECT_EQ(s->ColAsInt64(6), -5);
    s->CloseCursor();
    auto insert = [&](int id, int32_t i, int64_t small, double n52, double n154) {
        s->SetColInteger(1, id);
        s->SetColInteger(2, i);
        s->SetColInt64(3, small);
        s->SetColDouble(4, n52);
        s->SetColDouble(5, n154);
        s->SetColNull(6);
        s->InsertRow();
    };
    insert(1, -1, -9, 123.45, -1234567890.1234);
    insert(2, INT32_MIN, -32768, -999.99, 0.1 + 0.2);
    insert(3, INT32_MAX, 32767, 0.125, 2.5);
    const auto row = [&](int id) {
        return OdbcTestEnv::Get().Scalar(
            dsn, "SELECT CAST(I AS VARCHAR(20)) || '/' || CAST(S AS VARCHAR(10)) || '/' || "
                 "CAST(ROUND(N52 * 100) AS INTEGER) || '/' || "
                 "CAST(ROUND(N154 * 10000) AS BIGINT) FROM Stevila WHERE Id = " +
                     std::to_string(id));
    };
    EXPECT_EQ(row(1), "-1/-9/12345/-12345678901234");
    EXPECT_EQ(row(2), "-2147483648/-32768/-99999/3000");
    EXPECT_EQ(row(3), "2147483647/32767/13/25000");
    // What does not fit is refused, and the element keeps its value.
    s->SetColInt64(3, -7);
    EXPECT_THROW(s->SetColInt64(3, -32769), EConvertError);
    EXPECT_THROW(s->SetColInt64(2, int64_t{INT32_MIN} - 1), EConvertError);
    EXPECT_THROW(s->SetColString(5, "12,5"), EConvertError);
    EXPECT_EQ(s->ColAsInteger(3), -7);
    const auto held = [&] { return std::string(static_cast<const char*>(s->ColMemory(5))); };
    s->SetColString(5, "1.5E+3");
    EXPECT_EQ(held(), IsSQLite() ? "1500" : "1500.0000");
    if (IsSQLite()) {
        // SQLite's driver tells no decimal's precision or scale, and the file keeps any
        // number: nothing is rounded or refused.
        s->SetColString(5, "1234.56785");
        EXPECT_EQ(held(), "1234.56785");
        return;
    }
    // Rounded to the scale half away from zero, as the database rounds.
    for (const auto& [given, kept] : std::vector<std::pair<std::string, std::string>>{
             {"1234.56785", "1234.5679"},
             {" -0.00005 ", "-0.0001"},
             {"-0.00004", "0.0000"},
             {"99999999999.99994", "99999999999.9999"}}) {
        s->SetColString(5, given);
        EXPECT_EQ(held(), kept) << given;
    }
    EXPECT_THROW(s->SetColDouble(4, 1000), EConvertError);
    EXPECT_THROW(s->SetColDouble(4, -999.995), EConvertError);
    EXPECT_THROW(s->SetColString(5, "99999999999.99995"), EConvertError);
    EXPECT_THROW(s->SetColString(5, "1e12"), EConvertError);
    EXPECT_EQ(held(), "99999999999.9999");
}

TEST_P(StatementTest, FetchesFortyFiveRowsInThreeRowSetsOfTwenty) {
    InsertPoslDog(45);
    auto s = Stmt("SELECT PoslDog, Naziv FROM PoslDog ORDER BY PoslDog");
    s->SetRowSetSize(20);
    s->Execute();
    ASSERT_TRUE(s->FetchNext());
    // VARCHAR(2): nine bytes a row, twenty rows in one array.
    EXPECT_EQ(s->ColElementSize(1), 9);
    EXPECT_EQ(s->NumRowsFetched(), 20u);
    EXPECT_EQ(s->ColAsString(1, 1), "00");
    EXPECT_EQ(s->ColAsString(1, 20), "19");
    EXPECT_EQ(s->ColAsString(2, 7), "N1");
    ASSERT_TRUE(s->FetchNext());
    EXPECT_EQ(s->NumRowsFetched(), 20u);
    EXPECT_EQ(s->ColAsString(1, 1), "20");
    EXPECT_EQ(s->ColAsString(1, 20), "39");
    ASSERT_TRUE(s->FetchNext());
    EXPECT_EQ(s->NumRowsFetched(), 5u);
    EXPECT_EQ(s->ColAsString(1, 5), "44");
    EXPECT_TRUE(s->RowValid(5));
    EXPECT_FALSE(s->RowValid(6));
    EXPECT_EQ(s->RowStatus(21), SQL_ROW_NOROW);

    s->SetRowFlags(2, rfUpdate);
    EXPECT_EQ(s->RowFlags(2), rfUpdate);
    EXPECT_FALSE(s->FetchNext());
    EXPECT_EQ(s->NumRowsFetched(), 0u);
    EXPECT_EQ(s->RowFlags(2), 0); // cleared by every fetch

    // A changed row set size closes the statement: bindings are made anew.
    s->SetRowSetSize(1);
    EXPECT_EQ(s->NumCols(), 0);
    EXPECT_FALSE(s->Executed());
}

TEST_P(StatementTest, ScrollsAndReturnsToABookmark) {
    InsertPoslDog(45);
    for (bool bound : {false, true}) {
        SCOPED_TRACE(bound ? "bound bookmarks" : "bookmarks read on request");
        auto s = Stmt("SELECT PoslDog, Naziv FROM PoslDog ORDER BY PoslDog");
        s->SetCursorType(SQL_CURSOR_KEYSET_DRIVEN);
        s->SetBindBookmarks(bound);
        s->Init();
        // Both drivers give a static cursor for a keyset-driven one (PostgreSQL's reads
        // through a server cursor under the tests' data source, UseDeclareFetch); the
        // statement keeps what the driver took, and the capabilities of that cursor.
        EXPECT_EQ(s->CursorType(), SQL_CURSOR_STATIC);
        ASSERT_TRUE(s->CursorCapabilities() & SQL_CA1_BOOKMARK);
        EXPECT_EQ(s->BindBookmarks(), bound);
        s->Execute();

        ASSERT_TRUE(s->FetchLast());
        // SQLite cannot bind the bookmark column: its bookmarks are read row by row.
        EXPECT_EQ(s->BindBookmarks(), bound && !IsSQLite());
        EXPECT_EQ(s->ColAsString(1), "44");
        ASSERT_TRUE(s->FetchPrev());
        EXPECT_EQ(s->ColAsString(1), "43");
        ASSERT_TRUE(s->FetchAbsolute(10));
        EXPECT_EQ(s->ColAsString(1), "09");
        std::vector<unsigned char> mark = s->GetBookmark();
        ASSERT_EQ(mark.size(), static_cast<size_t>(s->BookmarkLength()));
        ASSERT_TRUE(s->FetchFirst());
        EXPECT_EQ(s->ColAsString(1), "00");
        EXPECT_NE(s->GetBookmark(), mark);
        ASSERT_TRUE(s->FetchBookmark(mark));
        EXPECT_EQ(s->ColAsString(1), "09");
        ASSERT_TRUE(s->FetchNext());
        EXPECT_EQ(s->ColAsString(1), "10");

        EXPECT_FALSE(s->FetchAbsolute(100));
        EXPECT_EQ(s->NumRowsFetched(), 0u);
        EXPECT_TRUE(s->GetBookmark().empty());
    }
}

TEST_P(StatementTest, CountsRowsByCountQueryOrByFetching) {
    InsertPoslDog(45);
    auto s = Stmt("SELECT PoslDog FROM PoslDog ORDER BY PoslDog");
    s->Execute();
    EXPECT_EQ(s->RowCount(), 45);

    // With at most ten rows, only a count query can still say 45; fetching gives ten.
    auto m = Stmt("SELECT PoslDog FROM PoslDog ORDER BY PoslDog");
    m->SetMaxRows(10);
    m->Execute();
    m->SetRowCountMethod(rcSelect);
    EXPECT_EQ(m->RowCount(), 45);
    m->SetRowCountMethod(rcTraverse);
    EXPECT_EQ(m->RowCount(), 10);

    // DISTINCT is counted by fetching: a count of the table would say 45.
    s->SetSQL("SELECT DISTINCT Naziv FROM PoslDog");
    s->SetRowCountMethod(rcSelect);
    EXPECT_EQ(s->RowCount(), 5);

    // The parameters are bound again on the counting statement.
    s->SetSQL("SELECT PoslDog FROM PoslDog WHERE PoslDog < :hi ORDER BY PoslDog");
    s->Prepare();
    char hi[3] = "12";
    s->BindParam(1, SQL_C_CHAR, SQL_VARCHAR, hi);
    s->Execute();
    EXPECT_EQ(s->RowCount(), 12);

    s->SetRowCountMethod(rcCustom);
    s->OnRowCount = [](TObject*) { return 99L; };
    EXPECT_EQ(s->RowCount(), 99);
    s->OnRowCount = [](TObject*) { return -1L; };
    EXPECT_EQ(s->RowCount(), 12);

    // A parameter in the select list does not shift the others: the count query (which
    // alone can pass the five-row limit) binds :hi as :hi.
    s->SetSQL("SELECT :tag AS t, PoslDog FROM PoslDog WHERE PoslDog < :hi ORDER BY PoslDog");
    s->SetRowCountMethod(rcSelect);
    s->SetMaxRows(5);
    s->Prepare();
    char tag[3] = "99";
    s->BindParam(1, SQL_C_CHAR, SQL_VARCHAR, tag);
    s->BindParam(2, SQL_C_CHAR, SQL_VARCHAR, hi);
    s->Execute();
    EXPECT_EQ(s->RowCount(), 12);

    // A limit of the query itself is counted by fetching (SQLite knows only LIMIT).
    s->SetMaxRows(0);
    s->SetSQL(IsSQLite() ? "SELECT PoslDog FROM PoslDog ORDER BY PoslDog LIMIT 3"
                         : "SELECT PoslDog FROM PoslDog ORDER BY PoslDog FETCH FIRST 3 ROWS ONLY");
    s->Execute();
    EXPECT_EQ(s->RowCount(), 3);
}

TEST_P(StatementTest, AFailingStatementRaisesEODBCWithTheDriversRecords) {
    auto s = Stmt("SELECT * FROM NoSuchTable");
    try {
        s->Execute();
        FAIL() << "no exception";
    } catch (const EODBC& e) {
        EXPECT_EQ(e.Source(), s.get());
        EXPECT_EQ(e.RetCode(), SQL_ERROR);
        ASSERT_GE(e.RecordCount(), 1);
        EXPECT_EQ(e.Message(), e.Records()[0].message);
        EXPECT_NE(e.Message().find(IsSQLite() ? "no such table" : "nosuchtable"), std::string::npos)
            << e.Message();
        EXPECT_EQ(e.Records()[0].sqlState.size(), 5u);
    }
    EXPECT_FALSE(s->Executed());
    // The statement is usable again.
    s->SetSQL("SELECT Count(*) FROM PoslDog");
    s->Execute();
    ASSERT_TRUE(s->FetchNext());
    EXPECT_EQ(s->ColAsInteger(1), 0);
}

TEST_P(StatementTest, RunsAsynchronouslyOrFallsBackToSynchronous) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    InsertPoslDog(3);
    auto s = Stmt("SELECT PoslDog FROM PoslDog ORDER BY PoslDog");
    s->SetExecAsync(true);
    int events = 0;
    s->AfterExecute = [&](TObject*) { ++events; };
    s->Execute();
    EXPECT_EQ(events, 1);
    ASSERT_TRUE(s->FetchNext());
    // Fetching works in synchronous mode again.
    s->Execute();
    ASSERT_TRUE(s->FetchNext());
    EXPECT_EQ(s->ColAsString(1), "00");
    s->SetSQL("SELECT * FROM NoSuchTable");
    EXPECT_THROW(s->Execute(), EODBC);
}

TEST_P(StatementTest, SettingsCloseAndADisconnectTerminates) {
    auto s = Stmt("SELECT PoslDog FROM PoslDog");
    int prepares = 0;
    s->AfterPrepare = [&](TObject*) { ++prepares; };
    s->Prepare();
    EXPECT_TRUE(s->Prepared());
    EXPECT_EQ(prepares, 1);
    s->Execute();
    s->BindCols();
    EXPECT_EQ(s->ColNames(), std::vector<std::string>{IsSQLite() ? "PoslDog" : "posldog"});
    EXPECT_EQ(s->ColByName("POSLDOG"), 1);
    try {
        s->ColByName("Naziv");
        FAIL();
    } catch (const EODBCExpress& e) {
        EXPECT_STREQ(e.what(), "Identifier Naziv not found in result set.");
    }
    s->SetSQL("SELECT Naziv FROM PoslDog");
    EXPECT_FALSE(s->Prepared());
    EXPECT_TRUE(s->ColNames().empty());

    int terminated = 0;
    s->BeforeTerminate = [&](TObject*) { ++terminated; };
    s->Execute();
    EXPECT_TRUE(s->Allocated());
    db->Disconnect();
    EXPECT_FALSE(s->Allocated());
    EXPECT_EQ(terminated, 1);
    // The next use connects and allocates again.
    s->Execute();
    EXPECT_TRUE(db->Connected());
    EXPECT_FALSE(s->FetchNext());
}

ZEN_INSTANTIATE_FOR_DRIVERS(StatementTest);

} // namespace
} // namespace zen
