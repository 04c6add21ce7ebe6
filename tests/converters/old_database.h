// Saved databases of the old versions for the conversion tests: the empty tables that the
// build made from fixtures/<version>/*.tdef, filled with generated rows (text in code page
// 1251, memos longer than the record keeps, pictures, blank values), and row comparison
// helpers.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kxtest {

namespace fs = std::filesystem;

// The 8-bit form of a path as the program takes paths: in the ANSI code page on Windows
// (fs::path::string() would give UTF-8 there), the bytes natively.
std::string AnsiPath(const fs::path& p);

// One row: lower-cased field name -> value (AsString, BLOB bytes for Memo and Graphic).
using Row = std::map<std::string, std::string>;

struct OldDatabaseSize {
    int persons = 300;
    int doors = 120;
};

// Copies the fixture tables of version ("L2.1" or "L2.5") into folder and fills them.
void MakeOldDatabase(const std::string& version, const fs::path& folder, OldDatabaseSize size = {});

// Every row of a table of folder.
std::vector<Row> ReadRows(const fs::path& folder, const std::string& table);

// The saved rows that have no row in `now` with the same values in every field of the saved
// row (compared by lower-cased name) except those in `skip` (lower case); "" when all arrived,
// else a description of the first few missing rows.
std::string MissingRows(const std::vector<Row>& saved, const std::vector<Row>& now,
                        const std::vector<std::string>& skip);

// The new database as a freshly installed product has it: the archive's tables unpacked.
void MakeInstalledDatabase(const fs::path& folder);

}  // namespace kxtest
