// Saving the old database: every file (no subfolders) of the installed database's folder is
// copied into TempPath + "\tmpDB\", overwriting files of the same names.
#pragma once

#include <string>

// Raises dbe::EDBEngineError when the database folder cannot be found, and rtl::EInOutError
// when the saved folder cannot be created or a file could not be saved (after trying every
// file; the message names them, the files already copied stay).
void SaveOldDatabase();

// TempPath + "\tmpDB\" (TempPath ends with a separator already; the doubled one names the
// same folder).
std::string SavedDatabaseFolder();
