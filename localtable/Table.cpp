#include "localtable/Table.h"

#include "toolkit/Exceptions.h"
#include "toolkit/Home.h"
#include "toolkit/NativeValue.h"
#include "toolkit/Text.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <exception>
#include <fstream>

namespace zen {

namespace {

// A record buffer begins with the row's bookmark and the bookmark flag.
struct RecordHeader {
    int64_t bookmark;
    int32_t flag;
};
constexpr size_t kHeaderSize = 16;
static_assert(sizeof(RecordHeader) <= kHeaderSize);

RecordHeader& HeaderOf(TRecordBuffer buffer) {
    return *reinterpret_cast<RecordHeader*>(buffer);
}

// Bytes of a field's value in a record buffer, as Field.h lays them out.
size_t NativeSize(TFieldType type, int size) {
    return static_cast<size_t>(FieldDataSize(type, size));
}

bool EndsWithNoCase(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && SameName(s.substr(s.size() - suffix.size()), suffix);
}

bool IsSqliteFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    char magic[16] = {};
    return in.read(magic, sizeof magic) && std::memcmp(magic, "SQLite format 3", 16) == 0;
}

// A stored value into its native form (Field.h); false for null.
bool ToNative(TFieldType type, size_t size, const TLocalValue& v, void* out) {
    if (v.index() == 0) {
        return false;
    }
    if (!out) {
        return true;
    }
    auto number = [&]() -> double {
        if (auto* i = std::get_if<int64_t>(&v)) {
            return static_cast<double>(*i);
        }
        if (auto* d = std::get_if<double>(&v)) {
            return *d;
        }
        throw EDatabaseError("A text is stored where a number belongs");
    };
    auto integer = [&]() -> int64_t {
        if (auto* i = std::get_if<int64_t>(&v)) {
            return *i;
        }
        return static_cast<int64_t>(number());
    };
    switch (NativeKind(type)) {
    case TNativeKind::Text: {
        // A file written elsewhere may hold a longer text than the field; never split a
        // character while cutting it to the buffer.
        const std::string* text = std::get_if<std::string>(&v);
        TextToNative(text ? std::string_view(*text) : std::string_view(), out, size);
        return true;
    }
    case TNativeKind::Integer:
        IntegerToNative(type, integer(), out);
        return true;
    case TNativeKind::Float:
        FloatToNative(number(), out);
        return true;
    case TNativeKind::DateTime:
        DateTimeToNative(type, number(), out);
        return true;
    default:
        return true;
    }
}

TLocalValue FromNative(TFieldType type, size_t size, const void* in) {
    switch (NativeKind(type)) {
    case TNativeKind::Text:
        return std::string(NativeText(in, size));
    case TNativeKind::Integer:
        return NativeToInteger(type, in);
    case TNativeKind::Float:
        return NativeToFloat(in);
    case TNativeKind::DateTime:
        return NativeToDateTime(type, in);
    default:
        return {};
    }
}

TLocalValue FromDbf(const TDbfValue& v) {
    if (v.IsNull) {
        return {};
    }
    switch (v.Kind) {
    case ftString:
    case ftMemo:
        return v.Text;
    case ftInteger:
    case ftBoolean:
        return static_cast<int64_t>(v.Number);
    default:
        return v.Number;
    }
}

} // namespace

// A memo's bytes; what is written goes to the record being edited at once.
class TTableBlobStream : public TMemoryStream {
public:
    TTableBlobStream(TTable& table, size_t field, TField* f, bool writing)
        : table_(table), field_(field), f_(f), writing_(writing) {}
    int64_t Write(const void* buffer, int64_t count) override {
        int64_t n = TMemoryStream::Write(buffer, count);
        Store();
        return n;
    }
    void SetSize(int64_t size) override {
        TMemoryStream::SetSize(size);
        if (writing_) {
            Store();
        }
    }

private:
    void Store() {
        if (!writing_) {
            throw EDatabaseError("A memo opened for reading cannot be written");
        }
        table_.SetPendingMemo(field_, std::string(Bytes().begin(), Bytes().end()));
        table_.DataEvent(deFieldChange, reinterpret_cast<intptr_t>(f_));
    }

