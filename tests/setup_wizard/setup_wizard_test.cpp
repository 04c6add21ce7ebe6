// The wizard's roads as a person walks them: setup.exe started from a folder with a blank in
// its name, beside a fixture old installation (uninstall entry, uninstaller stand-in, set-up
// stand-in, version probe, converter, a database under an alias), driven through the UI
// driver and judged by the stand-ins' logs, the registry, the saved files and the exit code.
// Screenshots of the six pages go to the test output folder. The same roads in the language
// of Lang.cfg (German under code page 1252, Russian under 1251; see CMakeLists.txt) compare
// every text the windows show with the built Wizard.gld.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "fixture_util.h"
#include "doors_table.h"
#include "uidriver/uidriver.h"
#include "wizard_texts.h"

namespace {

const char* const kEntry = "KorvixNet";  // a product entry ("korvixnet")
const char* const kFound = "Found previous installation";
const char* const kRemoving = "Removing previous installation";
const char* const kNotDetected = "Korvix database version is not detected";
const char* const kConvert = "Convert saved databases";

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

std::string OutputFolder() {
    std::string dir = fixture::ExeDir() + "..\\test-output\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

struct Options {
    std::string dbVersion = "L2.1";    // the probe's GetDBVersion answer ("" = Nop)
    bool emptyVersionTag = false;      // the probe answers a tag of length 0 instead
    bool alias = true;                 // KorvixNetGlobal names the database folder
    std::string uninstallMode = "remove";
    std::string setupSettings = "MainMs=800\r\nDeleteMs=300\r\nRegister=KorvixNet\r\n"
                                "UninstallString=x\r\n";
    std::string lastLanguage;          // Lang.cfg's LastLanguage; empty: no Lang.cfg
    int extraFiles = 0;                // more files of 64 KB in the database folder
};

class Wizard : public ::testing::Test {
protected:
    void SetUp() override { fixture::RemoveProductEntries(); }
    void TearDown() override {
        if (child_.Running()) child_.Kill();
        // A stand-in still running would register its entry into the next test's registry.
        for (const char* pid : {"setup.prg.pid", "uninst.exe.pid"})
            if (!dir_.empty() && fixture::Exists(dir_ + pid))
                uidriver::KillPid(DWORD(std::stoul("0" + fixture::ReadFile(dir_ + pid))));
        fixture::RemoveProductEntries();
    }

    void Prepare(const Options& o) {
        dir_ = fixture::FreshFolder("setup wizard",
                                    ::testing::UnitTest::GetInstance()->current_test_info()->name());
        db_ = dir_ + "db\\";
        temp_ = dir_ + "temp\\";
        CreateDirectoryA(db_.c_str(), nullptr);
        CreateDirectoryA(temp_.c_str(), nullptr);
        ASSERT_TRUE(fixture::Copy(KX_BIN_DIR "\\setup.exe", dir_ + "setup.exe"));
        fixture::CopyRuntime(dir_);
        ASSERT_TRUE(fixture::Copy(KX_BIN_DIR "\\Wizard.gld", dir_ + "Wizard.gld"));
        ASSERT_TRUE(fixture::CopyFromTestBin("standin_setup.exe", dir_, "setup.prg"));
        fixture::WriteFile(dir_ + "setup.prg.ini", "[StandIn]\r\n" + o.setupSettings);
        ASSERT_TRUE(fixture::CopyFromTestBin("standin_uninstaller.exe", dir_, "uninst.exe"));
        fixture::WriteFile(dir_ + "uninst.exe.ini", "[StandIn]\r\nMode=" + o.uninstallMode +
                                                        "\r\nEntry=" + kEntry + "\r\nDelayMs=300\r\n");
        ASSERT_TRUE(fixture::CopyFromTestBin("version_probe.dll", dir_, "probe.dll"));
        fixture::WriteFile(dir_ + "probe.dll.ini",
                           "[Probe]\r\n" +
                               (o.emptyVersionTag ? "DBVersion=\r\n"
                                : o.dbVersion.empty() ? "" : "DBVersion=" + o.dbVersion + "\r\n") +
                               "LumexVersion=N1.1\r\n");
        ASSERT_TRUE(fixture::CopyFromTestBin("fake_converter.dll", dir_, "conv.dll"));
        fixture::WriteFile(dir_ + "conv.ini", "[Converter]\r\nFrom=L2.1\r\nTo=N1.1\r\nLog=" + dir_ +
                                                  "calls.log\r\nThrow=0\r\n");
        fixture::MakeDoorsTable(db_);
        fixture::WriteFile(db_ + "extra.txt", "extra");
        const std::string block(64 * 1024, 'x');
        for (int i = 0; i < o.extraFiles; ++i)
            fixture::WriteFile(db_ + "more" + std::to_string(i) + ".dat", block);
        if (!o.lastLanguage.empty())
            fixture::WriteFile(dir_ + "Lang.cfg",
                               "[Language]\r\nLastLanguage=" + o.lastLanguage + "\r\n");
        std::string engine = dir_ + "engine.ini";
        fixture::WriteFile(engine, o.alias ? "[KorvixNetGlobal]\r\nPATH=" + db_ +
                                                 "\r\nTYPE=STANDARD\r\nDEFAULT DRIVER=PARADOX\r\n"
                                           : "");
        // The child (and the restore instance it starts) inherit it.
        SetEnvironmentVariableA("KX_DBENGINE_CONFIG", engine.c_str());
        ASSERT_TRUE(fixture::SetEntry(kEntry, Quote(dir_ + "uninst.exe")));
    }

    // Starts setup.exe and waits for the wizard's first page (its caption given).
    void Start(const std::string& firstCaption = kFound) {
        // A temporary folder of the child's own, so that its tmpDB is this test's alone; ours
        // stays as it was.
        char tmp[MAX_PATH] = {0}, tempVar[MAX_PATH] = {0};
        DWORD nTmp = GetEnvironmentVariableA("TMP", tmp, MAX_PATH);
        DWORD nTemp = GetEnvironmentVariableA("TEMP", tempVar, MAX_PATH);
        SetEnvironmentVariableA("TMP", temp_.c_str());
        SetEnvironmentVariableA("TEMP", temp_.c_str());
        bool started = child_.Start(Quote(dir_ + "setup.exe"), dir_);
        SetEnvironmentVariableA("TMP", nTmp ? tmp : nullptr);
        SetEnvironmentVariableA("TEMP", nTemp ? tempVar : nullptr);
        ASSERT_TRUE(started);
        uidriver::WindowQuery q;
        q.className = "TfrmMain";
        q.pid = child_.Pid();
        main_ = uidriver::WaitForWindow(q, 20000);
        ASSERT_NE(main_, nullptr) << "no wizard";
        ASSERT_TRUE(WaitPage(firstCaption));
    }

    bool WaitPage(const std::string& caption, DWORD ms = 15000) {
        bool ok = fixture::WaitUntil(
            [&] { return IsWindowVisible(main_) && uidriver::TextOf(main_) == caption; }, ms);
        if (!ok)
            ADD_FAILURE() << "page '" << caption << "' not shown; caption '" << uidriver::TextOf(main_)
                          << "'\n" << uidriver::DescribeControls(main_);
        return ok;
    }
    // The visible button of the shown page.
    std::optional<uidriver::Control> Button(const std::string& text) {
        return uidriver::FindControl(main_, text, "Button");
    }
    void ExpectFocus(const std::string& text) {
        auto b = Button(text);
        ASSERT_TRUE(b.has_value()) << text;
        EXPECT_TRUE(fixture::WaitUntil([&] { return uidriver::FocusedControl(main_) == b->hwnd; }, 3000))
            << "focus is not on " << text << "\n" << uidriver::DescribeControls(main_);
    }
    void Click(const std::string& text) {
        ASSERT_TRUE(uidriver::WaitForControl(main_, text, 5000).has_value())
            << text << "\n" << uidriver::DescribeControls(main_);
        ASSERT_TRUE(uidriver::ClickButton(main_, text)) << text;
    }
    void Shot(const std::string& name) {
        uidriver::PumpFor(300);
        EXPECT_TRUE(uidriver::Screenshot(main_, OutputFolder() + "wizard_" + name + ".png"));
    }
    // Gives the focus back to a control of the wizard (clicking a radio button moved it there).
    void SetFocusTo(HWND control) {
        DWORD thread = GetWindowThreadProcessId(main_, nullptr);
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        SetFocus(control);
        AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
        EXPECT_TRUE(fixture::WaitUntil([&] { return uidriver::FocusedControl(main_) == control; }, 3000));
    }
    bool Checked(const std::string& radio) {
        auto c = uidriver::FindControl(main_, radio, "Button");
        return c && c->checked;
    }
    // Cancel, then the confirmation's button (pressed by Enter when `text` is empty).
    void CancelThen(const std::string& text) {
        Click("Cancel");
        uidriver::WindowQuery q;
        q.className = "TfrmCancelWarn";
        q.pid = child_.Pid();
        HWND w = uidriver::WaitForWindow(q, 5000);
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(uidriver::WaitForControl(w, "&Resume", 3000).has_value());
        if (text.empty())
            ASSERT_TRUE(uidriver::PressKey(w, VK_RETURN));
        else
            ASSERT_TRUE(uidriver::ClickButton(w, text));
        EXPECT_TRUE(uidriver::WaitForWindowGone(w, 5000));
    }
    DWORD Exit(DWORD ms = 30000) {
        EXPECT_TRUE(child_.WaitForExit(ms)) << "setup did not end";
        return child_.ExitCode();
    }
    std::vector<std::string> Log(const std::string& file) { return fixture::ReadLines(dir_ + file); }
    bool Saved(const std::string& file) { return fixture::Exists(temp_ + "tmpDB\\" + file); }

    uidriver::ChildProcess child_;
    HWND main_ = nullptr;
    std::string dir_, db_, temp_;
};

// Save chosen with a version, removal, the set-up registering the new version, restore chosen:
// the whole road to the restore-mode instance, which runs the converter for "L2.1".
TEST_F(Wizard, SaveRemoveInstallAndRestoreRunsTheConverterInRestoreMode) {
    Prepare(Options());
    Start();
    ExpectFocus("&Next >");
    EXPECT_TRUE(Checked("Save and convert current database (recommended)."));
    Shot("1_tsOldLumexFound");
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    EXPECT_TRUE(Saved("Doors.DB"));
    EXPECT_TRUE(Saved("extra.txt"));
    uidriver::WindowQuery saving;
    saving.className = "TfrmSaving";
    saving.pid = child_.Pid();
    EXPECT_TRUE(uidriver::FindWindows(saving).empty()) << "the saving window stayed";
    ExpectFocus("&Next >");
    Shot("5_tsRemoveOld3");
    // Back to the first page and Next again: the save runs again and overwrites.
    fixture::WriteFile(db_ + "extra.txt", "changed");
    Click("< &Back");
    ASSERT_TRUE(WaitPage(kFound));
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    EXPECT_EQ(fixture::ReadFile(temp_ + "tmpDB\\extra.txt"), "changed");
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kConvert, 30000));
    ExpectFocus("&Next >");
    EXPECT_TRUE(Checked("Restore saved database."));
    EXPECT_FALSE(Button("< &Back")->enabled);
    Shot("6_tsFinalAsk");
    EXPECT_EQ(Log("uninst.exe.log").size(), 1u);
    EXPECT_EQ(Log("setup.prg.log"), std::vector<std::string>{dir_ + "setup.prg"});
    Click("&Next >");
    EXPECT_EQ(Exit(), 0u);
    ASSERT_TRUE(fixture::WaitUntil([&] { return fixture::Exists(dir_ + "calls.log"); }, 30000))
        << "no restore-mode instance ran the converter";
    EXPECT_EQ(Log("calls.log"), std::vector<std::string>{"conv.dll"});
    uidriver::WindowQuery restore;
    restore.className = "TfrmRestore";
    EXPECT_TRUE(uidriver::WaitForNoWindow(restore, 20000));
}

