#include "components/forms.h"
#include "rtl/resstrings.h"

#include <commctrl.h>

#include <algorithm>

#include "components/stdctrls.h"
#include "rtl/strutil.h"

namespace kxc {

const TEnumInfo FormBorderStyleInfo{"TFormBorderStyle",
                                    {"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"}};
const TEnumInfo BorderIconInfo{"TBorderIcons", {"biSystemMenu", "biMinimize", "biMaximize", "biHelp"}};
const TEnumInfo PositionInfo{"TPosition",
                             {"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly", "poScreenCenter",
                              "poDesktopCenter", "poMainFormCenter", "poOwnerFormCenter"}};

namespace {
const UINT kReleaseMessage = WM_APP + 0x3A1;  // posted by Release: free the form
bool NeverStored(const TObject&) { return false; }

// Every form that exists, whoever owns it, in creation order.
std::vector<TForm*>& AllForms() {
    static std::vector<TForm*> forms;
    return forms;
}
}  // namespace

// ---- TForm ----

KXC_IMPLEMENT_CLASS(TForm)
void TForm::DescribeClass(TClassBuilder<TForm>& c) {
    c.Int("Width", &TControl::Width, &TControl::SetWidth).Stored(NeverStored);
    c.Int("Height", &TControl::Height, &TControl::SetHeight).Stored(NeverStored);
    c.Bool("Visible", &TControl::Visible, &TControl::SetVisible).Stored(NeverStored);
    c.Object<TWinControl>("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl);
    c.Bool("AutoScroll", &TForm::AutoScroll, &TForm::SetAutoScroll).DefaultValue(1);
    c.Set("BorderIcons", &TForm::BorderIcons, &TForm::SetBorderIcons, BorderIconInfo).DefaultValue(7);
    c.Enum<TFormBorderStyle>("BorderStyle", &TForm::BorderStyle, &TForm::SetBorderStyle, FormBorderStyleInfo)
        .DefaultValue(bsSizeable);
    c.Int("ClientHeight", &TForm::ClientHeight, &TForm::SetClientHeight);
    c.Int("ClientWidth", &TForm::ClientWidth, &TForm::SetClientWidth);
    c.Int("Color", &TControl::Color, &TControl::SetColor, &ColorIdents).DefaultValue(clBtnFace);
    c.Object<TMainMenu>("Menu", &TForm::Menu, &TForm::SetMenu);
    c.Enum<TPosition>("Position", &TForm::Position, &TForm::SetPosition, PositionInfo).DefaultValue(poDesigned);
    c.Bool("Scaled", &TForm::Scaled, &TForm::SetScaled).DefaultValue(1);
    c.Int("PixelsPerInch", &TForm::PixelsPerInch, &TForm::SetPixelsPerInch);
    c.Event("OnClose", &TForm::OnClose, "TCloseEvent");
    c.Event("OnCreate", &TForm::OnCreate);
    c.Event("OnDestroy", &TForm::OnDestroy);
    c.Event("OnHide", &TForm::OnHide);
    c.Event("OnShow", &TForm::OnShow);
}

TForm::TForm(TComponent* owner) : TWinControl(owner) {
    visible_ = false;
    parentFont_ = false;
    parentBiDiMode_ = true;
    bidiMode_ = Application ? Application->BiDiMode() : bdLeftToRight;
    clientWidth_ = 300;
    clientHeight_ = 200;
    SetBounds(0, 0, 0, 0);
    AllForms().push_back(this);
}

TForm::~TForm() {
    auto& forms = AllForms();
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    DestroyHandle();
    if (Application) {
        // Windows that this form disabled for its modal loop stay usable.
    }
}

void TForm::BeforeDestruction() {
    if (!destroyFired_) {
        destroyFired_ = true;
        try {
            OnDestroy(this);
        } catch (...) {
            Application->HandleException(this);
        }
    }
    TWinControl::BeforeDestruction();
}

void TForm::CreateParams(TCreateParams& p) {
    p.WinClassName = ClassName();
    p.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
    p.ExStyle = WS_EX_CONTROLPARENT;
    switch (borderStyle_) {
    case bsNone:
        p.Style |= WS_POPUP;
        break;
    case bsSingle:
    case bsToolWindow:
        p.Style |= WS_CAPTION | WS_BORDER;
        break;
    case bsSizeable:
    case bsSizeToolWin:
        p.Style |= WS_CAPTION | WS_THICKFRAME;
        break;
    case bsDialog:
        p.Style |= WS_POPUP | WS_CAPTION;
        p.ExStyle |= WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE;
        break;
    }
    if (borderStyle_ == bsToolWindow || borderStyle_ == bsSizeToolWin) p.ExStyle |= WS_EX_TOOLWINDOW;
    if (borderStyle_ != bsNone && (borderIcons_ & (1u << biSystemMenu))) {
        p.Style |= WS_SYSMENU;
        if (borderStyle_ == bsDialog) {
            if (borderIcons_ & (1u << biHelp)) p.ExStyle |= WS_EX_CONTEXTHELP;
        } else if (borderStyle_ != bsToolWindow && borderStyle_ != bsSizeToolWin) {
            if (borderIcons_ & (1u << biMinimize)) p.Style |= WS_MINIMIZEBOX;
            if (borderIcons_ & (1u << biMaximize)) p.Style |= WS_MAXIMIZEBOX;
        }
    }
    if (!enabled_) p.Style |= WS_DISABLED;
    if (UseRightToLeftReading()) p.ExStyle |= WS_EX_RTLREADING;
    if (bidiMode_ == bdRightToLeft) p.ExStyle |= WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR;
    if (menu_) p.Menu = menu_->Handle();
}

void TForm::FrameExtra(int& dx, int& dy) const {
    TCreateParams p;
    const_cast<TForm*>(this)->CreateParams(p);
    RECT r{0, 0, 100, 100};
    AdjustWindowRectEx(&r, p.Style, menu_ != nullptr, p.ExStyle);
    dx = (r.right - r.left) - 100;
    dy = (r.bottom - r.top) - 100;
}

void TForm::SetBounds(int l, int t, int w, int h) {
    int dx, dy;
    FrameExtra(dx, dy);
    if (w > 0 || h > 0) {
        clientWidth_ = std::max(0, w - dx);
        clientHeight_ = std::max(0, h - dy);
    }
    TWinControl::SetBounds(l, t, clientWidth_ + dx, clientHeight_ + dy);
}

int TForm::ClientWidth() const { return handle_ ? TWinControl::ClientWidth() : clientWidth_; }
int TForm::ClientHeight() const { return handle_ ? TWinControl::ClientHeight() : clientHeight_; }

void TForm::SetClientWidth(int v) {
    clientWidth_ = v;
    int dx, dy;
    FrameExtra(dx, dy);
    TWinControl::SetBounds(left_, top_, v + dx, clientHeight_ + dy);
}

void TForm::SetClientHeight(int v) {
    clientHeight_ = v;
    int dx, dy;
    FrameExtra(dx, dy);
    TWinControl::SetBounds(left_, top_, clientWidth_ + dx, v + dy);
}

void TForm::SetBorderStyle(TFormBorderStyle v) {
    borderStyle_ = v;
    SetClientWidth(clientWidth_);
}

void TForm::SetBorderIcons(uint32_t v) {
    borderIcons_ = v & 0xF;
    SetClientWidth(clientWidth_);
}

void TForm::SetActiveControl(TWinControl* c) {
    activeControl_ = c;
    if (c && showing_ && c->CanFocus()) {
        HWND h = c->Handle();
        if (GetFocus() != h) ::SetFocus(h);
    }
}

void TForm::Notification(TComponent* c, TOperation op) {
    TWinControl::Notification(c, op);
    if (op == opRemove && c == activeControl_) activeControl_ = nullptr;
    if (op == opRemove && c == menu_) SetMenu(nullptr);
}

// The client area keeps its size: the frame grows by the menu bar.
void TForm::SetMenu(TMainMenu* m) {
    if (m == menu_) return;
    if (menu_) {
        menu_->SetWindowHandle(nullptr);
        RemoveFreeNotification(menu_);
    }
    menu_ = m;
    if (m) m->FreeNotification(this);
    if (handle_) {
        ::SetMenu(handle_, m ? m->Handle() : nullptr);
        if (m) m->SetWindowHandle(handle_);
    }
    SetClientWidth(clientWidth_);
    SetClientHeight(clientHeight_);
}

// The window would take the menu down with it; the menu is the menu component's.
void TForm::DestroyHandle() {
    if (handle_ && menu_) {
        ::SetMenu(handle_, nullptr);
        menu_->SetWindowHandle(nullptr);
    }
    TWinControl::DestroyHandle();
}

void TForm::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    TWinControl::GetChildren(proc, root);
    if (root == this)
        for (int i = 0; i < ComponentCount(); ++i)
            if (!Components(i)->HasParent()) proc(Components(i));
}

void TForm::PlaceOnScreen() {
    if (placed_) return;
    placed_ = true;
    if (position_ == poScreenCenter || position_ == poDesktopCenter || position_ == poMainFormCenter ||
        position_ == poOwnerFormCenter) {
        int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
        TWinControl::SetBounds((sw - width_) / 2, (sh - height_) / 2, width_, height_);
    }
}

void TForm::AfterCreateHandle() {
    TWinControl::AfterCreateHandle();
    if (menu_) menu_->SetWindowHandle(handle_);
    if (TIcon* icon = Application->Icon())
        SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon->Handle()));
    // The caption shows the small image; without one the system shrinks the large one.
    if (void* small = Application->SmallIconHandle())
        SendMessageA(handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
}

