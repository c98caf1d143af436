// The home under a careless or hostile system: where it is when the environment says little
// or something relative, whose it must be and who may write it, what may stand in its files'
// places, and the files a run shares with the history and the login.

#include "app/Registry.h"
#include "app/SignOn.h"
#include "dbutil/ExceptionLog.h"
#include "dbutil/IniFile.h"
#include "localtable/SqliteTable.h"
#include "support/TestSupport.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"
#include "transfer/RunLock.h"
#include "transfer/TransferHistory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <map>
#include <optional>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

namespace zen {
namespace {

namespace fs = std::filesystem;

// Sets (or, with nullopt, removes) environment variables for a scope.
class ScopedEnv {
public:
    explicit ScopedEnv(const std::map<std::string, std::optional<std::string>>& values) {
        for (const auto& [name, value] : values) {
            const char* old = std::getenv(name.c_str());
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            Set(name, value);
        }
    }
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            Set(name, value);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    static void Set(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            setenv(name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(name.c_str());
        }
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// The refusal names the path and how to mend it, in Slovene.
void ExpectRefusal(const std::string& message, const fs::path& path, const std::string& fix) {
    EXPECT_NE(message.find(path.string()), std::string::npos) << message;
    EXPECT_NE(message.find(fix), std::string::npos) << message;
    EXPECT_TRUE(test::EnglishWords(message).empty()) << message;
}

// Another user's, as root (the tests' user in CI) alone can make it.
constexpr uid_t kOtherUser = 65534;
void Chown(const fs::path& path, uid_t user) {
    ASSERT_EQ(::lchown(path.c_str(), user, user), 0)
        << path << ": " << std::strerror(errno) << " (giving a file away needs root, as in CI)";
}

TEST(HomeSafety, WithoutHomeTheUsersOwnIsTakenAndARelativeOneIsRefused) {
    const passwd* pw = ::getpwuid(::geteuid());
    ASSERT_NE(pw, nullptr);
    const fs::path userHome = pw->pw_dir;
    for (const std::optional<std::string>& home :
         std::vector<std::optional<std::string>>{std::nullopt, std::string()}) {
        ScopedEnv env(
            {{"ZENDRATO_HOME", std::nullopt}, {"XDG_DATA_HOME", std::nullopt}, {"HOME", home}});
        EXPECT_EQ(HomePath(), userHome / ".local/share/zendrato");
    }
    for (const char* variable : {"ZENDRATO_HOME", "XDG_DATA_HOME", "HOME"}) {
        SCOPED_TRACE(variable);
        std::map<std::string, std::optional<std::string>> values = {
            {"ZENDRATO_HOME", std::nullopt}, {"XDG_DATA_HOME", std::nullopt}, {"HOME", "/"}};
        values[variable] = "podatki/zendrato";
        ScopedEnv env(values);
        const std::string m = test::FailureOf<EInOutError>([] { HomePath(); });
        ExpectRefusal(m, "podatki/zendrato", variable);
    }
}

// Each file and folder of the home as the program uses it.
struct THomeUse {
    fs::path path;
    std::function<void()> use;
};

std::vector<THomeUse> HomeFiles(const fs::path& h) {
    const fs::path table = h / "TevrinTemp" / "TVeskPrenosRac.db";
    return {
        {h / "Tevrin.INI",
         [h] { TIniFile(h / "Tevrin.INI").WriteString("Zendrato", "Referent", "JN"); }},
        {h / "HKEY_LOCAL_MACHINE.reg", [] { StoreSqlLogin("ana", "geslo"); }},
        {h / "zendrato.lock", [] { TRunLock lock; }},
        {table,
         [table] {
             if (!fs::exists(table)) {
                 AliasDirectory("TevrinTemp");
                 TSqliteTable::Create(table, "TVeskPrenosRac", {{"A", ftInteger, 0}}, {});
             }
             TSqliteTable t(table, "TVeskPrenosRac");
         }},
    };
}

// Like ssh with its own files: a home, a folder of it or a file of it that another user owns
// or that group or others may write is refused, naming it and the mend; once mended it serves.
TEST(HomeSafety, AHomeOrItsFilesOfAnotherUserOrWritableByOthersAreRefused) {
    test::TempHome home;
    const fs::path h = home.Path();
    for (mode_t mode : {0777, 0770, 0702}) {
        ASSERT_EQ(::chmod(h.c_str(), mode), 0);
        ExpectRefusal(test::FailureOf<EInOutError>([] { ZendratoHome(); }), h, "chmod 700");
    }
    ASSERT_EQ(::chmod(h.c_str(), 0755), 0); // readable by others is the owner's choice
    EXPECT_EQ(ZendratoHome(), h);
    Chown(h, kOtherUser);
    ExpectRefusal(test::FailureOf<EInOutError>([] { ZendratoHome(); }), h, "chown");
    Chown(h, ::geteuid());
    ASSERT_EQ(::chmod(h.c_str(), 0700), 0);

    const fs::path temp = AliasDirectory("TevrinTemp");
    ASSERT_EQ(::chmod(temp.c_str(), 0777), 0);
    ExpectRefusal(test::FailureOf<EInOutError>([] { AliasDirectory("TevrinTemp"); }), temp,
                  "chmod 700");
    ASSERT_EQ(::chmod(temp.c_str(), 0700), 0);

    for (const THomeUse& file : HomeFiles(h)) {
        SCOPED_TRACE(file.path);
        ASSERT_NO_THROW(file.use());
        ASSERT_EQ(::chmod(file.path.c_str(), 0666), 0);
        ExpectRefusal(test::FailureOf<Exception>(file.use), file.path, "chmod 600");
        ASSERT_EQ(::chmod(file.path.c_str(), 0600), 0);
        Chown(file.path, kOtherUser);
        ExpectRefusal(test::FailureOf<Exception>(file.use), file.path, "chown");
        Chown(file.path, ::geteuid());
        EXPECT_NO_THROW(file.use());
    }
}

// A named pipe, a device or a folder where a file of the home should be is refused at once:
// nothing waits for a writer that never comes, nothing is read from a device or written over
// it, and what was planted stays for whoever looks. The exception log, which never raises,
// loses its row instead.
TEST(HomeSafety, APipeADeviceOrAFolderInAHomeFilesPlaceIsRefusedAtOnce) {
    test::TempHome home;
    const fs::path h = home.Path();
    std::vector<THomeUse> uses = HomeFiles(h);
    uses.push_back({h / "zendrato.lock", [] { (void)RunInProgress(); }});
    const fs::path log = MapWindowsPath("c:\\TevrinError");
    AliasDirectory("TevrinTemp");
    struct TPlant {
        const char* name;
        std::function<int(const fs::path&)> make;
        fs::file_type type;
    };
    const std::vector<TPlant> plants = {
        {"pipe", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0600); }, fs::file_type::fifo},
        {"device",
         [](const fs::path& p) { return ::mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 3)); },
         fs::file_type::character},
        {"folder", [](const fs::path& p) { return ::mkdir(p.c_str(), 0700); },
         fs::file_type::directory},
    };
    for (const TPlant& plant : plants) {
        for (const THomeUse& file : uses) {
            SCOPED_TRACE(std::string(plant.name) + " at " + file.path.string());
            fs::remove_all(file.path);
            ASSERT_EQ(plant.make(file.path), 0) << std::strerror(errno);
            const test::TChildCall call = test::CallInChild([&] {
                file.use();
                return std::string("sprejeto");
            });
            ASSERT_TRUE(call.ended) << "hangs";
            ExpectRefusal(call.text, file.path, "ni navadna datoteka");
            EXPECT_EQ(fs::symlink_status(file.path).type(), plant.type);
            fs::remove_all(file.path);
        }
        // Reading the settings gives the defaults, as for any file that cannot be read.
        const fs::path ini = h / "Tevrin.INI";
        ASSERT_EQ(plant.make(ini), 0);
        const test::TChildCall read = test::CallInChild(
            [&] { return TIniFile(ini).ReadString("Zendrato", "Alias", "privzeto"); });
        ASSERT_TRUE(read.ended) << "reading the settings hangs on a " << plant.name;
        EXPECT_EQ(read.text, "privzeto");
        fs::remove_all(ini);
        ASSERT_EQ(plant.make(log), 0);
        ASSERT_TRUE(test::CallInChild([] {
                        LogException(EInOutError("poskus"), nullptr, "HomeSafety");
                        return std::string();
                    }).ended)
            << "the exception log hangs on a " << plant.name;
        EXPECT_EQ(fs::symlink_status(log).type(), plant.type);
        fs::path damaged = log;
        damaged += ".damaged";
        EXPECT_FALSE(fs::exists(damaged)) << "the " << plant.name << " was moved aside";
        fs::remove_all(log);
    }
}

