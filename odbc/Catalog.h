#pragma once
// Catalog queries: the stored procedures that match an owner and name pattern, and each
// procedure's parameter and result columns, read through the catalog's own statement.

#include "odbc/Hstmt.h"

#include <memory>
#include <string>
#include <vector>

namespace zen {

class TOECatalog;

// One row of SQLProcedureColumns.
struct TCatalogColumn {
    std::string ColumnName;
    SQLSMALLINT ColumnType = 0; // SQL_PARAM_INPUT ... SQL_RESULT_COL
    SQLSMALLINT DataType = 0;
    std::string TypeName;
    SQLINTEGER ColumnSize = 0;
    SQLSMALLINT DecimalDigits = 0;
    SQLSMALLINT Radix = 0;
    SQLSMALLINT Nullable = SQL_NULLABLE_UNKNOWN;
    std::string DefaultValue;
    std::string Remarks;
};
using TCatalogColumns = std::vector<TCatalogColumn>;

class TCatalogProcedure {
public:
    TCatalogProcedure(TOECatalog* catalog, std::string owner, std::string name, SQLSMALLINT type,
                      std::string remarks);

    TOECatalog* Catalog() const noexcept { return catalog_; }
    const std::string& Owner() const noexcept { return owner_; }
    const std::string& Name() const noexcept { return name_; }
    SQLSMALLINT ProcedureType() const noexcept { return type_; }
    const std::string& Remarks() const noexcept { return remarks_; }

    // Read from the catalog on first use.
    const TCatalogColumns& Columns();
    std::vector<std::string> ColumnNames();

private:
    TOECatalog* catalog_;
    std::string owner_;
    std::string name_;
    SQLSMALLINT type_;
    std::string remarks_;
    TCatalogColumns columns_;
    bool columnsStale_ = true;
};
using TCatalogProcedures = std::vector<std::unique_ptr<TCatalogProcedure>>;

enum TTableType : unsigned { ttTable = 1u << 0, ttView = 1u << 1, ttSystem = 1u << 2 };
using TTableTypes = unsigned;

// A procedure name as the catalog reports it, without the ";1" group number some
// servers append, and without surrounding blanks.
std::string ProcedureBaseName(const std::string& reported);

class TOECatalog : public TComponent {
public:
    explicit TOECatalog(TComponent* owner = nullptr);
    ~TOECatalog() override;
    const char* ClassName() const noexcept override { return "TOECatalog"; }

    // As a statement's: a connection made after the catalog is taken on first use.
    THdbc* Hdbc() const;
    void SetHdbc(THdbc* hdbc);
    const std::string& TableOwner() const noexcept { return tableOwner_; }
    void SetTableOwner(const std::string& v);
    const std::string& TableName() const noexcept { return tableName_; }
    void SetTableName(const std::string& v);
    TTableTypes TableType() const noexcept { return tableType_; }
    void SetTableType(TTableTypes v);
    const std::string& ProcedureOwner() const noexcept { return procedureOwner_; }
    void SetProcedureOwner(const std::string& v);
    const std::string& ProcedureName() const noexcept { return procedureName_; }
    void SetProcedureName(const std::string& v);

    // The procedures matching the owner and name patterns; read again only after a
    // change of the patterns or the connection.
    const TCatalogProcedures& Procedures();
    // The first procedure of that name (and owner, unless empty), compared trimmed and
    // case-insensitively; nullptr when there is none.
    TCatalogProcedure* FindProcedure(const std::string& owner, const std::string& name);

    THstmt& Hstmt() noexcept { return *stmt_; }

protected:
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TCatalogProcedure;
    void RefreshProcedures();
    TCatalogColumns ReadColumns(const std::string& owner, const std::string& name);

    THdbc* hdbc_ = nullptr;
    std::unique_ptr<THstmt> stmt_;
    std::string tableOwner_;
    std::string tableName_ = "%";
    TTableTypes tableType_ = ttTable | ttView;
    std::string procedureOwner_;
    std::string procedureName_ = "%";
    TCatalogProcedures procedures_;
    bool proceduresStale_ = true;
    bool tablesStale_ = true;
};

} // namespace zen
