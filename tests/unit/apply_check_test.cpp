// Whether an apply took effect: addresses as numbers, the profile against the connection's kept
// and live settings, and what the user is told.
#include "functions/apply_check.h"

#include "main_window_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

using testsupport::MakeProfile;

void PrintTo(const SettingDifference& d, std::ostream* os) {
    *os << "{" << d.item << ": " << d.wanted << " / " << d.found << "}";
}

namespace {

TEST(ApplyCheck, AddressesReadAsNumbers) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {"192.0.2.1", 0xC0000201u},
        {"192.000.002.001", 0xC0000201u}, // leading zeros are decimal, not octal
        {" 10.0.0.1 ", 0x0A000001u},
        {"0.0.0.0", 0u},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"256.0.0.1", std::nullopt},
        {"1.2.3", std::nullopt},
        {"1.2.3.4.5", std::nullopt},
        {"1..2.3", std::nullopt},
        {"0x10.0.0.1", std::nullopt},
        {"1.2.3.0001", std::nullopt},
        {"", std::nullopt},
        {"none", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseIPv4(c.text), c.value) << c.text;
}

IpSettings Dhcp(std::vector<std::string> dns = {}) {
    IpSettings s;
    s.dhcp = true;
    s.addresses = {"0.0.0.0"};
    s.masks = {"0.0.0.0"};
    s.dnsServers = std::move(dns);
    return s;
}

IpSettings Static(std::vector<std::string> addresses, std::vector<std::string> masks,
                  std::vector<std::string> gateways, std::vector<std::string> dns) {
    IpSettings s;
    s.dhcp = false;
    s.addresses = std::move(addresses);
    s.masks = std::move(masks);
    s.gateways = std::move(gateways);
    s.dnsServers = std::move(dns);
    return s;
}

// A live adapter: what is in use, not what is kept.
IpSettings Live(bool dhcp, std::vector<std::string> addresses, std::vector<std::string> masks,
                std::vector<std::string> gateways, std::vector<std::string> dns) {
    IpSettings s =
        Static(std::move(addresses), std::move(masks), std::move(gateways), std::move(dns));
    s.dhcp = dhcp;
    return s;
}

using Diffs = std::vector<SettingDifference>;

