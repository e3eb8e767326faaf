#include "functions/profiles.h"

#include "globals/mdlGVars.h"
#include "ini/modGestioneINI.h"
#include "support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using testsupport::FileExists;
using testsupport::ListFiles;
using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

const char kDefaultSection[] = "INTERFACE=LAN\r\nDHCP=1\r\nIPCOUNT=1\r\nIP1=\r\nSUBNET=\r\n"
                               "GATEWAY=\r\nMETRIC=1\r\nDNSCOUNT=1\r\nDNS1=\r\nSELECTED=0\r\n";

ProfileRecord DefaultRecord() {
    ProfileRecord p;
    p.NAME = "Windows Default (DHCP)";
    p.INTERFACE = "LAN";
    p.DHCP = 1;
    p.IP = {""};
    p.METRIC = 1;
    p.DNS = {""};
    return p;
}

ProfileRecord Record(const std::string& name, const std::string& iface, std::uint8_t dhcp,
                     std::vector<std::string> ip, std::string subnet, std::string gateway,
                     std::int32_t metric, std::vector<std::string> dns, std::uint8_t selected) {
    ProfileRecord p;
    p.NAME = name;
    p.INTERFACE = iface;
    p.DHCP = dhcp;
    p.IP = std::move(ip);
    p.SUBNET = std::move(subnet);
    p.GATEWAY = std::move(gateway);
    p.METRIC = metric;
    p.DNS = std::move(dns);
    p.SELECTED = selected;
    return p;
}

// Profiles that exercise every field: several addresses, an empty later element, a negative
// metric, names with spaces, "&", "%" and accented ANSI letters, a connection nobody has.
std::vector<ProfileRecord> MixedTable() {
    return {
        Record("Home & Office", "LAN", 0, {"192.168.1.10", "192.168.1.11", "10.0.0.5"},
               "255.255.255.0", "192.168.1.1", 20, {"192.168.1.1", "8.8.8.8"}, 1),
        Record("100% DHCP", "Wireless Network Connection", 1, {""}, "", "none", 1, {""}, 0),
        Record("Caf\xE9 \xE0 l'\xE9t\xE9 \xA3", "LAN", 0, {"10.1.1.1", "", "10.1.1.3"}, "255.0.0.0",
               "none", -32768, {"", "1.1.1.1"}, 0),
        Record("Gone connection", "Old \xC4rger", 2, {"172.16.0.1"}, "255.255.0.0", "172.16.0.254",
               32767, {"172.16.0.2"}, 255),
    };
}

class ProfileStore : public testing::Test {
protected:
    void SetUp() override {
        savedProfiles = Profiles;
        savedInterfaces = InterfaceNames;
        savedPath = IniPath;
        InterfaceNames = {"LAN"};
        IniPath = dir.File("Ipshifter.ini");
        Profiles.clear();
    }
    void TearDown() override {
        Profiles = savedProfiles;
        InterfaceNames = savedInterfaces;
        IniPath = savedPath;
    }
    // Saves a table and loads it back into an empty Profiles.
    std::vector<ProfileRecord> RoundTrip(const std::vector<ProfileRecord>& table) {
        Profiles = table;
        SaveProfiles();
        Profiles.clear();
        LoadProfiles();
        return Profiles;
    }
    void ExpectOnlyTheProfileFile() {
        EXPECT_EQ(ListFiles(dir.path()), std::vector<std::string>{"Ipshifter.ini"});
    }

    ScratchDir dir{"store"};
    std::vector<ProfileRecord> savedProfiles;
    std::vector<std::string> savedInterfaces;
    std::string savedPath;
};

TEST_F(ProfileStore, MissingFileBecomesTheDefaultProfileAndSavesIdentically) {
    LoadProfiles();
    const std::string expected = std::string("[PROFILES]\r\nCOUNT=1\r\n"
                                             "PROFILE1=Windows Default (DHCP)\r\n[PROFILE1]\r\n") +
                                 kDefaultSection;
    EXPECT_EQ(ReadFileBytes(IniPath), expected);
    EXPECT_EQ(Profiles, std::vector<ProfileRecord>{DefaultRecord()});

    SaveProfiles();
    EXPECT_EQ(ReadFileBytes(IniPath), expected);
    ExpectOnlyTheProfileFile();
}

