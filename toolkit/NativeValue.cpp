#include "toolkit/NativeValue.h"

#include "toolkit/FieldInternal.h"
#include "toolkit/Text.h"

#include <cstring>

namespace zen {

namespace {

template <class T> void Put(void* slot, T v) {
    field_detail::Store(static_cast<char*>(slot), v);
}

template <class T> T Get(const void* slot) {
    return field_detail::Load<T>(static_cast<const char*>(slot));
}

} // namespace

TNativeKind NativeKind(TFieldType type) {
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        return TNativeKind::Text;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
    case ftInteger:
    case ftAutoInc:
    case ftLargeint:
        return TNativeKind::Integer;
    case ftFloat:
    case ftCurrency:
        return TNativeKind::Float;
    case ftDate:
    case ftTime:
    case ftDateTime:
        return TNativeKind::DateTime;
    case ftBytes:
        return TNativeKind::Bytes;
    default:
        return TNativeKind::None;
    }
}

void IntegerToNative(TFieldType type, int64_t value, void* slot) {
    switch (type) {
    case ftBoolean:
        Put<int16_t>(slot, value != 0 ? 1 : 0);
        break;
    case ftSmallint:
    case ftWord:
        Put<int16_t>(slot, static_cast<int16_t>(value));
        break;
    case ftInteger:
    case ftAutoInc:
        Put<int32_t>(slot, static_cast<int32_t>(value));
        break;
    default:
        Put<int64_t>(slot, value);
        break;
    }
}

int64_t NativeToInteger(TFieldType type, const void* slot) {
    switch (type) {
    case ftBoolean:
        return Get<int16_t>(slot) != 0 ? 1 : 0;
    case ftSmallint:
        return Get<int16_t>(slot);
    case ftWord:
        return Get<uint16_t>(slot);
    case ftInteger:
    case ftAutoInc:
        return Get<int32_t>(slot);
    default:
        return Get<int64_t>(slot);
    }
}

void FloatToNative(double value, void* slot) {
    Put(slot, value);
}

double NativeToFloat(const void* slot) {
    return Get<double>(slot);
}

void TextToNative(std::string_view text, void* slot, size_t size) {
    if (size == 0) {
        return;
    }
    const size_t n = Utf8FitBytes(text, size - 1);
    std::memcpy(slot, text.data(), n);
    static_cast<char*>(slot)[n] = '\0';
}

std::string_view NativeText(const void* slot, size_t size) {
    const auto* p = static_cast<const char*>(slot);
    return std::string_view(p, strnlen(p, size));
}

} // namespace zen
