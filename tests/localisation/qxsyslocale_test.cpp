// System locales: filling a locale from the system, default code pages, supported locales,
// display names; the character-set, reading-order and euro-zone tables.
#include <gtest/gtest.h>

#include "fake_locale_system.h"
#include "qx/QxDictio.h"
#include "rtl/exceptions.h"

using qx::TQxLocale;

namespace {

std::string Signature(uint32_t codePageBits) {
    std::string s(32, '\0');
    for (int i = 0; i < 4; ++i) s[16 + i] = static_cast<char>((codePageBits >> (8 * i)) & 0xFF);
    return s;
}

// A locale with a value in every field, to see what a call leaves alone.
TQxLocale Prefilled() {
    TQxLocale l;
    l.PrimaryId = 99;
    l.SubId = 9;
    l.LanguageCode = "xx";
    l.CodePage = 4242;
    l.LocaleFlag = true;
    l.Charset = 42;
    l.EnglishLanguageName = "Old";
    l.CurrencyString = "old$";
    l.DecimalSeparator = '#';
    l.TimeFormat = 7;
    l.LongDayNames[0] = "OldMonday";
    l.ShortMonthNames[0] = "OldJan";
    return l;
}

void ExpectPrefilled(const TQxLocale& l, bool codePageToo) {
    EXPECT_EQ(l.PrimaryId, 99);
    EXPECT_EQ(l.SubId, 9);
    EXPECT_EQ(l.LanguageCode, "xx");
    if (codePageToo) {
        EXPECT_EQ(l.CodePage, 4242);
    }
    EXPECT_TRUE(l.LocaleFlag);
    EXPECT_EQ(l.Charset, 42);
    EXPECT_EQ(l.EnglishLanguageName, "Old");
    EXPECT_EQ(l.CurrencyString, "old$");
    EXPECT_EQ(l.DecimalSeparator, '#');
    EXPECT_EQ(l.TimeFormat, 7);
    EXPECT_EQ(l.LongDayNames[0], "OldMonday");
    EXPECT_EQ(l.ShortMonthNames[0], "OldJan");
}

}  // namespace

