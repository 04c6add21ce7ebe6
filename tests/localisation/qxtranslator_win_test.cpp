// The form translator on real controls: a fixture form loaded from its description follows
// the language of an in-memory dictionary, every text from its native text, and comes back.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "components/forms.h"
#include "components/listctrls.h"
#include "components/menus.h"
#include "components/stdctrls.h"
#include "memory_dictionary.h"
#include "qx/QxTranslator.h"

using qx::TQxTranslator;

KXC_IMPLEMENT_CLASS(MemoryDictionary)
void MemoryDictionary::DescribeClass(kxc::TClassBuilder<MemoryDictionary>&) {}

namespace {

class TfrmTranslated : public kxc::TForm {
    KXC_CLASS(TfrmTranslated, kxc::TForm)
public:
    using kxc::TForm::TForm;
    template <class T>
    T* Get(const char* name) const {
        return dynamic_cast<T*>(FindComponent(name));
    }
    kxc::TControl* Control(const char* name) const { return Get<kxc::TControl>(name); }
    TQxTranslator* Translator() const { return Get<TQxTranslator>("QxTranslator1"); }
};
KXC_IMPLEMENT_CLASS(TfrmTranslated)
void TfrmTranslated::DescribeClass(kxc::TClassBuilder<TfrmTranslated>&) {}

// The translations of each language; language 0 is the native one. With contexts on, an
// entry may name the form class and the component.
class LanguagesDictionary : public MemoryDictionary {
    KXC_CLASS(LanguagesDictionary, MemoryDictionary)
public:
    LanguagesDictionary() {
        languages = {Native(),
                     Lang(7, 1, 1252, "1", "German"),
                     Lang(0x19, 1, 1251, "1", "Russian"),
                     Lang(1, 1, 1256, "1", "Arabic"),
                     Lang(0x11, 1, 932, "1", "Japanese")};
        SetCheckLevel(qx::qxclNone);
        SetLanguage(0);
    }
    void Word(int language, const std::string& native, const std::string& translation,
              const std::string& contextA = "", const std::string& contextB = "") {
        byLanguage[language][qx::TQxTranslation::MakeKey(native, contextA, contextB)] =
            translation;
    }
    bool FindContextTranslation(const std::string& native, const std::string& contextA,
                                const std::string& contextB, std::string& translation) override {
        auto& words = byLanguage[SelectedLanguageIndex()];
        auto it = words.find(qx::TQxTranslation::MakeKey(native, contextA, contextB));
        if (it == words.end()) return false;
        translation = it->second;
        return true;
    }
    std::map<int, std::map<std::string, std::string>> byLanguage;
};
KXC_IMPLEMENT_CLASS(LanguagesDictionary)
void LanguagesDictionary::DescribeClass(kxc::TClassBuilder<LanguagesDictionary>&) {}

enum { kNative = 0, kGerman = 1, kRussian = 2, kArabic = 3, kJapanese = 4 };

class Translator : public ::testing::Test {
protected:
    void SetUp() override {
        kxc::RegisterStandardClasses();
        kxc::RegisterComponentClass(TQxTranslator::StaticClass());
        dictionary = new LanguagesDictionary();
        const char* german[][2] = {{"Native form", "Formular"}, {"Next", "Weiter"},
                                   {"Go on", "Weitermachen"}, {"Choices", "Auswahl"},
                                   {"Save", "Sichern"},       {"Cancel", "Abbrechen"}};
        for (auto& w : german) dictionary->Word(kGerman, w[0], w[1]);
        // Russian in code page 1251; "Cancel" has no translation, and a pass that looked up
        // the German text instead of the native one would meet "wrong".
        const char* russian[][2] = {{"Native form", "\xD4\xEE\xF0\xEC\xE0"},
                                    {"Next", "\xC4\xE0\xEB\xE5\xE5"},
                                    {"Go on", "\xC4\xE0\xEB\xFC\xF8\xE5"},
                                    {"Choices", "\xC2\xFB\xE1\xEE\xF0"},
                                    {"Save", "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC"},
                                    {"Weiter", "wrong"},
                                    {"Abbrechen", "wrong"}};
        for (auto& w : russian) dictionary->Word(kRussian, w[0], w[1]);
        for (int l : {kArabic, kJapanese}) dictionary->Word(l, "Next", "next-" + std::to_string(l));
    }
    void TearDown() override {
        if (form) form->Free();
        if (dictionary) dictionary->Free();
    }
    TfrmTranslated* Load() {
        form = kxc::CreateForm<TfrmTranslated>(nullptr);
        return form;
    }
    std::string Caption(const char* name) const { return form->Control(name)->Caption(); }

