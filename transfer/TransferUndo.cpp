#include "transfer/TransferUndo.h"

#include "dataset/ODSI.h"
#include "dbutil/ExceptionLog.h"
#include "odbc/Hdbc.h"
#include "odbc/Hstmt.h"
#include "toolkit/Field.h"
#include "toolkit/Money.h"
#include "toolkit/Text.h"
#include "transfer/InvoiceHeader.h"
#include "transfer/RunLock.h"
#include "transfer/SeriesLock.h"
#include "transfer/TransferJournal.h"

#include <cmath>
#include <set>

namespace zen {

namespace {

// A query of one parameter :KLJUC on the run's connection, run again for each key.
class TKeyQuery {
public:
    TKeyQuery(THdbc& database, const std::string& sql) {
        q_.SetHdbc(&database);
        q_.SQL().Add(sql);
    }
    TOEQuery& Open(const std::string& kljuc) {
        q_.Close();
        q_.ParamByName("KLJUC").SetAsString(kljuc);
        q_.Open();
        return q_;
    }
    // Executes a statement that returns no rows; the rows it affected.
    SQLLEN Exec(const std::string& kljuc) {
        q_.ParamByName("KLJUC").SetAsString(kljuc);
        q_.ExecSQL();
        return q_.Statement().NumRowsAffected();
    }
    void Close() { q_.Close(); }

private:
    TOEQuery q_;
};

std::string AmountText(TField* field) {
    return Currency::FromDouble(field->AsFloat()).ToString();
}

[[noreturn]] void Refuse(const std::string& kljuc, const std::string& why) {
    throw EUndoRefused("Prenosa ni mogoče razveljaviti: račun " + kljuc + " " + why +
                       ". Nič ni bilo spremenjeno.");
}

// Why an invoice may not be deleted, checked on the database as it now stands.
void CheckInvoice(TKeyQuery& header, TKeyQuery& lines, const TJournalInvoice& invoice) {
    TOEQuery& h = header.Open(invoice.Kljuc);
    if (h.Eof()) {
        Refuse(invoice.Kljuc, "ne obstaja več");
    }
    if (h.FieldByName("Knjizen")->AsString() != kKnjizenByTransfer) {
        Refuse(invoice.Kljuc, "je knjižen");
    }
    if (!invoice.Stamp) {
        Refuse(invoice.Kljuc, "je bil zapisan, preden je dnevnik hranil stanje računov, zato ni "
                              "mogoče preveriti, ali je bil spremenjen");
    }
    const TInvoiceStamp& stamp = *invoice.Stamp;
    // The change stamp as the database keeps it may differ from ours below the second.
    const bool same =
        AmountText(h.FieldByName("Vrednost")) == stamp.Vrednost &&
        AmountText(h.FieldByName("ZaPlacilo")) == stamp.ZaPlacilo &&
        std::fabs(h.FieldByName("DatumSpre")->AsDateTime() - stamp.DatumSpre) < 1.0 / 86400 &&
        lines.Open(invoice.Kljuc).FieldByName("N")->AsInteger() == stamp.Lines;
    header.Close();
    lines.Close();
    if (!same) {
        Refuse(invoice.Kljuc, "je bil po prenosu spremenjen");
    }
}

// The documents of the series from the run's first key on must be the run's own: one after
// its last, or among its invoices, would be left with a gap before it.
void CheckSeries(THdbc& database, const std::vector<TJournalInvoice>& invoices) {
    std::set<std::string> own;
    std::string first = invoices.front().Kljuc;
    for (const TJournalInvoice& i : invoices) {
        own.insert(i.Kljuc);
        first = std::min(first, i.Kljuc);
    }
    const std::string prefix = Utf8Left(first, 4);
    TOEQuery series;
    series.SetHdbc(&database);
    series.SQL().Add("SELECT Kljuc FROM Promet WHERE SUBSTR(Kljuc, 1, " +
                     std::to_string(Utf8Length(prefix)) + ") = :PREFIX AND Kljuc > :FIRST " +
                     "ORDER BY Kljuc");
    series.ParamByName("PREFIX").SetAsString(prefix);
    series.ParamByName("FIRST").SetAsString(first);
    series.Open();
    std::string last = *own.rbegin();
    for (; !series.Eof(); series.Next()) {
        const std::string key = series.FieldByName("Kljuc")->AsString();
        if (!own.count(key)) {
            throw EUndoRefused("Prenosa ni mogoče razveljaviti: v seriji " +
                               (key > last ? "za zadnjim računom prenosa (" + last + ")"
                                           : "med računi prenosa (" + first + " do " + last + ")") +
                               " že stoji dokument " + key +
                               ", zato bi v seriji ostala vrzel. Nič ni bilo spremenjeno.");
        }
    }
    series.Close();
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

void SettleJournal(TTransferJournal& journal, THdbc& database, const std::string& dataSource) {
    TKeyQuery promet(database, "SELECT Prejemnik FROM Promet WHERE Kljuc = :KLJUC");
    journal.SettlePending(dataSource, [&](const std::string& kljuc, const std::string& placnik) {
        TOEQuery& q = promet.Open(kljuc);
        // The payer as the header holds it, which may be cut to its column's size.
        const std::string prejemnik =
            q.Eof() ? std::string() : q.FieldByName("Prejemnik")->AsString();
        const bool found = !q.Eof() && (placnik.empty() ||
                                        (!prejemnik.empty() && placnik.rfind(prejemnik, 0) == 0));
        promet.Close();
        return found;
    });
    journal.SettleUndos(dataSource, [&](const std::string& kljuc) {
        const bool there = !promet.Open(kljuc).Eof();
        promet.Close();
        return there;
    });
}

TUndoResult UndoRun(THdbc& database, const TSignOnProc& signOn, int64_t runId, bool check,
                    const std::string& who, const std::filesystem::path& journalFile) {
    TRunLock lock;
    TTransferJournal journal =
        journalFile.empty() ? TTransferJournal() : TTransferJournal(journalFile);
    std::optional<TTransferRun> run = journal.FindRun(runId);
    const std::string name = "Prenos št. " + std::to_string(runId);
    if (!run) {
        throw EUndoRefused(name + " ni v dnevniku prenosov.");
    }
    if (run->Undone) {
        throw EUndoRefused(name + " je že razveljavljen (" + JournalDateTime(run->UndoneAt) + ").");
    }
    signOn(database, run->DataSource);
    SettleJournal(journal, database, run->DataSource);
    std::vector<TJournalInvoice> invoices = journal.Invoices(runId);
    if (invoices.empty()) {
        throw EUndoRefused(name + " ni zapisal nobenega računa; razveljaviti ni ničesar.");
    }
    TUndoResult result;
    result.DataSource = run->DataSource;
    database.SetAutoCommit(false);
    bool begun = false;
    try {
        // Other writers of the series wait until the undo ends, so that what is checked
        // stays true until the deletes commit.
        LockSeries(database, Utf8Left(invoices.front().Kljuc, 4));
        TKeyQuery header(database,
                         "SELECT Knjizen, Vrednost, ZaPlacilo, DatumSpre FROM Promet WHERE "
                         "Kljuc = :KLJUC");
        TKeyQuery lines(database, "SELECT COUNT(*) AS N FROM PrometPoz WHERE Kljuc = :KLJUC");
        for (const TJournalInvoice& invoice : invoices) {
            CheckInvoice(header, lines, invoice);
        }
        CheckSeries(database, invoices);
        TKeyQuery deleteLines(database, "DELETE FROM PrometPoz WHERE Kljuc = :KLJUC");
        TKeyQuery deleteHeader(database, "DELETE FROM Promet WHERE Kljuc = :KLJUC");
        for (const TJournalInvoice& invoice : invoices) {
            deleteLines.Exec(invoice.Kljuc);
            if (deleteHeader.Exec(invoice.Kljuc) != 1) {
                Refuse(invoice.Kljuc, "ni bil izbrisan natanko enkrat");
            }
            result.Keys.push_back(invoice.Kljuc);
        }
        if (check) {
            Abandon(database);
            return result;
        }
        // Written before the commit: a process that dies in between leaves the undo to be
        // settled against the database, never a run that seems to stand when it is gone.
        journal.BeginUndo(runId);
        begun = true;
        database.Commit();
    } catch (...) {
        Abandon(database);
        if (begun) {
            try {
                journal.EndUndo(runId, false);
            } catch (const std::exception& e) {
                LogException(e, &database, "EndUndo");
            }
        }
        throw;
    }
    database.SetAutoCommit(true);
    journal.EndUndo(runId, true, who);
    return result;
}

} // namespace zen
