// Translator targets: the matching rules, the list operations, and the stored forms of a
// target list (TargetsData of a translator, the old Data of the list) as byte streams.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "components/filer.h"
#include "components/streams.h"
#include "qx/QxDictio.h"
#include "qx/QxTargets.h"

using qx::TQxTargetProperties;
using qx::TQxTargetProperty;

namespace {

struct T {
    const char* cls;
    const char* prop;
    uint8_t kind;
};

void Fill(TQxTargetProperties& list, const std::vector<T>& targets) {
    for (const T& t : targets) list.Add(std::make_unique<TQxTargetProperty>(t.cls, t.prop, t.kind));
}

std::string Dump(const TQxTargetProperties& list) {
    std::string s;
    for (int32_t i = 0; i < list.Count(); ++i) {
        const TQxTargetProperty* t = list.Items(i);
        s += "(" + t->ClassName + "," + t->PropertyName + "," + std::to_string(t->Kind) + ")";
    }
    return s;
}

// ---- Matching ------------------------------------------------------------------------------

// Names of properties and classes in code page 1251: "\xC8" is И, "\xE8" is и.
TEST(QxTargetMatching, IsTargetAndIsExcluded) {
    struct Case {
        std::vector<T> targets;
        const char* cls;
        const char* prop;
        bool target;
        bool excluded;
    } cases[] = {
        {{}, "TLabel", "Caption", false, false},
        {{{"", "Caption", 0}}, "TLabel", "Caption", true, false},
        {{{"", "Caption", 0}}, "TLabel", "Hint", false, false},
        // A target of one class does not reach classes derived from it: the caller passes the
        // object's own class name.
        {{{"", "Caption", 0}, {"TLabel", "Caption", 1}}, "TLabel", "Caption", false, true},
        {{{"", "Caption", 0}, {"TLabel", "Caption", 1}}, "TMyLabel", "Caption", true, false},
        // Exclusions win wherever they stand.
        {{{"TLabel", "Caption", 1}, {"", "Caption", 0}}, "TLabel", "Caption", false, true},
        {{{"", "", 0}}, "TLabel", "Caption", false, false},
        {{{"", "", 1}, {"", "Caption", 0}}, "TLabel", "Caption", true, false},
        {{{"", "caption", 0}}, "TLabel", "Caption", true, false},
        {{{"", "CAPTION", 0}}, "TLabel", "Caption", true, false},
        {{{"tlabel", "Caption", 0}}, "TLABEL", "caption", true, false},
        {{{"", "Captio", 0}}, "TLabel", "Caption", false, false},
        {{{"", "\xC8\xEC\xFF", 0}}, "TLabel", "\xC8\xEC\xFF", true, false},
        {{{"", "\xE8\xEC\xFF", 0}}, "TLabel", "\xC8\xEC\xFF", false, false},  // a-z only
        {{{"TButton", "", 0}}, "TButton", "Hint", true, false},
        {{{"TButton", "", 0}}, "TLabel", "Hint", false, false},
        {{{"", "Hint", 0}, {"TButton", "", 1}}, "TButton", "Hint", false, true},
        {{{"", "Hint", 0}, {"TButton", "", 1}}, "TLabel", "Hint", true, false},
        // Only kinds 0 and 1 mean something.
        {{{"", "Hint", 2}}, "TLabel", "Hint", false, false},
    };
    int i = 0;
    for (const Case& c : cases) {
        TQxTargetProperties list;
        Fill(list, c.targets);
        EXPECT_EQ(list.IsTarget(c.cls, c.prop), c.target) << "case " << i;
        EXPECT_EQ(list.IsExcluded(c.cls, c.prop), c.excluded) << "case " << i;
        ++i;
    }
}

TEST(QxTargetMatching, IsClassTarget) {
    struct Case {
        std::vector<T> targets;
        const char* cls;
        bool expected;
    } cases[] = {
        {{}, "TButton", false},
        {{{"TButton", "", 0}}, "TButton", true},
        {{{"TButton", "", 0}}, "tbutton", true},
        {{{"TButton", "Caption", 0}}, "TButton", false},
        {{{"", "Caption", 0}}, "TButton", false},
        {{{"TButton", "", 0}, {"TButton", "", 1}}, "TButton", false},
        {{{"TButton", "", 0}, {"TButton", "Hint", 1}}, "TButton", true},
        {{{"TButton", "", 0}, {"TLabel", "", 1}}, "TButton", true},
    };
    int i = 0;
    for (const Case& c : cases) {
        TQxTargetProperties list;
        Fill(list, c.targets);
        EXPECT_EQ(list.IsClassTarget(c.cls), c.expected) << "case " << i++;
    }
}

// ---- List operations -----------------------------------------------------------------------

TEST(QxTargetList, AddIndexOfEqualsClone) {
    TQxTargetProperty empty;
    EXPECT_EQ(empty.ClassName, "");
    EXPECT_EQ(empty.PropertyName, "");
    EXPECT_EQ(empty.Kind, 0);

    TQxTargetProperties list;
    Fill(list, {{"", "Caption", 0}, {"", "caption", 0}, {"TLabel", "Hint", 1}});
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.ExcludeCount(), 1);
    // Equality is exact: names differing in case are two targets.
    EXPECT_EQ(list.IndexOf(TQxTargetProperty("", "caption", 0)), 1);
    EXPECT_EQ(list.IndexOf(TQxTargetProperty("", "CAPTION", 0)), -1);
    EXPECT_EQ(list.IndexOf(TQxTargetProperty("TLabel", "Hint", 0)), -1);
    std::unique_ptr<TQxTargetProperty> copy = list.Items(2)->Clone();
    EXPECT_NE(copy.get(), list.Items(2));
    EXPECT_TRUE(copy->Equals(*list.Items(2)));
    EXPECT_THROW(list.Items(3), rtl::EListError);
    EXPECT_THROW(list.Items(-1), rtl::EListError);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.ExcludeCount(), 0);
}

