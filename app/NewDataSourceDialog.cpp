#include "app/NewDataSourceDialog.h"

#include "app/ZenApplication.h"
#include "toolkit/Exceptions.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <charconv>

namespace zen {

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string S(const QString& s) {
    return s.trimmed().toStdString();
}

} // namespace

TNewDataSourceDialog::TNewDataSourceDialog(TSignOnProc signOn, QWidget* parent)
    : QDialog(parent), signOn_(std::move(signOn)) {
    setObjectName("NewDataSourceDialog");
    setWindowTitle(QString::fromUtf8("Nov vir podatkov"));
    fIme = new QLineEdit(this);
    fIme->setObjectName("fIme");
    fVrsta = new QComboBox(this);
    fVrsta->setObjectName("fVrsta");
    fVrsta->addItems({"PostgreSQL", "SQLite"});
    fStreznik = new QLineEdit("localhost", this);
    fStreznik->setObjectName("fStreznik");
    fVrata = new QLineEdit("5432", this);
    fVrata->setObjectName("fVrata");
    fBaza = new QLineEdit(this);
    fBaza->setObjectName("fBaza");
    bIzberi = new QPushButton(QString::fromUtf8("Izberi…"), this);
    bIzberi->setObjectName("bIzberi");
    bIzberi->setAutoDefault(false);
    lIzid = new QLabel(this);
    lIzid->setObjectName("lIzid");
    lIzid->setTextFormat(Qt::PlainText); // the driver's words, which may look like markup
    lIzid->setWordWrap(true);

    auto* baza = new QHBoxLayout;
    baza->addWidget(fBaza, 1);
    baza->addWidget(bIzberi);
    auto* form = new QFormLayout;
    form->addRow(QString::fromUtf8("Ime vira:"), fIme);
    form->addRow(QString::fromUtf8("Vrsta:"), fVrsta);
    form->addRow(QString::fromUtf8("Strežnik:"), fStreznik);
    form->addRow(QString::fromUtf8("Vrata:"), fVrata);
    form->addRow(QString::fromUtf8("Baza ali datoteka:"), baza);

    auto* buttons = new QDialogButtonBox(this);
    bZapisi =
        buttons->addButton(QString::fromUtf8("Zapiši in preizkusi"), QDialogButtonBox::ActionRole);
    bZapisi->setObjectName("bZapisi");
    bZapisi->setDefault(true);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName("bZapri");
    close->setAutoDefault(false);
    connect(bZapisi, &QPushButton::clicked, this, [this] { WriteAndTry(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(bIzberi, &QPushButton::clicked, this, [this] { ChooseFile(); });
    connect(fVrsta, &QComboBox::currentIndexChanged, this, [this] { KindChanged(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(lIzid);
    layout->addWidget(buttons);
    KindChanged();
    resize(480, sizeHint().height());
}

void TNewDataSourceDialog::KindChanged() {
    const bool server = fVrsta->currentIndex() == 0;
    fStreznik->setEnabled(server);
    fVrata->setEnabled(server);
    bIzberi->setVisible(!server);
}

void TNewDataSourceDialog::ChooseFile() {
    const QString file = QFileDialog::getOpenFileName(
        this, QString::fromUtf8("Baza Tevrin"), fBaza->text(),
        QString::fromUtf8("Baza SQLite (*.db *.sqlite *.sqlite3);;Vse datoteke (*)"));
    if (!file.isEmpty()) {
        fBaza->setText(file);
    }
}

TNewDataSource TNewDataSourceDialog::Source(std::string& problem) const {
    TNewDataSource wanted;
    wanted.Name = S(fIme->text());
    wanted.Kind = fVrsta->currentIndex() == 0 ? TSourceKind::PostgreSQL : TSourceKind::SQLite;
    wanted.Database = S(fBaza->text());
    if (wanted.Kind == TSourceKind::PostgreSQL) {
        wanted.Server = S(fStreznik->text());
        const std::string port = S(fVrata->text());
        auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), wanted.Port);
        if (ec != std::errc() || end != port.data() + port.size()) {
            problem = "Vrata »" + port + "« niso število.";
        }
    }
    return wanted;
}

void TNewDataSourceDialog::WriteAndTry() {
    std::string problem;
    const TNewDataSource wanted = Source(problem);
    if (problem.empty()) {
        problem = NewDataSourceProblem(wanted);
    }
    if (!problem.empty()) {
        lIzid->setText(Q(problem));
        return;
    }
    try {
        if (DataSourceExists(wanted.Name)) {
            auto ask = MessageBox(QMessageBox::Question,
                                  Q("Vir podatkov »" + wanted.Name + "« že obstaja. Ga zamenjam?"),
                                  QMessageBox::Yes | QMessageBox::No, this);
            ask->setObjectName("ReplaceQuestion");
            ask->setDefaultButton(QMessageBox::No);
            if (ask->exec() != QMessageBox::Yes) {
                return;
            }
        }
        WriteUserDataSource(wanted);
        lIzid->setText(QString::fromUtf8("Povezava se preizkuša…"));
        if (std::string why = TryDataSource(wanted, signOn_); !why.empty()) {
            lIzid->setText(Q("Vir podatkov »" + wanted.Name + "« je zapisan.\n" + why));
            return;
        }
    } catch (const EAbort&) {
        lIzid->setText(Q("Vir podatkov »" + wanted.Name +
                         "« je zapisan; prijava je preklicana, povezava ni preizkušena."));
        return;
    } catch (const std::exception& e) {
        lIzid->setText(QString::fromUtf8(e.what()));
        return;
    }
    written_ = wanted.Name;
    ShowMessage(Q("Vir podatkov »" + wanted.Name + "« je zapisan. " + kConnectionWorks));
    accept();
}

} // namespace zen
