// The UI driver: lets a test program drive the windows of another process (or of its own
// other threads) the way a person would, and start and reap child processes.
//
// Every operation that waits takes a time-out in milliseconds and gives up when it has
// passed; nothing here can hang a test. Operations that fail return false / an empty value;
// none throws. Window handles are borrowed: the driver owns nothing it returns except the
// ChildProcess handles, which the ChildProcess object closes.
//
// Clicks and keys are posted, never sent, so a click that opens a modal dialog in the
// driven program does not block the test.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace uidriver {

// What a top-level window must match. Empty strings and pid 0 match anything.
struct WindowQuery {
    std::string className;  // exact class name (case-insensitive, as the system compares)
    std::string caption;    // exact window text
    DWORD pid = 0;          // owning process, 0 for any
    bool visibleOnly = true;
};

// All top-level windows that match, in z-order.
std::vector<HWND> FindWindows(const WindowQuery& q);
// The first matching top-level window that appears within timeoutMs, or nullptr.
HWND WaitForWindow(const WindowQuery& q, DWORD timeoutMs);
// True when no matching window exists any more within timeoutMs.
bool WaitForNoWindow(const WindowQuery& q, DWORD timeoutMs);
// True when the window is destroyed or hidden within timeoutMs.
bool WaitForWindowGone(HWND w, DWORD timeoutMs);

std::string ClassOf(HWND w);
std::string TextOf(HWND w);  // window text (WM_GETTEXT, with a time-out)
// Text without the mnemonic markers: "&Next >" -> "Next >", "&&" -> "&".
std::string StripMnemonic(const std::string& text);

struct Control {
    HWND hwnd = nullptr;
    HWND parent = nullptr;
    std::string className;
    std::string text;
    int id = 0;
    RECT rect{};         // in the top-level window's client coordinates
    bool visible = false;  // the control and all its parents are visible
    bool enabled = false;  // the control and all its parents are enabled
    bool focused = false;  // keyboard focus of the window's thread
    bool checked = false;  // BM_GETCHECK for buttons
};

// Every descendant control of a top-level window, in the system's enumeration order.
std::vector<Control> ListControls(HWND top);
// One line per control ("Button 'Next >' id=1 (292,292 75x25) visible enabled"), for
// failure messages.
std::string DescribeControls(HWND top);

// The first control whose text (as is, or without mnemonic markers) equals `text` and,
// when className is not empty, whose class matches. visibleOnly skips hidden controls,
// e.g. those of an inactive page.
std::optional<Control> FindControl(HWND top, const std::string& text,
                                   const std::string& className = "", bool visibleOnly = true);
std::optional<Control> FindControlById(HWND top, int id);
// Waits until a control with that text is visible (and enabled when asked).
std::optional<Control> WaitForControl(HWND top, const std::string& text, DWORD timeoutMs,
                                      bool mustBeEnabled = true);
// The control that holds the keyboard focus in the thread that owns `top`, or nullptr.
HWND FocusedControl(HWND top);

enum class ClickMode {
    Message,  // BM_CLICK, posted
    Mouse,    // WM_LBUTTONDOWN / WM_LBUTTONUP at the control's centre, posted
};
// Clicks the visible, enabled control with that text. False when there is none or it is
// disabled (a person cannot click it either).
bool ClickButton(HWND top, const std::string& text, ClickMode mode = ClickMode::Message);
bool ClickControl(HWND control, ClickMode mode = ClickMode::Message);
// Clicks the radio button with that text and waits up to timeoutMs until it is checked.
bool CheckRadio(HWND top, const std::string& text, DWORD timeoutMs = 2000);
bool IsChecked(HWND control);

// Posts a key press (WM_KEYDOWN + WM_KEYUP) to the focused control of the window's thread,
// through that thread's message loop, as the keyboard would. vk: VK_RETURN, VK_ESCAPE,
// VK_TAB, ... False when no control of that thread has the focus.
bool PressKey(HWND top, UINT vk);

// A system message box (dialog class "#32770").
struct MessageBoxInfo {
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;                  // the static control with id 0xFFFF
    std::vector<std::string> buttons;  // button texts in enumeration order
};
std::optional<MessageBoxInfo> ReadMessageBox(HWND box);
// Waits for a message box (by caption when not empty, of process pid when not 0).
std::optional<MessageBoxInfo> WaitForMessageBox(const std::string& caption, DWORD pid,
                                                DWORD timeoutMs);
// Closes a message box with the button of that text ("OK", "&Yes", ...), or with IDOK /
// IDCANCEL when buttonText is empty; waits up to timeoutMs for it to go.
bool CloseMessageBox(HWND box, const std::string& buttonText = "", DWORD timeoutMs = 3000);

// Writes the window's on-screen pixels (frame included) as a 24-bit PNG. The window is
// brought to the top first; it must be on screen.
bool Screenshot(HWND w, const std::string& pngPath);
// Writes a top-down 24-bit RGB image (rows of width*3 bytes) as PNG.
bool WritePng(const std::string& path, int width, int height, const std::vector<unsigned char>& rgb);
// Reads back a PNG that WritePng wrote (8-bit RGB, not interlaced); for tests.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<unsigned char>& rgb);

// Pumps the calling thread's messages for ms milliseconds (for tests that own windows).
void PumpFor(DWORD ms);

// A child process started with a command line; killed when it outlives its time-out.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();  // closes the handles; does not kill a still running child
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts commandLine (application name taken from it) in folder cwd ("" = ours).
    bool Start(const std::string& commandLine, const std::string& cwd = "");
    // Waits for the exit; on time-out kills the process (exit code 0xDEAD) and returns false.
    bool WaitForExit(DWORD timeoutMs);
    bool Kill();
    bool Running() const;

    DWORD Pid() const { return pi_.dwProcessId; }
    HANDLE Handle() const { return pi_.hProcess; }
    DWORD ExitCode() const { return exitCode_; }
    bool TimedOut() const { return timedOut_; }
    DWORD StartError() const { return startError_; }

private:
    PROCESS_INFORMATION pi_{};
    DWORD exitCode_ = STILL_ACTIVE;
    bool timedOut_ = false;
    DWORD startError_ = 0;
};

struct RunResult {
    bool started = false;
    bool timedOut = false;
    DWORD exitCode = 0;
};
// Starts commandLine and waits up to timeoutMs for its exit, killing it on time-out.
RunResult RunProcess(const std::string& commandLine, DWORD timeoutMs, const std::string& cwd = "");

// Kills the process with that id (for a stand-in that a test started indirectly and
// whose id the stand-in logged). True when it is gone within timeoutMs.
bool KillPid(DWORD pid, DWORD timeoutMs = 3000);

}  // namespace uidriver
