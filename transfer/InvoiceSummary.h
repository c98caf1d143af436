#pragma once
// What a run tells its interface of each line it wrote, read from the line's row as it is
// inserted, so that a price set by the rules is what is told.

#include "transfer/TransferUi.h"

namespace zen {

class TRowRecord;
class TRowValues;
struct TInvoiceTotals;

// The line made in `line` for the working row `work`; its amounts are what it added to the
// invoice's totals, from `before` to `after`.
TInvoiceLineSummary InvoiceLineSummary(const TRowRecord& line, const TRowValues& work,
                                       const TInvoiceTotals& before, const TInvoiceTotals& after);

} // namespace zen
