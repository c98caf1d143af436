// The transfer run end to end on both drivers, through TTransfer with a recording
// interface: input checks, the check phase with its progress and error log, the working
// table, and the invoices written, rolled back or refused, compared as whole rows of
// Promet and PrometPoz.

#include "transfer/TransferRun.h"
#include "../dbutil/LogReader.h"
#include "TransferFile.h"
#include "app/SignOn.h"
#include "dataset/ODSI.h"
#include "localtable/Table.h"
#include "odbc/OCL.h"
#include "odbc/OCLError.h"
#include "support/OdbcTestEnv.h"
#include "support/SignedOnSchema.h"
#include "support/TestSupport.h"
#include "toolkit/Field.h"
#include "toolkit/Text.h"
#include "transfer/Ledger.h"
#include "transfer/TransferJournal.h"

#include <gtest/gtest.h>

namespace zen {
namespace {

using test::OdbcTestEnv;
using test::TestDriver;

static auto* const odbcEnv = test::RegisterOdbcTestEnv();

// Forty characters, an apostrophe among them: the whole width of Subjekt.Naziv.
const std::string kGostilna = "Gostilna Pr' Francetu in sinovi, Šentjur";

const std::vector<std::string> kData = {
    "INSERT INTO Param (Id, RoundT, PolniRefIzSubj, NasaValuta, NacIzrRabata, OsnZaIzrProdCene) "
    "VALUES (1, 0.01, 'T', 'EUR', 'S', 'N')",
    "INSERT INTO PoslDog VALUES ('12', 'Računi', 'Omrežje Kranj d.o.o.')",
    "INSERT INTO PoslDog VALUES ('5', 'Mali računi', 'Omrežje Kranj d.o.o.')",
    "INSERT INTO TarSt VALUES ('1', 'Splošna', 20)",
    "INSERT INTO TarSt VALUES ('2', 'Nižja', 8.5)",
    "INSERT INTO Ms (Ident, Naziv, EM, TS, Transport, Dajatve, NepStr, VrDavek, VPCena2P, "
    "VPCenaP, MPCenaP, Garancija, NabaCena, CenaDob, MPCena, VPCena, VPCena2, ProdCena, "
    "Trosarina, TrosarinaP) VALUES ('ADSL', 'Dostop ADSL', 'mes', '1', 0.5, 0.25, 0.125, 1.5, "
    "1.1, 2.2, 3.3, 12, 12.5, 13, 24, 20, 19.4, 20, 0, 0)",
    "INSERT INTO Ms (Ident, Naziv, EM, TS) VALUES ('TEL', 'Telefonija', 'min', '2')",
    "INSERT INTO Subjekt (Naziv, Naziv2, Placnik, CenRazred, Referent, Izjava, NacProdaje, "
    "NacinPlac, Dostava, DniZaPlac, LetnaIzjava, DatumIzj) VALUES ('Zavod Sonce', 'ZAVOD SONCE', "
    "NULL, '3', '', 'Oproščeno', '02', 'GO', 'PO', 30, 'IZJ-7', NULL)",
    "INSERT INTO Subjekt (Naziv, Naziv2, Placnik) VALUES ('Ana Kranjc', 'KRANJC ANA', 'Zavod "
    "Sonce')",
    "INSERT INTO Subjekt (Naziv, Naziv2, Placnik) VALUES ('Bor Novak', 'NOVAK BOR', 'Zavod "
    "Sonce')",
    "INSERT INTO Subjekt (Naziv, Naziv2, Placnik) VALUES ('Rok Brez', 'BREZ ROK', 'Nikogar')",
    "INSERT INTO Subjekt (Naziv, Naziv2, Placnik, CenRazred, Referent, Izjava, NacProdaje, "
    "NacinPlac, Dostava, DniZaPlac, LetnaIzjava, DatumIzj) VALUES ('Gostilna Pr'' Francetu in "
    "sinovi, Šentjur', 'PR FRANCETU', '', '1', 'MK', '', '01', 'TR', 'OS', NULL, 'IZJ-2005/17', "
    "'2005-01-15 00:00:00')",
    "INSERT INTO Subjekt (Naziv, Naziv2) VALUES ('100 Mbit d.o.o.', '100 MBIT')",
    "INSERT INTO Promet (Kljuc) VALUES ('051200041')",
};

// Customer, article, quantity, price, invoice number. Records 5 to 8 fail one check each
// (the seventh two); "%" is a character like any other.
const std::vector<std::vector<std::string>> kRecords = {
    {"KRANJC ANA", "ADSL", "1.000", "24.0000", "1001"},
    {"NOVAK BOR", "TEL", "2.500", "12.3456", "1002"},
    {"KRANJC ANA", "ADSL", "1.000", "24.0000", "1003"},
    {"PR FRANCETU", "ADSL", "1.000", "20.0000", "1004"},
    {"100%", "ADSL", "1.000", "1.0000", "1005"},
    {"ZAVOD SONCE", "AD%", "1.000", "1.0000", "1006"},
    {"NEZNAN", "NI-GA", "1.000", "1.0000", "1007"},
    {"BREZ ROK", "ADSL", "1.000", "1.0000", "1008"},
};
const std::vector<std::string> kErrors = {
    "1005|Stranka (100%) ne obstaja !", "1006|Artikel (AD%) ne obstaja !",
    "1007|Stranka (NEZNAN) ne obstaja !", "1008|Plačnik (Nikogar) ne obstaja !"};

class TRecordingUi : public TTransferUi {
public:
    void Message(const std::string& text) override { messages.push_back(text); }
    void Progress(int percent) override {
        progress.push_back(percent);
        if (onProgress) {
            onProgress(percent);
        }
    }
    bool AskRepeat(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    void ShowErrors(TTable& t) override {
        ++reports;
        for (; !t.Eof(); t.Next()) {
            reported.push_back(t.FieldByName("StRac")->AsString() + "|" +
                               t.FieldByName("Napaka")->AsString());
        }
    }
    void Totals(const std::string& text) override { totals = text; }
    void InvoiceWritten(const TInvoiceSummary& i) override {
        invoices.push_back(i.Kljuc + "|" + i.Placnik + "|" + std::to_string(i.Lines) + "|" +
                           i.Vrednost.ToString() + "|" + i.ZaPlacilo.ToString() + "|" +
                           (i.Committed ? "committed" : "rolled back"));
        if (afterInvoice) {
            afterInvoice();
        }
    }

    std::vector<std::string> messages, questions, reported, invoices;
    std::string totals;
    std::vector<int> progress;
    int reports = 0;
    bool answer = false;
    std::function<void()> afterInvoice;
    std::function<void(int)> onProgress;
};

class TransferRunTest : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override {
        ZEN_REQUIRE_DRIVER(GetParam());
        dsn = test::FreshSignedOnSchema(GetParam());
        OdbcTestEnv::Get().Exec(dsn, kData);
        options.PoslDog = "12";
        options.Referent = "JN";
        options.Datum = DateToStr(EncodeDate(2005, 12, 20));
        options.DataSource = dsn.dsn;
        options.Path = (home.Path() / "Prenos.dbf").string();
        started = Now();
    }

