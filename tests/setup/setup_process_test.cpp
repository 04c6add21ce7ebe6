// setup.exe as a person starts it: from a folder of its own, judged by the stand-ins' logs,
// the error box and the exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include "fixture_util.h"
#include "uidriver/uidriver.h"

namespace {

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

class SetupProcess : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder name with blanks, as under "Program Files".
        dir_ = fixture::FreshFolder(
            "setup process", ::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(fixture::Copy(KX_BIN_DIR "\\setup.exe", dir_ + "setup.exe"));
        fixture::CopyRuntime(dir_);
        fixture::RemoveProductEntries();
    }
    void TearDown() override { fixture::RemoveProductEntries(); }

    void Probe(const std::string& as, const std::string& newVersion) {
        ASSERT_TRUE(fixture::CopyFromTestBin("version_probe.dll", dir_, as));
        fixture::WriteFile(dir_ + as + ".ini", "[Probe]\r\nLumexVersion=" + newVersion + "\r\n");
    }
    // raise: "0" converts, "1" raises the fixture's exception class, "int" throws an int,
    // "null" writes through a null pointer.
    void Converter(const std::string& stem, const std::string& from, const std::string& raise) {
        ASSERT_TRUE(fixture::CopyFromTestBin("fake_converter.dll", dir_, stem + ".dll"));
        fixture::WriteFile(dir_ + stem + ".ini",
                           "[Converter]\r\nFrom=" + from + "\r\nTo=N1.1\r\nLog=" + dir_ +
                               "calls.log\r\nThrow=" + raise + "\r\n");
    }
    // Runs setup.exe with the arguments; closes an "Application Error" box if one comes and
    // returns its text in `box`. A non-empty tempFolder becomes the child's TMP and TEMP.
    DWORD Run(const std::string& args, std::string* box = nullptr,
              const std::string& tempFolder = "") {
        uidriver::ChildProcess p;
        char oldTmp[MAX_PATH] = {0}, oldTemp[MAX_PATH] = {0};
        DWORD nTmp = GetEnvironmentVariableA("TMP", oldTmp, MAX_PATH);
        DWORD nTemp = GetEnvironmentVariableA("TEMP", oldTemp, MAX_PATH);
        if (!tempFolder.empty()) {
            SetEnvironmentVariableA("TMP", tempFolder.c_str());
            SetEnvironmentVariableA("TEMP", tempFolder.c_str());
        }
        EXPECT_TRUE(p.Start(Quote(dir_ + "setup.exe") + (args.empty() ? "" : " " + args), dir_));
        SetEnvironmentVariableA("TMP", nTmp ? oldTmp : nullptr);
        SetEnvironmentVariableA("TEMP", nTemp ? oldTemp : nullptr);
        DWORD deadline = GetTickCount() + 60000;
        while (p.Running() && GetTickCount() < deadline) {
            auto info = uidriver::WaitForMessageBox("Application Error", p.Pid(), 200);
            if (info) {
                if (box) *box = info->text;
                EXPECT_TRUE(uidriver::CloseMessageBox(info->hwnd));
            }
        }
        EXPECT_TRUE(p.WaitForExit(10000));
        return p.ExitCode();
    }
    std::string dir_;
};

TEST_F(SetupProcess, WithoutEarlierInstallationStartsSetupPrgAndEnds) {
    ASSERT_TRUE(fixture::CopyFromTestBin("standin_setup.exe", dir_, "setup.prg"));
    fixture::WriteFile(dir_ + "setup.prg.ini", "[StandIn]\r\nMainMs=200\r\n");
    std::string box;
    EXPECT_EQ(Run("", &box), 0u);
    EXPECT_EQ(box, "");
    ASSERT_TRUE(fixture::WaitUntil([&] { return fixture::Exists(dir_ + "setup.prg.log"); }, 10000));
    EXPECT_EQ(fixture::ReadLines(dir_ + "setup.prg.log"),
              std::vector<std::string>{dir_ + "setup.prg"});
}

TEST_F(SetupProcess, EmptyQuotesRunWizardModeToo) {
    ASSERT_TRUE(fixture::CopyFromTestBin("standin_setup.exe", dir_, "setup.prg"));
    fixture::WriteFile(dir_ + "setup.prg.ini", "[StandIn]\r\nMainMs=200\r\n");
    EXPECT_EQ(Run("\"\""), 0u);
    EXPECT_TRUE(fixture::WaitUntil([&] { return fixture::Exists(dir_ + "setup.prg.log"); }, 10000));
}

