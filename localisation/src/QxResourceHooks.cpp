#include "qx/QxResourceHooks.h"

#include "qx/QxDictionary.h"

namespace qx {

namespace {

// What the hooks replaced, put back when they are removed.
struct TSavedRoutines {
    bool Saved = false;
    kxc::TShortCutToTextRoutine ShortCutToText = nullptr;
    rtl::TResStringLookup Lookup = {nullptr, nullptr};
} g_saved;

// The translation step of both lookups. Lookups made while it runs (a message the
// dictionary raises, say) are not translated again.
std::string TranslateResourceText(const std::string& text, uint32_t identifier) {
    if (text.empty() || !ResourceTranslationAllowed || !IsDefaultDictionaryOpen()) return text;
    struct TAllowAgain {
        ~TAllowAgain() { ResourceTranslationAllowed = true; }
    } allowAgain;
    ResourceTranslationAllowed = false;
    return TranslateWithContext(GetDefaultDictionary(), text, std::string(),
                                std::to_string(identifier));
}

}  // namespace

bool ResourceModulesHoldOnlyProgram() { return rtl::ResourceModulesHoldOnlyProgram(); }

void InstallResourceHooks() {
    if (g_saved.Saved) return;
    g_saved.ShortCutToText = kxc::SetShortCutToTextRoutine(TranslatingShortCutToText);
    g_saved.Lookup = rtl::SetResStringLookup({TranslatingLoadResString, TranslatingLoadStr});
    g_saved.Saved = true;
}

void RemoveResourceHooks() {
    if (!g_saved.Saved) return;
    kxc::SetShortCutToTextRoutine(g_saved.ShortCutToText);
    rtl::SetResStringLookup(g_saved.Lookup);
    g_saved = TSavedRoutines();
}

// The index check's own message is a fixed text: a bad index met here cannot come back
// through this lookup.
std::string TranslatingLoadResString(const rtl::TResStringRec* record) {
    if (!record) return std::string();
    const std::string text = rtl::PlainLoadResString(record);
    CheckDefaultDictionaryIndex();
    return TranslateResourceText(text, record->Identifier);
}

std::string TranslatingLoadStr(uint32_t identifier) {
    char buffer[rtl::kResStringBufferSize];
    const int count = LoadStringFromModules(identifier, buffer, sizeof buffer);
    return TranslateResourceText(std::string(buffer, static_cast<size_t>(count > 0 ? count : 0)),
                                 identifier);
}

std::string TranslatingShortCutToText(kxc::TShortCut shortcut) {
    return kxc::BuildShortCutText(shortcut, ShortCutKeyName, SpecialKeyName);
}

// Loaded through the lookup in place, which translates it already: no second lookup of the
// translated text.
std::string ShortCutKeyName(int n) { return rtl::LoadResString(kxc::ShortCutKeyRecord(n)); }

std::string SpecialKeyName(kxc::TShortCut shortcut) { return kxc::SystemSpecialKeyName(shortcut); }

int LoadStringFromModules(uint32_t identifier, char* buffer, int size) {
    return rtl::LoadStringFromModules(identifier, buffer, size);
}

}  // namespace qx
