// `zendrato --transfer` as a nightly job runs it: the real program, without a display, on
// both drivers' data sources, judged by its exit status, its two streams, the report it writes
// and what it leaves in the database and the journal. The command line of every mode is
// read by one parser, tested in-process.

#include "app/BatchTransfer.h"
#include "TransferFile.h"
#include "app/CommandLine.h"
#include "app/SignOn.h"
#include "dbutil/ExceptionLog.h"
#include "odbc/Hdbc.h"
#include "support/OdbcTestEnv.h"
#include "support/SignedOnSchema.h"
#include "support/TestSupport.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "transfer/Ledger.h"
#include "transfer/TransferJournal.h"
#include "transfer/TransferRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::TestDriver;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

// --- The parser, in-process ----------------------------------------------------------------

TCommandLine Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "zendrato");
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    return ParseCommandLine(static_cast<int>(args.size()), argv.data());
}

std::string ParseError(const std::vector<std::string>& args, TCommandMode* mode = nullptr) {
    try {
        Parse(args);
    } catch (const ECommandLine& e) {
        if (mode) {
            *mode = e.Mode();
        }
        return e.Message();
    }
    return "";
}

TEST(CommandLine, EveryModeIsReadByTheOneParser) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    ASSERT_TRUE(sl.Available());

    EXPECT_EQ(Parse({}).Mode, TCommandMode::Window);
    EXPECT_TRUE(Parse({"--version"}).Version);

    TCommandLine f = Parse({"--formula=[#KOLICINA#>1:2]", "--var", "KOLICINA=3", "-var", "MPCENA=1",
                            "--price-class", "B"});
    EXPECT_EQ(f.Mode, TCommandMode::Formula);
    EXPECT_EQ(f.Formula, "[#KOLICINA#>1:2]");
    EXPECT_EQ(f.Vars, (std::vector<std::string>{"KOLICINA=3", "MPCENA=1"}));
    EXPECT_EQ(f.PriceClass, "B");
    // A value that looks like an option is still the value.
    EXPECT_EQ(Parse({"--formula", "-5"}).Formula, "-5");

    EXPECT_EQ(Parse({"--set-login", "janez"}).LoginUser, "janez");

    TCommandLine t = Parse({"--transfer", "--date", "2026-12-20", "--event", "12", "--clerk", "",
                            "--file", "/tmp/Prenos ž.dbf", "--report", "napake.csv", "--check"});
    EXPECT_EQ(t.Mode, TCommandMode::Transfer);
    // Written as the run reads it: the locale's short date, the year whole.
    EXPECT_EQ(t.Transfer.Date, DateToStr(EncodeDate(2026, 12, 20)));
    EXPECT_EQ(t.Transfer.Event, "12");
    EXPECT_EQ(t.Transfer.Clerk, "") << "given empty is not the same as not given";
    EXPECT_EQ(t.Transfer.DataSource, std::nullopt);
    EXPECT_EQ(t.Transfer.File, "/tmp/Prenos ž.dbf");
    EXPECT_EQ(t.Transfer.Report, "napake.csv");
    EXPECT_TRUE(t.Transfer.Check);
    EXPECT_FALSE(t.Transfer.Force);
    // The locale's short date, with or without its blanks; a two-digit year in its window.
    EXPECT_EQ(Parse({"--transfer", "--date", "20.12.2026"}).Transfer.Date, t.Transfer.Date);
    EXPECT_EQ(Parse({"--transfer", "--date", "20. 12. 26"}).Transfer.Date, t.Transfer.Date);
    EXPECT_EQ(Parse({"--transfer", "--date", "1950-01-31"}).Transfer.Date,
              DateToStr(EncodeDate(1950, 1, 31)));

    // --dsn and --check are shared: --history takes the one, --undo the other.
    TCommandLine hist = Parse({"--history", "--dsn", "Lorvath", "--limit", "5", "--csv"});
    EXPECT_EQ(hist.Mode, TCommandMode::History);
    EXPECT_EQ(hist.History.DataSource, "Lorvath");
    EXPECT_EQ(hist.History.Limit, 5);
    EXPECT_TRUE(hist.History.Csv);
    TCommandLine undo = Parse({"--undo", "12", "--check"});
    EXPECT_EQ(undo.Mode, TCommandMode::Undo);
    EXPECT_EQ(undo.Undo.Run, 12);
    EXPECT_TRUE(undo.Undo.Check);
    EXPECT_EQ(Parse({"--undo", "1", "--dsn", "X"}).Undo.DataSource, "X");
    EXPECT_EQ(Parse({"--history", "--dsn", "X"}).History.DataSource, "X");
    EXPECT_FALSE(Parse({"--history"}).History.DataSource);
    EXPECT_TRUE(Parse({"--transfer", "--date", "2026-12-20", "--resume"}).Transfer.Resume);
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"--undo", "0"},
             {"--undo", "1x"},
             {"--undo", "+1"},
             {"--history", "--limit", "-2"},
             {"--history", "--check"},
             {"--transfer", "--date", "2026-12-20", "--resume", "--force"}}) {
        EXPECT_THROW(Parse(bad), ECommandLine) << bad[0] << " " << bad[1];
    }

    // Help per mode, also where the mode's option would take --help as its value.
    for (auto [args, mode] : std::vector<std::pair<std::vector<std::string>, TCommandMode>>{
             {{"--help"}, TCommandMode::Window},
             {{"--transfer", "-h"}, TCommandMode::Transfer},
             {{"--formula", "--help"}, TCommandMode::Formula},
             {{"--help", "--set-login"}, TCommandMode::SetLogin},
             {{"--transfer", "--date", "x", "--help"}, TCommandMode::Transfer}}) {
        TCommandLine h = Parse(args);
        EXPECT_TRUE(h.Help) << args[0];
        EXPECT_EQ(h.Mode, mode) << args[0];
    }
}

