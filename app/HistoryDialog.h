#pragma once
// "Zgodovina prenosov": the journal's runs, newest first, with the invoices of the one
// selected, from which the operator undoes a run ("Razveljavi prenos") or goes on with one
// that stopped ("Nadaljuj", which the main window then runs as a resumed transfer).

#include "transfer/TransferJournal.h"
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
    // `database`: the window's connection, on which an undo signs on with `signOn` (the
    // window's, which asks for a login the database refuses, as "Prenos" does).
    THistoryDialog(THdbc& database, TSignOnProc signOn, QWidget* parent = nullptr);

    // After the dialog closed by "Nadaljuj": the run to go on with.
    const std::optional<TTransferRun>& ResumeRequest() const { return resume_; }

    QTableWidget* Runs() const { return runs_; }
    QTableWidget* InvoicesOfRun() const { return invoices_; }
    QPushButton* UndoButton() const { return undo_; }
    QPushButton* ResumeButton() const { return resumeButton_; }

    // Reads the journal again and shows its runs.
    void Reload();

private:
    void ShowSelected();
    void UndoSelected();
    const TTransferRun* Selected() const;

    THdbc& database_;
    TSignOnProc signOn_;
    std::vector<TTransferRun> list_;
    bool runningNow_ = false;
    QTableWidget* runs_;
    QTableWidget* invoices_;
    QPushButton* undo_;
    QPushButton* resumeButton_;
    std::optional<TTransferRun> resume_;
};

} // namespace zen
