#include "transfer/InvoiceLines.h"

#include "dataset/ODSI.h"
#include "dbutil/StdProc.h"
#include "localtable/Table.h"
#include "pricing/LinePrice.h"
#include "pricing/LineValue.h"
#include "toolkit/Field.h"
#include "transfer/InvoiceHeader.h"
#include "transfer/RowValues.h"
#include "transfer/RunLookup.h"
#include "transfer/TransferComponents.h"

namespace zen {

namespace {

// A column's value as the amounts take it: to four decimals, halves to even.
Currency Scaled(const TRowWriter& line, const char* column) {
    return Currency::FromDouble(line.NumberOf(column));
}

double ScaledRate(const TRowWriter& line, const char* column) {
    return Scaled(line, column).ToDouble();
}

} // namespace

void FillInvoiceLine(TRowWriter& line, const TLineSources& src, const TLineInputs& in,
                     TInvoiceTotals& totals, const std::function<void()>& price) {
    const TRowValues& work = src.Work;
    const TRowValues& ms = src.Article;
    line.Text("Kljuc", in.Kljuc);
    line.Integer("Poz", in.Poz);
    line.Text("Ident", work.Text("Ident"));
    line.Text("Opomba", work.Text("StRac") + " - " + work.Text("Kupec"));
    line.Text("Naziv", ms.Text("Naziv"));
    line.Text("EM", ms.Text("EM"));
    line.Text("TS", ms.Text("TS"));
    line.Number("Davek", src.Tariff.Number("Davek"));
    line.Number("Kolicina", work.Number("Kolicina"));
    line.Number("Rabat", 0);
    line.Number("Cena", work.Number("Cena"));
    for (const char* column :
         {"Transport", "Dajatve", "NepStr", "VrDavek", "VPCena2P", "VPCenaP", "MPCenaP"}) {
        line.Number(column, ms.Number(column));
    }
    line.Integer("Garancija", ms.Integer("Garancija"));
    line.Number("CenaZaVred", ms.Number("NabaCena"));
    line.Number("CenaValuta", ms.Number("CenaDob"));
    for (const char* column :
         {"MPCena", "VPCena", "VPCena2", "ProdCena", "Trosarina", "TrosarinaP"}) {
        line.Number(column, ms.Number(column));
    }
    if (price) {
        price();
    }
    line.Number("KolicinaTemp", 0);
    line.Date("DatumZap", Now());
    line.Text("UserZap", in.Referent);
    line.Date("DatumSpre", Now());
    line.Text("UserSpre", in.Referent);
    CalcVredPromPoz(src.Parameter, totals.Vrednost, totals.Davek, Scaled(line, "ProdCena"),
                    line.NumberOf("Kolicina"), Scaled(line, "Cena"), ScaledRate(line, "Rabat"),
                    ScaledRate(line, "Davek"), Scaled(line, "Trosarina"),
                    ScaledRate(line, "TrosarinaP"), totals.Trosarina, totals.Popust,
                    totals.ZaPlacilo);
}

void PriceInvoiceLine(const TTransferComponents& c, const TLineInputs& in, TInvoiceTotals& totals,
                      TRowRecord& row) {
    TDataSet& work = *c.tbRacPoz;
    TOEQuery& ms = *c.tbLookMS;
    TOEQuery& tarSt = *c.tbLookTarSt;
    // Neither answer is tested: an article or tariff gone since the check phase leaves
    // empty texts and zeros. A lookup that fails by an error ends the run.
    RunLookup(ms, "IDENT", work.FieldByName("Ident")->AsString());
    RunLookup(tarSt, "TS", ms.FieldByName("TS")->AsString());
    TDataSet& line = *c.tbPrometPoz;
    line.Append();
    TDataSetWriter dataSetRow(line);
    TRowTee both(dataSetRow, row);
    const TDataSetValues workRow(work), article(ms), tariff(tarSt);
    auto price = [&] {
        if (in.FilePrices) {
            return;
        }
        TPricingDataSets ds{*c.tbLookMS, *c.tbLookSubjCenik, *c.tbLookMsForm, *c.tbParameter};
        IzrCenePoz(ds, *c.tbPromet, line, *c.tbSubj, false, "I");
        for (const char* column : {"Cena", "Rabat", "ProdCena"}) {
            row.Number(column, dataSetRow.NumberOf(column));
        }
    };
    FillInvoiceLine(both, {workRow, article, tariff, *c.tbParameter}, in, totals, price);
    line.Cancel();
}

} // namespace zen
