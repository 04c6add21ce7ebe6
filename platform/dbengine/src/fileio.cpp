#include "fileio.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

#include "dbengine/errors.h"
#include "rtl/filesteps.h"
#include "rtl/strutil.h"

namespace fs = std::filesystem;

namespace dbe::detail {

namespace {

// One change to the file system, as the crash tests' hook counts it.
class Step {
public:
    Step(const char* kind, const std::string& path) { rtl::BeforeFileStep(kind, path); }
    ~Step() { rtl::AfterFileStep(); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;
};

}  // namespace

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
    CompleteInterruptedWrites(folder);
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
    CompleteInterruptedWrites(folder);
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
    {
        Step step("remove", path);
        fs::remove(NativePath(path), ec);
    }
    return !ec || !FileExists(path);
}

void RemoveTree(const std::string& path) {
    std::error_code ec;
    Step step("remove-tree", path);
    fs::remove_all(NativePath(path), ec);
}

bool MakeFolder(const std::string& path) {
    std::error_code ec;
    Step step("mkdir", path);
    return fs::create_directory(NativePath(path), ec) && !ec;
}

bool TryRenameFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    Step step("rename", from + " -> " + to);
    fs::rename(NativePath(from), NativePath(to), ec);
    return !ec;
}

void RenameFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    {
        Step step("rename", from + " -> " + to);
        fs::rename(NativePath(from), NativePath(to), ec);
    }
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
    bool ok;
    {
        Step step("create", path);
        std::ofstream out(NativePath(path), std::ios::binary | std::ios::trunc);
        if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        ok = !out.fail();
    }
    if (!ok) throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot write file %s", path.c_str()));
}

// ---------------------------------------------------------------- writing a table family

