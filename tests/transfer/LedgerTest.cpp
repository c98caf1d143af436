// The transfer ledger in the Tevrin database, the lock of a file's runs, and a home's old
// journal read into the ledger, on both drivers.

#include "transfer/Ledger.h"
#include "app/SignOn.h"
#include "odbc/Hdbc.h"
#include "support/OdbcTestEnv.h"
#include "support/RunTotalsOf.h"
#include "support/SignedOnSchema.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"
#include "transfer/FileRunLock.h"
#include "transfer/TransferHistory.h"
#include "transfer/TransferJournal.h"

#include <chrono>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace zen::test {
namespace {

static auto* const odbcEnv = RegisterOdbcTestEnv();

// The journal's tables as the version before the ledger wrote them.
constexpr const char* kOldJournal =
    "CREATE TABLE Run (Id INTEGER PRIMARY KEY, FileHash TEXT NOT NULL, DataSource TEXT NOT "
    "NULL, PoslDog TEXT, Referent TEXT, IssueDate TEXT, FilePath TEXT, Started TEXT NOT NULL, "
    "Status TEXT NOT NULL DEFAULT 'running', Finished TEXT, Error TEXT, Resumed TEXT, Undo TEXT, "
    "Undone TEXT, UndoneBy TEXT);"
    "CREATE TABLE Invoice (RunId INTEGER NOT NULL, Seq INTEGER NOT NULL, Kljuc TEXT NOT NULL, "
    "Recorded TEXT NOT NULL, Placnik TEXT, State TEXT NOT NULL DEFAULT 'committed', Lines "
    "INTEGER, Vrednost TEXT, ZaPlacilo TEXT, DatumSpre TEXT, PRIMARY KEY (RunId, Seq));"
    "PRAGMA user_version = 2;";

class LedgerTest : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        dsn = test::FreshSignedOnSchema(GetParam());
        SignOn(db, dsn.dsn);
    }
    TTransferRunInputs Inputs(const std::string& hash) {
        return {hash, dsn.dsn, "IR", "01", EncodeDate(2026, 12, 7), "/srv/prenos/Prenos.dbf"};
    }
    // A group's invoices committed as a run commits them.
    void Record(int64_t run, int first, const std::vector<TLedgerInvoice>& invoices) {
        db.SetAutoCommit(false);
        RecordLedgerInvoices(db, run, first, invoices);
        db.Commit();
        db.SetAutoCommit(true);
    }
    void Exec(const std::vector<std::string>& sql) { OdbcTestEnv::Get().Exec(dsn, sql); }

    TempHome home;
    DsnInfo dsn;
    THdbc db;
};

