#include "functions/connections.h"

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

void AddName(std::vector<std::string>& names, const std::string& name) {
    if (names.back() == kNoConnection)
        names.back() = name;
    else
        names.push_back(name);
}

using ClassFilter = std::function<bool(const std::string& classPath)>;
using ConnectionFilter = std::function<bool(const std::string& connectionPath)>;

std::vector<std::string> ListConnections(const ClassFilter& classPasses,
                                         const ConnectionFilter& connectionPasses) {
    std::vector<std::string> names{kNoConnection};
    base::unique_hkey network;
    if (RegOpenKeyA(HKEY_LOCAL_MACHINE, kNetworkKey.c_str(), network.put()) != ERROR_SUCCESS)
        return names;

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
                AddName(names, RegReadString(HKEY_LOCAL_MACHINE, connectionPath, "Name"));
        }
    }
    return names;
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

std::vector<std::string> ListConnectionsWithPnpId() {
    return ListConnections(IsNetClass,
                           [](const std::string& path) { return !PnpInstanceId(path).empty(); });
}

std::vector<std::string> ListConnectionsByMediaSubType() {
    return ListConnections(IsNetClass, [](const std::string& path) {
        const std::string media = RegReadString(HKEY_LOCAL_MACHINE, path, "MediaSubType");
        return media == "1" || media == "2";
    });
}

std::vector<std::string> ListPciConnections() {
    return ListConnections(
        AnyClass, [](const std::string& path) { return PnpInstanceId(path).starts_with("PCI\\"); });
}

std::string FirstConnection(const std::vector<std::string>& names) {
    return names.empty() ? std::string(kNoConnection) : names.front();
}
