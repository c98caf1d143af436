// "Prenos" runs the transfer on the window's own objects: the datasets are the window's
// components, the run's messages are message boxes and its progress the window's bar.

#include "ModalCloser.h"
#include "TransferFile.h"
#include "WindowTest.h"
#include "app/DateEdit.h"
#include "app/FMain.h"
#include "app/HistoryDialog.h"
#include "app/RunSummary.h"
#include "app/SignOn.h"
#include "app/TransferWindowUi.h"
#include "app/ZenApplication.h"
#include "dataset/ODSI.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "support/OdbcTestEnv.h"
#include "support/RunTotalsOf.h"
#include "support/TestSupport.h"
#include "toolkit/DateTime.h"
#include "transfer/Ledger.h"
#include "transfer/TransferRun.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <fstream>

namespace zen {
namespace {

static auto* const odbcEnv = test::RegisterOdbcTestEnv(false);

// A run of the ledger as a transfer leaves it, its invoices committed; undone by "op" when
// asked. Returns its number.
int64_t LedgerRun(const test::DsnInfo& dsn, const TTransferRunInputs& in,
                  const std::vector<TLedgerInvoice>& invoices, bool completed,
                  bool undone = false) {
    THdbc database;
    SignOn(database, dsn.dsn);
    EnsureLedgerTables(database);
    const int64_t id = BeginLedgerRun(database, in);
    database.SetAutoCommit(false);
    RecordLedgerInvoices(database, id, 0, invoices);
    if (undone) {
        MarkLedgerRunUndone(database, id, "op");
    }
    database.Commit();
    database.SetAutoCommit(true);
    FinishLedgerRun(database, id, completed, completed ? "" : "prekinjen");
    return id;
}

// The application, a home and the SQLite data source over an empty Tevrin database.
class MainWindowTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        test::OdbcTestEnv::Get().LoadSchema(test::TestDriver::SQLite);
        dsn = test::OdbcTestEnv::Get().Dsn(test::TestDriver::SQLite);
    }
    test::TestApp app;
    test::TempHome home;
    test::DsnInfo dsn;
};

TEST_F(MainWindowTransfer, TheWindowOwnsTheLiveDataSetsAndPrenosRunsOnThem) {
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
    test::TypeInputs(w, "IR", "01", dsn.dsn, file);
    test::ModalCloser closer;
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    // Without prices in the file: no value by the file beside the lines'.
    EXPECT_EQ(closer.texts,
              QStringList({QString::fromUtf8(
                  "Dodajanje zaključeno !\n\nKontrolni seštevki: zapisov prebranih 0, "
                  "uporabljenih 0, zavrnjenih 0; računov 0, postavk 0; količina skupaj 0,000; "
                  "vrednost 0,00, DDV 0,00, za plačilo 0,00.")}));
    EXPECT_EQ(w.ProgressBar->value(), 100);
    EXPECT_TRUE(w.Database->Connected());
    EXPECT_TRUE(w.tbRacPoz->Active());

    // One record, and a customer lookup that the server refuses (the column it looks in is
    // gone): the window shows the database's error, not a missing customer.
    header[4] = 1;
    std::string record(size_t(header[10]), ' ');
    record.replace(1, 6, "NEZNAN");
    std::ofstream(file, std::ios::binary) << header << record << '\x1A';
    test::OdbcTestEnv::Get().Exec(dsn, {"ALTER TABLE Subjekt RENAME COLUMN Naziv2 TO Drugo"});
    closer.texts.clear();
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    ASSERT_EQ(closer.texts.size(), 1);
    EXPECT_NE(closer.texts[0], QString::fromUtf8("Dodajanje zaključeno !"));
    EXPECT_FALSE(closer.texts[0].contains("ne obstaja")) << closer.texts[0].toStdString();
    EXPECT_TRUE(closer.texts[0].contains("NAZIV2", Qt::CaseInsensitive))
        << closer.texts[0].toStdString();
    w.tbNapaka->Open();
    EXPECT_TRUE(w.tbNapaka->IsEmpty());

    // A data source that is not there, or whose name is too long, is refused before signing
    // on, named in Slovene in the message box with those that are.
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
        EXPECT_EQ(text.find("Vzrok"), std::string::npos) << "refused before signing on";
        EXPECT_FALSE(w.Database->Connected());
    }
}

