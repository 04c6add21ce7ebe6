// The binary dictionary over GLD data in a file and in a resource (registered in memory):
// counts, languages and locales, the translations of the language in use with the fallback
// language, the errors of each storage, and embedded storage without its data.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "components/streams.h"
#include "fake_locale_system.h"
#include "gldwriter.h"
#include "memory_dictionary.h"
#include "qx/QxBinDic.h"

namespace fs = std::filesystem;

namespace {

// Languages: 0 native, 1 Swiss German (its sub-languages listed, so German stands in for
// it), 2 German, 3 Russian. Entries: one per case of the fallback.
gldwriter::Dictionary Sample(uint8_t contextType) {
    gldwriter::Dictionary d;
    d.ContextType = contextType;
    gldwriter::Language native;
    native.CodePage = 1252;
    gldwriter::Language swiss;
    swiss.PrimaryId = 7;
    swiss.DefaultSubId = 2;
    swiss.SubLanguages = "2";
    swiss.CodePage = 1252;
    swiss.EnglishName = "Swiss German";
    gldwriter::Language german;
    german.PrimaryId = 7;
    german.DefaultSubId = 1;
    german.CodePage = 1252;
    german.EnglishName = "German";
    gldwriter::Language russian;
    russian.PrimaryId = 25;
    russian.DefaultSubId = 1;
    russian.CodePage = 1251;
    russian.EnglishName = "Russian";
    d.Languages = {native, swiss, german, russian};
    const std::string cancelRu = "\xCE\xF2\xEC\xE5\xED\xE0";  // Отмена in code page 1251
    d.Translations = {{"Cancel", contextType ? "A" : "", "", {"Abbrechen!", "Abbrechen", cancelRu}},
                      {"Next", "", "", {"", "Weiter", ""}},
                      {"Back", "", "", {"", "", ""}},
                      {"Open", "", "", {"\xD6" "ffnen", "", ""}}};
    return d;
}

std::string Raised(const std::function<void()>& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "";
}

std::string Find(qx::TQxBinaryDictionary& d, const std::string& native) {
    std::string t;
    return d.FindTranslation(native, t) ? t : "-";
}

class BinaryDictionary : public ::testing::Test {
protected:
    void SetUp() override {
        qx::QxDictioFinalization();
        qx::QxDictioInitialization();
        for (uint32_t id : {0x0407u, 0x0807u, 0x0409u}) system.AddFullLocale(id, "German", 1252);
        system.AddFullLocale(0x0419, "Russian", 1251);
        folder = fs::temp_directory_path() /
                 (std::string("qxbindic-") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override {
        kxc::UnregisterResourceData(qx::QxDictionaryResourceType, qx::QxDictionaryResourceName);
        fs::remove_all(folder);
    }
    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const fs::path p = folder / name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p.string();
    }

    FakeLocaleSystem system;
    RecordingApplication application;
    fs::path folder;
};

}  // namespace

TEST_F(BinaryDictionary, FileStorageCountsLanguagesAndTranslationsWithTheFallback) {
    qx::TQxBinaryDictionary d(nullptr);
    d.SetFileName(WriteFile("sample.gld", gldwriter::Write(Sample(1))));
    EXPECT_TRUE(d.IsAvailable());
    EXPECT_EQ(d.GetLanguageCount(), 4);
    EXPECT_TRUE(d.HasContexts());  // set by every opening, a count too
    EXPECT_EQ(d.GetLocaleCount(), 0);
    EXPECT_EQ(d.GetTranslationCount(), 4);  // the data's count while nothing is loaded
    qx::TQxLanguage l;
    d.GetLanguage(3, l);
    EXPECT_EQ(l.EnglishName, "Russian");
    EXPECT_EQ(l.CodePage, 1251);
    qx::TQxLanguageList all;
    d.GetLanguages(all);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1]->EnglishName, "Swiss German");
    EXPECT_EQ(all[2]->EnglishName, "German");
    qx::TQxLocaleList locales;
    d.GetLocales(locales);  // no locale records: nothing, and no "No custom locales"
    EXPECT_TRUE(locales.empty());

    // Swiss German: German stands in where it has no text; an entry with neither is left out.
    d.SetLanguage(1);
    d.OpenDictionary();
    ASSERT_TRUE(d.IsOpen());
    EXPECT_EQ(d.FallbackLanguageIndex(), 2);
    EXPECT_EQ(d.GetTranslationCount(), 4);  // still the data's count
    std::string t;
    EXPECT_TRUE(d.FindContextTranslation("Cancel", "A", "", t));
    EXPECT_EQ(t, "Abbrechen!");
    EXPECT_EQ(Find(d, "Next"), "Weiter");
    EXPECT_EQ(Find(d, "Open"), "\xD6" "ffnen");
    EXPECT_EQ(Find(d, "Back"), "-");
    const int32_t next = d.IndexOfNative("Next");
    ASSERT_GE(next, 0);
    EXPECT_EQ(d.GetTranslation(next)->State, 1);
    EXPECT_EQ(d.GetTranslation(d.IndexOfNative("Open"))->State, 0);

    // Russian: its own texts only (no fallback language), in its code page.
    system.acp = 1251;
    d.SetLanguage(3);
    EXPECT_EQ(d.FallbackLanguageIndex(), 0);
    EXPECT_EQ(Find(d, "Cancel"), "\xCE\xF2\xEC\xE5\xED\xE0");
    EXPECT_EQ(Find(d, "Next"), "-");
    EXPECT_EQ(qx::TranslateString("Next"), "Next");
}

