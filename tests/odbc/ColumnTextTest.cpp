// Text forms of column values and the reading of SQL texts, independent of any driver.

#include "odbc/ColumnText.h"
#include "odbc/Catalog.h"
#include "odbc/SqlText.h"
#include "odbc/TypeMapping.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

namespace zen {
namespace {

TEST(ColumnText, FloatsAreWrittenInTwentyThreeCharacterScientificForm) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    ASSERT_TRUE(sl.Available());
    EXPECT_EQ(FormatFloatSci(1.5), " 1.50000000000000E+0000");
    EXPECT_EQ(FormatFloatSci(-1234.5678), "-1.23456780000000E+0003");
    EXPECT_EQ(FormatFloatSci(0.00025), " 2.50000000000000E-0004");
    EXPECT_EQ(FormatFloatSci(0.0), " 0.00000000000000E+0000");
    EXPECT_EQ(FormatFloatSci(1e300), " 1.00000000000000E+0300");
    EXPECT_EQ(FormatFloatSci(1.5).size(), 23u);
    EXPECT_EQ(FormatFloatSci(-1e-300).size(), 23u);
}

TEST(ColumnText, DatesTimesAndTimestampsUseTheirSeparatorsAndTwoDigitParts) {
    EXPECT_EQ(FormatDateText({2001, 3, 2}), "2001-03-02");
    EXPECT_EQ(FormatTimeText({4, 5, 6}), "04:05:06");
    TDateTimeRec ts{2001, 3, 2, 4, 5, 6, 0};
    EXPECT_EQ(FormatTimestampText(ts), "2001-03-02 04:05:06.000000000");
    ts.fraction = 1500;
    EXPECT_EQ(FormatTimestampText(ts), "2001-03-02 04:05:06.000001500");
    // The year has four digits, so that the text reads back by position.
    EXPECT_EQ(FormatDateText({7, 1, 1}), "0007-01-01");
    SQL_DATE_STRUCT back{};
    ASSERT_TRUE(ParseDateText(FormatDateText({999, 12, 31}), back));
    EXPECT_EQ(back.year, 999);
}

TEST(ColumnText, DateTextsAreReadByPositionAndTheFractionAsAFraction) {
    TDateTimeRec ts{};
    ASSERT_TRUE(ParseTimestampText("2001-03-02 04:05:06.000001500", ts));
    EXPECT_EQ(ts.year, 2001);
    EXPECT_EQ(ts.month, 3);
    EXPECT_EQ(ts.day, 2);
    EXPECT_EQ(ts.hour, 4);
    EXPECT_EQ(ts.minute, 5);
    EXPECT_EQ(ts.second, 6);
    EXPECT_EQ(ts.fraction, 1500u);
    ASSERT_TRUE(ParseTimestampText("2001/03/02T04.05.06,5", ts));
    EXPECT_EQ(ts.fraction, 500000000u);
    ASSERT_TRUE(ParseTimestampText("2001-03-02 04:05:06", ts));
    EXPECT_EQ(ts.fraction, 0u);
    EXPECT_FALSE(ParseTimestampText("2001-03-02 04:05", ts));
    EXPECT_FALSE(ParseTimestampText("2001-3-2", ts));
    SQL_DATE_STRUCT d{};
    EXPECT_FALSE(ParseDateText("20x1-03-02", d));
    SQL_TIME_STRUCT t{};
    ASSERT_TRUE(ParseTimeText("23:59:58", t));
    EXPECT_EQ(t.second, 58);
}

TEST(ColumnText, NumbersAreReadWholeAndRoundedToEven) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    double d = 0;
    EXPECT_TRUE(ParseDoubleText("  2.5 ", d));
    EXPECT_EQ(d, 2.5);
    EXPECT_TRUE(ParseDoubleText("+1e3", d));
    EXPECT_EQ(d, 1000.0);
    EXPECT_FALSE(ParseDoubleText("2,5", d));
    EXPECT_FALSE(ParseDoubleText("12a", d));
    EXPECT_FALSE(ParseDoubleText("", d));
    EXPECT_FALSE(ParseDoubleText("+-5", d)) << "one sign, as every reader takes numbers";
    // A database's NaN or infinity is read as what it is, not as 0.
    EXPECT_TRUE(ParseDoubleText(" NaN", d));
    EXPECT_TRUE(std::isnan(d));
    EXPECT_TRUE(ParseDoubleText("-Infinity", d));
    EXPECT_TRUE(std::isinf(d));
    int64_t i = 0;
    EXPECT_TRUE(ParseInt64Text("-42", i));
    EXPECT_EQ(i, -42);
    EXPECT_FALSE(ParseInt64Text("12a", i));
    EXPECT_FALSE(ParseInt64Text("2.5", i));
    EXPECT_FALSE(ParseInt64Text("+-5", i));
    EXPECT_FALSE(ParseInt64Text("99999999999999999999", i));

