// Record buffers: the layout, allocating and copying buffers, filling them from the
// statement's rows, reading and writing field values, and reading rows in the three
// modes, with the filter applied.

#include "dataset/OEDataSet.h"

#include "dataset/DateTimeRec.h"
#include "dataset/OEBlobStream.h"
#include "odbc/ColumnText.h"
#include "odbc/OCLError.h"
#include "toolkit/NativeValue.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace zen {

namespace {

constexpr int kRecInfoSize = 10;
constexpr int kStreamRefSize = 4;
// A blob or memo column that the statement binds as a plain value keeps this many bytes.
constexpr int kShortBlobSize = 256;

int SlotSizeOf(TFieldType type, bool isLong, int size) {
    if (isLong) {
        return kStreamRefSize + 1;
    }
    switch (type) {
    case ftString:
        // Size counts characters: the slot holds them in UTF-8 with the terminator.
        return FieldDataSize(ftString, size) + 1;
    case ftSmallint:
    case ftWord:
    case ftBoolean:
        return 3;
    case ftInteger:
        return 5;
    case ftFloat:
    case ftCurrency:
    case ftLargeint:
    case ftDate:
    case ftTime:
    case ftDateTime:
        return 9;
    case ftBytes:
        return size + 1;
    case ftBlob:
    case ftMemo:
        return kShortBlobSize + 1;
    default:
        return 1;
    }
}

} // namespace

// --- Layout ------------------------------------------------------------------------------

void TCustomOEDataSet::ComputeLayout() {
    const int n = stmt_->NumCols();
    slotOffsets_.assign(static_cast<size_t>(n), 0);
    slotSizes_.assign(static_cast<size_t>(n), 0);
    colTypes_.assign(static_cast<size_t>(n), ftUnknown);
    colLong_.assign(static_cast<size_t>(n), false);
    int offset = 0;
    for (int col = 1; col <= n; ++col) {
        const TFieldDef& def = FieldDefs()[col - 1];
        auto i = static_cast<size_t>(col - 1);
        colTypes_[i] = def.DataType();
        colLong_[i] = stmt_->ColIsLong(col);
        slotSizes_[i] = SlotSizeOf(def.DataType(), colLong_[i], def.Size());
        slotOffsets_[i] = offset;
        offset += slotSizes_[i];
    }
    dataSize_ = offset;
    calcOffset_ = dataSize_ + kRecInfoSize;
    recordSize_ = dataSize_ + kRecInfoSize + CalcFieldsSize();
}

int TCustomOEDataSet::SlotSize(int col) const {
    return col >= 1 && col <= static_cast<int>(slotSizes_.size())
               ? slotSizes_[static_cast<size_t>(col - 1)]
               : 0;
}

int TCustomOEDataSet::SlotOffset(int col) const {
    return col >= 1 && col <= static_cast<int>(slotOffsets_.size())
               ? slotOffsets_[static_cast<size_t>(col - 1)]
               : 0;
}

TCustomOEDataSet::TRecInfo TCustomOEDataSet::ReadInfo(TRecordBuffer buffer) const {
    TRecInfo info{};
    const char* p = buffer + dataSize_;
    std::memcpy(&info.bookmarkRef, p, 4);
    info.bookmarkFlag = static_cast<uint8_t>(p[4]);
    info.updateStatus = static_cast<uint8_t>(p[5]);
    std::memcpy(&info.formerCacheIndex, p + 6, 4);
    return info;
}

void TCustomOEDataSet::WriteInfo(TRecordBuffer buffer, const TRecInfo& info) const {
    char* p = buffer + dataSize_;
    std::memcpy(p, &info.bookmarkRef, 4);
    p[4] = static_cast<char>(info.bookmarkFlag);
    p[5] = static_cast<char>(info.updateStatus);
    std::memcpy(p + 6, &info.formerCacheIndex, 4);
}

char* TCustomOEDataSet::BookmarkBlock(TRecordBuffer buffer) const {
    uint32_t ref = ReadInfo(buffer).bookmarkRef;
    if (ref == 0 || ref > bookmarkBlocks_.size()) {
        return nullptr;
    }
    return const_cast<char*>(bookmarkBlocks_[ref - 1].data());
}

THstmt::TRowImage* TCustomOEDataSet::RowImage(TRecordBuffer buffer) const {
    if (!buffer) {
        return nullptr;
    }
    uint32_t ref = ReadInfo(buffer).bookmarkRef;
    return ref >= 1 && ref <= rowImages_.size() ? &rowImages_[ref - 1] : nullptr;
}

