#pragma once
// The lines of an invoice in PrometPoz: one per working row of the payer, priced by the
// price rules when the transfer file carries no prices, its amounts added to the
// invoice's totals.

#include <functional>
#include <string>

namespace zen {

struct TInvoiceTotals;
struct TTransferComponents;
class TRowValues;
class TRowWriter;
class TRowRecord;
class TDataSet;

struct TLineInputs {
    std::string Kljuc;      // the invoice's key
    int Poz = 0;            // 0 for the invoice's first line
    std::string Referent;   // the clerk
    bool FilePrices = true; // the transfer file's prices are used
};

// Where a line's values come from, each standing on its row: the working row, its article
// (Ms) and the article's tariff (TarSt); an article or tariff not found reads as empty texts
// and zeros.
struct TLineSources {
    const TRowValues& Work;
    const TRowValues& Article;
    const TRowValues& Tariff;
    TDataSet& Parameter; // standing on the parameters row, for the amounts
};

// Sets every column of the line row being written from its sources, lets `price` (when
// given) set its price by the rules, and adds its amounts, read back from the row so that a
// price the rules set is what counts, to `totals`.
void FillInvoiceLine(TRowWriter& line, const TLineSources& src, const TLineInputs& in,
                     TInvoiceTotals& totals, const std::function<void()>& price = {});

// The line of the working table's current row (tbRacPoz), made in `row` and, for the
// pricing, in tbPrometPoz under the header tbPromet is making: the article and its tariff
// found anew in the designed datasets and the price set by the rules when the file has none.
// The dataset's row is cancelled again: `row` is what is written.
void PriceInvoiceLine(const TTransferComponents& c, const TLineInputs& in, TInvoiceTotals& totals,
                      TRowRecord& row);

} // namespace zen
