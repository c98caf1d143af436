#include "localtable/SqliteTable.h"

#include "localtable/SqliteFile.h"
#include "toolkit/Exceptions.h"
#include "toolkit/FieldDefs.h"
#include "toolkit/Text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <sqlite3.h>

namespace zen {

using namespace lite;

namespace {

// The definitions of the file's table, kept beside it.
constexpr const char* kFieldsTable = "ZenFields";
constexpr const char* kIndexesTable = "ZenIndexes";

Storage StorageOf(TFieldType type) {
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftLargeint:
    case ftAutoInc:
        return Storage::Integer;
    case ftFloat:
    case ftCurrency:
    case ftDate:
    case ftTime:
    case ftDateTime:
        return Storage::Real;
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftMemo:
    case ftFmtMemo:
        return Storage::Text;
    default:
        return Storage::None;
    }
}

bool IsSizedText(TFieldType type) {
    return type == ftString || type == ftFixedChar || type == ftWideString;
}

void IntegerRange(TFieldType type, int64_t& lo, int64_t& hi) {
    switch (type) {
    case ftSmallint:
        lo = INT16_MIN, hi = INT16_MAX;
        return;
    case ftWord:
        lo = 0, hi = UINT16_MAX;
        return;
    case ftBoolean:
        lo = 0, hi = 1;
        return;
    case ftInteger:
    case ftAutoInc:
        lo = INT32_MIN, hi = INT32_MAX;
        return;
    default:
        lo = INT64_MIN, hi = INT64_MAX;
        return;
    }
}

// The declared column type; informative only, the stored definitions are what counts.
std::string DeclaredType(const TLocalField& f) {
    switch (f.DataType) {
    case ftAutoInc:
        return "INTEGER PRIMARY KEY AUTOINCREMENT";
    case ftSmallint:
        return "SMALLINT";
    case ftFloat:
        return "FLOAT";
    case ftDateTime:
        return "DATETIME";
    case ftMemo:
    case ftFmtMemo:
        return "TEXT";
    default:
        break;
    }
    if (IsSizedText(f.DataType)) {
        return "VARCHAR(" + std::to_string(f.Size) + ")";
    }
    return StorageOf(f.DataType) == Storage::Integer ? "INTEGER" : "REAL";
}

// SQLite's order of values: null, then numbers by value, then texts byte by byte.
int CompareValues(const TLocalValue& a, const TLocalValue& b, bool noCase) {
    auto rank = [](const TLocalValue& v) {
        return v.index() == 0 ? 0 : std::holds_alternative<std::string>(v) ? 2 : 1;
    };
    int ra = rank(a), rb = rank(b);
    if (ra != rb || ra == 0) {
        return ra < rb ? -1 : ra > rb ? 1 : 0;
    }
    if (ra == 1) {
        if (std::holds_alternative<int64_t>(a) && std::holds_alternative<int64_t>(b)) {
            int64_t x = std::get<int64_t>(a), y = std::get<int64_t>(b);
            return x < y ? -1 : x > y ? 1 : 0;
        }
        auto num = [](const TLocalValue& v) -> long double {
            return std::holds_alternative<int64_t>(v) ? (long double)std::get<int64_t>(v)
                                                      : (long double)std::get<double>(v);
        };
        long double x = num(a), y = num(b);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    const std::string& x = std::get<std::string>(a);
    const std::string& y = std::get<std::string>(b);
    // SQLite's NOCASE folds ASCII letters to lower case ("_" sorts after "Z" but before "a").
    int c = noCase ? AsciiLower(x).compare(AsciiLower(y)) : x.compare(y);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void AppendBigEndian(std::string& out, uint64_t v) {
    for (int shift = 56; shift >= 0; shift -= 8) {
        out.push_back(static_cast<char>(v >> shift));
    }
}

// The bits of a double as an unsigned number in the double's order.
uint64_t OrderedBits(double d) {
    if (d == 0) {
        d = 0; // -0 and +0 are equal
    }
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return (bits >> 63) ? ~bits : bits | (uint64_t{1} << 63);
}

// One value in CompareValues' order as bytes; no value's bytes are a prefix of another's,
// so inverting them reverses the order. A number is its nearest double followed by the
// exact remainder of a whole number, which orders large integers that share a double.
void AppendValueKey(std::string& out, const TLocalValue& v, bool noCase) {
    if (v.index() == 0) {
        out.push_back('\x01');
        return;
    }
    if (auto* text = std::get_if<std::string>(&v)) {
        out.push_back('\x03');
        for (char c : *text) {
            if (noCase && c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
            out.push_back(c);
            if (c == '\0') {
                out.push_back('\xFF');
            }
        }
        out.append(2, '\0');
        return;
    }
    double d;
    int64_t remainder = 0;
    if (auto* i = std::get_if<int64_t>(&v)) {
        d = static_cast<double>(*i);
        remainder = static_cast<int64_t>(static_cast<__int128>(*i) - static_cast<__int128>(d));
    } else {
        d = std::get<double>(v);
    }
    out.push_back('\x02');
    AppendBigEndian(out, OrderedBits(d));
    AppendBigEndian(out, static_cast<uint64_t>(remainder) ^ (uint64_t{1} << 63));
}

} // namespace

std::string JoinFieldNames(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) {
        out += (out.empty() ? "" : ";") + n;
    }
    return out;
}

// The connection and the prepared statements that live as long as it.
struct TSqliteTable::Db {
    sqlite3* handle = nullptr;
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* update = nullptr;
    sqlite3_stmt* remove = nullptr;
    sqlite3_stmt* select = nullptr; // one row by its RowId
    ~Db() {
        sqlite3_finalize(select);
        sqlite3_finalize(insert);
        sqlite3_finalize(update);
        sqlite3_finalize(remove);
        sqlite3_close(handle);
    }
};

namespace {

// The column list of a new table's CREATE TABLE; EDatabaseError for fields a local table
// cannot keep.
std::string ColumnList(const std::string& context, const std::vector<TLocalField>& fields) {
    if (fields.empty()) {
        throw EDatabaseError(context + ": no fields defined");
    }
    std::string columns;
    int autoIncs = 0;
    for (size_t i = 0; i < fields.size(); ++i) {
        const TLocalField& f = fields[i];
        if (f.Name.empty()) {
            throw EDatabaseError(context + ": a field has no name");
        }
        if (StorageOf(f.DataType) == Storage::None) {
            throw EDatabaseError(context + ": field '" + f.Name + "' has a type that " +
                                 "local tables do not keep");
        }
        if (IsSizedText(f.DataType) && f.Size <= 0) {
            throw EDatabaseError(context + ": field '" + f.Name + "' needs a size");
        }
        for (size_t j = 0; j < i; ++j) {
            if (SameName(fields[j].Name, f.Name)) {
                throw EDatabaseError(context + ": duplicate field name '" + f.Name + "'");
            }
        }
        if (f.DataType == ftAutoInc && ++autoIncs > 1) {
            throw EDatabaseError(context + ": only one auto-increment field is allowed");
        }
        columns += (i ? ", " : "") + Quote(f.Name) + " " + DeclaredType(f);
    }
    return columns;
}

// The CREATE INDEX statements of a new table's indexes; EDatabaseError for an index a
// local table cannot keep.
std::vector<std::string> IndexStatements(const std::string& context, const std::string& name,
                                         const std::vector<TLocalField>& fields,
                                         const std::vector<TLocalIndex>& indexes) {
    std::vector<std::string> indexSql;
    int primaries = 0;
    for (const TLocalIndex& ix : indexes) {
        if (ix.Fields.empty()) {
            throw EDatabaseError(context + ": index '" + ix.Name + "' has no fields");
        }
        if (ix.Options & ixExpression) {
            throw EDatabaseError(context + ": expression indexes are not supported");
        }
        if ((ix.Options & ixPrimary) && ++primaries > 1) {
            throw EDatabaseError(context + ": only one primary index is allowed");
        }
        std::string cols;
        for (const std::string& fieldName : ix.Fields) {
            bool known = false;
            for (const TLocalField& f : fields) {
                known = known || SameName(f.Name, fieldName);
            }
            if (!known) {
                throw EDatabaseError(context + ": index '" + ix.Name + "' names unknown field '" +
                                     fieldName + "'");
            }
            cols += (cols.empty() ? "" : ", ") + Quote(fieldName) +
                    ((ix.Options & ixCaseInsensitive) ? " COLLATE NOCASE" : "") +
                    ((ix.Options & ixDescending) ? " DESC" : "");
        }
        // Tables and indexes share one name space in SQLite, and an index is often named
        // after its table: prefix the SQL name.
        bool unique = ix.Options & (ixPrimary | ixUnique);
        indexSql.push_back(std::string("CREATE ") + (unique ? "UNIQUE " : "") + "INDEX " +
                           Quote(name + "$" + ix.Name) + " ON " + Quote(name) + " (" + cols + ")");
    }
    return indexSql;
}

// The table's definitions in the file's own tables, replacing those it had.
void StoreDefinitions(sqlite3* db, const std::string& context, const std::string& name,
                      const std::vector<TLocalField>& fields,
                      const std::vector<TLocalIndex>& indexes) {
    Exec(db,
         std::string("CREATE TABLE IF NOT EXISTS ") + Quote(kFieldsTable) +
             " (\"TableName\" TEXT, \"Pos\" INTEGER, \"Name\" TEXT, \"Type\" INTEGER, "
             "\"Size\" INTEGER)",
         context);
    Exec(db,
         std::string("CREATE TABLE IF NOT EXISTS ") + Quote(kIndexesTable) +
             " (\"TableName\" TEXT, \"Name\" TEXT, \"Fields\" TEXT, \"Options\" INTEGER)",
         context);
    for (const char* meta : {kFieldsTable, kIndexesTable}) {
        Statement del(db, std::string("DELETE FROM ") + Quote(meta) + " WHERE TableName = ?",
                      context);
        Bind(del.get(), 1, name);
        Step(del.get(), db, context);
    }
    Statement addField(
        db, std::string("INSERT INTO ") + Quote(kFieldsTable) + " VALUES (?, ?, ?, ?, ?)", context);
    for (size_t i = 0; i < fields.size(); ++i) {
        sqlite3_reset(addField.get());
        Bind(addField.get(), 1, name);
        Bind(addField.get(), 2, int64_t(i));
        Bind(addField.get(), 3, fields[i].Name);
        Bind(addField.get(), 4, int64_t(fields[i].DataType));
        Bind(addField.get(), 5, int64_t(IsSizedText(fields[i].DataType) ? fields[i].Size : 0));
        Step(addField.get(), db, context);
    }
    Statement addIndex(
        db, std::string("INSERT INTO ") + Quote(kIndexesTable) + " VALUES (?, ?, ?, ?)", context);
    for (const TLocalIndex& ix : indexes) {
        sqlite3_reset(addIndex.get());
        Bind(addIndex.get(), 1, name);
        Bind(addIndex.get(), 2, ix.Name);
        Bind(addIndex.get(), 3, JoinFieldNames(ix.Fields));
        Bind(addIndex.get(), 4, int64_t(ix.Options));
        Step(addIndex.get(), db, context);
    }
}

} // namespace

void TSqliteTable::Create(const std::filesystem::path& file, const std::string& name,
                          const std::vector<TLocalField>& fields,
                          const std::vector<TLocalIndex>& indexes) {
    const std::string context = "Table '" + name + "'";
    const std::string columns = ColumnList(context, fields);
    const std::vector<std::string> indexSql = IndexStatements(context, name, fields, indexes);
    auto write = [&] {
        DbHandle db(OpenFile(file, true, context));
        Transaction tx(db.get(), context);
        Exec(db.get(), "DROP TABLE IF EXISTS " + Quote(name), context);
        StoreDefinitions(db.get(), context, name, fields, indexes);
        Exec(db.get(), "CREATE TABLE " + Quote(name) + " (" + columns + ")", context);
        for (const std::string& sql : indexSql) {
            Exec(db.get(), sql, context);
        }
        tx.Commit();
    };
    try {
        write();
    } catch (const EDatabaseError&) {
        // A damaged file would stop every later run; re-creating is what replaces it, so
        // move it aside (nothing is deleted) and make the table anew.
        if (!IsDamaged(file)) {
            throw;
        }
        MoveAside(file);
        write();
    }
}

TSqliteTable::TSqliteTable(const std::filesystem::path& file, const std::string& name)
    : file_(file), name_(name), context_("table '" + name + "'"), db_(std::make_unique<Db>()) {
    CheckFiles(file); // a pipe, device or folder in its place is refused by what it is
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        throw EDatabaseError("Table '" + name + "' does not exist (" + file.string() + ")");
    }
    db_->handle = OpenFile(file, false, "Table '" + name + "'");
    Statement exists(db_->handle, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?",
                     "Table '" + name + "' (" + file.string() + ")");
    Bind(exists.get(), 1, name);
    if (sqlite3_step(exists.get()) != SQLITE_ROW) {
        throw EDatabaseError("Table '" + name + "' does not exist (" + file.string() + ")");
    }
    LoadDefinitions();
}

TSqliteTable::~TSqliteTable() = default;

void TSqliteTable::Fail(const std::string& what) const {
    throw EDatabaseError("Table '" + name_ + "': " + what);
}

sqlite3_stmt* TSqliteTable::Prepare(const std::string& sql) const {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_->handle, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
        sqlite3_finalize(s);
        Fail(sqlite3_errmsg(db_->handle));
    }
    return s;
}