    const TTransferComponents& C() { return module.Components(); }
    void WriteFile(const std::vector<std::vector<std::string>>& records, bool withCena = true) {
        test::WriteDbf(options.Path, test::TransferColumns(withCena), records);
    }

    // A connection of the test's own to the data source, the first of `owner`'s
    // components, so that the datasets made after it take it.
    void OwnConnection(TComponent& owner) {
        auto* db = new THdbc(&owner);
        db->SetDataSource(dsn.dsn);
        db->SetUserName(dsn.user);
        db->SetPassword(dsn.password);
    }

    void Exec(const std::vector<std::string>& sql) { OdbcTestEnv::Get().Exec(dsn, sql); }
    std::string Count(const std::string& table) {
        return OdbcTestEnv::Get().Scalar(dsn, "SELECT COUNT(*) FROM " + table);
    }

    // Every row of the working table: Placnik|Kupec|Ident|Kolicina|Cena|StRac.
    std::vector<std::string> WorkingRows() {
        TTable& t = *C().tbRacPoz;
        std::vector<std::string> rows;
        for (t.First(); !t.Eof(); t.Next()) {
            char amounts[64];
            std::snprintf(amounts, sizeof amounts, "%.3f|%.4f",
                          t.FieldByName("Kolicina")->AsFloat(), t.FieldByName("Cena")->AsFloat());
            rows.push_back(t.FieldByName("Placnik")->AsString() + "|" +
                           t.FieldByName("Kupec")->AsString() + "|" +
                           t.FieldByName("Ident")->AsString() + "|" + amounts + "|" +
                           t.FieldByName("StRac")->AsString());
        }
        return rows;
    }
    std::vector<std::string> ErrorRows() {
        TTable& t = *C().tbNapaka;
        if (!t.Active()) {
            t.Open();
        }
        std::vector<std::string> rows;
        for (t.First(); !t.Eof(); t.Next()) {
            rows.push_back(t.FieldByName("StRac")->AsString() + "|" +
                           t.FieldByName("Napaka")->AsString());
        }
        return rows;
    }

