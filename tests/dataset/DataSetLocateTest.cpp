// Finding rows by value without SQL, on both drivers: Locate and its options, Lookup,
// the find operations, and rows hidden by OnFilterRecord.

#include "DataSetFixture.h"
#include "toolkit/DateTime.h"

namespace zen {
namespace {

using test::DataSetFixture;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

class DataSetLocateTest : public DataSetFixture {
protected:
    TOEQuery* OpenMs() {
        TOEQuery* q = Query({"SELECT * FROM Ms ", "ORDER BY IDENT "});
        q->Open();
        return q;
    }
    std::string Ident(TDataSet* q) { return q->FieldByName("Ident")->AsString(); }
};

TEST_P(DataSetLocateTest, TextKeysByPrefixSubstringCaseAndNull) {
    InsertMs({"xabc", "NULL", "ABCD", "Čebula"});
    TOEQuery* q = OpenMs();
    const TLocateOptions partial = loPartialKey | loCaseInsensitive;
    EXPECT_TRUE(q->Locate("NAZIV", "abc", partial));
    EXPECT_EQ(Ident(q), "A03");
    q->SetLocateOption(loSubString);
    EXPECT_TRUE(q->Locate("naziv", "abc", partial));
    EXPECT_EQ(Ident(q), "A01");
    // Without the options only the whole text in its own case matches.
    EXPECT_FALSE(q->Locate("Naziv", "abcd", 0));
    EXPECT_TRUE(q->Locate("Naziv", "ABCD", 0));
    EXPECT_EQ(Ident(q), "A03");
    EXPECT_TRUE(q->Locate("Naziv", "čeb", partial));
    EXPECT_EQ(Ident(q), "A04");
    EXPECT_TRUE(q->Locate("Naziv", TVariant::Null(), 0));
    EXPECT_EQ(Ident(q), "A02");
    // A failed Locate leaves the current row as it was.
    EXPECT_FALSE(q->Locate("Naziv", "nič", partial));
    EXPECT_EQ(Ident(q), "A02");
    EXPECT_THROW(q->Locate("NoSuchField", "x", 0), EDatabaseError);
}

TEST_P(DataSetLocateTest, TrailingBlanksOfACharColumnAreTrimmedOnBothSides) {
    Exec({"DROP TABLE IF EXISTS Znaki",
          "CREATE TABLE Znaki (Id INTEGER PRIMARY KEY, Koda CHAR(10))",
          "INSERT INTO Znaki (Id, Koda) VALUES (1, 'X')",
          "INSERT INTO Znaki (Id, Koda) VALUES (2, 'AB')"});
    TOEQuery* q = Query({"SELECT * FROM Znaki ORDER BY Id"});
    q->Open();
    q->Next();
    EXPECT_EQ(q->FieldByName("Koda")->AsString(), "AB");
    q->First();
    EXPECT_TRUE(q->Locate("Koda", "AB ", 0));
    EXPECT_EQ(q->FieldByName("Id")->AsInteger(), 2);
    q->Close();
    Exec({"DROP TABLE Znaki"});
}

TEST_P(DataSetLocateTest, SeveralKeysNumbersCurrencyAndDates) {
    InsertMs({"a", "b", "a", "c"});
    Exec({"INSERT INTO Subjekt (Naziv, DatumIzj) VALUES ('Prvi', '2023-05-17 00:00:00')",
          "INSERT INTO Subjekt (Naziv, DatumIzj) VALUES ('Drugi', '2024-02-29 08:30:00')"});
    TOEQuery* q = OpenMs();
    // Both fields must match: the first "a" has Garancija 1.
    EXPECT_TRUE(q->Locate("Naziv;Garancija", TVariant::Array({"a", 3}), 0));
    EXPECT_EQ(Ident(q), "A03");
    EXPECT_FALSE(q->Locate("Naziv;Garancija", TVariant::Array({"b", 3}), 0));
    EXPECT_TRUE(q->Locate("VPCena", 3.75, 0));
    EXPECT_EQ(Ident(q), "A03");
    EXPECT_TRUE(q->Locate("Garancija", "4", 0));
    EXPECT_EQ(Ident(q), "A04");
    // A value that does not convert matches nothing and raises nothing, also as the
    // second of two keys whose first matches.
    EXPECT_FALSE(q->Locate("Garancija", "štiri", 0));
    EXPECT_FALSE(q->Locate("Naziv;Garancija", TVariant::Array({"a", "x"}), 0));
    EXPECT_EQ(Ident(q), "A04");

    // A price read as currency.
    TOEQuery* money = Query({"SELECT Ident, VPCena FROM Ms ORDER BY Ident"});
    auto ident = std::make_unique<TStringField>(16);
    ident->SetFieldName("Ident");
    money->AddField(std::move(ident));
    auto price = std::make_unique<TCurrencyField>();
    price->SetFieldName("VPCena");
    money->AddField(std::move(price));
    money->Open();
    EXPECT_TRUE(money->Locate("VPCena", Currency::FromDouble(2.5), 0));
    EXPECT_EQ(Ident(money), "A02");
    EXPECT_EQ(money->FieldByName("VPCena")->AsCurrency(), Currency::FromDouble(2.5));

    TOEQuery* subj = Query({"SELECT * FROM Subjekt ORDER BY Naziv"});
    subj->Open();
    TDateTime when = EncodeDate(2024, 2, 29) + EncodeTime(8, 30, 0, 0);
    EXPECT_TRUE(subj->Locate("DatumIzj", TVariant::FromDateTime(when), 0));
    EXPECT_EQ(subj->FieldByName("Naziv")->AsString(), "Drugi");
    EXPECT_FALSE(subj->Locate("DatumIzj", TVariant::FromDateTime(EncodeDate(2024, 2, 29)), 0));
}

TEST_P(DataSetLocateTest, LookupGivesValuesWithoutMovingAndNullOnAnEmptyDataSet) {
    TOEQuery* empty = OpenMs();
    ASSERT_TRUE(empty->IsEmpty());
    int fetches = 0;
    empty->Statement().BeforeFetch = [&](TObject*) { ++fetches; };
    EXPECT_TRUE(empty->Lookup("Ident", "A01", "Naziv").IsNull());
    EXPECT_EQ(fetches, 0);
    empty->Close();

    InsertMs({"Prvi", "Drugi", "Tretji"});
    TOEQuery* q = OpenMs();
    q->Next();
    EXPECT_EQ(q->Lookup("Ident", "A03", "Naziv").AsString(), "Tretji");
    TVariant both = q->Lookup("Naziv", "Prvi", "Ident;Garancija");
    ASSERT_TRUE(both.IsArray());
    EXPECT_EQ(both[0].AsString(), "A01");
    EXPECT_EQ(both[1].AsInteger(), 1);
    EXPECT_TRUE(q->Lookup("Ident", "A09", "Naziv").IsNull());
    // The current row has not moved, and the cursor finds its way back to it.
    EXPECT_EQ(Ident(q), "A02");
    q->Next();
    EXPECT_EQ(Ident(q), "A03");
}

TEST_P(DataSetLocateTest, FilteredRowsAreHiddenFromReadingLocateAndFinding) {
    InsertMs({"a", "b", "c", "d", "e"});
    TOEQuery* q = OpenMs();
    q->SetOnFilterRecord([](TDataSet& ds, bool& accept) {
        accept = ds.FieldByName("Garancija")->AsInteger() % 2 == 0;
    });
    // Without Filtered the handler hides nothing, but the find operations use it.
    EXPECT_EQ(Ident(q), "A01");
    EXPECT_TRUE(q->FindFirst());
    EXPECT_EQ(Ident(q), "A02");
    EXPECT_TRUE(q->FindNext());
    EXPECT_EQ(Ident(q), "A04");
    EXPECT_FALSE(q->FindNext());
    EXPECT_EQ(Ident(q), "A04");
    EXPECT_TRUE(q->FindLast());
    EXPECT_EQ(Ident(q), "A04");
    EXPECT_TRUE(q->FindPrior());
    EXPECT_EQ(Ident(q), "A02");
    q->Next();
    EXPECT_EQ(Ident(q), "A03");

    q->SetFiltered(true);
    std::string seen;
    for (q->First(); !q->Eof(); q->Next()) {
        seen += Ident(q) + ";";
    }
    EXPECT_EQ(seen, "A02;A04;");
    EXPECT_FALSE(q->Locate("Naziv", "c", 0));
    EXPECT_TRUE(q->Locate("Naziv", "d", 0));

    // A handler that refuses every row leaves an empty view.
    q->SetOnFilterRecord([](TDataSet&, bool& accept) { accept = false; });
    q->First();
    EXPECT_TRUE(q->IsEmpty());
    EXPECT_TRUE(q->Eof());
    EXPECT_FALSE(q->Locate("Naziv", "d", 0));
    // One that raises is reported to the application and reading goes on.
    int reported = 0;
    SetApplicationExceptionHandler([&](const std::exception&) { ++reported; });
    q->SetOnFilterRecord([](TDataSet&, bool&) { throw EConvertError("slab filter"); });
    EXPECT_EQ(Ident(q), "A01");
    EXPECT_GT(reported, 0);
    SetApplicationExceptionHandler(nullptr);
}

TEST_P(DataSetLocateTest, LargeIntegersCompareWhole) {
    Exec({"DROP TABLE IF EXISTS Veliki",
          "CREATE TABLE Veliki (K BIGINT PRIMARY KEY, V VARCHAR(10))",
          "INSERT INTO Veliki VALUES (1, 'a')", "INSERT INTO Veliki VALUES (4294967297, 'b')"});
    for (bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "generated" : "through the cursor");
        TOEQuery* q = Query({"SELECT * FROM Veliki ORDER BY K"});
        q->SetRequestLive(true);
        q->SetEditable(true);
        q->HStmt().SetSkipByPosition(skip);
        q->Open();
        // 2^32 + 1 has the low 32 bits of 1: only the whole value matches.
        EXPECT_TRUE(q->Locate("K", TVariant(int64_t{4294967297}), 0));
        EXPECT_EQ(q->FieldByName("V")->AsString(), "b");
        EXPECT_FALSE(q->Locate("K", TVariant(int64_t{8589934593}), 0));
        // LocateInsert stands on the new row by its large key.
        q->SetLocateInsert(true);
        q->Append();
        q->FieldByName("K")->SetAsLargeInt(skip ? 6442450945 : 6442450946);
        q->FieldByName("V")->SetAsString("c");
        q->Post();
        EXPECT_EQ(q->FieldByName("V")->AsString(), "c");
        q->Close();
    }
}

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetLocateTest);

} // namespace
} // namespace zen
