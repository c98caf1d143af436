#include "app/FormulaCheck.h"

#include "app/CommandLine.h"
#include "pricing/FormulaPrice.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"

#include <charconv>
#include <clocale>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

namespace zen {

namespace {

constexpr std::string_view kUsage =
    "usage: zendrato --formula TEXT [--var NAME=VALUE]... [--price-class C]\n"
    "       zendrato --formula --help\n";

ZEN_EXCEPTION_CLASS(EFormulaUsage, Exception);

// A decimal number with "." or "," as the separator, as an amount.
Currency ParseAmount(const std::string& name, std::string text) {
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        }
    }
    double v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) {
        throw EFormulaUsage("the value of " + name + " is not a number: " + text);
    }
    try {
        return Currency::FromDouble(v);
    } catch (const EOverflow&) {
        throw EFormulaUsage("the value of " + name + " is out of range: " + text);
    }
}

void SetVariable(TFormulaValues& values, const std::string& assignment) {
    size_t eq = assignment.find('=');
    if (eq == std::string::npos) {
        throw EFormulaUsage("--var takes NAME=VALUE, not " + assignment);
    }
    std::string name = AsciiUpper(assignment.substr(0, eq));
    if (name == "CENRAZRED") {
        throw EFormulaUsage("the price class is given with --price-class");
    }
    Currency* amount = FormulaAmount(values, name);
    if (!amount) {
        throw EFormulaUsage("unknown variable " + name + " (see --help)");
    }
    *amount = ParseAmount(name, assignment.substr(eq + 1));
}

TFormulaValues Values(const TCommandLine& cl) {
    TFormulaValues values;
    values.CenRazred = "0";
    for (const std::string& var : cl.Vars) {
        SetVariable(values, var);
    }
    if (cl.PriceClass) {
        if (Utf8Length(*cl.PriceClass) != 1) {
            throw EFormulaUsage("the price class is one character, not '" + *cl.PriceClass + "'");
        }
        values.CenRazred = *cl.PriceClass;
    }
    return values;
}

std::string_view VariableMeaning(std::string_view name) {
    static constexpr std::pair<std::string_view, std::string_view> kMeanings[] = {
        {"CENRAZRED", "the price class (--price-class)"},
        {"KOLICINA", "the line quantity"},
        {"POGCENA", "the price from the partner's price list"},
        {"CENA", "the price-class price (0 in the parameter formulas)"},
        {"MPCENA", "the article's retail price MpCena"},
        {"VPCENA1", "the article's VpCena"},
        {"VPCENA2", "the article's VpCena2"},
        {"SESTAVNICA", "the article's Sestavnica"},
        {"KOSOVNICA", "the component price"},
        {"NABACENA", "the purchase price (CenaDob in the parameter formulas)"},
        {"BNABACENA", "the article's NabaCena"},
        {"NNABACENA", "the article's CenaDob"},
    };
    for (const auto& [n, meaning] : kMeanings) {
        if (n == name) {
            return meaning;
        }
    }
    return "";
}

void PrintHelp(std::ostream& out) {
    out << kUsage
        << "\n"
           "Prices one formula the way a document line is priced, and prints the amount with\n"
           "four decimals. No window, database or settings file is needed.\n"
           "\n"
           "A formula is a sequence of units [condition:expression], optionally closed by a\n"
           "plain expression; the first unit whose condition holds gives the value, and 0 when\n"
           "none holds. Conditions compare two expressions with =, <>, > or <. Expressions use\n"
           "numbers, + - * / and parentheses. Variables are written between # signs and are\n"
           "replaced by their values before evaluation; commas become decimal points and\n"
           "blanks are removed. The formula is taken in upper case, as the pricing does.\n"
           "\n"
           "Mind the evaluation order: * and / go before + and -, but a - takes everything\n"
           "after it as one operand (10-3-2 is 9), and a parenthesised group is rounded to\n"
           "five decimals ((1/3)*3 is 0.99999). A division by zero at the end of a product\n"
           "gives an error text; one earlier in it makes the price 0.\n"
           "\n"
           "Options:\n"
           "  --formula TEXT       the formula, for example \"[#KOLICINA#>10:#MPCENA#*0,9]"
           "#MPCENA#\"\n"
           "  --var NAME=VALUE     the value of an amount variable (\".\" or \",\" as decimal\n"
           "                       separator); repeat for more variables; those not given are 0\n"
           "  --price-class C      the one-character price class for #CENRAZRED# (default 0)\n"
           "  --help               this text\n"
           "\n"
           "Variables:\n";
    for (std::string_view name : FormulaVariableNames()) {
        std::string line = "  " + std::string(name);
        line.resize(15, ' ');
        out << line << VariableMeaning(name) << "\n";
    }
    out << "\n"
           "Output: the amount on the first line; on a second line, the evaluator's error text\n"
           "(Slovene) when the formula is malformed, or the error that made the pricing use 0.\n"
           "The pricing itself ignores that text and uses the amount printed.\n"
           "\n"
           "Exit status: 0 without an error text, 1 with one, 2 on a usage error or when the\n"
           "program's directory cannot be created.\n";
}

} // namespace

std::string FormulaUsage() {
    return std::string(kUsage);
}

std::string FormulaHelp() {
    std::ostringstream out;
    PrintHelp(out);
    return out.str();
}

int RunFormulaCheck(const TCommandLine& cl, std::ostream& out, std::ostream& err) {
    TFormulaValues values;
    try {
        values = Values(cl);
    } catch (const EFormulaUsage& e) {
        err << "zendrato: " << e.Message() << "\n" << kUsage;
        return 2;
    }
    // The pricing logs its failures in the home directory; without one they would vanish.
    try {
        ZendratoHome();
    } catch (const std::exception& e) {
        err << "zendrato: " << e.what() << "\n";
        return 2;
    }
    std::setlocale(LC_ALL, "");
    InitFormatSettingsFromLocale();
    std::string error;
    Currency value = IzrCenePozFormula(AsciiUpper(cl.Formula), values, &error);
    out << value.ToString() << "\n";
    if (!error.empty()) {
        out << error << "\n";
    }
    out.flush();
    return error.empty() ? 0 : 1;
}

} // namespace zen