// Every query opens the data anew: a file changed between queries is read as it is now.
TEST_F(BinaryDictionary, NothingIsKeptBetweenQueries) {
    qx::TQxBinaryDictionary d(nullptr);
    const std::string path = WriteFile("sample.gld", gldwriter::Write(Sample(1)));
    d.SetFileName(path);
    EXPECT_EQ(d.GetLanguageCount(), 4);
    EXPECT_TRUE(d.HasContexts());
    gldwriter::Dictionary smaller = Sample(0);
    smaller.Languages.pop_back();
    WriteFile("sample.gld", gldwriter::Write(smaller));
    EXPECT_EQ(d.GetLanguageCount(), 3);
    EXPECT_FALSE(d.HasContexts());
    // Context type 0: sorted and searched by the native text alone.
    d.SetLanguage(2);
    d.OpenDictionary();
    std::string t;
    EXPECT_TRUE(d.FindContextTranslation("Cancel", "x", "y", t));
    EXPECT_EQ(t, "Abbrechen");
    fs::remove(path);  // the file is not held open
    EXPECT_FALSE(fs::exists(path));
}

TEST_F(BinaryDictionary, ResourceStorage) {
    kxc::RegisterResourceData(qx::QxDictionaryResourceType, qx::QxDictionaryResourceName,
                              gldwriter::Write(Sample(0)));
    qx::TQxBinaryDictionary d(nullptr);
    d.SetStorage(qx::qxsResource);
    EXPECT_EQ(Raised([&] { d.GetLanguageCount(); }),
              "Exception: No FileName property set");  // although the resource needs no name
    d.SetFileName("not-there.gld");
    EXPECT_TRUE(d.IsAvailable());
    EXPECT_EQ(d.GetLanguageCount(), 4);
    d.SetLanguage(2);
    d.OpenDictionary();
    EXPECT_EQ(Find(d, "Next"), "Weiter");
#ifndef _WIN32  // the Windows test program carries a resource of its own (below)
    kxc::UnregisterResourceData(qx::QxDictionaryResourceType, qx::QxDictionaryResourceName);
    EXPECT_EQ(Raised([&] { d.GetLanguageCount(); }).rfind("EResNotFound: ", 0), 0u);
#endif
}

TEST_F(BinaryDictionary, FileStorageErrors) {
    const std::string bad = WriteFile("bad.gld", "GLX" + std::string(60, '\0'));
    const std::string missing = (folder / "missing.gld").string();
    const struct {
        std::string fileName, error;
    } cases[] = {
        {"", "Exception: No FileName property set"},
        {missing, "EFOpenError: Cannot open file " + missing},
        {"Wizard-missing.gld", "EFOpenError: Cannot open file Wizard-missing.gld"},
        {bad, "Exception: The stream is not a valid GLD stream"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        qx::TQxBinaryDictionary d(nullptr);
        d.SetFileName(cases[i].fileName);
        EXPECT_EQ(Raised([&] { d.GetLanguageCount(); }), cases[i].error) << "case " << i;
        EXPECT_EQ(Raised([&] { qx::TQxLanguage l; d.GetLanguage(0, l); }), cases[i].error)
            << "case " << i;
        // A missing file leaves the dictionary unavailable, and opening it does nothing.
        if (i == 1) {
            EXPECT_FALSE(d.IsAvailable());
            d.OpenDictionary();
            EXPECT_FALSE(d.IsOpen());
        }
    }
}

// Embedded storage at run time answers from the counts read while the form loaded (none
// here) and never touches FileName.
TEST_F(BinaryDictionary, EmbeddedStorageWithoutItsData) {
    qx::TQxBinaryDictionary d(nullptr);
    d.SetStorage(qx::qxsEmbedded);
    EXPECT_TRUE(d.IsAvailable());
    EXPECT_EQ(d.GetLanguageCount(), 0);
    EXPECT_EQ(d.GetTranslationCount(), 0);
    EXPECT_EQ(d.GetLocaleCount(), 0);
    qx::TQxLocaleList locales;
    d.GetLocales(locales);
    EXPECT_TRUE(locales.empty());
    EXPECT_EQ(Raised([&] { qx::TQxLocale l; d.GetLocale(0, l); }),
              "EQxMulti: No dictionary data! Set the FileName property.");
}

#ifdef _WIN32
// The program's own resource of type "GLOSSAVANT" (the wizard's dictionary, see CMakeLists).
TEST_F(BinaryDictionary, ResourceOfTheProgram) {
    qx::TQxBinaryDictionary d(nullptr);
    d.SetStorage(qx::qxsResource);
    d.SetFileName("Wizard.gld");
    EXPECT_EQ(d.GetLanguageCount(), 4);
    qx::TQxLanguage l;
    d.GetLanguage(2, l);
    EXPECT_EQ(l.EnglishName, "German");
    d.SetLanguage(2);
    d.OpenDictionary();
    EXPECT_EQ(Find(d, "Convert saved databases"), "Gesicherte Datenbanken konvertieren");
}
#endif
