#include "app/BatchHistory.h"

#include "app/SignOn.h"
#include "app/StoredInputs.h"
#include "dbutil/IniFile.h"
#include "odbc/Hdbc.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"
#include "transfer/Ledger.h"
#include "transfer/TransferHistory.h"
#include "transfer/TransferJournal.h"
#include "transfer/TransferUndo.h"

#include <ostream>

namespace zen {

namespace {

// The data source given, or the window's (Tevrin.INI's Alias, else Lorvath).
std::string DataSourceOf(const std::optional<std::string>& given) {
    if (given) {
        return *given;
    }
    OpenSettingsFile("Tevrin.INI");
    return ReadStoredInputs().Alias;
}

} // namespace

int RunHistory(const THistoryArgs& args, std::ostream& out, std::ostream& err) {
    int status = 0;
    try {
        ZendratoHome();
        const std::string dataSource = DataSourceOf(args.DataSource);
        THdbc database;
        SignOn(database, dataSource);
        if (const std::string damaged = ImportJournalBeforeListing(database, dataSource);
            !damaged.empty()) {
            err << PrintableLines(damaged) << std::endl;
            status = 1;
        }
        std::vector<TTransferRun> runs = LedgerRuns(database, args.Limit);
        if (args.Csv) {
            out << HistoryCsv(runs);
        } else {
            for (const TTransferRun& run : runs) {
                out << HistoryLine(run) << '\n';
                if (const std::string totals = HistoryTotalsLine(run); !totals.empty()) {
                    out << PrintableText(totals) << '\n';
                }
            }
            if (runs.empty()) {
                out << "V dnevniku prenosov baze " << PrintableText(dataSource)
                    << " ni nobenega prenosa.\n";
            }
        }
    } catch (const std::exception& e) {
        err << "zendrato: " << PrintableLines(e.what()) << std::endl;
        return 2;
    }
    if (!out.flush()) {
        err << "zendrato: standardnega izhoda ni mogoče zapisati" << std::endl;
        return 2;
    }
    return status;
}

int RunUndo(const TUndoArgs& args, std::ostream& out, std::ostream& err) {
    try {
        ZendratoHome();
        const std::string dataSource = DataSourceOf(args.DataSource);
        THdbc database;
        TUndoResult result =
            UndoRun(database, SignOn, dataSource, args.Run, args.Check, SystemUserName());
        const std::string name = "Prenos št. " + std::to_string(args.Run);
        if (result.AlreadyUndone) {
            out << name << " je bil razveljavljen že " << JournalDateTime(result.UndoneAt)
                << "; ni bilo treba storiti ničesar." << std::endl;
            return 0;
        }
        const char* lead = args.Check ? "Izbrisan bi bil: račun " : "Izbrisan: račun ";
        for (const std::string& key : result.Keys) {
            out << lead << PrintableText(key) << '\n';
        }
        out << (args.Check
                    ? "Preizkus: prenos št. " + std::to_string(args.Run) +
                          " je mogoče razveljaviti (" + RacunCount(int64_t(result.Keys.size())) +
                          "); nič ni izbrisano."
                    : name + " je razveljavljen (" + RacunCount(int64_t(result.Keys.size())) + ").")
            << std::endl;
    } catch (const std::exception& e) {
        err << PrintableLines(e.what()) << std::endl;
        return 2;
    }
    return 0;
}

} // namespace zen
