#include "qx/QxTranslator.h"

#include <windows.h>

#include <algorithm>

#include "components/forms.h"
#include "components/listctrls.h"
#include "components/menus.h"
#include "components/stdctrls.h"
#include "qx/QxDictionary.h"
#include "qx/QxPropInfo.h"
#include "qx/QxTargetDetection.h"
#include "rtl/strutil.h"

namespace qx {

const kxc::TEnumInfo QxReadingOrderInfo{"TQxReadingOrder", {"qxroLeftToRight", "qxroRightToLeft"}};
const kxc::TEnumInfo QxCharsetChangeInfo{"TQxCharsetChange",
                                         {"qxccDisabled", "qxccNormal", "qxccAll"}};
const kxc::TEnumInfo QxTranslatorOptionsInfo{
    "TQxTranslatorOptions",
    {"qxtoAutoTranslate", "qxtoCheckFont", "qxtoScaleMultiByte", "qxtoMirrorBiDirectional",
     "qxtoChangeFontCharset", "qxtoUpdateLocaleProperty", "qxtoAutoOpen",
     "qxtoTranslateSystemMenu", "qxtoTranslateOCX", "qxtoForceCharsetChange"}};

// ---- Records and the module list --------------------------------------------------------

TQxBidirectionalState::~TQxBidirectionalState() = default;

TQxModules::~TQxModules() = default;
bool TQxModules::TranslateSpecial(TQxTranslator*, kxc::TComponent*) { return false; }
bool TQxModules::MirrorControl(TQxTranslator*, kxc::TControl*, TQxBidirectionalState&) {
    return false;
}
bool TQxModules::UnmirrorControl(TQxTranslator*, kxc::TControl*, TQxBidirectionalState&) {
    return false;
}
bool TQxModules::Realign(TQxTranslator*, kxc::TComponent*) { return false; }

namespace {
TQxModules g_modules;
}  // namespace
TQxModules* Modules = &g_modules;

std::vector<std::string> ContextClassNames(const kxc::TClassInfo* rootClass) {
    std::vector<std::string> names;
    for (const kxc::TClassInfo* c = rootClass; c; c = c->Parent()) {
        if (!names.empty() &&
            (c->Name() == "TForm" || c->Name() == "TCustomForm" || c->Name() == "TComponent"))
            break;
        names.push_back(c->Name());
    }
    return names;
}

namespace {

bool IsMenuItem(const kxc::TObject* object) {
    return object && object->InheritsFrom(std::string("TMenuItem"));
}

int32_t EffectiveScale(int32_t scale) { return scale > 0 ? scale : 100; }

// A snapshot of the components `c` owns: a handler may free some of them meanwhile.
std::vector<kxc::TComponent*> OwnedComponents(const kxc::TComponent* c) {
    std::vector<kxc::TComponent*> list;
    for (int i = 0; i < c->ComponentCount(); ++i) list.push_back(c->Components(i));
    return list;
}

bool StillOwns(const kxc::TComponent* owner, const kxc::TComponent* c) {
    for (int i = 0; i < owner->ComponentCount(); ++i)
        if (owner->Components(i) == c) return true;
    return false;
}

// The root and every control inside it, parents before their children.
void CollectControls(kxc::TControl* c, std::vector<kxc::TControl*>& list) {
    list.push_back(c);
    if (auto* w = dynamic_cast<kxc::TWinControl*>(c))
        for (int i = 0; i < w->ControlCount(); ++i) CollectControls(w->Controls(i), list);
}

}  // namespace

// ---- The component -----------------------------------------------------------------------

KXC_IMPLEMENT_CLASS(TQxTranslator)

void TQxTranslator::DescribeClass(kxc::TClassBuilder<TQxTranslator>& c) {
    c.Enum<TQxReadingOrder>("NativeLayout", &TQxTranslator::NativeLayout,
                            &TQxTranslator::SetNativeLayout, QxReadingOrderInfo)
        .DefaultValue(qxroLeftToRight);
    c.Object<TQxTargetProperties>("Targets", &TQxTranslator::Targets, &TQxTranslator::SetTargets);
    c.Enum<TQxCharsetChange>("CharsetChange", &TQxTranslator::CharsetChange,
                             &TQxTranslator::SetCharsetChange, QxCharsetChangeInfo)
        .DefaultValue(qxccNormal);
    c.Set("Options", &TQxTranslator::Options, &TQxTranslator::SetOptions, QxTranslatorOptionsInfo)
        .DefaultValue(QxDefaultTranslatorOptions);
    c.Int("MultiByteScale", &TQxTranslator::MultiByteScale, &TQxTranslator::SetMultiByteScale)
        .DefaultValue(100);
    c.Event("OnTranslate", &TQxTranslator::OnTranslate, "TQxTranslateNotifyEvent");
    c.Event("OnScale", &TQxTranslator::OnScale, "TQxTranslateNotifyEvent");
    c.Event("OnRestrictComponent", &TQxTranslator::OnRestrictComponent,
            "TQxRestrictComponentEvent");
    c.Event("OnRestrictObject", &TQxTranslator::OnRestrictObject, "TQxRestrictObjectEvent");
    c.Event("OnRestrictProperty", &TQxTranslator::OnRestrictProperty, "TQxRestrictPropertyEvent");
}

TQxTranslator::TQxTranslator(kxc::TComponent* owner)
    : TQxCustomTranslator(owner),
      targets_(std::make_unique<TQxTargetProperties>()),
      table_(std::make_unique<TQxTranslatorTable>()) {
    // Dropped on a form being designed (not read from its description): propose targets.
    if (Designing() && !(Owner() && (Owner()->Loading() || Owner()->Reading())))
        RunDropTimeDetection(Root(), *targets_);
}

void TQxTranslator::DetectFormTargets(TQxTargetProperties* targets) {
    qx::DetectFormTargets(Root(), *targets);
}

void TQxTranslator::DetectTargets(kxc::TObject* object, TQxTargetProperties* targets) {
    qx::DetectTargets(object, *targets);
}

TQxTranslator::~TQxTranslator() { Close(); }

void TQxTranslator::DefineProperties(kxc::TFiler& filer) {
    inherited::DefineProperties(filer);
    auto* ancestor = dynamic_cast<TQxTranslator*>(filer.Ancestor());
    DefineTargetsData(filer, *targets_, ancestor ? ancestor->Targets() : nullptr);
}

void TQxTranslator::Loaded() {
    inherited::Loaded();
    if (Designing() || !(options_ & qxtoAutoOpen)) return;
    if (Dictionary() || (Dictionaries && Dictionaries->Count() > 0)) Open();
}

kxc::TComponent* TQxTranslator::Root() const { return rootComponent_ ? rootComponent_ : Owner(); }

TQxWindowHandle TQxTranslator::GetWindowHandle() {
    auto* w = dynamic_cast<kxc::TWinControl*>(Root());
    return w && w->HandleAllocated() ? w->WindowHandle() : nullptr;
}

// ---- Opening and closing -----------------------------------------------------------------

void TQxTranslator::Open() {
    if (IsOpen()) {
        Translate();
        inherited::Open();
        return;
    }
    OpenFirstTime();
}

void TQxTranslator::OpenFirstTime() {
    BindDictionary();
    TQxDictionary* d = Dictionary();
    if (!d || !d->Enabled() || d->IsDesigning() || !d->IsAvailable() || targets_->Count() == 0)
        return;
    if (!d->IsOpen()) d->OpenDictionary();
    RememberFormFont();
    if (!rootComponent_) rootComponent_ = Owner();
    Translate();
    Changed(true, true);
    d->RegisterTranslator(this);
    inherited::Open();
}

// The dictionary of DictionaryName, else the registry's first.
void TQxTranslator::BindDictionary() {
    if (Dictionary()) return;
    if (!Dictionaries || Dictionaries->Count() == 0) {
        if (Designing()) return;
        kxc::TComponent* root = Root();
        throw EQxMulti(rtl::Format(
            "No dictionary has been assigned to the translator component (%s on \"%s\" form)",
            Name().c_str(), root ? root->Name().c_str() : ""));
    }
    TQxDictionary* d = DictionaryName().empty() ? nullptr : Dictionaries->Find(DictionaryName());
    SetDictionary(d ? d : Dictionaries->Items(0));
}

// A form this translator still holds scaled (scaled before a Close) has an enlarged font now:
// it keeps the size taken before it was scaled.
void TQxTranslator::RememberFormFont() {
    if (auto* form = dynamic_cast<kxc::TForm*>(Root())) {
        formFontName_ = form->Font()->Name();
        if (form != scaledRoot_) formFontSize_ = form->Font()->Size();
    } else {
        formFontName_.clear();
        formFontSize_ = 0;
    }
}

void TQxTranslator::Close() {
    inherited::Close();
    table_->Clear();
    rootComponent_ = nullptr;
}

void TQxTranslator::Detach() {
    if (IsOpen()) {
        inherited::Close();
        Translate();  // no dictionary bound: every cached native text goes back
    }
    Close();
}

void TQxTranslator::Changed(bool languageChanged, bool localeChanged) {
    if (IsOpen() && (options_ & qxtoAutoTranslate)) Open();
    if (languageChanged) OnLanguageChange(this);
    if (localeChanged) OnLocaleChange(this);
}

void TQxTranslator::TranslateRoot(kxc::TComponent* component) {
    rootComponent_ = component;
    if (component) component->FreeNotification(this);
    Open();
}

void TQxTranslator::TranslateForm(kxc::TComponent* component) { TranslateRoot(component); }

// The dictionary's options are put back even when the native pass fails.
void TQxTranslator::RestoreNative() {
    if (TQxDictionary* d = Dictionary()) {
        const uint32_t locale = d->SelectedLocaleId();
        const TQxDictionaryOptions options = d->Options();
        d->SetOptions(options & ~qxdoAutoTranslate);
        try {
            d->SetLanguage(0);
            Open();
            d->SetLocaleId(locale);
        } catch (...) {
            d->SetOptions(options);
            throw;
        }
        d->SetOptions(options);
    }
    Close();
}

void TQxTranslator::Notification(kxc::TComponent* component, kxc::TOperation operation) {
    inherited::Notification(component, operation);
    if (operation == kxc::opInsert && component && Designing() &&
        !(Owner() && Owner()->Reading()))
        DetectTargetsGuarded(component, *targets_);
    if (operation != kxc::opRemove || !component) return;
    // Only taken out of its owner (and perhaps put back, or into another): it lives on, and so
    // do its native texts, its mirroring state and its part of the scaling. The base class has
    // dropped the link that would tell of its end; it is asked for again.
    if (!component->Destroying()) {
        if (Keeps(component)) component->FreeNotification(this);
        return;
    }
    if (component == rootComponent_) rootComponent_ = nullptr;
    if (component == walkComponent_) walkComponent_ = nullptr;
    table_->RemoveComponent(component);
    biDiStates_.erase(std::remove_if(biDiStates_.begin(), biDiStates_.end(),
                                     [component](const std::unique_ptr<TQxBidirectionalState>& s) {
                                         return s->Control == component;
                                     }),
                      biDiStates_.end());
    visitedObjects_.erase(
        std::remove(visitedObjects_.begin(), visitedObjects_.end(), component),
        visitedObjects_.end());
    if (component == scaledRoot_) {
        scaledRoot_ = nullptr;
        unscaled_.clear();
    } else {
        unscaled_.erase(std::remove_if(unscaled_.begin(), unscaled_.end(),
                                       [component](const ScaledControl& s) {
                                           return s.Control == component;
                                       }),
                        unscaled_.end());
    }
}

bool TQxTranslator::Keeps(const kxc::TComponent* component) const {
    if (component == rootComponent_ || component == walkComponent_ || component == scaledRoot_ ||
        table_->Holds(component))
        return true;
    for (const auto& s : biDiStates_)
        if (s->Control == component) return true;
    for (const ScaledControl& s : unscaled_)
        if (s.Control == component) return true;
    return false;
}

// ---- The pass ----------------------------------------------------------------------------

void TQxTranslator::Translate() {
    inherited::Translate();
    visitedObjects_.clear();
    TQxDictionary* d = Dictionary();
    if (d) currentReadingOrder_ = d->SelectedLanguage().GetReadingOrder() == 2 ? 1 : 0;
    OnBeforeTranslate(this);
    auto* form = dynamic_cast<kxc::TForm*>(Root());
    const bool checkFont = d && (options_ & qxtoCheckFont) && form;
    // ApplyFont changes only a form that has its window; the font it gives stands.
    const bool formFontApplied = checkFont && form->HandleAllocated();
    if (checkFont) ApplyFont();
    if (kxc::TComponent* root = Root()) TranslateWithMenusHeld(root);
    if (options_ & qxtoTranslateSystemMenu) TranslateSystemMenu(GetWindowHandle());
    ScaleStep(formFontApplied);
    if (options_ & qxtoMirrorBiDirectional) MirrorFlagStep();
    OnAfterTranslate(this);
}

// Menus with automatic hot keys keep the dictionary's "&" while their captions change, and
// work out their hot keys from the new captions afterwards (also when the walk fails, so that
// no menu is left without them).
void TQxTranslator::TranslateWithMenusHeld(kxc::TComponent* root) {
    std::vector<kxc::TMenu*> menus;
    for (kxc::TComponent* c : OwnedComponents(root)) {
        auto* menu = dynamic_cast<kxc::TMenu*>(c);
        if (!menu || menu->AutoHotkeys() != kxc::maAutomatic) continue;
        menu->SetAutoHotkeys(kxc::maManual);
        menus.push_back(menu);
    }
    auto restore = [&]() {
        for (kxc::TMenu* menu : menus) {
            if (!StillOwns(root, menu)) continue;
            menu->SetAutoHotkeys(kxc::maAutomatic);
            auto* item = new kxc::TMenuItem(nullptr);
            menu->Items()->Add(item);
            menu->Items()->Remove(item);
            item->Free();
        }
    };
    try {
        TranslateComponent(root, 0);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TQxTranslator::ApplyFont() {
    TQxDictionary* d = Dictionary();
    auto* form = dynamic_cast<kxc::TForm*>(Root());
    if (!d || !form || !form->HandleAllocated()) return;
    const TQxLanguage& language = d->SelectedLanguage();
    const std::string name = language.FontName.empty() ? formFontName_ : language.FontName;
    const int32_t size = language.FontSize != 0 ? language.FontSize : formFontSize_;
    kxc::TFont* font = form->Font();
    if (font->Name() != name) font->SetName(name);
    if (font->Size() != size) font->SetSize(size);
    if (font->Charset() != language.Charset) font->SetCharset(language.Charset);
}

void TQxTranslator::MirrorFlagStep() {
    const bool mirrored = currentReadingOrder_ != nativeLayout_;
    if (mirrored == IsMirrored()) return;
    SetState(mirrored ? (State() | qxtsMirrored) : (State() & ~qxtsMirrored));
    auto* root = dynamic_cast<kxc::TWinControl*>(Root());
    if (root && root->HandleAllocated())
        SetWindowPos(root->WindowHandle(), nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

// ---- Far-East scaling --------------------------------------------------------------------

void TQxTranslator::ScaleStep(bool formFontApplied) {
    TQxDictionary* d = Dictionary();
    auto* root = dynamic_cast<kxc::TWinControl*>(Root());
    const int32_t scale = EffectiveScale(multiByteScale_);
    if (!d || !(options_ & qxtoScaleMultiByte) || scale == 100 || !root) return;
    const bool farEast = d->SelectedLanguage().GetReadingOrder() == 1;
    // A form scaled before a Close is still scaled.
    const bool scaled = IsScaled() || scaledRoot_ == root;
    if (farEast && !scaled) {
        auto* form = dynamic_cast<kxc::TForm*>(root);
        if (form && form->AutoScroll())
            throw EQxMulti("Cannot scale a form (" + root->Name() +
                           ") that has AutoScroll property set True");
        ScaleUp(root, scale);
    } else if (farEast && !IsScaled()) {
        SetState(State() | qxtsScaled);
        return;
    } else if (!farEast && scaled) {
        ScaleBack(root, scaledRoot_ == root ? scaledBy_ : scale, formFontApplied);
    } else {
        return;
    }
    OnScale(this, root);
}

// The bounds and fonts before scaling are kept, and those the scaling gave, so that scaling
// back gives every value the pass has not changed since exactly (no creep from rounding).
void TQxTranslator::ScaleUp(kxc::TWinControl* root, int32_t scale) {
    std::vector<kxc::TControl*> controls;
    CollectControls(root, controls);
    unscaled_.clear();
    for (kxc::TControl* c : controls) {
        const TQxBidirectionalState* state = FindBiDiState(c, false);
        unscaled_.push_back({c, BoundsOf(c), {}, c->Font()->Height(), 0, state && state->Mirrored});
        c->FreeNotification(this);
    }
    root->ScaleBy(scale, 100);
    for (ScaledControl& s : unscaled_) {
        s.Scaled = BoundsOf(s.Control);
        s.ScaledFontHeight = s.Control->Font()->Height();
    }
    scaledRoot_ = root;
    scaledBy_ = scale;
    SetState(State() | qxtsScaled);
}

TQxTranslator::Bounds TQxTranslator::BoundsOf(const kxc::TControl* control) {
    return {control->Left(), control->Top(), control->Width(), control->Height()};
}

namespace {
// A value the scaling gave and nothing changed since goes back to what it was; one changed
// meanwhile (by the application) is scaled back from what it is now.
int Unscaled(int now, int scaled, int before, int32_t scale) {
    return now == scaled ? before : MulDiv(now, 100, scale);
}
}  // namespace

// Each control is scaled back on its own, from what the pass and the application have done to
// it while it was scaled: untouched values get their old ones exactly; a control that the
// mirroring of this pass (or of an earlier one) moved is placed as that mirroring places it on
// the form at its old size; a value the application changed is scaled by the inverse factor.
// Everything is worked out while the form is still scaled, then set parents first, so that a
// mirrored control is placed in its parent's final client area. The form's font is left to
// the language when the pass has just applied it.
void TQxTranslator::ScaleBack(kxc::TWinControl* root, int32_t scale, bool formFontApplied) {
    if (scaledRoot_ != root) {
        root->ScaleBy(100, scale);
    } else {
        struct Target {
            Bounds bounds;
            bool remirror;  // placed by the mirroring once the control has its old size
            int32_t fontHeight;
            bool setFont;
        };
        std::vector<Target> targets;
        for (const ScaledControl& s : unscaled_) {
            kxc::TControl* c = s.Control;
            const Bounds now = BoundsOf(c);
            Target t{{Unscaled(now.Left, s.Scaled.Left, s.Unscaled.Left, scale),
                      Unscaled(now.Top, s.Scaled.Top, s.Unscaled.Top, scale),
                      Unscaled(now.Width, s.Scaled.Width, s.Unscaled.Width, scale),
                      Unscaled(now.Height, s.Scaled.Height, s.Unscaled.Height, scale)},
                     false,
                     Unscaled(c->Font()->Height(), s.ScaledFontHeight, s.FontHeight, scale),
                     !c->ParentFont() && !(c == root && formFontApplied)};
            if (c == root) {
                // The form keeps its place; its client area was scaled, not its frame.
                const int cw = root->ClientWidth(), ch = root->ClientHeight();
                t.bounds = {now.Left, now.Top,
                            now.Width == s.Scaled.Width ? s.Unscaled.Width
                                                        : now.Width + MulDiv(cw, 100, scale) - cw,
                            now.Height == s.Scaled.Height
                                ? s.Unscaled.Height
                                : now.Height + MulDiv(ch, 100, scale) - ch};
            } else if (const TQxBidirectionalState* state = FindBiDiState(c, false);
                       state && state->Mirrored != s.Mirrored && c->Parent()) {
                // Moved by the mirroring since it was scaled (and not by the application after).
                const int given = state->Mirrored
                                      ? c->Parent()->ClientWidth() - now.Width - s.Scaled.Left
                                      : state->OriginalLeft;
                if (now.Left == given) {
                    t.remirror = state->Mirrored;
                    t.bounds.Left = state->Mirrored ? now.Left : state->OriginalLeft;
                }
            }
            targets.push_back(t);
        }
        // Controls the application added meanwhile are scaled back as the whole form would be.
        auto recorded = [this](const kxc::TControl* c) {
            return std::any_of(unscaled_.begin(), unscaled_.end(),
                               [c](const ScaledControl& s) { return s.Control == c; });
        };
        std::vector<kxc::TControl*> controls;
        CollectControls(root, controls);
        for (kxc::TControl* c : controls)
            if (!recorded(c) && recorded(c->Parent())) c->ChangeScale(100, scale);
        for (size_t i = 0; i < unscaled_.size(); ++i) {
            const ScaledControl& s = unscaled_[i];
            const Target& t = targets[i];
            kxc::TControl* c = s.Control;
            if (t.setFont && c->Font()->Height() != t.fontHeight)
                c->Font()->SetHeight(t.fontHeight);
            c->SetBounds(t.bounds.Left, t.bounds.Top, t.bounds.Width, t.bounds.Height);
            // The bounds were taken before the texts of this pass: a label that sizes itself
            // fits its caption again.
            if (auto* label = dynamic_cast<kxc::TLabel*>(c))
                if (label->AutoSize()) label->AdjustBounds();
            if (t.remirror)
                c->SetLeft(c->Parent()->ClientWidth() - c->Width() - s.Unscaled.Left);
        }
    }
    scaledRoot_ = nullptr;
    unscaled_.clear();
    SetState(State() & ~qxtsScaled);
}

// ---- Mirroring ---------------------------------------------------------------------------

TQxBidirectionalState* TQxTranslator::FindBiDiState(kxc::TControl* control, bool create) {
    for (const auto& s : biDiStates_)
        if (s->Control == control) return s.get();
    if (!create || !control) return nullptr;
    auto s = std::make_unique<TQxBidirectionalState>();
    s->Control = control;
    s->OriginalLeft = control->Left();
    control->FreeNotification(this);
    biDiStates_.push_back(std::move(s));
    return biDiStates_.back().get();
}

void TQxTranslator::MirrorControl(kxc::TControl* control, TQxBidirectionalState& state) {
    if (Modules && Modules->MirrorControl(this, control, state)) return;
    if (state.Mirrored || !control->Parent()) return;
    state.Mirrored = true;
    state.ReadingOrder = 1;
    control->SetLeft(control->Parent()->ClientWidth() - control->Width() - control->Left());
}

void TQxTranslator::UnmirrorControl(kxc::TControl* control, TQxBidirectionalState& state) {
    if (Modules && Modules->UnmirrorControl(this, control, state)) return;
    if (!state.Mirrored) return;
    state.Mirrored = false;
    state.ReadingOrder = 0;
    control->SetLeft(state.OriginalLeft);
}

bool TQxTranslator::Realign(kxc::TComponent* component) {
    return Modules && Modules->Realign(this, component);
}

void TQxTranslator::RealignMirrored(kxc::TControl* control) {
    if (!IsMirrored() || !control || !control->Parent() || control == Root()) return;
    TQxBidirectionalState* s = FindBiDiState(control, false);
    if (s && s->Mirrored)
        control->SetLeft(control->Parent()->ClientWidth() - control->Width() - s->OriginalLeft);
}

void TQxTranslator::RealignAllMirrored() {
    if (!IsMirrored()) return;
    for (const auto& s : biDiStates_) {
        kxc::TControl* c = s->Control;
        if (c == Root() || !c->Parent() || !s->Mirrored) continue;
        const int left = c->Parent()->ClientWidth() - c->Width() - s->OriginalLeft;
        if (c->Left() != left) c->SetLeft(left);
    }
}

// ---- The walk ----------------------------------------------------------------------------

void TQxTranslator::TranslateComponent(kxc::TComponent* component, TQxRestrictions restrictions) {
    if (!component) return;
    // Wrapped OCX controls carry csCheckPropAvail; neither they nor what they own are walked
    // unless asked for.
    if (!(options_ & qxtoTranslateOCX) && (component->ComponentStyle() & kxc::csCheckPropAvail))
        return;
    TQxRestrictions r = restrictions;
    OnRestrictComponent(this, component, r);
    TranslateOwnedComponents(component, r);
    if (!(r & qxrsProperties)) TranslateComponentProperties(component, r);
    if (!(r & qxrsSpecial)) TranslateSpecial(component);
    if (options_ & qxtoMirrorBiDirectional) MirrorStep(component, r);
    OnTranslate(this, component);
    if (auto* control = dynamic_cast<kxc::TControl*>(component)) control->Invalidate();
}

// Owned components first, forms left out; a component that a handler has freed meanwhile is
// passed over.
void TQxTranslator::TranslateOwnedComponents(kxc::TComponent* component,
                                             TQxRestrictions restrictions) {
    const TQxRestrictions childRestrictions = (restrictions & qxrsThisOnly) ? 0 : restrictions;
    for (kxc::TComponent* child : OwnedComponents(component)) {
        if (!StillOwns(component, child) || dynamic_cast<kxc::TForm*>(child)) continue;
        TranslateComponent(child, childRestrictions);
    }
}

void TQxTranslator::MirrorStep(kxc::TComponent* component, TQxRestrictions restrictions) {
    bool changed = true;
    if (auto* control = dynamic_cast<kxc::TControl*>(component)) {
        TQxBidirectionalState* state = FindBiDiState(control, true);
        changed = state->ReadingOrder != currentReadingOrder_;
        if (!(restrictions & qxrsBiDi)) {
            if (component == Root())
                state->ReadingOrder = currentReadingOrder_;
            else if (currentReadingOrder_ != nativeLayout_)
                MirrorControl(control, *state);
            else
                UnmirrorControl(control, *state);
        }
    }
    if (!(restrictions & qxrsRealign) && changed) Realign(component);
}

bool TQxTranslator::Visited(const kxc::TObject* object) const {
    return std::find(visitedObjects_.begin(), visitedObjects_.end(), object) !=
           visitedObjects_.end();
}

void TQxTranslator::TranslateComponentProperties(kxc::TObject* object,
                                                 TQxRestrictions restrictions) {
    if (!object || dynamic_cast<TQxDictionary*>(object) || dynamic_cast<TQxTranslator*>(object) ||
        dynamic_cast<kxc::TFont*>(object) || Visited(object))
        return;
    visitedObjects_.push_back(object);
    bool translate = true;
    OnRestrictObject(this, object, translate);
    if (!translate) return;

    TQxDictionary* d = Dictionary();
    kxc::TTypeKinds kinds =
        kxc::KindBit(kxc::tkString) | kxc::KindBit(kxc::tkLString) | kxc::KindBit(kxc::tkClass);
    const bool rightToLeft = d && IsRightToLeftLanguage(d->LanguageLocaleId());
    if ((options_ & qxtoUpdateLocaleProperty) || IsMirrored() != rightToLeft)
        kinds |= kxc::KindBit(kxc::tkInteger);

    auto* component = dynamic_cast<kxc::TComponent*>(object);
    const std::string componentName =
        component && component != rootComponent_ ? component->Name() : std::string();
    // Cache items made from here on belong to this component; it tells the translator when
    // it goes.
    kxc::TComponent* savedWalk = walkComponent_;
    if (component) {
        walkComponent_ = component;
        if (component != this) component->FreeNotification(this);
    }
    struct Restore {
        kxc::TComponent*& slot;
        kxc::TComponent* value;
        ~Restore() { slot = value; }
    } restore{walkComponent_, savedWalk};

    TQxPropInfoList props(object, kinds);
    for (int32_t i = 0; i < props.Count(); ++i) {
        const kxc::TPropInfo* p = props.Items(i);
        if (!p->Readable() || !p->Writable()) continue;
        translate = true;
        OnRestrictProperty(this, object, p->Name, translate);
        if (!translate) continue;
        switch (p->Kind) {
        case kxc::tkInteger:
            if (component && rtl::AsciiSameText(p->Name, "locale") && !(restrictions & qxrsBiDi))
                kxc::SetOrdProp(object, p, d ? d->LanguageLocaleId() : 0);
            break;
        case kxc::tkString:
        case kxc::tkLString:
            if (component && rtl::AsciiSameText(p->Name, "name")) break;
            TranslateStringProperty(object, p, componentName);
            break;
        case kxc::tkClass:
            TranslateObjectProperty(object, p, componentName, restrictions);
            break;
        default:
            break;
        }
    }
}

// An empty text is handed on too: when this translator emptied it (a dictionary that gives
// empty texts for missing words), its cache item brings the native text back.
void TQxTranslator::TranslateStringProperty(kxc::TObject* object, const kxc::TPropInfo* prop,
                                            const std::string& componentName) {
    if (!targets_->IsTarget(object->ClassName(), prop->Name)) return;
    const std::string value = kxc::GetStrProp(object, prop);
    const std::string result = TranslateValue(object, componentName, value, prop->Name);
    if (!value.empty() || !result.empty()) kxc::SetStrProp(object, prop, result);
}

void TQxTranslator::TranslateObjectProperty(kxc::TObject* object, const kxc::TPropInfo* prop,
                                            const std::string& componentName,
                                            TQxRestrictions restrictions) {
    kxc::TObject* value = kxc::GetObjectProp(object, prop);
    if (!value) return;
    if (auto* strings = dynamic_cast<kxc::TStrings*>(value)) {
        if (targets_->IsTarget(object->ClassName(), prop->Name))
            TranslateListProperty(object, strings, componentName, prop->Name);
    } else if (auto* collection = dynamic_cast<kxc::TCollection*>(value)) {
        for (int i = 0; i < collection->Count(); ++i)
            TranslateComponentProperties(collection->Items(i), restrictions);
    } else if (auto* font = dynamic_cast<kxc::TFont*>(value)) {
        ApplyCharset(object, font, restrictions);
    } else if (auto* component = dynamic_cast<kxc::TComponent*>(value)) {
        auto* owner = dynamic_cast<kxc::TComponent*>(object);
        if (!owner) return;
        // One of the owner's own components is reached as a component of the walk.
        if (owner->Owner() && component->Owner() == owner->Owner()) return;
        TranslateComponentProperties(component, restrictions);
    } else {
        TranslateComponentProperties(value, restrictions);
    }
}

// A list control keeps its item index, selection and check marks while its lines change,
// also when a line fails; an invisible combo box keeps its lines as they are.
void TQxTranslator::TranslateListProperty(kxc::TObject* object, kxc::TStrings* strings,
                                          const std::string& componentName,
                                          const std::string& propertyName) {
    auto* listBox = dynamic_cast<kxc::TCustomListBox*>(object);
    auto* checkListBox = dynamic_cast<kxc::TCheckListBox*>(object);
    auto* comboBox = dynamic_cast<kxc::TCustomComboBox*>(object);
    bool translateLines = true;
    int savedIndex = 0;
    std::vector<bool> marks;
    if (listBox) {
        savedIndex = listBox->ItemIndex();
        const int count = listBox->Items()->Count();
        for (int i = 0; i < count && (checkListBox || listBox->MultiSelect()); ++i)
            marks.push_back(checkListBox ? checkListBox->Checked(i) : listBox->Selected(i));
    } else if (comboBox) {
        translateLines = comboBox->Visible();
        savedIndex = translateLines ? comboBox->ItemIndex() : -1;
    }
    auto restore = [&]() {
        if (listBox) {
            const int count = std::min<int>(int(marks.size()), listBox->Items()->Count());
            for (int i = 0; i < count; ++i) {
                if (checkListBox)
                    checkListBox->SetChecked(i, marks[size_t(i)]);
                else
                    listBox->SetSelected(i, marks[size_t(i)]);
            }
            if (savedIndex != -1) listBox->SetItemIndex(savedIndex);
        } else if (comboBox && savedIndex != -1) {
            comboBox->SetItemIndex(savedIndex);
        }
    };
    try {
        if (translateLines && object->ClassName() != "TOutline")
            TranslateLines(object, componentName, strings, propertyName);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TQxTranslator::TranslateLines(kxc::TObject* object, const std::string& componentName,
                                   kxc::TStrings* strings, const std::string& propertyName) {
    if (!strings || strings->Count() == 0) return;
    auto* list = dynamic_cast<kxc::TStringList*>(strings);
    const bool sorted = list && list->Sorted();
    strings->BeginUpdate();
    try {
        if (list) list->SetSorted(false);
        for (int i = 0; i < strings->Count(); ++i)
            strings->Put(i,
                         TranslateValue(object, componentName, strings->Get(i), propertyName, i));
    } catch (...) {
        if (list) list->SetSorted(sorted);
        strings->EndUpdate();
        throw;
    }
    if (list) list->SetSorted(sorted);
    strings->EndUpdate();
}

// A windowed control without a window gets the character set only when its window can be
// made now, under a parent that has one.
void TQxTranslator::ApplyCharset(kxc::TObject* object, kxc::TFont* font,
                                 TQxRestrictions restrictions) {
    TQxDictionary* d = Dictionary();
    if (!d || charsetChange_ == qxccDisabled || (restrictions & qxrsCharset) ||
        object->ClassName() == "TColumnTitle")
        return;
    auto* windowed = dynamic_cast<kxc::TWinControl*>(object);
    if (charsetChange_ == qxccNormal && windowed && !windowed->HandleAllocated()) {
        if (!windowed->Parent() || !windowed->Parent()->HandleAllocated()) return;
        try {
            windowed->Handle();
        } catch (...) {
            return;
        }
    }
    const int32_t charset = d->SelectedLanguage().Charset;
    if (font->Charset() != charset) font->SetCharset(charset);
}

void TQxTranslator::TranslateSpecial(kxc::TComponent* control) {
    if (!control) return;
    if (Modules && Modules->TranslateSpecial(this, control)) return;
    auto* memo = dynamic_cast<kxc::TCustomMemo*>(control);
    if (!memo || !targets_->IsTarget(control->ClassName(), "Text")) return;
    std::string value = memo->Text();
    while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
    memo->SetText(TranslateValue(control, control->Name(), value, "Text"));
}

// ---- Texts -------------------------------------------------------------------------------

std::string TQxTranslator::TranslateValue(kxc::TObject* object, const std::string& componentName,
                                          const std::string& text,
                                          const std::string& propertyName, int32_t index) {
    return TranslateThroughTable(
        *table_, object, walkComponent_, IsMenuItem(object), componentName, text, propertyName,
        index, [this](const std::string& native, const std::string& key, const std::string& name,
               bool hadHotKey) { return LookupTranslation(native, key, name, hadHotKey); });
}

// A menu item's text that held "&" is looked up once more without it when it is not found.
std::string TQxTranslator::LookupTranslation(const std::string& native,
                                             const std::string& nativeKey,
                                             const std::string& componentName, bool hadHotKey) {
    TQxDictionary* d = Dictionary();
    if (!d) return native;
    std::string translation;
    auto find = [&](const std::string& contextA) {
        if (contextA.empty()) {
            return d->FindTranslation(native, translation) ||
                   (hadHotKey && d->FindTranslation(nativeKey, translation));
        }
        return d->FindContextTranslation(native, contextA, componentName, translation) ||
               (hadHotKey &&
                d->FindContextTranslation(nativeKey, contextA, componentName, translation));
    };
    if (!d->HasContexts()) return ApplyMissingTranslation(d, native, translation, find(""));
    kxc::TComponent* root = Root();
    for (const std::string& cls : ContextClassNames(root ? root->ClassInfo() : nullptr))
        if (find(cls)) return ApplyMissingTranslation(d, native, translation, true);
    return find("") ? translation : native;
}

}  // namespace qx