    LanguagesDictionary* dictionary = nullptr;
    TfrmTranslated* form = nullptr;
};

TEST_F(Translator, OpensWhenTheFormHasLoaded) {
    Load();
    TQxTranslator* t = form->Translator();
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->IsOpen());
    EXPECT_EQ(t->Dictionary(), dictionary);
    EXPECT_TRUE(dictionary->IsOpen());
    ASSERT_EQ(dictionary->Translators().size(), 1u);
    EXPECT_EQ(dictionary->Translators()[0], t);
    EXPECT_EQ(t->Root(), form);
    EXPECT_EQ(t->Options(), 463u);
    EXPECT_EQ(t->MultiByteScale(), 100);
    EXPECT_EQ(t->CharsetChange(), qx::qxccNormal);
    EXPECT_EQ(t->NativeLayout(), qx::qxroLeftToRight);
    EXPECT_EQ(t->Targets()->Count(), 2);
    EXPECT_EQ(form->Caption(), "Native form");
    EXPECT_EQ(t->GetWindowHandle(), nullptr);  // the form has no window yet: none is made
    EXPECT_FALSE(form->HandleAllocated());
}

// Each language from the native texts: two labels with one caption, an empty caption that
// stays empty, the Name never translated.
TEST_F(Translator, EveryLanguageFromTheNativeTexts) {
    Load();
    const struct {
        int language;
        const char *formCaption, *next, *hint, *save, *cancel;
    } steps[] = {
        {kGerman, "Formular", "Weiter", "Weitermachen", "Sichern", "Abbrechen"},
        {kRussian, "\xD4\xEE\xF0\xEC\xE0", "\xC4\xE0\xEB\xE5\xE5", "\xC4\xE0\xEB\xFC\xF8\xE5",
         "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC", "Cancel"},
        {kNative, "Native form", "Next", "Go on", "Save", "Cancel"},
        {kGerman, "Formular", "Weiter", "Weitermachen", "Sichern", "Abbrechen"},
        {kNative, "Native form", "Next", "Go on", "Save", "Cancel"},
    };
    for (const auto& s : steps) {
        dictionary->SetLanguage(s.language);
        EXPECT_EQ(form->Caption(), s.formCaption) << s.language;
        EXPECT_EQ(Caption("Label1"), s.next) << s.language;
        EXPECT_EQ(Caption("Label2"), s.next) << s.language;
        EXPECT_EQ(form->Control("Label1")->Hint(), s.hint) << s.language;
        EXPECT_EQ(Caption("Label3"), "") << s.language;
        EXPECT_EQ(Caption("rbSave"), s.save) << s.language;
        EXPECT_EQ(Caption("btCancel"), s.cancel) << s.language;
        EXPECT_EQ(form->Control("Label1")->Name(), "Label1");
    }
    // One cache item per (object, property, native text): the empty caption has none.
    const qx::TQxTranslatorTable& table = form->Translator()->Table();
    int label2Items = 0;
    for (int32_t i = 0; i < table.Count(); ++i) {
        EXPECT_NE(table.Items(i)->Control, form->Control("Label3"));
        if (table.Items(i)->Control == form->Control("Label2")) ++label2Items;
    }
    EXPECT_EQ(label2Items, 1);
}

