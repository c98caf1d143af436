// Formula pricing never raises: every input ends with an amount, and pricing it again
// gives the same amount and error text (an error text may come with an amount: a division
// by zero at the end of a product leaves what surrounds it, "3+5/" is 3). The first byte
// is the price class and the next eleven pick the amounts (small values, and the extremes
// of the amount's range); the rest is the formula. Amounts are written with the comma of
// sl_SI.UTF-8 when that locale is installed.

#include "FuzzHome.h"
#include "pricing/FormulaPrice.h"
#include "toolkit/DateTime.h"

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

zen::Currency PickAmount(uint8_t b) {
    switch (b) {
    case 0x7f:
        return zen::Currency::FromRaw(INT64_MAX);
    case 0x80:
        return zen::Currency::FromRaw(INT64_MIN);
    default:
        return zen::Currency::FromRaw(static_cast<int8_t>(b) * 2500);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The exception log goes to a private directory, removed at exit.
    zen::fuzz::MakeHome();
    std::setlocale(LC_ALL, "sl_SI.UTF-8");
    zen::InitFormatSettingsFromLocale();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHeader = 12;
    if (size < kHeader) {
        return 0;
    }
    zen::TFormulaValues values;
    values.CenRazred = std::string(1, static_cast<char>(data[0]));
    const auto& names = zen::FormulaVariableNames();
    for (size_t i = 1; i < names.size() && i < kHeader; ++i) {
        *zen::FormulaAmount(values, names[i]) = PickAmount(data[i]);
    }
    std::string_view formula(reinterpret_cast<const char*>(data) + kHeader, size - kHeader);
    std::string error, again;
    const zen::Currency price = zen::IzrCenePozFormula(formula, values, &error);
    if (zen::IzrCenePozFormula(formula, values, &again) != price || again != error) {
        __builtin_trap();
    }
    return 0;
}
