#include "fileio.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

#include "dbengine/errors.h"
#include "rtl/strutil.h"

namespace fs = std::filesystem;

namespace dbe::detail {

fs::path NativePath(const std::string& path) {
#ifdef _WIN32
    // The file system library would widen the bytes one by one (as Latin-1); the program's
    // 8-bit paths are in the ANSI code page.
    if (path.empty()) return fs::path();
    const int n = MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, path.data(), static_cast<int>(path.size()), wide.data(), n);
    return fs::path(wide);
#else
    return fs::path(path);
#endif
}

bool PathText(const fs::path& path, std::string& out) {
#ifdef _WIN32
    const std::wstring& wide = path.native();
    out.clear();
    if (wide.empty()) return true;
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy) return false;
    out.assign(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, &lossy);
    return !lossy;
#else
    out = path.native();
    return true;
#endif
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0, std::ios::beg);
    out.assign(static_cast<std::size_t>(size), '\0');
    if (size > 0 && !in.read(out.data(), size)) return false;
    return true;
}

bool ReadFileStart(const std::string& path, std::size_t n, std::string& out) {
    std::ifstream in(NativePath(path), std::ios::binary);
    if (!in) return false;
    out.assign(n, '\0');
    in.read(out.data(), static_cast<std::streamsize>(n));
    out.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(NativePath(path), ec);
}

bool DirectoryExists(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(NativePath(path), ec);
}

std::vector<std::string> ListFiles(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(NativePath(folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        std::string name;
        if (it->is_regular_file(ec2) && PathText(it->path().filename(), name)) names.push_back(name);
    }
    return names;
}

std::string FindNameNoCase(const std::vector<std::string>& listing, const std::string& name) {
    for (const std::string& n : listing)
        if (n == name) return n;
    for (const std::string& n : listing)
        if (rtl::AsciiSameText(n, name)) return n;
    return std::string();
}

std::string FindNameNoCase(const std::string& folder, const std::string& name) {
#ifndef _WIN32
    // Where names are told apart by case, a regular file of exactly this name is the one a
    // listing finds first: no need to read the folder. (Windows finds a name whatever its
    // case, and would not say the case stored.)
    std::error_code ec;
    if (fs::is_regular_file(NativePath(JoinPath(folder, name)), ec)) return name;
#endif
    return FindNameNoCase(ListFiles(folder), name);
}

bool RemoveFile(const std::string& path) {
    std::error_code ec;
    fs::remove(NativePath(path), ec);
    return !ec || !FileExists(path);
}

void RemoveTree(const std::string& path) {
    std::error_code ec;
    fs::remove_all(NativePath(path), ec);
}

bool MakeFolder(const std::string& path) {
    std::error_code ec;
    return fs::create_directory(NativePath(path), ec) && !ec;
}

bool TryRenameFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::rename(NativePath(from), NativePath(to), ec);
    return !ec;
}

void RenameFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::rename(NativePath(from), NativePath(to), ec);
    if (ec) throw EDBEngineError(ecOpenFailed, "Cannot move '" + from + "' to '" + to + "': " + ec.message());
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

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot write file %s", path.c_str()));
}

namespace {

// Keeps the current contents of a file under a second name: a hard link where the file
// system has them, else a copy. False when it cannot.
bool KeepOldContents(const std::string& path, const std::string& backup) {
    std::error_code ec;
    fs::remove(NativePath(backup), ec);
    ec.clear();
    fs::create_hard_link(NativePath(path), NativePath(backup), ec);
    if (!ec) return true;
    ec.clear();
    return fs::copy_file(NativePath(path), NativePath(backup), fs::copy_options::overwrite_existing, ec) && !ec;
}

}  // namespace

void ReplaceFiles(const std::vector<std::pair<std::string, const std::string*>>& files) {
    std::vector<std::string> temps;
    auto removeAll = [](const std::vector<std::string>& paths) {
        for (auto& t : paths) {
            std::error_code ec;
            if (!t.empty()) fs::remove(NativePath(t), ec);
        }
    };
    for (auto& [path, bytes] : files) {
        std::string tmp = path + "~";
        temps.push_back(tmp);
        std::ofstream out(NativePath(tmp), std::ios::binary | std::ios::trunc);
        if (out) out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
        out.close();
        if (!out) {
            removeAll(temps);
            throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot write file %s", path.c_str()));
        }
    }
    std::vector<std::string> targets;
    for (auto& f : files) targets.push_back(f.first);
    ReplaceByWritten(targets);
}

