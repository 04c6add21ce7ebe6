// The GLD dictionary writer: a dictionary held as plain records written as a GLD stream in
// any version, byte order and string width that the reader accepts (layout in
// qx/QxGLDFormat.h). Used by the build tool gldc and by the tests as their fixture writer.
//
// Texts are 8-bit, each in the code page of its field: "system" fields in SystemCodePage, a
// language's native name and translation texts in the language's code page, a locale's
// native fields in the locale's code page. For UTF-16 output they are widened through those
// code pages (1251 and 1252 by table, any other byte for byte).
// Raises: rtl::Exception when a text or a list is too long for its 16-bit count or a section
// lies beyond 4 GiB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qx/QxLanguage.h"

namespace gldwriter {

struct Language {
    uint16_t PrimaryId = 0;
    std::string LanguageCode;      // two characters (version 2 on)
    uint16_t DefaultSubId = 0;
    std::string CountryCode;       // two characters (version 2 on)
    std::string SubLanguages;      // comma-separated ids, written as given
    std::string SubLanguageTexts;  // version 2 on
    uint16_t Charset = 0;          // version 3 on
    uint16_t CodePage = 0;
    uint8_t Flags = 0;
    std::string EnglishName;
    std::string NativeName;
    std::string FontName;
    uint8_t FontSize = 0;
    std::string Extra;             // bytes after the known fields of a version-3 record
};

struct Translation {
    std::string Native;
    std::string ContextA;
    std::string ContextB;
    std::vector<std::string> Texts;  // languages 1 .. count-1; missing ones are empty
};

struct Locale : qx::TQxLocale {
    std::string Extra;  // bytes after the known fields of a version-3 record
};

struct Dictionary {
    uint8_t Version = 3;
    bool LittleEndian = true;
    bool AnsiStrings = true;
    uint8_t ContextType = 0;
    int32_t SystemCodePage = 1252;
    std::vector<Language> Languages;
    std::vector<Translation> Translations;
    std::vector<Locale> Locales;
};

// The GLD stream of the dictionary: header, languages, translations, locales.
std::string Write(const Dictionary& dictionary);

}  // namespace gldwriter
