#include "pricing/Formula.h"

#include "LocaleFixture.h"
#include "toolkit/Exceptions.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

using namespace zen;

namespace {

std::string Repeat(std::string_view part, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += part;
    }
    return s;
}

std::string Nested(size_t depth, std::string_view core) {
    return Repeat("(", depth) + std::string(core) + Repeat(")", depth);
}

class FormulaEval : public test::LocaleTest {};
ZEN_LOCALE_SUITE(FormulaEval);

} // namespace

TEST_P(FormulaEval, ArithmeticKeepsTheProductsOwnOrderOfEvaluation) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"2+3*4", 14},        {"2*3+4", 10},   {"8/2/2", 2},    {"8/2*2", 8},   {"-5+2", -3},
        {"2*(3+4)+1", 15},    {"10--2", 12},   {"5+", 5},       {"10-3-2", 9},  {"10-3+2", 5},
        {"(1/3)*3", 0.99999}, {"2*(1-3)", -4}, {"(2)-(3)", -1}, {"+4", 4},      {"1.5e2", 150},
        {".5+5.", 5.5},       {"0/5", 0},      {"", 0},         {"1E2*2", 200},
    };
    for (const Case& c : cases) {
        TFormulaResult r = EvalFormula(c.text);
        EXPECT_EQ(r.Error, "") << c.text;
        EXPECT_DOUBLE_EQ(r.Value, c.value) << c.text;
    }
    // A group's value is carried on with five decimals, so "(1)2" reads 1.000002.
    EXPECT_DOUBLE_EQ(EvalFormula("(1)2").Value, 1.000002);
}

TEST_P(FormulaEval, UnitsAreTriedInOrderAndTheFirstThatHoldsGivesTheValue) {
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"[5>3:1][1=1:2]", 1}, {"[5<3:1][1=1:2]", 2}, {"[5<3:1]7", 7},    {"[5<3:1][2>3:4]", 0},
        {"[1<>2:3]", 3},       {"[2=2:3]", 3},        {"[(1+1)=2:3]", 3}, {"[5>3:1]x", 1},
    };
    for (const Case& c : cases) {
        TFormulaResult r = EvalFormula(c.text);
        EXPECT_EQ(r.Error, "") << c.text;
        EXPECT_EQ(r.Value, c.value) << c.text;
    }
}

TEST_P(FormulaEval, MalformedFormulasGiveTheirErrorTextAndZero) {
    using namespace std::string_literals;
    struct Case {
        const char* text;
        std::string error;
    } cases[] = {
        {"[1=1]", std::string(kErrUnitShape)},
        {"[1=1:]", std::string(kErrUnitShape)},
        {"[1]2:3]", std::string(kErrUnitClose)},
        {"[1=1:2", std::string(kErrUnitClose)},
        {"5+[1=1:2]", std::string(kErrUnitFirst)},
        {"[1=1:2]3[1=1:4]", std::string(kErrUnitFirst)},
        {"[a:b]", std::string(kErrNoComparison)},
        {"[1=1:(2]", std::string(kErrBadNumber) + "(2"},
        {"(2+3", std::string(kErrUnbalanced)},
        {"*5+1", std::string(kErrMissingOperand)},
        {"*5", std::string(kErrBadNumber) + "*5"},
        {"5/0", std::string(kErrDivByZero)},
        {"1/(0.000004)", std::string(kErrDivByZero)}, // the group is carried on as 0.00000
        {"[5<=6:1]", std::string(kErrBadNumber) + "5<"},
        {"1x", std::string(kErrBadNumber) + "1x"},
        {"1e", std::string(kErrBadNumber) + "1e"},
        {"1e-2", std::string(kErrBadNumber) + "1e"}, // the exponent's sign is an operator
        {"inf", std::string(kErrBadNumber) + "inf"},
        {"1e999", std::string(kErrBadNumber) + "1e999"},
        {"2+(1e308*10)", std::string(kErrBadNumber) + "inf"},
        {"(x)y", std::string(kErrBadNumber) + "x"},
        // An error in a condition that does not hold leaves no later condition holding,
        // but a later unit without a comparison still has its say.
        {"[1x=1:5][1=1:7]", std::string(kErrBadNumber) + "1x"},
        {"[1x=1:5][abc:7]", std::string(kErrNoComparison)},
    };
    for (const Case& c : cases) {
        TFormulaResult r = EvalFormula(c.text);
        EXPECT_EQ(r.Error, c.error) << c.text;
        EXPECT_EQ(r.Value, 0) << c.text;
    }
}

