// List box, check list box, combo box, memo and menus on real windows: loaded from a form
// description, driven from a second thread through the UI driver as a person would.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "components/forms.h"
#include "components/listctrls.h"
#include "components/menus.h"
#include "components/stdctrls.h"
#include "uidriver/uidriver.h"

using namespace kxc;

namespace {

class TfrmLists : public TForm {
    KXC_CLASS(TfrmLists, TForm)
public:
    using TForm::TForm;
    std::atomic<int> opens{0}, checkClicks{0};
    void miOpenClick(TObject*) { ++opens; }
    void clbChecksClickCheck(TObject*) { ++checkClicks; }
    template <class T>
    T* Find(const char* name) {
        return static_cast<T*>(FindComponent(name));
    }
};
KXC_IMPLEMENT_CLASS(TfrmLists)
void TfrmLists::DescribeClass(TClassBuilder<TfrmLists>& c) {
    c.Method("miOpenClick", &TfrmLists::miOpenClick);
    c.Method("clbChecksClickCheck", &TfrmLists::clbChecksClickCheck);
}

std::vector<std::string> Lines(const TStrings* s) {
    std::vector<std::string> r;
    for (int i = 0; i < s->Count(); ++i) r.push_back(s->Get(i));
    return r;
}

// The texts of a window menu's items, "-" for separators, sub-menus in brackets.
std::string MenuText(HMENU m) {
    std::string r;
    for (int i = 0; i < GetMenuItemCount(m); ++i) {
        if (!r.empty()) r += "|";
        char buf[256] = {0};
        MENUITEMINFOA mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_SUBMENU;
        GetMenuItemInfoA(m, UINT(i), TRUE, &mi);
        if (mi.fType & MFT_SEPARATOR) {
            r += "-";
            continue;
        }
        GetMenuStringA(m, UINT(i), buf, sizeof buf, MF_BYPOSITION);
        r += buf;
        if (mi.fState & MFS_CHECKED) r += "(checked)";
        if (mi.fState & MFS_DISABLED) r += "(disabled)";
        if (mi.hSubMenu) r += "[" + MenuText(mi.hSubMenu) + "]";
    }
    return r;
}

TfrmLists* g_form = nullptr;

class ListsOnScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Application->Initialize();
        g_form = CreateForm<TfrmLists>(Application);
    }
    static void TearDownTestSuite() {
        if (g_form) g_form->Free();
    }
};

TEST_F(ListsOnScreen, ClassChainsAndPublishedProperties) {
    struct Case {
        const char* name;
        std::vector<std::string> chain;  // own class first
        std::vector<std::string> published, unpublished;
    } cases[] = {
        {"lbPlain", {"TListBox", "TCustomListBox", "TCustomListControl", "TWinControl"},
         {"Items", "ItemIndex", "MultiSelect", "Font", "BiDiMode", "Hint"}, {"Caption"}},
        {"clbChecks", {"TCheckListBox", "TCustomListBox"}, {"Items", "ItemIndex", "OnClickCheck"}, {"Caption"}},
        {"cbEdition", {"TComboBox", "TCustomComboBox", "TCustomListControl"}, {"Items", "ItemIndex", "Text", "Style"},
         {"Caption"}},
        {"mmoNotes", {"TMemo", "TCustomMemo", "TCustomEdit", "TWinControl", "TControl"}, {"Lines", "Font", "BiDiMode"},
         {"Caption", "Text"}},
        {"mmMain", {"TMainMenu", "TMenu", "TComponent"}, {"AutoHotkeys"}, {"Items"}},
        {"pmList", {"TPopupMenu", "TMenu"}, {"AutoHotkeys"}, {}},
        {"miOpen", {"TMenuItem", "TComponent"}, {"Caption", "Checked", "Enabled", "Hint", "ShortCut", "Visible", "OnClick"}, {}},
    };
    for (const Case& c : cases) {
        TComponent* comp = g_form->FindComponent(c.name);
        ASSERT_NE(comp, nullptr) << c.name;
        const TClassInfo* cls = comp->ClassInfo();
        for (const std::string& n : c.chain) {
            ASSERT_NE(cls, nullptr) << c.name;
            EXPECT_EQ(cls->Name(), n) << c.name;
            cls = cls->Parent();
        }
        for (const std::string& p : c.published) EXPECT_NE(GetPropInfo(comp, p), nullptr) << c.name << "." << p;
        for (const std::string& p : c.unpublished) EXPECT_EQ(GetPropInfo(comp, p), nullptr) << c.name << "." << p;
    }
    // Created by class name from form descriptions.
    for (const char* n : {"TListBox", "TCheckListBox", "TComboBox", "TMemo", "TMainMenu", "TPopupMenu", "TMenuItem"})
        EXPECT_NE(GetClass(n), nullptr) << n;
}

