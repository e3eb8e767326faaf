// The load that reads the profile file a section at a time against the load that reads every key
// on its own: the same table and the same file afterwards, whatever the file holds.
#include "functions/profiles.h"

#include "globals/mdlGVars.h"
#include "hostile_data.h"
#include "ini/modGestioneINI.h"
#include "support.h"

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace std::string_literals;
using testsupport::CrLfText;
using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::SplitCrLf;
using testsupport::WriteFileBytes;

ProfileRecord Record(const std::string& name, const std::string& iface, std::uint8_t dhcp,
                     std::vector<std::string> ip, std::string subnet, std::string gateway,
                     std::int32_t metric, std::vector<std::string> dns, std::uint8_t selected) {
    return {name,   iface,          dhcp,    std::move(ip), std::move(subnet), std::move(gateway),
            metric, std::move(dns), selected};
}

// The file the program saves for three profiles; the cases below edit its lines.
const std::string& SavedFile() {
    static const std::string text = ProfileFileText({
        Record("Home & Office", "LAN", 0, {"192.168.1.10", "192.168.1.11"}, "255.255.255.0",
               "192.168.1.1", 20, {"192.168.1.1", "8.8.8.8"}, 1),
        Record("Caf\xE9 \xE0 l'\xE9t\xE9", "Wireless", 1, {""}, "", "none", 1, {""}, 0),
        Record("Lab", "LAN", 0, {"10.0.0.5"}, "255.0.0.0", "10.0.0.1", 5, {"10.0.0.53"}, 0),
    });
    return text;
}

// The saved file with the first occurrence of each text replaced.
std::string Edited(const std::vector<std::pair<std::string, std::string>>& edits,
                   std::string text = SavedFile()) {
    for (const auto& [from, to] : edits) {
        const std::size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            text.replace(at, from.size(), to);
    }
    return text;
}

std::string Many(int count) {
    std::vector<ProfileRecord> table;
    for (int i = 0; i < count; ++i)
        table.push_back(Record("Site " + std::to_string(i + 1), i % 2 ? "LAN" : "Wireless", 0,
                               {"10.1." + std::to_string(i % 250) + ".2"}, "255.255.255.0",
                               "10.1." + std::to_string(i % 250) + ".1", 1, {"10.1.0.53"}, i == 0));
    return ProfileFileText(table);
}

