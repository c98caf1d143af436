#include "transfer/TransferJournal.h"

#include "dbutil/ExceptionLog.h"
#include "localtable/SqliteFile.h"
#include "toolkit/Component.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"

#include <QCryptographicHash>
#include <QFile>
#include <chrono>
#include <cstdio>
#include <optional>

namespace zen {

using namespace lite;

namespace {

constexpr const char* kContext = "Transfer journal";

// Version 1 of the journal's tables. Times are local "YYYY-MM-DD HH:MM:SS" texts so that a
// reader with the sqlite3 shell sees them as they were.
constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS Run ("
    " Id INTEGER PRIMARY KEY,"
    " FileHash TEXT NOT NULL,"
    " DataSource TEXT NOT NULL,"
    " PoslDog TEXT, Referent TEXT, IssueDate TEXT, FilePath TEXT,"
    " Started TEXT NOT NULL,"
    " Status TEXT NOT NULL DEFAULT 'running' CHECK (Status IN ('running','completed','failed')),"
    " Finished TEXT, Error TEXT);"
    "CREATE INDEX IF NOT EXISTS Run_File ON Run (FileHash, DataSource COLLATE NOCASE);"
    "CREATE TABLE IF NOT EXISTS Invoice ("
    " RunId INTEGER NOT NULL REFERENCES Run (Id),"
    " Seq INTEGER NOT NULL,"
    " Kljuc TEXT NOT NULL,"
    " Recorded TEXT NOT NULL,"
    " PRIMARY KEY (RunId, Seq));"
    "PRAGMA user_version = 1;";

std::string IsoText(TDateTime dt) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

TDateTime FromIsoText(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    TDateTime date = 0, time = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s) < 3 ||
        !TryEncodeDate(y, mo, d, date)) {
        return 0;
    }
    TryEncodeTime(h, mi, s, 0, time);
    return date + time;
}

TTransferRunStatus StatusFromText(const std::string& text) {
    if (text == "completed") {
        return TTransferRunStatus::Completed;
    }
    return text == "failed" ? TTransferRunStatus::Failed : TTransferRunStatus::Running;
}

// The name MoveAside will give a damaged file; asked before the move, since it is the
// first free one.
std::filesystem::path AsideName(const std::filesystem::path& file) {
    for (int n = 1;; ++n) {
        std::filesystem::path target = file;
        target += n == 1 ? ".damaged" : ".damaged" + std::to_string(n);
        if (!std::filesystem::exists(target)) {
            return target;
        }
    }
}

} // namespace

struct TTransferJournal::Db {
    std::unique_ptr<sqlite3, DbCloser> handle;
    // Prepared once for the invoices of all runs; finalized before the handle closes.
    std::optional<Statement> recordKey;
    bool synced = false; // synchronous=FULL set, rather than NORMAL
    std::chrono::steady_clock::time_point lastSync;
};

std::filesystem::path TransferJournalFile() {
    return ZendratoHome() / "TransferJournal.db";
}

std::string TransferFileHash(const std::filesystem::path& file) {
    QFile in(QString::fromStdString(file.string()));
    if (!in.open(QIODevice::ReadOnly)) {
        throw EInOutError("Cannot read " + file.string() + ": " + in.errorString().toStdString());
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&in)) {
        throw EInOutError("Cannot read " + file.string() + ": " + in.errorString().toStdString());
    }
    return hash.result().toHex().toStdString();
}

