#pragma once
// The lines of an invoice in PrometPoz: one per working row of the payer, priced by the
// price rules when the transfer file carries no prices, its amounts added to the
// invoice's totals, and posted at once.

#include <string>

namespace zen {

struct TInvoiceTotals;
struct TTransferComponents;

struct TLineInputs {
    int Poz = 0;            // 0 for the invoice's first line
    std::string Referent;   // the clerk
    bool FilePrices = true; // the transfer file's prices are used
};

// Appends a line for the working table's current row (tbRacPoz) to tbPrometPoz under the
// unposted header of tbPromet, with the article and its tariff found anew, and posts it.
// The amounts added to `totals` are read back from the line row, so that a price set by
// the pricing is what counts. Leaves the line unposted in insert state when a step fails.
void AppendInvoiceLine(const TTransferComponents& c, const TLineInputs& in, TInvoiceTotals& totals);

} // namespace zen
