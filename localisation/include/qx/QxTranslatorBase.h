// TQxCustomTranslator: the base of the form translator. It binds to a dictionary of the
// registry by DictionaryName, keeps the open state, hears of the dictionary's destruction and
// translates a window's system menu; the translator component overrides the six virtual
// operations.
//
// Raises: rtl::ERangeError from the constructor at design time when DefaultDictionaryIndex
// is out of range; the translations of TranslateSystemMenu raise what the dictionary's
// missing-translation policy raises.
// Ownership: the dictionary is not owned. A translator freed while registered leaves its
// dictionary's list.
#pragma once

#include <cstdint>
#include <string>

#include "components/classes.h"

namespace qx {

class TQxDictionary;
class TQxCustomTranslator;

using TQxTranslateEvent = kxc::TEvent<TQxCustomTranslator*>;
// A window handle as the platform gives it (HWND on Windows).
using TQxWindowHandle = void*;

class TQxCustomTranslator : public kxc::TComponent {
    KXC_CLASS(TQxCustomTranslator, kxc::TComponent)
public:
    // At design time binds the default dictionary; at run time binds nothing.
    explicit TQxCustomTranslator(kxc::TComponent* owner);
    ~TQxCustomTranslator() override;

    TQxDictionary* Dictionary() const { return dictionary_; }
    // A different dictionary: an open translator detaches first (run time); the stored name
    // becomes the new dictionary's name.
    void SetDictionary(TQxDictionary* dictionary);
    const std::string& DictionaryName() const { return dictionaryName_; }
    // A different name binds the registry's dictionary of that name (none unbinds) and is
    // kept even when no dictionary has it yet.
    void SetDictionaryName(const std::string& name);

    static constexpr uint8_t qxtsOpen = 1;  // state flag: the translator is open
    uint8_t State() const { return state_; }
    bool IsOpen() const { return (state_ & qxtsOpen) != 0; }

    // Translates the English captions of the window's system menu items through the bound
    // dictionary, keeping the key text after a tab; nothing without a dictionary or window.
    void TranslateSystemMenu(TQxWindowHandle window);

    virtual TQxWindowHandle GetWindowHandle() { return nullptr; }
    virtual void Translate() {}
    virtual void Changed(bool languageChanged, bool localeChanged);
    // Sets the open flag.
    virtual void Open();
    // Leaves the dictionary's list when open and bound; then unbound and all flags clear.
    virtual void Close();
    // Ends an open binding when the dictionary changes under the translator: Close.
    virtual void Detach();

    TQxTranslateEvent OnBeforeTranslate;
    TQxTranslateEvent OnAfterTranslate;
    kxc::TNotifyEvent OnLocaleChange;
    kxc::TNotifyEvent OnLanguageChange;

protected:
    // The bound dictionary going away drops the reference; DictionaryName stays.
    void Notification(kxc::TComponent* component, kxc::TOperation operation) override;
    void SetState(uint8_t state) { state_ = state; }

private:
    uint8_t state_ = 0;
    TQxDictionary* dictionary_ = nullptr;
    std::string dictionaryName_;
};

}  // namespace qx