    // Whole rows of a Tevrin table in key order, read on a connection of the test's own,
    // every value in one form on both drivers: NULL, texts, numbers to four decimals,
    // dates and times. The two time stamps are checked to lie within the test's run.
    std::vector<std::string> Rows(const std::string& table, const std::string& order) {
        TComponent owner;
        OwnConnection(owner);
        auto* q = new TOEQuery(&owner);
        q->SetSQL({"SELECT * FROM " + table + " ORDER BY " + order});
        q->Open();
        std::vector<std::string> rows;
        const TDateTime now = Now();
        for (q->First(); !q->Eof(); q->Next()) {
            std::string row;
            for (TField* f : q->Fields()) {
                std::string name = AsciiLower(f->FieldName());
                std::string v;
                if (name == "datumzap" || name == "datumspre") {
                    EXPECT_TRUE(f->IsNull() || (f->AsDateTime() >= started - 1.0 / 86400 &&
                                                f->AsDateTime() <= now + 1.0 / 86400))
                        << table << "." << name;
                    continue;
                }
                if (f->IsNull()) {
                    v = "NULL";
                } else if (f->DataType() == ftFloat) {
                    char buf[64];
                    std::snprintf(buf, sizeof buf, "%.4f", f->AsFloat());
                    v = buf;
                } else if (f->DataType() == ftDateTime || f->DataType() == ftDate) {
                    v = FormatDateTime("yyyy-mm-dd hh:nn:ss", f->AsDateTime());
                } else {
                    v = f->AsString();
                }
                row += (row.empty() ? "" : "|") + v;
            }
            rows.push_back(row);
        }
        return rows;
    }
    static std::string AsciiLower(std::string s) {
        for (char& ch : s) {
            if (ch >= 'A' && ch <= 'Z') {
                ch = char(ch - 'A' + 'a');
            }
        }
        return s;
    }

    test::TempHome home;
    test::DsnInfo dsn;
    TTransferModule module;
    TRecordingUi ui;
    TTransfer run{module.Components(), ui, SignOn};
    TTransferOptions options;
    TDateTime started = 0;
};

TEST_P(TransferRunTest, InputChecksAndAnEmptyFile) {
    WriteFile({});
    TTransferOptions missing = options;
    missing.Referent.clear();
    EXPECT_EQ(run.Execute(missing), TTransferOutcome::InputsMissing);
    EXPECT_EQ(ui.messages, std::vector<std::string>{kInputsMissingMessage});
    EXPECT_FALSE(C().Database->Connected()) << "signed on before the input check";

    TTransferOptions badDate = options;
    badDate.Datum = "32.13.x";
    try {
        run.Execute(badDate);
        ADD_FAILURE() << "an unreadable date was taken";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'32.13.x' is not a valid date");
    }

    TTransferOptions unknown = options;
    unknown.PoslDog = "1%";
    EXPECT_EQ(run.Execute(unknown), TTransferOutcome::EventUnknown);
    EXPECT_EQ(ui.messages.back(), kUnknownEventMessage);
    EXPECT_FALSE(C().tbNapaka->Exists()) << "the error table was made for a refused run";

    ui.messages.clear();
    EXPECT_EQ(run.Execute(options), TTransferOutcome::Completed);
    EXPECT_EQ(ui.messages, std::vector<std::string>{kCompletedMessage});
    EXPECT_EQ(ui.progress, (std::vector<int>{0, 100}));
    EXPECT_EQ(ui.reports, 0);
    EXPECT_TRUE(C().tbRacPoz->Active());
    EXPECT_TRUE(WorkingRows().empty());
    EXPECT_TRUE(ErrorRows().empty());
    EXPECT_FALSE(C().tbPromet->Active());
    EXPECT_EQ(Count("Promet"), "1");
}

TEST_P(TransferRunTest, TheCheckPhaseLogsEachRecordOnceAndKeepsWholeNames) {
    WriteFile(kRecords);
    EXPECT_EQ(run.Execute(options), TTransferOutcome::ErrorsReported);
    EXPECT_EQ(ui.reported, kErrors);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.progress, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 100, 100}));
    // Payer, customer, article, entry: the invoices' order. The 40-character payer whole.
    EXPECT_EQ(WorkingRows(), (std::vector<std::string>{
                                 kGostilna + "|" + kGostilna + "|ADSL|1.000|20.0000|1004",
                                 "Zavod Sonce|Ana Kranjc|ADSL|1.000|24.0000|1001",
                                 "Zavod Sonce|Ana Kranjc|ADSL|1.000|24.0000|1003",
                                 "Zavod Sonce|Bor Novak|TEL|2.500|12.3456|1002",
                             }));
}

