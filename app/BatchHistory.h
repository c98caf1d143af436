#pragma once
// The transfer history and the undo of a run, without a window: `zendrato --history` and
// `zendrato --undo RUN`.

#include "app/CommandLine.h"

#include <iosfwd>

namespace zen {

// Lists the runs of the ledger of the data source's database on `out` (lines, or CSV with
// --csv). 0; 1 when the runs are listed but the home's old journal could not be read in
// (said on `err`); 2 with the reason on `err` when the ledger cannot be read.
int RunHistory(const THistoryArgs& args, std::ostream& out, std::ostream& err);

// Undoes a run (or with --check says what it would delete) and lists the invoices on
// `out`. 0 when done; 2 when refused or failed, the reason on `err`, nothing changed.
int RunUndo(const TUndoArgs& args, std::ostream& out, std::ostream& err);

} // namespace zen
