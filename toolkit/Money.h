#pragma once
// Money amounts: a signed 64-bit count of ten-thousandths. Values from floating point are
// scaled by 10000 and rounded half to even in long double, so that 1.00005 and similar
// borderline amounts land where the accounting product puts them. Arithmetic between two
// amounts is exact integer arithmetic on the counts, rounded half to even once.

#include <cstdint>
#include <string>

namespace zen {

class Currency {
public:
    constexpr Currency() = default;

    static constexpr Currency FromRaw(int64_t tenThousandths) {
        Currency c;
        c.raw_ = tenThousandths;
        return c;
    }
    // EOverflow when the value is not finite or does not fit.
    static Currency FromDouble(long double value);

    constexpr int64_t Raw() const { return raw_; }
    double ToDouble() const { return static_cast<double>(raw_) / 10000.0; }
    long double ToLongDouble() const { return static_cast<long double>(raw_) / 10000.0L; }
    // Fixed point with four decimals and "." as the separator, for example "-1.2500".
    std::string ToString() const;

    // The nearest whole number, halves to the even one.
    int64_t Round() const;

    Currency operator-() const; // EOverflow for the most negative count
    Currency operator+(Currency o) const;
    Currency operator-(Currency o) const;
    Currency& operator+=(Currency o) { return *this = *this + o; }
    Currency& operator-=(Currency o) { return *this = *this - o; }
    // Products and quotients are exact on the counts and rounded half to even; EOverflow
    // when the result does not fit, EZeroDivide on a zero divisor.
    Currency operator*(Currency o) const;
    Currency operator/(Currency o) const;

    friend constexpr bool operator==(Currency a, Currency b) { return a.raw_ == b.raw_; }
    friend constexpr auto operator<=>(Currency a, Currency b) { return a.raw_ <=> b.raw_; }

private:
    int64_t raw_ = 0;
};

// Rounds to the nearest integer, halves to the even one (independent of the FPU mode).
long double RoundHalfEven(long double value);

} // namespace zen
