// Sign-on: the registry login with its defaults, the unscrambling of the stored password,
// the installation's constants, `--set-login`, and the connection opened with the login.

#include "app/SignOn.h"
#include "app/Registry.h"
#include "odbc/OCL.h"
#include "support/OdbcTestEnv.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <pty.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <tuple>
#include <unistd.h>

namespace zen {
namespace {

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) {
        s += static_cast<char>(v);
    }
    return s;
}

void PutLogin(const std::string& name, const std::string& value) {
    TRegistry r;
    r.SetRootKey(TRootKey::LocalMachine);
    ASSERT_TRUE(r.OpenKey(kLoginKeyPath, true));
    r.WriteString(name, value);
}

std::string HexOf(const std::string& bytes) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

TEST(Decrypt, KeyAdvancesWithTheScrambledByteModulo65536) {
    TScrambleKeys k;
    k.mul = 3;
    k.add = 5;
    // 'A' ^ 0x12 = 0x53; K = (0x41 + 0x1234) * 3 + 5 = 0x3764; 'B' ^ 0x37 = 0x75.
    EXPECT_EQ(Decrypt("AB", 0x1234, k), Bytes({0x53, 0x75}));
    k.mul = 0xFFFF;
    k.add = 0xFFFF;
    // K = (0xFF + 0xFFFF) * 0xFFFF + 0xFFFF mod 65536 = 0xFF01.
    EXPECT_EQ(Decrypt(Bytes({0xFF, 0x00, 0x00}), 0xFFFF, k), Bytes({0x00, 0xFF, 0x00}));
    EXPECT_EQ(Decrypt("", 7, k), "");
}

TEST(Decrypt, LongTextsRoundTripWhole) {
    test::TempHome home;
    std::string plain;
    for (int i = 0; i < 300; ++i) {
        plain += static_cast<char>((i * 37 + 11) & 0xFF);
    }
    TScrambleKeys k = ScrambleKeys();
    std::string scrambled = Encrypt(plain, k.key, k);
    ASSERT_EQ(scrambled.size(), 300u);
    EXPECT_NE(scrambled, plain);
    EXPECT_EQ(Decrypt(scrambled, k.key), plain);
    EXPECT_EQ(Decrypt(scrambled.substr(0, 256), k.key), plain.substr(0, 256));
}

TEST(DecryptHex, OddLengthsRoundTheHalfToEven) {
    test::TempHome home;
    TScrambleKeys k = ScrambleKeys();
    auto plainOf = [&](const std::string& bytes) { return Decrypt(bytes, k.key, k); };
    EXPECT_EQ(DecryptHex("", k.key), "");
    EXPECT_EQ(DecryptHex("A", k.key), "") << "k = 0 (even): nothing";
    EXPECT_EQ(DecryptHex("AB1", k.key), plainOf(Bytes({0xAB, 0x01}))) << "k = 1 (odd): k + 1";
    EXPECT_EQ(DecryptHex("ABCDE", k.key), plainOf(Bytes({0xAB, 0xCD}))) << "k = 2 (even): k";
    EXPECT_EQ(DecryptHex("abcdef7", k.key), plainOf(Bytes({0xAB, 0xCD, 0xEF, 0x07})));
    EXPECT_EQ(DecryptHex("aBcD", k.key), plainOf(Bytes({0xAB, 0xCD})));
    for (const char* bad : {"G1", "0x12", "+1", "-1", "1 ", "AB1Z"}) {
        EXPECT_THROW(DecryptHex(bad, k.key), EConvertError) << bad;
    }
}

TEST(ScrambleKeys, ReadFromTheInstallationWithDefaults) {
    test::TempHome home;
    TScrambleKeys defaults;
    EXPECT_EQ(defaults.key, 47213);
    EXPECT_EQ(defaults.mul, 29867);
    EXPECT_EQ(defaults.add, 13849);
    TRegistry r;
    r.SetRootKey(TRootKey::LocalMachine);
    ASSERT_TRUE(r.OpenKey(kScrambleKeyPath, true));
    r.WriteString("DecryptKey", "1");
    r.WriteString("DecryptMul", "65536"); // out of range: default
    r.WriteString("DecryptAdd", "12x");   // not a number: default
    TScrambleKeys k = ScrambleKeys();
    EXPECT_EQ(k.key, 1);
    EXPECT_EQ(k.mul, defaults.mul);
    EXPECT_EQ(k.add, defaults.add);
    r.WriteString("DecryptMul", "65535");
    EXPECT_EQ(ScrambleKeys().mul, 65535);
}

