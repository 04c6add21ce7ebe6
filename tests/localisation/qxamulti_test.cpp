// The sorted translation list and the file dictionary: searches with and without contexts,
// the ordinal order, duplicates, a long list in the order that defeats a middle-pivot
// quicksort, the reload on a language change, the file-name resolution and the storage's
// information boxes.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fake_locale_system.h"
#include "memory_dictionary.h"
#include "qx/QxAMulti.h"
#include "qx/QxTranslatorBase.h"

#ifdef _WIN32
#include <process.h>
#define KX_GETPID _getpid
#else
#include <unistd.h>
#define KX_GETPID getpid
#endif

namespace fs = std::filesystem;

namespace {

struct Row {
    std::string native, contextA, contextB, translation;
};

// A file dictionary whose translations per language come from a table.
class ListDictionary : public qx::TQxCustomFileDictionary {
    KXC_CLASS(ListDictionary, qx::TQxCustomFileDictionary)
public:
    explicit ListDictionary(kxc::TComponent* owner = nullptr)
        : qx::TQxCustomFileDictionary(owner) {}

    int32_t GetLanguageCount() override { return int32_t(languages.size()); }
    void GetLanguage(int32_t index, qx::TQxLanguage& language) override {
        language.Assign(languages.at(size_t(index)));
    }
    int32_t GetLocaleCount() override { return 0; }
    void GetLocale(int32_t, qx::TQxLocale&) override {}
    bool IsAvailable() override { return true; }
    void LoadTranslations() override {
        ++loads;
        ClearTranslations();
        SetHasContexts(contexts);
        for (const Row& r : rows[SelectedLanguageIndex()]) Add(r);
        SortTranslations();
    }

    // Fills the list directly with the rows, sorted by the contexts flag.
    void Fill(const std::vector<Row>& list, bool withContexts) {
        ClearTranslations();
        SetHasContexts(withContexts);
        for (const Row& r : list) Add(r);
        SortTranslations();
    }

    std::vector<qx::TQxLanguage> languages;
    std::map<int32_t, std::vector<Row>> rows;
    bool contexts = false;
    int loads = 0;

private:
    void Add(const Row& r) {
        auto e = std::make_unique<qx::TQxTranslation>();
        e->Native = r.native;
        e->ContextA = r.contextA;
        e->ContextB = r.contextB;
        e->Translation = r.translation;
        AddTranslation(std::move(e));
    }
};

std::string Find(ListDictionary& d, const std::string& native) {
    std::string t = "<untouched>";
    return d.FindTranslation(native, t) ? t : "-";
}

std::string FindContext(ListDictionary& d, const std::string& native, const std::string& a,
                        const std::string& b) {
    std::string t = "<untouched>";
    return d.FindContextTranslation(native, a, b, t) ? t : "-";
}

class TranslationList : public ::testing::Test {
protected:
    void SetUp() override {
        qx::QxDictioFinalization();
        qx::QxDictioInitialization();
        system.AddFullLocale(0x0409, "English", 1252);
        system.AddFullLocale(0x0407, "German", 1252);
    }
    FakeLocaleSystem system;
    RecordingApplication application;
};

}  // namespace

KXC_IMPLEMENT_CLASS(ListDictionary)
void ListDictionary::DescribeClass(kxc::TClassBuilder<ListDictionary>&) {}

TEST_F(TranslationList, EmptyListFindsNothing) {
    ListDictionary d;
    for (bool contexts : {false, true}) {
        d.Fill({}, contexts);
        EXPECT_EQ(d.GetTranslationCount(), 0);
        EXPECT_EQ(d.IndexOfNative("Open"), -1);
        EXPECT_EQ(d.IndexOfContext("Open", "", ""), -1);
        EXPECT_EQ(Find(d, "Open"), "-");
        EXPECT_EQ(FindContext(d, "Open", "a", "b"), "-");
    }
    EXPECT_THROW(d.GetTranslation(0), rtl::EListError);
}

