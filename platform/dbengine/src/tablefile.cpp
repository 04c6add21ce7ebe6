// Reading and writing Paradox table families (.DB, .PX, .MB); layout in px_format.h.
//
// Reading checks every size, count and link against the bytes that are there before it is
// used; each damage found ends in Corrupt(), the one place where bad data turns into
// EDBEngineError. Writing builds the complete new files in memory (or, TableWriter, streams
// them to the family's work folder) and puts them in place by rename (fileio.h), so a failed
// write never leaves a half-written table. TableReader reads a table row by row through a
// window of blocks, with the same checks.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <cstdint>

#include "fileio.h"
#include "px_format.h"
#include "rtl/filesteps.h"
#include "rtl/strutil.h"
#include "secondary_index.h"
#include "table_hooks.h"
#include "tabledata.h"
#include "tablestream.h"
#include "val_checks.h"

namespace dbe::detail {
namespace {

[[noreturn]] void Corrupt(const std::string& file, const std::string& what) {
    throw EDBEngineError(ecCorrupt, "Corrupt table " + file + ": " + what);
}

// Bounded little-endian reader over one file image.
class Reader {
public:
    Reader(const std::string& bytes, const std::string& file) : b_(bytes), file_(file) {}
    std::size_t size() const { return b_.size(); }
    void Need(std::size_t off, std::size_t n, const char* what) const {
        if (off > b_.size() || n > b_.size() - off) Corrupt(file_, what);
    }
    uint8_t U8(std::size_t off) const {
        Need(off, 1, "header truncated");
        return static_cast<uint8_t>(b_[off]);
    }
    uint16_t U16(std::size_t off) const {
        Need(off, 2, "header truncated");
        return static_cast<uint16_t>(static_cast<uint8_t>(b_[off]) |
                                     (static_cast<uint8_t>(b_[off + 1]) << 8));
    }
    uint32_t U32(std::size_t off) const {
        Need(off, 4, "header truncated");
        return static_cast<uint32_t>(U16(off)) | (static_cast<uint32_t>(U16(off + 2)) << 16);
    }
    const char* At(std::size_t off) const { return b_.data() + off; }
    std::string Copy(std::size_t off, std::size_t n) const { return std::string(b_.data() + off, n); }
    const std::string& file() const { return file_; }

private:
    const std::string& b_;
    const std::string& file_;
};

void Put16(std::string& b, std::size_t off, uint32_t v) {
    b[off] = static_cast<char>(v & 0xFF);
    b[off + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& b, std::size_t off, uint32_t v) {
    Put16(b, off, v & 0xFFFF);
    Put16(b, off + 2, v >> 16);
}
void PutShortBE(char* p, int v) {
    uint16_t u = static_cast<uint16_t>(static_cast<int16_t>(v)) ^ 0x8000u;
    p[0] = static_cast<char>(u >> 8);
    p[1] = static_cast<char>(u & 0xFF);
}

struct SortOrderId {
    const char* name;
    uint8_t id;
};
// Sort-order ids of the header byte; the name stored after the field numbers decides.
// Inferred: the byte values (no public list of them; pxlib does not interpret the byte).
const SortOrderId kSortOrders[] = {
    {"ascii", 0x00}, {"intl", 0x4C}, {"ANSIINTL", 0x62}, {"ancyrr", 0x63}, {"cyrr", 0x64},
};
uint8_t SortOrderByte(const std::string& name) {
    for (auto& s : kSortOrders)
        if (rtl::AsciiSameText(s.name, name)) return s.id;
    return 0x00;
}
std::string SortOrderName(uint8_t id) {
    for (auto& s : kSortOrders)
        if (s.id == id) return s.name;
    return "ascii";
}

// Weight of a byte for the case-insensitive sort orders: digits, then Latin letters, then
// Cyrillic letters of code page 1251 (Ё after Е); other bytes keep their order below.
// Inferred: it is based on the alphabets' own order (Latin A-Z, then Russian А-Я with Ё
// after Е, each letter's two cases equal but for a final tie-break, lower byte first) and
// on what a Cyrillic dictionary order does; no description of the "ancyrr" driver's table
// and no pxlib check settles it (pxlib does not sort). It decides the order of keys in the
// .PX and .XGn files that the product's own engine reads.
int CollationWeight(unsigned char c, bool cyrillic) {
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    if (c >= 'A' && c <= 'Z') return 0x200 + (c - 'A') * 2;
    if (cyrillic) {
        if (c >= 0xE0) c = static_cast<unsigned char>(c - 0x20);  // а..я -> А..Я
        if (c == 0xB8) c = 0xA8;                                   // ё -> Ё
        if (c == 0xA8) return 0x300 + (0xC5 - 0xC0) * 2 + 1;       // after Е
        if (c >= 0xC0 && c <= 0xDF) return 0x300 + (c - 0xC0) * 2;
    }
    return c;
}

int CompareAlpha(const Schema& s, const char* a, const char* b, int width) {
    bool ascii = s.sortOrderId == 0x00;
    if (ascii) return std::memcmp(a, b, static_cast<std::size_t>(width));
    bool cyr = s.codePage == 1251 || s.sortOrderId == 0x63 || s.sortOrderId == 0x64;
    int tie = 0;
    for (int i = 0; i < width; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x == y) {
            if (x == 0) break;
            continue;
        }
        int wx = x ? CollationWeight(x, cyr) : -1, wy = y ? CollationWeight(y, cyr) : -1;
        if (wx != wy) return wx < wy ? -1 : 1;
        if (tie == 0) tie = x < y ? -1 : 1;  // same letter, other case: later bytes decide first
    }
    return tie;
}

struct Layout {
    bool dataHeader;
    std::size_t fieldInfo;
};
Layout LayoutFor(int fileVersion, uint8_t fileType) {
    bool dh = fileVersion >= 5 && fileType != px::ftPrimaryIndex;
    return Layout{dh, dh ? px::kDataHeaderEnd : px::kFixedEnd};
}

std::string Stem(const std::string& fileName) {
    auto slash = fileName.find_last_of("/\\");
    std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    auto dot = base.find_last_of('.');
    return dot == std::string::npos ? base : base.substr(0, dot);
}

// --- BLOBs ---
}  // namespace

// Reads the BLOB value of field f whose record bytes start at `field`, through src (the BLOB
// file's bytes; nullptr when the table has none): Need / U8 / U16 / U32 / Copy as Reader has
// them, each damage raised through Corrupt.
template <class Src>
std::string ReadBlobFrom(const std::string& table, const FieldInfo& f, const char* field, const Src* src,
                         bool wantData = true) {
    const char* ptr = field + f.leader;
    auto u32 = [&](const char* p) {
        return static_cast<uint32_t>(static_cast<uint8_t>(p[0])) |
               (static_cast<uint32_t>(static_cast<uint8_t>(p[1])) << 8) |
               (static_cast<uint32_t>(static_cast<uint8_t>(p[2])) << 16) |
               (static_cast<uint32_t>(static_cast<uint8_t>(p[3])) << 24);
    };
    uint32_t offset = u32(ptr), length = u32(ptr + 4);
    if (length == 0) return std::string();
    if (length <= static_cast<uint32_t>(f.leader) && offset == 0)
        return std::string(field, length);
    std::string mbName = table + " (BLOB file)";
    if (!src) Corrupt(table, "BLOB file missing for field " + f.name);
    const Src& r = *src;
    std::size_t block = offset & ~0xFFu;
    unsigned index = offset & 0xFFu;
    if (block == 0 || block % px::kMbChunk != 0) Corrupt(mbName, "bad BLOB pointer in field " + f.name);
    r.Need(block, px::kMbSubTable, "BLOB block outside the file");
    uint8_t type = r.U8(block);
    if (index == 0xFF) {
        if (type != px::mbSingle) Corrupt(mbName, "BLOB pointer to a block of another kind");
        uint16_t chunks = r.U16(block + 1);
        uint32_t blen = r.U32(block + 3);
        if (blen != length || chunks == 0 ||
            static_cast<uint64_t>(length) + px::kMbSingleHeader > static_cast<uint64_t>(chunks) * px::kMbChunk)
            Corrupt(mbName, "BLOB length does not match its block");
        r.Need(block + px::kMbSingleHeader, length, "BLOB data beyond the end of the file");
        return wantData ? r.Copy(block + px::kMbSingleHeader, length) : std::string();
    }
    if (type != px::mbSub || index >= px::kMbSubSlots) Corrupt(mbName, "bad sub-allocated BLOB pointer");
    std::size_t slot = block + px::kMbSubTable + index * px::kMbSubSlot;
    std::size_t dataOff = static_cast<std::size_t>(r.U8(slot)) * 16;
    std::size_t units = r.U8(slot + 1);
    if (dataOff == 0 || length > units * 16 || dataOff + length > px::kMbChunk)
        Corrupt(mbName, "sub-allocated BLOB outside its block");
    r.Need(block + dataOff, length, "BLOB data beyond the end of the file");
    return wantData ? r.Copy(block + dataOff, length) : std::string();
}

namespace {
std::string ReadBlob(const std::string& table, const Schema&, const FieldInfo& f, const char* field,
                     const std::string& mb, bool haveMb) {
    const std::string mbName = table + " (BLOB file)";
    Reader r(mb, mbName);
    return ReadBlobFrom(table, f, field, haveMb ? &r : static_cast<const Reader*>(nullptr));
}

}  // namespace

// ---------------------------------------------------------------- schema and rows

bool Schema::HasBlobs() const {
    for (auto& f : fields)
        if (f.blob) return true;
    return false;
}

int Schema::FindField(const std::string& name) const {
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (rtl::AsciiSameText(fields[i].name, name)) return static_cast<int>(i);
    return -1;
}

int CompareKeys(const Schema& s, const Record& a, const Record& b) {
    return CompareKeyBytes(s, a.data.data(), b.data.data());
}

int CompareKeyBytes(const Schema& s, const char* a, const char* b) {
    for (int i = 0; i < s.keyFields && i < static_cast<int>(s.fields.size()); ++i) {
        const FieldInfo& f = s.fields[static_cast<std::size_t>(i)];
        const char* x = a + f.offset;
        const char* y = b + f.offset;
        int c = f.code == fcAlpha ? CompareAlpha(s, x, y, f.width)
                                  : std::memcmp(x, y, static_cast<std::size_t>(f.width));
        if (c != 0) return c < 0 ? -1 : 1;
    }
    return 0;
}

uint64_t SortPrefix(const Schema& s, const FieldInfo& f, const char* value) {
    const std::size_t width = static_cast<std::size_t>(f.width);
    uint64_t p = 0;
    std::size_t i = 0;
    if (f.code == fcAlpha && s.sortOrderId != 0x00) {
        // Each byte's rank among the weights CompareAlpha gives them (0 for the end).
        thread_local uint8_t rank[256];
        thread_local int rankFor = -1;
        const bool cyr = s.codePage == 1251 || s.sortOrderId == 0x63 || s.sortOrderId == 0x64;
        if (rankFor != int(cyr)) {
            std::vector<int> weights;
            for (int c = 1; c < 256; ++c) weights.push_back(CollationWeight(static_cast<unsigned char>(c), cyr));
            std::sort(weights.begin(), weights.end());
            weights.erase(std::unique(weights.begin(), weights.end()), weights.end());
            rank[0] = 0;
            for (int c = 1; c < 256; ++c)
                rank[c] = static_cast<uint8_t>(
                    1 + (std::lower_bound(weights.begin(), weights.end(), CollationWeight(static_cast<unsigned char>(c), cyr)) -
                         weights.begin()));
            rankFor = int(cyr);
        }
        for (; i < 8 && i < width && value[i] != 0; ++i) p = (p << 8) | rank[static_cast<unsigned char>(value[i])];
    } else {
        for (; i < 8 && i < width; ++i) p = (p << 8) | static_cast<unsigned char>(value[i]);
    }
    return i == 0 ? 0 : p << (8 * (8 - i));
}

bool RecordLess::operator()(const RecordPtr& a, const RecordPtr& b) const {
    if (schema && schema->keyFields > 0) {
        int c = CompareKeys(*schema, *a, *b);
        if (c != 0) return c < 0;
    }
    return a->seq < b->seq;
}

RecordPtr TableData::NewRecord() const {
    auto r = std::make_shared<Record>();
    r->data.assign(static_cast<std::size_t>(schema.recordSize), '\0');
    if (schema.HasBlobs()) r->blobs.resize(schema.fields.size());   // slots only where needed
    return r;
}

namespace {
[[noreturn]] void KeyViolation(const TableData& t) {
    throw EDBEngineError(ecKeyViolation, "Key violation in table " + t.dbPath);
}
// The stored row whose key equals r's (keyed tables), or end.
RowSet::iterator FindSameKey(TableData& t, const Record& r) {
    auto probe = std::make_shared<Record>(r);
    probe->seq = 0;
    auto it = t.rows.lower_bound(probe);
    if (it != t.rows.end() && CompareKeys(t.schema, **it, r) == 0) return it;
    return t.rows.end();
}
}  // namespace

RowSet::iterator TableData::InsertRow(RecordPtr r) {
    if (schema.keyFields > 0 && FindSameKey(*this, *r) != rows.end()) KeyViolation(*this);
    r->seq = nextSeq++;
    r->deleted = false;
    auto it = rows.insert(std::move(r)).first;
    Touch();
    return it;
}

RowSet::iterator TableData::UpdateRow(const RecordPtr& old, RecordPtr changed) {
    auto it = rows.find(old);
    if (it == rows.end()) throw EDBEngineError(ecState, "Record was deleted in table " + dbPath);
    bool keyMoved = schema.keyFields > 0 && CompareKeys(schema, *old, *changed) != 0;
    if (keyMoved) {
        auto same = FindSameKey(*this, *changed);
        if (same != rows.end() && *same != old) KeyViolation(*this);
        rows.erase(it);
        old->data = std::move(changed->data);
        old->blobs = std::move(changed->blobs);
        it = rows.insert(old).first;
    } else {
        old->data = std::move(changed->data);
        old->blobs = std::move(changed->blobs);
    }
    Touch();
    return it;
}

void TableData::DeleteRow(const RecordPtr& r) {
    auto it = rows.find(r);
    if (it == rows.end()) return;
    rows.erase(it);
    r->deleted = true;
    Touch();
}

std::string FamilyPath(const std::string& dbPath, const std::string& ext) {
    auto slash = dbPath.find_last_of("/\\");
    auto dot = dbPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return dbPath + "." + ext;
    return dbPath.substr(0, dot + 1) + ext;
}

std::string TableFileName(const std::string& tableName) {
    auto slash = tableName.find_last_of("/\\");
    auto dot = tableName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return tableName + ".DB";
    return tableName;
}

void DeleteFamily(const std::string& dbPath) {
    auto slash = dbPath.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? std::string(".") : dbPath.substr(0, slash);
    std::string stem = rtl::AsciiUpper(Stem(dbPath));
    for (auto& n : ListFiles(folder)) {
        std::string u = rtl::AsciiUpper(n);
        auto dot = u.find_last_of('.');
        if (dot == std::string::npos || u.substr(0, dot) != stem) continue;
        std::string ext = u.substr(dot + 1);
        bool family = ext == "DB" || ext == "PX" || ext == "MB" || ext == "VAL" ||
                      (ext.size() == 3 && (ext.compare(0, 2, "XG") == 0 || ext.compare(0, 2, "YG") == 0));
        if (!family) continue;
        std::string path = JoinPath(folder, n);
        if (!RemoveFile(path))
            throw EDBEngineError(ecOpenFailed, "Cannot delete " + path);
    }
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
    const std::string found = FindNameNoCase(folder, name);
    return found.empty() ? found : JoinPath(folder, found);
}

// ---------------------------------------------------------------- reading

namespace {

bool IsBlobCode(uint8_t code) {
    return code == fcMemo || code == fcBlob || code == fcFmtMemo || code == fcOLE || code == fcGraphic;
}

// A field descriptor read from a header must be one that creating a table could have written
// (SchemaFromSpec): the decoders read exactly FixedFieldWidth bytes of a fixed-size value, so
// a header that declares another width would send them past the field, and past the record
// for the last one.
void CheckFieldWidth(const std::string& name, unsigned number, uint8_t code, int width) {
    const int fixed = FixedFieldWidth(code);
    if (fixed > 0) {
        if (width != fixed)
            Corrupt(name, rtl::Format("field %u of type 0x%02X declares %d bytes, its type takes %d", number, code,
                                      width, fixed));
        return;
    }
    switch (code) {
    case fcAlpha:
    case fcBytes:
        return;   // 1 to 255: the descriptor's byte, width 0 refused above
    case fcMemo:
    case fcFmtMemo:
    case fcBlob:
    case fcOLE:
    case fcGraphic: {
        const int leader = width - static_cast<int>(px::kBlobPointer);
        const int least = code == fcMemo || code == fcFmtMemo ? 1 : 0;
        if (leader < 0) Corrupt(name, "BLOB field narrower than its pointer");
        if (leader < least || leader > kMaxBlobLeader)
            Corrupt(name, rtl::Format("BLOB field %u keeps %d leading bytes (%d to %d)", number, leader, least,
                                      kMaxBlobLeader));
        return;
    }
    default:
        Corrupt(name, rtl::Format("field %u has unknown type 0x%02X", number, code));
    }
}

}  // namespace

int FixedFieldWidth(uint8_t code) {
    switch (code) {
    case fcShort: return 2;
    case fcLong:
    case fcDate:
    case fcTime:
    case fcAutoInc: return 4;
    case fcCurrency:
    case fcNumber:
    case fcTimestamp: return 8;
    case fcLogical: return 1;
    case fcBCD: return px::kBcdWidth;
    default: return 0;
    }
}

std::unique_ptr<TableData> ParseHeader(const std::string& name, const std::string& db, uint64_t fileSize,
                                       TableFileInfo& info) {
    Reader r(db, name);
    if (db.size() < px::kFixedEnd) Corrupt(name, "header truncated");
    auto t = std::make_unique<TableData>();
    t->dbPath = name;
    Schema& s = t->schema;

    uint16_t recordSize = r.U16(px::kRecordSize);
    uint16_t headerSize = r.U16(px::kHeaderSize);
    uint8_t fileType = r.U8(px::kFileType);
    uint8_t maxTable = r.U8(px::kMaxTableSize);
    uint32_t numRecords = r.U32(px::kNumRecords);
    uint16_t firstBlock = r.U16(px::kFirstBlock);
    uint16_t numFields = r.U16(px::kNumFields);
    uint16_t keyFields = r.U16(px::kKeyFields);
    int version = r.U8(px::kFileVersion);

    if (fileType != px::ftIndexedDb && fileType != px::ftNonIndexedDb)
        Corrupt(name, rtl::Format("file type %u is not a table", fileType));
    if (version < 3 || version > 15) Corrupt(name, rtl::Format("unknown file version %d", version));
    if (headerSize < px::kFixedEnd || headerSize > fileSize || headerSize > db.size())
        Corrupt(name, "header size beyond the file");
    bool sizeOk = (maxTable >= 1 && maxTable <= 4) ||
                  (version >= 12 && (maxTable == 8 || maxTable == 16 || maxTable == 32));
    if (!sizeOk) Corrupt(name, rtl::Format("bad block size code %u", maxTable));
    // The encryption word of current files is in the data header; the older one reads
    // 0xFF00FF00 when unused.
    uint32_t enc1 = r.U32(px::kEncryption);
    uint32_t enc = version >= 5 ? r.U32(px::kEncryption2) : (enc1 == 0xFF00FF00u ? 0 : enc1);
    if (enc != 0) throw EDBEngineError(ecUnsupported, "Table " + name + " is encrypted");
    if (numFields == 0 || numFields > 1024) Corrupt(name, rtl::Format("bad field count %u", numFields));
    if (keyFields > numFields) Corrupt(name, "more key fields than fields");

    s.blockSize = maxTable * 1024;
    s.fileVersion = version;
    s.level = px::LevelForFileVersion(version);
    s.recordSize = recordSize;
    s.keyFields = fileType == px::ftIndexedDb ? keyFields : 0;
    s.sortOrderId = r.U8(px::kSortOrder);
    s.sortOrder = SortOrderName(s.sortOrderId);
    s.autoInc = r.U32(px::kAutoInc);
    Layout lay = LayoutFor(version, fileType);
    s.codePage = lay.dataHeader ? r.U16(px::kCodePage) : 437;

    // Everything below lies inside the header.
    std::string header = db.substr(0, headerSize);
    Reader h(header, name);
    std::size_t pos = lay.fieldInfo;
    h.Need(pos, 2u * numFields, "field list beyond the header");
    int offset = 0;
    for (uint16_t i = 0; i < numFields; ++i) {
        FieldInfo f;
        f.index = i;
        f.code = h.U8(pos + 2u * i);
        f.width = h.U8(pos + 2u * i + 1);
        // A BCD field's descriptor holds its decimals; its value always takes 17 bytes.
        if (f.code == fcBCD) {
            if (f.width > 32) Corrupt(name, rtl::Format("BCD field %u has %d decimals", i + 1, f.width));
            f.width = px::kBcdWidth;
        }
        if (f.width == 0) Corrupt(name, rtl::Format("field %u has width 0", i + 1));
        CheckFieldWidth(name, i + 1, f.code, f.width);
        f.offset = offset;
        offset += f.width;
        f.blob = IsBlobCode(f.code);
        if (f.blob) f.leader = f.width - static_cast<int>(px::kBlobPointer);
        s.fields.push_back(f);
    }
    if (offset != recordSize || recordSize == 0) Corrupt(name, "record size does not match the fields");
    if (static_cast<std::size_t>(recordSize) > static_cast<std::size_t>(s.blockSize) - px::kBlockHeader)
        Corrupt(name, "record larger than a block");
    for (int i = 0; i < s.keyFields; ++i)
        if (s.fields[static_cast<std::size_t>(i)].blob) Corrupt(name, "BLOB field in the key");

    pos += 2u * numFields + 4 + 4u * numFields;   // table name and field name pointers
    std::size_t nameLen = px::TableNameLength(version);
    h.Need(pos, nameLen, "table name beyond the header");
    s.tableName = std::string(h.At(pos), strnlen(h.At(pos), nameLen));
    pos += nameLen;
    for (auto& f : s.fields) {
        std::size_t end = pos;
        while (end < header.size() && header[end] != '\0') ++end;
        if (end >= header.size()) Corrupt(name, "field names beyond the header");
        f.name = header.substr(pos, end - pos);
        pos = end + 1;
    }
    if (version >= 5 && pos + 2u * numFields < header.size()) {
        pos += 2u * numFields;
        std::size_t end = pos;
        while (end < header.size() && header[end] != '\0') ++end;
        if (end < header.size() && end > pos) s.sortOrder = header.substr(pos, end - pos);
    }

    // Public field definitions.
    for (auto& f : s.fields) {
        f.def.Name = f.name;
        f.def.Size = 0;
        switch (f.code) {
        case fcAlpha: f.def.DataType = TFieldType::String; f.def.Size = f.width; break;
        case fcDate: f.def.DataType = TFieldType::Date; break;
        case fcShort: f.def.DataType = TFieldType::Smallint; break;
        case fcLong: f.def.DataType = TFieldType::Integer; break;
        case fcCurrency: f.def.DataType = TFieldType::Currency; break;
        case fcNumber: f.def.DataType = TFieldType::Float; break;
        case fcLogical: f.def.DataType = TFieldType::Boolean; break;
        case fcMemo: f.def.DataType = TFieldType::Memo; f.def.Size = f.leader; break;
        case fcBlob: f.def.DataType = TFieldType::Blob; f.def.Size = f.leader; break;
        case fcFmtMemo: f.def.DataType = TFieldType::FmtMemo; f.def.Size = f.leader; break;
        case fcOLE: f.def.DataType = TFieldType::OLE; f.def.Size = f.leader; break;
        case fcGraphic: f.def.DataType = TFieldType::Graphic; f.def.Size = f.leader; break;
        case fcTime: f.def.DataType = TFieldType::Time; break;
        case fcTimestamp: f.def.DataType = TFieldType::TimeStamp; break;
        case fcAutoInc: f.def.DataType = TFieldType::AutoInc; break;
        case fcBCD: f.def.DataType = TFieldType::BCD; f.def.Size = h.U8(lay.fieldInfo + 2u * static_cast<std::size_t>(f.index) + 1); break;
        case fcBytes: f.def.DataType = TFieldType::Bytes; f.def.Size = f.width; break;
        default: f.def.DataType = TFieldType::Unknown; f.def.Size = f.width; break;
        }
    }

    info.numRecords = numRecords;
    info.firstBlock = firstBlock;
    info.headerSize = headerSize;
    info.blocksInFile = static_cast<std::size_t>((fileSize - headerSize) / static_cast<uint64_t>(s.blockSize));
    t->rows = RowSet(RecordLess{&t->schema});
    return t;
}

std::unique_ptr<TableData> ParseTable(const std::string& name, const std::string& db,
                                      const std::string& mb, bool haveMb) {
    TableFileInfo info;
    auto t = ParseHeader(name, db, db.size(), info);
    const Schema& s = t->schema;
    Reader r(db, name);
    const std::size_t headerSize = info.headerSize;
    const uint16_t recordSize = static_cast<uint16_t>(s.recordSize);
    const uint32_t numRecords = info.numRecords;
    const unsigned firstBlock = info.firstBlock;

    // Data blocks: follow the chain from the first block.
    std::size_t blocksInFile = info.blocksInFile;
    std::vector<bool> seen(blocksInFile + 1, false);
    uint64_t found = 0;
    std::vector<RecordPtr> loaded;
    unsigned block = firstBlock;
    if (numRecords > 0 && block == 0) Corrupt(name, "records counted but no data block");
    while (block != 0) {
        if (block > blocksInFile) Corrupt(name, rtl::Format("block %u lies outside the file", block));
        if (seen[block]) Corrupt(name, rtl::Format("block chain loops at block %u", block));
        seen[block] = true;
        std::size_t off = headerSize + static_cast<std::size_t>(block - 1) * static_cast<std::size_t>(s.blockSize);
        uint16_t next = r.U16(off + px::kBlockNext);
        int16_t last = static_cast<int16_t>(r.U16(off + px::kBlockLastOffset));
        std::size_t count = 0;
        if (last >= 0) {
            if (last % recordSize != 0 ||
                static_cast<std::size_t>(last) + recordSize > static_cast<std::size_t>(s.blockSize) - px::kBlockHeader)
                Corrupt(name, rtl::Format("bad record count in block %u", block));
            count = static_cast<std::size_t>(last / recordSize) + 1;
        }
        found += count;
        if (found > numRecords) Corrupt(name, "more records in the blocks than the header counts");
        for (std::size_t i = 0; i < count; ++i) {
            auto rec = std::make_shared<Record>();
            rec->data.assign(r.At(off + px::kBlockHeader + i * recordSize), recordSize);
            if (s.HasBlobs()) rec->blobs.resize(s.fields.size());
            loaded.push_back(std::move(rec));
        }
        block = next;
    }
    if (found != numRecords) Corrupt(name, rtl::Format("header counts %u records, the blocks hold %llu",
                                                        numRecords, static_cast<unsigned long long>(found)));
    for (auto& rec : loaded) {
        for (auto& f : s.fields)
            if (f.blob)
                rec->blobs[static_cast<std::size_t>(f.index)] =
                    ReadBlob(name, s, f, rec->data.data() + f.offset, mb, haveMb);
        rec->seq = t->nextSeq++;
        // A table's rows come in key order (arrival order when unkeyed): then each goes in
        // at the end with one comparison.
        t->rows.insert(t->rows.end(), rec);
    }
    return t;
}

std::unique_ptr<TableData> LoadTable(const std::string& dbPath) {
    std::string db, mb;
    if (!FileExists(dbPath))
        throw EDBEngineError(ecNoSuchTable, "Table does not exist: " + dbPath);
    if (!ReadWholeFile(dbPath, db))
        throw EDBEngineError(ecOpenFailed, "Cannot read table " + dbPath);
    std::string mbPath = FamilyPath(dbPath, "MB");
    std::string found = FileExists(mbPath) ? mbPath : std::string();
    if (found.empty()) {
        auto slash = dbPath.find_last_of("/\\");
        std::string folder = slash == std::string::npos ? std::string(".") : dbPath.substr(0, slash);
        std::string base = mbPath.substr(slash == std::string::npos ? 0 : slash + 1);
        found = FindFileNoCase(folder, base);
    }
    bool haveMb = !found.empty() && ReadWholeFile(found, mb);
    auto t = ParseTable(dbPath, db, mb, haveMb);
    t->dbPath = dbPath;
    return t;
}

// ---------------------------------------------------------------- writing

namespace {

// The size byte of a field descriptor: the width in the record, but a BCD field's decimals.
int DescriptorSize(const FieldInfo& f) { return f.code == fcBCD ? f.def.Size : f.width; }

struct HeaderFields {
    uint8_t fileType;
    uint32_t numRecords;
    unsigned blocks;
    unsigned firstBlock, lastBlock;
    unsigned indexRoot = 0, indexLevels = 0;
    int keyFields;
    std::vector<std::pair<uint8_t, int>> fieldInfo;   // type, width
    std::vector<std::string> fieldNames;              // tables only
    std::string tableName;
    int recordSize;
};

std::string BuildHeader(const Schema& s, const HeaderFields& hf) {
    int version = s.fileVersion ? s.fileVersion : px::FileVersionForLevel(s.level);
    Layout lay = LayoutFor(version, hf.fileType);
    std::size_t n = hf.fieldInfo.size();
    std::string tail;
    for (auto& [code, width] : hf.fieldInfo) {
        tail += static_cast<char>(code);
        tail += static_cast<char>(width);
    }
    tail.append(4, '\0');   // table name pointer (run-time only)
    bool isTable = hf.fileType != px::ftPrimaryIndex;
    if (isTable) tail.append(4 * n, '\0');
    std::string tname = hf.tableName.substr(0, px::TableNameLength(version) - 1);
    tname.resize(px::TableNameLength(version), '\0');
    tail += tname;
    if (isTable) {
        for (auto& fn : hf.fieldNames) {
            tail += fn;
            tail += '\0';
        }
        if (version >= 5) {
            for (std::size_t i = 0; i < n; ++i) {
                tail += static_cast<char>((i + 1) & 0xFF);
                tail += static_cast<char>(((i + 1) >> 8) & 0xFF);
            }
            tail += s.sortOrder;
            tail += '\0';
        }
    }
    std::size_t need = lay.fieldInfo + tail.size();
    std::size_t headerSize = std::max<std::size_t>(2048, (need + 2047) / 2048 * 2048);
    if (headerSize > 0xF800)
        throw EDBEngineError(ecInvalidDefinition, "Table header too large: " + hf.tableName);
    std::string h(headerSize, '\0');
    Put16(h, px::kRecordSize, static_cast<uint32_t>(hf.recordSize));
    Put16(h, px::kHeaderSize, static_cast<uint32_t>(headerSize));
    h[px::kFileType] = static_cast<char>(hf.fileType);
    h[px::kMaxTableSize] = static_cast<char>(s.blockSize / 1024);
    Put32(h, px::kNumRecords, hf.numRecords);
    Put16(h, px::kNextBlock, hf.blocks);
    Put16(h, px::kFileBlocks, hf.blocks);
    Put16(h, px::kFirstBlock, hf.firstBlock);
    Put16(h, px::kLastBlock, hf.lastBlock);
    Put16(h, px::kIndexRoot, hf.indexRoot);
    h[px::kIndexLevels] = static_cast<char>(hf.indexLevels);
    Put16(h, px::kNumFields, static_cast<uint32_t>(n));
    Put16(h, px::kKeyFields, static_cast<uint32_t>(hf.keyFields));
    Put32(h, px::kEncryption, 0xFF00FF00u);   // the unused older encryption word
    h[px::kSortOrder] = static_cast<char>(SortOrderByte(s.sortOrder));
    h[px::kFileVersion] = static_cast<char>(version);
    Put16(h, px::kMaxBlocks, hf.blocks);
    if (isTable) Put32(h, px::kAutoInc, s.autoInc);
    if (lay.dataHeader) {
        Put16(h, px::kFileVerId3, 0x0100u | static_cast<uint32_t>(version));
        Put16(h, px::kFileVerId4, 0x0100u | static_cast<uint32_t>(version));
        Put32(h, px::kUpdateTime, static_cast<uint32_t>(std::time(nullptr)));
        Put16(h, px::kHiFieldId, static_cast<uint32_t>(n + 1));
        Put16(h, px::kCodePage, s.codePage);
    }
    std::memcpy(&h[lay.fieldInfo], tail.data(), tail.size());
    return h;
}

// One block image: header + records.
void AppendBlock(std::string& out, int blockSize, unsigned next, unsigned prev,
                 const std::vector<const std::string*>& recs, int recordSize) {
    std::size_t start = out.size();
    out.append(static_cast<std::size_t>(blockSize), '\0');
    Put16(out, start + px::kBlockNext, next);
    Put16(out, start + px::kBlockPrev, prev);
    int last = recs.empty() ? -recordSize : static_cast<int>(recs.size() - 1) * recordSize;
    Put16(out, start + px::kBlockLastOffset, static_cast<uint16_t>(static_cast<int16_t>(last)));
    std::size_t p = start + px::kBlockHeader;
    for (auto* r : recs) {
        std::memcpy(&out[p], r->data(), r->size());
        p += r->size();
    }
}

}  // namespace

int KeyWidth(const Schema& s) {
    int w = 0;
    for (int i = 0; i < s.keyFields; ++i) w += s.fields[static_cast<std::size_t>(i)].width;
    return w;
}

// The .PX image of a keyed table whose data blocks begin with the key bytes at
// keys + i * KeyWidth(s) and hold counts[i] records: one level-1 entry per data block, higher
// levels until one block holds them all.
std::string BuildPrimaryIndex(const Schema& s, const std::string& name, const char* keys, const unsigned* counts,
                              std::size_t n) {
    const std::size_t keyWidth = static_cast<std::size_t>(KeyWidth(s));
    const std::size_t entrySize = keyWidth + 6;
    const std::size_t perIndexBlock = (static_cast<std::size_t>(s.blockSize) - px::kBlockHeader) / entrySize;
    // Levels are built bottom-up; blocks are numbered top-down, so the root is block 1
    // and the level-1 blocks come last. An entry's child is an index into the level below;
    // its key is the first key of the data blocks under it.
    struct Entry { const char* key; std::size_t child; unsigned count; };
    std::vector<std::vector<Entry>> levels;   // [level][entry]; level l's block k holds entries [k * per, ...)
    {
        std::vector<Entry> level(n);
        for (std::size_t b = 0; b < n; ++b) level[b] = Entry{keys + b * keyWidth, b, counts[b]};
        while (!level.empty()) {
            std::vector<Entry> upper;
            upper.reserve((level.size() + perIndexBlock - 1) / perIndexBlock);
            for (std::size_t i = 0; i < level.size(); i += perIndexBlock) {
                const std::size_t end = std::min(level.size(), i + perIndexBlock);
                unsigned sum = 0;
                for (std::size_t k = i; k < end; ++k) sum += level[k].count;
                upper.push_back(Entry{level[i].key, i / perIndexBlock, sum});
            }
            levels.push_back(std::move(level));
            if (upper.size() == 1) break;
            level = std::move(upper);
        }
    }
    auto blocksOf = [&](std::size_t l) { return (levels[l].size() + perIndexBlock - 1) / perIndexBlock; };
    // First block number of each level (top level first in the file).
    std::vector<unsigned> firstOfLevel(levels.size());
    std::size_t totalBlocks = 0;
    uint32_t totalEntries = 0;
    for (std::size_t l = levels.size(); l-- > 0;) {
        firstOfLevel[l] = static_cast<unsigned>(totalBlocks + 1);
        totalBlocks += blocksOf(l);
        totalEntries += static_cast<uint32_t>(levels[l].size());
    }
    if (totalBlocks > 0xFFFF) throw EDBEngineError(ecValueTooLong, "Primary index too large: " + name);
    HeaderFields ih;
    ih.fileType = px::ftPrimaryIndex;
    ih.numRecords = totalEntries;
    ih.blocks = static_cast<unsigned>(totalBlocks);
    ih.firstBlock = totalBlocks ? 1 : 0;
    ih.lastBlock = static_cast<unsigned>(totalBlocks);
    ih.indexRoot = totalBlocks ? 1 : 0;
    ih.indexLevels = levels.empty() ? 1 : static_cast<unsigned>(levels.size());
    ih.keyFields = s.keyFields;
    for (int i = 0; i < s.keyFields; ++i)
        ih.fieldInfo.emplace_back(s.fields[static_cast<std::size_t>(i)].code, DescriptorSize(s.fields[static_cast<std::size_t>(i)]));
    ih.tableName = FamilyPath(name, "PX");
    auto slash = ih.tableName.find_last_of("/\\");
    if (slash != std::string::npos) ih.tableName = ih.tableName.substr(slash + 1);
    ih.recordSize = static_cast<int>(entrySize);
    std::string px = BuildHeader(s, ih);
    const std::size_t bs = static_cast<std::size_t>(s.blockSize);
    std::size_t at = px.size();
    px.resize(at + totalBlocks * bs, '\0');
    std::size_t b = 0;   // block number in the file, from 0
    for (std::size_t l = levels.size(); l-- > 0;) {
        const std::vector<Entry>& level = levels[l];
        for (std::size_t i = 0; i < level.size(); i += perIndexBlock, ++b, at += bs) {
            const std::size_t end = std::min(level.size(), i + perIndexBlock);
            Put16(px, at + px::kBlockNext, b + 1 < totalBlocks ? static_cast<unsigned>(b + 2) : 0);
            Put16(px, at + px::kBlockPrev, static_cast<unsigned>(b));
            Put16(px, at + px::kBlockLastOffset, static_cast<uint16_t>(static_cast<int16_t>((end - i - 1) * entrySize)));
            char* e = &px[at + px::kBlockHeader];
            for (std::size_t k = i; k < end; ++k, e += entrySize) {
                const Entry& en = level[k];
                const unsigned target = l == 0 ? static_cast<unsigned>(en.child + 1)
                                               : firstOfLevel[l - 1] + static_cast<unsigned>(en.child);
                std::memcpy(e, en.key, keyWidth);
                PutShortBE(e + keyWidth, static_cast<int>(target));
                PutShortBE(e + keyWidth + 2, static_cast<int>(std::min(en.count, 32767u)));
                PutShortBE(e + keyWidth + 4, 0);
            }
        }
    }
    return px;
}

std::string BuildPrimaryIndex(const Schema& s, const std::string& name, const std::vector<IndexBlockEntry>& entries) {
    const std::size_t keyWidth = static_cast<std::size_t>(KeyWidth(s));
    std::string keys(entries.size() * keyWidth, '\0');
    std::vector<unsigned> counts(entries.size());
    for (std::size_t b = 0; b < entries.size(); ++b) {
        entries[b].key.copy(&keys[b * keyWidth], std::min(keyWidth, entries[b].key.size()));
        counts[b] = entries[b].count;
    }
    return BuildPrimaryIndex(s, name, keys.data(), counts.data(), entries.size());
}

TableImage BuildImage(const TableData& t) {
    const Schema& s = t.schema;
    TableImage img;
    std::string name = s.tableName.empty() ? t.dbPath : s.tableName;

    // Rows in order, with their BLOB pointers filled in.
    std::vector<std::string> rows;
    rows.reserve(t.rows.size());
    bool blobs = s.HasBlobs();
    uint16_t mod = 0;
    if (blobs) {
        img.mb.assign(px::kMbChunk, '\0');
        img.mb[0] = static_cast<char>(px::mbHeader);
        Put16(img.mb, px::kMbHeaderChunks, 1);
        Put16(img.mb, px::kMbHeaderBlockSize, px::kMbChunk);
        Put16(img.mb, px::kMbHeaderSubBlockSize, px::kMbChunk);
        img.mb[px::kMbHeaderSubUnit] = 0x10;
        Put16(img.mb, px::kMbHeaderSubSlots, px::kMbSubSlots);
        Put16(img.mb, px::kMbHeaderSubThreshold, 0x0800);
    }
    for (auto& rp : t.rows) {
        std::string data = rp->data;
        for (auto& f : s.fields) {
            if (!f.blob) continue;
            const std::string& v = rp->blobs.size() > static_cast<std::size_t>(f.index)
                                       ? rp->blobs[static_cast<std::size_t>(f.index)] : std::string();
            char* p = &data[static_cast<std::size_t>(f.offset)];
            std::memset(p, 0, static_cast<std::size_t>(f.width));
            if (v.empty()) continue;
            std::memcpy(p, v.data(), std::min<std::size_t>(v.size(), static_cast<std::size_t>(f.leader)));
            std::string ptr(px::kBlobPointer, '\0');
            if (v.size() > 0xFFFFFFF0u) throw EDBEngineError(ecValueTooLong, "BLOB too large in " + name);
            Put32(ptr, 4, static_cast<uint32_t>(v.size()));
            if (v.size() > static_cast<std::size_t>(f.leader)) {
                std::size_t block = img.mb.size();
                std::size_t chunks = (px::kMbSingleHeader + v.size() + px::kMbChunk - 1) / px::kMbChunk;
                if (chunks > 0xFFFF || block + chunks * px::kMbChunk > 0xFFFFFF00u)
                    throw EDBEngineError(ecValueTooLong, "BLOB file too large for " + name);
                img.mb.append(chunks * px::kMbChunk, '\0');
                img.mb[block] = static_cast<char>(px::mbSingle);
                Put16(img.mb, block + 1, static_cast<uint32_t>(chunks));
                Put32(img.mb, block + 3, static_cast<uint32_t>(v.size()));
                if (++mod == 0) mod = 1;
                Put16(img.mb, block + 7, mod);
                std::memcpy(&img.mb[block + px::kMbSingleHeader], v.data(), v.size());
                Put32(img.mb, px::kMbHeaderModCount, mod);
                Put32(ptr, 0, static_cast<uint32_t>(block | 0xFF));
                Put16(ptr, 8, mod);
            }
            std::memcpy(p + f.leader, ptr.data(), ptr.size());
        }
        rows.push_back(std::move(data));
    }

    // Data blocks, filled in order.
    std::size_t perBlock = (static_cast<std::size_t>(s.blockSize) - px::kBlockHeader) / static_cast<std::size_t>(s.recordSize);
    std::size_t nblocks = (rows.size() + perBlock - 1) / perBlock;
    if (nblocks > 0xFFFF) throw EDBEngineError(ecValueTooLong, "Table is full: " + name);
    HeaderFields hf;
    hf.fileType = s.keyFields > 0 ? px::ftIndexedDb : px::ftNonIndexedDb;
    hf.numRecords = static_cast<uint32_t>(rows.size());
    hf.blocks = static_cast<unsigned>(nblocks);
    hf.firstBlock = nblocks ? 1 : 0;
    hf.lastBlock = static_cast<unsigned>(nblocks);
    hf.keyFields = s.keyFields;
    for (auto& f : s.fields) {
        hf.fieldInfo.emplace_back(f.code, DescriptorSize(f));
        hf.fieldNames.push_back(f.name);
    }
    hf.tableName = name;
    hf.recordSize = s.recordSize;
    img.db = BuildHeader(s, hf);
    img.db.reserve(img.db.size() + nblocks * static_cast<std::size_t>(s.blockSize));
    struct BlockEntry { const std::string* first; unsigned count; };
    std::vector<BlockEntry> entries;
    for (std::size_t b = 0; b < nblocks; ++b) {
        std::vector<const std::string*> recs;
        for (std::size_t i = b * perBlock; i < rows.size() && i < (b + 1) * perBlock; ++i) recs.push_back(&rows[i]);
        entries.push_back(BlockEntry{recs.front(), static_cast<unsigned>(recs.size())});
        AppendBlock(img.db, s.blockSize, b + 1 < nblocks ? static_cast<unsigned>(b + 2) : 0,
                    static_cast<unsigned>(b), recs, s.recordSize);
    }

    // Primary index: one level-1 entry per data block.
    if (s.keyFields > 0) {
        std::vector<IndexBlockEntry> first;
        first.reserve(entries.size());
        for (auto& e : entries) first.push_back(IndexBlockEntry{e.first->substr(0, static_cast<std::size_t>(KeyWidth(s))), e.count});
        img.px = BuildPrimaryIndex(s, name, first);
    }
    return img;
}

void CheckWritable(const TableData& t) {
    if (!t.writeRefusal.empty()) throw EDBEngineError(ecCorrupt, t.writeRefusal);
}

void SaveTable(TableData& t) {
    CheckWritable(t);
    TableImage img = BuildImage(t);
    std::vector<std::pair<std::string, const std::string*>> files;
    if (t.schema.HasBlobs()) files.emplace_back(FamilyPath(t.dbPath, "MB"), &img.mb);
    files.emplace_back(t.dbPath, &img.db);
    if (t.schema.keyFields > 0) files.emplace_back(FamilyPath(t.dbPath, "PX"), &img.px);
    // The secondary indexes are rebuilt from the new rows and put in place with them.
    const auto indexFiles = SecondaryIndexFiles(t, img.db);
    for (const auto& [path, bytes] : indexFiles) files.emplace_back(path, &bytes);
    ReplaceFiles(files);
    t.dirty = false;
    RunAfterSave(t);
}

// ---------------------------------------------------------------- creation

Schema SchemaFromSpec(const CreateSpec& spec) {
    Schema s;
    auto bad = [&](const std::string& what) -> void {
        throw EDBEngineError(ecInvalidDefinition, "Cannot create table " + spec.tableName + ": " + what);
    };
    if (spec.level != 3 && spec.level != 4 && spec.level != 5 && spec.level != 7) bad("table level must be 3, 4, 5 or 7");
    if (spec.blockSize != 1024 && spec.blockSize != 2048 && spec.blockSize != 3072 && spec.blockSize != 4096)
        bad("block size must be 1024, 2048, 3072 or 4096");
    if (spec.fields.empty()) bad("no fields");
    if (spec.fields.size() > 255) bad("more than 255 fields");
    s.level = spec.level;
    s.fileVersion = px::FileVersionForLevel(spec.level);
    s.blockSize = spec.blockSize;
    s.codePage = spec.codePage;
    s.sortOrder = spec.sortOrder.empty() ? "ascii" : spec.sortOrder;
    s.sortOrderId = SortOrderByte(s.sortOrder);
    s.tableName = TableFileName(Stem(spec.tableName));
    bool keysDone = false;
    int offset = 0;
    for (std::size_t i = 0; i < spec.fields.size(); ++i) {
        const FieldSpec& fs = spec.fields[i];
        if (fs.name.empty() || fs.name.size() > 25) bad("field name '" + fs.name + "' must have 1 to 25 characters");
        for (std::size_t j = 0; j < i; ++j)
            if (rtl::AsciiSameText(spec.fields[j].name, fs.name)) bad("field '" + fs.name + "' defined twice");
        if (fs.key) {
            if (keysDone) bad("key fields must be the first fields");
            ++s.keyFields;
        } else {
            keysDone = true;
        }
        FieldInfo f;
        f.index = static_cast<int>(i);
        f.name = fs.name;
        int minLevel = 5;
        switch (fs.type) {
        case TFieldType::String:
            if (fs.size < 1 || fs.size > 255) bad("Alpha field '" + fs.name + "' needs a size of 1 to 255");
            f.code = fcAlpha; f.width = fs.size; minLevel = 3; break;
        case TFieldType::Smallint: f.code = fcShort; minLevel = 3; break;
        case TFieldType::Integer: f.code = fcLong; break;
        case TFieldType::Boolean: f.code = fcLogical; break;
        case TFieldType::Date: f.code = fcDate; minLevel = 3; break;
        case TFieldType::Time: f.code = fcTime; break;
        case TFieldType::Float: f.code = fcNumber; minLevel = 3; break;
        case TFieldType::Currency: f.code = fcCurrency; minLevel = 3; break;
        case TFieldType::DateTime:
        case TFieldType::TimeStamp: f.code = fcTimestamp; break;
        case TFieldType::AutoInc: f.code = fcAutoInc; break;
        case TFieldType::BCD:
            if (fs.size < 0 || fs.size > 32) bad("BCD field '" + fs.name + "' needs 0 to 32 decimals");
            f.code = fcBCD; break;
        case TFieldType::Bytes:
            if (fs.size < 1 || fs.size > 255) bad("Bytes field '" + fs.name + "' needs a size of 1 to 255");
            f.code = fcBytes; f.width = fs.size; break;
        case TFieldType::Memo:
        case TFieldType::FmtMemo:
        case TFieldType::Blob:
        case TFieldType::OLE:
        case TFieldType::Graphic: {
            bool memo = fs.type == TFieldType::Memo || fs.type == TFieldType::FmtMemo;
            if (fs.size < (memo ? 1 : 0) || fs.size > kMaxBlobLeader)
                bad(rtl::Format("BLOB field '%s' needs %d to %d leading characters", fs.name.c_str(), memo ? 1 : 0,
                                kMaxBlobLeader));
            f.code = fs.type == TFieldType::Memo ? fcMemo : fs.type == TFieldType::FmtMemo ? fcFmtMemo
                   : fs.type == TFieldType::Blob ? fcBlob : fs.type == TFieldType::OLE ? fcOLE : fcGraphic;
            f.blob = true;
            f.leader = fs.size;
            f.width = fs.size + static_cast<int>(px::kBlobPointer);
            minLevel = 4;
            if (fs.key) bad("BLOB field '" + fs.name + "' cannot be a key field");
            break;
        }
        default:
            bad("field '" + fs.name + "' has no storable type");
        }
        if (const int fixed = FixedFieldWidth(f.code)) f.width = fixed;
        if (spec.level < minLevel)
            bad(rtl::Format("field '%s' needs table level %d or higher", fs.name.c_str(), minLevel));
        f.offset = offset;
        offset += f.width;
        f.def.Name = f.name;
        f.def.DataType = fs.type == TFieldType::DateTime ? TFieldType::TimeStamp : fs.type;
        f.def.Size = (fs.type == TFieldType::String || fs.type == TFieldType::Bytes || fs.type == TFieldType::BCD || f.blob)
                         ? fs.size : 0;
        f.def.Required = fs.required;
        s.fields.push_back(f);
    }
    s.recordSize = offset;
    if (static_cast<std::size_t>(offset) > static_cast<std::size_t>(s.blockSize) - px::kBlockHeader)
        bad(rtl::Format("record of %d bytes does not fit a block of %d", offset, s.blockSize));
    return s;
}

std::string CreateTable(const std::string& folder, const CreateSpec& spec) {
    InstallValidityChecks();
    InstallSecondaryIndexes();
    auto t = std::make_unique<TableData>();
    t->schema = SchemaFromSpec(spec);
    t->rows = RowSet(RecordLess{&t->schema});
    std::string file = TableFileName(Stem(spec.tableName));
    std::string existing = FindFileNoCase(folder, file);
    t->dbPath = existing.empty() ? JoinPath(folder, file) : existing;
    if (auto loaded = FindLoadedTable(t->dbPath); loaded && loaded->users > 0)
        throw EDBEngineError(ecState, "Table is in use: " + t->dbPath);
    DiscardLoadedTable(t->dbPath);
    DeleteFamily(t->dbPath);
    SaveTable(*t);
    RunOnCreate(*t, spec);
    return t->dbPath;
}


// ---------------------------------------------------------------- streaming

namespace {

// The file behind a TableReader or TableWriter: 8-bit path, positioned reads and writes.
std::unique_ptr<std::fstream> OpenStream(const std::string& path, std::ios::openmode mode) {
    auto f = std::make_unique<std::fstream>(NativePath(path), mode | std::ios::binary);
    if (!*f) return nullptr;
    return f;
}

uint64_t StreamSize(std::fstream& f) {
    f.seekg(0, std::ios::end);
    const std::streamoff n = f.tellg();
    f.seekg(0, std::ios::beg);
    return n < 0 ? 0 : static_cast<uint64_t>(n);
}

// The BLOB file read on demand, for ReadBlobFrom: the chunk that holds a block's header is
// kept, the values are read straight into their strings.
class MbFile {
public:
    MbFile(std::unique_ptr<std::fstream> f, std::string name) : f_(std::move(f)), name_(std::move(name)) {
        size_ = StreamSize(*f_);
    }
    void Need(std::size_t off, std::size_t n, const char* what) const {
        if (off > size_ || n > size_ - off) Corrupt(name_, what);
    }
    uint8_t U8(std::size_t off) const { return static_cast<uint8_t>(*At(off, 1)); }
    uint16_t U16(std::size_t off) const {
        const char* p = At(off, 2);
        return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
    }
    uint32_t U32(std::size_t off) const {
        return static_cast<uint32_t>(U16(off)) | (static_cast<uint32_t>(U16(off + 2)) << 16);
    }
    std::string Copy(std::size_t off, std::size_t n) const {
        if (n <= kMbWindow) {   // straight from the window, without zeroing a string first
            Fill(off, n);
            return std::string(chunk_.data() + (off - chunkStart_), n);
        }
        std::string out(n, '\0');
        Read(off, n, out.data());
        return out;
    }

private:
    // n bytes at off through a window of the file: BLOBs are mostly read in file order.
    const char* At(std::size_t off, std::size_t n) const {
        Need(off, n, "header truncated");
        Fill(off, n);
        return chunk_.data() + (off - chunkStart_);
    }
    void Read(std::size_t off, std::size_t n, char* out) const {
        if (n <= kMbWindow) {
            Fill(off, n);
            std::memcpy(out, chunk_.data() + (off - chunkStart_), n);
            return;
        }
        f_->clear();
        f_->seekg(static_cast<std::streamoff>(off));
        if (!f_->read(out, static_cast<std::streamsize>(n))) Corrupt(name_, "BLOB file cannot be read");
    }
    void Fill(std::size_t off, std::size_t n) const {
        if (chunkStart_ != SIZE_MAX && off >= chunkStart_ && off + n <= chunkStart_ + chunk_.size()) return;
        chunkStart_ = off / px::kMbChunk * px::kMbChunk;
        const std::size_t len = static_cast<std::size_t>(std::min<uint64_t>(2 * kMbWindow, size_ - chunkStart_));
        chunk_.resize(len);
        f_->clear();
        f_->seekg(static_cast<std::streamoff>(chunkStart_));
        if (!f_->read(chunk_.data(), static_cast<std::streamsize>(len))) Corrupt(name_, "BLOB file cannot be read");
    }
    static constexpr std::size_t kMbWindow = 128 * 1024;
    std::unique_ptr<std::fstream> f_;
    std::string name_;
    uint64_t size_ = 0;
    mutable std::string chunk_;
    mutable std::size_t chunkStart_ = SIZE_MAX;
};

constexpr std::size_t kWindowBytes = 256 * 1024;

}  // namespace

struct TableReader::Impl {
    std::string path;
    std::unique_ptr<TableData> head;
    TableFileInfo info;
    std::unique_ptr<std::fstream> db;
    std::unique_ptr<MbFile> mb;
    std::size_t blockSize = 0, recordSize = 0;
    // Data blocks [winFirst, winFirst + winCount) are in win.
    std::vector<char> win;
    unsigned winFirst = 0, winCount = 0;
    // Chain walk.
    std::vector<bool> seen;
    unsigned block = 0, next = 0;
    std::size_t count = 0, index = 0;
    uint64_t found = 0;
    bool started = false, ended = false;

