// Datasets writing rows back on both drivers: appending, editing, deleting and refreshing
// through the cursor where it can write (PostgreSQL) and through generated statements
// (SQLite, and PostgreSQL with SkipByPosition), the database defaults of an insert, the
// texts and parameters of generated statements, failures that leave the dataset as it was.

#include "DataSetFixture.h"
#include "odbc/OCLError.h"

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

ZEN_INSTANTIATE_FOR_DRIVERS(DataSetPostTest);

} // namespace
} // namespace zen
