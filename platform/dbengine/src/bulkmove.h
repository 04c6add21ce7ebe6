// Internal: the batch move's bulk path (see batchmove.cpp), which append-update moves into an
// empty table take. Tests switch it off to compare its files with the row-by-row path's.
#pragma once

namespace dbe::detail {

// True (the default) while batch moves may take the bulk path.
bool& BulkMovesEnabled();
// Moves that took the bulk path in this process.
int& BulkMovesDone();

}  // namespace dbe::detail
