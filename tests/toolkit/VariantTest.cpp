#include "toolkit/Variant.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"
#include "toolkit/FieldDefs.h"
#include "toolkit/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

using namespace zen;

TEST(VariantTest, TextsCompareByteForByte) {
    EXPECT_TRUE(VarSameValue(TVariant("AB"), TVariant("AB")));
    EXPECT_FALSE(VarSameValue(TVariant("AB"), TVariant("ab")));
    EXPECT_FALSE(VarSameValue(TVariant("AB"), TVariant("AB ")));
    // Bytes above 127 order after ASCII, as unsigned bytes do.
    EXPECT_LT(VarCompare(TVariant("Z"), TVariant("\xC4\x8D")), 0);
    // Two texts that look like numbers are still texts.
    EXPECT_FALSE(VarSameValue(TVariant("1.0"), TVariant("1")));
}

TEST(VariantTest, NumbersCompareNumericallyAcrossTypes) {
    EXPECT_TRUE(VarSameValue(TVariant(int16_t{12}), TVariant(int64_t{12})));
    EXPECT_TRUE(VarSameValue(TVariant(12), TVariant(12.0)));
    EXPECT_TRUE(VarSameValue(TVariant(Currency::FromRaw(12500)), TVariant(1.25)));
    EXPECT_TRUE(VarSameValue(TVariant(Currency::FromRaw(20000)), TVariant(2)));
    EXPECT_LT(VarCompare(TVariant(2), TVariant(10.5)), 0);
    // 2^53 + 1 is not a double; exact integers must not collapse onto it.
    EXPECT_FALSE(
        VarSameValue(TVariant(int64_t{9007199254740993}), TVariant(int64_t{9007199254740992})));
}

TEST(VariantTest, NumberAgainstTextConvertsTheText) {
    EXPECT_TRUE(VarSameValue(TVariant(12), TVariant("12")));
    EXPECT_TRUE(VarSameValue(TVariant("12.50"), TVariant(12.5)));
    EXPECT_TRUE(VarSameValue(TVariant(12), TVariant(" 12 ")));
    EXPECT_GT(VarCompare(TVariant("100"), TVariant(99)), 0);
    EXPECT_THROW(VarSameValue(TVariant(12), TVariant("12a")), EConvertError);
    EXPECT_THROW(VarSameValue(TVariant(""), TVariant(0)), EConvertError);
    EXPECT_TRUE(VarSameValue(TVariant(true), TVariant("True")));
}

TEST(VariantTest, NullEqualsOnlyNull) {
    TVariant null = TVariant::Null();
    EXPECT_TRUE(VarSameValue(null, TVariant::Null()));
    EXPECT_FALSE(VarSameValue(null, TVariant("")));
    EXPECT_FALSE(VarSameValue(null, TVariant(0)));
    EXPECT_FALSE(VarSameValue(null, TVariant()));
    EXPECT_FALSE(VarSameValue(TVariant(), TVariant(0)));
    // Null needs no conversion, so a non-number text against it is no error.
    EXPECT_FALSE(VarSameValue(null, TVariant("abc")));
    EXPECT_LT(VarCompare(null, TVariant(-5)), 0);
}

TEST(VariantTest, ArraysCompareElementwise) {
    TVariant a = TVariant::Array({TVariant("A"), TVariant(1)});
    EXPECT_TRUE(VarSameValue(a, TVariant::Array({TVariant("A"), TVariant("1")})));
    EXPECT_FALSE(VarSameValue(a, TVariant::Array({TVariant("A")})));
    EXPECT_FALSE(VarSameValue(a, TVariant("A")));
    EXPECT_THROW(VarCompare(a, TVariant("A")), EVariantError);
    EXPECT_THROW(a[2], EVariantError);
    EXPECT_THROW(a.AsString(), EVariantError);
}

TEST(VariantTest, ConversionsAreLocaleIndependent) {
    test::ScopedLocale sl("sl_SI.UTF-8");
    ASSERT_TRUE(sl.Available());
    EXPECT_EQ(TVariant(1.5).AsString(), "1.5");
    EXPECT_EQ(TVariant(0.1 + 0.2).AsString(), "0.3");
    EXPECT_EQ(TVariant(Currency::FromRaw(-12500)).AsString(), "-1.25");
    EXPECT_DOUBLE_EQ(TVariant("2.75").AsFloat(), 2.75);
    EXPECT_THROW(TVariant("2,75").AsFloat(), EConvertError);
    EXPECT_EQ(TVariant("2.5").AsCurrency(), Currency::FromRaw(25000));
}

