// The dictionary component: properties, the selection of language and locale, opening and
// closing, the support checks and the lists of languages and locales.
#include "qx/QxDictionary.h"

#include <algorithm>

#include "components/filer.h"
#include "qx/QxLocaleVars.h"
#include "qx/QxParser.h"
#include "qx/QxResourceHooks.h"
#include "qx/QxSystem.h"
#include "qx/QxTranslatorBase.h"
#include "rtl/strutil.h"

namespace qx {

const kxc::TEnumInfo QxBindingInfo{
    "TQxBinding", {"qxbiNone", "qxbiLocaleToLanguage", "qxbiLanguageToLocale"}};
const kxc::TEnumInfo QxMissingTranslationInfo{
    "TQxMissingTranslation",
    {"qxmtUseNative", "qxmtUseNull", "qxmtTagNative", "qxmtRaiseException"}};
const kxc::TEnumInfo QxCheckLevelInfo{"TQxCheckLevel", {"qxclNone", "qxclSystem", "qxclCodePage"}};
const kxc::TEnumInfo QxEuroInfo{"TQxEuro", {"qxeNormal", "qxeBusiness", "qxeIgnore"}};
const kxc::TEnumInfo QxDictionaryOptionsInfo{
    "TQxDictionaryOptions",
    {"qxdoUpdateLocaleVariables", "qxdoAutoTranslate", "qxdoYear2000",
     "qxdoTranslateResourceStrings", "qxdoRecreateMDIChild"}};

KXC_IMPLEMENT_CLASS(TQxDictionary)

void TQxDictionary::DescribeClass(kxc::TClassBuilder<TQxDictionary>& c) {
    c.Bool("Enabled", &TQxDictionary::Enabled, &TQxDictionary::SetEnabled).DefaultValue(1);
    c.Str("DictionaryName", &TQxDictionary::DictionaryName, &TQxDictionary::SetDictionaryName);
    c.Int("PrimaryLanguage", &TQxDictionary::PrimaryLanguage, &TQxDictionary::SetPrimaryLanguage)
        .DefaultValue(0);
    c.Int("SubLanguage", &TQxDictionary::SubLanguage, &TQxDictionary::SetSubLanguage)
        .DefaultValue(1);
    c.Int("Language", &TQxDictionary::Language, &TQxDictionary::SetLanguage).DefaultValue(-1);
    c.Enum<TQxBinding>("Binding", &TQxDictionary::Binding, &TQxDictionary::SetBinding,
                       QxBindingInfo)
        .DefaultValue(qxbiLocaleToLanguage);
    c.Set("Options", &TQxDictionary::Options, &TQxDictionary::SetOptions, QxDictionaryOptionsInfo)
        .DefaultValue(qxdoAll);
    c.Enum<TQxMissingTranslation>("MissingTranslation", &TQxDictionary::MissingTranslation,
                                  &TQxDictionary::SetMissingTranslation, QxMissingTranslationInfo)
        .DefaultValue(qxmtUseNative);
    c.Enum<TQxEuro>("Euro", &TQxDictionary::Euro, &TQxDictionary::SetEuro, QxEuroInfo)
        .DefaultValue(qxeNormal);
    c.Enum<TQxCheckLevel>("CheckLevel", &TQxDictionary::CheckLevel, &TQxDictionary::SetCheckLevel,
                          QxCheckLevelInfo)
        .DefaultValue(qxclCodePage);
    c.Event("OnLanguageChange", &TQxDictionary::OnLanguageChange);
    c.Event("OnLocaleChange", &TQxDictionary::OnLocaleChange);
}

TQxDictionary::TQxDictionary(kxc::TComponent* owner)
    : kxc::TComponent(owner),
      selectedLanguage_(std::make_unique<TQxLanguage>()),
      selectedLocale_(std::make_unique<TQxLocale>()) {
    if (Dictionaries) Dictionaries->Add(this);
    TQxApplicationServices& application = ApplicationServices();
    if (!application.HasExceptionHandler()) application.InstallExceptionHandler();
}

TQxDictionary::~TQxDictionary() {
    CloseTranslators();
    if (Dictionaries) Dictionaries->Remove(this);
}

void TQxDictionary::DefineProperties(kxc::TFiler& filer) {
    inherited::DefineProperties(filer);
    filer.DefineProperty(
        "DictionaryCode", [](kxc::TReader& reader) { reader.ReadInteger(); }, nullptr, false);
}

// ---- Abstract operations and their defaults ----

namespace {
[[noreturn]] void AbstractError() { throw rtl::EAbstractError("Abstract Error"); }
}  // namespace

int32_t TQxDictionary::GetLanguageCount() { AbstractError(); }
void TQxDictionary::GetLanguage(int32_t, TQxLanguage&) { AbstractError(); }
int32_t TQxDictionary::GetLocaleCount() { AbstractError(); }
void TQxDictionary::GetLocale(int32_t, TQxLocale&) { AbstractError(); }
int32_t TQxDictionary::GetTranslationCount() { return 0; }
bool TQxDictionary::FindContextTranslation(const std::string&, const std::string&,
                                           const std::string&, std::string&) {
    AbstractError();
}
bool TQxDictionary::IsAvailable() { return true; }

bool TQxDictionary::FindTranslation(const std::string& native, std::string& translation) {
    return FindContextTranslation(native, std::string(), std::string(), translation);
}

void TQxDictionary::GetLanguages(TQxLanguageList& list) {
    const int32_t count = GetLanguageCount();
    for (int32_t i = 0; i < count; ++i) {
        auto language = std::make_unique<TQxLanguage>();
        GetLanguage(i, *language);
        list.push_back(std::move(language));
    }
}

void TQxDictionary::GetLocales(TQxLocaleList& list) {
    const int32_t count = GetLocaleCount();
    for (int32_t i = 0; i < count; ++i) {
        auto locale = std::make_unique<TQxLocale>();
        GetLocale(i, *locale);
        list.push_back(std::move(locale));
    }
}

// ---- The locale side ----

bool TQxDictionary::FindLocale(uint32_t localeId, TQxLocale& locale) {
    TQxLocaleList own;
    GetLocales(own);
    return FindLocaleIn(own, localeId, locale);
}

void TQxDictionary::GetAvailableLocales(std::vector<uint32_t>& list) {
    GetAvailableLocalesWith(list, GetLocaleCount(),
                            [this](int32_t index, TQxLocale& locale) { GetLocale(index, locale); });
}

bool TQxDictionary::IsLocaleAvailable(uint32_t localeId) {
    return IsLocaleAvailableWith(localeId, GetLocaleCount(), [this](int32_t index, TQxLocale& l) {
        GetLocale(index, l);
    });
}

void TQxDictionary::EnumPrimaryLanguages(std::vector<TQxNamedId>& strings, bool nativeNames) {
    TQxLanguageList languages;
    GetLanguages(languages);
    EnumPrimaryLanguagesOf(languages, strings, nativeNames);
}

// ---- Support checks ----

namespace {

bool IsExemptPrimary(int32_t primaryId) {
    return primaryId == 0 || primaryId == 9 || primaryId == 33;
}

constexpr uint8_t kCodePageIndependent = 2;  // TQxLanguage::Flags bit 1

}  // namespace

// The search state lives in this call only, so a check made from inside another one (or
// from an enumeration callback) cannot disturb it.
bool IsCodePageSupported(int32_t codePage) {
    if (codePage == 0) return true;
    bool found = false;
    LocaleSystem().EnumSupportedCodePages([codePage, &found](const std::string& text) {
        int32_t value;
        if (TryStrToInt(text, value) && value == codePage) found = true;
        return true;
    });
    return found;
}

bool TQxDictionary::IsLanguageSystemSupported(const TQxLanguage& language) {
    return IsExemptPrimary(language.PrimaryId) || (language.Flags & kCodePageIndependent) ||
           IsCodePageSupported(language.CodePage);
}

bool TQxDictionary::IsLanguageCodePageSupported(const TQxLanguage& language) {
    return IsExemptPrimary(language.PrimaryId) || (language.Flags & kCodePageIndependent) ||
           language.CodePage == 0 ||
           static_cast<uint32_t>(language.CodePage) == LocaleSystem().AnsiCodePage();
}

bool TQxDictionary::IsLocaleCodePageSupported(const TQxLocale& locale) {
    return IsExemptPrimary(locale.PrimaryId) ||
           static_cast<uint32_t>(locale.CodePage) == LocaleSystem().AnsiCodePage();
}

// ---- Selection ----

uint32_t TQxDictionary::ResolveLocaleId(uint32_t localeId) {
    if (localeId == QxUserDefaultLocale) return LocaleSystem().UserDefaultLocaleId();
    if (localeId == QxSystemDefaultLocale) return LocaleSystem().SystemDefaultLocaleId();
    return localeId;
}

int32_t TQxDictionary::FindLanguageByLocale(uint32_t localeId) {
    if (localeId == 0) return 0;  // language 0 is the native language
    const uint32_t resolved = ResolveLocaleId(localeId);
    const int32_t primary = static_cast<int32_t>(GetPrimaryLangId(resolved));
    const int32_t sub = static_cast<int32_t>(GetSubLangId(resolved));
    TQxLanguageList languages;
    GetLanguages(languages);
    const int32_t count = static_cast<int32_t>(languages.size());
    auto lists = [](const TQxLanguage& l, int32_t s) {
        for (int32_t i = 0; i < l.SubLanguageCount(); ++i)
            if (l.GetSubLanguageId(i) == s) return true;
        return false;
    };
    for (int32_t i = 0; i < count; ++i) {
        const TQxLanguage& l = *languages[i];
        if (l.PrimaryId == primary && (l.DefaultSubId == sub || lists(l, sub))) return i;
    }
    for (int32_t i = 0; i < count; ++i) {
        const TQxLanguage& l = *languages[i];
        if (l.PrimaryId == primary && (l.SubLanguageCount() == 0 || l.GetSubLanguageId(0) == 0))
            return i;
    }
    for (int32_t i = 0; i < count; ++i)
        if (languages[i]->PrimaryId == primary) return i;
    return -1;
}

int32_t TQxDictionary::FirstSupportedLanguage() {
    const int32_t count = GetLanguageCount();
    const int32_t start = (count > 0 && GetLanguageInfo(0)->PrimaryId == 0) ? 1 : 0;
    for (int32_t i = start; i < count; ++i) {
        switch (checkLevel_) {
            case qxclNone:
                return i;
            case qxclSystem:
                if (IsLanguageSystemSupported(*GetLanguageInfo(i))) return i;
                break;
            case qxclCodePage:
                if (IsLanguageCodePageSupported(*GetLanguageInfo(i))) return i;
                break;
        }
    }
    return -1;
}

TQxLanguage* TQxDictionary::GetLanguageInfo(int32_t index) {
    if (index < 0 || index >= GetLanguageCount()) throw rtl::ERangeError("Out of language range");
    if (index == selectedLanguageIndex_) return selectedLanguage_.get();
    infoLanguage_.reset();
    infoLanguage_ = std::make_unique<TQxLanguage>();
    GetLanguage(index, *infoLanguage_);
    return infoLanguage_.get();
}

void TQxDictionary::SelectLanguage(int32_t index) {
    fallbackLanguageIndex_ = 0;
    if (index == QxSystemDefaultLanguage)
        selectedLanguageIndex_ = FindLanguageByLocale(LocaleSystem().SystemDefaultLocaleId());
    else if (index == QxUserDefaultLanguage)
        selectedLanguageIndex_ = FindLanguageByLocale(LocaleSystem().UserDefaultLocaleId());
    else
        selectedLanguageIndex_ = index;
    if (selectedLanguageIndex_ < 0) selectedLanguageIndex_ = FirstSupportedLanguage();
    if (selectedLanguageIndex_ == -1)
        throw EQxMulti("System does not support any language of the dicitonary!");

    // Reset in place: the object stays the one that GetLanguageInfo handed out for the
    // selected index, so a caller that still holds it reads the new selection.
    *selectedLanguage_ = TQxLanguage();
    if (GetLanguageCount() > 0) {
        GetLanguage(selectedLanguageIndex_, *selectedLanguage_);
        if (binding_ == qxbiLocaleToLanguage) {
            // The sub-language follows the system's when the system speaks the language.
            const uint32_t base = openLanguage_ == QxSystemDefaultLanguage
                                      ? LocaleSystem().SystemDefaultLocaleId()
                                      : LocaleSystem().UserDefaultLocaleId();
            const uint32_t own = selectedLanguage_->DefaultLocaleId();
            const uint32_t picked = GetPrimaryLangId(base) == GetPrimaryLangId(own) ? base : own;
            selectedLanguage_->SelectSubLanguage(static_cast<int32_t>(GetSubLangId(picked)));
        }
        if (selectedLanguage_->SubLanguageCount() > 0)
            fallbackLanguageIndex_ = FindLanguageByLocale(
                MakeLanguageId(static_cast<uint32_t>(selectedLanguage_->PrimaryId), 0));
    }
    languageLocaleId_ = selectedLanguage_->SelectedLocaleId();

    if (Designing()) return;
    if (checkLevel_ == qxclSystem && !IsLanguageSystemSupported(*selectedLanguage_))
        throw EQxMulti(selectedLanguage_->EnglishName + " is not supported by the system");
    if (checkLevel_ == qxclCodePage && !IsLanguageCodePageSupported(*selectedLanguage_))
        throw EQxMulti(selectedLanguage_->EnglishName + " is not supported by the code page");
}

// A locale that neither the dictionary nor the system knows is left empty; its primary id 0
// and code page 0 must not let it through either check as if it were the native language.
// The native language's own locale (primary id 0, such as locale 0) passes unknown: not
// every system has data for it, and the checks exempt it.
void TQxDictionary::SelectLocale(uint32_t localeId) {
    selectedLocaleId_ = ResolveLocaleId(localeId);
    *selectedLocale_ = TQxLocale();  // in place, as the selected language
    selectedLocaleKnown_ = FindLocale(selectedLocaleId_, *selectedLocale_);
    if (Designing()) return;
    const bool unknownRefused =
        !selectedLocaleKnown_ && GetPrimaryLangId(selectedLocaleId_) != 0;
    const int primary = static_cast<int>(GetPrimaryLangId(localeId));
    const int sub = static_cast<int>(GetSubLangId(localeId));
    if (checkLevel_ == qxclSystem &&
        (unknownRefused || !IsCodePageSupported(selectedLocale_->CodePage)))
        throw EQxMulti(
            rtl::Format("The locale (%d, %d) is not supported by the system", primary, sub));
    if (checkLevel_ == qxclCodePage &&
        (unknownRefused || !IsLocaleCodePageSupported(*selectedLocale_)))
        throw EQxMulti(rtl::Format("The locale (%d, %d) is not supported by the current code page",
                                   primary, sub));
}

// The language of the selected locale, else the first supported one.
void TQxDictionary::SelectByLocale() {
    const int32_t i = FindLanguageByLocale(selectedLocaleId_);
    if (i < 0) {
        SelectLanguage(FirstSupportedLanguage());
    } else {
        SelectLanguage(i);
        languageLocaleId_ = selectedLocaleId_;
    }
}

// A stored index at or beyond the count would reach the concrete dictionary unchecked.
void TQxDictionary::CheckStoredLanguage() {
    if (language_ >= GetLanguageCount())
        throw rtl::ERangeError("Language index " + std::to_string(language_) + " is out of range");
}

void TQxDictionary::OpenDictionary() {
    if (!enabled_ && active_) return;
    if (!IsAvailable()) return;
    openLanguage_ = language_;
    try {
        switch (binding_) {
            case qxbiNone:
                CheckStoredLanguage();
                SelectLanguage(language_);
                SelectLocale(localeId_);
                break;
            case qxbiLocaleToLanguage:
                CheckStoredLanguage();
                SelectLanguage(language_);
                SelectLocale(selectedLanguage_->SelectedLocaleId());
                break;
            case qxbiLanguageToLocale:
                SelectLocale(localeId_);
                SelectByLocale();
                break;
        }
        if (!Designing() && (options_ & qxdoTranslateResourceStrings) && !ResourceHooksInstalled &&
            ResourceModulesHoldOnlyProgram()) {
            InstallResourceHooks();
            ResourceHooksInstalled = true;
        }
        active_ = true;
        UpdateLocaleVariables(true, true);
    } catch (...) {
        CloseDictionary();
        throw;
    }
}

void TQxDictionary::CloseDictionary() {
    if (!Designing() && ResourceHooksInstalled) {
        RemoveResourceHooks();
        ResourceHooksInstalled = false;
    }
    CloseTranslators();
    active_ = false;
}

void TQxDictionary::SetLanguage(int32_t v) {
    if (!active_) {
        language_ = v;
        return;
    }
    if (v < -2 || v >= GetLanguageCount())
        throw rtl::ERangeError("Language index " + std::to_string(v) + " is out of range");
    if (v == language_) return;
    language_ = v;
    SelectLanguage(v);
    const uint32_t oldLocale = selectedLocaleId_;
    if (binding_ == qxbiLocaleToLanguage) SelectLocale(selectedLanguage_->SelectedLocaleId());
    UpdateLocaleVariables(true, selectedLocaleId_ != oldLocale);
}

void TQxDictionary::SetLocaleId(uint32_t v) {
    if (!active_) {
        localeId_ = v;
        return;
    }
    if (v == localeId_) return;
    localeId_ = v;
    SelectLocale(v);
    const int32_t oldLanguage = selectedLanguageIndex_;
    if (binding_ == qxbiLanguageToLocale) SelectByLocale();
    UpdateLocaleVariables(selectedLanguageIndex_ != oldLanguage, true);
}

void TQxDictionary::SetPrimaryLanguage(int32_t v) {
    SetLocaleId(MakeLocaleId(MakeLanguageId(static_cast<uint32_t>(v), GetSubLangId(localeId_)), 0));
}

void TQxDictionary::SetSubLanguage(int32_t v) {
    SetLocaleId(
        MakeLocaleId(MakeLanguageId(GetPrimaryLangId(localeId_), static_cast<uint32_t>(v)), 0));
}

void TQxDictionary::LocaleFromLanguage() {
    if (!active_) return;
    const uint32_t old = selectedLocaleId_;
    SelectLocale(selectedLanguage_->DefaultLocaleId());
    if (selectedLocaleId_ != old) UpdateLocaleVariables(false, true);
}

void TQxDictionary::LanguageFromLocale() {
    if (!active_) return;
    const int32_t old = selectedLanguageIndex_;
    SelectLanguage(FindLanguageByLocale(selectedLocaleId_));
    if (selectedLanguageIndex_ != old) UpdateLocaleVariables(true, false);
}

// ---- Translators ----

void TQxDictionary::RegisterTranslator(TQxCustomTranslator* translator) {
    if (std::find(translators_.begin(), translators_.end(), translator) == translators_.end())
        translators_.push_back(translator);
}

void TQxDictionary::UnregisterTranslator(TQxCustomTranslator* translator) {
    translators_.erase(std::remove(translators_.begin(), translators_.end(), translator),
                       translators_.end());
}

// A translator's Close unregisters it; one that does not is taken off here, so the loop
// always ends.
void TQxDictionary::CloseTranslators() {
    while (!translators_.empty()) {
        TQxCustomTranslator* translator = translators_.front();
        translator->Close();
        UnregisterTranslator(translator);
    }
}

}  // namespace qx
