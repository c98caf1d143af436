#pragma once
// Control totals for tests that store them in the ledger themselves. Header only: the
// support library does not link the transfer code.

#include "transfer/RunTotals.h"

namespace zen::test {

// Records read and refused, then the quantity, value, VAT, payable and file value in
// ten-thousandths.
inline TRunTotals RunTotalsOf(int64_t read, int64_t refused, int64_t kolicina, int64_t vrednost,
                              int64_t davek, int64_t zaPlacilo, int64_t fileValue) {
    TRunTotals totals;
    totals.Read = read;
    totals.Refused = refused;
    totals.Kolicina = Currency::FromRaw(kolicina);
    totals.Vrednost = Currency::FromRaw(vrednost);
    totals.Davek = Currency::FromRaw(davek);
    totals.ZaPlacilo = Currency::FromRaw(zaPlacilo);
    totals.FileValue = Currency::FromRaw(fileValue);
    return totals;
}

} // namespace zen::test
