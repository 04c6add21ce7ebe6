// Parser for the one statement shape the local SQL of this engine runs:
//   UPDATE <table> SET <field> = <value> [, <field> = <value>]... [;]
// <table> is a quoted file name ('doors.db' or "doors.db") or a bare name; <value> is a named
// parameter (:Name) or an integer literal (optionally signed). Keywords ignore letter case.
// Anything else is refused with a message that names the unsupported part; the caller raises
// EDBEngineError with it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dbe::sql {

struct TAssignment {
    std::string Field;
    bool IsParam = false;
    std::string Param;    // name without the colon, when IsParam
    int32_t Value = 0;    // the literal, otherwise
};

struct TUpdateStatement {
    std::string Table;
    std::vector<TAssignment> Set;
};

// False and a message in `error` when the text is not of the supported shape.
bool ParseUpdate(const std::string& text, TUpdateStatement& out, std::string& error);

}  // namespace dbe::sql
