// On-disk layout of a Paradox validity-check file (.VAL), file versions 0x09 to 0x0B.
// All integers little-endian; field values inside checks are in the table's record encoding.
//
// Inferred as a whole: no public description settles this layout and pxlib does not read
// .VAL files. Inferred in particular: the version byte per table level (0x09 / 0x0A / 0x0B,
// ValVersionFor in val_checks.cpp), the four-byte "present" markers of the entries, the
// "required" byte, the order of the values after an entry and the footer. That is why a
// .VAL file that does not parse leaves its table readable (only changes are refused).
//
// Header (0x35 bytes)
//   off   size  meaning
//   0x00  1     change count of the table (equals the .DB header's)
//   0x01  1     file version id (0x09 .. 0x0B)
//   0x02  1     number of check entries in the body
//   0x03  4     engine-internal pointer (ignored on read, 0 on write)
//   0x07  1     zero
//   0x08  1     zero
//   0x09  4     file offset of the field section (footer)
//   0x0D  4     file offset of the referential-integrity section, 0 when there is none
//   0x11  36    zero
// Body: one entry per checked field, from 0x35
//   0x00  1     field number (1-based)
//   0x01  1     length of the picture string including its zero (0 = none)
//   0x02  1     dependency table number (0)
//   0x03  1     lookup flags
//   0x04  4     lookup present (non-zero)
//   0x08  4     zero
//   0x0C  4     minimum present (non-zero)
//   0x10  4     maximum present (non-zero)
//   0x14  4     default present (non-zero)
//   0x18  4     picture present (non-zero)
//   0x1C  1     required (1) or not (0)
//   0x1D  ...   present values in the order minimum, maximum, default (each the field's
//               width), then the picture (zero-terminated), then the lookup block (0x50)
// Between the last entry and the footer: referential-integrity data (kept as bytes).
// Footer
//   0x00  2     field count n
//   0x02  4     engine-internal pointer (0)
//   0x06  2*n   field numbers
//   ...   2*n   (type, width) per field
//   ...   0x4F  table name, zero padded
//   ...         n zero-terminated field names
#pragma once

#include <cstddef>

namespace dbe::valfmt {

constexpr size_t kHeaderSize = 0x35;
constexpr size_t kHdrChangeCount = 0x00;
constexpr size_t kHdrVersion = 0x01;
constexpr size_t kHdrCheckCount = 0x02;
constexpr size_t kHdrFooterOffset = 0x09;
constexpr size_t kHdrRefIntegrityOffset = 0x0D;

constexpr size_t kEntryFixedSize = 0x1D;
constexpr size_t kEntFieldNo = 0x00;
constexpr size_t kEntPictureLen = 0x01;
constexpr size_t kEntLookupFlags = 0x03;
constexpr size_t kEntHasLookup = 0x04;
constexpr size_t kEntHasMin = 0x0C;
constexpr size_t kEntHasMax = 0x10;
constexpr size_t kEntHasDefault = 0x14;
constexpr size_t kEntHasPicture = 0x18;
constexpr size_t kEntRequired = 0x1C;
constexpr size_t kLookupBlockSize = 0x50;

constexpr size_t kFtrFixedSize = 0x06;
constexpr size_t kTableNameSize = 0x4F;

constexpr unsigned kMinVersion = 0x09;
constexpr unsigned kMaxVersion = 0x0B;

}  // namespace dbe::valfmt
