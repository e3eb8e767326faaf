// Hostile input: generated profile files, command lines and registry trees fed to start-up. Every
// case must end within its bound and without a crash, and a file the program saves must load
// again into the table it was saved from.
#include "fixtures.h"
#include "main_window_fixture.h"
#include "hostile_data.h"
#include "support.h"

#include "functions/cmdline.h"
#include "functions/os.h"
#include "functions/profiles.h"
#include "globals/mdlGVars.h"
#include "ini/modGestioneINI.h"
#include "registry/mdlRegistry.h"
#include "toolkit/app.h"
#include "tray_icon/CSystrayIcon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

// A start-up with its save and reload; anything longer counts as a hang.
constexpr DWORD kCaseBoundMs = 20000;
// How many profiles or list elements a load makes up beyond those the file has a trace of.
constexpr int kMadeUpAtMost = 32;

const char kNetworkKey[] = "SYSTEM\\CurrentControlSet\\Control\\Network\\";

const std::vector<std::string> kNumbers = {
    "0",     "1",      "2",     "3",          "-1",   "255", "256", "32767", "32768", "-32768",
    "70000", "-70000", "12abc", "4294967295", "0x10", "abc", "",    " 7 ",   "1e3"};

bool IsNumberKey(const std::string& key) {
    static const std::vector<std::string> numbers = {"COUNT",  "DHCP",     "IPCOUNT",
                                                     "METRIC", "DNSCOUNT", "SELECTED"};
    return std::find(numbers.begin(), numbers.end(), key) != numbers.end();
}

std::string Long(char c) {
    return std::string(100000, c);
}

// A well-formed file of a few profiles, as the program writes it, then damaged line by line the
// way hands and broken disks damage files.
std::string GeneratedProfileFile(Dice& dice) {
    const std::vector<std::string> names = {"Home",      "Office", "Caf\xE9 & Bar",
                                            "100% DHCP", "_",      ""};
    const std::vector<std::string> connections = {"LAN", "LAN", "WLAN", "Gone", "lan"};
    const std::vector<std::string> texts = {
        "LAN",       "WLAN",       "_",   "  LAN  ", "\"LAN\"", "'x'",          "none",
        "192.0.2.1", "[PROFILE1]", "a=b", ";x",      "",        "\"\"\"x\"\"\""};
    const std::vector<std::string> lineEnds = {"\r\n", "\n", "\r", "\n\r"};

    const std::uint32_t count = 1 + dice.Below(5);
    std::vector<std::string> lines = {"[PROFILES]", "COUNT=" + std::to_string(count)};
    for (std::uint32_t k = 1; k <= count; ++k)
        lines.push_back("PROFILE" + std::to_string(k) + "=" + dice.Pick(names));
    for (std::uint32_t k = 1; k <= count; ++k) {
        lines.push_back("[PROFILE" + std::to_string(k) + "]");
        lines.push_back("INTERFACE=" + dice.Pick(connections));
        lines.push_back("DHCP=" + std::to_string(dice.Below(2)));
        for (const char* list : {"IP", "DNS"}) {
            const std::uint32_t items = 1 + dice.Below(3);
            lines.push_back(std::string(list) + "COUNT=" + std::to_string(items));
            for (std::uint32_t j = 1; j <= items; ++j)
                lines.push_back(list + std::to_string(j) + "=192.0.2." +
                                std::to_string(k * 10 + j));
            if (list == std::string("IP")) {
                lines.push_back("SUBNET=255.255.255.0");
                lines.push_back("GATEWAY=" + std::string(dice.OneIn(2) ? "none" : "192.0.2.254"));
                lines.push_back("METRIC=" + std::to_string(1 + dice.Below(30)));
            }
        }
        lines.push_back("SELECTED=" + std::to_string(dice.Below(2)));
    }

    const std::uint32_t damages = 1 + dice.Below(8);
    for (std::uint32_t d = 0; d < damages && !lines.empty(); ++d) {
        const std::uint32_t at = dice.Below(lines.size());
        std::string& line = lines[at];
        const size_t equals = line.find('=');
        switch (dice.Below(9)) {
        case 0:
        case 1: // a value no program wrote
            if (equals != std::string::npos) {
                const std::string key = line.substr(0, equals);
                const bool number = IsNumberKey(key) && !dice.OneIn(5);
                line = key + "=" +
                       (number           ? dice.Pick(kNumbers)
                        : dice.OneIn(10) ? Long('V')
                        : dice.OneIn(3)  ? dice.Text(1 + dice.Below(40))
                                         : dice.Pick(texts));
            }
            break;
        case 2:
            lines.erase(lines.begin() + at);
            break;
        case 3:
            lines.insert(lines.begin() + dice.Below(lines.size() + 1), line);
            break;
        case 4: { // a line that is no key: junk, a bare word, a comment, an endless line
            const std::vector<std::string> junk = {dice.Bytes(1 + dice.Below(60)),
                                                   "JUSTAKEY",
                                                   ";" + dice.Text(dice.Below(20)),
                                                   Long('L'),
                                                   "",
                                                   "=",
                                                   "[",
                                                   "[]"};
            const std::string& inserted = dice.Pick(junk);
            lines.insert(lines.begin() + dice.Below(lines.size() + 1), inserted);
            break;
        }
        case 5: // a damaged section header
            if (!line.empty() && line[0] == '[') {
                const std::vector<std::string> headers = {
                    "[PROFILE" + std::to_string(dice.Below(8)),
                    "[profiles]",
                    "[PROFILE0" + std::to_string(1 + dice.Below(3)) + "]",
                    "[" + Long('S') + "]",
                    "[ PROFILE1 ]",
                    "[PROFILE32767]"};
                line = dice.Pick(headers);
            }
            break;
        case 6:
            line.insert(dice.Below(line.size() + 1), 1, '\0');
            break;
        case 7: // the file ends early, in the middle of a line
            lines.resize(at + 1);
            line.resize(dice.Below(line.size() + 1));
            break;
        default: // a key name turned to junk or left out
            if (equals != std::string::npos)
                line = (dice.OneIn(2) ? std::string() : dice.Text(1 + dice.Below(6))) +
                       line.substr(equals);
            break;
        }
    }

    std::string file = dice.OneIn(20) ? (dice.OneIn(2) ? "\xEF\xBB\xBF" : "\xFF\xFE") : "";
    for (const auto& line : lines)
        file += line + (dice.OneIn(4) ? dice.Pick(lineEnds) : "\r\n");
    return file;
}

