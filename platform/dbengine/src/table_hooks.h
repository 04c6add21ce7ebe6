// Internal: hook points in the table write path, for the engine's other modules (validity
// checks, maintained secondary indexes).
//
// Hooks are registered process-wide (usually from a static initialiser of the module) and
// called for every table in registration order:
//   OnOpen       after a table family was loaded (read .VAL / .XGn here; keep state in
//                TableData::extensions).
//   OnCreate     after CreateTable wrote an empty table (write .VAL / .XGn from the definition).
//   BeforePost   before a row is inserted (isInsert) or an edited row is stored; may change
//                the row (defaults) or throw EDBEngineError (refused value); a throw leaves
//                the table unchanged.
//   AfterChange  after rows changed: old is the row before (nullptr for an insert), now the
//                row after (nullptr for a delete).
//   AfterSave    after the table's files were written (write index files that follow the
//                rows here).
#pragma once

#include <functional>
#include <string>

#include "tabledata.h"

namespace dbe::detail {

struct TableHooks {
    std::function<void(TableData&)> OnOpen;
    std::function<void(TableData&, const CreateSpec&)> OnCreate;
    std::function<void(TableData&, Record& row, bool isInsert)> BeforePost;
    std::function<void(TableData&, const Record* old, const Record* now)> AfterChange;
    std::function<void(TableData&)> AfterSave;
};

// Registers a set of hooks (empty members are skipped). Returns an id (for tests).
int RegisterTableHooks(TableHooks hooks);
void UnregisterTableHooks(int id);

// An OnCreate hook that runs step and, when it fails, deletes the new table's whole family
// before the error propagates, so that a definition which cannot be stored leaves nothing.
std::function<void(TableData&, const CreateSpec&)> CreateStepRemovingFamilyOnFailure(
    void (*step)(TableData&, const CreateSpec&));

// Called by the table layer.
void RunOnOpen(TableData& t);
void RunOnCreate(TableData& t, const CreateSpec& spec);
void RunBeforePost(TableData& t, Record& row, bool isInsert);
void RunAfterChange(TableData& t, const Record* old, const Record* now);
void RunAfterSave(TableData& t);

}  // namespace dbe::detail
