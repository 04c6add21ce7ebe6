// The translating resource-string lookups and shortcut texts over a dictionary in memory:
// when they are in place, what they answer with the default dictionary closed and open, the
// contexts they look up with, the index check, and the run time's format safety.
#include <gtest/gtest.h>

#include <map>

#include "components/shortcuts.h"
#include "fake_locale_system.h"
#include "memory_dictionary.h"
#include "qx/QxResourceHooks.h"
#include "rtl/resstrings.h"

KXC_IMPLEMENT_CLASS(MemoryDictionary)
void MemoryDictionary::DescribeClass(kxc::TClassBuilder<MemoryDictionary>&) {}

namespace {

// A keyboard with two keys outside the shortcut table: ";" (one character) and "Num Lock".
class FakeKeyboard : public kxc::TKeyboardLayout {
public:
    FakeKeyboard() : previous_(kxc::SetKeyboardLayout(this)) {}
    ~FakeKeyboard() override { kxc::SetKeyboardLayout(previous_); }
    FakeKeyboard(const FakeKeyboard&) = delete;
    FakeKeyboard& operator=(const FakeKeyboard&) = delete;

    uint32_t ScanCode(uint8_t key) override {
        auto it = scans.find(key);
        return it == scans.end() ? 0 : it->second;
    }
    std::string KeyNameText(uint32_t keyData) override {
        auto it = names.find(keyData >> 16);
        return it == names.end() ? std::string() : it->second;
    }
    std::map<uint8_t, uint32_t> scans{{0xBA, 0x27}, {0x90, 0x45}};
    std::map<uint32_t, std::string> names{{0x27, ";"}, {0x45, "Num Lock"}};

private:
    kxc::TKeyboardLayout* previous_;
};

// A fresh registry and no hooks, before the test's dictionary is created.
struct FreshUnit {
    FreshUnit() {
        qx::RemoveResourceHooks();
        qx::QxDictioFinalization();
        qx::QxDictioInitialization();
    }
};

// Each test starts with a fresh registry holding one closed German dictionary, no hooks and
// the program as the only resource module.
class ResourceHooks : public ::testing::Test {
protected:
    void SetUp() override {
        system.AddFullLocale(0x0409, "English", 1252);
        system.AddFullLocale(0x0407, "German", 1252);
        d.languages = {MemoryDictionary::Native(),
                       MemoryDictionary::Lang(9, 1, 1252, "1", "English"),
                       MemoryDictionary::Lang(7, 1, 1252, "1", "German")};
        d.SetLanguage(2);
    }
    void TearDown() override {
        d.CloseDictionary();
        qx::RemoveResourceHooks();
        qx::DefaultDictionaryIndex = 0;
    }

    FreshUnit fresh;
    FakeLocaleSystem system;
    RecordingApplication application;
    FakeKeyboard keyboard;
    MemoryDictionary d;
};

struct ShortCutCase {
    kxc::TShortCut shortcut;
    const char* english;
    const char* german;
};

const ShortCutCase kShortCuts[] = {
    {kxc::scCtrl | 'S', "Ctrl+S", "Strg+S"},
    {kxc::scShift | kxc::scCtrl | 123, "Shift+Ctrl+F12", "Umschalt+Strg+F12"},
    {kxc::scAlt | 8, "Alt+BkSp", "Alt+R\xFC" "ck"},
    {13, "Enter", "Eingabe"},
    {27, "Esc", "Esc"},
    {32, "Space", "Leer"},
    {kxc::scShift | 37, "Shift+Left", "Umschalt+Links"},
    {40, "Down", "Down"},
    {45, "Ins", "Einfg"},
    {kxc::scCtrl | 46, "Ctrl+Del", "Strg+Entf"},
    {'7', "7", "7"},
    {101, "5", "5"},          // numeric keypad 5
    {135, "F24", "F24"},
    {kxc::scCtrl | 0xBA, "Ctrl+;", "Strg+;"},  // one-character system name
    {kxc::scCtrl | 0x90, "", ""},              // the system name is longer
    {kxc::scCtrl | 0xFF, "", ""},              // no scan code
};

// German key names, each stored under its key-name identifier, and entries that would show a
// second lookup of an already translated name.
void AddGermanKeyNames(MemoryDictionary& d, bool withContexts) {
    const struct {
        const char* english;
        const char* id;
        const char* german;
    } names[] = {{"Ctrl+", "65357", "Strg+"},    {"Shift+", "65356", "Umschalt+"},
                 {"BkSp", "65373", "R\xFC" "ck"}, {"Enter", "65344", "Eingabe"},
                 {"Space", "65345", "Leer"},     {"Left", "65350", "Links"},
                 {"Ins", "65354", "Einfg"},      {"Del", "65355", "Entf"}};
    for (const auto& n : names) d.Add(n.english, n.german, "", withContexts ? n.id : "");
    d.Add("Strg+", "TWICE+");
    d.Add("Links", "TWICE");
    d.UseContexts(withContexts);
}

}  // namespace

