// The input of the fuzz targets over a table family: several files in one byte string.
//
//   repeated:  u8 kind   u24 little-endian length   length bytes (cut short at the input's end)
//   kind % 12: 0 .DB  1 .MB  2 .PX  3 .VAL  4 + 2n .XGn  5 + 2n .YGn  (n = 0..3)
// A later file of the same kind replaces an earlier one. EncodeFamily writes the same format
// (for the seed corpora).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace kxfuzz {

inline std::string FamilyExtension(unsigned kind) {
    static const char* const kExt[] = {"DB", "MB", "PX", "VAL", "XG0", "YG0", "XG1", "YG1", "XG2", "YG2", "XG3", "YG3"};
    return kExt[kind % 12];
}

// Extension -> bytes.
inline std::map<std::string, std::string> DecodeFamily(const uint8_t* data, std::size_t size) {
    std::map<std::string, std::string> files;
    std::size_t at = 0;
    while (size - at >= 4) {
        const unsigned kind = data[at];
        std::size_t n = data[at + 1] | (std::size_t(data[at + 2]) << 8) | (std::size_t(data[at + 3]) << 16);
        at += 4;
        if (n > size - at) n = size - at;
        files[FamilyExtension(kind)] = std::string(reinterpret_cast<const char*>(data) + at, n);
        at += n;
    }
    return files;
}

inline std::string EncodeFamily(const std::map<std::string, std::string>& files) {
    std::string out;
    for (const auto& [ext, bytes] : files) {
        unsigned kind = 0;
        while (kind < 12 && FamilyExtension(kind) != ext) ++kind;
        if (kind == 12) continue;
        const std::size_t n = bytes.size();
        out += char(kind);
        out += char(n & 0xFF);
        out += char((n >> 8) & 0xFF);
        out += char((n >> 16) & 0xFF);
        out += bytes;
    }
    return out;
}

}  // namespace kxfuzz
