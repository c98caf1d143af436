#include "transfer/InvoiceHeader.h"

namespace zen {

void FillInvoiceHeader(TRowWriter& h, const THeaderInputs& in, const THeaderSources& src) {
    const TRowValues& payer = src.Payer;
    auto copy = [&h](const char* column, const TRowValues& from, const char* source) {
        h.Text(column, from.Text(source));
    };
    h.Text("Kljuc", in.Kljuc);
    h.Date("Datum", in.IssueDate);
    h.Text("PoslDog", in.PoslDog);
    h.Text("Referent", in.Referent);
    copy("Izdajatelj", src.PoslDog, "Izdajatelj");
    copy("Prejemnik", src.FirstRow, "Placnik");
    copy("Oseba3", src.FirstRow, "Kupec");
    copy("CenRazred", payer, "CenRazred");
    // Exactly "T": case counts, and a null reads as empty.
    if (src.Param.Text("PolniRefIzSubj") == "T") {
        copy("Referent", payer, "Referent");
    }
    copy("Izjava", payer, "Izjava");
    copy("NacProdaje", payer, "NacProdaje");
    copy("NacinPlac", payer, "NacinPlac");
    copy("Dostava", payer, "Dostava");
    const int32_t dniZaPlac = payer.Integer("DniZaPlac");
    h.Integer("DniZaPlac", dniZaPlac);
    const std::string letnaIzjava = payer.Text("LetnaIzjava");
    const std::optional<TDateTime> datumIzj = payer.Date("DatumIzj");
    if (letnaIzjava.empty()) {
        h.Default("Dokument1");
    } else {
        h.Text("Dokument1", letnaIzjava);
    }
    if (!letnaIzjava.empty() && datumIzj) {
        h.Date("DatDokum1", *datumIzj);
    } else {
        h.Default("DatDokum1");
    }
    h.Date("DatumDUR", in.IssueDate);
    h.Date("DatumVal", in.IssueDate + dniZaPlac);
    copy("Valuta", src.Param, "NasaValuta");
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

void SetInvoiceTotals(TRowWriter& h, const TInvoiceTotals& t) {
    h.Number("Vrednost", t.Vrednost.ToDouble());
    h.Number("Popust", t.Popust.ToDouble());
    // VAT and excise are added before the division.
    h.Number("Davek", (t.Davek + t.Trosarina).ToDouble());
    h.Number("ZaPlacilo", t.ZaPlacilo.ToDouble());
}

} // namespace zen
