// Internal: maintained secondary indexes of a table, the .XGn / .YGn file pairs.
//
// A named single-field index is stored as an index table (.XGn) whose records hold the
// indexed field, the table's key fields and a Short "Hint" (the number of the table block
// that holds the row), keyed on all fields but Hint, plus the primary index of that index
// table (.YGn). The .XGn header is a table header (file type 8) followed, after the sort
// order name, by the index name.
//
// Installed once per process (InstallSecondaryIndexes). Then:
//   create  records the definition's indexes and writes them (empty);
//   open    reads the index definitions from the .XGn headers under the rules that creating
//           them applies (a keyed table, one field that is no BLOB and the table's key, a
//           name of 1 to 31 characters, given once); a header that does not parse or breaks
//           one leaves the table readable but refuses every change of it (EDBEngineError
//           ecCorrupt naming the file): an index is never dropped or left stale silently;
//   save    the table writer rebuilds every index of the table completely from its rows
//           (SecondaryIndexFiles) and puts the files in place together with the table's
//           own, so an index is never left stale.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tabledata.h"

namespace dbe::detail {

struct SecondaryIndexDef {
    std::string name;   // e.g. "IndProf1"
    int field = -1;     // index into schema.fields
    int slot = 0;       // n of .XGn / .YGn
};

void InstallSecondaryIndexes();

// The indexes known for a table (empty when none).
std::vector<SecondaryIndexDef> SecondaryIndexesOf(const TableData& t);

// The .XGn / .YGn images of one index over the table's current rows; hints are the table
// blocks that hold each row in key order (one entry per row).
TableImage BuildSecondaryIndex(const TableData& t, const SecondaryIndexDef& def,
                               const std::vector<uint16_t>& hints);

// The layout of def's index table (indexed field, the table's key fields, Hint) and, in
// from, the table field of each index field but Hint.
Schema SecondaryIndexSchema(const TableData& t, const SecondaryIndexDef& def, std::vector<int>& from);

// Writes the .XGn / .YGn files of def for the table at tablePath, as the temporary files beside
// their targets (TempFileFor), from the table's n rows given in its key order, as
// BuildSecondaryIndex lays them out: record(k, out) writes row k's indexed value and key (the
// index record but its Hint: the block that holds row k, filled in here, as the table's writer
// packs its blocks); value(k) points to its indexed value.
void WriteSecondaryIndex(const TableData& t, const SecondaryIndexDef& def, uint32_t n,
                         const std::function<const char*(uint32_t)>& value,
                         const std::function<void(uint32_t, char*)>& record, const std::string& tablePath);

// The file of a table's family with this extension (".XG0"), in the letter case of an
// existing one.
std::string SecondaryIndexFile(const std::string& dbPath, const std::string& ext);
// The files of a table family written anew, in the order they are put in place: .MB (a table
// with BLOB fields), .DB, .PX (a keyed table), then each index's .XGn and .YGn.
std::vector<std::string> FamilyFilesToWrite(const Schema& s, const std::string& dbPath,
                                            const std::vector<SecondaryIndexDef>& indexes);
std::string XgExtension(int slot);
std::string YgExtension(int slot);

// Reads the block chain of a written .DB file: for each row in chain order, its block.
std::vector<uint16_t> ReadRowBlocks(const std::string& dbPath);
std::vector<uint16_t> RowBlocksOfImage(const std::string& name, const std::string& dbImage);

// The (path, bytes) of every index file of the table for the table image about to be
// written, so that a save can put them in place together with the table's own files.
std::vector<std::pair<std::string, std::string>> SecondaryIndexFiles(const TableData& t, const std::string& dbImage);

// Parses an .XGn header: index name, indexed field name and the table field number.
bool ParseIndexHeader(const std::string& bytes, std::string& indexName, std::string& fieldName,
                      int& tableFieldNo, std::string& error);

// Rewrites every index file of the table from its rows now.
void RebuildSecondaryIndexes(TableData& t);

}  // namespace dbe::detail
