#include "qx/QxDictio.h"

#include "qx/QxSystem.h"

namespace qx {

// Index = code-page bit of a font signature (LOCALESIGNATURE.lsCsbDefault[0]).
const TQxCharsetInfo QxCharsetTable[QxCharsetTableSize] = {
    {0, 1252},   {238, 1250}, {204, 1251}, {161, 1253}, {162, 1254}, {177, 1255},
    {178, 1256}, {186, 1257}, {0, 0},      {0, 0},      {0, 0},      {0, 0},
    {0, 0},      {0, 0},      {0, 0},      {0, 0},      {222, 874},  {128, 932},
    {134, 936},  {129, 949},  {136, 950},  {130, 1361}, {163, 1258}, {0, 0},
    {0, 0},      {0, 0},      {0, 0},      {0, 0},      {0, 0},      {0, 0},
    {0, 0},      {0, 0},
};

uint8_t CodePageToCharset(int32_t codePage) {
    for (const TQxCharsetInfo& entry : QxCharsetTable)
        if (entry.CodePage == codePage) return entry.Charset;
    return 1;
}

// The signature is LOCALESIGNATURE: lsUsb (16 bytes), then lsCsbDefault[0] at byte 16.
TQxCharsetInfo GetLanguageCharsetInfo(uint32_t languageId) {
    constexpr size_t kDefaultCodePageBits = 16;
    std::string signature;
    if (!LocaleSystem().QueryLocaleInfo(MakeLocaleId(languageId, 0), lc::FONTSIGNATURE,
                                      signature) ||
        signature.size() < kDefaultCodePageBits + 4)
        return QxCharsetTable[0];
    uint32_t bits = 0;
    for (size_t i = 0; i < 4; ++i)
        bits |= static_cast<uint32_t>(static_cast<unsigned char>(signature[kDefaultCodePageBits + i]))
                << (8 * i);
    for (int bit = 0; bit < QxCharsetTableSize; ++bit)
        if (bits & (1u << bit)) return QxCharsetTable[bit];
    return QxCharsetTable[0];
}

uint8_t GetLanguageCharset(uint32_t languageId) {
    return GetLanguageCharsetInfo(languageId).Charset;
}

uint8_t GetReadingOrderClass(uint32_t languageId) {
    switch (GetPrimaryLangId(languageId)) {
        case 1:   // Arabic
        case 13:  // Hebrew
        case 41:  // Farsi
            return 2;
        case 4:   // Chinese
        case 17:  // Japanese
        case 18:  // Korean
            return 1;
        default:
            return 0;
    }
}

TQxEuro EuroMode = qxeNormal;

bool IsEuroLocale(uint32_t localeId) {
    const uint32_t sub = GetSubLangId(localeId);
    switch (GetPrimaryLangId(localeId)) {
        case 7: return sub == 1 || sub == 3 || sub == 4;   // German: Germany, Austria, Luxembourg
        case 9: return sub == 6;                           // English: Ireland
        case 10: return sub == 1;                          // Spanish
        case 11: return sub == 1;                          // Finnish
        case 12: return sub == 1 || sub == 2 || sub == 5;  // French: France, Belgium, Luxembourg
        case 16: return sub == 1;                          // Italian
        case 19: return sub == 1 || sub == 2;              // Dutch: Netherlands, Belgium
        case 22: return sub == 2;                          // Portuguese: Portugal
        case 29: return sub == 2;                          // Swedish: Finland
        default: return false;
    }
}

uint8_t GetEuroPeriod() {
    const TQxDate today = LocaleSystem().Today();
    const long day = today.Year * 10000L + today.Month * 100L + today.Day;
    if (day < 19990101L) return 1;
    if (day < 20020101L) return 2;
    if (day < 20020701L) return 3;
    return 4;
}

std::string EuroCurrencyString(TQxEuro mode, uint8_t euroState, const std::string& own) {
    const std::string euroSign(1, static_cast<char>(0x80));  // the euro of code page 1252
    if (mode == qxeIgnore) return own;
    switch (euroState) {
        case 3:
        case 4: return euroSign;
        case 2: return mode == qxeBusiness ? euroSign : own;
        default: return own;
    }
}

TQxTranslation::~TQxTranslation() = default;

std::string TQxTranslation::MakeKey(const std::string& native, const std::string& contextA,
                                    const std::string& contextB) {
    std::string key;
    key.reserve(native.size() + 1 + contextA.size() + contextB.size());
    key += native;
    key += static_cast<char>(127);
    key += contextA;
    key += contextB;
    return key;
}

}  // namespace qx
