// "Preizkus" on the demo data, on both drivers: the dry run writes nothing, its preview shows
// what "Zapiši" then writes, field for field, and the error rows of the report; a change in
// the database between the two is told; the dialog speaks Slovene and exports in the error
// report's conventions.

#include "ModalCloser.h"
#include "PdfText.h"
#include "TransferFile.h"
#include "WindowTest.h"
#include "app/FMain.h"
#include "app/PreviewDialog.h"
#include "app/SignOn.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "report/FNapaka.h"
#include "support/OdbcTestEnv.h"
#include "support/SignedOnSchema.h"
#include "support/TestSupport.h"
#include "transfer/Ledger.h"
#include "transfer/RunLock.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QtTest/QTest>
#include <gtest/gtest.h>

#include <charconv>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/stat.h>

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::TestDriver;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

const std::filesystem::path kDemoData =
    std::filesystem::path(ZENDRATO_SOURCE_DIR) / "scripts/demo-data";

// The demo's billing records, as its data list them (customer, article, quantity, price,
// invoice number; "#" starts a remark).
std::vector<std::vector<std::string>> DemoRecords() {
    std::ifstream in(kDemoData / "transfer-records.csv");
    std::vector<std::vector<std::string>> records;
    for (std::string line; std::getline(in, line);) {
        const QString text = QString::fromStdString(line.substr(0, line.find('#'))).trimmed();
        if (!text.isEmpty()) {
            std::vector<std::string> r;
            for (const QString& cell : text.split(';')) {
                r.push_back(cell.toStdString());
            }
            records.push_back(std::move(r));
        }
    }
    EXPECT_EQ(records.size(), 31u);
    return records;
}

// The demo's transfer file; without its CENA field when `prices` is false.
void WriteDemoFile(const std::filesystem::path& file, bool prices,
                   std::vector<std::vector<std::string>> records = DemoRecords()) {
    if (!prices) {
        for (auto& r : records) {
            r.erase(r.begin() + 3);
        }
    }
    test::WriteDbf(file, test::TransferColumns(prices), records);
}

QStringList RowTexts(QTableWidget* table, int row) {
    QStringList cells;
    for (int c = 0; c < table->columnCount(); ++c) {
        QTableWidgetItem* item = table->item(row, c);
        cells << (item ? item->text() : QString());
    }
    return cells;
}

// What the preview showed: every row of its tables, the lines of each invoice as selecting
// it shows them, and the lines above.
struct TShown {
    int dialogs = 0;
    QString pricing, notice, totals;
    bool noticeVisible = false;
    std::vector<QStringList> invoices; // the totals row last
    std::vector<std::vector<QStringList>> lines;
    std::vector<QStringList> errors;
};

TShown Read(TPreviewDialog& d) {
    TShown s;
    s.pricing = d.PricingLabel()->text();
    s.notice = d.NoticeLabel()->text();
    s.noticeVisible = d.NoticeLabel()->isVisible();
    s.totals = d.TotalsLabel()->text();
    for (int r = 0; r < d.InvoiceTable()->rowCount(); ++r) {
        s.invoices.push_back(RowTexts(d.InvoiceTable(), r));
        d.InvoiceTable()->selectRow(r);
        std::vector<QStringList> lines;
        for (int l = 0; l < d.LineTable()->rowCount(); ++l) {
            lines.push_back(RowTexts(d.LineTable(), l));
        }
        s.lines.push_back(lines);
    }
    for (int r = 0; r < d.ErrorTable()->rowCount(); ++r) {
        s.errors.push_back(RowTexts(d.ErrorTable(), r));
    }
    return s;
}

// Reads the preview when it opens, does what `before` says (a change to the database), and
// presses "Zapiši" or "Zapri".
class PreviewAnswerer : public QObject {
public:
    PreviewAnswerer(bool write, std::function<void()> before = {})
        : write_(write), before_(std::move(before)) {
        connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* d = qobject_cast<TPreviewDialog*>(QApplication::activeModalWidget())) {
                const int dialogs = shown.dialogs + 1;
                shown = Read(*d);
                shown.dialogs = dialogs;
                if (before_) {
                    before_();
                }
                (write_ ? d->WriteButton() : d->CloseButton())->click();
            }
        });
        timer_.start(20);
    }
    TShown shown;

