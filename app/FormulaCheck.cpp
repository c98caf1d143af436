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
    "Uporaba: zendrato --formula FORMULA [--var IME=VREDNOST]... [--price-class R]\n"
    "         zendrato --formula --help\n";

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
        throw EFormulaUsage("vrednost " + name + " ni število: »" + text + "«");
    }
    try {
        return Currency::FromDouble(v);
    } catch (const EOverflow&) {
        throw EFormulaUsage("vrednost " + name + " je zunaj obsega: »" + text + "«");
    }
}

void SetVariable(TFormulaValues& values, const std::string& assignment) {
    size_t eq = assignment.find('=');
    if (eq == std::string::npos) {
        throw EFormulaUsage("--var zahteva IME=VREDNOST, ne »" + assignment + "«");
    }
    std::string name = AsciiUpper(assignment.substr(0, eq));
    if (name == "CENRAZRED") {
        throw EFormulaUsage("cenovni razred se poda z --price-class");
    }
    Currency* amount = FormulaAmount(values, name);
    if (!amount) {
        throw EFormulaUsage("neznana spremenljivka " + name + " (glej --help)");
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
            throw EFormulaUsage("cenovni razred je en znak, ne »" + *cl.PriceClass + "«");
        }
        values.CenRazred = *cl.PriceClass;
    }
    return values;
}

std::string_view VariableMeaning(std::string_view name) {
    static constexpr std::pair<std::string_view, std::string_view> kMeanings[] = {
        {"CENRAZRED", "cenovni razred (--price-class)"},
        {"KOLICINA", "količina vrstice"},
        {"POGCENA", "cena iz cenika partnerja"},
        {"CENA", "cena cenovnega razreda (0 v formulah parametrov)"},
        {"MPCENA", "maloprodajna cena artikla MpCena"},
        {"VPCENA1", "VpCena artikla"},
        {"VPCENA2", "VpCena2 artikla"},
        {"SESTAVNICA", "Sestavnica artikla"},
        {"KOSOVNICA", "cena sestavnih delov"},
        {"NABACENA", "nabavna cena (CenaDob v formulah parametrov)"},
        {"BNABACENA", "NabaCena artikla"},
        {"NNABACENA", "CenaDob artikla"},
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
           "Izračuna ceno po eni formuli tako, kot se izračuna cena vrstice dokumenta, in\n"
           "izpiše znesek na štiri decimalke. Okno, baza in datoteka nastavitev niso potrebni.\n"
           "\n"
           "Formula je zaporedje enot [pogoj:izraz], ki jih lahko zaključi samostojen izraz;\n"
           "vrednost da prva enota, katere pogoj velja, in 0, ko ne velja noben. Pogoj primerja\n"
           "dva izraza z =, <>, > ali <. Izrazi imajo števila, + - * / in oklepaje.\n"
           "Spremenljivke se pišejo med znaka # in se pred izračunom zamenjajo s svojimi\n"
           "vrednostmi; vejice postanejo decimalne pike, presledki se odstranijo. Formula se\n"
           "bere z velikimi črkami, kot jo bere izračun cen.\n"
           "\n"
           "Pozor na vrstni red: * in / imata prednost pred + in -, a - vzame vse za seboj kot\n"
           "en operand (10-3-2 je 9), skupina v oklepajih pa se zaokroži na pet decimalk\n"
           "((1/3)*3 je 0.99999). Deljenje z nič na koncu produkta da besedilo napake, deljenje\n"
           "z nič prej v njem pa ceno 0.\n"
           "\n"
           "Možnosti:\n"
           "  --formula FORMULA    formula, na primer \"[#KOLICINA#>10:#MPCENA#*0,9]"
           "#MPCENA#\"\n"
           "  --var IME=VREDNOST   vrednost spremenljivke zneska (\".\" ali \",\" kot decimalno\n"
           "                       ločilo); za več spremenljivk se ponovi; nepodane so 0\n"
           "  --price-class R      enoznakovni cenovni razred za #CENRAZRED# (privzeto 0)\n"
           "  --help               to besedilo\n"
           "\n"
           "Spremenljivke:\n";
    for (std::string_view name : FormulaVariableNames()) {
        std::string line = "  " + std::string(name);
        line.resize(15, ' ');
        out << line << VariableMeaning(name) << "\n";
    }
    out << "\n"
           "Izpis: znesek v prvi vrstici; v drugi besedilo napake izračuna, ko je formula\n"
           "napačna, ali napaka, zaradi katere je izračun cen vzel 0. Izračun cen sam to\n"
           "besedilo prezre in uporabi izpisani znesek.\n"
           "\n"
           "Izhodno stanje: 0 brez besedila napake, 1 z njim, 2 napačna uporaba ali domače\n"
           "mape ni mogoče ustvariti.\n";
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
    InitSloveneFormatSettings();
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
