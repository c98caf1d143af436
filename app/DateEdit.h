#pragma once
// A date field that may stay empty: a one-line text field with a button that drops down a
// calendar. Picking a day writes it in the locale's short date format; the operator may
// also type. Only the text is used by the program.

#include <QWidget>

class QLineEdit;
class QToolButton;
class QCalendarWidget;

namespace zen {

class TDateEdit : public QWidget {
    Q_OBJECT
public:
    explicit TDateEdit(QWidget* parent = nullptr);

    QString text() const;
    void setText(const QString& text);
    QLineEdit* lineEdit() const { return edit_; }
    QToolButton* dropDownButton() const { return button_; }
    // The drop-down calendar; it exists while the field does and is shown by the button.
    QCalendarWidget* calendar() const { return calendar_; }
    void showCalendar();

private:
    void pick(const QDate& date);

    QLineEdit* edit_;
    QToolButton* button_;
    QWidget* popup_;
    QCalendarWidget* calendar_;
};

} // namespace zen