// A run's notice (the file's prices unreadable) and its control totals reach the operator in
// the end message, once, the totals last; a run without them ends with the message alone.
TEST_F(MainWindowTransfer, TheEndMessageCarriesTheRunsNoticeAndTotals) {
    QWidget window;
    QProgressBar bar(&window);
    TTransferWindowUi ui(&window, &bar);
    const std::string notice = PricesUnreadableNotice(3, "R-3");
    const std::string totals = "Kontrolni seštevki: zapisov prebranih 3 …";
    test::ModalCloser closer;
    ui.Notice(notice);
    ui.Totals(totals);
    ui.Message(kCompletedMessage);
    ui.Message(kCompletedMessage);
    EXPECT_EQ(closer.texts, QStringList({QString::fromStdString(std::string(kCompletedMessage) +
                                                                "\n\n" + notice + "\n\n" + totals),
                                         QString::fromUtf8(kCompletedMessage)}));
}

// The history lists the ledger's runs with their states and the selected run's invoices;
// a stopped run can be resumed, a standing one undone, an undone one neither. The repeat
// question after a stopped run has "Nadaljuj" for its default; sending the whole file again
// is a choice of its own that asks once more, saying the invoices would be doubled.
TEST_F(MainWindowTransfer, TheHistoryOffersUndoAndResumeWhereTheyApply) {
    const TTransferRunInputs in{"aa", dsn.dsn, "IR", "01", EncodeDate(2026, 12, 20), "/x/a.dbf"};
    LedgerRun(dsn, in, {{"26IR00001", "Ana", 1, "x"}, {"26IR00002", "Bor", 1, "x"}}, true);
    LedgerRun(dsn, in, {{"26IR00003", "Ciril", 1, "x"}}, false);
    LedgerRun(dsn, in, {{"26IR00004", "Dora", 1, "x"}}, true, true);
    {
        const TRunTotals totals =
            test::RunTotalsOf(3, 1, 25000, 12345600, 2716300, 15061900, 12345678);
        THdbc db;
        SignOn(db, dsn.dsn);
        RecordLedgerTotals(db, 1, totals);
    }
    THdbc database;
    THistoryDialog history(database, dsn.dsn, SignOn);
    QTableWidget* runs = history.Runs();
    ASSERT_EQ(runs->rowCount(), 3);
    EXPECT_EQ(runs->item(0, 8)->text(), QString::fromUtf8("razveljavljen"));
    EXPECT_EQ(runs->item(1, 8)->text(), QString::fromUtf8("prekinjen"));
    EXPECT_EQ(runs->item(2, 8)->text(), QString::fromUtf8("zaključen"));
    EXPECT_EQ(runs->item(2, 7)->text(), QString::fromUtf8("26IR00001–26IR00002"));
    EXPECT_FALSE(history.UndoButton()->isEnabled());
    EXPECT_FALSE(history.ResumeButton()->isEnabled());
    EXPECT_EQ(history.TotalsOfRun()->text(), "") << "none kept for the run";
    runs->selectRow(2);
    EXPECT_EQ(history.InvoicesOfRun()->rowCount(), 2);
    // Its invoices and lines as the ledger names them.
    EXPECT_EQ(history.TotalsOfRun()->text().toStdString(),
              "Kontrolni seštevki: zapisov prebranih 3, uporabljenih 2, zavrnjenih 1; računov 2, "
              "postavk 2; količina skupaj 2,500; vrednost 1.234,56, DDV 271,63, za plačilo "
              "1.506,19; vrednost po datoteki (količina × cena) 1.234,5678, razlika -0,0078.");
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
    const std::string question = "Datoteka je bila že delno prenesena.";
    closer.press = "bNadaljuj";
    EXPECT_EQ(ui.AskRepeatOrResume(question, true), TRepeatAnswer::Resume);
    EXPECT_EQ(closer.defaults.value(0), "bNadaljuj") << "Enter goes on with the stopped run";
    closer.press = "bNe";
    EXPECT_EQ(ui.AskRepeatOrResume(question, true), TRepeatAnswer::No);
    // Again, then the second question's default: no.
    closer.press = "bZnova";
    closer.texts.clear();
    closer.defaults.clear();
    EXPECT_EQ(ui.AskRepeatOrResume(question, true), TRepeatAnswer::No);
    ASSERT_EQ(closer.texts.size(), 2);
    EXPECT_TRUE(closer.texts[1].contains("zapisan dvakrat")) << closer.texts[1].toStdString();
    EXPECT_EQ(closer.defaults.value(1), "bNe") << "the doubling question's default is no";
}

