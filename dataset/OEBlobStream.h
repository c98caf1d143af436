#pragma once
// A blob or memo field's value as a stream: a view of the memory stream that a record
// buffer keeps for a long column. Writing gives the field a value and tells the dataset.

#include "toolkit/Stream.h"

#include <functional>
#include <memory>
#include <string>

namespace zen {

class TOEBlobStream : public TStream {
public:
    // `nullFlag` is the slot's flag byte (0 NULL, else has a value); `changed` runs after
    // every write. The memory stream stays the record buffer's, and is reached only while
    // `alive` lives: the dataset lets it go when the record changes, and any use after that
    // raises rather than touch memory that may be another record's or none.
    TOEBlobStream(TMemoryStream& data, char& nullFlag, std::function<void()> changed,
                  std::weak_ptr<const void> alive, std::string fieldName)
        : data_(data), nullFlag_(nullFlag), changed_(std::move(changed)), alive_(std::move(alive)),
          fieldName_(std::move(fieldName)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t size) override;

private:
    void CheckAlive() const;

    TMemoryStream& data_;
    char& nullFlag_;
    std::function<void()> changed_;
    std::weak_ptr<const void> alive_;
    std::string fieldName_;
};

} // namespace zen
