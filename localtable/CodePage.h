#pragma once
// Conversion of 8-bit texts from a file's code page into UTF-8 through iconv.

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
    // EDatabaseError when iconv does not know the code page.
    explicit TCodePageDecoder(const std::string& codePage);
    ~TCodePageDecoder();
    TCodePageDecoder(const TCodePageDecoder&) = delete;
    TCodePageDecoder& operator=(const TCodePageDecoder&) = delete;

    const std::string& CodePage() const { return codePage_; }
    // EConvertError when the bytes are not valid in the code page.
    std::string Decode(std::string_view bytes) const;

private:
    std::string codePage_;
    void* cd_; // iconv_t
};

} // namespace zen
