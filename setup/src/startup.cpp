#include "startup.h"

#include <windows.h>

#include <cstring>

#include "errordisplay.h"
#include "formhooks.h"
#include "globals.h"
#include "oldinstall.h"
#include "plugins.h"
#include "rtl/exceptions.h"

namespace {

std::string ProgramPath() {
    char path[MAX_PATH + 1] = {0};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

std::string FolderPart(const std::string& path) {
    auto pos = path.find_last_of("\\/:");
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

bool IsSeparator(char c) { return static_cast<unsigned char>(c) <= ' '; }

// One argument from p on (after leading separators); advances p past it.
std::string NextArgument(const char*& p) {
    while (*p && IsSeparator(*p)) ++p;
    std::string arg;
    while (*p && !IsSeparator(*p)) {
        if (*p == '"') {
            ++p;
            while (*p && *p != '"') arg += *p++;
            if (*p) ++p;
        } else {
            arg += *p++;
        }
    }
    return arg;
}

void RunRestoreMode(const std::string& firstArgument) {
    LoadPlugIns();
    OldVersion = TVersionCode::FromText(firstArgument, 4);
    RestoreSavedDatabase();
}

int RunWizardMode() {
    if (!FindOldInstallation()) {
        StartSetupWithoutInstallation();
        return 0;
    }
    CreateMainForm();
    CreateAndShowStartupWindow();
    LoadPlugIns();
    ReadLastLanguage();
    ChooseDictionaryLanguage(MainFormDictionary());
    FreeStartupWindow();
    RunMainFormModal();
    const int exitCode = MainFormExitCode();
    FreeMainForm();
    return exitCode;
}

}  // namespace

void InitPaths() {
    AppDir = FolderPart(ProgramPath());
    PluginDir = AppDir;
    std::memset(TempPath, 0, sizeof TempPath);
    // Asked with room for 255 characters. A failed or truncated answer would leave every
    // saved-database path undefined, so it is an error rather than a guess.
    DWORD n = GetTempPathA(255, TempPath);
    if (n == 0 || n >= 255) {
        std::memset(TempPath, 0, sizeof TempPath);
        throw rtl::EOSError("The temporary folder cannot be determined");
    }
}

void ReadLastLanguage() {
    std::string file = AppDir + "Lang.cfg";
    char buffer[1024] = {0};
    GetPrivateProfileStringA("Language", "LastLanguage", "English", buffer, sizeof buffer,
                             file.c_str());
    LastLanguage = buffer;
}

std::vector<std::string> SplitCommandLine(const char* commandLine) {
    std::vector<std::string> args;
    const char* p = commandLine ? commandLine : "";
    NextArgument(p);  // the program name
    for (;;) {
        while (*p && IsSeparator(*p)) ++p;
        if (!*p) break;
        std::string arg = NextArgument(p);
        if (!arg.empty()) args.push_back(arg);
    }
    return args;
}

void StartSetupWithoutInstallation() {
    std::string program = SetupDir + "setup.prg";
    StartProcess(program.c_str(), program, NORMAL_PRIORITY_CLASS);
}

void ChooseDictionaryLanguage(ILanguageChoice& dictionary) {
    int n = dictionary.LanguageCount();
    for (int i = 1; i < n; ++i) {
        if (dictionary.EnglishName(i) == LastLanguage) {
            if (dictionary.IsCodePageSupported(i))
                dictionary.SetLanguage(i);
            else
                dictionary.SetLanguage(1);
        }
    }
}

int RunSetup() {
    // A plug-in that faults (or any other structured exception nobody handles) ends in the
    // same box and exit code as an exception that escapes.
    InstallStructuredErrorDisplay();
    try {
        InitialiseApplication();
        InitPaths();
        SetupDir = FolderPart(ProgramPath());
        std::vector<std::string> args = SplitCommandLine(GetCommandLineA());
        if (!args.empty()) {
            RunRestoreMode(args[0]);
            return 0;
        }
        return RunWizardMode();
    } catch (const std::exception& e) {
        ShowDefaultError(e);
        return 1;
    } catch (...) {
        // A plug-in may throw what is no exception class of ours or the library's.
        ShowUnknownError();
        return 1;
    }
}
