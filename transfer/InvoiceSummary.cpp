#include "transfer/InvoiceSummary.h"

#include "transfer/InvoiceHeader.h"
#include "transfer/RowValues.h"

namespace zen {

TInvoiceLineSummary InvoiceLineSummary(const TRowRecord& line, const TRowValues& work,
                                       const TInvoiceTotals& before, const TInvoiceTotals& after) {
    auto amount = [&line](const char* column) {
        return Currency::FromDouble(line.NumberOf(column));
    };
    TInvoiceLineSummary s;
    s.Kupec = work.Text("Kupec");
    s.StRac = work.Text("StRac");
    s.Ident = line.TextOf("Ident");
    s.Naziv = line.TextOf("Naziv");
    s.Kolicina = line.NumberOf("Kolicina");
    s.Cena = amount("Cena");
    s.Rabat = amount("Rabat");
    s.Vrednost = after.Vrednost - before.Vrednost;
    // As the header's Davek takes them: VAT and excise together.
    s.Davek = (after.Davek + after.Trosarina) - (before.Davek + before.Trosarina);
    s.ZaPlacilo = after.ZaPlacilo - before.ZaPlacilo;
    return s;
}

} // namespace zen
