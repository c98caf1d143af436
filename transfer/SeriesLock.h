#pragma once
// The lock that keeps two writers of one document series from taking the same number:
// taken inside the transaction of an invoice before the series is read, held until that
// transaction ends.

#include <string>

namespace zen {

class THdbc;

// Locks the series `prefix` for the rest of the current transaction of `database`. On
// PostgreSQL a transaction-scoped advisory lock on the series, which other runs take too
// (a program that does not is met by retrying a number it took first); on SQLite the
// database's write lock, which every writer takes. Other databases get no lock and rely on
// the retry alone.
void LockSeries(THdbc& database, const std::string& prefix);

} // namespace zen
