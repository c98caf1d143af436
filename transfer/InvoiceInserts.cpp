#include "transfer/InvoiceInserts.h"

#include "dataset/DateTimeRec.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Text.h"

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

void TInsertRow::Set(const char* column, const std::function<void(int col)>& put) {
    Open();
    try {
        const int col = Col(column);
        put(col);
        set_[static_cast<size_t>(col - 1)] = true;
    } catch (...) {
        // The row is given up: none of its values may reach the next one.
        Clear();
        throw;
    }
}

void TInsertRow::Text(const char* column, const std::string& value) {
    Set(column, [&](int col) {
        // Cut to a short column's size, as a dataset's field cuts what it is given; a long
        // column (TEXT) takes the whole text, whatever size its driver reports for it.
        const SQLULEN size = stmt_.ColIsLong(col) ? 0 : stmt_.ColColumnSize(col);
        stmt_.SetColString(col,
                           size > 0 && Utf8Length(value) > size ? Utf8Left(value, size) : value);
    });
}

void TInsertRow::Number(const char* column, double value) {
    Set(column, [&](int col) { stmt_.SetColDouble(col, value); });
}

void TInsertRow::Integer(const char* column, int32_t value) {
    Set(column, [&](int col) { stmt_.SetColInteger(col, value); });
}

void TInsertRow::Date(const char* column, TDateTime value) {
    Set(column, [&](int col) { stmt_.SetColDateTimeRec(col, RecOfDateTime(ftDateTime, value)); });
}

void TInsertRow::Default(const char* column) {
    Set(column, [&](int col) { stmt_.SetColNull(col); });
}

double TInsertRow::NumberOf(const char* column) const {
    return stmt_.ColAsDouble(Col(column));
}

TDateTime TInsertRow::DateOf(const char* column) const {
    return DateTimeOfRec(stmt_.ColAsDateTimeRec(Col(column)));
}

void TInsertRow::Clear() noexcept {
    for (size_t i = 0; i < set_.size(); ++i) {
        if (open_) {
            stmt_.SetColNull(static_cast<int>(i) + 1);
        }
        set_[i] = false;
    }
}

void TInsertRow::Insert() {
    Open();
    for (size_t i = 0; i < set_.size(); ++i) {
        if (!set_[i]) {
            stmt_.SetColNull(static_cast<int>(i) + 1);
        }
    }
    // Written or refused, the next row starts with every column unset.
    struct TNextRow {
        TInsertRow& row;
        ~TNextRow() { row.Clear(); }
    } next{*this};
    stmt_.InsertRow();
}

} // namespace zen
