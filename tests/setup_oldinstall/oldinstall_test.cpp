// The earlier installation in the uninstall registry, the old configuration copy, and the
// starts of the uninstaller, of setup.prg and of the restore-mode instance.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "fixture_util.h"
#include "globals.h"
#include "oldinstall.h"
#include "rtl/exceptions.h"
#include "uidriver/uidriver.h"

namespace {

const char* const kConfigCopy = "C:\\a.tmp";

// Ends the test program when a wait without time limit outlives its bound, so a fault in a
// wait fails the test instead of hanging it.
class Watchdog {
public:
    Watchdog(DWORD ms, const char* what) {
        thread_ = std::thread([this, ms, what] {
            DWORD start = GetTickCount();
            while (!done_) {
                if (GetTickCount() - start > ms) {
                    std::fprintf(stderr, "watchdog: %s did not return within %lu ms\n", what,
                                 static_cast<unsigned long>(ms));
                    std::fflush(stderr);
                    ExitProcess(99);
                }
                Sleep(20);
            }
        });
    }
    ~Watchdog() {
        done_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// Each test starts without product entries and with "C:\a.tmp" as it was; both are put back.
class OldInstall : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fixture::FreshFolder("oldinstall", ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fixture::RemoveProductEntries();
        hadCopy_ = fixture::Exists(kConfigCopy);
        if (hadCopy_) savedCopy_ = fixture::ReadFile(kConfigCopy);
        std::memset(&ProcessInfo, 0, sizeof ProcessInfo);
    }
    void TearDown() override {
        // A stand-in that a failed test left running.
        if (ProcessInfo.dwProcessId) uidriver::KillPid(ProcessInfo.dwProcessId);
        fixture::RemoveProductEntries();
        if (hadCopy_)
            fixture::WriteFile(kConfigCopy, savedCopy_);
        else
            DeleteFileA(kConfigCopy);
    }

    // An installation folder <dir_><name>\ with Bin\ and the given configuration files.
    std::string MakeInstallation(const std::string& name, const char* lumex, const char* ostra) {
        std::string folder = dir_ + name + "\\";
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA((folder + "Bin").c_str(), nullptr);
        if (lumex) fixture::WriteFile(folder + "Bin\\lumex.cfg", lumex);
        if (ostra) fixture::WriteFile(folder + "Bin\\ostra.cfg", ostra);
        return folder;
    }
    static std::string UsualCommand(const std::string& folder) {
        return "C:\\windows\\IsUninst.exe -f" + folder + "DeIsL1.isu";
    }
    // An uninstaller stand-in <dir_><file> with its settings; returns its path.
    std::string MakeUninstaller(const std::string& file, const std::string& settings) {
        std::string exe = dir_ + file;
        EXPECT_TRUE(fixture::CopyFromTestBin("standin_uninstaller.exe", dir_, file));
        fixture::WriteFile(exe + ".ini", "[StandIn]\r\n" + settings);
        return exe;
    }
    // setup.prg stand-in in dir_ with its settings; SetupDir := dir_.
    void MakeSetupPrg(const std::string& settings) {
        ASSERT_TRUE(fixture::CopyFromTestBin("standin_setup.exe", dir_, "setup.prg"));
        fixture::WriteFile(dir_ + "setup.prg.ini", "[StandIn]\r\n" + settings);
        SetupDir = dir_;
    }

    std::string dir_;
    bool hadCopy_ = false;
    std::string savedCopy_;
};

TEST(ProductEntryRule, FoldsOnlyAToZAndLooksForTheFiveWords) {
    struct Case { const char* name; bool product; };
    const Case cases[] = {
        {"Korvix Net 2.0", true}, {"KORVIXNET", true}, {"Lumex", true}, {"ostra client", true},
        {"Korvix Tools", false}, {"Korvix-Net", false}, {"KORVIX LIGHT 1.2", true},
        {"korvix  net", false},  // two blanks
        {"xOSTRAx", true}, {"Lume x", false}, {"", false}, {"Korvix\tNet", false},
        {"{1A2B}Lumex", true}, {"Korvix Lite", false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(IsProductEntry(cases[i].name), cases[i].product) << "case " << i << " " << cases[i].name;
}

TEST(InstallFolderRule, TextBetweenTheFirstDashFAndTheFirstDeIsL) {
    struct Case { const char* command; const char* folder; };
    const Case cases[] = {
        {"C:\\WINDOWS\\IsUninst.exe -fC:\\Korvix\\DeIsL1.isu", "C:\\Korvix\\"},
        {"IsUninst.exe -f\"C:\\Korvix Net\\DeIsL1.isu\"", "\"C:\\Korvix Net\\"},  // keeps the quote
        {"abcDeIsL", "bc"},                      // no "-f": from the second character
        {"IsUninst.exe -fC:\\Korvix\\", ""},     // no "DeIsL"
        {"DeIsL1.isu -fC:\\Korvix\\", ""},       // "DeIsL" first
        {"-fDeIsL", ""},                         // nothing between
        {"a -fX\\ -fY\\DeIsL", "X\\ -fY\\"},     // the first "-f" counts
        {"x -FC:\\K\\DeIsL -fC:\\L\\", ""},      // case-sensitive: "-F" is not "-f"
        {"", ""},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(InstallFolderFromCommand(cases[i].command), cases[i].folder) << "case " << i;
}

TEST(RestoreCommand, QuotesThePathAndPassesTheVersionAsOneArgument) {
    struct Case { const char* version; const char* expected; };
    const Case cases[] = {
        {"L2.1", "\"C:\\Program Files\\Korvix\\setup.exe\" L2.1"},
        {"L2", "\"C:\\Program Files\\Korvix\\setup.exe\" L2"},
        {"L2 1", "\"C:\\Program Files\\Korvix\\setup.exe\" \"L2 1\""},
        {"L2\t1", "\"C:\\Program Files\\Korvix\\setup.exe\" \"L2\t1\""},
        {"L\"2", ""},  // a quote cannot be passed: refused
        {"", ""},      // no argument at all would mean wizard mode: refused
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_EQ(RestoreCommandLine("C:\\Program Files\\Korvix\\setup.exe", cases[i].version),
                  cases[i].expected)
            << "case " << i;
}

TEST_F(OldInstall, CountsProductEntriesInEnumerationOrder) {
    const char* names[] = {"Korvix Net 2.0", "KORVIXNET", "Lumex", "ostra client", "Korvix Tools", "Korvix-Net"};
    for (const char* n : names) ASSERT_TRUE(fixture::SetEntry(n, "nothing"));
    std::string first;
    EXPECT_EQ(CountOldInstallEntries(&first), 4);
    std::string expectedFirst;
    for (const std::string& n : fixture::Subkeys())
        if (n == "Korvix Net 2.0" || n == "KORVIXNET" || n == "Lumex" || n == "ostra client") {
            expectedFirst = n;
            break;
        }
    EXPECT_EQ(first, expectedFirst);
    EXPECT_EQ(UninstallSubkeys(), fixture::Subkeys());
    EXPECT_EQ(CountOldInstallEntries(), 4);

    for (const char* n : names) fixture::RemoveEntry(n);
    EXPECT_EQ(CountOldInstallEntries(&first), 0);
    EXPECT_EQ(first, "");
    EXPECT_FALSE(FindOldInstallation());
}

TEST_F(OldInstall, ConfigurationCopyFollowsTheFilesPresent) {
    struct Case {
        const char* lumex;
        const char* ostra;
        bool quoted;  // "-f" followed by a quoted path: no folder found
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, false, "marker"},
        {"[Net]\r\nL=1\r\n", nullptr, false, "[Net]\r\nL=1\r\n"},
        {nullptr, "[Net]\r\nO=1\r\n", false, "[Net]\r\nO=1\r\n"},
        {"[Net]\r\nL=1\r\n", "[Net]\r\nO=1\r\n", false, "[Net]\r\nO=1\r\n"},
        {"[Net]\r\nL=1\r\n", "[Net]\r\nO=1\r\n", true, "marker"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        SCOPED_TRACE(i);
        const Case& c = cases[i];
        fixture::WriteFile(kConfigCopy, "marker");
        std::string folder = MakeInstallation("case" + std::to_string(i), c.lumex, c.ostra);
        std::string command = c.quoted ? "IsUninst.exe -f\"" + folder + "DeIsL1.isu\"" : UsualCommand(folder);
        ASSERT_TRUE(fixture::SetEntry("Lumex", command));
        EXPECT_TRUE(FindOldInstallation());
        EXPECT_EQ(fixture::ReadFile(kConfigCopy), c.expected);
        fixture::RemoveEntry("Lumex");
    }
    // Only product entries count: a configuration behind another entry is not copied.
    fixture::WriteFile(kConfigCopy, "marker");
    std::string other = MakeInstallation("other", "x", "y");
    ASSERT_TRUE(fixture::SetEntry("Korvix Tools", UsualCommand(other)));
    EXPECT_FALSE(FindOldInstallation());
    EXPECT_EQ(fixture::ReadFile(kConfigCopy), "marker");
    fixture::RemoveEntry("Korvix Tools");
}

TEST_F(OldInstall, TwoEntriesCopyTheLaterOnesConfigurationAndUninstallTheEarlierOne) {
    std::string a = MakeInstallation("a", nullptr, "from A");
    std::string b = MakeInstallation("b", nullptr, "from B");
    std::string ua = MakeUninstaller("a_uninst.exe", "Mode=keep\r\nDelayMs=0\r\n");
    std::string ub = MakeUninstaller("b_uninst.exe", "Mode=keep\r\nDelayMs=0\r\n");
    ASSERT_TRUE(fixture::SetEntry("Lumex Alpha", ua + " -f" + a + "DeIsL1.isu"));
    ASSERT_TRUE(fixture::SetEntry("Ostra Beta", ub + " -f" + b + "DeIsL1.isu"));
    std::vector<std::string> order;
    for (const std::string& n : fixture::Subkeys())
        if (n == "Lumex Alpha" || n == "Ostra Beta") order.push_back(n);
    ASSERT_EQ(order.size(), 2u);
    bool alphaFirst = order[0] == "Lumex Alpha";

    ASSERT_TRUE(FindOldInstallation());
    EXPECT_EQ(fixture::ReadFile(kConfigCopy), alphaFirst ? "from B" : "from A");
    std::string first;
    EXPECT_EQ(CountOldInstallEntries(&first), 2);
    EXPECT_EQ(first, order[0]);
    EXPECT_TRUE(RunOldUninstaller(first));
    EXPECT_EQ(fixture::Exists((alphaFirst ? ua : ub) + ".log"), true);
    EXPECT_EQ(fixture::Exists((alphaFirst ? ub : ua) + ".log"), false);
}

TEST_F(OldInstall, NonStringUninstallStringIsARegistryError) {
    ASSERT_TRUE(fixture::SetEntryRaw("Lumex", REG_DWORD));
    try {
        FindOldInstallation();
        FAIL() << "no exception";
    } catch (const rtl::ERegistryException& e) {
        EXPECT_EQ(e.Message(), "Invalid data type for 'UninstallString'");
        EXPECT_STREQ(e.ClassName(), "ERegistryException");
    }
    EXPECT_THROW(RunOldUninstaller("Lumex"), rtl::ERegistryException);
    // Counting reads no values.
    EXPECT_EQ(CountOldInstallEntries(), 1);

    // An absent value is empty text: found, nothing copied, nothing to start.
    fixture::RemoveEntry("Lumex");
    ASSERT_TRUE(fixture::SetEntryRaw("Lumex", REG_NONE));
    fixture::WriteFile(kConfigCopy, "marker");
    EXPECT_TRUE(FindOldInstallation());
    EXPECT_EQ(fixture::ReadFile(kConfigCopy), "marker");
    EXPECT_FALSE(RunOldUninstaller("Lumex"));
}

TEST_F(OldInstall, UninstallerRunsTheCommandAndTheCountsTellWhatHappened) {
    struct Case {
        const char* mode;
        int countAfter;        // right after RunOldUninstaller returned
        int countLater;        // once everything it started has ended
        DWORD minMs;           // it waited at least this long
    };
    const Case cases[] = {
        {"remove", 0, 0, 400},
        {"keep", 1, 1, 400},   // the user cancelled
        {"exit", 1, 1, 0},
        {"spawn", 1, 0, 0},    // returned early: the removal has not happened yet
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mode);
        std::string exe = MakeUninstaller(std::string(c.mode) + "_uninst.exe",
                                          std::string("Mode=") + c.mode + "\r\nEntry=Lumex\r\nDelayMs=800\r\n");
        std::string command = exe + " -f" + dir_ + "DeIsL1.isu";
        ASSERT_TRUE(fixture::SetEntry("Lumex", command));
        ASSERT_EQ(CountOldInstallEntries(), 1);
        DWORD start = GetTickCount();
        {
            Watchdog dog(15000, "RunOldUninstaller");
            EXPECT_TRUE(RunOldUninstaller("Lumex"));
        }
        DWORD took = GetTickCount() - start;
        EXPECT_GE(took + 50, c.minMs);
        EXPECT_EQ(CountOldInstallEntries(), c.countAfter);
        if (c.countLater != c.countAfter) {
            EXPECT_TRUE(fixture::WaitUntil([] { return CountOldInstallEntries() == 0; }, 5000));
        }
        EXPECT_EQ(CountOldInstallEntries(), c.countLater);
        auto log = fixture::ReadLines(exe + ".log");
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log[0], command);  // the uninstall command is the whole command line
        fixture::RemoveEntry("Lumex");
    }
}

TEST_F(OldInstall, UninstallerThatCannotRunIsNotWaitedFor) {
    // The entry vanished after it was counted.
    EXPECT_FALSE(RunOldUninstaller("Lumex"));
    EXPECT_EQ(ProcessInfo.hProcess, nullptr);
    // The command names no program.
    ASSERT_TRUE(fixture::SetEntry("Lumex", dir_ + "missing_uninst.exe -fC:\\K\\DeIsL1.isu"));
    Watchdog dog(10000, "RunOldUninstaller");
    DWORD start = GetTickCount();
    EXPECT_FALSE(RunOldUninstaller("Lumex"));
    EXPECT_LT(GetTickCount() - start, 3000u);
}

// A hidden top-level window of this thread, of a class of its own.
HWND ThreadWindow(const char* className, WNDPROC proc) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);
    return CreateWindowExA(0, className, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// Messages that the asked window of the next test received: sent ones and posted ones.
int g_sent = 0, g_posted = 0;
LRESULT CALLBACK AskedProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_APP + 1) {
        ++g_sent;
        return 42;
    }
    if (msg == WM_APP + 2) {
        ++g_posted;
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

// An uninstaller that asks our window something before it exits: the wait answers it (no
// deadlock), yet handles no posted message meanwhile.
TEST_F(OldInstall, UninstallerWaitAnswersSentMessagesOnly) {
    HWND asked = ThreadWindow("KxAskedWindow", AskedProc);
    ASSERT_NE(asked, nullptr);
    g_sent = g_posted = 0;
    PostMessageA(asked, WM_APP + 2, 0, 0);
    std::string exe = MakeUninstaller("asking_uninst.exe",
                                      "Mode=remove\r\nEntry=Lumex\r\nDelayMs=0\r\nSendTo=KxAskedWindow\r\n");
    ASSERT_TRUE(fixture::SetEntry("Lumex", exe));
    {
        Watchdog dog(15000, "RunOldUninstaller");
        EXPECT_TRUE(RunOldUninstaller("Lumex"));
    }
    EXPECT_EQ(g_sent, 1);
    EXPECT_EQ(g_posted, 0) << "a posted message was handled during the wait";
    EXPECT_EQ(CountOldInstallEntries(), 0);
    auto log = fixture::ReadLines(exe + ".log");
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "answer 42");
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, asked, WM_APP + 2, WM_APP + 2, PM_REMOVE));
    DestroyWindow(asked);
}

// Counts WM_TIMER of a window owned by the waiting thread: ticks mean messages were handled.
int g_ticks = 0;
LRESULT CALLBACK TickProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER) {
        ++g_ticks;
        return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
}

