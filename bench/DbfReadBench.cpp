// Reading a transfer file: 100,000 records of a dBase III table in Windows-1250, read end
// to end through TTable as the transfer reads it (FieldByName for every value). Baseline:
// the same bytes read with std::ifstream, the texts decoded with iconv and the numbers
// parsed by hand, which is the least any reader of the file has to do. First, before
// anything else has raised it, how much reading 1,000,000 records raises the peak
// resident memory: the reader's memory must not grow with the file.

#include "bench/BenchSupport.h"
#include "localtable/Table.h"
#include "toolkit/Exceptions.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iconv.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zen::bench {
namespace {

constexpr int kRecords = 100000;
constexpr int kLargeRecords = 1000000;
constexpr int kRuns = 5;

struct TFieldSpec {
    const char* Name;
    char Type; // 'C' text, 'N' number
    int Size;
    int Decimals;
};

constexpr TFieldSpec kFields[] = {
    {"STRANKA", 'C', 40, 0}, {"ARTIKEL", 'C', 16, 0}, {"KOLICINA", 'N', 10, 3},
    {"CENA", 'N', 12, 4},    {"STRAC", 'C', 10, 0},
};
constexpr size_t kFieldCount = std::size(kFields);

constexpr size_t RecordLength() {
    size_t n = 1; // the deletion flag
    for (const TFieldSpec& f : kFields) {
        n += size_t(f.Size);
    }
    return n;
}

// One iconv descriptor; Convert fails loudly, as a broken benchmark file must not pass.
class TIconv {
public:
    TIconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) { // NOLINT(performance-no-int-to-ptr)
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
        }
    }
    ~TIconv() { iconv_close(cd_); }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;

    std::string Convert(std::string_view bytes) const {
        std::string out(bytes.size() * 4, '\0'); // UTF-8 needs at most 3 bytes a letter here
        char* in = const_cast<char*>(bytes.data());
        size_t inLeft = bytes.size();
        char* outPtr = out.data();
        size_t outLeft = out.size();
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd_, &in, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            throw std::runtime_error("iconv: " + std::string(bytes) + ": " + std::strerror(errno));
        }
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t cd_;
};

void PutLe16(std::string& s, size_t at, unsigned v) {
    s[at] = char(v & 0xFF);
    s[at + 1] = char(v >> 8 & 0xFF);
}

void PutLe32(std::string& s, size_t at, unsigned long v) {
    for (int i = 0; i < 4; ++i) {
        s[at + size_t(i)] = char(v >> (8 * i) & 0xFF);
    }
}

// A value padded into its field: texts left-aligned, numbers right-aligned.
void PutField(std::string& record, size_t& at, const TFieldSpec& f, const std::string& text) {
    if (text.size() > size_t(f.Size)) {
        throw std::logic_error(std::string("value too long for ") + f.Name + ": " + text);
    }
    size_t pad = size_t(f.Size) - text.size();
    record.replace(at + (f.Type == 'N' ? pad : 0), text.size(), text);
    at += size_t(f.Size);
}

std::string Number(double value, const TFieldSpec& f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.*f", f.Decimals, value);
    return buf;
}

// Writes the table as the billing program leaves it: dBase III, language driver 0xC8
// (Windows-1250), Slovene names, a trailing end-of-file mark. Record by record, so that
// writing a large file raises the peak memory no more than reading it may.
void WriteTransferFile(const std::filesystem::path& path, int records) {
    const char* payers[] = {"Čebelarsko društvo Žiri",    "Šolski center Šentjur",
                            "Kmetijska zadruga Črnomelj", "Mesarija Žužemberk d.o.o.",
                            "Občina Škofja Loka",         "Vrtec Ježek Kočevje",
                            "Gostilna Pri Štefanu",       "Zavod Čista narava"};
    const char* articles[] = {"ČAJ-", "ŠUM-", "ŽIT-", "MLE-", "KRU-"};
    TIconv encode("CP1250", "UTF-8");

    const size_t headerLength = 32 + 32 * kFieldCount + 1;
    std::string header(headerLength, '\0');
    std::time_t now = std::time(nullptr);
    std::tm today{};
    localtime_r(&now, &today);
    header[0] = 0x03;
    header[1] = char(today.tm_year); // years since 1900
    header[2] = char(today.tm_mon + 1);
    header[3] = char(today.tm_mday);
    PutLe32(header, 4, unsigned(records));
    PutLe16(header, 8, unsigned(headerLength));
    PutLe16(header, 10, unsigned(RecordLength()));
    header[29] = char(0xC8);
    for (size_t i = 0; i < kFieldCount; ++i) {
        size_t d = 32 + 32 * i;
        std::string_view name = kFields[i].Name;
        header.replace(d, name.size(), name);
        header[d + 11] = kFields[i].Type;
        header[d + 16] = char(kFields[i].Size);
        header[d + 17] = char(kFields[i].Decimals);
    }
    header[headerLength - 1] = 0x0D;

    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), std::streamsize(header.size()));
    TRandom random(1250);
    for (int r = 0; r < records; ++r) {
        std::string record(RecordLength(), ' ');
        size_t at = 1;
        std::string payer = std::string(payers[random.Below(std::size(payers))]) + " " +
                            std::to_string(random.Below(1000));
        std::string article = std::string(articles[random.Below(std::size(articles))]) +
                              std::to_string(random.Below(100000));
        PutField(record, at, kFields[0], encode.Convert(payer));
        PutField(record, at, kFields[1], encode.Convert(article));
        PutField(record, at, kFields[2], Number(double(random.Below(100000)) / 1000, kFields[2]));
        PutField(record, at, kFields[3],
                 Number(double(random.Below(10000000)) / 10000, kFields[3]));
        PutField(record, at, kFields[4], encode.Convert("Š-" + std::to_string(r)));
        out.write(record.data(), std::streamsize(record.size()));
    }
    if (!out.write("\x1A", 1)) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