std::string TransferContentHash(const std::vector<unsigned char>& bytes) {
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), qsizetype(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

TTransferJournal::TTransferJournal(const std::filesystem::path& file)
    : file_(file), db_(std::make_unique<Db>()) {
    auto moveAside = [this] {
        db_->recordKey.reset();
        db_->handle.reset();
        std::filesystem::path target = AsideName(file_);
        MoveAside(file_);
        // The write-ahead log goes with its file: it may hold the latest keys, which the
        // copy set aside must keep, and it belongs to no new journal.
        std::error_code ec;
        std::filesystem::rename(file_.string() + "-wal", target.string() + "-wal", ec);
        std::filesystem::remove(file_.string() + "-shm", ec);
        movedAside_ = target;
        LogException(EDatabaseError("The transfer journal " + file_.string() +
                                    " was damaged; moved to " + target.string() +
                                    " and started anew, so earlier runs are not known"),
                     &Application(), "TTransferJournal");
    };
    if (IsDamaged(file_)) {
        moveAside();
    }
    try {
        Open();
    } catch (const EDatabaseError&) {
        // Damage that only shows on writing (a header that reads well over bad pages).
        if (!movedAside_.empty() || !IsDamaged(file_)) {
            throw;
        }
        moveAside();
        Open();
    }
}

TTransferJournal::~TTransferJournal() = default;

// How the journal stays true at little cost. A key is recorded right after its invoice
// is committed in the Tevrin database, so the window in which an invoice is committed but
// not named is the time between the two commits, whatever is synced.
//
// Against a killed process it is enough that the key has been written to the file: the
// kernel keeps what was written. The file has a write-ahead log (OpenFile), where with
// synchronous=NORMAL a commit is an append to the log and no sync at all, and the next
// opening reads the log.
//
// Against a power cut only what was synced counts. A sync of the log with every key cost
// a seventh of a run on a slow disk, so the log is synced (synchronous=FULL for that commit, which
// makes every commit before it durable too) when the run gets its row with its first key, and then
// whenever kSyncInterval has passed since the last sync, and at the run's end. A power cut can so
// lose at most the keys of the last interval, never the run itself: the run is still
// known and the operator is still asked before the file goes in again.
constexpr auto kSyncInterval = std::chrono::seconds(1);

void TTransferJournal::Open() {
    db_->recordKey.reset();
    db_->handle.reset(OpenFile(file_, true, kContext));
    db_->synced = false; // OpenFile's synchronous=NORMAL
    Exec(db_->handle.get(), kSchema, kContext);
}

void TTransferJournal::SetSynced(bool full) {
    if (db_->synced != full) {
        Exec(db_->handle.get(), full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL",
             kContext);
        db_->synced = full;
    }
}

void TTransferJournal::BeginRun(const TTransferRunInputs& inputs) {
    inputs_ = inputs;
    started_ = Now();
    runId_ = 0;
    begun_ = true;
}

void TTransferJournal::RecordInvoice(const std::string& kljuc) {
    if (!begun_) {
        throw EInvalidOperation("Transfer journal: an invoice recorded outside a run");
    }
    sqlite3* db = db_->handle.get();
    const auto now = std::chrono::steady_clock::now();
    const bool sync = runId_ == 0 || now - db_->lastSync >= kSyncInterval;
    SetSynced(sync);
    // The run's row and its first key go in together; a later key is one insert, atomic
    // by itself.
    std::optional<Transaction> tx;
    if (runId_ == 0) {
        tx.emplace(db, kContext);
        Statement run(db,
                      "INSERT INTO Run (FileHash, DataSource, PoslDog, Referent, IssueDate, "
                      "FilePath, Started) VALUES (?, ?, ?, ?, ?, ?, ?)",
                      kContext);
        Bind(run.get(), 1, inputs_.FileHash);
        Bind(run.get(), 2, inputs_.DataSource);
        Bind(run.get(), 3, inputs_.PoslDog);
        Bind(run.get(), 4, inputs_.Referent);
        Bind(run.get(), 5, IsoText(inputs_.IssueDate).substr(0, 10));
        Bind(run.get(), 6, inputs_.FilePath);
        Bind(run.get(), 7, IsoText(started_));
        Step(run.get(), db, kContext);
    }
    int64_t id = runId_ ? runId_ : sqlite3_last_insert_rowid(db);
    // The next number from the key's index, not a count of the run's rows, which grew
    // slower with every invoice of a long run.
    if (!db_->recordKey) {
        db_->recordKey.emplace(db,
                               "INSERT INTO Invoice (RunId, Seq, Kljuc, Recorded) VALUES (?1, "
                               "(SELECT IFNULL(MAX(Seq) + 1, 0) FROM Invoice WHERE RunId = ?1), "
                               "?2, ?3)",
                               kContext);
    }
    sqlite3_stmt* key = db_->recordKey->get();
    sqlite3_reset(key);
    Bind(key, 1, id);
    Bind(key, 2, kljuc);
    Bind(key, 3, IsoText(Now()));
    Step(key, db, kContext);
    if (tx) {
        tx->Commit();
    }
    runId_ = id;
    if (sync) {
        db_->lastSync = now;
    }
}

void TTransferJournal::FinishRun(bool completed, const std::string& error) {
    int64_t id = runId_;
    begun_ = false;
    runId_ = 0;
    if (id == 0) {
        return;
    }
    sqlite3* db = db_->handle.get();
    SetSynced(true);
    Statement s(db, "UPDATE Run SET Status = ?, Finished = ?, Error = ? WHERE Id = ?", kContext);
    Bind(s.get(), 1, std::string(completed ? "completed" : "failed"));
    Bind(s.get(), 2, IsoText(Now()));
    Bind(s.get(), 3, completed ? TLocalValue{} : TLocalValue{error});
    Bind(s.get(), 4, id);
    Step(s.get(), db, kContext);
}

std::vector<TTransferRun> TTransferJournal::EarlierRuns(const std::string& fileHash,
                                                        const std::string& dataSource) const {
    sqlite3* db = db_->handle.get();
    Statement s(db,
                "SELECT r.Id, r.Started, r.Status, r.Error, r.PoslDog, r.Referent, r.IssueDate, "
                "COUNT(*) FROM Run r JOIN Invoice i ON i.RunId = r.Id "
                "WHERE r.FileHash = ? AND r.DataSource = ? COLLATE NOCASE "
                "GROUP BY r.Id ORDER BY r.Started, r.Id",
                kContext);
    Bind(s.get(), 1, fileHash);
    Bind(s.get(), 2, dataSource);
    std::vector<TTransferRun> runs;
    for (int rc; (rc = sqlite3_step(s.get())) != SQLITE_DONE;) {
        if (rc != SQLITE_ROW) {
            throw EDatabaseError(std::string(kContext) + ": " + sqlite3_errmsg(db));
        }
        TTransferRun r;
        r.Id = sqlite3_column_int64(s.get(), 0);
        r.Started = FromIsoText(ColumnText(s.get(), 1));
        r.Status = StatusFromText(ColumnText(s.get(), 2));
        r.Error = ColumnText(s.get(), 3);
        r.PoslDog = ColumnText(s.get(), 4);
        r.Referent = ColumnText(s.get(), 5);
        r.IssueDate = FromIsoText(ColumnText(s.get(), 6));
        r.Invoices = sqlite3_column_int64(s.get(), 7);
        runs.push_back(std::move(r));
    }
    return runs;
}

std::vector<std::string> TTransferJournal::InvoiceKeys(int64_t runId) const {
    sqlite3* db = db_->handle.get();
    Statement s(db, "SELECT Kljuc FROM Invoice WHERE RunId = ? ORDER BY Seq", kContext);
    Bind(s.get(), 1, runId);
    std::vector<std::string> keys;
    for (int rc; (rc = sqlite3_step(s.get())) != SQLITE_DONE;) {
        if (rc != SQLITE_ROW) {
            throw EDatabaseError(std::string(kContext) + ": " + sqlite3_errmsg(db));
        }
        keys.push_back(ColumnText(s.get(), 0));
    }
    return keys;
}

std::string RacunCount(int64_t n) {
    int64_t last = (n < 0 ? -n : n) % 100;
    const char* word = last == 1                ? "račun"
                       : last == 2              ? "računa"
                       : last == 3 || last == 4 ? "računi"
                                                : "računov";
    return std::to_string(n) + " " + word;
}

std::string JournalDateTime(TDateTime dt) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%d. %d. %d ob %02d:%02d", d, mo, y, h, mi);
    return buf;
}

