// Languages and locales of the localisation runtime: TQxLanguage (one language of a
// dictionary: ids, sub-languages, code page, character set, names, font) and TQxLocale (one
// locale's formatting data), with the extraction of primary and sub-language ids.
//
// Language id: primary id in bits 0-9, sub-language id in bits 10-15; locale id: language id
// plus sort id from bit 16. Primary id 0 is the dictionary's native language.
// Raises: rtl::EConvertError from SetSubLanguageText for a token that is not an integer;
// rtl::EListError from GetSubLanguageId for an index outside the list. What the system does
// not know leaves a field empty; a code page that cannot be found becomes 1252.
// Ownership: both are plain values; Clone hands a new object to the caller.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qx {

class TQxDictionary;

// Primary language id of a language or locale id (bits 0-9).
inline uint32_t GetPrimaryLangId(uint32_t id) { return id & 0x3FF; }
// Sub-language id of a language or locale id (bits 10-15; the sort bits are ignored).
inline uint32_t GetSubLangId(uint32_t id) { return (id >> 10) & 0x3F; }

class TQxLanguage {
public:
    TQxLanguage();
    TQxLanguage(int32_t primaryId, int32_t defaultSubId, int32_t codePage,
                const std::string& subLanguageText, const std::string& englishName,
                const std::string& nativeName, const std::string& fontName, int32_t fontSize,
                uint8_t flags);
    virtual ~TQxLanguage();
    virtual const char* ClassName() const { return "TQxLanguage"; }

    // CodePage := codePage and Charset := its character set.
    void SetCodePage(int32_t codePage);
    // Flags := bits 0 and 1 of the byte.
    void SetFlags(uint8_t flags);

    int32_t SubLanguageCount() const { return static_cast<int32_t>(SubLanguages.size()); }
    // The entry at a 0-based index as an integer; raises rtl::EListError outside the list.
    int32_t GetSubLanguageId(int32_t index) const;
    // Appends sub as decimal text unless it is listed.
    void AddSubLanguage(int32_t sub);
    void ClearSubLanguages() { SubLanguages.clear(); }
    void ClearSubLanguageTexts() { SubLanguageTexts.clear(); }
    // DefaultSubId when listed, else the first entry, 0 for an empty list.
    int32_t GetDefaultSubLanguage() const;
    // SubId := sub when sub >= 0 and listed (or the list is empty), else DefaultSubId.
    void SelectSubLanguage(int32_t sub);

    // The sub-language list joined with ",".
    std::string GetSubLanguageText() const;
    // Refills the sub-language list from a comma-separated text, keeping values of 1 or more;
    // raises rtl::EConvertError at the first token that is not an integer (what was appended
    // before it stays).
    void SetSubLanguageText(const std::string& text);
    // Refills SubLanguageTexts with the tokens of a comma-separated text, unchanged.
    void SetSubLanguageTexts(const std::string& text);

    uint32_t DefaultLocaleId() const;   // PrimaryId with DefaultSubId
    uint32_t SelectedLocaleId() const;  // PrimaryId with SubId
    uint32_t SystemLocaleId() const;    // the id the system is asked about; 0 when native
    // 2 right to left, 1 Far-East script, 0 any other.
    uint8_t GetReadingOrder() const;

    // sub 0 empties both sub-language lists; any other sub becomes DefaultSubId and is
    // listed. Nothing happens for the native language or for the current default.
    virtual void SetSubLanguage(int32_t sub);
    virtual void Assign(const TQxLanguage& source);
    virtual std::unique_ptr<TQxLanguage> Clone() const;
    // Fills what is empty from the system; resets the native language. Repeatable.
    virtual void Complete();
    // Same primary id and, unless native, same code page.
    virtual bool SameLanguage(const TQxLanguage& other) const;
    // Kind 0 English name, 1 native name, 2 English name translated through `dictionary`
    // (or the default dictionary); any other kind leaves `result` as it was.
    virtual void GetName(uint8_t kind, TQxDictionary* dictionary, std::string& result) const;

