#include "localtable/DbfFile.h"

#include "toolkit/DateTime.h"
#include "toolkit/Exceptions.h"
#include "toolkit/FieldDefs.h"
#include "toolkit/NumberText.h"
#include "toolkit/Text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

namespace zen {

namespace {

// A memo file larger than this is not read; refusing it keeps a wrong file from exhausting
// memory.
constexpr uintmax_t kMaxMemoSize = uintmax_t(1) << 30;

// Live records between two remembered positions (DbfFile.h, strides_).
constexpr size_t kLiveStride = 4096;

uint32_t Le16(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
uint32_t Be16(const unsigned char* p) {
    return uint32_t(p[0]) << 8 | uint32_t(p[1]);
}
uint32_t Be32(const unsigned char* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
uint64_t Le64(const unsigned char* p) {
    return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32;
}
uint64_t Be64(const unsigned char* p) {
    return uint64_t(Be32(p)) << 32 | uint64_t(Be32(p + 4));
}

bool KnownVersion(unsigned char v) {
    switch (v) {
    case 0x02: // FoxBASE
    case 0x03: // dBase III / FoxPro, no memo
    case 0x04: // dBase 7 (or IV), no memo
    case 0x05: // dBase 5
    case 0x30: // Visual FoxPro
    case 0x31: // Visual FoxPro with auto-increment
    case 0x32: // Visual FoxPro with varchar
    case 0x43: // dBase IV SQL table
    case 0x63: // dBase IV SQL system table
    case 0x7B: // dBase IV with memo
    case 0x83: // dBase III with memo
    case 0x8B: // dBase IV with memo
    case 0x8C: // dBase 7 with memo
    case 0xCB: // dBase IV SQL table with memo
    case 0xE5: // Clipper SIX with memo
    case 0xF5: // FoxPro 2 with memo
    case 0xFB: // FoxBASE with memo
        return true;
    default:
        return false;
    }
}

bool IsFoxPro(unsigned char v) {
    return v == 0x30 || v == 0x31 || v == 0x32 || v == 0xF5;
}

bool IsLevel7(unsigned char v) {
    return (v & 0x07) == 0x04;
}

// The checks that need only the fixed 32-byte part of the header.
bool PlausibleHeader(const unsigned char* h, uintmax_t fileSize) {
    if (!KnownVersion(h[0])) {
        return false;
    }
    unsigned month = h[2], day = h[3];
    if (month > 12 || day > 31) {
        return false;
    }
    uint32_t headerLength = Le16(h + 8), recordLength = Le16(h + 10);
    return headerLength >= 33 && headerLength <= fileSize && recordLength >= 1;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string_view Trim(std::string_view s) {
    s = TrimRight(s);
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) {
        s.remove_prefix(1);
    }
    return s;
}

// NUL is no character of a dBase text: writers that fill fields with NULs instead of
// blanks leave them as padding, wherever in the field they stand. Dropping them keeps the
// text the same whether it is read here or held as a C string further on.
std::string WithoutNul(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c != '\0') {
            out += c;
        }
    }
    return out;
}

bool AllOf(std::string_view s, char c) {
    for (char x : s) {
        if (x != c) {
            return false;
        }
    }
    return true;
}

// dBase 7 keeps numbers so that they sort as bytes: the sign bit is flipped for integers,
// and a double is stored with its sign bit set when positive and all bits inverted when
// negative.
double Level7Double(uint64_t bits) {
    bits = (bits & (uint64_t(1) << 63)) ? bits & ~(uint64_t(1) << 63) : ~bits;
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// Memo files are read whole on first use: no transfer file has one.
std::vector<unsigned char> ReadMemoFile(const std::filesystem::path& path) {
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        throw EInOutError("Cannot read " + path.string() + ": " + ec.message());
    }
    if (size > kMaxMemoSize) {
        throw EInOutError("Memo file " + path.string() + " is too large");
    }
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> data(static_cast<size_t>(size));
    if (!in || !in.read(reinterpret_cast<char*>(data.data()), std::streamsize(data.size()))) {
        throw EInOutError("Cannot read " + path.string());
    }
    return data;
}

} // namespace

// The memo file beside the table (.dbt for dBase, .fpt for FoxPro), read whole on first use.
class TDbfFile::Memo {
public:
    Memo(std::filesystem::path path, std::vector<unsigned char> data, bool foxPro,
         unsigned char version)
        : path_(std::move(path)), data_(std::move(data)), foxPro_(foxPro) {
        // Both kinds of memo file begin with a 512-byte header block.
        if (data_.size() < 512) {
            throw EDatabaseError("Memo file " + path_.string() + " is truncated");
        }
        if (foxPro_) {
            blockSize_ = Be16(data_.data() + 6);
        } else if (version != 0x83 && Le16(data_.data() + 20) != 0) {
            blockSize_ = Le16(data_.data() + 20);
        }
        if (blockSize_ == 0) {
            throw EDatabaseError("Memo file " + path_.string() + " has no block size");
        }
    }

