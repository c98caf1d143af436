#pragma once
// The transfer history as the operator reads it: one line per run of the journal, newest
// first, with its number (which an undo takes), start, data source, business event, issue
// date, file, the first characters of its content hash, its invoices and its state.

#include "transfer/TransferJournal.h"

#include <string>
#include <vector>

namespace zen {

// "zaključen", "prekinjen" (ended by an error or killed), "teče" (the run that holds the
// home now), "razveljavljen" (undone), "razveljavljanje ni končano" (an undo whose end the
// journal does not know yet). `runningNow`: whether a run holds the home at this moment.
std::string RunStateText(const TTransferRun& run, bool runningNow);

// "#12  8. 12. 2026 ob 10:15  Lorvath  IR  20. 12. 2026  Prenos.dbf  a1b2c3d4  8 računov
// (26IR00042–26IR00049)  zaključen", on one line. Both forms show a text from the journal
// as PrintableText does: a control character in a file name or data source reaches no
// terminal and splits no line.
std::string HistoryLine(const TTransferRun& run, bool runningNow);

// The same runs as a CSV file for a spreadsheet, in the error report's conventions, with a
// header line and the whole hash.
std::string HistoryCsv(const std::vector<TTransferRun>& runs, bool runningNow);

} // namespace zen
