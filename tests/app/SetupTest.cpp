// An office sets Zendrato up alone: its data source written from the command line
// (`--add-dsn`) or the window ("Nov vir podatkov…") and then used by a transfer, on both
// drivers, a wrong one refused in Slovene; and the demo (`--demo`) made by the program alone
// in a clean home, then transferred into and undone. The programs run under C.UTF-8, as on
// a fresh install.

#include "ModalCloser.h"
#include "WindowTest.h"
#include "app/NewDataSourceDialog.h"
#include "app/SignOn.h"
#include "localtable/DbfWriter.h"
#include "support/OdbcTestEnv.h"
#include "support/SignedOnSchema.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <sqlite3.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::TestDriver;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

const std::vector<std::string> kData = test::SonceRows();

std::string OdbcIni() {
    return test::ReadFileBytes(std::getenv("ODBCINI"));
}

// The lines of the data source's section in the user's odbc.ini, or "" when it has none.
std::string Section(const std::string& name) {
    const std::string ini = OdbcIni();
    const size_t at = ini.find("[" + name + "]\n");
    if (at == std::string::npos) {
        return "";
    }
    const size_t end = ini.find("\n[", at + 1);
    return ini.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// A port on which nothing listens: one the system just gave and took back.
int UnusedPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
    ::close(s);
    return ntohs(a.sin_port);
}

class Setup : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        dsn = test::FreshSignedOnSchema(GetParam());
        OdbcTestEnv::Get().Exec(dsn, kData);
        file = home.Path() / "Prenos.dbf";
        WriteDbfTable(file, TransferFileColumns(),
                      {{"ZAVOD SONCE", "ADSL", "2.000", "10.0000", "1001"}});
    }
    bool Postgres() const { return GetParam() == TestDriver::PostgreSQL; }
    // Where the test's own database is, as --add-dsn takes it.
    std::vector<std::string> Where() {
        if (Postgres()) {
            return {"--kind",     "postgresql",
                    "--server",   "127.0.0.1",
                    "--port",     std::to_string(OdbcTestEnv::Get().PostgresPort()),
                    "--database", Scalar("SELECT current_database()")};
        }
        return {"--kind", "sqlite", "--database",
                (OdbcTestEnv::Get().Dir() / "tevrin.db").string()};
    }
    test::TProgramRun Run(std::vector<std::string> args) {
        return test::RunProgram(ZENDRATO_BIN, args,
                                test::NoDisplayEnvironment("C.UTF-8", home.Path()), home.Path());
    }
    test::TProgramRun AddDsn(const std::string& source, std::vector<std::string> more) {
        more.insert(more.begin(), {"--add-dsn", source});
        return Run(more);
    }
    std::string Scalar(const std::string& query) { return OdbcTestEnv::Get().Scalar(dsn, query); }

    test::TempHome home;
    test::DsnInfo dsn;
    std::filesystem::path file;
    // The data source each test writes: the tests share the user's odbc.ini.
    const std::string name =
        "Zen" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name(), 12) +
        std::to_string(int(GetParam()));
};

