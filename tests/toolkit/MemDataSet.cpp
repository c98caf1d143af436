#include "MemDataSet.h"

#include "toolkit/Exceptions.h"

#include <cstring>

namespace zen::test {

namespace {

constexpr int kInfoSize = 5; // bookmark id (4 bytes), bookmark flag (1 byte)

int ValueBytes(const TFieldDef& def) {
    return FieldDataSize(def.DataType(), def.Size());
}

bool IsBlobType(TFieldType t) {
    return t == ftBlob || t == ftMemo || t == ftGraphic || t == ftFmtMemo;
}

} // namespace

// A stream over one blob slot of a record buffer: writing gives the field a value.
class TMemDataSet::BlobStream : public TStream {
public:
    BlobStream(TMemDataSet& ds, TField* field, TMemoryStream& data, char* flag)
        : ds_(ds), field_(field), data_(data), flag_(flag) {}
    int64_t Read(void* buffer, int64_t count) override { return data_.Read(buffer, count); }
    int64_t Write(const void* buffer, int64_t count) override {
        int64_t n = data_.Write(buffer, count);
        *flag_ = 1;
        ds_.DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field_));
        return n;
    }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override { return data_.Seek(offset, origin); }
    void SetSize(int64_t size) override { data_.SetSize(size); }

private:
    TMemDataSet& ds_;
    TField* field_;
    TMemoryStream& data_;
    char* flag_;
};

TMemDataSet::~TMemDataSet() {
    Destroying();
    SetActive(false);
}

void TMemDataSet::SetFiltered(bool on) {
    TDataSet::SetFiltered(on);
    if (Active()) {
        First();
    }
}

void TMemDataSet::InternalOpen() {
    ++internalOpens;
    if (DefaultFields()) {
        CreateFields();
    }
    BindFields(true);
    offsets_.clear();
    slotSizes_.clear();
    blobIndex_.clear();
    blobCount_ = 0;
    dataSize_ = 0;
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        const TFieldDef& def = FieldDefs()[i];
        offsets_.push_back(dataSize_);
        slotSizes_.push_back(ValueBytes(def) + 1);
        blobIndex_.push_back(IsBlobType(def.DataType()) ? blobCount_++ : -1);
        dataSize_ += ValueBytes(def) + 1;
    }
    SetBookmarkSize(4);
    cursor_ = -1;
    oldBuffer_ = AllocRecordBuffer();
    open_ = true;
}

void TMemDataSet::InternalClose() {
    if (oldBuffer_) {
        FreeRecordBuffer(oldBuffer_);
    }
    open_ = false;
    if (DefaultFields()) {
        DestroyFields();
    }
}

TRecordBuffer TMemDataSet::AllocRecordBuffer() {
    auto size = static_cast<size_t>(dataSize_ + kInfoSize + CalcFieldsSize());
    TRecordBuffer buffer = new char[size]();
    auto& streams = streams_[buffer];
    for (int i = 0; i < blobCount_; ++i) {
        streams.push_back(std::make_unique<TMemoryStream>());
    }
    InitRecord(buffer);
    return buffer;
}

void TMemDataSet::FreeRecordBuffer(TRecordBuffer& buffer) {
    streams_.erase(buffer);
    delete[] buffer;
    buffer = nullptr;
}

void TMemDataSet::InternalInitRecord(TRecordBuffer buffer) {
    std::memset(buffer, 0, static_cast<size_t>(dataSize_));
    for (auto& s : streams_[buffer]) {
        s->Clear();
    }
}

void TMemDataSet::ClearCalcFields(TRecordBuffer buffer) {
    std::memset(buffer + dataSize_ + kInfoSize, 0, static_cast<size_t>(CalcFieldsSize()));
}

int32_t TMemDataSet::BufferId(TRecordBuffer buffer) const {
    int32_t id;
    std::memcpy(&id, Info(buffer), 4);
    return id;
}

void TMemDataSet::GetBookmarkData(TRecordBuffer buffer, void* data) {
    std::memcpy(data, Info(buffer), 4);
}

void TMemDataSet::SetBookmarkData(TRecordBuffer buffer, const void* data) {
    std::memcpy(Info(buffer), data, 4);
}

TBookmarkFlag TMemDataSet::GetBookmarkFlag(TRecordBuffer buffer) {
    return static_cast<TBookmarkFlag>(Info(buffer)[4]);
}

