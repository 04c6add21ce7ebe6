// The dictionary component over a dictionary in memory and the fake locale system:
// selection, bindings and check levels, the missing-translation policy, the registry, the
// translator base, the exception display's text and the language change.
#include <gtest/gtest.h>

#include <functional>

#include "components/filer.h"
#include "fake_locale_system.h"
#include "formtext.h"
#include "memory_dictionary.h"
#include "qx/QxTranslatorBase.h"

using qx::TQxDictionary;

KXC_IMPLEMENT_CLASS(MemoryDictionary)
void MemoryDictionary::DescribeClass(kxc::TClassBuilder<MemoryDictionary>&) {}

namespace {

// Languages: 0 native, 1 English (US, UK), 2 German (Germany, Switzerland), 3 Russian.
void AddStandardLanguages(MemoryDictionary& d) {
    d.languages = {MemoryDictionary::Native(),
                   MemoryDictionary::Lang(9, 1, 1252, "1,2", "English"),
                   MemoryDictionary::Lang(7, 1, 1252, "1,2", "German"),
                   MemoryDictionary::Lang(25, 1, 1251, "", "Russian")};
}

// Each test starts with a fresh registry and the state of a program start.
class Dictionary : public ::testing::Test {
protected:
    void SetUp() override {
        qx::QxDictioFinalization();
        qx::QxDictioInitialization();
        qx::FormatSettings = qx::TQxFormatSettings();
        system.AddFullLocale(0x0409, "English", 1252);
        system.AddFullLocale(0x0809, "English", 1252);
        system.AddFullLocale(0x0407, "German", 1252);
        system.AddFullLocale(0x0807, "German", 1252);
        system.AddFullLocale(0x0419, "Russian", 1251);
        system.AddFullLocale(0x0413, "Dutch", 1252);
    }
    void TearDown() override { qx::DefaultDictionaryIndex = 0; }

    std::string RaisedBy(const std::function<void()>& f) {
        try {
            f();
        } catch (const rtl::Exception& e) {
            return std::string(e.ClassName()) + ": " + e.Message();
        }
        return "";
    }

    FakeLocaleSystem system;
    RecordingApplication application;
};

class Translator : public qx::TQxCustomTranslator {
public:
    explicit Translator(kxc::TComponent* owner = nullptr) : qx::TQxCustomTranslator(owner) {}
    void Changed(bool language, bool locale) override {
        if (onChanged) onChanged(language, locale);
    }
    void Close() override {
        ++closes;
        if (!keepRegistered) qx::TQxCustomTranslator::Close();
    }
    // What the translator component's open does: open the dictionary, then register.
    void OpenOn(TQxDictionary& d) {
        SetDictionary(&d);
        d.OpenDictionary();
        Open();
        d.RegisterTranslator(this);
    }
    std::function<void(bool, bool)> onChanged;
    bool keepRegistered = false;
    int closes = 0;
};

}  // namespace

