// The embedded dictionary data of a binary dictionary with embedded storage: the three
// properties "Languages", "Translations" and "Locales" that the dictionary stores in the
// description of the form that owns it.
//
// Layouts (values of the form streaming, components/filer.h):
//   Languages     list: data version (2), count, one language item (a list) per language
//   Translations  list: data version (2), context type (version 2 only), count, one entry per
//                 translation: a list of strings, the native text, context A (types 1 and 3),
//                 context B (types 1 and 2), then the texts of languages 1 to count - 1;
//                 with no languages at all an empty list (the count of Languages)
//   Locales       list: data version (2), count, one locale item (a list) per locale
// A data version below 2 is read in the version-1 layout (no charset in the items, no
// context type). Native and language texts are stored with the '#' escapes that
// TQxStringParser::DecodeEscapes undoes; contexts are stored as they are.
//
// The counting readers run while the form loads, over the loader's reader. Later every
// query opens the form's RCDATA resource again (named by the form's class name), walks its
// description to the property (direct children of the root only, names compared with
// letter case) and reads what it needs; nothing is cached here.
//
// Raises: rtl::Exception "Unknown language data version: N", "Unknown translation data
// version: N", "Unknown locale data version: N" (N above 2), "Unknown property value: N"
// (a value type above 19 while skipping); rtl::EResNotFound "Could not find the property";
// the form streaming's errors pass through ("Resource %s not found", "Invalid stream format",
// "Invalid property value", "Stream read error").
// Ownership: the objects appended to a caller's list belong to the caller. Each open
// property is a TQxEmbeddedProperty of its own, so two dictionaries may read at once.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "components/filer.h"
#include "components/streams.h"
#include "qx/QxDictio.h"
#include "qx/QxLanguage.h"

namespace qx {

// The data version that the writers store and the highest that the readers accept.
constexpr int32_t QxEmbeddedDataVersion = 2;

// ---- Counting readers (the reader at the property's value) ----

int32_t CountEmbeddedLanguages(kxc::TReader& reader);
// `languageCount` is what CountEmbeddedLanguages gave for the same form.
int32_t CountEmbeddedTranslations(kxc::TReader& reader, int32_t languageCount);
int32_t CountEmbeddedLocales(kxc::TReader& reader);

// ---- Items ----

// One item into the given object (Complete called after it); `dataVersion` below 2 reads
// the version-1 layout.
void ReadLanguageItem(kxc::TReader& reader, TQxLanguage& language, int32_t dataVersion);
void ReadLocaleItem(kxc::TReader& reader, TQxLocale& locale, int32_t dataVersion);
// One item in the version-2 layout.
void WriteLanguageItem(kxc::TWriter& writer, const TQxLanguage& language);
void WriteLocaleItem(kxc::TWriter& writer, const TQxLocale& locale);

// The whole property value: a new object per item appended to the list.
void ReadLanguageList(kxc::TReader& reader, TQxLanguageList& list);
void ReadLocaleList(kxc::TReader& reader, TQxLocaleList& list);

using TQxTranslationSink = std::function<void(std::unique_ptr<TQxTranslation>)>;
// The whole Translations value: the entries with a text in the selected language (state 0)
// or else in the fallback language (state 1) go to `add`; returns whether the data carry
// contexts.
bool ReadTranslationList(kxc::TReader& reader, int32_t selectedIndex, const TQxTranslationSink& add,
                         int32_t languageCount, int32_t fallbackIndex);

// ---- Walking a stored form description ----

// The reader that re-reading uses: the form streaming's, over the resource stream.
class TQxReader : public kxc::TReader {
public:
    using kxc::TReader::TReader;
};

// Passes over one value of any type; a value type above 19 raises "Unknown property value".
void SkipValue(kxc::TReader& reader);
// A property: its name, then its value.
void SkipProperty(kxc::TReader& reader);
// A component: its header, then its body.
void SkipComponent(kxc::TReader& reader);
// A component's properties and children, each list with its end.
void SkipComponentBody(kxc::TReader& reader);
// Prefix, class name and component name.
void ReadComponentHeader(kxc::TReader& reader, std::string& className, std::string& name);
// From the signature on: leaves the reader at the start of the value of `propertyName` of
// the root's direct child of that class and component name (both compared with letter case).
void FindEmbeddedProperty(kxc::TReader& reader, const std::string& dictionaryClass,
                          const std::string& componentName, const std::string& propertyName);

// Where a dictionary's embedded data are stored.
struct TQxEmbeddedSource {
    std::string FormClass;
    std::string DictionaryClass;
    std::string ComponentName;
};

// One embedded property opened for reading: the form's resource stream and a reader at the
// property's value, both freed with the object.
class TQxEmbeddedProperty {
public:
    TQxEmbeddedProperty(const TQxEmbeddedSource& source, const std::string& propertyName);
    ~TQxEmbeddedProperty();
    TQxEmbeddedProperty(const TQxEmbeddedProperty&) = delete;
    TQxEmbeddedProperty& operator=(const TQxEmbeddedProperty&) = delete;

    TQxReader& Reader() { return *reader_; }

private:
    std::unique_ptr<kxc::TResourceStream> stream_;
    std::unique_ptr<TQxReader> reader_;
};

// ---- Re-reading from the form resource ----

// Reads items 0 to index into `language`, so that it ends holding item `index`.
void ReadEmbeddedLanguage(const TQxEmbeddedSource& source, TQxLanguage& language, int32_t index);
void ReadEmbeddedLanguages(const TQxEmbeddedSource& source, TQxLanguageList& list);
void ReadEmbeddedLocale(const TQxEmbeddedSource& source, TQxLocale& locale, int32_t index);
void ReadEmbeddedLocales(const TQxEmbeddedSource& source, TQxLocaleList& list);
// ReadTranslationList over the stored Translations value.
bool ReadEmbeddedTranslations(const TQxEmbeddedSource& source, const TQxTranslationSink& add,
                              int32_t languageCount, int32_t fallbackIndex,
                              int32_t selectedIndex);

}  // namespace qx
