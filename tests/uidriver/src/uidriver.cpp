#include "uidriver/uidriver.h"

#include <cstring>
#include <sstream>

namespace uidriver {

namespace {

// Longest a single cross-process query may take before we treat the target as hung.
constexpr UINT kSendTimeoutMs = 1000;
// Poll interval of every wait.
constexpr DWORD kPollMs = 50;

bool SameClass(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// Waits up to ms for messages to the calling thread and dispatches them, so that a test
// thread that owns windows (or receives broadcasts) never blocks their senders.
void PumpOnce(DWORD ms) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

struct FindCtx {
    const WindowQuery* q;
    std::vector<HWND>* out;
};

BOOL CALLBACK FindProc(HWND w, LPARAM lp) {
    auto* ctx = reinterpret_cast<FindCtx*>(lp);
    const WindowQuery& q = *ctx->q;
    if (q.visibleOnly && !IsWindowVisible(w)) return TRUE;
    if (q.pid != 0) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid != q.pid) return TRUE;
    }
    if (!q.className.empty() && !SameClass(ClassOf(w), q.className)) return TRUE;
    if (!q.caption.empty() && TextOf(w) != q.caption) return TRUE;
    ctx->out->push_back(w);
    return TRUE;
}

BOOL CALLBACK ChildProc(HWND w, LPARAM lp) {
    reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
    return TRUE;
}

bool EnabledChain(HWND w) {
    for (HWND p = w; p; p = GetParent(p)) {
        if (!IsWindowEnabled(p)) return false;
        if (!(GetWindowLongA(p, GWL_STYLE) & WS_CHILD)) break;
    }
    return true;
}

HWND TopOf(HWND w) {
    HWND root = GetAncestor(w, GA_ROOT);
    return root ? root : w;
}

}  // namespace

std::string ClassOf(HWND w) {
    char buf[256] = {0};
    int n = GetClassNameA(w, buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string TextOf(HWND w) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &len)) {
        char buf[512] = {0};
        int n = GetWindowTextA(w, buf, sizeof buf);
        return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
    }
    std::string s(static_cast<size_t>(len) + 1, '\0');
    DWORD_PTR got = 0;
    if (!SendMessageTimeoutA(w, WM_GETTEXT, s.size(), reinterpret_cast<LPARAM>(&s[0]),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
        return std::string();
    s.resize(strnlen(s.c_str(), s.size()));
    return s;
}

std::string StripMnemonic(const std::string& text) {
    std::string r;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&') {
                r += '&';
                ++i;
            }
            continue;
        }
        r += text[i];
    }
    return r;
}

std::vector<HWND> FindWindows(const WindowQuery& q) {
    std::vector<HWND> out;
    FindCtx ctx{&q, &out};
    EnumWindows(FindProc, reinterpret_cast<LPARAM>(&ctx));
    return out;
}

HWND WaitForWindow(const WindowQuery& q, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        auto found = FindWindows(q);
        if (!found.empty()) return found.front();
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        PumpOnce(kPollMs);
    }
}

bool WaitForNoWindow(const WindowQuery& q, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (FindWindows(q).empty()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        PumpOnce(kPollMs);
    }
}

bool WaitForWindowGone(HWND w, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        if (!IsWindow(w) || !IsWindowVisible(w)) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        PumpOnce(kPollMs);
    }
}

HWND FocusedControl(HWND top) {
    DWORD tid = GetWindowThreadProcessId(top, nullptr);
    GUITHREADINFO gi;
    std::memset(&gi, 0, sizeof gi);
    gi.cbSize = sizeof gi;
    if (!tid || !GetGUIThreadInfo(tid, &gi)) return nullptr;
    return gi.hwndFocus;
}

std::vector<Control> ListControls(HWND top) {
    std::vector<HWND> kids;
    EnumChildWindows(top, ChildProc, reinterpret_cast<LPARAM>(&kids));
    HWND focus = FocusedControl(top);
    std::vector<Control> out;
    for (HWND k : kids) {
        Control c;
        c.hwnd = k;
        c.parent = GetParent(k);
        c.className = ClassOf(k);
        c.text = TextOf(k);
        c.id = GetDlgCtrlID(k);
        RECT r;
        if (GetWindowRect(k, &r)) {
            MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
            c.rect = r;
        }
        c.visible = IsWindowVisible(k) != FALSE;
        c.enabled = EnabledChain(k);
        c.focused = (k == focus);
        if (SameClass(c.className, "Button")) {
            DWORD_PTR st = 0;
            if (SendMessageTimeoutA(k, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &st))
                c.checked = (st == BST_CHECKED);
        }
        out.push_back(c);
    }
    return out;
}

