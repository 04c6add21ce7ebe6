// Verifies a table's secondary-index files against the table itself and against a complete
// rebuild: every row once, with its key and the block that holds it, in index order.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "dbe2_fixture.h"
#if __has_include(<paradox.h>) && defined(KX_HAVE_PXLIB) && defined(KX_PXCHECK)
extern "C" {
#include <paradox.h>
}
#define KX_PXLIB 1
#endif

namespace dbe2test {

// Header bytes that hold the time of writing.
inline std::string WithoutWriteTime(std::string b) {
    if (b.size() >= 0x64) std::fill(b.begin() + 0x60, b.begin() + 0x64, '\0');
    return b;
}

// Every file of the folder, the update time of the table-format headers blanked.
inline std::map<std::string, std::string> Comparable(const std::string& folder) {
    auto files = Snapshot(folder);
    for (auto& [name, bytes] : files) {
        const std::string ext = name.substr(name.find('.') + 1);
        if (ext == "DB" || ext.compare(0, 2, "XG") == 0) bytes = WithoutWriteTime(bytes);
    }
    return files;
}

// The two folders hold the same files, byte for byte but for the update time; a file that
// differs is reported with the offset of its first difference.
inline void ExpectSameFiles(const std::string& want, const std::string& got) {
    ASSERT_EQ(FileNames(want), FileNames(got));
    const auto a = Comparable(want), b = Comparable(got);
    for (const auto& [name, bytes] : a) {
        const std::string& other = b.at(name);
        if (bytes == other) continue;
        size_t at = 0;
        while (at < bytes.size() && at < other.size() && bytes[at] == other[at]) ++at;
        ADD_FAILURE() << name << " differs from offset " << at << " (sizes " << bytes.size() << ", "
                      << other.size() << ")";
    }
}

#ifdef KX_PXLIB
// pxlib reads memory it never initialised when it reads an index (seen as failures once the
// heap is reused, e.g. under AddressSanitizer): documents get zeroed allocations.
inline void* PxZeroAlloc(pxdoc_t*, size_t size, const char*) { return std::calloc(1, size ? size : 1); }
inline void* PxRealloc(pxdoc_t*, void* mem, size_t size, const char*) { return std::realloc(mem, size); }
inline void PxFree(pxdoc_t*, void* mem) { std::free(mem); }
inline void PxQuiet(pxdoc_t*, int, const char* msg, void*) { std::fprintf(stderr, "pxlib: %s\n", msg); }
inline pxdoc_t* PxNew() { return PX_new2(PxQuiet, PxZeroAlloc, PxRealloc, PxFree); }

// The raw records of a table-format file as pxlib reads them, in its record order; false
// when pxlib does not open the file.
inline bool PxlibRecords(const std::string& path, std::vector<std::string>& out) {
    pxdoc_t* doc = PxNew();
    if (!doc) return false;
    bool ok = PX_open_file(doc, path.c_str()) == 0;
    if (ok) {
        // pxlib 0.6.8 may leave the encryption word uninitialised for file types other than
        // a table's (it reads it from the data header only for those); these files are
        // unencrypted.
        doc->px_head->px_encryption = 0;
        const int n = PX_get_num_records(doc);
        std::string buf(size_t(doc->px_head->px_recordsize), '\0');
        for (int i = 0; i < n && ok; ++i) {
            ok = PX_get_record(doc, i, &buf[0]) != nullptr;
            out.push_back(buf);
        }
        PX_close(doc);
    }
    PX_delete(doc);
    return ok;
}

// pxlib's verdict on a table-format file read through an index (by the check program
// beside the tests, in a process of its own); "" when it accepts them.
inline std::string PxlibAcceptsIndexPair(const std::string& table, const std::string& index, int expected) {
    const std::string cmd = std::string(KX_PXCHECK) + " '" + table + "' '" + index + "' " + std::to_string(expected);
    const int rc = std::system(cmd.c_str());
    return rc == 0 ? std::string() : "pxlib refuses the index (check status " + std::to_string(rc) + ")";
}
#endif

inline void ExpectIndexesCurrent(const std::string& folder, const std::string& table, size_t expected) {
    using namespace dbe::detail;
    SCOPED_TRACE(table);
    auto t = AcquireTable(folder + table);
    const auto defs = SecondaryIndexesOf(*t);
    ASSERT_EQ(defs.size(), expected);
    const std::vector<uint16_t> blocks = t->rows.empty() ? std::vector<uint16_t>() : ReadRowBlocks(t->dbPath);
    ASSERT_EQ(blocks.size(), t->rows.size());
    for (const SecondaryIndexDef& d : defs) {
        SCOPED_TRACE(d.name);
        const std::string stem = table.substr(0, table.find('.'));
        const std::string xg = folder + stem + ".XG" + char('0' + d.slot);
        const std::string yg = folder + stem + ".YG" + char('0' + d.slot);
        // A full rebuild gives the same files.
        TableImage img = BuildSecondaryIndex(*t, d, blocks);
        EXPECT_EQ(WithoutWriteTime(FileBytes(xg)), WithoutWriteTime(img.db));
        EXPECT_EQ(WithoutWriteTime(FileBytes(yg)), WithoutWriteTime(img.px));
        // Independently of the engine's readers: each table record once, with its indexed
        // field, its key fields and the block of the .DB file that holds it.
        unsigned type = 0, dbType = 0;
        std::string err, dbErr;
        const std::vector<StoredRecord> recs = ReadStoredRecords(xg, type, err);
        const std::vector<StoredRecord> rows = ReadStoredRecords(t->dbPath, dbType, dbErr);
        EXPECT_EQ(err, "");
        EXPECT_EQ(dbErr, "");
        EXPECT_EQ(type, 8u);
        EXPECT_EQ(static_cast<unsigned char>(FileBytes(yg)[4]), 7u);
        std::vector<std::pair<std::string, unsigned>> want, got;
        const FieldInfo& sec = t->schema.fields[size_t(d.field)];
        for (const StoredRecord& r : rows) {
            std::string key = r.data.substr(size_t(sec.offset), size_t(sec.width));
            for (int k = 0; k < t->schema.keyFields; ++k) {
                const FieldInfo& f = t->schema.fields[size_t(k)];
                key += r.data.substr(size_t(f.offset), size_t(f.width));
            }
            want.push_back({key, r.block});
        }
        for (const StoredRecord& r : recs) got.push_back({r.data.substr(0, r.data.size() - 2), HintOf(r.data)});
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
        EXPECT_EQ(got, want);
        EXPECT_EQ(got.size(), t->rows.size());
#ifdef KX_PXLIB
        // pxlib reads the index table record for record as it is stored, and its index.
        std::vector<std::string> px;
        EXPECT_TRUE(PxlibRecords(xg, px));
        ASSERT_EQ(px.size(), recs.size());
        for (size_t i = 0; i < px.size(); ++i) EXPECT_EQ(px[i], recs[i].data) << i;
        // pxlib reads the table through its primary index, and the index table through the
        // .YGn.
        EXPECT_EQ(PxlibAcceptsIndexPair(t->dbPath, folder + stem + ".PX", int(t->rows.size())), "");
        EXPECT_EQ(PxlibAcceptsIndexPair(xg, yg, int(t->rows.size())), "");
#endif
    }
    ReleaseTable(t);
}

}  // namespace dbe2test
