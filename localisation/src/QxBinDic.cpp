// The binary dictionary: GLD data from a file, a resource or the form's own description.
#include "qx/QxBinDic.h"

#include "components/filer.h"
#include "components/streams.h"
#include "qx/QxEmbedded.h"
#include "qx/QxGLD.h"

namespace qx {

KXC_IMPLEMENT_CLASS(TQxBinaryDictionary)

void TQxBinaryDictionary::DescribeClass(kxc::TClassBuilder<TQxBinaryDictionary>&) {}

TQxBinaryDictionary::TQxBinaryDictionary(kxc::TComponent* owner)
    : TQxCustomFileDictionary(owner) {}

// Only reading is supported: there is no form designer that would store the data, so the
// properties carry data when read and never when written.
void TQxBinaryDictionary::DefineProperties(kxc::TFiler& filer) {
    inherited::DefineProperties(filer);
    if (Storage() != qxsEmbedded) return;
    const bool reading = dynamic_cast<kxc::TReader*>(&filer) != nullptr;
    filer.DefineProperty(
        "Languages", [this](kxc::TReader& reader) { ReadLanguages(reader); }, nullptr, reading);
    filer.DefineProperty(
        "Translations", [this](kxc::TReader& reader) { ReadTranslations(reader); }, nullptr,
        reading);
    filer.DefineProperty(
        "Locales", [this](kxc::TReader& reader) { ReadLocales(reader); }, nullptr, reading);
}

void TQxBinaryDictionary::ReadLanguages(kxc::TReader& reader) {
    embeddedLanguageCount_ = CountEmbeddedLanguages(reader);
}

void TQxBinaryDictionary::ReadTranslations(kxc::TReader& reader) {
    embeddedTranslationCount_ = CountEmbeddedTranslations(reader, embeddedLanguageCount_);
}

void TQxBinaryDictionary::ReadLocales(kxc::TReader& reader) {
    embeddedLocaleCount_ = CountEmbeddedLocales(reader);
}

namespace {

TQxEmbeddedSource SourceOf(const TQxBinaryDictionary& d) {
    TQxEmbeddedSource s;
    if (d.Owner()) s.FormClass = d.Owner()->ClassName();
    s.DictionaryClass = d.ClassName();
    s.ComponentName = d.Name();
    return s;
}

}  // namespace

bool TQxBinaryDictionary::UsesStream() {
    if (Storage() != qxsEmbedded) return true;
    return Designing() && FileExists(GetFileName());
}

// Every call opens the data anew; the reader (and with it the stream) goes with the
// unique_ptr on every failure.
std::unique_ptr<TQxGLDFile> TQxBinaryDictionary::OpenDictionaryStream() {
    if (StoredFileName().empty()) throw rtl::Exception("No FileName property set");
    auto reader = std::make_unique<TQxGLDFile>();
    const bool fromFile =
        Storage() == qxsFile || (Designing() && FileExists(GetFileName()));
    if (fromFile)
        reader->SetStream(std::make_unique<kxc::TFileStream>(
            GetFileName(), kxc::fmOpenRead | kxc::fmShareDenyNone));
    else
        reader->SetStream(std::make_unique<kxc::TResourceStream>(
            nullptr, kxc::TResId(QxDictionaryResourceName), kxc::TResId(QxDictionaryResourceType)));
    reader->Open();
    SetHasContexts(reader->ContextType() != 0);
    return reader;
}

int32_t TQxBinaryDictionary::GetLanguageCount() {
    if (!UsesStream()) return embeddedLanguageCount_;
    return OpenDictionaryStream()->LanguageCount();
}

int32_t TQxBinaryDictionary::GetTranslationCount() {
    if (!UsesStream()) return embeddedTranslationCount_;
    return OpenDictionaryStream()->TranslationCount();
}

int32_t TQxBinaryDictionary::GetLocaleCount() {
    if (!UsesStream()) return embeddedLocaleCount_;
    return OpenDictionaryStream()->LocaleCount();
}

void TQxBinaryDictionary::GetLanguage(int32_t index, TQxLanguage& language) {
    if (!UsesStream()) {
        ReadEmbeddedLanguage(SourceOf(*this), language, index);
        return;
    }
    std::unique_ptr<TQxGLDFile> reader = OpenDictionaryStream();
    if (TQxLanguage* read = reader->ReadLanguageAt(index)) language.Assign(*read);
}

void TQxBinaryDictionary::GetLocale(int32_t index, TQxLocale& locale) {
    if (!UsesStream()) {
        try {
            ReadEmbeddedLocale(SourceOf(*this), locale, index);
        } catch (const std::exception&) {
            throw EQxMulti("No dictionary data! Set the FileName property.");
        }
        return;
    }
    std::unique_ptr<TQxGLDFile> reader = OpenDictionaryStream();
    if (TQxLocale* read = reader->ReadLocaleAt(index)) locale.Assign(*read);
}

void TQxBinaryDictionary::GetLanguages(TQxLanguageList& list) {
    if (!UsesStream()) {
        ReadEmbeddedLanguages(SourceOf(*this), list);
        return;
    }
    std::unique_ptr<TQxGLDFile> reader = OpenDictionaryStream();
    reader->SeekLanguages();
    const int32_t count = reader->LanguageCount();
    for (int32_t i = 0; i < count; ++i) list.push_back(reader->ReadGLDLanguage().Clone());
}

// A dictionary without locales never seeks its locale section, which would fail.
void TQxBinaryDictionary::GetLocales(TQxLocaleList& list) {
    if (!UsesStream()) {
        if (embeddedLocaleCount_ > 0) ReadEmbeddedLocales(SourceOf(*this), list);
        return;
    }
    std::unique_ptr<TQxGLDFile> reader = OpenDictionaryStream();
    const int32_t count = reader->LocaleCount();
    if (count <= 0) return;
    reader->SeekLocales();
    for (int32_t i = 0; i < count; ++i) list.push_back(reader->ReadGLDLocale().Clone());
}

void TQxBinaryDictionary::LoadTranslations() {
    ClearTranslations();
    if (UsesStream())
        LoadFromStream();
    else
        LoadEmbedded();
    SortTranslations();
}

// Entries without a text in the selected or the fallback language are dropped at once.
void TQxBinaryDictionary::LoadFromStream() {
    std::unique_ptr<TQxGLDFile> reader = OpenDictionaryStream();
    const int32_t codePage = SelectedLanguage().CodePage;
    reader->SeekTranslations();
    const int32_t count = reader->TranslationCount();
    for (int32_t i = 0; i < count; ++i) {
        auto entry = std::make_unique<TQxTranslation>();
        if (reader->ReadGLDTranslation(*entry, SelectedLanguageIndex(), codePage,
                                       FallbackLanguageIndex()) != 2)
            AddTranslation(std::move(entry));
    }
}

void TQxBinaryDictionary::LoadEmbedded() {
    const int32_t languages = GetLanguageCount();
    SetHasContexts(ReadEmbeddedTranslations(
        SourceOf(*this), [this](std::unique_ptr<TQxTranslation> e) { AddTranslation(std::move(e)); },
        languages, FallbackLanguageIndex(), SelectedLanguageIndex()));
}

}  // namespace qx
