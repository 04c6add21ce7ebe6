// The new database's archive as the build packs it: its members, how each is packed, and the
// empty tables it unpacks into (read back by our engine and, independently, by pxlib).
#include <gtest/gtest.h>
#include <zip.h>

// pxlib's header declares its C functions without C linkage.
extern "C" {
#include <paradox.h>
}

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "converters/archive.h"
#include "dbengine/errors.h"
#include "dbengine/table.h"
#include "test_folders.h"

namespace fs = std::filesystem;

namespace {

const std::set<std::string> kMembers = {
    "Accgroup.DB", "Accgroup.PX", "Accgroup.VAL", "Accgroup.XG0", "Accgroup.YG0",
    "Accgroup.XG1", "Accgroup.YG1", "Depart.DB", "Depart.PX", "Depart.VAL",
    "Doors.DB", "Doors.PX", "Doors.VAL", "Doors.MB", "Doors.XG0", "Doors.YG0",
    "Exnames.DB", "Exnames.PX", "Holidays.DB", "Holidays.PX", "Holidays.VAL",
    "Operator.DB", "Operator.PX", "Operator.VAL", "Personel.DB", "Personel.PX",
    "Personel.VAL", "Personel.MB", "Personel.XG0", "Personel.YG0", "Personel.XG1",
    "Personel.YG1", "Timeprof.DB", "Timeprof.PX", "Timeprof.VAL", "Timeprof.XG0",
    "Timeprof.YG0", "Trandef.DB", "Trandef.PX", "Trandef.VAL", "DBDWORK.INI"};

struct TableFacts {
    const char* name;
    int level;
    int recordSize;
};
const TableFacts kTables[] = {
    {"Accgroup", 5, 285}, {"Depart", 5, 259}, {"Doors", 7, 815},
    {"Exnames", 4, 248},  {"Holidays", 5, 39}, {"Operator", 5, 132},
    {"Personel", 7, 1239}, {"Timeprof", 7, 121}, {"Trandef", 5, 82}};

std::string ArchiveBytes() {
    std::ifstream in(KX_SCHEMA_ARCHIVE, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class SchemaArchive : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = ArchiveBytes();
        ASSERT_FALSE(bytes_.empty()) << KX_SCHEMA_ARCHIVE;
        folder_ = kxtest::FreshFolder("schema_archive");
        conv::TArchiveReader reader(bytes_.data(), bytes_.size());
        reader.ExtractAll(folder_.string() + "/");
    }
    std::string bytes_;
    fs::path folder_;
};

}  // namespace

TEST_F(SchemaArchive, HoldsTheFortyOneMembersPackedAsRequired) {
    int err = 0;
    zip_t* za = zip_open(KX_SCHEMA_ARCHIVE, ZIP_RDONLY | ZIP_CHECKCONS, &err);
    ASSERT_NE(za, nullptr);
    std::set<std::string> names;
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t st;
        ASSERT_EQ(zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st), 0);
        const std::string name = st.name;
        names.insert(name);
        EXPECT_EQ(st.encryption_method, ZIP_EM_NONE) << name;
        EXPECT_EQ(name.find_first_of("/\\"), std::string::npos) << name;
        EXPECT_EQ(st.comp_method, name == "DBDWORK.INI" ? ZIP_CM_STORE : ZIP_CM_DEFLATE) << name;
    }
    zip_close(za);
    EXPECT_EQ(n, 41);
    for (const auto& m : kMembers) EXPECT_TRUE(names.count(m)) << "missing member " << m;
    for (const auto& m : names) EXPECT_TRUE(kMembers.count(m)) << "unexpected member " << m;

    std::ifstream ini(folder_ / "DBDWORK.INI", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(ini)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "\r\n");
}

TEST_F(SchemaArchive, EveryTableOpensEmptyWithItsRecordSize) {
    for (const auto& t : kTables) {
        SCOPED_TRACE(t.name);
        dbe::TTable table;
        table.DatabaseName = folder_.string();
        table.TableName = std::string(t.name) + ".DB";
        ASSERT_NO_THROW(table.Open());
        EXPECT_EQ(table.RecordCount(), 0);
        table.Close();

        // pxlib, an independent reader, agrees on the table and its primary index.
        pxdoc_t* px = PX_new();
        ASSERT_EQ(PX_open_file(px, (folder_ / (std::string(t.name) + ".DB")).c_str()), 0);
        EXPECT_EQ(px->px_head->px_recordsize, t.recordSize);
        EXPECT_EQ(px->px_head->px_numrecords, 0);
        EXPECT_EQ(px->px_head->px_doscodepage, 1251);
        EXPECT_EQ(px->px_head->px_fileversion, t.level * 10);
        PX_close(px);
        PX_delete(px);

        pxdoc_t* index = PX_new();
        ASSERT_EQ(PX_open_file(index, (folder_ / (std::string(t.name) + ".PX")).c_str()), 0);
        EXPECT_EQ(index->px_head->px_numrecords, 0);
        PX_close(index);
        PX_delete(index);
    }
}

