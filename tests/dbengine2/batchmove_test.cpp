// Batch moves: append-update (key replacement, defaults of unmapped fields, checks, BLOBs,
// field-name errors), the all-or-nothing rule, and copy mode over an existing keyed table.
#include "dbe2_fixture.h"
#include "index_check.h"

namespace dbe2test {
namespace {

using dbe::TFieldType;

const std::string kLongMemo(5000, 'm');

class BatchMoveTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Source: unkeyed, so it can hold two rows with one key.
        Create(dir.path(), "Src", {Field("Name", TFieldType::String, 20), Field("Num", TFieldType::Integer),
                                   Field("Note", TFieldType::Memo, 10), Field("Flag", TFieldType::Boolean)});
        // Destination: keyed, checked, with a secondary index and a BLOB file.
        Create(dir.path(), "Dst",
               {Field("Name", TFieldType::String, 20, true), WithMax(WithMin(Field("Num", TFieldType::Integer), "0"), "100"),
                WithDefault(Field("Extra", TFieldType::String, 10), "dflt"), Field("Note", TFieldType::Memo, 10),
                WithDefault(Field("Flag", TFieldType::Boolean), "True")},
               {{"IndNum", {"Num"}}});
        AppendRows(dir.path(), "Dst", {{"keep", "7", "own", "", "False"}, {"x", "1", "old", "old memo", "False"}});
    }
    void Move(dbe::TBatchMode mode, std::vector<std::string> mappings) {
        dbe::TTable src, dst;
        src.DatabaseName = dir.path();
        src.TableName = "Src.DB";
        dst.DatabaseName = dir.path();
        dst.TableName = "Dst.DB";
        src.Open();
        dbe::TBatchMove bm;
        bm.Source = &src;
        bm.Destination = &dst;
        bm.Mode = mode;
        bm.Mappings = std::move(mappings);
        bm.Execute();
        src.Close();
    }
    TempFolder dir;
};

TEST_F(BatchMoveTest, AppendUpdateReplacesByKeyAndFillsDefaults) {
    AppendRows(dir.path(), "Src", {{"x", "2", "", "True"}, {"new", "3", "short", ""}, {"x", "4", kLongMemo, "False"}});
    Move(dbe::batAppendUpdate, {"Name=Name", "num=NUM", "Note=Note", "Flag=Flag"});
    const std::vector<Row> want = {
        {"keep", "7", "own", "", "False"},
        {"new", "3", "dflt", "short", "True"},      // unmapped Extra and null Flag: defaults
        {"x", "4", "dflt", kLongMemo, "False"},     // two source rows with key "x": the last one
    };
    EXPECT_EQ(ReadRows(dir.path(), "Dst"), want);
    ExpectIndexesCurrent(dir.path(), "Dst.DB", 1);
}

TEST_F(BatchMoveTest, MappingNameMissingOnEitherSideIsADatabaseErrorNotAnEngineError) {
    AppendRows(dir.path(), "Src", {{"y", "1", "", ""}});
    const auto before = Snapshot(dir.path());
    const std::vector<std::vector<std::string>> lists = {{"Name=Name", "Gone=Gone"}, {"Name=Name", "Extra=Extra"}};
    const char* missing[] = {"Gone", "Extra"};
    for (size_t i = 0; i < lists.size(); ++i) {
        SCOPED_TRACE(i);
        try {
            Move(dbe::batAppendUpdate, lists[i]);
            ADD_FAILURE() << "no error";
        } catch (const dbe::EDBEngineError& e) {
            ADD_FAILURE() << "engine error class: " << e.Message();
        } catch (const dbe::EDatabaseError& e) {
            EXPECT_EQ(e.Message(), std::string("Field '") + missing[i] + "' not found");
            EXPECT_STREQ(e.ClassName(), "EDatabaseError");
        }
    }
    EXPECT_EQ(Snapshot(dir.path()), before);
}

TEST_F(BatchMoveTest, MoveFailingOnACheckLeavesTheDestinationAsItWas) {
    // The bad row comes after good ones: nothing of the move may stay.
    AppendRows(dir.path(), "Src", {{"a", "5", "memo a", ""}, {"x", "9", "", ""}, {"z", "500", "", ""}});
    const auto before = Snapshot(dir.path());
    try {
        Move(dbe::batAppendUpdate, {"Name=Name", "Num=Num", "Note=Note"});
        FAIL() << "no error";
    } catch (const dbe::EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), dbe::ecValidity);
        EXPECT_NE(e.Message().find("Num"), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("500"), std::string::npos) << e.Message();
    }
    EXPECT_EQ(Snapshot(dir.path()), before);
    EXPECT_EQ(ReadRows(dir.path(), "Dst").size(), 2u);
}

TEST_F(BatchMoveTest, AppendToAMissingTableIsAnEngineError) {
    dbe::TTable src, dst;
    src.DatabaseName = dst.DatabaseName = dir.path();
    src.TableName = "Src.DB";
    dst.TableName = "Nowhere.DB";
    src.Open();
    dbe::TBatchMove bm;
    bm.Source = &src;
    bm.Destination = &dst;
    bm.Mode = dbe::batAppendUpdate;
    bm.Mappings = {"Name=Name"};
    EXPECT_THROW(bm.Execute(), dbe::EDBEngineError);
    EXPECT_FALSE(fs::exists(dir / "Nowhere.DB"));
    // The copy that follows creates it from the source.
    AppendRows(dir.path(), "Src.DB", {{"q", "1", "", ""}});
    src.Close();
    src.Open();
    bm.Mode = dbe::batCopy;
    bm.Execute();
    EXPECT_EQ(ReadRows(dir.path(), "Nowhere.DB"), (std::vector<Row>{{"q"}}));
}

