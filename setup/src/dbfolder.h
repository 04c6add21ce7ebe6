// The folder of the installed product's database, learnt through the engine: the table
// "Doors.DB" is opened under "KorvixNetGlobal" when the engine knows that alias, else under
// "LumexData" when it knows that one, else under an empty database name (which the engine
// refuses). Raises dbe::EDBEngineError.
#pragma once

#include <string>

// With retryUnderLumexData, an engine error of the first attempt is followed by one more
// attempt under "LumexData", whose error propagates.
std::string FindDatabaseFolder(bool retryUnderLumexData);