HWND TForm::ToolTipHandle() {
    if (!toolTip_ && handle_) {
        toolTip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, handle_, nullptr,
                                   GetModuleHandleA(nullptr), nullptr);
    }
    return toolTip_;
}

HMENU TForm::SystemMenu() { return GetSystemMenu(Handle(), FALSE); }

void TForm::SetVisible(bool v) {
    if (v) {
        PlaceOnScreen();
        if (!handle_) CreateHandle();
        visible_ = true;
        ShowWindow(handle_, SW_SHOW);
        UpdateShowing();
        if (activeControl_ && activeControl_->CanFocus())
            ::SetFocus(activeControl_->Handle());
        else if (HWND f = GetNextDlgTabItem(handle_, nullptr, FALSE))
            ::SetFocus(f);
    } else {
        visible_ = false;
        if (handle_) ShowWindow(handle_, SW_HIDE);
        UpdateShowing();
    }
}

void TForm::UpdateShowing() {
    bool now = visible_ && handle_ != nullptr;
    bool changed = now != showing_;
    showing_ = now;
    if (changed) ShowingChanged();
    for (TControl* c : std::vector<TControl*>(controls_)) c->UpdateShowing();
}

void TForm::ShowingChanged() {
    if (showing_)
        OnShow(this);
    else
        OnHide(this);
}

