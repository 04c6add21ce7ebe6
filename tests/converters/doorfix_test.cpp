// The L2.1 converter's door address fix: the address from section "Net" of the old
// configuration, the host lookup and its error box, and the door update.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include "dbengine/errors.h"
#include "dbengine/session.h"
#include "dbengine/table.h"
#include "doorfix.h"
#include "old_database.h"
#include "test_folders.h"
#include "uidriver/uidriver.h"

namespace {

// The fake resolver's answer, set by each test.
hostent g_host;
char g_addressBytes[16];
char* g_addressList[2];
bool g_resolves = true;
int g_error = 0;
std::string g_askedName;

hostent* WINAPI FakeLookup(const char* name) {
    g_askedName = name;
    return g_resolves ? &g_host : nullptr;
}
int WINAPI FakeError() { return g_error; }

void Answer(const unsigned char (&bytes)[4], short length = 4, bool emptyList = false) {
    std::memcpy(g_addressBytes, bytes, 4);
    g_addressList[0] = emptyList ? nullptr : g_addressBytes;
    g_addressList[1] = nullptr;
    g_host = hostent{};
    g_host.h_addrtype = AF_INET;
    g_host.h_length = length;
    g_host.h_addr_list = g_addressList;
    g_resolves = true;
}

class DoorFix : public ::testing::Test {
protected:
    void SetUp() override {
        ardvane::SetHostLookup(FakeLookup, FakeError);
        Answer({10, 1, 2, 3});
    }
    void TearDown() override { ardvane::SetHostLookup(nullptr, nullptr); }
};

// Runs fn while a helper thread waits for the error box, records its text and closes it.
struct BoxSeen {
    int count = 0;
    std::string text;
};
template <typename Fn>
BoxSeen WithBoxCloser(Fn fn) {
    BoxSeen seen;
    std::atomic<bool> done{false};
    std::thread closer([&] {
        while (!done) {
            auto box = uidriver::WaitForMessageBox("Error", GetCurrentProcessId(), 200);
            if (!box) continue;
            ++seen.count;
            seen.text = box->text;
            uidriver::CloseMessageBox(box->hwnd);
        }
    });
    fn();
    done = true;
    closer.join();
    return seen;
}

}  // namespace

TEST(IniInteger, DecimalAndHexadecimalTexts) {
    struct Case {
        const char* text;
        bool ok;
        int32_t value;
    };
    const Case cases[] = {{"0", true, 0},        {"1", true, 1},          {"-7", true, -7},
                          {"0x0", true, 0},      {"0X1f", true, 31},      {"0xFFFFFFFF", true, -1},
                          {"", false, 0},        {"no", false, 0},        {"1a", false, 0},
                          {"0x", false, 0},      {"0xG", false, 0},       {"2147483648", false, 0},
                          {"-2147483648", true, INT32_MIN}, {"0x123456789", false, 0}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        int32_t v = 12345;
        EXPECT_EQ(ardvane::ParseIniInteger(cases[i].text, v), cases[i].ok) << "case " << i;
        if (cases[i].ok) {
            EXPECT_EQ(v, cases[i].value) << "case " << i;
        }
    }
}

TEST_F(DoorFix, AddressFromTheOldConfiguration) {
    struct Case {
        const char* ini;  // nullptr: no file
        const char* address;
    };
    const Case cases[] = {
        {nullptr, ""},
        {"[Other]\r\nLocal=0\r\n", ""},
        {"[Net]\r\nLocal=1\r\nServer=0\r\nServerIP=1.2.3.4\r\n", ""},
        {"[Net]\r\nLocal=0x10\r\nServer=0\r\nServerIP=1.2.3.4\r\n", ""},
        {"[Net]\r\nLocal=no\r\nServer=0\r\nServerIP=1.2.3.4\r\n", ""},
        {"[Net]\r\nLocal=0\r\nServer=0\r\nServerIP=1.2.3.4\r\n", "1.2.3.4"},
        {"[Net]\r\nLocal=0x0\r\nServer=0X0\r\nServerIP=192.168.100.200.300\r\n", "192.168.100.200"},
        {"[Net]\r\nLocal=0\r\nServer=0\r\n", "000.000.0.0"},
        {"[Net]\r\nLocal=0\r\n", "10.1.2.3"},
        {"[Net]\r\nLocal=0\r\nServer=yes\r\nServerIP=1.2.3.4\r\n", "10.1.2.3"},
        {"[Net]\r\nLocal=0\r\nServer=-1\r\nServerIP=1.2.3.4\r\n", "10.1.2.3"},
    };
    const auto folder = kxtest::FreshFolder("doorini");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto ini = folder / ("a" + std::to_string(i) + ".tmp");
        if (cases[i].ini) std::ofstream(ini, std::ios::binary) << cases[i].ini;
        EXPECT_EQ(ardvane::ReadDoorAddress(ini.string()), cases[i].address) << "case " << i;
    }
    EXPECT_EQ(g_askedName, ardvane::GetLocalComputerName());
    EXPECT_FALSE(g_askedName.empty());
}

TEST_F(DoorFix, FailedLookupShowsTheErrorTextAndGivesZeroAddress) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {{11001, "Authoritative Answer Host not found."},
                          {10093, "A successful WSAStartup must occur before using this function."},
                          {11004, "Valid name, no data record of requested type."},
                          {12345, ""}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        g_resolves = false;
        g_error = cases[i].code;
        std::string address;
        const BoxSeen seen = WithBoxCloser([&] { address = ardvane::GetLocalIPAddress(); });
        EXPECT_EQ(address, "0.0.0.0") << "case " << i;
        EXPECT_EQ(seen.count, 1) << "case " << i;
        EXPECT_EQ(seen.text, cases[i].text) << "case " << i;
    }
}

