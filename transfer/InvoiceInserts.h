#pragma once
// The rows of the invoices a transfer run writes with file prices, inserted by a prepared
// INSERT instead of appended through a live dataset. The values go through the same column
// buffers and conversions as a dataset's insert (the statement's own write-back), so the
// rows are the same, byte for byte; only the live cursor and the dataset's records are
// saved.

#include "odbc/Hstmt.h"
#include "transfer/RowValues.h"

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zen {

class THdbc;

class TInsertRow : public TRowWriter {
public:
    // A row of `table` with `columns`, none of which has a default of its own other than
    // NULL: a column left unset is written as NULL, so that every row is one prepared text.
    TInsertRow(THdbc& database, const std::string& table, std::vector<std::string> columns);
    TInsertRow(const TInsertRow&) = delete;
    TInsertRow& operator=(const TInsertRow&) = delete;

    void Text(const char* column, const std::string& value) override;
    void Number(const char* column, double value) override;
    void Integer(const char* column, int32_t value) override;
    void Date(const char* column, TDateTime value) override;
    void Default(const char* column) override;
    double NumberOf(const char* column) const override;
    TDateTime DateOf(const char* column) const override;

    // Inserts the row as set; the next row starts with every column unset.
    void Insert();

private:
    int Col(const char* column) const;
    void Open();
    // Puts one value into its column; a value refused gives up the whole row.
    void Set(const char* column, const std::function<void(int col)>& put);
    // Every column unset (NULL).
    void Clear() noexcept;

    THstmt stmt_;
    std::string table_;
    std::vector<std::string> columns_;
    std::unordered_map<std::string, int> index_;
    std::vector<bool> set_;
    bool open_ = false;
};

} // namespace zen
