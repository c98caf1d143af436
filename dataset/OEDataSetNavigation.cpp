// Moving: the fetch primitives over the statement or the row cache, first and last,
// bookmarks, record numbers and counts.

#include "dataset/OEDataSet.h"

#include "odbc/OCLError.h"

#include <algorithm>
#include <cstring>

namespace zen {

// --- Fetch primitives ------------------------------------------------------------------------

bool TCustomOEDataSet::FetchFirst() {
    postedInsertShown_ = false;
    return UsesCache() ? FetchCache(SQL_FETCH_FIRST, 0) : stmt_->FetchFirst();
}

bool TCustomOEDataSet::FetchNext() {
    postedInsertShown_ = false;
    return UsesCache() ? FetchCache(SQL_FETCH_NEXT, 0) : stmt_->FetchNext();
}

bool TCustomOEDataSet::FetchLast() {
    postedInsertShown_ = false;
    return UsesCache() ? FetchCache(SQL_FETCH_LAST, 0) : stmt_->FetchLast();
}

bool TCustomOEDataSet::FetchPrev() {
    postedInsertShown_ = false;
    return UsesCache() ? FetchCache(SQL_FETCH_PRIOR, 0) : stmt_->FetchPrev();
}

bool TCustomOEDataSet::FetchAbsolute(int n) {
    postedInsertShown_ = false;
    return UsesCache() ? FetchCache(SQL_FETCH_ABSOLUTE, n) : stmt_->FetchAbsolute(n);
}

bool TCustomOEDataSet::FetchBookmark(const void* bookmark) {
    postedInsertShown_ = false;
    if (UsesCache()) {
        return FetchCache(SQL_FETCH_BOOKMARK, 0, bookmark);
    }
    const auto* p = static_cast<const unsigned char*>(bookmark);
    return stmt_->FetchBookmark(std::vector<unsigned char>(p, p + BookmarkSize()));
}

bool TCustomOEDataSet::FetchCache(SQLSMALLINT direction, int n, const void* bookmark) {
    int p = cachePosition_;
    switch (direction) {
    case SQL_FETCH_NEXT:
        p = cachePosition_ + 1;
        break;
    case SQL_FETCH_FIRST:
        p = 1;
        break;
    case SQL_FETCH_LAST:
        p = -1;
        break;
    case SQL_FETCH_PRIOR:
        p = cachePosition_ > 0 ? cachePosition_ - 1 : cachePosition_;
        break;
    case SQL_FETCH_ABSOLUTE:
        p = n;
        break;
    case SQL_FETCH_RELATIVE:
        p = cachePosition_ + n;
        break;
    case SQL_FETCH_BOOKMARK: {
        int32_t wanted = 0;
        std::memcpy(&wanted, bookmark, sizeof wanted);
        for (size_t i = 0; i < rowCache_.size(); ++i) {
            int32_t seq = 0;
            std::memcpy(&seq, BookmarkBlock(rowCache_[i]), sizeof seq);
            if (seq == wanted) {
                cachePosition_ = static_cast<int32_t>(i + 1);
                return true;
            }
        }
        throw EODBCExpress("Bookmark not found in cache.");
    }
    default:
        break;
    }
    return GoToCachePosition(p);
}

bool TCustomOEDataSet::GoToCachePosition(int p) {
    if (p < 0) {
        FillCache(-1);
        const int count = static_cast<int>(rowCache_.size());
        cachePosition_ = count >= -p ? count + p + 1 : 0;
    } else if (p > static_cast<int>(rowCache_.size())) {
        FillCache(p);
        const int count = static_cast<int>(rowCache_.size());
        cachePosition_ = count < p ? count + 1 : p;
    } else {
        cachePosition_ = p;
    }
    return cachePosition_ >= 1 && cachePosition_ <= static_cast<int>(rowCache_.size());
}

void TCustomOEDataSet::FillCache(int p) {
    if (allFetched_) {
        return;
    }
    const bool all = p < 0;
    while ((all || static_cast<int>(rowCache_.size()) < p) && stmt_->FetchNext()) {
        for (SQLULEN r = 1; r <= stmt_->NumRowsFetched(); ++r) {
            TRecordBuffer b = NewBuffer();
            rowCache_.push_back(b);
            TRecInfo info = ReadInfo(b);
            info.bookmarkFlag = bfInserted;
            info.updateStatus = usUnmodified;
            info.formerCacheIndex = -1;
            WriteInfo(b, info);
            int32_t seq = ++bookmarkSequence_;
            std::memcpy(BookmarkBlock(b), &seq, sizeof seq);
            FillFromRow(r, b);
        }
    }
    allFetched_ = all || static_cast<int>(rowCache_.size()) < p;
}

TBookmark TCustomOEDataSet::CurrentBookmark() {
    if (UsesCache()) {
        if (cachePosition_ < 1 || cachePosition_ > static_cast<int>(rowCache_.size())) {
            throw EODBCExpress("Current record not found in cache.");
        }
        const char* block = BookmarkBlock(rowCache_[static_cast<size_t>(cachePosition_ - 1)]);
        return TBookmark(block, block + 4);
    }
    std::vector<unsigned char> b = stmt_->GetBookmark();
    return TBookmark(b.begin(), b.end());
}

// --- Moving --------------------------------------------------------------------------------

void TCustomOEDataSet::InternalFirst() {
    FetchFirst();
    FetchPrev();
}

void TCustomOEDataSet::InternalLast() {
    FetchLast();
    FetchNext();
}

void TCustomOEDataSet::InternalGotoBookmark(const void* data) {
    if (data) {
        FetchBookmark(data);
    }
}

void TCustomOEDataSet::InternalSetToRecord(TRecordBuffer buffer) {
    // The row of a generated INSERT is not the cursor's: it stays where it is.
    if (postedInsertShown_ && buffer == ActiveBuffer()) {
        return;
    }
    InternalGotoBookmark(BookmarkBlock(buffer));
}

bool TCustomOEDataSet::BookmarkValid(const TBookmark& bookmark) {
    return !bookmark.empty();
}

int TCustomOEDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() && b.empty()) {
        return 0;
    }
    if (a.empty() || b.empty()) {
        return 1;
    }
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return 0;
}