std::string DescribeControls(HWND top) {
    std::ostringstream os;
    os << "window " << ClassOf(top) << " '" << TextOf(top) << "'\n";
    for (const Control& c : ListControls(top)) {
        os << "  " << c.className << " '" << c.text << "' id=" << c.id << " (" << c.rect.left
           << "," << c.rect.top << " " << (c.rect.right - c.rect.left) << "x"
           << (c.rect.bottom - c.rect.top) << ")" << (c.visible ? " visible" : " hidden")
           << (c.enabled ? " enabled" : " disabled") << (c.focused ? " focused" : "")
           << (c.checked ? " checked" : "") << "\n";
    }
    return os.str();
}

std::optional<Control> FindControl(HWND top, const std::string& text, const std::string& className,
                                   bool visibleOnly) {
    for (const Control& c : ListControls(top)) {
        if (visibleOnly && !c.visible) continue;
        if (!className.empty() && !SameClass(c.className, className)) continue;
        if (c.text == text || StripMnemonic(c.text) == text) return c;
    }
    return std::nullopt;
}

std::optional<Control> FindControlById(HWND top, int id) {
    for (const Control& c : ListControls(top))
        if (c.id == id) return c;
    return std::nullopt;
}

std::optional<Control> WaitForControl(HWND top, const std::string& text, DWORD timeoutMs,
                                      bool mustBeEnabled) {
    DWORD start = GetTickCount();
    for (;;) {
        auto c = FindControl(top, text);
        if (c && (!mustBeEnabled || c->enabled)) return c;
        if (!IsWindow(top) || GetTickCount() - start >= timeoutMs) return std::nullopt;
        PumpOnce(kPollMs);
    }
}

bool ClickControl(HWND control, ClickMode mode) {
    if (!IsWindow(control) || !IsWindowVisible(control) || !EnabledChain(control)) return false;
    if (mode == ClickMode::Message) return PostMessageA(control, BM_CLICK, 0, 0) != FALSE;
    RECT r;
    if (!GetClientRect(control, &r)) return false;
    LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
    return PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, at) &&
           PostMessageA(control, WM_LBUTTONUP, 0, at);
}

bool ClickButton(HWND top, const std::string& text, ClickMode mode) {
    auto c = FindControl(top, text);
    if (!c || !c->enabled) return false;
    return ClickControl(c->hwnd, mode);
}

bool IsChecked(HWND control) {
    DWORD_PTR st = 0;
    return SendMessageTimeoutA(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &st) &&
           st == BST_CHECKED;
}

bool CheckRadio(HWND top, const std::string& text, DWORD timeoutMs) {
    auto c = FindControl(top, text, "Button");
    if (!c || !c->enabled) return false;
    if (IsChecked(c->hwnd)) return true;
    if (!ClickControl(c->hwnd, ClickMode::Message)) return false;
    DWORD start = GetTickCount();
    for (;;) {
        if (IsChecked(c->hwnd)) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        PumpOnce(kPollMs);
    }
}

bool PressKey(HWND top, UINT vk) {
    HWND focus = FocusedControl(top);
    if (!focus) return false;
    UINT scan = MapVirtualKeyA(vk, 0 /* MAPVK_VK_TO_VSC */);
    LPARAM down = 1 | (static_cast<LPARAM>(scan & 0xFF) << 16);
    LPARAM up = down | (static_cast<LPARAM>(1) << 30) | (static_cast<LPARAM>(1) << 31);
    return PostMessageA(focus, WM_KEYDOWN, vk, down) && PostMessageA(focus, WM_KEYUP, vk, up);
}

std::optional<MessageBoxInfo> ReadMessageBox(HWND box) {
    if (!IsWindow(box) || !SameClass(ClassOf(box), "#32770")) return std::nullopt;
    MessageBoxInfo info;
    info.hwnd = box;
    info.caption = TextOf(box);
    HWND st = GetDlgItem(box, 0xFFFF);
    if (st) info.text = TextOf(st);
    for (const Control& c : ListControls(box))
        if (c.visible && SameClass(c.className, "Button")) info.buttons.push_back(c.text);
    return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(const std::string& caption, DWORD pid, DWORD timeoutMs) {
    WindowQuery q;
    q.className = "#32770";
    q.caption = caption;
    q.pid = pid;
    HWND w = WaitForWindow(q, timeoutMs);
    if (!w) return std::nullopt;
    // A box is created before its text and buttons are filled in; wait for them briefly.
    DWORD start = GetTickCount();
    for (;;) {
        auto info = ReadMessageBox(w);
        if (info && !info->buttons.empty()) return info;
        if (!IsWindow(w)) return std::nullopt;
        if (GetTickCount() - start >= 2000) return info;
        PumpOnce(kPollMs);
    }
}

bool CloseMessageBox(HWND box, const std::string& buttonText, DWORD timeoutMs) {
    if (!IsWindow(box)) return false;
    HWND button = nullptr;
    for (const Control& c : ListControls(box)) {
        if (!c.visible || !SameClass(c.className, "Button")) continue;
        if (buttonText.empty() || c.text == buttonText || StripMnemonic(c.text) == buttonText) {
            button = c.hwnd;
            break;
        }
    }
    if (!button) return false;
    int id = GetDlgCtrlID(button);
    if (!PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)))
        return false;
    return WaitForWindowGone(box, timeoutMs);
}