// Owned components before their owner; each object walked once per pass.
TEST_F(Translator, WalkOrder) {
    Load();
    TQxTranslator* t = form->Translator();
    std::vector<std::string> order;
    std::vector<const kxc::TObject*> objects;
    t->OnTranslate = [&](TQxTranslator*, kxc::TComponent* c) { order.push_back(c->Name()); };
    t->OnRestrictObject = [&](TQxTranslator*, kxc::TObject* o, bool&) { objects.push_back(o); };
    dictionary->SetLanguage(kGerman);
    const std::vector<std::string> expected = {"Label1",  "Label2",   "Label3",
                                               "Panel1",  "rbSave",   "btCancel",
                                               "QxTranslator1", "frmTranslated"};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(std::set<const kxc::TObject*>(objects.begin(), objects.end()).size(), objects.size());
    // A restricted property and object keep their texts.
    t->OnRestrictObject = [&](TQxTranslator*, kxc::TObject* o, bool& translate) {
        translate = o != form->Control("Label2");
    };
    t->OnRestrictProperty = [](TQxTranslator*, kxc::TObject*, const std::string& name,
                               bool& translate) { translate = name != "Hint"; };
    dictionary->SetLanguage(kNative);
    EXPECT_EQ(Caption("Label1"), "Next");
    EXPECT_EQ(form->Control("Label1")->Hint(), "Weitermachen");
    EXPECT_EQ(Caption("Label2"), "Weiter");
}

// A context entry names the form class and the component; without one the plain entry.
TEST_F(Translator, ContextsByFormClassAndComponent) {
    dictionary->UseContexts(true);
    dictionary->Word(kGerman, "Next", "Weiter zu 2", "TfrmTranslated", "Label2");
    Load();
    dictionary->SetLanguage(kGerman);
    EXPECT_EQ(Caption("Label1"), "Weiter");
    EXPECT_EQ(Caption("Label2"), "Weiter zu 2");
    EXPECT_EQ(qx::ContextClassNames(&TfrmTranslated::StaticClass()),
              std::vector<std::string>{"TfrmTranslated"});
    // The root's own class is always tried, then its ancestors up to TComponent.
    const std::vector<std::string> chain = {"TForm", "TWinControl", "TControl"};
    EXPECT_EQ(qx::ContextClassNames(&kxc::TForm::StaticClass()), chain);
}

// A dictionary that gives empty texts for missing words empties the button's caption; the
// next language brings it back from the native text.
TEST_F(Translator, AnEmptiedCaptionComesBack) {
    dictionary->SetMissingTranslation(qx::qxmtUseNull);
    Load();
    dictionary->SetLanguage(kRussian);
    EXPECT_EQ(Caption("btCancel"), "");
    dictionary->SetLanguage(kGerman);
    EXPECT_EQ(Caption("btCancel"), "Abbrechen");
    dictionary->SetLanguage(kRussian);
    dictionary->SetLanguage(kNative);
    EXPECT_EQ(Caption("btCancel"), "");  // the native language has no entries either
    form->Translator()->RestoreNative();
    EXPECT_EQ(Caption("btCancel"), "");
}

TEST_F(Translator, DetachAndRestoreNative) {
    Load();
    TQxTranslator* t = form->Translator();
    dictionary->SetLanguage(kGerman);
    t->Detach();
    EXPECT_FALSE(t->IsOpen());
    EXPECT_EQ(t->Dictionary(), nullptr);
    EXPECT_TRUE(dictionary->Translators().empty());
    EXPECT_EQ(Caption("Label1"), "Next");
    EXPECT_EQ(form->Caption(), "Native form");
    EXPECT_EQ(t->Table().Count(), 0);

    t->Open();  // binds the dictionary of its name again
    EXPECT_EQ(Caption("Label1"), "Weiter");
    const uint32_t locale = dictionary->SelectedLocaleId();
    const qx::TQxDictionaryOptions options = dictionary->Options();
    t->RestoreNative();
    EXPECT_EQ(Caption("Label1"), "Next");
    EXPECT_EQ(dictionary->SelectedLanguageIndex(), 0);
    EXPECT_EQ(dictionary->SelectedLocaleId(), locale);
    EXPECT_EQ(dictionary->Options(), options);
    EXPECT_FALSE(t->IsOpen());

    // A native pass that fails (a dictionary that raises for missing words, and the native
    // language has none) still gives the dictionary its options back.
    t->Open();
    dictionary->SetMissingTranslation(qx::qxmtRaiseException);
    EXPECT_THROW(t->RestoreNative(), qx::EQxMulti);
    EXPECT_EQ(dictionary->Options(), options);
}

