#pragma once
// The rules by which every file and folder of the home is opened. The home holds the SQL
// login, the journal of what was booked and the lock that keeps two runs apart, so, as ssh
// does with its own files, nothing of it is used that another user owns or that group or
// others may write; and where a file should be, nothing but a regular file is opened: a
// named pipe would make the program wait for a writer that never comes, a device would be
// read or written as if it were the file. Every refusal names the path and how to mend it.
// The transfer file, which is no file of the home, is opened by the same rule of kind.

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace zen {

// A file descriptor, closed with the object.
class TFileHandle {
public:
    TFileHandle() = default;
    explicit TFileHandle(int fd) : fd_(fd) {}
    ~TFileHandle();
    TFileHandle(TFileHandle&& other) noexcept : fd_(other.Release()) {}
    TFileHandle& operator=(TFileHandle&& other) noexcept;
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;

    int Get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

// Opens a file that must be a regular file (`flags` as for open(2)): a directory, named
// pipe, device or socket in its place is refused at once, without waiting, by EInOutError
// "<path> ni navadna datoteka, temveč …". Symbolic links are followed only when `follow`.
// An empty handle when the file is missing and `flags` do not create it; EInOutError naming
// the file on any other failure. A file created gets mode 0600 less the umask.
TFileHandle OpenRegularFile(const std::filesystem::path& file, int flags, bool follow);

// A file of the home: OpenRegularFile without following links, and refused as well
// (EInOutError) when another user owns it or group or others may write it.
TFileHandle OpenHomeFile(const std::filesystem::path& file, int flags);

// Reads a file of the home whole, by OpenHomeFile's rules; false when it is missing. A file
// that group or others may read is made its owner's alone first, since it may hold the
// login.
bool ReadHomeFile(const std::filesystem::path& file, std::string& text);

// The same rules for a file of the home that a library opens by its name (SQLite): true
// when it is there and may be used, false when it is missing.
bool CheckHomeFile(const std::filesystem::path& file);

// The rule of owner and mode alone, for a file or folder of the home already looked at:
// EInOutError when another user owns it or group or others may write it.
void CheckHomeOwner(const std::filesystem::path& path, const struct stat& st);

} // namespace zen
