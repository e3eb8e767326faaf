// The real program in the tray, driven from outside the way the shell and a user drive it: a
// profile chosen from the tray menu is applied and its check mark moves, a double click shows
// the window and closing hides it, and Exit removes the icon and ends the program.
#include "fixtures.h"
#include "support.h"

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

const char kLan[] = "Local Area Connection";
const char kWlan[] = "Wireless Network Connection";

// Office (static) and Home (DHCP, applied last) on the wired connection, Cafe (DHCP, applied
// last) on the wireless one.
std::string ProfileFile() {
    return CrLfText({
        "[PROFILES]",
        "COUNT=3",
        "PROFILE1=Office",
        "PROFILE2=Home",
        "PROFILE3=Cafe",
        "[PROFILE1]",
        "INTERFACE=Local Area Connection",
        "DHCP=0",
        "IPCOUNT=2",
        "IP1=192.0.2.10",
        "IP2=192.0.2.11",
        "SUBNET=255.255.255.0",
        "GATEWAY=192.0.2.1",
        "METRIC=25",
        "DNSCOUNT=2",
        "DNS1=192.0.2.53",
        "DNS2=198.51.100.53",
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
        "[PROFILE3]",
        "INTERFACE=Wireless Network Connection",
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

// Positions in the tray menu (separators do not count).
enum MenuItem { kLanHeading, kOffice, kHome, kWlanHeading, kCafe, kSetup, kAbout, kExit };

// Sends a tray report and returns once the program has handled it.
void TrayReport(HWND main, UINT mouseMessage) {
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutA(main, kTrayCallbackMessage, kTrayIconId,
                                    MAKELPARAM(mouseMessage, 0), SMTO_ABORTIFHUNG, 5000, &ignored))
        << mouseMessage;
}

TEST(TrayEndToEnd, MenuAppliesMovesTheCheckAndExitRemovesTheIcon) {
    MachineNetwork network(PciConnections({kLan, kWlan}));
    RealProgram program("tray");
    WriteFileBytes(program.IniPath(), ProfileFile());
    ASSERT_TRUE(CopyFileTo(BinDir() + "\\netsh_recorder.exe", program.File("netsh.exe")));
    TrayWatch tray;
    ASSERT_TRUE(tray.Ready()) << "the stand-in is not the first tray window";
    const int iconsBefore = TrayIconsOnScreen();

    // Start-up puts the icon up and hides the window.
    program.Start();
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return !tray.Calls(NIM_ADD).empty(); }, 10000));
    const auto added = tray.Calls(NIM_ADD);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].owner, main);
    EXPECT_TRUE(added[0].result);
    EXPECT_EQ(added[0].iconsAfter, iconsBefore + 1);
    EXPECT_FALSE(IsWindowVisible(main));
    const DWORD pid = program.Proc().pid;

    // Right click: Home is checked on the wired connection, Cafe on the wireless one.
    EXPECT_EQ(TrayMenuChecks(pid),
              (std::vector<bool>{false, false, true, false, true, false, false, false}));

    // Choosing Office applies it; the hidden window shows for the apply and hides again.
    const DriverRun chosen = RunDriver(pid, {"choose-tray-item", std::to_string(kOffice)});
    ASSERT_EQ(chosen.exitCode, 0) << DriverOutput(chosen);
    bool shownDuringApply = false;
    const bool applied = WaitUntil(
        [&] {
            shownDuringApply = shownDuringApply || IsWindowVisible(main);
            return FileExists(program.File("netsh.log")) &&
                   !FileExists(program.File("_ipshifter.cmd")) && !IsWindowVisible(main);
        },
        30000);
    ASSERT_TRUE(applied);
    EXPECT_TRUE(shownDuringApply);
    const std::string q = std::string("\"") + kLan + "\"";
    EXPECT_EQ(SplitCrLf(ReadFileBytes(program.File("netsh.log"))),
              (std::vector<std::string>{
                  "interface ip set address " + q +
                      " source=static addr=192.0.2.10 mask=255.255.255.0 gateway=192.0.2.1 "
                      "gwmetric=25",
                  "interface ip add address " + q + " 192.0.2.11 255.255.255.0",
                  "interface ip set dns " + q + " static none",
                  "interface ip add dns " + q + " 192.0.2.53",
                  "interface ip add dns " + q + " 198.51.100.53"}));
    EXPECT_FALSE(FileExists(program.File("_progress.tmp")));
    EXPECT_EQ(FindProcessWindow(pid, "#32770", "Ipshifter"), nullptr) << "no message expected";
    EXPECT_TRUE(IsWindowEnabled(main));
    const std::string ini = program.IniPath();
    const struct {
        const char* section;
        UINT selected;
    } marks[] = {{"PROFILE1", 1}, {"PROFILE2", 0}, {"PROFILE3", 1}};
    for (const auto& m : marks)
        EXPECT_EQ(GetPrivateProfileIntA(m.section, "SELECTED", 9, ini.c_str()), m.selected)
            << m.section;

    // The next right click shows the check at Office; the wireless one keeps its own.
    EXPECT_EQ(TrayMenuChecks(pid),
              (std::vector<bool>{false, true, false, false, true, false, false, false}));

    // A double click reports down, up, double click, up: the double click shows the window.
    TrayReport(main, WM_LBUTTONDOWN);
    TrayReport(main, WM_LBUTTONUP);
    EXPECT_FALSE(IsWindowVisible(main));
    TrayReport(main, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(IsWindowVisible(main));
    TrayReport(main, WM_LBUTTONUP);
    EXPECT_TRUE(IsWindowVisible(main));

    // Closing the window with its title bar's close box only hides it; the program stays in
    // the tray.
    POINT closeBox{};
    ASSERT_TRUE(CloseBoxOf(main, closeBox));
    ASSERT_TRUE(ClickAt(closeBox, MOUSEEVENTF_LEFTDOWN));
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(main); }, 5000));
    EXPECT_FALSE(WaitUntil([&] { return !IsRunning(program.Proc()); }, 1000));
    EXPECT_TRUE(IsWindow(main));
    EXPECT_TRUE(tray.Calls(NIM_DELETE).empty());

    // Exit: the program removes its icon itself, while its window still exists (Wine would
    // also clear the icon of a window that is gone), then ends with 0.
    const DriverRun exited = RunDriver(pid, {"choose-tray-item", "last"});
    ASSERT_EQ(exited.exitCode, 0) << DriverOutput(exited);
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(program.Proc()); }, 10000));
    EXPECT_EQ(program.WaitExit(0), 0);
    const auto deleted = tray.Calls(NIM_DELETE);
    ASSERT_EQ(deleted.size(), 1u);
    EXPECT_EQ(deleted[0].owner, main);
    EXPECT_TRUE(deleted[0].ownerAlive);
    EXPECT_TRUE(deleted[0].result);
    EXPECT_EQ(deleted[0].iconsAfter, iconsBefore);
    EXPECT_EQ(TrayIconsOnScreen(), iconsBefore);
}

} // namespace
