// The stand-ins behave as the tests of setup rely on: logs, windows, registry, answers.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "fixture_util.h"
#include "uidriver/uidriver.h"

namespace {

using fixture::ReadLines;
using uidriver::WindowQuery;

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

class StandIns : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fixture::FreshFolder("standins", ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fixture::RemoveProductEntries();
    }
    void TearDown() override { fixture::RemoveProductEntries(); }
    std::string dir_;
};

// Starts a copied stand-in as setup does: application name and command line given.
bool StartAs(uidriver::ChildProcess& p, const std::string& commandLine) {
    return p.Start(commandLine);
}

TEST_F(StandIns, SetupPrgShowsBothWindowsInTurnAndRegistersItsEntry) {
    std::string prg = dir_ + "setup.prg";
    ASSERT_TRUE(fixture::CopyFromTestBin("standin_setup.exe", dir_, "setup.prg"));
    fixture::WriteFile(prg + ".ini",
                       "[StandIn]\r\nMainMs=600\r\nDeleteMs=600\r\nRegister=Korvix Net 3.0\r\n"
                       "UninstallString=C:\\Korvix\\uninst.exe -fC:\\Korvix\\DeIsL1.isu\r\n");
    uidriver::ChildProcess p;
    ASSERT_TRUE(StartAs(p, prg));
    WindowQuery main{"InstallShield_Win", "", p.Pid()};
    WindowQuery del{"isdelete", "", p.Pid()};
    ASSERT_NE(uidriver::WaitForWindow(main, 5000), nullptr);
    EXPECT_TRUE(uidriver::FindWindows(del).empty());
    EXPECT_FALSE(fixture::EntryExists("Korvix Net 3.0"));
    ASSERT_NE(uidriver::WaitForWindow(del, 5000), nullptr);
    EXPECT_TRUE(uidriver::FindWindows(main).empty());
    EXPECT_TRUE(fixture::EntryExists("Korvix Net 3.0"));
    ASSERT_TRUE(p.WaitForExit(5000));
    EXPECT_EQ(p.ExitCode(), 0u);
    EXPECT_TRUE(uidriver::FindWindows(del).empty());
    EXPECT_EQ(ReadLines(prg + ".log"), std::vector<std::string>{prg});
    EXPECT_EQ(fixture::ReadFile(prg + ".pid"), std::to_string(p.Pid()));
}

TEST_F(StandIns, CancelledSetupPrgShowsItsWindowButRegistersNothing) {
    std::string prg = dir_ + "setup.prg";
    ASSERT_TRUE(fixture::CopyFromTestBin("standin_setup.exe", dir_, "setup.prg"));
    fixture::WriteFile(prg + ".ini", "[StandIn]\r\nMainMs=300\r\nRegister=Lumex 9\r\nCancel=1\r\n");
    uidriver::ChildProcess p;
    ASSERT_TRUE(StartAs(p, prg));
    EXPECT_NE(uidriver::WaitForWindow({"InstallShield_Win", "", p.Pid()}, 5000), nullptr);
    ASSERT_TRUE(p.WaitForExit(5000));
    EXPECT_FALSE(fixture::EntryExists("Lumex 9"));
}

TEST_F(StandIns, SetupPrgArgumentsOverrideItsIniAndCanRemoveAnEntry) {
    std::string prg = dir_ + "setup.prg";
    ASSERT_TRUE(fixture::CopyFromTestBin("standin_setup.exe", dir_, "setup.prg"));
    fixture::WriteFile(prg + ".ini", "[StandIn]\r\nMainMs=20000\r\nExitCode=1\r\n");
    ASSERT_TRUE(fixture::SetEntry("Lumex", "x"));
    uidriver::ChildProcess p;
    std::string cmd = Quote(prg) + " MainMs=100 Unregister=Lumex ExitCode=7";
    ASSERT_TRUE(StartAs(p, cmd));
    ASSERT_TRUE(p.WaitForExit(5000));
    EXPECT_EQ(p.ExitCode(), 7u);
    EXPECT_FALSE(fixture::EntryExists("Lumex"));
    EXPECT_EQ(ReadLines(prg + ".log"), std::vector<std::string>{cmd});
}

