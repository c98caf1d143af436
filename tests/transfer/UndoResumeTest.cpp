// The history of transfer runs, the undo of a whole run and the resume of a run that
// stopped, through `zendrato` as a process, on both drivers.

#include "Child.h"
#include "FaultFixture.h"
#include "dataset/ODSI.h"
#include "odbc/OCL.h"
#include "toolkit/Field.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

namespace zen::test {
namespace {

constexpr int kPayers = 40;
// Enough for three groups of invoices (fifty each).
constexpr int kResumePayers = 160;

class UndoResumeTest : public FaultFixture {
protected:
    // The program with `args` to its end: its status and everything it wrote on both
    // outputs.
    std::pair<int, std::string> Zendrato(std::vector<std::string> args) {
        TChild child(home.Path(), args, true);
        std::string all = child.Rest();
        const int status = child.End(false);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, all};
    }
    std::vector<std::string> Transfer(std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"--transfer",       "--date",  "2026-12-20",     "--event",
                                         options.PoslDog,    "--clerk", options.Referent, "--dsn",
                                         options.DataSource, "--file",  options.Path};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    // Every row of every Tevrin table, each value as text, the two time stamps of the run's
    // rows left out (they differ from run to run by design).
    std::vector<std::string> Dump() {
        TComponent owner;
        auto* db = new THdbc(&owner);
        db->SetDataSource(dsn.dsn);
        db->SetUserName(dsn.user);
        db->SetPassword(dsn.password);
        std::vector<std::string> rows;
        for (const char* table : {"Subjekt", "Ms", "TarSt", "PoslDog", "Param", "SubjektCenik",
                                  "MsFormula", "Promet", "PrometPoz"}) {
            auto* q = new TOEQuery(&owner);
            q->SetHdbc(db);
            q->SetSQL({std::string("SELECT * FROM ") + table});
            q->Open();
            std::vector<std::string> these;
            for (q->First(); !q->Eof(); q->Next()) {
                std::string row = table;
                for (TField* f : q->Fields()) {
                    std::string name = f->FieldName();
                    for (char& c : name) {
                        c = char(std::tolower(static_cast<unsigned char>(c)));
                    }
                    if (name != "datumzap" && name != "datumspre") {
                        row += "|" + (f->IsNull() ? std::string("NULL") : f->AsString());
                    }
                }
                these.push_back(row);
            }
            std::sort(these.begin(), these.end());
            rows.insert(rows.end(), these.begin(), these.end());
            q->Close();
        }
        return rows;
    }
    std::string History() { return Zendrato({"--history", "--dsn", options.DataSource}).second; }
    std::pair<int, std::string> Undo(int run, bool check = false) {
        std::vector<std::string> args = {"--undo", std::to_string(run), "--dsn",
                                         options.DataSource};
        if (check) {
            args.push_back("--check");
        }
        return Zendrato(args);
    }
    // Starts the program and kills it when it has told `invoices` invoices and `ms`
    // milliseconds more have passed (sooner when it ends by itself); whether it ended by
    // itself, and how.
    // Whether it ended by itself, its wait status, and (when it ended) what it wrote last.
    struct TKillOutcome {
        bool Ended = false;
        int Status = 0;
        std::string Output;
    };
    TKillOutcome KilledAfter(const std::vector<std::string>& args, int invoices, int ms,
                             bool read = false) {
        TChild child(home.Path(), args, true);
        int status = 0;
        for (std::string line; invoices > 0 && child.ReadLine(line);) {
            invoices -= line.rfind("Zapisano: ", 0) == 0;
        }
        // Unless `read`, not read meanwhile: once its pipe of one page is full it waits, so
        // that it never gets more than a group or so ahead of the kill.
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            if (child.Ended(status)) {
                return {true, status, child.Rest()};
            }
            if (read) {
                child.Drain();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (child.Ended(status)) {
            return {true, status, child.Rest()};
        }
        status = child.End(true);
        return {!WIFSIGNALED(status), status, {}};
    }
};

// A run taken back: the database is then as before it, every table; the ledger says so,
// and the same file goes in again without --force. A dry undo deletes nothing, and an undo
// repeated (a job that lost the answer) is told it is done.
TEST_P(UndoResumeTest, AnUndoneRunLeavesTheDatabaseAsBefore) {
    ResetDatabase(5);
    WriteFile(5);
    const std::vector<std::string> before = Dump();
    auto [status, out] = Zendrato(Transfer());
    ASSERT_EQ(status, 0) << out;
    ASSERT_EQ(Invoices(), "5/10");
    std::tie(status, out) = Undo(1, true);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Izbrisan bi bil: račun " + Key(5)), std::string::npos) << out;
    EXPECT_EQ(Invoices(), "5/10");
    std::tie(status, out) = Undo(1);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Prenos št. 1 je razveljavljen (5 računov)."), std::string::npos) << out;
    EXPECT_EQ(Dump(), before);
    const std::string history = History();
    EXPECT_NE(history.find("#1  "), std::string::npos) << history;
    EXPECT_NE(history.find("5 računov (" + Key(1) + "–" + Key(5) + ")  razveljavljen"),
              std::string::npos)
        << history;
    // Again without --force: the undone run books nothing that stays.
    std::tie(status, out) = Zendrato(Transfer());
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(Invoices(), "5/10");
    std::tie(status, out) = Undo(1);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Prenos št. 1 je bil razveljavljen že "), std::string::npos) << out;
    EXPECT_EQ(Invoices(), "5/10") << "the second run's invoices stay";
}

// An undo refused leaves everything in place and names the first invoice in the way: one
// edited in Tevrin since (any column of its header or lines, also with its change stamps put
// back, or with amounts that still add up alike), one booked, one gone, and a later
// document in the series.
TEST_P(UndoResumeTest, AnUndoIsRefusedWhileAnInvoiceIsNoLongerTheRunsAlone) {
    ResetDatabase(4);
    WriteFile(4);
    ASSERT_EQ(Zendrato(Transfer()).first, 0);
    struct TCase {
        std::string make, told, undo;
    };
    const std::vector<TCase> cases = {
        {"INSERT INTO Promet (Kljuc) VALUES ('" + Key(5) + "')",
         "za zadnjim računom prenosa (" + Key(4) + ") že stoji dokument " + Key(5),
         "DELETE FROM Promet WHERE Kljuc = '" + Key(5) + "'"},
        {"UPDATE Promet SET ZaPlacilo = ZaPlacilo + 1 WHERE Kljuc = '" + Key(2) + "'",
         "račun " + Key(2) + " je bil po prenosu spremenjen",
         "UPDATE Promet SET ZaPlacilo = ZaPlacilo - 1 WHERE Kljuc = '" + Key(2) + "'"},
        {"UPDATE Promet SET Knjizen = 'D' WHERE Kljuc = '" + Key(3) + "'",
         "račun " + Key(3) + " je knjižen",
         "UPDATE Promet SET Knjizen = 'K' WHERE Kljuc = '" + Key(3) + "'"},
        {"UPDATE PrometPoz SET Opomba = Opomba || '!', DatumSpre = DatumSpre, UserSpre = "
         "UserSpre WHERE Kljuc = '" +
             Key(2) + "' AND Poz = 1",
         "račun " + Key(2) + " je bil po prenosu spremenjen",
         "UPDATE PrometPoz SET Opomba = SUBSTR(Opomba, 1, LENGTH(Opomba) - 1) WHERE Kljuc = '" +
             Key(2) + "' AND Poz = 1"},
        {"UPDATE PrometPoz SET Kolicina = Kolicina * 2, Cena = Cena / 2 WHERE Kljuc = '" + Key(4) +
             "' AND Poz = 0",
         "račun " + Key(4) + " je bil po prenosu spremenjen",
         "UPDATE PrometPoz SET Kolicina = Kolicina / 2, Cena = Cena * 2 WHERE Kljuc = '" + Key(4) +
             "' AND Poz = 0"},
        // Left as they are, each on an invoice before those changed already.
        {"UPDATE Promet SET UserSpre = 'XY' WHERE Kljuc = '" + Key(4) + "'",
         "račun " + Key(4) + " je bil po prenosu spremenjen", ""},
        {"UPDATE Promet SET DatumVal = '2027-01-31 00:00:00' WHERE Kljuc = '" + Key(3) + "'",
         "račun " + Key(3) + " je bil po prenosu spremenjen", ""},
        {"UPDATE Promet SET NacinPlac = 'G' WHERE Kljuc = '" + Key(1) + "'",
         "račun " + Key(1) + " je bil po prenosu spremenjen", ""},
        {"DELETE FROM PrometPoz WHERE Kljuc = '" + Key(1) + "' AND Poz = 1",
         "račun " + Key(1) + " je bil po prenosu spremenjen", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.told);
        Exec({c.make});
        const std::string promet = Scalar("SELECT COUNT(*) FROM Promet");
        const std::string lines = Scalar("SELECT COUNT(*) FROM PrometPoz");
        auto [status, out] = Undo(1);
        EXPECT_EQ(status, 2) << out;
        EXPECT_NE(out.find(c.told), std::string::npos) << out;
        EXPECT_NE(out.find("Nič ni bilo spremenjeno."), std::string::npos) << out;
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), promet);
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PrometPoz"), lines);
        if (!c.undo.empty()) {
            Exec({c.undo});
        }
    }
    EXPECT_NE(History().find("zaključen"), std::string::npos);
}