// No probe answers: the warning page with Cancel focused, Next and Back between it and the
// second removal page, then Cancel and "Exit Setup" end everything without a start.
TEST_F(Wizard, NoVersionLeadsToTheWarningPageAndExitSetupEndsWithoutStarts) {
    Options o;
    o.dbVersion = "";
    Prepare(o);
    Start();
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kNotDetected));
    ExpectFocus("Cancel");
    Shot("3_tsDBVerNotValid");
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    ExpectFocus("&Next >");
    EXPECT_TRUE(Checked("Remove previous version of Korvix (recommended)."));
    Shot("4_tsRMOldVer2");
    Click("< &Back");
    ASSERT_TRUE(WaitPage(kNotDetected));
    CancelThen("E&xit Setup");
    EXPECT_EQ(Exit(), 0u);
    EXPECT_FALSE(fixture::Exists(dir_ + "uninst.exe.log"));
    EXPECT_FALSE(fixture::Exists(dir_ + "setup.prg.log"));
    EXPECT_FALSE(Saved("Doors.DB"));
    EXPECT_TRUE(fixture::EntryExists(kEntry));
}

// No version, then removal on the second removal page (step R2): the uninstaller removes the
// entry, the set-up starts, the wizard ends; nothing was saved.
TEST_F(Wizard, RemovalAfterTheWarningPageRunsTheUninstallerThenTheSetUp) {
    Options o;
    o.dbVersion = "";
    Prepare(o);
    Start();
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kNotDetected));
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    EXPECT_TRUE(Checked("Remove previous version of Korvix (recommended)."));
    Click("&Next >");
    EXPECT_EQ(Exit(), 0u);
    EXPECT_EQ(Log("uninst.exe.log").size(), 1u);
    EXPECT_FALSE(fixture::EntryExists(kEntry));
    EXPECT_TRUE(fixture::WaitUntil([&] { return fixture::Exists(dir_ + "setup.prg.log"); }, 10000));
    EXPECT_FALSE(Saved("Doors.DB"));
}

