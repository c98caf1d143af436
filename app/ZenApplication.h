#pragma once
// The application object: a QApplication whose event dispatch is the toolkit's default
// handler. An exception that leaves an event handler (a button's click, a close) is shown
// in a modal message box with its text; the window stays open. Qt's own texts are Slovene
// (SloveneQt.h).

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <exception>
#include <memory>

class QWidget;

namespace zen {

class TZenApplication : public QApplication {
    Q_OBJECT
public:
    TZenApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// A modal message box captioned with the application title. Its text is shown as it stands,
// never as rich text: a name or a database's message that looks like markup ("<b>",
// "<img src=...>") must not change what the operator reads.
std::unique_ptr<QMessageBox> MessageBox(QMessageBox::Icon icon, const QString& text,
                                        QMessageBox::StandardButtons buttons, QWidget* parent);
// Shows the text of an exception as the default handler does; EAbort shows nothing.
void ShowException(const std::exception& e);
// A modal message box with the text and one OK button, captioned with the application title.
void ShowMessage(const QString& text);

} // namespace zen
