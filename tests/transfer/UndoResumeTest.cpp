// The history of transfer runs, the undo of a whole run and the resume of a run that
// stopped, through `zendrato` as a process, on both drivers.

#include "Child.h"
#include "FaultFixture.h"
#include "dataset/ODSI.h"
#include "odbc/OCL.h"
#include "toolkit/Field.h"

#include <gtest/gtest.h>

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
    std::string History(const std::string& more = {}) {
        std::vector<std::string> args = {"--history"};
        if (!more.empty()) {
            args.push_back(more);
        }
        return Zendrato(args).second;
    }
};

// A run taken back: the database is then as before it, every table; the journal says so,
// and the same file goes in again without --force. A dry undo deletes nothing.
TEST_P(UndoResumeTest, AnUndoneRunLeavesTheDatabaseAsBefore) {
    ResetDatabase(5);
    WriteFile(5);
    const std::vector<std::string> before = Dump();
    auto [status, out] = Zendrato(Transfer());
    ASSERT_EQ(status, 0) << out;
    ASSERT_EQ(Invoices(), "5/10");
    std::tie(status, out) = Zendrato({"--undo", "1", "--check"});
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Izbrisan bi bil: račun " + Key(5)), std::string::npos) << out;
    EXPECT_EQ(Invoices(), "5/10");
    std::tie(status, out) = Zendrato({"--undo", "1"});
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
    std::tie(status, out) = Zendrato({"--undo", "1"});
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("je že razveljavljen"), std::string::npos) << out;
}

// An undo refused leaves everything in place and names the first invoice in the way: one
// edited in Tevrin since, one booked, one gone, and a later document in the series.
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
        {"DELETE FROM PrometPoz WHERE Kljuc = '" + Key(1) + "' AND Poz = 1",
         "račun " + Key(1) + " je bil po prenosu spremenjen", ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.told);
        Exec({c.make});
        const std::string promet = Scalar("SELECT COUNT(*) FROM Promet");
        const std::string lines = Scalar("SELECT COUNT(*) FROM PrometPoz");
        auto [status, out] = Zendrato({"--undo", "1"});
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
// after the commit) and resumed gives the database an uninterrupted run gives, row by row;
// a resume of a changed file is refused.
TEST_P(UndoResumeTest, AResumedRunEqualsOneThatNeverStopped) {
    ResetDatabase(kResumePayers);
    WriteFile(kResumePayers);
    ASSERT_EQ(Zendrato(Transfer()).first, 0);
    const std::vector<std::string> whole = Dump();

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
            const int status = child.End(true);
            ASSERT_TRUE(WIFSIGNALED(status)) << "the run ended before the kill";
        }
        const int stopped = std::stoi(Scalar("SELECT COUNT(*) FROM Promet"));
        ASSERT_GE(stopped, k);
        ASSERT_LT(stopped, kResumePayers);
        EXPECT_NE(History().find("  prekinjen"), std::string::npos);

        // The same file changed: nothing to resume.
        const std::string kept = options.Path + ".kept";
        std::filesystem::copy_file(options.Path, kept,
                                   std::filesystem::copy_options::overwrite_existing);
        WriteFile(kResumePayers - 1);
        auto [status, out] = Zendrato(Transfer({"--resume"}));
        EXPECT_EQ(status, 2) << out;
        EXPECT_NE(out.find("Prenosa ni mogoče nadaljevati"), std::string::npos) << out;
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), std::to_string(stopped));
        std::filesystem::rename(kept, options.Path);

        std::tie(status, out) = Zendrato(Transfer({"--resume"}));
        EXPECT_EQ(status, 0) << out;
        EXPECT_EQ(Dump(), whole);
        EXPECT_EQ(PartialInvoices(), kWhole);
        // One run in the journal, completed, with every invoice.
        std::vector<TTransferRun> runs = JournalRuns(TransferFileHash(options.Path));
        ASSERT_EQ(runs.size(), 1u);
        EXPECT_EQ(runs[0].Status, TTransferRunStatus::Completed);
        EXPECT_EQ(runs[0].Invoices, kResumePayers);
        EXPECT_NE(History().find(RacunCount(kResumePayers) + " (" + Key(1) + "–" +
                                 Key(kResumePayers) + ")  zaključen"),
                  std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, UndoResumeTest, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen::test
