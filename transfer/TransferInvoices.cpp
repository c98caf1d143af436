// The invoice phase of a transfer run: one invoice per payer of the working table, its
// lines and then its header. The invoices are committed in groups, one transaction and one
// flush of the database's disk for many invoices, and with them their rows of the ledger,
// so that an invoice is in the database exactly when the ledger names it. Each invoice is
// made whole in memory, priced and checked, before it writes a row, and is written behind a
// savepoint of its own: one that cannot be written, or meets another writer, is rolled
// back alone and its group's others stay.

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
#include "transfer/InvoiceFingerprint.h"
#include "transfer/InvoiceHeader.h"
#include "transfer/InvoiceLines.h"
#include "transfer/InvoiceSummary.h"
#include "transfer/LeanLookups.h"
#include "transfer/Ledger.h"
#include "transfer/Numbering.h"
#include "transfer/PrenosNapaka.h"
#include "transfer/RunLookup.h"
#include "transfer/SeriesLock.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace zen {

namespace {

// A group is committed when it holds this many invoices or lines, whichever comes first:
// a commit costs the database a flush to its disk, which on a server was most of an
// invoice's time, while a longer group keeps the series locked against the other writers
// longer (about a second at most) and leaves more for a resume to write again after a kill.
// Counts rather than a clock, so that a run groups its invoices alike on every machine.
constexpr size_t kInvoicesPerGroup = 50;
constexpr int kLinesPerGroup = 2000;
constexpr const char* kFormulaOperation = "IzrCenePozFormula";
// An invoice that met another writer is written again with the series as it then is, up
// to this many times (about ten seconds of waiting in all); a writer that keeps it out
// longer is no race, and the run ends with its error.
constexpr int kAttempts = 12;
// Every invoice's savepoint has this name; a savepoint of the same name set again hides the
// one before, so none needs releasing.
constexpr const char* kSavepoint = "zendrato_racun";

std::string Payer(TDataSet& work) {
    return work.FieldByName("Placnik")->AsString();
}

// An invoice that cannot be written as the records ask, though the database is sound: it
// has written nothing, it is logged in the error table, and the run goes on with the next
// payer.
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
// PostgreSQL's serialization failure or deadlock). The transaction ends before the retry, which
// lets the other writer finish.
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
    CheckDocumentNumbers(run_.Prefix, run_.NextNumber, CountPayers());
    TTable& work = *c_.tbRacPoz;
    work.First();
    if (work.Eof()) {
        return;
    }
    THdbc& db = *c_.Database;
    // Where ending a transaction closes the open cursors, the datasets that stay open
    // across invoices are opened again after each group.
    run_.ReopenAfterCommit = !db.Quirks().cursorsSurviveCommit;
    run_.ReopenAfterRollback = !db.Quirks().cursorsSurviveRollback;
    db.SetAutoCommit(false);
    TInvoiceSummary invoice;
    try {
        while (!work.Eof()) {
            invoice = {};
            // A resumed run's payers whose invoices the stopped run committed.
            if (const std::string payer = Payer(work); run_.WrittenPayers.count(payer)) {
                SkipPayer(payer);
                continue;
            }
            if (run_.Group.empty() && run_.GroupRefused.empty()) {
                StartGroup();
            }
            if (WriteInvoiceOrLog(invoice)) {
                run_.Group.push_back(invoice);
            }
            if (GroupDue()) {
                EndGroup(invoice);
            }
        }
        EndGroup(invoice);
    } catch (Exception& e) {
        AbandonTransaction();
        LogRefused();
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
// that cannot be priced or whose payer is gone, keeps it for the error table, leaves the
// working table on the next payer and answers false. Whatever fails, the invoice's
// savepoint then tells what the transaction still holds: when it answers, the invoice alone
// is rolled back and the group's invoices before it stay; when it does not (the driver
// rolled the whole transaction back), the group is gone and is written again from its
// first payer. An invoice that met another writer is written again with the series as it
// then is.
bool TTransfer::WriteInvoiceOrLog(TInvoiceSummary& invoice) {
    TTable& work = *c_.tbRacPoz;
    const TBookmark start = work.GetBookmark();
    const std::string stRac = work.FieldByName("StRac")->AsString();
    for (int attempt = 1;; ++attempt) {
        invoice = {};
        run_.InvoiceSavepoint = false;
        try {
            WriteInvoice(invoice);
            return true;
        } catch (const TInvoiceRefused& refused) {
            CancelUnposted();
            if (!RollbackInvoice()) {
                throw EDatabaseError("Transakcija skupine računov se je med zavrnitvijo računa " +
                                     invoice.Kljuc + " nepričakovano končala.");
            }
            run_.GroupRefused.emplace_back(stRac, refused.reason);
            work.GotoBookmark(start);
            run_.GroupRefusedRecords += SkipPayer(invoice.Placnik);
            return false;
        } catch (const Exception& e) {
            CancelUnposted();
            const bool retry = attempt < kAttempts && Retryable(e);
            if (RollbackInvoice()) {
                if (!retry) {
                    throw;
                }
                // Still in the group: the series is read again inside it, past the key the
                // other writer took.
                run_.SeriesNext = 0;
                work.GotoBookmark(start);
                continue;
            }
            if (!retry || ++run_.GroupRedos >= kAttempts) {
                throw;
            }
            RedoGroup();
            // A little longer each time, so that a writer holding the database gets done.
            std::this_thread::sleep_for(std::chrono::milliseconds(20 * attempt * attempt));
            return false;
        }
    }
}

// Sets the invoice's savepoint; from here a failure rolls back to it.
void TTransfer::SetInvoiceSavepoint() {
    ExecStatement(std::string("SAVEPOINT ") + kSavepoint);
    run_.InvoiceSavepoint = true;
}

void TTransfer::ExecStatement(const std::string& sql) {
    TOEQuery q;
    q.SetHdbc(c_.Database);
    q.SQL().Add(sql);
    q.ExecSQL();
}

// Rolls the invoice back to its savepoint and answers true, or false when the savepoint is
// gone with the whole transaction. While the group holds no invoice there is nothing to
// lose: its transaction ends, which also clears a failure that spoiled it.
bool TTransfer::RollbackInvoice() {
    if (run_.Group.empty()) {
        try {
            c_.Database->Rollback();
        } catch (const Exception& e) {
            // The failure that brought us here is the one to tell.
            LogException(e, c_.Database, "RollbackInvoice");
            return false;
        }
        run_.GroupLocked = false;
        run_.SeriesNext = 0;
        run_.InvoiceSavepoint = false;
        ReopenDataSets(run_.ReopenAfterRollback);
        return true;
    }
    // A failure before the savepoint wrote nothing of the invoice, but may still have ended
    // the transaction: a savepoint set then tells.
    try {
        ExecStatement(run_.InvoiceSavepoint ? std::string("ROLLBACK TO SAVEPOINT ") + kSavepoint
                                            : std::string("SAVEPOINT ") + kSavepoint);
    } catch (const Exception& e) {
        LogException(e, c_.Database, "RollbackInvoice");
        return false;
    }
    run_.InvoiceSavepoint = false;
    return true;
}

// The group's transaction is gone (the driver rolled it back after a failure): ends it on
// our side too and goes back to the group's first payer, so that its invoices are written
// again from the number the group began with, past any that another writer took meanwhile.
void TTransfer::RedoGroup() {
    c_.Database->Rollback();
    run_.Group.clear();
    run_.GroupRefused.clear();
    run_.GroupRefusedRecords = 0;
    run_.GroupLocked = false;
    run_.SeriesNext = 0;
    run_.LastNumber = run_.GroupStartLastNumber;
    run_.RedoFrom = run_.GroupFirstNumber;
    c_.tbRacPoz->GotoBookmark(run_.GroupStart);
    ReopenDataSets(run_.ReopenAfterRollback);
}

// Marks where a group begins: its first payer, and the numbers as they stand before it.
void TTransfer::StartGroup() {
    run_.GroupStart = c_.tbRacPoz->GetBookmark();
    run_.GroupStartLastNumber = run_.LastNumber;
    run_.GroupFirstNumber = 0;
}

// The refused invoices of the group into the error table, in the order they were met.
void TTransfer::LogRefused() {
    for (const auto& [stRac, reason] : run_.GroupRefused) {
        FillNapakaRow(*c_.tbNapaka, stRac, reason);
    }
    run_.GroupRefused.clear();
}

// Leaves the working table on the first row of the next payer; answers how many rows it
// passed.
int64_t TTransfer::SkipPayer(const std::string& payer) {
    TTable& work = *c_.tbRacPoz;
    int64_t rows = 0;
    for (; !work.Eof() && Payer(work) == payer; ++rows) {
        work.Next();
    }
    return rows;
}

// "Prenos je prekinjen pri računu ...": the invoice the run stopped at and whether it is in
// the database, which invoices of the run are written (count, first and last), which were
// written after the last commit and so rolled back, and the failure's own text as the cause.
std::string TTransfer::InvoiceFailure(const TInvoiceSummary& invoice,
                                      const std::string& cause) const {
    std::string text = invoice.Committed ? "Prenos je prekinjen po računu " + invoice.Kljuc
                                         : "Prenos je prekinjen pri računu " + invoice.Kljuc;
    if (!invoice.Placnik.empty()) {
        text += " (" + invoice.Placnik + ")";
    }
    if (opt_.Check) {
        return text + ". Preizkus: v bazi Tevrin ni nič zapisano.\nVzrok: " + cause;
    }
    text += invoice.Committed ? ", ki je zapisan." : ", ki ni zapisan.";
    const int64_t written = run_.PriorInvoices + run_.Invoices;
    if (written == 0) {
        text += " Noben račun ni zapisan.";
    } else {
        const std::string& first = run_.PriorFirstKey.empty() ? run_.FirstKey : run_.PriorFirstKey;
        const std::string& last = run_.LastKey.empty() ? run_.PriorLastKey : run_.LastKey;
        text +=
            " Zapisanih računov: " + std::to_string(written) + " (" + KeyRange(first, last) + ").";
    }
    if (!run_.Group.empty()) {
        text += " Računi " + KeyRange(run_.Group.front().Kljuc, run_.Group.back().Kljuc) +
                ", narejeni po zadnji potrditvi, so preklicani in jih v bazi ni.";
    }
    return text +
           " Nadaljevanje prenosa (--resume ali »Nadaljuj«) zapiše račune, ki še niso "
           "zapisani.\nVzrok: " +
           cause;
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

// The number of the invoice about to be written, inside its group's transaction. The
// group's first invoice locks the series against other writers and then reads it as it now
// stands, so that a document another program added during the run shifts our numbers
// instead of colliding with them; the lock lasts to the group's end, so the group's other
// invoices count on from it. A program that writes without the lock and takes one of those
// numbers first is met by the retry (WriteInvoiceOrLog), which reads the series again. A
// group written again after its transaction was lost begins where it began before, past
// the numbers others took meanwhile, so that no gap is left. A dry run rolls its invoices
// back, so it counts on from its own last number.
int TTransfer::TakeDocumentNumber() {
    THdbc& db = *c_.Database;
    if (!run_.GroupLocked) {
        LockSeries(db, run_.Prefix);
        run_.GroupLocked = true;
    }
    if (run_.SeriesNext == 0) {
        if (run_.RedoFrom > 0) {
            run_.SeriesNext = run_.RedoFrom;
            run_.TakenNumbers = SeriesNumbersFrom(db, run_.Prefix, run_.RedoFrom);
            run_.RedoFrom = 0;
        } else {
            run_.SeriesNext = std::max(NovaStevGlavC(db, run_.Prefix), run_.LastNumber + 1);
        }
    }
    while (run_.TakenNumbers.count(run_.SeriesNext)) {
        ++run_.SeriesNext;
    }
    CheckDocumentNumbers(run_.Prefix, run_.SeriesNext, 1);
    return run_.SeriesNext;
}

// The invoice of the working table's current payer: its header and lines made in memory,
// priced and their amounts added up, then the lines and the header written by the run's
// prepared inserts. With the file's prices the lookups are lean; a run priced by the rules
// makes its rows in the designed datasets as well, which the pricing reads and writes, and
// cancels them there. Leaves the working table on the next payer's first row. The key and
// the payer are in `invoice` before anything is written, for the message of a failure.
void TTransfer::WriteInvoice(TInvoiceSummary& invoice) {
    TTable& work = *c_.tbRacPoz;
    TLeanStatements& lean = *run_.Lean;
    const bool leanPath = run_.FilePrices;
    const std::string payer = Payer(work);
    invoice.Placnik = payer;
    // The number it would have by the run's own count, for a failure before the series
    // has been read.
    invoice.Kljuc = DocumentKey(run_.Prefix, std::max(run_.NextNumber, run_.LastNumber + 1));
    // A payer gone since the check phase (renamed, deleted) would give an invoice without
    // its terms: the invoice is refused. A lookup that fails by an error ends the run.
    if (!(leanPath ? lean.InvoicePayer.Find(payer) : RunLookup(*c_.tbSubj, "NAZIV", payer))) {
        throw TInvoiceRefused{NapakaPlacnik(payer)};
    }
    const int number = TakeDocumentNumber();
    invoice.Kljuc = DocumentKey(run_.Prefix, number);
    invoice.Number = number;
    SetInvoiceSavepoint();

    // The pricing and the line amounts keep their faults to themselves and answer 0; an
    // invoice must not be booked at such a price, so each line is watched. A price
    // formula that fails (a division by zero in it) is priced 0 by design, and the
    // pricing then goes on to its fall-back price: that is no failure of the line.
    std::optional<TFaultWatch> watch(std::in_place, kFormulaOperation);
    TRowRecord& header = run_.HeaderRow;
    header.Clear();
    TDataSetWriter designedHeader(*c_.tbPromet);
    TRowTee headerTee(designedHeader, header);
    TRowWriter& headerTarget = leanPath ? static_cast<TRowWriter&>(header) : headerTee;
    const TDataSetValues designedPayer(*c_.tbSubj), event(*c_.tbLookPoslDog),
        param(*c_.tbParameter), workRow(work);
    if (!leanPath) {
        c_.tbPromet->Append();
    }
    FillInvoiceHeader(headerTarget, {invoice.Kljuc, run_.IssueDate, opt_.PoslDog, opt_.Referent},
                      {event, param,
                       leanPath ? static_cast<const TRowValues&>(lean.InvoicePayer) : designedPayer,
                       workRow});
    if (*watch) {
        throw TInvoiceRefused{"Račun za plačnika " + payer + " ni zapisan (" +
                              watch->Fault().ClassName() + ": " + watch->Fault().Message() + ")"};
    }
    TInvoiceTotals totals;
    TLineInputs line{invoice.Kljuc, 0, opt_.Referent, run_.FilePrices};
    std::vector<TRowRecord>& lines = run_.LineRows;
    // Byte for byte: names that differ only in case or accents are other payers.
    while (!work.Eof() && Payer(work) == payer) {
        watch.emplace(kFormulaOperation);
        const TInvoiceTotals before = totals;
        if (lines.size() <= static_cast<size_t>(line.Poz)) {
            lines.emplace_back();
        }
        TRowRecord& row = lines[static_cast<size_t>(line.Poz)];
        row.Clear();
        if (leanPath) {
            // Neither answer is tested: an article or tariff gone since the check phase
            // leaves empty texts and zeros. A lookup that fails by an error ends the run.
            lean.LineArticle.Find(workRow.Text("Ident"));
            lean.Tariff.Find(lean.LineArticle.Text("TS"));
            FillInvoiceLine(row, {workRow, lean.LineArticle, lean.Tariff, *c_.tbParameter}, line,
                            totals);
        } else {
            PriceInvoiceLine(c_, line, totals, row);
        }
        if (*watch) {
            RefusePricing(invoice, workRow.Text("Ident"), watch->Fault());
        }
        // For the control totals: the quantity, and the file's own quantity × price, exact
        // to four decimals as the amounts are.
        try {
            invoice.Kolicina += Currency::FromDouble(row.NumberOf("Kolicina"));
            if (leanPath) {
                invoice.FileValue += Currency::FromDouble(
                    static_cast<long double>(workRow.Number("Kolicina")) * workRow.Number("Cena"));
            }
        } catch (const EOverflow& e) {
            throw TInvoiceRefused{"Račun za plačnika " + payer +
                                  " ni zapisan: količine ali vrednosti po datoteki ni mogoče "
                                  "sešteti (" +
                                  e.Message() + ")"};
        }
        invoice.Items.push_back(InvoiceLineSummary(row, workRow, before, totals));
        work.Next();
        ++line.Poz;
    }
    watch.reset();
    SetInvoiceTotals(headerTarget, totals);
    if (!leanPath) {
        c_.tbPromet->Cancel();
    }
    // Whole and checked: now written, its lines first.
    for (int poz = 0; poz < line.Poz; ++poz) {
        lines[static_cast<size_t>(poz)].WriteTo(lean.Line);
        lean.Line.Insert();
    }
    header.WriteTo(lean.Header);
    invoice.DatumSpre = lean.Header.DateOf("DatumSpre");
    lean.Header.Insert();
    invoice.Lines = line.Poz;
    invoice.Vrednost = totals.Vrednost;
    invoice.Davek = Currency::FromDouble(header.NumberOf("Davek"));
    invoice.ZaPlacilo = totals.ZaPlacilo;
    // A dry run's next invoice counts on from here, whatever its group's end rolls back.
    run_.LastNumber = number;
    run_.SeriesNext = number + 1;
    if (run_.GroupFirstNumber == 0) {
        run_.GroupFirstNumber = number;
    }
}

bool TTransfer::GroupDue() const {
    int lines = 0;
    for (const TInvoiceSummary& invoice : run_.Group) {
        lines += invoice.Lines;
    }
    return run_.Group.size() >= kInvoicesPerGroup || lines >= kLinesPerGroup;
}

// Ends the transaction of the group written so far: commits it with its rows of the ledger,
// each with the fingerprint of its rows as the transaction holds them, or in a dry run rolls
// it back; then tells its invoices and starts the datasets afresh where needed. `current`,
// the invoice the phase stands at, is marked committed when it was one of the group's, for
// the message of a failure after this.
void TTransfer::EndGroup(TInvoiceSummary& current) {
    THdbc& db = *c_.Database;
    // The run's totals with the group's, taken over only once the group is in.
    TRunTotals totals = run_.Totals;
    for (const TInvoiceSummary& invoice : run_.Group) {
        totals.Add(invoice);
    }
    totals.Refused += run_.GroupRefusedRecords;
    if (opt_.Check) {
        db.Rollback();
    } else {
        if (!run_.Group.empty()) {
            std::vector<std::string> keys;
            for (const TInvoiceSummary& invoice : run_.Group) {
                keys.push_back(invoice.Kljuc);
            }
            const std::map<std::string, TInvoiceRows> rows = ReadInvoiceRows(db, keys);
            std::vector<TLedgerInvoice> ledger;
            for (const TInvoiceSummary& invoice : run_.Group) {
                const auto r = rows.find(invoice.Kljuc);
                if (r == rows.end() || r->second.Lines != invoice.Lines) {
                    throw EDatabaseError("Račun " + invoice.Kljuc +
                                         " v bazi ni tak, kot je bil zapisan.");
                }
                ledger.push_back(
                    {invoice.Kljuc, invoice.Placnik, invoice.Lines, r->second.Fingerprint});
            }
            RecordLedgerInvoices(db, run_.LedgerRun, run_.LedgerSeq, ledger);
        }
        if (run_.TotalsKnown) {
            RecordLedgerTotals(db, run_.LedgerRun, totals);
        }
        db.Commit();
    }
    run_.Totals = totals;
    run_.GroupRefusedRecords = 0;
    std::vector<TInvoiceSummary> group = std::move(run_.Group);
    run_.Group.clear();
    run_.GroupLocked = false;
    run_.SeriesNext = 0;
    run_.TakenNumbers.clear();
    run_.RedoFrom = 0;
    run_.GroupRedos = 0;
    if (!opt_.Check && !group.empty()) {
        run_.LedgerSeq += static_cast<int>(group.size());
        if (run_.FirstKey.empty()) {
            run_.FirstKey = group.front().Kljuc;
        }
        run_.LastKey = group.back().Kljuc;
    }
    LogRefused();
    for (TInvoiceSummary& invoice : group) {
        invoice.Committed = !opt_.Check;
        if (invoice.Kljuc == current.Kljuc) {
            current.Committed = invoice.Committed;
        }
        // Counted as soon as it is in the database, whatever fails after.
        ++run_.Invoices;
    }
    for (const TInvoiceSummary& invoice : group) {
        ui_.InvoiceWritten(invoice);
    }
    ReopenDataSets(opt_.Check ? run_.ReopenAfterRollback : run_.ReopenAfterCommit);
}

// After a transaction's end: where it closed the open cursors, every dataset that stays
// open across invoices is opened again.
void TTransfer::ReopenDataSets(bool cursorsClosed) {
    THdbc& db = *c_.Database;
    if (cursorsClosed) {
        db.SetAutoCommit(true);
        noRows_.Reopen();
        db.SetAutoCommit(false);
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

// Cancels the rows the designed datasets were making for an invoice.
void TTransfer::CancelUnposted() {
    for (TDataSet* ds :
         {static_cast<TDataSet*>(c_.tbPrometPoz), static_cast<TDataSet*>(c_.tbPromet)}) {
        if (ds->State() == dsInsert || ds->State() == dsEdit) {
            ds->Cancel();
        }
    }
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
