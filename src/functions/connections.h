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

// A connection as discovery finds it: its name, and the name of its key under the class key,
// "{GUID}", by which Windows keeps its TCP/IP settings. The placeholder has an empty key.
struct FoundConnection {
    std::string name;
    std::string key;
    bool operator==(const FoundConnection&) const = default;
};

// Which connections a discovery keeps, by Windows version.
enum class ConnectionFilter { WithPnpId, ByMediaSubType, PciOrUsb };

// The connections, with their keys, by the rules of the lists below (same order, same marker).
std::vector<FoundConnection> FindConnections(ConnectionFilter filter);
std::vector<std::string> NamesOf(const std::vector<FoundConnection>& found);
std::vector<std::string> KeysOf(const std::vector<FoundConnection>& found);

// The key of the first connection of that name in InterfaceNames (InterfaceKeys holds the keys);
// empty when discovery did not find it.
std::string ConnectionKeyOf(const std::string& name);

// Windows 2000: connections with a PnpInstanceID, under the classes whose Class is "Net".
std::vector<std::string> ListConnectionsWithPnpId();

// Windows XP: connections whose MediaSubType reads "1" or "2", under the "Net" classes.
std::vector<std::string> ListConnectionsByMediaSubType();

// Vista and later: connections whose PnpInstanceID starts with "PCI\" or "USB\" (plug-in
// adapters, docks, tethered phones), under every class; virtual adapters stay out.
std::vector<std::string> ListPciConnections();