    const char* Block(unsigned b) {
        if (b < winFirst || b >= winFirst + winCount) {
            const unsigned n = static_cast<unsigned>(std::min<std::size_t>(
                std::max<std::size_t>(1, kWindowBytes / blockSize), info.blocksInFile - b + 1));
            win.resize(n * blockSize);
            db->clear();
            db->seekg(static_cast<std::streamoff>(info.headerSize + static_cast<uint64_t>(b - 1) * blockSize));
            if (!db->read(win.data(), static_cast<std::streamsize>(win.size())))
                throw EDBEngineError(ecOpenFailed, "Cannot read table " + path);
            winFirst = b;
            winCount = n;
        }
        return win.data() + static_cast<std::size_t>(b - winFirst) * blockSize;
    }
    // Enters block b of the chain, checked as ParseTable checks it.
    void Enter(unsigned b) {
        const std::string& name = path;
        if (b > info.blocksInFile) Corrupt(name, rtl::Format("block %u lies outside the file", b));
        if (seen[b]) Corrupt(name, rtl::Format("block chain loops at block %u", b));
        seen[b] = true;
        const char* p = Block(b);
        auto u16 = [](const char* q) {
            return static_cast<uint16_t>(static_cast<uint8_t>(q[0]) | (static_cast<uint8_t>(q[1]) << 8));
        };
        next = u16(p + px::kBlockNext);
        const int16_t last = static_cast<int16_t>(u16(p + px::kBlockLastOffset));
        count = 0;
        if (last >= 0) {
            if (static_cast<std::size_t>(last) % recordSize != 0 ||
                static_cast<std::size_t>(last) + recordSize > blockSize - px::kBlockHeader)
                Corrupt(name, rtl::Format("bad record count in block %u", b));
            count = static_cast<std::size_t>(last) / recordSize + 1;
        }
        found += count;
        if (found > info.numRecords) Corrupt(name, "more records in the blocks than the header counts");
        block = b;
        index = 0;
    }
};

TableReader::TableReader(const std::string& dbPath) : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.path = dbPath;
    if (!FileExists(dbPath)) throw EDBEngineError(ecNoSuchTable, "Table does not exist: " + dbPath);
    m.db = OpenStream(dbPath, std::ios::in);
    if (!m.db) throw EDBEngineError(ecOpenFailed, "Cannot read table " + dbPath);
    const uint64_t size = StreamSize(*m.db);
    std::string head(static_cast<std::size_t>(std::min<uint64_t>(size, px::kFixedEnd)), '\0');
    if (!m.db->read(head.data(), static_cast<std::streamsize>(head.size())))
        throw EDBEngineError(ecOpenFailed, "Cannot read table " + dbPath);
    if (head.size() >= px::kFixedEnd) {
        const std::size_t hs = static_cast<uint8_t>(head[px::kHeaderSize]) |
                               (static_cast<std::size_t>(static_cast<uint8_t>(head[px::kHeaderSize + 1])) << 8);
        if (hs > head.size() && hs <= size) {
            head.resize(hs);
            m.db->seekg(0);
            if (!m.db->read(head.data(), static_cast<std::streamsize>(hs)))
                throw EDBEngineError(ecOpenFailed, "Cannot read table " + dbPath);
        }
    }
    m.head = ParseHeader(dbPath, head, size, m.info);
    m.head->dbPath = dbPath;
    m.blockSize = static_cast<std::size_t>(m.head->schema.blockSize);
    m.recordSize = static_cast<std::size_t>(m.head->schema.recordSize);
    if (m.head->schema.HasBlobs()) {
        std::string mbPath = FamilyPath(dbPath, "MB");
        if (!FileExists(mbPath)) {
            auto slash = dbPath.find_last_of("/\\");
            std::string folder = slash == std::string::npos ? std::string(".") : dbPath.substr(0, slash);
            mbPath = FindFileNoCase(folder, mbPath.substr(slash == std::string::npos ? 0 : slash + 1));
        }
        if (!mbPath.empty())
            if (auto f = OpenStream(mbPath, std::ios::in)) m.mb = std::make_unique<MbFile>(std::move(f), dbPath + " (BLOB file)");
    }
    Rewind();
}

