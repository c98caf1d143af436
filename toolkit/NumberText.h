#pragma once
// Reading a number from text: one grammar for every reader, so that a text means the same
// number wherever it is read (a column's text, a dBase field, a parameter, a price formula).
//
// The grammar: an optional sign ("+" or "-", one), decimal digits with an optional point
// ("." only) and fraction, one digit at least, and for a decimal an optional exponent ("e"
// or "E", an optional sign, digits). Nothing else: no blanks, no thousands separators. A
// value beyond the type's range is refused, never cut or made infinite.
//
// Where the readers differ, they do on purpose:
// - Blanks around the number: each reader trims the padding of its own source first (a
//   CHAR column's, a dBase field's, an operator's text); a price formula's numbers are
//   tokens of the formula and come without.
// - "nan" and "inf"/"infinity": only a database's text of a value may be one
//   (ParseDoubleText), since PostgreSQL's double precision holds NaN and Infinity and a
//   value read must not turn into another; what an operator, a file or a formula gives
//   must be a finite number.
// - A decimal comma: only the formula check of the command line takes one, as an amount an
//   operator types; every stored or exchanged text has the point.

#include <cstdint>
#include <string_view>

namespace zen {

enum class TNonFinite { Refused, Accepted };

// False, `out` unchanged, when the text is no number of the grammar or out of range.
bool ParseDecimal(std::string_view text, double& out, TNonFinite nonFinite = TNonFinite::Refused);
bool ParseInteger(std::string_view text, int64_t& out);

} // namespace zen
