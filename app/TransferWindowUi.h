#pragma once
// How a transfer run started from the main window speaks: modal message boxes, the
// window's progress bar, a yes/no box whose default is No, and the error report's preview.

#include "app/RunSummary.h"
#include "report/NapakaLayout.h"
#include "transfer/TransferUi.h"

#include <vector>

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
    // Kept for the end message or the report, which carry them after the rest.
    void Totals(const std::string& text) override { totals_ = text; }
    // Counted for the line the window shows after the run.
    void InvoiceWritten(const TInvoiceSummary& invoice) override;

    // What the run did so far: the invoices committed and the records that failed.
    const TRunSummary& Summary() const { return summary_; }
    // Keeps every invoice the run commits, for Written(); a run of a million records need
    // not keep them otherwise.
    void KeepInvoices() { keep_ = true; }
    // The invoices it committed, in order, when kept, and the error rows it reported.
    const std::vector<TInvoiceSummary>& Written() const { return written_; }
    const std::vector<TNapakaRow>& Errors() const { return errors_; }

protected:
    TRunSummary summary_;
    std::string notice_;
    std::string totals_;
    std::vector<TInvoiceSummary> written_;
    std::vector<TNapakaRow> errors_;
    bool keep_ = false;
    QWidget* window_;
    QProgressBar* progressBar_;
};

// How the window's dry run ("Preizkus") speaks: as a real run, but the end message and the
// error report are left to the preview that follows, which shows them with the invoices
// the run rolled back; those it keeps.
class TPreviewRunUi : public TTransferWindowUi {
public:
    TPreviewRunUi(QWidget* window, QProgressBar* progressBar)
        : TTransferWindowUi(window, progressBar) {
        keep_ = true;
    }

    void Message(const std::string& text) override;
    void ShowErrors(TTable& tbNapaka) override;
    void InvoiceWritten(const TInvoiceSummary& invoice) override;

    // What the run told beside its errors, and its control totals, kept for the preview.
    const std::string& NoticeText() const { return notice_; }
    const std::string& TotalsText() const { return totals_; }
};

} // namespace zen
