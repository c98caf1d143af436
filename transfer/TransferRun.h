#pragma once
// TTransfer, the transfer run: from "Prenos" to "Dodajanje zaključeno !" or the error report. It
// checks the inputs, signs on, reads every record of the transfer file and checks its
// customer, payer and article, logs the records that fail, and writes one invoice per
// payer: its lines, then its header, numbered in the series as the database holds it at that
// moment, committed in groups of invoices. An invoice that cannot be priced, or whose payer
// is gone, writes nothing and is logged like a failed record; any other failure of an
// invoice rolls its group back and ends the run. The groups committed before stay, and each
// invoice is in the transfer journal before it commits, so that transferring the same file
// into the same data source again is asked about first. One run at a time in a home
// directory (TRunLock).
//
// The window's "Prenos" and the run without a window both call Execute on the objects of
// CreateTransferComponents; everything said or asked goes through TTransferUi.

#include "transfer/NoRowsOpening.h"
#include "transfer/RowValues.h"
#include "transfer/TransferComponents.h"
#include "transfer/TransferUi.h"

#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace zen {

class TTransferJournal;
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
    // the journal is neither asked nor written. Everything else is as in a real run.
    bool Check = false;
    // Transfer a file the journal already knows without asking.
    bool Force = false;
    // Go on with the run of this file that stopped (refused when there is none): the
    // payers whose invoices it committed are skipped.
    bool Resume = false;
    // The journal's file; empty for the one in the home directory.
    std::filesystem::path JournalFile;
};

enum class TTransferOutcome {
    InputsMissing, // an input was empty: told, nothing done
    EventUnknown,  // the business event is not in PoslDog: told, nothing written
    RepeatRefused, // the file was transferred before and the operator said no
    Completed,     // no record failed: "Dodajanje zaključeno !"
    ErrorsReported // some records failed: the report was shown; the rest were written
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
    int NextNumber = 0;  // of the series when the run began
    int LastNumber = 0;  // the number of the run's last invoice, 0 before the first
    std::string LastKey; // the key of the run's last invoice committed
    bool FilePrices = true;
    std::string Notice;
    std::set<std::string> WrittenPayers; // of the stopped run a resume goes on
    bool ReopenAfterCommit = false;
    bool ReopenAfterRollback = false;
    int Invoices = 0; // committed (in a dry run: written and rolled back)
    std::unique_ptr<TTransferJournal> Journal;
    // The run's lean lookups and prepared inserts.
    std::unique_ptr<TLeanStatements> Lean;
    // The invoices written since the last commit, each whole, and the invoices refused
    // meanwhile (the working row's StRac and the reason), logged when the group ends.
    std::vector<TInvoiceSummary> Group;
    std::vector<std::pair<std::string, std::string>> GroupRefused;
    int InsertedLines = 0; // of the invoice being written
    // The next number of the series while the group's transaction holds its lock; 0 before
    // the group's first invoice has locked it.
    int SeriesNext = 0;
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

private:
    void OpenTransferFile();
    int NameSize();
    TTransferJournal& OpenJournal();
    void OpenDataSets();
    bool MayRepeat();
    bool Resume(const TTransferRun& stopped);
    void CheckPhase();
    void CheckRecord(int record);
    void InvoicePhase();
    bool WriteInvoiceOrLog(TInvoiceSummary& invoice);
    void WriteInvoice(TInvoiceSummary& invoice);
    int TakeDocumentNumber();
    bool GroupDue() const;
    void EndGroup(TInvoiceSummary& current);
    void LogRefused();
    void DropInvoiceLines(const std::string& kljuc);
    void SkipPayer(const std::string& payer);
    std::string InvoiceFailure(const TInvoiceSummary& invoice, const std::string& cause) const;
    void CancelUnposted();
    void ReopenDataSets(bool cursorsClosed);
    void AbandonTransaction() noexcept;
    int CountPayers();
    TTransferOutcome Finish();
    void FinishJournalRun(bool completed, const std::string& error) noexcept;

    TTransferComponents c_;
    TTransferUi& ui_;
    TSignOnProc signOn_;
    TTransferOptions opt_;
    TRunState run_;
    TNoRowsOpening noRows_; // the datasets over Tevrin tables but Param
};

} // namespace zen