TEST_F(OldInstall, SetupProgramRunsAndTheWaitFollowsItsWindowsWhileHandlingMessages) {
    MakeSetupPrg("MainMs=700\r\nDeleteMs=700\r\nRegister=Korvix Net 3.0\r\n"
                 "UninstallString=C:\\K\\uninst.exe -fC:\\K\\DeIsL1.isu\r\n");
    HWND ticker = ThreadWindow("KxTickWindow", TickProc);
    ASSERT_NE(ticker, nullptr);
    g_ticks = 0;
    SetTimer(ticker, 1, 100, nullptr);

    EXPECT_EQ(CountOldInstallEntries(), 0);
    ASSERT_TRUE(StartSetupProgram());
    DWORD start = GetTickCount();
    {
        Watchdog dog(20000, "WaitForInstallShield");
        WaitForInstallShield();
    }
    DWORD took = GetTickCount() - start;
    KillTimer(ticker, 1);
    DestroyWindow(ticker);

    EXPECT_GE(took, 1300u);  // both windows' times
    EXPECT_EQ(FindWindowA("InstallShield_Win", nullptr), nullptr);
    EXPECT_EQ(FindWindowA("isdelete", nullptr), nullptr);
    EXPECT_EQ(CountOldInstallEntries(), 1);  // the set-up registered the new version
    EXPECT_EQ(fixture::ReadLines(dir_ + "setup.prg.log"), std::vector<std::string>{dir_ + "setup.prg"});
    EXPECT_GE(g_ticks, 5) << "messages were not processed during the wait";
    WaitForSingleObject(ProcessInfo.hProcess, 5000);
}

