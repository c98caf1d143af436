#include "ModalCloser.h"
#include "app/DateEdit.h"
#include "app/FMain.h"
#include "app/RunSummary.h"
#include "app/TransferWindowUi.h"
#include "app/TypingLimit.h"
#include "app/ZenApplication.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "support/TestSupport.h"
#include "toolkit/DataSet.h"
#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"

#include <QCalendarWidget>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>

using namespace zen;

namespace {

QApplication& App() {
    static int argc = 1;
    static char arg0[] = "app_tests";
    static char* argv[] = {arg0, nullptr};
    // Never destroyed: Qt's own teardown at exit is not ours to order.
    static auto* app = new TZenApplication(argc, argv);
    return *app;
}

std::string Ini(const test::TempHome& home) {
    std::ifstream in(home.Path() / "Tevrin.INI");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(MainWindow, FirstStartHasEmptyFieldsAndTheDefaultDataSource) {
    App();
    test::TempHome home;
    TMain w;
    EXPECT_EQ(w.windowTitle(), "Zendrato");
    EXPECT_EQ(w.fPoslDog->text(), "");
    EXPECT_EQ(w.fReferent->text(), "");
    EXPECT_EQ(w.fPath->text(), "");
    EXPECT_EQ(w.fAlias->text(), "Lorvath");
    EXPECT_EQ(w.fDatum->text(), "");
}

TEST(MainWindow, OwnsTheConnectionAndTheThreeLocalTables) {
    App();
    test::TempHome home;
    TMain w;
    EXPECT_EQ(w.FindComponent("Database"), w.Database);
    EXPECT_EQ(w.Database->Driver(), "SQL Server");
    EXPECT_FALSE(w.Database->Connected());
    EXPECT_EQ(w.FindComponent("tbRac"), w.tbRac);
    EXPECT_EQ(w.tbRac->TableName(), "Prenos.DBF");
    EXPECT_EQ(w.tbNapaka->DatabaseName(), "TevrinTemp");
    EXPECT_EQ(w.tbNapaka->TableName(), "TPrenosNapaka");
    EXPECT_EQ(w.tbRacPoz->DatabaseName(), "TevrinTemp");
    EXPECT_EQ(w.tbRacPoz->TableName(), "TVeskPrenosRac");
    EXPECT_FALSE(w.tbRacPoz->Active());
}

TEST(MainWindow, ControlsSitWhereTheOperatorExpectsThem) {
    App();
    test::TempHome home;
    TMain w;
    EXPECT_EQ(w.pos(), QPoint(200, 108));
    EXPECT_EQ(w.fPoslDog->geometry().topLeft(), QPoint(136, 11));
    EXPECT_EQ(w.fPoslDog->width(), 33);
    auto limit = [](QLineEdit* e) {
        auto* v = dynamic_cast<const TTypingLimit*>(e->validator());
        return v ? v->MaxLength() : 0;
    };
    EXPECT_EQ(limit(w.fPoslDog), 2);
    EXPECT_EQ(w.fAlias->geometry().topLeft(), QPoint(288, 11));
    EXPECT_EQ(w.fAlias->width(), 129);
    EXPECT_EQ(w.fReferent->geometry().topLeft(), QPoint(136, 43));
    EXPECT_EQ(limit(w.fReferent), 2);
    EXPECT_EQ(w.fAlias->validator(), nullptr);
    EXPECT_EQ(w.fDatum->geometry(), QRect(136, 75, 121, 21));
    EXPECT_EQ(w.fPath->geometry().topLeft(), QPoint(136, 205));
    EXPECT_EQ(w.fPath->width(), 281);
    EXPECT_EQ(w.ProgressBar->geometry(), QRect(16, 248, 401, 16));
    EXPECT_EQ(w.ProgressBar->maximum(), 100);
    EXPECT_EQ(w.bPrenos->geometry(), QRect(56, 280, 75, 25));
    EXPECT_EQ(w.bKonec->geometry(), QRect(304, 280, 75, 25));
    EXPECT_EQ(w.bPrenos->text(), "Prenos");
    EXPECT_EQ(w.bKonec->text(), "Konec");
    // "Preizkus" in the free space between them, on their row.
    EXPECT_EQ(w.bPreizkus->text(), "Preizkus");
    EXPECT_EQ(w.bPreizkus->y(), 280);
    EXPECT_GT(w.bPreizkus->x(), w.bPrenos->geometry().right());
    EXPECT_LT(w.bPreizkus->geometry().right(), w.bKonec->x());

    QLabel* datum = w.LabelFor(w.fDatum);
    ASSERT_NE(datum, nullptr);
    EXPECT_EQ(datum->text(), QString::fromUtf8("Datum izstavitve računov:"));
    EXPECT_LE(datum->geometry().right(), w.fDatum->x());
    EXPECT_EQ(w.LabelFor(w.fAlias)->text(), "Baza tevrin:");

    // Tab order: the five inputs, then the buttons.
    w.show();
    w.fPoslDog->setFocus();
    std::vector<QWidget*> expected = {
        w.fAlias, w.fReferent, w.fDatum->lineEdit(), w.fPath, w.bPrenos, w.bPreizkus, w.bKonec};
    QWidget* at = w.fPoslDog;
    for (QWidget* next : expected) {
        at = at->nextInFocusChain();
        // Skipped as Tab skips them: the line edit of "Baza tevrin" gives its focus to its
        // box.
        while (at->focusPolicy() == Qt::NoFocus || !at->isVisibleTo(&w) || at->focusProxy()) {
            at = at->nextInFocusChain();
        }
        EXPECT_EQ(at, next) << next->objectName().toStdString();
    }
}

// The window is drawn in the font the package brings; every label is whole in it, and so is
// the longest line a run ends with, however many lines it takes.
TEST(MainWindow, LabelsAndTheRunLineAreWholeInThePackagedFont) {
    App();
    test::TempHome home;
    TMain w;
    w.show();
    EXPECT_EQ(QFontInfo(w.font()).family(), "Liberation Sans");
    for (QLabel* label : w.findChildren<QLabel*>()) {
        if (!label->buddy()) {
            continue;
        }
        const std::string text = label->text().toStdString();
        EXPECT_EQ(QFontInfo(label->font()).family(), "Liberation Sans") << text;
        EXPECT_GE(label->x(), 0) << text;
        EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text())) << text;
        EXPECT_LE(label->geometry().right(), label->buddy()->x()) << text;
    }
    TRunSummary longest;
    longest.DryRun = true;
    longest.End = TRunEnd::Finished;
    longest.Invoices = 123456;
    longest.FirstKey = "26IR00001";
    longest.LastKey = "26IR99999";
    longest.FailedRecords = 654321;
    for (const std::string& line :
         {RunSummaryLine(longest),
          (longest.DryRun = false, RunSummaryLine(longest)) + "; drugače kot v predogledu"}) {
        w.lIzid->setText(QString::fromStdString(line));
        EXPECT_LE(w.lIzid->heightForWidth(w.lIzid->width()), w.lIzid->height()) << line;
    }
}

