// Typed access to the statement's column values: reading an element of any row as text,
// number, date-time record, memory or stream, and writing it from the same.

#include "odbc/ColumnText.h"
#include "odbc/Hstmt.h"
#include "toolkit/Text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>

namespace zen {

namespace {

template <typename T> T Load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T> void Put(unsigned char* p, T v) {
    std::memcpy(p, &v, sizeof v);
}

bool IsIntegerCType(SQLSMALLINT cType) {
    switch (cType) {
    case SQL_C_SLONG:
    case SQL_C_ULONG:
    case SQL_C_SSHORT:
    case SQL_C_USHORT:
    case SQL_C_STINYINT:
    case SQL_C_UTINYINT:
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
    case SQL_C_BIT:
        return true;
    default:
        return false;
    }
}

// An integer element widened to 64 bits (an unsigned 64-bit value keeps its bits); false
// for any other C type.
bool LoadWhole(SQLSMALLINT cType, const unsigned char* e, int64_t& v) {
    switch (cType) {
    case SQL_C_SLONG:
        v = Load<int32_t>(e);
        return true;
    case SQL_C_ULONG:
        v = Load<uint32_t>(e);
        return true;
    case SQL_C_SSHORT:
        v = Load<int16_t>(e);
        return true;
    case SQL_C_USHORT:
        v = Load<uint16_t>(e);
        return true;
    case SQL_C_STINYINT:
        v = Load<int8_t>(e);
        return true;
    case SQL_C_UTINYINT:
        v = Load<uint8_t>(e);
        return true;
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
        v = Load<int64_t>(e);
        return true;
    case SQL_C_BIT:
        v = e[0] ? 1 : 0;
        return true;
    default:
        return false;
    }
}

// The text of a character element. A value the driver had to cut reports its whole
// length: never read past the element's terminator.
std::string_view ElementChars(const TColumnBuffer& c, const unsigned char* e, SQLLEN indicator) {
    auto room = static_cast<size_t>(c.Room());
    const char* p = reinterpret_cast<const char*>(e);
    return {p, indicator >= 0 ? std::min(static_cast<size_t>(indicator), room) : strnlen(p, room)};
}

// Whether a whole number lies in T's range: a negative one fits a signed type only.
template <typename T> bool Fits(int64_t v) {
    if constexpr (std::is_signed_v<T>) {
        return v >= static_cast<int64_t>(std::numeric_limits<T>::min()) &&
               v <= static_cast<int64_t>(std::numeric_limits<T>::max());
    } else {
        return v >= 0 && static_cast<uint64_t>(v) <= std::numeric_limits<T>::max();
    }
}

} // namespace

TColumnBuffer* THstmt::Element(int col, SQLULEN row, unsigned char*& element) {
    const unsigned char* e = nullptr;
    auto* c = const_cast<TColumnBuffer*>(std::as_const(*this).Element(col, row, e));
    element = const_cast<unsigned char*>(e);
    return c;
}

const TColumnBuffer* THstmt::Element(int col, SQLULEN row, const unsigned char*& element) const {
    element = nullptr;
    const TColumnBuffer* c = Column(col);
    if (!c || !c->HasRow(row)) {
        return nullptr;
    }
    element = c->Element(row);
    return c;
}

// ---- Reading -------------------------------------------------------------------------------

bool THstmt::ColIsNull(int col, SQLULEN row) const {
    const unsigned char* e;
    const TColumnBuffer* c = Element(col, row, e);
    return !c || c->indicators[row - 1] == SQL_NULL_DATA;
}

bool THstmt::ColIgnored(int col, SQLULEN row) const {
    const unsigned char* e;
    const TColumnBuffer* c = Element(col, row, e);
    return c && (pendingWrite_.LeavesOut(col) || c->indicators[row - 1] == SQL_COLUMN_IGNORE);
}

SQLLEN THstmt::ColDataSize(int col, SQLULEN row) const {
    const unsigned char* e;
    const TColumnBuffer* c = Element(col, row, e);
    if (!c) {
        return 0;
    }
    SQLLEN indicator = c->indicators[row - 1];
    if (c->isLong && indicator >= 0) {
        return static_cast<SQLLEN>(c->stream->Size());
    }
    return indicator;
}

std::string THstmt::ColAsString(int col, SQLULEN row) {
    const unsigned char* e;
    const TColumnBuffer* c = Element(col, row, e);
    if (!c) {
        return {};
    }
    if (c->isLong) {
        if (ReadLongData(col, row) < 0) {
            return {};
        }
        const std::vector<char>& bytes = c->stream->Bytes();
        return TrimText(std::string_view(bytes.data(), bytes.size()), trimming_);
    }
    SQLLEN indicator = c->indicators[row - 1];
    if (indicator == SQL_NULL_DATA || !e) {
        return {};
    }
    std::string s;
    int64_t whole = 0;
    if (c->IsDecimalText()) {
        return TrimText(FormatFloatSci(ColAsDouble(col, row)), trimming_);
    }
    switch (c->cType) {
    case SQL_C_CHAR:
        s = ElementChars(*c, e, indicator);
        break;
    case SQL_C_DOUBLE:
        s = FormatFloatSci(Load<double>(e));
        break;
    case SQL_C_FLOAT:
        s = FormatFloatSci(Load<float>(e));
        break;
    case SQL_C_TYPE_DATE:
        s = FormatDateText(Load<SQL_DATE_STRUCT>(e));
        break;
    case SQL_C_TYPE_TIME:
        s = FormatTimeText(Load<SQL_TIME_STRUCT>(e));
        break;
    case SQL_C_TYPE_TIMESTAMP:
        s = FormatTimestampText(Load<SQL_TIMESTAMP_STRUCT>(e));
        break;
    default:
        if (LoadWhole(c->cType, e, whole)) {
            s = c->cType == SQL_C_UBIGINT ? std::to_string(static_cast<uint64_t>(whole))
                                          : std::to_string(whole);
        }
        break;
    }
    return TrimText(s, trimming_);
}

double THstmt::ColAsDouble(int col, SQLULEN row) const {
    const unsigned char* e;
    const TColumnBuffer* c = Element(col, row, e);
    if (!c || c->isLong || !e || c->indicators[row - 1] == SQL_NULL_DATA) {
        return 0;
    }
    double v = 0;
    int64_t whole = 0;
    switch (c->cType) {
    case SQL_C_CHAR:
        return ParseDoubleText(ElementChars(*c, e, c->indicators[row - 1]), v) ? v : 0;
    case SQL_C_DOUBLE:
        return Load<double>(e);
    case SQL_C_FLOAT:
        return Load<float>(e);
    case SQL_C_UBIGINT:
        return static_cast<double>(Load<uint64_t>(e));
    default:
        return LoadWhole(c->cType, e, whole) ? static_cast<double>(whole) : 0;
    }
}

int32_t THstmt::ColAsInteger(int col, SQLULEN row) const {
    const unsigned char* e;
    const TColumnBuffer* c = Element(col, row, e);
    if (!c || c->isLong || !e || c->indicators[row - 1] == SQL_NULL_DATA) {
        return 0;
    }
    int64_t whole = 0;
    if (c->IsDecimalText()) {
        return RoundToInt32(ColAsDouble(col, row));
    }
    switch (c->cType) {
    case SQL_C_CHAR:
        return ParseInt64Text(ElementChars(*c, e, c->indicators[row - 1]), whole) &&
                       Fits<int32_t>(whole)
                   ? static_cast<int32_t>(whole)
                   : 0;
    case SQL_C_DOUBLE:
        return RoundToInt32(Load<double>(e));
    case SQL_C_FLOAT:
        return RoundToInt32(Load<float>(e));
    default:
        // Wider values keep their low 32 bits.
        return LoadWhole(c->cType, e, whole)
                   ? static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(whole)))
                   : 0;
    }
}

