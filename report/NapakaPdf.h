#pragma once
// The transfer error report as a PDF file, for tests and batch runs.

#include "report/NapakaLayout.h"

#include <filesystem>
#include <vector>

namespace zen {

// Writes the report over rows to file, whole or not at all: the pages go to a temporary
// file beside it that replaces file only once it is complete, with the mode AccessFor(file)
// gives. rows must not be empty (an empty report is never produced: EInvalidOperation).
// EInOutError when the file cannot be written; file is then left as it was.
void WriteNapakaPdf(const std::vector<TNapakaRow>& rows, const std::filesystem::path& file);

} // namespace zen