    const std::filesystem::path& Path() const { return path_; }

    // The raw bytes of the memo starting at a block; empty on a fault, with `fault` set.
    std::string_view Block(uint64_t block, std::string& fault) const {
        uint64_t off = block * blockSize_;
        if (block > data_.size() || off >= data_.size()) {
            fault =
                "memo block " + std::to_string(block) + " lies past the end of " + path_.string();
            return {};
        }
        const unsigned char* p = data_.data() + off;
        size_t left = data_.size() - static_cast<size_t>(off);
        if (foxPro_) {
            if (left < 8 || Be32(p + 4) > left - 8) {
                fault = "memo block " + std::to_string(block) + " of " + path_.string() +
                        " is truncated";
                return {};
            }
            if (Be32(p) != 1) {
                fault = "memo block " + std::to_string(block) + " holds binary data";
                return {};
            }
            return {reinterpret_cast<const char*>(p + 8), Be32(p + 4)};
        }
        if (left >= 8 && p[0] == 0xFF && p[1] == 0xFF && p[2] == 0x08 && p[3] == 0x00) {
            uint32_t len = Le32(p + 4); // counts the eight header bytes
            if (len < 8 || len > left) {
                fault = "memo block " + std::to_string(block) + " of " + path_.string() +
                        " is truncated";
                return {};
            }
            return {reinterpret_cast<const char*>(p + 8), len - 8};
        }
        // dBase III: the text runs to an end-of-file mark.
        const void* end = std::memchr(p, 0x1A, left);
        size_t len = end ? static_cast<size_t>(static_cast<const unsigned char*>(end) - p) : left;
        return {reinterpret_cast<const char*>(p), len};
    }

private:
    std::filesystem::path path_;
    std::vector<unsigned char> data_;
    bool foxPro_;
    uint32_t blockSize_ = 512;
};

TDbfFile::TDbfFile(const std::filesystem::path& path, const TDbfHeaderCheck& checkHeader)
    : path_(path), source_(std::make_unique<TDbfSource>(path)) {
    ParseHeader();
    if (checkHeader) {
        checkHeader(*this);
    }
    source_->Snapshot(header_, Extent());
    CheckRecords();
}

TDbfFile::TDbfFile(const std::filesystem::path& path, std::vector<unsigned char> data)
    : path_(path), source_(std::make_unique<TDbfSource>(std::move(data))) {
    ParseHeader();
    Extent();
    CheckRecords();
}

TDbfFile::~TDbfFile() = default;

bool TDbfFile::LooksLikeDbf(const std::filesystem::path& path) {
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size < 32) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    unsigned char h[32];
    if (!in.read(reinterpret_cast<char*>(h), sizeof h)) {
        return false;
    }
    return PlausibleHeader(h, size);
}

void TDbfFile::Fail(const std::string& fault) const {
    throw EDatabaseError("dBase table " + path_.string() + ": " + fault);
}

void TDbfFile::FailValue(size_t record, const TDbfField& f, const std::string& fault) const {
    Fail("record " + std::to_string(Physical(record) + 1) + ", field " + f.Name + ": " + fault);
}

