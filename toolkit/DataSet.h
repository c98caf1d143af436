#pragma once
// The generic dataset: states, the active record buffer and its work buffer, navigation,
// bookmarks, editing, calculated and lookup fields, filtering hooks and data events. It
// knows nothing of where rows come from; a subclass supplies the cursor.
//
// How a subclass plugs in:
// - Record buffers: AllocRecordBuffer / FreeRecordBuffer / GetRecordSize /
//   InternalInitRecord (a new record: every field null), and ClearCalcFields when it keeps
//   a calculated-field area (CalcFieldsSize bytes: each calculated or lookup field's value
//   at its Offset, followed by a flag byte).
// - Cursor: InternalOpen (make FieldDefs, call CreateFields when DefaultFields, then
//   BindFields(true); set BookmarkSize; leave the cursor before the first row),
//   InternalClose (DestroyFields when DefaultFields), IsCursorOpen, InternalInitFieldDefs,
//   InternalFirst (before the first row), InternalLast (after the last row),
//   GetRecord(buffer, gmCurrent | gmNext | gmPrior) (fill the buffer, set its bookmark,
//   bookmark flag bfCurrent, call GetCalcFields(buffer); apply Filtered / OnFilterRecord
//   when filtering is wanted).
// - Bookmarks: Get/SetBookmarkData, Get/SetBookmarkFlag, InternalGotoBookmark,
//   InternalSetToRecord (bring the cursor to a buffer's row), and optionally
//   CompareBookmarks / BookmarkValid.
// - Fields: GetFieldData / SetFieldData on the record buffer the current state selects
//   (ActiveBuffer, CalcBuffer in dsCalcFields, ...). SetFieldData of a data field calls
//   field->Validate(buffer) before storing, and afterwards DataEvent(deFieldChange, field)
//   unless the state is dsCalcFields, dsFilter or dsNewValue.
// - Editing: InternalPost (write the active buffer: state tells insert from edit; a new
//   record's bookmark flag says where it goes: bfEOF appended, bfBOF first, bfInserted
//   before the row of its bookmark), InternalAddRecord, InternalDelete, and optionally
//   InternalEdit / InternalInsert / InternalCancel / InternalRefresh. Afterwards the base
//   re-reads the record where the cursor stands (Resync), else the next or the prior one.
// - InternalClose must cope with a dataset whose InternalOpen failed half way: the base
//   closes at once after a failed open.
// - The destructor calls Destroying() and SetActive(false) while the overrides exist.
// Optional: GetRecordCount, GetRecNo / SetRecNo, GetCanModify, Locate / Lookup (the base
// reads the rows from the first into the work buffer without moving the current record),
// FindRecord, CreateBlobStream (needed for blob fields), GetLongerText / SetLongerText
// (records that hold texts longer than their fields), SetFiltered / SetOnFilterRecord
// (the base only keeps the setting; a dataset whose rows depend on it reads them again).

#include "toolkit/Component.h"
#include "toolkit/DataSource.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Field.h"
#include "toolkit/FieldDefs.h"
#include "toolkit/Stream.h"
#include "toolkit/Variant.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zen {

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TResyncModeFlag : unsigned { rmExact = 1u << 0, rmCenter = 1u << 1 };
using TResyncMode = unsigned;
enum TLocateOption : unsigned { loCaseInsensitive = 1u << 0, loPartialKey = 1u << 1 };
using TLocateOptions = unsigned;
enum TFilterOption : unsigned { foCaseInsensitive = 1u << 0, foNoPartialCompare = 1u << 1 };
using TFilterOptions = unsigned;
enum TDataAction { daFail, daAbort, daRetry };
enum TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };
enum TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

using TRecordBuffer = char*;
// A bookmark's bytes (BookmarkSize of them); empty means none.
using TBookmark = std::vector<char>;

class TDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
using TDataSetErrorEvent = std::function<void(TDataSet&, Exception&, TDataAction&)>;
using TFilterRecordEvent = std::function<void(TDataSet&, bool& accept)>;

// The owning list of a dataset's field objects, in field order.
class TFields {
public:
    int Count() const { return static_cast<int>(list_.size()); }
    TField* operator[](int i) const { return list_.at(static_cast<size_t>(i)); }
    TField* Fields(int i) const { return (*this)[i]; }
    // Names compare without regard to ASCII case.
    TField* FindField(const std::string& name) const;
    int IndexOf(const TField* field) const;
    std::vector<TField*>::const_iterator begin() const { return list_.begin(); }
    std::vector<TField*>::const_iterator end() const { return list_.end(); }

private:
    friend class TDataSet;
    std::vector<TField*> list_;
};

