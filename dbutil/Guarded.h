#pragma once
// How the standard procedures and the pricing keep their faults to themselves: the body
// runs, and an exception is written to the exception log under the operation's name
// instead of reaching the caller, who gets a neutral result.

#include "dbutil/ExceptionLog.h"
#include "toolkit/Component.h"
#include "toolkit/Exceptions.h"

#include <exception>

namespace zen {

// Runs `body`; an exception is logged under `operation` with `sender` as the failing object
// (the application object when none is given) and `fallback` is returned.
template <typename T, typename F>
T Guarded(const char* operation, T fallback, F&& body, const TObject* sender = nullptr) {
    try {
        return body();
    } catch (const std::exception& e) {
        LogException(e, sender ? sender : &Application(), operation);
    } catch (...) {
        LogException(Exception("Unknown exception"), sender ? sender : &Application(), operation);
    }
    return fallback;
}

} // namespace zen
