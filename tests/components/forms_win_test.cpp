// Forms on real windows, driven from a second thread through the UI driver as a person would.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <optional>
#include <thread>

#include "components/forms.h"
#include "components/stdctrls.h"
#include "uidriver/uidriver.h"

#include <commctrl.h>

using namespace kxc;

namespace {

std::vector<std::string> g_events;  // GUI thread only

class TLoadProbe : public TComponent {
    KXC_CLASS(TLoadProbe, TComponent)
public:
    using TComponent::TComponent;
    void Loaded() override {
        TComponent::Loaded();
        g_events.push_back("loaded " + Name());
    }
};
KXC_IMPLEMENT_CLASS(TLoadProbe)
void TLoadProbe::DescribeClass(TClassBuilder<TLoadProbe>&) {}

class TfrmSample : public TForm {
    KXC_CLASS(TfrmSample, TForm)
public:
    using TForm::TForm;
    std::atomic<int> nextClicks{0}, okClicks{0}, page1Shows{0}, page2Shows{0};
    void Loaded() override {
        TForm::Loaded();
        g_events.push_back("loaded " + Name());
    }
    void FormCreate(TObject*) {
        g_events.push_back("create");
        Pc()->SetActivePage(Sheet("ts1"));
    }
    void ts1Show(TObject*) {
        ++page1Shows;
        SetCaption("Page one");
        SetActiveControl(static_cast<TWinControl*>(FindComponent("btNext")));
    }
    void ts2Show(TObject*) {
        ++page2Shows;
        SetCaption("Page two");
        SetActiveControl(static_cast<TWinControl*>(FindComponent("btBack")));
        static_cast<TProgressBar*>(FindComponent("pbPrep"))->StepIt();
    }
    void btNextClick(TObject*) {
        ++nextClicks;
        Pc()->SetActivePage(Sheet("ts2"));
    }
    void btBackClick(TObject*) { Pc()->SetActivePage(Sheet("ts1")); }
    void btOkClick(TObject*) { ++okClicks; }
    void btBoomClick(TObject*) { throw rtl::EInOutError("Boom in a handler"); }
    void btQuitClick(TObject*) {
        Application->Terminate();
        g_events.push_back("handler ran to its end");
    }
    TPageControl* Pc() { return static_cast<TPageControl*>(FindComponent("pcMain")); }
    TTabSheet* Sheet(const char* n) { return static_cast<TTabSheet*>(FindComponent(n)); }
};
KXC_IMPLEMENT_CLASS(TfrmSample)
void TfrmSample::DescribeClass(TClassBuilder<TfrmSample>& c) {
    c.Method("FormCreate", &TfrmSample::FormCreate);
    c.Method("ts1Show", &TfrmSample::ts1Show);
    c.Method("ts2Show", &TfrmSample::ts2Show);
    c.Method("btNextClick", &TfrmSample::btNextClick);
    c.Method("btBackClick", &TfrmSample::btBackClick);
    c.Method("btOkClick", &TfrmSample::btOkClick);
    c.Method("btBoomClick", &TfrmSample::btBoomClick);
    c.Method("btQuitClick", &TfrmSample::btQuitClick);
}

struct Exceptions {
    std::atomic<int> count{0};
    std::string last;  // written on the GUI thread, read after join
};

// Runs `drive` on a second thread while the form runs modally; the driver always ends the
// loop (closing the window) so that a failure cannot hang the test.
template <class F>
TModalResult RunModal(TForm* f, F drive) {
    DWORD guiThread = GetCurrentThreadId();
    std::thread t([&] {
        drive();
        // Whatever happened, make sure the modal loop ends.
        for (int i = 0; i < 50 && f->Modal(); ++i) Sleep(20);
        if (f->Modal()) PostThreadMessageA(guiThread, WM_QUIT, 0, 0);
    });
    TModalResult r = f->ShowModal();
    t.join();
    return r;
}

TfrmSample* g_form = nullptr;
Exceptions g_exc;

class FormsOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Application->Initialize();
        RegisterComponentClass(TLoadProbe::StaticClass());
        Application->OnException = [](TObject*, rtl::Exception& e) {
            g_exc.last = std::string(e.ClassName()) + ": " + e.Message();
            ++g_exc.count;
        };
        g_events.clear();
        g_form = CreateForm<TfrmSample>(Application);
    }
    static void TearDownTestSuite() {
        if (g_form) g_form->Free();
    }
};