class TDataSet : public TComponent {
public:
    explicit TDataSet(TComponent* owner = nullptr);
    // Subclasses close themselves in their destructors (Destroying(); SetActive(false)),
    // while their overrides still exist; the base frees the fields and work buffers.
    ~TDataSet() override;

    const char* ClassName() const noexcept override { return "TDataSet"; }

    // --- Opening -------------------------------------------------------------------
    // Open on an open dataset does nothing: rows, position and a pending edit stay.
    void Open() { SetActive(true); }
    // Pending changes of an edit or insert are dropped.
    void Close() { SetActive(false); }
    bool Active() const { return state_ != dsInactive && state_ != dsOpening; }
    void SetActive(bool on);
    TDataSetState State() const { return state_; }
    bool Modified() const { return modified_; }

    // --- Navigation ----------------------------------------------------------------
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    // Moves up to distance rows; returns how many it moved (negative backwards).
    int MoveBy(int distance);
    bool Eof() const { return eof_; }
    bool Bof() const { return bof_; }
    // Active and without a current record.
    bool IsEmpty() const { return Active() && recordCount_ == 0; }
    // -1 when the dataset cannot tell.
    int RecordCount();
    int RecNo();
    virtual void SetRecNo(int value);
    // Re-reads the current row from the source.
    void Refresh();
    // Re-reads the active record from where the cursor stands. rmExact: that row must be
    // there (EDatabaseError "Record not found" otherwise); without it the next or the
    // prior row is taken, and the dataset becomes empty when there is none.
    virtual void Resync(TResyncMode mode);
    // Posts a pending edit or insert (after telling the data links to write their data).
    void CheckBrowseMode();
    void UpdateCursorPos();
    void CursorPosChanged() { cursorMoved_ = true; }
    void UpdateRecord();

    // --- Fields --------------------------------------------------------------------
    TFields& Fields() { return fields_; }
    const TFields& Fields() const { return fields_; }
    int FieldCount() const { return fields_.Count(); }
    TField* FindField(const std::string& name) const { return fields_.FindField(name); }
    // EDatabaseError "Field 'X' not found" (prefixed with the dataset's name when it has one).
    TField* FieldByName(const std::string& name) const;
    // The data field of a 1-based column number, or nullptr.
    TField* FieldByNumber(int fieldNo) const;
    // The fields of a ";"-separated list; an unknown name raises as FieldByName.
    std::vector<TField*> GetFieldList(const std::string& names) const;
    // One value, or an array when names lists several fields.
    TVariant FieldValues(const std::string& names) const;
    void SetFieldValues(const std::string& names, const TVariant& values);
    // Takes ownership of a field made by the caller and appends it to the field list.
    // Only while inactive (EDatabaseError otherwise); a name already used is refused.
    TField* AddField(std::unique_ptr<TField> field);
    // Removes a field from the list and hands it back. Only while inactive.
    std::unique_ptr<TField> RemoveField(TField* field);
    TFieldDefs& FieldDefs() { return fieldDefs_; }
    const TFieldDefs& FieldDefs() const { return fieldDefs_; }
    TIndexDefs& IndexDefs() { return indexDefs_; }
    const TIndexDefs& IndexDefs() const { return indexDefs_; }
    // Fills FieldDefs without opening (InternalInitFieldDefs) when inactive.
    void InitFieldDefs();
    // The fields were made from FieldDefs at this open (and go at close).
    bool DefaultFields() const { return defaultFields_; }

    // --- Editing -------------------------------------------------------------------
    bool CanModify() { return GetCanModify(); }
    void Append();
    void Insert();
    void Edit();
    void Post();
    void Cancel();
    void Delete();
    // Adds a whole record from values (one per field in field order; empty values leave
    // a field as the new record has it) through InternalAddRecord.
    void AppendRecord(const std::vector<TVariant>& values);
    void InsertRecord(const std::vector<TVariant>& values);
    // Sets the fields from values, one per field in field order; empty values are skipped.
    void SetFields(const std::vector<TVariant>& values);
    // Makes every field of the record being edited null.
    void ClearFields();
    virtual TUpdateStatus UpdateStatus() { return usUnmodified; }

