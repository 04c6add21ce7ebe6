// Forms and the application object (Windows build only).
//
// A form is a top-level window registered under the form's own class name ("TfrmMain"), so
// tools find it by class. CreateForm<T>(owner) makes a form from its stored description: the
// RCDATA resource named by T's class name is read into the new object (children created by
// class name, properties set, events bound to T's published methods, Loaded on every
// component), then OnCreate runs. ShowModal runs a modal loop until a modal result is set, the
// form is closed or the application is asked to terminate.
//
// The application object `Application` keeps the title and icon, processes messages, ends
// modal loops on Terminate and shows exceptions: OnException when assigned, else a message
// box with the message. Its reading order is the one of every form that follows it.
//
// Raises: what the form reader raises (see filer.h), rtl::EInvalidOperation "Cannot make a
// visible window modal". Ownership: a form belongs to its owner (the application or none);
// Free() destroys it, Release() does so once the current message has been handled.
#pragma once

#include "components/controls.h"
#include "components/filer.h"
#include "components/menus.h"

namespace kxc {

enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
extern const TEnumInfo FormBorderStyleInfo;
enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
extern const TEnumInfo BorderIconInfo;
enum TPosition {
    poDesigned,
    poDefault,
    poDefaultPosOnly,
    poDefaultSizeOnly,
    poScreenCenter,
    poDesktopCenter,
    poMainFormCenter,
    poOwnerFormCenter
};
extern const TEnumInfo PositionInfo;
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = TEvent<TObject*, TCloseAction&>;

class TForm : public TWinControl {
    KXC_CLASS(TForm, TWinControl)
public:
    // An empty form; CreateForm<T> reads the stored description of T.
    explicit TForm(TComponent* owner);
    ~TForm() override;

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle v);
    uint32_t BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(uint32_t v);
    TPosition Position() const { return position_; }
    void SetPosition(TPosition v) { position_ = v; }
    int ClientWidth() const override;
    int ClientHeight() const override;
    void SetClientWidth(int v);
    void SetClientHeight(int v);
    void SetBounds(int l, int t, int w, int h) override;
    // Stored flag only: forms of this layer do not scroll (the translator's scaling refuses
    // a form that has it set).
    bool AutoScroll() const { return autoScroll_; }
    void SetAutoScroll(bool v) { autoScroll_ = v; }
    bool Scaled() const { return scaled_; }
    void SetScaled(bool v) { scaled_ = v; }
    int32_t PixelsPerInch() const { return pixelsPerInch_; }
    void SetPixelsPerInch(int32_t v) { pixelsPerInch_ = v; }

    // The menu bar; its items' clicks reach their OnClick.
    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* m);

    TWinControl* ActiveControl() const { return activeControl_; }
    // Focuses the control at once when the form is on screen, else when it is shown.
    void SetActiveControl(TWinControl* c);

    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult v) { modalResult_ = v; }
    bool Modal() const { return modal_; }
    TModalResult ShowModal();
    // Close: OnClose decides (caHide by default; a modal form gets mrCancel).
    void Close();
    // Frees the form once the current message has been handled.
    void Release();
    void SetVisible(bool v) override;
    // The window's system menu (made when needed).
    HMENU SystemMenu();
    HWND ToolTipHandle();

    TNotifyEvent OnCreate;
    TNotifyEvent OnDestroy;
    TNotifyEvent OnShow;
    TNotifyEvent OnHide;
    TCloseEvent OnClose;

    // OnCreate, with what it raises shown by the application (the form lives on).
    void DoCreate();
    void UpdateShowing() override;
    LRESULT WndProc(UINT msg, WPARAM w, LPARAM l) override;
    void Notification(TComponent* c, TOperation op) override;
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
    void DestroyHandle() override;

protected:
    void CreateParams(TCreateParams& p) override;
    void AfterCreateHandle() override;
    void ShowingChanged() override;
    void BeforeDestruction() override;

private:
    void FrameExtra(int& dx, int& dy) const;
    void PlaceOnScreen();
    void CloseModal();
    TFormBorderStyle borderStyle_ = bsSizeable;
    uint32_t borderIcons_ = (1u << biSystemMenu) | (1u << biMinimize) | (1u << biMaximize);
    TPosition position_ = poDesigned;
    int clientWidth_ = 0, clientHeight_ = 0;
    bool scaled_ = true;
    bool autoScroll_ = true;
    int32_t pixelsPerInch_ = 96;
    TWinControl* activeControl_ = nullptr;
    TMainMenu* menu_ = nullptr;
    TModalResult modalResult_ = mrNone;
    bool modal_ = false;
    bool placed_ = false;
    bool destroyFired_ = false;
    HWND toolTip_ = nullptr;
};

// Makes a form of class T owned by owner from T's stored description; frees it again when
// the description cannot be read.
template <class T>
T* CreateForm(TComponent* owner) {
    RegisterStandardClasses();
    T* f = Create<T>(owner);
    try {
        ReadComponentRes(f);
    } catch (...) {
        f->Free();
        throw;
    }
    f->DoCreate();
    return f;
}

using TExceptionEvent = TEvent<TObject*, rtl::Exception&>;

class TApplication : public TComponent {
    KXC_CLASS(TApplication, TComponent)
public:
    explicit TApplication(TComponent* owner);
    ~TApplication() override;

    void Initialize();
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& v) { title_ = v; }
    // The program's icon ("MAINICON" resource, else the system's application icon).
    TIcon* Icon();
    // The small image of the "MAINICON" resource (HICON) for window captions; null when the
    // program has none.
    void* SmallIconHandle();
    TBiDiMode BiDiMode() const { return bidiMode_; }
    // A change reaches every form that follows the application (ParentBiDiMode) at once,
    // and through them their controls.
    void SetBiDiMode(TBiDiMode v);

    template <class T>
    void CreateForm(T*& ref) {
        ref = kxc::CreateForm<T>(this);
    }

    // Handles every pending message, then returns.
    void ProcessMessages();
    // Waits for one message and handles it.
    void HandleMessage();
    // Asks the running modal loop (and every later one) to end once the current message has
    // been handled.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // Brings the program's active window to the foreground.
    void BringToFront();

    // Called inside a catch block: hands the current exception to OnException, or shows it.
    // Never throws.
    void HandleException(TObject* sender) noexcept;
    // The default display: a message box with the message ("." appended when its last
    // character sorts after ".") and an OK button.
    void ShowException(const rtl::Exception& e);
    TExceptionEvent OnException;
    // Dispatches a message (dialog keys for forms of this layer); false when it was WM_QUIT.
    bool ProcessMessage(MSG& msg);

private:
    std::string title_;
    TIcon* icon_ = nullptr;
    void* smallIcon_ = nullptr;
    bool smallIconLooked_ = false;
    TBiDiMode bidiMode_ = bdLeftToRight;
    bool terminated_ = false;
};

extern TApplication* Application;

}  // namespace kxc
