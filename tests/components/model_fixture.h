// A small class hierarchy that exercises every property kind, a sub-object, a string list, a
// collection, a component reference, an event and defined properties.
#pragma once

#include <string>
#include <vector>

#include "components/classes.h"
#include "components/filer.h"
#include "components/graphics.h"

namespace fixture {

using namespace kxc;

enum TShade { shNone, shLight, shDark };
extern const TEnumInfo ShadeInfo;
extern const TEnumInfo FlagsInfo;  // flA, flB, flC

extern std::vector<std::string> g_log;  // what the components did, in order

class TItem : public TCollectionItem {
    KXC_CLASS(TItem, TCollectionItem)
public:
    using TCollectionItem::TCollectionItem;
    void Assign(const TPersistent* source) override;
    std::string Caption;
    int32_t Value = 0;
};

class TBase : public TComponent {
    KXC_CLASS(TBase, TComponent)
public:
    explicit TBase(TComponent* owner);
    ~TBase() override;
    std::string Caption;
    std::string Hint;
    int32_t Count = 0;
    void Loaded() override;
    void Notification(TComponent* c, TOperation op) override;
    TComponent* Buddy() const { return buddy_; }
    void SetBuddy(TComponent* b);
    TNotifyEvent OnPing;
    void Ping() { OnPing(this); }
    // Nesting in form descriptions: the parent is the component the child was stored in.
    TComponent* GetParentComponent() const override { return parent_; }
    void SetParentComponent(TComponent* p) override { parent_ = dynamic_cast<TBase*>(p); }
    bool HasParent() const override { return parent_ != nullptr; }
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;

private:
    TComponent* buddy_ = nullptr;
    TComponent* parent_ = nullptr;
};

class TDerived : public TBase {
    KXC_CLASS(TDerived, TBase)
public:
    explicit TDerived(TComponent* owner);
    ~TDerived() override;
    std::string Hint2;  // published as "Hint": the redeclared property
    bool Active = false;
    TShade Shade = shLight;
    uint32_t Flags = 0;
    double Ratio = 0;
    char Letter = 'x';
    int32_t Big = 0;
    std::string Short;
    std::string Wide;
    TFont* Font() const { return font_; }
    void SetFont(TFont* f) { font_->Assign(f); }
    TStringList* Lines() const { return lines_; }
    void SetLines(TStringList* l) { lines_->Assign(l); }
    TCollection* Items() const { return items_; }
    void SetItems(TCollection* c) { items_->Assign(c); }
    std::string Blob;        // defined binary property "Blob"
    int32_t Legacy = 0;      // defined property "Legacy" (read and written)
    std::string ReadOnly() const { return "fixed"; }
    void DefineProperties(TFiler& filer) override;

private:
    TFont* font_;
    TStringList* lines_;
    TCollection* items_;
};

// A form-like root with published handlers.
class TRoot : public TComponent {
    KXC_CLASS(TRoot, TComponent)
public:
    explicit TRoot(TComponent* owner);
    void Loaded() override;
    int Pings = 0;
    void PingHandler(TObject* sender);
    void OtherSignature(TObject* sender, int& value);
    void GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) override;
};

void RegisterFixtureClasses();

}  // namespace fixture
