// The SQL update streamed from the table's files: for the same table and statement it writes
// byte for byte the files that the loading way writes (but the header's update time), raises
// what it raises, and a statement that fails leaves the files as they were.
#include <algorithm>
#include <fstream>
#include <functional>

#include "index_check.h"
#include "sql_update.h"

namespace dbe2test {
namespace {

using dbe::TFieldType;
using namespace dbe::detail;

// "Ёж", "ёж", "Еж", "еж", "Жук", "жук", "Яма" and Latin words in code page 1251.
const char* const kCyrillic[] = {"\xA8\xE6", "\xB8\xE6", "\xC5\xE6", "\xE5\xE6", "\xC6\xF3\xEA",
                                 "\xE6\xF3\xEA", "\xDF\xEC\xE0", "Zebra", "apple", "Apple"};

struct Loading {
    Loading() { StreamedUpdatesEnabled() = false; }
    ~Loading() { StreamedUpdatesEnabled() = true; }
};

// Door channels: a four-field key, a name with a secondary index, a memo with a 20-byte
// leader and a checked number; 12 rows to a block.
std::vector<FieldSpec> DoorFields(bool keyed = true) {
    return {Field("IPAddr", TFieldType::String, 15, keyed), WithMin(Field("COMPort", TFieldType::Smallint, 0, keyed), "1"),
            Field("Line", TFieldType::Smallint, 0, keyed),   Field("ContrAddr", TFieldType::Smallint, 0, keyed),
            Field("AreaName", TFieldType::String, 31),       Field("Note", TFieldType::Memo, 20),
            WithMax(Field("Extra", TFieldType::Smallint), "200")};
}
const size_t kPerBlock = (1024 - 6) / (15 + 2 + 2 + 2 + 31 + 30 + 2);

struct DoorTable {
    std::vector<FieldSpec> fields = DoorFields();
    std::vector<IndexSpec> indexes = {{"DoorByName", {"AreaName"}}};
    std::vector<Row> rows;
    // Stored in arrival order under a header that says "keyed on the first four fields", as
    // other writers leave tables (no indexes then).
    bool unsorted = false;
};

void Make(const std::string& folder, const DoorTable& s) {
    Create(folder, "Doors", s.unsorted ? DoorFields(false) : s.fields, s.indexes, 7, 1024);
    AppendRows(folder, "Doors.DB", s.rows);
    if (!s.unsorted) return;
    std::string db = FileBytes(folder + "Doors.DB");
    db[0x04] = 0;   // file type: keyed table
    db[0x23] = 4;   // key fields
    std::ofstream(folder + "Doors.DB", std::ios::binary | std::ios::trunc).write(db.data(), std::streamsize(db.size()));
}

// Door i: its address and line vary so that the update changes the rows' order; the
// controller address keeps the new keys apart.
Row Door(int i, const std::string& note = "") {
    return {"10.0.0." + std::to_string((i * 5) % 13), std::to_string(1 + i % 4), std::to_string(i % 3),
            std::to_string(1 + i), "Area " + std::to_string((i * 7) % 10), note, std::to_string(i % 50)};
}

std::vector<Row> Doors(int n) {
    std::vector<Row> out;
    for (int i = 0; i < n; ++i) out.push_back(Door(i));
    return out;
}

void Update(const std::string& folder, const std::vector<std::string>& sql, const std::string& ip) {
    dbe::TQuery q;
    q.DatabaseName = folder;
    q.SQL = sql;
    if (sql.back().find(":IP") != std::string::npos) q.ParamByName("IP").SetAsString(ip);
    q.ExecSQL();
}

const std::vector<std::string> kDoorUpdate = {"UPDATE 'doors.db'", "SET IPAddr=:IP,Line=0"};

struct Case {
    const char* name;
    DoorTable table;
    std::vector<std::string> sql;
    std::string ip;
};

std::vector<Case> Cases() {
    auto with = [](std::vector<Row> rows) {
        DoorTable s;
        s.rows = std::move(rows);
        return s;
    };
    auto memo = [](size_t n) { return std::string(n, 'm'); };
    DoorTable unkeyed = with(Doors(30));
    unkeyed.fields = DoorFields(false);
    unkeyed.indexes.clear();
    DoorTable noIndex = with(Doors(40));
    noIndex.indexes.clear();
    DoorTable unsorted = with(Doors(40));
    std::reverse(unsorted.rows.begin(), unsorted.rows.end());
    unsorted.unsorted = true;
    unsorted.indexes.clear();
    std::vector<Row> sameAddress = Doors(40);
    for (Row& r : sameAddress) r[0] = "10.0.0.1", r[2] = "0";
    std::vector<Row> cyrillic;
    for (int i = 0; i < 10; ++i) {
        Row r = Door(i);
        r[4] = kCyrillic[9 - i];
        r[5] = std::string(kCyrillic[i]) + memo(size_t(i) * 5);
        cyrillic.push_back(r);
    }
    return {
        {"empty table", with({}), kDoorUpdate, "192.168.1.20"},
        {"one row", with(Doors(1)), kDoorUpdate, "192.168.1.20"},
        {"one full block", with(Doors(int(kPerBlock))), kDoorUpdate, "192.168.1.20"},
        {"one full block and one row", with(Doors(int(kPerBlock) + 1)), kDoorUpdate, "192.168.1.20"},
        {"many blocks", with(Doors(500)), kDoorUpdate, "192.168.1.20"},
        {"BLOBs at the leader, one over, one chunk, several chunks, null",
         with({Door(0, memo(20)), Door(1, memo(21)), Door(2, memo(4096 - 9)), Door(3, memo(3 * 4096 + 5)), Door(4),
               Door(5, memo(19))}),
         kDoorUpdate, "192.168.1.20"},
        {"Cyrillic values, a Cyrillic address", with(cyrillic), kDoorUpdate, "\xC0\xE4\xF0\xE5\xF1 \xB8\xE6"},
        {"an empty address blanks a key field", with(Doors(30)), kDoorUpdate, ""},
        {"key untouched, the indexed field assigned", with(cyrillic), {"UPDATE 'doors.db'", "SET AreaName=:IP, Extra=7"},
         "\xDF\xEC\xE0"},
        {"new keys in the files' order", with(sameAddress), kDoorUpdate, "192.168.1.20"},
        {"unkeyed table", unkeyed, kDoorUpdate, "192.168.1.20"},
        {"no secondary index", noIndex, kDoorUpdate, "192.168.1.20"},
        {"keyed rows stored out of key order", unsorted, kDoorUpdate, "192.168.1.20"},
        {"keyed rows stored out of key order, key untouched", unsorted, {"UPDATE doors", "SET Extra=3"}, ""},
    };
}

TEST(StreamedUpdate, WritesTheFilesOfTheLoadingWayForEveryCase) {
    const size_t defaultRun = StreamedUpdateRunBytes();
    // Rows put in a new order are fetched in one run, or in runs of 11 rows.
    for (size_t run : {defaultRun, size_t(1000)})
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name + std::string(run == defaultRun ? "" : ", short runs"));
        StreamedUpdateRunBytes() = run;
        TempFolder ref, streamed;
        Make(ref.path(), c.table);
        Make(streamed.path(), c.table);
        {
            Loading old;
            Update(ref.path(), c.sql, c.ip);
        }
        const int before = StreamedUpdatesDone();
        Update(streamed.path(), c.sql, c.ip);
        EXPECT_EQ(StreamedUpdatesDone(), before + 1) << "the update was not streamed";
        ExpectSameFiles(ref.path(), streamed.path());
        const std::vector<Row> rows = ReadRows(streamed.path(), "Doors.DB");
        ASSERT_EQ(rows.size(), c.table.rows.size());
        if (!c.table.indexes.empty()) ExpectIndexesCurrent(streamed.path(), "Doors.DB", 1);
    }
    StreamedUpdateRunBytes() = defaultRun;
}