// The history asks whether a run holds the home many times a second (the window on every
// listing): asking must never be what makes a starting run refuse, and it still sees a run.
TEST(HomeSafety, AskingWhetherARunHoldsTheHomeNeverMakesARunRefuse) {
    test::TempHome home;
    EXPECT_FALSE(RunInProgress());
    {
        TRunLock run;
        EXPECT_TRUE(RunInProgress());
        EXPECT_THROW(TRunLock(), ERunLocked);
    }
    EXPECT_FALSE(RunInProgress());

    std::atomic<bool> stop{false};
    std::atomic<int> probes{0};
    std::thread history([&] {
        while (!stop) {
            (void)RunInProgress();
            ++probes;
        }
    });
    int refused = 0;
    std::string why;
    for (int i = 0; i < 5000 && refused == 0; ++i) {
        try {
            TRunLock run;
        } catch (const ERunLocked& e) {
            ++refused;
            why = e.Message();
        }
    }
    stop = true;
    history.join();
    EXPECT_EQ(refused, 0) << why;
    EXPECT_GT(probes.load(), 0);

    // A lock file that cannot be made is told in Slovene, by its name.
    const fs::path nowhere = home.Path() / "ni" / "zendrato.lock";
    const std::string m = test::FailureOf<EInOutError>([&] { TRunLock run(nowhere); });
    EXPECT_NE(m.find(nowhere.string()), std::string::npos) << m;
    EXPECT_TRUE(test::EnglishWords(m.substr(0, m.rfind(": "))).empty()) << m;
}

