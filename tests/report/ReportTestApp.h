#pragma once
// The one QApplication of the report tests (fonts, printers and the preview need it).

class QApplication;

namespace zen::test {

QApplication& ReportApp();

} // namespace zen::test