namespace {

const char kWorkPrefix[] = "~kxwrite.";
const char kJournal[] = "undo";
const char kJournalHead[] = "kx family write 1\n";
const char kJournalEnd[] = "end\n";
const char kOld[] = "~old";

std::string FolderPart(const std::string& path) {
    const std::size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? std::string(".") : path.substr(0, p);
}
std::string NamePart(const std::string& path) {
    const std::size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}
std::string StemPart(const std::string& name) {
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// Folders compare ignoring case and separators, as on Windows.
std::string FolderKey(const std::string& folder) {
    std::string k = rtl::AsciiLower(folder);
    for (char& c : k)
        if (c == '\\') c = '/';
    while (k.size() > 1 && k.back() == '/') k.pop_back();
    return k;
}

// The folders looked into by this process, and the work folders of its writes in progress.
std::set<std::string>& CheckedFolders() {
    static std::set<std::string> s;
    return s;
}
std::set<std::string>& ActiveWork() {
    static std::set<std::string> s;
    return s;
}

bool IsFile(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(NativePath(path), ec);
}
bool Exists(const std::string& path) {
    std::error_code ec;
    return fs::exists(NativePath(path), ec);
}

bool Rename(const std::string& from, const std::string& to, std::error_code& ec) {
    Step step("rename", from + " -> " + to);
    fs::rename(NativePath(from), NativePath(to), ec);
    return !ec;
}

// Keeps the current contents of a file under a second name: a hard link where the file
// system has them, else a copy. False when it cannot.
bool KeepOldContents(const std::string& path, const std::string& backup) {
    std::error_code ec;
    {
        Step step("link", path + " -> " + backup);
        fs::create_hard_link(NativePath(path), NativePath(backup), ec);
    }
    if (!ec) return true;
    ec.clear();
    Step step("copy", path + " -> " + backup);
    return fs::copy_file(NativePath(path), NativePath(backup), fs::copy_options::overwrite_existing, ec) && !ec;
}

// A journal line: 'o' and the name of an old file kept as "<work>/<name>~old", or 'n' and the
// name of a new file that goes from "<work>/<name>" to "<folder>/<name>".
using Journal = std::vector<std::pair<char, std::string>>;

std::string JournalText(const Journal& j) {
    std::string text = kJournalHead;
    for (const auto& [kind, name] : j) text += std::string(1, kind) + " " + name + "\n";
    return text + kJournalEnd;
}

// False for a journal that is missing or was not written to its end.
bool ReadJournal(const std::string& path, Journal& j) {
    std::string text;
    if (!ReadWholeFile(path, text)) return false;
    const std::string head = kJournalHead, end = kJournalEnd;
    if (text.size() < head.size() + end.size() || text.compare(0, head.size(), head) != 0 ||
        text.compare(text.size() - end.size(), end.size(), end) != 0)
        return false;
    std::size_t at = head.size();
    const std::size_t stop = text.size() - end.size();
    while (at < stop) {
        const std::size_t nl = text.find('\n', at);
        if (nl == std::string::npos || nl > stop || nl < at + 3 || text[at + 1] != ' ') return false;
        const char kind = text[at];
        if (kind != 'o' && kind != 'n') return false;
        j.emplace_back(kind, text.substr(at + 2, nl - at - 2));
        at = nl + 1;
    }
    return true;
}

// Puts the family back as it was before the write of the journal: each new file that reached
// the folder is removed (a new file still in the work folder never did), then each old one
// kept is renamed back. Every step can be run again after a crash. False, with the journal
// left, when a step fails.
bool UndoFromJournal(const std::string& folder, const std::string& work, const Journal& j, std::string& error) {
    for (const auto& [kind, name] : j) {
        if (kind != 'n' || Exists(JoinPath(work, name))) continue;
        const std::string placed = JoinPath(folder, name);
        if (IsFile(placed) && !RemoveFile(placed)) {
            error = "cannot remove " + placed;
            return false;
        }
    }
    for (const auto& [kind, name] : j) {
        const std::string kept = JoinPath(work, name + kOld);
        if (kind != 'o' || !IsFile(kept)) continue;
        std::error_code ec;
        if (!Rename(kept, JoinPath(folder, name), ec)) {
            error = "cannot put back " + JoinPath(folder, name) + ": " + ec.message();
            return false;
        }
    }
    return true;
}

// What an interrupted write left in work (a work folder in folder): undone from its journal
// when it has a complete one, then removed.
void UndoInterruptedWrite(const std::string& folder, const std::string& work) {
    const std::string journal = JoinPath(work, kJournal);
    Journal j;
    if (ReadJournal(journal, j)) {
        std::string error;
        if (!UndoFromJournal(folder, work, j, error))
            throw EDBEngineError(ecOpenFailed, "Cannot undo the interrupted write in '" + work + "': " + error);
        if (!RemoveFile(journal))
            throw EDBEngineError(ecOpenFailed, "Cannot undo the interrupted write in '" + work + "'");
    }
    RemoveTree(work);
}

bool IsWorkFolderName(const std::string& name) {
    return name.size() > sizeof kWorkPrefix - 1 && name.compare(0, sizeof kWorkPrefix - 1, kWorkPrefix) == 0;
}

}  // namespace

std::string WorkFolderFor(const std::string& target) {
    return JoinPath(FolderPart(target), kWorkPrefix + rtl::AsciiUpper(StemPart(NamePart(target))));
}

std::string TempFileFor(const std::string& target) { return JoinPath(WorkFolderFor(target), NamePart(target)); }

void CompleteInterruptedWrites(const std::string& folder) {
    const std::string key = FolderKey(folder.empty() ? std::string(".") : folder);
    if (!CheckedFolders().insert(key).second) return;
    // Read-only unless a work folder is there: the saved database is never written.
    std::vector<std::string> works;
    std::error_code ec;
    fs::directory_iterator it(NativePath(folder.empty() ? std::string(".") : folder), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        std::string name;
        if (it->is_directory(ec2) && PathText(it->path().filename(), name) && IsWorkFolderName(name))
            works.push_back(JoinPath(folder, name));
    }
    try {
        for (const std::string& w : works)
            if (!ActiveWork().count(FolderKey(w))) UndoInterruptedWrite(folder, w);
    } catch (...) {
        CheckedFolders().erase(key);   // looked at again next time
        throw;
    }
}

FamilyWrite::FamilyWrite(const std::string& dbPath)
    : folder_(FolderPart(dbPath)), work_(WorkFolderFor(dbPath)) {
    CompleteInterruptedWrites(folder_);
    if (ActiveWork().count(FolderKey(work_)))
        throw EDBEngineError(ecState, "Table '" + dbPath + "' is being written");
    std::error_code ec;
    if (fs::is_directory(NativePath(work_), ec)) UndoInterruptedWrite(folder_, work_);
    if (!MakeFolder(work_))
        throw EDBEngineError(ecOpenFailed, "Cannot create the folder '" + work_ + "'");
    ActiveWork().insert(FolderKey(work_));
}

FamilyWrite::~FamilyWrite() {
    ActiveWork().erase(FolderKey(work_));
    if (!done_) RemoveTree(work_);
}

namespace {
std::vector<std::string> NameParts(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const std::string& p : paths) names.push_back(NamePart(p));
    return names;
}
}  // namespace

