#pragma once
// Byte streams: the abstract stream that blob fields are read and written through, and a
// memory stream that record buffers keep long column values in.

#include <cstdint>
#include <string>
#include <vector>

namespace zen {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Reads up to count bytes at the position; returns how many were read.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes at the position; returns how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position; returns the new position. EInOutError before the start.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size();
    virtual void SetSize(int64_t size) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
    // Reads exactly count bytes or raises EInOutError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source (all of it from its start when count is 0).
    int64_t CopyFrom(TStream& source, int64_t count);
    // The whole content as bytes; the position is left at the end.
    std::string ReadAll();
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t size) override;
    void Clear();

    // The bytes themselves; valid until the next write or resize.
    char* Memory() { return data_.data(); }
    const char* Memory() const { return data_.data(); }
    const std::vector<char>& Bytes() const { return data_; }
    void LoadFrom(const void* data, int64_t count);

private:
    std::vector<char> data_;
    int64_t pos_ = 0;
};

} // namespace zen
