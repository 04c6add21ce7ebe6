// Internal: the engine's only contact with the file system: whole-file reads, folder
// listings, removals, renames and replace-by-rename writes.
//
// Paths are 8-bit text, as everywhere in the program: in the ANSI code page on Windows, plain
// bytes natively. NativePath and PathText are the one place where they turn into the file
// system library's wide paths and back (MultiByteToWideChar / WideCharToMultiByte with
// CP_ACP); nothing else in the engine builds a std::filesystem::path from text. Nothing here
// lets a std::filesystem exception out: the functions answer false / empty, or raise
// EDBEngineError naming the path where they say so.
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
// that have no 8-bit form are left out (no 8-bit path could open them).
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

// Writes every (path, bytes) pair to a temporary file beside it, then renames each over its
// target in the order given. Any failure removes the temporary files and raises
// EDBEngineError; a failure after some targets were replaced puts their old contents back
// (kept meanwhile as target + "~old"), so the files never mix old and new contents.
void ReplaceFiles(const std::vector<std::pair<std::string, const std::string*>>& files);
// The same for files already written beside their targets under the name target + "~"
// (TempFileFor): each is put in place of its target, in the order given, or all are removed.
void ReplaceByWritten(const std::vector<std::string>& targets);
// The same for targets whose old files hold no rows (a table that was empty): the old files are
// first renamed to target + "~old", then the new ones renamed in, then the old ones removed,
// which spares file systems that flush a renamed-over file at once that flush.
void ReplaceRowlessByWritten(const std::vector<std::string>& targets);
inline std::string TempFileFor(const std::string& target) { return target + "~"; }

std::string JoinPath(const std::string& folder, const std::string& name);
char PathSeparator();

}  // namespace dbe::detail
