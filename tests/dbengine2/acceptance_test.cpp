// The validity checks of the new database's tables, created from their definition files by
// dbtool: defaults of missing fields, required fields, minimum and maximum refused with the
// engine's error naming table, field and value, and the table left unchanged.
#include <algorithm>
#include <cstdlib>

#include "dbe2_fixture.h"
#include "dbengine/validity.h"
#include "fileio.h"

namespace dbe2test {
namespace {

// A path as the operating system's shell takes it (Wine maps Z: to the root).
std::string NativePath(std::string p) {
#ifdef _WIN32
    if (!p.empty() && p[0] == '/') {
        p = "Z:" + p;
        for (char& c : p)
            if (c == '/') c = '\\';
    }
#endif
    return p;
}

// Cyrillic UTF-8 to code page 1251 (the letters of the schema's texts, and ASCII).
std::string Cp1251(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        unsigned cp = ((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[++i]) & 0x3F);
        if (cp >= 0x410 && cp <= 0x44F) out += char(0xC0 + (cp - 0x410));
        else if (cp == 0x401) out += char(0xA8);
        else if (cp == 0x451) out += char(0xB8);
        else out += '?';
    }
    return out;
}

// Runs dbtool with the given arguments (each quoted); its output goes to the file given.
int RunDbtool(const std::vector<std::string>& args, const std::string& output) {
    std::string cmd = "\"" + NativePath(KX_DBTOOL) + "\"";
    for (const std::string& a : args) cmd += " \"" + NativePath(a) + "\"";
    cmd += " > \"" + NativePath(output) + "\"";
#ifdef _WIN32
    cmd = "\"" + cmd + "\"";  // cmd /c drops the outer quotes
    // 9009 is cmd's "cannot run that command": under a busy Wine its start of the program now
    // and then fails although the program is there. That is the shell, not dbtool: try again.
    int rc = 9009;
    for (int attempt = 0; attempt < 3 && rc == 9009; ++attempt) rc = std::system(cmd.c_str());
    return rc;
#else
    return std::system(cmd.c_str());
#endif
}

class Acceptance : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempFolder;  // no explicit set-up: the table layer brings the checks in
        for (const char* t : {"Accgroup", "Depart", "Doors", "Exnames", "Holidays", "Operator", "Personel", "Timeprof", "Trandef"})
            ASSERT_EQ(RunDbtool({"create", std::string(KX_SCHEMA_DIR) + "/" + t + ".tdef", dir_->path()}, *dir_ / "create.txt"), 0) << t;
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }
    static TempFolder* dir_;

    using Values = std::vector<std::pair<std::string, std::string>>;

    // Appends one row; "" when it was stored, else the engine error's message.
    static std::string Insert(const std::string& table, const Values& values, Values* readBack = nullptr) {
        dbe::TTable t;
        t.DatabaseName = dir_->path();
        t.TableName = table + ".DB";
        t.Open();
        const int before = t.RecordCount();
        std::string result;
        t.Append();
        for (const auto& [f, v] : values) t.FieldByName(f).SetAsString(v);
        try {
            t.Post();
        } catch (const dbe::EDBEngineError& e) {
            EXPECT_EQ(e.ErrorCode(), dbe::ecValidity) << e.Message();
            result = e.Message();
            t.Cancel();
            EXPECT_EQ(t.RecordCount(), before);
        }
        if (result.empty() && readBack)
            for (auto& [f, v] : *readBack) v = t.FieldByName(f).AsString();
        t.Close();
        return result;
    }
};
TempFolder* Acceptance::dir_ = nullptr;

