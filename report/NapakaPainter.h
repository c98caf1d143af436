#pragma once
// Draws the transfer error report on a printer: the preview's, a PDF file's or a real one.
// One drawing code serves all three, so what the operator previews is what prints.

#include "report/NapakaLayout.h"

#include <vector>

class QPrinter;

namespace zen {

// Letter paper, portrait, all four margins 10 mm, the report's title as the document name.
void SetupNapakaPrinter(QPrinter& printer);

// Paints every page of the report over rows. The rows are drawn in the order given; a field
// whose text needs more lines than its box holds makes its detail band taller rather than
// losing the rest of its text. EInOutError when the printer cannot be painted on (a PDF file
// that cannot be opened, a page that cannot be started).
void PaintNapakaReport(QPrinter& printer, const std::vector<TNapakaRow>& rows);

} // namespace zen
