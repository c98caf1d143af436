#pragma once
// The type tables between SQL types, C buffer types and the toolkit's field types that the
// statement and the datasets share.

#include "odbc/HstmtTypes.h"
#include "toolkit/FieldTypes.h"

namespace zen {

// Whether values of an SQL type are long data (read and sent in pieces).
inline bool IsLongType(SQLSMALLINT sqlType) {
    return sqlType == SQL_LONGVARCHAR || sqlType == SQL_LONGVARBINARY;
}

// The field type of a result column of the given SQL type. Small and tiny integers give
// ftSmallint when they are bound signed, ftWord otherwise.
TFieldType FieldTypeOfSqlType(SQLSMALLINT sqlType, bool boundSigned);

// The C type a result column of the given SQL type is read as: NUMERIC and DECIMAL as the
// decimal text the database holds (a double cannot hold every value of 16 digits and
// more, and a key read as one would name another row), integers signed or not as the
// column is; SQL_C_BINARY for a type without a C form of its own.
SQLSMALLINT CTypeOfSqlType(SQLSMALLINT sqlType, bool isUnsigned);

// The C type a parameter of the given field type is bound as.
SQLSMALLINT CTypeOfFieldType(TFieldType fieldType);

// The SQL type that goes with a parameter's C type (99 when there is none).
SQLSMALLINT SqlTypeOfCType(SQLSMALLINT cType);

// Bytes of one value of a C type (the size of its C form); 256 for text and binary, 0
// when unknown.
SQLLEN CTypeSize(SQLSMALLINT cType);

// Parameter directions between the datasets and ODBC.
TParamType ParamTypeOfOdbc(SQLSMALLINT direction);
SQLSMALLINT OdbcOfParamType(TParamType type);

} // namespace zen
