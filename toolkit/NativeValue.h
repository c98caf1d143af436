#pragma once
// A value in its native form in a record buffer (the layout in Field.h), written and read
// in one place for every store that keeps fields' values: the local tables, the datasets
// over ODBC and the parameters. Each caller keeps its own slot layout (where the null flag
// lies) and its own checks; the bytes of a value are these.

#include "toolkit/FieldTypes.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zen {

// How a field type keeps its value.
enum class TNativeKind {
    None,     // no native form (blobs, memos, unknown)
    Text,     // UTF-8, zero-terminated
    Integer,  // 16 bits (smallint, word, Boolean), 32 (integer, autoinc) or 64 (largeint)
    Float,    // a double (float, currency)
    DateTime, // DateTimeToNative's forms
    Bytes,    // the bytes as they are
};
TNativeKind NativeKind(TFieldType type);

// An integer field's value: cut to the type's width (a word unsigned), a Boolean made 0
// or 1 from any value, as Field.h lays a Boolean out.
void IntegerToNative(TFieldType type, int64_t value, void* slot);
// Read back: a word unsigned, a Boolean 0 or 1.
int64_t NativeToInteger(TFieldType type, const void* slot);
void FloatToNative(double value, void* slot);
double NativeToFloat(const void* slot);
// A text into a slot of `size` bytes, its terminator included: cut between characters.
void TextToNative(std::string_view text, void* slot, size_t size);
// The text of a slot of `size` bytes: up to its terminator or the slot's end.
std::string_view NativeText(const void* slot, size_t size);

} // namespace zen
