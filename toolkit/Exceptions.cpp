#include "toolkit/Exceptions.h"

#include <new>
#include <stdexcept>

namespace zen {

const char* ExceptionClassName(const std::exception& e) noexcept {
    if (auto* own = dynamic_cast<const Exception*>(&e)) {
        return own->ClassName();
    }
    if (dynamic_cast<const std::bad_alloc*>(&e)) {
        return "EOutOfMemory";
    }
    if (dynamic_cast<const std::out_of_range*>(&e)) {
        return "ERangeError";
    }
    if (dynamic_cast<const std::invalid_argument*>(&e)) {
        return "EConvertError";
    }
    return "Exception";
}

} // namespace zen
