#pragma once
// The re-run protection journal: which transfer files, known by their content, have
// already booked invoices into which data source. Transferring a file twice books every
// invoice twice, so a run asks the journal before it starts and records every invoice
// before it commits. A run's row is written (and synced) before its first invoice; each
// invoice's key is written as pending before the invoice is committed in the database and
// confirmed after, so a run that failed or was killed at any moment is known with every
// invoice it committed. A pending key that a killed run left is settled against the
// database by the next run into the same data source: confirmed when the invoice is there
// as the run wrote it, dropped when it is not (what a power cut may take is told at
// TTransferJournal::Open). Dry runs leave no trace.
//
// The journal is a SQLite file in the home directory. A damaged file is moved aside
// ("<name>.damaged") and a new one started; the fault goes to the exception log and
// MovedAside() says so, because the earlier runs are then no longer known.

#include "toolkit/DateTime.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
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
    std::string FileHash, DataSource, FilePath;
    std::string FirstKey, LastKey; // of its invoices in the order recorded; empty for none
    bool Undone = false;           // its invoices were deleted again by an undo
    bool Undoing = false;          // an undo began and its end is not known
    std::string UndoneBy;
    TDateTime UndoneAt = 0;
};

// What a run wrote of one invoice, for an undo to see whether it is still so.
struct TInvoiceStamp {
    int Lines = 0;
    std::string Vrednost, ZaPlacilo; // the header's totals as Currency texts ("66.7400")
    TDateTime DatumSpre = 0;         // the header's change stamp
};

// One invoice of a run in the journal.
struct TJournalInvoice {
    std::string Kljuc, Placnik;
    bool Pending = false;
    std::optional<TInvoiceStamp> Stamp; // none for invoices recorded before stamps were kept
};

// An invoice about to be committed, for RecordPending.
struct TPendingKey {
    std::string Kljuc, Placnik;
    TInvoiceStamp Stamp;
};

// A key written as pending, of a run into some data source.
struct TPendingInvoice {
    int64_t RunId = 0;
    std::string Kljuc, Placnik;
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

    // Starts a run: writes its row with its inputs and the current time, synced, before
    // anything of the run reaches the database. A run begun while another is open replaces
    // it (the earlier one stays in the journal as it was). EDatabaseError when the journal
    // cannot be written: the run must then not start.
    void BeginRun(const TTransferRunInputs& inputs);
    // Writes the key of an invoice about to be committed as pending, with its payer, in
    // the file before it returns (a killed process loses nothing written). Called before
    // the invoice's commit; EDatabaseError when the journal cannot take it, and the
    // invoice must then not be committed. EInvalidOperation without BeginRun.
    void RecordPending(const std::string& kljuc, const std::string& placnik,
                       const TInvoiceStamp& stamp = {});
    // The same for the invoices of a group about to be committed in one transaction of the
    // database, all in one write.
    void RecordPending(const std::vector<TPendingKey>& keys);
    // The pending invoices were committed. Costs nothing now: the confirmation is written
    // with the next pending key or at the run's end, and until then the next reader
    // settles the key against the database.
    void InvoiceCommitted();
    // The pending invoices were not committed (rolled back): their keys are removed.
    void DropPending();
    // RecordPending and InvoiceCommitted together, for an invoice already committed.
    void RecordInvoice(const std::string& kljuc, const std::string& placnik = {});
    // Ends the current run as completed, or as failed with the failure's text, writing a
    // confirmation still due.
    void FinishRun(bool completed, const std::string& error = {});
    // The current run's id, 0 outside a run.
    int64_t CurrentRun() const { return runId_; }

    // Settles the pending keys of runs into this data source (compared without regard to
    // ASCII case): `committed` answers for each key and its payer whether the database
    // holds that invoice; confirmed keys become the run's invoices, the others go.
    // Returns how many keys were pending.
    int SettlePending(
        const std::string& dataSource,
        const std::function<bool(const std::string& kljuc, const std::string& placnik)>& committed);

    // The runs of the file with this hash into this data source (compared without regard to
    // ASCII case, as the driver manager does) that recorded invoices, oldest first.
    std::vector<TTransferRun> EarlierRuns(const std::string& fileHash,
                                          const std::string& dataSource) const;
    // The runs recorded, newest first, into one data source (all when empty), at most
    // `limit` of them (0: all), each with its invoice count and first and last key.
    std::vector<TTransferRun> Runs(const std::string& dataSource = {}, int limit = 0) const;
    // One run, or nullopt when the journal has no run of that number.
    std::optional<TTransferRun> FindRun(int64_t id) const;
    // A run's invoices in the order recorded.
    std::vector<TJournalInvoice> Invoices(int64_t runId) const;
    // The latest run of this file into this data source that stopped with invoices
    // committed (failed, or never finished) and was not undone: the run a resume goes on.
    std::optional<TTransferRun> StoppedRun(const std::string& fileHash,
                                           const std::string& dataSource) const;
    // Goes on with a stopped run: its invoices are recorded under it again, as one run.
    void ResumeRun(int64_t id);
    // An undo of a run: begun (written before its deletes commit) and ended, as done or
    // not. `who` is the operator's name.
    void BeginUndo(int64_t id);
    void EndUndo(int64_t id, bool done, const std::string& who = {});
    // Settles undos whose end is not known (the process died between the database's commit
    // and the journal): `stillThere` answers whether a key is still in the database.
    void SettleUndos(const std::string& dataSource,
                     const std::function<bool(const std::string& kljuc)>& stillThere);

    // A run's invoice keys in the order they were recorded, pending ones included.
    std::vector<std::string> InvoiceKeys(int64_t runId) const;

private:
    void Open();
    // Whether the next commit syncs the file (see Open).
    void SetSynced(bool full);

    std::filesystem::path file_;
    std::filesystem::path movedAside_;
    struct Db;
    std::unique_ptr<Db> db_;
    int64_t runId_ = 0;
    // The keys written as pending and not yet confirmed or dropped.
    std::vector<std::string> pending_;
    bool confirmDue_ = false; // pending_ were committed; their confirmation is not yet written
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
