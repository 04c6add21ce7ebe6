#include "qx_pending.h"

#include "components/filer.h"
#include "qx/QxDictio.h"
#include "rtl/strutil.h"

std::string TDictionaryLanguageChoice::EnglishName(int index) {
    return dictionary_->GetLanguageInfo(index)->EnglishName;
}

bool TDictionaryLanguageChoice::IsCodePageSupported(int index) {
    return qx::TQxDictionary::IsLanguageCodePageSupported(*dictionary_->GetLanguageInfo(index));
}

KXC_IMPLEMENT_CLASS(TQxTranslator)

void TQxTranslator::DescribeClass(kxc::TClassBuilder<TQxTranslator>& c) {
    c.Object<qx::TQxTargetProperties>("Targets", &TQxTranslator::Targets,
                                      &TQxTranslator::SetTargets);
}

TQxTranslator::TQxTranslator(kxc::TComponent* owner)
    : qx::TQxCustomTranslator(owner), targets_(std::make_unique<qx::TQxTargetProperties>()) {}

TQxTranslator::~TQxTranslator() { Close(); }

void TQxTranslator::DefineProperties(kxc::TFiler& filer) {
    inherited::DefineProperties(filer);
    auto* ancestor = dynamic_cast<TQxTranslator*>(filer.Ancestor());
    qx::DefineTargetsData(filer, *targets_, ancestor ? ancestor->Targets() : nullptr);
}

void TQxTranslator::Loaded() {
    inherited::Loaded();
    if (Designing()) return;
    if (Dictionary() || (qx::Dictionaries && qx::Dictionaries->Count() > 0)) Open();
}

void TQxTranslator::Open() {
    if (IsOpen()) {
        inherited::Open();
        return;
    }
    if (!Dictionary()) {
        if (!qx::Dictionaries || qx::Dictionaries->Count() == 0) {
            if (Designing()) return;
            const std::string root = Owner() ? Owner()->Name() : std::string();
            throw qx::EQxMulti(rtl::Format(
                "No dictionary has been assigned to the translator component (%s on \"%s\" form)",
                Name().c_str(), root.c_str()));
        }
        qx::TQxDictionary* named =
            DictionaryName().empty() ? nullptr : qx::Dictionaries->Find(DictionaryName());
        SetDictionary(named ? named : qx::Dictionaries->Items(0));
    }
    qx::TQxDictionary* dictionary = Dictionary();
    if (!dictionary->Enabled() || dictionary->IsDesigning() || !dictionary->IsAvailable() ||
        targets_->Count() == 0)
        return;
    if (!dictionary->IsOpen()) dictionary->OpenDictionary();
    dictionary->RegisterTranslator(this);
    inherited::Open();
}

void RegisterQxPendingClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    kxc::RegisterComponentClass(qx::TQxBinaryDictionary::StaticClass());
    kxc::RegisterComponentClass(TQxTranslator::StaticClass());
}
