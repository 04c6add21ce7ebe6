// setup's restore mode from end to end with the real converters: a folder with setup.exe,
// both converters and a version probe answering "N1.1"; the new database's alias in the
// engine's configuration; the saved database in the temporary folder's tmpDB.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "kx_runtime_dlls.h"
#include "old_database.h"
#include "test_folders.h"
#include "uidriver/uidriver.h"

namespace {

namespace fs = kxtest::fs;

struct Stand {
    fs::path program;    // the folder with setup.exe
    fs::path saved;      // <temp>\tmpDB
    fs::path installed;  // folder of KorvixNetGlobal
};

Stand MakeStand(const std::string& name) {
    Stand s;
    const fs::path base = kxtest::FreshFolder(name);
    s.program = base / "program";
    s.installed = base / "KorvixNet";
    // setup and the converters find tmpDB under TMP: a folder of this test's own.
    const fs::path temp = base / "temp";
    fs::create_directories(temp);
    SetEnvironmentVariableA("TMP", temp.string().c_str());
    SetEnvironmentVariableA("TEMP", temp.string().c_str());
    s.saved = temp / "tmpDB";
    std::error_code ec;
    fs::remove_all(s.saved, ec);
    fs::create_directories(s.program);
    for (const char* f : {"setup.exe", "Ardvane.dll", "Belvane.dll"})
        fs::copy_file(fs::path(KX_BIN_DIR) / f, s.program / f);
    for (const char* f : KX_RUNTIME_DLL_NAMES) fs::copy_file(fs::path(KX_BIN_DIR) / f, s.program / f);
    fs::copy_file(fs::path(KX_TEST_BIN_DIR) / "version_probe.dll", s.program / "Probe.dll");
    std::ofstream(s.program / "Probe.dll.ini") << "[Probe]\r\nDBVersion=N1.1\r\nLumexVersion=N1.1\r\n";

    const fs::path config = base / "dbengine.cfg";
    std::ofstream(config) << "[KorvixNetGlobal]\nTYPE=STANDARD\nPATH=" << s.installed.string()
                          << "\nDEFAULT DRIVER=PARADOX\n";
    SetEnvironmentVariableA("KX_DBENGINE_CONFIG", config.string().c_str());
    DeleteFileA("c:\\a.tmp");
    return s;
}

uidriver::RunResult Restore(const Stand& s, const std::string& version) {
    return uidriver::RunProcess("\"" + (s.program / "setup.exe").string() + "\" " + version, 120000,
                         s.program.string());
}

class RestoreMode : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(RestoreMode, ConvertsTheSavedDatabaseAndEndsWithExitCodeZero) {
    const std::string version = GetParam();
    const Stand s = MakeStand("restore_" + version.substr(3));
    kxtest::MakeOldDatabase(version, s.saved, {200, 40});
    kxtest::MakeInstalledDatabase(s.installed);
    const auto savedPersons = kxtest::ReadRows(s.saved, "Personel.DB");
    const auto savedDoors = kxtest::ReadRows(s.saved, "Doors.DB");

    const auto r = Restore(s, version);
    ASSERT_TRUE(r.started);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);

    const auto persons = kxtest::ReadRows(s.installed, "Personel.DB");
    EXPECT_EQ(persons.size(), savedPersons.size());
    EXPECT_EQ(kxtest::MissingRows(savedPersons, persons, {}), "");
    const auto doors = kxtest::ReadRows(s.installed, "Doors.DB");
    EXPECT_EQ(doors.size(), savedDoors.size());
    EXPECT_EQ(kxtest::MissingRows(savedDoors, doors, {"opernum", "ipaddr", "line"}), "");
    EXPECT_EQ(kxtest::ReadRows(s.installed, "Visitors.DB").size(), 12u);

    // The other saved tables arrive too (two holidays on January 1st meet on the new key).
    for (const char* table : {"Accgroup.DB", "Depart.DB", "Holidays.DB", "Timeprof.DB"}) {
        if (!fs::exists(s.saved / table)) continue;
        SCOPED_TRACE(table);
        const auto saved = kxtest::ReadRows(s.saved, table);
        const auto now = kxtest::ReadRows(s.installed, table);
        const bool holidays = std::string(table) == "Holidays.DB";
        EXPECT_EQ(now.size(), saved.size() - (holidays ? 1 : 0));
        if (!holidays) {
            EXPECT_EQ(kxtest::MissingRows(saved, now, {"opernum", "doors"}), "");
        }
    }
}

TEST_P(RestoreMode, ConverterErrorEndsWithTheErrorBoxAndExitCodeOne) {
    const std::string version = GetParam();
    const Stand s = MakeStand("restore_error_" + version.substr(3));
    kxtest::MakeOldDatabase(version, s.saved, {10, 4});
    fs::create_directories(s.installed);  // no Doors.DB: the converter cannot find the folder

    uidriver::ChildProcess child;
    ASSERT_TRUE(child.Start("\"" + (s.program / "setup.exe").string() + "\" " + version,
                            s.program.string()));
    const auto box = uidriver::WaitForMessageBox("", child.Pid(), 60000);
    ASSERT_TRUE(box.has_value()) << "no error box";
    EXPECT_NE(box->text.find("Doors"), std::string::npos) << box->text;
    uidriver::CloseMessageBox(box->hwnd);
    ASSERT_TRUE(child.WaitForExit(30000));
    EXPECT_EQ(child.ExitCode(), 1u);
}

// A saved table that neither the append nor the copy can move: the other tables are
// converted, the error box names the table that stays only in the saved folder, and restore
// mode ends with exit code 1.
TEST_P(RestoreMode, UnmovedTableIsNamedByTheErrorBox) {
    const std::string version = GetParam();
    const Stand s = MakeStand("restore_unmoved_" + version.substr(3));
    kxtest::MakeOldDatabase(version, s.saved, {10, 4});
    kxtest::MakeInstalledDatabase(s.installed);
    fs::copy_file(s.saved / "Visitors.DB", s.saved / "Blocked.DB");
    fs::copy_file(s.saved / "Visitors.PX", s.saved / "Blocked.PX");
    fs::create_directories(s.installed / "Blocked.DB");  // no table can be written there

    uidriver::ChildProcess child;
    ASSERT_TRUE(child.Start("\"" + (s.program / "setup.exe").string() + "\" " + version,
                            s.program.string()));
    const auto box = uidriver::WaitForMessageBox("", child.Pid(), 60000);
    ASSERT_TRUE(box.has_value()) << "no error box";
    EXPECT_NE(box->text.find("Blocked.DB"), std::string::npos) << box->text;
    EXPECT_EQ(box->text.find("Visitors.DB"), std::string::npos) << box->text;
    uidriver::CloseMessageBox(box->hwnd);
    ASSERT_TRUE(child.WaitForExit(30000));
    EXPECT_EQ(child.ExitCode(), 1u);
    EXPECT_EQ(kxtest::ReadRows(s.installed, "Personel.DB").size(), 10u);
    EXPECT_EQ(kxtest::ReadRows(s.installed, "Visitors.DB").size(), 12u);
}

INSTANTIATE_TEST_SUITE_P(OldVersions, RestoreMode, ::testing::Values("L2.1", "L2.5"),
                         [](const auto& info) { return info.param == "L2.1" ? "L21" : "L25"; });