TEST(QxTargetList, Assign) {
    TQxTargetProperties a, b;
    Fill(a, {{"", "Caption", 0}, {"TLabel", "", 1}});
    Fill(b, {{"", "Hint", 0}});
    b.Assign(&a);
    EXPECT_EQ(Dump(b), "(,Caption,0)(TLabel,,1)");
    EXPECT_EQ(b.ExcludeCount(), 1);
    EXPECT_NE(b.Items(0), a.Items(0));  // copies, not shared targets

    // A list assigned to itself keeps its targets.
    b.Assign(&b);
    EXPECT_EQ(Dump(b), "(,Caption,0)(TLabel,,1)");
    EXPECT_EQ(b.ExcludeCount(), 1);

    // Anything else: the assignment error, the list unchanged.
    kxc::TStringList strings;
    try {
        b.Assign(&strings);
        ADD_FAILURE() << "no error";
    } catch (const rtl::EConvertError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a TStringList to a TQxTargetProperties");
    }
    EXPECT_EQ(Dump(b), "(,Caption,0)(TLabel,,1)");
}

TEST(QxTargetList, SameTargets) {
    struct Case {
        std::vector<T> a, b;
        bool same;
    } cases[] = {
        {{}, {}, true},
        {{{"", "Caption", 0}, {"", "Hint", 0}}, {{"", "Hint", 0}, {"", "Caption", 0}}, true},
        {{{"", "Caption", 0}}, {{"", "Caption", 1}}, false},
        {{{"", "Caption", 0}}, {{"", "caption", 0}}, false},
        {{{"", "Caption", 0}}, {{"", "Caption", 0}, {"", "Hint", 0}}, false},
        // Duplicates (old Data keeps them) are compared both ways.
        {{{"", "Caption", 0}, {"", "Caption", 0}}, {{"", "Caption", 0}, {"", "Hint", 0}}, false},
        {{{"", "Caption", 0}, {"", "Hint", 0}}, {{"", "Caption", 0}, {"", "Caption", 0}}, false},
    };
    int i = 0;
    for (const Case& c : cases) {
        TQxTargetProperties a, b;
        Fill(a, c.a);
        Fill(b, c.b);
        EXPECT_EQ(a.SameTargets(b), c.same) << "case " << i;
        EXPECT_EQ(b.SameTargets(a), c.same) << "case " << i;
        ++i;
    }
}

// ---- TargetsData as bytes ------------------------------------------------------------------

std::string L() { return "\x01"; }
std::string E() { return std::string(1, '\0'); }
std::string I8(int8_t v) { return std::string("\x02") + char(v); }
std::string I16(int16_t v) { return std::string("\x03") + char(v & 0xFF) + char((v >> 8) & 0xFF); }
std::string I32(int32_t v) {
    std::string s = "\x04";
    for (int k = 0; k < 4; ++k) s += char((uint32_t(v) >> (8 * k)) & 0xFF);
    return s;
}
std::string S(const std::string& v) { return std::string("\x06") + char(v.size()) + v; }
std::string LS(const std::string& v) {
    std::string s = "\x0C";
    for (int k = 0; k < 4; ++k) s += char((v.size() >> (8 * k)) & 0xFF);
    return s + v;
}
std::string Entry(const std::string& cls, const std::string& prop, const std::string& kind) {
    return L() + cls + prop + kind + E();
}

