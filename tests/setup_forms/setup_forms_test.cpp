// setup's four small windows as the program shows them, read back from their real windows
// through the UI driver: frames, captions, texts, sizes, positions and focus, the start-up
// window's progress bar as the plug-in loading advances it, and the restore window's release.
// The four translated forms following the wizard's dictionary from language to language and
// back to their native texts.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "CancelWarn.h"
#include "Load.h"
#include "Main.h"
#include "Saving.h"
#include "StUp.h"
#include "fixture_util.h"
#include "formhooks.h"
#include "globals.h"
#include "plugins.h"
#include "qx/QxTranslator.h"
#include "qx/QxBinDic.h"
#include "uidriver/uidriver.h"
#include "wizard_texts.h"

namespace {

std::string OutputFolder() {
    std::string dir = fixture::ExeDir() + "..\\test-output\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

// One control as the layout gives it; x, y relative to the form's client area; w -1 for any.
struct Expected {
    const char* className;
    const char* text;
    int x, y, w, h;
};

std::string Where(const uidriver::Control& c) {
    return c.className + " '" + c.text + "' (" + std::to_string(c.rect.left) + "," +
           std::to_string(c.rect.top) + " " + std::to_string(c.rect.right - c.rect.left) + "x" +
           std::to_string(c.rect.bottom - c.rect.top) + ")";
}

void ExpectControls(HWND top, const std::vector<Expected>& expected) {
    std::vector<uidriver::Control> all = uidriver::ListControls(top);
    for (size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const uidriver::Control* found = nullptr;
        for (const uidriver::Control& c : all)
            if (c.className == e.className && c.text == e.text &&
                (found == nullptr || (c.rect.left == e.x && c.rect.top == e.y)))
                found = &c;
        ASSERT_NE(found, nullptr) << "case " << i << ": no " << e.className << " '" << e.text
                                  << "'\n" << uidriver::DescribeControls(top);
        EXPECT_EQ(found->rect.left, e.x) << "case " << i << ": " << Where(*found);
        EXPECT_EQ(found->rect.top, e.y) << "case " << i << ": " << Where(*found);
        if (e.w >= 0) {  // an auto-sized label takes the width of its text in the shown font
            EXPECT_EQ(found->rect.right - found->rect.left, e.w) << "case " << i << ": " << Where(*found);
        }
        EXPECT_EQ(found->rect.bottom - found->rect.top, e.h) << "case " << i << ": " << Where(*found);
        EXPECT_TRUE(found->visible) << "case " << i << ": " << Where(*found);
    }
}

SIZE ClientSize(HWND w) {
    RECT r;
    GetClientRect(w, &r);
    return {r.right - r.left, r.bottom - r.top};
}

// The window's frame centred on the screen (to the pixel, either way of rounding).
void ExpectCentred(HWND w) {
    RECT r;
    GetWindowRect(w, &r);
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_LE(std::abs((r.left + r.right) - sw), 1) << r.left << " " << r.right << " of " << sw;
    EXPECT_LE(std::abs((r.top + r.bottom) - sh), 1) << r.top << " " << r.bottom << " of " << sh;
}

LONG Style(HWND w) { return GetWindowLongA(w, GWL_STYLE); }

void ExpectDialogFrame(HWND w) {
    EXPECT_TRUE(Style(w) & WS_CAPTION);
    EXPECT_TRUE(Style(w) & WS_SYSMENU);
    EXPECT_FALSE(Style(w) & WS_MINIMIZEBOX);
    EXPECT_FALSE(Style(w) & WS_MAXIMIZEBOX);
    EXPECT_FALSE(Style(w) & WS_THICKFRAME);
    EXPECT_TRUE(GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
}

HWND OurWindow(const char* cls, DWORD timeoutMs = 5000) {
    uidriver::WindowQuery q;
    q.className = cls;
    q.pid = GetCurrentProcessId();
    return uidriver::WaitForWindow(q, timeoutMs);
}

class SmallForms : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitialiseApplication(); }
};

TEST_F(SmallForms, StartupWindowLayout) {
    CreateAndShowStartupWindow();
    ASSERT_NE(frmStUp, nullptr);
    HWND w = frmStUp->WindowHandle();
    ASSERT_NE(w, nullptr);
    uidriver::PumpFor(200);
    EXPECT_EQ(uidriver::ClassOf(w), "TfrmStUp");
    EXPECT_EQ(uidriver::TextOf(w), "Setup");
    EXPECT_EQ(ClientSize(w).cx, 346);
    EXPECT_EQ(ClientSize(w).cy, 107);
    ExpectCentred(w);
    ExpectDialogFrame(w);
    ExpectControls(w, {
        {"Static",
         "Korvix Setup is preparing the InstallShield(r) wisard which will guide you through the "
         "rest of the setup process. Please Wait.",
         68, 16, 253, 45},
        {"msctls_progress32", "", 64, 76, 261, 20},
        {"TImage", "", 16, 20, 32, 32},
    });
    // The application's icon sits in picStartUp.
    EXPECT_FALSE(frmStUp->picStartUp->Picture()->Graphic() == nullptr ||
                 frmStUp->picStartUp->Picture()->Graphic()->Empty());
    HWND bar = frmStUp->pbPrep->WindowHandle();
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
    EXPECT_TRUE(GetWindowLongA(bar, GWL_STYLE) & PBS_SMOOTH);
    EXPECT_TRUE(uidriver::Screenshot(w, OutputFolder() + "frmStUp.png"));
    FreeStartupWindow();
    EXPECT_EQ(frmStUp, nullptr);
    EXPECT_FALSE(IsWindow(w));
}

// An icon's colour image, 32 bits per pixel, top-down; empty when there is none.
struct IconImage {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    bool operator==(const IconImage& o) const {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
};

IconImage ImageOf(void* handle) {
    IconImage image;
    ICONINFO info;
    if (!handle || !GetIconInfo(static_cast<HICON>(handle), &info)) return image;
    BITMAP bm;
    if (info.hbmColor && GetObjectA(info.hbmColor, sizeof bm, &bm)) {
        image.width = bm.bmWidth;
        image.height = bm.bmHeight;
        image.pixels.resize(size_t(bm.bmWidth) * size_t(bm.bmHeight));
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = bm.bmWidth;
        bi.bmiHeader.biHeight = -bm.bmHeight;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        HDC dc = GetDC(nullptr);
        GetDIBits(dc, info.hbmColor, 0, UINT(bm.bmHeight), image.pixels.data(), &bi, DIB_RGB_COLORS);
        ReleaseDC(nullptr, dc);
    }
    if (info.hbmColor) DeleteObject(info.hbmColor);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    return image;
}

// The program's own icon, not the system's stock one: in the start-up window's caption (large
// and small image) and in its picture.
TEST_F(SmallForms, ApplicationIconInTheCaptionAndThePicture) {
    HICON big = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON,
                                              32, 32, 0));
    HICON small = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "MAINICON",
                                                IMAGE_ICON, 16, 16, 0));
    ASSERT_NE(big, nullptr) << "the program carries no icon";
    ASSERT_NE(small, nullptr);
    const IconImage bigImage = ImageOf(big), smallImage = ImageOf(small);
    DestroyIcon(big);
    DestroyIcon(small);
    EXPECT_EQ(bigImage.width, 32);
    EXPECT_EQ(smallImage.width, 16);
    EXPECT_FALSE(bigImage == ImageOf(LoadIcon(nullptr, IDI_APPLICATION)));

    CreateAndShowStartupWindow();
    ASSERT_NE(frmStUp, nullptr);
    HWND w = frmStUp->WindowHandle();
    EXPECT_TRUE(ImageOf(reinterpret_cast<HICON>(SendMessageA(w, WM_GETICON, ICON_BIG, 0))) == bigImage);
    EXPECT_TRUE(ImageOf(reinterpret_cast<HICON>(SendMessageA(w, WM_GETICON, ICON_SMALL, 0))) == smallImage);
    auto* icon = dynamic_cast<kxc::TIcon*>(frmStUp->picStartUp->Picture()->Graphic());
    ASSERT_NE(icon, nullptr);
    EXPECT_TRUE(ImageOf(icon->Handle()) == bigImage);
    FreeStartupWindow();
}

