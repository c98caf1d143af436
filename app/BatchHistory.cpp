#include "app/BatchHistory.h"

#include "app/SignOn.h"
#include "odbc/Hdbc.h"
#include "toolkit/Home.h"
#include "toolkit/Text.h"
#include "transfer/RunLock.h"
#include "transfer/TransferHistory.h"
#include "transfer/TransferJournal.h"
#include "transfer/TransferUndo.h"

#include <cstdlib>
#include <ostream>

namespace zen {

namespace {} // namespace

int RunHistory(const THistoryArgs& args, std::ostream& out, std::ostream& err) {
    try {
        ZendratoHome();
        const bool running = RunInProgress();
        std::vector<TTransferRun> runs = TTransferJournal().Runs(args.DataSource, args.Limit);
        if (args.Csv) {
            out << HistoryCsv(runs, running);
        } else {
            for (const TTransferRun& run : runs) {
                out << HistoryLine(run, running) << '\n';
            }
            if (runs.empty()) {
                out << "V dnevniku prenosov ni nobenega prenosa.\n";
            }
        }
    } catch (const std::exception& e) {
        err << "zendrato: " << PrintableLines(e.what()) << std::endl;
        return 2;
    }
    if (!out.flush()) {
        err << "zendrato: standard output cannot be written" << std::endl;
        return 2;
    }
    return 0;
}

int RunUndo(const TUndoArgs& args, std::ostream& out, std::ostream& err) {
    try {
        ZendratoHome();
        THdbc database;
        TUndoResult result = UndoRun(database, SignOn, args.Run, args.Check, SystemUserName());
        const char* lead = args.Check ? "Izbrisan bi bil: račun " : "Izbrisan: račun ";
        for (const std::string& key : result.Keys) {
            out << lead << PrintableText(key) << '\n';
        }
        out << (args.Check ? "Preizkus: prenos št. " + std::to_string(args.Run) +
                                 " je mogoče razveljaviti (" +
                                 RacunCount(int64_t(result.Keys.size())) + "); nič ni izbrisano."
                           : "Prenos št. " + std::to_string(args.Run) + " je razveljavljen (" +
                                 RacunCount(int64_t(result.Keys.size())) + ").")
            << std::endl;
    } catch (const std::exception& e) {
        err << PrintableLines(e.what()) << std::endl;
        return 2;
    }
    return 0;
}

} // namespace zen
