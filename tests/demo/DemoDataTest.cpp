// The demo's accounting database and transfer file: the data loads into the schema with
// every text within its column's width (SQLite does not enforce it, PostgreSQL does), and
// the transfer file, read by the program's own dBase reader, passes and fails its checks
// as the demo promises.

#include "localtable/Table.h"
#include "support/TestSupport.h"
#include "toolkit/Field.h"
#include "transfer/PrenosNapaka.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <regex>
#include <set>
#include <sqlite3.h>
#include <sstream>

using namespace zen;

namespace {

const std::filesystem::path kData = DEMO_DATA_DIR;

struct DbClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, DbClose>;

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Db LoadDemo() {
    sqlite3* raw = nullptr;
    sqlite3_open(":memory:", &raw);
    Db db(raw);
    for (const char* file : {"tevrin-schema.sql", "tevrin-demo.sql"}) {
        char* err = nullptr;
        int rc = sqlite3_exec(db.get(), Slurp(kData / file).c_str(), nullptr, nullptr, &err);
        EXPECT_EQ(rc, SQLITE_OK) << file << ": " << (err ? err : "");
        sqlite3_free(err);
    }
    return db;
}

// Every row of a query, its columns joined by "|".
std::vector<std::string> Query(sqlite3* db, const std::string& sql,
                               const std::vector<std::string>& args = {}) {
    sqlite3_stmt* s = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr), SQLITE_OK) << sql;
    for (size_t i = 0; i < args.size(); ++i) {
        sqlite3_bind_text(s, int(i + 1), args[i].c_str(), -1, SQLITE_TRANSIENT);
    }
    std::vector<std::string> rows;
    while (sqlite3_step(s) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(s); ++c) {
            auto* t = sqlite3_column_text(s, c);
            row += (c ? "|" : "") + std::string(t ? reinterpret_cast<const char*>(t) : "");
        }
        rows.push_back(row);
    }
    sqlite3_finalize(s);
    return rows;
}

// Writes the transfer file with the demo's script; false when python3-dbf is missing.
bool MakeTransferFile(const std::filesystem::path& out, bool withoutPrices) {
    if (std::system("/usr/bin/python3 -c 'import dbf' 2>/dev/null") != 0) {
        return false;
    }
    std::string cmd = "/usr/bin/python3 '" + (kData / "make-transfer-file.py").string() + "' '" +
                      out.string() + "'" + (withoutPrices ? " --brez-cene" : "");
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return true;
}

} // namespace

TEST(DemoData, LoadsIntoTheSchemaWithEveryTextWithinItsWidth) {
    Db db = LoadDemo();
    const std::regex varchar(R"(VARCHAR\((\d+)\))", std::regex::icase);
    int checked = 0;
    for (const std::string& table : Query(db.get(), "SELECT name FROM sqlite_master WHERE type = "
                                                    "'table'")) {
        for (const std::string& col : Query(db.get(), "SELECT name || '|' || type FROM "
                                                      "pragma_table_info('" +
                                                          table + "')")) {
            std::string name = col.substr(0, col.find('|')), type = col.substr(col.find('|') + 1);
            std::smatch m;
            if (!std::regex_match(type, m, varchar)) {
                continue;
            }
            auto longest =
                Query(db.get(), "SELECT COALESCE(MAX(LENGTH(\"" + name + "\")), 0) FROM " + table);
            EXPECT_LE(std::stoi(longest.at(0)), std::stoi(m[1])) << table << "." << name;
            ++checked;
        }
    }
    EXPECT_GT(checked, 50);

    // Every payer is a partner but the one the demo leaves out on purpose; one payer's name
    // takes the whole 40 characters, more than the working table's 30.
    EXPECT_EQ(Query(db.get(), "SELECT Naziv FROM Subjekt s WHERE COALESCE(Placnik, '') <> '' AND "
                              "NOT EXISTS (SELECT 1 FROM Subjekt p WHERE p.Naziv = s.Placnik)"),
              std::vector<std::string>{"Rozman Tjaša"});
    EXPECT_EQ(Query(db.get(), "SELECT DISTINCT Placnik FROM Subjekt WHERE LENGTH(Placnik) = 40"),
              std::vector<std::string>{"Zavod za izobraževanje in kulturo Šmarje"});
    EXPECT_EQ(Query(db.get(), "SELECT COUNT(*) FROM Subjekt WHERE Naziv LIKE '%''%'").at(0), "2");
    // Articles point at tariffs and formulas that exist; the series continues at 42.
    EXPECT_TRUE(Query(db.get(), "SELECT Ident FROM Ms WHERE TS NOT IN (SELECT TS FROM TarSt) OR "
                                "(Formula <> '' AND Formula NOT IN (SELECT Sifra FROM MsFormula))")
                    .empty());
    EXPECT_EQ(Query(db.get(), "SELECT MAX(Kljuc) FROM Promet WHERE Kljuc LIKE '26IR%'"),
              std::vector<std::string>{"26IR00041"});
    EXPECT_EQ(Query(db.get(), "SELECT COUNT(*) FROM Param").at(0), "1");
}

TEST(DemoData, TransferFileFailsExactlyTheThreeRecordsItMeansTo) {
    test::TempHome home;
    Db db = LoadDemo();
    for (bool withoutPrices : {false, true}) {
        auto path = home.Path() / (withoutPrices ? "PrenosBrezCen.dbf" : "Prenos.dbf");
        if (!MakeTransferFile(path, withoutPrices)) {
            GTEST_SKIP() << "python3-dbf is not installed (scripts/setup installs it)";
        }
        TTable t;
        t.SetTableName(path.string());
        t.Open();
        EXPECT_EQ(t.FindField("Cena") == nullptr, withoutPrices);
        std::vector<std::string> errors;
        std::set<std::string> payers;
        int good = 0;
        for (t.First(); !t.Eof(); t.Next()) {
            std::string stranka = t.FieldByName("Stranka")->AsString();
            std::string artikel = t.FieldByName("Artikel")->AsString();
            std::string strac = t.FieldByName("StRac")->AsString() + ": ";
            auto customer = Query(db.get(),
                                  "SELECT CASE WHEN COALESCE(Placnik, '') = '' THEN Naziv ELSE "
                                  "Placnik END FROM Subjekt WHERE Naziv2 = ?",
                                  {stranka});
            if (customer.empty()) {
                errors.push_back(strac + NapakaStranka(stranka));
            } else if (Query(db.get(), "SELECT 1 FROM Subjekt WHERE Naziv = ?", customer).empty()) {
                errors.push_back(strac + NapakaPlacnik(customer[0]));
            } else if (Query(db.get(), "SELECT 1 FROM Ms WHERE Ident = ?", {artikel}).empty()) {
                errors.push_back(strac + NapakaArtikel(artikel));
            } else {
                payers.insert(customer[0]);
                ++good;
            }
        }
        EXPECT_EQ(good, 28);
        EXPECT_EQ(payers.size(), 8u);
        EXPECT_EQ(errors, (std::vector<std::string>{
                              "2611-00101: Artikel (NET-2000) ne obstaja !",
                              "2611-00109: Stranka (NOVAK PETER) ne obstaja !",
                              "2611-00114: Plačnik (Rozman in partnerji d.o.o.) ne obstaja !",
                          }));
    }
}
