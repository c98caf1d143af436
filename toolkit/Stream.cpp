#include "toolkit/Stream.h"

#include "toolkit/Exceptions.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zen {

int64_t TStream::Size() {
    int64_t pos = Seek(0, soCurrent);
    int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count != 0 && Read(buffer, count) != count) {
        throw EInOutError("Stream read error");
    }
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count != 0 && Write(buffer, count) != count) {
        throw EInOutError("Stream write error");
    }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    char chunk[8192];
    int64_t done = 0;
    while (done < count) {
        int64_t n = std::min<int64_t>(count - done, sizeof chunk);
        source.ReadBuffer(chunk, n);
        WriteBuffer(chunk, n);
        done += n;
    }
    return done;
}

std::string TStream::ReadAll() {
    SetPosition(0);
    int64_t size = Size();
    std::string out(static_cast<size_t>(size), '\0');
    ReadBuffer(out.data(), size);
    return out;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || pos_ >= Size()) {
        return 0;
    }
    int64_t n = std::min(count, Size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) {
        return 0;
    }
    if (pos_ > std::numeric_limits<int64_t>::max() - count) {
        throw EInOutError("Stream write error");
    }
    if (pos_ + count > Size()) {
        data_.resize(static_cast<size_t>(pos_ + count));
    }
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == soBeginning ? 0 : (origin == soCurrent ? pos_ : Size());
    if ((offset < 0 && base + offset < 0) ||
        (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)) {
        throw EInOutError("Stream seek error");
    }
    pos_ = base + offset;
    return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0) {
        throw EInOutError("Stream size error");
    }
    data_.resize(static_cast<size_t>(size));
    pos_ = std::min(pos_, size);
}

void TMemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

void TMemoryStream::LoadFrom(const void* data, int64_t count) {
    Clear();
    if (count > 0) {
        data_.assign(static_cast<const char*>(data), static_cast<const char*>(data) + count);
    }
}

} // namespace zen
