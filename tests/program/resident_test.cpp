// The real program in the tray as Windows users live with it: a scaled display, the ways a
// window is asked to close, the end of the session, a second start while it runs, and applies
// from the command line beside it.
#include "fixtures.h"
#include "main_window_fixture.h"
#include "support.h"

#include "functions/exit_codes.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const char kLan[] = "Local Area Connection";
const char kBusy[] =
    "A profile is being applied. Please wait until it has finished, then try again.";

// Office (static) and Home (DHCP, applied last) on the wired connection.
std::string ProfileFile() {
    return CrLfText({
        "[PROFILES]",
        "COUNT=2",
        "PROFILE1=Office",
        "PROFILE2=Home",
        "[PROFILE1]",
        "INTERFACE=Local Area Connection",
        "DHCP=0",
        "IPCOUNT=1",
        "IP1=192.0.2.10",
        "SUBNET=255.255.255.0",
        "GATEWAY=192.0.2.1",
        "METRIC=25",
        "DNSCOUNT=1",
        "DNS1=192.0.2.53",
        "SELECTED=0",
        "[PROFILE2]",
        "INTERFACE=Local Area Connection",
        "DHCP=1",
        "IPCOUNT=1",
        "IP1=",
        "SUBNET=",
        "GATEWAY=",
        "METRIC=1",
        "DNSCOUNT=1",
        "DNS1=",
        "SELECTED=1",
    });
}

const std::vector<std::string> kOfficeCalls = {
    "interface ip set address \"Local Area Connection\" source=static addr=192.0.2.10 "
    "mask=255.255.255.0 gateway=192.0.2.1 gwmetric=25",
    "interface ip set dns \"Local Area Connection\" static none",
    "interface ip add dns \"Local Area Connection\" 192.0.2.53",
};

// Profile k's mark in the file (9 when it has none).
UINT MarkInFile(const RealProgram& program, int k) {
    const std::string section = "PROFILE" + std::to_string(k);
    return GetPrivateProfileIntA(section.c_str(), "SELECTED", 9, program.IniPath().c_str());
}

FILETIME LastWrite(const std::string& path) {
    FILETIME t{};
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        t = data.ftLastWriteTime;
    return t;
}

bool SameTime(const FILETIME& a, const FILETIME& b) {
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

// A visible popup menu of the process.
bool MenuOpen(DWORD pid) {
    HWND menu = FindProcessWindow(pid, "#32768", nullptr);
    return menu && IsWindowVisible(menu);
}

// The resident in a folder of its own with the two profiles, its icon the only one in Wine's
// tray (an icon of an earlier test is gone within seconds).
class Resident : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WaitUntil([] { return TrayIconsOnScreen() == 0; }, 15000))
            << "icons of an earlier program are still in the tray";
        WriteFileBytes(program.IniPath(), ProfileFile());
        ASSERT_TRUE(CopyFileTo(BinDir() + "\\netsh_recorder.exe", program.File("netsh.exe")));
    }
    // Starts the resident; its main window once the icon is up.
    HWND StartResident() {
        program.Start();
        HWND main = program.WaitMainWindow();
        EXPECT_NE(main, nullptr);
        EXPECT_TRUE(WaitUntil([&] { return tray.Calls(NIM_ADD).size() == 1; }, 10000));
        return main;
    }
    DWORD Pid() { return program.Proc().pid; }
    // Starts the resident and, from its tray menu, an apply of Office whose every netsh call
    // takes a while; true once its script runs.
    bool StartSlowApply() {
        slow_.emplace("IPSHIFTER_NETSH_DELAY_MS", "1500");
        if (!StartResident())
            return false;
        const DriverRun chosen = RunDriver(Pid(), {"choose-tray-item", "1"}); // Office
        EXPECT_EQ(chosen.exitCode, 0) << DriverOutput(chosen);
        return chosen.exitCode == 0 &&
               WaitUntil([&] { return FileExists(program.File("_ipshifter.cmd")); }, 10000);
    }

    MachineNetwork network{PciConnections({kLan})};
    RealProgram program{"resident"};
    TrayWatch tray;

private:
    std::optional<ScopedEnvironment> slow_;
};

TEST_F(Resident, At144DpiMouseMovesOverTheWindowOpenNothingWhileATrayClickOpensTheMenu) {
    WineDpiFor dpi(144);
    ASSERT_TRUE(tray.Ready());
    HWND main = StartResident();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([] { return TrayIconsOnScreen() == 1; }, 10000));
    const HWND icon = TrayIconWindows().back();

    // A double click on the icon, with the real mouse, shows the window.
    ClickAt(CentreOf(icon), MOUSEEVENTF_LEFTDOWN);
    ClickAt(CentreOf(icon), MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(WaitUntil([&] { return IsWindowVisible(main) != FALSE; }, 5000));
    RECT client{};
    GetClientRect(main, &client);
    ASSERT_EQ(client.right, 602) << "the program does not see 144 dpi";

    // The pointer crosses the window at the positions whose numbers are tray messages.
    for (int x : {514, 515, 517, 516, 517}) {
        POINT at{x, 5};
        ClientToScreen(main, &at);
        SetCursorPos(at.x, at.y);
        EXPECT_FALSE(WaitUntil([&] { return MenuOpen(Pid()); }, 400)) << "at x = " << x;
    }
    EXPECT_TRUE(IsWindowVisible(main));

    // The icon's right button opens the menu.
    ClickAt(CentreOf(icon), MOUSEEVENTF_RIGHTDOWN);
    EXPECT_TRUE(WaitUntil([&] { return MenuOpen(Pid()); }, 5000));
    const DriverRun cancelled = RunDriver(Pid(), {"cancel-menu"});
    EXPECT_EQ(cancelled.exitCode, 0) << DriverOutput(cancelled);
    EXPECT_TRUE(WaitUntil([&] { return !MenuOpen(Pid()); }, 5000));
    PostMessageA(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitExit(), 0);
}

