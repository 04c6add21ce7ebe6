// The database folder query and the engine's persistent aliases as the deliverables use them:
// aliases from the configuration file named in the registry (Windows) or the environment,
// GetDatabaseDirectory on a table opened under such an alias, alias add/test/delete, and a
// table written under an alias in one process and read in another.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "dbengine/dbengine.h"
#include "dbshared/dbdirectory.h"
#include "tabledata.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;
using namespace dbe;

namespace {

std::string g_self;                  // this program, for the child process
fs::path g_root;                     // scratch folder of this run
fs::path Data() { return g_root / "Data"; }
fs::path Config() { return g_root / "dbengine.ini"; }

void WriteText(const fs::path& p, const std::string& s) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << s;
}
std::string ReadText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Names the configuration file where the engine looks for it: the registry value on Windows
// (32-bit view), the environment variable elsewhere.
void PublishConfig(const fs::path& file) {
#ifdef _WIN32
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Korvix\\DBEngine", 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &key, nullptr), ERROR_SUCCESS);
    std::string v = file.string();
    ASSERT_EQ(RegSetValueExA(key, "ConfigFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                             static_cast<DWORD>(v.size() + 1)), ERROR_SUCCESS);
    RegCloseKey(key);
#else
    setenv("KX_DBENGINE_CONFIG", file.string().c_str(), 1);
#endif
}

void RemoveConfig() {
#ifdef _WIN32
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Korvix\\DBEngine", 0,
                      KEY_SET_VALUE | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "ConfigFile");
        RegCloseKey(key);
    }
#endif
}

// Runs this program again with the given arguments; returns its exit code.
int RunChild(const std::string& args) {
#ifdef _WIN32
    std::string cmd = "\"" + g_self + "\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    return static_cast<int>(code);
#else
    int rc = std::system(("\"" + g_self + "\" " + args).c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
#endif
}

// Child: reads the door table under the persistent alias and writes its rows to a file.
int ChildRead(const std::string& out) {
    try {
        if (!Session().IsAlias("KorvixNetGlobal")) return 3;
        TTable t;
        t.DatabaseName = "KorvixNetGlobal";
        t.TableName = "doors.db";
        t.Open();
        std::string text = GetDatabaseDirectory(t.DBHandle()) + "\n";
        for (t.First(); !t.Eof(); t.Next())
            text += t.FieldByName("IPAddr").AsString() + "|" + t.FieldByName("Line").AsString() + "\n";
        t.Close();
        WriteText(out, text);
        return 0;
    } catch (const std::exception& e) {
        WriteText(out, std::string("error: ") + e.what());
        return 4;
    }
}

}  // namespace

TEST(DatabaseDirectory, TableUnderAPersistentAliasReportsTheAliasFolder) {
    for (const char* alias : {"KorvixNetGlobal", "LumexData"}) {
        SCOPED_TRACE(alias);
        ASSERT_TRUE(Session().IsAlias(alias));
        TTable t;
        t.DatabaseName = alias;
        t.TableName = "Doors.DB";
        t.Open();
        std::string dir = GetDatabaseDirectory(t.DBHandle());
        ASSERT_FALSE(dir.empty());
        char sep = dir.back();
        EXPECT_TRUE(sep == '\\' || sep == '/') << dir;
        // The callers append file names directly.
        EXPECT_TRUE(fs::exists(dir + "Doors.DB")) << dir;
        EXPECT_EQ(fs::path(dir.substr(0, dir.size() - 1)), Data());
        EXPECT_LT(dir.size(), 261u);
        t.Close();
    }
}

TEST(DatabaseDirectory, ClosedTableHasNoDatabaseAndTheQueryFails) {
    TTable t;
    EXPECT_EQ(t.DBHandle(), nullptr);
    EXPECT_THROW(GetDatabaseDirectory(t.DBHandle()), EDBEngineError);
    char buffer[261];
    EXPECT_NE(DbiGetDirectory(nullptr, false, buffer), 0);
}

