#pragma once
// The header of an invoice in Promet, filled in two stages: everything but the totals
// first, the totals once every line has been made.

#include "toolkit/DateTime.h"
#include "toolkit/Money.h"
#include "transfer/RowValues.h"

#include <string>

namespace zen {

// What a header's Knjizen holds as the transfer writes it; anything else is the accounting
// department's mark (booked), which an undo respects.
inline constexpr const char* kKnjizenByTransfer = "K";

// The five running totals of an invoice, added to by each line.
struct TInvoiceTotals {
    Currency Vrednost;  // value
    Currency Davek;     // VAT
    Currency Trosarina; // excise
    Currency Popust;    // discount
    Currency ZaPlacilo; // payable
};

// What a header takes from the run itself.
struct THeaderInputs {
    std::string Kljuc;
    TDateTime IssueDate = 0;
    std::string PoslDog;
    std::string Referent;
};

// Where a header's other values come from, each standing on its row: the business event
// (PoslDog), the parameters (Param), the payer (Subjekt) and the invoice's first working row.
struct THeaderSources {
    const TRowValues& PoslDog;
    const TRowValues& Param;
    const TRowValues& Payer;
    const TRowValues& FirstRow;
};

// Sets the first stage's columns on the header row being written (an appended, unposted
// dataset row or a prepared insert's row). The payer's
// statement date (DatDokum1) is set only when the payer has both a statement number and a
// date; a payer without a date leaves the column to the database rather than write the
// zero date.
void FillInvoiceHeader(TRowWriter& header, const THeaderInputs& in, const THeaderSources& src);

// Sets Vrednost, Popust, Davek (VAT and excise) and ZaPlacilo from the totals.
void SetInvoiceTotals(TRowWriter& header, const TInvoiceTotals& totals);

} // namespace zen