// The control totals of a run with the file's prices and of one priced by the rules, each
// equal to the sums recomputed from the rows the run wrote and from the file, told once at
// the end and kept by the ledger as told. With the file's prices its own quantity × price
// stands beside the lines' value, and their difference (a price of more decimals than a line
// rounds to) is named.
TEST_P(TransferRunTest, ControlTotalsEqualTheDatabaseAndTheFile) {
    auto amount = [&](const std::string& query) {
        const std::string text = OdbcTestEnv::Get().Scalar(dsn, query);
        return Currency::FromDouble(text.empty() ? 0 : std::stold(text));
    };
    for (const bool filePrices : {true, false}) {
        SCOPED_TRACE(filePrices ? "the file's prices" : "priced by the rules");
        const std::string before = OdbcTestEnv::Get().Scalar(dsn, "SELECT MAX(Kljuc) FROM Promet");
        std::vector<std::vector<std::string>> records = kRecords;
        if (!filePrices) {
            for (auto& record : records) {
                record.erase(record.begin() + 3);
            }
        }
        WriteFile(records, filePrices);
        ui.totals.clear();
        EXPECT_EQ(run.Execute(options), TTransferOutcome::ErrorsReported);
        ASSERT_TRUE(run.Totals());
        const TRunTotals t = *run.Totals();
        const std::string written = " WHERE Kljuc > '" + before + "'";
        EXPECT_EQ(t.Read, 8);
        EXPECT_EQ(t.Refused, 4);
        EXPECT_EQ(std::to_string(t.Invoices), Count("Promet" + written));
        EXPECT_EQ(std::to_string(t.Lines), Count("PrometPoz" + written));
        EXPECT_EQ(t.Kolicina, amount("SELECT SUM(Kolicina) FROM PrometPoz" + written));
        EXPECT_EQ(t.Vrednost, amount("SELECT SUM(Vrednost) FROM Promet" + written));
        EXPECT_EQ(t.Davek, amount("SELECT SUM(Davek) FROM Promet" + written));
        EXPECT_EQ(t.ZaPlacilo, amount("SELECT SUM(ZaPlacilo) FROM Promet" + written));
        EXPECT_EQ(t.Kolicina, Currency::FromRaw(55000));
        EXPECT_EQ(ui.totals, ControlTotalsText(t));
        if (filePrices) {
            // 24 + 2,5 × 12,3456 + 24 + 20 by the file; the line of 30,864 is 30,86.
            ASSERT_TRUE(t.FileValue);
            EXPECT_EQ(*t.FileValue, Currency::FromRaw(988640));
            EXPECT_EQ(t.Vrednost, Currency::FromRaw(988600));
            EXPECT_NE(ui.totals.find("; vrednost po datoteki (količina × cena) 98,864, razlika "
                                     "-0,004."),
                      std::string::npos)
                << ui.totals;
        } else {
            EXPECT_FALSE(t.FileValue);
            EXPECT_EQ(ui.totals.find("po datoteki"), std::string::npos) << ui.totals;
        }
        // The ledger's record of the run.
        THdbc db;
        SignOn(db, dsn.dsn);
        const std::optional<TTransferRun> ledger = FindLedgerRun(db, LedgerRuns(db).front().Id);
        ASSERT_TRUE(ledger && ledger->Totals);
        EXPECT_EQ(ControlTotalsText(*ledger->Totals), ui.totals);
    }
}

TEST_P(TransferRunTest, FilePricesEndAtTheFirstUnreadablePrice) {
    std::vector<std::vector<std::string>> records;
    for (int i = 1; i <= 11; ++i) {
        records.push_back({"KRANJC ANA", "ADSL", "1.000",
                           i == 10 ? "abc" : std::to_string(i) + ".5000",
                           std::to_string(2000 + i)});
    }
    WriteFile(records);
    run.Execute(options);
    std::vector<std::string> rows = WorkingRows();
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[8], "Zavod Sonce|Ana Kranjc|ADSL|1.000|9.5000|2009");
    EXPECT_EQ(rows[9], "Zavod Sonce|Ana Kranjc|ADSL|1.000|0.0000|2010");
    EXPECT_EQ(rows[10], "Zavod Sonce|Ana Kranjc|ADSL|1.000|0.0000|2011");
    // The operator is told where the prices stopped and what priced the lines instead.
    EXPECT_EQ(run.Notice(), PricesUnreadableNotice(10, "2010"));
    EXPECT_NE(std::find(ui.messages.begin(), ui.messages.end(), run.Notice()), ui.messages.end());

    // Without the field every row has 0.
    WriteFile({{"KRANJC ANA", "ADSL", "2.000", "3001"}}, false);
    run.Execute(options);
    EXPECT_EQ(WorkingRows(),
              std::vector<std::string>{"Zavod Sonce|Ana Kranjc|ADSL|2.000|0.0000|3001"});
    EXPECT_EQ(run.Notice(), "") << "a file without prices asks for the rules";
}

