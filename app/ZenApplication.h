#pragma once
// The application object: a QApplication whose event dispatch is the toolkit's default
// handler. An exception that leaves an event handler (a button's click, a close) is shown
// in a modal message box with its text; the window stays open. Qt's own texts are Slovene
// (SloveneQt.h).

#include <QApplication>
#include <QString>
#include <exception>

class QWidget;

namespace zen {

class TZenApplication : public QApplication {
    Q_OBJECT
public:
    TZenApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows the text of an exception as the default handler does; EAbort shows nothing.
void ShowException(const std::exception& e);
// A modal message box with the text and one OK button, captioned with the application title.
void ShowMessage(const QString& text);

} // namespace zen