    // --- Bookmarks -----------------------------------------------------------------
    // Whether the current record has a bookmark.
    bool BookmarkAvailable();
    // A copy of the current record's bookmark (empty when there is none).
    TBookmark GetBookmark();
    void GotoBookmark(const TBookmark& bookmark);
    void FreeBookmark(TBookmark& bookmark) { bookmark.clear(); }
    virtual bool BookmarkValid(const TBookmark& bookmark);
    // Both absent: 0; one absent: 1; else -1, 0 or 1 by the first differing byte.
    virtual int CompareBookmarks(const TBookmark& a, const TBookmark& b);
    int BookmarkSize() const { return bookmarkSize_; }

    // --- Finding -------------------------------------------------------------------
    // Finds the first row whose key fields (";"-separated) hold the values (one value,
    // or an array of them) and makes it current; false leaves the position as it was.
    virtual bool Locate(const std::string& keyFields, const TVariant& keyValues,
                        TLocateOptions options);
    // The value(s) of resultFields in that row without moving; null when there is none.
    virtual TVariant Lookup(const std::string& keyFields, const TVariant& keyValues,
                            const std::string& resultFields);
    bool FindFirst() { return FindRecord(true, true); }
    bool FindLast() { return FindRecord(true, false); }
    bool FindNext() { return FindRecord(false, true); }
    bool FindPrior() { return FindRecord(false, false); }
    bool Found() const { return found_; }

    bool Filtered() const { return filtered_; }
    virtual void SetFiltered(bool on);
    const std::string& Filter() const { return filterText_; }
    void SetFilter(const std::string& text) { filterText_ = text; }
    TFilterOptions FilterOptions() const { return filterOptions_; }
    void SetFilterOptions(TFilterOptions options) { filterOptions_ = options; }
    const TFilterRecordEvent& OnFilterRecord() const { return onFilterRecord_; }
    virtual void SetOnFilterRecord(TFilterRecordEvent handler);

    // --- Blobs, block reading, master ------------------------------------------------
    // A stream over a blob field's value in the active record buffer. The base has none
    // (EDatabaseError); datasets with blob fields override it.
    virtual std::unique_ptr<TStream> CreateBlobStream(TField* field, TBlobStreamMode mode);
    int BlockReadSize() const { return blockReadSize_; }
    virtual void SetBlockReadSize(int size);
    // The master data source of a detail dataset, nullptr by default.
    virtual TDataSource* GetDataSource() { return nullptr; }
    virtual void GetDetailLinkFields(std::vector<TField*>& masterFields,
                                     std::vector<TField*>& detailFields);
    virtual bool IsSequenced() { return true; }

    // --- Data events and controls ----------------------------------------------------
    // While disabled, data sources hear nothing; EnableControls then sends one
    // deDataSetChange (or deLayoutChange) when anything happened meanwhile.
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return disableCount_ > 0; }
    bool AutoCalcFields() const { return autoCalcFields_; }
    void SetAutoCalcFields(bool on) { autoCalcFields_ = on; }
    int CalcFieldsSize() const { return calcFieldsSize_; }

    // --- Record buffers ------------------------------------------------------------
    TRecordBuffer ActiveBuffer() const { return buffers_[0]; }
    // Reads the cursor's current row into buffer (true when there is one).
    virtual bool GetCurrentRecord(TRecordBuffer buffer);
    int RecordSize() { return GetRecordSize(); }

    // Field data of the record the current state selects. A null buffer asks only
    // whether the value is there.
    virtual bool GetFieldData(TField* field, void* buffer) = 0;
    virtual void SetFieldData(TField* field, const void* buffer) = 0;
    // A string field's value when its record holds a longer text than the field's DataSize
    // bytes (a dataset that keeps texts longer than their column's reported size): `text`,
    // the bytes the field read, becomes the whole text. False, and `text` as it was, for
    // any other value; the base holds no longer texts.
    virtual bool GetLongerText(TField* field, std::string& text);
    // Stores a text longer than the field's size whole, where the record takes it for that
    // field (with SetFieldData's checks and events); false, and nothing stored, where the
    // field is to cut it to its size. The base takes none.
    virtual bool SetLongerText(TField* field, const std::string& text);

    // --- Events --------------------------------------------------------------------
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent BeforeRefresh, AfterRefresh;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TDataSetErrorEvent OnPostError, OnEditError, OnDeleteError;

