#pragma once
// The field-type enumeration shared by the datasets, the ODBC type mapping and the local
// tables. The order is fixed: stored forms and mapping tables index by it.

namespace zen {

enum TFieldType {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
    ftADT,
    ftArray,
    ftReference,
    ftDataSet,
};

// Direction of a statement or dataset parameter.
enum TParamType { ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult };

enum TIndexOption {
    ixPrimary = 1 << 0,
    ixUnique = 1 << 1,
    ixDescending = 1 << 2,
    ixCaseInsensitive = 1 << 3,
    ixExpression = 1 << 4,
};
using TIndexOptions = unsigned;

} // namespace zen