void FamilyWrite::Commit(const std::vector<std::string>& targets) {
    const std::vector<std::string> names = NameParts(targets);
    Run(names, names, true);
}

void FamilyWrite::CommitRowless(const std::vector<std::string>& targets) {
    const std::vector<std::string> names = NameParts(targets);
    Run(names, names, false);
}

void FamilyWrite::CommitFamily(const std::vector<std::string>& oldFamily) {
    std::vector<std::string> news;
    std::error_code ec;
    fs::directory_iterator it(NativePath(work_), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        std::string name;
        if (it->is_regular_file(ec2) && PathText(it->path().filename(), name)) news.push_back(name);
    }
    if (ec) throw EDBEngineError(ecOpenFailed, "Cannot read the folder '" + work_ + "'");
    Run(oldFamily, news, false);
}

// olds: the names in the folder whose old files the write replaces or drops (those that do not
// exist are passed over); news: the names of the new files in the work folder.
void FamilyWrite::Run(const std::vector<std::string>& olds, const std::vector<std::string>& news, bool renameOver) {
    Journal j;
    for (const std::string& name : olds)
        if (IsFile(JoinPath(folder_, name))) j.emplace_back('o', name);
    for (const std::string& name : news) j.emplace_back('n', name);
    const std::string journal = JoinPath(work_, kJournal);
    // Steps 2 (renamed over: a second name for each old file) and 3. Nothing in the folder has
    // changed yet: a failure leaves it as it is, and the work folder goes with the destructor.
    if (renameOver)
        for (const auto& [kind, name] : j)
            if (kind == 'o' && !KeepOldContents(JoinPath(folder_, name), JoinPath(work_, name + kOld)))
                throw EDBEngineError(ecOpenFailed, rtl::Format("Cannot write file %s", JoinPath(folder_, name).c_str()));
    WriteWholeFile(journal, JournalText(j));
    // Step 4.
    std::string error;
    for (const auto& [kind, name] : j) {
        if (renameOver && kind == 'o') continue;
        std::error_code ec;
        const std::string inFolder = JoinPath(folder_, name);
        const bool ok = kind == 'o' ? Rename(inFolder, JoinPath(work_, name + kOld), ec)
                                    : Rename(JoinPath(work_, name), inFolder, ec);
        if (!ok) {
            error = rtl::Format("Cannot replace file %s: %s", inFolder.c_str(), ec.message().c_str());
            break;
        }
    }
    // Step 5, or the undo.
    if (error.empty() && RemoveFile(journal)) {
        done_ = true;
        ActiveWork().erase(FolderKey(work_));
        RemoveTree(work_);
        return;
    }
    if (error.empty()) error = "Cannot write file " + journal;
    std::string undoError;
    if (UndoFromJournal(folder_, work_, j, undoError) && RemoveFile(journal)) {
        done_ = false;   // the destructor removes the work folder
        throw EDBEngineError(ecOpenFailed, error);
    }
    // Left for the next look into the folder to undo.
    done_ = true;
    ActiveWork().erase(FolderKey(work_));
    CheckedFolders().erase(FolderKey(folder_));
    throw EDBEngineError(ecOpenFailed, error + "; " + undoError);
}

void ReplaceFiles(const std::vector<std::pair<std::string, const std::string*>>& files) {
    if (files.empty()) return;
    FamilyWrite write(files.front().first);
    std::vector<std::string> targets;
    for (const auto& [path, bytes] : files) {
        WriteWholeFile(TempFileFor(path), *bytes);
        targets.push_back(path);
    }
    write.Commit(targets);
}

}  // namespace dbe::detail
