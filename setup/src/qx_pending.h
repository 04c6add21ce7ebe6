// The localisation components that setup's form descriptions name: the binary dictionary of
// the localisation library, and a stand-in for the form translator until the library has it.
// The stand-in opens its dictionary when its form has loaded and registers with it, so that
// the start-up's language choice reaches an open dictionary and single texts (the page
// captions) come translated; it rewrites no property of its form.
//
// Raises: the stand-in's Open raises qx::EQxMulti "No dictionary has been assigned to the
// translator component (%s on "%s" form)" when no dictionary exists at run time; what the
// dictionary's opening raises passes through. Ownership: both components belong to their
// form; the dictionary does not own the translators registered with it.
#pragma once

#include <memory>
#include <string>

#include "components/classes.h"
#include "qx/QxBinDic.h"
#include "qx/QxDictionary.h"
#include "qx/QxTargets.h"
#include "qx/QxTranslatorBase.h"
#include "startup.h"

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
// translator stores them), opens its dictionary and translates nothing.
class TQxTranslator : public qx::TQxCustomTranslator {
    KXC_CLASS(TQxTranslator, qx::TQxCustomTranslator)
public:
    explicit TQxTranslator(kxc::TComponent* owner);
    ~TQxTranslator() override;

    qx::TQxTargetProperties* Targets() const { return targets_.get(); }
    // Copies the given list.
    void SetTargets(qx::TQxTargetProperties* v) { targets_->Assign(v); }

    void DefineProperties(kxc::TFiler& filer) override;
    // At run time, with a dictionary bound or in the registry: Open.
    void Loaded() override;
    // Binds the dictionary named by DictionaryName (else the registry's first); with an
    // enabled, available dictionary and targets: opens it when closed and registers.
    void Open() override;

private:
    std::unique_ptr<qx::TQxTargetProperties> targets_;
};

// Makes both classes known to the form reader (once; later calls do nothing).
void RegisterQxPendingClasses();
