// A profile switch on the real executable's command line.
#include "apply_samples.h"
#include "fixtures.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

TEST(ApplyRealProgram, ProfileSwitchAppliesAndEndsTheProcess) {
    MachineNetwork network(PciConnections({"LAN", "WLAN"}));
    RealProgram program("prog with blanks");
    InstallNetsh(program.Folder());
    IniPath = program.IniPath();
    Profiles = ThreeProfiles();
    SaveProfiles();
    Profiles.clear();
    program.Start("/PROFILE=\"  Office\"");
    bool windowSeen = false;
    WaitUntil(
        [&] {
            HWND main = FindProcessWindow(program.Proc().pid, "IpshifterMain", nullptr);
            windowSeen = windowSeen || (main && IsWindowVisible(main));
            return !IsRunning(program.Proc());
        },
        30000);
    EXPECT_EQ(program.WaitExit(1000), 0);
    EXPECT_FALSE(windowSeen);
    EXPECT_EQ(NetshCalls(program.Folder()), kStaticCalls);
    EXPECT_EQ(SelectedOnDisk(program.IniPath()), (std::vector<int>{1, 0, 1}));
    EXPECT_FALSE(FileExists(program.File("_ipshifter.cmd")));
    EXPECT_FALSE(FileExists(program.File("_progress.tmp")));
    IniPath.clear();
    Profiles.clear();
}

} // namespace