TEST(ReadSqlLogin, MissingKeysAreCreatedAndGiveSaWithEmptyPassword) {
    test::TempHome home;
    std::string user = "x", password = "y";
    EXPECT_TRUE(ReadSqlLogin(user, password));
    EXPECT_EQ(user, "sa");
    EXPECT_EQ(password, "");
    TRegistry r;
    r.SetRootKey(TRootKey::LocalMachine);
    EXPECT_TRUE(r.KeyExists("SOFTWARE\\Orvanel\\SQL"));
    EXPECT_FALSE(r.KeyExists("SOFTWARE\\Orvanel\\SQL\\SOFTWARE")) << "no keys below the login";

    // A second read starts from the root again.
    EXPECT_TRUE(ReadSqlLogin(user, password));
    EXPECT_FALSE(r.KeyExists("SOFTWARE\\Orvanel\\SQL\\SOFTWARE"));
}

TEST(ReadSqlLogin, StoredLoginIsUnscrambled) {
    test::TempHome home;
    PutLogin("UserName", "janez");
    PutLogin("Password", "");
    std::string user, password;
    EXPECT_TRUE(ReadSqlLogin(user, password));
    EXPECT_EQ(user, "janez");
    EXPECT_EQ(password, "");

    TScrambleKeys k = ScrambleKeys();
    PutLogin("Password", HexOf(Encrypt("Skrivno-geslo", k.key, k)));
    EXPECT_TRUE(ReadSqlLogin(user, password));
    EXPECT_EQ(password, "Skrivno-geslo");
}

TEST(ReadSqlLogin, NonHexPasswordKeepsTheUserNameAndGivesAnEmptyPassword) {
    test::TempHome home;
    PutLogin("UserName", "janez");
    PutLogin("Password", "12G4");
    std::string user, password = "stale";
    EXPECT_FALSE(ReadSqlLogin(user, password));
    EXPECT_EQ(user, "janez");
    EXPECT_EQ(password, "");
}

TEST(SetLogin, StoresALoginThatReadsBack) {
    test::TempHome home;
    std::string longPassword(300, 'x');
    for (size_t i = 0; i < longPassword.size(); ++i) {
        longPassword[i] = static_cast<char>('!' + i % 90);
    }
    char prog[] = "zendrato", flag[] = "--set-login", name[] = "janez";
    char* argv[] = {prog, flag, name, nullptr};
    ASSERT_TRUE(IsSetLoginCommand(3, argv));
    std::istringstream in(longPassword + "\r\n");
    std::ostringstream err;
    EXPECT_EQ(RunSetLogin(3, argv, in, err), 0) << err.str();
    std::string user, password;
    EXPECT_TRUE(ReadSqlLogin(user, password));
    EXPECT_EQ(user, "janez");
    EXPECT_EQ(password, longPassword);

    char* shortArgv[] = {prog, flag, nullptr};
    std::istringstream none;
    EXPECT_EQ(RunSetLogin(2, shortArgv, none, err), 2);
}

// The scrambling constants are public defaults, so the file is the password's only guard.
TEST(SetLogin, TheStoredLoginIsReadableByItsOwnerOnly) {
    test::TempHome base;
    mode_t oldMask = umask(022);
    auto home = base.Path() / "nova" / "zendrato";
    setenv("ZENDRATO_HOME", home.c_str(), 1); // restored with `base`
    auto mode = [](const std::filesystem::path& p) {
        struct stat st {};
        EXPECT_EQ(stat(p.c_str(), &st), 0) << p;
        return st.st_mode & 0777;
    };
    StoreSqlLogin("janez", "skrivno");
    auto file = home / "HKEY_LOCAL_MACHINE.reg";
    EXPECT_EQ(mode(home), 0700u);
    EXPECT_EQ(mode(file), 0600u);

    // A home that exists keeps its owner's choice; a file that others could read is
    // tightened as soon as it is read.
    chmod(home.c_str(), 0750);
    chmod(file.c_str(), 0644);
    std::string user, password;
    EXPECT_TRUE(ReadSqlLogin(user, password));
    EXPECT_EQ(password, "skrivno");
    EXPECT_EQ(mode(home), 0750u);
    EXPECT_EQ(mode(file), 0600u);
    umask(oldMask);
}

