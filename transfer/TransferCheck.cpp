// The check phase of a transfer run: every record of the transfer file is checked against
// the customer, payer and article tables; the good ones become working rows ordered by
// payer, the others are logged.

#include "transfer/TransferRun.h"

#include "dataset/ODSI.h"
#include "localtable/Table.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "toolkit/Money.h"
#include "toolkit/Text.h"
#include "transfer/LeanLookups.h"
#include "transfer/PrenosNapaka.h"

#include <optional>

namespace zen {

namespace {

constexpr int kRecordsPerCommit = 1000;

int Percent(int counter, int total) {
    return static_cast<int>(RoundHalfEven(static_cast<long double>(counter) * 100 / total));
}

// A text field of the transfer record whose bytes are no text of the file's code page.
struct TUnreadableField {
    const char* field;
};

// A text of the transfer record; TUnreadableField when its value cannot be read, so that
// the record is logged instead of the run ending on one bad byte. A missing field still
// ends the run: that is the file's fault, not the record's.
std::string FileText(TDataSet& rac, const char* column) {
    TField* field = rac.FieldByName(column);
    try {
        return field->AsString();
    } catch (const EDatabaseError&) {
        throw TUnreadableField{column};
    }
}

} // namespace

void TTransfer::CheckPhase() {
    TTable& rac = *c_.tbRac;
    run_.Lean = std::make_unique<TLeanStatements>(*c_.Database);
    const int total = rac.RecordCount();
    int counter = 1;
    ui_.Progress(0);
    rac.First();
    // The working rows are committed a thousand at a time: a commit of each row alone kept
    // the phase waiting on the file's syncs. Rows written before a failure stay. The
    // lookups of as many records share one transaction of the database, where they only
    // read: a driver that reads through declared cursors otherwise begins and commits a
    // transaction of the server's around each.
    THdbc& db = *c_.Database;
    std::optional<TTable::TBatch> batch;
    db.SetAutoCommit(false);
    try {
        while (!rac.Eof()) {
            if (!batch) {
                batch.emplace(*c_.tbRacPoz);
            }
            bool used = false;
            try {
                used = CheckRecord(counter);
            } catch (const TUnreadableField& unreadable) {
                FillNapaka(*c_.tbNapaka, rac,
                           NapakaNeberljivo(counter, AsciiUpper(unreadable.field)));
            }
            ++run_.Totals.Read;
            run_.Totals.Refused += used ? 0 : 1;
            ui_.Progress(Percent(counter, total));
            if (counter % kRecordsPerCommit == 0) {
                batch->Commit();
                batch.reset();
                db.Commit();
            }
            ++counter;
            rac.Next();
        }
        if (batch) {
            batch->Commit();
        }
        db.Commit();
    } catch (...) {
        AbandonTransaction();
        throw;
    }
    db.SetAutoCommit(true);
}

// One record: only its first failing check is logged. A lookup that fails by an error
// ends the run: an existing customer must never be reported as unknown. True when the
// record became a working row.
bool TTransfer::CheckRecord(int record) {
    TTable& rac = *c_.tbRac;
    TLeanLookup& customer = run_.Lean->Customer;
    TLeanLookup& payer = run_.Lean->Payer;
    TLeanLookup& article = run_.Lean->Article;
    auto text = [](const TLeanLookup& row, const char* column) { return row.Text(column); };

    const std::string stranka = FileText(rac, "Stranka");
    if (!customer.Find(stranka)) {
        FillNapaka(*c_.tbNapaka, rac, NapakaStranka(stranka));
        return false;
    }
    // A customer without a payer pays for itself.
    std::string payerName = text(customer, "Placnik");
    if (payerName.empty()) {
        payerName = text(customer, "Naziv");
    }
    if (!payer.Find(payerName)) {
        FillNapaka(*c_.tbNapaka, rac, NapakaPlacnik(payerName));
        return false;
    }
    const std::string artikel = FileText(rac, "Artikel");
    if (!article.Find(artikel)) {
        FillNapaka(*c_.tbNapaka, rac, NapakaArtikel(artikel));
        return false;
    }

    TTable& work = *c_.tbRacPoz;
    // The names are never cut (the fields are as wide as the longest name when the run
    // began): a name cut short would find no payer, and two cut alike would be one payer.
    auto setName = [&](const char* column, const std::string& name) {
        TField* field = work.FieldByName(column);
        field->SetAsString(name);
        if (field->AsString() != name) {
            throw EDatabaseError("Ime »" + name + "« je daljše od " +
                                 std::to_string(field->Size()) +
                                 " znakov, kolikor jih je imelo najdaljše ime v šifrantu ob "
                                 "začetku prenosa. Prenos ponovite.");
        }
    };
    work.Append();
    try {
        setName("Placnik", text(payer, "Naziv"));
        setName("Kupec", text(customer, "Naziv"));
        work.FieldByName("Ident")->SetAsString(text(article, "Ident"));
        work.FieldByName("Kolicina")->SetAsFloat(rac.FieldByName("Kolicina")->AsFloat());
        TField* cena = work.FieldByName("Cena");
        cena->SetAsFloat(0);
        work.FieldByName("StRac")->SetAsString(FileText(rac, "StRac"));
        if (run_.FilePrices) {
            // A file without prices, or with one it cannot read, is priced by the rules
            // from here on, every line of the run alike.
            try {
                cena->SetAsFloat(rac.FieldByName("Cena")->AsFloat());
            } catch (...) {
                run_.FilePrices = false;
                cena->SetAsFloat(0);
                // A file without the field asks for the rules; one whose prices stop being
                // readable does not, and the operator must learn that the rules priced it.
                if (rac.FindField("Cena")) {
                    run_.Notice = PricesUnreadableNotice(record, FileText(rac, "StRac"));
                }
            }
        }
        work.Post();
    } catch (...) {
        work.Cancel();
        throw;
    }
    return true;
}

} // namespace zen
