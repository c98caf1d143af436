#include "app/FMain.h"

#include "app/DataSourceBox.h"
#include "app/DateEdit.h"
#include "app/HistoryDialog.h"
#include "app/LoginDialog.h"
#include "app/PreviewDialog.h"
#include "app/RunSummary.h"
#include "app/SignOn.h"
#include "app/StoredInputs.h"
#include "app/TransferWindowUi.h"
#include "app/TypingLimit.h"
#include "app/ZenApplication.h"
#include "dbutil/ExceptionLog.h"
#include "dbutil/IniFile.h"
#include "localtable/Table.h"
#include "odbc/Hdbc.h"
#include "toolkit/Exceptions.h"
#include "transfer/TransferRun.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace zen {

namespace {

constexpr int kFieldHeight = 21;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

std::string S(const QString& s) {
    return s.toStdString();
}

} // namespace

TMain::TMain(QWidget* parent) : QWidget(parent) {
    setObjectName("Main");
    SetName("Main");
    setWindowTitle("Zendrato");
    // 439 x 345 is the outer size at 200, 108; the client area is that less a common
    // frame (4 pixels a side) and caption (23 pixels).
    move(200, 108);
    setFixedSize(439 - 8, 345 - 27);
    QFont font("Liberation Sans");
    font.setPointSize(8);
    setFont(font);

    auto lineEdit = [this](const char* name, int x, int y, int width, int maxLength) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setGeometry(x, y, width, kFieldHeight);
        if (maxLength > 0) {
            new TTypingLimit(e, maxLength); // owned by the field
        }
        return e;
    };
    auto label = [this](QWidget* control, const char* text) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        l->setObjectName(control->objectName() + "Label");
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        int right = control->x() - 6;
        int width = l->sizeHint().width();
        l->setGeometry(right - width, control->y(), width, kFieldHeight);
        l->setBuddy(control);
    };

    fPoslDog = lineEdit("fPoslDog", 136, 11, 33, 2);
    fAlias = new TDataSourceBox(this);
    fAlias->setObjectName("fAlias");
    fAlias->lineEdit()->setObjectName("fAliasEdit");
    fAlias->setGeometry(288, 11, 129, kFieldHeight);
    fAlias->setText("SQLTevrin"); // design-time text; start-up always replaces it
    fReferent = lineEdit("fReferent", 136, 43, 33, 2);
    fDatum = new TDateEdit(this);
    fDatum->setObjectName("fDatum");
    fDatum->lineEdit()->setObjectName("fDatumEdit");
    fDatum->setGeometry(136, 75, 121, kFieldHeight);
    fPath = lineEdit("fPath", 136, 205, 281, 0);
    label(fPoslDog, "Poslovni dogodek:");
    label(fAlias, "Baza tevrin:");
    label(fReferent, "Referent:");
    label(fDatum, "Datum izstavitve računov:");
    label(fPath, "Pot do prenosne baze:");

    ProgressBar = new QProgressBar(this);
    ProgressBar->setObjectName("ProgressBar");
    ProgressBar->setGeometry(16, 248, 401, 16);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setFocusPolicy(Qt::NoFocus);
    ProgressBar->setTextVisible(false);

    lIzid = new QLabel(this);
    lIzid->setObjectName("lIzid");
    lIzid->setGeometry(16, 228, 401, 16);

    bPrenos = new QPushButton("Prenos", this);
    bPrenos->setObjectName("bPrenos");
    bPrenos->setGeometry(56, 280, 75, 25);
    // In the free space between the two specified buttons, which keep their places.
    bPreizkus = new QPushButton("Preizkus", this);
    bPreizkus->setObjectName("bPreizkus");
    bPreizkus->setGeometry(180, 280, 75, 25);
    bKonec = new QPushButton("Konec", this);
    bKonec->setObjectName("bKonec");
    bKonec->setGeometry(304, 280, 75, 25);
    connect(bPrenos, &QPushButton::clicked, this, [this] { bPrenosClick(); });
    connect(bPreizkus, &QPushButton::clicked, this, [this] { bPreizkusClick(); });
    connect(bKonec, &QPushButton::clicked, this, [this] { bKonecClick(); });
    // In the free space under "Baza tevrin", so that the specified inputs keep their places.
    bZgodovina = new QPushButton(QString::fromUtf8("Zgodovina prenosov…"), this);
    bZgodovina->setObjectName("bZgodovina");
    bZgodovina->setGeometry(288, 43, 129, 23);
    connect(bZgodovina, &QPushButton::clicked, this, [this] { bZgodovinaClick(); });

    QWidget::setTabOrder(fPoslDog, fAlias);
    QWidget::setTabOrder(fAlias, fReferent);
    QWidget::setTabOrder(fReferent, fDatum->lineEdit());
    QWidget::setTabOrder(fDatum->lineEdit(), fPath);
    QWidget::setTabOrder(fPath, bPrenos);
    QWidget::setTabOrder(bPrenos, bPreizkus);
    QWidget::setTabOrder(bPreizkus, bKonec);
    QWidget::setTabOrder(bKonec, bZgodovina);

    // The connection, the local tables and the datasets of a transfer run, owned by the
    // window.
    components_ = CreateTransferComponents(*this);
    Database = components_.Database;
    Database->SetDataSource("MSOrvanel"); // design-time; every run signs on to fAlias
    tbRac = components_.tbRac;
    tbNapaka = components_.tbNapaka;
    tbRacPoz = components_.tbRacPoz;
    tbLookSubj2 = components_.tbLookSubj2;
    tbLookSubj = components_.tbLookSubj;
    tbSubj = components_.tbSubj;
    tbLookMS = components_.tbLookMS;
    tbLookTarSt = components_.tbLookTarSt;
    tbLookPoslDog = components_.tbLookPoslDog;
    tbParameter = components_.tbParameter;
    tbPromet = components_.tbPromet;
    tbPrometPoz = components_.tbPrometPoz;
    tbLookSubjCenik = components_.tbLookSubjCenik;
    tbLookMsForm = components_.tbLookMsForm;

    FormCreate();
}

