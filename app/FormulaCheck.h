#pragma once
// The formula checker: `zendrato --formula TEXT [--var NAME=VALUE]... [--price-class C]`
// prices one formula as a document line would and prints the result, with no window,
// database or settings file. It lets whoever writes the price formulas try them.

#include <iosfwd>
#include <string>

namespace zen {

struct TCommandLine;

// The checker's usage lines and its whole help (the variables and their meaning).
std::string FormulaUsage();
std::string FormulaHelp();

// Runs the checker on a parsed command line: the amount with four decimals on the first
// line and the evaluator's error text, when there is one, on the second. Returns the exit
// status: 0 without an error text, 1 with one, 2 on a usage error (a variable that is not
// one, a value that is no amount; usage on `err`) or when the home directory, where
// failures are logged, cannot be created (one line on `err`). Takes the locale from the
// environment, as the program does.
int RunFormulaCheck(const TCommandLine& cl, std::ostream& out, std::ostream& err);

} // namespace zen