    TTable& table_;
    size_t field_;
    TField* f_;
    bool writing_;
};

TTable::TTable(TComponent* owner) : TDataSet(owner) {}

TTable::~TTable() {
    Destroying();
    // Commits what open batches wrote; a failure cannot be raised from here.
    EndBatches(false);
    SetActive(false);
}

void TTable::SetTableName(const std::string& name) {
    CheckInactive();
    tableName_ = name;
}

void TTable::SetDatabaseName(const std::string& name) {
    CheckInactive();
    databaseName_ = name;
}

void TTable::SetTableFormat(TTableFormat format) {
    CheckInactive();
    format_ = format;
}

std::filesystem::path TTable::TablePath() const {
    if (tableName_.empty()) {
        DatabaseError("No table name given");
    }
    // Only a look: directories are made when a table is created, not when it is named.
    std::filesystem::path p;
    if (databaseName_.empty()) {
        p = WindowsPathLocation(tableName_);
    } else {
        p = AliasLocation(databaseName_) / tableName_;
        if (!p.has_extension()) {
            p += ".db";
        }
    }
    if (p.stem().empty()) {
        DatabaseError("Invalid table name '" + tableName_ + "'");
    }
    return p;
}

bool TTable::IsDbf() const {
    if (format_ == tfDBase || EndsWithNoCase(tableName_, ".dbf")) {
        return true;
    }
    std::filesystem::path p = TablePath();
    return TDbfFile::LooksLikeDbf(p) && !IsSqliteFile(p);
}

bool TTable::Exists() const {
    std::filesystem::path p = TablePath();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(p, ec)) {
        return false;
    }
    if (IsDbf()) {
        return true;
    }
    try {
        TSqliteTable probe(p, p.stem().string());
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void TTable::CreateTable() {
    CheckInactive();
    if (IsDbf()) {
        DatabaseError("dBase table " + tableName_ + " cannot be created: it is read-only");
    }
    std::vector<TLocalField> fields;
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        const TFieldDef& d = FieldDefs()[i];
        fields.push_back({d.Name(), d.DataType(), d.Size()});
    }
    std::vector<TLocalIndex> indexes;
    for (int i = 0; i < IndexDefs().Count(); ++i) {
        const TIndexDef& d = IndexDefs()[i];
        indexes.push_back({d.Name(), d.FieldList(), d.Options()});
    }
    std::filesystem::path p = TablePath();
    if (p.has_parent_path()) {
        EnsureDirectory(p.parent_path());
    }
    TSqliteTable::Create(p, p.stem().string(), fields, indexes);
}

void TTable::OpenStorage() {
    std::filesystem::path p = TablePath();
    if (IsDbf()) {
        dbf_ = std::make_unique<TDbfFile>(p, OnDbfHeader);
    } else {
        sql_ = std::make_unique<TSqliteTable>(p, p.stem().string());
    }
}

void TTable::DescribeFields(TFieldDefs& defs) const {
    defs.Clear();
    if (dbf_) {
        for (const TDbfField& f : dbf_->Fields()) {
            int size = f.DataType == ftString ? f.Size : 0;
            defs.Add(f.Name, f.DataType, size);
        }
    } else {
        for (const TLocalField& f : sql_->Fields()) {
            defs.Add(f.Name, f.DataType, f.Size);
        }
    }
}

void TTable::InternalInitFieldDefs() {
    if (IsCursorOpen()) {
        DescribeFields(FieldDefs());
        return;
    }
    OpenStorage();
    try {
        DescribeFields(FieldDefs());
    } catch (...) {
        dbf_.reset();
        sql_.reset();
        throw;
    }
    dbf_.reset();
    sql_.reset();
}

void TTable::ComputeLayout() {
    layout_ = Layout();
    size_t at = kHeaderSize;
    for (int i = 0; i < FieldDefs().Count(); ++i) {
        const TFieldDef& d = FieldDefs()[i];
        size_t size = NativeSize(d.DataType(), d.Size());
        layout_.offsets.push_back(at);
        layout_.sizes.push_back(size);
        at += 1 + size;
        at = (at + 7) & ~size_t(7);
    }
    layout_.calcOffset = at;
    recordSize_ = at + static_cast<size_t>(CalcFieldsSize());
}

