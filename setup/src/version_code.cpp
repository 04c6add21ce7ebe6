#include "version_code.h"

#include <algorithm>

TVersionCode TVersionCode::FromText(const std::string& text, int max) {
    TVersionCode v;
    int m = std::max(0, std::min(max, kMaxChars));
    v.len = static_cast<uint8_t>(std::min<size_t>(text.size(), static_cast<size_t>(m)));
    std::memcpy(v.chars, text.data(), v.len);
    return v;
}

TVersionCode TVersionCode::FromBuffer(const uint8_t* buffer, int max) {
    TVersionCode v;
    int m = std::max(0, std::min(max, kMaxChars));
    v.len = static_cast<uint8_t>(std::min<int>(buffer[0], m));
    std::memcpy(v.chars, buffer + 1, v.len);
    return v;
}

bool operator<(const TVersionCode& a, const TVersionCode& b) {
    int n = std::min(a.len, b.len);
    for (int i = 0; i < n; ++i) {
        auto x = static_cast<unsigned char>(a.chars[i]);
        auto y = static_cast<unsigned char>(b.chars[i]);
        if (x != y) return x < y;
    }
    return a.len < b.len;
}
