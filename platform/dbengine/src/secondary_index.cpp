// Maintained secondary indexes (see secondary_index.h). The .XGn file is built as a keyed
// index table through the table writer and then given its index identity in the header:
//   0x04 file type 8 (.XGn) / 7 (.YGn)     0x15 number of the indexed table field
//   after the sort order name: the index name, zero-terminated (.XGn only)
// The field-number array after the field names lists the table's field numbers of the
// index fields (indexed field, then the key fields); Hint keeps its own position.
// Cross-checked with pxlib: the .XGn / .YGn pair reads as a table with its primary index
// once the file-type bytes are set to those of a table (tests/dbengine2/pxlib_index_check.c).
// Inferred: the identity bytes (file types 8 / 7 and 6, the field number at 0x15, the
// field-number array and the index name after the sort order name), the Hint field, and the
// key order, which follows our inference of the sort order (CollationWeight in tablefile.cpp).
#include "secondary_index.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <mutex>

#include "fileio.h"
#include "px_format.h"
#include "rtl/strutil.h"
#include "table_hooks.h"
#include "tablestream.h"
#include "val_checks.h"

namespace dbe::detail {

namespace {

const char* const kExtension = "secondary-indexes";
constexpr uint8_t kFileTypeXG = 8;
constexpr uint8_t kFileTypeYG = 7;
constexpr uint8_t kFileTypeXGNonIncrementing = 6;
constexpr int kMaxSlots = 16;

struct IndexState {
    std::vector<SecondaryIndexDef> defs;
};

std::shared_ptr<IndexState> StateOf(const TableData& t) {
    auto it = t.extensions.find(kExtension);
    if (it == t.extensions.end()) return nullptr;
    return std::static_pointer_cast<IndexState>(it->second);
}

unsigned U16(const std::string& b, size_t off) {
    return static_cast<unsigned char>(b[off]) | (static_cast<unsigned char>(b[off + 1]) << 8);
}
void PutU16(std::string& b, size_t off, unsigned v) {
    b[off] = char(v & 0xFF);
    b[off + 1] = char((v >> 8) & 0xFF);
}

std::string FolderOf(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? std::string("./") : path.substr(0, p + 1);
}
std::string StemOf(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    std::string s = p == std::string::npos ? path : path.substr(p + 1);
    size_t dot = s.find_last_of('.');
    return dot == std::string::npos ? s : s.substr(0, dot);
}
char SlotChar(int slot) { return "0123456789ABCDEF"[slot & 15]; }

// The family file of the table with this extension, reusing the letter case of an existing one.
std::string FamilyFile(const std::string& dbPath, const std::string& ext) {
    const std::string folder = FolderOf(dbPath);
    const std::string want = StemOf(dbPath) + ext;
    std::string found = FindFileNoCase(folder, want);
    return found.empty() ? JoinPath(folder, want) : found;
}
std::string XgExt(int slot) { return std::string(".XG") + SlotChar(slot); }
std::string YgExt(int slot) { return std::string(".YG") + SlotChar(slot); }

// Offset of the field names in a table-style header with n fields.
size_t FieldNamesOffset(int fileVersion, size_t n) {
    return px::kDataHeaderEnd + 2 * n + 4 + 4 * n + px::TableNameLength(fileVersion);
}

void RemoveIndexFiles(const std::string& dbPath, int fromSlot) {
    const std::string folder = FolderOf(dbPath);
    const std::vector<std::string> names = ListFiles(folder);
    for (int s = fromSlot; s < kMaxSlots; ++s) {
        for (const std::string& ext : {XgExt(s), YgExt(s)}) {
            const std::string found = FindNameNoCase(names, StemOf(dbPath) + ext);
            if (found.empty()) continue;
            RemoveFile(JoinPath(folder, found));
        }
    }
}

void WriteIndexes(TableData& t, const std::vector<SecondaryIndexDef>& defs, const std::vector<uint16_t>& hints) {
    for (const SecondaryIndexDef& d : defs) {
        TableImage img = BuildSecondaryIndex(t, d, hints);
        ReplaceFiles({{FamilyFile(t.dbPath, XgExt(d.slot)), &img.db}, {FamilyFile(t.dbPath, YgExt(d.slot)), &img.px}});
    }
}

// The rules of an index definition beyond its single field, which must be the table's field
// `field`: at creation, and when a definition is read back from its file (one that breaks
// them is damage). EDBEngineError (ecInvalidDefinition) for the first rule broken.
void CheckIndexDef(const TableData& t, const std::string& name, int field, const std::vector<SecondaryIndexDef>& before) {
    const std::string table = StemOf(t.dbPath);
    if (t.schema.keyFields == 0)
        throw EDBEngineError(ecInvalidDefinition,
                             rtl::Format("Index '%s': table '%s' has no primary key", name.c_str(), table.c_str()));
    if (before.size() >= size_t(kMaxSlots))
        throw EDBEngineError(ecInvalidDefinition, "Too many secondary indexes for table '" + table + "'");
    if (field < 0 || size_t(field) >= t.schema.fields.size())
        throw EDBEngineError(ecInvalidDefinition,
                             rtl::Format("Index '%s' of table '%s': no field number %d", name.c_str(), table.c_str(),
                                         field + 1));
    if (t.schema.fields[size_t(field)].blob)
        throw EDBEngineError(ecInvalidDefinition,
                             rtl::Format("Index '%s' of table '%s': a BLOB field cannot be indexed", name.c_str(),
                                         table.c_str()));
    if (name.empty() || name.size() > 31)
        throw EDBEngineError(ecInvalidDefinition, "Bad index name '" + name + "' for table '" + table + "'");
    for (const SecondaryIndexDef& d : before)
        if (rtl::AsciiSameText(d.name, name))
            throw EDBEngineError(ecInvalidDefinition, "Index '" + name + "' defined twice for table '" + table + "'");
}

void OnCreate(TableData& t, const CreateSpec& spec) {
    auto st = std::make_shared<IndexState>();
    const std::string table = StemOf(t.dbPath);
    for (const IndexSpec& is : spec.indexes) {
        if (is.fields.size() != 1)
            throw EDBEngineError(ecInvalidDefinition,
                                 rtl::Format("Index '%s' of table '%s': only single-field indexes are supported",
                                             is.name.c_str(), table.c_str()));
        int f = t.schema.FindField(is.fields[0]);
        if (f < 0 && t.schema.keyFields > 0)
            throw EDBEngineError(ecInvalidDefinition,
                                 rtl::Format("Index '%s' of table '%s': no field '%s'", is.name.c_str(), table.c_str(),
                                             is.fields[0].c_str()));
        CheckIndexDef(t, is.name, f, st->defs);
        st->defs.push_back({is.name, f, int(st->defs.size())});
    }
    RemoveIndexFiles(t.dbPath, int(st->defs.size()));
    if (st->defs.empty()) {
        t.extensions.erase(kExtension);
        return;
    }
    t.extensions[kExtension] = st;
    RebuildSecondaryIndexes(t);
}

// Reads the index definition of one .XGn file; false and the reason when it does not parse
// or breaks a rule that creating it would apply (before: the definitions read so far).
bool ReadIndexDef(const TableData& t, const std::string& path, int slot, const std::vector<SecondaryIndexDef>& before,
                  SecondaryIndexDef& def, std::string& error) {
    std::ifstream in(NativePath(path), std::ios::binary);
    std::string head(4, '\0');
    if (!in.read(&head[0], 4)) return error = "truncated header", false;
    size_t headerSize = U16(head, px::kHeaderSize);
    if (headerSize < px::kDataHeaderEnd || headerSize > 0x10000) return error = "bad header size", false;
    head.resize(headerSize);
    in.read(&head[4], std::streamsize(headerSize - 4));
    if (in.gcount() != std::streamsize(headerSize - 4)) return error = "truncated header", false;
    std::string name, fieldName;
    int fieldNo = 0;
    if (!ParseIndexHeader(head, name, fieldName, fieldNo, error)) return false;
    int f = -1;
    if (fieldNo >= 1 && size_t(fieldNo) <= t.schema.fields.size() &&
        rtl::AsciiSameText(t.schema.fields[size_t(fieldNo - 1)].name, fieldName))
        f = fieldNo - 1;
    if (f < 0) f = t.schema.FindField(fieldName);
    if (f < 0 && fieldNo >= 1 && size_t(fieldNo) <= t.schema.fields.size()) f = fieldNo - 1;
    if (f < 0) return error = "refers to an unknown field '" + fieldName + "'", false;
    try {
        CheckIndexDef(t, name, f, before);
    } catch (const EDBEngineError& e) {
        return error = e.Message(), false;
    }
    // One indexed field, the table's key fields and Hint, as creation lays it out.
    if (U16(head, px::kNumFields) != unsigned(t.schema.keyFields) + 2u)
        return error = "its fields do not match the table's key", false;
    def = {name, f, slot};
    return true;
}

void OnOpen(TableData& t) {
    t.extensions.erase(kExtension);
    auto st = std::make_shared<IndexState>();
    const std::string folder = FolderOf(t.dbPath);
    const std::vector<std::string> names = ListFiles(folder);   // once for all the slots
    for (int s = 0; s < kMaxSlots; ++s) {
        const std::string found = FindNameNoCase(names, StemOf(t.dbPath) + XgExt(s));
        if (found.empty()) continue;
        const std::string path = JoinPath(folder, found);
        SecondaryIndexDef def;
        std::string error;
        if (ReadIndexDef(t, path, s, st->defs, def, error)) {
            st->defs.push_back(def);
        } else if (t.writeRefusal.empty()) {
            // The table stays readable (its rows do not depend on the index), but a change
            // would leave an index behind that this engine cannot rebuild.
            t.writeRefusal =
                "Index file '" + path + "' is damaged (" + error + "): table '" + t.dbPath + "' cannot be changed";
        }
    }
    if (!st->defs.empty()) t.extensions[kExtension] = st;
}

}  // namespace

void InstallSecondaryIndexes() {
    static std::once_flag once;
    std::call_once(once, [] {
        TableHooks h;
        h.OnOpen = OnOpen;
        // A definition whose indexes cannot be stored leaves no table behind.
        h.OnCreate = CreateStepRemovingFamilyOnFailure(OnCreate);
        RegisterTableHooks(std::move(h));
    });
}

std::vector<SecondaryIndexDef> SecondaryIndexesOf(const TableData& t) {
    auto st = StateOf(t);
    return st ? st->defs : std::vector<SecondaryIndexDef>();
}

bool ParseIndexHeader(const std::string& b, std::string& indexName, std::string& fieldName, int& tableFieldNo,
                      std::string& error) {
    auto fail = [&](const char* what) {
        error = what;
        return false;
    };
    if (b.size() < px::kDataHeaderEnd) return fail("truncated header");
    unsigned type = static_cast<unsigned char>(b[px::kFileType]);
    if (type != kFileTypeXG && type != kFileTypeXGNonIncrementing) return fail("not a secondary index file");
    size_t n = U16(b, px::kNumFields);
    int version = static_cast<unsigned char>(b[px::kFileVersion]);
    if (n < 2 || n > 255) return fail("bad field count");
    if (version < 5) return fail("unsupported file version");
    size_t off = FieldNamesOffset(version, n);
    if (off > b.size()) return fail("field names outside the header");
    std::vector<std::string> names;
    for (size_t i = 0; i < n; ++i) {
        const void* z = off < b.size() ? std::memchr(b.data() + off, 0, b.size() - off) : nullptr;
        if (!z) return fail("truncated field name");
        size_t len = static_cast<const char*>(z) - (b.data() + off);
        names.emplace_back(b, off, len);
        off += len + 1;
    }
    if (off > b.size() || b.size() - off < 2 * n) return fail("truncated field numbers");
    tableFieldNo = int(U16(b, off));
    off += 2 * n;
    for (int part = 0; part < 2; ++part) {  // sort order name, then the index name
        const void* z = off < b.size() ? std::memchr(b.data() + off, 0, b.size() - off) : nullptr;
        if (!z) return fail(part == 0 ? "truncated sort order name" : "truncated index name");
        size_t len = static_cast<const char*>(z) - (b.data() + off);
        if (part == 1) indexName.assign(b, off, len);
        off += len + 1;
    }
    if (indexName.empty()) return fail("no index name");
    if (tableFieldNo == 0) tableFieldNo = static_cast<unsigned char>(b[px::kIndexFieldNumber]);
    fieldName = names[0];
    return true;
}

Schema SecondaryIndexSchema(const TableData& t, const SecondaryIndexDef& def, std::vector<int>& from) {
    const Schema& ts = t.schema;
    if (def.field < 0 || size_t(def.field) >= ts.fields.size() || ts.keyFields <= 0)
        throw EDBEngineError(ecInvalidDefinition, "Secondary index '" + def.name + "' does not fit its table");
    Schema s;
    s.level = ts.level;
    s.fileVersion = ts.fileVersion;
    s.blockSize = ts.blockSize;
    s.codePage = ts.codePage;
    s.sortOrderId = ts.sortOrderId;
    s.sortOrder = ts.sortOrder;
    s.tableName = StemOf(t.dbPath) + XgExt(def.slot);
    from.clear();
    from.push_back(def.field);
    for (int k = 0; k < ts.keyFields; ++k) from.push_back(k);
    int offset = 0;
    for (int src : from) {
        FieldInfo f = ts.fields[size_t(src)];
        f.index = int(s.fields.size());
        f.offset = offset;
        offset += f.width;
        s.fields.push_back(f);
    }
    FieldInfo hint;
    hint.name = "Hint";
    hint.code = fcShort;
    hint.width = 2;
    hint.offset = offset;
    hint.index = int(s.fields.size());
    hint.def = TFieldDef{"Hint", TFieldType::Smallint, 0, false};
    s.fields.push_back(hint);
    s.recordSize = offset + 2;
    s.keyFields = int(s.fields.size()) - 1;
    return s;
}

namespace {

// Gives the index table's files their identity as an index: db is the .XGn header (or whole
// image), px the .YGn image.
void StampIndexDb(const SecondaryIndexDef& def, const Schema& s, const std::vector<int>& from, std::string& db) {
    const size_t n = s.fields.size();
    if (db.size() < px::kDataHeaderEnd)
        throw EDBEngineError(ecUnsupported, "Secondary index '" + def.name + "': unexpected image");
    const size_t headerSize = U16(db, px::kHeaderSize);
    if (headerSize > db.size()) throw EDBEngineError(ecUnsupported, "Secondary index '" + def.name + "': unexpected image");
    size_t off = FieldNamesOffset(static_cast<unsigned char>(db[px::kFileVersion]), n);
    for (const FieldInfo& f : s.fields) {
        if (off + f.name.size() + 1 > headerSize || db.compare(off, f.name.size(), f.name) != 0 ||
            db[off + f.name.size()] != '\0')
            throw EDBEngineError(ecUnsupported, "Secondary index '" + def.name + "': unexpected header layout");
        off += f.name.size() + 1;
    }
    if (off + 2 * n > headerSize)
        throw EDBEngineError(ecUnsupported, "Secondary index '" + def.name + "': header full");
    for (size_t k = 0; k + 1 < n; ++k) PutU16(db, off + 2 * k, unsigned(from[k] + 1));
    off += 2 * n;
    const void* z = std::memchr(db.data() + off, 0, headerSize - off);
    if (!z) throw EDBEngineError(ecUnsupported, "Secondary index '" + def.name + "': unexpected header layout");
    off = size_t(static_cast<const char*>(z) - db.data()) + 1;
    if (off + def.name.size() + 1 > headerSize)
        throw EDBEngineError(ecUnsupported, "Secondary index '" + def.name + "': header full");
    std::memcpy(&db[off], def.name.c_str(), def.name.size() + 1);
    db[px::kFileType] = char(kFileTypeXG);
    db[px::kIndexFieldNumber] = char(def.field + 1);
}

void StampIndexPx(const TableData& t, const SecondaryIndexDef& def, std::string& px) {
    if (px.size() < px::kFixedEnd)
        throw EDBEngineError(ecUnsupported, "Secondary index '" + def.name + "': unexpected image");
    px[px::kFileType] = char(kFileTypeYG);
    // The .YGn header names itself, not the table's primary index.
    const size_t pxName = px::kFixedEnd + 2 * size_t(U16(px, px::kNumFields)) + 4;
    const size_t nameLen = px::TableNameLength(static_cast<unsigned char>(px[px::kFileVersion]));
    const std::string stem = StemOf(t.dbPath);
    if (pxName + nameLen <= px.size() && px.compare(pxName, stem.size(), stem) == 0) {
        std::string yname = stem + YgExt(def.slot);
        yname.resize(nameLen, '\0');
        px.replace(pxName, nameLen, yname);
    }
}

}  // namespace

TableImage BuildSecondaryIndex(const TableData& t, const SecondaryIndexDef& def, const std::vector<uint16_t>& hints) {
    std::vector<int> from;
    Schema layout = SecondaryIndexSchema(t, def, from);
    if (hints.size() != t.rows.size())
        throw EDBEngineError(ecCorrupt, "Table '" + t.dbPath + "': block chain does not match its rows");
    const Schema& ts = t.schema;
    TableData x;
    x.dbPath = FamilyFile(t.dbPath, XgExt(def.slot));
    x.schema = layout;
    const Schema& s = x.schema;

    size_t i = 0;
    for (const RecordPtr& r : t.rows) {
        auto rec = std::make_shared<Record>();
        rec->data.reserve(size_t(s.recordSize));
        for (int src : from) {
            const FieldInfo& f = ts.fields[size_t(src)];
            rec->data.append(r->data, size_t(f.offset), size_t(f.width));
        }
        const unsigned h = hints[i++] ^ 0x8000u;
        rec->data.push_back(char((h >> 8) & 0xFF));
        rec->data.push_back(char(h & 0xFF));
        rec->blobs.resize(s.fields.size());
        x.InsertRow(std::move(rec));
    }
    TableImage img = BuildImage(x);
    if (img.px.size() < px::kFixedEnd)
        throw EDBEngineError(ecUnsupported, "Secondary index '" + def.name + "': unexpected image");
    StampIndexDb(def, s, from, img.db);
    StampIndexPx(t, def, img.px);
    return img;
}

void WriteSecondaryIndex(const TableData& t, const SecondaryIndexDef& def, uint32_t n,
                         const std::function<const char*(uint32_t)>& value,
                         const std::function<void(uint32_t, char*)>& record, const std::string& tablePath) {
    std::vector<int> from;
    const Schema s = SecondaryIndexSchema(t, def, from);
    // The records come in the table's key order, and the table's key follows the indexed
    // value in an index key: a stable sort by the value alone gives the index order. The
    // values are sorted by their sort-key prefixes, the full comparison only on a tie.
    Schema byValue = s;
    byValue.keyFields = 1;
    const FieldInfo& field = s.fields[0];
    const size_t width = size_t(field.width);
    using Entry = std::pair<uint64_t, uint32_t>;   // sort-key prefix, record
    std::vector<Entry> keys(n);
    for (uint32_t k = 0; k < n; ++k) keys[k] = {SortPrefix(s, field, value(k)), k};
    // By prefix (and arrival); then each run of equal prefixes by the full value, unless a
    // value of up to 8 bytes that sorts as its bytes is its whole prefix.
    std::sort(keys.begin(), keys.end());
    if (width > 8 || (field.code == fcAlpha && s.sortOrderId != 0x00)) {
        // The values of a run are copied side by side once, rather than fetched for every
        // comparison (value() may have to unpack them).
        std::vector<char> run;
        std::vector<uint32_t> at;
        std::vector<Entry> sorted;
        for (uint32_t i = 0, j; i < n; i = j) {
            for (j = i + 1; j < n && keys[j].first == keys[i].first;) ++j;
            if (j - i < 2) continue;
            const uint32_t m = j - i;
            run.resize(size_t(m) * width);
            at.resize(m);
            for (uint32_t r = 0; r < m; ++r) {
                std::memcpy(&run[size_t(r) * width], value(keys[i + r].second), width);
                at[r] = r;
            }
            auto less = [&](uint32_t a, uint32_t b) {
                const char* x = &run[size_t(a) * width];
                const char* y = &run[size_t(b) * width];
                return std::memcmp(x, y, width) != 0 && CompareKeyBytes(byValue, x, y) < 0;
            };
            if (std::is_sorted(at.begin(), at.end(), less)) continue;
            std::stable_sort(at.begin(), at.end(), less);
            sorted.assign(keys.begin() + i, keys.begin() + j);
            for (uint32_t r = 0; r < m; ++r) keys[i + r] = sorted[at[r]];
        }
    }
    TableWriter w(s, s.tableName, n);
    StampIndexDb(def, s, from, w.Header());
    w.Start(TempFileFor(SecondaryIndexFile(tablePath, XgExtension(def.slot))), std::string());
    std::vector<char> rec(size_t(s.recordSize));
    const size_t hintAt = size_t(s.fields.back().offset);
    const uint32_t rowsPerBlock = uint32_t((size_t(t.schema.blockSize) - px::kBlockHeader) / size_t(t.schema.recordSize));
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t row = keys[k].second;
        record(row, rec.data());
        const unsigned hint = unsigned(row / rowsPerBlock + 1) ^ 0x8000u;
        rec[hintAt] = char((hint >> 8) & 0xFF);
        rec[hintAt + 1] = char(hint & 0xFF);
        w.AddRow(rec.data(), nullptr);
    }
    std::vector<Entry>().swap(keys);
    std::string px = w.Finish();
    StampIndexPx(t, def, px);
    WriteWholeFile(TempFileFor(SecondaryIndexFile(tablePath, YgExtension(def.slot))), px);
}

namespace {

// Walks a table's block chain through `read(offset, n, out)`; one entry per row, its block.
template <class ReadFn>
std::vector<uint16_t> WalkRowBlocks(const std::string& name, ReadFn read) {
    std::string h;
    if (!read(0, px::kFixedEnd, h)) throw EDBEngineError(ecCorrupt, "Table '" + name + "': truncated header");
    const unsigned recordSize = U16(h, px::kRecordSize);
    const unsigned headerSize = U16(h, px::kHeaderSize);
    const unsigned blockSize = unsigned(static_cast<unsigned char>(h[px::kMaxTableSize])) * 1024u;
    const unsigned fileBlocks = U16(h, px::kFileBlocks);
    const uint32_t numRecords = uint32_t(U16(h, px::kNumRecords)) | (uint32_t(U16(h, px::kNumRecords + 2)) << 16);
    unsigned b = U16(h, px::kFirstBlock);
    std::vector<uint16_t> out;
    if (numRecords == 0) return out;
    if (recordSize == 0 || blockSize == 0) throw EDBEngineError(ecCorrupt, "Table '" + name + "': bad header");
    out.reserve(numRecords);
    std::vector<bool> seen(fileBlocks + 1u, false);
    std::string bs;
    while (b != 0) {
        if (b > fileBlocks || seen[b]) throw EDBEngineError(ecCorrupt, "Table '" + name + "': bad block chain");
        seen[b] = true;
        if (!read(size_t(headerSize) + size_t(b - 1) * blockSize, px::kBlockHeader, bs))
            throw EDBEngineError(ecCorrupt, "Table '" + name + "': truncated block");
        const int16_t last = int16_t(U16(bs, px::kBlockLastOffset));
        if (last >= 0) out.insert(out.end(), size_t(last) / recordSize + 1, uint16_t(b));
        if (out.size() > numRecords) break;
        b = U16(bs, px::kBlockNext);
    }
    if (out.size() != numRecords)
        throw EDBEngineError(ecCorrupt, "Table '" + name + "': record count does not match its blocks");
    return out;
}

}  // namespace

std::vector<uint16_t> ReadRowBlocks(const std::string& dbPath) {
    std::ifstream in(NativePath(dbPath), std::ios::binary);
    return WalkRowBlocks(dbPath, [&](size_t off, size_t n, std::string& out) {
        out.assign(n, '\0');
        in.clear();
        in.seekg(std::streamoff(off));
        return bool(in.read(&out[0], std::streamsize(n)));
    });
}

std::vector<uint16_t> RowBlocksOfImage(const std::string& name, const std::string& db) {
    return WalkRowBlocks(name, [&](size_t off, size_t n, std::string& out) {
        if (off > db.size() || n > db.size() - off) return false;
        out.assign(db, off, n);
        return true;
    });
}

std::vector<std::string> FamilyFilesToWrite(const Schema& s, const std::string& dbPath,
                                            const std::vector<SecondaryIndexDef>& indexes) {
    std::vector<std::string> out;
    if (s.HasBlobs()) out.push_back(FamilyPath(dbPath, "MB"));
    out.push_back(dbPath);
    if (s.keyFields > 0) out.push_back(FamilyPath(dbPath, "PX"));
    for (const SecondaryIndexDef& d : indexes) {
        out.push_back(SecondaryIndexFile(dbPath, XgExtension(d.slot)));
        out.push_back(SecondaryIndexFile(dbPath, YgExtension(d.slot)));
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> SecondaryIndexFiles(const TableData& t, const std::string& dbImage) {
    std::vector<std::pair<std::string, std::string>> out;
    auto st = StateOf(t);
    if (!st || st->defs.empty()) return out;
    const std::vector<uint16_t> hints = t.rows.empty() ? std::vector<uint16_t>() : RowBlocksOfImage(t.dbPath, dbImage);
    for (const SecondaryIndexDef& d : st->defs) {
        TableImage img = BuildSecondaryIndex(t, d, hints);
        out.emplace_back(FamilyFile(t.dbPath, XgExt(d.slot)), std::move(img.db));
        out.emplace_back(FamilyFile(t.dbPath, YgExt(d.slot)), std::move(img.px));
    }
    return out;
}

void RebuildSecondaryIndexes(TableData& t) {
    auto st = StateOf(t);
    if (!st || st->defs.empty()) return;
    std::vector<uint16_t> hints;
    if (!t.rows.empty()) hints = ReadRowBlocks(t.dbPath);
    WriteIndexes(t, st->defs, hints);
}

std::string SecondaryIndexFile(const std::string& dbPath, const std::string& ext) { return FamilyFile(dbPath, ext); }
std::string XgExtension(int slot) { return XgExt(slot); }
std::string YgExtension(int slot) { return YgExt(slot); }

}  // namespace dbe::detail