// The save declined, then "Install without removing old version." and Enter: the page's own
// Next runs (the hidden third page's Next, whose removal choice is still checked, would run
// the uninstaller): no uninstaller, the set-up starts, the wizard ends.
TEST_F(Wizard, InstallOverTheOldVersionStartsOnlyTheSetUp) {
    Prepare(Options());
    Start();
    ASSERT_TRUE(uidriver::CheckRadio(main_, "Replace current database with new one."));
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    ExpectFocus("&Next >");
    Shot("2_tsRMOldVer");
    ASSERT_TRUE(uidriver::CheckRadio(main_, "Install without removing old version."));
    auto next = Button("&Next >");
    ASSERT_TRUE(next.has_value());
    SetFocusTo(next->hwnd);
    ASSERT_TRUE(uidriver::PressKey(main_, VK_RETURN));
    EXPECT_EQ(Exit(), 0u);
    EXPECT_TRUE(fixture::WaitUntil([&] { return fixture::Exists(dir_ + "setup.prg.log"); }, 10000));
    EXPECT_FALSE(fixture::Exists(dir_ + "uninst.exe.log"));
    EXPECT_FALSE(Saved("Doors.DB"));
}

// The uninstaller runs but the user cancels it: the entry stays, so the set-up is not started.
TEST_F(Wizard, CancelledUninstallerEndsWithoutTheSetUp) {
    Options o;
    o.uninstallMode = "keep";
    Prepare(o);
    Start();
    ASSERT_TRUE(uidriver::CheckRadio(main_, "Replace current database with new one."));
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    Click("&Next >");
    EXPECT_EQ(Exit(), 0u);
    EXPECT_EQ(Log("uninst.exe.log").size(), 1u);
    EXPECT_TRUE(fixture::EntryExists(kEntry));
    Sleep(500);
    EXPECT_FALSE(fixture::Exists(dir_ + "setup.prg.log"));
}

