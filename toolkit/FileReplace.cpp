#include "toolkit/FileReplace.h"

#include "toolkit/Exceptions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zen {

namespace {

bool WriteAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

void ReplaceFile(const std::filesystem::path& path, const std::string& text, mode_t mode) {
    std::filesystem::path tmp = path;
    tmp += ".tmp" + std::to_string(::getpid());
    auto fail = [&](int err) {
        ::unlink(tmp.c_str());
        throw EInOutError("Cannot write " + path.string() + ": " + std::strerror(err));
    };
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) {
        throw EInOutError("Cannot write " + path.string() + ": " + std::strerror(errno));
    }
    // Without the sync the rename could reach the disk before the data, and a crash would
    // leave an empty file where the old one was.
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        fail(err);
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        fail(errno);
    }
    // The rename itself is durable once the directory is synced; failing that is no reason
    // to report a write that has taken place.
    std::filesystem::path dir = path.parent_path().empty() ? "." : path.parent_path();
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

} // namespace zen