TEST_F(ListsOnScreen, DescriptionGivesLinesSelectionAndHotKeys) {
    EXPECT_EQ(Lines(g_form->Find<TListBox>("lbPlain")->Items()), (std::vector<std::string>{"First", "Second", "Third"}));
    EXPECT_TRUE(g_form->Find<TListBox>("lbPlain")->MultiSelect());
    auto* edition = g_form->Find<TComboBox>("cbEdition");
    EXPECT_EQ(edition->ItemIndex(), 1);  // stored in front of the lines it selects
    EXPECT_EQ(edition->Text(), "Net edition");
    EXPECT_EQ(g_form->Find<TComboBox>("cbFree")->Text(), "C:\\Other");
    EXPECT_EQ(g_form->Find<TComboBox>("cbFree")->ItemIndex(), -1);
    auto* memo = g_form->Find<TMemo>("mmoNotes");
    EXPECT_EQ(memo->Text(), "Line one\r\nLine two\r\n");
    EXPECT_EQ(Lines(memo->Lines()), (std::vector<std::string>{"Line one", "Line two"}));
    // Automatic hot keys: "&Find" clashes with "&File" and moves; "Help" gets one. The pop-up
    // menu is manual: its clash stays.
    EXPECT_EQ(g_form->Find<TMenuItem>("miFind")->Caption(), "F&ind");
    EXPECT_EQ(g_form->Find<TMenuItem>("miHelp")->Caption(), "&Help");
    EXPECT_EQ(g_form->Find<TMenuItem>("miClear")->Caption(), "&Clear");
    EXPECT_EQ(MenuText(g_form->Find<TPopupMenu>("pmList")->Handle()), "&Copy\tCtrl+C|&Clear(disabled)");

    // Written and read back: the same lines, selection, texts and menu tree.
    auto* copy = Create<TfrmLists>(nullptr);
    ReadComponentFromBytes(copy, WriteComponentToBytes(g_form));
    EXPECT_EQ(Lines(copy->Find<TListBox>("lbPlain")->Items()), (std::vector<std::string>{"First", "Second", "Third"}));
    EXPECT_EQ(copy->Find<TComboBox>("cbEdition")->ItemIndex(), 1);
    EXPECT_EQ(copy->Find<TComboBox>("cbFree")->Text(), "C:\\Other");
    EXPECT_EQ(Lines(copy->Find<TMemo>("mmoNotes")->Lines()), (std::vector<std::string>{"Line one", "Line two"}));
    ASSERT_EQ(copy->Menu(), copy->Find<TMainMenu>("mmMain"));
    EXPECT_EQ(copy->Find<TMenuItem>("miOpen")->Parent(), copy->Find<TMenuItem>("miFile"));
    EXPECT_EQ(copy->Find<TMenuItem>("miOpen")->ShortCut(), scCtrl | 'O');
    EXPECT_EQ(copy->Find<TMenuItem>("miExit")->ShortCut(), scNone);
    EXPECT_EQ(MenuText(copy->Menu()->Handle()), "&File[&Open\tCtrl+O|-|E&xit(checked)]|F&ind|&Help");
    EXPECT_EQ(MenuText(copy->Find<TPopupMenu>("pmList")->Handle()), "&Copy\tCtrl+C|&Clear(disabled)");
    copy->Free();
}