TEST_F(Translator, BindingAndMissingDictionary) {
    // A dictionary named otherwise: the registry's first.
    dictionary->SetDictionaryName("Other");
    Load();
    EXPECT_TRUE(form->Translator()->IsOpen());
    EXPECT_EQ(form->Translator()->Dictionary(), dictionary);
    form->Free();
    form = nullptr;

    // No dictionary at all: the form loads untranslated; opening by hand is refused.
    dictionary->Free();
    dictionary = nullptr;
    Load();
    TQxTranslator* t = form->Translator();
    EXPECT_FALSE(t->IsOpen());
    try {
        t->Open();
        ADD_FAILURE() << "no error";
    } catch (const qx::EQxMulti& e) {
        EXPECT_STREQ(e.what(),
                     "No dictionary has been assigned to the translator component "
                     "(QxTranslator1 on \"frmTranslated\" form)");
    }
    EXPECT_FALSE(t->IsOpen());
}

// Right to left: every control but the form stands mirrored in its parent, and goes back to
// where it was.
TEST_F(Translator, RightToLeftMirrorsAndBack) {
    Load();
    TQxTranslator* t = form->Translator();
    const char* names[] = {"Label1", "Panel1", "rbSave", "btCancel"};
    std::map<std::string, int> left;
    for (const char* n : names) left[n] = form->Control(n)->Left();
    const int formLeft = form->Left();

    dictionary->SetLanguage(kArabic);
    EXPECT_TRUE(t->IsMirrored());
    EXPECT_EQ(t->CurrentReadingOrder(), 1);
    for (const char* n : names) {
        kxc::TControl* c = form->Control(n);
        EXPECT_EQ(c->Left(), c->Parent()->ClientWidth() - c->Width() - left[n]) << n;
    }
    EXPECT_EQ(form->Left(), formLeft);
    dictionary->SetLanguage(kRussian);  // a second left-to-right language: back in place
    EXPECT_FALSE(t->IsMirrored());
    for (const char* n : names) EXPECT_EQ(form->Control(n)->Left(), left[n]) << n;

    // A form designed right to left is mirrored for left-to-right languages.
    t->SetNativeLayout(qx::qxroRightToLeft);
    dictionary->SetLanguage(kGerman);
    EXPECT_TRUE(t->IsMirrored());
    EXPECT_NE(form->Control("Label1")->Left(), left["Label1"]);
}

// Far-East languages scale the form once by MultiByteScale and back exactly.
TEST_F(Translator, FarEastScalesOnceAndBackExactly) {
    Load();
    TQxTranslator* t = form->Translator();
    t->SetMultiByteScale(150);
    int scales = 0;
    t->OnScale = [&](TQxTranslator*, kxc::TComponent* c) {
        EXPECT_EQ(c, form);
        ++scales;
    };
    struct Bounds {
        int l, t, w, h;
        bool operator==(const Bounds& o) const {
            return l == o.l && t == o.t && w == o.w && h == o.h;
        }
    };
    auto bounds = [&](const char* n) {
        kxc::TControl* c = n ? form->Control(n) : form;
        return Bounds{c->Left(), c->Top(), c->Width(), c->Height()};
    };
    // Labels size themselves to their captions: the bounds are compared in one language.
    dictionary->SetLanguage(kGerman);
    const char* names[] = {nullptr, "Label1", "Panel1", "rbSave", "btCancel"};
    std::vector<Bounds> before;
    for (const char* n : names) before.push_back(bounds(n));
    const int clientWidth = form->ClientWidth();
    const int32_t fontHeight = form->Font()->Height();

    dictionary->SetLanguage(kJapanese);
    EXPECT_TRUE(t->IsScaled());
    EXPECT_EQ(form->ClientWidth(), clientWidth * 3 / 2);
    EXPECT_EQ(scales, 1);
    t->Translate();  // another pass in the same language scales nothing more
    EXPECT_EQ(form->ClientWidth(), clientWidth * 3 / 2);
    EXPECT_EQ(scales, 1);

    dictionary->SetLanguage(kGerman);
    EXPECT_FALSE(t->IsScaled());
    EXPECT_EQ(scales, 2);
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_TRUE(bounds(names[i]) == before[i]) << (names[i] ? names[i] : "form");
    EXPECT_EQ(form->Font()->Height(), fontHeight);

    // A Close leaves the form scaled; opening again does not scale it a second time, and the
    // next language scales it back.
    dictionary->SetLanguage(kJapanese);
    t->Close();
    EXPECT_FALSE(t->IsScaled());
    t->Open();
    EXPECT_TRUE(t->IsScaled());
    EXPECT_EQ(form->ClientWidth(), clientWidth * 3 / 2);
    dictionary->SetLanguage(kGerman);
    EXPECT_EQ(form->ClientWidth(), clientWidth);
    EXPECT_TRUE(bounds("btCancel") == before[4]);
    EXPECT_EQ(scales, 4);

    // Resized by the application meanwhile: scaled back by the inverse factor.
    dictionary->SetLanguage(kJapanese);
    form->SetClientWidth(600);
    dictionary->SetLanguage(kGerman);
    EXPECT_EQ(form->ClientWidth(), 400);

    // MultiByteScale 0 counts as 100: nothing is scaled.
    t->SetMultiByteScale(0);
    dictionary->SetLanguage(kJapanese);
    EXPECT_FALSE(t->IsScaled());
    EXPECT_EQ(form->ClientWidth(), 400);
}

