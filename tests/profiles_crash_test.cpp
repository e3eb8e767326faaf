#include "functions/profiles.h"

#include "globals/mdlGVars.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using testsupport::ChildCommandLine;
using testsupport::ListFiles;
using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::StartProcess;
using testsupport::WaitProcess;
using testsupport::WriteFileBytes;

const char kChild[] = "save-profile-table";

// A table the parent and the child build alike: "old" and "new" differ in every profile and in
// size.
std::vector<ProfileRecord> Table(const std::string& tag, int count) {
    std::vector<ProfileRecord> table;
    for (int i = 0; i < count; ++i) {
        ProfileRecord p;
        p.NAME = tag + " profile " + std::to_string(i);
        p.INTERFACE = i % 3 ? "LAN" : "Wireless";
        p.DHCP = static_cast<std::uint8_t>(i % 2);
        p.IP = {"10." + std::to_string(i % 250) + ".0.1", "10." + std::to_string(i % 250) + ".0.2"};
        p.SUBNET = "255.255.0.0";
        p.GATEWAY = tag == "old" ? "none" : "10.0.0.254";
        p.METRIC = i + 1;
        p.DNS = {"10.0.0.53"};
        p.SELECTED = i == 0;
        table.push_back(p);
    }
    return table;
}

// args: folder, table tag, profile count.
const testsupport::ChildRegistrar registrar(kChild, [](const std::vector<std::string>& args) {
    if (args.size() != 3)
        return 2;
    IniPath = args[0] + "\\Ipshifter.ini";
    Profiles = Table(args[1], std::stoi(args[2]));
    SaveProfiles();
    return 0;
});

std::vector<ProfileRecord> LoadFrom(const std::string& file) {
    const std::string savedPath = IniPath;
    const auto savedInterfaces = InterfaceNames;
    const auto savedProfiles = Profiles;
    IniPath = file;
    InterfaceNames = {"LAN"};
    LoadProfiles();
    auto loaded = Profiles;
    IniPath = savedPath;
    InterfaceNames = savedInterfaces;
    Profiles = savedProfiles;
    return loaded;
}

// Runs the child to its end; returns its run time in milliseconds.
DWORD SaveInChild(const std::string& folder, const std::string& tag, int count) {
    const DWORD start = GetTickCount();
    auto p = StartProcess(ChildCommandLine(kChild, {folder, tag, std::to_string(count)}));
    EXPECT_EQ(WaitProcess(p, 120000), 0);
    return GetTickCount() - start;
}

std::uint64_t FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST(ProfileCrash, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    const int oldCount = 30, newCount = 100;
    ScratchDir dir("crash");
    const std::string file = dir.File("Ipshifter.ini");
    const std::string temp = file + ".new";

    SaveInChild(dir.path(), "old", oldCount);
    const std::string oldBytes = ReadFileBytes(file);
    const DWORD duration = SaveInChild(dir.path(), "new", newCount);
    const std::string newBytes = ReadFileBytes(file);
    ASSERT_NE(oldBytes, newBytes);
    // Both complete files load as their whole tables.
    {
        ScratchDir copy("crashref");
        WriteFileBytes(copy.File("old.ini"), oldBytes);
        WriteFileBytes(copy.File("new.ini"), newBytes);
        EXPECT_EQ(LoadFrom(copy.File("old.ini")), Table("old", oldCount));
        EXPECT_EQ(LoadFrom(copy.File("new.ini")), Table("new", newCount));
    }

    // The save's own progress is the clock, as the machine's speed varies: each kill waits until
    // the temporary file has grown to a share of the complete file, then a few milliseconds more.
    // Share 0 kills at once; share 1 kills around the moment the complete temporary file
    // replaces the old one.
    struct Kill {
        double share;
        DWORD extraMs;
    };
    std::vector<Kill> kills = {{0.0, 0}};
    for (int i = 0; i < 10; ++i)
        kills.push_back({0.05 + 0.1 * i, 0});
    for (DWORD extra : {0, 2, 5, 10, 30})
        kills.push_back({1.0, extra});

    int oldSeen = 0, newSeen = 0;
    for (const Kill& kill : kills) {
        SCOPED_TRACE("killed at " + std::to_string(kill.share) + " of the temporary file + " +
                     std::to_string(kill.extraMs) + " ms");
        WriteFileBytes(file, oldBytes);
        // A leftover from the last kill, small enough not to look like progress.
        if (testsupport::FileExists(temp))
            WriteFileBytes(temp, "[PROFILE999]\r\nSTALE=1\r\n");
        const auto threshold = static_cast<std::uint64_t>(kill.share * newBytes.size());
        auto p =
            StartProcess(ChildCommandLine(kChild, {dir.path(), "new", std::to_string(newCount)}));
        ASSERT_TRUE(p.handle);
        const DWORD start = GetTickCount();
        while (kill.share > 0 && FileSize(temp) < threshold && testsupport::IsRunning(p) &&
               GetTickCount() - start < 10 * duration + 10000)
            Sleep(1);
        if (kill.extraMs)
            Sleep(kill.extraMs);
        TerminateProcess(p.handle.get(), 99);
        ASSERT_NE(WaitProcess(p, 10000), -1);

        const std::string bytes = ReadFileBytes(file);
        if (kill.share < 1.0)
            EXPECT_EQ(bytes, oldBytes) << "file of " << bytes.size() << " bytes";
        else
            EXPECT_TRUE(bytes == oldBytes || bytes == newBytes)
                << "file of " << bytes.size() << " bytes";
        oldSeen += bytes == oldBytes;
        newSeen += bytes == newBytes;
    }
    std::printf("save of %d profiles: %lu ms; after %zu kills: old file %d, new file %d\n",
                newCount, duration, kills.size(), oldSeen, newSeen);

    // The save after the last kill, with whatever that kill left behind, is whole and tidy.
    WriteFileBytes(file, oldBytes);
    SaveInChild(dir.path(), "new", newCount);
    EXPECT_EQ(ReadFileBytes(file), newBytes);
    EXPECT_EQ(ListFiles(dir.path()), std::vector<std::string>{"Ipshifter.ini"});
}

} // namespace
