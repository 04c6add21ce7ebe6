// For the Windows tests of the localisation runtime: the message box that a call opens.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <thread>

#include "uidriver/uidriver.h"

// Calls `show` on this thread while a second thread reads and closes the box it opens.
inline std::optional<uidriver::MessageBoxInfo> BoxShownBy(const std::function<void()>& show) {
    std::optional<uidriver::MessageBoxInfo> box;
    std::thread closer([&] {
        box = uidriver::WaitForMessageBox("", GetCurrentProcessId(), 5000);
        if (box) uidriver::CloseMessageBox(box->hwnd);
    });
    show();
    closer.join();
    return box;
}
