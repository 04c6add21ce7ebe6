// Internal: validity checks of tables (.VAL files) in the table write path.
//
// Installed once per process (InstallValidityChecks, idempotent; the table layer calls it
// before it opens or creates a table). Then:
//   create  writes the .VAL file from the definition's required / min / max / default
//           (removes a stale one when the definition has no checks);
//   open    reads the .VAL file and marks the required fields in the field definitions; a
//           file that cannot be read or parsed leaves the table readable but refuses every
//           change of it (EDBEngineError ecCorrupt naming the file);
//   post    a required field left null (its default does not stand in), or a value below
//           its minimum or above its maximum, raises EDBEngineError ecValidity naming the
//           table, the field and the value, and the row is not stored; an inserted row's
//           other null fields get their defaults.
#pragma once

#include <string>

#include "dbengine/validity.h"
#include "tabledata.h"

namespace dbe::detail {

void InstallValidityChecks();

// The checks loaded for a table (nullptr when it has none).
const TValidity* ValidityOf(const TableData& t);

// Applies defaults (insert only) and the checks to a row; throws as described above.
void ApplyValidity(const TableData& t, Record& row, bool isInsert);

// Writes their defaults into the row's null fields (no checks). A batch move fills a new
// row's defaults first and then the mapped values, so that only the fields the move does not
// give get defaults, and a blank the source holds stays blank.
void ApplyDefaults(const TableData& t, Record& row);

// Writes bytes to path as a write of its table's family (fileio.h: the old file stays intact when
// writing fails). EDBEngineError on failure.
void WriteFileReplacing(const std::string& path, const std::string& bytes);

}  // namespace dbe::detail
