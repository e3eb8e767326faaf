// The fixture of the hostile-input tests: start-up in this process fed with raw profile files,
// registry trees and command lines. Every case must end within its bound and without a crash,
// and a file the program saves must load again into the table it was saved from.
#pragma once

#include "fixtures.h"
#include "main_window_fixture.h"
#include "support.h"

#include "functions/profiles.h"
#include "globals/mdlGVars.h"
#include "ini/modGestioneINI.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace hostile {

using namespace testsupport;

// A start-up with its save and reload; anything longer counts as a hang.
constexpr DWORD kCaseBoundMs = 20000;

// A text of 100000 copies of one character.
std::string Long(char c);

// A registry value written exactly as given: any type, any bytes.
struct RawValue {
    std::string name;
    DWORD type;
    std::string data;
};

RawValue Sz(const std::string& name, const std::string& text);
RawValue Dword(const std::string& name, DWORD value);

// A class key with its "Class" value and connections under it, each given by the values of its
// "Connection" key (none: the connection has no "Connection" key).
struct RawClass {
    std::string key;
    std::vector<RawValue> classValues;
    std::vector<std::pair<std::string, std::optional<std::vector<RawValue>>>> connections;
};

// Where each connection's "Connection" key was written.
std::vector<std::string> WriteClasses(const std::vector<RawClass>& classes);

class HostileInput : public MainWindowTest {
protected:
    // Start-up in this process: the connections, raw registry keys, a profile file of exactly
    // these bytes (none: no file) and the command line.
    void StartWith(const std::optional<std::string>& file,
                   const std::vector<ConnectionEntry>& connections,
                   const std::string& arguments = {}, VersionReport version = {2, 6, 1},
                   const std::vector<RawClass>& rawClasses = {}) {
        network.reset();
        network = std::make_unique<InProcessNetwork>(connections);
        connectionPaths = WriteClasses(rawClasses);
        for (const auto& name : ListFiles(dir.path()))
            if (name != "netsh.exe")
                DeleteFileA(dir.File(name).c_str());
        if (file)
            WriteFileBytes(dir.File("Ipshifter.ini"), *file);
        trayMessages.clear();
        const DWORD start = GetTickCount();
        LoadProgram(arguments, version);
        elapsedMs = GetTickCount() - start;
    }

    // Everything a start-up set, gone, so that the next case starts afresh.
    void EndCase() {
        MainWindowTest::TearDown();
        probes.clear();
    }

    // The bytes of a profile file as the program saves the table.
    std::string SavedFile(const std::vector<ProfileRecord>& table) {
        IniPath = dir.File("table.ini");
        Profiles = table;
        SaveProfiles();
        const std::string bytes = ReadFileBytes(IniPath);
        Profiles.clear();
        IniPath.clear();
        return bytes;
    }

    void UseNetshStandIn() {
        ASSERT_TRUE(CopyFileTo(BinDir() + "\\netsh_recorder.exe", dir.File("netsh.exe")));
    }

    // Start-up went on to the tray with a table the rest of the program can work with.
    void ExpectResident() {
        EXPECT_EQ(EndProgramCalls(), 0);
        EXPECT_TRUE(Form().Loaded());
        EXPECT_FALSE(Form().Visible());
        EXPECT_NE(std::find(trayMessages.begin(), trayMessages.end(), NIM_ADD), trayMessages.end());
        EXPECT_LE(elapsedMs, kCaseBoundMs);
        ExpectSoundTable();
        ExpectListShowsTable();
    }

    void ExpectSoundTable() {
        ASSERT_FALSE(InterfaceNames.empty());
        ASSERT_FALSE(Profiles.empty());
        for (const auto& p : Profiles) {
            EXPECT_FALSE(p.IP.empty()) << p.NAME.substr(0, 80);
            EXPECT_FALSE(p.DNS.empty()) << p.NAME.substr(0, 80);
        }
    }

