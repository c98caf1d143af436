// The dataset's life and settings: construction and the statement's events, the
// connection, what the statement runs, the setters that terminate the statement,
// preparing, opening and closing, parameters and the master link.

#include "dataset/OEDataSet.h"

#include "odbc/Catalog.h"
#include "odbc/OCLError.h"
#include "odbc/SqlText.h"
#include "odbc/TypeMapping.h"
#include "toolkit/Text.h"

#include <algorithm>

namespace zen {

// --- Update object ----------------------------------------------------------------------

TOEUpdateObject::~TOEUpdateObject() {
    if (dataSet_ && dataSet_->updateObject_ == this) {
        dataSet_->updateObject_ = nullptr;
    }
}

void TOEUpdateObject::SetDataSet(TCustomOEDataSet* dataSet) {
    if (dataSet_ == dataSet) {
        return;
    }
    TCustomOEDataSet* old = dataSet_;
    dataSet_ = nullptr;
    if (old && old->updateObject_ == this) {
        old->updateObject_ = nullptr;
    }
    dataSet_ = dataSet;
}

// --- Construction -----------------------------------------------------------------------

TCustomOEDataSet::TCustomOEDataSet(TComponent* owner) : TCustomOEDataSet(owner, nullptr) {}

TCustomOEDataSet::TCustomOEDataSet(TComponent* owner, std::unique_ptr<THstmt> stmt)
    : TDataSet(owner), masterLink_(*this) {
    // During construction only this class's CreateHstmt can be reached.
    stmt_ = stmt ? std::move(stmt) : TCustomOEDataSet::CreateHstmt();
    hStmt_ = std::make_unique<TDataSetHstmt>(*this, *stmt_);
    stmt_->OnInsert = [this](TObject* s, const std::string& m) { return DoInsert(s, m); };
    stmt_->OnUpdate = [this](TObject* s, const std::string& m) { return DoUpdate(s, m); };
    stmt_->OnDelete = [this](TObject* s, const std::string& m) { return DoDelete(s, m); };
    stmt_->OnRefresh = [this](TObject* s, const std::string& m) { return DoRefresh(s, m); };
    stmt_->OnRowCount = [this](TObject* s) { return DoRowCount(s); };
    stmt_->BeforeTerminate = [this](TObject*) { StatementTerminating(); };
    if (THdbc* dbc = FirstConnection(owner)) {
        SetHdbc(dbc);
    }
}

TCustomOEDataSet::~TCustomOEDataSet() {
    Destroying();
    try {
        SetActive(false);
    } catch (...) {
        // A destructor cannot report; what is left is freed below.
    }
    stmt_->BeforeTerminate = nullptr;
    if (updateObject_) {
        updateObject_->SetDataSet(nullptr);
    }
    FreeWorkBuffers();
    FreeRowLists();
    FreeDeletedBookmarks();
    masterLink_.SetDataSource(nullptr);
}

std::unique_ptr<THstmt> TCustomOEDataSet::CreateHstmt() {
    return std::make_unique<THstmt>();
}

void TCustomOEDataSet::Notification(TComponent* component, TOperation operation) {
    TDataSet::Notification(component, operation);
    if (operation == TOperation::opRemove && component == updateObject_) {
        updateObject_ = nullptr;
    }
    if (operation == TOperation::opInsert && !Hdbc() && dynamic_cast<THdbc*>(component)) {
        // A connection that joins our owner while we have none becomes ours.
        if (THdbc* next = FollowConnection(this, nullptr, component, operation)) {
            SetHdbc(next);
        }
    }
    // A connection that goes away is dropped by the statement itself, which watches it.
}

// --- The statement ------------------------------------------------------------------------

void TCustomOEDataSet::StatementTerminating() {
    // The handle goes (a disconnect, a changed cursor setting): no cursor survives it.
    if (Active() || State() == dsOpening) {
        SetActive(false);
    }
    prepared_ = false;
    paramsBound_ = false;
}

void TCustomOEDataSet::TerminateStatement() {
    stmt_->Terminate();
}

void TCustomOEDataSet::SetHdbc(THdbc* hdbc) {
    stmt_->SetHdbc(hdbc);
}

void TCustomOEDataSet::SourceChanged() {
    paramsNeedCreating_ = !IsLoading() && (paramCheck_ || IsDesigning());
    Unprepare();
    if (!IsLoading()) {
        hStmt_->Target().Clear();
    }
}

void TCustomOEDataSet::SetSQLText(const std::string& text) {
    TerminateStatement();
    tableName_.clear();
    storedProcName_.clear();
    sqlText_ = text;
    stmt_->SetSQL(text);
    SourceChanged();
}

void TCustomOEDataSet::SetTableName(const std::string& name) {
    TerminateStatement();
    tableName_ = name;
    storedProcName_.clear();
    SourceChanged();
}

void TCustomOEDataSet::SetStoredProcName(const std::string& name) {
    TerminateStatement();
    storedProcName_ = name;
    tableName_.clear();
    SourceChanged();
}

// --- Settings -------------------------------------------------------------------------------

bool TCustomOEDataSet::RequestLive() const {
    return stmt_->ConcurrencyType() != SQL_CONCUR_READ_ONLY;
}

void TCustomOEDataSet::SetRequestLive(bool on) {
    if (!on) {
        hStmt_->SetConcurrencyType(SQL_CONCUR_READ_ONLY);
    } else if (stmt_->ConcurrencyType() == SQL_CONCUR_READ_ONLY) {
        hStmt_->SetConcurrencyType(SQL_CONCUR_VALUES);
    }
    SetEditable(on);
}

void TCustomOEDataSet::SetEditable(bool on) {
    TerminateStatement();
    editable_ = on;
    if (on && !IsLoading() && stmt_->ConcurrencyType() == SQL_CONCUR_READ_ONLY &&
        (!stmt_->SkipByPosition() || !stmt_->SkipByCursor())) {
        stmt_->SetConcurrencyType(SQL_CONCUR_VALUES);
    }
}

bool TCustomOEDataSet::UniDirectional() const {
    return askedCursorType_ == SQL_CURSOR_FORWARD_ONLY;
}

// The scrollable cursor type a forward-only one becomes: static through the cursor
// library, keyset-driven from the driver.
static SQLULEN ScrollableCursorType(const THdbc* hdbc) {
    return hdbc && hdbc->CursorLib() != SQL_CUR_USE_DRIVER ? SQL_CURSOR_STATIC
                                                           : SQL_CURSOR_KEYSET_DRIVEN;
}

void TCustomOEDataSet::SetUniDirectional(bool on) {
    if (on) {
        hStmt_->SetCursorType(SQL_CURSOR_FORWARD_ONLY);
    } else if (askedCursorType_ == SQL_CURSOR_FORWARD_ONLY) {
        hStmt_->SetCursorType(ScrollableCursorType(Hdbc()));
    }
}

void TCustomOEDataSet::SetCached(bool on) {
    TerminateStatement();
    cached_ = on;
    if (on) {
        if (!IsLoading()) {
            stmt_->SetConcurrencyType(SQL_CONCUR_READ_ONLY);
            AskCursorType(SQL_CURSOR_FORWARD_ONLY);
        }
        stmt_->SetSkipByPosition(true);
        stmt_->SetSkipByCursor(true);
    } else {
        if (!IsLoading()) {
            if (stmt_->ConcurrencyType() == SQL_CONCUR_READ_ONLY) {
                stmt_->SetConcurrencyType(SQL_CONCUR_VALUES);
            }
            if (askedCursorType_ == SQL_CURSOR_FORWARD_ONLY) {
                AskCursorType(ScrollableCursorType(Hdbc()));
            }
        }
        stmt_->SetRowSetSize(1);
        cachedUpdates_ = false;
    }
}

void TCustomOEDataSet::SetCachedUpdates(bool on) {
    TerminateStatement();
    cachedUpdates_ = on;
    if (on) {
        SetCached(true);
    }
}

void TCustomOEDataSet::SetDataSource(TDataSource* source) {
    if (source && source->IsLinkedTo(this)) {
        throw EODBCExpress("Circular Reference to DataSource");
    }
    masterLink_.SetDataSource(source);
}

void TCustomOEDataSet::SetUpdateObject(TOEUpdateObject* object) {
    if (object == updateObject_) {
        return;
    }
    if (updateObject_ && updateObject_->GetDataSet() == this) {
        updateObject_->SetDataSet(nullptr);
    }
    updateObject_ = object;
    if (object) {
        if (object->GetDataSet() && object->GetDataSet() != this) {
            object->GetDataSet()->SetUpdateObject(nullptr);
        }
        object->SetDataSet(this);
        updateObject_ = object;
    }
}

void TCustomOEDataSet::SetFiltered(bool on) {
    TDataSet::SetFiltered(on);
    if (Active()) {
        RefreshResults();
    }
}

void TCustomOEDataSet::SetOnFilterRecord(TFilterRecordEvent handler) {
    TDataSet::SetOnFilterRecord(std::move(handler));
    if (Active()) {
        RefreshResults();
    }
}

void TCustomOEDataSet::SetBlockReadSize(int size) {
    // Block reading is not offered; only the move that a negative size asks for is made.
    CheckActive();
    if (size < 0) {
        Next();
    }
}

// --- Preparing and executing ---------------------------------------------------------------

std::string TCustomOEDataSet::StatementText() {
    if (!tableName_.empty()) {
        return "SELECT * FROM " + QuoteIdentifier(tableName_);
    }
    if (!storedProcName_.empty()) {
        return StoredProcStatement();
    }
    return sqlText_;
}

std::string TCustomOEDataSet::StoredProcStatement() {
    TOEParams& params = Params();
    std::string text = "{";
    for (int i = 0; i < params.Count(); ++i) {
        if (params[i].ParamType() == ptResult) {
            text += ":" + params[i].Name() + " = ";
            break;
        }
    }
    text += "CALL " + storedProcName_ + "(";
    for (int i = 0; i < params.Count(); ++i) {
        if (params[i].ParamType() != ptResult) {
            text += ":" + params[i].Name() + ", ";
        }
    }
    if (text.back() == ' ') {
        text.resize(text.size() - 2);
        text += ")}";
    } else {
        text.back() = '}'; // the "(" of a call without parameters
    }
    return text;
}

TOEParams& TCustomOEDataSet::Params() {
    if (paramsNeedCreating_ && !IsLoading()) {
        CreateParams();
    }
    return params_;
}

void TCustomOEDataSet::SetParams(const TParams& source) {
    Params().AssignValues(source);
}

void TCustomOEDataSet::CreateParams() {
    if (creatingParams_) {
        return;
    }
    if (!tableName_.empty()) {
        // A table takes no parameters; whatever was added since is dropped again the next
        // time they are asked for.
        params_.Clear();
        paramNames_.Clear();
        paramsBound_ = false;
        return;
    }
    creatingParams_ = true;
    // At design time the parameters a designer has typed keep their types and values;
    // at run time they are made afresh, only the values of kept names carried over.
    const bool designing = IsDesigning();
    try {
        TOEParams old;
        old.Assign(params_);
        if (!designing) {
            params_.Clear();
        }
        paramNames_.Clear();
        if (!storedProcName_.empty()) {
            CreateProcedureParams();
        } else {
            CreateTextParams();
        }
        if (!designing) {
            params_.AssignValues(old);
        }
    } catch (...) {
        creatingParams_ = false;
        throw;
    }
    creatingParams_ = false;
    paramsNeedCreating_ = false;
    paramsBound_ = false;
}

// Design time: parameters whose names are no longer among `names` go, with their
// descriptions.
void TCustomOEDataSet::DropParamsNotIn(const std::vector<std::string>& names) {
    for (int i = params_.Count() - 1; i >= 0; --i) {
        const TParam& p = params_[i];
        bool kept = std::any_of(names.begin(), names.end(),
                                [&](const std::string& n) { return SameName(n, p.Name()); });
        if (!kept) {
            params_.RemoveDescription(p.Name());
            params_.RemoveParam(&p);
        }
    }
}

void TCustomOEDataSet::CreateProcedureParams() {
    THdbc* dbc = Hdbc();
    if (!dbc) {
        return;
    }
    // Without the catalog the procedure is called without parameters.
    try {
        dbc->Connect();
        TOECatalog catalog;
        catalog.SetHdbc(dbc);
        TCatalogProcedure* proc = catalog.FindProcedure("", storedProcName_);
        if (!proc) {
            return;
        }
        std::vector<std::string> names;
        int arguments = 0;
        for (const TCatalogColumn& c : proc->Columns()) {
            if (c.ColumnType == SQL_RESULT_COL) {
                continue;
            }
            arguments += c.ColumnType == SQL_RETURN_VALUE ? 0 : 1;
            // PostgreSQL's driver leaves a function's return value unnamed, as a procedure
            // may leave an argument; a bare ":" would make the call text unreadable.
            std::string name = c.ColumnName;
            if (name.find_first_not_of(' ') == std::string::npos) {
                name = c.ColumnType == SQL_RETURN_VALUE ? std::string("Result")
                                                        : "Param" + std::to_string(arguments);
            }
            names.push_back(name);
            paramNames_.Add(name);
            if (params_.FindParam(name)) {
                continue; // kept at design time
            }
            TFieldType type = FieldTypeOfSqlType(c.DataType, true);
            params_.AddDescription({name, c.Nullable == SQL_NO_NULLS, type, c.DecimalDigits,
                                    static_cast<uint32_t>(std::max<SQLINTEGER>(c.ColumnSize, 0))});
            params_.CreateParam(type, name, ParamTypeOfOdbc(c.ColumnType));
        }
        DropParamsNotIn(names);
    } catch (const std::exception&) {
    }
}

void TCustomOEDataSet::CreateTextParams() {
    std::string text = StatementText();
    bool describe = false;
    if (Hdbc() && !Hdbc()->NoDescribeParam() &&
        text.find_first_not_of(" \t\r\n") != std::string::npos) {
        // A connection that cannot be made leaves the parameters undescribed.
        try {
            Hdbc()->Connect();
            Prepare();
            describe = true;
        } catch (const std::exception&) {
        }
    }
    if (stmt_->SQL() != text) {
        stmt_->SetSQL(text);
    }
    std::vector<std::string> names = stmt_->ParamNames();
    DropParamsNotIn(names);
    for (size_t i = 0; i < names.size(); ++i) {
        paramNames_.Add(names[i]);
        // A name used twice is one parameter; at design time one already there stays.
        if (params_.FindParam(names[i])) {
            continue;
        }
        TOEDefRec def;
        def.name = names[i];
        SQLSMALLINT sqlType = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
        if (describe) {
            try {
                describe = stmt_->DescribeParam(static_cast<SQLUSMALLINT>(i + 1), sqlType, size,
                                                digits, nullable);
            } catch (const std::exception&) {
                describe = false;
            }
            if (!describe) {
                sqlType = 0;
                size = 0;
                digits = 0;
                nullable = SQL_NULLABLE_UNKNOWN;
            }
        }
        def.fieldType = sqlType ? FieldTypeOfSqlType(sqlType, true) : ftUnknown;
        def.required = nullable == SQL_NO_NULLS;
        def.columnSize = static_cast<uint32_t>(std::min<SQLULEN>(size, UINT32_MAX));
        def.decimalDigits = digits;
        params_.AddDescription(def);
        params_.CreateParam(def.fieldType, names[i], ptInput);
    }
}

void TCustomOEDataSet::Prepare() {
    if (prepared_ || IsLoading()) {
        return;
    }
    std::string text = StatementText();
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        throw EODBCExpress("SQL-, Table- or StoredProc-Property must be set.");
    }
    if (stmt_->SQL() != text) {
        stmt_->SetSQL(text);
    }
    Hdbc(); // takes a connection that joined the owner since
    ChooseRowSource();
    stmt_->Prepare();
    prepared_ = true;
    paramsBound_ = false;
    if (paramsNeedCreating_) {
        CreateParams();
    }
}

