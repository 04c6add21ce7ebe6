// Stand-in for the old version's uninstaller. Settings ([StandIn] of <module>.ini beside it,
// or key=value arguments):
//   Mode=remove   waits DelayMs, removes the uninstall entry Entry, exits
//   Mode=keep     waits DelayMs, leaves the entry (the user cancelled), exits
//   Mode=exit     exits at once, touching nothing
//   Mode=spawn    starts itself again as a child (which acts as Mode=remove) and exits at
//                 once, as uninstallers do that copy themselves away before removing files
//   Entry=NAME, DelayMs=300, ExitCode=0
//   SendTo=CLASS  first sends WM_APP+1 (wParam = its process id) to the top-level window of
//                 that class and waits for the answer (at most 30 s), as uninstallers do that
//                 ask every window; the answer is appended to <module>.log as "answer N"
#include <windows.h>

#include "standin.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string self = standin::ModulePath(nullptr);
    standin::LogStart(self);
    std::string cmd = GetCommandLineA();
    standin::Settings settings(self, cmd, "StandIn");
    bool child = cmd.find(" --child") != std::string::npos;
    std::string mode = child ? "remove" : settings.Get("Mode", "remove");
    int exitCode = settings.GetInt("ExitCode", 0);

    std::string sendTo = child ? std::string() : settings.Get("SendTo");
    if (!sendTo.empty()) {
        HWND target = FindWindowA(sendTo.c_str(), nullptr);
        DWORD_PTR answer = 0;
        if (target)
            SendMessageTimeoutA(target, WM_APP + 1, GetCurrentProcessId(), 0, SMTO_NORMAL, 30000,
                                &answer);
        standin::AppendLine(self + ".log", "answer " + std::to_string(answer));
    }
    if (mode == "exit") return exitCode;
    if (mode == "spawn") {
        std::string line = "\"" + self + "\" --child";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        line.push_back('\0');
        if (CreateProcessA(self.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        return exitCode;
    }
    Sleep(static_cast<DWORD>(settings.GetInt("DelayMs", 300)));
    if (mode == "remove") standin::RemoveEntry(settings.Get("Entry"));
    return exitCode;
}
