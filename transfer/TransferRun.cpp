// The run's preparation and finish; the check phase is in TransferCheck.cpp, the invoice
// phase in TransferInvoices.cpp.

#include "transfer/TransferRun.h"

#include "dataset/ODSI.h"
#include "dbutil/ExceptionLog.h"
#include "dbutil/StdProc.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "transfer/FileRunLock.h"
#include "transfer/LeanLookups.h"
#include "transfer/Ledger.h"
#include "transfer/Numbering.h"
#include "transfer/PrenosNapaka.h"
#include "transfer/RunLock.h"
#include "transfer/RunLookup.h"
#include "transfer/TransferHistory.h"
#include "transfer/TransferJournal.h"
#include "transfer/VeskPrenosRac.h"

#include <algorithm>
#include <cmath>

namespace zen {

std::string PricesUnreadableNotice(int record, const std::string& stRac) {
    return "Cene v datoteki prenosa niso berljive od zapisa " + std::to_string(record) +
           (stRac.empty() ? std::string() : " (račun " + stRac + ")") +
           " naprej, zato so vse vrstice ocenjene po cenah in pravilih Tevrina.";
}

TRunState::TRunState() = default;
TRunState::~TRunState() = default;
TRunState::TRunState(TRunState&&) noexcept = default;
TRunState& TRunState::operator=(TRunState&&) noexcept = default;

TTransfer::TTransfer(const TTransferComponents& components, TTransferUi& ui, TSignOnProc signOn)
    : c_(components), ui_(ui), signOn_(std::move(signOn)) {}

TTransfer::~TTransfer() = default;

TTransferOutcome TTransfer::Execute(const TTransferOptions& options) {
    opt_ = options;
    run_ = TRunState{};
    if (opt_.Path.empty() || opt_.PoslDog.empty() || opt_.Referent.empty()) {
        ui_.Message(kInputsMissingMessage);
        return TTransferOutcome::InputsMissing;
    }
    // Held to the end of the run, the report's preview included: a second run in this
    // home would re-create the tables this one reads.
    TRunLock lock;
    signOn_(*c_.Database, opt_.DataSource);
    run_.IssueDate = StrToDate(opt_.Datum);
    run_.Prefix = DocumentPrefix(run_.IssueDate, opt_.PoslDog);
    run_.NextNumber = NovaStevGlavC(*c_.Database, run_.Prefix);
    OpenTransferFile();
    // The datasets get their designs back and the run's own statements go at its end, so
    // that none keeps a lock or a cursor afterwards.
    struct TRestore {
        TNoRowsOpening& noRows;
        TRunState& run;
        ~TRestore() {
            run.Lean.reset();
            run.FileLock.reset();
            noRows.Restore();
        }
    } restore{noRows_, run_};
    OpenDataSets();
    const double roundT = c_.tbParameter->FieldByName("RoundT")->AsFloat();
    SetRoundStep(roundT != 0 ? roundT : 1);
    if (!RunLookup(*c_.tbLookPoslDog, "POSLDOG", opt_.PoslDog)) {
        ui_.Message(kUnknownEventMessage);
        return TTransferOutcome::EventUnknown;
    }
    // The content this run transfers, read when the file was opened: the file may have
    // been replaced since, and the ledger must know what was booked.
    const TDbfFile* dbf = c_.tbRac->Dbf();
    const std::string fileHash = dbf ? dbf->ContentHash() : TransferFileHash(opt_.Path);
    // Asked before anything is written, the local tables included. A dry run neither makes
    // nor writes the ledger.
    if (!opt_.Check) {
        EnsureLedgerTables(*c_.Database);
        EnsureLedgerTotals(*c_.Database);
        ImportHomeJournal(*c_.Database, opt_.DataSource);
        LockFile(fileHash);
    }
    if (!MayRepeat(fileHash)) {
        return run_.NothingMissing ? TTransferOutcome::NothingMissing
                                   : TTransferOutcome::RepeatRefused;
    }
    try {
        RecreatePrenosNapaka(*c_.tbNapaka);
        RecreateVeskPrenosRac(*c_.tbRacPoz, NameSize());
        CheckPhase();
        // A file without prices (of no records, too) has no value of its own.
        if (!run_.FilePrices || !c_.tbRac->FindField("Cena")) {
            run_.Totals.FileValue.reset();
        }
        // The records read and refused count from here, whatever the invoices then do.
        if (run_.LedgerRun != 0 && run_.TotalsKnown) {
            RecordLedgerTotals(*c_.Database, run_.LedgerRun, run_.Totals);
        }
        InvoicePhase();
    } catch (const std::exception& e) {
        FinishLedgerRun(false, e.what());
        throw;
    }
    FinishLedgerRun(true, {});
    return Finish();
}

// Marks the run's end in the ledger. Its invoices are recorded already, so the rerun
// protection holds without the mark; a database that cannot take it (a connection lost)
// must neither hide why a run failed nor turn a finished run into a failed one. Its fault
// goes to the exception log; the run's lock then no longer held, the history shows it as
// stopped.
void TTransfer::FinishLedgerRun(bool completed, const std::string& error) noexcept {
    if (run_.LedgerRun == 0) {
        return;
    }
    THdbc& db = *c_.Database;
    // A connection still in a transaction is one whose rollback failed: switching it back
    // to autocommit would commit what the run gave up. The mark is left out then; with the
    // run's lock gone, the history shows the run as stopped all the same.
    if (!db.Connected() || !db.AutoCommit()) {
        return;
    }
    try {
        zen::FinishLedgerRun(db, run_.LedgerRun, completed, error);
    } catch (const std::exception& e) {
        LogException(e, c_.Database, "FinishLedgerRun");
    } catch (...) {
    }
}

// One run of a file at a time in a database: refused, naming the run that holds it, with
// nothing written.
void TTransfer::LockFile(const std::string& fileHash) {
    try {
        run_.FileLock = std::make_unique<TFileRunLock>(*c_.Database, fileHash);
    } catch (const EFileRunLocked& e) {
        std::string holder;
        for (const TTransferRun& r : LedgerRuns(*c_.Database)) {
            if (r.FileHash == fileHash && r.Status == TTransferRunStatus::Running) {
                holder = ": " + RunHolderText(r);
                break;
            }
        }
        throw EFileRunLocked(e.Message() + holder +
                             ". Nov prenos te datoteke se lahko začne, ko se ta konča; nič ni "
                             "bilo zapisano.");
    }
}

// The width of the working table's names: as wide as the longest name the customer table
// holds, and never narrower than its declared size. A payer's name cut short would find no
// payer when its invoice is written, and two names cut alike would make one invoice.
int TTransfer::NameSize() {
    int size = c_.tbLookSubj->FieldByName("Naziv")->Size();
    TOEQuery longest;
    longest.SetHdbc(c_.Database);
    longest.SQL().Add("SELECT MAX(LENGTH(Naziv)) AS N FROM Subjekt");
    longest.Open();
    size = std::max(size, longest.FieldByName("N")->AsInteger());
    longest.Close();
    return size;
}

void TTransfer::OpenTransferFile() {
    TTable& rac = *c_.tbRac;
    rac.Close();
    rac.SetDatabaseName({});
    rac.SetTableName(opt_.Path);
    rac.Open();
}

void TTransfer::OpenDataSets() {
    // No result is left stepped part-way, which on SQLite would keep the file's read lock
    // and every other connection from writing: these read no rows, the run's lean lookups
    // close their cursors at once, and a designed lookup reads its few rows to the end.
    for (TOEQuery* ds : {c_.tbSubj, c_.tbLookMS, c_.tbLookTarSt, c_.tbLookSubjCenik, c_.tbLookSubj,
                         c_.tbLookSubj2, c_.tbLookPoslDog}) {
        noRows_.Open(*ds, false);
    }
    noRows_.Open(*c_.tbPromet, true);
    noRows_.Open(*c_.tbPrometPoz, true);
    // Its one row read to the end, so that it never holds the file's read lock either.
    c_.tbParameter->Open();
    c_.tbParameter->FetchAll();
}

// Whether the run may go on: a file the ledger knows for this database is transferred again
// only when the operator says so or the run is forced; a run of it that stopped is offered
// to go on. A dry run asks nothing and writes nothing.
bool TTransfer::MayRepeat(const std::string& fileHash) {
    if (opt_.Check && !opt_.Resume) {
        return true;
    }
    THdbc& db = *c_.Database;
    // A dry run of a resume reads a ledger that may not be there.
    const std::vector<TTransferRun> runs = opt_.Check && !LedgerExists(db)
                                               ? std::vector<TTransferRun>{}
                                               : LedgerRunsOfFile(db, fileHash);
    if (opt_.Resume) {
        return Resume(runs, fileHash);
    }
    if (!runs.empty() && !opt_.Force) {
        const bool stopped = runs.back().Status != TTransferRunStatus::Completed;
        switch (ui_.AskRepeatOrResume(EarlierRunsQuestion(runs), stopped)) {
        case TRepeatAnswer::No:
            return false;
        case TRepeatAnswer::Resume:
            return Resume(runs, fileHash);
        case TRepeatAnswer::Again:
            break;
        }
    }
    BeginRun(fileHash);
    return true;
}

// The run's row in the ledger, committed before anything else of the run is written.
void TTransfer::BeginRun(const std::string& fileHash) {
    if (opt_.Check) {
        return;
    }
    TTransferRunInputs in;
    in.FileHash = fileHash;
    in.DataSource = opt_.DataSource;
    in.PoslDog = opt_.PoslDog;
    in.Referent = opt_.Referent;
    in.IssueDate = run_.IssueDate;
    in.FilePath = opt_.Path;
    run_.LedgerRun = BeginLedgerRun(*c_.Database, in);
}

// Goes on with the newest run of the file when it stopped: the same inputs, the payers whose
// invoices it committed skipped, the rest written under the same run of the ledger. The
// invoices and numbers are then those of one run that never stopped, when nothing else
// wrote to the series. A file of which the ledger holds no invoice goes in from its start.
bool TTransfer::Resume(const std::vector<TTransferRun>& runs, const std::string& fileHash) {
    if (runs.empty()) {
        ui_.Message("V dnevniku prenosov te baze ni nobenega računa te datoteke, zato se prenos "
                    "začne od začetka.");
        BeginRun(fileHash);
        return true;
    }
    const TTransferRun& newest = runs.back();
    if (newest.Status == TTransferRunStatus::Completed) {
        const std::string which =
            "zadnji prenos te datoteke v to bazo (št. " + std::to_string(newest.Id) + ", " +
            JournalDateTime(newest.Started) + ", " + RacunCount(newest.Invoices) + " " +
            KeyRange(newest.FirstKey, newest.LastKey) + ") je bil končan";
        // A stopped run before it cannot be finished: the complete one wrote its invoices.
        if (std::any_of(runs.begin(), runs.end() - 1, [](const TTransferRun& r) {
                return r.Status != TTransferRunStatus::Completed;
            })) {
            throw EResumeRefused("Prenosa ni mogoče nadaljevati: " + which +
                                 " po prekinjenem, zato bi se računi zapisali še enkrat. Nič ni "
                                 "bilo spremenjeno.");
        }
        // A job retried after it was killed past the run's end is told so and not failed,
        // as a repeated undo is.
        ui_.Message("Nadaljevanje ni potrebno: " + which +
                    ", zato ni ničesar, kar bi manjkalo. Nič ni bilo spremenjeno.");
        run_.NothingMissing = true;
        return false;
    }
    if (newest.PoslDog != opt_.PoslDog || newest.Referent != opt_.Referent ||
        std::trunc(newest.IssueDate) != std::trunc(run_.IssueDate)) {
        throw EResumeRefused("Prekinjeni prenos te datoteke (št. " + std::to_string(newest.Id) +
                             ", " + JournalDateTime(newest.Started) +
                             ") je imel poslovni dogodek " + newest.PoslDog + ", referenta " +
                             newest.Referent + " in datum " + DateToStr(newest.IssueDate) +
                             "; nadaljuje se lahko le z enakimi. Nič ni bilo spremenjeno.");
    }
    for (const TLedgerInvoice& invoice : LedgerInvoices(*c_.Database, newest.Id)) {
        run_.WrittenPayers.insert(invoice.Placnik);
    }
    // Its totals go on with this run's records: the check phase counts them anew, and the
    // payers it did not write are written or refused again.
    if (newest.Totals) {
        run_.Totals = *newest.Totals;
        run_.Totals.Read = 0;
        run_.Totals.Refused = 0;
    } else {
        run_.TotalsKnown = false;
    }
    run_.PriorInvoices = newest.Invoices;
    run_.PriorFirstKey = newest.FirstKey;
    run_.PriorLastKey = newest.LastKey;
    if (!opt_.Check) {
        ResumeLedgerRun(*c_.Database, newest.Id);
        run_.LedgerRun = newest.Id;
        run_.LedgerSeq = LedgerInvoiceCount(*c_.Database, newest.Id);
    }
    return true;
}

TTransferOutcome TTransfer::Finish() {
    for (TDataSet* ds : std::initializer_list<TDataSet*>{
             c_.tbRac, c_.tbSubj, c_.tbLookSubj, c_.tbLookSubj2, c_.tbPromet, c_.tbPrometPoz,
             c_.tbLookMS, c_.tbLookSubjCenik, c_.tbLookTarSt, c_.tbLookPoslDog, c_.tbParameter}) {
        ds->Close();
    }
    ui_.Progress(100);
    ui_.Totals(run_.TotalsKnown ? ControlTotalsText(run_.Totals) : kTotalsUnknownText);
    if (!run_.Notice.empty()) {
        ui_.Notice(run_.Notice);
    }
    TTable& napaka = *c_.tbNapaka;
    TTransferOutcome outcome;
    if (napaka.IsEmpty()) {
        ui_.Message(kCompletedMessage);
        outcome = TTransferOutcome::Completed;
    } else {
        napaka.First();
        ui_.ShowErrors(napaka);
        outcome = TTransferOutcome::ErrorsReported;
    }
    napaka.Close();
    return outcome;
}

} // namespace zen