// Ordinal order: "B" (66) before "a" (97), bytes from 128 on after 127, a proper prefix first.
TEST_F(TranslationList, SearchWithoutContextsIsOrdinal) {
    ListDictionary d;
    const std::string high = "\xC0\xEA";  // code page 1251 letters
    d.Fill({{"a", "", "", "1"},
            {"B", "", "", "2"},
            {high, "", "", "3"},
            {"Open", "", "", "4"},
            {"Op", "", "", "5"},
            {"", "", "", "6"},
            {"open", "", "", "7"}},
           false);
    std::vector<std::string> order;
    for (int32_t i = 0; i < d.GetTranslationCount(); ++i)
        order.push_back(d.GetTranslation(i)->Native);
    EXPECT_EQ(order, (std::vector<std::string>{"", "B", "Op", "Open", "a", "open", high}));

    const struct {
        std::string native, expected;
    } cases[] = {{"a", "1"}, {"B", "2"}, {high, "3"}, {"Open", "4"}, {"Op", "5"}, {"", "6"},
                 {"open", "7"}, {"b", "-"}, {"OPEN", "-"}, {"Ope", "-"}, {"Open ", "-"}};
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(Find(d, cases[i].native), cases[i].expected) << "case " << i;
        // Without contexts the context texts are ignored.
        EXPECT_EQ(FindContext(d, cases[i].native, "x", "y"), cases[i].expected) << "case " << i;
    }
}

TEST_F(TranslationList, SearchWithContexts) {
    ListDictionary d;
    const std::string del(1, char(127));
    d.Fill({{"Open", "", "1", "first"},
            {"Open", "", "2", "second"},
            {"Open~", "", "", "tilde"},           // '~' is 126: before "Open" + 127
            {"Open\x80", "", "", "high"},         // 128: after it
            {"Close", "Form", "", "close-form"},
            {"Close", "", "Form", "close-b"}},
           true);
    // Keys sort with the separator between the native text and the contexts.
    std::vector<std::string> keys;
    for (int32_t i = 0; i < d.GetTranslationCount(); ++i) keys.push_back(d.GetTranslation(i)->GetKey());
    EXPECT_EQ(keys, (std::vector<std::string>{"Close" + del + "Form", "Close" + del + "Form",
                                              "Open~" + del, "Open" + del + "1",
                                              "Open" + del + "2", "Open\x80" + del}));
    const std::string either = Find(d, "Open");
    EXPECT_TRUE(either == "first" || either == "second") << either;

    const struct {
        std::string native, a, b, expected;
    } cases[] = {{"Open", "", "2", "second"},  {"Open", "", "1", "first"},
                 {"Open", "", "3", "-"},       {"Open", "", "21", "-"},
                 {"Open~", "", "", "tilde"},   {"Open\x80", "", "", "high"},
                 {"Close", "Form", "", "close-form"},
                 {"Close", "", "Form", "close-form"},  // the same key: A and B are joined
                 {"Open", "", "", "-"}};
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(FindContext(d, cases[i].native, cases[i].a, cases[i].b), cases[i].expected)
            << "case " << i;
    EXPECT_EQ(Find(d, "Open~"), "tilde");
    EXPECT_EQ(Find(d, "Open\x80"), "high");
    EXPECT_EQ(Find(d, "Ope"), "-");
}

TEST_F(TranslationList, DuplicatesGiveOneOfThem) {
    ListDictionary d;
    std::vector<Row> rows;
    for (int i = 0; i < 9; ++i) rows.push_back({"Same", "", "", "t" + std::to_string(i)});
    rows.push_back({"Other", "", "", "o"});
    d.Fill(rows, false);
    const std::string t = Find(d, "Same");
    EXPECT_EQ(t.substr(0, 1), "t");
    EXPECT_EQ(Find(d, "Other"), "o");
}

// The order in which a quicksort with the middle entry as pivot meets the smallest key of
// its range at every step, so that each partition splits off a single entry.
TEST_F(TranslationList, LongListInAdversarialOrderSorts) {
    constexpr int n = 65535;
    std::vector<int> label(n), value(n);
    for (int i = 0; i < n; ++i) label[size_t(i)] = i;
    for (int lo = 0; lo < n; ++lo) {
        const int mid = lo + (n - 1 - lo) / 2;
        value[size_t(label[size_t(mid)])] = lo;
        std::swap(label[size_t(lo)], label[size_t(mid)]);
    }
    std::vector<Row> rows;
    rows.reserve(n);
    char key[16];
    for (int i = 0; i < n; ++i) {
        std::snprintf(key, sizeof key, "%05d", value[size_t(i)]);
        rows.push_back({key, "", "", "v" + std::string(key)});
    }
    ListDictionary d;
    for (bool contexts : {false, true}) {
        d.Fill(rows, contexts);
        ASSERT_EQ(d.GetTranslationCount(), n);
        for (int32_t i = 1; i < n; ++i)
            ASSERT_LT(d.GetTranslation(i - 1)->Native, d.GetTranslation(i)->Native) << i;
        EXPECT_EQ(Find(d, "00000"), "v00000");
        EXPECT_EQ(Find(d, "40000"), "v40000");
        EXPECT_EQ(Find(d, "65534"), "v65534");
        EXPECT_EQ(Find(d, "65535"), "-");
    }
}

