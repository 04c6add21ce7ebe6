// dbtool's definition files: directives, types, checks and their errors.
#include <gtest/gtest.h>

#include "codepage.h"
#include "tdef.h"

using dbe::TFieldType;

TEST(Definition, ReadsTableFieldsChecksAndIndexes) {
    const std::string text =
        "\xEF\xBB\xBF# access groups\n"
        "table Accgroup              # file name stem\n"
        "level 5\r\nblocksize 2048\ncodepage 1251\nsortorder ancyrr\n"
        "field GroupName A31 key default=\"<\xD0\x9D\xD0\xB0\xD0\xB7\xD0\xB2\xD0\xB0\xD0\xBD\xD0\xB8\xD0\xB5 \\\"1\\\">\"\n"
        "field HardAccess L default=False\n"
        "field WorkStart T required default=09:00:00\n"
        "field NoCheckTime S min=0 max=30 default=5\n"
        "field IssueDate D default=blank\n"
        "field Amount #2\n"
        "field Note M240\n"
        "field Photo G0\n"
        "index IndProf1 NoCheckTime\n";
    dbe::detail::CreateSpec s;
    std::string error;
    ASSERT_TRUE(dbtool::ParseDefinition(text, s, error)) << error;
    EXPECT_EQ(s.tableName, "Accgroup");
    EXPECT_EQ(s.level, 5);
    EXPECT_EQ(s.blockSize, 2048);
    EXPECT_EQ(s.codePage, 1251);
    EXPECT_EQ(s.sortOrder, "ancyrr");
    ASSERT_EQ(s.fields.size(), 8u);
    EXPECT_EQ(s.fields[0].type, TFieldType::String);
    EXPECT_EQ(s.fields[0].size, 31);
    EXPECT_TRUE(s.fields[0].key);
    EXPECT_TRUE(s.fields[0].hasDefault);
    EXPECT_EQ(s.fields[0].defaultValue, "<\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5 \"1\">");  // code page 1251
    EXPECT_EQ(s.fields[1].defaultValue, "False");
    EXPECT_TRUE(s.fields[2].required);
    EXPECT_EQ(s.fields[2].defaultValue, "09:00:00");
    EXPECT_TRUE(s.fields[3].hasMin && s.fields[3].hasMax);
    EXPECT_EQ(s.fields[3].minValue, "0");
    EXPECT_EQ(s.fields[3].maxValue, "30");
    EXPECT_TRUE(s.fields[4].hasDefault);
    EXPECT_EQ(s.fields[4].defaultValue, "");   // the blank date
    EXPECT_EQ(s.fields[5].type, TFieldType::BCD);
    EXPECT_EQ(s.fields[5].size, 2);
    EXPECT_EQ(s.fields[6].type, TFieldType::Memo);
    EXPECT_EQ(s.fields[6].size, 240);
    EXPECT_EQ(s.fields[7].type, TFieldType::Graphic);
    ASSERT_EQ(s.indexes.size(), 1u);
    EXPECT_EQ(s.indexes[0].name, "IndProf1");
    EXPECT_EQ(s.indexes[0].fields, std::vector<std::string>{"NoCheckTime"});
}

TEST(Definition, RefusesBrokenLinesWithTheirNumber) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"table T\nfield A Q9\n", "line 2: unknown field type 'Q9'"},
        {"table T\nfield A A\n", "line 2: unknown field type 'A'"},
        {"table T\nfield A A5 colour=red\n", "line 2: unknown attribute 'colour=red'"},
        {"table T\nfield A A5 default=\"open\n", "line 2: unterminated quoted text"},
        {"table T\nlevel five\n", "line 2: level needs a number"},
        {"table T\nwibble\n", "line 2: unknown directive 'wibble'"},
        {"field A A5\n", "line 0: no table name"},
        {"table T\nfield A A5\nindex I B\n", "line 0: index I names no field of the table"},
        {"table T\ncodepage 1251\nfield A A5 default=\"\xE2\x82\xAC\xE4\xB8\x80\"\n",
         "line 0: value of field A has characters outside code page 1251"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.text);
        dbe::detail::CreateSpec s;
        std::string error;
        EXPECT_FALSE(dbtool::ParseDefinition(c.text, s, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(CodePage, Utf8And1251RoundTrip) {
    std::string cp;
    ASSERT_TRUE(dbtool::Utf8ToCodePage("\xD0\x81\xD0\xB6 \xE2\x84\x96", 1251, cp));
    EXPECT_EQ(cp, "\xA8\xE6 \xB9");
    EXPECT_EQ(dbtool::CodePageToUtf8(cp, 1251), "\xD0\x81\xD0\xB6 \xE2\x84\x96");
    EXPECT_FALSE(dbtool::Utf8ToCodePage("\xC3\xA9", 437, cp));   // only ASCII outside 1251/1252
}
