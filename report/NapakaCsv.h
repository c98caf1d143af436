#pragma once
// The transfer error report as a CSV file, for spreadsheets and scripts that read a batch
// run's errors: UTF-8 with a byte-order mark (without it the spreadsheets of a Slovene
// desktop read the letters as Windows-1250), a header line, fields separated by ";" (the
// comma is the decimal separator there), lines ended by CR LF, and a field quoted, its
// quotes doubled, when it holds ";", a quote or a line break. A field that a spreadsheet
// would take for a formula (starting with "=", "+", "-", "@", a tab or a carriage return)
// gets an apostrophe in front.

#include "report/NapakaLayout.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zen {

// A CSV file's bytes in these conventions: the byte-order mark, then each line's fields.
std::string CsvDocument(const std::vector<std::vector<std::string>>& lines);

// The file's bytes: the header "Račun št.;Napaka" and one line per row, in order.
std::string NapakaCsv(const std::vector<TNapakaRow>& rows);

// Writes NapakaCsv(rows) to file, whole or not at all (a temporary file renamed over it),
// with the mode AccessFor(file) gives.
// EInOutError when it cannot be written; file is then left as it was.
void WriteNapakaCsv(const std::vector<TNapakaRow>& rows, const std::filesystem::path& file);

} // namespace zen
