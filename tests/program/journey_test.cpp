// One whole journey of the real program, driven from outside: the first start writes the
// default profile file, a profile is made in the window, applied from the tray, and everything
// is still there after the program has been ended and started again.
#include "fixtures.h"
#include "support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

using Lines = std::vector<std::string>;

const char kLan[] = "Local Area Connection";
const char kWlan[] = "Wireless Network Connection";

// The first profile as the first start writes it, on the first connection.
Lines DefaultProfile() {
    return {"INTERFACE=Local Area Connection",
            "DHCP=1",
            "IPCOUNT=1",
            "IP1=",
            "SUBNET=",
            "GATEWAY=",
            "METRIC=1",
            "DNSCOUNT=1",
            "DNS1=",
            "SELECTED=0"};
}

// The file with the default profile and Office, the profile the journey makes.
std::string FileWithOffice(int officeSelected) {
    Lines lines = {"[PROFILES]", "COUNT=2", "PROFILE1=Windows Default (DHCP)", "PROFILE2=Office",
                   "[PROFILE1]"};
    for (const auto& line : DefaultProfile())
        lines.push_back(line);
    for (const char* line :
         {"[PROFILE2]", "INTERFACE=Local Area Connection", "DHCP=0", "IPCOUNT=2", "IP1=192.0.2.10",
          "IP2=192.0.2.11", "SUBNET=255.255.255.0", "GATEWAY=192.0.2.1", "METRIC=25", "DNSCOUNT=2",
          "DNS1=192.0.2.53", "DNS2=198.51.100.53"})
        lines.push_back(line);
    lines.push_back("SELECTED=" + std::to_string(officeSelected));
    return CrLfText(lines);
}

// One driver command that must succeed; the lines it printed.
Lines Drive(DWORD pid, const std::vector<std::string>& args) {
    const DriverRun run = RunDriver(pid, args);
    EXPECT_EQ(run.exitCode, 0) << args.front() << "\n" << DriverOutput(run);
    return run.lines;
}

bool NoMessageBox(DWORD pid) {
    return FindProcessWindow(pid, "#32770", "Ipshifter") == nullptr;
}

