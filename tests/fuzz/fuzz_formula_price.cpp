// Formula pricing never raises: every input ends with an amount, 0 when the formula could
// not be priced. The first byte is the price class and the next eleven pick the amounts
// (small values, and the extremes of the amount's range); the rest is the formula.
// Amounts are written with the comma of sl_SI.UTF-8 when that locale is installed.

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
    std::string error;
    zen::Currency price = zen::IzrCenePozFormula(formula, values, &error);
    if (!error.empty() && price != zen::Currency()) {
        __builtin_trap();
    }
    return 0;
}
