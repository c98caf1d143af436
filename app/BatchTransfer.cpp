#include "app/BatchTransfer.h"

#include "app/SignOn.h"
#include "app/StoredInputs.h"
#include "dbutil/IniFile.h"
#include "localtable/Table.h"
#include "report/FNapaka.h"
#include "report/NapakaCsv.h"
#include "report/NapakaPdf.h"
#include "toolkit/DateTime.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"
#include "transfer/TransferRun.h"

#include <algorithm>
#include <ostream>
#include <string_view>

namespace zen {

namespace {

constexpr int kBarWidth = 40;

// An amount as the operator reads it: the locale's decimal separator and the four stored
// decimals cut to two unless the last two are used ("66,74", "0,1250" as "0,125").
std::string AmountText(Currency amount) {
    std::string text = amount.ToString();
    const size_t point = text.find('.');
    size_t end = text.size();
    while (end > point + 3 && text[end - 1] == '0') {
        --end;
    }
    text.resize(end);
    text[point] = FormatSettings().DecimalSeparator;
    return text;
}

std::string InvoiceLine(const TInvoiceSummary& i) {
    return "Račun " + PrintableText(i.Kljuc) + " (" + PrintableText(i.Placnik) + "): vrstic " +
           std::to_string(i.Lines) + ", vrednost " + AmountText(i.Vrednost) + ", za plačilo " +
           AmountText(i.ZaPlacilo);
}

} // namespace

void TBatchTransferUi::Message(const std::string& text) {
    if (text == kCompletedMessage) {
        completed_ = true; // the result, printed once the run is over
        return;
    }
    EndProgress();
    err_ << PrintableLines(text) << std::endl;
}

void TBatchTransferUi::Notice(const std::string& text) {
    EndProgress();
    notice_ = text;
    err_ << PrintableLines(text) << std::endl;
}

void TBatchTransferUi::Progress(int percent) {
    if (percent == shown_) {
        return;
    }
    if (terminal_) {
        const int filled = percent * kBarWidth / 100;
        err_ << "\rPreverjanje zapisov [" << std::string(filled, '#')
             << std::string(kBarWidth - filled, '-') << "] " << percent << " %" << std::flush;
        barOpen_ = true;
        if (percent == 100) {
            EndProgress();
        }
    } else if (percent / 10 > std::max(shown_, 0) / 10) {
        err_ << "Preverjanje zapisov: " << percent << " %" << std::endl;
    }
    shown_ = percent;
}

void TBatchTransferUi::EndProgress() {
    if (barOpen_) {
        err_ << std::endl;
        barOpen_ = false;
    }
}

bool TBatchTransferUi::AskRepeat(const std::string& question) {
    return AskRepeatOrResume(question, false) != TRepeatAnswer::No;
}

// Nobody answers a job: it is told the safe way on, and what --force would do.
TRepeatAnswer TBatchTransferUi::AskRepeatOrResume(const std::string& question, bool canResume) {
    EndProgress();
    err_ << PrintableLines(question) << "\n";
    if (canResume) {
        err_ << "Prenos ni izveden: datoteka je bila v to bazo že delno prenesena. Z --resume se "
                "prekinjeni prenos nadaljuje in zapiše le račune, ki še manjkajo. --force bi celo "
                "datoteko zapisal še enkrat: vsak že zapisani račun bi bil zapisan dvakrat."
             << std::endl;
    } else {
        err_ << "Prenos ni izveden: datoteka je bila v to bazo že prenesena. --force bi jo "
                "zapisal še enkrat: vsak njen račun bi bil zapisan dvakrat."
             << std::endl;
    }
    return TRepeatAnswer::No;
}

void TBatchTransferUi::ShowErrors(TTable& tbNapaka) {
    // Read through the report's own code, in the order it prints them.
    TNapaka report(nullptr, &tbNapaka);
    errors_ = report.Rows();
}

void TBatchTransferUi::InvoiceWritten(const TInvoiceSummary& invoice) {
    EndProgress();
    ++invoices_;
    if (dryRun_) {
        out_ << InvoiceLine(invoice) << std::endl;
    } else {
        err_ << "Zapisano: " << InvoiceLine(invoice) << std::endl;
    }
}

bool IsCsvReport(const std::string& file) {
    return file.size() >= 4 && AsciiUpper(file.substr(file.size() - 4)) == ".CSV";
}

int RunBatchTransfer(const TTransferArgs& args, std::ostream& out, std::ostream& err,
                     bool terminal) {
    // The local tables, the journal and the exception log live in the home directory.
    try {
        ZendratoHome();
        OpenSettingsFile("Tevrin.INI");
    } catch (const std::exception& e) {
        err << "zendrato: " << PrintableLines(e.what()) << std::endl;
        return 2;
    }
    const TStoredInputs stored = ReadStoredInputs();
    TTransferOptions options;
    options.PoslDog = args.Event.value_or(stored.PoslDog);
    options.Referent = args.Clerk.value_or(stored.Referent);
    options.Datum = args.Date;
    options.DataSource = args.DataSource.value_or(stored.Alias);
    options.Path = args.File.value_or(stored.Path);
    options.Check = args.Check;
    options.Force = args.Force;
    options.Resume = args.Resume;

    TTransferModule module;
    TBatchTransferUi ui(out, err, terminal, args.Check);
    TTransfer run(module.Components(), ui, SignOn);
    TTransferOutcome outcome;
    try {
        outcome = run.Execute(options);
    } catch (const std::exception& e) {
        ui.EndProgress();
        err << PrintableLines(e.what()) << std::endl;
        return 2;
    }
    ui.EndProgress();
    if (outcome == TTransferOutcome::NothingMissing) {
        return 0; // told on err
    }
    if (outcome != TTransferOutcome::Completed && outcome != TTransferOutcome::ErrorsReported) {
        return 2; // the run ended by its message, already on err
    }
    if (args.Check) {
        out << "Preizkus končan, v bazi Tevrin ni nič zapisano (preklicanih računov: "
            << ui.Invoices() << ")." << std::endl;
    }
    // Before the result, on a line without a tab: no job takes it for an error row.
    if (!ui.NoticeText().empty()) {
        out << PrintableText(ui.NoticeText()) << '\n';
    }
    if (ui.Completed()) {
        out << kCompletedMessage << '\n';
    }
    for (const TNapakaRow& row : ui.Errors()) {
        out << PrintableText(row.StRac) << '\t' << PrintableText(row.Napaka) << '\n';
    }
    // The run ends with its control totals, on a line without a tab as well.
    if (!ui.TotalsText().empty()) {
        out << PrintableText(ui.TotalsText()) << '\n';
    }
    // A job that reads the result must not take a lost one for success.
    if (!out.flush()) {
        err << "zendrato: standard output cannot be written" << std::endl;
        return 2;
    }
    if (outcome == TTransferOutcome::Completed) {
        return 0;
    }
    if (!args.Report.empty()) {
        try {
            const std::vector<TNapakaRow> rows =
                WithRunTexts(ui.Errors(), ui.NoticeText(), ui.TotalsText());
            if (IsCsvReport(args.Report)) {
                WriteNapakaCsv(rows, args.Report);
            } else {
                WriteNapakaPdf(rows, args.Report);
            }
        } catch (const std::exception& e) {
            // The invoices stay written; a job that asked for the report must not take its
            // absence for success.
            err << PrintableLines(e.what()) << std::endl;
            return 2;
        }
        err << "Poročilo o napakah: " << PrintableText(args.Report) << std::endl;
    }
    return 1;
}

} // namespace zen
