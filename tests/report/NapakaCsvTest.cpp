// The error report as CSV: the exact bytes a Slovene spreadsheet reads, and a file that is
// replaced whole or left alone.

#include "report/NapakaCsv.h"
#include "support/TestSupport.h"
#include "toolkit/Exceptions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zen {
namespace {

TEST(NapakaCsv, FieldsAreQuotedOnlyWhenTheyMustBe) {
    EXPECT_EQ(NapakaCsv({}), "\xEF\xBB\xBF"
                             "Račun št.;Napaka\r\n");
    EXPECT_EQ(NapakaCsv({{"1001", "Stranka (Žiga; \"Čuk\") ne obstaja !"},
                         {"a\"b", "Plačnik (Šola, d.o.o.) ne obstaja !"},
                         {"", "dve\nvrstici\r"},
                         {" 7 ", "Artikel ('X') ne obstaja !"}}),
              "\xEF\xBB\xBF"
              "Račun št.;Napaka\r\n"
              "1001;\"Stranka (Žiga; \"\"Čuk\"\") ne obstaja !\"\r\n"
              "\"a\"\"b\";Plačnik (Šola, d.o.o.) ne obstaja !\r\n"
              ";\"dve\nvrstici\r\"\r\n"
              " 7 ;Artikel ('X') ne obstaja !\r\n");
}

// An invoice number or a reason from the transfer file must not become a formula in the
// operator's spreadsheet: every field that one would read so is made text.
TEST(NapakaCsv, NoFieldOpensAsAFormula) {
    EXPECT_EQ(NapakaCsv({{"=1+2", "@SUM(1)"}, {"+1-1", "-2"}, {"\t=1", "\r=1"}, {"=A1;B", "1=1"}}),
              "\xEF\xBB\xBF"
              "Račun št.;Napaka\r\n"
              "'=1+2;'@SUM(1)\r\n"
              "'+1-1;'-2\r\n"
              "'\t=1;\"'\r=1\"\r\n"
              "\"'=A1;B\";1=1\r\n");
}

TEST(NapakaCsv, TheFileIsReplacedWholeOrLeftAsItWas) {
    test::TempHome home;
    const auto file = home.Path() / "napake.csv";
    std::ofstream(file) << "staro";
    const std::vector<TNapakaRow> rows = {{"1", "Artikel (A) ne obstaja !"}};
    WriteNapakaCsv(rows, file);
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), NapakaCsv(rows));

    EXPECT_THROW(WriteNapakaCsv(rows, home.Path() / "ni" / "napake.csv"), EInOutError);
    EXPECT_FALSE(std::filesystem::exists(home.Path() / "ni"));
}

} // namespace
} // namespace zen