    int32_t CodePage = 0;
    int32_t PrimaryId = 0;
    int32_t SubId = 0;
    int32_t DefaultSubId = 0;
    std::vector<std::string> SubLanguages;      // decimal texts, dictionary order
    std::string LanguageCode;                   // ISO 639
    std::string CountryCode;                    // ISO 3166
    std::vector<std::string> SubLanguageTexts;  // kept and copied, not interpreted
    std::string EnglishName;
    std::string NativeName;
    std::string FontName;
    int32_t FontSize = 0;
    uint8_t Flags = 0;    // bit 0 stored only; bit 1: code-page independent
    uint8_t Charset = 0;  // Windows font character set
};

// The number, currency, date and time settings: as a locale holds them, and as the
// process-wide format settings publish them (QxLocaleVars.h), one set of fields for both.
struct TQxFormatFields {
    std::string CurrencyString;
    uint8_t CurrencyFormat = 0;
    uint8_t NegCurrFormat = 0;
    uint8_t CurrencyDecimals = 0;
    char ThousandSeparator = 0;
    char DecimalSeparator = 0;
    char DateSeparator = 0;
    std::string ShortDateFormat;
    std::string LongDateFormat;
    char TimeSeparator = 0;
    std::string TimeAMString;
    std::string TimePMString;
    std::array<std::string, 12> ShortMonthNames;  // January first
    std::array<std::string, 12> LongMonthNames;
};

class TQxLocale : public TQxFormatFields {
public:
    TQxLocale();
    virtual ~TQxLocale();
    virtual const char* ClassName() const { return "TQxLocale"; }

    uint32_t LocaleId() const;  // PrimaryId with SubId, sort id 0
    // 0 outside the euro zone, else the euro phase of today's date (1 to 4).
    uint8_t GetEuroState() const;
    // The currency text to publish under the process-wide EuroMode.
    std::string GetCurrencyString() const;

    // Copies every field but Charset.
    virtual void Assign(const TQxLocale& source);
    virtual std::unique_ptr<TQxLocale> Clone() const;
    // Fills the names and the code page from the system when empty, then the character set.
    virtual void Complete();
    // Kind 0 English names, 1 native names, 2 English names translated; any other kind
    // leaves `result` as it was.
    virtual void GetName(uint8_t kind, TQxDictionary* dictionary, std::string& result) const;

    int32_t PrimaryId = 0;
    int32_t SubId = 0;
    std::string LanguageCode;
    std::string CountryCode;
    int32_t CodePage = 0;
    bool LocaleFlag = false;
    uint8_t Charset = 0;
    std::string EnglishLanguageName;
    std::string EnglishCountryName;
    std::string NativeLanguageName;
    std::string NativeCountryName;
    std::string AbbrevLanguageName;
    std::string CountryName;
    // The number, currency, date and time fields come from TQxFormatFields.
    bool TimeLeadingZero = false;
    uint8_t TimeFormat = 0;          // 0 12-hour, 1 24-hour
    uint8_t TimeMarkerPosition = 0;  // 0 after the time, 1 before
    uint8_t Measure = 0;             // 0 metric, 1 U.S.
    uint8_t CalendarType = 0;
    uint8_t OptionalCalendar = 0;
    uint8_t FirstDayOfWeek = 0;      // 0 Monday ... 6 Sunday
    uint8_t FirstWeekOfYear = 0;
    std::array<std::string, 7> ShortDayNames;     // Monday first
    std::array<std::string, 7> LongDayNames;
};

// Lists of languages and locales that own their objects.
using TQxLanguageList = std::vector<std::unique_ptr<TQxLanguage>>;
using TQxLocaleList = std::vector<std::unique_ptr<TQxLocale>>;

}  // namespace qx