void TCustomOEDataSet::AskCursorType(SQLULEN type) {
    askedCursorType_ = type;
    stmt_->SetCursorType(type);
}

// A dataset over a table of a million rows must not read it all to show the first row:
// over a driver that would, the dataset steps through a forward-only cursor and keeps the
// rows read so far itself, so that it still moves back and finds rows by bookmark.
void TCustomOEDataSet::ChooseRowSource() {
    const bool stepping = Hdbc() && Hdbc()->Quirks().ScrollReadsWhole();
    readAhead_ = !cached_ && askedCursorType_ != SQL_CURSOR_FORWARD_ONLY && stepping;
    // Rows kept by the dataset are not where the cursor stands.
    stmt_->SetWritesThroughCursor(!UsesCache());
    releaseOnClose_ = stepping && (readAhead_ || askedCursorType_ == SQL_CURSOR_FORWARD_ONLY);
    stmt_->SetCursorType(readAhead_ ? SQL_CURSOR_FORWARD_ONLY : askedCursorType_);
}

bool TCustomOEDataSet::ReleasesHalfReadStatement() {
    return Hdbc() && Hdbc()->Quirks().ScrollReadsWhole();
}

void TCustomOEDataSet::Unprepare() {
    prepared_ = false;
    paramsBound_ = false;
}

