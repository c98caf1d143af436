#pragma once
// The money amounts of one document line (value, discount, excise, VAT, amount payable),
// added to the running totals of the invoice being built.

#include "toolkit/Money.h"

namespace zen {

class TDataSet;

// Adds the amounts of one line to the five totals. `parameter` is the parameters dataset
// standing on its row; its "OsnZaIzrProdCene" = "M" selects the retail basis (the price
// includes VAT), anything else the net basis. Rates (rabat, davekP, trosarinaP) are
// percentages, trosarina the excise per unit; prodCena takes no part. The rounding step
// of RoundT must be set.
//
// The totals change only when every amount of the line could be computed: a failure is
// written to the exception log as "CalcVredPromPoz" and leaves all five as they were.
void CalcVredPromPoz(TDataSet& parameter, Currency& vrednost, Currency& davek, Currency prodCena,
                     double kolicina, Currency cena, double rabat, double davekP,
                     Currency trosarina, double trosarinaP, Currency& trosarinaSum,
                     Currency& popust, Currency& zaPlacilo);

} // namespace zen
