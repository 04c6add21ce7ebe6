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

TEST_F(BatchMoveTest, AppendUpdateReplacesByKeyAndFillsDefaultsOfUnmappedFieldsOnly) {
    AppendRows(dir.path(), "Src", {{"x", "2", "", "True"}, {"new", "3", "short", ""}, {"x", "4", kLongMemo, "False"}});
    Move(dbe::batAppendUpdate, {"Name=Name", "num=NUM", "Note=Note", "Flag=Flag"});
    const std::vector<Row> want = {
        {"keep", "7", "own", "", "False"},
        {"new", "3", "dflt", "short", ""},          // unmapped Extra: default; blank Flag stays blank
        {"x", "4", "dflt", kLongMemo, "False"},     // two source rows with key "x": the last one
    };
    EXPECT_EQ(ReadRows(dir.path(), "Dst"), want);
    ExpectIndexesCurrent(dir.path(), "Dst.DB", 1);
}

// Moves table `from` of folder into table `to`: "" when the move succeeded, else the class of
// its error ("engine" for EDBEngineError with its code, "other") and the message.
std::string MoveBetween(const std::string& folder, const char* from, const char* to, dbe::TBatchMode mode,
                        std::vector<std::string> mappings) {
    dbe::TTable src, dst;
    src.DatabaseName = dst.DatabaseName = folder;
    src.TableName = from;
    dst.TableName = to;
    dbe::TBatchMove bm;
    bm.Source = &src;
    bm.Destination = &dst;
    bm.Mode = mode;
    bm.Mappings = std::move(mappings);
    try {
        bm.Execute();
        return "";
    } catch (const dbe::EDBEngineError& e) {
        return "engine " + std::to_string(e.ErrorCode()) + ": " + e.Message();
    } catch (const std::exception& e) {
        return std::string("other: ") + e.what();
    }
}

// A blank that the source holds in a required field is refused, even where the field has a
// default that could stand in.
TEST_F(BatchMoveTest, MappedBlankInARequiredFieldIsRefused) {
    Create(dir.path(), "Req", {Field("Name", TFieldType::String, 20, true),
                               Required(WithDefault(Field("Num", TFieldType::Integer), "5"))});
    AppendRows(dir.path(), "Src", {{"a", "1", "", ""}, {"b", "", "", ""}});
    const std::string error = MoveBetween(dir.path(), "Src.DB", "Req.DB", dbe::batAppendUpdate, {"Name=Name", "Num=Num"});
    EXPECT_EQ(error.rfind("engine " + std::to_string(dbe::ecValidity) + ":", 0), 0u) << error;
    EXPECT_NE(error.find("Num"), std::string::npos) << error;
    EXPECT_TRUE(ReadRows(dir.path(), "Req").empty());
    // Unmapped, the default fills it.
    EXPECT_EQ(MoveBetween(dir.path(), "Src.DB", "Req.DB", dbe::batAppendUpdate, {"Name=Name"}), "");
    EXPECT_EQ(ReadRows(dir.path(), "Req"), (std::vector<Row>{{"a", "5"}, {"b", "5"}}));
}

// A source value that does not convert to its destination field's type fails the move with
// the engine's error (its cause in the message), and nothing of the move stays.
TEST_F(BatchMoveTest, ValueThatDoesNotConvertIsAnEngineErrorAndMovesNothing) {
    struct Case {
        const char* what;
        dbe::detail::FieldSpec from;
        const char* value;
        dbe::detail::FieldSpec to;
        const char* cause;
    };
    const Case cases[] = {
        {"Alpha into Long Integer", Field("V", TFieldType::String, 10), "A-12", Field("V", TFieldType::Integer),
         "A-12"},
        {"Date into Short", Field("V", TFieldType::Date), "2005-03-04", Field("V", TFieldType::Smallint), "V"},
        {"Alpha into Time", Field("V", TFieldType::String, 10), "late", Field("V", TFieldType::Time), "late"},
        {"Alpha into Date", Field("V", TFieldType::String, 10), "31.02.05", Field("V", TFieldType::Date), "31.02.05"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder d;
        Create(d.path(), "From", {Field("K", TFieldType::Integer), c.from});
        Create(d.path(), "To", {Field("K", TFieldType::Integer, 0, true), c.to});
        AppendRows(d.path(), "From", {{"1", ""}, {"2", c.value}, {"3", ""}});
        AppendRows(d.path(), "To", {{"9", ""}});
        const auto before = Snapshot(d.path());
        const std::string error = MoveBetween(d.path(), "From.DB", "To.DB", dbe::batAppendUpdate, {"K=K", "V=V"});
        EXPECT_EQ(error.rfind("engine ", 0), 0u) << error;
        EXPECT_NE(error.find(c.cause), std::string::npos) << error;
        EXPECT_NE(error.find("To.DB"), std::string::npos) << error;
        EXPECT_EQ(Snapshot(d.path()), before);
        // The copy that a caller falls back on carries the row over in the source's type.
        EXPECT_EQ(MoveBetween(d.path(), "From.DB", "To.DB", dbe::batCopy, {"K=K", "V=V"}), "");
        EXPECT_EQ(ReadRows(d.path(), "To.DB").size(), 3u);
    }
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