TEST_P(FormulaEval, OnlyAZeroDivisorBeforeTheEndOfItsChainRaises) {
    EXPECT_THROW(EvalFormula("5/0*2"), EZeroDivide);
    EXPECT_THROW(EvalFormula("5/(2-2)*2"), EZeroDivide);
    EXPECT_THROW(EvalFormula("[1=1:1/0+1]"), EZeroDivide);
    EXPECT_THROW(EvalFormula("[1/0*1=1:1]"), EZeroDivide);
    EXPECT_THROW(EvalFormula("5/0+1"), EZeroDivide);
    EXPECT_EQ(EvalFormula("5+1/0").Error, kErrDivByZero);
    EXPECT_EQ(EvalFormula("[1=2:1/0*1]3").Value, 3); // an expression not reached is not run
}

// A final zero divisor yields 0 with its error text, and the sums, products and groups
// around it go on with that 0. Every other error, and an operator read after one, leaves
// no value: 0.
TEST_P(FormulaEval, AFinalZeroDivisorCountsAsZeroInWhatSurroundsIt) {
    struct Case {
        const char* text;
        double value;
        std::string error;
    } cases[] = {
        {"23+9/0", 23, std::string(kErrDivByZero)},
        {"10-4/0", 10, std::string(kErrDivByZero)},
        {"1+2*3/0", 1, std::string(kErrDivByZero)},
        {"3+5/", 3, std::string(kErrDivByZero)}, // an empty term is 0
        {"[2>1:7-1/0]", 7, std::string(kErrDivByZero)},
        {"[2<1:1][1=1:8+1/0]", 8, std::string(kErrDivByZero)},
        {"3+(5/0)", 3, std::string(kErrDivByZero)},
        {"3+(1+4/0)", 4, std::string(kErrDivByZero)},
        {"2+3*(4/0)", 2, std::string(kErrDivByZero)},
        {"5/0", 0, std::string(kErrDivByZero)},
        {"2*5/0", 0, std::string(kErrDivByZero)},
        {"6/(5/0)", 0, std::string(kErrDivByZero)},
        {"[1/0=0:5]7", 0, std::string(kErrDivByZero)}, // no condition holds after an error
        {"(5/0)+3", 0, std::string(kErrDivByZero)},    // the "+" is read after the error
        {"2*(1+4/0)+3", 0, std::string(kErrDivByZero)},
        {"(5/0)x", 0, std::string(kErrBadNumber) + "0.00000x"},
    };
    for (const Case& c : cases) {
        TFormulaResult r = EvalFormula(c.text);
        EXPECT_EQ(r.Error, c.error) << c.text;
        EXPECT_EQ(r.Value, c.value) << c.text;
    }
}

TEST_P(FormulaEval, AnyNumberOfUnitsIsEvaluatedInOrder) {
    std::string text;
    for (int i = 1; i <= 20; ++i) {
        text += "[" + std::to_string(i) + "=15:" + std::to_string(i * 10) + "]";
    }
    EXPECT_EQ(EvalFormula(text).Value, 150);

    std::string many = Repeat("[1=2:1]", 20000) + "42";
    TFormulaResult r = EvalFormula(many);
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Value, 42);
}

