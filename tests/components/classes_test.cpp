// Class identity, published properties by kind and components with owners.
#include <gtest/gtest.h>

#include "model_fixture.h"

using namespace kxc;
using namespace fixture;

namespace {

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