TEST_F(ProfileStore, SaveWritesEveryKeyInItsPlace) {
    Profiles = {
        Record("A", "LAN", 0, {"10.0.0.1", "10.0.0.2"}, "255.0.0.0", "10.0.0.254", -3,
               {"10.0.0.53", "8.8.4.4"}, 1),
        Record("B b", "WLAN", 1, {""}, "", "none", 1, {""}, 0),
    };
    SaveProfiles();
    EXPECT_EQ(ReadFileBytes(IniPath),
              "[PROFILES]\r\nCOUNT=2\r\nPROFILE1=A\r\nPROFILE2=B b\r\n"
              "[PROFILE1]\r\nINTERFACE=LAN\r\nDHCP=0\r\nIPCOUNT=2\r\nIP1=10.0.0.1\r\n"
              "IP2=10.0.0.2\r\nSUBNET=255.0.0.0\r\nGATEWAY=10.0.0.254\r\nMETRIC=-3\r\n"
              "DNSCOUNT=2\r\nDNS1=10.0.0.53\r\nDNS2=8.8.4.4\r\nSELECTED=1\r\n"
              "[PROFILE2]\r\nINTERFACE=WLAN\r\nDHCP=1\r\nIPCOUNT=1\r\nIP1=\r\nSUBNET=\r\n"
              "GATEWAY=none\r\nMETRIC=1\r\nDNSCOUNT=1\r\nDNS1=\r\nSELECTED=0\r\n");
    ExpectOnlyTheProfileFile();
}

TEST_F(ProfileStore, SavedTableLoadsBackUnchanged) {
    const auto table = MixedTable();
    EXPECT_EQ(RoundTrip(table), table);
    // Loading a complete file writes nothing.
    const std::string saved = ReadFileBytes(IniPath);
    LoadProfiles();
    EXPECT_EQ(ReadFileBytes(IniPath), saved);
}

TEST_F(ProfileStore, CountAboveTheProfilesPresentAddsDefaultProfiles) {
    WriteFileBytes(IniPath, "[PROFILES]\r\nCOUNT=3\r\nPROFILE1=Home\r\n[PROFILE1]\r\n"
                            "INTERFACE=WLAN\r\nDHCP=0\r\nIPCOUNT=1\r\nIP1=10.0.0.1\r\n"
                            "SUBNET=255.0.0.0\r\nGATEWAY=none\r\nMETRIC=5\r\nDNSCOUNT=1\r\n"
                            "DNS1=10.0.0.53\r\nSELECTED=1\r\n");
    LoadProfiles();
    ASSERT_EQ(Profiles.size(), 3u);
    EXPECT_EQ(Profiles[0],
              Record("Home", "WLAN", 0, {"10.0.0.1"}, "255.0.0.0", "none", 5, {"10.0.0.53"}, 1));
    EXPECT_EQ(Profiles[1], DefaultRecord());
    EXPECT_EQ(Profiles[2], DefaultRecord());
    EXPECT_EQ(ReadFileBytes(IniPath),
              std::string("[PROFILES]\r\nCOUNT=3\r\nPROFILE1=Home\r\n"
                          "PROFILE2=Windows Default (DHCP)\r\nPROFILE3=Windows Default (DHCP)\r\n"
                          "[PROFILE1]\r\nINTERFACE=WLAN\r\nDHCP=0\r\nIPCOUNT=1\r\nIP1=10.0.0.1\r\n"
                          "SUBNET=255.0.0.0\r\nGATEWAY=none\r\nMETRIC=5\r\nDNSCOUNT=1\r\n"
                          "DNS1=10.0.0.53\r\nSELECTED=1\r\n[PROFILE2]\r\n") +
                  kDefaultSection + "[PROFILE3]\r\n" + kDefaultSection);
}

