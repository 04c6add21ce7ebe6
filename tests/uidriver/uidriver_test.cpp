// The UI driver against a fixture program in a process of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "uidriver/uidriver.h"

namespace {

using namespace uidriver;

std::string ExeDir() {
    char buf[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string s(buf, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

std::string OutputDir() {
    std::string d = ExeDir() + "..\\test-output\\";
    CreateDirectoryA(d.c_str(), nullptr);
    d += "uidriver\\";
    CreateDirectoryA(d.c_str(), nullptr);
    return d;
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

bool WaitForLine(const std::string& path, const std::string& line, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        for (const auto& l : ReadLines(path))
            if (l == line) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(50);
    }
}

class DriverFixture : public ::testing::Test {
protected:
    void SetUp() override {
        log_ = OutputDir() + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".log";
        DeleteFileA(log_.c_str());
        ASSERT_TRUE(app_.Start("\"" + ExeDir() + "driver_fixture.exe\" \"" + log_ + "\""))
            << "error " << app_.StartError();
        WindowQuery q;
        q.className = "KxDriverFixture";
        q.pid = app_.Pid();
        w_ = WaitForWindow(q, 10000);
        ASSERT_NE(w_, nullptr) << "fixture window did not appear";
        ASSERT_TRUE(WaitForLine(log_, "ready", 5000));
    }
    void TearDown() override {
        if (app_.Running()) app_.Kill();
    }
    ChildProcess app_;
    HWND w_ = nullptr;
    std::string log_;
};

TEST(WindowWait, GivesUpAfterItsTimeOut) {
    WindowQuery q;
    q.className = "NoSuchClassAnywhere";
    DWORD start = GetTickCount();
    EXPECT_EQ(WaitForWindow(q, 300), nullptr);
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 250u);
    EXPECT_LT(took, 3000u);
}

TEST_F(DriverFixture, FindsTheWindowByClassCaptionAndProcess) {
    WindowQuery byCaption;
    byCaption.caption = "Driver fixture";
    EXPECT_EQ(WaitForWindow(byCaption, 1000), w_);
    WindowQuery otherPid;
    otherPid.className = "KxDriverFixture";
    otherPid.pid = GetCurrentProcessId();
    EXPECT_EQ(WaitForWindow(otherPid, 200), nullptr);
    EXPECT_EQ(ClassOf(w_), "KxDriverFixture");
    EXPECT_EQ(TextOf(w_), "Driver fixture");
}

TEST_F(DriverFixture, ListsControlsWithTheirState) {
    auto controls = ListControls(w_);
    ASSERT_EQ(controls.size(), 4u) << DescribeControls(w_);
    struct Expect { const char* text; int id; bool enabled; bool checked; bool focused; };
    const Expect table[] = {
        {"&Next >", 101, true, false, true},
        {"Disabled", 102, false, false, false},
        {"Alpha", 103, true, true, false},
        {"Beta", 104, true, false, false},
    };
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(controls[i].className, "Button");
        EXPECT_EQ(controls[i].text, table[i].text);
        EXPECT_EQ(controls[i].id, table[i].id);
        EXPECT_TRUE(controls[i].visible);
        EXPECT_EQ(controls[i].enabled, table[i].enabled);
        EXPECT_EQ(controls[i].checked, table[i].checked);
        EXPECT_EQ(controls[i].focused, table[i].focused);
    }
    // Client coordinates of the top-level window.
    EXPECT_EQ(controls[0].rect.left, 20);
    EXPECT_EQ(controls[0].rect.top, 200);
    EXPECT_EQ(controls[0].rect.right - controls[0].rect.left, 120);
    auto byText = FindControl(w_, "Next >");
    ASSERT_TRUE(byText.has_value());
    EXPECT_EQ(byText->id, 101);
    EXPECT_FALSE(FindControl(w_, "Nowhere").has_value());
}

TEST_F(DriverFixture, ClicksRadioButtonsButNotDisabledButtons) {
    EXPECT_FALSE(ClickButton(w_, "Disabled"));
    ASSERT_TRUE(CheckRadio(w_, "Beta"));
    EXPECT_TRUE(WaitForLine(log_, "beta", 3000));
    auto alpha = FindControl(w_, "Alpha");
    ASSERT_TRUE(alpha.has_value());
    EXPECT_FALSE(alpha->checked);
    EXPECT_FALSE(CheckRadio(w_, "Gamma"));
}

TEST_F(DriverFixture, ReadsAndClosesAMessageBoxOpenedByAClick) {
    // The click is posted, so the box that it opens does not block us.
    ASSERT_TRUE(ClickButton(w_, "Next >"));
    auto box = WaitForMessageBox("Fixture question", app_.Pid(), 5000);
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, "Continue?");
    ASSERT_EQ(box->buttons.size(), 2u);
    EXPECT_EQ(box->buttons[0], "OK");
    EXPECT_EQ(box->buttons[1], "Cancel");
    ASSERT_TRUE(CloseMessageBox(box->hwnd, "Cancel"));
    EXPECT_TRUE(WaitForLine(log_, "box 2", 3000));

    // Mouse messages work as well, and OK answers 1.
    ASSERT_TRUE(ClickButton(w_, "&Next >", ClickMode::Mouse));
    box = WaitForMessageBox("Fixture question", app_.Pid(), 5000);
    ASSERT_TRUE(box.has_value());
    ASSERT_TRUE(CloseMessageBox(box->hwnd));
    EXPECT_TRUE(WaitForLine(log_, "box 1", 3000));
}

TEST_F(DriverFixture, KeysGoToTheFocusedControlThroughTheMessageLoop) {
    ASSERT_EQ(FocusedControl(w_), FindControl(w_, "Next >")->hwnd);
    ASSERT_TRUE(PressKey(w_, VK_RETURN));
    auto box = WaitForMessageBox("Fixture question", app_.Pid(), 5000);
    ASSERT_TRUE(box.has_value()) << "Enter did not press the focused button";
    ASSERT_TRUE(CloseMessageBox(box->hwnd, "OK"));
    ASSERT_TRUE(WaitForLine(log_, "box 1", 3000));

    // Tab moves the focus on to the next tab stop (the disabled button is skipped).
    ASSERT_TRUE(PressKey(w_, VK_TAB));
    HWND alpha = FindControl(w_, "Alpha")->hwnd;
    DWORD start = GetTickCount();
    while (FocusedControl(w_) != alpha && GetTickCount() - start < 3000) Sleep(50);
    EXPECT_EQ(FocusedControl(w_), alpha) << DescribeControls(w_);

    ASSERT_TRUE(PressKey(w_, VK_ESCAPE));
    ASSERT_TRUE(app_.WaitForExit(5000));
    EXPECT_EQ(app_.ExitCode(), 3u);
    EXPECT_TRUE(WaitForLine(log_, "escape", 1000));
}

TEST_F(DriverFixture, ScreenshotHoldsTheWindowsPixels) {
    std::string png = OutputDir() + "driver_fixture.png";
    DeleteFileA(png.c_str());
    ASSERT_TRUE(Screenshot(w_, png));
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    ASSERT_TRUE(ReadPng(png, width, height, rgb));
    RECT r;
    GetWindowRect(w_, &r);
    EXPECT_EQ(width, r.right - r.left);
    EXPECT_EQ(height, r.bottom - r.top);
    // A point of the client area away from every control shows the red background.
    POINT p = {300, 100};
    ClientToScreen(w_, &p);
    size_t at = (static_cast<size_t>(p.y - r.top) * width + (p.x - r.left)) * 3;
    ASSERT_LT(at + 2, rgb.size());
    EXPECT_EQ(rgb[at], 255);
    EXPECT_EQ(rgb[at + 1], 0);
    EXPECT_EQ(rgb[at + 2], 0);
    // The button is not red.
    POINT b = {30, 210};
    ClientToScreen(w_, &b);
    size_t bt = (static_cast<size_t>(b.y - r.top) * width + (b.x - r.left)) * 3;
    EXPECT_FALSE(rgb[bt] == 255 && rgb[bt + 1] == 0 && rgb[bt + 2] == 0);
}

TEST(Png, RoundTripsAndRejectsDamage) {
    const int w = 5, h = 3;
    std::vector<unsigned char> rgb(w * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<unsigned char>(i * 7);
    std::string path = OutputDir() + "roundtrip.png";
    ASSERT_TRUE(WritePng(path, w, h, rgb));
    int rw = 0, rh = 0;
    std::vector<unsigned char> back;
    ASSERT_TRUE(ReadPng(path, rw, rh, back));
    EXPECT_EQ(rw, w);
    EXPECT_EQ(rh, h);
    EXPECT_EQ(back, rgb);
    EXPECT_FALSE(WritePng(path, w, h, std::vector<unsigned char>(3)));  // wrong size

    // Flip one byte of the image data: the CRC no longer matches.
    std::string bytes;
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream ss;
        ss << in.rdbuf();
        bytes = ss.str();
    }
    bytes[bytes.size() - 20] ^= 0x55;
    std::string bad = OutputDir() + "damaged.png";
    std::ofstream(bad, std::ios::binary) << bytes;
    EXPECT_FALSE(ReadPng(bad, rw, rh, back));
}

TEST(Process, KillsAChildThatOutlivesItsTimeOut) {
    ChildProcess p;
    ASSERT_TRUE(p.Start("\"" + ExeDir() + "driver_fixture.exe\" --sleep"));
    DWORD start = GetTickCount();
    EXPECT_FALSE(p.WaitForExit(300));
    EXPECT_LT(GetTickCount() - start, 6000u);
    EXPECT_TRUE(p.TimedOut());
    EXPECT_FALSE(p.Running());
    EXPECT_EQ(p.ExitCode(), 0xDEADu);

    RunResult missing = RunProcess("\"" + ExeDir() + "no_such_program.exe\"", 1000);
    EXPECT_FALSE(missing.started);
}

}  // namespace
