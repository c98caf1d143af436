#pragma once
// The key lookups of a transfer run over the tables it never edits (customers, payers,
// articles, tariffs): a statement that reads only the columns the run uses, read-only and
// forward-only, prepared once with its key bound. The designed datasets would read every
// column of every row found and keep a live cursor for rows nobody edits here; the window
// and the other callers keep them.

#include "odbc/Hstmt.h"
#include "transfer/InvoiceInserts.h"
#include "transfer/RowValues.h"

#include <string>
#include <vector>

namespace zen {

class THdbc;

class TLeanLookup : public TRowValues {
public:
    // SELECT `columns` FROM `table` WHERE `keyColumn` = the key; `columns` holds the key
    // column too.
    TLeanLookup(THdbc& database, const std::string& table, const std::string& keyColumn,
                std::vector<std::string> columns);
    TLeanLookup(const TLeanLookup&) = delete;
    TLeanLookup& operator=(const TLeanLookup&) = delete;

    // Whether a row's key is `value` as it stands ("%" and "_" are data); that row's values
    // are then read, and stay until the next Find. Asking again for the key found last
    // sends nothing. Of several rows with the key the first the database gives is taken. A
    // lookup that fails goes to the exception log and is raised again: it is no missing
    // row.
    bool Find(const std::string& value);
    bool Found() const noexcept { return found_; }

    // The values of the row found; empty texts and zeros when none was.
    std::string Text(const char* column) const override;
    double Number(const char* column) const override;
    int32_t Integer(const char* column) const override;
    std::optional<TDateTime> Date(const char* column) const override;

private:
    struct TValue {
        bool null = true;
        std::string text;
        double number = 0;
        int32_t integer = 0;
        TDateTime date = 0;
    };
    const TValue& Value(const char* column) const;
    void Read();

    THstmt stmt_;
    std::string keyColumn_;
    std::vector<std::string> columns_;
    std::vector<TValue> values_;
    std::vector<char> key_; // the bound key's buffer
    std::string keyFound_;
    bool found_ = false;
    int keyIndex_ = 0;
};

// The lean statements of one run: the check phase's three lookups; for the invoices of a
// run with file prices the payer's, the article's and the tariff's lookups; and the inserts
// of headers and lines of every run. Each is prepared at its first use.
struct TLeanStatements {
    explicit TLeanStatements(THdbc& database);

    TLeanLookup Customer; // Subjekt by Naziv2
    TLeanLookup Payer;    // Subjekt by Naziv, the check's
    TLeanLookup Article;  // Ms by Ident, the check's

    TLeanLookup InvoicePayer; // Subjekt by Naziv, what a header takes
    TLeanLookup LineArticle;  // Ms by Ident, what a line takes
    TLeanLookup Tariff;       // TarSt by TS
    TInsertRow Header;        // Promet
    TInsertRow Line;          // PrometPoz
};

} // namespace zen
