#pragma once
// Reads a PDF back with poppler's command-line tools, independently of the code that wrote
// it: the words with their boxes in millimetres, and the page count.

#include <filesystem>
#include <string>
#include <vector>

namespace zen::test {

struct PdfWord {
    int Page = 0;                                    // 1-based
    double Left = 0, Top = 0, Right = 0, Bottom = 0; // mm from the paper's top-left corner
    std::string Text;
};

std::vector<PdfWord> ReadPdfWords(const std::filesystem::path& pdf);
int PdfPageCount(const std::filesystem::path& pdf);
// The output of a command, failing the test when it cannot run.
std::string RunCommand(const std::string& command);

} // namespace zen::test
