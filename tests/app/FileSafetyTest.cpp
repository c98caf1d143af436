// The files the program writes, against what others and the umask can do to them: a link
// planted where a temporary file would go, a umask that opens everything to everyone or
// closes it to its owner, and texts that would break the lines a job reads.

#include "toolkit/Text.h"

#include <gtest/gtest.h>

namespace zen {
namespace {

// The rows a job reads are split at line breaks and their fields at tabs; a terminal obeys
// escape sequences. Every such character, and every byte that is no UTF-8, is shown as
// U+FFFD; letters of any script stay.
TEST(FileSafety, PrintableTextKeepsATextOnItsLineAndOutOfTheTerminal) {
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(PrintableText("Čebelarstvo Žužek, 東京 €"), "Čebelarstvo Žužek, 東京 €");
    EXPECT_EQ(PrintableText("a\nb\tc\rd\x1b[31me\x7f"),
              "a" + bad + "b" + bad + "c" + bad + "d" + bad + "[31me" + bad);
    // C1 (NEL, CSI), the line and paragraph separators.
    EXPECT_EQ(PrintableText("x\xC2\x85y\xC2\x9B"
                            "1m\xE2\x80\xA8z\xE2\x80\xA9"),
              "x" + bad + "y" + bad + "1m" + bad + "z" + bad);
    // A raw C1 byte, a stray continuation, an overlong slash, a cut-off letter.
    EXPECT_EQ(PrintableText("\x9B"
                            "1m\x80\xC0\xAF\xC5"),
              bad + "1m" + bad + bad + bad + bad);
}

} // namespace
} // namespace zen
