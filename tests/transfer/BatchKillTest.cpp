// `zendrato --transfer` as processes, on both drivers. Killed (SIGKILL) in the middle of its
// invoices: no invoice is left half-written, the ledger names exactly the invoices that were
// committed, the same file is then refused with the advice to resume, and a forced run
// transfers it whole. Two runs at once in one home: the second is refused and the first is
// what it would have been alone. Two homes on one database share one ledger.

#include "Child.h"
#include "FaultFixture.h"
#include "TransferFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sqlite3.h>

namespace zen::test {
namespace {

constexpr int kPayers = 80;
// Enough invoices that a run blocked on its standard error has several groups still to
// commit when it is killed.
constexpr int kManyPayers = 300;
// The most invoices one commit takes.
constexpr size_t kGroup = 50;

using BatchKillTest = FaultFixture;

std::vector<std::string> Args(const TTransferOptions& o, bool force) {
    std::vector<std::string> args = {"--transfer", "--date",  "2026-12-20", "--event",
                                     o.PoslDog,    "--clerk", o.Referent,   "--dsn",
                                     o.DataSource, "--file",  o.Path};
    if (force) {
        args.push_back("--force");
    }
    return args;
}

TEST_P(BatchKillTest, AKilledRunLeavesWholeInvoicesAndTheJournalRefusesTheFile) {
    ResetDatabase(kManyPayers);
    WriteFile(kManyPayers);
    const std::string hash = TransferFileHash(options.Path);
    int written = 0;
    {
        TChild child(home.Path(), Args(options, false));
        for (std::string line; written < 5 && child.ReadLine(line);) {
            written += line.rfind("Zapisano: ", 0) == 0;
        }
        ASSERT_EQ(written, 5) << "the run wrote fewer invoices than expected before it ended";
        int status = child.End(true);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
            << "the run ended before the kill";
    }

    // What the database holds: whole invoices, numbered from the first without a gap.
    EXPECT_EQ(PartialInvoices(), kWhole);
    const int headers = std::stoi(Scalar("SELECT COUNT(*) FROM Promet"));
    EXPECT_GE(headers, written);
    EXPECT_LT(headers, kManyPayers) << "the kill came after the last invoice";
    EXPECT_EQ(Scalar("SELECT MAX(Kljuc) FROM Promet"), Key(headers));

    // What the ledger holds: exactly those invoices, in order, committed with them.
    std::vector<TTransferRun> runs = LedgerRuns(hash);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Status, TTransferRunStatus::Running);
    EXPECT_FALSE(runs[0].Live) << "its lock went with the process";
    std::vector<std::string> keys = LedgerKeys(hash);
    ASSERT_EQ(keys.size(), size_t(headers));
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(keys[i], Key(int(i) + 1));
    }

    // The same file again is refused and writes nothing; forced, it is transferred whole.
    std::string err;
    int status = 0;
    {
        TChild again(home.Path(), Args(options, false));
        for (std::string line; again.ReadLine(line);) {
            err += line + "\n";
        }
        status = again.End(false);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << err;
    EXPECT_NE(err.find("Datoteka je bila že delno prenesena"), std::string::npos) << err;
    // The safe way on is named, and what --force would do.
    EXPECT_NE(err.find("Z --resume se prekinjeni prenos nadaljuje"), std::string::npos) << err;
    EXPECT_NE(err.find("--force bi celo datoteko zapisal še enkrat"), std::string::npos) << err;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), std::to_string(headers));

    int forced = 0;
    {
        TChild child(home.Path(), Args(options, true));
        for (std::string line; child.ReadLine(line);) {
            forced += line.rfind("Zapisano: ", 0) == 0;
        }
        status = child.End(false);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(forced, kManyPayers);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), std::to_string(headers + kManyPayers));
    EXPECT_EQ(PartialInvoices(), kWhole);
}

