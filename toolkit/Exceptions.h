#pragma once
// The exception classes of the toolkit. Every failure in Zendrato is one of these; the
// exception log records the class name, so each class reports its own through ClassName().

#include <exception>
#include <string>

namespace zen {

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    virtual const char* ClassName() const noexcept { return "Exception"; }

private:
    std::string message_;
};

// The arguments are class names, which cannot stand in parentheses.
#define ZEN_EXCEPTION_CLASS(Name, Base)                                                            \
    class Name : public Base { /* NOLINT(bugprone-macro-parentheses) */                            \
    public:                                                                                        \
        using Base::Base;                                                                          \
        const char* ClassName() const noexcept override { return #Name; }                          \
    }

// Silent exception: ends an action without a message and is never logged.
ZEN_EXCEPTION_CLASS(EAbort, Exception);
ZEN_EXCEPTION_CLASS(EConvertError, Exception);
ZEN_EXCEPTION_CLASS(EDatabaseError, Exception);
ZEN_EXCEPTION_CLASS(EMathError, Exception);
ZEN_EXCEPTION_CLASS(EZeroDivide, EMathError);
ZEN_EXCEPTION_CLASS(EInvalidOp, EMathError);
ZEN_EXCEPTION_CLASS(EOverflow, EMathError);
ZEN_EXCEPTION_CLASS(EIntError, Exception);
ZEN_EXCEPTION_CLASS(EDivByZero, EIntError);
ZEN_EXCEPTION_CLASS(ERangeError, EIntError);
ZEN_EXCEPTION_CLASS(EInOutError, Exception);
ZEN_EXCEPTION_CLASS(EListError, Exception);
ZEN_EXCEPTION_CLASS(EInvalidOperation, Exception);
ZEN_EXCEPTION_CLASS(EVariantError, Exception);
ZEN_EXCEPTION_CLASS(EOutOfMemory, Exception);

// The class name of any exception: ours report their own, anything else from the C++
// library is named by its role so that a log row still says what kind of fault it was.
const char* ExceptionClassName(const std::exception& e) noexcept;

} // namespace zen