// Removal chosen after the save, the set-up cancelled: the count stays below its value before
// the removal, so the wizard ends instead of offering the restore.
TEST_F(Wizard, CancelledSetUpAfterTheRemovalEndsTheWizard) {
    Options o;
    o.setupSettings = "MainMs=500\r\nCancel=1\r\nRegister=KorvixNet\r\nUninstallString=x\r\n";
    Prepare(o);
    Start();
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    Click("&Next >");
    EXPECT_EQ(Exit(), 0u);
    EXPECT_EQ(Log("uninst.exe.log").size(), 1u);
    EXPECT_EQ(Log("setup.prg.log").size(), 1u);
    EXPECT_FALSE(fixture::EntryExists(kEntry));
    EXPECT_FALSE(fixture::Exists(dir_ + "calls.log"));
}

// setup.prg cannot be started (it is missing): step R3 ends the wizard instead of waiting for
// set-up windows that will never come.
TEST_F(Wizard, SetUpThatCannotStartEndsStepR3) {
    Prepare(Options());
    ASSERT_TRUE(DeleteFileA((dir_ + "setup.prg").c_str()));
    Start();
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    Click("&Next >");
    EXPECT_EQ(Exit(20000), 0u);
    EXPECT_EQ(Log("uninst.exe.log").size(), 1u);
    EXPECT_FALSE(fixture::EntryExists(kEntry));
}

