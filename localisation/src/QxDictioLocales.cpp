// The system side of locales: filling a locale from the system, default code pages, the
// supported locales, and the names languages and locales are shown under.
#include <algorithm>

#include "qx/QxDictio.h"
#include "qx/QxParser.h"
#include "qx/QxSystem.h"

namespace qx {

namespace {

// A separator is the first character of its text; an empty answer gives character 0.
char FirstChar(const std::string& text) {
    return text.empty() ? '\0' : text[0];
}

uint8_t ByteItem(uint32_t localeId, uint32_t item) {
    return static_cast<uint8_t>(StrToInt(GetLocaleStr(localeId, item, "0")));
}

std::string FirstToken(const std::string& text, char delimiter) {
    TQxStringParser parser(text, delimiter);
    return parser.NextToken();
}

std::string Translated(bool translate, TQxDictionary* dictionary, const std::string& text) {
    return translate ? TranslateWith(dictionary, text) : text;
}

}  // namespace

// Step 2 writes the code page before it is tested, so a locale without an ANSI code page is
// left with CodePage 0 and nothing else changed.
bool FillLocaleFromSystem(uint32_t id, TQxLocale& locale) {
    if (GetLocaleStr(id, lc::SENGLANGUAGE, "@*") == "@*") return false;
    locale.CodePage = StrToInt(GetLocaleStr(id, lc::IDEFAULTANSICODEPAGE, "0"));
    if (locale.CodePage == 0) return false;
    locale.PrimaryId = static_cast<int32_t>(GetPrimaryLangId(id));
    locale.SubId = static_cast<int32_t>(GetSubLangId(id));
    locale.Charset = CodePageToCharset(locale.CodePage);
    locale.LocaleFlag = false;
    locale.EnglishLanguageName = GetLocaleStr(id, lc::SENGLANGUAGE, "");
    locale.EnglishCountryName = GetLocaleStr(id, lc::SENGCOUNTRY, "");
    locale.NativeLanguageName = GetLocaleStr(id, lc::SNATIVELANGNAME, "");
    locale.NativeCountryName = GetLocaleStr(id, lc::SNATIVECTRYNAME, "");
    locale.AbbrevLanguageName = GetLocaleStr(id, lc::SABBREVLANGNAME, "");
    locale.CountryName = GetLocaleStr(id, lc::SCOUNTRY, "");
    locale.Measure = ByteItem(id, lc::IMEASURE);
    locale.CurrencyString = GetLocaleStr(id, lc::SCURRENCY, "");
    locale.CurrencyFormat = ByteItem(id, lc::ICURRENCY);
    locale.NegCurrFormat = ByteItem(id, lc::INEGCURR);
    locale.CurrencyDecimals = ByteItem(id, lc::ICURRDIGITS);
    locale.ThousandSeparator = FirstChar(GetLocaleStr(id, lc::STHOUSAND, " "));
    locale.DecimalSeparator = FirstChar(GetLocaleStr(id, lc::SDECIMAL, " "));
    locale.DateSeparator = FirstChar(GetLocaleStr(id, lc::SDATE, " "));
    locale.ShortDateFormat = GetLocaleStr(id, lc::SSHORTDATE, "");
    locale.LongDateFormat = GetLocaleStr(id, lc::SLONGDATE, "");
    locale.TimeSeparator = FirstChar(GetLocaleStr(id, lc::STIME, " "));
    locale.TimeAMString = GetLocaleStr(id, lc::S1159, "");
    locale.TimePMString = GetLocaleStr(id, lc::S2359, "");
    locale.TimeLeadingZero = GetLocaleStr(id, lc::ITLZERO, "0") != "0";
    locale.TimeFormat = ByteItem(id, lc::ITIME);
    locale.TimeMarkerPosition = ByteItem(id, lc::ITIMEMARKPOSN);
    locale.CalendarType = ByteItem(id, lc::ICALENDARTYPE);
    locale.OptionalCalendar = ByteItem(id, lc::IOPTIONALCALENDAR);
    locale.FirstDayOfWeek = ByteItem(id, lc::IFIRSTDAYOFWEEK);
    locale.FirstWeekOfYear = ByteItem(id, lc::IFIRSTWEEKOFYEAR);
    for (uint32_t day = 0; day < 7; ++day) {
        locale.ShortDayNames[day] = GetLocaleStr(id, lc::SABBREVDAYNAME1 + day, "");
        locale.LongDayNames[day] = GetLocaleStr(id, lc::SDAYNAME1 + day, "");
    }
    for (uint32_t month = 0; month < 12; ++month) {
        locale.ShortMonthNames[month] = GetLocaleStr(id, lc::SABBREVMONTHNAME1 + month, "");
        locale.LongMonthNames[month] = GetLocaleStr(id, lc::SMONTHNAME1 + month, "");
    }
    locale.Complete();
    return true;
}

int32_t ChineseCodePage(uint32_t id) {
    const uint32_t sub = GetSubLangId(id);
    return (sub == 1 || sub == 3 || sub == 5) ? 950 : 936;
}

int32_t DefaultCodePageOf(uint32_t id) {
    const uint32_t primary = GetPrimaryLangId(id);
    if (primary == 4) return ChineseCodePage(id);
    const int32_t fromSystem = StrToInt(GetLocaleStr(id, lc::IDEFAULTANSICODEPAGE, "0"));
    if (fromSystem >= 1) return fromSystem;
    const uint32_t sub = GetSubLangId(id);
    switch (primary) {
        case 1: case 41: return 1256;
        case 2: case 25: case 34: case 35: return 1251;
        case 5: case 14: case 21: case 24: case 27: case 28: case 36: return 1250;
        case 8: return 1253;
        case 13: return 1255;
        case 17: return 932;
        case 18: return 949;
        case 26: return (sub == 1 || sub == 2) ? 1250 : 1251;
        case 30: return 874;
        case 31: return 1254;
        case 37: case 38: case 39: return 1257;
        case 42: return 1258;
        case 44: case 67: return sub == 2 ? 1251 : 1254;
        default: return 1252;
    }
}

// The callback must not throw: a text that is not hexadecimal is passed over.
void EnumSystemLocaleIds(std::vector<uint32_t>& list) {
    LocaleSystem().EnumSupportedLocales([&list](const std::string& text) {
        int32_t id;
        if (TryStrToInt("$" + text, id)) list.push_back(static_cast<uint32_t>(id));
        return true;
    });
}

bool FindLocaleIn(const TQxLocaleList& dictionaryLocales, uint32_t localeId, TQxLocale& locale) {
    for (const auto& own : dictionaryLocales) {
        if (own && own->LocaleId() == localeId) {
            locale.Assign(*own);
            return true;
        }
    }
    return FillLocaleFromSystem(localeId, locale);
}

void GetAvailableLocalesWith(std::vector<uint32_t>& list, int32_t localeCount,
                             const std::function<void(int32_t, TQxLocale&)>& getLocale) {
    EnumSystemLocaleIds(list);
    for (int32_t i = 0; i < localeCount; ++i) {
        TQxLocale locale;
        getLocale(i, locale);
        const uint32_t id = locale.LocaleId();
        if (std::find(list.begin(), list.end(), id) == list.end()) list.push_back(id);
    }
}

bool IsLocaleAvailableWith(uint32_t localeId, int32_t localeCount,
                           const std::function<void(int32_t, TQxLocale&)>& getLocale) {
    std::vector<uint32_t> list;
    GetAvailableLocalesWith(list, localeCount, getLocale);
    return std::find(list.begin(), list.end(), localeId) != list.end();
}

void EnumPrimaryLanguagesOf(const TQxLanguageList& languages, std::vector<TQxNamedId>& strings,
                            bool nativeNames) {
    for (size_t i = 0; i < languages.size(); ++i) {
        const TQxLanguage& language = *languages[i];
        bool seen = false;
        for (size_t j = 0; j < i && !seen; ++j)
            seen = languages[j]->PrimaryId == language.PrimaryId;
        if (seen) continue;
        strings.push_back(
            TQxNamedId{nativeNames ? language.NativeName : language.EnglishName, language.PrimaryId});
    }
}

// The first token is taken as the parser cuts it, untrimmed: dictionaries hold the names in
// exactly that form.
std::string GetLanguageDisplayName(const std::string& baseName, int32_t primaryId,
                                   TQxDictionary* dictionary, bool translate, int32_t codePage) {
    if (translate && !dictionary) dictionary = GetDefaultDictionary();
    std::string name = baseName;
    std::string qualifier;
    switch (primaryId) {
        case 10:
        case 20:
            name = FirstToken(baseName, ' ');
            break;
        case 4:
            name = FirstToken(baseName, '(');
            if (codePage == 950) qualifier = "Traditional";
            else if (codePage == 936) qualifier = "Simplified";
            break;
        case 18:
            name = FirstToken(baseName, '(');
            if (codePage == 1361) qualifier = "Johab";
            break;
        case 26:
            name = FirstToken(baseName, ' ');
            if (codePage == 1250) qualifier = "Latin";
            else if (codePage == 1251) qualifier = "Cyrillic";
            break;
        case 44:
        case 67:
            name = FirstToken(baseName, ' ');
            if (codePage == 1254) qualifier = "Latin";
            else if (codePage == 1251) qualifier = "Cyrillic";
            break;
        default:
            break;
    }
    if (translate) {
        name = TranslateWith(dictionary, name);
        qualifier = TranslateWith(dictionary, qualifier);
    }
    if (!qualifier.empty()) name += ", " + qualifier;
    return name;
}

std::string GetLocaleDisplayName(const std::string& languageName, const std::string& countryName,
                                 TQxDictionary* dictionary, bool translate, int32_t codePage,
                                 int32_t subId, int32_t primaryId) {
    if (translate && !dictionary) dictionary = GetDefaultDictionary();
    std::string country = countryName;
    std::string name = languageName;
    std::string qualifier;
    switch (primaryId) {
        case 4:
            name = FirstToken(languageName, '(');
            if (codePage != 0) qualifier = codePage == 950 ? "Traditional" : "Simplified";
            break;
        case 10:
            name = FirstToken(languageName, ' ');
            break;
        case 18:
            name = FirstToken(languageName, '(');
            if (codePage == 1361) qualifier = "Johab";
            if (subId == 2) country = "Johab";
            break;
        case 20:
            name = FirstToken(languageName, ' ');
            if (subId == 1) country = "Bokmal";
            else if (subId == 2) country = "Nynorsk";
            break;
        case 26:
            name = FirstToken(languageName, ' ');
            if (subId != 1 && codePage != 0) qualifier = codePage == 1251 ? "Cyrillic" : "Latin";
            break;
        case 44:
        case 67:
            name = FirstToken(languageName, ' ');
            if (codePage != 0) qualifier = codePage == 1251 ? "Cyrillic" : "Latin";
            break;
        default:
            break;
    }
    name = Translated(translate, dictionary, name);
    if (!qualifier.empty()) name += ", " + Translated(translate, dictionary, qualifier);
    if (subId == 0) return name;
    return name + " (" + Translated(translate, dictionary, country) + ")";
}

}  // namespace qx