TEST_F(FormsOnScreen, LoadedInCreationOrderThenOnCreate) {
    EXPECT_EQ(g_events, (std::vector<std::string>{"loaded frmSample", "loaded Probe1", "create"}));
    EXPECT_EQ(g_form->ClassName(), "TfrmSample");
    EXPECT_FALSE(g_form->HandleAllocated());  // made when shown
    auto* label = g_form->FindComponent("Label1");
    auto* bevel = static_cast<TBevel*>(g_form->FindComponent("Bevel1"));
    ASSERT_TRUE(label && bevel);
    EXPECT_FALSE(label->InheritsFrom(TWinControl::StaticClass()));
    EXPECT_TRUE(g_form->FindComponent("btOk")->InheritsFrom(TWinControl::StaticClass()));
    auto* pic = static_cast<TImage*>(g_form->FindComponent("pic1"));
    EXPECT_EQ(pic->Picture()->Width(), 16);
    EXPECT_EQ(static_cast<TRadioButton*>(g_form->FindComponent("rbOne"))->Checked(), true);
}

TEST_F(FormsOnScreen, ModalRunDrivenLikeAPerson) {
    struct Seen {
        std::string className, caption1, caption2, caption3, focusedText;
        std::vector<uidriver::Control> controls;
        RECT client{};
        bool shot = false, boomHandled = false, radio = false;
        std::string tooltipClass;
    } seen;
    TModalResult r = RunModal(g_form, [&] {
        HWND w = uidriver::WaitForWindow({"TfrmSample", "", GetCurrentProcessId(), true}, 5000);
        if (!w) return;
        seen.className = uidriver::ClassOf(w);
        for (int i = 0; i < 100 && uidriver::TextOf(w) != "Page one"; ++i) Sleep(20);
        seen.caption1 = uidriver::TextOf(w);
        GetClientRect(w, &seen.client);
        seen.controls = uidriver::ListControls(w);
        seen.focusedText = uidriver::TextOf(uidriver::FocusedControl(w));
        seen.shot = uidriver::Screenshot(w, KX_TEST_OUTPUT_DIR "/components_sample.png");
        // Enter presses the focused "Next >": page two.
        uidriver::PressKey(w, VK_RETURN);
        for (int i = 0; i < 100 && uidriver::TextOf(w) != "Page two"; ++i) Sleep(20);
        seen.caption2 = uidriver::TextOf(w);
        uidriver::ClickButton(w, "< Back");
        for (int i = 0; i < 100 && uidriver::TextOf(w) != "Page one"; ++i) Sleep(20);
        seen.caption3 = uidriver::TextOf(w);
        // An exception in a handler reaches OnException and the loop goes on.
        uidriver::ClickButton(w, "Boom");
        for (int i = 0; i < 100 && g_exc.count == 0; ++i) Sleep(20);
        seen.boomHandled = g_exc.count == 1;
        seen.radio = uidriver::CheckRadio(w, "Second choice.");
        uidriver::ClickButton(w, "OK");
    });
    EXPECT_EQ(r, mrOk);
    EXPECT_EQ(seen.className, "TfrmSample");
    EXPECT_EQ(seen.caption1, "Page one");
    EXPECT_EQ(seen.caption2, "Page two");
    EXPECT_EQ(seen.caption3, "Page one");
    EXPECT_EQ(seen.focusedText, "&Next >");
    EXPECT_EQ(seen.client.right, 400);
    EXPECT_EQ(seen.client.bottom, 240);
    EXPECT_TRUE(seen.shot);
    EXPECT_TRUE(seen.boomHandled);
    EXPECT_EQ(g_exc.last, "EInOutError: Boom in a handler");
    EXPECT_TRUE(seen.radio);
    EXPECT_EQ(g_form->okClicks.load(), 1);
    EXPECT_EQ(g_form->nextClicks.load(), 1);
    EXPECT_EQ(g_form->page1Shows.load(), 2);
    EXPECT_EQ(g_form->page2Shows.load(), 1);
    EXPECT_FALSE(static_cast<TRadioButton*>(g_form->FindComponent("rbOne"))->Checked());
    EXPECT_TRUE(static_cast<TRadioButton*>(g_form->FindComponent("rbTwo"))->Checked());
    EXPECT_EQ(static_cast<TProgressBar*>(g_form->FindComponent("pbPrep"))->Position(), 1);
    EXPECT_FALSE(IsWindowVisible(g_form->WindowHandle()));

    // Window texts, classes and places as the description gives them (client coordinates).
    struct Expect {
        const char* text;
        const char* cls;
        int l, t, w, h;
        bool enabled;
    } expected[] = {
        {"InstallShield  ", "Static", 8, 193, 62, 13, false},
        {"First choice.", "Button", 156, 80, 200, 17, true},
        {"Second choice.", "Button", 156, 100, 200, 17, true},
        {"&Next >", "Button", 217, 208, 75, 25, true},
        {"OK", "Button", 305, 208, 75, 25, true},
        {"", "TImage", 12, 12, 16, 16, true},
    };
    for (size_t i = 0; i < sizeof expected / sizeof expected[0]; ++i) {
        const uidriver::Control* found = nullptr;
        for (const auto& c : seen.controls)
            if (c.text == expected[i].text && c.className == expected[i].cls) found = &c;
        ASSERT_NE(found, nullptr) << i << " " << expected[i].text;
        EXPECT_EQ(found->rect.left, expected[i].l) << i;
        EXPECT_EQ(found->rect.top, expected[i].t) << i;
        EXPECT_EQ(found->rect.right - found->rect.left, expected[i].w) << i;
        EXPECT_EQ(found->rect.bottom - found->rect.top, expected[i].h) << i;
        EXPECT_EQ(found->enabled, expected[i].enabled) << i;
        EXPECT_TRUE(found->visible) << i;
    }
    // The bevel is drawn by its page: no window of its own.
    for (const auto& c : seen.controls) EXPECT_NE(c.className, "TBevel");
}

