#include "transfer/RunLock.h"

#include "toolkit/DateTime.h"
#include "toolkit/Home.h"
#include "toolkit/HomeFile.h"
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

namespace {

// The whole file, as the run's second lock covers it.
struct flock WholeFile(short type) {
    struct flock whole {};
    whole.l_type = type;
    whole.l_whence = SEEK_SET;
    return whole;
}

} // namespace

bool RunInProgress(const std::filesystem::path& file) {
    const TFileHandle lock = OpenHomeFile(file, O_RDONLY);
    if (!lock) {
        return false; // no run has ever held it
    }
    // Asked of the kernel without taking anything: a lock taken here, however briefly, would
    // be what a starting run meets, and it would refuse.
    struct flock probe = WholeFile(F_WRLCK);
    if (::fcntl(lock.Get(), F_OFD_GETLK, &probe) != 0) {
        throw EInOutError("Ni mogoče ugotoviti, ali prenos drži datoteko " + file.string() + ": " +
                          std::strerror(errno));
    }
    return probe.l_type != F_UNLCK;
}

TRunLock::TRunLock(const std::filesystem::path& file) {
    TFileHandle lock = OpenHomeFile(file, O_RDWR | O_CREAT);
    // Its owner's alone whatever the umask, and writable by the next run.
    ::fchmod(lock.Get(), 0600);
    // Two locks of the kernel: flock, which every version of the program takes, and a lock
    // of the open file, which RunInProgress can test without taking one.
    int rc;
    do {
        rc = ::flock(lock.Get(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        struct flock whole = WholeFile(F_WRLCK);
        rc = ::fcntl(lock.Get(), F_OFD_SETLK, &whole);
    }
    if (rc != 0) {
        const int err = errno;
        if (err != EWOULDBLOCK && err != EACCES) { // EWOULDBLOCK is EAGAIN here
            throw EInOutError("Datoteke " + file.string() +
                              " ni mogoče zakleniti: " + std::strerror(err));
        }
        throw ERunLocked("Prenos v tej mapi že teče" + HolderText(lock.Get()) +
                         ". Nov prenos se lahko začne, ko se ta konča; nič ni bilo spremenjeno.");
    }
    fd_ = lock.Release();
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