// Replacing lines as a translation does: a replaced line loses its marks, as in the system's
// list; saving and putting them back keeps them. With and without a window.
TEST_F(ListsOnScreen, ReplacedLinesLoseTheirMarksUnlessPutBack) {
    for (bool window : {false, true}) {
        TForm* f = Create<TForm>(Application);
        auto* checks = Create<TCheckListBox>(f);
        auto* multi = Create<TListBox>(f);
        auto* combo = Create<TComboBox>(f);
        for (TWinControl* c : std::initializer_list<TWinControl*>{checks, multi, combo}) c->SetParent(f);
        multi->SetMultiSelect(true);
        for (TStrings* s : {checks->Items(), multi->Items(), combo->Items()}) s->SetText("a\nb\nc\n");
        checks->SetChecked(0, true);
        checks->SetChecked(2, true);
        checks->SetItemIndex(2);
        multi->SetSelected(1, true);
        multi->SetSelected(2, true);
        multi->SetItemIndex(2);
        combo->SetItemIndex(1);
        if (window) f->Handle();
        const char* w = window ? "window" : "no window";

        checks->Items()->Put(2, "C");
        multi->Items()->Put(1, "B");
        combo->Items()->Put(1, "B");
        EXPECT_FALSE(checks->Checked(2)) << w;
        EXPECT_TRUE(checks->Checked(0)) << w;
        EXPECT_EQ(checks->ItemIndex(), -1) << w;
        EXPECT_FALSE(multi->Selected(1)) << w;
        EXPECT_TRUE(multi->Selected(2)) << w;
        EXPECT_EQ(combo->ItemIndex(), -1) << w;
        if (window) {
            EXPECT_EQ(SendMessageA(checks->WindowHandle(), LB_GETCURSEL, 0, 0), -1);
            EXPECT_EQ(SendMessageA(multi->WindowHandle(), LB_GETSEL, 1, 0), 0);
            EXPECT_GT(SendMessageA(multi->WindowHandle(), LB_GETSEL, 2, 0), 0);
            EXPECT_EQ(SendMessageA(combo->WindowHandle(), CB_GETCURSEL, 0, 0), -1);
            char buf[16] = {0};
            SendMessageA(multi->WindowHandle(), LB_GETTEXT, 1, reinterpret_cast<LPARAM>(buf));
            EXPECT_STREQ(buf, "B");
        }
        // Put back what was saved: marks and selection as before.
        checks->SetChecked(2, true);
        checks->SetItemIndex(2);
        multi->SetSelected(1, true);
        combo->SetItemIndex(1);
        EXPECT_TRUE(checks->Checked(2) && multi->Selected(1)) << w;
        EXPECT_EQ(combo->Text(), "B") << w;
        EXPECT_EQ(multi->SelCount(), 2) << w;
        if (window) {
            EXPECT_EQ(SendMessageA(checks->WindowHandle(), LB_GETCURSEL, 0, 0), 2);
            EXPECT_GT(SendMessageA(multi->WindowHandle(), LB_GETSEL, 1, 0), 0);
            EXPECT_EQ(SendMessageA(combo->WindowHandle(), CB_GETCURSEL, 0, 0), 1);
        }
        // Lines inserted in front move the selection with its line; a deleted selected line
        // leaves none.
        combo->Items()->Insert(0, "first");
        EXPECT_EQ(combo->ItemIndex(), 2) << w;
        combo->Items()->Delete(2);
        EXPECT_EQ(combo->ItemIndex(), -1) << w;
        EXPECT_THROW(checks->Checked(3), rtl::EListError);
        EXPECT_THROW(multi->Items()->Get(-1), rtl::EListError);
        f->Free();
    }
}

TEST_F(ListsOnScreen, MemoLinesAndText) {
    TForm* f = Create<TForm>(Application);
    auto* memo = Create<TMemo>(f);
    memo->SetParent(f);
    memo->Lines()->Add("one");
    memo->Lines()->Add("two");
    EXPECT_EQ(memo->Text(), "one\r\ntwo\r\n");
    f->Handle();
    char buf[64] = {0};
    GetWindowTextA(memo->WindowHandle(), buf, sizeof buf);
    EXPECT_STREQ(buf, "one\r\ntwo\r\n");
    // What the window holds is what the lines say.
    SetWindowTextA(memo->WindowHandle(), "typed\r\nby hand");
    EXPECT_EQ(Lines(memo->Lines()), (std::vector<std::string>{"typed", "by hand"}));
    memo->Lines()->Put(1, "by the program");
    EXPECT_EQ(memo->Text(), "typed\r\nby the program\r\n");
    // Wrapping is fixed when the window is made: a new window, the same text.
    memo->SetWordWrap(false);
    ASSERT_NE(memo->WindowHandle(), nullptr);
    EXPECT_TRUE(GetWindowLongA(memo->WindowHandle(), GWL_STYLE) & WS_HSCROLL);
    EXPECT_EQ(memo->Text(), "typed\r\nby the program\r\n");
    memo->SetText("Cyrillic \xCF\xF0\xE8\xE2\xE5\xF2\r\n\r\n");
    EXPECT_EQ(memo->Lines()->Count(), 2);
    memo->Lines()->Clear();
    EXPECT_EQ(memo->Text(), "");
    f->Free();
}

