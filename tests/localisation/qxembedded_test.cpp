// Embedded dictionary data: the three properties of a binary dictionary stored in its form's
// description. The search through a stored form (every value type, nested children, letter
// case), the data versions, the version-1 layouts, the '#' escapes, the counting readers
// against the list readers, and a GLD file taken through the writers into a form resource
// that answers as the file does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "components/filer.h"
#include "components/streams.h"
#include "fake_locale_system.h"
#include "gldwriter.h"
#include "memory_dictionary.h"
#include "qx/QxBinDic.h"
#include "qx/QxEmbedded.h"

namespace fs = std::filesystem;

namespace {

// The form that owns the dictionary in these tests; its class name names its resource.
class TfrmEmbedTest : public kxc::TComponent {
    KXC_CLASS(TfrmEmbedTest, kxc::TComponent)
public:
    using kxc::TComponent::TComponent;
    // The components it owns are stored as its children, as a form's are.
    void GetChildren(const std::function<void(kxc::TComponent*)>& proc,
                     kxc::TComponent* root) override {
        if (root == this)
            for (int i = 0; i < ComponentCount(); ++i) proc(Components(i));
    }
};
KXC_IMPLEMENT_CLASS(TfrmEmbedTest)
void TfrmEmbedTest::DescribeClass(kxc::TClassBuilder<TfrmEmbedTest>&) {}

const char* const kForm = "TfrmEmbedTest";
const char* const kDictClass = "TQxBinaryDictionary";
const char* const kDictName = "QxBinaryDictionary1";

std::string Raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "";
}

using Values = std::function<void(kxc::TWriter&)>;

// Writes one property value of every type the form streaming knows, nested lists and a
// collection with order values included.
void EveryValueType(kxc::TWriter& w) {
    w.WriteStr("Int8");
    w.WriteInteger(-5);
    w.WriteStr("Int16");
    w.WriteInteger(1000);
    w.WriteStr("Int32");
    w.WriteInteger(100000);
    w.WriteStr("Int64");
    w.WriteInteger(int64_t(1) << 40);
    w.WriteStr("Extended");
    w.WriteFloat(2.5);
    w.WriteStr("Single");
    w.WriteSingle(1.5f);
    w.WriteStr("Currency");
    w.WriteCurrency(12.34);
    w.WriteStr("Date");
    w.WriteDate(45000.5);
    w.WriteStr("Str");
    w.WriteString("\xCF\xF0\xE8\xE2\xE5\xF2");  // Привет in code page 1251
    w.WriteStr("LStr");
    w.WriteString(std::string(300, 'x'));
    w.WriteStr("WStr");
    w.WriteWideString(u"\x041F\x0440\x0438");
    w.WriteStr("Ident");
    w.WriteIdent("alClient");
    w.WriteStr("No");
    w.WriteBoolean(false);
    w.WriteStr("Yes");
    w.WriteBoolean(true);
    w.WriteStr("Nothing");
    w.WriteIdent("nil");
    w.WriteStr("Bin");
    w.WriteBinary(std::string("\x00\x01Languages\x00", 12));
    w.WriteStr("Set");
    w.WriteValue(kxc::vaSet);
    w.WriteStr("akLeft");
    w.WriteStr("akTop");
    w.WriteStr("");
    w.WriteStr("Lists");
    w.WriteListBegin();
    w.WriteListBegin();
    w.WriteString("Languages");
    w.WriteListEnd();
    w.WriteInteger(7);
    w.WriteListEnd();
    w.WriteStr("Items");
    w.WriteValue(kxc::vaCollection);
    w.WriteInteger(3);  // an order value
    w.WriteListBegin();
    w.WriteStr("Caption");
    w.WriteString("One");
    w.WriteStr("Inner");
    w.WriteListBegin();
    w.WriteInteger(1);
    w.WriteListEnd();
    w.WriteListEnd();
    w.WriteListBegin();  // no order value
    w.WriteListEnd();
    w.WriteListEnd();
}

// A component with the given properties and children.
void Component(kxc::TWriter& w, const std::string& cls, const std::string& name,
               const Values& props, const Values& children = nullptr, uint8_t flags = 0) {
    w.WritePrefix(flags, 2);
    w.WriteStr(cls);
    w.WriteStr(name);
    if (props) props(w);
    w.WriteListEnd();
    if (children) children(w);
    w.WriteListEnd();
}

struct Data {
    Values languages, translations, locales;
};

