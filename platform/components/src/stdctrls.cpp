#include "components/stdctrls.h"

#include <commctrl.h>

#include <algorithm>

#include "components/forms.h"

namespace kxc {

const TEnumInfo PanelBevelInfo{"TPanelBevel", {"bvNone", "bvLowered", "bvRaised", "bvSpace"}};
const TEnumInfo BevelShapeInfo{"TBevelShape",
                               {"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"}};
const TEnumInfo BevelStyleInfo{"TBevelStyle", {"bsLowered", "bsRaised"}};
const TEnumInfo TabStyleInfo{"TTabStyle", {"tsTabs", "tsButtons", "tsFlatButtons"}};

// ---- TLabel ----

KXC_IMPLEMENT_CLASS(TLabel)
void TLabel::DescribeClass(TClassBuilder<TLabel>& c) {
    c.Bool("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize).DefaultValue(1);
    c.Bool("WordWrap", &TLabel::WordWrap, &TLabel::SetWordWrap).DefaultValue(0);
}

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    width_ = 65;
    height_ = 17;
}

void TLabel::CreateParams(TCreateParams& p) {
    TGraphicControl::CreateParams(p);
    p.BaseClass = "STATIC";
    p.Style |= wordWrap_ ? SS_LEFT : SS_LEFTNOWORDWRAP;
}

void TLabel::SetAutoSize(bool v) {
    if (v == autoSize_) return;
    autoSize_ = v;
    AdjustBounds();
}

void TLabel::SetWordWrap(bool v) {
    if (v == wordWrap_) return;
    wordWrap_ = v;
    if (handle_) {
        LONG s = GetWindowLongA(handle_, GWL_STYLE) & ~SS_TYPEMASK;
        SetWindowLongA(handle_, GWL_STYLE, s | (v ? SS_LEFT : SS_LEFTNOWORDWRAP));
        InvalidateRect(handle_, nullptr, TRUE);
    }
    AdjustBounds();
}

void TLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TLabel::AdjustBounds() {
    if (!autoSize_ || Loading()) return;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, static_cast<HFONT>(font_->Handle()));
    RECT r{0, 0, wordWrap_ ? width_ : 0, 0};
    std::string text = caption_.empty() ? std::string(" ") : caption_;
    DrawTextA(dc, text.c_str(), int(text.size()), &r, DT_CALCRECT | (wordWrap_ ? DT_WORDBREAK : 0));
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    SetBounds(left_, top_, wordWrap_ ? width_ : r.right, r.bottom);
}

void TLabel::FontChanged() {
    TGraphicControl::FontChanged();
    AdjustBounds();
}

void TLabel::TextChanged() {
    Invalidate();
    AdjustBounds();
}

// ---- TButton ----

KXC_IMPLEMENT_CLASS(TButton)
void TButton::DescribeClass(TClassBuilder<TButton>& c) {
    c.Int("ModalResult", &TButton::ModalResult, &TButton::SetModalResult).DefaultValue(0);
}

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    width_ = 75;
    height_ = 25;
    tabStop_ = true;
}

void TButton::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.BaseClass = "BUTTON";
    p.Style = (p.Style & ~WS_CLIPCHILDREN) | BS_PUSHBUTTON;
    p.ExStyle &= ~WS_EX_CONTROLPARENT;
}

void TButton::Click() {
    if (modalResult_ != mrNone)
        if (TForm* f = ParentForm()) f->SetModalResult(modalResult_);
    TWinControl::Click();
}

bool TButton::HandleCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    Click();
    return true;
}

