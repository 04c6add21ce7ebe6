#include "savedb.h"

#include <windows.h>

#include "dbfolder.h"
#include "filecopy.h"
#include "globals.h"
#include "rtl/exceptions.h"

std::string SavedDatabaseFolder() { return TempPathText() + "\\tmpDB\\"; }

void SaveOldDatabase() {
    const std::string saved = SavedDatabaseFolder();
    if (!CreateDirectoryA(saved.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        DWORD attributes = GetFileAttributesA(saved.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            throw rtl::EInOutError("The folder for the saved database cannot be created: " +
                                   saved);
    }
    const std::string folder = FindDatabaseFolder(/*retryUnderLumexData=*/true);

    const std::string failed = CopyFolderFiles(folder, saved);
    // The old version is removed after the save: a file missing from the saved folder would be
    // lost for good, so the wizard must not go on as if everything were saved.
    if (!failed.empty())
        throw rtl::EInOutError("These database files could not be saved to " + saved + ": " +
                               failed);
}
