#pragma once
// Conversion of 8-bit texts from a file's code page into UTF-8: through iconv, or through a
// table of our own for the few code pages that iconv does not know.

#include <string>
#include <string_view>

namespace zen {

// The iconv name of the code page that a dBase header's language driver byte names, or an
// empty string when the byte is not one we know. An unmarked file (0) is Windows-1250,
// the code page of the Slovene Windows installations the files come from.
std::string DbfLanguageDriverCodePage(unsigned char driver);

// One open iconv descriptor from a code page to UTF-8. Not copyable; the descriptor is
// closed with the object.
class TCodePageDecoder {
public:
    // EDatabaseError "Code page X is not supported" when neither iconv nor our tables know
    // the code page.
    explicit TCodePageDecoder(const std::string& codePage);
    ~TCodePageDecoder();
    TCodePageDecoder(const TCodePageDecoder&) = delete;
    TCodePageDecoder& operator=(const TCodePageDecoder&) = delete;

    const std::string& CodePage() const { return codePage_; }
    // EConvertError when the bytes are not valid in the code page.
    std::string Decode(std::string_view bytes) const;

private:
    std::string codePage_;
    const char16_t* table_ = nullptr; // upper half of a built-in single-byte code page
    void* cd_ = nullptr;              // iconv_t, when there is no table
};

} // namespace zen
