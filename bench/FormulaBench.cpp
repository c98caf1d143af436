// Formula pricing: IzrCenePozFormula over 100,000 document lines with a typical quantity
// formula and varying quantities and prices, under the Slovene locale the operators use
// (decimal comma). Baseline: EvalFormula on texts already substituted and normalised, so
// the ratio is what substitution and normalisation add to the evaluation itself. Both
// sides convert the result to an amount, so that their results can be compared.

#include "bench/BenchSupport.h"
#include "dbutil/StdProc.h"
#include "pricing/Formula.h"
#include "pricing/FormulaPrice.h"
#include "toolkit/DateTime.h"

#include <clocale>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace zen::bench {
namespace {

constexpr int kLines = 100000;
constexpr int kRuns = 5;
constexpr const char* kFormula = "[#KOLICINA#>10:#MPCENA#*0,9][#KOLICINA#>5:#MPCENA#*0,95]#MPCENA#";

// Quantities from 0.5 to 20 in halves, so that every unit of the formula gives some
// prices; retail prices up to 1,000 with four decimals.
std::vector<TFormulaValues> MakeLines() {
    TRandom random(100);
    std::vector<TFormulaValues> lines(kLines);
    for (TFormulaValues& v : lines) {
        v.Kolicina = Currency::FromRaw(int64_t(random.Below(40) + 1) * 5000);
        v.MpCena = Currency::FromRaw(int64_t(random.Below(10000000)) + 1);
        v.Cena = v.MpCena;
    }
    return lines;
}

// The text EvalPriceFormula hands to the evaluator.
std::string Prepared(const TFormulaValues& values) {
    std::string text = ChangeCharacter(SubstituteFormulaVariables(kFormula, values), ',', '.');
    std::erase(text, ' ');
    return text;
}

} // namespace
} // namespace zen::bench

int main() {
    using namespace zen;
    using namespace zen::bench;
    // The private home takes the exception log of a formula that raises.
    return RunBenchmark("bench_formula", [](const TBenchHome&) {
        const char* locale = std::setlocale(LC_ALL, "sl_SI.UTF-8") ? "sl_SI.UTF-8" : "C";
        InitFormatSettingsFromLocale();

        std::vector<TFormulaValues> lines = MakeLines();
        std::vector<std::string> texts;
        texts.reserve(lines.size());
        for (const TFormulaValues& v : lines) {
            texts.push_back(Prepared(v));
        }

        int64_t priced = 0, evaluated = 0;
        TTimes t = CompareBest(
            kRuns,
            [&] {
                priced = 0;
                for (const TFormulaValues& v : lines) {
                    priced += IzrCenePozFormula(kFormula, v).Raw();
                }
            },
            [&] {
                evaluated = 0;
                for (const std::string& text : texts) {
                    evaluated += Currency::FromDouble(EvalFormula(text).Value).Raw();
                }
            });
        RequireSame("formula pricing", uint64_t(priced), uint64_t(evaluated));

        PrintTitle("Formula pricing: " + std::to_string(kLines) + " lines, locale " + locale +
                   ", best of " + std::to_string(kRuns));
        std::printf("  formula %s\n", kFormula);
        PrintPerItem("IzrCenePozFormula", kLines, t.Subject);
        PrintPerItem("baseline: EvalFormula, substituted", kLines, t.Baseline);
        PrintRatio("IzrCenePozFormula / baseline", t.Subject, t.Baseline);
    });
}