// setup.prg starts but never shows its window (it exits at once): with the wizard hidden and
// the old version removed, step R3 still ends, as after a cancelled set-up. (A test of its
// own: every road needs a fresh child and fixture.)
TEST_F(Wizard, SetUpThatEndsWithoutItsWindowEndsStepR3) {
    Options o;
    o.setupSettings = "Mode=exit\r\n";
    Prepare(o);
    Start();
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    Click("&Next >");
    EXPECT_EQ(Exit(20000), 0u);
    EXPECT_EQ(Log("setup.prg.log").size(), 1u);
    EXPECT_FALSE(fixture::EntryExists(kEntry));
    EXPECT_FALSE(fixture::Exists(dir_ + "calls.log"));
}

// Removal not chosen on the third page: the window stays while the set-up runs, its buttons
// disabled so a second Next cannot start the set-up again; with an entry afterwards the last
// page comes, and declining the restore just ends.
TEST_F(Wizard, InstallOverAfterTheSaveWaitsWithDisabledButtonsAndOffersTheRestore) {
    Options o;
    o.setupSettings = "MainMs=2000\r\n";
    Prepare(o);
    Start();
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    ASSERT_TRUE(uidriver::CheckRadio(main_, "Install without removing old version."));
    Click("&Next >");
    uidriver::WindowQuery is;
    is.className = "InstallShield_Win";
    ASSERT_NE(uidriver::WaitForWindow(is, 10000), nullptr);
    auto next = Button("&Next >");
    ASSERT_TRUE(next.has_value());
    EXPECT_FALSE(next->enabled) << uidriver::DescribeControls(main_);
    EXPECT_FALSE(uidriver::ClickButton(main_, "&Next >"));
    ASSERT_TRUE(WaitPage(kConvert, 30000));
    EXPECT_TRUE(Button("&Next >")->enabled);
    EXPECT_EQ(Log("setup.prg.log").size(), 1u);
    EXPECT_FALSE(fixture::Exists(dir_ + "uninst.exe.log"));
    ASSERT_TRUE(uidriver::CheckRadio(main_, "Do not restore saved database."));
    Click("&Next >");
    EXPECT_EQ(Exit(), 0u);
    Sleep(1000);
    EXPECT_FALSE(fixture::Exists(dir_ + "calls.log"));
    EXPECT_TRUE(Saved("Doors.DB"));  // the saved database stays
}

// The close box while step R3 waits for the set-up: the wizard ends with exit code 0 and
// starts no restore, though the set-up registers its entry afterwards.
TEST_F(Wizard, CloseBoxDuringTheSetUpWaitEndsWithoutTheLastPage) {
    Options o;
    o.setupSettings = "MainMs=1500\r\nDeleteMs=300\r\nRegister=KorvixNet\r\nUninstallString=x\r\n";
    Prepare(o);
    Start();
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    ASSERT_TRUE(uidriver::CheckRadio(main_, "Install without removing old version."));
    Click("&Next >");
    uidriver::WindowQuery is;
    is.className = "InstallShield_Win";
    ASSERT_NE(uidriver::WaitForWindow(is, 10000), nullptr);
    PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    bool lastPageSeen = false;
    fixture::WaitUntil([&] {
        if (IsWindowVisible(main_) && uidriver::TextOf(main_) == kConvert) lastPageSeen = true;
        return !child_.Running();
    }, 30000);
    EXPECT_FALSE(lastPageSeen);
    EXPECT_EQ(Exit(), 0u);
    EXPECT_FALSE(fixture::Exists(dir_ + "calls.log"));
}

