#pragma once
// The "SenderProp" text of an exception log row: what the failing object was working on.

#include <string>

namespace zen {

class TObject;

// For a grid-facing dataset: its connection's name, table name, connection component and
// SQL lines; for a statement: its connection component and SQL; lines end in CR LF. Empty
// for any other object. Never raises; a part that cannot be built is left out.
std::string SenderDetails(const TObject* sender);

} // namespace zen
