#pragma once
// Draws the transfer error report on a paged device: the preview's printer, a real one or a
// PDF writer.
// One drawing code serves all three, so what the operator previews is what prints.

#include "report/NapakaLayout.h"

#include <vector>

class QFont;
class QPageLayout;
class QPagedPaintDevice;
class QPrinter;

namespace zen {

// The font every fixed layout of the program is measured with: Arial where it is installed,
// otherwise its metric twin Liberation Sans, which the package depends on; both carry the
// Central European letters.
QFont ReportFont(double points);
// Letter paper, portrait, all four margins 10 mm.
QPageLayout NapakaPageLayout();
// The page layout, with the report's title as the document name.
void SetupNapakaPrinter(QPrinter& printer);

// Paints every page of the report over rows. The rows are drawn in the order given; a field
// whose text needs more lines than its box holds makes its detail band taller rather than
// losing the rest of its text. EInOutError when the device cannot be painted on (a page
// that cannot be started).
void PaintNapakaReport(QPagedPaintDevice& device, const std::vector<TNapakaRow>& rows);

} // namespace zen
