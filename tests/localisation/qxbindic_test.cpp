// The binary dictionary over GLD data in a file and in a resource (registered in memory):
// counts, languages and locales, the translations of the language in use with the fallback
// language, the errors of each storage, and embedded storage without its data.
#include <gtest/gtest.h>

#include <chrono>
#include <climits>
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
    // There is no locale 0: the data are missing, and the locale says so in its own words.
    for (int32_t index : {0, -1, 1}) {
        EXPECT_EQ(Raised([&] { qx::TQxLocale l; d.GetLocale(index, l); }),
                  "EQxMulti: No dictionary data! Set the FileName property.")
            << index;
    }
}

// An index outside the count is refused, whatever the storage, before anything is read; an
// embedded locale is refused as missing data.
TEST_F(BinaryDictionary, IndexOutsideTheCount) {
    gldwriter::Dictionary withLocale = Sample(0);
    withLocale.Locales.resize(1);
    withLocale.Locales[0].PrimaryId = 25;
    withLocale.Locales[0].SubId = 1;
    withLocale.Locales[0].CodePage = 1251;
    kxc::RegisterResourceData(qx::QxDictionaryResourceType, qx::QxDictionaryResourceName,
                              gldwriter::Write(withLocale));
    const std::string path = WriteFile("sample.gld", gldwriter::Write(withLocale));
    for (qx::TQxStorage storage : {qx::qxsFile, qx::qxsResource, qx::qxsEmbedded}) {
        qx::TQxBinaryDictionary d(nullptr);
        d.SetFileName(path);
        d.SetStorage(storage);
        const int32_t languages = d.GetLanguageCount();
        const int32_t locales = d.GetLocaleCount();
        for (int32_t index : {-1, languages, languages + 1, INT32_MAX, INT32_MIN}) {
            qx::TQxLanguage l;
            l.EnglishName = "untouched";
            EXPECT_EQ(Raised([&] { d.GetLanguage(index, l); }),
                      "ERangeError: Out of language range")
                << "storage " << int(storage) << " index " << index;
            EXPECT_EQ(l.EnglishName, "untouched");
        }
        for (int32_t index : {-1, locales, locales + 1}) {
            qx::TQxLocale c;
            EXPECT_EQ(Raised([&] { d.GetLocale(index, c); }),
                      storage == qx::qxsEmbedded
                          ? "EQxMulti: No dictionary data! Set the FileName property."
                          : "ERangeError: Out of language range")
                << "storage " << int(storage) << " index " << index;
        }
        if (storage == qx::qxsEmbedded) continue;  // no form here: counts of 0
        qx::TQxLanguage last;
        d.GetLanguage(languages - 1, last);
        EXPECT_EQ(last.EnglishName, "Russian");
        qx::TQxLocale c;
        d.GetLocale(0, c);
        EXPECT_EQ(c.PrimaryId, 25);
    }
}

// A load that breaks off keeps the entries read before the damage, sorted, so they are found.
TEST_F(BinaryDictionary, AFailedLoadLeavesASearchableList) {
    gldwriter::Dictionary d = Sample(0);
    d.Translations = {{"Zeta", "", "", {"", "Z", ""}},
                      {"Mid", "", "", {"", "M", ""}},
                      {"Alpha", "", "", {"", "A", ""}},
                      {"Beta", "", "", {"", "B", ""}},
                      {"Omega", "", "", {"", "Omega-Text", ""}}};
    std::string bytes = gldwriter::Write(d);
    bytes.resize(bytes.size() - 4);  // the last entry ends early
    qx::TQxBinaryDictionary dict(nullptr);
    dict.SetFileName(WriteFile("broken.gld", bytes));
    dict.SetLanguage(2);
    EXPECT_EQ(Raised([&] { dict.OpenDictionary(); }), "EReadError: Stream read error");
    for (const char* native : {"Zeta", "Mid", "Alpha", "Beta"})
        EXPECT_EQ(Find(dict, native), std::string(1, native[0])) << native;
    EXPECT_EQ(Find(dict, "Omega"), "-");
}

// Asking for every language of a 65,535-language file in turn reads each record once: the
// dictionary keeps where the records start while the file stays unchanged.
TEST_F(BinaryDictionary, EveryLanguageInTurnStaysLinear) {
    gldwriter::Dictionary d;
    d.Languages.resize(65535);
    for (size_t i = 1; i < d.Languages.size(); ++i) {
        gldwriter::Language& l = d.Languages[i];
        l.PrimaryId = uint16_t(1 + i % 0x3FE);
        l.DefaultSubId = 1;
        l.CodePage = 1252;
        l.EnglishName = "L" + std::to_string(i);
    }
    const std::string path = WriteFile("many.gld", gldwriter::Write(d));
    // Written a while ago: a file changed just now is never trusted to be unchanged.
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
    qx::TQxBinaryDictionary dict(nullptr);
    dict.SetFileName(path);
    const auto start = std::chrono::steady_clock::now();
    const int32_t count = dict.GetLanguageCount();
    ASSERT_EQ(count, 65535);
    qx::TQxLanguage l;
    for (int32_t i = 0; i < count; ++i) {
        dict.GetLanguage(i, l);
        ASSERT_EQ(l.EnglishName, i == 0 ? "Native" : "L" + std::to_string(i));
    }
    dict.GetLanguage(4711, l);
    EXPECT_EQ(l.EnglishName, "L4711");
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 60.0);  // read record by record from the start it would take hours
}

// What the dictionary keeps of a file serves only that file as it was: the same size and
// header with records of other lengths are read afresh.
TEST_F(BinaryDictionary, RecordStartsServeOnlyTheUnchangedFile) {
    gldwriter::Dictionary d = Sample(0);
    d.Languages[1].EnglishName = "Swiss German";
    d.Languages[2].EnglishName = "G";
    const std::string path = WriteFile("sample.gld", gldwriter::Write(d));
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
    fs::last_write_time(path, old);
    qx::TQxBinaryDictionary dict(nullptr);
    dict.SetFileName(path);
    qx::TQxLanguage l;
    dict.GetLanguage(3, l);
    EXPECT_EQ(l.EnglishName, "Russian");
    // Same size and header, the first two names of other lengths; an older time as well.
    d.Languages[1].EnglishName = "S";
    d.Languages[2].EnglishName = "German Swiss";
    const std::string again = gldwriter::Write(d);
    ASSERT_EQ(again.size(), fs::file_size(path));
    WriteFile("sample.gld", again);
    dict.GetLanguage(2, l);
    EXPECT_EQ(l.EnglishName, "German Swiss");  // written just now: read from the start
    fs::last_write_time(path, old - std::chrono::hours(1));
    dict.GetLanguage(3, l);
    EXPECT_EQ(l.EnglishName, "Russian");
    dict.GetLanguage(2, l);
    EXPECT_EQ(l.EnglishName, "German Swiss");
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