TEST(SetLogin, TheProgramReadsThePasswordFromStandardInput) {
    test::TempHome home;
    std::string command = "printf 'Geslo z presledkom\\n' | " + std::string(ZENDRATO_BIN) +
                          " --set-login uporabnik 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::string user, password;
    EXPECT_TRUE(ReadSqlLogin(user, password));
    EXPECT_EQ(user, "uporabnik");
    EXPECT_EQ(password, "Geslo z presledkom");

    // Its help says plainly what the scrambling is worth.
    std::string help = (home.Path() / "help").string();
    ASSERT_EQ(std::system((std::string(ZENDRATO_BIN) + " --set-login --help >" + help).c_str()), 0);
    EXPECT_NE(test::ReadFileBytes(help).find("Zakodiranje gesla ni šifriranje"), std::string::npos);
}

// An input that gives no password stores nothing: the program says so, ends with status 2
// and leaves the stored login as it was.
TEST(SetLogin, AnEmptyOrUnreadablePasswordIsRefusedAndTheStoredLoginStays) {
    test::TempHome home;
    StoreSqlLogin("janez", "staro-geslo");
    const auto file = home.Path() / "HKEY_LOCAL_MACHINE.reg";
    const std::string before = test::ReadFileBytes(file);
    ASSERT_FALSE(before.empty());
    const std::string unreadable = "Gesla ni mogoče prebrati s standardnega vhoda";
    const std::string empty = "Geslo je prazno";
    const std::string err = (home.Path() / "err").string();
    for (auto [feed, redirect, said] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"printf '' | ", "", unreadable},
             {"", " </dev/null", unreadable},
             {"", " <&-", unreadable},
             {"printf '\\r\\n' | ", "", empty}}) {
        std::string command = feed + ZENDRATO_BIN + " --set-login novi" + redirect + " 2>" + err;
        int status = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << command;
        EXPECT_EQ(test::ReadFileBytes(err), said + "; prijava za novi ni shranjena.\n") << command;
        EXPECT_EQ(test::ReadFileBytes(file), before) << command;
    }
}

// ^C or a termination at the password prompt ends the program as the signal does, with the
// terminal's echo back on and nothing stored.
TEST(SetLogin, ASignalAtThePromptGivesTheTerminalItsEchoBack) {
    test::TempHome home;
    StoreSqlLogin("janez", "staro-geslo");
    const auto file = home.Path() / "HKEY_LOCAL_MACHINE.reg";
    const std::string before = test::ReadFileBytes(file);
    for (int sig : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(strsignal(sig));
        int master = -1, slave = -1;
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // The terminal as the program's controlling terminal, as in a shell.
            setsid();
            ioctl(slave, TIOCSCTTY, 0);
            for (int fd = 0; fd < 3; ++fd) {
                dup2(slave, fd);
            }
            close(master);
            close(slave);
            execl(ZENDRATO_BIN, ZENDRATO_BIN, "--set-login", "novi", static_cast<char*>(nullptr));
            _exit(127);
        }
        std::string seen;
        pollfd p{master, POLLIN, 0};
        while (seen.find("Geslo za novi: ") == std::string::npos && poll(&p, 1, 10000) == 1) {
            char buffer[256];
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            seen.append(buffer, static_cast<size_t>(n));
        }
        termios t{};
        ASSERT_EQ(tcgetattr(slave, &t), 0);
        EXPECT_FALSE(t.c_lflag & ECHO) << "at the prompt: " << seen;
        if (sig == SIGINT) {
            EXPECT_EQ(write(master, "\x03", 1), 1);
        } else {
            kill(pid, sig);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        ASSERT_EQ(tcgetattr(slave, &t), 0);
        EXPECT_TRUE(t.c_lflag & ECHO);
        close(master);
        close(slave);
    }
    EXPECT_EQ(test::ReadFileBytes(file), before);
}

class SignOnTest : public ::testing::TestWithParam<test::TestDriver> {
protected:
    void SetUp() override { ZEN_REQUIRE_DRIVER(GetParam()); }
    test::TempHome home;
};