void TTable::InternalOpen() {
    OpenStorage();
    try {
        DescribeFields(FieldDefs());
        if (sql_) {
            rows_ = std::make_unique<TRowOrder>(*sql_);
            rows_->Load();
        }
        if (DefaultFields()) {
            CreateFields();
        }
        BindFields(true);
        ComputeLayout();
        SetBookmarkSize(sizeof(int64_t));
        pendingMemos_.assign(layout_.offsets.size(), PendingMemo());
        current_ = -1;
    } catch (...) {
        rows_.reset();
        dbf_.reset();
        sql_.reset();
        throw;
    }
}

// The base class unbinds or destroys the fields after this.
void TTable::InternalClose() {
    // The connection must not go with a batch open, which would roll its rows back; a
    // failure to commit them is raised once the table is closed.
    std::exception_ptr failure;
    try {
        EndBatches(true);
    } catch (...) {
        failure = std::current_exception();
    }
    rows_.reset();
    dbf_.reset();
    sql_.reset();
    pendingMemos_.clear();
    current_ = -1;
    if (failure) {
        std::rethrow_exception(failure);
    }
}

size_t TTable::Count() const {
    return dbf_ ? dbf_->RecordCount() : rows_ ? rows_->Size() : 0;
}

TRecordBuffer TTable::AllocRecordBuffer() {
    TRecordBuffer b = new char[recordSize_];
    std::memset(b, 0, recordSize_);
    return b;
}

void TTable::FreeRecordBuffer(TRecordBuffer& buffer) {
    delete[] buffer;
    buffer = nullptr;
}

void TTable::InternalInitRecord(TRecordBuffer buffer) {
    std::memset(buffer + kHeaderSize, 0, layout_.calcOffset - kHeaderSize);
    HeaderOf(buffer).bookmark = 0;
    if (buffer == ActiveBuffer()) {
        pendingMemos_.assign(layout_.offsets.size(), PendingMemo());
    }
}

void TTable::ClearCalcFields(TRecordBuffer buffer) {
    std::memset(buffer + layout_.calcOffset, 0, recordSize_ - layout_.calcOffset);
}

void TTable::GetBookmarkData(TRecordBuffer buffer, void* data) {
    std::memcpy(data, &HeaderOf(buffer).bookmark, sizeof(int64_t));
}

void TTable::SetBookmarkData(TRecordBuffer buffer, const void* data) {
    std::memcpy(&HeaderOf(buffer).bookmark, data, sizeof(int64_t));
}

TBookmarkFlag TTable::GetBookmarkFlag(TRecordBuffer buffer) {
    return static_cast<TBookmarkFlag>(HeaderOf(buffer).flag);
}

void TTable::SetBookmarkFlag(TRecordBuffer buffer, TBookmarkFlag flag) {
    HeaderOf(buffer).flag = flag;
}

// The bookmark of a dBase record is its number among the live records; of an SQLite row,
// its RowId, which stays when other rows come and go.
long TTable::FindRow(int64_t id) const {
    if (dbf_) {
        return id >= 0 && static_cast<size_t>(id) < dbf_->RecordCount() ? static_cast<long>(id)
                                                                        : -1;
    }
    return rows_ ? rows_->Position(id) : -1;
}

void TTable::FillBuffer(TRecordBuffer buffer) {
    // Only a cursor standing on a row fills a buffer.
    assert(current_ >= 0 && static_cast<size_t>(current_) < Count());
    RecordHeader& h = HeaderOf(buffer);
    h.flag = bfCurrent;
    if (dbf_) {
        // dBase values are decoded when read, so that one unreadable value does not
        // stop the reading of the others.
        h.bookmark = current_;
    } else {
        const TLocalRow& row = rows_->At(static_cast<size_t>(current_));
        h.bookmark = row.RowId;
        assert(row.Values.size() == layout_.offsets.size());
        for (size_t i = 0; i < layout_.offsets.size(); ++i) {
            char* slot = buffer + layout_.offsets[i];
            TFieldType type = FieldDefs()[static_cast<int>(i)].DataType();
            *slot = ToNative(type, layout_.sizes[i], row.Values[i],
                             layout_.sizes[i] ? slot + 1 : nullptr);
        }
    }
    GetCalcFields(buffer);
}

