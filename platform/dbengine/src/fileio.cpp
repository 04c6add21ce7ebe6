#include "fileio.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "dbengine/errors.h"
#include "rtl/strutil.h"

namespace fs = std::filesystem;

namespace dbe::detail {

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(fs::path(path), std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0, std::ios::beg);
    out.assign(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(out.data(), size)) return false;
    return true;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::path(path), ec);
}

bool DirectoryExists(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

std::vector<std::string> ListFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (it->is_regular_file(ec2)) names.push_back(it->path().filename().string());
    }
    return names;
}

char PathSeparator() {
#ifdef _WIN32
    return '\\';
#else
    return '/';
#endif
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    char last = folder.back();
    if (last == '/' || last == '\\') return folder + name;
    return folder + PathSeparator() + name;
}

namespace {

// Keeps the current contents of a file under a second name: a hard link where the file
// system has them, else a copy. False when it cannot.
bool KeepOldContents(const std::string& path, const std::string& backup) {
    std::error_code ec;
    fs::remove(fs::path(backup), ec);
    ec.clear();
    fs::create_hard_link(fs::path(path), fs::path(backup), ec);
    if (!ec) return true;
    ec.clear();
    return fs::copy_file(fs::path(path), fs::path(backup), fs::copy_options::overwrite_existing, ec) && !ec;
}

}  // namespace

void ReplaceFiles(const std::vector<std::pair<std::string, const std::string*>>& files) {
    std::vector<std::string> temps, backups;
    auto removeAll = [](const std::vector<std::string>& paths) {
        for (auto& t : paths) {
            std::error_code ec;
            if (!t.empty()) fs::remove(fs::path(t), ec);
        }
    };
    for (auto& [path, bytes] : files) {
        std::string tmp = path + "~";
        temps.push_back(tmp);
        std::ofstream out(fs::path(tmp), std::ios::binary | std::ios::trunc);
        if (out) out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
        out.close();
        if (!out) {
            removeAll(temps);
            throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot write file %s", path.c_str()));
        }
    }
    // With more than one file, a rename that fails after others succeeded must be undone:
    // the old contents of every file but the last are kept until the end.
    for (std::size_t i = 0; i + 1 < files.size(); ++i) {
        const std::string& path = files[i].first;
        std::error_code ec;
        if (!fs::is_regular_file(fs::path(path), ec)) {
            backups.emplace_back();   // nothing to keep
            continue;
        }
        backups.push_back(path + "~old");
        if (!KeepOldContents(path, backups.back())) {
            removeAll(temps);
            removeAll(backups);
            throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot write file %s", path.c_str()));
        }
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::error_code ec;
        fs::rename(fs::path(temps[i]), fs::path(files[i].first), ec);
        if (ec) {
            for (std::size_t j = i; j-- > 0;) {
                std::error_code ec2;
                if (backups[j].empty()) fs::remove(fs::path(files[j].first), ec2);
                else fs::rename(fs::path(backups[j]), fs::path(files[j].first), ec2);
            }
            removeAll(std::vector<std::string>(temps.begin() + static_cast<std::ptrdiff_t>(i), temps.end()));
            removeAll(backups);
            throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot replace file %s: %s",
                                                           files[i].first.c_str(), ec.message().c_str()));
        }
    }
    removeAll(backups);
}

}  // namespace dbe::detail
