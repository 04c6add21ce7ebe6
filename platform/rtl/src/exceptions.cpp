#include "rtl/exceptions.h"

#include <cxxabi.h>

#include <cstdlib>
#include <typeinfo>

namespace rtl {

// Kept out of line so that __builtin_return_address names the code that raised.
__attribute__((noinline)) Exception::Exception(std::string message)
    : message_(std::move(message)), address_(__builtin_return_address(0)) {}

Exception::~Exception() = default;

std::string UnknownExceptionMessage() {
    std::string message = "Unknown exception";
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (!type) return message;
    int status = 0;
    char* name = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
    message += " of type ";
    message += (status == 0 && name) ? name : type->name();
    std::free(name);
    return message;
}

}  // namespace rtl
