// Controls on real Win32 windows (Windows build only).
//
// TControl is any visual control: bounds relative to its parent's client area, caption
// (the window text), font, hint (a tooltip), enabled and visible state, alignment and
// reading order. TWinControl is a windowed control: it can hold child controls, take the
// focus and be tabbed to. Whether a control is windowed is a fact of its class: labels and
// images are TGraphicControl even though a window backs them; a bevel has no window at all
// and is painted by its parent. Window handles are made lazily: when a control is shown, when
// its handle is needed, or when it joins a parent whose handle exists.
//
// Every window procedure catches what an event handler raises and gives it to
// Application->HandleException, so no exception unwinds through the system.
//
// Raises: rtl::EOSError when a window cannot be created; EPropertyError / EComponentError as
// the model does. Ownership: a windowed control frees the child controls it holds.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "components/classes.h"
#include "components/graphics.h"

namespace kxc {

class TWinControl;
class TForm;

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
extern const TEnumInfo AlignInfo;
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };
extern const TEnumInfo BiDiModeInfo;

// Modal results.
using TModalResult = int32_t;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
                       mrYes = 6, mrNo = 7;
extern const TIntIdentMap ModalResultIdents;

// What CreateHandle passes to CreateWindowEx.
struct TCreateParams {
    std::string WinClassName;     // registered on first use
    const char* BaseClass = nullptr;  // system class used as it is (then subclassed), or none
    DWORD Style = 0;
    DWORD ExStyle = 0;
    UINT ClassStyle = CS_DBLCLKS;
    HMENU Menu = nullptr;  // the menu bar of a top-level window
};

// One value scaled by a series of factors. Each result is computed from the value the series
// began with, so that scaling back by the inverse factors restores it exactly; a value that
// was changed between two scalings begins a new series.
class TScaledValue {
public:
    int Scale(int current, int m, int d);

private:
    bool active_ = false;
    int base_ = 0, last_ = 0;
    int m_ = 1, d_ = 1;
};

class TControl : public TComponent {
    KXC_CLASS(TControl, TComponent)
    friend class TWinControl;

public:
    explicit TControl(TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    virtual void SetParent(TWinControl* p);
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* p) override;
    bool HasParent() const override { return parent_ != nullptr; }

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
    virtual void SetBounds(int l, int t, int w, int h);
    virtual int ClientWidth() const;
    virtual int ClientHeight() const;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    bool Enabled() const { return enabled_; }
    virtual void SetEnabled(bool v);
    bool Visible() const { return visible_; }
    virtual void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    // Visible, and so is every parent up to a form that is on screen.
    bool Showing() const { return showing_; }
    const std::string& Hint() const { return hint_; }
    void SetHint(const std::string& v);

    TFont* Font() const { return font_; }
    void SetFont(TFont* f) { font_->Assign(f); }
    bool ParentFont() const { return parentFont_; }
    void SetParentFont(bool v);
    TColor Color() const { return color_; }
    void SetColor(TColor v);
    TAlign Align() const { return align_; }
    void SetAlign(TAlign v);
    TBiDiMode BiDiMode() const { return bidiMode_; }
    void SetBiDiMode(TBiDiMode v);
    bool ParentBiDiMode() const { return parentBiDiMode_; }
    void SetParentBiDiMode(bool v);
    // Right-to-left reading order in effect (any right-to-left mode but "no align" too).
    bool UseRightToLeftReading() const { return bidiMode_ != bdLeftToRight; }

    TNotifyEvent OnClick;
    virtual void Click();

    // Scales position, size and (own) font by m/d; scaling back by d/m restores them exactly.
    virtual void ChangeScale(int m, int d);

    // The window behind the control, 0 when it has none yet (or never has one).
    HWND WindowHandle() const { return handle_; }
    bool HandleAllocated() const { return handle_ != nullptr; }
    void Invalidate();
    void Repaint();
    void BringToFront();