void TCustomOEDataSet::ExecSQL() {
    if (!prepared_) {
        Prepare();
    }
    if (IsLoading()) {
        return; // nothing runs before the form is read whole
    }
    if (!paramsBound_ || params_.Count() > 0) {
        params_.Bind(*stmt_, stmt_->BindByName());
        paramsBound_ = true;
    }
    stmt_->Execute();
    params_.ReadOutputs(*stmt_);
}

// --- Opening and closing ---------------------------------------------------------------------

void TCustomOEDataSet::InternalInitFieldDefs() {
    ExecSQL();
    stmt_->BindCols();
    FieldDefs().Clear();
    for (int col = 1; col <= stmt_->NumCols(); ++col) {
        SQLSMALLINT sqlType = stmt_->ColSqlType(col);
        SQLSMALLINT cType = stmt_->ColCType(col);
        bool boundSigned = (sqlType == SQL_SMALLINT && cType == SQL_C_SSHORT) ||
                           (sqlType == SQL_TINYINT && cType == SQL_C_STINYINT);
        TFieldType type = stmt_->ColIsLong(col) ? (cType == SQL_C_CHAR ? ftMemo : ftBlob)
                                                : FieldTypeOfSqlType(sqlType, boundSigned);
        int size = 0;
        if (type == ftString) {
            // As many characters as the statement's element holds.
            size = static_cast<int>((stmt_->ColElementSize(col) - 1) / kMaxCharBytes);
        } else if (type == ftBytes) {
            size = static_cast<int>(stmt_->ColElementSize(col));
        }
        // Never required from NOT NULL alone: a column with a database default takes it
        // when an insert leaves the column out, and a value truly missing is the
        // database's to refuse.
        TFieldDef& def = FieldDefs().Add(stmt_->ColName(col), type, size, false);
        def.SetFieldNo(col);
        def.SetPrecision(stmt_->ColDecimalDigits(col));
    }
}

