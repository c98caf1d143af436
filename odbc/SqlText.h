#pragma once
// Reading a statement's SQL text: named parameters and the row-count query.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zen {

// Replaces every ":name" outside single-quoted literals by "?" and lists the names in
// order of appearance (a name used twice is listed twice). EODBCExpress "Invalid parameter
// token in SQL statement." for a ":" without a name after it.
// `positions`, when given, receives the offset in `sql` of each parameter's ":".
std::string ParseSqlParams(std::string_view sql, std::vector<std::string>& names,
                           std::vector<size_t>* positions = nullptr);

// A query that counts the rows of another.
struct TCountQuery {
    std::string text;
    // For each parameter of `text` in order, the 1-based number of the same parameter in
    // the query counted (those in the cut-off select list and ORDER BY are gone).
    std::vector<size_t> params;
};

// "SELECT Count(*) FROM ..." counting the rows of a query, its ORDER BY cut off; nothing
// when the query has no FROM or uses DISTINCT, GROUP BY, HAVING, UNION, TOP, LIMIT,
// OFFSET or FETCH (those are counted by fetching).
std::optional<TCountQuery> CountQuery(std::string_view sql);
// The text of CountQuery alone.
std::optional<std::string> CountQueryText(std::string_view sql);

// A table or column name as generated statements write it: wrapped in double quotes when
// it holds a blank or "$", unless it is an expression (" AS ", "{fn ") or quoted already.
std::string QuoteIdentifier(const std::string& name);

} // namespace zen