TableReader::~TableReader() = default;

const TableData& TableReader::header() const { return *impl_->head; }
uint32_t TableReader::RecordCount() const { return impl_->info.numRecords; }

void TableReader::Rewind() {
    Impl& m = *impl_;
    m.seen.assign(m.info.blocksInFile + 1, false);
    m.found = 0;
    m.count = m.index = 0;
    m.block = 0;
    m.next = m.info.firstBlock;
    m.started = m.ended = false;
    if (m.info.numRecords > 0 && m.info.firstBlock == 0) Corrupt(m.path, "records counted but no data block");
}

bool TableReader::Next(const char*& record, RowPos& pos) {
    Impl& m = *impl_;
    while (m.index >= m.count) {
        if (m.ended) return false;
        if (m.next == 0) {
            m.ended = true;
            if (m.found != m.info.numRecords)
                Corrupt(m.path, rtl::Format("header counts %u records, the blocks hold %llu", m.info.numRecords,
                                            static_cast<unsigned long long>(m.found)));
            return false;
        }
        m.Enter(m.next);
    }
    record = m.Block(m.block) + px::kBlockHeader + m.index * m.recordSize;
    pos = (static_cast<RowPos>(m.block) << 16) | static_cast<RowPos>(m.index);
    ++m.index;
    return true;
}

