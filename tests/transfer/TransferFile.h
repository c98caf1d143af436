#pragma once
// A transfer file as the billing system leaves it, written by the tests through the
// program's own writer (localtable/DbfWriter.h). Values are given as the texts the file
// holds, so that a test can also write a number field the reader cannot read.

#include "localtable/DbfWriter.h"

#include <filesystem>
#include <string>
#include <vector>

namespace zen::test {

using zen::TDbfColumn;

// The usual fields: STRANKA C(40), ARTIKEL C(16), KOLICINA N(10,3), CENA N(12,4) unless
// left out, STRAC C(10).
inline std::vector<TDbfColumn> TransferColumns(bool withCena = true) {
    return TransferFileColumns(withCena);
}

// Writes the table; each record holds one UTF-8 text per column (texts left-aligned,
// numbers right-aligned). EConvertError when a text does not fit.
inline void WriteDbf(const std::filesystem::path& path, const std::vector<TDbfColumn>& columns,
                     const std::vector<std::vector<std::string>>& records) {
    WriteDbfTable(path, columns, records);
}

} // namespace zen::test