    EXPECT_EQ(RoundToInt32(2.5), 2);
    EXPECT_EQ(RoundToInt32(3.5), 4);
    EXPECT_EQ(RoundToInt32(-2.5), -2);
    EXPECT_EQ(RoundToInt32(2.6), 3);
    EXPECT_EQ(RoundToInt32(4294967296.0 + 7), 7); // low 32 bits
    EXPECT_EQ(RoundToInt32(1e300), 0);
}

TEST(ColumnText, TrimmingCutsOnlyTheNamedEnds) {
    EXPECT_EQ(TrimText("  a b  ", stTrimNone), "  a b  ");
    EXPECT_EQ(TrimText("  a b  ", stTrimTrailing), "  a b");
    EXPECT_EQ(TrimText("  a b  ", stTrimLeading), "a b  ");
    EXPECT_EQ(TrimText("  a b  ", stTrimBoth), "a b");
    EXPECT_EQ(TrimText("   ", stTrimBoth), "");
}

TEST(SqlText, NamedParametersBecomeMarkersOutsideLiterals) {
    std::vector<std::string> names;
    EXPECT_EQ(ParseSqlParams("SELECT * FROM T WHERE A = :a AND B = ':b'", names),
              "SELECT * FROM T WHERE A = ? AND B = ':b'");
    EXPECT_EQ(names, std::vector<std::string>{"a"});

    // A doubled quote stays inside the literal.
    EXPECT_EQ(ParseSqlParams("SELECT 'it''s :x' , :Kljuc_1, :@p, :Kljuc_1 FROM T", names),
              "SELECT 'it''s :x' , ?, ?, ? FROM T");
    EXPECT_EQ(names, (std::vector<std::string>{"Kljuc_1", "@p", "Kljuc_1"}));

    // Text after a closed literal is outside again.
    EXPECT_EQ(ParseSqlParams("WHERE a = '' AND b=:b", names), "WHERE a = '' AND b=?");
    EXPECT_EQ(names, std::vector<std::string>{"b"});
}

TEST(SqlText, AColonWithoutANameIsRefused) {
    std::vector<std::string> names;
    for (const char* sql : {"SELECT * FROM T WHERE A = :", "SELECT a :: int FROM T",
                            "SELECT * FROM T WHERE A = : a"}) {
        try {
            ParseSqlParams(sql, names);
            ADD_FAILURE() << sql;
        } catch (const EODBCExpress& e) {
            EXPECT_STREQ(e.what(), "Invalid parameter token in SQL statement.");
        }
    }
}

TEST(SqlText, RowCountQueryCountsFromTheFromClauseWithoutOrdering) {
    EXPECT_EQ(CountQueryText("SELECT A FROM T ORDER BY A").value_or(""), "SELECT Count(*) FROM T");
    EXPECT_EQ(
        CountQueryText("SELECT *\r\nFROM Ms \r\nWHERE Ident = :i\r\nORDER BY IDENT ").value_or(""),
        "SELECT Count(*) FROM Ms   WHERE Ident = :i ");
    EXPECT_EQ(CountQueryText("select a,b from t where x in (1,2)").value_or(""),
              "SELECT Count(*) from t where x in (1,2)");
    EXPECT_FALSE(CountQueryText("SELECT DISTINCT A FROM T"));
    EXPECT_FALSE(CountQueryText("SELECT A FROM T UNION SELECT B FROM U"));
    EXPECT_FALSE(CountQueryText("SELECT 1"));
    // Groups are rows of the result, not rows of the table.
    EXPECT_FALSE(CountQueryText("SELECT A, Count(*) FROM T GROUP BY A"));
    EXPECT_FALSE(CountQueryText("SELECT A FROM T ORDER BY A LIMIT 5"));
    EXPECT_FALSE(CountQueryText("SELECT A FROM T ORDER BY A FETCH FIRST 5 ROWS ONLY"));
    EXPECT_FALSE(CountQueryText("SELECT A FROM T ORDER BY A OFFSET 5 ROWS"));
    EXPECT_FALSE(CountQueryText("SELECT TOP 5 A FROM T"));

    // Each parameter kept is bound from its own place in the query counted; those in the
    // select list and the ordering are gone.
    auto q = CountQuery("SELECT :tag AS t, ':x', A FROM T WHERE A < :hi AND B = :tag "
                        "ORDER BY :o");
    ASSERT_TRUE(q);
    EXPECT_EQ(q->text, "SELECT Count(*) FROM T WHERE A < :hi AND B = :tag");
    EXPECT_EQ(q->params, (std::vector<size_t>{2, 3}));
}

