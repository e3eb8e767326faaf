// The real program after hostile profile files and command lines.
#include "fixtures.h"
#include "hostile_data.h"
#include "support.h"

#include "functions/exit_codes.h"
#include "functions/profiles.h"
#include "globals/mdlGVars.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

TEST(HostileRealProgram, EndsByItselfAfterHostileFilesAndCommandLines) {
    MachineNetwork machine(PciConnections({"LAN", "WLAN"}));
    struct Case {
        const char* name;
        std::string file;
        std::string arguments;
        bool applies;
        int exitCode;
    };
    const Case cases[] = {
        {"COUNT 32767", "[PROFILES]\r\nCOUNT=32767\r\nPROFILE1=Home\r\n" + FullProfile(1, "LAN"),
         "/PROFILE=LAN", false, kExitHeading},
        // Without a usable file the one default profile lies on the first connection.
        {"random bytes, quoted heading", Dice(kSeed + 3).Bytes(4000), "/PROFILE=\"LAN\"", false,
         kExitHeading},
        {"command line of 30000 slashes", "", std::string(30000, '/') + "PROFILE=LAN", false,
         kExitHeading},
        {"IPCOUNT 32767, applied",
         "[PROFILES]\r\nCOUNT=1\r\nPROFILE1=Home\r\n[PROFILE1]\r\nINTERFACE=LAN\r\nDHCP=0\r\n"
         "IPCOUNT=32767\r\nIP1=192.0.2.1\r\nSUBNET=255.255.255.0\r\nGATEWAY=none\r\n",
         "/PROFILE=\"  Home\"", true, kExitApplied},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RealProgram program("hostile");
        ASSERT_TRUE(CopyFileTo(BinDir() + "\\netsh_recorder.exe", program.File("netsh.exe")));
        if (!c.file.empty())
            WriteFileBytes(program.IniPath(), c.file);
        program.Start(c.arguments);
        EXPECT_EQ(program.WaitExit(60000), c.exitCode);
        EXPECT_EQ(ReadFileBytes(program.File("netsh.log")).empty(), !c.applies);
        EXPECT_FALSE(FileExists(program.File("_ipshifter.cmd")));

        // What the program left loads again, and completely.
        const auto savedPath = IniPath;
        const auto savedNames = InterfaceNames;
        IniPath = program.IniPath();
        InterfaceNames = {"LAN", "WLAN"};
        const std::string onDisk = ReadFileBytes(IniPath);
        LoadProfiles();
        EXPECT_FALSE(Profiles.empty());
        EXPECT_EQ(ReadFileBytes(IniPath), onDisk);
        Profiles.clear();
        IniPath = savedPath;
        InterfaceNames = savedNames;
    }
}

} // namespace
