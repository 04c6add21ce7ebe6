// Single-text translation. The dictionary component and its registry are not part of this
// library yet, so no dictionary exists: there is no default dictionary and every text stays
// as it is.
#include "qx/QxDictio.h"

namespace qx {

TQxDictionary* GetDefaultDictionary() {
    return nullptr;
}

std::string TranslateWith(TQxDictionary* dictionary, const std::string& text) {
    (void)dictionary;
    return text;
}

}  // namespace qx
