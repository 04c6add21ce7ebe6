// The database folder query shared by setup and both converters.
//
// GetDatabaseDirectory(db): the current folder of the open database behind db, as the
// engine reports it into a 261-character buffer, cut at the first zero, without any
// character-set conversion; the text ends with a path separator, so callers append file
// names directly. A failing engine answer raises dbe::EDBEngineError.
#pragma once

#include <string>

#include "dbengine/session.h"

std::string GetDatabaseDirectory(dbe::hDBIDb db);
