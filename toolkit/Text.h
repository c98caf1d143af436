#pragma once
// UTF-8 helpers: sizes given in characters count characters, never bytes.

#include <cstddef>
#include <string>
#include <string_view>

namespace zen {

// The number of characters (code points) of a UTF-8 text; a stray byte counts as one.
size_t Utf8Length(std::string_view text);
// The first `chars` characters of a UTF-8 text, never splitting a character.
std::string Utf8Left(std::string_view text, size_t chars);
// The text made safe to print as (part of) one line for a terminal or a program that reads
// it: every control character (C0 with tab, line feed and escape, DEL, C1), the line and
// paragraph separators U+2028 and U+2029, and every byte that is no UTF-8 become U+FFFD, so
// that no text ends a line, splits a tab-separated field or steers a terminal.
std::string PrintableText(std::string_view text);
// The same for a message that keeps its own lines: each line made printable alone.
std::string PrintableLines(std::string_view text);
// Name equality without regard to ASCII case (a-z = A-Z); other bytes compare exactly.
// The rule for settings, registry, component, field and index names.
bool SameName(std::string_view a, std::string_view b);
// ASCII upper case (a-z only); other bytes, UTF-8 sequences included, stay as they are.
std::string AsciiUpper(std::string_view text);

} // namespace zen