TGetResult TTable::GetRecord(TRecordBuffer buffer, TGetMode mode, bool doCheck) {
    long count = static_cast<long>(Count());
    for (;;) {
        if (mode == gmNext) {
            if (current_ >= count - 1) {
                current_ = count;
                return grEOF;
            }
            ++current_;
        } else if (mode == gmPrior) {
            if (current_ <= 0) {
                current_ = -1;
                return grBOF;
            }
            --current_;
        } else if (current_ < 0 || current_ >= count) {
            if (doCheck) {
                DatabaseError("No current record");
            }
            return grError;
        }
        FillBuffer(buffer);
        if (!Filtered() || !OnFilterRecord()) {
            return grOK;
        }
        bool accept = true;
        TDataSetState saved = SetTempState(dsFilter);
        filterBuffer_ = buffer;
        try {
            OnFilterRecord()(*this, accept);
        } catch (const std::exception&) {
            accept = false;
            InternalHandleException();
        }
        filterBuffer_ = nullptr;
        RestoreState(saved);
        if (accept) {
            return grOK;
        }
        if (mode == gmCurrent) {
            mode = gmNext;
        }
    }
}

void TTable::InternalGotoBookmark(const void* data) {
    int64_t id;
    std::memcpy(&id, data, sizeof id);
    long at = FindRow(id);
    if (at < 0) {
        DatabaseError("Record not found");
    }
    current_ = at;
}

void TTable::InternalSetToRecord(TRecordBuffer buffer) {
    InternalGotoBookmark(&HeaderOf(buffer).bookmark);
}

bool TTable::BookmarkValid(const TBookmark& bookmark) {
    if (!IsCursorOpen() || bookmark.size() != sizeof(int64_t)) {
        return false;
    }
    int64_t id;
    std::memcpy(&id, bookmark.data(), sizeof id);
    return FindRow(id) >= 0;
}

void TTable::InternalRefresh() {
    if (sql_) {
        ReloadRows();
    }
}

// Reads the rows from the file again; the cursor stays on its row while that is there.
void TTable::ReloadRows() {
    int64_t id = current_ >= 0 && current_ < static_cast<long>(rows_->Size())
                     ? rows_->At(static_cast<size_t>(current_)).RowId
                     : 0;
    rows_->Load();
    long at = FindRow(id);
    current_ = at >= 0 ? at : -1;
}

int TTable::DataIndex(const TField* field) const {
    int no = field->FieldNo();
    if (field->FieldKind() != fkData || no < 1 || no > static_cast<int>(layout_.offsets.size())) {
        return -1;
    }
    // The open refuses a field whose size differs from its definition: its slot holds it.
    assert(field->IsBlob() ||
           static_cast<size_t>(field->DataSize()) <= layout_.sizes[static_cast<size_t>(no - 1)]);
    return no - 1;
}

TRecordBuffer TTable::BufferForState() const {
    switch (State()) {
    case dsCalcFields:
    case dsInternalCalc:
        return CalcBuffer();
    case dsFilter:
        return filterBuffer_;
    default:
        return BufferedRecordCount() > 0 || State() == dsInsert || State() == dsEdit
                   ? ActiveBuffer()
                   : nullptr;
    }
}

bool TTable::GetFieldData(TField* field, void* buffer) {
    TRecordBuffer rec = BufferForState();
    if (!rec) {
        return false;
    }
    int i = DataIndex(field);
    if (i < 0) {
        // Calculated and lookup fields: their value, then a flag byte.
        const char* slot = rec + layout_.calcOffset + field->Offset();
        size_t size = static_cast<size_t>(field->DataSize());
        assert(layout_.calcOffset + field->Offset() + size < recordSize_);
        if (!slot[size]) {
            return false;
        }
        if (buffer) {
            std::memcpy(buffer, slot, size);
        }
        return true;
    }
    size_t fi = static_cast<size_t>(i);
    TFieldType type = FieldDefs()[i].DataType();
    if (dbf_) {
        int64_t record = HeaderOf(rec).bookmark;
        if (GetBookmarkFlag(rec) != bfCurrent || record < 0 ||
            static_cast<size_t>(record) >= dbf_->RecordCount()) {
            return false;
        }
        TLocalValue v = FromDbf(dbf_->Value(static_cast<size_t>(record), fi));
        return ToNative(type, layout_.sizes[fi], v, layout_.sizes[fi] ? buffer : nullptr);
    }
    assert(fi < layout_.offsets.size() &&
           layout_.offsets[fi] + 1 + layout_.sizes[fi] <= layout_.calcOffset);
    const char* slot = rec + layout_.offsets[fi];
    if (!*slot) {
        return false;
    }
    if (buffer && layout_.sizes[fi]) {
        std::memcpy(buffer, slot + 1, layout_.sizes[fi]);
    }
    return true;
}

