#pragma once
// A dataset over rows kept in memory, for the data library's tests. It is a complete
// dataset in its own right: record buffers in the slot layout of the field types (value,
// then a null flag), a record info block (bookmark id, bookmark flag), a calculated-field
// area, filtering through OnFilterRecord, old values for editing and blob streams.

#include "toolkit/DataSet.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace zen::test {

class TMemDataSet : public TDataSet {
public:
    explicit TMemDataSet(TComponent* owner = nullptr) : TDataSet(owner) {}
    ~TMemDataSet() override;

    void SetReadOnly(bool on) { readOnly_ = on; }
    // How many rows are stored (filter or not).
    int StoredRows() const { return static_cast<int>(rows_.size()); }
    // Another user's delete: the row goes without the dataset being told.
    void DropStoredRow(int index) { rows_.erase(rows_.begin() + index); }
    void SetFiltered(bool on) override;

    bool GetFieldData(TField* field, void* buffer) override;
    void SetFieldData(TField* field, const void* buffer) override;
    std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode) override;

    // Counters for tests that check what the framework asked for.
    int internalOpens = 0;
    int internalPosts = 0;
    int internalAdds = 0;

protected:
    TRecordBuffer AllocRecordBuffer() override;
    void FreeRecordBuffer(TRecordBuffer& buffer) override;
    TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) override;
    int GetRecordSize() override { return dataSize_; }
    void InternalInitRecord(TRecordBuffer buffer) override;
    void ClearCalcFields(TRecordBuffer buffer) override;
    void GetBookmarkData(TRecordBuffer buffer, void* data) override;
    void SetBookmarkData(TRecordBuffer buffer, const void* data) override;
    TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) override;
    void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) override;
    void InternalOpen() override;
    void InternalClose() override;
    bool IsCursorOpen() const override { return open_; }
    void InternalInitFieldDefs() override {}
    void InternalFirst() override { cursor_ = -1; }
    void InternalLast() override { cursor_ = static_cast<int>(rows_.size()); }
    void InternalGotoBookmark(const void* data) override;
    void InternalSetToRecord(TRecordBuffer buffer) override;
    void InternalPost() override;
    void InternalAddRecord(TRecordBuffer buffer, bool append) override;
    void InternalDelete() override;
    bool GetCanModify() override { return !readOnly_; }
    int GetRecordCount() override { return static_cast<int>(rows_.size()); }
    int GetRecNo() override;
    void DoBeforeEdit() override;

private:
    struct Row {
        int32_t id = 0;
        std::vector<char> data;
        std::vector<std::string> blobs;
    };
    class BlobStream;

    TRecordBuffer CurrentBuffer();
    int SlotSize(int fieldNo) const { return slotSizes_[static_cast<size_t>(fieldNo - 1)]; }
    char* Slot(TRecordBuffer buffer, int fieldNo) const {
        return buffer + offsets_[static_cast<size_t>(fieldNo - 1)];
    }
    char* Info(TRecordBuffer buffer) const { return buffer + dataSize_; }
    int32_t BufferId(TRecordBuffer buffer) const;
    int IndexOfId(int32_t id) const;
    void LoadRow(const Row& row, TRecordBuffer buffer);
    void StoreRow(TRecordBuffer buffer, Row& row);
    void CopyBuffer(TRecordBuffer from, TRecordBuffer to);
    bool Accepted(TRecordBuffer buffer);
    void AddRow(TRecordBuffer buffer);

    std::vector<Row> rows_;
    int32_t nextId_ = 1;
    int cursor_ = -1;
    bool open_ = false;
    bool readOnly_ = false;
    std::vector<int> offsets_;
    std::vector<int> slotSizes_;
    std::vector<int> blobIndex_; // per column, index into the blob streams or -1
    int blobCount_ = 0;
    int dataSize_ = 0;
    TRecordBuffer filtering_ = nullptr; // the record OnFilterRecord is shown
    TRecordBuffer oldBuffer_ = nullptr;
    std::map<TRecordBuffer, std::vector<std::unique_ptr<TMemoryStream>>> streams_;
};

} // namespace zen::test