TEST_F(BatchMoveTest, CopyReplacesTheWholeFamilyWithAnUnkeyedTable) {
    AppendRows(dir.path(), "Src", {{"b", "-3", kLongMemo, "True"}, {"a", "", "", ""}, {"b", "200", "tiny", "False"}});
    Move(dbe::batCopy, {"Name=Name", "Num=Num", "Note=Note"});
    // Old family (.PX, .VAL, .XG0/.YG0) gone; the copy has a BLOB file for its memo.
    std::vector<std::string> dstFiles;
    for (const std::string& n : FileNames(dir.path()))
        if (n.rfind("Dst.", 0) == 0) dstFiles.push_back(n);
    EXPECT_EQ(dstFiles, (std::vector<std::string>{"Dst.DB", "Dst.MB"}));
    EXPECT_EQ(FieldNames(dir.path(), "Dst"), (std::vector<std::string>{"Name", "Num", "Note"}));
    dbe::TTable t;
    t.DatabaseName = dir.path();
    t.TableName = "Dst.DB";
    t.Open();
    EXPECT_EQ(t.KeyFieldCount(), 0);
    EXPECT_EQ(t.FieldDefs()[2].DataType, TFieldType::Memo);
    EXPECT_EQ(t.FieldDefs()[2].Size, 10);
    t.Close();
    // Every source row, in source order, duplicates and out-of-range values included.
    const std::vector<Row> want = {{"b", "-3", kLongMemo}, {"a", "", ""}, {"b", "200", "tiny"}};
    EXPECT_EQ(ReadRows(dir.path(), "Dst"), want);
    // No work folder is left behind.
    for (const auto& e : fs::directory_iterator(dir.path())) EXPECT_FALSE(e.is_directory()) << e.path();
}

TEST_F(BatchMoveTest, CopyKeepsRequiredFlagsAndAFailedAppendThenCopyStartsFromTheOldTable) {
    Create(dir.path(), "Src2", {Required(Field("Code", TFieldType::Smallint)), Field("Name", TFieldType::String, 5)});
    AppendRows(dir.path(), "Src2", {{"1", "one"}, {"2", "two"}});
    dbe::TTable src, dst;
    src.DatabaseName = dst.DatabaseName = dir.path();
    src.TableName = "Src2.DB";
    dst.TableName = "Dst.DB";
    src.Open();
    dbe::TBatchMove bm;
    bm.Source = &src;
    bm.Destination = &dst;
    bm.Mode = dbe::batAppendUpdate;
    bm.Mappings = {"Code=Code", "Name=Name"};
    EXPECT_THROW(bm.Execute(), dbe::EDatabaseError);  // Dst has no Code
    bm.Mode = dbe::batCopy;
    bm.Execute();
    EXPECT_EQ(ReadRows(dir.path(), "Dst"), (std::vector<Row>{{"1", "one"}, {"2", "two"}}));
    dbe::TTable t;
    t.DatabaseName = dir.path();
    t.TableName = "Dst.DB";
    t.Open();
    EXPECT_TRUE(t.FieldDefs()[0].Required);
    EXPECT_FALSE(t.FieldDefs()[1].Required);
}

TEST_F(BatchMoveTest, GraphicValuesTravelWithTheRowInAppendUpdateAndCopy) {
    Create(dir.path(), "PicSrc", {Field("Name", TFieldType::String, 10), Field("Photo", TFieldType::Graphic, 0)});
    Create(dir.path(), "PicDst", {Field("Name", TFieldType::String, 10, true), Field("Photo", TFieldType::Graphic, 0)});
    const std::string small("\x01\x00\x00\x01\x04\x00\x00\x00\x89PNG", 12);
    std::string big(70000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 31 % 251);
    {
        dbe::TTable t;
        t.DatabaseName = dir.path();
        t.TableName = "PicSrc.DB";
        t.Open();
        const std::pair<const char*, const std::string*> rows[] = {{"a", &small}, {"b", nullptr}, {"c", &big}};
        for (const auto& [name, pic] : rows) {
            t.Append();
            t.FieldByName("Name").SetAsString(name);
            if (pic) t.FieldByName("Photo").SetAsBlob(*pic);
            t.Post();
        }
        t.Close();
    }
    AppendRows(dir.path(), "PicDst", {{"c", "old picture"}});
    for (dbe::TBatchMode mode : {dbe::batAppendUpdate, dbe::batCopy}) {
        SCOPED_TRACE(mode);
        dbe::TTable src, dst;
        src.DatabaseName = dst.DatabaseName = dir.path();
        src.TableName = "PicSrc.DB";
        dst.TableName = "PicDst.DB";
        dbe::TBatchMove bm;
        bm.Source = &src;
        bm.Destination = &dst;
        bm.Mode = mode;
        bm.Mappings = {"Name=Name", "Photo=Photo"};
        bm.Execute();
        dst.Open();
        std::vector<std::pair<std::string, std::string>> got;
        for (dst.First(); !dst.Eof(); dst.Next())
            got.push_back({dst.FieldByName("Name").AsString(), dst.FieldByName("Photo").AsBlob()});
        dst.Close();
        EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{{"a", small}, {"b", ""}, {"c", big}}));
    }
}

}  // namespace
}  // namespace dbe2test
