#include "odbc/ErrorDialog.h"

#include "toolkit/Component.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <cstdio>

namespace zen {

namespace {
template <class W> W* Place(W* w, int left, int top, int width, int height) {
    w->setGeometry(left, top, width, height);
    return w;
}
QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

QLabel* RightLabel(QWidget* parent, const char* text, int left, int top, int width, int height) {
    auto* l = Place(new QLabel(QString::fromUtf8(text), parent), left, top, width, height);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLineEdit* ReadOnlyField(QWidget* parent, int left, int top, int width, int height) {
    auto* f = Place(new QLineEdit(parent), left, top, width, height);
    f->setReadOnly(true);
    return f;
}
} // namespace

TOEErrorDialog::TOEErrorDialog(const std::string& text, const EODBC& e, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      error_(e) {
    setWindowTitle(Q("Database Error: " + Application().Title()));
    setModal(true);

    auto* image = Place(new QLabel(this), 12, 12, 32, 32);
    image->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));

    message_ = Place(new QLabel(Q(text), this), 56, 12, 225, 41);
    message_->setWordWrap(true);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    ok_ = Place(new QPushButton(QStringLiteral("OK"), this), 108, 56, 75, 25);
    ok_->setDefault(true);
    ok_->setAutoDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    details_ = Place(new QPushButton(this), 212, 56, 75, 25);
    details_->setAutoDefault(false);
    connect(details_, &QPushButton::clicked, this, &TOEErrorDialog::ToggleDetails);

    line_ = Place(new QFrame(this), 4, 88, 281, 2);
    line_->setFrameShape(QFrame::HLine);
    line_->setFrameShadow(QFrame::Sunken);

    memo_ = Place(new QPlainTextEdit(this), 8, 100, 277, 81);
    memo_->setReadOnly(true);

    RightLabel(this, "ODBC Error", 8, 192, 65, 13);
    sqlState_ = ReadOnlyField(this, 80, 188, 61, 21);
    RightLabel(this, "Database Error", 144, 192, 73, 13);
    native_ = ReadOnlyField(this, 224, 188, 61, 21);

    prev_ = Place(new QPushButton(QStringLiteral("Prev"), this), 108, 216, 75, 25);
    prev_->setAutoDefault(false);
    connect(prev_, &QPushButton::clicked, this, &TOEErrorDialog::PrevRecord);
    next_ = Place(new QPushButton(QStringLiteral("Next"), this), 212, 216, 75, 25);
    next_->setAutoDefault(false);
    connect(next_, &QPushButton::clicked, this, &TOEErrorDialog::NextRecord);

    error_.First();
    ShowRecord();
    prev_->setEnabled(false);
    next_->setEnabled(true);
    SetExpanded(false);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kClientWidth / 2, height() / 2));
    }
}

void TOEErrorDialog::SetExpanded(bool on) {
    expanded_ = on;
    details_->setText(on ? QStringLiteral("Details <<") : QStringLiteral("Details >>"));
    setFixedSize(kClientWidth, on ? kExpandedHeight : kCollapsedHeight);
}

void TOEErrorDialog::ToggleDetails() {
    SetExpanded(!expanded_);
}

void TOEErrorDialog::PrevRecord() {
    error_.Prev();
    ShowRecord();
    prev_->setEnabled(error_.RecordIndex() > 0);
    next_->setEnabled(true);
}

void TOEErrorDialog::NextRecord() {
    error_.Next();
    ShowRecord();
    prev_->setEnabled(true);
    next_->setEnabled(error_.RecordIndex() < error_.RecordCount() - 1);
}

void TOEErrorDialog::ShowRecord() {
    memo_->setPlainText(Q(error_.ErrorMsg()));
    sqlState_->setText(Q(error_.SqlState()));
    native_->setText(QString::number(error_.NativeError()));
}

void ShowODBCErrorDialog(const std::string& text, const EODBC& e) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s\n", text.c_str());
        for (const TErrorRec& r : e.Records()) {
            std::fprintf(stderr, "  [%s] (%d) %s\n", r.sqlState.c_str(),
                         static_cast<int>(r.nativeError), r.message.c_str());
        }
        return;
    }
    TOEErrorDialog dialog(text, e, QApplication::activeWindow());
    dialog.exec();
}

} // namespace zen