// A registry value written exactly as given: any type, any bytes.
struct RawValue {
    std::string name;
    DWORD type;
    std::string data;
};

RawValue Sz(const std::string& name, const std::string& text) {
    return {name, REG_SZ, std::string(text.c_str(), text.size() + 1)};
}

RawValue Dword(const std::string& name, DWORD value) {
    return {name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof(value))};
}

// Created one key at a time: a whole path longer than about 260 characters is refused.
void WriteKey(const std::string& path, const std::vector<RawValue>& values) {
    base::unique_hkey key;
    HKEY parent = HKEY_LOCAL_MACHINE;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(start, end - start);
        base::unique_hkey child;
        ASSERT_EQ(RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  child.put(), nullptr),
                  ERROR_SUCCESS)
            << name.substr(0, 300);
        key = std::move(child);
        parent = key.get();
        start = end + 1;
    }
    for (const auto& v : values)
        RegSetValueExA(key.get(), v.name.c_str(), 0, v.type,
                       reinterpret_cast<const BYTE*>(v.data.data()),
                       static_cast<DWORD>(v.data.size()));
}

// A class key with its "Class" value and connections under it, each given by the values of its
// "Connection" key (none: the connection has no "Connection" key).
struct RawClass {
    std::string key;
    std::vector<RawValue> classValues;
    std::vector<std::pair<std::string, std::optional<std::vector<RawValue>>>> connections;
};

// Where each connection's "Connection" key was written.
std::vector<std::string> WriteClasses(const std::vector<RawClass>& classes) {
    std::vector<std::string> connectionPaths;
    for (const auto& c : classes) {
        const std::string classPath = kNetworkKey + c.key;
        WriteKey(classPath, c.classValues);
        for (const auto& [name, values] : c.connections) {
            if (!values) {
                WriteKey(classPath + "\\" + name, {});
                continue;
            }
            const std::string path = classPath + "\\" + name + "\\Connection";
            WriteKey(path, *values);
            connectionPaths.push_back(path);
        }
    }
    return connectionPaths;
}

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

const std::vector<ConnectionEntry> kTwoConnections = PciConnections({"LAN", "WLAN"});

// ---- Profile files ----

struct FileCase {
    const char* name;
    std::optional<std::string> bytes;
};

