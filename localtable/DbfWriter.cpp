#include "localtable/DbfWriter.h"

#include "toolkit/Exceptions.h"
#include "toolkit/FileReplace.h"

#include <iconv.h>

namespace zen {

namespace {

// One iconv descriptor from UTF-8 to Windows-1250, closed with the object.
class TCp1250Encoder {
public:
    TCp1250Encoder() : cd_(iconv_open("CP1250", "UTF-8")) {
        // (iconv_t)-1 is how iconv_open says it failed.
        if (cd_ == reinterpret_cast<iconv_t>(-1)) { // NOLINT(performance-no-int-to-ptr)
            throw EConvertError("Kodne strani Windows-1250 ni v knjižnici iconv.");
        }
    }
    ~TCp1250Encoder() { iconv_close(cd_); }
    TCp1250Encoder(const TCp1250Encoder&) = delete;
    TCp1250Encoder& operator=(const TCp1250Encoder&) = delete;

    // The text's bytes in Windows-1250 (one a character, so never longer than the UTF-8).
    std::string Encode(const std::string& utf8) const {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(utf8.size(), '\0');
        char* in = const_cast<char*>(utf8.data());
        char* o = out.data();
        size_t inLeft = utf8.size(), outLeft = out.size();
        if (iconv(cd_, &in, &inLeft, &o, &outLeft) == static_cast<size_t>(-1)) {
            throw EConvertError("Besedila »" + utf8 + "« ni mogoče zapisati v Windows-1250.");
        }
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t cd_;
};

void PutLe(std::string& s, size_t at, unsigned long v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        s[at + size_t(i)] = char(v >> (8 * i) & 0xFF);
    }
}

} // namespace

std::vector<TDbfColumn> TransferFileColumns(bool withCena) {
    std::vector<TDbfColumn> c = {
        {"STRANKA", 'C', 40}, {"ARTIKEL", 'C', 16}, {"KOLICINA", 'N', 10, 3}};
    if (withCena) {
        c.push_back({"CENA", 'N', 12, 4});
    }
    c.push_back({"STRAC", 'C', 10});
    return c;
}

void WriteDbfTable(const std::filesystem::path& path, const std::vector<TDbfColumn>& columns,
                   const std::vector<std::vector<std::string>>& records) {
    size_t recordLength = 1;
    for (const TDbfColumn& c : columns) {
        recordLength += size_t(c.Size);
    }
    const size_t headerLength = 32 + 32 * columns.size() + 1;
    std::string file(headerLength, '\0');
    file[0] = 0x03;
    file[1] = char(105); // last written 2005-12-20, as the billing system's files say
    file[2] = 12;
    file[3] = 20;
    PutLe(file, 4, records.size(), 4);
    PutLe(file, 8, headerLength, 2);
    PutLe(file, 10, recordLength, 2);
    file[29] = char(0xC8);
    for (size_t i = 0; i < columns.size(); ++i) {
        const size_t d = 32 + 32 * i;
        file.replace(d, columns[i].Name.size(), columns[i].Name);
        file[d + 11] = columns[i].Type;
        file[d + 16] = char(columns[i].Size);
        file[d + 17] = char(columns[i].Decimals);
    }
    file[headerLength - 1] = 0x0D;
    const TCp1250Encoder encoder;
    for (const std::vector<std::string>& values : records) {
        std::string record(recordLength, ' ');
        size_t at = 1;
        for (size_t i = 0; i < columns.size(); ++i) {
            const std::string text = encoder.Encode(i < values.size() ? values[i] : "");
            const size_t size = size_t(columns[i].Size);
            if (text.size() > size) {
                throw EConvertError("Besedilo »" + values[i] + "« je predolgo za polje " +
                                    columns[i].Name + ".");
            }
            record.replace(at + (columns[i].Type == 'N' ? size - text.size() : 0), text.size(),
                           text);
            at += size;
        }
        file += record;
    }
    file += '\x1A';
    ReplaceFile(path, file, AccessFor(path));
}

} // namespace zen
