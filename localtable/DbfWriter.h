#pragma once
// Writes a transfer file as the billing system leaves it: a dBase III table in
// Windows-1250 (language driver 0xC8), which the program's own reader (DbfFile.h) reads.
// The demo makes its transfer files with it, and the tests theirs.

#include <filesystem>
#include <string>
#include <vector>

namespace zen {

struct TDbfColumn {
    std::string Name;
    char Type; // 'C' text, 'N' number
    int Size;
    int Decimals = 0;
};

// The transfer file's fields: STRANKA C(40), ARTIKEL C(16), KOLICINA N(10,3), CENA N(12,4)
// unless left out, STRAC C(10).
std::vector<TDbfColumn> TransferFileColumns(bool withCena = true);

// Writes the table, each record one UTF-8 text per column as the file holds it (texts
// left-aligned, numbers right-aligned), into a new file put in the path's place only when
// whole. EConvertError when a text does not fit its field or Windows-1250; EInOutError when
// the file cannot be written.
void WriteDbfTable(const std::filesystem::path& path, const std::vector<TDbfColumn>& columns,
                   const std::vector<std::vector<std::string>>& records);

} // namespace zen
