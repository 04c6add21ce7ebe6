// Maintained secondary indexes: written with the table, kept current by inserts, edits of
// the indexed and key fields and deletes, found again from their own files on open.
#include "dbe2_fixture.h"
#include "index_check.h"

#include <functional>

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

TEST(SecondaryIndex, AnIndexFileThatCreationWouldRefuseLeavesTheTableReadableButRefusesChanges) {
    using dbe::detail::FieldSpec;
    using dbe::detail::IndexSpec;
    const std::vector<FieldSpec> fields = {Field("GroupName", TFieldType::String, 31, true),
                                           Field("TimeProf1", TFieldType::String, 31),
                                           Field("TimeProf2", TFieldType::String, 31), Field("Comments1", TFieldType::Memo, 4)};
    const std::vector<IndexSpec> indexes = {{"IndProf1", {"TimeProf1"}}, {"IndProf2", {"TimeProf2"}}};
    const std::vector<Row> rows = {{"a", "1", "2", "memo"}, {"b", "4", "5", ""}};
    // By the bytes: mingw's copy_file does not replace an existing file.
    auto copy = [](const std::string& from, const std::string& to) {
        const std::string b = FileBytes(from);
        std::ofstream(to, std::ios::binary | std::ios::trunc).write(b.data(), std::streamsize(b.size()));
    };
    auto replaceOnce = [](std::string b, const std::string& from, const std::string& to) {
        const size_t at = b.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos) b.replace(at, from.size(), to);
        return b;
    };
    struct Case {
        const char* what;
        // Makes the folder's table (its rows given) and returns the damaged file's name.
        std::function<std::string(const std::string&)> make;
    };
    const Case cases[] = {
        {"key names a Memo field",
         [&](const std::string& folder) {
             Create(folder, "Accgroup", fields, indexes);
             AppendRows(folder, "Accgroup", rows);
             const std::string xg = folder + "Accgroup.XG0";
             const std::string b = replaceOnce(FileBytes(xg), std::string("TimeProf1\0", 10), std::string("Comments1\0", 10));
             std::ofstream(xg, std::ios::binary | std::ios::trunc).write(b.data(), std::streamsize(b.size()));
             return std::string("Accgroup.XG0");
         }},
        {"table without a key",
         [&](const std::string& folder) {
             TempFolder keyed;
             Create(keyed.path(), "Accgroup", fields, indexes);
             std::vector<FieldSpec> unkeyed = fields;
             unkeyed[0].key = false;
             Create(folder, "Accgroup", unkeyed);
             AppendRows(folder, "Accgroup", rows);
             copy(keyed / "Accgroup.XG1", folder + "Accgroup.XG1");
             copy(keyed / "Accgroup.YG1", folder + "Accgroup.YG1");
             return std::string("Accgroup.XG1");
         }},
        {"index of a table with another key",
         [&](const std::string& folder) {
             TempFolder other;
             Create(other.path(), "Accgroup", fields, indexes);
             std::vector<FieldSpec> twoKeys = fields;
             twoKeys[1].key = true;
             Create(folder, "Accgroup", twoKeys, {{"IndProf2", {"TimeProf2"}}});
             AppendRows(folder, "Accgroup", rows);
             copy(other / "Accgroup.XG1", folder + "Accgroup.XG0");
             return std::string("Accgroup.XG0");
         }},
        {"two indexes of one name",
         [&](const std::string& folder) {
             Create(folder, "Accgroup", fields, indexes);
             AppendRows(folder, "Accgroup", rows);
             const std::string xg = folder + "Accgroup.XG1";
             const std::string b = replaceOnce(FileBytes(xg), std::string("IndProf2\0", 9), std::string("indprof1\0", 9));
             std::ofstream(xg, std::ios::binary | std::ios::trunc).write(b.data(), std::streamsize(b.size()));
             return std::string("Accgroup.XG1");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder dir;
        const std::string damaged = c.make(dir.path());
        ExpectReadableButNotChangeable(dir.path(), "Accgroup.DB", damaged, rows.size());
    }
}

}  // namespace
}  // namespace dbe2test
