#pragma once
// Stored forms: the values that a component's stored properties are read from while its
// form loads. A value is a string, an integer, a Boolean, a floating number, a currency
// amount or a list of values; a reader takes a list's items in order and checks the kind
// of each, so that a damaged form fails with EReadError instead of being misread.

#include "toolkit/Exceptions.h"
#include "toolkit/Money.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zen {

ZEN_EXCEPTION_CLASS(EReadError, Exception);

enum TStoredKind { skString, skInteger, skBoolean, skFloat, skCurrency, skList };

class TStoredValue {
public:
    static TStoredValue String(std::string v);
    static TStoredValue Integer(int64_t v);
    static TStoredValue Boolean(bool v);
    static TStoredValue Float(double v);
    static TStoredValue Money(Currency v);
    static TStoredValue List(std::vector<TStoredValue> items);

    TStoredKind Kind() const noexcept { return kind_; }
    const std::string& AsString() const noexcept { return text_; }
    int64_t AsInteger() const noexcept { return integer_; }
    bool AsBoolean() const noexcept { return integer_ != 0; }
    double AsFloat() const noexcept { return float_; }
    Currency AsCurrency() const noexcept { return Currency::FromRaw(integer_); }
    const std::vector<TStoredValue>& Items() const noexcept { return items_; }

private:
    explicit TStoredValue(TStoredKind kind) : kind_(kind) {}
    static TStoredValue Number(TStoredKind kind, int64_t integer, double number);

    TStoredKind kind_;
    std::string text_;
    int64_t integer_ = 0; // also the Boolean and the currency's raw count
    double float_ = 0;
    std::vector<TStoredValue> items_;
};

// Reads the items of one stored list. `what` names the property in error messages.
class TStoredReader {
public:
    // EReadError when the value is not a list.
    TStoredReader(const TStoredValue& list, std::string what);

    bool EndOfList() const noexcept { return at_ >= items_->size(); }
    std::string ReadString();
    int64_t ReadInteger();
    bool ReadBoolean();
    // An integer is taken as a number too, as a form may store a whole value so.
    double ReadFloat();
    Currency ReadCurrency();
    TStoredReader ReadList();

private:
    const TStoredValue& Next(TStoredKind kind, bool integerWillDo = false);

    const std::vector<TStoredValue>* items_;
    size_t at_ = 0;
    std::string what_;
};

} // namespace zen
