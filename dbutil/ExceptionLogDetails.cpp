#include "dbutil/ExceptionLogDetails.h"

namespace zen {

// Datasets and statements add their connection and SQL here once they exist; every other
// object has nothing to add.
std::string SenderDetails(const TObject*) {
    return std::string();
}

} // namespace zen
