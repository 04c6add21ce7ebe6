// File streams, typed resources and the memory stream behind the same interface; on Windows
// also file sharing and resources compiled into this program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "components/streams.h"
#include "rtl/exceptions.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace kxc;

namespace {

std::string TempDir() {
#ifdef _WIN32
    char buf[MAX_PATH];
    GetTempPathA(MAX_PATH, buf);
    return buf;
#else
    const char* t = getenv("TMPDIR");
    return std::string(t && *t ? t : "/tmp") + "/";
#endif
}

// A file of its own for each test, removed at the end.
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& name, const std::string& bytes = "") {
#ifdef _WIN32
        path = TempDir() + "kx_streams_" + std::to_string(GetCurrentProcessId()) + "_" + name;
#else
        path = TempDir() + "kx_streams_" + std::to_string(getpid()) + "_" + name;
#endif
        FILE* f = fopen(path.c_str(), "wb");
        if (f) {
            fwrite(bytes.data(), 1, bytes.size(), f);
            fclose(f);
        }
    }
    ~TempFile() { remove(path.c_str()); }
};

std::string ReadAll(TStream& s) {
    std::string r(size_t(s.Size()), '\0');
    s.SetPosition(0);
    s.ReadBuffer(&r[0], int32_t(r.size()));
    return r;
}

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const rtl::Exception& e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "";
}

TEST(FileStream, ReadsWritesSeeksAndCreates) {
    TempFile file("data.bin", std::string("GLD\0\x01\x02tail", 10));
    {
        TFileStream s(file.path, fmOpenRead | fmShareDenyNone);
        EXPECT_EQ(s.FileName(), file.path);
        EXPECT_EQ(s.Size(), 10);
        char head[3];
        s.ReadBuffer(head, 3);
        EXPECT_EQ(std::string(head, 3), "GLD");
        EXPECT_EQ(s.Seek(-4, soEnd), 6);
        char tail[8] = {};
        EXPECT_EQ(s.Read(tail, 8), 4);  // short read at the end
        EXPECT_EQ(std::string(tail), "tail");
        EXPECT_EQ(s.Read(tail, 1), 0);
        EXPECT_THROW(s.ReadBuffer(tail, 1), rtl::EReadError);
        // Opened for reading: nothing can be written.
        EXPECT_EQ(s.Write("x", 1), 0);
        EXPECT_THROW(s.WriteBuffer("x", 1), rtl::EStreamError);
    }
    {
        TFileStream s(file.path, fmCreate);  // empties the file
        EXPECT_EQ(s.Size(), 0);
        s.WriteBuffer("new", 3);
    }
    {
        TFileStream s(file.path, fmOpenReadWrite | fmShareExclusive);
        s.Seek(0, soEnd);
        s.WriteBuffer("er", 2);
        EXPECT_EQ(ReadAll(s), "newer");
    }
    // The memory stream answers the same way through the same interface.
    std::unique_ptr<TStream> streams[] = {std::make_unique<TFileStream>(file.path, fmOpenRead),
                                          std::make_unique<TMemoryStream>("newer")};
    for (auto& s : streams) {
        EXPECT_EQ(s->Seek(2, soBeginning), 2);
        EXPECT_EQ(s->Seek(1, soCurrent), 3);
        EXPECT_EQ(ReadAll(*s), "newer");
        EXPECT_EQ(s->Position(), 5);
    }
}