TEST(CommandLine, UsageErrorsNameTheModeWhoseUsageHelps) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    ASSERT_TRUE(sl.Available());
    const std::vector<std::tuple<std::vector<std::string>, std::string, TCommandMode>> cases = {
        {{"--bogus"}, "neznana možnost »--bogus«", TCommandMode::Window},
        {{"stray"}, "odvečen argument »stray«", TCommandMode::Window},
        {{"--transfer"}, "manjka --date", TCommandMode::Transfer},
        {{"--transfer", "--date"}, "možnost --date potrebuje vrednost", TCommandMode::Transfer},
        {{"--transfer", "--date", "2026-02-30"},
         "--date: »2026-02-30« ni veljaven datum (LLLL-MM-DD ali 20. 12. 2026)",
         TCommandMode::Transfer},
        {{"--transfer", "--date", "20.13.2026"},
         "--date: »20.13.2026« ni veljaven",
         TCommandMode::Transfer},
        {{"--transfer", "--date", "2026-12-20", "--event", "1", "--event", "2"},
         "--event je podan večkrat",
         TCommandMode::Transfer},
        {{"--transfer", "--date", "2026-12-20", "--report", ""},
         "--report potrebuje ime datoteke",
         TCommandMode::Transfer},
        {{"--transfer", "--check=yes"},
         "možnost --check ne sprejme vrednosti",
         TCommandMode::Transfer},
        {{"--transfer", "--date", "2026-12-20", "--var", "A=1"},
         "--var ne sodi k --transfer",
         TCommandMode::Transfer},
        {{"--date", "2026-12-20"}, "manjka --transfer", TCommandMode::Transfer},
        {{"--var", "A=1"}, "manjka --formula", TCommandMode::Formula},
        {{"--formula", "1", "--transfer"},
         "podan je lahko le eden od načinov --formula, --set-login, --transfer",
         TCommandMode::Formula},
        {{"--set-login", ""}, "--set-login potrebuje uporabniško ime", TCommandMode::SetLogin},
    };
    for (const auto& [args, error, mode] : cases) {
        TCommandMode got = TCommandMode::Window;
        std::string message = ParseError(args, &got);
        EXPECT_EQ(message.substr(0, error.size()), error) << args[0];
        EXPECT_EQ(got, mode) << args[0];
    }
}

