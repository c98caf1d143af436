// The invoice phase of a transfer run: one invoice per payer of the working table, its
// lines and then its header, each invoice in a transaction of its own.

#include "transfer/TransferRun.h"

#include "dataset/ODSI.h"
#include "dbutil/CaughtFault.h"
#include "dbutil/ExceptionLog.h"
#include "dbutil/StdProc.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "odbc/OCLError.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "transfer/InvoiceHeader.h"
#include "transfer/InvoiceLines.h"
#include "transfer/InvoiceSummary.h"
#include "transfer/Numbering.h"
#include "transfer/PrenosNapaka.h"
#include "transfer/RunLookup.h"
#include "transfer/SeriesLock.h"
#include "transfer/TransferJournal.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zen {

namespace {

constexpr int kInvoicesBetweenReopening = 50;
constexpr const char* kFormulaOperation = "IzrCenePozFormula";
// An invoice that met another writer is written again with the series as it then is, up
// to this many times (about ten seconds of waiting in all); a writer that keeps it out
// longer is no race, and the run ends with its error.
constexpr int kAttempts = 12;

std::string Payer(TDataSet& work) {
    return work.FieldByName("Placnik")->AsString();
}

// An invoice that cannot be written as the records ask, though the database is sound: it
// is rolled back, logged in the error table, and the run goes on with the next payer.
struct TInvoiceRefused {
    std::string reason;
};

[[noreturn]] void RefusePricing(const TInvoiceSummary& invoice, const std::string& ident,
                                const TCaughtFault& fault) {
    throw TInvoiceRefused{"Račun za plačnika " + invoice.Placnik + " ni zapisan: cene artikla " +
                          ident + " ni mogoče izračunati (" + fault.ClassName() + ": " +
                          fault.Message() + ")"};
}

// Whether an invoice that failed is to be written again from its start: another writer
// took its key first (a unique key violated; a check that refuses a row is no race), or held the
// database when the invoice needed it (SQLite's lock, refused at once where waiting could deadlock;
// PostgreSQL's serialization failure or deadlock). The transaction is rolled back before the retry,
// which lets the other writer finish.
bool Retryable(const Exception& e) {
    const auto* odbc = dynamic_cast<const EODBC*>(&e);
    if (!odbc) {
        return false;
    }
    return std::any_of(odbc->Records().begin(), odbc->Records().end(), [](const TErrorRec& r) {
        return r.sqlState == "23505" || r.sqlState == "40001" || r.sqlState == "40P01" ||
               r.message.find("UNIQUE constraint failed") != std::string::npos ||
               r.message.find("database is locked") != std::string::npos ||
               r.message.find("database table is locked") != std::string::npos;
    });
}

} // namespace

void TTransfer::InvoicePhase() {
    // All numbers must fit the series before the first invoice is written.
    CheckDocumentNumbers(prefix_, nextNumber_, CountPayers());
    TTable& work = *c_.tbRacPoz;
    work.First();
    if (work.Eof()) {
        return;
    }
    THdbc& db = *c_.Database;
    // Where ending a transaction closes the open cursors, the datasets that stay open
    // across invoices are opened again after each one.
    reopenAfterCommit_ = !db.Quirks().cursorsSurviveCommit;
    reopenAfterRollback_ = !db.Quirks().cursorsSurviveRollback;
    db.SetAutoCommit(false);
    TInvoiceSummary invoice;
    try {
        while (!work.Eof()) {
            invoice = {};
            // A resumed run's payers whose invoices the stopped run committed.
            if (const std::string payer = Payer(work); writtenPayers_.count(payer)) {
                SkipPayer(payer);
                continue;
            }
            if (WriteInvoiceOrLog(invoice)) {
                EndInvoice(invoice);
            }
        }
    } catch (Exception& e) {
        AbandonTransaction();
        // The driver's text alone does not say what the database now holds.
        e.SetMessage(InvoiceFailure(invoice, e.Message()));
        throw;
    } catch (...) {
        AbandonTransaction();
        throw;
    }
    db.SetAutoCommit(true);
}

// Writes the current payer's invoice, uncommitted, and answers true; or, for an invoice
// that cannot be priced or whose payer is gone, rolls it back, logs it, leaves the working
// table on the next payer and answers false. A key that another writer took meanwhile is
// retried with the next free number.
bool TTransfer::WriteInvoiceOrLog(TInvoiceSummary& invoice) {
    TTable& work = *c_.tbRacPoz;
    TBookmark start = work.GetBookmark();
    struct TFree {
        TTable& t;
        TBookmark& b;
        ~TFree() { t.FreeBookmark(b); }
    } freeStart{work, start};
    const std::string stRac = work.FieldByName("StRac")->AsString();
    for (int attempt = 1;; ++attempt) {
        invoice = {};
        try {
            WriteInvoice(invoice);
            return true;
        } catch (const TInvoiceRefused& refused) {
            RollbackInvoice();
            FillNapakaRow(*c_.tbNapaka, stRac, refused.reason);
            work.GotoBookmark(start);
            SkipPayer(invoice.Placnik);
            return false;
        } catch (const Exception& e) {
            if (attempt == kAttempts || !Retryable(e)) {
                throw;
            }
            RollbackInvoice();
            // A little longer each time, so that a writer holding the database gets done.
            std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt * attempt));
            work.GotoBookmark(start);
        }
    }
}