TEST(StreamedUpdate, ChangesEveryRowAndKeepsTheRest) {
    TempFolder f;
    DoorTable s;
    s.rows = {Door(2, std::string(300, 'i')), Door(1), Door(0, "x")};
    Make(f.path(), s);
    Update(f.path(), kDoorUpdate, "\xC0\xE4\xF0\xE5\xF1");
    const std::vector<Row> rows = ReadRows(f.path(), "Doors.DB");
    ASSERT_EQ(rows.size(), 3u);
    // Now ordered by port and controller: doors 0, 1, 2.
    for (int i = 0; i < 3; ++i) {
        Row want = Door(i, i == 2 ? std::string(300, 'i') : i == 0 ? "x" : "");
        want[0] = "\xC0\xE4\xF0\xE5\xF1";
        want[2] = "0";
        EXPECT_EQ(rows[size_t(i)], want) << "row " << i;
    }
}

// Each refusal: the same error from both ways, and every file as it was.
TEST(StreamedUpdate, RefusedStatementsRaiseWhatTheLoadingWayRaisesAndWriteNothing) {
    struct Refusal {
        const char* name;
        std::vector<Row> rows;
        std::vector<std::string> sql;
        std::string ip;
        int code;
        bool unsorted = false;
    };
    Row twin = Door(7);
    twin[2] = "2";   // differs from door 7 by its line only
    const Refusal cases[] = {
        {"equal keys after the update", {Door(3), Door(7), twin, Door(9)}, kDoorUpdate, "10.0.0.1", dbe::ecKeyViolation},
        {"equal keys among many blocks (doors 0 and 156)", Doors(200), {"UPDATE doors", "SET ContrAddr=5"}, "",
         dbe::ecKeyViolation},
        {"equal keys in the files, key untouched", {Door(3), Door(7), Door(7)}, {"UPDATE doors", "SET Extra=3"}, "",
         dbe::ecKeyViolation, true},
        {"below a field's minimum", Doors(30), {"UPDATE doors", "SET COMPort=0"}, "", dbe::ecValidity},
        {"above a field's maximum", Doors(30), {"UPDATE doors", "SET Extra=500"}, "", dbe::ecValidity},
        {"too long for its field", Doors(30), kDoorUpdate, std::string(16, '\xE6'), dbe::ecValueTooLong},
        {"no Short", Doors(30), {"UPDATE doors", "SET Line=99999"}, "", dbe::ecValueTooLong},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        std::string messages[2];
        for (int streamed = 0; streamed < 2; ++streamed) {
            TempFolder f;
            DoorTable s;
            s.rows = c.rows;
            s.unsorted = c.unsorted;
            if (s.unsorted) s.indexes.clear();
            Make(f.path(), s);
            const auto before = Snapshot(f.path());
            StreamedUpdatesEnabled() = streamed == 1;
            try {
                Update(f.path(), c.sql, c.ip);
                ADD_FAILURE() << "no error";
            } catch (const dbe::EDBEngineError& e) {
                EXPECT_EQ(e.ErrorCode(), c.code) << e.Message();
                messages[streamed] = e.Message();
            }
            StreamedUpdatesEnabled() = true;
            EXPECT_TRUE(Snapshot(f.path()) == before) << "the files changed";
        }
        EXPECT_EQ(messages[1], messages[0]);
    }
}

