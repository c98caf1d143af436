// Moving through the rows: first, last, by a distance, resynchronising and refreshing the
// active record, leaving edit modes, and bookmarks.

#include "toolkit/DataSet.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace zen {

// --- Navigation ------------------------------------------------------------------------

void TDataSet::UpdateCursorPos() {
    if (!cursorMoved_ || recordCount_ == 0) {
        return;
    }
    switch (GetBookmarkFlag(buffers_[0])) {
    case bfCurrent:
    case bfInserted:
        InternalSetToRecord(buffers_[0]);
        break;
    case bfBOF:
        InternalFirst();
        break;
    case bfEOF:
        InternalLast();
        break;
    }
    cursorMoved_ = false;
}

void TDataSet::TakeWorkBuffer() {
    std::swap(buffers_[0], buffers_[1]);
    if (recordCount_ == 0) {
        recordCount_ = 1;
        bof_ = false;
        eof_ = false;
    }
    cursorMoved_ = false;
}

// A failed read leaves the active record as it was: rows are read into the work buffer.
bool TDataSet::ReadRecord(TGetMode mode) {
    UpdateCursorPos();
    if (GetRecord(buffers_[1], mode, true) == grOK) {
        TakeWorkBuffer();
        return true;
    }
    cursorMoved_ = true;
    return false;
}

bool TDataSet::GetNextRecord() {
    return ReadRecord(gmNext);
}
bool TDataSet::GetPriorRecord() {
    return ReadRecord(gmPrior);
}

void TDataSet::First() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalFirst();
        GetNextRecord();
    } catch (...) {
        bof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    bof_ = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

void TDataSet::Last() {
    CheckBrowseMode();
    DoBeforeScroll();
    ClearBuffers();
    try {
        InternalLast();
        GetPriorRecord();
    } catch (...) {
        eof_ = true;
        DataEvent(deDataSetChange, 0);
        throw;
    }
    eof_ = true;
    DataEvent(deDataSetChange, 0);
    DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
    CheckBrowseMode();
    int moved = 0;
    DoBeforeScroll();
    if ((distance > 0 && !eof_) || (distance < 0 && !bof_)) {
        bof_ = false;
        eof_ = false;
        try {
            while (distance > 0) {
                if (!GetNextRecord()) {
                    eof_ = true;
                    break;
                }
                --distance;
                ++moved;
            }
            while (distance < 0) {
                if (!GetPriorRecord()) {
                    bof_ = true;
                    break;
                }
                ++distance;
                --moved;
            }
        } catch (...) {
            DataEvent(deDataSetChange, 0);
            throw;
        }
        DataEvent(moved != 0 ? deDataSetScroll : deDataSetChange, moved);
        DoAfterScroll();
    }
    return moved;
}

int TDataSet::RecordCount() {
    CheckActive();
    return GetRecordCount();
}

int TDataSet::RecNo() {
    CheckActive();
    return GetRecNo();
}

void TDataSet::SetRecNo(int value) {
    (void)value;
}

void TDataSet::Resync(TResyncMode mode) {
    CheckActive();
    if (mode & rmExact) {
        cursorMoved_ = true;
        if (GetRecord(buffers_[1], gmCurrent, true) != grOK) {
            DatabaseError("Record not found");
        }
    } else if (GetRecord(buffers_[1], gmCurrent, false) != grOK &&
               GetRecord(buffers_[1], gmNext, false) != grOK &&
               GetRecord(buffers_[1], gmPrior, false) != grOK) {
        ClearBuffers();
        DataEvent(deDataSetChange, 0);
        return;
    }
    std::swap(buffers_[0], buffers_[1]);
    recordCount_ = 1;
    bof_ = false;
    eof_ = false;
    cursorMoved_ = false;
    DataEvent(deDataSetChange, 0);
}

void TDataSet::Refresh() {
    CheckBrowseMode();
    DoBeforeRefresh();
    // An empty view has no row to re-read; Resync still looks for one.
    if (recordCount_ > 0) {
        cursorMoved_ = true;
        UpdateCursorPos();
        InternalRefresh();
    }
    Resync(0);
    DoAfterRefresh();
}

void TDataSet::CheckBrowseMode() {
    CheckActive();
    DataEvent(deCheckBrowseMode, 0);
    switch (state_) {
    case dsEdit:
    case dsInsert:
        UpdateRecord();
        if (modified_) {
            Post();
        } else {
            Cancel();
        }
        break;
    case dsSetKey:
        Post();
        break;
    default:
        break;
    }
}

void TDataSet::CheckEditing() const {
    if (state_ != dsEdit && state_ != dsInsert && state_ != dsSetKey) {
        DatabaseError("Dataset not in edit or insert mode");
    }
}

void TDataSet::UpdateRecord() {
    CheckEditing();
    DataEvent(deUpdateRecord, 0);
}

// --- Bookmarks -------------------------------------------------------------------------

bool TDataSet::BookmarkAvailable() {
    return (state_ == dsBrowse || state_ == dsEdit || state_ == dsInsert) && recordCount_ > 0 &&
           bookmarkSize_ > 0 && GetBookmarkFlag(buffers_[0]) == bfCurrent;
}

TBookmark TDataSet::GetBookmark() {
    TBookmark b;
    if (BookmarkAvailable()) {
        b.resize(static_cast<size_t>(bookmarkSize_));
        GetBookmarkData(buffers_[0], b.data());
    }
    return b;
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
    if (bookmark.empty()) {
        return;
    }
    if (static_cast<int>(bookmark.size()) != bookmarkSize_) {
        DatabaseError("Invalid bookmark");
    }
    CheckBrowseMode();
    DoBeforeScroll();
    InternalGotoBookmark(bookmark.data());
    Resync(rmExact | rmCenter);
    DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
    return !bookmark.empty() && static_cast<int>(bookmark.size()) == bookmarkSize_;
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
    if (a.empty() && b.empty()) {
        return 0;
    }
    if (a.empty() || b.empty()) {
        return 1;
    }
    size_t n = std::min(a.size(), b.size());
    int c = std::memcmp(a.data(), b.data(), n);
    if (c == 0) {
        c = a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
    }
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace zen
