// Applying a profile from the main window and from the command line, with the real command
// interpreter and a recording netsh in the program folder.
#include "apply_samples.h"
#include "main_window_fixture.h"

#include "functions/profiles.h"
#include "base/error_text.h"
#include "functions/run.h"
#include "functions/apply_check.h"
#include "functions/exit_codes.h"
#include "functions/instance.h"
#include "tray_icon/CSystrayIcon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <stdexcept>
#include <thread>

using namespace testsupport;

namespace {

class ApplyWindowTest : public MainWindowTest {
protected:
    void TearDown() override {
        SetEnvironmentVariableA("IPSHIFTER_NETSH_DELAY_MS", nullptr);
        MainWindowTest::TearDown();
    }
};

TEST_F(ApplyWindowTest, SetMarksSavesRunsShowsProgressAndCleansUp) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    InstallNetsh(dir.path());
    frmMain& f = Form();
    f.Show();
    Choose("  Office");
    trayMessages.clear();

    // Every netsh call takes a while, so that the progress shows and a second apply can be tried.
    SetEnvironmentVariableA("IPSHIFTER_NETSH_DELAY_MS", "300");
    DialogRecorder dialogs;
    std::vector<std::string> steps;
    bool disabledDuring = false, panelDuring = false, triedSecond = false;
    {
        Sampler sampler([&] {
            if (f.Enabled())
                return;
            disabledDuring = true;
            panelDuring = panelDuring || IsWindowVisible(f.frmWAIT.hwnd());
            const std::string caption = f.lblProgress.Caption();
            if (!caption.empty() && (steps.empty() || steps.back() != caption))
                steps.push_back(caption);
            if (!triedSecond && !steps.empty()) {
                triedSecond = true;
                f.cmdSetProfile_Click();
            }
        });
        f.cmdSetProfile_Click();
    }

    EXPECT_EQ(NetshCalls(dir.path()), kStaticCalls);
    EXPECT_TRUE(disabledDuring);
    EXPECT_TRUE(panelDuring);
    ASSERT_FALSE(steps.empty());
    for (const auto& s : steps)
        EXPECT_TRUE(s.size() == 8 && s.rfind("Step ", 0) == 0 && s.substr(6) == "/5") << s;
    // The second apply was refused and left the running one alone.
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, tk::MsgIcon::Exclamation);
    EXPECT_NE(dialogs.messages[0].prompt.find("being applied"), std::string::npos);

    // The chosen profile is now the selected one of its connection; other connections keep theirs.
    EXPECT_EQ((std::vector<int>{Profiles[0].SELECTED, Profiles[1].SELECTED, Profiles[2].SELECTED}),
              (std::vector<int>{1, 0, 1}));
    EXPECT_EQ(SelectedOnDisk(dir.File("Ipshifter.ini")), (std::vector<int>{1, 0, 1}));

    // Clean-up: files gone, window back, panel hidden, label empty, tip reset.
    EXPECT_FALSE(FileExists(dir.File("_ipshifter.cmd")));
    EXPECT_FALSE(FileExists(dir.File("_progress.tmp")));
    EXPECT_TRUE(f.Enabled());
    EXPECT_FALSE(IsWindowVisible(f.frmWAIT.hwnd()));
    EXPECT_EQ(f.lblProgress.Caption(), "");
    EXPECT_EQ(trayMessages, std::vector<DWORD>{NIM_MODIFY});
    EXPECT_EQ(f.SysIcon->TipText(), "Ipshifter");
}

TEST_F(ApplyWindowTest, ACloseRequestDuringAnApplyEndsTheProgramOnceTheScriptHasEnded) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    InstallNetsh(dir.path());
    frmMain& f = Form();
    Choose("  Office");
    trayMessages.clear();
    SetEnvironmentVariableA("IPSHIFTER_NETSH_DELAY_MS", "300");
    bool asked = false;
    int endsWhileRunning = 0;
    {
        Sampler sampler([&] {
            if (!FileExists(dir.File("_ipshifter.cmd")))
                return;
            if (!asked) {
                asked = true;
                // As taskkill and Task Manager ask.
                PostMessageA(f.hwnd(), WM_CLOSE, 0, 0);
            }
            endsWhileRunning = std::max(endsWhileRunning, EndProgramCalls());
        });
        f.cmdSetProfile_Click();
    }
    ASSERT_TRUE(asked);
    EXPECT_EQ(endsWhileRunning, 0) << "the program ended in the middle of the apply";
    EXPECT_EQ(NetshCalls(dir.path()), kStaticCalls);
    EXPECT_FALSE(FileExists(dir.File("_ipshifter.cmd")));
    EXPECT_EQ(EndProgramCalls(), 1);
    EXPECT_EQ(trayMessages, (std::vector<DWORD>{NIM_MODIFY, NIM_DELETE}));
    EXPECT_FALSE(f.Loaded());
}

