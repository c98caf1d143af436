#pragma once
// The key lookups of a transfer run: one key column and one text value taken as it stands
// ("%" and "_" are data, not patterns).

#include <string>

namespace zen {

class TOEQuery;

// Whether the dataset now stands on the row whose `keyColumn` holds `value`. A lookup that
// failed (the database gone, a query the server refuses; the exception is in the exception
// log) is no missing record: its exception is raised again, so that the run ends with that
// text instead of logging an existing customer as unknown or writing an invoice from an
// empty row.
bool RunLookup(TOEQuery& dataSet, const std::string& keyColumn, const std::string& value);

} // namespace zen