// The shell gets the small icon of the window's dpi, as drawn for that size: 16 pixels at 100 %,
// 24 at 150 % (where a 16-pixel picture would be scaled up and blurred).
TEST_F(Resident, TheTrayGetsTheIconOfTheScreensDpi) {
    ASSERT_TRUE(tray.Ready());
    for (const auto& [dpi, pixels] : {std::pair<DWORD, LONG>{96, 16}, {144, 24}}) {
        SCOPED_TRACE(std::to_string(dpi) + " dpi");
        WineDpiFor scaled(dpi);
        RealProgram resident("dpi");
        WriteFileBytes(resident.IniPath(), ProfileFile());
        const size_t before = tray.Calls(NIM_ADD).size();
        resident.Start();
        HWND main = resident.WaitMainWindow();
        ASSERT_NE(main, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return tray.Calls(NIM_ADD).size() == before + 1; }, 10000));
        const SIZE icon = tray.Calls(NIM_ADD).back().icon;
        EXPECT_EQ(icon.cx, pixels);
        EXPECT_EQ(icon.cy, pixels);
        PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(resident.WaitExit(), 0);
        ASSERT_TRUE(WaitUntil([] { return TrayIconsOnScreen() == 0; }, 15000));
    }
}

TEST_F(Resident, TheUsersCloseHidesTheWindowAndACloseRequestFromOutsideEndsTheProgram) {
    ASSERT_TRUE(tray.Ready());
    HWND main = StartResident();
    ASSERT_NE(main, nullptr);

    // Shown from outside, the window comes with its controls.
    ShowWindow(main, SW_SHOWNORMAL);
    EXPECT_TRUE(WaitUntil([&] { return FindWindowExA(main, nullptr, "Button", "Set"); }, 5000));

    // Alt+F4, and the close box of the title bar, only hide it.
    SetForegroundWindow(main);
    ASSERT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }, 5000));
    ASSERT_TRUE(PressAltF4());
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 5000)) << "Alt+F4";
    const DriverRun shown = RunDriver(Pid(), {"show-main"});
    ASSERT_EQ(shown.exitCode, 0) << DriverOutput(shown);
    POINT closeBox{};
    ASSERT_TRUE(CloseBoxOf(main, closeBox));
    ASSERT_TRUE(ClickAt(closeBox, MOUSEEVENTF_LEFTDOWN));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 5000)) << "close box";
    EXPECT_TRUE(IsRunning(program.Proc()));
    EXPECT_TRUE(tray.Calls(NIM_DELETE).empty());

    // taskkill without /F, as Task Manager's End task and installers do, asks with WM_CLOSE.
    const Process taskkill = StartProcess("taskkill.exe /PID " + std::to_string(Pid()));
    EXPECT_EQ(WaitProcess(taskkill, 15000), 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(program.Proc()); }, 10000));
    EXPECT_EQ(program.WaitExit(0), 0);
    const auto deleted = tray.Calls(NIM_DELETE);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].owner, main);
    EXPECT_TRUE(deleted[0].ownerAlive) << "the program removed its icon itself";
}

TEST_F(Resident, LogOffIsAnsweredYesAndEndsTheProgramWithItsIcon) {
    ASSERT_TRUE(tray.Ready());
    HWND main = StartResident();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(program.EndSession());
    EXPECT_EQ(program.WaitExit(), 0);
    const auto deleted = tray.Calls(NIM_DELETE);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_TRUE(deleted[0].ownerAlive);
}

// Another program's window with the resident's class and caption, which never answers for it.
class LookAlike {
public:
    LookAlike() {
        WNDCLASSA wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kMainWindowClass;
        RegisterClassA(&wc);
        window_.reset(CreateWindowExA(0, kMainWindowClass, "Ipshifter", WS_OVERLAPPEDWINDOW, 0, 0,
                                      200, 100, nullptr, nullptr, wc.hInstance, nullptr));
    }
    ~LookAlike() {
        window_.reset();
        UnregisterClassA(kMainWindowClass, GetModuleHandleA(nullptr));
    }
    HWND hwnd() const { return window_.get(); }
    static int requests;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg >= 0xC000)
            ++requests;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    base::unique_hwnd window_;
};
int LookAlike::requests = 0;

