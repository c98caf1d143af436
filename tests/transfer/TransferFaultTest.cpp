// A transfer run meeting faults on both drivers: the database refusing or losing the
// connection in the middle of the invoices, the transfer file changed under the run, and
// the local tables' directory read-only or full. Each ends with a clear message, leaves
// every committed invoice whole and no other, and the journal names what was committed.

#include "FaultFixture.h"
#include "odbc/OCL.h"
#include "transfer/TransferHistory.h"

#include "dataset/ODSI.h"

#include "toolkit/Exceptions.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sqlite3.h>

namespace zen::test {
namespace {

static auto* const odbcEnv = RegisterOdbcTestEnv();

// A tmpfs of the test's own over a directory, gone with the object. ctest runs this program
// in a mount namespace of its own (tests/support/own-mount-namespace), where a non-root
// user may mount too; where the system allows no such namespace, Problem() says why.
class TTmpfs {
public:
    TTmpfs(const std::filesystem::path& at, unsigned long flags, const std::string& options)
        : at_(at) {
        std::filesystem::create_directories(at);
        if (mount("tmpfs", at.c_str(), "tmpfs", flags, options.c_str()) != 0) {
            problem_ = "cannot mount a tmpfs on " + at.string() + ": " + std::strerror(errno);
        }
    }
    ~TTmpfs() {
        if (problem_.empty()) {
            umount2(at_.c_str(), MNT_DETACH); // a table may still hold a file there
        }
    }
    const std::string& Problem() const { return problem_; }

private:
    std::filesystem::path at_;
    std::string problem_;
};

using TransferFaultTest = FaultFixture;

// The third of four invoices fails: between invoices or half-way through one, by a lost
// connection, a refused line or a refused header. The two before stay whole, the third
// leaves nothing, the message says so in Slovene, the journal names the two, a rerun is
// asked about, and a forced one on the same objects reconnects and writes all four.
TEST_P(TransferFaultTest, AnInvoiceThatFailsLeavesTheEarlierOnesWholeAndTheNextRunWorks) {
    const bool pg = GetParam() == TestDriver::PostgreSQL;
    // The invoices are committed fifty at a time: the failure comes in the second group,
    // after its first invoice, which goes with it; the first group stays.
    constexpr int kPayersHere = 53;
    constexpr int kFailing = 52;
    struct TCase {
        std::string name;
        std::vector<std::string> arm, disarm;
        bool terminateAfterSecond = false;
    };
    std::vector<TCase> cases;
    if (pg) {
        // From another connection, as an administrator would.
        cases.push_back({"backend terminated between invoices", {}, {}, true});
        // By the run's own server process, with the third invoice's first line posted.
        cases.push_back(
            {"backend terminated inside an invoice",
             {"CREATE OR REPLACE FUNCTION zen_fault() RETURNS trigger AS $$ BEGIN PERFORM "
              "pg_terminate_backend(pg_backend_pid()); PERFORM pg_sleep(5); RETURN NEW; END $$ "
              "LANGUAGE plpgsql",
              "CREATE TRIGGER zen_fault BEFORE INSERT ON PrometPoz FOR EACH ROW WHEN (NEW.Kljuc "
              "= '" +
                  Key(kFailing) + "' AND NEW.Poz = 1) EXECUTE FUNCTION zen_fault()"},
             {"DROP TRIGGER zen_fault ON PrometPoz"}});
        cases.push_back({"line refused by a check",
                         {"ALTER TABLE PrometPoz ADD CONSTRAINT zen_fault CHECK (NOT (Kljuc = '" +
                          Key(kFailing) + "' AND Poz = 1))"},
                         {"ALTER TABLE PrometPoz DROP CONSTRAINT zen_fault"}});
        cases.push_back({"header refused by a check",
                         {"ALTER TABLE Promet ADD CONSTRAINT zen_fault CHECK (Kljuc <> '" +
                          Key(kFailing) + "')"},
                         {"ALTER TABLE Promet DROP CONSTRAINT zen_fault"}});
    } else {
        cases.push_back(
            {"line refused by a trigger",
             {"CREATE TRIGGER zen_fault BEFORE INSERT ON PrometPoz WHEN NEW.Kljuc = '" +
              Key(kFailing) + "' AND NEW.Poz = 1 BEGIN SELECT RAISE(ABORT, 'zavrnjeno'); END"},
             {"DROP TRIGGER zen_fault"}});
        cases.push_back({"header refused by a trigger",
                         {"CREATE TRIGGER zen_fault BEFORE INSERT ON Promet WHEN NEW.Kljuc = '" +
                          Key(kFailing) + "' BEGIN SELECT RAISE(ABORT, 'zavrnjeno'); END"},
                         {"DROP TRIGGER zen_fault"}});
    }
    // The group's invoices before the failing one are named as rolled back.
    auto told = [](int failing) {
        char payer[32];
        std::snprintf(payer, sizeof payer, " (Plačnik %03d)", failing);
        return "Prenos je prekinjen pri računu " + Key(failing) + payer +
               ", ki ni zapisan. Zapisanih računov: 50 (" + Key(1) + "–" + Key(50) + ")." +
               (failing > 51 ? " Računi " + Key(51) +
                                   ", narejeni po zadnji potrditvi, so preklicani in jih v bazi ni."
                             : std::string()) +
               " Nadaljevanje prenosa (--resume ali »Nadaljuj«) zapiše račune, ki še niso "
               "zapisani.\nVzrok: ";
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDatabase(kPayersHere);
        WriteFile(kPayersHere);
        const std::string hash = TransferFileHash(options.Path);
        Exec(c.arm);
        module = std::make_unique<TTransferModule>();
        ui = std::make_unique<TFaultUi>();
        if (c.terminateAfterSecond) {
            ui->afterInvoice = [](size_t n) {
                if (n == 50) {
                    OdbcTestEnv::Get().Scalar(
                        OdbcTestEnv::Get().PostgresAdmin(),
                        "SELECT COUNT(pg_terminate_backend(pid)) FROM pg_stat_activity WHERE "
                        "datname = 'tevrin' AND pid <> pg_backend_pid()");
                }
            };
        }
        const std::string expected = told(c.terminateAfterSecond ? 51 : kFailing);
        std::vector<std::string> first;
        for (int i = 1; i <= 50; ++i) {
            first.push_back(Key(i));
        }
        TTransfer run(module->Components(), *ui, SignOn);
        try {
            run.Execute(options);
            ADD_FAILURE() << "the run ended normally";
        } catch (const std::exception& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, expected.size()), expected) << e.what();
            EXPECT_GT(std::strlen(e.what()), expected.size()) << "the cause is missing";
        }
        EXPECT_EQ(run.Invoices(), 50);
        EXPECT_EQ(Invoices(), "50/100");
        EXPECT_EQ(PartialInvoices(), kWhole);
        EXPECT_EQ(LedgerKeys(hash), first);
        std::vector<TTransferRun> runs = LedgerRuns(hash);
        ASSERT_EQ(runs.size(), 1u);
        if (c.name.rfind("backend terminated", 0) == 0) {
            // Its end could not be written with the connection gone: it shows as stopped.
            EXPECT_EQ(RunStateText(runs[0]), "prekinjen");
        } else {
            EXPECT_EQ(runs[0].Status, TTransferRunStatus::Failed);
            EXPECT_EQ(runs[0].Error.substr(0, expected.size()), expected);
        }

