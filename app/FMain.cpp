#include "app/FMain.h"

#include "app/DataSourceBox.h"
#include "app/DateEdit.h"
#include "app/Demo.h"
#include "app/HistoryDialog.h"
#include "app/LoginDialog.h"
#include "app/NewDataSourceDialog.h"
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
#include "report/NapakaPainter.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"
#include "transfer/TransferRun.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <filesystem>

namespace zen {

namespace {

constexpr int kFieldHeight = 21;
// The least room left of a label.
constexpr int kLabelMargin = 4;

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
    // The font the fixed places below were measured with, which the package brings.
    setFont(ReportFont(8));

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
        const int right = control->x() - 6;
        // Should a wider font stand in for the one measured, the label is set smaller
        // rather than cut at the window's edge.
        QFont font = l->font();
        while (l->sizeHint().width() > right - kLabelMargin && font.pointSizeF() > 6) {
            font.setPointSizeF(font.pointSizeF() - 0.5);
            l->setFont(font);
        }
        const int width = std::min(l->sizeHint().width(), right - kLabelMargin);
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

    // In the free space above the path, where a long line has room for four lines of the
    // window's font: the end of the text ("v bazi ni nič zapisano") is what reassures.
    lIzid = new QLabel(this);
    lIzid->setObjectName("lIzid");
    lIzid->setGeometry(16, 140, 401, 58);
    lIzid->setWordWrap(true);
    lIzid->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    lIzid->setTextFormat(Qt::PlainText);

    // Under the path's right end, between it and the progress bar.
    bIzberi = new QPushButton(QString::fromUtf8("Izberi…"), this);
    bIzberi->setObjectName("bIzberi");
    bIzberi->setGeometry(342, 228, 75, 19);
    bIzberi->setAutoDefault(false);
    connect(bIzberi, &QPushButton::clicked, this, [this] { bIzberiClick(); });

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
    // Below it, the office's own set-up: its data source, and a demo to try first.
    bNovVir = new QPushButton(QString::fromUtf8("Nov vir podatkov…"), this);
    bNovVir->setObjectName("bNovVir");
    bNovVir->setGeometry(288, 75, 129, 23);
    connect(bNovVir, &QPushButton::clicked, this, [this] { bNovVirClick(); });
    bDemo = new QPushButton(QString::fromUtf8("Demo…"), this);
    bDemo->setObjectName("bDemo");
    bDemo->setGeometry(288, 107, 129, 23);
    connect(bDemo, &QPushButton::clicked, this, [this] { bDemoClick(); });

    QWidget::setTabOrder(fPoslDog, fAlias);
    QWidget::setTabOrder(fAlias, fReferent);
    QWidget::setTabOrder(fReferent, fDatum->lineEdit());
    QWidget::setTabOrder(fDatum->lineEdit(), fPath);
    QWidget::setTabOrder(fPath, bPrenos);
    QWidget::setTabOrder(bPrenos, bPreizkus);
    QWidget::setTabOrder(bPreizkus, bKonec);
    QWidget::setTabOrder(bKonec, bZgodovina);
    QWidget::setTabOrder(bZgodovina, bNovVir);
    QWidget::setTabOrder(bNovVir, bDemo);
    // After the specified order, which it leaves as it was.
    QWidget::setTabOrder(bDemo, bIzberi);

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

void TMain::bIzberiClick() {
    const std::filesystem::path typed = S(fPath->text());
    const QString start = typed.empty() ? QString() : Q(typed.parent_path().string());
    const QString file = QFileDialog::getOpenFileName(
        this, QString::fromUtf8("Prenosna baza"), start,
        QString::fromUtf8("Prenosna baza dBase (*.dbf *.DBF);;Vse datoteke (*)"));
    if (!file.isEmpty()) {
        fPath->setText(file);
    }
}

bool TMain::ExecuteTold(TTransfer& run, TTransferWindowUi& ui, const TTransferOptions& options) {
    lIzid->clear();
    ProgressBar->setValue(0);
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
    if (!done) {
        ProgressBar->setValue(0); // a full bar would say the records went through
    }
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
    TPreviewDialog dialog(
        {options, ui.Written(), ui.Errors(), ui.NoticeText(), run.FilePrices(), ui.TotalsText()},
        this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    options.Check = false;
    RunTransfer(options, &dialog.Preview());
}

void TMain::bNovVirClick() {
    TNewDataSourceDialog dialog(AskingSignOn(this), this);
    if (dialog.exec() == QDialog::Accepted) {
        fAlias->setText(Q(dialog.Written()));
    }
}

// The demo replaces the inputs with its own, which the window then keeps as any typed.
void TMain::bDemoClick() {
    auto ask =
        MessageBox(QMessageBox::Question,
                   Q("Pripravim demo v " + (HomePath() / "demo").string() +
                     " (baza Tevrin SQLite, prenosni datoteki, vir podatkov »" + kDemoDataSource +
                     "«)? Prej pripravljeni demo se nadomesti, polja okna se nastavijo na demo."),
                   QMessageBox::Yes | QMessageBox::No, this);
    ask->setObjectName("DemoQuestion");
    if (ask->exec() != QMessageBox::Yes) {
        return;
    }
    const TDemo demo = MakeDemo();
    fPoslDog->setText(kDemoEvent);
    fReferent->setText(kDemoClerk);
    fAlias->setText(kDemoDataSource);
    fPath->setText(Q(demo.File.string()));
    ShowMessage(Q(DemoText(demo) + "V oknu: vpišite datum izstavitve in kliknite Preizkus ali "
                                   "Prenos; razveljavitev je v Zgodovini prenosov."));
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
