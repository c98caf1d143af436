#pragma once
// The transfer journal that earlier versions kept in each home directory: which files
// booked which invoices into which data source. The ledger in the Tevrin database has taken
// its place; a home's journal is read once into the ledger of each data source it names
// (ImportHomeJournal), so that files booked before still count, and then set aside.
//
// A damaged journal is never passed over: the files it knew would be booked again, so it
// is reported (EJournalDamaged) and stays where it is until the operator moves it.

#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zen {

class THdbc;

// The home's journal cannot be read; the message names the file and what to do.
ZEN_EXCEPTION_CLASS(EJournalDamaged, Exception);

// The journal's file in the home directory.
std::filesystem::path TransferJournalFile();

// SHA-256 of a file's bytes as 64 lower-case hexadecimal digits; EInOutError when the file
// cannot be read.
std::string TransferFileHash(const std::filesystem::path& file);
// The same of bytes already read.
std::string TransferContentHash(const std::vector<unsigned char>& bytes);

// What the run wrote of one invoice, as the journal kept it.
struct TInvoiceStamp {
    int Lines = 0;
    std::string Vrednost, ZaPlacilo; // the header's totals as Currency texts ("66.7400")
    TDateTime DatumSpre = 0;         // the header's change stamp
};

// A run of the journal.
struct TJournalRun {
    int64_t Id = 0;
    std::string Started; // "YYYY-MM-DD HH:MM:SS"
    std::string Status;  // "running", "completed" or "failed"
    std::string Error, PoslDog, Referent, IssueDate, FileHash, DataSource, FilePath;
    std::string Undo, Undone, UndoneBy; // "undoing"/"undone", when, by whom
};

// One invoice of a run.
struct TJournalInvoice {
    std::string Kljuc, Placnik;
    bool Pending = false;               // written before a commit whose end was not known
    std::optional<TInvoiceStamp> Stamp; // none for invoices recorded before stamps were kept
};

class TTransferJournal {
public:
    // Opens the journal file; EJournalDamaged when it is not a journal that can be read.
    explicit TTransferJournal(const std::filesystem::path& file);
    ~TTransferJournal();
    TTransferJournal(const TTransferJournal&) = delete;
    TTransferJournal& operator=(const TTransferJournal&) = delete;

    // The runs into this data source (compared without regard to ASCII case, as the driver
    // manager does), oldest first.
    std::vector<TJournalRun> Runs(const std::string& dataSource) const;
    // A run's invoices in the order recorded.
    std::vector<TJournalInvoice> Invoices(int64_t runId) const;
    // Whether its runs of this data source were read into a ledger; and marks them so.
    bool Imported(const std::string& dataSource) const;
    void MarkImported(const std::string& dataSource);
    // Whether every data source it names has been read into a ledger.
    bool AllImported() const;

private:
    std::filesystem::path file_;
    struct Db;
    std::unique_ptr<Db> db_;
};

// Reads the runs the home's journal (`file`, the home's own when empty) holds for
// `dataSource` into the ledger of `database` (whose tables must exist), once; the journal
// is set aside when every data source it names has been read. An invoice whose key the
// journal left pending counts only when the database holds it as the run wrote it. Returns
// how many runs were read in. EJournalDamaged for a damaged journal, with nothing written.
int ImportHomeJournal(THdbc& database, const std::string& dataSource,
                      const std::filesystem::path& file = {});

// Before the ledger's runs are listed: the runs the home's old journal knew go into it too
// (its tables made for them when needed). Answers what is wrong with a journal that cannot
// be read, or empty; the ledger is to be listed all the same.
std::string ImportJournalBeforeListing(THdbc& database, const std::string& dataSource);

} // namespace zen