std::string Utf16(const std::string& ansi) {
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(static_cast<std::size_t>(
        MultiByteToWideChar(1252, 0, ansi.data(), static_cast<int>(ansi.size()), wide.data(),
                            static_cast<int>(wide.size()))));
    return "\xFF\xFE"s + std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

class ProfileLoad : public testing::Test {
protected:
    void SetUp() override {
        saved_ = {Profiles, InterfaceNames, IniPath};
        InterfaceNames = {"LAN"};
    }
    void TearDown() override { std::tie(Profiles, InterfaceNames, IniPath) = saved_; }

    // The table and the file after loading `content` (no file when absent) with one loader.
    std::pair<std::vector<ProfileRecord>, std::string>
    LoadWith(void (*load)(), const std::string& name, const std::optional<std::string>& content) {
        IniPath = dir.File(name);
        DeleteFileA(IniPath.c_str());
        if (content)
            WriteFileBytes(IniPath, *content);
        Profiles.clear();
        load();
        return {Profiles, ReadFileBytes(IniPath)};
    }

    ScratchDir dir{"load"};

private:
    std::tuple<std::vector<ProfileRecord>, std::vector<std::string>, std::string> saved_;
};

TEST_F(ProfileLoad, SectionReadsLeaveTheTableAndTheFileOfTheKeyByKeyLoad) {
    const std::string sentinel = IniAnsiSentinel();
    const std::pair<const char*, std::optional<std::string>> files[] = {
        {"as saved", SavedFile()},
        {"no file", std::nullopt},
        {"empty file", ""},
        {"blanks around keys and values",
         Edited({{"\r\nDHCP=0\r\n", "\r\n  DHCP \t=  0  \r\n"},
                 {"IP1=192.168.1.10", "IP1 = 192.168.1.10 "},
                 {"PROFILE2=Caf", " PROFILE2\t=\t Caf"},
                 {"GATEWAY=none", "GATEWAY=  none\t"},
                 {"\r\nCOUNT=3", "\r\n COUNT = 3 "},
                 {"[PROFILE2]\r\n", "\r\n  \r\n[PROFILE2]\r\n\r\n"}})},
        {"quotes",
         Edited({{"IP1=192.168.1.10", "IP1=\"192.168.1.10\""},
                 {"SUBNET=255.255.255.0", "SUBNET='255.255.255.0'"},
                 {"GATEWAY=192.168.1.1", "GATEWAY=\"192.168.1.1"},
                 {"PROFILE3=Lab", "PROFILE3=\"\""},
                 {"METRIC=20", "METRIC=\"20\""},
                 {"DNS1=10.0.0.53", "DNS1='10.0.0.53\""}})},
        {"duplicate keys",
         Edited({{"DHCP=0\r\n", "DHCP=0\r\nDHCP=1\r\n"},
                 {"COUNT=3\r\n", "COUNT=3\r\nCOUNT=2\r\n"},
                 {"PROFILE3=Lab\r\n", "PROFILE3=Lab\r\nPROFILE1=Other\r\n"},
                 {"DNS1=\r\n", "DNS1=\r\ndns1=9.9.9.9\r\n"}})},
        {"keys in other letter case",
         Edited({{"DHCP=0", "dhcp=0"},
                 {"IP2=", "Ip2="},
                 {"[PROFILE2]", "[profile2]"},
                 {"COUNT=3", "count=3"},
                 {"PROFILE1=Home", "Profile1=Home"}})},
        {"lines without =",
         Edited({{"GATEWAY=192.168.1.1\r\n", "GATEWAY\r\n"},
                 {"IPCOUNT=1\r\nIP1=\r\n", "IPCOUNT=1\r\nIP1\r\n"},
                 {"DNS1=10.0.0.53\r\n", "DNS1\r\nDNS1=10.0.0.53\r\n"},
                 {"[PROFILES]\r\n", "[PROFILES]\r\nstray text\r\n"}})},
        {"comment lines",
         Edited({{"[PROFILE1]\r\n", "; edited by hand\r\n[PROFILE1]\r\n;DHCP=1\r\n# note\r\n"},
                 {"METRIC=1\r\n", "METRIC=1\r\n; METRIC=7\r\n"},
                 {"SELECTED=0\r\n", ";SELECTED=1\r\n"}})},
        {"values of 255 to 1500 characters",
         Edited({{"IP1=192.168.1.10", "IP1=" + std::string(1023, 'a')},
                 {"PROFILE1=Home & Office", "PROFILE1=" + std::string(1500, 'n')},
                 {"GATEWAY=none", "GATEWAY=" + std::string(1022, 'g')},
                 {"SUBNET=255.0.0.0", "SUBNET=" + std::string(255, 's')},
                 {"DNS1=10.0.0.53", "DNS1=" + std::string(256, 'd')}})},
        {"missing keys",
         Edited({{"INTERFACE=LAN\r\n", ""},
                 {"IPCOUNT=1\r\n", ""},
                 {"DNS2=8.8.8.8\r\n", ""},
                 {"SELECTED=0\r\n", ""},
                 {"PROFILE3=Lab\r\n", ""}})},
        {"no COUNT", Edited({{"COUNT=3\r\n", ""}})},
        {"empty sections", "[PROFILES]\r\nCOUNT=2\r\n[PROFILE1]\r\n[PROFILE2]\r\n"},
        {"empty profile section",
         Edited({{"INTERFACE=Wireless\r\nDHCP=1\r\nIPCOUNT=1\r\nIP1=\r\nSUBNET=\r\nGATEWAY=none\r\n"
                  "METRIC=1\r\nDNSCOUNT=1\r\nDNS1=\r\nSELECTED=0\r\n",
                  ""}})},
        {"counts the file does not back",
         Edited({{"COUNT=3", "COUNT=5"},
                 {"IPCOUNT=2", "IPCOUNT=4"},
                 {"DNSCOUNT=1\r\nDNS1=10.0.0.53", "DNSCOUNT=40\r\nDNS1=10.0.0.53"}})},
        {"a count of 40 over three profiles", Edited({{"COUNT=3", "COUNT=40"}})},
        {"non-ASCII text",
         Edited({{"INTERFACE=Wireless", "INTERFACE=Drahtlos \xC4\xD6\xDC \x80"},
                 {"\r\nSUBNET=\r\n", "\r\nSUBNET=\xFF\xFE\r\n"},
                 {"METRIC=5\r\n", "METRIC=5\r\n\xC9T\xC9=1\r\n"}}) +
             "[R\xC9SEAU]\r\nx=1\r\n"},
        {"1000 profiles", Many(1000)},
        {"two sections of one name", SavedFile() + "[profile1]\r\nDHCP=1\r\nMETRIC=9\r\n"},
        {"section names with blanks and trailing text",
         Edited({{"[PROFILE2]", "  [PROFILE2]  "}, {"[PROFILE3]", "[ PROFILE3 ] old"}})},
        {"NUL byte", Edited({{"IP1=10.0.0.5", "IP1=10.0.0.5\0IP2=x"s}})},
        {"Ctrl-Z", Edited({{"GATEWAY=none", "GATEWAY=none\x1A"}})},
        {"carriage return alone", Edited({{"DHCP=1\r\n", "DHCP=1\rMETRIC=3\r\n"}})},
        {"line feeds alone", [] {
             std::string text;
             for (char c : SavedFile())
                 if (c != '\r')
                     text += c;
             return text;
         }()},
        {"UTF-16", Utf16(SavedFile())},
        {"numbers in other forms",
         Edited({{"DHCP=0", "DHCP=0x1"},
                 {"METRIC=20", "METRIC=-5"},
                 {"METRIC=1\r\n", "METRIC=007\r\n"},
                 {"SELECTED=1", "SELECTED=+1"},
                 {"IPCOUNT=2", "IPCOUNT= 2 "},
                 {"DNSCOUNT=1\r\nDNS1=\r\n", "DNSCOUNT=70000\r\nDNS1=\r\n"},
                 {"METRIC=5", "METRIC=32768"}})},
        {"count with a fraction", Edited({{"COUNT=3", "COUNT=2.5"}})},
        {"empty values",
         Edited({{"DHCP=0", "DHCP="}, {"COUNT=3", "COUNT="}, {"IPCOUNT=2", "IPCOUNT="}})},
        {"values that start with the sentinel",
         Edited({{"IP1=10.0.0.5", "IP1=" + sentinel + "x"}, {"DHCP=1", "DHCP=" + sentinel}})},
    };
    for (const auto& [name, content] : files) {
        SCOPED_TRACE(name);
        const auto keyByKey = LoadWith(LoadProfilesKeyByKey, "keys.ini", content);
        const auto bySection = LoadWith(LoadProfiles, "sections.ini", content);
        EXPECT_EQ(bySection.first, keyByKey.first);
        EXPECT_EQ(bySection.second, keyByKey.second);
    }
}

// Hand edits the table above does not name: the saved file with a few of its lines changed at
// random, the same files on every run.
TEST_F(ProfileLoad, RandomlyEditedFilesLoadAlikeBothWays) {
    testsupport::Dice dice(testsupport::kSeed);
    const std::vector<std::string> blanks{" ", "\t", "  ", " \t "};
    const std::vector<std::string> quotes{"\"", "'"};
    const std::vector<std::string> numbers{"0",    "1", "-1",    "007",   "0x2",   "+3",
                                           "2abc", "",  "32767", "32768", "99999", " 4 "};
    const std::vector<std::size_t> lengths{0, 1, 5, 254, 255, 256, 1022, 1023, 1024, 1500};
    for (int file = 0; file < 150; ++file) {
        std::vector<std::string> lines = SplitCrLf(SavedFile());
        const std::uint32_t edits = 1 + dice.Below(5);
        for (std::uint32_t e = 0; e < edits && !lines.empty(); ++e) {
            const std::size_t at = dice.Below(lines.size());
            std::string& line = lines[at];
            const std::size_t equals = line.find('=');
            const std::string name = line.substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : line.substr(equals + 1);
            switch (dice.Below(10)) {
            case 0:
                line = dice.Pick(blanks) + name + dice.Pick(blanks) + "=" + dice.Pick(blanks) +
                       value + dice.Pick(blanks);
                break;
            case 1:
                line = name + "=" + dice.Pick(quotes) + value +
                       (dice.OneIn(2) ? dice.Pick(quotes) : "");
                break;
            case 2:
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at) + dice.Below(3),
                             name + "=" + dice.Pick(numbers));
                break;
            case 3:
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(at));
                break;
            case 4:
                // Letters in the other case.
                for (char& c : line) {
                    if (((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) && dice.OneIn(2))
                        c = static_cast<char>(c ^ 0x20);
                }
                break;
            case 5:
                line = dice.OneIn(2) ? name : name + " " + value;
                break;
            case 6:
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                             (dice.OneIn(2) ? ";" : "#") + line);
                break;
            case 7:
                line = name + "=" + dice.Text(dice.Pick(lengths));
                break;
            case 8:
                line = name + "=" + dice.Pick(numbers);
                break;
            default:
                lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at),
                             dice.Text(1 + dice.Below(20)));
                break;
            }
        }
        const std::string content = CrLfText(lines);
        SCOPED_TRACE("file " + std::to_string(file) + ": " + content.substr(0, 400));
        const auto keyByKey = LoadWith(LoadProfilesKeyByKey, "keys.ini", content);
        const auto bySection = LoadWith(LoadProfiles, "sections.ini", content);
        EXPECT_EQ(bySection.first, keyByKey.first);
        EXPECT_EQ(bySection.second, keyByKey.second);
    }
}