// After every run a line beside the progress bar says what the run wrote, in Slovene number
// forms; the specified controls keep their places.
TEST_F(MainWindowTransfer, ALineSaysWhatEachRunWrote) {
    test::OdbcTestEnv::Get().Exec(
        dsn, {"INSERT INTO Param (Id, RoundT, PolniRefIzSubj, NasaValuta, NacIzrRabata, "
              "OsnZaIzrProdCene) VALUES (1, 0.01, 'T', 'EUR', 'S', 'N')",
              "INSERT INTO PoslDog VALUES ('12', 'Računi', 'Omrežje')",
              "INSERT INTO TarSt VALUES ('1', 'Splošna', 20)",
              "INSERT INTO Ms (Ident, Naziv, EM, TS) VALUES ('ADSL', 'Dostop', 'mes', '1')",
              "INSERT INTO Subjekt (Naziv, Naziv2) VALUES ('Alfa', 'ALFA')",
              "INSERT INTO Subjekt (Naziv, Naziv2) VALUES ('Beta', 'BETA')",
              "INSERT INTO Subjekt (Naziv, Naziv2) VALUES ('Gama', 'GAMA')"});
    const auto file = home.Path() / "Prenos.dbf";
    auto writeFile = [&](const char* quantity) {
        std::vector<std::vector<std::string>> records;
        for (const char* customer : {"ALFA", "BETA", "NIHČE", "GAMA"}) {
            records.push_back({customer, "ADSL", quantity, "1.0000", std::string("R-") + customer});
        }
        test::WriteDbf(file, test::TransferColumns(), records);
    };
    auto scalar = [&](const char* query) { return test::OdbcTestEnv::Get().Scalar(dsn, query); };

    TMain w;
    w.show();
    for (QWidget* control : std::initializer_list<QWidget*>{
             w.fPoslDog, w.fAlias, w.fReferent, w.fDatum, w.fPath, w.ProgressBar, w.bPrenos,
             w.bKonec, w.bZgodovina, w.bIzberi}) {
        EXPECT_FALSE(w.lIzid->geometry().intersects(control->geometry()))
            << control->objectName().toStdString();
    }
    test::TypeInputs(w, "12", "JN", dsn.dsn, file);
    test::ModalCloser closer;

    // Three invoices and a record that failed.
    writeFile("1.000");
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    ASSERT_EQ(scalar("SELECT COUNT(*) FROM Promet"), "3");
    EXPECT_EQ(w.lIzid->text().toStdString(),
              "Zapisani 3 računi (" + scalar("SELECT MIN(Kljuc) FROM Promet") + "–" +
                  scalar("SELECT MAX(Kljuc) FROM Promet") + "), 1 zapis z napako");

    // The database refuses the second invoice of the next run: the run stops there, and its
    // first invoice, committed with it in one group, is gone with it.
    test::OdbcTestEnv::Get().Exec(dsn, {"CREATE TRIGGER Ustavi BEFORE INSERT ON Promet WHEN "
                                        "(SELECT COUNT(*) FROM Promet) >= 4 BEGIN "
                                        "SELECT RAISE(ABORT, 'ustavljeno'); END"});
    writeFile("2.000");
    closer.texts.clear();
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    ASSERT_EQ(scalar("SELECT COUNT(*) FROM Promet"), "3");
    ASSERT_EQ(closer.texts.size(), 1) << "the failure's message";
    EXPECT_TRUE(closer.texts[0].contains("prekinjen")) << closer.texts[0].toStdString();
    EXPECT_EQ(w.lIzid->text(), QString::fromUtf8("Prenos je prekinjen, noben račun ni zapisan"));

    // A failed sign-on writes nothing; an input missing does not start the run.
    w.fAlias->setText("NiTakegaVira");
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    EXPECT_EQ(w.lIzid->text(), QString::fromUtf8("Prenos je prekinjen, noben račun ni zapisan"));
    // A run not done leaves no full bar behind, as if its records had gone through.
    w.ProgressBar->setValue(100);
    w.fReferent->clear();
    QTest::mouseClick(w.bPrenos, Qt::LeftButton);
    EXPECT_EQ(w.lIzid->text(), QString::fromUtf8("Prenos ni izveden, noben račun ni zapisan"));
    EXPECT_EQ(w.ProgressBar->value(), 0);
}

