// Qt's own texts in Slovene: the standard buttons always, the stock catalog's texts (the
// print preview's toolbar) when Debian's qt6-translations-l10n is installed.

#include "app/SloveneQt.h"
#include "app/ZenApplication.h"

#include <QAction>
#include <QCalendarWidget>
#include <QFile>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace zen;

namespace {

void App() {
    static int argc = 1;
    static char arg0[] = "app_slovene_tests";
    static char* argv[] = {arg0, nullptr};
    // Never destroyed: Qt's own teardown at exit is not ours to order.
    static auto* app = new TZenApplication(argc, argv);
    (void)app;
}

} // namespace

TEST(SloveneQt, MessageBoxButtonsAndTheCalendarAreSlovene) {
    App();
    QMessageBox box;
    box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel | QMessageBox::Yes |
                           QMessageBox::No | QMessageBox::Close);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), "V redu");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "Prekliči");
    EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "&Da");
    EXPECT_EQ(box.button(QMessageBox::No)->text(), "&Ne");
    EXPECT_EQ(box.button(QMessageBox::Close)->text(), "Zapri");

    QCalendarWidget calendar;
    EXPECT_EQ(calendar.locale().language(), QLocale::Slovenian);
    EXPECT_EQ(calendar.firstDayOfWeek(), Qt::Monday);
    EXPECT_EQ(QLocale().monthName(12), "december");
    EXPECT_EQ(QLocale().standaloneMonthName(3), "marec");
}

TEST(SloveneQt, PrintPreviewToolbarIsSloveneWhenTheCatalogIsInstalled) {
    App();
    QString dir = QtTranslationsDir();
    if (!QFile::exists(dir + "/qt_sl.qm") && !QFile::exists(dir + "/qtbase_sl.qm")) {
        GTEST_SKIP() << "no qt_sl.qm or qtbase_sl.qm in " << dir.toStdString()
                     << ": the Debian package qt6-translations-l10n is missing (scripts/setup "
                        "installs it)";
    }
    QPrinter printer;
    QPrintPreviewDialog preview(&printer);
    QStringList texts;
    for (QAction* a : preview.findChildren<QAction*>()) {
        texts << a->text();
    }
    EXPECT_TRUE(texts.contains("Natisni")) << texts.join(", ").toStdString();
    EXPECT_TRUE(texts.contains("Naslednja stran")) << texts.join(", ").toStdString();
    EXPECT_FALSE(texts.contains("Print"));
}
