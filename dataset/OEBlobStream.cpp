#include "dataset/OEBlobStream.h"

namespace zen {

int64_t TOEBlobStream::Write(const void* buffer, int64_t count) {
    int64_t written = data_.Write(buffer, count);
    nullFlag_ = 1;
    if (changed_) {
        changed_();
    }
    return written;
}

void TOEBlobStream::SetSize(int64_t size) {
    data_.SetSize(size);
    nullFlag_ = 1;
    if (changed_) {
        changed_();
    }
}

} // namespace zen
