// Validity checks in the table layer: kept in the .VAL file across reopening, refused on a
// damaged file, removed when a table is created anew without checks.
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

TEST(ValidityChecks, DamagedCheckFileRefusesTheOpen) {
    TempFolder dir;
    MakeChecked(dir.path());
    std::string b = FileBytes(dir / "Chk.VAL");
    b[1] = 0x42;  // unknown file version
    std::ofstream(dir / "Chk.VAL", std::ios::binary | std::ios::trunc).write(b.data(), std::streamsize(b.size()));
    const auto before = Snapshot(dir.path());
    dbe::TTable t;
    t.DatabaseName = dir.path();
    t.TableName = "Chk";
    try {
        t.Open();
        FAIL() << "opened";
    } catch (const dbe::EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), dbe::ecCorrupt);
        EXPECT_NE(e.Message().find("Chk.VAL"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(Snapshot(dir.path()), before);
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
