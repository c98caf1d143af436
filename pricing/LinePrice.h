#pragma once
// The unit price, discount and production price of one document line, from the price
// rules of the accounting database: the article master, the partner and its price list,
// the parameters row with its three formulas, and the named price formulas.
//
// IzrCenePoz gathers the line's article and hands over to IzrCenePozC, which decides:
//   the price class and the side (customer when the direction code begins with "I",
//     supplier otherwise; a second character "K" leaves the partner discount out);
//   a price-list row of the document's partner or of the partner's type, for the article
//     or its class (searched only for document tables that name a partner column);
//   the discounts combined (added, or chained when the parameters say so);
//   the component, class and purchase prices from the parameter formulas, and the named
//     formula's price;
//   a fall-back price when no formula gave one, and the partner's price method;
// and writes "Cena", "Rabat" and "ProdCena" into the line without posting it.
//
// Every value used as a key is a value read from data (files or tables), so the lookups
// compare texts literally: a "%" in a name or an ident is never a pattern.

#include "toolkit/Money.h"

#include <string>

namespace zen {

class TCustomOEDataSet;
class TCustomOEQuery;
class TDataSet;

// The datasets of the main window that the pricing reads and repositions.
struct TPricingDataSets {
    TCustomOEQuery& tbLookMS;        // articles (Ms)
    TCustomOEQuery& tbLookSubjCenik; // price lists (SubjektCenik), opened when needed
    TCustomOEQuery& tbLookMsForm;    // named price formulas (MsFormula), opened when needed
    TDataSet& tbParameter;           // standing on the parameters row (Param)
};

// The article's values that take part in the price. The currencies are carried along
// and take no part in the result.
struct TArticleValues {
    std::string Ident;
    std::string Klasif;  // the article class, the price list's second key
    std::string Valuta;  // the article's currency
    std::string Formula; // the code of the article's named price formula
    Currency Popust;     // the article discount (customer side only)
    Currency MpCena;
    Currency VpCena;
    Currency VpCena2;
    Currency Sestavnica;
    Currency CenaDob;
    Currency Rabat; // the supplier's discount on the article
    Currency NabaCena;
    std::string ValutaDob; // the supplier's currency
};

// Prices the line standing in `line`. The article is found by the line's ident ("Ident";
// "IdentPod" or "IdentDopl" for the lines of the tables NarocKos and NarocDopl) unless
// tbLookMS already stands on it; an article that is not found prices as zeros. `partner`
// stands on the document's partner. With `quantityFormulasOnly` a named formula counts
// only when it mentions KOLICINA, and a line that gets no formula price is left as it is.
// A failure is logged as "IzrCenePoz" with the document as the failing object.
void IzrCenePoz(const TPricingDataSets& ds, TCustomOEDataSet& document, TDataSet& line,
                TDataSet& partner, bool quantityFormulasOnly, const std::string& direction);

// The decisions, for an article whose values are given; "ProdCena" is copied from the
// row tbLookMS stands on. A failure is logged as "IzrCenePozC" with the document as the
// failing object; a failure before the write leaves the line's columns as they were.
void IzrCenePozC(const TPricingDataSets& ds, TCustomOEDataSet& document, TDataSet& line,
                 TDataSet& partner, const TArticleValues& article, bool quantityFormulasOnly,
                 const std::string& direction);

} // namespace zen