TEST_F(Dictionary, DefaultsAndTheStoredProperties) {
    MemoryDictionary d;
    EXPECT_EQ(d.PrimaryLanguage(), 0);
    EXPECT_EQ(d.SubLanguage(), 1);
    EXPECT_EQ(d.LocaleId(), 0x0400u);
    EXPECT_EQ(d.Language(), -1);
    EXPECT_EQ(d.Options(), qx::qxdoAll);
    EXPECT_EQ(d.Binding(), qx::qxbiLocaleToLanguage);
    EXPECT_EQ(d.CheckLevel(), qx::qxclCodePage);
    EXPECT_TRUE(d.Enabled());
    EXPECT_FALSE(d.IsOpen());
    EXPECT_EQ(application.installs, 1);  // the first dictionary installs the display
    MemoryDictionary second;
    EXPECT_EQ(application.installs, 1);

    // DictionaryCode is read and dropped; defaults are not written back.
    kxc::RegisterComponentClass(MemoryDictionary::StaticClass());
    kxc::TComponent root(nullptr);
    root.SetName("Root");
    const std::string form = formtext::CompileFormText(R"(object Root: TComponent
  object Dict: MemoryDictionary
    DictionaryCode = 7
    DictionaryName = 'Words'
    Language = 2
  end
end
)").Bytes;
    kxc::ReadComponentFromBytes(&root, form);
    auto* read = dynamic_cast<MemoryDictionary*>(root.FindComponent("Dict"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->DictionaryName(), "Words");
    EXPECT_EQ(read->Language(), 2);
    const std::string written = kxc::WriteComponentToBytes(read);
    EXPECT_EQ(written.find("DictionaryCode"), std::string::npos);
    EXPECT_NE(written.find("DictionaryName"), std::string::npos);
    EXPECT_NE(written.find("Language"), std::string::npos);
    EXPECT_EQ(written.find("CheckLevel"), std::string::npos);
    EXPECT_EQ(written.find("SubLanguage"), std::string::npos);
}

TEST_F(Dictionary, FindLanguageByLocaleInThreePasses) {
    MemoryDictionary d;
    d.languages = {MemoryDictionary::Native(),
                   MemoryDictionary::Lang(7, 3, 1252, "", "German (Austria)"),
                   MemoryDictionary::Lang(7, 2, 1252, "2,4", "German (Swiss)"),
                   MemoryDictionary::Lang(12, 5, 1252, "", "French neutral"),
                   MemoryDictionary::Lang(12, 1, 1252, "1", "French"),
                   MemoryDictionary::Lang(10, 3, 1252, "3", "Spanish")};
    d.languages[3].SubLanguages = {"0", "5"};
    struct Case {
        uint32_t locale;
        int32_t index;
    } cases[] = {
        {0, 0},       // the native language, without looking
        {0x0C07, 1},  // pass 1: default sub-language 3
        {0x1007, 2},  // pass 1: listed sub-language 4
        {0x0407, 1},  // pass 2: German with an empty list
        {0x080C, 3},  // pass 2: French whose first listed sub-language is 0
        {0x040C, 4},  // pass 1 wins over pass 2
        {0x080A, 5},  // pass 3: Spanish only with another sub-language
        {0x0419, -1}, // no Russian
        {0x0400, 1},  // the user default: Austria here
    };
    system.userDefault = 0x0C07;
    for (const Case& c : cases)
        EXPECT_EQ(d.FindLanguageByLocale(c.locale), c.index) << std::hex << c.locale;
}

TEST_F(Dictionary, FirstSupportedLanguageByCheckLevel) {
    MemoryDictionary d;
    system.acp = 1252;
    system.codePages = {"1252", "1250"};
    d.languages = {MemoryDictionary::Native(),
                   MemoryDictionary::Lang(25, 1, 1251, "", "Russian"),
                   MemoryDictionary::Lang(5, 1, 1250, "", "Czech"),
                   MemoryDictionary::Lang(7, 1, 1252, "", "German")};
    struct Case {
        qx::TQxCheckLevel level;
        int32_t index;
    } cases[] = {{qx::qxclNone, 1}, {qx::qxclSystem, 2}, {qx::qxclCodePage, 3}};
    for (const Case& c : cases) {
        d.SetCheckLevel(c.level);
        EXPECT_EQ(d.FirstSupportedLanguage(), c.index) << int(c.level);
    }
    // The code-page independent flag passes any code page.
    d.languages[1].Flags = 2;
    EXPECT_EQ(d.FirstSupportedLanguage(), 1);
    // The native language is never the first supported one.
    d.languages = {MemoryDictionary::Native()};
    EXPECT_EQ(d.FirstSupportedLanguage(), -1);
    EXPECT_EQ(RaisedBy([&] { d.OpenDictionary(); }),
              "EQxMulti: System does not support any language of the dicitonary!");
    EXPECT_FALSE(d.IsOpen());
    d.languages.clear();
    EXPECT_EQ(RaisedBy([&] { d.OpenDictionary(); }),
              "EQxMulti: System does not support any language of the dicitonary!");
}

TEST_F(Dictionary, OpeningByBindingAndCheckLevel) {
    struct Case {
        const char* name;
        qx::TQxBinding binding;
        int32_t language;
        uint32_t localeId;
        uint32_t userDefault;
        int32_t selected;
        uint32_t selectedLocale;
        const char* error;
    } cases[] = {
        // The user's default locale decides the language and, through it, the locale.
        {"user UK", qx::qxbiLocaleToLanguage, -1, 0x0400, 0x0809, 1, 0x0809, ""},
        {"user Swiss", qx::qxbiLocaleToLanguage, -1, 0x0400, 0x0807, 2, 0x0807, ""},
        // A language asked for by index takes the user's sub-language only for its own
        // primary language.
        {"German for a UK user", qx::qxbiLocaleToLanguage, 2, 0x0400, 0x0809, 2, 0x0407, ""},
        {"no language for the user", qx::qxbiLocaleToLanguage, -1, 0x0400, 0x0411, 1, 0x0409, ""},
        {"none: locale apart", qx::qxbiNone, 2, 0x0809, 0x0409, 2, 0x0809, ""},
        {"locale decides", qx::qxbiLanguageToLocale, 1, 0x0407, 0x0409, 2, 0x0407, ""},
        {"locale without language", qx::qxbiLanguageToLocale, 2, 0x0413, 0x0409, 1, 0x0413, ""},
        {"locale unknown", qx::qxbiLanguageToLocale, 2, 0x0411, 0x0409, -1, 0x0411,
         "EQxMulti: The locale (17, 1) is not supported by the current code page"},
        {"Russian on 1252", qx::qxbiLocaleToLanguage, 3, 0x0400, 0x0409, 3, 0,
         "EQxMulti: Russian is not supported by the code page"},
        {"stored index too large", qx::qxbiNone, 4, 0x0400, 0x0409, -1, 0,
         "ERangeError: Language index 4 is out of range"},
    };
    for (const Case& c : cases) {
        system.userDefault = c.userDefault;
        MemoryDictionary d;
        AddStandardLanguages(d);
        d.SetBinding(c.binding);
        d.SetLanguage(c.language);
        d.SetLocaleId(c.localeId);
        const std::string error = RaisedBy([&] { d.OpenDictionary(); });
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(d.IsOpen(), error.empty()) << c.name;
        if (c.selected >= 0) {
            EXPECT_EQ(d.SelectedLanguageIndex(), c.selected) << c.name;
        }
        if (c.selectedLocale) {
            EXPECT_EQ(d.SelectedLocaleId(), c.selectedLocale) << c.name;
        }
    }
}

TEST_F(Dictionary, WhenOpeningDoesNothing) {
    MemoryDictionary d;
    AddStandardLanguages(d);
    int notified = 0;
    d.OnLanguageChange = [&](kxc::TObject*) { ++notified; };
    d.available = false;
    d.OpenDictionary();  // no source: stays closed, reports nothing
    EXPECT_FALSE(d.IsOpen());
    EXPECT_EQ(notified, 0);
    d.available = true;
    d.SetEnabled(false);
    d.OpenDictionary();  // disabled but closed: opens
    EXPECT_TRUE(d.IsOpen());
    d.OpenDictionary();  // disabled and open: left alone
    EXPECT_EQ(notified, 1);
    d.SetEnabled(true);
    d.OpenDictionary();  // enabled and open: opened again, told again
    EXPECT_EQ(notified, 2);
}

TEST_F(Dictionary, SetLanguageOnClosedAndOpenDictionaries) {
    MemoryDictionary d;
    AddStandardLanguages(d);
    int notified = 0;
    d.OnLanguageChange = [&](kxc::TObject*) { ++notified; };
    for (int32_t stored : {-3, 99, 1}) {
        d.SetLanguage(stored);  // closed: stored unchecked
        EXPECT_EQ(d.Language(), stored);
    }
    d.OpenDictionary();
    ASSERT_TRUE(d.IsOpen());
    EXPECT_EQ(notified, 1);
    struct Case {
        int32_t value;
        const char* error;
        int notifications;
    } cases[] = {
        {-3, "ERangeError: Language index -3 is out of range", 0},
        {4, "ERangeError: Language index 4 is out of range", 0},
        {1, "", 0},  // the current value: nothing happens
        {2, "", 1},
        {-1, "", 1},
    };
    for (const Case& c : cases) {
        notified = 0;
        EXPECT_EQ(RaisedBy([&] { d.SetLanguage(c.value); }), c.error) << c.value;
        EXPECT_EQ(notified, c.notifications) << c.value;
    }
    EXPECT_EQ(d.Language(), -1);
    EXPECT_EQ(d.SelectedLanguageIndex(), 1);  // the user's English
}

TEST_F(Dictionary, LanguageSwitchTellsWhetherTheLocaleChanged) {
    MemoryDictionary d;
    // Two variants of English that share the locale of the user.
    d.languages = {MemoryDictionary::Native(),
                   MemoryDictionary::Lang(9, 1, 1252, "1", "English"),
                   MemoryDictionary::Lang(9, 1, 1252, "1", "English too"),
                   MemoryDictionary::Lang(7, 1, 1252, "", "German")};
    d.SetLanguage(1);
    d.OpenDictionary();
    std::vector<std::pair<bool, bool>> told;
    Translator t;
    t.OpenOn(d);
    t.onChanged = [&](bool language, bool locale) { told.emplace_back(language, locale); };
    d.SetLanguage(2);
    d.SetLanguage(3);
    EXPECT_EQ(told, (std::vector<std::pair<bool, bool>>{{true, false}, {true, true}}));
    // A locale change under qxbiLanguageToLocale tells whether the language changed.
    told.clear();
    d.SetBinding(qx::qxbiLanguageToLocale);
    d.SetLocaleId(0x0807);  // German still
    d.SetLocaleId(0x0409);
    EXPECT_EQ(told, (std::vector<std::pair<bool, bool>>{{false, true}, {true, true}}));
    EXPECT_EQ(d.SelectedLanguageIndex(), 1);
}

TEST_F(Dictionary, LocaleFromLanguageAndLanguageFromLocale) {
    system.userDefault = 0x0809;
    MemoryDictionary d;
    AddStandardLanguages(d);
    d.LocaleFromLanguage();  // closed: nothing
    EXPECT_EQ(d.SelectedLocaleId(), 0u);
    d.OpenDictionary();
    ASSERT_EQ(d.SelectedLocaleId(), 0x0809u);
    std::vector<std::pair<bool, bool>> told;
    Translator t;
    t.OpenOn(d);
    t.onChanged = [&](bool language, bool locale) { told.emplace_back(language, locale); };
    d.LocaleFromLanguage();  // the language's default: US
    d.LocaleFromLanguage();  // no change, no notification
    EXPECT_EQ(d.SelectedLocaleId(), 0x0409u);
    d.SetBinding(qx::qxbiNone);
    d.SetLocaleId(0x0407);   // the locale alone
    d.LanguageFromLocale();  // now the language follows
    d.LanguageFromLocale();
    EXPECT_EQ(d.SelectedLanguageIndex(), 2);
    EXPECT_EQ(d.Language(), -1);
    EXPECT_EQ(told, (std::vector<std::pair<bool, bool>>{{false, true}, {false, true}, {true, false}}));
}

TEST_F(Dictionary, GetLanguageInfoRange) {
    MemoryDictionary d;
    AddStandardLanguages(d);
    for (int32_t bad : {-1, -2, 4})
        EXPECT_EQ(RaisedBy([&] { d.GetLanguageInfo(bad); }), "ERangeError: Out of language range")
            << bad;
    // Closed and never selected: index 0 is the dictionary's own native language.
    EXPECT_EQ(d.GetLanguageInfo(0)->EnglishName, "Native");
    EXPECT_EQ(d.GetLanguageInfo(2)->EnglishName, "German");
    d.OpenDictionary();
    EXPECT_EQ(d.GetLanguageInfo(1), &d.SelectedLanguage());
}

// The selected language's object outlives a change of language: the caller that took it
// from GetLanguageInfo reads the new selection through it, also after a locale change that
// selects the language again and after closing and reopening.
TEST_F(Dictionary, GetLanguageInfoOfTheSelectedLanguageStaysValid) {
    MemoryDictionary d;
    AddStandardLanguages(d);
    d.SetLanguage(1);
    d.OpenDictionary();
    const qx::TQxLanguage* selected = d.GetLanguageInfo(1);
    const qx::TQxLocale* locale = &d.SelectedLocale();
    ASSERT_EQ(selected->EnglishName, "English");
    d.SetLanguage(2);
    EXPECT_EQ(selected->EnglishName, "German");
    EXPECT_EQ(selected->PrimaryId, 7);
    EXPECT_EQ(d.GetLanguageInfo(2), selected);
    EXPECT_EQ(locale->PrimaryId, 7);
    EXPECT_EQ(&d.SelectedLocale(), locale);
    d.SetBinding(qx::qxbiLanguageToLocale);
    d.SetLocaleId(0x0409);
    EXPECT_EQ(selected->EnglishName, "English");
    d.CloseDictionary();
    d.SetBinding(qx::qxbiLocaleToLanguage);
    d.SetLanguage(2);
    d.OpenDictionary();
    EXPECT_EQ(selected->EnglishName, "German");
    EXPECT_EQ(&d.SelectedLanguage(), selected);
}

TEST_F(Dictionary, MissingTranslationPolicies) {
    MemoryDictionary d;
    d.Add("Yes", "Da");
    d.Add("Empty", "");
    const char* notFound = "EQxMulti: Dictionary does not contain a translation for the word \"No\"";
    const char* foundEmpty = "EQxMulti: Translation for the word \"Empty\" is missing";
    struct Case {
        qx::TQxMissingTranslation policy;
        const char* text;
        const char* result;  // or the error
    } cases[] = {
        {qx::qxmtUseNative, "Yes", "Da"},     {qx::qxmtUseNative, "No", "No"},
        {qx::qxmtUseNative, "Empty", "Empty"}, {qx::qxmtUseNull, "Yes", "Da"},
        {qx::qxmtUseNull, "No", ""},          {qx::qxmtUseNull, "Empty", ""},
        {qx::qxmtTagNative, "Yes", "Da"},     {qx::qxmtTagNative, "No", "@No@"},
        {qx::qxmtTagNative, "Empty", "@Empty@"}, {qx::qxmtRaiseException, "Yes", "Da"},
        {qx::qxmtRaiseException, "No", notFound}, {qx::qxmtRaiseException, "Empty", foundEmpty},
    };
    for (const Case& c : cases) {
        d.SetMissingTranslation(c.policy);
        std::string got;
        std::string error = RaisedBy([&] { got = qx::TranslateWith(&d, c.text); });
        EXPECT_EQ(error.empty() ? got : error, c.result) << int(c.policy) << " " << c.text;
    }
    // An empty text: TranslateWith never looks; TranslateWithContext counts it as found empty.
    struct EmptyCase {
        qx::TQxMissingTranslation policy;
        const char* withContext;
    } empties[] = {{qx::qxmtUseNative, ""},
                   {qx::qxmtUseNull, ""},
                   {qx::qxmtTagNative, "@@"},
                   {qx::qxmtRaiseException, "EQxMulti: Translation for the word \"\" is missing"}};
    for (const EmptyCase& c : empties) {
        d.SetMissingTranslation(c.policy);
        EXPECT_EQ(qx::TranslateWith(&d, ""), "") << int(c.policy);
        std::string got;
        std::string error = RaisedBy([&] { got = qx::TranslateWithContext(&d, "", "", "7"); });
        EXPECT_EQ(error.empty() ? got : error, c.withContext) << int(c.policy);
    }
    EXPECT_EQ(qx::TranslateWith(nullptr, "Yes"), "Yes");
    EXPECT_EQ(qx::TranslateWithContext(nullptr, "Yes", "a", "b"), "Yes");
}

TEST_F(Dictionary, ContextLookupFirstThenPlain) {
    MemoryDictionary d;
    d.Add("Open", "Open in context", "", "65400");
    d.Add("Open", "Open plain");
    EXPECT_EQ(qx::TranslateWithContext(&d, "Open", "", "65400"), "Open plain");  // no contexts
    d.UseContexts(true);
    EXPECT_EQ(qx::TranslateWithContext(&d, "Open", "", "65400"), "Open in context");
    EXPECT_EQ(qx::TranslateWithContext(&d, "Open", "", "1"), "Open plain");
    EXPECT_TRUE(TQxDictionary::HasContextA(1) && TQxDictionary::HasContextA(3));
    EXPECT_FALSE(TQxDictionary::HasContextA(2) || TQxDictionary::HasContextB(3));
    EXPECT_TRUE(TQxDictionary::HasContextB(1) && TQxDictionary::HasContextB(2));
}

TEST_F(Dictionary, RegistryNamesFindsAndDefaults) {
    EXPECT_EQ(qx::TranslateString("Hello"), "Hello");  // empty registry
    EXPECT_EQ(qx::GetDefaultDictionary(), nullptr);
    MemoryDictionary first;
    first.SetDictionaryName("Dictionary1");
    MemoryDictionary* second = new MemoryDictionary;
    EXPECT_EQ(second->DictionaryName(), "Dictionary2");
    second->SetDictionaryName("Dictionary3");
    delete second;
    MemoryDictionary third;  // holds 1; count+1 = 2 is free
    EXPECT_EQ(third.DictionaryName(), "Dictionary2");
    third.SetDictionaryName("Dictionary3");
    MemoryDictionary fourth;  // {1, 3}: tries 3, takes 4
    EXPECT_EQ(fourth.DictionaryName(), "Dictionary4");
    ASSERT_EQ(qx::Dictionaries->Count(), 3);
    EXPECT_EQ(qx::Dictionaries->Find("Dictionary3"), &third);
    EXPECT_EQ(qx::Dictionaries->Find("dictionary3"), nullptr);
    EXPECT_EQ(RaisedBy([] { qx::Dictionaries->Items(3); }),
              "EListError: List index out of bounds (3)");
    EXPECT_EQ(RaisedBy([] { qx::Dictionaries->Items(-1); }),
              "EListError: List index out of bounds (-1)");

    first.Add("Hello", "Privet");
    EXPECT_EQ(qx::TranslateString("Hello"), "Privet");  // open or not
    qx::DefaultDictionaryIndex = 3;
    const char* range = "ERangeError: DefaultDictionaryIndex is out or range: 3";
    EXPECT_EQ(RaisedBy([] { qx::TranslateString("Hello"); }), range);
    EXPECT_EQ(RaisedBy([] { qx::GetDefaultDictionary(); }), range);
    EXPECT_FALSE(qx::IsDefaultDictionaryOpen());
    qx::DefaultDictionaryIndex = 0xFFFFFFFFu;  // compared and shown unsigned
    EXPECT_EQ(RaisedBy([] { qx::CheckDefaultDictionaryIndex(); }),
              "ERangeError: DefaultDictionaryIndex is out or range: 4294967295");
}

TEST_F(Dictionary, UnitEndLeavesNothingBehind) {
    auto* d = new MemoryDictionary;
    Translator t;
    t.SetDictionaryName(d->DictionaryName());
    qx::QxDictioFinalization();
    EXPECT_EQ(qx::Dictionaries, nullptr);
    EXPECT_EQ(qx::TranslateString("x"), "x");
    EXPECT_EQ(qx::GetDefaultDictionary(), nullptr);
    EXPECT_FALSE(qx::IsDefaultDictionaryOpen());
    t.SetDictionaryName("Other");  // no registry: unbound, name kept
    EXPECT_EQ(t.Dictionary(), nullptr);
    EXPECT_EQ(t.DictionaryName(), "Other");
    delete d;  // finds no registry to leave
    MemoryDictionary late;  // created without a registry
    qx::QxDictioInitialization();
    ASSERT_NE(qx::Dictionaries, nullptr);
    EXPECT_EQ(qx::Dictionaries->Count(), 0);
}

TEST_F(Dictionary, TranslatorBindsByNameAndForgetsAFreedDictionary) {
    auto* d = new MemoryDictionary;
    d->SetDictionaryName("Words");
    Translator t;
    t.SetDictionaryName("Missing");
    EXPECT_EQ(t.Dictionary(), nullptr);
    EXPECT_EQ(t.DictionaryName(), "Missing");
    t.SetDictionaryName("Words");
    EXPECT_EQ(t.Dictionary(), d);
    delete d;  // not open: only the free notification reaches the translator
    EXPECT_EQ(t.Dictionary(), nullptr);
    EXPECT_EQ(t.DictionaryName(), "Words");

    // An open translator: closed by the dictionary's destruction, unbound, name kept.
    auto* e = new MemoryDictionary;
    AddStandardLanguages(*e);
    t.OpenOn(*e);
    EXPECT_TRUE(t.IsOpen());
    ASSERT_EQ(e->Translators().size(), 1u);
    delete e;
    EXPECT_FALSE(t.IsOpen());
    EXPECT_EQ(t.Dictionary(), nullptr);

    // A translator freed while registered leaves the list.
    MemoryDictionary f;
    AddStandardLanguages(f);
    auto* u = new Translator;
    u->OpenOn(f);
    delete u;
    EXPECT_TRUE(f.Translators().empty());
}

TEST_F(Dictionary, OnADesigningFormChecksAreSkippedAndTranslatorsBindTheDefault) {
    kxc::TComponent form(nullptr);
    form.SetDesigning(true);
    auto* d = kxc::Create<MemoryDictionary>(&form);
    AddStandardLanguages(*d);
    d->SetLanguage(3);  // Russian, whose code page is not the system's
    d->OpenDictionary();
    EXPECT_TRUE(d->IsOpen());
    EXPECT_EQ(d->SelectedLanguageIndex(), 3);
    auto* t = kxc::Create<Translator>(&form);
    EXPECT_EQ(t->Dictionary(), d);
    EXPECT_EQ(t->DictionaryName(), d->DictionaryName());
    qx::DefaultDictionaryIndex = 5;
    EXPECT_EQ(RaisedBy([&] { kxc::Create<Translator>(&form); }),
              "ERangeError: DefaultDictionaryIndex is out or range: 5");
    Translator running;  // at run time nothing is bound at creation
    EXPECT_EQ(running.Dictionary(), nullptr);
}

TEST_F(Dictionary, CloseTranslatorsEndsAndTheChangeLoopSkipsLeavers) {
    MemoryDictionary d;
    AddStandardLanguages(d);
    Translator stubborn;
    stubborn.keepRegistered = true;
    Translator normal;
    stubborn.OpenOn(d);
    normal.OpenOn(d);
    d.CloseDictionary();
    EXPECT_TRUE(d.Translators().empty());
    EXPECT_EQ(stubborn.closes, 1);
    EXPECT_EQ(normal.closes, 1);

    Translator a, b, c;
    a.OpenOn(d);
    b.OpenOn(d);
    std::vector<std::string> told;
    a.onChanged = [&](bool, bool) {
        told.push_back("a");
        d.UnregisterTranslator(&b);
        c.SetDictionary(&d);
        c.Open();
        d.RegisterTranslator(&c);  // joins after the count was taken
    };
    b.onChanged = [&](bool, bool) { told.push_back("b"); };
    c.onChanged = [&](bool, bool) { told.push_back("c"); };
    d.SetLanguage(2);
    EXPECT_EQ(told, std::vector<std::string>{"a"});
}

TEST_F(Dictionary, TheLanguageChangeInItsOrder) {
    MemoryDictionary d;
    AddStandardLanguages(d);
    d.languages.push_back(MemoryDictionary::Lang(1, 1, 1256, "", "Arabic", 2));
    system.thread = 0x0409;
    d.SetOptions(qx::qxdoUpdateLocaleVariables | qx::qxdoAutoTranslate | qx::qxdoYear2000);
    d.OpenDictionary();
    Translator t;
    t.OpenOn(d);
    std::vector<std::string>& log = application.log;
    log.clear();
    t.onChanged = [&](bool language, bool locale) {
        log.push_back(std::string("translator ") + (language ? "L" : "-") + (locale ? "C" : "-") +
                      " thread " + FakeLocaleSystem::Hex(system.thread) + " months " +
                      qx::FormatSettings.LongMonthNames[0]);
    };
    d.OnLanguageChange = [&](kxc::TObject* sender) {
        log.push_back(sender == &d ? "language event" : "?");
    };
    d.OnLocaleChange = [&](kxc::TObject*) { log.push_back("locale event"); };
    system.Set(0x0407, qx::lc::SMONTHNAME1, "Januar");
    d.SetLanguage(2);
    EXPECT_EQ(log, (std::vector<std::string>{"ltr", "translator LC thread 00000407 months Januar",
                                             "language event", "locale event"}));
    // What the German locale published: Sunday first, two-digit years widened, 24 hours.
    const qx::TQxFormatSettings& f = qx::FormatSettings;
    EXPECT_EQ(f.SysLocale.DefaultLCID, 0x0407u);
    EXPECT_EQ(f.SysLocale.PriLangID, 7);
    EXPECT_EQ(f.SysLocale.SubLangID, 1);
    EXPECT_EQ(f.LongDayNames[0], "Day7");   // the locale's Sunday
    EXPECT_EQ(f.LongDayNames[1], "Day1");   // its Monday
    EXPECT_EQ(f.ShortDayNames[6], "d6");    // its Saturday
    EXPECT_EQ(f.ShortDateFormat, "M/d/yyyy");
    EXPECT_EQ(f.LongDateFormat, "dddd, MMMM dd, yyyy");
    EXPECT_EQ(f.ShortTimeFormat, "hh:mm");
    EXPECT_EQ(f.LongTimeFormat, "hh:mm:ss");
    EXPECT_EQ(f.DecimalSeparator, '.');
    EXPECT_EQ(f.CurrencyString, "\x80");  // a euro locale in 2010

    // Right to left for Arabic; a language change without a locale change publishes nothing.
    d.SetCheckLevel(qx::qxclNone);
    log.clear();
    qx::FormatSettings.DecimalSeparator = '#';
    d.SetBinding(qx::qxbiNone);
    d.SetLanguage(4);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log[0], "rtl");
    EXPECT_EQ(log[1], "translator L- thread 00000407 months Januar");
    EXPECT_EQ(qx::FormatSettings.DecimalSeparator, '#');

    // Without qxdoUpdateLocaleVariables the thread locale still follows.
    d.SetOptions(0);
    d.SetLocaleId(0x0419);
    EXPECT_EQ(system.thread, 0x0419u);
    EXPECT_EQ(qx::FormatSettings.DecimalSeparator, '#');
}

