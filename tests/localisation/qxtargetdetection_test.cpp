// Design-time target detection over fixture classes: the candidate file's lines, the default
// names, the special control classes, the property walk (sub-objects, string lists,
// collections, component references, cycles), the error guard and the drop-time setting.
// The tool's settings come from a source in memory; the candidate files are real files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <direct.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "memory_dictionary.h"
#include "qx/QxTargetDetection.h"

KXC_IMPLEMENT_CLASS(MemoryDictionary)
void MemoryDictionary::DescribeClass(kxc::TClassBuilder<MemoryDictionary>&) {}

namespace {

using Target = std::pair<std::string, std::string>;  // class, property (all include targets)

std::vector<Target> TargetsOf(const qx::TQxTargetProperties& list) {
    std::vector<Target> r;
    for (int32_t i = 0; i < list.Count(); ++i) {
        EXPECT_EQ(list.Items(i)->Kind, qx::qxtkInclude) << i;
        r.emplace_back(list.Items(i)->ClassName, list.Items(i)->PropertyName);
    }
    return r;
}

void AddTarget(qx::TQxTargetProperties& list, const std::string& c, const std::string& p,
               uint8_t kind = qx::qxtkInclude) {
    list.Add(std::make_unique<qx::TQxTargetProperty>(c, p, kind));
}

// ---- Settings and candidate files ----

class FakeSettings : public qx::TQxToolSettings {
public:
    FakeSettings() : previous_(qx::SetToolSettings(this)) {}
    ~FakeSettings() override { qx::SetToolSettings(previous_); }
    FakeSettings(const FakeSettings&) = delete;
    FakeSettings& operator=(const FakeSettings&) = delete;