TEST_P(FormulaEval, DeepNestingAndLongChainsEndWithoutExhaustingTheStack) {
    EXPECT_EQ(EvalFormula(Nested(kMaxFormulaNesting, "7")).Value, 7);

    TFormulaResult deep = EvalFormula(Nested(kMaxFormulaNesting + 1, "7"));
    EXPECT_EQ(deep.Error, kErrTooDeep);
    EXPECT_EQ(deep.Value, 0);
    EXPECT_EQ(EvalFormula(Nested(200000, "1")).Error, kErrTooDeep);
    EXPECT_EQ(EvalFormula("[" + Nested(5000, "1") + "=1:2]").Error, kErrTooDeep);
    EXPECT_EQ(EvalFormula(Repeat("(", 200000) + "1+1").Error, kErrUnbalanced);

    // A "-" takes the rest, so 1-1-1-... alternates between 1 and 0.
    EXPECT_EQ(EvalFormula("1" + Repeat("+1", 99999)).Value, 100000);
    EXPECT_EQ(EvalFormula("1" + Repeat("-1", 99999)).Value, 0);
    EXPECT_EQ(EvalFormula("1" + Repeat("-1", 100000)).Value, 1);
    EXPECT_EQ(EvalFormula("1" + Repeat("*2", 1000)).Value, std::ldexp(1.0, 1000));
    EXPECT_EQ(EvalFormula(Repeat("(1)+", 50000) + "0").Value, 50000);
}

TEST_P(FormulaEval, ExtremeNumbersStayDoublesWithoutFaults) {
    TFormulaResult big = EvalFormula("1e308*10");
    EXPECT_EQ(big.Error, "");
    EXPECT_TRUE(std::isinf(big.Value));
    EXPECT_TRUE(std::isnan(EvalFormula("1e308*10-1e308*10").Value));
    EXPECT_EQ(EvalFormula("1" + Repeat("0", 300)).Value, 1e300);
    EXPECT_EQ(EvalFormula("(1e300)").Value, 1e300); // 301 digits and five decimals
    EXPECT_EQ(EvalFormula("[1e308*10>1:1]2").Value, 1);
}

TEST_P(FormulaEval, TheStepsBehaveAsTheirCallersExpect) {
    std::string error;
    auto units = SplitFormulaUnits("[a>1:b][:cc]d", error);
    EXPECT_EQ(error, "");
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].Condition, "a>1");
    EXPECT_EQ(units[0].Expression, "b");
    EXPECT_EQ(units[1].Condition, "");
    EXPECT_EQ(units[1].Expression, "cc");
    EXPECT_EQ(units[2].Condition, "1=1");
    EXPECT_EQ(units[2].Expression, "d");

    std::string_view left, right;
    EXPECT_TRUE(SplitAtOperator("<>", "1+2<>3<>4", left, right));
    EXPECT_EQ(left, "1+2");
    EXPECT_EQ(right, "3<>4");
    EXPECT_FALSE(SplitAtOperator("=", "1<2", left, right));

    error.clear();
    EXPECT_TRUE(EvalCondition("1<2", error));
    EXPECT_FALSE(EvalCondition("2<1", error));
    EXPECT_TRUE(EvalCondition("2*2=4", error));
    EXPECT_TRUE(EvalCondition("3<>4", error));
    EXPECT_EQ(error, "");

    std::string expr = "(1+2)*4";
    size_t pos = 0;
    double value = 0;
    EXPECT_FALSE(EvalTerm(expr, pos, value, error));
    EXPECT_EQ(expr, "3.00000*4");
    EXPECT_EQ(pos, 7u);
    expr = "-2.5";
    EXPECT_TRUE(EvalTerm(expr, pos, value, error));
    EXPECT_EQ(value, -2.5);
    EXPECT_EQ(error, "");

    EXPECT_EQ(EvalArithmetic("3", '*', 2, error), 6);
    EXPECT_EQ(EvalArithmetic("3-1", '-', 10, error), 8);
    error = "earlier";
    EXPECT_EQ(EvalArithmetic("3", '+', 2, error), 0);
    EXPECT_EQ(error, "earlier");
}
