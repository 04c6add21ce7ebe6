// .VAL codec: byte layout, round trips of every check kind for the check value types, and
// damaged files refused without a crash.
#include "dbengine/validity.h"
#include "val_format.h"

#include <gtest/gtest.h>

namespace dbe {
namespace {

namespace V = TValValue;

uint32_t U32At(const std::string& s, size_t off) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(s[off + size_t(i)]);
    return v;
}

// "<Название группы>" in code page 1251.
const std::string kCyrGroup =
    "<\xCD\xE0\xE7\xE2\xE0\xED\xE8\xE5 \xE3\xF0\xF3\xEF\xEF\xFB>";

TValidity Sample() {
    TValidity v;
    v.ChangeCount = 3;
    v.Version = 0x09;
    v.TableName = "Sample.DB";
    v.Fields = {{"Name", pxfAlpha, 31, 1},  {"Flag", pxfLogical, 1, 2}, {"Small", pxfShort, 2, 3},
                {"Big", pxfLong, 4, 4},     {"Day", pxfDate, 4, 5},     {"At", pxfTime, 4, 6},
                {"Plain", pxfAlpha, 10, 7}};
    TFieldCheck name;
    name.FieldNo = 1;
    name.Required = true;
    name.Default = V::Alpha(kCyrGroup, 31);
    TFieldCheck flag;
    flag.FieldNo = 2;
    flag.Default = V::Logical(false);
    TFieldCheck small;
    small.FieldNo = 3;
    small.Min = V::Short(-5);
    small.Max = V::Short(30);
    small.Default = V::Short(5);
    TFieldCheck big;
    big.FieldNo = 4;
    big.Min = V::Long(0);
    big.Max = V::Long(999999);
    TFieldCheck day;
    day.FieldNo = 5;
    day.Default = V::Date(2010, 12, 31);
    TFieldCheck at;
    at.FieldNo = 6;
    at.Required = true;
    at.Default = V::Time(9, 0, 0);
    v.Checks = {name, flag, small, big, day, at};
    return v;
}

void ExpectSame(const TValidity& a, const TValidity& b) {
    EXPECT_EQ(a.ChangeCount, b.ChangeCount);
    EXPECT_EQ(a.Version, b.Version);
    EXPECT_EQ(a.TableName, b.TableName);
    ASSERT_EQ(a.Fields.size(), b.Fields.size());
    for (size_t i = 0; i < a.Fields.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.Fields[i].Name, b.Fields[i].Name);
        EXPECT_EQ(a.Fields[i].Type, b.Fields[i].Type);
        EXPECT_EQ(a.Fields[i].Size, b.Fields[i].Size);
        EXPECT_EQ(a.Fields[i].Number, b.Fields[i].Number);
    }
    ASSERT_EQ(a.Checks.size(), b.Checks.size());
    for (size_t i = 0; i < a.Checks.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(a.Checks[i].FieldNo, b.Checks[i].FieldNo);
        EXPECT_EQ(a.Checks[i].Required, b.Checks[i].Required);
        EXPECT_EQ(a.Checks[i].Min, b.Checks[i].Min);
        EXPECT_EQ(a.Checks[i].Max, b.Checks[i].Max);
        EXPECT_EQ(a.Checks[i].Default, b.Checks[i].Default);
        EXPECT_EQ(a.Checks[i].Picture, b.Checks[i].Picture);
        EXPECT_EQ(a.Checks[i].Lookup, b.Checks[i].Lookup);
    }
    EXPECT_EQ(a.Extra, b.Extra);
}