void TDbfFile::ParseHeader() {
    if (source_->Size() < 32 || !PlausibleHeader(source_->At(0, 32), source_->Size())) {
        // Said to the operator who named the file: nothing of it has been used.
        throw EDatabaseError("Datoteka " + path_.string() + " ni datoteka dBase.");
    }
    headerLength_ = Le16(source_->At(0, 32) + 8);
    const unsigned char* at = source_->At(0, headerLength_);
    header_.assign(at, at + headerLength_);
    const unsigned char* h = header_.data();
    version_ = h[0];
    recordLength_ = Le16(h + 10);
    if (h[15] != 0) {
        Fail("the table is encrypted");
    }
    std::string codePage = DbfLanguageDriverCodePage(h[29]);
    if (codePage.empty()) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "0x%02X", h[29]);
        Fail(std::string("unknown language driver ") + buf);
    }
    try {
        decoder_ = std::make_unique<TCodePageDecoder>(codePage);
    } catch (const EDatabaseError& e) {
        Fail(e.Message());
    }

    // dBase 7 keeps a longer header with 48-byte field descriptors; a file whose version
    // byte suggests it but whose descriptors do not fit is read the older way.
    std::string fault;
    bool parsed =
        IsLevel7(version_) && headerLength_ > 68 && ParseDescriptors(68, 48, 32, true, fault);
    if (!parsed && !ParseDescriptors(32, 32, 11, false, fault)) {
        Fail(!fault.empty() ? fault
                            : "the field descriptors do not match the header length " +
                                  std::to_string(headerLength_) + " and record length " +
                                  std::to_string(recordLength_));
    }
    RenameDuplicateFields();
}

uint64_t TDbfFile::Extent() const {
    const uint64_t promised = Le32(header_.data() + 4);
    const uint64_t held = (source_->Size() - headerLength_) / recordLength_;
    if (promised > held) {
        throw EDatabaseError(
            "Datoteka " + path_.string() + " je krajša, kot pove njena glava: zapisov po glavi " +
            std::to_string(promised) + ", celih v datoteki " + std::to_string(held) + ".");
    }
    // What lies behind the records and their end mark (a sparse tail, records appended since
    // the header was written) is no part of the table.
    const uint64_t records = headerLength_ + promised * recordLength_;
    return records < source_->Size() && *source_->At(records, 1) == 0x1A ? records + 1 : records;
}

void TDbfFile::CheckRecords() {
    const uint64_t promised = Le32(header_.data() + 4);
    std::vector<uint64_t> strides;
    size_t live = 0;
    for (uint64_t i = 0; i < promised; ++i) {
        unsigned char flag = Flag(i);
        if (flag == '*') {
            continue;
        }
        if (flag != ' ') {
            Fail("record " + std::to_string(i + 1) + " is damaged (no deletion flag)");
        }
        if (live % kLiveStride == 0) {
            strides.push_back(i);
        }
        ++live;
    }
    recordCount_ = live;
    // Without deleted records a record's number is its position.
    if (live != promised) {
        strides_ = std::move(strides);
        lastRecord_ = 0;
        lastPhysical_ = strides_.empty() ? 0 : strides_[0];
    }
}

unsigned char TDbfFile::Flag(uint64_t physical) const {
    return *source_->At(headerLength_ + physical * recordLength_, 1);
}

uint64_t TDbfFile::Physical(size_t record) const {
    if (record >= recordCount_) {
        throw std::out_of_range("dBase record " + std::to_string(record));
    }
    if (strides_.empty()) {
        return record;
    }
    if (record < lastRecord_ || record - lastRecord_ >= kLiveStride) {
        lastRecord_ = record / kLiveStride * kLiveStride;
        lastPhysical_ = strides_[record / kLiveStride];
    }
    while (lastRecord_ < record) {
        do {
            ++lastPhysical_;
        } while (Flag(lastPhysical_) == '*');
        ++lastRecord_;
    }
    return lastPhysical_;
}

