// Batch moves (see dbengine/batchmove.h).
//
// Append modes build the destination's new row set beside the loaded one and swap it in only
// when every row passed; the write to disk follows, and a failed write swaps the old rows
// back, so the destination never holds part of a move. Copy mode builds the new table family
// in a private sub-folder, then moves the old family aside, the new one in, and drops the old
// one; a failure on the way puts the old family back.
#include "dbengine/batchmove.h"

#include <atomic>
#include <cctype>
#include <chrono>
#include <cstring>
#include <set>

#include "fileio.h"
#include "rtl/strutil.h"
#include "secondary_index.h"
#include "tabledata.h"
#include "table_hooks.h"
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

// Copies the mapped fields of a source row into a destination record.
void FillRecord(const Schema& ss, const Record& src, const Schema& ds, Record& dst,
                const std::vector<std::pair<int, int>>& map) {
    for (const auto& [d, s] : map) {
        const FieldInfo& df = ds.fields[size_t(d)];
        const FieldInfo& sf = ss.fields[size_t(s)];
        if (!df.blob && !sf.blob && df.code == sf.code && df.width == sf.width) {
            std::memcpy(&dst.data[size_t(df.offset)], &src.data[size_t(sf.offset)], size_t(df.width));
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

std::string UniqueWorkFolder(const std::string& folder) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string dir = folder + rtl::Format("~kxmove%llx%u", ticks & 0xFFFFFFull, counter++);
        if (MakeFolder(dir)) return dir + PathSeparator();
    }
    throw EDBEngineError(ecOpenFailed, "Cannot create a work folder in '" + folder + "'");
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

    TableUse src(Source->FullPath());
    const Schema& ss = src->schema;
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

        const std::string work = UniqueWorkFolder(folder);
        const std::string aside = work + "prev" + PathSeparator();
        std::vector<std::string> movedAside, movedIn;
        try {
            const std::string newPath = CreateTable(work, spec);
            {
                TableUse nt(newPath);
                for (const RecordPtr& r : src->rows) {
                    RecordPtr rec = nt->NewRecord();
                    FillRecord(ss, *r, nt->schema, *rec, map);
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
            if (!MakeFolder(aside))
                throw EDBEngineError(ecOpenFailed, "Cannot create the folder '" + aside + "'");
            for (const std::string& f : FamilyFiles(folder, Stem(destName))) {
                RenameFile(folder + f, aside + f);
                movedAside.push_back(f);
            }
            for (const std::string& f : FamilyFiles(work, Stem(destName))) {
                RenameFile(work + f, folder + f);
                movedIn.push_back(f);
            }
        } catch (...) {
            for (const std::string& f : movedIn) RemoveFile(folder + f);
            for (const std::string& f : movedAside) TryRenameFile(aside + f, folder + f);
            RemoveTree(work);
            throw;
        }
        RemoveTree(work);
        return;
    }

    // Append / append-update.
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
        FillRecord(ss, *r, ds, *rec, map);
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