// The bar's position after every change that the plug-in loading makes, read from the bar.
std::vector<int>* g_positions;
WNDPROC g_barProc;
LRESULT CALLBACK RecordingBarProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT r = CallWindowProcA(g_barProc, w, msg, wp, lp);
    if (msg == PBM_SETPOS || msg == PBM_DELTAPOS || msg == PBM_STEPIT)
        g_positions->push_back(int(CallWindowProcA(g_barProc, w, PBM_GETPOS, 0, 0)));
    return r;
}

TEST_F(SmallForms, ThreeFolderEntriesAdvanceTheBarBy33ThreeTimes) {
    std::string dir = fixture::FreshFolder("setup_forms", "progress");
    // Three entries that the loading passes over; none needs to load.
    for (const char* f : {"a.dll", "b.dll", "c.dll"}) fixture::WriteFile(dir + f, "");
    PluginDir = dir;
    CreateAndShowStartupWindow();
    HWND bar = frmStUp->pbPrep->WindowHandle();
    std::vector<int> positions;
    g_positions = &positions;
    g_barProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&RecordingBarProc)));
    LoadPlugIns();
    SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_barProc));
    EXPECT_EQ(positions, (std::vector<int>{33, 66, 99}));
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 99);
    FreeStartupWindow();
}

