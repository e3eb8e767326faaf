#pragma once
// The profile record and the program-wide tables that every part of the program works on.
#include <cstdint>
#include <string>
#include <vector>

struct ProfileRecord {
    std::string NAME;
    // The connection, exactly as Windows names it.
    std::string INTERFACE;
    // 0 = static addresses, anything else = DHCP.
    std::uint8_t DHCP = 0;
    // Static addresses; the first is the primary one. Never empty in a record the program made.
    std::vector<std::string> IP;
    std::string SUBNET;
    // "none" means no gateway.
    std::string GATEWAY;
    std::int32_t METRIC = 0;
    std::vector<std::string> DNS;
    // 1 = the profile last applied to its connection.
    std::uint8_t SELECTED = 0;

    bool operator==(const ProfileRecord&) const = default;
};

// Element i is stored as profile number i + 1 in the profile file.
extern std::vector<ProfileRecord> Profiles;
// The machine's connections as discovery found them; the single element "_" when none.
extern std::vector<std::string> InterfaceNames;
// The registry key name ("{GUID}") of each element of InterfaceNames, by which Windows keeps the
// connection's TCP/IP settings; empty for the placeholder.
extern std::vector<std::string> InterfaceKeys;
// The full path of Ipshifter.ini in the program's folder.
extern std::string IniPath;
