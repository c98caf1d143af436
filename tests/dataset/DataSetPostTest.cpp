// Datasets writing rows back on both drivers: appending, editing, deleting and refreshing
// through the cursor where it can write (PostgreSQL) and through generated statements
// (SQLite, and PostgreSQL with SkipByPosition), the database defaults of an insert, the
// texts and parameters of generated statements, failures that leave the dataset as it was.

#include "DataSetFixture.h"
#include "odbc/OCLError.h"
#include "odbc/SqlText.h"
#include "toolkit/PictureMask.h"

namespace zen {
namespace {

using test::DataSetFixture;
using test::OdbcTestEnv;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

class DataSetPostTest : public DataSetFixture {
protected:
    // A live dataset as the program's: optimistic concurrency by values, editable.
    TOEQuery* Live(const std::vector<std::string>& lines, bool skipByPosition = false) {
        TOEQuery* q = Query(lines);
        q->SetRequestLive(true);
        q->SetEditable(true);
        q->HStmt().SetConcurrencyType(SQL_CONCUR_VALUES);
        q->HStmt().SetSkipByPosition(skipByPosition);
        return q;
    }
    TOEQuery* Lines(bool skipByPosition = false) {
        return Live({"SELECT * FROM PrometPoz ", "ORDER BY KLJUC,POZ "}, skipByPosition);
    }
    std::string Scalar(const std::string& query) { return OdbcTestEnv::Get().Scalar(dsn, query); }
    // Records the generated statements' texts.
    void Watch(TOEQuery* q) {
        q->Statement().OnStatement = [this](TObject*, uint16_t operation, std::string& sql) {
            statements.push_back(std::to_string(operation) + " " + sql);
        };
    }
    void AppendLine(TOEQuery* q, const std::string& kljuc, int poz, const std::string& naziv) {
        q->Append();
        q->FieldByName("Kljuc")->SetAsString(kljuc);
        q->FieldByName("Poz")->SetAsInteger(poz);
        q->FieldByName("Naziv")->SetAsString(naziv);
        q->Post();
    }
    std::vector<std::string> statements;
};

TEST_P(DataSetPostTest, AppendWritesTheSetColumnsAndLeavesTheRestToTheDatabaseDefaults) {
    TOEQuery* q = Lines();
    Watch(q);
    q->Open();
    EXPECT_TRUE(q->IsEmpty());
    q->Append();
    q->FieldByName("Kljuc")->SetAsString("26IR00001");
    q->FieldByName("Poz")->SetAsInteger(1);
    q->FieldByName("Ident")->SetAsString("NET-1");
    q->FieldByName("Naziv")->SetAsString("Dostop 'Hitri' O'Brien");
    q->FieldByName("Kolicina")->SetAsFloat(2.5);
    q->FieldByName("Garancija")->SetAsInteger(12);
    q->FieldByName("DatumZap")->SetAsDateTime(EncodeDate(2024, 2, 29) + EncodeTime(13, 45, 10, 0));
    q->Post();
    EXPECT_EQ(q->State(), dsBrowse);
    EXPECT_EQ(Scalar("SELECT Naziv FROM PrometPoz WHERE Kljuc = '26IR00001' AND Poz = 1"),
              "Dostop 'Hitri' O'Brien");
    EXPECT_EQ(Scalar("SELECT Skladisce FROM PrometPoz"), "01");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PrometPoz WHERE Kolicina = 2.5"), "1");
    EXPECT_EQ(Scalar("SELECT Garancija FROM PrometPoz"), "12");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PrometPoz WHERE Opomba IS NULL AND Cena IS NULL"), "1");
    EXPECT_NE(Scalar("SELECT DatumZap FROM PrometPoz").find("2024-02-29 13:45:10"),
              std::string::npos);
    // SQLite writes by a generated INSERT naming the set columns alone; PostgreSQL's
    // cursor adds the row itself.
    if (IsSQLite()) {
        ASSERT_EQ(statements.size(), 1u);
        EXPECT_EQ(statements[0], "8 INSERT INTO PrometPoz (Kljuc, Poz, Ident, Naziv, Kolicina, "
                                 "Garancija, DatumZap) VALUES (?, ?, ?, ?, ?, ?, ?)");
    } else {
        EXPECT_TRUE(statements.empty());
    }

    // With EmptyFieldToNull every column is named, the unset ones as NULL.
    statements.clear();
    q->Close();
    q->HStmt().SetSkipByPosition(true);
    q->SetEmptyFieldToNull(true);
    q->Open();
    q->Append();
    q->FieldByName("Kljuc")->SetAsString("26IR00001");
    q->FieldByName("Poz")->SetAsInteger(2);
    q->FieldByName("Skladisce")->SetAsString("02");
    q->Post();
    ASSERT_EQ(statements.size(), 1u);
    EXPECT_EQ(std::count(statements[0].begin(), statements[0].end(), '?'), 33);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PrometPoz WHERE Poz = 2 AND Skladisce = '02' AND "
                     "Naziv IS NULL AND Kolicina IS NULL"),
              "1");
}