// Starts `sleeper.exe ms` in place of the script and keeps its handle, so that the test can tell
// when it has ended; records the script's text as it was when it was started.
struct SleeperStart {
    explicit SleeperStart(int ms, const std::string& script = {})
        : starts_([this, ms, script](const std::string&, WORD, PROCESS_INFORMATION& info) {
              ++starts;
              if (!script.empty())
                  scripts.push_back(ReadFileBytes(script));
              if (!StartForReal("\"" + BinDir() + "\\sleeper.exe\" " + std::to_string(ms), info))
                  return FALSE;
              HANDLE own = nullptr;
              DuplicateHandle(GetCurrentProcess(), info.hProcess, GetCurrentProcess(), &own,
                              SYNCHRONIZE, FALSE, 0);
              last.reset(own);
              return TRUE;
          }) {}
    bool Running() const { return last && WaitForSingleObject(last.get(), 0) == WAIT_TIMEOUT; }
    int starts = 0;
    std::vector<std::string> scripts;
    base::unique_handle last;

private:
    ProcessStarts starts_;
};

TEST_F(ApplyWindowTest, ATimeOutIsReportedAfterTheCleanUpAndItsScriptHoldsFurtherAppliesBack) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    frmMain& f = Form();
    f.Show();
    Choose("  Office");
    frmMain::SetApplyTimeoutForTesting(1);
    // The script goes on for seconds after its one-second time-out.
    SleeperStart sleeper(6000);
    DialogRecorder dialogs;
    bool scriptThere = true, enabledAtMessage = true;
    dialogs.onMessage = [&](const MessageBoxRecord&) {
        scriptThere = FileExists(dir.File("_ipshifter.cmd"));
        enabledAtMessage = f.Enabled();
        return tk::MsgResult::Ok;
    };
    f.cmdSetProfile_Click();
    frmMain::SetApplyTimeoutForTesting(frmMain::kApplyTimeoutSeconds);
    ASSERT_EQ(dialogs.Prompts(), std::vector<std::string>{"Time out !!!"});
    EXPECT_EQ(dialogs.messages[0].icon, tk::MsgIcon::Critical);
    EXPECT_FALSE(scriptThere) << "the message comes after the clean-up";
    EXPECT_FALSE(enabledAtMessage);
    EXPECT_TRUE(f.Enabled());
    EXPECT_FALSE(IsWindowVisible(f.frmWAIT.hwnd()));
    ASSERT_TRUE(sleeper.Running()) << "the machine is too slow for this test's margins";

    // The late script writes another progress line; applies wait for it, from the window and
    // from the tray (before the selection changes).
    WriteFileBytes(dir.File("_progress.tmp"), "2/5\r\n");
    f.cmdSetProfile_Click();
    Choose("  Cafe");
    f.mnuProfile_Click(2); // "  Office"
    ASSERT_EQ(dialogs.messages.size(), 3u);
    for (size_t i = 1; i < 3; ++i) {
        EXPECT_EQ(dialogs.messages[i].icon, tk::MsgIcon::Exclamation);
        EXPECT_NE(dialogs.messages[i].prompt.find("still being applied"), std::string::npos)
            << dialogs.messages[i].prompt;
    }
    EXPECT_EQ(f.cmbProfiles.Text(), "  Cafe");
    EXPECT_EQ(sleeper.starts, 1);

    // Once it has ended, its leftover file goes and applies work again.
    EXPECT_TRUE(WaitUntil([&] { return !sleeper.Running(); }, 30000));
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(dir.File("_progress.tmp")); }, 5000));
    SleeperStart quick(0);
    f.cmdSetProfile_Click();
    EXPECT_EQ(quick.starts, 1);
    EXPECT_EQ(dialogs.messages.size(), 3u);
}

