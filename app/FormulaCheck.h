#pragma once
// The formula checker: `zendrato --formula TEXT [--var NAME=VALUE]... [--price-class C]`
// prices one formula as a document line would and prints the result, with no window,
// database or settings file. It lets whoever writes the price formulas try them.

#include <iosfwd>

namespace zen {

// True when the command line is meant for the checker (or asks for help) rather than for
// the window: its first argument is one of the checker's options.
bool IsFormulaCheckCommand(int argc, char** argv);

// Runs the checker: the amount with four decimals on the first line and the evaluator's
// error text, when there is one, on the second. Returns the exit status: 0 without an
// error text, 1 with one, 2 on a usage error (usage on `err`) or when the home directory,
// where failures are logged, cannot be created (one line on `err`). Takes the locale from
// the environment, as the program does.
int RunFormulaCheck(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace zen
