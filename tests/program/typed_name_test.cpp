// A profile's name typed on the keyboard into the real program's input box: the box opens ready
// for typing, and Return takes what was typed.
#include "fixtures.h"
#include "support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace testsupport;

namespace {

using Lines = std::vector<std::string>;

Lines Drive(DWORD pid, const std::vector<std::string>& args) {
    const DriverRun run = RunDriver(pid, args);
    EXPECT_EQ(run.exitCode, 0) << args.front() << "\n" << DriverOutput(run);
    return run.lines;
}

TEST(TypedName, NewAndEditTakeTheNameTypedIntoTheBoxAndReturn) {
    MachineNetwork network(PciConnections({"Local Area Connection"}));
    RealProgram program("typed");
    program.Start();
    ASSERT_NE(program.WaitMainWindow(), nullptr);
    const DWORD pid = program.Proc().pid;
    Drive(pid, {"show-main"});

    struct Step {
        const char* button;
        const char* typed;
        Lines listAfter;
    };
    // Edit opens with the old name selected, so the typed name replaces it.
    const Step steps[] = {
        {"New",
         "Office",
         {"entry - Local Area Connection", "entry -   Windows Default (DHCP)", "entry *   Office"}},
        {"Edit",
         "Home",
         {"entry - Local Area Connection", "entry -   Windows Default (DHCP)", "entry -   Home"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.button);
        Drive(pid, {"click", step.button});
        EXPECT_EQ(Drive(pid, {"type-input", step.typed}),
                  (Lines{"prompt Profile name?", std::string("field ") + step.typed}));
        EXPECT_EQ(Drive(pid, {"list", "Profile"}), step.listAfter);
    }
    EXPECT_EQ(GetPrivateProfileIntA("PROFILES", "COUNT", 0, program.IniPath().c_str()), 2u);
    char name[64] = {};
    GetPrivateProfileStringA("PROFILES", "PROFILE2", "", name, sizeof(name),
                             program.IniPath().c_str());
    EXPECT_STREQ(name, "Home");
}

} // namespace