const char* TableReader::At(RowPos pos) {
    Impl& m = *impl_;
    return m.Block(pos >> 16) + px::kBlockHeader + (pos & 0xFFFFu) * m.recordSize;
}

std::string TableReader::Blob(const FieldInfo& f, const char* record) {
    return ReadBlobFrom(impl_->path, f, record + f.offset, impl_->mb.get());
}

void TableReader::ExpectLayout(const Schema& s) const {
    const Schema& now = impl_->head->schema;
    bool same = now.recordSize == s.recordSize && now.keyFields == s.keyFields && now.fields.size() == s.fields.size();
    for (std::size_t i = 0; same && i < s.fields.size(); ++i) {
        const FieldInfo &a = now.fields[i], &b = s.fields[i];
        same = a.code == b.code && a.offset == b.offset && a.width == b.width && a.leader == b.leader;
    }
    if (!same) Corrupt(impl_->path, "the table's structure changed since it was opened");
}

bool TableReader::CheckAll() {
    Rewind();
    const Schema& s = impl_->head->schema;
    const char* rec = nullptr;
    RowPos pos = 0;
    std::vector<const FieldInfo*> blobs;
    for (const FieldInfo& f : s.fields)
        if (f.blob) blobs.push_back(&f);
    // The previous row's key fields (they lead the record), to see whether the keys ascend.
    const std::size_t keyWidth = static_cast<std::size_t>(KeyWidth(s));
    std::string previous(static_cast<std::size_t>(s.recordSize), '\0');
    bool inOrder = true, first = true;
    while (Next(rec, pos)) {
        for (const FieldInfo* f : blobs) ReadBlobFrom(impl_->path, *f, rec + f->offset, impl_->mb.get(), false);
        if (keyWidth > 0 && inOrder) {
            if (!first && CompareKeyBytes(s, previous.data(), rec) > 0) inOrder = false;
            std::memcpy(previous.data(), rec, keyWidth);
            first = false;
        }
    }
    Rewind();
    return inOrder;
}