// A run killed after some invoices (just after a commit: the line that tells it is printed
// after the commit) and resumed gives the database an uninterrupted run gives, row by row.
// A resume of a file the ledger holds nothing of (a job that always passes --resume) is a
// whole run, and says so; a resume after a later run of the file completed is refused.
TEST_P(UndoResumeTest, AResumedRunEqualsOneThatNeverStopped) {
    ResetDatabase(kResumePayers);
    WriteFile(kResumePayers);
    auto [status, out] = Zendrato(Transfer({"--resume"}));
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("zato se prenos začne od začetka"), std::string::npos) << out;
    const std::vector<std::string> whole = Dump();
    // Its control totals, as it ends with them and as the ledger and the history keep them.
    const std::string totals = TotalsLine(out);
    EXPECT_EQ(totals,
              "Kontrolni seštevki: zapisov prebranih 320, uporabljenih 320, zavrnjenih 0; računov "
              "160, postavk 320; količina skupaj 480,000; vrednost 3.200,00, DDV 640,00, za "
              "plačilo 3.840,00; vrednost po datoteki (količina × cena) 3.200,00.");
    ASSERT_TRUE(LedgerRuns(TransferFileHash(options.Path)).at(0).Totals);
    EXPECT_EQ(ControlTotalsText(*LedgerRuns(TransferFileHash(options.Path))[0].Totals), totals);

    // Killed after the first group and inside the second: the run is blocked on its standard
    // error while it tells a group it committed.
    for (int k : {1, 60}) {
        SCOPED_TRACE("killed after invoice " + std::to_string(k));
        ResetDatabase(kResumePayers);
        WriteFile(kResumePayers);
        {
            TChild child(home.Path(), Transfer());
            int written = 0;
            for (std::string line; written < k && child.ReadLine(line);) {
                written += line.rfind("Zapisano: ", 0) == 0;
            }
            ASSERT_EQ(written, k);
            const int end = child.End(true);
            ASSERT_TRUE(WIFSIGNALED(end)) << "the run ended before the kill";
        }
        const int stopped = std::stoi(Scalar("SELECT COUNT(*) FROM Promet"));
        ASSERT_GE(stopped, k);
        ASSERT_LT(stopped, kResumePayers);
        EXPECT_NE(History().find("  prekinjen"), std::string::npos);

        std::tie(status, out) = Zendrato(Transfer({"--resume"}));
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(Dump(), whole);
        EXPECT_EQ(PartialInvoices(), kWhole);
        // One run in the ledger, completed, with every invoice.
        std::vector<TTransferRun> runs = LedgerRuns(TransferFileHash(options.Path));
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].Status, TTransferRunStatus::Completed);
        EXPECT_EQ(runs[0].Invoices, kResumePayers);
        EXPECT_NE(History().find(RacunCount(kResumePayers) + " (" + Key(1) + "–" +
                                 Key(kResumePayers) + ")  zaključen\n    " + totals + "\n"),
                  std::string::npos);
        // The totals of the resumed run are those of the run that never stopped.
        EXPECT_EQ(TotalsLine(out), totals);
        ASSERT_TRUE(runs[0].Totals);
        EXPECT_EQ(ControlTotalsText(*runs[0].Totals), totals);
    }

    // A stopped run an earlier version began kept no totals: its resume says they are not
    // known rather than give those of its own part, and keeps none.
    ResetDatabase(kResumePayers);
    WriteFile(kResumePayers);
    {
        TChild child(home.Path(), Transfer());
        for (std::string line; child.ReadLine(line) && line.rfind("Zapisano: ", 0) != 0;) {
        }
        child.End(true);
    }
    Exec({"UPDATE ZendratoPrenos SET Zapisov = NULL, Zavrnjenih = NULL, Kolicina = NULL, "
          "Vrednost = NULL, Davek = NULL, ZaPlacilo = NULL, VrednostDatoteke = NULL"});
    std::tie(status, out) = Zendrato(Transfer({"--resume"}));
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(TotalsLine(out), "") << out;
    EXPECT_NE(out.find(kTotalsUnknownText), std::string::npos) << out;
    EXPECT_FALSE(LedgerRuns(TransferFileHash(options.Path)).at(0).Totals);

    // Stopped, then sent whole with --force: a resume now would write it a third time.
    ResetDatabase(kResumePayers);
    WriteFile(kResumePayers);
    {
        TChild child(home.Path(), Transfer());
        for (std::string line; child.ReadLine(line) && line.rfind("Zapisano: ", 0) != 0;) {
        }
        child.End(true);
    }
    const std::string stopped = Scalar("SELECT COUNT(*) FROM Promet");
    ASSERT_EQ(Zendrato(Transfer({"--force"})).first, 0);
    std::tie(status, out) = Zendrato(Transfer({"--resume"}));
    EXPECT_EQ(status, 2) << out;
    EXPECT_NE(out.find("Prenosa ni mogoče nadaljevati: zadnji prenos te datoteke v to bazo (št. 2"),
              std::string::npos)
        << out;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"),
              std::to_string(std::stoi(stopped) + kResumePayers));
}