TEST_F(ResourceHooks, ShortCutTextsWithTheDictionaryClosedAndOpen) {
    ASSERT_FALSE(qx::ResourceHooksInstalled);
    for (const ShortCutCase& c : kShortCuts) {
        EXPECT_EQ(kxc::ShortCutToText(c.shortcut), c.english) << c.shortcut;
        EXPECT_EQ(qx::TranslatingShortCutToText(c.shortcut), c.english) << c.shortcut;
    }
    EXPECT_EQ(kxc::ShortCut('S', kxc::ssCtrl), kxc::scCtrl | 'S');
    EXPECT_EQ(kxc::ShortCut(123, kxc::ssShift | kxc::ssCtrl | kxc::ssAlt), 0xE000 | 123);
    EXPECT_EQ(kxc::ShortCut(0x100, kxc::ssCtrl), kxc::scNone);

    for (bool withContexts : {true, false}) {
        SCOPED_TRACE(withContexts ? "with contexts" : "without contexts");
        d.entries.clear();
        AddGermanKeyNames(d, withContexts);
        d.OpenDictionary();
        ASSERT_TRUE(qx::ResourceHooksInstalled);
        for (const ShortCutCase& c : kShortCuts)
            EXPECT_EQ(kxc::ShortCutToText(c.shortcut), c.german) << c.shortcut;
        d.CloseDictionary();
        EXPECT_FALSE(qx::ResourceHooksInstalled);
        for (const ShortCutCase& c : kShortCuts)
            EXPECT_EQ(kxc::ShortCutToText(c.shortcut), c.english) << c.shortcut;
    }
}

// A menu item's text: its caption alone without a shortcut (or with one whose text is
// empty), else a tab and the shortcut's text, in the key names of the moment.
TEST_F(ResourceHooks, MenuItemTextsFollowTheKeyNamesInPlace) {
    const struct {
        const char* caption;
        kxc::TShortCut shortcut;
        const char* english;
        const char* german;
    } items[] = {
        {"&Save", kxc::scCtrl | 'S', "&Save\tCtrl+S", "&Save\tStrg+S"},
        {"&Open", kxc::scNone, "&Open", "&Open"},
        {"Num", kxc::scCtrl | 0x90, "Num", "Num"},  // the key has no shortcut text
        {"", kxc::scShift | 37, "\tShift+Left", "\tUmschalt+Links"},
        {"\xCE\xF2\xEA\xF0\xFB\xF2\xFC", 45, "\xCE\xF2\xEA\xF0\xFB\xF2\xFC\tIns",
         "\xCE\xF2\xEA\xF0\xFB\xF2\xFC\tEinfg"},  // "Open" in Russian (cp1251)
    };
    AddGermanKeyNames(d, true);
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 1) d.OpenDictionary();
        if (pass == 2) d.CloseDictionary();
        for (const auto& item : items)
            EXPECT_EQ(kxc::MenuItemText(item.caption, item.shortcut),
                      pass == 1 ? item.german : item.english)
                << "pass " << pass << ", " << item.caption;
    }
}

