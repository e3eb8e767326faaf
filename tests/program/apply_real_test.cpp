// A profile switch on the real executable's command line: what it applies, what it tells when
// the connection does not take the profile, and its exit code.
#include "apply_samples.h"
#include "fixtures.h"

#include "base/names.h"
#include "functions/exit_codes.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class ApplyRealProgram : public testing::Test {
protected:
    // The program folder with the three sample profiles and the netsh stand-in.
    void Prepare(RealProgram& program) {
        InstallNetsh(program.Folder());
        IniPath = program.IniPath();
        Profiles = ThreeProfiles();
        SaveProfiles();
        Profiles.clear();
    }
    void TearDown() override {
        IniPath.clear();
        Profiles.clear();
    }
};

TEST_F(ApplyRealProgram, ProfileSwitchAppliesAndEndsTheProcess) {
    MachineNetwork network(PciConnections({"LAN", "WLAN"}));
    // A bare name works as well as the list entry's text.
    for (const char* arguments : {"/PROFILE=\"  Office\"", "/PROFILE=Office"}) {
        SCOPED_TRACE(arguments);
        RealProgram program("prog with blanks");
        Prepare(program);
        program.Start(arguments);
        bool windowSeen = false;
        WaitUntil(
            [&] {
                HWND main = FindProcessWindow(program.Proc().pid, kMainWindowClass, nullptr);
                windowSeen = windowSeen || (main && IsWindowVisible(main));
                return !IsRunning(program.Proc());
            },
            30000);
        EXPECT_EQ(program.WaitExit(1000), kExitApplied) << "checked and confirmed, silently";
        EXPECT_FALSE(windowSeen);
        EXPECT_EQ(NetshCalls(program.Folder()), kStaticCalls);
        EXPECT_EQ(SelectedOnDisk(program.IniPath()), (std::vector<int>{1, 0, 1}));
        EXPECT_FALSE(FileExists(program.File("_ipshifter.cmd")));
        EXPECT_FALSE(FileExists(program.File("_progress.tmp")));
    }
}

TEST_F(ApplyRealProgram, WhatNetshRefusedIsToldWithItsWordsAndANonZeroCode) {
    const struct {
        const char* refuse;
        std::string difference;
        std::string words;
    } cases[] = {
        {"dns",
         "DNS servers: the profile asks for 192.0.2.53, 192.0.2.54; the connection has none.",
         "The configured DNS server is incorrect or does not exist."},
        {"address",
         "IP addresses: the profile asks for 192.0.2.10/255.255.255.0, 192.0.2.11/255.255.255.0; "
         "the connection has none.",
         "The parameter is incorrect."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refuse);
        // Connections on DHCP, as the fixture makes them.
        MachineNetwork network(PciConnections({"LAN", "WLAN"}));
        const ScopedEnvironment refuse("IPSHIFTER_NETSH_REFUSE", c.refuse);
        RealProgram program;
        Prepare(program);
        program.Start("/PROFILE=\"  Office\"");
        HWND box = program.WaitMessageBox(30000);
        ASSERT_NE(box, nullptr);
        const std::string text = MessageBoxText(box);
        EXPECT_EQ(text.rfind("The profile \"Office\" was not applied in full to the connection "
                             "\"LAN\".",
                             0),
                  0u)
            << text;
        EXPECT_NE(text.find(c.difference), std::string::npos) << text;
        EXPECT_NE(text.find("netsh said:\r\n" + c.words), std::string::npos) << text;
        EXPECT_EQ(text.find("Setting profile"), std::string::npos) << "the script's own lines";
        EXPECT_FALSE(FileExists(program.File("_ipshifter.cmd"))) << "told after the clean-up";
        RealProgram::AnswerMessageBox(box);
        EXPECT_EQ(program.WaitExit(), kExitDiffers);
        // The profile is still the one applied last.
        EXPECT_EQ(SelectedOnDisk(program.IniPath()), (std::vector<int>{1, 0, 1}));
    }
}

TEST_F(ApplyRealProgram, AConnectionWithoutTcpipSettingsIsRefusedBeforeNetshRuns) {
    auto connections = PciConnections({"LAN", "WLAN"});
    connections[0].tcpip.reset(); // a leftover of a removed adapter
    MachineNetwork network(connections);
    RealProgram program;
    Prepare(program);
    const std::string before = ReadFileBytes(program.IniPath());
    program.Start("/PROFILE=\"  Office\"");
    HWND box = program.WaitMessageBox(30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box),
              "The profile \"Office\" cannot be applied: Windows keeps no TCP/IP settings for the "
              "connection \"LAN\". Its network adapter may have been removed or disabled.");
    RealProgram::AnswerMessageBox(box);
    EXPECT_EQ(program.WaitExit(), kExitRefused);
    EXPECT_FALSE(FileExists(program.File("netsh.log")));
    EXPECT_EQ(ReadFileBytes(program.IniPath()), before) << "nothing marked or saved";
}

TEST_F(ApplyRealProgram, ExitCodesOfWhatCannotBeApplied) {
    MachineNetwork network(PciConnections({"LAN", "WLAN"}));
    const struct {
        const char* arguments;
        int exitCode;
    } cases[] = {{"/PROFILE=WLAN", kExitHeading}, {"/PROFILE=Nowhere", kExitNoProfile}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        RealProgram program;
        Prepare(program);
        program.Start(c.arguments);
        if (c.exitCode == kExitNoProfile) {
            // Started as without the value: in the tray, until it is ended.
            ASSERT_NE(program.WaitMainWindow(), nullptr);
            EXPECT_FALSE(WaitUntil([&] { return !IsRunning(program.Proc()); }, 1000));
            EXPECT_TRUE(program.EndSession());
        }
        EXPECT_EQ(program.WaitExit(30000), c.exitCode);
        EXPECT_FALSE(FileExists(program.File("netsh.log")));
    }
}

TEST_F(ApplyRealProgram, AUsbAdapterIsListedAndApplied) {
    auto connections = PciConnections({"LAN", "Dock"});
    connections[1].pnpInstanceId = "USB\\VID_0B95&PID_1790\\000000000002";
    MachineNetwork network(connections);
    RealProgram program;
    InstallNetsh(program.Folder());
    IniPath = program.IniPath();
    Profiles = {MakeProfile("Desk", "Dock", 0, {"198.51.100.7"}, "255.255.255.0", "none", 1,
                            {"198.51.100.53"})};
    SaveProfiles();
    Profiles.clear();
    program.Start("/PROFILE=Desk");
    EXPECT_EQ(program.WaitExit(30000), kExitApplied);
    EXPECT_EQ(NetshCalls(program.Folder()),
              (std::vector<std::string>{
                  "interface ip set address \"Dock\" source=static addr=198.51.100.7 "
                  "mask=255.255.255.0 gateway=none",
                  "interface ip set dns \"Dock\" static none",
                  "interface ip add dns \"Dock\" 198.51.100.53"}));
}

} // namespace
