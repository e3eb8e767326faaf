// The fields "Read current" fills from the settings Windows keeps for a connection.
#include "functions/tcpip.h"

#include <gtest/gtest.h>

#include <ostream>

void PrintTo(const ProfileFields& f, std::ostream* os) {
    *os << "{dhcp " << int{f.dhcp} << ", ip '" << f.ip << "', subnet '" << f.subnet
        << "', gateway '" << f.gateway << "', metric '" << (f.metric ? *f.metric : "(kept)")
        << "', dns '" << f.dns << "'}";
}

namespace {

TEST(ReadCurrent, FieldsFromTheKeptSettings) {
    IpSettings staticMany;
    staticMany.dhcp = false;
    staticMany.addresses = {"192.0.2.10", "192.0.2.11", "192.0.2.12"};
    staticMany.masks = {"255.255.255.0", "255.255.0.0", "255.255.0.0"};
    staticMany.gateways = {"192.0.2.1"};
    staticMany.gatewayMetrics = {"25"};
    staticMany.dnsServers = {"192.0.2.53", "192.0.2.54", "198.51.100.53"};

    IpSettings staticBare; // no gateway, no metric, no DNS server
    staticBare.dhcp = false;
    staticBare.addresses = {"10.1.2.3"};
    staticBare.masks = {"255.0.0.0"};
    staticBare.gateways = {"0.0.0.0"};

    IpSettings emptySlotFirst = staticBare; // a slot kept empty before the address
    emptySlotFirst.addresses = {"0.0.0.0", "10.1.2.3"};
    emptySlotFirst.masks = {"0.0.0.0", "255.0.0.0"};

    IpSettings leased; // DHCP with DHCP-given DNS servers
    leased.dhcp = true;
    leased.addresses = {"0.0.0.0"};
    leased.masks = {"0.0.0.0"};
    leased.leaseAddresses = {"10.0.0.57"};
    leased.leaseMasks = {"255.255.255.0"};
    leased.leaseGateways = {"10.0.0.1"};
    leased.leaseDnsServers = {"10.0.0.1", "9.9.9.9"};

    IpSettings leasedStaticDns = leased;
    leasedStaticDns.dnsServers = {"192.0.2.53", "192.0.2.54"};

    IpSettings noLease; // DHCP, but no lease yet
    noLease.dhcp = true;

    IpSettings noFlag; // EnableDHCP missing: the addresses tell
    noFlag.addresses = {"192.0.2.10"};
    noFlag.masks = {"255.255.255.0"};

    const struct {
        const char* what;
        IpSettings kept;
        ProfileFields fields;
    } cases[] = {
        {"static, several addresses and servers",
         staticMany,
         {0, "192.0.2.10\r\n192.0.2.11\r\n192.0.2.12", "255.255.255.0", "192.0.2.1", "25",
          "192.0.2.53\r\n192.0.2.54\r\n198.51.100.53"}},
        {"static without gateway", staticBare, {0, "10.1.2.3", "255.0.0.0", "none", {}, ""}},
        {"an empty slot first: the mask of the address",
         emptySlotFirst,
         {0, "10.1.2.3", "255.0.0.0", "none", {}, ""}},
        {"DHCP, servers from DHCP", leased, {1, "10.0.0.57", "255.255.255.0", "10.0.0.1", {}, ""}},
        {"DHCP with static DNS servers",
         leasedStaticDns,
         {1, "10.0.0.57", "255.255.255.0", "10.0.0.1", {}, "192.0.2.53\r\n192.0.2.54"}},
        {"DHCP without a lease", noLease, {1, "", "", "", {}, ""}},
        {"nothing kept", IpSettings{}, {1, "", "", "", {}, ""}},
        {"no DHCP flag, an address kept",
         noFlag,
         {0, "192.0.2.10", "255.255.255.0", "none", {}, ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FieldsFromSettings(c.kept), c.fields) << c.what;
}

} // namespace
