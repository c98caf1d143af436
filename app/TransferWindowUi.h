#pragma once
// How a transfer run started from the main window speaks: modal message boxes, the
// window's progress bar, a yes/no box whose default is No, and the error report's preview.

#include "app/RunSummary.h"
#include "transfer/TransferUi.h"

class QProgressBar;
class QWidget;

namespace zen {

class TTransferWindowUi : public TTransferUi {
public:
    TTransferWindowUi(QWidget* window, QProgressBar* progressBar)
        : window_(window), progressBar_(progressBar) {}

    void Message(const std::string& text) override;
    void Progress(int percent) override;
    bool AskRepeat(const std::string& question) override;
    // With a stopped run of the file, "Nadaljuj" beside Yes and No (No the default).
    TRepeatAnswer AskRepeatOrResume(const std::string& question, bool canResume) override;
    // The report made at program start (TNapaka::Instance()); without one the rows still
    // reach the operator, as a message.
    void ShowErrors(TTable& tbNapaka) override;
    // Kept for the end message or the report, which carry it.
    void Notice(const std::string& text) override { notice_ = text; }
    // Counted for the line the window shows after the run.
    void InvoiceWritten(const TInvoiceSummary& invoice) override;

    // What the run did so far: the invoices committed and the records that failed.
    const TRunSummary& Summary() const { return summary_; }

private:
    TRunSummary summary_;
    std::string notice_;
    QWidget* window_;
    QProgressBar* progressBar_;
};

} // namespace zen
