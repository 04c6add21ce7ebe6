// The GLD reader over streams in memory: records assembled by hand from the format's tables,
// twins written by the writer in every version, byte order and string width, the header,
// offset, record-length, text and translation cases, and damaged streams.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <set>

#include "fake_locale_system.h"
#include "gld_fixtures.h"
#include "qx/QxGLD.h"
#include "rtl/exceptions.h"

using gldtest::Hex;
using gldtest::Open;

namespace {

// The message of the exception `f` raises, "" when it raises none.
std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return e.Message();
    }
    return std::string();
}

// Reads every section the header announces, as the dictionary does.
void ReadAll(qx::TQxGLDFile& r, int32_t selected = 1, int32_t codePage = 1252, int32_t fallback = 0) {
    r.SeekLanguages();
    for (int32_t i = 0; i < r.LanguageCount(); ++i) r.ReadGLDLanguage();
    r.SeekTranslations();
    for (int32_t i = 0; i < r.TranslationCount(); ++i) {
        qx::TQxTranslation t;
        r.ReadGLDTranslation(t, selected, codePage, fallback);
    }
    if (r.LocaleCount() > 0) {
        r.SeekLocales();
        for (int32_t i = 0; i < r.LocaleCount(); ++i) r.ReadGLDLocale();
    }
}

// A 42-byte little-endian header; counts and offsets as given.
std::string Header(uint8_t version, uint8_t width, uint8_t contexts, uint16_t languages, uint32_t languageOffset,
                   uint16_t translations, uint32_t translationOffset, uint16_t locales = 0,
                   uint32_t localeOffset = 0) {
    std::string h = "GLD";
    h += char(version);
    h += char(1);
    h += char(width);
    h += char(contexts);
    h += char(version == 1 ? width : 0);
    h += std::string(4, '\0');
    auto word = [&h](uint16_t w) {
        h += char(w & 0xFF);
        h += char(w >> 8);
    };
    auto dword = [&](uint32_t v) {
        word(uint16_t(v));
        word(uint16_t(v >> 16));
    };
    word(languages);
    dword(languageOffset);
    word(translations);
    dword(translationOffset);
    word(locales);
    dword(localeOffset);
    h.append(12, '\0');
    return h;
}

// Version 1, 8-bit, little-endian: a native language record (16 bytes).
const std::string kNativeV1 = Hex("0000 0000 0000 E404 00 0000 0000 0000 00");

}  // namespace

// ---- Records assembled by hand -------------------------------------------------------------

