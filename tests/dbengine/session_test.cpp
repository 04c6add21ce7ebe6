// Sessions: persistent aliases from the configuration file, session aliases, configuration
// modes, database names and the table list.
#include <gtest/gtest.h>

#include <cstdlib>

#include "dbengine/dbengine.h"
#include "dbshared/dbdirectory.h"
#include "tabledata.h"
#include "test_util.h"

using namespace dbe;
using kxtest::Field;
using kxtest::ScratchDir;

namespace {

// The session starts at its first use; the configuration file must be named before that.
struct ConfigFixture {
    ScratchDir data{"aliasdata"};
    ScratchDir conf{"aliasconf"};
    ConfigFixture() {
        kxtest::WriteAll(conf.file("engine.ini"),
                         "; persistent aliases\r\n[LumexData]\r\nTYPE=STANDARD\r\nPATH=" + data.str() +
                             "\r\nDEFAULT DRIVER=PARADOX\r\n\r\n[Other]\r\nPATH=" + conf.str() + "\r\n");
#ifdef _WIN32
        _putenv_s("KX_DBENGINE_CONFIG", conf.file("engine.ini").c_str());
#else
        setenv("KX_DBENGINE_CONFIG", conf.file("engine.ini").c_str(), 1);
#endif
        detail::CreateSpec s;
        s.tableName = "Doors";
        s.fields = {Field("IPAddr", TFieldType::String, 15, true)};
        detail::CreateTable(data.str(), s);
    }
};
ConfigFixture& Config() {
    static ConfigFixture f;
    return f;
}
const bool kConfigured = (Config(), true);

}  // namespace

TEST(Session, PersistentAliasOpensItsTableAndReportsItsFolder) {
    ASSERT_TRUE(kConfigured);
    EXPECT_TRUE(Session().IsAlias("LumexData"));
    EXPECT_TRUE(Session().IsAlias("lumexdata"));
    EXPECT_FALSE(Session().IsAlias("KorvixNetGlobal"));
    TTable t;
    t.DatabaseName = "LUMEXDATA";
    t.TableName = "doors.db";
    t.Open();
    std::string folder = GetDatabaseDirectory(t.DBHandle());
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(folder.back() == '/' || folder.back() == '\\');
    EXPECT_EQ(folder.substr(0, folder.size() - 1), Config().data.str());
    EXPECT_TRUE(std::filesystem::exists(folder + "Doors.DB"));
    t.Close();
    EXPECT_EQ(t.DBHandle(), nullptr);
    EXPECT_THROW(GetDatabaseDirectory(nullptr), EDBEngineError);
}

TEST(Session, EmptyOrUnknownDatabaseNameOpensNothing) {
    for (const char* name : {"", "  ", "NoSuchAlias"}) {
        SCOPED_TRACE(name);
        TTable t;
        t.DatabaseName = name;
        t.TableName = "Doors.DB";
        try {
            t.Open();
            ADD_FAILURE() << "opened";
        } catch (const EDBEngineError& e) {
            EXPECT_EQ(e.ErrorCode(), ecUnknownDatabase);
        }
        EXPECT_FALSE(t.Active());
    }
    TTable t;
    t.DatabaseName = "LumexData";
    t.TableName = "Missing.DB";
    EXPECT_THROW(t.Open(), EDBEngineError);
}

TEST(Session, SessionAliasAddTestDeleteUnderEveryConfigMode) {
    ASSERT_TRUE(kConfigured);
    ScratchDir tmp("tmpdb");
    auto& s = Session();
    s.SetConfigMode(cmVirtual | cmPersistent | cmSession);
    if (s.IsAlias("TEMP_ALIAS")) s.DeleteAlias("TEMP_ALIAS");
    s.AddStandardAlias("TEMP_ALIAS", tmp.str(), "PARADOX");
    EXPECT_TRUE(s.IsAlias("TEMP_ALIAS"));
    EXPECT_EQ(s.AliasPath("temp_alias"), tmp.str());
    EXPECT_THROW(s.AddStandardAlias("temp_alias", tmp.str(), "PARADOX"), EDBEngineError);
    // A session alias is not persistent; a persistent one is not a session alias.
    s.SetConfigMode(cmPersistent);
    EXPECT_FALSE(s.IsAlias("TEMP_ALIAS"));
    EXPECT_TRUE(s.IsAlias("LumexData"));
    s.SetConfigMode(cmSession);
    EXPECT_TRUE(s.IsAlias("TEMP_ALIAS"));
    EXPECT_FALSE(s.IsAlias("LumexData"));
    s.SetConfigMode(cmAll);
    s.DeleteAlias("Temp_Alias");
    EXPECT_FALSE(s.IsAlias("TEMP_ALIAS"));
    EXPECT_THROW(s.DeleteAlias("TEMP_ALIAS"), EDBEngineError);
    // Nothing was written to the configuration file.
    EXPECT_EQ(kxtest::ReadAll(Config().conf.file("engine.ini")).find("TEMP_ALIAS"), std::string::npos);
}

TEST(Session, TableListHoldsTablesOnlyInNameOrder) {
    ScratchDir dir("list");
    for (const char* f : {"Doors.DB", "accgroup.db", "Doors.PX", "Doors.MB", "Doors.VAL", "Doors.XG0",
                          "Doors.YG0", "DBDWORK.INI", "PDOXUSRS.LCK", "PARADOX.LCK", "Zeta.DB",
                          "Timeprof.db", "notes.txt"})
        kxtest::WriteAll(dir.file(f), "x");
    std::filesystem::create_directory(dir.file("Sub.DB"));
    auto& s = Session();
    s.SetConfigMode(cmAll);
    s.AddStandardAlias("LIST_ALIAS", dir.str(), "PARADOX");
    EXPECT_EQ(s.GetTableNames("LIST_ALIAS", "", true, false),
              (std::vector<std::string>{"accgroup.db", "Doors.DB", "Timeprof.db", "Zeta.DB"}));
    EXPECT_EQ(s.GetTableNames("list_alias", "", false, false),
              (std::vector<std::string>{"accgroup", "Doors", "Timeprof", "Zeta"}));
    EXPECT_EQ(s.GetTableNames(dir.str(), "d*", true, false), (std::vector<std::string>{"Doors.DB"}));
    EXPECT_THROW(s.GetTableNames("", "", true, false), EDBEngineError);
    s.DeleteAlias("LIST_ALIAS");
}
