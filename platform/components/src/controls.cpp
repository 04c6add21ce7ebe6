#include "components/controls.h"
#include "rtl/resstrings.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <set>

#include "components/forms.h"
#include "components/listctrls.h"
#include "components/menus.h"
#include "components/stdctrls.h"
#include "rtl/strutil.h"

namespace kxc {

const TEnumInfo AlignInfo{"TAlign", {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"}};
const TEnumInfo BiDiModeInfo{"TBiDiMode",
                             {"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign", "bdRightToLeftReadingOnly"}};
const TIntIdentMap ModalResultIdents{"TModalResult",
                                     {{mrNone, "mrNone"},
                                      {mrOk, "mrOk"},
                                      {mrCancel, "mrCancel"},
                                      {mrAbort, "mrAbort"},
                                      {mrRetry, "mrRetry"},
                                      {mrIgnore, "mrIgnore"},
                                      {mrYes, "mrYes"},
                                      {mrNo, "mrNo"}}};

namespace {

const char kControlProp[] = "KxcControl";
TControl* g_creating = nullptr;  // the control whose window CreateWindowEx is making
int g_nextId = 100;              // child window ids; below 100 are IDOK, IDCANCEL and friends

std::set<std::string>& RegisteredClasses() {
    static std::set<std::string> s;
    return s;
}

LRESULT CALLBACK ControlWndProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    auto* c = static_cast<TControl*>(GetPropA(h, kControlProp));
    if (!c && g_creating) {
        c = g_creating;
        g_creating = nullptr;
        c->Attach(h);
    }
    if (!c) return DefWindowProcA(h, msg, w, l);
    try {
        return c->WndProc(msg, w, l);
    } catch (...) {
        Application->HandleException(c);
        return 0;
    }
}

void EnsureWindowClass(const TCreateParams& p) {
    if (p.BaseClass || RegisteredClasses().count(p.WinClassName)) return;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = p.ClassStyle;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpfnWndProc = ControlWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = p.WinClassName.c_str();
    if (!RegisterClassExA(&wc))
        throw rtl::EOSError(rtl::FormatResString(&rtl::SWindowClass, p.WinClassName.c_str()));
    RegisteredClasses().insert(p.WinClassName);
}

}  // namespace

TControl* FindControlOfWindow(HWND h) { return h ? static_cast<TControl*>(GetPropA(h, kControlProp)) : nullptr; }

// ---- TControl ----

KXC_IMPLEMENT_CLASS(TControl)
void TControl::DescribeClass(TClassBuilder<TControl>& c) {
    c.Int("Left", &TControl::Left, &TControl::SetLeft);
    c.Int("Top", &TControl::Top, &TControl::SetTop);
    c.Int("Width", &TControl::Width, &TControl::SetWidth);
    c.Int("Height", &TControl::Height, &TControl::SetHeight);
    c.Enum<TAlign>("Align", &TControl::Align, &TControl::SetAlign, AlignInfo).DefaultValue(alNone);
    c.Enum<TBiDiMode>("BiDiMode", &TControl::BiDiMode, &TControl::SetBiDiMode, BiDiModeInfo)
        .Stored([](const TObject& o) { return !static_cast<const TControl&>(o).ParentBiDiMode(); });
    c.Str("Caption", &TControl::Caption, &TControl::SetCaption);
    c.Bool("Enabled", &TControl::Enabled, &TControl::SetEnabled).DefaultValue(1);
    c.Object<TFont>("Font", &TControl::Font, &TControl::SetFont)
        .Stored([](const TObject& o) { return !static_cast<const TControl&>(o).ParentFont(); });
    c.Str("Hint", &TControl::Hint, &TControl::SetHint);
    c.Bool("ParentBiDiMode", &TControl::ParentBiDiMode, &TControl::SetParentBiDiMode).DefaultValue(1);
    c.Bool("ParentFont", &TControl::ParentFont, &TControl::SetParentFont).DefaultValue(1);
    c.Bool("Visible", &TControl::Visible, &TControl::SetVisible).DefaultValue(1);
    c.Event("OnClick", &TControl::OnClick);
}

TControl::TControl(TComponent* owner) : TComponent(owner), font_(new TFont) {
    font_->OnChange = [this](TObject*) {
        if (!settingParentFont_) parentFont_ = false;
        FontChanged();
    };
}

TControl::~TControl() {
    DestroyHandle();
    if (parent_) parent_->RemoveControl(this);
    delete font_;
}

TComponent* TControl::GetParentComponent() const { return parent_; }

void TControl::SetParentComponent(TComponent* p) {
    if (auto* w = dynamic_cast<TWinControl*>(p)) SetParent(w);
}

void TControl::SetParent(TWinControl* p) {
    if (p == parent_) return;
    if (p == this) throw rtl::EInvalidOperation(rtl::LoadResString(&rtl::SControlParentSetToSelf));
    if (parent_) {
        DestroyHandle();
        parent_->RemoveControl(this);
    }
    if (p) {
        p->InsertControl(this);
        UpdateParentFont();
        UpdateParentBiDiMode();
        if (p->HandleAllocated() && !Loading()) CreateHandle();
        if (align_ != alNone) p->AlignControls();
    }
    UpdateShowing();
}

HWND TControl::ParentWindow() const { return parent_ ? parent_->Handle() : nullptr; }

TForm* TControl::ParentForm() const {
    const TControl* c = this;
    while (c->parent_) c = c->parent_;
    return dynamic_cast<TForm*>(const_cast<TControl*>(c));
}

void TControl::SetBounds(int l, int t, int w, int h) {
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    bool resized = w != width_ || h != height_;
    bool moved = l != left_ || t != top_;
    if (!resized && !moved) return;
    if (!HasOwnWindow() && parent_ && parent_->HandleAllocated()) {
        RECT r{left_, top_, left_ + width_, top_ + height_};
        InvalidateRect(parent_->WindowHandle(), &r, TRUE);
    }
    left_ = l;
    top_ = t;
    width_ = w;
    height_ = h;
    SetWindowPosFromBounds();
    if (!HasOwnWindow()) Invalidate();
    if (resized) BoundsChanged();
    if (parent_ && align_ != alNone && !Loading()) parent_->AlignControls();
}

void TControl::SetWindowPosFromBounds() {
    if (handle_) SetWindowPos(handle_, nullptr, left_, top_, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
}

int TControl::ClientWidth() const { return width_; }
int TControl::ClientHeight() const { return height_; }

void TControl::SetCaption(const std::string& v) {
    if (v == caption_) return;
    caption_ = v;
    if (handle_) SetWindowTextA(handle_, caption_.c_str());
    TextChanged();
}

void TControl::TextChanged() {}

void TControl::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    if (handle_) EnableWindow(handle_, v);
    Invalidate();
}

void TControl::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    if (handle_) {
        if (!v) {
            // A hidden control must not keep the keyboard: hand the focus to the form.
            HWND f = GetFocus();
            if (f && (f == handle_ || IsChild(handle_, f))) {
                TForm* form = ParentForm();
                if (form && form->HandleAllocated()) ::SetFocus(form->WindowHandle());
            }
        }
        ShowWindow(handle_, v ? SW_SHOWNA : SW_HIDE);
    } else if (!HasOwnWindow() && parent_ && parent_->HandleAllocated()) {
        RECT r{left_, top_, left_ + width_, top_ + height_};
        InvalidateRect(parent_->WindowHandle(), &r, TRUE);
    }
    if (parent_ && align_ != alNone && !Loading()) parent_->AlignControls();
    UpdateShowing();
}

void TControl::UpdateShowing() {
    bool now = visible_ && parent_ && parent_->Showing();
    if (now == showing_) return;
    showing_ = now;
    ShowingChanged();
}

void TControl::SetHint(const std::string& v) {
    if (v == hint_) return;
    hint_ = v;
    UpdateHint();
}

void TControl::UpdateHint() {
    if (!handle_) return;
    TForm* form = ParentForm();
    if (!form || form == this) return;
    HWND tip = hint_.empty() && !form->HandleAllocated() ? nullptr : form->ToolTipHandle();
    if (!tip) return;
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = form->WindowHandle();
    ti.uId = reinterpret_cast<UINT_PTR>(handle_);
    ti.lpszText = const_cast<char*>(hint_.c_str());
    SendMessageA(tip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
    if (!hint_.empty()) SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
}

void TControl::SetParentFont(bool v) {
    if (v == parentFont_) return;
    parentFont_ = v;
    if (v) UpdateParentFont();
}

void TControl::UpdateParentFont() {
    if (!parentFont_ || !parent_) return;
    settingParentFont_ = true;
    try {
        font_->Assign(parent_->Font());
    } catch (...) {
        settingParentFont_ = false;
        throw;
    }
    settingParentFont_ = false;
}

void TControl::FontChanged() {
    if (handle_) SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), TRUE);
    Invalidate();
}

