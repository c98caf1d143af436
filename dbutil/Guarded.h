#pragma once
// How the standard procedures and the pricing keep their faults to themselves: the body
// runs, and an exception is written to the exception log under the operation's name
// instead of reaching the caller, who gets a neutral result.

#include "dbutil/CaughtFault.h"
#include "dbutil/ExceptionLog.h"
#include "toolkit/Component.h"
#include "toolkit/Exceptions.h"

#include <exception>

namespace zen {

// Runs `body`; an exception is logged under `operation` with `sender` as the failing object
// (the application object when none is given) and `fallback` is returned. With `caught`,
// the exception is also kept there for the caller.
template <typename T, typename F>
T Guarded(const char* operation, T fallback, F&& body, const TObject* sender = nullptr,
          TCaughtFault* caught = nullptr) {
    try {
        return body();
    } catch (const std::exception& e) {
        LogException(e, sender ? sender : &Application(), operation);
        if (caught) {
            caught->Keep(std::current_exception(), ExceptionClassName(e), e.what());
        }
    } catch (...) {
        Exception unknown("Unknown exception");
        LogException(unknown, sender ? sender : &Application(), operation);
        if (caught) {
            caught->Keep(std::current_exception(), unknown.ClassName(), unknown.Message());
        }
    }
    return fallback;
}

} // namespace zen
