// TVersionCode: the version tag of a database or of an installed program, as it crosses the
// plug-in boundary: a length byte (0 to 4) and up to four 8-bit characters. "Nop" = no version.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#pragma pack(push, 1)
struct TVersionCode {
    static constexpr int kMaxChars = 4;
    uint8_t len = 0;
    char chars[kMaxChars] = {0, 0, 0, 0};

    // Copy with maximum m: the length becomes min(source length, m), that many characters.
    static TVersionCode FromText(const std::string& text, int max = kMaxChars);
    // From a plug-in's buffer (length byte, characters); a length above 4 is clamped to 4.
    static TVersionCode FromBuffer(const uint8_t* buffer, int max = kMaxChars);
    static TVersionCode Nop() { return FromText("Nop"); }

    std::string Text() const { return std::string(chars, chars + len); }
    bool IsNop() const { return *this == Nop(); }

    friend bool operator==(const TVersionCode& a, const TVersionCode& b) {
        return a.len == b.len && std::memcmp(a.chars, b.chars, a.len) == 0;
    }
    friend bool operator!=(const TVersionCode& a, const TVersionCode& b) { return !(a == b); }
    // Unsigned byte order from the first character; a proper prefix sorts first.
    friend bool operator<(const TVersionCode& a, const TVersionCode& b);
    friend bool operator>(const TVersionCode& a, const TVersionCode& b) { return b < a; }
};
#pragma pack(pop)
static_assert(sizeof(TVersionCode) == 5, "a version tag is five bytes");
