#include "transfer/InvoiceLines.h"

#include "dataset/ODSI.h"
#include "dbutil/StdProc.h"
#include "localtable/Table.h"
#include "pricing/LinePrice.h"
#include "pricing/LineValue.h"
#include "toolkit/Field.h"
#include "transfer/InvoiceHeader.h"
#include "transfer/RunLookup.h"
#include "transfer/TransferComponents.h"

namespace zen {

namespace {

void PriceLine(const TTransferComponents& c) {
    TPricingDataSets ds{*c.tbLookMS, *c.tbLookSubjCenik, *c.tbLookMsForm, *c.tbParameter};
    IzrCenePoz(ds, *c.tbPromet, *c.tbPrometPoz, *c.tbSubj, false, "I");
}

// A column's value as the amounts take it: to four decimals, halves to even.
Currency Scaled(TDataSet& line, const char* column) {
    return Currency::FromDouble(line.FieldByName(column)->AsFloat());
}

double ScaledRate(TDataSet& line, const char* column) {
    return Scaled(line, column).ToDouble();
}

} // namespace

void AppendInvoiceLine(const TTransferComponents& c, const TLineInputs& in,
                       TInvoiceTotals& totals) {
    TDataSet& work = *c.tbRacPoz;
    TOEQuery& ms = *c.tbLookMS;
    TOEQuery& tarSt = *c.tbLookTarSt;
    TDataSet& line = *c.tbPrometPoz;
    auto text = [](TDataSet& ds, const char* column) { return ds.FieldByName(column)->AsString(); };
    auto number = [](TDataSet& ds, const char* column) {
        return ds.FieldByName(column)->AsFloat();
    };

    // Neither answer is tested: an article or tariff gone since the check phase leaves
    // empty texts and zeros. A lookup that fails by an error ends the run.
    RunLookup(ms, "IDENT", text(work, "Ident"));
    RunLookup(tarSt, "TS", text(ms, "TS"));

    line.Append();
    auto setText = [&](const char* column, const std::string& v) {
        line.FieldByName(column)->SetAsString(v);
    };
    auto setNumber = [&](const char* column, double v) { line.FieldByName(column)->SetAsFloat(v); };
    setText("Kljuc", text(*c.tbPromet, "Kljuc"));
    line.FieldByName("Poz")->SetAsInteger(in.Poz);
    setText("Ident", text(work, "Ident"));
    setText("Opomba", text(work, "StRac") + " - " + text(work, "Kupec"));
    setText("Naziv", text(ms, "Naziv"));
    setText("EM", text(ms, "EM"));
    setText("TS", text(ms, "TS"));
    setNumber("Davek", number(tarSt, "Davek"));
    setNumber("Kolicina", number(work, "Kolicina"));
    setNumber("Rabat", 0);
    setNumber("Cena", number(work, "Cena"));
    for (const char* column :
         {"Transport", "Dajatve", "NepStr", "VrDavek", "VPCena2P", "VPCenaP", "MPCenaP"}) {
        setNumber(column, number(ms, column));
    }
    line.FieldByName("Garancija")->SetAsInteger(ms.FieldByName("Garancija")->AsInteger());
    setNumber("CenaZaVred", number(ms, "NabaCena"));
    setNumber("CenaValuta", number(ms, "CenaDob"));
    for (const char* column :
         {"MPCena", "VPCena", "VPCena2", "ProdCena", "Trosarina", "TrosarinaP"}) {
        setNumber(column, number(ms, column));
    }
    if (!in.FilePrices) {
        PriceLine(c);
    }
    setNumber("KolicinaTemp", 0);
    line.FieldByName("DatumZap")->SetAsDateTime(Now());
    setText("UserZap", in.Referent);
    line.FieldByName("DatumSpre")->SetAsDateTime(Now());
    setText("UserSpre", in.Referent);

    CalcVredPromPoz(*c.tbParameter, totals.Vrednost, totals.Davek, Scaled(line, "ProdCena"),
                    number(line, "Kolicina"), Scaled(line, "Cena"), ScaledRate(line, "Rabat"),
                    ScaledRate(line, "Davek"), Scaled(line, "Trosarina"),
                    ScaledRate(line, "TrosarinaP"), totals.Trosarina, totals.Popust,
                    totals.ZaPlacilo);
    line.Post();
}

} // namespace zen
