// Saving the old database into <temp>\tmpDB, and the same-version copy-back of restore mode,
// with real tables under session aliases.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "dbengine/dbengine.h"
#include "fixture_util.h"
#include "globals.h"
#include "plugins.h"
#include "rtl/exceptions.h"
#include "savedb.h"
#include "doors_table.h"
#include "filecopy.h"

namespace {

class SaveOldDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        base_ = fixture::FreshFolder("setup_savedb", name);
        net_ = base_ + "net\\";
        lumex_ = base_ + "lumex\\";
        broken_ = base_ + "broken\\";
        temp_ = base_ + "temp\\";
        for (const std::string& d : {net_, lumex_, broken_, temp_}) CreateDirectoryA(d.c_str(), nullptr);
        fixture::MakeDoorsTable(net_);
        fixture::MakeDoorsTable(lumex_);
        fixture::WriteFile(net_ + "net.txt", "net");
        fixture::WriteFile(lumex_ + "lumex.txt", "lumex");
        std::memset(TempPath, 0, sizeof TempPath);
        std::memcpy(TempPath, temp_.data(), temp_.size());
        dbe::Session().SetConfigMode(dbe::cmAll);
        for (const char* a : {"LumexData", "KorvixNetGlobal"})
            if (dbe::Session().IsAlias(a)) dbe::Session().DeleteAlias(a);
    }
    void TearDown() override {
        for (const char* a : {"LumexData", "KorvixNetGlobal"})
            if (dbe::Session().IsAlias(a)) dbe::Session().DeleteAlias(a);
    }
    void Alias(const char* name, const std::string& folder) {
        dbe::Session().AddStandardAlias(name, folder, "PARADOX");
    }
    std::string Saved() const { return temp_ + "tmpDB\\"; }
    std::string base_, net_, lumex_, broken_, temp_;
};

TEST_F(SaveOldDatabaseTest, AliasChoice) {
    struct Case {
        const char* lumex;  // folder of "LumexData", nullptr: no alias
        const char* net;    // folder of "KorvixNetGlobal"
        const char* savedMarker;
    };
    const Case cases[] = {
        {"lumex", "net", "net.txt"},       // both: the net edition's alias wins
        {"lumex", nullptr, "lumex.txt"},   // only the light edition's
        {nullptr, "net", "net.txt"},
        {"lumex", "broken", "lumex.txt"},  // net alias without Doors.DB: one retry under LumexData
    };
    int i = 0;
    for (const Case& c : cases) {
        SetUp();
        auto folder = [&](const char* n) { return base_ + n + "\\"; };
        if (c.lumex) Alias("LumexData", folder(c.lumex));
        if (c.net) Alias("KorvixNetGlobal", folder(c.net));
        ASSERT_NO_THROW(SaveOldDatabase()) << "case " << i;
        EXPECT_TRUE(fixture::Exists(Saved() + c.savedMarker)) << "case " << i;
        EXPECT_TRUE(fixture::Exists(Saved() + "Doors.DB")) << "case " << i;
        ++i;
    }
}

TEST_F(SaveOldDatabaseTest, NoAliasOrBrokenLumexDataRaisesTheEngineErrorBeforeCopying) {
    EXPECT_THROW(SaveOldDatabase(), dbe::EDBEngineError);
    Alias("LumexData", broken_);
    EXPECT_THROW(SaveOldDatabase(), dbe::EDBEngineError);
    EXPECT_FALSE(fixture::Exists(Saved() + "Doors.DB"));
}