void TMemDataSet::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    Info(buffer)[4] = static_cast<char>(flag);
}

int TMemDataSet::IndexOfId(int32_t id) const {
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].id == id) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TMemDataSet::InternalGotoBookmark(const void* data) {
    int32_t id;
    std::memcpy(&id, data, 4);
    int i = IndexOfId(id);
    if (i < 0) {
        throw EDatabaseError("Record not found");
    }
    cursor_ = i;
}

void TMemDataSet::InternalSetToRecord(TRecordBuffer buffer) {
    InternalGotoBookmark(Info(buffer));
}

void TMemDataSet::LoadRow(const Row& row, TRecordBuffer buffer) {
    std::memcpy(buffer, row.data.data(), static_cast<size_t>(dataSize_));
    auto& streams = streams_[buffer];
    for (size_t i = 0; i < streams.size(); ++i) {
        streams[i]->LoadFrom(row.blobs[i].data(), static_cast<int64_t>(row.blobs[i].size()));
    }
    std::memcpy(Info(buffer), &row.id, 4);
    SetBookmarkFlag(buffer, bfCurrent);
}

void TMemDataSet::StoreRow(TRecordBuffer buffer, Row& row) {
    row.data.assign(buffer, buffer + dataSize_);
    auto& streams = streams_[buffer];
    row.blobs.resize(streams.size());
    for (size_t i = 0; i < streams.size(); ++i) {
        row.blobs[i].assign(streams[i]->Memory(), static_cast<size_t>(streams[i]->Size()));
    }
}

void TMemDataSet::CopyBuffer(TRecordBuffer from, TRecordBuffer to) {
    std::memcpy(to, from, static_cast<size_t>(dataSize_ + kInfoSize + CalcFieldsSize()));
    auto& src = streams_[from];
    auto& dst = streams_[to];
    for (size_t i = 0; i < src.size(); ++i) {
        dst[i]->LoadFrom(src[i]->Memory(), src[i]->Size());
    }
}

bool TMemDataSet::Accepted(TRecordBuffer buffer) {
    if (!Filtered() || !OnFilterRecord()) {
        return true;
    }
    bool accept = true;
    filtering_ = buffer;
    TDataSetState saved = SetTempState(dsFilter);
    try {
        OnFilterRecord()(*this, accept);
    } catch (...) {
        InternalHandleException();
    }
    RestoreState(saved);
    return accept;
}

TGetResult TMemDataSet::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
    const int count = static_cast<int>(rows_.size());
    TGetResult result = grOK;
    switch (mode) {
    case gmCurrent:
        result = (cursor_ >= 0 && cursor_ < count) ? grOK : grError;
        if (result == grOK) {
            LoadRow(rows_[static_cast<size_t>(cursor_)], buffer);
            GetCalcFields(buffer);
        }
        break;
    case gmNext:
    case gmPrior:
        for (;;) {
            cursor_ += mode == gmNext ? 1 : -1;
            if (cursor_ >= count) {
                cursor_ = count;
                result = grEOF;
                break;
            }
            if (cursor_ < 0) {
                cursor_ = -1;
                result = grBOF;
                break;
            }
            LoadRow(rows_[static_cast<size_t>(cursor_)], buffer);
            GetCalcFields(buffer);
            if (Accepted(buffer)) {
                break;
            }
        }
        break;
    }
    if (result != grOK) {
        InternalInitRecord(buffer);
        if (result == grError && doCheck) {
            throw EDatabaseError("No current record");
        }
    }
    return result;
}

TRecordBuffer TMemDataSet::CurrentBuffer() {
    switch (State()) {
    case dsInactive:
        return nullptr;
    case dsBrowse:
        return IsEmpty() ? nullptr : ActiveBuffer();
    case dsCalcFields:
        return CalcBuffer();
    case dsFilter:
        return filtering_;
    case dsOldValue:
        return oldBuffer_;
    default:
        return ActiveBuffer();
    }
}

bool TMemDataSet::GetFieldData(TField* field, void* buffer) {
    TRecordBuffer rec = CurrentBuffer();
    if (!rec) {
        return false;
    }
    if (field->FieldKind() != fkData) {
        char* p = rec + dataSize_ + kInfoSize + field->Offset();
        bool has = p[field->DataSize()] != 0;
        if (buffer && has) {
            std::memcpy(buffer, p, static_cast<size_t>(field->DataSize()));
        }
        return has;
    }
    char* slot = Slot(rec, field->FieldNo());
    bool has = slot[SlotSize(field->FieldNo()) - 1] != 0;
    if (buffer && has && field->DataSize() > 0) {
        std::memcpy(buffer, slot, static_cast<size_t>(field->DataSize()));
    }
    return has;
}