        Exec(c.disarm);
        ui->afterInvoice = nullptr;
        EXPECT_EQ(run.Execute(options), TTransferOutcome::RepeatRefused);
        ASSERT_EQ(ui->questions.size(), 1u);
        EXPECT_EQ(ui->questions[0].rfind("Datoteka je bila že delno prenesena", 0), 0u)
            << ui->questions[0];
        // Resumed, the run writes only what is missing, as one run.
        options.Resume = true;
        ui->invoices.clear();
        EXPECT_EQ(run.Execute(options), TTransferOutcome::Completed);
        options.Resume = false;
        std::vector<std::string> rest;
        for (int i = 51; i <= kPayersHere; ++i) {
            rest.push_back(Key(i));
        }
        EXPECT_EQ(ui->invoices, rest);
        EXPECT_EQ(Invoices(), std::to_string(kPayersHere) + "/" + std::to_string(2 * kPayersHere));
        EXPECT_EQ(PartialInvoices(), kWhole);
        EXPECT_EQ(LedgerKeys(hash).size(), size_t(kPayersHere));
        module.reset();
    }

    // A dry run that fails says that it wrote nothing.
    const TCase& refused = cases.back();
    ResetDatabase(kPayersHere);
    WriteFile(kPayersHere);
    Exec(refused.arm);
    options.Check = true;
    const std::string error = Run();
    const std::string dry = "Prenos je prekinjen pri računu " + Key(kFailing) +
                            " (Plačnik 052). Preizkus: v bazi Tevrin ni nič zapisano.\nVzrok: ";
    EXPECT_EQ(error.substr(0, dry.size()), dry) << error;
    EXPECT_EQ(Invoices(), "0/0");
    module.reset();
    Exec(refused.disarm);
}

