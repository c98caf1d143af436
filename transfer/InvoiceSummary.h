#pragma once
// What a run tells its interface of each line it wrote, read back from the posted line so
// that a price set by the rules is what is told.

#include "transfer/TransferUi.h"

namespace zen {

class TDataSet;
struct TInvoiceTotals;

// The line just posted on `line` (tbPrometPoz), for the working row `work` stands on; its
// amounts are what it added to the invoice's totals, from `before` to `after`.
TInvoiceLineSummary InvoiceLineSummary(TDataSet& line, TDataSet& work, const TInvoiceTotals& before,
                                       const TInvoiceTotals& after);

} // namespace zen