TEST_F(HostileInput, NamedProfileFilesStartAndSaveAFileThatLoadsAgain) {
    const std::string lanProfile = FullProfile(1, "LAN");
    const FileCase cases[] = {
        {"no file", std::nullopt},
        {"empty file", ""},
        {"random bytes", Dice(kSeed).Bytes(3000)},
        {"NUL bytes only", std::string(500, '\0')},
        {"NUL inside keys and values",
         std::string("[PROFILES]\r\nCOU\0NT=2\r\nPROFILE1=Ho\0me\r\n", 37) + lanProfile},
        {"line of 100000 characters", "[PROFILES]\r\nCOUNT=1\r\nPROFILE1=" + Long('N') + "\r\n" +
                                          Long('x') + "\r\n" + lanProfile},
        {"section name of 100000 characters", "[" + Long('S') + "]\r\nA=1\r\n" + lanProfile},
        {"keys without sections", "COUNT=3\r\nPROFILE1=Home\r\nINTERFACE=LAN\r\nIPCOUNT=5\r\n"},
        {"sections without keys", "[PROFILES]\r\n[PROFILE1]\r\n[PROFILE2]\r\n[]\r\n[PROFILE3"},
        {"mixed line ends", "[PROFILES]\rCOUNT=2\nPROFILE1=A\n\rPROFILE2=B\r\n[PROFILE1]\r"
                            "INTERFACE=LAN\nDHCP=0\rIPCOUNT=2\n\rIP1=192.0.2.1\r\nIP2=192.0.2.2"},
        {"COUNT 0", "[PROFILES]\r\nCOUNT=0\r\nPROFILE1=Zero\r\n" + lanProfile},
        {"COUNT -1", "[PROFILES]\r\nCOUNT=-1\r\n" + lanProfile},
        {"COUNT 70000", "[PROFILES]\r\nCOUNT=70000\r\nPROFILE1=Big\r\n" + lanProfile},
        {"COUNT 32767", "[PROFILES]\r\nCOUNT=32767\r\nPROFILE1=Many\r\n" + lanProfile},
        {"COUNT 32767 and nothing else", "[PROFILES]\r\nCOUNT=32767\r\n"},
        {"IPCOUNT and DNSCOUNT 32767",
         "[PROFILES]\r\nCOUNT=1\r\nPROFILE1=P\r\n[PROFILE1]\r\nINTERFACE=LAN\r\nDHCP=0\r\n"
         "IPCOUNT=32767\r\nIP1=192.0.2.1\r\nDNSCOUNT=32767\r\nDNS2=192.0.2.53\r\n"},
        {"IPCOUNT and DNSCOUNT 70000 and -5",
         "[PROFILES]\r\nCOUNT=1\r\n[PROFILE1]\r\nIPCOUNT=70000\r\nDNSCOUNT=-5\r\n"},
        {"DHCP, METRIC and SELECTED out of range",
         "[PROFILES]\r\nCOUNT=1\r\n[PROFILE1]\r\nINTERFACE=LAN\r\nDHCP=300\r\nMETRIC=-70000\r\n"
         "SELECTED=-1\r\n"},
        {"quotes and blanks around values",
         "[PROFILES]\r\nCOUNT=1\r\nPROFILE1=\"\"  Home  \"\"\r\n[PROFILE1]\r\nINTERFACE= \"LAN\" "
         "\r\nIPCOUNT=1\r\nIP1='192.0.2.1'\r\n"},
        {"UTF-16 file", std::string("\xFF\xFE[\0P\0R\0O\0F\0I\0L\0E\0S\0]\0\r\0\n\0", 28)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartWith(c.bytes, kTwoConnections);
        ExpectResident();
        ExpectSaveLoadsAgain();
        EndCase();
    }
}

TEST_F(HostileInput, GeneratedProfileFilesStartAndSaveAFileThatLoadsAgain) {
    UseNetshStandIn();
    Dice dice(kSeed);
    int severalProfiles = 0, unlisted = 0, applied = 0;
    for (int i = 0; i < 80; ++i) {
        const std::string file =
            i % 5 == 4 ? dice.Bytes(1 + dice.Below(5000)) : GeneratedProfileFile(dice);
        SCOPED_TRACE("generated file " + std::to_string(i) + " of seed " + std::to_string(kSeed));
        StartWith(file, kTwoConnections);
        ExpectResident();
        severalProfiles += Profiles.size() > 1;
        unlisted += std::any_of(Profiles.begin(), Profiles.end(), [](const ProfileRecord& p) {
            return p.INTERFACE != "LAN" && p.INTERFACE != "WLAN";
        });
        // Every eighth case saves through an apply, the others through the store itself.
        if (i % 8 == 0)
            applied += ApplyFirstListedProfile();
        else
            ExpectSaveLoadsAgain();
        EndCase();
        if (HasFatalFailure())
            return;
    }
    // The files reach past the defaults: several profiles, connections nobody has, applies.
    EXPECT_GE(severalProfiles, 10);
    EXPECT_GE(unlisted, 10);
    EXPECT_GE(applied, 3);
}

// A count is followed only as far as the file backs it: each write of a missing key rewrites
// the whole file, and a COUNT of 32767 used to write 32767 default profiles (hours).
TEST_F(HostileInput, HugeCountsAreFollowedOnlyAsFarAsTheFileBacksThem) {
    auto names = [](int from, int to) {
        std::string text;
        for (int k = from; k <= to; ++k)
            text += "PROFILE" + std::to_string(k) + "=P" + std::to_string(k) + "\r\n";
        return text;
    };
    auto sections = [](int from, int to) {
        std::string text;
        for (int k = from; k <= to; ++k)
            text += FullProfile(k, k % 2 ? "LAN" : "WLAN");
        return text;
    };
    struct CountCase {
        const char* name;
        std::string file;
        size_t profiles;
        size_t firstIps;
        size_t firstDns;
    };
    const CountCase cases[] = {
        {"COUNT 32767, one profile", "[PROFILES]\r\nCOUNT=32767\r\n" + names(1, 1) + sections(1, 1),
         1 + kMadeUpAtMost, 1, 1},
        {"COUNT 32767, nothing", "[PROFILES]\r\nCOUNT=32767\r\n", kMadeUpAtMost, 1, 1},
        {"COUNT 32767, gaps and a far section",
         "[PROFILES]\r\nCOUNT=32767\r\n" + names(1, 3) + sections(2, 3) + sections(30000, 30000),
         3 + kMadeUpAtMost, 1, 1},
        {"COUNT just past the limit, nothing", "[PROFILES]\r\nCOUNT=33\r\n", kMadeUpAtMost, 1, 1},
        {"COUNT at the limit, nothing", "[PROFILES]\r\nCOUNT=32\r\n", kMadeUpAtMost, 1, 1},
        {"COUNT 3, one profile", "[PROFILES]\r\nCOUNT=3\r\n" + names(1, 1) + sections(1, 1), 3, 1,
         1},
        {"COUNT 120, names only", "[PROFILES]\r\nCOUNT=120\r\n" + names(1, 120), 120, 1, 1},
        {"COUNT 120, sections only", "[PROFILES]\r\nCOUNT=120\r\n" + sections(1, 120), 120, 1, 1},
        {"COUNT 120, every second profile",
         [&] {
             std::string file = "[PROFILES]\r\nCOUNT=120\r\n";
             for (int k = 2; k <= 120; k += 2)
                 file += names(k, k);
             return file;
         }(),
         // The 33rd number without a trace is 65: the count ends before it.
         64, 1, 1},
        {"IPCOUNT and DNSCOUNT 32767",
         "[PROFILES]\r\nCOUNT=1\r\nPROFILE1=P\r\n[PROFILE1]\r\nINTERFACE=LAN\r\nDHCP=0\r\n"
         "IPCOUNT=32767\r\nIP1=192.0.2.1\r\nIP2=192.0.2.2\r\nip3=192.0.2.3\r\nDNSCOUNT=32767\r\n",
         1, 3 + kMadeUpAtMost, kMadeUpAtMost},
        {"IPCOUNT 40 with every address",
         [&] {
             std::string file =
                 "[PROFILES]\r\nCOUNT=1\r\nPROFILE1=P\r\n[PROFILE1]\r\nIPCOUNT=40\r\n";
             for (int j = 1; j <= 40; ++j)
                 file += "IP" + std::to_string(j) + "=192.0.2." + std::to_string(j) + "\r\n";
             return file;
         }(),
         1, 40, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StartWith(c.file, kTwoConnections);
        ExpectResident();
        ASSERT_EQ(Profiles.size(), c.profiles);
        EXPECT_EQ(Profiles[0].IP.size(), c.firstIps);
        EXPECT_EQ(Profiles[0].DNS.size(), c.firstDns);
        // What is followed is completed as always; nothing beyond it is written, and the
        // counts in the file say what was loaded, so the next start loads the same table.
        const std::string last = "[PROFILE" + std::to_string(c.profiles) + "]";
        const std::string next = "[PROFILE" + std::to_string(c.profiles + 1) + "]";
        EXPECT_NE(Ini().find(last), std::string::npos) << last;
        if (c.file.find(next) == std::string::npos) {
            EXPECT_EQ(Ini().find(next), std::string::npos) << next;
        }
        const std::string path = dir.File("Ipshifter.ini");
        EXPECT_EQ(IniReadString("PROFILES", "COUNT", "", path), std::to_string(c.profiles));
        EXPECT_EQ(IniReadString("PROFILE1", "IPCOUNT", "", path), std::to_string(c.firstIps));
        EXPECT_EQ(IniReadString("PROFILE1", "DNSCOUNT", "", path), std::to_string(c.firstDns));
        ExpectFileLoadsAgain();
        ExpectSaveLoadsAgain();
        EndCase();
    }
}

// Reading a list entry of more than 511 characters overran a buffer of Wine's (the ANSI request
// to a Unicode list goes through 512 characters) and crashed start-up: a long profile name before
// the entry the command line names, a long connection name before the profile's connection.
TEST_F(HostileInput, ListEntriesLongerThan511CharactersAreReadWhole) {
    const std::string longName(1000, 'N');
    StartWith(SavedFile({MakeProfile(longName, "LAN"), MakeProfile("Cafe", "WLAN")}),
              kTwoConnections, "/PROFILE=WLAN");
    EXPECT_EQ(EndProgramCalls(), 1) << "the heading WLAN after the long entry is found";
    EndCase();

    StartWith(SavedFile({MakeProfile(longName, "LAN")}), kTwoConnections);
    ExpectResident();
    EXPECT_EQ(Form().cmbProfiles.List(1), "  " + longName);
    EndCase();

    StartWith(SavedFile({MakeProfile("Home", "LAN")}), PciConnections({longName, "LAN"}));
    ExpectResident();
    EXPECT_EQ(Form().cmbINTERFACE.List(0), longName);
    EXPECT_EQ(Form().cmbINTERFACE.ListIndex(), 1) << "the profile's connection is shown";
}

// ---- Command lines ----

const std::vector<ProfileRecord>& CommandLineTable() {
    static const std::vector<ProfileRecord> table = {
        MakeProfile("Home", "LAN"), MakeProfile("Office", "LAN"), MakeProfile("Cafe", "WLAN")};
    return table;
}

class HostileCommandLine : public HostileInput {
protected:
    void StartWithArguments(const std::string& arguments) {
        const std::string file = TableFile();
        StartWith(file, kTwoConnections, arguments);
    }
    // The table as the program saves it, made once.
    std::string TableFile() {
        if (tableFile_.empty())
            tableFile_ = SavedFile(CommandLineTable());
        return tableFile_;
    }
    // The list as start-up builds it for the table, read from a start without arguments.
    void RecordEntries() {
        StartWithArguments("");
        for (int i = 0; i < Form().cmbProfiles.ListCount(); ++i)
            entries_.emplace_back(Form().cmbProfiles.List(i), Form().cmbProfiles.ItemData(i));
        EndCase();
        ASSERT_EQ(entries_.size(), 5u);
    }
    // What start-up must have done for the value the command line names: end after an apply
    // when it names a list entry (a profile entry runs the script), go on to the tray otherwise.
    enum class Outcome { Resident, EndedOnHeading, Applied };
    Outcome ExpectOutcome(const std::string& value) {
        auto match = std::find_if(entries_.begin(), entries_.end(),
                                  [&value](const auto& entry) { return entry.first == value; });
        EXPECT_LE(elapsedMs, kCaseBoundMs);
        const bool profileEntry = match != entries_.end() && match->second >= 0;
        EXPECT_EQ(ReadFileBytes(dir.File("netsh.log")).empty(), !profileEntry);
        if (match == entries_.end()) {
            ExpectResident();
            return Outcome::Resident;
        }
        EXPECT_EQ(EndProgramCalls(), 1);
        EXPECT_FALSE(Form().Loaded());
        EXPECT_TRUE(trayMessages.empty());
        EXPECT_FALSE(FileExists(dir.File("_ipshifter.cmd")));
        return profileEntry ? Outcome::Applied : Outcome::EndedOnHeading;
    }

private:
    std::string tableFile_;
    std::vector<std::pair<std::string, int>> entries_;
};

TEST_F(HostileCommandLine, OddQuotingSlashesAndLengthEndOrStayAsTheValueSays) {
    UseNetshStandIn();
    RecordEntries();
    struct Case {
        std::string arguments;
        std::string value;
    };
    const Case cases[] = {
        {"/PROFILE=LAN", "LAN"},
        {"/PROFILE=\"LAN\"", "LAN"},
        {"/profile=WLAN", "WLAN"},
        {"/PROFILE=lan", "lan"},
        {"/PROFILE=LAN /X=1", "LAN "},
        {"/X=1 /PROFILE=WLAN", "WLAN"},
        {"PROFILE=LAN", "LAN"},
        {std::string(50000, '/') + "PROFILE=LAN", "LAN"},
        {"/PROFILE=WLAN/PROFILE=LAN", "WLAN"},
        {"/PROFILE=\"\"LAN\"\"", "\"LAN\""},
        {"/PROFILE=\"", "\""},
        {"/PROFILE=\"\"", ""},
        {"/PROFILE=", ""},
        {"/PROFILE==LAN", "=LAN"},
        {"/PROFILE=\"  Home\"", "  Home"},
        {"/PROFILE=\"  Cafe\" ", "\"  Cafe\" "},
        {"/PROFILE=" + Long('x'), Long('x')},
        {[] {
             std::string many;
             for (int i = 0; i < 5000; ++i)
                 many += "/PROFILE=";
             return many;
         }(),
         ""},
        {"\"/PROFILE=LAN\"", "LAN\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.substr(0, 60));
        EXPECT_EQ(GetCommandLineArgFrom(c.arguments, "PROFILE"), c.value);
        StartWithArguments(c.arguments);
        ExpectOutcome(c.value);
        EndCase();
    }
}

TEST_F(HostileCommandLine, GeneratedCommandLinesEndOrStayAsTheirValueSays) {
    UseNetshStandIn();
    RecordEntries();
    Dice dice(kSeed + 1);
    const std::vector<std::string> names = {"PROFILE",  "PROFILE", "profile", "Profile",
                                            "PROFILEX", "PROF",    "X",       ""};
    const std::vector<std::string> values = {
        "LAN",    "WLAN", "LAN",    "WLAN", "\"LAN\"", "\"WLAN\"", "\"  Home\"", "\"  Cafe\"",
        "  Home", "lan",  "\"WLAN", "\"\"", "",        "LAN\"\"",  "\xE9"};
    const std::vector<std::string> separators = {"", "", " ", "\t", "  ", "\""};
    std::map<Outcome, int> outcomes;
    for (int i = 0; i < 100; ++i) {
        // Switches, mostly well-formed, with stray slashes, quotes and bytes between them.
        std::string arguments;
        const std::uint32_t switches = i % 10 == 9 ? 3000 : 1 + dice.Below(3);
        for (std::uint32_t k = 0; k < switches; ++k) {
            arguments += std::string(dice.OneIn(6) ? dice.Below(4) : 1, '/');
            arguments += dice.Pick(names);
            arguments += dice.OneIn(8) ? "" : "=";
            arguments += dice.OneIn(6) ? dice.Text(1 + dice.Below(6)) : dice.Pick(values);
            if (k + 1 < switches || dice.OneIn(3))
                arguments += dice.Pick(separators);
        }
        SCOPED_TRACE("generated command line " + std::to_string(i) + ": " +
                     arguments.substr(0, 80));
        StartWithArguments(arguments);
        ++outcomes[ExpectOutcome(GetCommandLineArgFrom(arguments, "PROFILE"))];
        EndCase();
        if (HasFatalFailure())
            return;
    }
    // Each way start-up can go is taken several times.
    EXPECT_GE(outcomes[Outcome::Resident], 5);
    EXPECT_GE(outcomes[Outcome::EndedOnHeading], 5);
    EXPECT_GE(outcomes[Outcome::Applied], 3);
}

// ---- Registry ----

std::string BinaryOf(std::size_t size, char first, char second) {
    std::string data(size, '\x7F');
    data[0] = first;
    data[1] = second;
    return data;
}

// The connection names as start-up may list them: each a "Name" value of a connection that was
// written, or the empty-list marker.
void ExpectNamesFromRegistry(const std::vector<std::string>& names,
                             const std::vector<std::string>& connectionPaths) {
    std::vector<std::string> written;
    for (const auto& path : connectionPaths)
        written.push_back(RegReadString(HKEY_LOCAL_MACHINE, path, "Name"));
    for (const auto& name : names) {
        EXPECT_TRUE(name == "_" || std::find(written.begin(), written.end(), name) != written.end())
            << name.substr(0, 80);
    }
    EXPECT_LE(names.size(), std::max<size_t>(1, connectionPaths.size()));
}

TEST_F(HostileInput, RegistryOfWrongTypesSizesAndShapesStillStarts) {
    const std::string pciClass = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
    const RawValue net = Sz("Class", "Net");
    const RawValue pci = Sz("PnpInstanceID", "PCI\\VEN_8086&DEV_100E\\1");
    const RawValue media = Dword("MediaSubType", 1);
    auto conn = [&](const std::string& key, std::vector<RawValue> values) {
        return std::make_pair(key, std::optional<std::vector<RawValue>>(std::move(values)));
    };
    struct RegistryCase {
        const char* name;
        std::vector<RawClass> classes;
        // Names listed by the discovery of Windows 2000, XP and Vista, in any order.
        std::vector<std::string> names2000, namesXP, namesVista;
    };
    const std::string longName(100000, 'n');
    std::vector<RegistryCase> cases = {
        {"names of every type",
         {{pciClass,
           {net},
           {conn("a", {Dword("Name", 7), pci, media}),
            conn("b", {{"Name", REG_MULTI_SZ, std::string("LAN\0WLAN\0\0", 10)}, pci, media}),
            conn("c", {{"Name", REG_EXPAND_SZ, std::string("%PATH%\0", 7)}, pci, media}),
            conn("d", {{"Name", REG_SZ, "no terminator"}, pci, media}),
            conn("e", {{"Name", REG_SZ, ""}, pci, media}),
            conn("f", {{"Name", REG_BINARY, BinaryOf(1 << 20, 'A', 'B')}, pci, media}),
            conn("g", {{"Name", REG_QWORD, std::string(8, '\1')}, pci, media}),
            conn("h", {Sz("Name", longName), pci, media})}}},
         {"7", "", "", "no terminator", "", "16961", "", longName},
         {"7", "", "", "no terminator", "", "16961", "", longName},
         {"7", "", "", "no terminator", "", "16961", "", longName}},
        {"filter values of the wrong type or size",
         {{pciClass,
           {net},
           {conn("a", {Sz("Name", "BinaryPnp"),
                       {"PnpInstanceID", REG_BINARY, BinaryOf(1 << 20, 'P', 'C')},
                       {"MediaSubType", REG_BINARY, BinaryOf(1 << 20, '\1', '\0')}}),
            conn("b", {Sz("Name", "MultiPnp"),
                       {"PnpInstanceID", REG_MULTI_SZ, std::string("PCI\\x\0\0", 7)},
                       Dword("MediaSubType", 65537)}),
            conn("c", {Sz("Name", "NoValues")}),
            conn("d", {Sz("Name", "EmptyBinary"),
                       {"PnpInstanceID", REG_BINARY, ""},
                       {"MediaSubType", REG_BINARY, ""}})}},
          {"{CLASS-DWORD}",
           {{"Class", REG_DWORD, std::string("\1\0\0\0", 4)}},
           {conn("a", {Sz("Name", "DwordClass"), pci, media})}}},
         // A binary "PCI\" reads as its number: not empty, but no "PCI\" either.
         {"BinaryPnp", "EmptyBinary"},
         {"BinaryPnp", "MultiPnp"},
         {"DwordClass"}},
        {"keys without the Connection key, deep and odd names",
         {{pciClass,
           {net},
           {{"no-connection", std::nullopt},
            conn("deep", {Sz("Name", "Deep"), pci, media}),
            // A chain of keys beneath a connection is never walked.
            {"deep\\Connection" +
                 [] {
                     std::string chain;
                     for (int depth = 0; depth < 60; ++depth)
                         chain += "\\d";
                     return chain;
                 }(),
             std::nullopt},
            conn(std::string(254, 'k'), {Sz("Name", "LongKey"), pci, media}),
            conn(std::string(255, 'm'), {Sz("Name", "LongestKey"), pci, media}),
            conn(std::string(256, 'o'), {Sz("Name", "LongerThanTheBuffer"), pci, media})}},
          {std::string(256, 'c'), {net}, {conn("a", {Sz("Name", "UnderLongClass"), pci, media})}}},
         {},
         {},
         {}},
    };
    // The last case's outcome for over-long key names is not fixed, only that it is sound.
    const size_t loose = cases.size() - 1;
    // Wide: many classes, many connections each.
    RegistryCase wide{"wide tree", {}, {}, {}, {}};
    for (int i = 0; i < 150; ++i) {
        RawClass c{"{WIDE-" + std::to_string(i) + "}", {net}, {}};
        for (int j = 0; j < 4; ++j) {
            const std::string name = "C" + std::to_string(i) + "-" + std::to_string(j);
            c.connections.push_back(conn("k" + std::to_string(j), {Sz("Name", name), pci, media}));
            for (auto* names : {&wide.names2000, &wide.namesXP, &wide.namesVista})
                names->push_back(name);
        }
        wide.classes.push_back(std::move(c));
    }
    cases.push_back(std::move(wide));

    const std::pair<VersionReport, int> versions[] = {
        {{2, 5, 0}, 0}, {{2, 5, 1}, 1}, {{2, 6, 1}, 2}};
    for (size_t n = 0; n < cases.size(); ++n) {
        const auto& c = cases[n];
        for (const auto& [version, which] : versions) {
            SCOPED_TRACE(std::string(c.name) + ", Windows " + std::to_string(version.major) + "." +
                         std::to_string(version.minor));
            StartWith(std::nullopt, {}, {}, version, c.classes);
            ExpectResident();
            ExpectNamesFromRegistry(InterfaceNames, connectionPaths);
            if (n != loose) {
                std::vector<std::string> expected = which == 0   ? c.names2000
                                                    : which == 1 ? c.namesXP
                                                                 : c.namesVista;
                if (expected.empty())
                    expected = {"_"};
                std::vector<std::string> got = InterfaceNames;
                std::sort(expected.begin(), expected.end());
                std::sort(got.begin(), got.end());
                EXPECT_TRUE(got == expected)
                    << got.size() << " names, " << expected.size() << " expected";
            }
            ExpectSaveLoadsAgain();
            EndCase();
        }
    }
}

TEST_F(HostileInput, GeneratedRegistryTreesStartWithNamesTheyHold) {
    Dice dice(kSeed + 2);
    const std::vector<std::string> texts = {"LAN",        "WLAN",       "_",     "",
                                            "PCI\\VEN_1", "pci\\ven_1", "PCI\\", "USB\\VID_1",
                                            "Net",        "net",        "1",     "2"};
    auto randomValue = [&](const std::string& name) -> RawValue {
        switch (dice.Below(8)) {
        case 0:
            return Dword(name, dice.Pick(std::vector<DWORD>{0, 1, 2, 65537, 0xFFFFFFFF}));
        case 1:
            return {name, REG_BINARY, dice.Bytes(dice.Below(3) == 0 ? 70000 : dice.Below(9))};
        case 2:
            return {name, REG_MULTI_SZ, dice.Pick(texts) + std::string(2, '\0')};
        case 3:
            return {name, REG_EXPAND_SZ, dice.Pick(texts) + std::string(1, '\0')};
        case 4:
            return {name, REG_NONE, dice.Bytes(dice.Below(6))};
        case 5:
            return {name, REG_SZ, dice.Text(dice.Below(300))};
        default:
            return Sz(name, dice.Pick(texts));
        }
    };
    for (int i = 0; i < 24; ++i) {
        std::vector<RawClass> classes;
        const std::uint32_t classCount = dice.Below(5);
        for (std::uint32_t k = 0; k < classCount; ++k) {
            RawClass c;
            c.key = dice.OneIn(4) ? dice.Text(1 + dice.Below(20)) : "{C" + std::to_string(k) + "}";
            // Backslashes would make a path of several keys.
            std::replace(c.key.begin(), c.key.end(), '\\', '-');
            if (!dice.OneIn(4))
                c.classValues.push_back(dice.OneIn(2) ? Sz("Class", "Net") : randomValue("Class"));
            const std::uint32_t connections = dice.Below(5);
            for (std::uint32_t j = 0; j < connections; ++j) {
                const std::string key = "{K" + std::to_string(j) + "}";
                if (dice.OneIn(6)) {
                    c.connections.emplace_back(key, std::nullopt);
                    continue;
                }
                std::vector<RawValue> values;
                for (const char* name : {"Name", "PnpInstanceID", "MediaSubType"})
                    if (!dice.OneIn(5))
                        values.push_back(randomValue(name));
                c.connections.emplace_back(key, values);
            }
            classes.push_back(std::move(c));
        }
        const VersionReport version =
            dice.Pick(std::vector<VersionReport>{{2, 5, 0}, {2, 5, 1}, {2, 6, 1}});
        SCOPED_TRACE("generated registry " + std::to_string(i) + ", Windows " +
                     std::to_string(version.major) + "." + std::to_string(version.minor));
        StartWith(std::nullopt, {}, {}, version, classes);
        ExpectResident();
        ExpectNamesFromRegistry(InterfaceNames, connectionPaths);
        ExpectSaveLoadsAgain();
        EndCase();
        if (HasFatalFailure())
            return;
    }
}

} // namespace