// The scale-back composes with what happened while the form was scaled: the mirroring of a
// right-to-left language chosen straight after a Far-East one (and the unmirroring of a form
// designed right to left), and a child the application moved or resized meanwhile.
TEST_F(Translator, FarEastScaleBackKeepsMirroringAndTheApplicationsChanges) {
    Load();
    TQxTranslator* t = form->Translator();
    t->SetMultiByteScale(150);
    const char* names[] = {"Label1", "Panel1", "rbSave", "btCancel"};
    std::map<std::string, int> left;
    for (const char* n : names) left[n] = form->Control(n)->Left();
    const int clientWidth = form->ClientWidth();
    auto expectMirrored = [&](const char* step) {
        for (const char* n : names) {
            kxc::TControl* c = form->Control(n);
            EXPECT_EQ(c->Left(), c->Parent()->ClientWidth() - c->Width() - left[n])
                << step << ": " << n;
        }
    };
    auto expectInPlace = [&](const char* step) {
        for (const char* n : names)
            EXPECT_EQ(form->Control(n)->Left(), left[n]) << step << ": " << n;
    };

    dictionary->SetLanguage(kJapanese);
    dictionary->SetLanguage(kArabic);
    EXPECT_FALSE(t->IsScaled());
    EXPECT_TRUE(t->IsMirrored());
    EXPECT_EQ(form->ClientWidth(), clientWidth);
    expectMirrored("Japanese, Arabic");
    dictionary->SetLanguage(kGerman);  // the records say mirrored: they are moved back
    expectInPlace("then German");

    // Right to left, then Far-East (unmirrored before it is scaled), then right to left again.
    dictionary->SetLanguage(kArabic);
    dictionary->SetLanguage(kJapanese);
    dictionary->SetLanguage(kArabic);
    expectMirrored("Arabic, Japanese, Arabic");
    dictionary->SetLanguage(kGerman);
    expectInPlace("then German");

    // Designed right to left: Japanese mirrors, Arabic puts back while the form is scaled.
    t->SetNativeLayout(qx::qxroRightToLeft);
    dictionary->SetLanguage(kJapanese);
    EXPECT_TRUE(t->IsScaled());
    dictionary->SetLanguage(kArabic);
    EXPECT_FALSE(t->IsScaled());
    EXPECT_FALSE(t->IsMirrored());
    expectInPlace("right-to-left form, Japanese, Arabic");
    t->SetNativeLayout(qx::qxroLeftToRight);
    dictionary->SetLanguage(kGerman);
    expectInPlace("left-to-right form, German");

    // Moved and widened by the application while scaled, or added then: scaled back from
    // where it stands; what it left alone comes back exactly.
    kxc::TControl* button = form->Control("btCancel");
    const int top = button->Top(), height = button->Height();
    dictionary->SetLanguage(kJapanese);
    button->SetLeft(30);
    button->SetWidth(150);
    auto* added = new kxc::TButton(form);
    added->SetParent(form);
    added->SetBounds(60, 30, 90, 30);
    dictionary->SetLanguage(kGerman);
    EXPECT_EQ(button->Left(), 20);
    EXPECT_EQ(button->Width(), 100);
    EXPECT_EQ(button->Top(), top);
    EXPECT_EQ(button->Height(), height);
    EXPECT_EQ(added->Left(), 40);
    EXPECT_EQ(added->Top(), 20);
    EXPECT_EQ(added->Width(), 60);
    EXPECT_EQ(added->Height(), 20);
    EXPECT_EQ(form->ClientWidth(), clientWidth);
}

