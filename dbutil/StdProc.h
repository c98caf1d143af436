#pragma once
// The standard procedures shared by the transfer and the pricing: conversions, the money
// rounding with its run-wide step, safe division, the settings file and the key lookup
// (FindKey.cpp). Each catches its own exceptions, logs them under its own name and returns
// a neutral result.

#include "dbutil/CaughtFault.h"
#include "toolkit/DateTime.h"
#include "toolkit/Money.h"
#include "toolkit/Variant.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zen {

class TCustomOEQuery;
class TDataSet;

// Month/day/year with "/" whatever the locale's date separator: 6 Dec 2026 -> "12/06/26".
std::string DateToStrSQL(TDateTime value);
std::string ChangeCharacter(const std::string& text, char oldChar, char newChar);
// A text as an SQL string literal: between single quotes, each quote inside doubled, so
// that a value can never end the literal early (x' OR '1'='1 stays one value).
std::string SqlQuoted(std::string_view text);

// The run-wide rounding step (0 until a transfer run sets it).
void SetRoundStep(double step);
double RoundStep();
// Rounds to the run-wide step; a remainder of 0.44444445 step or more rounds away from 0.
Currency RoundT(Currency value);
double DivT(double x, double y);
// The lesser of two values by typed comparison: x when x <= y, else y. Logged as "Max",
// the name it has always had in the log; an empty value after a failure.
TVariant LesserOf(const TVariant& x, const TVariant& y);

// The settings file "Tevrin.INI"; these read and write the process's one settings object.
std::string GetStringFromIniFile(const std::string& section, const std::string& key,
                                 const std::string& defaultValue);
void WriteStringToIniFile(const std::string& section, const std::string& key,
                          const std::string& value);

// --- Key lookup -----------------------------------------------------------------------
// sqlFindKey narrows a dataset's query to the rows whose key columns hold the key values,
// opens it and answers whether the row it stands on carries the key. Key columns are one
// ";"-separated text; values are matched to them by position, and only as many pairs as
// both lists have are used. Value kinds: integers and reals give "column = number"
// conditions; texts give "column = 'text'" (quotes doubled); any other kind (dates as
// values, null, empty) gives no condition, and the row is still tested against it.

// How texts among the key values are read.
enum TKeyTexts {
    // A text containing "%" is a pattern: the condition uses LIKE, and a row carries the key
    // when its text starts with what comes before the first "%". For keys typed by hand.
    ktPattern,
    // Every text is a value as it stands, "%" included: "=" in SQL and typed equality in
    // the test (byte for byte against a text field). For values read from files or other data
    // ("100% Net d.o.o."
    // must never stand for "100 Mbit d.o.o.").
    ktLiteral,
};

// When the dataset already stands on a row with the key no query is sent: the cursor goes
// to the first row if that one carries the key too, and otherwise stays. Else the query is
// rebuilt from the dataset's SQL lines (upper-cased, cut before "WHERE" or else before
// "ORDER BY", the conditions and `order` added) as its single line, and opened. The dataset
// keeps the rebuilt query; rebuilding from it gives the same text again for the same key.
// A failure is logged as "sqlFindKey" and answers false.
bool sqlFindKey(TCustomOEQuery& dataSet, const std::string& keyFields,
                const std::vector<TVariant>& keyValues, const std::string& order = {},
                TKeyTexts texts = ktPattern);
// The same lookup, which also keeps in `caught` the first exception that it or one of its
// steps (the test, a condition) caught and logged: a false answer with `caught` empty
// means no row carries the key, with `caught` set that the lookup failed.
bool sqlFindKey(TCustomOEQuery& dataSet, const std::string& keyFields,
                const std::vector<TVariant>& keyValues, const std::string& order, TKeyTexts texts,
                TCaughtFault& caught);
// The same lookup for one text key taken as it stands (ktLiteral), with the key bound as a
// parameter: the query's text ("... WHERE <keyField> = :KEY") is the same for every key, so
// a dataset looked up many times keeps one prepared statement. For lookups run for every
// record of a file.
bool sqlFindKeyBound(TCustomOEQuery& dataSet, const std::string& keyField, const std::string& value,
                     TCaughtFault& caught);
// Whether the current row carries the key (false when the dataset is not open). Fields
// compare with the values by typed comparison; a date field as its DateToStrSQL text.
// A failure (an unknown field, a text where a number is needed) is logged as
// "sqlFindKeyTest" and answers false.
bool sqlFindKeyTest(TDataSet& dataSet, const std::vector<std::string>& keyFields,
                    const std::vector<TVariant>& keyValues, TKeyTexts texts = ktPattern);
// Each appends one condition to `where`, joined by " AND" to what is there. Reals are
// written with "." whatever the locale says.
void sqlFindKeySetWhereInt(std::string& where, const std::string& column, int64_t value);
void sqlFindKeySetWhereReal(std::string& where, const std::string& column, double value);
void sqlFindKeySetWhereString(std::string& where, const std::string& column,
                              const std::string& value, TKeyTexts texts = ktPattern);

} // namespace zen
