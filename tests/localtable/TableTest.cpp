// TTable over the local tables of a transfer run: the working table, the error table, the
// exception log's table at a Windows path, and the transfer file itself.

#include "localtable/Table.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"
#include "transfer/VeskPrenosRac.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sqlite3.h>

namespace zen {
namespace {

std::filesystem::path Fixture(const std::string& name) {
    return test::TestDataDir() / "localtable" / "data" / name;
}

void AddWorking(TTable& t, const std::string& placnik, const std::string& kupec,
                const std::string& ident, double kolicina) {
    t.Append();
    t.FieldByName("Placnik")->SetAsString(placnik);
    t.FieldByName("Kupec")->SetAsString(kupec);
    t.FieldByName("Ident")->SetAsString(ident);
    t.FieldByName("Kolicina")->SetAsFloat(kolicina);
    t.FieldByName("Cena")->SetAsFloat(0);
    t.FieldByName("StRac")->SetAsString("R-" + std::to_string(int(kolicina)));
    t.Post();
}

// "Placnik/Kolicina/ZapSt" of every row, in reading order.
std::vector<std::string> Rows(TTable& t) {
    std::vector<std::string> out;
    for (t.First(); !t.Eof(); t.Next()) {
        out.push_back(t.FieldByName("Placnik")->AsString() + "/" +
                      t.FieldByName("Kolicina")->AsString() + "/" +
                      t.FieldByName("ZapSt")->AsString());
    }
    return out;
}

class TableTest : public testing::Test {
protected:
    test::TempHome home;
};

TEST_F(TableTest, WorkingTableIsReadInPrimaryIndexOrderBeforeAndAfterReopening) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    TTable t;
    RecreateVeskPrenosRac(t);
    EXPECT_TRUE(std::filesystem::exists(AliasDirectory("TevrinTemp") / "TVeskPrenosRac.db"));
    EXPECT_TRUE(t.IsEmpty());
    AddWorking(t, "Zavod", "K", "A", 1);
    AddWorking(t, "Ana", "K", "B", 2);
    AddWorking(t, "Ana", "K", "A", 3);
    AddWorking(t, "Šola", "K", "A", 4); // Š sorts after every ASCII letter
    AddWorking(t, "Ana", "K", "A", 5);
    EXPECT_EQ(t.FieldByName("ZapSt")->AsInteger(), 5) << "the posted row is current";
    std::vector<std::string> expected = {"Ana/3/3", "Ana/5/5", "Ana/2/2", "Zavod/1/1", "Šola/4/4"};
    EXPECT_EQ(Rows(t), expected);
    EXPECT_EQ(t.RecordCount(), 5);
    EXPECT_FALSE(t.IsEmpty());
    t.Close();