void TTable::SetFieldData(TField* field, const void* buffer) {
    TDataSetState st = State();
    int i = DataIndex(field);
    if (i < 0) {
        if (st != dsCalcFields && st != dsInternalCalc && st != dsFilter) {
            DatabaseError("Field '" + field->DisplayName() + "' cannot be modified");
        }
        char* slot = BufferForState() + layout_.calcOffset + field->Offset();
        size_t size = static_cast<size_t>(field->DataSize());
        assert(layout_.calcOffset + field->Offset() + size < recordSize_);
        field->Validate(buffer);
        if (buffer) {
            std::memcpy(slot, buffer, size);
        }
        slot[size] = buffer != nullptr;
        return;
    }
    if (st != dsEdit && st != dsInsert) {
        DatabaseError("Dataset not in edit or insert mode");
    }
    size_t fi = static_cast<size_t>(i);
    TFieldType type = FieldDefs()[i].DataType();
    if (type == ftAutoInc) {
        DatabaseError("Field '" + field->DisplayName() + "' is numbered by the table");
    }
    field->Validate(buffer);
    assert(fi < layout_.offsets.size() &&
           layout_.offsets[fi] + 1 + layout_.sizes[fi] <= layout_.calcOffset);
    char* slot = ActiveBuffer() + layout_.offsets[fi];
    if (field->IsBlob()) {
        if (buffer) {
            DatabaseError("Field '" + field->DisplayName() + "' is written through a stream");
        }
        pendingMemos_[fi] = PendingMemo{true, std::nullopt};
        *slot = 0;
    } else {
        *slot = buffer != nullptr;
        if (buffer) {
            std::memcpy(slot + 1, buffer, layout_.sizes[fi]);
        } else {
            std::memset(slot + 1, 0, layout_.sizes[fi]);
        }
    }
    DataEvent(deFieldChange, reinterpret_cast<intptr_t>(field));
}

void TTable::SetPendingMemo(size_t field, std::optional<std::string> value) {
    if (State() != dsEdit && State() != dsInsert) {
        DatabaseError("Dataset not in edit or insert mode");
    }
    ActiveBuffer()[layout_.offsets.at(field)] = value.has_value() && !value->empty();
    pendingMemos_.at(field) = PendingMemo{true, std::move(value)};
}

std::unique_ptr<TStream> TTable::CreateBlobStream(TField* field, TBlobStreamMode mode) {
    int i = DataIndex(field);
    if (i < 0 || !field->IsBlob()) {
        DatabaseError("Field '" + field->DisplayName() + "' is not a memo of this table");
    }
    size_t fi = static_cast<size_t>(i);
    auto stream = std::make_unique<TTableBlobStream>(*this, fi, field, mode != bmRead);
    if (mode == bmWrite) {
        SetPendingMemo(fi, std::string());
        return stream;
    }
    TLocalValue v = StoredValue(BufferForState(), fi);
    if (auto* text = std::get_if<std::string>(&v)) {
        stream->LoadFrom(text->data(), static_cast<int64_t>(text->size()));
    }
    return stream;
}

