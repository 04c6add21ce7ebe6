// Stand-ins for the localisation components that setup's form descriptions name, until the
// localisation library has them: the binary dictionary (a real dictionary component that
// does not read its file yet) and the form translator, with the classes and published
// properties the descriptions store. Nothing here translates: every text stays as the form
// gives it.
//
// Raises: TQxBinaryDictionary::GetLanguageCount raises rtl::EFOpenError "Cannot open file
// "<FileName>". <reason>" when the dictionary file is neither in the current folder nor beside
// the program. Ownership: both components belong to their form.
#pragma once

#include <memory>
#include <string>

#include "components/classes.h"
#include "qx/QxDictionary.h"
#include "qx/QxTargets.h"
#include "startup.h"

// The wizard's dictionary. Only the native language exists and it holds no translation, so
// the language choice of the start-up never changes anything.
class TQxBinaryDictionary : public qx::TQxDictionary {
    KXC_CLASS(TQxBinaryDictionary, qx::TQxDictionary)
public:
    explicit TQxBinaryDictionary(kxc::TComponent* owner);

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& v) { fileName_ = v; }

    // The dictionary file as it is looked for: the current folder, then the program's folder;
    // empty when it is in neither.
    std::string FindDictionaryFile() const;

    // One language (the native one) once the file is found; no locales, no translations.
    int32_t GetLanguageCount() override;
    void GetLanguage(int32_t index, qx::TQxLanguage& language) override;
    int32_t GetLocaleCount() override { return 0; }
    void GetLocale(int32_t index, qx::TQxLocale& locale) override;
    bool FindContextTranslation(const std::string& native, const std::string& contextA,
                                const std::string& contextB, std::string& translation) override;

private:
    std::string fileName_;
};

// The language choice of the start-up over a dictionary component (bound before use).
class TDictionaryLanguageChoice : public ILanguageChoice {
public:
    void Bind(qx::TQxDictionary* dictionary) { dictionary_ = dictionary; }
    int LanguageCount() override { return dictionary_->GetLanguageCount(); }
    std::string EnglishName(int index) override;
    bool IsCodePageSupported(int index) override;
    void SetLanguage(int index) override { dictionary_->SetLanguage(index); }

private:
    qx::TQxDictionary* dictionary_ = nullptr;
};

// The form translator. It keeps the targets its description stores (written back as the
// translator stores them) and translates nothing.
class TQxTranslator : public kxc::TComponent {
    KXC_CLASS(TQxTranslator, kxc::TComponent)
public:
    explicit TQxTranslator(kxc::TComponent* owner);
    ~TQxTranslator() override;

    const std::string& DictionaryName() const { return dictionaryName_; }
    void SetDictionaryName(const std::string& v) { dictionaryName_ = v; }
    qx::TQxTargetProperties* Targets() const { return targets_.get(); }
    // Copies the given list.
    void SetTargets(qx::TQxTargetProperties* v) { targets_->Assign(v); }

    void DefineProperties(kxc::TFiler& filer) override;

private:
    std::string dictionaryName_;
    std::unique_ptr<qx::TQxTargetProperties> targets_;
};

// Makes both classes known to the form reader (once; later calls do nothing).
void RegisterQxPendingClasses();
