#pragma once
// TTransfer, the transfer run: from "Prenos" to "Dodajanje zaključeno !" or the error report. It
// checks the inputs, signs on, reads every record of the transfer file and checks its
// customer, payer and article, logs the records that fail, and writes one invoice per
// payer: its lines, then its header, numbered in the series as the database holds it at that
// moment, committed in groups of invoices. An invoice that cannot be priced, or whose payer
// is gone, writes nothing and is logged like a failed record; any other failure of an
// invoice rolls its group back and ends the run. The groups committed before stay, each with
// its rows of the transfer ledger in the same transaction, so that transferring the same
// file into the same database again, from any home or machine, is asked about first. One
// run at a time in a home directory (TRunLock), and one run of a file at a time in a
// database (TFileRunLock).
//
// The window's "Prenos" and the run without a window both call Execute on the objects of
// CreateTransferComponents; everything said or asked goes through TTransferUi.

#include "transfer/NoRowsOpening.h"
#include "transfer/RowValues.h"
#include "transfer/RunTotals.h"
#include "transfer/TransferComponents.h"
#include "transfer/TransferUi.h"

#include "toolkit/DataSet.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zen {

class TFileRunLock;
struct TTransferRun;
struct TLeanStatements;

// A resume refused (no stopped run of this content, other inputs); for the operator.
ZEN_EXCEPTION_CLASS(EResumeRefused, Exception);

inline constexpr const char* kInputsMissingMessage =
    "Poslovni dogodek, referenta in pot do podatkov moraš obvezno določiti !";
inline constexpr const char* kUnknownEventMessage = "Poslovni dogodek ne obstaja v šifrantu !";
inline constexpr const char* kCompletedMessage = "Dodajanje zaključeno !";

// What the operator is told when the transfer file's prices could not be read from the
// record numbered `record` (from 1; its StRac given) on, so that Tevrin's rules priced
// every line of the run.
std::string PricesUnreadableNotice(int record, const std::string& stRac);

// The inputs of one run, as the operator gave them.
struct TTransferOptions {
    std::string PoslDog;    // business event code, 1 or 2 characters
    std::string Referent;   // clerk code
    std::string Datum;      // issue date as typed, in the locale's short date format
    std::string DataSource; // ODBC data source of the Tevrin database
    std::string Path;       // the transfer file
    // A dry run: every invoice is written and then rolled back instead of committed, and
    // the ledger is neither asked nor written. Everything else is as in a real run.
    bool Check = false;
    // Transfer a file the ledger already knows without asking.
    bool Force = false;
    // Go on with the newest run of this file when it stopped (refused when a later run of
    // it completed): the payers whose invoices it committed are skipped. A file of which
    // the ledger holds no invoice is transferred from its start.
    bool Resume = false;
};

enum class TTransferOutcome {
    InputsMissing,  // an input was empty: told, nothing done
    EventUnknown,   // the business event is not in PoslDog: told, nothing written
    RepeatRefused,  // the file was transferred before and the operator said no
    NothingMissing, // a resume found the file's newest run complete: told, nothing written
    Completed,      // no record failed: "Dodajanje zaključeno !"
    ErrorsReported  // some records failed: the report was shown; the rest were written
};

// The sign-on of a run: registry login, connection closed, given the data source and the
// login, opened (SignOn of the application shell).
using TSignOnProc = std::function<void(THdbc& database, const std::string& dataSource)>;

// What one run works with and finds. Made anew at the start of each Execute, and nowhere
// else, so that nothing of a run before carries over.
struct TRunState {
    TRunState();
    ~TRunState();
    TRunState(TRunState&&) noexcept;
    TRunState& operator=(TRunState&&) noexcept;