void TSqliteTable::LoadDefinitions() {
    if (!LoadStoredDefinitions()) {
        InferDefinitions();
    }
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (fields_[i].DataType == ftAutoInc) {
            autoInc_ = static_cast<int>(i);
        }
    }
    if (const TLocalIndex* primary = Primary()) {
        orderNoCase_ = primary->Options & ixCaseInsensitive;
        orderDescending_ = primary->Options & ixDescending;
        for (const std::string& n : primary->Fields) {
            for (size_t i = 0; i < fields_.size(); ++i) {
                if (SameName(fields_[i].Name, n)) {
                    orderFields_.push_back(i);
                    break;
                }
            }
        }
    }
}

// The definitions written by Create, when they still match the table's columns.
bool TSqliteTable::LoadStoredDefinitions() {
    std::string context = "Table '" + name_ + "'";
    Statement meta(db_->handle,
                   "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = '" +
                       std::string(kFieldsTable) + "'",
                   context);
    if (sqlite3_step(meta.get()) != SQLITE_ROW) {
        return false;
    }
    Statement cols(db_->handle, "SELECT name FROM pragma_table_info(?)", context);
    Bind(cols.get(), 1, name_);
    std::vector<std::string> columns;
    while (sqlite3_step(cols.get()) == SQLITE_ROW) {
        columns.push_back(ColumnText(cols.get(), 0));
    }
    Statement f(db_->handle,
                std::string("SELECT Name, Type, Size FROM ") + Quote(kFieldsTable) +
                    " WHERE TableName = ? ORDER BY Pos",
                context);
    Bind(f.get(), 1, name_);
    std::vector<TLocalField> fields;
    while (sqlite3_step(f.get()) == SQLITE_ROW) {
        TLocalField lf;
        TLocalValue fieldName = Column(f.get(), 0, Storage::Text);
        if (!std::holds_alternative<std::string>(fieldName)) {
            return false;
        }
        lf.Name = std::get<std::string>(fieldName);
        int64_t type = sqlite3_column_int64(f.get(), 1);
        lf.DataType = type >= 0 && type <= ftDataSet ? TFieldType(type) : ftUnknown;
        lf.Size = static_cast<int>(sqlite3_column_int64(f.get(), 2));
        if (StorageOf(lf.DataType) == Storage::None || lf.Size < 0) {
            return false;
        }
        fields.push_back(lf);
    }
    if (fields.size() != columns.size()) {
        return false;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].Name != columns[i]) {
            return false;
        }
    }
    Statement ix(db_->handle,
                 std::string("SELECT Name, Fields, Options FROM ") + Quote(kIndexesTable) +
                     " WHERE TableName = ?",
                 context);
    Bind(ix.get(), 1, name_);
    while (sqlite3_step(ix.get()) == SQLITE_ROW) {
        TLocalIndex li;
        li.Name = ColumnText(ix.get(), 0);
        li.Fields = SplitFieldNames(ColumnText(ix.get(), 1));
        li.Options = static_cast<TIndexOptions>(sqlite3_column_int64(ix.get(), 2));
        indexes_.push_back(li);
    }
    fields_ = std::move(fields);
    return true;
}

