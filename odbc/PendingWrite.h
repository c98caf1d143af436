#pragma once
// What a row write under way has decided apart from the row's values: the columns it
// leaves out (SQL_COLUMN_IGNORE) and whether the key values that find its row are kept.
// It lasts from the first mark to the end of the row operation (or a fetch, which starts
// another row): a mark that outlived its write would make every later row read as if that
// column were empty.

#include <algorithm>
#include <cstddef>
#include <vector>

namespace zen {

class TPendingWrite {
public:
    // A new result set of `columns` columns: nothing pending.
    void Reset(size_t columns) {
        leftOut_.assign(columns, false);
        keysKept_ = false;
    }
    // Columns are 1-based; out of range is ignored.
    void LeaveOut(int col, bool on) {
        if (col >= 1 && static_cast<size_t>(col) <= leftOut_.size()) {
            leftOut_[static_cast<size_t>(col - 1)] = on;
        }
    }
    bool LeavesOut(int col) const {
        return col >= 1 && static_cast<size_t>(col) <= leftOut_.size() &&
               leftOut_[static_cast<size_t>(col - 1)];
    }
    void KeepKeys() noexcept { keysKept_ = true; }
    // Taken by the one write it serves.
    bool TakeKeys() noexcept {
        const bool kept = keysKept_;
        keysKept_ = false;
        return kept;
    }
    void ForgetKeys() noexcept { keysKept_ = false; }
    // The write ended, whichever way.
    void End() noexcept {
        std::fill(leftOut_.begin(), leftOut_.end(), false);
        keysKept_ = false;
    }

private:
    std::vector<bool> leftOut_;
    bool keysKept_ = false;
};

} // namespace zen
