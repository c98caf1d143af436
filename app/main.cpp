#include "app/FMain.h"
#include "app/FormulaCheck.h"
#include "app/SignOn.h"
#include "app/ZenApplication.h"
#include "localtable/Table.h"
#include "report/FNapaka.h"
#include "toolkit/DateTime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

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

} // namespace

int main(int argc, char** argv) {
    // The formula checker runs without a window system, so it goes before any Qt object.
    if (zen::IsFormulaCheckCommand(argc, argv)) {
        return zen::RunFormulaCheck(argc, argv, std::cout, std::cerr);
    }
    // Storing the SQL login needs no window either.
    if (zen::IsSetLoginCommand(argc, argv)) {
        return zen::RunSetLogin(argc, argv, std::cin, std::cerr);
    }
    if (!HaveDisplay()) {
        std::fprintf(stderr, "zendrato: no display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                             "the window cannot open\n");
        return 2;
    }
    try {
        zen::TZenApplication app(argc, argv);
        zen::InitFormatSettingsFromLocale();
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