// A table that another program made (no stored definitions): the kinds are read from the
// declared column types.
void TSqliteTable::InferDefinitions() {
    Statement cols(db_->handle, "SELECT name, type, pk FROM pragma_table_info(?)",
                   "Table '" + name_ + "'");
    Bind(cols.get(), 1, name_);
    while (sqlite3_step(cols.get()) == SQLITE_ROW) {
        TLocalField f;
        f.Name = ColumnText(cols.get(), 0);
        std::string type = AsciiUpper(ColumnText(cols.get(), 1));
        bool pk = sqlite3_column_int64(cols.get(), 2) != 0;
        auto has = [&](const char* s) { return type.find(s) != std::string::npos; };
        if (has("CHAR")) {
            f.DataType = ftString;
            f.Size = 255;
            size_t open = type.find('(');
            if (open != std::string::npos) {
                int size = 0;
                auto [end, ec] =
                    std::from_chars(type.data() + open + 1, type.data() + type.size(), size);
                if (ec == std::errc() && size > 0) {
                    f.Size = size;
                }
            }
        } else if (has("SMALLINT")) {
            f.DataType = ftSmallint;
        } else if (has("INT")) {
            f.DataType = pk && type == "INTEGER" ? ftAutoInc : ftInteger;
        } else if (has("DATE") || has("TIME")) {
            f.DataType = ftDateTime;
        } else if (has("REAL") || has("FLOA") || has("DOUB") || has("NUM") || has("DEC")) {
            f.DataType = ftFloat;
        } else {
            f.DataType = ftMemo;
        }
        fields_.push_back(f);
    }
    if (fields_.empty()) {
        Fail("the table has no columns");
    }
}

