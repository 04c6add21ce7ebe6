// setup's restore mode from end to end with the real converters: a folder with setup.exe,
// both converters and a version probe answering "N1.1"; the new database's alias in the
// engine's configuration; the saved database in the temporary folder's tmpDB.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "kx_runtime_dlls.h"
#include "old_database.h"
#include "rtl/filesteps.h"
#include "test_folders.h"
#include "uidriver/uidriver.h"

namespace {

namespace fs = kxtest::fs;

struct Stand {
    fs::path program;    // the folder with setup.exe
    fs::path saved;      // <temp>\tmpDB
    fs::path installed;  // folder of KorvixNetGlobal
};

// tempLeaf and installedLeaf name the temporary folder and the new database's folder.
Stand MakeStand(const std::string& name, const fs::path& tempLeaf = "temp", const fs::path& installedLeaf = "KorvixNet") {
    Stand s;
    const fs::path base = kxtest::FreshFolder(name);
    s.program = base / "program";
    s.installed = base / installedLeaf;
    // setup and the converters find tmpDB under TMP: a folder of this test's own.
    const fs::path temp = base / tempLeaf;
    fs::create_directories(temp);
    SetEnvironmentVariableW(L"TMP", temp.c_str());
    SetEnvironmentVariableW(L"TEMP", temp.c_str());
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
    // The engine's configuration holds 8-bit paths, in the ANSI code page.
    std::ofstream(config) << "[KorvixNetGlobal]\nTYPE=STANDARD\nPATH=" << kxtest::AnsiPath(s.installed)
                          << "\nDEFAULT DRIVER=PARADOX\n";
    SetEnvironmentVariableW(L"KX_DBENGINE_CONFIG", config.c_str());
    DeleteFileA("c:\\a.tmp");
    return s;
}

uidriver::RunResult Restore(const Stand& s, const std::string& version) {
    return uidriver::RunProcess("\"" + (s.program / "setup.exe").string() + "\" " + version, 120000,
                         s.program.string());
}

class RestoreMode : public ::testing::TestWithParam<std::string> {};

// Every saved card holder and door arrived in the installed database (the door's address
// fields are the converter's own), and the saved visitors with them.
void ExpectEverySavedPersonDoorAndVisitor(const Stand& s, const std::vector<kxtest::Row>& savedPersons,
                                          const std::vector<kxtest::Row>& savedDoors) {
    const auto persons = kxtest::ReadRows(s.installed, "Personel.DB");
    EXPECT_EQ(persons.size(), savedPersons.size());
    EXPECT_EQ(kxtest::MissingRows(savedPersons, persons, {}), "");
    const auto doors = kxtest::ReadRows(s.installed, "Doors.DB");
    EXPECT_EQ(doors.size(), savedDoors.size());
    EXPECT_EQ(kxtest::MissingRows(savedDoors, doors, {"opernum", "ipaddr", "line"}), "");
    EXPECT_EQ(kxtest::ReadRows(s.installed, "Visitors.DB").size(), 12u);
}

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

