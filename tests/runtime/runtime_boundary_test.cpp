#include <windows.h>

#include <gtest/gtest.h>

#include "rtl/exceptions.h"

namespace {

HMODULE LoadFixture() {
    HMODULE h = LoadLibraryA("throwing_plugin.dll");
    EXPECT_NE(h, nullptr) << "LoadLibrary error " << GetLastError();
    return h;
}

TEST(RuntimeBoundary, ExceptionFromPluginIsCaughtByClassWithItsMessage) {
    HMODULE h = LoadFixture();
    ASSERT_NE(h, nullptr);
    using Fn = void(__stdcall*)(const char*);
    auto fn = reinterpret_cast<Fn>(GetProcAddress(h, "RaiseConvertError"));
    ASSERT_NE(fn, nullptr);
    bool caught = false;
    try {
        fn("12x");
    } catch (const rtl::EConvertError& e) {
        caught = true;
        EXPECT_STREQ(e.ClassName(), "EConvertError");
        EXPECT_EQ(e.Message(), "'12x' is not a valid integer value");
        EXPECT_TRUE(e.InheritsFrom("Exception"));
    }
    EXPECT_TRUE(caught);
    // The base class catches it as well.
    try {
        fn("z");
        FAIL() << "no exception";
    } catch (const rtl::Exception& e) {
        EXPECT_STREQ(e.ClassName(), "EConvertError");
    }
}

TEST(RuntimeBoundary, ExportsByUndecoratedNameAndOrdinal) {
    HMODULE h = LoadFixture();
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetProcAddress(h, "AddFour@16"), nullptr);
    EXPECT_EQ(GetProcAddress(h, "_AddFour@16"), nullptr);
    auto byName = reinterpret_cast<int(__stdcall*)(int, int, int, int)>(GetProcAddress(h, "AddFour"));
    auto byOrdinal = reinterpret_cast<int(__stdcall*)(int, int, int, int)>(
        GetProcAddress(h, MAKEINTRESOURCEA(2)));
    ASSERT_NE(byName, nullptr);
    EXPECT_EQ(byName, byOrdinal);
    EXPECT_EQ(byName(1, 2, 3, 4), 1234);
}

TEST(RuntimeBoundary, StdcallCalleePopsItsArguments) {
#if !defined(__i386__)
    GTEST_SKIP() << "the standard calling convention's stack shape exists only in the 32-bit build";
#else
    HMODULE h = LoadFixture();
    ASSERT_NE(h, nullptr);
    auto fn = reinterpret_cast<int(__stdcall*)(int, int, int, int)>(GetProcAddress(h, "AddFour"));
    ASSERT_NE(fn, nullptr);
    // A callee that pops its own 16 bytes leaves the caller's stack pointer where it was;
    // a mismatch would corrupt the locals below.
    volatile int guard = 0x5a5a5a5a;
    EXPECT_EQ(fn(1, 2, 3, 4), 1234);
    EXPECT_EQ(guard, 0x5a5a5a5a);
#endif
}

}  // namespace