TEST_P(DataSetPostTest, PostsInsideATransactionRollBackWhole) {
    // The transfer writes each invoice in a transaction of the connection.
    TOEQuery* headers = Live({"SELECT * FROM Promet ", "ORDER BY KLJUC "});
    TOEQuery* lines = Lines();
    headers->Open();
    lines->Open();
    SQLHDBC h = conn->Handle();
    ASSERT_TRUE(SQL_SUCCEEDED(SQLSetConnectAttr(
        h, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0)));
    const int n = 200;
    for (int poz = 1; poz <= n; ++poz) {
        AppendLine(lines, "26IR00007", poz, "Vrstica " + std::to_string(poz));
    }
    headers->Append();
    headers->FieldByName("Kljuc")->SetAsString("26IR00007");
    headers->FieldByName("ZaPlacilo")->SetAsFloat(10.5);
    headers->Post();
    // Inside the transaction the rows are there; rolled back, none is.
    THstmt count;
    count.SetHdbc(conn);
    count.SetSQL("SELECT COUNT(*) FROM PrometPoz");
    count.Execute();
    ASSERT_TRUE(count.FetchNext());
    EXPECT_EQ(count.ColAsInteger(1), n);
    count.CloseCursor();
    ASSERT_TRUE(SQL_SUCCEEDED(SQLEndTran(SQL_HANDLE_DBC, h, SQL_ROLLBACK)));
    SQLSetConnectAttr(h, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), 0);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PrometPoz"), "0");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), "0");
}
TEST_P(DataSetPostTest, GeneratedUpdateNamesTheChangedColumnsAndPassesThemThenTheKey) {
    InsertMs({"Prvi", "Drugi"});
    // The parameters are seen by sending the generated UPDATE's values into a table of
    // the changed columns and one more for the key.
    Exec({"DROP TABLE IF EXISTS MsLog",
          "CREATE TABLE MsLog (Naziv VARCHAR(40), Garancija SMALLINT, KeyIdent VARCHAR(16))"});
    TOEQuery* q = Live({"SELECT * FROM Ms ", "ORDER BY IDENT "}, true);
    std::string seen;
    q->Statement().OnStatement = [&](TObject*, uint16_t operation, std::string& sql) {
        EXPECT_EQ(operation, rfUpdate);
        seen = sql;
        sql = "INSERT INTO MsLog VALUES (?, ?, ?)";
    };
    q->Open();
    q->Next();
    q->Edit();
    q->FieldByName("Garancija")->SetAsInteger(7);
    q->FieldByName("Naziv")->SetAsString("Popravljen");
    q->FieldByName("VPCena")->SetAsFloat(2.5); // as it was: not changed
    q->Post();
    const std::vector<std::string>& names = q->Statement().ColNames();
    ASSERT_EQ(names.size(), 27u);
    auto col = [&](const char* name) { return names[q->Statement().ColByName(name) - 1]; };
    EXPECT_EQ(seen, std::string("UPDATE ") + (IsSQLite() ? "Ms" : "ms") + " SET " + col("Naziv") +
                        " = ?, " + col("Garancija") + " = ? WHERE " + col("Ident") + " = ?");
    EXPECT_EQ(Scalar("SELECT Naziv || '/' || Garancija || '/' || KeyIdent FROM MsLog"),
              "Popravljen/7/A02");
    q->Close();
    Exec({"DROP TABLE MsLog"});
}

