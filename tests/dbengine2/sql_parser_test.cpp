// The SQL update's statement shape: what is accepted, and that everything else is refused
// with a message naming the unsupported part.
#include "sql_parser.h"

#include <gtest/gtest.h>

namespace dbe::sql {
namespace {

TEST(SqlParser, AcceptsTheDoorUpdateAndItsVariants) {
    TUpdateStatement st;
    std::string err;
    ASSERT_TRUE(ParseUpdate("UPDATE 'doors.db'\nSET IPAddr=:IP,Line=0", st, err)) << err;
    EXPECT_EQ(st.Table, "doors.db");
    ASSERT_EQ(st.Set.size(), 2u);
    EXPECT_EQ(st.Set[0].Field, "IPAddr");
    EXPECT_TRUE(st.Set[0].IsParam);
    EXPECT_EQ(st.Set[0].Param, "IP");
    EXPECT_EQ(st.Set[1].Field, "Line");
    EXPECT_FALSE(st.Set[1].IsParam);
    EXPECT_EQ(st.Set[1].Value, 0);

    ASSERT_TRUE(ParseUpdate("  update \"Doors.DB\" set COMPort = -3 , \"Area Name\"=:a ; ", st, err)) << err;
    EXPECT_EQ(st.Table, "Doors.DB");
    EXPECT_EQ(st.Set[0].Value, -3);
    EXPECT_EQ(st.Set[1].Field, "Area Name");
    EXPECT_EQ(st.Set[1].Param, "a");

    ASSERT_TRUE(ParseUpdate("UPDATE doors.db SET Line=2147483647", st, err)) << err;
    EXPECT_EQ(st.Table, "doors.db");
    EXPECT_EQ(st.Set[0].Value, 2147483647);
}

TEST(SqlParser, RefusesWhatIsOutsideTheShape) {
    struct Case {
        const char* sql;
        const char* named;  // part of the message
    };
    const Case cases[] = {
        {"", "empty statement"},
        {"SELECT * FROM 'doors.db'", "SELECT"},
        {"DELETE FROM 'doors.db'", "DELETE"},
        {"INSERT INTO 'doors.db' VALUES (1)", "INSERT"},
        {"UPDATE 'doors.db' SET Line=0 WHERE Line=1", "WHERE"},
        {"UPDATE 'doors.db' SET IPAddr='1.2.3.4'", "quoted text '1.2.3.4'"},
        {"UPDATE 'doors.db' SET Line=Line+1", "'Line'"},
        {"UPDATE 'doors.db' SET Line=0+1", "operator '+'"},
        {"UPDATE 'doors.db' SET Line=1.5", "'1.5'"},
        {"UPDATE 'doors.db' SET Line=99999999999", "'99999999999'"},
        {"UPDATE 'doors.db', 'accgroup.db' SET Line=0", "more than one table"},
        {"UPDATE 'doors.db' Line=0", "SET expected"},
        {"UPDATE 'doors.db' SET", "field name expected"},
        {"UPDATE 'doors.db' SET Line 0", "= expected"},
        {"UPDATE 'doors.db' SET Line=0, Line=1", "assigned twice"},
        {"UPDATE 'doors.db' SET Line=:", "parameter without a name"},
        {"UPDATE 'doors.db SET Line=0", "table name expected"},
        {"UPDATE 'doors.db' SET d.Line=0", "qualified field name"},
        {"UPDATE 'doors.db' SET Line=0; UPDATE 'x' SET a=1", "'UPDATE'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        TUpdateStatement st;
        std::string err;
        EXPECT_FALSE(ParseUpdate(c.sql, st, err));
        EXPECT_NE(err.find("Unsupported SQL"), std::string::npos) << err;
        EXPECT_NE(err.find(c.named), std::string::npos) << err;
    }
}

}  // namespace
}  // namespace dbe::sql
