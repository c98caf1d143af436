#include "dbutil/StdProc.h"
#include "LogReader.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace zen;

namespace {

Currency M(double v) {
    return Currency::FromDouble(v);
}

struct StepGuard {
    double saved = RoundStep();
    ~StepGuard() { SetRoundStep(saved); }
};

} // namespace

TEST(StdProc, RoundTRoundsAwayFromZeroFromFourNinthsOfAStep) {
    test::TempHome home;
    StepGuard guard;
    SetRoundStep(0.01);
    EXPECT_EQ(RoundT(M(1.2345)), M(1.24));
    EXPECT_EQ(RoundT(M(1.2344)), M(1.23));
    EXPECT_EQ(RoundT(M(-1.2345)), M(-1.24));
    EXPECT_EQ(RoundT(M(0.004)), M(0.00));
    EXPECT_EQ(RoundT(M(0.0045)), M(0.01));
    EXPECT_EQ(RoundT(M(0)), M(0));
    SetRoundStep(1);
    EXPECT_EQ(RoundT(M(2.45)), M(3));
    EXPECT_EQ(RoundT(M(2.44)), M(2));
    SetRoundStep(0.05);
    EXPECT_EQ(RoundT(M(1.02)), M(1.00));
    EXPECT_EQ(RoundT(M(1.023)), M(1.05));
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST(StdProc, RoundTWithoutAStepLogsAndGivesZero) {
    test::TempHome home;
    StepGuard guard;
    SetRoundStep(0);
    EXPECT_EQ(RoundT(M(12.5)), M(0));
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].operation, "RoundT");
    EXPECT_EQ(rows[0].exceptObject, "EZeroDivide");
    EXPECT_EQ(rows[0].senderName, "TApplication");
}

TEST(StdProc, RoundTOverflowIsLoggedNotThrown) {
    test::TempHome home;
    StepGuard guard;
    SetRoundStep(1e15); // rounds 9e14 up to 1e15, beyond the money range
    EXPECT_EQ(RoundT(M(9e14)), M(0));
    ASSERT_EQ(test::ReadExceptionLog().size(), 1u);
}

TEST(StdProc, DateToStrSQLIsMonthDayYearInAnyLocale) {
    test::TempHome home;
    for (const char* loc : {"C", "sl_SI.UTF-8"}) {
        test::ScopedLocale scoped(loc);
        ASSERT_TRUE(scoped.Available()) << loc;
        EXPECT_EQ(DateToStrSQL(EncodeDate(2024, 2, 29)), "02/29/24") << loc;
        EXPECT_EQ(DateToStrSQL(EncodeDate(2026, 12, 6)), "12/06/26") << loc;
        EXPECT_EQ(DateToStrSQL(EncodeDate(2001, 3, 2) + 0.5), "03/02/01") << loc;
    }
}

TEST(StdProc, DivTAndChangeCharacter) {
    test::TempHome home;
    EXPECT_EQ(DivT(5, 0), 0.0);
    EXPECT_EQ(DivT(-5, 2), -2.5);
    EXPECT_EQ(ChangeCharacter("1,5*2,25", ',', '.'), "1.5*2.25");
    EXPECT_EQ(ChangeCharacter("", ',', '.'), "");
    EXPECT_EQ(ChangeCharacter("čšž,", ',', '.'), "čšž.");
    EXPECT_TRUE(test::ReadExceptionLog().empty()); // DivT(5, 0) is no error
}

TEST(StdProc, LesserOfComparesTypedAndLogsUnderMax) {
    test::TempHome home;
    EXPECT_EQ(LesserOf(TVariant(3), TVariant(2)).AsInteger(), 2);
    EXPECT_EQ(LesserOf(TVariant(2), TVariant(2.0)).VarType(), TVariant(2).VarType());
    EXPECT_EQ(LesserOf(TVariant(std::string("10")), TVariant(9)).AsInteger(), 9);
    EXPECT_EQ(LesserOf(TVariant(std::string("Ab")), TVariant(std::string("B"))).AsString(), "Ab");
    EXPECT_TRUE(test::ReadExceptionLog().empty());
    EXPECT_TRUE(LesserOf(TVariant(std::string("12a")), TVariant(1)).IsEmpty());
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].operation, "Max");
    EXPECT_EQ(rows[0].exceptObject, "EConvertError");
}
