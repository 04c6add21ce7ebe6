// The conversion of saved databases of both old versions into the new tables: every saved row
// arrives, rows that meet on the new key end as one, a table the new database lacks is copied,
// a table that cannot be moved at all is named by the error after the rest is converted, and
// the access-group door strings are widened.
//
// Natively the common conversion runs directly; under Wine the converters' own Convert
// exports run it (Ardvane for L2.1, Belvane for L2.5), reading the new database's alias from
// the engine's configuration file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "converters/archive.h"
#include "converters/conversion.h"
#include "dbengine/errors.h"
#include "dbengine/session.h"
#include "dbengine/table.h"
#include "old_database.h"
#include "tabledata.h"
#include "test_util.h"
#include "test_folders.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iterator>
#endif

namespace {

using kxtest::fs::path;

struct Places {
    path saved;
    path installed;
};

#ifdef _WIN32
// Under Wine the converter reads the saved folder from the temporary folder and the new
// database's alias from the configuration file named by KX_DBENGINE_CONFIG.
Places PreparePlaces(const std::string& name) {
    // A temporary folder of this test program's own, so that its tmpDB is no other test's.
    static const path ownTemp = [] {
        const path t = kxtest::FreshFolder("temp");
        SetEnvironmentVariableA("TMP", t.string().c_str());
        SetEnvironmentVariableA("TEMP", t.string().c_str());
        return t;
    }();
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    EXPECT_EQ(path(temp), ownTemp / "");
    // A converter's engine reads the configuration once, at its first use in the process:
    // every test of this process uses the same folder for the new database.
    static const path base = kxtest::FreshFolder("newdb");
    Places p{path(temp) / "tmpDB", base / "KorvixNet"};
    std::error_code ec;
    kxtest::fs::remove_all(p.saved, ec);
    kxtest::fs::remove_all(p.installed, ec);
    kxtest::fs::create_directories(base);
    (void)name;
    const path config = base / "dbengine.cfg";
    std::ofstream(config) << "[KorvixNetGlobal]\nTYPE=STANDARD\nPATH=" << p.installed.string()
                          << "\nDEFAULT DRIVER=PARADOX\n";
    SetEnvironmentVariableA("KX_DBENGINE_CONFIG", config.string().c_str());
    _putenv_s("KX_DBENGINE_CONFIG", config.string().c_str());
    return p;
}

// oldConfig: the contents of "c:\a.tmp", or nullptr for none (the doors get no address).
void RunConverter(const std::string& version, const Places&, const char* oldConfig = nullptr) {
    DeleteFileA("c:\\a.tmp");
    if (oldConfig) std::ofstream("c:\\a.tmp", std::ios::binary) << oldConfig;
    const std::string dll = std::string(KX_BIN_DIR) + (version == "L2.1" ? "/Ardvane.dll" : "/Belvane.dll");
    HMODULE m = LoadLibraryA(dll.c_str());
    ASSERT_NE(m, nullptr) << dll;
    auto convert = reinterpret_cast<void(__stdcall*)()>(GetProcAddress(m, "Convert"));
    ASSERT_NE(convert, nullptr);
    convert();
    DeleteFileA("c:\\a.tmp");
}
#else
Places PreparePlaces(const std::string& name) {
    const path base = kxtest::FreshFolder(name);
    return {base / "tmpDB", base / "KorvixNet"};
}

void RunConverter(const std::string&, const Places& p) {
    dbe::TSession& s = dbe::Session();
    if (s.IsAlias("KorvixNetGlobal")) s.DeleteAlias("KorvixNetGlobal");
    s.AddStandardAlias("KorvixNetGlobal", p.installed.string(), "PARADOX");
    std::ifstream in(KX_SCHEMA_ARCHIVE, std::ios::binary);
    const std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    conv::TConverterSteps steps;
    conv::RunConversion(p.saved.string(), archive.data(), archive.size(), steps);
}
#endif

std::string AccessDoors(const std::vector<kxtest::Row>& rows, const std::string& group) {
    for (const auto& r : rows)
        if (r.at("groupname") == group) return r.at("doors");
    return "<no group " + group + ">";
}

void ExpectAccessGroupsFixed(const path& installed) {
    const auto groups = kxtest::ReadRows(installed, "Accgroup.DB");
    EXPECT_EQ(groups.size(), 5u);
    const std::string d68(68, 'D');
    const std::string p100 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    EXPECT_EQ(AccessDoors(groups, "Doors40"), p100.substr(0, 40) + d68);
    EXPECT_EQ(AccessDoors(groups, "Doors60"), p100.substr(0, 60) + d68);
    EXPECT_EQ(AccessDoors(groups, "Doors100"), p100.substr(0, 60) + d68);
    // A null door string stays null in the move (no default stands in) and the fix reads it
    // as empty.
    EXPECT_EQ(AccessDoors(groups, "DoorsNull"), d68);
    EXPECT_EQ(AccessDoors(groups, "Doors1"), "0" + d68);
}

void AppendStaleRow(const path& installed) {
    dbe::TTable t;
    t.DatabaseName = installed.string();
    t.TableName = "Trandef.DB";
    t.Open();
    t.Append();
    t.FieldByName("TranCode").SetAsInteger(77);
    t.Post();
    t.Close();
}

class Conversion : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(Conversion, EverySavedRowArrivesInTheNewTables) {
    const std::string version = GetParam();
    const Places p = PreparePlaces("convert_" + version);
    kxtest::MakeOldDatabase(version, p.saved);
    kxtest::MakeInstalledDatabase(p.installed);
    AppendStaleRow(p.installed);

