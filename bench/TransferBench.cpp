// The transfer benchmark: `zendrato --transfer` against its yardstick, the same work on the
// bare ODBC API (bench_transfer_baseline), on data that tevrin-data.py writes, through the
// tests' data sources: the SQLite file and a PostgreSQL cluster of the benchmark's own.
// Each program runs as a process of its own, the two alternating, from the same database
// (the invoices of the run before are deleted first). For each size it prints the median
// wall time of each, their ratio, each one's peak resident memory (wait4) and the
// statements it sent per record (ZENDRATO_COUNT_STATEMENTS); then the run priced by the
// rules (a file without CENA) against the file-priced one, and the time per record with
// ROWS rows already in Subjekt, Promet and PrometPoz against the small database. Once per
// size and driver, the rows that the two wrote are compared.
//
//     bench_transfer [--runs N] [--sizes 10000,100000] [--large ROWS] [--drivers sqlite,postgres]
//
// The targets are printed beside the figures, never asserted: a timing is no test.

#include "bench/BenchOdbcEnv.h"
#include "bench/BenchSupport.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zen::bench {
namespace {

namespace fs = std::filesystem;
using test::DsnInfo;
using test::OdbcTestEnv;
using test::TestDriver;

constexpr const char* kDate = "2026-11-30";
constexpr const char* kEvent = "IR";
constexpr const char* kClerk = "01";
// The generated database's series 26IR stands at 00041: everything above is a run's.
constexpr const char* kNewInvoices = "Kljuc LIKE '26IR%' AND Kljuc > '26IR00041'";
constexpr double kRatioTarget = 1.3;
constexpr double kRssTargetMiB = 150;
constexpr double kLargeTarget = 1.2;

struct TOptions {
    int Runs = 3;
    std::vector<int> Sizes{10000, 100000};
    int Large = 1000000;
    std::vector<TestDriver> Drivers{TestDriver::SQLite, TestDriver::PostgreSQL};
};

// What one run of a program cost.
struct TRun {
    double Seconds = 0;
    double CpuSeconds = 0; // user and system time of the process itself
    long PeakRssKiB = 0;
    long Statements = -1; // -1: the program printed no count
    std::string Out;      // its standard output
};

struct TSeries {
    std::vector<TRun> Runs;
    double Median() const {
        std::vector<double> t;
        for (const TRun& r : Runs) {
            t.push_back(r.Seconds);
        }
        std::sort(t.begin(), t.end());
        size_t n = t.size();
        return n == 0 ? 0 : n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
    }
    // The processor time of the run whose wall time is the median's (or nearest below).
    double MedianCpu() const {
        std::vector<std::pair<double, double>> t;
        for (const TRun& r : Runs) {
            t.emplace_back(r.Seconds, r.CpuSeconds);
        }
        std::sort(t.begin(), t.end());
        return t.empty() ? 0 : t[(t.size() - 1) / 2].second;
    }
    long PeakRssKiB() const {
        long m = 0;
        for (const TRun& r : Runs) {
            m = std::max(m, r.PeakRssKiB);
        }
        return m;
    }
    long Statements() const { return Runs.empty() ? -1 : Runs.front().Statements; }
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Tail(const std::string& text, size_t chars) {
    return text.size() <= chars ? text : "..." + text.substr(text.size() - chars);
}

// Runs a program with its standard output and error going to files, and measures it.
// Exit statuses other than those in `ok` end the benchmark with the program's messages.
TRun RunProcess(const std::vector<std::string>& argv, const fs::path& scratch,
                std::initializer_list<int> ok, const std::string& input = "") {
    fs::path out = scratch / "stdout.txt", err = scratch / "stderr.txt", in = scratch / "in.txt";
    std::ofstream(in, std::ios::binary | std::ios::trunc) << input;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        int fdIn = open(in.c_str(), O_RDONLY);
        int fdOut = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int fdErr = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fdIn < 0 || fdOut < 0 || fdErr < 0 || dup2(fdIn, 0) < 0 || dup2(fdOut, 1) < 0 ||
            dup2(fdErr, 2) < 0) {
            _exit(127);
        }
        std::vector<char*> args;
        for (const std::string& a : argv) {
            args.push_back(const_cast<char*>(a.c_str()));
        }
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) {
        throw std::runtime_error("wait4 failed for " + argv[0]);
    }
    TRun r;
    r.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.PeakRssKiB = usage.ru_maxrss;
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    r.CpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    r.Out = ReadAll(out);
    std::string errText = ReadAll(err);
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (std::find(ok.begin(), ok.end(), code) == ok.end()) {
        throw std::runtime_error(argv[0] + " ended with status " + std::to_string(code) + ": " +
                                 Tail(errText + r.Out, 2000));
    }
    // std::regex is avoided: GCC 12 warns inside it under the sanitizer build.
    const std::string label = "statements: ";
    if (size_t at = errText.find(label); at != std::string::npos) {
        r.Statements = std::strtol(errText.c_str() + at + label.size(), nullptr, 10);
    }
    return r;
}

