#include "dataset/OEBlobStream.h"

#include "odbc/OCLError.h"

namespace zen {

void TOEBlobStream::CheckAlive() const {
    if (alive_.expired()) {
        throw EODBCExpress("The blob stream of field " + fieldName_ +
                           " is no longer valid: its record has changed.");
    }
}

int64_t TOEBlobStream::Read(void* buffer, int64_t count) {
    CheckAlive();
    return data_.Read(buffer, count);
}

int64_t TOEBlobStream::Seek(int64_t offset, TSeekOrigin origin) {
    CheckAlive();
    return data_.Seek(offset, origin);
}

int64_t TOEBlobStream::Size() {
    CheckAlive();
    return data_.Size();
}

int64_t TOEBlobStream::Write(const void* buffer, int64_t count) {
    CheckAlive();
    int64_t written = data_.Write(buffer, count);
    nullFlag_ = 1;
    if (changed_) {
        changed_();
    }
    return written;
}

void TOEBlobStream::SetSize(int64_t size) {
    CheckAlive();
    data_.SetSize(size);
    nullFlag_ = 1;
    if (changed_) {
        changed_();
    }
}

} // namespace zen
