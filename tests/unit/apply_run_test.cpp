// The apply script run by the real command interpreter, and the wait for a started program.
#include "functions/apply_script.h"
#include "base/error_text.h"
#include "functions/run.h"

#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

using testsupport::BinDir;
using testsupport::FileExists;
using testsupport::ListFiles;
using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::SplitCrLf;

namespace {

double Now() {
    LARGE_INTEGER f{}, c{};
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
    std::sort(v.begin(), v.end());
    return v;
}

class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& folder) {
        char buf[MAX_PATH] = {};
        DWORD n = GetCurrentDirectoryA(sizeof(buf), buf);
        old_.assign(buf, n);
        EXPECT_TRUE(SetCurrentDirectoryA(folder.c_str())) << folder;
    }
    ~CurrentDirectory() { SetCurrentDirectoryA(old_.c_str()); }

private:
    std::string old_;
};

// A program folder two levels below a scratch folder, with the netsh stand-in in it. An unquoted
// redirect into it would leave a file cut at the first blank in one of the two folders above.
struct ProgramFolder {
    ScratchDir root{"apply"};
    std::string middle;
    std::string folder;

    explicit ProgramFolder(const std::string& middleName) {
        middle = root.File(middleName);
        folder = middle + "\\Ipshifter";
        EXPECT_TRUE(CreateDirectoryA(middle.c_str(), nullptr)) << middle;
        EXPECT_TRUE(CreateDirectoryA(folder.c_str(), nullptr)) << folder;
        EXPECT_TRUE(testsupport::CopyFileTo(BinDir() + "\\netsh_recorder.exe", File("netsh.exe")));
    }
    std::string File(const std::string& name) const { return folder + "\\" + name; }

    std::string WriteScript(const ProfileRecord& profile) const {
        auto refused = CheckProfileForScript(profile);
        EXPECT_FALSE(refused.has_value()) << *refused;
        std::string error;
        EXPECT_TRUE(WriteScriptFile(File("_ipshifter.cmd"),
                                    BuildApplyScript(profile, ProgressFolder(folder), false),
                                    error))
            << error;
        return File("_ipshifter.cmd");
    }

    void ExpectNoStrayFiles(std::vector<std::string> expected) const {
        EXPECT_EQ(Sorted(ListFiles(folder)), Sorted(std::move(expected)));
        EXPECT_EQ(ListFiles(middle), std::vector<std::string>());
        EXPECT_EQ(ListFiles(root.path()), std::vector<std::string>());
    }
};

ProfileRecord Profile(const std::string& name, const std::string& connection, bool dhcp) {
    ProfileRecord p;
    p.NAME = name;
    p.INTERFACE = connection;
    p.DHCP = dhcp ? 1 : 0;
    p.IP = {"192.0.2.10", "192.0.2.11"};
    p.SUBNET = "255.255.255.0";
    p.GATEWAY = "192.0.2.1";
    p.METRIC = 25;
    p.DNS = {"192.0.2.53", "198.51.100.53"};
    return p;
}

