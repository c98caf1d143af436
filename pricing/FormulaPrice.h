#pragma once
// Formula pricing: a price formula names the line's and the article's amounts between "#"
// signs (#MPCENA#*0,9). IzrCenePozFormula substitutes the values, normalises the text and
// evaluates it with the formula evaluator. It needs no database: the caller gathers the
// values from the line, the article and the price rules into TFormulaValues.

#include "toolkit/Money.h"

#include <string>
#include <string_view>
#include <vector>

namespace zen {

// The values a formula can name; the comments give the name as formulas write it.
struct TFormulaValues {
    std::string CenRazred; // CENRAZRED: the price class, substituted as text, unchanged
    Currency Kolicina;     // KOLICINA: the line quantity
    Currency PogCena;      // POGCENA: the price from the partner's price list
    Currency Cena;         // CENA: the class price
    Currency MpCena;       // MPCENA: the article's retail price
    Currency VpCena1;      // VPCENA1: the article's "VpCena"
    Currency VpCena2;      // VPCENA2: the article's "VpCena2"
    Currency Sestavnica;   // SESTAVNICA: the article's "Sestavnica"
    Currency Kosovnica;    // KOSOVNICA: the component price
    Currency NabaCena;     // NABACENA: the purchase price
    Currency BNabaCena;    // BNABACENA: the article's "NabaCena"
    Currency NNabaCena;    // NNABACENA: the article's "CenaDob"
};

// Every name a formula can use, CENRAZRED first, then the amounts in the order above.
const std::vector<std::string_view>& FormulaVariableNames();
// The amount behind a name (exact, upper case); nullptr for CENRAZRED and unknown names.
Currency* FormulaAmount(TFormulaValues& values, std::string_view name);

// The text a name stands for: CENRAZRED unchanged, an amount as its shortest decimal text
// (at most 15 significant digits) with the locale's decimal separator, "0" otherwise.
std::string FormulaVariableText(const TFormulaValues& values, std::string_view name);

// Replaces each #NAME# by its text. The text after each sign is cut to 255 characters,
// and an odd number of signs leaves "1" followed by what came after the last one.
std::string SubstituteFormulaVariables(std::string_view formula, const TFormulaValues& values);

struct TFormulaPrice {
    Currency Value;
    std::string Error; // the evaluator's error text
};

// Substitution, commas to points, blanks removed, evaluation and conversion to an amount;
// an empty text is worth 0. Raises what the evaluator or the conversion raises
// (EZeroDivide, EOverflow for a value that is not finite or beyond the amount's range).
TFormulaPrice EvalPriceFormula(std::string_view formula, const TFormulaValues& values);

// The formula price of a document line: EvalPriceFormula with every exception handed to
// the exception log (operation "IzrCenePozFormula") and 0 returned instead. The pricing
// ignores the evaluator's error text; a caller that shows it passes `error`, which then
// also receives the message of a logged exception.
Currency IzrCenePozFormula(std::string_view formula, const TFormulaValues& values,
                           std::string* error = nullptr);

} // namespace zen
