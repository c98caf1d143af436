#pragma once
// The control totals of a transfer run, which an accountant ticks off against the billing
// system's own: the records read, used and refused, the invoices and lines written, the
// quantities, the invoices' value, VAT and amount payable, and, when the transfer file's
// prices priced the lines, the file's own sum of quantity × price beside the lines' value.
//
// A run's totals are those of its ledger run: a resumed run goes on from the totals the
// stopped one committed, and a group's amounts count only once the group is committed.

#include "toolkit/Money.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zen {

struct TInvoiceSummary;

struct TRunTotals {
    int64_t Read = 0;    // records of the transfer file the check phase read
    int64_t Refused = 0; // of them, those that became no line: failed a check, or their
                         // invoice was refused
    int64_t Invoices = 0;
    int64_t Lines = 0;                   // invoice lines written, one a record used
    Currency Kolicina;                   // the lines' quantities
    Currency Vrednost, Davek, ZaPlacilo; // the invoices' headers
    // Quantity × price as the transfer file has them, over the records used; none when
    // Tevrin's rules priced the lines.
    std::optional<Currency> FileValue;

    // An invoice written (committed, or in a dry run rolled back), with its records.
    void Add(const TInvoiceSummary& invoice);
};

// The totals of a run that has read nothing yet: the file's value is summed until the
// check phase finds that the file's prices do not price the lines.
inline TRunTotals NewRunTotals() {
    TRunTotals totals;
    totals.FileValue = Currency();
    return totals;
}

// "Kontrolni seštevki: zapisov prebranih 8, uporabljenih 4, zavrnjenih 4; računov 3,
// postavk 4; količina skupaj 5,500; vrednost 98,86, DDV 19,46, za plačilo 118,32; vrednost
// po datoteki (količina × cena) 98,864, razlika -0,004." The difference is the lines' value
// less the file's, named only when there is one.
std::string ControlTotalsText(const TRunTotals& totals);

// Said instead when a resumed run's earlier part was written by a version of the program
// that kept no totals.
inline constexpr const char* kTotalsUnknownText =
    "Kontrolni seštevki niso znani: prekinjeni del prenosa je zapisala starejša različica "
    "programa, ki jih ni beležila.";

} // namespace zen
