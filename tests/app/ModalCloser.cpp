#include "ModalCloser.h"

#include <QApplication>
#include <QMessageBox>

namespace zen::test {

ModalCloser::ModalCloser() {
    connect(&timer_, &QTimer::timeout, this, &ModalCloser::poll);
    timer_.start(20);
}

void ModalCloser::poll() {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts << box->text();
        plain << (box->textFormat() == Qt::PlainText);
        box->accept();
    }
}

} // namespace zen::test