// A language change reloads before the translators hear of it; the list is replaced, not
// merged; a failing load stops the notification.
TEST_F(TranslationList, LanguageChangeReloadsBeforeTheTranslatorsHear) {
    ListDictionary d;
    d.languages = {MemoryDictionary::Native(), MemoryDictionary::Lang(9, 1, 1252, "", "English"),
                   MemoryDictionary::Lang(7, 1, 1252, "", "German")};
    d.rows[1] = {{"Next", "", "", "Next"}, {"Only English", "", "", "E"}};
    d.rows[2] = {{"Next", "", "", "Weiter"}};
    d.SetLanguage(1);
    d.OpenDictionary();
    EXPECT_EQ(d.loads, 1);
    EXPECT_EQ(Find(d, "Next"), "Next");

    struct Heard : qx::TQxCustomTranslator {
        using qx::TQxCustomTranslator::TQxCustomTranslator;
        void Changed(bool, bool) override { seen.push_back(qx::TranslateString("Next")); }
        std::vector<std::string> seen;
    } translator(nullptr);
    translator.SetDictionary(&d);
    translator.Open();
    d.RegisterTranslator(&translator);

    d.SetLanguage(2);
    EXPECT_EQ(d.loads, 2);
    EXPECT_EQ(translator.seen, std::vector<std::string>{"Weiter"});
    EXPECT_EQ(d.GetTranslationCount(), 1);
    EXPECT_EQ(Find(d, "Only English"), "-");

    // A locale change alone does not reload.
    d.SetLocaleId(0x0407);
    EXPECT_EQ(d.loads, 2);

    // Closing keeps the list.
    d.CloseDictionary();
    EXPECT_EQ(Find(d, "Next"), "Weiter");

    struct Failing : ListDictionary {
        void LoadTranslations() override { throw rtl::Exception("load failed"); }
    } failing;
    failing.languages = d.languages;
    failing.SetLanguage(1);
    bool notified = false;
    failing.OnLanguageChange = [&](kxc::TObject*) { notified = true; };
    EXPECT_THROW(failing.OpenDictionary(), rtl::Exception);
    EXPECT_FALSE(notified);
    EXPECT_FALSE(failing.IsOpen());
}

// ---- File names ----

namespace {

std::string Sep() {
#ifdef _WIN32
    return "\\";
#else
    return "/";
#endif
}

void Touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "GLD";
}

// A fresh current folder for the test and files beside the program, all removed at the end.
class FileNames : public TranslationList {
protected:
    void SetUp() override {
        TranslationList::SetUp();
        tag = std::to_string(KX_GETPID());
        previous = fs::current_path();
        current = fs::temp_directory_path() / ("qxamulti-" + tag);
        fs::create_directories(current);
        fs::current_path(current);
        programFolder = qx::ProgramFolder();
    }
    void TearDown() override {
        fs::current_path(previous);
        fs::remove_all(current);
        for (const fs::path& p : beside) fs::remove_all(p);
    }
    std::string InCurrent(const std::string& name) {
        Touch(current / name);
        return fs::current_path().string() + Sep() + name;
    }
    std::string BesideProgram(const std::string& name, const std::string& first = "") {
        Touch(fs::path(programFolder + name));
        beside.push_back(fs::path(programFolder + (first.empty() ? name : first)));
        return programFolder + name;
    }

    std::string tag;
    fs::path previous, current;
    std::string programFolder;
    std::vector<fs::path> beside;
};

}  // namespace

