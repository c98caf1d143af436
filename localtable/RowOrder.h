#pragma once
// The reading order of an open SQLite table. Only the RowIds and the first bytes of the
// sort keys are kept in memory, sixteen bytes a row, so that a table of millions of rows costs
// little to hold open; the rows themselves are read from the file when they are reached or compared
// (a few hundred recent ones are kept). The cursor reaches a row by its position and a bookmark by
// its RowId, and a posted row takes its place, each in logarithmic time (plus a pass over the block
// sizes when a block splits, once in some hundreds of inserts), so that filling a table row by row
// does not slow down as it grows.
//
// The order assumes that the rows change through this object while it is open: a row
// that another writer changed keeps the place it had, and one that another writer
// removed raises EDatabaseError when it is read again. Load reads the order again.

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
    // Takes every row of the table, in its reading order.
    void Load();
    // Adds a row stored in the table, whose RowId is not held yet, and returns its
    // position.
    size_t Insert(const TLocalRow& row);
    // Removes a row, given with the values it had when it was placed (the file may hold
    // others already, or none); nothing when it is not held.
    void Erase(const TLocalRow& row);
    // The row at a position below Size(). The reference holds until the next call.
    const TLocalRow& At(size_t position) const;
    // The row with this RowId, or nullptr when it is not held. The pointer holds until
    // the next call.
    const TLocalRow* Find(int64_t rowId) const;
    // The position of the row with this RowId, or -1.
    long Position(int64_t rowId) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zen