TEST_F(ProfileStore, WithoutACountOnlyTheFirstOfThreeProfilesLoadsAndTheSaveDropsTheOthers) {
    Profiles = {Record("A", "LAN", 1, {""}, "", "none", 1, {""}, 0),
                Record("B", "LAN", 1, {""}, "", "none", 1, {""}, 1),
                Record("C", "LAN", 1, {""}, "", "none", 1, {""}, 0)};
    SaveProfiles();
    std::string file = ReadFileBytes(IniPath);
    const std::string count = "COUNT=3\r\n";
    ASSERT_NE(file.find(count), std::string::npos);
    file.erase(file.find(count), count.size());
    WriteFileBytes(IniPath, file);

    Profiles.clear();
    LoadProfiles();
    ASSERT_EQ(Profiles.size(), 1u);
    EXPECT_EQ(Profiles[0].NAME, "A");
    EXPECT_EQ(GetPrivateProfileIntA("PROFILES", "COUNT", 9, IniPath.c_str()), 1u);
    EXPECT_NE(ReadFileBytes(IniPath).find("[PROFILE3]"), std::string::npos) << "kept until saved";
    SaveProfiles();
    const std::string saved = ReadFileBytes(IniPath);
    EXPECT_EQ(saved.find("PROFILE2"), std::string::npos);
    EXPECT_EQ(saved.find("PROFILE3"), std::string::npos);
}

TEST_F(ProfileStore, AddressCountAboveTheAddressesPresentAddsEmptyOnes) {
    WriteFileBytes(IniPath, "[PROFILES]\r\nCOUNT=1\r\nPROFILE1=P\r\n[PROFILE1]\r\n"
                            "INTERFACE=LAN\r\nDHCP=0\r\nIPCOUNT=2\r\nIP1=10.0.0.1\r\n"
                            "SUBNET=255.0.0.0\r\nGATEWAY=none\r\nMETRIC=1\r\nDNSCOUNT=3\r\n"
                            "DNS2=10.0.0.53\r\nSELECTED=0\r\n");
    LoadProfiles();
    ASSERT_EQ(Profiles.size(), 1u);
    EXPECT_EQ(Profiles[0].IP, (std::vector<std::string>{"10.0.0.1", ""}));
    EXPECT_EQ(Profiles[0].DNS, (std::vector<std::string>{"", "10.0.0.53", ""}));
    // The missing keys are added, empty, at the end of the section.
    const std::string text = ReadFileBytes(IniPath);
    EXPECT_EQ(text.substr(text.find("SELECTED=0")), "SELECTED=0\r\nIP2=\r\nDNS1=\r\nDNS3=\r\n");
}

TEST_F(ProfileStore, MetricBeyondSixteenBitsLoadsAsOneAndStaysInTheFile) {
    auto table = MixedTable();
    table[0].METRIC = 40000;
    const auto loaded = RoundTrip(table);
    EXPECT_EQ(loaded[0].METRIC, 1);
    EXPECT_EQ(IniReadString("PROFILE1", "METRIC", "", IniPath), "40000");
}

TEST_F(ProfileStore, DeletingAProfileRenumbersTheRestAndDropsItsSection) {
    auto table = MixedTable();
    table.resize(3);
    RoundTrip(table);
    Profiles.erase(Profiles.begin() + 1);
    SaveProfiles();

    EXPECT_EQ(IniReadString("PROFILES", "COUNT", "", IniPath), "2");
    EXPECT_EQ(IniReadString("PROFILES", "PROFILE2", "", IniPath), table[2].NAME);
    EXPECT_FALSE(IniKeyExists("PROFILES", "PROFILE3", IniPath));
    EXPECT_FALSE(IniKeyExists("PROFILE3", "INTERFACE", IniPath));
    EXPECT_EQ(ReadFileBytes(IniPath).find("PROFILE3"), std::string::npos);
    Profiles.clear();
    LoadProfiles();
    EXPECT_EQ(Profiles, (std::vector<ProfileRecord>{table[0], table[2]}));
    ExpectOnlyTheProfileFile();
}

