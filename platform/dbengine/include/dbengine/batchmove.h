// Batch moves: rows of one table into another, by a list of "Dest=Source" field mappings.
//
//   batAppendUpdate  appends the source's rows to the destination; a row whose primary key
//                    equals a destination row's (or an earlier moved row's) replaces it.
//                    Unmapped destination fields get their defaults, mapped ones keep the
//                    source value, a blank one too; validity checks apply;
//                    BLOB values travel with the row.
//   batAppend        the same without replacing: an equal key is a key violation.
//   batCopy          deletes the destination table's whole family and creates it anew, with
//                    the mapped source fields (type, size, required flag), no key and no
//                    index, then appends every source row.
// A move is all-or-nothing: when it fails, the destination is exactly as it was before.
// An append-update move into a table that holds no rows and that no TTable has open reads
// the source from its files row by row and holds only keys in memory.
// Field names resolve without regard to letter case. A mapping name that either table lacks
// raises EDatabaseError "Field '%s' not found"; every other failure of the move (checks, key
// violations, files, a value that does not convert to its destination field) raises
// EDBEngineError with its cause in the message. The tables are not owned; a closed table is opened for the
// move and closed again, an open one stays open.
#pragma once

#include <string>
#include <vector>

#include "dbengine/errors.h"
#include "dbengine/table.h"

namespace dbe {

enum TBatchMode { batAppend, batUpdate, batAppendUpdate, batDelete, batCopy };

class TBatchMove {
public:
    TTable* Source = nullptr;
    TTable* Destination = nullptr;
    TBatchMode Mode = batAppend;
    std::vector<std::string> Mappings;   // "Name=Name" lines (destination = source)

    void Execute();
    // Rows read from the source by the last Execute.
    int MovedCount() const { return moved_; }

private:
    void Run();
    int moved_ = 0;
};

}  // namespace dbe
