// Keyboard shortcuts as menus show them: a TShortCut is a virtual-key code in the low byte
// and the modifiers in the high byte (scShift, scCtrl, scAlt). ShortCutToText builds the text
// ("Ctrl+S", "Shift+Ctrl+F12") from the run time's key-name strings; the routine in place can
// be replaced (the localisation library does, to translate the key names).
//
// Raises: nothing of its own; the key names come through rtl::LoadResString and a replaced
// lookup may raise what its translation raises.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/resstrings.h"

namespace kxc {

using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;
constexpr TShortCut scNone = 0;

// Modifier flags for ShortCut.
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
// The shortcut of a key with modifiers; none for a key code above 255.
TShortCut ShortCut(uint16_t key, unsigned shift);

// The shortcut's text through the routine in place.
std::string ShortCutToText(TShortCut shortcut);
using TShortCutToTextRoutine = std::string (*)(TShortCut shortcut);
// Puts `routine` in place and returns the one it replaces.
TShortCutToTextRoutine SetShortCutToTextRoutine(TShortCutToTextRoutine routine);
// The routine in place at start: BuildShortCutText with the key-name strings as loaded and
// SystemSpecialKeyName.
std::string PlainShortCutToText(TShortCut shortcut);

// Key-name string n, 0 to 17: BkSp, Tab, Esc, Enter, Space, PgUp, PgDn, End, Home, Left, Up,
// Right, Down, Ins, Del, then the modifiers Shift+, Ctrl+, Alt+. None outside that range.
const rtl::TResStringRec* ShortCutKeyRecord(int n);
// The text of a shortcut: the key's name (`keyName(n)` for the named keys, the digit or
// capital letter, "F1" to "F24", else `specialName(shortcut)`), empty when that is empty,
// else preceded by the names of Shift, Ctrl and Alt in that order.
std::string BuildShortCutText(TShortCut shortcut, std::string (*keyName)(int n),
                              std::string (*specialName)(TShortCut shortcut));

// The text a menu shows for an item: its caption, and when the item has a shortcut whose
// text (through the routine in place) is not empty, a tab and that text.
std::string MenuItemText(const std::string& caption, TShortCut shortcut);

// The system's keyboard layout, as far as key names need it.
class TKeyboardLayout {
public:
    virtual ~TKeyboardLayout();
    // The scan code of a virtual key (0 when it has none).
    virtual uint32_t ScanCode(uint8_t virtualKey) = 0;
    // The system's name of a key given as scan code shifted left by 16; empty when none.
    virtual std::string KeyNameText(uint32_t keyData) = 0;
};
// The layout in place: the system's (natively one without keys), or the one a test set.
TKeyboardLayout& KeyboardLayout();
TKeyboardLayout* SetKeyboardLayout(TKeyboardLayout* layout);
// The system's name of the shortcut's key when that name is exactly one character, else empty.
std::string SystemSpecialKeyName(TShortCut shortcut);

}  // namespace kxc
