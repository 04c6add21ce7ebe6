// The binary dictionary: GLD data from a file, a resource or the form's own description.
#include "qx/QxBinDic.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "components/filer.h"
#include "components/streams.h"
#include "qx/QxEmbedded.h"
#include "qx/QxGLD.h"
#include "qx/QxLocaleVars.h"
#include "qx/QxParser.h"
#include "rtl/exceptions.h"

namespace qx {

KXC_IMPLEMENT_CLASS(TQxBinaryDictionary)

void TQxBinaryDictionary::DescribeClass(kxc::TClassBuilder<TQxBinaryDictionary>&) {}

TQxBinaryDictionary::TQxBinaryDictionary(kxc::TComponent* owner)
    : TQxCustomFileDictionary(owner) {}

// The properties always carry data when read; when written, only what the file can give.
void TQxBinaryDictionary::DefineProperties(kxc::TFiler& filer) {
    inherited::DefineProperties(filer);
    if (Storage() != qxsEmbedded) return;
    const bool hasData =
        dynamic_cast<kxc::TReader*>(&filer) != nullptr || CanStoreEmbeddedData();
    filer.DefineProperty(
        "Languages", [this](kxc::TReader& reader) { ReadLanguages(reader); },
        [this](kxc::TWriter& writer) { WriteLanguages(writer); }, hasData);
    filer.DefineProperty(
        "Translations", [this](kxc::TReader& reader) { ReadTranslations(reader); },
        [this](kxc::TWriter& writer) { WriteTranslations(writer); }, hasData);
    filer.DefineProperty(
        "Locales", [this](kxc::TReader& reader) { ReadLocales(reader); },
        [this](kxc::TWriter& writer) { WriteLocales(writer); }, hasData);
}

bool TQxBinaryDictionary::CanStoreEmbeddedData() {
    const std::string name = GetFileName();
    if (name.empty()) return false;
    if (!FileExists(name)) {
        ApplicationServices().ShowMessageBox(
            "Can not find the file name " + name + ". No dictionary data was stored!",
            "File not found");
        return false;
    }
    TQxGLDFile file;
    file.OpenFile(name);
    if (file.AnsiStrings()) return true;
    ApplicationServices().ShowMessageBox(
        "Can not use a Unicode GLD file " + name + ". No dictionary data was stored!",
        "Unicode not supported");
    return false;
}

void TQxBinaryDictionary::WriteLanguages(kxc::TWriter& writer) {
    TQxGLDFile file;
    file.OpenFile(GetFileName());
    writer.WriteListBegin();
    writer.WriteInteger(QxEmbeddedDataVersion);
    writer.WriteInteger(file.LanguageCount());
    file.SeekLanguages();
    for (int32_t i = 0; i < file.LanguageCount(); ++i)
        WriteLanguageItem(writer, file.ReadGLDLanguage());
    writer.WriteListEnd();
}

// Native and language texts carry the '#' escapes that the reader decodes, so a text
// holding '#' reads back as it was; contexts are stored as they are.
void TQxBinaryDictionary::WriteTranslations(kxc::TWriter& writer) {
    TQxGLDFile file;
    file.OpenFile(GetFileName());
    writer.WriteListBegin();
    writer.WriteInteger(QxEmbeddedDataVersion);
    writer.WriteInteger(file.ContextType());
    writer.WriteInteger(file.TranslationCount());
    file.SeekTranslations();
    for (int32_t i = 0; i < file.TranslationCount(); ++i) {
        std::string contextA, contextB;
        std::vector<std::string> texts;
        file.ReadTranslationTexts(contextA, contextB, texts);
        writer.WriteListBegin();
        for (size_t k = 0; k < texts.size(); ++k) {
            writer.WriteString(TQxStringParser::EncodeEscapes(texts[k]));
            if (k != 0) continue;
            if (HasContextA(file.ContextType())) writer.WriteString(contextA);
            if (HasContextB(file.ContextType())) writer.WriteString(contextB);
        }
        writer.WriteListEnd();
    }
    writer.WriteListEnd();
}

void TQxBinaryDictionary::WriteLocales(kxc::TWriter& writer) {
    TQxGLDFile file;
    file.OpenFile(GetFileName());
    writer.WriteListBegin();
    writer.WriteInteger(QxEmbeddedDataVersion);
    writer.WriteInteger(file.LocaleCount());
    if (file.LocaleCount() > 0) {
        file.SeekLocales();
        for (int32_t i = 0; i < file.LocaleCount(); ++i)
            WriteLocaleItem(writer, file.ReadGLDLocale());
    }
    writer.WriteListEnd();
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

// A file read through a buffer. The GLD reader asks for a few bytes at a time and for the
// position before each read; straight on the file each of those would be a system call, and
// a query would cost tens of them. Read-only; the size is taken once, at the start.
class TBufferedReadStream : public kxc::TStream {
public:
    explicit TBufferedReadStream(std::unique_ptr<kxc::TStream> file)
        : file_(std::move(file)), size_(file_->Size()) {}

    int32_t Read(void* buffer, int32_t count) override {
        char* out = static_cast<char*>(buffer);
        int32_t done = 0;
        while (done < count) {
            if (position_ < start_ || position_ >= start_ + length_) {
                if (!Fill()) break;
            }
            const int64_t offset = position_ - start_;
            const int32_t n = int32_t(std::min<int64_t>(count - done, length_ - offset));
            std::memcpy(out + done, buffer_.data() + offset, size_t(n));
            done += n;
            position_ += n;
        }
        return done;
    }
    int32_t Write(const void*, int32_t) override { return 0; }
    int64_t Seek(int64_t offset, kxc::TSeekOrigin origin) override {
        if (origin == kxc::soBeginning)
            position_ = offset;
        else if (origin == kxc::soCurrent)
            position_ += offset;
        else
            position_ = size_ + offset;
        return position_;
    }

private:
    bool Fill() {
        if (position_ < 0 || position_ >= size_) return false;
        file_->SetPosition(position_);
        start_ = position_;
        length_ = std::max<int32_t>(0, file_->Read(buffer_.data(), int32_t(buffer_.size())));
        return length_ > 0;
    }

    std::unique_ptr<kxc::TStream> file_;
    int64_t size_;
    int64_t position_ = 0;
    int64_t start_ = 0;
    int32_t length_ = 0;
    std::array<char, 512> buffer_{};  // a language record is some tens of bytes
};

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
        reader->SetStream(std::make_unique<TBufferedReadStream>(std::make_unique<kxc::TFileStream>(
            GetFileName(), kxc::fmOpenRead | kxc::fmShareDenyNone)));
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

namespace {

[[noreturn]] void OutOfRange() { throw rtl::ERangeError("Out of language range"); }

}  // namespace

// The file's name, size, time and header: equal identities mean the record starts found in
// one reading serve the next. Resources are not remembered.
std::unique_ptr<TQxGLDFile> TQxBinaryDictionary::OpenWithRecordStarts(std::string& identity) {
    std::unique_ptr<TQxGLDFile> reader = OpenDictionaryStream();
    identity.clear();
    const bool fromFile = Storage() == qxsFile || (Designing() && FileExists(GetFileName()));
    if (!fromFile) return reader;
    const std::string name = GetFileName();
    const std::string stamp = FileStamp(name);
    if (stamp.empty()) return reader;
    identity = name + "|" + stamp + "|" + std::to_string(reader->Stream()->Size());
    for (uint32_t v : {uint32_t(reader->Version()), uint32_t(reader->LittleEndian()),
                       uint32_t(reader->AnsiStrings()), uint32_t(reader->ContextType()),
                       uint32_t(reader->LanguageCount()), uint32_t(reader->TranslationCount()),
                       uint32_t(reader->LocaleCount()), reader->LanguageOffset(),
                       reader->TranslationOffset(), reader->LocaleOffset()})
        identity += "|" + std::to_string(v);
    // Lent to the reader (moved, not copied: a copy per query would cost time linear in the
    // records met so far) and taken back by KeepRecordStarts after a successful read.
    if (identity == startsIdentity_) reader->SetRecordStarts(languageStarts_, localeStarts_);
    startsIdentity_.clear();
    return reader;
}

void TQxBinaryDictionary::KeepRecordStarts(TQxGLDFile& reader, const std::string& identity) {
    if (identity.empty()) return;
    reader.TakeRecordStarts(languageStarts_, localeStarts_);
    startsIdentity_ = identity;
}

void TQxBinaryDictionary::GetLanguage(int32_t index, TQxLanguage& language) {
    if (!UsesStream()) {
        if (index < 0 || index >= embeddedLanguageCount_) OutOfRange();
        ReadEmbeddedLanguage(SourceOf(*this), language, index);
        return;
    }
    std::string identity;
    std::unique_ptr<TQxGLDFile> reader = OpenWithRecordStarts(identity);
    if (index < 0 || index >= reader->LanguageCount()) OutOfRange();
    language.Assign(*reader->ReadLanguageAt(index));
    KeepRecordStarts(*reader, identity);
}

// With embedded storage every failure, an index beyond the counted locales included (there
// are none when the form gave no data), says that the data are missing.
void TQxBinaryDictionary::GetLocale(int32_t index, TQxLocale& locale) {
    if (!UsesStream()) {
        try {
            if (index < 0 || index >= embeddedLocaleCount_) OutOfRange();
            ReadEmbeddedLocale(SourceOf(*this), locale, index);
        } catch (const std::exception&) {
            throw EQxMulti("No dictionary data! Set the FileName property.");
        }
        return;
    }
    std::string identity;
    std::unique_ptr<TQxGLDFile> reader = OpenWithRecordStarts(identity);
    if (index < 0 || index >= reader->LocaleCount()) OutOfRange();
    locale.Assign(*reader->ReadLocaleAt(index));
    KeepRecordStarts(*reader, identity);
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

// A load that fails part-way keeps what it appended, sorted by the rule the lookups use, so
// the list stays searchable.
void TQxBinaryDictionary::LoadTranslations() {
    ClearTranslations();
    try {
        if (UsesStream())
            LoadFromStream();
        else
            LoadEmbedded();
    } catch (...) {
        SortTranslations();
        throw;
    }
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
