// What the stand-ins share: their settings and their log.
//
// A stand-in's settings come from the INI file named after its module plus ".ini" beside it
// (setup.prg -> setup.prg.ini, section [StandIn]); an argument "key=value" on its command line
// overrides the INI's key. Every start appends its whole command line as one line to the
// module's name plus ".log", and writes its process id to the name plus ".pid", so a test can
// reap a stand-in that it did not start itself.
#pragma once

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace standin {

inline std::string ModulePath(HMODULE module) {
    char buf[MAX_PATH + 1] = {0};
    DWORD n = GetModuleFileNameA(module, buf, MAX_PATH);
    return std::string(buf, n);
}

inline void AppendLine(const std::string& path, const std::string& line) {
    FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return;
    std::fprintf(f, "%s\r\n", line.c_str());
    std::fclose(f);
}

inline void WriteText(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fputs(text.c_str(), f);
    std::fclose(f);
}

class Settings {
public:
    Settings(const std::string& modulePath, const std::string& commandLine, const char* section)
        : ini_(modulePath + ".ini"), cmd_(commandLine), section_(section) {}

    std::string Get(const char* key, const char* def = "") const {
        // An argument key=value (as a whole blank-separated word) wins over the INI.
        std::string prefix = std::string(key) + "=";
        size_t pos = 0;
        while ((pos = cmd_.find(prefix, pos)) != std::string::npos) {
            if (pos == 0 || cmd_[pos - 1] == ' ') {
                size_t end = cmd_.find(' ', pos);
                return cmd_.substr(pos + prefix.size(),
                                   end == std::string::npos ? std::string::npos : end - pos - prefix.size());
            }
            pos += prefix.size();
        }
        char buf[1024] = {0};
        GetPrivateProfileStringA(section_, key, def, buf, sizeof buf, ini_.c_str());
        return buf;
    }
    int GetInt(const char* key, int def) const {
        std::string v = Get(key);
        return v.empty() ? def : std::atoi(v.c_str());
    }

private:
    std::string ini_, cmd_;
    const char* section_;
};

inline const char* UninstallKey() {
    return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
}

// Adds HKLM\...\Uninstall\<name> with the value UninstallString.
inline bool RegisterEntry(const std::string& name, const std::string& uninstallString) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(UninstallKey()) + name).c_str(), 0, nullptr, 0,
                        KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = RegSetValueExA(key, "UninstallString", 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(uninstallString.c_str()),
                            static_cast<DWORD>(uninstallString.size() + 1));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

inline bool RemoveEntry(const std::string& name) {
    return RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (std::string(UninstallKey()) + name).c_str(), KEY_WOW64_32KEY, 0) == ERROR_SUCCESS;
}

// The process id is written (and closed) before the log line: a test that has seen the log
// then always finds the id, and can end a stand-in that outlives it before it touches the
// registry of the next test.
inline void LogStart(const std::string& modulePath) {
    WriteText(modulePath + ".pid", std::to_string(GetCurrentProcessId()));
    AppendLine(modulePath + ".log", GetCommandLineA());
}

}  // namespace standin