// The run fails right after a group of invoices is committed and recorded, while it tells
// them. The last of them is told as written, and the message says it is in the journal: the
// run stopped after it, not at it.
TEST_P(TransferFaultTest, AFailureAfterARecordedInvoiceSaysItIsWrittenAndRecorded) {
    ResetDatabase(51);
    WriteFile(51);
    const std::string error = Run([](size_t n) {
        if (n == 50) {
            throw EInOutError("Izpis ni mogoč.");
        }
    });
    const std::string told = "Prenos je prekinjen po računu " + Key(50) +
                             " (Plačnik 050), ki je zapisan. Zapisanih računov: 50 (" + Key(1) +
                             "–" + Key(50) + "). Nadaljevanje prenosa";
    EXPECT_EQ(error.substr(0, told.size()), told) << error;
    EXPECT_EQ(ui->invoices.size(), 50u);
    EXPECT_EQ(written, 50);
    module.reset();
    EXPECT_EQ(Invoices(), "50/100");
    EXPECT_EQ(LedgerKeys(TransferFileHash(options.Path)).size(), 50u);
}

// The ledger refuses the rows of the second group (its table changed under the run): the
// group is not committed either, the run stops saying which invoices are written and which
// were rolled back, and a resume writes the rest.
TEST_P(TransferFaultTest, AGroupTheLedgerCannotTakeIsNotCommitted) {
    ResetDatabase(53);
    WriteFile(53);
    const std::string hash = TransferFileHash(options.Path);
    const std::string error = Run([&](size_t n) {
        if (n == 50) {
            Exec({GetParam() == TestDriver::PostgreSQL
                      ? "ALTER TABLE ZendratoPrenosRacun ADD CONSTRAINT zen_full CHECK (Zap < 50)"
                      : "CREATE TRIGGER zen_full BEFORE INSERT ON ZendratoPrenosRacun WHEN "
                        "NEW.Zap >= 50 BEGIN SELECT RAISE(ABORT, 'poln'); END"});
        }
    });
    const std::string told = "Prenos je prekinjen pri računu " + Key(53) +
                             " (Plačnik 053), ki ni zapisan. Zapisanih računov: 50 (" + Key(1) +
                             "–" + Key(50) + "). Računi " + Key(51) + "–" + Key(53) +
                             ", narejeni po zadnji potrditvi, so preklicani in jih v bazi ni.";
    EXPECT_EQ(error.substr(0, told.size()), told) << error;
    EXPECT_EQ(Invoices(), "50/100");
    EXPECT_EQ(PartialInvoices(), kWhole);
    EXPECT_EQ(LedgerKeys(hash).size(), 50u);

    Exec({GetParam() == TestDriver::PostgreSQL
              ? "ALTER TABLE ZendratoPrenosRacun DROP CONSTRAINT zen_full"
              : "DROP TRIGGER zen_full"});
    options.Resume = true;
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(outcome, TTransferOutcome::Completed);
    EXPECT_EQ(Invoices(), "53/106");
    EXPECT_EQ(LedgerKeys(hash).size(), 53u);
    std::vector<TTransferRun> runs = LedgerRuns(hash);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Status, TTransferRunStatus::Completed);
    module.reset();
}