const TLocalIndex* TSqliteTable::Primary() const {
    for (const TLocalIndex& ix : indexes_) {
        if (ix.Options & ixPrimary) {
            return &ix;
        }
    }
    return nullptr;
}

std::string TSqliteTable::SelectColumns() const {
    std::string sql = "SELECT rowid";
    for (const TLocalField& f : fields_) {
        sql += ", " + Quote(f.Name);
    }
    return sql + " FROM " + Quote(name_);
}

TLocalRow TSqliteTable::RowOf(sqlite3_stmt* s) const {
    TLocalRow row;
    row.RowId = sqlite3_column_int64(s, 0);
    row.Values.reserve(fields_.size());
    for (size_t i = 0; i < fields_.size(); ++i) {
        row.Values.push_back(Column(s, int(i) + 1, StorageOf(fields_[i].DataType)));
    }
    return row;
}

void TSqliteTable::ForEachRow(const std::function<void(TLocalRow&&)>& each) const {
    std::string sql = SelectColumns() + " ORDER BY ";
    for (size_t i : orderFields_) {
        sql += Quote(fields_[i].Name) + (orderNoCase_ ? " COLLATE NOCASE" : "") +
               (orderDescending_ ? " DESC" : "") + ", ";
    }
    sql += "rowid";
    Statement s(db_->handle, sql, "Table '" + name_ + "'");
    int rc;
    while ((rc = sqlite3_step(s.get())) == SQLITE_ROW) {
        each(RowOf(s.get()));
    }
    if (rc != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_->handle));
    }
}

