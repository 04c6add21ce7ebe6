// The version tags a converter reports through GetConvertVersions: a length byte and four
// characters, written into the caller's buffer cut to the caller's maximum.
#pragma once

#include <cstdint>
#include <cstring>

namespace conv {

#pragma pack(push, 1)
struct TVersionConst {
    uint8_t len;
    char chars[4];
};
#pragma pack(pop)

// Writes `tag` into buffer: length byte = min(tag length, max as an unsigned 8-bit count),
// then that many characters. Bytes after them are left as they were.
inline void WriteVersionTag(uint8_t* buffer, int32_t max, const TVersionConst& tag) {
    const auto limit = static_cast<uint8_t>(max);
    const uint8_t n = tag.len < limit ? tag.len : limit;
    buffer[0] = n;
    std::memcpy(buffer + 1, tag.chars, n);
}

}  // namespace conv
