#include "functions/connections.h"

#include "globals/mdlGVars.h"
#include "registry/mdlRegistry.h"
#include "base/handle.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace {

const std::string kNetworkKey = "SYSTEM\\CurrentControlSet\\Control\\Network\\";
constexpr DWORD kNameChars = 255;

// Subkey `index` of `key`. A name too long for the buffer (ERROR_MORE_DATA) still counts as a
// key found. Any other failure ends the walk: it would repeat for every later index.
bool SubkeyAt(HKEY key, DWORD index, std::string& name) {
    char buffer[kNameChars] = {};
    DWORD length = kNameChars;
    const LONG rc = RegEnumKeyExA(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA)
        return false;
    // After ERROR_MORE_DATA the buffer may be left as it was, so stop at its first NUL too.
    name.assign(buffer, strnlen(buffer, std::min(length, kNameChars)));
    return true;
}

void AddConnection(std::vector<FoundConnection>& found, FoundConnection connection) {
    if (found.back().name == kNoConnection)
        found.back() = std::move(connection);
    else
        found.push_back(std::move(connection));
}

using ClassFilter = std::function<bool(const std::string& classPath)>;
using ConnectionPasses = std::function<bool(const std::string& connectionPath)>;

std::vector<FoundConnection> ListConnections(const ClassFilter& classPasses,
                                             const ConnectionPasses& connectionPasses) {
    std::vector<FoundConnection> found{{kNoConnection, {}}};
    base::unique_hkey network;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kNetworkKey.c_str(), network.put()) != ERROR_SUCCESS)
        return found;

    std::string className;
    for (DWORD i = 0; SubkeyAt(network.get(), i, className); ++i) {
        // An empty name is one the buffer could not take: it would address the parent key.
        if (className.empty())
            continue;
        const std::string classPath = kNetworkKey + className;
        if (!classPasses(classPath))
            continue;
        base::unique_hkey classKey;
        if (RegOpenKeyA(HKEY_LOCAL_MACHINE, classPath.c_str(), classKey.put()) != ERROR_SUCCESS)
            continue;

        std::string connectionName;
        for (DWORD j = 0; SubkeyAt(classKey.get(), j, connectionName); ++j) {
            if (connectionName.empty())
                continue;
            const std::string connectionPath = classPath + "\\" + connectionName + "\\Connection";
            if (connectionPasses(connectionPath))
                AddConnection(found, {RegReadString(HKEY_LOCAL_MACHINE, connectionPath, "Name"),
                                      connectionName});
        }
    }
    return found;
}

bool IsNetClass(const std::string& classPath) {
    return RegReadString(HKEY_LOCAL_MACHINE, classPath, "Class") == "Net";
}

bool AnyClass(const std::string&) {
    return true;
}

std::string PnpInstanceId(const std::string& connectionPath) {
    return RegReadString(HKEY_LOCAL_MACHINE, connectionPath, "PnpInstanceID");
}

} // namespace

std::vector<FoundConnection> FindConnections(ConnectionFilter filter) {
    switch (filter) {
    case ConnectionFilter::WithPnpId:
        return ListConnections(
            IsNetClass, [](const std::string& path) { return !PnpInstanceId(path).empty(); });
    case ConnectionFilter::ByMediaSubType:
        return ListConnections(IsNetClass, [](const std::string& path) {
            const std::string media = RegReadString(HKEY_LOCAL_MACHINE, path, "MediaSubType");
            return media == "1" || media == "2";
        });
    case ConnectionFilter::PciOrUsb:
        break;
    }
    return ListConnections(AnyClass, [](const std::string& path) {
        const std::string id = PnpInstanceId(path);
        return id.starts_with("PCI\\") || id.starts_with("USB\\");
    });
}

std::vector<std::string> NamesOf(const std::vector<FoundConnection>& found) {
    std::vector<std::string> names;
    for (const auto& c : found)
        names.push_back(c.name);
    return names;
}

std::vector<std::string> KeysOf(const std::vector<FoundConnection>& found) {
    std::vector<std::string> keys;
    for (const auto& c : found)
        keys.push_back(c.key);
    return keys;
}

std::vector<std::string> ListConnectionsWithPnpId() {
    return NamesOf(FindConnections(ConnectionFilter::WithPnpId));
}

std::vector<std::string> ListConnectionsByMediaSubType() {
    return NamesOf(FindConnections(ConnectionFilter::ByMediaSubType));
}

std::vector<std::string> ListPciConnections() {
    return NamesOf(FindConnections(ConnectionFilter::PciOrUsb));
}

std::string ConnectionKeyOf(const std::string& name) {
    for (size_t i = 0; i < InterfaceNames.size() && i < InterfaceKeys.size(); ++i) {
        if (InterfaceNames[i] == name)
            return InterfaceKeys[i];
    }
    return {};
}

std::string FirstConnection(const std::vector<std::string>& names) {
    return names.empty() ? std::string(kNoConnection) : names.front();
}
