// The SQL update: every row rewritten, key fields included; a key collision leaves the table
// byte for byte as it was; statements outside the supported shape are refused.
#include "dbe2_fixture.h"
#include "index_check.h"

namespace dbe2test {
namespace {

using dbe::TFieldType;

class SqlQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        Create(dir.path(), "Doors",
               {Field("IPAddr", TFieldType::String, 15, true), WithMin(Field("COMPort", TFieldType::Smallint, 0, true), "1"),
                Field("Line", TFieldType::Smallint, 0, true), Field("ContrAddr", TFieldType::Smallint, 0, true),
                Field("AreaName", TFieldType::String, 31), Field("OperInstruction", TFieldType::Memo, 20)},
               {{"DoorByName", {"AreaName"}}});
        if (!dbe::Session().IsAlias(kAlias)) dbe::Session().AddStandardAlias(kAlias, dir.path(), "PARADOX");
    }
    void TearDown() override {
        if (dbe::Session().IsAlias(kAlias)) dbe::Session().DeleteAlias(kAlias);
    }
    void Update(const std::string& ip, std::vector<std::string> sql = {"UPDATE 'doors.db'", "SET IPAddr=:IP,Line=0"}) {
        dbe::TQuery q;
        q.DatabaseName = kAlias;
        q.SQL = std::move(sql);
        q.ParamByName("IP").SetAsString(ip);
        q.ExecSQL();
    }
    const std::string kAlias = "KorvixNetGlobalTest";
    TempFolder dir;
};

TEST_F(SqlQueryTest, EveryRowGetsTheValuesAndKeepsItsOtherFields) {
    AppendRows(dir.path(), "Doors.DB", {{"10.0.0.1", "1", "3", "5", "Gate", std::string(300, 'i')},
                                        {"10.0.0.2", "2", "1", "5", "Hall", ""},
                                        {"", "4", "2", "7", "Yard", "x"}});
    Update("192.168.1.20");
    const std::vector<Row> want = {{"192.168.1.20", "1", "0", "5", "Gate", std::string(300, 'i')},
                                   {"192.168.1.20", "2", "0", "5", "Hall", ""},
                                   {"192.168.1.20", "4", "0", "7", "Yard", "x"}};
    EXPECT_EQ(ReadRows(dir.path(), "Doors.DB"), want);
    ExpectIndexesCurrent(dir.path(), "Doors.DB", 1);
    // An empty address blanks the field.
    Update("");
    EXPECT_EQ(ReadRows(dir.path(), "Doors.DB")[0][0], "");
}

TEST_F(SqlQueryTest, KeyCollisionWritesNothing) {
    // Two rows that differ only in Line collide once Line is 0.
    AppendRows(dir.path(), "Doors.DB", {{"10.0.0.1", "1", "1", "5", "A", ""}, {"10.0.0.1", "1", "2", "5", "B", ""}});
    const auto before = Snapshot(dir.path());
    try {
        Update("10.0.0.1");
        FAIL() << "no error";
    } catch (const dbe::EDBEngineError& e) {
        EXPECT_EQ(e.ErrorCode(), dbe::ecKeyViolation);
    }
    EXPECT_EQ(Snapshot(dir.path()), before);
    EXPECT_EQ(ReadRows(dir.path(), "Doors.DB").size(), 2u);
}

TEST_F(SqlQueryTest, RefusalsLeaveTheTableAlone) {
    AppendRows(dir.path(), "Doors.DB", {{"10.0.0.1", "1", "1", "5", "A", ""}});
    const auto before = Snapshot(dir.path());
    struct Case {
        std::vector<std::string> sql;
        const char* named;
    };
    const Case cases[] = {
        {{"SELECT * FROM 'doors.db'"}, "SELECT"},
        {{"UPDATE 'doors.db'", "SET Line=0 WHERE Line=1"}, "WHERE"},
        {{"UPDATE 'doors.db'", "SET IPAddr='1.2.3.4'"}, "quoted text"},
        {{"UPDATE 'doors.db'", "SET COMPort=0"}, "COMPort"},      // below its minimum
        {{"UPDATE 'doors.db'", "SET NoSuch=0"}, "NoSuch"},
        {{"UPDATE 'nosuch.db'", "SET Line=0"}, "nosuch"},
        {{"UPDATE 'doors.db'", "SET IPAddr=:Other"}, "Other"},  // never given a value
        {{"UPDATE 'doors.db'", "SET Line=99999"}, "Line"},      // does not fit a Short
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql.back());
        dbe::TQuery q;
        q.DatabaseName = kAlias;
        q.SQL = c.sql;
        try {
            q.ExecSQL();
            ADD_FAILURE() << "no error";
        } catch (const dbe::EDBEngineError& e) {
            EXPECT_NE(e.Message().find(c.named), std::string::npos) << e.Message();
        }
    }
    EXPECT_EQ(Snapshot(dir.path()), before);
    dbe::TQuery q;
    q.SQL = {"UPDATE 'doors.db' SET IPAddr=:IP"};
    EXPECT_THROW(q.ParamByName("Nope"), dbe::EDatabaseError);
    EXPECT_NO_THROW(q.ParamByName("ip"));
}

}  // namespace
}  // namespace dbe2test
