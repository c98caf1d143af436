#include "app/LoginDialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zen {

TLoginDialog::TLoginDialog(QWidget* parent, const QString& dataSource, const QString& userName,
                           const QString& refusal)
    : QDialog(parent) {
    setObjectName("LoginDialog");
    setWindowTitle(QString::fromUtf8("Prijava v bazo Tevrin"));
    // No refusal: no login is stored, so none was refused.
    auto* question = new QLabel(
        (refusal.isEmpty()
             ? QString::fromUtf8("Za bazo Tevrin (vir podatkov »%1«) ni shranjene prijave. "
                                 "Vpišite uporabnika in geslo SQL.")
             : QString::fromUtf8("Baza Tevrin (vir podatkov »%1«) ni sprejela prijave. Vpišite "
                                 "uporabnika in geslo SQL."))
            .arg(dataSource),
        this);
    question->setObjectName("Vprasanje");
    question->setTextFormat(Qt::PlainText);
    question->setWordWrap(true);
    // The database's own words, as they came (English: no driver speaks Slovene), after
    // "Vzrok:" as everywhere; a name in them must not read as markup.
    auto* cause =
        new QLabel(refusal.isEmpty() ? QString() : QString::fromUtf8("Vzrok: ") + refusal, this);
    cause->setObjectName("Vzrok");
    cause->setTextFormat(Qt::PlainText);
    cause->setWordWrap(true);
    cause->setVisible(!refusal.isEmpty());

    fUporabnik = new QLineEdit(userName, this);
    fUporabnik->setObjectName("fUporabnik");
    fGeslo = new QLineEdit(this);
    fGeslo->setObjectName("fGeslo");
    fGeslo->setEchoMode(QLineEdit::Password);
    cShrani = new QCheckBox(QString::fromUtf8("Shrani prijavo"), this);
    cShrani->setObjectName("cShrani");
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8("Uporabnik:"), fUporabnik);
    form->addRow(QString::fromUtf8("Geslo:"), fGeslo);
    form->addRow(QString(), cShrani);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question);
    layout->addWidget(cause);
    layout->addLayout(form);
    layout->addWidget(Buttons);
    (userName.isEmpty() ? fUporabnik : fGeslo)->setFocus();
}

std::optional<TLoginAnswer> AskLogin(QWidget* parent, const std::string& dataSource,
                                     const std::string& userName, const std::string& refusal) {
    TLoginDialog dialog(parent, QString::fromStdString(dataSource),
                        QString::fromStdString(userName), QString::fromStdString(refusal));
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return TLoginAnswer{dialog.fUporabnik->text().toStdString(),
                        dialog.fGeslo->text().toStdString(), dialog.cShrani->isChecked()};
}

} // namespace zen
