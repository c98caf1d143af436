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
#include "transfer/LeanLookups.h"
#include "transfer/Numbering.h"
#include "transfer/PrenosNapaka.h"
#include "transfer/RunLock.h"
#include "transfer/RunLookup.h"
#include "transfer/TransferJournal.h"
#include "transfer/TransferUndo.h"
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
    // Asked before anything is written, the local tables included.
    if (!opt_.Check || opt_.Resume) {
        // Keys and undos that a killed process left open are settled against the database
        // before the journal is asked about this file.
        SettleJournal(OpenJournal(), *c_.Database, opt_.DataSource);
    }
    if (!MayRepeat()) {
        return TTransferOutcome::RepeatRefused;
    }
    try {
        RecreatePrenosNapaka(*c_.tbNapaka);
        RecreateVeskPrenosRac(*c_.tbRacPoz, NameSize());
        CheckPhase();
        InvoicePhase();
    } catch (const std::exception& e) {
        FinishJournalRun(false, e.what());
        throw;
    }
    FinishJournalRun(true, {});
    return Finish();
}

// Marks the run's end in the journal. Its invoices are recorded already, so the rerun
// protection holds without the mark; a journal that cannot take it (a full disk) must
// neither hide why a run failed nor turn a finished run into a failed one, which a job
// might then repeat with --force. Its fault goes to the exception log.
void TTransfer::FinishJournalRun(bool completed, const std::string& error) noexcept {
    if (!run_.Journal) {
        return;
    }
    try {
        run_.Journal->FinishRun(completed, error);
    } catch (const std::exception& e) {
        LogException(e, c_.Database, "FinishRun");
    } catch (...) {
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

TTransferJournal& TTransfer::OpenJournal() {
    if (!run_.Journal) {
        run_.Journal = opt_.JournalFile.empty()
                           ? std::make_unique<TTransferJournal>()
                           : std::make_unique<TTransferJournal>(opt_.JournalFile);
        if (!run_.Journal->MovedAside().empty()) {
            ui_.Message(JournalDamagedNotice(run_.Journal->MovedAside()));
        }
    }
    return *run_.Journal;
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

// Whether the run may go on: a file the journal knows for this data source is transferred
// again only when the operator says so or the run is forced. A dry run writes nothing and
// asks nothing.
bool TTransfer::MayRepeat() {
    if (opt_.Check && !opt_.Resume) {
        return true;
    }
    OpenJournal();
    TTransferRunInputs in;
    // The content this run transfers, read when the file was opened: the file may have
    // been replaced since, and the journal must know what was booked.
    const TDbfFile* dbf = c_.tbRac->Dbf();
    in.FileHash = dbf ? dbf->ContentHash() : TransferFileHash(opt_.Path);
    in.DataSource = opt_.DataSource;
    in.PoslDog = opt_.PoslDog;
    in.Referent = opt_.Referent;
    in.IssueDate = run_.IssueDate;
    in.FilePath = opt_.Path;
    std::optional<TTransferRun> stopped = run_.Journal->StoppedRun(in.FileHash, in.DataSource);
    if (opt_.Resume) {
        if (!stopped) {
            throw EResumeRefused("Prenosa ni mogoče nadaljevati: dnevnik prenosov nima "
                                 "prekinjenega prenosa te datoteke (s to vsebino) v podatkovni "
                                 "vir " +
                                 opt_.DataSource + ". Nič ni bilo spremenjeno.");
        }
        return Resume(*stopped);
    }
    std::vector<TTransferRun> earlier = run_.Journal->EarlierRuns(in.FileHash, in.DataSource);
    if (!earlier.empty() && !opt_.Force) {
        switch (ui_.AskRepeatOrResume(EarlierRunsQuestion(earlier), stopped.has_value())) {
        case TRepeatAnswer::No:
            return false;
        case TRepeatAnswer::Resume:
            return Resume(*stopped);
        case TRepeatAnswer::Again:
            break;
        }
    }
    run_.Journal->BeginRun(in);
    return true;
}

// Goes on with a run that stopped: the same inputs, the payers whose invoices it committed
// skipped, the rest written under the same run of the journal. The invoices and numbers are
// then those of one run that never stopped, when nothing else wrote to the series.
bool TTransfer::Resume(const TTransferRun& stopped) {
    if (stopped.PoslDog != opt_.PoslDog || stopped.Referent != opt_.Referent ||
        std::trunc(stopped.IssueDate) != std::trunc(run_.IssueDate)) {
        throw EResumeRefused("Prekinjeni prenos te datoteke (" + JournalDateTime(stopped.Started) +
                             ") je imel poslovni dogodek " + stopped.PoslDog + ", referenta " +
                             stopped.Referent + " in datum " + DateToStr(stopped.IssueDate) +
                             "; nadaljuje se lahko le z enakimi. Nič ni bilo spremenjeno.");
    }
    for (const TJournalInvoice& invoice : run_.Journal->Invoices(stopped.Id)) {
        run_.WrittenPayers.insert(invoice.Placnik);
    }
    if (!opt_.Check) {
        run_.Journal->ResumeRun(stopped.Id);
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