TEST_P(Setup, AddDsnWritesASourceThatATransferThenUses) {
    test::TProgramRun r = AddDsn(name, Where());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Vir podatkov »" + name + "« je zapisan.\nPovezava deluje.\n");
    // With the options the program needs of its driver, where the driver manager reads them.
    const std::string section = Section(name);
    for (const char* option :
         Postgres() ? std::vector<const char*>{"Driver=PostgreSQL ANSI", "UseDeclareFetch=1",
                                               "UpdatableCursors=1"}
                    : std::vector<const char*>{"Driver=SQLite3", "StepAPI=1", "NoCreat=1"}) {
        EXPECT_NE(section.find(option), std::string::npos) << option << " in\n" << section;
    }

    r = Run({"--transfer", "--date", "20. 12. 2026", "--event", "12", "--clerk", "JN", "--dsn",
             name, "--file", file.string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet"), "1");

    // The same name again only when asked to replace it.
    r = AddDsn(name, Where());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("»" + name + "« že obstaja; z --force"), std::string::npos) << r.err;
    std::vector<std::string> again = Where();
    again.push_back("--force");
    EXPECT_EQ(AddDsn(name, again).status, 0);
    EXPECT_EQ(Section(name), section) << "replaced whole, no key doubled";
}

// What cannot work is said in Slovene; what cannot even be written (a name or value that
// would break the file, a SQLite file that is not there) is not written at all.
TEST_P(Setup, AWrongSourceIsRefusedInSlovene) {
    if (Postgres()) {
        const std::string database = Scalar("SELECT current_database()");
        test::TProgramRun r =
            AddDsn(name, {"--kind", "postgresql", "--server", "127.0.0.1", "--port",
                          std::to_string(UnusedPort()), "--database", database});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("Povezava ne deluje: strežnik »127.0.0.1:"), std::string::npos)
            << r.err;
        EXPECT_NE(r.err.find("ni dosegljiv ali ne sprejema povezav"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("\nVzrok: "), std::string::npos) << r.err;
        EXPECT_NE(Section(name), "") << "written: the server may come up later";

        r = AddDsn(name, {"--kind", "postgresql", "--server", "127.0.0.1", "--port",
                          std::to_string(OdbcTestEnv::Get().PostgresPort()), "--database",
                          "nitakebaze", "--force"});
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("baze »nitakebaze« na strežniku »127.0.0.1« ni"), std::string::npos)
            << r.err;

        StoreSqlLogin(dsn.user, "napačno");
        r = AddDsn(name, [&] {
            auto w = Where();
            w.push_back("--force");
            return w;
        }());
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("ni sprejela prijave"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("zendrato --set-login"), std::string::npos) << r.err;
    } else {
        const auto missing = home.Path() / "ni" / "tevrin.db";
        test::TProgramRun r = AddDsn(name, {"--kind", "sqlite", "--database", missing.string()});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("ne obstaja"), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(missing)) << "no empty database made in its place";
        r = AddDsn(name, {"--kind", "sqlite", "--database", file.string()});
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("ni baza SQLite"), std::string::npos) << r.err;
        EXPECT_EQ(Section(name), "");
    }
    const std::string before = OdbcIni();
    for (const auto& [source, database] : std::vector<std::pair<std::string, std::string>>{
             {"Zen]Vir", "tevrin"},
             {"Zen=Vir", "tevrin"},
             {"ZenVir\n[ZenSqlite", "tevrin"},
             {std::string(33, 'V'), "tevrin"},
             {"ZenVir", "tevrin\nDriver=/tmp/zlo.so"}}) {
        test::TProgramRun r = AddDsn(
            source, {"--kind", "postgresql", "--server", "127.0.0.1", "--database", database});
        EXPECT_EQ(r.status, 2) << source;
        EXPECT_EQ(test::EnglishWords(r.err), std::vector<std::string>()) << r.err;
    }
    EXPECT_EQ(OdbcIni(), before);
}

