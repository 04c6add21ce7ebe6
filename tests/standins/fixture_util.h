// Helpers for tests that set up stand-ins: fresh folders, files, uninstall registry entries.
#pragma once

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kx_runtime_dlls.h"
#include "standin.h"

namespace fixture {

using standin::UninstallKey;

// The folder of the running test program, with trailing backslash (testbin).
inline std::string ExeDir() {
    char buf[MAX_PATH] = {0};
    DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string s(buf, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

inline void RemoveTree(const std::string& dir) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string n = fd.cFileName;
            if (n == "." || n == "..") continue;
            std::string p = dir + n;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(p + "\\");
            else
                DeleteFileA(p.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

// A fresh, empty folder under the temporary folder: <temp>\kx_<area>\<name>\ .
inline std::string FreshFolder(const std::string& area, const std::string& name) {
    char tmp[MAX_PATH] = {0};
    GetTempPathA(MAX_PATH, tmp);
    std::string base = std::string(tmp) + "kx_" + area + "\\";
    CreateDirectoryA(base.c_str(), nullptr);
    std::string dir = base + name + "\\";
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

inline bool Copy(const std::string& from, const std::string& to) {
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != FALSE;
}

// Copies a test-bin file (and the C++ runtime DLLs, for programs) into dir under a new name.
inline bool CopyFromTestBin(const std::string& file, const std::string& dir, const std::string& as) {
    return Copy(ExeDir() + file, dir + as);
}
inline void CopyRuntime(const std::string& dir) {
    for (const char* dll : KX_RUNTIME_DLL_NAMES)
        Copy(ExeDir() + dll, dir + dll);
}

inline void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    return lines;
}

// Waits up to ms until pred() holds.
template <class Pred>
bool WaitUntil(Pred pred, DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
        if (pred()) return true;
        if (GetTickCount() - start >= ms) return false;
        Sleep(25);
    }
}

inline bool SetEntry(const std::string& name, const std::string& uninstallString) {
    return standin::RegisterEntry(name, uninstallString);
}

// An entry whose UninstallString has another type (REG_DWORD) or no such value (type 0).
inline bool SetEntryRaw(const std::string& name, DWORD type) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(UninstallKey()) + name).c_str(), 0, nullptr, 0,
                        KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG r = ERROR_SUCCESS;
    if (type == REG_DWORD) {
        DWORD v = 1;
        r = RegSetValueExA(key, "UninstallString", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    }
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

inline bool EntryExists(const std::string& name) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(UninstallKey()) + name).c_str(), 0, KEY_READ | KEY_WOW64_32KEY,
                      &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

inline void RemoveEntry(const std::string& name) {
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (std::string(UninstallKey()) + name).c_str(), KEY_WOW64_32KEY, 0);
}

// The uninstall key's subkeys in the registry's own enumeration order.
inline std::vector<std::string> Subkeys() {
    std::vector<std::string> out;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, UninstallKey(), 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS) return out;
    char name[512];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        out.emplace_back(name, len);
    }
    RegCloseKey(key);
    return out;
}

// Removes every subkey whose name, A-Z folded, holds one of the product's words: tests that
// count product entries start from none.
inline void RemoveProductEntries() {
    for (const std::string& n : Subkeys()) {
        std::string f = n;
        for (char& c : f)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        for (const char* w : {"lumex", "ostra", "korvix light", "korvix net", "korvixnet"})
            if (f.find(w) != std::string::npos) {
                RemoveEntry(n);
                break;
            }
    }
}

}  // namespace fixture