// The form: root properties, components holding every value type (one with children and
// grandchildren, one with the model's inherited / child-position prefix, a dictionary
// nested one level down), then the dictionary with properties before its data. A form that
// the component model is to load holds the dictionary alone.
std::string FormBytes(const Data& data, bool loadable = false) {
    const std::string dictClass = kDictClass, dictName = kDictName;
    kxc::TMemoryStream stream;
    kxc::TWriter w(stream);
    w.WriteSignature();
    Component(
        w, kForm, "frmEmbedTest",
        [loadable](kxc::TWriter& w) {
            if (loadable) return;
            w.WriteStr("Caption");
            w.WriteString("Form");
            w.WriteStr("Languages");
            w.WriteInteger(1);
        },
        [&](kxc::TWriter& w) {
            if (!loadable)
                Component(w, "TPanel", "Panel1", EveryValueType, [&](kxc::TWriter& w) {
                    Component(w, "TButton", "Button1", EveryValueType, [&](kxc::TWriter& w) {
                        Component(w, "TLabel", "Label1", nullptr);
                    });
                    // Found only among the root's direct children.
                    Component(w, kDictClass, "Nested", [](kxc::TWriter& w) {
                        w.WriteStr("Languages");
                        w.WriteInteger(99);
                    });
                });
            if (!loadable)
                Component(w, "TEdit", "Edit1", EveryValueType, nullptr,
                          kxc::ffInherited | kxc::ffChildPos);
            Component(w, dictClass, dictName, [&](kxc::TWriter& w) {
                w.WriteStr("DictionaryName");
                w.WriteString("Dictionary1");
                w.WriteStr("Storage");
                w.WriteIdent("qxsEmbedded");
                w.WriteStr("Languages");
                data.languages(w);
                w.WriteStr("Translations");
                data.translations(w);
                w.WriteStr("Locales");
                data.locales(w);
            });
            if (!loadable) Component(w, "TTimer", "Timer1", EveryValueType);
        });
    return stream.Bytes();
}

void LanguageItem(kxc::TWriter& w, int primary, const std::string& subs, int defaultSub,
                  int codePage, const std::string& english, bool version1 = false) {
    w.WriteListBegin();
    w.WriteInteger(primary);
    w.WriteString(subs);
    w.WriteInteger(defaultSub);
    if (!version1) w.WriteInteger(0);  // charset: the code page decides it
    w.WriteInteger(codePage);
    w.WriteString(english);
    w.WriteString("N-" + english);
    w.WriteString("Tahoma");
    w.WriteInteger(8);
    w.WriteBoolean(true);
    w.WriteBoolean(false);
    w.WriteListEnd();
}

// Native, German, Russian.
Values Languages(int version = 2) {
    return [version](kxc::TWriter& w) {
        w.WriteListBegin();
        w.WriteInteger(version);
        w.WriteInteger(3);
        LanguageItem(w, 0, "", 0, 1252, "", version < 2);
        LanguageItem(w, 7, "1,-3,2", 1, 1252, "German", version < 2);
        LanguageItem(w, 25, "", 1, 1251, "Russian", version < 2);
        w.WriteListEnd();
    };
}

struct Entry {
    std::vector<std::string> strings;  // as stored: native, contexts, language texts
};

Values Translations(int version, int contextType, const std::vector<Entry>& entries) {
    return [=](kxc::TWriter& w) {
        w.WriteListBegin();
        w.WriteInteger(version);
        if (version >= 2) w.WriteInteger(contextType);
        w.WriteInteger(int32_t(entries.size()));
        for (const Entry& e : entries) {
            w.WriteListBegin();
            for (const std::string& s : e.strings) w.WriteString(s);
            w.WriteListEnd();
        }
        w.WriteListEnd();
    };
}

Values NoLocales(int version = 2) {
    return [version](kxc::TWriter& w) {
        w.WriteListBegin();
        w.WriteInteger(version);
        w.WriteInteger(0);
        w.WriteListEnd();
    };
}

Data Sample() {
    return {Languages(), Translations(2, 0, {{{"Next", "Weiter", "\xC4\xE0\xEB\xE5\xE5"}}}),
            NoLocales()};
}