LRESULT TButton::WndProc(UINT msg, WPARAM w, LPARAM l) {
    // The focused push button is the one that Enter presses.
    if (msg == WM_SETFOCUS)
        SendMessageA(handle_, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    else if (msg == WM_KILLFOCUS && handle_)
        SendMessageA(handle_, BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    return TWinControl::WndProc(msg, w, l);
}

// ---- TRadioButton ----

KXC_IMPLEMENT_CLASS(TRadioButton)
void TRadioButton::DescribeClass(TClassBuilder<TRadioButton>& c) {
    c.Bool("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked).DefaultValue(0);
}

TRadioButton::TRadioButton(TComponent* owner) : TWinControl(owner) {
    width_ = 113;
    height_ = 17;
    tabStop_ = true;
}

void TRadioButton::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.BaseClass = "BUTTON";
    p.Style = (p.Style & ~WS_CLIPCHILDREN) | BS_RADIOBUTTON;
    p.ExStyle &= ~WS_EX_CONTROLPARENT;
}

void TRadioButton::AfterCreateHandle() {
    TWinControl::AfterCreateHandle();
    SendMessageA(handle_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TRadioButton::Checked() const {
    if (handle_) return SendMessageA(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    return checked_;
}

void TRadioButton::SetChecked(bool v) {
    checked_ = v;
    if (handle_) SendMessageA(handle_, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
    if (v && parent_)
        for (int i = 0; i < parent_->ControlCount(); ++i)
            if (auto* r = dynamic_cast<TRadioButton*>(parent_->Controls(i)))
                if (r != this && r->Checked()) r->SetChecked(false);
}

bool TRadioButton::HandleCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    SetChecked(true);
    Click();
    return true;
}

// ---- TPanel ----

KXC_IMPLEMENT_CLASS(TPanel)
void TPanel::DescribeClass(TClassBuilder<TPanel>& c) {
    c.Enum<TPanelBevel>("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner, PanelBevelInfo).DefaultValue(bvNone);
    c.Enum<TPanelBevel>("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter, PanelBevelInfo)
        .DefaultValue(bvRaised);
    c.Int("Color", &TControl::Color, &TControl::SetColor, &ColorIdents).DefaultValue(clBtnFace);
}

TPanel::TPanel(TComponent* owner) : TWinControl(owner) {
    width_ = 185;
    height_ = 41;
}

void TPanel::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.ClassStyle |= CS_HREDRAW | CS_VREDRAW;
}

void TPanel::SetBevelOuter(TPanelBevel v) {
    bevelOuter_ = v;
    Invalidate();
}

void TPanel::SetBevelInner(TPanelBevel v) {
    bevelInner_ = v;
    Invalidate();
}

void TPanel::PaintWindow(HDC dc) {
    RECT r;
    GetClientRect(handle_, &r);
    auto edge = [&](TPanelBevel b) {
        if (b == bvLowered)
            DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
        else if (b == bvRaised)
            DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
        else if (b == bvSpace)
            InflateRect(&r, -1, -1);
    };
    edge(bevelOuter_);
    edge(bevelInner_);
    if (!caption_.empty()) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorToRGB(font_->Color()));
        HGDIOBJ old = SelectObject(dc, static_cast<HFONT>(font_->Handle()));
        DrawTextA(dc, caption_.c_str(), int(caption_.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        SelectObject(dc, old);
    }
}

// ---- TBevel ----

KXC_IMPLEMENT_CLASS(TBevel)
void TBevel::DescribeClass(TClassBuilder<TBevel>& c) {
    c.Enum<TBevelShape>("Shape", &TBevel::Shape, &TBevel::SetShape, BevelShapeInfo).DefaultValue(bsBox);
    c.Enum<TBevelStyle>("Style", &TBevel::Style, &TBevel::SetStyle, BevelStyleInfo).DefaultValue(bsLowered);
}

TBevel::TBevel(TComponent* owner) : TGraphicControl(owner) {
    width_ = 50;
    height_ = 50;
}

void TBevel::SetShape(TBevelShape v) {
    shape_ = v;
    Invalidate();
}

void TBevel::SetStyle(TBevelStyle v) {
    style_ = v;
    Invalidate();
}

void TBevel::Paint(HDC dc) {
    COLORREF first = GetSysColor(style_ == bsLowered ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT);
    COLORREF second = GetSysColor(style_ == bsLowered ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW);
    int l = left_, t = top_, r = left_ + width_, b = top_ + height_;
    auto line = [&](int x1, int y1, int x2, int y2, COLORREF c) {
        HPEN pen = CreatePen(PS_SOLID, 1, c);
        HGDIOBJ old = SelectObject(dc, pen);
        MoveToEx(dc, x1, y1, nullptr);
        LineTo(dc, x2, y2);
        SelectObject(dc, old);
        DeleteObject(pen);
    };
    switch (shape_) {
    case bsBox:
        line(l, t, r - 1, t, first);
        line(l, t, l, b - 1, first);
        line(l, b - 1, r, b - 1, second);
        line(r - 1, t, r - 1, b, second);
        break;
    case bsFrame:
        line(l, t, r - 1, t, first);
        line(l, t, l, b - 1, first);
        line(l + 1, t + 1, r - 1, t + 1, second);
        line(l + 1, t + 1, l + 1, b - 1, second);
        line(l, b - 1, r, b - 1, second);
        line(r - 1, t, r - 1, b, second);
        break;
    case bsTopLine:
        line(l, t, r, t, first);
        line(l, t + 1, r, t + 1, second);
        break;
    case bsBottomLine:
        line(l, b - 2, r, b - 2, first);
        line(l, b - 1, r, b - 1, second);
        break;
    case bsLeftLine:
        line(l, t, l, b, first);
        line(l + 1, t, l + 1, b, second);
        break;
    case bsRightLine:
        line(r - 2, t, r - 2, b, first);
        line(r - 1, t, r - 1, b, second);
        break;
    case bsSpacer:
        break;
    }
}

// ---- TImage ----

KXC_IMPLEMENT_CLASS(TImage)
void TImage::DescribeClass(TClassBuilder<TImage>& c) {
    c.Bool("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize).DefaultValue(0);
    c.Bool("Center", &TImage::Center, &TImage::SetCenter).DefaultValue(0);
    c.Object<TPicture>("Picture", &TImage::Picture, &TImage::SetPicture);
    c.Bool("Transparent", &TImage::Transparent, &TImage::SetTransparent).DefaultValue(0);
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(new TPicture) {
    width_ = 105;
    height_ = 105;
    picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

TImage::~TImage() {
    DestroyHandle();
    delete picture_;
}

void TImage::CreateParams(TCreateParams& p) {
    TGraphicControl::CreateParams(p);
    p.ClassStyle |= CS_HREDRAW | CS_VREDRAW;
}

void TImage::PictureChanged() {
    if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
        SetBounds(left_, top_, picture_->Width(), picture_->Height());
    Invalidate();
}

void TImage::SetCenter(bool v) {
    center_ = v;
    Invalidate();
}

void TImage::SetTransparent(bool v) {
    transparent_ = v;
    Invalidate();
}

void TImage::SetAutoSize(bool v) {
    autoSize_ = v;
    PictureChanged();
}

void TImage::Draw(HDC dc) {
    TGraphic* g = picture_->Graphic();
    RECT cr;
    GetClientRect(handle_, &cr);
    TColor bg = parent_ ? parent_->Color() : clBtnFace;
    HBRUSH brush = CreateSolidBrush(ColorToRGB(bg));
    FillRect(dc, &cr, brush);
    DeleteObject(brush);
    if (!g || g->Empty()) return;
    int w = g->Width(), h = g->Height();
    int x = center_ ? (cr.right - w) / 2 : 0;
    int y = center_ ? (cr.bottom - h) / 2 : 0;
    if (auto* b = dynamic_cast<TBitmap*>(g)) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, static_cast<HBITMAP>(b->Handle()));
        if (transparent_)
            TransparentBlt(dc, x, y, w, h, mem, 0, 0, w, h, b->TransparentColorRGB());
        else
            BitBlt(dc, x, y, w, h, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
    } else if (auto* i = dynamic_cast<TIcon*>(g)) {
        DrawIconEx(dc, x, y, static_cast<HICON>(i->Handle()), w, h, 0, nullptr, DI_NORMAL);
    }
}

LRESULT TImage::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(handle_, &ps);
        Draw(dc);
        EndPaint(handle_, &ps);
        return 0;
    }
    return TGraphicControl::WndProc(msg, w, l);
}

// ---- TProgressBar ----

KXC_IMPLEMENT_CLASS(TProgressBar)
void TProgressBar::DescribeClass(TClassBuilder<TProgressBar>& c) {
    c.Int("Min", &TProgressBar::Min, &TProgressBar::SetMin).DefaultValue(0);
    c.Int("Max", &TProgressBar::Max, &TProgressBar::SetMax).DefaultValue(100);
    c.Int("Position", &TProgressBar::Position, &TProgressBar::SetPosition).DefaultValue(0);
    c.Bool("Smooth", &TProgressBar::Smooth, &TProgressBar::SetSmooth).DefaultValue(0);
    c.Int("Step", &TProgressBar::Step, &TProgressBar::SetStep).DefaultValue(10);
}

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) {
    width_ = 150;
    height_ = 16;
}

void TProgressBar::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.BaseClass = PROGRESS_CLASSA;
    p.ExStyle &= ~WS_EX_CONTROLPARENT;
    if (smooth_) p.Style |= PBS_SMOOTH;
}

void TProgressBar::AfterCreateHandle() {
    TWinControl::AfterCreateHandle();
    Sync();
}

void TProgressBar::Sync() {
    if (!handle_) return;
    SendMessageA(handle_, PBM_SETRANGE32, WPARAM(min_), LPARAM(max_));
    SendMessageA(handle_, PBM_SETSTEP, WPARAM(step_), 0);
    SendMessageA(handle_, PBM_SETPOS, WPARAM(position_), 0);
}

void TProgressBar::SetMin(int32_t v) {
    min_ = v;
    if (!Loading()) position_ = std::max(position_, min_);
    Sync();
}

void TProgressBar::SetMax(int32_t v) {
    max_ = v;
    if (!Loading()) position_ = std::min(position_, max_);
    Sync();
}

void TProgressBar::SetPosition(int32_t v) {
    position_ = std::min(std::max(v, min_), max_);
    Sync();
}

void TProgressBar::SetStep(int32_t v) {
    step_ = v;
    Sync();
}

void TProgressBar::SetSmooth(bool v) {
    if (v == smooth_) return;
    smooth_ = v;
    if (handle_) {
        LONG s = GetWindowLongA(handle_, GWL_STYLE);
        SetWindowLongA(handle_, GWL_STYLE, v ? (s | PBS_SMOOTH) : (s & ~PBS_SMOOTH));
        InvalidateRect(handle_, nullptr, TRUE);
    }
}

void TProgressBar::StepBy(int32_t delta) {
    int64_t p = int64_t(position_) + delta;
    if (p > max_) p = min_ + (p - max_);
    if (p > max_ || p < min_) p = min_;
    position_ = int32_t(p);
    Sync();
}

void TProgressBar::StepIt() { StepBy(step_); }

// ---- TTabSheet ----

KXC_IMPLEMENT_CLASS(TTabSheet)
void TTabSheet::DescribeClass(TClassBuilder<TTabSheet>& c) {
    c.Bool("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible).DefaultValue(1);
    // The page control decides which sheet is visible.
    c.Bool("Visible", &TControl::Visible, &TControl::SetVisible).Stored([](const TObject&) { return false; });
    c.Event("OnHide", &TTabSheet::OnHide);
    c.Event("OnShow", &TTabSheet::OnShow);
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) { visible_ = false; }

TTabSheet::~TTabSheet() {
    if (pageControl_) pageControl_->RemovePage(this);
}

void TTabSheet::CreateParams(TCreateParams& p) { TWinControl::CreateParams(p); }

void TTabSheet::SetParentComponent(TComponent* p) {
    if (auto* pc = dynamic_cast<TPageControl*>(p)) SetPageControl(pc);
}

void TTabSheet::SetPageControl(TPageControl* pc) {
    if (pc == pageControl_) return;
    if (pageControl_) pageControl_->RemovePage(this);
    pageControl_ = pc;
    SetParent(pc);
    if (pc) pc->InsertPage(this);
}

void TTabSheet::SetTabVisible(bool v) {
    if (v == tabVisible_) return;
    tabVisible_ = v;
    if (pageControl_) pageControl_->UpdateTabs();
}

int TTabSheet::PageIndex() const {
    if (!pageControl_) return -1;
    auto& v = pageControl_->pages_;
    return int(std::find(v.begin(), v.end(), this) - v.begin());
}

void TTabSheet::ShowingChanged() {
    if (showing_)
        OnShow(this);
    else
        OnHide(this);
}

void TTabSheet::TextChanged() {
    if (pageControl_) pageControl_->UpdateTabs();
}

// ---- TPageControl ----

KXC_IMPLEMENT_CLASS(TPageControl)
void TPageControl::DescribeClass(TClassBuilder<TPageControl>& c) {
    c.Object<TTabSheet>("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage);
    c.Enum<TTabStyle>("Style", &TPageControl::Style, &TPageControl::SetStyle, TabStyleInfo).DefaultValue(tsTabs);
}

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
    width_ = 289;
    height_ = 193;
    tabStop_ = true;
}

TPageControl::~TPageControl() {
    // The sheets go with the controls of this window; they must not call back into a page
    // control that is half destroyed.
    for (TTabSheet* s : pages_) s->pageControl_ = nullptr;
    pages_.clear();
    active_ = nullptr;
}

void TPageControl::CreateParams(TCreateParams& p) {
    TWinControl::CreateParams(p);
    p.BaseClass = WC_TABCONTROLA;
    if (style_ != tsTabs) p.Style |= TCS_BUTTONS;
    if (style_ == tsFlatButtons) p.Style |= TCS_FLATBUTTONS;
}

void TPageControl::AfterCreateHandle() {
    TWinControl::AfterCreateHandle();
    UpdateTabs();
}

void TPageControl::InsertPage(TTabSheet* p) {
    pages_.push_back(p);
    UpdateTabs();
}

void TPageControl::RemovePage(TTabSheet* p) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), p), pages_.end());
    if (active_ == p) active_ = nullptr;
    UpdateTabs();
}

void TPageControl::Notification(TComponent* c, TOperation op) {
    TWinControl::Notification(c, op);
    if (op == opRemove && c == active_) active_ = nullptr;
}

void TPageControl::SetStyle(TTabStyle v) {
    if (v == style_) return;
    style_ = v;
    if (handle_) {
        LONG s = GetWindowLongA(handle_, GWL_STYLE) & ~(TCS_BUTTONS | TCS_FLATBUTTONS);
        if (v != tsTabs) s |= TCS_BUTTONS;
        if (v == tsFlatButtons) s |= TCS_FLATBUTTONS;
        SetWindowLongA(handle_, GWL_STYLE, s);
        LayoutSheets();
    }
}

int TPageControl::ActivePageIndex() const {
    auto it = std::find(pages_.begin(), pages_.end(), active_);
    return it == pages_.end() ? -1 : int(it - pages_.begin());
}

void TPageControl::SetActivePageIndex(int i) {
    SetActivePage(i >= 0 && i < PageCount() ? pages_[size_t(i)] : nullptr);
}

void TPageControl::SetActivePage(TTabSheet* p) {
    if (p && p->PageControl() != this) return;
    if (p == active_) return;
    TTabSheet* old = active_;
    active_ = p;
    if (p) {
        LayoutSheets();
        p->BringToFront();
        p->SetVisible(true);
    }
    if (old) old->SetVisible(false);
    if (handle_) {
        int tab = -1, n = 0;
        for (TTabSheet* s : pages_) {
            if (!s->TabVisible()) continue;
            if (s == p) tab = n;
            ++n;
        }
        SendMessageA(handle_, TCM_SETCURSEL, WPARAM(tab), 0);
    }
}

void TPageControl::UpdateTabs() {
    if (!handle_) return;
    SendMessageA(handle_, TCM_DELETEALLITEMS, 0, 0);
    int n = 0;
    for (TTabSheet* s : pages_) {
        if (!s->TabVisible()) continue;
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(s->Caption().c_str());
        SendMessageA(handle_, TCM_INSERTITEMA, WPARAM(n), reinterpret_cast<LPARAM>(&item));
        if (s == active_) SendMessageA(handle_, TCM_SETCURSEL, WPARAM(n), 0);
        ++n;
    }
    LayoutSheets();
}

RECT TPageControl::DisplayRect() {
    RECT r{0, 0, ClientWidth(), ClientHeight()};
    bool anyTab = std::any_of(pages_.begin(), pages_.end(), [](TTabSheet* s) { return s->TabVisible(); });
    if (handle_ && anyTab) SendMessageA(handle_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
    return r;
}

void TPageControl::LayoutSheets() {
    RECT r = DisplayRect();
    for (TTabSheet* s : pages_) s->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void TPageControl::BoundsChanged() {
    TWinControl::BoundsChanged();
    LayoutSheets();
}

void TPageControl::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    for (TTabSheet* s : pages_)
        if (s->Owner() == root) proc(s);
}

LRESULT TPageControl::WndProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_NOTIFY + 0x2000) {
        auto* hdr = reinterpret_cast<NMHDR*>(l);
        if (hdr->code == TCN_SELCHANGE) {
            int sel = int(SendMessageA(handle_, TCM_GETCURSEL, 0, 0)), n = 0;
            for (TTabSheet* s : pages_) {
                if (!s->TabVisible()) continue;
                if (n++ == sel) {
                    SetActivePage(s);
                    break;
                }
            }
        }
        return 0;
    }
    return TWinControl::WndProc(msg, w, l);
}

}  // namespace kxc
