#include "toolkit/FileReplace.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zen {

namespace {

constexpr mode_t kOwnerMode = 0600;

// A name of the target's directory that no one can foresee: a link planted at a
// predictable name would otherwise wait there for the write.
std::filesystem::path RandomSibling(const std::filesystem::path& target) {
    static std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<size_t> pick(0, sizeof kLetters - 2);
    std::string suffix = ".tmp";
    for (int i = 0; i < 10; ++i) {
        suffix += kLetters[pick(generator)];
    }
    std::filesystem::path temp = target;
    temp += suffix;
    return temp;
}

// O_EXCL fails on any name that exists, a dangling link included, and O_NOFOLLOW says so
// once more. The umask may have taken the owner's own bits: an owner's file gets its mode
// whatever the umask says.
int CreateExclusive(const std::filesystem::path& path, TFileAccess access) {
    const mode_t mode = access == TFileAccess::Owner ? kOwnerMode : 0666;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd >= 0 && access == TFileAccess::Owner && ::fchmod(fd, kOwnerMode) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(path.c_str());
        errno = err;
        return -1;
    }
    return fd;
}

} // namespace

TFileAccess AccessFor(const std::filesystem::path& file) {
    std::error_code homeError, fileError;
    std::filesystem::path home;
    try {
        home = std::filesystem::weakly_canonical(HomePath(), homeError);
    } catch (const EInOutError&) {
        return TFileAccess::Umask; // no home, so nothing is in it
    }
    if (!home.has_filename()) {
        home = home.parent_path(); // "dir/" names dir
    }
    const auto dir =
        std::filesystem::weakly_canonical(std::filesystem::absolute(file), fileError).parent_path();
    const auto inside = std::mismatch(home.begin(), home.end(), dir.begin(), dir.end()).first;
    return !homeError && !fileError && inside == home.end() ? TFileAccess::Owner
                                                            : TFileAccess::Umask;
}

TReplacement::TReplacement(const std::filesystem::path& target, TFileAccess access,
                           std::string failure)
    : target_(target),
      failure_(failure.empty() ? "Datoteke " + target.string() + " ni mogoče zapisati"
                               : std::move(failure)) {
    for (int attempt = 0; fd_ < 0; ++attempt) {
        temp_ = RandomSibling(target_);
        fd_ = CreateExclusive(temp_, access);
        if (fd_ < 0 && (errno != EEXIST || attempt == 100)) {
            const int err = errno;
            temp_.clear(); // not ours to remove
            Fail(err);
        }
    }
}

TReplacement::~TReplacement() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

void TReplacement::Fail(int err) const {
    throw EInOutError(failure_ + ": " + std::strerror(err));
}

void TReplacement::Write(const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Fail(n < 0 ? errno : ENOSPC);
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
}

void TReplacement::Commit() {
    // Without the sync the rename could reach the disk before the data, and a crash would
    // leave an empty file where the old one was.
    if (::fsync(fd_) != 0) {
        Fail(errno);
    }
    const int closed = ::close(fd_);
    fd_ = -1;
    if (closed != 0 || std::rename(temp_.c_str(), target_.c_str()) != 0) {
        Fail(errno);
    }
    temp_.clear();
    // The rename itself is durable once the directory is synced; failing that is no reason
    // to report a write that has taken place.
    std::filesystem::path dir = target_.parent_path().empty() ? "." : target_.parent_path();
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

void ReplaceFile(const std::filesystem::path& path, const std::string& text, TFileAccess access) {
    TReplacement file(path, access);
    file.Write(text);
    file.Commit();
}

bool CreateOwnerFile(const std::filesystem::path& path) {
    int fd = CreateExclusive(path, TFileAccess::Owner);
    if (fd < 0) {
        return errno == EEXIST;
    }
    ::close(fd);
    return true;
}

} // namespace zen