TEST_F(SaveOldDatabaseTest, EveryFileKindIsCopiedButNoSubfolder) {
    Alias("KorvixNetGlobal", net_);
    const struct {
        const char* name;
        DWORD attributes;
    } files[] = {{"hidden.dat", FILE_ATTRIBUTE_HIDDEN},
                 {"system.dat", FILE_ATTRIBUTE_SYSTEM},
                 {"readonly.dat", FILE_ATTRIBUTE_READONLY},
                 {"plain.dat", FILE_ATTRIBUTE_NORMAL}};
    for (const auto& f : files) {
        fixture::WriteFile(net_ + f.name, f.name);
        SetFileAttributesA((net_ + f.name).c_str(), f.attributes);
    }
    CreateDirectoryA((net_ + "sub").c_str(), nullptr);
    fixture::WriteFile(net_ + "sub\\inner.dat", "inner");

    SaveOldDatabase();
    for (const auto& f : files)
        EXPECT_EQ(fixture::ReadFile(Saved() + f.name), f.name) << f.name;
    EXPECT_FALSE(fixture::Exists(Saved() + "sub"));

    // A second save overwrites files of the same names (read-only copies included) and
    // leaves the others.
    fixture::WriteFile(Saved() + "left.dat", "left");
    SetFileAttributesA((net_ + "readonly.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
    fixture::WriteFile(net_ + "readonly.dat", "changed");
    SetFileAttributesA((net_ + "readonly.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    SaveOldDatabase();
    EXPECT_EQ(fixture::ReadFile(Saved() + "readonly.dat"), "changed");
    EXPECT_EQ(fixture::ReadFile(Saved() + "left.dat"), "left");
    SetFileAttributesA((net_ + "readonly.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
    SetFileAttributesA((Saved() + "readonly.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(SaveOldDatabaseTest, FileThatCannotBeReadIsNamedAndTheOthersAreSaved) {
    Alias("KorvixNetGlobal", net_);
    fixture::WriteFile(net_ + "locked.dat", "locked");
    HANDLE held = CreateFileA((net_ + "locked.dat").c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    try {
        SaveOldDatabase();
        ADD_FAILURE() << "no error although locked.dat was not saved";
    } catch (const rtl::EInOutError& e) {
        EXPECT_NE(e.Message().find("locked.dat"), std::string::npos) << e.Message();
        EXPECT_EQ(e.Message().find("net.txt"), std::string::npos) << e.Message();
    }
    CloseHandle(held);
    EXPECT_TRUE(fixture::Exists(Saved() + "net.txt"));
    EXPECT_TRUE(fixture::Exists(Saved() + "Doors.DB"));
    EXPECT_FALSE(fixture::Exists(Saved() + "locked.dat"));
}

TEST_F(SaveOldDatabaseTest, SavedFolderThatCannotBeCreatedIsAnError) {
    Alias("KorvixNetGlobal", net_);
    fixture::WriteFile(temp_ + "tmpDB", "a file in the way");
    EXPECT_THROW(SaveOldDatabase(), rtl::EInOutError);
}

TEST_F(SaveOldDatabaseTest, SameVersionRestoreCopiesEverySavedFileBack) {
    Alias("KorvixNetGlobal", net_);
    SaveOldDatabase();
    fixture::WriteFile(Saved() + "net.txt", "from the saved folder");
    fixture::WriteFile(Saved() + "extra.dat", "extra");
    fixture::WriteFile(net_ + "net.txt", "installed");

    PluginDir = base_ + "noplugins\\";
    CreateDirectoryA(PluginDir.c_str(), nullptr);
    LoadPlugIns();
    OldVersion = TVersionCode::Nop();  // no probe answers: "Nop" both sides, the copy-back
    RestoreSavedDatabase();
    EXPECT_EQ(fixture::ReadFile(net_ + "net.txt"), "from the saved folder");
    EXPECT_EQ(fixture::ReadFile(net_ + "extra.dat"), "extra");

    // A database file held open cannot be replaced: restore mode must say so.
    HANDLE held = CreateFileA((net_ + "extra.dat").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    try {
        RestoreSavedDatabase();
        ADD_FAILURE() << "no error although extra.dat was not restored";
    } catch (const rtl::EInOutError& e) {
        EXPECT_NE(e.Message().find("extra.dat"), std::string::npos) << e.Message();
    }
    CloseHandle(held);
}

// The database folder and the user's temporary folder named with letters outside ASCII (in
// the ANSI code page the test runs under: Cyrillic for 1251, "€" for 1252): the database is
// saved into tmpDB and the same-version restore copies it back. Runs in the cp1251 / cp1252
// entries of this test; under LC_ALL=C Wine does not keep such file names, and it skips.
TEST_F(SaveOldDatabaseTest, NonAsciiFolders) {
    const char* lc = std::getenv("LC_ALL");
    const std::string locale = lc ? lc : "";
    if (locale.find("UTF-8") == std::string::npos && locale.find("utf8") == std::string::npos)
        GTEST_SKIP() << "needs a UTF-8 Unix locale (LC_ALL=" << locale << ")";
    const bool cyrillic = GetACP() == 1251;
    // "Иван" and "Временная" / "T€mp" and "Tëmp€".
    const std::string db = base_ + (cyrillic ? "\xC8\xE2\xE0\xED" : "T\x80mp") + "\\";
    temp_ = base_ + (cyrillic ? "\xC2\xF0\xE5\xEC\xE5\xED\xED\xE0\xFF" : "T\xEBmp\x80") + "\\";
    ASSERT_TRUE(CreateDirectoryA(db.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(temp_.c_str(), nullptr));
    fixture::MakeDoorsTable(db);
    fixture::WriteFile(db + "net.txt", "net");
    std::memset(TempPath, 0, sizeof TempPath);
    std::memcpy(TempPath, temp_.data(), temp_.size());
    Alias("KorvixNetGlobal", db);

    ASSERT_NO_THROW(SaveOldDatabase());
    EXPECT_TRUE(fixture::Exists(Saved() + "Doors.DB"));
    EXPECT_EQ(fixture::ReadFile(Saved() + "net.txt"), "net");

    fixture::WriteFile(Saved() + "net.txt", "from the saved folder");
    PluginDir = base_ + "noplugins\\";
    CreateDirectoryA(PluginDir.c_str(), nullptr);
    LoadPlugIns();
    OldVersion = TVersionCode::Nop();
    ASSERT_NO_THROW(RestoreSavedDatabase());
    EXPECT_EQ(fixture::ReadFile(db + "net.txt"), "from the saved folder");
}

// A folder that cannot be listed copies nothing: the folder is named as not copied, while an
// empty folder is no failure.
TEST_F(SaveOldDatabaseTest, FolderThatCannotBeListedIsNamedAsNotCopied) {
    const std::string empty = base_ + "empty\\";
    CreateDirectoryA(empty.c_str(), nullptr);
    const std::string longName = base_ + std::string(240, 'x') + "\\";
    struct Case { std::string from; std::string failed; };
    const Case cases[] = {
        {base_ + "gone\\", base_ + "gone\\"},
        {longName, longName},
        {empty, ""},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(CopyFolderFiles(cases[i].from, temp_), cases[i].failed) << "case " << i;
}

TEST_F(SaveOldDatabaseTest, SameVersionRestoreWithoutTheSavedFolderIsAnError) {
    Alias("KorvixNetGlobal", net_);
    fixture::WriteFile(net_ + "net.txt", "installed");
    PluginDir = base_ + "noplugins\\";
    CreateDirectoryA(PluginDir.c_str(), nullptr);
    LoadPlugIns();
    OldVersion = TVersionCode::Nop();
    try {
        RestoreSavedDatabase();  // no tmpDB under the temporary folder
        ADD_FAILURE() << "no error although nothing was restored";
    } catch (const rtl::EInOutError& e) {
        EXPECT_NE(e.Message().find(SavedDatabaseFolder()), std::string::npos) << e.Message();
    }
    EXPECT_EQ(fixture::ReadFile(net_ + "net.txt"), "installed");
}

}  // namespace
