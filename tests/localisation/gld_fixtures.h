// Fixtures of the GLD reader's tests: hex text to bytes, a reader over bytes in memory, and
// the twin dictionary that the writer produces in every version, byte order and width.
#pragma once

#include <cctype>
#include <memory>
#include <string>

#include "gldwriter.h"
#include "qx/QxGLD.h"

namespace gldtest {

// "47 4C 44 ..." (blanks and line breaks ignored) to bytes.
inline std::string Hex(const std::string& text) {
    std::string out, digits;
    for (char c : text)
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out += char(std::stoi(digits.substr(i, 2), nullptr, 16));
    return out;
}

// A reader over the bytes, its header read.
inline std::unique_ptr<qx::TQxGLDFile> Open(const std::string& bytes) {
    auto r = std::make_unique<qx::TQxGLDFile>();
    r->SetStream(std::make_unique<kxc::TMemoryStream>(bytes));
    r->Open();
    return r;
}

// Russian in code page 1251.
const std::string kRussian = "\xD0\xF3\xF1\xF1\xEA\xE8\xE9";  // Русский
const std::string kCancelRu = "\xCE\xF2\xEC\xE5\xED\xE0";      // Отмена
const std::string kJanuaryRu = "\xDF\xED\xE2\xE0\xF0\xFC";     // Январь

// Three languages (native, German, Russian), both contexts, three translations, one locale.
inline gldwriter::Dictionary Twin(uint8_t version, bool little, bool ansi) {
    gldwriter::Dictionary d;
    d.Version = version;
    d.LittleEndian = little;
    d.AnsiStrings = ansi;
    d.ContextType = 1;
    gldwriter::Language native;
    native.CodePage = 1252;
    native.EnglishName = "ignored";
    gldwriter::Language de;
    de.PrimaryId = 7;
    de.LanguageCode = "de";
    de.DefaultSubId = 1;
    de.CountryCode = "DE";
    de.SubLanguages = "1,3";
    de.SubLanguageTexts = "x,y";
    de.Charset = 0x55;
    de.CodePage = 1252;
    de.Flags = 0xFD;
    de.EnglishName = "German";
    de.NativeName = "Deutsch";
    de.FontName = "Arial";
    de.FontSize = 9;
    de.Extra = std::string("\x01\x02\x03", 3);
    gldwriter::Language ru;
    ru.PrimaryId = 25;
    ru.LanguageCode = "ru";
    ru.DefaultSubId = 1;
    ru.CountryCode = "RU";
    ru.SubLanguages = "1";
    ru.CodePage = 1251;
    ru.Flags = 2;
    ru.EnglishName = "Russian";
    ru.NativeName = kRussian;
    d.Languages = {native, de, ru};
    d.Translations = {{"Cancel", "A", "B", {"Abbrechen", kCancelRu}},
                      {"Next", "", "", {"Weiter", ""}},
                      {"Back", "", "", {"", ""}}};
    gldwriter::Locale c;
    c.PrimaryId = 25;
    c.SubId = 1;
    c.LanguageCode = "ru";
    c.CountryCode = "RU";
    c.CodePage = 1251;
    c.Charset = 204;
    c.LocaleFlag = true;
    c.EnglishLanguageName = "Russian";
    c.EnglishCountryName = "Russia";
    c.NativeLanguageName = kRussian;
    c.NativeCountryName = "\xD0\xEE\xF1\xF1\xE8\xFF";  // Россия
    c.AbbrevLanguageName = "RUS";
    c.CountryName = "Russia";
    c.Measure = 0;
    c.CurrencyString = "\xF0.";  // р.
    c.CurrencyFormat = 1;
    c.NegCurrFormat = 5;
    c.CurrencyDecimals = 2;
    c.ThousandSeparator = '\xA0';
    c.DecimalSeparator = ',';
    c.DateSeparator = '.';
    c.ShortDateFormat = "dd.MM.yyyy";
    c.LongDateFormat = "d MMMM yyyy '\xE3.'";
    c.TimeSeparator = ':';
    c.TimeAMString = "";
    c.TimePMString = "PM";
    c.TimeLeadingZero = true;
    c.TimeFormat = 1;
    c.TimeMarkerPosition = 0;
    c.CalendarType = 1;
    c.OptionalCalendar = 0;
    c.FirstDayOfWeek = 0;
    c.FirstWeekOfYear = 2;
    for (int i = 0; i < 12; ++i) {
        c.ShortMonthNames[size_t(i)] = "m" + std::to_string(i + 1);
        c.LongMonthNames[size_t(i)] = i == 0 ? kJanuaryRu : "M" + std::to_string(i + 1);
    }
    for (int i = 0; i < 7; ++i) {
        c.ShortDayNames[size_t(i)] = "d" + std::to_string(i + 1);
        c.LongDayNames[size_t(i)] = "D" + std::to_string(i + 1);
    }
    c.Extra = "zz";
    d.Locales = {c};
    return d;
}

}  // namespace gldtest
