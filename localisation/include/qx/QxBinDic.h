// Unit QxBinDic: TQxBinaryDictionary, the dictionary component that the forms use. Its
// languages, locales and translations are GLD data taken, as Storage says, from the file
// FileName, from the program's resource of type "GLOSSAVANT" named "GlDictionary", or from a
// copy embedded in the description of the form that owns it.
//
// Nothing is kept open: every count, language or locale query opens the data, reads the
// header and what it needs, and closes them again. Only the translations of the language in
// use are held, in the sorted list of TQxCustomDictionary, reloaded on each language change.
// For a file that has not changed since the last language or locale query (same size, time
// and header), the dictionary remembers where the records read so far start, so that asking
// for every index in turn reads each record once.
//
// Embedded storage: the properties "Languages", "Translations" and "Locales" (QxEmbedded.h)
// are counted while the form loads and read again from the form's resource for every query.
// While the form is written, they are copied from the GLD file FileName when it exists and
// holds 8-bit texts; otherwise nothing is stored and a box says why ("File not found",
// "Unicode not supported").
//
// Raises: rtl::Exception "No FileName property set" from every stream operation while the
// stored FileName is empty (whatever the storage); rtl::EFOpenError "Cannot open file %s"
// (the name as resolved) when the file cannot be opened; rtl::EResNotFound when the resource
// does not exist; the reader's errors for malformed GLD data; EQxMulti "No dictionary data!
// Set the FileName property." when an embedded locale cannot be read (its index outside the
// count included); the embedded data's errors otherwise; rtl::ERangeError "Out of language
// range" from GetLanguage, and from GetLocale on a stream, for an index below 0 or at or
// after the count. A load that fails leaves the list with the
// entries appended before it, sorted.
// Ownership: the languages and locales GetLanguages/GetLocales append belong to the caller;
// no reader or stream outlives the operation that opened it. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qx/QxAMulti.h"

namespace qx {

class TQxGLDFile;

// The resource that resource storage reads.
constexpr const char* QxDictionaryResourceType = "GLOSSAVANT";
constexpr const char* QxDictionaryResourceName = "GlDictionary";

class TQxBinaryDictionary : public TQxCustomFileDictionary {
    KXC_CLASS(TQxBinaryDictionary, TQxCustomFileDictionary)
public:
    explicit TQxBinaryDictionary(kxc::TComponent* owner);

    // With embedded storage, the properties "Languages", "Translations" and "Locales".
    void DefineProperties(kxc::TFiler& filer) override;

    // A reader over the data with its header read (HasContexts set from its context type);
    // the caller frees it.
    std::unique_ptr<TQxGLDFile> OpenDictionaryStream();

    int32_t GetLanguageCount() override;
    void GetLanguage(int32_t index, TQxLanguage& language) override;
    int32_t GetLocaleCount() override;
    void GetLocale(int32_t index, TQxLocale& locale) override;
    // The number of entries in the data, not of the loaded list.
    int32_t GetTranslationCount() override;
    void GetLanguages(TQxLanguageList& list) override;
    void GetLocales(TQxLocaleList& list) override;
    void LoadTranslations() override;

    // The counting readers of the embedded properties, run while the form loads.
    virtual void ReadLanguages(kxc::TReader& reader);
    virtual void ReadTranslations(kxc::TReader& reader);
    virtual void ReadLocales(kxc::TReader& reader);

    // The writers of the embedded properties: the data of the GLD file FileName.
    void WriteLanguages(kxc::TWriter& writer);
    void WriteTranslations(kxc::TWriter& writer);
    void WriteLocales(kxc::TWriter& writer);

    int32_t EmbeddedLanguageCount() const { return embeddedLanguageCount_; }
    int32_t EmbeddedTranslationCount() const { return embeddedTranslationCount_; }
    int32_t EmbeddedLocaleCount() const { return embeddedLocaleCount_; }

private:
    // File or resource storage, or embedded storage while designing with the file present.
    bool UsesStream();
    void LoadFromStream();
    void LoadEmbedded();
    // While writing: whether the file FileName can give the embedded data (a box when not).
    bool CanStoreEmbeddedData();
    // OpenDictionaryStream with the record starts remembered for the same, unchanged file;
    // KeepRecordStarts takes them back after a successful read.
    std::unique_ptr<TQxGLDFile> OpenWithRecordStarts(std::string& identity);
    void KeepRecordStarts(TQxGLDFile& reader, const std::string& identity);

    int32_t embeddedLanguageCount_ = 0;
    int32_t embeddedTranslationCount_ = 0;
    int32_t embeddedLocaleCount_ = 0;
    // What the record starts below belong to (empty: nothing remembered).
    std::string startsIdentity_;
    std::vector<int64_t> languageStarts_;
    std::vector<int64_t> localeStarts_;
};

}  // namespace qx
