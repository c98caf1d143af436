#pragma once
// A transfer file as the billing system leaves it, written by the tests: a dBase III table
// in Windows-1250 (language driver 0xC8). Values are given as the texts the file holds, so
// that a test can also write a number field the reader cannot read.

#include <filesystem>
#include <string>
#include <vector>

namespace zen::test {

struct TDbfColumn {
    std::string Name;
    char Type; // 'C' text, 'N' number
    int Size;
    int Decimals = 0;
};

// The usual fields: STRANKA C(40), ARTIKEL C(16), KOLICINA N(10,3), CENA N(12,4) unless
// left out, STRAC C(10).
std::vector<TDbfColumn> TransferColumns(bool withCena = true);

// Writes the table; each record holds one UTF-8 text per column (texts left-aligned,
// numbers right-aligned, cut to nothing). std::runtime_error when a text does not fit.
void WriteDbf(const std::filesystem::path& path, const std::vector<TDbfColumn>& columns,
              const std::vector<std::vector<std::string>>& records);

} // namespace zen::test
