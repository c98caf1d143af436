// Writing rows back: posting an edit or an insert, deleting and refreshing a row through
// the statement's row operations, the confirmations the statement asks for, the old values
// of an edit, and the lists that show the dataset's own writes when the cursor does not:
// the saved rows and deleted bookmarks over the driver's cursor, or the row cache.

#include "dataset/OEDataSet.h"

#include "dataset/DateTimeRec.h"
#include "odbc/OCLError.h"
#include "toolkit/DateTime.h"
#include "toolkit/NativeValue.h"

#include <algorithm>
#include <cstring>

namespace zen {

namespace {

// A field's native date-time value as the statement's date-time record.
TDateTimeRec RecOfNative(TFieldType type, const char* slot) {
    return RecOfDateTime(type, NativeToDateTime(type, slot));
}

} // namespace

// --- The statement's confirmations --------------------------------------------------------------

bool TCustomOEDataSet::DoInsert(TObject* sender, const std::string& defaultMsg) {
    (void)sender;
    (void)defaultMsg;
    bool apply = true;
    DoUpdateRecord(ukInsert, apply);
    return apply;
}

bool TCustomOEDataSet::DoUpdate(TObject* sender, const std::string& defaultMsg) {
    (void)sender;
    (void)defaultMsg;
    bool apply = true;
    DoUpdateRecord(ukModify, apply);
    return apply;
}

bool TCustomOEDataSet::DoDelete(TObject* sender, const std::string& defaultMsg) {
    (void)sender;
    (void)defaultMsg;
    bool apply = true;
    DoUpdateRecord(ukDelete, apply);
    return apply;
}

bool TCustomOEDataSet::DoRefresh(TObject* sender, const std::string& defaultMsg) {
    (void)defaultMsg;
    FireEvent(OnRefreshRecord, sender);
    return true;
}

void TCustomOEDataSet::DoUpdateRecord(TOEUpdateKind kind, bool& applyUpdate) {
    applyUpdate = true;
    if (OnUpdateRecord) {
        OnUpdateRecord(*this, kind, applyUpdate);
    }
    // An update object that writes this kind itself does so instead of the statement.
    if (applyUpdate && updateObject_ && updateObject_->Handles(kind)) {
        updateObject_->Apply(kind);
        applyUpdate = false;
    }
}

void TCustomOEDataSet::DoUpdateError(EODBC& e, TOEUpdateKind kind, bool& raiseError) {
    if (OnUpdateError) {
        OnUpdateError(*this, e, kind, raiseError);
    }
}

// --- Old values -------------------------------------------------------------------------------

void TCustomOEDataSet::DoBeforeEdit() {
    // A row posted as new is edited as the database holds it, defaults included.
    if (ActiveBuffer() && !IsEmpty()) {
        ReadPostedRow(ActiveBuffer());
    }
    // The values before the edit, for OldValue and for writing the row back.
    if (oldValuesBuffer_ && ActiveBuffer()) {
        CopyRecord(ActiveBuffer(), oldValuesBuffer_);
    }
    TDataSet::DoBeforeEdit();
}

void TCustomOEDataSet::DoBeforeDelete() {
    if (oldValuesBuffer_ && ActiveBuffer()) {
        CopyRecord(ActiveBuffer(), oldValuesBuffer_);
    }
    TDataSet::DoBeforeDelete();
}

void TCustomOEDataSet::DoAfterCancel() {
    if (oldValuesBuffer_) {
        InternalInitRecord(oldValuesBuffer_);
    }
    TDataSet::DoAfterCancel();
}

void TCustomOEDataSet::DoAfterDelete() {
    if (oldValuesBuffer_) {
        InternalInitRecord(oldValuesBuffer_);
    }
    TDataSet::DoAfterDelete();
}

void TCustomOEDataSet::DoAfterPost() {
    if (oldValuesBuffer_) {
        InternalInitRecord(oldValuesBuffer_);
    }
    if (readBackPosted_) {
        readBackPosted_ = false;
        if (THstmt::TRowImage* image = RowImage(ActiveBuffer()); image && !IsEmpty()) {
            image->clear();
        }
    }
    TDataSet::DoAfterPost();
    if (!locateKeyNames_.empty()) {
        // The cursor may not show the inserted row: read the rows afresh and find it.
        std::string names = std::move(locateKeyNames_);
        TVariant values = std::move(locateKeyValues_);
        locateKeyNames_.clear();
        locateKeyValues_ = TVariant();
        RefreshResults();
        Locate(names, values, 0);
    }
}

// --- Writes of a row the cursor does not have -------------------------------------------------

namespace {
// While it lives, and `on`, the statement's writes go by generated statements.
class TGeneratedWrites {
public:
    TGeneratedWrites(THstmt& stmt, bool on) : stmt_(stmt), was_(stmt.WritesThroughCursor()) {
        if (on) {
            stmt_.SetWritesThroughCursor(false);
        }
    }
    ~TGeneratedWrites() { stmt_.SetWritesThroughCursor(was_); }
    TGeneratedWrites(const TGeneratedWrites&) = delete;
    TGeneratedWrites& operator=(const TGeneratedWrites&) = delete;

private:
    THstmt& stmt_;
    bool was_;
};

// While it lives, the write under way is of a row refreshed past the cursor.
class TRefreshedRow {
public:
    TRefreshedRow(bool& flag, bool on) : flag_(flag) { flag_ = on; }
    ~TRefreshedRow() { flag_ = false; }
    TRefreshedRow(const TRefreshedRow&) = delete;
    TRefreshedRow& operator=(const TRefreshedRow&) = delete;

private:
    bool& flag_;
};
} // namespace

// --- A posted new row read back ------------------------------------------------------------

namespace {
// The image of a posted row that could not be read back (no key known): tried once.
const THstmt::TRowImage kNotReadBack{0xFF};
} // namespace

bool TCustomOEDataSet::NeedsReadBack(TRecordBuffer buffer) const {
    const THstmt::TRowImage* image = RowImage(buffer);
    return image && image->empty() && !cachedUpdates_ && Active() && State() != dsInsert;
}

// A row inserted through the dataset shows the values the operator gave, not what the
// database made of them (defaults, values it converted). It is read back by its key when
// first needed (an edit, a field read), not at the post: a run of appends, which reads
// nothing back, costs no query more.
void TCustomOEDataSet::ReadPostedRow(TRecordBuffer buffer) {
    if (!NeedsReadBack(buffer)) {
        return;
    }
    THstmt::TRowImage* image = RowImage(buffer);
    *image = kNotReadBack;
    FillRow(buffer, false);
    ApplyTarget(false);
    std::vector<int> keys;
    try {
        keys = stmt_->PrimaryColumns();
    } catch (const EODBC&) {
        throw; // the database failed, which is no answer
    } catch (const EODBCExpress&) {
        return; // no table or key to find it by: it stays as posted
    }
    if (keys.empty() ||
        std::any_of(keys.begin(), keys.end(), [&](int col) { return stmt_->ColIsNull(col); })) {
        return; // a key the database gives (a serial) is not known here
    }
    if (!stmt_->ReadRowByKey(1)) {
        return;
    }
    FillFromRow(1, buffer); // with its image
    if (UsesCache() && buffer == ActiveBuffer()) {
        // The cache's copy is the one a later move shows.
        InternalSetToRecord(buffer);
        CopyRecord(buffer, CurrentCachedRow());
    }
}

// --- One record buffer into the statement's row -------------------------------------------------

void TCustomOEDataSet::FromField(int col, TRecordBuffer buffer, bool forInsert) {
    const auto i = static_cast<size_t>(col - 1);
    const char* slot = buffer + slotOffsets_[i];
    const int valueSize = slotSizes_[i] - 1;
    THstmt& s = *stmt_;
    // A column the statement holds no value of (a type it cannot bind) is never written:
    // its NULL would overwrite what the database has.
    if (!colLong_[i] && s.ColElementSize(col) == 0) {
        s.SetColIgnored(col, true);
        return;
    }
    // A deferred long value never read is the database's still: writing the empty
    // stream would wipe it.
    if (colLong_[i] && slot[valueSize] == kUnreadLong) {
        s.SetColIgnored(col, true);
        return;
    }
    // Marks from an earlier write do not carry over: each write names its own columns.
    s.SetColIgnored(col, false);
    if (slot[valueSize] == 0) {
        // An insert leaves a NULL out, so that the database's default applies.
        if (forInsert && !emptyFieldToNull_) {
            s.SetColIgnored(col, true);
        } else {
            s.SetColNull(col);
        }
        return;
    }
    if (colLong_[i]) {
        if (TMemoryStream* stream = SlotStream(buffer, col)) {
            s.SetColStream(col, *stream);
        }
        return;
    }
    if (IsTextSlot(col)) {
        s.SetColString(col, std::string(SlotText(buffer, col)));
        return;
    }
    switch (colTypes_[i]) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
        s.SetColInteger(col, static_cast<int32_t>(NativeToInteger(colTypes_[i], slot)));
        break;
    case ftFloat:
    case ftCurrency:
        s.SetColDouble(col, NativeToFloat(slot));
        break;
    case ftDate:
    case ftTime:
    case ftDateTime:
        s.SetColDateTimeRec(col, RecOfNative(colTypes_[i], slot));
        break;
    case ftBytes:
    case ftBlob:
        s.SetColString(col, std::string(NativeText(slot, static_cast<size_t>(valueSize))));
        break;
    case ftLargeint:
        s.SetColInt64(col, NativeToInteger(ftLargeint, slot));
        break;
    default:
        break;
    }
}

