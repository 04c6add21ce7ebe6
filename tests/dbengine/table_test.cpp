// Tables: typed values and their edge cases, keyed order, the row walk, corrupt files and
// safe writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "dbengine/dbengine.h"
#include "fileio.h"
#include "tabledata.h"
#include "test_util.h"

using namespace dbe;
using dbe::detail::CreateSpec;
using kxtest::Field;
using kxtest::ScratchDir;

namespace {

CreateSpec AllTypesSpec(int level, int blockSize) {
    CreateSpec s;
    s.tableName = "AllTypes";
    s.level = level;
    s.blockSize = blockSize;
    s.codePage = 1251;
    s.sortOrder = "ancyrr";
    s.fields = {Field("Id", TFieldType::Integer, 0, true), Field("Name", TFieldType::String, 20),
                Field("Small", TFieldType::Smallint), Field("Flag", TFieldType::Boolean),
                Field("Day", TFieldType::Date), Field("At", TFieldType::Time),
                Field("Note", TFieldType::Memo, 10), Field("Pic", TFieldType::Graphic, 0),
                Field("Amount", TFieldType::Float), Field("Money", TFieldType::Currency),
                Field("Stamp", TFieldType::TimeStamp), Field("Raw", TFieldType::Bytes, 4)};
    return s;
}

struct Row {
    int32_t id;
    TValue name, small, flag, day, at, note, pic, amount, money, stamp, raw;
};

std::vector<Row> EdgeRows() {
    std::string cyr(20, '\0');
    for (int i = 0; i < 20; ++i) cyr[static_cast<std::size_t>(i)] = static_cast<char>(0xC0 + i);  // full width, cp1251
    std::string bigMemo(5000, 'x');
    for (std::size_t i = 0; i < bigMemo.size(); ++i) bigMemo[i] = static_cast<char>('a' + i % 26);
    std::string pic("\x00\x01\x02\xFF\x00picture", 12);
    return {
        {1, std::string("plain"), int32_t(32767), true, TDate{1899, 12, 31}, int64_t(0),
         std::string("short"), pic, 3.25, 1234.5, 63000000000000.0, std::string("\x01\x02\x03\x04", 4)},
        {2, cyr, int32_t(-32767), false, TDate{2039, 1, 19}, int64_t(86399999),
         bigMemo, std::monostate{}, -0.125, -99.99, std::monostate{}, std::monostate{}},
        {-2147483647, std::monostate{}, int32_t(0), std::monostate{}, TDate{1, 1, 1}, int64_t(43200000),
         std::string("exactly10!"), std::monostate{}, 0.0, std::monostate{}, std::monostate{}, std::monostate{}},
        {2147483647, std::string(""), std::monostate{}, true, TDate{9999, 12, 31}, std::monostate{},
         std::monostate{}, std::string(70000, '\x7F'), 1e300, 0.01, std::monostate{}, std::monostate{}},
    };
}

void WriteRows(TTable& t, const std::vector<Row>& rows) {
    for (auto& r : rows) {
        t.Append();
        t.FieldByName("Id").SetAsInteger(r.id);
        t.FieldByName("Name").SetValue(r.name);
        t.FieldByName("Small").SetValue(r.small);
        t.FieldByName("Flag").SetValue(r.flag);
        t.FieldByName("Day").SetValue(r.day);
        t.FieldByName("At").SetValue(r.at);
        t.FieldByName("Note").SetValue(r.note);
        t.FieldByName("Pic").SetValue(r.pic);
        t.FieldByName("Amount").SetValue(r.amount);
        t.FieldByName("Money").SetValue(r.money);
        t.FieldByName("Stamp").SetValue(r.stamp);
        t.FieldByName("Raw").SetValue(r.raw);
        t.Post();
    }
}

// Empty Alpha is stored blank, and blank is null in this format.
TValue Normalised(const TValue& v) {
    if (auto s = std::get_if<std::string>(&v); s && s->empty()) return std::monostate{};
    return v;
}

}  // namespace

