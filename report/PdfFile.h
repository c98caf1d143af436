#pragma once
// A PDF file written whole or not at all, for the reports the program writes.

#include <filesystem>
#include <functional>
#include <string>

class QPdfWriter;

namespace zen {

// Writes the pages `paint` draws on a PDF writer (1200 dots an inch, the document titled
// `title`, its page layout still to be set by `paint`) to file, whole or not at all: the
// pages go to a temporary file beside it that replaces file only once it is complete, with
// the mode AccessFor(file) gives. EInOutError "Poročila "<title>" ni mogoče zapisati ..."
// when the file cannot be written; file is then left as it was.
void WritePdfFile(const std::filesystem::path& file, const std::string& title,
                  const std::function<void(QPdfWriter&)>& paint);

} // namespace zen
