#pragma once
// The transfer runs of the ledger as the operator reads them: the history, one line per run,
// newest first, with its number (which an undo takes), start, data source, business event,
// issue date, file, the first characters of its content hash, its invoices and its state;
// and the questions and refusals that name earlier runs.

#include "transfer/Ledger.h"

#include <string>
#include <vector>

namespace zen {

// "zaključen", "prekinjen" (ended by an error or killed), "teče" (the run that holds its
// file's lock at this moment), "razveljavljen" (undone).
std::string RunStateText(const TTransferRun& run);

// "#12  8. 12. 2026 ob 10:15  Lorvath  IR  20. 12. 2026  Prenos.dbf  a1b2c3d4  8 računov
// (26IR00042–26IR00049)  zaključen", on one line. Both forms show a text from the ledger as
// PrintableText does: a control character in a file name or data source reaches no
// terminal and splits no line.
std::string HistoryLine(const TTransferRun& run);

// "    Kontrolni seštevki: …" (ControlTotalsText), shown under the run's history line; empty
// for a run of which the ledger kept none.
std::string HistoryTotalsLine(const TTransferRun& run);

// The same runs as a CSV file for a spreadsheet, in the error report's conventions, with a
// header line, the whole hash, where each run was made and its control totals.
std::string HistoryCsv(const std::vector<TTransferRun>& runs);

// Who a run is: "prenos št. 7, začet 8. 12. 2026 ob 10:15 na računalniku pisarna-2 (mapa
// /home/ana/.local/share/zendrato, uporabnik ana)".
std::string RunHolderText(const TTransferRun& run);

// The question put to the operator before transferring a file again: "Datoteka je bila že
// prenesena 7. 12. 2026 ob 11:30 (42 računov). Želite nadaljevati?", naming every earlier
// run and which of them did not finish. When the newest stopped it says what is written and
// asks whether to go on with it. Empty for no runs.
std::string EarlierRunsQuestion(const std::vector<TTransferRun>& runs);

} // namespace zen
