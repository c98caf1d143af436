// The line list: one change notice per change, texts split at any line break.

#include "toolkit/Strings.h"
#include "toolkit/Exceptions.h"

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
} // namespace zen
