#include "ReportTestApp.h"

#include <QApplication>

namespace zen::test {

QApplication& ReportApp() {
    static int argc = 1;
    static char arg0[] = "report_tests";
    static char* argv[] = {arg0, nullptr};
    // Never destroyed: Qt's own teardown at exit is not ours to order.
    static auto* app = new QApplication(argc, argv);
    return *app;
}

} // namespace zen::test
