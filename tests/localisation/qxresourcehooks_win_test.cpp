// The resource strings on the real Win32 services: the string table that setup links holds
// every record's text, a run-time error is shown translated while a German dictionary is
// open and in English byte for byte once it is closed, and the system names special keys.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "components/menus.h"
#include "components/shortcuts.h"
#include "memory_dictionary.h"
#include "qx/QxParser.h"
#include "qx/QxResourceHooks.h"
#include "rtl/resstrings.h"
#include "shown_box.h"
#include "uidriver/uidriver.h"

KXC_IMPLEMENT_CLASS(MemoryDictionary)
void MemoryDictionary::DescribeClass(kxc::TClassBuilder<MemoryDictionary>&) {}

namespace {

// The conversion error of the run time, shown by the translated exception display.
std::optional<uidriver::MessageBoxInfo> ShowConversionError() {
    return BoxShownBy([] {
        try {
            qx::StrToInt("12a");
            ADD_FAILURE() << "no conversion error";
        } catch (const rtl::EConvertError& e) {
            qx::ShowTranslatedException(nullptr, e);
        }
    });
}

// The text of a window menu's item at `position`, as the system holds it.
std::string MenuString(HMENU menu, UINT position) {
    char buffer[256] = {};
    const int count = GetMenuStringA(menu, position, buffer, sizeof buffer, MF_BYPOSITION);
    return std::string(buffer, static_cast<size_t>(count > 0 ? count : 0));
}

kxc::TMenuItem* NewItem(kxc::TMenuItem* parent, const char* caption, kxc::TShortCut shortcut) {
    auto* item = kxc::Create<kxc::TMenuItem>(nullptr);
    item->SetCaption(caption);
    item->SetShortCut(shortcut);
    parent->Add(item);
    return item;
}

}  // namespace

TEST(ResourceStringsOnWindows, TheStringTableHoldsEveryRecordsText) {
    for (const rtl::TResStringRec* record : rtl::ResourceStringRecords()) {
        char buffer[rtl::kResStringBufferSize] = {};
        const int count =
            rtl::LoadModuleString(rtl::HInstance, record->Identifier, buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, static_cast<size_t>(count > 0 ? count : 0)),
                  record->English)
            << record->Identifier;
        EXPECT_EQ(rtl::LoadStr(record->Identifier), record->English);
    }
    // A module without the table has none of them; its records answer their English texts.
    char buffer[rtl::kResStringBufferSize] = {};
    EXPECT_EQ(rtl::LoadModuleString(GetModuleHandleA("kernel32.dll"), rtl::SReadError.Identifier,
                                    buffer, sizeof buffer),
              0);
}

TEST(ResourceStringsOnWindows, ARunTimeErrorShownInGermanThenInEnglish) {
    ASSERT_TRUE(qx::ResourceModulesHoldOnlyProgram());
    MemoryDictionary d;
    d.languages = {MemoryDictionary::Native(),
                   MemoryDictionary::Lang(9, 1, 1252, "1", "English"),
                   MemoryDictionary::Lang(7, 1, 1252, "1", "German")};
    d.SetCheckLevel(qx::qxclNone);
    d.UseContexts(true);
    d.Add("'%s' is not a valid integer value", "'%s' ist kein g\xFCltiger ganzzahliger Wert", "",
          "65280");
    d.Add("Error", "Fehler", "", "65307");
    d.Add("Ctrl+", "Strg+", "", "65357");
    d.SetLanguage(2);

    auto english = ShowConversionError();
    ASSERT_TRUE(english.has_value()) << "no box";

    d.OpenDictionary();
    ASSERT_TRUE(qx::ResourceHooksInstalled);
    auto german = ShowConversionError();
    ASSERT_TRUE(german.has_value()) << "no box";
    EXPECT_EQ(german->text, "'12a' ist kein g\xFCltiger ganzzahliger Wert.");
    EXPECT_EQ(german->caption, "Fehler");
    EXPECT_EQ(kxc::ShortCutToText(kxc::scCtrl | 'S'), "Strg+S");

    d.CloseDictionary();
    EXPECT_FALSE(qx::ResourceHooksInstalled);
    auto again = ShowConversionError();
    ASSERT_TRUE(again.has_value()) << "no box";
    EXPECT_EQ(again->text, "'12a' is not a valid integer value.");
    EXPECT_EQ(again->caption, "Error");
    EXPECT_EQ(again->text, english->text);
    EXPECT_EQ(kxc::ShortCutToText(kxc::scCtrl | 'S'), "Ctrl+S");
}

// While the hooks are in, the box's caption comes through the hooked lookup: a lookup that
// raises (a default dictionary index beyond the registry, a dictionary that raises for a
// missing text) still leaves the error shown, under the caption "Error".
TEST(ResourceStringsOnWindows, TheErrorBoxComesUpWhenItsCaptionCannotBeLoaded) {
    ASSERT_TRUE(qx::ResourceModulesHoldOnlyProgram());
    MemoryDictionary d;
    d.languages = {MemoryDictionary::Native(),
                   MemoryDictionary::Lang(9, 1, 1252, "1", "English"),
                   MemoryDictionary::Lang(7, 1, 1252, "1", "German")};
    d.SetCheckLevel(qx::qxclNone);
    d.SetLanguage(2);
    d.OpenDictionary();
    ASSERT_TRUE(qx::ResourceHooksInstalled);
    struct Case {
        const char* name;
        std::function<void()> before, after;
    } cases[] = {
        {"index beyond the registry", [] { qx::DefaultDictionaryIndex = 1; },
         [] { qx::DefaultDictionaryIndex = 0; }},
        {"policy raises", [&d] { d.SetMissingTranslation(qx::qxmtRaiseException); },
         [&d] { d.SetMissingTranslation(qx::qxmtUseNative); }},
    };
    for (const Case& c : cases) {
        c.before();
        auto box = BoxShownBy(
            [] { qx::ShowTranslatedException(nullptr, rtl::Exception("Disk full")); });
        c.after();
        ASSERT_TRUE(box.has_value()) << c.name << ": no box";
        EXPECT_EQ(box->caption, "Error") << c.name;
        EXPECT_EQ(box->text, "Disk full.") << c.name;
    }
    d.CloseDictionary();
}

