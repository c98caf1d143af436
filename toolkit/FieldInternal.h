#pragma once
// Helpers the field classes' sources share; not part of the toolkit's interface (defined
// in Field.cpp).

#include "toolkit/Money.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace zen::field_detail {

// Values in record buffers need not be aligned: they are copied, never cast.
template <class T> T Load(const char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <class T> void Store(char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

// The text without leading and trailing blanks and tabs.
std::string Trim(const std::string& s);

// EConvertError "'text' is not a valid date and time".
[[noreturn]] void InvalidDateTime(const std::string& text);

// A currency amount as text, the way a variant writes it.
std::string CurrencyText(Currency c);

// EConvertError when the value does not fit 32 bits.
int32_t CheckInt32(int64_t v);

} // namespace zen::field_detail
