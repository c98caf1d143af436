#pragma once
// "Zgodovina prenosov": the runs of the ledger of the window's database, newest first, with
// the invoices of the one selected, from which the operator undoes a run ("Razveljavi
// prenos") or goes on with one that stopped ("Nadaljuj", which the main window then runs as
// a resumed transfer). It signs on as "Prenos" does.

#include "transfer/Ledger.h"
#include "transfer/TransferRun.h"

#include <QDialog>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace zen {

class THdbc;

class THistoryDialog : public QDialog {
    Q_OBJECT
public:
    // `database`: the window's connection, signed on to `dataSource` by `signOn` for the
    // list and for an undo.
    THistoryDialog(THdbc& database, const std::string& dataSource, TSignOnProc signOn,
                   QWidget* parent = nullptr);

    // After the dialog closed by "Nadaljuj": the run to go on with.
    const std::optional<TTransferRun>& ResumeRequest() const { return resume_; }

    QTableWidget* Runs() const { return runs_; }
    QTableWidget* InvoicesOfRun() const { return invoices_; }
    // The control totals of the run selected.
    QLabel* TotalsOfRun() const { return totals_; }
    QPushButton* UndoButton() const { return undo_; }
    QPushButton* ResumeButton() const { return resumeButton_; }

    // Reads the ledger again and shows its runs; a failure to read it is shown instead.
    void Reload();
    const std::string& DataSource() const { return dataSource_; }

private:
    void ShowSelected();
    void UndoSelected();
    const TTransferRun* Selected() const;

    THdbc& database_;
    std::string dataSource_;
    TSignOnProc signOn_;
    std::vector<TTransferRun> list_;
    std::vector<std::vector<TLedgerInvoice>> invoicesOf_;
    QTableWidget* runs_;
    QTableWidget* invoices_;
    QLabel* totals_;
    QPushButton* undo_;
    QPushButton* resumeButton_;
    std::optional<TTransferRun> resume_;
};

} // namespace zen