TEST_F(SmallForms, SavingWindowLayout) {
    kxc::Application->CreateForm(frmSaving);
    frmSaving->PIC->Picture()->SetGraphic(kxc::Application->Icon());
    frmSaving->Show();
    frmSaving->Repaint();
    HWND w = frmSaving->WindowHandle();
    uidriver::PumpFor(200);
    EXPECT_EQ(uidriver::ClassOf(w), "TfrmSaving");
    EXPECT_FALSE(Style(w) & WS_CAPTION);
    EXPECT_FALSE(Style(w) & WS_SYSMENU);
    EXPECT_FALSE(Style(w) & (WS_BORDER | WS_THICKFRAME | WS_DLGFRAME));
    EXPECT_EQ(ClientSize(w).cx, 250);
    EXPECT_EQ(ClientSize(w).cy, 66);
    ExpectCentred(w);
    ExpectControls(w, {
        {"TPanel", "", 0, 0, 250, 66},
        {"Static", "Setup is saving old database", 80, 24, 165, 13},
        {"TImage", "", 36, 16, 32, 32},
    });
    EXPECT_TRUE(uidriver::Screenshot(w, OutputFolder() + "frmSaving.png"));
    frmSaving->Free();
    frmSaving = nullptr;
}

// Shows the exit confirmation modally on this thread while `drive` runs on another one.
template <class Drive>
kxc::TModalResult RunConfirmation(Drive drive) {
    kxc::Application->CreateForm(frmCancelWarn);
    std::thread driver([drive] {
        drive();
        // Whatever the checks found, the modal loop must end.
        HWND w = OurWindow("TfrmCancelWarn", 0);
        if (w) {
            ADD_FAILURE() << "the confirmation is still open";
            PostMessageA(w, WM_CLOSE, 0, 0);
        }
    });
    kxc::TModalResult r = frmCancelWarn->ShowModal();
    driver.join();
    frmCancelWarn->Free();
    frmCancelWarn = nullptr;
    return r;
}

TEST_F(SmallForms, ExitConfirmationLayoutAndEnterPressesResume) {
    std::atomic<bool> checked{false};
    kxc::TModalResult r = RunConfirmation([&] {
        HWND w = OurWindow("TfrmCancelWarn");
        if (!w) {
            ADD_FAILURE() << "no exit confirmation";
            return;
        }
        uidriver::WaitForControl(w, "&Resume", 3000);
        EXPECT_EQ(uidriver::TextOf(w), "Exit Setup");
        EXPECT_EQ(ClientSize(w).cx, 344);
        EXPECT_EQ(ClientSize(w).cy, 182);
        ExpectCentred(w);
        ExpectDialogFrame(w);
        ExpectControls(w, {
            {"Static",
             "Setup is not complete. If you quit the Setup program now, the program will not be "
             "installed.",
             8, 12, 313, 37},
            {"Static",
             "You may run the Setup program at a later time to complete the installation.", 8, 52,
             313, 33},
            {"Static",
             "To continue installing the program, click Resume. To quit the Setup program, click "
             "Exit Setup.",
             8, 88, 313, 37},
            {"Button", "E&xit Setup", 252, 144, 75, 25},
            {"Button", "&Resume", 168, 144, 75, 25},
        });
        auto resume = uidriver::FindControl(w, "&Resume", "Button");
        EXPECT_TRUE(resume.has_value());
        if (resume) {
            EXPECT_EQ(uidriver::FocusedControl(w), resume->hwnd);
        }
        EXPECT_TRUE(uidriver::Screenshot(w, OutputFolder() + "frmCancelWarn.png"));
        checked = true;
        EXPECT_TRUE(uidriver::PressKey(w, VK_RETURN));
        EXPECT_TRUE(uidriver::WaitForWindowGone(w, 5000)) << "Enter did not close the confirmation";
    });
    EXPECT_TRUE(checked);
    EXPECT_EQ(r, kxc::mrCancel);
    EXPECT_FALSE(kxc::Application->Terminated());  // Resume asks for nothing more
}

TEST_F(SmallForms, ExitConfirmationCloseBoxActsAsResume) {
    kxc::TModalResult r = RunConfirmation([&] {
        HWND w = OurWindow("TfrmCancelWarn");
        if (!w) {
            ADD_FAILURE() << "no exit confirmation";
            return;
        }
        PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(uidriver::WaitForWindowGone(w, 5000));
    });
    EXPECT_EQ(r, kxc::mrCancel);
    EXPECT_FALSE(kxc::Application->Terminated());
}