// An invoice that cannot be written as its records ask is rolled back whole, logged with
// its payer (and the article and cause where pricing failed), and the run goes on with the
// next payer: never an invoice without its payer's terms, at a price of 0 or with totals
// that leave a line out.
TEST_P(TransferRunTest, AnInvoiceThatCannotBeWrittenIsLoggedAndTheRunGoesOn) {
    // The payer renamed between the two phases.
    WriteFile(kRecords);
    ui.onProgress = [&](int percent) {
        if (percent == 100) {
            THstmt s;
            s.SetHdbc(C().Database);
            s.SetSQL("UPDATE Subjekt SET Naziv = 'Zavod Sonce d.o.o.' WHERE Naziv = 'Zavod Sonce'");
            s.Execute();
        }
    };
    EXPECT_EQ(run.Execute(options), TTransferOutcome::ErrorsReported);
    std::vector<std::string> errors = kErrors;
    errors.push_back("1001|Plačnik (Zavod Sonce) ne obstaja !");
    EXPECT_EQ(ui.reported, errors);
    EXPECT_EQ(ui.invoices,
              std::vector<std::string>{"051200042|" + kGostilna + "|1|20.0000|24.0000|committed"});
    EXPECT_EQ(Count("Promet"), "2");
    EXPECT_EQ(Count("PrometPoz"), "1");
    // Its records are refused with it.
    ASSERT_TRUE(run.Totals());
    EXPECT_EQ(run.Totals()->Read, 8);
    EXPECT_EQ(run.Totals()->Refused, 7);
    EXPECT_EQ(run.Totals()->Lines, 1);
    ui.onProgress = nullptr;
    Exec({"UPDATE Subjekt SET Naziv = 'Zavod Sonce' WHERE Naziv = 'Zavod Sonce d.o.o.'",
          "DELETE FROM PrometPoz", "DELETE FROM Promet WHERE Kljuc <> '051200041'"});

    // A total that overflows: the second payer's thirteen lines of about 10^13 each. The
    // first payer's invoice and the next numbers are as without it.
    std::vector<std::vector<std::string>> big = {{"PR FRANCETU", "ADSL", "1.000", "20.0000", "1"}};
    for (int i = 0; i < 100; ++i) {
        big.push_back(
            {"KRANJC ANA", "ADSL", "999999.999", "9999999.9999", std::to_string(100 + i)});
    }
    WriteFile(big);
    ui.reported.clear();
    ui.invoices.clear();
    options.Force = true;
    EXPECT_EQ(run.Execute(options), TTransferOutcome::ErrorsReported);
    ASSERT_EQ(ui.reported.size(), 1u);
    EXPECT_EQ(
        ui.reported[0].rfind("100|Račun za plačnika Zavod Sonce ni zapisan: cene artikla ADSL "
                             "ni mogoče izračunati (",
                             0),
        0u)
        << ui.reported[0];
    EXPECT_EQ(ui.invoices,
              std::vector<std::string>{"051200042|" + kGostilna + "|1|20.0000|24.0000|committed"});
    EXPECT_EQ(Count("PrometPoz"), "1");

    // Parameters without the basis of the amounts: no line can be valued, no invoice is
    // written, each payer has its row.
    Exec({"DELETE FROM PrometPoz", "DELETE FROM Promet WHERE Kljuc <> '051200041'",
          "ALTER TABLE Param DROP COLUMN OsnZaIzrProdCene"});
    WriteFile(kRecords);
    ui.reported.clear();
    ui.invoices.clear();
    EXPECT_EQ(run.Execute(options), TTransferOutcome::ErrorsReported);
    ASSERT_EQ(ui.reported.size(), kErrors.size() + 2) << ::testing::PrintToString(ui.reported);
    EXPECT_EQ(ui.reported[4].rfind("1004|Račun za plačnika " + kGostilna +
                                       " ni zapisan: cene artikla ADSL ni mogoče izračunati (",
                                   0),
              0u)
        << ui.reported[4];
    EXPECT_NE(ui.reported[4].find("OsnZaIzrProdCene"), std::string::npos) << ui.reported[4];
    EXPECT_EQ(ui.reported[5].rfind("1001|Račun za plačnika Zavod Sonce ni zapisan", 0), 0u);
    EXPECT_TRUE(ui.invoices.empty());
    EXPECT_EQ(Count("Promet"), "1");
    EXPECT_EQ(Count("PrometPoz"), "0");
}

// A payer's name longer than the customer table declares (or than any size, where the
// column is unsized) is kept whole: cut, it would find no payer when its invoice is
// written, and the invoice would lose the payer's terms.
TEST_P(TransferRunTest, APayerNameWiderThanItsColumnIsNeverCut) {
    const std::string longName = "Zavod za razvoj širokopasovnih omrežij Gorenjske";
    if (GetParam() == TestDriver::PostgreSQL) {
        Exec({"ALTER TABLE Subjekt ALTER COLUMN Naziv TYPE TEXT",
              "ALTER TABLE Subjekt ALTER COLUMN Placnik TYPE TEXT",
              "ALTER TABLE Promet ALTER COLUMN Prejemnik TYPE TEXT",
              "ALTER TABLE Promet ALTER COLUMN Oseba3 TYPE TEXT",
              "ALTER TABLE PrometPoz ALTER COLUMN Opomba TYPE TEXT"});
    }
    Exec({"UPDATE Subjekt SET Naziv = '" + longName + "' WHERE Naziv = 'Zavod Sonce'",
          "UPDATE Subjekt SET Placnik = '" + longName + "' WHERE Placnik = 'Zavod Sonce'"});
    WriteFile({{"KRANJC ANA", "ADSL", "1.000", "24.0000", "1001"},
               {"ZAVOD SONCE", "ADSL", "1.000", "24.0000", "1002"}});
    EXPECT_EQ(run.Execute(options), TTransferOutcome::Completed);
    ASSERT_EQ(ui.invoices.size(), 1u);
    std::vector<std::string> promet = Rows("Promet", "Kljuc");
    ASSERT_EQ(promet.size(), 2u);
    // The payer's own terms: its price class 3 and 30 days. Where the header's column is
    // declared narrower (SQLite does not enforce it), the header keeps what fits.
    const std::string prejemnik =
        GetParam() == TestDriver::SQLite ? Utf8Left(longName, 40) : longName;
    EXPECT_NE(promet[1].find("|" + prejemnik + "|Ana Kranjc|"), std::string::npos) << promet[1];
    EXPECT_NE(promet[1].find("|3|"), std::string::npos) << promet[1];
    EXPECT_EQ(
        OdbcTestEnv::Get().Scalar(dsn, "SELECT DniZaPlac FROM Promet WHERE Kljuc = '051200042'"),
        "30");
}

