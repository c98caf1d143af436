#include "odbc/ColumnBuffer.h"

#include <algorithm>
#include <cstring>

namespace zen {

namespace {

// A character or binary column that does not tell its size gets this many.
constexpr SQLULEN kUnknownColumnSize = 255;

SQLULEN BoundSize(SQLULEN columnSize) {
    return columnSize == 0 ? kUnknownColumnSize : columnSize;
}

} // namespace

void TColumnBuffer::Describe(bool isUnsigned, SQLULEN rows) {
    bool bind = true;
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
        cType = SQL_C_CHAR;
        // Up to four UTF-8 bytes a character, and the terminator.
        elementSize = static_cast<SQLLEN>(BoundSize(columnSize) * 4 + 1);
        break;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        // Read as the decimal text the database holds: a double cannot hold every
        // value of 16 digits and more, and a key read as one would name another row.
        // Room for the digits, sign, point and terminator.
        cType = SQL_C_CHAR;
        elementSize = static_cast<SQLLEN>(BoundSize(columnSize) + 3);
        break;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        cType = SQL_C_DOUBLE;
        elementSize = sizeof(SQLDOUBLE);
        break;
    case SQL_REAL:
        cType = SQL_C_FLOAT;
        elementSize = sizeof(SQLREAL);
        break;
    case SQL_INTEGER:
        cType = isUnsigned ? SQL_C_ULONG : SQL_C_SLONG;
        elementSize = sizeof(SQLINTEGER);
        break;
    case SQL_SMALLINT:
        cType = isUnsigned ? SQL_C_USHORT : SQL_C_SSHORT;
        elementSize = sizeof(SQLSMALLINT);
        break;
    case SQL_TINYINT:
        cType = isUnsigned ? SQL_C_UTINYINT : SQL_C_STINYINT;
        elementSize = 1;
        break;
    case SQL_BIGINT:
        cType = isUnsigned ? SQL_C_UBIGINT : SQL_C_SBIGINT;
        elementSize = sizeof(SQLBIGINT);
        break;
    case SQL_BIT:
        cType = SQL_C_BIT;
        elementSize = 1;
        break;
    case SQL_TYPE_DATE:
        cType = SQL_C_TYPE_DATE;
        elementSize = sizeof(SQL_DATE_STRUCT);
        break;
    case SQL_TYPE_TIME:
        cType = SQL_C_TYPE_TIME;
        elementSize = sizeof(SQL_TIME_STRUCT);
        break;
    case SQL_TYPE_TIMESTAMP:
        cType = SQL_C_TYPE_TIMESTAMP;
        elementSize = sizeof(SQL_TIMESTAMP_STRUCT);
        break;
    case SQL_BINARY:
    case SQL_VARBINARY:
        cType = SQL_C_BINARY;
        elementSize = static_cast<SQLLEN>(BoundSize(columnSize));
        break;
    case SQL_LONGVARCHAR:
    case SQL_LONGVARBINARY:
        cType = sqlType == SQL_LONGVARCHAR ? SQL_C_CHAR : SQL_C_BINARY;
        isLong = true;
        stream = std::make_unique<TMemoryStream>();
        bind = false;
        break;
    default:
        cType = SQL_C_BINARY;
        bind = false;
        break;
    }
    indicators.assign(rows, 0);
    indicators[0] = SQL_NULL_DATA;
    if (bind) {
        data.assign(static_cast<size_t>(elementSize) * rows, 0);
    }
}

unsigned char* TColumnBuffer::Element(SQLULEN row) noexcept {
    return HasRow(row) && Bound() ? data.data() + (row - 1) * static_cast<size_t>(elementSize)
                                  : nullptr;
}

const unsigned char* TColumnBuffer::Element(SQLULEN row) const noexcept {
    return HasRow(row) && Bound() ? data.data() + (row - 1) * static_cast<size_t>(elementSize)
                                  : nullptr;
}

uint32_t TColumnBuffer::ValueBytes(SQLLEN indicator) const noexcept {
    const auto size = static_cast<size_t>(elementSize);
    if (indicator < 0) {
        return 0;
    }
    if (cType == SQL_C_CHAR) {
        return static_cast<uint32_t>(std::min(static_cast<size_t>(indicator), size - 1) + 1);
    }
    if (cType == SQL_C_BINARY) {
        return static_cast<uint32_t>(std::min(static_cast<size_t>(indicator), size));
    }
    return static_cast<uint32_t>(size);
}

bool TColumnBuffer::IsDecimalText() const noexcept {
    return cType == SQL_C_CHAR && (sqlType == SQL_NUMERIC || sqlType == SQL_DECIMAL);
}

bool TColumnBuffer::Widen(SQLLEN bytes) {
    if (!Bound() || bytes <= elementSize) {
        return false;
    }
    // Room to spare, so that a run of growing values widens a few times only.
    const auto wide = static_cast<size_t>(std::max(bytes, elementSize * 2));
    const auto old = static_cast<size_t>(elementSize);
    const size_t rows = indicators.size();
    std::vector<unsigned char> wider(wide * rows, 0);
    for (size_t r = 0; r < rows; ++r) {
        std::memcpy(wider.data() + r * wide, data.data() + r * old, old);
    }
    data = std::move(wider);
    elementSize = static_cast<SQLLEN>(wide);
    return true;
}

} // namespace zen
