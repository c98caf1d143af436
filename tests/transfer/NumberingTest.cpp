#include "transfer/Numbering.h"
#include "StatementFixture.h"

#include <gtest/gtest.h>

using namespace zen;
using namespace zen::test;

static auto* const odbcEnv = RegisterOdbcTestEnv();

TEST(Numbering, TextParts) {
    EXPECT_EQ(ReplicateStr('0', 3), "000");
    EXPECT_EQ(ReplicateStr('0', 0), "");
    EXPECT_EQ(ReplicateStr('0', -2), "");
    EXPECT_EQ(StrZeroInt(42, 5), "00042");
    EXPECT_EQ(StrZeroInt(123456, 5), "123456");
    // The year of the issue date, not of today.
    TDateTime d = EncodeDate(2005, 12, 31);
    EXPECT_EQ(YearS(2, d), "05");
    EXPECT_EQ(YearS(4, d), "2005");
    EXPECT_EQ(YearS(0, d), "");
    EXPECT_EQ(DocumentPrefix(d, "12"), "0512");
    EXPECT_EQ(DocumentPrefix(d, "5"), "055 ");
    EXPECT_EQ(DocumentPrefix(EncodeDate(2010, 1, 1), ""), "10  ");
    EXPECT_EQ(DocumentKey("0512", 42), "051200042");
    EXPECT_EQ(DocumentKey("0512", kLastDocumentNumber), "051299999");
    EXPECT_THROW(DocumentKey("0512", kLastDocumentNumber + 1), EDocumentSeriesFull);
    EXPECT_NO_THROW(CheckDocumentNumbers("0512", 99990, 10));
    EXPECT_THROW(CheckDocumentNumbers("0512", 99990, 11), EDocumentSeriesFull);
}

namespace {

class NumberingDb : public StatementFixture {
protected:
    void Keys(const std::vector<std::string>& keys) {
        for (const std::string& k : keys) {
            std::string quoted;
            for (char c : k) {
                quoted += c == '\'' ? "''" : std::string(1, c);
            }
            Exec({"INSERT INTO Promet (Kljuc) VALUES ('" + quoted + "')"});
        }
    }
    int Next(const std::string& prefix) { return NovaStevGlavC(*db, prefix); }
};

} // namespace

TEST_P(NumberingDb, ContinuesTheSeriesOfItsPrefixOnly) {
    EXPECT_EQ(Next("0512"), 1);
    Keys({"051200041", "051200007", "041200090", "051300099", "055 00007", "055100099"});
    EXPECT_EQ(Next("0512"), 42);
    // A one-character event keeps its blank: 0551 is another series.
    EXPECT_EQ(Next("055 "), 8);
    EXPECT_EQ(Next("0551"), 100);
}

TEST_P(NumberingDb, EventCodesAreMatchedExactly) {
    // "_" and "%" would be wildcards in a pattern, and SQLite's LIKE ignores case.
    Keys({"05z100050", "05_100003", "05AB00077", "05ab00090"});
    EXPECT_EQ(Next("05_1"), 4);
    EXPECT_EQ(Next("05% "), 1);
    EXPECT_EQ(Next("05%B"), 1);
    EXPECT_EQ(Next("05AB"), 78);
    EXPECT_EQ(Next("05ab"), 91);
    // An apostrophe stays inside the prefix.
    EXPECT_EQ(Next("05O'"), 1);
    Keys({"05O'00012"});
    EXPECT_EQ(Next("05O'"), 13);
}

TEST_P(NumberingDb, AFullSeriesOrABadKeyStopsTheRun) {
    Keys({"051299998"});
    EXPECT_EQ(Next("0512"), kLastDocumentNumber);
    Keys({"051299999", "0513abcde"});
    try {
        Next("0512");
        ADD_FAILURE() << "no error for a full series";
    } catch (const EDocumentSeriesFull& e) {
        EXPECT_NE(std::string(e.what()).find("'0512'"), std::string::npos) << e.what();
    }
    try {
        Next("0513");
        ADD_FAILURE() << "no error for a key without a number";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'abcde' is not a valid integer value");
    }
}

ZEN_INSTANTIATE_FOR_DRIVERS(NumberingDb);