void TCustomOEDataSet::FillRow(TRecordBuffer buffer, bool forInsert) {
    for (int col = 1; col <= static_cast<int>(slotSizes_.size()); ++col) {
        FromField(col, buffer, forInsert);
    }
}

void TCustomOEDataSet::ApplyTarget(bool forInsert) {
    const TTarget& target = hStmt_->Target();
    stmt_->SetTargetTable(target.TargetTable());
    for (const std::string& name : target.PrimaryCols()) {
        stmt_->SetColPrimary(stmt_->ColByName(name), true);
    }
    for (const std::string& name :
         forInsert ? target.IgnoreInsertCols() : target.IgnoreUpdateCols()) {
        stmt_->SetColIgnored(stmt_->ColByName(name), true);
    }
}

bool TCustomOEDataSet::SlotChanged(int col, TRecordBuffer before, TRecordBuffer after) const {
    const auto i = static_cast<size_t>(col - 1);
    const int valueSize = slotSizes_[i] - 1;
    const char* a = before + slotOffsets_[i];
    const char* b = after + slotOffsets_[i];
    if (a[valueSize] != b[valueSize]) {
        return true;
    }
    if (a[valueSize] == 0 || a[valueSize] == kUnreadLong) {
        return false; // both NULL, or both the database's unread value
    }
    if (colLong_[i]) {
        TMemoryStream* x = SlotStream(before, col);
        TMemoryStream* y = SlotStream(after, col);
        return !x || !y || x->Size() != y->Size() ||
               (x->Size() > 0 &&
                std::memcmp(x->Memory(), y->Memory(), static_cast<size_t>(x->Size())) != 0);
    }
    if (IsTextSlot(col)) {
        return SlotText(before, col) != SlotText(after, col);
    }
    return std::memcmp(a, b, static_cast<size_t>(valueSize)) != 0;
}

