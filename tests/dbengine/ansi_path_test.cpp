// Paths with letters outside ASCII: the program's 8-bit paths are in the ANSI code page, so a
// folder and a table whose names hold Cyrillic letters (code page 1251) or "€" (1252) are
// created, listed, opened, moved into and copied, under the names those letters have there.
//
// Under Wine the program runs once per code page (CTest entries with KX_LC_ALL set to a UTF-8
// Unix locale: Wine keeps such file names only there); under LC_ALL=C it skips. Natively the
// engine takes paths as bytes, and the same steps run with the code page 1251 bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "dbengine/dbengine.h"
#include "fileio.h"
#include "tabledata.h"
#include "test_util.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

using dbe::TFieldType;
using kxtest::Field;

struct NonAsciiNames {
    std::string folder, table;        // 8-bit, in the ANSI code page
    std::wstring wideFolder, wideTable;
};

// "Новая" and "Гости" under code page 1251; "T€mp" and "Caf€" under 1252 (0x80 is U+20AC
// there, but U+0080 when a byte is taken for a character of its own value).
NonAsciiNames NamesForCodePage(unsigned codePage) {
    if (codePage == 1251)
        return {"\xCD\xEE\xE2\xE0\xFF", "\xC3\xEE\xF1\xF2\xE8", L"\u041D\u043E\u0432\u0430\u044F",
                L"\u0413\u043E\u0441\u0442\u0438"};
    return {"T\x80mp", "Caf\x80", L"T\u20ACmp", L"Caf\u20AC"};
}

#ifdef _WIN32
bool WideExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }
#endif

std::vector<std::vector<std::string>> Rows(const std::string& folder, const std::string& table) {
    dbe::TTable t;
    t.DatabaseName = folder;
    t.TableName = table;
    t.Open();
    std::vector<std::vector<std::string>> rows;
    for (t.First(); !t.Eof(); t.Next()) rows.push_back({t.Fields(0).AsString(), t.Fields(1).AsString()});
    t.Close();
    return rows;
}

}  // namespace

TEST(NonAsciiPaths, TablesInFoldersWithNonAsciiNamesAreCreatedListedMovedAndCopied) {
#ifdef _WIN32
    const char* lc = std::getenv("LC_ALL");
    const std::string locale = lc ? lc : "";
    if (locale.find("UTF-8") == std::string::npos && locale.find("utf8") == std::string::npos)
        GTEST_SKIP() << "Wine keeps non-ASCII file names only under a UTF-8 Unix locale (LC_ALL=" << locale << ")";
    const unsigned codePage = GetACP();
#else
    const unsigned codePage = 1251;
#endif
    SCOPED_TRACE("code page " + std::to_string(codePage));
    const NonAsciiNames n = NamesForCodePage(codePage);
    kxtest::ScratchDir base("ansi");
    const std::string sep(1, dbe::detail::PathSeparator());
    const std::string folder = base.str() + sep + n.folder;
    const std::string copyFolder = folder + "2";
#ifdef _WIN32
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(copyFolder.c_str(), nullptr));
    const std::wstring wideFolder = Widen(base.str()) + L"\\" + n.wideFolder;
    ASSERT_TRUE(WideExists(wideFolder));  // the code page maps the name as expected
#else
    ASSERT_EQ(mkdir(folder.c_str(), 0777), 0);
    ASSERT_EQ(mkdir(copyFolder.c_str(), 0777), 0);
#endif

    // Created and filled in the folder, under its own non-ASCII name.
    dbe::detail::CreateSpec spec;
    spec.tableName = n.table;
    spec.codePage = 1251;
    spec.sortOrder = "ancyrr";
    spec.fields = {Field("Name", TFieldType::String, 20, true), Field("Note", TFieldType::String, 20)};
    dbe::detail::CreateTable(folder, spec);
    {
        dbe::TTable t;
        t.DatabaseName = folder;
        t.TableName = n.table;
        t.Open();
        for (const char* name : {"b", "a"}) {
            t.Append();
            t.FieldByName("Name").SetAsString(name);
            t.FieldByName("Note").SetAsString(n.folder);
            t.Post();
        }
        t.Close();
    }
#ifdef _WIN32
    EXPECT_TRUE(WideExists(wideFolder + L"\\" + n.wideTable + L".DB"));
    EXPECT_TRUE(WideExists(wideFolder + L"\\" + n.wideTable + L".PX"));
#endif
    const std::vector<std::vector<std::string>> want = {{"a", n.folder}, {"b", n.folder}};

    // Through an alias on the folder: listed under its name, opened, read.
    dbe::TSession& s = dbe::Session();
    if (s.IsAlias("NONASCII")) s.DeleteAlias("NONASCII");
    s.AddStandardAlias("NONASCII", folder, "PARADOX");
    EXPECT_EQ(s.GetTableNames("NONASCII", "", true, false), std::vector<std::string>{n.table + ".DB"});
    EXPECT_EQ(Rows("NONASCII", n.table + ".DB"), want);

    // Copied into a second such folder, then appended again over the copy.
    dbe::TTable src, dst;
    src.DatabaseName = "NONASCII";
    src.TableName = n.table + ".DB";
    dst.DatabaseName = copyFolder;
    dst.TableName = n.table + ".DB";
    dbe::TBatchMove move;
    move.Source = &src;
    move.Destination = &dst;
    move.Mode = dbe::batCopy;
    move.Mappings = {"Name=Name", "Note=Note"};
    move.Execute();
    move.Mode = dbe::batAppend;
    move.Execute();
    EXPECT_EQ(Rows(copyFolder, n.table), (std::vector<std::vector<std::string>>{want[0], want[1], want[0], want[1]}));
#ifdef _WIN32
    EXPECT_TRUE(WideExists(wideFolder + L"2\\" + n.wideTable + L".DB"));
#endif
}
