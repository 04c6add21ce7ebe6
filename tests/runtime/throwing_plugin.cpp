// A plug-in that raises one of the run-time's exception classes, and an export with four
// 32-bit arguments under the standard calling convention.
#include <windows.h>

#include "rtl/exceptions.h"

extern "C" void __stdcall RaiseConvertError(const char* text) {
    throw rtl::EConvertError(std::string("'") + text + "' is not a valid integer value");
}

extern "C" int __stdcall AddFour(int a, int b, int c, int d) {
    return a * 1000 + b * 100 + c * 10 + d;
}