namespace {
// An output file written in large pieces through a buffer of fixed size; a piece as large as
// the buffer goes to the file directly. Claim lets a caller build a piece in the buffer itself
// (a data block), saving a copy; nothing else may be written before the piece is complete.
struct OutFile {
    static constexpr std::size_t kBuffer = kWindowBytes * 4;
    std::unique_ptr<std::fstream> f;
    std::unique_ptr<char[]> buf;
    std::size_t used = 0;
    // Room for n bytes (n <= kBuffer) at the end of what is written, not yet set.
    char* Claim(std::size_t n) {
        if (used + n > kBuffer) Flush();
        if (!buf) buf.reset(new char[kBuffer]);
        char* p = buf.get() + used;
        used += n;
        return p;
    }
    void Write(const char* p, std::size_t n) {
        if (n >= kBuffer) {
            Flush();
            f->write(p, static_cast<std::streamsize>(n));
            return;
        }
        if (n > 0) std::memcpy(Claim(n), p, n);
    }
    void Zeros(std::size_t n) {
        for (std::size_t k; n > 0; n -= k) {
            k = std::min(n, kBuffer);
            std::memset(Claim(k), 0, k);
        }
    }
    void Flush() {
        if (used > 0) f->write(buf.get(), static_cast<std::streamsize>(used));
        used = 0;
    }
    bool Close() {
        Flush();
        const bool ok = f->flush().good();
        f->close();
        return ok && !f->fail();
    }
};
}  // namespace

