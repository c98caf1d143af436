#include "toolkit/Money.h"
#include "toolkit/Exceptions.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace zen;

TEST(Money, FromDoubleRoundsHalfToEven) {
    EXPECT_EQ(Currency::FromDouble(1.5).Raw(), 15000);
    EXPECT_EQ(Currency::FromDouble(0.00005L).Raw(), 0);   // 0.5 ten-thousandth -> even 0
    EXPECT_EQ(Currency::FromDouble(0.00015L).Raw(), 2);   // 1.5 -> 2
    EXPECT_EQ(Currency::FromDouble(-0.00025L).Raw(), -2); // -2.5 -> -2
    EXPECT_EQ(Currency::FromDouble(-1.2345).Raw(), -12345);
    EXPECT_EQ(Currency::FromDouble(1.2345).ToString(), "1.2345");
    EXPECT_EQ(Currency::FromDouble(-0.5).ToString(), "-0.5000");
}

TEST(Money, OverflowAndNonFiniteValuesRaise) {
    EXPECT_THROW(Currency::FromDouble(std::numeric_limits<double>::infinity()), EOverflow);
    EXPECT_THROW(Currency::FromDouble(std::nan("")), EOverflow);
    EXPECT_THROW(Currency::FromDouble(1e20), EOverflow);
    Currency max = Currency::FromRaw(std::numeric_limits<int64_t>::max());
    EXPECT_THROW(max + Currency::FromRaw(1), EOverflow);
    EXPECT_THROW(Currency::FromDouble(1) / Currency(), EZeroDivide);
}

TEST(Money, ArithmeticRoundsProductsBack) {
    Currency a = Currency::FromDouble(2.5), b = Currency::FromDouble(0.3333);
    EXPECT_EQ((a * b).Raw(), 8332); // 0.83325 -> 0.8332 (half to even)
    EXPECT_EQ((a + b).Raw(), 28333);
    EXPECT_EQ((a / Currency::FromDouble(3)).Raw(), 8333);
}
