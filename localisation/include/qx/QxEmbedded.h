// The embedded dictionary data of a binary dictionary with embedded storage: the three
// properties "Languages", "Translations" and "Locales" stored in the description of the form
// that owns the dictionary. The counting readers run while the form loads; the re-reading
// routines find the property again in the form's description among the program's resources,
// by the form's class name, the dictionary's class name and its component name.
//
// Reading the items of these properties is not part of this library yet: every routine
// raises rtl::Exception "Embedded dictionary data cannot be read", so a form that carries
// embedded data fails to load instead of showing a dictionary without texts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "components/filer.h"
#include "qx/QxDictio.h"
#include "qx/QxLanguage.h"

namespace qx {

int32_t CountEmbeddedLanguages(kxc::TReader& reader);
int32_t CountEmbeddedTranslations(kxc::TReader& reader, int32_t languageCount);
int32_t CountEmbeddedLocales(kxc::TReader& reader);

struct TQxEmbeddedSource {
    std::string FormClass;
    std::string DictionaryClass;
    std::string ComponentName;
};

void ReadEmbeddedLanguage(const TQxEmbeddedSource& source, TQxLanguage& language, int32_t index);
void ReadEmbeddedLanguages(const TQxEmbeddedSource& source, TQxLanguageList& list);
void ReadEmbeddedLocale(const TQxEmbeddedSource& source, TQxLocale& locale, int32_t index);
void ReadEmbeddedLocales(const TQxEmbeddedSource& source, TQxLocaleList& list);
// Appends the entries that have a text in the selected or the fallback language through
// `add`; returns whether the data carry contexts.
bool ReadEmbeddedTranslations(const TQxEmbeddedSource& source,
                              const std::function<void(std::unique_ptr<TQxTranslation>)>& add,
                              int32_t languageCount, int32_t fallbackIndex,
                              int32_t selectedIndex);

}  // namespace qx
