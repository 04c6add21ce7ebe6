// Benchmark (not a test): converts a generated saved database of L2.1 structure with the given
// numbers of card holders and doors and prints the time taken and the peak memory.
//   converters_bench [persons doors]...      default: 10000 10000 100000 10000
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "converters/conversion.h"
#include "dbengine/session.h"
#include "old_database.h"
#include "test_folders.h"

namespace {

long PeakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

void RunOnce(int persons, int doors) {
    const auto base = kxtest::FreshFolder("bench");
    const auto saved = base / "tmpDB", installed = base / "KorvixNet";
    auto t0 = std::chrono::steady_clock::now();
    kxtest::MakeOldDatabase("L2.1", saved, {persons, doors});
    kxtest::MakeInstalledDatabase(installed);
    auto t1 = std::chrono::steady_clock::now();

    dbe::TSession& s = dbe::Session();
    if (s.IsAlias("KorvixNetGlobal")) s.DeleteAlias("KorvixNetGlobal");
    s.AddStandardAlias("KorvixNetGlobal", installed.string(), "PARADOX");
    std::ifstream in(KX_SCHEMA_ARCHIVE, std::ios::binary);
    const std::string archive((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    conv::TConverterSteps steps;
    conv::RunConversion(saved.string(), archive.data(), archive.size(), steps);
    auto t2 = std::chrono::steady_clock::now();

    const auto moved = kxtest::ReadRows(installed, "Personel.DB").size();
    using ms = std::chrono::milliseconds;
    std::printf("persons=%d doors=%d: fixture %lld ms, conversion %lld ms, %zu card holders in the "
                "new table, peak memory %ld KiB\n",
                persons, doors, static_cast<long long>(std::chrono::duration_cast<ms>(t1 - t0).count()),
                static_cast<long long>(std::chrono::duration_cast<ms>(t2 - t1).count()), moved,
                PeakKiB());
    std::fflush(stdout);
    std::error_code ec;
    kxtest::fs::remove_all(base, ec);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::pair<int, int>> runs;
    for (int i = 1; i + 1 < argc; i += 2) runs.emplace_back(std::atoi(argv[i]), std::atoi(argv[i + 1]));
    if (runs.empty()) runs = {{10000, 10000}, {100000, 10000}};
    for (const auto& r : runs) RunOnce(r.first, r.second);
    return 0;
}
