// Form descriptions: text → binary → objects → binary, every value type of the encoding, and
// malformed streams.
#include <gtest/gtest.h>

#include <memory>

#include "formtext.h"
#include "model_fixture.h"

using namespace kxc;
using namespace fixture;

namespace {

const std::string kLong(300, 'L');

// Listed in the order in which the writer stores the properties, so the round trip can compare
// bytes.
std::string SampleText() {
    return R"(
object Root1: TRoot
  object First: TDerived
    Tag = 7
    Caption = 'A caption'
    Hint = 'it''s'#13#10'two'
    Count = 100000
    Buddy = Second   // a reference forward, resolved after reading
    OnPing = PingHandler
    Active = True
    Shade = shDark
    Flags = [flA, flC]
    Ratio = 2.5
    Letter = 'q'
    Big = -300
    Short = 'short'
    Font.Charset = ANSI_CHARSET
    Font.Color = clRed
    Font.Height = -13
    Font.Name = 'Arial'
    Font.Style = [fsBold]
    Lines.Strings = (
      'one'
      'two')
    Items = <
      item
        Caption = 'i0'
      end
      item
        Caption = 'i1'
        Value = 5
      end>
    Legacy = 3
    Blob = {DEADBEEF 00}
    object Inner: TDerived
      Caption = 'inner'
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
    end
  end
  object Second: TBase
    Caption = ')" + kLong + R"('
  end
end
)";
}

std::string Compile(const std::string& text) { return formtext::CompileFormText(text, "test").Bytes; }

std::string ErrorOf(const std::string& bytes) {
    RegisterFixtureClasses();
    auto root = std::make_unique<TRoot>(nullptr);
    try {
        ReadComponentFromBytes(root.get(), bytes);
    } catch (const rtl::Exception& e) {
        EXPECT_EQ(root->ComponentCount(), 0) << "partial tree kept after: " << e.what();
        return e.what();
    }
    return "";
}

TEST(FormStream, RoundTripTextBinaryObjectsBinary) {
    RegisterFixtureClasses();
    g_log.clear();
    std::string bin = Compile(SampleText());
    TRoot root(nullptr);
    ReadComponentFromBytes(&root, bin);

    // Constructors before properties, Loaded after the whole tree in creation order.
    EXPECT_EQ(g_log, (std::vector<std::string>{"create TDerived", "create TDerived", "loaded Root1", "loaded First",
                                               "loaded Inner", "loaded Second"}));
    ASSERT_EQ(root.ComponentCount(), 3);
    auto* first = dynamic_cast<TDerived*>(root.FindComponent("First"));
    auto* inner = dynamic_cast<TDerived*>(root.FindComponent("Inner"));
    auto* second = dynamic_cast<TBase*>(root.FindComponent("Second"));
    ASSERT_TRUE(first && inner && second);
    EXPECT_EQ(root.Name(), "Root1");
    EXPECT_EQ(first->Caption, "A caption");
    EXPECT_EQ(first->Hint2, "it's\r\ntwo");
    EXPECT_EQ(first->Count, 100000);
    EXPECT_EQ(first->Buddy(), second);
    EXPECT_TRUE(first->Active);
    EXPECT_EQ(first->Shade, shDark);
    EXPECT_EQ(first->Flags, 5u);
    EXPECT_DOUBLE_EQ(first->Ratio, 2.5);
    EXPECT_EQ(first->Letter, 'q');
    EXPECT_EQ(first->Big, -300);
    EXPECT_EQ(first->Font()->Name(), "Arial");
    EXPECT_EQ(first->Font()->Style(), 1u);
    EXPECT_EQ(first->Lines()->Text(), "one\r\ntwo\r\n");
    ASSERT_EQ(first->Items()->Count(), 2);
    EXPECT_EQ(static_cast<TItem*>(first->Items()->Items(1))->Value, 5);
    EXPECT_EQ(first->Legacy, 3);
    EXPECT_EQ(first->Blob, std::string("\xDE\xAD\xBE\xEF\x00", 5));
    EXPECT_EQ(inner->GetParentComponent(), first);
    EXPECT_EQ(second->Caption, kLong);
    // The event is bound to the root's published method by name.
    first->Ping();
    first->Ping();
    EXPECT_EQ(root.Pings, 2);

    EXPECT_EQ(WriteComponentToBytes(&root), bin);
}

