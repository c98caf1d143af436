#pragma once
// The transfer ledger: which transfer files, known by their content, booked which invoices
// into this Tevrin database. It lives in the database itself, in two tables of Zendrato's
// own (ZendratoPrenos, a row a run; ZendratoPrenosRacun, a row an invoice), and a group of
// invoices and their ledger rows are committed in one transaction: an invoice is in the
// database exactly when the ledger names it. So every home and every machine signed on to
// one database sees the same runs, and the repeat guard, the history, undo and resume need
// no settling after a kill.
//
// The tables are made by the first real run that needs them (EnsureLedgerTables); a dry
// run only reads them when they are there.

#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "transfer/RunTotals.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zen {

class THdbc;

// The ledger's tables are missing and this login may not make them; the message names them
// and what to do, and says that nothing was written.
ZEN_EXCEPTION_CLASS(ELedgerMissing, Exception);

inline constexpr const char* kLedgerRuns = "ZendratoPrenos";
inline constexpr const char* kLedgerInvoices = "ZendratoPrenosRacun";

// The statements that make the ledger's tables on a database of this kind (PostgreSQL or
// SQLite take the same text), for the first run and for a database administrator.
const std::vector<std::string>& LedgerDdl();
// The statements that add the columns of the control totals to a ZendratoPrenos made by an
// earlier version, one column each.
const std::vector<std::string>& LedgerTotalsDdl();

// What a run was given: the file's hash and the operator's inputs.
struct TTransferRunInputs {
    std::string FileHash;
    std::string DataSource;
    std::string PoslDog;
    std::string Referent;
    TDateTime IssueDate = 0;
    std::string FilePath; // recorded for the reader of the history, never matched
};

enum class TTransferRunStatus {
    Running, // not ended: still running (its file's lock is held), or the process died
    Completed,
    Failed,
};

// A run of the ledger.
struct TTransferRun {
    int64_t Id = 0;
    TDateTime Started = 0; // local time of the machine that ran it, to the second
    int64_t Invoices = 0;
    TTransferRunStatus Status = TTransferRunStatus::Running;
    bool Live = false; // running, and the lock of its file is held at this moment
    std::string Error; // the failure's text for a failed run
    std::string PoslDog, Referent;
    TDateTime IssueDate = 0;
    std::string FileHash, DataSource, FilePath;
    std::string Host, Home, User;  // who ran it
    std::string FirstKey, LastKey; // of its invoices in the order written; empty for none
    bool Undone = false;           // its invoices were deleted again by an undo
    std::string UndoneBy;
    TDateTime UndoneAt = 0;
    // Its control totals as its committed groups left them; none for a run that ended
    // before its check phase did, or that an earlier version made.
    std::optional<TRunTotals> Totals;
};

// One invoice of a run: its key and payer, its lines, and the fingerprint of its rows as
// they stood when the run committed them (empty when not known: a run of an old journal
// whose invoice had changed before it was read in).
struct TLedgerInvoice {
    std::string Kljuc, Placnik;
    int Lines = 0;
    std::string Fingerprint;
};

// Whether the ledger's tables are there; asked without a statement that could fail inside
// a transaction.
bool LedgerExists(THdbc& database);
// Makes the tables when they are missing (the connection in autocommit); ELedgerMissing
// when the login may not.
void EnsureLedgerTables(THdbc& database);
// Adds the columns of the control totals to a ZendratoPrenos that has not got them, also
// while another run adds them (the connection in autocommit); ELedgerMissing when the
// login may not. The history reads a ledger without them.
void EnsureLedgerTotals(THdbc& database);

// Starts a run: its row, with the inputs, the machine, home, user and process, committed
// before anything of the run is written. Returns its number.
int64_t BeginLedgerRun(THdbc& database, const TTransferRunInputs& inputs);
// A run read from a home's old journal, with its times as the journal kept them
// ("YYYY-MM-DD HH:MM:SS", the issue date "YYYY-MM-DD"), its state ("koncan", "prekinjen"),
// when and by whom it was undone (empty: not), where it came from and its invoices, in the
// caller's transaction. Returns its number.
int64_t ImportLedgerRun(THdbc& database, const TTransferRunInputs& inputs,
                        const std::string& started, const std::string& issueDate,
                        const std::string& state, const std::string& error,
                        const std::string& undoneAt, const std::string& undoneBy,
                        const std::string& origin, const std::vector<TLedgerInvoice>& invoices);
// Records a group's invoices in the transaction that commits them, in one statement.
void RecordLedgerInvoices(THdbc& database, int64_t runId, int firstSeq,
                          const std::vector<TLedgerInvoice>& invoices);
// Records the run's control totals as they stand, in the caller's transaction: after the
// check phase, and with each group in the transaction that commits it.
void RecordLedgerTotals(THdbc& database, int64_t runId, const TRunTotals& totals);
// Ends a run as completed, or as failed with the failure's text (autocommit).
void FinishLedgerRun(THdbc& database, int64_t runId, bool completed, const std::string& error);
// A stopped run goes on under its own number.
void ResumeLedgerRun(THdbc& database, int64_t runId);
// Marks a run undone by `who`, in the undo's transaction; false when it was already.
bool MarkLedgerRunUndone(THdbc& database, int64_t runId, const std::string& who);

// The runs, newest first, at most `limit` (0: all), each with its invoice count and first
// and last key, and whether it runs now. Empty when the ledger has no tables.
std::vector<TTransferRun> LedgerRuns(THdbc& database, int limit = 0);
// One run, or nullopt.
std::optional<TTransferRun> FindLedgerRun(THdbc& database, int64_t id);
// The runs of the file with this content that booked invoices that stay (not undone),
// oldest first.
std::vector<TTransferRun> LedgerRunsOfFile(THdbc& database, const std::string& fileHash);
// A run's invoices in the order written.
std::vector<TLedgerInvoice> LedgerInvoices(THdbc& database, int64_t runId);
// The number of invoices a run recorded so far (the next sequence number).
int LedgerInvoiceCount(THdbc& database, int64_t runId);

// "1 račun", "2 računa", "3 računi", "5 računov", by the Slovene dual and plural (the last
// two digits decide: 101 račun, 102 računa, 111 računov).
std::string RacunCount(int64_t n);

// A date and time as the operator reads it: "7. 12. 2026 ob 11:30".
std::string JournalDateTime(TDateTime dt);

// "26IR00042–26IR00049", or the one key.
std::string KeyRange(const std::string& first, const std::string& last);

} // namespace zen
