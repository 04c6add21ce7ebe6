// Validity checks in the table layer: kept in the .VAL file across reopening, a damaged file
// leaves the table readable but unchangeable, removed when a table is created anew without checks.
#include "dbe2_fixture.h"

namespace dbe2test {
namespace {

using dbe::TFieldType;

void MakeChecked(const std::string& folder) {
    Create(folder, "Chk", {Field("Id", TFieldType::Integer, 0, true), Required(Field("Name", TFieldType::String, 10)),
                           WithDefault(WithMax(Field("Level", TFieldType::Smallint), "9"), "3")});
}

TEST(ValidityChecks, ReadBackFromTheFileAfterReopening) {
    TempFolder dir;
    MakeChecked(dir.path());
    dbe::TTable t;
    t.DatabaseName = dir.path();
    t.TableName = "Chk";
    t.Open();
    EXPECT_FALSE(t.FieldDefs()[0].Required);
    EXPECT_TRUE(t.FieldDefs()[1].Required);
    t.Append();
    t.FieldByName("Id").SetAsInteger(1);
    t.FieldByName("Name").SetAsString("n");
    t.Post();
    EXPECT_EQ(t.FieldByName("Level").AsInteger(), 3);
    t.Append();
    t.FieldByName("Id").SetAsInteger(2);
    t.FieldByName("Name").SetAsString("m");
    t.FieldByName("Level").SetAsInteger(10);
    EXPECT_THROW(t.Post(), dbe::EDBEngineError);
    t.Cancel();
    t.Close();
    EXPECT_EQ(ReadRows(dir.path(), "Chk.DB"), (std::vector<Row>{{"1", "n", "3"}}));
}

TEST(ValidityChecks, DamagedCheckFileLeavesTheTableReadableButRefusesChanges) {
    TempFolder dir;
    MakeChecked(dir.path());
    AppendRows(dir.path(), "Chk", {{"1", "n", "3"}, {"2", "m", ""}});
    const std::string good = FileBytes(dir / "Chk.VAL");
    const std::pair<const char*, std::string> damages[] = {
        {"unknown file version", [&] { std::string b = good; b[1] = 0x42; return b; }()},
        {"truncated", good.substr(0, good.size() / 2)},
        {"garbage", std::string(300, '\x5A')},
    };
    for (const auto& [what, bytes] : damages) {
        SCOPED_TRACE(what);
        std::ofstream(dir / "Chk.VAL", std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
        ExpectReadableButNotChangeable(dir.path(), "Chk.DB", "Chk.VAL", 2);
    }
}

TEST(ValidityChecks, TableCreatedAnewWithoutChecksLosesTheOldFile) {
    TempFolder dir;
    MakeChecked(dir.path());
    ASSERT_TRUE(fs::exists(dir / "Chk.VAL"));
    Create(dir.path(), "Chk", {Field("Id", TFieldType::Integer, 0, true), Field("Name", TFieldType::String, 10)});
    EXPECT_FALSE(fs::exists(dir / "Chk.VAL"));
    AppendRows(dir.path(), "Chk.DB", {{"1", ""}});  // Name no longer required
    EXPECT_EQ(ReadRows(dir.path(), "Chk.DB").size(), 1u);
}

TEST(ValidityChecks, BadCheckValuesInADefinitionAreRefused) {
    TempFolder dir;
    EXPECT_THROW(Create(dir.path(), "Bad", {Field("Id", TFieldType::Integer, 0, true), WithMin(Field("N", TFieldType::Smallint), "abc")}),
                 dbe::EDBEngineError);
    EXPECT_THROW(Create(dir.path(), "Bad2", {Field("Id", TFieldType::Integer, 0, true), WithDefault(Field("M", TFieldType::Memo, 5), "x")}),
                 dbe::EDBEngineError);
    EXPECT_THROW(Create(dir.path(), "Bad3", {Field("Id", TFieldType::Integer, 0, true)}, {{"IndX", {"Nope"}}}), dbe::EDBEngineError);
    EXPECT_EQ(FileNames(dir.path()), std::vector<std::string>{});  // nothing half-created
}

}  // namespace
}  // namespace dbe2test
