// The error dialog under the offscreen platform, and the dialog shown when a connection
// stored as connected cannot connect at the end of loading.

#include "odbc/ErrorDialog.h"
#include "odbc/OCL.h"
#include "support/OdbcTestEnv.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace zen {
namespace {

static auto* const odbcEnv = test::RegisterOdbcTestEnv(false);

QApplication& App() {
    static int argc = 1;
    static char name[] = "odbc_dialog_tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

EODBC ThreeRecords() {
    return EODBC(nullptr, SQL_ERROR,
                 {{"42S02", 208, "Invalid object name 'Promet'."},
                  {"01000", 0, "Statement has been terminated."},
                  {"HY000", -7, "General error"}});
}

std::string S(const QString& q) {
    return q.toStdString();
}

TEST(ErrorDialog, ControlsSitAtTheirPlaces) {
    App();
    TOEErrorDialog d("Cannot connect Database to database.", ThreeRecords());
    EXPECT_EQ(S(d.windowTitle()), "Database Error: " + Application().Title());
    EXPECT_EQ(S(d.MessageLabel()->text()), "Cannot connect Database to database.");
    EXPECT_TRUE(d.MessageLabel()->wordWrap());
    EXPECT_EQ(d.MessageLabel()->geometry(), QRect(56, 12, 225, 41));
    EXPECT_EQ(d.OkButton()->geometry(), QRect(108, 56, 75, 25));
    EXPECT_TRUE(d.OkButton()->isDefault());
    EXPECT_EQ(d.DetailsButton()->geometry(), QRect(212, 56, 75, 25));
    EXPECT_EQ(d.DetailMemo()->geometry(), QRect(8, 100, 277, 81));
    EXPECT_TRUE(d.DetailMemo()->isReadOnly());
    EXPECT_EQ(d.SqlStateField()->geometry(), QRect(80, 188, 61, 21));
    EXPECT_EQ(d.NativeErrorField()->geometry(), QRect(224, 188, 61, 21));
    EXPECT_EQ(d.PrevButton()->geometry(), QRect(108, 216, 75, 25));
    EXPECT_EQ(d.NextButton()->geometry(), QRect(212, 216, 75, 25));
    bool odbcLabel = false, dbLabel = false;
    for (QLabel* l : d.findChildren<QLabel*>()) {
        if (l->text() == "ODBC Error") {
            odbcLabel = l->geometry() == QRect(8, 192, 65, 13) && (l->alignment() & Qt::AlignRight);
        }
        if (l->text() == "Database Error") {
            dbLabel = l->geometry() == QRect(144, 192, 73, 13) && (l->alignment() & Qt::AlignRight);
        }
    }
    EXPECT_TRUE(odbcLabel);
    EXPECT_TRUE(dbLabel);
}

TEST(ErrorDialog, DetailsCollapseAndExpand) {
    App();
    TOEErrorDialog d("x", ThreeRecords());
    EXPECT_FALSE(d.Expanded());
    EXPECT_EQ(d.size(), QSize(291, 86));
    EXPECT_EQ(S(d.DetailsButton()->text()), "Details >>");
    d.DetailsButton()->click();
    EXPECT_TRUE(d.Expanded());
    EXPECT_EQ(d.size(), QSize(291, 245));
    EXPECT_EQ(S(d.DetailsButton()->text()), "Details <<");
    d.DetailsButton()->click();
    EXPECT_EQ(d.size(), QSize(291, 86));
    EXPECT_EQ(S(d.DetailsButton()->text()), "Details >>");
}

TEST(ErrorDialog, StepsThroughTheRecords) {
    App();
    TOEErrorDialog d("x", ThreeRecords());
    auto shown = [&] {
        return S(d.SqlStateField()->text()) + "|" + S(d.NativeErrorField()->text()) + "|" +
               S(d.DetailMemo()->toPlainText());
    };
    EXPECT_EQ(shown(), "42S02|208|Invalid object name 'Promet'.");
    EXPECT_FALSE(d.PrevButton()->isEnabled());
    EXPECT_TRUE(d.NextButton()->isEnabled());

    d.NextButton()->click();
    EXPECT_EQ(shown(), "01000|0|Statement has been terminated.");
    EXPECT_TRUE(d.PrevButton()->isEnabled());
    EXPECT_TRUE(d.NextButton()->isEnabled());

    d.NextButton()->click();
    EXPECT_EQ(shown(), "HY000|-7|General error");
    EXPECT_FALSE(d.NextButton()->isEnabled());

    d.PrevButton()->click();
    d.PrevButton()->click();
    EXPECT_EQ(d.RecordIndex(), 0);
    EXPECT_FALSE(d.PrevButton()->isEnabled());
    EXPECT_TRUE(d.NextButton()->isEnabled());
}

TEST(ConnectionLoading, StoredConnectedConnectsAtTheEndOfLoading) {
    App();
    TComponent form;
    auto* db = new THdbc(&form);
    db->SetName("Database");
    form.BeginLoading();
    db->SetDataSource(test::OdbcTestEnv::Get().Dsn(test::TestDriver::SQLite).dsn);
    db->SetDriver("SQL Server"); // through SQLDriverConnect, with a parent window at hand
    db->SetConnected(true);
    EXPECT_FALSE(db->Connected()) << "only remembered while loading";
    QWidget window;
    window.show();
    THenv::Instance().SetWindow(&window);
    form.EndLoading();
    THenv::Instance().SetWindow(nullptr);
    EXPECT_TRUE(db->Connected());
}

TEST(ConnectionLoading, FailedConnectShowsTheDialogAndLoadingGoesOn) {
    App();
    TComponent form;
    auto* db = new THdbc(&form);
    db->SetName("Database");
    form.BeginLoading();
    db->SetDataSource("NoSuchSource");
    db->SetConnected(true);

    std::string shown;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (auto* d = qobject_cast<TOEErrorDialog*>(QApplication::activeModalWidget())) {
            shown = S(d->MessageLabel()->text());
            d->accept();
        }
    });
    timer.start();
    EXPECT_NO_THROW(form.EndLoading());
    timer.stop();
    EXPECT_EQ(shown, "Cannot connect Database to database.");
    EXPECT_FALSE(db->Connected());
    EXPECT_FALSE(form.IsLoading());
}

} // namespace
} // namespace zen
