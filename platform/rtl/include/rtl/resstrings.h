// The run time's resource strings: every user-visible text of the run time and the component
// layer (error messages, dialog captions, key names) is a record of a module and a 32-bit
// identifier, listed once below with its English text. `setup` links a string table built
// from this list; a module without one (native builds, the converter plug-ins) answers each
// record's own English text, so the texts are the same either way.
//
// All loading goes through one lookup: LoadResString for records, LoadStr for numbered
// strings, which asks the string table of every registered resource module in order. The
// lookup can be replaced as a whole (the localisation library puts translating versions in
// while a dictionary asks for it); SetResStringLookup returns what was in place.
//
// Raises: nothing of its own (a replaced lookup may raise what its translation raises).
// Process-wide state: the lookup and the list of resource modules; GUI thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rtl {

// A module's handle (a Win32 HINSTANCE; natively there is only the program, handle none).
using ModuleHandle = void*;
// This module's own handle: each executable or library that links the run time has its own.
extern ModuleHandle HInstance;

// A resource string: the module that holds it and its identifier. An identifier of 65536 or
// more names no table entry: such a record is its own text.
struct TResStringRec {
    ModuleHandle* Module;
    uint32_t Identifier;
    const char* English;
};

// name, identifier, English text. The string table of `setup` is generated from these lines
// (one entry per line, the text a single C string literal).
#define RTL_RESOURCE_STRINGS(X)                                                  \
    X(SInvalidInteger, 65280, "'%s' is not a valid integer value")               \
    X(SListIndexError, 65281, "List index out of bounds (%d)")                   \
    X(SFOpenError, 65282, "Cannot open file %s")                                 \
    X(SFCreateError, 65283, "Cannot create file %s")                             \
    X(SReadError, 65284, "Stream read error")                                    \
    X(SWriteError, 65285, "Stream write error")                                  \
    X(SInvalidImage, 65286, "Invalid stream format")                             \
    X(SInvalidPropertyValue, 65287, "Invalid property value")                    \
    X(SResNotFound, 65288, "Resource %s not found")                              \
    X(SResNameEmpty, 65289, "Resource name is empty")                            \
    X(SClassNotFound, 65290, "Class %s not found")                               \
    X(SUnknownProperty, 65291, "Property %s does not exist")                     \
    X(SInvalidPropertyType, 65292, "Invalid property type: %s")                  \
    X(SReadOnlyProperty, 65293, "Property %s is read-only")                      \
    X(SWriteOnlyProperty, 65294, "Property %s is write-only")                    \
    X(SIncompatibleMethod, 65295, "Incompatible types: method %s")               \
    X(SAssignError, 65296, "Cannot assign a %s to a %s")                         \
    X(SAssignNilError, 65297, "Cannot assign a nil to a %s")                     \
    X(SInvalidName, 65298, "''%s'' is not a valid component name")              \
    X(SDuplicateName, 65299, "A component named %s already exists")              \
    X(SInvalidBitmap, 65300, "Bitmap image is not valid")                        \
    X(SInvalidIcon, 65301, "Icon image is not valid")                            \
    X(SUnknownExtension, 65302, "Unknown picture file extension (%s)")           \
    X(SCannotShowModal, 65303, "Cannot make a visible window modal")             \
    X(SControlParentSetToSelf, 65304, "A control cannot have itself as its parent") \
    X(SWindowClass, 65305, "Cannot register window class %s")                    \
    X(SWindowCreate, 65306, "Error creating window (%lu)")                       \
    X(SMsgDlgError, 65307, "Error")                                              \
    X(SMenuReinserted, 65308, "Menu inserted twice")                             \
    X(SmkcBkSp, 65373, "BkSp")                                                   \
    X(SmkcTab, 65374, "Tab")                                                     \
    X(SmkcEsc, 65375, "Esc")                                                     \
    X(SmkcEnter, 65344, "Enter")                                                 \
    X(SmkcSpace, 65345, "Space")                                                 \
    X(SmkcPgUp, 65346, "PgUp")                                                   \
    X(SmkcPgDn, 65347, "PgDn")                                                   \
    X(SmkcEnd, 65348, "End")                                                     \
    X(SmkcHome, 65349, "Home")                                                   \
    X(SmkcLeft, 65350, "Left")                                                   \
    X(SmkcUp, 65351, "Up")                                                       \
    X(SmkcRight, 65352, "Right")                                                 \
    X(SmkcDown, 65353, "Down")                                                   \
    X(SmkcIns, 65354, "Ins")                                                     \
    X(SmkcDel, 65355, "Del")                                                     \
    X(SmkcShift, 65356, "Shift+")                                                \
    X(SmkcCtrl, 65357, "Ctrl+")                                                  \
    X(SmkcAlt, 65358, "Alt+")

#define RTL_DECLARE_RESSTRING(name, id, text) extern const TResStringRec name;
RTL_RESOURCE_STRINGS(RTL_DECLARE_RESSTRING)
#undef RTL_DECLARE_RESSTRING

// Every record of the list above, in its order.
const std::vector<const TResStringRec*>& ResourceStringRecords();

// ---- Loading ----------------------------------------------------------------------------

// The record's text through the lookup in place; empty for no record.
std::string LoadResString(const TResStringRec* record);
// The numbered string `identifier` through the lookup in place; empty when no table has it.
std::string LoadStr(uint32_t identifier);
// The record's text as a printf format with the arguments. A loaded text whose conversions
// differ from those of the English text (a bad translation) is not used: the English one is.
std::string FormatResString(const TResStringRec* record, ...);

// The plain lookups: the record's module's string table, else its English text; the string
// tables of the registered modules for numbered strings.
std::string PlainLoadResString(const TResStringRec* record);
std::string PlainLoadStr(uint32_t identifier);

struct TResStringLookup {
    std::string (*LoadResString)(const TResStringRec* record);
    std::string (*LoadStr)(uint32_t identifier);
};
// Puts `lookup` in place and returns the one it replaces.
TResStringLookup SetResStringLookup(TResStringLookup lookup);

// ---- String tables and resource modules ----------------------------------------------------

constexpr int kResStringBufferSize = 1024;
// Copies at most size - 1 characters of string `identifier` of `module`'s string table into
// `buffer` (zero-terminated) and returns their count; 0 when the module has no such string.
// Natively the program's table is the list above.
int LoadModuleString(ModuleHandle module, uint32_t identifier, char* buffer, int size);
// The string from the first registered module, in order, whose table has it; the count
// (0 when none has it).
int LoadStringFromModules(uint32_t identifier, char* buffer, int size);

// The run time's resource modules, the program's own module first. Libraries loaded later
// do not join unless registered.
const std::vector<ModuleHandle>& ResourceModules();
void RegisterResourceModule(ModuleHandle module);
void UnregisterResourceModule(ModuleHandle module);
// The list holds this module alone.
bool ResourceModulesHoldOnlyProgram();

}  // namespace rtl