TEST(FormStream, EveryValueType) {
    std::string bin = Compile(R"(
object R: TRoot
  V = (0 -128 127 300 -70000 5000000000 2.5 0.25s 1.5c 36526.5d 'text' ')" + kLong + R"('
       'w'#1234 ident False True nil {0102} [a, b] <item [3] P = 1 end>)
end)");
    TMemoryStream s(bin);
    TReader r(s, 64);  // a small buffer exercises refills
    r.ReadSignature();
    uint8_t flags;
    int32_t pos;
    r.ReadPrefix(flags, pos);
    EXPECT_EQ(r.ReadStr(), "TRoot");
    EXPECT_EQ(r.ReadStr(), "R");
    EXPECT_EQ(r.ReadStr(), "V");
    r.ReadListBegin();
    struct IntCase {
        TValueType type;
        int64_t value;
    } ints[] = {{vaInt8, 0}, {vaInt8, -128}, {vaInt8, 127}, {vaInt16, 300}, {vaInt32, -70000}, {vaInt64, 5000000000}};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(r.NextValue(), ints[i].type) << i;
        EXPECT_EQ(r.ReadInt64(), ints[i].value) << i;
    }
    EXPECT_EQ(r.NextValue(), vaExtended);
    EXPECT_DOUBLE_EQ(r.ReadFloat(), 2.5);
    EXPECT_EQ(r.NextValue(), vaSingle);
    EXPECT_FLOAT_EQ(r.ReadSingle(), 0.25f);
    EXPECT_DOUBLE_EQ(r.ReadCurrency(), 1.5);
    EXPECT_DOUBLE_EQ(r.ReadDate(), 36526.5);
    EXPECT_EQ(r.NextValue(), vaString);
    EXPECT_EQ(r.ReadString(), "text");
    EXPECT_EQ(r.NextValue(), vaLString);
    EXPECT_EQ(r.ReadString(), kLong);
    EXPECT_EQ(r.NextValue(), vaWString);
    EXPECT_EQ(r.ReadWideString(), (std::u16string{u'w', char16_t(1234)}));
    EXPECT_EQ(r.ReadIdent(), "ident");
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_TRUE(r.ReadBoolean());
    EXPECT_EQ(r.ReadIdent(), "nil");
    EXPECT_EQ(r.ReadBinary(), "\x01\x02");
    TEnumInfo ab{"T", {"a", "b"}};
    EXPECT_EQ(r.ReadSet(ab), 3u);
    EXPECT_EQ(r.ReadValue(), vaCollection);
    EXPECT_EQ(r.ReadInteger(), 3);  // the item's order value
    r.ReadListBegin();
    EXPECT_EQ(r.ReadStr(), "P");
    EXPECT_EQ(r.ReadInteger(), 1);
    r.ReadListEnd();
    r.ReadListEnd();
    r.ReadListEnd();

    // The same list skipped as one value lands at the end of the root's properties.
    TMemoryStream s2(bin);
    TReader r2(s2);
    r2.ReadSignature();
    r2.ReadPrefix(flags, pos);
    r2.ReadStr();
    r2.ReadStr();
    r2.ReadStr();
    r2.SkipValue();
    EXPECT_TRUE(r2.EndOfList());
    EXPECT_EQ(r2.Position(), int64_t(bin.size()) - 2);

    // Extended floats keep doubles exactly.
    for (double v : {0.0, -0.0, 1.0, -3.75, 1e300, 1e-300, 4.9e-324, 123456789.123}) {
        unsigned char b[10];
        DoubleToExtended(v, b);
        EXPECT_EQ(ExtendedToDouble(b), v) << v;
    }
}

TEST(FormStream, PrefixFlagsAndChildPosition) {
    std::string bin = Compile("object R: TRoot\n inherited A: TBase [5]\n end\n inline B: TBase\n end\nend\n");
    TMemoryStream s(bin);
    TReader r(s);
    uint8_t flags;
    int32_t pos;
    r.ReadSignature();
    r.ReadPrefix(flags, pos);
    EXPECT_EQ(flags, 0);
    r.ReadStr();
    r.ReadStr();
    r.ReadListEnd();
    r.ReadPrefix(flags, pos);
    EXPECT_EQ(flags, ffInherited | ffChildPos);
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(r.ReadStr(), "TBase");
    EXPECT_EQ(r.ReadStr(), "A");
}

