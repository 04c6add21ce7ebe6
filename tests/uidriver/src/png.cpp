// A minimal PNG writer and reader for screenshots: 8-bit RGB, no interlace, one IDAT chunk,
// every row with filter type 0 (none).
//
// File layout:
//   8 bytes   signature 89 50 4E 47 0D 0A 1A 0A
//   chunks    length (4, big-endian) | type (4) | data (length) | CRC-32 of type+data (4)
//   IHDR data width (4) | height (4) | bit depth (1) = 8 | colour type (1) = 2 (RGB)
//             | compression (1) = 0 | filter (1) = 0 | interlace (1) = 0
//   IDAT data zlib stream of rows, each: filter byte | width*3 bytes
//   IEND      empty
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "uidriver/uidriver.h"

namespace uidriver {

namespace {

constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t kIhdrSize = 13;
constexpr size_t kIhdrWidth = 0, kIhdrHeight = 4, kIhdrDepth = 8, kIhdrColour = 9,
                 kIhdrCompression = 10, kIhdrFilter = 11, kIhdrInterlace = 12;
constexpr int kMaxSide = 16384;

void Put32(std::vector<unsigned char>& v, uint32_t x) {
    v.push_back(static_cast<unsigned char>(x >> 24));
    v.push_back(static_cast<unsigned char>(x >> 16));
    v.push_back(static_cast<unsigned char>(x >> 8));
    v.push_back(static_cast<unsigned char>(x));
}

uint32_t Get32(const unsigned char* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void PutChunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data) {
    Put32(out, static_cast<uint32_t>(data.size()));
    size_t crcStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    uLong crc = crc32(0L, out.data() + crcStart, static_cast<uInt>(out.size() - crcStart));
    Put32(out, static_cast<uint32_t>(crc));
}

}  // namespace

bool WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb) {
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
    size_t row = static_cast<size_t>(width) * 3;
    if (rgb.size() != row * static_cast<size_t>(height)) return false;

    std::vector<unsigned char> raw;
    raw.reserve((row + 1) * height);
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), rgb.begin() + y * row, rgb.begin() + (y + 1) * row);
    }
    uLongf zlen = compressBound(static_cast<uLong>(raw.size()));
    std::vector<unsigned char> z(zlen);
    if (compress2(z.data(), &zlen, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_SPEED) != Z_OK)
        return false;
    z.resize(zlen);

    std::vector<unsigned char> ihdr;
    Put32(ihdr, static_cast<uint32_t>(width));
    Put32(ihdr, static_cast<uint32_t>(height));
    ihdr.push_back(8);  // bit depth
    ihdr.push_back(2);  // RGB
    ihdr.push_back(0);
    ihdr.push_back(0);
    ihdr.push_back(0);

    std::vector<unsigned char> out(kSignature, kSignature + sizeof kSignature);
    PutChunk(out, "IHDR", ihdr);
    PutChunk(out, "IDAT", z);
    PutChunk(out, "IEND", {});

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

bool ReadPng(const std::string& path, int& width, int& height, std::vector<unsigned char>& rgb) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<unsigned char> in;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) in.insert(in.end(), buf, buf + n);
    std::fclose(f);

    if (in.size() < sizeof kSignature || std::memcmp(in.data(), kSignature, sizeof kSignature) != 0)
        return false;
    size_t off = sizeof kSignature;
    std::vector<unsigned char> z;
    bool haveHeader = false, ended = false;
    while (!ended) {
        if (off > in.size() || in.size() - off < 12) return false;
        uint32_t len = Get32(&in[off]);
        if (len > in.size() - off - 12) return false;
        const unsigned char* type = &in[off + 4];
        const unsigned char* data = &in[off + 8];
        if (crc32(0L, type, len + 4) != Get32(data + len)) return false;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            if (len != kIhdrSize) return false;
            width = static_cast<int>(Get32(data + kIhdrWidth));
            height = static_cast<int>(Get32(data + kIhdrHeight));
            if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide) return false;
            if (data[kIhdrDepth] != 8 || data[kIhdrColour] != 2 || data[kIhdrCompression] != 0 ||
                data[kIhdrFilter] != 0 || data[kIhdrInterlace] != 0)
                return false;
            haveHeader = true;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            z.insert(z.end(), data, data + len);
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        }
        off += 12 + len;
    }
    if (!haveHeader) return false;
    size_t row = static_cast<size_t>(width) * 3;
    std::vector<unsigned char> raw((row + 1) * static_cast<size_t>(height));
    uLongf rawLen = static_cast<uLongf>(raw.size());
    if (uncompress(raw.data(), &rawLen, z.data(), static_cast<uLong>(z.size())) != Z_OK ||
        rawLen != raw.size())
        return false;
    rgb.assign(row * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        if (raw[y * (row + 1)] != 0) return false;  // only the filter we write
        std::memcpy(&rgb[y * row], &raw[y * (row + 1) + 1], row);
    }
    return true;
}

}  // namespace uidriver