void TControl::SetColor(TColor v) {
    if (v == color_) return;
    color_ = v;
    Invalidate();
}

void TControl::SetAlign(TAlign v) {
    if (v == align_) return;
    align_ = v;
    if (parent_ && !Loading()) parent_->AlignControls();
}

void TControl::SetBiDiMode(TBiDiMode v) {
    parentBiDiMode_ = false;
    if (v == bidiMode_) return;
    bidiMode_ = v;
    ApplyExStyle();
    if (auto* w = dynamic_cast<TWinControl*>(this))
        for (int i = 0; i < w->ControlCount(); ++i) w->Controls(i)->UpdateParentBiDiMode();
}

void TControl::SetParentBiDiMode(bool v) {
    if (v == parentBiDiMode_) return;
    parentBiDiMode_ = v;
    if (v) UpdateParentBiDiMode();
}

void TControl::UpdateParentBiDiMode() {
    if (!parentBiDiMode_) return;
    TBiDiMode m = parent_ ? parent_->BiDiMode() : Application->BiDiMode();
    if (m != bidiMode_) {
        SetBiDiMode(m);
        parentBiDiMode_ = true;
    }
}

void TControl::ApplyExStyle() {
    if (!handle_) return;
    LONG ex = GetWindowLongA(handle_, GWL_EXSTYLE) & ~(WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR);
    if (UseRightToLeftReading()) ex |= WS_EX_RTLREADING;
    if (bidiMode_ == bdRightToLeft) ex |= WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR;
    SetWindowLongA(handle_, GWL_EXSTYLE, ex);
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    InvalidateRect(handle_, nullptr, TRUE);
}

