// Unit QxDictio, the localisation runtime's core: composition of language and locale ids,
// code pages and character sets, reading order, the euro rule, the key of a dictionary entry,
// and the system side of locales (fill from the system, default code pages, supported
// locales, display names of languages and locales).
//
// Raises: rtl::EConvertError when the system answers a numeric locale item with a text that
// is not a number; nothing else of its own.
// Ownership: lists of languages and locales own their objects (TQxLanguageList,
// TQxLocaleList); the routines only fill what the caller gives them.
// Process-wide state: EuroMode; everything runs on the GUI thread without locks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "qx/QxLanguage.h"
#include "rtl/exceptions.h"

namespace qx {

// The localisation runtime's own failures (selection, support, missing translations, stored
// data it cannot take); bad indexes raise range errors instead.
RTL_DECLARE_EXCEPTION(EQxMulti, rtl::Exception);

// ---- Ids ---------------------------------------------------------------------------------

// primary or (sub shifted left by 10); the inputs are not masked.
inline uint32_t MakeLanguageId(uint32_t primary, uint32_t sub) { return primary | (sub << 10); }
// language id or (sort id shifted left by 16); the inputs are not masked.
inline uint32_t MakeLocaleId(uint32_t languageId, uint32_t sortId) {
    return languageId | (sortId << 16);
}

// ---- Code pages and character sets -------------------------------------------------------

// One entry of the character-set table, indexed by the code-page bit of a font signature.
struct TQxCharsetInfo {
    uint8_t Charset;
    int32_t CodePage;
};
constexpr int QxCharsetTableSize = 32;
extern const TQxCharsetInfo QxCharsetTable[QxCharsetTableSize];

// The character set of the first table entry with that code page; 1 when none has it
// (code page 0 gives 0).
uint8_t CodePageToCharset(int32_t codePage);
// The table entry of the lowest default code-page bit of the locale's font signature; entry 0
// when the system gives none.
TQxCharsetInfo GetLanguageCharsetInfo(uint32_t languageId);
uint8_t GetLanguageCharset(uint32_t languageId);

// ---- Reading order -----------------------------------------------------------------------

// By primary id: 1, 13, 41 give 2 (right to left); 4, 17, 18 give 1 (Far-East); else 0.
uint8_t GetReadingOrderClass(uint32_t languageId);
inline bool IsRightToLeftLanguage(uint32_t languageId) {
    return GetReadingOrderClass(languageId) == 2;
}

// ---- The euro rule -----------------------------------------------------------------------

enum TQxEuro : uint8_t { qxeNormal, qxeBusiness, qxeIgnore };
// Process-wide euro rule; qxeNormal at start, overwritten by every dictionary's Euro setter.
extern TQxEuro EuroMode;

// True for the locales of the euro zone (by primary and sub-language id).
bool IsEuroLocale(uint32_t localeId);
// The euro phase of today's date: 1 before 1999-01-01, 2 before 2002-01-01, 3 before
// 2002-07-01, else 4.
uint8_t GetEuroPeriod();
// The currency text for a euro state under a euro rule: the euro sign (code 128) or `own`.
std::string EuroCurrencyString(TQxEuro mode, uint8_t euroState, const std::string& own);

// ---- Dictionary entries ------------------------------------------------------------------

// One dictionary entry; found by the key of its native text and its two contexts.
class TQxTranslation {
public:
    virtual ~TQxTranslation();
    virtual const char* ClassName() const { return "TQxTranslation"; }

    // native, the character 127, contextA, contextB (no separator between the contexts).
    static std::string MakeKey(const std::string& native, const std::string& contextA,
                               const std::string& contextB);
    std::string GetKey() const { return MakeKey(Native, ContextA, ContextB); }

    uint8_t State = 0;
    std::string Native;
    std::string ContextA;
    std::string ContextB;
    std::string Translation;
};

// ---- Single-text translation (the dictionary component's) --------------------------------

// The registry's default dictionary, or nullptr when there is none.
TQxDictionary* GetDefaultDictionary();
// The text translated through `dictionary` by its missing-translation policy; the text itself
// without a dictionary or for an empty text.
std::string TranslateWith(TQxDictionary* dictionary, const std::string& text);

// ---- System locales ----------------------------------------------------------------------

// Fills `locale` from the system's data for `localeId` and completes it. False, with the
// locale untouched, when the system does not know the locale; False with only CodePage set
// (to 0) when the locale has no ANSI code page. A locale for which this answered False holds
// no system data and must not be used as a filled one.
bool FillLocaleFromSystem(uint32_t localeId, TQxLocale& locale);
// The ANSI code page of a language or locale id: the system's, else by the primary id.
int32_t DefaultCodePageOf(uint32_t id);
// 950 for Chinese sub-languages 1, 3 and 5, else 936.
int32_t ChineseCodePage(uint32_t id);
// Appends the id of every locale the system supports.
void EnumSystemLocaleIds(std::vector<uint32_t>& list);

// The dictionary side of the locale routines, given the dictionary's own data (the dictionary
// component passes what its GetLocales, GetLocaleCount/GetLocale and GetLanguages give).
// The first own locale whose LocaleId equals `localeId` exactly is copied into `locale`
// (True); otherwise FillLocaleFromSystem.
bool FindLocaleIn(const TQxLocaleList& dictionaryLocales, uint32_t localeId, TQxLocale& locale);
// EnumSystemLocaleIds, then each own locale's id that the list does not hold yet, in index
// order; `getLocale` fills the locale at an index.
void GetAvailableLocalesWith(std::vector<uint32_t>& list, int32_t localeCount,
                             const std::function<void(int32_t, TQxLocale&)>& getLocale);
bool IsLocaleAvailableWith(uint32_t localeId, int32_t localeCount,
                           const std::function<void(int32_t, TQxLocale&)>& getLocale);
// A name with the primary id attached, as string lists carry them.
struct TQxNamedId {
    std::string Name;
    int32_t Id;
};
// Appends, for each primary id in the order of its first language, that language's native
// or English name with the primary id.
void EnumPrimaryLanguagesOf(const TQxLanguageList& languages, std::vector<TQxNamedId>& strings,
                            bool nativeNames);

// The name a language is shown under: the base name, for some primary ids cut to its first
// word and qualified by the script of the code page ("Name, Qualifier"). With `translate`,
// name and qualifier are translated through `dictionary` (or the default dictionary).
std::string GetLanguageDisplayName(const std::string& baseName, int32_t primaryId,
                                   TQxDictionary* dictionary, bool translate, int32_t codePage);
// The name a locale is shown under: the language name as above, then " (country)" unless
// subId is 0.
std::string GetLocaleDisplayName(const std::string& languageName, const std::string& countryName,
                                 TQxDictionary* dictionary, bool translate, int32_t codePage,
                                 int32_t subId, int32_t primaryId);

}  // namespace qx
