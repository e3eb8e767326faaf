#include "functions/profiles.h"

#include "fixtures.h"
#include "globals/mdlGVars.h"
#include "main_window_fixture.h"
#include "support.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>

namespace {

using testsupport::ChildCommandLine;
using testsupport::FileExists;
using testsupport::ListFiles;
using testsupport::ReadFileBytes;
using testsupport::RealProgram;
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

    // The temporary file is written in one go, so its size tells nothing of the save's progress:
    // kills are spread over the child's run, and a few wait for the complete temporary file, then
    // a few milliseconds more, around the moment it replaces the old one. A kill at once must find
    // the old file, every other one the old or the new file.
    struct Kill {
        DWORD afterMs;
        bool afterTempFile;
    };
    std::vector<Kill> kills = {{0, false}};
    for (DWORD i = 0; i < 10; ++i)
        kills.push_back({std::max<DWORD>(1, duration * (2 * i + 1) / 20), false});
    for (DWORD extra : {0, 2, 5, 10, 30})
        kills.push_back({extra, true});

    int oldSeen = 0, newSeen = 0;
    for (const Kill& kill : kills) {
        SCOPED_TRACE("killed " + std::to_string(kill.afterMs) + " ms after " +
                     (kill.afterTempFile ? "the complete temporary file showed" : "the start"));
        WriteFileBytes(file, oldBytes);
        // A leftover from the last kill, smaller than the complete file.
        if (testsupport::FileExists(temp))
            WriteFileBytes(temp, "[PROFILE999]\r\nSTALE=1\r\n");
        auto p =
            StartProcess(ChildCommandLine(kChild, {dir.path(), "new", std::to_string(newCount)}));
        ASSERT_TRUE(p.handle);
        const DWORD start = GetTickCount();
        while (kill.afterTempFile && FileSize(temp) < newBytes.size() &&
               testsupport::IsRunning(p) && GetTickCount() - start < 10 * duration + 10000)
            Sleep(1);
        if (kill.afterMs)
            WaitProcess(p, kill.afterMs);
        TerminateProcess(p.handle.get(), 99);
        ASSERT_NE(WaitProcess(p, 10000), -1);

        const std::string bytes = ReadFileBytes(file);
        if (kill.afterMs == 0 && !kill.afterTempFile)
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

FILETIME LastWrite(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

FILETIME CreationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    GetProcessTimes(process, &created, &exited, &kernel, &user);
    return created;
}

// Waits for every process started since the killed program was (an interpreter left running
// its script, the console host it starts, theirs) to end; one still running after its time is
// ended. Nothing else starts processes while this test runs, so these are the program's own,
// found also when their parent's ID is gone or was not yet known to a snapshot: a console host
// that outlives its interpreter would keep CTest's output pipe open and the test from ending.
// Ending one at once is no option: Wine's server crashes when a process is terminated while it
// is still being started.
void EndProcessesStartedSince(const FILETIME& since) {
    for (int round = 0; round < 5; ++round) {
        std::vector<base::unique_handle> started;
        base::unique_file snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        PROCESSENTRY32 entry{};
        entry.dwSize = sizeof(entry);
        if (!snapshot || !Process32First(snapshot.get(), &entry))
            return;
        do {
            if (entry.th32ProcessID == GetCurrentProcessId())
                continue;
            base::unique_handle process(
                OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION | SYNCHRONIZE, FALSE,
                            entry.th32ProcessID));
            if (!process)
                continue;
            const FILETIME created = CreationTime(process.get());
            if (CompareFileTime(&created, &since) >= 0 &&
                WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT)
                started.push_back(std::move(process));
        } while (Process32Next(snapshot.get(), &entry));
        if (started.empty())
            return;
        for (const base::unique_handle& process : started) {
            if (WaitForSingleObject(process.get(), 15000) == WAIT_TIMEOUT) {
                TerminateProcess(process.get(), 99);
                WaitForSingleObject(process.get(), 5000);
            }
        }
    }
}

// The real program applying a profile from its command line, killed at moments spread over its
// run and right after its first write to the profile file or its temporary file: the marks of
// the connection reach the file together with the rest of the table, or not at all.
TEST(ProfileCrash, AKilledApplyLeavesTheFileAsItWasOrAsTheApplyLeavesIt) {
    testsupport::MachineNetwork network(testsupport::PciConnections({"LAN", "Wireless"}));
    const int count = 60;
    // Two of every three profiles are on LAN; one of them is marked, and the last is applied.
    std::vector<ProfileRecord> before = Table("old", count);
    before[1].SELECTED = 1;
    std::vector<ProfileRecord> after = before;
    after[1].SELECTED = 0;
    after[count - 1].SELECTED = 1;
    ASSERT_EQ(after[count - 1].INTERFACE, "LAN");
    const std::string oldBytes = ProfileFileText(before);
    const std::string argument = "/PROFILE=\"  " + before[count - 1].NAME + "\"";

    struct Kill {
        DWORD afterMs;
        bool afterFirstWrite; // else after the start
    };
    // Runs one apply in a folder of its own, killed as given unless it ends first; returns the
    // profile file it leaves and sets how long it ran.
    auto apply = [&](const Kill& kill, DWORD& ranMs) {
        RealProgram program("crashapply");
        testsupport::InstallNetsh(program.Folder());
        const std::string ini = program.IniPath();
        WriteFileBytes(ini, oldBytes);
        const FILETIME written = LastWrite(ini);
        const DWORD start = GetTickCount();
        program.Start(argument);
        auto untouched = [&] {
            const FILETIME now = LastWrite(ini);
            return !FileExists(ini + ".new") && CompareFileTime(&written, &now) == 0;
        };
        while (kill.afterFirstWrite && testsupport::IsRunning(program.Proc()) && untouched() &&
               GetTickCount() - start < 60000)
            Sleep(1);
        const int exitCode = program.WaitExit(kill.afterMs);
        ranMs = GetTickCount() - start;
        if (exitCode == -1) {
            const FILETIME created = CreationTime(program.Proc().handle.get());
            TerminateProcess(program.Proc().handle.get(), 99);
            EXPECT_NE(program.WaitExit(10000), -1);
            EndProcessesStartedSince(created);
        } else {
            EXPECT_EQ(exitCode, 0);
        }
        return ReadFileBytes(ini);
    };

    DWORD duration = 0;
    const std::string newBytes = apply({60000, false}, duration);
    ASSERT_NE(newBytes, oldBytes);
    {
        ScratchDir copy("crashref");
        WriteFileBytes(copy.File("new.ini"), newBytes);
        EXPECT_EQ(LoadFrom(copy.File("new.ini")), after);
    }

    std::vector<Kill> kills;
    for (DWORD i = 0; i < 8; ++i)
        kills.push_back({duration * (2 * i + 1) / 16, false});
    for (DWORD extra : {0, 1, 2, 4, 8, 16, 32, 64})
        kills.push_back({extra, true});
    int oldSeen = 0, newSeen = 0;
    for (const Kill& kill : kills) {
        SCOPED_TRACE("killed " + std::to_string(kill.afterMs) + " ms after " +
                     (kill.afterFirstWrite ? "the first write" : "the start"));
        DWORD ran = 0;
        const std::string bytes = apply(kill, ran);
        EXPECT_TRUE(bytes == oldBytes || bytes == newBytes)
            << "file of " << bytes.size() << " bytes";
        oldSeen += bytes == oldBytes;
        newSeen += bytes == newBytes;
    }
    std::printf("apply of profile %d of %d: %lu ms; after %zu kills: old file %d, new file %d\n",
                count, count, duration, kills.size(), oldSeen, newSeen);
}

} // namespace
