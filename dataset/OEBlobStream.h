#pragma once
// A blob or memo field's value as a stream: a view of the memory stream that a record
// buffer keeps for a long column. Writing gives the field a value and tells the dataset.

#include "toolkit/Stream.h"

#include <functional>

namespace zen {

class TOEBlobStream : public TStream {
public:
    // `nullFlag` is the slot's flag byte (0 NULL, else has a value); `changed` runs after
    // every write. The memory stream stays the record buffer's.
    TOEBlobStream(TMemoryStream& data, char& nullFlag, std::function<void()> changed)
        : data_(data), nullFlag_(nullFlag), changed_(std::move(changed)) {}

    int64_t Read(void* buffer, int64_t count) override { return data_.Read(buffer, count); }
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override { return data_.Seek(offset, origin); }
    int64_t Size() override { return data_.Size(); }
    void SetSize(int64_t size) override;

private:
    TMemoryStream& data_;
    char& nullFlag_;
    std::function<void()> changed_;
};

} // namespace zen
