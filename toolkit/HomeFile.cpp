#include "toolkit/HomeFile.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace zen {

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "mapa";
    }
    if (S_ISFIFO(mode)) {
        return "cev (FIFO)";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "naprava";
    }
    if (S_ISSOCK(mode)) {
        return "vtičnica";
    }
    if (S_ISLNK(mode)) {
        return "simbolna povezava";
    }
    return "posebna datoteka";
}

[[noreturn]] void NotRegular(const std::filesystem::path& file, mode_t mode) {
    throw EInOutError(file.string() + " ni navadna datoteka, temveč " + KindOf(mode) +
                      ", zato je Zendrato ne odpre.");
}

[[noreturn]] void CannotOpen(const std::filesystem::path& file, int err) {
    throw EInOutError("Datoteke " + file.string() + " ni mogoče odpreti: " + std::strerror(err));
}

} // namespace

TFileHandle::~TFileHandle() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.Release();
    }
    return *this;
}

TFileHandle OpenRegularFile(const std::filesystem::path& file, int flags, bool follow) {
    // Looked at before it is opened: opening a device can itself do something.
    struct stat st;
    if ((follow ? ::stat(file.c_str(), &st) : ::lstat(file.c_str(), &st)) == 0 &&
        !S_ISREG(st.st_mode)) {
        NotRegular(file, st.st_mode);
    }
    // Not blocking, so that a pipe put in its place meanwhile is refused below instead of
    // waited on; the flag means nothing to a regular file.
    const int fd = ::open(
        file.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | (follow ? 0 : O_NOFOLLOW), 0600);
    if (fd < 0) {
        const int err = errno;
        if ((err == ENOENT || err == ENOTDIR) && !(flags & O_CREAT)) {
            return {};
        }
        if (err == ELOOP && !follow) {
            NotRegular(file, S_IFLNK);
        }
        CannotOpen(file, err);
    }
    TFileHandle handle(fd);
    if (::fstat(fd, &st) != 0) {
        CannotOpen(file, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        NotRegular(file, st.st_mode);
    }
    return handle;
}

TFileHandle OpenHomeFile(const std::filesystem::path& file, int flags) {
    TFileHandle handle = OpenRegularFile(file, flags, false);
    struct stat st;
    if (handle && ::fstat(handle.Get(), &st) == 0) {
        CheckHomeOwner(file, st);
    }
    return handle;
}

bool ReadHomeFile(const std::filesystem::path& file, std::string& text) {
    TFileHandle handle = OpenHomeFile(file, O_RDONLY);
    if (!handle) {
        return false;
    }
    struct stat st;
    if (::fstat(handle.Get(), &st) == 0 && (st.st_mode & 077) != 0) {
        ::fchmod(handle.Get(), st.st_mode & 0700);
    }
    text.clear();
    char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(handle.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw EInOutError("Datoteke " + file.string() +
                              " ni mogoče brati: " + std::strerror(errno));
        }
        if (n == 0) {
            return true;
        }
        text.append(chunk, static_cast<size_t>(n));
    }
}

bool CheckHomeFile(const std::filesystem::path& file) {
    struct stat st;
    if (::lstat(file.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return false;
        }
        CannotOpen(file, errno);
    }
    if (!S_ISREG(st.st_mode)) {
        NotRegular(file, st.st_mode);
    }
    CheckHomeOwner(file, st);
    return true;
}

void CheckHomeOwner(const std::filesystem::path& path, const struct stat& st) {
    const bool folder = S_ISDIR(st.st_mode);
    const std::string what = (folder ? "Mapa " : "Datoteka ") + path.string();
    const std::string quoted = " '" + path.string() + "'";
    if (st.st_uid != ::geteuid()) {
        std::string user = SystemUserName();
        if (user.empty()) {
            user = std::to_string(::geteuid());
        }
        throw EInOutError(
            what + " ni last uporabnika " + user + " (lastnik je uid " + std::to_string(st.st_uid) +
            "), zato je Zendrato ne uporabi. Popravite jo z ukazom chown " + user + quoted +
            (folder ? " ali pa nastavite ZENDRATO_HOME na svojo mapo." : " ali pa jo odstranite."));
    }
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", unsigned(st.st_mode & 07777));
        throw EInOutError(what + " je zapisljiva tudi za skupino ali druge (način " + mode +
                          "), zato je Zendrato ne uporabi. Popravite jo z ukazom chmod " +
                          (folder ? "700" : "600") + quoted + ".");
    }
}

} // namespace zen
