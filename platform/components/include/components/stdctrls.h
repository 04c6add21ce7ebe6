// The standard controls that the forms of `setup` are built from (Windows build only): label,
// button, radio button, panel, bevel, image, progress bar, page control and tab sheet.
// Those that wrap a system control use its window class ("Button", "Static",
// "msctls_progress32", "SysTabControl32"); the others register one named after themselves
// ("TImage", "TPanel", "TTabSheet").
#pragma once

#include "components/controls.h"

namespace kxc {

class TLabel : public TGraphicControl {
    KXC_CLASS(TLabel, TGraphicControl)
public:
    explicit TLabel(TComponent* owner);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool v);
    void Loaded() override;
    // Fits the bounds to the caption (AutoSize): the width as well unless WordWrap is set.
    void AdjustBounds();

protected:
    void CreateParams(TCreateParams& p) override;
    void FontChanged() override;
    void TextChanged() override;

private:
    bool autoSize_ = true;
    bool wordWrap_ = false;
};

class TButton : public TWinControl {
    KXC_CLASS(TButton, TWinControl)
public:
    explicit TButton(TComponent* owner);
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult v) { modalResult_ = v; }
    // Sets the parent form's modal result (when not mrNone), then OnClick.
    void Click() override;
    bool HandleCommand(WORD code) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

protected:
    void CreateParams(TCreateParams& p) override;

private:
    TModalResult modalResult_ = mrNone;
};

// Radio buttons form one group per parent: checking one clears its siblings.
class TRadioButton : public TWinControl {
    KXC_CLASS(TRadioButton, TWinControl)
public:
    explicit TRadioButton(TComponent* owner);
    bool Checked() const;
    void SetChecked(bool v);
    bool HandleCommand(WORD code) override;

protected:
    void CreateParams(TCreateParams& p) override;
    void AfterCreateHandle() override;

private:
    bool checked_ = false;
};

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
extern const TEnumInfo PanelBevelInfo;

class TPanel : public TWinControl {
    KXC_CLASS(TPanel, TWinControl)
public:
    explicit TPanel(TComponent* owner);
    TPanelBevel BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(TPanelBevel v);
    TPanelBevel BevelInner() const { return bevelInner_; }
    void SetBevelInner(TPanelBevel v);

protected:
    void CreateParams(TCreateParams& p) override;
    void PaintWindow(HDC dc) override;

private:
    TPanelBevel bevelOuter_ = bvRaised;
    TPanelBevel bevelInner_ = bvNone;
};

enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum TBevelStyle { bsLowered, bsRaised };
extern const TEnumInfo BevelShapeInfo;
extern const TEnumInfo BevelStyleInfo;

// A line or frame drawn by the parent: the bevel has no window.
class TBevel : public TGraphicControl {
    KXC_CLASS(TBevel, TGraphicControl)
public:
    explicit TBevel(TComponent* owner);
    TBevelShape Shape() const { return shape_; }
    void SetShape(TBevelShape v);
    TBevelStyle Style() const { return style_; }
    void SetStyle(TBevelStyle v);
    bool HasOwnWindow() const override { return false; }
    void Paint(HDC dc) override;

private:
    TBevelShape shape_ = bsBox;
    TBevelStyle style_ = bsLowered;
};

class TImage : public TGraphicControl {
    KXC_CLASS(TImage, TGraphicControl)
public:
    explicit TImage(TComponent* owner);
    ~TImage() override;
    TPicture* Picture() const { return picture_; }
    void SetPicture(TPicture* p) { picture_->Assign(p); }
    bool Center() const { return center_; }
    void SetCenter(bool v);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool v);
    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool v);
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

protected:
    void CreateParams(TCreateParams& p) override;

private:
    void PictureChanged();
    void Draw(HDC dc);
    TPicture* picture_;
    bool center_ = false;
    bool transparent_ = false;
    bool autoSize_ = false;
};

class TProgressBar : public TWinControl {
    KXC_CLASS(TProgressBar, TWinControl)
public:
    explicit TProgressBar(TComponent* owner);
    int32_t Min() const { return min_; }
    void SetMin(int32_t v);
    int32_t Max() const { return max_; }
    void SetMax(int32_t v);
    int32_t Position() const { return position_; }
    void SetPosition(int32_t v);  // kept within Min..Max
    int32_t Step() const { return step_; }
    void SetStep(int32_t v);
    bool Smooth() const { return smooth_; }
    void SetSmooth(bool v);
    void StepIt();  // Position + Step, wrapping to Min past Max as the system control does
    void StepBy(int32_t delta);

protected:
    void CreateParams(TCreateParams& p) override;
    void AfterCreateHandle() override;

private:
    void Sync();
    int32_t min_ = 0, max_ = 100, position_ = 0, step_ = 10;
    bool smooth_ = false;
};

class TPageControl;

class TTabSheet : public TWinControl {
    KXC_CLASS(TTabSheet, TWinControl)
public:
    explicit TTabSheet(TComponent* owner);
    ~TTabSheet() override;
    TPageControl* PageControl() const { return pageControl_; }
    void SetPageControl(TPageControl* pc);
    void SetParentComponent(TComponent* p) override;
    bool TabVisible() const { return tabVisible_; }
    void SetTabVisible(bool v);
    int PageIndex() const;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;

protected:
    void CreateParams(TCreateParams& p) override;
    void ShowingChanged() override;
    void TextChanged() override;

private:
    friend class TPageControl;
    TPageControl* pageControl_ = nullptr;
    bool tabVisible_ = true;
};

enum TTabStyle { tsTabs, tsButtons, tsFlatButtons };
extern const TEnumInfo TabStyleInfo;

class TPageControl : public TWinControl {
    KXC_CLASS(TPageControl, TWinControl)
public:
    explicit TPageControl(TComponent* owner);
    ~TPageControl() override;
    int PageCount() const { return int(pages_.size()); }
    TTabSheet* Pages(int i) const { return pages_.at(size_t(i)); }
    TTabSheet* ActivePage() const { return active_; }
    void SetActivePage(TTabSheet* p);
    int ActivePageIndex() const;
    void SetActivePageIndex(int i);
    TTabStyle Style() const { return style_; }
    void SetStyle(TTabStyle v);
    void Notification(TComponent* c, TOperation op) override;
    // The sheets' area in client coordinates.
    RECT DisplayRect();
    void UpdateTabs();
    void LayoutSheets();
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;

protected:
    void CreateParams(TCreateParams& p) override;
    void AfterCreateHandle() override;
    void BoundsChanged() override;

private:
    friend class TTabSheet;
    void InsertPage(TTabSheet* p);
    void RemovePage(TTabSheet* p);
    std::vector<TTabSheet*> pages_;
    TTabSheet* active_ = nullptr;
    TTabStyle style_ = tsTabs;
};

}  // namespace kxc
