#pragma once
// A fault that a guarded operation caught and logged, kept for a caller that must tell a
// neutral result after a failure from the same result after a success: a lookup that
// failed is no missing record.

#include <exception>
#include <string>

namespace zen {

class TCaughtFault {
public:
    // Whether anything was caught.
    explicit operator bool() const noexcept { return error_ != nullptr; }
    const std::string& ClassName() const noexcept { return className_; }
    const std::string& Message() const noexcept { return message_; }
    // Raises the caught exception again, as it was raised.
    [[noreturn]] void Rethrow() const { std::rethrow_exception(error_); }

    // Keeps the first fault only: a later one is most often a consequence of it.
    void Keep(std::exception_ptr error, std::string className, std::string message) {
        if (!error_) {
            error_ = std::move(error);
            className_ = std::move(className);
            message_ = std::move(message);
        }
    }

private:
    std::exception_ptr error_;
    std::string className_;
    std::string message_;
};

// Watches the faults that are logged while it lives. The standard procedures and the
// pricing keep their faults to themselves and answer with a neutral value, which a caller
// such as the transfer must not book as a price: it opens a watch around the work and asks
// it afterwards. Watches nest; the innermost one sees each fault. One thread's faults only.
class TFaultWatch {
public:
    // Faults logged under the operation `ignored` (when given) are not the watch's concern:
    // a caller may know that operation's neutral answer to be the intended one.
    explicit TFaultWatch(const char* ignored = nullptr) noexcept;
    ~TFaultWatch();
    TFaultWatch(const TFaultWatch&) = delete;
    TFaultWatch& operator=(const TFaultWatch&) = delete;

    // The first fault logged while the watch was open.
    const TCaughtFault& Fault() const noexcept { return fault_; }
    explicit operator bool() const noexcept { return static_cast<bool>(fault_); }

    // Called by the exception log for every fault it is given (EAbort excepted).
    static void Notice(const std::exception& e, const char* className,
                       const std::string& operation) noexcept;

private:
    TCaughtFault fault_;
    const char* ignored_;
    TFaultWatch* outer_;
};

} // namespace zen