// The window's "Nov vir podatkov…": written and tried with the sign-on it is given; a source
// that does not work keeps the dialog open with the reason.
TEST_P(Setup, TheWindowsDialogWritesAndTriesTheSource) {
    test::TestApp app;
    const std::vector<std::string> where = Where();
    auto fill = [&](TNewDataSourceDialog& d, const std::string& port) {
        d.fIme->setText(QString::fromStdString(name));
        d.fVrsta->setCurrentIndex(Postgres() ? 0 : 1);
        d.fBaza->setText(QString::fromStdString(where.back()));
        if (Postgres()) {
            d.fStreznik->setText("127.0.0.1");
            d.fVrata->setText(QString::fromStdString(port));
        }
    };
    {
        TNewDataSourceDialog d(SignOn);
        fill(d, std::to_string(OdbcTestEnv::Get().PostgresPort()));
        test::ModalCloser closer;
        d.WriteAndTry();
        EXPECT_EQ(d.result(), QDialog::Accepted) << d.lIzid->text().toStdString();
        EXPECT_EQ(d.Written(), name);
        ASSERT_EQ(closer.texts.size(), 1);
        EXPECT_EQ(closer.texts[0].toStdString(),
                  "Vir podatkov »" + name + "« je zapisan. Povezava deluje.");
    }
    test::TProgramRun r = Run({"--transfer", "--date", "2026-12-20", "--event", "12", "--clerk",
                               "JN", "--dsn", name, "--file", file.string()});
    EXPECT_EQ(r.status, 0) << r.err;

    // A server out of reach, a file that is not there: told in the dialog, which stays.
    TNewDataSourceDialog d(SignOn);
    fill(d, Postgres() ? std::to_string(UnusedPort()) : "");
    d.fIme->setText(QString::fromStdString(name + "B"));
    if (!Postgres()) {
        d.fBaza->setText(QString::fromStdString((home.Path() / "ni.db").string()));
    }
    test::ModalCloser closer;
    d.WriteAndTry();
    EXPECT_TRUE(closer.texts.isEmpty()) << closer.texts.join("|").toStdString();
    EXPECT_NE(d.result(), QDialog::Accepted);
    const std::string said = d.lIzid->text().toStdString();
    EXPECT_NE(said.find(Postgres() ? "ni dosegljiv" : "ne obstaja"), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Drivers, Setup, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

struct TSqliteClose {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};

std::string DemoScalar(const std::filesystem::path& db, const std::string& query) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(db.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, TSqliteClose> owned(raw);
    sqlite3_stmt* s = nullptr;
    std::string value = "?";
    if (sqlite3_prepare_v2(raw, query.c_str(), -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW) {
        value = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
    }
    sqlite3_finalize(s);
    return value;
}

// From a clean home, with no sqlite3 shell and no python: the demo, a transfer into it that
// writes its invoices and logs its three bad records on purpose, and the undo of that run.
TEST(Demo, MadeByTheProgramThenTransferredAndUndone) {
    test::TempHome home;
    auto run = [&](std::vector<std::string> args) {
        auto env = test::NoDisplayEnvironment("C.UTF-8", home.Path());
        env["PATH"] = "/nonexistent"; // no sqlite3 shell, no python
        return test::RunProgram(ZENDRATO_BIN, args, env, home.Path());
    };
    test::TProgramRun r = run({"--demo"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto demo = home.Path() / "demo";
    EXPECT_NE(r.out.find("vir podatkov »ZendratoDemo«"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("--dsn ZendratoDemo --file " + (demo / "Prenos.dbf").string()),
              std::string::npos)
        << r.out;
    EXPECT_NE(Section("ZendratoDemo").find("Database=" + (demo / "tevrin.db").string()),
              std::string::npos);
    const std::string issued = DemoScalar(demo / "tevrin.db", "SELECT COUNT(*) FROM Promet");
    EXPECT_GT(std::stoi(issued), 0) << "the documents issued earlier this year";
    EXPECT_EQ(DemoScalar(demo / "tevrin.db", "SELECT COUNT(*) FROM Subjekt WHERE Naziv2 = "
                                             "'KOVAČIČ JANEZ'"),
              "1");

    for (const char* fileName : {"Prenos.dbf", "PrenosBrezCen.dbf"}) {
        r = run({"--transfer", "--date", "20. 12. 2026", "--event", "IR", "--clerk", "01", "--dsn",
                 "ZendratoDemo", "--file", (demo / fileName).string(), "--check"});
        EXPECT_EQ(r.status, 1) << fileName << r.err;
        for (const char* failed : {"2611-00101\t", "2611-00109\t", "2611-00114\t"}) {
            EXPECT_NE(r.out.find(failed), std::string::npos) << fileName << r.out;
        }
    }
    r = run({"--transfer", "--date", "20. 12. 2026", "--event", "IR", "--clerk", "01", "--dsn",
             "ZendratoDemo", "--file", (demo / "Prenos.dbf").string()});
    EXPECT_EQ(r.status, 1) << r.err;
    const int written = std::stoi(DemoScalar(demo / "tevrin.db", "SELECT COUNT(*) FROM Promet")) -
                        std::stoi(issued);
    EXPECT_EQ(written, 8) << "one invoice a payer that passed";

    r = run({"--history", "--dsn", "ZendratoDemo", "--csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    const size_t row = r.out.find('\n', r.out.find("Stanje")) + 1; // under the header
    const std::string runId = std::to_string(std::stoi(r.out.substr(row)));
    r = run({"--undo", runId, "--dsn", "ZendratoDemo"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(DemoScalar(demo / "tevrin.db", "SELECT COUNT(*) FROM Promet"), issued);
}

// "Demo…" in the window makes the same demo, after asking, and fills the inputs with its own.
TEST(Demo, TheWindowsEntryMakesItAndFillsTheInputs) {
    test::TestApp app;
    test::TempHome home;
    TMain w;
    w.show();
    test::ModalCloser closer;
    closer.yesTo = {"DemoQuestion"};
    w.bDemo->click();
    const auto demo = home.Path() / "demo";
    EXPECT_EQ(w.fAlias->text(), "ZendratoDemo");
    EXPECT_EQ(w.fPoslDog->text(), "IR");
    EXPECT_EQ(w.fReferent->text(), "01");
    EXPECT_EQ(w.fPath->text().toStdString(), (demo / "Prenos.dbf").string());
    ASSERT_EQ(closer.texts.size(), 1);
    EXPECT_TRUE(closer.texts[0].startsWith(QString::fromUtf8("Demo je pripravljen")))
        << closer.texts[0].toStdString();
    EXPECT_EQ(DemoScalar(demo / "tevrin.db", "SELECT COUNT(*) FROM PoslDog WHERE PoslDog = 'IR'"),
              "1");
}

} // namespace
} // namespace zen
