// The root exception class of the system and the run-time's standard exception classes.
//
// Every error that our code raises derives from Exception. Each class reports its own name
// through ClassName(), which the error displays show ("Exception EConvertError in module ...").
// The classes are header-declared with inline ClassName(); C++ exception matching across the
// plug-in boundary works because the executable and every plug-in share one C++ runtime.
#pragma once

#include <stdexcept>
#include <string>

namespace rtl {

class Exception : public std::exception {
public:
    explicit Exception(std::string message);
    ~Exception() override;

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const { return message_; }
    void SetMessage(std::string m) { message_ = std::move(m); }

    // The class name as the system's error displays show it.
    virtual const char* ClassName() const { return "Exception"; }
    // True when this object's class is `name` or derives from it (by name).
    virtual bool InheritsFrom(const std::string& name) const { return name == "Exception"; }

    // Code address at which the exception was raised (approximately: the constructor's
    // caller), for the "in module ... at ..." part of the error display.
    void* ExceptAddr() const { return address_; }

private:
    std::string message_;
    void* address_;
};

// Declares an exception class derived from Base with the given name.
#define RTL_DECLARE_EXCEPTION(Name, Base)                                              \
    class Name : public Base {                                                         \
        using rtl_base = Base;                                                         \
                                                                                       \
    public:                                                                            \
        using rtl_base::rtl_base;                                                      \
        const char* ClassName() const override { return #Name; }                       \
        bool InheritsFrom(const std::string& n) const override {                       \
            return n == #Name || rtl_base::InheritsFrom(n);                            \
        }                                                                              \
    }

// Inside a catch block for something that is no std::exception (a plug-in may throw an int):
// a generic message naming what was thrown, "Unknown exception of type int".
std::string UnknownExceptionMessage();

RTL_DECLARE_EXCEPTION(EConvertError, Exception);      // "'%s' is not a valid integer value"
RTL_DECLARE_EXCEPTION(EVariantError, Exception);      // "Invalid variant type conversion"
RTL_DECLARE_EXCEPTION(ERangeError, Exception);        // bad index
RTL_DECLARE_EXCEPTION(EAbstractError, Exception);     // "Abstract Error": a method without a body
RTL_DECLARE_EXCEPTION(EListError, Exception);         // "List index out of bounds (%d)"
RTL_DECLARE_EXCEPTION(EInOutError, Exception);        // file I/O
RTL_DECLARE_EXCEPTION(EOSError, Exception);           // a failed system call
RTL_DECLARE_EXCEPTION(EStreamError, Exception);
RTL_DECLARE_EXCEPTION(EFOpenError, EStreamError);     // "Cannot open file \"%s\". %s"
RTL_DECLARE_EXCEPTION(EReadError, EStreamError);      // "Stream read error", "Invalid property value"
RTL_DECLARE_EXCEPTION(EFilerError, EStreamError);     // "Invalid stream format"
RTL_DECLARE_EXCEPTION(EResNotFound, Exception);       // "Resource %s not found"
RTL_DECLARE_EXCEPTION(EInvalidOperation, Exception);
RTL_DECLARE_EXCEPTION(ERegistryException, Exception); // "Invalid data type for '%s'"

}  // namespace rtl