TEST(MainWindow, SettingsSurviveARestartUnchanged) {
    App();
    test::TempHome home;
    {
        TMain w;
        w.fPoslDog->setText("A"); // one character stays one character
        w.fAlias->setText("Tevrin2");
        w.fReferent->setText("01");
        w.fPath->setText("/srv/prenos/Prenos.DBF");
        w.fDatum->setText("06. 12. 2026");
        w.show();
        QTest::mouseClick(w.bKonec, Qt::LeftButton);
        EXPECT_FALSE(w.isVisible());
    }
    EXPECT_EQ(Ini(home), "[Zendrato]\nPoslDog=A\nAlias=Tevrin2\nReferent=01\n"
                         "Path=/srv/prenos/Prenos.DBF\n");
    TMain again;
    EXPECT_EQ(again.fPoslDog->text(), "A");
    EXPECT_EQ(again.fAlias->text(), "Tevrin2");
    EXPECT_EQ(again.fReferent->text(), "01");
    EXPECT_EQ(again.fPath->text(), "/srv/prenos/Prenos.DBF");
    EXPECT_EQ(again.fDatum->text(), ""); // the date is never stored
}

TEST(MainWindow, TheCloseBoxSavesLikeKonec) {
    App();
    test::TempHome home;
    {
        TMain w;
        w.fPoslDog->setText("IR");
        w.fPath->setText("/tmp/čšž.dbf");
        w.show();
        w.close(); // what the window's close box does
    }
    TMain again;
    EXPECT_EQ(again.fPoslDog->text(), "IR");
    EXPECT_EQ(again.fPath->text(), QString::fromUtf8("/tmp/čšž.dbf"));
    EXPECT_EQ(again.fAlias->text(), "Lorvath");
}

