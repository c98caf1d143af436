#include "dataset/OEParams.h"

#include "dataset/DateTimeRec.h"
#include "odbc/TypeMapping.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace zen {

namespace {

// Room for a text or bytes value whose size nobody described.
constexpr size_t kDefaultRoom = 256;

std::string_view Trimmed(std::string_view s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string_view::npos) {
        return {};
    }
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

// Parameter names match as TParams matches them.
bool SameParamName(std::string_view a, std::string_view b) {
    return SameName(Trimmed(a), Trimmed(b));
}

// Text and bytes: bound from a buffer sized by the value.
bool IsVarying(SQLSMALLINT cType) {
    return cType == SQL_C_CHAR || cType == SQL_C_BINARY;
}

bool IsOutput(TParamType type) {
    return type == ptOutput || type == ptInputOutput || type == ptResult;
}

bool IsStreamType(TFieldType type) {
    return type == ftBlob || type == ftMemo;
}

// The type a parameter is bound as: one of unknown type goes as text.
TFieldType BindType(const TParam* p) {
    return p && p->DataType() != ftUnknown ? p->DataType() : ftString;
}

} // namespace

void TOEParams::Clear() {
    TParams::Clear();
    FreeBindBuffers();
}

void TOEParams::ReadStoredForm(const TStoredValue& form) {
    Clear();
    try {
        TStoredReader outer(form, "Params");
        outer.ReadString(); // the version: every version stores the entries alike
        TStoredReader entries = outer.ReadList();
        while (!entries.EndOfList()) {
            std::string name = entries.ReadString();
            const int64_t paramType = entries.ReadInteger();
            const int64_t dataType = entries.ReadInteger();
            if (paramType < ptUnknown || paramType > ptResult || dataType < ftUnknown ||
                dataType > ftDataSet) {
                throw EReadError("Stored property Params: parameter " + name +
                                 " has a type out of range.");
            }
            const auto type = static_cast<TFieldType>(dataType);
            TParam& p = CreateParam(type, name, static_cast<TParamType>(paramType));
            switch (type) {
            case ftString:
            case ftMemo:
                p.SetValue(TVariant(entries.ReadString()));
                break;
            case ftSmallint:
            case ftInteger:
            case ftWord:
            case ftLargeint:
                p.SetValue(TVariant(entries.ReadInteger()));
                break;
            case ftBoolean:
                p.SetValue(TVariant(entries.ReadBoolean()));
                break;
            case ftFloat:
                p.SetValue(TVariant(entries.ReadFloat()));
                break;
            case ftDate:
            case ftTime:
            case ftDateTime:
                p.SetValue(TVariant::FromDateTime(entries.ReadFloat()));
                break;
            case ftCurrency:
                p.SetValue(TVariant(entries.ReadCurrency()));
                break;
            default:
                break;
            }
            p.SetBound(entries.ReadBoolean());
            if (entries.ReadBoolean()) {
                p.Clear();
            }
            entries.ReadInteger();
        }
    } catch (...) {
        Clear();
        throw;
    }
}

void TOEParams::AddDescription(TOEDefRec def) {
    defs_.push_back(std::move(def));
}

void TOEParams::RemoveDescription(const std::string& name) {
    std::erase_if(defs_, [&](const TOEDefRec& d) { return SameParamName(d.name, name); });
}

const TOEDefRec* TOEParams::FindDescription(const std::string& name) const {
    for (const TOEDefRec& d : defs_) {
        if (SameParamName(d.name, name)) {
            return &d;
        }
    }
    return nullptr;
}

void TOEParams::FreeBindBuffers() {
    boundAt_.clear();
    recs_.clear();
    defs_.clear();
}

TOEParamRec& TOEParams::RecordFor(const TParam& p) {
    for (auto& r : recs_) {
        if (SameParamName(r->name, p.Name())) {
            return *r;
        }
    }
    recs_.push_back(std::make_unique<TOEParamRec>());
    recs_.back()->name = p.Name();
    return *recs_.back();
}

// Sizes the record's buffer for the parameter and copies the value in.
void TOEParams::Fill(TOEParamRec& rec, const TParam& p) const {
    const TFieldType type = BindType(&p);
    rec.dataType = type;
    if (IsStreamType(type)) {
        if (!rec.stream) {
            rec.stream = std::make_unique<TMemoryStream>();
        }
        std::string bytes = p.IsNull() ? std::string() : p.AsString();
        rec.stream->LoadFrom(bytes.data(), static_cast<int64_t>(bytes.size()));
        rec.buffer.clear();
        return;
    }
    rec.stream.reset();
    const SQLSMALLINT cType = CTypeOfFieldType(type);
    if (IsVarying(cType)) {
        const TOEDefRec* def = FindDescription(p.Name());
        const size_t terminator = cType == SQL_C_CHAR ? 1 : 0;
        const std::string bytes = p.IsNull() ? std::string() : p.AsString();
        size_t size = def && def->fieldType == type && def->columnSize > 0
                          ? def->columnSize + terminator
                          : kDefaultRoom;
        // A longer value gets a longer buffer rather than being cut.
        rec.buffer.assign(std::max(size, bytes.size() + terminator), 0);
        std::memcpy(rec.buffer.data(), bytes.data(), bytes.size());
        return;
    }
    // The C type's size, not the toolkit's native one: a date is a 6-byte record, not a
    // day number; a Boolean one byte, not two.
    rec.buffer.assign(static_cast<size_t>(std::max<SQLLEN>(CTypeSize(cType), 1)), 0);
    if (p.IsNull()) {
        return;
    }
    char* buf = rec.buffer.data();
    switch (type) {
    case ftDate: {
        TDateTimeRec ts = RecOfDateTime(ftDate, p.AsDateTime());
        SQL_DATE_STRUCT d{ts.year, ts.month, ts.day};
        std::memcpy(buf, &d, sizeof d);
        break;
    }
    case ftTime: {
        TDateTimeRec ts = RecOfDateTime(ftTime, p.AsDateTime());
        SQL_TIME_STRUCT t{ts.hour, ts.minute, ts.second};
        std::memcpy(buf, &t, sizeof t);
        break;
    }
    case ftDateTime: {
        TDateTimeRec ts = RecOfDateTime(ftDateTime, p.AsDateTime());
        std::memcpy(buf, &ts, sizeof ts);
        break;
    }
    case ftBoolean:
        buf[0] = p.AsBoolean() ? 1 : 0;
        break;
    default:
        p.GetData(buf, static_cast<int>(rec.buffer.size()));
        break;
    }
}

