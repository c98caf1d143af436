#pragma once
// How arguments are handed to ODBC calls that take an integer in a pointer or a
// modifiable character buffer.

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <string>

namespace zen {

// An integer attribute value passed where the call takes a pointer.
inline SQLPOINTER UlenAttr(SQLULEN value) {
    return reinterpret_cast<SQLPOINTER>(static_cast<uintptr_t>(value));
}

// A text argument; the calls take non-const buffers but read them only.
inline SQLCHAR* Chars(std::string& text) {
    return reinterpret_cast<SQLCHAR*>(text.data());
}

} // namespace zen
