// Languages and locales: ids, sub-language lists, completion from the system, copies, names,
// the euro state and the currency text, the key of a dictionary entry.
#include <gtest/gtest.h>

#include "fake_locale_system.h"
#include "qx/QxDictio.h"
#include "qx/QxLanguage.h"
#include "rtl/exceptions.h"

using qx::TQxLanguage;
using qx::TQxLocale;

namespace {

std::vector<std::string> List(std::initializer_list<const char*> items) {
    return std::vector<std::string>(items.begin(), items.end());
}

// A 32-byte font signature whose default code-page word has the given bits.
std::string Signature(uint32_t codePageBits) {
    std::string s(32, '\0');
    for (int i = 0; i < 4; ++i) s[16 + i] = static_cast<char>((codePageBits >> (8 * i)) & 0xFF);
    return s;
}

}  // namespace

TEST(QxIds, TakeApartAndCompose) {
    EXPECT_EQ(qx::GetPrimaryLangId(0x0C0A), 10u);
    EXPECT_EQ(qx::GetSubLangId(0x0C0A), 3u);
    EXPECT_EQ(qx::GetSubLangId(0x10404), 1u);
    EXPECT_EQ(qx::GetPrimaryLangId(0x10404), 4u);
    EXPECT_EQ(qx::MakeLanguageId(10, 3), 0x0C0Au);
    EXPECT_EQ(qx::MakeLocaleId(0x0404, 1), 0x10404u);
    // No masking of the inputs.
    EXPECT_EQ(qx::MakeLanguageId(0x7FF, 0), 0x7FFu);
    EXPECT_EQ(qx::MakeLanguageId(0, 0x41), 0x10400u);
}

TEST(QxLanguage, CreateAndSetters) {
    TQxLanguage empty;
    EXPECT_EQ(empty.PrimaryId, 0);
    EXPECT_EQ(empty.CodePage, 0);
    EXPECT_EQ(empty.Charset, 0);
    EXPECT_EQ(empty.Flags, 0);
    EXPECT_TRUE(empty.SubLanguages.empty());

    TQxLanguage ru(25, 1, 1251, "1,2", "Russian", "Russkij", "Arial Cyr", 9, 1);
    EXPECT_EQ(ru.PrimaryId, 25);
    EXPECT_EQ(ru.DefaultSubId, 1);
    EXPECT_EQ(ru.CodePage, 1251);
    EXPECT_EQ(ru.Charset, 204);
    EXPECT_EQ(ru.SubLanguages, List({"1", "2"}));
    EXPECT_EQ(ru.EnglishName, "Russian");
    EXPECT_EQ(ru.NativeName, "Russkij");
    EXPECT_EQ(ru.FontName, "Arial Cyr");
    EXPECT_EQ(ru.FontSize, 9);
    EXPECT_EQ(ru.Flags, 1);

    ru.SetFlags(0xFF);
    EXPECT_EQ(ru.Flags, 3);
    ru.SetFlags(0x06);
    EXPECT_EQ(ru.Flags, 2);
    ru.SetCodePage(1258);
    EXPECT_EQ(ru.Charset, 163);
}

