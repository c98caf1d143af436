#include "localtable/CodePage.h"

#include "toolkit/Exceptions.h"

#include <cerrno>
#include <iconv.h>

namespace zen {

namespace {

// Code pages that dBase files name but glibc's iconv does not know, decoded from a table of
// their upper half (Unicode's mapping of Apple's Greek character set).
constexpr const char* kMacGreek = "MAC-GREEK";
constexpr char16_t kMacGreekUpper[128] = {
    0x00C4, 0x00B9, 0x00B2, 0x00C9, 0x00B3, 0x00D6, 0x00DC, 0x0385, 0x00E0, 0x00E2, 0x00E4, 0x0384,
    0x00A8, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00A3, 0x2122, 0x00EE, 0x00EF, 0x2022, 0x00BD,
    0x2030, 0x00F4, 0x00F6, 0x00A6, 0x20AC, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x0393, 0x0394, 0x0398,
    0x039B, 0x039E, 0x03A0, 0x00DF, 0x00AE, 0x00A9, 0x03A3, 0x03AA, 0x00A7, 0x2260, 0x00B0, 0x00B7,
    0x0391, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x0392, 0x0395, 0x0396, 0x0397, 0x0399, 0x039A, 0x039C,
    0x03A6, 0x03AB, 0x03A8, 0x03A9, 0x03AC, 0x039D, 0x00AC, 0x039F, 0x03A1, 0x2248, 0x03A4, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x03A5, 0x03A7, 0x0386, 0x0388, 0x0153, 0x2013, 0x2015, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x0389, 0x038A, 0x038C, 0x038E, 0x03AD, 0x03AE, 0x03AF, 0x03CC, 0x038F,
    0x03CD, 0x03B1, 0x03B2, 0x03C8, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03BE, 0x03BA,
    0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03CE, 0x03C1, 0x03C3, 0x03C4, 0x03B8, 0x03C9, 0x03C2,
    0x03C7, 0x03C5, 0x03B6, 0x03CA, 0x03CB, 0x0390, 0x03B0, 0x00AD,
};

const char16_t* BuiltInTable(const std::string& codePage) {
    return codePage == kMacGreek ? kMacGreekUpper : nullptr;
}

void AppendUtf8(std::string& out, char16_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

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
        return kMacGreek;
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

TCodePageDecoder::TCodePageDecoder(const std::string& codePage)
    : codePage_(codePage), table_(BuiltInTable(codePage)) {
    if (table_) {
        return;
    }
    iconv_t cd = iconv_open("UTF-8", codePage.c_str());
    // (iconv_t)-1 is how iconv_open says it failed.
    if (cd == reinterpret_cast<iconv_t>(-1)) { // NOLINT(performance-no-int-to-ptr)
        throw EDatabaseError("Code page " + codePage + " is not supported");
    }
    cd_ = cd;
}

TCodePageDecoder::~TCodePageDecoder() {
    if (!table_) {
        iconv_close(static_cast<iconv_t>(cd_));
    }
}

std::string TCodePageDecoder::Decode(std::string_view bytes) const {
    if (table_) {
        std::string out;
        out.reserve(bytes.size());
        for (char b : bytes) {
            auto u = static_cast<unsigned char>(b);
            AppendUtf8(out, u < 0x80 ? char16_t(u) : table_[u - 0x80]);
        }
        return out;
    }
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