TEST_P(DataSetPostTest, AnUpdateOrDeleteThatFindsNoRowRaisesAndFailedPostsKeepTheirValues) {
    InsertMs({"Prvi", "Drugi", "Tretji"});
    TOEQuery* q = Live({"SELECT * FROM Ms ", "ORDER BY IDENT "}, true);
    q->Open();
    THstmt other;
    other.SetHdbc(conn);
    other.SetSQL("DELETE FROM Ms WHERE Ident = 'A01'");
    other.Execute();
    q->Edit();
    q->FieldByName("Naziv")->SetAsString("Izgubljen");
    try {
        q->Post();
        FAIL() << "posted an edit of a row that is gone";
    } catch (const EODBC& e) {
        EXPECT_STREQ(e.what(), "No Data Found");
    }
    EXPECT_EQ(q->State(), dsEdit);
    EXPECT_EQ(q->FieldByName("Naziv")->AsString(), "Izgubljen");
    q->Cancel();
    // A delete that matches no row has deleted nothing: refused, the row stays in view.
    try {
        q->Delete();
        FAIL() << "deleted a row that is gone";
    } catch (const EODBC& e) {
        EXPECT_STREQ(e.what(), "No Data Found");
    }
    EXPECT_EQ(q->FieldByName("Ident")->AsString(), "A01");
    q->Next();
    EXPECT_EQ(q->FieldByName("Ident")->AsString(), "A02");

    // A post the database refuses (a duplicate key) leaves the insert and its values, and
    // the corrected record posts.
    q->Append();
    q->FieldByName("Ident")->SetAsString("A02");
    q->FieldByName("Naziv")->SetAsString("Dvojnik");
    EXPECT_THROW(q->Post(), EODBC);
    EXPECT_EQ(q->State(), dsInsert);
    EXPECT_EQ(q->FieldByName("Naziv")->AsString(), "Dvojnik");
    EXPECT_EQ(Scalar("SELECT Naziv FROM Ms WHERE Ident = 'A02'"), "Drugi");
    q->FieldByName("Ident")->SetAsString("A09");
    q->Post();
    EXPECT_EQ(Scalar("SELECT Naziv FROM Ms WHERE Ident = 'A09'"), "Dvojnik");
}

TEST_P(DataSetPostTest, EditsAndDeletesShowWhileMovingOnBothPaths) {
    for (bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "generated" : "through the cursor where it can");
        Exec({"DELETE FROM Ms"});
        InsertMs({"Prvi", "Drugi", "Tretji", "Cetrti", "Peti"});
        TOEQuery* q = Live({"SELECT * FROM Ms ", "ORDER BY IDENT "}, skip);
        Watch(q);
        statements.clear();
        q->Open();
        q->Next();
        q->Edit();
        q->FieldByName("Naziv")->SetAsString("Spremenjen");
        q->FieldByName("Garancija")->Clear();
        q->Post();
        q->Next();
        q->Prior();
        EXPECT_EQ(q->FieldByName("Naziv")->AsString(), "Spremenjen");
        EXPECT_TRUE(q->FieldByName("Garancija")->IsNull());
        EXPECT_EQ(Scalar("SELECT Naziv FROM Ms WHERE Ident = 'A02' AND Garancija IS NULL"),
                  "Spremenjen");
        q->Next();
        q->Delete();
        EXPECT_EQ(q->FieldByName("Ident")->AsString(), "A04");
        std::vector<std::string> idents;
        for (q->First(); !q->Eof(); q->Next()) {
            idents.push_back(q->FieldByName("Ident")->AsString());
        }
        EXPECT_EQ(idents, (std::vector<std::string>{"A01", "A02", "A04", "A05"}));
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Ms"), "4");
        // The row changed elsewhere is read again by Refresh.
        THstmt other;
        other.SetHdbc(conn);
        other.SetSQL("UPDATE Ms SET Naziv = 'Od drugod' WHERE Ident = 'A01'");
        other.Execute();
        q->First();
        q->Refresh();
        EXPECT_EQ(q->FieldByName("Naziv")->AsString(), "Od drugod");
        // Through PostgreSQL's cursor only the refresh is generated: its driver re-reads
        // another row than the one asked for.
        if (!skip && !IsSQLite()) {
            ASSERT_EQ(statements.size(), 1u);
            EXPECT_EQ(statements[0].substr(0, 9), "4 SELECT ");
        }
        q->Close();
    }
}

