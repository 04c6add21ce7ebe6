#include "plugins.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "dbfolder.h"
#include "filecopy.h"
#include "formhooks.h"
#include "globals.h"
#include "savedb.h"
#include "rtl/exceptions.h"

namespace {

using GetVersionFn = void(__stdcall*)(uint8_t* buffer, int32_t max);
using GetConvertVersionsFn = void(__stdcall*)(uint8_t* from, int32_t fromMax, uint8_t* to,
                                              int32_t toMax);
using ConvertFn = void(__stdcall*)();

// A version buffer handed to a plug-in: room to spare and zeroed, so that a plug-in that
// writes a little more than it should, or reports a length above four, cannot corrupt the
// caller or make it read garbage.
struct VersionBuffer {
    uint8_t bytes[16];
    VersionBuffer() { std::memset(bytes, 0, sizeof bytes); }
    TVersionCode Tag() const { return TVersionCode::FromBuffer(bytes, 4); }
};

template <typename Fn>
Fn Export(const TPlugIn* p, const char* name) {
    if (!p->Handle) return nullptr;
    return reinterpret_cast<Fn>(GetProcAddress(p->Handle, name));
}

int CountEntries(const std::string& pattern) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do ++n;
    while (FindNextFileA(h, &fd));
    FindClose(h);
    return n;
}

// The loading pass's folder search and the error mode it runs under (no box for a module
// that cannot be loaded). Both are process-wide state: a module's initialisation that raises
// must leave neither behind, so the search is closed and the mode restored on every way out.
class LoadingPass {
public:
    explicit LoadingPass(const std::string& pattern)
        : oldMode_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)),
          search_(FindFirstFileA(pattern.c_str(), &entry_)) {}
    ~LoadingPass() {
        if (search_ != INVALID_HANDLE_VALUE) FindClose(search_);
        SetErrorMode(oldMode_);
    }
    LoadingPass(const LoadingPass&) = delete;
    LoadingPass& operator=(const LoadingPass&) = delete;

    bool Found() const { return search_ != INVALID_HANDLE_VALUE; }
    WIN32_FIND_DATAA& Entry() { return entry_; }
    bool Next() { return FindNextFileA(search_, &entry_) != FALSE; }

private:
    UINT oldMode_;
    WIN32_FIND_DATAA entry_;
    HANDLE search_;
};

// Keeps the greatest answer other than "Nop" of the given export over every probe.
TVersionCode AskProbes(const char* exportName) {
    TVersionCode result = TVersionCode::Nop();
    for (TPlugIn* p : *DBVersionPlugIns) {
        auto fn = Export<GetVersionFn>(p, exportName);
        if (!fn) continue;
        VersionBuffer buffer;
        fn(buffer.bytes, 4);
        TVersionCode answer = buffer.Tag();
        if (result.IsNop())
            result = answer;
        else if (!answer.IsNop() && answer > result)
            result = answer;
    }
    return result;
}

void CopySavedDatabaseBack() {
    std::string folder = FindDatabaseFolder(/*retryUnderLumexData=*/false);
    std::string saved = SavedDatabaseFolder();
    const std::string failed = CopyFolderFiles(saved, folder);
    // Every file was tried; the ones that did not make it are named, so that nobody takes a
    // partly restored database for a whole one.
    if (!failed.empty())
        throw rtl::EInOutError("These saved database files could not be restored to " + folder +
                               ": " + failed);
}

void ConvertSavedDatabase() {
    VersionBuffer from, to;
    TVersionCode fromTag = TVersionCode::Nop();
    TVersionCode toTag = TVersionCode::Nop();
    std::memcpy(from.bytes, &fromTag, sizeof fromTag);
    std::memcpy(to.bytes, &toTag, sizeof toTag);
    for (TPlugIn* p : *ConverterPlugIns) {
        auto versions = Export<GetConvertVersionsFn>(p, "GetConvertVersions");
        if (!versions) continue;
        versions(from.bytes, 4, to.bytes, 4);
        if (from.Tag() == OldVersion && to.Tag() == NewVersion) {
            if (auto convert = Export<ConvertFn>(p, "Convert")) convert();
        }
    }
}

}  // namespace

int ProgressStep(int counted) { return counted > 0 ? 100 / counted : 0; }

void LoadPlugIns() {
    const std::string pattern = PluginDir + "*.dll";
    const int n = CountEntries(pattern);

    if (DBVersionPlugIns)
        DBVersionPlugIns->clear();
    else
        DBVersionPlugIns = new std::vector<TPlugIn*>();
    if (ConverterPlugIns)
        ConverterPlugIns->clear();
    else
        ConverterPlugIns = new std::vector<TPlugIn*>();

    LoadingPass pass(pattern);
    if (!pass.Found()) return;
    WIN32_FIND_DATAA& fd = pass.Entry();
    do {
        if (frmStUp) AdvanceStartupProgress(ProgressStep(n));
        std::string name = fd.cFileName;
        if (name == "_SETUP.DLL") continue;
        auto* plugIn = new TPlugIn;
        plugIn->Name = name;
        plugIn->Handle = LoadLibraryA((PluginDir + name).c_str());
        bool probe = Export<GetVersionFn>(plugIn, "GetDBVersion") != nullptr;
        bool converter = Export<GetConvertVersionsFn>(plugIn, "GetConvertVersions") != nullptr;
        if (probe) DBVersionPlugIns->push_back(plugIn);
        if (converter) ConverterPlugIns->push_back(plugIn);
    } while (pass.Next());
}

TVersionCode GetOldDatabaseVersion() { return AskProbes("GetDBVersion"); }

void RestoreSavedDatabase() {
    CreateAndShowRestoreWindow();
    NewVersion = AskProbes("GetLumexVersion");
    if (NewVersion == OldVersion)
        CopySavedDatabaseBack();
    else
        ConvertSavedDatabase();
    CloseRestoreWindow();
}
