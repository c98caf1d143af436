#include "transfer/TransferHistory.h"

#include "dbutil/StdProc.h"
#include "report/NapakaCsv.h"
#include "toolkit/Text.h"

#include <filesystem>

namespace zen {

namespace {

// Only the newest run that never finished can be the one holding the home.
bool IsRunningNow(const TTransferRun& run, bool runningNow) {
    return runningNow && run.Status == TTransferRunStatus::Running && !run.Undone;
}

std::string Keys(const TTransferRun& run) {
    if (run.Invoices == 0) {
        return {};
    }
    return run.FirstKey == run.LastKey ? run.FirstKey : run.FirstKey + "–" + run.LastKey;
}

} // namespace

std::string RunStateText(const TTransferRun& run, bool runningNow) {
    if (run.Undone) {
        return "razveljavljen";
    }
    if (run.Undoing) {
        return "razveljavljanje ni končano";
    }
    switch (run.Status) {
    case TTransferRunStatus::Completed:
        return "zaključen";
    case TTransferRunStatus::Failed:
        return "prekinjen";
    case TTransferRunStatus::Running:
        break;
    }
    return IsRunningNow(run, runningNow) ? "teče" : "prekinjen";
}

std::string HistoryLine(const TTransferRun& run, bool runningNow) {
    std::string line = "#" + std::to_string(run.Id) + "  " + JournalDateTime(run.Started) + "  " +
                       run.DataSource + "  " + run.PoslDog + "  " + DateToStr(run.IssueDate) +
                       "  " + std::filesystem::path(run.FilePath).filename().string() + "  " +
                       run.FileHash.substr(0, 8) + "  " + RacunCount(run.Invoices);
    if (run.Invoices > 0) {
        line += " (" + Keys(run) + ")";
    }
    return PrintableText(line + "  " + RunStateText(run, runningNow));
}

std::string HistoryCsv(const std::vector<TTransferRun>& runs, bool runningNow) {
    std::vector<std::vector<std::string>> lines = {
        {"Prenos", "Začet", "Podatkovni vir", "Poslovni dogodek", "Referent", "Datum računov",
         "Datoteka", "Vsebina (SHA-256)", "Računov", "Prvi račun", "Zadnji račun", "Stanje"}};
    for (const TTransferRun& run : runs) {
        lines.push_back({std::to_string(run.Id), JournalDateTime(run.Started), run.DataSource,
                         run.PoslDog, run.Referent, DateToStr(run.IssueDate), run.FilePath,
                         run.FileHash, std::to_string(run.Invoices), run.FirstKey, run.LastKey,
                         RunStateText(run, runningNow)});
        for (std::string& cell : lines.back()) {
            cell = PrintableText(cell); // as the line form: nothing reaches a terminal raw
        }
    }
    return CsvDocument(lines);
}

} // namespace zen
