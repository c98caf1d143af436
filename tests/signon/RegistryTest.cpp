// The registry stand-in: keys and values survive the file, names compare as on Windows,
// and a damaged file is never overwritten.

#include "app/Registry.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace zen {
namespace {

std::string ReadAll(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Registry, KeysAndValuesSurviveTheFile) {
    test::TempHome home;
    TRegistry r;
    r.SetRootKey(TRootKey::LocalMachine);
    EXPECT_FALSE(r.OpenKey("SOFTWARE\\Orvanel", false));
    ASSERT_TRUE(r.OpenKey("SOFTWARE\\Orvanel", true));
    EXPECT_EQ(r.CurrentPath(), "SOFTWARE\\Orvanel");
    ASSERT_TRUE(r.OpenKey("SQL", true)) << "relative to the open key";
    EXPECT_EQ(r.CurrentPath(), "SOFTWARE\\Orvanel\\SQL");

    const std::string awkward = "a=b\\c\nd\re\t[x];#y é";
    r.WriteString("Odd=Name", awkward);
    r.WriteString("UserName", "sa");
    r.WriteString("username", "janez"); // the same value, whatever the case

    TRegistry again;
    again.SetRootKey(TRootKey::LocalMachine);
    ASSERT_TRUE(again.OpenKey("\\software\\ORVANEL\\sql", false));
    EXPECT_EQ(again.ReadString("odd=name"), awkward);
    EXPECT_EQ(again.ReadString("USERNAME"), "janez");
    EXPECT_FALSE(again.ValueExists("Password"));
    EXPECT_THROW(again.ReadString("Password"), ERegistryException);
    EXPECT_TRUE(again.KeyExists("\\SOFTWARE"));

    // Roots are separate files.
    TRegistry user;
    EXPECT_FALSE(user.OpenKey("SOFTWARE\\Orvanel\\SQL", false));
    EXPECT_EQ(r.FilePath().filename(), "HKEY_LOCAL_MACHINE.reg");
    EXPECT_FALSE(std::filesystem::exists(r.FilePath().string() + ".tmp"));
}

TEST(Registry, InvalidKeyNamesAreRefused) {
    test::TempHome home;
    TRegistry r;
    EXPECT_FALSE(r.OpenKey("SOFTWARE\\bad\nname", true));
    EXPECT_FALSE(r.CreateKey("tab\tkey"));
    EXPECT_THROW(r.WriteString("x", "y"), ERegistryException) << "no key open";
}

TEST(Registry, DamagedFileIsReportedAndNeverOverwritten) {
    test::TempHome home;
    TRegistry r;
    r.SetRootKey(TRootKey::LocalMachine);
    const std::string damaged = "UserName=before any key\n[SOFTWARE]\n";
    {
        std::ofstream out(r.FilePath(), std::ios::binary);
        out << damaged;
    }
    EXPECT_FALSE(r.OpenKey("SOFTWARE\\Orvanel", true));
    EXPECT_FALSE(r.CreateKey("SOFTWARE\\Other"));
    EXPECT_EQ(ReadAll(r.FilePath()), damaged);

    for (const char* bad : {"[SOFTWARE\nName=\\q\n", "[SOFTWARE]\nName=\\x4\n", "[]\n",
                            "[SOFTWARE\\\\X]\n", "[SOFTWARE]\nno equals sign\n"}) {
        {
            std::ofstream out(r.FilePath(), std::ios::binary);
            out << bad;
        }
        EXPECT_FALSE(r.OpenKey("SOFTWARE\\New", true)) << bad;
    }
}

} // namespace
} // namespace zen