int g_steps = 0;
void CountingPump() {
    ++g_steps;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

TEST_F(OldInstall, WaitPausesBetweenStepsThroughTheCallersMessageStep) {
    MakeSetupPrg("MainMs=1000\r\n");
    ASSERT_TRUE(StartSetupProgram());
    g_steps = 0;
    DWORD start = GetTickCount();
    {
        Watchdog dog(15000, "WaitForInstallShield");
        WaitForInstallShield(CountingPump);
    }
    DWORD took = GetTickCount() - start;
    EXPECT_GE(took, 900u);
    // About one step per 50 ms; a loop without pauses makes thousands.
    EXPECT_GE(g_steps, 3);
    EXPECT_LT(g_steps, static_cast<int>(took / 20) + 10) << g_steps << " steps in " << took << " ms";
    WaitForSingleObject(ProcessInfo.hProcess, 5000);
}

TEST_F(OldInstall, WaitEndsOneStepAfterTheMainWindowWhenNoIsdeleteFollows) {
    MakeSetupPrg("MainMs=300\r\nRegister=Lumex 5\r\nCancel=1\r\n");
    ASSERT_TRUE(StartSetupProgram());
    ASSERT_NE(uidriver::WaitForWindow({"InstallShield_Win", "", ProcessInfo.dwProcessId}, 5000), nullptr);
    {
        Watchdog dog(15000, "WaitForInstallShield");
        WaitForInstallShield();
    }
    EXPECT_EQ(FindWindowA("InstallShield_Win", nullptr), nullptr);
    EXPECT_EQ(CountOldInstallEntries(), 0);  // cancelled: nothing registered
    WaitForSingleObject(ProcessInfo.hProcess, 5000);
}

// A set-up whose own window never comes: its process ends, and after a short grace the wait
// ends as for a cancelled set-up instead of looking for the window for ever.
TEST_F(OldInstall, WaitEndsWhenTheSetUpEndsWithoutItsWindow) {
    struct Case { const char* settings; DWORD minMs; };
    const Case cases[] = {
        {"Mode=exit\r\n", 0},
        {"Mode=box\r\nBoxMs=600\r\n", 600},  // an error window of its own, then it exits
        {"Mode=crash\r\nCrashMs=300\r\n", 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        MakeSetupPrg(c.settings);
        ASSERT_TRUE(StartSetupProgram());
        DWORD start = GetTickCount();
        {
            Watchdog dog(20000, "WaitForInstallShield");
            WaitForInstallShield();
        }
        DWORD took = GetTickCount() - start;
        EXPECT_EQ(WaitForSingleObject(ProcessInfo.hProcess, 0), WAIT_OBJECT_0);
        EXPECT_GE(took + 50, c.minMs + 1000) << "no grace for a window still being created";
        EXPECT_LT(took, 10000u);
        EXPECT_EQ(fixture::ReadLines(dir_ + "setup.prg.log").size(), 1u);
        CloseHandle(ProcessInfo.hProcess);
        CloseHandle(ProcessInfo.hThread);
        std::memset(&ProcessInfo, 0, sizeof ProcessInfo);
        DeleteFileA((dir_ + "setup.prg.log").c_str());
    }
}

bool g_stop = false;
bool StopWhenAsked() { return g_stop; }
void PumpAndAskToStop() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    g_stop = FindWindowA("InstallShield_Win", nullptr) != nullptr;
}

// A termination request met during the wait ends it while the set-up's window is still up:
// a WM_QUIT that its own dispatching meets (posted again afterwards), or the caller's answer.
TEST_F(OldInstall, TerminationRequestEndsTheWait) {
    MakeSetupPrg("MainMs=-1\r\n");  // the window stays until closed
    ASSERT_TRUE(StartSetupProgram());
    HWND window = uidriver::WaitForWindow({"InstallShield_Win", "", ProcessInfo.dwProcessId}, 5000);
    ASSERT_NE(window, nullptr);
    PostQuitMessage(5);
    {
        Watchdog dog(10000, "WaitForInstallShield");
        WaitForInstallShield();
    }
    EXPECT_TRUE(IsWindow(window));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 5u);

    g_stop = false;
    {
        Watchdog dog(10000, "WaitForInstallShield");
        WaitForInstallShield(PumpAndAskToStop, StopWhenAsked);
    }
    EXPECT_TRUE(g_stop);
    EXPECT_TRUE(IsWindow(window));
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(ProcessInfo.hProcess, 5000), WAIT_OBJECT_0);
}

