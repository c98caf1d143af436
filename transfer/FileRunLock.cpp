#include "transfer/FileRunLock.h"

#include "dataset/ODSI.h"
#include "dbutil/ExceptionLog.h"
#include "odbc/Hdbc.h"
#include "toolkit/Field.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zen {

namespace {

// The advisory lock's two keys: one that names Zendrato's file locks, so that they meet no
// other program's (nor the series lock, which uses the one-key form), and 31 bits of the
// content hash. Two files that share those bits only wait for each other.
constexpr int32_t kPgLockClass = 0x5A454E44 & 0x7FFFFFFF; // "ZEND"

int32_t HashBits(const std::string& fileHash) {
    uint32_t v = 0;
    for (size_t i = 0; i < 8 && i < fileHash.size(); ++i) {
        const char c = fileHash[i];
        const uint32_t digit = c >= '0' && c <= '9'   ? uint32_t(c - '0')
                               : c >= 'a' && c <= 'f' ? uint32_t(c - 'a' + 10)
                               : c >= 'A' && c <= 'F' ? uint32_t(c - 'A' + 10)
                                                      : uint32_t(static_cast<unsigned char>(c));
        v = (v << 4) ^ digit;
    }
    return static_cast<int32_t>(v & 0x7FFFFFFF);
}

std::string QueryText(THdbc& database, const std::string& sql, int column = 1) {
    TOEQuery q;
    q.SetHdbc(&database);
    q.SQL().Add(sql);
    q.Open();
    std::string text = q.Eof() ? std::string() : q.Fields()[size_t(column - 1)]->AsString();
    // Read to the end: a half-read SQLite statement keeps the file's read lock.
    q.Close();
    return text;
}

// The SQLite database's own file, from the connection: the lock file lies beside it.
std::string SqliteLockFile(THdbc& database) {
    const std::string file = QueryText(database, "PRAGMA database_list", 3);
    return file.empty() ? std::string() : file + "-zendrato.lock";
}

// The byte of the lock file that stands for the file's content.
struct flock ByteOf(const std::string& fileHash, short type) {
    struct flock l {};
    l.l_type = type;
    l.l_whence = SEEK_SET;
    l.l_start = HashBits(fileHash);
    l.l_len = 1;
    return l;
}

std::string PgKeys(const std::string& fileHash) {
    return std::to_string(kPgLockClass) + ", " + std::to_string(HashBits(fileHash));
}

} // namespace

TFileRunLock::TFileRunLock(THdbc& database, const std::string& fileHash)
    : database_(database), fileHash_(fileHash) {
    const TDbmsKind kind = database.Quirks().kind;
    bool taken = true;
    if (kind == TDbmsKind::PostgreSQL) {
        taken = QueryText(database, "SELECT CASE WHEN pg_try_advisory_lock(" + PgKeys(fileHash) +
                                        ") THEN 1 ELSE 0 END") == "1";
        pgHeld_ = taken;
    } else if (kind == TDbmsKind::SQLite) {
        const std::string file = SqliteLockFile(database);
        if (file.empty()) {
            return; // a database in memory: no other process can reach it
        }
        fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
        if (fd_ < 0) {
            throw EInOutError("Ključavnice prenosa " + file + " ni mogoče odpreti: " +
                              std::strerror(errno) + ". Nič ni bilo zapisano.");
        }
        struct flock l = ByteOf(fileHash, F_WRLCK);
        if (::fcntl(fd_, F_OFD_SETLK, &l) != 0) {
            const int err = errno;
            ::close(fd_);
            fd_ = -1;
            if (err != EAGAIN && err != EACCES) {
                throw EInOutError("Ključavnice prenosa " + file + " ni mogoče zakleniti: " +
                                  std::strerror(err) + ". Nič ni bilo zapisano.");
            }
            taken = false;
        }
    }
    if (!taken) {
        throw EFileRunLocked("Ta datoteka se prav zdaj prenaša v to bazo Tevrin");
    }
}

TFileRunLock::~TFileRunLock() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (pgHeld_ && database_.Connected()) {
        // A connection lost meanwhile took the lock with its session.
        try {
            QueryText(database_, "SELECT pg_advisory_unlock(" + PgKeys(fileHash_) + ")");
        } catch (const std::exception& e) {
            LogException(e, &database_, "TFileRunLock");
        }
    }
}

bool TFileRunLock::Held(THdbc& database, const std::string& fileHash) {
    const TDbmsKind kind = database.Quirks().kind;
    if (kind == TDbmsKind::PostgreSQL) {
        return QueryText(database,
                         "SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND granted "
                         "AND objsubid = 2 AND classid = " +
                             std::to_string(kPgLockClass) +
                             " AND objid = " + std::to_string(HashBits(fileHash)) +
                             " AND database = (SELECT oid FROM pg_database WHERE datname = "
                             "current_database())") != "0";
    }
    if (kind != TDbmsKind::SQLite) {
        return false;
    }
    const std::string file = SqliteLockFile(database);
    const int fd =
        file.empty() ? -1 : ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) {
        return false; // no run has ever locked a file of this database
    }
    // A test for a write lock that conflicts with any lock held on the byte.
    struct flock l = ByteOf(fileHash, F_WRLCK);
    const bool held = ::fcntl(fd, F_OFD_GETLK, &l) == 0 && l.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

} // namespace zen