void TControl::Click() { OnClick(this); }

// Rounding at every step would let a control creep when it is scaled up and down again (80%
// and back turns 7 into 6 and then 8): the series keeps its first value and its factor.
int TScaledValue::Scale(int current, int m, int d) {
    if (d == 0) return current;
    if (!active_ || current != last_) {
        active_ = true;
        base_ = current;
        m_ = d_ = 1;
    }
    int64_t nm = int64_t(m_) * m, nd = int64_t(d_) * d;
    int64_t g = std::gcd(nm, nd);
    if (g) {
        nm /= g;
        nd /= g;
    }
    if (nd < 0) {
        nm = -nm;
        nd = -nd;
    }
    if (nm > INT32_MAX || nm < -INT32_MAX || nd > INT32_MAX) {
        // A long series of unlike factors: go on from where it stands.
        base_ = MulDiv(current, m, d);
        m_ = d_ = 1;
    } else {
        m_ = int(nm);
        d_ = int(nd);
    }
    last_ = MulDiv(base_, m_, d_);
    return last_;
}

void TControl::ChangeScale(int m, int d) {
    SetBounds(scaleLeft_.Scale(left_, m, d), scaleTop_.Scale(top_, m, d), scaleWidth_.Scale(width_, m, d),
              scaleHeight_.Scale(height_, m, d));
    if (!parentFont_) {
        font_->SetHeight(scaleFont_.Scale(font_->Height(), m, d));
        parentFont_ = false;
    }
}

void TControl::Invalidate() {
    if (handle_)
        InvalidateRect(handle_, nullptr, TRUE);
    else if (!HasOwnWindow() && parent_ && parent_->HandleAllocated()) {
        RECT r{left_, top_, left_ + width_, top_ + height_};
        InvalidateRect(parent_->WindowHandle(), &r, TRUE);
    }
}

