// Small string helpers shared by every module (8-bit strings throughout).
#pragma once

#include <string>

namespace rtl {

// printf-style formatting into a std::string.
std::string Format(const char* fmt, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// ASCII-only case folding: only the letters A to Z / a to z change.
std::string AsciiLower(std::string s);
std::string AsciiUpper(std::string s);
// Compares ignoring the case of the letters A-Z only (ordinal otherwise); <0, 0, >0.
int AsciiCompareText(const std::string& a, const std::string& b);
inline bool AsciiSameText(const std::string& a, const std::string& b) {
    return AsciiCompareText(a, b) == 0;
}

}  // namespace rtl
