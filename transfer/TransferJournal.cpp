#include "transfer/TransferJournal.h"

#include "dbutil/ExceptionLog.h"
#include "localtable/SqliteFile.h"
#include "toolkit/Component.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"

#include <QCryptographicHash>
#include <QFile>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <optional>

namespace zen {

using namespace lite;

namespace {

constexpr const char* kContext = "Transfer journal";

// The journal's tables. Times are local "YYYY-MM-DD HH:MM:SS" texts so that a reader with
// the sqlite3 shell sees them as they were. Version 2 added each invoice's payer and its
// state (pending until its commit in the database is known); a file of version 1 gets the
// columns when it is opened, its keys all committed.
constexpr const char* kTables =
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
    " PRIMARY KEY (RunId, Seq));";
// Version 2 also keeps what an undo checks of each invoice (its lines, totals and change
// stamp as the run wrote them) and of each run when it was resumed and undone.
constexpr const char* kVersion2 =
    "ALTER TABLE Invoice ADD COLUMN Placnik TEXT;"
    "ALTER TABLE Invoice ADD COLUMN State TEXT NOT NULL DEFAULT 'committed'"
    " CHECK (State IN ('pending','committed'));"
    "ALTER TABLE Invoice ADD COLUMN Lines INTEGER;"
    "ALTER TABLE Invoice ADD COLUMN Vrednost TEXT;"
    "ALTER TABLE Invoice ADD COLUMN ZaPlacilo TEXT;"
    "ALTER TABLE Invoice ADD COLUMN DatumSpre TEXT;"
    "ALTER TABLE Run ADD COLUMN Resumed TEXT;"
    "ALTER TABLE Run ADD COLUMN Undo TEXT CHECK (Undo IN ('undoing','undone'));"
    "ALTER TABLE Run ADD COLUMN Undone TEXT;"
    "ALTER TABLE Run ADD COLUMN UndoneBy TEXT;"
    "CREATE INDEX Invoice_Pending ON Invoice (State) WHERE State = 'pending';"
    "PRAGMA user_version = 2;";

std::string IsoText(TDateTime dt) {
    int y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return buf;
}

// A change stamp as a date-time value, exactly and whatever the locale, and back.
std::string StampText(TDateTime dt) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, dt).ptr);
}

TDateTime StampFromText(const std::string& text) {
    double v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
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

// Steps to a statement's next row: false at its end, EDatabaseError on a failure.
bool NextRow(sqlite3_stmt* s, sqlite3* db) {
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        throw EDatabaseError(std::string(kContext) + ": " + sqlite3_errmsg(db));
    }
    return rc == SQLITE_ROW;
}

} // namespace