void TForm::DoCreate() {
    try {
        OnCreate(this);
    } catch (...) {
        Application->HandleException(this);
    }
}

namespace {
BOOL CALLBACK CollectEnabled(HWND h, LPARAM l) {
    auto* v = reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(l);
    if (h != v->first && IsWindowVisible(h) && IsWindowEnabled(h)) v->second.push_back(h);
    return TRUE;
}
}  // namespace

TModalResult TForm::ShowModal() {
    if (visible_ || modal_) throw rtl::EInvalidOperation(rtl::LoadResString(&rtl::SCannotShowModal));
    HWND activeBefore = GetActiveWindow();
    if (!handle_) CreateHandle();
    std::pair<HWND, std::vector<HWND>> others{handle_, {}};
    EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&others));
    for (HWND h : others.second) EnableWindow(h, FALSE);
    modal_ = true;
    modalResult_ = mrNone;
    auto restore = [&]() {
        for (HWND h : others.second)
            if (IsWindow(h)) EnableWindow(h, TRUE);
        modal_ = false;
        SetVisible(false);
        if (activeBefore && IsWindow(activeBefore)) SetActiveWindow(activeBefore);
    };
    bool freeAfter = false;
    try {
        Show();
        for (;;) {
            if (Application->Terminated()) {
                if (modalResult_ == mrNone) modalResult_ = mrCancel;
                break;
            }
            if (modalResult_ != mrNone) {
                TCloseAction a = caHide;
                try {
                    OnClose(this, a);
                } catch (...) {
                    Application->HandleException(this);
                }
                if (a == caNone)
                    modalResult_ = mrNone;
                else {
                    freeAfter = a == caFree;
                    break;
                }
            }
            Application->HandleMessage();
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
    TModalResult r = modalResult_;
    if (freeAfter) Release();
    return r;
}

void TForm::Close() {
    if (modal_) {
        modalResult_ = mrCancel;
        return;
    }
    TCloseAction a = caHide;
    OnClose(this, a);
    switch (a) {
    case caHide:
        Hide();
        break;
    case caFree:
        Release();
        break;
    case caMinimize:
        if (handle_) ShowWindow(handle_, SW_MINIMIZE);
        break;
    case caNone:
        break;
    }
}

void TForm::Release() {
    if (handle_)
        PostMessageA(handle_, kReleaseMessage, 0, 0);
    else
        Free();
}

LRESULT TForm::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case kReleaseMessage:
        Free();
        return 0;
    case WM_COMMAND:
        // A menu item chosen (no control, not an accelerator).
        if (l == 0 && HIWORD(w) == 0)
            if (TMenuItem* item = TMenuItem::FindCommand(LOWORD(w))) {
                item->Click();
                return 0;
            }
        break;
    case WM_CLOSE:
        Close();
        return 0;
    case DM_GETDEFID: {
        // Enter presses the focused push button.
        if (auto* b = dynamic_cast<TButton*>(FindControlOfWindow(GetFocus())))
            return MAKELRESULT(GetDlgCtrlID(b->WindowHandle()), DC_HASDEFID);
        return 0;
    }
    case WM_ACTIVATE:
        if (LOWORD(w) != WA_INACTIVE && activeControl_ && activeControl_->HandleAllocated() &&
            activeControl_->CanFocus()) {
            ::SetFocus(activeControl_->WindowHandle());
            return 0;
        }
        break;
    case WM_WINDOWPOSCHANGED: {
        RECT wr, cr;
        GetWindowRect(handle_, &wr);
        GetClientRect(handle_, &cr);
        bool resized = cr.right != clientWidth_ || cr.bottom != clientHeight_;
        left_ = wr.left;
        top_ = wr.top;
        width_ = wr.right - wr.left;
        height_ = wr.bottom - wr.top;
        if (!IsIconic(handle_)) {
            clientWidth_ = cr.right;
            clientHeight_ = cr.bottom;
        }
        if (resized) AlignControls();
        return TControl::WndProc(msg, w, l);
    }
    default:
        break;
    }
    return TWinControl::WndProc(msg, w, l);
}

