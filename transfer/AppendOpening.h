#pragma once
// The datasets a transfer run only appends to (the invoice headers and lines) never show a
// row of their tables: opened over their designed queries they would read the tables (the
// whole of them on a driver whose scrollable cursors read the result at execute, or at the
// first append, which goes to the last row), and every row posted through them stays in
// their memory until they close. So for the run they are opened over their designed query
// narrowed to no rows, reopened after each invoice, and given their designs back at the end.

#include <string>
#include <utility>
#include <vector>

namespace zen {

class TOEQuery;

class TAppendOpening {
public:
    TAppendOpening() = default;
    ~TAppendOpening();
    TAppendOpening(const TAppendOpening&) = delete;
    TAppendOpening& operator=(const TAppendOpening&) = delete;

    // Narrows the dataset's query to no rows (its lines up to the ORDER BY clause, then
    // "WHERE 1=0") and opens it. The designed query is given back by Restore.
    void Open(TOEQuery& dataSet);
    // Closes and opens each dataset again, which drops the rows posted through it. Called
    // between transactions while the connection commits on its own: psqlODBC frees the
    // added rows of a cursor opened inside a transaction at its commit and again when the
    // cursor is closed (a crash).
    void Reopen();
    // Gives every dataset its designed query back (which closes it).
    void Restore() noexcept;

private:
    std::vector<std::pair<TOEQuery*, std::vector<std::string>>> designs_;
};

} // namespace zen