private:
    bool write_;
    std::function<void()> before_;
    QTimer timer_;
};

class PreviewWindow : public ::testing::TestWithParam<TestDriver> {
protected:
    // The runs of the database's ledger (none while it has no tables).
    int LedgerRunCount() {
        THdbc db;
        db.SetDataSource(dsn.dsn);
        db.SetUserName(dsn.user);
        db.SetPassword(dsn.password);
        return LedgerExists(db) ? int(LedgerRuns(db).size()) : 0;
    }
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        dsn = test::FreshSignedOnSchema(GetParam(), true);
        withPrices = home.Path() / "Prenos.dbf";
        withoutPrices = home.Path() / "PrenosBrezCen.dbf";
        WriteDemoFile(withPrices, true);
        WriteDemoFile(withoutPrices, false);
    }

    std::string Scalar(const std::string& query) { return OdbcTestEnv::Get().Scalar(dsn, query); }

    // The database as it stands: the SQLite file's bytes, or every table's rows on PostgreSQL.
    std::string DatabaseState() {
        if (GetParam() == TestDriver::SQLite) {
            return test::ReadFileBytes(OdbcTestEnv::Get().Dir() / "tevrin.db");
        }
        std::string state;
        for (const std::string& statement : test::SchemaStatements()) {
            std::istringstream words(statement);
            std::string create, table, name;
            words >> create >> table >> name;
            if (create == "CREATE" && table == "TABLE") {
                name = name.substr(0, name.find('('));
                state += name + ":" +
                         Scalar("SELECT COUNT(*) || ' ' || COALESCE(md5(string_agg(t::text, '|' "
                                "ORDER BY t::text)), '') FROM " +
                                name + " t") +
                         "\n";
            }
        }
        return state;
    }

    // An amount the database holds, as the preview shows amounts.
    static QString Amount(std::string value, int decimals = 2) {
        // As the driver writes it, whatever the locale: a point or a comma.
        std::replace(value.begin(), value.end(), ',', '.');
        double number = 0;
        std::from_chars(value.data(), value.data() + value.size(), number);
        return QString::fromStdString(SloveneAmount(Currency::FromDouble(number), decimals));
    }

    // The invoice `key` as "Zapiši" wrote it, in the cells of the preview's row, and its lines'
    // cells up to the discount (the database keeps no amounts of a line).
    std::pair<QStringList, std::vector<QStringList>> Written(const std::string& key) {
        auto value = [&](const char* column) {
            return Scalar(std::string("SELECT ") + column + " FROM Promet WHERE Kljuc = '" + key +
                          "'");
        };
        const int count =
            std::stoi(Scalar("SELECT COUNT(*) FROM PrometPoz WHERE Kljuc = '" + key + "'"));
        std::vector<QStringList> lines;
        QStringList customers;
        for (int poz = 0; poz < count; ++poz) {
            auto line = [&](const char* column) {
                return Scalar(std::string("SELECT ") + column + " FROM PrometPoz WHERE Kljuc = '" +
                              key + "' AND Poz = " + std::to_string(poz));
            };
            const std::string opomba = line("Opomba"); // "StRac - Kupec"
            const QString customer = QString::fromStdString(opomba.substr(opomba.find(" - ") + 3));
            if (!customers.contains(customer)) {
                customers << customer;
            }
            lines.push_back({customer, QString::fromStdString(opomba.substr(0, opomba.find(" - "))),
                             QString::fromStdString(line("Ident")),
                             QString::fromStdString(line("Naziv")), Amount(line("Kolicina"), 0),
                             Amount(line("Cena")), Amount(line("Rabat"), 0)});
        }
        return {{QString::fromStdString(key), QString::fromStdString(value("Prejemnik")),
                 customers.join(", "), QString::number(count), Amount(value("Vrednost")),
                 Amount(value("Davek")), Amount(value("ZaPlacilo"))},
                lines};
    }

    test::TestApp app;
    test::TempHome home;
    test::DsnInfo dsn;
    std::filesystem::path withPrices, withoutPrices;
};