struct ReadResult {
    std::string targets;
    int32_t excludeCount = 0;
    std::string error;
    int64_t consumed = 0;
};

ReadResult ReadBytes(const std::string& bytes, const std::vector<T>& before = {}) {
    TQxTargetProperties list;
    Fill(list, before);
    kxc::TMemoryStream stream(bytes);
    kxc::TReader reader(stream);
    ReadResult r;
    try {
        qx::ReadTargetsData(reader, list);
        r.consumed = reader.Position();
    } catch (const qx::EQxMulti& e) {
        r.error = std::string("EQxMulti: ") + e.what();
    } catch (const rtl::EReadError& e) {
        r.error = std::string("EReadError: ") + e.what();
    }
    r.targets = Dump(list);
    r.excludeCount = list.ExcludeCount();
    return r;
}

TEST(QxTargetsData, Read) {
    const std::string hint = Entry(S("*"), S("Hint"), I8(0));
    const std::string caption = Entry(S("*"), S("Caption"), I8(0));
    struct Case {
        std::string bytes;
        std::vector<T> before;
        std::string targets;
        int32_t excludeCount;
        std::string error;
    } cases[] = {
        {L() + I8(1) + I8(2) + hint + caption + E(), {}, "(,Hint,0)(,Caption,0)", 0, ""},
        {L() + I8(0) + I8(1) + hint + E(), {}, "(,Hint,0)", 0, ""},
        {L() + I8(-1) + I8(1) + hint + E(), {}, "(,Hint,0)", 0, ""},
        {L() + I8(2) + I8(1) + hint + E(), {}, "", 0,
         "EQxMulti: Unknown target properties data version: 2"},
        {L() + I32(70000) + I8(0) + E(), {}, "", 0,
         "EQxMulti: Unknown target properties data version: 70000"},
        // Integers of every width; the kind keeps its low 8 bits (257 is an exclusion).
        {L() + I16(1) + I32(2) + Entry(S("TLabel"), S("Caption"), I16(257)) +
             Entry(S("TEdit"), S("Text"), I32(256)) + E(),
         {}, "(TLabel,Caption,1)(TEdit,Text,0)", 1, ""},
        // Long strings; "" and "*" are both wildcards, only the whole string "*".
        {L() + I8(1) + I8(3) + Entry(LS("TMemo"), LS("*"), I8(0)) +
             Entry(S(""), S("Hint"), I8(1)) + Entry(S("*x"), S("**"), I8(0)) + E(),
         {}, "(TMemo,,0)(,Hint,1)(*x,**,0)", 1, ""},
        // Duplicates within the data and with what the list holds are dropped.
        {L() + I8(1) + I8(3) + hint + hint + caption + E(), {{"", "Caption", 0}},
         "(,Caption,0)(,Hint,0)", 0, ""},
        // Reading appends; an equal target differing only in kind is kept.
        {L() + I8(1) + I8(1) + Entry(S("*"), S("Hint"), I8(1)) + E(), {{"", "Hint", 0}},
         "(,Hint,0)(,Hint,1)", 1, ""},
        {L() + I8(1) + I8(0) + E(), {}, "", 0, ""},
        // Wrong value types and data that end early: the reader's errors; what was read stays.
        {L() + I8(1) + I8(2) + hint + Entry(S("*"), I8(5), I8(0)) + E(), {}, "(,Hint,0)", 0,
         "EReadError: Invalid property value"},
        {L() + S("1") + I8(0) + E(), {}, "", 0, "EReadError: Invalid property value"},
        {I8(1) + I8(0) + E(), {}, "", 0, "EReadError: Invalid property value"},
        {L() + I8(1) + I32(0x7FFFFFFF) + hint, {}, "(,Hint,0)", 0,
         "EReadError: Stream read error"},
        {L() + I8(1) + I8(1) + L() + S("*") + S("Hint") + I8(0) + I8(0) + E() + E(), {}, "", 0,
         "EReadError: Invalid property value"},
    };
    int i = 0;
    for (const Case& c : cases) {
        ReadResult r = ReadBytes(c.bytes, c.before);
        EXPECT_EQ(r.error, c.error) << "case " << i;
        EXPECT_EQ(r.targets, c.targets) << "case " << i;
        EXPECT_EQ(r.excludeCount, c.excludeCount) << "case " << i;
        if (c.error.empty()) {
            EXPECT_EQ(r.consumed, int64_t(c.bytes.size())) << "case " << i;
        }
        ++i;
    }
}

