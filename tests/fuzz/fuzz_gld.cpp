// libFuzzer target over the GLD reader: the header, then every section as the dictionary
// reads it. Malformed input may only end in the reader's own errors.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qx/QxGLD.h"
#include "rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 256 * 1024) return 0;
    qx::TQxGLDFile r;
    r.SetStream(std::make_unique<kxc::TMemoryStream>(std::string(reinterpret_cast<const char*>(data), size)));
    try {
        r.Open();
    } catch (const rtl::Exception&) {
        return 0;
    }
    // Each section on its own, so that a failure in one does not hide the others.
    try {
        int32_t n = r.LanguageCount() < 300 ? r.LanguageCount() : 300;
        for (int32_t i = -1; i < n; ++i) r.ReadLanguageAt(i);
    } catch (const rtl::Exception&) {
    }
    try {
        r.SeekTranslations();
        for (int32_t i = 0; i < r.TranslationCount(); ++i) {
            qx::TQxTranslation t;
            r.ReadGLDTranslation(t, 2, i % 2 ? 1251 : 1252, 1);
        }
        r.SeekTranslations();
        std::string a, b;
        std::vector<std::string> texts;
        r.ReadTranslationTexts(a, b, texts);
    } catch (const rtl::Exception&) {
    }
    try {
        if (r.LocaleCount() > 0) {
            r.SeekLocales();
            for (int32_t i = 0; i < r.LocaleCount(); ++i) r.ReadGLDLocale();
        }
        r.ReadLocaleAt(0);
    } catch (const rtl::Exception&) {
    }
    return 0;
}
