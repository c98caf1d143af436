#include "toolkit/SloveneAmount.h"

namespace zen {

std::string SloveneAmount(Currency amount, int decimals) {
    const std::string plain = amount.ToString(); // "-1234.5600"
    const bool negative = plain[0] == '-';
    const size_t point = plain.find('.');
    const std::string whole = plain.substr(negative ? 1 : 0, point - (negative ? 1 : 0));
    std::string fraction = plain.substr(point + 1);
    while (fraction.size() > size_t(decimals) && fraction.back() == '0') {
        fraction.pop_back();
    }
    std::string text;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i > 0 && (whole.size() - i) % 3 == 0) {
            text += '.';
        }
        text += whole[i];
    }
    if (!fraction.empty()) {
        text += "," + fraction;
    }
    return (negative ? "-" : "") + text;
}

} // namespace zen