TEST_F(ListsOnScreen, MenusRebuildAndRethinkHotKeys) {
    auto* mm = g_form->Find<TMainMenu>("mmMain");
    HWND h = g_form->Handle();
    EXPECT_EQ(GetMenu(h), mm->Handle());
    EXPECT_EQ(MenuText(GetMenu(h)), "&File[&Open\tCtrl+O|-|E&xit(checked)]|F&ind|&Help");

    // As a translation does it: manual hot keys while the captions change, then automatic
    // again and a passing item, so that the menu thinks its hot keys over once more.
    mm->SetAutoHotkeys(maManual);
    g_form->Find<TMenuItem>("miFind")->SetCaption("&Fenster");
    g_form->Find<TMenuItem>("miHelp")->SetCaption("&Hilfe");
    EXPECT_EQ(MenuText(GetMenu(h)), "&File[&Open\tCtrl+O|-|E&xit(checked)]|&Fenster|&Hilfe");
    mm->SetAutoHotkeys(maAutomatic);
    auto* passing = Create<TMenuItem>(g_form);
    mm->Items()->Add(passing);
    mm->Items()->Remove(passing);
    passing->Free();
    EXPECT_EQ(g_form->Find<TMenuItem>("miFind")->Caption(), "F&enster");
    EXPECT_EQ(MenuText(GetMenu(h)), "&File[&Open\tCtrl+O|-|E&xit(checked)]|F&enster|&Hilfe");

    // A freed item leaves the menu; an item cannot sit in two places.
    auto* extra = Create<TMenuItem>(g_form);
    extra->SetCaption("Extra");
    g_form->Find<TMenuItem>("miFile")->Insert(0, extra);
    EXPECT_EQ(MenuText(GetMenu(h)), "&File[&Extra|&Open\tCtrl+O|-|E&xit(checked)]|F&enster|&Hilfe");
    EXPECT_THROW(mm->Items()->Add(extra), rtl::EInvalidOperation);
    extra->Free();
    EXPECT_EQ(MenuText(GetMenu(h)), "&File[&Open\tCtrl+O|-|E&xit(checked)]|F&enster|&Hilfe");
    g_form->Find<TMenuItem>("miFind")->SetCaption("&Find");
    g_form->Find<TMenuItem>("miHelp")->SetCaption("Help");
    EXPECT_EQ(g_form->Find<TMenuItem>("miFind")->Caption(), "F&ind");
}

// Runs `drive` on a second thread while the form runs modally; the driver always ends the
// loop so that a failure cannot hang the test.
template <class F>
TModalResult RunModal(TForm* f, F drive) {
    DWORD guiThread = GetCurrentThreadId();
    std::thread t([&] {
        drive();
        PostMessageA(f->WindowHandle(), WM_CLOSE, 0, 0);
        for (int i = 0; i < 50 && f->Modal(); ++i) Sleep(20);
        if (f->Modal()) PostThreadMessageA(guiThread, WM_QUIT, 0, 0);
    });
    TModalResult r = f->ShowModal();
    t.join();
    return r;
}

