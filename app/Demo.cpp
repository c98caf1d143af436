#include "app/Demo.h"

#include "app/DataSourceSetup.h"
#include "app/SignOn.h"
#include "localtable/DbfWriter.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"

#include <QFile>
#include <memory>
#include <ostream>
#include <sqlite3.h>
#include <sstream>
#include <unistd.h>

namespace zen {

namespace {

// The demo's data, built into the program from scripts/demo-data.
std::string DemoResource(const char* name) {
    QFile file(QString(":/demo/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        throw EInOutError(std::string("Podatkov demo ") + name + " ni v programu.");
    }
    return file.readAll().toStdString();
}

struct TSqliteClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};

// Makes the database in a file of its own beside `target`, then puts it in its place, so
// that a connection open on the old one keeps it and nobody sees half a database.
void MakeDatabase(const std::filesystem::path& target) {
    const std::filesystem::path part =
        target.parent_path() / (target.filename().string() + "." + std::to_string(::getpid()));
    std::error_code ec;
    std::filesystem::remove(part, ec);
    auto fail = [&](const std::string& why) {
        std::filesystem::remove(part, ec);
        return EDatabaseError("Baze demo " + target.string() + " ni mogoče narediti: " + why);
    };
    {
        sqlite3* raw = nullptr;
        const int rc = sqlite3_open_v2(part.c_str(), &raw,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE |
                                           SQLITE_OPEN_EXCLUSIVE | SQLITE_OPEN_NOFOLLOW,
                                       nullptr);
        std::unique_ptr<sqlite3, TSqliteClose> db(raw);
        if (rc != SQLITE_OK) {
            throw fail(raw ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
        }
        for (const char* script : {"tevrin-schema.sql", "tevrin-demo.sql"}) {
            const std::string sql = "BEGIN;\n" + DemoResource(script) + "\nCOMMIT;";
            char* error = nullptr;
            if (sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
                const std::string why = error ? error : "neznana napaka";
                sqlite3_free(error);
                throw fail(why);
            }
        }
        if (sqlite3_close(db.release()) != SQLITE_OK) {
            throw fail("datoteke ni mogoče zapreti");
        }
    }
    std::filesystem::rename(part, target, ec);
    if (ec) {
        throw fail(ec.message());
    }
}

// The billing records: customer; article; quantity; price; invoice number, "#" a remark.
std::vector<std::vector<std::string>> DemoRecords(bool withPrices) {
    std::vector<std::vector<std::string>> records;
    std::istringstream lines(DemoResource("transfer-records.csv"));
    for (std::string line; std::getline(lines, line);) {
        line = line.substr(0, line.find('#'));
        while (!line.empty() && line.back() == ' ') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        std::vector<std::string> fields;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ';');) {
            fields.push_back(cell);
        }
        if (fields.size() != 5) {
            throw EConvertError("Zapis demo »" + line + "« nima petih polj.");
        }
        if (!withPrices) {
            fields.erase(fields.begin() + 3);
        }
        records.push_back(std::move(fields));
    }
    return records;
}

} // namespace

TDemo MakeDemo() {
    TDemo demo;
    demo.Folder = EnsureDirectory(ZendratoHome() / "demo");
    demo.Database = demo.Folder / "tevrin.db";
    demo.File = demo.Folder / "Prenos.dbf";
    demo.FileWithoutPrices = demo.Folder / "PrenosBrezCen.dbf";
    MakeDatabase(demo.Database);
    WriteDbfTable(demo.File, TransferFileColumns(true), DemoRecords(true));
    WriteDbfTable(demo.FileWithoutPrices, TransferFileColumns(false), DemoRecords(false));
    TNewDataSource source;
    source.Name = kDemoDataSource;
    source.Kind = TSourceKind::SQLite;
    source.Database = demo.Database.string();
    WriteUserDataSource(source);
    return demo;
}

std::string DemoText(const TDemo& demo) {
    return "Demo je pripravljen v " + demo.Folder.string() +
           ":\n"
           "  baza Tevrin (SQLite): " +
           demo.Database.string() + ", vir podatkov »" + kDemoDataSource +
           "«\n"
           "  prenosna datoteka s cenami: " +
           demo.File.string() +
           "\n"
           "  prenosna datoteka brez cen (cene po pravilih baze): " +
           demo.FileWithoutPrices.string() +
           "\n"
           "Trije zapisi se namenoma ne prenesejo (neznana stranka, neznan artikel, plačnik, ki ni "
           "partner).\n"
           "Prenos: zendrato --transfer --date " +
           FormatDateTime("yyyy-mm-dd", Date()) + " --event " + kDemoEvent + " --clerk " +
           kDemoClerk + " --dsn " + kDemoDataSource + " --file " + demo.File.string() +
           "\n"
           "Razveljavitev: zendrato --history --dsn " +
           kDemoDataSource + ", nato zendrato --undo ŠTEVILKA --dsn " + kDemoDataSource + "\n";
}

int RunDemo(std::ostream& out, std::ostream& err) {
    try {
        const TDemo demo = MakeDemo();
        TNewDataSource source;
        source.Name = kDemoDataSource;
        source.Kind = TSourceKind::SQLite;
        source.Database = demo.Database.string();
        if (std::string problem = TryDataSource(source, SignOn); !problem.empty()) {
            err << "zendrato: " << problem << "\n";
            return 2;
        }
        out << DemoText(demo);
        return 0;
    } catch (const std::exception& e) {
        err << "zendrato: " << e.what() << "\n";
        return 2;
    }
}

} // namespace zen