// Row 1 of the statement as the database holds the row a buffer shows: its image when it
// has one (exact values), else the buffer's own values. Key values for the write are
// kept from it.
bool TCustomOEDataSet::PutRowBack(TRecordBuffer buffer) {
    const THstmt::TRowImage* image = RowImage(buffer);
    const bool exact = image && stmt_->RestoreRow(*image, 1);
    if (!exact) {
        FillRow(buffer, false);
    }
    return exact;
}

// A text the driver gave cut (it would not give it again whole) is shown cut: written back
// from the field it would lose its end. Row 1 holds the value as read.
void TCustomOEDataSet::RefuseCutText(int col) {
    if (IsTextSlot(col) && stmt_->ColCut(col)) {
        throw EODBCExpress("Polje " + stmt_->ColName(col) +
                           " ima daljše besedilo, kot ga gonilnik da celega: tu ga ni mogoče "
                           "spremeniti.");
    }
}

void TCustomOEDataSet::UpdateRecords(TRecordBuffer buffer) {
    // The row is found by what it held before the edit (an edit of the key still finds it
    // by its old one), and only the columns the edit changed are written: the others are
    // the database's, whatever the record buffer can hold of them.
    TRecordBuffer before = State() == dsEdit && oldValuesBuffer_ && buffer == ActiveBuffer()
                               ? oldValuesBuffer_
                               : buffer;
    const THstmt::TRowImage original = RowImage(before) ? *RowImage(before) : THstmt::TRowImage();
    // Kept keys and columns left out serve this write alone, also when filling the row
    // fails.
    struct TForget {
        THstmt& s;
        ~TForget() { s.EndPendingWrite(); }
    } forget{*stmt_};
    if (refreshed_) {
        PutRowBack(before);
        RefuseChangedRow(original);
    }
    const bool exact = PutRowBack(before);
    stmt_->KeepKeyValues(1);
    int changed = 0;
    for (int col = 1; col <= static_cast<int>(slotSizes_.size()); ++col) {
        if (before != buffer && !SlotChanged(col, before, buffer)) {
            stmt_->SetColIgnored(col, true);
            continue;
        }
        if (exact) {
            RefuseCutText(col);
        }
        FromField(col, buffer, false);
        ++changed;
    }
    if (changed == 0) {
        return; // nothing to write
    }
    stmt_->SetRowFlags(1, rfUpdate);
    ApplyTarget(false);
    stmt_->UpdateRow(1);
    if (THstmt::TRowImage* image = RowImage(buffer); image && exact) {
        *image = stmt_->CaptureWritten(original, 1);
    }
}