// Each new file is renamed over its target, so that a target always exists and, on file
// systems that write a renamed-over file's data out first, a crash leaves the old or the new
// contents, never an empty file. The old contents of all but the last file are kept (hard
// links) until every rename went through, so a failure half way puts them back.
void ReplaceByWritten(const std::vector<std::string>& targets) {
    std::vector<std::string> temps, backups;
    auto removeAll = [](const std::vector<std::string>& paths) {
        for (auto& t : paths) {
            std::error_code ec;
            if (!t.empty()) fs::remove(NativePath(t), ec);
        }
    };
    std::vector<std::pair<std::string, int>> files;
    for (auto& t : targets) {
        temps.push_back(t + "~");
        files.emplace_back(t, 0);
    }
    // With more than one file, a rename that fails after others succeeded must be undone:
    // the old contents of every file but the last are kept until the end.
    for (std::size_t i = 0; i + 1 < files.size(); ++i) {
        const std::string& path = files[i].first;
        std::error_code ec;
        if (!fs::is_regular_file(NativePath(path), ec)) {
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
        fs::rename(NativePath(temps[i]), NativePath(files[i].first), ec);
        if (ec) {
            for (std::size_t j = i; j-- > 0;) {
                std::error_code ec2;
                if (backups[j].empty()) fs::remove(NativePath(files[j].first), ec2);
                else fs::rename(NativePath(backups[j]), NativePath(files[j].first), ec2);
            }
            removeAll(std::vector<std::string>(temps.begin() + static_cast<std::ptrdiff_t>(i), temps.end()));
            removeAll(backups);
            throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot replace file %s: %s",
                                                           files[i].first.c_str(), ec.message().c_str()));
        }
    }
    removeAll(backups);
}


// The old files are moved aside before the new ones are renamed in, rather than having the
// new ones renamed over them: renaming over an existing file makes some file systems (ext4's
// auto_da_alloc) write the new file's data out at once, which costs more than the rest of a
// large move. The price is a moment in which a target does not exist and, after a crash, a
// new file whose data may not have reached the disk: acceptable only where the old files hold
// no rows. Each step is undone on a failure: the files placed are removed, the old ones
// renamed back, so the family never mixes old and new contents.
void ReplaceRowlessByWritten(const std::vector<std::string>& targets) {
    auto removeAll = [](const std::vector<std::string>& paths) {
        for (auto& t : paths) {
            std::error_code ec;
            if (!t.empty()) fs::remove(NativePath(t), ec);
        }
    };
    std::vector<std::string> temps, aside;   // aside[i]: where target i's old file went ("" none)
    for (auto& t : targets) temps.push_back(TempFileFor(t));
    auto putBack = [&] {
        for (std::size_t j = aside.size(); j-- > 0;) {
            std::error_code ec;
            if (!aside[j].empty()) fs::rename(NativePath(aside[j]), NativePath(targets[j]), ec);
        }
    };
    for (const std::string& path : targets) {
        std::error_code ec;
        if (!fs::is_regular_file(NativePath(path), ec)) {
            aside.emplace_back();   // nothing to keep
            continue;
        }
        const std::string old = path + "~old";
        fs::remove(NativePath(old), ec);   // left by an earlier run that was cut short
        ec.clear();
        fs::rename(NativePath(path), NativePath(old), ec);
        if (ec) {
            putBack();
            removeAll(temps);
            throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot replace file %s: %s", path.c_str(),
                                                           ec.message().c_str()));
        }
        aside.push_back(old);
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        std::error_code ec;
        fs::rename(NativePath(temps[i]), NativePath(targets[i]), ec);
        if (ec) {
            removeAll(std::vector<std::string>(targets.begin(), targets.begin() + static_cast<std::ptrdiff_t>(i)));
            putBack();
            removeAll(std::vector<std::string>(temps.begin() + static_cast<std::ptrdiff_t>(i), temps.end()));
            throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot replace file %s: %s", targets[i].c_str(),
                                                           ec.message().c_str()));
        }
    }
    removeAll(aside);
}

}  // namespace dbe::detail