int64_t THstmt::ColAsInt64(int col, SQLULEN row) const {
    const unsigned char* e;
    const TColumnBuffer* c = Element(col, row, e);
    if (c && !c->isLong && e && c->indicators[row - 1] != SQL_NULL_DATA &&
        (c->cType == SQL_C_SBIGINT || c->cType == SQL_C_UBIGINT)) {
        return Load<int64_t>(e);
    }
    return ColAsInteger(col, row);
}

TDateTimeRec THstmt::ColAsDateTimeRec(int col, SQLULEN row) const {
    TDateTimeRec ts = ZeroDateTimeRec();
    const unsigned char* e;
    const TColumnBuffer* c = Element(col, row, e);
    if (!c || c->isLong || !e || c->indicators[row - 1] == SQL_NULL_DATA) {
        return ts;
    }
    switch (c->cType) {
    case SQL_C_TYPE_DATE: {
        auto d = Load<SQL_DATE_STRUCT>(e);
        ts.year = d.year;
        ts.month = d.month;
        ts.day = d.day;
        break;
    }
    case SQL_C_TYPE_TIME: {
        auto t = Load<SQL_TIME_STRUCT>(e);
        ts.hour = t.hour;
        ts.minute = t.minute;
        ts.second = t.second;
        break;
    }
    case SQL_C_TYPE_TIMESTAMP:
        ts = Load<SQL_TIMESTAMP_STRUCT>(e);
        break;
    default:
        break;
    }
    return ts;
}