// Another Ipshifter of the folder waits for the apply lock while a timed-out script runs on: once
// it has the lock, the files it finds are its own to write, so none of the late script's may be
// left then, nor deleted afterwards.
TEST_F(ApplyWindowTest, ALateScriptsFilesGoBeforeTheLockIsFree) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    frmMain& f = Form();
    Choose("  Home");
    frmMain::SetApplyTimeoutForTesting(1);
    SleeperStart sleeper(3000);
    DialogRecorder dialogs;
    f.cmdSetProfile_Click();
    frmMain::SetApplyTimeoutForTesting(frmMain::kApplyTimeoutSeconds);
    ASSERT_EQ(dialogs.Prompts(), std::vector<std::string>{"Time out !!!"});
    ASSERT_TRUE(sleeper.Running()) << "the machine is too slow for this test's margins";
    // The late script writes another progress line.
    const std::string progress = dir.File("_progress.tmp");
    WriteFileBytes(progress, "2/2\r\n");

    const std::string lockName = InstanceObjectName(InstanceKey(IniPath), "apply");
    std::atomic<int> leftWhenOurs{-1};
    std::thread other([&] {
        base::unique_handle lock(OpenMutexA(SYNCHRONIZE, FALSE, lockName.c_str()));
        if (!lock || WaitForSingleObject(lock.get(), 30000) != WAIT_OBJECT_0)
            return;
        leftWhenOurs = FileExists(progress) ? 1 : 0;
        // Its own apply's files.
        WriteFileBytes(progress, "1/3\r\n");
        ReleaseMutex(lock.get());
    });
    EXPECT_TRUE(WaitUntil([&] { return leftWhenOurs != -1; }, 30000));
    other.join();
    EXPECT_EQ(leftWhenOurs, 0) << "the late script's progress file was still there";
    tk::DoEvents();
    EXPECT_EQ(ReadFileBytes(progress), "1/3\r\n") << "the other apply's file was deleted";
}

TEST_F(ApplyWindowTest, AFailureInsideTheRunGivesTheWindowBack) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    frmMain& f = Form();
    f.Show();
    Choose("  Office");
    trayMessages.clear();
    {
        ProcessStarts failing([](const std::string&, WORD, PROCESS_INFORMATION&) -> BOOL {
            throw std::runtime_error("out of resources");
        });
        EXPECT_THROW(f.cmdSetProfile_Click(), std::runtime_error);
    }
    EXPECT_TRUE(f.Enabled());
    EXPECT_FALSE(IsWindowVisible(f.frmWAIT.hwnd()));
    EXPECT_EQ(f.tmrProgress.Interval(), 0);
    EXPECT_EQ(f.lblProgress.Caption(), "");
    EXPECT_EQ(trayMessages, std::vector<DWORD>{NIM_MODIFY}) << "the tip is reset";
    // Not left busy: the next apply runs (a DHCP profile, which the connection has already).
    Choose("  Home");
    SleeperStart quick(0);
    DialogRecorder dialogs;
    f.cmdSetProfile_Click();
    EXPECT_EQ(quick.starts, 1);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ApplyWindowTest, ADifferenceIsToldAfterTheCleanUpAndTheMarksStay) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    InstallNetsh(dir.path());
    const ScopedEnvironment refuse("IPSHIFTER_NETSH_REFUSE", "dns");
    frmMain& f = Form();
    f.Show();
    Choose("  Office");
    DialogRecorder dialogs;
    bool scriptThere = true, panelShown = false;
    dialogs.onMessage = [&](const MessageBoxRecord&) {
        scriptThere = FileExists(dir.File("_ipshifter.cmd"));
        panelShown = IsWindowVisible(f.frmWAIT.hwnd()) != FALSE;
        return tk::MsgResult::Ok;
    };
    f.cmdSetProfile_Click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, tk::MsgIcon::Critical);
    EXPECT_EQ(dialogs.messages[0].prompt,
              ApplyFailureText(Profiles[0], {{"DNS servers", "192.0.2.53, 192.0.2.54", "none"}},
                               {"The configured DNS server is incorrect or does not exist."}));
    EXPECT_FALSE(scriptThere);
    EXPECT_TRUE(panelShown) << "the window is given back after the message";
    EXPECT_TRUE(f.Enabled());
    EXPECT_EQ(SelectedOnDisk(dir.File("Ipshifter.ini")), (std::vector<int>{1, 0, 1}));
}

