// The string parser: tokens, escapes and the integer conversion.
#include <gtest/gtest.h>

#include <vector>

#include "qx/QxParser.h"
#include "rtl/exceptions.h"

using qx::TQxStringParser;

namespace {

std::vector<std::string> Tokens(const std::string& text, char delimiter) {
    TQxStringParser parser(text, delimiter);
    std::vector<std::string> out;
    for (int guard = 0; !parser.EndOfText() && guard < 100; ++guard) out.push_back(parser.NextToken());
    return out;
}

}  // namespace

TEST(QxStringParser, CutsTokens) {
    struct Case {
        const char* text;
        char delimiter;
        std::vector<std::string> tokens;
    } cases[] = {
        {"a,b,,d", ',', {"a", "b", "", "d"}},
        {"a,b,", ',', {"a", "b"}},
        {",", ',', {""}},
        {",a", ',', {"", "a"}},
        {"abc", ',', {"abc"}},
        {"Norwegian (Bokmal)", ' ', {"Norwegian", "(Bokmal)"}},
        {"Chinese (Taiwan)", '(', {"Chinese ", "Taiwan)"}},
        {"", ',', {}},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(Tokens(cases[i].text, cases[i].delimiter), cases[i].tokens) << "case " << i;
}

TEST(QxStringParser, EmptyTextAndReadingPastTheEnd) {
    TQxStringParser empty("", ',');
    EXPECT_TRUE(empty.EndOfText());
    EXPECT_EQ(empty.NextToken(), "");
    EXPECT_EQ(empty.Position, 1);
    EXPECT_EQ(empty.Size, 1);

    TQxStringParser parser("a,b", ',');
    EXPECT_EQ(parser.Size, 4);
    EXPECT_EQ(parser.NextToken(), "a");
    EXPECT_EQ(parser.Position, 3);
    EXPECT_EQ(parser.NextToken(), "b");
    EXPECT_TRUE(parser.EndOfText());
    EXPECT_EQ(parser.NextToken(), "");
    EXPECT_EQ(parser.NextToken(), "");
}

TEST(QxStringParser, DelimiterMayChangeBetweenTokensAndSetTextStartsOver) {
    TQxStringParser parser("a b,c", ' ');
    EXPECT_EQ(parser.NextToken(), "a");
    parser.Delimiter = ',';
    EXPECT_EQ(parser.NextToken(), "b");
    EXPECT_EQ(parser.NextToken(), "c");
    parser.SetText("x,y");
    EXPECT_EQ(parser.Position, 1);
    EXPECT_EQ(parser.NextToken(), "x");
}

TEST(QxStringParser, DecodesEscapes) {
    struct Case {
        std::string text, decoded;
    } cases[] = {
        {"50##", "50#"},  {"A#CB", "A\rB"}, {"A#LB", "A\nB"}, {"A#TB", "A\tB"},
        {"#x", "#x"},     {"#c", "#c"},     {"ab#", "ab#"},   {"#", "#"},
        {"###C", "#\r"},  {"##C", "#C"},    {"", ""},         {"plain", "plain"},
        {"#C#L#T", "\r\n\t"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        std::string out = TQxStringParser::DecodeEscapes(cases[i].text);
        EXPECT_EQ(out, cases[i].decoded) << "case " << i;
        EXPECT_LE(out.size(), cases[i].text.size()) << "case " << i;
    }
}

TEST(QxStringParser, EscapesOnlyWhenAskedFor) {
    TQxStringParser parser("a#Cb,c##", ',');
    EXPECT_FALSE(parser.Escapes);
    EXPECT_EQ(parser.NextToken(), "a#Cb");
    parser.SetText("a#Cb,c##");
    parser.Escapes = true;
    EXPECT_EQ(parser.NextToken(), "a\rb");
    EXPECT_EQ(parser.NextToken(), "c#");
}

TEST(QxStrToInt, FollowsTheRunTimeRules) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    } cases[] = {
        {"0", true, 0},
        {"42", true, 42},
        {"  42", true, 42},
        {"+7", true, 7},
        {"-2", true, -2},
        {" -13", true, -13},
        {"$1F", true, 31},
        {"$ff", true, 255},
        {"-$10", true, -16},
        {"$FFFFFFFF", true, -1},
        {"$7FFFFFFF", true, 2147483647},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"0012", true, 12},
        {"", false, 0},
        {" ", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"42 ", false, 0},
        {"4x", false, 0},
        {"1.5", false, 0},
        {"\t1", false, 0},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"$100000000", false, 0},
        {"$G", false, 0},
        {"0x10", false, 0},
        {"--1", false, 0},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        int32_t value = 12345;
        bool ok = qx::TryStrToInt(cases[i].text, value);
        EXPECT_EQ(ok, cases[i].ok) << "case " << i << " '" << cases[i].text << "'";
        EXPECT_EQ(value, cases[i].ok ? cases[i].value : 12345) << "case " << i;
    }
}

TEST(QxStrToInt, RaisesTheConversionError) {
    try {
        qx::StrToInt("12a");
        FAIL() << "no exception";
    } catch (const rtl::EConvertError& e) {
        EXPECT_EQ(e.Message(), "'12a' is not a valid integer value");
        EXPECT_STREQ(e.ClassName(), "EConvertError");
    }
    TQxStringParser parser("5,,x", ',');
    EXPECT_EQ(parser.NextInteger(), 5);
    try {
        parser.NextInteger();
        FAIL() << "no exception";
    } catch (const rtl::EConvertError& e) {
        EXPECT_EQ(e.Message(), "'' is not a valid integer value");
    }
    EXPECT_THROW(parser.NextInteger(), rtl::EConvertError);
}
