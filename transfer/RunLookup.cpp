#include "transfer/RunLookup.h"

#include "dataset/ODSI.h"
#include "dbutil/StdProc.h"

namespace zen {

bool RunLookup(TOEQuery& dataSet, const std::string& keyColumn, const std::string& value) {
    TCaughtFault caught;
    const bool found = sqlFindKeyBound(dataSet, keyColumn, value, caught);
    if (caught) {
        caught.Rethrow();
    }
    return found;
}

} // namespace zen