// Counts pixels (nearly) of the given colour in a rectangle of a screenshot of window w, given
// in w's client coordinates.
int CountColour(HWND w, const std::string& png, RECT area, unsigned char r, unsigned char g,
                unsigned char b) {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    if (!uidriver::ReadPng(png, width, height, rgb)) return -1;
    RECT win;
    GetWindowRect(w, &win);
    POINT origin = {0, 0};
    ClientToScreen(w, &origin);
    int dx = origin.x - win.left, dy = origin.y - win.top;
    int n = 0;
    for (int y = area.top + dy; y < area.bottom + dy && y < height; ++y)
        for (int x = area.left + dx; x < area.right + dx && x < width; ++x) {
            const unsigned char* p = &rgb[(size_t(y) * width + x) * 3];
            if (std::abs(p[0] - r) < 24 && std::abs(p[1] - g) < 24 && std::abs(p[2] - b) < 24) ++n;
        }
    return n;
}

TEST_F(SmallForms, RestoreWindowLayoutAndItsBitmap) {
    CreateAndShowRestoreWindow();
    ASSERT_NE(frmRestore, nullptr);
    HWND w = frmRestore->WindowHandle();
    uidriver::PumpFor(200);
    EXPECT_EQ(uidriver::ClassOf(w), "TfrmRestore");
    EXPECT_EQ(uidriver::TextOf(w), "Restore old database");
    EXPECT_EQ(ClientSize(w).cx, 309);
    EXPECT_EQ(ClientSize(w).cy, 70);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 286);
    EXPECT_EQ(r.top, 196);
    ExpectDialogFrame(w);
    ExpectControls(w, {
        {"TImage", "", 8, 19, 32, 32},
        {"Static", "Database restore may take several minutes ...", 54, 28, -1, 13},
    });
    kxc::TGraphic* g = frmRestore->imgRestore->Picture()->Graphic();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->Width(), 32);
    EXPECT_EQ(g->Height(), 32);
    // A 16-bit 5-5-5 bitmap, as stored in the description.
    auto* bmp = dynamic_cast<kxc::TBitmap*>(g);
    ASSERT_NE(bmp, nullptr);
    const std::string& file = bmp->FileBytes();
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(uint8_t(file[28]), 16);
    std::string png = OutputFolder() + "frmRestore.png";
    ASSERT_TRUE(uidriver::Screenshot(w, png));
    RECT image = {8, 19, 40, 51};
    EXPECT_GT(CountColour(w, png, image, 220, 0, 0), 20);  // the red arrow is drawn
    EXPECT_GT(CountColour(w, png, image, 192, 192, 192), 100);  // and the grey cases
    EXPECT_EQ(bmp->TransparentColorRGB(), 0xFF00FFu);  // the bottom-left pixel: fuchsia
    EXPECT_EQ(CountColour(w, png, image, 255, 0, 255), 0);  // its ground is transparent
    CloseRestoreWindow();
    uidriver::PumpFor(200);
    EXPECT_EQ(frmRestore, nullptr);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(SmallForms, RestoreWindowClosedByItsCloseBoxIsFreedAndTheLastStepSkipsIt) {
    CreateAndShowRestoreWindow();
    HWND w = frmRestore->WindowHandle();
    // As while a converter pumps messages: the user clicks the close box.
    PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0);
    uidriver::PumpFor(300);
    EXPECT_EQ(frmRestore, nullptr);
    EXPECT_FALSE(IsWindow(w));
    CloseRestoreWindow();  // the driver's last step: nothing left to close
    EXPECT_EQ(frmRestore, nullptr);
}