TEST(VariantTest, ConversionFailuresNameTheText) {
    try {
        TVariant("12a").AsInteger();
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");
    }
    EXPECT_THROW(TVariant("abc").AsFloat(), EConvertError);
    EXPECT_THROW(TVariant(int64_t{1} << 40).AsInteger(), EConvertError);
    EXPECT_THROW(TVariant(1e300).AsInt64(), EConvertError);
    EXPECT_THROW(TVariant("maybe").AsBoolean(), EConvertError);
    EXPECT_EQ(TVariant(2.5).AsInteger(), 2); // halves to even
    EXPECT_EQ(TVariant(3.5).AsInteger(), 4);
    EXPECT_EQ(TVariant::Null().AsString(), "");
    EXPECT_EQ(TVariant::Null().AsInteger(), 0);
}

TEST(VariantTest, OtherIntegerTypesBecome64Bit) {
    EXPECT_EQ(TVariant(std::string("abc").size()).VarType(), varInt64);
    EXPECT_EQ(TVariant(3000000000u).AsInt64(), 3000000000);
    EXPECT_EQ(TVariant(static_cast<unsigned short>(7)).AsInteger(), 7);
    EXPECT_THROW(TVariant(UINT64_MAX), EConvertError);
}

TEST(VariantTest, TextNumberParsing) {
    double d;
    int64_t i;
    EXPECT_TRUE(TryTextToFloat("+1e3", d));
    EXPECT_DOUBLE_EQ(d, 1000);
    EXPECT_FALSE(TryTextToFloat("inf", d));
    EXPECT_FALSE(TryTextToFloat("nan", d));
    EXPECT_FALSE(TryTextToFloat("1e999", d));
    EXPECT_FALSE(TryTextToFloat("+-1", d));
    EXPECT_FALSE(TryTextToInt64("99999999999999999999", i));
    EXPECT_FALSE(TryTextToInt64("1.0", i));
    EXPECT_TRUE(TryTextToInt64(" -42 ", i));
    EXPECT_EQ(i, -42);
}

// The grammar every number reader shares; blanks are the reader's to trim, and only a
// database's text may name a value that is no finite number.
TEST(VariantTest, OneNumberGrammarForEveryReader) {
    double d = 7;
    for (const char* good : {"5.", ".5", "-0.5e-3", "+12", "1E+2"}) {
        EXPECT_TRUE(ParseDecimal(good, d)) << good;
    }
    for (const char* bad :
         {".", "1e", "1e+", " 5", "5 ", "+-5", "--5", "1,5", "0x10", "nan", "inf", "1e999", ""}) {
        EXPECT_FALSE(ParseDecimal(bad, d)) << bad;
    }
    EXPECT_TRUE(ParseDecimal("-Infinity", d, TNonFinite::Accepted));
    EXPECT_TRUE(std::isinf(d) && d < 0);
    EXPECT_TRUE(ParseDecimal("NaN", d, TNonFinite::Accepted));
    EXPECT_TRUE(std::isnan(d));
    EXPECT_FALSE(ParseDecimal("+-inf", d, TNonFinite::Accepted));
    int64_t i = 7;
    EXPECT_TRUE(ParseInteger("-9223372036854775808", i));
    EXPECT_EQ(i, INT64_MIN);
    EXPECT_TRUE(ParseInteger("+5", i));
    EXPECT_EQ(i, 5);
    for (const char* bad : {"+-5", "-+5", "+", "-", "5e2", " 5", "9223372036854775808"}) {
        EXPECT_FALSE(ParseInteger(bad, i)) << bad;
    }
    EXPECT_EQ(i, 5) << "a refused text leaves the value";
}

TEST(FieldDefsTest, DefinitionsAndIndexes) {
    TFieldDefs defs;
    defs.Add("Placnik", ftString, 20, true);
    defs.Add("ZapSt", ftAutoInc);
    EXPECT_EQ(defs[1].FieldNo(), 2);
    EXPECT_EQ(defs.IndexOf("placnik"), 0);
    EXPECT_THROW(defs.Add("PLACNIK", ftInteger), EDatabaseError);
    EXPECT_THROW(defs.Find("Kupec"), EDatabaseError);
    EXPECT_THROW(defs[5], EListError);

    TIndexDefs idx;
    idx.Add("PK", "Placnik; Kupec ;Ident;ZapSt", ixPrimary);
    EXPECT_EQ(idx.Find("pk").FieldList(),
              (std::vector<std::string>{"Placnik", "Kupec", "Ident", "ZapSt"}));
    EXPECT_THROW(idx.Add("PK2", "Kupec", ixPrimary), EDatabaseError);
    EXPECT_THROW(idx.Add("Empty", " ; ", 0), EDatabaseError);
    EXPECT_EQ(idx.FindIndexForFields("PLACNIK;kupec"), idx.Primary());
    EXPECT_EQ(idx.FindIndexForFields("Kupec"), nullptr);
}