TEST(FileStream, OpenErrorsNameTheFile) {
    std::string missing = TempDir() + "kx_no_such_dictionary.gld";
    std::string folder = TempDir();
    folder.pop_back();
    struct Case {
        std::string path;
        uint16_t mode;
        std::string error;
    } cases[] = {
        {missing, fmOpenRead | fmShareDenyNone, "EFOpenError: Cannot open file " + missing},
        {"Wizard.gld", fmOpenRead, "EFOpenError: Cannot open file Wizard.gld"},
        {folder, fmOpenRead, "EFOpenError: Cannot open file " + folder},
        {missing + "/sub/x", fmCreate, "EFOpenError: Cannot create file " + missing + "/sub/x"},
        {"", fmOpenRead, "EFOpenError: Cannot open file "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ErrorOf([&] { TFileStream s(c.path, c.mode); }), c.error) << c.path;
}

TEST(ResourceStream, InMemoryResourcesByTypeAndName) {
    RegisterResourceData("GLOSSAVANT", "MemDictionary", "typed");
    RegisterResourceData("MemDictionary", "plain");  // RCDATA: another resource
    RegisterResourceData(TResId(300), TResId(7), "numbers");
    struct Case {
        TResId type, name;
        std::string result;
    } cases[] = {
        {"GLOSSAVANT", "MemDictionary", "typed"},
        {"glossavant", "MEMDICTIONARY", "typed"},  // ignoring letter case
        {rtRCData, "MemDictionary", "plain"},
        {"#10", "memdictionary", "plain"},
        {300, 7, "numbers"},
        {"#300", "#7", "numbers"},
        {"GLOSSAVANT", "Other", "EResNotFound: Resource Other not found"},
        {"OTHERTYPE", "MemDictionary", "EResNotFound: Resource MemDictionary not found"},
        {300, 8, "EResNotFound: Resource #8 not found"},
        {"GLOSSAVANT", "", "EResNotFound: Resource  not found"},
    };
    for (const Case& c : cases) {
        std::string got;
        std::string err = ErrorOf([&] {
            TResourceStream s(nullptr, c.name, c.type);
            got = ReadAll(s);
        });
        EXPECT_EQ(err.empty() ? got : err, c.result) << c.type.Text() << " " << c.name.Text();
    }
    TResourceStream old("memdictionary");
    EXPECT_EQ(ReadAll(old), "plain");
    UnregisterResourceData("GLOSSAVANT", "MemDictionary");
    EXPECT_THROW(TResourceStream(nullptr, "MemDictionary", "GLOSSAVANT"), rtl::EResNotFound);
    EXPECT_TRUE(ResourceExists("MemDictionary"));
    UnregisterResourceData("MemDictionary");
    UnregisterResourceData(TResId(300), TResId(7));
    EXPECT_FALSE(ResourceExists("MemDictionary"));
    EXPECT_THROW(RegisterResourceData("", "x"), rtl::Exception);
}

#ifdef _WIN32

// Resources compiled into this program (streams_test.rc).
TEST(ResourceStream, ModuleResourcesByTypeAndName) {
    TResourceStream byName(nullptr, "GlDictionary", "GLOSSAVANT");
    EXPECT_EQ(ReadAll(byName), "GLD from the program\r\n");
    TResourceStream byId(nullptr, TResId(123), "GLOSSAVANT");
    EXPECT_EQ(ReadAll(byId), "numbered\r\n");
    TResourceStream numType(nullptr, "NUMTYPE", TResId(300));
    EXPECT_EQ(ReadAll(numType), "numbered type\r\n");
    // Of another type the same name is not found.
    EXPECT_EQ(ErrorOf([] { TResourceStream s(nullptr, "GlDictionary", rtRCData); }),
              "EResNotFound: Resource GlDictionary not found");
    EXPECT_EQ(ErrorOf([] { TResourceStream s(nullptr, TResId(124), "GLOSSAVANT"); }),
              "EResNotFound: Resource #124 not found");
}

// A writer holds the file open (with read sharing) while the stream opens it.
TEST(FileStream, SharingWithAWriter) {
    TempFile file("shared.gld", "first");
    struct Case {
        DWORD writerShare;
        uint16_t mode;
        bool opens;
    } cases[] = {
        {FILE_SHARE_READ | FILE_SHARE_WRITE, fmOpenRead | fmShareDenyNone, true},
        {FILE_SHARE_WRITE, fmOpenRead | fmShareDenyNone, false},  // the writer lets nobody read
        {FILE_SHARE_READ | FILE_SHARE_WRITE, fmOpenRead | fmShareDenyWrite, false},
        {FILE_SHARE_READ | FILE_SHARE_WRITE, fmOpenRead | fmShareExclusive, false},
        {FILE_SHARE_READ | FILE_SHARE_WRITE, fmOpenRead, false},  // compat: exclusive
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        HANDLE w = CreateFileA(file.path.c_str(), GENERIC_WRITE, cases[i].writerShare, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(w, INVALID_HANDLE_VALUE) << i;
        std::string err = ErrorOf([&] {
            TFileStream s(file.path, cases[i].mode);
            EXPECT_EQ(ReadAll(s), "first") << i;
            // The reader does not keep the writer out while it is open.
            DWORD n = 0;
            SetFilePointer(w, 0, nullptr, FILE_END);
            EXPECT_TRUE(WriteFile(w, "+", 1, &n, nullptr)) << i;
            EXPECT_EQ(s.Size(), 6) << i;
            SetFilePointer(w, 5, nullptr, FILE_BEGIN);
            SetEndOfFile(w);
        });
        CloseHandle(w);
        EXPECT_EQ(err.empty(), cases[i].opens) << i << " " << err;
        if (!cases[i].opens) {
            EXPECT_EQ(err, "EFOpenError: Cannot open file " + file.path) << i;
        }
    }
}

#endif

}  // namespace