// The wizard as its description builds it, read from the objects (no window needed): the six
// pages with their controls at the places of the layout table, and its dictionary.
TEST_F(SmallForms, WizardLayoutAsTheDescriptionGivesIt) {
    CreateMainForm();
    ASSERT_NE(frmMain, nullptr);
    EXPECT_EQ(frmMain->BorderStyle(), kxc::bsDialog);
    EXPECT_EQ(frmMain->Position(), kxc::poScreenCenter);
    EXPECT_FALSE(frmMain->Scaled());
    EXPECT_EQ(frmMain->ClientWidth(), 473);
    EXPECT_EQ(frmMain->ClientHeight(), 330);
    EXPECT_EQ(frmMain->Font()->Name(), "MS Sans Serif");
    EXPECT_EQ(frmMain->Font()->Height(), -11);
    ASSERT_NE(frmMain->pcMain, nullptr);
    EXPECT_EQ(frmMain->pcMain->Align(), kxc::alClient);
    EXPECT_EQ(frmMain->pcMain->Style(), kxc::tsButtons);
    EXPECT_EQ(frmMain->pcMain->ActivePage(), frmMain->tsOldLumexFound);

    const char* upper = "Remove previous version of Korvix (recommended).";
    const char* lower = "Install without removing old version.";
    const char* found = "Setup has found previous installation of Korvix system.";
    const char* either = "You can either uninstall previous version of Korvix before continue setup or install new "
                         "software over old one.";
    const char* chose = "Chose one of the following options and click Next to continue setup.";
    struct Label {
        const char* name;
        int y, w;
        const char* text;
    };
    struct Page {
        const char* name;
        const char* greyLabel;
        std::vector<Label> labels;
        const char *upperRadio, *upperText, *lowerRadio, *lowerText;
        const char *back, *next, *cancel;
        bool backEnabled;
    } pages[] = {
        {"tsOldLumexFound", "lbInstShield",
         {{"Label1", 12, 309, found},
          {"Label2", 40, 309,
           "You can save old database for using with new version of Korvix or continue without saving one."},
          {"Label3", 80, 309, chose}},
         "rbSave", "Save and convert current database (recommended).", "rbReplace",
         "Replace current database with new one.", "btFoundBack", "btFoundNext", "btFoundCancel", false},
        {"tsRMOldVer", "Label7", {{"Label4", 12, 289, found}, {"Label5", 40, 289, either}, {"Label6", 80, 309, chose}},
         "rbUnInstOld", upper, "rbInstOverOld", lower, "btRmOldBack", "btRmOldNext", "btRmOldCancel", true},
        {"tsDBVerNotValid", "Label8",
         {{"Label11", 12, 289,
           "Setup can not detect version of currently installed database. Saving and convertion of database is "
           "impossible."},
          {"Label10", 52, 289,
           "It is strongly recommended to backup your database before installing new version of software."},
          {"Label9", 92, 309,
           "You can either continue setup pressing Next button (currently used database will be lost!) or press "
           "Cancel and exit Setup program to backup your old database."}},
         nullptr, nullptr, nullptr, nullptr, "btNotValidBack", "btNotValidNext", "btNotValidCancel", true},
        {"tsRMOldVer2", "Label12", {{"Label15", 12, 289, found}, {"Label14", 40, 289, either}, {"Label13", 80, 309, chose}},
         "rbUninstallOld2", upper, "rbInstOverOld2", lower, "bt2Back", "bt2Next", "bt2Cancel", true},
        {"tsRemoveOld3", "Label16", {{"Label17", 12, 289, found}, {"Label18", 40, 289, either}, {"Label19", 80, 309, chose}},
         "rbUninstOld3", upper, "rbInstOverOld3", lower, "btBack3", "btNext3", "btCancel3", true},
        {"tsFinalAsk", "Label23",
         {{"Label22", 12, 289, "Setup has finished installation of Korvix."},
          {"Label21", 40, 289, "Now you can either restore old database or finish installation without restoring one."},
          {"Label20", 80, 309, chose}},
         "rbFinalRestore", "Restore saved database.", "rbFinalDontRestore", "Do not restore saved database.",
         "btBackFinal", "btNextFinal", "Button3", false},
    };
    auto find = [](const char* name) { return dynamic_cast<kxc::TControl*>(frmMain->FindComponent(name)); };
    auto expectAt = [](kxc::TControl* c, kxc::TControl* page, int x, int y, int w, int h, const std::string& what) {
        ASSERT_NE(c, nullptr) << what;
        EXPECT_EQ(c->Parent(), page) << what;
        EXPECT_EQ(c->Left(), x) << what;
        EXPECT_EQ(c->Top(), y) << what;
        if (w >= 0) {
            EXPECT_EQ(c->Width(), w) << what;
        }
        if (h >= 0) {
            EXPECT_EQ(c->Height(), h) << what;
        }
    };
    ASSERT_EQ(frmMain->pcMain->PageCount(), 6);
    for (int i = 0; i < 6; ++i) {
        const Page& p = pages[i];
        auto* page = frmMain->pcMain->Pages(i);
        ASSERT_EQ(page->Name(), p.name);
        EXPECT_FALSE(page->TabVisible()) << p.name;
        std::string n = std::to_string(i + 1);
        auto* pic = dynamic_cast<kxc::TImage*>(find(("pic" + n).c_str()));
        expectAt(pic, page, 12, 12, 119, 257, "pic" + n);
        if (pic) {
            EXPECT_EQ(pic->Picture()->Width(), 119);  // WIZ_PIC, loaded by FormCreate
            EXPECT_EQ(pic->Picture()->Height(), 257);
        }
        auto* bevel = dynamic_cast<kxc::TBevel*>(find(("Bevel" + n).c_str()));
        expectAt(bevel, page, 8, 232, 445, 50, "Bevel" + n);
        if (bevel) {
            EXPECT_EQ(bevel->Shape(), kxc::bsBottomLine);
        }
        kxc::TControl* grey = find(p.greyLabel);
        // Auto-sized: its width follows the text in the font the system gives for the face.
        expectAt(grey, page, 8, 275, -1, 13, p.greyLabel);
        if (grey) {
            EXPECT_EQ(grey->Caption(), "InstallShield  ");
            EXPECT_FALSE(grey->Enabled());
        }
        for (const Label& l : p.labels) {
            auto* label = dynamic_cast<kxc::TLabel*>(find(l.name));
            expectAt(label, page, 144, l.y, l.w, -1, l.name);
            if (!label) continue;
            EXPECT_EQ(label->Caption(), l.text) << l.name;
            EXPECT_FALSE(label->AutoSize()) << l.name;
            EXPECT_TRUE(label->WordWrap()) << l.name;
        }
        if (p.upperRadio) {
            auto* up = dynamic_cast<kxc::TRadioButton*>(find(p.upperRadio));
            auto* low = dynamic_cast<kxc::TRadioButton*>(find(p.lowerRadio));
            expectAt(up, page, 156, 132, 297, 17, p.upperRadio);
            expectAt(low, page, 156, 152, 297, 17, p.lowerRadio);
            if (up && low) {
                EXPECT_EQ(up->Caption(), p.upperText);
                EXPECT_EQ(low->Caption(), p.lowerText);
                EXPECT_TRUE(up->Checked()) << p.upperRadio;
                EXPECT_FALSE(low->Checked()) << p.lowerRadio;
            }
        }
        struct {
            const char* name;
            int x;
            const char* text;
            bool enabled;
        } buttons[] = {{p.back, 217, "< &Back", p.backEnabled}, {p.next, 292, "&Next >", true}, {p.cancel, 380, "Cancel", true}};
        for (const auto& b : buttons) {
            auto* button = dynamic_cast<kxc::TButton*>(find(b.name));
            expectAt(button, page, b.x, 292, 75, 25, b.name);
            if (!button) continue;
            EXPECT_EQ(button->Caption(), b.text) << b.name;
            EXPECT_EQ(button->Enabled(), b.enabled) << b.name;
            EXPECT_EQ(button->ModalResult(), kxc::mrNone) << b.name;
        }
    }
    // One radio group per page: a choice on one page leaves the others' choices alone.
    frmMain->rbReplace->SetChecked(true);
    EXPECT_FALSE(frmMain->rbSave->Checked());
    EXPECT_TRUE(frmMain->rbUnInstOld->Checked());
    EXPECT_TRUE(frmMain->rbUninstOld3->Checked());
    ASSERT_NE(frmMain->QxBinaryDictionary1, nullptr);
    EXPECT_EQ(frmMain->QxBinaryDictionary1->DictionaryName(), "Dictionary1");
    EXPECT_EQ(frmMain->QxBinaryDictionary1->StoredFileName(), "Wizard.gld");
    // The wizard's dictionary is the registry's one and only (so the default dictionary),
    // and the application's exception display is the translated one.
    ASSERT_NE(qx::Dictionaries, nullptr);
    ASSERT_EQ(qx::Dictionaries->Count(), 1);
    EXPECT_EQ(qx::Dictionaries->Find("Dictionary1"), frmMain->QxBinaryDictionary1);
    EXPECT_EQ(qx::GetDefaultDictionary(), frmMain->QxBinaryDictionary1);
    EXPECT_TRUE(static_cast<bool>(kxc::Application->OnException));
    EXPECT_EQ(qx::TranslateString("Convert saved databases"), "Convert saved databases");
    FreeMainForm();
    EXPECT_EQ(frmMain, nullptr);
    EXPECT_EQ(qx::Dictionaries->Count(), 0);
}

