#include "transfer/InvoiceInserts.h"

#include "dataset/DateTimeRec.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

#include <algorithm>

namespace zen {

TInsertRow::TInsertRow(THdbc& database, const std::string& table, std::vector<std::string> columns)
    : table_(table), columns_(std::move(columns)), set_(columns_.size(), false) {
    std::string sql = "SELECT ";
    for (size_t i = 0; i < columns_.size(); ++i) {
        sql += (i ? ", " : "") + columns_[i];
        index_.emplace(columns_[i], static_cast<int>(i) + 1);
    }
    stmt_.SetHdbc(&database);
    // Only its columns' description is wanted: the buffers of a row bound as a dataset's
    // would be, which the generated INSERT then sends.
    stmt_.SetSQL(sql + " FROM " + table + " WHERE 1 = 0");
    stmt_.SetTargetTable(table);
    stmt_.SetWritesThroughCursor(false);
}

void TInsertRow::Open() {
    if (open_) {
        return;
    }
    stmt_.Execute();
    stmt_.BindCols();
    stmt_.CloseCursor();
    open_ = true;
}

int TInsertRow::Col(const char* column) const {
    const auto it = index_.find(column);
    if (it == index_.end()) {
        throw EDatabaseError("TInsertRow " + table_ + ": Field '" + column + "' not found");
    }
    return it->second;
}

void TInsertRow::Text(const char* column, const std::string& value) {
    Open();
    const int col = Col(column);
    // Cut to the column's size, as a dataset's field cuts what it is given.
    const SQLULEN size = stmt_.ColColumnSize(col);
    stmt_.SetColString(col, size > 0 && Utf8Length(value) > size ? Utf8Left(value, size) : value);
    set_[static_cast<size_t>(col - 1)] = true;
}

void TInsertRow::Number(const char* column, double value) {
    Open();
    const int col = Col(column);
    stmt_.SetColDouble(col, value);
    set_[static_cast<size_t>(col - 1)] = true;
}

void TInsertRow::Integer(const char* column, int32_t value) {
    Open();
    const int col = Col(column);
    stmt_.SetColInteger(col, value);
    set_[static_cast<size_t>(col - 1)] = true;
}

void TInsertRow::Date(const char* column, TDateTime value) {
    Open();
    const int col = Col(column);
    stmt_.SetColDateTimeRec(col, RecOfDateTime(ftDateTime, value));
    set_[static_cast<size_t>(col - 1)] = true;
}

void TInsertRow::Default(const char* column) {
    Open();
    const int col = Col(column);
    stmt_.SetColNull(col);
    set_[static_cast<size_t>(col - 1)] = true;
}

double TInsertRow::NumberOf(const char* column) const {
    return stmt_.ColAsDouble(Col(column));
}

TDateTime TInsertRow::DateOf(const char* column) const {
    return DateTimeOfRec(stmt_.ColAsDateTimeRec(Col(column)));
}

void TInsertRow::Insert() {
    Open();
    for (size_t i = 0; i < set_.size(); ++i) {
        if (!set_[i]) {
            stmt_.SetColNull(static_cast<int>(i) + 1);
        }
    }
    std::fill(set_.begin(), set_.end(), false);
    stmt_.InsertRow();
}

} // namespace zen
