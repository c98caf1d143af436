#include "transfer/TransferJournal.h"

#include "../dbutil/LogReader.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"

#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace zen;

namespace {

TTransferRunInputs Inputs(const std::string& hash, const std::string& dsn) {
    TTransferRunInputs in;
    in.FileHash = hash;
    in.DataSource = dsn;
    in.PoslDog = "IR";
    in.Referent = "01";
    in.IssueDate = EncodeDate(2026, 12, 7);
    in.FilePath = "/srv/prenos/Prenos.dbf";
    return in;
}

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::filesystem::path& p, const std::string& bytes, std::streamoff at = 0) {
    std::fstream out(p, std::ios::binary | std::ios::in | std::ios::out);
    if (!out) {
        out.open(p, std::ios::binary | std::ios::out);
    }
    out.seekp(at);
    out << bytes;
}

// Rows of a journal table, read past the class under test.
int64_t CountRows(const char* table) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(TransferJournalFile().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, (std::string("SELECT COUNT(*) FROM ") + table).c_str(), -1, &s, nullptr);
    int64_t n = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int64(s, 0) : -1;
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

} // namespace

TEST(TransferJournal, RecordsRunsAndFindsThemByFileAndDataSourceOnly) {
    test::TempHome home;
    {
        TTransferJournal j;
        // A run that commits nothing has its row, written before any invoice could be,
        // and asks nothing of a later run.
        j.BeginRun(Inputs("aa", "Lorvath"));
        EXPECT_NE(j.CurrentRun(), 0);
        EXPECT_EQ(CountRows("Run"), 1);
        j.FinishRun(true);
        j.BeginRun(Inputs("aa", "Lorvath"));
        j.FinishRun(false, "Poslovni dogodek ne obstaja");
        EXPECT_TRUE(j.EarlierRuns("aa", "Lorvath").empty());
        EXPECT_EQ(j.CurrentRun(), 0);

        j.BeginRun(Inputs("aa", "Lorvath"));
        for (const char* k : {"26IR00007", "26IR00008", "26IR00009"}) {
            j.RecordInvoice(k);
        }
        j.FinishRun(true);
        j.BeginRun(Inputs("aa", "Lorvath"));
        j.RecordInvoice("26IR00010");
        j.FinishRun(false, "Key violation in Promet");
        // The same file into another data source, and another file into this one.
        j.BeginRun(Inputs("aa", "Drugi"));
        j.RecordInvoice("26IR00001");
        j.FinishRun(true);
        j.BeginRun(Inputs("bb", "Lorvath"));
        j.RecordInvoice("26IR00011");
        j.FinishRun(true);
    }
    EXPECT_EQ(TransferJournalFile(), home.Path() / "TransferJournal.db");

    // Read back by a new object, as the next start of the program would; the data source
    // name is matched without regard to case, as the driver manager finds it.
    TTransferJournal j;
    auto runs = j.EarlierRuns("aa", "LORVATH");
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].Invoices, 3);
    EXPECT_EQ(runs[0].Status, TTransferRunStatus::Completed);
    EXPECT_EQ(runs[0].PoslDog, "IR");
    EXPECT_EQ(runs[0].Referent, "01");
    EXPECT_EQ(runs[0].IssueDate, EncodeDate(2026, 12, 7));
    EXPECT_NEAR(runs[0].Started, Now(), 1.0 / 24);
    EXPECT_EQ(j.InvoiceKeys(runs[0].Id),
              (std::vector<std::string>{"26IR00007", "26IR00008", "26IR00009"}));
    EXPECT_EQ(runs[1].Invoices, 1);
    EXPECT_EQ(runs[1].Status, TTransferRunStatus::Failed);
    EXPECT_EQ(runs[1].Error, "Key violation in Promet");
    EXPECT_EQ(j.EarlierRuns("aa", "Drugi").size(), 1u);
    EXPECT_TRUE(j.EarlierRuns("aa", "Lorvath2").empty());
    EXPECT_TRUE(j.EarlierRuns("cc", "Lorvath").empty());

    EXPECT_THROW(j.RecordInvoice("26IR00012"), EInvalidOperation);
}

