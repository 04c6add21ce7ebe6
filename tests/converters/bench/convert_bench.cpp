// Benchmark (not a test): the conversion of a generated saved database of L2.1 structure,
// side by side with copying its bytes, and our engine's read of the saved card-holder table
// side by side with pxlib's. Every measured step runs in a child process of its own, so each
// peak memory figure is that step's alone.
//
//   converters_bench [--keep] [persons[:doors]]...     default: 10000 50000 100000, 10000 doors
//
// Prints one line per size: conversion time / cp time of the saved and the converted folders,
// the conversion's peak resident memory, our read time / pxlib's read time and both peaks.
// Steps used by the driver (also usable alone):
//   converters_bench make FOLDER PERSONS DOORS    saved database FOLDER/tmpDB, new FOLDER/KorvixNet
//   converters_bench convert FOLDER               the conversion of FOLDER/tmpDB into FOLDER/KorvixNet,
//                                                 with the door addresses set as the L2.1 converter does
//   converters_bench read FOLDER TABLE            every field of every row through TTable
//   converters_bench pxread FOLDER STEM           every field of every row through pxlib
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern "C" {
#include <paradox.h>
}

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "converters/conversion.h"
#include "dbengine/query.h"
#include "dbengine/session.h"
#include "dbengine/table.h"
#include "old_database.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

int Make(const fs::path& folder, int persons, int doors) {
    kxtest::MakeOldDatabase("L2.1", folder / "tmpDB", {persons, doors});
    kxtest::MakeInstalledDatabase(folder / "KorvixNet");
    return 0;
}

// The version's own last step, as its converter runs it once every saved table is in: the
// doors get the server's address (a fixed one here) and line 0.
class TDoorAddressSteps : public conv::TConverterSteps {
public:
    void TablesDone() override {
        dbe::TQuery query;
        query.DatabaseName = conv::kNewDatabase;
        query.SQL.push_back("UPDATE 'doors.db'");
        query.SQL.push_back("SET IPAddr=:IP,Line=0");
        dbe::TParam& ip = query.ParamByName("IP");
        ip.DataType = dbe::ftString;
        ip.SetAsString("192.168.1.10");
        ip.ParamType = dbe::ptInput;
        query.ExecSQL();
    }
};

int Convert(const fs::path& folder) {
    dbe::TSession& s = dbe::Session();
    if (s.IsAlias("KorvixNetGlobal")) s.DeleteAlias("KorvixNetGlobal");
    s.AddStandardAlias("KorvixNetGlobal", (folder / "KorvixNet").string(), "PARADOX");
    const std::string archive = ReadAll(KX_SCHEMA_ARCHIVE);
    TDoorAddressSteps steps;
    conv::RunConversion((folder / "tmpDB").string(), archive.data(), archive.size(), steps);
    return 0;
}

// Reads every field of every row as a typed value; prints a sum so nothing is optimised away.
int Read(const fs::path& folder, const std::string& table) {
    dbe::TTable t;
    t.DatabaseName = folder.string();
    t.TableName = table;
    t.Open();
    unsigned long long sum = 0, rows = 0;
    const int n = t.FieldCount();
    for (t.First(); !t.Eof(); t.Next()) {
        for (int i = 0; i < n; ++i) {
            const dbe::TValue v = t.Fields(i).Value();
            if (auto* s = std::get_if<std::string>(&v)) sum += s->size();
            else sum += v.index();
        }
        ++rows;
    }
    t.Close();
    std::printf("%llu rows, %llu\n", rows, sum);
    return 0;
}

int PxRead(const fs::path& folder, const std::string& stem) {
    PX_boot();
    pxdoc_t* doc = PX_new();
    const std::string db = (folder / (stem + ".DB")).string();
    if (PX_open_file(doc, db.c_str()) != 0) return 2;
    // pxlib's own BLOB files end short of their last chunk; it overruns a buffer on one that
    // ends on a chunk boundary, as ours do: the driver leaves it a copy one byte longer.
    const fs::path mb = folder / (stem + ".pxlib-mb");
    if (fs::exists(mb) && PX_set_blob_file(doc, mb.string().c_str()) != 0) return 3;
    // Without the primary index: pxlib then reads the records in the order the blocks hold
    // them, which is how our read goes too (through the index it searches for each record).
    pxdoc_t* index = nullptr;
    const int n = PX_get_num_records(doc), nf = PX_get_num_fields(doc);
    pxfield_t* fields = PX_get_fields(doc);
    unsigned long long sum = 0;
    for (int i = 0; i < n; ++i) {
        pxval_t** v = PX_retrieve_record(doc, i);
        if (!v) return 5;
        for (int f = 0; f < nf; ++f) {
            const char type = fields[f].px_ftype;
            const bool text = type == pxfAlpha || type == pxfMemoBLOb || type == pxfBLOb || type == pxfGraphic ||
                              type == pxfBytes || type == pxfFmtMemoBLOb || type == pxfOLE;
            if (!v[f]->isnull) {
                if (text) {
                    sum += static_cast<unsigned long long>(v[f]->value.str.len);
                    doc->free(doc, v[f]->value.str.val);
                } else {
                    sum += 1;
                }
            }
            FREE_PXVAL(doc, v[f]);
        }
        doc->free(doc, v);
    }
    PX_close(doc);
    PX_delete(doc);
    if (index) {
        PX_close(index);
        PX_delete(index);
    }
    PX_shutdown();
    std::printf("%d rows, %llu\n", n, sum);
    return 0;
}

