#pragma once
// A local table kept in an SQLite file of its own: the working tables of a transfer run,
// the error table and the exception log. The file also holds the table's field and index
// definitions, so that a later open knows each field's kind and size. Values are always
// bound as parameters; identifiers are quoted.

#include "toolkit/FieldTypes.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace zen {

struct TLocalField {
    std::string Name;
    TFieldType DataType = ftUnknown;
    int Size = 0; // characters for texts, 0 otherwise
};

struct TLocalIndex {
    std::string Name;
    std::vector<std::string> Fields;
    TIndexOptions Options = 0;
};

// A stored value: null, an integer, a real or a UTF-8 text.
using TLocalValue = std::variant<std::monostate, int64_t, double, std::string>;

struct TLocalRow {
    int64_t RowId = 0; // insertion order; the auto-increment value when the table has one
    std::vector<TLocalValue> Values;
};

class TSqliteTable {
public:
    // Makes the table anew in the file (created when missing), replacing a table of that
    // name and its rows. Field kinds: texts (ftString with a size, ftMemo), integers
    // (ftSmallint, ftInteger, ftAutoInc - at most one -, ftBoolean, ftLargeint), reals
    // (ftFloat, ftCurrency, ftDate, ftDateTime). EDatabaseError for anything else, for a
    // duplicate field name, or an index over an unknown field.
    static void Create(const std::filesystem::path& file, const std::string& name,
                       const std::vector<TLocalField>& fields,
                       const std::vector<TLocalIndex>& indexes);

    // Opens an existing table; EDatabaseError "Table 'X' does not exist" when the file or
    // the table is missing.
    TSqliteTable(const std::filesystem::path& file, const std::string& name);
    ~TSqliteTable();
    TSqliteTable(const TSqliteTable&) = delete;
    TSqliteTable& operator=(const TSqliteTable&) = delete;

    const std::string& Name() const { return name_; }
    const std::vector<TLocalField>& Fields() const { return fields_; }
    const std::vector<TLocalIndex>& Indexes() const { return indexes_; }
    // The primary index, or nullptr.
    const TLocalIndex* Primary() const;

    // Every row, in the primary index's order (texts byte by byte), ties and tables
    // without a primary index in insertion order.
    std::vector<TLocalRow> ReadAll() const;
    // The same rows one at a time, none kept, for tables too large to hold.
    void ForEachRow(const std::function<void(TLocalRow&&)>& each) const;
    // The row with this RowId as the file holds it now; false when there is none.
    bool ReadRow(int64_t rowId, TLocalRow& row) const;
    // Stores a new row (one value per field; auto-increment values are given by the
    // table) and returns it as stored. Values are fitted to their fields first (Fit).
    // EDatabaseError "Key violation" when the primary index already holds its key.
    TLocalRow Insert(std::vector<TLocalValue> values);
    // Rewrites the row with this RowId; the auto-increment value stays.
    TLocalRow Update(const TLocalRow& row);
    void Delete(int64_t rowId);

    // One transaction around many writes instead of one each. CommitBatch ends it in every
    // case: when the commit fails it rolls back and raises EDatabaseError.
    void BeginBatch();
    void CommitBatch();
    // Whether a transaction is open; SQLite ends one by itself after some failures (a full
    // disk, an I/O error), and the rows written in it are then gone.
    bool InTransaction() const;

    // The reading order of ReadAll, for keeping rows in memory in that order.
    bool Before(const TLocalRow& a, const TLocalRow& b) const;
    // The same order as bytes: a before b exactly when SortKey(a) < SortKey(b), compared
    // as unsigned bytes. Rows kept in memory are compared many times, and a key built once
    // compares much faster than the values.
    std::string SortKey(const TLocalRow& row) const;
    // A value as the field keeps it: texts cut to the field's size in characters,
    // numbers checked against the field's range; EDatabaseError when it cannot be kept.
    TLocalValue Fit(size_t field, TLocalValue value) const;

private:
    struct Db;
    void LoadDefinitions();
    bool LoadStoredDefinitions();
    void InferDefinitions();
    sqlite3_stmt* Prepare(const std::string& sql) const;
    std::string SelectColumns() const;
    TLocalRow RowOf(sqlite3_stmt* s) const;
    [[noreturn]] void Fail(const std::string& what) const;

    std::filesystem::path file_;
    std::string name_;
    std::string context_; // "table '<name>'", for the messages of each write
    std::unique_ptr<Db> db_;
    std::vector<TLocalField> fields_;
    std::vector<TLocalIndex> indexes_;
    int autoInc_ = -1;
    std::vector<size_t> orderFields_;
    bool orderNoCase_ = false;
    bool orderDescending_ = false;
};

// ";"-joined names, and back.
std::string JoinFieldNames(const std::vector<std::string>& names);

} // namespace zen
