#pragma once
// The standard procedures shared by the transfer and the pricing: conversions, the money
// rounding with its run-wide step, safe division and the settings file. Each catches its
// own exceptions, logs them under its own name and returns a neutral result.

#include "toolkit/DateTime.h"
#include "toolkit/Money.h"
#include "toolkit/Variant.h"

#include <string>

namespace zen {

// Month/day/year with "/" whatever the locale's date separator: 6 Dec 2026 -> "12/06/26".
std::string DateToStrSQL(TDateTime value);
std::string ChangeCharacter(const std::string& text, char oldChar, char newChar);

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

} // namespace zen
