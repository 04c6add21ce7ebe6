// Copies every file (no subfolders) of one folder into another, overwriting.
#pragma once

#include <string>

// Both folders end with a separator. Searches from + "\*.*" (entries of every kind but
// folders), copies from + name to to + name for each, and goes on past failures. Returns the
// names that could not be copied, separated by ", " (empty when all were copied); the folder
// `from` itself stands among them when it cannot be listed (gone, access denied, too long a
// path) or its listing ends with an error. An empty folder copies nothing and fails nothing.
// A read-only file of the same name in the target is overwritten like any other.
std::string CopyFolderFiles(const std::string& from, const std::string& to);
