#pragma once
// Taking a whole transfer run back: every invoice the run committed, header and lines,
// deleted in one transaction of the database, all or nothing, and the undo recorded in the
// journal, after which the same file may be transferred again without --force. Refused,
// with nothing changed, when an invoice is no longer as the run wrote it (edited, missing),
// is booked, or when another document stands after or among the run's in its series (an
// invoice series must not get a gap).

#include "toolkit/Exceptions.h"
#include "transfer/TransferRun.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zen {

class THdbc;
class TTransferJournal;

// An undo refused; its message is for the operator, names the first invoice in the way
// and why, and says that nothing changed.
ZEN_EXCEPTION_CLASS(EUndoRefused, Exception);

struct TUndoResult {
    std::vector<std::string> Keys; // the invoices deleted (with `check`: that would be)
    std::string DataSource;
};

// Undoes the journal's run `runId` on `database`, signed on by `signOn` to the run's data
// source. With `check` everything is verified and nothing deleted. Holds the home's run
// lock throughout (ERunLocked while a run goes on). `who` is recorded as the undoer.
// EUndoRefused as above; other failures raise as they are, leaving every invoice in place.
TUndoResult UndoRun(THdbc& database, const TSignOnProc& signOn, int64_t runId, bool check,
                    const std::string& who, const std::filesystem::path& journalFile = {});

// Settles the journal's unknowns for a data source against the database it is signed on
// to: keys left pending by a killed run, and undos whose end is not known.
void SettleJournal(TTransferJournal& journal, THdbc& database, const std::string& dataSource);

} // namespace zen
