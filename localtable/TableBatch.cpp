// TTable's batches: the writes of a run phase gathered into one transaction of the
// table's file, and what becomes of them when a write or the commit fails.

#include "localtable/Table.h"

#include "toolkit/Exceptions.h"

#include <algorithm>

namespace zen {

TTable::TBatch::TBatch(TTable& table) : table_(&table) {
    table.CheckActive();
    if (!table.sql_) {
        table.DatabaseError("Cannot modify a read-only dataset");
    }
    if (table.batches_.empty()) {
        table.sql_->BeginBatch();
    }
    table.batches_.push_back(this);
}

TTable::TBatch::~TBatch() {
    if (table_) {
        table_->EndBatch(this, false);
    }
}

void TTable::TBatch::Commit() {
    if (table_) {
        table_->EndBatch(this, true);
    }
}

void TTable::EndBatch(TBatch* batch, bool raise) {
    std::erase(batches_, batch);
    batch->table_ = nullptr;
    if (batches_.empty()) {
        FinishTransaction(raise);
    }
}

void TTable::EndBatches(bool raise) {
    if (batches_.empty()) {
        return;
    }
    for (TBatch* batch : batches_) {
        batch->table_ = nullptr;
    }
    batches_.clear();
    FinishTransaction(raise);
}

// Commits the batches' transaction. It ends in any case; when it was rolled back instead,
// the rows in memory are read again so that the table shows what its file holds.
void TTable::FinishTransaction(bool raise) {
    try {
        sql_->CommitBatch();
    } catch (...) {
        try {
            ReloadRows();
        } catch (...) {
        }
        if (raise) {
            throw;
        }
    }
}

// After some failures (a full disk, an I/O error) SQLite rolls an open transaction back
// by itself, and with it every row the batch wrote so far. The table is then read again,
// so that it shows what the file holds, and a new transaction keeps the rest of the batch
// together; the caller sees the original failure.
void TTable::Write(const std::function<void()>& write) {
    try {
        write();
    } catch (...) {
        if (!batches_.empty() && !sql_->InTransaction()) {
            try {
                ReloadRows();
                sql_->BeginBatch();
            } catch (...) {
            }
        }
        throw;
    }
}

} // namespace zen