// Built forwards rather than by inserting into the digits, which GCC 12 warns about at -O3.
std::string Thousands(long n) {
    std::string digits = std::to_string(n);
    std::string s;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0 && digits[i - 1] != '-') {
            s += ',';
        }
        s += digits[i];
    }
    return s;
}

class TTransferBench {
public:
    TTransferBench(const TOptions& o, const TBenchHome& home, OdbcTestEnv& env)
        : o_(o), home_(home.Path()), env_(env) {
        // For psql, which loads and reads the PostgreSQL database.
        setenv("PGPASSWORD", env_.Dsn(TestDriver::PostgreSQL).password.c_str(), 1);
        // Both programs print what they sent at their exit.
        setenv("ZENDRATO_COUNT_STATEMENTS", "1", 1);
    }

    void Run() {
        SetLogin();
        for (TestDriver d : o_.Drivers) {
            RunDriver(d);
        }
    }

private:
    void SetLogin() {
        // One stored login serves both sources; SQLite ignores it.
        DsnInfo pg = env_.Dsn(TestDriver::PostgreSQL);
        RunProcess({ZENDRATO_BIN, "--set-login", pg.user}, home_, {0}, pg.password + "\n");
    }

    fs::path TransferFile(int records, bool prices) const {
        return home_ /
               ("prenos-" + std::to_string(records) + (prices ? "" : "-brez-cene") + ".dbf");
    }

    // A fresh database for `records` transfer records (and `large` rows of filler), and
    // its two transfer files.
    void Generate(TestDriver driver, int records, int large) {
        std::vector<std::string> args{
            "/usr/bin/python3", std::string(ZENDRATO_SOURCE_DIR) + "/bench/tevrin-data.py",
            "--records",        std::to_string(records),
            "--large",          std::to_string(large)};
        if (driver == TestDriver::SQLite) {
            args.insert(args.end(), {"--sqlite", (env_.Dir() / "tevrin.db").string()});
        } else {
            DsnInfo pg = env_.Dsn(TestDriver::PostgreSQL);
            args.insert(args.end(), {"--postgres",
                                     "host=127.0.0.1 port=" + std::to_string(env_.PostgresPort()) +
                                         " user=" + pg.user + " dbname=tevrin"});
        }
        double t = TimeOnce([&] { RunProcess(args, home_, {0}); });
        for (bool prices : {true, false}) {
            std::vector<std::string> file = {args[0],     args[1],
                                             "--records", std::to_string(records),
                                             "--dbf",     TransferFile(records, prices).string()};
            if (!prices) {
                file.push_back("--no-price");
            }
            RunProcess(file, home_, {0});
        }
        std::fprintf(stderr, "  (database for %s records%s written in %.1f s)\n",
                     Thousands(records).c_str(),
                     large ? (", " + Thousands(large) + " rows of filler").c_str() : "", t);
    }

