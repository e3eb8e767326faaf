#pragma once
// A connection's IPv4 settings as Windows has them: those it keeps for the connection (where netsh
// writes them, kept also while the cable is out) and those in use on its adapter.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct IpSettings {
    // Address from DHCP; unknown when Windows does not say.
    std::optional<bool> dhcp;
    // Static addresses and their masks (kept), or the addresses in use (live), in order.
    std::vector<std::string> addresses;
    std::vector<std::string> masks;
    std::vector<std::string> gateways;
    // Kept only, and only where the Windows version keeps them there.
    std::vector<std::string> gatewayMetrics;
    // The static DNS servers (kept: none means the DHCP-given ones are used), or those in use.
    std::vector<std::string> dnsServers;
    // The current lease of the DHCP client (kept only).
    std::vector<std::string> leaseAddresses;
    std::vector<std::string> leaseMasks;
    std::vector<std::string> leaseGateways;
    std::vector<std::string> leaseDnsServers;
};

// A dotted IPv4 address as a number: four decimal parts of 0..255, leading zeros and surrounding
// blanks allowed; nullopt for anything else.
std::optional<std::uint32_t> ParseIPv4(const std::string& text);

// A list as Windows keeps or uses it, without its empty slots ("0.0.0.0", or nothing at all);
// what does not read as an address stays.
std::vector<std::string> AssignedAddresses(const std::vector<std::string>& list);

// The addresses with their masks, in order, without the empty slots; a missing mask is empty.
struct AddressWithMask {
    std::string address;
    std::string mask;
};
std::vector<AddressWithMask> AssignedPairs(const std::vector<std::string>& addresses,
                                           const std::vector<std::string>& masks);

// The texts of the main window's fields for the settings Windows keeps, as "Read current" puts
// them there: for a static connection its addresses (one per line), the first address's mask, its
// gateway or "none", the gateway's metric where one is kept, its DNS servers; for a DHCP one the
// current lease's address, mask and gateway, and its static DNS servers (none when the DHCP-given
// ones are used).
struct ProfileFields {
    std::uint8_t dhcp = 0;
    std::string ip;
    std::string subnet;
    std::string gateway;
    // Empty: the field keeps what it holds.
    std::optional<std::string> metric;
    std::string dns;
    bool operator==(const ProfileFields&) const = default;
};
ProfileFields FieldsFromSettings(const IpSettings& kept);

// HKLM path of the TCP/IP settings Windows keeps for the connection key "{GUID}".
std::string TcpipInterfacePath(const std::string& connectionKey);

// The kept settings; nullopt when Windows keeps none for the key (a removed adapter's leftover, a
// connection without TCP/IP).
std::optional<IpSettings> ReadStoredIpSettings(const std::string& connectionKey);

// The settings in use on the adapter of that key; nullopt when no enabled adapter has it.
std::optional<IpSettings> ReadLiveIpSettings(const std::string& connectionKey);