// The private-profile reads a load makes: the sections read, and the keys read on their own.
struct Reads {
    std::vector<std::string> sections;
    std::set<std::string> keys;
};

class RecordedReads {
public:
    RecordedReads()
        : section_(&platform::Calls::GetPrivateProfileSectionA,
                   [this](LPCSTR section, LPSTR buffer, DWORD size, LPCSTR file) {
                       reads.sections.push_back(section);
                       return GetPrivateProfileSectionA(section, buffer, size, file);
                   }),
          text_(&platform::Calls::GetPrivateProfileStringA,
                [this](LPCSTR section, LPCSTR key, LPCSTR def, LPSTR buffer, DWORD size,
                       LPCSTR file) {
                    if (key)
                        reads.keys.insert(std::string(section) + "/" + key);
                    return GetPrivateProfileStringA(section, key, def, buffer, size, file);
                }),
          number_(&platform::Calls::GetPrivateProfileIntA,
                  [this](LPCSTR section, LPCSTR key, INT def, LPCSTR file) {
                      reads.keys.insert(std::string(section) + "/" + key);
                      return GetPrivateProfileIntA(section, key, def, file);
                  }) {}
    Reads reads;

private:
    platform::Override<decltype(platform::Calls::GetPrivateProfileSectionA)> section_;
    platform::Override<decltype(platform::Calls::GetPrivateProfileStringA)> text_;
    platform::Override<decltype(platform::Calls::GetPrivateProfileIntA)> number_;
};

