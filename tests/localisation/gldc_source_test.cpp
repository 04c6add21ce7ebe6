// The readable dictionary source that gldc compiles: settings, languages, entries, and the
// errors it reports with their line.
#include <gtest/gtest.h>

#include "gldsource.h"
#include "rtl/exceptions.h"

TEST(GldcSource, ReadsSettingsLanguagesAndEntries) {
    const std::string source =
        "# comment\n"
        "version 2\r\n"
        "byte-order big\n"
        "strings utf-16\n"
        "contexts 3\n"
        "language native\n"
        "  code-page 1252\n"
        "language en   # English\n"
        "  primary 9\n"
        "  code-page 1252\n"
        "  english \"English\"\n"
        "  texts native\n"
        "language ru\n"
        "  primary 25\n"
        "  default-sub 1\n"
        "  sub-languages \"1\"\n"
        "  code-page 1251\n"
        "  native \"\xD0\xA0\xD1\x83\xD1\x81\"\n"  // Рус in UTF-8
        "entry \"Say \"\"hi\"\"\"\n"
        "  context-a \"a\"\n"
        "  ru \"\xD0\x94\xD0\xB0\"\n"  // Да
        "entry \"Only native\"\n";
    gldwriter::Dictionary d = gldwriter::ParseSource(source);
    EXPECT_EQ(d.Version, 2);
    EXPECT_FALSE(d.LittleEndian);
    EXPECT_FALSE(d.AnsiStrings);
    EXPECT_EQ(d.ContextType, 3);
    ASSERT_EQ(d.Languages.size(), 3u);
    EXPECT_EQ(d.Languages[1].EnglishName, "English");
    EXPECT_EQ(d.Languages[2].NativeName, "\xD0\xF3\xF1");  // in code page 1251
    EXPECT_EQ(d.Languages[2].SubLanguages, "1");
    ASSERT_EQ(d.Translations.size(), 2u);
    EXPECT_EQ(d.Translations[0].Native, "Say \"hi\"");
    EXPECT_EQ(d.Translations[0].ContextA, "a");
    EXPECT_EQ(d.Translations[0].Texts, (std::vector<std::string>{"Say \"hi\"", "\xC4\xE0"}));
    EXPECT_EQ(d.Translations[1].Texts, (std::vector<std::string>{"Only native", ""}));
}

TEST(GldcSource, Errors) {
    const std::string head = "language native\nlanguage de\n  code-page 1252\n";
    struct Case {
        std::string source;
        std::string error;
    } cases[] = {
        {head + "entry \"open", "s(4): unterminated text"},
        {head + "entry \"x\"\n  fr \"y\"", "s(5): unknown language tag fr"},
        {head + "entry \"x\"\n  native \"y\"", "s(5): unknown language tag native"},
        {head + "entry \"x\"\n  de \"\xD0\x94\"", "s(5): the text has a character that code page 1252 lacks"},
        {head + "entry \"x\"\nlanguage ru", "s(5): languages come before the entries"},
        {head + "language de", "s(4): a new language tag is expected"},
        {"version 300", "s(1): a number from 0 to 255 is expected"},
        {"strings 7-bit", "s(1): unknown setting strings"},
        {head + "  primary \"7\"", "s(4): a number is expected"},
        {head + "  english \"x\" y", "s(4): unexpected text after the value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        try {
            gldwriter::ParseSource(c.source, "s");
            ADD_FAILURE() << "no error";
        } catch (const rtl::Exception& e) {
            EXPECT_EQ(e.Message(), c.error);
        }
    }
}