std::vector<TLocalRow> TSqliteTable::ReadAll() const {
    std::vector<TLocalRow> rows;
    ForEachRow([&rows](TLocalRow&& row) { rows.push_back(std::move(row)); });
    return rows;
}

bool TSqliteTable::ReadRow(int64_t rowId, TLocalRow& row) const {
    if (!db_->select) {
        db_->select = Prepare(SelectColumns() + " WHERE rowid = ?");
    }
    sqlite3_stmt* s = db_->select;
    sqlite3_reset(s);
    sqlite3_bind_int64(s, 1, rowId);
    int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) {
        row = RowOf(s);
    }
    sqlite3_reset(s);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        Fail(sqlite3_errmsg(db_->handle));
    }
    return rc == SQLITE_ROW;
}

TLocalValue TSqliteTable::Fit(size_t field, TLocalValue value) const {
    const TLocalField& f = fields_.at(field);
    if (value.index() == 0) {
        return value;
    }
    switch (StorageOf(f.DataType)) {
    case Storage::Text: {
        const std::string* text = std::get_if<std::string>(&value);
        if (!text) {
            Fail("field '" + f.Name + "' takes only texts");
        }
        // A text of no more bytes than the size has no more characters either.
        if (IsSizedText(f.DataType) && text->size() > size_t(f.Size)) {
            return Utf8Left(*text, size_t(f.Size));
        }
        return value;
    }
    case Storage::Integer: {
        int64_t v;
        if (auto* i = std::get_if<int64_t>(&value)) {
            v = *i;
        } else if (auto* d = std::get_if<double>(&value);
                   d && std::trunc(*d) == *d && std::fabs(*d) < 9.2e18) {
            v = static_cast<int64_t>(*d);
        } else {
            Fail("field '" + f.Name + "' takes only whole numbers");
        }
        int64_t lo, hi;
        IntegerRange(f.DataType, lo, hi);
        if (v < lo || v > hi) {
            Fail("value " + std::to_string(v) + " is out of range for field '" + f.Name + "'");
        }
        return v;
    }
    case Storage::Real: {
        double v;
        if (auto* i = std::get_if<int64_t>(&value)) {
            v = static_cast<double>(*i);
        } else if (auto* d = std::get_if<double>(&value)) {
            v = *d;
        } else {
            Fail("field '" + f.Name + "' takes only numbers");
        }
        if (!std::isfinite(v)) {
            Fail("field '" + f.Name + "' cannot keep an infinite or undefined number");
        }
        return v;
    }
    default:
        Fail("field '" + f.Name + "' cannot be written");
    }
}