TEST_F(Acceptance, FreshTablesAreEmptyAndCarryTheirCheckFiles) {
    for (const char* t : {"Accgroup", "Depart", "Doors", "Exnames", "Holidays", "Operator", "Personel", "Timeprof", "Trandef"}) {
        SCOPED_TRACE(t);
        EXPECT_EQ(ReadRows(dir_->path(), std::string(t) + ".DB").size(), 0u);
        EXPECT_EQ(fs::exists(*dir_ / (std::string(t) + ".VAL")), std::string(t) != "Exnames");
    }
    for (const char* f : {"Accgroup.XG0", "Accgroup.YG1", "Doors.XG0", "Personel.XG1", "Timeprof.YG0"})
        EXPECT_TRUE(fs::exists(*dir_ / f)) << f;
    dbe::TValidity v;
    std::string err;
    ASSERT_TRUE(dbe::DecodeValidity(FileBytes(*dir_ / "Depart.VAL"), v, err)) << err;
    ASSERT_NE(v.CheckOf(1), nullptr);
    EXPECT_TRUE(v.CheckOf(1)->Required);                 // DeptName
    ASSERT_NE(v.CheckOf(3), nullptr);
    EXPECT_TRUE(v.CheckOf(3)->Required);                 // WorkStart
    EXPECT_EQ(dbe::TValValue::ToText(dbe::pxfTime, *v.CheckOf(3)->Default), "09:00:00");
}