    ExpectEverySavedPersonDoorAndVisitor(s, savedPersons, savedDoors);

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

namespace {

// Folder and table names outside ASCII for the ANSI code page the test runs under: Cyrillic
// under 1251 ("Временная", "Новая", "Гости"), "€" and "ë" under 1252. Empty when Wine runs
// under a Unix locale that does not keep such file names (LC_ALL=C).
struct NonAsciiNames {
    std::wstring temp, installed, table;
};
std::optional<NonAsciiNames> NamesForThisCodePage() {
    const char* lc = std::getenv("LC_ALL");
    const std::string locale = lc ? lc : "";
    if (locale.find("UTF-8") == std::string::npos && locale.find("utf8") == std::string::npos) return std::nullopt;
    if (GetACP() == 1251)
        return NonAsciiNames{L"Temp\\\u0412\u0440\u0435\u043C\u0435\u043D\u043D\u0430\u044F",
                             L"\u041D\u043E\u0432\u0430\u044F", L"\u0413\u043E\u0441\u0442\u0438"};
    return NonAsciiNames{L"T\u20ACmp", L"T\u00EBmp\\Caf\u20AC", L"Caf\u20AC"};
}

}  // namespace

// Restore mode with the user's temporary folder (hence tmpDB), the new database's folder and
// a saved table named with letters outside ASCII: every table is converted, the one that the
// new database lacks is copied under its own name, and restore mode ends with exit code 0.
TEST_P(RestoreMode, NonAsciiFoldersAndTableNames) {
    const auto names = NamesForThisCodePage();
    if (!names) GTEST_SKIP() << "needs a UTF-8 Unix locale (the cp1251 / cp1252 entries of this test)";
    const std::string version = GetParam();
    SCOPED_TRACE("code page " + std::to_string(GetACP()));
    const Stand s = MakeStand("restore_nonascii_" + version.substr(3), names->temp, names->installed);
    kxtest::MakeOldDatabase(version, s.saved, {30, 8});
    const fs::path table = fs::path(names->table).concat(L".DB");
    fs::copy_file(s.saved / "Visitors.DB", s.saved / table);
    fs::copy_file(s.saved / "Visitors.PX", s.saved / fs::path(names->table).concat(L".PX"));
    kxtest::MakeInstalledDatabase(s.installed);

    const auto r = Restore(s, version);
    ASSERT_TRUE(r.started);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    EXPECT_EQ(kxtest::ReadRows(s.installed, "Personel.DB").size(), 30u);
    EXPECT_EQ(kxtest::ReadRows(s.installed, "Doors.DB").size(), 8u);
    EXPECT_EQ(kxtest::ReadRows(s.installed, "Visitors.DB").size(), 12u);
    ASSERT_TRUE(fs::exists(s.installed / table));
    EXPECT_EQ(kxtest::ReadRows(s.installed, kxtest::AnsiPath(table)).size(), 12u);
}

// A restore killed inside the commit of the door table's move, right after the old door table
// was moved aside (the moment in which "Doors.DB" does not exist), then started again: the
// second restore ends with exit code 0 and every saved row, and nothing of the first is left.
TEST(RestoreModeKilled, KilledInsideTheDoorTablesCommitThenRunAgainHasEveryRow) {
    const Stand s = MakeStand("restore_killed");
    kxtest::MakeOldDatabase("L2.1", s.saved, {50, 12});
    kxtest::MakeInstalledDatabase(s.installed);
    const auto savedPersons = kxtest::ReadRows(s.saved, "Personel.DB");
    const auto savedDoors = kxtest::ReadRows(s.saved, "Doors.DB");

    // Read by the converter's file layer (rtl/filesteps.h); this process read its plan before.
    SetEnvironmentVariableA("KX_TEST_EXIT_AT_FILE_STEP", "after:1:Doors.DB -> ");
    const auto killed = Restore(s, "L2.1");
    SetEnvironmentVariableA("KX_TEST_EXIT_AT_FILE_STEP", nullptr);
    ASSERT_TRUE(killed.started);
    ASSERT_FALSE(killed.timedOut);
    ASSERT_EQ(killed.exitCode, static_cast<unsigned>(rtl::kFileStepExitCode));   // ended by the hook
    ASSERT_FALSE(fs::exists(s.installed / "Doors.DB"));

    const auto r = Restore(s, "L2.1");
    ASSERT_TRUE(r.started);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0u);
    ExpectEverySavedPersonDoorAndVisitor(s, savedPersons, savedDoors);
    for (const auto& e : fs::directory_iterator(s.installed)) {
        const std::wstring name = e.path().filename().native();
        EXPECT_TRUE(e.is_regular_file() && name.find(L'~') == std::wstring::npos) << e.path().string();
    }
}
