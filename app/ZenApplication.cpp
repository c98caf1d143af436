#include "app/ZenApplication.h"

#include "app/SloveneQt.h"
#include "report/NapakaPainter.h"
#include "toolkit/Component.h"
#include "toolkit/DataSet.h"
#include "toolkit/Exceptions.h"

#include <cstdio>

namespace zen {

TZenApplication::TZenApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromStdString(Application().Title()));
    // The dialogs are laid out in the font the package brings, not whatever the system has.
    setFont(ReportFont(font().pointSizeF()));
    if (InstallSloveneQt(*this) == 0) {
        std::fprintf(stderr,
                     "zendrato: Qt's Slovene translation is not in %s (package "
                     "qt6-translations-l10n); Qt's own texts stay English\n",
                     qPrintable(QtTranslationsDir()));
    }
    // Faults that no caller can take, such as one raised while a dataset filters, are
    // shown like any other that leaves an event handler.
    SetApplicationExceptionHandler([](const std::exception& e) { ShowException(e); });
}

bool TZenApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowException(Exception("Unknown exception"));
    }
    return true;
}

std::unique_ptr<QMessageBox> MessageBox(QMessageBox::Icon icon, const QString& text,
                                        QMessageBox::StandardButtons buttons, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(icon, QString::fromStdString(Application().Title()),
                                             QString(), buttons, parent);
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    return box;
}

void ShowException(const std::exception& e) {
    if (dynamic_cast<const EAbort*>(&e)) {
        return;
    }
    auto box = MessageBox(QMessageBox::Critical, QString::fromUtf8(e.what()), QMessageBox::Ok,
                          QApplication::activeWindow());
    box->setObjectName("ExceptionBox");
    box->exec();
}

void ShowMessage(const QString& text) {
    auto box =
        MessageBox(QMessageBox::Information, text, QMessageBox::Ok, QApplication::activeWindow());
    box->setObjectName("MessageBox");
    box->exec();
}

} // namespace zen
