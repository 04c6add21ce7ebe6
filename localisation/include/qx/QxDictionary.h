// The dictionary component and what sits around it in unit QxDictio: TQxDictionary (which
// language and locale are in use, opening and closing, the support checks, lookups with the
// missing-translation policy), the process-wide registry Dictionaries with its default
// dictionary, single-text translation, the translator base TQxCustomTranslator and the
// application's translated exception display.
//
// A concrete dictionary derives from TQxDictionary and supplies the data through the virtual
// operations marked "seam" below (languages, locales, translations, availability); the
// selection, the checks and the change notification stay here.
//
// Raises: EQxMulti for selection, support and missing-translation failures;
// rtl::ERangeError for bad language indexes and a bad DefaultDictionaryIndex;
// rtl::EListError from TQxDictionaries::Items outside the list; rtl::EAbstractError from a
// seam that the concrete class does not supply. Every message is a fixed English text.
// Ownership: a dictionary owns SelectedLanguage, SelectedLocale and the object that
// GetLanguageInfo returns; it does not own its translators. The registry owns no
// dictionary. GetLanguages/GetLocales hand their new objects to the caller's list.
// Process-wide state (unit start-up and end below): Dictionaries, DefaultDictionaryIndex,
// ResourceTranslationAllowed, ResourceHooksInstalled, EuroMode. GUI thread only, no locks.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/classes.h"
#include "qx/QxDictio.h"
#include "qx/QxLanguage.h"
#include "rtl/exceptions.h"

namespace qx {

enum TQxBinding : uint8_t { qxbiNone, qxbiLocaleToLanguage, qxbiLanguageToLocale };
enum TQxMissingTranslation : uint8_t {
    qxmtUseNative,
    qxmtUseNull,
    qxmtTagNative,
    qxmtRaiseException
};
enum TQxCheckLevel : uint8_t { qxclNone, qxclSystem, qxclCodePage };
// TQxDictionaryOptions: a set held as a bit mask.
enum TQxDictionaryOption : uint32_t {
    qxdoUpdateLocaleVariables = 1u << 0,
    qxdoAutoTranslate = 1u << 1,
    qxdoYear2000 = 1u << 2,
    qxdoTranslateResourceStrings = 1u << 3,
    qxdoRecreateMDIChild = 1u << 4,
};
using TQxDictionaryOptions = uint32_t;
constexpr TQxDictionaryOptions qxdoAll = 31;

extern const kxc::TEnumInfo QxBindingInfo;
extern const kxc::TEnumInfo QxMissingTranslationInfo;
extern const kxc::TEnumInfo QxCheckLevelInfo;
extern const kxc::TEnumInfo QxEuroInfo;
extern const kxc::TEnumInfo QxDictionaryOptionsInfo;

// The user default and the system default locale, as requested locale ids.
constexpr uint32_t QxUserDefaultLocale = 0x0400;
constexpr uint32_t QxSystemDefaultLocale = 0x0800;
// Requested language indexes: the language of the system's and of the user's default locale.
constexpr int32_t QxSystemDefaultLanguage = -2;
constexpr int32_t QxUserDefaultLanguage = -1;

class TQxCustomTranslator;

class TQxDictionary : public kxc::TComponent {
    KXC_CLASS(TQxDictionary, kxc::TComponent)
public:
    // Enters the registry (named there when unnamed) and, when the application has no
    // exception handler yet, installs ShowTranslatedException.
    explicit TQxDictionary(kxc::TComponent* owner);
    // Closes the registered translators and leaves the registry; does not close itself.
    ~TQxDictionary() override;

    // DictionaryCode: one integer read from form data and dropped; never written.
    void DefineProperties(kxc::TFiler& filer) override;

    // ---- Published properties ----
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v) { enabled_ = v; }
    const std::string& DictionaryName() const { return dictionaryName_; }
    void SetDictionaryName(const std::string& v) { dictionaryName_ = v; }
    int32_t PrimaryLanguage() const { return static_cast<int32_t>(GetPrimaryLangId(localeId_)); }
    void SetPrimaryLanguage(int32_t v);
    int32_t SubLanguage() const { return static_cast<int32_t>(GetSubLangId(localeId_)); }
    void SetSubLanguage(int32_t v);
    int32_t Language() const { return language_; }
    // Closed: stores the value. Open: ERangeError "Language index N is out of range" below -2
    // or at the count; the same value does nothing; else selects and notifies.
    void SetLanguage(int32_t v);
    TQxBinding Binding() const { return binding_; }
    void SetBinding(TQxBinding v) { binding_ = v; }
    TQxDictionaryOptions Options() const { return options_; }
    void SetOptions(TQxDictionaryOptions v) { options_ = v & qxdoAll; }
    TQxMissingTranslation MissingTranslation() const { return missingTranslation_; }
    void SetMissingTranslation(TQxMissingTranslation v) { missingTranslation_ = v; }
    TQxEuro Euro() const { return euro_; }
    // Euro and the process-wide EuroMode := v; republishes the currency symbol of an open
    // dictionary's locale.
    void SetEuro(TQxEuro v);
    TQxCheckLevel CheckLevel() const { return checkLevel_; }
    void SetCheckLevel(TQxCheckLevel v) { checkLevel_ = v; }
    kxc::TNotifyEvent OnLanguageChange;
    kxc::TNotifyEvent OnLocaleChange;

