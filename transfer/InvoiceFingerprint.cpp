#include "transfer/InvoiceFingerprint.h"

#include "dbutil/StdProc.h"
#include "odbc/ColumnText.h"
#include "odbc/Hdbc.h"
#include "odbc/Hstmt.h"
#include "toolkit/Text.h"

#include <QCryptographicHash>
#include <algorithm>

namespace zen {

namespace {

// Keys per statement: an IN list every driver takes.
constexpr size_t kKeysPerRead = 200;

// One row: its key, its booking mark and its values as locale-independent texts.
struct TRowText {
    std::string key;
    std::string text;
    std::string knjizen;
};

// Runs `select` and hands `each` the names of its columns once, then every row with its key
// column and its canonical text: the values in the order of their columns' upper-cased
// names, each a mark for NULL or for a value followed by the value, separated by control
// characters that no value of these tables holds.
template <typename Names, typename Each>
void ReadRows(THdbc& database, const std::string& select, Names names, Each each) {
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
    std::string columns;
    for (const auto& [name, c] : order) {
        columns += name + '\x1e';
    }
    names(columns);
    TRowText row;
    while (stmt.FetchNext()) {
        row.key = TrimText(stmt.ColAsString(keyCol), stTrimTrailing);
        if (knjizenCol) {
            row.knjizen = TrimText(stmt.ColAsString(knjizenCol), stTrimTrailing);
        }
        row.text.clear();
        for (const auto& entry : order) {
            const int c = entry.second;
            if (stmt.ColIsNull(c)) {
                row.text += '\x1d';
            } else {
                row.text += '\x1f';
                row.text += stmt.ColAsString(c);
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
    // Each invoice's header and lines, the columns named once for each kind of row, are put
    // together and hashed in one go. BLAKE2b: as sure as SHA-256 against a change that keeps
    // the fingerprint, and several times faster here, where every row of a run is hashed.
    std::map<std::string, std::string> texts;
    std::map<std::string, TInvoiceRows> rows;
    for (size_t from = 0; from < keys.size(); from += kKeysPerRead) {
        const size_t to = std::min(keys.size(), from + kKeysPerRead);
        const std::string in = InList(keys, from, to);
        std::string headerNames, lineNames;
        ReadRows(
            database, "SELECT * FROM Promet WHERE Kljuc IN (" + in + ")" + lock,
            [&](const std::string& names) { headerNames = "H" + names; },
            [&](const TRowText& row) {
                TInvoiceRows& r = rows[row.key];
                r.Exists = true;
                r.Knjizen = row.knjizen;
                texts[row.key] = headerNames + row.text;
            });
        ReadRows(
            database,
            "SELECT * FROM PrometPoz WHERE Kljuc IN (" + in + ") ORDER BY Kljuc, Poz" + lock,
            [&](const std::string& names) { lineNames = "L" + names; },
            [&](const TRowText& row) {
                auto text = texts.find(row.key);
                if (text == texts.end()) {
                    return; // lines without a header: no invoice of ours
                }
                if (++rows[row.key].Lines == 1) {
                    text->second += lineNames;
                }
                text->second += 'L';
                text->second += row.text;
            });
    }
    for (const auto& [key, text] : texts) {
        rows[key].Fingerprint =
            QCryptographicHash::hash(QByteArrayView(text.data(), qsizetype(text.size())),
                                     QCryptographicHash::Blake2b_256)
                .toHex()
                .toStdString();
    }
    return rows;
}

} // namespace zen
