// "Prenos" runs the transfer on the window's own objects: the datasets are the window's
// components, the run's messages are message boxes and its progress the window's bar.

#include "ModalCloser.h"
#include "app/DateEdit.h"
#include "app/FMain.h"
#include "app/HistoryDialog.h"
#include "app/TransferWindowUi.h"
#include "app/ZenApplication.h"
#include "dataset/ODSI.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "support/OdbcTestEnv.h"
#include "support/TestSupport.h"
#include "toolkit/DateTime.h"
#include "transfer/TransferJournal.h"
#include "transfer/TransferRun.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <fstream>

namespace zen {
namespace {

static auto* const odbcEnv = test::RegisterOdbcTestEnv(false);

TEST(MainWindowTransfer, TheWindowOwnsTheLiveDataSetsAndPrenosRunsOnThem) {
    int argc = 1;
    char arg0[] = "app_tests";
    char* argv[] = {arg0, nullptr};
    TZenApplication app(argc, argv);
    test::TempHome home;
    test::OdbcTestEnv::Get().LoadSchema(test::TestDriver::SQLite);
    test::DsnInfo dsn = test::OdbcTestEnv::Get().Dsn(test::TestDriver::SQLite);
    test::OdbcTestEnv::Get().Exec(dsn, {"INSERT INTO Param (Id, RoundT) VALUES (1, 0)",
                                        "INSERT INTO PoslDog (PoslDog) VALUES ('IR')"});
    TMain w;
    for (TOEQuery* ds :
         {w.tbLookSubj2, w.tbLookSubj, w.tbSubj, w.tbLookMS, w.tbLookTarSt, w.tbLookPoslDog,
          w.tbParameter, w.tbPromet, w.tbPrometPoz, w.tbLookSubjCenik, w.tbLookMsForm}) {
        EXPECT_EQ(w.FindComponent(ds->Name()), ds);
        EXPECT_EQ(ds->Hdbc(), w.Database) << ds->Name();
        EXPECT_EQ(ds->HStmt().ConcurrencyType(), 4u) << ds->Name();
        EXPECT_TRUE(ds->Editable()) << ds->Name();
    }
    EXPECT_EQ(w.tbPrometPoz->SQL().Text(), "SELECT * FROM PrometPoz \r\nORDER BY KLJUC,POZ \r\n");
    EXPECT_EQ(w.tbParameter->SQL().Count(), 1);

    // An empty transfer file (a dBase III header of the fields the run reads, no records).
    const std::string fields[] = {"STRANKA", "ARTIKEL", "KOLICINA", "STRAC"};
    std::string header(32 + 32 * std::size(fields) + 1, '\0');
    header[0] = 0x03;
    header[8] = char(header.size());
    header[10] = char(1 + 10 * std::size(fields));
    for (size_t i = 0; i < std::size(fields); ++i) {
        header.replace(32 + 32 * i, fields[i].size(), fields[i]);
        header[32 + 32 * i + 11] = fields[i] == "KOLICINA" ? 'N' : 'C';
        header[32 + 32 * i + 16] = 10;
    }
    header.back() = 0x0D;
    auto file = home.Path() / "Prenos.dbf";
    std::ofstream(file, std::ios::binary) << header << '\x1A';

    w.show();
    w.fPoslDog->setText("IR");
    w.fReferent->setText("01");
    w.fAlias->setText(QString::fromStdString(dsn.dsn));
    w.fPath->setText(QString::fromStdString(file.string()));
    w.fDatum->setText(QString::fromStdString(DateToStr(EncodeDate(2026, 12, 6))));
    test::ModalCloser closer;
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    EXPECT_EQ(closer.texts, QStringList({QString::fromUtf8("Dodajanje zaključeno !")}));
    EXPECT_EQ(w.ProgressBar->value(), 100);
    EXPECT_TRUE(w.Database->Connected());
    EXPECT_TRUE(w.tbRacPoz->Active());

    // One record, and a customer lookup that the server refuses ("WHERE" inside a name
    // cuts the query): the window shows the database's error, not a missing customer.
    header[4] = 1;
    std::string record(size_t(header[10]), ' ');
    record.replace(1, 6, "NEZNAN");
    std::ofstream(file, std::ios::binary) << header << record << '\x1A';
    w.tbLookSubj2->SetSQL({"SELECT Naziv2, Naziv AS NOWHERE FROM Subjekt ", "ORDER BY NAZIV2 "});
    closer.texts.clear();
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    ASSERT_EQ(closer.texts.size(), 1);
    EXPECT_NE(closer.texts[0], QString::fromUtf8("Dodajanje zaključeno !"));
    EXPECT_FALSE(closer.texts[0].contains("ne obstaja")) << closer.texts[0].toStdString();
    EXPECT_TRUE(closer.texts[0].contains("NAZIV2", Qt::CaseInsensitive))
        << closer.texts[0].toStdString();
    w.tbNapaka->Open();
    EXPECT_TRUE(w.tbNapaka->IsEmpty());

    // A data source that is not there, or whose name is too long, is named in Slovene in the
    // message box, with those that are and the driver manager's text as the cause.
    for (const std::string& alias : {std::string("NiTakegaVira"), std::string(40, 'V')}) {
        w.fAlias->setText(QString::fromStdString(alias));
        closer.texts.clear();
        QTest::mouseClick(w.bPrenos, Qt::LeftButton);
        ASSERT_EQ(closer.texts.size(), 1);
        const std::string text = closer.texts[0].toStdString();
        const std::string head =
            "Vir podatkov »" + alias + "« " + (alias.size() > 32 ? "ni uporaben" : "ne obstaja.");
        EXPECT_EQ(text.rfind(head, 0), 0u) << text;
        EXPECT_NE(text.find(" Obstoječi viri: " + dsn.dsn), std::string::npos) << text;
        EXPECT_NE(text.find("\nVzrok: [unixODBC]"), std::string::npos) << text;
        EXPECT_FALSE(w.Database->Connected());
    }
}

// A run's notice (the file's prices unreadable) reaches the operator in the end message,
// once; a run without one ends with the message alone.
TEST(MainWindowTransfer, TheEndMessageCarriesTheRunsNotice) {
    int argc = 1;
    char arg0[] = "app_tests";
    char* argv[] = {arg0, nullptr};
    TZenApplication app(argc, argv);
    QWidget window;
    QProgressBar bar(&window);
    TTransferWindowUi ui(&window, &bar);
    const std::string notice = PricesUnreadableNotice(3, "R-3");
    test::ModalCloser closer;
    ui.Notice(notice);
    ui.Message(kCompletedMessage);
    ui.Message(kCompletedMessage);
    EXPECT_EQ(closer.texts,
              QStringList({QString::fromStdString(std::string(kCompletedMessage) + "\n\n" + notice),
                           QString::fromUtf8(kCompletedMessage)}));
}

// The history lists the journal's runs with their states and the selected run's invoices;
// a stopped run can be resumed, a standing one undone, an undone one neither. The repeat
// question offers "Nadaljuj" when a run of the file stopped.
TEST(MainWindowTransfer, TheHistoryOffersUndoAndResumeWhereTheyApply) {
    int argc = 1;
    char arg0[] = "app_tests";
    char* argv[] = {arg0, nullptr};
    TZenApplication app(argc, argv);
    test::TempHome home;
    {
        TTransferJournal j;
        TTransferRunInputs in{"aa", "Lorvath", "IR", "01", EncodeDate(2026, 12, 20), "/x/a.dbf"};
        j.BeginRun(in);
        j.RecordInvoice("26IR00001", "Ana");
        j.RecordInvoice("26IR00002", "Bor");
        j.FinishRun(true);
        j.BeginRun(in);
        j.RecordInvoice("26IR00003", "Ciril");
        j.FinishRun(false, "prekinjen");
        j.BeginRun(in);
        j.RecordInvoice("26IR00004", "Dora");
        j.FinishRun(true);
        j.BeginUndo(3);
        j.EndUndo(3, true, "op");
    }
    THdbc database;
    THistoryDialog history(database);
    QTableWidget* runs = history.Runs();
    ASSERT_EQ(runs->rowCount(), 3);
    EXPECT_EQ(runs->item(0, 8)->text(), QString::fromUtf8("razveljavljen"));
    EXPECT_EQ(runs->item(1, 8)->text(), QString::fromUtf8("prekinjen"));
    EXPECT_EQ(runs->item(2, 8)->text(), QString::fromUtf8("zaključen"));
    EXPECT_EQ(runs->item(2, 7)->text(), QString::fromUtf8("26IR00001–26IR00002"));
    EXPECT_FALSE(history.UndoButton()->isEnabled());
    EXPECT_FALSE(history.ResumeButton()->isEnabled());
    runs->selectRow(2);
    EXPECT_EQ(history.InvoicesOfRun()->rowCount(), 2);
    EXPECT_TRUE(history.UndoButton()->isEnabled());
    EXPECT_FALSE(history.ResumeButton()->isEnabled());
    runs->selectRow(1);
    EXPECT_TRUE(history.ResumeButton()->isEnabled());
    history.ResumeButton()->click();
    ASSERT_TRUE(history.ResumeRequest());
    EXPECT_EQ(history.ResumeRequest()->Id, 2);

    QWidget window;
    QProgressBar bar(&window);
    TTransferWindowUi ui(&window, &bar);
    test::ModalCloser closer;
    closer.press = "bNadaljuj";
    EXPECT_EQ(ui.AskRepeatOrResume("Datoteka je bila že delno prenesena.", true),
              TRepeatAnswer::Resume);
    closer.press.clear();
    EXPECT_EQ(ui.AskRepeatOrResume("Datoteka je bila že delno prenesena.", true),
              TRepeatAnswer::No);
    EXPECT_TRUE(closer.texts[0].contains("Nadaljuj"));
}

} // namespace
} // namespace zen
