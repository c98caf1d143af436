#pragma once
// Taking a whole transfer run back: every invoice the run committed, header and lines,
// deleted in one transaction of the database together with the ledger's mark that the run is
// undone, all or nothing; after which the same file may be transferred again without
// --force. The run's rows are locked before they are checked, so that nothing can change
// them between the check and the delete. Refused, with nothing changed, when an invoice is
// no longer as the run wrote it (any column of its header or lines), is missing, is booked,
// or when another document stands after or among the run's in its series (an invoice series
// must not get a gap), or while a run of the same file goes on.

#include "toolkit/Exceptions.h"
#include "transfer/TransferRun.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zen {

class THdbc;

// An undo refused; its message is for the operator, names the first invoice in the way
// and why, and says that nothing changed.
ZEN_EXCEPTION_CLASS(EUndoRefused, Exception);

struct TUndoResult {
    std::vector<std::string> Keys; // the invoices deleted (with `check`: that would be)
    std::string DataSource;
    // The run was undone before (by an undo whose end its caller never saw): nothing was
    // deleted now. UndoneAt says when.
    bool AlreadyUndone = false;
    TDateTime UndoneAt = 0;
};

// Undoes the ledger's run `runId` of the database behind `dataSource`, signed on by
// `signOn`. With `check` everything is verified and nothing deleted. Holds the home's run
// lock throughout (ERunLocked while a run goes on) and the run's file lock. `who` is
// recorded as the undoer. EUndoRefused as above; other failures raise as they are, leaving
// every invoice in place.
TUndoResult UndoRun(THdbc& database, const TSignOnProc& signOn, const std::string& dataSource,
                    int64_t runId, bool check, const std::string& who);

} // namespace zen