TEST_F(ProfileStore, KeysAddedByHandSurviveALoadAndGoWithTheNextSave) {
    Profiles = {DefaultRecord()};
    SaveProfiles();
    const std::string clean = ReadFileBytes(IniPath);
    WriteFileBytes(IniPath, clean + "[EXTRA]\r\nnote=kept?\r\n");
    IniWriteString("PROFILE1", "COMMENT", "by hand", IniPath);
    // Profiles above the count are not read either.
    IniWriteString("PROFILES", "PROFILE2", "beyond count", IniPath);

    LoadProfiles();
    EXPECT_EQ(Profiles, std::vector<ProfileRecord>{DefaultRecord()});
    EXPECT_TRUE(IniKeyExists("PROFILE1", "COMMENT", IniPath));
    EXPECT_TRUE(IniKeyExists("EXTRA", "note", IniPath));

    SaveProfiles();
    EXPECT_EQ(ReadFileBytes(IniPath), clean);
}

TEST_F(ProfileStore, RecordsWithoutAddressesOrDnsSaveAsOneEmptyElement) {
    auto table = MixedTable();
    table[0].IP.clear();
    table[3].DNS.clear();
    const auto loaded = RoundTrip(table);
    EXPECT_EQ(loaded[0].IP, std::vector<std::string>{""});
    EXPECT_EQ(loaded[3].DNS, std::vector<std::string>{""});
    EXPECT_EQ(IniReadString("PROFILE1", "IPCOUNT", "", IniPath), "1");
    EXPECT_TRUE(IniKeyExists("PROFILE1", "IP1", IniPath));
}

// Values the program never writes, as a hand-edited file may hold them.
TEST_F(ProfileStore, HostileValuesStillGiveUsableRecords) {
    struct Row {
        const char* name;
        const char* count;
        const char* key; // key of profile 1 to replace, or nullptr
        const char* value;
        std::function<void(ProfileRecord&)> expect; // turns the stored record into the expected
    } rows[] = {
        {"count 0", "0", nullptr, nullptr, {}},
        {"count -1", "-1", nullptr, nullptr, {}},
        {"count not a number", "many", nullptr, nullptr, {}},
        {"count beyond 16 bits", "70000", nullptr, nullptr, {}},
        {"no addresses", "1", "IPCOUNT", "0", [](ProfileRecord& p) { p.IP = {""}; }},
        {"negative addresses", "1", "IPCOUNT", "-4", [](ProfileRecord& p) { p.IP = {""}; }},
        {"no dns", "1", "DNSCOUNT", "0", [](ProfileRecord& p) { p.DNS = {""}; }},
        {"negative dns", "1", "DNSCOUNT", "-32768", [](ProfileRecord& p) { p.DNS = {""}; }},
        {"dhcp 300", "1", "DHCP", "300", [](ProfileRecord& p) { p.DHCP = 1; }},
        {"dhcp 256", "1", "DHCP", "256", [](ProfileRecord& p) { p.DHCP = 1; }},
        {"dhcp -1", "1", "DHCP", "-1", [](ProfileRecord& p) { p.DHCP = 1; }},
        {"dhcp 255", "1", "DHCP", "255", [](ProfileRecord& p) { p.DHCP = 255; }},
        {"dhcp 0", "1", "DHCP", "0", [](ProfileRecord& p) { p.DHCP = 0; }},
        {"dhcp empty", "1", "DHCP", "", [](ProfileRecord& p) { p.DHCP = 1; }},
        {"selected 1000", "1", "SELECTED", "1000", [](ProfileRecord& p) { p.SELECTED = 1; }},
        {"selected -2", "1", "SELECTED", "-2", [](ProfileRecord& p) { p.SELECTED = 1; }},
        {"selected 70000", "1", "SELECTED", "70000", [](ProfileRecord& p) { p.SELECTED = 0; }},
        {"selected text", "1", "SELECTED", "yes", [](ProfileRecord& p) { p.SELECTED = 0; }},
    };
    const ProfileRecord stored = Record("Stored", "LAN", 0, {"10.0.0.1", "10.0.0.2"}, "255.0.0.0",
                                        "none", 7, {"10.0.0.53"}, 1);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        Profiles = {stored, stored};
        Profiles[1].NAME = "Second";
        SaveProfiles();
        IniWriteString("PROFILES", "COUNT", r.count, IniPath);
        if (r.key)
            IniWriteString("PROFILE1", r.key, r.value, IniPath);
        const std::string edited = ReadFileBytes(IniPath);

        LoadProfiles();
        ProfileRecord expected = stored;
        if (r.expect)
            r.expect(expected);
        // Only the first profile: the stored count is 1 or unusable.
        ASSERT_EQ(Profiles.size(), 1u);
        EXPECT_EQ(Profiles[0], expected);
        // Nothing was missing, so the load wrote nothing, not even a corrected count.
        EXPECT_EQ(ReadFileBytes(IniPath), edited);
        // What was loaded saves and loads the same.
        const auto loaded = Profiles;
        EXPECT_EQ(RoundTrip(loaded), loaded);
    }
}