protected:
    // --- Record buffers ------------------------------------------------------------
    virtual TRecordBuffer AllocRecordBuffer() = 0;
    virtual void FreeRecordBuffer(TRecordBuffer& buffer) = 0;
    virtual TGetResult GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) = 0;
    virtual int GetRecordSize() = 0;
    // A new record: InternalInitRecord, cleared calculated fields, flag bfInserted.
    virtual void InitRecord(TRecordBuffer buffer);
    virtual void InternalInitRecord(TRecordBuffer buffer) = 0;
    virtual void ClearCalcFields(TRecordBuffer buffer) { (void)buffer; }
    virtual void GetBookmarkData(TRecordBuffer buffer, void* data) = 0;
    virtual void SetBookmarkData(TRecordBuffer buffer, const void* data) = 0;
    virtual TBookmarkFlag GetBookmarkFlag(TRecordBuffer buffer) = 0;
    virtual void SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) = 0;

    // --- Cursor --------------------------------------------------------------------
    virtual void InternalOpen() = 0;
    virtual void InternalClose() = 0;
    virtual bool IsCursorOpen() const = 0;
    virtual void InternalInitFieldDefs() = 0;
    virtual void InternalFirst() = 0;
    virtual void InternalLast() = 0;
    // data: BookmarkSize bytes.
    virtual void InternalGotoBookmark(const void* data) = 0;
    virtual void InternalSetToRecord(TRecordBuffer buffer) = 0;
    virtual void InternalRefresh() {}
    // Called inside a catch block: hands the exception to the application's handler.
    virtual void InternalHandleException();

    // --- Editing -------------------------------------------------------------------
    virtual void InternalPost() = 0;
    virtual void InternalAddRecord(TRecordBuffer buffer, bool append) = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    virtual void InternalCancel() {}
    virtual bool GetCanModify() { return true; }
    // EDatabaseError "Field 'X' must have a value" for a required data field left null.
    virtual void CheckRequiredFields();

    // --- Counting and finding -------------------------------------------------------
    virtual int GetRecordCount() { return -1; }
    virtual int GetRecNo() { return -1; }
    // The base moves from the current row (or from the first / last one when restarting)
    // to the next row that OnFilterRecord accepts, checking in dsFilter state.
    virtual bool FindRecord(bool restart, bool goForward);
    void SetFound(bool on) { found_ = on; }

    // --- Event firing (overridable) ------------------------------------------------
    virtual void DoBeforeOpen() { Fire(BeforeOpen); }
    virtual void DoAfterOpen() { Fire(AfterOpen); }
    virtual void DoBeforeClose() { Fire(BeforeClose); }
    virtual void DoAfterClose() { Fire(AfterClose); }
    virtual void DoBeforeInsert() { Fire(BeforeInsert); }
    virtual void DoAfterInsert() { Fire(AfterInsert); }
    virtual void DoBeforeEdit() { Fire(BeforeEdit); }
    virtual void DoAfterEdit() { Fire(AfterEdit); }
    virtual void DoBeforePost() { Fire(BeforePost); }
    virtual void DoAfterPost() { Fire(AfterPost); }
    virtual void DoBeforeCancel() { Fire(BeforeCancel); }
    virtual void DoAfterCancel() { Fire(AfterCancel); }
    virtual void DoBeforeDelete() { Fire(BeforeDelete); }
    virtual void DoAfterDelete() { Fire(AfterDelete); }
    virtual void DoBeforeScroll() { Fire(BeforeScroll); }
    virtual void DoAfterScroll() { Fire(AfterScroll); }
    virtual void DoBeforeRefresh() { Fire(BeforeRefresh); }
    virtual void DoAfterRefresh() { Fire(AfterRefresh); }
    virtual void DoOnNewRecord() { Fire(OnNewRecord); }
    virtual void DoOnCalcFields() { Fire(OnCalcFields); }

    // --- Helpers for subclasses ------------------------------------------------------
    // Field objects from FieldDefs (each definition's field class), and their removal.
    void CreateFields();
    void DestroyFields();
    // Binding: data fields get their FieldNo from FieldDefs (EDatabaseError when a field
    // has no definition or a definition of another type); calculated and lookup fields
    // get their Offset, and CalcFieldsSize is set. Unbinding clears both.
    void BindFields(bool binding);
    // Computes calculated and lookup fields of buffer in dsCalcFields state.
    void GetCalcFields(TRecordBuffer buffer);
    virtual void CalculateFields(TRecordBuffer buffer);
    TRecordBuffer CalcBuffer() const { return calcBuffer_; }
    // The work buffer (GetCurrentRecord, Lookup).
    TRecordBuffer TempBuffer() const { return buffers_[1]; }
    // Number of records in the buffers: 0 (empty) or 1.
    int BufferedRecordCount() const { return recordCount_; }
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState state);
    void SetState(TDataSetState state);
    void SetModified(bool on) { modified_ = on; }
    void SetBookmarkSize(int size) { bookmarkSize_ = size; }
    virtual void DataEvent(TDataEvent event, intptr_t info);
    void ClearBuffers();
    // After the cursor was executed again in place: reads its first row as opening does.
    void CursorReopened();
    // Tells subclass destructors' SetActive(false) to skip the close events.
    void Destroying() { destroying_ = true; }
    void CheckActive() const;
    void CheckInactive() const;
    // EDatabaseError with the dataset's name in front when it has one.
    [[noreturn]] void DatabaseError(const std::string& message) const;
    void Notification(TComponent* component, TOperation operation) override;
    // A dataset stored as active opens when loading ends; a failure goes to
    // InternalHandleException.
    void Loaded() override;