    // Deletes what the run before wrote, so that every run starts from the same rows.
    void Reset(TestDriver driver) {
        DsnInfo dsn = env_.Dsn(driver);
        std::vector<std::string> s{std::string("DELETE FROM PrometPoz WHERE ") + kNewInvoices,
                                   std::string("DELETE FROM Promet WHERE ") + kNewInvoices};
        if (driver == TestDriver::PostgreSQL) {
            s.push_back("VACUUM ANALYZE Promet");
            s.push_back("VACUUM ANALYZE PrometPoz");
        }
        env_.Exec(dsn, s);
    }

    TRun RunZendrato(TestDriver driver, const fs::path& file) {
        Reset(driver);
        return RunProcess({ZENDRATO_BIN, "--transfer", "--date", kDate, "--event", kEvent,
                           "--clerk", kClerk, "--dsn", env_.Dsn(driver).dsn, "--file",
                           file.string(), "--force"},
                          home_, {0, 1});
    }

    TRun RunBaseline(TestDriver driver, const fs::path& file) {
        Reset(driver);
        DsnInfo dsn = env_.Dsn(driver);
        std::vector<std::string> args{BASELINE_BIN,  "--dsn",   dsn.dsn, "--file",
                                      file.string(), "--date",  kDate,   "--event",
                                      kEvent,        "--clerk", kClerk};
        if (!dsn.user.empty()) {
            args.insert(args.end(), {"--user", dsn.user, "--password", dsn.password});
        }
        return RunProcess(args, home_, {0, 1});
    }

    // The rows that a run wrote, one line each, without the times of writing.
    std::string Rows(TestDriver driver) {
        const std::string header =
            "SELECT Kljuc, Datum, PoslDog, Referent, Izdajatelj, Prejemnik, Oseba3, CenRazred, "
            "Izjava, NacProdaje, NacinPlac, Dostava, DniZaPlac, Dokument1, DatDokum1, DatumDUR, "
            "DatumVal, Valuta, Tecaj, PrejemnikZal, IzdajateljZal, PotrjeneCene, Vrednost, "
            "VredValuta, ZaPlacilo, Popust, Davek, Knjizen, UserZap, UserSpre, Rabat, Transport, "
            "Dajatve, NepStr, VrDavek, Opomba, Status FROM Promet WHERE " +
            std::string(kNewInvoices) + " ORDER BY Kljuc;";
        const std::string lines =
            "SELECT Kljuc, Poz, Ident, Opomba, Naziv, EM, TS, Davek, Kolicina, Rabat, Cena, "
            "Transport, Dajatve, NepStr, VrDavek, VPCena2P, VPCenaP, MPCenaP, Garancija, "
            "CenaZaVred, CenaValuta, MPCena, VPCena, VPCena2, ProdCena, Trosarina, TrosarinaP, "
            "KolicinaTemp, UserZap, UserSpre, Skladisce FROM PrometPoz WHERE " +
            std::string(kNewInvoices) + " ORDER BY Kljuc, Poz;";
        std::vector<std::string> args;
        if (driver == TestDriver::SQLite) {
            args = {"/usr/bin/sqlite3",
                    "-batch",
                    "-cmd",
                    ".nullvalue <null>",
                    (env_.Dir() / "tevrin.db").string(),
                    header + lines};
        } else {
            args = {"/usr/bin/psql",
                    "-X",
                    "-A",
                    "-t",
                    "-P",
                    "null=<null>",
                    "-d",
                    "host=127.0.0.1 port=" + std::to_string(env_.PostgresPort()) +
                        " user=zendrato dbname=tevrin",
                    "-c",
                    header,
                    "-c",
                    lines};
        }
        return RunProcess(args, home_, {0}).Out;
    }