TEST(QxGLDFile, HandAssembledVersion3LittleEndian8Bit) {
    FakeLocaleSystem system;
    const std::string bytes = Hex(
        // header: GLD v3, little-endian, 8-bit, no contexts, 2 languages at 42, 1 translation at 123
        "474C44 03 01 01 00 00 00000000 0200 2A000000 0100 7B000000 0000 00000000 0000 00000000 000000000000"
        // language 0 (26 bytes): native
        "1A00 0000 0000 0000 0000 0000 0000 0000 E404 00 0000 0000 0000 00"
        // language 1 (55 bytes): 7 "de" 1 "DE" "1,2" "ab,cd" charset EE, 1251, flags 3,
        // "German" "Deutsch" "Arial" 10, then 3 bytes the reader does not know
        "3700 0700 6465 0100 4445 0300 312C32 0500 61622C6364 EE00 E304 03"
        "0600 4765726D616E 0700 44657574736368 0500 417269616C 0A AABBCC"
        // translation: "Next" -> "Weiter"
        "0400 4E657874 0600 576569746572");
    auto r = Open(bytes);
    EXPECT_EQ(r->Version(), 3);
    EXPECT_TRUE(r->LittleEndian());
    EXPECT_TRUE(r->AnsiStrings());
    EXPECT_EQ(r->LanguageCount(), 2);
    EXPECT_EQ(r->TranslationCount(), 1);
    EXPECT_EQ(r->LocaleCount(), 0);

    qx::TQxLanguage* native = r->ReadLanguageAt(0);
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(native->PrimaryId, 0);
    EXPECT_EQ(native->EnglishName, "Native");
    EXPECT_EQ(native->Flags, 2);

    qx::TQxLanguage& de = r->ReadGLDLanguage();
    EXPECT_EQ(de.PrimaryId, 7);
    EXPECT_EQ(de.LanguageCode, "de");
    EXPECT_EQ(de.DefaultSubId, 1);
    EXPECT_EQ(de.SubId, 1);
    EXPECT_EQ(de.CountryCode, "DE");
    EXPECT_EQ(de.SubLanguages, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(de.SubLanguageTexts, (std::vector<std::string>{"ab", "cd"}));
    EXPECT_EQ(de.CodePage, 1251);
    EXPECT_EQ(de.Charset, qx::CodePageToCharset(1251));  // the record's charset has no effect
    EXPECT_EQ(de.Flags, 3);
    EXPECT_EQ(de.EnglishName, "German");
    EXPECT_EQ(de.NativeName, "Deutsch");
    EXPECT_EQ(de.FontName, "Arial");
    EXPECT_EQ(de.FontSize, 10);
    // The skip of the unknown bytes leaves the stream at the translations.
    EXPECT_EQ(r->Stream()->Position(), 123);

    r->SeekTranslations();
    qx::TQxTranslation t;
    EXPECT_EQ(r->ReadGLDTranslation(t, 1, 1252, 0), 0);
    EXPECT_EQ(t.Native, "Next");
    EXPECT_EQ(t.Translation, "Weiter");
    EXPECT_EQ(t.ContextA, "");
    EXPECT_EQ(t.ContextB, "");
}

TEST(QxGLDFile, HandAssembledVersion1BigEndianUtf16) {
    FakeLocaleSystem system;  // knows no locale: nothing is filled in from the system
    const std::string bytes = Hex(
        // header: v1, big-endian, byte 5 says 8-bit but version 1 takes byte 7 (0: UTF-16),
        // context type 2 (context B only); 2 languages at 42, 1 translation at 94
        "474C44 01 00 01 02 00 00000000 0002 0000002A 0001 0000005E 0000 00000000 0000 00000000 000000000000"
        // language 0 (16 bytes)
        "0000 0000 0000 04E4 00 0000 0000 0000 00"
        // language 1 (36 bytes): 7, default sub 1, "1", code page 1251, "German", native "Рус"
        "0007 0001 0001 0031 04E3 00 0006 004700650072006D0061006E 0003 042004430441 0000 08"
        // translation: "Next", context B "b", language 1 "Да"
        "0004 004E006500780074 0001 0062 0002 04140430");
    auto r = Open(bytes);
    EXPECT_EQ(r->Version(), 1);
    EXPECT_FALSE(r->LittleEndian());
    EXPECT_FALSE(r->AnsiStrings());
    EXPECT_FALSE(r->HasContextA());
    EXPECT_TRUE(r->HasContextB());
    EXPECT_EQ(r->LanguageCount(), 2);
    EXPECT_EQ(r->TranslationOffset(), 94u);

    qx::TQxLanguage* l = r->ReadLanguageAt(1);
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->PrimaryId, 7);
    EXPECT_EQ(l->DefaultSubId, 1);
    EXPECT_EQ(l->LanguageCode, "");  // no codes below version 2
    EXPECT_EQ(l->CountryCode, "");
    EXPECT_TRUE(l->SubLanguageTexts.empty());
    EXPECT_EQ(l->CodePage, 1251);
    EXPECT_EQ(l->Charset, qx::CodePageToCharset(1251));
    EXPECT_EQ(l->EnglishName, "German");
    EXPECT_EQ(l->NativeName, "\xD0\xF3\xF1");  // through the language's code page
    EXPECT_EQ(l->FontSize, 8);
    EXPECT_EQ(r->Stream()->Position(), 94);

    r->SeekTranslations();
    qx::TQxTranslation t;
    EXPECT_EQ(r->ReadGLDTranslation(t, 1, 1251, 0), 0);
    EXPECT_EQ(t.Native, "Next");
    EXPECT_EQ(t.ContextA, "");
    EXPECT_EQ(t.ContextB, "b");
    EXPECT_EQ(t.Translation, "\xC4\xE0");
}

TEST(QxGLDFile, HandAssembledLocaleVersion2) {
    // A version-2 locale record, 8-bit little-endian, built field by field.
    std::string rec;
    auto word = [&rec](uint16_t w) {
        rec += char(w & 0xFF);
        rec += char(w >> 8);
    };
    auto text = [&](const std::string& s) {
        word(uint16_t(s.size()));
        rec += s;
    };
    word(7);
    rec += "de";
    word(1);
    rec += "DE";
    word(1252);  // no charset field below version 3
    rec += char(1);
    for (const char* s : {"German", "Germany", "Deutsch", "Deutschland", "DEU", "Germany"}) text(s);
    rec += char(0);  // metric
    text("DM");
    rec += "\x03\x08\x02";
    rec += ".,.";
    text("dd.MM.yy");
    text("dddd, d. MMMM yyyy");
    rec += ":";
    text("");
    text("");
    rec += std::string("\x01\x01\x00\x01\x00\x00\x02", 7);
    for (int i = 0; i < 12; ++i) text("k" + std::to_string(i + 1));
    for (int i = 0; i < 12; ++i) text("K" + std::to_string(i + 1));
    for (int i = 0; i < 7; ++i) text("t" + std::to_string(i + 1));
    for (int i = 0; i < 7; ++i) text("T" + std::to_string(i + 1));
    // The native language's version-2 record takes 22 bytes.
    const std::string bytes = Header(2, 1, 0, 1, 42, 0, 64, 1, 64) +
                              Hex("0000 0000 0000 0000 0000 0000 E404 00 0000 0000 0000 00") + rec;
    auto r = Open(bytes);
    qx::TQxLocale* c = r->ReadLocaleAt(0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->PrimaryId, 7);
    EXPECT_EQ(c->LanguageCode, "de");
    EXPECT_EQ(c->SubId, 1);
    EXPECT_EQ(c->CountryCode, "DE");
    EXPECT_EQ(c->Charset, 0);
    EXPECT_EQ(c->CodePage, 1252);
    EXPECT_TRUE(c->LocaleFlag);
    EXPECT_EQ(c->EnglishLanguageName, "German");
    EXPECT_EQ(c->EnglishCountryName, "Germany");
    EXPECT_EQ(c->NativeLanguageName, "Deutsch");
    EXPECT_EQ(c->NativeCountryName, "Deutschland");
    EXPECT_EQ(c->AbbrevLanguageName, "DEU");
    EXPECT_EQ(c->CountryName, "Germany");
    EXPECT_EQ(c->Measure, 0);
    EXPECT_EQ(c->CurrencyString, "DM");
    EXPECT_EQ(c->CurrencyFormat, 3);
    EXPECT_EQ(c->NegCurrFormat, 8);
    EXPECT_EQ(c->CurrencyDecimals, 2);
    EXPECT_EQ(c->ThousandSeparator, '.');
    EXPECT_EQ(c->DecimalSeparator, ',');
    EXPECT_EQ(c->DateSeparator, '.');
    EXPECT_EQ(c->ShortDateFormat, "dd.MM.yy");
    EXPECT_EQ(c->LongDateFormat, "dddd, d. MMMM yyyy");
    EXPECT_EQ(c->TimeSeparator, ':');
    EXPECT_EQ(c->TimeAMString, "");
    EXPECT_TRUE(c->TimeLeadingZero);
    EXPECT_EQ(c->TimeFormat, 1);
    EXPECT_EQ(c->TimeMarkerPosition, 0);
    EXPECT_EQ(c->CalendarType, 1);
    EXPECT_EQ(c->OptionalCalendar, 0);
    EXPECT_EQ(c->FirstDayOfWeek, 0);
    EXPECT_EQ(c->FirstWeekOfYear, 2);
    EXPECT_EQ(c->ShortMonthNames[0], "k1");
    EXPECT_EQ(c->ShortMonthNames[11], "k12");
    EXPECT_EQ(c->LongMonthNames[11], "K12");
    EXPECT_EQ(c->ShortDayNames[6], "t7");
    EXPECT_EQ(c->LongDayNames[0], "T1");
    EXPECT_EQ(r->Stream()->Position(), int64_t(bytes.size()));
}