const void* THstmt::ColMemory(int col, SQLULEN row) {
    unsigned char* e;
    TColumnBuffer* c = Element(col, row, e);
    if (!c) {
        return nullptr;
    }
    if (c->isLong) {
        ReadLongData(col, row);
        return c->stream->Memory();
    }
    return e;
}

TMemoryStream* THstmt::ColStream(int col, SQLULEN row) {
    unsigned char* e;
    TColumnBuffer* c = Element(col, row, e);
    if (!c || !c->isLong) {
        return nullptr;
    }
    // A row set's long values are read row by row, on request.
    if (blobDeferral_ || rowSetSize_ > 1) {
        ReadLongData(col, row);
    }
    return c->stream.get();
}

// ---- Writing -------------------------------------------------------------------------------

namespace {

// A whole number into an integer element of the column's C type; false when it does not
// fit.
bool PutWhole(unsigned char* e, SQLSMALLINT cType, int64_t v) {
    switch (cType) {
    case SQL_C_SLONG:
        return Fits<int32_t>(v) && (Put(e, static_cast<int32_t>(v)), true);
    case SQL_C_ULONG:
        return Fits<uint32_t>(v) && (Put(e, static_cast<uint32_t>(v)), true);
    case SQL_C_SSHORT:
        return Fits<int16_t>(v) && (Put(e, static_cast<int16_t>(v)), true);
    case SQL_C_USHORT:
        return Fits<uint16_t>(v) && (Put(e, static_cast<uint16_t>(v)), true);
    case SQL_C_STINYINT:
        return Fits<int8_t>(v) && (Put(e, static_cast<int8_t>(v)), true);
    case SQL_C_UTINYINT:
        return Fits<uint8_t>(v) && (Put(e, static_cast<uint8_t>(v)), true);
    case SQL_C_BIT:
        Put(e, static_cast<unsigned char>(v != 0));
        return true;
    default: // 64-bit
        Put(e, v);
        return true;
    }
}

// The text of a number, date or time into the element of a column of that C type.
void PutParsed(const TColumnBuffer& c, unsigned char* e, const std::string& text) {
    auto invalid = [&](const char* kind) {
        return EConvertError("'" + text + "' is not a valid " + kind + " for column " + c.name +
                             ".");
    };
    switch (c.cType) {
    case SQL_C_DOUBLE:
    case SQL_C_FLOAT: {
        double v = 0;
        if (!ParseDoubleText(text, v)) {
            throw invalid("number");
        }
        if (c.cType == SQL_C_FLOAT && std::isfinite(v) &&
            std::fabs(v) > std::numeric_limits<float>::max()) {
            throw invalid("number");
        }
        c.cType == SQL_C_DOUBLE ? Put(e, v) : Put(e, static_cast<float>(v));
        return;
    }
    case SQL_C_TYPE_DATE: {
        SQL_DATE_STRUCT d{};
        if (!ParseDateText(text, d)) {
            throw invalid("date");
        }
        Put(e, d);
        return;
    }
    case SQL_C_TYPE_TIME: {
        SQL_TIME_STRUCT t{};
        if (!ParseTimeText(text, t)) {
            throw invalid("time");
        }
        Put(e, t);
        return;
    }
    case SQL_C_TYPE_TIMESTAMP: {
        TDateTimeRec ts{};
        if (!ParseTimestampText(text, ts)) {
            throw invalid("date and time");
        }
        Put(e, ts);
        return;
    }
    default: {
        int64_t v = 0;
        if (!IsIntegerCType(c.cType) || !ParseInt64Text(text, v)) {
            throw invalid("whole number");
        }
        if (!PutWhole(e, c.cType, v)) {
            throw EConvertError(text + " is out of range for column " + c.name + ".");
        }
        return;
    }
    }
}

} // namespace

