#include "toolkit/Money.h"

#include "toolkit/Exceptions.h"

#include <cmath>
#include <limits>

namespace zen {

namespace {

[[noreturn]] void Overflow() {
    throw EOverflow("Floating point overflow");
}

// num / den to the nearest integer, halves to the even one. Both operands come from 64-bit
// counts scaled by at most 10^4 or multiplied together, so they fit 128 bits with room.
int64_t DivideHalfEven(__int128 num, __int128 den) {
    bool negative = (num < 0) != (den < 0);
    auto n = static_cast<unsigned __int128>(num < 0 ? -num : num);
    auto d = static_cast<unsigned __int128>(den < 0 ? -den : den);
    unsigned __int128 q = n / d, r = n % d;
    if (2 * r > d || (2 * r == d && (q & 1) != 0)) {
        ++q;
    }
    // The magnitude may reach 2^63 only for a negative result.
    constexpr auto limit = static_cast<unsigned __int128>(std::numeric_limits<int64_t>::max());
    if (q > limit + (negative ? 1 : 0)) {
        Overflow();
    }
    return negative ? static_cast<int64_t>(-static_cast<__int128>(q)) : static_cast<int64_t>(q);
}

constexpr int64_t kScale = 10000;

} // namespace

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
        Overflow();
    }
    return FromRaw(static_cast<int64_t>(scaled));
}

int64_t Currency::Round() const {
    return DivideHalfEven(raw_, kScale);
}

Currency Currency::operator-() const {
    if (raw_ == std::numeric_limits<int64_t>::min()) {
        Overflow();
    }
    return FromRaw(-raw_);
}

Currency Currency::operator+(Currency o) const {
    int64_t r;
    if (__builtin_add_overflow(raw_, o.raw_, &r)) {
        Overflow();
    }
    return FromRaw(r);
}

Currency Currency::operator-(Currency o) const {
    int64_t r;
    if (__builtin_sub_overflow(raw_, o.raw_, &r)) {
        Overflow();
    }
    return FromRaw(r);
}

Currency Currency::operator*(Currency o) const {
    return FromRaw(DivideHalfEven(static_cast<__int128>(raw_) * o.raw_, kScale));
}

Currency Currency::operator/(Currency o) const {
    if (o.raw_ == 0) {
        throw EZeroDivide("Floating point division by zero");
    }
    return FromRaw(DivideHalfEven(static_cast<__int128>(raw_) * kScale, o.raw_));
}

std::string Currency::ToString() const {
    uint64_t mag = raw_ < 0 ? 0 - static_cast<uint64_t>(raw_) : static_cast<uint64_t>(raw_);
    std::string frac = std::to_string(mag % 10000);
    frac.insert(frac.begin(), 4 - frac.size(), '0');
    return (raw_ < 0 ? "-" : "") + std::to_string(mag / 10000) + "." + frac;
}

} // namespace zen