// ---- Twins from the writer -------------------------------------------------------------------

TEST(QxGLDFile, TwinsReadTheSameDictionary) {
    FakeLocaleSystem system;  // nothing is filled in from the system
    for (uint8_t version : {0, 1, 2, 3})
        for (bool little : {true, false})
            for (bool ansi : {true, false}) {
                SCOPED_TRACE("version " + std::to_string(version) + (little ? " little" : " big") +
                             (ansi ? " 8-bit" : " UTF-16"));
                const bool codes = version >= 2, framed = version >= 3;
                auto r = Open(gldwriter::Write(gldtest::Twin(version, little, ansi)));
                EXPECT_EQ(r->Version(), version);
                EXPECT_EQ(r->LittleEndian(), little);
                EXPECT_EQ(r->AnsiStrings(), ansi);
                EXPECT_EQ(r->ContextType(), 1);
                ASSERT_EQ(r->LanguageCount(), 3);
                ASSERT_EQ(r->TranslationCount(), 3);
                ASSERT_EQ(r->LocaleCount(), 1);

                r->SeekLanguages();
                qx::TQxLanguage native;
                native.Assign(r->ReadGLDLanguage());
                EXPECT_EQ(native.EnglishName, "Native");
                qx::TQxLanguage& de = r->ReadGLDLanguage();
                EXPECT_EQ(de.PrimaryId, 7);
                EXPECT_EQ(de.LanguageCode, codes ? "de" : "");
                EXPECT_EQ(de.CountryCode, codes ? "DE" : "");
                EXPECT_EQ(de.SubLanguages, (std::vector<std::string>{"1", "3"}));
                EXPECT_EQ(de.SubLanguageTexts, codes ? (std::vector<std::string>{"x", "y"}) : std::vector<std::string>{});
                EXPECT_EQ(de.CodePage, 1252);
                EXPECT_EQ(de.Charset, qx::CodePageToCharset(1252));
                EXPECT_EQ(de.Flags, 1);
                EXPECT_EQ(de.EnglishName, "German");
                EXPECT_EQ(de.NativeName, "Deutsch");
                EXPECT_EQ(de.FontName, "Arial");
                EXPECT_EQ(de.FontSize, 9);
                qx::TQxLanguage& ru = r->ReadGLDLanguage();
                EXPECT_EQ(ru.PrimaryId, 25);
                EXPECT_EQ(ru.CodePage, 1251);
                EXPECT_EQ(ru.Charset, qx::CodePageToCharset(1251));
                EXPECT_EQ(ru.NativeName, gldtest::kRussian);
                EXPECT_EQ(ru.Flags, 2);
                EXPECT_EQ(r->Stream()->Position(), int64_t(r->TranslationOffset()));

                // Russian selected (code page 1251), German as the fallback.
                r->SeekTranslations();
                qx::TQxTranslation t[3];
                EXPECT_EQ(r->ReadGLDTranslation(t[0], 2, 1251, 1), 0);
                EXPECT_EQ(t[0].Native, "Cancel");
                EXPECT_EQ(t[0].ContextA, "A");
                EXPECT_EQ(t[0].ContextB, "B");
                EXPECT_EQ(t[0].Translation, gldtest::kCancelRu);
                EXPECT_EQ(r->ReadGLDTranslation(t[1], 2, 1251, 1), 1);
                EXPECT_EQ(t[1].Translation, "Weiter");
                t[2].Translation = "kept";
                EXPECT_EQ(r->ReadGLDTranslation(t[2], 2, 1251, 1), 2);
                EXPECT_EQ(t[2].Translation, "kept");

                const gldwriter::Locale want = gldtest::Twin(version, little, ansi).Locales[0];
                qx::TQxLocale* c = r->ReadLocaleAt(0);
                ASSERT_NE(c, nullptr);
                EXPECT_EQ(c->PrimaryId, 25);
                EXPECT_EQ(c->SubId, 1);
                EXPECT_EQ(c->LanguageCode, codes ? "ru" : "");
                EXPECT_EQ(c->CountryCode, codes ? "RU" : "");
                EXPECT_EQ(c->Charset, framed ? 204 : 0);
                EXPECT_EQ(c->CodePage, 1251);
                EXPECT_TRUE(c->LocaleFlag);
                EXPECT_EQ(c->NativeLanguageName, want.NativeLanguageName);
                EXPECT_EQ(c->NativeCountryName, want.NativeCountryName);
                EXPECT_EQ(c->AbbrevLanguageName, "RUS");
                EXPECT_EQ(c->CurrencyString, want.CurrencyString);
                EXPECT_EQ(c->NegCurrFormat, 5);
                EXPECT_EQ(c->ThousandSeparator, '\xA0');
                EXPECT_EQ(c->DecimalSeparator, ',');
                EXPECT_EQ(c->LongDateFormat, want.LongDateFormat);
                EXPECT_EQ(c->TimeAMString, "");
                EXPECT_EQ(c->TimePMString, "PM");
                EXPECT_TRUE(c->TimeLeadingZero);
                EXPECT_EQ(c->FirstWeekOfYear, 2);
                EXPECT_EQ(c->ShortMonthNames, want.ShortMonthNames);
                EXPECT_EQ(c->LongMonthNames, want.LongMonthNames);
                EXPECT_EQ(c->ShortDayNames, want.ShortDayNames);
                EXPECT_EQ(c->LongDayNames, want.LongDayNames);

                // The raw texts of the design-time copy: 8-bit whatever the width, so only
                // the 8-bit twins give them back as written.
                if (ansi) {
                    r->SeekTranslations();
                    std::string a = "untouched", b = "untouched";
                    std::vector<std::string> texts;
                    r->ReadTranslationTexts(a, b, texts);
                    EXPECT_EQ(texts, (std::vector<std::string>{"Cancel", "Abbrechen", gldtest::kCancelRu}));
                    EXPECT_EQ(a, "A");
                    EXPECT_EQ(b, "B");
                }
            }
}

