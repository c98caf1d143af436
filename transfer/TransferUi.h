#pragma once
// What a transfer run says to and asks of whoever started it. The window answers with
// message boxes, its progress bar and the report preview; a run without a window answers
// on the terminal. The run itself never touches a widget.

#include "toolkit/DateTime.h"
#include "toolkit/Money.h"

#include <string>
#include <vector>

namespace zen {

class TTable;

// The answer to the question before a file is transferred again.
enum class TRepeatAnswer {
    No,     // nothing is done
    Again,  // the whole file is transferred again
    Resume, // the run of the file that stopped goes on
};

// One line of an invoice as the run wrote it.
struct TInvoiceLineSummary {
    std::string Kupec; // the customer whose record it is
    std::string StRac; // the billing system's invoice number of that record
    std::string Ident; // the article
    std::string Naziv; // the article's name as written in the line
    double Kolicina = 0;
    Currency Cena;      // the unit price, the file's or by Tevrin's rules
    Currency Rabat;     // the discount rate in per cent
    Currency Vrednost;  // what the line added to the invoice's value
    Currency Davek;     // to its VAT and excise
    Currency ZaPlacilo; // to its amount payable
};

// One invoice as the run wrote it (or, in a dry run, would have written it).
struct TInvoiceSummary {
    std::string Kljuc;   // the document key
    int Number = 0;      // its document number
    std::string Placnik; // the payer's name
    int Lines = 0;       // lines of the invoice
    Currency Vrednost;   // the header's Vrednost
    Currency Davek;      // the header's Davek (VAT and excise)
    Currency ZaPlacilo;  // the header's ZaPlacilo
    Currency Kolicina;   // its lines' quantities summed
    // Its records' quantity × the transfer file's own price, summed; 0 when Tevrin's rules
    // priced the lines.
    Currency FileValue;
    bool Committed = false;                 // false in a dry run: the invoice was rolled back
    TDateTime DatumSpre = 0;                // the header's change stamp as written
    std::vector<TInvoiceLineSummary> Items; // its lines, in their order
};

class TTransferUi {
public:
    virtual ~TTransferUi() = default;
    // A modal message: the input checks, "Dodajanje zaključeno !", notices. Returns when
    // the operator has seen it.
    virtual void Message(const std::string& text) = 0;
    // The progress of the check phase, 0 to 100.
    virtual void Progress(int percent) = 0;
    // A yes/no question whose safe answer is no (transferring a file again).
    virtual bool AskRepeat(const std::string& question) = 0;
    // The same, with a third answer when a run of the file stopped and `canResume`: go on
    // with it. Without a way to offer that, the yes/no question.
    virtual TRepeatAnswer AskRepeatOrResume(const std::string& question, bool canResume) {
        (void)canResume;
        return AskRepeat(question) ? TRepeatAnswer::Again : TRepeatAnswer::No;
    }
    // What the operator must know of the run beside the errors (the file's prices were
    // unreadable, so the rules priced every line), told before the end message or the
    // report, which should carry it too.
    virtual void Notice(const std::string& text) { Message(text); }
    // The error report over the error table, standing on its first row; returns when the
    // operator has closed it.
    virtual void ShowErrors(TTable& tbNapaka) = 0;
    // Told after each invoice has been committed or, in a dry run, rolled back.
    virtual void InvoiceWritten(const TInvoiceSummary& invoice) { (void)invoice; }
    // The run's control totals as the operator reads them (ControlTotalsText), told at its
    // end before the end message or the report, which should carry them.
    virtual void Totals(const std::string& text) { (void)text; }
};

} // namespace zen
