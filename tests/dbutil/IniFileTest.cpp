#include "dbutil/IniFile.h"
#include "LogReader.h"
#include "dbutil/StdProc.h"
#include "support/TestSupport.h"

#include <dlfcn.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace zen;

namespace {

std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Spit(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

// While set: every fsync of the process, as the synced file's path and the watched file's
// text at that moment.
std::vector<std::pair<std::string, std::string>>* g_syncs = nullptr;
std::filesystem::path g_watched;

} // namespace

// Stands in for the C library's fsync in this test program, to see what is synced when.
extern "C" int fsync(int fd) {
    using Fsync = int (*)(int);
    static auto real = reinterpret_cast<Fsync>(dlsym(RTLD_NEXT, "fsync"));
    if (g_syncs) {
        char target[4096];
        ssize_t n =
            readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target);
        g_syncs->emplace_back(std::string(target, n > 0 ? size_t(n) : 0), Slurp(g_watched));
    }
    return real(fd);
}

TEST(IniFile, ARewriteIsOnTheDiskBeforeItReplacesTheOldFile) {
    test::TempHome home;
    auto path = home.Path() / "Tevrin.INI";
    Spit(path, "[Zendrato]\nAlias=Old\n");
    std::vector<std::pair<std::string, std::string>> syncs;
    g_watched = path;
    g_syncs = &syncs;
    TIniFile(path).WriteString("Zendrato", "Alias", "New");
    g_syncs = nullptr;
    bool newSynced = false;
    for (const auto& [file, textThen] : syncs) {
        if (std::filesystem::path(file).filename().string().starts_with("Tevrin.INI.tmp")) {
            newSynced = true;
            EXPECT_EQ(textThen, "[Zendrato]\nAlias=Old\n") << "synced after the rename";
        }
    }
    EXPECT_TRUE(newSynced);
    EXPECT_EQ(Slurp(path), "[Zendrato]\nAlias=New\n");
}

TEST(IniFile, NamesIgnoreCaseAndOtherEntriesSurviveAWrite) {
    test::TempHome home;
    auto path = home.Path() / "Tevrin.INI";
    Spit(path, "; operator notes\n[Other]\nAlias=keep me\n\n[zendrato]\nALIAS=Old\nPath=/x\n");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Zendrato", "alias", "d"), "Old");
    EXPECT_EQ(ini.ReadString("ZENDRATO", "Missing", "d"), "d");
    ini.WriteString("Zendrato", "Alias", "New");
    ini.WriteString("Zendrato", "PoslDog", "A");
    ini.WriteString("Fresh", "Key", " spaced value ");
    EXPECT_EQ(Slurp(path), "; operator notes\n[Other]\nAlias=keep me\n\n[zendrato]\nAlias=New\n"
                           "Path=/x\nPoslDog=A\n\n[Fresh]\nKey= spaced value \n");
    EXPECT_EQ(ini.ReadString("fresh", "key", ""), " spaced value ");
    EXPECT_EQ(ini.ReadString("Other", "Alias", ""), "keep me");
}

// A lone carriage return ends a line as a line feed does: a value read never holds a line
// break, so whatever is read can be written back.
TEST(IniFile, EveryKindOfLineEndEndsALine) {
    test::TempHome home;
    auto path = home.Path() / "Tevrin.INI";
    Spit(path, "[Zendrato]\r\nAlias=Lorvath\rPath=/x\r\n\rReferent=JN\r");
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Zendrato", "Alias", ""), "Lorvath");
    EXPECT_EQ(ini.ReadString("Zendrato", "Path", ""), "/x");
    EXPECT_EQ(ini.ReadString("Zendrato", "Referent", ""), "JN");
    ini.WriteString("Zendrato", "Alias", ini.ReadString("Zendrato", "Alias", ""));
    EXPECT_EQ(Slurp(path), "[Zendrato]\nAlias=Lorvath\nPath=/x\n\nReferent=JN\n");
}

TEST(IniFile, GarbageAndUnreadableFilesGiveTheDefaults) {
    test::TempHome home;
    auto path = home.Path() / "Tevrin.INI";
    std::string garbage("\x00\xff\x13[\x01=\x02\n=\n[", 12);
    Spit(path, garbage);
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("Zendrato", "Alias", "Lorvath"), "Lorvath");
    ini.WriteString("Zendrato", "Alias", "X");
    EXPECT_EQ(ini.ReadString("Zendrato", "Alias", "Lorvath"), "X");

    TIniFile dir(home.Path()); // a directory cannot be read as a file
    EXPECT_EQ(dir.ReadString("Zendrato", "Alias", "Lorvath"), "Lorvath");
}

TEST(IniFile, SettingsOperationsLogWriteFailuresAndKeepTheOldFile) {
    test::TempHome home;
    OpenSettingsFile();
    WriteStringToIniFile("Zendrato", "Alias", "Baza");
    EXPECT_EQ(GetStringFromIniFile("Zendrato", "Alias", "Lorvath"), "Baza");
    EXPECT_EQ(GetStringFromIniFile("Zendrato", "", "Lorvath"), "");
    EXPECT_EQ(GetStringFromIniFile("", "Alias", "Lorvath"), "");
    WriteStringToIniFile("Zendrato", "", "ignored");
    EXPECT_TRUE(test::ReadExceptionLog().empty());

    WriteStringToIniFile("Zendrato", "Path", "two\nlines");
    auto rows = test::ReadExceptionLog();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].operation, "WriteStringToIniFile");
    EXPECT_EQ(rows[0].exceptObject, "EInOutError");
    EXPECT_EQ(GetStringFromIniFile("Zendrato", "Alias", "Lorvath"), "Baza");
}