TEST(FormStream, MalformedStreamsRaiseClearErrors) {
    std::string good = Compile("object R: TRoot\n object A: TDerived\n Count = 1\n end\nend\n");
    auto withProp = [](const std::string& prop) {
        return Compile("object R: TRoot\n object A: TDerived\n " + prop + "\n end\n object B: TBase\n end\nend\n");
    };
    struct Case {
        std::string bytes;
        std::string error;
    } cases[] = {
        {"", "Invalid stream format"},
        {"TPF", "Invalid stream format"},
        {"TPF1" + good.substr(4), "Invalid stream format"},
        {good.substr(0, 4), "Stream read error"},
        {good.substr(0, good.size() - 1), "Stream read error"},
        {good.substr(0, good.size() / 2), "Stream read error"},
        {withProp("Count = 'text'"), "Invalid property value"},
        {withProp("Shade = shPurple"), "Invalid property value"},
        {withProp("Active = 1"), "Invalid property value"},
        {withProp("Flags = [flA, flZ]"), "Invalid property value"},
        {withProp("Letter = 'two'"), "Invalid property value"},
        {withProp("Nope = 1"), "Property Nope does not exist"},
        {withProp("Font.Nope = 1"), "Property Font.Nope does not exist"},
        {withProp("OnPing = NoSuchHandler"), "Invalid property value"},
        {withProp("OnPing = OtherSignature"), "Invalid property value"},
        {withProp("Buddy = Nobody"), "Invalid property value"},
        {withProp("Buddy = 5"), "Invalid property value"},
        {withProp("Items = 5"), "Invalid property value"},
        {withProp("ReadOnly = 'x'"), "Property ReadOnly does not exist"},
        {withProp("Lines.Strings = ('a' 5)"), "Invalid property value"},
        {Compile("object R: TRoot\n object A: TNope\n end\nend\n"), "Class TNope not found"},
        {Compile("object R: TRoot\n object A: TBase\n end\n object a: TBase\n end\nend\n"),
         "A component named a already exists"},
        {Compile("object R: TRoot\n Tag = 1\nend\n").replace(16, 1, "\x55"), "Invalid property value"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) EXPECT_EQ(ErrorOf(cases[i].bytes), cases[i].error) << i;

    // Deep nesting is refused, not followed down the stack.
    std::string deep = "TPF0" + std::string("\x05TRoot\x01R\x00", 9);
    for (int i = 0; i < 100000; ++i) deep += std::string("\x05TBase\x00\x00", 8);
    EXPECT_EQ(ErrorOf(deep), "Invalid property value");

    TRoot root(nullptr);
    try {
        ReadComponentRes(&root);
        FAIL() << "no error";
    } catch (const rtl::EResNotFound& e) {
        EXPECT_STREQ(e.what(), "Resource TRoot not found");
    }
}

TEST(FormStream, FailedLoadDiscardsPartialTreeAndCallsNoLoaded) {
    g_log.clear();
    std::string bytes = Compile("object R: TRoot\n object A: TDerived\n end\n object B: TDerived\n Shade = bad\n end\nend\n");
    EXPECT_EQ(ErrorOf(bytes), "Invalid property value");
    for (const std::string& line : g_log) EXPECT_EQ(line.find("loaded"), std::string::npos) << line;
}

TEST(FormStream, DamagedStreamsNeverCrash) {
    RegisterFixtureClasses();
    std::string good = Compile(SampleText());
    int failures = 0;
    for (size_t i = 0; i < good.size(); ++i)
        for (unsigned char v : {0x00, 0x07, 0x0E, 0xFF}) {
            std::string bad = good;
            bad[i] = char(v);
            auto root = std::make_unique<TRoot>(nullptr);
            try {
                ReadComponentFromBytes(root.get(), bad);
            } catch (const rtl::Exception&) {
                ++failures;
                EXPECT_EQ(root->ComponentCount(), 0) << i;
            }
        }
    EXPECT_GT(failures, 0);
}

class TPictureHolder : public TComponent {
    KXC_CLASS(TPictureHolder, TComponent)
public:
    explicit TPictureHolder(TComponent* owner) : TComponent(owner), picture(new TPicture) {}
    ~TPictureHolder() override { delete picture; }
    TPicture* Picture() const { return picture; }
    void SetPicture(TPicture* p) { picture->Assign(p); }
    TPicture* picture;
};
KXC_IMPLEMENT_CLASS(TPictureHolder)
void TPictureHolder::DescribeClass(TClassBuilder<TPictureHolder>& c) {
    c.Object<TPicture>("Picture", &TPictureHolder::Picture, &TPictureHolder::SetPicture);
}

std::string Hex(const std::string& bytes) {
    static const char* d = "0123456789ABCDEF";
    std::string r;
    for (unsigned char b : bytes) {
        r += d[b >> 4];
        r += d[b & 15];
    }
    return r;
}

// A 2 x 2 bitmap file, 24 bits per pixel.
std::string SmallBmp() {
    std::string bits(16, '\x11');
    auto le32 = [](uint32_t v) {
        std::string s;
        for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
        return s;
    };
    std::string info = le32(40) + le32(2) + le32(2) + std::string("\x01\x00\x18\x00", 4) + le32(0) + le32(16) +
                       le32(2835) + le32(2835) + le32(0) + le32(0);
    return "BM" + le32(uint32_t(14 + info.size() + bits.size())) + le32(0) + le32(54) + info + bits;
}

TEST(FormStream, PictureDataRoundTripAndDamage) {
    RegisterComponentClass(TPictureHolder::StaticClass());
    std::string bmp = SmallBmp();
    auto le32 = [](uint32_t v) {
        std::string s;
        for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
        return s;
    };
    std::string data = "\x07TBitmap" + le32(uint32_t(bmp.size())) + bmp;
    auto text = [](const std::string& hex) {
        return "object R: TRoot\n object P: TPictureHolder\n Picture.Data = {" + hex + "}\n end\nend\n";
    };
    std::string bin = Compile(text(Hex(data)));
    TRoot root(nullptr);
    ReadComponentFromBytes(&root, bin);
    auto* holder = static_cast<TPictureHolder*>(root.FindComponent("P"));
    ASSERT_NE(holder, nullptr);
    ASSERT_NE(dynamic_cast<TBitmap*>(holder->Picture()->Graphic()), nullptr);
    EXPECT_EQ(holder->Picture()->Width(), 2);
    EXPECT_EQ(static_cast<TBitmap*>(holder->Picture()->Graphic())->FileBytes(), bmp);
    EXPECT_EQ(WriteComponentToBytes(&root), bin);

    struct Case {
        std::string data;
        std::string error;
    } cases[] = {
        {"\x07TBitmap" + le32(uint32_t(bmp.size() + 10)) + bmp, "Stream read error"},
        {"\x07TBitmap" + le32(uint32_t(bmp.size())) + "XX" + bmp.substr(2), "Bitmap image is not valid"},
        {"\x07TBitmap" + le32(uint32_t(bmp.size() - 4)) + bmp.substr(0, bmp.size() - 4), "Bitmap image is not valid"},
        {"\x05TJpeg" + bmp, "Unknown picture file extension (TJpeg)"},
        {"\x05TIcon" + std::string("\x00\x00\x02\x00", 4), "Icon image is not valid"},
        {"\x30", "Stream read error"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(ErrorOf(Compile(text(Hex(cases[i].data)))), cases[i].error) << i;
}

// A component that records its state at each step of its life.
class TStateProbe : public TComponent {
    KXC_CLASS(TStateProbe, TComponent)
public:
    using TComponent::TComponent;
    ~TStateProbe() override { g_log.push_back(std::string("destroying ") + (Destroying() ? "yes" : "no")); }
    int32_t Probe() const { return probe_; }
    void SetProbe(int32_t v) {
        probe_ = v;
        g_log.push_back("set " + Flags());
    }
    void Loaded() override {
        TComponent::Loaded();
        g_log.push_back("loaded " + Flags());
    }
    std::string Flags() const {
        std::string r;
        if (ComponentState() & csLoading) r += "L";
        if (ComponentState() & csReading) r += "R";
        return r.empty() ? "-" : r;
    }

private:
    int32_t probe_ = 0;
};
KXC_IMPLEMENT_CLASS(TStateProbe)
void TStateProbe::DescribeClass(TClassBuilder<TStateProbe>& c) {
    c.Int("Probe", &TStateProbe::Probe, &TStateProbe::SetProbe).DefaultValue(0);
}

// Properties are set while the component is loading and reading; Loaded comes after the
// reading; an owner's end marks its components as destroying before they go.
TEST(FormStream, ComponentStateWhileReadingLoadingAndDestroying) {
    RegisterFixtureClasses();
    RegisterComponentClass(TStateProbe::StaticClass());
    g_log.clear();
    {
        TRoot root(nullptr);
        ReadComponentFromBytes(&root, Compile("object Root: TRoot\n object P: TStateProbe\n Probe = 4\n end\nend\n"));
        auto* p = static_cast<TStateProbe*>(root.FindComponent("P"));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->Probe(), 4);
        EXPECT_EQ(p->Flags(), "-");
        EXPECT_FALSE(root.Loading());
        EXPECT_FALSE(p->Designing());
        root.SetDesigning(true, true);
        EXPECT_TRUE(p->Designing());
        root.SetDesigning(false, true);
        EXPECT_FALSE(p->Designing());
    }
    EXPECT_EQ(g_log, (std::vector<std::string>{"set LR", "loaded Root", "loaded -", "destroying yes"}));
}

// Writes down, for each object whose defined properties are asked for, the filer's ancestor.
std::vector<std::pair<const TObject*, const TPersistent*>> g_ancestors;

class TProbeData : public TPersistent {
    KXC_CLASS(TProbeData, TPersistent)
public:
    void DefineProperties(TFiler& f) override { g_ancestors.push_back({this, f.Ancestor()}); }
};
KXC_IMPLEMENT_CLASS(TProbeData)
void TProbeData::DescribeClass(TClassBuilder<TProbeData>&) {}

class TAncestorProbe : public TComponent {
    KXC_CLASS(TAncestorProbe, TComponent)
public:
    using TComponent::TComponent;
    TProbeData* Data() const { return const_cast<TProbeData*>(&data_); }
    void SetData(TProbeData*) {}
    void DefineProperties(TFiler& f) override { g_ancestors.push_back({this, f.Ancestor()}); }

private:
    TProbeData data_;
};
KXC_IMPLEMENT_CLASS(TAncestorProbe)
void TAncestorProbe::DescribeClass(TClassBuilder<TAncestorProbe>& c) {
    c.Object<TProbeData>("Data", &TAncestorProbe::Data, &TAncestorProbe::SetData);
}

TEST(FormStream, AncestorOfEachComponentAndSubObjectWhileWriting) {
    TRoot ancestor(nullptr), form(nullptr);
    auto* a1 = Create<TAncestorProbe>(&ancestor);
    a1->SetName("P1");
    auto* a3 = Create<TBase>(&ancestor);
    a3->SetName("P3");
    auto* p1 = Create<TAncestorProbe>(&form);
    p1->SetName("P1");
    auto* p2 = Create<TAncestorProbe>(&form);  // not in the ancestor
    p2->SetName("P2");
    auto* p3 = Create<TAncestorProbe>(&form);  // its namesake there is of another class
    p3->SetName("P3");

    using Seen = std::vector<std::pair<const TObject*, const TPersistent*>>;
    g_ancestors.clear();
    TMemoryStream out;
    TWriter(out).WriteDescendent(&form, &ancestor);
    // Published sub-objects are written before the component's own defined properties.
    EXPECT_EQ(g_ancestors, (Seen{{p1->Data(), a1->Data()}, {p1, a1}, {p2->Data(), nullptr}, {p2, nullptr},
                                 {p3->Data(), nullptr}, {p3, nullptr}}));
    // Without an ancestor there is none for anything, and the two descriptions are the same.
    g_ancestors.clear();
    EXPECT_EQ(WriteComponentToBytes(&form), out.Bytes());
    for (const auto& seen : g_ancestors) EXPECT_EQ(seen.second, nullptr);
    EXPECT_EQ(g_ancestors.size(), 6u);
}

// The transparent colour of a bitmap is its bottom-left pixel, in every pixel format a form
// description may hold.
TEST(Bitmap, TransparentColourIsTheBottomLeftPixelInEveryFormat) {
    auto le32 = [](uint32_t v) {
        std::string s;
        for (int i = 0; i < 4; ++i) s += char((v >> (8 * i)) & 0xFF);
        return s;
    };
    // A 2 x 2 bitmap; `rows` holds the stored rows (bottom row first unless topDown).
    auto bmp = [&](int bits, uint32_t compression, const std::string& extra, const std::string& rows, bool topDown) {
        std::string info = le32(40) + le32(2) + le32(topDown ? uint32_t(-2) : 2u) + std::string("\x01\x00", 2) +
                           char(bits) + '\0' + le32(compression) + le32(uint32_t(rows.size())) + le32(2835) +
                           le32(2835) + le32(0) + le32(0);
        uint32_t offset = uint32_t(14 + info.size() + extra.size());
        return "BM" + le32(offset + uint32_t(rows.size())) + le32(0) + le32(offset) + info + extra + rows;
    };
    const std::string z4(4, '\0');
    // Palette: 0 black, 1 red, 2 (0x10, 0x20, 0x30), then unused entries.
    std::string palette = le32(0) + le32(0xFF0000) + le32(0x102030) + std::string(13 * 4, '\0');
    std::string palette2 = le32(0) + le32(0x00FF00);
    struct Case {
        const char* what;
        std::string file;
        uint32_t rgb;  // 0x00BBGGRR
    } cases[] = {
        {"24 bits", bmp(24, 0, "", std::string("\x30\x20\x10\0\0\0\0\0", 8) + std::string(8, '\0'), false), 0x302010},
        {"24 bits top-down", bmp(24, 0, "", std::string(8, '\0') + std::string("\x30\x20\x10\0\0\0\0\0", 8), true),
         0x302010},
        // 5-5-5: red 31, green 16, blue 1 -> 0x7E01 with each channel widened to 8 bits.
        {"16 bits 5-5-5", bmp(16, 0, "", std::string("\x01\x7E\0\0", 4) + z4, false), 0x0884FF},
        {"16 bits 5-5-5 top-down", bmp(16, 0, "", z4 + std::string("\x1F\x00\0\0", 4), true), 0xFF0000},
        // 5-6-5 through bit fields: pure green.
        {"16 bits 5-6-5", bmp(16, 3, le32(0xF800) + le32(0x07E0) + le32(0x001F), std::string("\xE0\x07\0\0", 4) + z4, false),
         0x00FF00},
        {"32 bits", bmp(32, 0, "", std::string("\x30\x20\x10\0", 4) + std::string(12, '\0'), false), 0x302010},
        {"8 bits", bmp(8, 0, std::string(palette, 0, 3 * 4) + std::string(253 * 4, '\0'), std::string("\x02\0\0\0", 4) + z4, false),
         0x302010},
        {"4 bits", bmp(4, 0, palette, std::string("\x10\0\0\0", 4) + z4, false), 0x0000FF},
        {"1 bit", bmp(1, 0, palette2, std::string("\x80\0\0\0", 4) + z4, false), 0x00FF00},
    };
    for (const auto& c : cases) {
        TBitmap b;
        b.LoadFromBytes(c.file);
        EXPECT_EQ(b.Width(), 2) << c.what;
        EXPECT_EQ(b.TransparentColorRGB(), c.rgb) << c.what;
    }
    EXPECT_EQ(TBitmap().TransparentColorRGB(), 0u);
}

TEST(FormText, SyntaxErrorsNameTheLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"object R: TRoot\n  A = )\nend\n", "test(2): value expected"},
        {"object R: TRoot\n  A = 'open\nend\n", "test(2): unterminated string"},
        {"object R: TRoot\n  object B: TBase\n  end\n  A = 1\nend\n", "test(4): properties must come before the child objects"},
        {"object R: TRoot\n  A = {123}\nend\n", "test(2): odd number of hex digits in binary data"},
        {"thing R: TRoot\nend\n", "test(1): 'object' expected"},
        {"object R: TRoot\n  A = 1\n", "test(3): 'end' expected"},
        {"object R: TRoot\nend\nextra", "test(3): text after the end of the root object"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        try {
            formtext::CompileFormText(cases[i].text, "test");
            ADD_FAILURE() << i << ": no error";
        } catch (const rtl::Exception& e) {
            EXPECT_STREQ(e.what(), cases[i].error) << i;
        }
    }
}

}  // namespace
