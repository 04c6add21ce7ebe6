// Embedded dictionary data: not readable yet (see the header).
#include "qx/QxEmbedded.h"

#include "rtl/exceptions.h"

namespace qx {

namespace {
[[noreturn]] void NotReadable() {
    throw rtl::Exception("Embedded dictionary data cannot be read");
}
}  // namespace

int32_t CountEmbeddedLanguages(kxc::TReader&) { NotReadable(); }
int32_t CountEmbeddedTranslations(kxc::TReader&, int32_t) { NotReadable(); }
int32_t CountEmbeddedLocales(kxc::TReader&) { NotReadable(); }
void ReadEmbeddedLanguage(const TQxEmbeddedSource&, TQxLanguage&, int32_t) { NotReadable(); }
void ReadEmbeddedLanguages(const TQxEmbeddedSource&, TQxLanguageList&) { NotReadable(); }
void ReadEmbeddedLocale(const TQxEmbeddedSource&, TQxLocale&, int32_t) { NotReadable(); }
void ReadEmbeddedLocales(const TQxEmbeddedSource&, TQxLocaleList&) { NotReadable(); }
bool ReadEmbeddedTranslations(const TQxEmbeddedSource&,
                              const std::function<void(std::unique_ptr<TQxTranslation>)>&,
                              int32_t, int32_t, int32_t) {
    NotReadable();
}

}  // namespace qx