TEST_F(ListsOnScreen, DrivenLikeAPerson) {
    struct Seen {
        bool shot = false;
        std::string menu, firstLine, comboText;
        int listCount = -1;
        std::vector<std::string> classes;
    } seen;
    auto* checks = g_form->Find<TCheckListBox>("clbChecks");
    auto* plain = g_form->Find<TListBox>("lbPlain");
    auto* edition = g_form->Find<TComboBox>("cbEdition");
    auto* memo = g_form->Find<TMemo>("mmoNotes");
    RunModal(g_form, [&] {
        HWND w = uidriver::WaitForWindow({"TfrmLists", "Lists", GetCurrentProcessId(), true}, 5000);
        if (!w) return;
        uidriver::PumpFor(100);
        seen.shot = uidriver::Screenshot(w, KX_TEST_OUTPUT_DIR "/components_lists.png");
        for (const auto& c : uidriver::ListControls(w)) seen.classes.push_back(c.className);
        seen.menu = MenuText(GetMenu(w));
        HWND lb = plain->WindowHandle(), clb = checks->WindowHandle(), cb = edition->WindowHandle();
        seen.listCount = int(SendMessageA(lb, LB_GETCOUNT, 0, 0));
        char buf[64] = {0};
        SendMessageA(lb, LB_GETTEXT, 0, reinterpret_cast<LPARAM>(buf));
        seen.firstLine = buf;
        // A click on the second line of the list selects it.
        RECT r;
        SendMessageA(lb, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        PostMessageA(lb, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(lb, WM_LBUTTONUP, 0, at);
        // A click on the box of "Readers" checks it; the space bar on the focused line too.
        SendMessageA(clb, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&r));
        at = MAKELPARAM(r.left + 6, (r.top + r.bottom) / 2);
        PostMessageA(clb, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(clb, WM_LBUTTONUP, 0, at);
        uidriver::PumpFor(200);
        PostMessageA(clb, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageA(clb, WM_KEYDOWN, VK_SPACE, 0);
        // The combo box: the arrow key goes back to the first edition.
        PostMessageA(cb, WM_KEYDOWN, VK_UP, 0);
        // Typing into the memo.
        HWND mm = memo->WindowHandle();
        PostMessageA(mm, WM_KEYDOWN, VK_END, 0);
        PostMessageA(mm, WM_CHAR, '!', 0);
        // The menu's "Open" as the menu sends it.
        HMENU file = GetSubMenu(GetMenu(w), 0);
        PostMessageA(w, WM_COMMAND, MAKEWPARAM(GetMenuItemID(file, 0), 0), 0);
        uidriver::PumpFor(300);
        seen.comboText = uidriver::TextOf(cb);
    });
    EXPECT_TRUE(seen.shot);
    EXPECT_EQ(seen.menu, "&File[&Open\tCtrl+O|-|E&xit(checked)]|F&ind|&Help");
    EXPECT_EQ(seen.listCount, 3);
    EXPECT_EQ(seen.firstLine, "First");
    for (const char* cls : {"ListBox", "ComboBox", "Edit"})
        EXPECT_NE(std::find_if(seen.classes.begin(), seen.classes.end(),
                               [&](const std::string& c) { return _stricmp(c.c_str(), cls) == 0; }),
                  seen.classes.end())
            << cls;
    EXPECT_TRUE(plain->Selected(1));
    EXPECT_EQ(plain->SelCount(), 1);
    EXPECT_TRUE(checks->Checked(1));
    EXPECT_TRUE(checks->Checked(2));
    EXPECT_FALSE(checks->Checked(0));
    EXPECT_EQ(g_form->checkClicks.load(), 2);
    EXPECT_EQ(edition->ItemIndex(), 0);
    EXPECT_EQ(seen.comboText, "Light edition");
    EXPECT_EQ(Lines(memo->Lines()), (std::vector<std::string>{"Line one!", "Line two"}));  // End: of its line
    EXPECT_EQ(g_form->opens.load(), 1);
}

// Right-to-left styles of the new controls follow a change of their reading order.
TEST_F(ListsOnScreen, ReadingOrderReachesTheirWindows) {
    g_form->Handle();
    for (const char* name : {"lbPlain", "clbChecks", "cbEdition", "mmoNotes"}) {
        auto* c = static_cast<TControl*>(g_form->FindComponent(name));
        HWND h = c->WindowHandle();
        ASSERT_NE(h, nullptr) << name;
        c->SetBiDiMode(bdRightToLeft);
        LONG ex = GetWindowLongA(h, GWL_EXSTYLE);
        EXPECT_TRUE((ex & WS_EX_RTLREADING) && (ex & WS_EX_RIGHT) && (ex & WS_EX_LEFTSCROLLBAR)) << name;
        c->SetParentBiDiMode(true);
        ex = GetWindowLongA(h, GWL_EXSTYLE);
        EXPECT_FALSE(ex & (WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR)) << name;
    }
}

}  // namespace
