#include "toolkit/Params.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "toolkit/FieldDefs.h"
#include "toolkit/FieldInternal.h"
#include "toolkit/NativeValue.h"
#include "toolkit/Text.h"

#include <cstring>
#include <limits>

namespace zen {

namespace {

bool IsTextParam(TFieldType t) {
    return t == ftString || t == ftFixedChar || t == ftWideString || t == ftMemo || t == ftFmtMemo;
}

bool IsByteParam(TFieldType t) {
    return t == ftBytes || t == ftBlob || t == ftGraphic || t == ftParadoxOle || t == ftDBaseOle ||
           t == ftTypedBinary;
}

std::string TrimBlanks(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) {
        return "";
    }
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

} // namespace

void TParam::SetValue(const TVariant& value) {
    if (value.IsArray()) {
        throw EVariantError("Parameter '" + name_ + "' cannot take an array value");
    }
    if (dataType_ == ftUnknown) {
        switch (value.VarType()) {
        case varSmallint:
            dataType_ = ftSmallint;
            break;
        case varInteger:
            dataType_ = ftInteger;
            break;
        case varInt64:
            dataType_ = ftLargeint;
            break;
        case varDouble:
            dataType_ = ftFloat;
            break;
        case varCurrency:
            dataType_ = ftCurrency;
            break;
        case varString:
            dataType_ = ftString;
            break;
        case varBoolean:
            dataType_ = ftBoolean;
            break;
        case varDate:
            dataType_ = ftDateTime;
            break;
        default:
            break;
        }
    }
    value_ = value.IsClear() ? TVariant::Null() : value;
}

int TParam::GetDataSize() const {
    if (IsNull()) {
        return 0;
    }
    size_t bytes = 0;
    if (IsTextParam(dataType_)) {
        bytes = AsString().size() + 1;
    } else if (IsByteParam(dataType_)) {
        bytes = AsString().size();
    } else if (dataType_ == ftVarBytes) {
        bytes = AsString().size() + 2;
    } else {
        return FieldDataSize(dataType_, 0);
    }
    if (bytes > static_cast<size_t>(std::numeric_limits<int>::max())) {
        throw EConvertError("The value of parameter '" + name_ + "' is too long");
    }
    return static_cast<int>(bytes);
}

void TParam::Set(TFieldType type, TVariant value) {
    dataType_ = type;
    value_ = std::move(value);
}

void TParam::GetData(void* buffer) const {
    if (IsNull()) {
        return;
    }
    auto* p = static_cast<char*>(buffer);
    auto checked = [&](int64_t lo, int64_t hi) {
        int64_t v = AsLargeInt();
        if (v < lo || v > hi) {
            throw EConvertError("'" + std::to_string(v) + "' is not a valid value for parameter '" +
                                name_ + "'");
        }
        return v;
    };
    if (IsTextParam(dataType_) || IsByteParam(dataType_)) {
        std::string s = AsString();
        std::memcpy(p, s.data(), s.size());
        if (IsTextParam(dataType_)) {
            p[s.size()] = '\0';
        }
        return;
    }
    switch (dataType_) {
    case ftVarBytes: {
        std::string s = AsString();
        if (s.size() > 65535) {
            throw EConvertError("The value of parameter '" + name_ + "' is too long");
        }
        field_detail::Store<uint16_t>(p, static_cast<uint16_t>(s.size()));
        std::memcpy(p + 2, s.data(), s.size());
        break;
    }
    case ftSmallint:
        IntegerToNative(dataType_, checked(-32768, 32767), p);
        break;
    case ftWord:
        IntegerToNative(dataType_, checked(0, 65535), p);
        break;
    case ftBoolean:
        IntegerToNative(dataType_, AsBoolean(), p);
        break;
    case ftInteger:
    case ftAutoInc:
        IntegerToNative(dataType_, AsInteger(), p);
        break;
    case ftLargeint:
        IntegerToNative(dataType_, AsLargeInt(), p);
        break;
    case ftFloat:
    case ftCurrency:
        FloatToNative(AsFloat(), p);
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
        DateTimeToNative(dataType_, AsDateTime(), p);
        break;
    default:
        break;
    }
}

int TParam::GetData(void* buffer, int size) const {
    int need = GetDataSize();
    if (need <= size) {
        GetData(buffer);
        return need;
    }
    auto* p = static_cast<char*>(buffer);
    if (IsTextParam(dataType_) && size > 0) {
        std::string s = AsString();
        const size_t n = Utf8FitBytes(s, static_cast<size_t>(size - 1));
        std::memcpy(p, s.data(), n);
        p[n] = '\0';
        return static_cast<int>(n + 1);
    }
    if (IsByteParam(dataType_) && size > 0) {
        std::memcpy(p, AsString().data(), static_cast<size_t>(size));
        return size;
    }
    throw EConvertError("The value of parameter '" + name_ + "' does not fit " +
                        std::to_string(size < 0 ? 0 : size) + " bytes");
}

void TParam::SetData(const void* buffer, int size) {
    const auto* p = static_cast<const char*>(buffer);
    auto n = static_cast<size_t>(size < 0 ? 0 : size);
    if (IsTextParam(dataType_)) {
        value_ = TVariant(std::string(p, strnlen(p, n)));
        return;
    }
    if (IsByteParam(dataType_)) {
        value_ = TVariant(std::string(p, n));
        return;
    }
    if (dataType_ == ftVarBytes) {
        size_t len = n < 2 ? 0 : std::min<size_t>(field_detail::Load<uint16_t>(p), n - 2);
        value_ = TVariant(std::string(n < 2 ? p : p + 2, len));
        return;
    }
    int need = FieldDataSize(dataType_, 0);
    if (need == 0) {
        return;
    }
    if (size < need) {
        throw EDatabaseError("Parameter '" + name_ + "' needs " + std::to_string(need) +
                             " bytes, given " + std::to_string(size));
    }
    switch (dataType_) {
    case ftSmallint:
        value_ = TVariant(static_cast<int16_t>(NativeToInteger(dataType_, p)));
        break;
    case ftWord:
    case ftInteger:
    case ftAutoInc:
        value_ = TVariant(static_cast<int32_t>(NativeToInteger(dataType_, p)));
        break;
    case ftBoolean:
        value_ = TVariant(NativeToInteger(dataType_, p) != 0);
        break;
    case ftLargeint:
        value_ = TVariant(NativeToInteger(dataType_, p));
        break;
    case ftFloat:
        value_ = TVariant(NativeToFloat(p));
        break;
    case ftCurrency:
        value_ = TVariant(Currency::FromDouble(NativeToFloat(p)));
        break;
    default: // the date-time forms
        value_ = TVariant::FromDateTime(NativeToDateTime(dataType_, p));
        break;
    }
}

void TParam::AssignField(const TField& field) {
    name_ = field.FieldName();
    AssignFieldValue(field, field.AsVariant());
}

void TParam::AssignFieldValue(const TField& field, const TVariant& value) {
    dataType_ = field.DataType() == ftAutoInc ? ftInteger : field.DataType();
    value_ = value.IsClear() ? TVariant::Null() : value;
}

TParam& TParams::Items(int i) {
    if (i < 0 || i >= Count()) {
        throw EListError("Parameter index out of bounds (" + std::to_string(i) + ")");
    }
    return *items_[static_cast<size_t>(i)];
}

const TParam& TParams::Items(int i) const {
    return const_cast<TParams*>(this)->Items(i);
}

TParam& TParams::CreateParam(TFieldType dataType, const std::string& name, TParamType paramType) {
    items_.push_back(std::make_unique<TParam>(name, dataType, paramType));
    return *items_.back();
}

void TParams::RemoveParam(const TParam* param) {
    std::erase_if(items_, [param](const auto& p) { return p.get() == param; });
}

TParam* TParams::FindParam(const std::string& name) {
    std::string wanted = TrimBlanks(name);
    for (auto& p : items_) {
        if (SameName(TrimBlanks(p->Name()), wanted)) {
            return p.get();
        }
    }
    return nullptr;
}

const TParam* TParams::FindParam(const std::string& name) const {
    return const_cast<TParams*>(this)->FindParam(name);
}

TParam& TParams::ParamByName(const std::string& name) {
    TParam* p = FindParam(name);
    if (!p) {
        throw EDatabaseError("Parameter '" + name + "' not found");
    }
    return *p;
}

void TParams::Assign(const TParams& source) {
    if (&source == this) {
        return;
    }
    Clear();
    for (const auto& p : source.items_) {
        items_.push_back(std::make_unique<TParam>(*p));
    }
}

void TParams::AssignValues(const TParams& source) {
    for (const auto& p : source.items_) {
        if (TParam* mine = FindParam(p->Name())) {
            mine->SetDataType(p->DataType());
            mine->SetValue(p->Value());
        }
    }
}

} // namespace zen
