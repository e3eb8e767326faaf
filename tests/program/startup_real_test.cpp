// Start-up of the real executable under each Windows version Wine can report to it.
#include "fixtures.h"
#include "support.h"

#include "functions/exit_codes.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

using namespace testsupport;

namespace {

// The real executable, with the version Wine reports to it.
struct VersionCase {
    const char* wineVersion;
    bool supported;
};

void PrintTo(const VersionCase& c, std::ostream* os) {
    *os << c.wineVersion;
}

class StartupReal : public testing::TestWithParam<VersionCase> {};

TEST_P(StartupReal, DecidesByTheReportedVersion) {
    MachineNetwork network(PciConnections({"Local Area Connection"}));
    WineVersionFor version("Ipshifter.exe", GetParam().wineVersion);
    RealProgram program;
    program.Start();
    if (GetParam().supported) {
        HWND main = program.WaitMainWindow();
        ASSERT_NE(main, nullptr);
        // Resident: the process keeps running with its window hidden.
        EXPECT_FALSE(WaitUntil([&] { return !IsRunning(program.Proc()); }, 1500));
        EXPECT_FALSE(IsWindowVisible(main));
        EXPECT_FALSE(program.WaitMessageBox(200));
        EXPECT_TRUE(program.EndSession()) << "log-off answered yes";
        EXPECT_EQ(program.WaitExit(), 0);
    } else {
        HWND box = program.WaitMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(MessageBoxText(box), "OS unsupported");
        HWND main = FindProcessWindow(program.Proc().pid, kMainWindowClass, nullptr);
        EXPECT_TRUE(main == nullptr || !IsWindowVisible(main));
        RealProgram::AnswerMessageBox(box);
        EXPECT_EQ(program.WaitExit(), kExitRefused);
        EXPECT_FALSE(FileExists(program.IniPath()));
    }
}

INSTANTIATE_TEST_SUITE_P(WineVersions, StartupReal,
                         testing::Values(VersionCase{"win2k", true}, VersionCase{"winxp", true},
                                         VersionCase{"vista", true}, VersionCase{"win7", true},
                                         VersionCase{"win2003", false},
                                         VersionCase{"win98", false}),
                         [](const auto& p) { return std::string(p.param.wineVersion); });

} // namespace