TEST_F(OldInstall, MissingSetupProgramIsReportedToTheCaller) {
    SetupDir = dir_;  // no setup.prg here
    EXPECT_FALSE(StartSetupProgram());
}

// Arguments as setup's start-up splits them: blanks and control characters separate, a
// quoted section belongs to one argument and loses its quotes.
std::vector<std::string> SplitArguments(const std::string& cmd) {
    std::vector<std::string> out;
    size_t i = 0;
    bool first = true;
    while (i < cmd.size()) {
        while (i < cmd.size() && static_cast<unsigned char>(cmd[i]) <= ' ') ++i;
        if (i >= cmd.size()) break;
        std::string arg;
        while (i < cmd.size() && static_cast<unsigned char>(cmd[i]) > ' ') {
            if (cmd[i] == '"') {
                size_t end = cmd.find('"', i + 1);
                if (end == std::string::npos) end = cmd.size();
                arg += cmd.substr(i + 1, end - i - 1);
                i = end + 1;
            } else {
                arg += cmd[i++];
            }
        }
        if (!first && !arg.empty()) out.push_back(arg);
        first = false;
    }
    return out;
}

TEST_F(OldInstall, RestoreInstanceGetsTheVersionFromAFolderWithBlanks) {
    std::string folder = dir_ + "Program Files\\Korvix Net\\";
    CreateDirectoryA((dir_ + "Program Files").c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    fixture::CopyRuntime(folder);
    std::string exe = folder + "set up.exe";
    ASSERT_TRUE(fixture::CopyFromTestBin("relaunch_helper.exe", folder, "set up.exe"));
    struct Case { const char* version; const char* expectedArgument; };  // null: refused
    const Case cases[] = {{"L2.1", "L2.1"}, {"L2 1", "L2 1"}, {"L\"1", nullptr}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        DeleteFileA((exe + ".log").c_str());
        fixture::WriteFile(exe + ".version", c.version);
        auto r = uidriver::RunProcess("\"" + exe + "\" --relaunch", 10000);
        ASSERT_TRUE(r.started);
        ASSERT_FALSE(r.timedOut);
        if (!c.expectedArgument) {
            EXPECT_EQ(r.exitCode, 2u);
            Sleep(300);
            EXPECT_FALSE(fixture::Exists(exe + ".log"));
            continue;
        }
        EXPECT_EQ(r.exitCode, 0u);
        ASSERT_TRUE(fixture::WaitUntil([&] { return !fixture::ReadLines(exe + ".log").empty(); }, 5000));
        auto log = fixture::ReadLines(exe + ".log");
        EXPECT_EQ(log[0], RestoreCommandLine(exe, c.version));
        auto args = SplitArguments(log[0]);
        ASSERT_FALSE(args.empty());
        EXPECT_EQ(args[0], c.expectedArgument);
    }
}

}  // namespace
