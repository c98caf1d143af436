#pragma once
// The rows of an open SQLite table, kept in memory in reading order. The cursor reaches a
// row by its position and a bookmark by its RowId, and a posted row takes its place, each
// in logarithmic time (plus a pass over the block sizes when a block splits, once in some
// hundreds of inserts), so that filling a table row by row does not slow down as it grows.

#include "localtable/SqliteTable.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace zen {

class TRowOrder {
public:
    // Rows are ordered by table.SortKey; the table must outlive this object.
    explicit TRowOrder(const TSqliteTable& table);
    ~TRowOrder();
    TRowOrder(const TRowOrder&) = delete;
    TRowOrder& operator=(const TRowOrder&) = delete;

    size_t Size() const;
    // Replaces every row; `rows` may come in any order.
    void Assign(std::vector<TLocalRow> rows);
    // Adds a row whose RowId is not held yet and returns its position.
    size_t Insert(TLocalRow row);
    // Removes the row with this RowId, if there is one.
    void Erase(int64_t rowId);
    // The row at a position below Size().
    const TLocalRow& At(size_t position) const;
    // The row with this RowId, or nullptr.
    const TLocalRow* Find(int64_t rowId) const;
    // The position of the row with this RowId, or -1.
    long Position(int64_t rowId) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zen