// The form's font after scaling back is the one the language gives, on a form that has its
// window (only such a form gets the language's font), also when the translator was closed and
// opened again while the form was scaled.
TEST_F(Translator, FarEastScaleBackGivesTheLanguagesFontSize) {
    dictionary->languages[kJapanese].FontSize = 9;
    Load();
    form->Handle();
    ASSERT_TRUE(form->HandleAllocated());
    TQxTranslator* t = form->Translator();
    t->SetMultiByteScale(150);
    ASSERT_EQ(form->Font()->Size(), 8);
    const struct {
        const char* step;
        int language;
        bool closeAndOpen;
        int size;  // 0: larger than 9
    } steps[] = {
        {"Japanese", kJapanese, false, 0},
        {"German", kGerman, false, 8},
        {"native", kNative, false, 8},
        {"Japanese, then closed and opened", kJapanese, true, 0},
        {"German after reopening", kGerman, false, 8},
        {"native after reopening", kNative, false, 8},
    };
    for (const auto& s : steps) {
        dictionary->SetLanguage(s.language);
        if (s.size == 0)
            EXPECT_GT(form->Font()->Size(), 9) << s.step;
        else
            EXPECT_EQ(form->Font()->Size(), s.size) << s.step;
        if (s.closeAndOpen) {
            t->Close();
            t->Open();
            EXPECT_TRUE(t->IsScaled()) << s.step;
        }
    }
}

TEST_F(Translator, AFormThatScrollsIsNotScaled) {
    Load();
    TQxTranslator* t = form->Translator();
    t->SetMultiByteScale(150);
    form->SetAutoScroll(true);
    try {
        dictionary->SetLanguage(kJapanese);
        ADD_FAILURE() << "no error";
    } catch (const qx::EQxMulti& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot scale a form (frmTranslated) that has AutoScroll property set True");
    }
    EXPECT_EQ(Caption("Label1"), "next-4");  // the texts are translated before
    EXPECT_FALSE(t->IsScaled());
}

// A component that goes takes its cache items and mirroring state; forms that come and go
// leave no translator behind in the dictionary.
TEST_F(Translator, ComponentsThatGo) {
    Load();
    TQxTranslator* t = form->Translator();
    dictionary->SetLanguage(kGerman);
    auto* label2 = form->Control("Label2");
    ASSERT_NE(t->FindBiDiState(label2, false), nullptr);
    const int32_t items = t->Table().Count();
    const int32_t states = t->BiDiStateCount();
    label2->Free();
    EXPECT_EQ(t->Table().Count(), items - 1);
    EXPECT_EQ(t->BiDiStateCount(), states - 1);
    for (int32_t i = 0; i < t->Table().Count(); ++i)
        EXPECT_NE(t->Table().Items(i)->Control, static_cast<kxc::TObject*>(label2));
    // A handler that frees a component during the walk does not break it.
    t->OnTranslate = [&](TQxTranslator*, kxc::TComponent* c) {
        if (c->Name() != "Label1") return;
        if (kxc::TControl* label3 = form->Control("Label3")) label3->Free();
    };
    dictionary->SetLanguage(kRussian);
    EXPECT_EQ(Caption("btCancel"), "Cancel");
    EXPECT_EQ(form->FindComponent("Label3"), nullptr);

    for (int i = 0; i < 2; ++i) {
        form->Free();
        form = nullptr;
        EXPECT_TRUE(dictionary->Translators().empty());
        Load();
        EXPECT_EQ(Caption("Label1"), "\xC4\xE0\xEB\xE5\xE5");  // in the current language
    }
    form->Free();
    form = nullptr;
    dictionary->SetLanguage(kGerman);
    EXPECT_TRUE(dictionary->Translators().empty());
}