TMemoryStream* TCustomOEDataSet::SlotStream(TRecordBuffer buffer, int col) const {
    uint32_t ref = 0;
    std::memcpy(&ref, buffer + SlotOffset(col), sizeof ref);
    return ref >= 1 && ref <= streams_.size() ? streams_[ref - 1].get() : nullptr;
}

uint32_t TCustomOEDataSet::NewStream() {
    if (!freeStreams_.empty()) {
        const uint32_t ref = freeStreams_.back();
        freeStreams_.pop_back();
        streams_[ref - 1] = std::make_unique<TMemoryStream>();
        return ref;
    }
    streams_.push_back(std::make_unique<TMemoryStream>());
    return static_cast<uint32_t>(streams_.size());
}

void TCustomOEDataSet::DropStream(uint32_t ref) {
    if (ref >= 1 && ref <= streams_.size() && streams_[ref - 1]) {
        streams_[ref - 1].reset();
        freeStreams_.push_back(ref);
    }
}

// --- Text slots ------------------------------------------------------------------------------

bool TCustomOEDataSet::IsTextSlot(int col) const {
    const auto i = static_cast<size_t>(col - 1);
    return i < colTypes_.size() && !colLong_[i] &&
           (colTypes_[i] == ftString || colTypes_[i] == ftMemo);
}

std::string_view TCustomOEDataSet::SlotText(TRecordBuffer buffer, int col) const {
    const auto i = static_cast<size_t>(col - 1);
    const char* slot = buffer + slotOffsets_[i];
    const auto valueSize = static_cast<size_t>(slotSizes_[i] - 1);
    if (slot[valueSize] != kLongerText) {
        return NativeText(slot, valueSize);
    }
    TMemoryStream* s = SlotStream(buffer, col);
    return s ? std::string_view(s->Memory(), static_cast<size_t>(s->Size())) : std::string_view();
}

void TCustomOEDataSet::PutSlotText(TRecordBuffer buffer, int col, std::string_view text) {
    const auto i = static_cast<size_t>(col - 1);
    char* slot = buffer + slotOffsets_[i];
    const auto valueSize = static_cast<size_t>(slotSizes_[i] - 1);
    if (text.size() < valueSize) {
        ClearTextSlot(buffer, col);
        std::memcpy(slot, text.data(), text.size());
        slot[valueSize] = 1;
        return;
    }
    // Longer than the slot: whole, in the slot's stream (kept from its last longer text).
    TMemoryStream* s = slot[valueSize] == kLongerText ? SlotStream(buffer, col) : nullptr;
    if (!s) {
        ClearTextSlot(buffer, col);
        const uint32_t ref = NewStream();
        std::memcpy(slot, &ref, sizeof ref);
        s = streams_[ref - 1].get();
    }
    s->LoadFrom(text.data(), static_cast<int64_t>(text.size()));
    slot[valueSize] = kLongerText;
}

void TCustomOEDataSet::ClearTextSlot(TRecordBuffer buffer, int col) {
    const auto i = static_cast<size_t>(col - 1);
    char* slot = buffer + slotOffsets_[i];
    if (slot[slotSizes_[i] - 1] == kLongerText) {
        uint32_t ref = 0;
        std::memcpy(&ref, slot, sizeof ref);
        DropStream(ref);
    }
    std::memset(slot, 0, static_cast<size_t>(slotSizes_[i]));
}

// --- Buffers -------------------------------------------------------------------------------

TRecordBuffer TCustomOEDataSet::NewBuffer() {
    auto* buffer = new char[static_cast<size_t>(recordSize_)]();
    for (size_t i = 0; i < colLong_.size(); ++i) {
        if (colLong_[i]) {
            const uint32_t ref = NewStream();
            std::memcpy(buffer + slotOffsets_[i], &ref, sizeof ref);
        }
    }
    TRecInfo info{};
    if (!freeBookmarkBlocks_.empty()) {
        info.bookmarkRef = freeBookmarkBlocks_.back();
        freeBookmarkBlocks_.pop_back();
    } else {
        bookmarkBlocks_.emplace_back();
        info.bookmarkRef = static_cast<uint32_t>(bookmarkBlocks_.size());
    }
    bookmarkBlocks_[info.bookmarkRef - 1].assign(static_cast<size_t>(BookmarkSize()), 0);
    rowImages_.resize(bookmarkBlocks_.size());
    rowImages_[info.bookmarkRef - 1].clear();
    info.formerCacheIndex = -1;
    WriteInfo(buffer, info);
    InitRecord(buffer);
    return buffer;
}