// Progress on a terminal is one bar redrawn in place; in a log, a line for every further
// tenth. Both end their line before anything else is said.
TEST(BatchTransferUi, ProgressIsABarOnATerminalAndATenthPerLineInALog) {
    std::ostringstream out, err;
    TBatchTransferUi bar(out, err, true, false);
    for (int p : {0, 0, 50, 100, 100}) {
        bar.Progress(p);
    }
    bar.Message("Obvestilo");
    const std::string empty(40, '-'), half = std::string(20, '#') + std::string(20, '-');
    EXPECT_EQ(err.str(), "\rPreverjanje zapisov [" + empty + "] 0 %" + "\rPreverjanje zapisov [" +
                             half + "] 50 %" + "\rPreverjanje zapisov [" + std::string(40, '#') +
                             "] 100 %\nObvestilo\n");
    EXPECT_EQ(out.str(), "");

    std::ostringstream log;
    TBatchTransferUi lines(out, log, false, false);
    for (int p : {0, 5, 9, 10, 33, 34, 67, 100, 100}) {
        lines.Progress(p);
    }
    EXPECT_EQ(log.str(), "Preverjanje zapisov: 10 %\nPreverjanje zapisov: 33 %\n"
                         "Preverjanje zapisov: 67 %\nPreverjanje zapisov: 100 %\n");
    // The repeat question is answered no; --force is what says yes.
    EXPECT_FALSE(lines.AskRepeat("Datoteka je bila že prenesena."));
    EXPECT_NE(log.str().find("--force"), std::string::npos);
    lines.Message(kCompletedMessage);
    EXPECT_TRUE(lines.Completed());
    EXPECT_EQ(out.str(), "") << "the result is the caller's to print";
}

// --- The program, as a process ------------------------------------------------------------

// Two more customers: one paid for by Zavod Sonce, one whose payer does not exist.
const std::vector<std::string> kData = [] {
    std::vector<std::string> rows = test::SonceRows();
    rows.push_back("INSERT INTO Subjekt (Naziv, Naziv2, Placnik) VALUES ('Ana Kranjc', "
                   "'KRANJC ANA', 'Zavod Sonce')");
    rows.push_back("INSERT INTO Subjekt (Naziv, Naziv2, Placnik) VALUES ('Rok Brez', "
                   "'BREZ ROK', 'Nikogar')");
    return rows;
}();

// Records that fail their checks, with what the report says of them.
const std::vector<std::vector<std::string>> kBadRecords = {
    {"ŠKOFIJA; \"SV\"", "ADSL", "1.000", "1.0000", "R;1"},
    {"ZAVOD SONCE", "NI-GA", "1.000", "1.0000", "R\"2"},
    {"BREZ ROK", "ADSL", "1.000", "1.0000", "Č3"},
};
const char* const kBadRows = "R;1\tStranka (ŠKOFIJA; \"SV\") ne obstaja !\n"
                             "R\"2\tArtikel (NI-GA) ne obstaja !\n"
                             "Č3\tPlačnik (Nikogar) ne obstaja !\n";

// The line a run ends with when it used none of the `read` records of a file with prices.
std::string NoneUsed(int read) {
    const std::string n = std::to_string(read);
    return "Kontrolni seštevki: zapisov prebranih " + n + ", uporabljenih 0, zavrnjenih " + n +
           "; računov 0, postavk 0; količina skupaj 0,000; vrednost 0,00, DDV 0,00, za plačilo "
           "0,00; vrednost po datoteki (količina × cena) 0,00.\n";
}
const std::string kBadResult = kBadRows + NoneUsed(3);

