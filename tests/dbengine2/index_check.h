// Verifies a table's secondary-index files against the table itself and against a complete
// rebuild: every row once, with its key and the block that holds it, in index order.
#pragma once

#include <algorithm>

#include "dbe2_fixture.h"
#if __has_include(<paradox.h>) && defined(KX_HAVE_PXLIB)
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

#ifdef KX_PXLIB
// Record count and first field texts of an .XGn file as pxlib reads it.
inline int PxlibRecordCount(const std::string& path) {
    pxdoc_t* doc = PX_new();
    if (!doc) return -1;
    int n = -1;
    if (PX_open_file(doc, path.c_str()) == 0) n = PX_get_num_records(doc);
    PX_close(doc);
    PX_delete(doc);
    return n;
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
        EXPECT_EQ(PxlibRecordCount(xg), int(t->rows.size()));
#endif
    }
    ReleaseTable(t);
}

}  // namespace dbe2test