TEST_F(Dictionary, AnUnknownLocaleIsNeverPublished) {
    MemoryDictionary d;
    AddStandardLanguages(d);
    d.SetBinding(qx::qxbiNone);
    d.SetLanguage(1);
    d.OpenDictionary();
    ASSERT_EQ(system.thread, 0x0409u);
    const std::string months = qx::FormatSettings.LongMonthNames[0];
    ASSERT_FALSE(months.empty());
    // Under the code-page check the unknown locale is refused: its empty data is not that
    // of the native language.
    EXPECT_EQ(RaisedBy([&] { d.SetLocaleId(0x0BFF); }),
              "EQxMulti: The locale (1023, 2) is not supported by the current code page");
    // So is it under the system check, although its code page 0 counts as supported.
    d.SetCheckLevel(qx::qxclSystem);
    EXPECT_EQ(RaisedBy([&] { d.SetLocaleId(0x0C3E); }),
              "EQxMulti: The locale (62, 3) is not supported by the system");
    EXPECT_EQ(system.thread, 0x0409u);
    EXPECT_EQ(qx::FormatSettings.LongMonthNames[0], months);
    // Without checks it is selected, but the thread and the settings keep what they had.
    d.SetCheckLevel(qx::qxclNone);
    d.SetLocaleId(0x0C3F);
    EXPECT_EQ(d.SelectedLocaleId(), 0x0C3Fu);
    EXPECT_FALSE(d.SelectedLocaleKnown());
    EXPECT_EQ(system.thread, 0x0409u);
    EXPECT_EQ(qx::FormatSettings.LongMonthNames[0], months);
    EXPECT_EQ(qx::FormatSettings.SysLocale.DefaultLCID, 0x0409u);
    d.SetEuro(qx::qxeBusiness);
    EXPECT_EQ(qx::FormatSettings.CurrencyString, "$");
    EXPECT_EQ(qx::EuroMode, qx::qxeBusiness);
    qx::EuroMode = qx::qxeNormal;
}

