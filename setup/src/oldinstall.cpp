#include "oldinstall.h"

#include <windows.h>

#include "globals.h"
#include "rtl/exceptions.h"
#include "rtl/strutil.h"

const char* const kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

namespace {

const char* const kProductWords[] = {"lumex", "ostra", "korvix light", "korvix net", "korvixnet"};
const char* const kOldConfigCopy = "C:\\a.tmp";
const char* const kUninstallValue = "UninstallString";

constexpr DWORD kNewConsole = 0x30;                      // ... | CREATE_NEW_CONSOLE
constexpr DWORD kSetupWindowPollMs = 50;
// How long a window of a set-up whose process has ended is still looked for: it may have
// been created by a process the set-up started just before it ended.
constexpr DWORD kSetupWindowGraceMs = 1500;

// Holds an open registry key and closes it on every way out.
class RegKey {
public:
    explicit RegKey(const std::string& path) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key_) != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A string value; absent (or unreadable) reads as empty text, a value of another type is an
// error. REG_EXPAND_SZ counts as a string and is taken as stored. The text ends at its first
// zero.
std::string ReadStringValue(HKEY key, const char* name) {
    DWORD type = 0, size = 0;
    LONG r = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    if (r != ERROR_SUCCESS && r != ERROR_MORE_DATA) return std::string();
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw rtl::ERegistryException(rtl::Format("Invalid data type for '%s'", name));
    std::string data(size + 1, '\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD got = static_cast<DWORD>(data.size());
        r = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &got);
        if (r == ERROR_MORE_DATA) {
            data.assign(got + 1, '\0');  // the value grew meanwhile
            continue;
        }
        if (r != ERROR_SUCCESS) return std::string();
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw rtl::ERegistryException(rtl::Format("Invalid data type for '%s'", name));
        data.resize(got < data.size() ? got : data.size());
        size_t zero = data.find('\0');
        if (zero != std::string::npos) data.resize(zero);
        return data;
    }
    return std::string();
}

std::string ReadUninstallCommand(const std::string& entryName, bool* entryExists = nullptr) {
    RegKey key(std::string(kUninstallKey) + entryName);
    if (entryExists) *entryExists = key.get() != nullptr;
    if (!key.get()) return std::string();
    return ReadStringValue(key.get(), kUninstallValue);
}