TEST_F(Resident, ASecondStartShowsTheFirstOneAndEndsWithoutIconOrWrite) {
    ASSERT_TRUE(tray.Ready());
    HWND main = StartResident();
    ASSERT_NE(main, nullptr);
    // Newer, so asked first.
    const LookAlike lookAlike;
    ASSERT_NE(lookAlike.hwnd(), nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 5000));
    const std::string file = ReadFileBytes(program.IniPath());
    const FILETIME written = LastWrite(program.IniPath());

    // A start that would stay in the tray: none named, or a name no entry has.
    const struct {
        const char* arguments;
        int exitCode;
    } starts[] = {{"", 0}, {"/PROFILE=Nowhere", kExitNoProfile}};
    for (const auto& [arguments, exitCode] : starts) {
        SCOPED_TRACE(arguments);
        const Process second = program.Launch(arguments);
        bool ended = false;
        EXPECT_TRUE(WaitUntil([&] { return (ended = !IsRunning(second)) && IsWindowVisible(main); },
                              20000));
        EXPECT_TRUE(ended);
        EXPECT_EQ(WaitProcess(second, 0), exitCode);
        EXPECT_FALSE(IsWindowVisible(lookAlike.hwnd())) << "the look-alike was taken for it";
        EXPECT_EQ(tray.Calls(NIM_ADD).size(), 1u) << "one icon";
        EXPECT_EQ(ReadFileBytes(program.IniPath()), file);
        EXPECT_TRUE(SameTime(LastWrite(program.IniPath()), written)) << "the file was written";
        PostMessageA(main, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 5000));
    }
    EXPECT_TRUE(IsRunning(program.Proc()));
    EXPECT_GT(LookAlike::requests, 0) << "the look-alike was never asked";
}

TEST_F(Resident, AnApplyFromTheCommandLineMovesItsCheckMarkAndItsNextSaveKeepsIt) {
    HWND main = StartResident();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(TrayMenuChecks(Pid()), (std::vector<bool>{false, false, true, false, false, false}));

    const Process switcher = program.Launch("/PROFILE=\"  Office\"");
    EXPECT_EQ(WaitProcess(switcher, 30000), 0);
    EXPECT_EQ(NetshCalls(program.Folder()), kOfficeCalls);
    EXPECT_EQ(MarkInFile(program, 1), 1u);
    EXPECT_EQ(MarkInFile(program, 2), 0u);
    EXPECT_EQ(TrayMenuChecks(Pid()), (std::vector<bool>{false, true, false, false, false, false}));

    // The resident saves its whole table: the marks it learnt stay.
    for (const auto& command :
         std::vector<std::vector<std::string>>{{"show-main"}, {"click", "Save"}}) {
        const DriverRun run = RunDriver(Pid(), command);
        ASSERT_EQ(run.exitCode, 0) << DriverOutput(run);
    }
    EXPECT_EQ(MarkInFile(program, 1), 1u);
    EXPECT_EQ(MarkInFile(program, 2), 0u);
    EXPECT_TRUE(IsRunning(program.Proc()));
}

TEST_F(Resident, ExitDuringAnApplyEndsTheProgramOnceTheRunHasEndedAndCleanedUp) {
    ASSERT_TRUE(StartSlowApply());

    // The tray menu stays usable during the apply; its Exit waits for the run.
    const DriverRun exited = RunDriver(Pid(), {"choose-tray-item", "last"});
    ASSERT_EQ(exited.exitCode, 0) << DriverOutput(exited);
    EXPECT_TRUE(IsRunning(program.Proc())) << "ended in the middle of the apply";
    EXPECT_EQ(program.WaitExit(30000), 0);
    EXPECT_EQ(NetshCalls(program.Folder()), kOfficeCalls) << "the script ran to its end";
    EXPECT_FALSE(FileExists(program.File("_ipshifter.cmd")));
    EXPECT_FALSE(FileExists(program.File("_progress.tmp")));
    EXPECT_TRUE(WaitUntil([] { return TrayIconsOnScreen() == 0; }, 10000)) << "the icon stayed";
}

TEST_F(Resident, AnApplyFromTheCommandLineWhileTheResidentAppliesIsRefused) {
    ASSERT_TRUE(StartSlowApply());

    const Process switcher = program.Launch("/PROFILE=\"  Home\"");
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            box = FindProcessWindow(switcher.pid, "#32770", "Ipshifter");
            return box && IsWindowVisible(box);
        },
        10000));
    EXPECT_EQ(MessageBoxText(box), kBusy);
    RealProgram::AnswerMessageBox(box);
    EXPECT_EQ(WaitProcess(switcher, 10000), kExitRefused);

    ASSERT_TRUE(WaitUntil([&] { return !FileExists(program.File("_ipshifter.cmd")); }, 30000));
    EXPECT_EQ(NetshCalls(program.Folder()), kOfficeCalls) << "only the resident's apply ran";
    EXPECT_EQ(MarkInFile(program, 1), 1u);
    EXPECT_EQ(MarkInFile(program, 2), 0u);
}

} // namespace