// On the platform's own locale services, natively (which know no locale) and on Windows
// alike: the native language's locale 0 passes both check levels whether or not the system
// has data for it, and a locale that neither the dictionary nor the system knows fails both,
// leaving the thread locale and the settings as they were and telling nobody.
TEST(DictionaryOnThePlatformLocales, TheNativeLocalePassesAndAnUnknownOneFails) {
    qx::QxDictioFinalization();
    qx::QxDictioInitialization();
    RecordingApplication application;
    qx::TQxLocale english;  // the dictionary's own, so that both trees have the same data
    english.PrimaryId = 9;
    english.SubId = 1;
    english.LongMonthNames[0] = "January (own)";
    english.DecimalSeparator = ',';
    struct Case {
        qx::TQxCheckLevel level;
        const char* unknownError;
    } cases[] = {
        {qx::qxclCodePage, "EQxMulti: The locale (1023, 2) is not supported by the current code page"},
        {qx::qxclSystem, "EQxMulti: The locale (1023, 2) is not supported by the system"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.level));
        MemoryDictionary d;
        d.languages = {MemoryDictionary::Native(),
                       MemoryDictionary::Lang(9, 1, 1252, "1", "English")};
        d.locales = {english};
        d.SetCheckLevel(c.level);
        d.SetLanguage(1);
        d.OpenDictionary();
        ASSERT_TRUE(d.IsOpen());
        ASSERT_EQ(d.SelectedLocaleId(), 0x0409u);

        std::string error;
        try {
            d.SetLanguage(0);
        } catch (const rtl::Exception& e) {
            error = e.Message();
        }
        EXPECT_EQ(error, "");
        EXPECT_EQ(d.SelectedLanguageIndex(), 0);
        EXPECT_EQ(d.SelectedLocaleId(), 0u);

        d.SetLanguage(1);
        ASSERT_EQ(qx::LocaleSystem().ThreadLocale(), 0x0409u);
        ASSERT_EQ(qx::FormatSettings.LongMonthNames[0], "January (own)");
        int told = 0;
        d.OnLocaleChange = [&](kxc::TObject*) { ++told; };
        d.SetBinding(qx::qxbiNone);
        error.clear();
        try {
            d.SetLocaleId(0x0BFF);
        } catch (const rtl::Exception& e) {
            error = std::string(e.ClassName()) + ": " + e.Message();
        }
        EXPECT_EQ(error, c.unknownError);
        EXPECT_FALSE(d.SelectedLocaleKnown());
        EXPECT_EQ(told, 0);
        EXPECT_EQ(qx::LocaleSystem().ThreadLocale(), 0x0409u);
        EXPECT_EQ(qx::FormatSettings.LongMonthNames[0], "January (own)");
        EXPECT_EQ(qx::FormatSettings.DecimalSeparator, ',');
    }
}