TEST_F(ResourceHooks, ClosedDictionaryGivesThePlainTexts) {
    d.Add("Stream read error", "Lesefehler");
    for (int pass = 0; pass < 2; ++pass) {  // a closed default dictionary, then none at all
        ASSERT_EQ(qx::Dictionaries->Count(), 1 - pass);
        for (const rtl::TResStringRec* record : rtl::ResourceStringRecords()) {
            EXPECT_EQ(qx::TranslatingLoadResString(record), record->English) << record->Identifier;
            EXPECT_EQ(qx::TranslatingLoadStr(record->Identifier), record->English);
            EXPECT_EQ(rtl::LoadStr(record->Identifier), record->English);
        }
        FreshUnit();
    }
    EXPECT_EQ(qx::TranslatingLoadResString(nullptr), "");
    EXPECT_EQ(qx::TranslatingLoadStr(4711), "");
    EXPECT_EQ(rtl::LoadStr(4711), "");
    // A record above the table's range is its own text.
    const rtl::TResStringRec own = {&rtl::HInstance, 70000, "Own text"};
    EXPECT_EQ(rtl::LoadResString(&own), "Own text");
    EXPECT_EQ(qx::TranslatingLoadResString(&own), "Own text");
}

TEST_F(ResourceHooks, OpenLookupsTranslateByIdentifierAsContextB) {
    d.Add("Stream read error", "Lesefehler (Kontext)", "", "65284");
    d.Add("Stream read error", "Lesefehler");
    d.Add("Stream write error", "falscher Kontext", "A", "65285");  // context A is empty
    d.Add("List index out of bounds (%d)", "Listenindex au\xDF" "erhalb (%d)", "", "65281");
    d.Add("Class %s not found", "Klasse %d fehlt", "", "65290");  // a bad translation
    d.UseContexts(true);
    d.OpenDictionary();
    ASSERT_TRUE(qx::ResourceHooksInstalled);
    EXPECT_EQ(rtl::LoadResString(&rtl::SReadError), "Lesefehler (Kontext)");
    EXPECT_EQ(rtl::LoadStr(rtl::SReadError.Identifier), "Lesefehler (Kontext)");
    EXPECT_EQ(rtl::LoadResString(&rtl::SWriteError), "Stream write error");
    EXPECT_EQ(rtl::FormatResString(&rtl::SListIndexError, 7), "Listenindex au\xDF" "erhalb (7)");
    // A translation whose conversions differ is not used as the format.
    EXPECT_EQ(rtl::FormatResString(&rtl::SClassNotFound, "TFoo"), "Class TFoo not found");

    // Without contexts the lookup is the plain one by text.
    d.UseContexts(false);
    EXPECT_EQ(rtl::LoadResString(&rtl::SReadError), "Lesefehler");

    // A failing translation leaves translation allowed for the next lookup.
    d.SetMissingTranslation(qx::qxmtRaiseException);
    try {
        rtl::LoadResString(&rtl::SResNameEmpty);
        ADD_FAILURE() << "no exception";
    } catch (const qx::EQxMulti& e) {
        EXPECT_EQ(std::string(e.Message()),
                  "Dictionary does not contain a translation for the word \"Resource name is "
                  "empty\"");
    }
    EXPECT_TRUE(qx::ResourceTranslationAllowed);
    d.SetMissingTranslation(qx::qxmtUseNative);

    // The index check: the resource-string lookup raises its fixed message, the numbered one
    // does not check.
    qx::DefaultDictionaryIndex = 1;
    try {
        rtl::LoadResString(&rtl::SReadError);
        ADD_FAILURE() << "no exception";
    } catch (const rtl::ERangeError& e) {
        EXPECT_EQ(std::string(e.Message()), "DefaultDictionaryIndex is out or range: 1");
    }
    EXPECT_EQ(rtl::LoadStr(rtl::SReadError.Identifier), "Stream read error");
}