void TMemDataSet::SetFieldData(TField* field, const void* buffer) {
    TDataSetState st = State();
    if (st != dsEdit && st != dsInsert && st != dsSetKey && st != dsCalcFields && st != dsFilter &&
        st != dsNewValue && st != dsInternalCalc) {
        throw EDatabaseError("DataSet not in edit or insert mode.");
    }
    TRecordBuffer rec = CurrentBuffer();
    if (!rec) {
        return;
    }
    auto size = static_cast<size_t>(field->DataSize());
    if (field->FieldKind() != fkData) {
        char* p = rec + dataSize_ + kInfoSize + field->Offset();
        if (buffer) {
            std::memcpy(p, buffer, size);
        }
        p[size] = buffer ? 1 : 0;
    } else {
        field->Validate(buffer);
        char* slot = Slot(rec, field->FieldNo());
        if (buffer) {
            std::memcpy(slot, buffer, size);
        } else if (field->IsBlob()) {
            streams_[rec][static_cast<size_t>(blobIndex_[field->FieldNo() - 1])]->Clear();
        }
        slot[SlotSize(field->FieldNo()) - 1] = buffer ? 1 : 0;
    }
    if (st != dsCalcFields && st != dsFilter && st != dsNewValue) {
        DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
    }
}

std::unique_ptr<TStream> TMemDataSet::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    TRecordBuffer rec = CurrentBuffer();
    if (!rec || field->FieldKind() != fkData || blobIndex_[field->FieldNo() - 1] < 0) {
        throw EDatabaseError("No blob value for field '" + field->FieldName() + "'");
    }
    auto& data = *streams_[rec][static_cast<size_t>(blobIndex_[field->FieldNo() - 1])];
    if (mode == bmWrite) {
        data.Clear();
    }
    data.SetPosition(0);
    char* flag = Slot(rec, field->FieldNo());
    return std::make_unique<BlobStream>(*this, field, data, flag);
}

void TMemDataSet::DoBeforeEdit() {
    CopyBuffer(ActiveBuffer(), oldBuffer_);
    TDataSet::DoBeforeEdit();
}

// A new row goes where the record says: at the end (appended), before the row of its
// bookmark (inserted), or first (inserted into an empty view). The cursor stays on it.
void TMemDataSet::AddRow(TRecordBuffer buffer) {
    Row row;
    row.id = nextId_++;
    StoreRow(buffer, row);
    size_t at = rows_.size();
    TBookmarkFlag flag = GetBookmarkFlag(buffer);
    if (flag == bfBOF) {
        at = 0;
    } else if (flag == bfInserted) {
        int i = IndexOfId(BufferId(buffer));
        at = i < 0 ? rows_.size() : static_cast<size_t>(i);
    }
    rows_.insert(rows_.begin() + static_cast<std::ptrdiff_t>(at), std::move(row));
    cursor_ = static_cast<int>(at);
}

void TMemDataSet::InternalPost() {
    ++internalPosts;
    if (State() == dsEdit) {
        int i = IndexOfId(BufferId(ActiveBuffer()));
        if (i < 0) {
            throw EDatabaseError("Record not found");
        }
        StoreRow(ActiveBuffer(), rows_[static_cast<size_t>(i)]);
        cursor_ = i;
    } else {
        AddRow(ActiveBuffer());
    }
}

void TMemDataSet::InternalAddRecord(TRecordBuffer buffer, bool append) {
    ++internalAdds;
    if (append) {
        SetBookmarkFlag(buffer, bfEOF);
    }
    AddRow(buffer);
}

void TMemDataSet::InternalDelete() {
    int i = IndexOfId(BufferId(ActiveBuffer()));
    if (i < 0) {
        throw EDatabaseError("Record not found");
    }
    rows_.erase(rows_.begin() + i);
    cursor_ = i;
}

int TMemDataSet::GetRecNo() {
    if (IsEmpty()) {
        return 0;
    }
    return IndexOfId(BufferId(ActiveBuffer())) + 1;
}

} // namespace zen::test