// The tables are made by the first that needs them, never by a reader; runs and their
// invoices come back as written, hostile texts included; a file's runs that count are those
// that booked invoices and were not undone.
TEST_P(LedgerTest, RunsAndInvoicesComeBackAsWritten) {
    EXPECT_FALSE(LedgerExists(db));
    EXPECT_TRUE(LedgerRuns(db).empty());
    EXPECT_FALSE(LedgerExists(db)) << "a reader made the tables";
    EnsureLedgerTables(db);
    EnsureLedgerTables(db);
    ASSERT_TRUE(LedgerExists(db));

    TTransferRunInputs in = Inputs("aa");
    in.FilePath = "/srv/O'Brien'; DROP TABLE Promet; --/Čevljarna.dbf";
    const int64_t first = BeginLedgerRun(db, in);
    const int64_t second = BeginLedgerRun(db, Inputs("bb"));
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
    Record(first, 0, {{"26IR00001", "O'Hara d.o.o.", 2, "f1"}});
    Record(first, 1, {{"26IR00002", "Žaga \"Bor\"", 3, ""}, {"26IR00003", "Ana", 1, "f3"}});
    FinishLedgerRun(db, first, true, {});
    FinishLedgerRun(db, second, false, "Vzrok: ' OR 1=1");

    std::vector<TTransferRun> runs = LedgerRuns(db);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Id, second);
    EXPECT_EQ(runs[0].Status, TTransferRunStatus::Failed);
    EXPECT_EQ(runs[0].Error, "Vzrok: ' OR 1=1");
    EXPECT_EQ(runs[1].FilePath, in.FilePath);
    EXPECT_EQ(runs[1].Invoices, 3);
    EXPECT_EQ(runs[1].FirstKey, "26IR00001");
    EXPECT_EQ(runs[1].LastKey, "26IR00003");
    EXPECT_EQ(runs[1].IssueDate, EncodeDate(2026, 12, 7));
    EXPECT_EQ(runs[1].Status, TTransferRunStatus::Completed);
    EXPECT_EQ(runs[1].Home, home.Path().string());
    const std::vector<TLedgerInvoice> invoices = LedgerInvoices(db, first);
    ASSERT_EQ(invoices.size(), 3u);
    EXPECT_EQ(invoices[1].Placnik, "Žaga \"Bor\"");
    EXPECT_EQ(invoices[1].Lines, 3);
    EXPECT_EQ(invoices[1].Fingerprint, "");
    EXPECT_EQ(invoices[0].Placnik, "O'Hara d.o.o.");
    EXPECT_EQ(LedgerInvoiceCount(db, first), 3);

    EXPECT_EQ(LedgerRunsOfFile(db, "aa").size(), 1u);
    EXPECT_TRUE(LedgerRunsOfFile(db, "bb").empty()) << "a run that booked nothing counts not";
    db.SetAutoCommit(false);
    EXPECT_TRUE(MarkLedgerRunUndone(db, first, "ana"));
    EXPECT_FALSE(MarkLedgerRunUndone(db, first, "bor")) << "undone twice";
    db.Commit();
    db.SetAutoCommit(true);
    EXPECT_TRUE(LedgerRunsOfFile(db, "aa").empty());
    EXPECT_EQ(RunStateText(*FindLedgerRun(db, first)), "razveljavljen");
    EXPECT_FALSE(FindLedgerRun(db, 99));
}

