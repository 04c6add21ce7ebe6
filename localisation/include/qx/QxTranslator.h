// TQxTranslator: the component that makes one form follow the language of a dictionary. Once
// its form has loaded it opens: it binds its dictionary (by DictionaryName, else the
// registry's first), translates the form and registers with the dictionary, which calls
// Changed on every language or locale change from then on. A pass (Translate) applies the
// language's font to the form, walks the root and every component it owns (owned components
// first) and rewrites the published text properties that Targets selects, translates the
// system menu, scales the form for Far-East languages and mirrors the controls for
// right-to-left ones. Every text is translated from its native text, kept in the translator's
// cache, so the form can change language any number of times and come back to its native
// texts (Detach, RestoreNative).
//
// Windows build only (it works on the controls of platform/components).
//
// Raises: EQxMulti "No dictionary has been assigned to the translator component (%s on
// "%s" form)" from Open at run time with an empty dictionary registry; EQxMulti "Cannot scale
// a form (<Name>) that has AutoScroll property set True" from a pass that would scale such a
// form; what the dictionary, the event handlers and the property setters raise passes
// through. Ownership: the translator owns its targets, its cache and its mirroring states;
// the root, the dictionary and the controls are not owned, and the translator forgets each of
// them when it is freed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/controls.h"
#include "qx/QxTargets.h"
#include "qx/QxTranslatorBase.h"
#include "qx/QxTranslatorTable.h"

namespace qx {

class TQxTranslator;

enum TQxReadingOrder : uint8_t { qxroLeftToRight, qxroRightToLeft };
enum TQxCharsetChange : uint8_t { qxccDisabled, qxccNormal, qxccAll };

// TQxTranslatorOptions: a set held as a bit mask (bit n = the n-th element).
enum TQxTranslatorOption : uint32_t {
    qxtoAutoTranslate = 1u << 0,
    qxtoCheckFont = 1u << 1,
    qxtoScaleMultiByte = 1u << 2,
    qxtoMirrorBiDirectional = 1u << 3,
    qxtoChangeFontCharset = 1u << 4,  // stored only
    qxtoUpdateLocaleProperty = 1u << 5,
    qxtoAutoOpen = 1u << 6,
    qxtoTranslateSystemMenu = 1u << 7,
    qxtoTranslateOCX = 1u << 8,
    qxtoForceCharsetChange = 1u << 9,  // stored only
};
using TQxTranslatorOptions = uint32_t;
constexpr TQxTranslatorOptions QxDefaultTranslatorOptions = 463;

// TQxRestrictions: what the walk leaves out for one component (a set, bit n = element n).
enum TQxRestriction : uint32_t {
    qxrsProperties = 1u << 0,  // its own published properties
    qxrsSpecial = 1u << 1,     // TranslateSpecial
    qxrsBiDi = 1u << 2,        // the mirroring step and the "locale" property
    qxrsRealign = 1u << 3,     // Realign
    qxrsThisOnly = 1u << 4,    // the components it owns get no restrictions instead
    qxrsCharset = 1u << 5,     // fonts keep their character set
};
using TQxRestrictions = uint32_t;

extern const kxc::TEnumInfo QxReadingOrderInfo;
extern const kxc::TEnumInfo QxCharsetChangeInfo;
extern const kxc::TEnumInfo QxTranslatorOptionsInfo;

using TQxTranslateNotifyEvent = kxc::TEvent<TQxTranslator*, kxc::TComponent*>;
using TQxRestrictComponentEvent = kxc::TEvent<TQxTranslator*, kxc::TComponent*, TQxRestrictions&>;
using TQxRestrictObjectEvent = kxc::TEvent<TQxTranslator*, kxc::TObject*, bool&>;
using TQxRestrictPropertyEvent =
    kxc::TEvent<TQxTranslator*, kxc::TObject*, const std::string&, bool&>;

// Where a control stands with respect to mirroring; one per control met with mirroring on.
class TQxBidirectionalState {
public:
    virtual ~TQxBidirectionalState();
    virtual const char* ClassName() const { return "TQxBidirectionalState"; }

    kxc::TControl* Control = nullptr;  // not owned
    bool Mirrored = false;             // the control stands at its mirrored position
    int32_t OriginalLeft = 0;          // its Left when the record was made
    uint8_t ReadingOrder = 0;          // 1 right to left, 0 left to right, as last applied
};

// The translator extension modules. This system has none, so every answer is False (not
// handled), and the translator does each step itself.
class TQxModules {
public:
    virtual ~TQxModules();
    virtual const char* ClassName() const { return "TQxModules"; }
    bool TranslateSpecial(TQxTranslator* translator, kxc::TComponent* control);
    bool MirrorControl(TQxTranslator* translator, kxc::TControl* control,
                       TQxBidirectionalState& state);
    bool UnmirrorControl(TQxTranslator* translator, kxc::TControl* control,
                         TQxBidirectionalState& state);
    bool Realign(TQxTranslator* translator, kxc::TComponent* component);
};
// The process-wide module list, alive from start-up to shut-down.
extern TQxModules* Modules;

class TQxTranslator : public TQxCustomTranslator {
    KXC_CLASS(TQxTranslator, TQxCustomTranslator)
public:
    explicit TQxTranslator(kxc::TComponent* owner);
    ~TQxTranslator() override;

    // State flags besides the base's open flag.
    static constexpr uint8_t qxtsScaled = 2;
    static constexpr uint8_t qxtsMirrored = 4;
    bool IsScaled() const { return (State() & qxtsScaled) != 0; }
    bool IsMirrored() const { return (State() & qxtsMirrored) != 0; }

    // ---- Published properties ----
    TQxReadingOrder NativeLayout() const { return nativeLayout_; }
    void SetNativeLayout(TQxReadingOrder v) { nativeLayout_ = v; }
    TQxTargetProperties* Targets() const { return targets_.get(); }
    // Copies the given list.
    void SetTargets(TQxTargetProperties* v) { targets_->Assign(v); }
    TQxCharsetChange CharsetChange() const { return charsetChange_; }
    void SetCharsetChange(TQxCharsetChange v) { charsetChange_ = v; }
    TQxTranslatorOptions Options() const { return options_; }
    void SetOptions(TQxTranslatorOptions v) { options_ = v & 0x3FF; }
    // Percent; 0 or below counts as 100 (no scaling).
    int32_t MultiByteScale() const { return multiByteScale_; }
    void SetMultiByteScale(int32_t v) { multiByteScale_ = v; }
    TQxTranslateNotifyEvent OnTranslate;
    TQxTranslateNotifyEvent OnScale;
    TQxRestrictComponentEvent OnRestrictComponent;
    TQxRestrictObjectEvent OnRestrictObject;
    TQxRestrictPropertyEvent OnRestrictProperty;

    // TargetsData (against the writer's ancestor translator).
    void DefineProperties(kxc::TFiler& filer) override;
    // Opens at run time with qxtoAutoOpen when a dictionary is bound or registered.
    void Loaded() override;

    // The root's window when the root is a windowed control that has one; never creates it.
    TQxWindowHandle GetWindowHandle() override;
    // One pass over the root.
    void Translate() override;
    // An open translator retranslates (with qxtoAutoTranslate); then the change events.
    void Changed(bool languageChanged, bool localeChanged) override;
    // First time: binds a dictionary, opens it, remembers the form's font, translates,
    // registers. Open already: translates again.
    void Open() override;
    // Unregisters and unbinds; empties the cache and forgets the root. The form keeps its
    // texts, layout and size.
    void Close() override;
    // An open translator writes the native texts back first; then Close.
    void Detach() override;

    kxc::TComponent* RootComponent() const { return rootComponent_; }
    // RootComponent when set, else the owner.
    virtual kxc::TComponent* Root() const;
    virtual void TranslateComponentProperties(kxc::TObject* object, TQxRestrictions restrictions);
    virtual void TranslateComponent(kxc::TComponent* component, TQxRestrictions restrictions);
    virtual void ApplyFont();
    virtual void MirrorControl(kxc::TControl* control, TQxBidirectionalState& state);
    virtual void UnmirrorControl(kxc::TControl* control, TQxBidirectionalState& state);
    // A memo's Text when Targets selects it.
    virtual void TranslateSpecial(kxc::TComponent* control);
    virtual bool Realign(kxc::TComponent* component);
    // RootComponent := component, then Open.
    virtual void TranslateRoot(kxc::TComponent* component);
    virtual void TranslateForm(kxc::TComponent* component);
    // Back to the dictionary's native language (language 0) and closed; the dictionary keeps
    // its locale and options and stays at language 0.
    virtual void RestoreNative();
    virtual void RealignMirrored(kxc::TControl* control);
    virtual void RealignAllMirrored();

    // Design time: the targets found on the root and the components it owns, added to
    // `targets` (errors shown in the detection's error box), and those of one object (errors
    // passed on). A translator created on a designed form, not while the form is read, runs
    // the first by the tool's "Detect" setting; one that hears of a component inserted into
    // its designed form runs the second for it, under the same error box.
    void DetectFormTargets(TQxTargetProperties* targets);
    void DetectTargets(kxc::TObject* object, TQxTargetProperties* targets);

    // The control's state record; a new one (at the control's current Left) when there is
    // none and `create` is set, else nullptr.
    TQxBidirectionalState* FindBiDiState(kxc::TControl* control, bool create);
    int32_t BiDiStateCount() const { return static_cast<int32_t>(biDiStates_.size()); }

    // The text to write for `text` of property `propertyName` of `object` (line `index` of a
    // list, -1 for the property's own value), from the native text the cache holds for it.
    std::string TranslateValue(kxc::TObject* object, const std::string& componentName,
                               const std::string& text, const std::string& propertyName,
                               int32_t index = -1);
    // Every line through TranslateValue; change notifications held, a sorted list sorted
    // again afterwards.
    void TranslateLines(kxc::TObject* object, const std::string& componentName,
                        kxc::TStrings* strings, const std::string& propertyName);

    const TQxTranslatorTable& Table() const { return *table_; }
    uint8_t CurrentReadingOrder() const { return currentReadingOrder_; }

protected:
    // A component that is destroyed takes its cache items, its mirroring state and its part of
    // the remembered scaling with it (one only taken out of its owner keeps them); one inserted
    // into a designed form has its targets detected.
    void Notification(kxc::TComponent* component, kxc::TOperation operation) override;

private:
    struct Bounds {
        int Left, Top, Width, Height;
    };
    static Bounds BoundsOf(const kxc::TControl* control);
    // One control of a scaled form: its bounds and font height before the scaling and as the
    // scaling left them, and whether it stood mirrored then.
    struct ScaledControl {
        kxc::TControl* Control;
        Bounds Unscaled, Scaled;
        int32_t FontHeight, ScaledFontHeight;
        bool Mirrored;
    };

    void OpenFirstTime();
    void BindDictionary();
    void RememberFormFont();
    void TranslateWithMenusHeld(kxc::TComponent* root);
    void TranslateOwnedComponents(kxc::TComponent* component, TQxRestrictions restrictions);
    void MirrorStep(kxc::TComponent* component, TQxRestrictions restrictions);
    void TranslateStringProperty(kxc::TObject* object, const kxc::TPropInfo* prop,
                                 const std::string& componentName);
    void TranslateObjectProperty(kxc::TObject* object, const kxc::TPropInfo* prop,
                                 const std::string& componentName, TQxRestrictions restrictions);
    void TranslateListProperty(kxc::TObject* object, kxc::TStrings* strings,
                               const std::string& componentName, const std::string& propertyName);
    void ApplyCharset(kxc::TObject* object, kxc::TFont* font, TQxRestrictions restrictions);
    std::string LookupTranslation(const std::string& native, const std::string& nativeKey,
                                  const std::string& componentName, bool hadHotKey);
    void ScaleStep(bool formFontApplied);
    void ScaleUp(kxc::TWinControl* root, int32_t scale);
    void ScaleBack(kxc::TWinControl* root, int32_t scale, bool formFontApplied);
    void MirrorFlagStep();
    bool Visited(const kxc::TObject* object) const;
    // Whether the translator keeps anything of `component`.
    bool Keeps(const kxc::TComponent* component) const;

    TQxReadingOrder nativeLayout_ = qxroLeftToRight;
    std::unique_ptr<TQxTargetProperties> targets_;
    TQxCharsetChange charsetChange_ = qxccNormal;
    TQxTranslatorOptions options_ = QxDefaultTranslatorOptions;
    int32_t multiByteScale_ = 100;

    kxc::TComponent* rootComponent_ = nullptr;
    std::unique_ptr<TQxTranslatorTable> table_;
    std::vector<const kxc::TObject*> visitedObjects_;
    uint8_t currentReadingOrder_ = 0;
    std::string formFontName_;
    int32_t formFontSize_ = 0;
    std::vector<std::unique_ptr<TQxBidirectionalState>> biDiStates_;
    // The component whose properties the walk is in (cache items belong to it).
    kxc::TComponent* walkComponent_ = nullptr;
    // The Far-East scaling in force: the root, the factor, and every control's bounds and font
    // before and after (kept across Close, so that a form is never scaled twice).
    kxc::TWinControl* scaledRoot_ = nullptr;
    int32_t scaledBy_ = 100;
    std::vector<ScaledControl> unscaled_;
};

// The class names a context lookup tries for a form of class `rootClass`: its own, then its
// ancestors' up to (not including) TForm, TCustomForm or TComponent.
std::vector<std::string> ContextClassNames(const kxc::TClassInfo* rootClass);

}  // namespace qx