TEST_F(ProfileLoad, EachSectionIsReadOnceAndOnlyUnsettledKeysOnTheirOwn) {
    // Every key the key-by-key load reads, by section.
    std::set<std::string> allKeys;
    {
        RecordedReads recorded;
        LoadWith(LoadProfilesKeyByKey, "all.ini", SavedFile());
        EXPECT_TRUE(recorded.reads.sections.empty());
        allKeys = recorded.reads.keys;
    }
    auto keysOf = [&](const std::string& section) {
        std::set<std::string> keys;
        for (const auto& key : allKeys) {
            if (key.compare(0, section.size() + 1, section + "/") == 0)
                keys.insert(key);
        }
        return keys;
    };
    ASSERT_EQ(keysOf("PROFILE2").size(), 10u);
    const std::vector<std::string> everySection{"PROFILES", "PROFILE1", "PROFILE2", "PROFILE3"};

    struct Row {
        const char* name;
        std::string content;
        std::vector<std::string> sections;
        std::set<std::string> keys;
    } rows[] = {
        {"as saved", SavedFile(), everySection, {}},
        {"quoted address",
         Edited({{"IP1=10.0.0.5", "IP1=\"10.0.0.5\""}}),
         everySection,
         {"PROFILE3/IP1"}},
        {"quoted name",
         Edited({{"PROFILE2=Caf", "PROFILE2=\"Caf"}}),
         everySection,
         {"PROFILES/PROFILE2"}},
        {"negative metric",
         Edited({{"METRIC=20", "METRIC=-5"}}),
         everySection,
         {"PROFILE1/METRIC"}},
        {"count with a leading zero",
         Edited({{"COUNT=3", "COUNT=03"}}),
         everySection,
         {"PROFILES/COUNT"}},
        {"missing DNS server", Edited({{"DNS2=8.8.8.8\r\n", ""}}), everySection, {"PROFILE1/DNS2"}},
        {"gateway without =",
         Edited({{"GATEWAY=10.0.0.1\r\n", "GATEWAY\r\n"}}),
         everySection,
         {"PROFILE3/GATEWAY"}},
        {"DHCP twice",
         Edited({{"DHCP=1\r\n", "DHCP=1\r\nDHCP=0\r\n"}}),
         everySection,
         {"PROFILE2/DHCP"}},
        {"1023-character mask",
         Edited({{"SUBNET=255.0.0.0", "SUBNET=" + std::string(1023, 's')}}),
         everySection,
         {"PROFILE3/SUBNET"}},
        {"second section of one name",
         SavedFile() + "[Profile2]\r\nx=1\r\n",
         {"PROFILES", "PROFILE1", "PROFILE3"},
         keysOf("PROFILE2")},
        {"name outside ASCII", Edited({{"METRIC=20\r\n", "METRIC=20\r\n\xC9T\xC9=1\r\n"}}),
         everySection, keysOf("PROFILE1")},
        {"NUL byte", Edited({{"GATEWAY=none", "GATEWAY=none\0"s}}), {}, allKeys},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        RecordedReads recorded;
        LoadWith(LoadProfiles, "sections.ini", r.content);
        EXPECT_EQ(recorded.reads.sections, r.sections);
        EXPECT_EQ(recorded.reads.keys, r.keys);
    }

    // A thousand profiles: still one read per section, the list section too.
    RecordedReads recorded;
    LoadWith(LoadProfiles, "many.ini", Many(1000));
    ASSERT_EQ(Profiles.size(), 1000u);
    EXPECT_EQ(recorded.reads.sections.size(), 1001u);
    EXPECT_TRUE(recorded.reads.keys.empty());
}

} // namespace
