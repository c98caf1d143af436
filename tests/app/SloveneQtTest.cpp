// Qt's own texts in Slovene: the standard buttons, the print dialog's file printer and the
// file dialog's kinds of entry always, the stock catalog's texts (the print preview's
// toolbar) when Debian's qt6-translations-l10n is installed.

#include "app/SloveneQt.h"
#include "app/ZenApplication.h"

#include <QAbstractFileIconProvider>
#include <QAction>
#include <QCalendarWidget>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
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

// What the stock catalog never had: the print dialog's file printer and the file dialog's
// kinds of entry, as the dialogs themselves show them.
TEST(SloveneQt, ThePrintAndFileDialogsNameTheirEntriesInSlovene) {
    App();
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QDir::temp().filePath("zendrato-slovene-qt.pdf"));
    QPrintDialog dialog(&printer);
    dialog.show();
    QStringList labels;
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        labels << label->text();
    }
    dialog.hide();
    EXPECT_TRUE(labels.contains(QString::fromUtf8("Zapis datoteke PDF")))
        << labels.join(" | ").toStdString();
    EXPECT_FALSE(labels.contains("Write PDF file"));
    EXPECT_FALSE(labels.contains("Local file"));

    QAbstractFileIconProvider icons; // the "Vrsta" column of the file dialog
    EXPECT_EQ(icons.type(QFileInfo(QDir::tempPath())), "Mapa");
    QFileSystemModel model;
    model.setRootPath(QDir::tempPath());
    EXPECT_EQ(model.type(model.index(QDir::tempPath())), "Mapa");
}