TEST_P(DataSetPostTest, LocateInsertStandsOnTheNewRowAndRefusedWritesLeaveTheDatabase) {
    for (bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "generated" : "through the cursor where it can");
        Exec({"DELETE FROM PrometPoz"});
        TOEQuery* q = Lines(skip);
        q->SetLocateInsert(true);
        q->Open();
        AppendLine(q, "26IR00002", 1, "Prva");
        AppendLine(q, "26IR00003", 1, "Zadnja");
        AppendLine(q, "26IR00002", 2, "Vmes");
        EXPECT_EQ(q->FieldByName("Naziv")->AsString(), "Vmes");
        EXPECT_EQ(q->FieldByName("Poz")->AsInteger(), 2);
        q->Next();
        EXPECT_EQ(q->FieldByName("Naziv")->AsString(), "Zadnja");

        // OnUpdateRecord refusing: the post completes, nothing is written.
        std::vector<TOEUpdateKind> kinds;
        q->OnUpdateRecord = [&](TDataSet&, TOEUpdateKind kind, bool& apply) {
            kinds.push_back(kind);
            apply = false;
        };
        q->SetLocateInsert(false);
        q->Edit();
        q->FieldByName("Naziv")->SetAsString("Ne zapisano");
        q->Post();
        EXPECT_EQ(q->State(), dsBrowse);
        q->Delete();
        AppendLine(q, "26IR00009", 1, "Ne zapisano");
        EXPECT_EQ(kinds, (std::vector<TOEUpdateKind>{ukModify, ukDelete, ukInsert}));
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PrometPoz"), "3");
        EXPECT_EQ(Scalar("SELECT Naziv FROM PrometPoz WHERE Kljuc = '26IR00003'"), "Zadnja");
        q->Close();
    }
}