    std::map<std::string, std::vector<kxtest::Row>> saved;
    for (const char* t : {"Accgroup.DB", "Depart.DB", "Doors.DB", "Holidays.DB", "Personel.DB",
                          "Timeprof.DB", "Visitors.DB"})
        if (kxtest::fs::exists(p.saved / t)) saved[t] = kxtest::ReadRows(p.saved, t);
    ASSERT_EQ(saved["Personel.DB"].size(), 300u);
    ASSERT_EQ(saved["Doors.DB"].size(), 120u);

    ASSERT_NO_FATAL_FAILURE(RunConverter(version, p));

    for (const auto& [table, rows] : saved) {
        SCOPED_TRACE(table);
        const auto now = kxtest::ReadRows(p.installed, table);
        if (table == "Holidays.DB") {
            // Two saved holidays on January 1st meet on the new key (month, day).
            EXPECT_EQ(now.size(), rows.size() - 1);
            continue;
        }
        EXPECT_EQ(now.size(), rows.size());
        std::vector<std::string> skip = {"opernum"};
        if (table == "Accgroup.DB") skip.push_back("doors");
        if (table == "Doors.DB") skip.insert(skip.end(), {"ipaddr", "line"});
        EXPECT_EQ(kxtest::MissingRows(rows, now, skip), "");
    }
    // The moved doors have no OperNum; the copied visitors keep their own structure.
    const auto doors = kxtest::ReadRows(p.installed, "Doors.DB");
    ASSERT_FALSE(doors.empty());
    EXPECT_EQ(doors.front().count("opernum"), 0u);
    EXPECT_EQ(doors.front().count("turnstile"), 1u);
    // The archive was unpacked over the installed tables.
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Trandef.DB").size(), 0u);
    ExpectAccessGroupsFixed(p.installed);
    // Card holders without a card number or an end date keep the blanks.
    int blanks = 0;
    for (const auto& r : kxtest::ReadRows(p.installed, "Personel.DB"))
        if (r.at("cardnumber").empty()) {
            ++blanks;
            EXPECT_EQ(r.at("validto"), "") << r.at("firstname");
        }
    EXPECT_EQ(blanks, 30);
}

TEST_P(Conversion, TableThatCannotBeMovedIsNamedAfterTheOthersAreConverted) {
    const std::string version = GetParam();
    const Places p = PreparePlaces("blocked_" + version);
    kxtest::MakeOldDatabase(version, p.saved, {40, 12});
    kxtest::MakeInstalledDatabase(p.installed);
    // A saved table whose name is taken in the new folder by a folder: neither the append nor
    // the copy can write it.
    kxtest::fs::copy_file(p.saved / "Visitors.DB", p.saved / "Blocked.DB");
    kxtest::fs::copy_file(p.saved / "Visitors.PX", p.saved / "Blocked.PX");
    kxtest::fs::create_directories(p.installed / "Blocked.DB");

    try {
        RunConverter(version, p);
        ADD_FAILURE() << "the unmoved table was not reported";
    } catch (const dbe::EDBEngineError& e) {
        EXPECT_NE(std::string(e.what()).find("Blocked.DB"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("Visitors.DB"), std::string::npos) << e.what();
    }
    // The tables after the unmoved one are appended again (the new structure), not copied.
    const auto persons = kxtest::ReadRows(p.installed, "Personel.DB");
    ASSERT_EQ(persons.size(), 40u);
    EXPECT_EQ(persons.front().count("inside"), 1u);
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Visitors.DB").size(), 12u);
    ExpectAccessGroupsFixed(p.installed);
}

INSTANTIATE_TEST_SUITE_P(OldVersions, Conversion, ::testing::Values("L2.1", "L2.5"),
                         [](const auto& info) { return info.param == "L2.1" ? "L21" : "L25"; });

#ifdef _WIN32
// Ardvane gives every door the server's address from the old configuration and line 0;
// Belvane leaves the saved addresses as they are.
TEST_P(Conversion, DoorAddressComesFromTheOldConfigurationOnlyForL21) {
    const std::string version = GetParam();
    const Places p = PreparePlaces("doors_" + version);
    kxtest::MakeOldDatabase(version, p.saved, {10, 12});
    kxtest::MakeInstalledDatabase(p.installed);
    const auto saved = kxtest::ReadRows(p.saved, "Doors.DB");
    ASSERT_NO_FATAL_FAILURE(RunConverter(
        version, p, "[Net]\r\nLocal=0\r\nServer=0\r\nServerIP=172.16.5.4\r\n"));
    const auto doors = kxtest::ReadRows(p.installed, "Doors.DB");
    ASSERT_EQ(doors.size(), saved.size());
    for (const auto& d : doors) {
        EXPECT_EQ(d.at("line"), "0");
        if (version == "L2.1") {
            EXPECT_EQ(d.at("ipaddr"), "172.16.5.4");
        } else {
            EXPECT_EQ(d.at("ipaddr").rfind("10.0.0.", 0), 0u) << d.at("ipaddr");
        }
    }
    EXPECT_EQ(kxtest::MissingRows(saved, doors, {"opernum", "ipaddr"}), "");
}

// The door step starts for the saved door table whatever the letter case of its file name.
TEST(ConversionOfDoors, LowerCaseDoorTableStartsTheDoorStep) {
    const Places p = PreparePlaces("lowerdoors");
    kxtest::MakeOldDatabase("L2.1", p.saved, {10, 8});
    for (const char* ext : {".DB", ".PX", ".MB"})
        if (kxtest::fs::exists(p.saved / (std::string("Doors") + ext)))
            kxtest::fs::rename(p.saved / (std::string("Doors") + ext), p.saved / (std::string("doors") + ext));
    kxtest::MakeInstalledDatabase(p.installed);
    ASSERT_NO_FATAL_FAILURE(RunConverter("L2.1", p, "[Net]\r\nLocal=0\r\nServer=0\r\nServerIP=10.9.9.9\r\n"));
    const auto doors = kxtest::ReadRows(p.installed, "Doors.DB");
    ASSERT_EQ(doors.size(), 8u);
    for (const auto& d : doors) EXPECT_EQ(d.at("ipaddr"), "10.9.9.9");
}
#endif

// An access-group table that arrives as a copy of the saved one keeps null door strings; the
// fix reads them as empty and goes on with the rows after them.
TEST(ConversionOfAccessGroups, NullDoorStringsBecomeSixtyEightD) {
    const Places p = PreparePlaces("wide");
    kxtest::fs::create_directories(p.saved);
    for (const auto& e : kxtest::fs::directory_iterator(kxtest::fs::path(KX_FIXTURE_TABLES) / "wide"))
        kxtest::fs::copy_file(e.path(), p.saved / e.path().filename());
    {
        dbe::TTable t;
        t.DatabaseName = p.saved.string();
        t.TableName = "Accgroup.DB";
        t.Open();
        const std::pair<const char*, const char*> rows[] = {
            {"A group name longer than 31 chars", nullptr},
            {"B null doors", nullptr},
            {"C forty", "0123456789012345678901234567890123456789"}};
        for (const auto& r : rows) {
            t.Append();
            t.FieldByName("GroupName").SetAsString(r.first);
            if (r.second) t.FieldByName("Doors").SetAsString(r.second);
            t.Post();
        }
        t.Close();
    }
    kxtest::MakeInstalledDatabase(p.installed);
    ASSERT_NO_FATAL_FAILURE(RunConverter("L2.5", p));
    const auto groups = kxtest::ReadRows(p.installed, "Accgroup.DB");
    ASSERT_EQ(groups.size(), 3u);
    const std::string d68(68, 'D');
    EXPECT_EQ(AccessDoors(groups, "A group name longer than 31 chars"), d68);
    EXPECT_EQ(AccessDoors(groups, "B null doors"), d68);
    EXPECT_EQ(AccessDoors(groups, "C forty"), "0123456789012345678901234567890123456789" + d68);
}

namespace {

void CopyFixture(const std::string& name, const path& folder) {
    kxtest::fs::create_directories(folder);
    for (const auto& e : kxtest::fs::directory_iterator(kxtest::fs::path(KX_FIXTURE_TABLES) / name))
        kxtest::fs::copy_file(e.path(), folder / e.path().filename(),
                              kxtest::fs::copy_options::overwrite_existing);
}

}  // namespace

// A saved field that the new table lacks is the class library's field error: no copy
// fallback, the error leaves the conversion; tables listed before it are converted, those
// after it are not.
TEST(ConversionErrors, FieldMissingInTheNewTableLeavesTheConversion) {
    const Places p = PreparePlaces("extra");
    kxtest::MakeOldDatabase("L2.1", p.saved, {20, 8});
    CopyFixture("extra", p.saved);  // Depart.DB now has the field Budget
    kxtest::MakeInstalledDatabase(p.installed);
    try {
        RunConverter("L2.1", p);
        ADD_FAILURE() << "no error";
    } catch (const dbe::EDBEngineError& e) {
        ADD_FAILURE() << "engine error instead of the field error: " << e.what();
    } catch (const dbe::EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Budget' not found");
    }
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Accgroup.DB").size(), 5u);   // before Depart
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Personel.DB").size(), 0u);   // after it
}

// No saved tables: the new tables are still unpacked and the fixes run over them.
TEST(ConversionEdges, EmptySavedFolderLeavesTheEmptyNewTables) {
    const Places p = PreparePlaces("empty");
    kxtest::fs::create_directories(p.saved);
    kxtest::MakeInstalledDatabase(p.installed);
    AppendStaleRow(p.installed);
    ASSERT_NO_FATAL_FAILURE(RunConverter("L2.1", p));
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Trandef.DB").size(), 0u);
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Doors.DB").size(), 0u);
}

// A second run unpacks the new tables again over the converted ones and converts once more.
TEST(ConversionEdges, SecondRunConvertsAgainOverTheConvertedTables) {
    const Places p = PreparePlaces("twice");
    kxtest::MakeOldDatabase("L2.5", p.saved, {30, 8});
    kxtest::MakeInstalledDatabase(p.installed);
    ASSERT_NO_FATAL_FAILURE(RunConverter("L2.5", p));
    AppendStaleRow(p.installed);
    ASSERT_NO_FATAL_FAILURE(RunConverter("L2.5", p));
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Personel.DB").size(), 30u);
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Trandef.DB").size(), 0u);
    ExpectAccessGroupsFixed(p.installed);
}

namespace {

// A saved door (L2.5 structure) on COM port 5, which the new door table refuses: the door
// table is then carried over as a copy of the saved one.
void AddRefusedDoor(const path& saved) {
    dbe::TTable t;
    t.DatabaseName = saved.string();
    t.TableName = "Doors.DB";
    t.Open();
    t.Append();
    t.FieldByName("IPAddr").SetAsString("10.0.0.9");
    t.FieldByName("COMPort").SetAsInteger(5);
    t.FieldByName("ContrAddr").SetAsInteger(1);
    t.Post();
    t.Close();
}

}  // namespace

// The mapping lines skip exactly the field "OperNum"; a name that differs from it only in
// letter case, or that merely begins with it, is mapped like any other.
TEST(ConversionMapping, OnlyTheExactOperNumIsLeftOut) {
    std::vector<dbe::TFieldDef> fields;
    for (const char* name : {"OperNum", "opernum", "Name", "OPERNUM", "OperNumber", "OperNum"})
        fields.push_back(dbe::TFieldDef{name, dbe::TFieldType::Integer, 0, false});
    const std::vector<std::string> expected = {"opernum=opernum", "Name=Name", "OPERNUM=OPERNUM",
                                               "OperNumber=OperNumber"};
    EXPECT_EQ(conv::MappingFor(fields), expected);
    EXPECT_TRUE(conv::MappingFor({}).empty());
}

namespace {

// Replaces a saved table by one of the given structure and rows (texts by field position,
// "" for a blank).
void MakeSavedTable(const path& saved, const std::string& name, std::vector<dbe::detail::FieldSpec> fields,
                    const std::vector<std::vector<std::string>>& rows) {
    for (const char* ext : {".DB", ".PX", ".MB", ".VAL"}) {
        std::error_code ec;
        kxtest::fs::remove(saved / (name + ext), ec);
    }
    dbe::detail::CreateSpec spec;
    spec.tableName = name;
    spec.codePage = 1251;
    spec.sortOrder = "ancyrr";
    spec.fields = std::move(fields);
    dbe::detail::CreateTable(saved.string(), spec);
    dbe::TTable t;
    t.DatabaseName = saved.string();
    t.TableName = name + ".DB";
    t.Open();
    for (const auto& r : rows) {
        t.Append();
        for (std::size_t i = 0; i < r.size(); ++i)
            if (!r[i].empty()) t.Fields(static_cast<int>(i)).SetAsString(r[i]);
        t.Post();
    }
    t.Close();
}

std::vector<std::string> FieldNamesOf(const path& folder, const std::string& table) {
    dbe::TTable t;
    t.DatabaseName = folder.string();
    t.TableName = table;
    t.Open();
    std::vector<std::string> names;
    for (const auto& d : t.FieldDefs()) names.push_back(d.Name);
    t.Close();
    return names;
}

void WriteFile(const path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

// A saved value that does not convert to the new field's type sends its table to the copy
// fallback; the other tables are moved and fixed as usual.
TEST(ConversionErrors, ValueThatDoesNotConvertEndsInTheCopyOfItsTable) {
    struct Case {
        const char* what;
        dbe::detail::FieldSpec saved;
        const char* value;
    };
    const Case cases[] = {
        {"Alpha into Short", kxtest::Field("NoCheckTime", dbe::TFieldType::String, 10), "A-12"},
        {"Date into Short", kxtest::Field("NoCheckTime", dbe::TFieldType::Date), "2005-03-04"},
        {"Alpha into Time", kxtest::Field("WorkEnd", dbe::TFieldType::String, 10), "late"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Places p = PreparePlaces("mismatch");
        kxtest::MakeOldDatabase("L2.1", p.saved, {20, 8});
        MakeSavedTable(p.saved, "Depart", {kxtest::Field("DeptName", dbe::TFieldType::String, 31, true), c.saved},
                       {{"Dept0", ""}, {"Dept1", c.value}});
        kxtest::MakeInstalledDatabase(p.installed);
        ASSERT_NO_FATAL_FAILURE(RunConverter("L2.1", p));
        EXPECT_EQ(FieldNamesOf(p.installed, "Depart.DB"), (std::vector<std::string>{"DeptName", c.saved.name}));
        EXPECT_EQ(kxtest::ReadRows(p.installed, "Depart.DB").size(), 2u);
        EXPECT_EQ(kxtest::ReadRows(p.installed, "Personel.DB").size(), 20u);   // after Depart
        EXPECT_EQ(kxtest::ReadRows(p.installed, "Holidays.DB").size(), 3u);
        ExpectAccessGroupsFixed(p.installed);
    }
}

// An access-group table that arrived by the copy keeps its saved width of Doors: the fix
// writes what fits, the saved doors first.
TEST(ConversionOfAccessGroups, CopiedNarrowDoorFieldGetsWhatFits) {
    const Places p = PreparePlaces("narrow");
    kxtest::fs::create_directories(p.saved);
    const std::string p64 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    // A group name longer than the new table allows: the append fails, the copy keeps A64.
    MakeSavedTable(p.saved, "Accgroup",
                   {kxtest::Field("GroupName", dbe::TFieldType::String, 40, true), kxtest::Field("Doors", dbe::TFieldType::String, 64)},
                   {{"A group name longer than 31 chars", p64.substr(0, 64)}, {"B null doors", ""},
                    {"C forty", p64.substr(0, 40)}});
    kxtest::MakeInstalledDatabase(p.installed);
    ASSERT_NO_FATAL_FAILURE(RunConverter("L2.5", p));
    const auto groups = kxtest::ReadRows(p.installed, "Accgroup.DB");
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(AccessDoors(groups, "A group name longer than 31 chars"), p64.substr(0, 60) + "DDDD");
    EXPECT_EQ(AccessDoors(groups, "B null doors"), std::string(64, 'D'));
    EXPECT_EQ(AccessDoors(groups, "C forty"), p64.substr(0, 40) + std::string(24, 'D'));
}

// Reading a saved table needs its .DB and .MB only: check and index files that do not parse
// leave every row convertible.
TEST(ConversionOfDamagedFamilies, SavedTablesWithDamagedCheckOrIndexFilesConvertEveryRow) {
    const Places p = PreparePlaces("damagedfamily");
    kxtest::MakeOldDatabase("L2.5", p.saved, {40, 12});
    WriteFile(p.saved / "Personel.VAL", std::string(200, '\x5A'));
    WriteFile(p.saved / "Doors.XG0", std::string(3000, '\x33'));
    WriteFile(p.saved / "Doors.YG0", "garbage");
    const auto persons = kxtest::ReadRows(p.saved, "Personel.DB");
    const auto doors = kxtest::ReadRows(p.saved, "Doors.DB");
    ASSERT_EQ(persons.size(), 40u);
    kxtest::MakeInstalledDatabase(p.installed);
    ASSERT_NO_FATAL_FAILURE(RunConverter("L2.5", p));
    const auto personsNow = kxtest::ReadRows(p.installed, "Personel.DB");
    EXPECT_EQ(personsNow.size(), 40u);
    EXPECT_EQ(kxtest::MissingRows(persons, personsNow, {}), "");
    const auto doorsNow = kxtest::ReadRows(p.installed, "Doors.DB");
    EXPECT_EQ(doorsNow.size(), 12u);
    EXPECT_EQ(kxtest::MissingRows(doors, doorsNow, {"opernum"}), "");
}

// A saved table that cannot be opened (an empty or damaged .DB) is named by the error at the
// end; the tables after it, the door update and the access-group fix still run.
TEST_P(Conversion, SavedTableThatCannotBeOpenedIsNamedAndTheRestGoesOn) {
    const std::string version = GetParam();
    const Places p = PreparePlaces("unreadable_" + version);
    kxtest::MakeOldDatabase(version, p.saved, {30, 8});
    WriteFile(p.saved / "Aaa.DB", "");                           // listed first
    WriteFile(p.saved / "Mmm.DB", std::string(4096, '\x7F'));    // listed between the others
    kxtest::MakeInstalledDatabase(p.installed);
    try {
        RunConverter(version, p);
        ADD_FAILURE() << "the unreadable tables were not reported";
    } catch (const dbe::EDBEngineError& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find("Aaa.DB"), std::string::npos) << m;
        EXPECT_NE(m.find("Mmm.DB"), std::string::npos) << m;
        EXPECT_EQ(m.find("Personel.DB"), std::string::npos) << m;
    }
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Personel.DB").size(), 30u);
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Visitors.DB").size(), 12u);
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Doors.DB").size(), 8u);
    ExpectAccessGroupsFixed(p.installed);
}

#ifndef _WIN32
namespace {

// Records the converter's hooks in the order the common run calls them.
class TRecordingSteps : public conv::TConverterSteps {
public:
    explicit TRecordingSteps(path installed) : installed_(std::move(installed)) {}
    void ProcessMessages() override {
        // The stale row shows whether the archive has been unpacked yet.
        events.push_back("messages, stale rows " +
                         std::to_string(kxtest::ReadRows(installed_, "Trandef.DB").size()));
    }
    void TableMoved(const std::string& table) override { events.push_back("moved " + table); }
    void TablesDone() override {
        events.push_back("done, Accgroup " + AccessDoors(kxtest::ReadRows(installed_, "Accgroup.DB"), "Doors40"));
    }
    std::vector<std::string> events;

private:
    path installed_;
};

std::vector<std::string> RunRecorded(const Places& p) {
    dbe::TSession& s = dbe::Session();
    if (s.IsAlias("KorvixNetGlobal")) s.DeleteAlias("KorvixNetGlobal");
    s.AddStandardAlias("KorvixNetGlobal", p.installed.string(), "PARADOX");
    std::ifstream in(KX_SCHEMA_ARCHIVE, std::ios::binary);
    const std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TRecordingSteps steps(p.installed);
    conv::RunConversion(p.saved.string(), archive.data(), archive.size(), steps);
    return steps.events;
}

}  // namespace

// The messages are let through twice before anything is unpacked; the door step's hook runs
// only for tables whose append succeeded (not for a door table that went through the copy);
// the hook after the loop runs once, before the access groups are widened, also with no
// saved tables at all.
TEST(ConversionHooks, CalledInTheirOrderAndOnlyForAppendedTables) {
    const Places p = PreparePlaces("hooks");
    kxtest::MakeOldDatabase("L2.5", p.saved, {20, 8});
    AddRefusedDoor(p.saved);
    kxtest::MakeInstalledDatabase(p.installed);
    AppendStaleRow(p.installed);

    const std::vector<std::string> events = RunRecorded(p);

    std::vector<std::string> expected = {"messages, stale rows 1", "messages, stale rows 1"};
    for (const std::string& name : dbe::Session().GetTableNames("TEMP_ALIAS", "", true, false))
        if (name != "Doors.DB" && name != "Visitors.DB") expected.push_back("moved " + name);
    const auto groups = kxtest::ReadRows(p.saved, "Accgroup.DB");
    expected.push_back("done, Accgroup " + AccessDoors(groups, "Doors40"));
    EXPECT_EQ(events, expected);

    // The copied door table holds every saved door, the refused one too, in the saved
    // structure without OperNum.
    const auto doors = kxtest::ReadRows(p.installed, "Doors.DB");
    EXPECT_EQ(doors.size(), 9u);
    ASSERT_FALSE(doors.empty());
    EXPECT_EQ(doors.front().count("opernum"), 0u);
    EXPECT_EQ(doors.front().count("turnstile"), 0u);
    EXPECT_EQ(kxtest::MissingRows(kxtest::ReadRows(p.saved, "Doors.DB"), doors, {"opernum"}), "");
    ExpectAccessGroupsFixed(p.installed);

    const Places empty = PreparePlaces("hooks_empty");
    kxtest::fs::create_directories(empty.saved);
    kxtest::MakeInstalledDatabase(empty.installed);
    AppendStaleRow(empty.installed);
    EXPECT_EQ(RunRecorded(empty),
              (std::vector<std::string>{"messages, stale rows 1", "messages, stale rows 1",
                                        "done, Accgroup <no group Doors40>"}));
}
#endif

#ifndef _WIN32
namespace {

class TFailingDoorUpdate : public conv::TConverterSteps {
public:
    void TablesDone() override { throw dbe::EDBEngineError(dbe::ecKeyViolation, "Key violation in table 'doors.db'"); }
};

}  // namespace

// When a step after the loop fails too, the final error names both: the unconverted tables
// and that failure.
TEST(ConversionErrors, LaterFailureKeepsTheListOfUnconvertedTables) {
    const Places p = PreparePlaces("laterfailure");
    kxtest::MakeOldDatabase("L2.1", p.saved, {10, 4});
    WriteFile(p.saved / "Zzz.DB", "");
    kxtest::MakeInstalledDatabase(p.installed);
    dbe::TSession& s = dbe::Session();
    if (s.IsAlias("KorvixNetGlobal")) s.DeleteAlias("KorvixNetGlobal");
    s.AddStandardAlias("KorvixNetGlobal", p.installed.string(), "PARADOX");
    std::ifstream in(KX_SCHEMA_ARCHIVE, std::ios::binary);
    const std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TFailingDoorUpdate steps;
    try {
        conv::RunConversion(p.saved.string(), archive.data(), archive.size(), steps);
        ADD_FAILURE() << "no error";
    } catch (const dbe::EDBEngineError& e) {
        const std::string m = e.what();
        EXPECT_NE(m.find("Zzz.DB"), std::string::npos) << m;
        EXPECT_NE(m.find("Key violation in table 'doors.db'"), std::string::npos) << m;
    }
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Personel.DB").size(), 10u);
}
#endif

#ifdef _WIN32
// A door table that went through the copy fallback gets no door address: the update after
// the loop blanks IPAddr and sets line 0 in every copied row, whatever the old configuration
// names.
TEST(ConversionOfDoors, CopiedDoorTableGetsBlankAddresses) {
    const Places p = PreparePlaces("copieddoors");
    kxtest::MakeOldDatabase("L2.5", p.saved, {10, 8});
    AddRefusedDoor(p.saved);
    kxtest::MakeInstalledDatabase(p.installed);
    ASSERT_NO_FATAL_FAILURE(
        RunConverter("L2.1", p, "[Net]\r\nLocal=0\r\nServer=0\r\nServerIP=10.9.9.9\r\n"));
    const auto doors = kxtest::ReadRows(p.installed, "Doors.DB");
    ASSERT_EQ(doors.size(), 9u);
    EXPECT_EQ(doors.front().count("turnstile"), 0u);  // the saved structure
    for (const auto& d : doors) {
        EXPECT_EQ(d.at("ipaddr"), "");
        EXPECT_EQ(d.at("line"), "0");
    }
    EXPECT_EQ(kxtest::MissingRows(kxtest::ReadRows(p.saved, "Doors.DB"), doors,
                                  {"opernum", "ipaddr", "line"}), "");
}
#endif

#ifdef _WIN32
// Convert lets the calling thread's pending messages through, but leaves a quit request for
// the host's own message loop.
TEST(ConversionMessages, PendingMessagesAreProcessedAndQuitIsKept) {
    const Places p = PreparePlaces("messages");
    kxtest::fs::create_directories(p.saved);
    kxtest::MakeInstalledDatabase(p.installed);
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread now has a message queue
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    ASSERT_TRUE(PostThreadMessageA(GetCurrentThreadId(), WM_APP + 7, 0, 0));
    ASSERT_NO_FATAL_FAILURE(RunConverter("L2.5", p));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_APP + 7, WM_APP + 7, PM_REMOVE));

    PostQuitMessage(3);
    ASSERT_NO_FATAL_FAILURE(RunConverter("L2.5", p));
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
}
#endif

#ifndef _WIN32
// A damaged archive stops the conversion before anything is unpacked or moved.
TEST(ConversionErrors, DamagedArchiveLeavesBeforeAnyTableIsTouched) {
    const Places p = PreparePlaces("damaged");
    kxtest::MakeOldDatabase("L2.5", p.saved, {10, 4});
    kxtest::MakeInstalledDatabase(p.installed);
    AppendStaleRow(p.installed);
    dbe::TSession& s = dbe::Session();
    if (s.IsAlias("KorvixNetGlobal")) s.DeleteAlias("KorvixNetGlobal");
    s.AddStandardAlias("KorvixNetGlobal", p.installed.string(), "PARADOX");
    std::ifstream in(KX_SCHEMA_ARCHIVE, std::ios::binary);
    std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    archive.resize(archive.size() / 2);  // the central directory is gone
    TRecordingSteps steps(p.installed);
    EXPECT_THROW(conv::RunConversion(p.saved.string(), archive.data(), archive.size(), steps),
                 conv::EArchiveError);
    EXPECT_EQ(steps.events, std::vector<std::string>{"messages, stale rows 1"});
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Trandef.DB").size(), 1u);
    EXPECT_EQ(kxtest::ReadRows(p.installed, "Personel.DB").size(), 0u);
}
#endif