TEST(ApplyRun, NetshGetsTheConnectionAsWindowsNamesIt) {
    // The connection name in ANSI; netsh.log holds UTF-8.
    const std::string connection = "Connexion au r\xE9seau local";
    const std::string logged = "\"Connexion au r\xC3\xA9seau local\"";
    struct Case {
        std::string folderName;
        ProfileRecord profile;
        std::vector<std::string> netsh;
        std::string progress;
    };
    // DHCP and no DNS server: two commands.
    ProfileRecord dhcpOnly = Profile("Maison", connection, true);
    dhcpOnly.DNS = {""};
    const std::vector<std::string> dhcpOnlyNetsh = {
        "interface ip set address " + logged + " source=dhcp",
        "interface ip set dns " + logged + " static none"};
    const Case cases[] = {
        {"Program Files \xE9",
         Profile("Bureau", connection, false),
         {"interface ip set address " + logged +
              " source=static addr=192.0.2.10 mask=255.255.255.0 gateway=192.0.2.1 gwmetric=25",
          "interface ip add address " + logged + " 192.0.2.11 255.255.255.0",
          "interface ip set dns " + logged + " static none",
          "interface ip add dns " + logged + " 192.0.2.53",
          "interface ip add dns " + logged + " 198.51.100.53"},
         "5/5\r\n"},
        {"Prog 100% & ^ (x) \xE9", dhcpOnly, dhcpOnlyNetsh, "2/2\r\n"},
        // The console's code page has no euro sign: the progress lines take the short name.
        {"B\xFCro \x80", dhcpOnly, dhcpOnlyNetsh, "2/2\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folderName);
        ProgramFolder f(c.folderName);
        const std::string script = f.WriteScript(c.profile);
        CurrentDirectory cd(f.folder);
        std::string err;
        EXPECT_TRUE(RunAndWait("\"" + script + "\"", 0, err, 120));
        EXPECT_EQ(err, "");
        EXPECT_EQ(SplitCrLf(ReadFileBytes(f.File("netsh.log"))), c.netsh);
        EXPECT_EQ(ReadFileBytes(f.File("_progress.tmp")), c.progress);
        f.ExpectNoStrayFiles({"_ipshifter.cmd", "_progress.tmp", "netsh.exe", "netsh.log"});
    }
}

TEST(ApplyRun, HostileNamesRunNothingButNetsh) {
    struct Case {
        std::string name;
        std::string connection;
        std::string banner; // what the script shows
    };
    const std::string canary = "echo pwned>canary.txt";
    const Case cases[] = {
        {"x & " + canary, "LAN", "x & " + canary},
        {"a | " + canary, "LAN", "a | " + canary},
        {"b > canary.txt", "LAN", "b > canary.txt"},
        {"c < canary.txt ^", "LAN", "c < canary.txt ^"},
        {"100% %PATH% ^ \"q\" & " + canary + " & \"", "LAN",
         "100% %PATH% ^ \"q\" & " + canary + " & \""},
        {"\"x & " + canary + "\" & " + canary, "LAN", "\"x & " + canary + "\" & " + canary},
        // U+203A would become > by best fit; it has no OEM form and shows as ?.
        {"x \x9B canary.txt", "LAN", "x ? canary.txt"},
        {"Home", "Net & " + canary, "Home"},
        {"Home", "A|B<C>D ^ %PATH% 100% (x)", "Home"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " / " + c.connection);
        ProfileRecord p = Profile(c.name, c.connection, true);
        p.DNS = {"192.0.2.53"};
        ProgramFolder f("Program Files \xE9");
        f.WriteScript(p);
        CurrentDirectory cd(f.folder);
        std::string err;
        EXPECT_TRUE(RunAndWait("cmd /c _ipshifter.cmd >out.txt 2>&1", 0, err, 120));
        EXPECT_EQ(err, "");
        const std::string q = "\"" + c.connection + "\"";
        EXPECT_EQ(SplitCrLf(ReadFileBytes(f.File("netsh.log"))),
                  (std::vector<std::string>{"interface ip set address " + q + " source=dhcp",
                                            "interface ip set dns " + q + " static none",
                                            "interface ip add dns " + q + " 192.0.2.53"}));
        EXPECT_EQ(SplitCrLf(ReadFileBytes(f.File("out.txt"))),
                  (std::vector<std::string>{"Setting profile: " + c.banner, std::string(49, '-'),
                                            "", "Wait...", "...done !!!", ""}));
        EXPECT_EQ(ReadFileBytes(f.File("_progress.tmp")), "3/3\r\n");
        EXPECT_FALSE(FileExists(f.File("canary.txt")));
        f.ExpectNoStrayFiles(
            {"_ipshifter.cmd", "_progress.tmp", "netsh.exe", "netsh.log", "out.txt"});
    }
}

std::string Sleeper(int ms, int code = 0) {
    return "\"" + BinDir() + "\\sleeper.exe\" " + std::to_string(ms) + " " + std::to_string(code);
}

// Starts for real through the seam and keeps a handle, so that a test can watch the process.
struct KeptStart {
    base::unique_handle process;
    std::string command;
    std::int32_t windowStyle = -1;
    // For another thread: the handle once the process is started.
    std::atomic<HANDLE> started{nullptr};

    testsupport::ProcessStarts starts{
        [this](const std::string& cmd, WORD style, PROCESS_INFORMATION& info) {
            command = cmd;
            windowStyle = style;
            if (!testsupport::StartForReal(cmd, info))
                return FALSE;
            HANDLE own = nullptr;
            DuplicateHandle(GetCurrentProcess(), info.hProcess, GetCurrentProcess(), &own, 0, FALSE,
                            DUPLICATE_SAME_ACCESS);
            process.reset(own);
            started = own;
            return TRUE;
        }};
};

TEST(RunAndWait, MissingProgramGivesThePlatformsDescription) {
    ScratchDir dir;
    char expected[512] = {};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_FILE_NOT_FOUND, 0, expected, sizeof(expected), nullptr);
    std::string text(expected, n);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    ASSERT_FALSE(text.empty());

    std::string err = "before";
    const double start = Now();
    EXPECT_FALSE(RunAndWait("\"" + dir.File("no such program.exe") + "\"", 0, err, 120));
    EXPECT_LT(Now() - start, 0.5);
    EXPECT_EQ(err, text);
}

TEST(RunAndWait, QuickProgramEndsTheWaitAndLeavesTheMessageAlone) {
    for (int run = 0; run < 3; ++run) {
        std::string err = "left as it was";
        const double start = Now();
        EXPECT_TRUE(RunAndWait(Sleeper(0, 3), 0, err, 120));
        const double took = Now() - start;
        EXPECT_LT(took, 0.5);
        EXPECT_GE(took, 0.1); // at least the one cycle's sleep
        EXPECT_EQ(err, "left as it was");
    }
}