// A component taken out of its owner and put back keeps its native texts; one destroyed while
// out of it takes its cache items with it all the same.
TEST_F(Translator, AComponentTakenOutAndPutBackKeepsItsNativeTexts) {
    Load();
    TQxTranslator* t = form->Translator();
    dictionary->SetLanguage(kGerman);
    kxc::TControl* label1 = form->Control("Label1");
    form->RemoveComponent(label1);
    form->InsertComponent(label1);
    // Had "Weiter" become its native text, Russian would give "wrong".
    dictionary->SetLanguage(kRussian);
    EXPECT_EQ(Caption("Label1"), "\xC4\xE0\xEB\xE5\xE5");
    dictionary->SetLanguage(kNative);
    EXPECT_EQ(Caption("Label1"), "Next");
    EXPECT_EQ(label1->Hint(), "Go on");

    kxc::TControl* label2 = form->Control("Label2");
    const int32_t items = t->Table().Count();
    form->RemoveComponent(label2);
    EXPECT_EQ(t->Table().Count(), items);
    label2->Free();
    EXPECT_EQ(t->Table().Count(), items - 1);
    for (int32_t i = 0; i < t->Table().Count(); ++i)
        EXPECT_NE(t->Table().Items(i)->Control, static_cast<kxc::TObject*>(label2));
    EXPECT_EQ(t->FindBiDiState(label2, false), nullptr);
    dictionary->SetLanguage(kGerman);
    EXPECT_EQ(Caption("Label1"), "Weiter");
}

// The stored targets: written back as read, nothing written for a translator whose targets
// equal its ancestor's.
TEST_F(Translator, TargetsDataAgainstAnAncestor) {
    Load();
    TQxTranslator* t = form->Translator();
    TQxTranslator ancestor(nullptr);
    ancestor.SetTargets(t->Targets());
    {
        kxc::TMemoryStream stream;
        kxc::TWriter writer(stream);
        writer.SetAncestor(&ancestor);
        t->DefineProperties(writer);
        EXPECT_EQ(stream.Bytes(), "");
    }
    kxc::TMemoryStream stream, expected;
    kxc::TWriter writer(stream), expectedWriter(expected);
    t->DefineProperties(writer);
    expectedWriter.WriteStr("TargetsData");
    qx::WriteTargetsData(expectedWriter, *t->Targets(), nullptr);
    EXPECT_EQ(stream.Bytes(), expected.Bytes());
}

}  // namespace

