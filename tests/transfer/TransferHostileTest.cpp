// Transfer files whose texts are hostile, on both drivers: quotes, LIKE wildcards,
// semicolons, SQL fragments, ODBC escapes, backslashes, control characters, bytes that are
// no Windows-1250 character and texts longer than every field. Each record is transferred
// with its text intact (cut only to its column) or reported in the error table; no text is
// ever run as SQL.

#include "FaultFixture.h"

#include "dbutil/StdProc.h"
#include "support/TestSupport.h"
#include "toolkit/Text.h"

#include <fstream>
#include <gtest/gtest.h>

namespace zen::test {
namespace {

static auto* const odbcEnv = RegisterOdbcTestEnv();

// Customers who pay for themselves: second name (the file's key) and name.
const std::vector<std::pair<std::string, std::string>> kCustomers = {
    {"O'REILLY \"Q\" 100% A_B;", "O'Reilly \"Q\" 100% a_b; d.o.o."},
    {"'; DROP TABLE Promet; --", "'); DROP TABLE PrometPoz; --"},
    {"C:\\TEMP\\'X' {fn NOW()} ?", "Pot C:\\TEMP\\'X' {fn NOW()} ? :a $1"},
    {"TAB\tCTRL\x01\x1F", "Tab\tctrl\x01\x1F d.o.o."},
    {"ANNA", "Anna"},
};

using TransferHostileTest = FaultFixture;

TEST_P(TransferHostileTest, HostileTextsAreDataAndNeverSql) {
    ResetDatabase(0);
    std::vector<std::string> sql;
    for (const auto& [key, name] : kCustomers) {
        sql.push_back("INSERT INTO Subjekt (Naziv, Naziv2) VALUES (" + SqlQuoted(name) + ", " +
                      SqlQuoted(key) + ")");
    }
    Exec(sql);
    // Wider than the working and error tables: STRANKA 80, STRAC 20 characters.
    const std::vector<TDbfColumn> columns = {{"STRANKA", 'C', 80},
                                             {"ARTIKEL", 'C', 16},
                                             {"KOLICINA", 'N', 10, 3},
                                             {"CENA", 'N', 12, 4},
                                             {"STRAC", 'C', 20}};
    std::string longName = "Q'";
    for (int i = 0; i < 60; ++i) {
        longName += "Š";
    }
    longName += "; --";
    const std::string longStRac = "R'1;%_\"\\-Ž-012345678"; // the file's whole 20
    struct TRecord {
        std::string stranka, artikel, stRac;
        std::string error; // "" when the record is transferred
    };
    const std::vector<TRecord> records = {
        {kCustomers[0].first, "ADSL", "1'--", ""},
        {kCustomers[1].first, "ADSL", "2;%_", ""},
        {kCustomers[2].first, "ADSL", "3\"\\{?}", ""},
        {kCustomers[3].first, "ADSL", longStRac, ""},
        {"A_NA", "ADSL", "5", "Stranka (A_NA) ne obstaja !"},
        {"%", "ADSL", "6", "Stranka (%) ne obstaja !"},
        {"X' OR '1'='1", "ADSL", "7", "Stranka (X' OR '1'='1) ne obstaja !"},
        {"'; DELETE FROM Subjekt; --", "ADSL", "8'",
         "Stranka ('; DELETE FROM Subjekt; --) ne obstaja !"},
        {"ANNA", "AD'SL%_", "9", "Artikel (AD'SL%_) ne obstaja !"},
        {longName, "ADSL", "10", "Stranka (" + longName + ") ne obstaja !"},
    };
    std::vector<std::vector<std::string>> rows;
    for (const TRecord& r : records) {
        rows.push_back({r.stranka, r.artikel, "1.000", "2.0000", r.stRac});
    }
    WriteDbf(options.Path, columns, rows);

    EXPECT_EQ(Run(), "");
    EXPECT_EQ(outcome, TTransferOutcome::ErrorsReported);
    std::vector<std::string> errors;
    for (const TRecord& r : records) {
        if (!r.error.empty()) {
            errors.push_back(Utf8Left(r.stRac, 10) + "|" + Utf8Left(r.error, 50));
        }
    }
    EXPECT_EQ(ui->errors, errors);
    // Every table still there with its rows, and each transferred text as it was.
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Subjekt"), "5");
    EXPECT_EQ(Invoices(), "4/4");
    for (size_t i = 0; i < 4; ++i) {
        const std::string& name = kCustomers[i].second;
        const std::string opomba = Utf8Left(records[i].stRac, 10) + " - " + name;
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM PrometPoz WHERE Opomba = " + SqlQuoted(opomba)), "1")
            << opomba;
        EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Promet WHERE Prejemnik = " + SqlQuoted(name) +
                         " AND Oseba3 = " + SqlQuoted(name)),
                  "1")
            << name;
    }
}

// A byte that is no Windows-1250 character spoils its own record only: the record is
// reported, the others are transferred.
TEST_P(TransferHostileTest, AnUndecodableRecordIsReportedAndTheRestTransferred) {
    ResetDatabase(2);
    WriteDbf(options.Path, TransferColumns(),
             {{"P001", "ADSL", "1.000", "1.0000", "1"},
              {"P@@1", "ADSL", "1.000", "1.0000", "2"},
              {"P002", "AD@@", "1.000", "1.0000", "3"},
              {"P002", "ADSL", "1.000", "1.0000", "4@@"}});
    std::string bytes = ReadFileBytes(options.Path);
    for (size_t at; (at = bytes.find("@@")) != std::string::npos;) {
        bytes.replace(at, 2, "\x98\x81"); // undefined in Windows-1250
    }
    std::ofstream(options.Path, std::ios::binary | std::ios::trunc) << bytes;

    EXPECT_EQ(Run(), "");
    EXPECT_EQ(outcome, TTransferOutcome::ErrorsReported);
    EXPECT_EQ(ui->errors, (std::vector<std::string>{"2|Zapis 2: polje STRANKA ni berljivo !",
                                                    "3|Zapis 3: polje ARTIKEL ni berljivo !",
                                                    "|Zapis 4: polje STRAC ni berljivo !"}));
    EXPECT_EQ(Invoices(), "1/1");
}

INSTANTIATE_TEST_SUITE_P(Drivers, TransferHostileTest, ::testing::ValuesIn(OdbcTestEnv::Drivers()),
                         [](const auto& info) { return OdbcTestEnv::Label(info.param); });

} // namespace
} // namespace zen::test