// Cancel then Enter (the focused "&Resume"), Cancel then "&Resume": the same page with the
// same choice; the close box then ends the wizard at once, starting nothing.
TEST_F(Wizard, ResumeKeepsThePageAndTheCloseBoxEndsWithoutStarts) {
    Prepare(Options());
    Start();
    CancelThen("");
    ASSERT_TRUE(WaitPage(kFound));
    ASSERT_TRUE(uidriver::CheckRadio(main_, "Replace current database with new one."));
    CancelThen("&Resume");
    ASSERT_TRUE(WaitPage(kFound));
    EXPECT_TRUE(Checked("Replace current database with new one."));
    EXPECT_FALSE(Checked("Save and convert current database (recommended)."));
    PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Exit(), 0u);
    EXPECT_FALSE(fixture::Exists(dir_ + "uninst.exe.log"));
    EXPECT_FALSE(fixture::Exists(dir_ + "setup.prg.log"));
}

// The database cannot be found under either alias: the error is shown, the saving window is
// gone and the wizard stays on its first page.
TEST_F(Wizard, FailedSaveShowsTheErrorAndStaysOnTheFirstPage) {
    Options o;
    o.alias = false;
    Prepare(o);
    Start();
    Click("&Next >");
    auto box = uidriver::WaitForMessageBox("Error", child_.Pid(), 10000);
    ASSERT_TRUE(box.has_value()) << "no error box";
    EXPECT_FALSE(box->text.empty());
    EXPECT_TRUE(uidriver::CloseMessageBox(box->hwnd));
    ASSERT_TRUE(WaitPage(kFound));
    uidriver::WindowQuery saving;
    saving.className = "TfrmSaving";
    saving.pid = child_.Pid();
    EXPECT_TRUE(uidriver::FindWindows(saving).empty());
    EXPECT_FALSE(Saved("Doors.DB"));
    PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Exit(), 0u);
}

// An error in a removal step after the window was hidden (the entry's command turned into a
// number): the window comes back before the error is shown, and the wizard goes on.
TEST_F(Wizard, ErrorAfterHidingShowsTheWindowAgain) {
    Prepare(Options());
    Start();
    ASSERT_TRUE(uidriver::CheckRadio(main_, "Replace current database with new one."));
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    ASSERT_TRUE(fixture::SetEntryRaw(kEntry, REG_DWORD));
    Click("&Next >");
    auto box = uidriver::WaitForMessageBox("Error", child_.Pid(), 10000);
    ASSERT_TRUE(box.has_value()) << "no error box";
    EXPECT_NE(box->text.find("Invalid data type for 'UninstallString'"), std::string::npos) << box->text;
    EXPECT_TRUE(IsWindowVisible(main_));
    EXPECT_TRUE(uidriver::CloseMessageBox(box->hwnd));
    ASSERT_TRUE(WaitPage(kRemoving));
    PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Exit(), 0u);
    EXPECT_FALSE(fixture::Exists(dir_ + "setup.prg.log"));
}

// A probe that answers an empty version tag: the save goes ahead, but the restore-mode start
// is refused (no argument would reach it). The refusal is shown, the wizard stays on its last
// page, and leaving it then ends with exit code 1.
TEST_F(Wizard, RefusedRestoreStartIsShownAndEndsWithOne) {
    Options o;
    o.emptyVersionTag = true;
    Prepare(o);
    Start();
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kRemoving));
    EXPECT_TRUE(Saved("Doors.DB"));
    Click("&Next >");
    ASSERT_TRUE(WaitPage(kConvert, 30000));
    EXPECT_TRUE(Checked("Restore saved database."));
    Click("&Next >");
    auto box = uidriver::WaitForMessageBox("Error", child_.Pid(), 10000);
    ASSERT_TRUE(box.has_value()) << "the refused start was not shown";
    EXPECT_NE(box->text.find("could not be started"), std::string::npos) << box->text;
    EXPECT_TRUE(uidriver::CloseMessageBox(box->hwnd));
    ASSERT_TRUE(WaitPage(kConvert));
    PostMessageA(main_, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(Exit(), 1u);
    EXPECT_FALSE(fixture::Exists(dir_ + "calls.log"));
}

// ---- The wizard in the language of Lang.cfg ----------------------------------------------