namespace {

// A descriptor's name: up to its first NUL, trailing blanks dropped; empty when there is
// none or it holds a blank or control character.
std::string_view DescriptorName(const unsigned char* d, size_t nameLength) {
    std::string_view name(reinterpret_cast<const char*>(d), nameLength);
    name = name.substr(0, name.find('\0'));
    while (!name.empty() && name.back() == ' ') {
        name.remove_suffix(1);
    }
    for (unsigned char c : name) {
        if (c <= 0x20 || c == 0x7F) {
            return {};
        }
    }
    return name;
}

// The field's data type by its dBase type and size (a long text's size made whole); false
// for a type or size no dBase file has.
bool SetDataType(TDbfField& f) {
    switch (f.Type) {
    case 'C':
        // FoxPro and Clipper keep long texts' high length byte in the decimals byte.
        f.Size += f.Decimals * 256;
        f.Decimals = 0;
        f.DataType = ftString;
        return true;
    case 'N':
    case 'F':
        f.DataType = ftFloat;
        return true;
    case 'D':
        f.DataType = ftDate;
        return f.Size == 8;
    case 'L':
        f.DataType = ftBoolean;
        return f.Size == 1;
    case 'M':
        f.DataType = ftMemo;
        return f.Size == 10 || f.Size == 4;
    case 'I':
    case '+':
        f.DataType = ftInteger;
        return f.Size == 4;
    case 'B':
        // A double in FoxPro, a binary memo in dBase.
        f.DataType = f.Size == 8 ? ftFloat : ftUnknown;
        return true;
    case 'O':
    case 'Y':
    case 'T':
        f.DataType = f.Type == 'O' ? ftFloat : f.Type == 'Y' ? ftCurrency : ftDateTime;
        return f.Size == 8;
    case '0': // Visual FoxPro's hidden _NullFlags
    case '@':
    case 'G':
    case 'P':
    case 'V':
    case 'Q':
    case 'W':
        f.DataType = ftUnknown;
        return true;
    default:
        return false;
    }
}

} // namespace

bool TDbfFile::ParseDescriptors(size_t start, size_t size, size_t nameLength, bool level7,
                                std::string& fault) {
    fault.clear();
    fields_.clear();
    nullFlags_.reset();
    size_t pos = start;
    size_t offset = 0;
    int nullBits = 0;
    while (pos < headerLength_ && header_[pos] != 0x0D) {
        if (pos + size > headerLength_) {
            return false;
        }
        const unsigned char* d = header_.data() + pos;
        size_t typeAt = level7 ? 32 : 11;
        size_t lenAt = level7 ? 33 : 16;
        TDbfField f;
        const std::string_view rawName = DescriptorName(d, nameLength);
        if (rawName.empty()) {
            return false;
        }
        try {
            f.Name = decoder_->Decode(rawName);
        } catch (const EConvertError&) {
            fault = "the name of field " + std::to_string(fields_.size() + 1) +
                    " is not valid in code page " + decoder_->CodePage();
            return false;
        }
        f.Type = static_cast<char>(d[typeAt]);
        f.Size = d[lenAt];
        f.Decimals = d[lenAt + 1];
        unsigned char flags = level7 ? 0 : d[18];
        bool foxPro = IsFoxPro(version_);
        if (!SetDataType(f) || f.Size == 0) {
            return false;
        }
        f.Offset = offset;
        offset += static_cast<size_t>(f.Size);
        if (foxPro && f.Type == '0') {
            // Visual FoxPro's hidden _NullFlags: not a field of the table for its readers.
            nullFlags_ = std::move(f);
            pos += size;
            continue;
        }
        if (foxPro) {
            // Varchar fields take a bit of their own for their length, before the null bit.
            if (f.Type == 'V' || f.Type == 'Q') {
                ++nullBits;
            }
            if (flags & 0x02) {
                f.NullBit = nullBits++;
            }
        }
        fields_.push_back(std::move(f));
        pos += size;
    }
    if (fields_.empty() || offset + 1 > recordLength_) {
        return false;
    }
    // The longer dBase 7 layout is taken only when its descriptors end where they should.
    if (level7 && (pos >= headerLength_ || header_[pos] != 0x0D)) {
        return false;
    }
    if (nullBits > 0 && (!nullFlags_ || nullFlags_->Size * 8 < nullBits)) {
        return false;
    }
    return true;
}