class AllTypesRoundTrip : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(AllTypesRoundTrip, EveryWrittenTypeAndEdgeValueReadsBackEqual) {
    auto [level, blockSize] = GetParam();
    ScratchDir dir("types");
    detail::CreateTable(dir.str(), AllTypesSpec(level, blockSize));
    auto rows = EdgeRows();
    {
        TTable t;
        t.DatabaseName = dir.str();
        t.TableName = "AllTypes.DB";
        t.Open();
        WriteRows(t, rows);
        t.Close();
    }
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "alltypes";
    t.Open();
    ASSERT_EQ(t.RecordCount(), static_cast<int>(rows.size()));
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.id < b.id; });
    std::size_t i = 0;
    for (t.First(); !t.Eof(); t.Next(), ++i) {
        SCOPED_TRACE("row " + std::to_string(i));
        const Row& r = rows[i];
        EXPECT_EQ(t.FieldByName("Id").AsInteger(), r.id);
        EXPECT_EQ(t.FieldByName("Name").Value(), Normalised(r.name));
        EXPECT_EQ(t.FieldByName("Small").Value(), r.small);
        EXPECT_EQ(t.FieldByName("Flag").Value(), r.flag);
        EXPECT_EQ(t.FieldByName("Day").Value(), r.day);
        EXPECT_EQ(t.FieldByName("At").Value(), r.at);
        EXPECT_EQ(t.FieldByName("Note").Value(), r.note);
        EXPECT_EQ(t.FieldByName("Pic").Value(), r.pic);
        EXPECT_EQ(t.FieldByName("Amount").Value(), r.amount);
        EXPECT_EQ(t.FieldByName("Money").Value(), r.money);
        EXPECT_EQ(t.FieldByName("Stamp").Value(), r.stamp);
        EXPECT_EQ(t.FieldByName("Raw").Value(), r.raw);
    }
    EXPECT_EQ(i, rows.size());
}

INSTANTIATE_TEST_SUITE_P(LevelsAndBlocks, AllTypesRoundTrip,
                         ::testing::Values(std::make_pair(7, 1024), std::make_pair(7, 2048),
                                           std::make_pair(7, 3072), std::make_pair(7, 4096),
                                           std::make_pair(5, 4096)));

TEST(FieldValues, TextFormsAndNullsOfTheTypedFields) {
    ScratchDir dir("text");
    CreateSpec s;
    s.tableName = "T";
    s.fields = {Field("A", TFieldType::String, 5), Field("S", TFieldType::Smallint),
                Field("L", TFieldType::Boolean), Field("D", TFieldType::Date),
                Field("T", TFieldType::Time), Field("I", TFieldType::Integer)};
    detail::CreateTable(dir.str(), s);
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "T";
    t.Open();
    t.Append();
    EXPECT_TRUE(t.FieldByName("a").IsNull());
    t.FieldByName("S").SetAsString("-12");
    t.FieldByName("L").SetAsString("True");
    t.FieldByName("D").SetAsString("2010-12-31");
    t.FieldByName("T").SetAsString("23:59:59.999");
    t.FieldByName("I").SetAsString("");
    t.Post();
    EXPECT_EQ(t.FieldByName("S").AsString(), "-12");
    EXPECT_EQ(t.FieldByName("L").AsString(), "True");
    EXPECT_EQ(t.FieldByName("D").AsString(), "2010-12-31");
    EXPECT_EQ(t.FieldByName("T").AsString(), "23:59:59.999");
    EXPECT_TRUE(t.FieldByName("I").IsNull());
    EXPECT_EQ(t.FieldByName("I").AsString(), "");
    EXPECT_TRUE(t.FieldByName("A").IsNull());

    t.Edit();
    // Values that the format cannot hold are refused, never stored as something else.
    EXPECT_THROW(t.FieldByName("S").SetAsInteger(-32768), EDBEngineError);   // would be blank
    EXPECT_THROW(t.FieldByName("S").SetAsInteger(40000), EDBEngineError);
    EXPECT_THROW(t.FieldByName("I").SetValue(int64_t(-2147483648LL)), EDBEngineError);
    EXPECT_THROW(t.FieldByName("A").SetAsString("toolong"), EDBEngineError);
    EXPECT_THROW(t.FieldByName("S").SetAsString("abc"), rtl::EConvertError);
    EXPECT_THROW(t.FieldByName("D").SetAsString("2011-02-29"), rtl::EConvertError);
    EXPECT_THROW(t.FieldByName("T").SetAsString("24:00:00"), rtl::EConvertError);
    t.Cancel();
    EXPECT_EQ(t.FieldByName("S").AsInteger(), -12);
}