// The language the code page can show: German under 1252, Russian under 1251. Every text
// expected comes from the built Wizard.gld and the form descriptions.
class TranslatedWizard : public Wizard {
protected:
    void SetUp() override {
        Wizard::SetUp();
        ASSERT_TRUE(GetACP() == 1251 || GetACP() == 1252) << GetACP();
        russian_ = GetACP() == 1251;
        language_ = dictionary_.Language(russian_ ? 25 : 7);
        ASSERT_GT(language_, 0);
    }
    Options Translated() const {
        Options o;
        o.lastLanguage = russian_ ? "Russian" : "German";
        return o;
    }
    std::string T(const std::string& native) const { return dictionary_.Text(native, language_); }

    // Every Caption and Hint that the description gives under `object` (a page, or the whole
    // form) is shown by a visible control of `top`, translated; no visible control shows a
    // native text that the language translates.
    void ExpectTexts(HWND top, const char* description, const std::string& object) {
        SCOPED_TRACE(std::string(description) + " " + object);
        const std::vector<uidriver::Control> shown = uidriver::ListControls(top);
        for (const wizardtexts::FormText& t :
             wizardtexts::ReadFormTexts(std::string(KX_FORMS_DIR "/") + description)) {
            if (t.parents.empty()) {
                EXPECT_EQ(uidriver::TextOf(top), T(t.text)) << "window title";
                continue;
            }
            if (!t.Under(object) && t.object != object) continue;
            bool found = false;
            for (const uidriver::Control& c : shown) found = found || (c.visible && c.text == T(t.text));
            EXPECT_TRUE(found) << t.object << ": no visible '" << T(t.text) << "'\n"
                               << uidriver::DescribeControls(top);
        }
        for (const uidriver::Control& c : shown)
            EXPECT_FALSE(c.visible && dictionary_.UntranslatedIn(c.text, language_))
                << "untranslated: " << c.text;
    }
    void ExpectPage(const std::string& page, const std::string& caption, const std::string& shot) {
        ASSERT_TRUE(WaitPage(T(caption)));
        ExpectTexts(main_, "frmMain.txt", page);
        Shot("translated_" + std::to_string(GetACP()) + "_" + shot);
    }
    // Cancel, then the confirmation, checked and photographed; then its button `native`
    // (Enter, which presses the focused Resume, when empty).
    void CancelTranslatedThen(const std::string& native) {
        Click(T("Cancel"));
        uidriver::WindowQuery q;
        q.className = "TfrmCancelWarn";
        q.pid = child_.Pid();
        HWND w = uidriver::WaitForWindow(q, 5000);
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(uidriver::WaitForControl(w, T("&Resume"), 3000).has_value())
            << uidriver::DescribeControls(w);
        ExpectTexts(w, "frmCancelWarn.txt", "frmCancelWarn");
        uidriver::PumpFor(300);
        EXPECT_TRUE(uidriver::Screenshot(w, OutputFolder() + "translated_" +
                                                std::to_string(GetACP()) + "_frmCancelWarn.png"));
        if (native.empty())
            ASSERT_TRUE(uidriver::PressKey(w, VK_RETURN));
        else
            ASSERT_TRUE(uidriver::ClickButton(w, T(native)));
        EXPECT_TRUE(uidriver::WaitForWindowGone(w, 5000));
    }
    // The texts of the saving window and its controls, read while it is on screen (until
    // they hold every text in `wanted`, or the window is gone): the program does not process
    // messages during the save, so the texts are read as the system keeps them, without a
    // message to the window. Empty when the window was never seen.
    std::vector<std::string> SavingTextsWhileSaving(const std::string& nextCaption,
                                                    const std::vector<std::string>& wanted) {
        uidriver::WindowQuery q;
        q.className = "TfrmSaving";
        q.pid = child_.Pid();
        auto caption = [this] {
            char text[512] = {0};
            GetWindowTextA(main_, text, sizeof text);
            return std::string(text);
        };
        auto holdsAll = [&](const std::vector<std::string>& texts) {
            for (const std::string& w : wanted)
                if (std::find(texts.begin(), texts.end(), w) == texts.end()) return false;
            return true;
        };
        std::vector<std::string> seen;
        const DWORD deadline = GetTickCount() + 30000;
        while (GetTickCount() < deadline && caption() != nextCaption) {
            std::vector<std::string> texts;
            for (HWND w : uidriver::FindWindows(q)) {
                ReadText(w, reinterpret_cast<LPARAM>(&texts));
                EnumChildWindows(w, ReadText, reinterpret_cast<LPARAM>(&texts));
            }
            if (!texts.empty()) seen = texts;
            if (!seen.empty() && holdsAll(seen)) break;
            Sleep(1);
        }
        return seen;
    }

