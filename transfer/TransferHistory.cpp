#include "transfer/TransferHistory.h"

#include "dbutil/StdProc.h"
#include "report/NapakaCsv.h"
#include "toolkit/SloveneAmount.h"
#include "toolkit/Text.h"

#include <filesystem>

namespace zen {

namespace {

std::string Keys(const TTransferRun& run) {
    return run.Invoices == 0 ? std::string() : KeyRange(run.FirstKey, run.LastKey);
}

} // namespace

std::string RunStateText(const TTransferRun& run) {
    if (run.Undone) {
        return "razveljavljen";
    }
    switch (run.Status) {
    case TTransferRunStatus::Completed:
        return "zaključen";
    case TTransferRunStatus::Failed:
        return "prekinjen";
    case TTransferRunStatus::Running:
        break;
    }
    return run.Live ? "teče" : "prekinjen";
}

std::string HistoryLine(const TTransferRun& run) {
    std::string line = "#" + std::to_string(run.Id) + "  " + JournalDateTime(run.Started) + "  " +
                       run.DataSource + "  " + run.PoslDog + "  " + DateToStr(run.IssueDate) +
                       "  " + std::filesystem::path(run.FilePath).filename().string() + "  " +
                       run.FileHash.substr(0, 8) + "  " + RacunCount(run.Invoices);
    if (run.Invoices > 0) {
        line += " (" + Keys(run) + ")";
    }
    return PrintableText(line + "  " + RunStateText(run));
}

std::string HistoryTotalsLine(const TTransferRun& run) {
    return run.Totals ? "    " + ControlTotalsText(*run.Totals) : std::string();
}

std::string HistoryCsv(const std::vector<TTransferRun>& runs) {
    std::vector<std::vector<std::string>> lines = {
        {"Prenos",       "Začet",         "Podatkovni vir", "Poslovni dogodek",
         "Referent",     "Datum računov", "Datoteka",       "Vsebina (SHA-256)",
         "Računov",      "Prvi račun",    "Zadnji račun",   "Stanje",
         "Računalnik",   "Mapa",          "Uporabnik",      "Zapisov prebranih",
         "Uporabljenih", "Zavrnjenih",    "Postavk",        "Količina skupaj",
         "Vrednost",     "DDV",           "Za plačilo",     "Vrednost po datoteki",
         "Razlika"}};
    for (const TTransferRun& run : runs) {
        lines.push_back({std::to_string(run.Id), JournalDateTime(run.Started), run.DataSource,
                         run.PoslDog, run.Referent, DateToStr(run.IssueDate), run.FilePath,
                         run.FileHash, std::to_string(run.Invoices), run.FirstKey, run.LastKey,
                         RunStateText(run), run.Host, run.Home, run.User});
        // Empty where the ledger kept no totals, or the rules priced the lines.
        if (const std::optional<TRunTotals>& t = run.Totals) {
            const bool fileValue = t->FileValue.has_value();
            lines.back().insert(lines.back().end(),
                                {std::to_string(t->Read), std::to_string(t->Lines),
                                 std::to_string(t->Refused), std::to_string(t->Lines),
                                 SloveneAmount(t->Kolicina, 3), SloveneAmount(t->Vrednost),
                                 SloveneAmount(t->Davek), SloveneAmount(t->ZaPlacilo),
                                 fileValue ? SloveneAmount(*t->FileValue) : "",
                                 fileValue ? SloveneAmount(t->Vrednost - *t->FileValue) : ""});
        }
        for (std::string& cell : lines.back()) {
            cell = PrintableText(cell); // as the line form: nothing reaches a terminal raw
        }
    }
    return CsvDocument(lines);
}

std::string RunHolderText(const TTransferRun& run) {
    std::string text =
        "prenos št. " + std::to_string(run.Id) + ", začet " + JournalDateTime(run.Started);
    if (!run.Host.empty()) {
        text += " na računalniku " + run.Host;
    }
    if (!run.Home.empty() || !run.User.empty()) {
        text += " (mapa " + run.Home + ", uporabnik " + run.User + ")";
    }
    return text;
}

std::string EarlierRunsQuestion(const std::vector<TTransferRun>& runs) {
    if (runs.empty()) {
        return {};
    }
    bool allUnfinished = true;
    for (const TTransferRun& r : runs) {
        allUnfinished = allUnfinished && r.Status != TTransferRunStatus::Completed;
    }
    std::string text =
        allUnfinished ? "Datoteka je bila že delno prenesena " : "Datoteka je bila že prenesena ";
    for (size_t i = 0; i < runs.size(); ++i) {
        if (i > 0) {
            text += i + 1 == runs.size() ? " in " : ", ";
        }
        text += JournalDateTime(runs[i].Started) + " (" + RacunCount(runs[i].Invoices);
        // Where all are partial the opening says so; in a mixed list each partial one does.
        if (!allUnfinished && runs[i].Status != TTransferRunStatus::Completed) {
            text += ", prenos ni bil končan";
        }
        text += ")";
    }
    const TTransferRun& newest = runs.back();
    if (newest.Status != TTransferRunStatus::Completed) {
        return text + ". Zapisani so računi " + KeyRange(newest.FirstKey, newest.LastKey) +
               " prekinjenega prenosa št. " + std::to_string(newest.Id) +
               ". Želite prenos nadaljevati in zapisati le račune, ki še manjkajo?";
    }
    return text + ". Želite nadaljevati?";
}

} // namespace zen