class Embedded : public ::testing::Test {
protected:
    void SetUp() override {
        qx::QxDictioFinalization();
        qx::QxDictioInitialization();
        for (uint32_t id : {0x0407u, 0x0409u}) system.AddFullLocale(id, "German", 1252);
        system.AddFullLocale(0x0419, "Russian", 1251);
        kxc::RegisterComponentClass(qx::TQxBinaryDictionary::StaticClass());
        kxc::RegisterComponentClass(TfrmEmbedTest::StaticClass());
        folder = fs::temp_directory_path() /
                 (std::string("qxembedded-") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override {
        kxc::UnregisterResourceData(kForm);
        fs::remove_all(folder);
    }
    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const fs::path p = folder / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    FakeLocaleSystem system;
    RecordingApplication application;
    fs::path folder;
};

const qx::TQxEmbeddedSource kSource{kForm, kDictClass, kDictName};

// A reader over form bytes positioned at a property, as the re-reading does.
struct AtProperty {
    explicit AtProperty(const std::string& bytes, const std::string& property,
                        const std::string& cls = kDictClass, const std::string& name = kDictName)
        : stream(bytes), reader(stream) {
        qx::FindEmbeddedProperty(reader, cls, name, property);
    }
    kxc::TMemoryStream stream;
    qx::TQxReader reader;
};

}  // namespace

TEST_F(Embedded, FindsThePropertyPastEveryValueTypeAndNestedChildren) {
    const std::string form = FormBytes(Sample());
    {
        AtProperty at(form, "Languages");
        qx::TQxLanguageList list;
        qx::ReadLanguageList(at.reader, list);
        ASSERT_EQ(list.size(), 3u);
        EXPECT_EQ(list[0]->EnglishName, "Native");  // Complete: the native language
        EXPECT_EQ(list[1]->EnglishName, "German");
        EXPECT_EQ(list[1]->NativeName, "N-German");
        EXPECT_EQ(list[1]->GetSubLanguageText(), "1,2");  // ids below 1 dropped
        EXPECT_EQ(list[1]->FontName, "Tahoma");
        EXPECT_EQ(list[1]->FontSize, 8);
        EXPECT_EQ(list[1]->Flags, 1);
        EXPECT_EQ(list[2]->CodePage, 1251);
        EXPECT_EQ(list[2]->Charset, 204);  // from the code page
        EXPECT_EQ(list[2]->SubId, 1);
    }
    {
        AtProperty at(form, "Locales");  // past Languages and Translations
        qx::TQxLocaleList list;
        qx::ReadLocaleList(at.reader, list);
        EXPECT_TRUE(list.empty());
    }
    // The whole form also loads through the component model, the counting readers with it.
    kxc::RegisterResourceData(kForm, form);
    qx::TQxLanguage l;
    qx::ReadEmbeddedLanguage(kSource, l, 2);
    EXPECT_EQ(l.EnglishName, "Russian");
}

TEST_F(Embedded, WhatIsNotThereIsNotFound) {
    const std::string form = FormBytes(Sample());
    const struct {
        std::string cls, name, property;
    } cases[] = {
        {"TQXBinaryDictionary", kDictName, "Languages"},
        {kDictClass, "qxBinaryDictionary1", "Languages"},
        {kDictClass, kDictName, "languages"},
        {kDictClass, kDictName, "Languages "},
        {kDictClass, "Nested", "Languages"},  // a grandchild of the root
        {kDictClass, "Dictionary1", "Languages"},
        {"TPanel", "Panel1", "Languages"},  // the end of a component's properties
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        kxc::TMemoryStream stream(form);
        qx::TQxReader reader(stream);
        EXPECT_EQ(Raised([&] {
                      qx::FindEmbeddedProperty(reader, cases[i].cls, cases[i].name,
                                               cases[i].property);
                  }),
                  "EResNotFound: Could not find the property")
            << "case " << i;
    }
    // No resource for the form, and a resource that is no form description.
    EXPECT_EQ(Raised([&] { qx::TQxLanguageList l; qx::ReadEmbeddedLanguages(kSource, l); }),
              "EResNotFound: Resource TfrmEmbedTest not found");
    kxc::RegisterResourceData(kForm, "TPF1");
    EXPECT_EQ(Raised([&] { qx::TQxLanguageList l; qx::ReadEmbeddedLanguages(kSource, l); }),
              "EFilerError: Invalid stream format");
}

// Corrupt descriptions end in a clear error: the skipper's own message for an unknown value
// type (nested too), the model's for its bounds.
TEST_F(Embedded, TheSkipperRefusesWhatItCannotPass) {
    auto withValue = [](const std::function<void(kxc::TWriter&)>& value) {
        Data d = Sample();
        kxc::TMemoryStream stream;
        kxc::TWriter w(stream);
        w.WriteSignature();
        Component(w, kForm, "frm", nullptr, [&](kxc::TWriter& w) {
            Component(w, "TPanel", "Panel1", [&](kxc::TWriter& w) {
                w.WriteStr("Odd");
                value(w);
            });
            Component(w, kDictClass, kDictName, [&](kxc::TWriter& w) {
                w.WriteStr("Languages");
                d.languages(w);
            });
        });
        return stream.Bytes();
    };
    auto put = [](std::string bytes) {
        return [bytes](kxc::TWriter& w) { w.Write(bytes.data(), int32_t(bytes.size())); };
    };
    const struct {
        std::string bytes, error;
    } cases[] = {
        {"\x14", "Exception: Unknown property value: 20"},
        {"\xFF", "Exception: Unknown property value: 255"},
        {std::string("\x01\x02\x05\x01\x1B\x00\x00", 7), "Exception: Unknown property value: 27"},
        {std::string("\x0E\x01\x01" "A\x20", 5), "Exception: Unknown property value: 32"},
        {std::string(300, '\x01'), "EReadError: Invalid property value"},
        {"\x0A\xFF\xFF\xFF\xFF", "EReadError: Invalid property value"},
        {std::string("\x12\x00\x00\x00\xC0", 5), "EReadError: Invalid property value"},
        {"\x0C\xFF\xFF\xFF\x7F", "EReadError: Stream read error"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string form = withValue(put(cases[i].bytes));
        EXPECT_EQ(Raised([&] { AtProperty at(form, "Languages"); }), cases[i].error)
            << "case " << i;
    }
    // A component nested deeper than the walk follows.
    kxc::TMemoryStream stream;
    kxc::TWriter w(stream);
    w.WriteSignature();
    std::function<void(kxc::TWriter&, int)> nest = [&](kxc::TWriter& w, int depth) {
        Component(w, "TPanel", "P" + std::to_string(depth), nullptr,
                  depth < 400 ? Values([&, depth](kxc::TWriter& w) { nest(w, depth + 1); })
                              : Values());
    };
    Component(w, kForm, "frm", nullptr, [&](kxc::TWriter& w) { nest(w, 0); });
    const std::string deep = stream.Bytes();
    EXPECT_EQ(Raised([&] { AtProperty at(deep, "Languages"); }),
              "EReadError: Invalid property value");
}

TEST_F(Embedded, DataVersionAboveTwoIsRefused) {
    auto version3 = [](kxc::TWriter& w) {
        w.WriteListBegin();
        w.WriteInteger(3);
        w.WriteInteger(0);
        w.WriteListEnd();
    };
    const struct {
        Data data;
        std::string property, error;
    } cases[] = {
        {{version3, Sample().translations, NoLocales()}, "Languages",
         "Exception: Unknown language data version: 3"},
        {{Languages(), version3, NoLocales()}, "Translations",
         "Exception: Unknown translation data version: 3"},
        {{Languages(), Sample().translations, version3}, "Locales",
         "Exception: Unknown locale data version: 3"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string form = FormBytes(cases[i].data);
        // While the form loads: the counting readers.
        kxc::RegisterResourceData(kForm, FormBytes(cases[i].data, true));
        TfrmEmbedTest root(nullptr);
        EXPECT_EQ(Raised([&] { kxc::ReadComponentRes(&root); }), cases[i].error) << "case " << i;
        // Re-read later.
        AtProperty at(form, cases[i].property);
        EXPECT_EQ(Raised([&] {
                      if (i == 0) {
                          qx::TQxLanguageList l;
                          qx::ReadLanguageList(at.reader, l);
                      } else if (i == 1) {
                          qx::ReadTranslationList(at.reader, 1, [](auto) {}, 3, 0);
                      } else {
                          qx::TQxLocaleList l;
                          qx::ReadLocaleList(at.reader, l);
                      }
                  }),
                  cases[i].error)
            << "case " << i;
    }
}

// Translations of each layout: entries read by the counting reader and by the list reader
// alike, contexts where the type has them, '#' escapes decoded in texts and not in contexts.
TEST_F(Embedded, TranslationLayoutsAndEscapes) {
    const struct {
        int version, contextType, languageCount;
        std::vector<Entry> entries;
        bool hasContexts;
        std::vector<std::string> expected;  // native|contextA|contextB|translation|state
    } cases[] = {
        // Version 1: no context-type item and no contexts, whatever follows.
        {1, 1, 3, {{{"Next", "Weiter", ""}}, {{"Back", "", ""}}}, false, {"Next|||Weiter|0"}},
        {2, 1, 3, {{{"Next", "a", "b", "Weiter", ""}}}, true, {"Next|a|b|Weiter|0"}},
        {2, 2, 3,
         {{{"Next", "b", "", "\xC4\xE0\xEB\xE5\xE5"}}},
         true,
         {"Next||b|\xC4\xE0\xEB\xE5\xE5|1"}},
        {2, 3, 3, {{{"Next", "a", "Weiter", ""}}}, true, {"Next|a||Weiter|0"}},
        // Escapes: "##" is one '#', "#C" a carriage return, "#L", "#T"; a lone '#' stays.
        {2, 1, 3,
         {{{"50## #Cx#L", "#C", "##", "a#Tb#", ""}}},
         true,
         {"50# \rx\n|#C|##|a\tb#|0"}},
        // A language count of 1: the native text (and contexts) only, no text is ever
        // selected, and the counting reader walks the same strings. Of 0: no strings at all,
        // as the writer stores an entry of a dictionary without languages.
        {2, 2, 0, {Entry{}, Entry{}}, true, {}},
        {2, 0, 1, {{{"Only"}}, {{"Two"}}}, false, {}},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        const std::string form = [&] {
            kxc::TMemoryStream stream;
            kxc::TWriter w(stream);
            w.WriteSignature();
            Component(w, kForm, "frm", nullptr, [&](kxc::TWriter& w) {
                Component(w, kDictClass, kDictName, [&](kxc::TWriter& w) {
                    w.WriteStr("Translations");
                    Translations(c.version, c.contextType, c.entries)(w);
                    w.WriteStr("Locales");
                    NoLocales()(w);
                });
            });
            return stream.Bytes();
        }();
        {
            AtProperty at(form, "Translations");
            EXPECT_EQ(qx::CountEmbeddedTranslations(at.reader, c.languageCount),
                      int32_t(c.entries.size()))
                << "case " << i;
            // The reader ends right before the next property.
            EXPECT_EQ(at.reader.ReadStr(), "Locales") << "case " << i;
        }
        AtProperty at(form, "Translations");
        std::vector<std::string> got;
        const bool hasContexts = qx::ReadTranslationList(
            at.reader, 1,
            [&](std::unique_ptr<qx::TQxTranslation> t) {
                got.push_back(t->Native + "|" + t->ContextA + "|" + t->ContextB + "|" +
                              t->Translation + "|" + std::to_string(t->State));
            },
            c.languageCount, 2);
        EXPECT_EQ(hasContexts, c.hasContexts) << "case " << i;
        EXPECT_EQ(got, c.expected) << "case " << i;
        EXPECT_EQ(at.reader.ReadStr(), "Locales") << "case " << i;
    }
}

// Version-1 items lack the charset; ReadEmbeddedLanguage reads items 0 to index into the
// caller's object, which ends holding the item at the index and nothing of the ones before.
TEST_F(Embedded, LanguageItemsOfBothLayouts) {
    for (int version : {1, 2}) {
        kxc::RegisterResourceData(
            kForm, FormBytes({Languages(version), Sample().translations, NoLocales(version)}));
        qx::TQxLanguage l;
        l.SubLanguageTexts = {"left over"};
        qx::ReadEmbeddedLanguage(kSource, l, 2);
        EXPECT_EQ(l.EnglishName, "Russian") << version;
        EXPECT_EQ(l.PrimaryId, 25) << version;
        EXPECT_EQ(l.SubId, 1) << version;  // its own default, not German's
        EXPECT_TRUE(l.SubLanguages.empty()) << version;
        EXPECT_TRUE(l.SubLanguageTexts.empty()) << version;
        EXPECT_EQ(l.Charset, 204) << version;
        qx::ReadEmbeddedLanguage(kSource, l, 1);
        EXPECT_EQ(l.EnglishName, "German") << version;
        qx::TQxLocaleList locales;
        qx::ReadEmbeddedLocales(kSource, locales);
        EXPECT_TRUE(locales.empty());
    }
}

// ---- A GLD file through the writers into a form, read back as the file reads -------------

namespace {

gldwriter::Dictionary RichDictionary() {
    gldwriter::Dictionary d;
    d.ContextType = 1;
    gldwriter::Language native;
    native.CodePage = 1252;
    gldwriter::Language swiss;
    swiss.PrimaryId = 7;
    swiss.DefaultSubId = 2;
    swiss.SubLanguages = "2";
    swiss.LanguageCode = "de";
    swiss.CountryCode = "CH";
    swiss.CodePage = 1252;
    swiss.Flags = 1;
    swiss.EnglishName = "Swiss German";
    swiss.NativeName = "Schweizerdeutsch";
    swiss.FontName = "Arial";
    swiss.FontSize = 9;
    gldwriter::Language german;
    german.PrimaryId = 7;
    german.DefaultSubId = 1;
    german.LanguageCode = "de";
    german.CountryCode = "DE";
    german.CodePage = 1252;
    german.EnglishName = "German";
    gldwriter::Language russian;
    russian.PrimaryId = 25;
    russian.DefaultSubId = 1;
    russian.LanguageCode = "ru";
    russian.CountryCode = "RU";
    russian.CodePage = 1251;
    russian.EnglishName = "Russian";
    russian.NativeName = "\xD0\xF3\xF1\xF1\xEA\xE8\xE9";  // Русский
    d.Languages = {native, swiss, german, russian};
    const std::string cancelRu = "\xCE\xF2\xEC\xE5\xED\xE0";  // Отмена
    d.Translations = {
        {"Cancel", "Form1", "btn", {"Abbrechen!", "Abbrechen", cancelRu}},
        {"Next", "", "", {"", "Weiter", ""}},
        {"Back", "", "", {"", "", ""}},
        {"50##", "#C", "", {"", "50##", "50## #C"}},  // '#' and its escapes, raw
        {"Line\r\nTwo\t#", "", "", {"", "Zeile\r\nZwei", "\xD1\xF2\xF0\xEE\xEA\xE0\r\n"}},
        {std::string(300, 'L'), "", "", {"", std::string(280, 'l'), ""}},  // long strings
    };
    gldwriter::Locale ru;
    ru.PrimaryId = 25;
    ru.SubId = 1;
    ru.Charset = 204;
    ru.CodePage = 1251;
    ru.LocaleFlag = true;
    ru.EnglishLanguageName = "Russian";
    ru.EnglishCountryName = "Russia";
    ru.NativeLanguageName = "\xF0\xF3\xF1\xF1\xEA\xE8\xE9";
    ru.NativeCountryName = "\xD0\xEE\xF1\xF1\xE8\xFF";
    ru.AbbrevLanguageName = "RUS";
    ru.CountryName = "RU";
    ru.Measure = 0;
    ru.CurrencyString = "\xF0.";
    ru.CurrencyFormat = 1;
    ru.NegCurrFormat = 5;
    ru.CurrencyDecimals = 2;
    ru.ThousandSeparator = ' ';
    ru.DecimalSeparator = ',';
    ru.DateSeparator = '.';
    ru.ShortDateFormat = "dd.MM.yyyy";
    ru.LongDateFormat = "d MMMM yyyy";
    ru.TimeSeparator = ':';
    ru.TimeLeadingZero = true;
    ru.TimeFormat = 1;
    ru.CalendarType = 1;
    ru.FirstWeekOfYear = 1;
    for (size_t i = 0; i < 12; ++i) {
        ru.ShortMonthNames[i] = "m" + std::to_string(i + 1);
        ru.LongMonthNames[i] = "\xEC\xE5\xF1\xFF\xF6 " + std::to_string(i + 1);
    }
    for (size_t i = 0; i < 7; ++i) {
        ru.ShortDayNames[i] = "d" + std::to_string(i + 1);
        ru.LongDayNames[i] = "\xE4\xE5\xED\xFC " + std::to_string(i + 1);
    }
    gldwriter::Locale de = ru;
    de.PrimaryId = 7;
    de.CodePage = 1252;
    de.EnglishLanguageName = "German";
    d.Locales = {ru, de};
    return d;
}

std::string Describe(const qx::TQxLanguage& l) {
    std::string s = std::to_string(l.PrimaryId) + "/" + std::to_string(l.SubId) + "/" +
                    std::to_string(l.DefaultSubId) + "/" + l.GetSubLanguageText() + "/" +
                    l.LanguageCode + "/" + l.CountryCode + "/" + std::to_string(l.CodePage) +
                    "/" + std::to_string(l.Charset) + "/" + l.EnglishName + "/" + l.NativeName +
                    "/" + l.FontName + "/" + std::to_string(l.FontSize) + "/" +
                    std::to_string(l.Flags);
    for (const std::string& t : l.SubLanguageTexts) s += "/" + t;
    return s;
}

// Locale items carry no codes, and a locale copied into the caller's object keeps that
// object's charset (file storage copies, the embedded reading fills the object): both are
// left out.
std::string Describe(const qx::TQxLocale& c) {
    std::string s = std::to_string(c.PrimaryId) + "/" + std::to_string(c.SubId) + "/" +
                    std::to_string(c.CodePage) + "/" + std::to_string(c.LocaleFlag) + "/" +
                    c.EnglishLanguageName + "/" + c.EnglishCountryName + "/" +
                    c.NativeLanguageName + "/" + c.NativeCountryName + "/" +
                    c.AbbrevLanguageName + "/" + c.CountryName + "/" + c.CurrencyString + "/" +
                    std::to_string(c.Measure) + std::to_string(c.CurrencyFormat) +
                    std::to_string(c.NegCurrFormat) + std::to_string(c.CurrencyDecimals) + "/" +
                    c.ThousandSeparator + c.DecimalSeparator + c.DateSeparator +
                    c.TimeSeparator + "/" + c.ShortDateFormat + "/" + c.LongDateFormat + "/" +
                    c.TimeAMString + "/" + c.TimePMString + "/" +
                    std::to_string(c.TimeLeadingZero) + std::to_string(c.TimeFormat) +
                    std::to_string(c.TimeMarkerPosition) + std::to_string(c.CalendarType) +
                    std::to_string(c.OptionalCalendar) + std::to_string(c.FirstDayOfWeek) +
                    std::to_string(c.FirstWeekOfYear);
    for (const auto& n : c.ShortMonthNames) s += "/" + n;
    for (const auto& n : c.LongMonthNames) s += "/" + n;
    for (const auto& n : c.ShortDayNames) s += "/" + n;
    for (const auto& n : c.LongDayNames) s += "/" + n;
    return s;
}

// Everything a dictionary answers: counts, each language and locale, the lists, and for
// every language the loaded translations in list order.
std::vector<std::string> Answers(qx::TQxBinaryDictionary& d) {
    d.SetCheckLevel(qx::qxclNone);  // every language, whatever the code page
    std::vector<std::string> a;
    a.push_back(std::to_string(d.GetLanguageCount()) + " " + std::to_string(d.GetLocaleCount()) +
                " " + std::to_string(d.GetTranslationCount()));
    for (int32_t i = 0; i < d.GetLanguageCount(); ++i) {
        qx::TQxLanguage l;
        d.GetLanguage(i, l);
        a.push_back(Describe(l));
    }
    qx::TQxLanguageList languages;
    d.GetLanguages(languages);
    for (const auto& l : languages) a.push_back(Describe(*l));
    for (int32_t i = 0; i < d.GetLocaleCount(); ++i) {
        qx::TQxLocale c;
        d.GetLocale(i, c);
        a.push_back(Describe(c));
    }
    qx::TQxLocaleList locales;
    d.GetLocales(locales);
    for (const auto& c : locales) a.push_back(Describe(*c));
    for (int32_t language = 1; language < d.GetLanguageCount(); ++language) {
        d.SetLanguage(language);
        if (!d.IsOpen()) d.OpenDictionary();
        a.push_back("language " + std::to_string(language) + " fallback " +
                    std::to_string(d.FallbackLanguageIndex()) + " contexts " +
                    std::to_string(d.HasContexts()));
        for (int32_t k = 0;; ++k) {  // the loaded list, which GetTranslationCount does not give
            const qx::TQxTranslation* t = nullptr;
            try {
                t = d.GetTranslation(k);
            } catch (const rtl::EListError&) {
                break;
            }
            a.push_back(t->Native + "|" + t->ContextA + "|" + t->ContextB + "|" +
                        t->Translation + "|" + std::to_string(t->State));
        }
    }
    return a;
}

// The test form as design time writes it: its dictionary embeds the data of the GLD file.
std::string DesignedWithEmbeddedFile(const std::string& gld) {
    TfrmEmbedTest designed(nullptr);
    designed.SetName("frmEmbedTest");
    auto* dict = new qx::TQxBinaryDictionary(&designed);
    dict->SetName(kDictName);
    designed.SetDesigning(true);
    dict->SetFileName(gld);
    dict->SetStorage(qx::qxsEmbedded);
    return kxc::WriteComponentToBytes(&designed);
}

}  // namespace

TEST_F(Embedded, AGLDFileThroughTheWritersAnswersAsTheFileDoes) {
    system.acp = 1251;
    // The codes that the embedded languages take from the system are the file's.
    for (auto [id, language, country] : {std::tuple{0x0807u, "de", "CH"},
                                         std::tuple{0x0407u, "de", "DE"},
                                         std::tuple{0x0419u, "ru", "RU"}}) {
        system.Set(id, qx::lc::SISO639LANGNAME, language);
        system.Set(id, qx::lc::SISO3166CTRYNAME, country);
    }
    const std::string gld = WriteFile("rich.gld", gldwriter::Write(RichDictionary()));

    // Design time: the form is written with the file's data embedded.
    const std::string form = DesignedWithEmbeddedFile(gld);
    EXPECT_TRUE(application.messageBoxes.empty());
    ASSERT_NE(form.find("Translations"), std::string::npos);
    kxc::RegisterResourceData(kForm, form);

    // Run time: the form loads (the counting readers), then every answer comes from the form.
    TfrmEmbedTest loaded(nullptr);
    kxc::ReadComponentRes(&loaded);
    auto* embedded = dynamic_cast<qx::TQxBinaryDictionary*>(loaded.FindComponent(kDictName));
    ASSERT_NE(embedded, nullptr);
    EXPECT_EQ(embedded->Storage(), qx::qxsEmbedded);
    EXPECT_EQ(embedded->EmbeddedLanguageCount(), 4);
    EXPECT_EQ(embedded->EmbeddedTranslationCount(), 6);
    EXPECT_EQ(embedded->EmbeddedLocaleCount(), 2);
    fs::remove(gld);  // the file is no longer needed
    embedded->SetFileName("");
    const std::vector<std::string> fromForm = Answers(*embedded);

    qx::TQxBinaryDictionary file(nullptr);
    file.SetFileName(WriteFile("rich.gld", gldwriter::Write(RichDictionary())));
    const std::vector<std::string> fromFile = Answers(file);
    EXPECT_EQ(fromForm, fromFile);
    // The '#' texts came back as they were in the file.
    EXPECT_NE(std::find(fromFile.begin(), fromFile.end(), "50##|#C||50##|1"), fromFile.end());
    EXPECT_NE(std::find(fromFile.begin(), fromFile.end(), "50##|#C||50## #C|0"), fromFile.end());

    // Without its form resource the dictionary can no longer read: a locale says so in its
    // own words, the rest with the resource's error.
    kxc::UnregisterResourceData(kForm);
    EXPECT_EQ(Raised([&] { qx::TQxLocale c; embedded->GetLocale(1, c); }),
              "EQxMulti: No dictionary data! Set the FileName property.");
    EXPECT_EQ(Raised([&] { qx::TQxLanguage l; embedded->GetLanguage(1, l); }),
              "EResNotFound: Resource TfrmEmbedTest not found");
    EXPECT_EQ(embedded->GetLanguageCount(), 4);  // the counts stay as the form gave them
}

#ifdef _WIN32
// The form that the program carries as a compiled RCDATA resource (see CMakeLists): the
// wizard's dictionary embedded by gldembed through the dictionary's defined properties.
class TfrmWizardEmbedded : public kxc::TComponent {
    KXC_CLASS(TfrmWizardEmbedded, kxc::TComponent)
public:
    using kxc::TComponent::TComponent;
};
KXC_IMPLEMENT_CLASS(TfrmWizardEmbedded)
void TfrmWizardEmbedded::DescribeClass(kxc::TClassBuilder<TfrmWizardEmbedded>&) {}

TEST_F(Embedded, TheProgramsOwnFormResourceAnswersAsTheFileDoes) {
    for (auto [id, language, country] : {std::tuple{0x0409u, "en", "US"},
                                         std::tuple{0x0407u, "de", "DE"},
                                         std::tuple{0x0419u, "ru", "RU"}}) {
        system.Set(id, qx::lc::SISO639LANGNAME, language);
        system.Set(id, qx::lc::SISO3166CTRYNAME, country);
    }
    TfrmWizardEmbedded loaded(nullptr);
    kxc::ReadComponentRes(&loaded);
    auto* embedded = dynamic_cast<qx::TQxBinaryDictionary*>(loaded.FindComponent(kDictName));
    ASSERT_NE(embedded, nullptr);
    EXPECT_EQ(embedded->EmbeddedLanguageCount(), 4);
    EXPECT_GT(embedded->EmbeddedTranslationCount(), 10);
    qx::TQxBinaryDictionary file(nullptr);
    file.SetFileName(KX_WIZARD_GLD);
    const std::vector<std::string> fromFile = Answers(file);
    EXPECT_EQ(Answers(*embedded), fromFile);
    EXPECT_NE(std::find(fromFile.begin(), fromFile.end(), "&Close|||&Schlie\xDF" "en|0"),
              fromFile.end());
}
#endif

// While the form is written, a file that is missing or holds UTF-16 texts stores nothing
// and says why; the form still loads, with counts of 0.
TEST_F(Embedded, NothingIsStoredWithoutAnEightBitFile) {
    gldwriter::Dictionary wide = RichDictionary();
    wide.AnsiStrings = false;
    const std::string wideFile = WriteFile("wide.gld", gldwriter::Write(wide));
    const std::string missing = (folder / "missing.gld").string();
    const struct {
        std::string fileName, box;
    } cases[] = {
        {"", ""},
        {missing, "File not found: Can not find the file name " + missing +
                      ". No dictionary data was stored!"},
        {wideFile, "Unicode not supported: Can not use a Unicode GLD file " + wideFile +
                       ". No dictionary data was stored!"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        application.messageBoxes.clear();
        TfrmEmbedTest designed(nullptr);
        auto* dict = new qx::TQxBinaryDictionary(&designed);
        dict->SetName(kDictName);
        designed.SetDesigning(true);
        dict->SetFileName(cases[i].fileName);
        dict->SetStorage(qx::qxsEmbedded);
        const std::string form = kxc::WriteComponentToBytes(&designed);
        EXPECT_EQ(form.find("Languages"), std::string::npos) << "case " << i;
        EXPECT_EQ(application.messageBoxes,
                  cases[i].box.empty() ? std::vector<std::string>{}
                                       : std::vector<std::string>{cases[i].box})
            << "case " << i;
        kxc::RegisterResourceData(kForm, form);
        TfrmEmbedTest loaded(nullptr);
        kxc::ReadComponentRes(&loaded);
        auto* d = dynamic_cast<qx::TQxBinaryDictionary*>(loaded.FindComponent(kDictName));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->GetLanguageCount(), 0) << "case " << i;
        EXPECT_EQ(Raised([&] { qx::TQxLanguageList l; d->GetLanguages(l); }),
                  "EResNotFound: Could not find the property")
            << "case " << i;
    }
}

// A dictionary without languages: the writer stores each entry as an empty list (its GLD
// records have no texts to copy), and both readers read it so, whatever the context type:
// the form loads with the file's counts, and loading the translations finds none.
TEST_F(Embedded, NoLanguagesRoundTripsThroughTheWriterAndBothReaders) {
    for (uint8_t contextType : {0, 1, 2, 3}) {
        SCOPED_TRACE(int(contextType));
        gldwriter::Dictionary g;
        g.ContextType = contextType;
        // Opening the file reads a first language record whatever the count: here it finds
        // the zero bytes of the first entry's native text, an empty record.
        g.Translations = {{std::string(64, '\0'), "A", "B", {}}, {"Back", "", "7", {}}};
        const std::string gld = WriteFile("empty.gld", gldwriter::Write(g));
        const std::string form = DesignedWithEmbeddedFile(gld);
        ASSERT_NE(form.find("Translations"), std::string::npos);
        kxc::RegisterResourceData(kForm, form);
        TfrmEmbedTest loaded(nullptr);
        ASSERT_EQ(Raised([&] { kxc::ReadComponentRes(&loaded); }), "");
        auto* d = dynamic_cast<qx::TQxBinaryDictionary*>(loaded.FindComponent(kDictName));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->EmbeddedLanguageCount(), 0);
        EXPECT_EQ(d->EmbeddedTranslationCount(), 2);
        EXPECT_EQ(d->GetTranslationCount(), 2);
        EXPECT_EQ(Raised([&] { d->LoadTranslations(); }), "");
        EXPECT_EQ(Raised([&] { d->GetTranslation(0); }).rfind("EListError: ", 0), 0u);
        kxc::UnregisterResourceData(kForm);
    }
}

// Two dictionaries of two forms read their embedded data at the same time: each open
// property is an object of its own.
TEST_F(Embedded, TwoPropertiesOpenAtOnce) {
    kxc::RegisterResourceData(kForm, FormBytes(Sample()));
    const std::string other = "TfrmOther";
    Data second = Sample();
    second.languages = [](kxc::TWriter& w) {
        w.WriteListBegin();
        w.WriteInteger(2);
        w.WriteInteger(1);
        LanguageItem(w, 25, "", 1, 1251, "Other");
        w.WriteListEnd();
    };
    std::string bytes = FormBytes(second);
    kxc::RegisterResourceData(other, bytes);
    qx::TQxEmbeddedProperty a(kSource, "Languages");
    qx::TQxEmbeddedProperty b({other, kDictClass, kDictName}, "Languages");
    qx::TQxLanguageList la, lb;
    qx::ReadLanguageList(a.Reader(), la);
    qx::ReadLanguageList(b.Reader(), lb);
    ASSERT_EQ(la.size(), 3u);
    ASSERT_EQ(lb.size(), 1u);
    EXPECT_EQ(lb[0]->EnglishName, "Other");
    kxc::UnregisterResourceData(other);
}
