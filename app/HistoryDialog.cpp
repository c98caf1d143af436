#include "app/HistoryDialog.h"

#include "app/ListTable.h"
#include "app/ZenApplication.h"
#include "dbutil/StdProc.h"
#include "odbc/Hdbc.h"
#include "toolkit/Home.h"
#include "transfer/Ledger.h"
#include "transfer/TransferHistory.h"
#include "transfer/TransferJournal.h"
#include "transfer/TransferUndo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cstdlib>
#include <filesystem>

namespace zen {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The columns before it (the data source, the file) give way so that the invoices and the
// state are seen.
constexpr int kRunCountColumn = 6;

} // namespace

THistoryDialog::THistoryDialog(THdbc& database, const std::string& dataSource, TSignOnProc signOn,
                               QWidget* parent)
    : QDialog(parent), database_(database), dataSource_(dataSource), signOn_(std::move(signOn)) {
    setObjectName("HistoryDialog");
    setWindowTitle(QString::fromUtf8("Zgodovina prenosov"));
    resize(760, 480);
    runs_ = ListTable(this, {"Prenos", "Začet", "Podatkovni vir", "Posl. dogodek", "Datum računov",
                             "Datoteka", "Računov", "Računi", "Stanje"});
    runs_->setObjectName("HistoryRuns");
    KeepColumnsFitted(runs_, kRunCountColumn);
    invoices_ = ListTable(this, {"Račun", "Plačnik"});
    invoices_->setObjectName("HistoryInvoices");
    // Plain text, selectable: the accountant copies the totals to tick them off.
    totals_ = new QLabel(this);
    totals_->setObjectName("lKontrola");
    totals_->setTextFormat(Qt::PlainText);
    totals_->setWordWrap(true);
    totals_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    undo_ = new QPushButton(QString::fromUtf8("Razveljavi prenos"), this);
    undo_->setObjectName("bRazveljavi");
    resumeButton_ = new QPushButton(QString::fromUtf8("Nadaljuj"), this);
    resumeButton_->setObjectName("bNadaljuj");
    auto* close = new QPushButton(QString::fromUtf8("Zapri"), this);
    close->setObjectName("bZapri");
    // Enter must not start an undo or a resume: closing is the default.
    undo_->setAutoDefault(false);
    resumeButton_->setAutoDefault(false);
    close->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(undo_);
    buttons->addWidget(resumeButton_);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(runs_, 3);
    layout->addWidget(totals_);
    layout->addWidget(new QLabel(QString::fromUtf8("Računi izbranega prenosa:"), this));
    layout->addWidget(invoices_, 2);
    layout->addLayout(buttons);

    connect(runs_, &QTableWidget::itemSelectionChanged, this, [this] { ShowSelected(); });
    connect(undo_, &QPushButton::clicked, this, [this] { UndoSelected(); });
    connect(resumeButton_, &QPushButton::clicked, this, [this] {
        if (const TTransferRun* run = Selected()) {
            resume_ = *run;
            accept();
        }
    });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    Reload();
}

void THistoryDialog::Reload() {
    list_.clear();
    invoicesOf_.clear();
    try {
        signOn_(database_, dataSource_);
        if (const std::string damaged = ImportJournalBeforeListing(database_, dataSource_);
            !damaged.empty()) {
            ShowMessage(QString::fromUtf8(damaged));
        }
        list_ = LedgerRuns(database_);
        for (const TTransferRun& r : list_) {
            invoicesOf_.push_back(LedgerInvoices(database_, r.Id));
        }
    } catch (const std::exception& e) {
        list_.clear();
        invoicesOf_.clear();
        ShowMessage(QString::fromUtf8(e.what()));
    }
    runs_->setRowCount(int(list_.size()));
    for (size_t i = 0; i < list_.size(); ++i) {
        const TTransferRun& r = list_[i];
        SetListRow(
            runs_, int(i),
            {QString::number(r.Id), Q(JournalDateTime(r.Started)), Q(r.DataSource), Q(r.PoslDog),
             Q(DateToStr(r.IssueDate)), Q(std::filesystem::path(r.FilePath).filename().string()),
             QString::number(r.Invoices),
             r.Invoices ? Q(KeyRange(r.FirstKey, r.LastKey)) : QString(), Q(RunStateText(r))});
    }
    FitColumns(runs_, kRunCountColumn);
    if (!list_.empty()) {
        runs_->selectRow(0);
    }
    ShowSelected();
}

const TTransferRun* THistoryDialog::Selected() const {
    const int row = runs_->currentRow();
    return row >= 0 && size_t(row) < list_.size() ? &list_[size_t(row)] : nullptr;
}

void THistoryDialog::ShowSelected() {
    const TTransferRun* run = Selected();
    static const std::vector<TLedgerInvoice> none;
    const std::vector<TLedgerInvoice>& invoices =
        run ? invoicesOf_[size_t(run - list_.data())] : none;
    invoices_->setRowCount(int(invoices.size()));
    for (size_t i = 0; i < invoices.size(); ++i) {
        SetListRow(invoices_, int(i), {Q(invoices[i].Kljuc), Q(invoices[i].Placnik)});
    }
    totals_->setText(Q(run && run->Totals ? ControlTotalsText(*run->Totals) : std::string()));
    const std::string state = run ? RunStateText(*run) : std::string();
    undo_->setEnabled(run && run->Invoices > 0 && !run->Undone && state != "teče");
    resumeButton_->setEnabled(run && run->Invoices > 0 && state == "prekinjen");
}

void THistoryDialog::UndoSelected() {
    const TTransferRun* selected = Selected();
    if (!selected) {
        return;
    }
    const TTransferRun run = *selected;
    QMessageBox ask(QMessageBox::Question, windowTitle(),
                    Q("Razveljavim prenos št. " + std::to_string(run.Id) + " (" +
                      RacunCount(run.Invoices) + ")? Računi prenosa bodo izbrisani iz baze " +
                      "Tevrin."),
                    QMessageBox::Yes | QMessageBox::No, this);
    ask.setObjectName("UndoQuestion");
    ask.setTextFormat(Qt::PlainText);
    ask.setDefaultButton(QMessageBox::No);
    if (ask.exec() != QMessageBox::Yes) {
        return;
    }
    try {
        TUndoResult result =
            UndoRun(database_, signOn_, dataSource_, run.Id, false, SystemUserName());
        ShowMessage(Q(result.AlreadyUndone
                          ? "Prenos št. " + std::to_string(run.Id) + " je bil razveljavljen že " +
                                JournalDateTime(result.UndoneAt) + "."
                          : "Prenos št. " + std::to_string(run.Id) + " je razveljavljen (" +
                                RacunCount(int64_t(result.Keys.size())) + ")."));
    } catch (const EAbort&) {
        // The operator cancelled the sign-on: nothing was tried, nothing to tell.
        return;
    } catch (const std::exception& e) {
        ShowMessage(QString::fromUtf8(e.what()));
    }
    Reload();
}

} // namespace zen