TEST_F(DoorFix, EntriesWithoutAFourByteAddressCountAsFailedLookups) {
    g_error = 11004;
    Answer({1, 2, 3, 4}, 4, /*emptyList=*/true);
    std::string address;
    BoxSeen seen = WithBoxCloser([&] { address = ardvane::GetLocalIPAddress(); });
    EXPECT_EQ(address, "0.0.0.0");
    EXPECT_EQ(seen.count, 1);

    Answer({1, 2, 3, 4}, 16);
    seen = WithBoxCloser([&] { address = ardvane::GetLocalIPAddress(); });
    EXPECT_EQ(address, "0.0.0.0");
    EXPECT_EQ(seen.count, 1);

    Answer({192, 168, 0, 254});
    seen = WithBoxCloser([&] { address = ardvane::GetLocalIPAddress(); });
    EXPECT_EQ(address, "192.168.0.254");
    EXPECT_EQ(seen.count, 0);
}

namespace {

void AddDoor(const kxtest::fs::path& folder, const char* ip, int com, int line, int addr) {
    dbe::TTable t;
    t.DatabaseName = folder.string();
    t.TableName = "Doors.DB";
    t.Open();
    t.Append();
    t.FieldByName("IPAddr").SetAsString(ip);
    t.FieldByName("COMPort").SetAsInteger(com);
    t.FieldByName("Line").SetAsInteger(line);
    t.FieldByName("ContrAddr").SetAsInteger(addr);
    t.Post();
    t.Close();
}

void PointNewDatabaseAt(const kxtest::fs::path& folder) {
    dbe::TSession& s = dbe::Session();
    if (s.IsAlias("KorvixNetGlobal")) s.DeleteAlias("KorvixNetGlobal");
    s.AddStandardAlias("KorvixNetGlobal", folder.string(), "PARADOX");
}

}  // namespace

TEST(DoorUpdate, EveryDoorGetsTheAddressAndLineZero) {
    const auto folder = kxtest::FreshFolder("doorupdate");
    kxtest::MakeInstalledDatabase(folder);
    AddDoor(folder, "", 1, 2, 5);
    AddDoor(folder, "9.9.9.9", 2, 0, 5);
    AddDoor(folder, "", 3, 1, 7);
    PointNewDatabaseAt(folder);

    ardvane::UpdateDoorAddresses("10.20.30.40");
    auto rows = kxtest::ReadRows(folder, "Doors.DB");
    ASSERT_EQ(rows.size(), 3u);
    for (const auto& r : rows) {
        EXPECT_EQ(r.at("ipaddr"), "10.20.30.40");
        EXPECT_EQ(r.at("line"), "0");
    }
    ardvane::UpdateDoorAddresses("");
    for (const auto& r : kxtest::ReadRows(folder, "Doors.DB")) EXPECT_EQ(r.at("ipaddr"), "");
}

TEST(DoorUpdate, RowsThatMeetOnTheKeyLeaveTheTableUnchanged) {
    const auto folder = kxtest::FreshFolder("doorcollide");
    kxtest::MakeInstalledDatabase(folder);
    AddDoor(folder, "1.1.1.1", 1, 0, 5);
    AddDoor(folder, "1.1.1.1", 1, 1, 5);
    PointNewDatabaseAt(folder);
    const auto before = kxtest::ReadRows(folder, "Doors.DB");
    EXPECT_THROW(ardvane::UpdateDoorAddresses("1.1.1.1"), dbe::EDBEngineError);
    EXPECT_EQ(kxtest::ReadRows(folder, "Doors.DB"), before);
}

// The converter's own steps with the old configuration naming this computer as the server and
// a computer name the lookup cannot resolve: one error box, then every door gets 0.0.0.0 and
// line 0.
TEST_F(DoorFix, UnresolvableServerGivesEveryDoorTheZeroAddress) {
    const auto folder = kxtest::FreshFolder("doorzero");
    kxtest::MakeInstalledDatabase(folder);
    AddDoor(folder, "", 1, 2, 5);
    AddDoor(folder, "7.7.7.7", 2, 0, 5);
    PointNewDatabaseAt(folder);
    DeleteFileA(ardvane::kOldConfigPath);
    std::ofstream(ardvane::kOldConfigPath, std::ios::binary) << "[Net]\r\nLocal=0\r\nServer=1\r\n";
    g_resolves = false;
    g_error = 11001;

    ardvane::TArdvaneSteps steps;
    const BoxSeen seen = WithBoxCloser([&] { steps.TableMoved("DOORS.db"); });
    DeleteFileA(ardvane::kOldConfigPath);
    EXPECT_EQ(seen.count, 1);
    EXPECT_EQ(seen.text, "Authoritative Answer Host not found.");
    EXPECT_EQ(steps.DoorAddress(), "0.0.0.0");

    steps.TablesDone();
    const auto rows = kxtest::ReadRows(folder, "Doors.DB");
    ASSERT_EQ(rows.size(), 2u);
    for (const auto& r : rows) {
        EXPECT_EQ(r.at("ipaddr"), "0.0.0.0");
        EXPECT_EQ(r.at("line"), "0");
    }
}
