// The Windows side of a converter's Convert export: the saved folder under the user's
// temporary folder, the archive resource "ARCHIVE1" (RCDATA) of the converter's own module,
// and the host's message queue.
//
// Raises rtl::EResNotFound when the module holds no archive, and whatever RunConversion
// raises.
#pragma once

#include <string>

#include "converters/conversion.h"

namespace conv {

// Steps that pump the calling thread's pending messages.
class TPluginSteps : public TConverterSteps {
public:
    void ProcessMessages() override;
};

// The saved database's folder: the temporary folder followed by "tmpDB" (no trailing
// backslash).
std::string SavedFolderPath();

// Runs the whole conversion for the module that contains this code.
void ConvertFromModuleArchive(TConverterSteps& steps);

}  // namespace conv