// A ledger made by an earlier version has no columns for the control totals: its runs read
// without totals, and a run's start adds the columns, also when two start at the same
// moment. Totals recorded come back exact, the lines counted from the ledger's invoices.
TEST_P(LedgerTest, AnEarlierLedgerGetsTheTotalsColumns) {
    std::vector<std::string> earlier = LedgerDdl();
    earlier[0] = earlier[0].substr(0, earlier[0].find(",\n  Zapisov")) + "\n)";
    Exec(earlier);
    const int64_t old = BeginLedgerRun(db, Inputs("aa"));
    Record(old, 0, {{"26IR00001", "Ana", 2, "f1"}});
    ASSERT_TRUE(FindLedgerRun(db, old));
    EXPECT_FALSE(FindLedgerRun(db, old)->Totals);

    // Two runs starting at once, each in a process of its own, add the columns.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < 2; ++i) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            char go;
            ::close(ready[1]);
            int status = 1;
            try {
                THdbc own;
                SignOn(own, dsn.dsn);
                if (::read(ready[0], &go, 1) == 0) {
                    EnsureLedgerTotals(own);
                    status = 0;
                }
            } catch (const std::exception& e) {
                std::fprintf(stderr, "%s\n", e.what());
            }
            ::_exit(status);
        }
        children.push_back(pid);
    }
    ::close(ready[0]);
    std::this_thread::sleep_for(std::chrono::milliseconds(300)); // both signed on
    ::close(ready[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EnsureLedgerTotals(db);

    // Amounts past a billion, to the fourth decimal, come back exact.
    TRunTotals totals = test::RunTotalsOf(100001, 1, 1234567891, 12345678901234, 2716049358271,
                                          15061728259505, 12345678901239);
    db.SetAutoCommit(false);
    RecordLedgerTotals(db, old, totals);
    db.Commit();
    db.SetAutoCommit(true);
    totals.Invoices = 1;
    totals.Lines = 2;
    const std::optional<TRunTotals> back = FindLedgerRun(db, old)->Totals;
    ASSERT_TRUE(back);
    EXPECT_EQ(ControlTotalsText(*back), ControlTotalsText(totals));
    EXPECT_EQ(ControlTotalsText(*back),
              "Kontrolni seštevki: zapisov prebranih 100001, uporabljenih 2, zavrnjenih 1; "
              "računov 1, postavk 2; količina skupaj 123.456,7891; vrednost 1.234.567.890,1234, "
              "DDV 271.604.935,8271, za plačilo 1.506.172.825,9505; vrednost po datoteki "
              "(količina × cena) 1.234.567.890,1239, razlika -0,0005.");
    // In the CSV too; a leading minus is guarded as the report guards every cell.
    EXPECT_NE(HistoryCsv(LedgerRuns(db))
                  .find(";100001;2;1;2;123.456,7891;1.234.567.890,1234;271.604.935,8271;"
                        "1.506.172.825,9505;1.234.567.890,1239;'-0,0005\r\n"),
              std::string::npos)
        << HistoryCsv(LedgerRuns(db));
    totals.FileValue.reset();
    RecordLedgerTotals(db, old, totals);
    EXPECT_FALSE(LedgerRuns(db).front().Totals->FileValue) << "priced by the rules";
}

// One run of a file at a time in a database, from any connection; asking whether a file is
// locked takes nothing, and a lock goes with its holder.
TEST_P(LedgerTest, AFilesLockIsHeldByOneAndSeenByAll) {
    THdbc other;
    SignOn(other, dsn.dsn);
    EXPECT_FALSE(TFileRunLock::Held(other, "aa"));
    {
        TFileRunLock held(db, "aa");
        EXPECT_TRUE(TFileRunLock::Held(other, "aa"));
        EXPECT_TRUE(TFileRunLock::Held(db, "aa"));
        EXPECT_FALSE(TFileRunLock::Held(other, "bb"));
        EXPECT_THROW(TFileRunLock(other, "aa"), EFileRunLocked);
        TFileRunLock another(other, "bb");
        EXPECT_TRUE(TFileRunLock::Held(db, "bb"));
    }
    EXPECT_FALSE(TFileRunLock::Held(other, "aa"));
    TFileRunLock now(other, "aa");
    // On PostgreSQL the session holds it: a holder whose connection is gone holds nothing,
    // once the server has seen it go (on SQLite the process holds it).
    if (GetParam() != TestDriver::PostgreSQL) {
        return;
    }
    other.Disconnect();
    bool held = true;
    for (int i = 0; i < 100 && held; ++i) {
        held = TFileRunLock::Held(db, "aa");
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(held);
}

// A home's old journal is read into the ledger of the data source it names, once: its
// committed invoices with the fingerprint of those still as written, a pending key only
// when the database holds the invoice as the run wrote it (not another program's document
// with that key). It is set aside when every data source it names has been read.
TEST_P(LedgerTest, AHomesJournalIsReadInOnceAndThenSetAside) {
    Exec({"INSERT INTO Promet (Kljuc, Prejemnik, Vrednost, ZaPlacilo, DatumSpre, Knjizen) VALUES "
          "('26IR00001', 'Ana', 10, 12, '2026-12-07 11:30:00', 'K')",
          "INSERT INTO PrometPoz (Kljuc, Poz) VALUES ('26IR00001', 0)",
          "INSERT INTO Promet (Kljuc, Prejemnik, Vrednost, ZaPlacilo, DatumSpre, Knjizen) VALUES "
          "('26IR00002', 'Bor', 99, 99, '2026-12-07 11:30:00', 'K')",
          "INSERT INTO Promet (Kljuc, Prejemnik, Vrednost, ZaPlacilo, DatumSpre, Knjizen) VALUES "
          "('26IR00003', 'Ciril', 5, 6, '2026-12-07 11:30:00', 'K')",
          "INSERT INTO Promet (Kljuc, Prejemnik, Vrednost, ZaPlacilo, DatumSpre) VALUES "
          "('26IR00004', 'Dora', 1, 1, '2026-12-08 09:00:00')"});
    const std::string stamp = std::to_string(EncodeDate(2026, 12, 7) + EncodeTime(11, 30, 0, 0));
    const std::filesystem::path file = TransferJournalFile();
    sqlite3* j = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &j), SQLITE_OK);
    const std::string sql =
        std::string(kOldJournal) + "INSERT INTO Run VALUES (1, 'aa', '" + dsn.dsn +
        "', 'IR', '01', '2026-12-07', '/x/a.dbf', '2026-12-07 11:30:00', 'completed', NULL, "
        "NULL, NULL, NULL, NULL, NULL);"
        "INSERT INTO Run VALUES (2, 'bb', 'Drugi', 'IR', '01', '2026-12-07', '/x/b.dbf', "
        "'2026-12-07 12:00:00', 'running', NULL, NULL, NULL, NULL, NULL, NULL);"
        "INSERT INTO Invoice VALUES (1, 0, '26IR00001', 'x', 'Ana', 'committed', 1, '10.0000', "
        "'12.0000', '" +
        stamp +
        "');"
        "INSERT INTO Invoice VALUES (1, 1, '26IR00002', 'x', 'Bor', 'committed', 0, '10.0000', "
        "'12.0000', '" +
        stamp +
        "');"
        "INSERT INTO Invoice VALUES (1, 2, '26IR00003', 'x', 'Ciril', 'pending', 0, '5.0000', "
        "'6.0000', '" +
        stamp +
        "');"
        "INSERT INTO Invoice VALUES (1, 3, '26IR00004', 'x', 'Dora', 'pending', 0, '7.0000', "
        "'8.0000', '" +
        stamp +
        "');"
        "INSERT INTO Invoice VALUES (2, 0, '26IR00009', 'x', 'Eva', 'committed', 1, NULL, NULL, "
        "NULL);";
    ASSERT_EQ(sqlite3_exec(j, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(j);
    sqlite3_close(j);

    EnsureLedgerTables(db);
    EXPECT_EQ(ImportHomeJournal(db, dsn.dsn), 1);
    EXPECT_EQ(ImportHomeJournal(db, dsn.dsn), 0) << "read in twice";
    std::vector<TTransferRun> runs = LedgerRuns(db);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Status, TTransferRunStatus::Completed);
    EXPECT_EQ(runs[0].FileHash, "aa");
    EXPECT_EQ(runs[0].Started, EncodeDate(2026, 12, 7) + EncodeTime(11, 30, 0, 0));
    const std::vector<TLedgerInvoice> invoices = LedgerInvoices(db, runs[0].Id);
    ASSERT_EQ(invoices.size(), 3u) << "another program's 26IR00004 is no invoice of the run";
    EXPECT_EQ(invoices[0].Kljuc, "26IR00001");
    EXPECT_EQ(invoices[0].Fingerprint.size(), 64u);
    EXPECT_EQ(invoices[1].Kljuc, "26IR00002");
    EXPECT_EQ(invoices[1].Fingerprint, "") << "changed before it was read in";
    EXPECT_EQ(invoices[2].Kljuc, "26IR00003");
    EXPECT_TRUE(std::filesystem::exists(file)) << "set aside before 'Drugi' was read in";

    EXPECT_EQ(ImportHomeJournal(db, "drugi"), 1);
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(std::filesystem::exists(file.string() + ".uvozen"));
    EXPECT_EQ(LedgerRuns(db).size(), 2u);
}

// A damaged journal is reported by name and left where it is, with nothing written: the
// files it knew must not be taken as new.
TEST_P(LedgerTest, ADamagedJournalIsReportedAndLeftAsItIs) {
    EnsureLedgerTables(db);
    const std::filesystem::path file = TransferJournalFile();
    for (const std::string& bytes :
         {std::string(4096, 'x'), std::string("SQLite format 3") + std::string(4081, '\xA5')}) {
        {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out << bytes;
        }
        try {
            ImportHomeJournal(db, dsn.dsn);
            ADD_FAILURE() << "a damaged journal was read";
        } catch (const EJournalDamaged& e) {
            EXPECT_NE(std::string(e.what()).find(file.string()), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("Nič ni bilo zapisano."), std::string::npos);
        }
        EXPECT_EQ(ReadFileBytes(file), bytes);
        EXPECT_TRUE(LedgerRuns(db).empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, LedgerTest, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

TEST(TransferJournal, FileHashIsTheSha256OfTheBytes) {
    TempHome home;
    auto file = home.Path() / "Prenos.dbf";
    std::ofstream(file, std::ios::binary) << "abc";
    EXPECT_EQ(TransferFileHash(file),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_THROW(TransferFileHash(home.Path() / "missing.dbf"), EInOutError);
}

TEST(TransferHistory, QuestionsUseSloveneNumberFormsAndDates) {
    const std::pair<int, const char*> forms[] = {
        {0, "0 računov"},     {1, "1 račun"},        {2, "2 računa"},     {3, "3 računi"},
        {4, "4 računi"},      {5, "5 računov"},      {11, "11 računov"},  {12, "12 računov"},
        {21, "21 računov"},   {101, "101 račun"},    {102, "102 računa"}, {104, "104 računi"},
        {111, "111 računov"}, {1003, "1003 računi"},
    };
    for (auto [n, text] : forms) {
        EXPECT_EQ(RacunCount(n), text);
    }

    TTransferRun done;
    done.Started = EncodeDate(2026, 12, 7) + EncodeTime(11, 30, 59, 0);
    done.Invoices = 42;
    done.Status = TTransferRunStatus::Completed;
    EXPECT_EQ(JournalDateTime(EncodeDate(2026, 1, 5) + EncodeTime(9, 5, 0, 0)),
              "5. 1. 2026 ob 09:05");
    EXPECT_EQ(EarlierRunsQuestion({done}),
              "Datoteka je bila že prenesena 7. 12. 2026 ob 11:30 (42 računov). Želite "
              "nadaljevati?");
    TTransferRun killed;
    killed.Id = 7;
    killed.Started = EncodeDate(2026, 12, 8) + EncodeTime(8, 0, 0, 0);
    killed.Invoices = 2;
    killed.FirstKey = "26IR00043";
    killed.LastKey = "26IR00044";
    TTransferRun failed = killed;
    failed.Status = TTransferRunStatus::Failed;
    failed.Invoices = 1;
    failed.LastKey = failed.FirstKey;
    EXPECT_EQ(EarlierRunsQuestion({killed}),
              "Datoteka je bila že delno prenesena 8. 12. 2026 ob 08:00 (2 računa). Zapisani so "
              "računi 26IR00043–26IR00044 prekinjenega prenosa št. 7. Želite prenos nadaljevati "
              "in zapisati le račune, ki še manjkajo?");
    EXPECT_EQ(EarlierRunsQuestion({killed, done, failed}),
              "Datoteka je bila že prenesena 8. 12. 2026 ob 08:00 (2 računa, prenos ni bil "
              "končan), 7. 12. 2026 ob 11:30 (42 računov) in 8. 12. 2026 ob 08:00 (1 račun, "
              "prenos ni bil končan). Zapisani so računi 26IR00043 prekinjenega prenosa št. 7. "
              "Želite prenos nadaljevati in zapisati le račune, ki še manjkajo?");
    EXPECT_EQ(EarlierRunsQuestion({}), "");
    killed.Host = "pisarna-2";
    killed.Home = "/home/ana/.zendrato";
    killed.User = "ana";
    EXPECT_EQ(RunHolderText(killed), "prenos št. 7, začet 8. 12. 2026 ob 08:00 na računalniku "
                                     "pisarna-2 (mapa /home/ana/.zendrato, uporabnik ana)");
    killed.Live = true;
    EXPECT_EQ(RunStateText(killed), "teče");
    killed.Live = false;
    EXPECT_EQ(RunStateText(killed), "prekinjen");
}

} // namespace
} // namespace zen::test
