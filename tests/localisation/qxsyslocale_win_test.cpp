// The locale routines on the real Win32 locale services (run under Wine with LC_ALL=C, which
// gives en-US and code page 1252). Every expected value is read from the system directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "qx/QxDictio.h"
#include "qx/QxSystem.h"

using qx::TQxLocale;

namespace {

std::string Direct(LCID id, LCTYPE item) {
    char buffer[512] = {};
    if (GetLocaleInfoA(id, item, buffer, sizeof buffer) == 0) return "<failed>";
    return buffer;
}

int DirectNumber(LCID id, LCTYPE item) {
    return std::stoi(Direct(id, item));
}

char DirectFirst(LCID id, LCTYPE item) {
    std::string text = Direct(id, item);
    return text.empty() ? '\0' : text[0];
}

}  // namespace

TEST(QxWin32Locale, ServicesAnswerAsTheSystem) {
    qx::TQxLocaleSystem& system = qx::LocaleSystem();
    EXPECT_EQ(&system, &qx::PlatformLocaleSystem());
    EXPECT_EQ(system.AnsiCodePage(), GetACP());
    EXPECT_EQ(system.AnsiCodePage(), 1252u);
    EXPECT_EQ(system.UserDefaultLocaleId(), GetUserDefaultLCID());
    EXPECT_EQ(system.UserDefaultLocaleId(), 0x0409u);
    EXPECT_EQ(system.SystemDefaultLocaleId(), GetSystemDefaultLCID());
    EXPECT_EQ(system.IsDBCSEnabled(), GetSystemMetrics(SM_DBCSENABLED) != 0);

    const uint32_t before = system.ThreadLocale();
    EXPECT_EQ(before, GetThreadLocale());
    EXPECT_TRUE(system.SetThreadLocale(0x0407));
    EXPECT_EQ(GetThreadLocale(), 0x0407u);
    EXPECT_TRUE(system.SetThreadLocale(before));

    SYSTEMTIME now;
    GetLocalTime(&now);
    qx::TQxDate today = system.Today();
    EXPECT_EQ(today.Year, now.wYear);
    EXPECT_EQ(today.Month, now.wMonth);

    std::string value;
    EXPECT_TRUE(system.QueryLocaleInfo(0x0409, qx::lc::SENGLANGUAGE, value));
    EXPECT_EQ(value, Direct(0x0409, LOCALE_SENGLANGUAGE));
    EXPECT_FALSE(system.QueryLocaleInfo(0x1234, qx::lc::SENGLANGUAGE, value));
}

TEST(QxWin32Locale, EnumerationsAndTheirFailures) {
    std::vector<uint32_t> ids;
    qx::EnumSystemLocaleIds(ids);
    EXPECT_NE(std::find(ids.begin(), ids.end(), 0x0409u), ids.end());
    EXPECT_GT(ids.size(), 10u);

    bool has1252 = false;
    qx::LocaleSystem().EnumSupportedCodePages([&has1252](const std::string& text) {
        has1252 = has1252 || text == "1252";
        return true;
    });
    EXPECT_TRUE(has1252);

    // A callback that fails stops the enumeration; the failure reaches the caller.
    int calls = 0;
    EXPECT_THROW(qx::LocaleSystem().EnumSupportedLocales([&calls](const std::string&) -> bool {
        ++calls;
        throw std::runtime_error("stop");
    }),
                 std::runtime_error);
    EXPECT_EQ(calls, 1);
    // Stopping on request.
    calls = 0;
    qx::LocaleSystem().EnumSupportedLocales([&calls](const std::string&) {
        ++calls;
        return calls < 3;
    });
    EXPECT_EQ(calls, 3);
    // Nothing is left behind: a later enumeration delivers everything again.
    std::vector<uint32_t> again;
    qx::EnumSystemLocaleIds(again);
    EXPECT_EQ(again, ids);
}