TEST_F(FormsOnScreen, FontsHintsReadingOrderSystemMenuAndScaling) {
    HWND h = g_form->Handle();
    ASSERT_NE(h, nullptr);
    auto* label = static_cast<TLabel*>(g_form->FindComponent("Label1"));
    // The label's GDI font is the form's (ParentFont).
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(label->WindowHandle(), WM_GETFONT, 0, 0));
    LOGFONTA lf{};
    ASSERT_TRUE(GetObjectA(font, sizeof lf, &lf));
    EXPECT_EQ(lf.lfHeight, -11);
    EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
    // Hint: a tooltip tool for the label.
    EXPECT_EQ(SendMessageA(g_form->ToolTipHandle(), TTM_GETTOOLCOUNT, 0, 0), 1);
    // Right-to-left reading order reaches the window's styles.
    label->SetBiDiMode(bdRightToLeft);
    EXPECT_TRUE(GetWindowLongA(label->WindowHandle(), GWL_EXSTYLE) & WS_EX_RTLREADING);
    label->SetBiDiMode(bdLeftToRight);
    EXPECT_FALSE(GetWindowLongA(label->WindowHandle(), GWL_EXSTYLE) & WS_EX_RTLREADING);
    EXPECT_GT(GetMenuItemCount(g_form->SystemMenu()), 0);

    // ScaleBy scales bounds and fonts; scaling back restores them.
    TForm f(nullptr);
    f.SetClientWidth(200);
    f.SetClientHeight(100);
    auto* b = new TButton(&f);
    b->SetParent(&f);
    b->SetBounds(10, 20, 30, 40);
    b->Font()->SetHeight(-12);
    f.ScaleBy(150, 100);
    EXPECT_EQ(f.ClientWidth(), 300);
    EXPECT_EQ(f.ClientHeight(), 150);
    EXPECT_EQ(b->Left(), 15);
    EXPECT_EQ(b->Top(), 30);
    EXPECT_EQ(b->Width(), 45);
    EXPECT_EQ(b->Font()->Height(), -18);
    EXPECT_EQ(f.Font()->Height(), -17);  // -11 * 1.5, rounded as MulDiv does
}

// The translator scales a form for Far-East languages and back again; nothing may creep.
TEST_F(FormsOnScreen, ScalingThereAndBackRestoresEveryBound) {
    struct Factor {
        int m, d;
    } factors[] = {{150, 100}, {80, 100}, {133, 100}, {125, 100}};
    for (const Factor& f : factors) {
        auto* form = Create<TForm>(Application);
        form->SetAutoScroll(false);
        form->SetClientWidth(203);
        form->SetClientHeight(117);
        form->Font()->SetHeight(-11);
        auto* b = Create<TButton>(form);
        b->SetParent(form);
        b->SetBounds(7, 13, 75, 23);
        auto* own = Create<TButton>(form);
        own->SetParent(form);
        own->SetBounds(101, 57, 33, 19);
        own->Font()->SetHeight(-13);
        form->Handle();
        auto bounds = [&] {
            return std::vector<int>{form->ClientWidth(), form->ClientHeight(), form->Font()->Height(),
                                    b->Left(),           b->Top(),            b->Width(),
                                    b->Height(),         b->Font()->Height(), own->Left(),
                                    own->Top(),          own->Width(),        own->Height(),
                                    own->Font()->Height()};
        };
        std::vector<int> before = bounds();
        form->ScaleBy(f.m, f.d);
        std::vector<int> scaled = bounds();
        for (size_t i = 0; i < before.size(); ++i)
            EXPECT_EQ(scaled[i], MulDiv(before[i], f.m, f.d)) << f.m << " value " << i;
        form->ScaleBy(f.d, f.m);
        EXPECT_EQ(bounds(), before) << f.m;
        // Twice there and back: still exact.
        form->ScaleBy(f.m, f.d);
        form->ScaleBy(f.m, f.d);
        form->ScaleBy(f.d, f.m);
        form->ScaleBy(f.d, f.m);
        EXPECT_EQ(bounds(), before) << f.m;
        form->Free();
    }
}

