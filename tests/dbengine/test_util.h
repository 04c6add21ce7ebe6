// Helpers shared by the engine's tests: scratch folders and small table definitions.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "tabledata.h"

namespace kxtest {

// A fresh, empty folder under the system's temporary folder; removed at the end.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& tag) {
        static int counter = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("kxdb-" + tag + "-" + std::to_string(++counter) + "-" + std::to_string(Stamp()));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    std::string str() const { return path_.string(); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    static long Stamp() {
        return static_cast<long>(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007);
    }
    std::filesystem::path path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
inline void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline dbe::detail::FieldSpec Field(const std::string& name, dbe::TFieldType type, int size = 0,
                                    bool key = false) {
    dbe::detail::FieldSpec f;
    f.name = name;
    f.type = type;
    f.size = size;
    f.key = key;
    return f;
}

}  // namespace kxtest
