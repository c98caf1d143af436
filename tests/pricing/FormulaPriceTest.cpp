#include "pricing/FormulaPrice.h"

#include "LocaleFixture.h"
#include "LogReader.h"
#include "pricing/Formula.h"
#include "support/TestSupport.h"
#include "toolkit/DateTime.h"

#include <gtest/gtest.h>
#include <string>

using namespace zen;

namespace {

Currency Amount(double v) {
    return Currency::FromDouble(v);
}

class FormulaPrice : public test::LocaleTest {
protected:
    // The locale's separator, as substituted amounts carry it.
    std::string Dec(const std::string& text) {
        std::string s = text;
        for (char& c : s) {
            if (c == '.') {
                c = FormatSettings().DecimalSeparator;
            }
        }
        return s;
    }

    // Logs into the fixture's own home directory.
    Currency Price(const std::string& formula, std::string* error = nullptr) {
        return IzrCenePozFormula(formula, values, error);
    }

    test::TempHome home;
    TFormulaValues values;
};
ZEN_LOCALE_SUITE(FormulaPrice);

} // namespace

TEST_P(FormulaPrice, NamesAreReplacedByTheirValues) {
    values.MpCena = Amount(12.5);
    values.Kolicina = Amount(3);
    values.CenRazred = "2";
    values.Cena = Amount(-2);
    EXPECT_EQ(SubstituteFormulaVariables("#MPCENA#*0,9", values), Dec("12.5") + "*0,9");
    EXPECT_EQ(Price("#MPCENA#*0,9"), Amount(11.25));
    values.MpCena = Amount(2.5);
    EXPECT_EQ(Price("#KOLICINA#*#MPCENA#"), Amount(7.5));
    EXPECT_EQ(Price("#CENRAZRED#"), Amount(2));
    EXPECT_EQ(SubstituteFormulaVariables("10-#CENA#", values), "10--2");
    EXPECT_EQ(Price("10-#CENA#"), Amount(12));
    EXPECT_EQ(Price("#NEZNANO#+3"), Amount(3));
    EXPECT_EQ(Price(" 1 , 5 * 2 "), Amount(3));
    EXPECT_EQ(Price("2/3"), Amount(0.6667));
}

TEST_P(FormulaPrice, EveryNameFeedsItsOwnAmount) {
    // Each member gets its own value through the structure itself, so a name wired to the
    // wrong member shows here, whatever table the substitution looks names up in.
    TFormulaValues v;
    v.CenRazred = "7";
    struct Name {
        std::string_view name;
        Currency* member;
    } names[] = {
        {"KOLICINA", &v.Kolicina},     {"POGCENA", &v.PogCena},     {"CENA", &v.Cena},
        {"MPCENA", &v.MpCena},         {"VPCENA1", &v.VpCena1},     {"VPCENA2", &v.VpCena2},
        {"SESTAVNICA", &v.Sestavnica}, {"KOSOVNICA", &v.Kosovnica}, {"NABACENA", &v.NabaCena},
        {"BNABACENA", &v.BNabaCena},   {"NNABACENA", &v.NNabaCena},
    };
    for (size_t i = 0; i < std::size(names); ++i) {
        *names[i].member = Currency::FromRaw(static_cast<int64_t>(i + 1) * 10000 + 5000);
    }
    EXPECT_EQ(IzrCenePozFormula("#CENRAZRED#", v), Amount(7));
    ASSERT_EQ(FormulaVariableNames().size(), std::size(names) + 1);
    EXPECT_EQ(FormulaVariableNames().front(), "CENRAZRED");
    for (size_t i = 0; i < std::size(names); ++i) {
        std::string name(names[i].name);
        EXPECT_EQ(FormulaVariableNames()[i + 1], name);
        EXPECT_EQ(FormulaAmount(v, name), names[i].member) << name;
        EXPECT_EQ(FormulaVariableText(v, name), Dec(std::to_string(i + 1) + ".5")) << name;
        EXPECT_EQ(IzrCenePozFormula("#" + name + "#*2", v),
                  Currency::FromRaw(static_cast<int64_t>(2 * i + 3) * 10000))
            << name;
    }
    EXPECT_EQ(FormulaAmount(values, "CENRAZRED"), nullptr);
    EXPECT_EQ(FormulaAmount(values, "mpcena"), nullptr); // names are upper case
}