    TDateTime IssueDate = 0;
    std::string Prefix;
    int NextNumber = 0; // of the series when the run began
    int LastNumber = 0; // the number of the run's last invoice, 0 before the first
    // The keys of this execution's first and last invoice committed.
    std::string FirstKey, LastKey;
    bool FilePrices = true;
    std::string Notice;
    std::set<std::string> WrittenPayers; // of the stopped run a resume goes on
    // What the stopped run a resume goes on had committed.
    int64_t PriorInvoices = 0;
    // A resume found the newest run of the file complete.
    bool NothingMissing = false;
    std::string PriorFirstKey, PriorLastKey;
    bool ReopenAfterCommit = false;
    bool ReopenAfterRollback = false;
    int Invoices = 0; // committed (in a dry run: written and rolled back)
    // The run's number in the ledger and how many invoices the ledger holds of it; 0 in a
    // dry run.
    int64_t LedgerRun = 0;
    int LedgerSeq = 0;
    // Held from before the repeat guard is asked to the run's end.
    std::unique_ptr<TFileRunLock> FileLock;
    // The run's lean lookups and prepared inserts.
    std::unique_ptr<TLeanStatements> Lean;
    // The invoices written since the last commit, each whole, and the invoices refused
    // meanwhile (the working row's StRac and the reason), logged when the group ends.
    std::vector<TInvoiceSummary> Group;
    std::vector<std::pair<std::string, std::string>> GroupRefused;
    int64_t GroupRefusedRecords = 0; // the records of the group's refused invoices
    // The control totals so far: of the committed groups (in a dry run, of the groups
    // written and rolled back), with those of the stopped run a resume goes on. Not known
    // when that run was written by a version that kept none.
    TRunTotals Totals = NewRunTotals();
    bool TotalsKnown = true;
    // Where the group began: its first payer, the run's last number then and the number
    // its first invoice took; a group whose transaction was lost is written again from
    // there (RedoFrom), past the numbers others took meanwhile (TakenNumbers).
    TBookmark GroupStart;
    int GroupStartLastNumber = 0;
    int GroupFirstNumber = 0;
    int RedoFrom = 0;
    int GroupRedos = 0;
    std::set<int> TakenNumbers;
    // Whether the group's transaction holds the series' lock, and the next number of the
    // series in it (0: to be read).
    bool GroupLocked = false;
    int SeriesNext = 0;
    // The current invoice's savepoint is set.
    bool InvoiceSavepoint = false;
    // An invoice's rows as they are made, before they are written.
    TRowRecord HeaderRow;
    std::vector<TRowRecord> LineRows;
};

class TTransfer {
public:
    TTransfer(const TTransferComponents& components, TTransferUi& ui, TSignOnProc signOn);
    ~TTransfer();
    TTransfer(const TTransfer&) = delete;
    TTransfer& operator=(const TTransfer&) = delete;

    // One run. Failures other than the quiet endings of TTransferOutcome leave as
    // exceptions whose text is for the operator; the invoices committed before stay. A
    // lookup that fails by an error is such a failure, never a missing record.
    TTransferOutcome Execute(const TTransferOptions& options);

    // Of the last Execute: invoices committed (in a dry run: written and rolled back).
    int Invoices() const { return run_.Invoices; }
    // Of the last Execute: what the operator must know beside the errors, such as the
    // file's prices having been unreadable from some record on; empty when nothing.
    const std::string& Notice() const { return run_.Notice; }
    // Of the last Execute: whether the transfer file's prices priced the lines, rather than
    // Tevrin's rules (a file without prices, or one unreadable from some record on).
    bool FilePrices() const { return run_.FilePrices; }
    // Of the last Execute: its control totals so far, none when they are not known.
    std::optional<TRunTotals> Totals() const {
        return run_.TotalsKnown ? std::optional(run_.Totals) : std::nullopt;
    }

private:
    void OpenTransferFile();
    int NameSize();
    void OpenDataSets();
    void LockFile(const std::string& fileHash);
    bool MayRepeat(const std::string& fileHash);
    void BeginRun(const std::string& fileHash);
    bool Resume(const std::vector<TTransferRun>& runs, const std::string& fileHash);
    void CheckPhase();
    bool CheckRecord(int record);
    void InvoicePhase();
    bool WriteInvoiceOrLog(TInvoiceSummary& invoice);
    void WriteInvoice(TInvoiceSummary& invoice);
    void SetInvoiceSavepoint();
    bool RollbackInvoice();
    void ExecStatement(const std::string& sql);
    void StartGroup();
    void RedoGroup();
    int TakeDocumentNumber();
    bool GroupDue() const;
    void EndGroup(TInvoiceSummary& current);
    void LogRefused();
    int64_t SkipPayer(const std::string& payer);
    std::string InvoiceFailure(const TInvoiceSummary& invoice, const std::string& cause) const;
    void CancelUnposted();
    void ReopenDataSets(bool cursorsClosed);
    void AbandonTransaction() noexcept;
    int CountPayers();
    TTransferOutcome Finish();
    void FinishLedgerRun(bool completed, const std::string& error) noexcept;

    TTransferComponents c_;
    TTransferUi& ui_;
    TSignOnProc signOn_;
    TTransferOptions opt_;
    TRunState run_;
    TNoRowsOpening noRows_; // the datasets over Tevrin tables but Param
};

} // namespace zen
