#include "ModalCloser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace zen::test {

ModalCloser::ModalCloser() {
    connect(&timer_, &QTimer::timeout, this, &ModalCloser::poll);
    timer_.start(20);
}

void ModalCloser::poll() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        if (yesTo.contains(box->objectName()) && box->button(QMessageBox::Yes)) {
            box->button(QMessageBox::Yes)->click();
            return;
        }
        texts << box->text();
        plain << (box->textFormat() == Qt::PlainText);
        defaults << (box->defaultButton() ? box->defaultButton()->objectName() : QString());
        if (auto* button = press.isEmpty() ? nullptr : box->findChild<QAbstractButton*>(press)) {
            button->click();
        } else {
            box->accept();
        }
    }
}

} // namespace zen::test
