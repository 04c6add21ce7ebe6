#include "filecopy.h"

#include <windows.h>

std::string CopyFolderFiles(const std::string& from, const std::string& to) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((from + "\\*.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return std::string();
    std::string failed;
    do {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string source = from + fd.cFileName;
        std::string target = to + fd.cFileName;
        // A copy carries the read-only attribute of its original; a later copy of the same
        // name must still replace it.
        DWORD existing = GetFileAttributesA(target.c_str());
        if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesA(target.c_str(), existing & ~FILE_ATTRIBUTE_READONLY);
        if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) {
            if (!failed.empty()) failed += ", ";
            failed += fd.cFileName;
        }
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return failed;
}