    bool ReadString(const std::string& name, std::string& value) override {
        ++reads;
        if (failing) throw std::runtime_error("settings unreadable");
        auto it = values.find(name);
        if (it == values.end()) return false;
        value = it->second;
        return true;
    }
    std::map<std::string, std::string> values;
    int reads = 0;
    bool failing = false;

private:
    qx::TQxToolSettings* previous_;
};

#ifdef _WIN32
const char kSep = '\\';
void MakeFolder(const std::string& p) { CreateDirectoryA(p.c_str(), nullptr); }
void RemoveFolder(const std::string& p) { RemoveDirectoryA(p.c_str()); }
std::string TempRoot() {
    char buffer[MAX_PATH] = {};
    GetTempPathA(sizeof buffer, buffer);
    return std::string(buffer) + "kxdetect" + std::to_string(GetCurrentProcessId());
}
#else
const char kSep = '/';
void MakeFolder(const std::string& p) { mkdir(p.c_str(), 0700); }
void RemoveFolder(const std::string& p) { rmdir(p.c_str()); }
std::string TempRoot() { return "/tmp/kxdetect" + std::to_string(getpid()); }
#endif

// A folder (Cyrillic name in code page 1251) for candidate files, removed at the end.
class CandidateFolder {
public:
    CandidateFolder() : root_(TempRoot()), path_(root_ + kSep + "\xCF\xE5\xF0\xE5\xE2\xEE\xE4") {
        MakeFolder(root_);
        MakeFolder(path_);
    }
    ~CandidateFolder() {
        std::remove(File().c_str());
        RemoveFolder(path_);
        RemoveFolder(root_);
    }
    CandidateFolder(const CandidateFolder&) = delete;
    CandidateFolder& operator=(const CandidateFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File() const { return path_ + kSep + "Targets.txt"; }
    void Write(const std::string& text) const {
        std::ofstream f(File(), std::ios::binary | std::ios::trunc);
        f << text;
    }
    void Remove() const { std::remove(File().c_str()); }

private:
    std::string root_, path_;
};

// ---- Fixture classes ----

class TDetFont : public kxc::TPersistent {
    KXC_CLASS(TDetFont, kxc::TPersistent)
public:
    std::string name = "Arial", caption;
};
KXC_IMPLEMENT_CLASS(TDetFont)
void TDetFont::DescribeClass(kxc::TClassBuilder<TDetFont>& c) {
    c.Str("Name", &TDetFont::name, &TDetFont::name);
    c.Str("Caption", &TDetFont::caption, &TDetFont::caption);
}

class TDetColumn : public kxc::TCollectionItem {
    KXC_CLASS(TDetColumn, kxc::TCollectionItem)
public:
    using kxc::TCollectionItem::TCollectionItem;
    std::string title, field;
};
KXC_IMPLEMENT_CLASS(TDetColumn)
void TDetColumn::DescribeClass(kxc::TClassBuilder<TDetColumn>& c) {
    c.Str("Title", &TDetColumn::title, &TDetColumn::title);
    c.Str("Hints", &TDetColumn::field, &TDetColumn::field);
}

// A node of a chain of references that may lead back to itself.
class TDetNode : public kxc::TPersistent {
    KXC_CLASS(TDetNode, kxc::TPersistent)
public:
    TDetNode* GetNext() const {
        ++nextReads;
        return next;
    }
    void SetNext(TDetNode* v) { next = v; }
    std::string tabs;
    TDetNode* next = nullptr;
    mutable int nextReads = 0;
};
KXC_IMPLEMENT_CLASS(TDetNode)
void TDetNode::DescribeClass(kxc::TClassBuilder<TDetNode>& c) {
    c.Str("Tabs", &TDetNode::tabs, &TDetNode::tabs);
    c.Object<TDetNode>("Next", &TDetNode::GetNext, &TDetNode::SetNext);
}

// A form-like component: string properties (one read-only), a sub-object, a string list, a
// collection, a component reference, a node chain and a property whose reading fails.
class TDetPanel : public kxc::TComponent {
    KXC_CLASS(TDetPanel, kxc::TComponent)
public:
    explicit TDetPanel(kxc::TComponent* owner)
        : kxc::TComponent(owner), columns(TDetColumn::StaticClass(), this) {}
    kxc::TStrings* GetItems() const { return const_cast<kxc::TStringList*>(&items); }
    void SetItems(kxc::TStrings* v) { items.Assign(v); }
    TDetFont* GetFont() const { return const_cast<TDetFont*>(&font); }
    void SetFont(TDetFont* v) { font.Assign(v); }
    kxc::TCollection* GetColumns() const { return const_cast<kxc::TCollection*>(&columns); }
    void SetColumns(kxc::TCollection* v) { columns.Assign(v); }
    TDetNode* GetBroken() const {
        if (broken) throw std::runtime_error("cannot read");
        return nullptr;
    }
    void SetBroken(TDetNode*) {}
    std::string caption, hint, status = "read only";
    kxc::TStringList items;
    TDetFont font;
    kxc::TCollection columns;
    kxc::TComponent* link = nullptr;
    TDetNode* node = nullptr;
    bool broken = false;
};
KXC_IMPLEMENT_CLASS(TDetPanel)
void TDetPanel::DescribeClass(kxc::TClassBuilder<TDetPanel>& c) {
    c.Str("Caption", &TDetPanel::caption, &TDetPanel::caption);
    c.Object<TDetNode>("Broken", &TDetPanel::GetBroken, &TDetPanel::SetBroken);
    c.Str("Hint", &TDetPanel::hint, &TDetPanel::hint);
    c.Str("Status", &TDetPanel::status, nullptr);
    c.Object<TDetFont>("Font", &TDetPanel::GetFont, &TDetPanel::SetFont);
    c.Object<kxc::TStrings>("Items", &TDetPanel::GetItems, &TDetPanel::SetItems);
    c.Object<kxc::TStrings>("Rows", &TDetPanel::GetItems, &TDetPanel::SetItems);
    c.Object<kxc::TCollection>("Columns", &TDetPanel::GetColumns, &TDetPanel::SetColumns);
    c.Object<kxc::TComponent>("Link", &TDetPanel::link, &TDetPanel::link);
    c.Object<TDetNode>("Node", &TDetPanel::node, &TDetPanel::node);
}

// Controls named as the special classes are, above a class named "TControl".
#define KX_FIXTURE_COMPONENT(Name, Base)                          \
    class Name : public Base {                                    \
        KXC_CLASS(Name, Base)                                     \
    public:                                                       \
        explicit Name(kxc::TComponent* owner) : inherited(owner) {} \
    };                                                            \
    KXC_IMPLEMENT_CLASS(Name)                                     \
    void Name::DescribeClass(kxc::TClassBuilder<Name>&) {}

KX_FIXTURE_COMPONENT(TControl, kxc::TComponent)
KX_FIXTURE_COMPONENT(TCustomMemo, TControl)
KX_FIXTURE_COMPONENT(TMemo, TCustomMemo)
KX_FIXTURE_COMPONENT(TRichMemo, TCustomMemo)
KX_FIXTURE_COMPONENT(TStringGrid, TControl)
KX_FIXTURE_COMPONENT(TDrawGridEx, TStringGrid)
KX_FIXTURE_COMPONENT(TCustomOutline, TControl)
KX_FIXTURE_COMPONENT(TCustomTreeView, TControl)
KX_FIXTURE_COMPONENT(TCustomListView, TControl)
KX_FIXTURE_COMPONENT(TListView, TCustomListView)
// A class above "TControl" that carries a special name: derivation stops at TControl.
KX_FIXTURE_COMPONENT(TCustomEditBase, kxc::TComponent)
KX_FIXTURE_COMPONENT(TPlainComponent, kxc::TComponent)

// A dictionary with a caption of its own: dictionaries are left alone.
class TCaptionedDictionary : public MemoryDictionary {
    KXC_CLASS(TCaptionedDictionary, MemoryDictionary)
public:
    explicit TCaptionedDictionary(kxc::TComponent* owner) : MemoryDictionary(owner) {}
    std::string caption = "dictionary";
};
KXC_IMPLEMENT_CLASS(TCaptionedDictionary)
void TCaptionedDictionary::DescribeClass(kxc::TClassBuilder<TCaptionedDictionary>& c) {
    c.Str("Caption", &TCaptionedDictionary::caption, &TCaptionedDictionary::caption);
}

// Each test: settings in memory pointing "RootDir" at an empty candidate folder, and
// application services that record the boxes and answer questions.
class Detection : public ::testing::Test {
protected:
    class Services : public RecordingApplication {
    public:
        bool ShowConfirmationBox(const std::string& text) override {
            questions.push_back(text);
            return answer;
        }
        std::vector<std::string> questions;
        bool answer = false;
    };

