#include "toolkit/PictureMask.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

using namespace zen;

namespace {

struct MaskCase {
    const char* mask;
    std::vector<std::string> accepted;
    std::vector<std::string> refused;
};

void ExpectCases(const std::vector<MaskCase>& cases) {
    for (const MaskCase& c : cases) {
        const TPictureMask mask(c.mask);
        for (const std::string& text : c.accepted) {
            EXPECT_TRUE(mask.Matches(text)) << "mask \"" << c.mask << "\" text \"" << text << "\"";
        }
        for (const std::string& text : c.refused) {
            EXPECT_FALSE(mask.Matches(text)) << "mask \"" << c.mask << "\" text \"" << text << "\"";
        }
    }
}

} // namespace

TEST(PictureMask, ClassesLiteralsAndCharactersNotBytes) {
    ExpectCases({
        {"####", {"1000", "9999"}, {"", "100", "10000", "10a0", "１０００"}},
        {"*&", {"", "Čšž", "čevapčiči", "Straße"}, {"ab c", "abc1", "a-b"}},
        {"&", {"č", "Ž"}, {"1", "_", "\xC4"}}, // a lone lead byte is no letter
        {"??", {"ab", "čš", "\xC4\xFF"}, {"č", "abc"}},
        {"abc", {"abc"}, {"ABC", "Abc", "abcd"}},
        {"@,x", {"@,x"}, {"A,x", "@x"}},
        {"", {""}, {"a", " "}},
    });
}

TEST(PictureMask, GroupsRepetitionsAndEscapes) {
    ExpectCases({
        {"[+]*#", {"+386", "386", "+", ""}, {"++386", "+38 6", "386+"}},
        {"#[#][#]", {"1", "12", "123"}, {"", "1234", "1a"}},
        {"*#[.##]", {"12.50", "12", ".50", ""}, {"12.5", "12.500", "12."}},
        {"{Mr,Mrs}. &*&", {"Mr. Novak", "Mrs. Žagar"}, {"Ms. Novak", "MrMrs. Novak"}},
        {"{[+]386,0}*8#", {"+38641123456", "38641123456", "041123456"}, {"+041123456", "0411234"}},
        {"[a[b[c]]]", {"", "a", "ab", "abc"}, {"b", "ac", "abcc"}},
        {"{a,{b,c}d,}", {"", "a", "bd", "cd"}, {"d", "b", "ad"}},
        {"{}[]", {""}, {"a"}},
        {"{a[,b],c}", {"a", "a,b", "c"}, {"a,c", ",b"}}, // "," is a literal inside []
        {";#;;;*;[;];{;};,", {"#;*[]{},"}, {"1;*[]{},"}},
        {"{;,,x}", {",", "x"}, {"", ",x"}},
        {"*3#", {"123"}, {"12", "1234"}},
        {"*0#", {""}, {"1"}},
        {"*3;5", {"555"}, {"55", "5555"}},
        {"*12#", {"123456789012"}, {"12345678901"}},
        {"*2{ab,c}", {"abc", "cc", "cab", "abab"}, {"ab", "abcc"}},
        {"*2[#]", {"", "1", "12"}, {"123"}},
        {"*[a]b", {"b", "aaab"}, {"aaa"}}, // a body that can match nothing repeats safely
        {"**#", {"", "123"}, {"12a"}},
        {"*&&", {"ab", "a"}, {""}},
        {"*?x", {"abxcx", "x"}, {"xa", ""}},
    });
}

TEST(PictureMask, MalformedMasksRaiseNamingThePlace) {
    const std::vector<std::pair<std::string, const char*>> cases = {
        {"#[#", "character 2 (\"[\") is never closed by \"]\""},
        {"{a,b", "character 1 (\"{\") is never closed by \"}\""},
        {"a]", "character 2 (\"]\") closes no \"[\""},
        {"{a]}", "character 3 (\"]\") closes no \"[\""},
        {"}", "character 1 (\"}\") closes no \"{\""},
        {"#;", "character 2 (\";\") escapes nothing"},
        {"#*", "character 2 (\"*\") is followed by no element"},
        {"*3", "character 1 (\"*\") is followed by no element"},
        {"[*3]", "character 2 (\"*\") is followed by no element"},
        {"{a,*}", "character 4 (\"*\") is followed by no element"},
        {"č\xFF#", "character 2 is not valid UTF-8"},
        {"*2000#", "exceed 2000 states"},
        {"*200*200#", "exceed 2000 states"},
        {"*99999999999999999999#", "exceed 2000 states"},
        {std::string(100000, '*') + "#", "character 101 lies deeper than 100 nested groups"},
    };
    for (const auto& [mask, message] : cases) {
        try {
            CheckPictureMask(mask);
            ADD_FAILURE() << "mask \"" << mask << "\" was accepted";
        } catch (const EPictureMaskError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos)
                << "mask \"" << mask << "\": " << e.what();
        }
    }
    EXPECT_NO_THROW(CheckPictureMask(std::string(100, '[') + std::string(100, ']')));
    EXPECT_THROW(MatchesPictureMask("1", "[#"), EPictureMaskError);
    EXPECT_NO_THROW(CheckPictureMask("*1999#"));
    EXPECT_TRUE(MatchesPictureMask("Mrs", "{Mr,Mrs}"));
}

TEST(PictureMask, HostileMasksAndTextsTakeBoundedWork) {
    const std::string as(10000, 'a');
    const std::vector<std::tuple<const char*, std::string, bool>> cases = {
        {"*?*?*?*?x", as, false},    {"*?*?*?*?x", as + "x", true}, {"*[*a]b", as, false},
        {"*{a,aa,aaa}b", as, false}, {"*{&,&&}*&", as, true},       {"*3*?*#", as, true},
    };
    for (const auto& [pattern, text, expected] : cases) {
        const TPictureMask mask(pattern);
        size_t steps = 0;
        EXPECT_EQ(mask.Matches(text, &steps), expected) << pattern;
        EXPECT_LE(steps, (text.size() + 1) * mask.StateCount()) << pattern;
    }
}
