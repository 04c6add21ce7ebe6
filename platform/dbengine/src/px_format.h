// Internal: the on-disk layout of Paradox table (.DB), primary index (.PX) and BLOB (.MB)
// files. All header integers are little-endian; field data inside records is big-endian.
//
// How sure each part is: the layout below follows the public descriptions of the format and
// is cross-checked with pxlib both ways (pxlib reads what we write, we read what it writes:
// tests/dbengine/pxlib_test.cpp) for the header fields pxlib reads, the field info, names
// and numbers, the data blocks, the record encodings, the primary index entries and the .MB
// chunks and pointers. Inferred, settled by neither:
//   0x29 sort order id     the byte per sort order name (kSortOrders in tablefile.cpp); pxlib
//                          keeps the byte and the name but gives them no meaning
//   0x39 file version      the byte written per table level (FileVersionForLevel); pxlib
//                          reads any value, so only its sense for levels 3 to 7 is checked
//   0x58 / 0x5A            the file version repeated in the data header (written as
//                          0x0100 | file version; never read back)
//   key order              the order in which the "ancyrr" collation sorts keys (see
//                          CollationWeight in tablefile.cpp): pxlib does not sort, so the .PX
//                          and .XGn files we write are ordered by our own inference.
//
// Table / index header (offsets from the start of the file):
//   0x00 u16 record size            0x02 u16 header size        0x04 u8  file type
//   0x05 u8  block size in KiB      0x06 u32 record count       0x0A u16 blocks in use
//   0x0C u16 blocks in file         0x0E u16 first block        0x10 u16 last block
//   0x15 u8  index field number     0x1E u16 index root (.PX)   0x20 u8  index levels (.PX)
//   0x21 u16 field count            0x23 u16 key field count    0x25 u32 encryption
//   0x29 u8  sort order id          0x39 u8  file version       0x3A u16 max blocks
//   0x49 u32 next auto-increment value
//   --- data header (file version >= 4, table and secondary-index files only) ---
//   0x58 u16 file version again     0x5A u16 file version again 0x5C u32 encryption 2
//   0x60 u32 update time            0x64 u16 highest field id   0x6A u16 code page
//   --- then (0x78, or 0x58 without data header) ---
//   field info: count x (u8 type, u8 width)
//   u32 table name pointer; count x u32 field name pointers (tables only)
//   table name: 79 bytes (261 from file version 12 on), zero padded
//   field names: zero-terminated, in field order (tables only)
//   field numbers: count x u16 (file version >= 4); sort order name, zero-terminated
// Blocks (numbered from 1) start at header size + (n - 1) x block size:
//   0x00 u16 next block (0: last)   0x02 u16 previous block     0x04 i16 offset of the last
//   record ((records - 1) x record size; negative when empty)    0x06 records
//
// Primary index (.PX): file type 1; the header lists the key fields only, and each entry
// holds the key followed by three Short values (block number, record count, 0), so the
// record size is the key width + 6. Level 1 entries hold the first key of each data block; higher levels
// the first key of each lower index block, its block number and the records below it.
//
// BLOB file (.MB): 4096-byte chunks; chunk 0 is the header:
//   0 u8 type 0   1 u16 chunks (1)   3 8 bytes modification count   11 u16 data block size
//   (4096)   13 u16 sub-allocated block size (4096)   16 u8 sub-allocation unit (16)
//   17 u16 slots per sub-allocated block (64)   19 u16 sub-allocation threshold (2048)
// A Graphic value is stored as the application gives it (pictures written by the class
// library carry an 8-byte graphic header of their own). A blob's 10-byte record
// pointer (after the leading bytes kept in the record): u32 offset (chunk offset | index;
// index 0xFF: a single-blob block), u32 length, u16 modification number. A blob no longer
// than the leading bytes lives in the record only (offset 0).
//   single-blob block (type 2): u8 2, u16 chunks, u32 length, u16 mod, data at 9
//   sub-allocated block (type 3): u8 3, u16 chunks (1), 64 x 5-byte slots at 12:
//     u8 offset/16, u8 length/16 rounded up, u16 mod, u8 length mod 16
//   free block (type 4)
#pragma once

#include <cstddef>
#include <cstdint>

namespace dbe::detail::px {

constexpr std::size_t kRecordSize = 0x00, kHeaderSize = 0x02, kFileType = 0x04,
    kMaxTableSize = 0x05, kNumRecords = 0x06, kNextBlock = 0x0A, kFileBlocks = 0x0C,
    kFirstBlock = 0x0E, kLastBlock = 0x10, kUnknown12 = 0x12, kIndexFieldNumber = 0x15,
    kIndexRoot = 0x1E, kIndexLevels = 0x20, kNumFields = 0x21, kKeyFields = 0x23,
    kEncryption = 0x25, kSortOrder = 0x29, kChangeCount1 = 0x2D, kChangeCount2 = 0x2E,
    kFileVersion = 0x39, kMaxBlocks = 0x3A, kAutoInc = 0x49,
    kFileVerId3 = 0x58, kFileVerId4 = 0x5A, kEncryption2 = 0x5C, kUpdateTime = 0x60,
    kHiFieldId = 0x64, kHiFieldIdInfo = 0x66, kCodePage = 0x6A,
    kFixedEnd = 0x58, kDataHeaderEnd = 0x78;

constexpr std::size_t kBlockHeader = 6;
constexpr std::size_t kBlockNext = 0, kBlockPrev = 2, kBlockLastOffset = 4;

enum FileType : uint8_t { ftIndexedDb = 0, ftPrimaryIndex = 1, ftNonIndexedDb = 2 };

constexpr std::size_t kMbChunk = 4096;
constexpr std::size_t kMbHeaderChunks = 1, kMbHeaderModCount = 3, kMbHeaderBlockSize = 11,
    kMbHeaderSubBlockSize = 13, kMbHeaderSubUnit = 16, kMbHeaderSubSlots = 17,
    kMbHeaderSubThreshold = 19;
constexpr std::size_t kBlobPointer = 10;
constexpr int kBcdWidth = 17;   // bytes of a BCD value in the record
constexpr std::size_t kMbSingleHeader = 9;
constexpr std::size_t kMbSubTable = 12, kMbSubSlot = 5, kMbSubSlots = 64;
enum MbBlockType : uint8_t { mbHeader = 0, mbSingle = 2, mbSub = 3, mbFree = 4 };

// File version byte written for each table level.
inline int FileVersionForLevel(int level) {
    switch (level) {
    case 3: return 3;
    case 4: return 9;
    case 5: return 11;
    default: return 12;
    }
}
inline int LevelForFileVersion(int v) {
    if (v <= 4) return 3;
    if (v <= 9) return 4;
    if (v <= 11) return 5;
    return 7;
}
inline std::size_t TableNameLength(int fileVersion) { return fileVersion >= 12 ? 261 : 79; }

}  // namespace dbe::detail::px