TEST_F(Acceptance, MissingFieldsGetTheirDefaults) {
    struct Case {
        const char* table;
        Values given;
        Values want;
    };
    const Case cases[] = {
        {"Accgroup", {{"GroupName", "G1"}},
         {{"Doors", std::string(128, 'D')}, {"TimeProf1", "0"}, {"HardAccess", "False"},
          {"GroupDesc", Cp1251("<Описание группы доступа>")}}},
        {"Doors", {{"IPAddr", "10.0.0.1"}},
         {{"COMPort", "2"}, {"ContrAddr", "126"}, {"Line", "0"}, {"LockTime", "3"}, {"HasRTESwitch", "True"},
          {"AreaName", Cp1251("<Имя контроллера двери>")}}},
        {"Depart", {{"DeptName", "Sales"}, {"WorkStart", "08:30:00"}},
         {{"WorkStart", "08:30:00"}, {"WorkEnd", "18:00:00"}, {"NoCheckTime", "5"}, {"Mo", "True"}, {"Sa", "False"}}},
        {"Holidays", {}, {{"HolidayMounth", "1"}, {"HolidayDay", "1"}, {"HolidayName", Cp1251("<Праздник не описан>")}}},
        {"Personel", {{"FirstName", "Ann"}},
         {{"CardNumber", "0"}, {"ValidTo", "2010-12-31"}, {"IssueDate", ""}, {"CanOffSound", "True"}, {"TabNum", ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        Values got = c.want;
        EXPECT_EQ(Insert(c.table, c.given, &got), "");
        EXPECT_EQ(got, c.want);
    }
}

TEST_F(Acceptance, RequiredMinimumAndMaximumAreRefused) {
    struct Case {
        const char* table;
        Values given;
        const char* field;   // named in the refusal ("" = accepted)
        const char* value;
    };
    const Case cases[] = {
        {"Depart", {{"WorkStart", "09:00:00"}}, "DeptName", "blank"},
        {"Depart", {{"DeptName", "NoStart"}}, "WorkStart", "blank"},
        {"Depart", {{"DeptName", "Late"}, {"WorkStart", "09:00:00"}, {"NoCheckTime", "31"}}, "NoCheckTime", "31"},
        {"Depart", {{"DeptName", "Edge"}, {"WorkStart", "09:00:00"}, {"NoCheckTime", "30"}}, "", ""},
        {"Depart", {{"DeptName", "Neg"}, {"WorkStart", "09:00:00"}, {"NoCheckTime2", "-1"}}, "NoCheckTime2", "-1"},
        {"Holidays", {{"HolidayMounth", "13"}, {"HolidayDay", "1"}}, "HolidayMounth", "13"},
        {"Holidays", {{"HolidayMounth", "2"}, {"HolidayDay", "32"}}, "HolidayDay", "32"},
        {"Holidays", {{"HolidayMounth", "0"}, {"HolidayDay", "5"}}, "HolidayMounth", "0"},
        {"Holidays", {{"HolidayMounth", "12"}, {"HolidayDay", "31"}}, "", ""},
        {"Doors", {{"IPAddr", "a"}, {"COMPort", "5"}}, "COMPort", "5"},
        {"Doors", {{"IPAddr", "b"}, {"COMPort", "0"}}, "COMPort", "0"},
        {"Doors", {{"IPAddr", "c"}, {"COMPort", "4"}}, "", ""},
        {"Doors", {{"IPAddr", "d"}, {"LockTime", "256"}}, "LockTime", "256"},
        {"Doors", {{"IPAddr", "e"}, {"LockTime", "255"}}, "", ""},
        {"Doors", {{"IPAddr", "f"}, {"ContrAddr", "0"}}, "ContrAddr", "0"},
        {"Personel", {{"FirstName", "Big"}, {"TabNum", "1000000"}}, "TabNum", "1000000"},
        {"Personel", {{"FirstName", "Max"}, {"TabNum", "999999"}}, "", ""},
        {"Personel", {{"FirstName", "Neg"}, {"TabNum", "-1"}}, "TabNum", "-1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.table) + " " + (c.given.empty() ? "" : c.given.back().first + "=" + c.given.back().second));
        const std::string msg = Insert(c.table, c.given);
        if (!*c.field) {
            EXPECT_EQ(msg, "");
            continue;
        }
        EXPECT_NE(msg.find(std::string(c.table) + ".DB"), std::string::npos) << msg;
        EXPECT_NE(msg.find(std::string("'") + c.field + "'"), std::string::npos) << msg;
        EXPECT_NE(msg.find(std::string("value ") + c.value), std::string::npos) << msg;
    }
    // Checks also hold for an edited row, read again from the check files after reopening.
    dbe::TTable t;
    t.DatabaseName = dir_->path();
    t.TableName = "Holidays.DB";
    t.Open();
    t.First();
    ASSERT_FALSE(t.Eof());
    t.Edit();
    t.FieldByName("HolidayDay").SetAsString("40");
    EXPECT_THROW(t.Post(), dbe::EDBEngineError);
    t.Cancel();
    t.Close();
}

TEST_F(Acceptance, DbtoolInfoShowsTheChecksAndIndexesOfTheDefinition) {
    struct Case {
        const char* table;
        std::vector<std::string> lines;   // expected among the output's lines (UTF-8)
    };
    const Case cases[] = {
        {"Depart",
         {"level 5", "blocksize 2048", "codepage 1251", "sortorder ancyrr", "recordsize 259", "keyfields 1",
          "check DeptName required default=\"<Название отдела>\"", "check WorkStart required default=09:00:00",
          "check NoCheckTime min=0 max=30 default=5", "check Mo default=True"}},
        {"Accgroup",
         {"check Doors default=\"" + std::string(128, 'D') + "\"", "check HardAccess default=False",
          "index IndProf1 TimeProf1", "index IndProf2 TimeProf2"}},
        {"Personel",
         {"level 7", "blocksize 4096", "recordsize 1239", "keyfields 3", "check TabNum min=0 max=999999", "check IssueDate default=blank", "check ValidTo default=2010-12-31",
          "index IndCardNumber CardNumber", "index IndAccessGroup AccessGroup", "field Photo G0"}},
        {"Holidays", {"check HolidayMounth min=1 max=12 default=1", "check HolidayDay min=1 max=31 default=1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        const std::string out = *dir_ / (std::string(c.table) + "-info.txt");
        ASSERT_EQ(RunDbtool({"info", *dir_ / (std::string(c.table) + ".DB")}, out), 0);
        std::vector<std::string> lines;
        std::string text = FileBytes(out), line;
        for (char ch : text) {
            if (ch == '\n') {
                lines.push_back(line);
                line.clear();
            } else if (ch != '\r') {
                line += ch;
            }
        }
        for (const std::string& want : c.lines)
            EXPECT_NE(std::find(lines.begin(), lines.end(), want), lines.end()) << want << "\n" << text;
    }
    // A table without checks or indexes shows none.
    const std::string out = *dir_ / "Exnames-info.txt";
    ASSERT_EQ(RunDbtool({"info", *dir_ / "Exnames.DB"}, out), 0);
    const std::string text = FileBytes(out);
    EXPECT_EQ(text.find("check "), std::string::npos) << text;
    EXPECT_EQ(text.find("index "), std::string::npos) << text;
}

}  // namespace
}  // namespace dbe2test