TLocalRow TSqliteTable::Insert(std::vector<TLocalValue> values) {
    if (values.size() != fields_.size()) {
        Fail("a row needs " + std::to_string(fields_.size()) + " values");
    }
    TLocalRow row;
    for (size_t i = 0; i < values.size(); ++i) {
        row.Values.push_back(int(i) == autoInc_ ? TLocalValue{} : Fit(i, std::move(values[i])));
    }
    if (!db_->insert) {
        std::string cols, params;
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (int(i) != autoInc_) {
                cols += (cols.empty() ? "" : ", ") + Quote(fields_[i].Name);
                params += params.empty() ? "?" : ", ?";
            }
        }
        db_->insert = Prepare(cols.empty() ? "INSERT INTO " + Quote(name_) + " DEFAULT VALUES"
                                           : "INSERT INTO " + Quote(name_) + " (" + cols +
                                                 ") VALUES (" + params + ")");
    }
    sqlite3_stmt* s = db_->insert;
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    int param = 1;
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (int(i) != autoInc_) {
            Bind(s, param++, row.Values[i], false);
        }
    }
    Step(s, db_->handle, context_);
    sqlite3_reset(s);
    // The texts were bound without a copy and go with `row`; a failed step leaves them
    // bound, but the next insert clears them before it runs.
    sqlite3_clear_bindings(s);
    row.RowId = sqlite3_last_insert_rowid(db_->handle);
    if (autoInc_ >= 0) {
        row.Values[size_t(autoInc_)] = row.RowId;
    }
    return row;
}

