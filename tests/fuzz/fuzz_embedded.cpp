// libFuzzer target over the walk of stored form descriptions: the value skipper on its own,
// then the search for each embedded dictionary property and the reading of what it finds.
// Malformed input may only end in the library's own errors.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "components/streams.h"
#include "qx/QxEmbedded.h"
#include "rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 256 * 1024) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        kxc::TMemoryStream stream(bytes);
        qx::TQxReader reader(stream);
        for (;;) qx::SkipValue(reader);  // ends with the data
    } catch (const rtl::Exception&) {
    }
    for (const char* property : {"Languages", "Translations", "Locales"}) {
        try {
            kxc::TMemoryStream stream(bytes);
            qx::TQxReader reader(stream);
            qx::FindEmbeddedProperty(reader, "TQxBinaryDictionary", "QxBinaryDictionary1",
                                     property);
            const std::string name(property);
            if (name == "Languages") {
                qx::TQxLanguageList list;
                qx::ReadLanguageList(reader, list);
            } else if (name == "Translations") {
                qx::ReadTranslationList(reader, 1, [](std::unique_ptr<qx::TQxTranslation>) {},
                                        3, 2);
            } else {
                qx::TQxLocaleList list;
                qx::ReadLocaleList(reader, list);
            }
        } catch (const rtl::Exception&) {
        }
    }
    // The counting readers over the same bytes taken as a property value.
    try {
        kxc::TMemoryStream stream(bytes);
        qx::TQxReader reader(stream);
        const int32_t languages = qx::CountEmbeddedLanguages(reader);
        qx::CountEmbeddedTranslations(reader, languages < 300 ? languages : 300);
        qx::CountEmbeddedLocales(reader);
    } catch (const rtl::Exception&) {
    }
    return 0;
}