// No rows read, kept or deleted yet: a result just executed.
void TCustomOEDataSet::StartResult() {
    FreeRowLists();
    FreeDeletedBookmarks();
    allFetched_ = false;
    insertedCount_ = 0;
    cachePosition_ = 0;
    bookmarkSequence_ = 0;
}

void TCustomOEDataSet::InternalOpen() {
    postedInsertShown_ = false;
    SetParamsFromCursor();
    InternalInitFieldDefs();
    StartResult();
    cursorOpen_ = true;
    if (DefaultFields()) {
        CreateFields();
    }
    BindFields(true);
    ComputeLayout();
    SetBookmarkSize(UsesCache() ? 4 : static_cast<int>(stmt_->BookmarkLength()));
    FreeWorkBuffers();
    filterBuffer_ = NewBuffer();
    oldValuesBuffer_ = NewBuffer();
    locateBuffer_ = NewBuffer();
}

void TCustomOEDataSet::InternalClose() {
    blobStreamsAlive_ = std::make_shared<char>(); // the record buffers go
    postedInsertShown_ = false;
    FreeWorkBuffers();
    FreeRowLists();
    bool wasOpen = cursorOpen_;
    cursorOpen_ = false;
    if (wasOpen && stmt_->Allocated()) {
        stmt_->CloseCursor();
        // SQLite keeps a forward-only statement that stepped part of its result holding
        // the database's read lock until the handle goes, which would keep every other
        // connection from writing: the handle is given up, the next open prepares afresh.
        // One that read its result to the end holds nothing and stays prepared.
        if (GivesUpStatement()) {
            stmt_->Terminate(); // StatementTerminating unprepares
        }
    }
    params_.FreeBindBuffers();
    paramsBound_ = false;
}

