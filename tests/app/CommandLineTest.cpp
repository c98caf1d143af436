// What an operator reads on a terminal is Slovene, whatever the locale: every mode's usage
// errors, helps and the version, run as the program itself under LC_ALL=C, where Qt would
// otherwise answer in English.

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zen {
namespace {

class CommandLineText : public ::testing::Test {
protected:
    test::TProgramRun Run(const std::vector<std::string>& args) {
        return test::RunProgram(ZENDRATO_BIN, args, test::NoDisplayEnvironment("C", home.Path()),
                                home.Path());
    }
    test::TempHome home;
};

TEST_F(CommandLineText, EveryModesUsageErrorsAreSloveneUnderTheCLocale) {
    const std::vector<std::vector<std::string>> bad = {
        // no mode (the window) and no display
        {},
        {"--bogus"},
        {"-x"},
        {"stray"},
        {"--", "stray"},
        {"--help=1"},
        // the transfer
        {"--transfer"},
        {"--transfer", "--date"},
        {"--transfer", "--date", "2026-02-30"},
        {"--transfer", "--date", "x", "--bogus"},
        {"--transfer", "--check=yes"},
        {"--transfer", "--date", "2026-12-20", "--event", "1", "--event", "2"},
        {"--transfer", "--date", "2026-12-20", "--report", ""},
        {"--transfer", "--date", "2026-12-20", "--var", "A=1"},
        {"--date", "2026-12-20"},
        {"--transfer", "--formula", "1"},
        {"--transfer", "--date", "2026-12-20", "--resume", "--force"},
        // the history and the undoing of a run
        {"--history", "--limit", "x"},
        {"--history", "--bogus"},
        {"--history", "--undo", "1"},
        {"--undo"},
        {"--undo", "x"},
        {"--undo", "1", "--csv"},
        // the formula checker's parser (its own checks: FormulaCheckTest)
        {"--formula"},
        {"--var", "MPCENA=1"},
        // a new data source and the demo
        {"--add-dsn"},
        {"--add-dsn", "Vir"},
        {"--add-dsn", "Vir", "--kind", "oracle", "--database", "d"},
        {"--add-dsn", "Vir", "--kind", "sqlite", "--database", "d", "--port", "1"},
        {"--add-dsn", "Vir", "--kind", "postgresql", "--database", "d"},
        {"--add-dsn", "Vir", "--kind", "postgresql", "--server", "s", "--port", "70000",
         "--database", "d"},
        {"--add-dsn", "Vir", "--kind", "sqlite", "--database", "/ni/tevrin.db"},
        {"--server", "s"},
        {"--demo", "--check"},
        {"--demo", "odvec"},
        // storing the login: no user, and no password on standard input
        {"--set-login"},
        {"--set-login", ""},
        {"--set-login", "janez"},
    };
    for (const auto& args : bad) {
        std::string shown;
        for (const std::string& a : args) {
            shown += " " + a;
        }
        test::TProgramRun r = Run(args);
        EXPECT_EQ(r.status, 2) << shown << "\n" << r.err;
        EXPECT_FALSE(r.err.empty()) << shown;
        EXPECT_EQ(test::EnglishWords(r.out + r.err), std::vector<std::string>()) << shown << "\n"
                                                                                 << r.err;
    }
}

TEST_F(CommandLineText, HelpAndVersionAreSlovene) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"--transfer", "--help"},
                                               {"--formula", "--help"},
                                               {"--set-login", "-h"},
                                               {"--history", "--help"},
                                               {"--undo", "1", "--help"},
                                               {"--add-dsn", "Vir", "--help"},
                                               {"--demo", "--help"},
                                               {"--version"}}) {
        test::TProgramRun r = Run(args);
        EXPECT_EQ(r.status, 0) << args[0];
        EXPECT_FALSE(r.out.empty()) << args[0];
        EXPECT_EQ(test::EnglishWords(r.out + r.err), std::vector<std::string>()) << args[0] << "\n"
                                                                                 << r.out;
    }
    EXPECT_EQ(Run({"--version"}).out, "Zendrato, različica " ZENDRATO_VERSION "\n");
}

// The detector itself finds what Qt's parser and the earlier texts said.
TEST(EnglishWords, FindTheEnglishTextsOfBefore) {
    for (const char* text : {"Unknown option 'bogus'.", "Missing value after '--date'.",
                             "--date is missing", "usage: zendrato --formula TEXT"}) {
        EXPECT_FALSE(test::EnglishWords(text).empty()) << text;
    }
    EXPECT_TRUE(test::EnglishWords("zendrato: neznana možnost »--bogus«\nUporaba: zendrato (okno)")
                    .empty());
}

} // namespace
} // namespace zen
