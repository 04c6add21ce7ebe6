// The resource-string hooks' entry points; see QxResourceHooks.h for why they do nothing yet.
#include "qx/QxResourceHooks.h"

namespace qx {

bool ResourceModulesHoldOnlyProgram() { return false; }

void InstallResourceHooks() {}

void RemoveResourceHooks() {}

}  // namespace qx
