// Walks the whole upgrade as a person would: starts setup.exe beside a sample old
// installation, keeps the recommended choice on every page, and waits for the restore-mode
// instance that converts the saved database. Prints each step; screenshots of the pages go
// into <demo>\screens\. Usage: wizard_demo <demo folder>   (e.g. C:\kx-demo\)
// The new product's database alias is added to the engine's configuration while the set-up
// runs, as the real set-up would do.
#include <windows.h>

#include <tlhelp32.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "uidriver/uidriver.h"

namespace {

std::string g_demo;

void Say(const std::string& s) {
    std::printf("wizard: %s\n", s.c_str());
    std::fflush(stdout);
}

[[noreturn]] void Fail(const std::string& s) {
    std::printf("wizard: FAILED: %s\n", s.c_str());
    std::fflush(stdout);
    std::exit(1);
}

bool WaitCaption(HWND w, const std::string& caption, DWORD ms) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (IsWindowVisible(w) && uidriver::TextOf(w) == caption) return true;
        Sleep(50);
    }
    return false;
}

void Page(HWND w, const std::string& caption, const std::string& shot) {
    if (!WaitCaption(w, caption, 60000)) Fail("page \"" + caption + "\" did not come");
    Say("page \"" + caption + "\"");
    uidriver::PumpFor(300);
    uidriver::Screenshot(w, g_demo + "screens\\" + shot + ".png");
}

void Next(HWND w) {
    if (!uidriver::WaitForControl(w, "&Next >", 10000).has_value() ||
        !uidriver::ClickButton(w, "&Next >"))
        Fail("no Next button");
    Say("Next");
}

// Other setup.exe processes than `except`: the restore-mode instance.
std::vector<DWORD> SetupProcesses(DWORD except) {
    std::vector<DWORD> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return out;
    PROCESSENTRY32 pe;
    pe.dwSize = sizeof pe;
    for (BOOL ok = Process32First(snap, &pe); ok; ok = Process32Next(snap, &pe))
        if (lstrcmpiA(pe.szExeFile, "setup.exe") == 0 && pe.th32ProcessID != except)
            out.push_back(pe.th32ProcessID);
    CloseHandle(snap);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) Fail("usage: wizard_demo <demo folder>");
    g_demo = argv[1];
    if (g_demo.back() != '\\') g_demo += '\\';
    CreateDirectoryA((g_demo + "screens").c_str(), nullptr);

    uidriver::ChildProcess wizard;
    std::string program = g_demo + "program\\setup.exe";
    if (!wizard.Start("\"" + program + "\"", g_demo + "program")) Fail("setup.exe did not start");
    Say("started " + program);
    uidriver::WindowQuery q;
    q.className = "TfrmMain";
    q.pid = wizard.Pid();
    HWND main = uidriver::WaitForWindow(q, 30000);
    if (!main) Fail("no wizard window");

    Page(main, "Found previous installation", "1-found");
    Next(main);  // "Save and convert current database (recommended)."
    Page(main, "Removing previous installation", "2-removing");
    Next(main);  // "Remove previous version of Korvix (recommended)."

    uidriver::WindowQuery setupWindow;
    setupWindow.className = "InstallShield_Win";
    if (!uidriver::WaitForWindow(setupWindow, 60000)) Fail("the set-up did not start");
    Say("the old version was removed; the set-up of the new version runs");
    // What the new version's set-up leaves behind: the alias of its (empty) database.
    std::ofstream(g_demo + "dbengine.cfg", std::ios::app)
        << "[KorvixNetGlobal]\r\nTYPE=STANDARD\r\nPATH=" << g_demo
        << "KorvixNet\\\r\nDEFAULT DRIVER=PARADOX\r\n";

    Page(main, "Convert saved databases", "3-convert");
    Next(main);  // "Restore saved database."
    if (!wizard.WaitForExit(30000)) Fail("the wizard did not end");
    Say("the wizard ended with exit code " + std::to_string(wizard.ExitCode()));

    // The restore-mode instance converts the saved database.
    std::vector<DWORD> restore;
    DWORD start = GetTickCount();
    while (restore.empty() && GetTickCount() - start < 10000) {
        restore = SetupProcesses(wizard.Pid());
        if (restore.empty()) Sleep(50);
    }
    DWORD restoreCode = 0;
    for (DWORD pid : restore) {
        HANDLE h = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid);
        if (!h) continue;
        if (WaitForSingleObject(h, 300000) != WAIT_OBJECT_0) Fail("restore mode did not end");
        GetExitCodeProcess(h, &restoreCode);
        CloseHandle(h);
    }
    if (restore.empty()) Say("restore mode had already ended");
    Say("restore mode ended with exit code " + std::to_string(restoreCode));
    return wizard.ExitCode() == 0 && restoreCode == 0 ? 0 : 1;
}