struct TRun {
    int status = -1;
    std::string out, err;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

class BatchTransfer : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        dsn = test::FreshSignedOnSchema(GetParam());
        OdbcTestEnv::Get().Exec(dsn, kData);
        file = home.Path() / "Prenos.dbf";
        test::WriteDbf(file, test::TransferColumns(), {});
    }

    // The ledger's runs of a file that booked invoices.
    std::vector<TTransferRun> LedgerRunsOf(const std::filesystem::path& f) {
        THdbc db;
        SignOn(db, dsn.dsn);
        return LedgerExists(db) ? LedgerRunsOfFile(db, TransferFileHash(f))
                                : std::vector<TTransferRun>{};
    }

    // The program with `args` and no display, in the Slovene locale unless another is
    // named; the ODBC set-up and the home directory are the test's.
    TRun Run(const std::vector<std::string>& args, const std::string& locale = "sl_SI.UTF-8") {
        std::string command =
            "cd " + Quote(home.Path().string()) +
            " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_RUNTIME_DIR "
            "-u LANG -u LANGUAGE LC_ALL=" +
            locale + " " ZENDRATO_BIN;
        for (const std::string& a : args) {
            command += " " + Quote(a);
        }
        auto out = home.Path() / "stdout";
        auto err = home.Path() / "stderr";
        command += " >" + Quote(out.string()) + " 2>" + Quote(err.string()) + " </dev/null";
        int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadFileBytes(out),
                test::ReadFileBytes(err)};
    }
    // A transfer with every input given; `more` replaces an input's value or adds options.
    TRun Transfer(const std::vector<std::string>& more = {},
                  const std::string& locale = "sl_SI.UTF-8") {
        std::vector<std::string> args = {"--transfer", "--date",  "2026-12-20", "--event",
                                         "12",         "--clerk", "JN",         "--dsn",
                                         dsn.dsn,      "--file",  file.string()};
        for (size_t i = 0; i < more.size(); ++i) {
            auto given = std::find(args.begin(), args.end(), more[i]);
            if (given != args.end() && i + 1 < more.size()) {
                *(given + 1) = more[++i];
            } else {
                args.push_back(more[i]);
            }
        }
        return Run(args, locale);
    }
    std::string Scalar(const std::string& query) { return OdbcTestEnv::Get().Scalar(dsn, query); }
    std::string Invoices() {
        return Scalar("SELECT COUNT(*) FROM Promet") + "/" +
               Scalar("SELECT COUNT(*) FROM PrometPoz");
    }

    test::TempHome home;
    test::DsnInfo dsn;
    std::filesystem::path file;
};