TEST(StreamedUpdate, TableThatATableObjectHoldsIsUpdatedWhereItIsLoaded) {
    TempFolder f;
    DoorTable s;
    s.rows = Doors(5);
    Make(f.path(), s);
    dbe::TTable open;
    open.DatabaseName = f.path();
    open.TableName = "Doors.DB";
    open.Open();
    open.First();
    const int before = StreamedUpdatesDone();
    Update(f.path(), kDoorUpdate, "1.2.3.4");
    EXPECT_EQ(StreamedUpdatesDone(), before);
    open.First();
    EXPECT_EQ(open.Fields(0).AsString(), "1.2.3.4");
    open.Close();
    for (const Row& r : ReadRows(f.path(), "Doors.DB")) EXPECT_EQ(r[0] + "|" + r[2], "1.2.3.4|0");
}

#ifndef _WIN32
TEST(StreamedUpdate, FailedWriteHalfwayLeavesTheFilesAsTheyWere) {
    // The files may grow to 64 KiB only: the .MB stops short in the middle of the rows.
    TempFolder f;
    DoorTable s;
    for (int i = 0; i < 40; ++i) s.rows.push_back(Door(i, std::string(1500, 'p')));
    Make(f.path(), s);
    const auto before = Snapshot(f.path());
    {
        FileSizeLimit limit(64 * 1024);
        try {
            Update(f.path(), kDoorUpdate, "1.2.3.4");
            ADD_FAILURE() << "no error";
        } catch (const dbe::EDBEngineError& e) {
            EXPECT_EQ(e.ErrorCode(), dbe::ecOpenFailed) << e.Message();
        }
    }
    EXPECT_TRUE(Snapshot(f.path()) == before) << "the files changed";
}
#endif

}  // namespace
}  // namespace dbe2test
