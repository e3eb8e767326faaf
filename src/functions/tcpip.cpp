#include "functions/tcpip.h"

#include "base/handle.h"
#include "base/platform.h"
#include "functions/address_text.h"
#include "registry/mdlRegistry.h"

#include <windows.h>
#include <iphlpapi.h>

#include <vector>

namespace {

std::vector<std::string> ListValue(HKEY key, const char* name) {
    return RegQueryValueList(key, name).value_or(std::vector<std::string>{});
}

// An address list of IP Helper; "0.0.0.0" stands for an empty slot.
void AppendAddresses(const IP_ADDR_STRING* item, std::vector<std::string>* addresses,
                     std::vector<std::string>* masks) {
    for (; item; item = item->Next) {
        const std::string address(item->IpAddress.String,
                                  strnlen(item->IpAddress.String, sizeof(item->IpAddress.String)));
        if (address.empty() || address == "0.0.0.0")
            continue;
        addresses->push_back(address);
        if (masks)
            masks->emplace_back(item->IpMask.String,
                                strnlen(item->IpMask.String, sizeof(item->IpMask.String)));
    }
}

// IP Helper's grow-the-buffer call: the data, or empty when it fails.
template <typename Call> std::vector<char> GrowingCall(Call call) {
    std::vector<char> buffer(16 * 1024);
    for (int attempt = 0; attempt < 4; ++attempt) {
        auto size = static_cast<ULONG>(buffer.size());
        const DWORD rc = call(buffer.data(), &size);
        if (rc == ERROR_SUCCESS)
            return buffer;
        if (rc != ERROR_BUFFER_OVERFLOW || size <= buffer.size())
            break;
        buffer.resize(size);
    }
    return {};
}

} // namespace

namespace {

std::string FirstOr(const std::vector<std::string>& list, const std::string& fallback) {
    return list.empty() ? fallback : list.front();
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

} // namespace

std::optional<std::uint32_t> ParseIPv4(const std::string& text) {
    const std::string t = Trimmed(text);
    std::uint32_t value = 0;
    size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= t.size() || t[i] != '.')
                return std::nullopt;
            ++i;
        }
        const size_t start = i;
        unsigned number = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && i - start < 3)
            number = number * 10 + static_cast<unsigned>(t[i++] - '0');
        if (i == start || number > 255 || (i < t.size() && t[i] >= '0' && t[i] <= '9'))
            return std::nullopt;
        value = (value << 8) | number;
    }
    if (i != t.size())
        return std::nullopt;
    return value;
}

std::vector<std::string> AssignedAddresses(const std::vector<std::string>& list) {
    std::vector<std::string> out;
    for (const auto& item : list) {
        if (!item.empty() && ParseIPv4(item) != 0u)
            out.push_back(item);
    }
    return out;
}

std::vector<AddressWithMask> AssignedPairs(const std::vector<std::string>& addresses,
                                           const std::vector<std::string>& masks) {
    std::vector<AddressWithMask> out;
    for (size_t i = 0; i < addresses.size(); ++i) {
        if (!addresses[i].empty() && ParseIPv4(addresses[i]) != 0u)
            out.push_back({addresses[i], i < masks.size() ? masks[i] : std::string()});
    }
    return out;
}

ProfileFields FieldsFromSettings(const IpSettings& kept) {
    ProfileFields f;
    const auto pairs = AssignedPairs(kept.addresses, kept.masks);
    // Without the flag, the addresses tell.
    const bool dhcp = kept.dhcp.value_or(pairs.empty());
    f.dhcp = dhcp ? 1 : 0;
    f.dns = TextFromAddresses(AssignedAddresses(kept.dnsServers));
    if (!dhcp) {
        std::vector<std::string> addresses;
        for (const auto& p : pairs)
            addresses.push_back(p.address);
        f.ip = TextFromAddresses(addresses);
        f.subnet = pairs.empty() ? std::string() : pairs.front().mask;
        const auto gateways = AssignedAddresses(kept.gateways);
        f.gateway = FirstOr(gateways, "none");
        // The metric kept beside the gateway; where none is kept the field stays.
        const std::string metric = FirstOr(kept.gatewayMetrics, "");
        if (!gateways.empty() && !metric.empty() &&
            metric.find_first_not_of("0123456789") == std::string::npos)
            f.metric = metric;
        return f;
    }
    const auto lease = AssignedPairs(kept.leaseAddresses, kept.leaseMasks);
    if (!lease.empty()) {
        f.ip = lease.front().address;
        f.subnet = lease.front().mask;
        f.gateway = FirstOr(AssignedAddresses(kept.leaseGateways), "none");
    }
    return f;
}

std::string TcpipInterfacePath(const std::string& connectionKey) {
    return "SYSTEM\\CurrentControlSet\\Services\\Tcpip\\Parameters\\Interfaces\\" + connectionKey;
}

std::optional<IpSettings> ReadStoredIpSettings(const std::string& connectionKey) {
    // An empty key would name the parent, which holds every connection's settings.
    if (connectionKey.empty())
        return std::nullopt;
    base::unique_hkey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TcpipInterfacePath(connectionKey).c_str(), 0, KEY_READ,
                      key.put()) != ERROR_SUCCESS)
        return std::nullopt;
    IpSettings s;
    if (const auto dhcp = RegQueryValueDword(key.get(), "EnableDHCP"))
        s.dhcp = *dhcp != 0;
    s.addresses = ListValue(key.get(), "IPAddress");
    s.masks = ListValue(key.get(), "SubnetMask");
    s.gateways = ListValue(key.get(), "DefaultGateway");
    s.gatewayMetrics = ListValue(key.get(), "DefaultGatewayMetric");
    s.dnsServers = ListValue(key.get(), "NameServer");
    s.leaseAddresses = ListValue(key.get(), "DhcpIPAddress");
    s.leaseMasks = ListValue(key.get(), "DhcpSubnetMask");
    s.leaseGateways = ListValue(key.get(), "DhcpDefaultGateway");
    s.leaseDnsServers = ListValue(key.get(), "DhcpNameServer");
    return s;
}

std::optional<IpSettings> ReadLiveIpSettings(const std::string& connectionKey) {
    if (connectionKey.empty())
        return std::nullopt;
    auto& calls = platform::Current();
    const std::vector<char> adapters = GrowingCall([&](char* data, PULONG size) {
        return calls.GetAdaptersInfo(reinterpret_cast<PIP_ADAPTER_INFO>(data), size);
    });
    // Only the fields before the lease times are read: their size differs between compilers.
    for (auto* a = adapters.empty() ? nullptr
                                    : reinterpret_cast<const IP_ADAPTER_INFO*>(adapters.data());
         a; a = a->Next) {
        if (lstrcmpiA(a->AdapterName, connectionKey.c_str()) != 0)
            continue;
        IpSettings s;
        s.dhcp = a->DhcpEnabled != 0;
        AppendAddresses(&a->IpAddressList, &s.addresses, &s.masks);
        AppendAddresses(&a->GatewayList, &s.gateways, nullptr);
        const std::vector<char> perAdapter = GrowingCall([&](char* data, PULONG size) {
            return calls.GetPerAdapterInfo(a->Index, reinterpret_cast<PIP_PER_ADAPTER_INFO>(data),
                                           size);
        });
        if (!perAdapter.empty())
            AppendAddresses(
                &reinterpret_cast<const IP_PER_ADAPTER_INFO*>(perAdapter.data())->DnsServerList,
                &s.dnsServers, nullptr);
        return s;
    }
    return std::nullopt;
}