    // Whether the two programs wrote the same rows and reported the same failed records;
    // when not, both dumps are kept for a look.
    void CompareRows(TestDriver driver, int records, const std::string& zendrato, const TRun& z,
                     const std::string& baseline, const TRun& b) {
        bool same = zendrato == baseline && z.Out == b.Out;
        std::string note = "Promet and PrometPoz, error rows";
        if (!same) {
            std::string stem = (fs::temp_directory_path() / "zendrato-transfer-rows-").string() +
                               OdbcTestEnv::Label(driver) + "-" + std::to_string(records);
            std::ofstream(stem + "-zendrato.txt") << zendrato << "--\n" << z.Out;
            std::ofstream(stem + "-baseline.txt") << baseline << "--\n" << b.Out;
            note = "DIFFER: " + stem + "-{zendrato,baseline}.txt";
        }
        PrintLine("rows against the baseline's", same ? "same" : "different", note);
    }

    // The median wall time, per record, and how much of it the process spent on a
    // processor itself (the rest is waiting, mostly for the server).
    static void PrintSeries(const std::string& label, const TSeries& s, int records) {
        PrintLine(label, Fixed(s.Median(), 2) + " s",
                  "median of " + std::to_string(s.Runs.size()) + ", " +
                      Fixed(s.Median() / records * 1e6, 1) + " us/record, CPU " +
                      Fixed(s.MedianCpu(), 2) + " s");
    }

    static void PrintStatements(const std::string& label, const TSeries& s, int records) {
        long n = s.Statements();
        PrintLine(label, n < 0 ? "?" : Fixed(double(n) / records, 2),
                  n < 0 ? "(no count printed)" : "(" + Thousands(n) + " in all)");
    }

    void RunDriver(TestDriver driver) {
        if (driver == TestDriver::PostgreSQL && !env_.PostgresRunning()) {
            throw std::runtime_error("PostgreSQL cluster not running: " + env_.Problem());
        }
        std::string label = OdbcTestEnv::Label(driver);
        std::vector<long> rss;
        double smallPerRecord = 0;
        for (int records : o_.Sizes) {
            Generate(driver, records, 0);
            fs::path file = TransferFile(records, true);
            TSeries z, b, rules;
            for (int i = 0; i < o_.Runs; ++i) {
                z.Runs.push_back(RunZendrato(driver, file));
                std::string zRows = i == 0 ? Rows(driver) : "";
                b.Runs.push_back(RunBaseline(driver, file));
                if (i == 0) {
                    rowsCompared_ = {zRows, Rows(driver)};
                }
            }
            for (int i = 0; i < o_.Runs; ++i) {
                rules.Runs.push_back(RunZendrato(driver, TransferFile(records, false)));
            }
            PrintTitle("Transfer of " + Thousands(records) + " records (" + label + ")");
            PrintSeries("zendrato --transfer", z, records);
            PrintSeries("baseline (bare ODBC)", b, records);
            double ratio = z.Median() / b.Median();
            PrintLine("ratio zendrato/baseline", Fixed(ratio, 2),
                      "target <= " + Fixed(kRatioTarget, 1) +
                          (ratio <= kRatioTarget ? "  met" : "  MISSED"));
            double mib = z.PeakRssKiB() / 1024.0;
            PrintLine("peak RSS zendrato", Fixed(mib, 1) + " MiB",
                      "target < " + Fixed(kRssTargetMiB, 0) + " MiB" +
                          (mib < kRssTargetMiB ? "  met" : "  MISSED"));
            PrintLine("peak RSS baseline", Fixed(b.PeakRssKiB() / 1024.0, 1) + " MiB", "");
            PrintStatements("statements/record zendrato", z, records);
            PrintStatements("statements/record baseline", b, records);
            CompareRows(driver, records, rowsCompared_.first, z.Runs.front(), rowsCompared_.second,
                        b.Runs.front());
            PrintSeries("zendrato, prices by the rules", rules, records);
            PrintLine("ratio rules/file prices", Fixed(rules.Median() / z.Median(), 2),
                      "(no CENA in the file against CENA)");
            PrintStatements("statements/record by the rules", rules, records);
            rss.push_back(std::max(z.PeakRssKiB(), rules.PeakRssKiB()));
            if (records == o_.Sizes.front()) {
                smallPerRecord = z.Median() / records;
            }
        }
        if (rss.size() > 1) {
            PrintTitle("Peak RSS of zendrato across sizes (" + label + ")");
            PrintLine("largest / smallest size", Fixed(double(rss.back()) / rss.front(), 2),
                      "flat is near 1");
        }
        if (o_.Large > 0) {
            RunLarge(driver, smallPerRecord);
        }
    }