std::string WriteBytes(const TQxTargetProperties& list, const TQxTargetProperties* ancestor) {
    kxc::TMemoryStream stream;
    kxc::TWriter writer(stream);
    qx::WriteTargetsData(writer, list, ancestor);
    return stream.Bytes();
}

TEST(QxTargetsData, WriteAndStored) {
    const std::string longName(300, 'P');
    struct Case {
        std::vector<T> own;
        bool hasAncestor;
        std::vector<T> ancestor;
        bool stored;
        std::string bytes;
    } cases[] = {
        {{}, false, {}, false, L() + I8(1) + I8(0) + E()},
        {{{"", "Hint", 0}, {"TLabel", "", 1}}, false, {}, true,
         L() + I8(1) + I8(2) + Entry(S("*"), S("Hint"), I8(0)) + Entry(S("TLabel"), S("*"), I8(1)) +
             E()},
        {{{"TEdit", longName.c_str(), 0}}, false, {}, true,
         L() + I8(1) + I8(1) + Entry(S("TEdit"), LS(longName), I8(0)) + E()},
        // Against an ancestor translator: nothing when the lists hold the same targets (in
        // any order), else only what the ancestor lacks, counted.
        {{{"", "Hint", 0}, {"", "Caption", 0}}, true, {{"", "Caption", 0}, {"", "Hint", 0}},
         false, L() + I8(1) + I8(0) + E()},
        {{{"", "Hint", 0}, {"", "Caption", 0}, {"TMemo", "Text", 0}}, true,
         {{"", "Caption", 0}, {"", "Hint", 0}}, true,
         L() + I8(1) + I8(1) + Entry(S("TMemo"), S("Text"), I8(0)) + E()},
        {{{"", "Hint", 1}}, true, {{"", "Hint", 0}}, true,
         L() + I8(1) + I8(1) + Entry(S("*"), S("Hint"), I8(1)) + E()},
        {{{"", "Hint", 0}}, true, {}, true,
         L() + I8(1) + I8(1) + Entry(S("*"), S("Hint"), I8(0)) + E()},
    };
    int i = 0;
    for (const Case& c : cases) {
        TQxTargetProperties own, ancestor;
        Fill(own, c.own);
        Fill(ancestor, c.ancestor);
        const TQxTargetProperties* a = c.hasAncestor ? &ancestor : nullptr;
        kxc::TMemoryStream stream;
        kxc::TWriter writer(stream);
        EXPECT_EQ(qx::TargetsDataStored(writer, own, a), c.stored) << "case " << i;
        EXPECT_EQ(WriteBytes(own, a), c.bytes) << "case " << i;
        kxc::TReader reader(stream);
        EXPECT_TRUE(qx::TargetsDataStored(reader, own, a)) << "case " << i;
        ++i;
    }
}

// ---- Through form descriptions -------------------------------------------------------------

// A component that stores its targets the way the translator does.
class TTargetsHolder : public kxc::TComponent {
    KXC_CLASS(TTargetsHolder, kxc::TComponent)
public:
    explicit TTargetsHolder(kxc::TComponent* owner)
        : kxc::TComponent(owner), targets_(std::make_unique<TQxTargetProperties>()) {}
    TQxTargetProperties* Targets() const { return targets_.get(); }
    void SetTargets(TQxTargetProperties* v) { targets_->Assign(v); }
    void DefineProperties(kxc::TFiler& filer) override {
        inherited::DefineProperties(filer);
        auto* ancestor = dynamic_cast<TTargetsHolder*>(filer.Ancestor());
        qx::DefineTargetsData(filer, *targets_, ancestor ? ancestor->Targets() : nullptr);
    }

private:
    std::unique_ptr<TQxTargetProperties> targets_;
};

KXC_IMPLEMENT_CLASS(TTargetsHolder)
void TTargetsHolder::DescribeClass(kxc::TClassBuilder<TTargetsHolder>& c) {
    c.Object<TQxTargetProperties>("Targets", &TTargetsHolder::Targets, &TTargetsHolder::SetTargets);
}

std::string PropName(const std::string& name) { return std::string(1, char(name.size())) + name; }
std::string Description(const std::string& properties) {
    return "TPF0" + PropName("TTargetsHolder") + PropName("Holder1") + properties + E() + E();
}