namespace {

// Appends one row to a table of folder, setting the given fields; true when it was stored.
struct FieldValue {
    const char* field;
    const char* value;
};
bool TryAppend(const fs::path& folder, const char* table, std::initializer_list<FieldValue> values) {
    dbe::TTable t;
    t.DatabaseName = folder.string();
    t.TableName = table;
    t.Open();
    t.Append();
    for (const auto& v : values) t.FieldByName(v.field).SetAsString(v.value);
    bool stored = true;
    try {
        t.Post();
    } catch (const dbe::EDBEngineError&) {
        stored = false;
        t.Cancel();
    }
    t.Close();
    return stored;
}

std::string FirstRowField(const fs::path& folder, const char* table, const char* field) {
    dbe::TTable t;
    t.DatabaseName = folder.string();
    t.TableName = table;
    t.Open();
    t.First();
    std::string v = t.Eof() ? "<no row>" : t.FieldByName(field).AsString();
    t.Close();
    return v;
}

}  // namespace

TEST_F(SchemaArchive, NewTablesApplyTheirDefaultsAndChecks) {
    ASSERT_TRUE(TryAppend(folder_, "Accgroup.DB", {{"GroupName", "Guests"}}));
    EXPECT_EQ(FirstRowField(folder_, "Accgroup.DB", "Doors"), std::string(128, 'D'));

    ASSERT_TRUE(TryAppend(folder_, "Doors.DB", {{"IPAddr", "10.0.0.1"}, {"Line", "0"}}));
    EXPECT_EQ(FirstRowField(folder_, "Doors.DB", "COMPort"), "2");
    EXPECT_EQ(FirstRowField(folder_, "Doors.DB", "ContrAddr"), "126");

    struct Refused {
        const char* table;
        std::initializer_list<FieldValue> values;
    };
    const Refused refused[] = {
        {"Depart.DB", {{"DeptName", ""}, {"WorkStart", "08:00:00"}}},
        {"Depart.DB", {{"DeptName", "Sales"}, {"WorkStart", ""}}},
        {"Holidays.DB", {{"HolidayMounth", "13"}, {"HolidayDay", "1"}}},
        {"Holidays.DB", {{"HolidayMounth", "1"}, {"HolidayDay", "32"}}},
        {"Doors.DB", {{"IPAddr", "a"}, {"COMPort", "5"}}},
        {"Doors.DB", {{"IPAddr", "b"}, {"LockTime", "256"}}},
        {"Depart.DB", {{"DeptName", "Sales"}, {"NoCheckTime", "31"}}},
        {"Personel.DB", {{"FirstName", "Ivan"}, {"TabNum", "1000000"}}},
    };
    for (std::size_t i = 0; i < std::size(refused); ++i)
        EXPECT_FALSE(TryAppend(folder_, refused[i].table, refused[i].values)) << "case " << i;
}

namespace {

// What `dbtool info` says of an unpacked table, without the file version line.
std::string InfoOf(const fs::path& table) {
    const std::string command = std::string("\"") + KX_DBTOOL + "\" info \"" + table.string() + "\"";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return "<cannot run " + command + ">";
    std::string out, line;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        line += buffer;
        if (line.back() != '\n') continue;
        if (line.rfind("fileversion ", 0) != 0) out += line;
        line.clear();
    }
    const int status = pclose(pipe);
    if (status != 0) out += "<dbtool ended with " + std::to_string(status) + ">\n";
    return out + line;
}

// The expected text of each table, from the fixture (lines after "table NAME" up to the next).
std::map<std::string, std::string> ExpectedTables() {
    std::ifstream in(KX_EXPECTED_TABLES);
    std::map<std::string, std::string> tables;
    std::string current;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("table ", 0) == 0) current = line.substr(6);
        tables[current] += line + "\n";
    }
    return tables;
}

}  // namespace

// Every field of every unpacked table with its type, size, key flag and validity checks, and
// every secondary index, as the new version defines them.
TEST_F(SchemaArchive, UnpackedTablesCarryEveryFieldCheckAndIndex) {
    const auto expected = ExpectedTables();
    ASSERT_EQ(expected.size(), std::size(kTables)) << KX_EXPECTED_TABLES;
    for (const auto& t : kTables) {
        const std::string file = std::string(t.name) + ".DB";
        SCOPED_TRACE(file);
        ASSERT_EQ(expected.count(file), 1u);
        EXPECT_EQ(InfoOf(folder_ / file), expected.at(file));
    }
}
