#pragma once
// "Predogled prenosa": what the dry run ("Preizkus") would write. One row per invoice (the
// number it would get, payer, customers, lines, value, VAT, payable) and a totals row; the
// lines of the invoice selected; the records that would fail, with their reasons, on a
// second tab; above them the inputs and whether the file's prices or Tevrin's rules price
// the lines. "Zapiši" closes it accepted (the window then runs the transfer), "Zapri"
// rejected; "Izvozi…" saves it as a PDF or CSV file.

#include "app/TransferPreview.h"

#include <QDialog>
#include <filesystem>

class QLabel;
class QPushButton;
class QTabWidget;
class QTableWidget;

namespace zen {

class TPreviewDialog : public QDialog {
    Q_OBJECT
public:
    explicit TPreviewDialog(TTransferPreview preview, QWidget* parent = nullptr);

    const TTransferPreview& Preview() const { return preview_; }
    QLabel* InputsLabel() const { return inputs_; }
    QLabel* PricingLabel() const { return pricing_; }
    QLabel* NoticeLabel() const { return notice_; }
    QLabel* TotalsLabel() const { return totals_; }
    QTabWidget* Tabs() const { return tabs_; }
    // One row per invoice, then the totals row.
    QTableWidget* InvoiceTable() const { return invoices_; }
    // The lines of the invoice selected.
    QTableWidget* LineTable() const { return lines_; }
    QTableWidget* ErrorTable() const { return errors_; }
    QPushButton* WriteButton() const { return write_; }
    QPushButton* CloseButton() const { return close_; }
    QPushButton* ExportButton() const { return export_; }

    // Writes the preview to `file`: CSV when its name ends in ".csv", else PDF. A file that
    // cannot be written is told in a message box; false then.
    bool Export(const std::filesystem::path& file);

private:
    void ShowLinesOfSelected();
    void AskExport();

    TTransferPreview preview_;
    QLabel* inputs_;
    QLabel* pricing_;
    QLabel* notice_;
    QLabel* totals_;
    QTabWidget* tabs_;
    QTableWidget* invoices_;
    QTableWidget* lines_;
    QTableWidget* errors_;
    QPushButton* write_;
    QPushButton* close_;
    QPushButton* export_;
};

} // namespace zen
