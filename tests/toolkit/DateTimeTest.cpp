#include "toolkit/DateTime.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"

#include <gtest/gtest.h>

using namespace zen;

TEST(DateTime, EncodeDecodeRoundTripsAcrossCalendarEdges) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2001, 3, 2), 36952.0);
    for (TDateTime d : {-693593.0, -1.0, 0.0, 59.0, 60.0, 36952.0, 45351.0, 2958465.0}) {
        int y, m, day;
        DecodeDate(d, y, m, day);
        EXPECT_EQ(EncodeDate(y, m, day), d) << d;
    }
    int y, m, d;
    DecodeDate(EncodeDate(2024, 2, 29), y, m, d);
    EXPECT_EQ(y, 2024);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(d, 29);
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 7)), 2); // a Monday
}

TEST(DateTime, TimeOfDayIsTheFraction) {
    TDateTime t = EncodeDate(2001, 3, 2) + EncodeTime(4, 5, 6, 0);
    int h, mi, s, ms;
    DecodeTime(t, h, mi, s, ms);
    EXPECT_EQ(h, 4);
    EXPECT_EQ(mi, 5);
    EXPECT_EQ(s, 6);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss", t), "2001-03-02 04:05:06");
}

TEST(DateTime, ShortDateFollowsTheSlovenianLocale) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    ASSERT_TRUE(sl.Available());
    EXPECT_EQ(FormatSettings().DecimalSeparator, ',');
    EXPECT_EQ(FormatSettings().DateSeparator, '.');
    TDateTime d = EncodeDate(2026, 12, 6);
    EXPECT_EQ(DateToStr(d), "06. 12. 2026");
    EXPECT_EQ(StrToDate("06. 12. 2026"), d);
    EXPECT_EQ(StrToDate("6.12.2026"), d);
    EXPECT_EQ(StrToDate("6. 12. 26"), d);
    try {
        StrToDate("32. 13. 2026");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'32. 13. 2026' is not a valid date");
    }
    EXPECT_THROW(StrToDate(""), EConvertError);
    EXPECT_THROW(StrToDate("abc"), EConvertError);
    EXPECT_THROW(StrToDate("1.2.3.4"), EConvertError);
}

TEST(DateTime, TwoDigitYearsLandWithinFiftyYearsOfToday) {
    TFormatSettings fs;
    fs.ShortDateFormat = "dd/mm/yy";
    int thisYear, m, d;
    DecodeDate(Date(), thisYear, m, d);
    for (int yy : {0, 1, 26, 49, 75, 99}) {
        TDateTime v = StrToDate("01/01/" + std::to_string(yy), fs);
        int y, mm, dd;
        DecodeDate(v, y, mm, dd);
        EXPECT_EQ(y % 100, yy);
        EXPECT_LT(std::abs(y - thisYear), 51) << yy;
    }
}
