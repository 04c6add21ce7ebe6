// Start-up of setup: the command line, the version tag, Lang.cfg and the language choice.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "globals.h"
#include "plugins.h"
#include "startup.h"

namespace {

struct SplitCase {
    const char* commandLine;
    std::vector<std::string> args;
};

TEST(SplitCommandLine, ArgumentsAfterTheProgramName) {
    const SplitCase cases[] = {
        {"setup.exe", {}},
        {"\"C:\\Program Files\\setup.exe\"", {}},
        {"setup.exe L2.1", {"L2.1"}},
        {"setup.exe L2", {"L2"}},
        {"setup.exe L2.15 x", {"L2.15", "x"}},
        {"setup.exe \"\"", {}},
        {"setup.exe \"\" L2.5", {"L2.5"}},
        {"\"C:\\a b\\setup.exe\" \"L2.1\"", {"L2.1"}},
        {"setup.exe \"two words\" next", {"two words", "next"}},
        {"setup.exe ab\"c d\"e", {"abc de"}},
        {"setup.exe\tL2.1\r\n", {"L2.1"}},
        {"setup.exe    ", {}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(SplitCommandLine(cases[i].commandLine), cases[i].args)
            << "case " << i << ": " << cases[i].commandLine;
}

TEST(VersionCode, CopyWithMaximumAndOrder) {
    EXPECT_EQ(TVersionCode::FromText("L2.15").Text(), "L2.1");
    EXPECT_EQ(TVersionCode::FromText("L2").Text(), "L2");
    EXPECT_EQ(TVersionCode::FromText("N1.1", 2).Text(), "N1");
    EXPECT_EQ(TVersionCode::FromText("N1.1", 0).len, 0);

    struct OrderCase {
        const char* lower;
        const char* higher;
    };
    const OrderCase order[] = {
        {"2.10", "2.9"}, {"L2", "L2.1"}, {"L2.5", "Nop"}, {"L2.1", "L2.5"}, {"", "L"},
        {"N1.1", "\xC0"},  // unsigned bytes: a high character sorts last
    };
    for (size_t i = 0; i < sizeof order / sizeof order[0]; ++i) {
        auto a = TVersionCode::FromText(order[i].lower);
        auto b = TVersionCode::FromText(order[i].higher);
        EXPECT_TRUE(a < b) << "case " << i;
        EXPECT_FALSE(b < a) << "case " << i;
        EXPECT_NE(a, b) << "case " << i;
    }
    EXPECT_EQ(TVersionCode::FromText("L2.1"), TVersionCode::FromText("L2.1x"));
    EXPECT_NE(TVersionCode::FromText("l2.1"), TVersionCode::FromText("L2.1"));
    EXPECT_TRUE(TVersionCode::FromText("Nop").IsNop());

    // A plug-in's length byte above four is clamped; bytes after the length do not count.
    const uint8_t wild[] = {9, 'L', '2', '.', '5', 'X', 'Y'};
    EXPECT_EQ(TVersionCode::FromBuffer(wild).Text(), "L2.5");
    const uint8_t shortTag[] = {2, 'N', '1', '?', '?'};
    EXPECT_EQ(TVersionCode::FromBuffer(shortTag), TVersionCode::FromText("N1"));
}

class LangCfg : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        dir_ = std::string(temp) + "kx_langcfg_test\\";
        CreateDirectoryA(dir_.c_str(), nullptr);
        DeleteFileA((dir_ + "Lang.cfg").c_str());
        AppDir = dir_;
    }
    void TearDown() override {
        DeleteFileA((dir_ + "Lang.cfg").c_str());
        RemoveDirectoryA(dir_.c_str());
    }
    void Write(const char* text) {
        std::ofstream((dir_ + "Lang.cfg").c_str(), std::ios::binary) << text;
    }
    std::string dir_;
};

TEST_F(LangCfg, LastLanguageFromFileWithEnglishAsDefault) {
    struct Case {
        const char* content;  // nullptr: no file
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "English"},
        {"[Other]\r\nLastLanguage=Russian\r\n", "English"},
        {"[Language]\r\nFirst=Russian\r\n", "English"},
        {"[Language]\r\nLastLanguage=Russian\r\n", "Russian"},
        {"[language]\r\nlastlanguage=German\r\n", "German"},
        {"[Language]\r\nLastLanguage=Chinese (Taiwan)\r\n", "Chinese (Taiwan)"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        DeleteFileA((dir_ + "Lang.cfg").c_str());
        if (cases[i].content) Write(cases[i].content);
        LastLanguage.clear();
        ReadLastLanguage();
        EXPECT_EQ(LastLanguage, cases[i].expected) << "case " << i;
    }
}

class FakeDictionary : public ILanguageChoice {
public:
    std::vector<std::string> names;
    std::vector<bool> supported;
    std::vector<int> selected;
    int LanguageCount() override { return static_cast<int>(names.size()); }
    std::string EnglishName(int i) override { return names.at(i); }
    bool IsCodePageSupported(int i) override { return supported.at(i); }
    void SetLanguage(int i) override { selected.push_back(i); }
};

TEST(ChooseDictionaryLanguage, LastMatchWinsAndUnsupportedFallsBackToOne) {
    struct Case {
        const char* last;
        std::vector<std::string> names;
        std::vector<bool> supported;
        std::vector<int> expected;
    };
    const Case cases[] = {
        // language 0 is never compared
        {"English", {"English", "Russian", "German"}, {true, true, true}, {}},
        // two matches: the later one is set too and stays
        {"Russian", {"English", "Russian", "Russian", "Russian"}, {true, true, true, true}, {1, 2, 3}},
        {"German", {"English", "Russian", "German"}, {true, true, true}, {2}},
        // match whose code page cannot be shown: language 1
        {"Thai", {"English", "Russian", "Thai"}, {true, true, false}, {1}},
        // case-sensitive
        {"german", {"English", "Russian", "German"}, {true, true, true}, {}},
        // single language, no languages
        {"English", {"English"}, {true}, {}},
        {"English", {}, {}, {}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        FakeDictionary d;
        d.names = cases[i].names;
        d.supported = cases[i].supported;
        LastLanguage = cases[i].last;
        ChooseDictionaryLanguage(d);
        EXPECT_EQ(d.selected, cases[i].expected) << "case " << i;
    }
}

TEST(LoadPlugIns, ProgressStepNeverDividesByZero) {
    EXPECT_EQ(ProgressStep(3), 33);
    EXPECT_EQ(ProgressStep(1), 100);
    EXPECT_EQ(ProgressStep(101), 0);
    EXPECT_EQ(ProgressStep(0), 0);
}

}  // namespace
