#include "pricing/LinePrice.h"

#include "dataset/ODSI.h"
#include "dbutil/Guarded.h"
#include "dbutil/StdProc.h"
#include "pricing/FormulaPrice.h"
#include "toolkit/Text.h"

#include <initializer_list>

namespace zen {

namespace {

std::string Text(const TDataSet& ds, const char* column) {
    return ds.FieldByName(column)->AsString();
}

Currency Amount(const TDataSet& ds, const char* column) {
    return ds.FieldByName(column)->AsCurrency();
}

// The table a dataset runs on by its TableName, in upper case; empty for datasets
// defined by SQL text and for datasets that are not ODBC datasets.
std::string TableOf(TDataSet& ds) {
    auto* odbc = dynamic_cast<TCustomOEDataSet*>(&ds);
    return odbc ? AsciiUpper(odbc->TableName()) : std::string();
}

// The line column that holds the article: the order tables keep theirs under other names.
const char* IdentColumn(TDataSet& line) {
    std::string table = TableOf(line);
    if (table == "NAROCKOS") {
        return "IdentPod";
    }
    if (table == "NAROCDOPL") {
        return "IdentDopl";
    }
    return "Ident";
}

// The document column that names the partner whose price list applies, or nullptr.
const char* PartnerColumn(TCustomOEDataSet& document, const std::string& direction) {
    std::string table = TableOf(document);
    if (table == "PROMET") {
        return direction == "I" ? "Prejemnik" : direction == "P" ? "Izdajatelj" : nullptr;
    }
    if (table == "NAROC") {
        return "Narocnik";
    }
    if (table == "TNAROCPREDOB") {
        return "Dobavitelj";
    }
    return nullptr;
}

char CharAt(const std::string& text, size_t i) {
    return i < text.size() ? text[i] : '\0';
}

// Discounts added up, or applied one after the other: 100 x (1 - (1 - a/100)(1 - b/100)...).
Currency Combined(bool added, std::initializer_list<Currency> discounts) {
    Currency sum;
    long double keep = 1;
    for (Currency d : discounts) {
        sum += d;
        keep *= 1 - d.ToLongDouble() / 100;
    }
    return added ? sum : Currency::FromDouble(100 * (1 - keep));
}

// The partner's price method: "1" shows the retail price with the discount that gives
// the same net price, "2" takes the discount into the price.
void ApplyPriceMethod(const std::string& method, Currency mpCena, bool added, Currency& price,
                      Currency& discount) {
    if (method == "1" && mpCena != Currency()) {
        // The ratio is not rounded on its own, so that price and discount meet again.
        long double ratio = price.ToLongDouble() / mpCena.ToLongDouble();
        long double d = discount.ToLongDouble();
        discount =
            Currency::FromDouble(added ? d + 100 * (1 - ratio) : 100 * (1 - ratio * (1 - d / 100)));
        price = mpCena;
    } else if (method == "2") {
        price = Currency::FromDouble(price.ToLongDouble() * (1 - discount.ToLongDouble() / 100));
        discount = Currency();
    }
}

// What the side of the document reads from the partner.
struct TPartnerTerms {
    std::string sideCode; // the price list's third key: "P" customer, "N" supplier
    std::string type;
    Currency discount;
    std::string priceMethod;
};

TPartnerTerms PartnerTerms(TDataSet& partner, bool customer) {
    if (customer) {
        return {"P", Text(partner, "TipPartnerjaO"), Amount(partner, "Rabat"),
                Text(partner, "NacIzrCene")};
    }
    return {"N", Text(partner, "TipPartnerjaI"), Amount(partner, "DobRabat"),
            Text(partner, "DobNacIzrCene")};
}

// The price-list row for the partner or its type and the article or its class, tried
// in that order; false when none of the four keys has a row.
bool FindPriceListRow(TCustomOEQuery& priceList, const std::string& partnerName,
                      const TPartnerTerms& terms, const TArticleValues& article) {
    const std::string* partners[] = {&partnerName, &terms.type};
    const std::string* articles[] = {&article.Ident, &article.Klasif};
    for (const std::string* p : partners) {
        for (const std::string* a : articles) {
            if (sqlFindKey(priceList, "SUBJEKT;IDENT;PREIZD", {*p, *a, terms.sideCode}, {},
                           ktLiteral)) {
                return true;
            }
        }
    }
    return false;
}

// What the partner's price list gives the line: a price (a row of kind "C") or a
// discount, and the code of a price formula.
struct TListEntry {
    Currency price, discount;
    std::string formulaCode;
};

TListEntry ListEntry(const TPricingDataSets& ds, TCustomOEDataSet& document,
                     const std::string& direction, const TPartnerTerms& terms,
                     const TArticleValues& article) {
    TListEntry entry;
    ds.tbLookSubjCenik.Open();
    if (const char* column = PartnerColumn(document, direction)) {
        if (FindPriceListRow(ds.tbLookSubjCenik, Text(document, column), terms, article)) {
            entry.formulaCode = Text(ds.tbLookSubjCenik, "Formula");
            // A row of kind "C" gives a price; any other kind a discount.
            Currency value = Amount(ds.tbLookSubjCenik, "Cena");
            if (Text(ds.tbLookSubjCenik, "Vrsta") == "C") {
                entry.price = value;
            } else {
                entry.discount = value;
            }
        }
    }
    return entry;
}

// The line's values, the dataset put into editing when it is not.
void WriteLinePrice(TDataSet& line, Currency price, Currency discount, double prodCena) {
    if (line.State() != dsEdit && line.State() != dsInsert) {
        line.Edit();
    }
    line.FieldByName("Cena")->SetAsFloat(price.ToDouble());
    line.FieldByName("Rabat")->SetAsFloat(discount.ToDouble());
    line.FieldByName("ProdCena")->SetAsFloat(prodCena);
}

} // namespace

void IzrCenePozC(const TPricingDataSets& ds, TCustomOEDataSet& document, TDataSet& line,
                 TDataSet& partner, const TArticleValues& article, bool quantityFormulasOnly,
                 const std::string& direction) {
    Guarded<bool>(
        "IzrCenePozC", false,
        [&] {
            // No price class and class "0" mean "1"; only its first character counts.
            std::string priceClass = Text(document, "CenRazred");
            if (priceClass.empty() || priceClass == "0") {
                priceClass.assign(1, '1');
            }
            const bool customer = CharAt(direction, 0) == 'I';
            const bool withoutPartnerDiscount = CharAt(direction, 1) == 'K';
            const TPartnerTerms terms = PartnerTerms(partner, customer);
            const Currency articleDiscount = customer ? article.Popust : Currency();
            const bool added = Text(ds.tbParameter, "NacIzrRabata") == "S";

            const TListEntry entry = ListEntry(ds, document, direction, terms, article);
            const Currency listPrice = entry.price;
            Currency discount = entry.discount;
            std::string formulaCode = entry.formulaCode;
            if (formulaCode.empty() && customer) {
                formulaCode = article.Formula;
            }

            discount = withoutPartnerDiscount
                           ? Combined(added, {articleDiscount, discount})
                           : Combined(added, {articleDiscount, terms.discount, discount});

            // The parameter formulas see no class price yet, and the first one no
            // component price; the purchase price formula sees the supplier's price.
            TFormulaValues values{.CenRazred = priceClass.substr(0, 1),
                                  .Kolicina = Amount(line, "Kolicina"),
                                  .PogCena = listPrice,
                                  .Cena = {},
                                  .MpCena = article.MpCena,
                                  .VpCena1 = article.VpCena,
                                  .VpCena2 = article.VpCena2,
                                  .Sestavnica = article.Sestavnica,
                                  .Kosovnica = {},
                                  .NabaCena = article.CenaDob,
                                  .BNabaCena = article.NabaCena,
                                  .NNabaCena = article.CenaDob};
            const std::string purchaseFormula = AsciiUpper(Text(ds.tbParameter, "FormulaNabaCena"));
            const Currency componentPrice = RoundT(
                IzrCenePozFormula(AsciiUpper(Text(ds.tbParameter, "FormulaKosovnica")), values));
            values.Kosovnica = componentPrice;
            const Currency classPrice =
                IzrCenePozFormula(AsciiUpper(Text(ds.tbParameter, "FormulaCenRazred")), values);
            const Currency purchasePrice = IzrCenePozFormula(purchaseFormula, values);

            Currency price;
            if (!formulaCode.empty()) {
                ds.tbLookMsForm.Open();
                if (sqlFindKey(ds.tbLookMsForm, "Sifra", {formulaCode}, {}, ktLiteral)) {
                    std::string formula = AsciiUpper(Text(ds.tbLookMsForm, "Formula"));
                    if (!quantityFormulasOnly || formula.find("KOLICINA") != std::string::npos) {
                        values.Cena = classPrice;
                        values.NabaCena = purchasePrice;
                        price = IzrCenePozFormula(formula, values);
                    }
                }
            }
            if (quantityFormulasOnly && price == Currency()) {
                return false;
            }

            if (price == Currency()) {
                if (CharAt(direction, 0) == 'I') {
                    price = listPrice != Currency() ? listPrice
                            : direction == "IK"     ? componentPrice
                                                    : classPrice;
                } else if (CharAt(direction, 0) == 'P') {
                    if (listPrice != Currency()) {
                        price = listPrice;
                    } else {
                        price = purchasePrice;
                        // A purchase price from the supplier's price carries the supplier's
                        // discount on the article.
                        if (purchaseFormula.find("NABACENA") != std::string::npos) {
                            discount = Combined(added, {discount, article.Rabat});
                        }
                    }
                }
            }

            ApplyPriceMethod(terms.priceMethod, article.MpCena, added, price, discount);

            WriteLinePrice(line, price, discount, ds.tbLookMS.FieldByName("ProdCena")->AsFloat());
            return true;
        },
        &document);
}

void IzrCenePoz(const TPricingDataSets& ds, TCustomOEDataSet& document, TDataSet& line,
                TDataSet& partner, bool quantityFormulasOnly, const std::string& direction) {
    Guarded<bool>(
        "IzrCenePoz", false,
        [&] {
            TCustomOEQuery& ms = ds.tbLookMS;
            std::string ident = Text(line, IdentColumn(line));
            // An article found for the line before is not asked for again. Whether it
            // is found is not asked either: a missing article reads as zeros.
            if (!ms.Active() || Text(ms, "Ident") != ident) {
                sqlFindKey(ms, "IDENT", {ident}, {}, ktLiteral);
            }
            TArticleValues article{.Ident = Text(ms, "Ident"),
                                   .Klasif = Text(ms, "Klasif"),
                                   .Valuta = Text(ms, "Valuta"),
                                   .Formula = Text(ms, "Formula"),
                                   .Popust = Amount(ms, "Popust"),
                                   .MpCena = Amount(ms, "MpCena"),
                                   .VpCena = Amount(ms, "VpCena"),
                                   .VpCena2 = Amount(ms, "VpCena2"),
                                   .Sestavnica = Amount(ms, "Sestavnica"),
                                   .CenaDob = Amount(ms, "CenaDob"),
                                   .Rabat = Amount(ms, "Rabat"),
                                   .NabaCena = Amount(ms, "NabaCena"),
                                   .ValutaDob = Text(ms, "ValutaDob")};
            IzrCenePozC(ds, document, line, partner, article, quantityFormulasOnly, direction);
            return true;
        },
        &document);
}

} // namespace zen