void TCustomOEDataSet::FreeBuffer(TRecordBuffer& buffer) {
    if (!buffer) {
        return;
    }
    for (size_t i = 0; i < colLong_.size(); ++i) {
        if (colLong_[i]) {
            uint32_t ref = 0;
            std::memcpy(&ref, buffer + slotOffsets_[i], sizeof ref);
            DropStream(ref);
        } else if (IsTextSlot(static_cast<int>(i + 1))) {
            ClearTextSlot(buffer, static_cast<int>(i + 1));
        }
    }
    uint32_t ref = ReadInfo(buffer).bookmarkRef;
    if (ref >= 1 && ref <= bookmarkBlocks_.size()) {
        bookmarkBlocks_[ref - 1].clear();
        if (ref <= rowImages_.size()) {
            THstmt::TRowImage().swap(rowImages_[ref - 1]);
        }
        freeBookmarkBlocks_.push_back(ref);
    }
    delete[] buffer;
    buffer = nullptr;
}

TRecordBuffer TCustomOEDataSet::AllocRecordBuffer() {
    return NewBuffer();
}

void TCustomOEDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
    FreeBuffer(buffer);
}

void TCustomOEDataSet::FreeWorkBuffers() {
    FreeBuffer(filterBuffer_);
    FreeBuffer(oldValuesBuffer_);
    FreeBuffer(locateBuffer_);
}

void TCustomOEDataSet::FreeRowLists() {
    for (TRecordBuffer& b : savedRows_) {
        FreeBuffer(b);
    }
    savedRows_.clear();
    for (TRecordBuffer& b : rowCache_) {
        FreeBuffer(b);
    }
    rowCache_.clear();
}

void TCustomOEDataSet::FreeDeletedBookmarks() {
    deletedBookmarks_.clear();
    refreshedBookmarks_.clear();
}

void TCustomOEDataSet::InternalInitRecord(TRecordBuffer buffer) {
    // A new record has no row in the database yet.
    if (THstmt::TRowImage* image = RowImage(buffer)) {
        image->clear();
    }
    for (size_t i = 0; i < slotSizes_.size(); ++i) {
        char* slot = buffer + slotOffsets_[i];
        if (colLong_[i]) {
            if (TMemoryStream* s = SlotStream(buffer, static_cast<int>(i + 1))) {
                s->Clear();
            }
            slot[kStreamRefSize] = 0;
        } else if (IsTextSlot(static_cast<int>(i + 1))) {
            ClearTextSlot(buffer, static_cast<int>(i + 1));
        } else {
            std::memset(slot, 0, static_cast<size_t>(slotSizes_[i]));
        }
    }
}

void TCustomOEDataSet::ClearCalcFields(TRecordBuffer buffer) {
    std::memset(buffer + calcOffset_, 0, static_cast<size_t>(CalcFieldsSize()));
}

void TCustomOEDataSet::CopyRecord(TRecordBuffer from, TRecordBuffer to) {
    if (from == to) {
        return;
    }
    for (size_t i = 0; i < slotSizes_.size(); ++i) {
        const int col = static_cast<int>(i + 1);
        if (colLong_[i]) {
            TMemoryStream* src = SlotStream(from, col);
            TMemoryStream* dst = SlotStream(to, col);
            if (src && dst) {
                dst->LoadFrom(src->Memory(), src->Size());
            }
            to[slotOffsets_[i] + kStreamRefSize] = from[slotOffsets_[i] + kStreamRefSize];
        } else if (IsTextSlot(col) && from[slotOffsets_[i] + slotSizes_[i] - 1] != 0) {
            PutSlotText(to, col, SlotText(from, col)); // each buffer its own longer text
        } else if (IsTextSlot(col)) {
            ClearTextSlot(to, col);
        } else {
            std::memcpy(to + slotOffsets_[i], from + slotOffsets_[i],
                        static_cast<size_t>(slotSizes_[i]));
        }
    }
    char* a = BookmarkBlock(from);
    char* b = BookmarkBlock(to);
    if (a && b) {
        std::memcpy(b, a, static_cast<size_t>(BookmarkSize()));
    }
    if (THstmt::TRowImage* imageTo = RowImage(to)) {
        const THstmt::TRowImage* imageFrom = RowImage(from);
        if (imageFrom) {
            *imageTo = *imageFrom;
        } else {
            imageTo->clear();
        }
    }
    to[dataSize_ + 4] = from[dataSize_ + 4];
    std::memcpy(to + calcOffset_, from + calcOffset_, static_cast<size_t>(CalcFieldsSize()));
}