    static BOOL CALLBACK ReadText(HWND w, LPARAM texts) {
        char text[512] = {0};
        GetWindowTextA(w, text, sizeof text);
        reinterpret_cast<std::vector<std::string>*>(texts)->push_back(text);
        return TRUE;
    }

    wizardtexts::Dictionary dictionary_{KX_BIN_DIR "\\Wizard.gld"};
    bool russian_ = false;
    int language_ = -1;
};

// The save road: the first page and the exit confirmation (Resume), the page of the declined
// save and back, the saving window while the database is copied, the removal page, and after
// the set-up the last page; declining the restore ends the program.
TEST_F(TranslatedWizard, SaveRoadInTheLanguageOfLangCfg) {
    Options o = Translated();
    o.extraFiles = 300;  // a save long enough to read the saving window
    Prepare(o);
    Start(T(kFound));
    ExpectPage("tsOldLumexFound", kFound, "1_tsOldLumexFound");
    ExpectFocus(T("&Next >"));
    CancelTranslatedThen("");
    ASSERT_TRUE(WaitPage(T(kFound)));
    ASSERT_TRUE(uidriver::CheckRadio(main_, T("Replace current database with new one.")));
    Click(T("&Next >"));
    ExpectPage("tsRMOldVer", kRemoving, "2_tsRMOldVer");
    Click(T("< &Back"));
    ASSERT_TRUE(WaitPage(T(kFound)));
    ASSERT_TRUE(uidriver::CheckRadio(main_, T("Save and convert current database (recommended).")));
    Click(T("&Next >"));
    std::vector<std::string> wanted;
    for (const wizardtexts::FormText& t : wizardtexts::ReadFormTexts(KX_FORMS_DIR "/frmSaving.txt"))
        wanted.push_back(T(t.text));
    ASSERT_FALSE(wanted.empty());
    const std::vector<std::string> saving = SavingTextsWhileSaving(T(kRemoving), wanted);
    ASSERT_FALSE(saving.empty()) << "the saving window was not seen";
    for (const std::string& w : wanted)
        EXPECT_NE(std::find(saving.begin(), saving.end(), w), saving.end()) << w;
    for (const std::string& text : saving)
        EXPECT_FALSE(dictionary_.UntranslatedIn(text, language_)) << "untranslated: " << text;
    ExpectPage("tsRemoveOld3", kRemoving, "5_tsRemoveOld3");
    EXPECT_TRUE(Saved("more299.dat"));
    Click(T("&Next >"));
    ASSERT_TRUE(WaitPage(T(kConvert), 30000));
    ExpectPage("tsFinalAsk", kConvert, "6_tsFinalAsk");
    ASSERT_TRUE(uidriver::CheckRadio(main_, T("Do not restore saved database.")));
    Click(T("&Next >"));
    EXPECT_EQ(Exit(), 0u);
    EXPECT_FALSE(fixture::Exists(dir_ + "calls.log"));
}

// No version: the warning page, the second removal page, and the exit confirmation's
// "Exit Setup" ending the program.
TEST_F(TranslatedWizard, UndetectedVersionRoadInTheLanguageOfLangCfg) {
    Options o = Translated();
    o.dbVersion = "";
    Prepare(o);
    Start(T(kFound));
    Click(T("&Next >"));
    ExpectPage("tsDBVerNotValid", kNotDetected, "3_tsDBVerNotValid");
    ExpectFocus(T("Cancel"));
    Click(T("&Next >"));
    ExpectPage("tsRMOldVer2", kRemoving, "4_tsRMOldVer2");
    CancelTranslatedThen("E&xit Setup");
    EXPECT_EQ(Exit(), 0u);
    EXPECT_FALSE(fixture::Exists(dir_ + "uninst.exe.log"));
}

}  // namespace