TEST_P(SignOnTest, EachRunClosesAndReopensWithTheStoredLogin) {
    test::DsnInfo dsn = test::OdbcTestEnv::Get().Dsn(GetParam());
    if (!dsn.user.empty()) {
        StoreSqlLogin(dsn.user, dsn.password);
    }
    THdbc db;
    db.SetDriver("SQL Server"); // as the main window has it
    int connects = 0, disconnects = 0;
    db.AfterConnect = [&](TObject*) { ++connects; };
    db.AfterDisconnect = [&](TObject*) { ++disconnects; };

    SignOn(db, dsn.dsn);
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(db.DataSource(), dsn.dsn);
    EXPECT_EQ(db.UserName(), dsn.user.empty() ? "sa" : dsn.user);
    EXPECT_EQ(db.Password(), dsn.password);

    // A changed data source takes effect at the next run.
    EXPECT_THROW(SignOn(db, "NoSuchSource"), EDatabaseError);
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.DataSource(), "NoSuchSource");
    SignOn(db, dsn.dsn);
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(connects, 2);
    EXPECT_EQ(disconnects, 1);
}

// A name that is no data source is refused before signing on, in Slovene: which source and
// which there are. A name past the driver manager's limit is refused even when it is defined.
TEST_P(SignOnTest, AMissingOrOverlongDataSourceIsNamedWithTheExistingOnes) {
    test::DsnInfo dsn = test::OdbcTestEnv::Get().Dsn(GetParam());
    const std::string overlong = std::string(40, 'V') + dsn.label;
    test::OdbcTestEnv::Get().AddDataSource(GetParam(), overlong);
    THdbc db;
    db.SetDriver("SQL Server");
    for (const std::string& name : {std::string("NiTakegaVira"), overlong}) {
        SCOPED_TRACE(name);
        try {
            SignOn(db, name);
            ADD_FAILURE() << "signed on";
        } catch (const EDatabaseError& e) {
            const std::string text = e.Message();
            const std::string head = "Vir podatkov »" + name + "« " +
                                     (name == overlong ? "ni uporaben: ime je predolgo (največ 32 "
                                                         "znakov, šumnik šteje za dva)."
                                                       : "ne obstaja.");
            EXPECT_EQ(text.substr(0, head.size()), head) << text;
            for (const char* known : {"ZenSqlite", "ZenPostgres"}) {
                EXPECT_NE(text.find(known), std::string::npos) << text;
            }
            EXPECT_NE(text.find(" Obstoječi viri: "), std::string::npos) << text;
            EXPECT_EQ(text.find("Vzrok"), std::string::npos) << "no sign-on tried: " << text;
        }
        EXPECT_FALSE(db.Connected());
    }
}

INSTANTIATE_TEST_SUITE_P(BothDrivers, SignOnTest, ::testing::ValuesIn(test::OdbcTestEnv::Drivers()),
                         [](const auto& info) { return test::OdbcTestEnv::Label(info.param); });

TEST(SignOnPostgres, AStoredWrongPasswordIsRefusedByTheServer) {
    ZEN_REQUIRE_DRIVER(test::TestDriver::PostgreSQL);
    test::TempHome home;
    test::DsnInfo dsn = test::OdbcTestEnv::Get().Dsn(test::TestDriver::PostgreSQL);
    StoreSqlLogin(dsn.user, dsn.password + "x");
    THdbc db;
    // The server's own text: the data source is there.
    EXPECT_NE(test::FailureOf<EODBC>([&] { SignOn(db, dsn.dsn); }).find("password"),
              std::string::npos);
    EXPECT_FALSE(db.Connected());
}

// A stored login that holds the connection string's own characters signs on as it stands,
// beside the driver name the main window sets: nothing cut, no keyword added.
TEST(SignOnPostgres, AStoredLoginWithSeparatorsAndBracesSignsOnWhole) {
    ZEN_REQUIRE_DRIVER(test::TestDriver::PostgreSQL);
    test::TempHome home;
    auto& env = test::OdbcTestEnv::Get();
    const std::string user = "prijava;Database=postgres", password = "Ge;slo{=}42}";
    env.Exec(env.PostgresAdmin(),
             {"DROP ROLE IF EXISTS \"" + user + "\"",
              "CREATE ROLE \"" + user + "\" LOGIN PASSWORD '" + password + "'"});
    StoreSqlLogin(user, password);
    THdbc db;
    db.SetDriver("SQL Server");
    SignOn(db, env.Dsn(test::TestDriver::PostgreSQL).dsn);
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(db.InfoString(SQL_USER_NAME), user);
    EXPECT_EQ(db.InfoString(SQL_DATABASE_NAME), "tevrin");
}

} // namespace
} // namespace zen