TEST(QxLanguage, SubLanguageText) {
    struct Case {
        const char* text;
        bool raises;
        std::vector<std::string> entries;
    } cases[] = {
        {"3,0,-2,3", false, List({"3", "3"})},
        {"", false, {}},
        {"1,,2", true, List({"1"})},
        {"4,", false, List({"4"})},
        {" 5,$A,+7", false, List({"5", "10", "7"})},
        {"2,x,3", true, List({"2"})},
        {"0", false, {}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        TQxLanguage language;
        language.SubLanguages = List({"9"});
        bool raised = false;
        try {
            language.SetSubLanguageText(cases[i].text);
        } catch (const rtl::EConvertError&) {
            raised = true;
        }
        EXPECT_EQ(raised, cases[i].raises) << "case " << i;
        EXPECT_EQ(language.SubLanguages, cases[i].entries) << "case " << i;
    }
    TQxLanguage language;
    try {
        language.SetSubLanguageText("1,,2");
        FAIL();
    } catch (const rtl::EConvertError& e) {
        EXPECT_EQ(e.Message(), "'' is not a valid integer value");
    }
    language.SetSubLanguageText("3,0,-2,3,1");
    EXPECT_EQ(language.GetSubLanguageText(), "3,3,1");
    language.ClearSubLanguages();
    EXPECT_EQ(language.GetSubLanguageText(), "");

    language.SubLanguageTexts = List({"old"});
    language.SetSubLanguageTexts("a,,b c,");
    EXPECT_EQ(language.SubLanguageTexts, List({"a", "", "b c"}));
}

TEST(QxLanguage, SubLanguageListOperations) {
    TQxLanguage language(7, 1, 1252, "1,2", "", "", "", 0, 0);
    EXPECT_EQ(language.SubLanguageCount(), 2);
    EXPECT_EQ(language.GetSubLanguageId(1), 2);
    try {
        language.GetSubLanguageId(2);
        FAIL();
    } catch (const rtl::EListError& e) {
        EXPECT_EQ(e.Message(), "List index out of bounds (2)");
    }
    EXPECT_THROW(language.GetSubLanguageId(-1), rtl::EListError);

    language.AddSubLanguage(2);
    language.AddSubLanguage(3);
    EXPECT_EQ(language.SubLanguages, List({"1", "2", "3"}));

    // Default: DefaultSubId when listed, else the first entry, 0 for an empty list.
    EXPECT_EQ(language.GetDefaultSubLanguage(), 1);
    language.DefaultSubId = 5;
    EXPECT_EQ(language.GetDefaultSubLanguage(), 1);
    language.DefaultSubId = 3;
    EXPECT_EQ(language.GetDefaultSubLanguage(), 3);
    language.ClearSubLanguages();
    EXPECT_EQ(language.GetDefaultSubLanguage(), 0);
}

TEST(QxLanguage, SelectSubLanguage) {
    struct Case {
        const char* list;
        int32_t sub;
        int32_t subId;
    } cases[] = {
        {"1,2", 2, 2}, {"1,2", 3, 1}, {"1,2", -1, 1}, {"1,2", 1, 1}, {"", 5, 5}, {"", -1, 1},
        {"", 0, 0},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        TQxLanguage language(7, 1, 1252, cases[i].list, "", "", "", 0, 0);
        language.SubId = 9;
        language.SelectSubLanguage(cases[i].sub);
        EXPECT_EQ(language.SubId, cases[i].subId) << "case " << i;
    }
    TQxLanguage language(7, 1, 1252, "1,2", "", "", "", 0, 0);
    language.SubId = 4;  // sub = SubId: nothing happens, even when not listed
    language.SelectSubLanguage(4);
    EXPECT_EQ(language.SubId, 4);
}

TEST(QxLanguage, SetSubLanguage) {
    TQxLanguage language(7, 1, 1252, "1", "", "", "", 0, 0);
    language.SubLanguageTexts = List({"Germany"});
    language.SetSubLanguage(2);
    EXPECT_EQ(language.DefaultSubId, 2);
    EXPECT_EQ(language.SubLanguages, List({"1", "2"}));
    language.SetSubLanguage(0);
    EXPECT_TRUE(language.SubLanguages.empty());
    EXPECT_TRUE(language.SubLanguageTexts.empty());
    EXPECT_EQ(language.DefaultSubId, 2);
    EXPECT_EQ(language.GetDefaultSubLanguage(), 0);

    TQxLanguage empty(7, 1, 1252, "", "", "", "", 0, 0);
    empty.SubLanguageTexts = List({"kept"});
    empty.SetSubLanguage(0);
    EXPECT_EQ(empty.DefaultSubId, 1);
    EXPECT_EQ(empty.SubLanguageTexts, List({"kept"}));

    TQxLanguage native(0, 0, 0, "", "", "", "", 0, 0);
    native.SetSubLanguage(3);
    EXPECT_EQ(native.DefaultSubId, 0);
    EXPECT_TRUE(native.SubLanguages.empty());

    TQxLanguage same(7, 2, 1252, "1,2", "", "", "", 0, 0);
    same.SetSubLanguage(2);  // the current default: nothing happens
    EXPECT_EQ(same.SubLanguages, List({"1", "2"}));
}

TEST(QxLanguage, SameLanguage) {
    struct Case {
        int32_t p1, cp1, p2, cp2;
        bool same;
    } cases[] = {
        {9, 1252, 9, 1250, false}, {0, 1252, 0, 0, true},    {9, 1252, 9, 1252, true},
        {9, 1252, 7, 1252, false}, {0, 1252, 7, 1252, false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        TQxLanguage a, b;
        a.PrimaryId = cases[i].p1;
        a.CodePage = cases[i].cp1;
        b.PrimaryId = cases[i].p2;
        b.CodePage = cases[i].cp2;
        EXPECT_EQ(a.SameLanguage(b), cases[i].same) << "case " << i;
    }
}

TEST(QxLanguage, LocaleIdsAndReadingOrder) {
    TQxLanguage language(10, 3, 1252, "", "", "", "", 0, 0);
    language.SubId = 1;
    EXPECT_EQ(language.DefaultLocaleId(), 0x0C0Au);
    EXPECT_EQ(language.SelectedLocaleId(), 0x040Au);
    EXPECT_EQ(language.SystemLocaleId(), 0x0C0Au);  // empty list: DefaultSubId
    language.SetSubLanguageText("2,3");
    EXPECT_EQ(language.SystemLocaleId(), 0x080Au);  // the first entry
    TQxLanguage native;
    native.DefaultSubId = 1;
    EXPECT_EQ(native.SystemLocaleId(), 0u);

    struct Case {
        int32_t primary;
        uint8_t order;
    } cases[] = {{1, 2}, {13, 2}, {41, 2}, {4, 1}, {17, 1}, {18, 1}, {9, 0}, {7, 0}, {0, 0}};
    for (const Case& c : cases) {
        TQxLanguage l(c.primary, 2, 1252, "", "", "", "", 0, 0);
        EXPECT_EQ(l.GetReadingOrder(), c.order) << "primary " << c.primary;
    }
}

TEST(QxLanguage, CompleteResetsTheNativeLanguage) {
    FakeLocaleSystem system;
    for (int32_t primary : {0, -5}) {
        TQxLanguage language(primary, 3, 0, "1,2", "English", "Deutsch", "", 0, 1);
        language.Complete();
        EXPECT_EQ(language.PrimaryId, 0);
        EXPECT_EQ(language.EnglishName, "Native");
        EXPECT_EQ(language.NativeName, "Native");
        EXPECT_EQ(language.Flags, 2);
        EXPECT_EQ(language.DefaultSubId, 0);
        EXPECT_EQ(language.SubId, 0);
        EXPECT_TRUE(language.SubLanguages.empty());
        EXPECT_EQ(language.CodePage, 0);  // stays, even 0
        EXPECT_EQ(language.Charset, 0);
        // Again: the same result.
        language.EnglishName = "Other";
        language.Complete();
        EXPECT_EQ(language.EnglishName, "Native");
    }
    EXPECT_TRUE(system.queries.empty());

    TQxLanguage keeps(0, 0, 1250, "", "", "", "", 0, 0);
    keeps.Complete();
    EXPECT_EQ(keeps.CodePage, 1250);
}

TEST(QxLanguage, CompleteFillsFromTheSystem) {
    FakeLocaleSystem system;
    system.AddFullLocale(0x0407, "German", 1252);
    system.Set(0x0407, qx::lc::SISO639LANGNAME, "de");
    system.Set(0x0407, qx::lc::SISO3166CTRYNAME, "DE");

    TQxLanguage german;
    german.PrimaryId = 7;
    german.Complete();
    EXPECT_EQ(german.DefaultSubId, 1);
    EXPECT_EQ(german.SubId, 1);
    EXPECT_EQ(system.QueriedIds(), std::set<uint32_t>({0x0407}));
    EXPECT_EQ(german.LanguageCode, "de");
    EXPECT_EQ(german.CountryCode, "DE");
    EXPECT_EQ(german.EnglishName, "German");
    EXPECT_EQ(german.NativeName, "NativeGerman");
    EXPECT_EQ(german.CodePage, 1252);
    EXPECT_EQ(german.Charset, 0);

    // What is set stays; the first listed sub-language is the one asked about.
    system.queries.clear();
    system.AddFullLocale(0x0807, "German", 1250);
    TQxLanguage swiss(7, 0, 0, "2,1", "Swiss German", "", "", 0, 0);
    swiss.LanguageCode = "gsw";
    swiss.Complete();
    EXPECT_EQ(swiss.DefaultSubId, 2);
    EXPECT_EQ(system.QueriedIds(), std::set<uint32_t>({0x0807}));
    EXPECT_EQ(swiss.LanguageCode, "gsw");
    EXPECT_EQ(swiss.EnglishName, "Swiss German");
    EXPECT_EQ(swiss.CodePage, 1250);
    EXPECT_EQ(swiss.Charset, 238);
}

TEST(QxLanguage, CompleteWithoutSystemAnswers) {
    FakeLocaleSystem system;  // knows no locale
    struct Case {
        int32_t primary;
        int32_t codePage;
        uint8_t charset;
    } cases[] = {{5, 1250, 238}, {25, 1251, 204}, {17, 932, 128}, {99, 1252, 0}, {9, 1252, 0}};
    for (const Case& c : cases) {
        TQxLanguage language(c.primary, 1, 0, "", "", "", "", 0, 0);
        language.Complete();
        EXPECT_EQ(language.CodePage, c.codePage) << "primary " << c.primary;
        EXPECT_EQ(language.Charset, c.charset) << "primary " << c.primary;
        EXPECT_EQ(language.EnglishName, "") << "primary " << c.primary;
    }
}

TEST(QxLanguage, CompletePassesTheEnglishNameThroughTheDisplayRule) {
    FakeLocaleSystem system;
    system.AddFullLocale(0x0414, "Norwegian (Bokmal)", 1252);
    system.AddFullLocale(0x0404, "Chinese (Taiwan)", 950);
    TQxLanguage norwegian(20, 1, 0, "", "", "", "", 0, 0);
    norwegian.Complete();
    EXPECT_EQ(norwegian.EnglishName, "Norwegian");

    // The code page of that moment: still 0, so no qualifier; with it set, the qualifier.
    TQxLanguage chinese(4, 1, 0, "", "", "", "", 0, 0);
    chinese.Complete();
    EXPECT_EQ(chinese.EnglishName, "Chinese ");
    EXPECT_EQ(chinese.CodePage, 950);
    TQxLanguage traditional(4, 1, 950, "", "", "", "", 0, 0);
    traditional.Complete();
    EXPECT_EQ(traditional.EnglishName, "Chinese , Traditional");
}

TEST(QxLanguage, AssignAndClone) {
    TQxLanguage source(26, 2, 1250, "1,2", "Serbian (Latin)", "Srpski", "Tahoma", 10, 3);
    source.SubId = 1;
    source.LanguageCode = "sr";
    source.CountryCode = "RS";
    source.SubLanguageTexts = List({"a", "b"});
    source.Charset = 77;
    std::unique_ptr<TQxLanguage> copy = source.Clone();
    EXPECT_EQ(copy->CodePage, 1250);
    EXPECT_EQ(copy->PrimaryId, 26);
    EXPECT_EQ(copy->SubId, 1);
    EXPECT_EQ(copy->DefaultSubId, 2);
    EXPECT_EQ(copy->SubLanguages, source.SubLanguages);
    EXPECT_EQ(copy->LanguageCode, "sr");
    EXPECT_EQ(copy->CountryCode, "RS");
    EXPECT_EQ(copy->SubLanguageTexts, source.SubLanguageTexts);
    EXPECT_EQ(copy->EnglishName, source.EnglishName);
    EXPECT_EQ(copy->NativeName, "Srpski");
    EXPECT_EQ(copy->FontName, "Tahoma");
    EXPECT_EQ(copy->FontSize, 10);
    EXPECT_EQ(copy->Flags, 3);
    EXPECT_EQ(copy->Charset, 77);
    copy->AddSubLanguage(3);
    EXPECT_EQ(source.SubLanguageCount(), 2);  // lists are copied by content
}

TEST(QxLanguage, GetName) {
    FakeLocaleSystem system;
    TQxLanguage serbian(26, 2, 1250, "", "Serbian (Latin)", "Srpski (Latinica)", "", 0, 0);
    std::string name = "keep";
    serbian.GetName(3, nullptr, name);
    EXPECT_EQ(name, "keep");
    serbian.GetName(0, nullptr, name);
    EXPECT_EQ(name, "Serbian, Latin");
    serbian.GetName(1, nullptr, name);
    EXPECT_EQ(name, "Srpski, Latin");
    // Without a default dictionary the translated name is the untranslated one.
    name.clear();
    serbian.GetName(2, nullptr, name);
    EXPECT_EQ(name, "Serbian, Latin");
    serbian.GetName(255, nullptr, name);
    EXPECT_EQ(name, "Serbian, Latin");
}

TEST(QxLocale, StartsEmptyAndCopiesAllButTheCharset) {
    TQxLocale empty;
    EXPECT_EQ(empty.PrimaryId, 0);
    EXPECT_EQ(empty.DecimalSeparator, '\0');
    EXPECT_FALSE(empty.TimeLeadingZero);
    EXPECT_TRUE(empty.LongDayNames[6].empty());

    TQxLocale source;
    source.PrimaryId = 7;
    source.SubId = 1;
    source.LanguageCode = "de";
    source.CountryCode = "DE";
    source.CodePage = 1252;
    source.LocaleFlag = true;
    source.Charset = 5;
    source.EnglishLanguageName = "German";
    source.CurrencyString = "DM";
    source.CurrencyFormat = 3;
    source.NegCurrFormat = 8;
    source.CurrencyDecimals = 2;
    source.ThousandSeparator = '.';
    source.DecimalSeparator = ',';
    source.DateSeparator = '.';
    source.ShortDateFormat = "dd.MM.yy";
    source.TimeSeparator = ':';
    source.TimeLeadingZero = true;
    source.TimeFormat = 1;
    source.FirstDayOfWeek = 0;
    source.FirstWeekOfYear = 2;
    source.ShortMonthNames[11] = "Dez";
    source.LongMonthNames[0] = "Januar";
    source.ShortDayNames[0] = "Mo";
    source.LongDayNames[6] = "Sonntag";

    TQxLocale target;
    target.Charset = 9;
    target.Assign(source);
    EXPECT_EQ(target.Charset, 9);
    target.Charset = source.Charset;
    EXPECT_EQ(target.LocaleId(), 0x0407u);
    EXPECT_EQ(target.LanguageCode, "de");
    EXPECT_TRUE(target.LocaleFlag);
    EXPECT_EQ(target.CurrencyString, "DM");
    EXPECT_EQ(target.NegCurrFormat, 8);
    EXPECT_EQ(target.DecimalSeparator, ',');
    EXPECT_EQ(target.ShortDateFormat, "dd.MM.yy");
    EXPECT_TRUE(target.TimeLeadingZero);
    EXPECT_EQ(target.FirstWeekOfYear, 2);
    EXPECT_EQ(target.ShortMonthNames[11], "Dez");
    EXPECT_EQ(target.LongMonthNames[0], "Januar");
    EXPECT_EQ(target.ShortDayNames[0], "Mo");
    EXPECT_EQ(target.LongDayNames[6], "Sonntag");

    std::unique_ptr<TQxLocale> clone = source.Clone();
    EXPECT_EQ(clone->Charset, 0);  // a new locale's, since Assign leaves it
    EXPECT_EQ(clone->CurrencyString, "DM");
    EXPECT_EQ(clone->LongDayNames[6], "Sonntag");
}

TEST(QxLocale, Complete) {
    FakeLocaleSystem system;
    system.AddFullLocale(0x0419, "Russian", 1251);
    system.Set(0x0419, qx::lc::FONTSIGNATURE, Signature(0x4 | 0x8));  // 1251 and 1253

    TQxLocale russian;
    russian.PrimaryId = 25;
    russian.SubId = 1;
    russian.NativeLanguageName = "Russkij";
    russian.Complete();
    EXPECT_EQ(russian.EnglishLanguageName, "Russian");
    EXPECT_EQ(russian.NativeLanguageName, "Russkij");
    EXPECT_EQ(russian.EnglishCountryName, "Country1049");
    EXPECT_EQ(russian.NativeCountryName, "NativeCountry1049");
    EXPECT_EQ(russian.CodePage, 1251);
    EXPECT_EQ(russian.Charset, 204);  // lowest bit of the signature

    // Nothing known: the code page falls to the table, then to 1252.
    TQxLocale unknown;
    unknown.PrimaryId = 8;
    unknown.SubId = 1;
    unknown.Complete();
    EXPECT_EQ(unknown.CodePage, 1253);
    EXPECT_EQ(unknown.Charset, 0);
    TQxLocale other;
    other.PrimaryId = 99;
    other.SubId = 1;
    other.Complete();
    EXPECT_EQ(other.CodePage, 1252);

    // Primary id 0: no names and no code page, but the character set is still derived.
    system.queries.clear();
    system.Set(0x0400, qx::lc::FONTSIGNATURE, Signature(0x2));
    TQxLocale native;
    native.SubId = 1;
    native.Complete();
    EXPECT_EQ(native.CodePage, 0);
    EXPECT_TRUE(native.EnglishLanguageName.empty());
    EXPECT_EQ(native.Charset, 238);
    ASSERT_EQ(system.queries.size(), 1u);
    EXPECT_EQ(system.queries[0].second, qx::lc::FONTSIGNATURE);
}

TEST(QxLocale, GetName) {
    TQxLocale norwegian;
    norwegian.PrimaryId = 20;
    norwegian.SubId = 1;
    norwegian.CodePage = 1252;
    norwegian.EnglishLanguageName = "Norwegian (Bokmal)";
    norwegian.EnglishCountryName = "Norway";
    norwegian.NativeLanguageName = "norsk (bokmal)";
    norwegian.NativeCountryName = "Norge";
    std::string name = "keep";
    norwegian.GetName(3, nullptr, name);
    EXPECT_EQ(name, "keep");
    norwegian.GetName(0, nullptr, name);
    EXPECT_EQ(name, "Norwegian (Bokmal)");
    norwegian.GetName(1, nullptr, name);
    EXPECT_EQ(name, "norsk (Bokmal)");
    norwegian.GetName(2, nullptr, name);
    EXPECT_EQ(name, "Norwegian (Bokmal)");

    TQxLocale korean;
    korean.PrimaryId = 18;
    korean.SubId = 2;
    korean.CodePage = 1361;
    korean.EnglishLanguageName = "Korean";
    korean.EnglishCountryName = "Korea";
    korean.GetName(0, nullptr, name);
    EXPECT_EQ(name, "Korean, Johab (Johab)");
}

TEST(QxLocale, EuroStateAndCurrencyText) {
    FakeLocaleSystem system;
    const std::string euro(1, '\x80');
    struct Date {
        qx::TQxDate date;
        uint8_t period;
    } dates[] = {
        {{1998, 12, 31}, 1}, {{1999, 1, 1}, 2}, {{2001, 6, 1}, 2}, {{2001, 12, 31}, 2},
        {{2002, 1, 1}, 3},   {{2002, 3, 1}, 3}, {{2002, 6, 30}, 3}, {{2002, 7, 1}, 4},
        {{2026, 12, 10}, 4},
    };
    // Expected text per euro mode (normal, business, ignore) and period 1..4.
    const char* germany[3][4] = {{"DM", "DM", "E", "E"}, {"DM", "E", "E", "E"},
                                 {"DM", "DM", "DM", "DM"}};
    struct Place {
        int32_t primary, sub;
        bool euroZone;
    } places[] = {{7, 1, true}, {9, 1, false}, {7, 2, false}, {12, 2, true}};
    const qx::TQxEuro modes[3] = {qx::qxeNormal, qx::qxeBusiness, qx::qxeIgnore};
    const qx::TQxEuro saved = qx::EuroMode;
    for (const Place& place : places) {
        TQxLocale locale;
        locale.PrimaryId = place.primary;
        locale.SubId = place.sub;
        locale.CurrencyString = "DM";
        for (const Date& d : dates) {
            system.today = d.date;
            EXPECT_EQ(qx::GetEuroPeriod(), d.period) << d.date.Year << "-" << d.date.Month;
            EXPECT_EQ(locale.GetEuroState(), place.euroZone ? d.period : 0)
                << place.primary << "/" << place.sub << " " << d.date.Year;
            for (int m = 0; m < 3; ++m) {
                qx::EuroMode = modes[m];
                std::string expected = place.euroZone ? germany[m][d.period - 1] : "DM";
                if (expected == "E") expected = euro;
                EXPECT_EQ(locale.GetCurrencyString(), expected)
                    << "locale " << place.primary << "/" << place.sub << " mode " << m << " "
                    << d.date.Year << "-" << d.date.Month << "-" << d.date.Day;
            }
        }
    }
    qx::EuroMode = saved;
}

TEST(QxTranslation, Key) {
    const std::string del(1, '\x7F');
    EXPECT_EQ(qx::TQxTranslation::MakeKey("Next", "", ""), "Next" + del);
    EXPECT_EQ(qx::TQxTranslation::MakeKey("Next", "A", "B"), "Next" + del + "AB");
    EXPECT_EQ(qx::TQxTranslation::MakeKey("", "", "12"), del + "12");
    qx::TQxTranslation entry;
    entry.Native = "&Close";
    entry.ContextB = "65";
    EXPECT_EQ(entry.GetKey(), "&Close" + del + "65");
}
