#include "pricing/LineValue.h"

#include "dbutil/Guarded.h"
#include "dbutil/StdProc.h"
#include "toolkit/DataSet.h"

namespace zen {

namespace {

struct LineAmounts {
    Currency value, discount, excise, vat;
};

// Products are taken in long double and brought to four decimals, halves to even.
Currency Four(long double value) {
    return Currency::FromDouble(value);
}

LineAmounts NetBasis(long double q, long double c, long double rb, long double dv, long double tr,
                     long double tp) {
    LineAmounts a;
    a.value = RoundT(Four(c * q));
    a.discount = RoundT(Four(a.value.ToLongDouble() * rb / 100));
    Currency base = a.value - a.discount;
    a.excise = RoundT(Four(base.ToLongDouble() * tp / 100 + tr * q));
    a.vat = RoundT(Four((base + a.excise).ToLongDouble() * dv / 100));
    return a;
}

// The price includes VAT: the gross is rounded first and the other amounts are taken out
// of it, so that the line's payable amount is the gross the customer sees.
LineAmounts RetailBasis(long double q, long double c, long double rb, long double dv,
                        long double tr, long double tp) {
    long double keep = 1 - rb / 100;
    // The excise counts once per unit, as in the excise amount below.
    Currency x = Four(c * q * keep * (1 + tp / 100) + tr * q);
    Currency gross = RoundT(Four(x.ToLongDouble() * (1 + dv / 100)));
    Currency net = Four(c * q * keep);
    LineAmounts a;
    a.vat = dv == 0 ? Currency() : RoundT(gross - net);
    // DivT gives 0 for a discount of 100 %, where nothing is left to take the discount from.
    double beforeDiscount = DivT((gross - a.vat).ToDouble(), static_cast<double>(keep));
    a.discount = RoundT(Four(beforeDiscount * rb / 100));
    a.excise =
        (tp == 0 && tr == 0) ? Currency() : RoundT(Four(net.ToLongDouble() * tp / 100 + tr * q));
    a.value = gross - a.vat + a.discount - a.excise;
    return a;
}

} // namespace

void CalcVredPromPoz(TDataSet& parameter, Currency& vrednost, Currency& davek, Currency prodCena,
                     double kolicina, Currency cena, double rabat, double davekP,
                     Currency trosarina, double trosarinaP, Currency& trosarinaSum,
                     Currency& popust, Currency& zaPlacilo) {
    (void)prodCena;
    Guarded<bool>("CalcVredPromPoz", false, [&] {
        bool retail = parameter.FieldByName("OsnZaIzrProdCene")->AsString() == "M";
        LineAmounts a = (retail ? RetailBasis : NetBasis)(
            kolicina, cena.ToLongDouble(), rabat, davekP, trosarina.ToLongDouble(), trosarinaP);
        // Every new total is computed before any is stored, so that an overflow leaves
        // the invoice's totals as they were.
        Currency v = vrednost + a.value;
        Currency t = davek + a.vat;
        Currency e = trosarinaSum + a.excise;
        Currency d = popust + a.discount;
        Currency p = zaPlacilo + (a.value - a.discount + a.vat + a.excise);
        vrednost = v;
        davek = t;
        trosarinaSum = e;
        popust = d;
        zaPlacilo = p;
        return true;
    });
}

} // namespace zen