TEST_F(ProfileStore, ALeftoverTemporaryFileDoesNotLeakIntoTheSave) {
    Profiles = MixedTable();
    SaveProfiles();
    const std::string expected = ReadFileBytes(IniPath);

    const std::string temp = IniPath + ".new";
    WriteFileBytes(temp, "[PROFILES]\r\nCOUNT=9\r\n[PROFILE9]\r\nINTERFACE=stale\r\n[PART");
    SetFileAttributesA(temp.c_str(), FILE_ATTRIBUTE_READONLY);
    SaveProfiles();
    EXPECT_EQ(ReadFileBytes(IniPath), expected);
    ExpectOnlyTheProfileFile();
}

TEST_F(ProfileStore, AFailedReplaceLeavesTheOldFileAndNoTemporaryFile) {
    Profiles = MixedTable();
    SaveProfiles();
    const std::string old = ReadFileBytes(IniPath);
    Profiles.pop_back();
    {
        // Another program holds the file open: it cannot be replaced.
        tk::unique_file holder(CreateFileA(IniPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        SaveProfiles();
    }
    EXPECT_EQ(ReadFileBytes(IniPath), old);
    ExpectOnlyTheProfileFile();
}

TEST_F(ProfileStore, ATemporaryFileThatCannotBeRemovedStopsTheSave) {
    Profiles = MixedTable();
    SaveProfiles();
    const std::string old = ReadFileBytes(IniPath);
    const std::string temp = IniPath + ".new";
    WriteFileBytes(temp, "held");
    Profiles.pop_back();
    {
        tk::unique_file holder(
            CreateFileA(temp.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        SaveProfiles();
    }
    EXPECT_EQ(ReadFileBytes(IniPath), old);
    EXPECT_EQ(ReadFileBytes(temp), "held");
}

TEST_F(ProfileStore, LoadRightAfterASaveOrAHandReplacementSeesTheNewFile) {
    auto table = MixedTable();
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        table[0].NAME = "round " + std::to_string(round);
        table.resize(round % 2 ? 4 : 2, table[1]);
        EXPECT_EQ(RoundTrip(table), table);
    }
    // Replaced by another program right after the last read.
    const std::string other = dir.File("other.ini");
    IniWriteString("PROFILES", "COUNT", "1", other);
    IniWriteString("PROFILES", "PROFILE1", "Replaced", other);
    ASSERT_TRUE(MoveFileExA(other.c_str(), IniPath.c_str(), MOVEFILE_REPLACE_EXISTING));
    LoadProfiles();
    ASSERT_EQ(Profiles.size(), 1u);
    EXPECT_EQ(Profiles[0].NAME, "Replaced");
}

} // namespace
