#include "app/TransferWindowUi.h"

#include "app/ZenApplication.h"
#include "localtable/Table.h"
#include "report/FNapaka.h"
#include "toolkit/Component.h"
#include "toolkit/Field.h"

#include <QProgressBar>

namespace zen {

void TTransferWindowUi::Message(const std::string& text) {
    ShowMessage(QString::fromStdString(text));
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

void TTransferWindowUi::ShowErrors(TTable& tbNapaka) {
    if (TNapaka* report = TNapaka::Instance(); report && report->DataSet() == &tbNapaka) {
        report->Show(window_);
        return;
    }
    std::string text;
    for (tbNapaka.First(); !tbNapaka.Eof(); tbNapaka.Next()) {
        text += tbNapaka.FieldByName("StRac")->AsString() + "  " +
                tbNapaka.FieldByName("Napaka")->AsString() + "\n";
    }
    ShowMessage(QString::fromStdString(text));
}

} // namespace zen
