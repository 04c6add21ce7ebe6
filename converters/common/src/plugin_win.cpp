#include "converters/plugin.h"

#include <windows.h>

namespace conv {

namespace {

// The module this code is linked into (the converter DLL), found from one of its addresses,
// so no initialisation code is needed when the library is loaded.
HMODULE OwnModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnModule), &module);
    return module;
}

}  // namespace

void TPluginSteps::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave the quit request for the host's own loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string SavedFolderPath() {
    char buffer[256] = {};
    GetTempPathA(255, buffer);
    return std::string(buffer) + "tmpDB";
}

void ConvertFromModuleArchive(TConverterSteps& steps) {
    HMODULE module = OwnModule();
    HRSRC info = FindResourceA(module, "ARCHIVE1", MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    HGLOBAL handle = info ? LoadResource(module, info) : nullptr;
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data) throw rtl::EResNotFound("Resource ARCHIVE1 not found");
    RunConversion(SavedFolderPath(), data, SizeofResource(module, info), steps);
}

}  // namespace conv
