// The stored password's decoder on any text. The first two bytes are the start key and the
// next four a multiplier and an increment; the rest is the stored text. DecryptHex either
// raises EConvertError, exactly when a character it reads is no hexadecimal digit, or
// gives one byte per digit pair it reads (a last single digit counting as a pair when the
// pair count rounds up), which scrambled again are those bytes. Scrambling and
// unscrambling with any constants give the text back, and so does the stored form that
// signing on writes.

#include "FuzzHome.h"
#include "app/SignOn.h"
#include "toolkit/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

int Digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        return (c | 0x20) - 'a' + 10;
    }
    return -1;
}

uint16_t Word(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // No registry file: the installation's constants are the defaults.
    zen::fuzz::MakeHome();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHeader = 6;
    if (size < kHeader) {
        return 0;
    }
    const uint16_t start = Word(data);
    const zen::TScrambleKeys keys{start, Word(data + 2), Word(data + 4)};
    const std::string text(reinterpret_cast<const char*>(data) + kHeader, size - kHeader);

    // What the decoder should read: half the length, a half rounded to the even count.
    const size_t k = text.size() / 2;
    const size_t pairs = text.size() % 2 == 0 || k % 2 == 0 ? k : k + 1;
    std::string bytes;
    bool valid = true;
    for (size_t i = 0; i < pairs && valid; ++i) {
        int value = 0;
        for (size_t j = 2 * i; j < 2 * i + 2 && j < text.size(); ++j) {
            int d = Digit(text[j]);
            valid = valid && d >= 0;
            value = value * 16 + d;
        }
        bytes += static_cast<char>(value);
    }

    const zen::TScrambleKeys installed = zen::ScrambleKeys();
    try {
        std::string plain = zen::DecryptHex(text, start);
        if (!valid || plain.size() != pairs || zen::Encrypt(plain, start, installed) != bytes) {
            __builtin_trap();
        }
    } catch (const zen::EConvertError&) {
        if (valid) {
            __builtin_trap();
        }
    }

    if (zen::Decrypt(zen::Encrypt(text, start, keys), start, keys) != text ||
        zen::Encrypt(zen::Decrypt(text, start, keys), start, keys) != text ||
        zen::DecryptHex(zen::EncryptHex(text), zen::DecryptKey()) != text) {
        __builtin_trap();
    }
    return 0;
}
