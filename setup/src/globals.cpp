#include "globals.h"

#include <cstring>

std::string AppDir;
std::string PluginDir;
std::string SetupDir;
char TempPath[256];
STARTUPINFOA StartupInfo = [] {
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    return si;
}();
PROCESS_INFORMATION ProcessInfo;
std::string LastLanguage;
TVersionCode OldVersion;
TVersionCode NewVersion;
std::vector<TPlugIn*>* DBVersionPlugIns = nullptr;
std::vector<TPlugIn*>* ConverterPlugIns = nullptr;

TfrmMain* frmMain = nullptr;
TfrmStUp* frmStUp = nullptr;
TfrmSaving* frmSaving = nullptr;
TfrmCancelWarn* frmCancelWarn = nullptr;
TfrmRestore* frmRestore = nullptr;

std::string TempPathText() {
    return std::string(TempPath, strnlen(TempPath, sizeof TempPath));
}
