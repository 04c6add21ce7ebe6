// Stand-in for a version-probe module. Its answers come from [Probe] of <module>.ini beside
// it, read at every call, so one built module copied under several names gives several
// probes:  DBVersion=L2.1   LumexVersion=N1.1   (default "Nop" for both)
// Each call appends "<export> <maximum>" to <module>.log.
#include <windows.h>

#include <string>

#include "standin.h"

namespace {

HMODULE g_module;

void Answer(const char* exportName, const char* key, unsigned char* buffer, int maximum) {
    std::string self = standin::ModulePath(g_module);
    standin::AppendLine(self + ".log", std::string(exportName) + " " + std::to_string(maximum));
    char value[64] = {0};
    GetPrivateProfileStringA("Probe", key, "Nop", value, sizeof value, (self + ".ini").c_str());
    size_t len = strlen(value);
    if (maximum < 0) maximum = 0;
    if (len > static_cast<size_t>(maximum)) len = static_cast<size_t>(maximum);
    buffer[0] = static_cast<unsigned char>(len);
    std::memcpy(buffer + 1, value, len);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" void __stdcall GetDBVersion(unsigned char* buffer, int maximum) {
    Answer("GetDBVersion", "DBVersion", buffer, maximum);
}

#ifndef KX_PROBE_DB_ONLY
extern "C" void __stdcall GetLumexVersion(unsigned char* buffer, int maximum) {
    Answer("GetLumexVersion", "LumexVersion", buffer, maximum);
}
#endif
