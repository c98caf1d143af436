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
// Name equality without regard to ASCII case (a-z = A-Z); other bytes compare exactly.
// The rule for settings, registry, component, field and index names.
bool SameName(std::string_view a, std::string_view b);
// ASCII upper case (a-z only); other bytes, UTF-8 sequences included, stay as they are.
std::string AsciiUpper(std::string_view text);

} // namespace zen
