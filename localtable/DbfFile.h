#pragma once
// Read-only access to a dBase table (dBase III, IV and 7, FoxBASE, FoxPro and Visual
// FoxPro headers). When the object is made, the header is read and checked first, then
// the header and the records it announces are copied privately (a tail behind them is not)
// and every record's deletion flag checked (DbfSource.h);
// records are read from the copy as they are asked for, so that memory does not grow with
// the table. Field values are decoded when asked for, so that one unreadable value spoils
// only its own reading. The file is untrusted input: every offset is checked against what
// was read.

#include "localtable/CodePage.h"
#include "localtable/DbfSource.h"
#include "toolkit/FieldTypes.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zen {

struct TDbfField {
    // As stored (usually upper case). A name that an earlier field already has is read as
    // "<name>_2" ("_3", ... when that is taken too), so that every field can be read by name.
    std::string Name;
    char Type = 0; // the descriptor's type letter
    int Size = 0;  // bytes in the record
    int Decimals = 0;
    size_t Offset = 0;               // from the start of the record, past the deletion flag
    TFieldType DataType = ftUnknown; // ftUnknown: the file opens, reading the field fails
    int NullBit = -1;                // Visual FoxPro: bit in the _NullFlags field, -1 when none
};

// One field of one record. Null for blank numbers, dates and logicals and for fields
// marked null; dates are TDateTime values in Number.
struct TDbfValue {
    TFieldType Kind = ftUnknown;
    bool IsNull = true;
    std::string Text; // ftString and ftMemo, UTF-8, without the NUL bytes of the file
    double Number = 0;
};

class TDbfFile;
// Sees a table whose header has been read, before anything else is: it refuses a table by
// raising.
using TDbfHeaderCheck = std::function<void(const TDbfFile&)>;

class TDbfFile {
public:
    // Reads and checks the file; `checkHeader`, when given, right after the header.
    // EInOutError when it cannot be read or copied, EDatabaseError when it is not a dBase
    // table, is damaged, or its code page or field names cannot be read; the message names
    // the file and the fault.
    explicit TDbfFile(const std::filesystem::path& path, const TDbfHeaderCheck& checkHeader = {});
    // The same over bytes already read; path names the file in messages and leads to
    // its memo file.
    TDbfFile(const std::filesystem::path& path, std::vector<unsigned char> data);
    ~TDbfFile();
    TDbfFile(const TDbfFile&) = delete;
    TDbfFile& operator=(const TDbfFile&) = delete;

    // Whether the first bytes of a file look like a dBase header (the version byte and a
    // plausible header and record length); says nothing about the rest of the file.
    static bool LooksLikeDbf(const std::filesystem::path& path);

    const std::filesystem::path& Path() const { return path_; }
    // SHA-256 of the table's bytes (header, records and end mark) as they were read when the
    // object was made, as 64 lower-case hexadecimal digits.
    const std::string& ContentHash() const { return source_->Hash(); }
    unsigned char Version() const { return version_; }
    const std::string& CodePage() const { return decoder_->CodePage(); }
    const std::vector<TDbfField>& Fields() const { return fields_; }
    // Index of the field with this name (ASCII case ignored), -1 when there is none.
    int FieldIndex(std::string_view name) const;
    // Records not marked deleted, in the file's order.
    size_t RecordCount() const { return recordCount_; }
    // EDatabaseError / EConvertError naming the file, record and field when the stored
    // value cannot be read.
    TDbfValue Value(size_t record, size_t field) const;

private:
    class Memo;

    void ParseHeader();
    // The bytes the table takes: the header, the records it announces and their end mark.
    // EDatabaseError when the file is shorter than its header says.
    uint64_t Extent() const;
    void CheckRecords();
    // The position in the file of a record not marked deleted.
    uint64_t Physical(size_t record) const;
    unsigned char Flag(uint64_t physical) const;
    // False when the descriptors do not fit this layout; `fault` says why when the reason
    // is worth more than "they do not fit".
    bool ParseDescriptors(size_t start, size_t size, size_t nameLength, bool level7,
                          std::string& fault);
    void RenameDuplicateFields();
    [[noreturn]] void Fail(const std::string& fault) const;
    [[noreturn]] void FailValue(size_t record, const TDbfField& f, const std::string& fault) const;
    std::string_view Raw(size_t record, const TDbfField& f) const;
    bool FlaggedNull(size_t record, const TDbfField& f) const;
    TDbfValue ReadMemo(size_t record, const TDbfField& f, std::string_view raw) const;

    std::filesystem::path path_;
    std::unique_ptr<TDbfSource> source_;
    std::vector<unsigned char> header_; // the header's bytes, descriptors included
    unsigned char version_ = 0;
    size_t headerLength_ = 0;
    size_t recordLength_ = 0;
    std::vector<TDbfField> fields_;
    std::optional<TDbfField> nullFlags_; // Visual FoxPro's hidden _NullFlags field
    size_t recordCount_ = 0;             // not marked deleted
    // Where every kLiveStride-th live record lies, when some records are deleted: a record is
    // found from the one before it or from its stride's start, at a few bytes a stride.
    std::vector<uint64_t> strides_;
    mutable size_t lastRecord_ = 0;
    mutable uint64_t lastPhysical_ = 0;
    std::unique_ptr<TCodePageDecoder> decoder_;
    mutable std::unique_ptr<Memo> memo_;
    mutable bool memoTried_ = false;
    mutable std::string memoFault_;
};

} // namespace zen