TMain::~TMain() = default;

QLabel* TMain::LabelFor(QWidget* control) const {
    return findChild<QLabel*>(control->objectName() + "Label");
}

void TMain::FormCreate() {
    try {
        OpenSettingsFile("Tevrin.INI");
    } catch (const std::exception& e) {
        // The window opens all the same, with the defaults; the operator is told once it
        // shows, since nothing typed now can be kept.
        LogException(e, &Application(), "FormCreate");
        startupProblem_ =
            "Mape s podatki programa ni mogoče ustvariti, zato se nastavitve ne bodo shranile.\n" +
            std::string(e.what());
    }
    const TStoredInputs stored = ReadStoredInputs();
    fPoslDog->setText(Q(stored.PoslDog));
    fAlias->setText(Q(stored.Alias));
    fReferent->setText(Q(stored.Referent));
    fPath->setText(Q(stored.Path));
}

void TMain::ShowStartupProblem() {
    if (!startupProblem_.empty()) {
        ShowException(EInOutError(startupProblem_));
    }
}

void TMain::FormClose() {
    WriteStoredInputs(
        {S(fPoslDog->text()), S(fAlias->text()), S(fReferent->text()), S(fPath->text())});
}

void TMain::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TMain::bKonecClick() {
    close();
}

TTransferOptions TMain::TypedOptions() const {
    TTransferOptions options;
    options.PoslDog = S(fPoslDog->text());
    options.Referent = S(fReferent->text());
    options.Datum = S(fDatum->text());
    options.DataSource = S(fAlias->text());
    options.Path = S(fPath->text());
    return options;
}

// The transfer run, as the run without a window makes it; an exception that ends it is
// shown by the application's default handler.
void TMain::bPrenosClick() {
    RunTransfer(TypedOptions());
}

namespace {

// The window's sign-on: a login the database refuses is asked for; the batch mode cannot.
TSignOnProc AskingSignOn(QWidget* window) {
    return [window](THdbc& database, const std::string& dataSource) {
        SignOnAsking(database, dataSource,
                     [window](const std::string& source, const std::string& user,
                              const std::string& refusal) {
                         return AskLogin(window, source, user, refusal);
                     });
    };
}

} // namespace

bool TMain::ExecuteTold(TTransfer& run, TTransferWindowUi& ui, const TTransferOptions& options) {
    lIzid->clear();
    auto tell = [&](TRunEnd end) {
        TRunSummary summary = ui.Summary();
        summary.End = end;
        summary.DryRun = options.Check;
        lIzid->setText(QString::fromStdString(RunSummaryLine(summary)));
    };
    TTransferOutcome outcome;
    try {
        outcome = run.Execute(options);
    } catch (...) {
        // Told before the failure's message box, which the default handler shows.
        tell(TRunEnd::Interrupted);
        throw;
    }
    const bool done =
        outcome == TTransferOutcome::Completed || outcome == TTransferOutcome::ErrorsReported;
    tell(done ? TRunEnd::Finished : TRunEnd::NotDone);
    return done;
}

void TMain::RunTransfer(TTransferOptions options, const TTransferPreview* preview) {
    TTransferWindowUi ui(this, ProgressBar);
    if (preview) {
        ui.KeepInvoices();
    }
    TTransfer run(components_, ui, AskingSignOn(this));
    if (!ExecuteTold(run, ui, options) || !preview) {
        return;
    }
    const std::string difference = PreviewDifference(*preview, ui.Written(), ui.Errors());
    if (!difference.empty()) {
        lIzid->setText(lIzid->text() + QString::fromUtf8("; drugače kot v predogledu"));
        ShowMessage(QString::fromStdString(difference));
    }
}

// Nothing of the dry run reaches Tevrin or the journal; it holds the run lock as any run.
// The preview shows what it would have written, and "Zapiši" writes it with the inputs the
// preview was made with, whatever the fields say by then.
void TMain::bPreizkusClick() {
    TTransferOptions options = TypedOptions();
    options.Check = true;
    TPreviewRunUi ui(this, ProgressBar);
    TTransfer run(components_, ui, AskingSignOn(this));
    if (!ExecuteTold(run, ui, options)) {
        return;
    }
    TPreviewDialog dialog({options, ui.Written(), ui.Errors(), ui.NoticeText(), run.FilePrices()},
                          this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    options.Check = false;
    RunTransfer(options, &dialog.Preview());
}

// "Nadaljuj" in the history goes on with the stopped run as it was given: its file, data
// source, business event, clerk and date, whatever the inputs now say.
void TMain::bZgodovinaClick() {
    THistoryDialog history(*Database, TypedOptions().DataSource, AskingSignOn(this), this);
    if (history.exec() != QDialog::Accepted || !history.ResumeRequest()) {
        return;
    }
    const TTransferRun& stopped = *history.ResumeRequest();
    TTransferOptions options;
    options.PoslDog = stopped.PoslDog;
    options.Referent = stopped.Referent;
    options.Datum = DateToStr(stopped.IssueDate);
    // The database whose ledger knows the run, whatever name the run reached it by.
    options.DataSource = history.DataSource();
    options.Path = stopped.FilePath;
    options.Resume = true;
    RunTransfer(std::move(options));
}

} // namespace zen