TLocalRow TSqliteTable::Update(const TLocalRow& original) {
    if (original.Values.size() != fields_.size()) {
        Fail("a row needs " + std::to_string(fields_.size()) + " values");
    }
    TLocalRow row;
    row.RowId = original.RowId;
    for (size_t i = 0; i < fields_.size(); ++i) {
        row.Values.push_back(int(i) == autoInc_ ? TLocalValue{original.RowId}
                                                : Fit(i, original.Values[i]));
    }
    if (!db_->update) {
        std::string sets;
        for (size_t i = 0; i < fields_.size(); ++i) {
            if (int(i) != autoInc_) {
                sets += (sets.empty() ? "" : ", ") + Quote(fields_[i].Name) + " = ?";
            }
        }
        if (sets.empty()) {
            return row;
        }
        db_->update = Prepare("UPDATE " + Quote(name_) + " SET " + sets + " WHERE rowid = ?");
    }
    sqlite3_stmt* s = db_->update;
    sqlite3_reset(s);
    int param = 1;
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (int(i) != autoInc_) {
            Bind(s, param++, row.Values[i]);
        }
    }
    sqlite3_bind_int64(s, param, row.RowId);
    Step(s, db_->handle, context_);
    sqlite3_reset(s);
    if (sqlite3_changes(db_->handle) == 0) {
        Fail("the row to update no longer exists");
    }
    return row;
}

void TSqliteTable::Delete(int64_t rowId) {
    if (!db_->remove) {
        db_->remove = Prepare("DELETE FROM " + Quote(name_) + " WHERE rowid = ?");
    }
    sqlite3_reset(db_->remove);
    sqlite3_bind_int64(db_->remove, 1, rowId);
    Step(db_->remove, db_->handle, context_);
    sqlite3_reset(db_->remove);
}

void TSqliteTable::BeginBatch() {
    Exec(db_->handle, "BEGIN IMMEDIATE", "Table '" + name_ + "'");
}

void TSqliteTable::CommitBatch() {
    if (!InTransaction()) {
        Fail("the batch's transaction was rolled back after an earlier failure");
    }
    if (sqlite3_exec(db_->handle, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        std::string msg = sqlite3_errmsg(db_->handle);
        // A commit that failed (a full disk, say) may leave the transaction open.
        if (InTransaction()) {
            sqlite3_exec(db_->handle, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        Fail("the rows of the batch could not be committed: " + msg);
    }
}

bool TSqliteTable::InTransaction() const {
    return sqlite3_get_autocommit(db_->handle) == 0;
}

std::string TSqliteTable::SortKey(const TLocalRow& row) const {
    std::string key;
    key.reserve(128);
    for (size_t i : orderFields_) {
        size_t start = key.size();
        AppendValueKey(key, row.Values.at(i), orderNoCase_);
        if (orderDescending_) {
            for (size_t k = start; k < key.size(); ++k) {
                key[k] = static_cast<char>(~key[k]);
            }
        }
    }
    AppendBigEndian(key, static_cast<uint64_t>(row.RowId) ^ (uint64_t{1} << 63));
    return key;
}

bool TSqliteTable::Before(const TLocalRow& a, const TLocalRow& b) const {
    for (size_t i : orderFields_) {
        int c = CompareValues(a.Values.at(i), b.Values.at(i), orderNoCase_);
        if (c != 0) {
            return orderDescending_ ? c > 0 : c < 0;
        }
    }
    return a.RowId < b.RowId;
}

} // namespace zen
