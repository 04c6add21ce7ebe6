// The conversion that both converters run inside Convert: a saved database of the old version
// becomes the database of the new version.
//
// RunConversion works on three places: the saved folder (read through the alias TEMP_ALIAS,
// which it creates and leaves in place), the folder of the alias KorvixNetGlobal (written)
// and the new database's archive (unpacked over that folder). It appends the rows of every
// saved table to the new table of the same name (copying the saved table when that fails)
// and widens the access-group door strings.
//
// Raises whatever the engine, the archive reader and the converter's own steps raise (only
// an EDBEngineError of a table's move is handled: it starts the copy fallback). A saved table
// that cannot be opened, or that neither the append nor the copy could move, does not stop
// the run: after the last step an EDBEngineError names every such table with its reason
// (also when a later step fails: then the error names that failure too).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "dbengine/table.h"

namespace conv {

// What a converter adds to the common run. The default steps do nothing.
class TConverterSteps {
public:
    virtual ~TConverterSteps();
    // Lets the host process its pending messages (called twice: at the start and after the
    // archive's directory is read).
    virtual void ProcessMessages();
    // A saved table's append succeeded; tableName as the engine listed it.
    virtual void TableMoved(const std::string& tableName);
    // Every saved table has been handled (called in every case, also with no tables).
    virtual void TablesDone();
};

extern const char* const kTempAlias;    // "TEMP_ALIAS"
extern const char* const kNewDatabase;  // "KorvixNetGlobal"

// savedFolder: the saved database's folder, without a trailing separator. archive: the ZIP
// image of the new database's empty tables (borrowed for the call).
void RunConversion(const std::string& savedFolder, const void* archive, std::size_t archiveSize,
                   TConverterSteps& steps);

// The batch-move mapping lines of a saved table: "Name=Name" for every field in field order,
// except the field named exactly "OperNum".
std::vector<std::string> MappingFor(const std::vector<dbe::TFieldDef>& fields);

// The access-group door string of the new version: the first 60 characters of the saved one,
// then 68 characters "D". (The fix cuts it to the width of a narrower, copied field.)
std::string WidenAccessDoors(const std::string& saved);

}  // namespace conv