// --- Bookmarks and flags -------------------------------------------------------------------

void TCustomOEDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) {
    if (char* block = BookmarkBlock(buffer)) {
        std::memcpy(data, block, static_cast<size_t>(BookmarkSize()));
    }
}

void TCustomOEDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
    if (char* block = BookmarkBlock(buffer)) {
        std::memcpy(block, data, static_cast<size_t>(BookmarkSize()));
    }
}

TBookmarkFlag TCustomOEDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
    return static_cast<TBookmarkFlag>(ReadInfo(buffer).bookmarkFlag);
}

void TCustomOEDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    buffer[dataSize_ + 4] = static_cast<char>(flag);
}

// --- Filling from the statement -------------------------------------------------------------

void TCustomOEDataSet::ToField(int col, SQLULEN row, TRecordBuffer buffer) {
    const auto i = static_cast<size_t>(col - 1);
    assert(i < slotSizes_.size() && slotOffsets_[i] + slotSizes_[i] <= dataSize_);
    char* slot = buffer + slotOffsets_[i];
    const int valueSize = slotSizes_[i] - 1;
    if (colLong_[i]) {
        TMemoryStream* s = SlotStream(buffer, col);
        if (stmt_->BlobDeferral() && !UsesCache()) {
            // Read when a blob stream is opened on it; until then it is not known to be
            // NULL. (Rows kept by the dataset are read whole: the cursor cannot go back.)
            s->Clear();
            slot[valueSize] = kUnreadLong;
            return;
        }
        if (TMemoryStream* src = stmt_->ColStream(col, row)) {
            s->LoadFrom(src->Memory(), src->Size());
        }
        slot[valueSize] = stmt_->ColIsNull(col, row) || stmt_->ColIgnored(col, row) ? 0 : 1;
        return;
    }
    if (IsTextSlot(col)) {
        // Whole, however much longer than the column's reported size.
        if (stmt_->ColIsNull(col, row) || stmt_->ColIgnored(col, row)) {
            ClearTextSlot(buffer, col);
        } else {
            PutSlotText(buffer, col, stmt_->ColAsString(col, row));
        }
        return;
    }
    std::memset(slot, 0, static_cast<size_t>(valueSize));
    switch (colTypes_[i]) {
    case ftSmallint:
    case ftWord:
    case ftBoolean:
    case ftInteger:
        IntegerToNative(colTypes_[i], stmt_->ColAsInteger(col, row), slot);
        break;
    case ftFloat:
    case ftCurrency:
        FloatToNative(stmt_->ColAsDouble(col, row), slot);
        break;
    case ftDate:
    case ftTime:
    case ftDateTime: {
        TDateTimeRec ts = stmt_->ColIsNull(col, row) || stmt_->ColIgnored(col, row)
                              ? ZeroDateTimeRec()
                              : stmt_->ColAsDateTimeRec(col, row);
        DateTimeToNative(colTypes_[i], DateTimeOfRec(ts), slot);
        break;
    }
    case ftBytes:
    case ftBlob: {
        const void* element = stmt_->ColMemory(col, row);
        SQLLEN n = std::max<SQLLEN>(0, stmt_->ColDataSize(col, row));
        if (element) {
            std::memcpy(slot, element, static_cast<size_t>(std::min<SQLLEN>(n, valueSize)));
        }
        break;
    }
    case ftLargeint:
        IntegerToNative(ftLargeint, stmt_->ColAsInt64(col, row), slot);
        break;
    default:
        break;
    }
    slot[valueSize] = stmt_->ColIsNull(col, row) || stmt_->ColIgnored(col, row) ? 0 : 1;
}

void TCustomOEDataSet::FillFromRow(SQLULEN row, TRecordBuffer buffer) {
    for (int col = 1; col <= static_cast<int>(slotSizes_.size()); ++col) {
        ToField(col, row, buffer);
    }
    if (THstmt::TRowImage* image = RowImage(buffer)) {
        *image = stmt_->CaptureRow(row);
    }
}

