#include "localtable/SqliteFile.h"

#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "toolkit/FileReplace.h"
#include "toolkit/HomeFile.h"

#include <memory>

namespace zen::lite {

Statement::Statement(sqlite3* db, const std::string& sql, const std::string& context) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(db);
        sqlite3_finalize(stmt_);
        throw EDatabaseError(context + ": " + msg);
    }
}

std::string Quote(const std::string& identifier) {
    std::string q = "\"";
    for (char c : identifier) {
        q += c;
        if (c == '"') {
            q += '"';
        }
    }
    return q + "\"";
}

void Bind(sqlite3_stmt* s, int index, const TLocalValue& v, bool copy) {
    if (auto* i = std::get_if<int64_t>(&v)) {
        sqlite3_bind_int64(s, index, *i);
    } else if (auto* d = std::get_if<double>(&v)) {
        sqlite3_bind_double(s, index, *d);
    } else if (auto* t = std::get_if<std::string>(&v)) {
        sqlite3_bind_text(s, index, t->data(), static_cast<int>(t->size()),
                          copy ? SQLITE_TRANSIENT : SQLITE_STATIC);
    } else {
        sqlite3_bind_null(s, index);
    }
}

TLocalValue Column(sqlite3_stmt* s, int index, Storage storage) {
    switch (sqlite3_column_type(s, index)) {
    case SQLITE_NULL:
        return {};
    default:
        break;
    }
    switch (storage) {
    case Storage::Integer:
        return int64_t{sqlite3_column_int64(s, index)};
    case Storage::Real: {
        // A date-time kept as SQLite's date text (the exception log's "Cas") reads as the
        // day number it names.
        TDateTime dt;
        if (sqlite3_column_type(s, index) == SQLITE_TEXT &&
            TryIsoToDateTime(ColumnText(s, index), dt)) {
            return dt;
        }
        return sqlite3_column_double(s, index);
    }
    default: {
        auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, index));
        return std::string(p ? p : "", static_cast<size_t>(sqlite3_column_bytes(s, index)));
    }
    }
}

std::string ColumnText(sqlite3_stmt* s, int index) {
    TLocalValue v = Column(s, index, Storage::Text);
    return std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : std::string();
}

// Runs one statement without results.
void Exec(sqlite3* db, const std::string& sql, const std::string& context) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errmsg(db);
        sqlite3_free(err);
        throw EDatabaseError(context + ": " + msg);
    }
}

void Step(sqlite3_stmt* s, sqlite3* db, const std::string& context) {
    int rc = sqlite3_step(s);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::string msg = sqlite3_errmsg(db);
        sqlite3_reset(s);
        if ((rc & 0xFF) == SQLITE_CONSTRAINT) {
            throw EDatabaseError("Key violation in " + context);
        }
        throw EDatabaseError(context + ": " + msg);
    }
}

void CheckFiles(const std::filesystem::path& file) {
    CheckHomeFile(file);
    for (const char* companion : {"-wal", "-shm", "-journal"}) {
        std::filesystem::path other = file;
        other += companion;
        CheckHomeFile(other);
    }
}

sqlite3* OpenFile(const std::filesystem::path& file, bool create, const std::string& context) {
    if (create) {
        CreateOwnerFile(file); // when it cannot be, the open below says why
    }
    CheckFiles(file);
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    DbHandle owned(db);
    if (rc != SQLITE_OK) {
        std::string msg = db ? sqlite3_errmsg(db) : "out of memory";
        throw EDatabaseError(context + ": cannot open " + file.string() + ": " + msg);
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_extended_result_codes(db, 1);
    // Every row is its own commit; with a write-ahead log and NORMAL syncing a commit does
    // not wait for the disk, yet the file stays consistent after a crash.
    Exec(db, "PRAGMA journal_mode=WAL", context);
    Exec(db, "PRAGMA synchronous=NORMAL", context);
    // An open table reads its rows from the file whenever they are reached or compared:
    // 8 MiB of pages keep those reads out of the system's calls.
    Exec(db, "PRAGMA cache_size=-8192", context);
    return owned.release();
}

bool IsDamaged(const std::filesystem::path& file) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec) || std::filesystem::file_size(file, ec) == 0) {
        return false;
    }
    sqlite3* raw = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    DbHandle db(raw);
    if (rc != SQLITE_OK) {
        return false; // not readable: a fault of its own, not damage
    }
    sqlite3_stmt* s = nullptr;
    rc = sqlite3_prepare_v2(db.get(), "PRAGMA quick_check", -1, &s, nullptr);
    StmtHandle check(s);
    if (rc != SQLITE_OK || sqlite3_step(s) != SQLITE_ROW) {
        return true;
    }
    const unsigned char* result = sqlite3_column_text(s, 0);
    return !result || std::string(reinterpret_cast<const char*>(result)) != "ok";
}

std::filesystem::path DamagedName(const std::filesystem::path& file) {
    for (int n = 1;; ++n) {
        std::filesystem::path target = file;
        target += n == 1 ? ".damaged" : ".damaged" + std::to_string(n);
        if (!std::filesystem::exists(target)) {
            return target;
        }
    }
}

std::filesystem::path MoveAside(const std::filesystem::path& file) {
    const std::filesystem::path target = DamagedName(file);
    std::error_code ec;
    std::filesystem::rename(file, target, ec);
    if (ec) {
        throw EDatabaseError("Cannot move the damaged file " + file.string() +
                             " aside: " + ec.message());
    }
    std::filesystem::path wal = file, shm = file;
    wal += "-wal";
    shm += "-shm";
    std::filesystem::path walTarget = target;
    walTarget += "-wal";
    std::filesystem::rename(wal, walTarget, ec);
    std::filesystem::remove(shm, ec);
    return target;
}

} // namespace zen::lite