TEST_F(FileNames, ResolutionTable) {
    ASSERT_FALSE(programFolder.empty());
    const std::string cur = "cur-" + tag + ".gld";
    const std::string both = "both-" + tag + ".gld";
    const std::string near = "near-" + tag + ".gld";
    const std::string inCur = InCurrent(cur);
    const std::string bothCur = InCurrent(both);
    BesideProgram(both);
    const std::string nearProgram = BesideProgram(near);
    // Names with a folder part or a drive, present only beside the program.
    const std::string sub = "sub" + tag;
    const std::string withFolder = sub + "\\x.gld";
    const std::string withDrive = "k:" + near;
#ifdef _WIN32
    BesideProgram(withFolder, sub);
#else
    BesideProgram(withFolder);  // here "\" is part of the file's name
    BesideProgram(withDrive);
#endif

    const struct {
        qx::TQxStorage storage;
        std::string name, expected;
    } cases[] = {
        {qx::qxsFile, cur, inCur},
        {qx::qxsFile, both, bothCur},
        {qx::qxsFile, near, nearProgram},
        {qx::qxsFile, "missing.gld", "missing.gld"},
        {qx::qxsFile, withFolder, withFolder},
        {qx::qxsFile, withDrive, withDrive},
        {qx::qxsFile, "", ""},
        // Other storages do not look in the current folder.
        {qx::qxsResource, cur, cur},
        {qx::qxsResource, both, programFolder + both},
        {qx::qxsEmbedded, near, nearProgram},
        {qx::qxsEmbedded, withFolder, withFolder},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        ListDictionary d;
        d.SetStorage(cases[i].storage);
        EXPECT_EQ(d.ResolveFileName(cases[i].name), cases[i].expected) << "case " << i;
    }
}

TEST_F(FileNames, FileNameKeepsTheResolvedPathAtRunTimeOnly) {
    const std::string near = "near-" + tag + ".gld";
    const std::string full = BesideProgram(near);
    ListDictionary d;
    d.SetFileName(near);
    EXPECT_EQ(d.GetFileName(), full);
    EXPECT_EQ(d.StoredFileName(), full);
    EXPECT_EQ(kxc::GetStrProp(&d, "FileName"), full);
    // Once found, later reads start from the full path: a copy in the current folder no
    // longer wins.
    InCurrent(near);
    EXPECT_EQ(d.GetFileName(), full);

    ListDictionary designed;
    designed.SetDesigning(true);
    designed.SetFileName(near);
    EXPECT_EQ(designed.GetFileName(), near);
    EXPECT_EQ(designed.StoredFileName(), near);
}

TEST_F(FileNames, Availability) {
    const std::string cur = "cur-" + tag + ".gld";
    InCurrent(cur);
    fs::create_directories(current / "folder.gld");
    const struct {
        qx::TQxStorage storage;
        std::string name;
        bool available;
    } cases[] = {
        {qx::qxsFile, cur, true},           {qx::qxsFile, "", false},
        {qx::qxsFile, "missing.gld", false}, {qx::qxsFile, "folder.gld", false},
        {qx::qxsEmbedded, "", true},        {qx::qxsResource, "", true},
        {qx::qxsResource, "missing.gld", true},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        struct Plain : qx::TQxCustomFileDictionary {
            Plain() : qx::TQxCustomFileDictionary(nullptr) {}
        } d;
        d.SetStorage(cases[i].storage);
        d.SetFileName(cases[i].name);
        EXPECT_EQ(d.IsAvailable(), cases[i].available) << "case " << i;
    }
    // Opening an unavailable dictionary does nothing.
    struct Unavailable : ListDictionary {
        bool IsAvailable() override { return qx::TQxCustomFileDictionary::IsAvailable(); }
    } d;
    d.languages = {MemoryDictionary::Native()};
    d.SetFileName("missing.gld");
    d.OpenDictionary();
    EXPECT_FALSE(d.IsOpen());
    EXPECT_EQ(d.loads, 0);
}

TEST_F(TranslationList, StorageInformationBoxesOnlyWhileDesigning) {
    const std::string embedded =
        "Each time you edit the dictionary you have to save this form and\r\nrebuild the "
        "application in order to get the new translations in use.";
    const std::string resource =
        "Each time you edit the dictionary you have to compile the resource file containing the "
        "dictionary and\r\nadd the resource to the application or rebuild the application in "
        "order to get the new translations in use.";
    ListDictionary d;
    d.SetStorage(qx::qxsEmbedded);  // run time: no box
    d.SetStorage(qx::qxsResource);
    EXPECT_TRUE(application.informationBoxes.empty());
    EXPECT_EQ(d.Storage(), qx::qxsResource);

    d.SetDesigning(true);
    d.SetStorage(qx::qxsResource);  // unchanged: no box
    d.SetStorage(qx::qxsEmbedded);
    d.SetStorage(qx::qxsFile);
    d.SetStorage(qx::qxsResource);
    d.SetComponentState(kxc::csLoading, 0);
    d.SetStorage(qx::qxsEmbedded);  // while the form loads: no box
    EXPECT_EQ(application.informationBoxes, (std::vector<std::string>{embedded, resource}));
    EXPECT_EQ(kxc::GetEnumProp(&d, "Storage"), "qxsEmbedded");
}
