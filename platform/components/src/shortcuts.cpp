#include "components/shortcuts.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kxc {

namespace {

const rtl::TResStringRec* const kKeyNames[] = {
    &rtl::SmkcBkSp, &rtl::SmkcTab,  &rtl::SmkcEsc,   &rtl::SmkcEnter, &rtl::SmkcSpace,
    &rtl::SmkcPgUp, &rtl::SmkcPgDn, &rtl::SmkcEnd,   &rtl::SmkcHome,  &rtl::SmkcLeft,
    &rtl::SmkcUp,   &rtl::SmkcRight, &rtl::SmkcDown, &rtl::SmkcIns,   &rtl::SmkcDel,
    &rtl::SmkcShift, &rtl::SmkcCtrl, &rtl::SmkcAlt,
};
constexpr int kKeyNameCount = static_cast<int>(sizeof kKeyNames / sizeof kKeyNames[0]);

TShortCutToTextRoutine g_shortCutToText = PlainShortCutToText;

std::string LoadedKeyName(int n) { return rtl::LoadResString(ShortCutKeyRecord(n)); }

#ifdef _WIN32
class TSystemKeyboardLayout : public TKeyboardLayout {
public:
    uint32_t ScanCode(uint8_t virtualKey) override { return MapVirtualKeyA(virtualKey, 0); }
    std::string KeyNameText(uint32_t keyData) override {
        char buffer[256] = {};
        const int count = GetKeyNameTextA(static_cast<LONG>(keyData), buffer, sizeof buffer);
        return std::string(buffer, static_cast<size_t>(count > 0 ? count : 0));
    }
};
#else
// Away from Windows no key has a scan code.
class TSystemKeyboardLayout : public TKeyboardLayout {
public:
    uint32_t ScanCode(uint8_t) override { return 0; }
    std::string KeyNameText(uint32_t) override { return std::string(); }
};
#endif

TKeyboardLayout* g_layout = nullptr;

}  // namespace

TShortCut ShortCut(uint16_t key, unsigned shift) {
    if (key > 0xFF) return scNone;
    TShortCut result = key;
    if (shift & ssShift) result |= scShift;
    if (shift & ssCtrl) result |= scCtrl;
    if (shift & ssAlt) result |= scAlt;
    return result;
}

std::string ShortCutToText(TShortCut shortcut) { return g_shortCutToText(shortcut); }

TShortCutToTextRoutine SetShortCutToTextRoutine(TShortCutToTextRoutine routine) {
    const TShortCutToTextRoutine previous = g_shortCutToText;
    g_shortCutToText = routine;
    return previous;
}

// The text is made each time the menu is built, so that it follows the routine in place (key
// names translated while a dictionary's hooks are in).
std::string MenuItemText(const std::string& caption, TShortCut shortcut) {
    if (shortcut == scNone) return caption;
    const std::string keys = ShortCutToText(shortcut);
    return keys.empty() ? caption : caption + '\t' + keys;
}

std::string PlainShortCutToText(TShortCut shortcut) {
    return BuildShortCutText(shortcut, LoadedKeyName, SystemSpecialKeyName);
}

const rtl::TResStringRec* ShortCutKeyRecord(int n) {
    return n >= 0 && n < kKeyNameCount ? kKeyNames[n] : nullptr;
}

std::string BuildShortCutText(TShortCut shortcut, std::string (*keyName)(int n),
                              std::string (*specialName)(TShortCut shortcut)) {
    const int code = shortcut & 0xFF;
    std::string name;
    if (code == 8 || code == 9)
        name = keyName(code - 8);
    else if (code == 13)
        name = keyName(3);
    else if (code == 27)
        name = keyName(2);
    else if (code >= 32 && code <= 40)
        name = keyName(code - 28);
    else if (code == 45 || code == 46)
        name = keyName(code - 32);
    else if ((code >= 48 && code <= 57) || (code >= 65 && code <= 90))
        name = std::string(1, static_cast<char>(code));
    else if (code >= 96 && code <= 105)
        name = std::string(1, static_cast<char>(code - 48));
    else if (code >= 112 && code <= 135)
        name = "F" + std::to_string(code - 111);
    else
        name = specialName(shortcut);
    if (name.empty()) return std::string();
    std::string text;
    if (shortcut & scShift) text += keyName(15);
    if (shortcut & scCtrl) text += keyName(16);
    if (shortcut & scAlt) text += keyName(17);
    return text + name;
}

TKeyboardLayout::~TKeyboardLayout() = default;

TKeyboardLayout& KeyboardLayout() {
    static TSystemKeyboardLayout system;
    return g_layout ? *g_layout : system;
}

TKeyboardLayout* SetKeyboardLayout(TKeyboardLayout* layout) {
    TKeyboardLayout* previous = g_layout;
    g_layout = layout;
    return previous;
}

std::string SystemSpecialKeyName(TShortCut shortcut) {
    const uint32_t keyData = KeyboardLayout().ScanCode(static_cast<uint8_t>(shortcut & 0xFF)) << 16;
    if (keyData == 0) return std::string();
    const std::string name = KeyboardLayout().KeyNameText(keyData);
    return name.size() == 1 ? name : std::string();
}

}  // namespace kxc
