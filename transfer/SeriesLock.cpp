#include "transfer/SeriesLock.h"

#include "dataset/ODSI.h"
#include "odbc/Hdbc.h"

#include <cstdint>

namespace zen {

namespace {

// The advisory lock's key: a 64-bit FNV-1a hash of the series, stable across processes
// and versions, under a name of its own so that it meets no other program's lock.
int64_t SeriesKey(const std::string& prefix) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : "Zendrato document series " + prefix) {
        h = (h ^ c) * 1099511628211ull;
    }
    return static_cast<int64_t>(h);
}

} // namespace

void LockSeries(THdbc& database, const std::string& prefix) {
    std::string sql;
    const TDbmsKind kind = database.Quirks().kind;
    if (kind == TDbmsKind::PostgreSQL) {
        sql = "SELECT pg_advisory_xact_lock(" + std::to_string(SeriesKey(prefix)) + ")";
    } else if (kind == TDbmsKind::SQLite) {
        // A write that changes nothing still takes the write lock, which then keeps every
        // other writer out until this transaction ends.
        sql = "UPDATE Promet SET Kljuc = Kljuc WHERE 1 = 0";
    } else {
        return;
    }
    TOEQuery lock;
    lock.SetHdbc(&database);
    lock.SQL().Add(sql);
    lock.ExecSQL();
}

} // namespace zen
