#include "transfer/RunTotals.h"

#include "toolkit/SloveneAmount.h"
#include "transfer/TransferUi.h"

namespace zen {

void TRunTotals::Add(const TInvoiceSummary& invoice) {
    ++Invoices;
    Lines += invoice.Lines;
    Kolicina += invoice.Kolicina;
    Vrednost += invoice.Vrednost;
    Davek += invoice.Davek;
    ZaPlacilo += invoice.ZaPlacilo;
    if (FileValue) {
        *FileValue += invoice.FileValue;
    }
}

std::string ControlTotalsText(const TRunTotals& t) {
    std::string text =
        "Kontrolni seštevki: zapisov prebranih " + std::to_string(t.Read) + ", uporabljenih " +
        std::to_string(t.Lines) + ", zavrnjenih " + std::to_string(t.Refused) + "; računov " +
        std::to_string(t.Invoices) + ", postavk " + std::to_string(t.Lines) + "; količina skupaj " +
        SloveneAmount(t.Kolicina, 3) + "; vrednost " + SloveneAmount(t.Vrednost) + ", DDV " +
        SloveneAmount(t.Davek) + ", za plačilo " + SloveneAmount(t.ZaPlacilo);
    if (t.FileValue) {
        text += "; vrednost po datoteki (količina × cena) " + SloveneAmount(*t.FileValue);
        if (*t.FileValue != t.Vrednost) {
            text += ", razlika " + SloveneAmount(t.Vrednost - *t.FileValue);
        }
    }
    return text + ".";
}

} // namespace zen