// Leaves the working table on the first row of the next payer.
void TTransfer::SkipPayer(const std::string& payer) {
    TTable& work = *c_.tbRacPoz;
    while (!work.Eof() && Payer(work) == payer) {
        work.Next();
    }
}

// "Prenos je prekinjen pri računu ...": the invoice the run stopped at and whether it is in
// the database, what the run left there, and the failure's own text as the cause.
std::string TTransfer::InvoiceFailure(const TInvoiceSummary& invoice,
                                      const std::string& cause) const {
    std::string text = invoice.Committed ? "Prenos je prekinjen po računu " + invoice.Kljuc
                                         : "Prenos je prekinjen pri računu " + invoice.Kljuc;
    if (!invoice.Placnik.empty()) {
        text += " (" + invoice.Placnik + ")";
    }
    if (opt_.Check) {
        text += ". Preizkus: v bazi Tevrin ni nič zapisano.";
    } else if (invoice.Committed) {
        // Committed and in the journal: only what came after it failed.
        text += ", ki je zapisan in vpisan v dnevnik prenosov. Zapisanih računov: " +
                std::to_string(invoices_) + ", zadnji " + invoice.Kljuc + ".";
    } else if (invoices_ == 0) {
        text += ", ki ni zapisan. Noben račun ni zapisan.";
    } else {
        text +=
            ", ki ni zapisan. Računi pred njim ostanejo zapisani: " + std::to_string(invoices_) +
            ", zadnji " + lastKey_ + ".";
    }
    return text + "\nVzrok: " + cause;
}

int TTransfer::CountPayers() {
    TTable& work = *c_.tbRacPoz;
    int payers = 0;
    std::string last;
    for (work.First(); !work.Eof(); work.Next()) {
        std::string payer = Payer(work);
        if (payers == 0 || payer != last) {
            ++payers;
            last = std::move(payer);
        }
    }
    return payers;
}

// The number of the invoice about to be written, inside its transaction: the series is
// locked against other writers first and then read as it now stands, so that a document
// another program added during the run shifts our numbers instead of colliding with them.
// A dry run rolls its invoices back, so it counts on from its own last number.
int TTransfer::TakeDocumentNumber() {
    LockSeries(*c_.Database, prefix_);
    return std::max(NovaStevGlavC(*c_.Database, prefix_), lastNumber_ + 1);
}

// The invoice of the working table's current payer: the header appended and filled, the
// payer's rows written as lines (each posted at once), the totals set and the header
// posted. Leaves the working table on the next payer's first row. The key and the payer
// are in `invoice` before anything is written, for the message of a failure.
void TTransfer::WriteInvoice(TInvoiceSummary& invoice) {
    TTable& work = *c_.tbRacPoz;
    TOEQuery& header = *c_.tbPromet;
    const std::string payer = Payer(work);
    invoice.Placnik = payer;
    // The number it would have by the run's own count, for a failure before the series
    // has been read.
    invoice.Kljuc = DocumentKey(prefix_, std::max(nextNumber_, lastNumber_ + 1));
    // A payer gone since the check phase (renamed, deleted) would give an invoice without
    // its terms: the invoice is refused. A lookup that fails by an error ends the run.
    // Looked up before the series is locked: on SQLite this also ends the one result left
    // half read since the run began, whose read lock would keep other writers waiting.
    if (!RunLookup(*c_.tbSubj, "NAZIV", payer)) {
        throw TInvoiceRefused{NapakaPlacnik(payer)};
    }
    const int number = TakeDocumentNumber();
    invoice.Kljuc = DocumentKey(prefix_, number);
    invoice.Number = number;

    // The pricing and the line amounts keep their faults to themselves and answer 0; an
    // invoice must not be booked at such a price, so each line is watched. A price
    // formula that fails (a division by zero in it) is priced 0 by design, and the
    // pricing then goes on to its fall-back price: that is no failure of the line.
    std::optional<TFaultWatch> watch(std::in_place, kFormulaOperation);
    header.Append();
    FillInvoiceHeader(header, {invoice.Kljuc, issueDate_, opt_.PoslDog, opt_.Referent},
                      {*c_.tbLookPoslDog, *c_.tbParameter, *c_.tbSubj, work});
    if (*watch) {
        throw TInvoiceRefused{"Račun za plačnika " + payer + " ni zapisan (" +
                              watch->Fault().ClassName() + ": " + watch->Fault().Message() + ")"};
    }
    TInvoiceTotals totals;
    TLineInputs line{0, opt_.Referent, filePrices_};
    // Byte for byte: names that differ only in case or accents are other payers.
    while (!work.Eof() && Payer(work) == payer) {
        watch.emplace(kFormulaOperation);
        const TInvoiceTotals before = totals;
        AppendInvoiceLine(c_, line, totals);
        if (*watch) {
            RefusePricing(invoice, work.FieldByName("Ident")->AsString(), watch->Fault());
        }
        invoice.Items.push_back(InvoiceLineSummary(*c_.tbPrometPoz, work, before, totals));
        work.Next();
        ++line.Poz;
    }
    watch.reset();
    SetInvoiceTotals(header, totals);
    header.Post();
    invoice.DatumSpre = header.FieldByName("DatumSpre")->AsDateTime();
    invoice.Lines = line.Poz;
    invoice.Vrednost = totals.Vrednost;
    invoice.Davek = Currency::FromDouble(header.FieldByName("Davek")->AsFloat());
    invoice.ZaPlacilo = totals.ZaPlacilo;
}