// Fills a buffer with the row the cursor stands on, whose bookmark is given (step 7 of
// reading a row): from the cache, from a row saved after a write, or from the statement.
void TCustomOEDataSet::FillRecord(TRecordBuffer buffer, const TBookmark& bookmark) {
    if (UsesCache()) {
        CopyRecord(rowCache_[static_cast<size_t>(cachePosition_ - 1)], buffer);
    } else {
        if (TRecordBuffer saved = savedRows_.empty() ? nullptr : FindSavedRow(bookmark)) {
            CopyRecord(saved, buffer);
        } else {
            FillFromRow(1, buffer);
            char* block = BookmarkBlock(buffer);
            std::memset(block, 0, static_cast<size_t>(BookmarkSize()));
            if (!bookmark.empty()) { // a forward-only cursor gives none
                std::memcpy(block, bookmark.data(),
                            std::min(bookmark.size(), static_cast<size_t>(BookmarkSize())));
            }
            TRecInfo info = ReadInfo(buffer);
            info.updateStatus = usUnmodified;
            info.formerCacheIndex = -1;
            WriteInfo(buffer, info);
        }
    }
    SetBookmarkFlag(buffer, bfCurrent);
    GetCalcFields(buffer);
}

// --- Reading rows ----------------------------------------------------------------------------

bool TCustomOEDataSet::IsDeletedBookmark(const TBookmark& bookmark) const {
    return std::any_of(deletedBookmarks_.begin(), deletedBookmarks_.end(),
                       [&](const TBookmark& b) { return !bookmark.empty() && b == bookmark; });
}

bool TCustomOEDataSet::RowSkipped() {
    if (UsesCache()) {
        return false;
    }
    if (!stmt_->RowValid(1)) {
        return true;
    }
    // Asking for the row's bookmark costs a call; only rows deleted here need it.
    return !deletedBookmarks_.empty() && IsDeletedBookmark(CurrentBookmark());
}

bool TCustomOEDataSet::FilterAccepts() {
    if ((!Filtered() && !findInProgress_) || !OnFilterRecord()) {
        return true;
    }
    bool accept = true;
    TDataSetState saved = SetTempState(dsFilter);
    // The handler judges the row in the filter buffer, also while Locate scans.
    TBufferSelector selector = selector_;
    selector_ = bsNormal;
    try {
        FillRecord(filterBuffer_, CurrentBookmark());
    } catch (...) {
        selector_ = selector;
        RestoreState(saved);
        throw;
    }
    try {
        OnFilterRecord()(*this, accept);
    } catch (const std::exception&) {
        try {
            InternalHandleException();
        } catch (...) {
        }
    }
    selector_ = selector;
    RestoreState(saved);
    return accept;
}

TGetResult TCustomOEDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
    (void)doCheck;
    TGetResult result = grOK;
    switch (mode) {
    case gmCurrent: {
        TRecordBuffer active = ActiveBuffer();
        if (postedInsertShown_ && active) {
            // A row inserted by a generated INSERT: the cursor does not have it.
            if (active != buffer) {
                CopyRecord(active, buffer);
            }
            return grOK;
        }
        TBookmarkFlag flag = active ? GetBookmarkFlag(active) : bfBOF;
        if (flag == bfBOF || flag == bfEOF) {
            result = grError;
        } else if (UsesCache()
                       ? rowCache_.empty()
                       : !deletedBookmarks_.empty() &&
                             IsDeletedBookmark(TBookmark(BookmarkBlock(active),
                                                         BookmarkBlock(active) + BookmarkSize()))) {
            result = grError;
        }
        break;
    }
    case gmNext:
        for (;;) {
            if (!FetchNext()) {
                result = grEOF;
                break;
            }
            if (!RowSkipped() && FilterAccepts()) {
                break;
            }
        }
        break;
    case gmPrior:
        if (!UsesCache() && stmt_->CursorType() == SQL_CURSOR_FORWARD_ONLY) {
            result = grError;
            break;
        }
        for (;;) {
            if (!FetchPrev()) {
                result = grBOF;
                break;
            }
            if (!RowSkipped() && FilterAccepts()) {
                break;
            }
        }
        break;
    default:
        result = grError;
        break;
    }
    if (result != grOK) {
        InitRecord(buffer);
        return result;
    }
    TBookmark bookmark = CurrentBookmark();
    if (bookmark.empty() && mode == gmCurrent) {
        TRecordBuffer active = ActiveBuffer();
        if (active != buffer) {
            CopyRecord(active, buffer);
        }
        return grOK;
    }
    FillRecord(buffer, bookmark);
    return grOK;
}

