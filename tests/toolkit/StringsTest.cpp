// The line list: one change notice per change, texts split at any line break.

#include "toolkit/Strings.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <gtest/gtest.h>

namespace zen {
namespace {

TEST(StringList, EveryChangeIsToldOnceAndTextEndsEachLine) {
    TStringList list;
    int changes = 0;
    list.OnChange = [&](TStringList&) { ++changes; };
    list.Add("SELECT * FROM Ms ");
    list.Add("ORDER BY IDENT ");
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(list.Text(), "SELECT * FROM Ms \r\nORDER BY IDENT \r\n");
    list.BeginUpdate();
    list.Clear();
    list.Add("a");
    list.Insert(0, "b");
    EXPECT_EQ(changes, 2);
    list.EndUpdate();
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"b", "a"}));
    list.Delete(0);
    list.SetStrings(0, "c");
    EXPECT_EQ(changes, 5);
    EXPECT_THROW(list.Strings(1), EListError);
    EXPECT_THROW(list.Insert(3, "x"), EListError);

    list.SetText("one\r\ntwo\nthree\rfour\r\n");
    EXPECT_EQ(list.Lines(), (std::vector<std::string>{"one", "two", "three", "four"}));
    list.SetText("");
    EXPECT_EQ(list.Count(), 0);
}

} // namespace
// Every cut of a text to a buffer or a field goes through these: none may split a
// character of two, three or four bytes, and a count of characters is no count of bytes.
TEST(Utf8Text, CutsFallBetweenCharactersAndCaseFoldsByKind) {
    const std::string text = "a\xC4\x8D\xE2\x82\xAC\xF0\x9F\x98\x80"
                             "b"; // a č € 😀 b
    const size_t fits[] = {0, 1, 1, 3, 3, 3, 6, 6, 6, 6, 10, 11, 11};
    for (size_t max = 0; max < std::size(fits); ++max) {
        EXPECT_EQ(Utf8FitBytes(text, max), fits[max]) << max;
    }
    EXPECT_EQ(Utf8LeftBytes(text, 2), 3u);
    EXPECT_EQ(Utf8LeftBytes(text, 4), 10u);
    EXPECT_EQ(Utf8LeftBytes(text, 9), text.size());
    EXPECT_EQ(Utf8Left(text, 3), "a\xC4\x8D\xE2\x82\xAC");
    char32_t cp = 0;
    EXPECT_EQ(Utf8Decode(text, 6, cp), 4u);
    EXPECT_EQ(cp, U'\U0001F600');
    EXPECT_EQ(Utf8Decode(text, 2, cp), 0u) << "a continuation starts nothing";
    EXPECT_EQ(Utf8Decode("\xC0\x80", 0, cp), 0u) << "overlong";
    EXPECT_EQ(Utf8Decode("\xED\xA0\x80", 0, cp), 0u) << "surrogate";
    EXPECT_EQ(Utf8Decode("\xE2\x82", 0, cp), 0u) << "truncated";

    // Names fold ASCII only; the operator's text folds as Slovene is written.
    EXPECT_TRUE(SameName("Naziv_2", "NAZIV_2"));
    EXPECT_FALSE(SameName("\xC4\x8D", "\xC4\x8C"));
    EXPECT_EQ(AsciiLower("A_\xC4\x8C"), "a_\xC4\x8C");
    EXPECT_EQ(TextUpper("\xC4\x8Dokolada"), "\xC4\x8COKOLADA");
}

} // namespace zen
