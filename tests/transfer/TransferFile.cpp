#include "TransferFile.h"

#include <fstream>
#include <iconv.h>
#include <stdexcept>

namespace zen::test {

namespace {

std::string ToCp1250(const std::string& utf8) {
    iconv_t cd = iconv_open("CP1250", "UTF-8");
    std::string out(utf8.size(), '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), outLeft = out.size();
    char* o = out.data();
    size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        throw std::runtime_error("not in Windows-1250: " + utf8);
    }
    out.resize(out.size() - outLeft);
    return out;
}

void PutLe(std::string& s, size_t at, unsigned long v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        s[at + size_t(i)] = char(v >> (8 * i) & 0xFF);
    }
}

} // namespace

std::vector<TDbfColumn> TransferColumns(bool withCena) {
    std::vector<TDbfColumn> c = {
        {"STRANKA", 'C', 40}, {"ARTIKEL", 'C', 16}, {"KOLICINA", 'N', 10, 3}};
    if (withCena) {
        c.push_back({"CENA", 'N', 12, 4});
    }
    c.push_back({"STRAC", 'C', 10});
    return c;
}

void WriteDbf(const std::filesystem::path& path, const std::vector<TDbfColumn>& columns,
              const std::vector<std::vector<std::string>>& records) {
    size_t recordLength = 1;
    for (const TDbfColumn& c : columns) {
        recordLength += size_t(c.Size);
    }
    const size_t headerLength = 32 + 32 * columns.size() + 1;
    std::string file(headerLength, '\0');
    file[0] = 0x03;
    file[1] = char(105); // 2005
    file[2] = 12;
    file[3] = 20;
    PutLe(file, 4, records.size(), 4);
    PutLe(file, 8, headerLength, 2);
    PutLe(file, 10, recordLength, 2);
    file[29] = char(0xC8);
    for (size_t i = 0; i < columns.size(); ++i) {
        size_t d = 32 + 32 * i;
        file.replace(d, columns[i].Name.size(), columns[i].Name);
        file[d + 11] = columns[i].Type;
        file[d + 16] = char(columns[i].Size);
        file[d + 17] = char(columns[i].Decimals);
    }
    file[headerLength - 1] = 0x0D;
    for (const std::vector<std::string>& values : records) {
        std::string record(recordLength, ' ');
        size_t at = 1;
        for (size_t i = 0; i < columns.size(); ++i) {
            std::string text = ToCp1250(i < values.size() ? values[i] : "");
            size_t size = size_t(columns[i].Size);
            if (text.size() > size) {
                throw std::runtime_error("too long for " + columns[i].Name + ": " + values[i]);
            }
            record.replace(at + (columns[i].Type == 'N' ? size - text.size() : 0), text.size(),
                           text);
            at += size;
        }
        file += record;
    }
    file += '\x1A';
    std::ofstream out(path, std::ios::binary);
    if (!out.write(file.data(), std::streamsize(file.size()))) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace zen::test