TEST(FieldValues, StoredBytesFollowTheFormat) {
    ScratchDir dir("bytes");
    CreateSpec s;
    s.tableName = "B";
    s.fields = {Field("S", TFieldType::Smallint), Field("I", TFieldType::Integer),
                Field("L", TFieldType::Boolean), Field("D", TFieldType::Date)};
    std::string path = detail::CreateTable(dir.str(), s);
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "B";
    t.Open();
    t.Append();
    t.FieldByName("S").SetAsInteger(-1);
    t.FieldByName("I").SetAsInteger(1);
    t.FieldByName("L").SetAsBoolean(false);
    t.FieldByName("D").SetAsDate(TDate{1, 1, 1});
    t.Post();
    t.Close();
    std::string db = kxtest::ReadAll(path);
    std::size_t rec = static_cast<unsigned char>(db[2]) | (static_cast<unsigned char>(db[3]) << 8);
    std::string got = db.substr(rec + 6, 11);
    EXPECT_EQ(got, std::string("\x7F\xFF" "\x80\x00\x00\x01" "\x80" "\x80\x00\x00\x01", 11));
}

TEST(KeyedTable, KeepsKeyOrderThroughInsertUpdateAndDelete) {
    ScratchDir dir("keyed");
    CreateSpec s;
    s.tableName = "K";
    s.codePage = 1251;
    s.sortOrder = "ancyrr";
    s.blockSize = 1024;
    s.fields = {Field("Code", TFieldType::Integer, 0, true), Field("Name", TFieldType::String, 30)};
    detail::CreateTable(dir.str(), s);
    std::vector<int> keys(600);
    for (int i = 0; i < 600; ++i) keys[static_cast<std::size_t>(i)] = i * 3;
    std::shuffle(keys.begin(), keys.end(), std::mt19937(7));
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "K.DB";
    t.Open();
    for (int k : keys) {
        t.Append();
        t.FieldByName("Code").SetAsInteger(k);
        t.FieldByName("Name").SetAsString("n" + std::to_string(k));
        t.Post();
    }
    // Duplicate key: the engine error, and the row stays in insert state until cancelled.
    t.Append();
    t.FieldByName("Code").SetAsInteger(9);
    try {
        t.Post();
        FAIL() << "duplicate key accepted";
    } catch (const EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), ecKeyViolation);
    }
    t.Cancel();
    // Non-key update, key update that moves the row, key update onto an existing key, delete.
    for (t.First(); !t.Eof(); t.Next()) {
        int k = t.FieldByName("Code").AsInteger();
        if (k == 30) {
            t.Edit();
            t.FieldByName("Name").SetAsString("renamed");
        } else if (k == 90) {
            t.Edit();
            t.FieldByName("Code").SetAsInteger(93);
            EXPECT_THROW(t.Post(), EDBEngineError);
            t.Cancel();
        } else if (k == 120) {
            t.Delete();
            EXPECT_EQ(t.FieldByName("Code").AsInteger(), 123);   // the next row is current
        }
    }
    // A key update moves the row; the cursor follows it to its new place (here the end).
    for (t.First(); t.FieldByName("Code").AsInteger() != 60; t.Next()) {}
    t.Edit();
    t.FieldByName("Code").SetAsInteger(100000);
    t.Post();
    EXPECT_EQ(t.FieldByName("Name").AsString(), "n60");
    t.Next();
    EXPECT_TRUE(t.Eof());
    t.Close();

    t.Open();
    EXPECT_EQ(t.RecordCount(), 599);
    int prev = -1, n = 0;
    bool renamed = false, moved = false;
    for (t.First(); !t.Eof(); t.Next(), ++n) {
        int k = t.FieldByName("Code").AsInteger();
        EXPECT_LT(prev, k);
        prev = k;
        EXPECT_NE(k, 120);
        EXPECT_NE(k, 60);
        if (k == 30) renamed = t.FieldByName("Name").AsString() == "renamed";
        if (k == 100000) moved = t.FieldByName("Name").AsString() == "n60";
    }
    EXPECT_EQ(n, 599);
    EXPECT_TRUE(renamed);
    EXPECT_TRUE(moved);
    EXPECT_EQ(prev, 100000);
}

TEST(KeyedTable, AlphaKeysSortByTheCyrillicOrderIgnoringCase) {
    ScratchDir dir("alpha");
    CreateSpec s;
    s.tableName = "A";
    s.codePage = 1251;
    s.sortOrder = "ancyrr";
    s.fields = {Field("Name", TFieldType::String, 10, true)};
    detail::CreateTable(dir.str(), s);
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "A";
    t.Open();
    // cp1251: "\xC1" Б, "\xE0" а, "\xA8" Ё, "\xC5" Е, "\xC6" Ж
    for (const char* v : {"\xC1", "b", "\xE0", "A", "\xC6", "\xA8", "\xC5", "10", "c"}) {
        t.Append();
        t.FieldByName("Name").SetAsString(v);
        t.Post();
    }
    std::vector<std::string> got;
    for (t.First(); !t.Eof(); t.Next()) got.push_back(t.FieldByName("Name").AsString());
    std::vector<std::string> want = {"10", "A", "b", "c", "\xE0", "\xC1", "\xC5", "\xA8", "\xC6"};
    EXPECT_EQ(got, want);
}