TEST(RunAndWait, TimeOutLeavesTheProgramAloneAndReportsIt) {
    struct Case {
        int ms;
        int code;
        bool stillRunning;
    };
    // Exit code 259 cannot be told from a running process: the wait lasts to the time-out.
    const Case cases[] = {{5000, 0, true}, {0, 259, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        KeptStart kept;
        std::string err;
        const double start = Now();
        EXPECT_FALSE(RunAndWait(Sleeper(c.ms, c.code), 0, err, 1));
        const double took = Now() - start;
        EXPECT_EQ(err, "Time out !!!");
        EXPECT_GE(took, 1.0);
        EXPECT_LT(took, 1.5);
        ASSERT_TRUE(kept.process);
        const bool running = WaitForSingleObject(kept.process.get(), 0) == WAIT_TIMEOUT;
        EXPECT_EQ(running, c.stillRunning);
        if (running) {
            TerminateProcess(kept.process.get(), 1);
        } else {
            DWORD code = 0;
            GetExitCodeProcess(kept.process.get(), &code);
            EXPECT_EQ(code, 259u);
        }
        WaitForSingleObject(kept.process.get(), 5000);
    }
}

TEST(RunAndWait, ProcessThatCannotBeOpenedGivesTheTwoSentences) {
    std::string seenCommand;
    std::int32_t seenStyle = -1;
    // The process has ended and nothing holds it: its ID no longer opens.
    testsupport::ProcessStarts starts(
        [&](const std::string& cmd, WORD style, PROCESS_INFORMATION& info) {
            seenCommand = cmd;
            seenStyle = style;
            DWORD ended = 0;
            {
                auto p = testsupport::StartProcess(Sleeper(0));
                testsupport::WaitProcess(p, 5000);
                ended = p.pid;
            }
            // Wine lets an ended process be opened for a short while after its last handle.
            EXPECT_TRUE(testsupport::WaitUntil(
                [&] {
                    base::unique_handle h(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, ended));
                    return !h;
                },
                5000));
            info = PROCESS_INFORMATION{};
            info.dwProcessId = ended;
            return TRUE;
        });
    std::string err = "before";
    const std::string command = "\"C:\\some folder\\x.cmd\" /a";
    const bool ok = RunAndWait(command, 7, err, 120);
    EXPECT_FALSE(ok);
    EXPECT_EQ(err, "This program could not determine whether the process started.Please watch "
                   "the program and check it completes.");
    EXPECT_EQ(seenCommand, command);
    EXPECT_EQ(seenStyle, 7);
}

TEST(RunAndWait, AStartThatFailsGivesThePlatformsDescription) {
    {
        testsupport::ProcessStarts starts([](const std::string&, WORD, PROCESS_INFORMATION&) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        });
        std::string err;
        EXPECT_FALSE(RunAndWait(Sleeper(0), 0, err, 120));
        EXPECT_EQ(err, base::SystemErrorText(ERROR_ACCESS_DENIED));
    }
    // The real start is back.
    std::string err;
    EXPECT_TRUE(RunAndWait(Sleeper(0), 0, err, 120));
    EXPECT_EQ(err, "");
}

std::atomic<int> g_ticks{0};
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) {
    ++g_ticks;
}

TEST(RunAndWait, WindowEventsAreHandledDuringTheWait) {
    g_ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, CountTick);
    ASSERT_NE(timer, 0u);
    std::string err;
    EXPECT_TRUE(RunAndWait(Sleeper(1000), 0, err, 120));
    KillTimer(nullptr, timer);
    // About one event pass per 100 ms cycle; a blocking wait would give none.
    EXPECT_GE(g_ticks.load(), 5);
    EXPECT_LE(g_ticks.load(), 15);
}

// An end just after a query is seen by the next cycle, which still sleeps: 100 to 200 ms.
TEST(RunAndWait, ReturnsWithinTwoCyclesOfTheProcessEnd) {
    for (int ms : {150, 230, 310, 390, 470}) {
        KeptStart kept;
        std::atomic<double> ended{0};
        std::string err;
        const double start = Now();
        std::thread watcher([&] {
            HANDLE h;
            while ((h = kept.started.load()) == nullptr)
                Sleep(1);
            WaitForSingleObject(h, INFINITE);
            ended = Now();
        });
        const bool ok = RunAndWait(Sleeper(ms), 0, err, 120);
        const double returned = Now();
        watcher.join();
        EXPECT_TRUE(ok);
        const double overhead = returned - ended.load();
        std::printf("sleeper %d ms: run %.3f s, return %.1f ms after the process ended\n", ms,
                    returned - start, overhead * 1000);
        EXPECT_GE(overhead, 0.0);
        EXPECT_LT(overhead, 0.25);
    }
}

} // namespace