int TCustomOEDataSet::GetRecNo() {
    if (!UsesCache()) {
        return TDataSet::GetRecNo();
    }
    TRecordBuffer b = ActiveRecordBuffer();
    if (!b) {
        return 0;
    }
    InternalSetToRecord(b);
    return cachePosition_;
}

void TCustomOEDataSet::SetRecNo(int value) {
    if (!UsesCache()) {
        return;
    }
    CheckActive();
    if (TRecordBuffer b = ActiveRecordBuffer()) {
        InternalSetToRecord(b);
    }
    if (value != cachePosition_) {
        MoveAbsolute(value);
    }
}

bool TCustomOEDataSet::MoveAbsolute(int n) {
    if (IsEmpty()) {
        return true;
    }
    CheckBrowseMode();
    DoBeforeScroll();
    bool found = FetchAbsolute(n);
    if (!found) {
        found = n <= 0 ? FetchNext() : FetchPrev();
    }
    Resync(rmExact | rmCenter);
    DoAfterScroll();
    return found;
}

int TCustomOEDataSet::GetRecordCount() {
    // The cache knows its count once every row is in it; the statement is not asked.
    if (cached_) {
        return static_cast<int>(DoRowCount(stmt_.get()));
    }
    if (readAhead_ && stmt_->RowCountMethod() == rcFunction) {
        // A cursor that steps through its result cannot know the count (SQLite's says 0):
        // the count query, or a traversal on a statement of its own, tells it.
        stmt_->SetRowCountMethod(rcSelect);
        long n = -1;
        try {
            n = stmt_->RowCount();
        } catch (...) {
            stmt_->SetRowCountMethod(rcFunction);
            throw;
        }
        stmt_->SetRowCountMethod(rcFunction);
        return static_cast<int>(n);
    }
    return static_cast<int>(stmt_->RowCount());
}

long TCustomOEDataSet::DoRowCount(TObject* sender) {
    (void)sender;
    if (!cached_) {
        return -1;
    }
    FetchAll();
    return static_cast<long>(rowCache_.size());
}

void TCustomOEDataSet::FetchAll() {
    if (UsesCache() && allFetched_) {
        return;
    }
    CheckBrowseMode();
    FetchLast();
    CursorPosChanged();
}

} // namespace zen