// The two invoices of kRecords as whole rows.
std::string Header(const std::string& kljuc, const std::string& referent, const std::string& payer,
                   const std::string& oseba3, const std::string& payerColumns,
                   const std::string& datumVal, const std::string& totals) {
    return kljuc + "|2005-12-20 00:00:00|12|" + referent + "|Omrežje Kranj d.o.o.|" + payer + "|" +
           oseba3 + "|" + payerColumns + "|2005-12-20 00:00:00|" + datumVal + "|EUR|1.0000|N|Y|F|" +
           totals + "|K|JN|JN|0.0000|0.0000|0.0000|0.0000|0.0000|NULL|O";
}
const std::string kAdsl = "Dostop ADSL|mes|1|20.0000";
const std::string kAdslRest = "0.5000|0.2500|0.1250|1.5000|1.1000|2.2000|3.3000|12|12.5000|13.0000|"
                              "24.0000|20.0000|19.4000|20.0000|0.0000|0.0000|0.0000|JN|JN|01";

TEST_P(TransferRunTest, OneInvoicePerPayerWithItsLinesInWholeRows) {
    WriteFile(kRecords);
    EXPECT_EQ(run.Execute(options), TTransferOutcome::ErrorsReported);
    EXPECT_EQ(ui.reported, kErrors);
    EXPECT_EQ(run.Invoices(), 2);
    EXPECT_EQ(ui.invoices,
              (std::vector<std::string>{"051200042|" + kGostilna + "|1|20.0000|24.0000|committed",
                                        "051200043|Zavod Sonce|3|78.8600|91.0800|committed"}));
    // Param.PolniRefIzSubj "T": the payer's clerk, also an empty one. A statement number
    // without a date leaves DatDokum1 NULL; DniZaPlac NULL counts as 0 days.
    std::vector<std::string> promet = Rows("Promet", "Kljuc");
    ASSERT_EQ(promet.size(), 3u);
    EXPECT_EQ(promet[1], Header("051200042", "MK", kGostilna, kGostilna,
                                "1||01|TR|OS|0|IZJ-2005/17|2005-01-15 00:00:00",
                                "2005-12-20 00:00:00", "20.0000|0.0000|24.0000|0.0000|4.0000"));
    EXPECT_EQ(promet[2], Header("051200043", "", "Zavod Sonce", "Ana Kranjc",
                                "3|Oproščeno|02|GO|PO|30|IZJ-7|NULL", "2006-01-19 00:00:00",
                                "78.8600|0.0000|91.0800|0.0000|12.2200"));
    EXPECT_EQ(
        Rows("PrometPoz", "Kljuc, Poz"),
        (std::vector<std::string>{
            "051200042|0|ADSL|1004 - " + kGostilna + "|" + kAdsl + "|1.0000|0.0000|20.0000|" +
                kAdslRest,
            "051200043|0|ADSL|1001 - Ana Kranjc|" + kAdsl + "|1.0000|0.0000|24.0000|" + kAdslRest,
            "051200043|1|ADSL|1003 - Ana Kranjc|" + kAdsl + "|1.0000|0.0000|24.0000|" + kAdslRest,
            "051200043|2|TEL|1002 - Bor Novak|Telefonija|min|2|8.5000|2.5000|0.0000|12.3456|"
            "0.0000|0.0000|0.0000|0.0000|0.0000|0.0000|0.0000|0|0.0000|0.0000|0.0000|0.0000|"
            "0.0000|0.0000|0.0000|0.0000|0.0000|JN|JN|01",
        }));
}

