// Scratch folders for the converter tests: one fresh, empty folder per name and run.
#pragma once

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <process.h>
#define KX_TEST_PID _getpid()
#else
#include <unistd.h>
#define KX_TEST_PID getpid()
#endif

namespace kxtest {

// <temp>/kx_converters_<pid>/<name>_<n>, created empty.
inline std::filesystem::path FreshFolder(const std::string& name) {
    namespace fs = std::filesystem;
    // Removed with everything in it when the test program ends.
    static struct Base {
        fs::path path = fs::temp_directory_path() / ("kx_converters_" + std::to_string(KX_TEST_PID));
        ~Base() {
            std::error_code ec;
            fs::remove_all(path, ec);
        }
    } base_;
    static int counter = 0;
    const fs::path& base = base_.path;
    fs::path p = base / (name + "_" + std::to_string(++counter));
    std::error_code ec;
    fs::remove_all(p, ec);
    fs::create_directories(p);
    return p;
}

}  // namespace kxtest
