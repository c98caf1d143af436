#pragma once
// `zendrato --transfer`: the transfer run of "Prenos" without a window, for a nightly job
// or a terminal. The run is the window's own (TTransfer over the objects of
// CreateTransferComponents); only how it speaks differs: progress on stderr, the control
// totals and the final message or the error rows on stdout, and the exit status.

#include "app/CommandLine.h"
#include "report/NapakaLayout.h"
#include "transfer/TransferUi.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace zen {

// The run's interface on a terminal. Progress goes to `err`: a bar redrawn in place when
// `err` is a terminal, else a line each time another tenth is done. Messages go to `err`,
// except "Dodajanje zaključeno !": that and the error rows are the run's result, which the
// caller prints on `out` once the run is over. A second transfer
// of a known file is refused (the caller forces it with --force). Invoices are listed as
// they are written: on `out` in a dry run, whose result they are, else on `err`.
class TBatchTransferUi : public TTransferUi {
public:
    TBatchTransferUi(std::ostream& out, std::ostream& err, bool terminal, bool dryRun)
        : out_(out), err_(err), terminal_(terminal), dryRun_(dryRun) {}

    void Message(const std::string& text) override;
    void Progress(int percent) override;
    bool AskRepeat(const std::string& question) override;
    TRepeatAnswer AskRepeatOrResume(const std::string& question, bool canResume) override;
    void ShowErrors(TTable& tbNapaka) override;
    void InvoiceWritten(const TInvoiceSummary& invoice) override;
    void Notice(const std::string& text) override;
    void Totals(const std::string& text) override { totals_ = text; }

    // Ends a progress bar's line, so that what follows starts on a line of its own.
    void EndProgress();
    // Whether the run ended with "Dodajanje zaključeno !".
    bool Completed() const { return completed_; }
    const std::vector<TNapakaRow>& Errors() const { return errors_; }
    // What the run told beside its errors (the file's prices unreadable); empty for none.
    const std::string& NoticeText() const { return notice_; }
    // The run's control totals as told at its end; empty before.
    const std::string& TotalsText() const { return totals_; }
    int Invoices() const { return invoices_; }

private:
    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    bool dryRun_;
    int shown_ = -1;       // the last percentage drawn
    bool barOpen_ = false; // a bar is drawn and its line not ended
    int invoices_ = 0;
    bool completed_ = false;
    std::vector<TNapakaRow> errors_;
    std::string notice_;
    std::string totals_;
};

// Whether the error report asked for is a CSV file (its name ends in ".csv", in any case)
// rather than a PDF.
bool IsCsvReport(const std::string& file);

// Runs the transfer. Options not given are taken from the settings file as the window
// restores them. Returns the exit status: 0 when no record failed, 1 when errors were
// logged (the good records are transferred all the same), 2 when the run ended by a
// message or an exception (its text on `err`), when a known file was refused, or when the
// error report could not be written. Needs a QCoreApplication, and a QGuiApplication when
// a PDF report is asked for.
int RunBatchTransfer(const TTransferArgs& args, std::ostream& out, std::ostream& err,
                     bool terminal);

} // namespace zen