// Commits the invoice, its key in the journal first, or in a dry run rolls it back; then
// tells it and starts the datasets afresh where needed.
void TTransfer::EndInvoice(TInvoiceSummary& invoice) {
    THdbc& db = *c_.Database;
    if (opt_.Check) {
        db.Rollback();
    } else {
        // Pending before the commit: no moment exists in which the invoice is in the
        // database and not in the journal. A journal that cannot take it fails the
        // invoice before it is committed.
        journal_->RecordPending(invoice.Kljuc, invoice.Placnik,
                                {invoice.Lines, invoice.Vrednost.ToString(),
                                 invoice.ZaPlacilo.ToString(), invoice.DatumSpre});
        db.Commit();
        invoice.Committed = true;
        journal_->InvoiceCommitted();
        lastKey_ = invoice.Kljuc;
    }
    // Counted as soon as it is in the database, whatever fails after.
    ++invoices_;
    lastNumber_ = invoice.Number;
    ui_.InvoiceWritten(invoice);
    // What the invoices posted is not kept for the rest of the run: every so many invoices
    // the datasets that keep it start afresh (each time costs a query, hence not each
    // invoice).
    ReopenDataSets(opt_.Check ? reopenAfterRollback_ : reopenAfterCommit_,
                   invoices_ % kInvoicesBetweenReopening == 0);
}

// After a transaction's end: where it closed the open cursors, every dataset that stays
// open across invoices is opened again; with `fresh` (or then) the datasets that the
// invoices append to start over no rows.
void TTransfer::ReopenDataSets(bool cursorsClosed, bool fresh) {
    THdbc& db = *c_.Database;
    if (cursorsClosed || fresh) {
        db.SetAutoCommit(true);
        noRows_.Reopen();
        db.SetAutoCommit(false);
    }
    if (cursorsClosed) {
        // A lookup's dataset keeps its narrowed query, so reopening puts it back on the
        // row it stood on.
        for (TOEQuery* ds :
             {c_.tbSubj, c_.tbLookMS, c_.tbLookTarSt, c_.tbLookSubjCenik, c_.tbLookSubj,
              c_.tbLookSubj2, c_.tbLookPoslDog, c_.tbParameter, c_.tbLookMsForm}) {
            if (ds->Active()) {
                ds->Close();
                ds->Open();
            }
        }
    }
}

// Drops an invoice that is not to be written and stays in the run: unposted rows are
// cancelled and the transaction rolled back. A rollback that fails raises, and the run ends
// through AbandonTransaction.
void TTransfer::RollbackInvoice() {
    for (TDataSet* ds :
         {static_cast<TDataSet*>(c_.tbPrometPoz), static_cast<TDataSet*>(c_.tbPromet)}) {
        if (ds->State() == dsInsert || ds->State() == dsEdit) {
            ds->Cancel();
        }
    }
    c_.Database->Rollback();
    ReopenDataSets(reopenAfterRollback_, false);
}

// After a failure that ends the run, inside an invoice or the check phase: unposted rows
// are dropped and everything posted is rolled back. A rollback that fails while the
// connection stands would leave the half invoice in an open transaction, which switching
// autocommit back on commits (ODBC commits an open transaction then): the connection is
// closed instead, so that the server rolls it back, and the next run signs on anew. The
// failure that brought us here is what the operator must see, so faults of this clean-up
// go to the log.
void TTransfer::AbandonTransaction() noexcept {
    auto quietly = [this](const char* operation, auto&& step) {
        try {
            step();
            return true;
        } catch (const std::exception& e) {
            LogException(e, c_.Database, operation);
        } catch (...) {
        }
        return false;
    };
    for (TDataSet* ds :
         {static_cast<TDataSet*>(c_.tbPrometPoz), static_cast<TDataSet*>(c_.tbPromet)}) {
        if (ds->State() == dsInsert || ds->State() == dsEdit) {
            quietly("Cancel", [ds] { ds->Cancel(); });
        }
    }
    THdbc& db = *c_.Database;
    if (!db.Connected()) {
        return;
    }
    if (quietly("Rollback", [&db] { db.Rollback(); })) {
        quietly("AutoCommit", [&db] { db.SetAutoCommit(true); });
    } else {
        quietly("Disconnect", [&db] { db.Disconnect(); });
    }
}

} // namespace zen
