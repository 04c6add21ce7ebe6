// Runs RelaunchForRestore from a program of its own, so that the restart names this program.
//   relaunch_helper.exe --relaunch   OldVersion := the text of <module>.version beside it,
//                                    then RelaunchForRestore; exit code 0 started, 2 refused
//   any other command line           (the restarted instance) appends it to <module>.log
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "globals.h"
#include "oldinstall.h"

namespace {

std::string Self() {
    char buf[MAX_PATH + 1] = {0};
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    return std::string(buf, n);
}

std::string ReadAll(const std::string& path) {
    std::string s;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return s;
    char buf[256];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    std::fclose(f);
    return s;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    std::string self = Self();
    std::string cmd = GetCommandLineA();
    if (cmd.size() >= 10 && cmd.compare(cmd.size() - 10, 10, "--relaunch") == 0) {
        OldVersion = TVersionCode::FromText(ReadAll(self + ".version"));
        return RelaunchForRestore() ? 0 : 2;
    }
    FILE* f = std::fopen((self + ".log").c_str(), "ab");
    if (f) {
        std::fprintf(f, "%s\r\n", cmd.c_str());
        std::fclose(f);
    }
    return 0;
}