TEST(ApplyCheck, EachItemIsADifferenceOnlyWhenNeitherWitnessShowsIt) {
    const ProfileRecord office =
        MakeProfile("Office", "LAN", 0, {"192.0.2.10", "192.0.2.11"}, "255.255.255.0", "192.0.2.1",
                    5, {"192.0.2.53", "192.0.2.54"});
    const ProfileRecord home = MakeProfile("Home", "LAN", 1, {""}, "", "none", 1, {""});
    const ProfileRecord homeDns =
        MakeProfile("Home", "LAN", 1, {""}, "", "none", 1, {"192.0.2.53"});
    const ProfileRecord noGateway =
        MakeProfile("Lab", "LAN", 0, {"10.1.2.3"}, "255.0.0.0", "none", 1, {""});
    const ProfileRecord noAddresses =
        MakeProfile("Dns only", "LAN", 0, {""}, "", "none", 1, {"192.0.2.53", ""});
    const IpSettings officeKept =
        Static({"192.0.2.10", "192.0.2.11"}, {"255.255.255.0", "255.255.255.0"}, {"192.0.2.1"},
               {"192.0.2.53", "192.0.2.54"});
    const IpSettings offLink = Live(false, {}, {}, {}, {});

    const struct {
        const char* what;
        ProfileRecord profile;
        IpSettings stored;
        std::optional<IpSettings> live;
        Diffs expected;
    } cases[] = {
        {"DHCP profile, kept as asked", home, Dhcp(), std::nullopt, {}},
        {"DHCP profile, still static",
         home,
         officeKept,
         std::nullopt,
         {{"DHCP", "on", "off"}, {"DNS servers", "none", "192.0.2.53, 192.0.2.54"}}},
        {"nothing kept at all", home, IpSettings{}, std::nullopt, {{"DHCP", "on", "not set"}}},
        {"DHCP profile with a static DNS server", homeDns, Dhcp({"192.0.2.53"}), std::nullopt, {}},
        {"static profile, kept as asked", office, officeKept, std::nullopt, {}},
        {"static profile, kept with leading zeros",
         office,
         Static({"192.000.002.010", "192.0.2.011"}, {"255.255.255.000", "255.255.255.0"},
                {"192.0.2.001"}, {"192.0.2.53", "192.000.2.54"}),
         std::nullopt,
         {}},
        {"static profile, still DHCP (netsh refused the address)",
         office,
         Dhcp({"192.0.2.53", "192.0.2.54"}),
         std::nullopt,
         {{"DHCP", "off", "on"},
          {"IP addresses", "192.0.2.10/255.255.255.0, 192.0.2.11/255.255.255.0", "none"},
          {"Gateway", "192.0.2.1", "none"}}},
        {"second address missing, first address order kept",
         office,
         Static({"192.0.2.10"}, {"255.255.255.0"}, {"192.0.2.1"}, {"192.0.2.53", "192.0.2.54"}),
         std::nullopt,
         {{"IP addresses", "192.0.2.10/255.255.255.0, 192.0.2.11/255.255.255.0",
           "192.0.2.10/255.255.255.0"}}},
        {"addresses in the other order",
         office,
         Static({"192.0.2.11", "192.0.2.10"}, {"255.255.255.0", "255.255.255.0"}, {"192.0.2.1"},
                {"192.0.2.53", "192.0.2.54"}),
         std::nullopt,
         {{"IP addresses", "192.0.2.10/255.255.255.0, 192.0.2.11/255.255.255.0",
           "192.0.2.11/255.255.255.0, 192.0.2.10/255.255.255.0"}}},
        {"another mask",
         noGateway,
         Static({"10.1.2.3"}, {"255.255.0.0"}, {}, {}),
         std::nullopt,
         {{"IP addresses", "10.1.2.3/255.0.0.0", "10.1.2.3/255.255.0.0"}}},
        {"no gateway asked, an empty slot kept",
         noGateway,
         Static({"10.1.2.3"}, {"255.0.0.0"}, {"0.0.0.0"}, {}),
         std::nullopt,
         {}},
        {"no gateway asked, one kept",
         noGateway,
         Static({"10.1.2.3"}, {"255.0.0.0"}, {"10.0.0.1"}, {}),
         std::nullopt,
         {{"Gateway", "none", "10.0.0.1"}}},
        {"DNS servers refused: none kept, DHCP's in use",
         office,
         Static({"192.0.2.10", "192.0.2.11"}, {"255.255.255.0", "255.255.255.0"}, {"192.0.2.1"},
                {}),
         Live(false, {"192.0.2.10", "192.0.2.11"}, {"255.255.255.0", "255.255.255.0"},
              {"192.0.2.1"}, {"10.0.0.53"}),
         {{"DNS servers", "192.0.2.53, 192.0.2.54", "none"}}},
        {"one DNS server of two",
         office,
         Static({"192.0.2.10", "192.0.2.11"}, {"255.255.255.0", "255.255.255.0"}, {"192.0.2.1"},
                {"192.0.2.53"}),
         std::nullopt,
         {{"DNS servers", "192.0.2.53, 192.0.2.54", "192.0.2.53"}}},
        {"kept elsewhere by this Windows: the live settings show it all",
         office,
         Static({}, {}, {}, {}),
         Live(false, {"192.0.2.10", "192.0.2.11"}, {"255.255.255.0", "255.255.255.0"},
              {"192.0.2.1"}, {"192.0.2.53", "192.0.2.54"}),
         {}},
        {"cable out: no address in use, the kept settings decide", office, officeKept, offLink, {}},
        {"cable out and not kept either",
         noGateway,
         Dhcp(),
         Live(true, {}, {}, {}, {}),
         {{"DHCP", "off", "on"}, {"IP addresses", "10.1.2.3/255.0.0.0", "none"}}},
        {"static profile without addresses: only its DNS servers are asked",
         noAddresses,
         Dhcp({"192.0.2.53"}),
         std::nullopt,
         {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CompareWithProfile(c.profile, c.stored, c.live), c.expected) << c.what;
}

// IP Helper's answer as the platform gives it: a chain of adapters in one buffer, asked for again
// when the first buffer is too small.
struct FakeIpHelper {
    static constexpr ULONG kNeeded = 40000;
    std::vector<char> adapters, dns;
    int calls = 0;
    platform::Override<decltype(platform::Calls::GetAdaptersInfo)> info{
        &platform::Calls::GetAdaptersInfo, [this](PIP_ADAPTER_INFO out, PULONG size) -> ULONG {
            // Windows with many adapters needs more than a first guess.
            if (++calls == 1 || *size < kNeeded) {
                *size = kNeeded;
                return ERROR_BUFFER_OVERFLOW;
            }
            Relocate(adapters, out);
            return ERROR_SUCCESS;
        }};
    platform::Override<decltype(platform::Calls::GetPerAdapterInfo)> perAdapter{
        &platform::Calls::GetPerAdapterInfo,
        [this](ULONG index, PIP_PER_ADAPTER_INFO out, PULONG size) -> DWORD {
            if (index != 7)
                return ERROR_INVALID_PARAMETER;
            if (*size < dns.size()) {
                *size = static_cast<ULONG>(dns.size());
                return ERROR_BUFFER_OVERFLOW;
            }
            std::memcpy(out, dns.data(), dns.size());
            auto* given = reinterpret_cast<IP_PER_ADAPTER_INFO*>(out);
            auto* second = reinterpret_cast<IP_ADDR_STRING*>(given + 1);
            given->DnsServerList.Next = second;
            return ERROR_SUCCESS;
        }};

    // The chain's pointers must point into the caller's buffer.
    static void Relocate(const std::vector<char>& from, PIP_ADAPTER_INFO out) {
        std::memcpy(out, from.data(), from.size());
        auto* first = out;
        auto* second = out + 1;
        auto* extra = reinterpret_cast<IP_ADDR_STRING*>(out + 2);
        first->Next = second;
        second->Next = nullptr;
        second->IpAddressList.Next = extra;
    }
};

void Put(char (&field)[16], const char* text) {
    lstrcpynA(field, text, sizeof(field));
}

TEST(LiveIpSettings, FoundByTheConnectionsKeyThroughIpHelper) {
    FakeIpHelper ip;
    ip.adapters.assign(2 * sizeof(IP_ADAPTER_INFO) + sizeof(IP_ADDR_STRING), '\0');
    auto* a = reinterpret_cast<IP_ADAPTER_INFO*>(ip.adapters.data());
    lstrcpynA(a[0].AdapterName, "{OTHER}", sizeof(a[0].AdapterName));
    Put(a[0].IpAddressList.IpAddress.String, "10.9.9.9");
    lstrcpynA(a[1].AdapterName, "{1a2b}", sizeof(a[1].AdapterName));
    a[1].Index = 7;
    a[1].DhcpEnabled = 0;
    Put(a[1].IpAddressList.IpAddress.String, "192.0.2.10");
    Put(a[1].IpAddressList.IpMask.String, "255.255.255.0");
    auto* extra = reinterpret_cast<IP_ADDR_STRING*>(a + 2);
    Put(extra->IpAddress.String, "192.0.2.11");
    Put(extra->IpMask.String, "255.255.255.0");
    Put(a[1].GatewayList.IpAddress.String, "192.0.2.1");
    ip.dns.assign(sizeof(IP_PER_ADAPTER_INFO) + sizeof(IP_ADDR_STRING), '\0');
    auto* d = reinterpret_cast<IP_PER_ADAPTER_INFO*>(ip.dns.data());
    Put(d->DnsServerList.IpAddress.String, "192.0.2.53");
    Put(reinterpret_cast<IP_ADDR_STRING*>(d + 1)->IpAddress.String, "192.0.2.54");

    const auto live = ReadLiveIpSettings("{1A2B}"); // the GUID's letter case may differ
    ASSERT_TRUE(live.has_value());
    EXPECT_EQ(live->dhcp, false);
    EXPECT_EQ(live->addresses, (std::vector<std::string>{"192.0.2.10", "192.0.2.11"}));
    EXPECT_EQ(live->masks, (std::vector<std::string>{"255.255.255.0", "255.255.255.0"}));
    EXPECT_EQ(live->gateways, std::vector<std::string>{"192.0.2.1"});
    EXPECT_EQ(live->dnsServers, (std::vector<std::string>{"192.0.2.53", "192.0.2.54"}));
    EXPECT_EQ(ip.calls, 2);

    EXPECT_FALSE(ReadLiveIpSettings("{ABSENT}").has_value());
    EXPECT_FALSE(ReadLiveIpSettings("").has_value());
}

TEST(LiveIpSettings, NoneWhereIpHelperIsMissing) {
    platform::Override none(&platform::Calls::GetAdaptersInfo,
                            [](PIP_ADAPTER_INFO, PULONG) -> ULONG { return ERROR_NOT_SUPPORTED; });
    EXPECT_FALSE(ReadLiveIpSettings("{1A2B}").has_value());
}

TEST(ApplyCheck, NetshWordsLeaveOutTheScriptsOwnLines) {
    // As the console prints them: OEM code page 437, where 0x81 is u-umlaut.
    const std::string output = "Setting profile: B\x81ro & Lab\r\n" + std::string(49, '-') +
                               "\r\n\r\nWait...\r\n"
                               "The configured DNS server is incorrect or does not exist.\r\n\r\n"
                               "The configured DNS server is incorrect or does not exist.\r\n"
                               "  Element not found.  \r\n"
                               "Ung\x81ltiger Parameter.\n"
                               "...done !!!\r\n\r\n";
    EXPECT_EQ(NetshWords(output),
              (std::vector<std::string>{"The configured DNS server is incorrect or does not exist.",
                                        "Element not found.", "Ung\xFCltiger Parameter."}));
    EXPECT_EQ(NetshWords("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\n", 3),
              (std::vector<std::string>{"a", "b", "c"}));
    const auto cut = NetshWords(std::string(500, 'x'));
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_LT(cut[0].size(), 250u);
    EXPECT_TRUE(NetshWords("").empty());
}

TEST(ApplyCheck, TheMessageNamesProfileConnectionEachItemAndNetshsWords) {
    const ProfileRecord p = MakeProfile("Office", "LAN", 0, {"192.0.2.10"}, "255.255.255.0",
                                        "192.0.2.1", 5, {"192.0.2.53"});
    const std::string text =
        ApplyFailureText(p, {{"DNS servers", "192.0.2.53", "none"}},
                         {"The configured DNS server is incorrect or does not exist."});
    EXPECT_EQ(text, "The profile \"Office\" was not applied in full to the connection \"LAN\".\r\n"
                    "\r\nDNS servers: the profile asks for 192.0.2.53; the connection has none.\r\n"
                    "\r\nnetsh said:\r\n"
                    "The configured DNS server is incorrect or does not exist.\r\n");
    EXPECT_EQ(ApplyFailureText(p, {{"DHCP", "off", "on"}}, {}),
              "The profile \"Office\" was not applied in full to the connection \"LAN\".\r\n"
              "\r\nDHCP: the profile asks for off; the connection has on.\r\n");
}

} // namespace
