// The resource-string hooks: while a dictionary that asks for them is open, the run time's
// resource-string lookup, its numbered-string lookup and the shortcut-text routine of the
// component layer are replaced by translating versions. OpenDictionary installs them when
// ResourceModulesHoldOnlyProgram() and no set is in place; CloseDictionary of any dictionary
// removes them (TQxDictionary keeps ResourceHooksInstalled).
//
// A translating lookup loads the text as the plain one does and, when it is not empty, no
// translation is running already and the default dictionary is open, translates it through
// that dictionary with context A empty and context B the identifier in decimal. With the
// default dictionary closed the texts are exactly the plain ones.
//
// Raises: TranslatingLoadResString the ERangeError of CheckDefaultDictionaryIndex; the
// translating versions pass on what the dictionary's missing-translation policy raises.
#pragma once

#include <cstdint>
#include <string>

#include "components/shortcuts.h"
#include "rtl/resstrings.h"

namespace qx {

// The run time's list of resource modules holds the program's own module alone.
bool ResourceModulesHoldOnlyProgram();
// Put the translating versions in place, keeping what they replace; a second call while
// they are in place does nothing. RemoveResourceHooks puts the kept routines back.
void InstallResourceHooks();
void RemoveResourceHooks();

std::string TranslatingLoadResString(const rtl::TResStringRec* record);
std::string TranslatingLoadStr(uint32_t identifier);
std::string TranslatingShortCutToText(kxc::TShortCut shortcut);

// Key-name string n (0 to 17, see kxc::ShortCutKeyRecord) through the resource-string
// lookup in place, so translated once while the hooks are in.
std::string ShortCutKeyName(int n);
// The system's one-character name of the shortcut's key, else empty.
std::string SpecialKeyName(kxc::TShortCut shortcut);
// The string from the string table of the first registered resource module that has it;
// its length, 0 when none has it.
int LoadStringFromModules(uint32_t identifier, char* buffer, int size);

}  // namespace qx
