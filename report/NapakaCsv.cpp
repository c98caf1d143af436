#include "report/NapakaCsv.h"

#include "toolkit/FileReplace.h"

#include <string_view>

namespace zen {

namespace {

// A spreadsheet reads a cell that starts with one of these as a formula ("=1+2", "@SUM(1)",
// "+1-1"), which a transfer file could so plant in the operator's spreadsheet; a leading
// apostrophe makes it text.
bool LooksLikeFormula(std::string_view field) {
    return !field.empty() &&
           std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
}

void AppendField(std::string& out, std::string_view text) {
    const std::string field = LooksLikeFormula(text) ? "'" + std::string(text) : std::string(text);
    if (field.find_first_of(";\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    out += '"';
}

} // namespace

std::string CsvDocument(const std::vector<std::vector<std::string>>& lines) {
    std::string out = "\xEF\xBB\xBF";
    for (const std::vector<std::string>& line : lines) {
        for (size_t i = 0; i < line.size(); ++i) {
            if (i > 0) {
                out += ';';
            }
            AppendField(out, line[i]);
        }
        out += "\r\n";
    }
    return out;
}

std::string NapakaCsv(const std::vector<TNapakaRow>& rows) {
    std::vector<std::vector<std::string>> lines = {{napaka::kStRacLabel, napaka::kNapakaLabel}};
    for (const TNapakaRow& row : rows) {
        lines.push_back({row.StRac, row.Napaka});
    }
    return CsvDocument(lines);
}

void WriteNapakaCsv(const std::vector<TNapakaRow>& rows, const std::filesystem::path& file) {
    ReplaceFile(file, NapakaCsv(rows), AccessFor(file));
}

} // namespace zen