uint64_t ReadThroughTable(const std::filesystem::path& path) {
    TChecksum sum;
    TTable t;
    t.SetTableName(path.string());
    t.Open();
    for (t.First(); !t.Eof(); t.Next()) {
        sum.Add(t.FieldByName("STRANKA")->AsString());
        sum.Add(t.FieldByName("ARTIKEL")->AsString());
        sum.Add(t.FieldByName("KOLICINA")->AsFloat());
        sum.Add(t.FieldByName("CENA")->AsFloat());
        sum.Add(t.FieldByName("STRAC")->AsString());
    }
    t.Close();
    return sum.Value();
}

uint32_t Le(const char* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        v = v << 8 | static_cast<unsigned char>(p[i]);
    }
    return v;
}

// The baseline knows the layout it wrote and trusts the file: no checks beyond the header.
uint64_t ReadByHand(const std::filesystem::path& path, const TIconv& decode) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> data(std::filesystem::file_size(path));
    if (!in.read(data.data(), std::streamsize(data.size()))) {
        throw std::runtime_error("cannot read " + path.string());
    }
    uint32_t count = Le(data.data() + 4, 4);
    uint32_t headerLength = Le(data.data() + 8, 2);
    uint32_t recordLength = Le(data.data() + 10, 2);
    TChecksum sum;
    for (uint32_t r = 0; r < count; ++r) {
        const char* record = data.data() + headerLength + size_t(r) * recordLength;
        if (record[0] == '*') {
            continue;
        }
        const char* p = record + 1;
        for (const TFieldSpec& f : kFields) {
            std::string_view raw(p, size_t(f.Size));
            p += f.Size;
            if (f.Type == 'C') {
                sum.Add(decode.Convert(raw.substr(0, raw.find_last_not_of(' ') + 1)));
            } else {
                raw.remove_prefix(std::min(raw.find_first_not_of(' '), raw.size()));
                double value = 0;
                std::from_chars(raw.data(), raw.data() + raw.size(), value);
                sum.Add(value);
            }
        }
    }
    return sum.Value();
}

} // namespace
} // namespace zen::bench

int main() {
    using namespace zen::bench;
    return RunBenchmark("bench_dbf_read", [](const TBenchHome& home) {
        std::filesystem::path file = home.Path() / "PRENOS.DBF";
        WriteTransferFile(file, kLargeRecords);
        const double mib = double(std::filesystem::file_size(file)) / (1024 * 1024);
        const long rssBefore = PeakRssKiB();
        ReadThroughTable(file);
        const long rssGrowth = PeakRssKiB() - rssBefore;
        WriteTransferFile(file, kRecords);
        TIconv decode("UTF-8", "CP1250");

        uint64_t viaTable = 0, byHand = 0;
        TTimes t = CompareBest(
            kRuns, [&] { viaTable = ReadThroughTable(file); },
            [&] { byHand = ReadByHand(file, decode); });
        RequireSame("reading a transfer file", viaTable, byHand);

        PrintTitle("Reading a transfer file: " + std::to_string(kRecords) +
                   " dBase III records in Windows-1250, best of " + std::to_string(kRuns));
        PrintRate("TTable, FieldByName", kRecords, t.Subject, "records");
        PrintRate("baseline: ifstream + iconv", kRecords, t.Baseline, "records");
        PrintRatio("TTable / baseline", t.Subject, t.Baseline);
        PrintLine("peak RSS raised by " + std::to_string(kLargeRecords) + " records",
                  Fixed(double(rssGrowth) / 1024, 1) + " MiB",
                  "(TTable, a file of " + Fixed(mib, 1) + " MiB)");
    });
}