struct TableWriter::Impl {
    Schema s;
    std::string name;
    uint32_t rows = 0, added = 0;
    std::size_t perBlock = 0, nblocks = 0;
    std::string header;
    OutFile db, mb;
    char* block = nullptr;       // the data block being filled, in db's buffer
    std::size_t inBlock = 0, blockNo = 0;
    std::size_t keyWidth = 0;
    std::string firstKeys;           // the first key of every data block
    std::vector<unsigned> counts;    // and its record count
    uint64_t mbSize = 0;
    uint16_t mod = 0;
    std::string chunk;           // one BLOB block being written

    // Completes the block: its header, and zeros after its last row.
    void FlushBlock() {
        if (inBlock == 0) return;
        auto put16 = [this](std::size_t off, unsigned v) {
            block[off] = static_cast<char>(v & 0xFF);
            block[off + 1] = static_cast<char>((v >> 8) & 0xFF);
        };
        const std::size_t rs = static_cast<std::size_t>(s.recordSize), bs = static_cast<std::size_t>(s.blockSize);
        put16(px::kBlockNext, blockNo + 1 < nblocks ? static_cast<unsigned>(blockNo + 2) : 0);
        put16(px::kBlockPrev, static_cast<unsigned>(blockNo));
        put16(px::kBlockLastOffset, static_cast<uint16_t>(static_cast<int16_t>((inBlock - 1) * rs)));
        const std::size_t end = px::kBlockHeader + inBlock * rs;
        std::memset(block + end, 0, bs - end);
        block = nullptr;
        inBlock = 0;
        ++blockNo;
    }
};