TEST(Aliases, AddTestDeleteOfTheTemporaryAlias) {
    auto& s = Session();
    fs::path tmpdb = g_root / "tmpDB";
    fs::create_directories(tmpdb);
    detail::CreateSpec spec;
    spec.tableName = "Saved";
    detail::FieldSpec f;
    f.name = "Id";
    f.type = TFieldType::Integer;
    spec.fields = {f};
    detail::CreateTable(tmpdb.string(), spec);

    s.SetConfigMode(cmVirtual | cmPersistent | cmSession);
    EXPECT_FALSE(s.IsAlias("TEMP_ALIAS"));
    s.AddStandardAlias("TEMP_ALIAS", tmpdb.string(), "PARADOX");
    EXPECT_TRUE(s.IsAlias("TEMP_ALIAS"));
    EXPECT_EQ(s.GetTableNames("TEMP_ALIAS", "", true, false), std::vector<std::string>{"Saved.DB"});
    TTable t;
    t.DatabaseName = "TEMP_ALIAS";
    t.TableName = "Saved.DB";
    t.Open();
    EXPECT_EQ(fs::path(GetDatabaseDirectory(t.DBHandle())) / "Saved.DB", tmpdb / "Saved.DB");
    t.Close();
    s.DeleteAlias("TEMP_ALIAS");
    EXPECT_FALSE(s.IsAlias("TEMP_ALIAS"));
    // The persistent ones are untouched and the file is not rewritten.
    EXPECT_TRUE(s.IsAlias("KorvixNetGlobal"));
    EXPECT_EQ(ReadText(Config()).find("TEMP_ALIAS"), std::string::npos);
}

TEST(Aliases, TableWrittenInOneProcessIsReadInAnother) {
    {
        TTable t;
        t.DatabaseName = "KorvixNetGlobal";
        t.TableName = "Doors.DB";
        t.Open();
        for (int i = 0; i < 3; ++i) {
            t.Append();
            t.FieldByName("IPAddr").SetAsString("10.0.0." + std::to_string(i + 1));
            t.FieldByName("Line").SetAsInteger(i * 10);
            t.Post();
        }
        t.Close();
    }
    fs::path out = g_root / "child.txt";
    ASSERT_EQ(RunChild("--child-read \"" + out.string() + "\""), 0) << ReadText(out);
    std::string text = ReadText(out);
    std::string dir = text.substr(0, text.find('\n'));
    EXPECT_EQ(fs::path(dir.substr(0, dir.size() - 1)), Data());
    EXPECT_EQ(text.substr(text.find('\n') + 1), "10.0.0.1|0\n10.0.0.2|10\n10.0.0.3|20\n");
}

int main(int argc, char** argv) {
    g_self = argv[0];
    if (argc == 3 && std::string(argv[1]) == "--child-read") return ChildRead(argv[2]);

    // Fixture: one database folder behind both persistent aliases, named before the
    // session's first use.
    g_root = fs::temp_directory_path() / ("kxdbshared-" + std::to_string(std::rand()) + "-" +
                                          std::to_string(static_cast<long>(fs::file_time_type::clock::now().time_since_epoch().count() % 100000007)));
    fs::remove_all(g_root);
    fs::create_directories(Data());
    std::string data = Data().string();
    WriteText(Config(), "[KorvixNetGlobal]\r\nTYPE=STANDARD\r\nPATH=" + data +
                            "\r\nDEFAULT DRIVER=PARADOX\r\n[LumexData]\r\nTYPE=STANDARD\r\nPATH=" + data +
                            "\r\nDEFAULT DRIVER=PARADOX\r\n");
    detail::CreateSpec spec;
    spec.tableName = "Doors";
    spec.level = 7;
    spec.blockSize = 4096;
    spec.codePage = 1251;
    spec.sortOrder = "ancyrr";
    detail::FieldSpec ip, line;
    ip.name = "IPAddr";
    ip.type = TFieldType::String;
    ip.size = 15;
    ip.key = true;
    line.name = "Line";
    line.type = TFieldType::Smallint;
    line.key = true;
    spec.fields = {ip, line};
    detail::CreateTable(data, spec);
    PublishConfig(Config());

    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    RemoveConfig();
    std::error_code ec;
    fs::remove_all(g_root, ec);
    return rc;
}
