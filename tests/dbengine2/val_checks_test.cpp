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

TEST(ValidityChecks, ADamagedDateBoundStillNamesItsValueInTheError) {
    // A check file whose Date minimum is the largest day number (bytes FF FF FF FF): every row
    // lies below it, and the error that says so formats that day, by TTable and by the bulk
    // move's checks alike.
    TempFolder dir;
    Create(dir.path(), "Dated", {Field("Id", TFieldType::Integer, 0, true), WithMin(Field("Day", TFieldType::Date), "2010-01-01")});
    std::string val = FileBytes(dir / "Dated.VAL");
    const std::string bound = dbe::TValValue::Date(2010, 1, 1);
    const size_t at = val.find(bound);
    ASSERT_NE(at, std::string::npos);
    val.replace(at, bound.size(), std::string(4, '\xFF'));
    std::ofstream(dir / "Dated.VAL", std::ios::binary | std::ios::trunc).write(val.data(), std::streamsize(val.size()));
    const std::string below = "Field value below the minimum: table 'Dated.DB', field 'Day', value 2011-05-06, minimum 5879611-07-11";
    {
        dbe::TTable t;
        t.DatabaseName = dir.path();
        t.TableName = "Dated";
        t.Open();
        t.Append();
        t.FieldByName("Id").SetAsInteger(1);
        t.FieldByName("Day").SetAsString("2011-05-06");
        try {
            t.Post();
            ADD_FAILURE() << "posted";
        } catch (const dbe::EDBEngineError& e) {
            EXPECT_EQ(e.ErrorCode(), dbe::ecValidity);
            EXPECT_EQ(std::string(e.what()), below);
        }
        t.Cancel();
    }
    TempFolder src;
    Create(src.path(), "Dated", {Field("Id", TFieldType::Integer, 0, true), Field("Day", TFieldType::Date)});
    AppendRows(src.path(), "Dated", {{"1", "2011-05-06"}});
    dbe::TTable from, into;
    from.DatabaseName = src.path();
    from.TableName = "Dated";
    into.DatabaseName = dir.path();
    into.TableName = "Dated";
    dbe::TBatchMove m;
    m.Source = &from;
    m.Destination = &into;
    m.Mode = dbe::batAppendUpdate;
    try {
        m.Execute();
        ADD_FAILURE() << "moved";
    } catch (const dbe::EDBEngineError& e) {
        EXPECT_NE(std::string(e.what()).find("minimum 5879611-07-11"), std::string::npos) << e.what();
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
