// Internal: whole-file reads and replace-by-rename writes.
#pragma once

#include <string>
#include <vector>

namespace dbe::detail {

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& out);
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Names (no folder) of the regular files in folder; empty when it cannot be listed.
std::vector<std::string> ListFiles(const std::string& folder);

// Writes every (path, bytes) pair to a temporary file beside it, then renames each over its
// target in the order given. Any failure removes the temporary files and raises
// EDBEngineError; a failure after some targets were replaced puts their old contents back
// (kept under a "~old" name until every rename succeeded), so the files never mix old and
// new contents.
void ReplaceFiles(const std::vector<std::pair<std::string, const std::string*>>& files);

std::string JoinPath(const std::string& folder, const std::string& name);
char PathSeparator();

}  // namespace dbe::detail