// ---- The header and the sections ------------------------------------------------------------

TEST(QxGLDFile, HeaderCases) {
    const std::string valid = Header(2, 1, 0, 1, 42, 0, 64) + Hex("0000 0000 0000 0000 0000 0000 E404 00 0000 0000 0000 00");
    struct Case {
        const char* name;
        std::string bytes;
        std::string error;
    } cases[] = {
        {"empty stream", "", "Stream read error"},
        {"41 bytes", valid.substr(0, 41), "Stream read error"},
        {"lower-case magic", "GLd" + valid.substr(3), "The stream is not a valid GLD stream"},
        {"magic cut by a zero", std::string("GL\0", 3) + valid.substr(3), "The stream is not a valid GLD stream"},
        {"other magic", "PK\x03" + valid.substr(3), "The stream is not a valid GLD stream"},
        {"42 bytes, valid", valid.substr(0, 42), ""},
        {"version 0", valid.substr(0, 3) + '\0' + valid.substr(4), ""},
        {"version 200", valid.substr(0, 3) + '\xC8' + valid.substr(4), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ErrorOf([&] { Open(c.bytes); }), c.error);
    }
}

TEST(QxGLDFile, StringWidthByVersion) {
    // Byte 5 and byte 7 disagree: version 1 takes byte 7, every other version byte 5.
    struct Case {
        uint8_t version, byte5, byte7;
        bool ansi;
    } cases[] = {{1, 1, 0, false}, {1, 0, 1, true}, {2, 1, 0, true}, {2, 0, 1, false}, {3, 0, 1, false}, {0, 1, 0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.version));
        std::string h = Header(c.version, c.byte5, 0, 1, 42, 0, 42);
        h[7] = char(c.byte7);
        h[30] = '\x05';  // fourth count
        auto r = Open(h);
        EXPECT_EQ(r->AnsiStrings(), c.ansi);
    }
}

TEST(QxGLDFile, BigEndianCountsAndOffsets) {
    auto r = Open(Hex("474C44 02 00 01 00 00 00000000 0102 00000203 0304 01020304 0005 0A0B0C0D 0000 00000000 000000000000"));
    EXPECT_EQ(r->LanguageCount(), 0x0102);
    EXPECT_EQ(r->LanguageOffset(), 0x0203u);
    EXPECT_EQ(r->TranslationCount(), 0x0304);
    EXPECT_EQ(r->TranslationOffset(), 0x01020304u);
    EXPECT_EQ(r->LocaleCount(), 5);
    EXPECT_EQ(r->LocaleOffset(), 0x0A0B0C0Du);
}

