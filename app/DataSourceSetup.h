#pragma once
// A user data source for the Tevrin database, written through unixODBC's installer
// functions (into ~/.odbc.ini, or the file ODBCINI names) with the options the program
// needs of each driver, and then tried with a sign-on. The window's "Nov vir podatkov…" and
// `zendrato --add-dsn` both go through here.

#include "transfer/TransferRun.h"

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace zen {

enum class TSourceKind { PostgreSQL, SQLite };

struct TNewDataSource {
    std::string Name;
    TSourceKind Kind = TSourceKind::PostgreSQL;
    std::string Server;   // PostgreSQL: host name or address
    int Port = 5432;      // PostgreSQL
    std::string Database; // PostgreSQL: the database's name; SQLite: the file
};

inline constexpr const char* kSqliteDriver = "SQLite3";
inline constexpr const char* kPostgresDriver = "PostgreSQL ANSI";

// The keys and values the data source gets, the driver first: a SQLite file read step by
// step and never created by the driver (StepAPI, NoCreat), PostgreSQL read through a server
// cursor with updatable cursors (UseDeclareFetch, UpdatableCursors). A SQLite file is named
// by its absolute path.
std::vector<std::pair<std::string, std::string>> DataSourceKeys(const TNewDataSource& wanted);

// What is wrong with the wanted, in Slovene, or empty: a name the driver manager would not
// take, a value that could break the file's lines, a missing server or database, a port
// out of range, a SQLite file that is not there or no SQLite database.
std::string NewDataSourceProblem(const TNewDataSource& wanted);

// Whether a data source of that name exists (user or system, without regard to case).
bool DataSourceExists(const std::string& name);

// Writes the wanted as a user data source, replacing one of the same name. EDatabaseError
// (Slovene, with the installer's words as the cause) when the wanted is unusable or the
// installer refuses.
void WriteUserDataSource(const TNewDataSource& wanted);

// Signs on to the data source with `signOn` and off again: empty when it worked, else why
// not, in Slovene, with the driver's words after "Vzrok:". EAbort (a cancelled login) is
// passed on.
std::string TryDataSource(const TNewDataSource& wanted, const TSignOnProc& signOn);

inline constexpr const char* kConnectionWorks = "Povezava deluje.";

// `zendrato --add-dsn`: writes the data source (one of the same name only with `force`) and
// tries it with the stored login. Exit status 0 written and working, 1 written but not
// working (why on `err`), 2 not written (why on `err`).
int RunAddDsn(const TNewDataSource& wanted, bool force, std::ostream& out, std::ostream& err);

} // namespace zen
