#pragma once
// The main window: the operator's five inputs for a transfer run, the progress bar, and the
// buttons "Prenos", "Preizkus" (the dry run with its preview) and "Konec". It owns the
// long-lived objects of the program and keeps four of the inputs in the settings file from
// one start to the next.

#include "app/DataSourceBox.h"
#include "toolkit/Component.h"
#include "transfer/TransferComponents.h"

#include <QWidget>
#include <string>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace zen {

class TDateEdit;
class THdbc;
class TwwOEDataSet;
struct TTransferOptions;
struct TTransferPreview;
class TTransfer;
class TTransferWindowUi;
class TTable;

class TMain : public QWidget, public TComponent {
    Q_OBJECT
public:
    explicit TMain(QWidget* parent = nullptr);
    ~TMain() override;
    const char* ClassName() const noexcept override { return "TMain"; }

    QLineEdit* fPoslDog;
    TDataSourceBox* fAlias;
    QLineEdit* fReferent;
    TDateEdit* fDatum;
    QLineEdit* fPath;
    QPushButton* bIzberi; // "Izberi…": the transfer file chosen in a file dialog
    QProgressBar* ProgressBar;
    // What the last run did, word-wrapped above the path.
    QLabel* lIzid;
    QPushButton* bPrenos;
    QPushButton* bPreizkus; // between "Prenos" and "Konec"
    QPushButton* bKonec;
    QPushButton* bZgodovina; // "Zgodovina prenosov…", beside the specified inputs
    QPushButton* bNovVir;    // "Nov vir podatkov…": a data source set up and tried
    QPushButton* bDemo;      // "Demo…": the demo made and its inputs filled in

    // Non-visual objects, owned by the window as their component owner.
    THdbc* Database;
    TTable* tbRac;    // the transfer file
    TTable* tbNapaka; // TPrenosNapaka, the transfer error table
    TTable* tbRacPoz; // TVeskPrenosRac, the working table
    // The datasets over Tevrin tables that a transfer run works with.
    TwwOEDataSet* tbLookSubj2;
    TwwOEDataSet* tbLookSubj;
    TwwOEDataSet* tbSubj;
    TwwOEDataSet* tbLookMS;
    TwwOEDataSet* tbLookTarSt;
    TwwOEDataSet* tbLookPoslDog;
    TwwOEDataSet* tbParameter;
    TwwOEDataSet* tbPromet;
    TwwOEDataSet* tbPrometPoz;
    TwwOEDataSet* tbLookSubjCenik;
    TwwOEDataSet* tbLookMsForm;

    // The label in front of an input, for checks of the layout.
    QLabel* LabelFor(QWidget* control) const;

    void bPrenosClick();
    // The run of "Prenos" with every invoice rolled back, then its preview, from which
    // "Zapiši" runs the transfer with the same inputs.
    void bPreizkusClick();
    void bKonecClick();
    // Chooses the transfer file into fPath, starting in the folder of the one typed.
    void bIzberiClick();
    // The history of transfer runs, with undo and resume.
    void bZgodovinaClick();
    // A new data source; once it works, "Baza tevrin" names it.
    void bNovVirClick();
    // Makes the demo (MakeDemo) and fills the inputs with its own.
    void bDemoClick();

    // Why start-up could not go as usual (the home directory cannot be created), or empty.
    const std::string& StartupProblem() const { return startupProblem_; }
    // Shows that problem in a message box, once the window is on screen.
    void ShowStartupProblem();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    TTransferOptions TypedOptions() const;
    // Runs the transfer and says in lIzid what it did; whether it ran to its end.
    bool ExecuteTold(TTransfer& run, TTransferWindowUi& ui, const TTransferOptions& options);
    // A real run; after "Zapiši", `preview` is what it is compared with.
    void RunTransfer(TTransferOptions options, const TTransferPreview* preview = nullptr);
    TTransferComponents components_;
    void FormClose();

    std::string startupProblem_;
};

} // namespace zen
