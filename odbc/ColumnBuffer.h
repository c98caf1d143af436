#pragma once
// One result column of a statement: its description, the element and indicator of every
// row of the row set (what SQLBindCol binds), and for a long column the stream its value
// is read into. How a column is bound, where a row's element lies, how much of it holds
// the value and how it widens are decided here, once for every use.

#include "odbc/Hbase.h"
#include "toolkit/Stream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zen {

class TColumnBuffer {
public:
    // Chooses the C type and element size for the column's SQL type (sqlType, columnSize
    // set first) and makes the elements of `rows` rows, all NULL until fetched; a long
    // column gets a stream instead and is not bound.
    void Describe(bool isUnsigned, SQLULEN rows);

    bool Bound() const noexcept { return !data.empty(); }
    // The element of a row (1-based); nullptr out of the rows or when not bound.
    unsigned char* Element(SQLULEN row) noexcept;
    const unsigned char* Element(SQLULEN row) const noexcept;
    bool HasRow(SQLULEN row) const noexcept { return row >= 1 && row <= indicators.size(); }
    // Value bytes an element can hold (a text's without its terminator).
    SQLLEN Room() const noexcept { return elementSize - (cType == SQL_C_CHAR ? 1 : 0); }
    // The bytes of an element that carry a value of that indicator: a text up to its
    // terminator (kept), bytes up to their length, anything else whole; 0 for NULL.
    uint32_t ValueBytes(SQLLEN indicator) const noexcept;
    // A NUMERIC or DECIMAL column held as its decimal text.
    bool IsDecimalText() const noexcept;
    // Whether columnSize limits a text (in characters) or bytes written to the column: not
    // when the driver gives none, nor once the database was seen holding a longer value.
    bool SizeIsLimit() const noexcept { return !sizeExceeded && columnSize > 0; }
    // Notes a value of the row just fetched (element and indicator whole): one longer than
    // columnSize shows that the size is no limit.
    void NoteHeldLength(SQLULEN row);
    // Widens every row's element to at least `bytes` (with room to spare), keeping the
    // values; false when they are wide enough. The caller binds the new elements.
    bool Widen(SQLLEN bytes);

    SQLSMALLINT cType = SQL_C_BINARY;
    SQLSMALLINT sqlType = 0;
    SQLLEN elementSize = 0; // bytes of one row's element; 0 when not bound
    std::vector<unsigned char> data;
    std::vector<SQLLEN> indicators;
    bool isLong = false;
    std::unique_ptr<TMemoryStream> stream;
    bool longRead = false;
    bool primary = false;
    // The database held a value longer than columnSize: the size is no limit (a driver's
    // size for an unsized column is a guess, the same as for a column of that size).
    bool sizeExceeded = false;
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
    // A decimal whose precision and scale the driver does not give (columnSize and
    // decimalDigits are then no limit).
    bool digitsUnknown = false;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
    std::string name;
    // The driver calls the column read-only (asked once a result set, by the write-back).
    bool readOnly = false;
    // The row's key value a generated WHERE binds (THstmt::KeepKeyValues): sized once a
    // result set, since a prepared WHERE keeps its address.
    std::vector<unsigned char> keyValue;
    SQLLEN keyIndicator = SQL_NULL_DATA;
};

} // namespace zen