TEST_F(FormsOnScreen, ShowWithoutModalLoopAndCloseToFree) {
    auto* f = CreateForm<TfrmSample>(Application);
    std::atomic<bool> destroyed{false};
    f->OnDestroy = [&](TObject*) { destroyed = true; };
    f->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
    f->Show();
    f->Repaint();
    EXPECT_TRUE(IsWindowVisible(f->WindowHandle()));
    EXPECT_EQ(uidriver::FindWindows({"TfrmSample", "Page one", GetCurrentProcessId(), true}).size(), 1u);
    f->Close();  // caFree: released once the current message has been handled
    EXPECT_FALSE(destroyed);
    Application->ProcessMessages();
    EXPECT_TRUE(destroyed);
}

// What a handler lets out that is no exception class (a plug-in may throw an int) is handed
// on as well, with a generic message, instead of vanishing.
TEST_F(FormsOnScreen, UnknownExceptionReachesOnException) {
    g_exc.count = 0;
    g_exc.last.clear();
    try {
        throw 7;
    } catch (...) {
        Application->HandleException(nullptr);
    }
    EXPECT_EQ(g_exc.count, 1);
    EXPECT_EQ(g_exc.last, "Exception: Unknown exception of type int");
}

TEST_F(FormsOnScreen, DefaultErrorDisplayAndCloseBox) {
    TExceptionEvent saved = Application->OnException;
    Application->OnException = TExceptionEvent();
    std::optional<uidriver::MessageBoxInfo> box;
    bool closed = false;
    TModalResult r = RunModal(g_form, [&] {
        HWND w = uidriver::WaitForWindow({"TfrmSample", "", GetCurrentProcessId(), true}, 5000);
        if (!w) return;
        uidriver::ClickButton(w, "Boom");
        box = uidriver::WaitForMessageBox(Application->Title(), GetCurrentProcessId(), 5000);
        if (box) closed = uidriver::CloseMessageBox(box->hwnd);
        // The close box of a modal form ends its loop with mrCancel.
        PostMessageA(w, WM_CLOSE, 0, 0);
    });
    Application->OnException = saved;
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->caption, "components_forms_test");
    EXPECT_EQ(box->text, "Boom in a handler.");  // a period after a letter
    EXPECT_TRUE(closed);
    EXPECT_EQ(r, mrCancel);
}

TEST_F(FormsOnScreen, PicturesFromResourcesAndIcons) {
    TBitmap b;
    b.LoadFromResourceName(nullptr, "TEST_PIC");
    EXPECT_EQ(b.Width(), 8);
    EXPECT_EQ(b.Height(), 4);
    EXPECT_NE(b.Handle(), nullptr);
    // The rebuilt file equals the bitmap file the resource was made from.
    FILE* f = fopen(KX_TEST_PIC_FILE, "rb");
    ASSERT_NE(f, nullptr);
    std::string file(200, '\0');
    file.resize(fread(&file[0], 1, file.size(), f));
    fclose(f);
    EXPECT_EQ(b.FileBytes(), file);
    EXPECT_THROW(b.LoadFromResourceName(nullptr, "NO_SUCH_PIC"), rtl::EResNotFound);

    auto* img = static_cast<TImage*>(g_form->FindComponent("pic1"));
    img->Picture()->Icon()->Assign(Application->Icon());
    EXPECT_NE(img->Picture()->Icon()->Handle(), nullptr);
    img->Picture()->Bitmap()->Assign(&b);
    EXPECT_EQ(img->Picture()->Width(), 8);
}

// The right-to-left styles of a window: reading order, right alignment, scroll bar on the left.
std::string RtlStyles(HWND h) {
    LONG ex = GetWindowLongA(h, GWL_EXSTYLE);
    std::string r;
    if (ex & WS_EX_RTLREADING) r += "reading ";
    if (ex & WS_EX_RIGHT) r += "right ";
    if (ex & WS_EX_LEFTSCROLLBAR) r += "leftscroll";
    return r;
}