// "Baza tevrin" offers the driver manager's data sources, read again when it drops down, and
// still takes a typed name as it stands.
TEST_F(MainWindowTransfer, TheDataSourceFieldOffersTheDataSourcesThereAre) {
    TMain w;
    w.show();
    auto items = [&w] {
        QStringList names;
        for (int i = 0; i < w.fAlias->count(); ++i) {
            names << w.fAlias->itemText(i);
        }
        return names;
    };
    EXPECT_TRUE(items().contains(QString::fromStdString(dsn.dsn)))
        << items().join(", ").toStdString();
    EXPECT_EQ(w.fAlias->text(), "Lorvath") << "the stored name, whatever the list";

    test::OdbcTestEnv::Get().AddDataSource(test::TestDriver::SQLite, "ZenNovVir");
    w.fAlias->setText("tipkano Ime");
    w.fAlias->showPopup();
    EXPECT_TRUE(items().contains("ZenNovVir")) << items().join(", ").toStdString();
    EXPECT_EQ(w.fAlias->text(), "tipkano Ime");
    w.fAlias->hidePopup();
    w.fAlias->setCurrentIndex(w.fAlias->findText("ZenNovVir"));
    EXPECT_EQ(w.fAlias->text(), "ZenNovVir");
    EXPECT_EQ(w.fAlias->count(), items().size()) << "a chosen name is not added twice";

    // The list opens on the source named, not on its first entry: Enter keeps the source.
    w.fAlias->setText(QString::fromStdString(dsn.dsn));
    w.fAlias->showPopup();
    EXPECT_EQ(w.fAlias->currentText(), QString::fromStdString(dsn.dsn));
    QTest::keyClick(w.fAlias->view(), Qt::Key_Return);
    EXPECT_EQ(w.fAlias->text(), QString::fromStdString(dsn.dsn));
    // A typed name that is no source opens the list on none.
    w.fAlias->setText("tipkano Ime");
    w.fAlias->showPopup();
    EXPECT_EQ(w.fAlias->currentIndex(), -1);
    QTest::keyClick(w.fAlias->view(), Qt::Key_Return);
    EXPECT_EQ(w.fAlias->text(), "tipkano Ime");
}

// "Izberi…" puts the file chosen in the file dialog into the path; cancelling keeps it.
TEST_F(MainWindowTransfer, TheTransferFileCanBeChosenInAFileDialog) {
    const auto file = home.Path() / "Izbrana.dbf";
    test::WriteDbf(file, test::TransferColumns(), {});
    TMain w;
    w.show();
    w.fPath->setText(QString::fromStdString((home.Path() / "ni.dbf").string()));
    // Answers the file dialog once it is up, choosing the file or cancelling.
    bool choose = true;
    QStringList openedIn;
    QTimer answerer;
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            openedIn << dialog->directory().absolutePath();
            if (choose) {
                // Typed as an operator would, the whole path in the name field.
                auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                ASSERT_NE(name, nullptr);
                name->setText(QString::fromStdString(file.string()));
                QMetaObject::invokeMethod(dialog, "accept");
            } else {
                QMetaObject::invokeMethod(dialog, "reject");
            }
        }
    });
    answerer.start(20);
    auto answer = [&](bool yes) { choose = yes; };
    answer(true);
    w.bIzberi->click();
    EXPECT_EQ(w.fPath->text().toStdString(), file.string());
    answer(false);
    w.bIzberi->click();
    EXPECT_EQ(w.fPath->text().toStdString(), file.string());
    // Each time in the folder of the file the path names.
    EXPECT_EQ(openedIn, QStringList(2, QString::fromStdString(home.Path().string())));
    EXPECT_FALSE(w.bIzberi->geometry().intersects(w.fPath->geometry()));
    EXPECT_FALSE(w.bIzberi->geometry().intersects(w.ProgressBar->geometry()));
}

