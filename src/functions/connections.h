#pragma once
// The names of the machine's network connections, read from the registry under
// HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\Network. Each list holds the names in
// the order the registry enumerates them, duplicates and empty names included; it is never
// empty: no connection gives the single element "_".
#include <string>
#include <vector>

// The element of a list of connection names that stands for "no connection found".
inline constexpr const char kNoConnection[] = "_";

// The connection a new or incomplete profile gets: the first one found, or the placeholder.
std::string FirstConnection(const std::vector<std::string>& names);

// Windows 2000: connections with a PnpInstanceID, under the classes whose Class is "Net".
std::vector<std::string> ListConnectionsWithPnpId();

// Windows XP: connections whose MediaSubType reads "1" or "2", under the "Net" classes.
std::vector<std::string> ListConnectionsByMediaSubType();

// Vista and later: connections whose PnpInstanceID starts with "PCI\", under every class.
std::vector<std::string> ListPciConnections();
