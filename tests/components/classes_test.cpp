// Class identity, published properties by kind and components with owners.
#include <gtest/gtest.h>

#include <functional>

#include "model_fixture.h"

using namespace kxc;
using namespace fixture;

namespace {

// Hears of every insertion into its owner and writes down what it sees of the newcomer: its
// class, whether a property of TDerived is there, and the owner's reading and designing state.
class TWatcher : public TComponent {
    KXC_CLASS(TWatcher, TComponent)
public:
    using TComponent::TComponent;
    std::vector<std::string> Seen;
    void Notification(TComponent* c, TOperation op) override {
        TComponent::Notification(c, op);
        if (op != opInsert) return;
        std::string s = c->ClassName();
        if (GetPropInfo(c, "Active")) s += " Active";
        if (Owner()->Reading()) s += " reading";
        if (c->Designing()) s += " designing";
        Seen.push_back(s);
    }
};
KXC_IMPLEMENT_CLASS(TWatcher)
void TWatcher::DescribeClass(TClassBuilder<TWatcher>&) {}

// Remembers whether its constructor already saw the owner's designing state.
class TProbe : public TComponent {
    KXC_CLASS(TProbe, TComponent)
public:
    explicit TProbe(TComponent* owner) : TComponent(owner), DesigningInConstructor(Designing()) {}
    bool DesigningInConstructor;
};
KXC_IMPLEMENT_CLASS(TProbe)
void TProbe::DescribeClass(TClassBuilder<TProbe>&) {}

// Takes TBase's Caption out of its published list; its descendant publishes one again.
class THider : public TBase {
    KXC_CLASS(THider, TBase)
public:
    using TBase::TBase;
};
KXC_IMPLEMENT_CLASS(THider)
void THider::DescribeClass(TClassBuilder<THider>& c) { c.Hide("Caption"); }

class TRepublisher : public THider {
    KXC_CLASS(TRepublisher, THider)
public:
    using THider::THider;
};
KXC_IMPLEMENT_CLASS(TRepublisher)
void TRepublisher::DescribeClass(TClassBuilder<TRepublisher>& c) {
    c.Str("Caption", [](const TRepublisher& r) { return r.Caption; },
          [](TRepublisher& r, const std::string& v) { r.Caption = v; });
}

std::vector<std::string> Names(const std::vector<const TPropInfo*>& list) {
    std::vector<std::string> r;
    for (const TPropInfo* p : list) r.push_back(p->Name);
    return r;
}

TEST(ClassInfo, NamesAncestorsAndRegistry) {
    RegisterFixtureClasses();
    TDerived d(nullptr);
    EXPECT_EQ(d.ClassName(), "TDerived");
    EXPECT_EQ(d.ClassInfo()->Parent()->Name(), "TBase");
    EXPECT_TRUE(d.InheritsFrom(TComponent::StaticClass()));
    EXPECT_TRUE(d.InheritsFrom("tbase"));  // by name, ignoring case
    EXPECT_TRUE(d.InheritsFrom("TObject"));
    EXPECT_FALSE(d.InheritsFrom("TRoot"));
    EXPECT_FALSE(TBase::StaticClass().InheritsFrom(TDerived::StaticClass()));

    ASSERT_EQ(GetClass("TDERIVED"), &TDerived::StaticClass());
    EXPECT_EQ(GetClass("TNoSuchClass"), nullptr);
    EXPECT_THROW(FindClass("TNoSuchClass"), EClassNotFound);
    TComponent* c = FindClass("TDerived").CreateComponent(&d);
    EXPECT_EQ(c->ClassName(), "TDerived");
    EXPECT_EQ(c->Owner(), &d);
    // Abstract classes have no factory.
    EXPECT_THROW(TStrings::StaticClass().CreateComponent(nullptr), EClassNotFound);
}

TEST(PublishedProperties, OrderRedeclarationKindsAndAccess) {
    TDerived d(nullptr);
    // Ancestors first; "Hint" keeps the place of TBase's declaration with TDerived's descriptor.
    std::vector<std::string> expected = {"Name",  "Tag",    "Caption", "Hint",  "Count", "Buddy",
                                         "OnPing", "Active", "Shade",  "Flags", "Ratio", "Letter",
                                         "Big",    "Short",  "Wide",   "Font",  "Lines", "Items",
                                         "ReadOnly"};
    EXPECT_EQ(Names(GetPropList(&d)), expected);
    const TPropInfo* hint = GetPropInfo(&d, "hint");
    ASSERT_NE(hint, nullptr);
    SetStrProp(&d, hint, "derived");
    EXPECT_EQ(d.Hint2, "derived");
    EXPECT_EQ(d.Hint, "");

    struct Case {
        const char* name;
        TTypeKind kind;
        const char* typeName;
    } cases[] = {
        {"Name", tkLString, "string"},     {"Tag", tkInteger, "Integer"},
        {"Buddy", tkClass, "TComponent"},  {"OnPing", tkMethod, "TNotifyEvent"},
        {"Active", tkEnumeration, "Boolean"}, {"Shade", tkEnumeration, "TShade"},
        {"Flags", tkSet, "TFlags"},        {"Ratio", tkFloat, "Double"},
        {"Letter", tkChar, "Char"},        {"Short", tkString, "ShortString"},
        {"Wide", tkWString, "string"},     {"Font", tkClass, "TFont"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const TPropInfo* p = GetPropInfo(&d, cases[i].name);
        ASSERT_NE(p, nullptr) << i;
        EXPECT_EQ(p->Kind, cases[i].kind) << i;
        EXPECT_EQ(p->TypeName, cases[i].typeName) << i;
        EXPECT_TRUE(p->Readable() && p->Writable()) << i;
    }
    const TPropInfo* ro = GetPropInfo(&d, "ReadOnly");
    EXPECT_TRUE(ro->Readable());
    EXPECT_FALSE(ro->Writable());
    // A refused write raises and leaves the value.
    EXPECT_THROW(SetStrProp(&d, ro, "other"), EPropertyError);
    EXPECT_EQ(GetStrProp(&d, ro), "fixed");
    EXPECT_THROW(SetOrdProp(&d, GetPropInfo(&d, "Caption"), 1), EPropertyError);  // wrong kind
}

TEST(PublishedProperties, HiddenInheritedPropertyIsGoneUntilPublishedAgain) {
    THider h(nullptr);
    EXPECT_EQ(GetPropInfo(&h, "Caption"), nullptr);
    EXPECT_EQ(Names(GetPropList(&h, tkStrings)), (std::vector<std::string>{"Name", "Hint"}));
    EXPECT_THROW(SetStrProp(&h, "Caption", "x"), EPropertyError);
    h.Caption = "not stored";
    EXPECT_EQ(WriteComponentToBytes(&h).find("not stored"), std::string::npos);
    TRepublisher r(nullptr);
    SetStrProp(&r, "Caption", "again");
    EXPECT_EQ(r.Caption, "again");
    EXPECT_EQ(Names(GetPropList(&r, tkStrings)), (std::vector<std::string>{"Name", "Hint", "Caption"}));
}

TEST(PublishedProperties, KindFilter) {
    TDerived d(nullptr);
    TTypeKinds textAndClass = KindBit(tkString) | KindBit(tkClass) | KindBit(tkLString);
    EXPECT_EQ(Names(GetPropList(&d, textAndClass)),
              (std::vector<std::string>{"Name", "Caption", "Hint", "Buddy", "Short", "Font", "Lines", "Items",
                                        "ReadOnly"}));
    EXPECT_EQ(Names(GetPropList(&d, KindBit(tkInteger))), (std::vector<std::string>{"Tag", "Count", "Big"}));
    EXPECT_EQ(Names(GetPropList(&d, KindBit(tkSet) | KindBit(tkEnumeration))),
              (std::vector<std::string>{"Active", "Shade", "Flags"}));
    EXPECT_TRUE(GetPropList(&d, 0).empty());
}

TEST(PublishedProperties, TypedAccessByNameAndPath) {
    TDerived d(nullptr);
    SetEnumProp(&d, "Shade", "shDark");
    EXPECT_EQ(d.Shade, shDark);
    EXPECT_EQ(GetEnumProp(&d, "Shade"), "shDark");
    SetEnumProp(&d, "Active", "true");
    EXPECT_TRUE(d.Active);
    EXPECT_THROW(SetEnumProp(&d, "Shade", "shPurple"), EPropertyError);
    EXPECT_EQ(d.Shade, shDark);

    SetSetProp(&d, "Flags", "[flA, flC]");
    EXPECT_EQ(d.Flags, 5u);
    EXPECT_EQ(GetSetProp(&d, "Flags"), "[flA,flC]");
    EXPECT_THROW(SetSetProp(&d, "Flags", "[flZ]"), EPropertyError);
    EXPECT_EQ(d.Flags, 5u);

    SetStrProp(&d, "Font.Name", "Arial");
    EXPECT_EQ(d.Font()->Name(), "Arial");
    SetOrdProp(&d, "Font.Height", -13);
    EXPECT_EQ(GetOrdProp(&d, "font.height"), -13);
    EXPECT_EQ(GetStrProp(&d, "Letter"), "x");
    EXPECT_THROW(GetStrProp(&d, "Font.Nothing"), EPropertyError);
    EXPECT_THROW(GetStrProp(&d, "Caption.Name"), EPropertyError);

    TBase other(nullptr);
    SetObjectProp(&d, "Buddy", &other);
    EXPECT_EQ(GetObjectProp(&d, "Buddy"), &other);
    EXPECT_THROW(SetObjectProp(&d, "Font", &other), EPropertyError);  // not a TFont
}

TEST(Components, OwnershipNamesAndNotifications) {
    g_log.clear();
    auto* owner = new TRoot(nullptr);
    auto* a = new TBase(owner);
    auto* b = new TBase(owner);
    a->SetName("A");
    b->SetName("B");
    EXPECT_EQ(owner->ComponentCount(), 2);
    EXPECT_EQ(b->ComponentIndex(), 1);
    EXPECT_EQ(owner->FindComponent("a"), a);
    EXPECT_THROW(b->SetName("a"), EComponentError);  // duplicate, ignoring case
    EXPECT_THROW(b->SetName("1x"), EComponentError);
    EXPECT_EQ(b->Name(), "B");

    // A reference to a sibling is cleared when the sibling goes (owner's notification).
    a->SetBuddy(b);
    b->Free();
    EXPECT_EQ(a->Buddy(), nullptr);
    EXPECT_EQ(owner->ComponentCount(), 1);

    // Across owners: FreeNotification.
    auto* other = new TRoot(nullptr);
    auto* far = new TBase(other);
    a->SetBuddy(far);
    other->Free();
    EXPECT_EQ(a->Buddy(), nullptr);

    // And the reverse: the referring component goes first; the other one outlives it safely.
    auto* third = new TRoot(nullptr);
    auto* c = new TBase(third);
    a->SetBuddy(c);
    owner->Free();  // frees a
    third->Free();  // c must not call into the freed a
    EXPECT_EQ(g_log, (std::vector<std::string>{"free B", "free ", "free A", "free "}));
}

TEST(Components, InsertionIsAnnouncedOnceTheComponentIsBuilt) {
    RegisterFixtureClasses();
    // Every way of making a component tells the siblings of the finished object.
    std::string stored;
    {
        TRoot src(nullptr);
        Create<TDerived>(&src)->SetName("Stored");
        stored = WriteComponentToBytes(&src);
    }
    struct Case {
        const char* how;
        std::function<void(TRoot&)> make;
        std::string seen;
    } cases[] = {
        {"Create<T>", [](TRoot& r) { Create<TDerived>(&r); }, "TDerived Active"},
        {"class factory", [](TRoot& r) { FindClass("TDerived").CreateComponent(&r); }, "TDerived Active"},
        {"form reader", [&](TRoot& r) { ReadComponentFromBytes(&r, stored); }, "TDerived Active reading"},
        {"designing owner", [](TRoot& r) {
             r.SetDesigning(true);
             Create<TDerived>(&r);
         }, "TDerived Active designing"},
    };
    for (const Case& c : cases) {
        TRoot root(nullptr);
        auto* w = Create<TWatcher>(&root);
        c.make(root);
        EXPECT_EQ(w->Seen, (std::vector<std::string>{c.seen})) << c.how;
    }

    // Plain `new` announces nothing until AfterConstruction, and that only once; a component
    // moved to another owner is announced there at once.
    TRoot root(nullptr), other(nullptr);
    auto* w = Create<TWatcher>(&root);
    auto* d = new TDerived(&root);
    EXPECT_TRUE(w->Seen.empty());
    d->AfterConstruction();
    d->AfterConstruction();
    EXPECT_EQ(w->Seen, (std::vector<std::string>{"TDerived Active"}));
    auto* w2 = Create<TWatcher>(&other);
    other.InsertComponent(d);
    EXPECT_EQ(w2->Seen, (std::vector<std::string>{"TDerived Active"}));
    EXPECT_EQ(root.ComponentCount(), 1);
}

TEST(Components, ListenerThatRaisesOnInsertionLeavesNoComponent) {
    struct TRefuser : TWatcher {
        using TWatcher::TWatcher;
        void Notification(TComponent* c, TOperation op) override {
            TWatcher::Notification(c, op);
            if (op == opInsert) throw EComponentError("refused");
        }
    };
    TRoot root(nullptr);
    Create<TRefuser>(&root);
    EXPECT_THROW(Create<TDerived>(&root), EComponentError);
    EXPECT_THROW(FindClass("TDerived").CreateComponent(&root), EComponentError);
    EXPECT_EQ(root.ComponentCount(), 1);
}

TEST(Components, DesigningStatePassesToInsertedComponents) {
    TRoot root(nullptr);
    auto* before = Create<TBase>(&root);
    auto* grandchild = Create<TBase>(before);
    root.SetDesigning(true);
    EXPECT_TRUE(before->Designing() && grandchild->Designing());

    // Placed on the designing root: designing already inside its own constructor.
    auto* probe = Create<TProbe>(&root);
    EXPECT_TRUE(probe->DesigningInConstructor);
    EXPECT_TRUE(probe->Designing());
    EXPECT_TRUE(Create<TProbe>(probe)->DesigningInConstructor);

    // Moved from a running owner into the designing one, with what it owns.
    TRoot running(nullptr);
    auto* moved = Create<TBase>(&running);
    auto* inner = Create<TBase>(moved);
    EXPECT_FALSE(moved->Designing());
    root.InsertComponent(moved);
    EXPECT_TRUE(moved->Designing() && inner->Designing());

    // A running owner leaves a component's state as it is.
    EXPECT_FALSE(Create<TProbe>(&running)->DesigningInConstructor);
    root.SetDesigning(false);
    EXPECT_FALSE(probe->Designing() || moved->Designing());
}

TEST(Components, StatesAndStyleAreReadable) {
    RegisterFixtureClasses();
    // The reader's states are seen by the watcher of the test above; once the description
    // is read, none is left. Freeing: destroying.
    std::string stored;
    {
        TRoot src(nullptr);
        stored = WriteComponentToBytes(&src);
    }
    TRoot root(nullptr);
    ReadComponentFromBytes(&root, stored);
    EXPECT_FALSE(root.Loading() || root.Reading() || root.Destroying() || root.Designing());
    EXPECT_EQ(root.ComponentStyle(), TComponentStyle(csInheritable));
    EXPECT_EQ(root.ComponentStyle() & csCheckPropAvail, 0u);

    bool destroying = false;
    struct TDying : TComponent {
        using TComponent::TComponent;
        bool* flag = nullptr;
        ~TDying() override { *flag = Destroying(); }
    };
    auto* dying = Create<TDying>(&root);
    dying->flag = &destroying;
    dying->Free();
    EXPECT_TRUE(destroying);
}

TEST(Components, OwnerFreesComponentsThatFreeSiblings) {
    g_log.clear();
    struct TKiller : TBase {
        using TBase::TBase;
        TComponent* victim = nullptr;
        ~TKiller() override {
            if (victim) victim->Free();
        }
        void Notification(TComponent* c, TOperation op) override {
            TBase::Notification(c, op);
            if (op == opRemove && c == victim) victim = nullptr;
        }
    };
    auto* owner = new TRoot(nullptr);
    auto* v = new TBase(owner);
    v->SetName("Victim");
    auto* k = new TKiller(owner);
    k->SetName("Killer");
    k->victim = v;
    owner->Free();
    EXPECT_EQ(g_log, (std::vector<std::string>{"free Victim", "free Killer"}));
}

TEST(StringsAndCollections, Basics) {
    TStringList l;
    int changes = 0;
    l.OnChange = [&](TObject*) { ++changes; };
    l.BeginUpdate();
    l.Add("b");
    l.Add("a");
    l.EndUpdate();
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(l.Count(), 2);
    EXPECT_EQ(l.Strings(1), "a");
    l.SetSorted(true);
    EXPECT_EQ(l.Strings(0), "a");
    l.Add("ab");
    EXPECT_EQ(l.Strings(1), "ab");
    EXPECT_THROW(l.Strings(3), rtl::EListError);
    l.SetText("x\r\ny\nz");
    EXPECT_EQ(l.Count(), 3);
    EXPECT_EQ(l.Text(), "x\r\ny\r\nz\r\n");

    TCollection c(TItem::StaticClass());
    auto* i0 = static_cast<TItem*>(c.Add());
    auto* i1 = static_cast<TItem*>(c.Add());
    i1->Caption = "second";
    EXPECT_EQ(c.Count(), 2);
    EXPECT_EQ(i1->Index(), 1);
    i1->SetIndex(0);
    EXPECT_EQ(c.Items(0), i1);
    delete i0;
    EXPECT_EQ(c.Count(), 1);
    TCollection copy(TItem::StaticClass());
    copy.Assign(&c);
    EXPECT_EQ(static_cast<TItem*>(copy.Items(0))->Caption, "second");
    TFont f;
    EXPECT_THROW(copy.Assign(&f), rtl::EConvertError);
}

}  // namespace
