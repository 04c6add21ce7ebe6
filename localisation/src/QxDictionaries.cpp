// The registry of dictionaries, the unit's process-wide state with its start-up and end,
// single-text translation and the translated exception display.
#include <algorithm>

#include "qx/QxDictionary.h"
#include "qx/QxLocaleVars.h"
#include "rtl/resstrings.h"
#include "rtl/strutil.h"

namespace qx {

TQxDictionaries* Dictionaries = nullptr;
uint32_t DefaultDictionaryIndex = 0;
bool ResourceTranslationAllowed = true;
bool ResourceHooksInstalled = false;

namespace {

int g_unitStarts = 0;

// The unit starts with the program and ends with it, after every dictionary that the
// program freed itself.
struct TUnitLifetime {
    TUnitLifetime() { QxDictioInitialization(); }
    ~TUnitLifetime() { QxDictioFinalization(); }
} g_unitLifetime;

}  // namespace

void QxDictioInitialization() {
    if (g_unitStarts++ > 0) return;
    EuroMode = qxeNormal;
    Dictionaries = new TQxDictionaries;
    DefaultDictionaryIndex = 0;
    ResourceTranslationAllowed = true;
    ResourceHooksInstalled = false;
}

// Dictionaries freed after this find no registry and skip leaving it. The hook state goes
// with the registry, so no later close acts on hooks of a finished unit.
void QxDictioFinalization() {
    if (g_unitStarts <= 0 || --g_unitStarts > 0) return;
    delete Dictionaries;
    Dictionaries = nullptr;
    ResourceHooksInstalled = false;
    ResourceTranslationAllowed = true;
}

// ---- TQxDictionaries ----

TQxDictionary* TQxDictionaries::Items(int32_t index) const {
    if (index < 0 || index >= Count())
        throw rtl::EListError(rtl::Format("List index out of bounds (%d)", index));
    return list_[static_cast<size_t>(index)];
}

TQxDictionary* TQxDictionaries::Find(const std::string& name) const {
    for (TQxDictionary* dictionary : list_)
        if (dictionary->DictionaryName() == name) return dictionary;
    return nullptr;
}

void TQxDictionaries::Add(TQxDictionary* dictionary) {
    if (dictionary->DictionaryName().empty()) {
        int32_t n = Count();
        do {
            ++n;
            dictionary->SetDictionaryName("Dictionary" + std::to_string(n));
        } while (Find(dictionary->DictionaryName()) != nullptr);
    }
    list_.push_back(dictionary);
}

void TQxDictionaries::Remove(TQxDictionary* dictionary) {
    list_.erase(std::remove(list_.begin(), list_.end(), dictionary), list_.end());
}

// ---- The default dictionary ----

namespace {

int32_t RegistryCount() { return Dictionaries ? Dictionaries->Count() : 0; }

}  // namespace

void CheckDefaultDictionaryIndex() {
    const int32_t count = RegistryCount();
    if (count > 0 && DefaultDictionaryIndex >= static_cast<uint32_t>(count))
        throw rtl::ERangeError("DefaultDictionaryIndex is out or range: " +
                               std::to_string(DefaultDictionaryIndex));
}

TQxDictionary* GetDefaultDictionary() {
    if (RegistryCount() == 0) return nullptr;
    CheckDefaultDictionaryIndex();
    return Dictionaries->Items(static_cast<int32_t>(DefaultDictionaryIndex));
}

bool IsDefaultDictionaryOpen() {
    const int32_t count = RegistryCount();
    return DefaultDictionaryIndex < static_cast<uint32_t>(count) &&
           Dictionaries->Items(static_cast<int32_t>(DefaultDictionaryIndex))->IsOpen();
}

// ---- Single texts ----

std::string TranslateString(const std::string& text) {
    if (RegistryCount() == 0) return text;
    return TranslateWith(GetDefaultDictionary(), text);
}

std::string TranslateWith(TQxDictionary* dictionary, const std::string& text) {
    if (!dictionary || text.empty()) return text;
    std::string translation;
    const bool found = dictionary->FindTranslation(text, translation);
    return ApplyMissingTranslation(dictionary, text, translation, found);
}

std::string TranslateWithContext(TQxDictionary* dictionary, const std::string& text,
                                 const std::string& contextA, const std::string& contextB) {
    if (!dictionary) return text;
    std::string translation;
    bool found = true;
    if (!text.empty()) {
        found = dictionary->HasContexts() &&
                dictionary->FindContextTranslation(text, contextA, contextB, translation);
        if (!found) found = dictionary->FindTranslation(text, translation);
    }
    return ApplyMissingTranslation(dictionary, text, translation, found);
}

// The messages are fixed texts, never looked up themselves, so a failure met while
// translating cannot come back here.
std::string ApplyMissingTranslation(TQxDictionary* dictionary, const std::string& native,
                                    const std::string& translation, bool found) {
    if (found && !translation.empty()) return translation;
    if (!dictionary) return native;
    switch (dictionary->MissingTranslation()) {
        case qxmtUseNative:
            return native;
        case qxmtUseNull:
            return std::string();
        case qxmtTagNative:
            return "@" + native + "@";
        case qxmtRaiseException:
            if (found)
                throw EQxMulti("Translation for the word \"" + native + "\" is missing");
            throw EQxMulti("Dictionary does not contain a translation for the word \"" + native +
                           "\"");
    }
    return native;
}

// ---- The exception display ----

// The hooked lookup checks the default dictionary's index before it translates, and a
// dictionary's policy may raise: a box without its caption would be no box at all.
std::string ErrorBoxCaption() {
    try {
        return rtl::LoadResString(&rtl::SMsgDlgError);
    } catch (...) {
        return rtl::SMsgDlgError.English;
    }
}

// Every double-byte code page has lead and trail bytes above ".", so the last byte decides
// as the last character would.
void ShowTranslatedException(kxc::TObject*, const rtl::Exception& exception) {
    try {
        std::string text = exception.Message();
        if (IsDefaultDictionaryOpen()) {
            try {
                text = TranslateWith(GetDefaultDictionary(), text);
            } catch (...) {
                // A dictionary that raises for a missing text: the message as it came.
            }
        }
        if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') text += '.';
        ApplicationServices().ShowErrorBox(text);
    } catch (...) {
        // The display runs inside the application's exception handling: nothing leaves it.
    }
}

}  // namespace qx
