#include "FaultFixture.h"

#include "dbutil/StdProc.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "toolkit/Field.h"
#include "transfer/Numbering.h"

#include <cstdio>

namespace zen::test {

void TFaultUi::Progress(int percent) {
    progress.push_back(percent);
    if (percent > 0 && onCheckPhase) {
        auto call = std::move(onCheckPhase);
        onCheckPhase = nullptr;
        call();
    }
    if (onProgress) {
        onProgress(percent);
    }
}

void TFaultUi::ShowErrors(TTable& t) {
    for (; !t.Eof(); t.Next()) {
        errors.push_back(t.FieldByName("StRac")->AsString() + "|" +
                         t.FieldByName("Napaka")->AsString());
    }
}

void TFaultUi::InvoiceWritten(const TInvoiceSummary& invoice) {
    invoices.push_back(invoice.Kljuc);
    if (afterInvoice) {
        afterInvoice(invoices.size());
    }
}

std::string Key(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "2612%05d", n);
    return buf;
}

std::string TotalsLine(const std::string& output) {
    const size_t at = output.find("Kontrolni seštevki: ");
    return at == std::string::npos ? std::string() : output.substr(at, output.find('\n', at) - at);
}

void FaultFixture::SetUp() {
    ZEN_REQUIRE_DRIVER(GetParam());
    dsn = OdbcTestEnv::Get().Dsn(GetParam());
    if (!dsn.user.empty()) {
        StoreSqlLogin(dsn.user, dsn.password);
    }
    options.PoslDog = "12";
    options.Referent = "JN";
    options.Datum = DateToStr(EncodeDate(2026, 12, 20));
    options.DataSource = dsn.dsn;
    options.Path = (home.Path() / "Prenos.dbf").string();
}

void FaultFixture::ResetDatabase(int payers) {
    module.reset(); // its connection would keep a SQLite file busy
    OdbcTestEnv::Get().LoadSchema(GetParam());
    std::vector<std::string> sql = {
        "INSERT INTO Param (Id, RoundT, PolniRefIzSubj, NasaValuta, NacIzrRabata, "
        "OsnZaIzrProdCene) VALUES (1, 0.01, 'T', 'EUR', 'S', 'N')",
        "INSERT INTO PoslDog VALUES ('12', 'Računi', 'Omrežje Kranj d.o.o.')",
        "INSERT INTO TarSt VALUES ('1', 'Splošna', 20)",
        "INSERT INTO Ms (Ident, Naziv, EM, TS) VALUES ('ADSL', 'Dostop ADSL', 'mes', '1')",
    };
    for (int i = 1; i <= payers; ++i) {
        char name[32], key[16];
        std::snprintf(name, sizeof name, "Plačnik %03d", i);
        std::snprintf(key, sizeof key, "P%03d", i);
        sql.push_back("INSERT INTO Subjekt (Naziv, Naziv2) VALUES (" + SqlQuoted(name) + ", " +
                      SqlQuoted(key) + ")");
    }
    Exec(sql);
}

void FaultFixture::WriteFile(int payers) {
    std::vector<std::vector<std::string>> records;
    for (int i = 1; i <= payers; ++i) {
        char key[16];
        std::snprintf(key, sizeof key, "P%03d", i);
        records.push_back({key, "ADSL", "1.000", "10.0000", std::to_string(i) + "a"});
        records.push_back({key, "ADSL", "2.000", "5.0000", std::to_string(i) + "b"});
    }
    WriteDbf(options.Path, TransferColumns(), records);
}

std::string FaultFixture::Run(std::function<void(size_t)> afterInvoice) {
    module = std::make_unique<TTransferModule>();
    ui = std::make_unique<TFaultUi>();
    ui->afterInvoice = std::move(afterInvoice);
    TTransfer run(module->Components(), *ui, SignOn);
    std::string error;
    try {
        outcome = run.Execute(options);
    } catch (const std::exception& e) {
        error = e.what();
    }
    written = run.Invoices();
    return error;
}

std::string FaultFixture::Invoices() {
    return Scalar("SELECT COUNT(*) FROM Promet") + "/" + Scalar("SELECT COUNT(*) FROM PrometPoz");
}

std::string FaultFixture::PartialInvoices() {
    return Scalar("SELECT COUNT(*) FROM Promet p WHERE (SELECT COUNT(*) FROM PrometPoz l WHERE "
                  "l.Kljuc = p.Kljuc) <> 2") +
           " headers without their lines, " +
           Scalar("SELECT COUNT(*) FROM PrometPoz l WHERE NOT EXISTS (SELECT 1 FROM Promet p "
                  "WHERE p.Kljuc = l.Kljuc)") +
           " lines without a header";
}

std::unique_ptr<THdbc> FaultFixture::Connect() {
    auto db = std::make_unique<THdbc>();
    db->SetDataSource(dsn.dsn);
    db->SetUserName(dsn.user);
    db->SetPassword(dsn.password);
    db->Connect();
    return db;
}

std::vector<TTransferRun> FaultFixture::LedgerRuns(const std::string& hash) {
    auto db = Connect();
    return LedgerExists(*db) ? LedgerRunsOfFile(*db, hash) : std::vector<TTransferRun>{};
}

std::vector<std::string> FaultFixture::LedgerKeys(const std::string& hash) {
    auto db = Connect();
    std::vector<std::string> keys;
    for (const TTransferRun& run : LedgerRuns(hash)) {
        for (const TLedgerInvoice& i : LedgerInvoices(*db, run.Id)) {
            keys.push_back(i.Kljuc);
        }
    }
    return keys;
}

} // namespace zen::test
