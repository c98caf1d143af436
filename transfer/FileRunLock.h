#pragma once
// One run of a transfer file at a time in a database, whichever home or machine starts it.
// Two runs of one file at once would both pass the repeat guard and book every invoice
// twice, so a real run, a resume and an undo hold a lock named by the file's content, kept
// by the database side for as long as the holder lives:
//   - PostgreSQL: a session-level advisory lock on the run's connection, which the server
//     drops with the session however the process ends;
//   - SQLite: a byte-range lock (open file description) on a lock file beside the database
//     file, which the kernel drops with the process; the database's directory is writable
//     wherever the database is, since SQLite keeps its journal there.
// Whether a file's lock is held is asked without taking it (pg_locks, F_OFD_GETLK), so a
// history listing never makes a starting run fail.

#include "toolkit/Exceptions.h"

#include <string>

namespace zen {

class THdbc;

// A run refused because another run of the same file holds it; the message names the
// holder (from the ledger) and says that nothing was written.
ZEN_EXCEPTION_CLASS(EFileRunLocked, Exception);

class TFileRunLock {
public:
    // Takes the lock of `fileHash` on `database` at once, or raises EFileRunLocked; the
    // caller names the holder. A database of another kind has no such lock.
    TFileRunLock(THdbc& database, const std::string& fileHash);
    ~TFileRunLock();
    TFileRunLock(const TFileRunLock&) = delete;
    TFileRunLock& operator=(const TFileRunLock&) = delete;

    // Whether some run holds the lock of `fileHash` now, asked without taking it.
    static bool Held(THdbc& database, const std::string& fileHash);

private:
    THdbc& database_;
    std::string fileHash_;
    int fd_ = -1;         // SQLite: the lock file
    bool pgHeld_ = false; // PostgreSQL: the session's advisory lock
};

} // namespace zen
