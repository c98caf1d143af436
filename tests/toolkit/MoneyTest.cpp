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

// Ties are built so that the expected count follows from the construction, not from the
// rounding under test: an odd count halved lies exactly between two neighbours, and of
// those the even one is the answer; likewise a count ending in 5 times 0.1.
TEST(Money, ProductsAndQuotientsRoundExactTiesToEven) {
    auto evenNeighbour = [](int64_t below) { return below % 2 == 0 ? below : below + 1; };
    const Currency half = Currency::FromRaw(5000), tenth = Currency::FromRaw(1000);
    const Currency two = Currency::FromRaw(20000);
    // Bases are multiples of 10, so that both constructions below give ties.
    for (int64_t base : {int64_t{0}, int64_t{10000}, int64_t{123456780}, int64_t{1099511627780}}) {
        for (int64_t k = 0; k < 2000; ++k) {
            int64_t odd = base + 2 * k + 1; // odd / 2 = (odd - 1) / 2 + 0.5
            int64_t expectHalf = evenNeighbour((odd - 1) / 2);
            SCOPED_TRACE(odd);
            EXPECT_EQ((Currency::FromRaw(odd) * half).Raw(), expectHalf);
            EXPECT_EQ((half * Currency::FromRaw(odd)).Raw(), expectHalf);
            EXPECT_EQ((Currency::FromRaw(odd) / two).Raw(), expectHalf);
            EXPECT_EQ((Currency::FromRaw(-odd) * half).Raw(), -expectHalf);
            EXPECT_EQ((Currency::FromRaw(odd) / -two).Raw(), -expectHalf);
            int64_t five = base + 10 * k + 5; // five / 10 = (five - 5) / 10 + 0.5
            int64_t expectTenth = evenNeighbour((five - 5) / 10);
            EXPECT_EQ((Currency::FromRaw(five) * tenth).Raw(), expectTenth);
            EXPECT_EQ((Currency::FromRaw(-five) * tenth).Raw(), -expectTenth);
        }
    }
    // The reviewed cases, and quarters: a count divided by 4 ends in .5 when it is 2 mod 4.
    EXPECT_EQ((Currency::FromRaw(10001) * half).Raw(), 5000);
    EXPECT_EQ((Currency::FromRaw(10005) * tenth).Raw(), 1000);
    EXPECT_EQ((Currency::FromRaw(43) / two).Raw(), 22);
    EXPECT_EQ((Currency::FromRaw(225) / two).Raw(), 112);
    for (int64_t q = 0; q < 1000; ++q) {
        EXPECT_EQ((Currency::FromRaw(4 * q + 2) / Currency::FromRaw(40000)).Raw(),
                  evenNeighbour(q));
        EXPECT_EQ((Currency::FromRaw(4 * q + 2) * Currency::FromRaw(2500)).Raw(), evenNeighbour(q));
    }
    // Just off a tie goes to the nearer neighbour.
    EXPECT_EQ((Currency::FromRaw(10003) * Currency::FromRaw(5001)).Raw(), 5003);   // 0.50025003
    EXPECT_EQ((Currency::FromRaw(-10003) * Currency::FromRaw(4999)).Raw(), -5000); // -0.50004997
}

TEST(Money, ExactArithmeticKeepsItsOverflowChecks) {
    const int64_t max = std::numeric_limits<int64_t>::max();
    const int64_t min = std::numeric_limits<int64_t>::min();
    // Full-range products are exact: max * 1.0000 is max, and the result's sign is kept.
    EXPECT_EQ((Currency::FromRaw(max) * Currency::FromRaw(10000)).Raw(), max);
    EXPECT_EQ((Currency::FromRaw(min) * Currency::FromRaw(10000)).Raw(), min);
    EXPECT_EQ((Currency::FromRaw(min) / Currency::FromRaw(10000)).Raw(), min);
    EXPECT_THROW(Currency::FromRaw(max) * Currency::FromRaw(10001), EOverflow);
    EXPECT_THROW(Currency::FromRaw(min) * Currency::FromRaw(-10000), EOverflow);
    EXPECT_THROW(Currency::FromRaw(min) * Currency::FromRaw(min), EOverflow);
    EXPECT_THROW(Currency::FromRaw(max) / Currency::FromRaw(1), EOverflow);
    EXPECT_THROW(Currency::FromRaw(min) / Currency::FromRaw(-10000), EOverflow);
    EXPECT_THROW(-Currency::FromRaw(min), EOverflow);
    EXPECT_THROW(Currency::FromRaw(5) / Currency(), EZeroDivide);
    // Whole numbers from counts, halves to even, at both ends of the range.
    EXPECT_EQ(Currency::FromRaw(25000).Round(), 2);
    EXPECT_EQ(Currency::FromRaw(35000).Round(), 4);
    EXPECT_EQ(Currency::FromRaw(-25001).Round(), -3);
    EXPECT_EQ(Currency::FromRaw(max).Round(), max / 10000 + 1);
    EXPECT_EQ(Currency::FromRaw(min).Round(), min / 10000 - 1);
}