void TControl::Repaint() {
    HWND h = handle_ ? handle_ : (parent_ ? parent_->WindowHandle() : nullptr);
    if (h) RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
}

void TControl::BringToFront() {
    if (handle_) SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TControl::CreateParams(TCreateParams& p) {
    p.WinClassName = ClassName();
    p.Style = WS_CHILD | WS_CLIPSIBLINGS;
    if (visible_) p.Style |= WS_VISIBLE;
    if (!enabled_) p.Style |= WS_DISABLED;
    if (UseRightToLeftReading()) p.ExStyle |= WS_EX_RTLREADING;
    if (bidiMode_ == bdRightToLeft) p.ExStyle |= WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR;
}

void TControl::Attach(HWND h) {
    handle_ = h;
    SetPropA(h, kControlProp, this);
    defProc_ = DefWindowProcA;
}

// Controls that wrap a system control keep its window class ("Button", "Static", ...), so
// that tools see the control they know, and take its messages through a subclass.
void TControl::AttachSubclass(HWND h) {
    handle_ = h;
    SetPropA(h, kControlProp, this);
    defProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlWndProc)));
    subclassed_ = true;
}

void TControl::CreateHandle() {
    if (handle_ || !HasOwnWindow()) return;
    TCreateParams p;
    CreateParams(p);
    EnsureWindowClass(p);
    bool child = (p.Style & WS_CHILD) != 0;
    HWND parent = child ? ParentWindow() : nullptr;
    if (child && !parent) return;
    if (!id_) id_ = g_nextId++;
    g_creating = p.BaseClass ? nullptr : this;
    HWND h = CreateWindowExA(p.ExStyle, p.BaseClass ? p.BaseClass : p.WinClassName.c_str(), caption_.c_str(), p.Style, left_, top_, width_,
                             height_, parent, child ? reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)) : p.Menu,
                             GetModuleHandleA(nullptr), nullptr);
    g_creating = nullptr;
    if (!h) throw rtl::EOSError(rtl::FormatResString(&rtl::SWindowCreate, GetLastError()));
    if (p.BaseClass)
        AttachSubclass(h);
    else if (!handle_)
        Attach(h);
    AfterCreateHandle();
}

void TControl::AfterCreateHandle() {
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(font_->Handle()), FALSE);
    UpdateHint();
}

void TControl::DetachHandles() {
    if (auto* w = dynamic_cast<TWinControl*>(this))
        for (int i = 0; i < w->ControlCount(); ++i) w->Controls(i)->DetachHandles();
    if (handle_) {
        if (subclassed_) SetWindowLongPtrA(handle_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defProc_));
        subclassed_ = false;
        RemovePropA(handle_, kControlProp);
        handle_ = nullptr;
    }
}

void TControl::DestroyHandle() {
    HWND h = handle_;
    if (!h) return;
    DetachHandles();
    DestroyWindow(h);
}

LRESULT TControl::DefaultHandler(UINT msg, WPARAM w, LPARAM l) {
    return CallWindowProcA(defProc_ ? defProc_ : DefWindowProcA, handle_, msg, w, l);
}

LRESULT TControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    HWND h = handle_;
    if (msg == WM_NCDESTROY) {
        LRESULT r = DefaultHandler(msg, w, l);
        if (handle_ == h) {
            if (subclassed_) SetWindowLongPtrA(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(defProc_));
            subclassed_ = false;
            RemovePropA(h, kControlProp);
            handle_ = nullptr;
        }
        return r;
    }
    return DefaultHandler(msg, w, l);
}

KXC_IMPLEMENT_CLASS(TGraphicControl)
void TGraphicControl::DescribeClass(TClassBuilder<TGraphicControl>&) {}

// ---- TWinControl ----

KXC_IMPLEMENT_CLASS(TWinControl)
void TWinControl::DescribeClass(TClassBuilder<TWinControl>& c) {
    c.Int("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).DefaultValue(-1);
    c.Bool("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).DefaultValue(0);
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    DestroyHandle();
    while (!controls_.empty()) {
        TControl* c = controls_.back();
        RemoveControl(c);
        c->Free();
    }
    if (brush_) DeleteObject(brush_);
}

void TWinControl::InsertControl(TControl* c) {
    controls_.push_back(c);
    c->parent_ = this;
}

void TWinControl::RemoveControl(TControl* c) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), c), controls_.end());
    if (c->parent_ == this) c->parent_ = nullptr;
    if (TForm* f = ParentForm())
        if (f->ActiveControl() == c) f->SetActiveControl(nullptr);
}

