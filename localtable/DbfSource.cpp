#include "localtable/DbfSource.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"
#include "toolkit/HomeFile.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace zen {

namespace {

// Enough records at a time that reading one by one costs few system calls, and little
// enough that a table of any size is read in the same memory.
constexpr size_t kWindow = size_t{128} * 1024;
constexpr size_t kCopyChunk = size_t{1024} * 1024;

std::string Reason(int err) {
    return std::strerror(err);
}

// A private file in `dir` that nobody else can open and that no name keeps once it is
// closed: without a name from the start where the file system allows it, otherwise made
// exclusively and its name removed at once.
int OpenPrivateFile(const std::filesystem::path& dir) {
    int fd = ::open(dir.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
        return fd;
    }
    std::string name = (dir / ".dbf-copy-XXXXXX").string();
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        ::unlink(name.c_str());
    }
    return fd;
}

// Closes a descriptor unless it is released.
struct TOwnedFd {
    int fd;
    ~TOwnedFd() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    int Release() { return std::exchange(fd, -1); }
};

} // namespace

TDbfSource::TDbfSource(std::vector<unsigned char> data)
    : data_(std::move(data)), inMemory_(true), size_(data_.size()) {}

TDbfSource::TDbfSource(const std::filesystem::path& file) : path_(file) {
    // A named pipe, a device or a directory is refused at once, not waited on or read.
    TFileHandle in = OpenRegularFile(file, O_RDONLY, true);
    if (!in) {
        throw EInOutError("Datoteka " + file.string() + " ne obstaja.");
    }
    struct stat st;
    if (::fstat(in.Get(), &st) != 0) {
        throw EInOutError("Datoteke " + file.string() + " ni mogoče brati: " + Reason(errno));
    }
    size_ = static_cast<uint64_t>(st.st_size);
    fd_ = in.Release();
}

TDbfSource::~TDbfSource() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

const unsigned char* TDbfSource::At(uint64_t offset, size_t length) {
    if (inMemory_) {
        return data_.data() + offset;
    }
    if (offset < windowStart_ || offset + length > windowStart_ + window_.size()) {
        Fill(offset, length);
    }
    return window_.data() + (offset - windowStart_);
}

void TDbfSource::Fill(uint64_t offset, size_t length) {
    size_t want =
        static_cast<size_t>(std::min<uint64_t>(std::max(kWindow, length), size_ - offset));
    window_.resize(want);
    size_t got = 0;
    while (got < want) {
        ssize_t n = ::pread(fd_, window_.data() + got, want - got, off_t(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            int err = n < 0 ? errno : 0;
            window_.clear();
            throw EInOutError("Datoteke " + path_.string() + " ni mogoče brati: " +
                              (err ? Reason(err) : std::string("datoteka je krajša")));
        }
        got += static_cast<size_t>(n);
    }
    windowStart_ = offset;
}

void TDbfSource::Snapshot(const std::vector<unsigned char>& head, uint64_t length) {
    if (inMemory_) {
        return;
    }
    const std::filesystem::path dir = ZendratoHome();
    auto cannotCopy = [&](int err) {
        return EInOutError("Datoteke " + path_.string() + " ni mogoče prepisati v domačo mapo " +
                           dir.string() + ": " + Reason(err));
    };
    auto changed = [&] {
        return EDatabaseError("Datoteka " + path_.string() + " se je med branjem spremenila.");
    };
    TOwnedFd copy{OpenPrivateFile(dir)};
    // Written through a stream over a descriptor of its own, which sees to short writes;
    // the copy is read through `copy` afterwards.
    TOwnedFd writer{copy.fd < 0 ? -1 : ::dup(copy.fd)};
    std::unique_ptr<FILE, int (*)(FILE*)> out(writer.fd < 0 ? nullptr : ::fdopen(writer.fd, "wb"),
                                              &std::fclose);
    if (!out) {
        throw cannotCopy(errno);
    }
    writer.Release();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<unsigned char> chunk(kCopyChunk);
    uint64_t total = 0;
    while (total < length) {
        const size_t want = size_t(std::min<uint64_t>(chunk.size(), length - total));
        ssize_t n = ::pread(fd_, chunk.data(), want, off_t(total));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw EInOutError("Datoteke " + path_.string() + " ni mogoče brati: " + Reason(errno));
        }
        if (n == 0) {
            throw changed(); // cut short since its header was read
        }
        if (std::fwrite(chunk.data(), 1, size_t(n), out.get()) != size_t(n)) {
            throw cannotCopy(errno);
        }
        hash.addData(QByteArrayView(chunk.data(), qsizetype(n)));
        total += uint64_t(n);
    }
    if (std::fclose(out.release()) != 0) {
        throw cannotCopy(errno);
    }
    ::close(fd_);
    fd_ = copy.Release();
    size_ = total;
    hash_ = hash.result().toHex().toStdString();
    window_.clear();
    window_.shrink_to_fit();
    windowStart_ = 0;
    if (size_ < head.size() || std::memcmp(At(0, head.size()), head.data(), head.size()) != 0) {
        throw changed();
    }
}

const std::string& TDbfSource::Hash() {
    if (!inMemory_ && hash_.empty()) {
        throw EInvalidOperation("The hash of " + path_.string() + " is known once it is copied");
    }
    if (hash_.empty()) {
        hash_ = QCryptographicHash::hash(QByteArrayView(data_.data(), qsizetype(data_.size())),
                                         QCryptographicHash::Sha256)
                    .toHex()
                    .toStdString();
    }
    return hash_;
}

} // namespace zen
