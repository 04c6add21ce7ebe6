// The process's loaded tables: one TableData per table file, shared by every TTable open on
// it, saved when its last user closes it (or at process exit for tables left open).
#include <algorithm>
#include <map>

#include "rtl/strutil.h"
#include "secondary_index.h"
#include "table_hooks.h"
#include "tabledata.h"
#include "tablestream.h"
#include "val_checks.h"

namespace dbe::detail {
namespace {

// File names compare ignoring case, as on Windows.
std::string Canonical(const std::string& path) {
    std::string p = rtl::AsciiLower(path);
    for (auto& c : p)
        if (c == '\\') c = '/';
    return p;
}

struct OpenTables {
    std::map<std::string, std::shared_ptr<TableData>> tables;
    ~OpenTables() {
        // Tables still open when the process ends keep their changes.
        for (auto& [k, t] : tables) {
            try {
                if (t->dirty) SaveTable(*t);
            } catch (...) {
            }
        }
    }
};

OpenTables& Registry() {
    static OpenTables r;
    return r;
}

}  // namespace

std::shared_ptr<TableData> AcquireTable(const std::string& dbPath) {
    // The checks and the secondary indexes follow every table from its first load on.
    InstallValidityChecks();
    InstallSecondaryIndexes();
    auto& reg = Registry().tables;
    std::string key = Canonical(dbPath);
    auto it = reg.find(key);
    if (it != reg.end()) {
        LoadRows(*it->second);
        ++it->second->users;
        return it->second;
    }
    std::shared_ptr<TableData> t(LoadTable(dbPath).release());
    t->firstAtLoad = t->rows.empty() ? nullptr : *t->rows.begin();
    RunOnOpen(*t);
    t->users = 1;
    reg[key] = t;
    return t;
}

std::shared_ptr<TableData> AcquireTableForReading(const std::string& dbPath) {
    InstallValidityChecks();
    InstallSecondaryIndexes();
    auto& reg = Registry().tables;
    std::string key = Canonical(dbPath);
    auto it = reg.find(key);
    if (it != reg.end()) {
        ++it->second->users;
        return it->second;
    }
    // Every damage that loading would meet is found now, without keeping the rows.
    TableReader reader(dbPath);
    const bool inOrder = reader.CheckAll();
    auto t = std::make_shared<TableData>();
    t->dbPath = dbPath;
    t->schema = reader.header().schema;
    t->rows = RowSet(RecordLess{&t->schema});
    t->rowsLoaded = false;
    t->fileRecords = reader.RecordCount();
    t->streamable = inOrder;
    RunOnOpen(*t);
    t->users = 1;
    reg[key] = t;
    return t;
}

void LoadRows(TableData& t) {
    if (t.rowsLoaded) return;
    // Straight from the files into the rows, without an image of either file.
    TableReader reader(t.dbPath);
    reader.ExpectLayout(t.schema);   // the rows are kept and read with the schema of the open
    const Schema& s = reader.header().schema;
    std::vector<const FieldInfo*> blobs;
    for (const FieldInfo& f : s.fields)
        if (f.blob) blobs.push_back(&f);
    RowSet rows(RecordLess{&t.schema});
    // The cursors reading the files, by the file position of their rows: the rows come in the
    // set's order (streamable), so the n-th row read is the one a cursor at ordinal n stands on.
    std::vector<std::pair<uint32_t, RowStream*>> waiting;
    for (RowStream* st : t.streams)
        if (!st->AtEnd()) waiting.push_back({st->Ordinal(), st});
    std::sort(waiting.begin(), waiting.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::pair<RowStream*, RecordPtr>> found;
    std::size_t w = 0;
    uint64_t seq = 1;
    const char* rec = nullptr;
    RowPos pos = 0;
    while (reader.Next(rec, pos)) {
        auto r = std::make_shared<Record>();
        r->data.assign(rec, static_cast<std::size_t>(s.recordSize));
        if (!blobs.empty()) {
            r->blobs.resize(s.fields.size());
            for (const FieldInfo* f : blobs) r->blobs[static_cast<std::size_t>(f->index)] = reader.Blob(*f, rec);
        }
        for (; w < waiting.size() && waiting[w].first == seq - 1; ++w) found.push_back({waiting[w].second, r});
        r->seq = seq++;
        rows.insert(rows.end(), std::move(r));   // one comparison for rows in key order
    }
    t.rows.swap(rows);
    t.nextSeq = seq;
    t.rowsLoaded = true;
    t.firstAtLoad = t.rows.empty() ? nullptr : *t.rows.begin();
    t.loadGeneration = t.generation;
    // Past the rows found (or at the end): the end.
    for (; w < waiting.size(); ++w) found.push_back({waiting[w].second, nullptr});
    for (RowStream* st : t.streams)
        if (st->AtEnd()) found.push_back({st, nullptr});
    t.streams.clear();
    for (auto& [st, row] : found) st->RowsLoaded(std::move(row));
}

void ReleaseTable(const std::shared_ptr<TableData>& t) {
    if (!t) return;
    if (--t->users > 0) return;
    // Saved before it is forgotten: when the write fails the rows stay loaded (and the exit
    // handler tries again), the files on disk stay as they were.
    if (t->dirty) SaveTable(*t);
    auto& reg = Registry().tables;
    auto it = reg.find(Canonical(t->dbPath));
    if (it != reg.end() && it->second == t) reg.erase(it);
}

void FlushTable(TableData& t) {
    if (t.dirty) SaveTable(t);
}

void DiscardLoadedTable(const std::string& dbPath) {
    auto& reg = Registry().tables;
    auto it = reg.find(Canonical(dbPath));
    if (it != reg.end()) {
        it->second->dirty = false;
        reg.erase(it);
    }
}

std::shared_ptr<TableData> FindLoadedTable(const std::string& dbPath) {
    auto& reg = Registry().tables;
    auto it = reg.find(Canonical(dbPath));
    return it == reg.end() ? nullptr : it->second;
}

}  // namespace dbe::detail