HWND TWinControl::Handle() {
    if (!handle_) CreateHandle();
    return handle_;
}

void TWinControl::CreateHandle() {
    if (handle_) return;
    TControl::CreateHandle();
    if (!handle_) return;
    // Children in tab order: controls with a TabOrder first by it, then the others as inserted.
    std::vector<TControl*> order = controls_;
    std::stable_sort(order.begin(), order.end(), [](TControl* a, TControl* b) {
        auto key = [](TControl* c) {
            auto* w = dynamic_cast<TWinControl*>(c);
            return w && w->TabOrder() >= 0 ? w->TabOrder() : INT32_MAX;
        };
        return key(a) < key(b);
    });
    for (TControl* c : order) c->CreateHandle();
    AlignControls();
}

void TWinControl::DestroyHandle() { TControl::DestroyHandle(); }

void TWinControl::CreateParams(TCreateParams& p) {
    TControl::CreateParams(p);
    p.Style |= WS_CLIPCHILDREN;
    p.ExStyle |= WS_EX_CONTROLPARENT;
    if (tabStop_) p.Style |= WS_TABSTOP;
}

void TWinControl::AfterCreateHandle() { TControl::AfterCreateHandle(); }

int TWinControl::ClientWidth() const {
    if (handle_) {
        RECT r;
        GetClientRect(handle_, &r);
        return r.right;
    }
    return width_;
}

int TWinControl::ClientHeight() const {
    if (handle_) {
        RECT r;
        GetClientRect(handle_, &r);
        return r.bottom;
    }
    return height_;
}

void TWinControl::SetTabStop(bool v) {
    tabStop_ = v;
    if (handle_) {
        LONG s = GetWindowLongA(handle_, GWL_STYLE);
        SetWindowLongA(handle_, GWL_STYLE, v ? (s | WS_TABSTOP) : (s & ~WS_TABSTOP));
    }
}

bool TWinControl::CanFocus() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return false;
    return true;
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFocus() {
    if (TForm* f = ParentForm())
        if (f != this && f->ActiveControl() != this) {
            f->SetActiveControl(this);
            return;
        }
    if (handle_ && CanFocus()) ::SetFocus(handle_);
}

void TWinControl::ScaleBy(int m, int d) {
    for (TControl* c : controls_) c->ChangeScale(m, d);
    // The client area scales; a frame keeps its size.
    int cw = ClientWidth(), ch = ClientHeight();
    SetBounds(left_, top_, width_ + scaleClientWidth_.Scale(cw, m, d) - cw,
              height_ + scaleClientHeight_.Scale(ch, m, d) - ch);
    if (!parentFont_) font_->SetHeight(scaleFont_.Scale(font_->Height(), m, d));
}

void TWinControl::ChangeScale(int m, int d) {
    for (TControl* c : controls_) c->ChangeScale(m, d);
    TControl::ChangeScale(m, d);
}

void TWinControl::AlignControls() {
    RECT r{0, 0, ClientWidth(), ClientHeight()};
    for (TAlign a : {alTop, alBottom, alLeft, alRight, alClient})
        for (TControl* c : controls_) {
            if (c->Align() != a || !c->Visible()) continue;
            int w = c->Width(), h = c->Height();
            switch (a) {
            case alTop:
                c->SetBounds(r.left, r.top, r.right - r.left, h);
                r.top += h;
                break;
            case alBottom:
                c->SetBounds(r.left, r.bottom - h, r.right - r.left, h);
                r.bottom -= h;
                break;
            case alLeft:
                c->SetBounds(r.left, r.top, w, r.bottom - r.top);
                r.left += w;
                break;
            case alRight:
                c->SetBounds(r.right - w, r.top, w, r.bottom - r.top);
                r.right -= w;
                break;
            default:
                c->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
                break;
            }
        }
}

void TWinControl::BoundsChanged() { AlignControls(); }

