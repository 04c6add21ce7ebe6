// Internal: the engine's only contact with the file system: whole-file reads, folder
// listings, removals, renames and replace-by-rename writes.
//
// Paths are 8-bit text, as everywhere in the program: in the ANSI code page on Windows, plain
// bytes natively. NativePath and PathText are the one place where they turn into the file
// system library's wide paths and back (MultiByteToWideChar / WideCharToMultiByte with
// CP_ACP); nothing else in the engine builds a std::filesystem::path from text. Nothing here
// lets a std::filesystem exception out: the functions answer false / empty, or raise
// EDBEngineError naming the path where they say so. Every change to the file system passes
// the crash tests' hook (rtl/filesteps.h).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace dbe::detail {

std::filesystem::path NativePath(const std::string& path);
// The 8-bit form of a path; false when it has none (a name outside the ANSI code page).
bool PathText(const std::filesystem::path& path, std::string& out);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);
// Writes bytes as the whole file at path; EDBEngineError (ecOpenFailed) when it cannot.
void WriteWholeFile(const std::string& path, const std::string& bytes);
// Reads the first n bytes (fewer when the file is shorter); false when it cannot be opened.
bool ReadFileStart(const std::string& path, std::size_t n, std::string& out);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Names (no folder) of the regular files in folder; empty when it cannot be listed. Names
// that have no 8-bit form are left out (no 8-bit path could open them). Both this and
// FindNameNoCase(folder, ...) first complete what interrupted writes left in the folder.
std::vector<std::string> ListFiles(const std::string& folder);
// The name of the regular file in folder that is `name` without regard to ASCII letter case
// (the exact name first); "" when there is none. The second form looks in a listing that
// ListFiles made, for callers that look up several names in one folder.
std::string FindNameNoCase(const std::string& folder, const std::string& name);
std::string FindNameNoCase(const std::vector<std::string>& listing, const std::string& name);

// Removes a file; true when it is gone (or was never there).
bool RemoveFile(const std::string& path);
// Removes a folder with everything in it, as far as it can; never raises.
void RemoveTree(const std::string& path);
// Creates a folder; true only when this call created it.
bool MakeFolder(const std::string& path);
// Renames a file; EDBEngineError (ecOpenFailed) naming both paths when it cannot.
void RenameFile(const std::string& from, const std::string& to);
// Renames without raising; false when it cannot.
bool TryRenameFile(const std::string& from, const std::string& to);

// ---------------------------------------------------------------- writing a table family
//
// Every write of a table's files goes through one protocol, so that a crash at any of its
// steps leaves the family as it was before the write or as the write makes it, and the next
// look into the folder puts it back before anything reads it:
//   1. The new files are written under their own names into the family's work folder, a
//      sub-folder of the table's folder (WorkFolderFor); the table's files are not touched.
//   2. The old contents that the write replaces are kept in the work folder as
//      "<name>~old": a hard link (or a copy) when the new files are renamed over the old ones,
//      the old file itself when it is moved aside first.
//   3. A journal ("undo" in the work folder) names every file the write puts in place and
//      every old file it keeps; it is complete before the first change in the table's folder.
//   4. The new files are renamed into the table's folder (and old ones moved aside).
//   5. The journal is removed: the write is done. Then the work folder is removed.
// A failure in step 4 undoes what was done from the journal (the new files removed, the old
// ones put back); an interrupted write is undone the same way by CompleteInterruptedWrites,
// which the first look into a folder in a process runs (ListFiles, FindNameNoCase), and by the
// next write of the family. A work folder without a complete journal only holds new files
// that never reached the table: it is removed.

// The work folder of the family that file `target` belongs to (in the same folder, named
// after the table without regard to ASCII letter case).
std::string WorkFolderFor(const std::string& target);
// Where the new contents of target are written before they are put in place.
std::string TempFileFor(const std::string& target);

class FamilyWrite {
public:
    // Starts a write of the family of the table file at dbPath: undoes what an interrupted
    // write of it left, then creates its work folder. EDBEngineError when either fails.
    explicit FamilyWrite(const std::string& dbPath);
    // Without a commit, the work folder and the new files in it are removed.
    ~FamilyWrite();
    FamilyWrite(const FamilyWrite&) = delete;
    FamilyWrite& operator=(const FamilyWrite&) = delete;

    // The work folder (no trailing separator).
    const std::string& Folder() const { return work_; }
    // Puts every target's new file (TempFileFor) in place by renaming it over the old one, so
    // that a target always exists (and a file system that writes a renamed-over file's data
    // out first keeps the old or the new contents through a power cut).
    void Commit(const std::vector<std::string>& targets);
    // The same, the old files moved aside first rather than renamed over: cheaper where a
    // renamed-over file's data is written out at once (ext4's auto_da_alloc), so kept for old
    // files that hold no rows.
    void CommitRowless(const std::vector<std::string>& targets);
    // Replaces the whole family: every file of the work folder goes in, and every file named
    // in oldFamily (names in the table's folder) is moved aside first and not kept.
    void CommitFamily(const std::vector<std::string>& oldFamily);
    // Each Commit raises EDBEngineError when it fails, the family then as it was.

private:
    void Run(const std::vector<std::string>& olds, const std::vector<std::string>& news, bool renameOver);

    std::string folder_, work_;
    bool done_ = false;
};

// Writes every (path, bytes) pair of one table family as that family's new files and
// renames them over their targets (FamilyWrite::Commit).
void ReplaceFiles(const std::vector<std::pair<std::string, const std::string*>>& files);

// Undoes what interrupted writes left in folder (see above); once per folder and process.
// EDBEngineError when an interrupted write cannot be undone.
void CompleteInterruptedWrites(const std::string& folder);

std::string JoinPath(const std::string& folder, const std::string& name);
char PathSeparator();

}  // namespace dbe::detail