void THstmt::StoreText(TColumnBuffer& c, SQLULEN row, const std::string& text, int col) {
    if (!c.Element(row)) {
        return;
    }
    SQLLEN& indicator = c.indicators[row - 1];
    // A number, date or time column has no empty value: an empty text is NULL there.
    const bool chars = c.cType == SQL_C_CHAR;
    if ((c.IsDecimalText() || (!chars && c.cType != SQL_C_BINARY)) &&
        text.find_first_not_of(' ') == std::string::npos) {
        indicator = SQL_NULL_DATA;
        return;
    }
    // Text and bytes go in whole; the elements widen to what is written.
    auto put = [&](const std::string& value) {
        const auto bytes = static_cast<SQLLEN>(value.size()) + (chars ? 1 : 0);
        if (bytes > c.elementSize) {
            GrowElement(col, bytes);
        }
        std::memcpy(c.Element(row), value.c_str(), static_cast<size_t>(bytes));
        indicator = static_cast<SQLLEN>(value.size());
    };
    if (c.IsDecimalText()) {
        // A decimal is measured by its digits, not its text: the whole digits against
        // precision - scale, the fraction rounded to the scale as the database rounds it.
        std::string decimal;
        const bool known = !c.digitsUnknown;
        switch (
            FitDecimalText(text, known ? c.columnSize : 0, known ? c.decimalDigits : -1, decimal)) {
        case TDecimalFit::NotANumber:
            throw EConvertError("'" + text + "' is not a valid number for column " + c.name + ".");
        case TDecimalFit::TooLarge:
            throw EConvertError(text + " is out of range for column " + c.name + ".");
        case TDecimalFit::Fits:
            put(decimal);
            return;
        }
    }
    if (chars || c.cType == SQL_C_BINARY) {
        // The column's size counts characters (bytes for binary) and limits what is
        // written, unless the database was seen to hold longer values (a driver's size
        // for an unsized column is a guess).
        const size_t length = chars ? Utf8Length(text) : text.size();
        if (c.SizeIsLimit() && length > c.columnSize) {
            throw EODBCExpress("A value of " + std::to_string(length) + " " +
                               (chars ? "characters" : "bytes") + " does not fit column " + c.name +
                               " (" + std::to_string(c.columnSize) + ").");
        }
        put(text);
        return;
    }
    PutParsed(c, c.Element(row), text);
    indicator = c.elementSize;
}

void THstmt::ApplyEmptyToNull(TColumnBuffer& c, SQLULEN row, const std::string& stored) {
    if (stored.empty() && (emptyToNull_ == enAlways ||
                           (emptyToNull_ == enIfNullable && c.nullable == SQL_NULLABLE))) {
        c.indicators[row - 1] = SQL_NULL_DATA;
    }
}

void THstmt::SetColString(int col, const std::string& text, SQLULEN row) {
    unsigned char* e;
    TColumnBuffer* c = Element(col, row, e);
    if (!c) {
        return;
    }
    std::string stored = TrimText(text, trimming_);
    if (c->isLong) {
        c->stream->Clear();
        c->stream->Write(stored.data(), static_cast<int64_t>(stored.size()));
        c->stream->SetPosition(0);
        c->indicators[row - 1] = static_cast<SQLLEN>(stored.size());
        // What was written is the value now; a later read must not fetch the old one.
        c->longRead = true;
    } else {
        StoreText(*c, row, stored, col);
    }
    ApplyEmptyToNull(*c, row, stored);
}

