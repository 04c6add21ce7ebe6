// The converters' exports as setup finds them: by undecorated name and by ordinal, the
// version pairs cut to the caller's maximum, and the one archive both carry.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

using GetConvertVersionsFn = void(__stdcall*)(unsigned char*, int, unsigned char*, int);

struct Converter {
    const char* file;
    const char* from;
    const char* to;
};
const Converter kConverters[] = {{"Ardvane.dll", "L2.1", "N1.1"}, {"Belvane.dll", "L2.5", "N1.1"}};

HMODULE Load(const char* file) {
    const std::string path = std::string(KX_BIN_DIR) + "/" + file;
    return LoadLibraryA(path.c_str());
}

std::string ResourceBytes(HMODULE m) {
    HRSRC info = FindResourceA(m, "ARCHIVE1", MAKEINTRESOURCEA(10));
    if (!info) return "";
    const char* data = static_cast<const char*>(LockResource(LoadResource(m, info)));
    return std::string(data, data + SizeofResource(m, info));
}

}  // namespace

TEST(ConverterExports, FoundByNameAndByOrdinal) {
    for (const auto& c : kConverters) {
        SCOPED_TRACE(c.file);
        HMODULE m = Load(c.file);
        ASSERT_NE(m, nullptr) << GetLastError();
        FARPROC versions = GetProcAddress(m, "GetConvertVersions");
        FARPROC convert = GetProcAddress(m, "Convert");
        ASSERT_NE(versions, nullptr);
        ASSERT_NE(convert, nullptr);
        EXPECT_EQ(GetProcAddress(m, MAKEINTRESOURCEA(1)), versions);
        EXPECT_EQ(GetProcAddress(m, MAKEINTRESOURCEA(2)), convert);
        EXPECT_EQ(GetProcAddress(m, "_GetConvertVersions@16"), nullptr);
        EXPECT_EQ(GetProcAddress(m, "GetDBVersion"), nullptr);
    }
}

TEST(ConverterExports, VersionsAreCutToTheCallersMaximum) {
    struct Case {
        int fromMax, toMax;
        int fromLen, toLen;
    };
    // The maximum counts as an unsigned 8-bit number: 256 is 0, 255 leaves the tags whole.
    const Case cases[] = {{4, 4, 4, 4}, {2, 2, 2, 2}, {0, 0, 0, 0}, {255, 255, 4, 4},
                          {256, 256, 0, 0}, {3, 1, 3, 1}};
    for (const auto& c : kConverters) {
        HMODULE m = Load(c.file);
        ASSERT_NE(m, nullptr);
        auto fn = reinterpret_cast<GetConvertVersionsFn>(GetProcAddress(m, "GetConvertVersions"));
        ASSERT_NE(fn, nullptr);
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const Case& k = cases[i];
            unsigned char from[8], to[8];
            std::memset(from, 0xA5, sizeof from);
            std::memset(to, 0x5A, sizeof to);
            fn(from, k.fromMax, to, k.toMax);
            const std::string where = std::string(c.file) + " case " + std::to_string(i);
            EXPECT_EQ(from[0], k.fromLen) << where;
            EXPECT_EQ(to[0], k.toLen) << where;
            EXPECT_EQ(std::string(reinterpret_cast<char*>(from + 1), k.fromLen),
                      std::string(c.from, k.fromLen)) << where;
            EXPECT_EQ(std::string(reinterpret_cast<char*>(to + 1), k.toLen),
                      std::string(c.to, k.toLen)) << where;
            for (int b = 1 + k.fromLen; b < 8; ++b) EXPECT_EQ(from[b], 0xA5) << where << " byte " << b;
            for (int b = 1 + k.toLen; b < 8; ++b) EXPECT_EQ(to[b], 0x5A) << where << " byte " << b;
        }
    }
}

TEST(ConverterExports, BothCarryTheBuildsArchiveByteForByte) {
    std::ifstream in(KX_SCHEMA_ARCHIVE, std::ios::binary);
    const std::string built((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(built.empty());
    for (const auto& c : kConverters) {
        HMODULE m = Load(c.file);
        ASSERT_NE(m, nullptr);
        EXPECT_TRUE(ResourceBytes(m) == built) << c.file << ": the resource differs from " << KX_SCHEMA_ARCHIVE;
    }
}
