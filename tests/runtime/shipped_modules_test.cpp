// The modules that ship are 32-bit Windows modules (PE32 for the i386 machine), and the
// converters export exactly their two functions by undecorated name at the ordinals the host
// relies on. Only the 32-bit tree ships: its twin reports these tests as skipped. Neither
// tree's deliverables' folder holds a module with debug sections (Wine reads those into
// memory with the module).
#include <windows.h>

#include <gtest/gtest.h>

#include "kx_runtime_dlls.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr bool kShippedArchitecture = sizeof(void*) == 4;
#define SKIP_UNLESS_SHIPPED_ARCHITECTURE() \
    if (!kShippedArchitecture) GTEST_SKIP() << "only the 32-bit build ships; this is its 64-bit twin"

std::vector<unsigned char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Little-endian reads that fail the test instead of reading past the end.
struct Image {
    std::vector<unsigned char> bytes;
    bool ok = true;
    uint32_t U(size_t off, size_t n) {
        if (off > bytes.size() || n > bytes.size() - off) {
            ok = false;
            return 0;
        }
        uint32_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= uint32_t(bytes[off + i]) << (8 * i);
        return v;
    }
};

struct PeInfo {
    uint16_t machine = 0;
    uint16_t magic = 0;
    std::map<std::string, uint32_t> exports;  // name -> ordinal
    std::vector<std::string> sections;        // long names read from the string table
    bool ok = false;
};

PeInfo Parse(const std::string& path) {
    PeInfo info;
    Image im{ReadAll(path)};
    if (im.U(0, 2) != 0x5A4D) return info;
    const uint32_t pe = im.U(0x3C, 4);
    if (im.U(pe, 4) != 0x00004550) return info;
    const size_t coff = pe + 4;
    info.machine = static_cast<uint16_t>(im.U(coff, 2));
    const uint32_t sections = im.U(coff + 2, 2);
    const uint32_t optSize = im.U(coff + 16, 2);
    const size_t opt = coff + 20;
    // A section name of the form "/N" is the offset N of the long name in the COFF string
    // table, which follows the symbol table.
    const size_t strings = size_t(im.U(coff + 8, 4)) + size_t(im.U(coff + 12, 4)) * 18;
    for (uint32_t i = 0; i < sections && im.ok; ++i) {
        const size_t s = opt + optSize + 40 * i;
        std::string name;
        for (size_t k = 0; k < 8 && im.ok && im.U(s + k, 1) != 0; ++k) name += static_cast<char>(im.U(s + k, 1));
        if (name.size() > 1 && name[0] == '/') {
            size_t at = strings + std::strtoul(name.c_str() + 1, nullptr, 10);
            name.clear();
            while (im.ok && im.U(at, 1) != 0) name += static_cast<char>(im.U(at++, 1));
        }
        info.sections.push_back(name);
    }
    info.magic = static_cast<uint16_t>(im.U(opt, 2));
    if (info.magic != 0x10b) {
        info.ok = im.ok;
        return info;  // not PE32: the export table is not looked at
    }
    const uint32_t exportRva = im.U(opt + 96, 4);
    auto toOffset = [&](uint32_t rva) -> size_t {
        const size_t sec = opt + optSize;
        for (uint32_t i = 0; i < sections; ++i) {
            const size_t s = sec + 40 * i;
            const uint32_t va = im.U(s + 12, 4), size = im.U(s + 16, 4), raw = im.U(s + 20, 4);
            if (rva >= va && rva < va + size) return raw + (rva - va);
        }
        im.ok = false;
        return 0;
    };
    if (exportRva != 0) {
        const size_t dir = toOffset(exportRva);
        const uint32_t base = im.U(dir + 16, 4);
        const uint32_t names = im.U(dir + 24, 4);
        const size_t namePtrs = toOffset(im.U(dir + 32, 4));
        const size_t ordinals = toOffset(im.U(dir + 36, 4));
        for (uint32_t i = 0; i < names && im.ok; ++i) {
            const size_t at = toOffset(im.U(namePtrs + 4 * i, 4));
            std::string name;
            while (im.ok && at + name.size() < im.bytes.size() && im.bytes[at + name.size()])
                name += static_cast<char>(im.bytes[at + name.size()]);
            info.exports[name] = base + im.U(ordinals + 2 * i, 2);
        }
    }
    info.ok = im.ok;
    return info;
}

TEST(ShippedModules, ArePE32ForTheI386Machine) {
    SKIP_UNLESS_SHIPPED_ARCHITECTURE();
    for (const char* name : {"setup.exe", "Ardvane.dll", "Belvane.dll"}) {
        const PeInfo pe = Parse(std::string(KX_BIN_DIR) + "/" + name);
        ASSERT_TRUE(pe.ok) << name;
        EXPECT_EQ(pe.machine, IMAGE_FILE_MACHINE_I386) << name;
        EXPECT_EQ(pe.magic, 0x10b) << name << ": not a PE32 optional header";
    }
}

TEST(ShippedModules, ConvertersExportTwoUndecoratedNamesAtTheirOrdinals) {
    SKIP_UNLESS_SHIPPED_ARCHITECTURE();
    const std::map<std::string, uint32_t> expected = {{"GetConvertVersions", 1}, {"Convert", 2}};
    for (const char* name : {"Ardvane.dll", "Belvane.dll"}) {
        const PeInfo pe = Parse(std::string(KX_BIN_DIR) + "/" + name);
        ASSERT_TRUE(pe.ok) << name;
        EXPECT_EQ(pe.exports, expected) << name;
    }
}

TEST(ShippedModules, CarryNoDebugSections) {
    std::vector<std::string> names = {"setup.exe", "Ardvane.dll", "Belvane.dll"};
    for (const char* dll : KX_RUNTIME_DLL_NAMES) names.push_back(dll);
    for (const std::string& name : names) {
        const PeInfo pe = Parse(std::string(KX_BIN_DIR) + "/" + name);
        ASSERT_TRUE(pe.ok) << name;
        EXPECT_NE(std::find(pe.sections.begin(), pe.sections.end(), ".text"), pe.sections.end())
            << name << ": section names not read";
        for (const std::string& section : pe.sections)
            EXPECT_NE(section.rfind(".debug", 0), 0u) << name << ": " << section;
    }
}

}  // namespace
