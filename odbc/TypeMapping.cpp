#include "odbc/TypeMapping.h"

namespace zen {

TFieldType FieldTypeOfSqlType(SQLSMALLINT sqlType, bool boundSigned) {
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
        return ftString;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
    case SQL_FLOAT:
    case SQL_REAL:
    case SQL_DOUBLE:
        return ftFloat;
    case SQL_INTEGER:
        return ftInteger;
    case SQL_SMALLINT:
    case SQL_TINYINT:
        return boundSigned ? ftSmallint : ftWord;
    case SQL_BIT:
        return ftBoolean;
    case SQL_BIGINT:
        return ftLargeint;
    case SQL_TYPE_DATE:
        return ftDate;
    case SQL_TYPE_TIME:
        return ftTime;
    case SQL_TYPE_TIMESTAMP:
        return ftDateTime;
    case SQL_BINARY:
    case SQL_VARBINARY:
        return ftBytes;
    case SQL_LONGVARBINARY:
        return ftBlob;
    case SQL_LONGVARCHAR:
        return ftMemo;
    default:
        return ftUnknown;
    }
}

SQLSMALLINT CTypeOfSqlType(SQLSMALLINT sqlType, bool isUnsigned) {
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_LONGVARCHAR:
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        return SQL_C_CHAR;
    case SQL_FLOAT:
    case SQL_DOUBLE:
        return SQL_C_DOUBLE;
    case SQL_REAL:
        return SQL_C_FLOAT;
    case SQL_INTEGER:
        return isUnsigned ? SQL_C_ULONG : SQL_C_SLONG;
    case SQL_SMALLINT:
        return isUnsigned ? SQL_C_USHORT : SQL_C_SSHORT;
    case SQL_TINYINT:
        return isUnsigned ? SQL_C_UTINYINT : SQL_C_STINYINT;
    case SQL_BIGINT:
        return isUnsigned ? SQL_C_UBIGINT : SQL_C_SBIGINT;
    case SQL_BIT:
        return SQL_C_BIT;
    case SQL_TYPE_DATE:
        return SQL_C_TYPE_DATE;
    case SQL_TYPE_TIME:
        return SQL_C_TYPE_TIME;
    case SQL_TYPE_TIMESTAMP:
        return SQL_C_TYPE_TIMESTAMP;
    default:
        return SQL_C_BINARY;
    }
}

SQLSMALLINT CTypeOfFieldType(TFieldType fieldType) {
    switch (fieldType) {
    case ftSmallint:
        return SQL_C_SSHORT;
    case ftInteger:
        return SQL_C_SLONG;
    case ftWord:
        return SQL_C_USHORT;
    case ftBoolean:
        return SQL_C_BIT;
    case ftFloat:
    case ftCurrency:
        return SQL_C_DOUBLE;
    case ftDate:
        return SQL_C_TYPE_DATE;
    case ftTime:
        return SQL_C_TYPE_TIME;
    case ftDateTime:
        return SQL_C_TYPE_TIMESTAMP;
    case ftBytes:
    case ftBlob:
        return SQL_C_BINARY;
    case ftLargeint:
        return SQL_C_SBIGINT;
    default:
        return SQL_C_CHAR;
    }
}

SQLSMALLINT SqlTypeOfCType(SQLSMALLINT cType) {
    switch (cType) {
    case SQL_C_CHAR:
        return SQL_CHAR;
    case SQL_C_FLOAT:
        return SQL_REAL;
    case SQL_C_DOUBLE:
        return SQL_DOUBLE;
    case SQL_C_TYPE_DATE:
        return SQL_TYPE_DATE;
    case SQL_C_TYPE_TIME:
        return SQL_TYPE_TIME;
    case SQL_C_TYPE_TIMESTAMP:
        return SQL_TYPE_TIMESTAMP;
    case SQL_C_STINYINT:
    case SQL_C_UTINYINT:
        return SQL_TINYINT;
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
        return SQL_BIGINT;
    case SQL_C_SLONG:
    case SQL_C_ULONG:
        return SQL_INTEGER;
    case SQL_C_SSHORT:
    case SQL_C_USHORT:
        return SQL_SMALLINT;
    case SQL_C_BIT:
        return SQL_BIT;
    case SQL_C_BINARY:
        return SQL_BINARY;
    default:
        return 99;
    }
}

SQLLEN CTypeSize(SQLSMALLINT cType) {
    switch (cType) {
    case SQL_C_CHAR:
    case SQL_C_BINARY:
        return 256;
    case SQL_C_FLOAT:
    case SQL_C_SLONG:
    case SQL_C_ULONG:
        return 4;
    case SQL_C_DOUBLE:
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
        return 8;
    case SQL_C_TYPE_DATE:
    case SQL_C_TYPE_TIME:
        return 6;
    case SQL_C_TYPE_TIMESTAMP:
        return 16;
    case SQL_C_STINYINT:
    case SQL_C_UTINYINT:
    case SQL_C_BIT:
        return 1;
    case SQL_C_SSHORT:
    case SQL_C_USHORT:
        return 2;
    default:
        return 0;
    }
}

TParamType ParamTypeOfOdbc(SQLSMALLINT direction) {
    switch (direction) {
    case SQL_PARAM_INPUT:
        return ptInput;
    case SQL_PARAM_INPUT_OUTPUT:
        return ptInputOutput;
    case SQL_PARAM_OUTPUT:
        return ptOutput;
    case SQL_RETURN_VALUE:
        return ptResult;
    default:
        return ptUnknown;
    }
}

SQLSMALLINT OdbcOfParamType(TParamType type) {
    switch (type) {
    case ptInput:
        return SQL_PARAM_INPUT;
    case ptInputOutput:
        return SQL_PARAM_INPUT_OUTPUT;
    case ptOutput:
    case ptResult:
        return SQL_PARAM_OUTPUT;
    default:
        return SQL_PARAM_TYPE_UNKNOWN;
    }
}

} // namespace zen