void TWinControl::UpdateShowing() {
    bool before = showing_;
    TControl::UpdateShowing();
    if (before != showing_ || showing_)
        for (TControl* c : std::vector<TControl*>(controls_)) c->UpdateShowing();
}

void TWinControl::FontChanged() {
    TControl::FontChanged();
    for (TControl* c : controls_) c->UpdateParentFont();
}

void TWinControl::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    for (TControl* c : controls_)
        if (c->Owner() == root) proc(c);
}

TControl* TWinControl::ControlOfWindow(HWND h) const {
    TControl* c = FindControlOfWindow(h);
    return c && c->Parent() == this ? c : nullptr;
}

HBRUSH TWinControl::BackgroundBrush() {
    if (!brush_ || brushColor_ != color_) {
        if (brush_) DeleteObject(brush_);
        brush_ = CreateSolidBrush(ColorToRGB(color_));
        brushColor_ = color_;
    }
    return brush_;
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    switch (msg) {
    case WM_COMMAND: {
        // Notifications of child controls go back to the control that sent them.
        if (TControl* c = FindControlOfWindow(reinterpret_cast<HWND>(l)))
            if (c->HandleCommand(HIWORD(w))) return 0;
        break;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(l);
        if (TControl* c = FindControlOfWindow(hdr->hwndFrom))
            if (c != this) return c->WndProc(WM_NOTIFY + 0x2000 /* reflected */, w, l);
        break;
    }
    case WM_DRAWITEM: {
        // Owner-drawn child controls draw themselves.
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(l);
        if (d->CtlType != ODT_MENU)
            if (TControl* c = FindControlOfWindow(d->hwndItem))
                if (c != this) return c->WndProc(WM_DRAWITEM + 0x2000 /* reflected */, w, l);
        break;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(w);
        TControl* c = FindControlOfWindow(reinterpret_cast<HWND>(l));
        if (!c) break;
        SetBkColor(dc, ColorToRGB(color_));
        SetTextColor(dc, c->Enabled() ? ColorToRGB(c->Font()->Color()) : GetSysColor(COLOR_GRAYTEXT));
        return reinterpret_cast<LRESULT>(BackgroundBrush());
    }
    case WM_ERASEBKGND: {
        if (subclassed_) break;
        RECT r;
        GetClientRect(handle_, &r);
        FillRect(reinterpret_cast<HDC>(w), &r, BackgroundBrush());
        return 1;
    }
    case WM_PAINT: {
        if (subclassed_) break;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(handle_, &ps);
        PaintWindow(dc);
        for (TControl* c : controls_)
            if (!c->HasOwnWindow() && c->Visible()) c->Paint(dc);
        EndPaint(handle_, &ps);
        return 0;
    }
    case WM_SETFOCUS:
        if (TForm* f = ParentForm())
            if (f != this && f->ActiveControl() != this) f->SetActiveControl(this);
        break;
    case WM_WINDOWPOSCHANGED: {
        auto* wp = reinterpret_cast<WINDOWPOS*>(l);
        if (!(wp->flags & SWP_NOSIZE) && (GetWindowLongA(handle_, GWL_STYLE) & WS_CHILD)) {
            if (wp->cx != width_ || wp->cy != height_) {
                width_ = wp->cx;
                height_ = wp->cy;
                BoundsChanged();
            }
        }
        break;
    }
    default:
        break;
    }
    return TControl::WndProc(msg, w, l);
}

// ---- registration ----

void RegisterStandardClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_TAB_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    for (const TClassInfo* c :
         {&TLabel::StaticClass(), &TButton::StaticClass(), &TRadioButton::StaticClass(), &TPanel::StaticClass(),
          &TBevel::StaticClass(), &TImage::StaticClass(), &TProgressBar::StaticClass(),
          &TPageControl::StaticClass(), &TTabSheet::StaticClass(), &TForm::StaticClass(), &TListBox::StaticClass(),
          &TCheckListBox::StaticClass(), &TComboBox::StaticClass(), &TMemo::StaticClass(), &TMainMenu::StaticClass(),
          &TPopupMenu::StaticClass(), &TMenuItem::StaticClass()})
        RegisterComponentClass(*c);
}

}  // namespace kxc