bool TCustomOEDataSet::GetCurrentRecord(TRecordBuffer buffer) {
    return GetRecord(buffer, gmCurrent, false) == grOK;
}

// --- Field values ------------------------------------------------------------------------------

TRecordBuffer TCustomOEDataSet::ActiveRecordBuffer() const {
    if (!Active()) {
        return nullptr;
    }
    if (selector_ == bsLocate) {
        return locateBuffer_;
    }
    switch (State()) {
    case dsBrowse:
        return IsEmpty() ? nullptr : ActiveBuffer();
    case dsCalcFields:
        return CalcBuffer();
    case dsFilter:
        return filterBuffer_;
    case dsOldValue:
        return oldValuesBuffer_;
    default:
        return ActiveBuffer();
    }
}

bool TCustomOEDataSet::GetFieldData(TField* field, void* buffer) {
    TRecordBuffer record = ActiveRecordBuffer();
    if (!record || !field) {
        return false;
    }
    if (field->FieldKind() != fkData) {
        assert(calcOffset_ + field->Offset() + field->DataSize() < recordSize_);
        const char* p = record + calcOffset_ + field->Offset();
        if (buffer) {
            std::memcpy(buffer, p, static_cast<size_t>(field->DataSize()));
        }
        return p[field->DataSize()] != 0;
    }
    const int col = field->FieldNo();
    if (col < 1 || col > static_cast<int>(slotSizes_.size())) {
        return false;
    }
    const auto i = static_cast<size_t>(col - 1);
    assert(slotOffsets_[i] + slotSizes_[i] <= dataSize_);
    const char* slot = record + slotOffsets_[i];
    const int valueSize = slotSizes_[i] - 1;
    if (colLong_[i] && slot[valueSize] == kUnreadLong) {
        // Whether a deferred value is NULL is known only once it is read.
        ReadDeferredLong(record, col);
    }
    if (record == ActiveBuffer() && State() == dsBrowse && NeedsReadBack(record)) {
        ReadPostedRow(record);
    }
    const int bytes = std::min(field->DataSize(), valueSize);
    if (buffer && slot[valueSize] == kLongerText) {
        // As much as the field's bytes hold; GetLongerText gives it whole.
        TextToNative(SlotText(record, col), buffer, static_cast<size_t>(bytes));
    } else if (buffer && !colLong_[i]) {
        // A field never reads past its column's slot, whatever its own size.
        std::memcpy(buffer, slot, static_cast<size_t>(bytes));
    }
    return slot[valueSize] != 0;
}

bool TCustomOEDataSet::GetLongerText(TField* field, std::string& text) {
    TRecordBuffer record = ActiveRecordBuffer();
    const int col = field && field->FieldKind() == fkData ? field->FieldNo() : 0;
    if (!record || !IsTextSlot(col) || record[SlotOffset(col) + SlotSize(col) - 1] != kLongerText) {
        return false;
    }
    text.assign(SlotText(record, col));
    return true;
}

bool TCustomOEDataSet::SetLongerText(TField* field, const std::string& text) {
    const int col = field && field->FieldKind() == fkData ? field->FieldNo() : 0;
    // Where the column's size is a limit (a declared size the database keeps to), the field
    // cuts what is typed past it, as for any dataset.
    if (!IsTextSlot(col) || stmt_->ColSizeIsLimit(col)) {
        return false;
    }
    // A field's validation reads as much of the text as the field's bytes hold.
    std::vector<char> shown(static_cast<size_t>(field->DataSize()), '\0');
    TextToNative(text, shown.data(), shown.size());
    StoreFieldData(field, shown.data(), &text);
    return true;
}

void TCustomOEDataSet::SetFieldData(TField* field, const void* buffer) {
    StoreFieldData(field, buffer, nullptr);
}

