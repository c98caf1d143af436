#pragma once
// The rows a transfer run reads and writes, whatever holds them: a dataset standing on a row,
// a lean lookup's row, a prepared insert's row. The header and the lines are filled through
// these, so that the run's lean statements and the designed datasets write the same values.

#include "toolkit/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zen {

class TDataSet;

// A row read: each value as the dataset's field would give it (a null text reads as empty, a
// null number as 0).
class TRowValues {
public:
    virtual ~TRowValues() = default;
    virtual std::string Text(const char* column) const = 0;
    virtual double Number(const char* column) const = 0;
    virtual int32_t Integer(const char* column) const = 0;
    // Nothing for a null.
    virtual std::optional<TDateTime> Date(const char* column) const = 0;
};

// A row being written; a column never set keeps the database's default.
class TRowWriter {
public:
    virtual ~TRowWriter() = default;
    virtual void Text(const char* column, const std::string& value) = 0;
    virtual void Number(const char* column, double value) = 0;
    virtual void Integer(const char* column, int32_t value) = 0;
    virtual void Date(const char* column, TDateTime value) = 0;
    // The column is left to the database's default.
    virtual void Default(const char* column) = 0;
    // A number, a date as it now stands in the row.
    virtual double NumberOf(const char* column) const = 0;
    virtual TDateTime DateOf(const char* column) const = 0;
};

// The current row of a dataset, read through its fields.
class TDataSetValues : public TRowValues {
public:
    explicit TDataSetValues(TDataSet& ds) : ds_(ds) {}
    std::string Text(const char* column) const override;
    double Number(const char* column) const override;
    int32_t Integer(const char* column) const override;
    std::optional<TDateTime> Date(const char* column) const override;

private:
    TDataSet& ds_;
};

// The row a dataset is appending or editing, written through its fields.
class TDataSetWriter : public TRowWriter {
public:
    explicit TDataSetWriter(TDataSet& ds) : ds_(ds) {}
    void Text(const char* column, const std::string& value) override;
    void Number(const char* column, double value) override;
    void Integer(const char* column, int32_t value) override;
    void Date(const char* column, TDateTime value) override;
    // An appended row's unset field is left out of its insert.
    void Default(const char*) override {}
    double NumberOf(const char* column) const override;
    TDateTime DateOf(const char* column) const override;

private:
    TDataSet& ds_;
};

// A row kept in memory as it is written, to be written again into another row later: an
// invoice's rows are all made, and its prices and amounts checked, before any is inserted.
class TRowRecord : public TRowWriter {
public:
    void Text(const char* column, const std::string& value) override;
    void Number(const char* column, double value) override;
    void Integer(const char* column, int32_t value) override;
    void Date(const char* column, TDateTime value) override;
    void Default(const char* column) override;
    double NumberOf(const char* column) const override;
    TDateTime DateOf(const char* column) const override;

    // A text as it now stands in the row; empty when it was not set as a text.
    std::string TextOf(const char* column) const;
    // Writes every value into `row`, in the order they were set.
    void WriteTo(TRowWriter& row) const;
    void Clear() { values_.clear(); }

private:
    enum class TKind { Text, Number, Integer, Date, Default };
    struct TValue {
        const char* column;
        TKind kind;
        std::string text;
        double number = 0;
    };
    const TValue* Last(const char* column) const;
    std::vector<TValue> values_;
};

// Writes to two rows at once: `first`, which also answers what a row now holds, and `second`.
class TRowTee : public TRowWriter {
public:
    TRowTee(TRowWriter& first, TRowWriter& second) : first_(first), second_(second) {}
    void Text(const char* column, const std::string& value) override {
        first_.Text(column, value);
        second_.Text(column, value);
    }
    void Number(const char* column, double value) override {
        first_.Number(column, value);
        second_.Number(column, value);
    }
    void Integer(const char* column, int32_t value) override {
        first_.Integer(column, value);
        second_.Integer(column, value);
    }
    void Date(const char* column, TDateTime value) override {
        first_.Date(column, value);
        second_.Date(column, value);
    }
    void Default(const char* column) override {
        first_.Default(column);
        second_.Default(column);
    }
    double NumberOf(const char* column) const override { return first_.NumberOf(column); }
    TDateTime DateOf(const char* column) const override { return first_.DateOf(column); }

private:
    TRowWriter& first_;
    TRowWriter& second_;
};

} // namespace zen
