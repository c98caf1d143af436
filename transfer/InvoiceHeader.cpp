#include "transfer/InvoiceHeader.h"

#include "toolkit/DataSet.h"
#include "toolkit/Field.h"

namespace zen {

namespace {

class THeader {
public:
    explicit THeader(TDataSet& ds) : ds_(ds) {}
    void Text(const char* column, const std::string& value) {
        ds_.FieldByName(column)->SetAsString(value);
    }
    void Text(const char* column, TDataSet& from, const char* source) {
        Text(column, from.FieldByName(source)->AsString());
    }
    void Number(const char* column, double value) { ds_.FieldByName(column)->SetAsFloat(value); }
    void Integer(const char* column, int32_t value) {
        ds_.FieldByName(column)->SetAsInteger(value);
    }
    void Date(const char* column, TDateTime value) {
        ds_.FieldByName(column)->SetAsDateTime(value);
    }

private:
    TDataSet& ds_;
};

} // namespace

void FillInvoiceHeader(TDataSet& tbPromet, const THeaderInputs& in, const THeaderSources& src) {
    THeader h(tbPromet);
    TDataSet& payer = src.Payer;
    h.Text("Kljuc", in.Kljuc);
    h.Date("Datum", in.IssueDate);
    h.Text("PoslDog", in.PoslDog);
    h.Text("Referent", in.Referent);
    h.Text("Izdajatelj", src.PoslDog, "Izdajatelj");
    h.Text("Prejemnik", src.FirstRow, "Placnik");
    h.Text("Oseba3", src.FirstRow, "Kupec");
    h.Text("CenRazred", payer, "CenRazred");
    // Exactly "T": case counts, and a null reads as empty.
    if (src.Param.FieldByName("PolniRefIzSubj")->AsString() == "T") {
        h.Text("Referent", payer, "Referent");
    }
    h.Text("Izjava", payer, "Izjava");
    h.Text("NacProdaje", payer, "NacProdaje");
    h.Text("NacinPlac", payer, "NacinPlac");
    h.Text("Dostava", payer, "Dostava");
    const int32_t dniZaPlac = payer.FieldByName("DniZaPlac")->AsInteger();
    h.Integer("DniZaPlac", dniZaPlac);
    const std::string letnaIzjava = payer.FieldByName("LetnaIzjava")->AsString();
    if (!letnaIzjava.empty()) {
        h.Text("Dokument1", letnaIzjava);
        if (TField* datumIzj = payer.FieldByName("DatumIzj"); !datumIzj->IsNull()) {
            h.Date("DatDokum1", datumIzj->AsDateTime());
        }
    }
    h.Date("DatumDUR", in.IssueDate);
    h.Date("DatumVal", in.IssueDate + dniZaPlac);
    h.Text("Valuta", src.Param, "NasaValuta");
    h.Number("Tecaj", 1);
    h.Text("PrejemnikZal", "N");
    h.Text("IzdajateljZal", "Y");
    h.Text("PotrjeneCene", "F");
    for (const char* total : {"Vrednost", "VredValuta", "ZaPlacilo", "Popust", "Davek"}) {
        h.Number(total, 0);
    }
    h.Text("Knjizen", kKnjizenByTransfer);
    h.Date("DatumZap", Now());
    h.Text("UserZap", in.Referent);
    h.Date("DatumSpre", Now());
    h.Text("UserSpre", in.Referent);
    for (const char* amount : {"Rabat", "Transport", "Dajatve", "NepStr", "VrDavek"}) {
        h.Number(amount, 0);
    }
}

void SetInvoiceTotals(TDataSet& tbPromet, const TInvoiceTotals& t) {
    THeader h(tbPromet);
    h.Number("Vrednost", t.Vrednost.ToDouble());
    h.Number("Popust", t.Popust.ToDouble());
    // VAT and excise are added before the division.
    h.Number("Davek", (t.Davek + t.Trosarina).ToDouble());
    h.Number("ZaPlacilo", t.ZaPlacilo.ToDouble());
}

} // namespace zen
