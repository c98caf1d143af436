#pragma once
// TTransfer, the transfer run: from "Prenos" to "Dodajanje zaključeno !" or the error report. It
// checks the inputs, signs on, reads every record of the transfer file and checks its
// customer, payer and article, logs the records that fail, and writes one invoice per
// payer: its lines, then its header, in one transaction of its own, numbered in the series
// as the database holds it at that moment. An invoice that cannot be priced, or whose
// payer is gone, is rolled back whole and logged like a failed record; any other failure of
// an invoice rolls it back and ends the run. The invoices committed before stay, and each
// is in the transfer journal before it commits, so that transferring the same file into
// the same data source again is asked about first. One run at a time in a home directory
// (TRunLock).
//
// The window's "Prenos" and the run without a window both call Execute on the objects of
// CreateTransferComponents; everything said or asked goes through TTransferUi.

#include "transfer/NoRowsOpening.h"
#include "transfer/TransferComponents.h"
#include "transfer/TransferUi.h"

#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>

namespace zen {

class TTransferJournal;
struct TTransferRun;

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
    int Invoices() const { return invoices_; }
    // Of the last Execute: what the operator must know beside the errors, such as the
    // file's prices having been unreadable from some record on; empty when nothing.
    const std::string& Notice() const { return notice_; }
    // Of the last Execute: whether the transfer file's prices priced the lines, rather than
    // Tevrin's rules (a file without prices, or one unreadable from some record on).
    bool FilePrices() const { return filePrices_; }

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
    void EndInvoice(TInvoiceSummary& invoice);
    void SkipPayer(const std::string& payer);
    std::string InvoiceFailure(const TInvoiceSummary& invoice, const std::string& cause) const;
    void RollbackInvoice();
    void ReopenDataSets(bool cursorsClosed, bool fresh);
    void AbandonTransaction() noexcept;
    int CountPayers();
    TTransferOutcome Finish();
    void FinishJournalRun(bool completed, const std::string& error) noexcept;

    TTransferComponents c_;
    TTransferUi& ui_;
    TSignOnProc signOn_;
    TTransferOptions opt_;
    TDateTime issueDate_ = 0;
    std::string prefix_;
    int nextNumber_ = 0;  // of the series when the run began
    int lastNumber_ = 0;  // the number of the run's last invoice, 0 before the first
    std::string lastKey_; // the key of the run's last invoice committed
    bool filePrices_ = true;
    std::string notice_;
    std::set<std::string> writtenPayers_; // of the stopped run a resume goes on
    bool reopenAfterCommit_ = false;
    bool reopenAfterRollback_ = false;
    int invoices_ = 0;
    TNoRowsOpening noRows_; // the datasets over Tevrin tables but tbSubj and Param
    std::unique_ptr<TTransferJournal> journal_;
};

} // namespace zen
