#include "transfer/InvoiceSummary.h"

#include "toolkit/DataSet.h"
#include "toolkit/Field.h"
#include "transfer/InvoiceHeader.h"

namespace zen {

TInvoiceLineSummary InvoiceLineSummary(TDataSet& line, TDataSet& work, const TInvoiceTotals& before,
                                       const TInvoiceTotals& after) {
    auto text = [](TDataSet& ds, const char* column) { return ds.FieldByName(column)->AsString(); };
    auto amount = [&line](const char* column) {
        return Currency::FromDouble(line.FieldByName(column)->AsFloat());
    };
    TInvoiceLineSummary s;
    s.Kupec = text(work, "Kupec");
    s.StRac = text(work, "StRac");
    s.Ident = text(line, "Ident");
    s.Naziv = text(line, "Naziv");
    s.Kolicina = line.FieldByName("Kolicina")->AsFloat();
    s.Cena = amount("Cena");
    s.Rabat = amount("Rabat");
    s.Vrednost = after.Vrednost - before.Vrednost;
    // As the header's Davek takes them: VAT and excise together.
    s.Davek = (after.Davek + after.Trosarina) - (before.Davek + before.Trosarina);
    s.ZaPlacilo = after.ZaPlacilo - before.ZaPlacilo;
    return s;
}

} // namespace zen
