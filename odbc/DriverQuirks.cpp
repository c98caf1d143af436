#include "odbc/DriverQuirks.h"

#include "toolkit/Text.h"

#include <sqlext.h>

namespace zen {

TDbmsKind DbmsKindOf(std::string_view dbmsName) {
    const std::string name = AsciiUpper(dbmsName);
    if (name.starts_with("SQLITE")) {
        return TDbmsKind::SQLite;
    }
    if (name.starts_with("POSTGRESQL")) {
        return TDbmsKind::PostgreSQL;
    }
    return TDbmsKind::Other;
}

SQLUINTEGER TDriverQuirks::CursorAttributes(SQLULEN cursorType) const {
    switch (cursorType) {
    case SQL_CURSOR_FORWARD_ONLY:
        return forwardOnlyCursor;
    case SQL_CURSOR_KEYSET_DRIVEN:
        return keysetCursor;
    case SQL_CURSOR_DYNAMIC:
        return dynamicCursor;
    case SQL_CURSOR_STATIC:
        return staticCursor;
    default:
        return 0;
    }
}

} // namespace zen
