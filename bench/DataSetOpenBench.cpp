// Opening a dataset over a large table: "SELECT * FROM Ms ORDER BY Ident" opened and its
// first row read, over a table of 1,000,000 rows against the same over a table of 10 rows
// (the baseline), on both drivers, through the data sources the tests use. Rows must come
// as they are fetched: the ratio of the two times stays near 1 and the process's memory
// does not grow with the table.

#include "bench/BenchOdbcEnv.h"
#include "bench/BenchSupport.h"
#include "dataset/ODSI.h"
#include "odbc/OCL.h"
#include "support/OdbcTestEnv.h"

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

namespace zen::bench {
namespace {

constexpr int kBigRows = 1000000;
constexpr int kSmallRows = 10;
constexpr int kRuns = 5;

using test::DsnInfo;
using test::OdbcTestEnv;
using test::TestDriver;

// Ms with `rows` rows, made by the server itself (a recursive query or a series).
void FillMs(OdbcTestEnv& env, TestDriver driver, int rows) {
    env.LoadSchema(driver);
    DsnInfo dsn = env.Dsn(driver);
    std::string n = std::to_string(rows);
    if (driver == TestDriver::SQLite) {
        env.Exec(dsn,
                 {"WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < " + n +
                  ") INSERT INTO Ms (Ident, Naziv, VPCena, Garancija) "
                  "SELECT printf('A%09d', i), 'Artikel ' || i, i * 0.5, i % 24 FROM s"});
    } else {
        env.Exec(dsn, {"INSERT INTO Ms (Ident, Naziv, VPCena, Garancija) SELECT "
                       "'A' || lpad(i::text, 9, '0'), 'Artikel ' || i, i * 0.5, i % 24 "
                       "FROM generate_series(1, " +
                           n + ") AS i",
                       "ANALYZE Ms"});
    }
}

struct TOpenResult {
    double Seconds = 1e300;
    std::string First;
};

TOpenResult OpenFirstRow(THdbc& db) {
    TOpenResult r;
    for (int run = 0; run < kRuns; ++run) {
        TOEQuery q;
        q.SetHdbc(&db);
        q.SQL().Add("SELECT * FROM Ms ");
        q.SQL().Add("ORDER BY IDENT ");
        std::string first;
        double t = TimeOnce([&] {
            q.Open();
            first = q.FieldByName("Ident")->AsString() + " " + q.FieldByName("Naziv")->AsString();
            q.Close();
        });
        r.Seconds = std::min(r.Seconds, t);
        r.First = first;
    }
    return r;
}

void RunDriver(OdbcTestEnv& env, TestDriver driver) {
    DsnInfo dsn = env.Dsn(driver);
    THdbc db;
    db.SetDataSource(dsn.dsn);
    db.SetUserName(dsn.user);
    db.SetPassword(dsn.password);

    FillMs(env, driver, kSmallRows);
    TOpenResult small = OpenFirstRow(db);
    db.Disconnect();
    FillMs(env, driver, kBigRows);
    long rssBefore = PeakRssKiB();
    TOpenResult big = OpenFirstRow(db);
    long rssGrowth = PeakRssKiB() - rssBefore;
    db.Disconnect();
    if (big.First != small.First) {
        throw std::runtime_error("first rows differ: " + big.First + " / " + small.First);
    }
    PrintTitle("Dataset opened over Ms, first row read (" + OdbcTestEnv::Label(driver) + ")");
    PrintLine("1,000,000 rows", Fixed(big.Seconds * 1000, 2) + " ms", "fastest of 5");
    PrintLine("10 rows (baseline)", Fixed(small.Seconds * 1000, 2) + " ms", "fastest of 5");
    PrintLine("ratio", Fixed(big.Seconds / small.Seconds, 2), "1,000,000 rows / 10 rows");
    PrintLine("peak memory growth", std::to_string(rssGrowth / 1024) + " MiB",
              "while opening the large table");
}

} // namespace
} // namespace zen::bench

int main() {
    return zen::bench::RunBenchmark("bench_dataset_open", [](const zen::bench::TBenchHome&) {
        zen::bench::WithOdbcTestEnv([](zen::test::OdbcTestEnv& env) {
            if (!env.PostgresRunning()) {
                throw std::runtime_error("PostgreSQL cluster not running: " + env.Problem());
            }
            zen::bench::RunDriver(env, zen::test::TestDriver::SQLite);
            zen::bench::RunDriver(env, zen::test::TestDriver::PostgreSQL);
        });
    });
}
