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

// The file as the platform's writer makes it: the table written key by key into an empty file.
void WriteKeyByKey(const std::vector<ProfileRecord>& table, const std::string& file) {
    DeleteFileA(file.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    auto put = [&](const std::string& section, const std::string& key, const std::string& value) {
        ASSERT_NE(IniWriteString(section, key, value, file), 0) << section << "/" << key;
    };
    auto putList = [&](const std::string& section, const std::string& countKey,
                       const std::string& itemKey, const std::vector<std::string>& list) {
        put(section, countKey, std::to_string(list.empty() ? 1 : list.size()));
        if (list.empty())
            put(section, itemKey + "1", "");
        for (std::size_t j = 0; j < list.size(); ++j)
            put(section, itemKey + std::to_string(j + 1), list[j]);
    };
    put("PROFILES", "COUNT", std::to_string(table.size()));
    for (std::size_t i = 0; i < table.size(); ++i)
        put("PROFILES", "PROFILE" + std::to_string(i + 1), table[i].NAME);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ProfileRecord& p = table[i];
        const std::string section = "PROFILE" + std::to_string(i + 1);
        put(section, "INTERFACE", p.INTERFACE);
        put(section, "DHCP", std::to_string(p.DHCP));
        putList(section, "IPCOUNT", "IP", p.IP);
        put(section, "SUBNET", p.SUBNET);
        put(section, "GATEWAY", p.GATEWAY);
        put(section, "METRIC", std::to_string(p.METRIC));
        putList(section, "DNSCOUNT", "DNS", p.DNS);
        put(section, "SELECTED", std::to_string(p.SELECTED));
    }
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

// Every byte but NUL and the line breaks, between two letters.
std::string AllBytes() {
    std::string text = "x";
    for (int c = 1; c < 256; ++c) {
        if (c != '\r' && c != '\n')
            text += static_cast<char>(c);
    }
    return text + "x";
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

TEST_F(ProfileStore, OnePassFileIsThePlatformWritersFileAndLoadsBack) {
    // What the table loads back as: the platform's reader drops blanks around a value.
    std::vector<ProfileRecord> expected = MixedTable();
    std::vector<ProfileRecord> table = expected;
    auto add = [&](ProfileRecord stored, ProfileRecord loaded) {
        table.push_back(std::move(stored));
        expected.push_back(std::move(loaded));
    };
    const ProfileRecord empty = Record("", "", 0, {""}, "", "", 0, {""}, 0);
    add(empty, empty);
    add(Record(" \t lead and trail \t ", "  LAN", 1, {" 10.0.0.1", "10.0.0.2  "}, "255.0.0.0 ",
               "\t10.0.0.254", -1, {"  ", " 8.8.8.8 "}, 1),
        Record("lead and trail", "LAN", 1, {"10.0.0.1", "10.0.0.2"}, "255.0.0.0", "10.0.0.254", -1,
               {"", "8.8.8.8"}, 1));
    add(Record("\032eof\032", "inner  blanks\tstay", 0, {"   "}, "\v\f", " ", 0, {"\t"}, 0),
        Record("eof", "inner  blanks\tstay", 0, {""}, "", "", 0, {""}, 0));
    add(Record("no lists", "LAN", 0, {}, "", "none", 1, {}, 0),
        Record("no lists", "LAN", 0, {""}, "", "none", 1, {""}, 0));
    const std::string long1023(1023, 'L');
    add(Record(long1023, std::string(1022, 'I') + "\xE9", 0, {long1023}, long1023, long1023, 32767,
               {long1023}, 0),
        Record(long1023, std::string(1022, 'I') + "\xE9", 0, {long1023}, long1023, long1023, 32767,
               {long1023}, 0));
    const ProfileRecord odd = Record(AllBytes(), "\xC0\xC9\xD1\xDC\xDF\xE0\xE9\xF1\xFC\xFF\x80\x9F",
                                     0, {"a=b", "[x]", ";c"}, "\"q\" x", "'", -32768,
                                     {"1.1.1.1", "2.2.2.2", "3.3.3.3", "4.4.4.4", "5.5.5.5"}, 255);
    add(odd, odd);
    // Enough for two-digit numbers in section and key names.
    for (int i = 0; i < 30; ++i) {
        ProfileRecord p = Record("Profile " + std::to_string(i), i % 2 ? "LAN" : "WLAN",
                                 static_cast<std::uint8_t>(i % 3), {}, "255.255.255.0",
                                 i % 4 ? "none" : "192.168.0.1", i - 15, {}, i == 7);
        for (int j = 0; j <= i % 12; ++j)
            p.IP.push_back("192.168." + std::to_string(i) + "." + std::to_string(j));
        for (int j = 0; j <= i % 4; ++j)
            p.DNS.push_back("10.0." + std::to_string(i) + "." + std::to_string(j));
        add(p, p);
    }

    const std::string reference = dir.File("reference.ini");
    WriteKeyByKey(table, reference);
    const std::string platform = ReadFileBytes(reference);
    EXPECT_EQ(ProfileFileText(table), platform);

    Profiles = table;
    const SaveResult result = SaveProfiles();
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.error, DWORD{ERROR_SUCCESS});
    EXPECT_EQ(ReadFileBytes(IniPath), platform);
    Profiles.clear();
    LoadProfiles();
    EXPECT_EQ(Profiles, expected);
    EXPECT_EQ(ReadFileBytes(IniPath), platform) << "loading the saved file completed it";
}

// Pasted text can put line breaks into a record: the platform's reader splits them into lines of
// their own, and the one-pass file must hold what its writer leaves.
TEST_F(ProfileStore, ValuesWithLineBreaksOrNulAreWrittenAsThePlatformLeavesThem) {
    const char* texts[] = {"a\nb",     "a\rb",           "a \r\n\r\n b ", "\r\nlead",
                           "trail\n",  "a\n k = v \n c", "a\n=x\n=y\n=z", "a\n=x\nb\n=y",
                           "\n\r\n\r", "x\nCOUNT=99",    "x\n; note"};
    for (const char* text : texts) {
        SCOPED_TRACE(testing::PrintToString(std::string(text)));
        std::vector<ProfileRecord> table = MixedTable();
        table[0].NAME = text;
        table[1].INTERFACE = text;
        table[1].IP = {text, "10.0.0.1"};
        table[2].DNS.back() = text;
        table[3].GATEWAY = text;
        WriteKeyByKey(table, dir.File("reference.ini"));
        EXPECT_EQ(ProfileFileText(table), ReadFileBytes(dir.File("reference.ini")));
    }
    std::vector<ProfileRecord> table = MixedTable();
    table[0].NAME = std::string("cut\0here", 8);
    table[0].IP[1] = std::string("\0", 1);
    WriteKeyByKey(table, dir.File("reference.ini"));
    EXPECT_EQ(ProfileFileText(table), ReadFileBytes(dir.File("reference.ini")));
}

TEST_F(ProfileStore, SaveIntoAMissingFolderFailsWithThePlatformsCode) {
    IniPath = dir.File("missing") + "\\Ipshifter.ini";
    Profiles = MixedTable();
    const SaveResult result = SaveProfiles();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, DWORD{ERROR_PATH_NOT_FOUND});
    EXPECT_TRUE(ListFiles(dir.path()).empty());
    EXPECT_FALSE(FileExists(dir.File("missing")));
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

TEST_F(ProfileStore, MarkingAnApplyTouchesExactlyItsConnectionInMemoryAndFile) {
    Profiles = {Record("A", "LAN", 1, {""}, "", "none", 1, {""}, 1),
                Record("B", "LAN", 1, {""}, "", "none", 1, {""}, 0),
                Record("C", "lan", 1, {""}, "", "none", 1, {""}, 1),
                Record("D", "WLAN", 1, {""}, "", "none", 1, {""}, 1)};
    EXPECT_TRUE(MarkApplied(1).ok);
    const std::vector<int> expected{0, 1, 1, 1};
    std::vector<int> memory, file;
    for (const auto& p : Profiles)
        memory.push_back(p.SELECTED);
    EXPECT_EQ(memory, expected);
    const auto table = Profiles;
    Profiles.clear();
    LoadProfiles();
    for (const auto& p : Profiles)
        file.push_back(p.SELECTED);
    EXPECT_EQ(file, expected);
    EXPECT_EQ(Profiles, table) << "nothing but the marks changed";
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
    EXPECT_TRUE(SaveProfiles().ok);
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
        base::unique_file holder(CreateFileA(IniPath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        const SaveResult result = SaveProfiles();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, DWORD{ERROR_ACCESS_DENIED});
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
        base::unique_file holder(
            CreateFileA(temp.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        const SaveResult result = SaveProfiles();
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, DWORD{ERROR_SHARING_VIOLATION});
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