// The run's datasets are opened over no rows, and those that receive the invoices are
// started afresh every so many invoices: a run of many invoices writes every one of them
// whole, numbered on, and leaves the datasets with their designed queries, as a failed run
// does too.
TEST_P(TransferRunTest, ManyInvoicesAreAllWrittenAndTheDataSetsKeepTheirDesigns) {
    const std::string designPromet = C().tbPromet->SQL().Text();
    const std::string designPrometPoz = C().tbPrometPoz->SQL().Text();
    const std::string designSubj2 = C().tbLookSubj2->SQL().Text();
    constexpr int kPayers = 120;
    std::vector<std::string> subjects;
    std::vector<std::vector<std::string>> records;
    for (int i = 0; i < kPayers; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "K%03d", i);
        subjects.push_back(std::string("INSERT INTO Subjekt (Naziv, Naziv2) VALUES ('") + name +
                           "', '" + name + "')");
        records.push_back({name, "ADSL", "1.000", "24.0000", std::to_string(2000 + i)});
        records.push_back({name, "TEL", "2.000", "1.5000", std::to_string(3000 + i)});
    }
    Exec(subjects);
    WriteFile(records);
    EXPECT_EQ(run.Execute(options), TTransferOutcome::Completed);
    EXPECT_EQ(run.Invoices(), kPayers);
    ASSERT_EQ(ui.invoices.size(), static_cast<size_t>(kPayers));
    EXPECT_EQ(ui.invoices.back(), "051200161|K119|2|27.0000|32.0600|committed");
    EXPECT_EQ(Count("Promet"), std::to_string(kPayers + 1));
    std::vector<std::string> lines = Rows("PrometPoz", "Kljuc, Poz");
    ASSERT_EQ(lines.size(), static_cast<size_t>(2 * kPayers));
    EXPECT_EQ(lines.back().substr(0, 33), "051200161|1|TEL|3119 - K119|Telef");
    EXPECT_EQ(C().tbPromet->SQL().Text(), designPromet);
    EXPECT_EQ(C().tbPrometPoz->SQL().Text(), designPrometPoz);
    EXPECT_EQ(C().tbLookSubj2->SQL().Text(), designSubj2);

    // A run that fails inside an invoice gives the designs back as well: from the second
    // invoice on the database refuses every header.
    ui.afterInvoice = [&] {
        ui.afterInvoice = nullptr;
        THstmt s;
        s.SetHdbc(C().Database);
        s.SetSQL(GetParam() == TestDriver::SQLite
                     ? "CREATE TRIGGER zen_refuse BEFORE INSERT ON Promet BEGIN SELECT "
                       "RAISE(ABORT, 'zavrnjeno'); END"
                     : "ALTER TABLE Promet ADD CONSTRAINT zen_refuse CHECK (false) NOT VALID");
        s.Execute();
        C().Database->Commit();
    };
    options.Force = true;
    EXPECT_THROW(run.Execute(options), EODBC);
    EXPECT_EQ(C().tbPromet->SQL().Text(), designPromet);
    EXPECT_EQ(C().tbPrometPoz->SQL().Text(), designPrometPoz);
    EXPECT_EQ(C().tbLookSubj2->SQL().Text(), designSubj2);
}

TEST_P(TransferRunTest, ADryRunLeavesTheDatabaseAsItWas) {
    WriteFile(kRecords);
    const std::vector<std::string> before = Rows("Promet", "Kljuc");
    options.PoslDog = "5"; // a one-character event keeps its blank in the key
    options.Check = true;
    EXPECT_EQ(run.Execute(options), TTransferOutcome::ErrorsReported);
    EXPECT_EQ(ui.invoices,
              (std::vector<std::string>{"055 00001|" + kGostilna + "|1|20.0000|24.0000|rolled back",
                                        "055 00002|Zavod Sonce|3|78.8600|91.0800|rolled back"}));
    EXPECT_EQ(Rows("Promet", "Kljuc"), before);
    EXPECT_EQ(Count("PrometPoz"), "0");
    // Nothing in the journal: the real run is not asked about it.
    options.Check = false;
    EXPECT_EQ(run.Execute(options), TTransferOutcome::ErrorsReported);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(Count("Promet"), "3");
}

// Another program adds documents to the series while the run goes on: during the check
// phase (after the run began), and between two groups of invoices with the very key the run
// would have taken next. The run's numbers move past them; it neither stops nor leaves a gap.
TEST_P(TransferRunTest, AnotherWriterInTheSeriesShiftsTheNumbersAndStopsNothing) {
    // Fifty-one invoices: the first group holds fifty.
    std::vector<std::vector<std::string>> records = kRecords;
    std::vector<std::string> subjects;
    for (int i = 0; i < 49; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "K%03d", i);
        subjects.push_back(std::string("INSERT INTO Subjekt (Naziv, Naziv2) VALUES ('") + name +
                           "', '" + name + "')");
        records.push_back({name, "ADSL", "1.000", "24.0000", std::to_string(2000 + i)});
    }
    Exec(subjects);
    WriteFile(records);
    // The other program writes through a connection of its own while the run's check phase
    // reads. SQLite lets a writer commit beside a reader with a write-ahead log, as an
    // accounting database that others use at once would have it.
    if (GetParam() == TestDriver::SQLite) {
        Exec({"PRAGMA journal_mode=WAL"});
    }
    std::string duringError = "not run";
    ui.onProgress = [&](int percent) {
        if (percent >= 50 && duringError == "not run") {
            try {
                Exec({"INSERT INTO Promet (Kljuc) VALUES ('051200042')"});
                duringError.clear();
            } catch (const std::exception& e) {
                duringError = e.what();
            }
        }
    };
    bool between = false;
    ui.afterInvoice = [&] {
        if (!between) {
            between = true;
            Exec({"INSERT INTO Promet (Kljuc, Opomba) VALUES ('051200093', 'drugi program')"});
        }
    };
    EXPECT_EQ(run.Execute(options), TTransferOutcome::ErrorsReported);
    EXPECT_EQ(duringError, "");
    EXPECT_EQ(run.Invoices(), 51);
    std::vector<std::string> promet = Rows("Promet", "Kljuc");
    ASSERT_EQ(promet.size(), 54u);
    // 41 was there before; 42 and 93 are the other program's, 43 to 92 and 94 the run's.
    for (int i = 0; i < 54; ++i) {
        EXPECT_EQ(promet[size_t(i)].substr(0, 9), "0512000" + std::to_string(41 + i))
            << promet[size_t(i)];
    }
    EXPECT_EQ(OdbcTestEnv::Get().Scalar(
                  dsn, "SELECT COUNT(*) FROM PrometPoz WHERE Kljuc IN ('051200042', '051200093')"),
              "0");
    EXPECT_EQ(Count("PrometPoz"), "53");
    EXPECT_EQ(ui.invoices.front().substr(0, 9), "051200043");
    EXPECT_EQ(ui.invoices.back().substr(0, 9), "051200094");
    EXPECT_TRUE(C().Database->AutoCommit());
    if (GetParam() == TestDriver::SQLite) {
        C().Database->Disconnect();
        Exec({"PRAGMA journal_mode=DELETE"});
    }
}