bool Screenshot(HWND w, const std::string& pngPath) {
    if (!IsWindow(w) || !IsWindowVisible(w)) return false;
    HWND top = TopOf(w);
    SetWindowPos(top, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    // Let the owner repaint; its thread is not ours, so only time tells.
    DWORD start = GetTickCount();
    while (GetTickCount() - start < 300) PumpOnce(kPollMs);

    RECT r;
    if (!GetWindowRect(w, &r)) return false;
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    if (r.left < 0) r.left = 0;
    if (r.top < 0) r.top = 0;
    if (r.right > sw) r.right = sw;
    if (r.bottom > sh) r.bottom = sh;
    int width = r.right - r.left, height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return false;

    HDC screen = GetDC(nullptr);
    if (!screen) return false;
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi;
    std::memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (mem && dib && bits) {
        HGDIOBJ old = SelectObject(mem, dib);
        ok = BitBlt(mem, 0, 0, width, height, screen, r.left, r.top, SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(mem, old);
    }
    std::vector<unsigned char> rgb;
    if (ok) {
        size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
        rgb.resize(static_cast<size_t>(width) * height * 3);
        const auto* src = static_cast<const unsigned char*>(bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned char* p = src + y * stride + x * 3;  // B, G, R
                unsigned char* q = &rgb[(static_cast<size_t>(y) * width + x) * 3];
                q[0] = p[2];
                q[1] = p[1];
                q[2] = p[0];
            }
    }
    if (dib) DeleteObject(dib);
    if (mem) DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return ok && WritePng(pngPath, width, height, rgb);
}

void PumpFor(DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) PumpOnce(kPollMs);
}

ChildProcess::~ChildProcess() {
    if (pi_.hProcess) CloseHandle(pi_.hProcess);
    if (pi_.hThread) CloseHandle(pi_.hThread);
}

bool ChildProcess::Start(const std::string& commandLine, const std::string& cwd) {
    if (pi_.hProcess) return false;
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    std::string cmd = commandLine;  // CreateProcess may write into the command line
    cmd.push_back('\0');
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.empty() ? nullptr : cwd.c_str(), &si, &pi_)) {
        startError_ = GetLastError();
        std::memset(&pi_, 0, sizeof pi_);
        return false;
    }
    exitCode_ = STILL_ACTIVE;
    timedOut_ = false;
    return true;
}

bool ChildProcess::WaitForExit(DWORD timeoutMs) {
    if (!pi_.hProcess) return false;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DWORD left = elapsed >= timeoutMs ? 0 : timeoutMs - elapsed;
        DWORD r = MsgWaitForMultipleObjects(1, &pi_.hProcess, FALSE, left < kPollMs ? left : kPollMs,
                                            QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) {
            GetExitCodeProcess(pi_.hProcess, &exitCode_);
            return true;
        }
        if (r == WAIT_FAILED) return false;
        if (left == 0) break;
        PumpOnce(0);
    }
    timedOut_ = true;
    Kill();
    return false;
}

bool ChildProcess::Kill() {
    if (!pi_.hProcess) return false;
    if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(pi_.hProcess, 0xDEAD);
        WaitForSingleObject(pi_.hProcess, 5000);
    }
    GetExitCodeProcess(pi_.hProcess, &exitCode_);
    return exitCode_ != STILL_ACTIVE;
}

bool ChildProcess::Running() const {
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

RunResult RunProcess(const std::string& commandLine, DWORD timeoutMs, const std::string& cwd) {
    RunResult r;
    ChildProcess p;
    r.started = p.Start(commandLine, cwd);
    if (!r.started) return r;
    p.WaitForExit(timeoutMs);
    r.timedOut = p.TimedOut();
    r.exitCode = p.ExitCode();
    return r;
}

bool KillPid(DWORD pid, DWORD timeoutMs) {
    HANDLE h = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (!h) return true;  // already gone
    if (WaitForSingleObject(h, 0) != WAIT_OBJECT_0) TerminateProcess(h, 0xDEAD);
    bool gone = WaitForSingleObject(h, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(h);
    return gone;
}

}  // namespace uidriver
