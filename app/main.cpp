#include "app/BatchHistory.h"
#include "app/BatchTransfer.h"
#include "app/CommandLine.h"
#include "app/DataSourceSetup.h"
#include "app/Demo.h"
#include "app/FMain.h"
#include "app/FormulaCheck.h"
#include "app/SignOn.h"
#include "app/ZenApplication.h"
#include "localtable/Table.h"
#include "report/FNapaka.h"
#include "toolkit/DateTime.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace {

// Without a window system Qt would abort with a message about plugins; say plainly why the
// window cannot open instead.
bool HaveDisplay() {
    auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v && *v;
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
}

// A standard input the caller closed reads as empty: otherwise the first file the program
// opens would take its number, and --set-login would read that file as the password.
void KeepStandardInputOpen() {
    if (::fcntl(STDIN_FILENO, F_GETFD) == -1 && errno == EBADF) {
        (void)::open("/dev/null", O_RDONLY); // the lowest free number, which is 0
    }
}

int RunWindow(int argc, char** argv) {
    if (!HaveDisplay()) {
        std::fprintf(stderr, "zendrato: ni zaslona (ne DISPLAY ne WAYLAND_DISPLAY ni nastavljen), "
                             "zato okna ni mogoče odpreti\n");
        return 2;
    }
    try {
        zen::TZenApplication app(argc, argv);
        zen::InitSloveneFormatSettings();
        zen::TMain main;
        // The error report lives as long as the window whose error table it shows.
        zen::TNapaka napaka(nullptr, main.tbNapaka);
        main.show();
        main.ShowStartupProblem();
        return app.exec();
    } catch (const std::exception& e) {
        // Whatever start-up could not survive is said in one line, not by an abort.
        std::fprintf(stderr, "zendrato: %s\n", e.what());
        return 2;
    }
}

// Qt's own warnings (a runtime directory not set, a font not found) are English and say
// nothing an operator can act on; a job's log keeps only what the run says. What would end
// the process still does.
void QtMessageForOperator(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "zendrato: %s\n", text.toLocal8Bit().constData());
    }
}

// The transfer shows nothing, so it needs no display. Only the PDF report draws text, for
// which Qt needs its GUI application and fonts; it gets the offscreen platform, which needs
// no window system, whatever DISPLAY says. A CSV report or none needs no more than the core.
int RunTransfer(int argc, char** argv, const zen::TTransferArgs& args) {
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    qInstallMessageHandler(QtMessageForOperator);
    if (!args.Report.empty() && !zen::IsCsvReport(args.Report)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return zen::RunBatchTransfer(args, std::cout, std::cerr, terminal);
    }
    QCoreApplication app(argc, argv);
    return zen::RunBatchTransfer(args, std::cout, std::cerr, terminal);
}

} // namespace

int main(int argc, char** argv) {
    KeepStandardInputOpen();
    std::setlocale(LC_ALL, "");
    // Dates and amounts are Slovene whatever the system's locale, --date's among them.
    zen::InitSloveneFormatSettings();
    std::optional<zen::TCommandLine> cl = zen::ParseCommandLineOrExplain(argc, argv, std::cerr);
    if (!cl) {
        return 2;
    }
    if (cl->Help) {
        std::cout << zen::CommandHelp(cl->Mode);
        return 0;
    }
    if (cl->Version) {
        std::cout << zen::VersionText();
        return 0;
    }
    switch (cl->Mode) {
    case zen::TCommandMode::Formula:
        return zen::RunFormulaCheck(*cl, std::cout, std::cerr);
    case zen::TCommandMode::SetLogin:
        return zen::RunSetLogin(cl->LoginUser, std::cin, std::cerr);
    case zen::TCommandMode::Transfer:
        return RunTransfer(argc, argv, cl->Transfer);
    case zen::TCommandMode::History: {
        QCoreApplication app(argc, argv);
        return zen::RunHistory(cl->History, std::cout, std::cerr);
    }
    case zen::TCommandMode::Undo: {
        QCoreApplication app(argc, argv);
        return zen::RunUndo(cl->Undo, std::cout, std::cerr);
    }
    case zen::TCommandMode::AddDsn:
        return zen::RunAddDsn(cl->AddDsn.Source, cl->AddDsn.Force, std::cout, std::cerr);
    case zen::TCommandMode::Demo: {
        QCoreApplication app(argc, argv); // the demo's data are the program's resources
        return zen::RunDemo(std::cout, std::cerr);
    }
    case zen::TCommandMode::Window:
        break;
    }
    return RunWindow(argc, argv);
}