TEST_P(DataSetPostTest, TargetSettingsNameTheTableKeysAndColumnsLeftOut) {
    InsertMs({"Prvi"});
    TTarget t;
    t.ReadStoredForm({"OE5.02", " Ms ", "Ident;", "Rabat;Popust;ostanek"});
    EXPECT_EQ(t.PrimaryCols(), std::vector<std::string>{"Ident"});
    EXPECT_EQ(t.IgnoreInsertCols(), (std::vector<std::string>{"Rabat", "Popust"}));
    EXPECT_EQ(t.IgnoreUpdateCols(), t.IgnoreInsertCols());
    EXPECT_EQ(t.StoredForm(), (std::vector<std::string>{"OE5.05", " Ms ", "Ident;", "Rabat;Popust;",
                                                        "Rabat;Popust;"}));
    t.ReadStoredForm({"OE5.05", "", "", "", "VPCena;"});
    EXPECT_TRUE(t.IgnoreInsertCols().empty());
    EXPECT_EQ(t.IgnoreUpdateCols(), std::vector<std::string>{"VPCena"});

    TOEQuery* q = Live({"SELECT Ident, Naziv, VPCena, Rabat FROM Ms ", "ORDER BY IDENT "}, true);
    q->HStmt().Target().ReadStoredForm({"OE5.05", "Ms", "Ident;", "Rabat;", "VPCena;"});
    Watch(q);
    q->Open();
    q->Edit();
    q->FieldByName("VPCena")->SetAsFloat(99);
    q->FieldByName("Naziv")->SetAsString("Nov");
    q->Post();
    q->Append();
    q->FieldByName("Ident")->SetAsString("B01");
    q->FieldByName("Rabat")->SetAsFloat(5);
    q->FieldByName("VPCena")->SetAsFloat(7);
    q->Post();
    ASSERT_EQ(statements.size(), 2u);
    // Only the changed column that is not left out.
    EXPECT_EQ(statements[0], "1 UPDATE Ms SET " + q->Statement().ColNames()[1] + " = ? WHERE " +
                                 q->Statement().ColNames()[0] + " = ?");
    EXPECT_EQ(Scalar("SELECT Naziv || '/' || VPCena FROM Ms WHERE Ident = 'A01'"), "Nov/1.25");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Ms WHERE Ident = 'B01' AND Rabat IS NULL AND "
                     "VPCena = 7"),
              "1");
    // Changing the SQL clears the settings.
    q->SQL().Clear();
    EXPECT_TRUE(q->HStmt().Target().Empty());

    // The failures of a write that cannot be made.
    auto message = [&](const std::function<void()>& post) {
        try {
            post();
        } catch (const EODBCExpress& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    q->SQL().Add("SELECT Ident, Naziv FROM Ms");
    q->HStmt().Target().SetPrimaryCols({"Nope"});
    q->Open();
    q->Edit();
    q->FieldByName("Naziv")->SetAsString("Spet nov");
    EXPECT_EQ(message([&] { q->Post(); }), "Identifier Nope not found in result set.");
    q->Cancel();
    q->Close();
    Exec({"DROP TABLE IF EXISTS BrezKljuca", "CREATE TABLE BrezKljuca (A INTEGER, B VARCHAR(5))",
          "INSERT INTO BrezKljuca VALUES (1, 'x')"});
    TOEQuery* k = Live({"SELECT * FROM BrezKljuca"}, true);
    k->Open();
    k->Edit();
    k->FieldByName("B")->SetAsString("y");
    EXPECT_EQ(message([&] { k->Post(); }),
              "Unable to determine primary columns:  set PrimaryCols property.");
    k->Cancel();
    k->SetLocateInsert(true);
    k->Append();
    EXPECT_EQ(message([&] { k->Post(); }), "Cannot detect primary columns to locate inserted row.");
    k->Cancel();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM BrezKljuca"), "1");
    k->Close();
    TOEQuery* e = Live({"SELECT 1 AS Ena"}, true);
    e->Open();
    e->Edit();
    e->FieldByName("Ena")->SetAsInteger(2);
    EXPECT_EQ(message([&] { e->Post(); }),
              "Unable to determine table name:  set TargetTable property.");
    e->Cancel();
}

TEST_P(DataSetPostTest, NamesWithBlanksAreQuoted) {
    EXPECT_EQ(QuoteIdentifier("Sifra Art"), "\"Sifra Art\"");
    EXPECT_EQ(QuoteIdentifier("Cena$"), "\"Cena$\"");
    EXPECT_EQ(QuoteIdentifier("Cena AS C"), "Cena AS C");
    EXPECT_EQ(QuoteIdentifier("\"Ze\""), "\"Ze\"");
    EXPECT_EQ(QuoteIdentifier("Ms"), "Ms");
    Exec({"DROP TABLE IF EXISTS \"Art Sif\"",
          "CREATE TABLE \"Art Sif\" (\"Sifra Art\" VARCHAR(10) PRIMARY KEY, Naziv VARCHAR(10))"});
    TOEQuery* q = Live({"SELECT * FROM \"Art Sif\""}, true);
    q->HStmt().Target().SetTargetTable("Art Sif");
    // PostgreSQL's cursor does not show the rows added: the dataset finds it again.
    q->SetLocateInsert(true);
    Watch(q);
    q->Open();
    q->Append();
    q->FieldByName("Sifra Art")->SetAsString("X1");
    q->Post();
    q->Edit();
    q->FieldByName("Naziv")->SetAsString("Y");
    q->Post();
    ASSERT_EQ(statements.size(), 2u);
    EXPECT_EQ(statements[0], "8 INSERT INTO \"Art Sif\" (\"Sifra Art\") VALUES (?)");
    EXPECT_EQ(statements[1], "1 UPDATE \"Art Sif\" SET " + q->Statement().ColNames()[1] +
                                 " = ? WHERE \"Sifra Art\" = ?");
    EXPECT_EQ(Scalar("SELECT Naziv FROM \"Art Sif\""), "Y");
    q->Close();
    Exec({"DROP TABLE \"Art Sif\""});
}
TEST_P(DataSetPostTest, PictureMasksCheckEachFieldBeforeThePostAndDatabaseNameFindsTheConnection) {
    auto* q = new TwwOEDataSet(owner.get());
    EXPECT_TRUE(q->ValidateWithMask());
    // The constructor took the owner's connection.
    EXPECT_EQ(q->DatabaseName(), "Database");
    auto* other = new TComponent(owner.get());
    other->SetName("NiPovezava");
    q->SetDatabaseName("NiPovezava");
    q->SetDatabaseName("NoSuchComponent");
    EXPECT_EQ(q->Hdbc(), conn);
    TwwOEDataSet loose;
    EXPECT_EQ(loose.DatabaseName(), "");
    loose.SetDatabaseName("Database"); // no owner to look in
    EXPECT_EQ(loose.Hdbc(), nullptr);

    q->SetSQL({"SELECT * FROM Ms ", "ORDER BY IDENT "});
    q->SetRequestLive(true);
    q->SetPictureMasks({"IDENT\t&##\tT", "Naziv\t", "EM\t{kos,kg}"});
    std::vector<std::string> events;
    q->BeforePost = [&](TDataSet&) { events.push_back("BeforePost"); };
    q->OnInvalidValue = [&](TwwOEDataSet&, TField* f) { events.push_back(f->FieldName()); };
    q->Open();
    q->Append();
    q->FieldByName("Ident")->SetAsString("B1");
    q->FieldByName("Naziv")->SetAsString("brez maske");
    try {
        q->Post();
        FAIL() << "posted a value its mask refuses";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(std::string(e.what()),
                  kPictureInvalidMessage + q->FieldByName("Ident")->DisplayName());
    }
    EXPECT_EQ(events,
              (std::vector<std::string>{"BeforePost", q->FieldByName("Ident")->FieldName()}));
    EXPECT_EQ(q->State(), dsInsert);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Ms"), "0");
    q->FieldByName("Ident")->SetAsString("B12");
    q->FieldByName("EM")->SetAsString("l");
    EXPECT_THROW(q->Post(), EDatabaseError);
    // A read-only field never stops the post, nor does any field without the check.
    q->FieldByName("EM")->SetReadOnly(true);
    q->Post();
    q->FieldByName("EM")->SetReadOnly(false);
    q->SetValidateWithMask(false);
    q->Append();
    q->FieldByName("Ident")->SetAsString("nič");
    q->Post();
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Ms WHERE Ident IN ('B12', 'nič') AND EM IS NULL"), "1");
    q->Close();
}

TEST_P(DataSetPostTest, AnEditOfTheKeyFindsTheRowByItsOldKey) {
    InsertMs({"Prvi", "Drugi"});
    for (bool skip : {false, true}) {
        SCOPED_TRACE(skip ? "generated" : "through the cursor where it can");
        TOEQuery* q = Live({"SELECT * FROM Ms ", "ORDER BY IDENT "}, skip);
        q->Open();
        q->Edit();
        q->FieldByName("Ident")->SetAsString(skip ? "A11" : "A00");
        q->FieldByName("Naziv")->SetAsString("Preimenovan");
        q->Post();
        q->Close();
    }
    // The second edit found the row by the key the first one gave it; the other row
    // is untouched.
    EXPECT_EQ(Scalar("SELECT Ident || '/' || Naziv FROM Ms WHERE Naziv = 'Preimenovan'"),
              "A11/Preimenovan");
    EXPECT_EQ(Scalar("SELECT Naziv FROM Ms WHERE Ident = 'A02'"), "Drugi");
}

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetPostTest);

} // namespace
} // namespace zen
