// Stand-in for the product's set-up setup.prg (tests copy it under that name).
// Settings ([StandIn] of setup.prg.ini, or key=value arguments):
//   MainMs=1000      how long the window of class "InstallShield_Win" stays; -1: until closed
//   DeleteMs=0       then a window of class "isdelete" for that long; 0: none
//   Register=NAME    adds the uninstall entry NAME at the end of the main window's time...
//   UninstallString=TEXT  ...with this UninstallString
//   Unregister=NAME  removes the uninstall entry NAME at the same moment
//   Cancel=1         the user cancelled: windows as above, the registry is left alone
//   ExitCode=0
//   Mode=install  the above (default); the set-up's own window never appears with:
//   Mode=exit     exits at once
//   Mode=box      shows an error window of its own (class "KxSetupError") for BoxMs=500, exits
//   Mode=crash    dereferences a null pointer (no crash dialog) after CrashMs=200
#include <windows.h>

#include "standin.h"

namespace {

constexpr UINT_PTR kMainTimer = 1, kDeleteTimer = 2;
standin::Settings* g_settings;

void FinishInstall() {
    if (g_settings->GetInt("Cancel", 0)) return;
    std::string add = g_settings->Get("Register");
    if (!add.empty()) standin::RegisterEntry(add, g_settings->Get("UninstallString"));
    std::string remove = g_settings->Get("Unregister");
    if (!remove.empty()) standin::RemoveEntry(remove);
}

HWND MakeWindow(const char* cls, const char* caption, int y) {
    return CreateWindowExA(0, cls, caption, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 200, y, 320, 200,
                           nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

void ShowDeleteWindow() {
    int ms = g_settings->GetInt("DeleteMs", 0);
    if (ms <= 0) {
        PostQuitMessage(0);
        return;
    }
    HWND w = MakeWindow("isdelete", "", 260);
    SetTimer(w, kDeleteTimer, static_cast<UINT>(ms), nullptr);
}

LRESULT CALLBACK MainProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_TIMER:
        KillTimer(w, wp);
        DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        FinishInstall();
        ShowDeleteWindow();
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

LRESULT CALLBACK DeleteProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_TIMER:
        KillTimer(w, wp);
        DestroyWindow(w);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

void Register(const char* name, WNDPROC proc) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string self = standin::ModulePath(nullptr);
    standin::LogStart(self);
    standin::Settings settings(self, GetCommandLineA(), "StandIn");
    g_settings = &settings;

    std::string mode = settings.Get("Mode", "install");
    if (mode == "exit") return settings.GetInt("ExitCode", 0);
    if (mode == "crash") {
        Sleep(static_cast<DWORD>(settings.GetInt("CrashMs", 200)));
        SetErrorMode(SEM_NOGPFAULTERRORBOX);
        int* volatile nowhere = nullptr;
        *nowhere = 1;
        return 3;
    }
    if (mode == "box") {
        Register("KxSetupError", DeleteProc);  // destroyed by its timer, then the loop ends
        HWND box = MakeWindow("KxSetupError", "Setup error", 200);
        if (box) {
            SetTimer(box, kDeleteTimer, static_cast<UINT>(settings.GetInt("BoxMs", 500)), nullptr);
            MSG msg;
            while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
        }
        return settings.GetInt("ExitCode", 0);
    }

    Register("InstallShield_Win", MainProc);
    Register("isdelete", DeleteProc);
    HWND main = MakeWindow("InstallShield_Win", "Korvix Setup", 200);
    if (!main) {
        // No display: nothing to show, the installation itself still happens.
        FinishInstall();
        return settings.GetInt("ExitCode", 0);
    }
    int ms = settings.GetInt("MainMs", 1000);
    if (ms >= 0) SetTimer(main, kMainTimer, static_cast<UINT>(ms), nullptr);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return settings.GetInt("ExitCode", 0);
}
