#pragma once
// A transfer run reads no row of its Tevrin tables but through a key lookup, and only
// appends to Promet and PrometPoz. Opened over their designed queries the datasets would
// read their tables: SQLite's driver steps through one result per connection at a time
// and reads every other whole at execute, and an append goes to the last row first. And
// the datasets that receive the invoices keep every row posted through them until they
// close. So for the run the datasets are opened over their designed queries narrowed to no
// rows (a lookup rebuilds its query from the same head), those that receive invoices are
// reopened now and then, and all get their designs back at the end.

#include <vector>

namespace zen {

class TOEQuery;

class TNoRowsOpening {
public:
    TNoRowsOpening() = default;
    ~TNoRowsOpening();
    TNoRowsOpening(const TNoRowsOpening&) = delete;
    TNoRowsOpening& operator=(const TNoRowsOpening&) = delete;

    // Narrows the dataset's query to no rows (its lines up to the ORDER BY clause, then
    // "WHERE 1=0") and opens it; one that `receives` rows is reopened by Reopen. The
    // designed query is given back by Restore.
    void Open(TOEQuery& dataSet, bool receives);
    // Closes and opens again each dataset that receives rows, which drops the rows posted
    // through it. Called between transactions while the connection commits on its own:
    // psqlODBC frees the added rows of a cursor opened inside a transaction at its commit
    // and again when the cursor is closed (a crash).
    void Reopen();
    // Gives every dataset its designed query back (which closes it).
    void Restore() noexcept;

private:
    std::vector<TOEQuery*> opened_; // each keeps its design (TCustomOEQuery::DesignedSQL)
    std::vector<TOEQuery*> receiving_;
};

} // namespace zen
