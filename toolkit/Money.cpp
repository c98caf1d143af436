#include "toolkit/Money.h"

#include "toolkit/Exceptions.h"

#include <cmath>

namespace zen {

long double RoundHalfEven(long double value) {
    long double fl = std::floor(value);
    long double diff = value - fl;
    if (diff > 0.5L) {
        return fl + 1.0L;
    }
    if (diff < 0.5L) {
        return fl;
    }
    return std::fmod(fl, 2.0L) == 0.0L ? fl : fl + 1.0L;
}

Currency Currency::FromDouble(long double value) {
    long double scaled = RoundHalfEven(value * 10000.0L);
    // 2^63 is exactly representable; anything at or beyond it does not fit.
    if (!std::isfinite(scaled) || scaled >= 9223372036854775808.0L ||
        scaled < -9223372036854775808.0L) {
        throw EOverflow("Floating point overflow");
    }
    return FromRaw(static_cast<int64_t>(scaled));
}

Currency Currency::operator+(Currency o) const {
    int64_t r;
    if (__builtin_add_overflow(raw_, o.raw_, &r)) {
        throw EOverflow("Floating point overflow");
    }
    return FromRaw(r);
}

Currency Currency::operator-(Currency o) const {
    int64_t r;
    if (__builtin_sub_overflow(raw_, o.raw_, &r)) {
        throw EOverflow("Floating point overflow");
    }
    return FromRaw(r);
}

Currency Currency::operator/(Currency o) const {
    if (o.raw_ == 0) {
        throw EZeroDivide("Floating point division by zero");
    }
    return FromDouble(ToLongDouble() / o.ToLongDouble());
}

std::string Currency::ToString() const {
    uint64_t mag = raw_ < 0 ? 0 - static_cast<uint64_t>(raw_) : static_cast<uint64_t>(raw_);
    std::string frac = std::to_string(mag % 10000);
    frac.insert(frac.begin(), 4 - frac.size(), '0');
    return (raw_ < 0 ? "-" : "") + std::to_string(mag / 10000) + "." + frac;
}

} // namespace zen