TEST_F(SetupProcess, RestoreModeCallsTheMatchingConverterOfTheFirstFourCharacters) {
    Probe("probe.dll", "N1.1");
    Converter("conv_a", "L2.1", "0");
    Converter("conv_b", "L2.5", "0");
    EXPECT_EQ(Run("L2.15 x"), 0u);
    EXPECT_EQ(fixture::ReadLines(dir_ + "calls.log"), std::vector<std::string>{"conv_a.dll"});
}

TEST_F(SetupProcess, ConverterErrorShowsTheApplicationErrorBoxAndEndsWithOne) {
    Probe("probe.dll", "N1.1");
    Converter("bad", "L2.1", "1");
    std::string box;
    EXPECT_EQ(Run("L2.1", &box), 1u);
    EXPECT_EQ(box.rfind("Exception EFixtureConvertError in module bad.dll at ", 0), 0u) << box;
    EXPECT_NE(box.find("\nConversion failed in bad.dll."), std::string::npos) << box;
}

// A plug-in that throws what is no exception class, or faults, ends restore mode through the
// same box and exit code, instead of the run-time's terminate or the system's crash path.
TEST_F(SetupProcess, ConverterThatThrowsAnythingOrFaultsShowsTheBoxAndEndsWithOne) {
    struct Case { const char* raise; const char* start; const char* message; const char* more; };
    const Case cases[] = {
        {"int", "Exception Exception in module setup.exe at ", "\nUnknown exception of type int.", ""},
        {"null", "Exception EAccessViolation in module bad.dll at ", "\nAccess violation at address ",
         ". Write of address 00000000."},
    };
    Probe("probe.dll", "N1.1");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.raise);
        Converter("bad", "L2.1", c.raise);
        std::string box;
        EXPECT_EQ(Run("L2.1", &box), 1u);
        EXPECT_EQ(box.rfind(c.start, 0), 0u) << box;
        EXPECT_NE(box.find(c.message), std::string::npos) << box;
        EXPECT_NE(box.find(c.more), std::string::npos) << box;
    }
}

TEST_F(SetupProcess, NonStringUninstallCommandEndsTheStartUpWithTheBox) {
    ASSERT_TRUE(fixture::SetEntryRaw("Korvix Net 2.0", REG_DWORD));
    std::string box;
    EXPECT_EQ(Run("", &box), 1u);
    EXPECT_NE(box.find("ERegistryException"), std::string::npos) << box;
    EXPECT_NE(box.find("Invalid data type for 'UninstallString'"), std::string::npos) << box;
    EXPECT_FALSE(fixture::Exists(dir_ + "setup.prg.log"));
}

TEST_F(SetupProcess, TemporaryFolderThatDoesNotFitEndsTheStartUpWithTheBox) {
    // Every saved-database path is built on the temporary folder: one longer than the
    // 255 characters asked for must stop setup before it does anything.
    Probe("probe.dll", "N1.1");
    Converter("conv_a", "L2.1", "0");
    std::string box;
    EXPECT_EQ(Run("L2.1", &box, "C:\\" + std::string(280, 't')), 1u);
    EXPECT_NE(box.find("EOSError"), std::string::npos) << box;
    EXPECT_NE(box.find("The temporary folder cannot be determined."), std::string::npos) << box;
    EXPECT_FALSE(fixture::Exists(dir_ + "calls.log"));
}

BOOL CALLBACK CollectName(HMODULE, LPCSTR, LPSTR name, LONG_PTR names) {
    reinterpret_cast<std::vector<std::string>*>(names)->push_back(IS_INTRESOURCE(name) ? "#" : name);
    return TRUE;
}

// setup.exe carries its own icon, with a large and a small image, as the first icon group
// (the one the system shows for the program), rather than showing the system's stock icon.
TEST_F(SetupProcess, ProgramCarriesItsIconInBothSizes) {
    HMODULE exe = LoadLibraryExA((dir_ + "setup.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    std::vector<std::string> groups;
    EnumResourceNamesA(exe, RT_GROUP_ICON, CollectName, reinterpret_cast<LONG_PTR>(&groups));
    ASSERT_FALSE(groups.empty());
    EXPECT_EQ(groups[0], "MAINICON");
    for (int size : {32, 16}) {
        HICON icon = static_cast<HICON>(LoadImageA(exe, "MAINICON", IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr) << size;
        ICONINFO info;
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm;
        ASSERT_TRUE(GetObjectA(info.hbmColor, sizeof bm, &bm));
        EXPECT_EQ(bm.bmWidth, size);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
    FreeLibrary(exe);
}

}  // namespace
