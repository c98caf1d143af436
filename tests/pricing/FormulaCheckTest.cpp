// The formula checker, run as the built program in a process of its own, with no display
// and a private ZENDRATO_HOME.

#include "LogReader.h"
#include "pricing/Formula.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace zen;

namespace {

using TRun = test::TProgramRun;

class FormulaCheck : public ::testing::Test {
protected:
    // Runs the program with `args`; `env` adds to or (with an empty value) removes from
    // the environment, which never holds a display.
    TRun Check(const std::vector<std::string>& args, std::map<std::string, std::string> env = {}) {
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            env.emplace(name, "");
        }
        env["ZENDRATO_HOME"] = home.Path().string();
        return test::RunProgram(ZENDRATO_BIN, args, env, home.Path());
    }

    test::TempHome home;
};

} // namespace

TEST_F(FormulaCheck, PricesAFormulaWithTheGivenVariables) {
    const std::string formula = "[#KOLICINA#>10:#MPCENA#*0,9]#MPCENA#";
    TRun r = Check({"--formula", formula, "--var", "KOLICINA=12", "--var", "MPCENA=10"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "9.0000\n");
    EXPECT_EQ(r.err, "");

    r = Check({"--formula=" + formula, "--var=kolicina=5", "--var", "MPCENA=10,5"});
    EXPECT_EQ(r.out, "10.5000\n");

    // Variables not given are 0; the formula is read in upper case.
    r = Check({"--formula", "#mpcena#+#cenrazred#+1/3", "--price-class", "2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "2.3333\n");
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST_F(FormulaCheck, GivesTheSameAnswerUnderACommaLocale) {
    TRun r =
        Check({"--formula", "#MPCENA#*0,9", "--var", "MPCENA=12.5"}, {{"LC_ALL", "sl_SI.UTF-8"}});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "11.2500\n");
}

TEST_F(FormulaCheck, ShowsTheErrorTextThatThePricingIgnores) {
    TRun r = Check({"--formula", "[1=1]"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "0.0000\n" + std::string(kErrUnitShape) + "\n");

    r = Check({"--formula", "[#KOLICINA#=0:5/#KOLICINA#]"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "0.0000\n" + std::string(kErrDivByZero) + "\n");
    EXPECT_TRUE(test::ReadExceptionLog().empty());
}

TEST_F(FormulaCheck, AFailureIsLoggedInTheHomeDirectoryAndShown) {
    TRun r = Check({"--formula", "5/0*2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "0.0000\nEZeroDivide: Floating point division by zero\n");
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].operation, "IzrCenePozFormula");
}

TEST_F(FormulaCheck, UsageErrorsExitWithTwoAndTheUsage) {
    const std::vector<std::vector<std::string>> bad = {
        {"--var", "MPCENA=1"},
        {"--formula"},
        {"--formula", "1", "--formula", "2"},
        {"--formula", "1", "--var", "MPCENA"},
        {"--formula", "1", "--var", "NEZNANO=1"},
        {"--formula", "1", "--var", "CENRAZRED=1"},
        {"--formula", "1", "--var", "MPCENA=abc"},
        {"--formula", "1", "--var", "MPCENA="},
        {"--formula", "1", "--var", "MPCENA=1e300"},
        {"--formula", "1", "--var", "MPCENA=nan"},
        {"--formula", "1", "--price-class", "12"},
        {"--formula", "1", "--price-class", ""},
        {"--formula", "1", "extra"},
    };
    for (const auto& args : bad) {
        // Slovene also where Qt would speak English.
        TRun r = Check(args, {{"LC_ALL", "C"}, {"LANG", ""}, {"LANGUAGE", ""}});
        EXPECT_EQ(test::EnglishWords(r.err), std::vector<std::string>()) << r.err;
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_EQ(r.out, "") << args.back();
        EXPECT_NE(r.err.find("Uporaba: zendrato --formula"), std::string::npos) << args.back();
    }
}

TEST_F(FormulaCheck, HelpNamesEveryVariable) {
    TRun r = Check({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* name :
         {"CENRAZRED", "KOLICINA", "POGCENA", "CENA", "MPCENA", "VPCENA1", "VPCENA2", "SESTAVNICA",
          "KOSOVNICA", "NABACENA", "BNABACENA", "NNABACENA", "Izhodno stanje"}) {
        EXPECT_NE(r.out.find(name), std::string::npos) << name;
    }
    EXPECT_EQ(Check({"--formula", "1", "--help"}).status, 0);
}
