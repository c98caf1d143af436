// Named parameters of datasets on both drivers: values of every kind the program's texts
// need, texts longer than any described size, output parameters of a function, parameters
// read from a stored form or assigned, and how design time keeps what a designer set.

#include "DataSetFixture.h"
#include "toolkit/DateTime.h"
#include "toolkit/StoredForm.h"

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
    std::vector<std::string> Names(TCustomOEDataSet& q) {
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
    EXPECT_EQ(ins->Statement().ParamSize(4), SQL_NULL_DATA);
    ins->ParamByName("Id").SetAsInteger(8);
    ins->ParamByName("Naziv").SetAsString(longText);
    ins->ParamByName("Datum").Clear();
    ins->ParamByName("Opomba").SetAsString("b");
    ins->ExecSQL();
    EXPECT_EQ(ins->Statement().ParamSize(4), 1);
    EXPECT_EQ(ins->Statement().ParamSize(2), static_cast<SQLLEN>(longText.size()));
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

TEST_P(DataSetParamsTest, StoredFormParamsAreReadAsStoredAndValuesAssignedByName) {
    Exec({"INSERT INTO ParTest (Id, Naziv, Datum) VALUES (7, 'sedem', NULL)",
          "INSERT INTO ParTest (Id, Naziv, Datum) VALUES (8, 'osem', '2026-02-28')",
          "INSERT INTO ParTest (Id, Naziv, Datum) VALUES (9, 'devet', NULL)"});
    using V = TStoredValue;
    auto entry = [](const char* name, TParamType pt, TFieldType ft, std::vector<V> value,
                    bool null) {
        std::vector<V> e{V::String(name), V::Integer(pt), V::Integer(ft)};
        e.insert(e.end(), value.begin(), value.end());
        e.insert(e.end(), {V::Boolean(true), V::Boolean(null), V::Integer(0)});
        return e;
    };
    std::vector<V> entries;
    for (auto e :
         {entry("Id", ptInput, ftInteger, {V::Integer(7)}, false),
          entry("Naziv", ptInput, ftString, {V::String("x")}, true),
          entry("Datum", ptInput, ftDate, {V::Float(EncodeDate(2026, 2, 28))}, false),
          entry("Znesek", ptInputOutput, ftCurrency, {V::Money(Currency::FromRaw(12345))}, false),
          entry("Slika", ptOutput, ftBlob, {}, false)}) {
        entries.insert(entries.end(), e.begin(), e.end());
    }

    // While the form loads nothing is made from the text; the stored parameters stand.
    TComponent form;
    auto* q = new TOEQuery(&form);
    form.BeginLoading();
    q->SetHdbc(conn);
    q->SetSQL({"SELECT Id FROM ParTest WHERE Id = :Id OR Naziv = :Naziv OR Datum = :Datum ",
               "ORDER BY Id"});
    EXPECT_EQ(q->Params().Count(), 0);
    q->Params().ReadStoredForm(V::List({V::String("OE5.05"), V::List(entries)}));
    form.EndLoading();
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"Id", "Naziv", "Datum", "Znesek", "Slika"}));
    EXPECT_EQ(q->ParamByName("Id").AsInteger(), 7);
    EXPECT_EQ(q->ParamByName("Id").DataType(), ftInteger);
    EXPECT_TRUE(q->ParamByName("Naziv").IsNull());
    EXPECT_TRUE(q->ParamByName("Naziv").Bound());
    EXPECT_EQ(q->ParamByName("Znesek").ParamType(), ptInputOutput);
    EXPECT_EQ(q->ParamByName("Znesek").AsCurrency(), Currency::FromRaw(12345));
    EXPECT_EQ(q->ParamByName("Slika").DataType(), ftBlob);
    EXPECT_TRUE(q->ParamByName("Slika").IsNull());
    auto ids = [&] {
        std::vector<int> found;
        q->Open();
        for (; !q->Eof(); q->Next()) {
            found.push_back(q->FieldByName("Id")->AsInteger());
        }
        q->Close();
        return found;
    };
    EXPECT_EQ(ids(), (std::vector<int>{7, 8}));

    // Assigning parameters takes the values of the names this dataset has, and no others.
    TParams other;
    other.CreateParam(ftString, " naziv ", ptInput).SetAsString("devet");
    other.CreateParam(ftInteger, "Drugo", ptInput).SetAsInteger(1);
    q->SetParams(other);
    EXPECT_EQ(q->Params().Count(), 5);
    EXPECT_EQ(ids(), (std::vector<int>{7, 8, 9}));

    // A damaged form leaves no parameters rather than misread ones.
    const std::vector<V> bad[] = {
        {V::String("OE5.05"), V::List({V::String("a"), V::String("1")})},
        {V::String("OE5.05"),
         V::List({V::String("a"), V::Integer(1), V::Integer(3), V::String("not an integer"),
                  V::Boolean(false), V::Boolean(false), V::Integer(0)})},
        {V::String("OE5.05"), V::List({V::String("a"), V::Integer(1), V::Integer(99)})},
        {V::String("OE5.05"),
         V::List({V::String("a"), V::Integer(1), V::Integer(3), V::Integer(1), V::Boolean(false)})},
        {V::String("OE5.05")},
    };
    for (const auto& form : bad) {
        EXPECT_THROW(q->Params().ReadStoredForm(V::List(form)), EReadError);
        EXPECT_EQ(q->Params().Count(), 0);
    }
    EXPECT_THROW(q->Params().ReadStoredForm(V::String("OE5.05")), EReadError);
}

