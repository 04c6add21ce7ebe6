// Ardvane.dll: converts a saved database of version L2.1 into version N1.1.
#include <windows.h>

#include "converters/version_tag.h"
#include "doorfix.h"

namespace {
constexpr conv::TVersionConst kFromVersion = {4, {'L', '2', '.', '1'}};
constexpr conv::TVersionConst kToVersion = {4, {'N', '1', '.', '1'}};
}  // namespace

extern "C" void __stdcall GetConvertVersions(uint8_t* fromVersion, int32_t fromMax,
                                             uint8_t* toVersion, int32_t toMax) {
    conv::WriteVersionTag(fromVersion, fromMax, kFromVersion);
    conv::WriteVersionTag(toVersion, toMax, kToVersion);
}

extern "C" void __stdcall Convert() {
    ardvane::TArdvaneSteps steps;
    conv::ConvertFromModuleArchive(steps);
}