// Every translated form carries its translator bound to "Dictionary1" with the two targets,
// Hint and Caption of every class; the restore window has none.
TEST_F(SmallForms, TranslatorsAsTheDescriptionsGiveThem) {
    CreateMainForm();
    kxc::Application->CreateForm(frmStUp);
    kxc::Application->CreateForm(frmSaving);
    kxc::Application->CreateForm(frmCancelWarn);
    frmRestore = kxc::CreateForm<TfrmRestore>(nullptr);
    kxc::TForm* translated[] = {frmMain, frmStUp, frmSaving, frmCancelWarn};
    for (kxc::TForm* f : translated) {
        auto* t = dynamic_cast<qx::TQxTranslator*>(f->FindComponent("QxTranslator1"));
        ASSERT_NE(t, nullptr) << f->ClassName();
        EXPECT_EQ(t->DictionaryName(), "Dictionary1") << f->ClassName();
        ASSERT_EQ(t->Targets()->Count(), 2) << f->ClassName();
        EXPECT_TRUE(t->Targets()->Items(0)->Equals(qx::TQxTargetProperty("", "Hint", 0)));
        EXPECT_TRUE(t->Targets()->Items(1)->Equals(qx::TQxTargetProperty("", "Caption", 0)));
    }
    for (int i = 0; i < frmRestore->ComponentCount(); ++i)
        EXPECT_EQ(dynamic_cast<qx::TQxTranslator*>(frmRestore->Components(i)), nullptr);
    frmRestore->Free();
    EXPECT_EQ(frmRestore, nullptr);  // its OnDestroy clears the global
    frmCancelWarn->Free();
    frmCancelWarn = nullptr;
    frmSaving->Free();
    frmSaving = nullptr;
    frmStUp->Free();
    frmStUp = nullptr;
    FreeMainForm();
}

