#pragma once
// Whether an apply took effect: the profile against the connection's settings afterwards, and the
// text that tells the user what did not.
#include "functions/tcpip.h"
#include "globals/mdlGVars.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One item the connection does not have as the profile asks.
struct SettingDifference {
    std::string item;   // "DHCP", "IP addresses", "Gateway", "DNS servers"
    std::string wanted; // what the profile asks
    std::string found;  // what the connection has now (its kept settings)
    bool operator==(const SettingDifference&) const = default;
};

// The items of the profile that neither witness shows: the settings Windows keeps, nor those in
// use (absent for an adapter that is disabled or gone). Addresses compare as numbers. Asked are:
// DHCP on or off, and for a static profile with addresses, those addresses in order each with the
// profile's mask and the gateway (none for "none" or empty); for every profile its DNS servers in
// order. The gateway's metric is not compared: Windows versions keep it in different places.
std::vector<SettingDifference> CompareWithProfile(const ProfileRecord& profile,
                                                  const IpSettings& stored,
                                                  const std::optional<IpSettings>& live);

// The differences after an apply to the connection of that key. While there are any, the settings
// are read again for up to `patienceMs` (Windows may write them a moment late); window events are
// handled meanwhile.
std::vector<SettingDifference> CheckApplied(const ProfileRecord& profile,
                                            const std::string& connectionKey,
                                            std::uint32_t patienceMs);

// What the script's commands printed (console code page), as lines for the user: the script's own
// echo lines, blank lines and repeats left out, at most `maxLines`, each cut to a readable length.
std::vector<std::string> NetshWords(const std::string& consoleOutput, std::size_t maxLines = 5);

// The message after an apply that did not take effect.
std::string ApplyFailureText(const ProfileRecord& profile,
                             const std::vector<SettingDifference>& differences,
                             const std::vector<std::string>& netshWords);

// The message refusing a profile whose connection has no TCP/IP settings on this computer.
std::string NoTcpipSettingsText(const ProfileRecord& profile);
