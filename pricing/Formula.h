#pragma once
// The price formula evaluator. A formula is a sequence of units [condition:expression]; the
// first unit whose condition holds gives the value, and a plain expression may close the
// sequence as an unconditional unit. The text has no blanks and uses "." as the decimal
// point (the formula pricing prepares it so).
//
// Arithmetic is the accounting product's own and is kept exactly, quirks included: "*" and
// "/" bind tighter than "+" and "-" and run left to right, but a "-" takes the whole rest of
// its expression as its right operand (10-3-2 is 9), and a parenthesised group is carried on
// as a number with five decimals ((1/3)*3 is 0.99999).
//
// Malformed input is reported through a Slovene error text, never by a crash: the text is
// written by users. Only a zero divisor that is not the last operand of its chain raises
// (EZeroDivide); a final zero divisor gives the error text "deljenje z 0" and counts as 0
// in the sums and groups around it, so "23+9/0" is 23 and "3+(5/0)" is 3. Every other
// error leaves no value to carry on with, and the result is then 0.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zen {

// The error texts, as the operator sees them.
inline constexpr std::string_view kErrUnitFirst = "Izraz se mora obvezno začeti z logično enoto";
inline constexpr std::string_view kErrUnitClose =
    "Nepravilen izraz, manjka končni ] ali tekst med oklepajema";
inline constexpr std::string_view kErrUnitShape =
    "Nepravilna oblika izraza, moralo bi biti [xxxx:yyyy]";
inline constexpr std::string_view kErrNoComparison =
    "Logični izraz ne vsebuje operatorja =, <, > ali <>";
inline constexpr std::string_view kErrUnbalanced = "Neuravnovešeni oklepaji";
inline constexpr std::string_view kErrMissingOperand = "* ali / brez enega operanda";
inline constexpr std::string_view kErrBadNumber = "Napačna številka ";
inline constexpr std::string_view kErrDivByZero = "deljenje z 0";
// Our own guard: deeper nesting than any price needs ends here instead of on the stack.
inline constexpr std::string_view kErrTooDeep = "Preveč gnezdenih oklepajev";

// Parentheses nested deeper than this give kErrTooDeep.
inline constexpr int kMaxFormulaNesting = 100;

struct TFormulaUnit {
    std::string Condition;
    std::string Expression;
};

struct TFormulaResult {
    double Value = 0;
    std::string Error; // empty when the evaluation succeeded
};

// The entry point. With an error text the value is 0, except after a final zero divisor
// (see above). Raises EZeroDivide as described above.
TFormulaResult EvalFormula(std::string_view text);

// Splits a formula into its units, in order and without limit on their number; a trailing
// plain expression becomes the unit "1=1". On a malformed unit, sets `error` and returns
// the units taken so far.
std::vector<TFormulaUnit> SplitFormulaUnits(std::string_view text, std::string& error);

// A condition holds when the error text is empty after evaluating both sides and the
// comparison ("=", "<>", ">" or "<", tried in that order; doubles compared exactly) is true.
bool EvalCondition(std::string_view condition, std::string& error);

// Splits `text` at the first occurrence of `op`. False when `op` does not occur.
bool SplitAtOperator(std::string_view op, std::string_view text, std::string_view& left,
                     std::string_view& right);

// Evaluates an expression as the right operand of `acc op ...`; called from outside with
// op '+' and acc 0. Returns 0 at once when `error` is already set, and 0 whenever an error
// leaves no value.
double EvalArithmetic(std::string_view expression, char op, double acc, std::string& error);

// One step of the term reader. A leading parenthesised group is evaluated and replaced in
// `expression` by its value with five decimals. True when the text is then a single term
// (its value in `value`); false when it holds an operator after its first character (its
// 0-based index in `position`) or when it is not a number (error set).
bool EvalTerm(std::string& expression, size_t& position, double& value, std::string& error);

} // namespace zen