TEST_P(PreviewWindow, PreizkusWritesNothingAndShowsWhatZapisiThenWrites) {
    TMain w;
    w.show();
    test::TypeInputs(w, "IR", "01", dsn.dsn, withoutPrices);
    const std::string before = DatabaseState();
    test::ModalCloser closer;

    // "Zapri": nothing reaches the database or the journal, nor is the end told yet.
    {
        PreviewAnswerer answer(false);
        QTest::mouseClick(w.bPreizkus, Qt::LeftButton);
        ASSERT_EQ(answer.shown.dialogs, 1);
        EXPECT_EQ(DatabaseState(), before);
        EXPECT_EQ(LedgerRunCount(), 0);
        EXPECT_TRUE(closer.texts.isEmpty()) << closer.texts.join("\n").toStdString();
        EXPECT_EQ(w.lIzid->text().toStdString(),
                  "Preizkus: zapisanih bi bilo 8 računov (26IR00042–26IR00049), 3 zapisi z "
                  "napakami; v bazi ni nič zapisano");
    }

    // "Zapiši" writes what the preview showed.
    PreviewAnswerer answer(true);
    QTest::mouseClick(w.bPreizkus, Qt::LeftButton);
    ASSERT_EQ(answer.shown.dialogs, 1);
    const TShown& shown = answer.shown;
    EXPECT_EQ(shown.pricing.toStdString(), "Cene vrstic so ocenjene po cenah in pravilih Tevrina.");
    EXPECT_FALSE(shown.noticeVisible);
    ASSERT_EQ(shown.invoices.size(), 9u) << "eight invoices and the totals";
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet WHERE Kljuc > '26IR00041' AND Kljuc LIKE "
                     "'26IR%'"),
              "8");
    int lines = 0;
    for (size_t i = 0; i + 1 < shown.invoices.size(); ++i) {
        const auto [header, written] = Written(shown.invoices[i][0].toStdString());
        EXPECT_EQ(shown.invoices[i], header) << i;
        ASSERT_EQ(shown.lines[i].size(), written.size()) << i;
        for (size_t l = 0; l < written.size(); ++l) {
            EXPECT_EQ(shown.lines[i][l].mid(0, int(written[l].size())), written[l])
                << i << "/" << l;
        }
        lines += int(written.size());
    }
    const std::string series = " FROM Promet WHERE Kljuc > '26IR00041' AND Kljuc LIKE '26IR%'";
    EXPECT_EQ(shown.invoices.back(),
              QStringList({"Skupaj", QString::fromUtf8("8 računov"), "", QString::number(lines),
                           Amount(Scalar("SELECT SUM(Vrednost)" + series)),
                           Amount(Scalar("SELECT SUM(Davek)" + series)),
                           Amount(Scalar("SELECT SUM(ZaPlacilo)" + series))}));
    EXPECT_TRUE(shown.lines.back().empty()) << "the totals row has no lines";

    // The error rows are the report's.
    w.tbNapaka->Open();
    std::vector<QStringList> report;
    for (const TNapakaRow& row : TNapaka(nullptr, w.tbNapaka).Rows()) {
        report.push_back({QString::fromStdString(row.StRac), QString::fromStdString(row.Napaka)});
    }
    EXPECT_EQ(shown.errors, report);
    EXPECT_EQ(report.size(), 3u);
    // The control totals above the tables are those the run that wrote keeps in the ledger.
    {
        THdbc db;
        db.SetDataSource(dsn.dsn);
        db.SetUserName(dsn.user);
        db.SetPassword(dsn.password);
        const std::vector<TTransferRun> runs = LedgerRuns(db);
        ASSERT_EQ(runs.size(), 1u);
        ASSERT_TRUE(runs[0].Totals);
        EXPECT_EQ(shown.totals.toStdString(), ControlTotalsText(*runs[0].Totals));
        EXPECT_EQ(runs[0].Totals->Invoices, 8);
        EXPECT_EQ(runs[0].Totals->Refused, 3);
        EXPECT_FALSE(runs[0].Totals->FileValue) << "the rules priced the lines";
    }
    for (const QString& text : closer.texts) {
        EXPECT_FALSE(text.contains("predogled")) << "the run wrote what the preview showed";
    }
    EXPECT_EQ(w.lIzid->text().toStdString(),
              "Zapisanih 8 računov (26IR00042–26IR00049), 3 zapisi z napakami");
    EXPECT_EQ(LedgerRunCount(), 1);
}