TEST(QxTargetsData, ThroughFormDescriptions) {
    // Written: TargetsData only, never the list's Data.
    TTargetsHolder written(nullptr);
    written.SetName("Holder1");
    Fill(*written.Targets(), {{"", "Hint", 0}, {"", "Caption", 0}});
    const std::string targetsData =
        L() + I8(1) + I8(2) + Entry(S("*"), S("Hint"), I8(0)) + Entry(S("*"), S("Caption"), I8(0)) +
        E();
    EXPECT_EQ(kxc::WriteComponentToBytes(&written), Description(PropName("TargetsData") + targetsData));

    // Written against an ancestor with the same targets: nothing stored.
    TTargetsHolder ancestor(nullptr);
    Fill(*ancestor.Targets(), {{"", "Caption", 0}, {"", "Hint", 0}});
    {
        kxc::TMemoryStream stream;
        kxc::TWriter writer(stream);
        writer.WriteDescendent(&written, &ancestor);
        EXPECT_EQ(stream.Bytes(), Description(""));
    }

    // Read back.
    TTargetsHolder read(nullptr);
    kxc::ReadComponentFromBytes(&read, Description(PropName("TargetsData") + targetsData));
    EXPECT_EQ(Dump(*read.Targets()), "(,Hint,0)(,Caption,0)");

    // An old description's Data: the list replaced, duplicates and "*" kept as read.
    TTargetsHolder old(nullptr);
    Fill(*old.Targets(), {{"", "Text", 1}});
    kxc::ReadComponentFromBytes(
        &old, Description(PropName("Targets.Data") + L() + I8(3) + S("") + S("Caption") + S("") +
                          S("Caption") + S("*") + LS("Hint") + E()));
    EXPECT_EQ(Dump(*old.Targets()), "(,Caption,0)(,Caption,0)(*,Hint,0)");
    EXPECT_EQ(old.Targets()->ExcludeCount(), 0);

    // A version it does not know stops the load with the runtime's error.
    TTargetsHolder future(nullptr);
    try {
        kxc::ReadComponentFromBytes(
            &future, Description(PropName("TargetsData") + L() + I8(2) + I8(0) + E()));
        ADD_FAILURE() << "no error";
    } catch (const qx::EQxMulti& e) {
        EXPECT_STREQ(e.what(), "Unknown target properties data version: 2");
    }
}

// ---- setup's forms -------------------------------------------------------------------------

std::string FormBytes(const std::string& className, const std::string& file) {
#ifdef _WIN32
    (void)file;
    kxc::TResourceStream stream(className);
    std::string bytes(size_t(stream.Size()), '\0');
    stream.Read(&bytes[0], int32_t(bytes.size()));
    return bytes;
#else
    (void)className;
    std::ifstream in(std::string(KX_TEST_FORMS_DIR) + "/" + file + ".frm", std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
#endif
}

// Each translated form of setup stores Hint and Caption of any class; reading and writing
// them again gives the stored bytes back.
TEST(QxTargetsData, SetupFormsRoundTrip) {
    const struct {
        const char* cls;
        const char* file;
    } forms[] = {{"TfrmMain", "frmMain"},
                 {"TfrmStUp", "frmStUp"},
                 {"TfrmSaving", "frmSaving"},
                 {"TfrmCancelWarn", "frmCancelWarn"}};
    for (const auto& f : forms) {
        const std::string bytes = FormBytes(f.cls, f.file);
        ASSERT_GT(bytes.size(), 4u) << f.file;
        const std::string name = PropName("TargetsData");
        const size_t at = bytes.find(name);
        ASSERT_NE(at, std::string::npos) << f.file;
        EXPECT_EQ(bytes.find(name, at + 1), std::string::npos) << f.file;
        const std::string rest = bytes.substr(at + name.size());

        TQxTargetProperties list;
        kxc::TMemoryStream in(rest);
        kxc::TReader reader(in);
        qx::ReadTargetsData(reader, list);
        EXPECT_EQ(Dump(list), "(,Hint,0)(,Caption,0)") << f.file;
        EXPECT_EQ(WriteBytes(list, nullptr), rest.substr(0, size_t(reader.Position()))) << f.file;
        EXPECT_TRUE(list.IsTarget("TRadioButton", "Caption")) << f.file;
        EXPECT_TRUE(list.IsTarget("TfrmMain", "Hint")) << f.file;
        EXPECT_FALSE(list.IsTarget("TListBox", "Items")) << f.file;
        EXPECT_FALSE(list.IsTarget("TMemo", "Text")) << f.file;
    }
}

}  // namespace
