// Size benchmark of the batch move: a Personel-shaped table (three key fields, 27 fields,
// two secondary indexes, a Graphic field) moved in append-update mode into an empty keyed
// table, then the same rows again into the now full table (every row replaced).
//
// Usage: dbengine2_bench [rows...]   (default: 10000 100000)
// Prints, per size, the seconds and rows per second of both moves and the process's peak
// memory so far, then the cost ratio between consecutive sizes against the row ratio.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dbengine/dbengine.h"
#include "secondary_index.h"
#include "tabledata.h"
#include "val_checks.h"

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

namespace {

using namespace dbe;
using namespace dbe::detail;
namespace fs = std::filesystem;

double PeakMiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS pmc{};
    if (GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)) return double(pmc.PeakWorkingSetSize) / 1048576.0;
    return -1;
#else
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_maxrss) / 1024.0;
#endif
}

FieldSpec F(const char* name, TFieldType t, int size = 0, bool key = false) {
    FieldSpec f;
    f.name = name;
    f.type = t;
    f.size = size;
    f.key = key;
    return f;
}

CreateSpec PersonelSpec(bool checks) {
    CreateSpec s;
    s.tableName = "Personel";
    s.level = 7;
    s.blockSize = 4096;
    s.codePage = 1251;
    s.sortOrder = "ancyrr";
    s.fields = {F("FirstName", TFieldType::String, 31, true), F("SecondName", TFieldType::String, 31, true),
                F("ThirdName", TFieldType::String, 31, true), F("CardNumber", TFieldType::Integer),
                F("AccessGroup", TFieldType::String, 31), F("Departament", TFieldType::String, 31),
                F("EmpStatus", TFieldType::String, 31), F("TabNum", TFieldType::Integer),
                F("CanOffSound", TFieldType::Boolean), F("CanArmDisarm", TFieldType::Boolean),
                F("CanCrossLock", TFieldType::Boolean), F("CanGetAlarm", TFieldType::Boolean),
                F("Photo", TFieldType::Graphic, 0)};
    for (int i = 1; i <= 8; ++i) {
        static std::string names[9];
        names[i] = "Extra" + std::to_string(i);
        s.fields.push_back(F(names[i].c_str(), TFieldType::String, 127));
    }
    for (const char* n : {"IssueDate", "KeyIsTemp", "ValidFrom", "ValidTo", "IsDeleted", "Inside"})
        s.fields.push_back(F(n, n[0] == 'I' && n[1] == 's' && n[2] == 's' ? TFieldType::Date
                               : (n[0] == 'V') ? TFieldType::Date : TFieldType::Boolean));
    if (checks) {
        for (FieldSpec& f : s.fields) {
            if (f.name == "CardNumber") f.hasDefault = true, f.defaultValue = "0";
            if (f.name == "TabNum") f.hasMin = f.hasMax = true, f.minValue = "0", f.maxValue = "999999";
            if (f.name == "CanOffSound") f.hasDefault = true, f.defaultValue = "True";
            if (f.name == "ValidTo") f.hasDefault = true, f.defaultValue = "2010-12-31";
        }
        s.indexes = {{"IndCardNumber", {"CardNumber"}}, {"IndAccessGroup", {"AccessGroup"}}};
    }
    return s;
}

// Fills the source table's rows directly (setting up is not what is measured).
void FillSource(const std::string& dbPath, int n) {
    auto t = AcquireTable(dbPath);
    const Schema& s = t->schema;
    for (int i = 0; i < n; ++i) {
        RecordPtr r = t->NewRecord();
        char buf[64];
        std::snprintf(buf, sizeof buf, "First%07d", (i * 7919) % n);
        EncodeValue(s, s.fields[0], *r, std::string(buf));
        std::snprintf(buf, sizeof buf, "Second%05d", i % 977);
        EncodeValue(s, s.fields[1], *r, std::string(buf));
        EncodeValue(s, s.fields[2], *r, std::string("Third"));
        EncodeValue(s, s.fields[3], *r, int32_t(100000 + (i * 31) % n));
        std::snprintf(buf, sizeof buf, "Group%03d", i % 50);
        EncodeValue(s, s.fields[4], *r, std::string(buf));
        EncodeValue(s, s.fields[7], *r, int32_t(i % 999999));
        EncodeValue(s, s.fields[8], *r, bool(i & 1));
        if (i % 20 == 0) EncodeValue(s, s.fields[12], *r, std::string(600, char('a' + i % 26)));
        EncodeValue(s, s.fields[13], *r, std::string(100, 'x'));
        t->InsertRow(std::move(r));
    }
    FlushTable(*t);
    ReleaseTable(t);
}

double MoveSeconds(const std::string& srcFolder, const std::string& dstFolder) {
    TTable src, dst;
    src.DatabaseName = srcFolder;
    src.TableName = "Personel.DB";
    dst.DatabaseName = dstFolder;
    dst.TableName = "Personel.DB";
    src.Open();
    TBatchMove bm;
    bm.Source = &src;
    bm.Destination = &dst;
    bm.Mode = batAppendUpdate;
    for (const auto& d : src.FieldDefs()) bm.Mappings.push_back(d.Name + "=" + d.Name);
    auto t0 = std::chrono::steady_clock::now();
    bm.Execute();
    auto t1 = std::chrono::steady_clock::now();
    src.Close();
    return std::chrono::duration<double>(t1 - t0).count();
}

}  // namespace

int Run(int argc, char** argv) {
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {10000, 100000};
    const fs::path base = fs::temp_directory_path() / "kxdbe2_bench";
    double prevEmpty = 0, prevFull = 0;
    int prevN = 0;
    for (int n : sizes) {
        std::error_code ec;
        fs::remove_all(base, ec);
        const std::string srcDir = (base / "src").string() + "/", dstDir = (base / "dst").string() + "/";
        fs::create_directories(srcDir);
        fs::create_directories(dstDir);
        FillSource(CreateTable(srcDir, PersonelSpec(false)), n);
        CreateTable(dstDir, PersonelSpec(true));
        const double empty = MoveSeconds(srcDir, dstDir);
        const double full = MoveSeconds(srcDir, dstDir);
        TTable check;
        check.DatabaseName = dstDir;
        check.TableName = "Personel.DB";
        check.Open();
        const int count = check.RecordCount();
        check.Close();
        std::printf("rows %7d  into empty: %7.3f s %9.0f rows/s   replacing all: %7.3f s %9.0f rows/s   "
                    "destination rows %d   peak memory %.1f MiB\n",
                    n, empty, n / empty, full, n / full, count, PeakMiB());
        if (count != n) {
            std::printf("FAILED: destination holds %d rows, expected %d\n", count, n);
            return 1;
        }
        if (prevN) {
            const double r = double(n) / prevN;
            std::printf("  growth for %.0fx rows: into empty %.1fx, replacing all %.1fx (linear %.1fx, n log n %.1fx)\n",
                        r, empty / prevEmpty, full / prevFull, r, r * std::log2(double(n)) / std::log2(double(prevN)));
        }
        prevN = n;
        prevEmpty = empty;
        prevFull = full;
        fs::remove_all(base, ec);
    }
    return 0;
}

int main(int argc, char** argv) {
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::printf("FAILED: %s\n", e.what());
        return 1;
    }
}
