#include "transfer/RunLock.h"

#include "toolkit/DateTime.h"
#include "toolkit/Home.h"
#include "transfer/Ledger.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zen {

namespace {

// "pid start" as written by the holder: the process id and the start time as a date-time
// value, so that the refused run can name who holds the home.
std::string HolderText(int fd) {
    char buf[128];
    ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
    if (n <= 0) {
        return {};
    }
    const char* end = buf + n;
    long pid = 0;
    double started = 0;
    auto [p, ec] = std::from_chars(buf, end, pid);
    if (ec != std::errc() || pid <= 0 || p == end || *p != ' ') {
        return {};
    }
    auto [q, ec2] = std::from_chars(p + 1, end, started);
    if (ec2 != std::errc() || started <= 0) {
        return {};
    }
    (void)q;
    return " (proces " + std::to_string(pid) + ", začet " + JournalDateTime(started) + ")";
}

void WriteHolder(int fd) {
    char buf[128];
    char* p = std::to_chars(buf, buf + 40, static_cast<long>(::getpid())).ptr;
    *p++ = ' ';
    p = std::to_chars(p, buf + sizeof buf - 1, Now()).ptr;
    *p++ = '\n';
    // Who holds the lock is only told to a refused run; failing to write it is no reason
    // to refuse this one.
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] ssize_t n = ::pwrite(fd, buf, static_cast<size_t>(p - buf), 0);
    }
}

} // namespace

std::filesystem::path RunLockFile() {
    return ZendratoHome() / "zendrato.lock";
}

bool RunInProgress(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        return false; // no run has ever held it
    }
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

TRunLock::TRunLock(const std::filesystem::path& file) {
    fd_ = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        throw EInOutError("Cannot open the run lock " + file.string() + ": " +
                          std::strerror(errno));
    }
    // Its owner's alone whatever the umask, and writable by the next run.
    ::fchmod(fd_, 0600);
    int rc;
    do {
        rc = ::flock(fd_, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        std::string holder = err == EWOULDBLOCK ? HolderText(fd_) : std::string();
        ::close(fd_);
        fd_ = -1;
        if (err != EWOULDBLOCK) {
            throw EInOutError("Cannot lock " + file.string() + ": " + std::strerror(err));
        }
        throw ERunLocked("Prenos v tej mapi že teče" + holder +
                         ". Nov prenos se lahko začne, ko se ta konča; nič ni bilo spremenjeno.");
    }
    WriteHolder(fd_);
}

TRunLock::~TRunLock() {
    if (fd_ >= 0) {
        // Closing releases the lock; what it says of the holder stays until the next run
        // overwrites it, and is never read without the lock being held by someone.
        ::close(fd_);
    }
}

} // namespace zen