// ---- The translated forms ---------------------------------------------------------------

// The wizard's dictionary as it ships, found in the current folder as setup finds it beside
// itself.
class TranslatedForms : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitialiseApplication(); }
    void SetUp() override {
        GetCurrentDirectoryA(MAX_PATH, previous_);
        ASSERT_TRUE(SetCurrentDirectoryA(KX_BIN_DIR));
    }
    void TearDown() override {
        for (kxc::TForm** f : {reinterpret_cast<kxc::TForm**>(&frmCancelWarn),
                               reinterpret_cast<kxc::TForm**>(&frmSaving)})
            if (*f) {
                (*f)->Free();
                *f = nullptr;
            }
        if (frmStUp) FreeStartupWindow();
        FreeMainForm();
        SetCurrentDirectoryA(previous_);
    }

    // Every Caption and Hint that `form`'s description gives, as the form's components show
    // them now: equal to the text of language `language`, on the component and, for a
    // control with a window, in its window.
    void ExpectLanguage(kxc::TForm* form, const char* description, int language) {
        SCOPED_TRACE(std::string(description) + " in language " + std::to_string(language));
        const auto texts = wizardtexts::ReadFormTexts(std::string(KX_FORMS_DIR "/") + description);
        ASSERT_FALSE(texts.empty());
        for (const wizardtexts::FormText& t : texts) {
            kxc::TComponent* c = t.parents.empty() ? form : form->FindComponent(t.object);
            ASSERT_NE(c, nullptr) << t.object;
            const std::string want = dictionary_.Text(t.text, language);
            EXPECT_EQ(kxc::GetStrProp(c, t.property), want) << t.object << "." << t.property;
            auto* w = dynamic_cast<kxc::TControl*>(c);
            if (t.property == "Caption" && w && w->HandleAllocated()) {
                char shown[512] = {0};
                GetWindowTextA(w->WindowHandle(), shown, sizeof shown);
                EXPECT_EQ(std::string(shown), want) << t.object << "'s window";
            }
        }
    }
    // Every text of the description fits its control as the form shows it: a word-wrapped
    // label's lines within its height, a radio button's or a button's one line within its
    // width (a text that does not fit is cut off on screen).
    void ExpectTextsFit(kxc::TForm* form, const char* description) {
        SCOPED_TRACE(description);
        for (const wizardtexts::FormText& t :
             wizardtexts::ReadFormTexts(std::string(KX_FORMS_DIR "/") + description)) {
            auto* w = dynamic_cast<kxc::TControl*>(
                t.parents.empty() ? nullptr : form->FindComponent(t.object));
            if (!w || t.property != "Caption") continue;
            HWND h = w->WindowHandle();
            ASSERT_NE(h, nullptr) << t.object;
            RECT client;
            GetClientRect(h, &client);
            const std::string text = kxc::GetStrProp(w, "Caption");
            HDC dc = GetDC(h);
            HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)));
            RECT need = client;
            const LONG style = GetWindowLongA(h, GWL_STYLE);
            char base[64] = {0};  // the system class a control's own class is built on
            RealGetWindowClassA(h, base, sizeof base);
            const std::string cls = base;
            if (cls == "Static" && (style & SS_TYPEMASK) == SS_LEFT) {
                DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_WORDBREAK);
                EXPECT_LE(need.bottom - need.top, client.bottom) << t.object << " '" << text << "'";
            } else if (cls == "Button") {
                DrawTextA(dc, text.c_str(), -1, &need, DT_CALCRECT | DT_SINGLELINE);
                const int type = style & BS_TYPEMASK;
                const bool check = type == BS_AUTORADIOBUTTON || type == BS_RADIOBUTTON ||
                                   type == BS_AUTOCHECKBOX || type == BS_CHECKBOX;
                const int room = client.right - (check ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : 0);
                EXPECT_LE(need.right - need.left, room) << t.object << " '" << text << "'";
            }
            SelectObject(dc, old);
            ReleaseDC(h, dc);
        }
    }
    void ExpectAll(int language) {
        ExpectLanguage(frmMain, "frmMain.txt", language);
        if (frmStUp) ExpectLanguage(frmStUp, "frmStUp.txt", language);
        if (frmSaving) ExpectLanguage(frmSaving, "frmSaving.txt", language);
        if (frmCancelWarn) ExpectLanguage(frmCancelWarn, "frmCancelWarn.txt", language);
    }

    // The language besides English that the code page shows: German (1252), Russian (1251).
    int Other() const { return dictionary_.Language(GetACP() == 1251 ? 25 : 7); }

    char previous_[MAX_PATH] = {0};
    wizardtexts::Dictionary dictionary_{KX_BIN_DIR "\\Wizard.gld"};
};