// ---- TApplication ----

TApplication* Application = new TApplication(nullptr);

KXC_IMPLEMENT_CLASS(TApplication)
void TApplication::DescribeClass(TClassBuilder<TApplication>&) {}

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    size_t slash = p.find_last_of("\\/");
    if (slash != std::string::npos) p = p.substr(slash + 1);
    size_t dot = p.find_last_of('.');
    if (dot != std::string::npos) p = p.substr(0, dot);
    title_ = p;
}

TApplication::~TApplication() { delete icon_; }

void TApplication::SetBiDiMode(TBiDiMode v) {
    if (v == bidiMode_) return;
    bidiMode_ = v;
    // A copy: a form's reaction may create or free forms.
    for (TForm* f : std::vector<TForm*>(AllForms())) {
        auto& now = AllForms();
        if (std::find(now.begin(), now.end(), f) != now.end()) f->UpdateParentBiDiMode();
    }
}

void TApplication::Initialize() { RegisterStandardClasses(); }

TIcon* TApplication::Icon() {
    if (!icon_) {
        icon_ = new TIcon;
        HICON h = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
        if (!h) h = LoadIcon(nullptr, IDI_APPLICATION);
        icon_->SetHandle(h);
    }
    return icon_;
}

void* TApplication::SmallIconHandle() {
    if (!smallIconLooked_) {
        smallIconLooked_ = true;
        // Shared: the system owns the handle, which lives as long as the program.
        smallIcon_ = LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON,
                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                LR_SHARED);
    }
    return smallIcon_;
}

bool TApplication::ProcessMessage(MSG& msg) {
    if (msg.message == WM_QUIT) {
        terminated_ = true;
        return false;
    }
    HWND top = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (top && dynamic_cast<TForm*>(FindControlOfWindow(top)) && IsDialogMessageA(top, &msg)) return true;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return true;
}

void TApplication::HandleMessage() {
    MSG msg;
    BOOL r = GetMessageA(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) {
        terminated_ = true;
        return;
    }
    ProcessMessage(msg);
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!ProcessMessage(msg)) break;
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::BringToFront() {
    HWND h = GetActiveWindow();
    if (!h) {
        std::pair<HWND, std::vector<HWND>> all{nullptr, {}};
        EnumThreadWindows(GetCurrentThreadId(), CollectEnabled, reinterpret_cast<LPARAM>(&all));
        for (HWND w : all.second)
            if (dynamic_cast<TForm*>(FindControlOfWindow(w))) {
                h = w;
                break;
            }
    }
    if (h) SetForegroundWindow(h);
}

void TApplication::HandleException(TObject* sender) noexcept {
    if (!std::current_exception()) return;
    try {
        try {
            throw;
        } catch (rtl::Exception& e) {
            if (OnException)
                OnException(sender, e);
            else
                ShowException(e);
        } catch (const std::exception& e) {
            rtl::Exception wrapped(e.what());
            if (OnException)
                OnException(sender, wrapped);
            else
                ShowException(wrapped);
        } catch (...) {
            // Whatever else a handler let out (a plug-in may throw anything) is shown too:
            // swallowed, it would leave the user with a step that silently did nothing.
            rtl::Exception wrapped(rtl::UnknownExceptionMessage());
            if (OnException)
                OnException(sender, wrapped);
            else
                ShowException(wrapped);
        }
    } catch (...) {
        // A failing handler must not take the message loop down with it.
    }
}

void TApplication::ShowException(const rtl::Exception& e) {
    std::string msg = e.Message();
    if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.') msg += '.';
    MessageBoxA(GetActiveWindow(), msg.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP);
}

}  // namespace kxc
