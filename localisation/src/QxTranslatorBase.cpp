// The translator base: binding to a dictionary by name and the open state.
#include "qx/QxTranslatorBase.h"

#include "qx/QxDictionary.h"

namespace qx {

KXC_IMPLEMENT_CLASS(TQxCustomTranslator)

void TQxCustomTranslator::DescribeClass(kxc::TClassBuilder<TQxCustomTranslator>& c) {
    c.Str("DictionaryName", &TQxCustomTranslator::DictionaryName,
          &TQxCustomTranslator::SetDictionaryName);
    c.Event("OnAfterTranslate", &TQxCustomTranslator::OnAfterTranslate, "TQxTranslateEvent");
    c.Event("OnBeforeTranslate", &TQxCustomTranslator::OnBeforeTranslate, "TQxTranslateEvent");
    c.Event("OnLanguageChange", &TQxCustomTranslator::OnLanguageChange);
    c.Event("OnLocaleChange", &TQxCustomTranslator::OnLocaleChange);
}

TQxCustomTranslator::TQxCustomTranslator(kxc::TComponent* owner) : kxc::TComponent(owner) {
    if (Designing() && Dictionaries && Dictionaries->Count() > 0) {
        CheckDefaultDictionaryIndex();
        SetDictionary(Dictionaries->Items(static_cast<int32_t>(DefaultDictionaryIndex)));
    }
}

// A translator that goes while registered must not stay in its dictionary's list.
TQxCustomTranslator::~TQxCustomTranslator() {
    if (dictionary_) dictionary_->UnregisterTranslator(this);
}

void TQxCustomTranslator::SetDictionary(TQxDictionary* dictionary) {
    if (dictionary != dictionary_) {
        if (!Designing() && IsOpen()) Detach();
        dictionary_ = dictionary;
        if (dictionary) dictionaryName_ = dictionary->DictionaryName();
    }
    if (dictionary_) dictionary_->FreeNotification(this);
}

void TQxCustomTranslator::SetDictionaryName(const std::string& name) {
    if (name == dictionaryName_) return;
    SetDictionary(Dictionaries ? Dictionaries->Find(name) : nullptr);
    dictionaryName_ = name;
}

void TQxCustomTranslator::Changed(bool, bool) {}

void TQxCustomTranslator::Open() { state_ |= qxtsOpen; }

void TQxCustomTranslator::Close() {
    if (IsOpen() && dictionary_) dictionary_->UnregisterTranslator(this);
    dictionary_ = nullptr;
    state_ = 0;
}

void TQxCustomTranslator::Detach() { Close(); }

void TQxCustomTranslator::Notification(kxc::TComponent* component, kxc::TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == kxc::opRemove && component != nullptr && component == dictionary_) {
        dictionary_ = nullptr;
        state_ = 0;
    }
}

#ifndef _WIN32
// System menus exist only on Windows.
void TQxCustomTranslator::TranslateSystemMenu(TQxWindowHandle) {}
#endif

}  // namespace qx
