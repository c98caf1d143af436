// The statement's parameters: names, binding, sizes of long values.

#include "odbc/Hstmt.h"

#include "odbc/CallArgs.h"
#include "odbc/SqlText.h"
#include "odbc/TypeMapping.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <utility>

namespace zen {

const std::vector<std::string>& THstmt::ParamNames() {
    if (paramNamesOf_ != sql_) {
        paramNamesOf_.reset();
        ParseSqlParams(sql_, paramNames_);
        paramNamesOf_ = sql_;
    }
    return paramNames_;
}

int THstmt::ParamByName(const std::string& name) {
    const std::vector<std::string>& names = ParamNames();
    for (size_t i = 0; i < names.size(); ++i) {
        if (SameName(names[i], name)) {
            return static_cast<int>(i + 1);
        }
    }
    throw EODBCExpress("Token " + AsciiUpper(name) + " not found in SQL statement.");
}

void THstmt::SetParamType(SQLSMALLINT direction) noexcept {
    if (direction == SQL_PARAM_INPUT || direction == SQL_PARAM_INPUT_OUTPUT ||
        direction == SQL_PARAM_OUTPUT) {
        paramType_ = direction;
    }
}

TParamRec* THstmt::ParamRecord(SQLUSMALLINT number) {
    return const_cast<TParamRec*>(std::as_const(*this).FindParam(number));
}

const TParamRec* THstmt::FindParam(SQLUSMALLINT number) const {
    for (const auto& p : params_) {
        if (p->number == number) {
            return p.get();
        }
    }
    return nullptr;
}

bool THstmt::LongDataByParts() {
    switch (blobPlacement_) {
    case bpByParts:
        return true;
    case bpByExec:
        return false;
    default:
        return hdbc_ && hdbc_->Quirks().needLongDataLen;
    }
}

namespace {

struct TParamBuffer {
    SQLLEN length = 0;
    SQLLEN indicator = 0;
};

// The buffer length and indicator a parameter of an SQL type is bound with; a text or
// binary parameter bound from a buffer of known size (not an array) widens its column
// size to what the buffer holds.
TParamBuffer ParamBuffer(SQLSMALLINT sqlType, bool isArray, SQLLEN bufferBytes, SQLULEN& columnSize,
                         bool longByParts) {
    const bool text = sqlType == SQL_CHAR || sqlType == SQL_VARCHAR;
    switch (sqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR:
    case SQL_BINARY:
    case SQL_VARBINARY: {
        const SQLLEN terminator = text ? 1 : 0;
        TParamBuffer b{0, text ? SQL_NTS : 0};
        if (!isArray && bufferBytes > 0) {
            columnSize =
                std::max<SQLULEN>(columnSize, static_cast<SQLULEN>(bufferBytes - terminator));
            b.length = bufferBytes;
        } else {
            b.length = isArray ? 256 : static_cast<SQLLEN>(columnSize) + terminator;
        }
        return b;
    }
    case SQL_LONGVARCHAR:
    case SQL_LONGVARBINARY:
        return {2147483647, longByParts ? SQL_LEN_DATA_AT_EXEC(0) : 0};
    default:
        return {};
    }
}

} // namespace

void THstmt::BindParamMain(SQLUSMALLINT number, SQLSMALLINT cType, SQLULEN arraySize,
                           SQLSMALLINT nullable, SQLSMALLINT decimalDigits, SQLULEN columnSize,
                           SQLSMALLINT sqlType, SQLPOINTER value, SQLLEN bufferBytes) {
    SQLHSTMT h = Handle();
    bool isArray = arraySize > 1;
    if (isArray && IsLongType(sqlType)) {
        throw EODBCExpress("Cannot insert bulk blobs.");
    }
    TParamRec* rec = ParamRecord(number);
    if (!rec) {
        params_.insert(params_.begin(), std::make_unique<TParamRec>());
        rec = params_.front().get();
        rec->number = number;
    }
    rec->cType = cType;
    rec->sqlType = sqlType;
    rec->value = value;
    rec->arraySize = arraySize;
    rec->columnSize = columnSize;
    rec->decimalDigits = decimalDigits;
    rec->nullable = nullable;
    // Every array element has its indicator, however the record was bound before.
    rec->indicators.assign(std::max<SQLULEN>(arraySize, 1), 0);
    paramSetSize_ = std::max(paramSetSize_, std::max<SQLULEN>(arraySize, 1));

    const TParamBuffer buffer = ParamBuffer(sqlType, isArray, bufferBytes, columnSize,
                                            IsLongType(sqlType) && LongDataByParts());
    rec->columnSize = columnSize;
    std::fill(rec->indicators.begin(), rec->indicators.end(),
              value ? buffer.indicator : SQL_NULL_DATA);
    const SQLLEN bufferLength = buffer.length;

    SQLSMALLINT direction = paramType_;
    paramType_ = SQL_PARAM_INPUT;
    if (!Checked(SQLBindParameter(h, number, direction, cType, sqlType, columnSize, decimalDigits,
                                  value, bufferLength, rec->indicators.data()))) {
        return;
    }

    if (bindByName_) {
        if (paramNames_.empty()) {
            ParseSqlParams(sql_, paramNames_);
        }
        if (number <= paramNames_.size()) {
            if (ipd_ == SQL_NULL_HDESC &&
                !Checked(SQLGetStmtAttr(h, SQL_ATTR_IMP_PARAM_DESC, &ipd_, 0, nullptr))) {
                return;
            }
            std::string name = paramNames_[number - 1];
            SQLSetDescField(ipd_, static_cast<SQLSMALLINT>(number), SQL_DESC_NAME, name.data(),
                            SQL_NTS);
            SQLSetDescField(ipd_, static_cast<SQLSMALLINT>(number), SQL_DESC_UNNAMED,
                            UlenAttr(SQL_NAMED), 0);
        }
    }
}

bool THstmt::DescribeParam(SQLUSMALLINT number, SQLSMALLINT& sqlType, SQLULEN& columnSize,
                           SQLSMALLINT& decimalDigits, SQLSMALLINT& nullable) {
    Init();
    if (!hdbc_ || hdbc_->NoDescribeParam() || !prepared_) {
        return false;
    }
    SQLSMALLINT type = 0;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT canBeNull = SQL_NULLABLE_UNKNOWN;
    if (!SQL_SUCCEEDED(SQLDescribeParam(hstmt_, number, &type, &size, &digits, &canBeNull))) {
        return false;
    }
    sqlType = type;
    columnSize = size;
    decimalDigits = digits;
    nullable = canBeNull;
    return true;
}

void THstmt::BindParam(SQLUSMALLINT number, SQLSMALLINT cType, SQLSMALLINT sqlType,
                       SQLPOINTER value, SQLLEN bufferBytes) {
    Init();
    SQLULEN columnSize = 0;
    SQLSMALLINT decimalDigits = 0;
    SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
    bool described = false;
    SQLSMALLINT type = 0;
    if (!bindByName_ && DescribeParam(number, type, columnSize, decimalDigits, nullable)) {
        // The driver's type is taken unless it would turn a plain value into long data
        // or long data into a plain value: a text bound from a buffer would then be
        // sent as empty data-at-execution, a stream not in pieces.
        if (IsLongType(type) == IsLongType(sqlType)) {
            sqlType = type;
        }
        // PostgreSQL's driver describes text and bytea parameters with SQL_NO_TOTAL as
        // their size; taken as a size it would be a negative buffer length.
        if (static_cast<SQLLEN>(columnSize) < 0) {
            columnSize = 0;
        }
        described = true;
    }
    if (!described) {
        const TDriverRec& r = hdbc_->DriverRec();
        nullable = SQL_NULLABLE_UNKNOWN;
        decimalDigits = 0;
        switch (sqlType) {
        case SQL_CHAR:
            columnSize = r.charSize;
            break;
        case SQL_VARCHAR:
            columnSize = r.varcharSize;
            break;
        case SQL_LONGVARCHAR:
            columnSize = r.longvarcharSize;
            break;
        case SQL_BINARY:
            columnSize = r.binarySize;
            break;
        case SQL_VARBINARY:
            columnSize = r.varbinarySize;
            break;
        case SQL_LONGVARBINARY:
            columnSize = r.longvarbinarySize;
            break;
        case SQL_DECIMAL:
            columnSize = r.decimalPrecision;
            decimalDigits = r.decimalScale;
            break;
        case SQL_NUMERIC:
            columnSize = r.numericPrecision;
            decimalDigits = r.numericScale;
            break;
        case SQL_TYPE_TIMESTAMP:
            columnSize = r.timestampSize;
            decimalDigits = r.timestampScale;
            break;
        default:
            columnSize = 0;
            break;
        }
    }
    BindParamMain(number, cType, 0, nullable, decimalDigits, columnSize, sqlType, value,
                  bufferBytes);
}

void THstmt::BindParamLong(SQLUSMALLINT number, const void* data, SQLLEN size, bool binary) {
    if (size <= 0) {
        data = nullptr;
    }
    BindParam(number, binary ? SQL_C_BINARY : SQL_C_CHAR,
              binary ? SQL_LONGVARBINARY : SQL_LONGVARCHAR, const_cast<void*>(data));
    SetParamSize(number, size > 0 ? size : -1);
}

void THstmt::BindParamStream(SQLUSMALLINT number, TMemoryStream& stream, bool binary) {
    BindParamLong(number, stream.Memory(), stream.Size(), binary);
}

SQLLEN THstmt::ParamSize(SQLUSMALLINT number) const {
    const TParamRec* p = FindParam(number);
    if (!p || p->indicators.empty()) {
        return 0;
    }
    SQLLEN v = p->indicators[0];
    return v < -99 ? -v + SQL_LEN_DATA_AT_EXEC_OFFSET : v;
}

void THstmt::SetParamSize(SQLUSMALLINT number, SQLLEN size) {
    TParamRec* p = ParamRecord(number);
    if (!p || p->indicators.empty()) {
        return;
    }
    if (!p->value && size > 0) {
        // The driver would read the value from nowhere.
        throw EODBCExpress("Parameter " + std::to_string(number) + " has no value of " +
                           std::to_string(size) + " bytes.");
    }
    if (p->indicators[0] < -99 && size >= 0) {
        p->indicators[0] = SQL_LEN_DATA_AT_EXEC(size);
    } else {
        p->indicators[0] = size;
    }
}

} // namespace zen