TEST(MainWindow, PrenosWithoutTheRequiredInputsOnlyTellsTheOperator) {
    App();
    test::TempHome home;
    TMain w;
    w.show();
    test::ModalCloser closer;
    const QString message = QString::fromUtf8(
        "Poslovni dogodek, referenta in pot do podatkov moraš obvezno določiti !");
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    w.fPath->setText("/tmp/x.dbf");
    w.fPoslDog->setText("IR");
    QTest::mouseClick(w.bPrenos, Qt::LeftButton); // clerk still missing
    EXPECT_EQ(closer.texts, QStringList({message, message}));
    EXPECT_EQ(w.ProgressBar->value(), 0);
}

TEST(MainWindow, CalendarPickWritesTheSloveneShortDate) {
    App();
    // A fresh install's locale: the date is still Slovene, never "12/06/26".
    test::ScopedLocale sl("C.UTF-8");
    ASSERT_TRUE(sl.Available());
    InitSloveneFormatSettings(); // as the program does at start
    test::TempHome home;
    TMain w;
    w.show();
    w.fDatum->showCalendar();
    w.fDatum->calendar()->setSelectedDate(QDate(2026, 12, 6));
    emit w.fDatum->calendar()->activated(QDate(2026, 12, 6));
    EXPECT_EQ(w.fDatum->text(), "06. 12. 2026");
}

TEST(MainWindow, AnExceptionLeavingAHandlerIsShownAndTheWindowStays) {
    App();
    test::TempHome home;
    TMain w;
    w.show();
    test::ModalCloser closer;
    // In place of the run, which would sign on to a data source the test does not have.
    QObject::disconnect(w.bPrenos, &QPushButton::clicked, &w, nullptr);
    QObject::connect(w.bPrenos, &QPushButton::clicked,
                     [] { throw EDatabaseError("Baza ni na voljo"); });
    w.fPath->setText("/x");
    w.fPoslDog->setText("IR");
    w.fReferent->setText("01");
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    EXPECT_EQ(closer.texts, QStringList({"Baza ni na voljo"}));
    EXPECT_TRUE(w.isVisible());
}

// Names and database messages reach the boxes; one that looks like markup is shown as
// written, not drawn as rich text (a hidden or restyled part, a link, an image).
TEST(MainWindow, EveryMessageBoxShowsItsTextAsWritten) {
    App();
    test::TempHome home;
    TMain w;
    test::ModalCloser closer;
    const std::string markup = "Stranka (<b>Žiga</b><img src=\"x\">) ne obstaja !";
    ShowException(EDatabaseError(markup));
    ShowMessage(QString::fromStdString(markup));
    TTransferWindowUi ui(&w, nullptr);
    ui.Message(markup);
    ui.AskRepeat(markup);
    ASSERT_EQ(closer.texts.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(closer.texts[i].toStdString(), markup) << i;
        EXPECT_TRUE(closer.plain[i]) << i;
    }
}

TEST(MainWindow, FaultsThatNoCallerCanTakeAreShownToo) {
    App();
    test::ModalCloser closer;
    HandleApplicationException(EConvertError("'x' is not a valid floating point value"));
    EXPECT_EQ(closer.texts, QStringList({"'x' is not a valid floating point value"}));
}

TEST(Program, WithoutADisplayItSaysSoInOneLine) {
    std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " ZENDRATO_BIN " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p)) {
        out += buf;
    }
    int status = pclose(p);
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
    EXPECT_NE(out.find("ni zaslona"), std::string::npos) << out;
}

TEST(MainWindow, ASettingsFileThatCannotBeWrittenIsLoggedAndTheWindowStillCloses) {
    App();
    test::TempHome home;
    // A directory where the settings file should be: it reads as missing and cannot be
    // replaced.
    std::filesystem::create_directories(home.Path() / "Tevrin.INI");
    {
        TMain w;
        EXPECT_EQ(w.fAlias->text(), "Lorvath");
        w.fPoslDog->setText("IR");
        w.show();
        EXPECT_TRUE(w.close());
        EXPECT_FALSE(w.isVisible());
    }
    EXPECT_TRUE(std::filesystem::exists(home.Path() / "c" / "TevrinError"));
}

