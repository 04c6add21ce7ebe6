// Table definition files (.tdef) for dbtool: one directive a line, '#' comments.
//
//   table NAME | level N | blocksize N | codepage N | sortorder NAME
//   field NAME TYPE [key] [required] [min=V] [max=V] [default=V]
//   index NAME FIELD
//
// The result is the engine's creation spec; the checks (required, min, max, default) and the
// indexes travel in it to the engine's creation hooks, which write the family files that
// hold them. Values are kept as text: Alpha defaults converted to the table's code page,
// other values as written (True/False, 123, 09:00:00, 2010-12-31), "blank" as an empty
// default.
#pragma once

#include <string>

#include "tabledata.h"

namespace dbtool {

// Parses a definition; on error returns false and sets error to "line N: what".
bool ParseDefinition(const std::string& text, dbe::detail::CreateSpec& spec, std::string& error);

}  // namespace dbtool