void TCustomOEDataSet::InsertRecords(TRecordBuffer buffer) {
    FillRow(buffer, true);
    stmt_->SetRowFlags(1, rfInsert);
    ApplyTarget(true);
    stmt_->InsertRow();
    // A key the database made is asked for now, while it is still the last one made: the
    // row is read back by it later (ReadPostedRow), as a row with a given key is.
    if (stmt_->ReadGeneratedKey(1)) {
        for (int col : stmt_->PrimaryColumns()) {
            ToField(col, 1, buffer);
        }
    }
}

void TCustomOEDataSet::DeleteRecords(TRecordBuffer buffer) {
    if (refreshed_ && RowImage(buffer)) {
        const THstmt::TRowImage original = *RowImage(buffer);
        PutRowBack(buffer);
        RefuseChangedRow(original);
    }
    PutRowBack(buffer);
    stmt_->SetRowFlags(1, rfDelete);
    ApplyTarget(false);
    stmt_->DeleteRow(1);
}

void TCustomOEDataSet::RefreshRecords(TRecordBuffer buffer) {
    PutRowBack(buffer);
    stmt_->SetRowFlags(1, rfRefresh);
    ApplyTarget(false);
    stmt_->RefreshRow(1);
    FillFromRow(1, buffer);
}

bool TCustomOEDataSet::RefreshedPastCursor(const TBookmark& bookmark) const {
    return !bookmark.empty() && std::find(refreshedBookmarks_.begin(), refreshedBookmarks_.end(),
                                          bookmark) != refreshedBookmarks_.end();
}

void TCustomOEDataSet::RefuseChangedRow(const THstmt::TRowImage& original) {
    // Row 1 holds the row as refreshed, so its key finds it; what is read replaces it.
    if (!stmt_->ReadRowByKey(1) || stmt_->CaptureRow(1) != original) {
        throw EODBC(stmt_.get(), SQL_ERROR,
                    {{"01001", 0, "Zapis je spremenil ali izbrisal drug uporabnik."}});
    }
}

// --- The lists
// ------------------------------------------------------------------------------------

TBookmark TCustomOEDataSet::BufferBookmark(TRecordBuffer buffer) const {
    const char* block = BookmarkBlock(buffer);
    return block ? TBookmark(block, block + BookmarkSize()) : TBookmark();
}

TRecordBuffer TCustomOEDataSet::FindSavedRow(const TBookmark& bookmark) {
    for (TRecordBuffer b : savedRows_) {
        if (CompareBookmarks(BufferBookmark(b), bookmark) == 0) {
            return b;
        }
    }
    return nullptr;
}