TEST_P(FormulaPrice, AmountsAreWrittenAsShortDecimalsInTheLocale) {
    values.MpCena = Currency::FromRaw(1);
    EXPECT_EQ(FormulaVariableText(values, "MPCENA"), Dec("0.0001"));
    values.MpCena = Currency::FromRaw(-1);
    EXPECT_EQ(FormulaVariableText(values, "MPCENA"), Dec("-0.0001"));
    values.MpCena = Currency::FromRaw(120000);
    EXPECT_EQ(FormulaVariableText(values, "MPCENA"), "12");
    // Fifteen significant digits at most, and never an exponent.
    values.MpCena = Currency::FromRaw(INT64_MAX);
    EXPECT_EQ(FormulaVariableText(values, "MPCENA"), "922337203685478");
    values.MpCena = Currency::FromRaw(1234567890123456);
    EXPECT_EQ(FormulaVariableText(values, "MPCENA"), Dec("123456789012.346"));
    EXPECT_EQ(FormulaVariableText(values, "DRUGO"), "0");
}

TEST_P(FormulaPrice, EmptyOrBlankFormulasAreWorthZeroWithoutEvaluation) {
    std::string error = "stale";
    EXPECT_EQ(Price("", &error), Currency());
    EXPECT_EQ(error, "");
    EXPECT_EQ(Price("    "), Currency());
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST_P(FormulaPrice, AnOddNumberOfSignsLeavesOneAndTheRest) {
    values.MpCena = Amount(4);
    EXPECT_EQ(SubstituteFormulaVariables("99#5", values), "15");
    EXPECT_EQ(SubstituteFormulaVariables("#MPCENA#*2+#3", values), "13");
    EXPECT_EQ(Price("#MPCENA#*2+#3"), Amount(13));
    EXPECT_EQ(SubstituteFormulaVariables("5#", values), "1");
}

TEST_P(FormulaPrice, TheTextAfterEachSignIsCutTo255Characters) {
    values.MpCena = Amount(12.5);
    std::string tail;
    for (int i = 0; i < 200; ++i) {
        tail += "+1";
    }
    // The first cut keeps "MPCENA#" and 248 characters of the tail: 124 times "+1".
    EXPECT_EQ(Price("#MPCENA#" + tail), Amount(136.5));
    EXPECT_EQ(SubstituteFormulaVariables("#MPCENA#" + tail, values),
              Dec("12.5") + tail.substr(0, 248));
    // Characters, not bytes: a two-byte letter is never split.
    std::string letters;
    for (int i = 0; i < 300; ++i) {
        letters += "č";
    }
    std::string cut = SubstituteFormulaVariables("#X#" + letters, values);
    EXPECT_EQ(cut, "0" + letters.substr(0, 2 * 253));
    // Nothing before the first sign is cut.
    std::string head(300, '1');
    EXPECT_EQ(SubstituteFormulaVariables(head + "#X#", values), head + "0");
}

TEST_P(FormulaPrice, ErrorTextsAreIgnoredButShownToWhoAsks) {
    std::string error;
    EXPECT_EQ(Price("5/0", &error), Currency());
    EXPECT_EQ(error, kErrDivByZero);
    EXPECT_EQ(Price("23+9/0", &error), Amount(23));
    EXPECT_EQ(error, kErrDivByZero);
    EXPECT_EQ(Price("[1=1]", &error), Currency());
    EXPECT_EQ(error, kErrUnitShape);
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST_P(FormulaPrice, FailuresAreLoggedAndPriceAtZero) {
    std::string error;
    EXPECT_EQ(Price("5/0*2", &error), Currency());
    EXPECT_EQ(error, "EZeroDivide: Floating point division by zero");
    values.MpCena = Currency::FromRaw(INT64_MAX);
    EXPECT_EQ(Price("#MPCENA#*#MPCENA#", &error), Currency());
    EXPECT_EQ(error.substr(0, 10), "EOverflow:");
    EXPECT_EQ(Price("1e308*10-1e308*10"), Currency()); // not a number
    EXPECT_EQ(Price("-1e300"), Currency());

    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].exceptObject, "EZeroDivide");
    for (const auto& row : rows) {
        EXPECT_EQ(row.operation, "IzrCenePozFormula");
        EXPECT_EQ(row.senderName, "TApplication");
    }
    EXPECT_EQ(rows[1].exceptObject, "EOverflow");
    EXPECT_EQ(rows[3].exceptObject, "EOverflow");
}