TEST_F(Dictionary, EuroSetterPublishesOnlyWhenOpen) {
    MemoryDictionary d;
    AddStandardLanguages(d);
    system.userDefault = 0x0407;
    system.today = qx::TQxDate{2001, 6, 1};
    system.Set(0x0407, qx::lc::SCURRENCY, "DM");
    qx::FormatSettings.CurrencyString = "before";
    d.SetEuro(qx::qxeBusiness);
    EXPECT_EQ(qx::FormatSettings.CurrencyString, "before");
    d.SetEuro(qx::qxeNormal);
    d.OpenDictionary();
    EXPECT_EQ(qx::FormatSettings.CurrencyString, "DM");
    d.SetEuro(qx::qxeBusiness);
    EXPECT_EQ(qx::FormatSettings.CurrencyString, "\x80");
    d.SetEuro(qx::qxeIgnore);
    EXPECT_EQ(qx::FormatSettings.CurrencyString, "DM");
    qx::EuroMode = qx::qxeNormal;
}

TEST_F(Dictionary, ExceptionDisplayText) {
    struct Case {
        const char* message;
        const char* shown;
    } cases[] = {{"File not found", "File not found."}, {"Done.", "Done."}, {"Stop!", "Stop!"},
                 {"", ""}, {"Why?", "Why?."}, {"Count: 3", "Count: 3."}, {"(x)", "(x)"},
                 {"Trailing ", "Trailing "},
                 {"\xCE\xF8\xE8\xE1\xEA\xE0", "\xCE\xF8\xE8\xE1\xEA\xE0."}};
    for (const Case& c : cases)
        qx::ShowTranslatedException(nullptr, rtl::Exception(c.message));
    ASSERT_EQ(application.boxes.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(application.boxes[i], cases[i].shown) << i;

    // Translated through the open default dictionary; under the raising policy a missing
    // translation shows the message as it came and raises nothing.
    MemoryDictionary d;
    AddStandardLanguages(d);
    d.Add("File not found", "Fichier introuvable");
    application.boxes.clear();
    qx::ShowTranslatedException(nullptr, rtl::Exception("File not found"));
    d.OpenDictionary();
    qx::ShowTranslatedException(nullptr, rtl::Exception("File not found"));
    d.SetMissingTranslation(qx::qxmtRaiseException);
    EXPECT_NO_THROW(qx::ShowTranslatedException(nullptr, rtl::Exception("Disk full")));
    EXPECT_EQ(application.boxes, (std::vector<std::string>{"File not found.",
                                                           "Fichier introuvable.", "Disk full."}));
}

TEST(LocaleVariables, ExpandTwoDigitYear) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"dd.MM.yy", "dd.MM.yyyy"}, {"d/M/yyyy", "d/M/yyyy"}, {"dd MMMM", "dd MMMM"},
                 {"yy/yy", "yyyy/yy"},       {"yyy", "yyyyy"},        {"", ""}};
    for (const Case& c : cases) {
        std::string f = c.in;
        qx::ExpandTwoDigitYear(f);
        EXPECT_EQ(f, c.out) << c.in;
    }
}

