#include "app/PreviewDialog.h"

#include "app/BatchTransfer.h"
#include "app/ListTable.h"
#include "app/ZenApplication.h"

#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace zen {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

QStringList Texts(const std::vector<std::string>& texts) {
    QStringList list;
    for (const std::string& text : texts) {
        list << Q(text);
    }
    return list;
}

// A row of cells, the amounts (from `firstAmount` on) to the right.
void FillRow(QTableWidget* table, int row, const std::vector<std::string>& cells,
             size_t firstAmount) {
    SetListRow(table, row, Texts(cells));
    for (size_t c = firstAmount; c < cells.size(); ++c) {
        table->item(row, int(c))->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
}

// A label that shows its text as it stands: a name from the data that looks like markup
// must not change what the operator reads.
QLabel* PlainLabel(const std::string& text, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setText(Q(text));
    return label;
}

} // namespace

TPreviewDialog::TPreviewDialog(TTransferPreview preview, QWidget* parent)
    : QDialog(parent), preview_(std::move(preview)) {
    setObjectName("PreviewDialog");
    setWindowTitle(QString::fromUtf8(kPreviewTitle));
    resize(860, 560);

    inputs_ = PlainLabel(PreviewInputsLine(preview_), this);
    inputs_->setObjectName("lVhodi");
    pricing_ = PlainLabel(PricingLine(preview_), this);
    pricing_->setObjectName("lCene");
    notice_ = PlainLabel(preview_.Notice, this);
    notice_->setObjectName("lObvestilo");
    notice_->setVisible(!preview_.Notice.empty());
    QFont bold = notice_->font();
    bold.setBold(true);
    notice_->setFont(bold);
    totals_ = PlainLabel(preview_.Totals, this);
    totals_->setObjectName("lKontrola");
    totals_->setVisible(!preview_.Totals.empty());
    // The accountant copies the totals to tick them off.
    totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    const std::vector<TInvoiceSummary>& list = preview_.Invoices;
    invoices_ = ListTable(this, Texts(InvoiceHeaders()));
    invoices_->setObjectName("PreviewInvoices");
    invoices_->setRowCount(int(list.size() + 1));
    for (size_t i = 0; i < list.size(); ++i) {
        FillRow(invoices_, int(i), InvoiceCells(list[i]), kInvoiceAmountsFrom);
    }
    FillRow(invoices_, int(list.size()), TotalsCells(list), kInvoiceAmountsFrom);
    for (int c = 0; c < invoices_->columnCount(); ++c) {
        QFont font = invoices_->item(int(list.size()), c)->font();
        font.setBold(true);
        invoices_->item(int(list.size()), c)->setFont(font);
    }
    KeepColumnsFitted(invoices_, int(kInvoiceAmountsFrom));
    lines_ = ListTable(this, Texts(LineHeaders()));
    KeepColumnsFitted(lines_, int(kLineAmountsFrom));
    lines_->setObjectName("PreviewLines");
    errors_ = ListTable(this, Texts(ErrorHeaders()));
    errors_->setObjectName("PreviewErrors");
    errors_->setRowCount(int(preview_.Errors.size()));
    for (size_t i = 0; i < preview_.Errors.size(); ++i) {
        FillRow(errors_, int(i), ErrorCells(preview_.Errors[i]), ErrorHeaders().size());
    }
    errors_->resizeColumnsToContents();

    auto* invoicePage = new QWidget(this);
    auto* invoiceLayout = new QVBoxLayout(invoicePage);
    invoiceLayout->addWidget(invoices_, 3);
    invoiceLayout->addWidget(new QLabel(QString::fromUtf8("Vrstice izbranega računa:"), this));
    invoiceLayout->addWidget(lines_, 2);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("PreviewTabs");
    tabs_->addTab(invoicePage, Q("Računi (" + std::to_string(list.size()) + ")"));
    tabs_->addTab(errors_, Q("Zapisi z napakami (" + std::to_string(preview_.Errors.size()) + ")"));

    export_ = new QPushButton(QString::fromUtf8("Izvozi…"), this);
    export_->setObjectName("bIzvozi");
    write_ = new QPushButton(QString::fromUtf8("Zapiši"), this);
    write_->setObjectName("bZapisi");
    close_ = new QPushButton(QString::fromUtf8("Zapri"), this);
    close_->setObjectName("bZapri");
    // Enter must not write: closing is the default.
    write_->setAutoDefault(false);
    export_->setAutoDefault(false);
    close_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(export_);
    buttons->addStretch();
    buttons->addWidget(write_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inputs_);
    layout->addWidget(pricing_);
    layout->addWidget(notice_);
    layout->addWidget(totals_);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);

    connect(invoices_, &QTableWidget::itemSelectionChanged, this,
            [this] { ShowLinesOfSelected(); });
    connect(write_, &QPushButton::clicked, this, &QDialog::accept);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    connect(export_, &QPushButton::clicked, this, [this] { AskExport(); });
    if (!list.empty()) {
        invoices_->selectRow(0);
    }
    ShowLinesOfSelected();
}

void TPreviewDialog::ShowLinesOfSelected() {
    const int row = invoices_->currentRow();
    // The totals row has no lines of its own.
    const bool invoice = row >= 0 && size_t(row) < preview_.Invoices.size();
    const std::vector<TInvoiceLineSummary> none;
    const std::vector<TInvoiceLineSummary>& items =
        invoice ? preview_.Invoices[size_t(row)].Items : none;
    lines_->setRowCount(int(items.size()));
    for (size_t i = 0; i < items.size(); ++i) {
        FillRow(lines_, int(i), LineCells(items[i]), kLineAmountsFrom);
    }
    FitColumns(lines_, int(kLineAmountsFrom));
}

bool TPreviewDialog::Export(const std::filesystem::path& file) {
    try {
        if (IsCsvReport(file.string())) {
            WritePreviewCsv(preview_, file);
        } else {
            WritePreviewPdf(preview_, file);
        }
        return true;
    } catch (const std::exception& e) {
        ShowMessage(QString::fromUtf8(e.what()));
        return false;
    }
}

void TPreviewDialog::AskExport() {
    const QString pdf = QString::fromUtf8("PDF (*.pdf)");
    const QString csv = QString::fromUtf8("CSV (*.csv)");
    const std::filesystem::path folder = std::filesystem::path(preview_.Options.Path).parent_path();
    QFileDialog dialog(this, QString::fromUtf8("Izvoz predogleda prenosa"),
                       Q((folder / (std::string(kPreviewTitle) + ".pdf")).string()),
                       pdf + ";;" + csv);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the extension itself, before it asks whether to replace a file: added
    // afterwards, a file of the completed name would be replaced unasked.
    dialog.setDefaultSuffix("pdf");
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, csv](const QString& filter) {
        dialog.setDefaultSuffix(filter == csv ? "csv" : "pdf");
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    Export(dialog.selectedFiles().first().toStdString());
}

} // namespace zen