    void SetUp() override { settings.values["RootDir"] = folder.Path(); }

    FakeSettings settings;
    CandidateFolder folder;
    Services services;
};

}  // namespace

// ---- The candidate file ----

TEST(CandidateFile, LinesAsTargets) {
    const struct {
        const char* text;
        std::vector<Target> expected;
    } cases[] = {
        {"", {}},
        {"\r\n\r\n\n", {}},
        {"; only comments\r\n: and labels\r\n", {}},
        {"TLabel,Caption", {{"TLabel", "Caption"}}},
        {"TLabel,Caption\r\nTButton,Hint\r\n", {{"TLabel", "Caption"}, {"TButton", "Hint"}}},
        {"TDetFont", {{"TDetFont", ""}}},  // a class with an empty property
        {"TDetFont,", {{"TDetFont", ""}}},
        {",Hint", {{"", "Hint"}}},
        {"TEdit,Text,More", {{"TEdit", "Text"}}},
        {"; comment\n\nTLabel,Caption\r\n:label\rTMemo,Lines", {{"TLabel", "Caption"}, {"TMemo", "Lines"}}},
        {" ;not a comment", {{" ;not a comment", ""}}},  // only the first character counts
        {"TLabel , Caption", {{"TLabel ", " Caption"}}},  // no trimming
        {"TLabel,Caption\nTLabel,Caption", {{"TLabel", "Caption"}, {"TLabel", "Caption"}}},
        {"T\xCC\xE5\xF2\xEA\xE0,\xD2\xE5\xEA\xF1\xF2", {{"T\xCC\xE5\xF2\xEA\xE0", "\xD2\xE5\xEA\xF1\xF2"}}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        qx::TQxTargetProperties list;
        qx::ParseCandidateTargets(cases[i].text, list);
        EXPECT_EQ(TargetsOf(list), cases[i].expected) << "case " << i;
    }
}

TEST_F(Detection, CandidatesFromTheFileElseTheSixDefaultNames) {
    const std::vector<Target> defaults = {{"", "Caption"}, {"", "Hint"},  {"", "Items"},
                                          {"", "Lines"},   {"", "Hints"}, {"", "Tabs"}};
    const struct {
        const char* file;  // nullptr: no file
        std::vector<Target> expected;
    } cases[] = {
        {nullptr, defaults},
        {"", defaults},
        {"; nothing here\r\n:\r\n\r\n", defaults},
        {"TLabel,Caption\r\n", {{"TLabel", "Caption"}}},
        {"TDetFont\r\n,Title\r\n", {{"TDetFont", ""}, {"", "Title"}}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        if (cases[i].file)
            folder.Write(cases[i].file);
        else
            folder.Remove();
        qx::TQxTargetProperties list;
        qx::BuildCandidateTargets(list);
        EXPECT_EQ(TargetsOf(list), cases[i].expected) << "case " << i;
    }
    // The setting names the folder; its default is ".".
    settings.values.erase("RootDir");
    EXPECT_EQ(qx::ReadToolSetting("RootDir", "."), ".");
    settings.values["RootDir"] = folder.Path();
    EXPECT_EQ(qx::ReadToolSetting("RootDir", "."), folder.Path());
}

// ---- Derivation by class name ----

TEST(ClassNames, DerivationStopsAtTControlAndCountsLetterCase) {
    TMemo memo(nullptr);
    TCustomEditBase edit(nullptr);
    TPlainComponent plain(nullptr);
    const struct {
        const kxc::TObject* object;
        const char* name;
        bool expected;
    } cases[] = {
        {&memo, "TMemo", true},
        {&memo, "TCustomMemo", true},
        {&memo, "TControl", true},
        {&memo, "TComponent", false},  // above TControl
        {&memo, "TObject", false},
        {&memo, "tcustommemo", false},
        {&memo, "TStringGrid", false},
        {&edit, "TComponent", true},  // not a control: the whole chain
        {&plain, "TObject", true},
        {nullptr, "TObject", false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(qx::InheritsFromClassName(cases[i].object, cases[i].name), cases[i].expected)
            << "case " << i;
}

// ---- The walk ----

TEST_F(Detection, DefaultNamesOnAFormWithItsParts) {
    TDetPanel form(nullptr);
    auto* panel = kxc::Create<TDetPanel>(&form);
    form.columns.Add();
    panel->link = &form;  // not a component of the panel's owner: walked again, adds nothing

    qx::TQxTargetProperties targets;
    qx::DetectFormTargets(&form, targets);
    // Caption and Hint of the panels, the font's Caption, the string list "Items" (not
    // "Rows": no candidate), the column's "Hints"; each once, for any class.
    EXPECT_EQ(TargetsOf(targets), (std::vector<Target>{
                                      {"", "Caption"}, {"", "Hint"}, {"", "Items"}, {"", "Hints"}}));
    EXPECT_TRUE(services.boxes.empty());

    // Found again: nothing new.
    qx::DetectFormTargets(&form, targets);
    EXPECT_EQ(targets.Count(), 4);
}

TEST_F(Detection, ExclusionsAndTargetsAlreadyThereAreKept) {
    TDetPanel form(nullptr);
    qx::TQxTargetProperties targets;
    AddTarget(targets, "TDetPanel", "Caption", qx::qxtkExclude);
    AddTarget(targets, "TDetPanel", "Hint");
    qx::DetectTargets(&form, targets);
    // The panel's Caption is excluded and its Hint a target already; the font's Caption is
    // a target for any class, and the list's Items too.
    EXPECT_EQ(targets.Count(), 4);
    EXPECT_EQ(targets.Items(2)->ClassName, "");
    EXPECT_EQ(targets.Items(2)->PropertyName, "Caption");
    EXPECT_EQ(targets.Items(3)->PropertyName, "Items");
    EXPECT_FALSE(targets.IsTarget("TDetPanel", "Caption"));
}

TEST_F(Detection, AWholeClassCandidateTakesTheObjectAsOneTarget) {
    folder.Write("TDetFont\r\n,Title\r\n");
    TDetPanel form(nullptr);
    form.columns.Add();
    qx::TQxTargetProperties targets;
    qx::DetectTargets(&form, targets);
    EXPECT_EQ(TargetsOf(targets), (std::vector<Target>{{"TDetFont", ""}, {"", "Title"}}));
    // Once a whole-class target exists it is not added again.
    qx::DetectTargets(&form, targets);
    EXPECT_EQ(targets.Count(), 2);
}

TEST_F(Detection, SpecialClassesWithoutTheCandidates) {
    folder.Write("TNothing,Here\r\n");
    TPlainComponent form(nullptr);
    auto* memo = kxc::Create<TMemo>(&form);
    auto* rich = kxc::Create<TRichMemo>(&form);
    kxc::Create<TDrawGridEx>(&form);
    kxc::Create<TCustomOutline>(&form);
    kxc::Create<TCustomTreeView>(&form);
    kxc::Create<TListView>(&form);
    kxc::Create<TCustomEditBase>(&form);
    qx::TQxTargetProperties targets;
    qx::DetectFormTargets(&form, targets);
    EXPECT_EQ(TargetsOf(targets), (std::vector<Target>{{"TMemo", "Text"},
                                                       {"TRichMemo", "Text"},
                                                       {"", "Cells"},
                                                       {"", "Lines"},
                                                       {"", "Items"},
                                                       {"", "Caption"}}));
    // A memo's Text excluded for its class stays out.
    qx::TQxTargetProperties excluded;
    AddTarget(excluded, "TMemo", "Text", qx::qxtkExclude);
    qx::DetectTargets(memo, excluded);
    qx::DetectTargets(rich, excluded);
    EXPECT_EQ(excluded.Count(), 2);
    EXPECT_FALSE(excluded.IsTarget("TMemo", "Text"));
    EXPECT_TRUE(excluded.IsTarget("TRichMemo", "Text"));
}

TEST_F(Detection, ComponentReferencesAndDictionaries) {
    TPlainComponent form(nullptr);
    auto* panel = kxc::Create<TDetPanel>(&form);
    auto* sibling = kxc::Create<TMemo>(&form);
    TDetPanel elsewhere(nullptr);
    TCaptionedDictionary dictionary(nullptr);

    // A sibling (same owner) is examined on its own, not through the reference.
    panel->link = sibling;
    qx::TQxTargetProperties targets;
    folder.Write(",Hint\r\n");
    qx::DetectTargets(panel, targets);
    EXPECT_EQ(TargetsOf(targets), (std::vector<Target>{{"", "Hint"}}));

    // A component owned elsewhere is examined through the reference.
    folder.Write("TCustomMemo,Lines\r\n");
    auto* memo = kxc::Create<TMemo>(&elsewhere);
    panel->link = memo;
    qx::TQxTargetProperties viaLink;
    qx::DetectTargets(panel, viaLink);
    EXPECT_EQ(TargetsOf(viaLink), (std::vector<Target>{{"TMemo", "Text"}}));

    // Dictionaries are left alone, on their own and through a reference.
    folder.Write("TCaptionedDictionary,Caption\r\n");
    qx::TQxTargetProperties none;
    qx::DetectTargets(&dictionary, none);
    EXPECT_EQ(none.Count(), 0);
    panel->link = &dictionary;
    qx::DetectTargets(panel, none);
    EXPECT_EQ(none.Count(), 0);
    panel->link = nullptr;
}

// References that lead back end there: each node is examined once.
TEST_F(Detection, ACycleOfReferencesEnds) {
    TDetNode a, b, c;
    a.next = &b;
    b.next = &c;
    c.next = &a;
    TDetPanel form(nullptr);
    form.node = &a;
    qx::TQxTargetProperties targets;
    qx::DetectFormTargets(&form, targets);
    EXPECT_TRUE(targets.IsTarget("TDetNode", "Tabs"));
    EXPECT_EQ(a.nextReads, 1);
    EXPECT_EQ(b.nextReads, 1);
    EXPECT_EQ(c.nextReads, 1);

    TDetNode self;  // one that points at itself
    self.next = &self;
    form.node = &self;
    qx::DetectTargets(&form, targets);
    EXPECT_EQ(self.nextReads, 1);
    EXPECT_TRUE(services.boxes.empty());
}

// ---- Errors ----

TEST_F(Detection, AFailingPropertyIsSkippedAFailingDetectionShowsTheBox) {
    TDetPanel form(nullptr);
    form.broken = true;  // read before Hint
    qx::TQxTargetProperties targets;
    qx::DetectFormTargets(&form, targets);
    EXPECT_TRUE(targets.IsTarget("TDetPanel", "Hint"));
    EXPECT_TRUE(services.boxes.empty());

    // Settings that cannot be read end the detection after the special targets; those stay.
    TMemo memo(nullptr);
    settings.failing = true;
    qx::TQxTargetProperties kept;
    qx::DetectFormTargets(&memo, kept);
    EXPECT_EQ(TargetsOf(kept), (std::vector<Target>{{"TMemo", "Text"}}));
    ASSERT_EQ(services.boxes.size(), 1u);
    EXPECT_EQ(services.boxes[0],
              "The detection of the targets properties failed!\r\nSet the Targets property "
              "manually.");
    qx::DetectTargetsGuarded(&memo, kept);
    EXPECT_EQ(services.boxes.size(), 2u);
    // Unguarded, the error passes on.
    EXPECT_THROW(qx::DetectTargets(&memo, kept), std::runtime_error);
}

// ---- Drop time ----

TEST_F(Detection, TheDetectSettingDecidesAtDropTime) {
    const struct {
        const char* detect;  // nullptr: no value
        bool answer;
        bool asked, detected;
    } cases[] = {
        {nullptr, false, false, true}, {"2", false, false, true},  {"258", false, false, true},
        {"abc", false, false, true},   {"", false, false, true},   {" 2", false, false, true},
        {"$102", false, false, true},  {"-254", false, false, true}, {"1", true, true, true},
        {"1", false, true, false},     {"257", false, true, false}, {"0", false, false, false},
        {"3", false, false, false},    {"256", false, false, false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        if (cases[i].detect)
            settings.values["Detect"] = cases[i].detect;
        else
            settings.values.erase("Detect");
        services.questions.clear();
        services.answer = cases[i].answer;
        TDetPanel form(nullptr);
        qx::TQxTargetProperties targets;
        qx::RunDropTimeDetection(&form, targets);
        EXPECT_EQ(!services.questions.empty(), cases[i].asked) << "case " << i;
        if (!services.questions.empty()) {
            EXPECT_EQ(services.questions[0],
                      "Do you want the translator component to detect the default targets?");
        }
        EXPECT_EQ(targets.Count() > 0, cases[i].detected) << "case " << i;
    }
    // Without a root nothing is asked or detected.
    settings.values["Detect"] = "1";
    services.questions.clear();
    qx::TQxTargetProperties targets;
    qx::RunDropTimeDetection(nullptr, targets);
    EXPECT_TRUE(services.questions.empty());
    EXPECT_EQ(targets.Count(), 0);
}
