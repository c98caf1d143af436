#include "odbc/SqlText.h"

#include "odbc/OCLError.h"
#include "toolkit/Text.h"

namespace zen {

namespace {

bool IsNameChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '@' ||
           c == '_';
}

} // namespace

std::string ParseSqlParams(std::string_view sql, std::vector<std::string>& names,
                           std::vector<size_t>* positions) {
    names.clear();
    if (positions) {
        positions->clear();
    }
    std::string out;
    out.reserve(sql.size());
    bool inLiteral = false;
    size_t i = 0;
    while (i < sql.size()) {
        char c = sql[i];
        if (c == '\'') {
            // A doubled quote is an escaped quote: copied, the literal goes on.
            if (i + 1 < sql.size() && sql[i + 1] == '\'') {
                out += "''";
                i += 2;
                continue;
            }
            inLiteral = !inLiteral;
            out += c;
            ++i;
        } else if (c == ':' && !inLiteral) {
            size_t start = i + 1;
            size_t end = start;
            while (end < sql.size() && IsNameChar(sql[end])) {
                ++end;
            }
            if (end == start) {
                throw EODBCExpress("Invalid parameter token in SQL statement.");
            }
            names.emplace_back(sql.substr(start, end - start));
            if (positions) {
                positions->push_back(i);
            }
            out += '?';
            i = end;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

std::optional<TCountQuery> CountQuery(std::string_view sql) {
    std::string text(sql);
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    // The upper-cased copy, with punctuation blanked, only finds the keywords; its
    // positions are those of the text itself.
    std::string upper = AsciiUpper(text);
    for (char& c : upper) {
        if (c == ',' || c == '(' || c == ')') {
            c = ' ';
        }
    }
    size_t from = upper.find(" FROM ");
    if (from == std::string::npos) {
        return std::nullopt;
    }
    // Counting the rows under these would count something else than the rows the query
    // gives (groups counted as their rows, a limit ignored): they are counted by fetching.
    for (const char* keyword : {" DISTINCT ", " HAVING ", " UNION ", " GROUP ", " TOP ", " LIMIT ",
                                " OFFSET ", " FETCH "}) {
        if (upper.find(keyword) != std::string::npos) {
            return std::nullopt;
        }
    }
    size_t order = upper.find(" ORDER ", from);
    size_t cut = order == std::string::npos ? text.size() : order;
    TCountQuery query{"SELECT Count(*)" + text.substr(from, cut - from), {}};
    // The parameters kept are those between the cuts, bound again by their place in the
    // query counted: the select list may hold some before them.
    std::vector<std::string> names;
    std::vector<size_t> positions;
    ParseSqlParams(text, names, &positions);
    for (size_t i = 0; i < positions.size(); ++i) {
        if (positions[i] >= from && positions[i] < cut) {
            query.params.push_back(i + 1);
        }
    }
    return query;
}

std::optional<std::string> CountQueryText(std::string_view sql) {
    auto query = CountQuery(sql);
    return query ? std::optional<std::string>(std::move(query->text)) : std::nullopt;
}

std::string QuoteIdentifier(const std::string& name) {
    std::string upper = AsciiUpper(name);
    if (upper.find(" AS ") != std::string::npos || upper.find("{FN ") != std::string::npos ||
        name.find('"') != std::string::npos) {
        return name;
    }
    if (name.find_first_of(" $") != std::string::npos) {
        return '"' + name + '"';
    }
    return name;
}

} // namespace zen
