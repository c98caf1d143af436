#include "toolkit/Text.h"

#include <QString>

namespace zen {

namespace {

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// The letters from..from+25 moved to to..to+25; every other byte as it is.
std::string ShiftCase(std::string_view text, char from, char to) {
    std::string out(text);
    for (char& c : out) {
        if (c >= from && c <= from + 25) {
            c = static_cast<char>(c - from + to);
        }
    }
    return out;
}

bool IsUnprintable(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029;
}

} // namespace

size_t Utf8Decode(std::string_view text, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    cp = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if (!IsContinuation(byte(i + k))) {
            return 0;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    return length;
}

std::string PrintableLines(std::string_view text) {
    std::string out;
    for (size_t start = 0;;) {
        const size_t end = text.find('\n', start);
        out += PrintableText(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) {
            return out;
        }
        out += '\n';
        start = end + 1;
    }
}

std::string PrintableText(std::string_view text) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t length = Utf8Decode(text, i, cp);
        if (length == 0 || IsUnprintable(cp)) {
            out += kReplacement;
            i += length == 0 ? 1 : length;
        } else {
            out += text.substr(i, length);
            i += length;
        }
    }
    return out;
}

size_t Utf8Length(std::string_view text) {
    size_t n = 0;
    for (unsigned char c : text) {
        if (!IsContinuation(c)) {
            ++n;
        }
    }
    return n;
}

size_t Utf8LeftBytes(std::string_view text, size_t chars) {
    size_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsContinuation(static_cast<unsigned char>(text[i]))) {
            if (count == chars) {
                return i;
            }
            ++count;
        }
    }
    return text.size();
}

std::string Utf8Left(std::string_view text, size_t chars) {
    return std::string(text.substr(0, Utf8LeftBytes(text, chars)));
}

size_t Utf8FitBytes(std::string_view text, size_t maxBytes) {
    if (maxBytes >= text.size()) {
        return text.size();
    }
    size_t n = maxBytes;
    while (n > 0 && IsContinuation(static_cast<unsigned char>(text[n]))) {
        --n; // text[n] continues a character that would be split
    }
    return n;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x - 'A' + 'a');
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y - 'A' + 'a');
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

std::string AsciiUpper(std::string_view text) {
    return ShiftCase(text, 'a', 'A');
}

std::string AsciiLower(std::string_view text) {
    return ShiftCase(text, 'A', 'a');
}

std::string TextUpper(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
        .toUpper()
        .toStdString();
}

} // namespace zen
