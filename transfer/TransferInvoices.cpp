// The invoice phase of a transfer run: one invoice per payer of the working table, its
// lines and then its header, each invoice in a transaction of its own.

#include "transfer/TransferRun.h"

#include "dataset/ODSI.h"
#include "dbutil/ExceptionLog.h"
#include "dbutil/StdProc.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "transfer/InvoiceHeader.h"
#include "transfer/InvoiceLines.h"
#include "transfer/Numbering.h"
#include "transfer/RunLookup.h"
#include "transfer/TransferJournal.h"

namespace zen {

namespace {

constexpr int kInvoicesBetweenReopening = 50;

std::string Payer(TDataSet& work) {
    return work.FieldByName("Placnik")->AsString();
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
    reopenAfterTransaction_ =
        db.InfoInteger(opt_.Check ? SQL_CURSOR_ROLLBACK_BEHAVIOR : SQL_CURSOR_COMMIT_BEHAVIOR) !=
        SQL_CB_PRESERVE;
    db.SetAutoCommit(false);
    TInvoiceSummary invoice;
    try {
        while (!work.Eof()) {
            invoice = {};
            WriteInvoice(invoice);
            EndInvoice(invoice);
            ui_.InvoiceWritten(invoice);
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

// "Prenos je prekinjen pri računu ...": the invoice the run stopped at and whether it is in
// the database, what the run left there, and the failure's own text as the cause.
std::string TTransfer::InvoiceFailure(const TInvoiceSummary& invoice,
                                      const std::string& cause) const {
    std::string text = "Prenos je prekinjen pri računu " + invoice.Kljuc;
    if (!invoice.Placnik.empty()) {
        text += " (" + invoice.Placnik + ")";
    }
    if (opt_.Check) {
        text += ". Preizkus: v bazi Tevrin ni nič zapisano.";
    } else if (invoice.Committed) {
        // Committed, but the journal could not take it: a rerun will not be warned of it.
        text += ", ki je zapisan, v dnevnik prenosov pa ni vpisan. Zapisanih računov: " +
                std::to_string(invoices_) + ", zadnji " + invoice.Kljuc + ".";
    } else if (invoices_ == 0) {
        text += ", ki ni zapisan. Noben račun ni zapisan.";
    } else {
        text +=
            ", ki ni zapisan. Računi pred njim ostanejo zapisani: " + std::to_string(invoices_) +
            ", zadnji " + DocumentKey(prefix_, nextNumber_ - 1) + ".";
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

// The invoice of the working table's current payer: the header appended and filled, the
// payer's rows written as lines (each posted at once), the totals set and the header
// posted. Leaves the working table on the next payer's first row. The key and the payer
// are in `invoice` before anything is written, for the message of a failure.
void TTransfer::WriteInvoice(TInvoiceSummary& invoice) {
    TTable& work = *c_.tbRacPoz;
    TOEQuery& header = *c_.tbPromet;
    const std::string payer = Payer(work);
    invoice.Kljuc = DocumentKey(prefix_, nextNumber_);
    invoice.Placnik = payer;
    // Not tested: a payer gone since the check phase leaves the payer's columns empty. A
    // lookup that fails by an error ends the run all the same.
    RunLookup(*c_.tbSubj, "NAZIV", payer);

    header.Append();
    FillInvoiceHeader(header, {invoice.Kljuc, issueDate_, opt_.PoslDog, opt_.Referent},
                      {*c_.tbLookPoslDog, *c_.tbParameter, *c_.tbSubj, work});
    TInvoiceTotals totals;
    TLineInputs line{0, opt_.Referent, filePrices_};
    // Byte for byte: names that differ only in case or accents are other payers.
    while (!work.Eof() && Payer(work) == payer) {
        AppendInvoiceLine(c_, line, totals);
        work.Next();
        ++line.Poz;
    }
    SetInvoiceTotals(header, totals);
    header.Post();
    invoice.Lines = line.Poz;
    invoice.Vrednost = totals.Vrednost;
    invoice.ZaPlacilo = totals.ZaPlacilo;
}

// Commits the invoice and records it in the journal, or in a dry run rolls it back.
void TTransfer::EndInvoice(TInvoiceSummary& invoice) {
    THdbc& db = *c_.Database;
    if (opt_.Check) {
        db.Rollback();
    } else {
        db.Commit();
        invoice.Committed = true;
    }
    // Counted as soon as it is in the database, whatever fails after.
    ++invoices_;
    ++nextNumber_;
    if (invoice.Committed) {
        journal_->RecordInvoice(invoice.Kljuc);
    }
    // What the invoices posted is not kept for the rest of the run: every so many invoices
    // the datasets that keep it start afresh (each time costs a query, hence not each
    // invoice), and after each where the transaction's end closed their cursors.
    if (reopenAfterTransaction_ || invoices_ % kInvoicesBetweenReopening == 0) {
        db.SetAutoCommit(true);
        noRows_.Reopen();
        db.SetAutoCommit(false);
    }
    if (reopenAfterTransaction_) {
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

// After a failure inside an invoice or the check phase: unposted rows are dropped,
// everything posted is rolled back, and the connection commits on its own again. The failure that
// brought us here is what the operator must see, so faults of this clean-up go to the log.
void TTransfer::AbandonTransaction() noexcept {
    auto quietly = [this](const char* operation, auto&& step) {
        try {
            step();
        } catch (const std::exception& e) {
            LogException(e, c_.Database, operation);
        } catch (...) {
        }
    };
    for (TDataSet* ds :
         {static_cast<TDataSet*>(c_.tbPrometPoz), static_cast<TDataSet*>(c_.tbPromet)}) {
        if (ds->State() == dsInsert || ds->State() == dsEdit) {
            quietly("Cancel", [ds] { ds->Cancel(); });
        }
    }
    THdbc& db = *c_.Database;
    if (db.Connected()) {
        quietly("Rollback", [&db] { db.Rollback(); });
    }
    quietly("AutoCommit", [&db] { db.SetAutoCommit(true); });
}

} // namespace zen
