#include "old_database.h"

#include <fstream>
#include <iterator>
#include <set>

#include "converters/archive.h"
#include "dbengine/table.h"
#include "rtl/strutil.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kxtest {

std::string AnsiPath(const fs::path& p) {
#ifdef _WIN32
    const std::wstring& w = p.native();
    if (w.empty()) return std::string();
    const int n = WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, w.data(), static_cast<int>(w.size()), out.data(), n, nullptr, nullptr);
    return out;
#else
    return p.string();
#endif
}

namespace {

bool IsBlob(dbe::TFieldType t) {
    return t == dbe::TFieldType::Memo || t == dbe::TFieldType::Graphic ||
           t == dbe::TFieldType::Blob || t == dbe::TFieldType::FmtMemo;
}

class TRowWriter {
public:
    TRowWriter(const fs::path& folder, const std::string& table) {
        t_.DatabaseName = AnsiPath(folder);
        t_.TableName = table;
        t_.Open();
    }
    ~TRowWriter() { t_.Close(); }
    void Begin() { t_.Append(); }
    void Set(const char* field, const std::string& v) {
        if (dbe::TField* f = t_.FindField(field)) {
            if (IsBlob(f->DataType())) f->SetAsBlob(v);
            else f->SetAsString(v);
        }
    }
    void Post() { t_.Post(); }

private:
    dbe::TTable t_;
};

// Text of n characters cycling through the digits and letters, so cuts show.
std::string Pattern(std::size_t n) {
    static const char kChars[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) s += kChars[i % (sizeof kChars - 1)];
    return s;
}

// "Дверь" and "Новый год" in code page 1251.
const std::string kDoorWord = "\xC4\xE2\xE5\xF0\xFC";
const std::string kNewYear = "\xCD\xEE\xE2\xFB\xE9 \xE3\xEE\xE4";

std::string Picture(int seed) {
    std::string bytes;
    for (int i = 0; i < 3000; ++i) bytes += static_cast<char>((i * 7 + seed) & 0xFF);
    return bytes;
}

void FillAccgroup(const fs::path& folder) {
    TRowWriter w(folder, "Accgroup.DB");
    const std::pair<const char*, int> groups[] = {
        {"Doors40", 40}, {"Doors60", 60}, {"Doors100", 100}, {"DoorsNull", -1}, {"Doors1", 1}};
    for (const auto& g : groups) {
        w.Begin();
        w.Set("GroupName", g.first);
        w.Set("GroupDesc", std::string("Group ") + g.first);
        w.Set("TimeProf1", "1");
        w.Set("TimeProf2", "2");
        if (g.second >= 0) w.Set("Doors", Pattern(static_cast<std::size_t>(g.second)));
        w.Set("HardAccess", "True");
        w.Post();
    }
}

void FillDoors(const fs::path& folder, const std::string& version, int doors) {
    TRowWriter w(folder, "Doors.DB");
    for (int i = 0; i < doors; ++i) {
        w.Begin();
        if (version == "L2.5") w.Set("IPAddr", rtl::Format("10.0.0.%d", 1 + i % 3));
        w.Set("COMPort", std::to_string(1 + i % 4));
        w.Set("Line", "0");
        w.Set("ContrAddr", std::to_string(1 + i / 4));
        w.Set("AreaName", kDoorWord + " " + std::to_string(i));
        w.Set("DoorDescriptor", rtl::Format("Door channel %d", i));
        w.Set("LockTime", std::to_string(i % 200));
        w.Set("OperInstruction", i % 3 == 0 ? Pattern(300 + i) : "Call the guard");
        w.Set("OperNum", std::to_string(1000 + i));
        w.Post();
    }
}

void FillPersonel(const fs::path& folder, int persons) {
    TRowWriter w(folder, "Personel.DB");
    for (int i = 0; i < persons; ++i) {
        w.Begin();
        w.Set("FirstName", rtl::Format("First%05d", i));
        w.Set("SecondName", rtl::Format("Second%d", i % 17));
        w.Set("ThirdName", "\xC8\xE2\xE0\xED\xEE\xE2\xE8\xF7");  // "Иванович"
        // Every tenth card holder has no card number and no end date: blanks that must stay
        // blank (not become the new table's defaults).
        const bool blanks = i % 10 == 3;
        if (!blanks) w.Set("CardNumber", std::to_string(500000 + i));
        w.Set("AccessGroup", i % 2 ? "Doors40" : "Doors60");
        w.Set("Departament", "Sales");
        w.Set("TabNum", std::to_string(i * 3));
        if (i % 5 == 0) w.Set("Photo", Picture(i));
        w.Set("Extra1", Pattern(static_cast<std::size_t>(i % 127)));
        w.Set("issuedate", rtl::Format("2005-%02d-%02d", 1 + i % 12, 1 + i % 28));
        if (!blanks) w.Set("ValidTo", "2009-12-31");
        w.Set("IsDeleted", i % 7 == 0 ? "True" : "False");
        w.Post();
    }
}

void FillSmallTables(const fs::path& folder, const std::string& version) {
    {
        TRowWriter w(folder, "Holidays.DB");
        const std::tuple<std::string, int, int> days[] = {
            {"New Year", 1, 1}, {kNewYear, 1, 1}, {"Labour Day", 5, 1}, {"Victory Day", 5, 9}};
        for (const auto& d : days) {
            w.Begin();
            w.Set("HolidayName", std::get<0>(d));
            w.Set("HolidayMounth", std::to_string(std::get<1>(d)));
            w.Set("HolidayDay", std::to_string(std::get<2>(d)));
            w.Post();
        }
    }
    {
        TRowWriter w(folder, "Visitors.DB");
        for (int i = 0; i < 12; ++i) {
            w.Begin();
            w.Set("VisitorName", rtl::Format("Visitor %02d", i));
            w.Set("CardNumber", std::to_string(900 + i));
            w.Set("Note", "came by");
            w.Post();
        }
    }
    if (version == "L2.1") {
        TRowWriter w(folder, "Depart.DB");
        for (int i = 0; i < 5; ++i) {
            w.Begin();
            w.Set("DeptName", rtl::Format("Dept%d", i));
            w.Set("DeptDesc", "Department");
            w.Set("WorkStart", "08:30:00");
            w.Set("WorkEnd", "17:30:00");
            w.Set("Director", "Petrov");
            w.Set("NoCheckTime", std::to_string(i * 5));
            w.Post();
        }
    } else {
        TRowWriter w(folder, "Timeprof.DB");
        for (int i = 1; i <= 5; ++i) {
            w.Begin();
            w.Set("Prof", std::to_string(i));
            w.Set("ProfName", rtl::Format("Shift %d", i));
            w.Set("Start1", "08:00:00");
            w.Set("End1", "12:00:00");
            w.Set("Mo", "True");
            w.Set("Tu", i % 2 ? "True" : "False");
            w.Post();
        }
    }
}

}  // namespace