TEST_F(ApplyWindowTest, TheCheckShowsThatItChecksAndWaitsForSettingsWrittenLate) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    frmMain& f = Form();
    f.Show();
    Choose("  Office");
    // The script runs no netsh: the settings arrive only while the check waits for them.
    SleeperStart quick(0);
    DialogRecorder dialogs;
    StoredTcpip office;
    office.enableDhcp = 0;
    office.ipAddress = {"192.0.2.10", "192.0.2.11"};
    office.subnetMask = {"255.255.255.0", "255.255.255.0"};
    office.defaultGateway = {"192.0.2.1"};
    office.nameServer = "192.0.2.53,192.0.2.54";
    int checkingSeen = 0;
    {
        Sampler sampler([&] {
            if (f.lblProgress.Caption() == "Checking the connection..." && ++checkingSeen == 3)
                WriteTcpip(network->Root(), InterfaceKeys[0], office);
        });
        f.cmdSetProfile_Click();
    }
    EXPECT_GE(checkingSeen, 3);
    EXPECT_TRUE(dialogs.messages.empty()) << dialogs.messages[0].prompt;
    EXPECT_EQ(f.lblProgress.Caption(), "");
}

TEST_F(ApplyWindowTest, AConnectionWithoutTcpipSettingsIsRefusedBeforeAnythingIsWritten) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    InstallNetsh(dir.path());
    DeleteKeyTree(network->Root(), TcpipPath(InterfaceKeys[1]));
    const std::string before = Ini();
    Choose("  Cafe");
    DialogRecorder dialogs;
    Form().cmdSetProfile_Click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, tk::MsgIcon::Critical);
    EXPECT_EQ(dialogs.messages[0].prompt, NoTcpipSettingsText(Profiles[2]));
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(Profiles[2].SELECTED, 1);
    EXPECT_FALSE(FileExists(dir.File("_ipshifter.cmd")));
    EXPECT_FALSE(FileExists(dir.File("netsh.log")));
}

// A run from the command line that cannot start its script, or whose script times out.
TEST_F(ApplyWindowTest, AScriptThatDidNotRunGivesItsOwnExitCode) {
    for (const bool timesOut : {false, true}) {
        SCOPED_TRACE(timesOut ? "time-out" : "no start");
        std::optional<ProcessStarts> failing;
        std::optional<SleeperStart> slow;
        if (timesOut) {
            frmMain::SetApplyTimeoutForTesting(1);
            slow.emplace(3000);
        } else {
            failing.emplace([](const std::string&, WORD, PROCESS_INFORMATION&) {
                SetLastError(ERROR_FILE_NOT_FOUND);
                return FALSE;
            });
        }
        DialogRecorder dialogs;
        Start({"LAN", "WLAN"}, ThreeProfiles(), "/PROFILE=\"  Office\"");
        frmMain::SetApplyTimeoutForTesting(frmMain::kApplyTimeoutSeconds);
        EXPECT_EQ(dialogs.messages.size(), 1u);
        EXPECT_EQ(EndProgramCalls(), 1);
        EXPECT_EQ(LastExitCode(), kExitNotRun);
        if (slow)
            WaitUntil([&] { return !slow->Running(); }, 10000);
        TearDown();
    }
}

TEST_F(ApplyWindowTest, ATrayApplyDuringAnApplyIsRefusedBeforeTheSelectionChanges) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    InstallNetsh(dir.path());
    frmMain& f = Form();
    Choose("  Office");
    SetEnvironmentVariableA("IPSHIFTER_NETSH_DELAY_MS", "300");
    DialogRecorder dialogs;
    bool tried = false;
    std::string selectionAfter;
    {
        Sampler sampler([&] {
            if (tried || !FileExists(dir.File("_ipshifter.cmd")))
                return;
            tried = true;
            f.mnuProfile_Click(5); // "  Cafe"
            selectionAfter = f.cmbProfiles.Text();
        });
        f.cmdSetProfile_Click();
    }
    ASSERT_TRUE(tried);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, tk::MsgIcon::Exclamation);
    EXPECT_NE(dialogs.messages[0].prompt.find("being applied"), std::string::npos);
    EXPECT_EQ(selectionAfter, "  Office");
    EXPECT_EQ(NetshCalls(dir.path()), kStaticCalls) << "only the first apply ran";
}

