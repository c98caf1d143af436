#include "app/DateEdit.h"

#include "toolkit/DateTime.h"

#include <QCalendarWidget>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace zen {

TDateEdit::TDateEdit(QWidget* parent) : QWidget(parent) {
    edit_ = new QLineEdit(this);
    button_ = new QToolButton(this);
    button_->setArrowType(Qt::DownArrow);
    button_->setFocusPolicy(Qt::NoFocus);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit_);
    layout->addWidget(button_);
    setFocusProxy(edit_);

    popup_ = new QWidget(this, Qt::Popup);
    calendar_ = new QCalendarWidget(popup_);
    auto* popupLayout = new QVBoxLayout(popup_);
    popupLayout->setContentsMargins(0, 0, 0, 0);
    popupLayout->addWidget(calendar_);
    connect(button_, &QToolButton::clicked, this, &TDateEdit::showCalendar);
    connect(calendar_, &QCalendarWidget::clicked, this, &TDateEdit::pick);
    connect(calendar_, &QCalendarWidget::activated, this, &TDateEdit::pick);
}

QString TDateEdit::text() const {
    return edit_->text();
}

void TDateEdit::setText(const QString& text) {
    edit_->setText(text);
}

void TDateEdit::showCalendar() {
    // Open on the typed date when there is one, else on today.
    TDateTime typed;
    int y, m, d;
    if (TryStrToDate(text().toStdString(), typed)) {
        DecodeDate(typed, y, m, d);
    } else {
        DecodeDate(Date(), y, m, d);
    }
    calendar_->setSelectedDate(QDate(y, m, d));
    popup_->adjustSize();
    popup_->move(mapToGlobal(QPoint(0, height())));
    popup_->show();
    calendar_->setFocus();
}

void TDateEdit::pick(const QDate& date) {
    TDateTime value;
    if (TryEncodeDate(date.year(), date.month(), date.day(), value)) {
        edit_->setText(QString::fromStdString(DateToStr(value)));
    }
    popup_->hide();
    edit_->setFocus();
}

} // namespace zen