// The transfer file is read whole when it is opened: deleting, cutting, rewriting or
// locking it while the run goes on changes nothing, and the journal knows the content
// that was transferred, even when the file changed before the journal was asked. A file cut or
// missing before the run is refused by name.
TEST_P(TransferFaultTest, TheTransferFileChangedUnderTheRun) {
    struct TCase {
        std::string name;
        std::function<void(const std::filesystem::path&)> during;
        bool beforeHash = false; // as the datasets open, after the file was read
    };
    int lockFd = -1;
    auto rewrite = [](const auto& path) { WriteDbf(path, TransferColumns(), {}); };
    const std::vector<TCase> cases = {
        {"deleted", [](const auto& path) { std::filesystem::remove(path); }},
        {"truncated", [](const auto& path) { std::filesystem::resize_file(path, 100); }},
        {"rewritten", rewrite},
        {"rewritten before the journal hashes it", rewrite, true},
        {"locked by another open file",
         [&](const auto& path) {
             lockFd = ::open(path.c_str(), O_RDWR);
             ASSERT_EQ(flock(lockFd, LOCK_EX | LOCK_NB), 0) << std::strerror(errno);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        ResetDatabase(2);
        WriteFile(2);
        const std::string hash = TransferFileHash(options.Path);
        module = std::make_unique<TTransferModule>();
        ui = std::make_unique<TFaultUi>();
        if (c.beforeHash) {
            module->Components().tbParameter->AfterOpen = [&](TDataSet&) {
                c.during(options.Path);
            };
        } else {
            ui->onCheckPhase = [&] { c.during(options.Path); };
        }
        TTransfer run(module->Components(), *ui, SignOn);
        EXPECT_EQ(run.Execute(options), TTransferOutcome::Completed);
        EXPECT_EQ(Invoices(), "2/4");
        EXPECT_EQ(PartialInvoices(), kWhole);
        EXPECT_EQ(LedgerKeys(hash), (std::vector<std::string>{Key(1), Key(2)}));
        if (lockFd >= 0) {
            ::close(lockFd);
            lockFd = -1;
        }
    }

    // Before the run: told by the file's name, nothing written, nothing in the journal.
    for (bool missing : {false, true}) {
        SCOPED_TRACE(missing ? "missing" : "cut in a record");
        ResetDatabase(2);
        WriteFile(2);
        if (missing) {
            std::filesystem::remove(options.Path);
        } else {
            std::filesystem::resize_file(options.Path,
                                         std::filesystem::file_size(options.Path) - 30);
        }
        std::string error = Run();
        EXPECT_NE(error.find(options.Path), std::string::npos) << error;
        EXPECT_NE(error.find(missing ? "ne obstaja" : "je krajša, kot pove njena glava"),
                  std::string::npos)
            << error;
        EXPECT_EQ(Invoices(), "0/0");
        auto db = Connect();
        EXPECT_TRUE(!LedgerExists(*db) || zen::LedgerRuns(*db).empty());
    }
}

// A file named as the transfer file that is no dBase table (the accounting database
// itself, say) or lacks a field the run reads is refused by name before anything is
// written, and is left as it was: an SQLite database keeps its bytes, its rollback journal
// mode among them, and gets no -wal or -shm beside it.
TEST_P(TransferFaultTest, AFileThatIsNoTransferFileIsRefusedAndLeftAsItWas) {
    ResetDatabase(2);
    const std::string transferFile = options.Path;
    options.Path = (home.Path() / "Tevrin.db").string();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(options.Path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "PRAGMA journal_mode=DELETE; CREATE TABLE Tevrin (Naziv TEXT); "
                           "INSERT INTO Tevrin VALUES ('Zavod Sonce')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const std::string before = ReadFileBytes(options.Path);
    ASSERT_EQ(before.at(18), 1) << "not in rollback-journal mode";

    EXPECT_EQ(Run(), "Datoteka " + options.Path + " ni datoteka dBase.");
    const std::string after = ReadFileBytes(options.Path);
    EXPECT_EQ(after.substr(18, 2), before.substr(18, 2)) << "the journal mode changed";
    EXPECT_TRUE(after == before) << "the file changed";
    for (const char* beside : {"-wal", "-shm", "-journal"}) {
        EXPECT_FALSE(std::filesystem::exists(options.Path + beside)) << beside;
    }

    options.Path = transferFile;
    WriteDbf(options.Path, {{"ARTIKEL", 'C', 16}, {"KOLICINA", 'N', 10, 3}}, {{"ADSL", "1.000"}});
    EXPECT_EQ(Run(), "Datoteka " + options.Path + " nima polj Stranka in StRac.");
    WriteDbf(options.Path, {{"STRANKA", 'C', 40}, {"KOLICINA", 'N', 10, 3}, {"STRAC", 'C', 10}},
             {{"P001", "1.000", "1"}});
    // Cut in its record: the fields are looked at before the records are.
    std::filesystem::resize_file(options.Path, std::filesystem::file_size(options.Path) - 10);
    EXPECT_EQ(Run(), "Datoteka " + options.Path + " nima polja Artikel.");

    EXPECT_EQ(Invoices(), "0/0");
    EXPECT_FALSE(std::filesystem::exists(home.Path() / "TevrinTemp" / "TPrenosNapaka.db"))
        << "the local tables were made";
    EXPECT_TRUE(LedgerRuns(TransferFileHash(options.Path)).empty());
}

// The local tables' directory read-only, or too small for the working table: the run
// ends by the file system's fault before any invoice; after it, the next run works.
TEST_P(TransferFaultTest, TheLocalTablesCannotBeWritten) {
    const std::filesystem::path temp = home.Path() / "TevrinTemp";
    {
        ResetDatabase(2);
        WriteFile(2);
        // The home's folders are their owner's alone (a tmpfs is everyone's unless told).
        TTmpfs readOnly(temp, MS_RDONLY, "size=64k,mode=700");
        if (!readOnly.Problem().empty()) {
            GTEST_SKIP() << readOnly.Problem();
        }
        std::string error = Run();
        EXPECT_NE(error.find((temp / "TPrenosNapaka").string()), std::string::npos) << error;
        EXPECT_EQ(Invoices(), "0/0");
        EXPECT_TRUE(LedgerRuns(TransferFileHash(options.Path)).empty());
        module.reset();
    }
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(outcome, TTransferOutcome::Completed);
    EXPECT_EQ(Invoices(), "2/4");

    // Four thousand working rows do not fit in 256 KiB.
    ResetDatabase(1);
    std::vector<std::vector<std::string>> records(4000, {"P001", "ADSL", "1.000", "1.0000", "x"});
    WriteDbf(options.Path, TransferColumns(), records);
    TTmpfs small(temp, 0, "size=256k,mode=700");
    ASSERT_EQ(small.Problem(), "");
    std::string error = Run();
    EXPECT_NE(error.find("TVeskPrenosRac"), std::string::npos) << error;
    EXPECT_NE(error.find("full"), std::string::npos) << error;
    ASSERT_FALSE(ui->progress.empty()) << error;
    EXPECT_LT(ui->progress.back(), 100) << "the check phase did not end";
    EXPECT_EQ(Invoices(), "0/0");
    EXPECT_TRUE(LedgerRuns(TransferFileHash(options.Path)).empty());
    module.reset();
}

// What a run of a million records rests on, at a size a test can afford: progress moves
// through every percent of the file in order, and the check phase's memory grows by less
// than a KiB per record (the transfer file is read from a copy as the records are reached,
// DbfFileTest). bench/transfer-large is the run of a million.
TEST_P(TransferFaultTest, ProgressMovesThroughEveryPercentAndTheCheckPhaseStaysUnderAKibPerRecord) {
    ResetDatabase(20);
    std::vector<std::vector<std::string>> records;
    for (int i = 0; i < 4000; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "P%03d", i / 200 + 1);
        records.push_back({key, "ADSL", "1.000", "1.0000", std::to_string(i)});
    }
    WriteDbf(options.Path, TransferColumns(), records);
    auto heapInUse = [] {
        struct mallinfo2 m = mallinfo2();
        return double(m.uordblks + m.hblkhd);
    };
    double at25 = 0, at100 = 0;
    module = std::make_unique<TTransferModule>();
    ui = std::make_unique<TFaultUi>();
    ui->onProgress = [&](int percent) {
        if (percent == 25 && at25 == 0) {
            at25 = heapInUse();
        } else if (percent == 100) {
            at100 = heapInUse();
            throw EAbort("the check phase is over"); // the invoices are not what is measured
        }
    };
    TTransfer run(module->Components(), *ui, SignOn);
    EXPECT_THROW(run.Execute(options), EAbort);
    std::vector<int> seen;
    for (int p : ui->progress) {
        if (seen.empty() || p != seen.back()) {
            seen.push_back(p);
        }
    }
    ASSERT_EQ(seen.size(), 101u) << "not every percent in order, once";
    for (int p = 0; p <= 100; ++p) {
        EXPECT_EQ(seen[size_t(p)], p);
    }
    const double perRecord = (at100 - at25) / 3000;
    EXPECT_LT(perRecord, 1024) << "bytes of memory per record of the check phase";
    RecordProperty("CheckPhaseBytesPerRecord", std::to_string(perRecord));
    EXPECT_EQ(Invoices(), "0/0");
}

INSTANTIATE_TEST_SUITE_P(Drivers, TransferFaultTest, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen::test
