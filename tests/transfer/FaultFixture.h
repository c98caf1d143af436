#pragma once
// A transfer run under faults, on both drivers: a small Tevrin database of payers who pay
// for themselves, a transfer file of two records per payer (so every whole invoice has two
// lines), and a run made afresh for each attempt, as a new start of the program would.

#include "TransferFile.h"
#include "app/SignOn.h"
#include "support/OdbcTestEnv.h"
#include "support/TestSupport.h"
#include "transfer/Ledger.h"
#include "transfer/TransferJournal.h"
#include "transfer/TransferRun.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zen::test {

// Says nothing to anyone; keeps what the run said and lets a test act at a given moment.
class TFaultUi : public TTransferUi {
public:
    void Message(const std::string& text) override { messages.push_back(text); }
    void Progress(int percent) override;
    bool AskRepeat(const std::string& question) override {
        questions.push_back(question);
        return false;
    }
    void ShowErrors(TTable& tbNapaka) override;
    void InvoiceWritten(const TInvoiceSummary& invoice) override;

    std::vector<std::string> messages, questions, errors, invoices;
    std::vector<int> progress;
    // Called once, at the first progress above 0 (the check phase is under way).
    std::function<void()> onCheckPhase;
    // Called at every progress.
    std::function<void(int)> onProgress;
    // Called after each invoice with the count so far.
    std::function<void(size_t)> afterInvoice;
};

class FaultFixture : public ::testing::TestWithParam<TestDriver> {
protected:
    void SetUp() override;

    // Loads the schema (the ledger goes with it) and `payers` payers ("Plačnik 001", second
    // name "P001", ...).
    void ResetDatabase(int payers);
    // The transfer file of two records for each of the first `payers` payers.
    void WriteFile(int payers);
    // One run on a fresh set of the run's objects, `afterInvoice` called as each invoice is
    // told; the exception's text, or "" when it ended normally (its outcome then in
    // `outcome`). The invoices it says it wrote go to `written`.
    std::string Run(std::function<void(size_t)> afterInvoice = {});

    std::string Scalar(const std::string& query) { return OdbcTestEnv::Get().Scalar(dsn, query); }
    void Exec(const std::vector<std::string>& sql) { OdbcTestEnv::Get().Exec(dsn, sql); }
    // "headers/lines" in the database.
    std::string Invoices();
    // How many invoices are not whole: headers without their two lines, lines without a
    // header. kWhole when there are none.
    std::string PartialInvoices();
    static constexpr const char* kWhole = "0 headers without their lines, 0 lines without a header";
    // A connection of the test's own to its data source.
    std::unique_ptr<THdbc> Connect();
    // The ledger's runs of the file with this content hash that booked invoices, and their
    // invoices' keys in order.
    std::vector<TTransferRun> LedgerRuns(const std::string& hash);
    std::vector<std::string> LedgerKeys(const std::string& hash);

    TempHome home;
    DsnInfo dsn;
    TTransferOptions options;
    std::unique_ptr<TTransferModule> module;
    std::unique_ptr<TFaultUi> ui;
    TTransferOutcome outcome = TTransferOutcome::InputsMissing;
    int written = 0;
};

// The document key of the n-th invoice of a run dated 20. 12. 2026 into an empty Promet.
std::string Key(int n);

// The line of control totals in a run's output, without its end; "" when there is none.
std::string TotalsLine(const std::string& output);

} // namespace zen::test
