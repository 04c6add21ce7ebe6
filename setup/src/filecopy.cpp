#include "filecopy.h"

#include <windows.h>

namespace {

void AddFailure(std::string& failed, const std::string& what) {
    if (!failed.empty()) failed += ", ";
    failed += what;
}

bool IsFolder(const std::string& path) {
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

std::string CopyFolderFiles(const std::string& from, const std::string& to) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((from + "\\*.*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        // A folder always lists "." first, except a drive's root, which may be empty. Any
        // other failure (folder gone, access denied, path too long) means that nothing could
        // be copied: that is a failure, not an empty folder.
        if (GetLastError() == ERROR_FILE_NOT_FOUND && IsFolder(from)) return std::string();
        return from;
    }
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
        if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) AddFailure(failed, fd.cFileName);
    } while (FindNextFileA(h, &fd));
    // A listing broken off by an error may have left files out: the folder is named for them.
    if (GetLastError() != ERROR_NO_MORE_FILES) AddFailure(failed, from);
    FindClose(h);
    return failed;
}