    // Each entry is a connection heading or a profile of a listed connection under its name, and
    // every profile of a listed connection has an entry.
    void ExpectListShowsTable() {
        auto& list = Form().cmbProfiles;
        std::vector<bool> listed(Profiles.size());
        for (int i = 0; i < list.ListCount(); ++i) {
            const int data = list.ItemData(i);
            const std::string text = list.List(i);
            if (data == -1) {
                EXPECT_NE(std::find(InterfaceNames.begin(), InterfaceNames.end(), text),
                          InterfaceNames.end())
                    << "heading " << text.substr(0, 80);
                continue;
            }
            ASSERT_GE(data, 0);
            ASSERT_LT(static_cast<size_t>(data), Profiles.size());
            EXPECT_EQ(text, "  " + Profiles[static_cast<size_t>(data)].NAME);
            listed[static_cast<size_t>(data)] = true;
        }
        for (size_t j = 0; j < Profiles.size(); ++j) {
            const bool known = std::find(InterfaceNames.begin(), InterfaceNames.end(),
                                         Profiles[j].INTERFACE) != InterfaceNames.end();
            EXPECT_EQ(listed[j], known) << "profile " << j;
        }
        if (list.ListCount() >= 2) {
            EXPECT_EQ(list.ListIndex(), 1);
        }
    }

    // A text as one key of a profile file carries it: written, then read back.
    const std::string& Carried(const std::string& text) {
        auto it = probes.find(text);
        if (it != probes.end())
            return it->second;
        const std::string probe = dir.File("probe.ini");
        DeleteFileA(probe.c_str());
        IniWriteString("P", "V", text, probe);
        return probes[text] = IniReadString("P", "V", "", probe);
    }

    std::vector<ProfileRecord> CarriedTable(std::vector<ProfileRecord> table) {
        for (auto& p : table) {
            for (std::string* text : {&p.NAME, &p.INTERFACE, &p.SUBNET, &p.GATEWAY})
                *text = Carried(*text);
            for (auto& text : p.IP)
                text = Carried(text);
            for (auto& text : p.DNS)
                text = Carried(text);
        }
        return table;
    }

    // The file on disk loads into the table in memory, as far as the file's keys carry its
    // texts, and is complete: loading it writes nothing.
    void ExpectFileLoadsAgain() {
        const std::vector<ProfileRecord> inMemory = Profiles;
        const std::string onDisk = Ini();
        ASSERT_FALSE(onDisk.empty());
        const DWORD start = GetTickCount();
        LoadProfiles();
        EXPECT_LE(GetTickCount() - start, kCaseBoundMs);
        EXPECT_EQ(Ini(), onDisk) << "loading a saved file completed it";
        EXPECT_EQ(Profiles.size(), inMemory.size());
        EXPECT_TRUE(Profiles == CarriedTable(inMemory)) << "the saved table loads differently";
    }

    void ExpectSaveLoadsAgain() {
        const DWORD start = GetTickCount();
        SaveProfiles();
        EXPECT_LE(GetTickCount() - start, kCaseBoundMs);
        ExpectFileLoadsAgain();
    }

    // Applies the first listed profile (refusals of bad fields allowed) and checks what it saved;
    // true when its script ran.
    bool ApplyFirstListedProfile() {
        auto& list = Form().cmbProfiles;
        int entry = -1;
        for (int i = 0; i < list.ListCount() && entry < 0; ++i)
            if (list.ItemData(i) >= 0)
                entry = i;
        if (entry < 0)
            return false;
        list.SetListIndex(entry);
        DialogRecorder dialogs;
        const DWORD start = GetTickCount();
        Form().cmdSetProfile_Click();
        EXPECT_LE(GetTickCount() - start, kCaseBoundMs);
        for (const auto& m : dialogs.messages)
            EXPECT_EQ(m.icon, tk::MsgIcon::Critical) << m.prompt;
        EXPECT_TRUE(Form().Enabled());
        EXPECT_FALSE(FileExists(dir.File("_ipshifter.cmd")));
        ExpectFileLoadsAgain();
        return !ReadFileBytes(dir.File("netsh.log")).empty();
    }

    DWORD elapsedMs = 0;
    std::vector<std::string> connectionPaths;
    std::map<std::string, std::string> probes;
};

// Two PCI connections, "LAN" and "WLAN".
const std::vector<ConnectionEntry>& TwoConnections();

} // namespace hostile
