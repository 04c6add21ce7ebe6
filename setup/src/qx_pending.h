// Stand-ins for the localisation components that setup's form descriptions name, until the
// run-time localisation library is linked in: the binary dictionary and the form translator,
// with the classes and published properties the descriptions store, and single-string
// translation. Nothing here translates: every text stays as the form gives it.
//
// Raises: TQxBinaryDictionary::LanguageCount raises rtl::EFOpenError "Cannot open file
// "<FileName>". <reason>" when the dictionary file is neither in the current folder nor beside
// the program. Ownership: both components belong to their form.
#pragma once

#include <memory>
#include <string>

#include "components/classes.h"
#include "qx/QxTargets.h"
#include "startup.h"

// The wizard's dictionary. Only the native language exists, so the language choice of the
// start-up never changes anything.
class TQxBinaryDictionary : public kxc::TComponent, public ILanguageChoice {
    KXC_CLASS(TQxBinaryDictionary, kxc::TComponent)
public:
    explicit TQxBinaryDictionary(kxc::TComponent* owner);

    const std::string& DictionaryName() const { return dictionaryName_; }
    void SetDictionaryName(const std::string& v) { dictionaryName_ = v; }
    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& v) { fileName_ = v; }

    // The dictionary file as it is looked for: the current folder, then the program's folder;
    // empty when it is in neither.
    std::string FindDictionaryFile() const;

    // ILanguageChoice: one language (the native one) once the file is found.
    int LanguageCount() override;
    std::string EnglishName(int index) override;
    bool IsCodePageSupported(int index) override;
    void SetLanguage(int index) override;

private:
    std::string dictionaryName_;
    std::string fileName_;
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

// The text in the current language: without a dictionary language, the text itself.
std::string TranslateString(const std::string& text);
