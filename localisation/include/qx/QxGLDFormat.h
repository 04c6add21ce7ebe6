// The on-disk layout of a GLD dictionary stream, shared by the reader (QxGLD.h) and the
// writer of the build tools. Documented by the format's description; nothing inferred.
//
// Header, 42 bytes at offset 0:
//
//   offset  size  field
//   0       3     "GLD" (a string that ends at the first zero byte)
//   3       1     version: 1, 2, 3 in use; below 2 reads the version-1 records, 3 and above
//                 the version-3 records
//   4       1     byte order: non-zero little-endian, 0 big-endian (every 16/32-bit number
//                 and every UTF-16 unit of the stream)
//   5       1     string width: non-zero 8-bit, 0 UTF-16 (not read in version 1)
//   6       1     context type: 0 none, 1 A and B, 2 B only, 3 A only (4 and above: none)
//   7       1     version 1 only: the string width
//   8       4     not read
//   12      2     language count (the native language included)
//   14      4     language offset (0 invalid)
//   18      2     translation count
//   20      4     translation offset (0 invalid)
//   24      2     locale count (0 none)
//   26      4     locale offset (0 invalid when the count is not 0)
//   30      2     fourth count (not used; 0 in version 1)
//   32      4     fourth offset (not used; 0 in version 1)
//   36      6     not read
//
// Texts: counted (16-bit count n, then n bytes or n UTF-16 units), fixed (k characters, no
// count) or a character (a fixed text of one). Records of the three sections follow one
// another; version-3 language and locale records begin with a 16-bit length that counts the
// whole record, these two bytes included.
//
// Language record: [v3 length] primary id (16) [v2 language code, fixed 2] default
// sub-language id (16) [v2 country code, fixed 2] sub-language list (text) [v2 second name
// list (text)] [v3 charset (16)] code page (16) flags (byte) English name, native name, font
// name (texts) font size (byte).
// Translation record: native text [context A when the type is 1 or 3] [context B when 1 or 2]
// then one text per language 1 .. count-1.
// Locale record: [v3 length] primary id (16) [v2 language code] sub id (16) [v2 country code]
// [v3 charset (16)] code page (16) locale flag (byte) six names (texts) measure (byte)
// currency (text) three bytes, three characters, two texts, a character, two texts, seven
// bytes, then 12 + 12 + 7 + 7 month and day names (texts).
#pragma once

#include <cstdint>

namespace qx {
namespace gld {

constexpr int32_t kHeaderSize = 42;

constexpr int kMagic = 0;
constexpr int kMagicSize = 3;
constexpr int kVersion = 3;
constexpr int kByteOrder = 4;
constexpr int kStringWidth = 5;
constexpr int kContextType = 6;
constexpr int kV1StringWidth = 7;
constexpr int kLanguageCount = 12;
constexpr int kLanguageOffset = 14;
constexpr int kTranslationCount = 18;
constexpr int kTranslationOffset = 20;
constexpr int kLocaleCount = 24;
constexpr int kLocaleOffset = 26;
constexpr int kFourthCount = 30;
constexpr int kFourthOffset = 32;

// Versions from which a layout applies.
constexpr uint8_t kVersionCodes = 2;   // language and country codes, second name list
constexpr uint8_t kVersionFramed = 3;  // record length, charset field

// Context types.
inline bool HasContextA(uint8_t contextType) { return contextType == 1 || contextType == 3; }
inline bool HasContextB(uint8_t contextType) { return contextType == 1 || contextType == 2; }

constexpr int kMonths = 12;
constexpr int kDays = 7;

}  // namespace gld
}  // namespace qx