namespace {

class TfrmListsTranslated : public kxc::TForm {
    KXC_CLASS(TfrmListsTranslated, kxc::TForm)
public:
    using kxc::TForm::TForm;
    template <class T>
    T* Get(const char* name) const {
        return dynamic_cast<T*>(FindComponent(name));
    }
};
KXC_IMPLEMENT_CLASS(TfrmListsTranslated)
void TfrmListsTranslated::DescribeClass(kxc::TClassBuilder<TfrmListsTranslated>&) {}

// Frees the form when the test ends, whichever way.
struct FreeForm {
    kxc::TForm* f;
    ~FreeForm() { f->Free(); }
};

std::vector<std::string> Lines(const kxc::TStrings* s) {
    std::vector<std::string> v;
    for (int i = 0; i < s->Count(); ++i) v.push_back(s->Get(i));
    return v;
}

// Lines of list controls keep their selection and marks; an invisible combo box keeps its
// lines; a memo's text loses its trailing line breaks; menu items are found again when the
// menu's automatic hot keys move their "&".
TEST_F(Translator, ListsMemoAndMenu) {
    const char* german[][2] = {{"First", "Erste"}, {"Second", "Zweite"}, {"Third", "Dritte"},
                               {"Doors", "T\xFCren"}, {"Readers", "Leser"},
                               {"Notes", "Notizen"}, {"&File", "&Datei"},
                               {"&Open", "&Bearbeiten"}, {"Exit", "&Beenden"}};
    for (auto& w : german) dictionary->Word(kGerman, w[0], w[1]);
    auto* f = kxc::CreateForm<TfrmListsTranslated>(nullptr);
    const FreeForm freeForm{f};
    auto* lb = f->Get<kxc::TListBox>("lbPlain");
    auto* clb = f->Get<kxc::TCheckListBox>("clbChecks");
    auto* shown = f->Get<kxc::TComboBox>("cbShown");
    auto* hidden = f->Get<kxc::TComboBox>("cbHidden");
    auto* memo = f->Get<kxc::TMemo>("mmoNotes");
    auto* miOpen = f->Get<kxc::TMenuItem>("miOpen");
    auto* miExit = f->Get<kxc::TMenuItem>("miExit");
    ASSERT_TRUE(lb && clb && shown && hidden && memo && miOpen && miExit);
    lb->SetSelected(0, true);
    lb->SetSelected(2, true);
    lb->SetItemIndex(2);
    clb->SetChecked(1, true);

    dictionary->SetLanguage(kGerman);
    EXPECT_EQ(Lines(lb->Items()), (std::vector<std::string>{"Erste", "Zweite", "Dritte"}));
    EXPECT_TRUE(lb->Selected(0));
    EXPECT_FALSE(lb->Selected(1));
    EXPECT_TRUE(lb->Selected(2));
    EXPECT_EQ(lb->ItemIndex(), 2);
    EXPECT_EQ(Lines(clb->Items()), (std::vector<std::string>{"T\xFCren", "Leser"}));
    EXPECT_FALSE(clb->Checked(0));
    EXPECT_TRUE(clb->Checked(1));
    EXPECT_EQ(Lines(shown->Items()), (std::vector<std::string>{"Erste", "Zweite"}));
    EXPECT_EQ(shown->ItemIndex(), 1);
    EXPECT_EQ(Lines(hidden->Items()), std::vector<std::string>{"First"});
    EXPECT_EQ(memo->Text(), "Notizen");
    EXPECT_EQ(f->Get<kxc::TMenuItem>("miFile")->Caption(), "&Datei");
    // Both translations want "B": the menu gives one of them another hot key.
    EXPECT_EQ(qx::StripHotKey(miOpen->Caption(), true), "Bearbeiten");
    EXPECT_EQ(qx::StripHotKey(miExit->Caption(), true), "Beenden");
    EXPECT_NE(miOpen->Caption().find('&'), std::string::npos);
    EXPECT_NE(miExit->Caption(), "&Beenden" == miOpen->Caption() ? "&Beenden" : "");
    EXPECT_EQ(f->Get<kxc::TMainMenu>("mmMain")->AutoHotkeys(), kxc::maAutomatic);

    dictionary->SetLanguage(kNative);
    EXPECT_EQ(Lines(lb->Items()), (std::vector<std::string>{"First", "Second", "Third"}));
    EXPECT_TRUE(lb->Selected(2));
    EXPECT_EQ(miOpen->Caption(), "&Open");
    EXPECT_EQ(miExit->Caption(), "E&xit");
    EXPECT_EQ(memo->Text(), "Notes");
}

// A dictionary that gives empty texts for missing words: an emptied line comes back as its own
// text, never as an empty line's neighbour.
TEST_F(Translator, EachEmptiedLineComesBackAsItsOwn) {
    dictionary->Word(kGerman, "Yes", "Ja");
    auto* f = kxc::CreateForm<TfrmListsTranslated>(nullptr);
    const FreeForm freeForm{f};
    auto* lb = f->Get<kxc::TListBox>("lbPlain");
    ASSERT_NE(lb, nullptr);
    lb->Items()->Clear();
    lb->Items()->Add("");
    lb->Items()->Add("Yes");
    dictionary->SetMissingTranslation(qx::qxmtUseNull);
    using V = std::vector<std::string>;
    const struct {
        int language;
        V lines;
    } steps[] = {{kRussian, {"", ""}}, {kGerman, {"", "Ja"}}, {kRussian, {"", ""}},
                 {kGerman, {"", "Ja"}}};
    for (const auto& s : steps) {
        dictionary->SetLanguage(s.language);
        EXPECT_EQ(Lines(lb->Items()), s.lines) << s.language;
    }
}

}  // namespace
