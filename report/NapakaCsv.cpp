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

void AppendLine(std::string& out, std::string_view first, std::string_view second) {
    AppendField(out, first);
    out += ';';
    AppendField(out, second);
    out += "\r\n";
}

} // namespace

std::string NapakaCsv(const std::vector<TNapakaRow>& rows) {
    std::string out = "\xEF\xBB\xBF";
    AppendLine(out, napaka::kStRacLabel, napaka::kNapakaLabel);
    for (const TNapakaRow& row : rows) {
        AppendLine(out, row.StRac, row.Napaka);
    }
    return out;
}

void WriteNapakaCsv(const std::vector<TNapakaRow>& rows, const std::filesystem::path& file) {
    ReplaceFile(file, NapakaCsv(rows), AccessFor(file));
}

} // namespace zen
