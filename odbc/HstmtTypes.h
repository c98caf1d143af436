#pragma once
// Enumerations and small records that a statement's settings and column values use.

#include "toolkit/FieldTypes.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdint>

namespace zen {

// How long parameter data reaches the driver: in pieces with SQLPutData (bpByParts), from
// the bound memory at execution (bpByExec), or as the driver asks (bpDetect).
enum TBlobPlacement { bpDetect, bpByParts, bpByExec };

// When an empty text written to a column becomes NULL.
enum TEmptyToNull { enNever, enAlways, enIfNullable };

// Which blanks are cut from texts read from and written to columns.
enum TStringTrimming { stTrimNone, stTrimTrailing, stTrimLeading, stTrimBoth };

// How RowCount finds the number of rows a statement produces.
enum TRowCountMethod { rcFunction, rcSelect, rcTraverse, rcCustom };

// Row write-backs for which "no row affected" is an error ("No Data Found").
enum TNoRowsAffectedFlag : unsigned {
    nrByInsert = 1u << 0,
    nrByUpdate = 1u << 1,
    nrByDelete = 1u << 2,
    nrByRefresh = 1u << 3,
};
using TNoRowsAffected = unsigned;

// A column value as a date-time record; the fraction is in nanoseconds.
using TDateTimeRec = SQL_TIMESTAMP_STRUCT;

// The pending write-back operation of a rowset row, kept in its row flags.
enum TRowFlag : uint16_t {
    rfUpdate = 1,
    rfDelete = 2,
    rfRefresh = 4,
    rfInsert = 8,
};

} // namespace zen