void THstmt::SetColDouble(int col, double value, SQLULEN row) {
    unsigned char* e;
    TColumnBuffer* c = Element(col, row, e);
    if (!c || c->isLong || !e) {
        return;
    }
    // Numbers go into number columns as they are, without a detour through text that
    // would cut them to fifteen digits.
    if (c->cType == SQL_C_DOUBLE) {
        Put(e, value);
        c->indicators[row - 1] = c->elementSize;
    } else if (c->IsDecimalText() && std::isfinite(value)) {
        // A decimal column read as text takes the shortest text that reads back as the
        // same double.
        char buf[32];
        auto res = std::to_chars(buf, buf + sizeof buf, value);
        StoreText(*c, row, std::string(buf, res.ptr), col);
    } else if (IsIntegerCType(c->cType) && std::isfinite(value)) {
        double r = std::nearbyint(value);
        if (r < -9223372036854775808.0 || r >= 9223372036854775808.0) {
            throw EConvertError(FormatFloatSci(value) + " is out of range for column " + c->name +
                                ".");
        }
        SetColInt64(col, static_cast<int64_t>(r), row);
    } else {
        SetColString(col, FormatFloatSci(value), row);
    }
}

void THstmt::SetColInteger(int col, int32_t value, SQLULEN row) {
    SetColInt64(col, value, row);
}

void THstmt::SetColInt64(int col, int64_t value, SQLULEN row) {
    unsigned char* e;
    TColumnBuffer* c = Element(col, row, e);
    if (!c || c->isLong || !e) {
        return;
    }
    if (c->cType == SQL_C_DOUBLE) {
        Put(e, static_cast<double>(value));
        c->indicators[row - 1] = c->elementSize;
        return;
    }
    // Integer columns take the decimal text, with its range check; the rest store the text.
    std::string text = std::to_string(value);
    if (IsIntegerCType(c->cType) || c->cType == SQL_C_FLOAT) {
        StoreText(*c, row, text, col);
    } else {
        SetColString(col, text, row);
    }
}

void THstmt::SetColDateTimeRec(int col, const TDateTimeRec& value, SQLULEN row) {
    unsigned char* e;
    TColumnBuffer* c = Element(col, row, e);
    if (!c || c->isLong || !e) {
        return;
    }
    switch (c->cType) {
    case SQL_C_TYPE_DATE:
        SetColString(col, FormatDateText(SQL_DATE_STRUCT{value.year, value.month, value.day}), row);
        break;
    case SQL_C_TYPE_TIME:
        SetColString(col, FormatTimeText(SQL_TIME_STRUCT{value.hour, value.minute, value.second}),
                     row);
        break;
    default:
        SetColString(col, FormatTimestampText(value), row);
        break;
    }
}

void THstmt::SetColStream(int col, TMemoryStream& stream, SQLULEN row) {
    unsigned char* e;
    TColumnBuffer* c = Element(col, row, e);
    if (!c || !c->isLong) {
        return;
    }
    c->stream->Clear();
    c->stream->Write(stream.Memory(), stream.Size());
    c->stream->SetPosition(0);
    c->indicators[row - 1] = static_cast<SQLLEN>(stream.Size());
    c->longRead = true;
}

void THstmt::SetColNull(int col, SQLULEN row) {
    unsigned char* e;
    if (TColumnBuffer* c = Element(col, row, e)) {
        c->indicators[row - 1] = SQL_NULL_DATA;
    }
}

void THstmt::SetColIgnored(int col, bool on, SQLULEN row) {
    unsigned char* e;
    if (TColumnBuffer* c = Element(col, row, e)) {
        pendingWrite_.LeaveOut(col, on);
        if (on) {
            c->indicators[row - 1] = SQL_COLUMN_IGNORE;
        }
    }
}

} // namespace zen
