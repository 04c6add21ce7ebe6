// Maintained secondary indexes: written with the table, kept current by inserts, edits of
// the indexed and key fields and deletes, found again from their own files on open.
#include "dbe2_fixture.h"
#include "index_check.h"

namespace dbe2test {
namespace {

using dbe::TFieldType;

void MakeGroups(const std::string& folder, int blockSize = 2048) {
    Create(folder, "Accgroup",
           {Field("GroupName", TFieldType::String, 31, true), Field("TimeProf1", TFieldType::String, 31),
            Field("TimeProf2", TFieldType::String, 31), Field("Doors", TFieldType::Integer)},
           {{"IndProf1", {"TimeProf1"}}, {"IndProf2", {"TimeProf2"}}}, 5, blockSize);
}

TEST(SecondaryIndex, CreatedEmptyWithTheTable) {
    TempFolder dir;
    MakeGroups(dir.path());
    for (const char* f : {"Accgroup.XG0", "Accgroup.YG0", "Accgroup.XG1", "Accgroup.YG1"})
        EXPECT_TRUE(fs::exists(dir / f)) << f;
    ExpectIndexesCurrent(dir.path(), "Accgroup.DB", 2);
    // The index names and fields come back from the files.
    auto t = dbe::detail::AcquireTable(dir / "Accgroup.DB");
    auto defs = dbe::detail::SecondaryIndexesOf(*t);
    ASSERT_EQ(defs.size(), 2u);
    EXPECT_EQ(defs[0].name, "IndProf1");
    EXPECT_EQ(defs[0].field, 1);
    EXPECT_EQ(defs[1].name, "IndProf2");
    EXPECT_EQ(defs[1].field, 2);
    dbe::detail::ReleaseTable(t);
}

TEST(SecondaryIndex, CurrentAfterInsertsEditsAndDeletesOverManyBlocks) {
    TempFolder dir;
    MakeGroups(dir.path(), 1024);  // small blocks: many data blocks, several index levels
    std::vector<Row> rows;
    for (int i = 0; i < 1500; ++i)
        rows.push_back({"G" + std::to_string(i * 7 % 1500), "P" + std::to_string(i % 37), i % 5 ? "Q" : "", std::to_string(i)});
    AppendRows(dir.path(), "Accgroup.DB", rows);
    ExpectIndexesCurrent(dir.path(), "Accgroup.DB", 2);

    dbe::TTable t;
    t.DatabaseName = dir.path();
    t.TableName = "Accgroup.DB";
    t.Open();
    int n = 0;
    for (t.First(); !t.Eof(); ++n) {
        if (n % 3 == 0) {
            t.Delete();
            continue;
        }
        if (n % 3 == 1) {
            t.Edit();
            t.FieldByName("TimeProf1").SetAsString("Z" + std::to_string(n));
            t.Post();
        }
        t.Next();
    }
    // Key edits: the first row moves to the end each time (the cursor follows the row).
    for (int k = 0; k < 50; ++k) {
        t.First();
        t.Edit();
        t.FieldByName("GroupName").SetAsString("Zz" + std::to_string(1000 + k));
        t.FieldByName("TimeProf2").SetAsString("moved");
        t.Post();
    }
    t.Close();
    ExpectIndexesCurrent(dir.path(), "Accgroup.DB", 2);
    EXPECT_EQ(ReadRows(dir.path(), "Accgroup.DB").size(), 1000u);
}

TEST(SecondaryIndex, DamagedIndexFileLeavesTheTableReadableButRefusesChanges) {
    TempFolder dir;
    MakeGroups(dir.path());
    AppendRows(dir.path(), "Accgroup.DB", {{"a", "1", "2", "3"}, {"b", "4", "5", "6"}});
    const std::string good = FileBytes(dir / "Accgroup.XG1");
    const std::pair<const char*, std::string> damages[] = {
        {"truncated header", good.substr(0, 0x40)},
        {"garbage", std::string(2048, '\x5A')},
        {"not an index", FileBytes(dir / "Accgroup.DB")},
    };
    for (const auto& [what, bytes] : damages) {
        SCOPED_TRACE(what);
        std::ofstream(dir / "Accgroup.XG1", std::ios::binary | std::ios::trunc)
            .write(bytes.data(), std::streamsize(bytes.size()));
        ExpectReadableButNotChangeable(dir.path(), "Accgroup.DB", "Accgroup.XG1", 2);
    }
}

}  // namespace
}  // namespace dbe2test