void TDbfFile::RenameDuplicateFields() {
    // Names compare as SameName does: by their ASCII upper case.
    std::unordered_set<std::string> all;
    for (const TDbfField& f : fields_) {
        all.insert(AsciiUpper(f.Name));
    }
    std::unordered_set<std::string> seen;
    std::unordered_map<std::string, int> next; // the number to try next for a name
    for (TDbfField& f : fields_) {
        std::string key = AsciiUpper(f.Name);
        if (seen.insert(key).second) {
            continue;
        }
        int& n = next.try_emplace(key, 2).first->second;
        std::string name;
        do {
            name = f.Name + "_" + std::to_string(n++);
        } while (all.count(AsciiUpper(name)));
        f.Name = name;
        all.insert(AsciiUpper(name));
        seen.insert(AsciiUpper(name));
    }
}

int TDbfFile::FieldIndex(std::string_view name) const {
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (SameName(fields_[i].Name, std::string(name))) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::string_view TDbfFile::Raw(size_t record, const TDbfField& f) const {
    // Offsets and sizes were checked against the record length, and every record the
    // header promises lies wholly inside the file. The record is read whole, so that the
    // views of its fields hold together.
    const unsigned char* r =
        source_->At(headerLength_ + Physical(record) * recordLength_, recordLength_);
    return {reinterpret_cast<const char*>(r + 1 + f.Offset), static_cast<size_t>(f.Size)};
}

bool TDbfFile::FlaggedNull(size_t record, const TDbfField& f) const {
    if (f.NullBit < 0 || !nullFlags_) {
        return false;
    }
    std::string_view flags = Raw(record, *nullFlags_);
    return (static_cast<unsigned char>(flags[size_t(f.NullBit) / 8]) >> (f.NullBit % 8)) & 1;
}

namespace {

// A date field's "YYYYMMDD" as a day number; false when it names no day.
bool ParseDbfDate(std::string_view raw, double& day) {
    int parts[3] = {0, 0, 0};
    const size_t widths[3] = {4, 2, 2};
    size_t at = 0;
    for (int i = 0; i < 3; ++i) {
        auto [end, ec] = std::from_chars(raw.data() + at, raw.data() + at + widths[i], parts[i]);
        if (ec != std::errc() || end != raw.data() + at + widths[i]) {
            return false;
        }
        at += widths[i];
    }
    return TryEncodeDate(parts[0], parts[1], parts[2], day);
}

constexpr int kUnknownLogical = 2;

// A logical field's byte: 1 true, 0 false, kUnknownLogical not set, -1 no logical value.
int DbfLogical(char c) {
    switch (c) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        return 1;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        return 0;
    case ' ':
    case '?':
    case '\0':
        return kUnknownLogical;
    default:
        return -1;
    }
}

} // namespace

