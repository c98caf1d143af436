#include "transfer/InvoiceFingerprint.h"

#include "dbutil/StdProc.h"
#include "odbc/ColumnText.h"
#include "odbc/Hdbc.h"
#include "odbc/Hstmt.h"
#include "toolkit/Text.h"

#include <QCryptographicHash>
#include <algorithm>
#include <memory>

namespace zen {

namespace {

// Keys per statement: an IN list every driver takes.
constexpr size_t kKeysPerRead = 200;

// One row's columns, by name, as locale-independent texts.
struct TRowText {
    std::string key;
    std::string text;
    std::string knjizen;
};

// Runs `select` and hands every row to `each` with its key column and its canonical text:
// the columns in the order of their upper-cased names, each "NAME=value" or "NAME" alone
// for NULL, separated by control characters that no value of these tables holds.
template <typename Each> void ReadRows(THdbc& database, const std::string& select, Each each) {
    THstmt stmt;
    stmt.SetHdbc(&database);
    // Texts as stored: a blank added at a text's end is a change too.
    stmt.SetStringTrimming(stTrimNone);
    stmt.SetSQL(select);
    stmt.Execute();
    stmt.BindCols();
    std::vector<std::pair<std::string, int>> order;
    int keyCol = 0, knjizenCol = 0;
    for (int c = 1; c <= stmt.NumCols(); ++c) {
        const std::string name = AsciiUpper(stmt.ColName(c));
        order.emplace_back(name, c);
        keyCol = name == "KLJUC" ? c : keyCol;
        knjizenCol = name == "KNJIZEN" ? c : knjizenCol;
    }
    std::sort(order.begin(), order.end());
    while (stmt.FetchNext()) {
        TRowText row;
        row.key = TrimText(stmt.ColAsString(keyCol), stTrimTrailing);
        if (knjizenCol) {
            row.knjizen = TrimText(stmt.ColAsString(knjizenCol), stTrimTrailing);
        }
        for (const auto& [name, c] : order) {
            row.text += name;
            if (!stmt.ColIsNull(c)) {
                row.text += '\x1f' + stmt.ColAsString(c);
            }
            row.text += '\x1e';
        }
        each(row);
    }
    stmt.Close();
}

std::string InList(const std::vector<std::string>& keys, size_t from, size_t to) {
    std::string list;
    for (size_t i = from; i < to; ++i) {
        list += (i > from ? ", " : "") + SqlQuoted(keys[i]);
    }
    return list;
}

} // namespace

std::map<std::string, TInvoiceRows>
ReadInvoiceRows(THdbc& database, const std::vector<std::string>& keys, bool lockRows) {
    const std::string lock =
        lockRows && database.Quirks().kind == TDbmsKind::PostgreSQL ? " FOR UPDATE" : "";
    std::map<std::string, std::unique_ptr<QCryptographicHash>> hashes;
    std::map<std::string, TInvoiceRows> rows;
    for (size_t from = 0; from < keys.size(); from += kKeysPerRead) {
        const size_t to = std::min(keys.size(), from + kKeysPerRead);
        const std::string in = InList(keys, from, to);
        ReadRows(database, "SELECT * FROM Promet WHERE Kljuc IN (" + in + ")" + lock,
                 [&](const TRowText& row) {
                     TInvoiceRows& r = rows[row.key];
                     r.Exists = true;
                     r.Knjizen = row.knjizen;
                     auto& h = hashes[row.key];
                     h = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
                     h->addData(QByteArrayView("H", 1));
                     h->addData(QByteArrayView(row.text.data(), qsizetype(row.text.size())));
                 });
        ReadRows(database,
                 "SELECT * FROM PrometPoz WHERE Kljuc IN (" + in + ") ORDER BY Kljuc, Poz" + lock,
                 [&](const TRowText& row) {
                     auto h = hashes.find(row.key);
                     if (h == hashes.end()) {
                         return; // lines without a header: no invoice of ours
                     }
                     ++rows[row.key].Lines;
                     h->second->addData(QByteArrayView("L", 1));
                     h->second->addData(
                         QByteArrayView(row.text.data(), qsizetype(row.text.size())));
                 });
    }
    for (auto& [key, h] : hashes) {
        rows[key].Fingerprint = h->result().toHex().toStdString();
    }
    return rows;
}

} // namespace zen
