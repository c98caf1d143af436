#pragma once
// The exception log: one row per exception that a standard procedure, the pricing or the
// password unscrambling caught, in the local table at "c:\TevrinError". It never raises.

#include <exception>
#include <string>

namespace zen {

class TObject;

// Appends a row for the exception being handled: `sender` is the failing object (the
// application object for the standard procedures), `operation` the caller's name for
// what it was doing. Exceptions of class "EAbort" are not logged.
void LogException(const std::exception& e, const TObject* sender, const std::string& operation);

} // namespace zen