// Killed at random moments again and again (inside a group, between groups, while it
// starts or ends) and resumed each time, a run ends as one that never stopped, row for row,
// with one run in the ledger. Its undo, killed at random moments too and repeated, leaves
// the database as before the run.
TEST_P(UndoResumeTest, KilledAtRandomAndResumedEachTimeEqualsAnUninterruptedRun) {
    // Six groups.
    constexpr int kPayersHere = 300;
    ResetDatabase(kPayersHere);
    const std::vector<std::string> before = Dump();
    WriteFile(kPayersHere);
    const auto [uninterrupted, said] = Zendrato(Transfer());
    ASSERT_EQ(uninterrupted, 0) << said;
    const std::vector<std::string> whole = Dump();
    const std::string totals = TotalsLine(said);
    ASSERT_NE(totals, "");

    // Each kill comes a random number of invoices into the run and a random time after:
    // at its start, in its check phase, inside a group or between two.
    ResetDatabase(kPayersHere);
    std::mt19937 random(GetParam() == TestDriver::SQLite ? 1 : 2);
    std::uniform_int_distribution<int> invoices(0, 30), delay(0, 200);
    int kills = 0;
    bool done = false;
    for (int attempt = 0; attempt < 40 && !done; ++attempt) {
        auto [ended, status, output] =
            KilledAfter(Transfer({"--resume"}), invoices(random), delay(random));
        kills += !ended;
        done = ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        ASSERT_TRUE(!ended || done) << "a resumed run failed, status " << status << ":\n" << output;
        EXPECT_EQ(PartialInvoices(), kWhole);
        // The run's last lines, unless the test read them all while counting invoices.
        if (done && output.find("Kontrolni") != std::string::npos) {
            EXPECT_EQ(TotalsLine(output), totals) << "as if it had never stopped";
        }
    }
    ASSERT_TRUE(done) << "the run never got to its end";
    EXPECT_GE(kills, 2) << "the kills all came too late to test anything";
    RecordProperty("Kills", std::to_string(kills));
    EXPECT_EQ(Dump(), whole);
    // The job retried once more (as after a kill past the run's end) changes nothing.
    const auto [retried, again] = Zendrato(Transfer({"--resume"}));
    EXPECT_EQ(retried, 0) << again;
    EXPECT_NE(again.find("Nadaljevanje ni potrebno"), std::string::npos) << again;
    EXPECT_EQ(Dump(), whole);
    std::vector<TTransferRun> runs = LedgerRuns(TransferFileHash(options.Path));
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].Invoices, kPayersHere);
    EXPECT_EQ(runs[0].Status, TTransferRunStatus::Completed);
    ASSERT_TRUE(runs[0].Totals);
    EXPECT_EQ(ControlTotalsText(*runs[0].Totals), totals);

    done = false;
    for (int attempt = 0; attempt < 40 && !done; ++attempt) {
        auto [ended, status, output] =
            KilledAfter({"--undo", std::to_string(runs[0].Id), "--dsn", options.DataSource}, 0,
                        attempt % 4 == 3 ? 60000 : delay(random), true);
        done = ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        ASSERT_TRUE(!ended || done) << "an undo failed, status " << status << ":\n" << output;
        const std::string invoices = Invoices();
        EXPECT_TRUE(invoices == "0/0" ||
                    invoices == std::to_string(kPayersHere) + "/" + std::to_string(2 * kPayersHere))
            << invoices << ": an undo deletes all or nothing";
    }
    ASSERT_TRUE(done);
    EXPECT_EQ(Dump(), before);
}

INSTANTIATE_TEST_SUITE_P(Drivers, UndoResumeTest, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen::test
