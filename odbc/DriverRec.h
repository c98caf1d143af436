#pragma once
// The limits of known drivers, used to size parameters when a driver cannot describe them.

#include <sql.h>

#include <string>
#include <vector>

namespace zen {

struct TDriverRec {
    std::string name; // DBMS name, ";", driver file name
    SQLULEN charSize = 255;
    SQLULEN varcharSize = 255;
    SQLULEN longvarcharSize = 2147483647;
    SQLULEN binarySize = 255;
    SQLULEN varbinarySize = 255;
    SQLULEN longvarbinarySize = 2147483647;
    SQLULEN decimalPrecision = 15;
    SQLULEN numericPrecision = 15;
    SQLULEN timestampSize = 19;
    SQLSMALLINT decimalScale = 15;
    SQLSMALLINT numericScale = 15;
    SQLSMALLINT timestampScale = 0;
};

// The table of known drivers, "Default" first.
std::vector<TDriverRec> BuildDriverTable();

} // namespace zen
