#pragma once
// What the program knows of a connection's driver, read once when the connection opens
// (THdbc::Quirks) and asked wherever the drivers differ, so that no place recognises a
// driver by a rule of its own or asks the driver again on every use.

#include "odbc/DriverRec.h"

#include <sql.h>

#include <string>
#include <string_view>

namespace zen {

enum class TDbmsKind { Other, SQLite, PostgreSQL };

// The kind by the DBMS name the driver reports (SQL_DBMS_NAME): a name that begins with
// "SQLite" or "PostgreSQL", ASCII case ignored.
TDbmsKind DbmsKindOf(std::string_view dbmsName);

struct TDriverQuirks {
    std::string dbmsName;   // SQL_DBMS_NAME
    std::string driverName; // SQL_DRIVER_NAME, the driver's file
    TDbmsKind kind = TDbmsKind::Other;
    // Whether open cursors stay usable after a commit or rollback (SQL_CB_PRESERVE).
    bool cursorsSurviveCommit = false;
    bool cursorsSurviveRollback = false;
    // Whether long data sent at execution needs its length beforehand
    // (SQL_NEED_LONG_DATA_LEN).
    bool needLongDataLen = false;
    SQLUINTEGER getDataExtensions = 0; // SQL_GETDATA_EXTENSIONS
    // SQL_*_CURSOR_ATTRIBUTES1 of each cursor type.
    SQLUINTEGER forwardOnlyCursor = 0, keysetCursor = 0, dynamicCursor = 0, staticCursor = 0;
    // The driver's row of the table of limits ("Default" when it is not listed).
    const TDriverRec* limits = nullptr;

    // DBMS name, ";", driver file name: the key of the table of limits.
    std::string Key() const { return dbmsName + ";" + driverName; }
    // The SQL_*_CURSOR_ATTRIBUTES1 mask of a cursor type, 0 for an unknown type.
    SQLUINTEGER CursorAttributes(SQLULEN cursorType) const;
    // SQLite's driver (with the StepAPI option) reads a scrollable cursor's whole result
    // into memory at execute, while its forward-only cursors step through the result.
    bool ScrollReadsWhole() const { return kind == TDbmsKind::SQLite; }
    // PostgreSQL's SQLSetPos(SQL_REFRESH) over a server cursor re-reads the row after the
    // one asked for.
    bool RefreshesAnotherRow() const { return kind == TDbmsKind::PostgreSQL; }
};

} // namespace zen
