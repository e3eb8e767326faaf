#include "hostile_input.h"

#include "registry/mdlRegistry.h"

#include <gtest/gtest.h>

namespace hostile {
namespace {

const char kNetworkKey[] = "SYSTEM\\CurrentControlSet\\Control\\Network\\";

// Created one key at a time: a whole path longer than about 260 characters is refused.
void WriteKey(const std::string& path, const std::vector<RawValue>& values) {
    base::unique_hkey key;
    HKEY parent = HKEY_LOCAL_MACHINE;
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string name = path.substr(start, end - start);
        base::unique_hkey child;
        ASSERT_EQ(RegCreateKeyExA(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  child.put(), nullptr),
                  ERROR_SUCCESS)
            << name.substr(0, 300);
        key = std::move(child);
        parent = key.get();
        start = end + 1;
    }
    for (const auto& v : values)
        RegSetValueExA(key.get(), v.name.c_str(), 0, v.type,
                       reinterpret_cast<const BYTE*>(v.data.data()),
                       static_cast<DWORD>(v.data.size()));
}

} // namespace

std::string Long(char c) {
    return std::string(100000, c);
}

RawValue Sz(const std::string& name, const std::string& text) {
    return {name, REG_SZ, std::string(text.c_str(), text.size() + 1)};
}

RawValue Dword(const std::string& name, DWORD value) {
    return {name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof(value))};
}

std::vector<std::string> WriteClasses(const std::vector<RawClass>& classes) {
    std::vector<std::string> connectionPaths;
    for (const auto& c : classes) {
        const std::string classPath = kNetworkKey + c.key;
        WriteKey(classPath, c.classValues);
        for (const auto& [name, values] : c.connections) {
            if (!values) {
                WriteKey(classPath + "\\" + name, {});
                continue;
            }
            const std::string path = classPath + "\\" + name + "\\Connection";
            WriteKey(path, *values);
            connectionPaths.push_back(path);
        }
    }
    return connectionPaths;
}

const std::vector<ConnectionEntry>& TwoConnections() {
    static const std::vector<ConnectionEntry> connections = PciConnections({"LAN", "WLAN"});
    return connections;
}

} // namespace hostile