TEST_F(FormsOnScreen, FormsFollowTheApplicationsReadingOrder) {
    auto makeForm = [](const char* caption) {
        auto* f = Create<TForm>(Application);
        f->SetCaption(caption);
        auto* b = Create<TButton>(f);
        b->SetParent(f);
        b->SetCaption(std::string(caption) + " button");
        b->SetBounds(10, 10, 120, 25);
        return f;
    };
    TForm* follows = makeForm("Follows");
    TForm* own = makeForm("Own order");
    own->SetBiDiMode(bdLeftToRight);  // no longer follows the application
    auto* fixed = Create<TButton>(follows);
    fixed->SetParent(follows);
    fixed->SetCaption("Fixed");
    fixed->SetBounds(10, 40, 120, 25);
    fixed->SetBiDiMode(bdLeftToRight);
    follows->Show();
    own->Show();
    DWORD pid = GetCurrentProcessId();
    HWND wf = uidriver::WaitForWindow({"TForm", "Follows", pid, true}, 3000);
    HWND wo = uidriver::WaitForWindow({"TForm", "Own order", pid, true}, 3000);
    ASSERT_TRUE(wf && wo);
    auto button = [](HWND top, const std::string& text) {
        auto c = uidriver::FindControl(top, text, "Button");
        return c ? c->hwnd : nullptr;
    };
    HWND bf = button(wf, "Follows button"), bFixed = button(wf, "Fixed"), bo = button(wo, "Own order button");
    ASSERT_TRUE(bf && bFixed && bo);

    const std::string rtl = "reading right leftscroll";
    struct Step {
        TBiDiMode app;
        std::string follows, followsButton, fixed, own;
    } steps[] = {
        {bdRightToLeft, rtl, rtl, "", ""},
        {bdRightToLeftReadingOnly, "reading ", "reading ", "", ""},
        {bdLeftToRight, "", "", "", ""},
    };
    for (size_t i = 0; i < sizeof steps / sizeof steps[0]; ++i) {
        Application->SetBiDiMode(steps[i].app);
        EXPECT_EQ(follows->BiDiMode(), steps[i].app) << i;
        EXPECT_TRUE(follows->ParentBiDiMode()) << i;
        EXPECT_EQ(RtlStyles(wf), steps[i].follows) << i;
        EXPECT_EQ(RtlStyles(bf), steps[i].followsButton) << i;
        EXPECT_EQ(RtlStyles(bFixed), steps[i].fixed) << i;
        EXPECT_EQ(RtlStyles(bo), steps[i].own) << i;
        EXPECT_EQ(RtlStyles(wo), steps[i].own) << i;
        EXPECT_EQ(own->BiDiMode(), bdLeftToRight) << i;
    }

    // A control's own change reaches its window at once, both ways.
    fixed->SetBiDiMode(bdRightToLeft);
    EXPECT_EQ(RtlStyles(bFixed), rtl);
    fixed->SetBiDiMode(bdRightToLeftNoAlign);
    EXPECT_EQ(RtlStyles(bFixed), "reading ");
    fixed->SetBiDiMode(bdLeftToRight);
    EXPECT_EQ(RtlStyles(bFixed), "");

    // A form made while the application reads right to left starts so.
    Application->SetBiDiMode(bdRightToLeft);
    TForm* later = makeForm("Later");
    later->Show();
    EXPECT_EQ(RtlStyles(later->WindowHandle()), rtl);
    later->Free();
    Application->SetBiDiMode(bdLeftToRight);
    follows->Free();
    own->Free();
    EXPECT_EQ(g_form->BiDiMode(), bdLeftToRight);
}

// Last: the application stays terminated afterwards.
TEST_F(FormsOnScreen, TerminateEndsTheModalLoopAfterTheHandler) {
    g_events.clear();
    TModalResult r = RunModal(g_form, [&] {
        HWND w = uidriver::WaitForWindow({"TfrmSample", "", GetCurrentProcessId(), true}, 5000);
        if (!w) return;
        uidriver::ClickButton(w, "Next >");
        uidriver::WaitForControl(w, "Quit", 3000);
        uidriver::ClickButton(w, "Quit");
    });
    EXPECT_EQ(r, mrCancel);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(g_events, (std::vector<std::string>{"handler ran to its end"}));
    // A later modal loop ends at once.
    EXPECT_EQ(g_form->ShowModal(), mrCancel);
}

}  // namespace