// A field's value in a record buffer, memos included, as the table would store it.
TLocalValue TTable::StoredValue(TRecordBuffer buffer, size_t field) const {
    if (!buffer) {
        return {};
    }
    const TFieldDef& def = FieldDefs()[static_cast<int>(field)];
    if (dbf_) {
        int64_t record = HeaderOf(buffer).bookmark;
        if (record < 0 || static_cast<size_t>(record) >= dbf_->RecordCount()) {
            return {};
        }
        return FromDbf(dbf_->Value(static_cast<size_t>(record), field));
    }
    if (NativeSize(def.DataType(), def.Size()) == 0) {
        bool editing = buffer == ActiveBuffer() && (State() == dsEdit || State() == dsInsert);
        if (editing && pendingMemos_[field].changed) {
            const auto& pending = pendingMemos_[field].value;
            return pending ? TLocalValue(*pending) : TLocalValue();
        }
        if (State() == dsInsert && buffer == ActiveBuffer()) {
            return {};
        }
        const TLocalRow* row = rows_->Find(HeaderOf(buffer).bookmark);
        return row ? row->Values[field] : TLocalValue();
    }
    assert(field < layout_.offsets.size() &&
           layout_.offsets[field] + 1 + layout_.sizes[field] <= layout_.calcOffset);
    const char* slot = buffer + layout_.offsets[field];
    if (!*slot) {
        return {};
    }
    return FromNative(def.DataType(), layout_.sizes[field], slot + 1);
}

std::vector<TLocalValue> TTable::BufferValues(TRecordBuffer buffer) const {
    std::vector<TLocalValue> values;
    for (size_t i = 0; i < layout_.offsets.size(); ++i) {
        values.push_back(StoredValue(buffer, i));
    }
    return values;
}

// Puts a stored row where the reading order wants it and makes it current.
void TTable::PlaceRow(const TLocalRow& row) {
    current_ = static_cast<long>(rows_->Insert(row));
}

void TTable::InternalPost() {
    // The dataset posts only what is being edited or inserted.
    assert(State() == dsEdit || State() == dsInsert);
    if (!sql_) {
        DatabaseError("Cannot modify a read-only dataset");
    }
    std::vector<TLocalValue> values = BufferValues(ActiveBuffer());
    if (State() == dsEdit) {
        int64_t id = HeaderOf(ActiveBuffer()).bookmark;
        const TLocalRow* held = rows_->Find(id);
        if (!held) {
            DatabaseError("Record not found");
        }
        const TLocalRow old = *held;
        TLocalRow stored;
        Write([&] { stored = sql_->Update(TLocalRow{id, std::move(values)}); });
        rows_->Erase(old);
        PlaceRow(std::move(stored));
    } else {
        TLocalRow stored;
        Write([&] { stored = sql_->Insert(std::move(values)); });
        PlaceRow(std::move(stored));
    }
    pendingMemos_.assign(layout_.offsets.size(), PendingMemo());
}

void TTable::InternalAddRecord(TRecordBuffer buffer, bool append) {
    (void)append; // the row's place is decided by the index
    if (!sql_) {
        DatabaseError("Cannot modify a read-only dataset");
    }
    TLocalRow stored;
    Write([&] { stored = sql_->Insert(BufferValues(buffer)); });
    PlaceRow(std::move(stored));
}

void TTable::InternalDelete() {
    if (!sql_) {
        DatabaseError("Cannot modify a read-only dataset");
    }
    int64_t id = HeaderOf(ActiveBuffer()).bookmark;
    long at = FindRow(id);
    const TLocalRow* held = at < 0 ? nullptr : rows_->Find(id);
    if (!held) {
        DatabaseError("Record not found");
    }
    const TLocalRow old = *held;
    Write([&] { sql_->Delete(id); });
    rows_->Erase(old);
    current_ = std::min(at, static_cast<long>(rows_->Size()) - 1);
}

void TTable::InternalEdit() {
    pendingMemos_.assign(layout_.offsets.size(), PendingMemo());
}

void TTable::InternalInsert() {
    pendingMemos_.assign(layout_.offsets.size(), PendingMemo());
}

void TTable::InternalCancel() {
    pendingMemos_.assign(layout_.offsets.size(), PendingMemo());
}

int TTable::GetRecordCount() {
    return static_cast<int>(Count());
}

int TTable::GetRecNo() {
    if (BufferedRecordCount() == 0 || State() == dsInsert) {
        return -1;
    }
    long at = FindRow(HeaderOf(ActiveBuffer()).bookmark);
    return at >= 0 ? static_cast<int>(at) + 1 : -1;
}

} // namespace zen