// A key is pending from before its invoice's commit until the commit is known: a killed run
// leaves it so, and the next run settles it against the database. A journal of the first
// version gets the new columns, its keys all committed.
TEST(TransferJournal, PendingKeysCountAsBookedUntilTheDatabaseSettlesThem) {
    test::TempHome home;
    {
        sqlite3* db = nullptr;
        sqlite3_open(TransferJournalFile().c_str(), &db);
        sqlite3_exec(
            db,
            "CREATE TABLE Run (Id INTEGER PRIMARY KEY, FileHash TEXT NOT NULL, DataSource "
            "TEXT NOT NULL, PoslDog TEXT, Referent TEXT, IssueDate TEXT, FilePath TEXT, "
            "Started TEXT NOT NULL, Status TEXT NOT NULL DEFAULT 'running', Finished TEXT, "
            "Error TEXT);"
            "CREATE TABLE Invoice (RunId INTEGER NOT NULL, Seq INTEGER NOT NULL, Kljuc TEXT "
            "NOT NULL, Recorded TEXT NOT NULL, PRIMARY KEY (RunId, Seq));"
            "INSERT INTO Run VALUES (1, 'old', 'Lorvath', 'IR', '01', '2026-12-01', 'x', "
            "'2026-12-01 10:00:00', 'completed', NULL, NULL);"
            "INSERT INTO Invoice VALUES (1, 0, '26IR00001', '2026-12-01 10:00:00');"
            "PRAGMA user_version = 1;",
            nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    TTransferJournal j;
    EXPECT_EQ(j.EarlierRuns("old", "Lorvath").size(), 1u);
    // A run killed with three keys written: the first two committed, the third pending,
    // and another run's pending key in another data source.
    j.BeginRun(Inputs("aa", "Lorvath"));
    j.RecordPending("26IR00002", "Plačnik A");
    j.InvoiceCommitted();
    j.RecordPending("26IR00003", "Plačnik B");
    j.InvoiceCommitted();
    j.RecordPending("26IR00004", "Plačnik C");
    TTransferJournal other;
    other.BeginRun(Inputs("aa", "Drugi"));
    other.RecordPending("26IR00009", "Plačnik D");

    TTransferJournal next;
    // Until settled, a pending key counts: the file is not offered as new.
    ASSERT_EQ(next.EarlierRuns("aa", "Lorvath").size(), 1u);
    EXPECT_EQ(next.EarlierRuns("aa", "Lorvath")[0].Invoices, 3);
    std::vector<std::string> asked;
    EXPECT_EQ(next.SettlePending("LORVATH",
                                 [&](const std::string& k, const std::string& p) {
                                     asked.push_back(k + "|" + p);
                                     return k != "26IR00004";
                                 }),
              1);
    EXPECT_EQ(asked, (std::vector<std::string>{"26IR00004|Plačnik C"}));
    const auto runs = next.EarlierRuns("aa", "Lorvath");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(next.InvoiceKeys(runs[0].Id), (std::vector<std::string>{"26IR00002", "26IR00003"}));
    // A key found in the database stays, now committed: nothing is asked twice.
    other.FinishRun(false, "killed");
    EXPECT_EQ(
        next.SettlePending("Drugi", [](const std::string&, const std::string&) { return true; }),
        1);
    EXPECT_EQ(
        next.SettlePending("Drugi", [](const std::string&, const std::string&) { return false; }),
        0);
    EXPECT_EQ(next.EarlierRuns("aa", "Drugi")[0].Invoices, 1);
}

TEST(TransferJournal, FileHashIsTheSha256OfTheBytes) {
    test::TempHome home;
    auto file = home.Path() / "Prenos.dbf";
    WriteAll(file, "abc");
    EXPECT_EQ(TransferFileHash(file),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_THROW(TransferFileHash(home.Path() / "missing.dbf"), EInOutError);
}

// Begins a run in a child process, records keys, and kills the child by SIGKILL: with the
// journal still open when journalOpen, else after closing it.
static void RunKilled(const std::vector<std::string>& keys, bool journalOpen) {
    pid_t pid = fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
        try {
            TTransferJournal j;
            j.BeginRun(Inputs("aa", "Lorvath"));
            for (const std::string& key : keys) {
                j.RecordInvoice(key);
            }
            if (journalOpen) {
                raise(SIGKILL);
            }
        } catch (...) {
            _exit(3);
        }
        raise(SIGKILL);
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
}

TEST(TransferJournal, AKilledRunIsListedWithTheInvoicesItCommitted) {
    test::TempHome home;
    RunKilled({"26IR00001", "26IR00002"}, false);
    ASSERT_FALSE(HasFatalFailure());

    TTransferJournal j;
    auto runs = j.EarlierRuns("aa", "Lorvath");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Status, TTransferRunStatus::Running);
    EXPECT_EQ(runs[0].Invoices, 2);
    EXPECT_EQ(j.InvoiceKeys(runs[0].Id), (std::vector<std::string>{"26IR00001", "26IR00002"}));
    EXPECT_EQ(EarlierRunsQuestion(runs).rfind("Datoteka je bila že delno prenesena ", 0), 0u);
}

TEST(TransferJournal, ADamagedFileIsMovedAsideLoggedAndReplaced) {
    test::TempHome home;
    auto file = TransferJournalFile();
    auto logged = [] {
        int n = 0;
        for (const auto& row : test::ReadExceptionLog()) {
            n += row.operation == "TTransferJournal" && row.exceptObject == "EDatabaseError";
        }
        return n;
    };

    // Not a database at all.
    WriteAll(file, std::string(4096, 'x'));
    {
        TTransferJournal j;
        EXPECT_EQ(j.MovedAside(), home.Path() / "TransferJournal.db.damaged");
        EXPECT_EQ(ReadAll(j.MovedAside()), std::string(4096, 'x'));
        j.BeginRun(Inputs("aa", "Lorvath"));
        j.RecordInvoice("26IR00001");
        j.FinishRun(true);
        EXPECT_EQ(j.EarlierRuns("aa", "Lorvath").size(), 1u);
    }
    EXPECT_EQ(logged(), 1);
    EXPECT_NE(JournalDamagedNotice(home.Path() / "TransferJournal.db.damaged")
                  .find("TransferJournal.db.damaged"),
              std::string::npos);

    // A sound header over overwritten pages; the earlier damaged copy is kept.
    {
        TTransferJournal j;
        EXPECT_TRUE(j.MovedAside().empty());
    }
    WriteAll(file, std::string(3000, '\xA5'), 1024);
    {
        TTransferJournal j;
        EXPECT_EQ(j.MovedAside(), home.Path() / "TransferJournal.db.damaged2");
        EXPECT_TRUE(j.EarlierRuns("aa", "Lorvath").empty());
    }
    EXPECT_TRUE(std::filesystem::exists(home.Path() / "TransferJournal.db.damaged"));
    EXPECT_EQ(logged(), 2);
}

// Killed with the journal still open, a run's keys are only in the write-ahead log beside
// the file, never synced: the next opening still finds every key.
TEST(TransferJournal, KeysOfARunKilledWithTheJournalOpenAreInItsLog) {
    test::TempHome home;
    std::vector<std::string> keys;
    for (int i = 1; i <= 30; ++i) {
        keys.push_back("26IR000" + std::to_string(10 + i));
    }
    RunKilled(keys, true);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(ReadAll(TransferJournalFile().string() + "-wal").empty());

    TTransferJournal j;
    EXPECT_TRUE(j.MovedAside().empty());
    auto runs = j.EarlierRuns("aa", "Lorvath");
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Status, TTransferRunStatus::Running);
    EXPECT_EQ(runs[0].Invoices, 30);
    EXPECT_EQ(j.InvoiceKeys(runs[0].Id).back(), "26IR00040");
}

TEST(TransferJournal, QuestionUsesSloveneNumberFormsAndDates) {
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
    killed.Started = EncodeDate(2026, 12, 8) + EncodeTime(8, 0, 0, 0);
    killed.Invoices = 2;
    TTransferRun failed = killed;
    failed.Status = TTransferRunStatus::Failed;
    failed.Invoices = 1;
    EXPECT_EQ(EarlierRunsQuestion({killed}),
              "Datoteka je bila že delno prenesena 8. 12. 2026 ob 08:00 (2 računa). Želite "
              "nadaljevati?");
    EXPECT_EQ(EarlierRunsQuestion({killed, done, failed}),
              "Datoteka je bila že prenesena 8. 12. 2026 ob 08:00 (2 računa, prenos ni bil "
              "končan), 7. 12. 2026 ob 11:30 (42 računov) in 8. 12. 2026 ob 08:00 (1 račun, "
              "prenos ni bil končan). Želite nadaljevati?");
    EXPECT_EQ(EarlierRunsQuestion({}), "");
}
