// Internal: the UPDATE statement's pieces shared by its two ways (see sql_query.cpp): the
// assignments, and the streamed way that rewrites a table from its files without loading it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "tabledata.h"

namespace dbe::detail {

// One SET item: the field (index into the schema) and the value it gets.
struct UpdateAssignment {
    int field;
    TValue value;
};

// Stores the assigned values into r, raising as the statement does (ecValueTooLong with the
// field's name for a value that does not fit).
void ApplyAssignments(const Schema& s, Record& r, const std::vector<UpdateAssignment>& assigns);

// The statement over every row of the table at path (file: its name for messages), streamed
// from the files when no table object of the process has the table loaded; resolve gives the
// assignments for the table's structure. Returns the rows
// changed through rows, or false, having changed nothing, when the statement must take the
// loading way: the table is loaded, its files need it, or anything failed before the new
// files were put in place (the loading way then raises what it has always raised). Raises
// the statement's own key violation, and what putting the files in place raises.
bool TryStreamedUpdate(const std::string& path, const std::string& file,
                       const std::function<std::vector<UpdateAssignment>(const Schema&)>& resolve, int& rows);

// True (the default) while updates may be streamed; tests switch it off to compare files.
bool& StreamedUpdatesEnabled();
// Bytes of records held at a time when the rows are written in a new order (8 MiB; tests
// make it small).
std::size_t& StreamedUpdateRunBytes();
// Updates that were streamed in this process.
int& StreamedUpdatesDone();

}  // namespace dbe::detail