// A lookup that fails by an error ends the run with that error, which is the one in the
// exception log: no existing business event, customer, payer or article is reported as
// unknown, and no report is shown.
TEST_P(TransferRunTest, ALookupThatFailsEndsTheRunWithItsErrorNotAMissingRecord) {
    WriteFile(kRecords);
    auto raised = [&]() -> std::string {
        try {
            run.Execute(options);
            ADD_FAILURE() << "the run ended normally";
        } catch (const std::exception& e) {
            return e.what();
        }
        return {};
    };
    auto lastLookupError = [] {
        std::string error;
        for (const test::LogRow& row : test::ReadExceptionLog()) {
            if (row.operation == "sqlFindKey") {
                error = row.error;
            }
        }
        return error;
    };

    // A query the server refuses: "WHERE" inside a name cuts the business event's query.
    // ("5" is not the first row, which would be found without a query.)
    options.PoslDog = "5";
    C().tbLookPoslDog->SetSQL(
        {"SELECT PoslDog, Izdajatelj AS NOWHERE FROM PoslDog ", "ORDER BY POSLDOG "});
    std::string text = raised();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(lastLookupError(), text.substr(0, lastLookupError().size()));
    EXPECT_TRUE(ui.messages.empty()) << ui.messages[0];
    EXPECT_FALSE(C().tbNapaka->Exists()) << "the error table was made for a failed event check";
    C().tbLookPoslDog->SetSQL({"SELECT * FROM PoslDog ", "ORDER BY POSLDOG "});

    // The database goes away after the first record: on PostgreSQL the run's server
    // process is ended, on SQLite the customer table is renamed under the run (on the
    // run's own connection, since its open datasets keep others from writing).
    auto onRunConnection = [&](const char* sql) {
        THstmt s;
        s.SetHdbc(C().Database);
        s.SetSQL(sql);
        s.Execute();
    };
    ui.onProgress = [&](int percent) {
        if (percent == 0) {
            return;
        }
        ui.onProgress = nullptr;
        if (GetParam() == TestDriver::PostgreSQL) {
            const std::string db = OdbcTestEnv::Get().Scalar(dsn, "SELECT current_database()");
            OdbcTestEnv::Get().Scalar(OdbcTestEnv::Get().PostgresAdmin(),
                                      "SELECT COUNT(pg_terminate_backend(pid)) FROM "
                                      "pg_stat_activity WHERE datname = '" +
                                          db + "'");
        } else {
            onRunConnection("ALTER TABLE Subjekt RENAME TO SubjektStaro");
        }
    };
    text = raised();
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(lastLookupError(), text.substr(0, lastLookupError().size()));
    EXPECT_EQ(ui.progress.back(), 12) << "the run went on after the failed lookup";
    EXPECT_TRUE(ErrorRows().empty());
    EXPECT_EQ(WorkingRows(),
              std::vector<std::string>{"Zavod Sonce|Ana Kranjc|ADSL|1.000|24.0000|1001"});
    EXPECT_EQ(ui.reports, 0);
    EXPECT_TRUE(ui.messages.empty());
    // The renaming was part of the check phase's transaction, which the failure rolled back.
    if (GetParam() == TestDriver::SQLite) {
        EXPECT_EQ(OdbcTestEnv::Get().Scalar(
                      dsn, "SELECT COUNT(*) FROM sqlite_master WHERE name = 'SubjektStaro'"),
                  "0");
    }
}

INSTANTIATE_TEST_SUITE_P(Drivers, TransferRunTest, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen
