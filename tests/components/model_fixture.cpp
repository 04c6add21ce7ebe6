#include "model_fixture.h"

namespace fixture {

const TEnumInfo ShadeInfo{"TShade", {"shNone", "shLight", "shDark"}};
const TEnumInfo FlagsInfo{"TFlags", {"flA", "flB", "flC"}};
std::vector<std::string> g_log;

KXC_IMPLEMENT_CLASS(TItem)
void TItem::DescribeClass(TClassBuilder<TItem>& c) {
    c.Str("Caption", &TItem::Caption, &TItem::Caption);
    c.Int("Value", &TItem::Value, &TItem::Value).DefaultValue(0);
}

void TItem::Assign(const TPersistent* source) {
    if (auto* i = dynamic_cast<const TItem*>(source)) {
        Caption = i->Caption;
        Value = i->Value;
        return;
    }
    TCollectionItem::Assign(source);
}

KXC_IMPLEMENT_CLASS(TBase)
void TBase::DescribeClass(TClassBuilder<TBase>& c) {
    c.Str("Caption", &TBase::Caption, &TBase::Caption);
    c.Str("Hint", &TBase::Hint, &TBase::Hint);
    c.Int("Count", &TBase::Count, &TBase::Count).DefaultValue(0);
    c.Object<TComponent>("Buddy", &TBase::Buddy, &TBase::SetBuddy);
    c.Event("OnPing", &TBase::OnPing);
}

TBase::TBase(TComponent* owner) : TComponent(owner) {}
TBase::~TBase() { g_log.push_back("free " + Name()); }

void TBase::Loaded() {
    TComponent::Loaded();
    g_log.push_back("loaded " + Name());
}

void TBase::SetBuddy(TComponent* b) {
    buddy_ = b;
    if (b) b->FreeNotification(this);
}

void TBase::Notification(TComponent* c, TOperation op) {
    TComponent::Notification(c, op);
    if (op == opRemove && c == buddy_) buddy_ = nullptr;
    if (op == opRemove && c == parent_) parent_ = nullptr;
}

void TBase::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    for (int i = 0; root && i < root->ComponentCount(); ++i)
        if (root->Components(i)->GetParentComponent() == this) proc(root->Components(i));
}

KXC_IMPLEMENT_CLASS(TDerived)
void TDerived::DescribeClass(TClassBuilder<TDerived>& c) {
    c.Bool("Active", &TDerived::Active, &TDerived::Active).DefaultValue(0);
    c.Str("Hint", &TDerived::Hint2, &TDerived::Hint2);
    c.Enum<TShade>("Shade", &TDerived::Shade, &TDerived::Shade, ShadeInfo).DefaultValue(shLight);
    c.Set("Flags", &TDerived::Flags, &TDerived::Flags, FlagsInfo).DefaultValue(0);
    c.Float("Ratio", &TDerived::Ratio, &TDerived::Ratio);
    c.Char("Letter", &TDerived::Letter, &TDerived::Letter).DefaultValue('x');
    c.Int("Big", &TDerived::Big, &TDerived::Big).DefaultValue(0);
    c.Str("Short", &TDerived::Short, &TDerived::Short, tkString);
    c.Str("Wide", &TDerived::Wide, &TDerived::Wide, tkWString);
    c.Object<TFont>("Font", &TDerived::Font, &TDerived::SetFont);
    c.Object<TStringList>("Lines", &TDerived::Lines, &TDerived::SetLines);
    c.Object<TCollection>("Items", &TDerived::Items, &TDerived::SetItems);
    c.Str("ReadOnly", &TDerived::ReadOnly, nullptr);
}

TDerived::TDerived(TComponent* owner)
    : TBase(owner), font_(new TFont), lines_(new TStringList), items_(new TCollection(TItem::StaticClass(), this)) {
    g_log.push_back("create " + ClassName());
}

TDerived::~TDerived() {
    delete font_;
    delete lines_;
    delete items_;
}

void TDerived::DefineProperties(TFiler& filer) {
    TBase::DefineProperties(filer);
    filer.DefineProperty(
        "Legacy", [this](TReader& r) { Legacy = r.ReadInteger(); },
        [this](TWriter& w) { w.WriteInteger(Legacy); }, Legacy != 0);
    filer.DefineBinaryProperty(
        "Blob",
        [this](TStream& s) {
            Blob.assign(size_t(s.Size()), '\0');
            s.ReadBuffer(&Blob[0], int32_t(Blob.size()));
        },
        [this](TStream& s) { s.WriteBuffer(Blob.data(), int32_t(Blob.size())); }, !Blob.empty());
}

KXC_IMPLEMENT_CLASS(TRoot)
void TRoot::DescribeClass(TClassBuilder<TRoot>& c) {
    c.Method("PingHandler", &TRoot::PingHandler);
    c.Method("OtherSignature", &TRoot::OtherSignature);
}

TRoot::TRoot(TComponent* owner) : TComponent(owner) {}

void TRoot::Loaded() {
    TComponent::Loaded();
    g_log.push_back("loaded " + Name());
}

void TRoot::PingHandler(TObject*) { ++Pings; }
void TRoot::OtherSignature(TObject*, int& value) { value = 1; }

void TRoot::GetChildren(const std::function<void(TComponent*)>& proc, TComponent* root) {
    for (int i = 0; i < ComponentCount(); ++i)
        if (Components(i)->Owner() == root && !Components(i)->HasParent()) proc(Components(i));
}

void RegisterFixtureClasses() {
    RegisterComponentClass(TBase::StaticClass());
    RegisterComponentClass(TDerived::StaticClass());
    RegisterComponentClass(TRoot::StaticClass());
}

}  // namespace fixture
