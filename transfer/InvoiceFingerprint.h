#pragma once
// An invoice's rows as the database holds them, hashed: its header and every line, every
// column by name, NULL told apart from an empty text. The ledger keeps the hash each
// invoice had when its run committed it; an undo deletes an invoice only while its rows
// still hash the same, so an edit of any column (a note, a quantity and a price changed
// together, a payment term, the change stamps put back) keeps it.

#include <map>
#include <string>
#include <vector>

namespace zen {

class THdbc;

struct TInvoiceRows {
    bool Exists = false;     // the header is there
    std::string Knjizen;     // the header's booking mark
    int Lines = 0;           // its lines
    std::string Fingerprint; // BLAKE2b-256 of the header and lines, 64 hexadecimal digits
};

// The invoices of `keys` as the connection sees them now, in its transaction. With
// `lockRows` the rows read are locked against other writers to the transaction's end
// (PostgreSQL's FOR UPDATE; on SQLite the caller holds the database's write lock).
std::map<std::string, TInvoiceRows>
ReadInvoiceRows(THdbc& database, const std::vector<std::string>& keys, bool lockRows = false);

} // namespace zen
