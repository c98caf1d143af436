#include "pricing/FormulaPrice.h"

#include "dbutil/ExceptionLog.h"
#include "dbutil/StdProc.h"
#include "pricing/Formula.h"
#include "toolkit/Component.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <charconv>
#include <utility>

namespace zen {

namespace {

constexpr size_t kFormulaCut = 255;

using TAmountMember = Currency TFormulaValues::*;

constexpr std::pair<std::string_view, TAmountMember> kAmounts[] = {
    {"KOLICINA", &TFormulaValues::Kolicina},
    {"POGCENA", &TFormulaValues::PogCena},
    {"CENA", &TFormulaValues::Cena},
    {"MPCENA", &TFormulaValues::MpCena},
    {"VPCENA1", &TFormulaValues::VpCena1},
    {"VPCENA2", &TFormulaValues::VpCena2},
    {"SESTAVNICA", &TFormulaValues::Sestavnica},
    {"KOSOVNICA", &TFormulaValues::Kosovnica},
    {"NABACENA", &TFormulaValues::NabaCena},
    {"BNABACENA", &TFormulaValues::BNabaCena},
    {"NNABACENA", &TFormulaValues::NNabaCena},
};

constexpr std::string_view kPriceClass = "CENRAZRED";

TAmountMember FindAmount(std::string_view name) {
    for (const auto& [n, member] : kAmounts) {
        if (n == name) {
            return member;
        }
    }
    return nullptr;
}

// Shortest general text with at most 15 significant digits. An amount is below 10^15 in
// magnitude and a multiple of 0.0001, so this never takes an exponent.
std::string AmountText(Currency amount) {
    char buf[64];
    auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, amount.ToDouble(), std::chars_format::general, 15);
    if (ec != std::errc()) {
        throw EConvertError("Cannot format an amount");
    }
    std::string text(buf, end);
    for (char& c : text) {
        if (c == '.') {
            c = FormatSettings().DecimalSeparator;
        }
    }
    return text;
}

} // namespace

const std::vector<std::string_view>& FormulaVariableNames() {
    static const std::vector<std::string_view> names = [] {
        std::vector<std::string_view> v{kPriceClass};
        for (const auto& entry : kAmounts) {
            v.push_back(entry.first);
        }
        return v;
    }();
    return names;
}

Currency* FormulaAmount(TFormulaValues& values, std::string_view name) {
    TAmountMember member = FindAmount(name);
    return member ? &(values.*member) : nullptr;
}

std::string FormulaVariableText(const TFormulaValues& values, std::string_view name) {
    if (name == kPriceClass) {
        return values.CenRazred;
    }
    TAmountMember member = FindAmount(name);
    return member ? AmountText(values.*member) : "0";
}

std::string SubstituteFormulaVariables(std::string_view formula, const TFormulaValues& values) {
    std::string out;
    // A copy: each cut replaces the remaining text with a shorter one.
    std::string rest(formula);
    for (;;) {
        size_t open = rest.find('#');
        if (open == std::string::npos) {
            break;
        }
        out.append(rest, 0, open);
        rest = Utf8Left(std::string_view(rest).substr(open + 1), kFormulaCut);
        size_t close = rest.find('#');
        if (close == std::string::npos) {
            out.assign(1, '1');
            break;
        }
        std::string name = rest.substr(0, close);
        rest = Utf8Left(std::string_view(rest).substr(close + 1), kFormulaCut);
        out += FormulaVariableText(values, name);
    }
    return out + rest;
}

TFormulaPrice EvalPriceFormula(std::string_view formula, const TFormulaValues& values) {
    std::string text = ChangeCharacter(SubstituteFormulaVariables(formula, values), ',', '.');
    std::erase(text, ' ');
    TFormulaPrice price;
    if (text.empty()) {
        return price;
    }
    TFormulaResult r = EvalFormula(text);
    price.Value = Currency::FromDouble(r.Value);
    price.Error = std::move(r.Error);
    return price;
}

Currency IzrCenePozFormula(std::string_view formula, const TFormulaValues& values,
                           std::string* error) {
    try {
        TFormulaPrice price = EvalPriceFormula(formula, values);
        if (error) {
            *error = std::move(price.Error);
        }
        return price.Value;
    } catch (const std::exception& e) {
        LogException(e, &Application(), "IzrCenePozFormula");
        if (error) {
            *error = std::string(ExceptionClassName(e)) + ": " + e.what();
        }
        return Currency();
    }
}

} // namespace zen