TEST(RowWalk, NextPostsTheEditAndEndsAtTheLastRow) {
    ScratchDir dir("walk");
    CreateSpec s;
    s.tableName = "accgroup";
    s.fields = {Field("GroupName", TFieldType::String, 31, true), Field("Doors", TFieldType::String, 128)};
    detail::CreateTable(dir.str(), s);
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "ACCGROUP.db";
    t.Open();
    t.First();
    EXPECT_TRUE(t.Eof());   // empty table
    for (int i = 0; i < 5; ++i) {
        t.Append();
        t.FieldByName("GroupName").SetAsString("g" + std::to_string(i));
        t.FieldByName("Doors").SetAsString(std::string(static_cast<std::size_t>(40 + i * 10), 'A'));
    }
    t.Post();
    int n = 0;
    for (t.First(); !t.Eof(); ++n) {
        t.Edit();
        std::string v = t.FieldByName("doors").AsString().substr(0, 60);
        t.FieldByName("Doors").SetAsString(v + std::string(68, 'D'));
        t.Next();
    }
    EXPECT_EQ(n, 5);
    t.Close();
    t.Open();
    for (t.First(); !t.Eof(); t.Next()) {
        std::string v = t.FieldByName("Doors").AsString();
        EXPECT_EQ(v.substr(v.size() - 68), std::string(68, 'D'));
        EXPECT_LE(v.size(), 128u);
    }
    EXPECT_THROW(t.FieldByName("Nope"), EDatabaseError);
    try {
        t.FieldByName("Nope");
    } catch (const EDBEngineError&) {
        FAIL() << "an unknown field is the class library's error, not the engine's";
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Nope' not found");
    }
    EXPECT_THROW(t.FieldByName("Doors").SetAsString("x"), EDatabaseError);   // not in edit state
}

TEST(SharedTables, TwoTableObjectsOnOneFileSeeEachOthersRows) {
    ScratchDir dir("shared");
    CreateSpec s;
    s.tableName = "S";
    s.fields = {Field("Id", TFieldType::Integer, 0, true)};
    detail::CreateTable(dir.str(), s);
    TTable a, b;
    a.DatabaseName = b.DatabaseName = dir.str();
    a.TableName = "S.DB";
    b.TableName = "s.db";
    a.Open();
    b.Open();
    for (int i = 1; i <= 3; ++i) {
        a.Append();
        a.FieldByName("Id").SetAsInteger(i);
        a.Post();
    }
    b.First();
    EXPECT_EQ(b.FieldByName("Id").AsInteger(), 1);
    a.First();
    a.Delete();   // b's current row goes away
    EXPECT_EQ(b.FieldByName("Id").AsInteger(), 1);  // b still reads its copy until it moves
    EXPECT_FALSE(b.Eof());
    b.Next();
    EXPECT_FALSE(b.Eof());
    EXPECT_EQ(b.FieldByName("Id").AsInteger(), 2);
    a.Close();
    EXPECT_EQ(b.RecordCount(), 2);
    b.Close();
    TTable c;
    c.DatabaseName = dir.str();
    c.TableName = "S";
    c.Open();
    EXPECT_EQ(c.RecordCount(), 2);
}

TEST(KeyedTable, ManyInsertsInRandomOrderStayFast) {
    // 40,000 keyed inserts in random order; a quadratic insert path would take minutes.
    ScratchDir dir("bulk");
    CreateSpec s;
    s.tableName = "Bulk";
    s.level = 7;
    s.blockSize = 4096;
    s.fields = {Field("K", TFieldType::Integer, 0, true), Field("V", TFieldType::String, 40)};
    detail::CreateTable(dir.str(), s);
    std::vector<int> keys(40000);
    for (std::size_t i = 0; i < keys.size(); ++i) keys[i] = static_cast<int>(i);
    std::shuffle(keys.begin(), keys.end(), std::mt19937(1));
    auto start = std::chrono::steady_clock::now();
    TTable t;
    t.DatabaseName = dir.str();
    t.TableName = "Bulk";
    t.Open();
    for (int k : keys) {
        t.Append();
        t.FieldByName("K").SetAsInteger(k);
        t.FieldByName("V").SetAsString("value");
        t.Post();
    }
    t.Close();
    t.Open();
    EXPECT_EQ(t.RecordCount(), 40000);
    t.Close();
    auto secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(secs, 60.0);
}