TEST_F(ApplyWindowTest, MarksCompareConnectionNamesExactly) {
    Start({"LAN", "lan"},
          {MakeProfile("A", "LAN", 1, {""}, "", "none", 1, {""}, 1), MakeProfile("B", "LAN"),
           MakeProfile("C", "lan", 1, {""}, "", "none", 1, {""}, 1)});
    SleeperStart quick(0);
    Choose("  B");
    Form().cmdSetProfile_Click();
    EXPECT_EQ((std::vector<int>{Profiles[0].SELECTED, Profiles[1].SELECTED, Profiles[2].SELECTED}),
              (std::vector<int>{0, 1, 1}));
    EXPECT_EQ(SelectedOnDisk(dir.File("Ipshifter.ini")), (std::vector<int>{0, 1, 1}));
}

TEST_F(ApplyWindowTest, AnUnmatchedProfileSwitchLeavesTheClosingLinesOutOfLaterApplies) {
    const std::string script = dir.File("_ipshifter.cmd");
    for (const char* arguments : {"", "/PROFILE=Nowhere"}) {
        SCOPED_TRACE(arguments);
        Start({"LAN"}, {MakeProfile("Home", "LAN")}, arguments);
        ASSERT_TRUE(Form().Loaded()) << "start-up went on";
        SleeperStart quick(0, script);
        Choose("  Home");
        Form().cmdSetProfile_Click();
        ASSERT_EQ(quick.scripts.size(), 1u);
        const auto lines = SplitCrLf(quick.scripts[0]);
        const bool closing = lines.size() >= 2 && lines[lines.size() - 2] == "echo ...done !!!" &&
                             lines.back() == "echo.";
        EXPECT_EQ(closing, std::string(arguments).empty());
        TearDown();
    }
}

TEST_F(ApplyWindowTest, NothingHappensWithoutAChosenProfile) {
    Start({"LAN", "WLAN"}, ThreeProfiles());
    InstallNetsh(dir.path());
    const std::string before = Ini();
    Choose("LAN");
    Form().cmdSetProfile_Click();
    Form().cmbProfiles.SetListIndex(-1);
    Form().cmdSetProfile_Click();
    EXPECT_FALSE(FileExists(dir.File("netsh.log")));
    EXPECT_EQ(Ini(), before);
}

TEST_F(ApplyWindowTest, AProfileTheScriptCannotHoldSafelyIsRefusedBeforeAnythingIsWritten) {
    Start({"LAN"}, {MakeProfile("Office", "LAN", 0, {"192.0.2.10"}, "255.255.255.0")});
    InstallNetsh(dir.path());
    // As a hand-edited file can hold it: text after the address.
    Profiles[0].IP = {"192.0.2.10 & echo pwned>canary.txt"};
    const std::string before = Ini();
    DialogRecorder dialogs;
    Form().cmdSetProfile_Click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, tk::MsgIcon::Critical);
    EXPECT_NE(dialogs.messages[0].prompt.find("IP"), std::string::npos)
        << dialogs.messages[0].prompt;
    EXPECT_EQ(Ini(), before);
    EXPECT_EQ(Profiles[0].SELECTED, 0);
    EXPECT_FALSE(FileExists(dir.File("_ipshifter.cmd")));
    EXPECT_FALSE(FileExists(dir.File("netsh.log")));
    EXPECT_FALSE(FileExists(dir.File("canary.txt")));
}

TEST_F(ApplyWindowTest, AScriptThatCannotBeWrittenIsReportedAndNothingRuns) {
    Start({"LAN"}, {MakeProfile("Home", "LAN")});
    InstallNetsh(dir.path());
    ASSERT_TRUE(CreateDirectoryA(dir.File("_ipshifter.cmd").c_str(), nullptr));
    frmMain& f = Form();
    f.Show();
    DialogRecorder dialogs;
    f.cmdSetProfile_Click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].icon, tk::MsgIcon::Critical);
    EXPECT_FALSE(dialogs.messages[0].prompt.empty());
    EXPECT_FALSE(FileExists(dir.File("netsh.log")));
    EXPECT_TRUE(f.Enabled());
    EXPECT_FALSE(IsWindowVisible(f.frmWAIT.hwnd()));
    RemoveDirectoryA(dir.File("_ipshifter.cmd").c_str());
}

