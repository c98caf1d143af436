#pragma once
// Amounts as the operators and their accountants read them, whatever the system's locale.

#include "toolkit/Money.h"

#include <string>

namespace zen {

// Thousands grouped by ".", a decimal comma, at least `decimals` decimals and the further
// stored ones where used ("1.234,56", "0,008", "-0,004").
std::string SloveneAmount(Currency amount, int decimals = 2);

} // namespace zen
