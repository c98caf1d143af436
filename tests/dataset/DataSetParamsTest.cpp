// Named parameters of datasets on both drivers: values of every kind the program's texts
// need, texts longer than any described size, and output parameters of a function.

#include "DataSetFixture.h"
#include "toolkit/DateTime.h"

#include <gtest/gtest.h>

using namespace zen;
using namespace zen::test;

namespace {

class DataSetParamsTest : public DataSetFixture {
protected:
    void SetUp() override {
        DataSetFixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        Exec({"DROP TABLE IF EXISTS ParTest",
              "CREATE TABLE ParTest (Id INTEGER, Naziv VARCHAR(700), Datum DATE, "
              "Opomba VARCHAR(20))"});
    }
    std::vector<std::string> Names(TOEQuery& q) {
        std::vector<std::string> names;
        for (int i = 0; i < q.Params().Count(); ++i) {
            names.push_back(q.Params()[i].Name());
        }
        return names;
    }
};

} // namespace

TEST_P(DataSetParamsTest, NullIntegerDateAndQuotedTextsGoInAndComeBack) {
    TOEQuery* ins = Query({"INSERT INTO ParTest (Id, Naziv, Datum, Opomba) ",
                           "VALUES (:Id, :Naziv, :Datum, :Opomba)"});
    EXPECT_EQ(Names(*ins), (std::vector<std::string>{"Id", "Naziv", "Datum", "Opomba"}));
    const std::string quoted = "O'Brien's ''dvojni'' -- ; DROP TABLE ParTest";
    // Longer than any default bind buffer, and than a text the driver describes short.
    std::string longText;
    for (int i = 0; longText.size() < 650; ++i) {
        longText += "vrstica '" + std::to_string(i) + "' ";
    }
    const TDateTime day = EncodeDate(2026, 2, 28);

    ins->ParamByName("id").SetAsInteger(7);
    ins->ParamByName("NAZIV").SetAsString(quoted);
    ins->ParamByName("Datum").SetAsDate(day);
    ins->ParamByName("Opomba").Clear();
    ins->ExecSQL();
    ins->ParamByName("Id").SetAsInteger(8);
    ins->ParamByName("Naziv").SetAsString(longText);
    ins->ParamByName("Datum").Clear();
    ins->ParamByName("Opomba").SetAsString("b");
    ins->ExecSQL();
    EXPECT_EQ(OdbcTestEnv::Get().Scalar(dsn, "SELECT COUNT(*) FROM ParTest"), "2");

    TOEQuery* sel = Query({"SELECT Id, Naziv, Datum, Opomba FROM ParTest WHERE Id = :Id"});
    sel->ParamByName("Id").SetAsInteger(7);
    sel->Open();
    ASSERT_FALSE(sel->Eof());
    EXPECT_EQ(sel->FieldByName("Naziv")->AsString(), quoted);
    EXPECT_DOUBLE_EQ(sel->FieldByName("Datum")->AsDateTime(), day);
    EXPECT_TRUE(sel->FieldByName("Opomba")->IsNull());
    sel->Close();
    sel->ParamByName("Id").SetAsInteger(8);
    sel->Open();
    ASSERT_FALSE(sel->Eof());
    EXPECT_EQ(sel->FieldByName("Naziv")->AsString(), longText);
    EXPECT_TRUE(sel->FieldByName("Datum")->IsNull());
    EXPECT_EQ(sel->FieldByName("Opomba")->AsString(), "b");
    sel->Close();

    // Texts and dates as conditions; a NULL parameter matches nothing.
    TOEQuery* find = Query({"SELECT Id FROM ParTest WHERE Naziv = :N OR Datum = :D ORDER BY Id"});
    find->ParamByName("N").SetAsString(longText);
    find->ParamByName("D").SetAsDate(day);
    find->Open();
    std::vector<int> ids;
    for (; !find->Eof(); find->Next()) {
        ids.push_back(find->FieldByName("Id")->AsInteger());
    }
    EXPECT_EQ(ids, (std::vector<int>{7, 8}));
    find->Close();
    find->ParamByName("N").Clear();
    find->ParamByName("D").Clear();
    find->Open();
    EXPECT_TRUE(find->Eof());
}

TEST_P(DataSetParamsTest, ParametersFollowTheTextUnlessParamCheckIsOff) {
    TOEQuery* q = Query({"SELECT * FROM Ms WHERE Ident = :a AND Naziv = :b"});
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(q->Params()[1].ParamType(), ptInput);
    q->ParamByName("a").SetAsString("A01");
    q->SetSQL({"SELECT * FROM Ms WHERE Ident = :a OR Garancija = :c"});
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(q->ParamByName("a").AsString(), "A01"); // a kept name keeps its value
    q->SetParamCheck(false);
    q->SetSQL({"SELECT * FROM Ms WHERE Ident = :x"});
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"a", "c"}));
}

TEST_P(DataSetParamsTest, OutputParametersOfAFunctionAreReadBack) {
    if (IsSQLite()) {
        GTEST_SKIP() << "SQLite has no stored procedures";
    }
    Exec({"DROP FUNCTION IF EXISTS par_izracun(integer, varchar)",
          "CREATE FUNCTION par_izracun(a integer, b varchar, OUT vsota integer, "
          "OUT besedilo varchar, OUT dan date) AS "
          "$$ SELECT a + 1, b || repeat('x', 300), DATE '2026-03-01' $$ LANGUAGE sql"});
    TwwOEDataSet ds(owner.get());
    ds.SetStoredProcName("par_izracun");
    std::vector<std::string> kinds;
    for (int i = 0; i < ds.Params().Count(); ++i) {
        kinds.push_back(ds.Params()[i].Name() + ":" +
                        std::to_string(static_cast<int>(ds.Params()[i].ParamType())));
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"a:1", "b:1", "vsota:2", "besedilo:2", "dan:2"}));
    ds.ParamByName("a").SetAsInteger(41);
    ds.ParamByName("b").SetAsString("O'K");
    ds.ExecSQL();
    EXPECT_EQ(ds.ParamByName("vsota").AsInteger(), 42);
    // 303 characters come back into the buffer of the catalog's size (255 characters
    // with the driver's defaults): cut there, never written past it.
    const std::string full = "O'K" + std::string(300, 'x');
    const std::string got = ds.ParamByName("besedilo").AsString();
    EXPECT_GE(got.size(), 255u);
    EXPECT_LT(got.size(), full.size());
    EXPECT_EQ(got, full.substr(0, got.size()));
    EXPECT_DOUBLE_EQ(ds.ParamByName("dan").AsDateTime(), EncodeDate(2026, 3, 1));
    Exec({"DROP FUNCTION par_izracun(integer, varchar)"});
}

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetParamsTest);