struct TTransferJournal::Db {
    std::unique_ptr<sqlite3, DbCloser> handle;
    // Prepared once for the invoices of all runs; finalized before the handle closes.
    std::optional<Statement> recordKey;
    std::optional<Statement> confirmKeys;
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
        db_->confirmKeys.reset();
        db_->handle.reset();
        // The write-ahead log goes with its file: it may hold the latest keys, which the
        // copy set aside must keep, and it belongs to no new journal.
        const std::filesystem::path target = MoveAside(file_);
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

// How the journal stays true at little cost. An invoice's key is written as pending before
// the invoice is committed in the Tevrin database, so no moment exists in which an invoice
// is committed and its key is not in the journal; a key left pending by a killed run is
// settled against the database by the next run (SettlePending).
//
// Against a killed process it is enough that the key has been written to the file: the
// kernel keeps what was written. The file has a write-ahead log (OpenFile), where with
// synchronous=NORMAL a commit is an append to the log and no sync at all, and the next
// opening reads the log.
//
// Against a power cut only what was synced counts. A sync of the log with every key cost
// a seventh of a run on a slow disk, so the log is synced (synchronous=FULL for that commit,
// which makes every commit before it durable too) when the run's row is written, before its
// first invoice, then whenever kSyncInterval has passed since the last sync, and at the
// run's end. A power cut can so lose at most the keys of the last interval, never the run
// itself: the run is still known and the operator is still asked before the file goes in
// again.
constexpr auto kSyncInterval = std::chrono::seconds(1);

void TTransferJournal::Open() {
    db_->recordKey.reset();
    db_->confirmKeys.reset();
    db_->handle.reset(OpenFile(file_, true, kContext));
    db_->synced = false; // OpenFile's synchronous=NORMAL
    sqlite3* db = db_->handle.get();
    Transaction tx(db, kContext);
    Exec(db, kTables, kContext);
    Statement version(db, "PRAGMA user_version", kContext);
    int64_t v =
        sqlite3_step(version.get()) == SQLITE_ROW ? sqlite3_column_int64(version.get(), 0) : 0;
    sqlite3_reset(version.get());
    if (v > 2) {
        throw EDatabaseError(std::string(kContext) + ": " + file_.string() +
                             " was written by a newer version of the program");
    }
    if (v < 2) {
        Exec(db, kVersion2, kContext);
    }
    tx.Commit();
}

void TTransferJournal::SetSynced(bool full) {
    if (db_->synced != full) {
        Exec(db_->handle.get(), full ? "PRAGMA synchronous=FULL" : "PRAGMA synchronous=NORMAL",
             kContext);
        db_->synced = full;
    }
}

void TTransferJournal::BeginRun(const TTransferRunInputs& inputs) {
    sqlite3* db = db_->handle.get();
    runId_ = 0;
    pending_.clear();
    confirmDue_ = false;
    SetSynced(true);
    Statement run(db,
                  "INSERT INTO Run (FileHash, DataSource, PoslDog, Referent, IssueDate, "
                  "FilePath, Started) VALUES (?, ?, ?, ?, ?, ?, ?)",
                  kContext);
    Bind(run.get(), 1, inputs.FileHash);
    Bind(run.get(), 2, inputs.DataSource);
    Bind(run.get(), 3, inputs.PoslDog);
    Bind(run.get(), 4, inputs.Referent);
    Bind(run.get(), 5, IsoText(inputs.IssueDate).substr(0, 10));
    Bind(run.get(), 6, inputs.FilePath);
    Bind(run.get(), 7, IsoText(Now()));
    Step(run.get(), db, kContext);
    runId_ = sqlite3_last_insert_rowid(db);
    db_->lastSync = std::chrono::steady_clock::now();
}

void TTransferJournal::RecordPending(const std::string& kljuc, const std::string& placnik,
                                     const TInvoiceStamp& stamp) {
    RecordPending(std::vector<TPendingKey>{{kljuc, placnik, stamp}});
}

void TTransferJournal::RecordPending(const std::vector<TPendingKey>& keys) {
    if (runId_ == 0) {
        throw EInvalidOperation("Transfer journal: an invoice recorded outside a run");
    }
    sqlite3* db = db_->handle.get();
    const auto now = std::chrono::steady_clock::now();
    const bool sync = now - db_->lastSync >= kSyncInterval;
    SetSynced(sync);
    // The confirmation of the invoices before and these keys go in together.
    Transaction tx(db, kContext);
    if (confirmDue_) {
        if (!db_->confirmKeys) {
            db_->confirmKeys.emplace(
                db, "UPDATE Invoice SET State = 'committed' WHERE RunId = ? AND State = 'pending'",
                kContext);
        }
        sqlite3_stmt* confirm = db_->confirmKeys->get();
        sqlite3_reset(confirm);
        Bind(confirm, 1, runId_);
        Step(confirm, db, kContext);
    }
    // The next number from the key's index, not a count of the run's rows, which grew
    // slower with every invoice of a long run.
    if (!db_->recordKey) {
        db_->recordKey.emplace(db,
                               "INSERT INTO Invoice (RunId, Seq, Kljuc, Recorded, Placnik, State, "
                               "Lines, Vrednost, ZaPlacilo, DatumSpre) VALUES (?1, (SELECT "
                               "IFNULL(MAX(Seq) + 1, 0) FROM Invoice WHERE RunId = ?1), ?2, ?3, "
                               "?4, 'pending', ?5, ?6, ?7, ?8)",
                               kContext);
    }
    sqlite3_stmt* key = db_->recordKey->get();
    for (const TPendingKey& k : keys) {
        sqlite3_reset(key);
        Bind(key, 1, runId_);
        Bind(key, 2, k.Kljuc);
        Bind(key, 3, IsoText(Now()));
        Bind(key, 4, k.Placnik);
        Bind(key, 5, int64_t(k.Stamp.Lines));
        Bind(key, 6, k.Stamp.Vrednost);
        Bind(key, 7, k.Stamp.ZaPlacilo);
        Bind(key, 8, StampText(k.Stamp.DatumSpre));
        Step(key, db, kContext);
    }
    tx.Commit();
    confirmDue_ = false;
    pending_.clear();
    for (const TPendingKey& k : keys) {
        pending_.push_back(k.Kljuc);
    }
    if (sync) {
        db_->lastSync = now;
    }
}

void TTransferJournal::InvoiceCommitted() {
    confirmDue_ = !pending_.empty();
}

void TTransferJournal::DropPending() {
    if (pending_.empty() || confirmDue_) {
        return;
    }
    sqlite3* db = db_->handle.get();
    Transaction tx(db, kContext);
    Statement s(db, "DELETE FROM Invoice WHERE RunId = ? AND Kljuc = ? AND State = 'pending'",
                kContext);
    for (const std::string& kljuc : pending_) {
        sqlite3_reset(s.get());
        Bind(s.get(), 1, runId_);
        Bind(s.get(), 2, kljuc);
        Step(s.get(), db, kContext);
    }
    tx.Commit();
    pending_.clear();
}

void TTransferJournal::RecordInvoice(const std::string& kljuc, const std::string& placnik) {
    RecordPending(kljuc, placnik);
    InvoiceCommitted();
}

void TTransferJournal::FinishRun(bool completed, const std::string& error) {
    int64_t id = runId_;
    if (id == 0) {
        return;
    }
    sqlite3* db = db_->handle.get();
    SetSynced(true);
    Transaction tx(db, kContext);
    if (confirmDue_) {
        Statement confirm(
            db, "UPDATE Invoice SET State = 'committed' WHERE RunId = ? AND State = 'pending'",
            kContext);
        Bind(confirm.get(), 1, id);
        Step(confirm.get(), db, kContext);
    }
    Statement s(db, "UPDATE Run SET Status = ?, Finished = ?, Error = ? WHERE Id = ?", kContext);
    Bind(s.get(), 1, std::string(completed ? "completed" : "failed"));
    Bind(s.get(), 2, IsoText(Now()));
    Bind(s.get(), 3, completed ? TLocalValue{} : TLocalValue{error});
    Bind(s.get(), 4, id);
    Step(s.get(), db, kContext);
    tx.Commit();
    runId_ = 0;
    pending_.clear();
    confirmDue_ = false;
}

int TTransferJournal::SettlePending(
    const std::string& dataSource,
    const std::function<bool(const std::string&, const std::string&)>& committed) {
    sqlite3* db = db_->handle.get();
    std::vector<TPendingInvoice> pending;
    {
        Statement s(db,
                    "SELECT i.RunId, i.Kljuc, i.Placnik FROM Invoice i JOIN Run r ON r.Id = "
                    "i.RunId WHERE i.State = 'pending' AND r.DataSource = ? COLLATE NOCASE "
                    "AND r.Id <> ?",
                    kContext);
        Bind(s.get(), 1, dataSource);
        Bind(s.get(), 2, runId_);
        while (NextRow(s.get(), db)) {
            pending.push_back(
                {sqlite3_column_int64(s.get(), 0), ColumnText(s.get(), 1), ColumnText(s.get(), 2)});
        }
    }
    if (pending.empty()) {
        return 0;
    }
    // Asked of the database before the journal is touched, so that a lookup that fails
    // leaves every key pending.
    std::vector<bool> in(pending.size());
    for (size_t i = 0; i < pending.size(); ++i) {
        in[i] = committed(pending[i].Kljuc, pending[i].Placnik);
    }
    SetSynced(true);
    Transaction tx(db, kContext);
    Statement confirm(db,
                      "UPDATE Invoice SET State = 'committed' WHERE RunId = ? AND Kljuc = ? AND "
                      "State = 'pending'",
                      kContext);
    Statement drop(db, "DELETE FROM Invoice WHERE RunId = ? AND Kljuc = ? AND State = 'pending'",
                   kContext);
    for (size_t i = 0; i < pending.size(); ++i) {
        sqlite3_stmt* s = in[i] ? confirm.get() : drop.get();
        sqlite3_reset(s);
        Bind(s, 1, pending[i].RunId);
        Bind(s, 2, pending[i].Kljuc);
        Step(s, db, kContext);
    }
    tx.Commit();
    return static_cast<int>(pending.size());
}

namespace {

// Every run's columns, its invoice count and its first and last key; a WHERE, ORDER and
// LIMIT follow.
constexpr const char* kRunSelect =
    "SELECT r.Id, r.Started, r.Status, r.Error, r.PoslDog, r.Referent, r.IssueDate, "
    "r.FileHash, r.DataSource, r.FilePath, r.Undo, r.Undone, r.UndoneBy, "
    "(SELECT COUNT(*) FROM Invoice i WHERE i.RunId = r.Id), "
    "(SELECT Kljuc FROM Invoice i WHERE i.RunId = r.Id ORDER BY Seq LIMIT 1), "
    "(SELECT Kljuc FROM Invoice i WHERE i.RunId = r.Id ORDER BY Seq DESC LIMIT 1) "
    "FROM Run r ";

TTransferRun RunFromRow(sqlite3_stmt* s) {
    TTransferRun r;
    r.Id = sqlite3_column_int64(s, 0);
    r.Started = FromIsoText(ColumnText(s, 1));
    r.Status = StatusFromText(ColumnText(s, 2));
    r.Error = ColumnText(s, 3);
    r.PoslDog = ColumnText(s, 4);
    r.Referent = ColumnText(s, 5);
    r.IssueDate = FromIsoText(ColumnText(s, 6));
    r.FileHash = ColumnText(s, 7);
    r.DataSource = ColumnText(s, 8);
    r.FilePath = ColumnText(s, 9);
    r.Undone = ColumnText(s, 10) == "undone";
    r.Undoing = ColumnText(s, 10) == "undoing";
    r.UndoneAt = FromIsoText(ColumnText(s, 11));
    r.UndoneBy = ColumnText(s, 12);
    r.Invoices = sqlite3_column_int64(s, 13);
    r.FirstKey = ColumnText(s, 14);
    r.LastKey = ColumnText(s, 15);
    return r;
}

std::vector<TTransferRun> ReadRuns(sqlite3* db, Statement& s) {
    std::vector<TTransferRun> runs;
    while (NextRow(s.get(), db)) {
        runs.push_back(RunFromRow(s.get()));
    }
    return runs;
}

} // namespace

std::vector<TTransferRun> TTransferJournal::EarlierRuns(const std::string& fileHash,
                                                        const std::string& dataSource) const {
    sqlite3* db = db_->handle.get();
    // Runs whose invoices an undo took back booked nothing that stays.
    Statement s(db,
                std::string(kRunSelect) +
                    "WHERE r.FileHash = ? AND r.DataSource = ? COLLATE NOCASE AND IFNULL(r.Undo, "
                    "'') <> 'undone' "
                    "AND EXISTS (SELECT 1 FROM Invoice i WHERE i.RunId = r.Id) "
                    "ORDER BY r.Started, r.Id",
                kContext);
    Bind(s.get(), 1, fileHash);
    Bind(s.get(), 2, dataSource);
    return ReadRuns(db, s);
}

std::vector<TTransferRun> TTransferJournal::Runs(const std::string& dataSource, int limit) const {
    sqlite3* db = db_->handle.get();
    Statement s(db,
                std::string(kRunSelect) + "WHERE ?1 = '' OR r.DataSource = ?1 COLLATE NOCASE "
                                          "ORDER BY r.Started DESC, r.Id DESC LIMIT ?2",
                kContext);
    Bind(s.get(), 1, dataSource);
    Bind(s.get(), 2, int64_t(limit > 0 ? limit : -1));
    return ReadRuns(db, s);
}

std::optional<TTransferRun> TTransferJournal::FindRun(int64_t id) const {
    sqlite3* db = db_->handle.get();
    Statement s(db, std::string(kRunSelect) + "WHERE r.Id = ?", kContext);
    Bind(s.get(), 1, id);
    std::vector<TTransferRun> runs = ReadRuns(db, s);
    return runs.empty() ? std::nullopt : std::optional(runs.front());
}

std::optional<TTransferRun> TTransferJournal::StoppedRun(const std::string& fileHash,
                                                         const std::string& dataSource) const {
    std::vector<TTransferRun> runs = EarlierRuns(fileHash, dataSource);
    for (auto r = runs.rbegin(); r != runs.rend(); ++r) {
        if (r->Status != TTransferRunStatus::Completed) {
            return *r;
        }
    }
    return std::nullopt;
}

std::vector<TJournalInvoice> TTransferJournal::Invoices(int64_t runId) const {
    sqlite3* db = db_->handle.get();
    Statement s(db,
                "SELECT Kljuc, Placnik, State, Lines, Vrednost, ZaPlacilo, DatumSpre FROM Invoice "
                "WHERE RunId = ? ORDER BY Seq",
                kContext);
    Bind(s.get(), 1, runId);
    std::vector<TJournalInvoice> invoices;
    while (NextRow(s.get(), db)) {
        TJournalInvoice i;
        i.Kljuc = ColumnText(s.get(), 0);
        i.Placnik = ColumnText(s.get(), 1);
        i.Pending = ColumnText(s.get(), 2) == "pending";
        if (sqlite3_column_type(s.get(), 3) != SQLITE_NULL) {
            TInvoiceStamp stamp;
            stamp.Lines = static_cast<int>(sqlite3_column_int64(s.get(), 3));
            stamp.Vrednost = ColumnText(s.get(), 4);
            stamp.ZaPlacilo = ColumnText(s.get(), 5);
            stamp.DatumSpre = StampFromText(ColumnText(s.get(), 6));
            i.Stamp = stamp;
        }
        invoices.push_back(std::move(i));
    }
    return invoices;
}

void TTransferJournal::ResumeRun(int64_t id) {
    sqlite3* db = db_->handle.get();
    SetSynced(true);
    Statement s(db,
                "UPDATE Run SET Status = 'running', Resumed = ?, Finished = NULL, Error = NULL "
                "WHERE Id = ?",
                kContext);
    Bind(s.get(), 1, IsoText(Now()));
    Bind(s.get(), 2, id);
    Step(s.get(), db, kContext);
    runId_ = id;
    pending_.clear();
    confirmDue_ = false;
    db_->lastSync = std::chrono::steady_clock::now();
}

void TTransferJournal::BeginUndo(int64_t id) {
    sqlite3* db = db_->handle.get();
    SetSynced(true);
    Statement s(db, "UPDATE Run SET Undo = 'undoing' WHERE Id = ?", kContext);
    Bind(s.get(), 1, id);
    Step(s.get(), db, kContext);
}

void TTransferJournal::EndUndo(int64_t id, bool done, const std::string& who) {
    sqlite3* db = db_->handle.get();
    SetSynced(true);
    Statement s(db,
                done ? "UPDATE Run SET Undo = 'undone', Undone = ?, UndoneBy = ? WHERE Id = ?"
                     : "UPDATE Run SET Undo = NULL, Undone = ?, UndoneBy = ? WHERE Id = ? AND "
                       "Undo = 'undoing'",
                kContext);
    Bind(s.get(), 1, done ? TLocalValue{IsoText(Now())} : TLocalValue{});
    Bind(s.get(), 2, done ? TLocalValue{who} : TLocalValue{});
    Bind(s.get(), 3, id);
    Step(s.get(), db, kContext);
}

void TTransferJournal::SettleUndos(const std::string& dataSource,
                                   const std::function<bool(const std::string&)>& stillThere) {
    for (const TTransferRun& run : Runs(dataSource)) {
        if (!run.Undoing) {
            continue;
        }
        // An undo deletes all of a run's invoices or none: one of them tells.
        const bool done = run.FirstKey.empty() || !stillThere(run.FirstKey);
        EndUndo(run.Id, done, done ? std::string("?") : std::string());
    }
}

std::vector<std::string> TTransferJournal::InvoiceKeys(int64_t runId) const {
    sqlite3* db = db_->handle.get();
    Statement s(db, "SELECT Kljuc FROM Invoice WHERE RunId = ? ORDER BY Seq", kContext);
    Bind(s.get(), 1, runId);
    std::vector<std::string> keys;
    while (NextRow(s.get(), db)) {
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