void TOEParams::BindOne(THstmt& stmt, SQLUSMALLINT number, const TParam* p) {
    const TFieldType type = BindType(p);
    const SQLSMALLINT cType = CTypeOfFieldType(type);
    const SQLSMALLINT sqlType = SqlTypeOfCType(cType);
    if (!p || (p->IsNull() && !IsOutput(p->ParamType()))) {
        if (IsStreamType(type)) {
            stmt.BindParamLong(number, nullptr, 0, type == ftBlob); // NULL as long data
        } else {
            stmt.BindParam(number, cType, sqlType, nullptr);
        }
        return;
    }
    TOEParamRec& rec = RecordFor(*p);
    stmt.SetParamType(OdbcOfParamType(p->ParamType()));
    if (rec.stream) {
        stmt.BindParamStream(number, *rec.stream, type == ftBlob);
        return;
    }
    stmt.BindParam(number, cType, sqlType, rec.buffer.data(),
                   static_cast<SQLLEN>(rec.buffer.size()));
    SQLLEN size = 0;
    if (p->IsNull()) {
        size = SQL_NULL_DATA;
    } else if (IsVarying(cType)) {
        size = static_cast<SQLLEN>(p->AsString().size());
    }
    stmt.SetParamSize(number, size);
}

void TOEParams::Bind(THstmt& stmt, bool byName) {
    std::vector<std::string> names = stmt.ParamNames();
    // Records of parameters that are gone are dropped.
    std::erase_if(recs_, [this](const auto& r) { return !FindParam(r->name); });
    boundAt_.assign(names.size(), nullptr);
    for (size_t i = 0; i < names.size(); ++i) {
        boundAt_[i] =
            byName ? FindParam(names[i])
                   : (i < static_cast<size_t>(Count()) ? &Items(static_cast<int>(i)) : nullptr);
    }
    // Every buffer is filled before any is bound: a name used twice shares one buffer,
    // which must not move once the driver has its address.
    for (int i = 0; i < Count(); ++i) {
        if (std::find(boundAt_.begin(), boundAt_.end(), &Items(i)) != boundAt_.end()) {
            Fill(RecordFor(Items(i)), Items(i));
        }
    }
    for (size_t i = 0; i < names.size(); ++i) {
        BindOne(stmt, static_cast<SQLUSMALLINT>(i + 1), boundAt_[i]);
        if (boundAt_[i]) {
            boundAt_[i]->SetBound(true);
        }
    }
}

void TOEParams::ReadOutputs(const THstmt& stmt) {
    for (size_t i = 0; i < boundAt_.size(); ++i) {
        TParam* p = boundAt_[i];
        if (!p || !IsOutput(p->ParamType())) {
            continue;
        }
        auto number = static_cast<SQLUSMALLINT>(i + 1);
        SQLLEN size = stmt.ParamSize(number);
        if (size == SQL_NULL_DATA) {
            p->Clear();
            continue;
        }
        TOEParamRec& rec = RecordFor(*p);
        const TFieldType type = rec.dataType;
        const char* buf = rec.buffer.data();
        if (rec.stream) {
            p->SetValue(TVariant(
                std::string(rec.stream->Memory(), static_cast<size_t>(rec.stream->Size()))));
            continue;
        }
        p->SetDataType(type);
        switch (type) {
        case ftDate: {
            SQL_DATE_STRUCT d;
            std::memcpy(&d, buf, sizeof d);
            TDateTimeRec ts{d.year, d.month, d.day, 0, 0, 0, 0};
            p->SetAsDate(DateTimeOfRec(ts));
            break;
        }
        case ftTime: {
            SQL_TIME_STRUCT t;
            std::memcpy(&t, buf, sizeof t);
            TDateTimeRec ts{1899, 12, 30, t.hour, t.minute, t.second, 0};
            p->SetAsTime(DateTimeOfRec(ts));
            break;
        }
        case ftDateTime: {
            TDateTimeRec ts;
            std::memcpy(&ts, buf, sizeof ts);
            p->SetAsDateTime(DateTimeOfRec(ts));
            break;
        }
        case ftBoolean:
            p->SetAsBoolean(buf[0] != 0);
            break;
        default: {
            const SQLSMALLINT cType = CTypeOfFieldType(type);
            if (IsVarying(cType)) {
                // A value the driver had to cut still ends inside the buffer.
                size_t n = size >= 0 ? std::min(static_cast<size_t>(size), rec.buffer.size())
                                     : rec.buffer.size();
                if (cType == SQL_C_CHAR) {
                    n = strnlen(buf, n);
                }
                p->SetValue(TVariant(std::string(buf, n)));
            } else {
                p->SetData(buf, static_cast<int>(rec.buffer.size()));
            }
            break;
        }
        }
    }
}

} // namespace zen