// A file name or data source from the journal may hold anything: the text and the CSV form
// of the history replace control characters alike, so neither reaches a terminal raw nor
// splits a line.
TEST(HomeSafety, TheHistoryWritesNoControlCharacterInEitherForm) {
    TTransferRun run;
    run.Id = 7;
    run.Started = EncodeDate(2026, 12, 8) + 0.5;
    run.Status = TTransferRunStatus::Completed;
    run.DataSource = "Lorvath\x1b[31m";
    run.PoslDog = "IR";
    run.Referent = "0\a1";
    run.IssueDate = EncodeDate(2026, 12, 20);
    run.FileHash = std::string(64, 'a');
    run.FilePath = "/pot/\x1b]0;naslov\x07Prenos\r\n\x9b.dbf";
    run.Invoices = 1;
    run.FirstKey = run.LastKey = "26IR\t00042";
    auto controls = [](const std::string& text) {
        std::string found;
        for (unsigned char c : text) {
            if (c < 0x20 || c == 0x7f) {
                found += "^" + std::to_string(c);
            }
        }
        return found;
    };
    const std::string line = HistoryLine(run);
    EXPECT_EQ(controls(line), "") << line;
    EXPECT_NE(line.find(PrintableText("Prenos\r\n\x9b.dbf")), std::string::npos) << line;
    std::string csv = HistoryCsv({run});
    ASSERT_GE(csv.size(), 4u);
    EXPECT_EQ(csv.substr(csv.size() - 2), "\r\n");
    EXPECT_EQ(controls(csv), "^13^10^13^10") << csv; // two lines, each ended by CR LF
    for (const std::string& text : {run.DataSource, run.Referent, run.FilePath, run.FirstKey}) {
        EXPECT_NE(csv.find(PrintableText(text)), std::string::npos) << text;
    }
}

// The login is one change of the registry: a write that fails half-way (here a file size
// limit that the new user name fits and the new password does not) leaves the old login
// whole, not the new user with the old password, and no temporary file.
TEST(HomeSafety, ALoginIsStoredWholeOrNotAtAll) {
    test::TempHome home;
    StoreSqlLogin("stari", "staro");
    off_t limit = 0;
    {
        test::TempHome scratch;
        StoreSqlLogin("stari", "staro");
        TRegistry r;
        r.SetRootKey(TRootKey::LocalMachine);
        ASSERT_TRUE(r.OpenKey(kLoginKeyPath, false));
        r.WriteString("UserName", "novi-uporabnik");
        limit = off_t(fs::file_size(scratch.Path() / "HKEY_LOCAL_MACHINE.reg"));
    }
    const test::TChildCall call = test::CallInChild([limit] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit size{rlim_t(limit), rlim_t(limit)};
        ::setrlimit(RLIMIT_FSIZE, &size);
        StoreSqlLogin("novi-uporabnik", "novo-dolgo-geslo");
        return std::string("shranjeno");
    });
    ASSERT_TRUE(call.ended);
    EXPECT_NE(call.text, "shranjeno");
    std::string user, password;
    ASSERT_TRUE(ReadSqlLogin(user, password));
    EXPECT_EQ(user + "/" + password, "stari/staro");
    EXPECT_EQ(std::distance(fs::directory_iterator(home.Path()), {}), 1) << "a stray file";

    StoreSqlLogin("novi-uporabnik", "novo-dolgo-geslo");
    ASSERT_TRUE(ReadSqlLogin(user, password));
    EXPECT_EQ(user + "/" + password, "novi-uporabnik/novo-dolgo-geslo");
}

} // namespace
} // namespace zen