    TTable again;
    again.SetTableName("TVeskPrenosRac");
    again.SetDatabaseName("TevrinTemp");
    again.Open();
    EXPECT_EQ(again.FieldByName("Placnik")->Size(), 30);
    EXPECT_EQ(again.FieldByName("ZapSt")->DataType(), ftAutoInc);
    EXPECT_EQ(Rows(again), expected);
    AddWorking(again, "Ana", "K", "A", 6);
    EXPECT_EQ(again.FieldByName("ZapSt")->AsInteger(), 6);
    again.First();
    again.Next();
    again.Next();
    EXPECT_EQ(again.FieldByName("Kolicina")->AsFloat(), 6);
}

TEST_F(TableTest, FilteringAndLocatingSeeTheRowsInIndexOrder) {
    TTable t;
    RecreateVeskPrenosRac(t);
    AddWorking(t, "Zavod", "K", "A", 1);
    AddWorking(t, "Ana", "K", "B", 2);
    AddWorking(t, "Ana", "K", "A", 3);
    ASSERT_TRUE(t.Locate("Placnik;Ident", TVariant::Array({"Ana", "B"}), 0));
    EXPECT_EQ(t.FieldByName("ZapSt")->AsInteger(), 2);
    EXPECT_FALSE(t.Locate("Placnik", TVariant("Nihče"), 0));
    EXPECT_EQ(t.FieldByName("ZapSt")->AsInteger(), 2) << "a failed locate stays put";

    t.SetOnFilterRecord([](TDataSet& ds, bool& accept) {
        accept = ds.FieldByName("Placnik")->AsString() == "Ana";
    });
    t.SetFiltered(true);
    std::vector<std::string> rows = Rows(t);
    EXPECT_EQ(rows, (std::vector<std::string>{"Ana/3/3", "Ana/2/2"}));
    t.SetFiltered(false);
    EXPECT_EQ(Rows(t).size(), 3u);
}

TEST_F(TableTest, TextsAreCutToTheirSizeInCharacters) {
    TTable t;
    RecreateVeskPrenosRac(t);
    std::string payer = "Čebelarsko društvo Črni vrh nad Idrijo"; // 38 characters
    AddWorking(t, payer, "Kupec", "Ident", 1);
    t.Close();
    t.Open();
    t.First();
    EXPECT_EQ(t.FieldByName("Placnik")->AsString(), "Čebelarsko društvo Črni vrh na");
    EXPECT_EQ(t.FieldByName("StRac")->AsString(), "R-1");
}

// A Boolean is 0 or 1 in the record buffer: one that another program stored as a number
// whose low 16 bits are 0 still reads as true, and is written back as 1.
TEST_F(TableTest, BooleansAreZeroOrOneWhateverNumberTheFileHolds) {
    TTable t;
    DefineVeskPrenosRac(t);
    t.FieldDefs().Add("Potrjen", ftBoolean);
    t.CreateTable();
    t.Open();
    AddWorking(t, "Ana", "Kupec", "Ident", 1);
    t.Close();
    const std::filesystem::path file = AliasDirectory("TevrinTemp") / "TVeskPrenosRac.db";
    auto stored = [&] {
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT Potrjen FROM TVeskPrenosRac", -1, &s, nullptr);
        const int64_t v = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
        sqlite3_finalize(s);
        sqlite3_close(db);
        return v;
    };
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(
        sqlite3_exec(db, "UPDATE TVeskPrenosRac SET Potrjen = 65536", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);

    t.Open();
    t.First();
    TField* flag = t.FieldByName("Potrjen");
    EXPECT_TRUE(flag->AsBoolean());
    EXPECT_EQ(flag->AsInteger(), 1);
    t.Edit();
    t.FieldByName("Kupec")->SetAsString("Drugi");
    t.Post();
    EXPECT_EQ(stored(), 1);
    t.Edit();
    flag->SetAsBoolean(false);
    t.Post();
    EXPECT_EQ(stored(), 0);
}

TEST_F(TableTest, ReCreationEmptiesTheTable) {
    TTable t;
    RecreateVeskPrenosRac(t);
    AddWorking(t, "A", "B", "C", 1);
    EXPECT_THROW(t.CreateTable(), EDatabaseError) << "not while open";
    RecreateVeskPrenosRac(t);
    EXPECT_TRUE(t.IsEmpty());
    EXPECT_TRUE(t.Eof());
    AddWorking(t, "A", "B", "C", 1);
    EXPECT_EQ(t.FieldByName("ZapSt")->AsInteger(), 1);
}

// A table file that is no database any more is moved aside, not lost, when the table is
// re-created; until then opening it raises.
TEST_F(TableTest, ReCreationMovesADamagedFileAside) {
    auto path = AliasDirectory("TevrinTemp") / "TVeskPrenosRac.db";
    std::ofstream(path, std::ios::binary) << "not a database, but someone's data";
    TTable t;
    t.SetTableName("TVeskPrenosRac");
    t.SetDatabaseName("TevrinTemp");
    EXPECT_THROW(t.Open(), EDatabaseError);
    RecreateVeskPrenosRac(t);
    AddWorking(t, "A", "B", "C", 1);
    EXPECT_EQ(t.RecordCount(), 1);
    auto aside = path;
    aside += ".damaged";
    std::ifstream in(aside);
    std::string kept((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(kept, "not a database, but someone's data");
}

TEST_F(TableTest, OpeningAMissingTableRaises) {
    TTable t;
    t.SetTableName("TVeskPrenosRac");
    t.SetDatabaseName("TevrinTemp");
    EXPECT_THROW(t.Open(), EDatabaseError);
    EXPECT_FALSE(t.Active());
    EXPECT_FALSE(t.Exists());
    t.SetDatabaseName("");
    t.SetTableName("c:\\TevrinError");
    EXPECT_THROW(t.Open(), EDatabaseError);
    t.SetTableName("c:\\Prenos\\PRENOS.DBF");
    EXPECT_THROW(t.Open(), EInOutError);
    t.SetDatabaseName("NoSuchAlias");
    EXPECT_THROW(t.Open(), EDatabaseError);
    t.SetDatabaseName("TevrinTemp");
    for (const char* name : {"", "/"}) {
        t.SetTableName(name);
        EXPECT_THROW(t.Open(), EDatabaseError) << name;
        EXPECT_THROW(t.CreateTable(), EDatabaseError) << name;
    }
}

// The error table is read right after the run fills it, without reopening.
TEST_F(TableTest, ErrorRowsAreReadableRightAfterPosting) {
    TTable t;
    t.SetTableName("TPrenosNapaka");
    t.SetDatabaseName("TevrinTemp");
    t.FieldDefs().Add("ZapSt", ftAutoInc);
    t.FieldDefs().Add("StRac", ftString, 10);
    t.FieldDefs().Add("Napaka", ftString, 50);
    t.IndexDefs().Add("TPrenosNapaka", "ZapSt", ixPrimary);
    t.CreateTable();
    t.Open();
    const char* reasons[] = {"Stranka (Zadnja) ne obstaja !", "Artikel (X) ne obstaja !",
                             "Stranka (Gradbeno podjetje Šentvid in Žabnica d.o) ne obstaja !"};
    for (const char* r : reasons) {
        t.Append();
        t.FieldByName("StRac")->SetAsString("R-12345678901");
        t.FieldByName("Napaka")->SetAsString(r);
        t.Post();
    }
    t.First();
    std::vector<std::string> got;
    while (!t.Eof()) {
        got.push_back(t.FieldByName("ZapSt")->AsString() + " " +
                      t.FieldByName("Napaka")->AsString());
        EXPECT_EQ(t.FieldByName("StRac")->AsString(), "R-12345678");
        t.Next();
    }
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0], "1 Stranka (Zadnja) ne obstaja !");
    EXPECT_EQ(got[1], "2 Artikel (X) ne obstaja !");
    // 63 characters: the end is lost.
    EXPECT_EQ(got[2], "3 Stranka (Gradbeno podjetje Šentvid in Žabnica d.o)");
}

TEST_F(TableTest, ExceptionLogTableLivesAtTheMappedPathWithAMemo) {
    TTable t;
    t.SetTableName("c:\\TevrinError");
    EXPECT_THROW(t.Open(), EDatabaseError);
    t.Close();
    t.FieldDefs().Clear();
    t.FieldDefs().Add("Cas", ftDateTime);
    t.FieldDefs().Add("FormName", ftString, 20);
    t.FieldDefs().Add("BuildNo", ftSmallint);
    t.FieldDefs().Add("Error", ftString, 255);
    t.FieldDefs().Add("SenderProp", ftMemo);
    t.IndexDefs().Clear();
    t.CreateTable();
    EXPECT_TRUE(std::filesystem::is_regular_file(home.Path() / "c" / "TevrinError"));
    t.Open();
    std::string details = "DatabaseName --> \r\nSQL --> SELECT * FROM Subjekt \r\n";
    t.Append();
    t.FieldByName("Cas")->SetAsDateTime(46000.5);
    t.FieldByName("FormName")->SetAsString("Main");
    t.FieldByName("BuildNo")->SetAsInteger(910);
    t.FieldByName("Error")->SetAsString("Napaka");
    t.FieldByName("SenderProp")->SetAsString(details);
    EXPECT_EQ(t.FieldByName("SenderProp")->AsString(), details) << "readable while inserting";
    t.Post();
    t.Append();
    t.FieldByName("FormName")->SetAsString("Drugo");
    t.Post();
    t.Close();

    TTable r;
    r.SetTableName("c:\\TevrinError");
    r.Open();
    EXPECT_EQ(r.RecordCount(), 2);
    r.First();
    EXPECT_DOUBLE_EQ(r.FieldByName("Cas")->AsDateTime(), 46000.5);
    EXPECT_EQ(r.FieldByName("BuildNo")->AsInteger(), 910);
    EXPECT_EQ(r.FieldByName("SenderProp")->AsString(), details);
    EXPECT_THROW(r.FieldByName("BuildNo")->SetAsInteger(1), EDatabaseError) << "not editing";
    r.Next();
    EXPECT_EQ(r.FieldByName("FormName")->AsString(), "Drugo");
    EXPECT_TRUE(r.FieldByName("SenderProp")->IsNull());
    EXPECT_TRUE(r.FieldByName("Cas")->IsNull());

    // Editing and deleting keep memory and file alike.
    r.Edit();
    r.FieldByName("SenderProp")->SetAsString("dodano");
    r.FieldByName("BuildNo")->SetAsInteger(911);
    r.Post();
    r.First();
    r.Delete();
    EXPECT_EQ(r.RecordCount(), 1);
    r.Close();
    r.Open();
    EXPECT_EQ(r.RecordCount(), 1);
    EXPECT_EQ(r.FieldByName("SenderProp")->AsString(), "dodano");
    EXPECT_EQ(r.FieldByName("BuildNo")->AsInteger(), 911);
    r.Edit();
    EXPECT_THROW(r.FieldByName("BuildNo")->SetAsInteger(40000), Exception);
    r.Cancel();
}

// How many rows another table object, on its own connection, finds in the file now.
int CommittedRows() {
    TTable reader;
    DefineVeskPrenosRac(reader);
    reader.Open();
    return reader.RecordCount();
}

TEST_F(TableTest, ABatchWritesItsRowsInOneTransactionCommittedWhenItEnds) {
    TTable t;
    RecreateVeskPrenosRac(t);
    {
        TTable::TBatch outer(t);
        AddWorking(t, "Zavod", "K", "A", 1);
        {
            TTable::TBatch inner(t); // joins the open batch
            AddWorking(t, "Ana", "K", "B", 2);
        }
        EXPECT_EQ(CommittedRows(), 0) << "nothing is committed while a batch is open";
        AddWorking(t, "Ana", "K", "A", 3);
        // The table itself sees its rows at once, in index order.
        EXPECT_EQ(Rows(t), (std::vector<std::string>{"Ana/3/3", "Ana/2/2", "Zavod/1/1"}));
        t.First();
        t.Edit();
        t.FieldByName("Kolicina")->SetAsFloat(30);
        t.Post();
        t.Last();
        t.Delete();
        outer.Commit();
        EXPECT_FALSE(outer.Open());
        EXPECT_EQ(CommittedRows(), 2);
        outer.Commit(); // ending twice is harmless
    }
    AddWorking(t, "Ana", "K", "C", 4); // without a batch each post commits
    EXPECT_EQ(CommittedRows(), 3);
    t.Close();
    t.Open();
    EXPECT_EQ(Rows(t), (std::vector<std::string>{"Ana/30/3", "Ana/2/2", "Ana/4/4"}));
}

// A phase that fails keeps what it wrote before the failure, and a failed post inside a
// batch leaves the batch going.
TEST_F(TableTest, ABatchEndedByAFailureOrByClosingStillCommits) {
    TTable t;
    RecreateVeskPrenosRac(t);
    try {
        TTable::TBatch batch(t);
        AddWorking(t, "A", "K", "A", 1);
        t.Append();
        t.FieldByName("Placnik")->SetAsString("B");
        EXPECT_THROW(t.FieldByName("Kolicina")->SetAsString("ni število"), EConvertError);
        t.Cancel();
        AddWorking(t, "B", "K", "A", 2);
        throw EAbort("the phase fails");
    } catch (const EAbort&) {
    }
    EXPECT_EQ(CommittedRows(), 2);

    // The unique index refuses a row; the batch and its other rows go on.
    TTable n;
    n.SetTableName("TPrenosNapaka");
    n.SetDatabaseName("TevrinTemp");
    n.FieldDefs().Add("StRac", ftString, 10);
    n.IndexDefs().Add("TPrenosNapaka", "StRac", ixPrimary);
    n.CreateTable();
    n.Open();
    {
        TTable::TBatch batch(n);
        for (const char* key : {"R-1", "R-1", "R-2"}) {
            n.Append();
            n.FieldByName("StRac")->SetAsString(key);
            try {
                n.Post();
            } catch (const EDatabaseError& e) {
                EXPECT_NE(std::string(e.what()).find("Key violation"), std::string::npos);
                n.Cancel();
            }
        }
    }
    n.Close();
    n.Open();
    EXPECT_EQ(n.RecordCount(), 2);

    // Closing the table, or destroying it, ends an open batch and commits its rows.
    auto heap = std::make_unique<TTable>();
    RecreateVeskPrenosRac(*heap);
    TTable::TBatch closed(*heap);
    AddWorking(*heap, "C", "K", "A", 1);
    heap->Close();
    EXPECT_FALSE(closed.Open());
    EXPECT_EQ(CommittedRows(), 1);
    heap->Open();
    {
        TTable::TBatch outlived(*heap);
        AddWorking(*heap, "C", "K", "A", 2);
        heap.reset();
        EXPECT_FALSE(outlived.Open());
    }
    EXPECT_EQ(CommittedRows(), 2);
}

TEST_F(TableTest, ABatchNeedsAnOpenWritableTable) {
    TTable t;
    DefineVeskPrenosRac(t);
    EXPECT_THROW(TTable::TBatch{t}, EDatabaseError) << "closed";
    TTable dbf;
    dbf.SetTableName(Fixture("prenos.dbf").string());
    dbf.Open();
    EXPECT_THROW(TTable::TBatch{dbf}, EDatabaseError) << "read-only";
    // Another object's open batch holds the file's write lock: a second writer waits for
    // it, then gives up with an error rather than writing around it.
    RecreateVeskPrenosRac(t);
    TTable other;
    DefineVeskPrenosRac(other);
    other.Open();
    TTable::TBatch first(t);
    EXPECT_THROW(TTable::TBatch{other}, EDatabaseError);
}

// Looking at a table's name makes no directory; creating the table makes its own.
TEST_F(TableTest, NamingATableCreatesNoDirectories) {
    TTable t;
    t.SetTableName("c:\\x\\y.dbf");
    EXPECT_EQ(t.TablePath(), home.Path() / "c" / "x" / "y.dbf");
    EXPECT_TRUE(t.IsDbf());
    EXPECT_FALSE(t.Exists());
    EXPECT_THROW(t.Open(), Exception);
    t.SetTableName("c:\\x\\log");
    EXPECT_FALSE(t.IsDbf());
    EXPECT_FALSE(t.Exists());
    EXPECT_FALSE(std::filesystem::exists(home.Path() / "c"));

    TTable w;
    DefineVeskPrenosRac(w);
    EXPECT_FALSE(w.Exists());
    EXPECT_THROW(w.Open(), EDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(home.Path() / "TevrinTemp"));

    t.FieldDefs().Add("Napaka", ftString, 10);
    t.CreateTable();
    EXPECT_TRUE(t.Exists());
    RecreateVeskPrenosRac(w);
    EXPECT_TRUE(std::filesystem::is_regular_file(home.Path() / "c" / "x" / "log"));
    EXPECT_TRUE(std::filesystem::is_regular_file(home.Path() / "TevrinTemp" / "TVeskPrenosRac.db"));
}

TEST_F(TableTest, TransferFileOpensReadOnlyThroughTheDbaseReader) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    ASSERT_TRUE(sl.Available());
    TTable t;
    t.SetTableName(Fixture("prenos.dbf").string());
    EXPECT_TRUE(t.IsDbf());
    t.Open();
    EXPECT_EQ(t.RecordCount(), 3);
    std::vector<std::string> strank;
    double kolicina = 0;
    for (t.First(); !t.Eof(); t.Next()) {
        strank.push_back(t.FieldByName("Stranka")->AsString());
        kolicina += t.FieldByName("Kolicina")->AsFloat();
    }
    EXPECT_EQ(strank, (std::vector<std::string>{"Čebelarstvo Žužek", "Šola Škofja Loka",
                                                "Mlekarna Ždrale"}));
    EXPECT_DOUBLE_EQ(kolicina, 103.625);
    t.First();
    EXPECT_DOUBLE_EQ(t.FieldByName("Cena")->AsFloat(), 12.3456);
    EXPECT_EQ(t.FieldByName("Opomba")->AsString(), "Opomba s črkami čšž ČŠŽ");
    EXPECT_DOUBLE_EQ(t.FieldByName("Datum")->AsDateTime(), EncodeDate(2024, 3, 1));
    t.Next();
    EXPECT_TRUE(t.FieldByName("Cena")->IsNull());
    EXPECT_EQ(t.FieldByName("Cena")->AsFloat(), 0);
    EXPECT_THROW(t.Append(), EDatabaseError);
    EXPECT_THROW(t.FieldByName("Missing"), EDatabaseError);
    EXPECT_EQ(t.FieldByName("Stranka")->AsString(), "Šola Škofja Loka") << "still on its row";
}

TEST_F(TableTest, TransferFileIsKnownByItsHeaderAndBadValuesFailOnlyWhenRead) {
    auto bytes = [] {
        std::ifstream in(Fixture("prenos.dbf"), std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }();
    size_t cena = 289 + 1 + 40 + 16 + 10; // the first record's CENA
    bytes.at(cena + 7) = 'x';
    auto path = home.Path() / "prenos.txt";
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));

    TTable t;
    t.SetTableName(path.string());
    EXPECT_TRUE(t.IsDbf());
    t.Open();
    t.First();
    EXPECT_THROW(t.FieldByName("Cena")->AsFloat(), EDatabaseError);
    EXPECT_EQ(t.FieldByName("StRac")->AsString(), "R-0001");
    t.Next();
    t.Next();
    EXPECT_DOUBLE_EQ(t.FieldByName("Cena")->AsFloat(), 0.5);

    // A transfer file that is broken cannot be opened, and the table stays closed.
    auto broken = home.Path() / "broken.dbf";
    std::ofstream(broken, std::ios::binary).write(bytes.data(), 400);
    TTable b;
    b.SetTableName(broken.string());
    try {
        b.Open();
        ADD_FAILURE() << "opened a truncated file";
    } catch (const EDatabaseError& e) {
        EXPECT_NE(std::string(e.what()).find("broken.dbf"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(b.Active());
}

} // namespace
} // namespace zen