TDbfValue TDbfFile::Value(size_t record, size_t field) const {
    const TDbfField& f = fields_.at(field);
    std::string_view raw = Raw(record, f);
    const auto* u = reinterpret_cast<const unsigned char*>(raw.data());
    TDbfValue v;
    v.Kind = f.DataType;
    if (FlaggedNull(record, f)) {
        return v;
    }
    switch (f.Type) {
    case 'C': {
        std::string text = WithoutNul(TrimRight(raw));
        try {
            v.Text = decoder_->Decode(text);
        } catch (const EConvertError& e) {
            FailValue(record, f, e.Message());
        }
        v.IsNull = v.Text.empty();
        return v;
    }
    case 'N':
    case 'F': {
        std::string_view text = Trim(raw);
        if (text.empty()) {
            return v;
        }
        if (!ParseDecimal(text, v.Number)) {
            FailValue(record, f, "'" + std::string(text) + "' is not a valid number");
        }
        v.IsNull = false;
        return v;
    }
    case 'D':
        if (AllOf(raw, ' ') || AllOf(raw, '0') || AllOf(raw, '\0')) {
            return v;
        }
        if (!ParseDbfDate(raw, v.Number)) {
            FailValue(record, f, "'" + std::string(raw) + "' is not a valid date");
        }
        v.IsNull = false;
        return v;
    case 'L': {
        const int logical = DbfLogical(raw[0]);
        if (logical == kUnknownLogical) {
            return v;
        }
        if (logical < 0) {
            FailValue(record, f, "'" + std::string(raw) + "' is not a valid logical value");
        }
        v.Number = logical;
        v.IsNull = false;
        return v;
    }
    case 'I':
    case '+': {
        uint32_t bits = IsLevel7(version_) ? Be32(u) ^ 0x80000000u : Le32(u);
        v.Number = static_cast<int32_t>(bits);
        v.IsNull = false;
        return v;
    }
    case 'B':
    case 'O':
        if (f.DataType != ftFloat) {
            break;
        }
        if (f.Type == 'O') {
            v.Number = Level7Double(Be64(u));
        } else {
            uint64_t bits = Le64(u);
            std::memcpy(&v.Number, &bits, sizeof v.Number);
        }
        v.IsNull = false;
        return v;
    case 'Y':
        v.Number = static_cast<double>(static_cast<int64_t>(Le64(u))) / 10000.0;
        v.IsNull = false;
        return v;
    case 'T': {
        uint32_t day = Le32(u), ms = Le32(u + 4);
        if (day == 0 && ms == 0) {
            return v;
        }
        // Julian day number 2415019 is 30 December 1899, the toolkit's day zero.
        v.Number = (double(day) - 2415019.0) + double(ms) / 86400000.0;
        v.IsNull = false;
        return v;
    }
    case 'M':
        return ReadMemo(record, f, raw);
    default:
        break;
    }
    FailValue(record, f, std::string("fields of type '") + f.Type + "' cannot be read");
}

TDbfValue TDbfFile::ReadMemo(size_t record, const TDbfField& f, std::string_view raw) const {
    TDbfValue v;
    v.Kind = ftMemo;
    uint64_t block = 0;
    if (f.Size == 4) {
        block = Le32(reinterpret_cast<const unsigned char*>(raw.data()));
    } else {
        std::string_view digits = Trim(raw);
        if (!digits.empty()) {
            auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), block);
            if (ec != std::errc() || end != digits.data() + digits.size()) {
                FailValue(record, f, "'" + std::string(digits) + "' is not a memo block number");
            }
        }
    }
    if (block == 0) {
        return v;
    }
    if (!memoTried_) {
        memoTried_ = true;
        bool foxPro = IsFoxPro(version_);
        const char* exts[] = {".dbt", ".DBT", ".fpt", ".FPT"};
        for (const char* ext : exts) {
            bool foxExt = ext[1] == 'f' || ext[1] == 'F';
            std::filesystem::path candidate = path_;
            candidate.replace_extension(ext);
            std::error_code ec;
            if (foxExt == foxPro && std::filesystem::is_regular_file(candidate, ec)) {
                try {
                    memo_ = std::make_unique<Memo>(candidate, ReadMemoFile(candidate), foxPro,
                                                   version_);
                } catch (const Exception& e) {
                    memoFault_ = e.Message();
                }
                break;
            }
        }
        if (!memo_ && memoFault_.empty()) {
            memoFault_ = "the memo file is missing";
        }
    }
    if (!memo_) {
        FailValue(record, f, memoFault_);
    }
    std::string fault;
    std::string_view bytes = memo_->Block(block, fault);
    if (!fault.empty()) {
        FailValue(record, f, fault);
    }
    try {
        v.Text = decoder_->Decode(WithoutNul(TrimRight(bytes)));
    } catch (const EConvertError& e) {
        FailValue(record, f, e.Message());
    }
    v.IsNull = v.Text.empty();
    return v;
}

} // namespace zen