// The limit of two characters is for typing: a longer stored value comes back whole and is
// written back unchanged.
TEST(MainWindow, StoredValuesLongerThanTheTypingLimitAreKeptWhole) {
    App();
    test::TempHome home;
    std::ofstream(home.Path() / "Tevrin.INI") << "[Zendrato]\nPoslDog=ABC\nReferent=Čšžđ\n";
    {
        TMain w;
        EXPECT_EQ(w.fPoslDog->text(), "ABC");
        EXPECT_EQ(w.fReferent->text(), QString::fromUtf8("Čšžđ"));
        w.show();
        w.close();
    }
    EXPECT_NE(Ini(home).find("PoslDog=ABC\n"), std::string::npos) << Ini(home);
    EXPECT_NE(Ini(home).find("Referent=Čšžđ\n"), std::string::npos) << Ini(home);

    TMain w;
    w.show();
    w.fPoslDog->end(false);
    QTest::keyClicks(w.fPoslDog, "D");
    EXPECT_EQ(w.fPoslDog->text(), "ABC") << "a long value cannot grow";
    QTest::keyClick(w.fPoslDog, Qt::Key_Backspace);
    EXPECT_EQ(w.fPoslDog->text(), "AB") << "but it can be shortened";
    w.fPoslDog->clear();
    QTest::keyClicks(w.fPoslDog, "XYZ");
    EXPECT_EQ(w.fPoslDog->text(), "XY");
    w.fPoslDog->insert("12"); // as a paste does
    EXPECT_EQ(w.fPoslDog->text(), "XY");
    w.fReferent->clear();
    w.fReferent->insert(QString::fromUtf8("ČŠŽ"));
    EXPECT_EQ(w.fReferent->text(), "") << "a paste that does not fit is refused whole";
    w.fReferent->insert(QString::fromUtf8("ČŠ"));
    EXPECT_EQ(w.fReferent->text(), QString::fromUtf8("ČŠ"));
}

// A home directory under a file, as when ZENDRATO_HOME or ~/.local/share is wrong.
TEST(MainWindow, AHomeThatCannotBeCreatedOpensTheWindowWithTheDefaultsAndSaysWhy) {
    App();
    test::TempHome home;
    std::ofstream(home.Path() / "datoteka") << "x";
    auto bad = home.Path() / "datoteka" / "zendrato";
    setenv("ZENDRATO_HOME", bad.c_str(), 1); // restored with `home`
    TMain w;
    EXPECT_EQ(w.fAlias->text(), "Lorvath");
    EXPECT_EQ(w.fPoslDog->text(), "");
    EXPECT_NE(w.StartupProblem().find(bad.string()), std::string::npos) << w.StartupProblem();
    w.show();
    test::ModalCloser closer;
    w.ShowStartupProblem();
    ASSERT_EQ(closer.texts.size(), 1);
    EXPECT_TRUE(closer.texts[0].contains(QString::fromUtf8("ni mogoče ustvariti")));
    EXPECT_TRUE(closer.texts[0].contains(QString::fromStdString(bad.string())));
    w.fPoslDog->setText("IR");
    EXPECT_TRUE(w.close());
}

namespace {

// Runs a shell command; the exit status and what it wrote to both streams.
std::pair<int, std::string> RunShell(const std::string& command) {
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) {
        return {-1, ""};
    }
    std::string out;
    char buf[256];
    while (fgets(buf, sizeof buf, p)) {
        out += buf;
    }
    int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

} // namespace

TEST(Program, AHomeThatCannotBeCreatedEndsNoStartInAnAbort) {
    test::TempHome home;
    std::ofstream(home.Path() / "datoteka") << "x";
    auto bad = home.Path() / "datoteka" / "zendrato";
    setenv("ZENDRATO_HOME", bad.c_str(), 1);
    for (const char* tool : {"--formula 1+2", "--set-login janez </dev/null"}) {
        auto [status, out] = RunShell(ZENDRATO_BIN " " + std::string(tool));
        EXPECT_EQ(status, 2) << tool;
        EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
        EXPECT_NE(out.find("Mape " + bad.string() + " ni mogoče ustvariti"), std::string::npos)
            << out;
    }
    // The window stays open with its message box until the time runs out, where it used to
    // abort at once.
    auto [status, out] = RunShell("QT_QPA_PLATFORM=offscreen timeout 3 " ZENDRATO_BIN);
    EXPECT_EQ(status, 124) << out;
    EXPECT_EQ(out.find("terminate"), std::string::npos) << out;
}
