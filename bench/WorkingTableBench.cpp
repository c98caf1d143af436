// Filling the working table: 20,000 and 200,000 rows appended to TVeskPrenosRac through
// TTable, defined as a transfer run defines it and written in one batch as a run phase
// writes it, then read back in the primary index's order from a fresh open. Baseline: the
// same rows inserted into a table of the same shape as a careful programmer would with
// plain sqlite3 (the same journal settings, one transaction, one prepared insert, a
// connection of its own for each phase), and read back with ORDER BY. The time per row at both
// sizes shows whether the cost stays flat as the table grows. Also reports how much the TTable run
// raises the process's peak memory, as the table keeps its rows in memory.

#include "bench/BenchSupport.h"
#include "localtable/Table.h"
#include "toolkit/Home.h"
#include "transfer/VeskPrenosRac.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sqlite3.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace zen::bench {
namespace {

struct TSize {
    int Rows;
    int Runs;
};
constexpr TSize kSizes[] = {{20000, 9}, {200000, 3}};

struct TRow {
    std::string Placnik, Kupec, Ident;
    double Kolicina = 0, Cena = 0;
    std::string StRac;
};

// Rows in no particular order, with many lines per payer and customer, as a transfer file
// gives them; every text fits its field, so neither side has to cut one.
std::vector<TRow> MakeRows(int count) {
    const char* payers[] = {"Čebelarsko društvo Žiri", "Šolski center Šentjur",
                            "Občina Škofja Loka",      "Vrtec Ježek Kočevje",
                            "Gostilna Pri Štefanu",    "Zavod Čista narava"};
    const char* customers[] = {"Ana Žagar", "Štefan Čuk", "Mojca Kržan", "Jože Šuštar",
                               "Špela Ožbolt"};
    TRandom random(30);
    std::vector<TRow> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        TRow r;
        r.Placnik = std::string(payers[random.Below(std::size(payers))]) + " " +
                    std::to_string(random.Below(50));
        r.Kupec = std::string(customers[random.Below(std::size(customers))]) + " " +
                  std::to_string(random.Below(200));
        r.Ident = "ART-" + std::to_string(random.Below(5000));
        r.Kolicina = double(random.Below(100000)) / 1000;
        r.Cena = double(random.Below(10000000)) / 10000;
        r.StRac = "R-" + std::to_string(i % 4000);
        rows.push_back(std::move(r));
    }
    return rows;
}

struct TPhaseTimes {
    double Fill = 1e300; // seconds, fastest run
    double Read = 1e300;
    void Keep(double fill, double read) {
        Fill = std::min(Fill, fill);
        Read = std::min(Read, read);
    }
};

// Each run starts from no file at all, so that neither side reuses the other's pages.
void RemoveDatabase(const std::filesystem::path& file) {
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::path p = file;
        p += suffix;
        std::filesystem::remove(p);
    }
}

uint64_t ThroughTable(const std::vector<TRow>& rows, double& fill, double& read) {
    TTable t;
    DefineVeskPrenosRac(t);
    RemoveDatabase(t.TablePath());
    fill = TimeOnce([&] {
        t.CreateTable();
        t.Open();
        TTable::TBatch batch(t);
        for (const TRow& r : rows) {
            t.Append();
            t.FieldByName("Placnik")->SetAsString(r.Placnik);
            t.FieldByName("Kupec")->SetAsString(r.Kupec);
            t.FieldByName("Ident")->SetAsString(r.Ident);
            t.FieldByName("Kolicina")->SetAsFloat(r.Kolicina);
            t.FieldByName("Cena")->SetAsFloat(r.Cena);
            t.FieldByName("StRac")->SetAsString(r.StRac);
            t.Post();
        }
        batch.Commit();
        t.Close();
    });
    TChecksum sum;
    read = TimeOnce([&] {
        t.Open();
        for (t.First(); !t.Eof(); t.Next()) {
            sum.Add(t.FieldByName("Placnik")->AsString());
            sum.Add(t.FieldByName("Kupec")->AsString());
            sum.Add(t.FieldByName("Ident")->AsString());
            sum.Add(int64_t{t.FieldByName("ZapSt")->AsInteger()});
            sum.Add(t.FieldByName("Kolicina")->AsFloat());
            sum.Add(t.FieldByName("Cena")->AsFloat());
            sum.Add(t.FieldByName("StRac")->AsString());
        }
        t.Close();
    });
    return sum.Value();
}

struct TDbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct TStmtFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using TStmt = std::unique_ptr<sqlite3_stmt, TStmtFinalizer>;

void Check(int rc, sqlite3* db, int expected = SQLITE_OK) {
    if (rc != expected) {
        throw std::runtime_error(std::string("sqlite: ") + sqlite3_errmsg(db));
    }
}

void Exec(sqlite3* db, const char* sql) {
    Check(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), db);
}

TStmt Prepare(sqlite3* db, const char* sql) {
    sqlite3_stmt* s = nullptr;
    Check(sqlite3_prepare_v2(db, sql, -1, &s, nullptr), db);
    return TStmt(s);
}

void BindText(sqlite3_stmt* s, int index, const std::string& text) {
    sqlite3_bind_text(s, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
}

std::string ColumnText(sqlite3_stmt* s, int index) {
    auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, index));
    return std::string(p ? p : "", size_t(sqlite3_column_bytes(s, index)));
}

using TDb = std::unique_ptr<sqlite3, TDbCloser>;

TDb OpenDatabase(const std::filesystem::path& file) {
    sqlite3* raw = nullptr;
    int rc =
        sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    TDb db(raw);
    Check(rc, db.get());
    return db;
}