bool FileExists(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool TopLevelWindowOfClass(const char* className) {
    return FindWindowA(className, nullptr) != nullptr;
}

// Dispatches every message pending for this thread. A WM_QUIT is kept aside (the wait must
// not end the program's loop from inside); *quit notes it so it can be posted again later.
void DispatchPending(bool* quit, int* quitCode) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            *quit = true;
            *quitCode = static_cast<int>(msg.wParam);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Waits until the object is signalled. No input and no posted message is handled meanwhile,
// but messages that other threads send to our windows are answered: an uninstaller that
// asks every top-level window something (a broadcast, DDE) waits for that answer, and would
// otherwise wait for us while we wait for it.
void WaitWithoutInput(HANDLE object) {
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) return;  // ended, or the handle is not waitable
        MSG msg;
        PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

// One process start as the system makes them all: no security attributes, no inherited
// handles, our environment and current folder, the shared StartupInfo and ProcessInfo.
bool StartProcess(const char* applicationName, const std::string& commandLine, unsigned long flags) {
    std::string cmd = commandLine;  // CreateProcess may write into the command line
    cmd.push_back('\0');
    return CreateProcessA(applicationName, &cmd[0], nullptr, nullptr, FALSE, flags, nullptr,
                          nullptr, &StartupInfo, &ProcessInfo) != FALSE;
}

bool IsProductEntry(const std::string& subkeyName) {
    std::string folded = rtl::AsciiLower(subkeyName);
    for (const char* word : kProductWords)
        if (folded.find(word) != std::string::npos) return true;
    return false;
}

std::string InstallFolderFromCommand(const std::string& s) {
    // 1-based positions as the rule is stated; 0 when absent.
    size_t f = s.find("-f");
    size_t d = s.find("DeIsL");
    long p = f == std::string::npos ? 0 : static_cast<long>(f) + 1;
    long q = d == std::string::npos ? 0 : static_cast<long>(d) + 1;
    long start = p + 2;           // 1-based first character of the folder
    long length = q - (p + 2);
    if (length <= 0) return std::string();
    size_t from = static_cast<size_t>(start - 1);
    if (from >= s.size()) return std::string();
    return s.substr(from, static_cast<size_t>(length));
}

std::vector<std::string> UninstallSubkeys() {
    std::vector<std::string> names;
    // The path is opened without the leading backslash: a path that starts with one is
    // refused by the registry.
    RegKey key(kUninstallKey);
    if (!key.get()) return names;
    DWORD maxLen = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, &maxLen, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        maxLen = 0;
    std::string buf(maxLen < 255 ? 256 : maxLen + 1, '\0');
    for (DWORD index = 0;; ++index) {
        DWORD len = static_cast<DWORD>(buf.size());
        LONG r = RegEnumKeyExA(key.get(), index, &buf[0], &len, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_MORE_DATA) {
            buf.assign(buf.size() * 2, '\0');
            --index;  // the same index again with room for the name
            continue;
        }
        if (r != ERROR_SUCCESS) break;
        names.emplace_back(buf.data(), len);
    }
    return names;
}

bool FindOldInstallation() {
    bool found = false;
    std::string last;
    for (const std::string& name : UninstallSubkeys()) {
        if (IsProductEntry(name)) {
            found = true;
            last = name;  // no early exit: the last product entry wins
        }
    }
    if (!found) return false;

    std::string command = ReadUninstallCommand(last);
    std::string configFolder = InstallFolderFromCommand(command) + "Bin\\";
    // ostra.cfg is copied last, so the net edition's file is the one left when both exist.
    for (const char* file : {"lumex.cfg", "ostra.cfg"}) {
        std::string source = configFolder + file;
        if (FileExists(source)) CopyFileA(source.c_str(), kOldConfigCopy, FALSE);
    }
    return true;
}

int32_t CountOldInstallEntries(std::string* firstEntry) {
    int32_t count = 0;
    if (firstEntry) firstEntry->clear();
    for (const std::string& name : UninstallSubkeys()) {
        if (!IsProductEntry(name)) continue;
        if (count == 0 && firstEntry) *firstEntry = name;
        ++count;
    }
    return count;
}

bool RunOldUninstaller(const std::string& entryName) {
    bool exists = false;
    std::string command = ReadUninstallCommand(entryName, &exists);
    // An entry that vanished since it was counted has no uninstaller to run.
    if (!exists) return false;
    // Without a process there is nothing to wait for: waiting on a handle that a failed
    // start left in ProcessInfo would block for ever or return at once on a stale one.
    if (!StartProcess(nullptr, command, kNewConsole)) return false;
    WaitWithoutInput(ProcessInfo.hProcess);
    DWORD exitCode = 0;
    GetExitCodeProcess(ProcessInfo.hProcess, &exitCode);  // not used: the counts decide
    return true;
}

bool StartSetupProgram() {
    std::string program = SetupDir + "setup.prg";
    return StartProcess(program.c_str(), program, kNewConsole);
}

void WaitForInstallShield(void (*processMessages)(), bool (*stopRequested)()) {
    // The set-up started last. A set-up that crashes, gives up after an error box of its own
    // or is another program never shows its window: once its process has ended, the window
    // can no longer come, and the wait would otherwise never end.
    const HANDLE setup = ProcessInfo.hProcess;
    bool quit = false;
    int quitCode = 0;
    auto step = [&](const char* className) {
        if (processMessages)
            processMessages();
        else
            DispatchPending(&quit, &quitCode);
        return TopLevelWindowOfClass(className);
    };
    auto stop = [&] { return quit || (stopRequested && stopRequested()); };
    // Between looks, sleep until input arrives or the interval ends, instead of spinning.
    auto pause = [] {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, kSetupWindowPollMs, QS_ALLINPUT);
    };
    bool setupEnded = false;
    DWORD endedAt = 0;
    auto setupGone = [&] {
        if (!setupEnded && setup && WaitForSingleObject(setup, 0) == WAIT_OBJECT_0) {
            setupEnded = true;
            endedAt = GetTickCount();
        }
        return setupEnded && GetTickCount() - endedAt >= kSetupWindowGraceMs;
    };
    auto wait = [&] {
        while (!step("InstallShield_Win")) {
            if (stop() || setupGone()) return;
            pause();
        }
        while (step("InstallShield_Win")) {
            if (stop()) return;
            pause();
        }
        while (step("isdelete")) {
            if (stop()) return;
            pause();
        }
    };
    wait();
    if (quit) PostQuitMessage(quitCode);
}

std::string RestoreCommandLine(const std::string& programPath, const std::string& version) {
    if (version.empty() || version.find('"') != std::string::npos) return std::string();
    bool needsQuotes = false;
    for (unsigned char c : version)
        if (c <= ' ') needsQuotes = true;
    std::string arg = needsQuotes ? "\"" + version + "\"" : version;
    return "\"" + programPath + "\" " + arg;
}

bool RelaunchForRestore() {
    char path[MAX_PATH + 1] = {0};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::string program(path, n);
    std::string command = RestoreCommandLine(program, OldVersion.Text());
    if (command.empty()) return false;
    return StartProcess(program.c_str(), command, kNewConsole);
}
