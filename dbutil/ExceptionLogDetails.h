#pragma once
// The "SenderProp" text of an exception log row: what the failing object was working on.

#include <string>

namespace zen {

class TObject;

// Empty for objects that carry no such details. Never raises; a part that cannot be
// built is left out.
std::string SenderDetails(const TObject* sender);

} // namespace zen
