#pragma once
// The program's command line, one parser for every mode: the window (no arguments), the
// formula checker (--formula), storing the SQL login (--set-login), the transfer without
// a window (--transfer), its history and undo (--history, --undo), a new data source
// (--add-dsn) and the demo (--demo). Each mode has its own options and its own --help; --version is
// common. An option of another mode, a second mode, or an argument that is no option is a
// usage error.

#include "app/DataSourceSetup.h"
#include "toolkit/Exceptions.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace zen {

enum class TCommandMode { Window, Formula, SetLogin, Transfer, History, Undo, AddDsn, Demo };

// The options of `--transfer`. Those not given are taken from the settings file, as the
// window would restore them.
struct TTransferArgs {
    std::string Date; // the issue date as the short date (converted from YYYY-MM-DD)
    std::optional<std::string> Event, Clerk, DataSource, File;
    std::string Report; // the error report's file, empty for none
    bool Check = false;
    bool Force = false;
    bool Resume = false;
};

// --history [--dsn VIR] [--limit N] [--csv]
struct THistoryArgs {
    std::optional<std::string> DataSource; // the database's data source; Alias when not given
    int Limit = 0;                         // 0: every run
    bool Csv = false;
};

// --undo RUN [--check]
struct TUndoArgs {
    int64_t Run = 0;
    bool Check = false;
    std::optional<std::string> DataSource; // the database's data source; Alias when not given
};

// --add-dsn IME --kind postgresql|sqlite [--server S] [--port N] --database BAZA [--force]
struct TAddDsnArgs {
    TNewDataSource Source;
    bool Force = false; // replaces a data source of the same name
};

struct TCommandLine {
    TCommandMode Mode = TCommandMode::Window;
    bool Help = false;    // the mode's help (every mode's for the window)
    bool Version = false; // the program's version
    // --formula TEXT [--var NAME=VALUE]... [--price-class C]
    std::string Formula;
    std::vector<std::string> Vars;
    std::optional<std::string> PriceClass;
    // --set-login USER
    std::string LoginUser;
    TTransferArgs Transfer;
    THistoryArgs History;
    TUndoArgs Undo;
    TAddDsnArgs AddDsn;
};

// A usage error, with the mode whose usage the user should be shown.
class ECommandLine : public Exception {
public:
    ECommandLine(TCommandMode mode, const std::string& message) : Exception(message), mode_(mode) {}
    TCommandMode Mode() const { return mode_; }

private:
    TCommandMode mode_;
};

// Parses argv (UTF-8, as the locale gives it). ECommandLine on a usage error. A date of
// --transfer is read with the process's format settings, so those are set first.
TCommandLine ParseCommandLine(int argc, char** argv);

// The mode argv asks for, without checking the rest: the first mode option, or else the
// mode of the first option that only one mode has.
TCommandMode CommandMode(int argc, char** argv);

// The usage lines of a mode (of every mode for the window), each ending in a newline.
std::string CommandUsage(TCommandMode mode);
// The whole help of a mode; the window's is the help of every mode.
std::string CommandHelp(TCommandMode mode);
// "zendrato <version>\n".
std::string VersionText();

// The issue date as --transfer takes it, YYYY-MM-DD or the short date, written in the
// short date with a four-digit year (which the run reads back unchanged).
// nullopt when it is neither.
std::optional<std::string> IssueDateText(const std::string& text);

// Parses and, on a usage error, writes "zendrato: <error>" and the mode's usage to err.
std::optional<TCommandLine> ParseCommandLineOrExplain(int argc, char** argv, std::ostream& err);

} // namespace zen