TableWriter::TableWriter(const Schema& s, const std::string& name, uint32_t rowCount)
    : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.s = s;
    m.name = name;
    m.rows = rowCount;
    m.perBlock = (static_cast<std::size_t>(s.blockSize) - px::kBlockHeader) / static_cast<std::size_t>(s.recordSize);
    m.nblocks = (rowCount + m.perBlock - 1) / m.perBlock;
    if (m.nblocks > 0xFFFF) throw EDBEngineError(ecValueTooLong, "Table is full: " + name);
    m.keyWidth = static_cast<std::size_t>(KeyWidth(s));
    m.firstKeys.reserve(m.nblocks * m.keyWidth);
    m.counts.reserve(m.nblocks);
    HeaderFields hf;
    hf.fileType = s.keyFields > 0 ? px::ftIndexedDb : px::ftNonIndexedDb;
    hf.numRecords = rowCount;
    hf.blocks = static_cast<unsigned>(m.nblocks);
    hf.firstBlock = m.nblocks ? 1 : 0;
    hf.lastBlock = static_cast<unsigned>(m.nblocks);
    hf.keyFields = s.keyFields;
    for (auto& f : s.fields) {
        hf.fieldInfo.emplace_back(f.code, DescriptorSize(f));
        hf.fieldNames.push_back(f.name);
    }
    hf.tableName = name;
    hf.recordSize = s.recordSize;
    m.header = BuildHeader(s, hf);
}

TableWriter::~TableWriter() = default;

std::string& TableWriter::Header() { return impl_->header; }

void TableWriter::Start(const std::string& dbFile, const std::string& mbFile) {
    Impl& m = *impl_;
    auto open = [](const std::string& path) {
        rtl::BeforeFileStep("create", path);   // the crash tests' hook (fileio.h)
        auto f = OpenStream(path, std::ios::out | std::ios::trunc);
        rtl::AfterFileStep();
        if (!f) throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot write file %s", path.c_str()));
        return f;
    };
    m.db.f = open(dbFile);
    m.db.Write(m.header.data(), m.header.size());
    if (!mbFile.empty()) {
        m.mb.f = open(mbFile);
        std::string h(px::kMbChunk, '\0');
        h[0] = static_cast<char>(px::mbHeader);
        Put16(h, px::kMbHeaderChunks, 1);
        Put16(h, px::kMbHeaderBlockSize, px::kMbChunk);
        Put16(h, px::kMbHeaderSubBlockSize, px::kMbChunk);
        h[px::kMbHeaderSubUnit] = 0x10;
        Put16(h, px::kMbHeaderSubSlots, px::kMbSubSlots);
        Put16(h, px::kMbHeaderSubThreshold, 0x0800);
        m.mb.Write(h.data(), h.size());
        m.mbSize = px::kMbChunk;
    }
}

// Each row as BuildImage lays it out: BLOB fields get their leading bytes and a pointer to a
// single-blob block appended to the .MB.
void TableWriter::Add(const Record& r) { AddRow(r.data.data(), &r.blobs); }

void TableWriter::AddRow(const char* data, const std::vector<std::string>* blobs) {
    Impl& m = *impl_;
    if (m.added >= m.rows) throw EDBEngineError(ecState, "More rows than announced for " + m.name);
    ++m.added;
    const std::size_t rs = static_cast<std::size_t>(m.s.recordSize);
    if (m.inBlock == 0) m.block = m.db.Claim(static_cast<std::size_t>(m.s.blockSize));
    char* out = m.block + px::kBlockHeader + m.inBlock * rs;
    std::memcpy(out, data, rs);
    if (m.inBlock == 0) {
        m.firstKeys.append(data, m.keyWidth);
        m.counts.push_back(0);
    }
    for (auto& f : m.s.fields) {
        if (!f.blob) continue;
        static const std::string kNone;
        const std::string& v = blobs && blobs->size() > static_cast<std::size_t>(f.index) ? (*blobs)[static_cast<std::size_t>(f.index)] : kNone;
        char* p = out + f.offset;
        std::memset(p, 0, static_cast<std::size_t>(f.width));
        if (v.empty()) continue;
        std::memcpy(p, v.data(), std::min<std::size_t>(v.size(), static_cast<std::size_t>(f.leader)));
        std::string ptr(px::kBlobPointer, '\0');
        if (v.size() > 0xFFFFFFF0u) throw EDBEngineError(ecValueTooLong, "BLOB too large in " + m.name);
        Put32(ptr, 4, static_cast<uint32_t>(v.size()));
        if (v.size() > static_cast<std::size_t>(f.leader)) {
            const uint64_t blockOff = m.mbSize;
            const std::size_t chunks = (px::kMbSingleHeader + v.size() + px::kMbChunk - 1) / px::kMbChunk;
            if (chunks > 0xFFFF || blockOff + chunks * px::kMbChunk > 0xFFFFFF00u)
                throw EDBEngineError(ecValueTooLong, "BLOB file too large for " + m.name);
            if (!m.mb.f) throw EDBEngineError(ecState, "No BLOB file for " + m.name);
            if (++m.mod == 0) m.mod = 1;
            std::string& c = m.chunk;
            c.assign(px::kMbSingleHeader, '\0');
            c[0] = static_cast<char>(px::mbSingle);
            Put16(c, 1, static_cast<uint32_t>(chunks));
            Put32(c, 3, static_cast<uint32_t>(v.size()));
            Put16(c, 7, m.mod);
            m.mb.Write(c.data(), c.size());
            m.mb.Write(v.data(), v.size());
            const std::size_t pad = chunks * px::kMbChunk - px::kMbSingleHeader - v.size();
            m.mb.Zeros(pad);
            m.mbSize += chunks * px::kMbChunk;
            Put32(ptr, 0, static_cast<uint32_t>(blockOff | 0xFF));
            Put16(ptr, 8, m.mod);
        }
        std::memcpy(p + f.leader, ptr.data(), ptr.size());
    }
    ++m.counts.back();
    if (++m.inBlock == m.perBlock) m.FlushBlock();
}

std::string TableWriter::Finish() {
    Impl& m = *impl_;
    if (m.added != m.rows) throw EDBEngineError(ecState, "Fewer rows than announced for " + m.name);
    m.FlushBlock();
    bool ok = m.db.f && m.db.Close();
    if (m.mb.f) {
        m.mb.Flush();
        if (m.mod != 0) {
            std::string mc(4, '\0');
            Put32(mc, 0, m.mod);
            m.mb.f->seekp(static_cast<std::streamoff>(px::kMbHeaderModCount));
            m.mb.f->write(mc.data(), 4);
        }
        ok = m.mb.Close() && ok;
    }
    if (!ok) throw EDBEngineError(ecOpenFailed, "Cannot write the files of " + m.name);
    return m.s.keyFields > 0 ? BuildPrimaryIndex(m.s, m.name, m.firstKeys.data(), m.counts.data(), m.counts.size())
                             : std::string();
}

}  // namespace dbe::detail