std::string EarlierRunsQuestion(const std::vector<TTransferRun>& runs) {
    if (runs.empty()) {
        return {};
    }
    bool allUnfinished = true;
    for (const TTransferRun& r : runs) {
        allUnfinished = allUnfinished && r.Status != TTransferRunStatus::Completed;
    }
    std::string text =
        allUnfinished ? "Datoteka je bila že delno prenesena " : "Datoteka je bila že prenesena ";
    for (size_t i = 0; i < runs.size(); ++i) {
        if (i > 0) {
            text += i + 1 == runs.size() ? " in " : ", ";
        }
        text += JournalDateTime(runs[i].Started) + " (" + RacunCount(runs[i].Invoices);
        // Where all are partial the opening says so; in a mixed list each partial one does.
        if (!allUnfinished && runs[i].Status != TTransferRunStatus::Completed) {
            text += ", prenos ni bil končan";
        }
        text += ")";
    }
    return text + ". Želite nadaljevati?";
}

std::string JournalDamagedNotice(const std::filesystem::path& movedTo) {
    return "Dnevnik prenosov je bil poškodovan, zato je bil shranjen kot " + movedTo.string() +
           " in začet je nov. Za datoteke, prenesene pred tem, opozorila o ponovnem prenosu "
           "ni več.";
}

} // namespace zen
