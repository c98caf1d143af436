// Signing on from the window: a login the database refuses, or none stored, is asked for in
// "Prijava v bazo Tevrin" and the run goes on; it is stored only when the operator asks;
// Cancel ends the run. A driver that needs no login (SQLite) never asks. The batch mode
// never asks and says how to store a login.

#include "ModalCloser.h"
#include "TransferFile.h"
#include "WindowTest.h"
#include "app/DateEdit.h"
#include "app/FMain.h"
#include "app/LoginDialog.h"
#include "app/Registry.h"
#include "app/SignOn.h"
#include "app/ZenApplication.h"
#include "odbc/Hdbc.h"
#include "support/OdbcTestEnv.h"
#include "support/TestSupport.h"
#include "toolkit/DateTime.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <functional>

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::TestDriver;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

// Answers the login dialog when it opens, as an operator would; counts how often it opened.
class LoginAnswerer : public QObject {
public:
    explicit LoginAnswerer(std::function<void(TLoginDialog&)> answer) : answer_(std::move(answer)) {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* d = qobject_cast<TLoginDialog*>(QApplication::activeModalWidget())) {
                ++asked;
                title = d->windowTitle();
                answer_(*d);
            }
        });
        timer_.start(20);
    }
    int asked = 0;
    QString title;

private:
    std::function<void(TLoginDialog&)> answer_;
    QTimer timer_;
};

// The stored login, or "" when there is none.
std::string StoredUser() {
    return ReadRegString(kLoginKeyPath, "UserName", "");
}

class SignOnWindow : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        OdbcTestEnv::Get().LoadSchema(GetParam());
        dsn = OdbcTestEnv::Get().Dsn(GetParam());
        OdbcTestEnv::Get().Exec(dsn, {"INSERT INTO Param (Id, RoundT) VALUES (1, 0)",
                                      "INSERT INTO PoslDog (PoslDog) VALUES ('IR')"});
        file = home.Path() / "Prenos.dbf";
        test::WriteDbf(file, test::TransferColumns(), {});
    }
    // "Prenos" in a window with every input given; true when the run ended with its message.
    bool Prenos(TMain& w) {
        test::TypeInputs(w, "IR", "01", dsn.dsn, file);
        test::ModalCloser closer;
        QTest::mouseClick(w.bPrenos, Qt::LeftButton);
        return closer.texts.size() == 1 &&
               closer.texts[0].startsWith(QString::fromUtf8("Dodajanje zaključeno !\n\n"
                                                            "Kontrolni seštevki: "));
    }
    test::TestApp app;
    test::TempHome home;
    test::DsnInfo dsn;
    std::filesystem::path file;
};

