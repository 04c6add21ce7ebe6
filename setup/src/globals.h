// The globals that the parts of `setup` share. All live until the process ends.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "version_code.h"

class TfrmMain;
class TfrmStUp;
class TfrmSaving;
class TfrmCancelWarn;
class TfrmRestore;

// One loaded plug-in module; allocated by LoadPlugIns, never freed.
struct TPlugIn {
    std::string Name;     // file name as the folder search returned it, without folder
    HMODULE Handle = 0;   // 0 when loading failed
};

extern std::string AppDir;     // folder of the program, with trailing separator
extern std::string PluginDir;  // same text; the folder searched for plug-ins
extern std::string SetupDir;   // same text again; setup.prg is started from here
extern char TempPath[256];     // the user's temporary folder, ends with a separator
extern STARTUPINFOA StartupInfo;        // cb = its size, every other field zero
extern PROCESS_INFORMATION ProcessInfo; // the most recently started process
extern std::string LastLanguage;        // language name from Lang.cfg
extern TVersionCode OldVersion;         // version of the saved database
extern TVersionCode NewVersion;         // version of the newly installed program
extern std::vector<TPlugIn*>* DBVersionPlugIns;  // version probes (export GetDBVersion)
extern std::vector<TPlugIn*>* ConverterPlugIns;  // converters (export GetConvertVersions)

extern TfrmMain* frmMain;
extern TfrmStUp* frmStUp;
extern TfrmSaving* frmSaving;
extern TfrmCancelWarn* frmCancelWarn;
extern TfrmRestore* frmRestore;

// The text of TempPath up to its first zero.
std::string TempPathText();
