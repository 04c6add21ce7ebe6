// The localisation runtime on the Win32 application object: the exception handler, the
// reading direction, the error and information boxes, and the translation of system menus.
#include <windows.h>

#include <cstring>

#include "components/forms.h"
#include "qx/QxDictionary.h"
#include "qx/QxLocaleVars.h"
#include "qx/QxTranslatorBase.h"
#include "rtl/resstrings.h"

namespace qx {

namespace {

class TQxWin32ApplicationServices : public TQxApplicationServices {
public:
    bool HasExceptionHandler() override {
        return !kxc::Application || static_cast<bool>(kxc::Application->OnException);
    }
    void InstallExceptionHandler() override {
        if (!kxc::Application) return;
        kxc::Application->OnException = [](kxc::TObject* sender, rtl::Exception& e) {
            ShowTranslatedException(sender, e);
        };
    }
    void SetRightToLeft(bool rightToLeft) override {
        if (!kxc::Application) return;
        const kxc::TBiDiMode mode = rightToLeft ? kxc::bdRightToLeft : kxc::bdLeftToRight;
        if (kxc::Application->BiDiMode() != mode) kxc::Application->SetBiDiMode(mode);
    }
    void ShowErrorBox(const std::string& text) override {
        MessageBoxA(GetActiveWindow(), text.c_str(), ErrorBoxCaption().c_str(),
                    MB_OK | MB_ICONERROR);
    }
    void ShowInformationBox(const std::string& text) override {
        MessageBoxA(GetActiveWindow(), text.c_str(), "Information", MB_OK | MB_ICONINFORMATION);
    }
    bool ShowConfirmationBox(const std::string& text) override {
        return MessageBoxA(GetActiveWindow(), text.c_str(), "Confirm",
                           MB_YESNO | MB_ICONQUESTION) == IDYES;
    }
    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        MessageBoxA(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK);
    }
};

struct TSystemCommandCaption {
    UINT Command;
    const char* Caption;
};

const TSystemCommandCaption kSystemCommandCaptions[] = {
    {SC_SIZE, "&Size"},
    {SC_MOVE, "&Move"},
    {SC_MINIMIZE, "Mi&nimize"},
    {SC_MAXIMIZE, "Ma&ximize"},
    {SC_NEXTWINDOW, "&Next"},
    {SC_PREVWINDOW, "&Previous"},
    {SC_CLOSE, "&Close"},
    {SC_VSCROLL, "&Vertical Scroll"},
    {SC_HSCROLL, "&Horizontal Scroll"},
    {SC_MOUSEMENU, "&Mouse"},
    {SC_KEYMENU, "&Key"},
    {SC_ARRANGE, "&Arrange"},
    {SC_RESTORE, "&Restore"},
    {SC_TASKLIST, "&Task List"},
    {SC_SCREENSAVE, "&Screen Saver"},
    {SC_HOTKEY, "&Hot Key"},
    {SC_DEFAULT, "&Default"},
    {SC_MONITORPOWER, "&Monitor Power"},
};

const char* EnglishSystemCaption(UINT command) {
    for (const TSystemCommandCaption& entry : kSystemCommandCaptions)
        if (entry.Command == command) return entry.Caption;
    return nullptr;
}

constexpr int kMenuTextSize = 256;  // 255 characters and the terminating zero

}  // namespace

TQxApplicationServices& PlatformApplicationServices() {
    static TQxWin32ApplicationServices services;
    return services;
}

// A caption that, with the kept key text, does not fit the item's 255 characters is cut.
void TQxCustomTranslator::TranslateSystemMenu(TQxWindowHandle window) {
    if (!dictionary_ || !window) return;
    HWND hwnd = static_cast<HWND>(window);
    HMENU menu = GetSystemMenu(hwnd, FALSE);
    if (!menu) return;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char buffer[kMenuTextSize] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_TYPE;
        info.dwTypeData = buffer;
        info.cch = kMenuTextSize;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        if (info.fType & MFT_SEPARATOR) continue;
        const char* english = EnglishSystemCaption(info.wID);
        if (!english) continue;
        std::string caption = TranslateWith(dictionary_, english);
        char current[kMenuTextSize] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), current, kMenuTextSize, MF_BYPOSITION);
        if (const char* tab = std::strchr(current, '\t')) caption += tab;
        if (caption.size() > kMenuTextSize - 1) caption.resize(kMenuTextSize - 1);
        MENUITEMINFOA update = {};
        update.cbSize = sizeof update;
        update.fMask = MIIM_ID | MIIM_TYPE;
        update.fType = MFT_STRING;
        update.wID = info.wID;
        update.dwTypeData = &caption[0];
        update.cch = static_cast<UINT>(caption.size());
        SetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &update);
    }
}

}  // namespace qx