TEST_P(SignOnWindow, ARefusedOrMissingLoginIsAskedForAndStoredOnlyWhenAsked) {
    const bool needsLogin = GetParam() == TestDriver::PostgreSQL;
    TMain w;
    w.show();
    auto fill = [&](bool store) {
        return [&, store](TLoginDialog& d) {
            d.fUporabnik->setText(QString::fromStdString(dsn.user));
            d.fGeslo->setText(QString::fromStdString(dsn.password));
            d.cShrani->setChecked(store);
            d.Buttons->button(QDialogButtonBox::Ok)->click();
        };
    };

    // No login stored: asked for as a first one (no user filled in, no refusal claimed), and
    // the run goes on with the one typed, which is not kept.
    {
        QString question, user;
        bool causeShown = true;
        LoginAnswerer answerer([&](TLoginDialog& d) {
            question = d.findChild<QLabel*>("Vprasanje")->text();
            user = d.fUporabnik->text();
            causeShown = d.findChild<QLabel*>("Vzrok")->isVisibleTo(&d);
            fill(false)(d);
        });
        EXPECT_TRUE(Prenos(w));
        EXPECT_EQ(answerer.asked, needsLogin ? 1 : 0);
        if (needsLogin) {
            EXPECT_EQ(answerer.title, QString::fromUtf8("Prijava v bazo Tevrin"));
            EXPECT_TRUE(question.contains(QString::fromUtf8("ni shranjene prijave")))
                << question.toStdString();
            EXPECT_FALSE(question.contains(QString::fromUtf8("ni sprejela")));
            EXPECT_EQ(user, "") << "not the stand-in \"sa\"";
            EXPECT_FALSE(causeShown);
        }
        EXPECT_EQ(StoredUser(), "");
    }
    // A wrong login stored: asked again; "Shrani prijavo" keeps the one the database took.
    StoreSqlLogin(needsLogin ? dsn.user : "nihče", "napačno");
    {
        LoginAnswerer answerer(fill(true));
        EXPECT_TRUE(Prenos(w));
        EXPECT_EQ(answerer.asked, needsLogin ? 1 : 0);
        std::string user, password;
        ReadSqlLogin(user, password);
        EXPECT_EQ(password, needsLogin ? dsn.password : "napačno");
        EXPECT_TRUE(w.Database->Connected());
    }
    if (!needsLogin) {
        return;
    }
    // Cancel ends the run quietly, as a failed sign-on ends it: nothing read, nothing written.
    StoreSqlLogin(dsn.user, "napačno");
    {
        LoginAnswerer answerer(
            [](TLoginDialog& d) { d.Buttons->button(QDialogButtonBox::Cancel)->click(); });
        test::ModalCloser closer;
        QTest::mouseClick(w.bPrenos, Qt::LeftButton);
        EXPECT_EQ(answerer.asked, 1);
        EXPECT_TRUE(closer.texts.isEmpty()) << closer.texts.join("|").toStdString();
        EXPECT_FALSE(w.Database->Connected());
        EXPECT_EQ(w.lIzid->text(),
                  QString::fromUtf8("Prenos je prekinjen, noben račun ni zapisan"));
        std::string user, password;
        ReadSqlLogin(user, password);
        EXPECT_EQ(password, "napačno") << "nothing stored on Cancel";
    }
    // A login typed wrong again is asked for again, with the database's refusal shown.
    {
        int round = 0;
        QString refusal;
        LoginAnswerer answerer([&](TLoginDialog& d) {
            refusal = d.findChild<QLabel*>("Vzrok")->text();
            d.fGeslo->setText(QString::fromStdString(++round == 1 ? "spet narobe" : dsn.password));
            d.Buttons->button(QDialogButtonBox::Ok)->click();
        });
        EXPECT_TRUE(Prenos(w));
        EXPECT_EQ(answerer.asked, 2);
        EXPECT_TRUE(refusal.startsWith(QString::fromUtf8("Vzrok: "))) << refusal.toStdString();
        EXPECT_TRUE(refusal.contains("password")) << refusal.toStdString();
    }
}

// The batch mode never asks: a refused login ends it (exit status 2) with how to store one.
TEST_P(SignOnWindow, TheBatchModeNeverAsksAndSaysHowToStoreALogin) {
    StoreSqlLogin(GetParam() == TestDriver::PostgreSQL ? dsn.user : "nihče", "napačno");
    test::TProgramRun r =
        test::RunProgram(ZENDRATO_BIN,
                         {"--transfer", "--date", "2026-12-06", "--event", "IR", "--clerk", "01",
                          "--dsn", dsn.dsn, "--file", file.string()},
                         {{"DISPLAY", ""},
                          {"WAYLAND_DISPLAY", ""},
                          {"QT_QPA_PLATFORM", ""},
                          {"LC_ALL", "sl_SI.UTF-8"},
                          {"ZENDRATO_HOME", home.Path().string()}},
                         home.Path());
    if (GetParam() == TestDriver::SQLite) {
        EXPECT_EQ(r.status, 0) << r.err << "SQLite needs no login";
        return;
    }
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("Baza Tevrin ni sprejela prijave uporabnika »" + dsn.user +
                         "«. Prijavo "
                         "shranite z ukazom: zendrato --set-login UPORABNIK\nVzrok: "),
              std::string::npos)
        << r.err;
}

INSTANTIATE_TEST_SUITE_P(BothDrivers, SignOnWindow, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen
