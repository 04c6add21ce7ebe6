// Batch moves (see dbengine/batchmove.h).
//
// Append-update into an empty table that is not loaded takes the bulk path (BulkMove below):
// nothing of either table is held but the keys. Every other append goes row by row:
// it builds the destination's new row set beside the loaded one and swaps it in only
// when every row passed; the write to disk follows, and a failed write swaps the old rows
// back, so the destination never holds part of a move. Copy mode builds the new table family
// in the work folder of the destination's write, then moves the old family aside, the new one
// in, and drops the old one (FamilyWrite::CommitFamily); a failure on the way puts the old
// family back.
#include "dbengine/batchmove.h"

#include <algorithm>
#include <exception>
#include <cctype>
#include <cstring>
#include <fstream>
#include <set>

#include "bulkmove.h"
#include "fileio.h"
#include "rtl/strutil.h"
#include "secondary_index.h"
#include "tabledata.h"
#include "table_hooks.h"
#include "tablestream.h"
#include "val_checks.h"

namespace dbe {

using namespace detail;

namespace {

struct Mapping {
    std::string dest, source;
};

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::vector<Mapping> ParseMappings(const std::vector<std::string>& lines, const Schema& source) {
    std::vector<Mapping> out;
    for (const std::string& line : lines) {
        std::string l = Trim(line);
        if (l.empty()) continue;
        size_t eq = l.find('=');
        if (eq == std::string::npos)
            out.push_back({l, l});
        else
            out.push_back({Trim(l.substr(0, eq)), Trim(l.substr(eq + 1))});
    }
    if (out.empty())  // no list: every source field under its own name
        for (const FieldInfo& f : source.fields) out.push_back({f.name, f.name});
    return out;
}

// The class library's field error; its own class only so that Execute can let it through
// as it is (it names itself EDatabaseError).
class EFieldNotFound : public EDatabaseError {
public:
    using EDatabaseError::EDatabaseError;
};

[[noreturn]] void FieldNotFound(const std::string& name) {
    throw EFieldNotFound(rtl::Format("Field '%s' not found", name.c_str()));
}

// Holds one use of a loaded table and gives it back on every path.
class TableUse {
public:
    explicit TableUse(const std::string& path) : t_(AcquireTable(path)) {}
    ~TableUse() {
        if (!t_) return;
        try {
            ReleaseTable(t_);
        } catch (...) {
            // The write-back of a released table already happened inside the move; a late
            // failure here has nothing left to protect.
        }
    }
    TableUse(const TableUse&) = delete;
    TableUse& operator=(const TableUse&) = delete;
    TableData& operator*() const { return *t_; }
    TableData* operator->() const { return t_.get(); }
    // Releases now, letting a failed write surface.
    void Release() {
        auto t = std::move(t_);
        t_.reset();
        ReleaseTable(t);
    }

private:
    std::shared_ptr<TableData> t_;
};

// Copies the mapped fields of a source row into a destination record; with takeBlobs, the
// BLOB values are moved out of src instead (a scratch row whose BLOB fields are each mapped
// once).
void FillRecord(const Schema& ss, Record& src, const Schema& ds, Record& dst,
                const std::vector<std::pair<int, int>>& map, bool takeBlobs) {
    for (const auto& [d, s] : map) {
        const FieldInfo& df = ds.fields[size_t(d)];
        const FieldInfo& sf = ss.fields[size_t(s)];
        if (!df.blob && !sf.blob && df.code == sf.code && df.width == sf.width) {
            std::memcpy(&dst.data[size_t(df.offset)], &src.data[size_t(sf.offset)], size_t(df.width));
        } else if (df.blob && sf.blob) {
            // As EncodeValue stores what DecodeValue gives, without the copies in between.
            static const std::string kNone;
            const std::string& v = size_t(sf.index) < src.blobs.size() ? src.blobs[size_t(sf.index)] : kNone;
            if (dst.blobs.size() < ds.fields.size()) dst.blobs.resize(ds.fields.size());
            char* p = &dst.data[size_t(df.offset)];
            std::memset(p, 0, size_t(df.width));
            std::memcpy(p, v.data(), std::min(v.size(), size_t(df.leader)));
            if (takeBlobs && &v != &kNone)
                dst.blobs[size_t(df.index)].swap(src.blobs[size_t(sf.index)]);
            else
                dst.blobs[size_t(df.index)] = v;
        } else {
            EncodeValue(ds, df, dst, DecodeValue(ss, sf, src));
        }
    }
}

struct KeyLess {
    const Schema* schema;
    bool operator()(const RecordPtr& a, const RecordPtr& b) const { return CompareKeys(*schema, *a, *b) < 0; }
};

std::string FolderOf(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? std::string("./") : path.substr(0, p + 1);
}
std::string BaseName(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}
std::string Stem(const std::string& name) {
    size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// True for the files that belong to a table's family (by extension).
bool IsFamilyExtension(const std::string& extUpper) {
    if (extUpper == "DB" || extUpper == "PX" || extUpper == "VAL" || extUpper == "MB") return true;
    if (extUpper.size() == 3 && (extUpper[0] == 'X' || extUpper[0] == 'Y'))
        return (extUpper[1] == 'G' && IsHex(extUpper[2])) || (IsHex(extUpper[1]) && IsHex(extUpper[2]));
    return false;
}

std::vector<std::string> FamilyFiles(const std::string& folder, const std::string& stem) {
    std::vector<std::string> out;
    for (const std::string& name : ListFiles(folder)) {
        size_t dot = name.find_last_of('.');
        if (dot == std::string::npos) continue;
        if (!rtl::AsciiSameText(name.substr(0, dot), stem)) continue;
        if (IsFamilyExtension(rtl::AsciiUpper(name.substr(dot + 1)))) out.push_back(name);
    }
    return out;
}

// ---------------------------------------------------------------- the bulk path
//
// Append-update into an empty table that no one has loaded: the source is read from its
// files row by row and never held; what stays in memory per row is at most the destination
// key and the values of its indexed fields (the row's "summary") and the row's place in the
// source.
//   1. Every source row, in the order the row-by-row path takes them (the source's key order,
//      arrival order when unkeyed), becomes a destination row in one reused buffer and passes
//      the checks; its summary is kept.
//   2. The summaries are sorted by the destination key (stably, so among equal keys the later
//      row is last) and the last of each equal key is kept: the later row replaces.
//   3. The kept rows are converted again from the source in that order and written through a
//      block buffer, their BLOBs with them; the primary index from each block's first key,
//      each secondary index from sorted summaries.
//   4. The new files, written in the family's work folder, are put in place by rename (fileio.h).
// The usual case takes one pass instead (Stream): a source read in its key order whose rows
// come out in the destination's key order, without equal keys, is written as it is read,
// each row converted and checked once, and only the secondary indexes' summaries are kept
// (none for a table without secondary indexes).
// The first row that breaks that order, or is refused, ends the pass: its files are removed
// and steps 1 to 3 run from the start, so what is raised and written stays the same.
// The row-by-row path gives byte for byte the same files (but the header's update time).
class BulkMove {
public:
    BulkMove(TableReader& source, TableData& dest, const std::vector<std::pair<int, int>>& map)
        : rd_(source), ss_(source.header().schema), dest_(dest), ds_(dest.schema), map_(map) {
        src_.data.assign(size_t(ss_.recordSize), '\0');
        if (ss_.HasBlobs()) src_.blobs.resize(ss_.fields.size());
        row_.data.assign(size_t(ds_.recordSize), '\0');
        if (ds_.HasBlobs()) row_.blobs.resize(ds_.fields.size());
        for (const auto& [d, sf] : map_)
            if (ss_.fields[size_t(sf)].blob) {
                sourceBlobs_.push_back(sf);
                // A BLOB that lands in a plain field takes part in keys and checks.
                if (!ds_.fields[size_t(d)].blob) blobsForChecks_.push_back(sf);
            }
        // src_ is filled anew for every row: its BLOB values can be moved into the new row,
        // unless one of them goes to two fields.
        std::vector<int> sorted = sourceBlobs_;
        std::sort(sorted.begin(), sorted.end());
        takeBlobs_ = std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end();
        keyWidth_ = size_t(KeyWidth(ds_));
        summaryWidth_ = keyWidth_;
        indexes_ = SecondaryIndexesOf(dest_);
        for (int i = 0; i < ds_.keyFields; ++i) {
            const FieldInfo& f = ds_.fields[size_t(i)];
            parts_.push_back({size_t(f.offset), size_t(f.width), size_t(f.offset), f.code == fcAlpha && f.width <= 255});
        }
        for (const SecondaryIndexDef& d : indexes_) {
            const FieldInfo& f = ds_.fields[size_t(d.field)];
            indexAt_.push_back(summaryWidth_);
            parts_.push_back({size_t(f.offset), size_t(f.width), summaryWidth_, f.code == fcAlpha && f.width <= 255});
            summaryWidth_ += size_t(f.width);
        }
        // A new row is blank but for the defaults: the same for every row, made once.
        blank_ = row_;
        ApplyDefaults(dest_, blank_);
    }

    int Run(const std::string& destPath) {
        Targets(destPath);
        int moved = 0;
        try {
            if (Stream(destPath)) {
                moved = int(rd_.RecordCount());
            } else {
                Collect();
                moved = int(pos_.size());
                Order();
                Write(destPath);
            }
            Finish(destPath);
        } catch (...) {
            RemoveTemporaries();
            write_.reset();   // and the work folder
            throw;
        }
        return moved;
    }

private:
    // The destination row of a source row, in row_, as the row-by-row path makes it.
    void MakeRow(const char* source, bool allBlobs) {
        std::memcpy(&src_.data[0], source, src_.data.size());
        for (int f : (allBlobs ? sourceBlobs_ : blobsForChecks_))
            src_.blobs[size_t(f)] = rd_.Blob(ss_.fields[size_t(f)], source);
        std::memcpy(&row_.data[0], blank_.data.data(), row_.data.size());
        for (std::string& b : row_.blobs) b.clear();
        FillRecord(ss_, src_, ds_, row_, map_, takeBlobs_);
        RunBeforePost(dest_, row_, false);
    }

    // The files to write: the new ones are written under TempFileFor's name, in the work
    // folder of the family's write.
    void Targets(const std::string& destPath) {
        targets_ = FamilyFilesToWrite(ds_, destPath, indexes_);
        write_ = std::make_unique<FamilyWrite>(destPath);
    }

    void RemoveTemporaries() {
        w_.reset();   // closes its files
        for (const std::string& t : targets_) RemoveFile(TempFileFor(t));
    }

    // Creates the writer of n rows and its files; the format's block limit is checked first.
    void StartWriter(const std::string& destPath, uint32_t n) {
        const std::string name = ds_.tableName.empty() ? destPath : ds_.tableName;
        w_ = std::make_unique<TableWriter>(ds_, name, n);
        w_->Start(TempFileFor(destPath), ds_.HasBlobs() ? TempFileFor(FamilyPath(destPath, "MB")) : std::string());
    }

    // The one pass (see above). False, with nothing written or kept, when the rows need the
    // other way.
    bool Stream(const std::string& destPath) {
        const uint32_t n = rd_.RecordCount();
        try {
            StartWriter(destPath, n);
        } catch (const EDBEngineError&) {
            // Too many rows for the format, or the files cannot be made: the other way
            // raises it, after the checks, as it always has.
            RemoveTemporaries();
            return false;
        }
        const bool sourceKeyed = ss_.keyFields > 0, destKeyed = ds_.keyFields > 0;
        const size_t sourceKey = size_t(KeyWidth(ss_));
        std::vector<char> previous(sourceKey), previousDest(keyWidth_);
        if (!indexes_.empty()) {
            // Kept for the indexes only, packed: only what is used of the reserve is touched.
            compact_ = true;
            summary_.reserve(size_t(n) * (summaryWidth_ + parts_.size()));
            rowAt_.reserve(n);
        }
        const char* rec = nullptr;
        RowPos p = 0;
        bool ok = true;
        uint32_t k = 0;
        try {
            for (; ok && rd_.Next(rec, p); ++k) {
                if (sourceKeyed) {
                    if (k > 0 && CompareKeyBytes(ss_, previous.data(), rec) > 0) {
                        ok = false;
                        break;
                    }
                    std::memcpy(previous.data(), rec, sourceKey);
                }
                MakeRow(rec, true);
                if (destKeyed) {
                    if (k > 0 && CompareKeyBytes(ds_, previousDest.data(), row_.data.data()) >= 0) {
                        ok = false;
                        break;
                    }
                    std::memcpy(previousDest.data(), row_.data.data(), keyWidth_);
                }
                if (!indexes_.empty()) KeepSummary();
                w_->Add(row_);
            }
        } catch (...) {
            ok = false;   // a refused row: met again, in the row-by-row path's order, below
        }
        if (ok) {
            if (!indexes_.empty()) {   // the indexes take the rows in the order written
                order_.resize(k);
                for (uint32_t i = 0; i < k; ++i) order_[i] = i;
            }
            return true;
        }
        RemoveTemporaries();
        std::vector<char>().swap(summary_);
        std::vector<size_t>().swap(rowAt_);
        compact_ = false;
        rd_.Rewind();
        return false;
    }

    // The row's summary: its key, then the value of each indexed field, at summaryWidth_
    // bytes a row; or packed (compact_), each Alpha part without its trailing zeros after a
    // byte of its length, found through rowAt_.
    void KeepSummary() {
        if (summaryWidth_ == 0) return;   // unkeyed, no indexes: nothing to sort or index
        const char* d = row_.data.data();
        if (compact_) {
            const size_t at = summary_.size();
            rowAt_.push_back(at);
            summary_.resize(at + summaryWidth_ + parts_.size());   // the most a row takes
            char* out = summary_.data() + at;
            for (const Part& part : parts_) {
                const char* v = d + part.from;
                size_t n = part.width;
                if (part.alpha) {
                    while (n > 0 && v[n - 1] == 0) --n;
                    *out++ = char(n);
                }
                std::memcpy(out, v, n);
                out += n;
            }
            summary_.resize(size_t(out - summary_.data()));
            return;
        }
        const size_t at = summary_.size();
        summary_.resize(at + summaryWidth_);
        char* out = summary_.data() + at;
        std::memcpy(out, d, keyWidth_);
        for (size_t i = 0; i < indexes_.size(); ++i) {
            const FieldInfo& f = ds_.fields[size_t(indexes_[i].field)];
            std::memcpy(out + indexAt_[i], d + f.offset, size_t(f.width));
        }
    }

    void Keep(RowPos p) {
        KeepSummary();
        pos_.push_back(p);
    }

    // Step 1. A keyed source stored in its key order (the usual case) is read once in chain
    // order; one whose rows are out of order is read again in key order, so that a refused
    // row is the one the row-by-row path would meet first.
    void Collect() {
        const size_t n = rd_.RecordCount();
        summary_.reserve(n * summaryWidth_);
        pos_.reserve(n);
        const bool keyed = ss_.keyFields > 0;
        const size_t sourceKey = size_t(KeyWidth(ss_));
        std::string previous;
        bool inOrder = true;
        std::exception_ptr refused;
        const char* rec = nullptr;
        RowPos p = 0;
        while (rd_.Next(rec, p)) {
            if (keyed) {
                if (!previous.empty() && CompareKeyBytes(ss_, previous.data(), rec) > 0) {
                    inOrder = false;
                    break;
                }
                previous.assign(rec, sourceKey);
            }
            if (refused) continue;
            try {
                MakeRow(rec, false);
            } catch (...) {
                refused = std::current_exception();
                if (!keyed) break;
                continue;
            }
            Keep(p);
        }
        if (inOrder) {
            if (refused) std::rethrow_exception(refused);
            return;
        }
        // Out of order: the source's key order, equal keys in chain order.
        std::vector<char> keys;
        std::vector<RowPos> at;
        keys.reserve(n * sourceKey);
        at.reserve(n);
        rd_.Rewind();
        while (rd_.Next(rec, p)) {
            keys.insert(keys.end(), rec, rec + sourceKey);
            at.push_back(p);
        }
        std::vector<uint32_t> order(at.size());
        for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return CompareKeyBytes(ss_, keys.data() + a * sourceKey, keys.data() + b * sourceKey) < 0;
        });
        std::vector<char>().swap(keys);
        summary_.clear();
        pos_.clear();
        for (uint32_t i : order) {
            MakeRow(rd_.At(at[i]), false);
            Keep(at[i]);
        }
    }

    // The value of indexed field number `index` in row i's summary, at its full width (valid
    // as Summary's).
    const char* IndexedValue(uint32_t i, size_t index) const {
        if (!compact_) return summary_.data() + size_t(i) * summaryWidth_ + indexAt_[index];
        const char* p = summary_.data() + rowAt_[i];
        const size_t wanted = size_t(ds_.keyFields) + index;
        for (size_t j = 0; j < wanted; ++j)
            p += parts_[j].alpha ? 1 + size_t(uint8_t(*p)) : parts_[j].width;
        const Part& part = parts_[wanted];
        if (!part.alpha) return p;   // kept as it is
        std::vector<char>& out = unpacked_[turn_ ^= 1];
        out.resize(part.width);
        size_t n = part.width;
        if (part.alpha) n = size_t(uint8_t(*p++));
        std::memcpy(out.data(), p, n);
        std::memset(out.data() + n, 0, part.width - n);
        return out.data();
    }

    // Writes the value of indexed field number `index` of row i's summary to r, and the key
    // after it (its field is `width` bytes at `at` in an unpacked summary).
    void IndexRecord(uint32_t i, size_t index, char* r, size_t at) const {
        const size_t width = parts_[size_t(ds_.keyFields) + index].width;
        if (!compact_) {
            const char* s = summary_.data() + size_t(i) * summaryWidth_;
            std::memcpy(r, s + at, width);
            std::memcpy(r + width, s, keyWidth_);
            return;
        }
        const char* p = summary_.data() + rowAt_[i];
        const size_t wanted = size_t(ds_.keyFields) + index;
        for (size_t j = 0; j <= wanted; ++j) {
            const Part& part = parts_[j];
            const bool key = j < size_t(ds_.keyFields);
            size_t n = part.width;
            if (part.alpha) n = size_t(uint8_t(*p++));
            if (key || j == wanted) {
                char* out = key ? r + width + part.to : r;
                std::memcpy(out, p, n);
                std::memset(out + n, 0, part.width - n);
            }
            p += n;
        }
    }

    // Row i's summary at its full width; a packed one is valid until the call after next.
    const char* Summary(uint32_t i) const {
        if (!compact_) return summary_.data() + size_t(i) * summaryWidth_;
        std::vector<char>& out = unpacked_[turn_ ^= 1];
        out.resize(summaryWidth_);
        const char* p = summary_.data() + rowAt_[i];
        for (const Part& part : parts_) {
            size_t n = part.width;
            if (part.alpha) n = size_t(uint8_t(*p++));
            std::memcpy(out.data() + part.to, p, n);
            std::memset(out.data() + part.to + n, 0, part.width - n);
            p += n;
        }
        return out.data();
    }

    // Step 2.
    void Order() {
        const uint32_t n = uint32_t(pos_.size());
        order_.resize(n);
        for (uint32_t i = 0; i < n; ++i) order_[i] = i;
        if (ds_.keyFields == 0) return;
        bool sorted = true, distinct = true;
        for (uint32_t i = 1; i < n && sorted; ++i) {
            const int c = CompareKeyBytes(ds_, Summary(i - 1), Summary(i));
            sorted = c <= 0;
            distinct = distinct && c != 0;
        }
        if (!sorted)
            std::stable_sort(order_.begin(), order_.end(), [&](uint32_t a, uint32_t b) {
                return CompareKeyBytes(ds_, Summary(a), Summary(b)) < 0;
            });
        if (sorted && distinct) return;
        size_t kept = 0;
        for (size_t k = 0; k < order_.size(); ++k) {
            if (k + 1 < order_.size() && CompareKeyBytes(ds_, Summary(order_[k]), Summary(order_[k + 1])) == 0)
                continue;   // a later row with the same key replaces it
            order_[kept++] = order_[k];
        }
        order_.resize(kept);
    }

    // Step 3: the rows.
    void Write(const std::string& destPath) {
        const uint32_t n = uint32_t(order_.size());
        StartWriter(destPath, n);   // the format's block limit, before any file exists
        for (uint32_t k = 0; k < n; ++k) {
            MakeRow(rd_.At(pos_[order_[k]]), true);
            w_->Add(row_);
        }
    }

    // Step 3, the indexes, and step 4.
    void Finish(const std::string& destPath) {
        const std::string px = w_->Finish();
        w_.reset();
        if (ds_.keyFields > 0) WriteWholeFile(TempFileFor(FamilyPath(destPath, "PX")), px);
        WriteIndexes(destPath);
        write_->CommitRowless(targets_);   // the destination had no rows
    }

    void WriteIndexes(const std::string& destPath) {
        if (indexes_.empty()) return;
        for (size_t i = 0; i < indexes_.size(); ++i) {
            const size_t at = indexAt_[i];
            // Row k: the k-th kept row's value and key.
            auto value = [&, i](uint32_t k) { return IndexedValue(order_[k], i); };
            auto record = [&, i](uint32_t k, char* r) { IndexRecord(order_[k], i, r, at); };
            WriteSecondaryIndex(dest_, indexes_[i], uint32_t(order_.size()), value, record, destPath);
        }
    }

    TableReader& rd_;
    const Schema& ss_;
    TableData& dest_;
    const Schema& ds_;
    const std::vector<std::pair<int, int>>& map_;
    Record src_, row_, blank_;
    std::vector<int> sourceBlobs_, blobsForChecks_;
    bool takeBlobs_ = false;
    std::vector<std::string> targets_;
    std::unique_ptr<FamilyWrite> write_;   // outlives the writer's open files
    std::unique_ptr<TableWriter> w_;
    std::vector<SecondaryIndexDef> indexes_;
    std::vector<size_t> indexAt_;
    size_t keyWidth_ = 0, summaryWidth_ = 0;
    struct Part {
        size_t from, width, to;   // bytes of the row, and where they go in a summary
        bool alpha;               // kept without trailing zeros when packed
    };
    std::vector<Part> parts_;
    bool compact_ = false;
    std::vector<char> summary_;
    std::vector<size_t> rowAt_;
    mutable std::vector<char> unpacked_[2];
    mutable int turn_ = 0;
    std::vector<RowPos> pos_;
    std::vector<uint32_t> order_;
};

// The bulk path when the move is one for it: append-update into a table that holds no rows and
// is not loaded, from a source without unsaved changes. Returns false (having done nothing)
// otherwise; raises as the row-by-row path would.
bool TryBulkMove(TBatchMode mode, const std::string& sourcePath, const std::string& destPath,
                 const std::vector<Mapping>& maps, int& moved) {
    if (!BulkMovesEnabled() || mode != batAppendUpdate) return false;
    if (auto s = FindLoadedTable(sourcePath); s && s->dirty) return false;
    if (FindLoadedTable(destPath)) return false;
    if (!FileExists(destPath)) return false;
    std::unique_ptr<TableReader> destFile;
    try {
        destFile = std::make_unique<TableReader>(destPath);
    } catch (const EDBEngineError&) {
        return false;   // the row-by-row path reports it as it always has
    }
    if (destFile->RecordCount() != 0) return false;
    TableData dest;
    dest.dbPath = destPath;
    dest.schema = destFile->header().schema;
    destFile.reset();
    RunOnOpen(dest);
    if (dest.schema.keyFields == 0 && !SecondaryIndexesOf(dest).empty()) return false;

    TableReader source(sourcePath);
    const Schema& ss = source.header().schema;
    std::vector<std::pair<int, int>> map;
    for (const Mapping& m : maps) {
        int d = dest.schema.FindField(m.dest);
        if (d < 0) FieldNotFound(m.dest);
        int s = ss.FindField(m.source);
        if (s < 0) FieldNotFound(m.source);
        map.push_back({d, s});
    }
    CheckWritable(dest);
    moved = BulkMove(source, dest, map).Run(destPath);
    ++BulkMovesDone();
    RunAfterSave(dest);
    return true;
}
}  // namespace

// Every failure of a move reaches the caller as EDBEngineError, whatever raised it (a value
// that does not convert, a file-system error), with its cause in the message: the callers
// fall back on that class. The one exception is a mapping name that a table lacks, which
// stays the class library's field error.
void TBatchMove::Execute() {
    moved_ = 0;
    if (!Source || !Destination) throw EDatabaseError("Batch move needs a source and a destination table");
    try {
        Run();
    } catch (const EDBEngineError&) {
        throw;
    } catch (const EFieldNotFound&) {
        throw;
    } catch (const rtl::Exception& e) {
        throw EDBEngineError(ecTypeMismatch, rtl::Format("Batch move into table '%s' failed: %s",
                                                         Destination->TableName.c_str(), e.what()));
    } catch (const std::exception& e) {
        throw EDBEngineError(ecOpenFailed, rtl::Format("Batch move into table '%s' failed: %s",
                                                       Destination->TableName.c_str(), e.what()));
    }
}

void TBatchMove::Run() {
    InstallValidityChecks();
    InstallSecondaryIndexes();
    if (Mode != batAppend && Mode != batAppendUpdate && Mode != batCopy)
        throw EDBEngineError(ecUnsupported, "Batch move mode not supported");

    const bool openedSource = !Source->Active();
    if (openedSource) Source->Open();
    struct CloseSource {
        TTable* t;
        bool close;
        ~CloseSource() {
            if (close && t->Active()) try { t->Close(); } catch (...) {}
        }
    } closeSource{Source, openedSource};

    // An open table is loaded; its rows are read when a path below needs them.
    const std::string sourcePath = Source->FullPath();
    const std::shared_ptr<TableData> sourceData = FindLoadedTable(sourcePath);
    if (!sourceData) throw EDBEngineError(ecState, "Table '" + sourcePath + "' is not open");
    const Schema& ss = sourceData->schema;
    const std::vector<Mapping> maps = ParseMappings(Mappings, ss);

    // Destination file.
    std::string folder, destName;
    if (Destination->Active()) {
        folder = FolderOf(Destination->FullPath());
        destName = BaseName(Destination->FullPath());
    } else {
        folder = Session().ResolveDatabase(Destination->DatabaseName);
        const std::string wanted = TableFileName(Destination->TableName);
        const std::string found = FindFileNoCase(folder, wanted);
        if (found.empty()) {
            if (Mode != batCopy)
                throw EDBEngineError(ecNoSuchTable, "Table '" + JoinPath(folder, wanted) + "' does not exist");
            destName = wanted;
        } else {
            destName = BaseName(found);
        }
    }
    const std::string destPath = JoinPath(folder, destName);

    if (Mode == batCopy) {
        TableUse src(sourcePath);
        std::vector<std::pair<int, int>> map;
        CreateSpec spec;
        spec.tableName = destName;
        spec.level = ss.level;
        spec.blockSize = ss.blockSize;
        spec.codePage = ss.codePage;
        spec.sortOrder = ss.sortOrder;
        for (const Mapping& m : maps) {
            int s = ss.FindField(m.source);
            if (s < 0) FieldNotFound(m.source);
            const FieldInfo& sf = ss.fields[size_t(s)];
            FieldSpec f;
            f.name = m.dest;
            f.type = sf.def.DataType;
            f.size = sf.def.Size;
            f.required = sf.def.Required;
            map.push_back({int(spec.fields.size()), s});
            spec.fields.push_back(std::move(f));
        }
        if (auto loaded = FindLoadedTable(destPath); loaded && loaded->users > 0)
            throw EDBEngineError(ecState, "Table '" + destPath + "' is in use");

        // The new family is made in the work folder of the destination's write, then put in
        // place of the whole old family (fileio.h).
        FamilyWrite write(destPath);
        const std::string newPath = CreateTable(write.Folder(), spec);
        {
            TableUse nt(newPath);
            for (const RecordPtr& r : src->rows) {
                RecordPtr rec = nt->NewRecord();
                FillRecord(ss, *r, nt->schema, *rec, map, false);
                RunBeforePost(*nt, *rec, true);
                nt->InsertRow(std::move(rec));
                ++moved_;
            }
            nt->Touch();
            FlushTable(*nt);
            nt.Release();
        }
        DiscardLoadedTable(newPath);
        DiscardLoadedTable(destPath);
        write.CommitFamily(FamilyFiles(folder, Stem(destName)));
        return;
    }

    // Append / append-update.
    if (TryBulkMove(Mode, sourcePath, destPath, maps, moved_)) return;
    TableUse src(sourcePath);
    TableUse dst(destPath);
    std::vector<std::pair<int, int>> map;
    for (const Mapping& m : maps) {
        int d = dst->schema.FindField(m.dest);
        if (d < 0) FieldNotFound(m.dest);
        int s = ss.FindField(m.source);
        if (s < 0) FieldNotFound(m.source);
        map.push_back({d, s});
    }
    const Schema& ds = dst->schema;
    const bool keyed = ds.keyFields > 0;
    const std::string table = BaseName(destPath);
    std::set<RecordPtr, KeyLess> staged{KeyLess{&ds}};
    std::vector<RecordPtr> appended;  // unkeyed destination
    std::vector<RecordPtr> replaced;
    if (keyed)
        for (const RecordPtr& r : dst->rows) staged.insert(staged.end(), r);
    uint64_t seq = dst->nextSeq;
    for (const RecordPtr& r : src->rows) {
        // Defaults only for the fields that the move does not give: a blank that the source
        // holds stays blank (the checks still refuse it in a required field).
        RecordPtr rec = dst->NewRecord();
        ApplyDefaults(*dst, *rec);
        FillRecord(ss, *r, ds, *rec, map, false);
        RunBeforePost(*dst, *rec, false);
        rec->seq = seq++;
        ++moved_;
        if (!keyed) {
            appended.push_back(std::move(rec));
            continue;
        }
        auto it = staged.find(rec);
        if (it != staged.end()) {
            if (Mode == batAppend)
                throw EDBEngineError(ecKeyViolation, "Key violation in table '" + table + "'");
            if ((*it)->seq < dst->nextSeq) replaced.push_back(*it);  // a row of the table, not of this move
            it = staged.erase(it);
        }
        staged.insert(it, std::move(rec));
    }

    RowSet next(RecordLess{&ds});
    if (keyed) {
        for (const RecordPtr& r : staged) next.insert(next.end(), r);
    } else {
        next = dst->rows;
        for (RecordPtr& r : appended) next.insert(next.end(), std::move(r));
    }
    staged.clear();

    RowSet previous(RecordLess{&ds});
    previous.swap(dst->rows);
    dst->rows.swap(next);
    const uint64_t prevSeq = dst->nextSeq;
    const bool wasDirty = dst->dirty;
    dst->nextSeq = seq;
    dst->Touch();
    try {
        FlushTable(*dst);
    } catch (...) {
        dst->rows.swap(previous);
        dst->nextSeq = prevSeq;
        dst->Touch();
        dst->dirty = wasDirty;
        throw;
    }
    for (const RecordPtr& r : replaced) r->deleted = true;
    dst.Release();
}

}  // namespace dbe

namespace dbe::detail {
bool& BulkMovesEnabled() {
    static bool enabled = true;
    return enabled;
}
int& BulkMovesDone() {
    static int done = 0;
    return done;
}
}  // namespace dbe::detail
