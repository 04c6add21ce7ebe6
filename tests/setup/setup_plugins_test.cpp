// Plug-in loading and the restore driver, in this process: probes and converters copied into
// a fresh plug-in folder, then LoadPlugIns, GetOldDatabaseVersion and RestoreSavedDatabase.
#include <windows.h>

#include <gtest/gtest.h>

#include "fixture_util.h"
#include "globals.h"
#include "plugins.h"
#include "rtl/exceptions.h"

namespace {

class PlugIns : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fixture::FreshFolder(
            "setup_plugins", ::testing::UnitTest::GetInstance()->current_test_info()->name());
        PluginDir = dir_;
        log_ = dir_ + "calls.log";
    }
    void Probe(const std::string& as, const std::string& dbVersion,
               const std::string& newVersion) {
        ASSERT_TRUE(fixture::CopyFromTestBin("version_probe.dll", dir_, as));
        fixture::WriteFile(dir_ + as + ".ini", "[Probe]\r\nDBVersion=" + dbVersion +
                                                   "\r\nLumexVersion=" + newVersion + "\r\n");
    }
    void Converter(const std::string& stem, const std::string& from, const std::string& to,
                   bool raise = false) {
        ASSERT_TRUE(fixture::CopyFromTestBin("fake_converter.dll", dir_, stem + ".dll"));
        fixture::WriteFile(dir_ + stem + ".ini", "[Converter]\r\nFrom=" + from + "\r\nTo=" + to +
                                                     "\r\nLog=" + log_ + "\r\nThrow=" +
                                                     (raise ? "1" : "0") + "\r\n");
    }
    std::vector<std::string> Names(const std::vector<TPlugIn*>& list) {
        std::vector<std::string> out;
        for (auto* p : list) out.push_back(p->Name);
        return out;
    }
    std::string dir_, log_;
};

TEST_F(PlugIns, OldVersionIsTheGreatestAnswerOtherThanNop) {
    struct Case {
        std::vector<std::string> answers;
        std::string expected;
    };
    const Case cases[] = {
        {{"Nop", "L2.1", "L2.5"}, "L2.5"},
        {{"L2.5", "Nop"}, "L2.5"},  // a later "Nop" never replaces a version
        {{"Nop", "Nop"}, "Nop"},
        {{}, "Nop"},
        {{"L2.10", "L2.9"}, "L2.9"},  // cut to four characters, byte order
    };
    int run = 0;
    for (const Case& c : cases) {
        dir_ = fixture::FreshFolder("setup_plugins", "order" + std::to_string(run++));
        PluginDir = dir_;
        for (size_t i = 0; i < c.answers.size(); ++i)
            Probe("p" + std::to_string(i + 1) + ".dll", c.answers[i], "Nop");
        LoadPlugIns();
        EXPECT_EQ(GetOldDatabaseVersion().Text(), c.expected) << "case " << run - 1;
    }
}

TEST_F(PlugIns, ListsByExportUpperCaseSetupDllSkippedFolderIgnored) {
    Probe("a_probe.dll", "L2.1", "N1.1");
    Converter("b_conv", "L2.1", "N1.1");
    ASSERT_TRUE(fixture::CopyFromTestBin("version_probe.dll", dir_, "_SETUP.DLL"));
    CreateDirectoryA((dir_ + "folder.dll").c_str(), nullptr);
    fixture::WriteFile(dir_ + "empty.dll", "");
    ASSERT_TRUE(fixture::CopyFromTestBin("version_probe_dbonly.dll", dir_, "c_dbonly.dll"));
    LoadPlugIns();
    EXPECT_EQ(Names(*DBVersionPlugIns), (std::vector<std::string>{"a_probe.dll", "c_dbonly.dll"}));
    EXPECT_EQ(Names(*ConverterPlugIns), std::vector<std::string>{"b_conv.dll"});
    // "_SETUP.DLL" was never loaded.
    EXPECT_EQ(GetModuleHandleA((dir_ + "_SETUP.DLL").c_str()), nullptr);

    // A second load empties the lists before filling them again.
    LoadPlugIns();
    EXPECT_EQ(DBVersionPlugIns->size(), 2u);
    EXPECT_EQ(ConverterPlugIns->size(), 1u);
}

TEST_F(PlugIns, LowerCaseSetupDllIsLoadedLikeAnyOther) {
    ASSERT_TRUE(fixture::CopyFromTestBin("version_probe.dll", dir_, "_setup.dll"));
    fixture::WriteFile(dir_ + "_setup.dll.ini", "[Probe]\r\nDBVersion=L2.5\r\n");
    LoadPlugIns();
    EXPECT_EQ(Names(*DBVersionPlugIns), std::vector<std::string>{"_setup.dll"});
    EXPECT_EQ(GetOldDatabaseVersion().Text(), "L2.5");
}

TEST_F(PlugIns, DriverCallsEveryMatchingConverterInListOrder) {
    struct Case {
        std::string oldVersion;
        std::vector<std::string> expectedCalls;
    };
    const Case cases[] = {
        {"L2.1", {"a_conv.dll", "c_conv.dll"}},
        {"L2.5", {"b_conv.dll"}},
        {"L2", {}},  // no exact match: nothing runs
        {"L3.0", {}},
    };
    int run = 0;
    for (const Case& c : cases) {
        dir_ = fixture::FreshFolder("setup_plugins", "driver" + std::to_string(run++));
        PluginDir = dir_;
        log_ = dir_ + "calls.log";
        Probe("probe1.dll", "Nop", "N1.0");
        Probe("probe2.dll", "Nop", "N1.1");
        Probe("probe3.dll", "Nop", "Nop");
        Converter("a_conv", "L2.1", "N1.1");
        Converter("b_conv", "L2.5", "N1.1");
        Converter("c_conv", "L2.1", "N1.1");
        Converter("d_conv", "L2.1", "N1.0");
        LoadPlugIns();
        OldVersion = TVersionCode::FromText(c.oldVersion);
        RestoreSavedDatabase();
        EXPECT_EQ(NewVersion.Text(), "N1.1") << "case " << run - 1;
        EXPECT_EQ(fixture::ReadLines(log_), c.expectedCalls) << "case " << run - 1;
    }
}

TEST_F(PlugIns, ConverterErrorReachesTheCallerWithItsClassAndMessage) {
    Probe("probe.dll", "Nop", "N1.1");
    Converter("bad", "L2.1", "N1.1", /*raise=*/true);
    LoadPlugIns();
    OldVersion = TVersionCode::FromText("L2.1");
    try {
        RestoreSavedDatabase();
        FAIL() << "no exception";
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.ClassName(), "EFixtureConvertError");
        EXPECT_EQ(e.Message(), "Conversion failed in bad.dll");
    }
}

}  // namespace