TEST(QxCharsets, CodePageToCharset) {
    struct Case {
        int32_t codePage;
        uint8_t charset;
    } cases[] = {{1258, 163}, {437, 1},   {0, 0},     {1252, 0},   {1250, 238}, {1251, 204},
                 {1253, 161}, {1254, 162}, {1255, 177}, {1256, 178}, {1257, 186}, {874, 222},
                 {932, 128},  {936, 134},  {949, 129},  {950, 136},  {1361, 130}, {65001, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(qx::CodePageToCharset(c.codePage), c.charset) << "code page " << c.codePage;
}

TEST(QxCharsets, LanguageCharsetFromTheFontSignature) {
    FakeLocaleSystem system;
    struct Case {
        uint32_t id;
        bool answer;
        std::string signature;
        uint8_t charset;
        int32_t codePage;
    } cases[] = {
        {0x0419, true, Signature(0x4), 204, 1251},
        {0x0405, true, Signature(0x2 | 0x4), 238, 1250},     // lowest bit wins
        {0x0411, true, Signature(1u << 17), 128, 932},
        {0x042A, true, Signature(1u << 22), 163, 1258},
        {0x0409, true, Signature(0), 0, 1252},                // no bit: entry 0
        {0x0408, true, Signature(1u << 9), 0, 0},             // an empty entry
        {0x0401, false, "", 0, 1252},                         // no answer: entry 0
        {0x0402, true, std::string(8, '\xFF'), 0, 1252},      // short answer: entry 0
    };
    for (const Case& c : cases) {
        if (c.answer) system.Set(c.id, qx::lc::FONTSIGNATURE, c.signature);
        qx::TQxCharsetInfo info = qx::GetLanguageCharsetInfo(c.id);
        EXPECT_EQ(info.Charset, c.charset) << std::hex << c.id;
        EXPECT_EQ(info.CodePage, c.codePage) << std::hex << c.id;
        EXPECT_EQ(qx::GetLanguageCharset(c.id), c.charset) << std::hex << c.id;
    }
}

TEST(QxReadingOrder, ByPrimaryLanguage) {
    struct Case {
        uint32_t id;
        uint8_t order;
    } cases[] = {{0x0401, 2}, {0x0C01, 2}, {0x040D, 2}, {0x0429, 2}, {0x0404, 1},
                 {0x0804, 1}, {0x0411, 1}, {0x0412, 1}, {0x10411, 1}, {0x0409, 0},
                 {0x0809, 0}, {0x0407, 0}, {0, 0},       {0x0001, 2}};
    for (const Case& c : cases) {
        EXPECT_EQ(qx::GetReadingOrderClass(c.id), c.order) << std::hex << c.id;
        EXPECT_EQ(qx::IsRightToLeftLanguage(c.id), c.order == 2) << std::hex << c.id;
    }
}

TEST(QxEuro, EuroZone) {
    const uint32_t zone[] = {0x0407, 0x0C07, 0x1007, 0x1809, 0x040A, 0x040B, 0x040C,
                             0x080C, 0x140C, 0x0410, 0x0413, 0x0813, 0x0816, 0x081D};
    const uint32_t outside[] = {0x0807, 0x1407, 0x0409, 0x0809, 0x0C0A, 0x080A, 0x100C,
                                0x0C0C, 0x0810, 0x0416, 0x041D, 0x0419, 0x0000, 0x0415};
    for (uint32_t id : zone) EXPECT_TRUE(qx::IsEuroLocale(id)) << std::hex << id;
    for (uint32_t id : outside) EXPECT_FALSE(qx::IsEuroLocale(id)) << std::hex << id;
    EXPECT_TRUE(qx::IsEuroLocale(0x50407));  // sort bits do not matter
}

TEST(QxFillLocaleFromSystem, FillsEveryFieldInItsOrder) {
    FakeLocaleSystem system;
    system.AddFullLocale(0x0409, "English", 1252);
    system.Set(0x0409, qx::lc::FONTSIGNATURE, Signature(0x2));
    TQxLocale locale = Prefilled();
    ASSERT_TRUE(qx::FillLocaleFromSystem(0x0409, locale));
    EXPECT_EQ(locale.PrimaryId, 9);
    EXPECT_EQ(locale.SubId, 1);
    EXPECT_EQ(locale.CodePage, 1252);
    EXPECT_FALSE(locale.LocaleFlag);
    // Charset from the code page (0 for 1252), then completed from the font signature.
    EXPECT_EQ(locale.Charset, 238);
    EXPECT_EQ(locale.EnglishLanguageName, "English");
    EXPECT_EQ(locale.EnglishCountryName, "Country1033");
    EXPECT_EQ(locale.NativeLanguageName, "NativeEnglish");
    EXPECT_EQ(locale.NativeCountryName, "NativeCountry1033");
    EXPECT_EQ(locale.AbbrevLanguageName, "ABC");
    EXPECT_EQ(locale.CountryName, "Land");
    EXPECT_EQ(locale.Measure, 1);
    EXPECT_EQ(locale.CurrencyString, "$");
    EXPECT_EQ(locale.CurrencyFormat, 3);
    EXPECT_EQ(locale.NegCurrFormat, 8);
    EXPECT_EQ(locale.CurrencyDecimals, 2);
    EXPECT_EQ(locale.ThousandSeparator, ',');
    EXPECT_EQ(locale.DecimalSeparator, '.');
    EXPECT_EQ(locale.DateSeparator, '/');
    EXPECT_EQ(locale.ShortDateFormat, "M/d/yy");
    EXPECT_EQ(locale.LongDateFormat, "dddd, MMMM dd, yyyy");
    EXPECT_EQ(locale.TimeSeparator, ':');
    EXPECT_EQ(locale.TimeAMString, "AM");
    EXPECT_EQ(locale.TimePMString, "PM");
    EXPECT_TRUE(locale.TimeLeadingZero);
    EXPECT_EQ(locale.TimeFormat, 1);
    EXPECT_EQ(locale.TimeMarkerPosition, 1);
    EXPECT_EQ(locale.CalendarType, 1);
    EXPECT_EQ(locale.OptionalCalendar, 2);
    EXPECT_EQ(locale.FirstDayOfWeek, 6);
    EXPECT_EQ(locale.FirstWeekOfYear, 0);
    for (int d = 0; d < 7; ++d) {
        EXPECT_EQ(locale.ShortDayNames[d], "d" + std::to_string(d + 1));
        EXPECT_EQ(locale.LongDayNames[d], "Day" + std::to_string(d + 1));
    }
    for (int m = 0; m < 12; ++m) {
        EXPECT_EQ(locale.ShortMonthNames[m], "m" + std::to_string(m + 1));
        EXPECT_EQ(locale.LongMonthNames[m], "Month" + std::to_string(m + 1));
    }
    EXPECT_EQ(locale.LanguageCode, "xx");  // not a system field

    // The order of the questions: the test, the code page, ..., days and months interleaved.
    std::vector<uint32_t> asked;
    for (const auto& q : system.queries) asked.push_back(q.second);
    using namespace qx::lc;
    const std::vector<uint32_t> head = {SENGLANGUAGE, IDEFAULTANSICODEPAGE, SENGLANGUAGE,
                                        SENGCOUNTRY,  SNATIVELANGNAME,      SNATIVECTRYNAME,
                                        SABBREVLANGNAME, SCOUNTRY, IMEASURE, SCURRENCY,
                                        ICURRENCY, INEGCURR, ICURRDIGITS, STHOUSAND, SDECIMAL,
                                        SDATE, SSHORTDATE, SLONGDATE, STIME, S1159, S2359,
                                        ITLZERO, ITIME, ITIMEMARKPOSN, ICALENDARTYPE,
                                        IOPTIONALCALENDAR, IFIRSTDAYOFWEEK, IFIRSTWEEKOFYEAR,
                                        SABBREVDAYNAME1, SDAYNAME1, SABBREVDAYNAME1 + 1,
                                        SDAYNAME1 + 1};
    const size_t months = head.size() - 4 + 14;
    ASSERT_GE(asked.size(), months + 24);
    EXPECT_EQ(std::vector<uint32_t>(asked.begin(), asked.begin() + head.size()), head);
    EXPECT_EQ(asked[months], SABBREVMONTHNAME1);
    EXPECT_EQ(asked[months + 1], SMONTHNAME1);
    EXPECT_EQ(asked[months + 2], SABBREVMONTHNAME1 + 1);
    EXPECT_EQ(asked[months + 23], SMONTHNAME1 + 11);
}

TEST(QxFillLocaleFromSystem, UnknownLocaleLeavesTheLocaleUntouched) {
    FakeLocaleSystem system;
    system.AddFullLocale(0x0409, "English", 1252);
    TQxLocale locale = Prefilled();
    EXPECT_FALSE(qx::FillLocaleFromSystem(0x1234, locale));
    ExpectPrefilled(locale, true);
    // An answer of "@*" counts as unknown too.
    system.Set(0x0407, qx::lc::SENGLANGUAGE, "@*");
    system.Set(0x0407, qx::lc::IDEFAULTANSICODEPAGE, "1252");
    EXPECT_FALSE(qx::FillLocaleFromSystem(0x0407, locale));
    ExpectPrefilled(locale, true);
}

TEST(QxFillLocaleFromSystem, LocaleWithoutAnsiCodePage) {
    FakeLocaleSystem system;
    system.AddFullLocale(0x0439, "Hindi", 0);
    TQxLocale locale = Prefilled();
    EXPECT_FALSE(qx::FillLocaleFromSystem(0x0439, locale));
    EXPECT_EQ(locale.CodePage, 0);
    ExpectPrefilled(locale, false);
    // No code-page answer at all: the same.
    system.items.erase({0x0439, qx::lc::IDEFAULTANSICODEPAGE});
    TQxLocale fresh;
    EXPECT_FALSE(qx::FillLocaleFromSystem(0x0439, fresh));
    EXPECT_EQ(fresh.CodePage, 0);
    EXPECT_TRUE(fresh.EnglishLanguageName.empty());
}

TEST(QxFillLocaleFromSystem, MissingAndEmptyAnswers) {
    FakeLocaleSystem system;
    system.Set(0x0C0A, qx::lc::SENGLANGUAGE, "Spanish");
    system.Set(0x0C0A, qx::lc::IDEFAULTANSICODEPAGE, "1252");
    system.Set(0x0C0A, qx::lc::SDECIMAL, "");  // answered, but empty
    system.Set(0x0C0A, qx::lc::ITLZERO, "2");
    TQxLocale locale = Prefilled();
    ASSERT_TRUE(qx::FillLocaleFromSystem(0x0C0A, locale));
    EXPECT_EQ(locale.PrimaryId, 10);
    EXPECT_EQ(locale.SubId, 3);
    EXPECT_EQ(locale.DecimalSeparator, '\0');  // first character of an empty text
    EXPECT_EQ(locale.ThousandSeparator, ' ');  // the default of a failed query
    EXPECT_EQ(locale.TimeSeparator, ' ');
    EXPECT_TRUE(locale.TimeLeadingZero);
    EXPECT_EQ(locale.TimeFormat, 0);
    EXPECT_EQ(locale.CurrencyString, "");
    EXPECT_EQ(locale.LongDayNames[0], "");
    EXPECT_EQ(locale.ShortMonthNames[0], "");
    // Completion found nothing more: the names stay as filled.
    EXPECT_EQ(locale.EnglishCountryName, "");

    system.Set(0x0C0A, qx::lc::ITLZERO, "0");
    ASSERT_TRUE(qx::FillLocaleFromSystem(0x0C0A, locale));
    EXPECT_FALSE(locale.TimeLeadingZero);
}

TEST(QxFillLocaleFromSystem, NonNumericAnswerRaisesTheConversionError) {
    FakeLocaleSystem system;
    system.AddFullLocale(0x0409, "English", 1252);
    system.Set(0x0409, qx::lc::IMEASURE, "metric");
    TQxLocale locale;
    EXPECT_THROW(qx::FillLocaleFromSystem(0x0409, locale), rtl::EConvertError);
}

TEST(QxDefaultCodePageOf, SystemAnswerThenTable) {
    FakeLocaleSystem system;
    system.Set(0x0409, qx::lc::IDEFAULTANSICODEPAGE, "1257");  // the system's answer wins
    system.Set(0x0439, qx::lc::IDEFAULTANSICODEPAGE, "0");
    struct Case {
        uint32_t id;
        int32_t codePage;
    } cases[] = {
        {0x0409, 1257}, {0x0439, 1252}, {0x0401, 1256}, {0x0429, 1256}, {0x0402, 1251},
        {0x0419, 1251}, {0x0422, 1251}, {0x0423, 1251}, {0x0405, 1250}, {0x040E, 1250},
        {0x0415, 1250}, {0x0418, 1250}, {0x041B, 1250}, {0x041C, 1250}, {0x0424, 1250},
        {0x0408, 1253}, {0x040D, 1255}, {0x0411, 932},  {0x0412, 949},  {0x041A, 1250},
        {0x081A, 1250}, {0x0C1A, 1251}, {0x041E, 874},  {0x041F, 1254}, {0x0425, 1257},
        {0x0426, 1257}, {0x0427, 1257}, {0x042A, 1258}, {0x042C, 1254}, {0x082C, 1251},
        {0x0443, 1254}, {0x0843, 1251}, {0x0407, 1252}, {0x0C0A, 1252},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qx::DefaultCodePageOf(c.id), c.codePage) << std::hex << c.id;
}

TEST(QxDefaultCodePageOf, ChineseWithoutAskingTheSystem) {
    FakeLocaleSystem system;
    system.Set(0x1004, qx::lc::IDEFAULTANSICODEPAGE, "1252");
    struct Case {
        uint32_t id;
        int32_t codePage;
    } cases[] = {{0x0404, 950}, {0x0804, 936}, {0x0C04, 950}, {0x1004, 936},
                 {0x1404, 950}, {0x0004, 936}, {0x10404, 950}};
    for (const Case& c : cases) {
        EXPECT_EQ(qx::ChineseCodePage(c.id), c.codePage) << std::hex << c.id;
        EXPECT_EQ(qx::DefaultCodePageOf(c.id), c.codePage) << std::hex << c.id;
    }
    EXPECT_TRUE(system.queries.empty());
}

TEST(QxEnumSystemLocaleIds, AppendsEverySupportedLocale) {
    FakeLocaleSystem system;
    system.supported = {"00000409", "00000407", "not hex", "", "0000041e", "00010407"};
    std::vector<uint32_t> list = {7};
    qx::EnumSystemLocaleIds(list);
    EXPECT_EQ(list, std::vector<uint32_t>({7, 0x0409, 0x0407, 0x041E, 0x10407}));
    // A second enumeration starts from nothing left over by the first.
    system.supported = {"00000411"};
    std::vector<uint32_t> second;
    qx::EnumSystemLocaleIds(second);
    EXPECT_EQ(second, std::vector<uint32_t>({0x0411}));
}

TEST(QxDictionaryLocales, OwnLocaleWinsOverTheSystem) {
    FakeLocaleSystem system;
    system.AddFullLocale(0x0407, "German", 1252);
    qx::TQxLocaleList own;
    own.push_back(std::make_unique<TQxLocale>());
    own.back()->PrimaryId = 12;
    own.back()->SubId = 1;
    own.push_back(std::make_unique<TQxLocale>());
    own.back()->PrimaryId = 7;
    own.back()->SubId = 1;
    own.back()->CurrencyString = "DM";
    own.back()->LocaleFlag = true;
    own.push_back(std::make_unique<TQxLocale>());
    own.back()->PrimaryId = 7;
    own.back()->SubId = 1;
    own.back()->CurrencyString = "second";

    TQxLocale locale;
    EXPECT_TRUE(qx::FindLocaleIn(own, 0x0407, locale));
    EXPECT_EQ(locale.CurrencyString, "DM");
    EXPECT_TRUE(locale.LocaleFlag);
    EXPECT_TRUE(system.queries.empty());

    // The sort id must match too; otherwise the system answers.
    system.AddFullLocale(0x10407, "German", 1252);
    TQxLocale sorted;
    EXPECT_TRUE(qx::FindLocaleIn(own, 0x10407, sorted));
    EXPECT_EQ(sorted.CurrencyString, "$");
    EXPECT_FALSE(sorted.LocaleFlag);

    TQxLocale unknown = Prefilled();
    EXPECT_FALSE(qx::FindLocaleIn(own, 0x1234, unknown));
    ExpectPrefilled(unknown, true);
}

TEST(QxDictionaryLocales, AvailableLocales) {
    FakeLocaleSystem system;
    system.supported = {"00000409", "00000407"};
    const std::vector<std::pair<int32_t, int32_t>> own = {{7, 1}, {10, 3}, {10, 3}, {18, 2}};
    auto getLocale = [&own](int32_t index, TQxLocale& locale) {
        locale.PrimaryId = own[static_cast<size_t>(index)].first;
        locale.SubId = own[static_cast<size_t>(index)].second;
    };
    std::vector<uint32_t> list;
    qx::GetAvailableLocalesWith(list, 4, getLocale);
    EXPECT_EQ(list, std::vector<uint32_t>({0x0409, 0x0407, 0x0C0A, 0x0812}));
    EXPECT_TRUE(qx::IsLocaleAvailableWith(0x0812, 4, getLocale));
    EXPECT_TRUE(qx::IsLocaleAvailableWith(0x0409, 0, getLocale));
    EXPECT_FALSE(qx::IsLocaleAvailableWith(0x0812, 3, getLocale));
    EXPECT_FALSE(qx::IsLocaleAvailableWith(0x0419, 4, getLocale));
}

TEST(QxDictionaryLocales, PrimaryLanguagesOnceUnderTheLowerIndex) {
    qx::TQxLanguageList languages;
    auto add = [&languages](int32_t primary, const char* english, const char* native) {
        languages.push_back(std::make_unique<qx::TQxLanguage>(primary, 1, 1252, "", english,
                                                              native, "", 0, 0));
    };
    add(0, "Native", "Native");
    add(7, "German (Germany)", "Deutsch (Deutschland)");
    add(12, "French", "Francais");
    add(7, "German (Austria)", "Deutsch (Oesterreich)");
    add(12, "French (Belgium)", "Francais (Belgique)");
    std::vector<qx::TQxNamedId> strings = {{"before", -1}};
    qx::EnumPrimaryLanguagesOf(languages, strings, false);
    ASSERT_EQ(strings.size(), 4u);
    EXPECT_EQ(strings[1].Name, "Native");
    EXPECT_EQ(strings[1].Id, 0);
    EXPECT_EQ(strings[2].Name, "German (Germany)");
    EXPECT_EQ(strings[2].Id, 7);
    EXPECT_EQ(strings[3].Name, "French");
    EXPECT_EQ(strings[3].Id, 12);
    std::vector<qx::TQxNamedId> native;
    qx::EnumPrimaryLanguagesOf(languages, native, true);
    ASSERT_EQ(native.size(), 3u);
    EXPECT_EQ(native[1].Name, "Deutsch (Deutschland)");
}

TEST(QxDisplayNames, Language) {
    struct Case {
        const char* base;
        int32_t primary;
        int32_t codePage;
        const char* shown;
    } cases[] = {
        {"Spanish (Traditional Sort)", 10, 1252, "Spanish"},
        {"Norwegian (Bokmal)", 20, 1252, "Norwegian"},
        {"Chinese (Taiwan)", 4, 950, "Chinese , Traditional"},
        {"Chinese (PRC)", 4, 936, "Chinese , Simplified"},
        {"Chinese (PRC)", 4, 1252, "Chinese "},
        {"Chinese", 4, 0, "Chinese"},
        {"Korean (Johab)", 18, 1361, "Korean , Johab"},
        {"Korean", 18, 949, "Korean"},
        {"Serbian (Latin)", 26, 1250, "Serbian, Latin"},
        {"Serbian (Cyrillic)", 26, 1251, "Serbian, Cyrillic"},
        {"Serbian (Latin)", 26, 1252, "Serbian"},
        {"Azeri (Latin)", 44, 1254, "Azeri, Latin"},
        {"Azeri (Cyrillic)", 44, 1251, "Azeri, Cyrillic"},
        {"Azeri (Latin)", 44, 1250, "Azeri"},
        {"Uzbek (Cyrillic)", 67, 1251, "Uzbek, Cyrillic"},
        {"English (United States)", 9, 1252, "English (United States)"},
        {" Spanish", 10, 1252, ""},
        {"", 26, 1250, ", Latin"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qx::GetLanguageDisplayName(c.base, c.primary, nullptr, false, c.codePage),
                  c.shown)
            << c.base << " / " << c.codePage;
        // No default dictionary exists: translating changes nothing.
        EXPECT_EQ(qx::GetLanguageDisplayName(c.base, c.primary, nullptr, true, c.codePage),
                  c.shown)
            << c.base << " / " << c.codePage;
    }
}

TEST(QxDisplayNames, Locale) {
    struct Case {
        const char* language;
        const char* country;
        int32_t primary, sub, codePage;
        const char* shown;
    } cases[] = {
        {"Chinese", "Taiwan", 4, 1, 950, "Chinese, Traditional (Taiwan)"},
        {"Chinese", "PRC", 4, 2, 1252, "Chinese, Simplified (PRC)"},
        {"Chinese", "PRC", 4, 2, 0, "Chinese (PRC)"},
        {"Spanish (Modern Sort)", "Spain", 10, 3, 1252, "Spanish (Spain)"},
        {"Korean", "Korea", 18, 2, 1361, "Korean, Johab (Johab)"},
        {"Korean", "Korea", 18, 1, 949, "Korean (Korea)"},
        {"Norwegian (Bokmal)", "Norway", 20, 1, 1252, "Norwegian (Bokmal)"},
        {"Norwegian (Nynorsk)", "Norway", 20, 2, 1252, "Norwegian (Nynorsk)"},
        {"Norwegian (Bokmal)", "Norway", 20, 0, 1252, "Norwegian"},
        {"Norwegian", "Norway", 20, 3, 1252, "Norwegian (Norway)"},
        {"Serbian (Latin)", "Serbia", 26, 1, 1250, "Serbian (Serbia)"},
        {"Serbian (Latin)", "Serbia", 26, 2, 1250, "Serbian, Latin (Serbia)"},
        {"Serbian (Cyrillic)", "Serbia", 26, 3, 1251, "Serbian, Cyrillic (Serbia)"},
        {"Serbian (Latin)", "Serbia", 26, 2, 0, "Serbian (Serbia)"},
        {"Azeri (Latin)", "Azerbaijan", 44, 1, 1252, "Azeri, Latin (Azerbaijan)"},
        {"Azeri (Cyrillic)", "Azerbaijan", 44, 2, 1251, "Azeri, Cyrillic (Azerbaijan)"},
        {"Uzbek (Latin)", "Uzbekistan", 67, 1, 0, "Uzbek (Uzbekistan)"},
        {"English", "United States", 9, 1, 1252, "English (United States)"},
        {"English", "United States", 9, 0, 1252, "English"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(qx::GetLocaleDisplayName(c.language, c.country, nullptr, false, c.codePage,
                                           c.sub, c.primary),
                  c.shown)
            << c.language << " / " << c.sub << " / " << c.codePage;
        EXPECT_EQ(qx::GetLocaleDisplayName(c.language, c.country, nullptr, true, c.codePage,
                                           c.sub, c.primary),
                  c.shown)
            << c.language << " / " << c.sub << " / " << c.codePage;
    }
}