TEST_F(StandIns, UninstallerModes) {
    struct Case {
        const char* mode;
        bool entryGoneAtExit;  // when the started process has ended
        bool entryGoneLater;   // after its child, if any, has finished too
        size_t logLines;
    };
    const Case cases[] = {
        {"remove", true, true, 1},
        {"keep", false, false, 1},
        {"exit", false, false, 1},
        {"spawn", false, true, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        std::string exe = dir_ + c.mode + "_uninst.exe";
        ASSERT_TRUE(fixture::CopyFromTestBin("standin_uninstaller.exe", dir_, std::string(c.mode) + "_uninst.exe"));
        fixture::WriteFile(exe + ".ini", std::string("[StandIn]\r\nMode=") + c.mode +
                                             "\r\nEntry=Lumex\r\nDelayMs=400\r\n");
        ASSERT_TRUE(fixture::SetEntry("Lumex", exe + " -fC:\\Lumex\\DeIsL1.isu"));
        uidriver::ChildProcess p;
        std::string cmd = exe + " -fC:\\Lumex\\DeIsL1.isu";
        ASSERT_TRUE(p.Start(cmd));
        ASSERT_TRUE(p.WaitForExit(5000));
        EXPECT_EQ(!fixture::EntryExists("Lumex"), c.entryGoneAtExit);
        if (c.entryGoneLater)
            EXPECT_TRUE(fixture::WaitUntil([] { return !fixture::EntryExists("Lumex"); }, 5000));
        else
            Sleep(100);
        EXPECT_EQ(!fixture::EntryExists("Lumex"), c.entryGoneLater);
        auto log = ReadLines(exe + ".log");
        ASSERT_EQ(log.size(), c.logLines);
        EXPECT_EQ(log[0], cmd);
        fixture::RemoveEntry("Lumex");
    }
}

using VersionFn = void(__stdcall*)(unsigned char*, int);

std::string Call(HMODULE m, const char* name, int maximum) {
    auto fn = reinterpret_cast<VersionFn>(GetProcAddress(m, name));
    if (!fn) return "<missing>";
    unsigned char buf[16];
    std::memset(buf, 0xCC, sizeof buf);
    fn(buf, maximum);
    return std::string(reinterpret_cast<char*>(buf + 1), buf[0]);
}

TEST_F(StandIns, ProbesAnswerFromTheIniNamedAfterTheirCopy) {
    ASSERT_TRUE(fixture::CopyFromTestBin("version_probe.dll", dir_, "probeA.dll"));
    ASSERT_TRUE(fixture::CopyFromTestBin("version_probe.dll", dir_, "probeB.dll"));
    ASSERT_TRUE(fixture::CopyFromTestBin("version_probe_dbonly.dll", dir_, "probeC.dll"));
    fixture::WriteFile(dir_ + "probeA.dll.ini", "[Probe]\r\nDBVersion=L2.1\r\nLumexVersion=N1.1\r\n");
    fixture::WriteFile(dir_ + "probeB.dll.ini", "[Probe]\r\nDBVersion=L2.15\r\n");
    fixture::WriteFile(dir_ + "probeC.dll.ini", "[Probe]\r\nDBVersion=L2.5\r\nLumexVersion=N1.1\r\n");
    HMODULE a = LoadLibraryA((dir_ + "probeA.dll").c_str());
    HMODULE b = LoadLibraryA((dir_ + "probeB.dll").c_str());
    HMODULE c = LoadLibraryA((dir_ + "probeC.dll").c_str());
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(Call(a, "GetDBVersion", 4), "L2.1");
    EXPECT_EQ(Call(a, "GetLumexVersion", 4), "N1.1");
    EXPECT_EQ(Call(a, "GetDBVersion", 2), "L2");  // length byte = min(length, maximum)
    EXPECT_EQ(Call(b, "GetDBVersion", 4), "L2.1");
    EXPECT_EQ(Call(b, "GetLumexVersion", 4), "Nop");  // no answer configured
    EXPECT_EQ(Call(c, "GetDBVersion", 4), "L2.5");
    EXPECT_EQ(Call(c, "GetLumexVersion", 4), "<missing>");
    // Answers are read at every call.
    fixture::WriteFile(dir_ + "probeA.dll.ini", "[Probe]\r\nDBVersion=L2.5\r\n");
    EXPECT_EQ(Call(a, "GetDBVersion", 4), "L2.5");
    EXPECT_EQ(ReadLines(dir_ + "probeA.dll.log"),
              (std::vector<std::string>{"GetDBVersion 4", "GetLumexVersion 4", "GetDBVersion 2", "GetDBVersion 4"}));
    FreeLibrary(a);
    FreeLibrary(b);
    FreeLibrary(c);
}

}  // namespace