// Each phase opens and closes its own connection, as the table does: the last close of a
// connection in write-ahead-log mode writes the log back into the file.
uint64_t ThroughSqlite(const std::filesystem::path& file, const std::vector<TRow>& rows,
                       double& fill, double& read) {
    RemoveDatabase(file);
    fill = TimeOnce([&] {
        TDb owner = OpenDatabase(file);
        sqlite3* db = owner.get();
        Exec(db, "PRAGMA journal_mode=WAL");
        Exec(db, "PRAGMA synchronous=NORMAL");
        Exec(db, "CREATE TABLE \"TVeskPrenosRac\" (\"Placnik\" VARCHAR(30), \"Kupec\" "
                 "VARCHAR(30), \"Ident\" VARCHAR(16), \"ZapSt\" INTEGER PRIMARY KEY "
                 "AUTOINCREMENT, \"Kolicina\" FLOAT, \"Cena\" FLOAT, \"StRac\" VARCHAR(10))");
        Exec(db, "CREATE UNIQUE INDEX \"TVeskPrenosRac$TVeskPrenosRac\" ON \"TVeskPrenosRac\" "
                 "(\"Placnik\", \"Kupec\", \"Ident\", \"ZapSt\")");
        Exec(db, "BEGIN IMMEDIATE");
        TStmt insert = Prepare(db, "INSERT INTO \"TVeskPrenosRac\" (\"Placnik\", \"Kupec\", "
                                   "\"Ident\", \"Kolicina\", \"Cena\", \"StRac\") VALUES (?, ?, "
                                   "?, ?, ?, ?)");
        sqlite3_stmt* s = insert.get();
        for (const TRow& r : rows) {
            sqlite3_reset(s);
            BindText(s, 1, r.Placnik);
            BindText(s, 2, r.Kupec);
            BindText(s, 3, r.Ident);
            sqlite3_bind_double(s, 4, r.Kolicina);
            sqlite3_bind_double(s, 5, r.Cena);
            BindText(s, 6, r.StRac);
            Check(sqlite3_step(s), db, SQLITE_DONE);
        }
        Exec(db, "COMMIT");
    });
    TChecksum sum;
    read = TimeOnce([&] {
        TDb owner = OpenDatabase(file);
        sqlite3* db = owner.get();
        TStmt select = Prepare(db, "SELECT \"Placnik\", \"Kupec\", \"Ident\", \"ZapSt\", "
                                   "\"Kolicina\", \"Cena\", \"StRac\" FROM \"TVeskPrenosRac\" "
                                   "ORDER BY \"Placnik\", \"Kupec\", \"Ident\", \"ZapSt\"");
        sqlite3_stmt* s = select.get();
        int step;
        while ((step = sqlite3_step(s)) == SQLITE_ROW) {
            sum.Add(ColumnText(s, 0));
            sum.Add(ColumnText(s, 1));
            sum.Add(ColumnText(s, 2));
            sum.Add(int64_t{sqlite3_column_int64(s, 3)});
            sum.Add(sqlite3_column_double(s, 4));
            sum.Add(sqlite3_column_double(s, 5));
            sum.Add(ColumnText(s, 6));
        }
        Check(step, db, SQLITE_DONE);
    });
    return sum.Value();
}

} // namespace
} // namespace zen::bench

int main() {
    using namespace zen::bench;
    return RunBenchmark("bench_working_table", [](const TBenchHome&) {
        std::filesystem::path baselineFile = zen::AliasDirectory("TevrinTemp") / "baseline.db";
        for (const TSize& size : kSizes) {
            std::vector<TRow> rows = MakeRows(size.Rows);
            TPhaseTimes table, plain;
            uint64_t viaTable = 0, viaSqlite = 0;
            long rssGrowthKiB = 0;
            for (int run = 0; run < size.Runs; ++run) {
                // The first TTable run of a size comes before anything else of that size
                // has raised the peak.
                long rssBefore = PeakRssKiB();
                double fill = 0, read = 0;
                viaTable = ThroughTable(rows, fill, read);
                if (run == 0) {
                    rssGrowthKiB = PeakRssKiB() - rssBefore;
                }
                table.Keep(fill, read);
                viaSqlite = ThroughSqlite(baselineFile, rows, fill, read);
                plain.Keep(fill, read);
                RequireSame("filling the working table", viaTable, viaSqlite);
            }

            PrintTitle("Filling the working table: " + std::to_string(size.Rows) +
                       " rows appended, then read in index order, best of " +
                       std::to_string(size.Runs));
            PrintRate("TTable, append and post", size.Rows, table.Fill, "rows");
            PrintPerItem("TTable, per row", size.Rows, table.Fill, "row");
            PrintRate("baseline: sqlite3 insert", size.Rows, plain.Fill, "rows");
            PrintPerItem("baseline, per row", size.Rows, plain.Fill, "row");
            PrintRatio("fill, TTable / baseline", table.Fill, plain.Fill);
            PrintRate("TTable, open and read", size.Rows, table.Read, "rows");
            PrintRate("baseline: sqlite3 ORDER BY", size.Rows, plain.Read, "rows");
            PrintRatio("read, TTable / baseline", table.Read, plain.Read);
            PrintRatio("total, TTable / baseline", table.Fill + table.Read,
                       plain.Fill + plain.Read);
            PrintLine("peak RSS growth, TTable run", Fixed(rssGrowthKiB / 1024.0, 1), "MiB");
        }
    });
}
