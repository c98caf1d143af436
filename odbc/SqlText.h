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
std::string ParseSqlParams(std::string_view sql, std::vector<std::string>& names);

// "SELECT Count(*) FROM ..." counting the rows of a query, its ORDER BY cut off; nothing
// when the query has no FROM or uses DISTINCT, GROUP BY, HAVING, UNION, LIMIT or OFFSET
// (those are counted by fetching).
std::optional<std::string> CountQueryText(std::string_view sql);

// A table or column name as generated statements write it: wrapped in double quotes when
// it holds a blank or "$", unless it is an expression (" AS ", "{fn ") or quoted already.
std::string QuoteIdentifier(const std::string& name);

} // namespace zen
