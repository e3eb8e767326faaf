// Hostile profile files: named damages, generated ones, huge counts and long list entries.
#include "hostile_input.h"
#include "hostile_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace hostile;

// How many profiles or list elements a load makes up beyond those the file has a trace of.
constexpr int kMadeUpAtMost = 32;

const std::vector<std::string> kNumbers = {
    "0",     "1",      "2",     "3",          "-1",   "255", "256", "32767", "32768", "-32768",
    "70000", "-70000", "12abc", "4294967295", "0x10", "abc", "",    " 7 ",   "1e3"};

bool IsNumberKey(const std::string& key) {
    static const std::vector<std::string> numbers = {"COUNT",  "DHCP",     "IPCOUNT",
                                                     "METRIC", "DNSCOUNT", "SELECTED"};
    return std::find(numbers.begin(), numbers.end(), key) != numbers.end();
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
        StartWith(c.bytes, TwoConnections());
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
        StartWith(file, TwoConnections());
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
        StartWith(c.file, TwoConnections());
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
              TwoConnections(), "/PROFILE=WLAN");
    EXPECT_EQ(EndProgramCalls(), 1) << "the heading WLAN after the long entry is found";
    EndCase();

    StartWith(SavedFile({MakeProfile(longName, "LAN")}), TwoConnections());
    ExpectResident();
    EXPECT_EQ(Form().cmbProfiles.List(1), "  " + longName);
    EndCase();

    StartWith(SavedFile({MakeProfile("Home", "LAN")}), PciConnections({longName, "LAN"}));
    ExpectResident();
    EXPECT_EQ(Form().cmbINTERFACE.List(0), longName);
    EXPECT_EQ(Form().cmbINTERFACE.ListIndex(), 1) << "the profile's connection is shown";
}

} // namespace
