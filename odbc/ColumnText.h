#pragma once
// Text forms of column values: how numbers, dates and times are written as text when a
// column is read as a string, and how such texts are read back. All of it is independent
// of the C locale, so a comma locale changes nothing.

#include "odbc/HstmtTypes.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zen {

// Cuts blanks from the ends that the trimming mode names.
std::string TrimText(std::string_view text, TStringTrimming mode);

// Scientific notation, 23 characters: sign (blank or "-"), one digit, ".", 14 digits, "E",
// the exponent's sign and four digits; 1.5 gives " 1.50000000000000E+0000".
std::string FormatFloatSci(double value);

// "2001-03-02", "04:05:06" and "2001-03-02 04:05:06.000000000"; every part has at least
// two digits.
std::string FormatDateText(const SQL_DATE_STRUCT& d);
std::string FormatTimeText(const SQL_TIME_STRUCT& t);
std::string FormatTimestampText(const TDateTimeRec& ts);

// A database's text of a number (blanks on both sides allowed), by the grammar of
// toolkit/NumberText.h; a decimal may be NaN or an infinity, as the database holds it.
// False when the text is not a number of that kind or does not fit.
bool ParseDoubleText(std::string_view text, double& out);
bool ParseInt64Text(std::string_view text, int64_t& out);

// A number's text as a NUMERIC(precision, scale) column takes it: in plain decimal form
// with `scale` fraction digits, rounded half away from zero as the database rounds (an
// exponent is worked in, blanks on both sides are allowed; NaN and the infinities stay as
// they are). TooLarge when the digits before the point are more than precision - scale
// (precision 0: no limit; a negative scale keeps every fraction digit given).
enum class TDecimalFit { Fits, NotANumber, TooLarge };
TDecimalFit FitDecimalText(std::string_view text, unsigned long precision, int scale,
                           std::string& out);

// Rounds to the nearest integer, ties to even, and keeps the low 32 bits of the result;
// values that are not finite or lie beyond 64 bits give 0.
int32_t RoundToInt32(double value);

// Texts in the forms above, read by position: the date from characters 1-4, 6-7, 9-10;
// the time from 1-2, 4-5, 7-8; a timestamp is a date, a blank, a time and optionally "."
// and a decimal fraction of a second. Separators are not checked. False when the text is
// too short or a part is not a number.
bool ParseDateText(std::string_view text, SQL_DATE_STRUCT& out);
bool ParseTimeText(std::string_view text, SQL_TIME_STRUCT& out);
bool ParseTimestampText(std::string_view text, TDateTimeRec& out);

// The record of date-time 0: 30 December 1899, midnight.
TDateTimeRec ZeroDateTimeRec();

} // namespace zen
