#include "rtl/filesteps.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace rtl {

namespace {

struct Plan {
    bool active = false;    // either variable set
    bool exitAt = false;
    bool after = false;
    long n = 0;             // the n-th matching call
    std::string text;       // "" matches every call
    std::string log;
    long count = 0;         // every call
    long matched = 0;       // the calls that match text
    bool pendingExit = false;
};

Plan MakePlan(const char* exitAt, const char* log) {
    Plan p;
    if (exitAt) {
        const std::string s = exitAt;
        const std::size_t c1 = s.find(':');
        if (c1 != std::string::npos) {
            const std::string when = s.substr(0, c1);
            const std::size_t c2 = s.find(':', c1 + 1);
            p.n = std::atol(s.substr(c1 + 1, c2 == std::string::npos ? std::string::npos : c2 - c1 - 1).c_str());
            if (c2 != std::string::npos) p.text = s.substr(c2 + 1);
            p.after = when == "after";
            p.exitAt = (when == "before" || when == "after") && p.n > 0;
        }
    }
    if (log) p.log = log;
    p.active = p.exitAt || !p.log.empty();
    return p;
}

Plan& ThePlan() {
    static Plan plan = MakePlan(std::getenv("KX_TEST_EXIT_AT_FILE_STEP"), std::getenv("KX_TEST_FILE_STEP_LOG"));
    return plan;
}

[[noreturn]] void EndNow() {
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(kFileStepExitCode));
#endif
    _exit(kFileStepExitCode);
}

}  // namespace

void BeforeFileStep(const char* kind, const std::string& path) {
    Plan& p = ThePlan();
    ++p.count;
    if (!p.active) return;
    const std::string what = std::string(kind) + " " + path;
    if (!p.log.empty()) {
        if (std::FILE* f = std::fopen(p.log.c_str(), "ab")) {
            std::fprintf(f, "%ld %s\n", p.count, what.c_str());
            std::fclose(f);
        }
    }
    if (!p.exitAt || (!p.text.empty() && what.find(p.text) == std::string::npos)) return;
    if (++p.matched != p.n) return;
    if (!p.after) EndNow();
    p.pendingExit = true;
}

void AfterFileStep() {
    if (ThePlan().pendingExit) EndNow();
}

}  // namespace rtl