// The error box's caption comes through the lookup in place, and falls back to the English
// text whenever that lookup raises, so the box is never lost with it.
TEST_F(ResourceHooks, TheErrorBoxCaptionFallsBackToError) {
    d.Add("Error", "Fehler");
    EXPECT_EQ(qx::ErrorBoxCaption(), "Error");
    d.OpenDictionary();
    ASSERT_TRUE(qx::ResourceHooksInstalled);
    EXPECT_EQ(qx::ErrorBoxCaption(), "Fehler");
    // The index check of the hooked lookup raises.
    qx::DefaultDictionaryIndex = 1;
    EXPECT_THROW(rtl::LoadResString(&rtl::SMsgDlgError), rtl::ERangeError);
    EXPECT_EQ(qx::ErrorBoxCaption(), "Error");
    qx::DefaultDictionaryIndex = 0;
    // The dictionary's policy raises for a caption it lacks.
    d.entries.clear();
    d.SetMissingTranslation(qx::qxmtRaiseException);
    EXPECT_THROW(rtl::LoadResString(&rtl::SMsgDlgError), qx::EQxMulti);
    EXPECT_EQ(qx::ErrorBoxCaption(), "Error");
    // The box itself is shown with the message as it came.
    application.boxes.clear();
    qx::DefaultDictionaryIndex = 1;
    qx::ShowTranslatedException(nullptr, rtl::Exception("Disk full"));
    EXPECT_EQ(application.boxes, std::vector<std::string>{"Disk full."});
}

namespace {

// A dictionary whose lookup loads a resource string itself, as a dictionary reading its
// data might when it reports a fault.
class LoadingDictionary : public MemoryDictionary {
public:
    bool FindContextTranslation(const std::string& native, const std::string& contextA,
                                const std::string& contextB, std::string& translation) override {
        nested.push_back(rtl::LoadResString(&rtl::SWriteError));
        return MemoryDictionary::FindContextTranslation(native, contextA, contextB, translation);
    }
    std::vector<std::string> nested;
};

}  // namespace

TEST_F(ResourceHooks, LookupsDuringATranslationAreNotTranslated) {
    d.CloseDictionary();
    qx::QxDictioFinalization();
    qx::QxDictioInitialization();
    LoadingDictionary loading;
    loading.languages = d.languages;
    loading.Add("Stream read error", "Lesefehler");
    loading.Add("Stream write error", "Schreibfehler");
    loading.OpenDictionary();
    EXPECT_EQ(rtl::LoadResString(&rtl::SReadError), "Lesefehler");
    EXPECT_EQ(loading.nested, std::vector<std::string>{"Stream write error"});
    loading.CloseDictionary();
}

TEST_F(ResourceHooks, WhenTheHooksAreInPlace) {
    d.Add("Stream read error", "Lesefehler");
    // Not asked for by the options.
    d.SetOptions(qx::qxdoUpdateLocaleVariables | qx::qxdoAutoTranslate);
    d.OpenDictionary();
    EXPECT_FALSE(qx::ResourceHooksInstalled);
    EXPECT_EQ(rtl::LoadResString(&rtl::SReadError), "Stream read error");
    d.CloseDictionary();

    // A second resource module keeps them out.
    d.SetOptions(qx::TQxDictionaryOptions(31));
    rtl::ModuleHandle other = &other;
    rtl::RegisterResourceModule(other);
    EXPECT_FALSE(qx::ResourceModulesHoldOnlyProgram());
    d.OpenDictionary();
    EXPECT_TRUE(d.IsOpen());
    EXPECT_FALSE(qx::ResourceHooksInstalled);
    EXPECT_EQ(rtl::LoadResString(&rtl::SReadError), "Stream read error");
    d.CloseDictionary();
    rtl::UnregisterResourceModule(other);
    ASSERT_TRUE(qx::ResourceModulesHoldOnlyProgram());

    // Installed once for all dictionaries; closing any dictionary removes them.
    MemoryDictionary second;
    second.languages = d.languages;
    d.OpenDictionary();
    second.OpenDictionary();
    ASSERT_TRUE(qx::ResourceHooksInstalled);
    EXPECT_EQ(rtl::LoadResString(&rtl::SReadError), "Lesefehler");
    second.CloseDictionary();
    EXPECT_FALSE(qx::ResourceHooksInstalled);
    EXPECT_TRUE(d.IsOpen());
    EXPECT_EQ(rtl::LoadResString(&rtl::SReadError), "Stream read error");
}
