// The files the program writes, against what others and the umask can do to them: a link
// planted where a temporary file would go, a umask that opens everything to everyone or
// closes it to its owner, and texts that would break the lines a job reads.

#include "app/Registry.h"
#include "dbutil/IniFile.h"
#include "report/NapakaCsv.h"
#include "report/NapakaPdf.h"
#include "support/TestSupport.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace zen {
namespace {

mode_t ModeOf(const std::filesystem::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// Sets the umask for a scope.
class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t previous_;
};

// Every writer puts its file in place through a temporary file beside it. A link planted
// in the file's folder at any name it could foresee ("<file>.tmp", "<file>.tmp<pid>") waits
// for the write: the other user's file it points to must stay untouched, and no file may
// come to be where a dangling link points. Under a umask that takes even the owner's bits,
// the home's files are still their owner's to read and write, and a report has the umask's
// mode.
TEST(FileSafety, NoWriterFollowsAPlantedLinkAndEachFileGetsItsMode) {
    static int argc = 1;
    static char arg0[] = "app_files_tests";
    static char* argv[] = {arg0, nullptr};
    static auto* app = new QApplication(argc, argv); // the PDF writer's fonts
    (void)app;
    test::TempHome home;
    const auto victim = home.Path() / "tuja datoteka";
    std::ofstream(victim) << "ostane";
    const auto elsewhere =
        home.Path().parent_path() / (home.Path().filename().string() + "-drugam");
    std::filesystem::create_directory(elsewhere);
    const std::vector<TNapakaRow> rows = {{"1", "Artikel (A) ne obstaja !"}};

    const std::vector<std::pair<std::filesystem::path, std::function<void()>>> writers = {
        {elsewhere / "napake.csv", [&] { WriteNapakaCsv(rows, elsewhere / "napake.csv"); }},
        {elsewhere / "napake.pdf", [&] { WriteNapakaPdf(rows, elsewhere / "napake.pdf"); }},
        {home.Path() / "Tevrin.INI",
         [&] { TIniFile(home.Path() / "Tevrin.INI").WriteString("Zendrato", "Referent", "JN"); }},
        {home.Path() / "HKEY_LOCAL_MACHINE.reg",
         [] {
             TRegistry registry;
             registry.SetRootKey(TRootKey::LocalMachine);
             ASSERT_TRUE(registry.OpenKey("\\SOFTWARE\\Zendrato\\Test", true));
             registry.WriteString("Vrednost", "1");
         }},
    };
    ScopedUmask mask(0277);
    for (const auto& [file, write] : writers) {
        std::vector<std::filesystem::path> planted;
        for (const std::string& suffix :
             {std::string(".tmp"), ".tmp" + std::to_string(::getpid())}) {
            auto link = file;
            link += suffix;
            std::filesystem::create_symlink(victim, link);
            planted.push_back(link);
        }
        auto dangling = file;
        dangling += ".tmp0";
        std::filesystem::create_symlink(home.Path() / "nova", dangling);
        planted.push_back(dangling);

        write();
        EXPECT_EQ(test::ReadFileBytes(victim), "ostane") << file;
        EXPECT_FALSE(std::filesystem::exists(home.Path() / "nova")) << file;
        EXPECT_TRUE(std::filesystem::is_regular_file(std::filesystem::symlink_status(file)))
            << file;
        EXPECT_GT(std::filesystem::file_size(file), 0u) << file;
        EXPECT_EQ(ModeOf(file), file.parent_path() == elsewhere ? 0400u : 0600u) << file;
        for (const auto& link : planted) {
            EXPECT_TRUE(std::filesystem::is_symlink(link)) << link;
            std::filesystem::remove(link);
        }
    }

    // The home and the folders in it, made fresh under that umask, stay usable and private.
    setenv("ZENDRATO_HOME", (home.Path() / "nov" / "dom").c_str(), 1);
    const auto fresh = ZendratoHome();
    const auto temp = AliasDirectory("TevrinTemp");
    const auto log = MapWindowsPath("c:\\Dnevnik\\TevrinError").parent_path();
    setenv("ZENDRATO_HOME", home.Path().c_str(), 1);
    for (const auto& dir : {fresh, temp, log, log.parent_path()}) {
        EXPECT_EQ(ModeOf(dir), 0700u) << dir;
    }
    std::filesystem::remove_all(elsewhere);
}

// The rows a job reads are split at line breaks and their fields at tabs; a terminal obeys
// escape sequences. Every such character, and every byte that is no UTF-8, is shown as
// U+FFFD; letters of any script stay.
TEST(FileSafety, PrintableTextKeepsATextOnItsLineAndOutOfTheTerminal) {
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(PrintableText("Čebelarstvo Žužek, 東京 €"), "Čebelarstvo Žužek, 東京 €");
    EXPECT_EQ(PrintableText("a\nb\tc\rd\x1b[31me\x7f"),
              "a" + bad + "b" + bad + "c" + bad + "d" + bad + "[31me" + bad);
    // C1 (NEL, CSI), the line and paragraph separators.
    EXPECT_EQ(PrintableText("x\xC2\x85y\xC2\x9B"
                            "1m\xE2\x80\xA8z\xE2\x80\xA9"),
              "x" + bad + "y" + bad + "1m" + bad + "z" + bad);
    // A raw C1 byte, a stray continuation, an overlong slash, a cut-off letter.
    EXPECT_EQ(PrintableText("\x9B"
                            "1m\x80\xC0\xAF\xC5"),
              bad + "1m" + bad + bad + bad + bad);
}

} // namespace
} // namespace zen
