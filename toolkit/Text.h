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
// Bytes of the first `chars` characters (the whole text when it has fewer).
size_t Utf8LeftBytes(std::string_view text, size_t chars);
// Bytes of the longest beginning of a UTF-8 text within `maxBytes` that ends between two
// characters: where a text is cut to a buffer, no character is split.
size_t Utf8FitBytes(std::string_view text, size_t maxBytes);
// The length of the well-formed UTF-8 sequence at text[i] (i < size) and its code point;
// 0 when the byte there starts none (a stray continuation, a truncated or overlong form, a
// surrogate, past U+10FFFF).
size_t Utf8Decode(std::string_view text, size_t i, char32_t& cp);
// The text made safe to print as (part of) one line for a terminal or a program that reads
// it: every control character (C0 with tab, line feed and escape, DEL, C1), the line and
// paragraph separators U+2028 and U+2029, and every byte that is no UTF-8 become U+FFFD, so
// that no text ends a line, splits a tab-separated field or steers a terminal.
std::string PrintableText(std::string_view text);
// The same for a message that keeps its own lines: each line made printable alone.
std::string PrintableLines(std::string_view text);
// Case is ignored in two ways, on purpose:
// - names (settings, registry, component, field, index, parameter and column names, SQL
//   words, driver names) are ASCII identifiers, and only a-z = A-Z: SameName, AsciiUpper,
//   AsciiLower (the fold SQLite's NOCASE uses, for orders that must agree with it);
// - the operator's data (Locate's case-insensitive search) are Slovene text, where "č"
//   must find "Č": TextUpper, Unicode's upper case.
// Name equality without regard to ASCII case (a-z = A-Z); other bytes compare exactly.
bool SameName(std::string_view a, std::string_view b);
// ASCII upper and lower case (letters a-z only); other bytes, UTF-8 sequences included,
// stay as they are.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);
// The Unicode upper case of a UTF-8 text.
std::string TextUpper(std::string_view text);

} // namespace zen
