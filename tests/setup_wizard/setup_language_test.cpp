// setup.exe in wizard mode follows Lang.cfg: the wizard's page caption comes in the language
// that Lang.cfg names when the dictionary holds it and the system's code page can show it,
// else in language 1 (English); a missing dictionary file ends the start-up with the error
// box. The program runs once under code page 1252 and once under 1251 (see CMakeLists.txt):
// the expectations follow the code page the test finds.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "fixture_util.h"
#include "uidriver/uidriver.h"

namespace {

const char* const kEntry = "KorvixNet";
const char* const kFoundEnglish = "Found previous installation";
const char* const kFoundGerman = "Fr\xFChere Installation gefunden";  // code page 1252
const char* const kFoundRussian =                                       // code page 1251
    "\xCE\xE1\xED\xE0\xF0\xF3\xE6\xE5\xED\xE0\x20\xEF\xF0\xE5\xE4\xFB\xE4\xF3\xF9\xE0\xFF\x20\xF3"
    "\xF1\xF2\xE0\xED\xEE\xE2\xEA\xE0";

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

class Language : public ::testing::Test {
protected:
    void SetUp() override {
        fixture::RemoveProductEntries();
        dir_ = fixture::FreshFolder("setup language",
                                    ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                                        std::to_string(GetACP()));
        ASSERT_TRUE(fixture::Copy(KX_BIN_DIR "\\setup.exe", dir_ + "setup.exe"));
        fixture::CopyRuntime(dir_);
        // An earlier installation whose uninstaller is never run here.
        ASSERT_TRUE(fixture::SetEntry(kEntry, Quote(dir_ + "uninst.exe")));
    }
    void TearDown() override {
        if (child_ && child_->Running()) child_->Kill();
        fixture::RemoveProductEntries();
    }

    // Starts setup.exe and returns the caption its wizard shows first; closes the wizard.
    std::string FirstCaption(const std::string& shot) {
        child_ = std::make_unique<uidriver::ChildProcess>();
        EXPECT_TRUE(child_->Start(Quote(dir_ + "setup.exe"), dir_));
        uidriver::WindowQuery q;
        q.className = "TfrmMain";
        q.pid = child_->Pid();
        HWND main = uidriver::WaitForWindow(q, 20000);
        if (!main) {
            ADD_FAILURE() << "no wizard";
            return "";
        }
        fixture::WaitUntil([&] { return IsWindowVisible(main) && !uidriver::TextOf(main).empty(); },
                           15000);
        uidriver::PumpFor(300);
        const std::string caption = uidriver::TextOf(main);
        std::string dir = fixture::ExeDir() + "..\\test-output\\";
        CreateDirectoryA(dir.c_str(), nullptr);
        EXPECT_TRUE(uidriver::Screenshot(main, dir + "language_" + shot + ".png"));
        PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(child_->WaitForExit(15000));
        EXPECT_EQ(child_->ExitCode(), 0u);
        return caption;
    }

    std::string dir_;
    std::unique_ptr<uidriver::ChildProcess> child_;
};

}  // namespace

TEST_F(Language, PageCaptionFollowsLangCfg) {
    const bool cp1251 = GetACP() == 1251;
    ASSERT_TRUE(cp1251 || GetACP() == 1252) << GetACP();
    const struct {
        const char* lang;  // Lang.cfg's LastLanguage; nullptr: no Lang.cfg
        std::string expected;
    } cases[] = {
        {"German", cp1251 ? kFoundEnglish : kFoundGerman},
        {"Russian", cp1251 ? kFoundRussian : kFoundEnglish},
        {"English", kFoundEnglish},
        // Names compare case-sensitively: no match, so the language the dictionary opened
        // with (the user's) stays.
        {"german", cp1251 ? kFoundRussian : kFoundEnglish},
        {nullptr, kFoundEnglish},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(fixture::Copy(KX_BIN_DIR "\\Wizard.gld", dir_ + "Wizard.gld"));
        DeleteFileA((dir_ + "Lang.cfg").c_str());
        if (cases[i].lang)
            fixture::WriteFile(dir_ + "Lang.cfg",
                               std::string("[Language]\r\nLastLanguage=") + cases[i].lang + "\r\n");
        const std::string shot = std::to_string(GetACP()) + "_" + std::to_string(i) + "_" +
                                 (cases[i].lang ? cases[i].lang : "none");
        EXPECT_EQ(FirstCaption(shot), cases[i].expected);
    }
}

TEST_F(Language, MissingDictionaryEndsTheStartUpWithTheErrorBox) {
    child_ = std::make_unique<uidriver::ChildProcess>();
    ASSERT_TRUE(child_->Start(Quote(dir_ + "setup.exe"), dir_));
    std::string box;
    DWORD deadline = GetTickCount() + 30000;
    while (child_->Running() && GetTickCount() < deadline) {
        auto info = uidriver::WaitForMessageBox("Application Error", child_->Pid(), 200);
        if (info) {
            box = info->text;
            EXPECT_TRUE(uidriver::CloseMessageBox(info->hwnd));
        }
    }
    EXPECT_TRUE(child_->WaitForExit(10000));
    EXPECT_EQ(child_->ExitCode(), 1u);
    EXPECT_NE(box.find("EFOpenError"), std::string::npos) << box;
    EXPECT_NE(box.find("Cannot open file Wizard.gld"), std::string::npos) << box;
}
