#pragma once
// The dialog that shows an EODBC with its diagnostic records one at a time.

#include "odbc/OCLError.h"

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QLineEdit;
class QPushButton;
class QFrame;

namespace zen {

class TOEErrorDialog : public QDialog {
    Q_OBJECT
public:
    // Ready to show: caption "Database Error: " + the application title, `text` in the
    // message label, details collapsed, the first record shown.
    TOEErrorDialog(const std::string& text, const EODBC& e, QWidget* parent = nullptr);

    bool Expanded() const noexcept { return expanded_; }
    void SetExpanded(bool on);
    int RecordIndex() const noexcept { return error_.RecordIndex(); }

    QLabel* MessageLabel() const { return message_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* DetailsButton() const { return details_; }
    QPushButton* PrevButton() const { return prev_; }
    QPushButton* NextButton() const { return next_; }
    QPlainTextEdit* DetailMemo() const { return memo_; }
    QLineEdit* SqlStateField() const { return sqlState_; }
    QLineEdit* NativeErrorField() const { return native_; }

    static constexpr int kClientWidth = 291;
    static constexpr int kCollapsedHeight = 88 - 2;      // top of the separator line - 2
    static constexpr int kExpandedHeight = 216 + 25 + 4; // bottom of "Next" + 4

public slots:
    void ToggleDetails();
    void PrevRecord();
    void NextRecord();

private:
    void ShowRecord();

    EODBC error_; // a copy, stepped through with its own record navigation
    bool expanded_ = false;
    QLabel* message_;
    QPushButton* ok_;
    QPushButton* details_;
    QFrame* line_;
    QPlainTextEdit* memo_;
    QLineEdit* sqlState_;
    QLineEdit* native_;
    QPushButton* prev_;
    QPushButton* next_;
};

// Shows the dialog modally and frees it after it closes. Without an application object
// (no window system) the text and the records go to standard error instead.
void ShowODBCErrorDialog(const std::string& text, const EODBC& e);

} // namespace zen