void TCustomOEDataSet::StoreFieldData(TField* field, const void* buffer,
                                      const std::string* wholeText) {
    const TDataSetState state = State();
    switch (state) {
    case dsEdit:
    case dsInsert:
    case dsSetKey:
    case dsCalcFields:
    case dsFilter:
    case dsNewValue:
    case dsInternalCalc:
        break;
    default:
        throw EODBCExpress("DataSet not in edit or insert mode.");
    }
    TRecordBuffer record = ActiveRecordBuffer();
    if (!record || !field) {
        return;
    }
    if (field->FieldKind() != fkData) {
        assert(calcOffset_ + field->Offset() + field->DataSize() < recordSize_);
        char* p = record + calcOffset_ + field->Offset();
        const auto n = static_cast<size_t>(field->DataSize());
        if (buffer) {
            std::memcpy(p, buffer, n);
        } else {
            std::memset(p, 0, n);
        }
        p[n] = buffer ? 1 : 0;
    } else {
        const int col = field->FieldNo();
        if (col < 1 || col > static_cast<int>(slotSizes_.size())) {
            return;
        }
        field->Validate(buffer);
        const auto i = static_cast<size_t>(col - 1);
        assert(slotOffsets_[i] + slotSizes_[i] <= dataSize_);
        char* slot = record + slotOffsets_[i];
        const int valueSize = slotSizes_[i] - 1;
        const auto bytes = static_cast<size_t>(std::min(field->DataSize(), valueSize));
        if (IsTextSlot(col)) {
            if (!buffer) {
                ClearTextSlot(record, col);
            } else {
                PutSlotText(record, col, wholeText ? *wholeText : NativeText(buffer, bytes));
            }
        } else {
            if (!colLong_[i]) {
                std::memset(slot, 0, static_cast<size_t>(valueSize));
                if (buffer) {
                    std::memcpy(slot, buffer, bytes);
                }
            }
            slot[valueSize] = buffer ? 1 : 0;
        }
    }
    if (state != dsCalcFields && state != dsFilter && state != dsNewValue) {
        DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
    }
}

void TCustomOEDataSet::ReadDeferredLong(TRecordBuffer record, int col) {
    // From the buffer's row. A forward-only cursor cannot go back to a row; it still
    // stands on the one its record shows.
    if (stmt_->CursorType() != SQL_CURSOR_FORWARD_ONLY) {
        InternalSetToRecord(record);
    }
    TMemoryStream* s = SlotStream(record, col);
    s->Clear();
    if (TMemoryStream* src = stmt_->ColStream(col, 1)) {
        s->LoadFrom(src->Memory(), src->Size());
    }
    record[SlotOffset(col) + SlotSize(col) - 1] = stmt_->ColIsNull(col, 1) ? 0 : 1;
}

std::unique_ptr<TStream> TCustomOEDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    TRecordBuffer record = ActiveRecordBuffer();
    if (!record && Active() && !IsEmpty()) {
        record = ActiveBuffer();
    }
    const int col = field ? field->FieldNo() : 0;
    if (!record || col < 1 || col > static_cast<int>(colLong_.size()) ||
        !colLong_[static_cast<size_t>(col - 1)]) {
        if (mode != bmRead) {
            throw EODBCExpress("Blob field " + (field ? field->FieldName() : std::string()) +
                               " cannot be written here.");
        }
        return std::make_unique<TMemoryStream>();
    }
    // A writer changes the record: only an edit or insert may, or the change would show
    // and never be saved.
    if (mode != bmRead && State() != dsEdit && State() != dsInsert) {
        throw EODBCExpress("DataSet not in edit or insert mode.");
    }
    TMemoryStream* s = SlotStream(record, col);
    char& flag = record[SlotOffset(col) + SlotSize(col) - 1];
    if (flag == kUnreadLong) {
        if (mode == bmWrite) {
            flag = 0; // the value is replaced: no need to read it
        } else {
            ReadDeferredLong(record, col);
        }
    }
    if (mode == bmRead) {
        // A reader gets its own copy: it stays readable whatever becomes of the record.
        auto copy = std::make_unique<TMemoryStream>();
        copy->LoadFrom(s->Memory(), s->Size());
        return copy;
    }
    if (mode == bmWrite) {
        s->Clear();
    }
    s->SetPosition(0);
    return std::make_unique<TOEBlobStream>(
        *s, flag, [this, field] { DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field)); },
        blobStreamsAlive_, field->FieldName());
}

void TCustomOEDataSet::DataEvent(TDataEvent event, intptr_t info) {
    // Any change but a field's own may free or refill the record a writing blob stream
    // points into: such streams stop here.
    if (event != deFieldChange) {
        blobStreamsAlive_ = std::make_shared<char>();
    }
    TDataSet::DataEvent(event, info);
}

} // namespace zen
