#pragma once
// The re-run protection journal: which transfer files, known by their content, have
// already booked invoices into which data source. Transferring a file twice books every
// invoice twice, so a run asks the journal before it starts and records every invoice as it
// commits. A run gets its row only with its first invoice, so dry runs and runs that commit
// nothing leave no trace; each invoice key is its own commit, so a run that failed or was
// killed half-way is still known with the invoices it left (what a power cut may take is
// told at TTransferJournal::Open).
//
// The journal is a SQLite file in the home directory. A damaged file is moved aside
// ("<name>.damaged") and a new one started; the fault goes to the exception log and
// MovedAside() says so, because the earlier runs are then no longer known.

#include "toolkit/DateTime.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace zen {

// The journal's file in the home directory.
std::filesystem::path TransferJournalFile();

// SHA-256 of a file's bytes as 64 lower-case hexadecimal digits; EInOutError when the file
// cannot be read.
std::string TransferFileHash(const std::filesystem::path& file);
// The same of bytes already read.
std::string TransferContentHash(const std::vector<unsigned char>& bytes);

// What a run was given: the file's hash and the operator's inputs.
struct TTransferRunInputs {
    std::string FileHash;
    std::string DataSource;
    std::string PoslDog;
    std::string Referent;
    TDateTime IssueDate = 0;
    std::string FilePath; // recorded for the reader of the journal, never matched
};

enum class TTransferRunStatus {
    Running, // never finished: still running elsewhere, or the process died
    Completed,
    Failed,
};

// A run recorded in the journal.
struct TTransferRun {
    int64_t Id = 0;
    TDateTime Started = 0; // local time, to the second
    int64_t Invoices = 0;
    TTransferRunStatus Status = TTransferRunStatus::Running;
    std::string Error; // the failure's text for a failed run
    std::string PoslDog, Referent;
    TDateTime IssueDate = 0;
};

class TTransferJournal {
public:
    // Opens the journal file, creating it (and a damaged one's replacement) when needed.
    // EDatabaseError when it can be neither opened nor created.
    explicit TTransferJournal(const std::filesystem::path& file = TransferJournalFile());
    ~TTransferJournal();
    TTransferJournal(const TTransferJournal&) = delete;
    TTransferJournal& operator=(const TTransferJournal&) = delete;

    // Where a damaged journal was moved at opening; empty when it was sound.
    const std::filesystem::path& MovedAside() const { return movedAside_; }

    // Starts a run: remembers its inputs and takes the current time as its start. Nothing
    // is written until RecordInvoice. A run begun while another is open replaces it (the
    // earlier one stays in the journal as it was).
    void BeginRun(const TTransferRunInputs& inputs);
    // Records one committed invoice of the current run; the first writes the run's row in
    // the same commit. Durable when it returns. EInvalidOperation without BeginRun;
    // EDatabaseError when the journal cannot be written (the invoice is then unrecorded).
    void RecordInvoice(const std::string& kljuc);
    // Ends the current run as completed, or as failed with the failure's text. A run that
    // recorded no invoice writes nothing.
    void FinishRun(bool completed, const std::string& error = {});
    // The current run's id once it has its row, else 0.
    int64_t CurrentRun() const { return runId_; }

    // The runs of the file with this hash into this data source (compared without regard to
    // ASCII case, as the driver manager does) that recorded invoices, oldest first.
    std::vector<TTransferRun> EarlierRuns(const std::string& fileHash,
                                          const std::string& dataSource) const;
    // A run's invoice keys in the order they were recorded.
    std::vector<std::string> InvoiceKeys(int64_t runId) const;

private:
    void Open();
    // Whether the next commit syncs the file (see Open).
    void SetSynced(bool full);

    std::filesystem::path file_;
    std::filesystem::path movedAside_;
    struct Db;
    std::unique_ptr<Db> db_;
    bool begun_ = false;
    TTransferRunInputs inputs_;
    TDateTime started_ = 0;
    int64_t runId_ = 0;
};

// "1 račun", "2 računa", "3 računi", "5 računov", by the Slovene dual and plural (the last
// two digits decide: 101 račun, 102 računa, 111 računov).
std::string RacunCount(int64_t n);

// A date and time as the operator reads it: "7. 12. 2026 ob 11:30".
std::string JournalDateTime(TDateTime dt);

// The question put to the operator before transferring a file again: "Datoteka je bila že
// prenesena 7. 12. 2026 ob 11:30 (42 računov). Želite nadaljevati?", naming every earlier
// run and which of them did not finish. Empty for no runs.
std::string EarlierRunsQuestion(const std::vector<TTransferRun>& runs);

// What the operator is told when a damaged journal had to be replaced.
std::string JournalDamagedNotice(const std::filesystem::path& movedTo);

} // namespace zen
