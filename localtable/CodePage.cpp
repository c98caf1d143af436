#include "localtable/CodePage.h"

#include "toolkit/Exceptions.h"

#include <cerrno>
#include <iconv.h>

namespace zen {

std::string DbfLanguageDriverCodePage(unsigned char driver) {
    switch (driver) {
    case 0x00: // unmarked
    case 0x57: // "the ANSI code page": Windows-1250 on the machines that write these files
    case 0xC8:
        return "CP1250";
    case 0x01:
    case 0x09:
    case 0x0B:
    case 0x0D:
    case 0x0F:
    case 0x11:
    case 0x15:
    case 0x18:
    case 0x19:
    case 0x1B:
        return "CP437";
    case 0x02:
    case 0x0A:
    case 0x0E:
    case 0x10:
    case 0x12:
    case 0x14:
    case 0x16:
    case 0x1A:
    case 0x1D:
    case 0x25:
    case 0x37:
        return "CP850";
    case 0x03:
    case 0x58:
    case 0x59:
        return "CP1252";
    case 0x04:
        return "MACINTOSH";
    case 0x08:
    case 0x17:
    case 0x66:
        return "CP865";
    case 0x13:
    case 0x7B:
        return "CP932";
    case 0x1C:
        return "CP863";
    case 0x1F:
    case 0x22:
    case 0x23:
    case 0x40:
    case 0x64:
        return "CP852";
    case 0x24:
        return "CP860";
    case 0x26:
    case 0x65:
        return "CP866";
    case 0x4D:
    case 0x7A:
        return "CP936";
    case 0x4E:
    case 0x79:
        return "CP949";
    case 0x4F:
    case 0x78:
        return "CP950";
    case 0x50:
    case 0x7C:
        return "CP874";
    case 0x67:
        return "CP861";
    case 0x6A:
        return "CP737";
    case 0x6B:
        return "CP857";
    case 0x7D:
        return "CP1255";
    case 0x7E:
        return "CP1256";
    case 0x96:
        return "MAC-CYRILLIC";
    case 0x97:
        return "MAC-CENTRALEUROPE";
    case 0x98:
        return "MACGREEK";
    case 0xC9:
        return "CP1251";
    case 0xCA:
        return "CP1254";
    case 0xCB:
        return "CP1253";
    case 0xCC:
        return "CP1257";
    default:
        return std::string();
    }
}

TCodePageDecoder::TCodePageDecoder(const std::string& codePage) : codePage_(codePage) {
    iconv_t cd = iconv_open("UTF-8", codePage.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw EDatabaseError("Code page " + codePage + " is not supported");
    }
    cd_ = cd;
}

TCodePageDecoder::~TCodePageDecoder() {
    iconv_close(static_cast<iconv_t>(cd_));
}

std::string TCodePageDecoder::Decode(std::string_view bytes) const {
    iconv_t cd = static_cast<iconv_t>(cd_);
    iconv(cd, nullptr, nullptr, nullptr, nullptr); // forget any state of an earlier call
    std::string out;
    // Every code page we map needs at most three UTF-8 bytes per input byte; grow anyway
    // when iconv says the buffer is full, so no table can overrun it.
    out.resize(bytes.size() * 3 + 4);
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    size_t used = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (rc != static_cast<size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        throw EConvertError("Text is not valid in code page " + codePage_);
    }
    out.resize(used);
    return out;
}

} // namespace zen