TEST(TypeMapping, SqlTypesGiveFieldTypesAndParametersTheirCTypes) {
    EXPECT_EQ(FieldTypeOfSqlType(SQL_VARCHAR, true), ftString);
    EXPECT_EQ(FieldTypeOfSqlType(SQL_NUMERIC, true), ftFloat);
    EXPECT_EQ(FieldTypeOfSqlType(SQL_SMALLINT, true), ftSmallint);
    EXPECT_EQ(FieldTypeOfSqlType(SQL_SMALLINT, false), ftWord);
    EXPECT_EQ(FieldTypeOfSqlType(SQL_TYPE_TIMESTAMP, true), ftDateTime);
    EXPECT_EQ(FieldTypeOfSqlType(SQL_LONGVARCHAR, true), ftMemo);
    EXPECT_EQ(FieldTypeOfSqlType(SQL_GUID, true), ftUnknown);
    EXPECT_EQ(CTypeOfFieldType(ftCurrency), SQL_C_DOUBLE);
    EXPECT_EQ(CTypeOfFieldType(ftMemo), SQL_C_CHAR);
    EXPECT_EQ(SqlTypeOfCType(SQL_C_USHORT), SQL_SMALLINT);
    // A column's C type and its element: every fixed-size SQL type is read into exactly its
    // C form, and back to an SQL type of its own kind.
    EXPECT_EQ(CTypeOfSqlType(SQL_DECIMAL, false), SQL_C_CHAR);
    EXPECT_EQ(CTypeOfSqlType(SQL_INTEGER, true), SQL_C_ULONG);
    const std::pair<SQLSMALLINT, size_t> fixed[] = {
        {SQL_DOUBLE, sizeof(SQLDOUBLE)},
        {SQL_REAL, sizeof(SQLREAL)},
        {SQL_INTEGER, sizeof(SQLINTEGER)},
        {SQL_SMALLINT, sizeof(SQLSMALLINT)},
        {SQL_TINYINT, 1},
        {SQL_BIGINT, sizeof(SQLBIGINT)},
        {SQL_BIT, 1},
        {SQL_TYPE_DATE, sizeof(SQL_DATE_STRUCT)},
        {SQL_TYPE_TIME, sizeof(SQL_TIME_STRUCT)},
        {SQL_TYPE_TIMESTAMP, sizeof(SQL_TIMESTAMP_STRUCT)}};
    for (auto [sqlType, size] : fixed) {
        for (bool isUnsigned : {false, true}) {
            const SQLSMALLINT cType = CTypeOfSqlType(sqlType, isUnsigned);
            EXPECT_EQ(CTypeSize(cType), static_cast<SQLLEN>(size)) << sqlType;
            EXPECT_EQ(SqlTypeOfCType(cType), sqlType) << sqlType;
        }
    }
    EXPECT_EQ(SqlTypeOfCType(SQL_C_WCHAR), 99);
    EXPECT_EQ(CTypeSize(SQL_C_TYPE_TIMESTAMP), 16);
    EXPECT_EQ(ParamTypeOfOdbc(SQL_RETURN_VALUE), ptResult);
    EXPECT_EQ(OdbcOfParamType(ptResult), SQL_PARAM_OUTPUT);
}

TEST(Catalog, ProcedureNamesLoseTheirGroupNumberAndBlanks) {
    EXPECT_EQ(ProcedureBaseName("UpdPrices;1"), "UpdPrices");
    EXPECT_EQ(ProcedureBaseName("  UpdPrices ;1"), "UpdPrices");
    EXPECT_EQ(ProcedureBaseName("plain"), "plain");
}

} // namespace
} // namespace zen