    // ---- State ----
    // The requested locale (behind PrimaryLanguage and SubLanguage). Closed: stores it; open:
    // the same value does nothing, else selects and notifies.
    uint32_t LocaleId() const { return localeId_; }
    void SetLocaleId(uint32_t v);
    bool IsOpen() const { return active_; }
    bool IsDesigning() const { return Designing(); }
    bool HasContexts() const { return hasContexts_; }
    int32_t SelectedLanguageIndex() const { return selectedLanguageIndex_; }
    int32_t FallbackLanguageIndex() const { return fallbackLanguageIndex_; }
    int32_t OpenLanguage() const { return openLanguage_; }
    uint32_t SelectedLocaleId() const { return selectedLocaleId_; }
    uint32_t LanguageLocaleId() const { return languageLocaleId_; }
    // One object each for the dictionary's life: a new selection fills it in place.
    const TQxLanguage& SelectedLanguage() const { return *selectedLanguage_; }
    const TQxLocale& SelectedLocale() const { return *selectedLocale_; }
    // False while the selected locale is one that neither the dictionary nor the system
    // knows: such a locale is never published to the thread or the format settings, and
    // fails both check levels unless its primary id is 0 (the native language's).
    bool SelectedLocaleKnown() const { return selectedLocaleKnown_; }
    const std::vector<TQxCustomTranslator*>& Translators() const { return translators_; }

    // The selected language for its index (valid as long as the dictionary, showing each
    // later selection), else a language object owned by the dictionary that the next such
    // call replaces. ERangeError "Out of language range" for an index
    // below 0 or not below the count.
    TQxLanguage* GetLanguageInfo(int32_t index);

    // Appends unless listed / removes.
    void RegisterTranslator(TQxCustomTranslator* translator);
    void UnregisterTranslator(TQxCustomTranslator* translator);
    // Closes every registered translator; one whose Close leaves it registered is removed.
    void CloseTranslators();

    // ---- Virtual operations; "seam" marks what a concrete dictionary supplies ----
    virtual int32_t GetLanguageCount();                                      // seam
    virtual void GetLanguage(int32_t index, TQxLanguage& language);          // seam
    virtual int32_t GetLocaleCount();                                        // seam
    virtual void GetLocale(int32_t index, TQxLocale& locale);                // seam
    virtual int32_t GetTranslationCount();                                   // seam; 0 here
    // The change notification: reading direction, thread locale, format settings,
    // translators, events. A file dictionary reloads its texts first, then calls this.
    virtual void UpdateLocaleVariables(bool languageChanged, bool localeChanged);
    virtual bool FindContextTranslation(const std::string& native, const std::string& contextA,
                                        const std::string& contextB,
                                        std::string& translation);          // seam
    // Selects language and locale by Binding, then marks the dictionary open and notifies.
    // Does nothing when not available, or when disabled and open already. Any failure
    // closes the dictionary and passes on.
    virtual void OpenDictionary();
    // Removes the resource-string hooks, closes the translators; runs open or not.
    virtual void CloseDictionary();
    virtual bool IsAvailable();                                              // seam; True
    virtual void GetLanguages(TQxLanguageList& list);                        // seam (speed)
    virtual void GetLocales(TQxLocaleList& list);                            // seam (speed)
    // FindContextTranslation with both contexts empty.
    virtual bool FindTranslation(const std::string& native, std::string& translation);
    // Open only: selects the selected language's default locale; notifies on a change.
    virtual void LocaleFromLanguage();
    // Open only: selects the language of the selected locale; notifies on a change.
    virtual void LanguageFromLocale();
    virtual void EnumPrimaryLanguages(std::vector<TQxNamedId>& strings, bool nativeNames);
    virtual bool IsLocaleAvailable(uint32_t localeId);

    // ---- Class-level checks (languages with primary id 0, 9 or 33 are exempt) ----
    static bool IsLanguageSystemSupported(const TQxLanguage& language);
    static bool IsLanguageCodePageSupported(const TQxLanguage& language);
    static bool IsLocaleCodePageSupported(const TQxLocale& locale);
    // Context types 1 and 3 carry context A; 1 and 2 context B.
    static bool HasContextA(int32_t contextType) { return contextType == 1 || contextType == 3; }
    static bool HasContextB(int32_t contextType) { return contextType == 1 || contextType == 2; }

