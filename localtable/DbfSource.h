#pragma once
// The bytes of a dBase table as its reader sees them: bytes given in memory, or a file.
// A file is opened for reading only; once its header has been checked, Snapshot copies what
// the header says the table is (its header, records and end mark, not a tail behind them),
// streaming, into a private file of the home directory (mode 0600, made exclusively and
// nameless, so that it goes with the object or with the process however that ends),
// hashing it on the way. Everything read afterwards comes from the copy
// through a bounded window: the table's size costs disk, not memory, and a file changed or
// removed meanwhile changes nothing that is read.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zen {

class TDbfSource {
public:
    explicit TDbfSource(std::vector<unsigned char> data);
    // EInOutError naming the file, in Slovene, when it does not exist, is no regular file
    // (a directory, named pipe or device, refused without waiting) or cannot be opened.
    explicit TDbfSource(const std::filesystem::path& file);
    ~TDbfSource();
    TDbfSource(const TDbfSource&) = delete;
    TDbfSource& operator=(const TDbfSource&) = delete;

    uint64_t Size() const { return size_; }
    // Bytes [offset, offset + length) of the source, which the caller keeps within Size().
    // The pointer holds until a call for bytes outside the range it was given with.
    const unsigned char* At(uint64_t offset, size_t length);
    // Copies the file's first `length` bytes, which the caller keeps within Size() (nothing
    // for bytes in memory), and reads from the copy from now on. EInOutError when it cannot
    // be read or copied; EDatabaseError when the copy does not begin with `head`, the bytes
    // already read, or the file grew shorter, since it changed in between.
    void Snapshot(const std::vector<unsigned char>& head, uint64_t length);
    // SHA-256 of the bytes read (of the copy, once there is one), as 64 lower-case
    // hexadecimal digits.
    const std::string& Hash();

private:
    void Fill(uint64_t offset, size_t length);

    std::filesystem::path path_;
    std::vector<unsigned char> data_; // bytes in memory; empty for a file
    bool inMemory_ = false;
    int fd_ = -1; // the file, or its copy after Snapshot
    uint64_t size_ = 0;
    std::vector<unsigned char> window_;
    uint64_t windowStart_ = 0;
    std::string hash_;
};

} // namespace zen