void TCustomOEDataSet::Requery() {
    // A half-read statement over SQLite is given up on closing, not run again; a master's
    // parameters are read by opening.
    const bool keepable = Active() && State() == dsBrowse && prepared_ && cursorOpen_ &&
                          stmt_->Allocated() && !GivesUpStatement() && !DataSource();
    if (!keepable) {
        Close();
        Open();
        return;
    }
    StartResult();
    try {
        ExecSQL(); // closes the cursor left open first
    } catch (...) {
        // Left closed, as a failed opening leaves it; the execution's fault is the one told.
        try {
            Close();
        } catch (...) {
        }
        throw;
    }
    CursorReopened();
}

void TCustomOEDataSet::RefreshResults() {
    DisableControls();
    try {
        Close();
        Open();
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TCustomOEDataSet::RefreshParams() {
    TDataSource* source = DataSource();
    TDataSet* master = source ? source->DataSet() : nullptr;
    if (master && master->Active() && master->State() != dsSetKey) {
        RefreshResults();
    }
}

void TCustomOEDataSet::InternalHandleException() {
    try {
        throw;
    } catch (const std::exception& e) {
        HandleApplicationException(e);
    }
}

// --- Parameters and the master ---------------------------------------------------------------

void TCustomOEDataSet::SetParamsFromCursor() {
    TDataSource* source = DataSource();
    TDataSet* master = source ? source->DataSet() : nullptr;
    if (!master || !master->Active()) {
        return;
    }
    // Preparing makes the parameters; executing waits for their values.
    Prepare();
    for (int i = 0; i < params_.Count(); ++i) {
        TParam& p = params_[i];
        if (TField* f = master->FindField(p.Name())) {
            p.AssignFieldValue(*f, f->AsVariant());
            p.SetBound(false);
            paramsBound_ = false;
        }
    }
}

void TCustomOEDataSet::GetDetailLinkFields(std::vector<TField*>& masterFields,
                                           std::vector<TField*>& detailFields) {
    masterFields.clear();
    detailFields.clear();
    TDataSource* source = DataSource();
    TDataSet* master = source ? source->DataSet() : nullptr;
    if (!master) {
        return;
    }
    for (int i = 0; i < params_.Count(); ++i) {
        if (TField* f = master->FindField(params_[i].Name())) {
            masterFields.push_back(f);
            if (TField* d = FindField(params_[i].Name())) {
                detailFields.push_back(d);
            }
        }
    }
}

void TOEDataLink::ActiveChanged() {
    if (dataSet_.Active()) {
        dataSet_.RefreshParams();
    }
}

void TOEDataLink::CheckBrowseMode() {
    if (dataSet_.Active()) {
        dataSet_.CheckBrowseMode();
    }
}

void TOEDataLink::RecordChanged(TField* field) {
    // A whole-record change: the master moved to another row.
    if (!field && dataSet_.Active()) {
        dataSet_.RefreshParams();
    }
}

} // namespace zen
