#include "odbc/Catalog.h"

#include "odbc/CallArgs.h"
#include "odbc/ColumnText.h"
#include "toolkit/Text.h"

namespace zen {

namespace {

// A pattern argument: NULL when empty (an empty string would match nothing).
SQLCHAR* Arg(std::string& s) {
    return s.empty() ? nullptr : Chars(s);
}
SQLSMALLINT ArgLength(const std::string& s) {
    return s.empty() ? 0 : static_cast<SQLSMALLINT>(s.size());
}

} // namespace

std::string ProcedureBaseName(const std::string& reported) {
    return TrimText(reported.substr(0, reported.find(';')), stTrimBoth);
}

TCatalogProcedure::TCatalogProcedure(TOECatalog* catalog, std::string owner, std::string name,
                                     SQLSMALLINT type, std::string remarks)
    : catalog_(catalog), owner_(std::move(owner)), name_(std::move(name)), type_(type),
      remarks_(std::move(remarks)) {}

const TCatalogColumns& TCatalogProcedure::Columns() {
    if (columnsStale_) {
        columns_ = catalog_->ReadColumns(owner_, name_);
        columnsStale_ = false;
    }
    return columns_;
}

std::vector<std::string> TCatalogProcedure::ColumnNames() {
    std::vector<std::string> names;
    for (const TCatalogColumn& c : Columns()) {
        names.push_back(c.ColumnName);
    }
    return names;
}

TOECatalog::TOECatalog(TComponent* owner) : TComponent(owner), stmt_(std::make_unique<THstmt>()) {
    if (THdbc* dbc = FirstConnection(owner)) {
        SetHdbc(dbc);
    }
}

TOECatalog::~TOECatalog() {
    procedures_.clear();
    stmt_.reset();
}

THdbc* TOECatalog::Hdbc() const {
    if (!hdbc_ && Owner()) {
        Owner()->AnnounceComponents();
    }
    return hdbc_;
}

void TOECatalog::SetHdbc(THdbc* hdbc) {
    WatchConnection(this, hdbc_, hdbc);
    hdbc_ = hdbc;
    stmt_->SetHdbc(hdbc);
    proceduresStale_ = true;
    tablesStale_ = true;
}

void TOECatalog::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    THdbc* next = FollowConnection(this, hdbc_, component, operation);
    if (next == hdbc_) {
        return;
    }
    if (!next && component->IsDestroying()) {
        // The statement hears of it itself and lets go without touching what is left.
        WatchConnection(this, hdbc_, nullptr);
        hdbc_ = nullptr;
        proceduresStale_ = true;
        tablesStale_ = true;
        return;
    }
    SetHdbc(next);
}

void TOECatalog::SetTableOwner(const std::string& v) {
    tablesStale_ = tablesStale_ || v != tableOwner_;
    tableOwner_ = v;
}

void TOECatalog::SetTableName(const std::string& v) {
    tablesStale_ = tablesStale_ || v != tableName_;
    tableName_ = v;
}

void TOECatalog::SetTableType(TTableTypes v) {
    tablesStale_ = tablesStale_ || v != tableType_;
    tableType_ = v;
}

void TOECatalog::SetProcedureOwner(const std::string& v) {
    proceduresStale_ = proceduresStale_ || v != procedureOwner_;
    procedureOwner_ = v;
}

void TOECatalog::SetProcedureName(const std::string& v) {
    proceduresStale_ = proceduresStale_ || v != procedureName_;
    procedureName_ = v;
}

const TCatalogProcedures& TOECatalog::Procedures() {
    if (proceduresStale_) {
        RefreshProcedures();
        proceduresStale_ = false;
    }
    return procedures_;
}

TCatalogProcedure* TOECatalog::FindProcedure(const std::string& owner, const std::string& name) {
    const std::string wantOwner = TrimText(owner, stTrimBoth);
    const std::string wantName = TrimText(name, stTrimBoth);
    for (const auto& p : Procedures()) {
        if (SameName(p->Name(), wantName) &&
            (wantOwner.empty() || SameName(p->Owner(), wantOwner))) {
            return p.get();
        }
    }
    return nullptr;
}

void TOECatalog::RefreshProcedures() {
    if (!Hdbc()) {
        throw EODBCExpress("Property Hdbc of " + Name() + " not set.");
    }
    procedureOwner_ = TrimText(procedureOwner_, stTrimBoth);
    procedureName_ = TrimText(procedureName_, stTrimBoth);
    std::string owner = procedureOwner_;
    std::string name = procedureName_;
    // A fresh handle: no result set or binding of an earlier call is left on it.
    stmt_->Terminate();
    stmt_->ExecuteCatalog([&](SQLHSTMT h) {
        return SQLProcedures(h, nullptr, 0, Arg(owner), ArgLength(owner), Arg(name),
                             ArgLength(name));
    });
    // The list is replaced only once the new one is complete.
    TCatalogProcedures list;
    while (stmt_->FetchNext()) {
        list.push_back(std::make_unique<TCatalogProcedure>(
            this, stmt_->ColAsString(2), ProcedureBaseName(stmt_->ColAsString(3)),
            static_cast<SQLSMALLINT>(stmt_->ColAsInteger(8)), stmt_->ColAsString(7)));
    }
    procedures_ = std::move(list);
}

TCatalogColumns TOECatalog::ReadColumns(const std::string& procOwner, const std::string& procName) {
    if (!Hdbc()) {
        throw EODBCExpress("Property Hdbc of " + Name() + " not set.");
    }
    std::string owner = procOwner;
    std::string name = procName;
    stmt_->Terminate();
    stmt_->ExecuteCatalog([&](SQLHSTMT h) {
        return SQLProcedureColumns(h, nullptr, 0, Arg(owner), ArgLength(owner), Chars(name),
                                   static_cast<SQLSMALLINT>(name.size()), nullptr, 0);
    });
    TCatalogColumns columns;
    THstmt& s = *stmt_;
    while (s.FetchNext()) {
        TCatalogColumn c;
        c.ColumnName = s.ColAsString(4);
        c.ColumnType = static_cast<SQLSMALLINT>(s.ColAsInteger(5));
        c.DataType = static_cast<SQLSMALLINT>(s.ColAsInteger(6));
        c.TypeName = s.ColAsString(7);
        c.ColumnSize = s.ColAsInteger(8);
        c.DecimalDigits = static_cast<SQLSMALLINT>(s.ColAsInteger(10));
        c.Radix = static_cast<SQLSMALLINT>(s.ColAsInteger(11));
        c.Nullable = static_cast<SQLSMALLINT>(s.ColAsInteger(12));
        c.Remarks = s.ColAsString(13);
        c.DefaultValue = s.ColAsString(14);
        columns.push_back(std::move(c));
    }
    return columns;
}

} // namespace zen