TEST(QxGLDFile, SectionOffsets) {
    struct Case {
        const char* name;
        std::string header;
        std::function<void(qx::TQxGLDFile&)> act;
        std::string error;
    } cases[] = {
        {"language offset 0", Header(3, 1, 0, 1, 0, 0, 42), [](qx::TQxGLDFile& r) { r.SeekLanguages(); },
         "Invalid language offset"},
        {"ReadLanguageAt(-1) with offset 0", Header(3, 1, 0, 1, 0, 0, 42),
         [](qx::TQxGLDFile& r) { r.ReadLanguageAt(-1); }, "Invalid language offset"},
        {"translation offset 0", Header(3, 1, 0, 1, 42, 0, 0), [](qx::TQxGLDFile& r) { r.SeekTranslations(); },
         "Invalid translation offset"},
        {"locale count 0, offset set", Header(3, 1, 0, 1, 42, 0, 42, 0, 42),
         [](qx::TQxGLDFile& r) { r.SeekLocales(); }, "No custom locales"},
        {"locale count 0 at an index", Header(3, 1, 0, 1, 42, 0, 42, 0, 42),
         [](qx::TQxGLDFile& r) { r.ReadLocaleAt(0); }, "No custom locales"},
        {"locale offset 0", Header(3, 1, 0, 1, 42, 0, 42, 1, 0), [](qx::TQxGLDFile& r) { r.SeekLocales(); },
         "Invalid locale offset"},
        {"language offset at the end", Header(3, 1, 0, 1, 42, 0, 42),
         [](qx::TQxGLDFile& r) { r.ReadLanguageAt(0); }, "Stream read error"},
        {"language offset near 2^32", Header(3, 1, 0, 1, 0xFFFFFFFEu, 0, 42),
         [](qx::TQxGLDFile& r) { r.ReadLanguageAt(0); }, "Stream read error"},
        {"translation offset past the end", Header(3, 1, 0, 1, 42, 1, 0x7FFFFFFF),
         [](qx::TQxGLDFile& r) {
             r.SeekTranslations();
             qx::TQxTranslation t;
             r.ReadGLDTranslation(t, 1, 1252, 0);
         },
         "Stream read error"},
        {"locale offset 0xFFFFFFFF", Header(3, 1, 0, 1, 42, 0, 42, 1, 0xFFFFFFFFu),
         [](qx::TQxGLDFile& r) { r.ReadLocaleAt(0); }, "Stream read error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = Open(c.header);
        EXPECT_EQ(ErrorOf([&] { c.act(*r); }), c.error);
    }
}

TEST(QxGLDFile, ReadLanguageAtMinusOneOnlySeeks) {
    auto r = Open(Header(1, 1, 0, 1, 42, 0, 58) + kNativeV1);
    r->Stream()->SetPosition(5);
    EXPECT_EQ(r->ReadLanguageAt(-1), nullptr);
    EXPECT_EQ(r->Stream()->Position(), 42);
}

// ---- Version-3 record lengths ---------------------------------------------------------------

TEST(QxGLDFile, Version3RecordLengths) {
    // Two native records; the first one's length varies. Its fields take 26 bytes.
    const std::string fields = Hex("0000 0000 0000 0000 0000 0000 0000 0000 E404 00 0000 0000 0000 00");
    const std::string second = Hex("2100 0900 656E 0100 5553 0000 0000 0000 E404 00 0700 456E676C697368 0000 0000 00");
    struct Case {
        uint16_t length;
        size_t extra;           // bytes after the first record's fields
        bool secondReadable;
    } cases[] = {{26, 0, true}, {30, 4, true}, {0, 0, true}, {1, 0, true}, {2, 0, true}, {25, 0, true},
                 {0xFFFF, 0, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::string first = fields;
        first[0] = char(c.length & 0xFF);
        first[1] = char(c.length >> 8);
        first += std::string(c.extra, '\x77');
        std::string bytes = Header(3, 1, 0, 2, 42, 0, 42) + first + second;
        auto r = Open(bytes);
        EXPECT_EQ(r->ReadLanguageAt(0)->EnglishName, "Native");
        if (c.secondReadable) {
            qx::TQxLanguage* l = r->ReadLanguageAt(1);
            ASSERT_NE(l, nullptr);
            EXPECT_EQ(l->PrimaryId, 9);
            EXPECT_EQ(l->EnglishName, "English");
        } else {
            EXPECT_EQ(ErrorOf([&] { r->ReadLanguageAt(1); }), "Stream read error");
        }
    }
}

// ---- Texts -----------------------------------------------------------------------------------

TEST(QxGLDFile, TextCases) {
    FakeLocaleSystem system;
    // One version-2 UTF-16 language record after a native one; its texts vary.
    auto record = [](const std::string& countryCode, const std::string& nativeName, uint16_t codePage,
                     const std::string& subLanguages) {
        std::string cp = Hex("0000");
        cp[0] = char(codePage & 0xFF);
        cp[1] = char(codePage >> 8);
        return Hex("0000 00000000 0000 00000000 0000 0000 E404 00 0000 0000 0000 00") +  // native (UTF-16)
               Hex("0900 6500 6E00 0100") + countryCode + subLanguages + Hex("0000") + cp + Hex("00") +
               Hex("0000") + nativeName + Hex("0000 00");
    };
    const std::string us = Hex("5500 5300"), noSubs = Hex("0000");
    struct Case {
        const char* name;
        std::string body;
        std::string error;
        std::string countryCode, nativeName;
    } cases[] = {
        {"plain", record(us, Hex("0200 4100 4200"), 1252, noSubs), "", "US", "AB"},
        {"zero unit cuts the text", record(us, Hex("0300 4100 0000 4200"), 1252, noSubs), "", "US", "A"},
        {"first unit zero", record(us, Hex("0200 0000 4200"), 1252, noSubs), "", "US", ""},
        {"country code from unit 0", record(Hex("0000 5300"), Hex("0000"), 1252, noSubs), "", "", ""},
        {"Cyrillic through code page 1251", record(us, Hex("0200 1004 4F04"), 1251, noSubs), "", "US", "\xC0\xFF"},
        {"code page the system lacks", record(us, Hex("0100 4100"), 54321, noSubs), "", "US", ""},
        {"count longer than the stream", record(us, Hex("FFFF 4100"), 1252, noSubs), "Stream read error", "", ""},
        {"sub-language list not integers", record(us, Hex("0000"), 1252, Hex("0300 3100 2C00 7800")),
         "'x' is not a valid integer value", "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = Open(Header(2, 0, 0, 2, 42, 0, 42) + c.body);
        std::string error = ErrorOf([&] {
            qx::TQxLanguage* l = r->ReadLanguageAt(1);
            EXPECT_EQ(l->CountryCode, c.countryCode);
            EXPECT_EQ(l->NativeName, c.nativeName);
        });
        EXPECT_EQ(error, c.error);
    }
}

TEST(QxGLDFile, LowLevelReads) {
    struct Case {
        const char* name;
        std::string header;
        std::string body;
        std::function<void(qx::TQxGLDFile&)> check;
    } cases[] = {
        {"8-bit text keeps zero bytes", Header(2, 1, 0, 0, 42, 0, 42), Hex("0300 410042"),
         [](qx::TQxGLDFile& r) { EXPECT_EQ(r.ReadText(1252), std::string("A\0B", 3)); }},
        {"character of unit 0", Header(2, 0, 0, 0, 42, 0, 42), Hex("0000"),
         [](qx::TQxGLDFile& r) { EXPECT_EQ(r.ReadChar(1252), '\0'); }},
        {"character of a wide text", Header(2, 0, 0, 0, 42, 0, 42), Hex("3A00"),
         [](qx::TQxGLDFile& r) { EXPECT_EQ(r.ReadChar(1252), ':'); }},
        {"character under a code page the system lacks", Header(2, 0, 0, 0, 42, 0, 42), Hex("3A00"),
         [](qx::TQxGLDFile& r) { EXPECT_EQ(r.ReadChar(54321), '\0'); }},
        {"no characters for a count of 0 or less", Header(2, 1, 0, 0, 42, 0, 42), Hex("41"),
         [](qx::TQxGLDFile& r) {
             EXPECT_EQ(r.ReadAnsiChars(0), "");
             EXPECT_EQ(r.ReadAnsiChars(-5), "");
             EXPECT_TRUE(r.ReadWideChars(-1).empty());
             EXPECT_EQ(r.ReadByte(), 0x41);
         }},
        {"wide chars past the end", Header(2, 0, 0, 0, 42, 0, 42), Hex("4100 42"),
         [](qx::TQxGLDFile& r) { EXPECT_EQ(ErrorOf([&] { r.ReadWideChars(2); }), "Stream read error"); }},
        {"big-endian word and units", "GLD\x02" + std::string(1, '\0') + Header(2, 0, 0, 0, 0, 0, 0).substr(5),
         Hex("1234 0002 0041 0042"),
         [](qx::TQxGLDFile& r) {
             EXPECT_EQ(r.ReadWord(), 0x1234);
             EXPECT_EQ(r.ReadWideString(), u"AB");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = Open(c.header + c.body);
        r->Stream()->SetPosition(42);
        c.check(*r);
    }
}

TEST(QxGLDFile, ConvertWideToAnsiAndSwaps) {
    std::string s = "old";
    qx::ConvertWideToAnsi(u"", 1252, s);
    EXPECT_EQ(s, "");
    qx::ConvertWideToAnsi(std::u16string(u"\0A", 2), 1252, s);
    EXPECT_EQ(s, "");
    qx::ConvertWideToAnsi(std::u16string(u"AB\0C", 4), 1252, s);
    EXPECT_EQ(s, "AB");
    qx::ConvertWideToAnsi(u"\x0416", 1251, s);  // Ж
    EXPECT_EQ(s, "\xC6");

    // Real code pages convert as the system converts them, a character the code page cannot
    // show as "?"; a code page that the converter does not have fails with an empty text.
    struct Case {
        int32_t codePage;
        std::u16string wide;
        std::string ansi;
    } cases[] = {
        {1250, u"\x0141\x00F3" u"d\x017A", "\xA3\xF3" "d\x9F"},           // Łódź
        {1251, u"\x041F\x0440\x0438\x0432\x0435\x0442", "\xCF\xF0\xE8\xE2\xE5\xF2"},
        {1252, u"Caf\x00E9 \x20AC\x0416", "Caf\xE9 \x80?"},           // Ж has no code
        {1253, u"\x03A9\x03B1", "\xD9\xE1"},                          // Ωα
        {866, u"\x0416\x0436", "\x86\xA6"},                           // Жж
        {932, u"A\x3042", "A\x82\xA0"},                                // あ, two bytes
        {qx::CP_SYSTEM, u"\x00E9", "\xE9"},                            // 1252 here
        {54321, u"AB", ""},
        {-1, u"AB", ""},
    };
    for (const Case& c : cases) {
        s = "old";
        qx::ConvertWideToAnsi(c.wide, c.codePage, s);
        EXPECT_EQ(s, c.ansi) << c.codePage;
    }

    uint16_t w = 0x1234;
    qx::SwapWord(w);
    EXPECT_EQ(w, 0x3412);
    uint32_t l = 0x12345678;
    qx::SwapLongWord(l);
    EXPECT_EQ(l, 0x78563412u);
    std::u16string t = u"\x0102\x0304";
    qx::SwapWideString(t);
    EXPECT_EQ(t, u"\x0201\x0403");
}

// ---- Translations ----------------------------------------------------------------------------

TEST(QxGLDFile, TranslationSelection) {
    // Three languages (native, 1, 2); the record's texts for languages 1 and 2 vary.
    struct Case {
        const char* name;
        std::string text1, text2;
        int32_t selected, fallback;
        uint8_t state;
        std::string translation;  // "kept" when untouched
    } cases[] = {
        {"selected", "eins", "zwei", 2, 1, 0, "zwei"},
        {"fallback stands in", "eins", "", 2, 1, 1, "eins"},
        {"neither", "", "", 2, 1, 2, "kept"},
        {"selected equals fallback", "eins", "zwei", 1, 1, 0, "eins"},
        {"fallback 0 never matches", "", "zwei", 1, 0, 2, "kept"},
        {"selected beyond the count", "eins", "zwei", 7, 2, 1, "zwei"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gldwriter::Dictionary d;
        d.Languages.resize(3);
        d.Translations = {{"n", "", "", {c.text1, c.text2}}};
        auto r = Open(gldwriter::Write(d));
        r->SeekTranslations();
        qx::TQxTranslation t;
        t.Translation = "kept";
        EXPECT_EQ(r->ReadGLDTranslation(t, c.selected, 1252, c.fallback), c.state);
        EXPECT_EQ(t.State, c.state);
        EXPECT_EQ(t.Translation, c.translation);
        EXPECT_EQ(r->Stream()->Position(), int64_t(r->Stream()->Size()));
    }
}

TEST(QxGLDFile, ContextTypes) {
    struct Case {
        uint8_t type;
        bool a, b;
    } cases[] = {{0, false, false}, {1, true, true}, {2, false, true}, {3, true, false}, {4, false, false},
                 {255, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.type));
        gldwriter::Dictionary d;
        d.ContextType = c.type;
        d.Languages.resize(2);
        d.Translations = {{"n", "ca", "cb", {"t"}}, {"m", "", "", {"u"}}};
        auto r = Open(gldwriter::Write(d));
        EXPECT_EQ(r->HasContextA(), c.a);
        EXPECT_EQ(r->HasContextB(), c.b);
        r->SeekTranslations();
        qx::TQxTranslation t;
        r->ReadGLDTranslation(t, 1, 1252, 0);
        EXPECT_EQ(t.ContextA, c.a ? "ca" : "");
        EXPECT_EQ(t.ContextB, c.b ? "cb" : "");
        EXPECT_EQ(t.Translation, "t");
        r->ReadGLDTranslation(t, 1, 1252, 0);
        EXPECT_EQ(t.Native, "m");
        EXPECT_EQ(t.Translation, "u");
    }
}

TEST(QxGLDFile, LanguageCountZero) {
    // The loops over languages 1 to count-1 do not run; the native text is still read.
    auto r = Open(Header(2, 1, 0, 0, 42, 2, 42) + Hex("0100 61 0100 62"));
    r->SeekTranslations();
    qx::TQxTranslation t;
    EXPECT_EQ(r->ReadGLDTranslation(t, 1, 1252, 0), 2);
    EXPECT_EQ(t.Native, "a");
    std::vector<std::string> texts;
    std::string a, b;
    r->ReadTranslationTexts(a, b, texts);
    EXPECT_TRUE(texts.empty());
}

// ---- The shared language ---------------------------------------------------------------------

TEST(QxGLDFile, EachLanguageRecordStartsAfresh) {
    FakeLocaleSystem system;
    gldwriter::Dictionary d;
    d.Languages.resize(3);
    d.Languages[1].PrimaryId = 7;
    d.Languages[1].DefaultSubId = 2;
    d.Languages[1].SubLanguages = "2";
    d.Languages[1].SubLanguageTexts = "zwei";
    d.Languages[1].EnglishName = "German";
    d.Languages[2].PrimaryId = 9;
    d.Languages[2].DefaultSubId = 1;
    d.Languages[2].EnglishName = "English";
    auto r = Open(gldwriter::Write(d));
    r->SeekLanguages();
    r->ReadGLDLanguage();
    EXPECT_EQ(r->ReadGLDLanguage().SubId, 2);
    qx::TQxLanguage& en = r->ReadGLDLanguage();
    EXPECT_EQ(en.SubId, 1);  // its own default, not the one of the record before
    EXPECT_TRUE(en.SubLanguageTexts.empty());
    // Read alone, the record gives the same.
    EXPECT_EQ(Open(gldwriter::Write(d))->ReadLanguageAt(2)->SubId, 1);
}

TEST(QxGLDFile, EveryIndexInTurnReadsTheSectionOnce) {
    // 65,535 languages: asking for each index in turn must not cost time quadratic in the count.
    gldwriter::Dictionary d;
    d.Languages.resize(65535);
    for (size_t i = 1; i < d.Languages.size(); ++i) {
        gldwriter::Language& l = d.Languages[i];
        l.PrimaryId = uint16_t(1 + i % 0x3FE);
        l.DefaultSubId = 1;
        l.LanguageCode = "xx";
        l.CountryCode = "YY";
        l.CodePage = 1252;
        l.EnglishName = "L" + std::to_string(i);
        l.NativeName = l.EnglishName;
    }
    const std::string bytes = gldwriter::Write(d);
    auto r = Open(bytes);
    auto start = std::chrono::steady_clock::now();
    for (int32_t i = 0; i < r->LanguageCount(); ++i)
        ASSERT_EQ(r->ReadLanguageAt(i)->EnglishName, i == 0 ? "Native" : "L" + std::to_string(i));
    // Back to an earlier index, and past the count (the record after the section).
    EXPECT_EQ(r->ReadLanguageAt(4711)->EnglishName, "L4711");
    EXPECT_EQ(ErrorOf([&] { r->ReadLanguageAt(65535); }), "Stream read error");
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20.0);
    // A fresh reader reads records 0 to i and gives the same.
    EXPECT_EQ(Open(bytes)->ReadLanguageAt(65534)->EnglishName, "L65534");
}

// ---- Damaged streams -------------------------------------------------------------------------

TEST(QxGLDFile, TruncatedAndFlippedStreamsFailCleanly) {
    const std::set<std::string> listed = {"The stream is not a valid GLD stream", "Invalid language offset",
                                          "Invalid translation offset", "No custom locales",
                                          "Invalid locale offset", "Stream read error"};
    const std::string good = gldwriter::Write(gldtest::Twin(3, false, false));
    auto check = [&](const std::string& bytes, const std::string& what) {
        try {
            auto r = Open(bytes);
            ReadAll(*r, 2, 1251, 1);
            for (int32_t i = -1; i < 4; ++i) r->ReadLanguageAt(i);
        } catch (const rtl::EConvertError&) {
            // a damaged sub-language list
        } catch (const rtl::Exception& e) {
            if (!listed.count(e.Message())) ADD_FAILURE() << what << ": " << e.Message();
        }
    };
    for (size_t n = 0; n < good.size(); ++n) check(good.substr(0, n), "length " + std::to_string(n));
    for (size_t i = 0; i < good.size(); ++i)
        for (uint8_t mask : {0x01, 0x80, 0xFF}) {
            std::string bad = good;
            bad[i] = char(bad[i] ^ mask);
            check(bad, "byte " + std::to_string(i) + " ^ " + std::to_string(mask));
        }
    EXPECT_EQ(ErrorOf([&] { ReadAll(*Open(good), 2, 1251, 1); }), "");
}

// ---- Files -----------------------------------------------------------------------------------

TEST(QxGLDFile, OpenFile) {
    const std::string name = "qxgld_test_openfile.gld";
    std::remove(name.c_str());
    qx::TQxGLDFile missing;
    EXPECT_EQ(ErrorOf([&] { missing.OpenFile(name); }), "Cannot open file " + name);

    const std::string bytes = gldwriter::Write(gldtest::Twin(3, true, true));
    std::ofstream(name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    {
        qx::TQxGLDFile r;
        r.OpenFile(name);
        EXPECT_EQ(r.LanguageCount(), 3);
        EXPECT_EQ(r.Stream()->Position(), int64_t(r.LanguageOffset()));
        EXPECT_EQ(r.ReadGLDLanguage().EnglishName, "Native");
        EXPECT_EQ(r.ReadGLDLanguage().EnglishName, "German");
    }
    std::string noLanguages = bytes;
    for (int i = 14; i < 18; ++i) noLanguages[size_t(i)] = '\0';
    std::ofstream(name, std::ios::binary | std::ios::trunc).write(noLanguages.data(), std::streamsize(noLanguages.size()));
    {
        qx::TQxGLDFile r;
        EXPECT_EQ(ErrorOf([&] { r.OpenFile(name); }), "Invalid language offset");
    }
    std::remove(name.c_str());
}
