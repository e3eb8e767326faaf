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

TEST(ProfileCrash, AKilledSaveLeavesTheOldOrTheNewFileWhole) {
    const int oldCount = 30, newCount = 100;
    ScratchDir dir("crash");
    const std::string file = dir.File("Ipshifter.ini");

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

    // Kills spread evenly over the save, and two after its end. Each leaves whatever temporary
    // file it made for the next save to deal with.
    const int kills = 14;
    int oldSeen = 0, newSeen = 0, tempSeen = 0;
    for (int i = 0; i < kills + 2; ++i) {
        const DWORD delay = duration * static_cast<DWORD>(i + 1) / kills;
        SCOPED_TRACE("killed after " + std::to_string(delay) + " ms of " +
                     std::to_string(duration));
        WriteFileBytes(file, oldBytes);
        auto p =
            StartProcess(ChildCommandLine(kChild, {dir.path(), "new", std::to_string(newCount)}));
        ASSERT_TRUE(p.handle);
        Sleep(delay);
        TerminateProcess(p.handle.get(), 99);
        ASSERT_NE(WaitProcess(p, 10000), -1);

        const std::string bytes = ReadFileBytes(file);
        EXPECT_TRUE(bytes == oldBytes || bytes == newBytes)
            << "file of " << bytes.size() << " bytes";
        oldSeen += bytes == oldBytes;
        newSeen += bytes == newBytes;
        const auto files = ListFiles(dir.path());
        tempSeen += std::find(files.begin(), files.end(), "Ipshifter.ini.new") != files.end();
    }
    std::printf("save of %d profiles: %lu ms; after %d kills: old %d, new %d, temporary file %d\n",
                newCount, duration, kills + 2, oldSeen, newSeen, tempSeen);
    // The kills did land inside the save.
    EXPECT_GT(oldSeen, 0);
    EXPECT_GT(tempSeen, 0);

    // A save after all that is whole and tidy.
    WriteFileBytes(file, oldBytes);
    SaveInChild(dir.path(), "new", newCount);
    EXPECT_EQ(ReadFileBytes(file), newBytes);
    EXPECT_EQ(ListFiles(dir.path()), std::vector<std::string>{"Ipshifter.ini"});
}

} // namespace