    // ---- for the classes of this layer ----
    virtual bool HasOwnWindow() const { return true; }
    virtual void CreateHandle();
    // Forgets the windows of this control and its children, then destroys the window.
    virtual void DestroyHandle();
    void DetachHandles();
    virtual LRESULT WndProc(UINT msg, WPARAM w, LPARAM l);
    LRESULT DefaultHandler(UINT msg, WPARAM w, LPARAM l);
    virtual void Paint(HDC dc) {}  // windowless controls, in parent coordinates
    virtual bool HandleCommand(WORD code) { return false; }
    virtual void UpdateShowing();
    void UpdateParentFont();
    void UpdateParentBiDiMode();
    void Attach(HWND h);
    void AttachSubclass(HWND h);
    TForm* ParentForm() const;

protected:
    virtual void CreateParams(TCreateParams& p);
    virtual void AfterCreateHandle();
    virtual void FontChanged();
    virtual void TextChanged();
    virtual void ShowingChanged() {}
    virtual void BoundsChanged() {}
    void SetWindowPosFromBounds();
    void UpdateHint();
    void ApplyExStyle();
    HWND ParentWindow() const;

    HWND handle_ = nullptr;
    WNDPROC defProc_ = nullptr;
    bool subclassed_ = false;
    TWinControl* parent_ = nullptr;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    std::string caption_;
    std::string hint_;
    bool enabled_ = true;
    bool visible_ = true;
    bool showing_ = false;
    TFont* font_;
    bool parentFont_ = true;
    bool settingParentFont_ = false;
    TColor color_ = clBtnFace;
    TAlign align_ = alNone;
    TBiDiMode bidiMode_ = bdLeftToRight;
    bool parentBiDiMode_ = true;
    int id_ = 0;
    TScaledValue scaleLeft_, scaleTop_, scaleWidth_, scaleHeight_, scaleFont_;
};

class TGraphicControl : public TControl {
    KXC_CLASS(TGraphicControl, TControl)
public:
    using TControl::TControl;
};

class TWinControl : public TControl {
    KXC_CLASS(TWinControl, TControl)
public:
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    int ControlCount() const { return int(controls_.size()); }
    TControl* Controls(int i) const { return controls_.at(size_t(i)); }
    void InsertControl(TControl* c);
    void RemoveControl(TControl* c);

    // The window handle, made now when it does not exist yet.
    HWND Handle();
    void CreateHandle() override;
    void DestroyHandle() override;
    int ClientWidth() const override;
    int ClientHeight() const override;

    bool TabStop() const { return tabStop_; }
    void SetTabStop(bool v);
    int32_t TabOrder() const { return tabOrder_; }
    void SetTabOrder(int32_t v) { tabOrder_ = v; }
    bool CanFocus() const;
    bool Focused() const;
    void SetFocus();

    // Scales the client area, the controls and (own) font by m/d; scaling back by d/m
    // restores them exactly.
    void ScaleBy(int m, int d);
    void ChangeScale(int m, int d) override;
    void AlignControls();
    void UpdateShowing() override;

    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    HBRUSH BackgroundBrush();

protected:
    void CreateParams(TCreateParams& p) override;
    void AfterCreateHandle() override;
    void FontChanged() override;
    void BoundsChanged() override;
    virtual void PaintWindow(HDC dc) {}  // own classes: the control's own drawing
    TControl* ControlOfWindow(HWND h) const;

    std::vector<TControl*> controls_;
    bool tabStop_ = false;
    int32_t tabOrder_ = -1;
    HBRUSH brush_ = nullptr;
    TColor brushColor_ = clNone;
    TScaledValue scaleClientWidth_, scaleClientHeight_;
};

// Creates the window classes and registers the control classes for form descriptions.
void RegisterStandardClasses();

// The control behind a window of this layer, nullptr for other windows.
TControl* FindControlOfWindow(HWND h);

}  // namespace kxc