TEST(TableLevels, OlderLevelsRoundTripTheirTypes) {
    for (int level : {3, 4}) {
        SCOPED_TRACE(level);
        ScratchDir dir("level");
        CreateSpec s;
        s.tableName = "Old";
        s.level = level;
        s.blockSize = 1024;
        s.fields = {Field("Name", TFieldType::String, 12, true), Field("Qty", TFieldType::Smallint),
                    Field("Day", TFieldType::Date), Field("Price", TFieldType::Currency),
                    Field("Rate", TFieldType::Float)};
        if (level == 4) s.fields.push_back(Field("Note", TFieldType::Memo, 4));
        std::string path = detail::CreateTable(dir.str(), s);
        std::string db = kxtest::ReadAll(path);
        EXPECT_EQ(static_cast<int>(db[0x39]), level == 3 ? 3 : 9);
        {
            TTable t;
            t.DatabaseName = dir.str();
            t.TableName = "Old";
            t.Open();
            for (int i = 0; i < 100; ++i) {
                t.Append();
                t.FieldByName("Name").SetAsString("item" + std::to_string(99 - i));
                t.FieldByName("Qty").SetAsInteger(i - 50);
                t.FieldByName("Day").SetAsDate(TDate{1950 + i, 1 + i % 12, 1 + i % 28});
                t.FieldByName("Price").SetAsFloat(i * 1.25);
                t.FieldByName("Rate").SetAsFloat(-i / 8.0);
                if (level == 4) t.FieldByName("Note").SetAsString(std::string(static_cast<std::size_t>(i), 'n'));
            }
            t.Close();
        }
        TTable t;
        t.DatabaseName = dir.str();
        t.TableName = "Old";
        t.Open();
        EXPECT_EQ(t.RecordCount(), 100);
        t.First();
        EXPECT_EQ(t.FieldByName("Name").AsString(), "item0");
        EXPECT_EQ(t.FieldByName("Qty").AsInteger(), 49);
        EXPECT_EQ(t.FieldByName("Day").AsString(), "2049-04-16");
        EXPECT_EQ(t.FieldByName("Price").AsFloat(), 99 * 1.25);
        if (level == 4) {
            EXPECT_EQ(t.FieldByName("Note").AsString(), std::string(99, 'n'));
        }
    }
    // Types a level cannot hold are refused when the table is created.
    ScratchDir dir("refuse");
    CreateSpec s;
    s.tableName = "Bad";
    s.level = 3;
    s.fields = {Field("Flag", TFieldType::Boolean)};
    EXPECT_THROW(detail::CreateTable(dir.str(), s), EDBEngineError);
}

TEST(TableLevels, LargeLevel7BlocksAreRead) {
    // Level 7 tables may use blocks of 16 and 32 KiB; the engine reads them.
    for (int kb : {8, 16, 32}) {
        SCOPED_TRACE(kb);
        CreateSpec s;
        s.tableName = "Wide";
        s.level = 7;
        s.blockSize = 4096;
        s.fields = {Field("Id", TFieldType::Integer, 0, true), Field("Text", TFieldType::String, 200)};
        detail::TableData t;
        t.schema = detail::SchemaFromSpec(s);
        t.schema.blockSize = kb * 1024;
        t.rows = detail::RowSet(detail::RecordLess{&t.schema});
        t.dbPath = "Wide.DB";
        for (int i = 0; i < 500; ++i) {
            auto r = t.NewRecord();
            detail::EncodeValue(t.schema, t.schema.fields[0], *r, int32_t(i));
            detail::EncodeValue(t.schema, t.schema.fields[1], *r, std::string("row ") + std::to_string(i));
            t.InsertRow(r);
        }
        auto img = detail::BuildImage(t);
        EXPECT_EQ(static_cast<int>(img.db[5]), kb);
        auto back = detail::ParseTable("Wide.DB", img.db, "", false);
        EXPECT_EQ(back->schema.blockSize, kb * 1024);
        ASSERT_EQ(back->rows.size(), 500u);
        EXPECT_EQ(std::get<std::string>(detail::DecodeValue(back->schema, back->schema.fields[1], **back->rows.rbegin())),
                  "row 499");
    }
}
