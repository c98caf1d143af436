#include "transfer/TransferJournal.h"

#include "dataset/ODSI.h"
#include "dbutil/ExceptionLog.h"
#include "localtable/SqliteFile.h"
#include "odbc/Hdbc.h"
#include "toolkit/Field.h"
#include "toolkit/Home.h"
#include "toolkit/Money.h"
#include "toolkit/Text.h"
#include "transfer/InvoiceFingerprint.h"
#include "transfer/InvoiceHeader.h"
#include "transfer/Ledger.h"

#include <QCryptographicHash>
#include <QFile>
#include <charconv>
#include <cmath>

namespace zen {

using namespace lite;

namespace {

constexpr const char* kContext = "Transfer journal";

[[noreturn]] void Damaged(const std::filesystem::path& file, const std::string& why) {
    throw EJournalDamaged(
        "Dnevnik prenosov v domači mapi (" + file.string() +
        ") je poškodovan, zato ni znano, katere datoteke so bile z njim že prenesene, in ga ni "
        "mogoče prenesti v bazo Tevrin. Nič ni bilo zapisano. Preverite zgodovino prenosov "
        "(zendrato --history), dnevnik pa premaknite drugam, ko ga ne potrebujete več." +
        (why.empty() ? std::string() : "\nVzrok: " + why));
}

// Steps to a statement's next row: false at its end, EDatabaseError on a failure.
bool NextRow(sqlite3_stmt* s, sqlite3* db) {
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        throw EDatabaseError(std::string(kContext) + ": " + sqlite3_errmsg(db));
    }
    return rc == SQLITE_ROW;
}

TDateTime StampFromText(const std::string& text) {
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

} // namespace

struct TTransferJournal::Db {
    std::unique_ptr<sqlite3, DbCloser> handle;
    int version = 0;
};

std::filesystem::path TransferJournalFile() {
    return ZendratoHome() / "TransferJournal.db";
}

std::string TransferFileHash(const std::filesystem::path& file) {
    QFile in(QString::fromStdString(file.string()));
    if (!in.open(QIODevice::ReadOnly)) {
        throw EInOutError("Datoteke " + file.string() +
                          " ni mogoče brati: " + in.errorString().toStdString());
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&in)) {
        throw EInOutError("Datoteke " + file.string() +
                          " ni mogoče brati: " + in.errorString().toStdString());
    }
    return hash.result().toHex().toStdString();
}

