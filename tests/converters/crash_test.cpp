// The conversion killed at each of its file-system changes, then run again: the saved folder
// stays as it was, the new database ends with exactly the tables of a run that was never
// interrupted (byte for byte but for the update times), and nothing of the interrupted run
// stays behind. Each run is a child process (fork) that the file layer's crash hook ends with
// _exit right before or right after its n-th change (rtl/filesteps.h), with no clean-up at
// all, as a kill would.
#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cstring>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>

#include "old_database.h"
#include "rtl/filesteps.h"
#include "test_folders.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every entry under folder (sub-folders too, so that a work folder left behind shows), by
// relative name; the update time in the header of each table-format file blanked.
std::map<std::string, std::string> Contents(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        const std::string name = fs::relative(e.path(), folder).string();
        if (!e.is_regular_file()) {
            out[name + "/"] = "";
            continue;
        }
        std::string bytes = ReadFile(e.path());
        const std::string ext = e.path().extension().string();
        if ((ext == ".DB" || ext.rfind(".XG", 0) == 0) && bytes.size() >= 0x64)
            std::fill(bytes.begin() + 0x60, bytes.begin() + 0x64, '\0');
        out[name] = bytes;
    }
    return out;
}

// "" when both hold the same entries with the same bytes, else what differs.
std::string Difference(const std::map<std::string, std::string>& want, const std::map<std::string, std::string>& got) {
    std::string out;
    for (const auto& [name, bytes] : want) {
        auto it = got.find(name);
        if (it == got.end()) out += " missing " + name;
        else if (it->second != bytes) out += " differs " + name;
    }
    for (const auto& [name, bytes] : got)
        if (!want.count(name)) out += " left " + name;
    return out;
}

extern "C" char** environ;

// Starts one conversion of saved into installed by the child program, ended by the crash
// hook as exitAt says ("" never); with a log, every change is written there. -1 when it
// cannot start.
pid_t StartConversion(const fs::path& saved, const fs::path& installed, const std::string& exitAt,
                      const std::string& log = "") {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "KX_TEST_", 8) != 0) env.push_back(*e);
    if (!exitAt.empty()) env.push_back("KX_TEST_EXIT_AT_FILE_STEP=" + exitAt);
    if (!log.empty()) env.push_back("KX_TEST_FILE_STEP_LOG=" + log);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string prog = KX_CRASH_CHILD, a1 = saved.string(), a2 = installed.string(), a3 = KX_SCHEMA_ARCHIVE;
    char* argv[] = {prog.data(), a1.data(), a2.data(), a3.data(), nullptr};
    pid_t pid = 0;
    return posix_spawn(&pid, prog.c_str(), nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
}

// Its exit status: 0 done, 1 raised, kFileStepExitCode ended by the hook; -1 otherwise.
int Finished(pid_t pid) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

int Convert(const fs::path& saved, const fs::path& installed, const std::string& log = "") {
    return Finished(StartConversion(saved, installed, "", log));
}

void CopyFolder(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::create_directories(to);
    fs::copy(from, to, fs::copy_options::recursive);
}

}  // namespace

// The saved database holds a table the archive does not carry (Visitors, copied) besides the
// tables that are appended; the new database is the archive's, as installed. A second run
// after a complete one is the case "killed after the last change".
TEST(ConversionKilled, EveryChangeKilledBeforeOrAfterThenRunAgainGivesTheTablesOfOneRun) {
    const fs::path base = kxtest::FreshFolder("crash");
    const fs::path saved = base / "tmpDB", installed = base / "installed", reference = base / "reference";
    kxtest::MakeOldDatabase("L2.1", saved, {6, 3});
    kxtest::MakeInstalledDatabase(installed);
    const auto savedBefore = Contents(saved);

    CopyFolder(installed, reference);
    const fs::path log = base / "changes.log";
    ASSERT_EQ(Convert(saved, reference, log.string()), 0);
    const std::string logged = ReadFile(log);
    const long steps = static_cast<long>(std::count(logged.begin(), logged.end(), '\n'));
    ASSERT_GT(steps, 50);
    const auto want = Contents(reference);
    // The copied table is there once; a second run gives the same tables.
    {
        const fs::path twice = base / "twice";
        CopyFolder(reference, twice);
        ASSERT_EQ(Convert(saved, twice), 0);
        EXPECT_EQ(Difference(want, Contents(twice)), "");
        EXPECT_EQ(kxtest::ReadRows(twice, "Visitors.DB").size(), 12u);
    }

    // Every change n, killed right before it and right after it; a few cases side by side,
    // each in a folder of its own, in memory where the machine has such a file system (the
    // copies and comparisons of the cases cost more than the conversions otherwise).
    std::vector<std::string> cases;
    for (long n = 1; n <= steps; ++n)
        for (const char* when : {"before:", "after:"}) cases.push_back(when + std::to_string(n));
    std::error_code ec;
    const fs::path lanes = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") / ("kx_crash_" + std::to_string(getpid()))
                                                             : base / "lanes";
    struct Remove {
        fs::path p;
        ~Remove() {
            std::error_code e;
            fs::remove_all(p, e);
        }
    } removeLanes{lanes};
    const std::size_t width = 4;
    int failures = 0;
    for (std::size_t first = 0; first < cases.size() && failures < 5; first += width) {
        const std::size_t n = std::min(width, cases.size() - first);
        std::vector<pid_t> pids(n);
        for (std::size_t i = 0; i < n; ++i) {
            CopyFolder(installed, lanes / std::to_string(i));
            pids[i] = StartConversion(saved, lanes / std::to_string(i), cases[first + i]);
        }
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_EQ(Finished(pids[i]), rtl::kFileStepExitCode) << cases[first + i] << " of " << steps;
        for (std::size_t i = 0; i < n; ++i) pids[i] = StartConversion(saved, lanes / std::to_string(i), "");
        for (std::size_t i = 0; i < n; ++i) {
            SCOPED_TRACE(cases[first + i] + " of " + std::to_string(steps) + " changes");
            const int rerun = Finished(pids[i]);
            const std::string diff = Difference(want, Contents(lanes / std::to_string(i)));
            EXPECT_EQ(rerun, 0);
            EXPECT_EQ(diff, "");
            if (rerun != 0 || !diff.empty()) ++failures;
        }
    }
    EXPECT_EQ(Difference(savedBefore, Contents(saved)), "");
}
