#include "app/TransferWindowUi.h"

#include "app/ZenApplication.h"
#include "localtable/Table.h"
#include "report/FNapaka.h"
#include "toolkit/Component.h"
#include "toolkit/Field.h"
#include "transfer/TransferRun.h"

#include <utility>

#include <QProgressBar>
#include <QPushButton>

namespace zen {

void TTransferWindowUi::Message(const std::string& text) {
    // The end message carries the run's notice and its control totals, each told once.
    std::string shown = text;
    if (text == kCompletedMessage) {
        for (std::string* part : {&notice_, &totals_}) {
            if (!part->empty()) {
                shown += "\n\n" + std::exchange(*part, std::string());
            }
        }
    }
    ShowMessage(QString::fromStdString(shown));
}

void TTransferWindowUi::Progress(int percent) {
    progressBar_->setValue(percent);
}

bool TTransferWindowUi::AskRepeat(const std::string& question) {
    auto box = MessageBox(QMessageBox::Question, QString::fromStdString(question),
                          QMessageBox::Yes | QMessageBox::No, window_);
    box->setObjectName("RepeatQuestion");
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box->exec() == QMessageBox::Yes;
}

// After a stopped run the safe answer is to go on with it, so "Nadaljuj" is the default;
// sending the whole file again doubles every invoice already written, and is a separate
// choice that asks once more and says so.
TRepeatAnswer TTransferWindowUi::AskRepeatOrResume(const std::string& question, bool canResume) {
    if (!canResume) {
        return AskRepeat(question) ? TRepeatAnswer::Again : TRepeatAnswer::No;
    }
    auto box = MessageBox(QMessageBox::Question, QString::fromStdString(question),
                          QMessageBox::NoButton, window_);
    box->setObjectName("RepeatQuestion");
    QPushButton* resume = box->addButton(QString::fromUtf8("Nadaljuj"), QMessageBox::AcceptRole);
    resume->setObjectName("bNadaljuj");
    QPushButton* no = box->addButton(QString::fromUtf8("Ne"), QMessageBox::RejectRole);
    no->setObjectName("bNe");
    QPushButton* again =
        box->addButton(QString::fromUtf8("Prenesi vse znova …"), QMessageBox::DestructiveRole);
    again->setObjectName("bZnova");
    box->setDefaultButton(resume);
    box->setEscapeButton(no);
    box->exec();
    if (box->clickedButton() == resume) {
        return TRepeatAnswer::Resume;
    }
    if (box->clickedButton() != again) {
        return TRepeatAnswer::No;
    }
    auto sure = MessageBox(
        QMessageBox::Warning,
        QString::fromUtf8("Cela datoteka bo prenesena še enkrat: vsak račun, ki ga je prekinjeni "
                          "prenos že zapisal, bo zapisan dvakrat in kupci bodo zaračunani "
                          "dvakrat. Res prenesem celo datoteko znova?"),
        QMessageBox::Yes | QMessageBox::No, window_);
    sure->setObjectName("RepeatDoubleQuestion");
    sure->button(QMessageBox::No)->setObjectName("bNe");
    sure->setDefaultButton(QMessageBox::No);
    sure->setEscapeButton(QMessageBox::No);
    return sure->exec() == QMessageBox::Yes ? TRepeatAnswer::Again : TRepeatAnswer::No;
}

namespace {

void Count(TRunSummary& summary, const TInvoiceSummary& invoice) {
    if (summary.Invoices++ == 0) {
        summary.FirstKey = invoice.Kljuc;
    }
    summary.LastKey = invoice.Kljuc;
}

// The error rows as the report prints them, read through the report's own code.
std::vector<TNapakaRow> ReportRows(TTable& tbNapaka) {
    if (TNapaka* report = TNapaka::Instance(); report && report->DataSet() == &tbNapaka) {
        return report->Rows();
    }
    return TNapaka(nullptr, &tbNapaka).Rows();
}

} // namespace

void TTransferWindowUi::InvoiceWritten(const TInvoiceSummary& invoice) {
    if (!invoice.Committed) {
        return;
    }
    Count(summary_, invoice);
    if (keep_) {
        written_.push_back(invoice);
    }
}

void TTransferWindowUi::ShowErrors(TTable& tbNapaka) {
    summary_.FailedRecords = tbNapaka.RecordCount();
    errors_ = ReportRows(tbNapaka);
    const std::string notice = std::exchange(notice_, std::string());
    const std::string totals = std::exchange(totals_, std::string());
    if (TNapaka* report = TNapaka::Instance(); report && report->DataSet() == &tbNapaka) {
        report->SetNotice(notice);
        report->SetTotals(totals);
        report->Show(window_);
        report->SetNotice({});
        report->SetTotals({});
        return;
    }
    std::string text = notice.empty() ? std::string() : notice + "\n\n";
    for (tbNapaka.First(); !tbNapaka.Eof(); tbNapaka.Next()) {
        text += tbNapaka.FieldByName("StRac")->AsString() + "  " +
                tbNapaka.FieldByName("Napaka")->AsString() + "\n";
    }
    if (!totals.empty()) {
        text += "\n" + totals;
    }
    ShowMessage(QString::fromStdString(text));
}

void TPreviewRunUi::Message(const std::string& text) {
    // The preview says it, with the invoices.
    if (text != kCompletedMessage) {
        TTransferWindowUi::Message(text);
    }
}

void TPreviewRunUi::ShowErrors(TTable& tbNapaka) {
    summary_.FailedRecords = tbNapaka.RecordCount();
    errors_ = ReportRows(tbNapaka);
}

void TPreviewRunUi::InvoiceWritten(const TInvoiceSummary& invoice) {
    // Rolled back: the preview is what it would have been.
    Count(summary_, invoice);
    written_.push_back(invoice);
}

} // namespace zen