TEST(QxWin32Locale, FillsEnglishUnitedStatesAsTheSystemHasIt) {
    const LCID id = 0x0409;
    TQxLocale l;
    ASSERT_TRUE(qx::FillLocaleFromSystem(id, l));
    EXPECT_EQ(l.PrimaryId, 9);
    EXPECT_EQ(l.SubId, 1);
    EXPECT_EQ(l.CodePage, DirectNumber(id, LOCALE_IDEFAULTANSICODEPAGE));
    EXPECT_EQ(l.CodePage, 1252);
    EXPECT_FALSE(l.LocaleFlag);
    EXPECT_EQ(l.EnglishLanguageName, Direct(id, LOCALE_SENGLANGUAGE));
    EXPECT_EQ(l.EnglishCountryName, Direct(id, LOCALE_SENGCOUNTRY));
    EXPECT_EQ(l.NativeLanguageName, Direct(id, LOCALE_SNATIVELANGNAME));
    EXPECT_EQ(l.NativeCountryName, Direct(id, LOCALE_SNATIVECTRYNAME));
    EXPECT_EQ(l.AbbrevLanguageName, Direct(id, LOCALE_SABBREVLANGNAME));
    EXPECT_EQ(l.CountryName, Direct(id, LOCALE_SCOUNTRY));
    EXPECT_EQ(l.Measure, DirectNumber(id, LOCALE_IMEASURE));
    EXPECT_EQ(l.CurrencyString, Direct(id, LOCALE_SCURRENCY));
    EXPECT_EQ(l.CurrencyFormat, DirectNumber(id, LOCALE_ICURRENCY));
    EXPECT_EQ(l.NegCurrFormat, DirectNumber(id, LOCALE_INEGCURR));
    EXPECT_EQ(l.CurrencyDecimals, DirectNumber(id, LOCALE_ICURRDIGITS));
    EXPECT_EQ(l.ThousandSeparator, DirectFirst(id, LOCALE_STHOUSAND));
    EXPECT_EQ(l.DecimalSeparator, DirectFirst(id, LOCALE_SDECIMAL));
    EXPECT_EQ(l.DateSeparator, DirectFirst(id, LOCALE_SDATE));
    EXPECT_EQ(l.ShortDateFormat, Direct(id, LOCALE_SSHORTDATE));
    EXPECT_EQ(l.LongDateFormat, Direct(id, LOCALE_SLONGDATE));
    EXPECT_EQ(l.TimeSeparator, DirectFirst(id, LOCALE_STIME));
    EXPECT_EQ(l.TimeAMString, Direct(id, LOCALE_S1159));
    EXPECT_EQ(l.TimePMString, Direct(id, LOCALE_S2359));
    EXPECT_EQ(l.TimeLeadingZero, Direct(id, LOCALE_ITLZERO) != "0");
    EXPECT_EQ(l.TimeFormat, DirectNumber(id, LOCALE_ITIME));
    EXPECT_EQ(l.TimeMarkerPosition, DirectNumber(id, LOCALE_ITIMEMARKPOSN));
    EXPECT_EQ(l.CalendarType, DirectNumber(id, LOCALE_ICALENDARTYPE));
    EXPECT_EQ(l.OptionalCalendar, DirectNumber(id, LOCALE_IOPTIONALCALENDAR));
    EXPECT_EQ(l.FirstDayOfWeek, DirectNumber(id, LOCALE_IFIRSTDAYOFWEEK));
    EXPECT_EQ(l.FirstWeekOfYear, DirectNumber(id, LOCALE_IFIRSTWEEKOFYEAR));
    for (int d = 0; d < 7; ++d) {
        EXPECT_EQ(l.ShortDayNames[d], Direct(id, LOCALE_SABBREVDAYNAME1 + d)) << d;
        EXPECT_EQ(l.LongDayNames[d], Direct(id, LOCALE_SDAYNAME1 + d)) << d;
    }
    for (int m = 0; m < 12; ++m) {
        EXPECT_EQ(l.ShortMonthNames[m], Direct(id, LOCALE_SABBREVMONTHNAME1 + m)) << m;
        EXPECT_EQ(l.LongMonthNames[m], Direct(id, LOCALE_SMONTHNAME1 + m)) << m;
    }
    EXPECT_EQ(l.Charset, qx::GetLanguageCharset(id));
}

TEST(QxWin32Locale, LocalesTheSystemCannotFill) {
    TQxLocale hindi;
    EXPECT_FALSE(qx::FillLocaleFromSystem(0x0439, hindi));  // no ANSI code page
    EXPECT_EQ(hindi.CodePage, 0);
    EXPECT_TRUE(hindi.EnglishLanguageName.empty());

    TQxLocale unknown;
    unknown.PrimaryId = 3;
    unknown.CurrencyString = "kept";
    unknown.CodePage = 77;
    EXPECT_FALSE(qx::FillLocaleFromSystem(0x1234, unknown));
    EXPECT_EQ(unknown.PrimaryId, 3);
    EXPECT_EQ(unknown.CurrencyString, "kept");
    EXPECT_EQ(unknown.CodePage, 77);
}

TEST(QxWin32Locale, CodePagesAndCharsetsFromTheSystem) {
    EXPECT_EQ(qx::DefaultCodePageOf(0x0409), DirectNumber(0x0409, LOCALE_IDEFAULTANSICODEPAGE));
    EXPECT_EQ(qx::DefaultCodePageOf(0x0439), 1252);  // no system answer: the table
    EXPECT_EQ(qx::DefaultCodePageOf(0x0419), DirectNumber(0x0419, LOCALE_IDEFAULTANSICODEPAGE));

    // The character set from the font signature as the wide call reports it.
    for (LCID id : {0x0409u, 0x0419u, 0x0411u, 0x0405u}) {
        LOCALESIGNATURE signature = {};
        uint32_t bits = 0;
        if (GetLocaleInfoW(id, LOCALE_FONTSIGNATURE, reinterpret_cast<LPWSTR>(&signature),
                           sizeof signature / sizeof(WCHAR)))
            bits = signature.lsCsbDefault[0];
        int bit = 0;
        while (bit < 32 && !(bits & (1u << bit))) ++bit;
        const qx::TQxCharsetInfo expected = bit < 32 ? qx::QxCharsetTable[bit] : qx::QxCharsetTable[0];
        const qx::TQxCharsetInfo got = qx::GetLanguageCharsetInfo(id);
        EXPECT_EQ(got.Charset, expected.Charset) << std::hex << id;
        EXPECT_EQ(got.CodePage, expected.CodePage) << std::hex << id;
    }
    EXPECT_EQ(qx::GetLanguageCharset(0x0409), 0);
}

TEST(QxWin32Locale, LanguageCompletesFromTheSystem) {
    qx::TQxLanguage english(9, 1, 0, "", "", "", "", 0, 0);
    english.Complete();
    EXPECT_EQ(english.EnglishName, Direct(0x0409, LOCALE_SENGLANGUAGE));
    EXPECT_EQ(english.NativeName, Direct(0x0409, LOCALE_SNATIVELANGNAME));
    EXPECT_EQ(english.LanguageCode, Direct(0x0409, LOCALE_SISO639LANGNAME));
    EXPECT_EQ(english.CountryCode, Direct(0x0409, LOCALE_SISO3166CTRYNAME));
    EXPECT_EQ(english.CodePage, 1252);
    EXPECT_EQ(english.SubId, 1);
}
