#pragma once
// The SQLite plumbing of the local tables: statements, transactions, values in and out,
// and the handling of a damaged table file.

#include "localtable/SqliteTable.h"

#include <filesystem>
#include <memory>
#include <sqlite3.h>
#include <string>

namespace zen::lite {

// How a field kind is kept in SQLite.
enum class Storage { Integer, Real, Text, None };

// An identifier in double quotes, quotes inside it doubled.
std::string Quote(const std::string& identifier);
// A text is copied by SQLite unless `copy` is false; it must then stay unchanged until the
// statement is reset and its bindings cleared.
void Bind(sqlite3_stmt* s, int index, const TLocalValue& v, bool copy = true);
TLocalValue Column(sqlite3_stmt* s, int index, Storage storage);
// A column's text, "" for null.
std::string ColumnText(sqlite3_stmt* s, int index);
// Runs one statement without results; EDatabaseError with the context in front.
void Exec(sqlite3* db, const std::string& sql, const std::string& context);
// Steps a statement; EDatabaseError "Key violation in <context>" for a constraint.
void Step(sqlite3_stmt* s, sqlite3* db, const std::string& context);
// The rules of the home's files (HomeFile.h) for a database file and the write-ahead log,
// shared-memory and rollback files SQLite keeps beside it: EInOutError when one of them is
// no regular file, is another user's or others may write it.
void CheckFiles(const std::filesystem::path& file);
// Opens (or creates) a file in write-ahead-log mode, once CheckFiles has passed it. A file created
// is its owner's alone (0600 whatever the umask), and so are its write-ahead log, shared-memory and
// rollback files, which SQLite creates with the database file's mode.
sqlite3* OpenFile(const std::filesystem::path& file, bool create, const std::string& context);
// Whether a file exists but is not a sound SQLite database.
bool IsDamaged(const std::filesystem::path& file);
// The name a damaged file is moved to: "<name>.damaged", or .damaged2, ... when taken.
std::filesystem::path DamagedName(const std::filesystem::path& file);
// Renames a damaged file to its DamagedName, its write-ahead log with it, so that a new
// file can take its place; where it went.
std::filesystem::path MoveAside(const std::filesystem::path& file);

// A prepared statement, finalized with the object; EDatabaseError when it cannot be
// prepared.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql, const std::string& context);
    ~Statement() { sqlite3_finalize(stmt_); } // (finalizing a null statement is no fault)
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return stmt_; }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// Rolls back unless committed.
class Transaction {
public:
    Transaction(sqlite3* db, const std::string& context) : db_(db), context_(context) {
        Exec(db_, "BEGIN IMMEDIATE", context_);
    }
    ~Transaction() {
        if (!done_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    void Commit() {
        Exec(db_, "COMMIT", context_);
        done_ = true;
    }

private:
    sqlite3* db_;
    std::string context_;
    bool done_ = false;
};

// Closes a connection, finalizes a statement held in a std::unique_ptr.
struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using DbHandle = std::unique_ptr<sqlite3, DbCloser>;
using StmtHandle = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

} // namespace zen::lite