TEST(Journey, FirstStartNewProfileTrayApplyAndRestartKeepEverything) {
    MachineNetwork network(PciConnections({kLan, kWlan}));
    RealProgram program("journey");
    ASSERT_TRUE(CopyFileTo(BinDir() + "\\netsh_recorder.exe", program.File("netsh.exe")));
    const std::string ini = program.IniPath();
    ASSERT_FALSE(FileExists(ini));

    // First start without a profile file: the default profile is written for the first
    // connection, and the program waits in the tray.
    program.Start();
    HWND main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    DWORD pid = program.Proc().pid;
    Lines defaults = {"[PROFILES]", "COUNT=1", "PROFILE1=Windows Default (DHCP)", "[PROFILE1]"};
    for (const auto& line : DefaultProfile())
        defaults.push_back(line);
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(ini) == CrLfText(defaults); }, 10000))
        << ReadFileBytes(ini);
    EXPECT_FALSE(IsWindowVisible(main));

    // The window, shown from the tray, lists the default profile.
    Drive(pid, {"show-main"});
    EXPECT_TRUE(IsWindowVisible(main));
    EXPECT_EQ(Drive(pid, {"list", "Profile"}),
              (Lines{"entry - Local Area Connection", "entry *   Windows Default (DHCP)"}));

    // New, answered in the real input box: the new profile is chosen, with metric 1.
    Drive(pid, {"click", "New"});
    EXPECT_EQ(Drive(pid, {"answer-input", "Office"}), Lines{"prompt Profile name?"});
    EXPECT_EQ(Drive(pid, {"list", "Profile"}),
              (Lines{"entry - Local Area Connection", "entry -   Windows Default (DHCP)",
                     "entry *   Office"}));
    EXPECT_EQ(Drive(pid, {"get-text", "Metric"}), Lines{"line 1"});

    // DHCP greys the address fields but not the DNS servers; unticked, they take addresses.
    EXPECT_EQ(Drive(pid, {"is-checked", "DHCP"}), Lines{"unchecked"});
    Drive(pid, {"click", "DHCP"});
    EXPECT_EQ(Drive(pid, {"is-enabled", "IP"}), Lines{"disabled"});
    EXPECT_EQ(Drive(pid, {"is-enabled", "Gateway"}), Lines{"disabled"});
    EXPECT_EQ(Drive(pid, {"is-enabled", "DNS"}), Lines{"enabled"});
    Drive(pid, {"click", "DHCP"});
    EXPECT_EQ(Drive(pid, {"is-checked", "DHCP"}), Lines{"unchecked"});
    EXPECT_EQ(Drive(pid, {"is-enabled", "IP"}), Lines{"enabled"});

    Drive(pid, {"set-text", "IP", "192.0.2.10", "192.0.2.11"});
    Drive(pid, {"set-text", "Subnet", "255.255.255.0"});
    Drive(pid, {"set-text", "Gateway", "192.0.2.1"});
    Drive(pid, {"set-text", "Metric", "25"});
    Drive(pid, {"set-text", "DNS", "192.0.2.53", "198.51.100.53"});
    Drive(pid, {"click", "Save"});
    EXPECT_TRUE(NoMessageBox(pid));
    EXPECT_EQ(ReadFileBytes(ini), FileWithOffice(0));
    EXPECT_EQ(Drive(pid, {"list", "Profile"}),
              (Lines{"entry - Local Area Connection", "entry -   Windows Default (DHCP)",
                     "entry *   Office"}));

    // Back to the tray; the menu has no check mark yet.
    Drive(pid, {"hide-main"});
    EXPECT_FALSE(IsWindowVisible(main));
    // Menu: heading, Windows Default (DHCP), Office, Setup, About, Exit.
    EXPECT_EQ(TrayMenuChecks(pid), (std::vector<bool>{false, false, false, false, false, false}));

    // Office chosen from the tray is applied: netsh gets its addresses and DNS servers.
    Drive(pid, {"choose-tray-item", "2"});
    ASSERT_TRUE(WaitUntil(
        [&] {
            return FileExists(program.File("netsh.log")) &&
                   !FileExists(program.File("_ipshifter.cmd")) && !IsWindowVisible(main);
        },
        30000));
    const std::string q = std::string("\"") + kLan + "\"";
    EXPECT_EQ(SplitCrLf(ReadFileBytes(program.File("netsh.log"))),
              (Lines{"interface ip set address " + q +
                         " source=static addr=192.0.2.10 mask=255.255.255.0 gateway=192.0.2.1 "
                         "gwmetric=25",
                     "interface ip add address " + q + " 192.0.2.11 255.255.255.0",
                     "interface ip set dns " + q + " static none",
                     "interface ip add dns " + q + " 192.0.2.53",
                     "interface ip add dns " + q + " 198.51.100.53"}));
    EXPECT_TRUE(NoMessageBox(pid));
    EXPECT_EQ(TrayMenuChecks(pid), (std::vector<bool>{false, false, true, false, false, false}));
    const std::string kept = FileWithOffice(1);
    EXPECT_EQ(ReadFileBytes(ini), kept);

    // Exit, and start again: the profile, its values and its check mark are all kept, and
    // the start changes nothing in the file.
    Drive(pid, {"choose-tray-item", "last"});
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(program.Proc()); }, 10000));
    EXPECT_EQ(program.WaitExit(0), 0);
    EXPECT_EQ(ReadFileBytes(ini), kept);

    program.Start();
    main = program.WaitMainWindow();
    ASSERT_NE(main, nullptr);
    pid = program.Proc().pid;
    Drive(pid, {"show-main"});
    EXPECT_EQ(Drive(pid, {"list", "Profile"}),
              (Lines{"entry - Local Area Connection", "entry *   Windows Default (DHCP)",
                     "entry -   Office"}));
    Drive(pid, {"choose", "Profile", "  Office"});
    EXPECT_EQ(Drive(pid, {"list", "Name"}),
              (Lines{"entry * Local Area Connection", "entry - Wireless Network Connection"}));
    EXPECT_EQ(Drive(pid, {"is-checked", "DHCP"}), Lines{"unchecked"});
    EXPECT_EQ(Drive(pid, {"get-text", "IP"}), (Lines{"line 192.0.2.10", "line 192.0.2.11"}));
    EXPECT_EQ(Drive(pid, {"get-text", "Subnet"}), Lines{"line 255.255.255.0"});
    EXPECT_EQ(Drive(pid, {"get-text", "Gateway"}), Lines{"line 192.0.2.1"});
    EXPECT_EQ(Drive(pid, {"get-text", "Metric"}), Lines{"line 25"});
    EXPECT_EQ(Drive(pid, {"get-text", "DNS"}), (Lines{"line 192.0.2.53", "line 198.51.100.53"}));
    EXPECT_EQ(TrayMenuChecks(pid), (std::vector<bool>{false, false, true, false, false, false}));
    EXPECT_EQ(ReadFileBytes(ini), kept);

    Drive(pid, {"choose-tray-item", "last"});
    ASSERT_TRUE(WaitUntil([&] { return !IsRunning(program.Proc()); }, 10000));
    EXPECT_EQ(program.WaitExit(0), 0);
    EXPECT_EQ(ReadFileBytes(ini), kept);
}

} // namespace
