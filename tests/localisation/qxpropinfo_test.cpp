// The property-info list: published properties of one object filtered by kind, ancestors'
// first, a redeclared property once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/classes.h"
#include "qx/QxPropInfo.h"

using kxc::KindBit;

namespace {

class TPropBase : public kxc::TPersistent {
    KXC_CLASS(TPropBase, kxc::TPersistent)
public:
    int32_t Tag = 0;
    std::string Caption;
    std::string Hint;
    char Accel = 0;
};

class TPropDerived : public TPropBase {
    KXC_CLASS(TPropDerived, TPropBase)
public:
    std::string Title;
    TPropBase* Buddy = nullptr;
    kxc::TNotifyEvent OnClick;
    std::string CaptionText() const { return "derived:" + Caption; }
};

class TPropNone : public kxc::TPersistent {
    KXC_CLASS(TPropNone, kxc::TPersistent)
};

// A property whose kind lies outside a 32-bit kind set.
class TPropOdd : public kxc::TPersistent {
    KXC_CLASS(TPropOdd, kxc::TPersistent)
public:
    std::string Big, Text;
};

KXC_IMPLEMENT_CLASS(TPropBase)
void TPropBase::DescribeClass(kxc::TClassBuilder<TPropBase>& c) {
    c.Int("Tag", &TPropBase::Tag, &TPropBase::Tag);
    c.Str("Caption", &TPropBase::Caption, &TPropBase::Caption);
    c.Str("Hint", &TPropBase::Hint, &TPropBase::Hint, kxc::tkString);
    c.Char("Accel", &TPropBase::Accel, &TPropBase::Accel);
}

KXC_IMPLEMENT_CLASS(TPropDerived)
void TPropDerived::DescribeClass(kxc::TClassBuilder<TPropDerived>& c) {
    c.Str("Title", &TPropDerived::Title, &TPropDerived::Title);
    c.Str("Caption", &TPropDerived::CaptionText, nullptr);  // redeclared, read-only
    c.Object<TPropBase>("Buddy", &TPropDerived::Buddy, &TPropDerived::Buddy);
    c.Event("OnClick", &TPropDerived::OnClick);
}

KXC_IMPLEMENT_CLASS(TPropNone)
void TPropNone::DescribeClass(kxc::TClassBuilder<TPropNone>&) {}

KXC_IMPLEMENT_CLASS(TPropOdd)
void TPropOdd::DescribeClass(kxc::TClassBuilder<TPropOdd>& c) {
    c.Str("Big", &TPropOdd::Big, &TPropOdd::Big, static_cast<kxc::TTypeKind>(40));
    c.Str("Text", &TPropOdd::Text, &TPropOdd::Text);
}

std::vector<std::string> Names(const qx::TQxPropInfoList& list) {
    std::vector<std::string> names;
    for (int32_t i = 0; i < list.Count(); ++i) names.push_back(list.Items(i)->Name);
    return names;
}

const qx::TQxTypeKinds kTexts = KindBit(kxc::tkString) | KindBit(kxc::tkClass) |
                                KindBit(kxc::tkLString);

}  // namespace

TEST(QxPropInfoList, FiltersByKind) {
    TPropBase object;
    struct Case {
        qx::TQxTypeKinds kinds;
        std::vector<std::string> names;
    } cases[] = {
        {kTexts, {"Caption", "Hint"}},
        {kTexts | KindBit(kxc::tkInteger), {"Tag", "Caption", "Hint"}},
        {KindBit(kxc::tkInteger), {"Tag"}},
        {KindBit(kxc::tkChar) | KindBit(kxc::tkLString), {"Caption", "Accel"}},
        {0, {}},
        {0xFFFFFFFFu, {"Tag", "Caption", "Hint", "Accel"}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        qx::TQxPropInfoList list(&object, cases[i].kinds);
        EXPECT_EQ(Names(list), cases[i].names) << "case " << i;
        EXPECT_EQ(qx::GetFilteredPropInfos(object.ClassInfo(), cases[i].kinds, nullptr),
                  static_cast<int32_t>(cases[i].names.size()))
            << "case " << i;
    }
}

TEST(QxPropInfoList, RedeclaredPropertyOnceInItsMostDerivedDeclaration) {
    TPropDerived object;
    object.Caption = "x";
    qx::TQxPropInfoList list(&object, kTexts | KindBit(kxc::tkMethod));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Caption", "Hint", "Title", "Buddy", "OnClick"}));
    const kxc::TPropInfo* caption = list.Items(0);
    ASSERT_NE(caption, nullptr);
    EXPECT_TRUE(caption->Readable());
    EXPECT_FALSE(caption->Writable());
    EXPECT_EQ(caption->GetStr(object), "derived:x");
    EXPECT_EQ(list.Items(5), nullptr);
    EXPECT_EQ(list.Items(-1), nullptr);

    // Appending into a caller's list keeps what it held.
    std::vector<const kxc::TPropInfo*> into = {nullptr};
    EXPECT_EQ(qx::GetFilteredPropInfos(object.ClassInfo(), KindBit(kxc::tkInteger), &into), 1);
    ASSERT_EQ(into.size(), 2u);
    EXPECT_EQ(into[1]->Name, "Tag");
}

TEST(QxPropInfoList, NothingPublishedOrNoObject) {
    TPropNone none;
    qx::TQxPropInfoList empty(&none, 0xFFFFFFFFu);
    EXPECT_EQ(empty.Count(), 0);
    EXPECT_EQ(empty.Items(0), nullptr);
    qx::TQxPropInfoList nothing(nullptr, 0xFFFFFFFFu);
    EXPECT_EQ(nothing.Count(), 0);
    EXPECT_EQ(qx::GetFilteredPropInfos(nullptr, 0xFFFFFFFFu, nullptr), 0);

    TPropOdd odd;
    qx::TQxPropInfoList list(&odd, 0xFFFFFFFFu);
    EXPECT_EQ(Names(list), std::vector<std::string>{"Text"});
}