    // The locale that the dictionary defines for the id, else the system's (False when
    // neither knows it).
    bool FindLocale(uint32_t localeId, TQxLocale& locale);
    // EnumSystemLocaleIds, then the dictionary's own locale ids not listed yet.
    void GetAvailableLocales(std::vector<uint32_t>& list);

protected:
    // -2 and -1 stand for the system's and the user's default locale's language; a negative
    // result falls back to the first supported language. EQxMulti when none resolves or
    // the language fails the check level.
    void SelectLanguage(int32_t index);
    // EQxMulti when the locale fails the check level.
    void SelectLocale(uint32_t localeId);
    // The first language (the native one passed over) that passes the check level; -1.
    int32_t FirstSupportedLanguage();
    // The language for a locale id (0 gives 0): same sub-language, then a neutral variant,
    // then any of the primary language; -1.
    int32_t FindLanguageByLocale(uint32_t localeId);
    // 0x0400 and 0x0800 give the system's user and system default locale ids.
    static uint32_t ResolveLocaleId(uint32_t localeId);
    // Set by the loaders of the concrete dictionaries.
    void SetHasContexts(bool v) { hasContexts_ = v; }

private:
    void SelectByLocale();
    void CheckStoredLanguage();
    void PublishLocale();

    bool enabled_ = true;
    TQxEuro euro_ = qxeNormal;
    bool hasContexts_ = false;
    std::string dictionaryName_;
    bool active_ = false;
    int32_t language_ = -1;
    // -1 before the first selection, so that no index stands for the empty language.
    int32_t selectedLanguageIndex_ = -1;
    int32_t fallbackLanguageIndex_ = 0;
    int32_t openLanguage_ = -1;
    uint32_t localeId_ = QxUserDefaultLocale;
    uint32_t selectedLocaleId_ = 0;
    uint32_t languageLocaleId_ = 0;
    TQxDictionaryOptions options_ = qxdoAll;
    TQxMissingTranslation missingTranslation_ = qxmtUseNative;
    TQxBinding binding_ = qxbiLocaleToLanguage;
    std::unique_ptr<TQxLanguage> infoLanguage_;
    std::unique_ptr<TQxLanguage> selectedLanguage_;
    std::unique_ptr<TQxLocale> selectedLocale_;
    bool selectedLocaleKnown_ = false;
    std::vector<TQxCustomTranslator*> translators_;
    TQxCheckLevel checkLevel_ = qxclCodePage;
};

// ---- Code pages ----

// Code page 0, or one of the code pages the system supports (not merely the installed ones).
bool IsCodePageSupported(int32_t codePage);

// ---- The registry ----

// Every dictionary component of the process, in creation order; owns none of them.
class TQxDictionaries {
public:
    int32_t Count() const { return static_cast<int32_t>(list_.size()); }
    // rtl::EListError "List index out of bounds (%d)" outside the list.
    TQxDictionary* Items(int32_t index) const;
    // The first dictionary whose DictionaryName equals `name` exactly; nullptr.
    TQxDictionary* Find(const std::string& name) const;
    // Names an unnamed dictionary "Dictionary<n>" (n from the count plus one up, the first
    // free one), then appends it.
    void Add(TQxDictionary* dictionary);
    void Remove(TQxDictionary* dictionary);

private:
    std::vector<TQxDictionary*> list_;
};

// The registry; nullptr before the unit's start-up and after its end (then counted empty).
extern TQxDictionaries* Dictionaries;
// Index in Dictionaries of the default dictionary.
extern uint32_t DefaultDictionaryIndex;
// Cleared while a hooked resource-string lookup translates.
extern bool ResourceTranslationAllowed;
// The resource-string routines are patched (one set for all dictionaries).
extern bool ResourceHooksInstalled;

// The unit's start-up (creates the registry, resets the state; once, counted) and end (on the
// last call: frees the registry and clears the hook state with it). Both run by themselves at
// program start and end; tests call them to start over.
void QxDictioInitialization();
void QxDictioFinalization();

// ---- Single texts ----

// ERangeError "DefaultDictionaryIndex is out or range: N" when the registry is not empty and
// the index is not below its count.
void CheckDefaultDictionaryIndex();
// The registry holds a default dictionary and it is open.
bool IsDefaultDictionaryOpen();
// Through the default dictionary (open or not); the text itself with an empty registry.
std::string TranslateString(const std::string& text);
// Context lookup first when the dictionary has contexts, then the plain one; an empty text
// counts as found with an empty translation.
std::string TranslateWithContext(TQxDictionary* dictionary, const std::string& text,
                                 const std::string& contextA, const std::string& contextB);
// The translation when found and not empty, else what the dictionary's policy gives (the
// native text, empty, "@native@", or EQxMulti).
std::string ApplyMissingTranslation(TQxDictionary* dictionary, const std::string& native,
                                    const std::string& translation, bool found);

// ---- The application's exception display ----

// Shows the exception's message, translated through the default dictionary while it is open
// (untranslated when that lookup fails), "." appended when its last character sorts after
// ".", in an error box with one OK button. Never raises.
void ShowTranslatedException(kxc::TObject* sender, const rtl::Exception& exception);
// The error box's caption: the run time's "Error" through the resource-string lookup in
// place (translated while the hooks are in), "Error" itself when that lookup fails, so that
// the box always comes up. Never raises.
std::string ErrorBoxCaption();

}  // namespace qx
