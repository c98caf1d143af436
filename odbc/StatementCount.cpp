#include "odbc/StatementCount.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace zen {

uint64_t gStatementCounts[static_cast<int>(TStatementKind::Count_)] = {};

namespace {

// One line that bench/run reads: the total first, then the kinds.
void PrintCounts() {
    const uint64_t* c = gStatementCounts;
    auto n = [c](TStatementKind k) {
        return static_cast<unsigned long long>(c[static_cast<int>(k)]);
    };
    std::fprintf(stderr,
                 "zendrato-statements: %llu (SQLExecute %llu, SQLExecDirect %llu, cursor writes "
                 "%llu, SQLEndTran %llu)\n",
                 n(TStatementKind::Execute) + n(TStatementKind::ExecDirect) +
                     n(TStatementKind::CursorWrite) + n(TStatementKind::EndTran),
                 n(TStatementKind::Execute), n(TStatementKind::ExecDirect),
                 n(TStatementKind::CursorWrite), n(TStatementKind::EndTran));
}

// Registered while static objects are made, so that it runs after main returns or exit is
// called, and only when asked for.
[[maybe_unused]] const bool kRegistered = [] {
    const char* v = std::getenv("ZENDRATO_COUNT_STATEMENTS");
    return v && std::strcmp(v, "1") == 0 && std::atexit(PrintCounts) == 0;
}();

} // namespace
} // namespace zen