struct Run {
    double seconds = 0;
    double peakMiB = 0;
    bool ok = false;
};

// Runs argv as a child, its output to /dev/null; wall time and the child's peak memory.
Run Child(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    Run r;
    const auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) return r;
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid) return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.peakMiB = double(ru.ru_maxrss) / 1024.0;
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!r.ok) std::fprintf(stderr, "step failed: %s %s\n", args[0].c_str(), args.size() > 1 ? args[1].c_str() : "");
    return r;
}

std::string Self() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, size_t(n)) : std::string("converters_bench");
}

double Best(std::vector<Run> runs) {
    double b = 1e30;
    for (auto& r : runs) b = std::min(b, r.seconds);
    return b;
}

int Drive(const std::vector<std::pair<int, int>>& sizes, bool keep) {
    const std::string self = Self();
    const fs::path base = fs::temp_directory_path() / ("kx_bench_" + std::to_string(getpid()));
    std::printf("%8s %6s | %9s %9s %7s %9s | %9s %9s %7s %9s %9s\n", "persons", "doors", "convert", "cp", "ratio",
                "peak MiB", "our read", "pxlib", "ratio", "our MiB", "pxlib MiB");
    int failures = 0;
    for (const auto& [persons, doors] : sizes) {
        const fs::path folder = base / std::to_string(persons);
        std::error_code ec;
        fs::remove_all(folder, ec);
        fs::create_directories(folder);
        if (!Child({self, "make", folder.string(), std::to_string(persons), std::to_string(doors)}).ok) {
            ++failures;
            continue;
        }
        // The saved table as pxlib reads it, before the conversion touches anything.
        const fs::path saved = folder / "tmpDB";
        fs::copy_file(saved / "Personel.MB", saved / "Personel.pxlib-mb");
        std::ofstream(saved / "Personel.pxlib-mb", std::ios::binary | std::ios::app).put('\0');
        Run ours = Child({self, "read", saved.string(), "Personel.DB"});
        Run ours2 = Child({self, "read", saved.string(), "Personel.DB"});
        Run px = Child({self, "pxread", saved.string(), "Personel"});
        Run px2 = Child({self, "pxread", saved.string(), "Personel"});
        fs::remove(saved / "Personel.pxlib-mb");

        Run conv = Child({self, "convert", folder.string()});
        // cp of what the conversion read and wrote: the saved folder and the converted one.
        const fs::path copy = folder / "copy";
        std::vector<Run> cps;
        for (int i = 0; i < 3; ++i) {
            fs::remove_all(copy, ec);
            fs::create_directories(copy);
            cps.push_back(Child({"/bin/cp", "-r", saved.string(), (folder / "KorvixNet").string(), copy.string()}));
        }
        fs::remove_all(copy, ec);
        const double cp = Best(cps), rd = Best({ours, ours2}), prd = Best({px, px2});
        failures += !(conv.ok && ours.ok && px.ok && cps.back().ok);
        std::printf("%8d %6d | %8.3fs %8.3fs %6.1fx %9.1f | %8.3fs %8.3fs %6.2fx %9.1f %9.1f\n", persons, doors,
                    conv.seconds, cp, cp > 0 ? conv.seconds / cp : 0, conv.peakMiB, rd, prd, prd > 0 ? rd / prd : 0,
                    ours.peakMiB, px.peakMiB);
        std::fflush(stdout);
        if (!keep) fs::remove_all(folder, ec);
    }
    std::error_code ec;
    if (!keep) fs::remove_all(base, ec);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> a(argv + 1, argv + argc);
    try {
        if (!a.empty() && a[0] == "make" && a.size() == 4) return Make(a[1], std::atoi(a[2].c_str()), std::atoi(a[3].c_str()));
        if (!a.empty() && a[0] == "convert" && a.size() == 2) return Convert(a[1]);
        if (!a.empty() && a[0] == "read" && a.size() == 3) return Read(a[1], a[2]);
        if (!a.empty() && a[0] == "pxread" && a.size() == 3) return PxRead(a[1], a[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::vector<std::pair<int, int>> sizes;
    bool keep = false;
    for (const std::string& s : a) {
        if (s == "--keep") {
            keep = true;
            continue;
        }
        const auto colon = s.find(':');
        sizes.emplace_back(std::atoi(s.c_str()), colon == std::string::npos ? 10000 : std::atoi(s.c_str() + colon + 1));
    }
    if (sizes.empty()) sizes = {{10000, 10000}, {50000, 10000}, {100000, 10000}};
    return Drive(sizes, keep);
}
