#pragma once
// A connection's IPv4 settings as Windows has them: those it keeps for the connection (where netsh
// writes them, kept also while the cable is out) and those in use on its adapter.
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

// HKLM path of the TCP/IP settings Windows keeps for the connection key "{GUID}".
std::string TcpipInterfacePath(const std::string& connectionKey);

// The kept settings; nullopt when Windows keeps none for the key (a removed adapter's leftover, a
// connection without TCP/IP).
std::optional<IpSettings> ReadStoredIpSettings(const std::string& connectionKey);

// The settings in use on the adapter of that key; nullopt when no enabled adapter has it.
std::optional<IpSettings> ReadLiveIpSettings(const std::string& connectionKey);
