#pragma once
// A count of what the program sends to the server, for the transfer benchmark: executions
// (SQLExecute, SQLExecDirect), writes through a cursor (SQLBulkOperations, SQLSetPos other
// than SQL_POSITION) and transaction ends (SQLEndTran). Counting is one increment of a
// plain integer, always done (nothing beside a round trip to the server could measure
// it); the counts are printed on standard error at the process's exit only when the
// environment variable ZENDRATO_COUNT_STATEMENTS is 1.

#include <cstdint>

namespace zen {

enum class TStatementKind { Execute, ExecDirect, CursorWrite, EndTran, Count_ };

extern uint64_t gStatementCounts[static_cast<int>(TStatementKind::Count_)];

inline void CountStatement(TStatementKind kind) noexcept {
    ++gStatementCounts[static_cast<int>(kind)];
}

} // namespace zen