TEST(ResourceStringsOnWindows, SpecialKeysAreNamedByTheSystem) {
    int oneCharacter = 0;
    for (int key : {VK_OEM_1, VK_OEM_PLUS, VK_OEM_COMMA, VK_OEM_MINUS, VK_OEM_PERIOD, VK_OEM_2,
                    VK_OEM_4, VK_NUMLOCK, VK_SCROLL, VK_MULTIPLY, 0xFF}) {
        const UINT scan = MapVirtualKeyA(static_cast<UINT>(key), 0);
        char name[256] = {};
        if (scan) GetKeyNameTextA(static_cast<LONG>(scan << 16), name, sizeof name);
        const std::string expected = std::strlen(name) == 1 ? name : "";
        if (!expected.empty()) ++oneCharacter;
        const auto shortcut = static_cast<kxc::TShortCut>(kxc::scCtrl | key);
        EXPECT_EQ(qx::SpecialKeyName(shortcut), expected) << key;
        EXPECT_EQ(kxc::ShortCutToText(shortcut), expected.empty() ? "" : "Ctrl+" + expected)
            << key;
    }
    EXPECT_GT(oneCharacter, 0) << "no key with a one-character name";
    EXPECT_EQ(qx::SpecialKeyName(VK_NUMLOCK), "");  // "Num Lock"
}

// Menu items show their shortcut's text after a tab, in the key names of the moment the menu
// is built: English, German while the dictionary is open, English again once it is closed.
// Items on the menu bar show their captions alone.
TEST(ResourceStringsOnWindows, MenuItemsShowTheirShortCutsTranslated) {
    ASSERT_TRUE(qx::ResourceModulesHoldOnlyProgram());
    MemoryDictionary d;
    d.languages = {MemoryDictionary::Native(),
                   MemoryDictionary::Lang(9, 1, 1252, "1", "English"),
                   MemoryDictionary::Lang(7, 1, 1252, "1", "German")};
    d.SetCheckLevel(qx::qxclNone);
    d.UseContexts(true);
    d.Add("Ctrl+", "Strg+", "", "65357");
    d.Add("Shift+", "Umschalt+", "", "65356");
    d.Add("Del", "Entf", "", "65355");
    d.SetLanguage(2);

    auto* menu = kxc::Create<kxc::TMainMenu>(nullptr);
    menu->SetAutoHotkeys(kxc::maManual);
    kxc::TMenuItem* file = NewItem(menu->Items(), "&File", kxc::scNone);
    kxc::TMenuItem* save = NewItem(file, "&Save", kxc::scCtrl | 'S');
    NewItem(file, "&Open", kxc::scNone);
    NewItem(file, "&Delete", kxc::scShift | VK_DELETE);
    NewItem(menu->Items(), "&Help", VK_F1);
    auto* popup = kxc::Create<kxc::TPopupMenu>(nullptr);
    NewItem(popup->Items(), "&Copy", kxc::scCtrl | 'C');

    const HMENU bar = menu->Handle();
    const HMENU sub = GetSubMenu(bar, 0);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(MenuString(bar, 0), "&File");
    EXPECT_EQ(MenuString(bar, 1), "&Help");
    EXPECT_EQ(MenuString(sub, 0), "&Save\tCtrl+S");
    EXPECT_EQ(MenuString(sub, 1), "&Open");
    EXPECT_EQ(MenuString(sub, 2), "&Delete\tShift+Del");
    EXPECT_EQ(MenuString(popup->Handle(), 0), "&Copy\tCtrl+C");

    // A changed item rebuilds the menu, as a translation pass does.
    d.OpenDictionary();
    ASSERT_TRUE(qx::ResourceHooksInstalled);
    save->SetCaption("&Speichern");
    const HMENU germanSub = GetSubMenu(menu->Handle(), 0);
    EXPECT_EQ(MenuString(germanSub, 0), "&Speichern\tStrg+S");
    EXPECT_EQ(MenuString(germanSub, 2), "&Delete\tUmschalt+Entf");
    EXPECT_EQ(MenuString(menu->Handle(), 1), "&Help");
    auto* germanPopup = kxc::Create<kxc::TPopupMenu>(nullptr);  // built while the hooks are in
    NewItem(germanPopup->Items(), "&Kopieren", kxc::scCtrl | 'C');
    EXPECT_EQ(MenuString(germanPopup->Handle(), 0), "&Kopieren\tStrg+C");

    d.CloseDictionary();
    EXPECT_FALSE(qx::ResourceHooksInstalled);
    save->SetCaption("&Save");
    const HMENU englishSub = GetSubMenu(menu->Handle(), 0);
    EXPECT_EQ(MenuString(englishSub, 0), "&Save\tCtrl+S");
    EXPECT_EQ(MenuString(englishSub, 2), "&Delete\tShift+Del");
    save->SetShortCut(kxc::scNone);
    EXPECT_EQ(MenuString(GetSubMenu(menu->Handle(), 0), 0), "&Save");

    germanPopup->Free();
    popup->Free();
    menu->Free();
}