// Two runs on one home at once, in both orders of a real run and a dry run: the second is
// refused at once, naming the first, and changes nothing; the first runs to its end as if
// alone. The lock of a killed run is no obstacle (above: the run after the kill).
TEST_P(BatchKillTest, TwoRunsInOneHomeTheSecondIsRefusedAndTheFirstIsWhole) {
    for (bool firstIsDryRun : {true, false}) {
        SCOPED_TRACE(firstIsDryRun ? "a dry run first" : "a real run first");
        ResetDatabase(kPayers);
        WriteFile(kPayers);
        std::vector<std::string> firstArgs = Args(options, false);
        std::vector<std::string> secondArgs = Args(options, false);
        (firstIsDryRun ? firstArgs : secondArgs).push_back("--check");
        TChild first(home.Path(), firstArgs, true);
        std::string line;
        // Past its preparation: it holds the home.
        ASSERT_TRUE(first.ReadLine(line));
        std::string told;
        int status = 0;
        {
            TChild second(home.Path(), secondArgs);
            told = second.Rest();
            status = second.End(false);
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << told;
        EXPECT_NE(told.find("Prenos v tej mapi že teče (proces " + std::to_string(first.Pid()) +
                            ", začet "),
                  std::string::npos)
            << told;
        const std::string rest = first.Rest();
        status = first.End(false);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << rest;
        const int headers = std::stoi(Scalar("SELECT COUNT(*) FROM Promet"));
        EXPECT_EQ(headers, firstIsDryRun ? 0 : kPayers);
        EXPECT_EQ(PartialInvoices(), kWhole);
        if (!firstIsDryRun) {
            EXPECT_EQ(Scalar("SELECT MAX(Kljuc) FROM Promet"), Key(kPayers));
            EXPECT_EQ(LedgerKeys(TransferFileHash(options.Path)).size(), size_t(kPayers));
        }
    }
}

// Two homes (two operators, or an operator and a nightly job on another machine) on one
// database share its ledger. One after the other: the second home is refused the file the
// first booked, lists the first home's run in its history, and undoes it. At once: one
// goes, the other is refused at its start naming the run that holds the file, and writes
// nothing.
TEST_P(BatchKillTest, TwoHomesOnOneDatabaseShareOneLedger) {
    ResetDatabase(kManyPayers);
    WriteFile(kManyPayers);
    // The second home, with the login of its own; TempHome makes itself the home until it
    // goes, so each child is told its home.
    const std::filesystem::path mine = home.Path();
    TempHome other;
    if (!dsn.user.empty()) {
        StoreSqlLogin(dsn.user, dsn.password);
    }
    auto in = [](const std::filesystem::path& dir) {
        setenv("ZENDRATO_HOME", dir.c_str(), 1);
        return dir;
    };
    auto zendrato = [&](const std::filesystem::path& dir, std::vector<std::string> args) {
        TChild child(in(dir), args, true);
        std::string all = child.Rest();
        const int status = child.End(false);
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, all);
    };
    const std::vector<std::string> dsnArg = {"--dsn", options.DataSource};
    auto with = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };

    // At once: the first holds the file's lock while it writes.
    {
        TChild first(in(mine), Args(options, false), true);
        std::string line;
        while (first.ReadLine(line) && line.rfind("Zapisano: ", 0) != 0) {
        }
        auto [status, told] = zendrato(other.Path(), Args(options, false));
        EXPECT_EQ(status, 2) << told;
        EXPECT_NE(told.find("Ta datoteka se prav zdaj prenaša v to bazo Tevrin: prenos št. 1, "
                            "začet "),
                  std::string::npos)
            << told;
        EXPECT_NE(told.find("nič ni bilo zapisano"), std::string::npos) << told;
        const std::string rest = first.Rest();
        const int end = first.End(false);
        EXPECT_TRUE(WIFEXITED(end) && WEXITSTATUS(end) == 0) << rest;
    }
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), std::to_string(kManyPayers));
    EXPECT_EQ(PartialInvoices(), kWhole);

    // After: refused as known, listed, and undone from the other home.
    auto [status, told] = zendrato(other.Path(), Args(options, false));
    EXPECT_EQ(status, 2) << told;
    EXPECT_NE(told.find("Datoteka je bila že prenesena"), std::string::npos) << told;
    std::tie(status, told) = zendrato(other.Path(), with({"--history"}, dsnArg));
    EXPECT_EQ(status, 0) << told;
    EXPECT_EQ(told.rfind("#1  ", 0), 0u) << told;
    EXPECT_NE(told.find(RacunCount(kManyPayers) + " (" + Key(1) + "–" + Key(kManyPayers) +
                        ")  zaključen"),
              std::string::npos)
        << told;
    std::tie(status, told) = zendrato(other.Path(), with({"--undo", "1"}, dsnArg));
    EXPECT_EQ(status, 0) << told;
    EXPECT_EQ(Invoices(), "0/0");
    std::tie(status, told) = zendrato(mine, with({"--history"}, dsnArg));
    EXPECT_NE(told.find("razveljavljen"), std::string::npos) << told;
    in(other.Path());
}

// A rollback that fails while the connection stands (made to fail by a library preloaded
// into the program). Switching autocommit back on would then commit the half invoice, so
// the run gives its connection up instead: the server rolls the transaction back, and the
// database holds no part of an invoice that was not to be written. Here the database
// refuses the first invoice's header with its lines written.
TEST_P(BatchKillTest, AFailedRollbackNeverCommitsTheHalfInvoice) {
    ResetDatabase(3);
    WriteFile(3);
    Exec({GetParam() == TestDriver::SQLite
              ? "CREATE TRIGGER zen_fault BEFORE INSERT ON Promet WHEN NEW.Kljuc = '" + Key(1) +
                    "' BEGIN SELECT RAISE(ABORT, 'zavrnjeno'); END"
              : "ALTER TABLE Promet ADD CONSTRAINT zen_fault CHECK (Kljuc <> '" + Key(1) + "')"});
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string asanBefore = asan ? asan : "";
    setenv("LD_PRELOAD", ROLLBACK_FAULT_LIB, 1);
    setenv("ZEN_TEST_FAIL_ROLLBACK", "1", 1);
    // A sanitized program wants its runtime first among the libraries; the fault library
    // comes before it and asks nothing of it.
    setenv("ASAN_OPTIONS", (asanBefore + ":verify_asan_link_order=0").c_str(), 1);
    TChild run(home.Path(), Args(options, false));
    unsetenv("LD_PRELOAD");
    unsetenv("ZEN_TEST_FAIL_ROLLBACK");
    if (asan) {
        setenv("ASAN_OPTIONS", asanBefore.c_str(), 1);
    } else {
        unsetenv("ASAN_OPTIONS");
    }
    const std::string told = run.Rest();
    const int status = run.End(false);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << told;
    EXPECT_NE(told.find("Prenos je prekinjen pri računu " + Key(1) +
                        " (Plačnik 001), ki ni "
                        "zapisan. Noben račun ni zapisan."),
              std::string::npos)
        << told;
    EXPECT_EQ(Invoices(), "0/0");
}

