#include "transfer/TransferUndo.h"

#include "dataset/ODSI.h"
#include "dbutil/ExceptionLog.h"
#include "dbutil/StdProc.h"
#include "odbc/Hdbc.h"
#include "toolkit/Field.h"
#include "toolkit/Text.h"
#include "transfer/FileRunLock.h"
#include "transfer/InvoiceFingerprint.h"
#include "transfer/InvoiceHeader.h"
#include "transfer/Ledger.h"
#include "transfer/RunLock.h"
#include "transfer/SeriesLock.h"
#include "transfer/TransferHistory.h"
#include "transfer/TransferJournal.h"

#include <map>
#include <set>

namespace zen {

namespace {

// Keys per DELETE: an IN list every driver takes.
constexpr size_t kKeysPerDelete = 200;

[[noreturn]] void Refuse(const std::string& kljuc, const std::string& why) {
    throw EUndoRefused("Prenosa ni mogoče razveljaviti: račun " + kljuc + " " + why +
                       ". Nič ni bilo spremenjeno.");
}

void Exec(THdbc& database, const std::string& sql) {
    TOEQuery q;
    q.SetHdbc(&database);
    q.SQL().Add(sql);
    q.ExecSQL();
}

SQLLEN ExecCount(THdbc& database, const std::string& sql) {
    TOEQuery q;
    q.SetHdbc(&database);
    q.SQL().Add(sql);
    q.ExecSQL();
    return q.Statement().NumRowsAffected();
}

// Takes the locks that keep what is checked true until the deletes commit: every other
// writer on SQLite (its write lock), and on PostgreSQL the run's ledger row (a second undo
// of the same run waits, then sees it undone) and the series (no new document after the
// run's). The invoices' own rows are locked as they are read (ReadInvoiceRows).
void LockForUndo(THdbc& database, int64_t runId, const std::string& prefix) {
    if (database.Quirks().kind == TDbmsKind::SQLite) {
        Exec(database, "UPDATE ZendratoPrenos SET Id = Id WHERE 1 = 0");
    } else if (database.Quirks().kind == TDbmsKind::PostgreSQL) {
        TOEQuery q;
        q.SetHdbc(&database);
        q.SQL().Add("SELECT Id FROM ZendratoPrenos WHERE Id = " + std::to_string(runId) +
                    " FOR UPDATE");
        q.Open();
        q.Close();
    }
    LockSeries(database, prefix);
}

// Why an invoice may not be deleted, checked on its rows as the transaction holds them.
void CheckInvoice(const TLedgerInvoice& invoice, const std::map<std::string, TInvoiceRows>& rows) {
    const auto r = rows.find(invoice.Kljuc);
    if (r == rows.end() || !r->second.Exists) {
        Refuse(invoice.Kljuc, "ne obstaja več");
    }
    if (r->second.Knjizen != kKnjizenByTransfer) {
        Refuse(invoice.Kljuc, "je knjižen");
    }
    if (invoice.Fingerprint.empty()) {
        Refuse(invoice.Kljuc, "je bil zapisan, preden so se hranili odtisi računov, in je bil "
                              "spremenjen, preden je bil prenos vpisan v dnevnik baze, zato ni "
                              "mogoče preveriti, ali ga je kdo urejal");
    }
    if (r->second.Fingerprint != invoice.Fingerprint || r->second.Lines != invoice.Lines) {
        Refuse(invoice.Kljuc, "je bil po prenosu spremenjen");
    }
}

// The documents of the series from the run's first key on must be the run's own: one after
// its last, or among its invoices, would be left with a gap before it.
void CheckSeries(THdbc& database, const std::vector<TLedgerInvoice>& invoices) {
    std::set<std::string> own;
    for (const TLedgerInvoice& i : invoices) {
        own.insert(i.Kljuc);
    }
    const std::string first = *own.begin();
    const std::string last = *own.rbegin();
    const std::string prefix = Utf8Left(first, 4);
    TOEQuery series;
    series.SetHdbc(&database);
    series.SQL().Add("SELECT Kljuc FROM Promet WHERE SUBSTR(Kljuc, 1, " +
                     std::to_string(Utf8Length(prefix)) + ") = :PREFIX AND Kljuc > :FIRST " +
                     "ORDER BY Kljuc");
    series.ParamByName("PREFIX").SetAsString(prefix);
    series.ParamByName("FIRST").SetAsString(first);
    series.Open();
    for (; !series.Eof(); series.Next()) {
        const std::string key = series.FieldByName("Kljuc")->AsString();
        if (!own.count(key)) {
            series.Close();
            throw EUndoRefused("Prenosa ni mogoče razveljaviti: v seriji " +
                               (key > last ? "za zadnjim računom prenosa (" + last + ")"
                                           : "med računi prenosa (" + first + " do " + last + ")") +
                               " že stoji dokument " + key +
                               ", zato bi v seriji ostala vrzel. Nič ni bilo spremenjeno.");
        }
    }
    series.Close();
}

// Deletes the run's lines and headers, each DELETE's count checked against what was locked
// and checked: a count that differs means the rows are not what was checked, and the whole
// undo is rolled back.
void DeleteInvoices(THdbc& database, const std::vector<TLedgerInvoice>& invoices) {
    for (size_t from = 0; from < invoices.size(); from += kKeysPerDelete) {
        const size_t to = std::min(invoices.size(), from + kKeysPerDelete);
        std::string in;
        SQLLEN lines = 0;
        for (size_t i = from; i < to; ++i) {
            in += (i > from ? ", " : "") + SqlQuoted(invoices[i].Kljuc);
            lines += invoices[i].Lines;
        }
        if (ExecCount(database, "DELETE FROM PrometPoz WHERE Kljuc IN (" + in + ")") != lines) {
            Refuse(invoices[from].Kljuc + "…", "nima več vrstic, kot jih je imel ob pregledu");
        }
        if (ExecCount(database, "DELETE FROM Promet WHERE Kljuc IN (" + in + ") AND Knjizen = " +
                                    SqlQuoted(kKnjizenByTransfer)) != SQLLEN(to - from)) {
            Refuse(invoices[from].Kljuc + "…", "ni bil izbrisan natanko enkrat");
        }
    }
}

// Ends the undo's transaction without its deletes; a rollback that fails closes the
// connection, whose end the server takes as a rollback: never a commit.
void Abandon(THdbc& database) noexcept {
    try {
        database.Rollback();
        database.SetAutoCommit(true);
        return;
    } catch (const std::exception& e) {
        LogException(e, &database, "Rollback");
    }
    try {
        database.Disconnect();
    } catch (const std::exception& e) {
        LogException(e, &database, "Disconnect");
    }
}

} // namespace

TUndoResult UndoRun(THdbc& database, const TSignOnProc& signOn, const std::string& dataSource,
                    int64_t runId, bool check, const std::string& who) {
    TRunLock lock;
    signOn(database, dataSource);
    const std::string name = "Prenos št. " + std::to_string(runId);
    if (!LedgerExists(database)) {
        throw EUndoRefused(name + " ni v dnevniku prenosov baze " + dataSource + ".");
    }
    ImportHomeJournal(database, dataSource);
    std::optional<TTransferRun> run = FindLedgerRun(database, runId);
    if (!run) {
        throw EUndoRefused(name + " ni v dnevniku prenosov baze " + dataSource + ".");
    }
    TUndoResult result;
    result.DataSource = dataSource;
    if (run->Undone) {
        result.AlreadyUndone = true;
        result.UndoneAt = run->UndoneAt;
        return result;
    }
    // No run of the same file may go on meanwhile: it would write after what is checked.
    std::unique_ptr<TFileRunLock> fileLock;
    try {
        fileLock = std::make_unique<TFileRunLock>(database, run->FileHash);
    } catch (const EFileRunLocked&) {
        throw EUndoRefused(name + " ni mogoče razveljaviti, ker se ista datoteka prav zdaj "
                                  "prenaša v to bazo. Nič ni bilo spremenjeno.");
    }
    const std::vector<TLedgerInvoice> invoices = LedgerInvoices(database, runId);
    if (invoices.empty()) {
        throw EUndoRefused(name + " ni zapisal nobenega računa; razveljaviti ni ničesar.");
    }
    database.SetAutoCommit(false);
    try {
        LockForUndo(database, runId, Utf8Left(invoices.front().Kljuc, 4));
        // Read again under the lock: an undo that committed meanwhile has marked it.
        run = FindLedgerRun(database, runId);
        if (!run || run->Undone) {
            Abandon(database);
            result.AlreadyUndone = true;
            result.UndoneAt = run ? run->UndoneAt : 0;
            return result;
        }
        std::vector<std::string> keys;
        for (const TLedgerInvoice& invoice : invoices) {
            keys.push_back(invoice.Kljuc);
        }
        const std::map<std::string, TInvoiceRows> rows = ReadInvoiceRows(database, keys, true);
        for (const TLedgerInvoice& invoice : invoices) {
            CheckInvoice(invoice, rows);
        }
        CheckSeries(database, invoices);
        DeleteInvoices(database, invoices);
        if (!MarkLedgerRunUndone(database, runId, who)) {
            throw EUndoRefused(name +
                               " je medtem razveljavil nekdo drug. Nič ni bilo spremenjeno.");
        }
        result.Keys = keys;
        if (check) {
            Abandon(database);
            return result;
        }
        database.Commit();
    } catch (...) {
        Abandon(database);
        throw;
    }
    database.SetAutoCommit(true);
    return result;
}

} // namespace zen
