// The resource-string hooks: while a dictionary that asks for them is open, the run time's
// resource-string lookups and the shortcut-text routine are replaced by translating ones.
// OpenDictionary installs them when ResourceModulesHoldOnlyProgram() and no set is in place;
// CloseDictionary of any dictionary removes them (TQxDictionary keeps ResourceHooksInstalled).
//
// The replacement routines are not part of the library yet: until they are, the program
// never counts as holding only its own resource module, so nothing is ever installed.
// Raises: nothing.
#pragma once

namespace qx {

// The run time's list of resource modules holds the program's own module alone.
bool ResourceModulesHoldOnlyProgram();
void InstallResourceHooks();
void RemoveResourceHooks();

}  // namespace qx