TEST_P(DataSetParamsTest, DesignTimeKeepsWhatTheDesignerSetAndATableTakesNone) {
    TOEQuery* q = Query({"SELECT * FROM Ms WHERE Ident = :a AND Naziv = :b"});
    q->SetDesigning(true);
    q->ParamByName("b").SetParamType(ptInputOutput);
    q->ParamByName("b").SetAsString("x");
    // Even with ParamCheck off a designer's text change remakes the parameters: those
    // still named stay where and as they were, the others go, new ones come last.
    q->SetParamCheck(false);
    q->SetSQL({"SELECT * FROM Ms WHERE Garancija = :c OR Naziv = :B"});
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(q->ParamByName("b").ParamType(), ptInputOutput);
    EXPECT_EQ(q->ParamByName("b").AsString(), "x");
    q->SetParamCheck(true);

    // At run time they are made in the text's order, as the text makes them; values stay.
    q->SetDesigning(false);
    q->SetSQL({"SELECT * FROM Ms WHERE Garancija = :c OR Naziv = :b OR Ident = :a"});
    EXPECT_EQ(Names(*q), (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_EQ(q->ParamByName("b").ParamType(), ptInput);
    EXPECT_EQ(q->ParamByName("b").AsString(), "x");

    q->SetTableName("Ms");
    EXPECT_EQ(q->Params().Count(), 0);
    q->Params().CreateParam(ftInteger, "x", ptInput);
    EXPECT_EQ(q->Params().Count(), 0);
}

TEST_P(DataSetParamsTest, ProceduresAreCalledByTheirCatalogParameters) {
    if (IsSQLite()) {
        GTEST_SKIP() << "SQLite has no stored procedures";
    }
    Exec({"DROP FUNCTION IF EXISTS par_pet()", "DROP FUNCTION IF EXISTS par_nic()",
          "DROP FUNCTION IF EXISTS par_dva(integer, varchar)",
          "DROP FUNCTION IF EXISTS par_dva(integer, integer)",
          "CREATE FUNCTION par_pet() RETURNS integer AS $$ SELECT 5 $$ LANGUAGE sql",
          "DROP FUNCTION IF EXISTS par_anon(integer)",
          "CREATE FUNCTION par_anon(integer) RETURNS integer AS $$ SELECT $1 * 2 $$ LANGUAGE sql",
          "CREATE FUNCTION par_nic() RETURNS void AS "
          "$$ INSERT INTO ParTest (Id, Naziv) VALUES (1, 'klic') $$ LANGUAGE sql",
          "CREATE FUNCTION par_dva(a integer, b varchar) RETURNS integer AS "
          "$$ SELECT a + LENGTH(b) $$ LANGUAGE sql"});
    TwwOEDataSet none(owner.get());
    none.SetStoredProcName("par_nic");
    EXPECT_EQ(none.Params().Count(), 0);
    none.ExecSQL();
    EXPECT_EQ(none.Statement().SQL(), "{CALL par_nic}");
    EXPECT_EQ(OdbcTestEnv::Get().Scalar(dsn, "SELECT Naziv FROM ParTest WHERE Id = 1"), "klic");

    // The driver leaves a function's value unnamed: it still has a parameter to come back in.
    TwwOEDataSet five(owner.get());
    five.SetStoredProcName("par_pet");
    EXPECT_EQ(Names(five), (std::vector<std::string>{"Result"}));
    five.ExecSQL();
    EXPECT_EQ(five.ParamByName("Result").AsInteger(), 5);
    TwwOEDataSet twice(owner.get());
    twice.SetStoredProcName("par_anon");
    EXPECT_EQ(Names(twice), (std::vector<std::string>{"Result", "Param1"}));
    twice.ParamByName("Param1").SetAsInteger(21);
    twice.ExecSQL();
    EXPECT_EQ(twice.ParamByName("Result").AsInteger(), 42);

    // At design time a redefined procedure keeps the parameters it still has as they were.
    TwwOEDataSet ds(owner.get());
    ds.SetDesigning(true);
    ds.SetStoredProcName("par_dva");
    EXPECT_EQ(Names(ds), (std::vector<std::string>{"Result", "a", "b"}));
    ds.ParamByName("a").SetParamType(ptInputOutput);
    Exec({"DROP FUNCTION par_dva(integer, varchar)",
          "CREATE FUNCTION par_dva(c integer, a integer) RETURNS integer AS "
          "$$ SELECT a * c $$ LANGUAGE sql"});
    ds.SetStoredProcName("par_dva");
    EXPECT_EQ(Names(ds), (std::vector<std::string>{"Result", "a", "c"}));
    EXPECT_EQ(ds.ParamByName("a").ParamType(), ptInputOutput);
    EXPECT_EQ(ds.ParamByName("c").ParamType(), ptInput);
    ds.SetDesigning(false);
    ds.ParamByName("a").SetParamType(ptInput);
    ds.ParamByName("a").SetAsInteger(3);
    ds.ParamByName("c").SetAsInteger(4);
    ds.ExecSQL();
    EXPECT_EQ(ds.Statement().SQL(), "{:Result = CALL par_dva(:a, :c)}");
    EXPECT_EQ(ds.ParamByName("Result").AsInteger(), 12);
    Exec({"DROP FUNCTION par_pet()", "DROP FUNCTION par_nic()", "DROP FUNCTION par_anon(integer)",
          "DROP FUNCTION par_dva(integer, integer)"});
}

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetParamsTest);