void MakeOldDatabase(const std::string& version, const fs::path& folder, OldDatabaseSize size) {
    fs::create_directories(folder);
    for (const auto& e : fs::directory_iterator(fs::path(KX_FIXTURE_TABLES) / version))
        fs::copy_file(e.path(), folder / e.path().filename(), fs::copy_options::overwrite_existing);
    FillAccgroup(folder);
    FillDoors(folder, version, size.doors);
    FillPersonel(folder, size.persons);
    FillSmallTables(folder, version);
}

std::vector<Row> ReadRows(const fs::path& folder, const std::string& table) {
    dbe::TTable t;
    t.DatabaseName = AnsiPath(folder);
    t.TableName = table;
    t.Open();
    std::vector<Row> rows;
    for (t.First(); !t.Eof(); t.Next()) {
        Row r;
        for (int i = 0; i < t.FieldCount(); ++i) {
            dbe::TField& f = t.Fields(i);
            r[rtl::AsciiLower(f.FieldName())] = IsBlob(f.DataType()) ? f.AsBlob() : f.AsString();
        }
        rows.push_back(std::move(r));
    }
    t.Close();
    return rows;
}

std::string MissingRows(const std::vector<Row>& saved, const std::vector<Row>& now,
                        const std::vector<std::string>& skip) {
    if (saved.empty()) return "";
    const std::set<std::string> skipped(skip.begin(), skip.end());
    std::vector<std::string> fields;
    for (const auto& kv : saved.front())
        if (!skipped.count(kv.first)) fields.push_back(kv.first);
    auto project = [&](const Row& r) {
        std::string key;
        for (const auto& f : fields) {
            auto it = r.find(f);
            key += (it == r.end() ? std::string("<no field>") : it->second);
            key += '\x1F';
        }
        return key;
    };
    std::multiset<std::string> present;
    for (const auto& r : now) present.insert(project(r));
    std::string out;
    int missing = 0;
    for (const auto& r : saved) {
        if (present.count(project(r))) continue;
        if (++missing <= 3) {
            out += "missing row:";
            for (const auto& f : fields) out += " " + f + "=" + r.at(f).substr(0, 40);
            out += "\n";
        }
    }
    if (missing > 3) out += std::to_string(missing) + " rows missing in all\n";
    return out;
}

void MakeInstalledDatabase(const fs::path& folder) {
    fs::create_directories(folder);
    std::ifstream in(KX_SCHEMA_ARCHIVE, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    conv::TArchiveReader reader(bytes.data(), bytes.size());
    reader.ExtractAll(AnsiPath(folder) + "/");
}

}  // namespace kxtest