// A file whose prices stop being readable says so; "Preizkus" takes the run lock; a change
// between the preview and "Zapiši" (a changed price, another document in the series) is
// written as the database then says and told at its first invoice.
TEST_P(PreviewWindow, UnreadablePricesTheRunLockAndChangesAreTold) {
    TMain w;
    w.show();
    test::ModalCloser closer;
    auto records = DemoRecords();
    records[9][3] = "abc";
    const auto unreadable = home.Path() / "Neberljive.dbf";
    WriteDemoFile(unreadable, true, records);
    test::TypeInputs(w, "IR", "01", dsn.dsn, unreadable);
    const std::string before = DatabaseState();
    {
        PreviewAnswerer answer(false);
        QTest::mouseClick(w.bPreizkus, Qt::LeftButton);
        ASSERT_EQ(answer.shown.dialogs, 1);
        EXPECT_TRUE(answer.shown.noticeVisible);
        EXPECT_EQ(answer.shown.notice.toStdString(), PricesUnreadableNotice(10, records[9][4]));
        EXPECT_EQ(answer.shown.pricing.toStdString(),
                  "Cene vrstic so ocenjene po cenah in pravilih Tevrina.");
        EXPECT_EQ(DatabaseState(), before);
    }
    w.fPath->setText(QString::fromStdString(withPrices.string()));
    {
        PreviewAnswerer answer(false);
        TRunLock other;
        QTest::mouseClick(w.bPreizkus, Qt::LeftButton);
        EXPECT_EQ(answer.shown.dialogs, 0);
        ASSERT_EQ(closer.texts.size(), 1);
        EXPECT_TRUE(closer.texts[0].contains(QString::fromUtf8("že teče")))
            << closer.texts[0].toStdString();
        EXPECT_EQ(w.lIzid->text().toStdString(), "Preizkus je prekinjen, v bazi ni nič zapisano");
    }
    {
        PreviewAnswerer answer(false);
        QTest::mouseClick(w.bPreizkus, Qt::LeftButton);
        ASSERT_EQ(answer.shown.dialogs, 1);
        EXPECT_EQ(answer.shown.pricing.toStdString(), "Cene vrstic so cene iz datoteke prenosa.");
    }

    // The rules' price of an article changes while the preview is open: the first invoice
    // with the article is the first that differs, and is written at the new price.
    w.fPath->setText(QString::fromStdString(withoutPrices.string()));
    closer.texts.clear();
    const auto raise = [this] {
        OdbcTestEnv::Get().Exec(dsn, {"UPDATE Ms SET VPCena = VPCena + 1, VPCena2 = VPCena2 + 1, "
                                      "MPCena = MPCena + 1, ProdCena = ProdCena + 1 WHERE Ident = "
                                      "'NET-300'"});
    };
    {
        PreviewAnswerer answer(true, raise);
        QTest::mouseClick(w.bPreizkus, Qt::LeftButton);
        ASSERT_EQ(answer.shown.dialogs, 1);
        size_t first = 0;
        while (first + 1 < answer.shown.invoices.size() &&
               std::none_of(answer.shown.lines[first].begin(), answer.shown.lines[first].end(),
                            [](const QStringList& l) { return l[2] == "NET-300"; })) {
            ++first;
        }
        ASSERT_LT(first + 1, answer.shown.invoices.size());
        const std::string key = answer.shown.invoices[first][0].toStdString();
        EXPECT_NE(Written(key).first[4], answer.shown.invoices[first][4]) << "the new price";
        const QString told = closer.texts.isEmpty() ? QString() : closer.texts.back();
        EXPECT_TRUE(told.startsWith(QString::fromUtf8("Zapisano se razlikuje od predogleda")))
            << told.toStdString();
        EXPECT_TRUE(told.contains(QString::fromStdString("Prvi drugačen račun je " + key + " (")))
            << told.toStdString();
        EXPECT_TRUE(w.lIzid->text().endsWith(QString::fromUtf8("; drugače kot v predogledu")));
    }

    // Another document takes the series' next number meanwhile: every number moves on. (The
    // file of other content: the journal knows the one just written.)
    OdbcTestEnv::Get().LoadDemo(GetParam());
    w.fPath->setText(QString::fromStdString(withPrices.string()));
    closer.texts.clear();
    const auto take = [this] {
        OdbcTestEnv::Get().Exec(dsn, {"INSERT INTO Promet (Kljuc, PoslDog) VALUES ('26IR00042', "
                                      "'IR')"});
    };
    {
        PreviewAnswerer answer(true, take);
        QTest::mouseClick(w.bPreizkus, Qt::LeftButton);
        ASSERT_EQ(answer.shown.dialogs, 1);
        const std::string payer = answer.shown.invoices[0][1].toStdString();
        EXPECT_EQ(Scalar("SELECT Prejemnik FROM Promet WHERE Kljuc = '26IR00043'"), payer);
        ASSERT_FALSE(closer.texts.isEmpty());
        EXPECT_TRUE(closer.texts.back().contains(
            QString::fromStdString("Prvi drugačen račun je 26IR00043 (" + payer +
                                   "): številka 26IR00043 (v predogledu 26IR00042)")))
            << closer.texts.back().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, PreviewWindow, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

// Every text of the dialog is Slovene; the amounts and the
// date are in the Slovene format; the PDF and the CSV file follow the error report.
// At the dialog's first size the amounts of both tables are seen whole, however long the
// payers' and articles' names.
TEST(PreviewDialog, AmountsAreSeenWholeAtTheFirstSize) {
    test::TestApp app;
    test::TempHome home;
    TTransferPreview p;
    p.Options.Path = "/pot/Prenos.dbf";
    TInvoiceSummary invoice;
    invoice.Kljuc = "26IR00042";
    invoice.Placnik = "Ključavničarstvo in kovinarstvo " + std::string(60, 'K') + " d.o.o.";
    invoice.Lines = 1;
    invoice.Vrednost = Currency::FromDouble(1234567.61);
    invoice.Davek = Currency::FromDouble(271604.87);
    invoice.ZaPlacilo = Currency::FromDouble(1506172.48);
    invoice.Items = {{"Kupec " + std::string(50, 'k'), "R-1", "NET-50",
                      "Internet " + std::string(60, 'n'), 1.5, Currency::FromDouble(36.61),
                      Currency::FromDouble(5), Currency::FromDouble(1234567.61),
                      Currency::FromDouble(271604.87), Currency::FromDouble(1506172.48)}};
    p.Invoices = {invoice};
    TPreviewDialog d(p);
    d.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&d));
    test::ExpectColumnsWhole(d.InvoiceTable(), int(kInvoiceAmountsFrom));
    test::ExpectColumnsWhole(d.LineTable(), int(kLineAmountsFrom));

    // Its PDF breaks names between words only, and keeps every word on the page.
    p.Invoices[0].Placnik = "Ključavničarstvo Hočevar s.p.";
    p.Invoices[0].Items[0].Kupec = "Ključavničarstvo Hočevar s.p.";
    p.Invoices[0].Items[0].Naziv = "Vzdrževanje ključavnic";
    TPreviewDialog narrow(p);
    const auto pdf = home.Path() / "predogled.pdf";
    ASSERT_TRUE(narrow.Export(pdf));
    const std::vector<test::PdfWord> words = test::ReadPdfWords(pdf);
    int whole = 0;
    for (const test::PdfWord& w : words) {
        whole += w.Text == "Ključavničarstvo";
        EXPECT_NE(w.Text, "Ključavničarstv") << "broken inside the word";
        EXPECT_LE(w.Right, 215.9 - napaka::kMargin + 0.5) << w.Text;
    }
    EXPECT_GE(whole, 2) << "the payer and the customer, each whole";
}