TEST_P(BatchTransfer, HelpVersionAndUsageErrorsAsAJobSeesThem) {
    TRun r = Run({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Zendrato, različica ", 0), 0u) << r.out;
    r = Run({"--transfer", "--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* text : {"--date", "--event", "--clerk", "--dsn", "--file", "--report",
                             "--check", "--force", "Izhodno stanje"}) {
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    }
    EXPECT_EQ(r.out.find("KOLICINA"), std::string::npos) << "only the transfer's help";
    r = Run({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* text : {"--transfer", "--formula", "--set-login", "KOLICINA"}) {
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    }
    for (auto args : std::vector<std::vector<std::string>>{
             {"--transfer"}, {"--transfer", "--date", "31.2.2026"}, {"--transfer", "--bogus"}}) {
        r = Run(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "") << args.back();
        EXPECT_EQ(r.err.rfind("zendrato: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("Uporaba: zendrato --transfer"), std::string::npos) << r.err;
    }
}

// 0 without errors, 1 with them, 2 when the run ends by a message or an exception; the
// options not given come from the settings file.
TEST_P(BatchTransfer, TheExitStatusFollowsTheRun) {
    TRun r = Transfer();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Dodajanje zaključeno !\n" + NoneUsed(0));
    EXPECT_NE(r.err.find("100 %"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos) << "no bar when stderr is a file";

    std::ofstream(home.Path() / "Tevrin.INI") << "[Zendrato]\nPoslDog=12\nAlias=" << dsn.dsn
                                              << "\nReferent=JN\nPath=" << file.string() << "\n";
    r = Run({"--transfer", "--date", "20. 12. 2026"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Dodajanje zaključeno !\n" + NoneUsed(0));

    test::WriteDbf(file, test::TransferColumns(), kBadRecords);
    r = Transfer();
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, kBadResult);
    EXPECT_EQ(Invoices(), "0/0");

    // Ended by the run's messages, as the window shows them, and by an exception.
    r = Transfer({"--event", "99"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Poslovni dogodek ne obstaja v šifrantu !\n"), std::string::npos) << r.err;
    r = Transfer({"--clerk", ""});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Poslovni dogodek, referenta in pot do podatkov moraš obvezno določiti !\n");
    // A data source that is not there, or whose name is too long, is refused before signing
    // on, named in Slovene with those that are.
    r = Transfer({"--dsn", "NiTakegaVira"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("Vir podatkov »NiTakegaVira« ne obstaja. Obstoječi viri: ", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find(" " + dsn.dsn + ","), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Vzrok"), std::string::npos) << "refused before signing on: " << r.err;
    const std::string overlong(40, 'V');
    r = Transfer({"--dsn", overlong});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("Vir podatkov »" + overlong + "« ni uporaben: ime je predolgo", 0), 0u)
        << r.err;
    r = Transfer({"--file", (home.Path() / "ni.dbf").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("ni.dbf"), std::string::npos) << r.err;
}

// The report as asked, without a display: CSV by its name, else PDF; written whole, and a
// report that cannot be written is no success.
TEST_P(BatchTransfer, TheErrorReportIsWrittenAsCsvOrPdf) {
    test::WriteDbf(file, test::TransferColumns(), kBadRecords);
    const auto csv = home.Path() / "napake.CSV";
    TRun r = Transfer({"--report", csv.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, kBadResult);
    EXPECT_EQ(test::ReadFileBytes(csv), "\xEF\xBB\xBF"
                                        "Račun št.;Napaka\r\n"
                                        "\"R;1\";\"Stranka (ŠKOFIJA; \"\"SV\"\") ne obstaja !\"\r\n"
                                        "\"R\"\"2\";Artikel (NI-GA) ne obstaja !\r\n"
                                        "Č3;Plačnik (Nikogar) ne obstaja !\r\n"
                                        ";\"" +
                                            NoneUsed(3).substr(0, NoneUsed(3).size() - 1) +
                                            "\"\r\n");

    const auto pdf = home.Path() / "napake.pdf";
    r = Transfer({"--report", pdf.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(test::ReadFileBytes(pdf).substr(0, 5), "%PDF-");
    EXPECT_NE(r.err.find(pdf.string()), std::string::npos) << "says where the report is";
    EXPECT_EQ(r.err.find("QStandardPaths"), std::string::npos) << "no Qt warning: " << r.err;

    r = Transfer({"--report", (home.Path() / "ni" / "napake.csv").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, kBadResult) << "the rows are given all the same";
    for (const auto& entry : std::filesystem::directory_iterator(home.Path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
    }

    // No errors, no report: an empty report is never produced.
    test::WriteDbf(file, test::TransferColumns(), {});
    std::filesystem::remove(csv);
    EXPECT_EQ(Transfer({"--report", csv.string()}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(csv));
}

// A file the ledger knows for this database is refused unless forced; a dry run is never
// refused and never recorded.
TEST_P(BatchTransfer, AKnownFileIsRefusedUnlessForced) {
    test::WriteDbf(file, test::TransferColumns(), kBadRecords);
    {
        THdbc db;
        SignOn(db, dsn.dsn);
        EnsureLedgerTables(db);
        TTransferRunInputs in;
        in.FileHash = TransferFileHash(file);
        in.DataSource = dsn.dsn;
        in.PoslDog = "12";
        in.Referent = "JN";
        in.IssueDate = EncodeDate(2026, 12, 1);
        const int64_t run = BeginLedgerRun(db, in);
        db.SetAutoCommit(false);
        RecordLedgerInvoices(db, run, 0, {{"2612000001", "Zavod Sonce", 1, {}}});
        db.Commit();
        db.SetAutoCommit(true);
        FinishLedgerRun(db, run, true, {});
    }
    TRun r = Transfer();
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Datoteka je bila že prenesena"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;

    r = Transfer({"--check"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "Preizkus končan, v bazi Tevrin ni nič zapisano (preklicanih računov: 0).\n" +
                         kBadResult);

    r = Transfer({"--force"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, kBadResult);
    // A forced run that commits no invoice books nothing that counts.
    EXPECT_EQ(LedgerRunsOf(file).size(), 1u);
}

TEST_P(BatchTransfer, ACheckWritesNothingAndARealRunIsThenRefusedWhenRepeated) {
    std::vector<std::vector<std::string>> records = kBadRecords;
    records.push_back({"KRANJC ANA", "ADSL", "2.000", "10.0000", "1001"});
    records.push_back({"ZAVOD SONCE", "ADSL", "1.000", "5.0000", "1002"});
    test::WriteDbf(file, test::TransferColumns(), records);

    TRun r = Transfer({"--check"});
    EXPECT_EQ(r.status, 1) << r.err;
    // Amounts as a Slovene operator reads them.
    EXPECT_NE(
        r.out.find("Račun 261200001 (Zavod Sonce): vrstic 2, vrednost 25,00, za plačilo 30,00\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("(preklicanih računov: 1)"), std::string::npos) << r.out;
    // The run ends with its control totals, after the error rows: the dry run's are those
    // of the real run.
    const std::string totals =
        "Kontrolni seštevki: zapisov prebranih 5, uporabljenih 2, zavrnjenih 3; računov 1, "
        "postavk 2; količina skupaj 3,000; vrednost 25,00, DDV 5,00, za plačilo 30,00; vrednost "
        "po datoteki (količina × cena) 25,00.\n";
    EXPECT_NE(r.out.find(kBadRows + totals), std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - totals.size()), totals) << r.out;
    EXPECT_EQ(Invoices(), "0/0");
    EXPECT_TRUE(LedgerRunsOf(file).empty());

    r = Transfer();
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, kBadRows + totals);
    EXPECT_EQ(Invoices(), "1/2");
    r = Transfer();
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(Invoices(), "1/2");
    EXPECT_EQ(Transfer({"--force"}).status, 1);
    EXPECT_EQ(Invoices(), "2/4");
}

// A fresh install has only C.UTF-8: the operator still types and reads Slovene dates and
// amounts.
TEST_P(BatchTransfer, DatesAndAmountsAreSloveneUnderTheCLocale) {
    test::WriteDbf(file, test::TransferColumns(),
                   {{"KRANJC ANA", "ADSL", "2.000", "10.0000", "1001"},
                    {"ZAVOD SONCE", "ADSL", "1.000", "6.7400", "1002"}});
    TRun r = Transfer({"--date", "20. 12. 2026", "--check"}, "C.UTF-8");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("vrstic 2, vrednost 26,74, za plačilo 32,09\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(Invoices(), "0/0");

    r = Transfer({"--date", "21.12.2026"}, "C.UTF-8");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Scalar("SELECT Datum FROM Promet").substr(0, 10), "2026-12-21");
    // Month and day are never swapped; a date with a day past 12 in the month's place is
    // refused, not read the other way round.
    r = Transfer({"--date", "12/21/2026", "--force"}, "C.UTF-8");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("ni veljaven datum (LLLL-MM-DD ali 20. 12. 2026)"), std::string::npos)
        << r.err;
}

// A file whose prices stop being readable is priced by the rules from the start, and the
// operator is told so: on standard error, on its own line before the result (no tab: no
// job takes it for an error row), and first in the report. A file without the field at
// all asks for the rules and is not remarked on.
TEST_P(BatchTransfer, PricesUnreadableFromARecordOnAreToldBesideTheResult) {
    const std::string notice = "Cene v datoteki prenosa niso berljive od zapisa 2 (račun 1002) "
                               "naprej, zato so vse vrstice ocenjene po cenah in pravilih Tevrina.";
    std::vector<std::vector<std::string>> records = {
        {"KRANJC ANA", "ADSL", "2.000", "10.0000", "1001"},
        {"ZAVOD SONCE", "ADSL", "1.000", "x", "1002"},
    };
    test::WriteDbf(file, test::TransferColumns(), records);
    TRun r = Transfer({"--check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(notice + "\n"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find(notice + "\nDodajanje zaključeno !\n"), std::string::npos) << r.out;

    records.push_back(kBadRecords[2]);
    test::WriteDbf(file, test::TransferColumns(), records);
    const auto csv = home.Path() / "napake.csv";
    r = Transfer({"--check", "--report", csv.string()});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.out.find(notice + "\nČ3\tPlačnik (Nikogar) ne obstaja !\n"), std::string::npos)
        << r.out;
    EXPECT_NE(test::ReadFileBytes(csv).find("Napaka\r\n;" + notice + "\r\nČ3;"), std::string::npos)
        << test::ReadFileBytes(csv);

    test::WriteDbf(file, test::TransferColumns(false), {{"KRANJC ANA", "ADSL", "2.000", "1001"}});
    r = Transfer({"--check"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("Cene v datoteki"), std::string::npos) << r.out;
}

// Lines that cannot be valued (the parameters lack the basis of the amounts): no invoice
// is written at 0,00, each payer's invoice has its error row, and the job sees exit 1.
TEST_P(BatchTransfer, ARunWhoseLinesCannotBeValuedWritesNoneAndExitsOne) {
    OdbcTestEnv::Get().Exec(dsn, {"ALTER TABLE Param DROP COLUMN OsnZaIzrProdCene"});
    test::WriteDbf(file, test::TransferColumns(),
                   {{"KRANJC ANA", "ADSL", "2.000", "10.0000", "1001"},
                    {"ZAVOD SONCE", "ADSL", "1.000", "5.0000", "1002"}});
    TRun r = Transfer();
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out.rfind("1001\tRačun za plačnika Zavod Sonce ni zapisan: cene artikla ADSL ni "
                          "mogoče izračunati (",
                          0),
              0u)
        << r.out;
    // Its records are refused with it.
    EXPECT_NE(r.out.find("\nKontrolni seštevki: zapisov prebranih 2, uporabljenih 0, zavrnjenih "
                         "2; računov 0, postavk 0;"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
    EXPECT_EQ(r.out.find("Dodajanje"), std::string::npos);
    EXPECT_EQ(Invoices(), "0/0");
}

// Texts from the transfer file reach the rows on standard output: a line break or a tab in
// one must not forge a row for the job that reads them, an escape sequence must not reach
// the terminal.
TEST_P(BatchTransfer, TextsFromTheFileStayInTheirRow) {
    test::WriteDbf(file, test::TransferColumns(),
                   {{"NI\nTAKE", "ADSL", "1.000", "1.0000", "=1+2"},
                    {"ZAVOD SONCE", "NI-GA", "1.000", "1.0000", "R\t2"},
                    {"\x1b[31mRDECA", "ADSL", "1.000", "1.0000", "@SUM(1)"},
                    {"ZAVOD SONCE", "A\x1b]0;x\x07\x7f", "1.000", "1.0000", "+1-1\r"}});
    TRun r = Transfer();
    EXPECT_EQ(r.status, 1) << r.err;
    const std::string bad = "\xEF\xBF\xBD"; // U+FFFD in place of each control character
    EXPECT_EQ(r.out, "=1+2\tStranka (NI" + bad + "TAKE) ne obstaja !\n" + "R" + bad +
                         "2\tArtikel (NI-GA) ne obstaja !\n" + "@SUM(1)\tStranka (" + bad +
                         "[31mRDECA) ne obstaja !\n" + "+1-1" + bad + "\tArtikel (A" + bad +
                         "]0;x" + bad + bad + ") ne obstaja !\n" + NoneUsed(4));
}

// Everything the program makes in its home is its owner's alone whatever the umask (0700
// directories, 0600 files: the home holds the SQL login); a report written elsewhere gets
// the mode the umask gives, as any program's file.
TEST_P(BatchTransfer, TheHomeIsItsOwnersAloneWhateverTheUmask) {
    test::WriteDbf(file, test::TransferColumns(), kBadRecords);
    std::string tmpl =
        (std::filesystem::temp_directory_path() / "zendrato-elsewhere-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(tmpl.data()));
    const std::filesystem::path elsewhere = tmpl;
    const mode_t previous = ::umask(0);
    // The exception log, which a sound run leaves alone.
    LogException(EDatabaseError("Preizkus"), nullptr, "Preizkus");
    const TRun inHome = Transfer({"--report", (home.Path() / "napake.pdf").string()});
    const TRun csv = Transfer({"--report", (elsewhere / "napake.csv").string()});
    const TRun pdf = Transfer({"--report", (elsewhere / "napake.pdf").string()});
    ::umask(previous);
    EXPECT_EQ(inHome.status, 1) << inHome.err;
    EXPECT_EQ(csv.status, 1) << csv.err;
    EXPECT_EQ(pdf.status, 1) << pdf.err;

    auto modeOf = [](const std::filesystem::path& path) {
        struct stat st {};
        return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
    };
    std::set<std::string> made;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(home.Path())) {
        const std::string name = entry.path().lexically_relative(home.Path()).string();
        if (name == "stdout" || name == "stderr" || name == "Prenos.dbf") {
            continue; // the test's own
        }
        made.insert(name);
        EXPECT_EQ(modeOf(entry.path()), entry.is_directory() ? 0700u : 0600u) << name;
    }
    for (const char* name : {"c", "c/TevrinError", "TevrinTemp", "TevrinTemp/TPrenosNapaka.db",
                             "TevrinTemp/TVeskPrenosRac.db", "napake.pdf"}) {
        EXPECT_TRUE(made.count(name)) << name;
    }
    EXPECT_EQ(modeOf(elsewhere / "napake.csv"), 0666u);
    EXPECT_EQ(modeOf(elsewhere / "napake.pdf"), 0666u);
    std::filesystem::remove_all(elsewhere);
}

INSTANTIATE_TEST_SUITE_P(Drivers, BatchTransfer, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen
