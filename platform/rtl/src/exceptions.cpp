#include "rtl/exceptions.h"

namespace rtl {

// Kept out of line so that __builtin_return_address names the code that raised.
__attribute__((noinline)) Exception::Exception(std::string message)
    : message_(std::move(message)), address_(__builtin_return_address(0)) {}

Exception::~Exception() = default;

}  // namespace rtl