// Enter in the history closes it: undo is never the default; an undo signs on with the
// sign-on the dialog is given (the window's asks for a login), and a cancelled sign-on
// says nothing more.
TEST_F(MainWindowTransfer, TheHistoryUndoesOnlyWhenAskedAndSignsOnAsGiven) {
    LedgerRun(dsn, {"aa", dsn.dsn, "IR", "01", EncodeDate(2026, 12, 20), "/x/a.dbf"},
              {{"26IR00001", "Ana", 1, "x"}}, true);
    THdbc database;
    std::vector<std::string> signedOn;
    // The list signs on; the undo's sign-on is cancelled.
    THistoryDialog history(database, dsn.dsn, [&](THdbc& db, const std::string& source) {
        signedOn.push_back(source);
        if (signedOn.size() > 1) {
            throw EAbort("Prijava v bazo Tevrin je preklicana.");
        }
        SignOn(db, source);
    });
    history.show();
    EXPECT_TRUE(history.UndoButton()->isEnabled());
    {
        test::ModalCloser closer;
        QTest::keyClick(history.Runs(), Qt::Key_Return);
        QTest::keyClick(&history, Qt::Key_Return);
        EXPECT_TRUE(closer.texts.isEmpty()) << closer.texts.join("|").toStdString();
        EXPECT_EQ(history.result(), QDialog::Rejected);
        EXPECT_FALSE(history.isVisible());
        EXPECT_EQ(signedOn.size(), 1u) << "only to list the runs";
    }

    // Asked and answered yes: the undo signs on with the dialog's sign-on.
    test::ModalCloser closer;
    closer.yesTo = {"UndoQuestion"};
    history.show();
    history.UndoButton()->click();
    EXPECT_EQ(signedOn, (std::vector<std::string>{dsn.dsn, dsn.dsn}));
    EXPECT_TRUE(closer.texts.isEmpty())
        << "a cancelled sign-on is not told as a failure: " << closer.texts.join("|").toStdString();
}

// The window's history and preview size their columns to their texts: amounts and states
// are seen whole at the dialog's first size.
TEST_F(MainWindowTransfer, ListsShowTheirAmountsAndStatesWhole) {
    const std::string longFile = "/x/" + std::string(120, 'd') + ".dbf";
    LedgerRun(dsn, {"aa", std::string(60, 'V'), "IR", "01", EncodeDate(2026, 12, 20), longFile},
              {{"26IR00001", "Ana", 1, "x"}}, true, true);
    THdbc database;
    THistoryDialog history(database, dsn.dsn, SignOn);
    history.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&history));
    test::ExpectColumnsWhole(history.Runs(), 6);
}

TEST(RunSummary, NumbersTakeTheirSloveneForms) {
    auto line = [](int invoices, int failed, bool dryRun = false) {
        TRunSummary s;
        s.Invoices = invoices;
        s.FirstKey = "A";
        s.LastKey = "B";
        s.FailedRecords = failed;
        s.DryRun = dryRun;
        return RunSummaryLine(s);
    };
    EXPECT_EQ(line(0, 0), "Zapisanih 0 računov");
    EXPECT_EQ(line(2, 2), "Zapisana 2 računa (A–B), 2 zapisa z napakama");
    EXPECT_EQ(line(4, 3), "Zapisani 4 računi (A–B), 3 zapisi z napakami");
    EXPECT_EQ(line(101, 5), "Zapisan 101 račun (A–B), 5 zapisov z napakami");
    EXPECT_EQ(line(111, 104), "Zapisanih 111 računov (A–B), 104 zapisi z napakami");
    // A dry run says what would have been written.
    EXPECT_EQ(line(1, 0, true), "Preizkus: zapisan bi bil 1 račun (A); v bazi ni nič zapisano");
    EXPECT_EQ(line(2, 1, true),
              "Preizkus: zapisana bi bila 2 računa (A–B), 1 zapis z napako; v bazi ni "
              "nič zapisano");
    EXPECT_EQ(line(4, 0, true),
              "Preizkus: zapisani bi bili 4 računi (A–B); v bazi ni nič zapisano");
}

} // namespace
} // namespace zen