// A copy of the buffer in the saved-rows list, in place of one with the same bookmark.
TRecordBuffer TCustomOEDataSet::SaveRow(TRecordBuffer buffer) {
    TRecordBuffer saved = FindSavedRow(BufferBookmark(buffer));
    if (!saved) {
        saved = NewBuffer();
        savedRows_.push_back(saved);
    }
    CopyRecord(buffer, saved);
    return saved;
}

TRecordBuffer TCustomOEDataSet::CurrentCachedRow() const {
    if (cachePosition_ < 1 || cachePosition_ > static_cast<int>(rowCache_.size())) {
        throw EODBCExpress("Current record not found in cache.");
    }
    return rowCache_[static_cast<size_t>(cachePosition_ - 1)];
}

// A posted new row joins the cache before the current position (at the end when there is
// none), and the dataset stands on it.
void TCustomOEDataSet::AddCachedRow(TRecordBuffer buffer) {
    TRecordBuffer row = NewBuffer();
    CopyRecord(buffer, row);
    TRecInfo info = ReadInfo(row);
    info.bookmarkFlag = bfInserted;
    info.updateStatus = cachedUpdates_ ? usInserted : usUnmodified;
    info.formerCacheIndex = -1;
    WriteInfo(row, info);
    int32_t seq = ++bookmarkSequence_;
    std::memcpy(BookmarkBlock(row), &seq, sizeof seq);
    if (cachedUpdates_) {
        ++insertedCount_;
    }
    size_t at = cachePosition_ > 0 ? static_cast<size_t>(cachePosition_ - 1) : rowCache_.size();
    at = std::min(at, rowCache_.size());
    rowCache_.insert(rowCache_.begin() + static_cast<std::ptrdiff_t>(at), row);
    cachePosition_ = static_cast<int32_t>(at + 1);
}

std::string TCustomOEDataSet::LocateKeyNames() {
    std::string names;
    for (const std::string& name : hStmt_->Target().PrimaryCols()) {
        names += name + ";";
    }
    if (names.empty()) {
        for (int col : stmt_->PrimaryColumns()) {
            names += stmt_->ColName(col) + ";";
        }
    }
    if (names.empty()) {
        throw EODBCExpress("Cannot detect primary columns to locate inserted row.");
    }
    names.pop_back();
    return names;
}

// --- The toolkit's writes ------------------------------------------------------------------------

void TCustomOEDataSet::InternalPost() {
    TRecordBuffer active = ActiveBuffer();
    const bool editing = State() == dsEdit;
    // Worked out before writing: a post that fails must not leave its row written.
    std::string keyNames = !editing && locateInsert_ ? LocateKeyNames() : std::string();
    if (editing) {
        InternalSetToRecord(active);
    }
    if (!cachedUpdates_) {
        const TRefreshedRow refreshed(refreshed_, editing && !UsesCache() &&
                                                      RefreshedPastCursor(BufferBookmark(active)));
        TGeneratedWrites generated(*stmt_, postedInsertShown_ || refreshed_);
        editing ? UpdateRecords(active) : InsertRecords(active);
    }
    if (editing) {
        if (postedInsertShown_) {
            return; // not the cursor's row: nothing to show in its place
        }
        if (UsesCache()) {
            TRecordBuffer row = CurrentCachedRow();
            TRecInfo info = ReadInfo(row);
            if (cachedUpdates_ && info.updateStatus == usUnmodified) {
                SaveRow(row);
                info.updateStatus = usModified;
                WriteInfo(row, info);
            }
            CopyRecord(active, row);
        } else {
            // The cursor may go on showing the old values: reads of this row show ours.
            SaveRow(active);
        }
        return;
    }
    // What the cursor shows of the new row is what was sent, not what the database made
    // of it: read back when first needed (DoAfterPost, ReadPostedRow).
    readBackPosted_ = !cachedUpdates_;
    if (UsesCache()) {
        AddCachedRow(active);
    } else if (!cachedUpdates_ && !stmt_->InsertsThroughCursor()) {
        // The cursor does not have the row: it stays the current record as it is.
        std::memset(BookmarkBlock(active), 0, static_cast<size_t>(BookmarkSize()));
        SetBookmarkFlag(active, bfCurrent);
        postedInsertShown_ = true;
    }
    if (!keyNames.empty()) {
        locateKeyValues_ = FieldValues(keyNames);
        locateKeyNames_ = keyNames;
    }
}

void TCustomOEDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
    (void)append;
    std::string keyNames = locateInsert_ ? LocateKeyNames() : std::string();
    if (!cachedUpdates_) {
        InsertRecords(buffer);
    }
    if (UsesCache()) {
        AddCachedRow(buffer);
    }
    if (!keyNames.empty()) {
        locateKeyValues_ = FieldValues(keyNames);
        locateKeyNames_ = keyNames;
    }
}

void TCustomOEDataSet::InternalDelete() {
    TRecordBuffer active = ActiveBuffer();
    InternalSetToRecord(active);
    TBookmark bookmark = UsesCache() ? TBookmark() : BufferBookmark(active);
    if (!cachedUpdates_) {
        const TRefreshedRow refreshed(refreshed_, !UsesCache() && RefreshedPastCursor(bookmark));
        TGeneratedWrites generated(*stmt_, postedInsertShown_ || refreshed_);
        DeleteRecords(active);
    }
    if (postedInsertShown_) {
        // Gone, and the cursor never had it: the dataset moves on to a row of the cursor.
        postedInsertShown_ = false;
        SetBookmarkFlag(active, bfEOF);
        return;
    }
    if (!UsesCache()) {
        // The cursor may still return the row: it is skipped from now on.
        deletedBookmarks_.push_back(std::move(bookmark));
        return;
    }
    TRecordBuffer row = CurrentCachedRow();
    TRecInfo info = ReadInfo(row);
    if (cachedUpdates_ && info.updateStatus < usInserted) {
        TRecordBuffer saved =
            info.updateStatus == usUnmodified ? SaveRow(row) : FindSavedRow(BufferBookmark(row));
        if (saved) {
            TRecInfo savedInfo = ReadInfo(saved);
            savedInfo.updateStatus = usDeleted;
            savedInfo.formerCacheIndex = cachePosition_ - 1;
            WriteInfo(saved, savedInfo);
        }
    }
    rowCache_.erase(rowCache_.begin() + (cachePosition_ - 1));
    FreeBuffer(row);
    // The row after the deleted one takes its place; it may not have been read yet.
    FillCache(cachePosition_);
    cachePosition_ = std::min(cachePosition_, static_cast<int32_t>(rowCache_.size()));
}

void TCustomOEDataSet::InternalRefresh() {
    TRecordBuffer active = ActiveBuffer();
    InternalSetToRecord(active);
    TBookmark bookmark = UsesCache() ? TBookmark() : BufferBookmark(active);
    if (!cachedUpdates_) {
        TGeneratedWrites generated(*stmt_, postedInsertShown_);
        RefreshRecords(active);
    }
    if (UsesCache()) {
        CopyRecord(active, CurrentCachedRow());
    } else if (!cachedUpdates_ && !postedInsertShown_ && !bookmark.empty() &&
               stmt_->WritesThroughCursor() && !stmt_->RefreshesThroughCursor()) {
        // The cursor goes on showing and knowing the row as it was: reads of it show the
        // refreshed values, and its writes find it by them.
        SaveRow(active);
        if (!RefreshedPastCursor(bookmark)) {
            refreshedBookmarks_.push_back(bookmark);
        }
    } else if (TRecordBuffer saved = FindSavedRow(bookmark)) {
        CopyRecord(active, saved);
    }
}

TUpdateStatus TCustomOEDataSet::UpdateStatus() {
    TRecordBuffer b = ActiveRecordBuffer();
    if (!cachedUpdates_ || !b) {
        return TDataSet::UpdateStatus();
    }
    // A record not yet posted has no row in the cache.
    if (GetBookmarkFlag(b) != bfCurrent) {
        return State() == dsInsert ? usInserted : TDataSet::UpdateStatus();
    }
    InternalSetToRecord(b);
    return static_cast<TUpdateStatus>(ReadInfo(CurrentCachedRow()).updateStatus);
}

} // namespace zen
