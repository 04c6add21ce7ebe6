#include "qx/QxLanguage.h"

#include "qx/QxDictio.h"
#include "qx/QxParser.h"
#include "qx/QxSystem.h"
#include "rtl/exceptions.h"
#include "rtl/strutil.h"

namespace qx {

namespace {

// Entries are written as decimal texts only, so they always convert; a foreign entry counts
// as no value.
bool EntryValue(const std::string& entry, int32_t& value) {
    return TryStrToInt(entry, value);
}

bool IsListed(const std::vector<std::string>& list, int32_t sub) {
    for (const std::string& entry : list) {
        int32_t value;
        if (EntryValue(entry, value) && value == sub) return true;
    }
    return false;
}

}  // namespace

// ---- TQxLanguage -------------------------------------------------------------------------

TQxLanguage::TQxLanguage() : TQxLanguage(0, 0, 0, "", "", "", "", 0, 0) {}

TQxLanguage::TQxLanguage(int32_t primaryId, int32_t defaultSubId, int32_t codePage,
                         const std::string& subLanguageText, const std::string& englishName,
                         const std::string& nativeName, const std::string& fontName,
                         int32_t fontSize, uint8_t flags)
    : PrimaryId(primaryId),
      DefaultSubId(defaultSubId),
      EnglishName(englishName),
      NativeName(nativeName),
      FontName(fontName),
      FontSize(fontSize),
      Flags(flags) {
    SetCodePage(codePage);
    SetSubLanguageText(subLanguageText);
}

TQxLanguage::~TQxLanguage() = default;

void TQxLanguage::SetCodePage(int32_t codePage) {
    CodePage = codePage;
    Charset = CodePageToCharset(codePage);
}

void TQxLanguage::SetFlags(uint8_t flags) {
    Flags = flags & 3;
}

int32_t TQxLanguage::GetSubLanguageId(int32_t index) const {
    if (index < 0 || index >= SubLanguageCount())
        throw rtl::EListError(rtl::Format("List index out of bounds (%d)", index));
    int32_t value = 0;
    EntryValue(SubLanguages[static_cast<size_t>(index)], value);
    return value;
}

void TQxLanguage::AddSubLanguage(int32_t sub) {
    if (!IsListed(SubLanguages, sub)) SubLanguages.push_back(std::to_string(sub));
}

int32_t TQxLanguage::GetDefaultSubLanguage() const {
    if (IsListed(SubLanguages, DefaultSubId)) return DefaultSubId;
    if (SubLanguages.empty()) return 0;
    return GetSubLanguageId(0);
}

void TQxLanguage::SelectSubLanguage(int32_t sub) {
    if (sub == SubId) return;
    if (sub >= 0 && (SubLanguages.empty() || IsListed(SubLanguages, sub)))
        SubId = sub;
    else
        SubId = DefaultSubId;
}

std::string TQxLanguage::GetSubLanguageText() const {
    std::string text;
    for (size_t i = 0; i < SubLanguages.size(); ++i) {
        if (i) text += ',';
        text += SubLanguages[i];
    }
    return text;
}

void TQxLanguage::SetSubLanguageText(const std::string& text) {
    SubLanguages.clear();
    TQxStringParser parser(text, ',');
    while (!parser.EndOfText()) {
        int32_t value = parser.NextInteger();
        if (value >= 1) SubLanguages.push_back(std::to_string(value));
    }
}

void TQxLanguage::SetSubLanguageTexts(const std::string& text) {
    SubLanguageTexts.clear();
    TQxStringParser parser(text, ',');
    while (!parser.EndOfText()) SubLanguageTexts.push_back(parser.NextToken());
}

uint32_t TQxLanguage::DefaultLocaleId() const {
    return MakeLocaleId(MakeLanguageId(static_cast<uint32_t>(PrimaryId),
                                       static_cast<uint32_t>(DefaultSubId)),
                        0);
}

uint32_t TQxLanguage::SelectedLocaleId() const {
    return MakeLocaleId(
        MakeLanguageId(static_cast<uint32_t>(PrimaryId), static_cast<uint32_t>(SubId)), 0);
}

uint32_t TQxLanguage::SystemLocaleId() const {
    if (PrimaryId == 0) return 0;
    int32_t sub = SubLanguages.empty() ? DefaultSubId : GetSubLanguageId(0);
    return MakeLocaleId(
        MakeLanguageId(static_cast<uint32_t>(PrimaryId), static_cast<uint32_t>(sub)), 0);
}

uint8_t TQxLanguage::GetReadingOrder() const {
    return GetReadingOrderClass(SystemLocaleId());
}

void TQxLanguage::SetSubLanguage(int32_t sub) {
    if (PrimaryId == 0 || sub == GetDefaultSubLanguage()) return;
    if (sub == 0) {
        SubLanguages.clear();
        SubLanguageTexts.clear();
        return;
    }
    DefaultSubId = sub;
    AddSubLanguage(sub);
}

void TQxLanguage::Assign(const TQxLanguage& source) {
    if (&source == this) return;
    CodePage = source.CodePage;
    PrimaryId = source.PrimaryId;
    SubId = source.SubId;
    DefaultSubId = source.DefaultSubId;
    SubLanguages = source.SubLanguages;
    LanguageCode = source.LanguageCode;
    CountryCode = source.CountryCode;
    SubLanguageTexts = source.SubLanguageTexts;
    EnglishName = source.EnglishName;
    NativeName = source.NativeName;
    FontName = source.FontName;
    FontSize = source.FontSize;
    Flags = source.Flags;
    Charset = source.Charset;
}

std::unique_ptr<TQxLanguage> TQxLanguage::Clone() const {
    auto copy = std::make_unique<TQxLanguage>();
    copy->Assign(*this);
    return copy;
}

// The English name is passed through the display-name rule with the code page as it stands
// at that moment: a language whose code page is still 0 gets no script qualifier.
void TQxLanguage::Complete() {
    if (PrimaryId < 0) PrimaryId = 0;
    if (PrimaryId == 0) {
        DefaultSubId = 0;
        SubLanguages.clear();
        Flags = 2;
        EnglishName = "Native";
        NativeName = "Native";
    } else {
        if (DefaultSubId < 1) DefaultSubId = SubLanguages.empty() ? 1 : GetSubLanguageId(0);
        const uint32_t id = SystemLocaleId();
        if (LanguageCode.empty()) LanguageCode = GetLocaleStr(id, lc::SISO639LANGNAME, "");
        if (CountryCode.empty()) CountryCode = GetLocaleStr(id, lc::SISO3166CTRYNAME, "");
        if (EnglishName.empty())
            EnglishName = GetLanguageDisplayName(GetLocaleStr(id, lc::SENGLANGUAGE, ""),
                                                 PrimaryId, nullptr, false, CodePage);
        if (NativeName.empty()) NativeName = GetLocaleStr(id, lc::SNATIVELANGNAME, "");
        if (CodePage == 0) {
            CodePage = DefaultCodePageOf(id);
            if (CodePage == 0) CodePage = 1252;
        }
    }
    if (SubId == 0) SubId = DefaultSubId;
    if (Charset == 0) Charset = CodePageToCharset(CodePage);
}

bool TQxLanguage::SameLanguage(const TQxLanguage& other) const {
    if (PrimaryId != other.PrimaryId) return false;
    return PrimaryId == 0 || CodePage == other.CodePage;
}

void TQxLanguage::GetName(uint8_t kind, TQxDictionary* dictionary, std::string& result) const {
    switch (kind) {
        case 0:
            result = GetLanguageDisplayName(EnglishName, PrimaryId, dictionary, false, CodePage);
            break;
        case 1:
            result = GetLanguageDisplayName(NativeName, PrimaryId, dictionary, false, CodePage);
            break;
        case 2:
            result = GetLanguageDisplayName(EnglishName, PrimaryId, dictionary, true, CodePage);
            break;
        default:
            break;
    }
}

// ---- TQxLocale ---------------------------------------------------------------------------

TQxLocale::TQxLocale() = default;
TQxLocale::~TQxLocale() = default;

uint32_t TQxLocale::LocaleId() const {
    return MakeLocaleId(
        MakeLanguageId(static_cast<uint32_t>(PrimaryId), static_cast<uint32_t>(SubId)), 0);
}

uint8_t TQxLocale::GetEuroState() const {
    return IsEuroLocale(LocaleId()) ? GetEuroPeriod() : 0;
}

std::string TQxLocale::GetCurrencyString() const {
    if (EuroMode == qxeIgnore) return CurrencyString;
    return EuroCurrencyString(EuroMode, GetEuroState(), CurrencyString);
}

void TQxLocale::Assign(const TQxLocale& source) {
    if (&source == this) return;
    const uint8_t charset = Charset;
    *this = source;
    Charset = charset;
}

std::unique_ptr<TQxLocale> TQxLocale::Clone() const {
    auto copy = std::make_unique<TQxLocale>();
    copy->Assign(*this);
    return copy;
}

void TQxLocale::Complete() {
    const uint32_t id = LocaleId();
    if (PrimaryId != 0) {
        if (EnglishLanguageName.empty())
            EnglishLanguageName = GetLocaleStr(id, lc::SENGLANGUAGE, "");
        if (NativeLanguageName.empty())
            NativeLanguageName = GetLocaleStr(id, lc::SNATIVELANGNAME, "");
        if (EnglishCountryName.empty())
            EnglishCountryName = GetLocaleStr(id, lc::SENGCOUNTRY, "");
        if (NativeCountryName.empty())
            NativeCountryName = GetLocaleStr(id, lc::SNATIVECTRYNAME, "");
        if (CodePage == 0) {
            CodePage = DefaultCodePageOf(id);
            if (CodePage == 0) CodePage = 1252;
        }
    }
    if (Charset == 0) Charset = GetLanguageCharset(id);
}

void TQxLocale::GetName(uint8_t kind, TQxDictionary* dictionary, std::string& result) const {
    switch (kind) {
        case 0:
            result = GetLocaleDisplayName(EnglishLanguageName, EnglishCountryName, dictionary,
                                          false, CodePage, SubId, PrimaryId);
            break;
        case 1:
            result = GetLocaleDisplayName(NativeLanguageName, NativeCountryName, dictionary,
                                          false, CodePage, SubId, PrimaryId);
            break;
        case 2:
            result = GetLocaleDisplayName(EnglishLanguageName, EnglishCountryName, dictionary,
                                          true, CodePage, SubId, PrimaryId);
            break;
        default:
            break;
    }
}

}  // namespace qx