// The start-up window and the forms created with the wizard come up in the dictionary's
// opening language (the user's: English under code page 1252, Russian under 1251); a
// language change retranslates every one of them, each from its native texts, and the native
// language brings every text back exactly.
TEST_F(TranslatedForms, FollowTheLanguageAndComeBackToTheirNativeTexts) {
    CreateMainForm();
    qx::TQxBinaryDictionary* d = frmMain->QxBinaryDictionary1;
    ASSERT_TRUE(d->IsOpen());
    const int opening = d->SelectedLanguageIndex();
    EXPECT_EQ(opening, dictionary_.Language(GetACP() == 1251 ? 25 : 9));
    CreateAndShowStartupWindow();
    uidriver::PumpFor(200);
    EXPECT_TRUE(uidriver::Screenshot(frmStUp->WindowHandle(),
                                     OutputFolder() + "translated_frmStUp_" +
                                         std::to_string(GetACP()) + ".png"));
    kxc::Application->CreateForm(frmSaving);
    frmSaving->Show();
    kxc::Application->CreateForm(frmCancelWarn);
    frmCancelWarn->Show();
    frmMain->Show();
    EXPECT_EQ(d->Translators().size(), 4u);
    ExpectAll(opening);

    // The languages the code page can show: English (language 1) and German under 1252,
    // English and Russian under 1251; the dictionary refuses the others.
    const int other = Other(), english = dictionary_.Language(9);
    ASSERT_GT(other, 0);
    ASSERT_EQ(english, 1);
    for (int language : {other, 0, english, other, english, 0, other}) {
        SCOPED_TRACE(language);
        d->SetLanguage(language);
        ExpectAll(language);
    }
    // The translations are no longer than their controls allow.
    ExpectTextsFit(frmMain, "frmMain.txt");
    ExpectTextsFit(frmStUp, "frmStUp.txt");
    ExpectTextsFit(frmSaving, "frmSaving.txt");
    ExpectTextsFit(frmCancelWarn, "frmCancelWarn.txt");
    frmMain->Hide();
}

// The exit confirmation is created and freed for each Cancel: its translator registers with
// the dictionary and leaves it again, so a later language change reaches only living forms.
TEST_F(TranslatedForms, ExitConfirmationCreatedAndFreedTwiceLeavesNoTranslatorBehind) {
    CreateMainForm();
    qx::TQxBinaryDictionary* d = frmMain->QxBinaryDictionary1;
    const int other = Other();
    d->SetLanguage(other);
    const size_t before = d->Translators().size();
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        kxc::Application->CreateForm(frmCancelWarn);
        EXPECT_EQ(d->Translators().size(), before + 1);
        ExpectLanguage(frmCancelWarn, "frmCancelWarn.txt", other);
        frmCancelWarn->Free();
        frmCancelWarn = nullptr;
        EXPECT_EQ(d->Translators().size(), before);
    }
    d->SetLanguage(1);
    d->SetLanguage(other);
    ExpectAll(other);
    kxc::Application->CreateForm(frmCancelWarn);
    ExpectLanguage(frmCancelWarn, "frmCancelWarn.txt", other);
}

}  // namespace
