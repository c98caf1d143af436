#include "toolkit/StoredForm.h"

namespace zen {

TStoredValue TStoredValue::String(std::string v) {
    TStoredValue s(skString);
    s.text_ = std::move(v);
    return s;
}

TStoredValue TStoredValue::Integer(int64_t v) {
    return Number(skInteger, v, 0);
}

TStoredValue TStoredValue::Boolean(bool v) {
    return Number(skBoolean, v ? 1 : 0, 0);
}

TStoredValue TStoredValue::Float(double v) {
    return Number(skFloat, 0, v);
}

TStoredValue TStoredValue::Money(Currency v) {
    return Number(skCurrency, v.Raw(), 0);
}

TStoredValue TStoredValue::List(std::vector<TStoredValue> items) {
    TStoredValue s(skList);
    s.items_ = std::move(items);
    return s;
}

TStoredValue TStoredValue::Number(TStoredKind kind, int64_t integer, double number) {
    TStoredValue s(kind);
    s.integer_ = integer;
    s.float_ = number;
    return s;
}

namespace {

const char* KindName(TStoredKind kind) {
    switch (kind) {
    case skString:
        return "a string";
    case skInteger:
        return "an integer";
    case skBoolean:
        return "a Boolean";
    case skFloat:
        return "a number";
    case skCurrency:
        return "a currency amount";
    case skList:
        return "a list";
    }
    return "a value";
}

} // namespace

TStoredReader::TStoredReader(const TStoredValue& list, std::string what)
    : items_(&list.Items()), what_(std::move(what)) {
    if (list.Kind() != skList) {
        throw EReadError("Stored property " + what_ + ": a list was expected, not " +
                         KindName(list.Kind()) + ".");
    }
}

const TStoredValue& TStoredReader::Next(TStoredKind kind, bool integerWillDo) {
    if (EndOfList()) {
        throw EReadError("Stored property " + what_ + ": " + KindName(kind) +
                         " was expected after the last item.");
    }
    const TStoredValue& v = (*items_)[at_];
    if (v.Kind() != kind && !(integerWillDo && v.Kind() == skInteger)) {
        throw EReadError("Stored property " + what_ + ": item " + std::to_string(at_ + 1) + " is " +
                         KindName(v.Kind()) + " where " + KindName(kind) + " was expected.");
    }
    ++at_;
    return v;
}

std::string TStoredReader::ReadString() {
    return Next(skString).AsString();
}

int64_t TStoredReader::ReadInteger() {
    return Next(skInteger).AsInteger();
}

bool TStoredReader::ReadBoolean() {
    return Next(skBoolean).AsBoolean();
}

double TStoredReader::ReadFloat() {
    const TStoredValue& v = Next(skFloat, true);
    return v.Kind() == skInteger ? static_cast<double>(v.AsInteger()) : v.AsFloat();
}

Currency TStoredReader::ReadCurrency() {
    const TStoredValue& v = Next(skCurrency, true);
    return v.Kind() == skInteger ? Currency::FromDouble(static_cast<long double>(v.AsInteger()))
                                 : v.AsCurrency();
}

TStoredReader TStoredReader::ReadList() {
    return TStoredReader(Next(skList), what_);
}

} // namespace zen