    // The smallest size again, over tables of o_.Large rows.
    void RunLarge(TestDriver driver, double smallPerRecord) {
        int records = o_.Sizes.front();
        Generate(driver, records, o_.Large);
        fs::path file = TransferFile(records, true);
        TSeries z, b;
        for (int i = 0; i < o_.Runs; ++i) {
            z.Runs.push_back(RunZendrato(driver, file));
            b.Runs.push_back(RunBaseline(driver, file));
        }
        double perRecord = z.Median() / records;
        PrintTitle("Transfer of " + Thousands(records) + " records, " + Thousands(o_.Large) +
                   " rows in Subjekt, Promet, PrometPoz (" + OdbcTestEnv::Label(driver) + ")");
        PrintSeries("zendrato --transfer", z, records);
        PrintSeries("baseline (bare ODBC)", b, records);
        PrintLine("ratio zendrato/baseline", Fixed(z.Median() / b.Median(), 2), "");
        double growth = perRecord / smallPerRecord;
        PrintLine("per record, large / small database", Fixed(growth, 2),
                  "target <= " + Fixed(kLargeTarget, 2) +
                      (growth <= kLargeTarget ? "  met" : "  MISSED"));
        PrintLine("peak RSS zendrato", Fixed(z.PeakRssKiB() / 1024.0, 1) + " MiB", "");
        PrintStatements("statements/record zendrato", z, records);
    }

    const TOptions& o_;
    fs::path home_;
    OdbcTestEnv& env_;
    std::pair<std::string, std::string> rowsCompared_;
};

std::vector<int> ParseSizes(const std::string& text) {
    std::vector<int> sizes;
    std::stringstream s(text);
    for (std::string item; std::getline(s, item, ',');) {
        sizes.push_back(std::stoi(item));
        if (sizes.back() <= 0) {
            throw std::runtime_error("a size must be positive: " + item);
        }
    }
    if (sizes.empty()) {
        throw std::runtime_error("--sizes names no size");
    }
    return sizes;
}

TOptions ParseOptions(int argc, char** argv) {
    TOptions o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 == argc) {
            throw std::runtime_error("missing value of " + a);
        }
        std::string v = argv[++i];
        if (a == "--runs") {
            o.Runs = std::max(1, std::stoi(v));
        } else if (a == "--sizes") {
            o.Sizes = ParseSizes(v);
        } else if (a == "--large") {
            o.Large = std::stoi(v);
        } else if (a == "--drivers") {
            o.Drivers.clear();
            if (v.find("sqlite") != std::string::npos) {
                o.Drivers.push_back(TestDriver::SQLite);
            }
            if (v.find("postgres") != std::string::npos) {
                o.Drivers.push_back(TestDriver::PostgreSQL);
            }
        } else {
            throw std::runtime_error("unknown option " + a +
                                     " (--runs N, --sizes N,N, --large ROWS, --drivers "
                                     "sqlite,postgres)");
        }
    }
    return o;
}

} // namespace
} // namespace zen::bench

int main(int argc, char** argv) {
    return zen::bench::RunBenchmark("bench_transfer", [&](const zen::bench::TBenchHome& home) {
        zen::bench::TOptions o = zen::bench::ParseOptions(argc, argv);
        // Each section shows as soon as it is measured, also when the output is a file.
        std::setvbuf(stdout, nullptr, _IOLBF, 0);
        zen::bench::WithOdbcTestEnv(
            [&](zen::test::OdbcTestEnv& env) { zen::bench::TTransferBench(o, home, env).Run(); });
    });
}