std::string TransferContentHash(const std::vector<unsigned char>& bytes) {
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

TTransferJournal::TTransferJournal(const std::filesystem::path& file)
    : file_(file), db_(std::make_unique<Db>()) {
    if (IsDamaged(file_)) {
        Damaged(file_, {});
    }
    try {
        db_->handle.reset(OpenFile(file_, false, kContext));
        sqlite3* db = db_->handle.get();
        Statement version(db, "PRAGMA user_version", kContext);
        db_->version = NextRow(version.get(), db) ? int(sqlite3_column_int64(version.get(), 0)) : 0;
        Statement tables(db,
                         "SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                         "('Run', 'Invoice')",
                         kContext);
        if (!NextRow(tables.get(), db) || sqlite3_column_int64(tables.get(), 0) != 2 ||
            db_->version > 2) {
            Damaged(file_, "datoteka ni dnevnik prenosov, ki bi ga ta različica znala brati");
        }
        Exec(db, "CREATE TABLE IF NOT EXISTS Imported (DataSource TEXT PRIMARY KEY COLLATE NOCASE)",
             kContext);
    } catch (const EJournalDamaged&) {
        throw;
    } catch (const EDatabaseError& e) {
        Damaged(file_, e.Message());
    }
}

TTransferJournal::~TTransferJournal() = default;

std::vector<TJournalRun> TTransferJournal::Runs(const std::string& dataSource) const {
    sqlite3* db = db_->handle.get();
    // Version 1 kept neither undos nor payers.
    const std::string undo = db_->version >= 2 ? "Undo, Undone, UndoneBy" : "NULL, NULL, NULL";
    Statement s(db,
                "SELECT Id, Started, Status, Error, PoslDog, Referent, IssueDate, FileHash, "
                "DataSource, FilePath, " +
                    undo + " FROM Run WHERE DataSource = ? COLLATE NOCASE ORDER BY Id",
                kContext);
    Bind(s.get(), 1, dataSource);
    std::vector<TJournalRun> runs;
    while (NextRow(s.get(), db)) {
        TJournalRun r;
        r.Id = sqlite3_column_int64(s.get(), 0);
        // The texts in the order the statement names them, after Id.
        int column = 1;
        for (std::string TJournalRun::*text :
             {&TJournalRun::Started, &TJournalRun::Status, &TJournalRun::Error,
              &TJournalRun::PoslDog, &TJournalRun::Referent, &TJournalRun::IssueDate,
              &TJournalRun::FileHash, &TJournalRun::DataSource, &TJournalRun::FilePath,
              &TJournalRun::Undo, &TJournalRun::Undone, &TJournalRun::UndoneBy}) {
            r.*text = ColumnText(s.get(), column++);
        }
        runs.push_back(std::move(r));
    }
    return runs;
}

std::vector<TJournalInvoice> TTransferJournal::Invoices(int64_t runId) const {
    sqlite3* db = db_->handle.get();
    const std::string columns = db_->version >= 2
                                    ? "Kljuc, Placnik, State, Lines, Vrednost, ZaPlacilo, DatumSpre"
                                    : "Kljuc, NULL, 'committed', NULL, NULL, NULL, NULL";
    Statement s(db, "SELECT " + columns + " FROM Invoice WHERE RunId = ? ORDER BY Seq", kContext);
    Bind(s.get(), 1, runId);
    std::vector<TJournalInvoice> invoices;
    while (NextRow(s.get(), db)) {
        TJournalInvoice i;
        i.Kljuc = ColumnText(s.get(), 0);
        i.Placnik = ColumnText(s.get(), 1);
        i.Pending = ColumnText(s.get(), 2) == "pending";
        if (sqlite3_column_type(s.get(), 3) != SQLITE_NULL) {
            TInvoiceStamp stamp;
            stamp.Lines = static_cast<int>(sqlite3_column_int64(s.get(), 3));
            stamp.Vrednost = ColumnText(s.get(), 4);
            stamp.ZaPlacilo = ColumnText(s.get(), 5);
            stamp.DatumSpre = StampFromText(ColumnText(s.get(), 6));
            i.Stamp = stamp;
        }
        invoices.push_back(std::move(i));
    }
    return invoices;
}

bool TTransferJournal::Imported(const std::string& dataSource) const {
    sqlite3* db = db_->handle.get();
    Statement s(db, "SELECT COUNT(*) FROM Imported WHERE DataSource = ?", kContext);
    Bind(s.get(), 1, dataSource);
    return NextRow(s.get(), db) && sqlite3_column_int64(s.get(), 0) > 0;
}

void TTransferJournal::MarkImported(const std::string& dataSource) {
    sqlite3* db = db_->handle.get();
    Statement s(db, "INSERT OR IGNORE INTO Imported (DataSource) VALUES (?)", kContext);
    Bind(s.get(), 1, dataSource);
    Step(s.get(), db, kContext);
}

bool TTransferJournal::AllImported() const {
    sqlite3* db = db_->handle.get();
    Statement s(db,
                "SELECT COUNT(*) FROM (SELECT DISTINCT DataSource COLLATE NOCASE AS d FROM Run) "
                "WHERE d NOT IN (SELECT DataSource FROM Imported)",
                kContext);
    return NextRow(s.get(), db) && sqlite3_column_int64(s.get(), 0) == 0;
}

namespace {

// What the database holds of an invoice a journal names, for the import to decide.
struct TFound {
    bool exists = false;
    bool asWritten = false; // still as the journal's stamp says
};

// The invoice as the database holds it against the journal's stamp: its totals, change
// stamp and line count, which were all the journal kept.
TFound FindAsWritten(THdbc& database, const TJournalInvoice& invoice) {
    TOEQuery h;
    h.SetHdbc(&database);
    h.SQL().Add("SELECT Prejemnik, Vrednost, ZaPlacilo, DatumSpre, (SELECT COUNT(*) FROM "
                "PrometPoz l WHERE l.Kljuc = p.Kljuc) AS N FROM Promet p WHERE p.Kljuc = :KLJUC");
    h.ParamByName("KLJUC").SetAsString(invoice.Kljuc);
    h.Open();
    TFound found;
    found.exists = !h.Eof();
    if (found.exists) {
        // The payer as the header holds it, which may be cut to its column's size.
        const std::string prejemnik = h.FieldByName("Prejemnik")->AsString();
        const bool payer = invoice.Placnik.empty() ||
                           (!prejemnik.empty() && invoice.Placnik.rfind(prejemnik, 0) == 0);
        auto amount = [&](const char* f) {
            return Currency::FromDouble(h.FieldByName(f)->AsFloat()).ToString();
        };
        found.asWritten = payer && invoice.Stamp && amount("Vrednost") == invoice.Stamp->Vrednost &&
                          amount("ZaPlacilo") == invoice.Stamp->ZaPlacilo &&
                          std::fabs(h.FieldByName("DatumSpre")->AsDateTime() -
                                    invoice.Stamp->DatumSpre) < 1.0 / 86400 &&
                          h.FieldByName("N")->AsInteger() == invoice.Stamp->Lines;
    }
    h.Close();
    return found;
}

std::string LedgerState(const TJournalRun& run) {
    return run.Status == "completed" ? "koncan" : "prekinjen";
}

} // namespace

int ImportHomeJournal(THdbc& database, const std::string& dataSource,
                      const std::filesystem::path& givenFile) {
    const std::filesystem::path file = givenFile.empty() ? TransferJournalFile() : givenFile;
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) {
        return 0;
    }
    int imported = 0;
    {
        TTransferJournal journal(file);
        if (journal.Imported(dataSource)) {
            return 0;
        }
        const std::string origin = "dnevnik " + std::filesystem::absolute(file).string() + " #";
        database.SetAutoCommit(false);
        try {
            for (const TJournalRun& run : journal.Runs(dataSource)) {
                TOEQuery seen;
                seen.SetHdbc(&database);
                seen.SQL().Add("SELECT COUNT(*) AS N FROM ZendratoPrenos WHERE Izvor = :IZVOR");
                seen.ParamByName("IZVOR").SetAsString(origin + std::to_string(run.Id));
                seen.Open();
                const bool done = seen.FieldByName("N")->AsInteger() > 0;
                seen.Close();
                if (done) {
                    continue;
                }
                std::vector<TLedgerInvoice> invoices;
                for (const TJournalInvoice& i : journal.Invoices(run.Id)) {
                    const TFound found = FindAsWritten(database, i);
                    // A pending key counts only when its invoice is there as the run wrote
                    // it: another program's document with the same key is not ours.
                    if (i.Pending && !found.asWritten) {
                        continue;
                    }
                    TLedgerInvoice li{i.Kljuc, i.Placnik, i.Stamp ? i.Stamp->Lines : 0, {}};
                    // The fingerprint of an invoice still as written; none for one changed
                    // since (or never stamped), which an undo then refuses.
                    if (found.asWritten) {
                        li.Fingerprint = ReadInvoiceRows(database, {i.Kljuc})[i.Kljuc].Fingerprint;
                    }
                    invoices.push_back(std::move(li));
                }
                TTransferRunInputs in;
                in.FileHash = run.FileHash;
                in.DataSource = run.DataSource;
                in.PoslDog = run.PoslDog;
                in.Referent = run.Referent;
                in.FilePath = run.FilePath;
                // An undo whose end the journal did not know is done when its first invoice
                // is gone.
                bool undone = run.Undo == "undone";
                if (run.Undo == "undoing") {
                    undone =
                        invoices.empty() ||
                        !FindAsWritten(database, {invoices.front().Kljuc, {}, false, {}}).exists;
                }
                ImportLedgerRun(
                    database, in, run.Started, run.IssueDate, LedgerState(run), run.Error,
                    undone ? (run.Undone.empty() ? run.Started : run.Undone) : std::string(),
                    undone ? run.UndoneBy : std::string(), origin + std::to_string(run.Id),
                    invoices);
                ++imported;
            }
            database.Commit();
        } catch (...) {
            try {
                database.Rollback();
                database.SetAutoCommit(true);
            } catch (const std::exception& e) {
                LogException(e, &database, "ImportHomeJournal");
            }
            throw;
        }
        database.SetAutoCommit(true);
        journal.MarkImported(dataSource);
        if (!journal.AllImported()) {
            return imported;
        }
    }
    // Every data source it named is in a ledger now: set aside, not deleted.
    std::filesystem::path aside = file;
    aside += ".uvozen";
    std::filesystem::rename(file, aside, ec);
    if (ec) {
        LogException(EInOutError("Dnevnika " + file.string() + " ni mogoče preimenovati v " +
                                 aside.string() + ": " + ec.message()),
                     &database, "ImportHomeJournal");
    }
    return imported;
}

std::string ImportJournalBeforeListing(THdbc& database, const std::string& dataSource) {
    if (!LedgerExists(database) && !std::filesystem::exists(TransferJournalFile())) {
        return {};
    }
    try {
        EnsureLedgerTables(database);
        ImportHomeJournal(database, dataSource);
    } catch (const EJournalDamaged& e) {
        return e.what();
    }
    return {};
}

} // namespace zen
