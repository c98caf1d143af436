#pragma once
// The transfer history and the undo of a run, without a window: `zendrato --history` and
// `zendrato --undo RUN`.

#include "app/CommandLine.h"

#include <iosfwd>

namespace zen {

// Lists the journal's runs on `out` (lines, or CSV with --csv). 0, or 2 with the reason on
// `err` when the journal cannot be read.
int RunHistory(const THistoryArgs& args, std::ostream& out, std::ostream& err);

// Undoes a run (or with --check says what it would delete) and lists the invoices on
// `out`. 0 when done; 2 when refused or failed, the reason on `err`, nothing changed.
int RunUndo(const TUndoArgs& args, std::ostream& out, std::ostream& err);

} // namespace zen