// Invoices are committed in groups. A payer whose lines cannot be valued (amounts of about
// 10^13 each) inside a group writes nothing: the group's other invoices stay whole, numbered
// without a gap, and the ledger names exactly the invoices there are. A run killed among its
// groups is resumed to the same end.
TEST_P(BatchKillTest, ARefusedInvoiceLeavesItsGroupWholeAndAKilledGroupIsResumed) {
    ResetDatabase(kManyPayers);
    std::vector<std::vector<std::string>> records;
    for (int i = 1; i <= kManyPayers; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "P%03d", i);
        if (i == 3) {
            for (int line = 0; line < 100; ++line) {
                records.push_back(
                    {key, "ADSL", "999999.999", "9999999.9999", "3x" + std::to_string(line)});
            }
            continue;
        }
        records.push_back({key, "ADSL", "1.000", "10.0000", std::to_string(i) + "a"});
        records.push_back({key, "ADSL", "2.000", "5.0000", std::to_string(i) + "b"});
    }
    WriteDbf(options.Path, TransferColumns(), records);
    const std::string hash = TransferFileHash(options.Path);
    auto allKeys = [&] {
        std::vector<std::string> keys;
        for (int i = 1; i <= kManyPayers - 1; ++i) {
            keys.push_back(Key(i));
        }
        return keys;
    };

    {
        TChild child(home.Path(), Args(options, false));
        int written = 0;
        for (std::string line; written < 5 && child.ReadLine(line);) {
            written += line.rfind("Zapisano: ", 0) == 0;
        }
        ASSERT_EQ(written, 5);
        const int status = child.End(true);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the kill";
    }
    const int headers = std::stoi(Scalar("SELECT COUNT(*) FROM Promet"));
    ASSERT_LT(headers, kManyPayers - 1) << "the kill came after the last invoice";
    // The first group held the refused payer's invoice between the others: they are whole
    // and numbered on without its number.
    EXPECT_GE(headers, 5);
    EXPECT_EQ(PartialInvoices(), kWhole);
    EXPECT_EQ(Scalar("SELECT MAX(Kljuc) FROM Promet"), Key(headers));
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet WHERE Prejemnik = 'Plačnik 003'"), "0");

    std::string err;
    int status = 0;
    {
        std::vector<std::string> args = Args(options, false);
        args.push_back("--resume");
        TChild child(home.Path(), args, true);
        for (std::string line; child.ReadLine(line);) {
            err += line + "\n";
        }
        status = child.End(false);
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << err;
    EXPECT_EQ(PartialInvoices(), kWhole);
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), std::to_string(kManyPayers - 1));
    EXPECT_EQ(Scalar("SELECT MAX(Kljuc) FROM Promet"), Key(kManyPayers - 1));
    // The ledger names each invoice there is, once, and nothing else.
    std::vector<std::string> keys = LedgerKeys(hash);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, allKeys());
    // The control totals are those of a run that never stopped: the refused payer's records
    // counted once, the amounts those the database holds.
    const std::string totals =
        "Kontrolni seštevki: zapisov prebranih 698, uporabljenih 598, zavrnjenih 100; računov "
        "299, postavk 598; količina skupaj 897,000; vrednost 5.980,00, DDV 1.196,00, za plačilo "
        "7.176,00; vrednost po datoteki (količina × cena) 5.980,00.";
    EXPECT_EQ(TotalsLine(err), totals) << err;
    EXPECT_EQ(Scalar("SELECT SUM(Vrednost) FROM Promet").substr(0, 4), "5980");
    EXPECT_EQ(Scalar("SELECT SUM(ZaPlacilo) FROM Promet").substr(0, 4), "7176");
    const std::vector<TTransferRun> runs = LedgerRuns(hash);
    ASSERT_EQ(runs.size(), 1u);
    ASSERT_TRUE(runs[0].Totals);
    EXPECT_EQ(ControlTotalsText(*runs[0].Totals), totals);
}

INSTANTIATE_TEST_SUITE_P(Drivers, BatchKillTest, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen::test