TEST_F(ApplyWindowTest, AFailedStartIsReportedAfterTheCleanUp) {
    Start({"LAN"}, {MakeProfile("Home", "LAN")});
    frmMain& f = Form();
    std::string started;
    ProcessStarts starts([&](const std::string& command, WORD style, PROCESS_INFORMATION&) {
        started = command;
        EXPECT_EQ(style, 0);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    });
    DialogRecorder dialogs;
    bool scriptThereAtMessage = true;
    dialogs.onMessage = [&](const MessageBoxRecord&) {
        scriptThereAtMessage = FileExists(dir.File("_ipshifter.cmd"));
        return tk::MsgResult::Ok;
    };
    f.cmdSetProfile_Click();
    EXPECT_EQ(started, "\"" + dir.File("_ipshifter.cmd") + "\"");
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].prompt, base::SystemErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(dialogs.messages[0].icon, tk::MsgIcon::Critical);
    EXPECT_FALSE(scriptThereAtMessage);
    EXPECT_TRUE(f.Enabled());
}

TEST_F(ApplyWindowTest, TheProgressTimerShowsTheFirstLineOrKeepsItsText) {
    Start({"LAN"}, {MakeProfile("Home", "LAN")});
    frmMain& f = Form();
    const std::string progress = dir.File("_progress.tmp");
    const struct {
        const char* file; // nullptr: no file
        const char* caption;
    } cases[] = {{nullptr, "before"}, {"3/5\r\n", "Step 3/5"}, {"", "Step 3/5"},
                 {"\r\n", "Step "},   {"4/5", "Step 4/5"},     {"5/5\r\nx\r\n", "Step 5/5"}};
    f.lblProgress.SetCaption("before");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "(none)");
        DeleteFileA(progress.c_str());
        if (c.file)
            WriteFileBytes(progress, c.file);
        f.tmrProgress_Timer();
        EXPECT_EQ(f.lblProgress.Caption(), c.caption);
    }
}

TEST_F(ApplyWindowTest, CommandLineAppliesTheNamedEntryAndEndsWithoutWindowOrIcon) {
    struct Case {
        const char* arguments;
        std::vector<std::string> calls;
        bool ends;
        int exitCode;
    };
    const Case cases[] = {
        {"/PROFILE=\"  Office\"", kStaticCalls, true, kExitApplied},
        // A heading applies nothing, and the program ends.
        {"/profile=LAN", {}, true, kExitHeading},
        // No entry reads so, but a listed profile bears the name.
        {"/PROFILE=Office", kStaticCalls, true, kExitApplied},
        // Neither: start-up goes on.
        {"/PROFILE=Nowhere", {}, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        InstallNetsh(dir.path());
        Start({"LAN", "WLAN"}, ThreeProfiles(), c.arguments);
        EXPECT_EQ(NetshCalls(dir.path()), c.calls);
        EXPECT_EQ(EndProgramCalls(), c.ends ? 1 : 0);
        EXPECT_EQ(LastExitCode(), c.exitCode);
        EXPECT_EQ(std::count(trayMessages.begin(), trayMessages.end(), DWORD{NIM_ADD}),
                  c.ends ? 0 : 1);
        EXPECT_FALSE(MainForm().Loaded() && MainForm().Visible());
        DeleteFileA(dir.File("netsh.log").c_str());
        trayMessages.clear();
        TearDown();
    }
}

TEST_F(ApplyWindowTest, AProfileSwitchTakesTheFirstMatchingEntryAndOnlyListedOnes) {
    struct Case {
        const char* arguments;
        std::vector<std::string> calls;
        bool ends;
    };
    const Case cases[] = {
        // The static Home on LAN comes first in the list; the DHCP Home on WLAN is not applied.
        {"/PROFILE=\"  Home\"", kStaticCalls, true},
        // A profile of a connection this machine lacks is not listed, so not found.
        {"/PROFILE=\"  Away\"", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        InstallNetsh(dir.path());
        Start({"LAN", "WLAN"},
              {MakeProfile("Home", "WLAN"), MakeProfile("Away", "Gone"),
               MakeProfile("Home", "LAN", 0, {"192.0.2.10", "192.0.2.11"}, "255.255.255.0",
                           "192.0.2.1", 5, {"192.0.2.53", "192.0.2.54"}),
               MakeProfile("Home", "LAN")},
              c.arguments);
        EXPECT_EQ(NetshCalls(dir.path()), c.calls);
        EXPECT_EQ(EndProgramCalls(), c.ends ? 1 : 0);
        DeleteFileA(dir.File("netsh.log").c_str());
        TearDown();
    }
}

} // namespace