private:
    friend class TDataSource;
    friend class TField;

    void Fire(const TDataSetNotifyEvent& event) {
        if (event) {
            event(*this);
        }
    }
    void OpenCursor();
    void CloseCursor();
    void FreeBuffers();
    bool GetNextRecord();
    bool GetPriorRecord();
    bool ReadRecord(TGetMode mode);
    void TakeWorkBuffer();
    void BeginInsertAppend();
    void PrepareInsert(bool append);
    void EndInsertAppend();
    void ReturnCursorFromEdit();
    void AbandonInsert();
    void AddRecord(const std::vector<TVariant>& values, bool append);
    void PostRecord();
    void CheckOperation(const std::function<void()>& operation, const TDataSetErrorEvent& onError);
    void CheckCanModify();
    void CheckEditing() const;
    void RemoveFieldFromList(TField* field);
    void AddDataSource(TDataSource* source);
    void RemoveDataSource(TDataSource* source);
    void CalcLookupValue(TField* field);
    bool RecordMatches(const std::vector<TField*>& fields, const TVariant& keyValues,
                       TLocateOptions options);
    bool ScanForMatch(const std::vector<TField*>& fields, const TVariant& keyValues,
                      TLocateOptions options, const std::function<void()>& atMatch);

    TDataSetState state_ = dsInactive;
    bool bof_ = true;
    bool eof_ = true;
    bool modified_ = false;
    bool found_ = false;
    bool filtered_ = false;
    bool defaultFields_ = false;
    bool autoCalcFields_ = true;
    bool cursorMoved_ = true;
    bool destroying_ = false;
    int recordCount_ = 0;
    int bookmarkSize_ = 0;
    int calcFieldsSize_ = 0;
    int blockReadSize_ = 0;
    int disableCount_ = 0;
    TDataEvent enableEvent_ = deDataSetChange;
    TDataSetState disabledState_ = dsInactive;
    bool streamedActive_ = false;
    bool hasLookupFields_ = false;
    std::string filterText_;
    TFilterOptions filterOptions_ = 0;
    TFilterRecordEvent onFilterRecord_;
    TRecordBuffer buffers_[2] = {nullptr, nullptr};
    TRecordBuffer calcBuffer_ = nullptr;
    TFields fields_;
    TFieldDefs fieldDefs_;
    TIndexDefs indexDefs_;
    std::vector<TDataSource*> dataSources_;
};

// Where exceptions go that no caller can take (an OnFilterRecord handler that raises, a
// lookup that fails while fields are calculated): the application's handler, which the
// application shell sets; without one the message is written to standard error.
using TApplicationExceptionHandler = std::function<void(const std::exception&)>;
void SetApplicationExceptionHandler(TApplicationExceptionHandler handler);
void HandleApplicationException(const std::exception& e);

} // namespace zen
