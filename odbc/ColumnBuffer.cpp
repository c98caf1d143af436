#include "odbc/ColumnBuffer.h"

#include "odbc/TypeMapping.h"
#include "toolkit/Text.h"

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
    cType = CTypeOfSqlType(sqlType, isUnsigned);
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
        // Up to four UTF-8 bytes a character, and the terminator.
        elementSize = static_cast<SQLLEN>(BoundSize(columnSize) * 4 + 1);
        break;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        // Read as the decimal text the database holds (CTypeOfSqlType): room for the
        // digits, sign, point and terminator.
        elementSize = static_cast<SQLLEN>(BoundSize(columnSize) + 3);
        break;
    case SQL_BINARY:
    case SQL_VARBINARY:
        elementSize = static_cast<SQLLEN>(BoundSize(columnSize));
        break;
    case SQL_LONGVARCHAR:
    case SQL_LONGVARBINARY:
        isLong = true;
        stream = std::make_unique<TMemoryStream>();
        elementSize = 0;
        break;
    default:
        // A value of fixed size; a type without a C form is not bound.
        elementSize = cType == SQL_C_BINARY ? 0 : CTypeSize(cType);
        break;
    }
    indicators.assign(rows, 0);
    indicators[0] = SQL_NULL_DATA;
    if (elementSize > 0) {
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

void TColumnBuffer::NoteHeldLength(SQLULEN row) {
    const SQLLEN indicator = HasRow(row) ? indicators[row - 1] : SQL_NULL_DATA;
    // A text has no more characters than bytes: only a value of more bytes than the size
    // is counted.
    if (!Bound() || !SizeIsLimit() || indicator <= static_cast<SQLLEN>(columnSize) ||
        IsDecimalText() || (cType != SQL_C_CHAR && cType != SQL_C_BINARY)) {
        return;
    }
    const auto* e = reinterpret_cast<const char*>(Element(row));
    const auto bytes = static_cast<size_t>(std::min(indicator, Room()));
    const size_t length = cType == SQL_C_CHAR ? Utf8Length(std::string_view(e, bytes)) : bytes;
    sizeExceeded = length > columnSize;
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
