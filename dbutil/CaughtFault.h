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

} // namespace zen