TEST(ValValue, RecordEncodingOfCheckTypes) {
    EXPECT_EQ(V::Short(5), std::string("\x80\x05", 2));
    EXPECT_EQ(V::Short(-1), std::string("\x7F\xFF", 2));
    EXPECT_EQ(V::Long(999999), std::string("\x80\x0F\x42\x3F", 4));
    EXPECT_EQ(V::Long(-2), std::string("\x7F\xFF\xFF\xFE", 4));
    EXPECT_EQ(V::Logical(true), "\x81");
    EXPECT_EQ(V::Logical(false), "\x80");
    EXPECT_EQ(V::AsLong(V::Date(2010, 12, 31)), 734137);  // day 1 is 0001-01-01
    EXPECT_EQ(V::AsLong(V::Date(1, 1, 1)), 1);
    EXPECT_EQ(V::AsLong(V::Time(9, 0, 0)), 9 * 3600 * 1000);
    EXPECT_EQ(V::AsLong(V::Time(23, 59, 59, 999)), 86399999);
    EXPECT_EQ(V::Alpha("ab", 4), std::string("ab\0\0", 4));
    EXPECT_EQ(V::Alpha("abcdef", 4), "abcd");
    EXPECT_TRUE(V::IsNull(V::Null(4)));
    EXPECT_FALSE(V::IsNull(V::Long(0)));
    EXPECT_EQ(V::ToText(pxfDate, V::Date(1899, 2, 28)), "1899-02-28");
    EXPECT_EQ(V::ToText(pxfDate, V::Date(2040, 2, 29)), "2040-02-29");
    EXPECT_EQ(V::ToText(pxfTime, V::Time(7, 5, 3)), "07:05:03");
    EXPECT_EQ(V::ToText(pxfShort, V::Short(-32767)), "-32767");
    EXPECT_EQ(V::ToText(pxfLong, V::Long(INT32_MAX)), "2147483647");
}

TEST(ValValue, EveryThirtyTwoBitDayHasADate) {
    // A damaged check file or record may hold any day number: the ends of the range too.
    const struct {
        int32_t days;
        int year, month, day;
    } cases[] = {
        {INT32_MAX, 5879611, 7, 11}, {INT32_MIN, -5879610, 6, 22}, {INT32_MIN + 1, -5879610, 6, 23},
        {INT32_MAX - 305, 5879610, 9, 9}, {-306, 0, 2, 29}, {0, 0, 12, 31}, {1, 1, 1, 1}, {734137, 2010, 12, 31},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.days);
        int y = 0, m = 0, d = 0;
        dbe::TValValue::DateOf(c.days, y, m, d);
        EXPECT_EQ(y, c.year);
        EXPECT_EQ(m, c.month);
        EXPECT_EQ(d, c.day);
    }
    EXPECT_EQ(V::ToText(pxfDate, std::string(4, '\xFF')), "5879611-07-11");
    EXPECT_EQ(V::ToText(pxfDate, std::string("\0\0\0\1", 4)), "-5879610-06-23");
}

TEST(ValValue, EncodedValuesCompareInNumericOrder) {
    const int32_t ordered[] = {INT32_MIN + 1, -1000, -1, 0, 1, 30, 31, 1000000, INT32_MAX};
    for (size_t i = 0; i + 1 < std::size(ordered); ++i) {
        SCOPED_TRACE(ordered[i]);
        EXPECT_LT(V::Compare(pxfLong, V::Long(ordered[i]), V::Long(ordered[i + 1])), 0);
        if (ordered[i] > -32768 && ordered[i + 1] < 32768) {
            EXPECT_LT(V::Compare(pxfShort, V::Short(int16_t(ordered[i])), V::Short(int16_t(ordered[i + 1]))), 0);
        }
    }
    EXPECT_LT(V::Compare(pxfDate, V::Date(1899, 12, 31), V::Date(1900, 1, 1)), 0);
    EXPECT_EQ(V::Compare(pxfTime, V::Time(9, 0, 0), V::Time(9, 0, 0)), 0);
}

TEST(ValFile, LayoutOfHeaderEntriesAndFieldSection) {
    TValidity v = Sample();
    std::string b = EncodeValidity(v);
    ASSERT_GE(b.size(), valfmt::kHeaderSize);
    EXPECT_EQ(static_cast<unsigned char>(b[0]), 3);     // change count
    EXPECT_EQ(static_cast<unsigned char>(b[1]), 0x09);  // version
    EXPECT_EQ(static_cast<unsigned char>(b[2]), 6);     // entries
    // First entry: field 1, required, only a default of 31 bytes.
    const size_t e = valfmt::kHeaderSize;
    EXPECT_EQ(b[e + valfmt::kEntFieldNo], 1);
    EXPECT_EQ(U32At(b, e + valfmt::kEntHasMin), 0u);
    EXPECT_EQ(U32At(b, e + valfmt::kEntHasMax), 0u);
    EXPECT_NE(U32At(b, e + valfmt::kEntHasDefault), 0u);
    EXPECT_EQ(b[e + valfmt::kEntRequired], 1);
    EXPECT_EQ(b.substr(e + valfmt::kEntryFixedSize, 31), V::Alpha(kCyrGroup, 31));
    // Third entry (Short): min, max, default, each two bytes, in that order.
    size_t e3 = e + (valfmt::kEntryFixedSize + 31) + (valfmt::kEntryFixedSize + 1);
    EXPECT_EQ(b[e3], 3);
    EXPECT_EQ(b.substr(e3 + valfmt::kEntryFixedSize, 6), V::Short(-5) + V::Short(30) + V::Short(5));
    // Field section: count, then numbers, types/widths, table name, names.
    uint32_t footer = U32At(b, valfmt::kHdrFooterOffset);
    ASSERT_LT(footer, b.size());
    EXPECT_EQ(b[footer], 7);
    EXPECT_EQ(b[footer + 1], 0);
    size_t types = footer + valfmt::kFtrFixedSize + 2 * 7;
    EXPECT_EQ(b[types], char(pxfAlpha));
    EXPECT_EQ(b[types + 1], 31);
    size_t tname = types + 2 * 7;
    EXPECT_EQ(b.substr(tname, 10), std::string("Sample.DB\0", 10));
    EXPECT_EQ(b.substr(tname + valfmt::kTableNameSize, 5), std::string("Name\0", 5));
    EXPECT_EQ(b.back(), '\0');
}

