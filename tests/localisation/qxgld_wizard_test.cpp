// The wizard's dictionary as built: its languages and code pages, and its native texts against
// the texts of the forms it translates and the page captions of the wizard.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "fake_locale_system.h"
#include "qx/QxGLD.h"

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Every quoted value of a Caption or Hint property of a form description.
void CollectFormTexts(const std::string& path, std::set<std::string>& texts) {
    std::istringstream in(ReadText(path));
    std::string line;
    while (std::getline(in, line)) {
        size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos) continue;
        std::string rest = line.substr(at);
        if (rest.rfind("Caption = ", 0) != 0 && rest.rfind("Hint = ", 0) != 0) continue;
        size_t q = rest.find(" = ") + 3;
        ASSERT_EQ(rest[q], '\'') << path << ": " << line;  // one quoted part, as these forms have
        std::string value;
        for (size_t i = q + 1; i < rest.size(); ++i) {
            if (rest[i] == '\'') {
                if (i + 1 < rest.size() && rest[i + 1] == '\'') {
                    value += '\'';
                    ++i;
                    continue;
                }
                ASSERT_EQ(i + 1, rest.size()) << path << ": " << line;
                break;
            }
            value += rest[i];
        }
        texts.insert(value);
    }
}

struct Entry {
    std::string Native;
    std::vector<std::string> Texts;  // languages 1 onward
};

}  // namespace

TEST(WizardDictionary, LanguagesAndTexts) {
    FakeLocaleSystem system;  // the file's own names, not the system's
    qx::TQxGLDFile r;
    r.OpenFile(KX_WIZARD_GLD);
    EXPECT_EQ(r.Version(), 3);
    EXPECT_TRUE(r.AnsiStrings());
    EXPECT_EQ(r.ContextType(), 0);
    ASSERT_EQ(r.LanguageCount(), 4);
    EXPECT_EQ(r.LocaleCount(), 0);

    struct Want {
        int32_t primary;
        const char* english;
        const char* native;
        int32_t codePage;
    } want[] = {{0, "Native", "Native", 1252},
                {9, "English", "English", 1252},
                {7, "German", "Deutsch", 1252},
                {25, "Russian", "\xD0\xF3\xF1\xF1\xEA\xE8\xE9", 1251}};
    for (int32_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        qx::TQxLanguage* l = r.ReadLanguageAt(i);
        ASSERT_NE(l, nullptr);
        EXPECT_EQ(l->PrimaryId, want[i].primary);
        EXPECT_EQ(l->EnglishName, want[i].english);
        EXPECT_EQ(l->NativeName, want[i].native);
        EXPECT_EQ(l->CodePage, want[i].codePage);
        EXPECT_EQ(l->Charset, qx::CodePageToCharset(want[i].codePage));
        if (i > 0) {
            EXPECT_EQ(l->SubId, 1);
        }
    }

    std::vector<Entry> entries;
    std::set<std::string> natives;
    r.SeekTranslations();
    for (int32_t i = 0; i < r.TranslationCount(); ++i) {
        std::string a, b;
        std::vector<std::string> texts;
        r.ReadTranslationTexts(a, b, texts);
        ASSERT_EQ(texts.size(), 4u);
        entries.push_back({texts[0], {texts.begin() + 1, texts.end()}});
        EXPECT_TRUE(natives.insert(texts[0]).second) << "twice: " << texts[0];
        for (size_t k = 1; k < texts.size(); ++k) EXPECT_FALSE(texts[k].empty()) << texts[0] << " in " << k;
        EXPECT_EQ(texts[1], texts[0]) << "English is the native text";
    }

    // What the dictionary must translate: every Caption and Hint of the four translated forms, the
    // page captions that the wizard sets, and the system menu's items.
    std::set<std::string> wanted;
    for (const char* form : {"frmMain.txt", "frmStUp.txt", "frmSaving.txt", "frmCancelWarn.txt"})
        CollectFormTexts(std::string(KX_FORMS_DIR) + "/" + form, wanted);
    const std::string wizard = ReadText(KX_SETUP_SRC_DIR "/Main.cpp");
    for (const char* caption : {"Found previous installation", "Removing previous installation",
                                "Korvix database version is not detected", "Convert saved databases"}) {
        EXPECT_NE(wizard.find(std::string("SetPageCaption(\"") + caption + "\")"), std::string::npos) << caption;
        wanted.insert(caption);
    }
    wanted.insert("&Move");
    wanted.insert("&Close");
    EXPECT_GE(wanted.size(), 30u);
    for (const std::string& w : wanted) EXPECT_TRUE(natives.count(w)) << "missing: " << w;
    for (const std::string& n : natives) EXPECT_TRUE(wanted.count(n)) << "not a text of the wizard: " << n;

    // Each language's texts in its code page.
    for (const Entry& e : entries) {
        if (e.Native == "< &Back") {
            EXPECT_EQ(e.Texts[1], "< &Zur\xFC" "ck");
            EXPECT_EQ(e.Texts[2], "< &\xCD\xE0\xE7\xE0\xE4");
        }
        if (e.Native == "Cancel") {
            EXPECT_EQ(e.Texts[2], "\xCE\xF2\xEC\xE5\xED\xE0");
        }
    }
}
