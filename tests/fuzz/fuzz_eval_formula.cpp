// Any text given to the evaluator ends with a value and perhaps an error text, or with
// EZeroDivide; nothing else may leave it. Only a final zero divisor's error text may come
// with a value other than 0.

#include "pricing/Formula.h"
#include "toolkit/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        zen::TFormulaResult r = zen::EvalFormula(text);
        if (!r.Error.empty() && r.Error != zen::kErrDivByZero && r.Value != 0) {
            __builtin_trap();
        }
    } catch (const zen::EZeroDivide&) {
    }
    return 0;
}