TEST(ValFile, RoundTripsEveryCheckKind) {
    TValidity v = Sample();
    TValidity back;
    std::string err;
    ASSERT_TRUE(DecodeValidity(EncodeValidity(v), back, err)) << err;
    ExpectSame(v, back);
    EXPECT_EQ(back.CheckOf(7), nullptr);
    ASSERT_NE(back.CheckOf(1), nullptr);
    EXPECT_EQ(V::AsAlpha(*back.CheckOf(1)->Default), kCyrGroup);
    EXPECT_EQ(V::ToText(pxfTime, *back.CheckOf(6)->Default), "09:00:00");
    EXPECT_TRUE(back.CheckOf(6)->Required);
}

TEST(ValFile, KeepsPictureLookupAndIntegrityBytes) {
    TValidity v = Sample();
    v.Checks[0].Picture = "*!";
    v.Checks[3].Lookup = std::string(valfmt::kLookupBlockSize, 'L');
    v.Checks[3].LookupFlags = 2;
    v.Extra = std::string("\x01\x00RI-data", 9);
    TValidity back;
    std::string err;
    ASSERT_TRUE(DecodeValidity(EncodeValidity(v), back, err)) << err;
    ExpectSame(v, back);
    EXPECT_EQ(back.Checks[3].LookupFlags, 2);
}

TEST(ValFile, DamagedFilesAreRefused) {
    const std::string good = EncodeValidity(Sample());
    struct Case {
        const char* what;
        std::string bytes;
    };
    std::string badVersion = good;
    badVersion[1] = 0x20;
    std::string footerOut = good;
    footerOut[valfmt::kHdrFooterOffset + 3] = 0x7F;
    std::string footerInHeader = good;
    footerInHeader[valfmt::kHdrFooterOffset] = 0x10;
    footerInHeader[valfmt::kHdrFooterOffset + 1] = 0;
    footerInHeader[valfmt::kHdrFooterOffset + 2] = 0;
    footerInHeader[valfmt::kHdrFooterOffset + 3] = 0;
    std::string unknownField = good;
    unknownField[valfmt::kHeaderSize] = 42;
    std::string tooManyChecks = good;
    tooManyChecks[2] = char(200);
    std::string zeroFields = good;
    zeroFields[U32At(good, valfmt::kHdrFooterOffset)] = 0;
    std::string noNameEnd = good;
    noNameEnd.back() = 'x';
    const Case cases[] = {
        {"empty", ""},
        {"header only", good.substr(0, valfmt::kHeaderSize)},
        {"bad version", badVersion},
        {"footer beyond the file", footerOut},
        {"footer inside the header", footerInHeader},
        {"check of an unknown field", unknownField},
        {"more checks than the body holds", tooManyChecks},
        {"no fields", zeroFields},
        {"unterminated field name", noNameEnd},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TValidity out;
        out.TableName = "untouched";
        std::string err;
        EXPECT_FALSE(DecodeValidity(c.bytes, out, err));
        EXPECT_FALSE(err.empty());
        EXPECT_EQ(out.TableName, "untouched");
    }
    // Every truncation is refused cleanly (the sanitizers watch the reads).
    for (size_t n = 0; n < good.size(); ++n) {
        TValidity out;
        std::string err;
        EXPECT_FALSE(DecodeValidity(good.substr(0, n), out, err)) << n;
    }
}

}  // namespace
}  // namespace dbe