TEST(LocaleVariables, BuildTimeFormats) {
    struct Case {
        uint8_t format, marker;
        bool zero;
        const char* shortFormat;
        const char* longFormat;
    } cases[] = {{0, 0, false, "h:mm AMPM", "h:mm:ss AMPM"},
                 {0, 1, false, "AMPM h:mm", "AMPM h:mm:ss"},
                 {0, 2, true, "hh:mm", "hh:mm:ss"},
                 {1, 0, true, "hh:mm", "hh:mm:ss"},
                 {1, 1, false, "h:mm", "h:mm:ss"}};
    for (const Case& c : cases) {
        qx::TQxTimeFormats f = qx::BuildTimeFormats(c.format, c.marker, c.zero);
        EXPECT_EQ(f.ShortTimeFormat, c.shortFormat) << int(c.format) << int(c.marker);
        EXPECT_EQ(f.LongTimeFormat, c.longFormat) << int(c.format) << int(c.marker);
    }
}

TEST(LocaleVariables, TimeSeparatorZeroBecomesColon) {
    qx::TQxLocale l;
    l.TimeSeparator = 0;
    qx::PublishFormatSettings(l, false);
    EXPECT_EQ(qx::FormatSettings.TimeSeparator, ':');
    l.TimeSeparator = '.';
    qx::PublishFormatSettings(l, false);
    EXPECT_EQ(qx::FormatSettings.TimeSeparator, '.');
}