TEST(PreviewDialog, SpeaksSloveneAndExportsAsTheReportDoes) {
    test::TestApp app;
    test::TempHome home;
    TTransferPreview p;
    p.Options.PoslDog = "IR";
    p.Options.Referent = "01";
    p.Options.Datum = DateToStr(EncodeDate(2026, 12, 6));
    p.Options.DataSource = "Lorvath";
    p.Options.Path = "/pot/Prenos.dbf";
    p.FilePrices = false;
    p.Notice = PricesUnreadableNotice(10, "2611-00105");
    TInvoiceSummary invoice;
    invoice.Kljuc = "26IR00042";
    invoice.Placnik = "=Zavod; \"Sonce\"";
    invoice.Lines = 2;
    invoice.Vrednost = Currency::FromDouble(1234.56);
    invoice.Davek = Currency::FromDouble(271.6032);
    invoice.ZaPlacilo = Currency::FromDouble(1506.1632);
    invoice.Items = {{"Ana", "R-1", "NET-50", "Internet", 1.5, Currency::FromDouble(0.008),
                      Currency::FromDouble(5), Currency::FromDouble(1234.5),
                      Currency::FromDouble(271.59), Currency::FromDouble(1506.09)},
                     {"Bor", "R-2", "TV", "Televizija", 2, Currency::FromDouble(0.03), Currency(),
                      Currency::FromDouble(0.06), Currency::FromDouble(0.0132),
                      Currency::FromDouble(0.0732)}};
    p.Invoices = {invoice};
    p.Errors = {{"2611-00109", "Stranka (NOVAK PETER) ne obstaja !"}};
    TPreviewDialog d(p);
    d.show();

    std::set<std::string> texts = {d.windowTitle().toStdString()};
    for (QWidget* widget : d.findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            texts.insert(label->text().toStdString());
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            texts.insert(button->text().toStdString());
        } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i) {
                texts.insert(tabs->tabText(i).toStdString());
            }
        } else if (auto* table = qobject_cast<QTableWidget*>(widget)) {
            for (int c = 0; c < table->columnCount(); ++c) {
                texts.insert(table->horizontalHeaderItem(c)->text().toStdString());
            }
        }
    }
    texts.erase("");
    const std::set<std::string> expected = {
        "Predogled prenosa",
        "Poslovni dogodek IR, referent 01, datum računov 6. 12. 2026, baza Lorvath, datoteka "
        "/pot/Prenos.dbf",
        "Cene vrstic so ocenjene po cenah in pravilih Tevrina.",
        p.Notice,
        "Računi (1)",
        "Zapisi z napakami (1)",
        "Vrstice izbranega računa:",
        "Račun",
        "Plačnik",
        "Kupci",
        "Vrstic",
        "Vrednost",
        "DDV",
        "Za plačilo",
        "Kupec",
        "Račun št.",
        "Artikel",
        "Naziv",
        "Količina",
        "Cena",
        "Rabat %",
        "Napaka",
        "Izvozi…",
        "Zapiši",
        "Zapri"};
    EXPECT_EQ(texts, expected);
    for (const std::string& text : texts) {
        EXPECT_TRUE(test::EnglishWords(text).empty()) << text;
    }
    EXPECT_EQ(RowTexts(d.InvoiceTable(), 0),
              QStringList({"26IR00042", "=Zavod; \"Sonce\"", "Ana, Bor", "2", "1.234,56",
                           "271,6032", "1.506,1632"}));
    EXPECT_EQ(RowTexts(d.LineTable(), 0),
              QStringList({"Ana", "R-1", "NET-50", "Internet", "1,5", "0,008", "5", "1.234,50",
                           "271,59", "1.506,09"}));

    // The CSV file: the report's conventions, a leading apostrophe before what a spreadsheet
    // would take for a formula, and the file private in the home.
    const auto csv = home.Path() / "predogled.csv";
    ASSERT_TRUE(d.Export(csv));
    EXPECT_EQ(test::ReadFileBytes(csv),
              "\xEF\xBB\xBFPredogled prenosa\r\n"
              "Poslovni dogodek IR, referent 01, datum računov 6. 12. 2026, baza Lorvath, "
              "datoteka /pot/Prenos.dbf\r\n"
              "Cene vrstic so ocenjene po cenah in pravilih Tevrina.\r\n" +
                  p.Notice +
                  "\r\n\r\n"
                  "Račun;Plačnik;Kupci;Vrstic;Vrednost;DDV;Za plačilo\r\n"
                  "26IR00042;\"'=Zavod; \"\"Sonce\"\"\";Ana, Bor;2;1.234,56;271,6032;1.506,1632\r\n"
                  "Skupaj;1 račun;;2;1.234,56;271,6032;1.506,1632\r\n\r\n"
                  "Račun;Kupec;Račun št.;Artikel;Naziv;Količina;Cena;Rabat %;Vrednost;DDV;Za "
                  "plačilo\r\n"
                  "26IR00042;Ana;R-1;NET-50;Internet;1,5;0,008;5;1.234,50;271,59;1.506,09\r\n"
                  "26IR00042;Bor;R-2;TV;Televizija;2;0,03;0;0,06;0,0132;0,0732\r\n\r\n"
                  "Račun št.;Napaka\r\n"
                  "2611-00109;Stranka (NOVAK PETER) ne obstaja !\r\n");
    struct stat st {};
    ASSERT_EQ(stat(csv.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const auto pdf = home.Path() / "predogled.pdf";
    ASSERT_TRUE(d.Export(pdf));
    const std::string words = test::RunCommand("pdftotext -layout '" + pdf.string() + "' -");
    for (const char* word : {"Predogled prenosa", "26IR00042", "1.234,56", "Skupaj", "Televizija",
                             "Stranka (NOVAK PETER) ne obstaja !", "Zapisi z napakami"}) {
        EXPECT_NE(words.find(word), std::string::npos) << word << "\n" << words;
    }
    // Whole or not at all: a folder that is not there leaves nothing and says why.
    test::ModalCloser closer;
    EXPECT_FALSE(d.Export(home.Path() / "ni" / "predogled.pdf"));
    ASSERT_EQ(closer.texts.size(), 1);
    EXPECT_TRUE(closer.texts[0].contains("Predogled prenosa")) << closer.texts[0].toStdString();
}

// "Izvozi…" with a name typed without its extension: the extension is part of the name the
// dialog asks about, so a file of that name is not replaced without the operator's yes.
TEST(PreviewDialog, ExportAsksBeforeReplacingTheFileTheExtensionCompletes) {
    test::TestApp app;
    test::TempHome home;
    TTransferPreview p;
    p.Options.Path = (home.Path() / "Prenos.dbf").string();
    TPreviewDialog d(p);
    d.show();
    const auto existing = home.Path() / "porocilo.pdf";
    std::ofstream(existing) << "ostane";

    // Answered from the event loop, not from inside the timer: a timer does not fire again
    // while its own slot runs, so a question opened from the slot would wait for ever.
    QStringList questions;
    int dialogs = 0;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal); box && box->isVisible()) {
            if (!questions.contains(box->text())) {
                questions << box->text();
                QMetaObject::invokeMethod(box->button(QMessageBox::No), "click",
                                          Qt::QueuedConnection);
            }
        } else if (auto* files = qobject_cast<QFileDialog*>(modal); files && files->isVisible()) {
            if (dialogs == 0 || (dialogs == 1 && !questions.isEmpty())) {
                if (dialogs++ == 0) {
                    files->selectFile(QString::fromStdString((home.Path() / "porocilo").string()));
                    QMetaObject::invokeMethod(files, "accept", Qt::QueuedConnection);
                } else {
                    QMetaObject::invokeMethod(files, "reject", Qt::QueuedConnection);
                }
            }
        }
    });
    answer.start(20);
    d.ExportButton()->click();
    answer.stop();
    EXPECT_TRUE(test::ReadFileBytes(existing) == "ostane") << "the file was replaced";
    std::string files;
    for (const auto& entry : std::filesystem::directory_iterator(home.Path())) {
        files += entry.path().filename().string() + " ";
    }
    ASSERT_EQ(questions.size(), 1) << dialogs << ": " << files;
    EXPECT_TRUE(questions[0].contains("porocilo.pdf")) << questions[0].toStdString();
}

} // namespace
} // namespace zen
